#include "browser/WebB.Settings.h"

#include "engine/CefLibrary.h"
#include "engine/EngineStrings.h"
#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/Properties.h"

namespace kq {

namespace {

std::vector<String> state_names() { return {u"STATE_DEFAULT", u"STATE_ENABLED", u"STATE_DISABLED"}; }

template <class T>
const T& source_of(const TPersistent* Source) {
    return *static_cast<const T*>(Source);
}

} // namespace

// --- TWebBOptions

TWebBOptions::TWebBOptions() : FDownLoadPath(ExtractFilePath(executable_path()) + u"Download\\") {}

void TWebBOptions::SetDownLoadPath(const String& Value) {
    if (!DirectoryExists(Value)) return;
    FDownLoadPath = Value;
    if (FDownLoadPath.back() != u'\\') FDownLoadPath += u'\\';
}

void TWebBOptions::Assign(const TPersistent* Source) {
    if (!dynamic_cast<const TWebBOptions*>(Source)) return TPersistent::Assign(Source);
    const auto& s = source_of<TWebBOptions>(Source);
    FDevToolsEnable = s.FDevToolsEnable;
    FPopupNewWin = s.FPopupNewWin;
    FCloseWPagesClosed = s.FCloseWPagesClosed;
    FDownLoadPath = s.FDownLoadPath;
    FAutoDown = s.FAutoDown;
    FShowLoadError = s.FShowLoadError;
}

const property_table& TWebBOptions::PublishedProperties() const {
    // The download folder's default is where this program lives, so it is only known at run time.
    static const property_table table =
        property_table::of<TWebBOptions>(TPersistent::PublishedProperties())
            .boolean(u"DevToolsEnable", &TWebBOptions::DevToolsEnable, &TWebBOptions::SetDevToolsEnable, true)
            .boolean(u"PopupNewWin", &TWebBOptions::PopupNewWin, &TWebBOptions::SetPopupNewWin, false)
            .boolean(u"CloseWPagesClosed", &TWebBOptions::CloseWPagesClosed, &TWebBOptions::SetCloseWPagesClosed, true)
            .boolean(u"AutoDown", &TWebBOptions::AutoDown, &TWebBOptions::SetAutoDown, false)
            .string(u"DownLoadPath", &TWebBOptions::DownLoadPath, &TWebBOptions::SetDownLoadPath,
                    TWebBOptions().DownLoadPath())
            .boolean(u"ShowLoadError", &TWebBOptions::ShowLoadError, &TWebBOptions::SetShowLoadError, false);
    return table;
}

// --- TChromiumOptions

void TChromiumOptions::Assign(const TPersistent* Source) {
    if (!dynamic_cast<const TChromiumOptions*>(Source)) return TPersistent::Assign(Source);
    const auto& s = source_of<TChromiumOptions>(Source);
    FWindowlessFrameRate = s.FWindowlessFrameRate;
    FJavascript = s.FJavascript;
    FJavascriptOpenWindows = s.FJavascriptOpenWindows;
    FJavascriptCloseWindows = s.FJavascriptCloseWindows;
    FJavascriptAccessClipboard = s.FJavascriptAccessClipboard;
    FJavascriptDomPaste = s.FJavascriptDomPaste;
    FCaretBrowsing = s.FCaretBrowsing;
    FPlugins = s.FPlugins;
    FUniversalAccessFromFileUrls = s.FUniversalAccessFromFileUrls;
    FFileAccessFromFileUrls = s.FFileAccessFromFileUrls;
    FWebSecurity = s.FWebSecurity;
    FImageLoading = s.FImageLoading;
    FImageShrinkStandaloneToFit = s.FImageShrinkStandaloneToFit;
    FTextAreaResize = s.FTextAreaResize;
    FTabToLinks = s.FTabToLinks;
    FLocalStorage = s.FLocalStorage;
    FDatabases = s.FDatabases;
    FApplicationCache = s.FApplicationCache;
    FWebgl = s.FWebgl;
    FBackgroundColor = s.FBackgroundColor;
    FAcceptLanguageList = s.FAcceptLanguageList;
}

const property_table& TChromiumOptions::PublishedProperties() const {
    using C = TChromiumOptions;
    static const property_table table =
        property_table::of<C>(TPersistent::PublishedProperties())
            .enumeration(u"Javascript", &C::Javascript, &C::SetJavascript, state_names(), STATE_DEFAULT)
            .enumeration(u"JavascriptOpenWindows", &C::JavascriptOpenWindows, &C::SetJavascriptOpenWindows,
                         state_names(), STATE_DEFAULT)
            .enumeration(u"JavascriptCloseWindows", &C::JavascriptCloseWindows, &C::SetJavascriptCloseWindows,
                         state_names(), STATE_DEFAULT)
            .enumeration(u"JavascriptAccessClipboard", &C::JavascriptAccessClipboard, &C::SetJavascriptAccessClipboard,
                         state_names(), STATE_DEFAULT)
            .enumeration(u"JavascriptDomPaste", &C::JavascriptDomPaste, &C::SetJavascriptDomPaste, state_names(),
                         STATE_DEFAULT)
            .enumeration(u"CaretBrowsing", &C::CaretBrowsing, &C::SetCaretBrowsing, state_names(), STATE_DEFAULT)
            .enumeration(u"Plugins", &C::Plugins, &C::SetPlugins, state_names(), STATE_DEFAULT)
            .enumeration(u"UniversalAccessFromFileUrls", &C::UniversalAccessFromFileUrls,
                         &C::SetUniversalAccessFromFileUrls, state_names(), STATE_DEFAULT)
            .enumeration(u"FileAccessFromFileUrls", &C::FileAccessFromFileUrls, &C::SetFileAccessFromFileUrls,
                         state_names(), STATE_DEFAULT)
            .enumeration(u"WebSecurity", &C::WebSecurity, &C::SetWebSecurity, state_names(), STATE_DEFAULT)
            .enumeration(u"ImageLoading", &C::ImageLoading, &C::SetImageLoading, state_names(), STATE_DEFAULT)
            .enumeration(u"ImageShrinkStandaloneToFit", &C::ImageShrinkStandaloneToFit,
                         &C::SetImageShrinkStandaloneToFit, state_names(), STATE_DEFAULT)
            .enumeration(u"TextAreaResize", &C::TextAreaResize, &C::SetTextAreaResize, state_names(), STATE_DEFAULT)
            .enumeration(u"TabToLinks", &C::TabToLinks, &C::SetTabToLinks, state_names(), STATE_DEFAULT)
            .enumeration(u"LocalStorage", &C::LocalStorage, &C::SetLocalStorage, state_names(), STATE_DEFAULT)
            .enumeration(u"Databases", &C::Databases, &C::SetDatabases, state_names(), STATE_DEFAULT)
            .enumeration(u"ApplicationCache", &C::ApplicationCache, &C::SetApplicationCache, state_names(),
                         STATE_DEFAULT)
            .enumeration(u"Webgl", &C::Webgl, &C::SetWebgl, state_names(), STATE_DEFAULT)
            .integer(u"BackgroundColor", &C::BackgroundColor, &C::SetBackgroundColor, 0u)
            .string(u"AcceptLanguageList", &C::AcceptLanguageList, &C::SetAcceptLanguageList)
            .integer(u"WindowlessFrameRate", &C::WindowlessFrameRate, &C::SetWindowlessFrameRate, 30);
    return table;
}

// --- TChromiumFontOptions

void TChromiumFontOptions::Assign(const TPersistent* Source) {
    if (!dynamic_cast<const TChromiumFontOptions*>(Source)) return TPersistent::Assign(Source);
    const auto& s = source_of<TChromiumFontOptions>(Source);
    FStandardFontFamily = s.FStandardFontFamily;
    FCursiveFontFamily = s.FCursiveFontFamily;
    FSansSerifFontFamily = s.FSansSerifFontFamily;
    FMinimumLogicalFontSize = s.FMinimumLogicalFontSize;
    FFantasyFontFamily = s.FFantasyFontFamily;
    FSerifFontFamily = s.FSerifFontFamily;
    FDefaultFixedFontSize = s.FDefaultFixedFontSize;
    FDefaultFontSize = s.FDefaultFontSize;
    FRemoteFontsDisabled = s.FRemoteFontsDisabled;
    FFixedFontFamily = s.FFixedFontFamily;
    FMinimumFontSize = s.FMinimumFontSize;
}

const property_table& TChromiumFontOptions::PublishedProperties() const {
    using C = TChromiumFontOptions;
    static const property_table table =
        property_table::of<C>(TPersistent::PublishedProperties())
            // Read only: form text names it, but cannot change it.
            .string(u"StandardFontFamily", &C::StandardFontFamily, [](C&, const String&) {})
            .string(u"FixedFontFamily", &C::FixedFontFamily, &C::SetFixedFontFamily)
            .string(u"SerifFontFamily", &C::SerifFontFamily, &C::SetSerifFontFamily)
            .string(u"SansSerifFontFamily", &C::SansSerifFontFamily, &C::SetSansSerifFontFamily)
            .string(u"CursiveFontFamily", &C::CursiveFontFamily, &C::SetCursiveFontFamily)
            .string(u"FantasyFontFamily", &C::FantasyFontFamily, &C::SetFantasyFontFamily)
            .integer(u"DefaultFontSize", &C::DefaultFontSize, &C::SetDefaultFontSize, 0)
            .integer(u"DefaultFixedFontSize", &C::DefaultFixedFontSize, &C::SetDefaultFixedFontSize, 0)
            .integer(u"MinimumFontSize", &C::MinimumFontSize, &C::SetMinimumFontSize, 0)
            .integer(u"MinimumLogicalFontSize", &C::MinimumLogicalFontSize, &C::SetMinimumLogicalFontSize, 0)
            .enumeration(u"RemoteFonts", &C::RemoteFonts, &C::SetRemoteFonts, state_names(), STATE_DEFAULT);
    return table;
}

// --- Browser settings

void FillBrowserSettings(cef_browser_settings_t& settings, const TChromiumOptions& options,
                         const TChromiumFontOptions& fonts, const String& DefaultEncoding) {
    if (settings.size < sizeof(cef_browser_settings_t))
        throw EAssertionFailed(u"Assertion failure", u"WebB.Core.WebBrowser", 1279);
    settings.windowless_frame_rate = options.WindowlessFrameRate();
    assign_cef_string(&settings.standard_font_family, fonts.StandardFontFamily());
    assign_cef_string(&settings.fixed_font_family, fonts.FixedFontFamily());
    assign_cef_string(&settings.serif_font_family, fonts.SerifFontFamily());
    assign_cef_string(&settings.sans_serif_font_family, fonts.SansSerifFontFamily());
    assign_cef_string(&settings.cursive_font_family, fonts.CursiveFontFamily());
    assign_cef_string(&settings.fantasy_font_family, fonts.FantasyFontFamily());
    settings.default_font_size = fonts.DefaultFontSize();
    settings.default_fixed_font_size = fonts.DefaultFixedFontSize();
    settings.minimum_font_size = fonts.MinimumFontSize();
    settings.minimum_logical_font_size = fonts.MinimumLogicalFontSize();
    assign_cef_string(&settings.default_encoding, DefaultEncoding);
    settings.remote_fonts = fonts.RemoteFonts();
    settings.javascript = options.Javascript();
    settings.javascript_open_windows = options.JavascriptOpenWindows();
    settings.javascript_close_windows = options.JavascriptCloseWindows();
    settings.javascript_access_clipboard = options.JavascriptAccessClipboard();
    settings.javascript_dom_paste = options.JavascriptDomPaste();
    settings.caret_browsing = options.CaretBrowsing();
    settings.plugins = options.Plugins();
    settings.universal_access_from_file_urls = options.UniversalAccessFromFileUrls();
    settings.file_access_from_file_urls = options.FileAccessFromFileUrls();
    settings.web_security = options.WebSecurity();
    settings.image_loading = options.ImageLoading();
    settings.image_shrink_standalone_to_fit = options.ImageShrinkStandaloneToFit();
    settings.text_area_resize = options.TextAreaResize();
    settings.tab_to_links = options.TabToLinks();
    settings.local_storage = options.LocalStorage();
    settings.databases = options.Databases();
    settings.application_cache = options.ApplicationCache();
    settings.webgl = options.Webgl();
    settings.background_color = options.BackgroundColor();
    assign_cef_string(&settings.accept_language_list, options.AcceptLanguageList());
}

browser_settings_record::~browser_settings_record() {
    if (!engine_api_bound()) return;
    const cef_exports& api = engine_api();
    for (cef_string_t* s : {&FValue.standard_font_family, &FValue.fixed_font_family, &FValue.serif_font_family,
                            &FValue.sans_serif_font_family, &FValue.cursive_font_family, &FValue.fantasy_font_family,
                            &FValue.default_encoding, &FValue.accept_language_list})
        api.cef_string_utf16_clear(s);
}

} // namespace kq
