#pragma once
// The nine commands an item can run on the window that was under the cursor, and the table that
// ties their ids in the settings file (EVENT) to them.

#include <atomic>
#include <cstdint>

#include "settings/MenuItems.h"

struct WindowCommandEntry {
    uint32_t event;
    ItemAction action;
};

constexpr int kWindowCommandCount = 9;
extern const WindowCommandEntry WindowCommandTable[kWindowCommandCount];

// The opacity the translucency command gives a window. Set from the settings file at start-up
// and by the settings dialog (main thread); read by the menu worker.
extern std::atomic<uint8_t> translucencyAlpha;
constexpr uint8_t kDefaultTranslucencyAlpha = 191;

ItemAction FindWindowCommand(uint32_t event);
uint32_t WindowCommandEvent(ItemAction action);

int32_t CmdClose(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdSendToBottom(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdToggleMaximize(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdToggleMinimize(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdCopyTitle(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdCopyExePath(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdOpenExeFolder(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdToggleTranslucent(MenuItem* item, WindowHandle target, int32_t reserved);
int32_t CmdToggleTopmost(MenuItem* item, WindowHandle target, int32_t reserved);
