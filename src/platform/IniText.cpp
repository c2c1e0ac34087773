// The INI text format in memory. Single-key reads and writes answer, and the written text is laid
// out, as the Windows profile functions do under Wine 8 (the differential test's reference):
//
// - Characters are cut as code page 932 does: a lead byte (0x81-0x9F, 0xE0-0xFC) takes the next
//   byte unless it is a zero or the end, so a trail byte is never '[', ']' or '\', and a lead byte
//   before a line break swallows it. After a UTF-8 byte-order mark (kept on writing) bytes count
//   one by one.
// - Lines end at any run of CR and LF. Blanks (tab, LF, VT, FF, CR, ^Z, space) are dropped at both
//   ends of a line, inside section brackets and around the '='; blank lines are dropped.
// - "[name]..." (up to the last ']') is a header; any other line is a key: name before the first
//   '=', value after it, no '=' means no value. A nameless key right after another is dropped.
//   Names and values end at a zero byte. Lines before the first header form the nameless section.
// - Names compare ignoring the case of ASCII letters only; the first of duplicate sections, and
//   of duplicate keys in it, counts.
// - A value (and the default) of at least two characters inside like quotes loses them; the
//   default also loses trailing spaces. A read copies at most size - 1 characters and bytes, and
//   one character less when quotes were removed and the rest is exactly size - 1 long.
// - A write drops leading blanks of the value and leaves the file untouched when the key already
//   has it. Otherwise the whole file is rewritten as "[name]" and "name=value" lines ending in
//   CR LF, nameless headers left out; a new key goes to the end of its section, a new section to
//   the end of the file.
//
// Deliberately different from the system function:
// - A read cut inside a two-byte character ends before it, terminated, with the count of bytes.
// - Text is never converted (the system rewrites invalid code page 932 and duplicate NEC/IBM
//   characters, converts UTF-8 files and reads UTF-16); a UTF-16 file reads as empty and is
//   never written.
// - A null section, key or path reads as empty, and a write with a null section, key or value
//   fails and changes nothing (no listing, no win.ini, no deleting).

#include "platform/IniText.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CodePage.h"

namespace {

// How the bytes of a text are cut into characters.
enum class TextMode { CodePage932, Bytes };

// A piece of text with the rule for cutting it into characters. data may hold zero bytes.
struct Text {
    const char* data;
    size_t size;
    TextMode mode;
};

enum class LineKind { Blank, Section, Key };

// One line of the file after trimming. name and value point into the text and end before the
// first zero byte; nameWasEmpty tells whether the name had no characters at all before that cut.
struct IniLine {
    LineKind kind;
    std::string_view name;
    bool hasValue;
    std::string_view value;
    bool nameWasEmpty;
};

const char kUtf8Mark[] = "\xEF\xBB\xBF";

unsigned char Byte(const char* p, size_t i) {
    return static_cast<unsigned char>(p[i]);
}

// Bytes of the character at i: a lead byte takes the next byte with it unless that is a zero or
// there is none, as the code page conversion does.
size_t CharLength(const Text& text, size_t i) {
    if (text.mode == TextMode::CodePage932 && IsCp932LeadByte(Byte(text.data, i)) && i + 1 < text.size &&
        text.data[i + 1] != 0) {
        return 2;
    }
    return 1;
}

size_t CountChars(const Text& text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size; i += CharLength(text, i)) {
        ++count;
    }
    return count;
}

// First position in [begin, end) that is not a blank.
size_t SkipBlanks(const Text& text, size_t begin, size_t end) {
    while (begin < end && IsProfileBlank(Byte(text.data, begin))) {
        ++begin;
    }
    return begin;
}

// End of the last character in [begin, end) that is not a blank (begin when there is none).
size_t EndWithoutBlanks(const Text& text, size_t begin, size_t end) {
    size_t last = begin;
    for (size_t i = begin; i < end;) {
        size_t length = CharLength(text, i);
        if (length == 2 || !IsProfileBlank(Byte(text.data, i))) {
            last = i + length;
        }
        i += length;
    }
    return last;
}

