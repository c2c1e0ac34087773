// What the user is told when setting.ini cannot be read or saved, and the quiet retries that bring
// its items back once another program lets go of it.

#include <atomic>

#include "app/App_win.h"
#include "platform/Jobs_win.h"
#include "settings/SettingsFormat.h"

namespace {

constexpr UINT kSettingsNoticeMessage = WM_APP + 20;
constexpr UINT_PTR kReloadTimer = 1;
constexpr UINT kReloadIntervalMs = 2000;

const wchar_t kNoticeTitle[] = L"Pivotel";
const wchar_t kNotReadText[] =
    L"設定ファイル (setting.ini) を読み込めませんでした。ほかのプログラムが使用中の可能性があります。"
    L"読み込めるまで項目は表示されず、設定ファイルは書き換えません。";
const wchar_t kNotSavedText[] =
    L"設定ファイル (setting.ini) に保存できませんでした。変更は失われず、次にパレットを閉じたときに"
    L"もう一度保存します。";

// One reload at a time: the file is read off this thread, which runs the mouse hook.
std::atomic<bool> reloadRunning{false};

// Notices come from whichever thread loads or saves; the main window shows them.
void PostSettingsNotice(SettingsNotice notice) {
    PostMessageW(mainWindow, kSettingsNoticeMessage, static_cast<WPARAM>(notice), 0);
}

void StartReload() {
    if (reloadRunning.exchange(true)) {
        return;
    }
    if (!StartComJob([] {
            ReloadUnreadSettings();
            reloadRunning.store(false);
        })) {
        reloadRunning.store(false);
    }
}

}  // namespace

// Sends the settings' notices to the main window; before the first load.
void WatchSettingsNotices() {
    SetSettingsNoticeHandler(PostSettingsNotice);
}

// The main window's share of the notices and of the reload timer; false for other messages.
bool HandleSettingsNotice(HWND window, UINT message, WPARAM wParam) {
    if (message == WM_TIMER && wParam == kReloadTimer) {
        StartReload();
        return true;
    }
    if (message != kSettingsNoticeMessage) {
        return false;
    }
    switch (static_cast<SettingsNotice>(wParam)) {
        case SettingsNotice::NotRead:
            ShowTrayNotice(kNoticeTitle, kNotReadText);
            SetTimer(window, kReloadTimer, kReloadIntervalMs, nullptr);
            break;
        case SettingsNotice::NotSaved:
            ShowTrayNotice(kNoticeTitle, kNotSavedText);
            break;
        case SettingsNotice::Reloaded:
            KillTimer(window, kReloadTimer);
            break;
    }
    return true;
}
