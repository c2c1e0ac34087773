// Holds the portable INI reader and writer (IniReadString, IniWriteString) against the system's own
// GetPrivateProfileStringA and WritePrivateProfileStringA in code page 932: the same reads must give
// the same count and the same bytes in the whole buffer, and the same writes on two copies of a
// file must leave byte-identical files. Hand-written files cover the known corners; generated files
// (fixed seeds) cover their combinations.
//
// One difference is expected and checked as such: when a read is cut inside a two-byte character,
// the system function reports size - 1 bytes but leaves the byte at size - 2 as the buffer had it;
// ours ends the copy before that character and reports the bytes it copied.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/IniFile.h"

namespace {

std::string Printable(const std::string& bytes, size_t limit = 400) {
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (bytes.size() > limit) {
        out += "...";
    }
    return out;
}

// Reads section/key both ways with buffers of the given size and requires the same answer.
void ExpectSameRead(const std::string& path, const std::string& section, const std::string& key,
                    const char* defaultValue, uint32_t size, const std::string& context) {
    const size_t guard = 8;
    std::string wineA(size + guard, '\xCC');
    std::string wineB(size + guard, '\x33');
    std::string ours(size + guard, '\xCC');
    DWORD wineCount =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue, &wineA[0], size, path.c_str());
    GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue, &wineB[0], size, path.c_str());
    uint32_t ourCount =
        IniReadString(section.c_str(), key.c_str(), defaultValue, &ours[0], size, path.c_str());
    std::string what = context + " [" + Printable(section) + "] " + Printable(key) + " default " +
                       (defaultValue ? Printable(defaultValue) : "null") + " size " + std::to_string(size);
    // The system function left the byte before its terminator alone: a cut two-byte character.
    const bool cutCharacter = size >= 2 && wineCount == size - 1 && wineA[size - 2] != wineB[size - 2];
    if (!cutCharacter) {
        EXPECT_EQ(ourCount, wineCount) << what;
        EXPECT_EQ(Printable(ours, 1000), Printable(wineA, 1000)) << what;
        return;
    }
    EXPECT_EQ(ourCount, size - 2) << what;
    EXPECT_EQ(Printable(ours.substr(0, size - 2)), Printable(wineA.substr(0, size - 2))) << what;
    EXPECT_EQ(ours[size - 2], '\0') << what;
    EXPECT_EQ(Printable(ours.substr(size)), Printable(wineA.substr(size))) << what;
}

// Applies one write to each copy and requires the same outcome and byte-identical files.
bool ExpectSameWrite(const std::string& winePath, const std::string& ourPath, const std::string& section,
                     const std::string& key, const std::string& value, const std::string& context) {
    BOOL wine = WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), winePath.c_str());
    int ours = IniWriteString(section.c_str(), key.c_str(), value.c_str(), ourPath.c_str());
    std::string what =
        context + " write [" + Printable(section) + "] " + Printable(key) + "=" + Printable(value);
    EXPECT_EQ(ours != 0, wine != FALSE) << what;
    std::string wineFile = FileExists(winePath) ? ReadFileBytes(winePath) : "<missing>";
    std::string ourFile = FileExists(ourPath) ? ReadFileBytes(ourPath) : "<missing>";
    EXPECT_EQ(Printable(ourFile, 100000), Printable(wineFile, 100000)) << what;
    return ourFile == wineFile;
}

// Code page 932 characters that survive the system's decoding and encoding unchanged, and the
// subset whose trail byte looks like ASCII that matters to the parser ('[', '\', ']', letters).
struct CharPool {
    std::vector<std::string> all;
    std::vector<std::string> tricky;
};

