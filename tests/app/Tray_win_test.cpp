// The tray icon under Wine with the shell call replaced: an add that fails at first is tried again
// on the icon window's timer, and a notice waits for the icon and then shows as a warning balloon.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport_win.h"
#include "app/App_win.h"
#include "app/TrayRetry.h"

namespace {

int addRefusals;  // NIM_ADD fails this many more times
bool iconThere;
std::vector<NOTIFYICONDATAW> balloons;

// The shell as the tray sees it: a change succeeds only while the icon is there.
BOOL WINAPI StandInNotify(DWORD message, PNOTIFYICONDATAW data) {
    if (message == NIM_MODIFY && iconThere && (data->uFlags & NIF_INFO) != 0) {
        balloons.push_back(*data);
    }
    const bool added = message == NIM_ADD && addRefusals-- <= 0;
    const bool done = added || (message != NIM_ADD && iconThere);
    iconThere = added || (message == NIM_MODIFY && iconThere);
    return done;
}

TEST(Tray, AnIconRefusedAtFirstIsAddedLaterAndTheWaitingNoticeFollows) {
    HWND window =
        CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    trayNotify = StandInNotify;
    addRefusals = 1;
    AddTrayIcon(window);
    ShowTrayNotice(L"Pivotel", L"setting.ini could not be read");
    EXPECT_TRUE(!iconThere && balloons.empty());
    EXPECT_TRUE(PumpUntil(3 * kTrayRetryPeriodMs, [] { return iconThere; }));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_STREQ(balloons[0].szInfoTitle, L"Pivotel");
    EXPECT_STREQ(balloons[0].szInfo, L"setting.ini could not be read");
    ShowTrayNotice(L"Pivotel", L"setting.ini could not be saved");  // the icon is there: at once
    ASSERT_EQ(balloons.size(), 2u);
    EXPECT_STREQ(balloons[1].szInfo, L"setting.ini could not be saved");
    RemoveTrayIcon();
    EXPECT_FALSE(iconThere);
    trayNotify = Shell_NotifyIconW;
    DestroyWindow(window);
}

}  // namespace
