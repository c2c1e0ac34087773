// pvdriver: the end-to-end tests' hands and eyes inside the Wine desktop. One command per run;
// results go to stdout as JSON lines in plain ASCII (everything outside ASCII as \uXXXX escapes),
// the exit code tells success (0), a condition not met or a time-out (1), a usage error (2) or a
// failed system call (3). The commands and their arguments are listed in kCommands at the end of
// this file (numbers are decimal or 0x hex; "-" for CLASS or TITLE matches anything); a usage
// error prints the command's line of that list to stderr.
//
// Text arguments: an argument written "hex:" followed by hex digits stands for the UTF-8 text of
// those bytes; any other argument is taken as the system passes it. The test scripts encode every
// non-ASCII argument this way, so Japanese window names never depend on how the command line is
// converted on its way into Wine. Windows are matched and texts compared as UTF-16 (the W API);
// for texts that the program under test keeps in code page 932, the bytes that the A API returns
// are reported as well, in hex, so that a test can check the exact 8-bit text.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
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
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../bench/BenchTiming.h"  // NowMicroseconds and EmitStats, the clock and lines of every figure

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNotMet = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSystem = 3;
constexpr DWORD kPollMs = 50;
constexpr DWORD kDefaultTimeoutMs = 10000;

// Ends a command early with its exit code once it has printed what it had to say. Thrown only by
// command code, never through a window procedure or another callback of the system.
struct Exit {
    int code;
};

// Where the lines of the test window go besides stdout (null: stdout only).
FILE* logFile = nullptr;

// Writes one output line to stdout (and the log file) at once, so a reader sees it immediately.
void EmitLine(const std::string& line) {
    for (FILE* file : {stdout, logFile}) {
        if (file != nullptr) {
            fwrite(line.data(), 1, line.size(), file);
            fputc('\n', file);
            fflush(file);
        }
    }
}

// Reports a failed system call with the system's error code and ends the command.
[[noreturn]] void Fail(const std::string& what, int code = kExitSystem) {
    EmitLine("{\"error\":\"" + what + "\",\"last_error\":" + std::to_string(GetLastError()) + "}");
    throw Exit{code};
}

[[noreturn]] void Usage() {
    throw Exit{kExitUsage};
}

// Prints `line` and ends the command with "condition not met".
[[noreturn]] void NotMet(const std::string& line) {
    EmitLine(line);
    throw Exit{kExitNotMet};
}

// Releases a handle with `Release` when it goes out of scope.
template <typename T, auto Release>
struct Holder {
    T value;
    explicit Holder(T held) : value(held) {}
    ~Holder() {
        if (value != nullptr) {
            Release(value);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    operator T() const { return value; }
};

void ReleaseScreenDc(HDC dc) {
    ReleaseDC(nullptr, dc);
}

using HandleHolder = Holder<HANDLE, CloseHandle>;
using ScreenDc = Holder<HDC, ReleaseScreenDc>;
using ResumeOnExit = Holder<HANDLE, ResumeThread>;  // a probe never leaves a thread frozen

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

// Bytes as lower-case hex digits.
std::string Hex(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// Bytes as a JSON string of lower-case hex digits.
std::string JsonHex(const std::string& bytes) {
    return "\"" + Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) + "\"";
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

std::string JsonNumber(long long value) {
    return std::to_string(value);
}

std::string JsonPair(long long first, long long second) {
    return "[" + JsonNumber(first) + "," + JsonNumber(second) + "]";
}

std::wstring Utf8ToWide(const std::string& text) {
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(count), L'\0');
    if (count > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], count);
    }
    return out;
}

// ---- arguments ----------------------------------------------------------------------------------

// Options that take no value.
const std::set<std::wstring> kFlags = {L"--topmost", L"--skip-moves", L"--visible", L"--self"};

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    return c >= L'A' && c <= L'F' ? c - L'A' + 10 : -1;
}

// Decodes a "hex:..." argument into text; other arguments come back unchanged.
std::wstring DecodeArgument(const std::wstring& argument) {
    if (argument.compare(0, 4, L"hex:") != 0) {
        return argument;
    }
    if (argument.size() % 2 != 0) {
        Usage();
    }
    std::string bytes;
    for (size_t i = 4; i < argument.size(); i += 2) {
        const int high = HexDigit(argument[i]);
        const int low = HexDigit(argument[i + 1]);
        if (high < 0 || low < 0) {
            Usage();
        }
        bytes += static_cast<char>(high * 16 + low);
    }
    return Utf8ToWide(bytes);
}

// Reads a decimal or 0x-prefixed number; false when the text is not a whole number.
bool ReadNumber(const std::wstring& text, long long* value) {
    wchar_t* end = nullptr;
    *value = wcstoll(text.c_str(), &end, 0);
    return !text.empty() && end != nullptr && *end == L'\0';
}

// A number argument; a usage error when it is none.
long long ToNumber(const std::wstring& text) {
    long long value = 0;
    if (!ReadNumber(text, &value)) {
        Usage();
    }
    return value;
}

// An "X,Y" argument.
POINT PointArgument(const std::wstring& text) {
    const size_t comma = text.find(L',');
    if (comma == std::wstring::npos) {
        Usage();
    }
    return {static_cast<LONG>(ToNumber(text.substr(0, comma))),
            static_cast<LONG>(ToNumber(text.substr(comma + 1)))};
}

// The window that a number names, whether or not it exists (null when the text is no number).
HWND WindowNumber(const std::wstring& text) {
    long long value = 0;
    return ReadNumber(text, &value) ? reinterpret_cast<HWND>(static_cast<intptr_t>(value)) : nullptr;
}

// The window that a number names; {"exists":false} and "not met" when there is none. A text that
// is no number (or 0) counts as no window, or as a usage error when `strict`.
HWND ExistingWindow(const std::wstring& text, bool strict = false) {
    HWND window = WindowNumber(text);
    if (window == nullptr && strict) {
        Usage();
    }
    if (window == nullptr || !IsWindow(window)) {
        NotMet("{\"exists\":false}");
    }
    return window;
}

// The parsed command line: positional arguments and --options (with or without a value).
struct Args {
    std::vector<std::wstring> positional;
    std::map<std::wstring, std::wstring> options;

    size_t size() const { return positional.size(); }
    const std::wstring& operator[](size_t i) const { return positional[i]; }
    long long Number(size_t i) const { return ToNumber(positional[i]); }
    bool Has(const wchar_t* name) const { return options.count(name) != 0; }
    std::wstring Text(const wchar_t* name, const std::wstring& fallback = L"") const {
        auto found = options.find(name);
        return found == options.end() ? fallback : found->second;
    }
    // An option's number; the fallback also when the option is no whole number.
    long long Option(const wchar_t* name, long long fallback) const {
        long long value = 0;
        return Has(name) && ReadNumber(options.at(name), &value) ? value : fallback;
    }
};