std::string_view UpToZero(const Text& text, size_t begin, size_t end) {
    std::string_view piece(text.data + begin, end - begin);
    return piece.substr(0, piece.find('\0'));
}

// Reads the line that starts at *pos and moves *pos past it and its line break.
IniLine NextLine(const Text& text, size_t* pos) {
    // One pass over the line finds its end, the end of its last non-blank character, its first
    // '=' and its last ']' (all single-byte characters, never the trail of a two-byte one).
    const char* p = text.data;
    size_t start = *pos;
    size_t end = start;
    size_t lastNonBlankEnd = start;
    size_t equals = SIZE_MAX;
    size_t close = SIZE_MAX;
    while (end < text.size) {
        const unsigned char c = Byte(p, end);
        if (c == '\n' || c == '\r') {
            break;
        }
        const size_t length = CharLength(text, end);
        if (length == 2) {
            lastNonBlankEnd = end + 2;
        } else if (!IsProfileBlank(c)) {
            lastNonBlankEnd = end + 1;
            if (c == '=' && equals == SIZE_MAX) {
                equals = end;
            } else if (c == ']') {
                close = end;
            }
        }
        end += length;
    }
    size_t next = end;
    while (next < text.size && (p[next] == '\n' || p[next] == '\r')) {
        ++next;
    }
    *pos = next;

    IniLine line{LineKind::Blank, {}, false, {}, true};
    start = SkipBlanks(text, start, end);
    end = lastNonBlankEnd > start ? lastNonBlankEnd : start;
    if (start == end) {
        return line;
    }
    if (p[start] == '[' && close != SIZE_MAX) {
        size_t nameStart = SkipBlanks(text, start + 1, close);
        line.kind = LineKind::Section;
        line.name = UpToZero(text, nameStart, EndWithoutBlanks(text, nameStart, close));
        return line;
    }
    size_t nameEnd = end;
    line.kind = LineKind::Key;
    if (equals != SIZE_MAX) {
        nameEnd = EndWithoutBlanks(text, start, equals);
        line.hasValue = true;
        line.value = UpToZero(text, SkipBlanks(text, equals + 1, end), end);
    }
    line.nameWasEmpty = nameEnd == start;
    line.name = UpToZero(text, start, nameEnd);
    return line;
}

// Calls visit(line) for every section header and every key that counts, in file order, until
// visit returns false. The nameless first section is implied and not reported.
template <typename Visitor>
void ParseIni(const Text& text, Visitor&& visit) {
    bool havePreviousKey = false;
    bool previousKeyNameEmpty = false;
    size_t pos = 0;
    while (pos < text.size) {
        IniLine line = NextLine(text, &pos);
        if (line.kind == LineKind::Blank) {
            continue;
        }
        if (line.kind == LineKind::Section) {
            havePreviousKey = false;
        } else {
            // A run of nameless keys counts only once.
            if (line.nameWasEmpty && havePreviousKey && previousKeyNameEmpty) {
                continue;
            }
            havePreviousKey = true;
            previousKeyNameEmpty = line.name.empty();
        }
        if (!visit(line)) {
            return;
        }
    }
}

