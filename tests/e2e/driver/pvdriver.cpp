// pvdriver: the end-to-end tests' hands and eyes inside the Wine desktop. One subcommand per run;
// results go to stdout as JSON lines in plain ASCII (everything outside ASCII as \uXXXX escapes),
// the exit code tells success (0), a condition not met or a time-out (1), a usage error (2) or a
// failed system call (3).
//
// Text arguments: an argument written "hex:" followed by hex digits stands for the UTF-8 text of
// those bytes; any other argument is taken as the system passes it. The test scripts encode every
// non-ASCII argument this way, so Japanese window names never depend on how the command line is
// converted on its way into Wine. Windows are matched and texts compared as UTF-16 (the W API);
// for texts that the program under test keeps in code page 932, the bytes that the A API returns
// are reported as well, in hex, so that a test can check the exact 8-bit text.
//
// Subcommands (numbers are decimal or 0x hex; "-" for CLASS or TITLE matches anything):
//   find-window CLASS [TITLE]                    every top-level window that matches, then a count
//   wait-window CLASS [TITLE] [--timeout MS]     until at least one matches
//   wait-no-window CLASS [TITLE] [--timeout MS]  until none matches
//                                                (--visible with any of the three: only visible
//                                                windows match)
//   window-info HWND
//   find-msgbox [CAPTION]                        dialogs of class #32770 ("ERROR" when omitted)
//   wait-msgbox [CAPTION] [--timeout MS]
//   close-window HWND                            posts WM_CLOSE
//   post-message HWND MSG [WPARAM [LPARAM]]
//   send-message HWND MSG [WPARAM [LPARAM]] [--timeout MS]
//   input STEP...   STEP: move:X,Y  down:B  up:B  click:B  wheel:D  hwheel:D  keydown:K  keyup:K
//                   sleep:MS  extra:N  (B: left right middle x1 x2; K: ctrl shift alt or a virtual
//                   key number; extra sets dwExtraInfo for the steps after it)
//   cursor                                       the cursor position
//   test-window X Y W H [--class C] [--title T] [--color RRGGBB] [--timeout MS] [--log FILE]
//               [--topmost] [--skip-moves] [--hang MS]
//                                                a visible window that logs the mouse messages it gets
//                                                (--hang: takes no message for MS after "ready")
//   pixel X Y [X Y...]                           screen colours as rrggbb
//   clipboard-get / clipboard-set TEXT
//   run [--timeout MS] [--cwd DIR] -- PROGRAM [ARGS...]   start, wait, report the exit code
//   wait-exit PID [--timeout MS] / kill PID
//   hook-probe HWND                              how long one mouse input waits while the thread
//                                                that owns HWND is suspended (see CommandHookProbe)
//   idle [--timeout MS] [--tick MS]              a hidden window (class PvDriverIdle) that keeps the
//                                                desktop alive until WM_CLOSE or the time-out
//                                                (--tick: reads the cursor position every MS)
//   empty-hook [--timeout MS]                    the same (class PvDriverEmptyHook), holding a
//                                                low-level mouse hook that does nothing
// Dialogs (the tray scenarios):
//   dialog-controls HWND                         the dialog's child controls: id, class, text,
//                                                whether enabled and, by class, check state,
//                                                selection or position
//   set-text HWND TEXT                           WM_SETTEXT to a window of another process
//   foreground                                   the foreground window
//   layered HWND                                 the window's layered style and its opacity
//   tray-delete HWND [UID]                       removes that window's notification-area icon, as a
//                                                restarting shell loses it
//   taskbar-created HWND                         posts the shell's "TaskbarCreated" message to HWND
// The palette editor scenarios:
//   client-rect HWND                             the client area's screen origin and size
//   capture X Y W H                              the screen's pixels in that rectangle, one line per
//                                                row, each pixel as rrggbb
//   drop-files HWND X Y PATH...                  posts WM_DROPFILES to HWND as a file drop at client
//                                                point (X, Y) would (see CommandDropFiles)
// Measurements for the benchmarks (figures in microseconds):
//   move-bench [--count N]                       SendInput's duration per relative pointer move
//   press-latency --probe X,Y [--count N] [--button B] [--self]
//                                                press-to-pixels latency (see CommandPressLatency)
//   ring-cycles --at X,Y --slot X,Y [--count N] [--button B]   open-track-close rounds
//   process-info PID                             processor time, handles, GDI/USER objects, windows,
//                                                memory (see CommandProcessInfo)

#include <windows.h>
#include <shellapi.h>
#include <winternl.h>

#include <psapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../bench/BenchTiming.h"  // NowMicroseconds, the monotonic clock of every figure

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNotMet = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSystem = 3;
constexpr DWORD kPollMs = 50;
constexpr DWORD kDefaultTimeoutMs = 10000;

// The parsed command line: positional arguments and --options (with or without a value).
struct Args {
    std::vector<std::wstring> positional;
    std::map<std::wstring, std::wstring> options;
};

// Options that take no value.
const std::set<std::wstring> kFlags = {L"--topmost", L"--skip-moves", L"--visible", L"--self"};

// Where the lines of the test window go besides stdout (null: stdout only).
FILE* logFile = nullptr;

// Closes a kernel handle when it goes out of scope.
struct HandleHolder {
    HANDLE handle = nullptr;
    explicit HandleHolder(HANDLE h) : handle(h) {}
    ~HandleHolder() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    HandleHolder(const HandleHolder&) = delete;
    HandleHolder& operator=(const HandleHolder&) = delete;
};

// Resumes a suspended thread when it goes out of scope, so a probe never leaves it frozen.
struct SuspendHolder {
    HANDLE thread = nullptr;
    explicit SuspendHolder(HANDLE t) : thread(t) {}
    ~SuspendHolder() {
        if (thread != nullptr) {
            ResumeThread(thread);
        }
    }
    SuspendHolder(const SuspendHolder&) = delete;
    SuspendHolder& operator=(const SuspendHolder&) = delete;
};

// Keeps the clipboard open for the lifetime of the holder.
struct ClipboardHolder {
    bool open = false;
    ~ClipboardHolder() {
        if (open) {
            CloseClipboard();
        }
    }
};

// Writes one output line to stdout (and the log file) at once, so a reader sees it immediately.
void EmitLine(const std::string& line) {
    fwrite(line.data(), 1, line.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
    if (logFile != nullptr) {
        fwrite(line.data(), 1, line.size(), logFile);
        fputc('\n', logFile);
        fflush(logFile);
    }
}

void Fail(const std::string& what) {
    EmitLine("{\"error\":\"" + what + "\",\"last_error\":" + std::to_string(GetLastError()) + "}");
}

// A UTF-16 text as a JSON string literal in plain ASCII.
std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c) & 0xffffu);
            out += buffer;
        }
    }
    return out + "\"";
}

// Bytes as a JSON string of lower-case hex digits.
std::string JsonHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "\"";
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

std::string JsonNumber(long long value) {
    return std::to_string(value);
}

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], count);
    return out;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

// Decodes a "hex:..." argument into text; other arguments come back unchanged. Returns -1 for a
// malformed hex argument.
int32_t DecodeArgument(const std::wstring& argument, std::wstring* text) {
    if (argument.compare(0, 4, L"hex:") != 0) {
        *text = argument;
        return 0;
    }
    std::string bytes;
    size_t length = argument.size() - 4;
    if (length % 2 != 0) {
        return -1;
    }
    for (size_t i = 4; i < argument.size(); i += 2) {
        int high = HexDigit(argument[i]);
        int low = HexDigit(argument[i + 1]);
        if (high < 0 || low < 0) {
            return -1;
        }
        bytes += static_cast<char>(high * 16 + low);
    }
    *text = Utf8ToWide(bytes);
    return 0;
}

// Splits the process's UTF-16 command line into the subcommand's arguments and options. A bare
// "--" ends the options: everything after it is positional (the command line of "run").
int32_t ParseArgs(int argc, wchar_t** argv, int first, Args* args) {
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        std::wstring text;
        if (DecodeArgument(argv[i], &text) != 0) {
            return -1;
        }
        if (optionsEnded || text.size() < 2 || text.compare(0, 2, L"--") != 0) {
            args->positional.push_back(text);
        } else if (text == L"--") {
            optionsEnded = true;
        } else if (kFlags.count(text) != 0) {
            args->options[text] = L"1";
        } else if (i + 1 < argc) {
            std::wstring value;
            if (DecodeArgument(argv[++i], &value) != 0) {
                return -1;
            }
            args->options[text] = value;
        } else {
            return -1;
        }
    }
    return 0;
}

// Reads a decimal or 0x-prefixed number; -1 when the text is not a whole number.
int32_t ParseNumber(const std::wstring& text, long long* value) {
    if (text.empty()) {
        return -1;
    }
    wchar_t* end = nullptr;
    *value = wcstoll(text.c_str(), &end, 0);
    return (end != nullptr && *end == L'\0') ? 0 : -1;
}

long long OptionNumber(const Args& args, const wchar_t* name, long long fallback) {
    auto found = args.options.find(name);
    long long value = 0;
    if (found == args.options.end() || ParseNumber(found->second, &value) != 0) {
        return fallback;
    }
    return value;
}

std::wstring OptionText(const Args& args, const wchar_t* name, const std::wstring& fallback) {
    auto found = args.options.find(name);
    return found == args.options.end() ? fallback : found->second;
}

