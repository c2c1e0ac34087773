// A save that fails at any of its file steps leaves the settings file byte for byte as it was,
// natively, and one that finds the file held by another program for a moment still lands. The
// executable is linked with the stand-ins below in place of the platform's file calls (see
// CMakeLists.txt): the copy's write fails half-way, the copy cannot take the file's place, or the
// file is busy for a number of tries. Flushes to the disk, and the one the file system makes when a rename
// replaces a file, are left out: here they cost only time.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "platform/Platform.h"
#include "settings/Pages.h"
#include "settings/SettingsFormat.h"

enum class FailingStep { None, WriteCopy, Replace };
FailingStep failingStep = FailingStep::None;
int busyTries = 0;  // the replaces still to find the file held

extern "C" FileStep __real__Z17PlatformWriteFilePKcRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    const char*, const std::string&);
extern "C" FileStep __wrap__Z17PlatformWriteFilePKcRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    const char* path, const std::string& content) {
    if (failingStep == FailingStep::WriteCopy) {
        __real__Z17PlatformWriteFilePKcRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
            path, content.substr(0, content.size() / 2));
        return FileStep::Failed;
    }
    return __real__Z17PlatformWriteFilePKcRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(path,
                                                                                                 content);
}
extern "C" FileStep __real__Z19PlatformReplaceFilePKcS0_(const char*, const char*);
extern "C" FileStep __wrap__Z19PlatformReplaceFilePKcS0_(const char* source, const char* target) {
    if (failingStep == FailingStep::Replace) {
        return FileStep::Failed;
    }
    if (busyTries > 0) {
        --busyTries;
        return FileStep::Busy;
    }
    return __real__Z19PlatformReplaceFilePKcS0_(source, target);
}
extern "C" int __wrap_fsync(int) {
    return 0;
}

namespace {

// Each step fails in turn: the file is then the old one and no copy is left; with no failure it is
// wholly the new one.
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

    ASSERT_EQ(SaveSettings(), 0);
    const std::string after = ReadFileBytes(session.path);
    ASSERT_NE(after, before);
    for (FailingStep step : {FailingStep::WriteCopy, FailingStep::Replace}) {
        ASSERT_TRUE(WriteFileBytes(session.path, before));
        failingStep = step;
        EXPECT_EQ(SaveSettings(), -1);
        failingStep = FailingStep::None;
        EXPECT_TRUE(ReadFileBytes(session.path) == before) << static_cast<int>(step);
        EXPECT_FALSE(FileExists(ExecutableDir() + "setting.tmp")) << static_cast<int>(step);
    }
    ASSERT_TRUE(WriteFileBytes(session.path, before));
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_TRUE(ReadFileBytes(session.path) == after);

    // Held for a few tries, the save still lands; held past the retries, it fails like any step.
    // The user hears of the first failure only, and again after a save has landed in between.
    static int notices = 0;
    SetSettingsNoticeHandler([](SettingsNotice notice) { notices += notice == SettingsNotice::NotSaved; });
    for (int tries : {4, 1 << 30, 1 << 30, 0, 1 << 30}) {
        ASSERT_TRUE(WriteFileBytes(session.path, before));
        busyTries = tries;
        EXPECT_EQ(SaveSettings(), tries < 100 ? 0 : -1) << tries;
        EXPECT_TRUE(ReadFileBytes(session.path) == (tries < 100 ? after : before)) << tries;
        EXPECT_FALSE(FileExists(ExecutableDir() + "setting.tmp")) << tries;
    }
    busyTries = 0;
    EXPECT_EQ(notices, 2);
    SetSettingsNoticeHandler(nullptr);
    RemoveFile(icon);
}

}  // namespace