// A caller's name (code page 932) with blanks at both ends dropped, for comparing.
Text TrimmedName(const char* name) {
    Text text{name, strlen(name), TextMode::CodePage932};
    size_t start = SkipBlanks(text, 0, text.size);
    size_t end = EndWithoutBlanks(text, start, text.size);
    return Text{name + start, end - start, TextMode::CodePage932};
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text of a file without its byte-order mark, and how to cut it. A UTF-16 file has no text
// this reader understands.
bool FileText(const std::string& content, Text* text, bool* utf8Mark) {
    *utf8Mark = content.compare(0, 3, kUtf8Mark) == 0;
    if (*utf8Mark) {
        *text = Text{content.data() + 3, content.size() - 3, TextMode::Bytes};
        return true;
    }
    if (content.size() >= 2 && ((Byte(content.data(), 0) == 0xFF && Byte(content.data(), 1) == 0xFE) ||
                                (Byte(content.data(), 0) == 0xFE && Byte(content.data(), 1) == 0xFF))) {
        return false;
    }
    *text = Text{content.data(), content.size(), TextMode::CodePage932};
    return true;
}

// Copies source into buffer the way a read answers (see the notes at the top); the bytes copied.
// The bytes after the terminator are left alone.
uint32_t CopyOut(const Text& source, bool removeQuotes, char* buffer, uint32_t size) {
    Text body = source;
    size_t chars = CountChars(source);
    bool quoted = false;
    if (removeQuotes && chars >= 2 && (source.data[0] == '"' || source.data[0] == '\'')) {
        size_t lastStart = 0;
        for (size_t i = 0; i < source.size; i += CharLength(source, i)) {
            lastStart = i;
        }
        if (source.size - lastStart == 1 && source.data[lastStart] == source.data[0]) {
            quoted = true;
            body = Text{source.data + 1, source.size - 1, source.mode};
            chars -= 1;
        }
    }
    size_t copyChars = chars < size - 1 ? chars : size - 1;
    if (quoted && size >= chars && copyChars > 0) {
        copyChars -= 1;  // the closing quote, or the last character when the quote did not fit
    }
    size_t bytes = 0;
    for (size_t i = 0; i < copyChars; ++i) {
        size_t length = CharLength(body, bytes);
        if (bytes + length > size - 1) {
            break;
        }
        bytes += length;
    }
    memcpy(buffer, body.data, bytes);
    buffer[bytes] = 0;
    return static_cast<uint32_t>(bytes);
}

// What a line may end in: a lead byte with nothing after it is half a character that, with the line
// break after it, would read back as another character, so it is left out.
std::string_view WholeCharacters(std::string_view text) {
    size_t last = 0;
    size_t end = 0;
    while (end < text.size()) {
        last = end;
        end += Cp932CharLength(text.data(), end, text.size());
    }
    const bool halfAtEnd =
        end > last && end - last == 1 && IsCp932LeadByte(static_cast<unsigned char>(text[last]));
    return halfAtEnd ? text.substr(0, last) : text;
}

std::string Serialize(const IniDocument& document) {
    std::string out;
    if (document.utf8Mark) {
        out += kUtf8Mark;
    }
    // Only code page 932 text pairs a lead byte with what follows it.
    const auto lineEnd = [&document](const std::string& text) {
        return document.utf8Mark ? std::string_view(text) : WholeCharacters(text);
    };
    for (const IniSection& section : document.sections) {
        if (!section.name.empty()) {
            out += '[';
            out += section.name;
            out += "]\r\n";
        }
        for (const IniKey& key : section.keys) {
            if (key.hasValue) {
                out += key.name;
                out += '=';
                out += lineEnd(key.value);
            } else {
                out += lineEnd(key.name);
            }
            out += "\r\n";
        }
    }
    // A first line that was read after a blank and begins like a byte-order mark keeps a blank
    // before it, or it would be read back as one.
    const bool looksMarked = out.compare(0, 3, kUtf8Mark) == 0 || out.compare(0, 2, "\xFF\xFE") == 0 ||
                             out.compare(0, 2, "\xFE\xFF") == 0;
    if (!document.utf8Mark && looksMarked) {
        out.insert(0, 1, ' ');
    }
    return out;
}

// A name as names compare, its single-byte ASCII letters in lower case: two names compare equal
// exactly when these forms do, since lowering a letter never changes where characters begin.
std::string CompareForm(const Text& name) {
    std::string form(name.data, name.size);
    for (size_t i = 0; i < form.size();) {
        const size_t length = CharLength(name, i);
        if (length == 1) {
            form[i] = AsciiLower(form[i]);
        }
        i += length;
    }
    return form;
}

// Records where the first entry of a name is; a later one of the same name is never found.
void Index(IniIndex& index, const std::string& name, TextMode mode, size_t position) {
    index.emplace(CompareForm(Text{name.data(), name.size(), mode}), position);
}

// The index of a section's keys, made when first asked for.
IniIndex& KeyIndex(const IniSection& section, TextMode mode) {
    if (!section.keysIndexed) {
        for (size_t i = 0; i < section.keys.size(); ++i) {
            Index(section.keyIndex, section.keys[i].name, mode, i);
        }
        section.keysIndexed = true;
    }
    return section.keyIndex;
}

// The first section or key of that name, or null. The caller's name is cut as code page 932; in a
// text cut byte by byte (after a UTF-8 mark) a two-byte character of it matches nothing.
template <typename Entries>
auto FindFirst(Entries& entries, const IniIndex& index, TextMode mode, const char* name)
    -> decltype(&entries[0]) {
    const Text wanted = TrimmedName(name);
    if (mode == TextMode::Bytes && CountChars(wanted) != wanted.size) {
        return nullptr;
    }
    const auto found = index.find(CompareForm(wanted));
    return found != index.end() ? &entries[found->second] : nullptr;
}

const char* SkipLeadingBlanks(const char* s) {
    while (IsProfileBlank(static_cast<unsigned char>(*s))) {
        ++s;
    }
    return s;
}

// The first section or key of that name, or a new one at the end named as given less leading
// blanks.
template <typename Entry>
Entry* FindOrAppend(std::vector<Entry>& entries, IniIndex& index, TextMode mode, const char* name) {
    if (Entry* found = FindFirst(entries, index, mode, name)) {
        return found;
    }
    entries.push_back(Entry{});
    entries.back().name = SkipLeadingBlanks(name);
    Index(index, entries.back().name, mode, entries.size() - 1);
    return &entries.back();
}

IniDocument BuildDocument(const Text& text, bool utf8Mark) {
    IniDocument document;  // holds the nameless first section
    document.utf8Mark = utf8Mark;
    ParseIni(text, [&](const IniLine& line) {
        if (line.kind == LineKind::Section) {
            document.sections.push_back(IniSection{std::string(line.name), {}, {}, false});
            Index(document.sectionIndex, document.sections.back().name, text.mode,
                  document.sections.size() - 1);
        } else {
            document.sections.back().keys.push_back(
                IniKey{std::string(line.name), line.hasValue, std::string(line.value)});
        }
        return true;
    });
    return document;
}

TextMode ModeOf(const IniDocument& document) {
    return document.utf8Mark ? TextMode::Bytes : TextMode::CodePage932;
}

}  // namespace

