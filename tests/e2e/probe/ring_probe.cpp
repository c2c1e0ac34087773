// A helper program that the scenarios' launch items start: it appends one line, "started"
// followed by its other arguments, to the file named by its first argument (a bare file name is
// taken from the probe's own folder), then exits. Each start leaves exactly one line, so a
// scenario can tell whether, and how often, an item ran. Exit code 0, or 1 without an argument,
// 2 when the file cannot be written.

#include <windows.h>

#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 2) {
        return 1;
    }
    std::string path = __argv[1];
    if (path.find_first_of("\\/:") == std::string::npos) {
        char self[MAX_PATH] = {};
        DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
        std::string folder(self, length);
        size_t slash = folder.find_last_of("\\/");
        path = (slash == std::string::npos ? std::string() : folder.substr(0, slash + 1)) + path;
    }
    std::string line = "started";
    for (int i = 2; i < __argc; ++i) {
        line += std::string(" ") + __argv[i];
    }
    line += "\r\n";
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 2;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 2;
}
