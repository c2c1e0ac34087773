// A save interrupted at any of its profile writes leaves the settings file byte for byte as it
// was, natively. The executable is linked with the stand-ins below in place of the platform's
// write (see CMakeLists.txt): it counts the writes and fails the one numbered failingWrite. Flushes
// to the disk, and the one the file system makes when a rename replaces a file, are left out: here
// they cost only time.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "settings/Pages.h"
#include "settings/SettingsFormat.h"

int profileWrites = 0;
int failingWrite = 0;

using WriteProfileString = int(const char*, const char*, const char*, const char*);
extern "C" WriteProfileString __real__Z26PlatformWriteProfileStringPKcS0_S0_S0_;
extern "C" int __wrap__Z26PlatformWriteProfileStringPKcS0_S0_S0_(const char* s, const char* k, const char* v,
                                                                 const char* p) {
    return ++profileWrites == failingWrite ? 0
                                           : __real__Z26PlatformWriteProfileStringPKcS0_S0_S0_(s, k, v, p);
}
extern "C" int __wrap_fsync(int) {
    return 0;
}
extern "C" int __real_rename(const char*, const char*);
extern "C" int __wrap_rename(const char* from, const char* to) {
    unlink(to);
    return __real_rename(from, to);
}

namespace {

// Each write fails in turn: the file is then the old one and no copy is left; with no failure it
// is wholly the new one.
TEST(SaveFaults, EveryInterruptedSaveLeavesTheOldFileWhole) {
    SettingsFileSession session;
    const std::string icon = ExecutableDir() + "i.ico";
    ASSERT_TRUE(WriteIconFile(icon));
    const std::string before =
        "[CONFIG]\r\nALPHA=9\r\n[MINE]\r\nx=1\r\n[ITEMS]\r\nNUM=1\r\n[ITEM0]\r\nID=1\r\nICON=" + icon +
        "\r\nTEXT=Close\r\nTYPE=1\r\nEVENT=1\r\n";
    ASSERT_TRUE(WriteFileBytes(session.path, before));
    ASSERT_EQ(LoadSettings(), 0);
    StorePageSlotId(0, 0, 1);
    StorePaletteCellId(5, 1);

    profileWrites = 0;
    ASSERT_EQ(SaveSettings(), 0);
    const std::string after = ReadFileBytes(session.path);
    const int writes = profileWrites;
    ASSERT_GT(writes, 300);
    for (failingWrite = 1; failingWrite <= writes; ++failingWrite) {
        ASSERT_TRUE(WriteFileBytes(session.path, before));
        profileWrites = 0;
        EXPECT_EQ(SaveSettings(), -1) << failingWrite;
        EXPECT_TRUE(ReadFileBytes(session.path) == before) << failingWrite;
        EXPECT_FALSE(FileExists(ExecutableDir() + "setting.tmp")) << failingWrite;
    }
    failingWrite = 0;
    ASSERT_TRUE(WriteFileBytes(session.path, before));
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_TRUE(ReadFileBytes(session.path) == after);
    RemoveFile(icon);
}

}  // namespace
