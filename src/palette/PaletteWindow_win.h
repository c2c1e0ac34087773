#pragma once
// The menu palette editor: its thread and window (PaletteWindow_win.cpp), the frame it composes
// and shows (PalettePainting_win.cpp), and the start and stop operations the application shell
// calls. The editor's state is written only by the palette thread.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/LayeredSurface_win.h"
#include "palette/PaletteEditing.h"
#include "platform/WindowThread_win.h"

extern const wchar_t kPaletteClassName[];  // also the window's title

extern HWND paletteWindow;
extern LayeredSurface* backBuffer;
extern HMENU itemMenu;
extern HMENU emptyCellMenu;
extern HMENU slotMenu;
// The DPI the picture is drawn at: that of the window's monitor. Palette thread only.
extern uint32_t paletteDpi;
extern WindowThread paletteThread;

// How many times the editor has written the settings file on closing, since the process started.
extern std::atomic<uint32_t> paletteSaveCount;

// Main thread (tray command): opens the editor unless it is already open.
int32_t StartPaletteThread();
// Shutdown: closes an open editor without writing the settings file and waits until its thread
// has ended, so nothing of the editor touches the items after this returns.
void ClosePaletteWithoutSaving();
// True while a palette thread runs.
bool IsPaletteThreadRunning();

int32_t WaitForPaletteWindow();
int32_t ShowPaletteContextMenu(int32_t kind);

bool CreatePaletteSurfaces(HINSTANCE instance);
void FreePaletteSurfaces();
POINT PicturePoint(POINT client);
void RepaintPalette(HWND window);
