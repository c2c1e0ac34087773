// A helper program that the scenarios' launch items start: it appends one line, "started"
// followed by its other arguments, to the file named by its first argument (a bare file name is
// taken from the probe's own folder), then exits. Each start leaves exactly one line, so a
// scenario can tell whether, and how often, an item ran. Wide throughout, so that it runs from a
// folder of any name on any code page. Exit code 0, or 1 without an argument, 2 when the file
// cannot be written.

#include <windows.h>

#include <shellapi.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) {
        return 1;
    }
    std::wstring path = argv[1];
    if (path.find_first_of(L"\\/:") == std::wstring::npos) {
        wchar_t self[32768] = {};
        const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
        const std::wstring folder(self, length);
        const size_t slash = folder.find_last_of(L"\\/");
        path = (slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1)) + path;
    }
    std::wstring wide = L"started";
    for (int i = 2; i < argc; ++i) {
        wide += std::wstring(L" ") + argv[i];
    }
    wide += L"\r\n";
    std::string line(wide.size() * 3, '\0');
    line.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                                        static_cast<int>(wide.size()), line.data(),
                                                        static_cast<int>(line.size()), nullptr, nullptr)));
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 2;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 2;
}
