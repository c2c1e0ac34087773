// The portable INI reader and writer. Single-key reads and writes answer, and writes leave the
// file, as the Windows profile functions do under Wine 8 (the differential test's reference):
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
// - A write goes to a temporary file renamed over the old one, so it never leaves a half-written
//   file, and fails in a folder where no file may be created. Only regular files are used.

#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

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

struct IniKey {
    std::string name;
    bool hasValue;
    std::string value;
};

// The first section of a document is the nameless one that holds the lines before any header.
struct IniSection {
    std::string name;
    std::vector<IniKey> keys;
};

struct IniDocument {
    bool utf8Mark;
    std::vector<IniSection> sections;
};

enum class LoadResult { Loaded, Missing, Failed };

const char kUtf8Mark[] = "\xEF\xBB\xBF";

unsigned char Byte(const char* p, size_t i) {
    return static_cast<unsigned char>(p[i]);
}

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Blanks never start a two-byte character, so a blank byte at a character boundary is a blank.
bool IsBlank(unsigned char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

// Bytes of the character at i: a lead byte takes the next byte with it unless that is a zero or
// there is none, as the code page conversion does.
size_t CharLength(const Text& text, size_t i) {
    if (text.mode == TextMode::CodePage932 && IsLeadByte(Byte(text.data, i)) && i + 1 < text.size &&
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
    while (begin < end && IsBlank(Byte(text.data, begin))) {
        ++begin;
    }
    return begin;
}

// End of the last character in [begin, end) that is not a blank (begin when there is none).
size_t EndWithoutBlanks(const Text& text, size_t begin, size_t end) {
    size_t last = begin;
    for (size_t i = begin; i < end;) {
        size_t length = CharLength(text, i);
        if (length == 2 || !IsBlank(Byte(text.data, i))) {
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
        } else if (!IsBlank(c)) {
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

// Character by character, ignoring the case of single-byte ASCII letters.
bool NamesEqual(std::string_view stored, TextMode storedMode, const Text& wanted) {
    Text have{stored.data(), stored.size(), storedMode};
    size_t i = 0;
    size_t j = 0;
    while (i < have.size && j < wanted.size) {
        size_t length = CharLength(have, i);
        if (length != CharLength(wanted, j)) {
            return false;
        }
        if (length == 1 ? AsciiLower(have.data[i]) != AsciiLower(wanted.data[j])
                        : memcmp(have.data + i, wanted.data + j, length) != 0) {
            return false;
        }
        i += length;
        j += length;
    }
    return i == have.size && j == wanted.size;
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

// The file system's calls and flags under their names on each system; Windows takes either
// slash as a separator.
#ifdef _WIN32
using FileStat = struct _stat64;
int (*const StatPath)(const char*, FileStat*) = _stat64;
int (*const StatFile)(int, FileStat*) = _fstat64;
constexpr int kOpenFlags = _O_BINARY;
constexpr char kOtherSeparator = '\\';
#else
using FileStat = struct stat;
int (*const StatPath)(const char*, FileStat*) = stat;
int (*const StatFile)(int, FileStat*) = fstat;
constexpr int kOpenFlags = O_CLOEXEC;
constexpr char kOtherSeparator = '/';
#endif

bool IsSeparator(char c) {
    return c == '/' || c == kOtherSeparator;
}

// Whether the directory that path names a file in exists (the current one when there is none).
// Paths are 8-bit in the program's code page, so a trail byte is never taken for a separator.
bool ParentDirectoryExists(const char* path) {
    Text text{path, strlen(path), TextMode::CodePage932};
    size_t separator = text.size;
    for (size_t i = 0; i < text.size; i += CharLength(text, i)) {
        if (IsSeparator(path[i])) {
            separator = i;
        }
    }
    if (separator == text.size) {
        return true;
    }
    std::string directory(path, separator);
    if (directory.empty() || directory.back() == ':') {
        directory.push_back(path[separator]);  // the root of the file system or of a drive
    }
    FileStat st;
    return StatPath(directory.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

// Reads the whole file. Missing: the file does not exist but its directory does, so a write may
// create it. Failed: anything else, a path that names no regular file included.
LoadResult LoadFile(const char* path, std::string* content, FileStat* st) {
    content->clear();
    int fd = open(path, O_RDONLY | kOpenFlags);
    if (fd < 0) {
        return errno == ENOENT && ParentDirectoryExists(path) ? LoadResult::Missing : LoadResult::Failed;
    }
    const bool regular = StatFile(fd, st) == 0 && (st->st_mode & S_IFMT) == S_IFREG;
    if (regular) {
        content->reserve(static_cast<size_t>(st->st_size));
    }
    const bool read = regular && ReadAll(fd, content);
    close(fd);
    return read ? LoadResult::Loaded : LoadResult::Failed;
}

// A name beside target that no other writer uses: target + ".~<process>-<counter><suffix>".
std::string SideName(const std::string& target, const char* suffix) {
    static std::atomic<unsigned> counter{0};
    char tail[64];
    snprintf(tail, sizeof tail, ".~%d-%u%s", static_cast<int>(getpid()), counter.fetch_add(1), suffix);
    return target + tail;
}

// Puts content in place of the file at path through a flushed file beside it renamed over the
// old one, keeping an existing file's permission bits (and owner, where we may). False, the old
// file as it was and no temporary file left, when any step fails.
bool ReplaceFile(const char* path, const std::string& content, bool existed, const FileStat& old) {
    std::string target = path;
#ifndef _WIN32
    // Write through a symbolic link rather than replacing the link.
    if (existed) {
        if (char* real = realpath(path, nullptr)) {
            target = real;
            free(real);
        }
    }
#endif
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = SideName(target, ".tmp");
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, content.data(), content.size());
#ifdef _WIN32
    ok = ok && _commit(fd) == 0;
    (void)old;
#else
    if (ok && existed) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only a privileged writer may hand the file back to its owner; the content is what counts.
        }
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && fsync(fd) == 0;
#endif
    ok = close(fd) == 0 && ok;
    if (!ok) {
        remove(temporary.c_str());
        return false;
    }
#ifdef _WIN32
    // The C run time's rename never replaces a file, so the old one steps aside first and comes
    // back if the new one cannot take its place.
    std::string aside;
    if (existed) {
        aside = SideName(target, ".old");
        if (rename(target.c_str(), aside.c_str()) != 0) {
            remove(temporary.c_str());
            return false;
        }
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        if (existed) {
            rename(aside.c_str(), target.c_str());
        }
        remove(temporary.c_str());
        return false;
    }
    if (existed) {
        remove(aside.c_str());
    }
#else
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here no longer endangers either version.
    SyncFolderOf(target.c_str());
#endif
    return true;
}

// Whether an existing file may be written: a read-only file is refused, as the system does.
bool Writable(const char* path, const FileStat& st) {
#ifdef _WIN32
    (void)st;
    return _access(path, 2) == 0;
#else
    return (st.st_mode & 0222) != 0 && access(path, W_OK) == 0;
#endif
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

std::mutex& FileLock() {
    static std::mutex lock;
    return lock;
}

uint32_t ReadString(const char* section, const char* key, const char* defaultValue, char* buffer,
                    uint32_t size, const char* path) {
    // The default loses its trailing spaces (only spaces, and never its first character).
    Text fallback{defaultValue, strlen(defaultValue), TextMode::CodePage932};
    while (fallback.size > 1 && fallback.data[fallback.size - 1] == ' ') {
        --fallback.size;
    }
    std::string content;
    FileStat st;
    LoadResult loaded;
    {
        std::lock_guard<std::mutex> guard(FileLock());
        loaded = LoadFile(path, &content, &st);
    }
    if (loaded == LoadResult::Failed) {
        return CopyOut(fallback, false, buffer, size);  // copied as it is, quotes and all
    }
    Text text{nullptr, 0, TextMode::CodePage932};
    bool utf8Mark = false;
    if (!FileText(content, &text, &utf8Mark)) {
        return CopyOut(fallback, true, buffer, size);
    }
    const Text wantedSection = TrimmedName(section);
    const Text wantedKey = TrimmedName(key);
    bool inSection = NamesEqual("", text.mode, wantedSection);  // the nameless first section
    bool found = false;
    IniLine match{};
    ParseIni(text, [&](const IniLine& line) {
        if (line.kind == LineKind::Section) {
            if (inSection) {
                return false;  // only the first section of that name counts
            }
            inSection = NamesEqual(line.name, text.mode, wantedSection);
            return true;
        }
        if (inSection && NamesEqual(line.name, text.mode, wantedKey)) {
            found = true;
            match = line;
            return false;
        }
        return true;
    });
    if (found && match.hasValue) {
        return CopyOut(Text{match.value.data(), match.value.size(), text.mode}, true, buffer, size);
    }
    return CopyOut(fallback, true, buffer, size);
}

IniDocument BuildDocument(const Text& text, bool utf8Mark) {
    IniDocument document{utf8Mark, {}};
    document.sections.push_back(IniSection{});
    ParseIni(text, [&](const IniLine& line) {
        if (line.kind == LineKind::Section) {
            document.sections.push_back(IniSection{std::string(line.name), {}});
        } else {
            document.sections.back().keys.push_back(
                IniKey{std::string(line.name), line.hasValue, std::string(line.value)});
        }
        return true;
    });
    return document;
}

std::string Serialize(const IniDocument& document) {
    std::string out;
    if (document.utf8Mark) {
        out += kUtf8Mark;
    }
    for (const IniSection& section : document.sections) {
        if (!section.name.empty()) {
            out += '[';
            out += section.name;
            out += "]\r\n";
        }
        for (const IniKey& key : section.keys) {
            out += key.name;
            if (key.hasValue) {
                out += '=';
                out += key.value;
            }
            out += "\r\n";
        }
    }
    return out;
}

const char* SkipLeadingBlanks(const char* s) {
    while (IsBlank(static_cast<unsigned char>(*s))) {
        ++s;
    }
    return s;
}

// The first section or key of that name, or a new one at the end named as given less leading
// blanks.
template <typename Entry>
Entry* FindOrAppend(std::vector<Entry>& entries, TextMode mode, const char* name) {
    const Text wanted = TrimmedName(name);
    for (Entry& entry : entries) {
        if (NamesEqual(entry.name, mode, wanted)) {
            return &entry;
        }
    }
    entries.push_back(Entry{});
    entries.back().name = SkipLeadingBlanks(name);
    return &entries.back();
}

int WriteString(const char* section, const char* key, const char* value, const char* path) {
    std::lock_guard<std::mutex> guard(FileLock());
    std::string content;
    FileStat st;
    LoadResult loaded = LoadFile(path, &content, &st);
    if (loaded == LoadResult::Failed || (loaded == LoadResult::Loaded && !Writable(path, st))) {
        return 0;
    }
    Text text{nullptr, 0, TextMode::CodePage932};
    bool utf8Mark = false;
    if (!FileText(content, &text, &utf8Mark)) {
        return 0;  // a UTF-16 file is left alone rather than mixed with 8-bit text
    }
    IniDocument document = BuildDocument(text, utf8Mark);
    const std::string newValue = SkipLeadingBlanks(value);

    IniSection* target = FindOrAppend(document.sections, text.mode, section);
    const size_t keyCount = target->keys.size();
    IniKey* entry = FindOrAppend(target->keys, text.mode, key);
    if (target->keys.size() == keyCount && entry->hasValue && entry->value == newValue) {
        return 1;  // nothing changes, so the file is not touched
    }
    entry->hasValue = true;
    entry->value = newValue;
    return ReplaceFile(path, Serialize(document), loaded == LoadResult::Loaded, st) ? 1 : 0;
}

}  // namespace

// Appends everything up to the end of the file, going on after interrupted reads.
bool ReadAll(int fd, std::string* content) {
    char chunk[65536];
    for (;;) {
        const auto got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        content->append(chunk, static_cast<size_t>(got));
    }
}

// Writes all of data, going on after interrupted and partial writes.
bool WriteAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        size_t chunk = size - done;
        if (chunk > (1u << 30)) {
            chunk = 1u << 30;
        }
        auto wrote = write(fd, data + done, static_cast<unsigned>(chunk));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

#ifndef _WIN32
// Flushes the folder that holds path to the disk, so that a rename in it survives a power cut.
void SyncFolderOf(const char* path) {
    const std::string target = path;
    const std::string directory = target.substr(0, target.find_last_of('/') + 1);
    int dirFd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}
#endif

// Null section, key or path give an empty answer; so does running out of memory.
uint32_t IniReadString(const char* section, const char* key, const char* defaultValue, char* buffer,
                       uint32_t size, const char* path) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (section == nullptr || key == nullptr || path == nullptr) {
        buffer[0] = 0;
        return 0;
    }
    try {
        return ReadString(section, key, defaultValue != nullptr ? defaultValue : "", buffer, size, path);
    } catch (...) {
        buffer[0] = 0;
        return 0;
    }
}

// Nonzero also when the key already had that value; 0 leaves the file as it was.
int IniWriteString(const char* section, const char* key, const char* value, const char* path) {
    if (section == nullptr || key == nullptr || value == nullptr || path == nullptr) {
        return 0;
    }
    try {
        return WriteString(section, key, value, path);
    } catch (...) {
        return 0;
    }
}
