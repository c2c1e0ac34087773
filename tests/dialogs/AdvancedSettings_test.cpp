// The advanced settings dialog's values: what the controls show for each file content, which
// up-down answers are taken, and what confirming writes, in which order, against a real file.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "dialogs/AdvancedSettings.h"

namespace {

namespace fs = std::filesystem;

// A settings file of its own per test, in the temporary folder, removed afterwards.
class AdvancedSettingsFile : public ::testing::Test {
protected:
    void Write(const std::string& text) { ASSERT_TRUE(WriteFileBytes(path, text)); }
    std::string Read() { return ReadFileBytes(path); }
    AdvancedSettingsState Load() {
        AdvancedSettingsState state = {-5, 9999, true};
        ReadAdvancedSettings(path.c_str(), &state);
        return state;
    }

    TempDir folder;
    std::string path = folder.File("setting.ini");
};

TEST(AdvancedSettingsMapping, TriggerEntryOnlyForTheTwoOtherButtons) {
    EXPECT_EQ(TriggerIndexFromSetting(0, 0), 0);
    EXPECT_EQ(TriggerIndexFromSetting(0, 1), 1);
    EXPECT_EQ(TriggerIndexFromSetting(0, 2), 2);
    EXPECT_EQ(TriggerIndexFromSetting(0, 3), 0);
    EXPECT_EQ(TriggerIndexFromSetting(0, 7), 0);
    EXPECT_EQ(TriggerIndexFromSetting(0, 0xffffffffu), 0);
    EXPECT_EQ(TriggerIndexFromSetting(-1, 1), 0);  // unreadable key: its value means nothing
}

TEST(AdvancedSettingsMapping, OpacityAsReadOrDefault) {
    EXPECT_EQ(OpacityFromSetting(0, 0), 0u);
    EXPECT_EQ(OpacityFromSetting(0, 255), 255u);
    EXPECT_EQ(OpacityFromSetting(0, 300), 300u);  // the controls' ranges limit it, not the default
    EXPECT_EQ(OpacityFromSetting(-1, 20), 191u);
}

TEST(AdvancedSettingsMapping, SendWheelCheckedForAnyNonzeroValue) {
    EXPECT_FALSE(SendWheelFromSetting(0, 0));
    EXPECT_TRUE(SendWheelFromSetting(0, 1));
    EXPECT_TRUE(SendWheelFromSetting(0, 2));
    EXPECT_FALSE(SendWheelFromSetting(-1, 1));
}

TEST_F(AdvancedSettingsFile, NoFileShowsTheDefaults) {
    AdvancedSettingsState state = Load();
    EXPECT_EQ(state.triggerIndex, 0);
    EXPECT_EQ(state.opacity, 191u);
    EXPECT_FALSE(state.sendWheel);
}

TEST_F(AdvancedSettingsFile, FileValuesShownAsTheControlsMapThem) {
    Write("[CONFIG]\r\nTRIGGER=2\r\nALPHA=40\r\nSENDWHEEL=2\r\n");
    AdvancedSettingsState state = Load();
    EXPECT_EQ(state.triggerIndex, 2);
    EXPECT_EQ(state.opacity, 40u);
    EXPECT_TRUE(state.sendWheel);

    Write("[CONFIG]\r\nTRIGGER=7\r\nALPHA=300\r\nSENDWHEEL=0\r\n");
    state = Load();
    EXPECT_EQ(state.triggerIndex, 0);
    EXPECT_EQ(state.opacity, 300u);
    EXPECT_FALSE(state.sendWheel);

    // Keys of another section and text that is no number count as missing.
    Write("[OTHER]\r\nTRIGGER=1\r\n[CONFIG]\r\nALPHA=abc\r\nSENDWHEEL=x\r\n");
    state = Load();
    EXPECT_EQ(state.triggerIndex, 0);
    EXPECT_EQ(state.opacity, 191u);
    EXPECT_FALSE(state.sendWheel);
}

TEST_F(AdvancedSettingsFile, ConfirmWritesTheThreeKeysInOrder) {
    uint32_t accepted = 999;
    EXPECT_TRUE(WriteAdvancedSettings(path.c_str(), 1, 64, true, &accepted));
    EXPECT_EQ(accepted, 64u);
    const std::string text = Read();
    const size_t trigger = text.find("TRIGGER=1");
    const size_t alpha = text.find("ALPHA=64");
    const size_t wheel = text.find("SENDWHEEL=1");
    ASSERT_NE(trigger, std::string::npos) << text;
    ASSERT_NE(alpha, std::string::npos) << text;
    ASSERT_NE(wheel, std::string::npos) << text;
    EXPECT_LT(trigger, alpha);
    EXPECT_LT(alpha, wheel);
    EXPECT_EQ(text.find("[CONFIG]"), 0u) << text;

    AdvancedSettingsState state = Load();
    EXPECT_EQ(state.triggerIndex, 1);
    EXPECT_EQ(state.opacity, 64u);
    EXPECT_TRUE(state.sendWheel);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()),
              1);  // no copy left

    // Where the copy must go stands a folder: nothing is written, but the opacity is still taken.
    fs::create_directories(fs::path(folder.path) / "setting.tmp" / "x");
    EXPECT_FALSE(WriteAdvancedSettings(path.c_str(), 2, 65, false, &accepted));
    EXPECT_EQ(accepted, 65u);
    EXPECT_EQ(Read(), text);
    fs::remove_all(fs::path(folder.path) / "setting.tmp");

    // Confirmed while a save holds the file: it waits for it, and neither update loses the other's keys.
    std::thread dialog;
    EXPECT_TRUE(UpdateSettingsFile(path, [&](IniDocument* settings) {
        dialog = std::thread([&] { EXPECT_TRUE(WriteAdvancedSettings(path, 2, 66, false, &accepted)); });
        return WriteSettingUInt(settings, "ITEMS", "NUM", 0) == 0;
    }));
    dialog.join();
    EXPECT_NE(Read().find("NUM=0"), std::string::npos) << Read();
    EXPECT_EQ(Load().opacity, 66u);
}

