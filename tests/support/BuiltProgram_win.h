#pragma once
// The built pivotel.exe as the resource tests read it: found from the test program's own folder
// (the build sets PIVOTEL_EXE_RELATIVE, relative to the folder of the test executable) and loaded
// as a data file, so that what is checked is what ships.

#include <windows.h>

#include <algorithm>
#include <string>

#include "TestSupport.h"

inline std::string PivotelExePath() {
    std::string path = ExecutableDir() + PIVOTEL_EXE_RELATIVE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// pivotel.exe loaded as a data file for as long as the holder lives; module is null when it could
// not be loaded.
struct BuiltProgram {
    std::string path = PivotelExePath();
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);

    BuiltProgram() = default;
    BuiltProgram(const BuiltProgram&) = delete;
    BuiltProgram& operator=(const BuiltProgram&) = delete;
    ~BuiltProgram() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};
