#include "framework/ShellLinks.h"

#include "framework/Streams.h"

#include <shlguid.h>

#include <vector>

namespace kq {

namespace {

// The link object's getters copy into a caller's buffer and cannot say how much they need; this holds
// the longest path the system allows.
constexpr int text_buffer_size = 32768;

template <class Get>
String read_text(Get get) {
    std::vector<wchar_t> buffer(text_buffer_size, L'\0');
    OleCheck(get(buffer.data(), text_buffer_size));
    buffer.back() = L'\0';
    return from_wide(buffer.data());
}

} // namespace

shell_link::shell_link()
    : FLink(CreateComObject<IShellLinkW>(CLSID_ShellLink)), FFile(FLink.as<IPersistFile>()) {}

void shell_link::set_path(const String& path) { OleCheck(FLink->SetPath(wide(path))); }

void shell_link::set_working_directory(const String& folder) { OleCheck(FLink->SetWorkingDirectory(wide(folder))); }

void shell_link::set_description(const String& text) { OleCheck(FLink->SetDescription(wide(text))); }

String shell_link::path() const {
    return read_text([&](wchar_t* b, int n) { return FLink->GetPath(b, n, nullptr, SLGP_RAWPATH); });
}

String shell_link::working_directory() const {
    return read_text([&](wchar_t* b, int n) { return FLink->GetWorkingDirectory(b, n); });
}

String shell_link::description() const {
    return read_text([&](wchar_t* b, int n) { return FLink->GetDescription(b, n); });
}

void shell_link::save(const String& file_name) {
    if (const HRESULT result = FFile->Save(wide(file_name), FALSE); FAILED(result))
        RaiseFileCreateError(file_name, error_code_of(result));
}

void shell_link::load(const String& file_name) {
    if (const HRESULT result = FFile->Load(wide(file_name), STGM_READ); FAILED(result))
        RaiseFileOpenError(file_name, error_code_of(result));
}

} // namespace kq
