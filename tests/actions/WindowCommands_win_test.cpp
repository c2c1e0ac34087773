// The nine window commands under Wine, on top-level windows of another process (window_owner.exe),
// as the ring menu's target always is; every effect is checked from outside, as the user sees it.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "ActionTestSupport.h"
#include "WindowOwner.h"
#include "actions/WindowCommands.h"

namespace {

const char kOwnerName[] = "window_owner.exe";

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) {
        hex += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    }
    return hex;
}

// A running window_owner.exe and the windows it made. Ending it closes its standard input, which
// makes it quit; one that does not is terminated.
struct OwnerProcess {
    PROCESS_INFORMATION info = {};
    HANDLE input = nullptr;
    std::vector<HWND> windows;

    OwnerProcess() = default;
    OwnerProcess(const OwnerProcess&) = delete;
    OwnerProcess& operator=(const OwnerProcess&) = delete;
    ~OwnerProcess() { Stop(); }

    void Stop() {
        if (input != nullptr) {
            CloseHandle(input);
            input = nullptr;
        }
        if (info.hProcess != nullptr) {
            if (WaitForSingleObject(info.hProcess, 3000) != WAIT_OBJECT_0) {
                TerminateProcess(info.hProcess, 1);
                WaitForSingleObject(info.hProcess, 5000);
            }
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
            info = {};
        }
    }
};

// Starts program (a UTF-8 path) with one window per title and reads the windows' handles from its
// output. kind is window_owner.exe's argument prefix for them.
bool StartOwner(OwnerProcess* owner, const std::string& program, const std::vector<std::string>& titles,
                const char* kind = "t:") {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE inputRead = nullptr;
    HANDLE outputRead = nullptr;
    HANDLE outputWrite = nullptr;
    if (!CreatePipe(&inputRead, &owner->input, &inheritable, 0)) {
        return false;
    }
    if (!CreatePipe(&outputRead, &outputWrite, &inheritable, 0)) {
        CloseHandle(inputRead);
        return false;
    }
    SetHandleInformation(owner->input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);

    std::string commandLine = "\"" + program + "\"";
    for (const std::string& title : titles) {
        commandLine += std::string(" ") + kind + Hex(title);
    }
    std::wstring wideCommandLine = WideStringFromUtf8(commandLine);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const bool started = CreateProcessW(WideStringFromUtf8(program).c_str(), wideCommandLine.data(), nullptr,
                                        nullptr, TRUE, 0, nullptr, nullptr, &startup, &owner->info) != FALSE;
    CloseHandle(inputRead);
    CloseHandle(outputWrite);
    std::string text;
    auto allHandlesRead = [&] {
        DWORD available = 0;
        if (PeekNamedPipe(outputRead, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            std::string chunk(available, '\0');
            DWORD read = 0;
            ReadFile(outputRead, &chunk[0], available, &read, nullptr);
            text.append(chunk, 0, read);
        }
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= titles.size() ||
               WaitForSingleObject(owner->info.hProcess, 0) == WAIT_OBJECT_0;
    };
    const bool complete = started && WaitUntil(allHandlesRead);
    CloseHandle(outputRead);
    size_t position = 0;
    while (complete && position < text.size()) {
        size_t end = text.find('\n', position);
        owner->windows.push_back(reinterpret_cast<HWND>(_strtoui64(text.c_str() + position, nullptr, 10)));
        position = end == std::string::npos ? text.size() : end + 1;
    }
    return complete && owner->windows.size() == titles.size();
}

int32_t RunCommand(int event, HWND window) {
    return FindWindowCommand(static_cast<uint32_t>(event))(nullptr, window, 0);
}

LONG ExStyle(HWND window) {
    return GetWindowLongA(window, GWL_EXSTYLE);
}

// True when upper comes before lower in the z-order of the top-level windows.
bool IsAbove(HWND upper, HWND lower) {
    for (HWND window = GetWindow(lower, GW_HWNDPREV); window != nullptr;
         window = GetWindow(window, GW_HWNDPREV)) {
        if (window == upper) {
            return true;
        }
    }
    return false;
}

bool IsNormal(HWND window) {
    return !IsZoomed(window) && !IsIconic(window);
}

// The titles (UTF-8) of the folder windows of Wine's file manager that the shell opened for this
// test.
std::vector<std::string> FolderWindowTitles() {
    std::vector<std::string> titles;
    const std::vector<DWORD> children = ChildProcesses();
    for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        wchar_t text[MAX_PATH] = {};
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (GetClassNameW(window, name, 64) && wcscmp(name, L"ExplorerWClass") == 0 &&
            std::count(children.begin(), children.end(), processId) != 0) {
            GetWindowTextW(window, text, MAX_PATH);
            titles.push_back(Utf8FromWideString(text));
        }
    }
    return titles;
}