CharPool BuildCharPool() {
    CharPool pool;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) {
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            WCHAR wide[2];
            if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, 2, wide, 2) != 1) {
                continue;
            }
            char back[4];
            BOOL usedDefault = FALSE;
            if (WideCharToMultiByte(932, 0, wide, 1, back, sizeof back, nullptr, &usedDefault) != 2 ||
                usedDefault || back[0] != in[0] || back[1] != in[1]) {
                continue;
            }
            pool.all.emplace_back(in, 2);
            if (trail == '[' || trail == '\\' || trail == ']' || trail == '@' ||
                (trail >= 'A' && trail <= 'Z') || (trail >= 'a' && trail <= 'z')) {
                pool.tricky.emplace_back(in, 2);
            }
        }
    }
    return pool;
}

const CharPool& Pool() {
    static const CharPool pool = BuildCharPool();
    return pool;
}

class IniFileDiff : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GetACP(), 932u) << "the comparison needs the Japanese code page"; }
    TempDir dir;
};

// ---------------------------------------------------------------------------------------------
// Hand-written files: every read is asked with several buffer sizes and defaults.

struct ReadCase {
    const char* label;
    std::string content;  // "<dir>" makes a directory, "<none>" no file at all
    std::vector<std::pair<std::string, std::string>> keys;
};

void RunReadCases(const TempDir& dir, const std::vector<ReadCase>& cases) {
    const char* defaults[] = {"", "DEF", "  lead\t ", "\"quoted\"", "'", " ", "   ", nullptr};
    const uint32_t sizes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 64, 260};
    int index = 0;
    for (const ReadCase& c : cases) {
        std::string path = dir.File("read" + std::to_string(index++) + ".ini");
        if (c.content == "<dir>") {
            CreateDirectoryA(path.c_str(), nullptr);
        } else if (c.content != "<none>") {
            ASSERT_TRUE(WriteFileBytes(path, c.content));
        }
        for (const auto& sectionKey : c.keys) {
            for (const char* defaultValue : defaults) {
                ExpectSameRead(path, sectionKey.first, sectionKey.second, defaultValue, 64, c.label);
            }
            for (uint32_t size : sizes) {
                ExpectSameRead(path, sectionKey.first, sectionKey.second, "DEF", size, c.label);
            }
        }
    }
}

TEST_F(IniFileDiff, NamesBlanksLineEndsAndMarksReadAlike) {
    const std::string file =
        "[Sec]\r\nKey=Value\r\n  spaced  =   v  al  \r\nempty=\r\nnoeq\r\n;comment=1\r\n\r\n"
        "[sec]\r\ndup=second\r\nKey=dup2\r\n"
        "[ Spaced Sec ]  trailing\r\nk=1\r\nk=2\r\nK=3\r\n"
        "[]\r\ne=1\r\n"
        "[s] junk ] more\r\na=1\r\n[u\r\nb=2\r\n";
    std::vector<ReadCase> cases = {
        {"names", file, {{"Sec", "Key"},     {"SEC", "KEY"},      {" sec\t", " key "},   {"SEC", "spaced"},
                         {"SEC", "empty"},   {"SEC", "noeq"},     {"SEC", ";comment"},   {"SEC", "dup"},
                         {"SEC", "missing"}, {"Spaced Sec", "k"}, {" spaced sec ", "K"}, {"", "e"},
                         {"  ", "e"},        {"s", "a"},          {"s] junk", "a"},      {"s] junk", "b"},
                         {"s] junk", "[u"},  {"s", "b"},          {"nosection", "Key"},  {"Sec", ""},
                         {"Sec", "  "}}},
        {"lines before any header",
         "top=1\r\n=x\r\n[s]\r\ntop=2\r\n",
         {{"", "top"}, {" ", "top"}, {"", ""}, {"s", "top"}}},
        {"nameless keys", "[s]\r\n=1\r\n=2\r\nk\r\nk=3\r\n", {{"s", ""}, {"s", " "}, {"s", "k"}}},
        {"key before value-less duplicate", "[s]\r\nk=1\r\nk\r\n", {{"s", "k"}}},
        {"blanks",
         std::string("[s]\r\nk=\x0b\x0cv\x1a\t \r\n\x1a k2 \x0b=x\r\nk3=\x01y\x01\r\n"),
         {{"s", "k"}, {"s", "k2"}, {"s", "k3"}}},
        {"missing file", "<none>", {{"s", "k"}}},
        {"path is a directory", "<dir>", {{"s", "k"}}},
        {"empty file", "", {{"s", "k"}, {"", "k"}}},
        {"only blanks", " \r\n\t\r\n\x1a", {{"s", "k"}, {"", "k"}}},
        {"LF", "[s]\na=1\nb=2\n", {{"s", "a"}, {"s", "b"}}},
        {"CR", "[s]\ra=1\rb=2\r", {{"s", "a"}, {"s", "b"}}},
        {"mixed", "[s]\r\r\n\n\ra=1\n\r\nb=2", {{"s", "a"}, {"s", "b"}}},
        {"no final line end", "[s]\r\na=1", {{"s", "a"}}},
        {"zero bytes",
         std::string("[s]\r\na=ab\0cd\r\nk\0x=2\r\n\0abc=3\r\n=4\r\n", 33),
         {{"s", "a"}, {"s", "k"}, {"s", ""}, {"s", "abc"}}},
        {"zero in a header", std::string("[t\0u]\r\na=1\r\n", 12), {{"t", "a"}, {"t\x01u", "a"}}},
        {"UTF-8 mark", "\xEF\xBB\xBF[s]\r\na=1\r\n", {{"s", "a"}}},
        {"UTF-8 mark only", "\xEF\xBB\xBF", {{"s", "a"}}},
    };
    RunReadCases(dir, cases);
    // A file in a directory that does not exist.
    ExpectSameRead(dir.File("nodir\\x.ini"), "s", "k", "\"q\"", 64, "missing directory");
    ExpectSameRead(dir.File("nodir\\x.ini"), "s", "k", "DEF  ", 64, "missing directory");
}

