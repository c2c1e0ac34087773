// The real item edit dialog under Wine, in-process: the test opens it from its template with
// DialogBoxParamW, as the palette does, and drives it from a thread timer that fires inside the
// dialog's modal loop (and inside the file picker's, which the dialog opens in turn). A watchdog
// cancels every dialog of the thread when a script gets stuck, so a failure never hangs the run.
// What the controls show is read as UTF-16 and compared in UTF-8 (u8""); item fields are code
// page 932, as plain string literals are compiled.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>

#include "TestSupport.h"
#include "actions/Launch.h"
#include "dialogs/ItemEdit.h"
#include "dialogs/ItemEditDialog_win.h"
#include "res/resource.h"
#include "settings/MenuItems.h"
#include "settings/Pages.h"

namespace {

constexpr UINT kTickMs = 20;
constexpr DWORD kScriptTimeoutMs = 8000;
constexpr int kFileNameEdit = 0x480;   // the file picker's file name edit (edt1)
constexpr int kFileNameCombo = 0x47c;  // the same as a combo box in newer pickers (cmb13)

// One run of the dialog: a script that runs once the dialog is up, and optionally a step that
// runs on later ticks while the script waits inside a picker, until it reports itself done.
struct DialogDriver {
    std::function<void(HWND)> script;
    std::function<bool(HWND)> inPicker;
    HWND dialog = nullptr;
    DWORD startTick = 0;
    bool timedOut = false;
};

DialogDriver* driver;

bool IsDialogClass(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return std::strcmp(className, "#32770") == 0;
}

struct WindowSearch {
    HWND owner;  // null: the item edit dialog itself; else a dialog owned by it (once shown)
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    if (!IsDialogClass(window)) {
        return TRUE;
    }
    const bool match = search->owner == nullptr ? GetDlgItem(window, IDC_ITEM_DIR_BROWSE) != nullptr
                                                : GetWindow(window, GW_OWNER) == search->owner;
    if (match && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindThreadDialog(HWND owner) {
    WindowSearch search = {owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CancelWindow(HWND window, LPARAM) {
    if (IsDialogClass(window)) {
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    return TRUE;
}

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver& d = *driver;
    if (GetTickCount() - d.startTick > kScriptTimeoutMs) {
        if (!d.timedOut) {
            d.timedOut = true;
            EnumThreadWindows(GetCurrentThreadId(), CancelWindow, 0);
        }
        return;
    }
    if (d.dialog == nullptr) {
        d.dialog = FindThreadDialog(nullptr);
        if (d.dialog != nullptr) {
            d.script(d.dialog);  // ticks inside a picker the script opens come back here
        }
        return;
    }
    if (d.inPicker && d.inPicker(d.dialog)) {
        d.inPicker = nullptr;
    }
}

// Opens the dialog with the inputs as they are set and runs the script in it; the dialog's result.
INT_PTR RunDialog(DialogDriver* run) {
    driver = run;
    run->startTick = GetTickCount();
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, DriveDialog);
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ITEM_EDIT),
                                           nullptr, ItemEditDlgProc, 0);
    KillTimer(nullptr, timer);
    driver = nullptr;
    return result;
}

// A control's text in UTF-8.
std::string Text(HWND dialog, int id) {
    wchar_t wide[600] = {};
    GetDlgItemTextW(dialog, id, wide, 600);
    char text[1800] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

void Click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

int32_t CommandStub(MenuItem*, WindowHandle, int32_t) {
    return 0;
}

// Clean tables and dialog inputs per test, and a real file (whose icon the shell gives) in a
// folder of its own under the temporary folder.
class ItemEditDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTables();
        editItem = nullptr;
        editFromDrop = 0;
        std::memset(droppedPath, 0, sizeof droppedPath);
        editDialogOpen = 0;
        app = MakeFile("app.exe");
        tool = MakeFile("tool.txt");
    }
    void TearDown() override { ResetTables(); }
    std::string MakeFile(const char* name) {
        const std::string path = temp.File(name);
        EXPECT_TRUE(WriteFileBytes(path, "pivotel"));
        return path;
    }
    MenuItem* MakeItem(uint32_t id, uint8_t kind, const char* text) {
        MenuItem* item = CreateItem(id);
        EXPECT_NE(item, nullptr);
        SetItemText(item, text);
        EXPECT_EQ(SetItemIcon(item, tool.c_str()), 0);
        ShortcutInfo* launch = nullptr;
        if (kind == KindLaunch) {
            launch = CreateShortcutInfo();
            SetShortcutPath(launch, "C:\\表示\\ソフト.exe");
            SetShortcutArgs(launch, "表 -x");
            SetShortcutDir(launch, "C:\\表示");
            launch->show = 3;
        }
        item->action = kind == KindLaunch ? LaunchProgram : CommandStub;
        SetItemKind(item, kind, launch);
        return item;
    }