bool HasOption(const Args& args, const wchar_t* name) {
    return args.options.count(name) != 0;
}

HWND ParseWindow(const std::wstring& text) {
    long long value = 0;
    if (ParseNumber(text, &value) != 0) {
        return nullptr;
    }
    return reinterpret_cast<HWND>(static_cast<intptr_t>(value));
}

// The window that the first of exactly count arguments names. Null, with *exitCode set, when the
// count is wrong (kExitUsage) or no such window exists (kExitNotMet, after {"exists":false}).
HWND WindowArgument(const Args& args, size_t count, int* exitCode) {
    if (args.positional.size() != count) {
        *exitCode = kExitUsage;
        return nullptr;
    }
    HWND window = ParseWindow(args.positional[0]);
    if (window == nullptr || !IsWindow(window)) {
        EmitLine("{\"exists\":false}");
        *exitCode = kExitNotMet;
        return nullptr;
    }
    return window;
}

std::wstring WindowClass(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

std::wstring WindowTextW(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// The window's text as the A API hands it out: 8-bit bytes in the process's ANSI code page.
std::string WindowTextA(HWND window) {
    char buffer[2048] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// The window's DPI awareness (0 unaware, 1 system, 2 per monitor) and its DPI; -1 where the
// system has no such functions.
std::pair<int, int> WindowDpi(HWND window) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto find = [user32](const char* name) { return reinterpret_cast<void*>(GetProcAddress(user32, name)); };
    auto context = reinterpret_cast<HANDLE(WINAPI*)(HWND)>(find("GetWindowDpiAwarenessContext"));
    auto awareness = reinterpret_cast<int(WINAPI*)(HANDLE)>(find("GetAwarenessFromDpiAwarenessContext"));
    auto dpi = reinterpret_cast<UINT(WINAPI*)(HWND)>(find("GetDpiForWindow"));
    if (context == nullptr || awareness == nullptr || dpi == nullptr) {
        return {-1, -1};
    }
    return {awareness(context(window)), static_cast<int>(dpi(window))};
}

// One window as a JSON object: handle, class, title (also as A-API bytes), visibility, window
// rectangle in screen coordinates, owning process and thread, DPI awareness and DPI.
std::string DescribeWindow(HWND window) {
    const std::pair<int, int> dpi = WindowDpi(window);
    RECT rect = {};
    GetWindowRect(window, &rect);
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(window, &pid);
    return "{\"hwnd\":" + JsonNumber(reinterpret_cast<intptr_t>(window)) +
           ",\"class\":" + JsonString(WindowClass(window)) + ",\"title\":" + JsonString(WindowTextW(window)) +
           ",\"title_a\":" + JsonHex(WindowTextA(window)) +
           ",\"visible\":" + JsonBool(IsWindowVisible(window) != FALSE) + ",\"rect\":[" +
           JsonNumber(rect.left) + "," + JsonNumber(rect.top) + "," + JsonNumber(rect.right) + "," +
           JsonNumber(rect.bottom) + "],\"pid\":" + JsonNumber(pid) + ",\"tid\":" + JsonNumber(tid) +
           ",\"awareness\":" + JsonNumber(dpi.first) + ",\"dpi\":" + JsonNumber(dpi.second) + "}";
}

// What EnumWindows collects: the filter and the matching windows.
struct WindowQuery {
    std::wstring className;  // "-": any
    std::wstring title;      // "-": any
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    WindowQuery* query = reinterpret_cast<WindowQuery*>(param);
    if (query->className != L"-" && WindowClass(window) != query->className) {
        return TRUE;
    }
    if (query->title != L"-" && WindowTextW(window) != query->title) {
        return TRUE;
    }
    if (query->visibleOnly && !IsWindowVisible(window)) {
        return TRUE;
    }
    query->found.push_back(window);
    return TRUE;
}

std::vector<HWND> FindWindows(const std::wstring& className, const std::wstring& title,
                              bool visibleOnly = false) {
    WindowQuery query{className, title, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

void EmitWindows(const std::vector<HWND>& windows) {
    for (HWND window : windows) {
        EmitLine(DescribeWindow(window));
    }
    EmitLine("{\"count\":" + JsonNumber(static_cast<long long>(windows.size())) + "}");
}

// find-window / wait-window / wait-no-window. Polls every kPollMs until the condition holds or the
// time-out ends; find-window looks once.
int CommandWindows(const Args& args, bool wait, bool wantPresent) {
    if (args.positional.empty() || args.positional.size() > 2) {
        return kExitUsage;
    }
    std::wstring title = args.positional.size() > 1 ? args.positional[1] : L"-";
    DWORD timeout = static_cast<DWORD>(OptionNumber(args, L"--timeout", kDefaultTimeoutMs));
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> windows = FindWindows(args.positional[0], title, HasOption(args, L"--visible"));
        bool met = wantPresent ? !windows.empty() : windows.empty();
        if (met || !wait || GetTickCount() - start >= timeout) {
            EmitWindows(windows);
            if (wait && !met) {
                EmitLine("{\"timeout\":true}");
            }
            return met ? kExitOk : kExitNotMet;
        }
        Sleep(kPollMs);
    }
}

int CommandWindowInfo(const Args& args) {
    int exitCode = kExitOk;
    HWND window = WindowArgument(args, 1, &exitCode);
    if (window == nullptr) {
        return exitCode;
    }
    EmitLine(DescribeWindow(window));
    return kExitOk;
}

// The texts of a dialog's child controls, by class: the message of a message box is in its
// static controls, its buttons are buttons.
struct DialogTexts {
    std::wstring text;
    std::string textA;
    std::vector<std::wstring> buttons;
};

BOOL CALLBACK CollectDialogText(HWND child, LPARAM param) {
    DialogTexts* texts = reinterpret_cast<DialogTexts*>(param);
    std::wstring className = WindowClass(child);
    std::wstring text = WindowTextW(child);
    if (text.empty()) {
        return TRUE;
    }
    if (_wcsicmp(className.c_str(), L"Static") == 0) {
        texts->text += text;
        texts->textA += WindowTextA(child);
    } else if (_wcsicmp(className.c_str(), L"Button") == 0) {
        texts->buttons.push_back(text);
    }
    return TRUE;
}

std::vector<HWND> FindMessageBoxes(const std::wstring& caption) {
    return FindWindows(L"#32770", caption);
}

void EmitMessageBoxes(const std::vector<HWND>& boxes) {
    for (HWND box : boxes) {
        DialogTexts texts;
        EnumChildWindows(box, CollectDialogText, reinterpret_cast<LPARAM>(&texts));
        std::string buttons = "[";
        for (size_t i = 0; i < texts.buttons.size(); ++i) {
            buttons += (i == 0 ? "" : ",") + JsonString(texts.buttons[i]);
        }
        buttons += "]";
        DWORD pid = 0;
        GetWindowThreadProcessId(box, &pid);
        EmitLine("{\"hwnd\":" + JsonNumber(reinterpret_cast<intptr_t>(box)) + ",\"caption\":" +
                 JsonString(WindowTextW(box)) + ",\"caption_a\":" + JsonHex(WindowTextA(box)) +
                 ",\"text\":" + JsonString(texts.text) + ",\"text_a\":" + JsonHex(texts.textA) +
                 ",\"buttons\":" + buttons + ",\"visible\":" + JsonBool(IsWindowVisible(box) != FALSE) +
                 ",\"pid\":" + JsonNumber(pid) + "}");
    }
    EmitLine("{\"count\":" + JsonNumber(static_cast<long long>(boxes.size())) + "}");
}

// find-msgbox / wait-msgbox.
int CommandMessageBoxes(const Args& args, bool wait) {
    if (args.positional.size() > 1) {
        return kExitUsage;
    }
    std::wstring caption = args.positional.empty() ? L"ERROR" : args.positional[0];
    DWORD timeout = static_cast<DWORD>(OptionNumber(args, L"--timeout", kDefaultTimeoutMs));
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> boxes = FindMessageBoxes(caption);
        if (!boxes.empty() || !wait || GetTickCount() - start >= timeout) {
            EmitMessageBoxes(boxes);
            return boxes.empty() ? kExitNotMet : kExitOk;
        }
        Sleep(kPollMs);
    }
}

// post-message / send-message / close-window.
int CommandMessage(const Args& args, bool send) {
    if (args.positional.size() < 2 || args.positional.size() > 4) {
        return kExitUsage;
    }
    HWND window = ParseWindow(args.positional[0]);
    long long message = 0;
    long long wParam = 0;
    long long lParam = 0;
    if (window == nullptr || ParseNumber(args.positional[1], &message) != 0 ||
        (args.positional.size() > 2 && ParseNumber(args.positional[2], &wParam) != 0) ||
        (args.positional.size() > 3 && ParseNumber(args.positional[3], &lParam) != 0)) {
        return kExitUsage;
    }
    if (!IsWindow(window)) {
        EmitLine("{\"exists\":false}");
        return kExitNotMet;
    }
    if (send) {
        DWORD_PTR result = 0;
        UINT timeout = static_cast<UINT>(OptionNumber(args, L"--timeout", kDefaultTimeoutMs));
        LRESULT ok = SendMessageTimeoutW(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                                         static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG, timeout, &result);
        if (ok == 0) {
            Fail("SendMessageTimeout");
            return kExitNotMet;
        }
        EmitLine("{\"result\":" + JsonNumber(static_cast<long long>(result)) + "}");
        return kExitOk;
    }
    if (!PostMessageW(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                      static_cast<LPARAM>(lParam))) {
        Fail("PostMessage");
        return kExitSystem;
    }
    EmitLine("{\"posted\":true}");
    return kExitOk;
}

int CommandClose(const Args& args) {
    if (args.positional.size() != 1) {
        return kExitUsage;
    }
    Args post = args;
    post.positional.push_back(std::to_wstring(WM_CLOSE));
    return CommandMessage(post, false);
}

// The normalized absolute coordinate (0..65535) that the system maps back onto pixel `pixel`
// of a screen `size` pixels wide: the smallest value v with v * size / 65536 == pixel.
LONG NormalizeCoordinate(LONG pixel, int size) {
    if (size <= 0) {
        return 0;
    }
    return static_cast<LONG>((static_cast<long long>(pixel) * 65536 + size - 1) / size);
}

// Sends one input record and returns how long SendInput took, in microseconds; -1 on failure.
// SendInput returns once every low-level hook of the desktop has answered (or timed out), so
// this is the time the hooks held the input up.
long long SendOneInput(INPUT& input) {
    long long start = NowMicroseconds();
    if (SendInput(1, &input, sizeof input) != 1) {
        return -1;
    }
    return NowMicroseconds() - start;
}

// Sends one mouse input; microseconds as SendOneInput.
long long SendMouseMicroseconds(DWORD flags, LONG dx, LONG dy, DWORD data, ULONG_PTR extra) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.mouseData = data;
    input.mi.dwFlags = flags;
    input.mi.dwExtraInfo = extra;
    return SendOneInput(input);
}

// Sends one mouse input and returns how long SendInput took, in milliseconds; -1 on failure.
long long SendMouse(DWORD flags, LONG dx, LONG dy, DWORD data, ULONG_PTR extra) {
    long long elapsed = SendMouseMicroseconds(flags, dx, dy, data, extra);
    return elapsed < 0 ? -1 : elapsed / 1000;
}

// Sends one key press or release of a virtual key; microseconds as SendOneInput.
long long SendKey(WORD virtualKey, bool up, ULONG_PTR extra) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    input.ki.dwExtraInfo = extra;
    return SendOneInput(input);
}

