#include "browser/WebB.Locker.h"

#include "framework/Win32.h"

#include <memory>

namespace kq {

TWebBLocker* PageLocker = nullptr;
TWebBLocker* DevToolsLocker = nullptr;
TWebBLocker* ClosedUrlLocker = nullptr;
TWebBLocker* JsHandlerLocker = nullptr;

namespace {
DWORD processor_count = 1; // read once at start-up
// Owners of the four locks, in the order above; empty outside start-up and shutdown.
std::unique_ptr<TWebBLocker> owned[4];
} // namespace

TWebBLocker::TWebBLocker() : FCS(processor_count > 1 ? 4000 : 0) {}

void weblocker_startup() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    processor_count = info.dwNumberOfProcessors;
    TWebBLocker** globals[] = {&PageLocker, &DevToolsLocker, &ClosedUrlLocker, &JsHandlerLocker};
    for (int i = 0; i < 4; ++i) {
        owned[i] = std::make_unique<TWebBLocker>();
        *globals[i] = owned[i].get();
    }
}

void weblocker_shutdown() {
    PageLocker = DevToolsLocker = ClosedUrlLocker = JsHandlerLocker = nullptr;
    for (int i = 3; i >= 0; --i) owned[i].reset();
}

} // namespace kq