    TempDir temp;
    std::string folder = temp.path, app, tool;
};

TEST_F(ItemEditDialog, DroppedFileIsShownAndOkCreatesALaunchItemInTheFirstEmptyCell) {
    MenuItem* first = MakeItem(1, KindWindowCommand, "first");
    ASSERT_EQ(SetPaletteCell(0, 0, first), 0);
    editFromDrop = 1;
    std::snprintf(droppedPath, sizeof droppedPath, "%s", app.c_str());

    DialogDriver run;
    bool scriptRan = false;
    run.script = [&](HWND dialog) {
        scriptRan = true;
        EXPECT_EQ(editDialogOpen, 1);
        EXPECT_EQ(Text(dialog, IDC_ITEM_NAME), "app");
        EXPECT_EQ(Text(dialog, IDC_ITEM_ICON), app);
        EXPECT_EQ(Text(dialog, IDC_ITEM_PATH), app);
        EXPECT_EQ(Text(dialog, IDC_ITEM_ARGS), "");
        EXPECT_EQ(Text(dialog, IDC_ITEM_DIR), "");
        HWND show = GetDlgItem(dialog, IDC_ITEM_SHOW);
        EXPECT_EQ(SendMessageA(show, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(SendMessageA(show, CB_GETCURSEL, 0, 0), 0);
        const wchar_t* const names[] = {L"通常のウィンドウで表示", L"最大化して表示", L"最小化して表示"};
        for (int i = 0; i < 3; ++i) {
            wchar_t entry[64] = {};
            SendMessageW(show, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
            EXPECT_STREQ(entry, names[i]) << i;
        }
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_ITEM_NAME, EM_GETLIMITTEXT, 0, 0), 64);
        for (int id : {IDC_ITEM_ICON, IDC_ITEM_PATH, IDC_ITEM_ARGS, IDC_ITEM_DIR}) {
            EXPECT_EQ(SendDlgItemMessageA(dialog, id, EM_GETLIMITTEXT, 0, 0), 260) << id;
        }
        for (int id :
             {IDC_ITEM_NAME, IDC_ITEM_ICON, IDC_ITEM_ICON_BROWSE, IDC_ITEM_PATH, IDC_ITEM_PATH_BROWSE,
              IDC_ITEM_ARGS, IDC_ITEM_DIR, IDC_ITEM_DIR_BROWSE, IDC_ITEM_SHOW}) {
            EXPECT_TRUE(Enabled(dialog, id)) << id;
        }
        Click(dialog, IDOK);
    };
    EXPECT_EQ(RunDialog(&run), 1);
    EXPECT_TRUE(scriptRan);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(editDialogOpen, 0);

    ASSERT_EQ(CountItems(), 2);
    MenuItem* created = GetPaletteItem(0, 1);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->id, 2u);
    EXPECT_STREQ(created->text, "app");
    EXPECT_EQ(created->iconPath, app);
    EXPECT_NE(created->icon, nullptr);
    EXPECT_EQ(created->kind, KindLaunch);
    ASSERT_NE(created->shortcut, nullptr);
    EXPECT_EQ(created->shortcut->path, app);
    EXPECT_EQ(created->shortcut->show, 5);
    EXPECT_EQ(GetPaletteItem(0, 0), first);
}

TEST_F(ItemEditDialog, NewItemTakesTheTypedFieldsAndTheChosenWindowState) {
    paletteGrid.contextCell = CellPosition{5, 3};
    DialogDriver run;
    run.script = [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, IDC_ITEM_NAME), "");
        EXPECT_EQ(Text(dialog, IDC_ITEM_PATH), "");
        SetDlgItemTextA(dialog, IDC_ITEM_NAME, "tool");
        SetDlgItemTextA(dialog, IDC_ITEM_ICON, tool.c_str());
        SetDlgItemTextA(dialog, IDC_ITEM_PATH, "C:\\bin\\tool.exe");
        SetDlgItemTextA(dialog, IDC_ITEM_ARGS, "-x \"a b\"");
        SetDlgItemTextA(dialog, IDC_ITEM_DIR, "C:\\work");
        SendDlgItemMessageA(dialog, IDC_ITEM_SHOW, CB_SETCURSEL, 2, 0);
        Click(dialog, IDOK);
    };
    EXPECT_EQ(RunDialog(&run), 1);
    EXPECT_FALSE(run.timedOut);
    MenuItem* created = GetPaletteItem(5, 3);
    ASSERT_NE(created, nullptr);
    EXPECT_STREQ(created->text, "tool");
    ASSERT_NE(created->shortcut, nullptr);
    EXPECT_STREQ(created->shortcut->path, "C:\\bin\\tool.exe");
    EXPECT_STREQ(created->shortcut->args, "-x \"a b\"");
    EXPECT_STREQ(created->shortcut->dir, "C:\\work");
    EXPECT_EQ(created->shortcut->show, 2);
}