IniDocument IniParse(const std::string& content) {
    Text text{nullptr, 0, TextMode::CodePage932};
    bool utf8Mark = false;
    if (!FileText(content, &text, &utf8Mark)) {
        IniDocument unreadable;
        unreadable.utf16 = true;
        return unreadable;
    }
    return BuildDocument(text, utf8Mark);
}

// A null section or key reads as empty.
uint32_t IniGetString(const IniDocument& document, const char* section, const char* key,
                      const char* defaultValue, char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (section == nullptr || key == nullptr) {
        buffer[0] = 0;
        return 0;
    }
    // The default loses its trailing spaces (only spaces, and never its first character).
    const char* fallbackText = defaultValue != nullptr ? defaultValue : "";
    Text fallback{fallbackText, strlen(fallbackText), TextMode::CodePage932};
    while (fallback.size > 1 && fallback.data[fallback.size - 1] == ' ') {
        --fallback.size;
    }
    if (!document.utf16) {
        const TextMode mode = ModeOf(document);
        if (const IniSection* found = FindFirst(document.sections, document.sectionIndex, mode, section)) {
            const IniKey* entry = FindFirst(found->keys, KeyIndex(*found, mode), mode, key);
            if (entry != nullptr && entry->hasValue) {
                return CopyOut(Text{entry->value.data(), entry->value.size(), mode}, true, buffer, size);
            }
        }
    }
    return CopyOut(fallback, true, buffer, size);
}

bool IniSetString(IniDocument* document, const char* section, const char* key, const char* value) {
    if (document == nullptr || section == nullptr || key == nullptr || value == nullptr || document->utf16) {
        return false;
    }
    const TextMode mode = ModeOf(*document);
    IniSection* target = FindOrAppend(document->sections, document->sectionIndex, mode, section);
    IniKey* entry = FindOrAppend(target->keys, KeyIndex(*target, mode), mode, key);
    entry->hasValue = true;
    entry->value = SkipLeadingBlanks(value);
    return true;
}

std::string IniSerialize(const IniDocument& document) {
    return Serialize(document);
}
