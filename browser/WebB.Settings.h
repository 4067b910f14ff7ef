#pragma once
// TChromiumOptions, TChromiumFontOptions, browser settings.
#include <cstdint>

#include "engine/cef_capi.h"
#include "framework/Components.h"
#include "framework/Strings.h"

namespace kq {

// The engine's three-way switch: STATE_DEFAULT (the engine decides), STATE_ENABLED, STATE_DISABLED.
using TCefState = cef_state_t;

// Switches of the browser framework's own default behaviour.
class TWebBOptions : public TPersistent {
public:
    TWebBOptions();
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

    bool DevToolsEnable() const noexcept { return FDevToolsEnable; }
    void SetDevToolsEnable(bool Value) { FDevToolsEnable = Value; }
    bool PopupNewWin() const noexcept { return FPopupNewWin; }
    void SetPopupNewWin(bool Value) { FPopupNewWin = Value; }
    bool CloseWPagesClosed() const noexcept { return FCloseWPagesClosed; }
    void SetCloseWPagesClosed(bool Value) { FCloseWPagesClosed = Value; }
    const String& DownLoadPath() const noexcept { return FDownLoadPath; }
    // Taken only when Value names an existing folder; kept with a trailing "\".
    void SetDownLoadPath(const String& Value);
    bool AutoDown() const noexcept { return FAutoDown; }
    void SetAutoDown(bool Value) { FAutoDown = Value; }
    bool ShowLoadError() const noexcept { return FShowLoadError; }
    void SetShowLoadError(bool Value) { FShowLoadError = Value; }

private:
    bool FDevToolsEnable = true;
    bool FPopupNewWin = false;
    bool FCloseWPagesClosed = true;
    String FDownLoadPath;
    bool FAutoDown = false;
    bool FShowLoadError = false;
};

// The engine's per-page settings.
class TChromiumOptions : public TPersistent {
public:
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

    int WindowlessFrameRate() const noexcept { return FWindowlessFrameRate; }
    void SetWindowlessFrameRate(int Value) { FWindowlessFrameRate = Value; }
    TCefState Javascript() const noexcept { return FJavascript; }
    void SetJavascript(TCefState Value) { FJavascript = Value; }
    TCefState JavascriptOpenWindows() const noexcept { return FJavascriptOpenWindows; }
    void SetJavascriptOpenWindows(TCefState Value) { FJavascriptOpenWindows = Value; }
    TCefState JavascriptCloseWindows() const noexcept { return FJavascriptCloseWindows; }
    void SetJavascriptCloseWindows(TCefState Value) { FJavascriptCloseWindows = Value; }
    TCefState JavascriptAccessClipboard() const noexcept { return FJavascriptAccessClipboard; }
    void SetJavascriptAccessClipboard(TCefState Value) { FJavascriptAccessClipboard = Value; }
    TCefState JavascriptDomPaste() const noexcept { return FJavascriptDomPaste; }
    void SetJavascriptDomPaste(TCefState Value) { FJavascriptDomPaste = Value; }
    TCefState CaretBrowsing() const noexcept { return FCaretBrowsing; }
    void SetCaretBrowsing(TCefState Value) { FCaretBrowsing = Value; }
    TCefState Plugins() const noexcept { return FPlugins; }
    void SetPlugins(TCefState Value) { FPlugins = Value; }
    TCefState UniversalAccessFromFileUrls() const noexcept { return FUniversalAccessFromFileUrls; }
    void SetUniversalAccessFromFileUrls(TCefState Value) { FUniversalAccessFromFileUrls = Value; }
    TCefState FileAccessFromFileUrls() const noexcept { return FFileAccessFromFileUrls; }
    void SetFileAccessFromFileUrls(TCefState Value) { FFileAccessFromFileUrls = Value; }
    TCefState WebSecurity() const noexcept { return FWebSecurity; }
    void SetWebSecurity(TCefState Value) { FWebSecurity = Value; }
    TCefState ImageLoading() const noexcept { return FImageLoading; }
    void SetImageLoading(TCefState Value) { FImageLoading = Value; }
    TCefState ImageShrinkStandaloneToFit() const noexcept { return FImageShrinkStandaloneToFit; }
    void SetImageShrinkStandaloneToFit(TCefState Value) { FImageShrinkStandaloneToFit = Value; }
    TCefState TextAreaResize() const noexcept { return FTextAreaResize; }
    void SetTextAreaResize(TCefState Value) { FTextAreaResize = Value; }
    TCefState TabToLinks() const noexcept { return FTabToLinks; }
    void SetTabToLinks(TCefState Value) { FTabToLinks = Value; }
    TCefState LocalStorage() const noexcept { return FLocalStorage; }
    void SetLocalStorage(TCefState Value) { FLocalStorage = Value; }
    TCefState Databases() const noexcept { return FDatabases; }
    void SetDatabases(TCefState Value) { FDatabases = Value; }
    TCefState ApplicationCache() const noexcept { return FApplicationCache; }
    void SetApplicationCache(TCefState Value) { FApplicationCache = Value; }
    TCefState Webgl() const noexcept { return FWebgl; }
    void SetWebgl(TCefState Value) { FWebgl = Value; }
    cef_color_t BackgroundColor() const noexcept { return FBackgroundColor; }
    void SetBackgroundColor(cef_color_t Value) { FBackgroundColor = Value; }
    const String& AcceptLanguageList() const noexcept { return FAcceptLanguageList; }
    void SetAcceptLanguageList(const String& Value) { FAcceptLanguageList = Value; }

private:
    int FWindowlessFrameRate = 30;
    TCefState FJavascript = STATE_DEFAULT;
    TCefState FJavascriptOpenWindows = STATE_DEFAULT;
    TCefState FJavascriptCloseWindows = STATE_DEFAULT;
    TCefState FJavascriptAccessClipboard = STATE_DEFAULT;
    TCefState FJavascriptDomPaste = STATE_DEFAULT;
    TCefState FCaretBrowsing = STATE_DEFAULT;
    TCefState FPlugins = STATE_DEFAULT;
    TCefState FUniversalAccessFromFileUrls = STATE_DEFAULT;
    TCefState FFileAccessFromFileUrls = STATE_DEFAULT;
    TCefState FWebSecurity = STATE_DEFAULT;
    TCefState FImageLoading = STATE_DEFAULT;
    TCefState FImageShrinkStandaloneToFit = STATE_DEFAULT;
    TCefState FTextAreaResize = STATE_DEFAULT;
    TCefState FTabToLinks = STATE_DEFAULT;
    TCefState FLocalStorage = STATE_DEFAULT;
    TCefState FDatabases = STATE_DEFAULT;
    TCefState FApplicationCache = STATE_DEFAULT;
    TCefState FWebgl = STATE_DEFAULT;
    cef_color_t FBackgroundColor = 0;
    String FAcceptLanguageList;
};

// The engine's per-page font settings.
class TChromiumFontOptions : public TPersistent {
public:
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

