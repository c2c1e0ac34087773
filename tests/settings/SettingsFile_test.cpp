// Access to "setting.ini": numbers read strictly from a real file, numbers and texts written in an
// update and read back, files that are garbage, empty or a megabyte long, the settings path beside
// the executable, and the anchoring of relative paths. The same source runs natively and under
// Wine (the system's file and path calls).

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/Platform.h"
#include "settings/SettingsFile.h"

namespace {

namespace fs = std::filesystem;

void EnterDirectory(const std::string& path) {
    if (!EnterDir(path)) {
        ADD_FAILURE() << "cannot enter " << path;
    }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(path, bytes)) << path;
}

constexpr uint32_t kUntouched = 0xA5A5A5A5u;

IniDocument Read(const std::string& path) {
    IniDocument settings;
    ReadSettingsFile(path, &settings);
    return settings;
}

TEST(ReadSettingUInt, ConvertsWholeNumbersInEveryBase) {
    TempDir dir;
    std::string path = dir.File("setting.ini");
    WriteBytes(path,
               "[N]\r\nHEX=0x1F\r\nHEXUP=0X1f\r\nOCT=017\r\nNEG=-1\r\nMAX=4294967295\r\nPLUS=+7\r\nZERO=0\r\n"
               "SPACED=   42   \r\nTAB=\t42\t\r\nQUOTED=\" 42\"\r\nNEGMAX=-4294967295\r\nLONG=" +
                   std::string(126, '0') + "12\r\n");
    const struct {
        const char* key;
        uint32_t value;
    } cases[] = {{"HEX", 31},   {"HEXUP", 31}, {"OCT", 15},    {"NEG", 4294967295u}, {"MAX", 4294967295u},
                 {"PLUS", 7},   {"ZERO", 0},   {"SPACED", 42}, {"TAB", 42},          {"QUOTED", 42},
                 {"NEGMAX", 1}, {"LONG", 1}};  // LONG: only 127 characters arrive, "000...01"
    for (const auto& c : cases) {
        uint32_t value = kUntouched;
        EXPECT_EQ(ReadSettingUInt(Read(path), "N", c.key, &value), 0) << c.key;
        EXPECT_EQ(value, c.value) << c.key;
    }
}

TEST(ReadSettingUInt, RejectsAnythingButOneWholeNumberAndKeepsTheDestination) {
    TempDir dir;
    std::string path = dir.File("setting.ini");
    WriteBytes(path,
               "[N]\r\nEIGHT=08\r\nALNUM=12abc\r\nFRACTION=1.5\r\nOVER=4294967296\r\nNEGOVER=-4294967296\r\n"
               "HEXOVER=0x100000000\r\nEMPTY=\r\nQUOTEDTRAIL=\"42 \"\r\nSIGN=-\r\nHEXPREFIX=0x\r\nTWO=4 2\r\n"
               "NOEQUALS\r\nHUGE=1" +
                   std::string(200, '0') + "\r\n");
    const char* keys[] = {"EIGHT",       "ALNUM", "FRACTION",  "OVER", "NEGOVER",  "HEXOVER", "EMPTY",
                          "QUOTEDTRAIL", "SIGN",  "HEXPREFIX", "TWO",  "NOEQUALS", "HUGE",    "MISSING"};
    for (const char* key : keys) {
        uint32_t value = kUntouched;
        EXPECT_EQ(ReadSettingUInt(Read(path), "N", key, &value), -1) << key;
        EXPECT_EQ(value, kUntouched) << key;
    }
    uint32_t value = kUntouched;
    EXPECT_EQ(ReadSettingUInt(Read(path), "NOSECTION", "EIGHT", &value), -1);
    EXPECT_EQ(ReadSettingUInt(Read(dir.File("missing.ini")), "N", "EIGHT", &value), -1);
    EXPECT_EQ(value, kUntouched);
}