// The title of the folder window that the shell opened for this test. Wine's file manager first
// shows its own name, then names the window after the folder ("actions" for ...\actions\,
// " (C:)" for C:\): the title is watched for up to ten seconds until it is the expected one, and
// the last title seen is returned ("<none>" without such a window). The window's process is
// ended afterwards.
std::string OpenedFolderTitle(const std::string& expected) {
    std::string title = "<none>";
    WaitUntil(
        [&] {
            std::vector<std::string> titles = FolderWindowTitles();
            if (!titles.empty()) {
                title = titles[0];
            }
            return title == expected;
        },
        10000);
    EndChildProcesses({"explorer.exe", "winefile.exe"});
    return title;
}

// A copy of window_owner.exe under another path (UTF-8), removed again at the end.
struct OwnerCopy {
    std::string path;
    std::string folder;  // created for the copy and removed with it; empty for none
    ~OwnerCopy() {
        if (!path.empty()) {
            WaitUntil(
                [&] {
                    return DeleteFileW(WideStringFromUtf8(path).c_str()) ||
                           GetLastError() == ERROR_FILE_NOT_FOUND;
                },
                5000);
        }
        if (!folder.empty()) {
            RemoveDirectoryW(WideStringFromUtf8(folder).c_str());
        }
    }
};

class WindowCommandsTest : public ::testing::Test {
protected:
    OwnerProcess owner;
    std::string ownerPath = ExecutableDir() + kOwnerName;

    void Start(const std::vector<std::string>& titles, const char* kind = "t:") {
        ASSERT_TRUE(StartOwner(&owner, ownerPath, titles, kind)) << "could not start " << ownerPath;
        for (HWND window : owner.windows) {
            ASSERT_TRUE(IsWindow(window));
        }
    }

    void TearDown() override {
        owner.Stop();
        translucencyAlpha = kDefaultTranslucencyAlpha;
        EndChildProcesses({kOwnerName, "explorer.exe", "winefile.exe"});
    }
};

TEST_F(WindowCommandsTest, EveryCommandFailsWithoutAWindow) {
    Start({"soon gone"});
    const HWND gone = owner.windows[0];
    owner.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(gone); }));
    ASSERT_TRUE(PutClipboardText("before"));
    for (const WindowCommandEntry& entry : WindowCommandTable) {
        EXPECT_EQ(entry.action(nullptr, nullptr, 0), -1) << "command " << entry.event << " on null";
        EXPECT_EQ(entry.action(nullptr, gone, 0), -1) << "command " << entry.event << " on a closed window";
    }
    EXPECT_EQ(ClipboardText(), "before");
    EXPECT_TRUE(FolderWindowTitles().empty());
}

// Over the taskbar the press's root owner is the shell's own window (over the Wine desktop the
// system's desktop window), and no command touches either: closing the taskbar would end the whole
// Wine desktop. A window of the taskbar's class stands in for the shell's, which the test desktop
// does not always have up; it counts the closes it is sent. Its state is watched for a second.
TEST_F(WindowCommandsTest, TheShellsTaskbarAndDesktopAreNoTarget) {
    Start({""}, "s:");
    const HWND taskbar = owner.windows[0];
    const LONG style = GetWindowLongW(taskbar, GWL_STYLE);
    ASSERT_TRUE(PutClipboardText("before"));
    for (HWND shell : {taskbar, GetDesktopWindow()}) {
        for (const WindowCommandEntry& entry : WindowCommandTable) {
            EXPECT_EQ(entry.action(nullptr, shell, 0), -1) << "command " << entry.event;
        }
    }
    EXPECT_FALSE(
        WaitUntil([&] { return !IsWindow(taskbar) || GetWindowLongW(taskbar, GWL_STYLE) != style; }, 1000));
    EXPECT_EQ(SendMessageW(taskbar, kOwnerCloseCount, 0, 0), 0);
    EXPECT_FALSE(GetWindowLongW(taskbar, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TOPMOST));
    EXPECT_EQ(ClipboardText(), "before");
    EXPECT_TRUE(FolderWindowTitles().empty());
}

TEST_F(WindowCommandsTest, SendToBottomPutsTheWindowBelowTheOthers) {
    Start({"target", "other"});
    const HWND target = owner.windows[0];
    const HWND other = owner.windows[1];
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil([&] { return IsAbove(target, other); }));

    // On a busy machine Wine has been seen to lose the first restack of windows shown a moment
    // ago: the owner handled the move to the bottom, yet the z-order kept the window on top. The
    // bottom is also shared with every program on the Wine server, so a test running beside this
    // one may put a window of its own there. The command therefore gets three tries; one that does
    // not send the window to the very bottom fails all three.
    bool atBottom = false;
    for (int32_t attempt = 0; attempt < 3 && !atBottom; ++attempt) {
        EXPECT_EQ(RunCommand(2, target), 0);
        atBottom = WaitUntil(
            [&] { return IsAbove(other, target) && GetWindow(target, GW_HWNDLAST) == target; }, 2000);
    }
    EXPECT_TRUE(atBottom);
    EXPECT_TRUE(IsWindowVisible(target));
}

