// What the user is told when setting.ini cannot be read or saved, and the quiet retries that bring
// its items and its trigger back once another program lets go of it.

#include <atomic>
#include <string>

#include "app/App_win.h"
#include "input/TriggerBindings.h"
#include "platform/Jobs_win.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

namespace {

constexpr UINT kSettingsNoticeMessage = WM_APP + 20;
constexpr UINT kTriggerReadMessage = WM_APP + 21;  // wParam TRIGGER, lParam SENDWHEEL
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
// What still waits for setting.ini to become readable: the items, and the trigger, which is bound
// to its defaults meanwhile. Main thread only.
bool itemsUnread = false;
bool triggerUnread = false;

// Notices come from whichever thread loads or saves; the main window shows them.
void PostSettingsNotice(SettingsNotice notice) {
    PostMessageW(mainWindow, kSettingsNoticeMessage, static_cast<WPARAM>(notice), 0);
}

void StartReload() {
    if (reloadRunning.exchange(true)) {
        return;
    }
    const bool trigger = triggerUnread;
    if (!StartComJob([trigger] {
            ReloadUnreadSettings();
            std::string path;
            IniDocument file;
            if (trigger && GetSettingsPath(&path) == 0 &&
                ReadSettingsFileAgain(path, &file) != FileRead::Failed) {
                const TriggerSettings settings = TriggerSettingsFrom(file);
                PostMessageW(mainWindow, kTriggerReadMessage, settings.trigger, settings.sendWheel);
            }
            reloadRunning.store(false);
        })) {
        reloadRunning.store(false);
    }
}

void StopRetriesWhenDone(HWND window) {
    if (!itemsUnread && !triggerUnread) {
        KillTimer(window, kReloadTimer);
    }
}

}  // namespace

// Sends the settings' notices to the main window; before the first load.
void WatchSettingsNotices() {
    SetSettingsNoticeHandler(PostSettingsNotice);
}

// Binds the trigger as setting.ini says once it can be read, which it could not be at start.
void RetryTriggerSettings() {
    triggerUnread = true;
    SetTimer(mainWindow, kReloadTimer, kReloadIntervalMs, nullptr);
}

// The main window's share of the notices and of the reload timer; false for other messages.
bool HandleSettingsNotice(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kReloadTimer) {
        StartReload();
        return true;
    }
    if (message == kTriggerReadMessage) {
        // Bound here, on the thread that runs the hook and reads the bindings.
        if (triggerUnread) {
            BindTrigger(TriggerSettings{static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)},
                        ForwardWheel);
            triggerUnread = false;
        }
        StopRetriesWhenDone(window);
        return true;
    }
    if (message != kSettingsNoticeMessage) {
        return false;
    }
    switch (static_cast<SettingsNotice>(wParam)) {
        case SettingsNotice::NotRead:
            ShowTrayNotice(kNoticeTitle, kNotReadText);
            itemsUnread = true;
            SetTimer(window, kReloadTimer, kReloadIntervalMs, nullptr);
            break;
        case SettingsNotice::NotSaved:
            ShowTrayNotice(kNoticeTitle, kNotSavedText);
            break;
        case SettingsNotice::Reloaded:
            itemsUnread = false;
            StopRetriesWhenDone(window);
            break;
    }
    return true;
}
