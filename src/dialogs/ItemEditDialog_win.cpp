// The item edit dialog: name and icon of a palette item and, for a launch item, its program,
// parameters, working directory and window state, with pickers for the files and the folder.
// What the fields show and what confirming does are in ItemEdit.cpp; this is the window.

#include "dialogs/ItemEditDialog_win.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <initializer_list>

#include "dialogs/DialogItems_win.h"
#include "dialogs/ItemEdit.h"
#include "res/resource.h"
#include "settings/TextField.h"

namespace {

// The window-state list's entries, in the order of their show commands (ItemEdit.cpp).
const char* const kShowNames[kShowChoiceCount] = {"通常のウィンドウで表示", "最大化して表示",
                                                  "最小化して表示"};
// The file picker's one filter: its name and its pattern, each ending in a zero, then the end.
const char kAllFilesFilter[] = "すべてのファイル(*.*)\0*.*\0";
constexpr int kNameLimit = 64;         // characters the name edit takes
constexpr int kPathLimit = 260;        // characters each path and parameter edit takes
constexpr int kCustomFilterSize = 40;  // the file picker's buffer for a filter the user types
// Room for a full edit in double-byte characters, cut to a field afterwards.
constexpr int kReadSize = 2 * kPathLimit + 2;

// The controls that only a launch item uses.
const int kLaunchControls[] = {IDC_ITEM_PATH, IDC_ITEM_PATH_BROWSE, IDC_ITEM_ARGS,
                               IDC_ITEM_DIR,  IDC_ITEM_DIR_BROWSE,  IDC_ITEM_SHOW};

// An edit's text, cut to a kItemPathSize field without splitting a two-byte character.
void ReadField(HWND dialog, int id, char* field) {
    char text[kReadSize] = {};
    GetDlgItemTextA(dialog, id, text, kReadSize);
    CopyTextField(field, kItemPathSize, text);
}

void ReadFields(HWND dialog, ItemEditFields* fields) {
    ReadField(dialog, IDC_ITEM_NAME, fields->name);
    ReadField(dialog, IDC_ITEM_ICON, fields->iconPath);
    ReadField(dialog, IDC_ITEM_PATH, fields->launchPath);
    ReadField(dialog, IDC_ITEM_ARGS, fields->args);
    ReadField(dialog, IDC_ITEM_DIR, fields->dir);
    fields->showIndex = static_cast<int32_t>(SendItem(dialog, IDC_ITEM_SHOW, CB_GETCURSEL));
}

// Fills the controls for the dialog's mode (a dropped file, a new item, an item to edit). A
// window command has no launch data: those controls are disabled.
void InitItemEditDialog(HWND dialog) {
    editDialogOpen = 1;
    for (int id : {IDC_ITEM_NAME, IDC_ITEM_ICON, IDC_ITEM_ICON_BROWSE}) {
        EnableWindow(GetDlgItem(dialog, id), TRUE);
    }
    SendItem(dialog, IDC_ITEM_NAME, EM_LIMITTEXT, kNameLimit);
    for (int id : {IDC_ITEM_ICON, IDC_ITEM_PATH, IDC_ITEM_ARGS, IDC_ITEM_DIR}) {
        SendItem(dialog, id, EM_LIMITTEXT, kPathLimit);
    }
    SendItem(dialog, IDC_ITEM_SHOW, CB_RESETCONTENT);
    for (const char* name : kShowNames) {
        SendItem(dialog, IDC_ITEM_SHOW, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }

    ItemEditFields fields = {};
    bool launchEnabled = true;
    FillItemEditFields(editItem, editFromDrop, droppedPath, &fields, &launchEnabled);
    SetDlgItemTextA(dialog, IDC_ITEM_NAME, fields.name);
    SetDlgItemTextA(dialog, IDC_ITEM_ICON, fields.iconPath);
    SetDlgItemTextA(dialog, IDC_ITEM_PATH, fields.launchPath);
    SetDlgItemTextA(dialog, IDC_ITEM_ARGS, fields.args);
    SetDlgItemTextA(dialog, IDC_ITEM_DIR, fields.dir);
    SendItem(dialog, IDC_ITEM_SHOW, CB_SETCURSEL, static_cast<WPARAM>(fields.showIndex));
    for (int id : kLaunchControls) {
        EnableWindow(GetDlgItem(dialog, id), launchEnabled ? TRUE : FALSE);
    }
    // The name first, so typing starts there and Enter confirms.
    SetFocus(GetDlgItem(dialog, IDC_ITEM_NAME));
}

void CloseItemEditDialog(HWND dialog) {
    EndDialog(dialog, 1);
    editDialogOpen = 0;
}

// OK: the dialog closes only when the change was made. Refused input (an empty field, an icon
// that does not load, no free id or cell) leaves everything as it was and the dialog open, with
// no message: the user corrects the input or cancels.
void ConfirmItemEditDialog(HWND dialog) {
    ItemEditFields fields = {};
    ReadFields(dialog, &fields);
    if (ConfirmItemEdit(editItem, &fields)) {
        CloseItemEditDialog(dialog);
    }
}

// Lets the user choose an existing file (a shortcut file counts as itself, not its target) for
// the icon or the launch path, starting in the folder of the field's current path. Choosing a
// program also fills an empty icon path with it and an empty name with its name without
// extension. Cancelling changes nothing.
void BrowseForFile(HWND dialog, int fieldId) {
    char current[kItemPathSize];
    ReadField(dialog, fieldId, current);
    char startFolder[kItemPathSize] = {};
    PickerStartFolder(current, startFolder);
    char file[MAX_PATH] = {};
    char fileTitle[MAX_PATH] = {};
    char customFilter[kCustomFilterSize] = {};
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog;
    request.lpstrFilter = kAllFilesFilter;
    request.lpstrCustomFilter = customFilter;
    request.nMaxCustFilter = kCustomFilterSize;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrFileTitle = fileTitle;
    request.nMaxFileTitle = MAX_PATH;
    request.lpstrInitialDir = startFolder[0] != 0 ? startFolder : nullptr;
    request.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NODEREFERENCELINKS;
    if (!GetOpenFileNameA(&request)) {
        return;
    }
    SetDlgItemTextA(dialog, fieldId, file);
    if (fieldId != IDC_ITEM_PATH) {
        return;
    }
    if (GetWindowTextLengthA(GetDlgItem(dialog, IDC_ITEM_ICON)) == 0) {
        SetDlgItemTextA(dialog, IDC_ITEM_ICON, file);
    }
    char baseName[kItemPathSize] = {};
    if (GetWindowTextLengthA(GetDlgItem(dialog, IDC_ITEM_NAME)) == 0 && BaseNameOf(file, baseName)) {
        SetDlgItemTextA(dialog, IDC_ITEM_NAME, baseName);
    }
}

// Selects the starting folder once the folder browser is ready; data is that folder's path, which
// lives until the browser returns. The selection is asked for again once the browser takes its
// messages: on a busy machine the one made during its set-up was seen not to take (under Wine),
// and the browser then opened at its root.
int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
        PostMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    }
    return 0;
}