// The virtual key of a key name (ctrl, shift, alt) or number; 0 for an unknown name.
WORD KeyCode(const std::wstring& name) {
    if (name == L"ctrl") {
        return VK_CONTROL;
    }
    if (name == L"shift") {
        return VK_SHIFT;
    }
    if (name == L"alt") {
        return VK_MENU;
    }
    long long code = 0;
    if (ParseNumber(name, &code) != 0 || code <= 0 || code > 0xFE) {
        return 0;
    }
    return static_cast<WORD>(code);
}

// The down and up flags and the mouseData of a button name; -1 for an unknown name.
int32_t ButtonFlags(const std::wstring& name, DWORD* down, DWORD* up, DWORD* data) {
    *data = 0;
    if (name == L"left") {
        *down = MOUSEEVENTF_LEFTDOWN;
        *up = MOUSEEVENTF_LEFTUP;
    } else if (name == L"right") {
        *down = MOUSEEVENTF_RIGHTDOWN;
        *up = MOUSEEVENTF_RIGHTUP;
    } else if (name == L"middle") {
        *down = MOUSEEVENTF_MIDDLEDOWN;
        *up = MOUSEEVENTF_MIDDLEUP;
    } else if (name == L"x1" || name == L"x2") {
        *down = MOUSEEVENTF_XDOWN;
        *up = MOUSEEVENTF_XUP;
        *data = name == L"x1" ? XBUTTON1 : XBUTTON2;
    } else {
        return -1;
    }
    return 0;
}

// Moves the cursor to (x, y) with an absolute SendInput move, which the hooks see.
//
// Under Wine two positions must agree: Wine's own cursor position, which SendInput moves and
// which button input reports, and the X server's pointer, which SendInput leaves where it was and
// which GetCursorPos reads once the cursor has been still for 100 ms. So the X pointer is warped
// first with SetCursorPos (twice, since it warps only when Wine's position changes). The warp
// takes an X pointer grab, and the desktop process may answer the grab's crossing events late by
// moving Wine's position back to where the X pointer was before; so the SendInput move goes out
// after a short pause, and once the cursor has rested both positions are read back: the X
// pointer's by GetCursorPos after the rest, Wine's by GetCursorPos right after a zero move. Until
// both are at (x, y) the round is repeated (a few times at most); a repeated move is reported as
// corrected. `elapsed` receives the duration of the first SendInput, in microseconds.
int32_t MoveCursor(LONG x, LONG y, ULONG_PTR extra, long long* elapsed, bool* corrected) {
    constexpr DWORD kWarpSettleMs = 30;
    constexpr DWORD kRestMs = 120;
    constexpr int kRounds = 5;
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    LONG left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    LONG top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const LONG dx = NormalizeCoordinate(x - left, width);
    const LONG dy = NormalizeCoordinate(y - top, height);
    *corrected = false;
    *elapsed = -1;
    for (int round = 0; round < kRounds; ++round) {
        SetCursorPos(x ^ 1, y);
        SetCursorPos(x, y);
        Sleep(kWarpSettleMs);
        long long took = SendMouseMicroseconds(
            MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK, dx, dy, 0, extra);
        if (took < 0) {
            return -1;
        }
        if (*elapsed < 0) {
            *elapsed = took;
        }
        Sleep(kRestMs);
        POINT pointer = {};
        GetCursorPos(&pointer);
        if (SendMouse(MOUSEEVENTF_MOVE, 0, 0, 0, extra) < 0) {
            return -1;
        }
        POINT position = {};
        GetCursorPos(&position);
        if (pointer.x == x && pointer.y == y && position.x == x && position.y == y) {
            return 0;
        }
        *corrected = true;
    }
    SetCursorPos(x, y);  // the last resort, should the normalized position keep missing the pixel
    return 0;
}

// input STEP...: mouse and key input through SendInput, one INPUT per call, with one result line
// per step: how long the SendInput calls of the step took, in milliseconds ("ms", rounded down)
// and microseconds ("us").
int CommandInput(const Args& args) {
    if (args.positional.empty()) {
        return kExitUsage;
    }
    long long extraValue = OptionNumber(args, L"--extra", 0);
    ULONG_PTR extra = static_cast<ULONG_PTR>(extraValue);
    for (const std::wstring& step : args.positional) {
        size_t colon = step.find(L':');
        if (colon == std::wstring::npos) {
            return kExitUsage;
        }
        std::wstring verb = step.substr(0, colon);
        std::wstring value = step.substr(colon + 1);
        long long elapsed = 0;
        std::string detail;
        if (verb == L"move") {
            size_t comma = value.find(L',');
            long long x = 0;
            long long y = 0;
            if (comma == std::wstring::npos || ParseNumber(value.substr(0, comma), &x) != 0 ||
                ParseNumber(value.substr(comma + 1), &y) != 0) {
                return kExitUsage;
            }
            bool corrected = false;
            if (MoveCursor(static_cast<LONG>(x), static_cast<LONG>(y), extra, &elapsed, &corrected) != 0) {
                Fail("SendInput");
                return kExitSystem;
            }
            detail = ",\"corrected\":" + JsonBool(corrected);
        } else if (verb == L"down" || verb == L"up" || verb == L"click") {
            DWORD down = 0;
            DWORD up = 0;
            DWORD data = 0;
            if (ButtonFlags(value, &down, &up, &data) != 0) {
                return kExitUsage;
            }
            if (verb != L"up") {
                elapsed = SendMouseMicroseconds(down, 0, 0, data, extra);
            }
            if (elapsed >= 0 && verb != L"down") {
                long long more = SendMouseMicroseconds(up, 0, 0, data, extra);
                elapsed = more < 0 ? -1 : elapsed + more;
            }
        } else if (verb == L"keydown" || verb == L"keyup") {
            WORD key = KeyCode(value);
            if (key == 0) {
                return kExitUsage;
            }
            elapsed = SendKey(key, verb == L"keyup", extra);
        } else if (verb == L"wheel" || verb == L"hwheel") {
            long long delta = 0;
            if (ParseNumber(value, &delta) != 0) {
                return kExitUsage;
            }
            elapsed = SendMouseMicroseconds(verb == L"wheel" ? MOUSEEVENTF_WHEEL : MOUSEEVENTF_HWHEEL, 0, 0,
                                            static_cast<DWORD>(static_cast<int32_t>(delta)), extra);
        } else if (verb == L"sleep") {
            long long ms = 0;
            if (ParseNumber(value, &ms) != 0 || ms < 0) {
                return kExitUsage;
            }
            Sleep(static_cast<DWORD>(ms));
        } else if (verb == L"extra") {
            if (ParseNumber(value, &extraValue) != 0) {
                return kExitUsage;
            }
            extra = static_cast<ULONG_PTR>(extraValue);
        } else {
            return kExitUsage;
        }
        if (elapsed < 0) {
            Fail("SendInput");
            return kExitSystem;
        }
        EmitLine("{\"step\":" + JsonString(step) + ",\"ms\":" + JsonNumber(elapsed / 1000) +
                 ",\"us\":" + JsonNumber(elapsed) + detail + "}");
    }
    POINT where = {};
    GetCursorPos(&where);
    EmitLine("{\"cursor\":[" + JsonNumber(where.x) + "," + JsonNumber(where.y) + "]}");
    return kExitOk;
}