TEST(WriteSettingUInt, WritesPlainDecimalThatReadsBack) {
    TempDir dir;
    std::string path = dir.File("setting.ini");
    auto write = [](const char* key, uint32_t value) {
        return [=](IniDocument* settings) { return WriteSettingUInt(settings, "CONFIG", key, value) == 0; };
    };
    EXPECT_TRUE(UpdateSettingsFile(path, write("ALPHA", 0)));
    EXPECT_TRUE(UpdateSettingsFile(path, write("MAX", 4294967295u)));
    EXPECT_EQ(ReadFileBytes(path), "[CONFIG]\r\nALPHA=0\r\nMAX=4294967295\r\n");
    uint32_t value = kUntouched;
    EXPECT_EQ(ReadSettingUInt(Read(path), "CONFIG", "ALPHA", &value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ReadSettingUInt(Read(path), "CONFIG", "MAX", &value), 0);
    EXPECT_EQ(value, 4294967295u);
    // Overwriting keeps the key in its place, and no copy is left beside the file.
    EXPECT_TRUE(UpdateSettingsFile(path, write("ALPHA", 191)));
    EXPECT_EQ(ReadFileBytes(path), "[CONFIG]\r\nALPHA=191\r\nMAX=4294967295\r\n");
    EXPECT_FALSE(fs::exists(dir.File("setting.tmp")));
    // An update that cannot happen, or whose edit fails, is reported and changes nothing.
    std::string nowhere = dir.File("missing") + kSep + "setting.ini";
    EXPECT_FALSE(UpdateSettingsFile(nowhere, write("ALPHA", 1)));
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_FALSE(UpdateSettingsFile(path, [](IniDocument* settings) {
        return WriteSettingUInt(settings, "CONFIG", "ALPHA", 5) == 0 && false;
    }));
    EXPECT_EQ(ReadFileBytes(path), "[CONFIG]\r\nALPHA=191\r\nMAX=4294967295\r\n");
}

// Text comes back exactly as written. Only values that the read would change (blanks at an end,
// like quotes around all of it) are written inside an extra pair of quotes; the rest keep the form
// that files written before have.
TEST(WriteSettingText, EveryValueReadsBackAsWrittenAndOnlyChangedOnesAreQuoted) {
    TempDir dir;
    const std::string path = dir.File("setting.ini");
    // The first ten would change when read, the others not.
    std::vector<std::string> values = {"\"C:\\Program Files\\a b\\c.txt\"", "'x y'", "\"\"", "''", " lead"};
    values.insert(values.end(),
                  {"trail ", "\tboth\x1A", " ", "\" \"\"", "\"\x95\x5C\"", "\"", "'", "\"a", "a\""});
    values.insert(values.end(), {"\"a'", "a \"b\" c", "\x95\x5C", ""});
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string key = "K" + std::to_string(i);
        const std::string& value = values[i];
        ASSERT_TRUE(UpdateSettingsFile(path, [&](IniDocument* settings) {
            return WriteSettingText(settings, "S", key.c_str(), value.c_str());
        }));
        char text[64] = {};
        IniGetString(Read(path), "S", key.c_str(), "<absent>", text, sizeof text);
        EXPECT_EQ(text, value) << i;
        const std::string line = key + "=" + (i < 10 ? "\"" + value + "\"" : value) + "\r\n";
        EXPECT_NE(ReadFileBytes(path).find(line), std::string::npos) << i;
    }
}

// A file another program holds is tried again after 10 ms, then at doubling waits up to 200 ms,
// until the budget is spent exactly; a late or huge try count gives up or stays at the ceiling.
TEST(SettingsUpdate, BusyFileIsTriedAgainAtGrowingWaitsWithinTheBudget) {
    std::vector<uint32_t> waits;
    for (uint32_t attempt = 0, elapsed = 0, wait;
         (wait = BusyRetryDelayMs(attempt, elapsed, 1000)) != 0 && attempt < 99; ++attempt, elapsed += wait) {
        waits.push_back(wait);
    }
    EXPECT_EQ(waits, (std::vector<uint32_t>{10, 20, 40, 80, 160, 200, 200, 200, 90}));  // 1000 in all
    EXPECT_EQ(BusyRetryDelayMs(40, 0, 1000), 200u);
    EXPECT_EQ(BusyRetryDelayMs(0, 4000, 1000), 0u);
}

#ifdef _WIN32
// A settings file that another program holds open for good is left as it was, with no copy
// behind: it cannot be read when nothing is shared, nor replaced when deleting is not shared. One
// that it lets go of within a few hundred milliseconds is updated all the same.
TEST(SettingsUpdate, FileHeldOpenByAnotherProgramIsLeftAsItWasOrUpdatedOnceLetGo) {
    TempDir dir;
    const std::string path = dir.File("setting.ini");
    WriteBytes(path, "[A]\r\nK=1\r\n");
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        for (bool letGo : {false, true}) {
            const std::string before = ReadFileBytes(path);
            HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
            std::thread holder([&] {
                if (letGo) {
                    Sleep(200);  // how long the other program looks at the file
                    CloseHandle(held);
                }
            });
            EXPECT_EQ(UpdateSettingsFile(path,
                                         [share](IniDocument* settings) {
                                             return WriteSettingUInt(settings, "B", "K", share) == 0;
                                         }),
                      letGo)
                << share;
            holder.join();
            if (!letGo) {
                CloseHandle(held);
            }
            EXPECT_FALSE(fs::exists(dir.File("setting.tmp"))) << share;
            EXPECT_EQ(ReadFileBytes(path),
                      letGo ? "[A]\r\nK=1\r\n[B]\r\nK=" + std::to_string(share) + "\r\n" : before)
                << share;
        }
    }
}
#endif

