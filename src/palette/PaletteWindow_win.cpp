// The palette editor's thread and window: creating it at its monitor's DPI, its input and
// context menus, and starting and stopping the thread.

#include "palette/PaletteWindow_win.h"

#include <shellapi.h>

#include <string>

#include "dialogs/ItemEdit.h"
#include "dialogs/ItemEditDialog_win.h"
#include "palette/PaletteLayout.h"
#include "platform/DisplayScale_win.h"
#include "platform/Holders_win.h"
#include "platform/WideText_win.h"
#include "platform/WindowThread_win.h"
#include "res/resource.h"
#include "settings/SettingsFormat.h"
#include "tooltip/LabelWindow.h"

const wchar_t kPaletteClassName[] = L"メニューパレット";

HWND paletteWindow;
HMENU itemMenu;
HMENU emptyCellMenu;
HMENU slotMenu;
std::atomic<uint32_t> paletteSaveCount{0};
uint32_t paletteDpi = kPaletteBaseDpi;
WindowThread paletteThread;

namespace {

HMENU contextMenus;  // holds the three context menus as its submenus
constexpr DWORD kPaletteStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
constexpr int32_t kItemMenuIndex = 0;
constexpr int32_t kEmptyCellMenuIndex = 1;
constexpr int32_t kSlotMenuIndex = 2;
const wchar_t kNotLoadedText[] =
    L"設定ファイル (setting.ini) を読み込めないため、パレットを開けません。"
    L"ほかのプログラムが使用中の可能性があります。しばらくしてからもう一度開いてください。";
// The messages of a drop from the shell: WM_COPYGLOBALDATA (0x0049) carries the drop's data.
constexpr UINT kDropMessages[] = {WM_DROPFILES, WM_COPYDATA, 0x0049};

// The window's outer size when its client area is the picture scaled to dpi, with that DPI's
// frame metrics.
SIZE PaletteWindowSize(uint32_t dpi) {
    static const auto adjustForDpi = SystemFunction<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>(
        L"user32.dll", "AdjustWindowRectExForDpi");
    RECT frame = {0, 0, ScaleToDpi(kPaletteClientWidth, dpi), ScaleToDpi(kPaletteClientHeight, dpi)};
    if (adjustForDpi == nullptr || !adjustForDpi(&frame, kPaletteStyle, FALSE, 0, dpi)) {
        AdjustWindowRectEx(&frame, kPaletteStyle, FALSE, 0);
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// WM_GETDPISCALEDSIZE, sent from Windows 10 1703 on; the headers name it only for newer targets.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// Set by ClosePaletteWithoutSaving: the thread then leaves its loop without writing the settings.
std::atomic<bool> paletteDiscard{false};

// The three context menus, from the menu resource that holds them as its submenus.
bool LoadContextMenus(HINSTANCE instance) {
    contextMenus = LoadMenuW(instance, MAKEINTRESOURCEW(IDM_PALETTE));
    itemMenu = GetSubMenu(contextMenus, kItemMenuIndex);
    emptyCellMenu = GetSubMenu(contextMenus, kEmptyCellMenuIndex);
    slotMenu = GetSubMenu(contextMenus, kSlotMenuIndex);
    return itemMenu != nullptr && emptyCellMenu != nullptr && slotMenu != nullptr;
}

// The window sized so that its client area is exactly the picture at its monitor's DPI, whatever
// the frame metrics. It is made for the screen's DPI and resized when it lands on a monitor of
// another.
HWND CreatePaletteWindow(HINSTANCE instance) {
    paletteDpi = WindowDpi(nullptr);
    const SIZE size = PaletteWindowSize(paletteDpi);
    HWND window = CreateWindowExW(0, kPaletteClassName, kPaletteClassName, kPaletteStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
    if (window != nullptr && WindowDpi(window) != paletteDpi) {
        paletteDpi = WindowDpi(window);
        const SIZE resized = PaletteWindowSize(paletteDpi);
        SetWindowPos(window, nullptr, 0, 0, resized.cx, resized.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
}

// Asks for a WM_MOUSELEAVE when the cursor leaves the window, so the label goes with it.
void WatchMouseLeave(HWND window) {
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    TrackMouseEvent(&track);
}

// Opens the item edit dialog, modal on this thread, for the inputs just set.
void RunItemEditDialog() {
    HideLabel();
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ITEM_EDIT), paletteWindow,
                    ItemEditDlgProc, 0);
}

// The context menu commands; the context cell or slot was named by the right release.
void RunPaletteCommand(WORD command) {
    switch (command) {
        case IDC_PALETTE_EDIT: {
            const int32_t prepared = PrepareEditItem();
            if (prepared == 1) {
                RunItemEditDialog();
            }
            if (prepared >= 0) {
                ForgetContextCell();
            }
            break;
        }
        case IDC_PALETTE_DELETE:
            DeleteContextItem();
            break;
        case IDC_PALETTE_NEW:
            if (PrepareNewItem()) {
                RunItemEditDialog();
            }
            ForgetContextCell();
            break;
        case IDC_PALETTE_REMOVE:
            RemoveSlotMenuTarget();
            break;
        default:
            break;
    }
}

// A right release at a client point: the context menu of the cell or slot there, whose command
// runs before the menu call returns; then any drag ends.
void HandleRightRelease(POINT at) {
    HideLabel();
    if (WaitForPaletteWindow() != 0) {
        ResetPaletteDrag();
        return;
    }
    const PaletteMenuRequest request = PaletteRightRelease(at.x, at.y);
    if (request.kind == PaletteMenuItem) {
        EnableMenuItem(itemMenu, IDC_PALETTE_DELETE,
                       MF_BYCOMMAND | (request.deleteEnabled ? MF_ENABLED : MF_GRAYED));
    }
    const bool chosen = request.kind != PaletteMenuNone && ShowPaletteContextMenu(request.kind) == 0;
    PaletteContextMenuEnded(request.kind, chosen);
}

// Where a button message happened, in picture coordinates (negative left of or above the window
// while the mouse is captured). Presses and releases are taken where they happened, not where
// the cursor is by the time the message is handled: a quick drag must drop where it was let go.
POINT MessagePoint(LPARAM lParam) {
    return PicturePoint(POINT{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))});
}

// A dropped file: its first path becomes a new launch item through the dialog; the other files of
// the drop are ignored. The drop's memory is released as soon as the path has been taken. A path
// that an item cannot keep whole (a character code page 932 lacks, or longer than an item path)
// makes no item, rather than one that names another file.
void HandleDroppedFiles(HDROP drop) {
    HideLabel();
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    const UINT copied = length != 0 ? DragQueryFileW(drop, 0, path.data(), length + 1) : 0;
    DragFinish(drop);
    path.resize(copied);
    std::string cp932;
    if (copied == 0 || !Cp932FromWideString(path, &cp932) || cp932.size() >= kItemPathSize) {
        return;
    }
    if (PrepareDroppedFile(cp932.c_str())) {
        RunItemEditDialog();
    }
}

}  // namespace

// Shows one of the editor's context menus at the cursor and, when a command is chosen, runs it at
// once through WM_COMMAND while the context cell or slot still names its target. 0 when a command
// ran, 2 when none was chosen or the kind is unknown, -1 when there is no editor window.
int32_t ShowPaletteContextMenu(int32_t kind) {
    if (WaitForPaletteWindow() != 0) {
        return -1;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    HMENU popup = kind == PaletteMenuItem        ? itemMenu
                  : kind == PaletteMenuEmptyCell ? emptyCellMenu
                  : kind == PaletteMenuSlot      ? slotMenu
                                                 : nullptr;
    if (popup == nullptr) {
        return 2;
    }
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD, cursor.x, cursor.y, 0, paletteWindow, nullptr));
    if (command == 0) {
        return 2;
    }
    SendMessageW(paletteWindow, WM_COMMAND, LOWORD(command), 0);
    return 0;
}

