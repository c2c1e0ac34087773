// A helper program for the launch tests: it writes what it was started with (its command line
// and arguments, its current directory, the show command of its start-up information) in UTF-8
// to the file named by the environment variable PIVOTEL_PROBE_OUTPUT, then exits. Everything is
// read through the wide functions, so the report does not depend on the system code page. The
// file is written under another name and renamed, so whoever sees it sees it whole.

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t output[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"PIVOTEL_PROBE_OUTPUT", output, MAX_PATH) == 0) {
        return 1;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    wchar_t directory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, directory);

    std::string text = "cmdline=" + Utf8(GetCommandLineW()) + "\n";
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    text += "argc=" + std::to_string(argc) + "\n";
    for (int i = 1; i < argc; ++i) {
        text += "arg" + std::to_string(i) + "=" + Utf8(argv[i]) + "\n";
    }
    LocalFree(argv);
    text += "cwd=" + Utf8(directory) + "\n";
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    text += "show=" + std::to_string(show) + "\n";

    const std::wstring partial = std::wstring(output) + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 2;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), output, MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
