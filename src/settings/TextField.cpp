#include "settings/TextField.h"

#include <cstring>

#include "platform/Platform.h"

// How many bytes of text fit in maxBytes without splitting a two-byte character: a lead byte
// whose trail byte would be cut off is left out too, so a cut text stays valid code page 932.
size_t TextFieldCut(const char* text, size_t maxBytes) {
    size_t i = 0;
    while (i < maxBytes && text[i] != 0) {
        const bool lead = PlatformIsLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] != 0;
        const size_t width = lead ? 2 : 1;
        if (i + width > maxBytes) {
            break;
        }
        i += width;
    }
    return i;
}

// Clears the whole field and copies as much of text as fits before the terminator.
void CopyTextField(char* field, size_t fieldSize, const char* text) {
    memset(field, 0, fieldSize);
    if (fieldSize == 0 || text == nullptr) {
        return;
    }
    memcpy(field, text, TextFieldCut(text, fieldSize - 1));
}