// The editor window's procedure. The frame always covers the whole client area, so the
// background is never erased; a paint request draws the frame between BeginPaint and EndPaint,
// and every gesture is followed by a fresh frame.
static LRESULT CALLBACK PaletteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            DragAcceptFiles(window, TRUE);
            // Run as administrator, the editor would not get files dropped from the shell, which
            // runs at a lower level: let the drop's messages through.
            for (UINT message : kDropMessages) {
                ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
            }
            break;
        case WM_DESTROY:
            HideLabel();
            PostQuitMessage(0);
            break;
        case WM_ERASEBKGND:
            return 1;
        case kGetDpiScaledSize: {
            // Asked ahead of a move to a monitor of another DPI: the size whose client area is the
            // picture at that DPI, which the system then suggests with WM_DPICHANGED.
            *reinterpret_cast<SIZE*>(lParam) = PaletteWindowSize(static_cast<uint32_t>(wParam));
            return TRUE;
        }
        case WM_DPICHANGED: {
            // Moved to a monitor of another DPI: the picture is drawn at that one, in the rectangle
            // the system suggests, so that the window stays under the pointer that drags it.
            paletteDpi = LOWORD(wParam);
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(window, &paint) != nullptr) {
                RepaintPalette(window);
                EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            WatchMouseLeave(window);
            RepaintPalette(window);
            break;
        case WM_MOUSELEAVE:
            HideLabel();
            break;
        case WM_LBUTTONDOWN: {
            const POINT at = MessagePoint(lParam);
            if (WaitForPaletteWindow() == 0 && PaletteLeftPress(at.x, at.y)) {
                SetCapture(window);
            }
            RepaintPalette(window);
            break;
        }
        case WM_LBUTTONUP: {
            const POINT at = MessagePoint(lParam);
            if (WaitForPaletteWindow() == 0) {
                if (PaletteLeftRelease(at.x, at.y)) {
                    ReleaseCapture();
                }
            } else {
                ReleaseCapture();
                scrollPress = ScrollPressNone;
                ResetPaletteDrag();
            }
            RepaintPalette(window);
            break;
        }
        case WM_RBUTTONUP:
            HandleRightRelease(MessagePoint(lParam));
            RepaintPalette(window);
            break;
        case WM_MOUSEWHEEL:
            PaletteWheel(static_cast<int16_t>(HIWORD(wParam)));
            RepaintPalette(window);
            break;
        case WM_COMMAND:
            RunPaletteCommand(LOWORD(wParam));
            RepaintPalette(window);
            break;
        case WM_DROPFILES:
            HandleDroppedFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The editor's thread: registers the class, creates its surfaces, context menus and window, runs
// the message loop and, when the user has closed the window, writes the settings file. 0 after a
// normal close, -1 (as unsigned) when setting up failed. Everything it made is released on every
// path.
static unsigned __stdcall PaletteWindowThread(void*) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // Icons loaded for new items go through the shell, which wants COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const bool registered = RegisterWindowClass(instance, kPaletteClassName, PaletteWindowProc,
                                                LoadIconW(instance, MAKEINTRESOURCEW(IDI_PIVOTEL)));
    // Items edited without the file's own would be saved over them: the editor opens only on a
    // whole load, which it tries once more here.
    const bool loaded = ReloadUnreadSettings() >= 0;
    if (!loaded) {
        MessageBoxW(nullptr, kNotLoadedText, kPaletteClassName, MB_OK | MB_ICONWARNING);
    }
    ResetPaletteEditor();
    bool ready = loaded && registered && CreatePaletteSurfaces(instance) && LoadContextMenus(instance);
    // The window comes last, once everything it draws with exists, so the first paint finds it.
    paletteWindow = ready ? CreatePaletteWindow(instance) : nullptr;
    ready = paletteWindow != nullptr;
    if (ready) {
        SignalWindowThreadReady(paletteThread);
        if (RunMessageLoop() && !paletteDiscard.load()) {
            SaveSettings();
            paletteSaveCount.fetch_add(1);
        }
    }

    if (contextMenus != nullptr) {
        DestroyMenu(contextMenus);
    }
    contextMenus = itemMenu = emptyCellMenu = slotMenu = nullptr;
    if (paletteWindow != nullptr) {
        DestroyWindow(paletteWindow);
        paletteWindow = nullptr;
    }
    FreePaletteSurfaces();
    if (registered) {
        UnregisterClassW(kPaletteClassName, instance);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return ready ? 0 : static_cast<unsigned>(-1);
}

// Starts the editor's thread unless one runs: 0 when started, -1 when one runs already or the
// thread cannot be started.
int32_t StartPaletteThread() {
    if (IsWindowThreadRunning(paletteThread)) {
        return -1;
    }
    paletteDiscard.store(false);
    return StartWindowThread(paletteThread, PaletteWindowThread, nullptr) ? 0 : -1;
}

bool IsPaletteThreadRunning() {
    return IsWindowThreadRunning(paletteThread);
}

// Closes the editor, if open, without writing the settings file, and returns once its thread has
// ended, however long its set-up takes.
void ClosePaletteWithoutSaving() {
    paletteDiscard.store(true);
    StopWindowThread(paletteThread, true);
}

// 0 once the editor window exists, -1 otherwise: at once without an editor thread, else after a
// bounded wait for its set-up, which ends early when the thread fails.
int32_t WaitForPaletteWindow() {
    return AwaitWindowThread(paletteThread) && paletteWindow != nullptr ? 0 : -1;
}
