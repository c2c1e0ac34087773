// A helper program for the launch tests: it writes what it was started with (its command line
// and arguments, its current directory, the show command of its start-up information) to the
// file named by the environment variable PIVOTEL_PROBE_OUTPUT, then exits. The file is written
// under another name and renamed, so whoever sees it sees it whole.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char output[MAX_PATH] = {};
    if (GetEnvironmentVariableA("PIVOTEL_PROBE_OUTPUT", output, sizeof output) == 0) {
        return 1;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);

    std::string text = std::string("cmdline=") + GetCommandLineA() + "\n";
    text += "argc=" + std::to_string(__argc) + "\n";
    for (int i = 1; i < __argc; ++i) {
        text += "arg" + std::to_string(i) + "=" + __argv[i] + "\n";
    }
    text += std::string("cwd=") + directory + "\n";
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    text += "show=" + std::to_string(show) + "\n";

    const std::string partial = std::string(output) + ".part";
    FILE* file = fopen(partial.c_str(), "wb");
    if (file == nullptr) {
        return 2;
    }
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    return MoveFileExA(partial.c_str(), output, MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
