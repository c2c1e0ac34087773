// Entry point of pivotel.exe. The program takes no command-line arguments.

#include "app/App_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunPivotel(instance);
}
