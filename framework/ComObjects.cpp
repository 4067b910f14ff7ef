#include "framework/ComObjects.h"

#include "framework/Conversions.h"

#include <ole2.h>

namespace kq {

namespace {

String ole_error_text(HRESULT code) {
    String text = SysErrorMessage(error_code_of(code));
    if (text.empty()) text = Format(u"OLE error %s", {IntToHex(static_cast<std::uint32_t>(code), 8)});
    return text;
}

} // namespace

std::uint32_t error_code_of(HRESULT code) noexcept {
    // Results made from a system error code read best with that code's own text.
    if (HRESULT_FACILITY(code) == FACILITY_WIN32) return HRESULT_CODE(code);
    return static_cast<std::uint32_t>(code);
}

EOleSysError::EOleSysError(HRESULT code) : Exception(ole_error_text(code)), ErrorCode(code) {}

void OleCheck(HRESULT code) {
    if (FAILED(code)) throw EOleSysError(code);
}

GUID CreateGUID() {
    GUID guid{};
    OleCheck(::CoCreateGuid(&guid));
    return guid;
}

String GUIDToString(const GUID& guid) {
    String text = u"{" + IntToHex(guid.Data1, 8) + u"-" + IntToHex(guid.Data2, 4) + u"-" + IntToHex(guid.Data3, 4) + u"-";
    for (int i = 0; i < 8; ++i) {
        if (i == 2) text += u"-";
        text += IntToHex(guid.Data4[i], 2);
    }
    return text + u"}";
}

com_thread::com_thread() noexcept : FResult(::OleInitialize(nullptr)) {}

com_thread::~com_thread() {
    if (SUCCEEDED(FResult)) ::OleUninitialize();
}

} // namespace kq