TEST_F(IniFileDiff, QuotesEmptyAndLongValuesReadAlike) {
    std::string longValue(300, 'x');
    longValue[0] = 'A';
    longValue[299] = 'Z';
    // clang-format off
    std::vector<ReadCase> cases = {
        {"quotes",
         "[s]\r\nq=\"quoted\"\r\nq2='x'\r\nq3=\"\r\nq4=\"abc\r\nq5=\"\"\r\nq6=\"a'\r\nq7= \" x \" \r\n"
         "q8='''\r\nq9=\"\"\"\r\n",
         {{"s", "q"}, {"s", "q2"}, {"s", "q3"}, {"s", "q4"}, {"s", "q5"}, {"s", "q6"}, {"s", "q7"},
          {"s", "q8"}, {"s", "q9"}}},
        {"long",
         "[s]\r\nlong=" + longValue + "\r\nquoted=\"" + longValue + "\"\r\n",
         {{"s", "long"}, {"s", "quoted"}}},
    };
    // clang-format on
    RunReadCases(dir, cases);
    std::string path = dir.File("long.ini");
    ASSERT_TRUE(
        WriteFileBytes(path, "[s]\r\nlong=" + longValue + "\r\nq=\"" + longValue.substr(0, 100) + "\"\r\n"));
    for (uint32_t size = 95; size <= 305; ++size) {
        ExpectSameRead(path, "s", "long", "", size, "long value");
        ExpectSameRead(path, "s", "q", "", size, "long quoted value");
    }
}

