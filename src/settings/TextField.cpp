#include "settings/TextField.h"

#include <cstring>

#include "platform/CodePage.h"

// Clears the whole field and copies as much of text as fits before the terminator.
void CopyTextField(char* field, size_t fieldSize, const char* text) {
    memset(field, 0, fieldSize);
    if (fieldSize == 0 || text == nullptr) {
        return;
    }
    memcpy(field, text, Cp932FitBytes(text, fieldSize - 1));
}