// Whether text is one number as the strict reading accepts it: blanks, one sign, then 0x and hex
// digits, or 0 and octal digits, or decimal digits, and nothing after.
bool LooksLikeOneNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::string digits = "0123456789";
    if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
        i += 2;
        digits = "0123456789abcdefABCDEF";
    } else if (text.compare(i, 1, "0") == 0) {
        digits = "01234567";
    }
    return i < text.size() && text.find_first_not_of(digits, i) == std::string::npos;
}

// Reads every number the program keeps in the file; each either is one strict number or fails and
// leaves the destination alone. Returns how many succeeded.
int ExpectStrictOrFailed(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"CONFIG", "TRIGGER"}, {"CONFIG", "SENDWHEEL"}, {"CONFIG", "ALPHA"}, {"ITEMS", "NUM"}};
    for (int n = 0; n < 8; ++n) {
        for (const char* key : {"ID", "TYPE", "EVENT", "SCSHOW"}) {
            keys.push_back({"ITEM" + std::to_string(n), key});
        }
        for (int s = 0; s < 8; ++s) {
            keys.push_back({"PAGE" + std::to_string(n), "ITEM" + std::to_string(s)});
        }
    }
    for (int c = 0; c < 240; ++c) {
        keys.push_back({"PALETTE", "ITEM" + std::to_string(c)});
    }
    int succeeded = 0;
    const IniDocument settings = Read(path);
    for (const auto& k : keys) {
        uint32_t value = kUntouched;
        int32_t result = ReadSettingUInt(settings, k.first.c_str(), k.second.c_str(), &value);
        if (result == 0) {
            ++succeeded;
            char text[128] = {};
            IniGetString(settings, k.first.c_str(), k.second.c_str(), "", text, sizeof text);
            EXPECT_TRUE(LooksLikeOneNumber(text)) << k.first << "/" << k.second << " = " << text;
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(value, kUntouched) << k.first << "/" << k.second;
        }
    }
    return succeeded;
}

TEST(SettingsFile, GarbageEmptyAndHugeFilesReadStrictlyOrFail) {
    TempDir dir;
    std::string path = dir.File("setting.ini");
    std::mt19937 random(11);
    // Binary garbage with two real lines in it.
    std::string garbage = "x";
    for (int n = 0; n < 50000; ++n) {
        garbage += static_cast<char>(random() & 0xFF);
    }
    garbage.insert(20000, "x\r\n[CONFIG]\r\nALPHA=0x1F\r\n");
    WriteBytes(path, garbage);
    ExpectStrictOrFailed(path);
    uint32_t value = kUntouched;
    EXPECT_EQ(ReadSettingUInt(Read(path), "CONFIG", "ALPHA", &value), 0);
    EXPECT_EQ(value, 31u);
    // Number-like junk in every key the program reads: some must pass, some must fail.
    const std::string alphabet = "0123456789xXabcfABF+- .\t\"";
    std::string junk = "[PALETTE]\r\n";
    for (int c = 0; c < 240; ++c) {
        junk += "ITEM" + std::to_string(c) + "=";
        for (uint32_t length = random() % 6; length > 0; --length) {
            junk += alphabet[random() % alphabet.size()];
        }
        junk += "\r\n";
    }
    WriteBytes(path, junk);
    int succeeded = ExpectStrictOrFailed(path);
    EXPECT_GT(succeeded, 20);
    EXPECT_LT(succeeded, 200);
    // Empty.
    WriteBytes(path, "");
    EXPECT_EQ(ExpectStrictOrFailed(path), 0);
    // A quarter megabyte, with the settings at its end.
    std::string big;
    for (int n = 0; big.size() < (1u << 18); ++n) {
        big += "[JUNK" + std::to_string(n) + "]\r\nITEM0=" + std::to_string(n) + "\r\n";
    }
    big += "[PALETTE]\r\nITEM239=017\r\n[CONFIG]\r\nTRIGGER=2";
    WriteBytes(path, big);
    EXPECT_EQ(ExpectStrictOrFailed(path), 2);
    EXPECT_EQ(ReadSettingUInt(Read(path), "PALETTE", "ITEM239", &value), 0);
    EXPECT_EQ(value, 15u);
}