// Splits the process's UTF-16 command line into the command's arguments and options. A bare "--"
// ends the options: everything after it is positional (the command line of "run").
Args ParseArgs(int argc, wchar_t** argv, int first) {
    Args args;
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        const std::wstring text = DecodeArgument(argv[i]);
        if (optionsEnded || text.size() < 2 || text.compare(0, 2, L"--") != 0) {
            args.positional.push_back(text);
        } else if (text == L"--") {
            optionsEnded = true;
        } else if (kFlags.count(text) != 0) {
            args.options[text] = L"1";
        } else if (i + 1 < argc) {
            args.options[text] = DecodeArgument(argv[++i]);
        } else {
            Usage();
        }
    }
    return args;
}

// Calls `look` every kPollMs until it returns true or the --timeout (default 10 s) ends; only
// once unless `wait`. Whether it returned true.
template <typename Look>
bool Poll(const Args& args, bool wait, Look look) {
    const DWORD timeout = static_cast<DWORD>(args.Option(L"--timeout", kDefaultTimeoutMs));
    const DWORD start = GetTickCount();
    while (!look()) {
        if (!wait || GetTickCount() - start >= timeout) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

// ---- windows and messages -----------------------------------------------------------------------

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

std::string JsonWindow(HWND window) {
    return JsonNumber(reinterpret_cast<intptr_t>(window));
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
    return "{\"hwnd\":" + JsonWindow(window) + ",\"class\":" + JsonString(WindowClass(window)) +
           ",\"title\":" + JsonString(WindowTextW(window)) + ",\"title_a\":" + JsonHex(WindowTextA(window)) +
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
    if ((query->className == L"-" || WindowClass(window) == query->className) &&
        (query->title == L"-" || WindowTextW(window) == query->title) &&
        (!query->visibleOnly || IsWindowVisible(window))) {
        query->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> FindWindows(const std::wstring& className, const std::wstring& title,
                              bool visibleOnly = false) {
    WindowQuery query{className, title, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// One line per window as `describe` has it, then the count.
template <typename Describe>
void EmitWindows(const std::vector<HWND>& windows, Describe describe) {
    for (HWND window : windows) {
        EmitLine(describe(window));
    }
    EmitLine("{\"count\":" + JsonNumber(static_cast<long long>(windows.size())) + "}");
}

// find-window / wait-window / wait-no-window.
int CommandWindows(const Args& args, bool wait, bool wantPresent) {
    std::vector<HWND> windows;
    const bool met = Poll(args, wait, [&] {
        windows = FindWindows(args[0], args.size() > 1 ? args[1] : L"-", args.Has(L"--visible"));
        return windows.empty() != wantPresent;
    });
    EmitWindows(windows, DescribeWindow);
    if (wait && !met) {
        EmitLine("{\"timeout\":true}");
    }
    return met ? kExitOk : kExitNotMet;
}

// The texts of a dialog's child controls, by class: the message of a message box is in its
// static controls, its buttons are buttons.
struct DialogTexts {
    std::wstring text;
    std::string textA;
    std::string buttons;  // a JSON list
};

BOOL CALLBACK CollectDialogText(HWND child, LPARAM param) {
    DialogTexts* texts = reinterpret_cast<DialogTexts*>(param);
    const std::wstring className = WindowClass(child);
    const std::wstring text = WindowTextW(child);
    if (!text.empty() && _wcsicmp(className.c_str(), L"Static") == 0) {
        texts->text += text;
        texts->textA += WindowTextA(child);
    } else if (!text.empty() && _wcsicmp(className.c_str(), L"Button") == 0) {
        texts->buttons += (texts->buttons.empty() ? "" : ",") + JsonString(text);
    }
    return TRUE;
}

std::string DescribeMessageBox(HWND box) {
    DialogTexts texts;
    EnumChildWindows(box, CollectDialogText, reinterpret_cast<LPARAM>(&texts));
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    return "{\"hwnd\":" + JsonWindow(box) + ",\"caption\":" + JsonString(WindowTextW(box)) +
           ",\"caption_a\":" + JsonHex(WindowTextA(box)) + ",\"text\":" + JsonString(texts.text) +
           ",\"text_a\":" + JsonHex(texts.textA) + ",\"buttons\":[" + texts.buttons +
           "],\"visible\":" + JsonBool(IsWindowVisible(box) != FALSE) + ",\"pid\":" + JsonNumber(pid) + "}";
}

// find-msgbox / wait-msgbox.
int CommandMessageBoxes(const Args& args, bool wait) {
    std::vector<HWND> boxes;
    const bool met = Poll(args, wait, [&] {
        boxes = FindWindows(L"#32770", args.size() > 0 ? args[0] : L"ERROR");
        return !boxes.empty();
    });
    EmitWindows(boxes, DescribeMessageBox);
    return met ? kExitOk : kExitNotMet;
}

// post-message / send-message, and close-window as a post of WM_CLOSE.
int CommandMessage(const Args& args, bool send, UINT closeMessage = 0) {
    const UINT message = closeMessage != 0 ? closeMessage : static_cast<UINT>(args.Number(1));
    const WPARAM wParam = args.size() > 2 ? static_cast<WPARAM>(args.Number(2)) : 0;
    const LPARAM lParam = args.size() > 3 ? static_cast<LPARAM>(args.Number(3)) : 0;
    HWND window = ExistingWindow(args[0], true);
    if (send) {
        DWORD_PTR result = 0;
        const UINT timeout = static_cast<UINT>(args.Option(L"--timeout", kDefaultTimeoutMs));
        if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeout, &result) == 0) {
            Fail("SendMessageTimeout", kExitNotMet);
        }
        EmitLine("{\"result\":" + JsonNumber(static_cast<long long>(result)) + "}");
    } else if (!PostMessageW(window, message, wParam, lParam)) {
        Fail("PostMessage");
    } else {
        EmitLine("{\"posted\":true}");
    }
    return kExitOk;
}

// ---- input --------------------------------------------------------------------------------------

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
long long SendMouse(DWORD flags, LONG dx, LONG dy, DWORD data, ULONG_PTR extra) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.mouseData = data;
    input.mi.dwFlags = flags;
    input.mi.dwExtraInfo = extra;
    return SendOneInput(input);
}

// Sends one absolute move to a screen point (no extra information); microseconds as SendOneInput.
long long SendMoveTo(POINT point, ULONG_PTR extra = 0) {
    return SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK,
                     NormalizeCoordinate(point.x - GetSystemMetrics(SM_XVIRTUALSCREEN),
                                         GetSystemMetrics(SM_CXVIRTUALSCREEN)),
                     NormalizeCoordinate(point.y - GetSystemMetrics(SM_YVIRTUALSCREEN),
                                         GetSystemMetrics(SM_CYVIRTUALSCREEN)),
                     0, extra);
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

// The virtual key of a key name (ctrl, shift, alt) or number.
WORD KeyArgument(const std::wstring& name) {
    const long long code = name == L"ctrl"    ? VK_CONTROL
                           : name == L"shift" ? VK_SHIFT
                           : name == L"alt"   ? VK_MENU
                                              : ToNumber(name);
    if (code <= 0 || code > 0xFE) {
        Usage();
    }
    return static_cast<WORD>(code);
}

// A mouse button by name: its down and up flags and its mouseData.
struct Button {
    const wchar_t* name;
    DWORD down;
    DWORD up;
    DWORD data;
};

const Button& ButtonArgument(const std::wstring& name) {
    static const Button kButtons[] = {
        {L"left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0},
        {L"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0},
        {L"middle", MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0},
        {L"x1", MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1},
        {L"x2", MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2},
    };
    for (const Button& button : kButtons) {
        if (name == button.name) {
            return button;
        }
    }
    Usage();
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
// both are at (x, y) the round is repeated (a few times at most); whether a move was repeated
// ("corrected") is returned. `elapsed` receives the duration of the first SendInput, in
// microseconds.
bool MoveCursor(POINT to, ULONG_PTR extra, long long* elapsed) {
    constexpr DWORD kWarpSettleMs = 30;
    constexpr DWORD kRestMs = 120;
    constexpr int kRounds = 5;
    *elapsed = -1;
    for (int round = 0; round < kRounds; ++round) {
        SetCursorPos(to.x ^ 1, to.y);
        SetCursorPos(to.x, to.y);
        Sleep(kWarpSettleMs);
        const long long took = SendMoveTo(to, extra);
        if (took < 0) {
            Fail("SendInput");
        }
        if (*elapsed < 0) {
            *elapsed = took;
        }
        Sleep(kRestMs);
        POINT pointer = {};
        GetCursorPos(&pointer);
        if (SendMouse(MOUSEEVENTF_MOVE, 0, 0, 0, extra) < 0) {
            Fail("SendInput");
        }
        POINT position = {};
        GetCursorPos(&position);
        if (pointer.x == to.x && pointer.y == to.y && position.x == to.x && position.y == to.y) {
            return round > 0;
        }
    }
    SetCursorPos(to.x, to.y);  // the last resort, should the normalized position keep missing the pixel
    return true;
}

std::string CursorLine() {
    POINT where = {};
    if (!GetCursorPos(&where)) {
        Fail("GetCursorPos");
    }
    return "{\"cursor\":" + JsonPair(where.x, where.y) + "}";
}

// input STEP...: mouse and key input through SendInput, one INPUT per call, with one result line
// per step: how long the SendInput calls of the step took, in milliseconds ("ms", rounded down)
// and microseconds ("us").
int CommandInput(const Args& args) {
    ULONG_PTR extra = static_cast<ULONG_PTR>(args.Option(L"--extra", 0));
    for (const std::wstring& step : args.positional) {
        const size_t colon = step.find(L':');
        if (colon == std::wstring::npos) {
            Usage();
        }
        const std::wstring verb = step.substr(0, colon);
        const std::wstring value = step.substr(colon + 1);
        long long elapsed = 0;
        std::string detail;
        if (verb == L"move") {
            detail = ",\"corrected\":" + JsonBool(MoveCursor(PointArgument(value), extra, &elapsed));
        } else if (verb == L"down" || verb == L"up" || verb == L"click") {
            const Button& button = ButtonArgument(value);
            if (verb != L"up") {
                elapsed = SendMouse(button.down, 0, 0, button.data, extra);
            }
            if (elapsed >= 0 && verb != L"down") {
                const long long more = SendMouse(button.up, 0, 0, button.data, extra);
                elapsed = more < 0 ? -1 : elapsed + more;
            }
        } else if (verb == L"keydown" || verb == L"keyup") {
            elapsed = SendKey(KeyArgument(value), verb == L"keyup", extra);
        } else if (verb == L"wheel" || verb == L"hwheel") {
            elapsed = SendMouse(verb == L"wheel" ? MOUSEEVENTF_WHEEL : MOUSEEVENTF_HWHEEL, 0, 0,
                                static_cast<DWORD>(static_cast<int32_t>(ToNumber(value))), extra);
        } else if (verb == L"sleep") {
            const long long ms = ToNumber(value);
            if (ms < 0) {
                Usage();
            }
            Sleep(static_cast<DWORD>(ms));
        } else if (verb == L"extra") {
            extra = static_cast<ULONG_PTR>(ToNumber(value));
        } else {
            Usage();
        }
        if (elapsed < 0) {
            Fail("SendInput");
        }
        EmitLine("{\"step\":" + JsonString(step) + ",\"ms\":" + JsonNumber(elapsed / 1000) +
                 ",\"us\":" + JsonNumber(elapsed) + detail + "}");
    }
    EmitLine(CursorLine());
    return kExitOk;
}

// hook-probe HWND: tells whether the thread that owns HWND has a low-level mouse hook installed.
// A low-level hook is called on its installing thread, and the input that triggers it waits for
// the hook's answer (up to the system's hook time-out). With that thread suspended, one
// zero-distance mouse move therefore takes the whole hook time-out when the thread holds a hook,
// and no time at all when it holds none. The thread is resumed in every case.
int CommandHookProbe(const Args& args) {
    HWND window = ExistingWindow(args[0]);
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) {
        Usage();
    }
    HandleHolder thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, tid));
    if (thread == nullptr) {
        Fail("OpenThread");
    }
    long long elapsed = 0;
    {
        if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
            Fail("SuspendThread");
        }
        ResumeOnExit suspended(thread);
        elapsed = SendMouse(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
    }
    if (elapsed < 0) {
        Fail("SendInput");
    }
    EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"tid\":" + JsonNumber(tid) +
             ",\"ms\":" + JsonNumber(elapsed / 1000) + "}");
    return kExitOk;
}

// ---- windows of the driver's own ----------------------------------------------------------------

// Registers a class of that procedure and background and creates one window of it.
HWND CreateOwnWindow(const wchar_t* className, WNDPROC procedure, HBRUSH background, DWORD exStyle,
                     const wchar_t* title, DWORD style, const RECT& rect) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    if (RegisterClassExW(&windowClass) == 0) {
        Fail("RegisterClassEx");
    }
    HWND window =
        CreateWindowExW(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        Fail("CreateWindowEx");
    }
    return window;
}

void RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The timers of the driver's windows: the time-out, and the optional tick of the hidden window.
constexpr UINT_PTR kTimeoutTimer = 1;
constexpr UINT_PTR kTickTimer = 2;

// The settings of the test window, read by its window procedure.
DWORD testWindowStart = 0;
bool testWindowSkipsMoves = false;

// The procedure of the driver's own windows: the tick reads the cursor, the time-out closes the
// window, and its end ends the message loop.
LRESULT CALLBACK DriverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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

#define PV_MESSAGE(message) \
    { message, #message }

// The mouse messages that the test window logs, by name.
const std::pair<UINT, const char*> kMouseMessages[] = {
    PV_MESSAGE(WM_MOUSEMOVE),     PV_MESSAGE(WM_LBUTTONDOWN),   PV_MESSAGE(WM_LBUTTONUP),
    PV_MESSAGE(WM_LBUTTONDBLCLK), PV_MESSAGE(WM_RBUTTONDOWN),   PV_MESSAGE(WM_RBUTTONUP),
    PV_MESSAGE(WM_RBUTTONDBLCLK), PV_MESSAGE(WM_MBUTTONDOWN),   PV_MESSAGE(WM_MBUTTONUP),
    PV_MESSAGE(WM_MBUTTONDBLCLK), PV_MESSAGE(WM_MOUSEWHEEL),    PV_MESSAGE(WM_XBUTTONDOWN),
    PV_MESSAGE(WM_XBUTTONUP),     PV_MESSAGE(WM_XBUTTONDBLCLK), PV_MESSAGE(WM_MOUSEHWHEEL),
    PV_MESSAGE(WM_NCMOUSEMOVE),   PV_MESSAGE(WM_NCLBUTTONDOWN), PV_MESSAGE(WM_NCLBUTTONUP),
    PV_MESSAGE(WM_NCRBUTTONDOWN), PV_MESSAGE(WM_NCRBUTTONUP),   PV_MESSAGE(WM_NCMBUTTONDOWN),
    PV_MESSAGE(WM_NCMBUTTONUP),   PV_MESSAGE(WM_NCXBUTTONDOWN), PV_MESSAGE(WM_NCXBUTTONUP),
};

#undef PV_MESSAGE

const char* MouseMessageName(UINT message) {
    for (const auto& entry : kMouseMessages) {
        if (entry.first == message) {
            return entry.second;
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
        const bool move = message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE;
        if (!(move && testWindowSkipsMoves)) {
            const DWORD inSend = InSendMessageEx(nullptr);
            EmitLine(std::string("{\"event\":\"mouse\",\"msg\":\"") + name + "\",\"id\":" +
                     JsonNumber(message) + ",\"x\":" + JsonNumber(static_cast<short>(LOWORD(lParam))) +
                     ",\"y\":" + JsonNumber(static_cast<short>(HIWORD(lParam))) +
                     ",\"wparam\":" + JsonNumber(static_cast<long long>(wParam)) +
                     ",\"extra\":" + JsonNumber(static_cast<long long>(GetMessageExtraInfo())) +
                     ",\"sent\":" + JsonBool((inSend & (ISMEX_SEND | ISMEX_NOTIFY)) != 0) +
                     ",\"ismex\":" + JsonNumber(static_cast<long long>(inSend)) +
                     ",\"t\":" + JsonNumber(GetTickCount() - testWindowStart) + "}");
        }
        if (message == WM_XBUTTONDOWN || message == WM_XBUTTONUP || message == WM_XBUTTONDBLCLK) {
            return TRUE;
        }
        if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && message != WM_MOUSEMOVE) {
            return 0;
        }
    }
    if (message == WM_TIMER) {
        EmitLine("{\"event\":\"timeout\"}");
    }
    return DriverWindowProc(window, message, wParam, lParam);
}

// test-window X Y W H: shows a borderless window of that screen rectangle, painted in one colour,
// prints a "ready" line and then one line per mouse message until it is closed (WM_CLOSE) or the
// time-out (default 120 s) ends.
int CommandTestWindow(const Args& args) {
    const RECT rect = {static_cast<LONG>(args.Number(0)), static_cast<LONG>(args.Number(1)),
                       static_cast<LONG>(args.Number(0) + args.Number(2)),
                       static_cast<LONG>(args.Number(1) + args.Number(3))};
    const std::wstring className = args.Text(L"--class", L"PvDriverTestWindow");
    long long color = 0x3366cc;
    if (args.Has(L"--color")) {
        wchar_t* end = nullptr;
        color = wcstoll(args.Text(L"--color").c_str(), &end, 16);
        if (end == nullptr || *end != L'\0') {
            Usage();
        }
    }
    testWindowSkipsMoves = args.Has(L"--skip-moves");
    testWindowStart = GetTickCount();
    if (args.Has(L"--log")) {
        logFile = _wfopen(args.Text(L"--log").c_str(), L"wb");
        if (logFile == nullptr) {
            Fail("open log");
        }
    }
    HWND window =
        CreateOwnWindow(className.c_str(), TestWindowProc,
                        CreateSolidBrush(RGB((color >> 16) & 255, (color >> 8) & 255, color & 255)),
                        args.Has(L"--topmost") ? WS_EX_TOPMOST : 0,
                        args.Text(L"--title", L"pvdriver test window").c_str(), WS_POPUP | WS_VISIBLE, rect);
    SetForegroundWindow(window);
    UpdateWindow(window);
    SetTimer(window, kTimeoutTimer, static_cast<UINT>(args.Option(L"--timeout", 120000)), nullptr);
    EmitLine("{\"event\":\"ready\",\"window\":" + DescribeWindow(window) + "}");
    // A hung window: its thread takes no message for that long, so whatever is sent to it waits.
    const DWORD hang = static_cast<DWORD>(args.Option(L"--hang", 0));
    if (hang > 0) {
        Sleep(hang);
        EmitLine("{\"event\":\"hang-over\"}");
    }
    RunMessageLoop();
    EmitLine("{\"event\":\"quit\"}");
    if (logFile != nullptr) {
        fclose(logFile);
        logFile = nullptr;
    }
    return kExitOk;
}

// Runs a hidden window of that class, reported in a "ready" line, until it is closed or the
// time-out (--timeout, default 10 minutes) ends. With --tick MS its thread also wakes every MS to
// read the cursor position: the least that a watchdog looking at the pointer costs.
int RunHiddenWindow(const Args& args, const wchar_t* className, const wchar_t* title) {
    HWND window = CreateOwnWindow(className, DriverWindowProc, nullptr, 0, title, WS_POPUP, {0, 0, 1, 1});
    SetTimer(window, kTimeoutTimer, static_cast<UINT>(args.Option(L"--timeout", 600000)), nullptr);
    const long long tick = args.Option(L"--tick", 0);
    if (tick > 0) {
        SetTimer(window, kTickTimer, static_cast<UINT>(tick), nullptr);
    }
    EmitLine("{\"event\":\"ready\",\"window\":" + DescribeWindow(window) + "}");
    RunMessageLoop();
    return kExitOk;
}

// hold-file: holds a file open as a scanner or a sync client does for a moment, sharing nothing
// (or reading, or reading and writing, but never deleting), until its hidden window is closed or
// the time-out ends.
int CommandHoldFile(const Args& args) {
    const std::wstring share = args.Text(L"--share", L"none");
    const DWORD mode = share == L"read"         ? FILE_SHARE_READ
                       : share == L"read-write" ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                                : 0;
    HANDLE file = CreateFileW(args[0].c_str(), GENERIC_READ, mode, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail("CreateFile");
    }
    const int result = RunHiddenWindow(args, L"PvDriverHoldFile", L"pvdriver hold file");
    CloseHandle(file);
    return result;
}

LRESULT CALLBACK EmptyMouseHook(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// empty-hook: a low-level mouse hook that does nothing but pass every message on, held by a
// hidden window's thread until it is closed: the baseline against which a real hook's cost is
// measured. It is set as Pivotel sets its own; with --tick 1000 the thread also wakes once a
// second to read the cursor, as Pivotel's hook thread does for its watchdog.
int CommandEmptyHook(const Args& args) {
    Holder<HHOOK, UnhookWindowsHookEx> hook(
        SetWindowsHookExA(WH_MOUSE_LL, EmptyMouseHook, GetModuleHandleA(nullptr), 0));
    if (hook == nullptr) {
        Fail("SetWindowsHookEx");
    }
    return RunHiddenWindow(args, L"PvDriverEmptyHook", L"pvdriver empty hook");
}

// ---- the screen, the clipboard and other programs -----------------------------------------------

// pixel X Y [X Y...]: the colours on the screen.
int CommandPixel(const Args& args) {
    if (args.size() % 2 != 0) {
        Usage();
    }
    ScreenDc screen(GetDC(nullptr));
    if (screen == nullptr) {
        Fail("GetDC");
    }
    int status = kExitOk;
    for (size_t i = 0; i < args.size(); i += 2) {
        const long long x = args.Number(i);
        const long long y = args.Number(i + 1);
        const COLORREF color = GetPixel(screen, static_cast<int>(x), static_cast<int>(y));
        std::string rgb = "null";
        if (color == CLR_INVALID) {
            status = kExitNotMet;
        } else {
            const uint8_t channels[] = {GetRValue(color), GetGValue(color), GetBValue(color)};
            rgb = "\"" + Hex(channels, 3) + "\"";
        }
        EmitLine("{\"x\":" + JsonNumber(x) + ",\"y\":" + JsonNumber(y) + ",\"rgb\":" + rgb + "}");
    }
    return status;
}

// Opens the clipboard for `owner`, retrying for a while when another program holds it, and closes
// it when it goes out of scope.
struct OpenClipboardHolder {
    explicit OpenClipboardHolder(HWND owner) {
        for (int attempt = 1; !OpenClipboard(owner); ++attempt) {
            if (attempt == 40) {
                Fail("OpenClipboard");
            }
            Sleep(kPollMs);
        }
    }
    ~OpenClipboardHolder() { CloseClipboard(); }
};

// The clipboard's text in that format (empty when it holds none).
template <typename Text>
Text ClipboardText(UINT format) {
    HANDLE data = GetClipboardData(format);
    const auto* locked =
        data != nullptr ? static_cast<const typename Text::value_type*>(GlobalLock(data)) : nullptr;
    if (locked == nullptr) {
        return Text();
    }
    Text text = locked;
    GlobalUnlock(data);
    return text;
}

// clipboard-get: the Unicode text, and the bytes of the 8-bit text view (CF_TEXT, in the ANSI
// code page). Exit 1 when the clipboard holds no text.
int CommandClipboardGet(const Args&) {
    OpenClipboardHolder clipboard(nullptr);
    if (GetClipboardData(CF_UNICODETEXT) == nullptr) {
        NotMet("{\"text\":null}");
    }
    EmitLine("{\"text\":" + JsonString(ClipboardText<std::wstring>(CF_UNICODETEXT)) +
             ",\"text_a\":" + JsonHex(ClipboardText<std::string>(CF_TEXT)) + "}");
    return kExitOk;
}

// clipboard-set TEXT: puts the text on the clipboard as CF_UNICODETEXT; the system offers the
// 8-bit forms from it. A hidden window owns the clipboard while the data is set.
int CommandClipboardSet(const Args& args) {
    const std::wstring& text = args[0];
    Holder<HWND, DestroyWindow> owner(
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    {
        OpenClipboardHolder clipboard(owner);
        EmptyClipboard();
        const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        void* target = memory != nullptr ? GlobalLock(memory) : nullptr;
        if (target == nullptr) {
            Fail("GlobalAlloc");
        }
        memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
            GlobalFree(memory);
            Fail("SetClipboardData");
        }
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
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// Waits for a process and reports its exit code; on time-out the process is left running.
int WaitForExit(HANDLE process, long long pid, const Args& args) {
    const DWORD waited =
        WaitForSingleObject(process, static_cast<DWORD>(args.Option(L"--timeout", kDefaultTimeoutMs)));
    if (waited == WAIT_TIMEOUT) {
        EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"timeout\":true}");
        return kExitNotMet;
    }
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code)) {
        Fail("WaitForSingleObject");
    }
    EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"exit_code\":" + JsonNumber(code) + "}");
    return kExitOk;
}

// run PROGRAM [ARGS...]: starts the program in this desktop and waits for it to end. A program
// that outlives the time-out is terminated (exit code 1 and "timeout" reported).
int CommandRun(const Args& args) {
    std::wstring commandLine;
    for (const std::wstring& argument : args.positional) {
        commandLine += (commandLine.empty() ? L"" : L" ") + QuoteArgument(argument);
    }
    const std::wstring directory = args.Text(L"--cwd");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
        Fail("CreateProcess");
    }
    HandleHolder processHandle(process.hProcess);
    HandleHolder threadHandle(process.hThread);
    const int status = WaitForExit(process.hProcess, process.dwProcessId, args);
    if (status == kExitNotMet) {
        TerminateProcess(process.hProcess, 1);
    }
    return status;
}