int CommandCursor() {
    POINT where = {};
    if (!GetCursorPos(&where)) {
        Fail("GetCursorPos");
        return kExitSystem;
    }
    EmitLine("{\"cursor\":[" + JsonNumber(where.x) + "," + JsonNumber(where.y) + "]}");
    return kExitOk;
}

// The settings of the test window, read by its window procedure.
struct TestWindowState {
    DWORD startTick = 0;
    bool skipMoves = false;
};

TestWindowState testWindowState;

// The mouse messages that the test window logs, by name.
struct MessageName {
    UINT message;
    const char* name;
};

const MessageName kMouseMessages[] = {
    {WM_MOUSEMOVE, "WM_MOUSEMOVE"},         {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
    {WM_LBUTTONUP, "WM_LBUTTONUP"},         {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"},
    {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},     {WM_RBUTTONUP, "WM_RBUTTONUP"},
    {WM_RBUTTONDBLCLK, "WM_RBUTTONDBLCLK"}, {WM_MBUTTONDOWN, "WM_MBUTTONDOWN"},
    {WM_MBUTTONUP, "WM_MBUTTONUP"},         {WM_MBUTTONDBLCLK, "WM_MBUTTONDBLCLK"},
    {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},       {WM_XBUTTONDOWN, "WM_XBUTTONDOWN"},
    {WM_XBUTTONUP, "WM_XBUTTONUP"},         {WM_XBUTTONDBLCLK, "WM_XBUTTONDBLCLK"},
    {WM_MOUSEHWHEEL, "WM_MOUSEHWHEEL"},     {WM_NCMOUSEMOVE, "WM_NCMOUSEMOVE"},
    {WM_NCLBUTTONDOWN, "WM_NCLBUTTONDOWN"}, {WM_NCLBUTTONUP, "WM_NCLBUTTONUP"},
    {WM_NCRBUTTONDOWN, "WM_NCRBUTTONDOWN"}, {WM_NCRBUTTONUP, "WM_NCRBUTTONUP"},
    {WM_NCMBUTTONDOWN, "WM_NCMBUTTONDOWN"}, {WM_NCMBUTTONUP, "WM_NCMBUTTONUP"},
    {WM_NCXBUTTONDOWN, "WM_NCXBUTTONDOWN"}, {WM_NCXBUTTONUP, "WM_NCXBUTTONUP"},
};

const char* MouseMessageName(UINT message) {
    for (const MessageName& entry : kMouseMessages) {
        if (entry.message == message) {
            return entry.name;
        }
    }
    return nullptr;
}

// Logs every mouse message as one line: name, number, the signed x and y of lParam as the message
// carries them (client coordinates; screen coordinates for WM_MOUSEWHEEL and the non-client
// messages), wParam, the message's extra information, whether another thread sent it (a
// forwarded message, by SendMessage or SendNotifyMessage) rather than it being posted input,
// InSendMessageEx's flags as they are, and the milliseconds since start.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const char* name = MouseMessageName(message);
    if (name != nullptr) {
        bool move = message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE;
        if (!(move && testWindowState.skipMoves)) {
            int x = static_cast<short>(LOWORD(lParam));
            int y = static_cast<short>(HIWORD(lParam));
            DWORD inSend = InSendMessageEx(nullptr);
            EmitLine(std::string("{\"event\":\"mouse\",\"msg\":\"") + name +
                     "\",\"id\":" + JsonNumber(message) + ",\"x\":" + JsonNumber(x) +
                     ",\"y\":" + JsonNumber(y) + ",\"wparam\":" + JsonNumber(static_cast<long long>(wParam)) +
                     ",\"extra\":" + JsonNumber(static_cast<long long>(GetMessageExtraInfo())) +
                     ",\"sent\":" + JsonBool((inSend & (ISMEX_SEND | ISMEX_NOTIFY)) != 0) +
                     ",\"ismex\":" + JsonNumber(static_cast<long long>(inSend)) +
                     ",\"t\":" + JsonNumber(GetTickCount() - testWindowState.startTick) + "}");
        }
        if (message == WM_XBUTTONDOWN || message == WM_XBUTTONUP || message == WM_XBUTTONDBLCLK) {
            return TRUE;
        }
        if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && message != WM_MOUSEMOVE) {
            return 0;
        }
    }
    switch (message) {
        case WM_TIMER:
            EmitLine("{\"event\":\"timeout\"}");
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// test-window X Y W H: shows a borderless window of that screen rectangle, painted in one colour,
// prints a "ready" line and then one line per mouse message until it is closed (WM_CLOSE) or the
// time-out (default 120 s) ends.
int CommandTestWindow(const Args& args) {
    if (args.positional.size() != 4) {
        return kExitUsage;
    }
    long long rect[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (ParseNumber(args.positional[static_cast<size_t>(i)], &rect[i]) != 0) {
            return kExitUsage;
        }
    }
    std::wstring className = OptionText(args, L"--class", L"PvDriverTestWindow");
    std::wstring title = OptionText(args, L"--title", L"pvdriver test window");
    long long color = 0x3366cc;
    auto colorOption = args.options.find(L"--color");
    if (colorOption != args.options.end()) {
        wchar_t* end = nullptr;
        color = wcstoll(colorOption->second.c_str(), &end, 16);
        if (end == nullptr || *end != L'\0') {
            return kExitUsage;
        }
    }
    DWORD timeout = static_cast<DWORD>(OptionNumber(args, L"--timeout", 120000));
    testWindowState.skipMoves = HasOption(args, L"--skip-moves");
    testWindowState.startTick = GetTickCount();
    std::wstring logPath = OptionText(args, L"--log", L"");
    if (!logPath.empty()) {
        logFile = _wfopen(logPath.c_str(), L"wb");
        if (logFile == nullptr) {
            Fail("open log");
            return kExitSystem;
        }
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = CreateSolidBrush(RGB((color >> 16) & 255, (color >> 8) & 255, color & 255));
    windowClass.lpszClassName = className.c_str();
    if (RegisterClassExW(&windowClass) == 0) {
        Fail("RegisterClassEx");
        return kExitSystem;
    }
    DWORD exStyle = HasOption(args, L"--topmost") ? WS_EX_TOPMOST : 0;
    HWND window =
        CreateWindowExW(exStyle, className.c_str(), title.c_str(), WS_POPUP | WS_VISIBLE,
                        static_cast<int>(rect[0]), static_cast<int>(rect[1]), static_cast<int>(rect[2]),
                        static_cast<int>(rect[3]), nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        Fail("CreateWindowEx");
        return kExitSystem;
    }
    SetForegroundWindow(window);
    UpdateWindow(window);
    SetTimer(window, 1, timeout, nullptr);
    EmitLine("{\"event\":\"ready\",\"window\":" + DescribeWindow(window) + "}");
    // A hung window: its thread takes no message for that long, so whatever is sent to it waits.
    DWORD hang = static_cast<DWORD>(OptionNumber(args, L"--hang", 0));
    if (hang > 0) {
        Sleep(hang);
        EmitLine("{\"event\":\"hang-over\"}");
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    EmitLine("{\"event\":\"quit\"}");
    if (logFile != nullptr) {
        fclose(logFile);
        logFile = nullptr;
    }
    return kExitOk;
}

// pixel X Y [X Y...]: the colours on the screen.
int CommandPixel(const Args& args) {
    if (args.positional.empty() || args.positional.size() % 2 != 0) {
        return kExitUsage;
    }
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        Fail("GetDC");
        return kExitSystem;
    }
    int status = kExitOk;
    for (size_t i = 0; i < args.positional.size(); i += 2) {
        long long x = 0;
        long long y = 0;
        if (ParseNumber(args.positional[i], &x) != 0 || ParseNumber(args.positional[i + 1], &y) != 0) {
            status = kExitUsage;
            break;
        }
        COLORREF color = GetPixel(screen, static_cast<int>(x), static_cast<int>(y));
        if (color == CLR_INVALID) {
            EmitLine("{\"x\":" + JsonNumber(x) + ",\"y\":" + JsonNumber(y) + ",\"rgb\":null}");
            status = kExitNotMet;
            continue;
        }
        char rgb[8];
        snprintf(rgb, sizeof rgb, "%02x%02x%02x", GetRValue(color), GetGValue(color), GetBValue(color));
        EmitLine("{\"x\":" + JsonNumber(x) + ",\"y\":" + JsonNumber(y) + ",\"rgb\":\"" + rgb + "\"}");
    }
    ReleaseDC(nullptr, screen);
    return status;
}

// Opens the clipboard for `owner`, retrying for a while when another program holds it.
bool OpenClipboardPatiently(HWND owner) {
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (OpenClipboard(owner)) {
            return true;
        }
        Sleep(kPollMs);
    }
    return false;
}

// clipboard-get: the Unicode text, and the bytes of the 8-bit text view (CF_TEXT, in the ANSI
// code page). Exit 1 when the clipboard holds no text.
int CommandClipboardGet() {
    ClipboardHolder clipboard;
    clipboard.open = OpenClipboardPatiently(nullptr);
    if (!clipboard.open) {
        Fail("OpenClipboard");
        return kExitSystem;
    }
    HANDLE wide = GetClipboardData(CF_UNICODETEXT);
    if (wide == nullptr) {
        EmitLine("{\"text\":null}");
        return kExitNotMet;
    }
    std::wstring text;
    const wchar_t* wideText = static_cast<const wchar_t*>(GlobalLock(wide));
    if (wideText != nullptr) {
        text = wideText;
        GlobalUnlock(wide);
    }
    std::string ansi;
    HANDLE narrow = GetClipboardData(CF_TEXT);
    const char* narrowText = narrow != nullptr ? static_cast<const char*>(GlobalLock(narrow)) : nullptr;
    if (narrowText != nullptr) {
        ansi = narrowText;
        GlobalUnlock(narrow);
    }
    EmitLine("{\"text\":" + JsonString(text) + ",\"text_a\":" + JsonHex(ansi) + "}");
    return kExitOk;
}

// clipboard-set TEXT: puts the text on the clipboard as CF_UNICODETEXT; the system offers the
// 8-bit forms from it. A hidden window owns the clipboard while the data is set.
int CommandClipboardSet(const Args& args) {
    if (args.positional.size() != 1) {
        return kExitUsage;
    }
    const std::wstring& text = args.positional[0];
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ClipboardHolder clipboard;
    clipboard.open = OpenClipboardPatiently(owner);
    if (!clipboard.open) {
        Fail("OpenClipboard");
        return kExitSystem;
    }
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* target = memory != nullptr ? GlobalLock(memory) : nullptr;
    if (target == nullptr) {
        Fail("GlobalAlloc");
        return kExitSystem;
    }
    memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        GlobalFree(memory);
        Fail("SetClipboardData");
        return kExitSystem;
    }
    CloseClipboard();
    clipboard.open = false;
    if (owner != nullptr) {
        DestroyWindow(owner);
    }
    EmitLine("{\"set\":true}");
    return kExitOk;
}

// Quotes one argument for a Windows command line (the rules CommandLineToArgvW reads back).
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// Waits for a process and reports its exit code; on time-out the process is left running.
int WaitForExit(HANDLE process, DWORD pid, DWORD timeout) {
    DWORD waited = WaitForSingleObject(process, timeout);
    if (waited == WAIT_TIMEOUT) {
        EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"timeout\":true}");
        return kExitNotMet;
    }
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code)) {
        Fail("WaitForSingleObject");
        return kExitSystem;
    }
    EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"exit_code\":" + JsonNumber(code) + "}");
    return kExitOk;
}

