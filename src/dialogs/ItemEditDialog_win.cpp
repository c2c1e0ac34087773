// The item edit dialog: name and icon of a palette item and, for a launch item, its program,
// parameters, working directory and window state, with pickers for the files and the folder.
// What the fields show and what confirming does are in ItemEdit.cpp; this is the window.

#include "dialogs/ItemEditDialog_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "dialogs/DialogItems_win.h"
#include "dialogs/ItemEdit.h"
#include "platform/WideText_win.h"
#include "res/resource.h"
#include "settings/TextField.h"

namespace {

// The window-state list's entries, in the order of their show commands (ItemEdit.cpp).
const wchar_t* const kShowNames[kShowChoiceCount] = {L"通常のウィンドウで表示", L"最大化して表示",
                                                     L"最小化して表示"};
// The file picker's one filter: its name and its pattern, each ending in a zero, then the end.
const wchar_t kAllFilesFilter[] = L"すべてのファイル(*.*)\0*.*\0";
// The balloon on a field whose text the settings file cannot keep.
const wchar_t kUnstorableTitle[] = L"保存できない文字";
const wchar_t kUnstorableText[] = L"この欄には設定ファイルに保存できない文字が含まれています。";
// Characters the edits take. What an item keeps is the code page 932 form cut to its field's
// bytes at a character boundary, so a long double-byte text is cut when confirmed.
constexpr int kNameLimit = 64;
constexpr int kPathLimit = 260;
constexpr int kCustomFilterSize = 40;  // the file picker's buffer for a filter the user types

// The controls that only a launch item uses.
const int kLaunchControls[] = {IDC_ITEM_PATH, IDC_ITEM_PATH_BROWSE, IDC_ITEM_ARGS,
                               IDC_ITEM_DIR,  IDC_ITEM_DIR_BROWSE,  IDC_ITEM_SHOW};

// An edit's whole text.
std::wstring ItemText(HWND dialog, int id) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(dialog, id))) + 1, L'\0');
    text.resize(GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(text.size())));
    return text;
}

// An edit's text in code page 932, cut to a kItemPathSize field without splitting a two-byte
// character. False, with the field empty, when the text holds a character the code page lacks.
bool ReadField(HWND dialog, int id, char* field) {
    std::string cp932;
    const bool storable = Cp932FromWideString(ItemText(dialog, id), &cp932);
    CopyTextField(field, kItemPathSize, cp932.c_str());
    return storable;
}

// Shows a code page 932 text in an edit.
void ShowField(HWND dialog, int id, const char* text) {
    SetDlgItemTextW(dialog, id, WideStringFromCp932(text).c_str());
}

// Reads every control: 0, or the first edit (in the order the focus visits them) whose text
// code page 932 cannot hold.
int ReadFields(HWND dialog, ItemEditFields* fields) {
    const std::pair<int, char*> edits[] = {{IDC_ITEM_NAME, fields->name},
                                           {IDC_ITEM_ICON, fields->iconPath},
                                           {IDC_ITEM_PATH, fields->launchPath},
                                           {IDC_ITEM_ARGS, fields->args},
                                           {IDC_ITEM_DIR, fields->dir}};
    int unstorable = 0;
    for (const auto& [id, field] : edits) {
        if (!ReadField(dialog, id, field) && unstorable == 0) {
            unstorable = id;
        }
    }
    fields->showIndex = static_cast<int32_t>(SendItem(dialog, IDC_ITEM_SHOW, CB_GETCURSEL));
    return unstorable;
}