// Maximize (3) and minimize (4) each toggle, and each turns a window in the other state into its
// own: a minimized window that was not maximized is maximized, not restored.
TEST_F(WindowCommandsTest, MaximizeAndMinimizeToggle) {
    const auto zoomed = [](HWND w) { return IsZoomed(w) && !IsIconic(w); };
    const auto iconic = [](HWND w) { return IsIconic(w) != FALSE; };
    const struct {
        int event;
        bool (*done)(HWND);
        int otherShow;
        bool (*other)(HWND);
    } cases[] = {{3, zoomed, SW_MINIMIZE, iconic}, {4, iconic, SW_MAXIMIZE, zoomed}};
    Start({"maximize", "minimize"});
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(cases[i].event);
        const HWND window = owner.windows[i];
        EXPECT_EQ(RunCommand(cases[i].event, window), 0);
        EXPECT_TRUE(WaitUntil([&] { return cases[i].done(window); }));
        EXPECT_EQ(RunCommand(cases[i].event, window), 0);
        EXPECT_TRUE(WaitUntil([&] { return IsNormal(window); }));
        ShowWindow(window, cases[i].otherShow);
        ASSERT_TRUE(WaitUntil([&] { return cases[i].other(window); }));
        EXPECT_EQ(RunCommand(cases[i].event, window), 0);
        EXPECT_TRUE(WaitUntil([&] { return cases[i].done(window); }));
    }
}

// The menu must not freeze on a program that has stopped answering: the requests wait in the
// window's queue and are carried out once its program answers again. (Where the window sent to
// the bottom ends up afterwards depends on which window the desktop activates meanwhile, so only
// the lasting effects are checked.)
TEST_F(WindowCommandsTest, CommandsDoNotWaitForAHungWindow) {
    Start({"maximize", "minimize", "bottom", "topmost"});
    const HWND maximize = owner.windows[0];
    const HWND minimize = owner.windows[1];
    const HWND topmost = owner.windows[3];
    ASSERT_TRUE(PostMessageA(maximize, kOwnerHang, 2000, 0));
    Sleep(200);  // the helper is asleep now

    const DWORD start = GetTickCount();
    EXPECT_EQ(RunCommand(3, maximize), 0);
    EXPECT_EQ(RunCommand(4, minimize), 0);
    EXPECT_EQ(RunCommand(2, owner.windows[2]), 0);
    EXPECT_EQ(RunCommand(9, topmost), 0);
    EXPECT_EQ(RunCommand(1, maximize), 0);
    EXPECT_LT(GetTickCount() - start, 1000u);

    EXPECT_TRUE(WaitUntil(
        [&] { return IsZoomed(maximize) && IsIconic(minimize) && (ExStyle(topmost) & WS_EX_TOPMOST) != 0; }));
    // Close only asks the window's program, which here decides not to close.
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(maximize, kOwnerCloseCount, 0, 0) == 1; }));
    EXPECT_TRUE(IsWindow(maximize));
}

TEST_F(WindowCommandsTest, CopyTitlePutsTheTitleOnTheClipboard) {
    // Titles in UTF-8: Japanese, and letters and symbols no 8-bit code page holds together.
    const std::string japanese = u8"ピボテル 表示テスト";
    const std::string mixed = u8"한국어 José Ünïcode ✓ 😀";
    const std::string long600(600, 'x');
    // Cut at 511 units the emoji's surrogate pair would be split: it is left out whole.
    const std::string splitAt511 = std::string(510, 'b') + u8"😀";
    Start({japanese, mixed, long600, splitAt511, ""});

    const std::string copied[] = {japanese, mixed, std::string(511, 'x'), std::string(510, 'b')};
    ASSERT_TRUE(PutClipboardText("before"));
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(RunCommand(5, owner.windows[i]), 0);
        EXPECT_EQ(ClipboardText(), copied[i]) << "window " << i;
    }

    ASSERT_TRUE(PutClipboardText("before"));
    EXPECT_EQ(RunCommand(5, owner.windows[4]), -1);
    EXPECT_EQ(ClipboardText(), "before");
}

