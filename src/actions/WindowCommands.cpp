#include "actions/WindowCommands.h"

const WindowCommandEntry WindowCommandTable[kWindowCommandCount] = {
    {1, CmdClose},          {2, CmdSendToBottom},   {3, CmdToggleMaximize},
    {4, CmdToggleMinimize}, {5, CmdCopyTitle},      {6, CmdCopyExePath},
    {7, CmdOpenExeFolder},  {8, CmdToggleTranslucent}, {9, CmdToggleTopmost},
};

std::atomic<uint8_t> translucencyAlpha{kDefaultTranslucencyAlpha};

// The command with this EVENT id, or null.
ItemAction FindWindowCommand(uint32_t event) {
    for (const WindowCommandEntry& entry : WindowCommandTable) {
        if (entry.event == event) {
            return entry.action;
        }
    }
    return nullptr;
}

// The EVENT id of a command, 0 for an action that is not one.
uint32_t WindowCommandEvent(ItemAction action) {
    for (const WindowCommandEntry& entry : WindowCommandTable) {
        if (entry.action == action) {
            return entry.event;
        }
    }
    return 0;
}