// Whether a path from a picker goes into a field, with its code page 932 form (left empty when
// the code page cannot hold it). A form longer than an item path stays out, as a picker answering
// in that code page had no room for it; a path the code page cannot hold goes in, so that OK can
// point at it.
bool TakesPickedPath(const wchar_t* path, std::string* cp932) {
    return !Cp932FromWideString(path, cp932) || cp932->size() < kItemPathSize;
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
    for (const wchar_t* name : kShowNames) {
        SendItem(dialog, IDC_ITEM_SHOW, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }

    ItemEditFields fields = {};
    bool launchEnabled = true;
    FillItemEditFields(editItem, editFromDrop, droppedPath, &fields, &launchEnabled);
    ShowField(dialog, IDC_ITEM_NAME, fields.name);
    ShowField(dialog, IDC_ITEM_ICON, fields.iconPath);
    ShowField(dialog, IDC_ITEM_PATH, fields.launchPath);
    ShowField(dialog, IDC_ITEM_ARGS, fields.args);
    ShowField(dialog, IDC_ITEM_DIR, fields.dir);
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

// Takes the user to an edit whose text the settings file cannot keep: the focus goes there, its
// text selected, and a balloon on it says why OK did nothing.
void PointAtUnstorableField(HWND dialog, int id) {
    HWND edit = GetDlgItem(dialog, id);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    EDITBALLOONTIP balloon = {};
    balloon.cbStruct = sizeof balloon;
    balloon.pszTitle = kUnstorableTitle;
    balloon.pszText = kUnstorableText;
    balloon.ttiIcon = TTI_ERROR;
    SendMessageW(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&balloon));
}

// OK: the dialog closes only when the change was made. A field holding a character that code
// page 932 lacks is pointed at with a balloon, since nothing shows the user which one it is.
// Other refused input (an empty field, an icon that does not load, no free id or cell) leaves
// everything as it was and the dialog open, with no message: the user corrects the input or
// cancels.
void ConfirmItemEditDialog(HWND dialog) {
    ItemEditFields fields = {};
    const int unstorable = ReadFields(dialog, &fields);
    if (unstorable != 0) {
        PointAtUnstorableField(dialog, unstorable);
        return;
    }
    if (ConfirmItemEdit(editItem, &fields)) {
        CloseItemEditDialog(dialog);
    }
}

// Lets the user choose an existing file (a shortcut file counts as itself, not its target) for
// the icon or the launch path, starting in the folder of the field's current path. Choosing a
// program also fills an empty icon path with it and an empty name with its name without
// extension (when code page 932 can hold it). Cancelling changes nothing.
void BrowseForFile(HWND dialog, int fieldId) {
    char current[kItemPathSize];
    ReadField(dialog, fieldId, current);
    char startFolder[kItemPathSize] = {};
    PickerStartFolder(current, startFolder);
    const std::wstring initialDir = WideStringFromCp932(startFolder);
    wchar_t file[MAX_PATH] = {};
    wchar_t fileTitle[MAX_PATH] = {};
    wchar_t customFilter[kCustomFilterSize] = {};
    OPENFILENAMEW request = {};
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
    request.lpstrInitialDir = !initialDir.empty() ? initialDir.c_str() : nullptr;
    request.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NODEREFERENCELINKS;
    std::string cp932;
    if (!GetOpenFileNameW(&request) || !TakesPickedPath(file, &cp932)) {
        return;
    }
    SetDlgItemTextW(dialog, fieldId, file);
    if (fieldId != IDC_ITEM_PATH) {
        return;
    }
    if (GetWindowTextLengthW(GetDlgItem(dialog, IDC_ITEM_ICON)) == 0) {
        SetDlgItemTextW(dialog, IDC_ITEM_ICON, file);
    }
    char baseName[kItemPathSize] = {};
    if (!cp932.empty() && GetWindowTextLengthW(GetDlgItem(dialog, IDC_ITEM_NAME)) == 0 &&
        BaseNameOf(cp932.c_str(), baseName)) {
        ShowField(dialog, IDC_ITEM_NAME, baseName);
    }
}

// Selects the starting folder once the folder browser is ready; data is that folder's path, which
// lives until the browser returns. The selection is asked for again once the browser takes its
// messages: on a busy machine the one made during its set-up was seen not to take (under Wine),
// and the browser then opened at its root.
int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
        PostMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
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
    const std::wstring start = WideStringFromCp932(startFolder);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW request = {};
    request.hwndOwner = dialog;
    request.pszDisplayName = displayName;
    request.lpszTitle = L"フォルダを選択してください";
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    if (!start.empty()) {
        request.lpfn = SelectStartFolder;
        request.lParam = reinterpret_cast<LPARAM>(start.c_str());
    }
    // The shell's browser needs COM on this thread; a thread that has it already keeps its own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&request);
    if (chosen != nullptr) {
        wchar_t path[MAX_PATH] = {};
        std::string cp932;
        if (SHGetPathFromIDListW(chosen, path) && TakesPickedPath(path, &cp932)) {
            SetDlgItemTextW(dialog, IDC_ITEM_DIR, path);
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