TEST_F(WindowCommandsTest, CopiesFailWhileAnotherProgramHoldsTheClipboardOnly) {
    Start({"title"});
    const HWND window = owner.windows[0];
    ASSERT_TRUE(PutClipboardText("before"));
    ASSERT_EQ(SendMessageA(window, kOwnerHoldClipboard, 1, 0), 1);
    EXPECT_EQ(RunCommand(5, window), -1);
    EXPECT_EQ(RunCommand(6, window), -1);
    ASSERT_EQ(SendMessageA(window, kOwnerHoldClipboard, 0, 0), 1);
    EXPECT_EQ(ClipboardText(), "before");

    EXPECT_EQ(RunCommand(5, window), 0);
    EXPECT_EQ(ClipboardText(), "title");
    // The program file of the window's owner.
    EXPECT_EQ(RunCommand(6, window), 0);
    EXPECT_EQ(ClipboardText(), ownerPath);
}

// The folder is opened by the shell: under Wine it starts a file manager window as a child of
// this process, which the test ends. The program beside this test, in the root of drive C: and
// under Japanese names, which the system code page may not hold (paths and titles in UTF-8).
TEST_F(WindowCommandsTest, CopyPathAndOpenFolderOfAProgramAnywhere) {
    Start({"folder"});
    EXPECT_EQ(RunCommand(7, owner.windows[0]), 0);
    EXPECT_EQ(OpenedFolderTitle("actions"), "actions");

    // A program file named "ソx.exe", whose code page 932 form 83 5C 78 has a backslash in it.
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string pid = std::to_string(GetCurrentProcessId());
    const std::string japanese = std::string(temp) + u8"表示" + pid;
    const struct {
        std::string folder;  // made for the copy; empty for none
        std::string path;
        std::string title;  // of the folder window
    } places[] = {{"", "C:\\pivotel_owner_" + pid + ".exe", " (C:)"},
                  {japanese, japanese + u8"\\ソx.exe", u8"表示" + pid}};
    for (const auto& place : places) {
        OwnerCopy copy;
        if (!place.folder.empty()) {
            ASSERT_TRUE(CreateDirectoryW(WideStringFromUtf8(place.folder).c_str(), nullptr));
            copy.folder = place.folder;
        }
        copy.path = place.path;
        ASSERT_TRUE(
            CopyFileW(WideStringFromUtf8(ownerPath).c_str(), WideStringFromUtf8(copy.path).c_str(), FALSE));
        OwnerProcess copied;
        ASSERT_TRUE(StartOwner(&copied, copy.path, {place.title}));
        EXPECT_EQ(RunCommand(6, copied.windows[0]), 0);
        EXPECT_EQ(ClipboardText(), copy.path);
        EXPECT_EQ(RunCommand(7, copied.windows[0]), 0);
        EXPECT_EQ(OpenedFolderTitle(place.title), place.title);
        copied.Stop();
    }
}

TEST_F(WindowCommandsTest, TranslucencyUsesTheCurrentAlphaAndTogglesBack) {
    Start({"translucent", "layered by its program"});
    const HWND window = owner.windows[0];
    BYTE alpha = 0;
    DWORD flags = 0;

    translucencyAlpha = 128;
    EXPECT_EQ(RunCommand(8, window), 0);
    EXPECT_TRUE(ExStyle(window) & WS_EX_LAYERED);
    ASSERT_TRUE(GetLayeredWindowAttributes(window, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags & LWA_ALPHA, static_cast<DWORD>(LWA_ALPHA));

    EXPECT_EQ(RunCommand(8, window), 0);
    EXPECT_FALSE(ExStyle(window) & WS_EX_LAYERED);

    translucencyAlpha = 60;
    EXPECT_EQ(RunCommand(8, window), 0);
    ASSERT_TRUE(GetLayeredWindowAttributes(window, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 60);

    // Layering that the window's own program set up is taken away as well.
    const HWND layered = owner.windows[1];
    ASSERT_EQ(SendMessageA(layered, kOwnerMakeLayered, 0, 100), 1);
    ASSERT_TRUE(ExStyle(layered) & WS_EX_LAYERED);
    EXPECT_EQ(RunCommand(8, layered), 0);
    EXPECT_FALSE(ExStyle(layered) & WS_EX_LAYERED);
}

TEST_F(WindowCommandsTest, AlwaysOnTopToggles) {
    Start({"topmost", "normal"});
    const HWND window = owner.windows[0];
    const HWND normal = owner.windows[1];
    EXPECT_EQ(RunCommand(9, window), 0);
    EXPECT_TRUE(WaitUntil([&] { return (ExStyle(window) & WS_EX_TOPMOST) != 0; }));
    EXPECT_TRUE(IsAbove(window, normal));
    // A normal window brought to the top stays below a topmost one.
    SetWindowPos(normal, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(IsAbove(window, normal));

    EXPECT_EQ(RunCommand(9, window), 0);
    EXPECT_TRUE(WaitUntil([&] { return (ExStyle(window) & WS_EX_TOPMOST) == 0; }));
    SetWindowPos(normal, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitUntil([&] { return IsAbove(normal, window); }));
}

}  // namespace
