#pragma once
// TWebBLocker, the browser framework's lock.
#include "framework/Sync.h"

namespace kq {

// A re-entrant lock of the browser framework, spinning briefly before it sleeps on a machine with more
// than one processor.
class TWebBLocker {
public:
    TWebBLocker();
    TWebBLocker(const TWebBLocker&) = delete;
    TWebBLocker& operator=(const TWebBLocker&) = delete;

    void Enter() { FCS.Enter(); }
    void Exit() { FCS.Leave(); }
    // For std::lock_guard / std::scoped_lock.
    void lock() { Enter(); }
    void unlock() { Exit(); }

private:
    TCriticalSection FCS;
};

// The four process-wide locks, made by weblocker_startup and freed by weblocker_shutdown. When the page
// table's and the closed-page list's locks are held together, PageLocker is taken first.
extern TWebBLocker* PageLocker;      // every view's page table and the per-page fields in it
extern TWebBLocker* DevToolsLocker;  // the DevTools table
extern TWebBLocker* ClosedUrlLocker; // every view's closed-page list
extern TWebBLocker* JsHandlerLocker; // the pending script replies

void weblocker_startup();
void weblocker_shutdown();

} // namespace kq
