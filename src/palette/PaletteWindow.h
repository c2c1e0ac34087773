#pragma once
// The menu palette editor: its thread, its window, the off-screen surfaces it draws with, and the
// start and stop operations the application shell calls.
//
// The editor's state is written only by the palette thread, except through StartPaletteThread and
// ClosePaletteWithoutSaving, which take the editor's own lock for the thread handle.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "palette/PaletteEditing.h"

// A screen-compatible memory device context with the bitmap selected into it.
struct MemorySurface {
    HDC dc;
    HBITMAP bitmap;
    int32_t width;
    int32_t height;
};

MemorySurface* CreateMemorySurface(int32_t width, int32_t height);
MemorySurface* LoadBackgroundSurface(HINSTANCE instance);
void FreeMemorySurface(MemorySurface* surface);
int32_t CopySurfaceRect(MemorySurface* destination, MemorySurface* source, int32_t x, int32_t y,
                        int32_t width, int32_t height, int32_t sourceX, int32_t sourceY);
int32_t FillSurfaceRect(MemorySurface* surface, int32_t x, int32_t y, int32_t width, int32_t height,
                        COLORREF brushColour, COLORREF penColour);

extern const char kPaletteClassName[];  // also the window's title

extern HWND paletteWindow;
extern MemorySurface* backBuffer;
extern MemorySurface* backgroundImage;
extern HMENU contextMenus;
extern HMENU itemMenu;
extern HMENU emptyCellMenu;
extern HMENU slotMenu;

// How many times the editor has written the settings file on closing, since the process started.
extern std::atomic<uint32_t> paletteSaveCount;

// Main thread (tray command): opens the editor unless it is already open.
int32_t StartPaletteThread();
// Shutdown: closes an open editor without writing the settings file and waits until its thread
// has ended, so nothing of the editor touches the items after this returns.
void ClosePaletteWithoutSaving();
// True while a palette thread runs (its handle is held).
bool IsPaletteThreadRunning();

unsigned __stdcall PaletteWindowThread(void* argument);
int32_t WaitForPaletteWindow();
LRESULT CALLBACK PaletteWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void RepaintPalette(HWND window);
int32_t ShowPaletteContextMenu(int32_t kind);