// run PROGRAM [ARGS...]: starts the program in this desktop and waits for it to end. A program
// that outlives the time-out is terminated (exit code 1 and "timeout" reported).
int CommandRun(const Args& args) {
    if (args.positional.empty()) {
        return kExitUsage;
    }
    std::wstring commandLine;
    for (const std::wstring& argument : args.positional) {
        commandLine += (commandLine.empty() ? L"" : L" ") + QuoteArgument(argument);
    }
    std::wstring directory = OptionText(args, L"--cwd", L"");
    DWORD timeout = static_cast<DWORD>(OptionNumber(args, L"--timeout", kDefaultTimeoutMs));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
        Fail("CreateProcess");
        return kExitSystem;
    }
    HandleHolder processHandle(process.hProcess);
    HandleHolder threadHandle(process.hThread);
    int status = WaitForExit(process.hProcess, process.dwProcessId, timeout);
    if (status == kExitNotMet) {
        TerminateProcess(process.hProcess, 1);
    }
    return status;
}

int CommandWaitExit(const Args& args) {
    long long pid = 0;
    if (args.positional.size() != 1 || ParseNumber(args.positional[0], &pid) != 0) {
        return kExitUsage;
    }
    HandleHolder process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
    if (process.handle == nullptr) {
        EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"exists\":false}");
        return kExitNotMet;
    }
    return WaitForExit(process.handle, static_cast<DWORD>(pid),
                       static_cast<DWORD>(OptionNumber(args, L"--timeout", kDefaultTimeoutMs)));
}

int CommandKill(const Args& args) {
    long long pid = 0;
    if (args.positional.size() != 1 || ParseNumber(args.positional[0], &pid) != 0) {
        return kExitUsage;
    }
    HandleHolder process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid)));
    if (process.handle == nullptr || !TerminateProcess(process.handle, 1)) {
        Fail("TerminateProcess");
        return kExitNotMet;
    }
    EmitLine("{\"killed\":" + JsonNumber(pid) + "}");
    return kExitOk;
}

// hook-probe HWND: tells whether the thread that owns HWND has a low-level mouse hook installed.
// A low-level hook is called on its installing thread, and the input that triggers it waits for
// the hook's answer (up to the system's hook time-out). With that thread suspended, one
// zero-distance mouse move therefore takes the whole hook time-out when the thread holds a hook,
// and no time at all when it holds none. The thread is resumed in every case.
int CommandHookProbe(const Args& args) {
    int exitCode = kExitOk;
    HWND window = WindowArgument(args, 1, &exitCode);
    if (window == nullptr) {
        return exitCode;
    }
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) {
        return kExitUsage;
    }
    HandleHolder thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, tid));
    if (thread.handle == nullptr) {
        Fail("OpenThread");
        return kExitSystem;
    }
    long long elapsed = 0;
    {
        if (SuspendThread(thread.handle) == static_cast<DWORD>(-1)) {
            Fail("SuspendThread");
            return kExitSystem;
        }
        SuspendHolder suspended(thread.handle);
        elapsed = SendMouse(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
    }
    if (elapsed < 0) {
        Fail("SendInput");
        return kExitSystem;
    }
    EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"tid\":" + JsonNumber(tid) +
             ",\"ms\":" + JsonNumber(elapsed) + "}");
    return kExitOk;
}

// The timers of the hidden windows: the time-out, and the optional tick.
constexpr UINT_PTR kTimeoutTimer = 1;
constexpr UINT_PTR kTickTimer = 2;

LRESULT CALLBACK IdleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kTickTimer) {
        POINT cursor;
        GetCursorPos(&cursor);
        return 0;
    }
    if (message == WM_TIMER) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Runs a hidden window of that class, reported in a "ready" line, until it is closed or the
// time-out (--timeout, default 10 minutes) ends. With --tick MS its thread also wakes every MS to
// read the cursor position: the least that a watchdog looking at the pointer costs.
int RunHiddenWindow(const Args& args, const wchar_t* className, const wchar_t* title) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = IdleWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (RegisterClassW(&windowClass) == 0) {
        Fail("RegisterClass");
        return kExitSystem;
    }
    HWND window =
        CreateWindowExW(0, className, title, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        Fail("CreateWindowEx");
        return kExitSystem;
    }
    SetTimer(window, kTimeoutTimer, static_cast<UINT>(OptionNumber(args, L"--timeout", 600000)), nullptr);
    const long long tick = OptionNumber(args, L"--tick", 0);
    if (tick > 0) {
        SetTimer(window, kTickTimer, static_cast<UINT>(tick), nullptr);
    }
    EmitLine("{\"event\":\"ready\",\"window\":" + DescribeWindow(window) + "}");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return kExitOk;
}

// idle: keeps one process attached to the desktop, so the desktop stays up between the programs
// of a test, until its hidden window is closed or the time-out (default 10 minutes) ends.
int CommandIdle(const Args& args) {
    if (!args.positional.empty()) {
        return kExitUsage;
    }
    return RunHiddenWindow(args, L"PvDriverIdle", L"pvdriver idle");
}

LRESULT CALLBACK EmptyMouseHook(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// empty-hook: a low-level mouse hook that does nothing but pass every message on, held by a
// hidden window's thread (class PvDriverEmptyHook) until it is closed: the baseline against
// which a real hook's cost is measured.
int CommandEmptyHook(const Args& args) {
    if (!args.positional.empty()) {
        return kExitUsage;
    }
    HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, EmptyMouseHook, GetModuleHandleW(nullptr), 0);
    if (hook == nullptr) {
        Fail("SetWindowsHookEx");
        return kExitSystem;
    }
    int status = RunHiddenWindow(args, L"PvDriverEmptyHook", L"pvdriver empty hook");
    UnhookWindowsHookEx(hook);
    return status;
}

// ---- measurements for the benchmarks ---------------------------------------------------------

// One line of order statistics of a sample, in microseconds, under `name`.
void EmitStats(const std::string& name, std::vector<long long> sample, const std::string& extra = "") {
    std::string line =
        "{\"stats\":\"" + name + "\",\"count\":" + JsonNumber(static_cast<long long>(sample.size()));
    if (!sample.empty()) {
        std::sort(sample.begin(), sample.end());
        long long sum = 0;
        for (long long value : sample) {
            sum += value;
        }
        auto at = [&sample](double share) {
            size_t index = static_cast<size_t>(share * static_cast<double>(sample.size() - 1) + 0.5);
            return sample[index];
        };
        line += ",\"min_us\":" + JsonNumber(sample.front()) + ",\"p50_us\":" + JsonNumber(at(0.5)) +
                ",\"p90_us\":" + JsonNumber(at(0.9)) + ",\"p99_us\":" + JsonNumber(at(0.99)) +
                ",\"max_us\":" + JsonNumber(sample.back()) +
                ",\"mean_us\":" + JsonNumber(sum / static_cast<long long>(sample.size()));
    }
    EmitLine(line + extra + "}");
}