// Lets the user choose a file-system folder for the working directory. The browser starts at the
// typed working directory, else at the launch file's folder, else at its own default.
void BrowseForFolder(HWND dialog) {
    char startFolder[kItemPathSize];
    ReadField(dialog, IDC_ITEM_DIR, startFolder);
    if (startFolder[0] == 0) {
        char launchPath[kItemPathSize];
        ReadField(dialog, IDC_ITEM_PATH, launchPath);
        PickerStartFolder(launchPath, startFolder);
    }
    char displayName[MAX_PATH] = {};
    BROWSEINFOA request = {};
    request.hwndOwner = dialog;
    request.pszDisplayName = displayName;
    request.lpszTitle = "フォルダを選択してください";
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    if (startFolder[0] != 0) {
        request.lpfn = SelectStartFolder;
        request.lParam = reinterpret_cast<LPARAM>(startFolder);
    }
    // The shell's browser needs COM on this thread; a thread that has it already keeps its own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&request);
    if (chosen != nullptr) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, path)) {
            SetDlgItemTextA(dialog, IDC_ITEM_DIR, path);
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

INT_PTR ItemEditCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK:
            ConfirmItemEditDialog(dialog);
            return 1;
        case IDCANCEL:
            CloseItemEditDialog(dialog);
            return 1;
        case IDC_ITEM_ICON_BROWSE:
            BrowseForFile(dialog, IDC_ITEM_ICON);
            return 1;
        case IDC_ITEM_PATH_BROWSE:
            BrowseForFile(dialog, IDC_ITEM_PATH);
            return 1;
        case IDC_ITEM_DIR_BROWSE:
            BrowseForFolder(dialog);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

// The dialog procedure. Every way out (OK with accepted input, Cancel, the close box) ends the
// dialog with 1 and clears editDialogOpen.
INT_PTR CALLBACK ItemEditDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitItemEditDialog(dialog);
            return 0;
        case WM_COMMAND:
            return ItemEditCommand(dialog, wParam);
        case WM_CLOSE:
            CloseItemEditDialog(dialog);
            return 1;
        default:
            return 0;
    }
}
