#pragma once
// The DPI of the display a window or a point is on, as the system reports it to a per-monitor
// aware program.

#include <windows.h>

#include <cstdint>

// The per-monitor DPI functions exist from Windows 10 1607 on (8.1 for the monitor's); looked up
// so that the program still starts on older systems.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
    HMODULE loaded = GetModuleHandleW(module);
    if (loaded == nullptr) {
        loaded = LoadLibraryW(module);  // kept for the program's life, as the functions are
    }
    return loaded == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

uint32_t WindowDpi(HWND window);
uint32_t DpiAtPoint(POINT point);