TEST_F(IniFileDiff, CodePage932NamesAndValuesReadAlike) {
    // 0x95 0x5C and 0x83 0x5C end in '\'; 0x81 0x5B ends in '['; 0x81 0x5D in ']'; 0x83 0x41 in 'A'.
    const std::string hyou = "\x95\x5C", so = "\x83\x5C", choon = "\x81\x5B", dash = "\x81\x5D",
                      a = "\x83\x41";
    const std::string ideoSpace = "\x81\x40";
    const std::string path = "C:\\Program Files\\" + hyou + "\\" + so + "\x83\x74\x83\x67.exe";
    // clang-format off
    std::vector<ReadCase> cases = {
        {"trail bytes",
         "[s" + dash + "\r\na=1\r\n[t]\r\nb=2\r\n[" + choon + "]\r\nc=3\r\n" + choon + "[x]\r\nd=4\r\n[" +
             hyou + so + "]\r\n" + hyou + "=" + path + "\r\n" + a + "=lower\r\n",
         {{"s" + dash, "a"}, {"s", "a"}, {"", "a"}, {"t", "b"}, {choon, "c"}, {"x", "d"}, {choon, "d"},
          {hyou + so, hyou}, {hyou + so, "\x95"}, {hyou + so, a}, {hyou + so, "\x83\x61"}}},
        {"values",
         "[ITEM0]\r\nTEXT=" + ideoSpace + "\x83\x81\x83\x82\x92\xA0" + ideoSpace + "\r\nICON=" + path +
             "\r\nQ=\"" + hyou + hyou + "\"\r\nH=\xB1\xB2\xB3\xDF\r\n",
         {{"ITEM0", "TEXT"}, {"ITEM0", "ICON"}, {"ITEM0", "Q"}, {"ITEM0", "H"}}},
        {"full-width, Greek and Cyrillic letters keep their case",
         "[\x82\x60]\r\na=1\r\n[\x83\x9F]\r\nb=2\r\n[\x84\x40]\r\nc=3\r\n",
         {{"\x82\x81", "a"}, {"\x82\x60", "a"}, {"\x83\xBF", "b"}, {"\x84\x70", "c"}}},
    };
    // clang-format on
    RunReadCases(dir, cases);
    // Cuts at every length of a mixed value, with and without quotes.
    std::string mixed = "a" + hyou + hyou + "b" + so + choon + "\xB1" + dash;
    std::string file = dir.File("cut.ini");
    ASSERT_TRUE(
        WriteFileBytes(file, "[s]\r\nm=" + mixed + "\r\nq=\"" + mixed + "\"\r\nr='" + hyou + "'\r\n"));
    for (uint32_t size = 1; size <= 20; ++size) {
        ExpectSameRead(file, "s", "m", "", size, "cut");
        ExpectSameRead(file, "s", "q", "", size, "cut quoted");
        ExpectSameRead(file, "s", "r", "", size, "cut quoted");
        ExpectSameRead(file, "s", "none", mixed.c_str(), size, "cut default");
    }
}

// ---------------------------------------------------------------------------------------------
// Writes: the same sequence on two copies, compared after every step, then read back.

struct WriteCase {
    const char* label;
    std::string content;                           // "<none>": the file does not exist yet
    std::vector<std::vector<std::string>> writes;  // section, key, value
};

void RunWriteCases(const TempDir& dir, const std::vector<WriteCase>& cases) {
    int index = 0;
    for (const WriteCase& c : cases) {
        std::string winePath = dir.File("w" + std::to_string(index) + "-wine.ini");
        std::string ourPath = dir.File("w" + std::to_string(index) + "-ours.ini");
        ++index;
        if (c.content != "<none>") {
            ASSERT_TRUE(WriteFileBytes(winePath, c.content));
            ASSERT_TRUE(WriteFileBytes(ourPath, c.content));
        }
        for (const auto& w : c.writes) {
            if (!ExpectSameWrite(winePath, ourPath, w[0], w[1], w[2], c.label)) {
                break;
            }
        }
        for (const auto& w : c.writes) {
            ExpectSameRead(winePath, w[0], w[1], "DEF", 260, std::string(c.label) + " read back");
            ExpectSameRead(ourPath, w[0], w[1], "DEF", 260, std::string(c.label) + " read back ours");
        }
    }
}

