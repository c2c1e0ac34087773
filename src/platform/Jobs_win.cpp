// Threads for work that must not hold up the thread that asks for it.

#include "platform/Jobs_win.h"

#include <objbase.h>
#include <process.h>

#include <memory>

namespace {

unsigned __stdcall RunJob(void* context) {
    std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(context));
    (*job)();
    return 0;
}

// Starts job on a new thread; its handle, or null (nothing runs) when no thread could be made.
HANDLE StartJobThread(std::function<void()> job) {
    auto owned = std::make_unique<std::function<void()>>(std::move(job));
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunJob, owned.get(), 0, nullptr));
    if (thread != nullptr) {
        owned.release();  // the thread frees it
    }
    return thread;
}

}  // namespace

// Runs job on another thread and returns once it has ended. Meanwhile this thread answers what
// other threads send it, and the calls of a low-level hook it owns (the system drops a hook whose
// calls go unanswered), but takes nothing from its queue, so its windows see no input. False, and
// the job not run, when no thread could be started.
bool RunServingSentMessages(const std::function<void()>& job) {
    HANDLE thread = StartJobThread([&job] { job(); });
    if (thread == nullptr) {
        return false;
    }
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
    return true;
}

// Starts job on a thread of its own with a single-threaded COM apartment, as the shell's
// functions ask, without the old DDE layer, and lets it run to its end unwatched. False when no
// thread could be started.
bool StartComJob(std::function<void()> job) {
    HANDLE thread = StartJobThread([job = std::move(job)] {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        job();
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
    });
    if (thread == nullptr) {
        return false;
    }
    CloseHandle(thread);
    return true;
}