TEST_F(ItemEditDialog, WindowCommandHasItsLaunchControlsDisabledAndOkChangesNameAndIcon) {
    MenuItem* command = MakeItem(4, KindWindowCommand, "maximize");
    const ItemAction action = command->action;
    editItem = command;
    DialogDriver run;
    run.script = [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, IDC_ITEM_NAME), "maximize");
        EXPECT_EQ(Text(dialog, IDC_ITEM_ICON), tool);
        for (int id : {IDC_ITEM_NAME, IDC_ITEM_ICON, IDC_ITEM_ICON_BROWSE}) {
            EXPECT_TRUE(Enabled(dialog, id)) << id;
        }
        for (int id : {IDC_ITEM_PATH, IDC_ITEM_PATH_BROWSE, IDC_ITEM_ARGS, IDC_ITEM_DIR, IDC_ITEM_DIR_BROWSE,
                       IDC_ITEM_SHOW}) {
            EXPECT_FALSE(Enabled(dialog, id)) << id;
        }
        SetDlgItemTextA(dialog, IDC_ITEM_NAME, "bigger");
        SetDlgItemTextA(dialog, IDC_ITEM_ICON, app.c_str());
        Click(dialog, IDOK);
    };
    EXPECT_EQ(RunDialog(&run), 1);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(editDialogOpen, 0);
    EXPECT_STREQ(command->text, "bigger");
    EXPECT_EQ(command->iconPath, app);
    EXPECT_EQ(command->kind, KindWindowCommand);
    EXPECT_EQ(command->action, action);
    EXPECT_EQ(command->shortcut, nullptr);
    EXPECT_EQ(CountItems(), 1);
}

// An item named in Japanese, with Japanese paths: the edits show its texts, and what is kept is
// its code page 932 bytes exactly. A text that code page cannot hold makes OK do nothing but take
// the focus to the first edit (in focus order) that holds one.
TEST_F(ItemEditDialog, OkWithAnEmptyNameOrAnUnstorableTextKeepsTheDialogOpenAndCancelChangesNothing) {
    MenuItem* launch = MakeItem(2, KindLaunch, "エディタ");
    editItem = launch;
    DialogDriver run;
    bool stillOpen = false;
    bool unstorableStillOpen = false;
    bool focusOnArgs = false;
    int32_t openFlag = 0;
    run.script = [&](HWND dialog) {
        EXPECT_EQ(Text(dialog, IDC_ITEM_NAME), u8"エディタ");
        EXPECT_EQ(Text(dialog, IDC_ITEM_PATH), u8"C:\\表示\\ソフト.exe");
        EXPECT_EQ(Text(dialog, IDC_ITEM_ARGS), u8"表 -x");
        EXPECT_EQ(Text(dialog, IDC_ITEM_DIR), u8"C:\\表示");
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_ITEM_SHOW, CB_GETCURSEL, 0, 0), 1);  // show 3
        SetDlgItemTextA(dialog, IDC_ITEM_NAME, "");
        SetDlgItemTextA(dialog, IDC_ITEM_PATH, "C:\\new\\new.exe");
        Click(dialog, IDOK);
        stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
        openFlag = editDialogOpen;
        SetDlgItemTextA(dialog, IDC_ITEM_NAME, "renamed");
        SetDlgItemTextW(dialog, IDC_ITEM_ARGS, L"한국");
        SetDlgItemTextW(dialog, IDC_ITEM_DIR, L"C:\\한국");
        Click(dialog, IDOK);
        unstorableStillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
        focusOnArgs = GetFocus() == GetDlgItem(dialog, IDC_ITEM_ARGS);
        Click(dialog, IDCANCEL);
    };
    const auto expectKept = [&](const char* name) {
        EXPECT_STREQ(launch->text, name);
        EXPECT_STREQ(launch->shortcut->path, "C:\\表示\\ソフト.exe");
        EXPECT_STREQ(launch->shortcut->args, "表 -x");
        EXPECT_STREQ(launch->shortcut->dir, "C:\\表示");
        EXPECT_EQ(launch->shortcut->show, 3);
        EXPECT_EQ(CountItems(), 1);
    };
    EXPECT_EQ(RunDialog(&run), 1);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(openFlag, 1);
    EXPECT_TRUE(unstorableStillOpen);
    EXPECT_TRUE(focusOnArgs);
    EXPECT_EQ(editDialogOpen, 0);
    expectKept("エディタ");

    // The close box ends it the same way.
    DialogDriver closing;
    closing.script = [&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_ITEM_NAME, "closed");
        SendMessageA(dialog, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(RunDialog(&closing), 1);
    EXPECT_FALSE(closing.timedOut);
    EXPECT_EQ(editDialogOpen, 0);
    expectKept("エディタ");

    // OK with a new name typed keeps the untouched Japanese fields byte for byte.
    DialogDriver confirming;
    confirming.script = [&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_ITEM_NAME, L"表計算");
        Click(dialog, IDOK);
    };
    EXPECT_EQ(RunDialog(&confirming), 1);
    EXPECT_FALSE(confirming.timedOut);
    expectKept("表計算");
}