// move-bench [--count N]: N relative one-pixel moves, alternately right and left, each timed
// from SendInput's call to its return, which comes after every low-level hook has answered.
int CommandMoveBench(const Args& args) {
    if (!args.positional.empty()) {
        return kExitUsage;
    }
    long long count = OptionNumber(args, L"--count", 2000);
    if (count <= 0) {
        return kExitUsage;
    }
    for (int i = 0; i < 50; ++i) {  // warm-up: the hooks' first calls pay for paging and caches
        SendMouseMicroseconds(MOUSEEVENTF_MOVE, (i % 2) ? -1 : 1, 0, 0, 0);
    }
    std::vector<long long> sample;
    sample.reserve(static_cast<size_t>(count));
    for (long long i = 0; i < count; ++i) {
        long long elapsed = SendMouseMicroseconds(MOUSEEVENTF_MOVE, (i % 2) ? -1 : 1, 0, 0, 0);
        if (elapsed < 0) {
            Fail("SendInput");
            return kExitSystem;
        }
        sample.push_back(elapsed);
    }
    EmitStats("move", sample);
    return kExitOk;
}

// A layered 256 x 256 window of the driver's own, for the baseline of press-latency: showing it
// and pushing an opaque image to it is what any program must do at least to put a ring on the
// screen, without a hook, a queue or a worker in between.
struct OwnLayeredWindow {
    HWND window = nullptr;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    ~OwnLayeredWindow() {
        if (dc != nullptr) {
            SelectObject(dc, previous);
            DeleteDC(dc);
        }
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }
};

int32_t CreateOwnLayeredWindow(OwnLayeredWindow& own) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"PvDriverLayered";
    RegisterClassW(&windowClass);
    own.window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"PvDriverLayered", L"",
                                 WS_POPUP, 0, 0, 256, 256, nullptr, nullptr, instance, nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 256;
    info.bmiHeader.biHeight = 256;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    own.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    own.dc = CreateCompatibleDC(nullptr);
    if (own.window == nullptr || own.bitmap == nullptr || own.dc == nullptr) {
        return -1;
    }
    own.previous = SelectObject(own.dc, own.bitmap);
    uint32_t* pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 256 * 256; ++i) {
        pixels[i] = 0xFF808080u;  // opaque grey, premultiplied
    }
    return 0;
}

// Shows the driver's own layered window centred on (x, y) with its image, as a ring is shown.
void ShowOwnLayeredWindow(OwnLayeredWindow& own, LONG x, LONG y) {
    SetWindowPos(own.window, HWND_TOP, x - 128, y - 128, 256, 256, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    HDC screen = GetDC(nullptr);
    POINT destination = {x - 128, y - 128};
    SIZE size = {256, 256};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(own.window, screen, &destination, &size, own.dc, &source, 0, &blend, ULW_ALPHA);
    ReleaseDC(nullptr, screen);
}

// Polls one screen pixel until `changed` says so or `timeoutUs` passes; the time it took in
// microseconds from `start`, or -1 on time-out.
template <typename Changed>
long long WaitForPixel(HDC screen, int x, int y, long long start, long long timeoutUs, Changed changed) {
    for (;;) {
        COLORREF color = GetPixel(screen, x, y);
        long long now = NowMicroseconds();
        if (changed(color)) {
            return now - start;
        }
        if (now - start > timeoutUs) {
            return -1;
        }
    }
}

// press-latency --probe X Y [--count N] [--button B] [--self]: how long a press takes to put the
// ring's pixels on the screen. Each round reads the screen pixel (X, Y), presses the button with
// SendInput and polls that pixel until its colour changes, then releases the button and waits
// until the pixel is back. The press must be at the cursor's place, the probe a pixel of the
// ring there that differs from what lies under it. With --self the driver shows and hides its
// own layered window there instead of pressing: the same measurement without the program under
// test, as a baseline. Rounds that see no change within a second are counted as missed.
int CommandPressLatency(const Args& args) {
    long long probe[2] = {};
    if (args.positional.size() != 0 || !HasOption(args, L"--probe")) {
        return kExitUsage;
    }
    std::wstring probeText = OptionText(args, L"--probe", L"");
    size_t comma = probeText.find(L',');
    if (comma == std::wstring::npos || ParseNumber(probeText.substr(0, comma), &probe[0]) != 0 ||
        ParseNumber(probeText.substr(comma + 1), &probe[1]) != 0) {
        return kExitUsage;
    }
    long long count = OptionNumber(args, L"--count", 60);
    DWORD down = 0;
    DWORD up = 0;
    DWORD data = 0;
    if (count <= 0 || ButtonFlags(OptionText(args, L"--button", L"x1"), &down, &up, &data) != 0) {
        return kExitUsage;
    }
    const bool self = HasOption(args, L"--self");
    OwnLayeredWindow own;
    if (self && CreateOwnLayeredWindow(own) != 0) {
        Fail("layered window");
        return kExitSystem;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    HDC screen = GetDC(nullptr);
    const int x = static_cast<int>(probe[0]);
    const int y = static_cast<int>(probe[1]);
    constexpr long long kTimeoutUs = 1000000;
    std::vector<long long> shown;
    std::vector<long long> hidden;
    long long missed = 0;
    for (long long round = 0; round < count; ++round) {
        const COLORREF before = GetPixel(screen, x, y);
        long long start = NowMicroseconds();
        if (self) {
            ShowOwnLayeredWindow(own, cursor.x, cursor.y);
        } else if (SendMouseMicroseconds(down, 0, 0, data, 0) < 0) {
            Fail("SendInput");
            return kExitSystem;
        }
        long long took =
            WaitForPixel(screen, x, y, start, kTimeoutUs, [before](COLORREF c) { return c != before; });
        start = NowMicroseconds();
        if (self) {
            ShowWindow(own.window, SW_HIDE);
        } else {
            SendMouseMicroseconds(up, 0, 0, data, 0);
        }
        long long back =
            WaitForPixel(screen, x, y, start, kTimeoutUs, [before](COLORREF c) { return c == before; });
        if (took < 0 || back < 0) {
            ++missed;
        } else {
            shown.push_back(took);
            hidden.push_back(back);
        }
        Sleep(30);
    }
    ReleaseDC(nullptr, screen);
    EmitStats("press-to-visible", shown, ",\"missed\":" + JsonNumber(missed));
    EmitStats("release-to-hidden", hidden);
    return missed == count ? kExitNotMet : kExitOk;
}

// ring-cycles --count N --at X,Y --slot X,Y [--button B]: N rounds of press at (X, Y), a move onto
// the slot point, a pause longer than a tracking tick (16 ms), a move back to the press point, a
// pause, and the release there (in the ring's dead centre, so that no item runs). All moves are
// plain SendInput moves. Reports the time the rounds took.
int CommandRingCycles(const Args& args) {
    long long at[2] = {};
    long long slot[2] = {};
    for (auto [name, target] : {std::pair<const wchar_t*, long long*>{L"--at", at}, {L"--slot", slot}}) {
        std::wstring text = OptionText(args, name, L"");
        size_t comma = text.find(L',');
        if (comma == std::wstring::npos || ParseNumber(text.substr(0, comma), &target[0]) != 0 ||
            ParseNumber(text.substr(comma + 1), &target[1]) != 0) {
            return kExitUsage;
        }
    }
    long long count = OptionNumber(args, L"--count", 1000);
    DWORD down = 0;
    DWORD up = 0;
    DWORD data = 0;
    if (!args.positional.empty() || count <= 0 ||
        ButtonFlags(OptionText(args, L"--button", L"x1"), &down, &up, &data) != 0) {
        return kExitUsage;
    }
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const DWORD absolute = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    auto moveTo = [&](const long long* point) {
        return SendMouseMicroseconds(absolute, NormalizeCoordinate(static_cast<LONG>(point[0]), width),
                                     NormalizeCoordinate(static_cast<LONG>(point[1]), height), 0, 0) >= 0;
    };
    long long start = NowMicroseconds();
    for (long long round = 0; round < count; ++round) {
        if (!moveTo(at) || SendMouseMicroseconds(down, 0, 0, data, 0) < 0) {
            Fail("SendInput");
            return kExitSystem;
        }
        Sleep(5);
        moveTo(slot);
        Sleep(25);
        moveTo(at);
        Sleep(25);
        SendMouseMicroseconds(up, 0, 0, data, 0);
        Sleep(10);
    }
    EmitLine("{\"cycles\":" + JsonNumber(count) +
             ",\"ms\":" + JsonNumber((NowMicroseconds() - start) / 1000) + "}");
    return kExitOk;
}

// The number of GDI objects of another process, counted in its GDI handle table: the table that
// the process's environment block points to (PEB field GdiSharedHandleTable, offset 0xF8 in a
// 64-bit process) holds one 24-byte entry per handle, whose type byte (offset 14) is 0 while the
// entry is free. Under Wine, where GetGuiResources answers nothing, this is the count that tells
// whether a program leaks GDI objects. -1 when the table cannot be read.
long long CountGdiObjects(HANDLE process) {
    constexpr size_t kPebGdiTableOffset = 0xF8;
    constexpr size_t kEntrySize = 24;
    constexpr size_t kEntryTypeOffset = 14;
    constexpr size_t kEntries = 0x10000;
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0 ||
        basic.PebBaseAddress == nullptr) {
        return -1;
    }
    ULONG_PTR table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset,
                           &table, sizeof table, &read) ||
        table == 0) {
        return -1;
    }
    std::vector<BYTE> entries(kEntries * kEntrySize);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(), entries.size(),
                           &read) ||
        read != entries.size()) {
        return -1;
    }
    long long count = 0;
    for (size_t i = 0; i < kEntries; ++i) {
        if (entries[i * kEntrySize + kEntryTypeOffset] != 0) {
            ++count;
        }
    }
    return count;
}

