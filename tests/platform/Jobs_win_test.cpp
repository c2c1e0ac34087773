// Threads for work that must not hold up its caller, under Wine: a job the caller waits for while
// it still answers what other threads send it, and a job left to a thread with a COM apartment.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/Holders_win.h"
#include "platform/Jobs_win.h"

namespace {

constexpr DWORD kBoundMs = 10000;

// The job cannot end before a message sent to the waiting thread's window has been answered, as
// the mouse hook's calls must be while a save is held up.
TEST(Jobs, WaiterAnswersSentMessagesWhileItsJobIsHeldUp) {
    const WindowHolder window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                              GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window);
    HANDLE answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread sender([&] {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window.get(), WM_NULL, 0, 0, SMTO_BLOCK, kBoundMs, &result) != 0) {
            SetEvent(answered);
        }
    });
    DWORD waited = WAIT_FAILED;
    EXPECT_TRUE(RunServingSentMessages([&] { waited = WaitForSingleObject(answered, kBoundMs); }));
    sender.join();
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    CloseHandle(answered);
}

// What the shell is asked runs on another thread, in a single-threaded apartment of its own.
TEST(Jobs, ComJobRunsElsewhereInASingleThreadedApartment) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD jobThread = 0;
    HRESULT asked = E_FAIL;
    APTTYPE type = APTTYPE_CURRENT;
    ASSERT_TRUE(StartComJob([&] {
        jobThread = GetCurrentThreadId();
        APTTYPEQUALIFIER qualifier;
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