    // Read only: nothing in the system sets it, so pages get the engine's standard font.
    const String& StandardFontFamily() const noexcept { return FStandardFontFamily; }
    const String& FixedFontFamily() const noexcept { return FFixedFontFamily; }
    void SetFixedFontFamily(const String& Value) { FFixedFontFamily = Value; }
    const String& SerifFontFamily() const noexcept { return FSerifFontFamily; }
    void SetSerifFontFamily(const String& Value) { FSerifFontFamily = Value; }
    const String& SansSerifFontFamily() const noexcept { return FSansSerifFontFamily; }
    void SetSansSerifFontFamily(const String& Value) { FSansSerifFontFamily = Value; }
    const String& CursiveFontFamily() const noexcept { return FCursiveFontFamily; }
    void SetCursiveFontFamily(const String& Value) { FCursiveFontFamily = Value; }
    const String& FantasyFontFamily() const noexcept { return FFantasyFontFamily; }
    void SetFantasyFontFamily(const String& Value) { FFantasyFontFamily = Value; }
    int DefaultFontSize() const noexcept { return FDefaultFontSize; }
    void SetDefaultFontSize(int Value) { FDefaultFontSize = Value; }
    int DefaultFixedFontSize() const noexcept { return FDefaultFixedFontSize; }
    void SetDefaultFixedFontSize(int Value) { FDefaultFixedFontSize = Value; }
    int MinimumFontSize() const noexcept { return FMinimumFontSize; }
    void SetMinimumFontSize(int Value) { FMinimumFontSize = Value; }
    int MinimumLogicalFontSize() const noexcept { return FMinimumLogicalFontSize; }
    void SetMinimumLogicalFontSize(int Value) { FMinimumLogicalFontSize = Value; }
    TCefState RemoteFonts() const noexcept { return FRemoteFontsDisabled; }
    void SetRemoteFonts(TCefState Value) { FRemoteFontsDisabled = Value; }

private:
    String FStandardFontFamily;
    String FCursiveFontFamily;
    String FSansSerifFontFamily;
    int FMinimumLogicalFontSize = 0;
    String FFantasyFontFamily;
    String FSerifFontFamily;
    int FDefaultFixedFontSize = 0;
    int FDefaultFontSize = 0;
    TCefState FRemoteFontsDisabled = STATE_DEFAULT;
    String FFixedFontFamily;
    int FMinimumFontSize = 0;
};

// Copies the options into the engine's settings record of a new page, whose size field the caller has
// set. A record smaller than this program's raises EAssertionFailed. The strings are the engine's copies:
// hold the record in a browser_settings_record, which frees them.
void FillBrowserSettings(cef_browser_settings_t& settings, const TChromiumOptions& options,
                         const TChromiumFontOptions& fonts, const String& DefaultEncoding);

// A zeroed settings record of this program's size; frees the strings the engine copied into it.
class browser_settings_record {
public:
    browser_settings_record() noexcept { FValue.size = sizeof FValue; }
    browser_settings_record(const browser_settings_record&) = delete;
    browser_settings_record& operator=(const browser_settings_record&) = delete;
    ~browser_settings_record();

    cef_browser_settings_t& get() noexcept { return FValue; }

private:
    cef_browser_settings_t FValue{};
};

} // namespace kq