// A process by the number that names it; {"pid":..,"exists":false} and "not met" when it cannot
// be opened with that access.
HANDLE OpenProcessArgument(const Args& args, DWORD access) {
    HANDLE process = OpenProcess(access, FALSE, static_cast<DWORD>(args.Number(0)));
    if (process == nullptr) {
        NotMet("{\"pid\":" + JsonNumber(args.Number(0)) + ",\"exists\":false}");
    }
    return process;
}

int CommandWaitExit(const Args& args) {
    HandleHolder process(OpenProcessArgument(args, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION));
    return WaitForExit(process, args.Number(0), args);
}

int CommandKill(const Args& args) {
    HandleHolder process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(args.Number(0))));
    if (process == nullptr || !TerminateProcess(process, 1)) {
        Fail("TerminateProcess", kExitNotMet);
    }
    EmitLine("{\"killed\":" + JsonNumber(args.Number(0)) + "}");
    return kExitOk;
}

// ---- measurements for the benchmarks (figures in microseconds) ---------------------------------

// move-bench [--count N]: N relative one-pixel moves, alternately right and left, each timed
// from SendInput's call to its return, which comes after every low-level hook has answered.
int CommandMoveBench(const Args& args) {
    const long long count = args.Option(L"--count", 2000);
    if (count <= 0) {
        Usage();
    }
    for (int i = 0; i < 50; ++i) {  // warm-up: the hooks' first calls pay for paging and caches
        SendMouse(MOUSEEVENTF_MOVE, (i % 2) ? -1 : 1, 0, 0, 0);
    }
    std::vector<long long> sample;
    for (long long i = 0; i < count; ++i) {
        const long long elapsed = SendMouse(MOUSEEVENTF_MOVE, (i % 2) ? -1 : 1, 0, 0, 0);
        if (elapsed < 0) {
            Fail("SendInput");
        }
        sample.push_back(elapsed);
    }
    EmitStats("move", sample);
    return kExitOk;
}

