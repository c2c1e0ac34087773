// Taking the image of an icon file nearest above the size it is drawn at.

#include "platform/SizedIcon_win.h"

#include <string>

#include "platform/WideText_win.h"

namespace {

// The nearest size at or above `pixels` that icon files commonly hold, so that the file's own image
// of that size is taken and only ever reduced.
int32_t IconFileSize(int32_t pixels) {
    for (const int32_t size : {16, 20, 24, 32, 40, 48, 64, 96, 128, 256}) {
        if (size >= pixels) {
            return size;
        }
    }
    return 256;
}

}  // namespace

// The icon of the file at resolvedPath (UTF-8) at the size nearest above `pixels`; null when the
// file holds no icon. The caller destroys it.
HICON LoadIconFileAtSize(const char* resolvedPath, int32_t pixels) {
    const int32_t size = IconFileSize(pixels);
    const std::wstring path = WideStringFromUtf8(resolvedPath);
    HICON icon = nullptr;
    if (PrivateExtractIconsW(path.c_str(), 0, size, size, &icon, nullptr, 1, 0) != 1) {
        return nullptr;
    }
    return icon;
}

HICON SizedIconCache::Get(const char* iconPath, int32_t pixels,
                          int32_t (*resolve)(std::string*, const char*)) {
    for (const Kept& kept : kept_) {
        if (kept.path == iconPath) {
            return kept.icon.get();
        }
    }
    std::string resolved;
    HICON icon = resolve(&resolved, iconPath) == 0 ? LoadIconFileAtSize(resolved.c_str(), pixels) : nullptr;
    kept_.push_back(Kept{iconPath, IconHolder(icon)});
    return icon;
}
