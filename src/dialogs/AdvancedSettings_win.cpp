// The advanced settings dialog: the trigger button, wheel forwarding and the opacity that the
// translucency command uses. It reads "setting.ini" afresh each time it opens and writes it when
// confirmed; the opacity also takes effect at once.

#include "dialogs/AdvancedSettingsDialog_win.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "actions/WindowCommands.h"
#include "dialogs/AdvancedSettings.h"
#include "dialogs/DialogItems_win.h"
#include "platform/Jobs_win.h"
#include "res/resource.h"
#include "settings/SettingsFile.h"

int32_t advancedDialogOpen;

namespace {
// The combo box's entries; an entry's index is the TRIGGER value it stands for.
const wchar_t* const kTriggerNames[kTriggerChoiceCount] = {L"サイドボタン１", L"サイドボタン２",
                                                           L"ミドルボタン"};
constexpr int kOpacityTextSize = 8;  // room for the edit's at most three digits
const wchar_t kDialogTitle[] = L"詳細設定";
const wchar_t kNotWrittenText[] =
    L"設定ファイル (setting.ini) に保存できませんでした。ほかのプログラムが使用中の可能性があります。";

// Fills the controls from the file. Without a settings path the controls stay empty.
void InitAdvancedDialog(HWND dialog) {
    advancedDialogOpen = 1;
    std::string path;
    if (GetSettingsPath(&path) != 0) {
        return;
    }
    for (const wchar_t* name : kTriggerNames) {
        SendItem(dialog, IDC_ADV_TRIGGER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendItem(dialog, IDC_ADV_ALPHA_SPIN, UDM_SETRANGE, 0, MAKELPARAM(kMaxOpacity, 0));
    SendItem(dialog, IDC_ADV_ALPHA_EDIT, EM_LIMITTEXT, kOpacityTextLength);
    SendItem(dialog, IDC_ADV_ALPHA_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, kMaxOpacity));

    AdvancedSettingsState state = {};
    ReadAdvancedSettings(path, &state);
    SendItem(dialog, IDC_ADV_TRIGGER, CB_SETCURSEL, static_cast<WPARAM>(state.triggerIndex));
    // The up-down writes the number into its buddy edit, whose change moves the trackbar too. An
    // ALPHA above 255 is handed over as it is: each control keeps to its own range.
    SendItem(dialog, IDC_ADV_ALPHA_SPIN, UDM_SETPOS, 0, MAKELPARAM(state.opacity & 0xffffu, 0));
    SendItem(dialog, IDC_ADV_ALPHA_SLIDER, TBM_SETPOS, TRUE, static_cast<LPARAM>(state.opacity));
    SendItem(dialog, IDC_ADV_SENDWHEEL, BM_SETCHECK, state.sendWheel ? BST_CHECKED : BST_UNCHECKED);
}

void CloseAdvancedDialog(HWND dialog) {
    EndDialog(dialog, 1);
    advancedDialogOpen = 0;
}

// OK: writes TRIGGER, ALPHA and SENDWHEEL and applies an accepted opacity at once. The opacity is
// what the up-down answers from its edit's text, so an emptied edit gives 0 whether OK is clicked
// (the edit has lost the focus and shows 0) or Enter is pressed in it (the up-down reads empty
// text as 0). An answer the up-down flags as an error (300 typed) changes neither the file nor the
// value in use; the other two keys are still written.
void ConfirmAdvancedDialog(HWND dialog) {
    std::string path;
    if (GetSettingsPath(&path) == 0) {
        const LRESULT selection = SendItem(dialog, IDC_ADV_TRIGGER, CB_GETCURSEL);
        const LRESULT answer = SendItem(dialog, IDC_ADV_ALPHA_SPIN, UDM_GETPOS);
        const bool sendWheel = SendItem(dialog, IDC_ADV_SENDWHEEL, BM_GETCHECK) == BST_CHECKED;
        uint32_t opacity = kMaxOpacity + 1;  // stays above 255 when the answer is refused
        bool written = false;
        const auto write = [&] {
            written = WriteAdvancedSettings(path, static_cast<int32_t>(selection),
                                            static_cast<uint32_t>(answer), sendWheel, &opacity);
        };
        // This thread runs the mouse hook, which the system drops when its calls go unanswered for
        // long: the file is written on another thread, however long a held file makes it take.
        if (!RunServingSentMessages(write)) {
            write();
        }
        if (opacity <= kMaxOpacity) {
            translucencyAlpha.store(static_cast<uint8_t>(opacity));
        }
        if (!written) {
            // The choices stay in the dialog, to be confirmed again or dropped with Cancel.
            MessageBoxW(dialog, kNotWrittenText, kDialogTitle, MB_OK | MB_ICONWARNING);
            return;
        }
    }
    CloseAdvancedDialog(dialog);
}

// Keeps the trackbar on the edit's number; an empty edit leaves it where it is.
void OpacityTextChanged(HWND dialog) {
    wchar_t text[kOpacityTextSize] = {};
    GetDlgItemTextW(dialog, IDC_ADV_ALPHA_EDIT, text, kOpacityTextSize);
    if (text[0] != L'\0') {
        SendItem(dialog, IDC_ADV_ALPHA_SLIDER, TBM_SETPOS, TRUE, _wtoi(text));
    }
}

// An edit left empty becomes 0, in all three controls.
void OpacityEditLeft(HWND dialog) {
    if (GetWindowTextLengthW(GetDlgItem(dialog, IDC_ADV_ALPHA_EDIT)) == 0) {
        SendItem(dialog, IDC_ADV_ALPHA_SPIN, UDM_SETPOS);
        SetDlgItemTextW(dialog, IDC_ADV_ALPHA_EDIT, L"0");
    }
}

INT_PTR AdvancedDialogCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int notification = HIWORD(wParam);
    switch (id) {
        case IDOK:
            ConfirmAdvancedDialog(dialog);
            return 1;
        case IDCANCEL:
            CloseAdvancedDialog(dialog);
            return 1;
        case IDC_ADV_ALPHA_EDIT:
            if (notification == EN_CHANGE) {
                OpacityTextChanged(dialog);
                return 1;
            }
            if (notification == EN_KILLFOCUS) {
                OpacityEditLeft(dialog);
                return 1;
            }
            return 0;
        default:
            return 0;
    }
}
}  // namespace

// The dialog procedure. Every way out (OK, Cancel, the close box) ends the dialog with 1.
INT_PTR CALLBACK AdvancedSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitAdvancedDialog(dialog);
            return 0;
        case WM_COMMAND:
            return AdvancedDialogCommand(dialog, wParam);
        case WM_HSCROLL:
            // The trackbar moved: the up-down follows, and it rewrites the edit.
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_ADV_ALPHA_SLIDER)) {
                const LRESULT position = SendItem(dialog, IDC_ADV_ALPHA_SLIDER, TBM_GETPOS);
                SendItem(dialog, IDC_ADV_ALPHA_SPIN, UDM_SETPOS, 0, MAKELPARAM(position & 0xffff, 0));
            }
            return 0;
        case WM_CLOSE:
            CloseAdvancedDialog(dialog);
            return 1;
        default:
            return 0;
    }
}