// A 32-bit DIB section of that size (rows top first when the height is negative) and its pixels.
HBITMAP CreateDib(HDC dc, int width, int height, void** bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// A layered 256 x 256 window of the driver's own, for the baseline of press-latency: showing it
// and pushing an opaque image to it is what any program must do at least to put a ring on the
// screen, without a hook, a queue or a worker in between.
struct OwnLayeredWindow {
    void* bits = nullptr;
    Holder<HWND, DestroyWindow> window{CreateOwnWindow(L"PvDriverLayered", DefWindowProcW, nullptr,
                                                       WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"",
                                                       WS_POPUP, {0, 0, 256, 256})};
    Holder<HBITMAP, DeleteObject> bitmap{CreateDib(nullptr, 256, 256, &bits)};
    Holder<HDC, DeleteDC> dc{CreateCompatibleDC(nullptr)};

    OwnLayeredWindow() {
        if (bitmap == nullptr || dc == nullptr) {
            Fail("layered window");
        }
        SelectObject(dc, bitmap);
        std::fill_n(static_cast<uint32_t*>(bits), 256 * 256, 0xFF808080u);  // opaque grey, premultiplied
    }

    // Shows the window centred on `at` with its image, as a ring is shown.
    void Show(POINT at) {
        SetWindowPos(window, HWND_TOP, at.x - 128, at.y - 128, 256, 256, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        ScreenDc screen(GetDC(nullptr));
        POINT destination = {at.x - 128, at.y - 128};
        SIZE size = {256, 256};
        POINT source = {0, 0};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        UpdateLayeredWindow(window, screen, &destination, &size, dc, &source, 0, &blend, ULW_ALPHA);
    }
};

// Polls one screen pixel until `changed` says so or `timeoutUs` passes; the time it took in
// microseconds from `start`, or -1 on time-out.
template <typename Changed>
long long WaitForPixel(HDC screen, POINT at, long long start, long long timeoutUs, Changed changed) {
    for (;;) {
        const COLORREF color = GetPixel(screen, at.x, at.y);
        const long long now = NowMicroseconds();
        if (changed(color)) {
            return now - start;
        }
        if (now - start > timeoutUs) {
            return -1;
        }
    }
}

// press-latency --probe X,Y [--count N] [--button B] [--self]: how long a press takes to put the
// ring's pixels on the screen. Each round reads the screen pixel (X, Y), presses the button with
// SendInput and polls that pixel until its colour changes, then releases the button and waits
// until the pixel is back. The press must be at the cursor's place, the probe a pixel of the
// ring there that differs from what lies under it. With --self the driver shows and hides its
// own layered window there instead of pressing: the same measurement without the program under
// test, as a baseline. Rounds that see no change within a second are counted as missed.
int CommandPressLatency(const Args& args) {
    if (!args.Has(L"--probe")) {
        Usage();
    }
    const POINT probe = PointArgument(args.Text(L"--probe"));
    const long long count = args.Option(L"--count", 60);
    const Button& button = ButtonArgument(args.Text(L"--button", L"x1"));
    if (count <= 0) {
        Usage();
    }
    std::unique_ptr<OwnLayeredWindow> own;
    if (args.Has(L"--self")) {
        own = std::make_unique<OwnLayeredWindow>();
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    ScreenDc screen(GetDC(nullptr));
    constexpr long long kTimeoutUs = 1000000;
    std::vector<long long> shown;
    std::vector<long long> hidden;
    long long missed = 0;
    for (long long round = 0; round < count; ++round) {
        const COLORREF before = GetPixel(screen, probe.x, probe.y);
        long long start = NowMicroseconds();
        if (own != nullptr) {
            own->Show(cursor);
        } else if (SendMouse(button.down, 0, 0, button.data, 0) < 0) {
            Fail("SendInput");
        }
        const long long took =
            WaitForPixel(screen, probe, start, kTimeoutUs, [before](COLORREF c) { return c != before; });
        start = NowMicroseconds();
        if (own != nullptr) {
            ShowWindow(own->window, SW_HIDE);
        } else {
            SendMouse(button.up, 0, 0, button.data, 0);
        }
        const long long back =
            WaitForPixel(screen, probe, start, kTimeoutUs, [before](COLORREF c) { return c == before; });
        if (took < 0 || back < 0) {
            ++missed;
        } else {
            shown.push_back(took);
            hidden.push_back(back);
        }
        Sleep(30);
    }
    EmitStats("press-to-visible", shown, ",\"missed\":" + JsonNumber(missed));
    EmitStats("release-to-hidden", hidden);
    return missed == count ? kExitNotMet : kExitOk;
}

// ring-cycles --count N --at X,Y --slot X,Y [--button B]: N rounds of press at (X, Y), a move onto
// the slot point, a pause longer than a tracking tick (16 ms), a move back to the press point, a
// pause, and the release there (in the ring's dead centre, so that no item runs). All moves are
// plain SendInput moves. Reports the time the rounds took.
int CommandRingCycles(const Args& args) {
    const POINT at = PointArgument(args.Text(L"--at"));
    const POINT slot = PointArgument(args.Text(L"--slot"));
    const long long count = args.Option(L"--count", 1000);
    const Button& button = ButtonArgument(args.Text(L"--button", L"x1"));
    if (count <= 0) {
        Usage();
    }
    const long long start = NowMicroseconds();
    for (long long round = 0; round < count; ++round) {
        if (SendMoveTo(at) < 0 || SendMouse(button.down, 0, 0, button.data, 0) < 0) {
            Fail("SendInput");
        }
        Sleep(5);
        SendMoveTo(slot);
        Sleep(25);
        SendMoveTo(at);
        Sleep(25);
        SendMouse(button.up, 0, 0, button.data, 0);
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
    const long long pid = args.Number(0);
    HandleHolder process(OpenProcessArgument(args, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ));
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        Fail("GetProcessTimes");
    }
    auto microseconds = [](const FILETIME& time) {
        return JsonNumber(static_cast<long long>(
            (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 10));
    };
    DWORD handles = 0;
    const bool haveHandles = GetProcessHandleCount(process, &handles) != FALSE;
    SetLastError(0);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD gdiError = GetLastError();
    SetLastError(0);
    const DWORD userObjects = GetGuiResources(process, GR_USEROBJECTS);
    const DWORD userError = GetLastError();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    const bool haveMemory =
        K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                sizeof memory) != FALSE;
    WindowCount windows = {static_cast<DWORD>(pid), 0};
    EnumWindows(CountProcessWindow, reinterpret_cast<LPARAM>(&windows));
    EmitLine("{\"pid\":" + JsonNumber(pid) + ",\"user_us\":" + microseconds(user) + ",\"kernel_us\":" +
             microseconds(kernel) + ",\"handles\":" + (haveHandles ? JsonNumber(handles) : "null") +
             ",\"handles_listed\":" + JsonNumber(CountHandles(static_cast<DWORD>(pid))) +
             ",\"gdi\":" + JsonNumber(gdi) + ",\"gdi_error\":" + JsonNumber(gdiError) +
             ",\"user\":" + JsonNumber(userObjects) + ",\"user_error\":" + JsonNumber(userError) +
             ",\"gdi_table\":" + JsonNumber(CountGdiObjects(process)) +
             ",\"windows\":" + JsonNumber(windows.count) + ",\"private_bytes\":" +
             (haveMemory ? JsonNumber(static_cast<long long>(memory.PrivateUsage)) : "null") +
             ",\"working_set\":" +
             (haveMemory ? JsonNumber(static_cast<long long>(memory.WorkingSetSize)) : "null") + "}");
    return kExitOk;
}

// ---- dialogs and windows of another process (the tray and palette editor scenarios) ------------

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
    const std::wstring className = WindowClass(control);
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
        const long long answer = ask(UDM_GETPOS) & 0xffffffffLL;
        state =
            ",\"position\":" + JsonNumber(answer & 0xffff) + ",\"error\":" + JsonBool((answer >> 16) != 0);
    }
    EmitLine("{\"id\":" + JsonNumber(GetDlgCtrlID(control)) + ",\"hwnd\":" + JsonWindow(control) +
             ",\"class\":" + JsonString(className) + ",\"text\":" + JsonString(ControlTextW(control)) +
             ",\"text_a\":" + JsonHex(ControlTextA(control)) +
             ",\"visible\":" + JsonBool(IsWindowVisible(control) != FALSE) +
             ",\"focus\":" + JsonBool(FocusOfThread(control) == control) +
             ",\"enabled\":" + JsonBool(IsWindowEnabled(control) != FALSE) + state + "}");
    return TRUE;
}

int CommandSetText(const Args& args) {
    HWND window = ExistingWindow(args[0]);
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[1].c_str()),
                            SMTO_ABORTIFHUNG, 5000, &result) == 0) {
        Fail("SendMessageTimeout", kExitNotMet);
    }
    EmitLine("{\"result\":" + JsonNumber(static_cast<long long>(result)) + "}");
    return kExitOk;
}

