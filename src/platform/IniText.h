#pragma once
// The INI text format in memory: a file's bytes parsed into a document, single keys read and set
// with the answers of the Windows profile functions (see IniText.cpp), and the document written
// back as bytes. Texts are 8-bit (code page 932) and never converted.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Where the first section or key of each name is, by the name as names compare: its ASCII letters
// in lower case.
using IniIndex = std::unordered_map<std::string, size_t>;

struct IniKey {
    std::string name;
    bool hasValue;
    std::string value;
};

// The first section of a document is the nameless one that holds the lines before any header.
struct IniSection {
    std::string name;
    std::vector<IniKey> keys;
    // Made at the section's first lookup: most sections of a file are never looked into.
    mutable IniIndex keyIndex;
    mutable bool keysIndexed = false;
};

struct IniDocument {
    bool utf8Mark = false;  // the file began with a UTF-8 byte-order mark, kept on writing
    bool utf16 = false;     // a UTF-16 file: read as empty, never written
    std::vector<IniSection> sections{IniSection{}};
    IniIndex sectionIndex{{"", 0}};
};

// Parses a whole file's bytes.
IniDocument IniParse(const std::string& content);
// Copies the value of section/key, or defaultValue when the section or the key is missing, into
// buffer, cut to size - 1 bytes and zero-terminated. Returns the bytes copied.
uint32_t IniGetString(const IniDocument& document, const char* section, const char* key,
                      const char* defaultValue, char* buffer, uint32_t size);
// Sets section/key to value less its leading blanks, adding the section or the key at the end
// when missing. False for a UTF-16 document, which is left alone.
bool IniSetString(IniDocument* document, const char* section, const char* key, const char* value);
// The document as "[name]" and "name=value" lines ending in CR LF.
std::string IniSerialize(const IniDocument& document);