TEST_F(IniFileDiff, WritesLeaveIdenticalFiles) {
    const std::string hyou = "\x95\x5C", choon = "\x81\x5B";
    // clang-format off
    std::vector<WriteCase> cases = {
        {"same value leaves the file alone", "[s]\na=1\n\n; c\n", {{"s", "a", "1"}, {"S", "A", " \t1"}}},
        {"trailing blank is a change", "[s]\na=1\n\n; c\n", {{"s", "a", "1 "}}},
        {"rewrite normalises",
         "top=1\n\n\n[s]\na = 1 \n\n; c\n\n[t]\r\nx\r\n=e1\r\n=e2\r\n[]\r\ne=3\r\n[ u ] junk\r\nk=v",
         {{"S", "A", "2"}}},
        {"new key goes to the first matching section",
         "[s]\r\na=1\r\n;c\r\n\r\n[t]\r\nb=2\r\n[s]\r\nz=1\r\n",
         {{"s", "new", "v"}, {"S", "z", "2"}}},
        {"new names keep trailing blanks", "[s]\r\na=1\r\n", {{"  New Sec  ", "  New Key  ", "  v  "}}},
        {"missing file is created",
         "<none>",
         {{"CONFIG", "TRIGGER", "0"}, {"CONFIG", "ALPHA", "191"}, {"ITEMS", "NUM", "2"},
          {"config", "alpha", "7"}}},
        {"empty file", "", {{"s", "k", ""}}},
        {"empty value over a value", "[s]\r\na=1\r\n", {{"s", "a", ""}, {"s", "a", "  "}, {"s", "a", "x"}}},
        {"after keys without a header", "a=1\r\n", {{"s", "k", "v"}, {"", "b", "2"}, {" ", "a", "3"}}},
        {"nameless section on a missing file", "<none>", {{"", "b", "2"}, {"s", "c", "3"}}},
        {"line breaks inside a value", "[s]\r\na=1\r\n", {{"s", "a", "x\r\ny=2"}, {"s", "y", "3"}}},
        {"zero bytes are cut", std::string("[s]\r\na=1\0junk\r\nk\0x=1\r\n", 22), {{"s", "b", "2"}}},
        {"key without '='", "[s]\r\nnoeq\r\n", {{"s", "noeq", "v"}}},
        {"'=' inside a new key", "[s]\r\na=1\r\n", {{"s", "k=x", "v"}, {"s", "k", "w"}}},
        {"UTF-8 mark kept", "\xEF\xBB\xBF[s]\r\na=1\r\n", {{"s", "b", "2"}}},
        {"no final line end", "[s]\r\na=1", {{"s", "b", "2"}}},
        {"quoted value unchanged", "[s]\r\na=\"1\"\r\n", {{"s", "a", "\"1\""}, {"s", "a", "1"}}},
        {"control-Z line dropped", "[s]\r\n\x1a\r\na=1\r\n", {{"s", "b", "2"}}},
        {"nameless key", "[s]\r\na=1\r\n", {{"s", " ", "v"}, {"s", "", "w"}}},
        {"nameless headers", "[]\r\na=1\r\n[]\r\nb=2\r\n", {{"", "c", "3"}, {" ", "a", "9"}, {"", "b", "8"}}},
        {"code page 932 names and values",
         "[s]\r\n",
         {{"\x83\x41", "k", "v"}, {"\x83\x61", "k", "w"}, {"\x83\x41", "\x83\x41", hyou},
          {"s", "ICON", "C:\\" + hyou + "\\" + choon + ".exe"}, {hyou + choon, "\x81\x5D", "[x]"},
          {"s", "TEXT", "\x81\x40\x83\x81\x83\x82\x81\x40"}}},
    };
    // clang-format on
    RunWriteCases(dir, cases);
}