TEST_F(AdvancedSettingsFile, RefusedOpacityKeepsFileAndValueButWritesTheRest) {
    Write("[CONFIG]\r\nTRIGGER=7\r\nALPHA=100\r\nSENDWHEEL=2\r\n");
    // The up-down's error flag (high word) or a position above 255 refuses the opacity.
    for (uint32_t answer : {0x10000u | 255u, 0x10000u, 256u}) {
        uint32_t accepted = 999;
        EXPECT_TRUE(WriteAdvancedSettings(path.c_str(), 0, answer, true, &accepted));
        EXPECT_EQ(accepted, 999u) << answer;
        AdvancedSettingsState state = Load();
        EXPECT_EQ(state.opacity, 100u) << answer;
    }
    const std::string text = Read();
    EXPECT_NE(text.find("TRIGGER=0"), std::string::npos) << text;
    EXPECT_NE(text.find("SENDWHEEL=1"), std::string::npos) << text;
    EXPECT_EQ(text.find("TRIGGER=7"), std::string::npos) << text;
}

TEST_F(AdvancedSettingsFile, NoSelectionWritesNoTrigger) {
    Write("[CONFIG]\r\nTRIGGER=2\r\n");
    uint32_t accepted = 999;
    EXPECT_TRUE(WriteAdvancedSettings(path.c_str(), -1, 0, false, &accepted));
    EXPECT_EQ(accepted, 0u);
    EXPECT_TRUE(WriteAdvancedSettings(path.c_str(), 3, 0, false, &accepted));
    AdvancedSettingsState state = Load();
    EXPECT_EQ(state.triggerIndex, 2);
    EXPECT_EQ(state.opacity, 0u);
    EXPECT_FALSE(state.sendWheel);
    EXPECT_NE(Read().find("SENDWHEEL=0"), std::string::npos);
}

}  // namespace
