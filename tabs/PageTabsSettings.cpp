// The strip's options and look saved and loaded as component text.
#include "tabs/PageTabs.h"

#include "framework/Files.h"
#include "framework/Streams.h"
#include "tabs/PageTabsUtils.h"

#include <cstddef>
#include <memory>

namespace kq {

namespace {

constexpr StringView code_object_name = u"PageTabs1";

// A wrapper without owner or name around the strip's own tree, for one operation.
std::unique_ptr<TTabsOptions> wrap(TOptions& tree) {
    auto wrapper = std::make_unique<TTabsOptions>(nullptr);
    wrapper->SetOptions(&tree);
    return wrapper;
}

std::unique_ptr<TTabsLookAndFeel> wrap(TPageTabsLookAndFeel& tree) {
    auto wrapper = std::make_unique<TTabsLookAndFeel>(nullptr);
    wrapper->SetLookAndFeel(&tree);
    return wrapper;
}

// The whole text is made in memory first, so a failure while writing it leaves the file as it was.
template <class Save>
void save_to_file(const String& filename, Save save) {
    TMemoryStream text;
    save(text);
    write_file_replacing(filename, text.Memory(), static_cast<std::size_t>(text.Size()));
}

// Runs read between BeginUpdate and EndUpdate; the bracket closes whatever happens, so the values read
// before a failure are painted.
template <class Read>
void between_updates(TCustomPageTabs& strip, Read read) {
    strip.BeginUpdate();
    // Not a scope_exit: EndUpdate may raise OnStateChange, which may throw, and a destructor must not.
    try {
        read();
    } catch (...) {
        strip.EndUpdate();
        throw;
    }
    strip.EndUpdate();
}

} // namespace

void TCustomPageTabs::SaveLookAndFeel(TStream& Stream) { ComponentToText(*wrap(*FLookAndFeel), Stream); }

void TCustomPageTabs::SaveLookAndFeel(const String& Filename) {
    save_to_file(Filename, [this](TStream& Stream) { SaveLookAndFeel(Stream); });
}

void TCustomPageTabs::LoadLookAndFeel(TStream& Stream) {
    between_updates(*this, [&] {
        TextToComponent(*wrap(*FLookAndFeel), Stream);
        // A text that sets nothing still ends with one repaint.
        RequestRepaint();
    });
}

void TCustomPageTabs::LoadLookAndFeel(const String& Filename) {
    TFileStream file(Filename, fmOpenRead | fmShareDenyWrite);
    LoadLookAndFeel(file);
}

void TCustomPageTabs::SaveOptions(TStream& Stream) { ComponentToText(*wrap(*FOptions), Stream); }

void TCustomPageTabs::SaveOptions(const String& Filename) {
    save_to_file(Filename, [this](TStream& Stream) { SaveOptions(Stream); });
}

void TCustomPageTabs::LoadOptions(TStream& Stream) {
    between_updates(*this, [&] {
        TextToComponent(*wrap(*FOptions), Stream);
        RequestRepaint();
    });
}

void TCustomPageTabs::LoadOptions(const String& Filename) {
    TFileStream file(Filename, fmOpenRead | fmShareDenyWrite);
    LoadOptions(file);
}

String TCustomPageTabs::OptionsToCode() { return ComponentToCode(*wrap(*FOptions), String(code_object_name)); }

String TCustomPageTabs::LookAndFeelToCode() { return ComponentToCode(*wrap(*FLookAndFeel), String(code_object_name)); }

} // namespace kq