int CommandLayered(const Args& args) {
    HWND window = ExistingWindow(args[0]);
    const bool layered = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    const bool read = layered && GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) != FALSE;
    EmitLine("{\"layered\":" + JsonBool(layered) + ",\"alpha\":" + (read ? JsonNumber(alpha) : "null") +
             ",\"flags\":" + JsonNumber(flags) + "}");
    return kExitOk;
}

int CommandTrayDelete(const Args& args) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.uID = args.size() > 1 ? static_cast<UINT>(args.Number(1)) : 0;
    icon.hWnd = WindowNumber(args[0]);
    const bool deleted = Shell_NotifyIconW(NIM_DELETE, &icon) != FALSE;
    EmitLine("{\"deleted\":" + JsonBool(deleted) + "}");
    return deleted ? kExitOk : kExitNotMet;
}

int CommandTaskbarCreated(const Args& args) {
    const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    if (message == 0 || !PostMessageW(WindowNumber(args[0]), message, 0, 0)) {
        Fail("PostMessage");
    }
    EmitLine("{\"posted\":true,\"message\":" + JsonNumber(message) + "}");
    return kExitOk;
}

int CommandClientRect(const Args& args) {
    HWND window = ExistingWindow(args[0]);
    RECT client = {};
    POINT origin = {0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
        Fail("GetClientRect");
    }
    EmitLine("{\"origin\":" + JsonPair(origin.x, origin.y) +
             ",\"size\":" + JsonPair(client.right - client.left, client.bottom - client.top) + "}");
    return kExitOk;
}