// The number of kernel handles a process holds, from the system's list of every open handle
// (NtQuerySystemInformation, SystemHandleInformation); GetProcessHandleCount answers 0 for other
// processes under Wine. -1 when the list cannot be had.
long long CountHandles(DWORD pid) {
    constexpr SYSTEM_INFORMATION_CLASS kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    // SYSTEM_HANDLE_INFORMATION: a count, then entries that begin with the owner's process id.
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        void* object;
        ULONG access;
    };
    struct Header {
        ULONG count;
        Entry first[1];
    };
    std::vector<BYTE> buffer(1 << 16);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        LONG status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                               static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status != 0) {
            return -1;
        }
        const Header* header = reinterpret_cast<const Header*>(buffer.data());
        long long count = 0;
        for (ULONG i = 0; i < header->count; ++i) {
            if (header->first[i].ownerPid == pid) {
                ++count;
            }
        }
        return count;
    }
    return -1;
}

// The windows of a process: its top-level windows and all their descendants.
BOOL CALLBACK CountChildWindow(HWND, LPARAM param) {
    ++*reinterpret_cast<long long*>(param);
    return TRUE;
}

struct WindowCount {
    DWORD pid;
    long long count;
};

BOOL CALLBACK CountProcessWindow(HWND window, LPARAM param) {
    WindowCount* windows = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == windows->pid) {
        ++windows->count;
        EnumChildWindows(window, CountChildWindow, reinterpret_cast<LPARAM>(&windows->count));
    }
    return TRUE;
}

// process-info PID: what a process uses: processor time (user and kernel, microseconds; Wine
// counts it in 10 ms steps), its handles (GetProcessHandleCount, and counted in the system's
// handle list), its GDI and USER objects as GetGuiResources gives them (with the error code when it
// gives nothing), its GDI objects counted in its handle table, its windows, and its memory
// (private bytes, working set).
int CommandProcessInfo(const Args& args) {
    long long pid = 0;
    if (args.positional.size() != 1 || ParseNumber(args.positional[0], &pid) != 0) {
        return kExitUsage;
    }
    HandleHolder process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, static_cast<DWORD>(pid)));
    if (process.handle == nullptr) {
        EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"exists\":false}");
        return kExitNotMet;
    }
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    if (!GetProcessTimes(process.handle, &created, &exited, &kernel, &user)) {
        Fail("GetProcessTimes");
        return kExitSystem;
    }
    auto microseconds = [](const FILETIME& time) {
        return static_cast<long long>(
            (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 10);
    };
    DWORD handles = 0;
    const bool haveHandles = GetProcessHandleCount(process.handle, &handles) != FALSE;
    SetLastError(0);
    DWORD gdi = GetGuiResources(process.handle, GR_GDIOBJECTS);
    DWORD gdiError = GetLastError();
    SetLastError(0);
    DWORD userObjects = GetGuiResources(process.handle, GR_USEROBJECTS);
    DWORD userError = GetLastError();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    const bool haveMemory =
        K32GetProcessMemoryInfo(process.handle, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                sizeof memory) != FALSE;
    WindowCount windows = {static_cast<DWORD>(pid), 0};
    EnumWindows(CountProcessWindow, reinterpret_cast<LPARAM>(&windows));
    EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"user_us\":" + JsonNumber(microseconds(user)) +
             ",\"kernel_us\":" + JsonNumber(microseconds(kernel)) +
             ",\"handles\":" + (haveHandles ? JsonNumber(handles) : "null") +
             ",\"handles_listed\":" + JsonNumber(CountHandles(static_cast<DWORD>(pid))) +
             ",\"gdi\":" + JsonNumber(gdi) + ",\"gdi_error\":" + JsonNumber(gdiError) +
             ",\"user\":" + JsonNumber(userObjects) + ",\"user_error\":" + JsonNumber(userError) +
             ",\"gdi_table\":" + JsonNumber(CountGdiObjects(process.handle)) +
             ",\"windows\":" + JsonNumber(windows.count) + ",\"private_bytes\":" +
             (haveMemory ? JsonNumber(static_cast<long long>(memory.PrivateUsage)) : "null") +
             ",\"working_set\":" +
             (haveMemory ? JsonNumber(static_cast<long long>(memory.WorkingSetSize)) : "null") + "}");
    return kExitOk;
}

// The dialog subcommands, defined at the end of the file; kExitUsage for any other command.
int DispatchDialogCommands(const std::wstring& command, const Args& args);

int Dispatch(const std::wstring& command, const Args& args) {
    if (command == L"find-window") {
        return CommandWindows(args, false, true);
    }
    if (command == L"wait-window") {
        return CommandWindows(args, true, true);
    }
    if (command == L"wait-no-window") {
        return CommandWindows(args, true, false);
    }
    if (command == L"window-info") {
        return CommandWindowInfo(args);
    }
    if (command == L"find-msgbox") {
        return CommandMessageBoxes(args, false);
    }
    if (command == L"wait-msgbox") {
        return CommandMessageBoxes(args, true);
    }
    if (command == L"close-window") {
        return CommandClose(args);
    }
    if (command == L"post-message") {
        return CommandMessage(args, false);
    }
    if (command == L"send-message") {
        return CommandMessage(args, true);
    }
    if (command == L"input") {
        return CommandInput(args);
    }
    if (command == L"cursor") {
        return CommandCursor();
    }
    if (command == L"test-window") {
        return CommandTestWindow(args);
    }
    if (command == L"pixel") {
        return CommandPixel(args);
    }
    if (command == L"clipboard-get") {
        return CommandClipboardGet();
    }
    if (command == L"clipboard-set") {
        return CommandClipboardSet(args);
    }
    if (command == L"run") {
        return CommandRun(args);
    }
    if (command == L"wait-exit") {
        return CommandWaitExit(args);
    }
    if (command == L"kill") {
        return CommandKill(args);
    }
    if (command == L"hook-probe") {
        return CommandHookProbe(args);
    }
    if (command == L"idle") {
        return CommandIdle(args);
    }
    if (command == L"empty-hook") {
        return CommandEmptyHook(args);
    }
    if (command == L"move-bench") {
        return CommandMoveBench(args);
    }
    if (command == L"press-latency") {
        return CommandPressLatency(args);
    }
    if (command == L"ring-cycles") {
        return CommandRingCycles(args);
    }
    if (command == L"process-info") {
        return CommandProcessInfo(args);
    }
    return DispatchDialogCommands(command, args);
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) {
        fputs("usage: pvdriver COMMAND [ARGS...] (see the head of pvdriver.cpp)\n", stderr);
        return kExitUsage;
    }
    Args args;
    int status = kExitUsage;
    if (ParseArgs(argc, argv, 2, &args) == 0) {
        status = Dispatch(argv[1], args);
    }
    if (status == kExitUsage) {
        EmitLine("{\"error\":\"usage\",\"command\":" + JsonString(argv[1]) + "}");
    }
    LocalFree(argv);
    // The exit code once more as the last line: Wine's loader can crash in the process's very
    // last steps (a glibc assertion in dl_fini, exit code 127) after the command has done its
    // work, and the harness then takes the code from here.
    EmitLine("{\"exit\":" + std::to_string(status) + "}");
    return status;
}

// ---- Dialogs: the controls of another process's dialog, for the tray scenarios ----------------

#include <commctrl.h>
#include <shlobj.h>

