// Placeholder until the window commands are written.
#include "actions/WindowCommands.h"

int32_t CmdClose(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdSendToBottom(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdToggleMaximize(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdToggleMinimize(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdCopyTitle(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdCopyExePath(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdOpenExeFolder(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdToggleTranslucent(MenuItem*, WindowHandle, int32_t) { return -1; }
int32_t CmdToggleTopmost(MenuItem*, WindowHandle, int32_t) { return -1; }
