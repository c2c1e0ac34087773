// Threads that keep their caller free, under Wine: a job waited for while its caller still answers
// what other threads send it (as the mouse hook's calls must be), and a job on a thread with COM.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/Holders_win.h"
#include "platform/Jobs_win.h"

namespace {

constexpr DWORD kBoundMs = 10000;

TEST(Jobs, WaiterAnswersSentMessagesWhileItsJobIsHeldUpAndComJobsHaveAnApartment) {
    // The job cannot end before a message sent to the waiting thread's window has been answered.
    const WindowHolder window(
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread sender([&] {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window.get(), WM_NULL, 0, 0, SMTO_BLOCK, kBoundMs, &result) != 0) {
            SetEvent(done);
        }
    });
    DWORD waited = WAIT_FAILED;
    EXPECT_TRUE(RunServingSentMessages([&] { waited = WaitForSingleObject(done, kBoundMs); }));
    sender.join();
    EXPECT_EQ(waited, WAIT_OBJECT_0);

    // What the shell is asked runs on another thread, in a single-threaded apartment of its own.
    ResetEvent(done);
    DWORD jobThread = GetCurrentThreadId();
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier;
    HRESULT asked = E_FAIL;
    ASSERT_TRUE(StartComJob([&] {
        jobThread = GetCurrentThreadId();
        asked = CoGetApartmentType(&type, &qualifier);
        SetEvent(done);
    }));
    ASSERT_EQ(WaitForSingleObject(done, kBoundMs), WAIT_OBJECT_0);
    EXPECT_NE(jobThread, GetCurrentThreadId());
    EXPECT_EQ(asked, S_OK);
    EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
    CloseHandle(done);
}

}  // namespace
