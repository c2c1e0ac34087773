#include "actions/Launch.h"

#include <string>

#include "platform/CodePage.h"
#include "settings/SettingsFile.h"

// Opens the item's path through the shell with its arguments, working directory and show
// command. Relative paths and directories are taken from the executable's directory. The
// target window plays no part. -1 for an item that is not a complete launch item or a path that
// cannot be qualified; otherwise the request is handed to a thread of the shell's and this returns
// at once. The launch data is copied while the tables are locked: the palette editor may delete
// the item meanwhile.
int32_t LaunchProgram(MenuItem* item, WindowHandle, int32_t) {
    if (item == nullptr) {
        return -1;
    }
    ShortcutInfo shortcut;
    {
        TablesLock lock;
        if (item->kind != KindLaunch || item->shortcut == nullptr) {
            return -1;
        }
        shortcut = *item->shortcut;
    }
    if (shortcut.path[0] == 0) {
        return -1;
    }
    std::string file;
    if (ResolvePath(&file, shortcut.path) != 0) {
        return -1;
    }
    std::string directory;
    if (shortcut.dir[0] != 0 && ResolvePath(&directory, shortcut.dir) != 0) {
        return -1;
    }
    const std::string parameters = Utf8FromCp932(shortcut.args);
    return PlatformShellOpen(file.c_str(), shortcut.args[0] != 0 ? parameters.c_str() : nullptr,
                             shortcut.dir[0] != 0 ? directory.c_str() : nullptr, shortcut.show)
               ? 0
               : -1;
}