// Sets the picker's file name and confirms it; false while the picker is not up yet.
bool ChooseInPicker(HWND dialog, const std::string& path) {
    HWND picker = FindThreadDialog(dialog);
    if (picker == nullptr) {
        return false;
    }
    SetDlgItemTextA(picker, kFileNameEdit, path.c_str());
    SetDlgItemTextA(picker, kFileNameCombo, path.c_str());
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(picker, IDOK)));
    return true;
}

TEST_F(ItemEditDialog, ChosenProgramFillsAnEmptyNameAndIconPathOnly) {
    DialogDriver run;
    std::string afterFirst[3];
    std::string afterSecond[3];
    run.script = [&](HWND dialog) {
        run.inPicker = [&](HWND owner) { return ChooseInPicker(owner, app); };
        Click(dialog, IDC_ITEM_PATH_BROWSE);
        afterFirst[0] = Text(dialog, IDC_ITEM_NAME);
        afterFirst[1] = Text(dialog, IDC_ITEM_ICON);
        afterFirst[2] = Text(dialog, IDC_ITEM_PATH);
        // With a name and an icon path typed, choosing a program changes only the launch path.
        SetDlgItemTextA(dialog, IDC_ITEM_NAME, "kept");
        SetDlgItemTextA(dialog, IDC_ITEM_ICON, "C:\\icons\\kept.ico");
        run.inPicker = [&](HWND owner) { return ChooseInPicker(owner, tool); };
        Click(dialog, IDC_ITEM_PATH_BROWSE);
        afterSecond[0] = Text(dialog, IDC_ITEM_NAME);
        afterSecond[1] = Text(dialog, IDC_ITEM_ICON);
        afterSecond[2] = Text(dialog, IDC_ITEM_PATH);
        Click(dialog, IDCANCEL);
    };
    EXPECT_EQ(RunDialog(&run), 1);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(afterFirst[0], "app");
    EXPECT_EQ(afterFirst[1], app);
    EXPECT_EQ(afterFirst[2], app);
    EXPECT_EQ(afterSecond[0], "kept");
    EXPECT_EQ(afterSecond[1], "C:\\icons\\kept.ico");
    EXPECT_EQ(afterSecond[2], tool);
    EXPECT_EQ(CountItems(), 0);
}

// Confirms the folder browser as it opened, at its starting folder; false while it is not up yet.
bool AcceptFolderBrowser(HWND dialog) {
    HWND browser = FindThreadDialog(dialog);
    if (browser == nullptr) {
        return false;
    }
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
    return true;
}

TEST_F(ItemEditDialog, FolderBrowserStartsAtTheWorkingDirectoryElseAtTheProgramsFolder) {
    char windows[MAX_PATH] = {};
    ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    DialogDriver run;
    std::string typedDirectory;
    std::string programFolder;
    run.script = [&](HWND dialog) {
        // A typed working directory is where the browser starts; confirming it keeps it.
        SetDlgItemTextA(dialog, IDC_ITEM_DIR, folder.c_str());
        SetDlgItemTextA(dialog, IDC_ITEM_PATH, (std::string(windows) + "\\notepad.exe").c_str());
        run.inPicker = AcceptFolderBrowser;
        Click(dialog, IDC_ITEM_DIR_BROWSE);
        typedDirectory = Text(dialog, IDC_ITEM_DIR);
        // Without one, it starts in the launch file's folder.
        SetDlgItemTextA(dialog, IDC_ITEM_DIR, "");
        run.inPicker = AcceptFolderBrowser;
        Click(dialog, IDC_ITEM_DIR_BROWSE);
        programFolder = Text(dialog, IDC_ITEM_DIR);
        Click(dialog, IDCANCEL);
    };
    EXPECT_EQ(RunDialog(&run), 1);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(_stricmp(typedDirectory.c_str(), folder.c_str()), 0) << typedDirectory;
    EXPECT_EQ(_stricmp(programFolder.c_str(), windows), 0) << programFolder;
    EXPECT_EQ(CountItems(), 0);
}

}  // namespace