namespace {

// The window that has the keyboard focus in the thread owning `window` (null when none).
HWND FocusOfThread(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

// A control's text through WM_GETTEXT, which reaches the control's own procedure also across
// processes (GetWindowText of another process's window reads only the caption the system keeps,
// which is empty for an edit or a combo box). Both the UTF-16 text and the A API's bytes.
std::wstring ControlTextW(HWND control) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    return buffer;
}

std::string ControlTextA(HWND control) {
    char buffer[2048] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer;
}

// One child control as a JSON object: id, class, hwnd, text (also as A-API bytes) and, by class,
// what it holds: a button's check state, a combo box's selection, a trackbar's or up-down's
// position (the up-down's with its error flag, as UDM_GETPOS answers).
BOOL CALLBACK DescribeDialogControl(HWND control, LPARAM) {
    std::wstring className = WindowClass(control);
    auto ask = [control](UINT message) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(control, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        return static_cast<long long>(static_cast<LRESULT>(result));
    };
    auto is = [&className](const wchar_t* name) { return _wcsicmp(className.c_str(), name) == 0; };
    std::string state;
    if (is(L"Button")) {
        state = ",\"check\":" + JsonNumber(ask(BM_GETCHECK));
    } else if (is(L"ComboBox")) {
        state = ",\"selection\":" + JsonNumber(ask(CB_GETCURSEL)) +
                ",\"entries\":" + JsonNumber(ask(CB_GETCOUNT));
    } else if (is(L"msctls_trackbar32")) {
        state =
            ",\"position\":" + JsonNumber(ask(TBM_GETPOS)) + ",\"max\":" + JsonNumber(ask(TBM_GETRANGEMAX));
    } else if (is(L"msctls_updown32")) {
        long long answer = ask(UDM_GETPOS) & 0xffffffffLL;
        state =
            ",\"position\":" + JsonNumber(answer & 0xffff) + ",\"error\":" + JsonBool((answer >> 16) != 0);
    }
    EmitLine("{\"id\":" + JsonNumber(GetDlgCtrlID(control)) +
             ",\"hwnd\":" + JsonNumber(reinterpret_cast<intptr_t>(control)) +
             ",\"class\":" + JsonString(className) + ",\"text\":" + JsonString(ControlTextW(control)) +
             ",\"text_a\":" + JsonHex(ControlTextA(control)) +
             ",\"visible\":" + JsonBool(IsWindowVisible(control) != FALSE) +
             ",\"focus\":" + JsonBool(FocusOfThread(control) == control) +
             ",\"enabled\":" + JsonBool(IsWindowEnabled(control) != FALSE) + state + "}");
    return TRUE;
}

int CommandDialogControls(const Args& args) {
    int exitCode = kExitOk;
    HWND dialog = WindowArgument(args, 1, &exitCode);
    if (dialog == nullptr) {
        return exitCode;
    }
    EnumChildWindows(dialog, DescribeDialogControl, 0);
    return kExitOk;
}

int CommandSetText(const Args& args) {
    int exitCode = kExitOk;
    HWND window = WindowArgument(args, 2, &exitCode);
    if (window == nullptr) {
        return exitCode;
    }
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args.positional[1].c_str()),
                            SMTO_ABORTIFHUNG, 5000, &result) == 0) {
        Fail("SendMessageTimeout");
        return kExitNotMet;
    }
    EmitLine("{\"result\":" + JsonNumber(static_cast<long long>(result)) + "}");
    return kExitOk;
}

int CommandForeground() {
    HWND window = GetForegroundWindow();
    if (window == nullptr) {
        EmitLine("{\"foreground\":null}");
        return kExitNotMet;
    }
    EmitLine(DescribeWindow(window));
    return kExitOk;
}

int CommandLayered(const Args& args) {
    int exitCode = kExitOk;
    HWND window = WindowArgument(args, 1, &exitCode);
    if (window == nullptr) {
        return exitCode;
    }
    const bool layered = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    const bool read = layered && GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) != FALSE;
    EmitLine("{\"layered\":" + JsonBool(layered) + ",\"alpha\":" + (read ? JsonNumber(alpha) : "null") +
             ",\"flags\":" + JsonNumber(flags) + "}");
    return kExitOk;
}

int CommandTrayDelete(const Args& args) {
    long long id = 0;
    if (args.positional.empty() || args.positional.size() > 2 ||
        (args.positional.size() == 2 && ParseNumber(args.positional[1], &id) != 0)) {
        return kExitUsage;
    }
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = ParseWindow(args.positional[0]);
    icon.uID = static_cast<UINT>(id);
    const bool deleted = Shell_NotifyIconW(NIM_DELETE, &icon) != FALSE;
    EmitLine("{\"deleted\":" + JsonBool(deleted) + "}");
    return deleted ? kExitOk : kExitNotMet;
}

int CommandTaskbarCreated(const Args& args) {
    if (args.positional.size() != 1) {
        return kExitUsage;
    }
    const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    if (message == 0 || !PostMessageW(ParseWindow(args.positional[0]), message, 0, 0)) {
        Fail("PostMessage");
        return kExitSystem;
    }
    EmitLine("{\"posted\":true,\"message\":" + JsonNumber(message) + "}");
    return kExitOk;
}

int CommandClientRect(const Args& args) {
    int exitCode = kExitOk;
    HWND window = WindowArgument(args, 1, &exitCode);
    if (window == nullptr) {
        return exitCode;
    }
    RECT client = {};
    POINT origin = {0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
        Fail("GetClientRect");
        return kExitSystem;
    }
    EmitLine("{\"origin\":[" + JsonNumber(origin.x) + "," + JsonNumber(origin.y) + "],\"size\":[" +
             JsonNumber(client.right - client.left) + "," + JsonNumber(client.bottom - client.top) + "]}");
    return kExitOk;
}

// capture X Y W H: copies that screen rectangle into a 32-bit bitmap of this process and prints
// it row by row, top first ({"y":..,"rgb":"rrggbbrrggbb..."}).
int CommandCapture(const Args& args) {
    long long values[4] = {};
    if (args.positional.size() != 4) {
        return kExitUsage;
    }
    for (int i = 0; i < 4; ++i) {
        if (ParseNumber(args.positional[i], &values[i]) != 0) {
            return kExitUsage;
        }
    }
    const int x = static_cast<int>(values[0]);
    const int y = static_cast<int>(values[1]);
    const int width = static_cast<int>(values[2]);
    const int height = static_cast<int>(values[3]);
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
        return kExitUsage;
    }
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        Fail("GetDC");
        return kExitSystem;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int status = kExitOk;
    if (memory == nullptr || bitmap == nullptr || bits == nullptr) {
        Fail("CreateDIBSection");
        status = kExitSystem;
    } else {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (!BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY)) {
            Fail("BitBlt");
            status = kExitSystem;
        } else {
            GdiFlush();
            static const char digits[] = "0123456789abcdef";
            const uint8_t* pixels = static_cast<const uint8_t*>(bits);
            for (int row = 0; row < height; ++row) {
                std::string line = "{\"y\":" + JsonNumber(y + row) + ",\"rgb\":\"";
                for (int column = 0; column < width; ++column) {
                    const uint8_t* pixel = pixels + (static_cast<size_t>(row) * width + column) * 4;
                    for (int channel = 2; channel >= 0; --channel) {
                        line += digits[pixel[channel] >> 4];
                        line += digits[pixel[channel] & 15];
                    }
                }
                EmitLine(line + "\"}");
            }
        }
        SelectObject(memory, old);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return status;
}

// drop-files HWND X Y PATH...: hands the window a file drop as the shell would. A drop handle is
// global memory of the receiving process, so the DROPFILES record (ANSI paths, each zero-ended,
// an empty one last) is written into memory allocated inside that process, and its address is
// posted as the handle: a fixed global block is its own address, which DragQueryFile locks and
// reads. The block is never freed by us (the receiver may release the handle itself).
int CommandDropFiles(const Args& args) {
    if (args.positional.size() < 4) {
        return kExitUsage;
    }
    HWND window = ParseWindow(args.positional[0]);
    long long x = 0;
    long long y = 0;
    if (window == nullptr || ParseNumber(args.positional[1], &x) != 0 ||
        ParseNumber(args.positional[2], &y) != 0) {
        return kExitUsage;
    }
    if (!IsWindow(window)) {
        EmitLine("{\"exists\":false}");
        return kExitNotMet;
    }
    std::string record(sizeof(DROPFILES), '\0');
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.pt.x = static_cast<LONG>(x);
    header.pt.y = static_cast<LONG>(y);
    header.fNC = FALSE;
    header.fWide = FALSE;
    memcpy(&record[0], &header, sizeof header);
    for (size_t i = 3; i < args.positional.size(); ++i) {
        const std::wstring& path = args.positional[i];
        int count = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<size_t>(count > 0 ? count : 1), '\0');
        if (count > 0) {
            WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &bytes[0], count, nullptr, nullptr);
        }
        record += bytes;  // ends in its zero
    }
    record += '\0';
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HandleHolder process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
    if (process.handle == nullptr) {
        Fail("OpenProcess");
        return kExitSystem;
    }
    void* remote =
        VirtualAllocEx(process.handle, nullptr, record.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    if (remote == nullptr ||
        !WriteProcessMemory(process.handle, remote, record.data(), record.size(), &written) ||
        written != record.size()) {
        Fail("WriteProcessMemory");
        return kExitSystem;
    }
    if (!PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
        Fail("PostMessage");
        return kExitSystem;
    }
    EmitLine("{\"posted\":true,\"files\":" + JsonNumber(static_cast<long long>(args.positional.size() - 3)) +
             "}");
    return kExitOk;
}

int DispatchDialogCommands(const std::wstring& command, const Args& args) {
    if (command == L"client-rect") {
        return CommandClientRect(args);
    }
    if (command == L"capture") {
        return CommandCapture(args);
    }
    if (command == L"drop-files") {
        return CommandDropFiles(args);
    }
    if (command == L"tray-delete") {
        return CommandTrayDelete(args);
    }
    if (command == L"taskbar-created") {
        return CommandTaskbarCreated(args);
    }
    if (command == L"layered") {
        return CommandLayered(args);
    }
    if (command == L"foreground") {
        return CommandForeground();
    }
    if (command == L"dialog-controls") {
        return CommandDialogControls(args);
    }
    if (command == L"set-text") {
        return CommandSetText(args);
    }
    return kExitUsage;
}

}  // namespace