TEST_F(IniFileDiff, FailedWritesAgree) {
    // A directory in place of the file, and a directory that does not exist.
    std::string asDirectory = dir.File("isdir.ini");
    CreateDirectoryA(asDirectory.c_str(), nullptr);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", asDirectory.c_str()));
    EXPECT_EQ(IniWriteString("s", "k", "v", asDirectory.c_str()), 0);
    EXPECT_TRUE(GetFileAttributesA(asDirectory.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    std::string noDirectory = dir.File("nodir\\x.ini");
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", noDirectory.c_str()));
    EXPECT_EQ(IniWriteString("s", "k", "v", noDirectory.c_str()), 0);
    // A read-only file is refused and keeps its content. (Wine run by root writes it anyway, so
    // only our side is checked; Windows refuses such a file.)
    std::string ours = dir.File("ro-ours.ini");
    ASSERT_TRUE(WriteFileBytes(ours, "[s]\r\nk=1\r\n"));
    SetFileAttributesA(ours.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(IniWriteString("s", "k", "2", ours.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(ours), "[s]\r\nk=1\r\n");
}

// The writes the program makes when it saves: items, their count, eight pages, the palette, and
// the advanced settings, first into no file and then over the file a longer save left.
TEST_F(IniFileDiff, ProgramSaveSequenceLeavesIdenticalFiles) {
    std::string winePath = dir.File("setting-wine.ini"), ourPath = dir.File("setting-ours.ini");
    auto save = [&](int items, uint32_t salt) {
        bool same = true;
        auto put = [&](const std::string& s, const std::string& k, const std::string& v) {
            same = same && ExpectSameWrite(winePath, ourPath, s, k, v, "save " + std::to_string(items));
        };
        for (int n = 0; n < items && same; ++n) {
            std::string section = "ITEM" + std::to_string(n);
            put(section, "ID", std::to_string(n + salt));
            put(section, "ICON", n % 2 ? "icons\\close.ico" : "C:\\Program Files\\\x95\x5C\x8E\xA6\\app.exe");
            put(section, "TEXT",
                n % 3 ? "\x83\x81\x83\x82\x92\xA0\x81\x40\x83\x5C\x83\x74\x83\x67" : "Close");
            put(section, "TYPE", n % 2 ? "1" : "2");
            if (n % 2) {
                put(section, "EVENT", std::to_string(n % 9 + 1));
            } else {
                put(section, "SCPATH", "C:\\Windows\\notepad.exe");
                put(section, "SCARG", n % 4 ? "" : "\"C:\\a b\\c.txt\"");
                put(section, "SCDIR", "");
                put(section, "SCSHOW", "5");
            }
        }
        put("ITEMS", "NUM", std::to_string(items));
        for (int p = 0; p < 8 && same; ++p) {
            for (int s = 0; s < 8; ++s) {
                put("PAGE" + std::to_string(p), "ITEM" + std::to_string(s),
                    std::to_string((p * 8 + s + salt) % 7));
            }
        }
        for (int c = 0; c < 240 && same; ++c) {
            put("PALETTE", "ITEM" + std::to_string(c), std::to_string((c + salt) % 5));
        }
        put("CONFIG", "TRIGGER", std::to_string(salt % 3));
        put("CONFIG", "SENDWHEEL", "1");
        put("CONFIG", "ALPHA", std::to_string(salt % 256));
        return same;
    };
    ASSERT_TRUE(save(5, 1));
    ASSERT_TRUE(save(3, 2));  // stale ITEM3 and ITEM4 stay behind
    const char* keys[][2] = {{"ITEMS", "NUM"},       {"ITEM4", "SCPATH"}, {"ITEM1", "TEXT"},
                             {"PALETTE", "ITEM239"}, {"CONFIG", "ALPHA"}, {"PAGE7", "ITEM7"}};
    for (const auto& k : keys) {
        ExpectSameRead(ourPath, k[0], k[1], "", 260, "after saves");
    }
}

// ---------------------------------------------------------------------------------------------
// Generated files (fixed seeds): lines made of the characters that trouble a parser.

struct Random {
    std::mt19937 engine;
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(engine() % n); }
    bool Percent(uint32_t p) { return Below(100) < p; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) {
        return items[Below(static_cast<uint32_t>(items.size()))];
    }
};

std::string WithoutBreaks(std::string s) {
    std::string out;
    for (char c : s) {
        if (c != '\r' && c != '\n' && c != '\0') {
            out += c;
        }
    }
    return out;
}

// One piece of text, by a roll of 100: a letter, digit or dot (30), a blank (10), markup (12), a
// line break (8), a zero byte (2), a two-byte character with an ASCII-like trail (10) or any (10),
// a byte that stands alone (18).
std::string RandomUnit(Random& r) {
    static const std::vector<std::string> breaks = {"\r\n", "\n", "\r", "\r\r\n", "\n\n"};
    const auto one = [&r](const std::string& set) {
        return std::string(1, set[r.Below(static_cast<uint32_t>(set.size()))]);
    };
    const uint32_t roll = r.Below(100);
    return roll < 30   ? one("abcXYZ019_.")
           : roll < 40 ? one(" \t\x0b\x0c\x1a")
           : roll < 52 ? one("[]=;\"'")
           : roll < 60 ? r.Pick(breaks)
           : roll < 62 ? std::string(1, '\0')
           : roll < 72 ? r.Pick(Pool().tricky)
           : roll < 82 ? r.Pick(Pool().all)
                       : one("\xA1\xB1\xCC\xDF\x80\xA0\xFD\xFE\xFF\x7F");
}

// Up to max units (chosen at random), without line breaks and zero bytes when oneLine.
std::string RandomUnits(Random& r, uint32_t max, bool oneLine) {
    std::string text;
    for (uint32_t i = r.Below(max + 1); i > 0; --i) {
        text += RandomUnit(r);
    }
    return oneLine ? WithoutBreaks(text) : text;
}

std::string RandomName(Random& r) {
    static const std::vector<std::string> known = {
        "CONFIG", "ITEM0", "ITEMS", "PAGE1", "a", "\x95\x5C", "\x83\x5C\x81\x5B", "X\x81\x5D", ""};
    std::string name;
    if (r.Percent(70)) {
        name = r.Pick(known);
    } else {
        name = RandomUnits(r, 4, true);
    }
    bool ascii = true;
    for (char c : name) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii && r.Percent(30)) {
        for (char& c : name) {
            if (((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && r.Percent(50)) {
                c = static_cast<char>(c ^ 0x20);
            }
        }
    }
    static const std::vector<std::string> pads = {" ", "\t", "  "};
    if (r.Percent(20))
        name = r.Pick(pads) + name;
    if (r.Percent(20))
        name += r.Pick(pads);
    return name;
}

std::string RandomValue(Random& r) {
    if (r.Percent(30)) {
        return std::to_string(r.Below(5000));
    }
    std::string value = RandomUnits(r, 20, true);
    if (r.Percent(20)) {
        std::string quote = r.Percent(50) ? "\"" : "'";
        value = quote + value + quote;
    }
    if (r.Percent(10)) {
        value += "\r\nINJ=1";
    }
    return value;
}

std::string RandomLine(Random& r) {
    static const std::vector<std::string> equals = {"=", " = ", "\t="};
    static const std::vector<std::string> after = {"", " junk", "]x"};
    uint32_t roll = r.Below(100);
    if (roll < 20) {
        return "[" + RandomName(r) + "]" + (r.Percent(20) ? r.Pick(after) : "");
    }
    if (roll < 80) {
        return RandomName(r) + r.Pick(equals) + RandomValue(r);
    }
    return RandomUnits(r, 10, false);
}

// ASCII only after a UTF-8 mark: the system function converts such a file's text, we do not.
std::string AsciiOnly(std::string s) {
    for (char& c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            c = 'A';
        }
    }
    return s;
}

std::string RandomFile(Random& r, bool* utf8Mark) {
    static const std::vector<std::string> breaks = {"\r\n", "\n", "\r"};
    const std::string& lineEnd = r.Pick(breaks);
    std::string content;
    for (uint32_t i = r.Below(31); i > 0; --i) {
        content += RandomLine(r);
        if (i > 1 || r.Percent(50)) {
            content += lineEnd;
        }
    }
    *utf8Mark = r.Percent(8);
    if (*utf8Mark) {
        return "\xEF\xBB\xBF" + AsciiOnly(content);
    }
    if (content.size() >= 2 &&
        (content.compare(0, 2, "\xFF\xFE") == 0 || content.compare(0, 2, "\xFE\xFF") == 0)) {
        content = "x" + content;  // a UTF-16 mark, which we do not read
    }
    return content;
}

TEST_F(IniFileDiff, GeneratedFilesReadAndWriteAlike) {
    const uint32_t sizes[] = {1, 2, 3, 4, 5, 8, 16, 64, 128, 260};
    const std::vector<std::string> defaults = {"", "D", "\"d\"", "d  "};
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        Random r{std::mt19937(seed)};
        for (int n = 0; n < 80; ++n) {
            std::string label = "seed " + std::to_string(seed) + " file " + std::to_string(n);
            std::string winePath =
                dir.File("g" + std::to_string(seed) + "-" + std::to_string(n) + "-wine.ini");
            std::string ourPath =
                dir.File("g" + std::to_string(seed) + "-" + std::to_string(n) + "-ours.ini");
            bool utf8Mark = false;
            std::string content;
            if (r.Percent(95)) {
                content = RandomFile(r, &utf8Mark);
                ASSERT_TRUE(WriteFileBytes(winePath, content));
                ASSERT_TRUE(WriteFileBytes(ourPath, content));
            }
            label += " content " + Printable(content, 300);
            bool same = true;
            for (uint32_t op = 1 + r.Below(12); op > 0 && same; --op) {
                std::string section = RandomName(r), key = RandomName(r);
                if (r.Percent(70)) {
                    uint32_t size = sizes[r.Below(10)];
                    ExpectSameRead(winePath, section, key, r.Pick(defaults).c_str(), size, label);
                } else {
                    std::string value = RandomValue(r);
                    if (utf8Mark) {
                        section = AsciiOnly(section);
                        key = AsciiOnly(key);
                        value = AsciiOnly(value);
                    }
                    same = ExpectSameWrite(winePath, ourPath, section, key, value, label);
                }
            }
            for (int k = 0; k < 3 && same; ++k) {
                ExpectSameRead(winePath, RandomName(r), RandomName(r), "D", 260, label);
            }
        }
    }
}

TEST_F(IniFileDiff, MegabyteFileReadsAndWritesAlike) {
    Random r{std::mt19937(99)};
    std::string content;
    for (int n = 0; content.size() < (1u << 20); ++n) {
        content += "[ITEM" + std::to_string(n) + "]\r\nID=" + std::to_string(n) +
                   "\r\nTEXT=" + WithoutBreaks(RandomValue(r)) + "\n" + RandomLine(r) + "\r\n";
    }
    content += "[CONFIG]\r\nALPHA=191";
    std::string winePath = dir.File("big-wine.ini"), ourPath = dir.File("big-ours.ini");
    ASSERT_TRUE(WriteFileBytes(winePath, content));
    ASSERT_TRUE(WriteFileBytes(ourPath, content));
    for (const char* key : {"ID", "TEXT", "NONE"}) {
        for (const char* section : {"ITEM0", "ITEM1000", "ITEM9999", "item5000"}) {
            ExpectSameRead(winePath, section, key, "", 128, "megabyte");
        }
    }
    ExpectSameRead(winePath, "CONFIG", "ALPHA", "", 128, "megabyte");
    ASSERT_TRUE(ExpectSameWrite(winePath, ourPath, "CONFIG", "ALPHA", "200", "megabyte"));
    ASSERT_TRUE(ExpectSameWrite(winePath, ourPath, "ITEM7", "NEW", "x", "megabyte"));
    ExpectSameRead(ourPath, "ITEM7", "NEW", "", 128, "megabyte");
}

}  // namespace