TEST(GetSettingsPath, IsSettingIniBesideTheExecutable) {
    std::string path;
    ASSERT_EQ(GetSettingsPath(&path), 0);
    EXPECT_EQ(path, ExecutableDir() + "setting.ini");
    std::string directory;
    ASSERT_TRUE(GetExecutableDirectory(&directory));
    EXPECT_EQ(directory, ExecutableDir());
    EXPECT_EQ(GetSettingsPath(nullptr), -1);
    EXPECT_FALSE(GetExecutableDirectory(nullptr));
}

#ifndef _WIN32
// An executable whose path is longer than 260 bytes still finds its settings beside it, never in
// some ancestor directory that a cut path would name. The test runs a copy of itself from there.
TEST(GetSettingsPath, HoldsForAnExecutableWhosePathIsLong) {
    if (getenv("PIVOTEL_DEEP_COPY") != nullptr) {
        std::string path;
        EXPECT_EQ(GetSettingsPath(&path), 0);
        EXPECT_EQ(path, ExecutableDir() + "setting.ini");
        EXPECT_GT(path.size(), 300u);
        return;
    }
    fs::path deep = fs::temp_directory_path() / ("pivotel-deep-" + std::to_string(getpid()));
    const fs::path root = deep;
    while (deep.string().size() < 300) {
        deep /= std::string(40, 'd');
    }
    fs::create_directories(deep);
    const fs::path copy = deep / "settings_file_test";
    fs::copy_file(fs::read_symlink("/proc/self/exe"), copy);
    const std::string command = "PIVOTEL_DEEP_COPY=1 '" + copy.string() +
                                "' --gtest_filter=GetSettingsPath.HoldsForAnExecutableWhosePathIsLong"
                                " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    fs::remove_all(root);
    EXPECT_EQ(status, 0);
}
#endif

// The current directory is the process's, so every case puts it back.
struct CurrentDirectoryGuard {
    std::string saved = CurrentDir();
    ~CurrentDirectoryGuard() { EnterDirectory(saved); }
};

TEST(ResolvePath, AbsolutePathComesBackUnchangedAndLeavesTheCurrentDirectory) {
    TempDir dir;
    CurrentDirectoryGuard guard;  // leaves the directory before it is removed
    EnterDirectory(dir.path);
    const std::string before = CurrentDir();
#ifdef _WIN32
    const char* paths[] = {"C:\\x\\y.exe", "\\\\srv\\share\\y.exe", "\\x\\y.exe"};
#else
    const char* paths[] = {"/x/y", "C:\\x\\y.exe", "\\\\srv\\share\\y.exe"};
#endif
    for (const char* p : paths) {
        std::string resolved;
        ASSERT_EQ(ResolvePath(&resolved, p), 0) << p;
        EXPECT_EQ(resolved, p);
        EXPECT_EQ(CurrentDir(), before) << p;
    }
}

TEST(ResolvePath, RelativePathIsAnchoredAtTheExecutableDirectory) {
    TempDir dir;
    CurrentDirectoryGuard guard;  // leaves the directory before it is removed
    EnterDirectory(dir.path);
    ASSERT_NE(CurrentDir() + kSep, ExecutableDir()) << "the change must be observable";
    // Item paths are code page 932 ("表\y", whose first trail byte is a backslash); the resolved
    // path is the system's, UTF-8.
    const std::string relative = std::string("tools") + kSep + "\x95\x5C" + kSep + "y.exe";
    const std::string utf8 = std::string("tools") + kSep + "\xE8\xA1\xA8" + kSep + "y.exe";
    std::string resolved;
    ASSERT_EQ(ResolvePath(&resolved, relative.c_str()), 0);
    EXPECT_EQ(resolved, ExecutableDir() + utf8);
    // Lasting and process-wide: the executable's directory is now the current one.
    EXPECT_EQ(CurrentDir() + kSep, ExecutableDir());
}

TEST(ResolvePath, NullArgumentsFail) {
    CurrentDirectoryGuard guard;
    std::string resolved;
    EXPECT_EQ(ResolvePath(&resolved, nullptr), -1);
    EXPECT_EQ(ResolvePath(nullptr, "tools\\y.exe"), -1);
    EXPECT_EQ(CurrentDir(), guard.saved);
}

}  // namespace
