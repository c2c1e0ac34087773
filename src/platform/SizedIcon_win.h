#pragma once
// Icons taken from their files at the size a scaled window draws them, so that they are only ever
// reduced, never enlarged from a smaller image.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Holders_win.h"

HICON LoadIconFileAtSize(const char* resolvedPath, int32_t pixels);

// Icons taken at one size and kept by the path the settings hold, each file read once; the owner
// clears it when its size changes. One thread only.
class SizedIconCache {
public:
    // The icon of the file at iconPath, made absolute by `resolve` (0 on success), at the size
    // nearest above `pixels`; null when the file gives none.
    HICON Get(const char* iconPath, int32_t pixels, int32_t (*resolve)(std::string*, const char*));
    void Clear() { kept_.clear(); }

private:
    struct Kept {
        std::string path;
        IconHolder icon;  // empty when the file gave none at that size
    };
    std::vector<Kept> kept_;
};
