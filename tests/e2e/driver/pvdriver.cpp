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
//   window-info HWND
//   find-msgbox [CAPTION]                        dialogs of class #32770 ("ERROR" when omitted)
//   wait-msgbox [CAPTION] [--timeout MS]
//   close-window HWND                            posts WM_CLOSE
//   post-message HWND MSG [WPARAM [LPARAM]]
//   send-message HWND MSG [WPARAM [LPARAM]] [--timeout MS]
//   input STEP...   STEP: move:X,Y  down:B  up:B  click:B  wheel:D  hwheel:D  sleep:MS  extra:N
//                   (B: left right middle x1 x2; extra sets dwExtraInfo for the steps after it)
//   cursor                                       the cursor position
//   test-window X Y W H [--class C] [--title T] [--color RRGGBB] [--timeout MS] [--log FILE]
//               [--topmost] [--skip-moves]      a visible window that logs the mouse messages it gets
//   pixel X Y [X Y...]                           screen colours as rrggbb
//   clipboard-get / clipboard-set TEXT
//   run [--timeout MS] [--cwd DIR] -- PROGRAM [ARGS...]   start, wait, report the exit code
//   wait-exit PID [--timeout MS] / kill PID
//   hook-probe HWND                              how long one mouse input waits while the thread
//                                                that owns HWND is suspended (see CommandHookProbe)
//   idle [--timeout MS]                          a hidden window (class PvDriverIdle) that keeps the
//                                                desktop alive until WM_CLOSE or the time-out

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

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
const std::set<std::wstring> kFlags = {L"--topmost", L"--skip-moves"};

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

// One window as a JSON object: handle, class, title (also as A-API bytes), visibility, window
// rectangle in screen coordinates, owning process and thread.
std::string DescribeWindow(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(window, &pid);
    return "{\"hwnd\":" + JsonNumber(reinterpret_cast<intptr_t>(window)) +
           ",\"class\":" + JsonString(WindowClass(window)) + ",\"title\":" + JsonString(WindowTextW(window)) +
           ",\"title_a\":" + JsonHex(WindowTextA(window)) +
           ",\"visible\":" + JsonBool(IsWindowVisible(window) != FALSE) + ",\"rect\":[" +
           JsonNumber(rect.left) + "," + JsonNumber(rect.top) + "," + JsonNumber(rect.right) + "," +
           JsonNumber(rect.bottom) + "],\"pid\":" + JsonNumber(pid) + ",\"tid\":" + JsonNumber(tid) + "}";
}

// What EnumWindows collects: the filter and the matching windows.
struct WindowQuery {
    std::wstring className;  // "-": any
    std::wstring title;      // "-": any
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
    query->found.push_back(window);
    return TRUE;
}

std::vector<HWND> FindWindows(const std::wstring& className, const std::wstring& title) {
    WindowQuery query{className, title, {}};
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
        std::vector<HWND> windows = FindWindows(args.positional[0], title);
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
    if (args.positional.size() != 1) {
        return kExitUsage;
    }
    HWND window = ParseWindow(args.positional[0]);
    if (window == nullptr || !IsWindow(window)) {
        EmitLine("{\"exists\":false}");
        return kExitNotMet;
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

// Sends one mouse input and returns how long SendInput took, in milliseconds; -1 on failure.
long long SendMouse(DWORD flags, LONG dx, LONG dy, DWORD data, ULONG_PTR extra) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.mouseData = data;
    input.mi.dwFlags = flags;
    input.mi.dwExtraInfo = extra;
    DWORD start = GetTickCount();
    if (SendInput(1, &input, sizeof input) != 1) {
        return -1;
    }
    return static_cast<long long>(GetTickCount() - start);
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

// Moves the cursor to (x, y) with an absolute SendInput move. Should the system round the
// normalized position onto a neighbouring pixel, SetCursorPos puts it right (reported).
int32_t MoveCursor(LONG x, LONG y, ULONG_PTR extra, long long* elapsed, bool* corrected) {
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    LONG left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    LONG top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    *elapsed =
        SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK,
                  NormalizeCoordinate(x - left, width), NormalizeCoordinate(y - top, height), 0, extra);
    if (*elapsed < 0) {
        return -1;
    }
    POINT where = {};
    GetCursorPos(&where);
    *corrected = false;
    if (where.x != x || where.y != y) {
        *corrected = true;
        SetCursorPos(x, y);
    }
    return 0;
}

// input STEP...: mouse input through SendInput, one INPUT per call, with one result line per step.
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
                elapsed = SendMouse(down, 0, 0, data, extra);
            }
            if (elapsed >= 0 && verb != L"down") {
                long long more = SendMouse(up, 0, 0, data, extra);
                elapsed = more < 0 ? -1 : elapsed + more;
            }
        } else if (verb == L"wheel" || verb == L"hwheel") {
            long long delta = 0;
            if (ParseNumber(value, &delta) != 0) {
                return kExitUsage;
            }
            elapsed = SendMouse(verb == L"wheel" ? MOUSEEVENTF_WHEEL : MOUSEEVENTF_HWHEEL, 0, 0,
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
        EmitLine("{\"step\":" + JsonString(step) + ",\"ms\":" + JsonNumber(elapsed) + detail + "}");
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
// forwarded message) rather than it being posted input, and the milliseconds since start.
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
                     ",\"sent\":" + JsonBool((inSend & ISMEX_SEND) != 0) +
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
    if (args.positional.size() != 1) {
        return kExitUsage;
    }
    HWND window = ParseWindow(args.positional[0]);
    if (window == nullptr || !IsWindow(window)) {
        EmitLine("{\"exists\":false}");
        return kExitNotMet;
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

LRESULT CALLBACK IdleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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

// idle: keeps one process attached to the desktop, so the desktop stays up between the programs
// of a test, until its hidden window is closed or the time-out (default 10 minutes) ends.
int CommandIdle(const Args& args) {
    if (!args.positional.empty()) {
        return kExitUsage;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = IdleWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"PvDriverIdle";
    if (RegisterClassW(&windowClass) == 0) {
        Fail("RegisterClass");
        return kExitSystem;
    }
    HWND window = CreateWindowExW(0, L"PvDriverIdle", L"pvdriver idle", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr) {
        Fail("CreateWindowEx");
        return kExitSystem;
    }
    SetTimer(window, 1, static_cast<UINT>(OptionNumber(args, L"--timeout", 600000)), nullptr);
    EmitLine("{\"event\":\"ready\",\"window\":" + DescribeWindow(window) + "}");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return kExitOk;
}

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
    return kExitUsage;
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
    return status;
}
