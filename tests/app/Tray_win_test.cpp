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

// The shell as the tray sees it: adds refused while addRefusals lasts, changes taken only while
// the icon is there, balloons recorded.
BOOL WINAPI StandInNotify(DWORD message, PNOTIFYICONDATAW data) {
    const bool wasThere = iconThere;
    switch (message) {
        case NIM_ADD:
            if (addRefusals > 0) {
                --addRefusals;
                return FALSE;
            }
            iconThere = true;
            return TRUE;
        case NIM_MODIFY:
            if (iconThere && (data->uFlags & NIF_INFO) != 0) {
                balloons.push_back(*data);
            }
            return iconThere;
        default:
            iconThere = false;
            return wasThere;
    }
}

TEST(Tray, AnIconRefusedAtFirstIsAddedLaterAndTheWaitingNoticeFollows) {
    HWND window =
        CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    trayNotify = StandInNotify;
    addRefusals = 1;
    AddTrayIcon(window);
    ShowTrayNotice(L"Pivotel", L"setting.ini could not be read");
    EXPECT_FALSE(iconThere);
    EXPECT_TRUE(balloons.empty());
    EXPECT_TRUE(PumpUntil(3 * kTrayRetryPeriodMs, [] { return iconThere; }));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_STREQ(balloons[0].szInfoTitle, L"Pivotel");
    EXPECT_STREQ(balloons[0].szInfo, L"setting.ini could not be read");

    // With the icon there a notice shows at once.
    ShowTrayNotice(L"Pivotel", L"setting.ini could not be saved");
    ASSERT_EQ(balloons.size(), 2u);
    EXPECT_STREQ(balloons[1].szInfo, L"setting.ini could not be saved");
    RemoveTrayIcon();
    EXPECT_FALSE(iconThere);
    trayNotify = Shell_NotifyIconW;
    DestroyWindow(window);
}

}  // namespace