// capture X Y W H: copies that screen rectangle into a 32-bit bitmap of this process and prints
// it row by row, top first ({"y":..,"rgb":"rrggbbrrggbb..."}).
int CommandCapture(const Args& args) {
    const int x = static_cast<int>(args.Number(0));
    const int y = static_cast<int>(args.Number(1));
    const int width = static_cast<int>(args.Number(2));
    const int height = static_cast<int>(args.Number(3));
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
        Usage();
    }
    ScreenDc screen(GetDC(nullptr));
    if (screen == nullptr) {
        Fail("GetDC");
    }
    void* bits = nullptr;
    Holder<HDC, DeleteDC> memory(CreateCompatibleDC(screen));
    Holder<HBITMAP, DeleteObject> bitmap(CreateDib(screen, width, -height, &bits));
    if (memory == nullptr || bitmap == nullptr || bits == nullptr) {
        Fail("CreateDIBSection");
    }
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
    if (!copied) {
        Fail("BitBlt");
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
    for (int row = 0; row < height; ++row) {
        const uint8_t* pixel = static_cast<const uint8_t*>(bits) + static_cast<size_t>(row) * width * 4;
        for (int column = 0; column < width; ++column, pixel += 4) {
            rgb[column * 3] = pixel[2];
            rgb[column * 3 + 1] = pixel[1];
            rgb[column * 3 + 2] = pixel[0];
        }
        EmitLine("{\"y\":" + JsonNumber(y + row) + ",\"rgb\":\"" + Hex(rgb.data(), rgb.size()) + "\"}");
    }
    return kExitOk;
}

