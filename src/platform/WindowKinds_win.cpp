// Reads a window's process integrity level and class name for the decisions of WindowKinds.cpp.

#include "platform/WindowKinds_win.h"

#include <memory>

#include "platform/Holders_win.h"
#include "platform/WindowKinds.h"

namespace {

constexpr int kClassNameSize = 64;  // longer than every class name the decisions know

// The window's class name, empty when the window is gone.
std::wstring_view ClassOf(HWND window, wchar_t (&name)[kClassNameSize]) {
    const int length = window != nullptr ? GetClassNameW(window, name, kClassNameSize) : 0;
    return std::wstring_view(name, length > 0 ? static_cast<size_t>(length) : 0);
}

// The level of a token's mandatory label, or kIntegrityUnreadable.
uint32_t TokenIntegrity(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) {
        return kIntegrityUnreadable;
    }
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
    auto* label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.get());
    if (!GetTokenInformation(token, TokenIntegrityLevel, label, size, &size) || label->Label.Sid == nullptr ||
        !IsValidSid(label->Label.Sid)) {
        return kIntegrityUnreadable;
    }
    const UCHAR count = *GetSidSubAuthorityCount(label->Label.Sid);
    return count > 0 ? static_cast<uint32_t>(*GetSidSubAuthority(label->Label.Sid, count - 1u))
                     : kIntegrityUnreadable;
}

}  // namespace

// The integrity level of a process, or kIntegrityUnreadable when the process or its token
// cannot be opened for a query (elevated and protected processes refuse lower ones).
uint32_t ProcessIntegrity(DWORD processId) {
    const HandleHolder process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    HANDLE token = nullptr;
    if (process == nullptr || !OpenProcessToken(process.get(), TOKEN_QUERY, &token)) {
        return kIntegrityUnreadable;
    }
    const HandleHolder tokenHolder(token);
    return TokenIntegrity(token);
}

// The program's own level, read once: a process keeps its level for life.
uint32_t OwnIntegrity() {
    static const uint32_t own = ProcessIntegrity(GetCurrentProcessId());
    return own;
}

// True when the window belongs to a process above the program's own level. The program's own
// windows and a window that is gone are not above it.
bool IsAboveOwnIntegrity(HWND window) {
    DWORD processId = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0 || processId == 0 ||
        processId == GetCurrentProcessId()) {
        return false;
    }
    return IsAboveIntegrity(ProcessIntegrity(processId), OwnIntegrity());
}

// True for the system's desktop window, the shell's desktop window and the shell's desktop and
// taskbar windows by class.
bool IsShellWindow(HWND window) {
    if (window == nullptr) {
        return false;
    }
    if (window == GetDesktopWindow() || window == GetShellWindow()) {
        return true;
    }
    wchar_t name[kClassNameSize] = {};
    return IsShellWindowClass(ClassOf(window, name));
}

// True for a window of a modern app: its own class or that of its top-level frame.
bool IsModernAppFrame(HWND window) {
    wchar_t name[kClassNameSize] = {};
    if (IsModernAppFrameClass(ClassOf(window, name))) {
        return true;
    }
    HWND root = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
    return root != nullptr && root != window && IsModernAppFrameClass(ClassOf(root, name));
}