// drop-files HWND X Y PATH...: hands the window a file drop as the shell would. A drop handle is
// global memory of the receiving process, so the DROPFILES record (wide paths, as the desktop
// shell hands them, each zero-ended, an empty one last) is written into memory allocated inside
// that process, and its address is posted as the handle: a fixed global block is its own address,
// which DragQueryFile locks and reads. The block is never freed by us (the receiver may release
// the handle itself).
int CommandDropFiles(const Args& args) {
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.pt.x = static_cast<LONG>(args.Number(1));
    header.pt.y = static_cast<LONG>(args.Number(2));
    header.fWide = TRUE;
    HWND window = ExistingWindow(args[0], true);
    std::string record(reinterpret_cast<const char*>(&header), sizeof header);
    for (size_t i = 3; i < args.size(); ++i) {
        record.append(reinterpret_cast<const char*>(args[i].c_str()), (args[i].size() + 1) * sizeof(wchar_t));
    }
    record.append(sizeof(wchar_t), '\0');
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HandleHolder process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
    if (process == nullptr) {
        Fail("OpenProcess");
    }
    void* remote = VirtualAllocEx(process, nullptr, record.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    if (remote == nullptr || !WriteProcessMemory(process, remote, record.data(), record.size(), &written) ||
        written != record.size()) {
        Fail("WriteProcessMemory");
    }
    if (!PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
        Fail("PostMessage");
    }
    EmitLine("{\"posted\":true,\"files\":" + JsonNumber(static_cast<long long>(args.size() - 3)) + "}");
    return kExitOk;
}

// ---- the commands -------------------------------------------------------------------------------

constexpr size_t kAny = SIZE_MAX;  // no upper limit on the number of positional arguments

// One command: its name, how many positional arguments it takes, what runs it, and its usage line.
struct Command {
    const char* name;
    size_t minArgs;
    size_t maxArgs;
    int (*run)(const Args&);
    const char* usage;
};

// The output of each window command is one line per window, then a count.
const Command kCommands[] = {
    {"find-window", 1, 2, [](const Args& a) { return CommandWindows(a, false, true); },
     "CLASS [TITLE] [--visible]: every top-level window that matches (--visible: only visible ones)"},
    {"wait-window", 1, 2, [](const Args& a) { return CommandWindows(a, true, true); },
     "CLASS [TITLE] [--visible] [--timeout MS]: until at least one matches"},
    {"wait-no-window", 1, 2, [](const Args& a) { return CommandWindows(a, true, false); },
     "CLASS [TITLE] [--visible] [--timeout MS]: until none matches"},
    {"window-info", 1, 1,
     [](const Args& a) {
         EmitLine(DescribeWindow(ExistingWindow(a[0])));
         return kExitOk;
     },
     "HWND"},
    {"find-msgbox", 0, 1, [](const Args& a) { return CommandMessageBoxes(a, false); },
     "[CAPTION]: dialogs of class #32770 (caption ERROR when omitted)"},
    {"wait-msgbox", 0, 1, [](const Args& a) { return CommandMessageBoxes(a, true); },
     "[CAPTION] [--timeout MS]"},
    {"close-window", 1, 1, [](const Args& a) { return CommandMessage(a, false, WM_CLOSE); },
     "HWND: posts WM_CLOSE"},
    {"post-message", 2, 4, [](const Args& a) { return CommandMessage(a, false); },
     "HWND MSG [WPARAM [LPARAM]]"},
    {"send-message", 2, 4, [](const Args& a) { return CommandMessage(a, true); },
     "HWND MSG [WPARAM [LPARAM]] [--timeout MS]"},
    {"input", 1, kAny, CommandInput,
     "STEP... [--extra N]: STEP is move:X,Y down:B up:B click:B wheel:D hwheel:D keydown:K keyup:K sleep:MS "
     "or extra:N (B: left right middle x1 x2; K: ctrl shift alt or a virtual key number; extra sets "
     "dwExtraInfo for the steps after it)"},
    {"cursor", 0, kAny,
     [](const Args&) {
         EmitLine(CursorLine());
         return kExitOk;
     },
     ": the cursor position"},
    {"test-window", 4, 4, CommandTestWindow,
     "X Y W H [--class C] [--title T] [--color RRGGBB] [--timeout MS] [--log FILE] [--topmost] "
     "[--skip-moves] [--hang MS]: a visible window that logs the mouse messages it gets (--hang: takes no "
     "message for MS after \"ready\")"},
    {"pixel", 2, kAny, CommandPixel, "X Y [X Y...]: screen colours as rrggbb"},
    {"clipboard-get", 0, kAny, CommandClipboardGet, ": the clipboard's text"},
    {"clipboard-set", 1, 1, CommandClipboardSet, "TEXT"},
    {"run", 1, kAny, CommandRun,
     "[--timeout MS] [--cwd DIR] -- PROGRAM [ARGS...]: start, wait, report the exit code"},
    {"wait-exit", 1, 1, CommandWaitExit, "PID [--timeout MS]"},
    {"kill", 1, 1, CommandKill, "PID"},
    {"hook-probe", 1, 1, CommandHookProbe,
     "HWND: how long one mouse input waits while the thread that owns HWND is suspended"},
    {"idle", 0, 0, [](const Args& a) { return RunHiddenWindow(a, L"PvDriverIdle", L"pvdriver idle"); },
     "[--timeout MS] [--tick MS]: a hidden window (class PvDriverIdle) that keeps the desktop alive until "
     "WM_CLOSE or the time-out (--tick: reads the cursor position every MS)"},
    {"empty-hook", 0, 0, CommandEmptyHook,
     "[--timeout MS] [--tick MS]: the same (class PvDriverEmptyHook), holding a low-level mouse hook that "
     "does nothing"},
    {"hold-file", 1, 1, CommandHoldFile,
     "PATH [--share none|read|read-write] [--timeout MS]: holds the file open, reported in a \"ready\" "
     "line, until its hidden window is closed or the time-out"},
    // Dialogs and the notification area (the tray scenarios).
    {"dialog-controls", 1, 1,
     [](const Args& a) {
         EnumChildWindows(ExistingWindow(a[0]), DescribeDialogControl, 0);
         return kExitOk;
     },
     "HWND: the dialog's child controls: id, class, text, whether enabled and, by class, check state, "
     "selection or position"},
    {"set-text", 2, 2, CommandSetText, "HWND TEXT: WM_SETTEXT to a window of another process"},
    {"foreground", 0, kAny,
     [](const Args&) {
         HWND window = GetForegroundWindow();
         if (window == nullptr) {
             NotMet("{\"foreground\":null}");
         }
         EmitLine(DescribeWindow(window));
         return kExitOk;
     },
     ": the foreground window"},
    {"layered", 1, 1, CommandLayered, "HWND: the window's layered style and its opacity"},
    {"tray-delete", 1, 2, CommandTrayDelete,
     "HWND [UID]: removes that window's notification-area icon, as a restarting shell loses it"},
    {"taskbar-created", 1, 1, CommandTaskbarCreated,
     "HWND: posts the shell's \"TaskbarCreated\" message to HWND"},
    // The palette editor scenarios.
    {"client-rect", 1, 1, CommandClientRect, "HWND: the client area's screen origin and size"},
    {"capture", 4, 4, CommandCapture,
     "X Y W H: the screen's pixels in that rectangle, one line per row, each pixel as rrggbb"},
    {"drop-files", 4, kAny, CommandDropFiles,
     "HWND X Y PATH...: posts WM_DROPFILES to HWND as a file drop at client point (X, Y) would"},
    // Measurements for the benchmarks (figures in microseconds).
    {"move-bench", 0, 0, CommandMoveBench, "[--count N]: SendInput's duration per relative pointer move"},
    {"press-latency", 0, 0, CommandPressLatency,
     "--probe X,Y [--count N] [--button B] [--self]: press-to-pixels latency"},
    {"ring-cycles", 0, 0, CommandRingCycles,
     "--at X,Y --slot X,Y [--count N] [--button B]: open-track-close rounds"},
    {"process-info", 1, 1, CommandProcessInfo,
     "PID: processor time, handles, GDI/USER objects, windows, memory"},
};

const Command* FindCommand(const std::wstring& name) {
    for (const Command& command : kCommands) {
        if (Utf8ToWide(command.name) == name) {
            return &command;
        }
    }
    return nullptr;
}

// The usage line of one command, or of all of them.
void PrintUsage(const Command* only) {
    for (const Command& command : kCommands) {
        if (only == nullptr || only == &command) {
            fprintf(stderr, "usage: pvdriver %s %s\n", command.name, command.usage);
        }
    }
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) {
        PrintUsage(nullptr);
        return kExitUsage;
    }
    const Command* command = FindCommand(argv[1]);
    int status = kExitUsage;
    try {
        const Args args = ParseArgs(argc, argv, 2);
        if (command == nullptr || args.size() < command->minArgs || args.size() > command->maxArgs) {
            Usage();
        }
        status = command->run(args);
    } catch (const Exit& exit) {
        status = exit.code;
    }
    if (status == kExitUsage) {
        EmitLine("{\"error\":\"usage\",\"command\":" + JsonString(argv[1]) + "}");
        PrintUsage(command);
    }
    LocalFree(argv);
    // The exit code once more as the last line: Wine's loader can crash in the process's very
    // last steps (a glibc assertion in dl_fini, exit code 127) after the command has done its
    // work, and the harness then takes the code from here.
    EmitLine("{\"exit\":" + std::to_string(status) + "}");
    return status;
}
