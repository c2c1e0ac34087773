// Program launching under Wine: launch_probe.exe is started through the shell by LaunchProgram and
// writes down in UTF-8 what it received (command line, arguments, current directory, show
// command). It sits beside this test program and, as a copy, in its folder "表示ソフト", so relative
// paths and directories have something to find, under a name the system code page may not hold.
// Item fields are code page 932 (string literals are compiled to it), the report is UTF-8 (u8"").

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <map>
#include <string>

#include "ActionTestSupport.h"
#include "actions/Launch.h"
#include "platform/Platform.h"
#include "settings/SettingsFile.h"

namespace {

const char kProbeName[] = "launch_probe.exe";
const char kProbeCopy[] = "表示ソフト\\launch_probe.exe";  // relative to this test program
const std::string kProbeCopyUtf8 = u8"表示ソフト\\launch_probe.exe";

std::string WithoutTrailingSeparator(std::string path) {
    if (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

class LaunchTest : public ::testing::Test {
protected:
    std::string folder = ExecutableDir();
    TempDir tempDir;  // the probe writes its report here
    std::string temp = tempDir.path;
    std::string output = tempDir.File("probe.txt");
    std::string previousDirectory = CurrentDir();
    ShortcutInfo shortcut = {};
    MenuItem item = {};

    void SetUp() override {
        SetEnvironmentVariableA("PIVOTEL_PROBE_OUTPUT", output.c_str());
        item.kind = KindLaunch;
        item.action = LaunchProgram;
        item.shortcut = &shortcut;
        shortcut.show = 5;
    }

    void TearDown() override {
        EndChildProcesses({kProbeName});
        SetEnvironmentVariableA("PIVOTEL_PROBE_OUTPUT", nullptr);
        SetCurrentDirectoryA(previousDirectory.c_str());
        PlatformDestroyIcon(item.icon);
    }

    void Describe(const char* path, const char* args, const char* dir, int32_t show) {
        SetShortcutPath(&shortcut, path);
        SetShortcutArgs(&shortcut, args);
        SetShortcutDir(&shortcut, dir);
        shortcut.show = show;
    }

    // Launches the item as described and answers what the probe wrote, key by key; empty, and a
    // failure, when it wrote nothing within the wait's bound.
    std::map<std::string, std::string> Launch(const std::string& path, const char* args, const char* dir,
                                              int32_t show) {
        Describe(path.c_str(), args, dir, show);
        DeleteFileA(output.c_str());  // a report left by an earlier probe must not be taken for this one
        EXPECT_EQ(LaunchProgram(&item, nullptr, 0), 0);
        std::map<std::string, std::string> values;
        // The report's last line is its show command; a file the system still holds reads empty.
        std::string report;
        if (!WaitUntil([&] { return (report = ReadFileBytes(output)).find("\nshow=") != std::string::npos; })) {
            ADD_FAILURE() << "the probe did not run";
            return values;
        }
        std::istringstream file(report);
        std::string line;
        while (std::getline(file, line)) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos) {
                values[line.substr(0, equals)] = line.substr(equals + 1);
            }
        }
        return values;
    }
};

TEST_F(LaunchTest, AbsolutePathWithArgumentsStartsInTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryA(temp.c_str()));
    auto report = Launch(folder + kProbeCopy, "one \"two words\" 表", "", 5);
    EXPECT_EQ(report["argc"], "4");
    EXPECT_EQ(report["arg1"], "one");
    EXPECT_EQ(report["arg2"], "two words");
    EXPECT_EQ(report["arg3"], u8"表");
    EXPECT_EQ(report["cwd"], temp);
    EXPECT_EQ(report["show"], "5");
    EXPECT_NE(report["cmdline"].find(folder + kProbeCopyUtf8), std::string::npos) << report["cmdline"];
}

// The directory is the program's own folder, which the shell would not start it in by itself.
// The item's icon comes from the same program file, by the same relative path.
TEST_F(LaunchTest, RelativePathBelowTheProgramWithAbsoluteDirectory) {
    auto report = Launch(kProbeCopy, "", (folder + "表示ソフト").c_str(), SW_SHOWMINNOACTIVE);
    EXPECT_NE(report["cmdline"].find(folder + kProbeCopyUtf8), std::string::npos) << report["cmdline"];
    EXPECT_EQ(report["argc"], "1");
    EXPECT_EQ(report["cwd"], folder + u8"表示ソフト");
    EXPECT_EQ(report["show"], "7");
    EXPECT_EQ(SetItemIcon(&item, kProbeCopy), 0);
    EXPECT_NE(SetItemIcon(&item, "表示ソフト\\no_such_probe.exe"), 0);
}

TEST_F(LaunchTest, RelativeDirectoryIsTakenFromTheProgramsFolder) {
    ASSERT_TRUE(SetCurrentDirectoryA(temp.c_str()));
    auto report = Launch(kProbeName, "x", "表示ソフト", SW_SHOW);
    EXPECT_NE(report["cmdline"].find(folder + kProbeName), std::string::npos) << report["cmdline"];
    EXPECT_EQ(report["arg1"], "x");
    EXPECT_EQ(report["cwd"], folder + u8"表示ソフト");
    EXPECT_EQ(report["show"], "5");
}

// Resolving a relative path makes the program's folder the current directory, and a launch
// without a directory starts there. The show value goes to the shell unchecked, 0 included.
TEST_F(LaunchTest, RelativePathWithoutDirectoryStartsInTheProgramsFolder) {
    ASSERT_TRUE(SetCurrentDirectoryA(temp.c_str()));
    auto report = Launch(kProbeName, "", "", SW_HIDE);
    EXPECT_EQ(report["cwd"], WithoutTrailingSeparator(folder));
    EXPECT_EQ(report["show"], "0");
}

TEST_F(LaunchTest, IncompleteOrRefusedItemsStartNothing) {
    Describe((folder + kProbeName).c_str(), "", "", 5);
    EXPECT_EQ(LaunchProgram(nullptr, nullptr, 0), -1);

    MenuItem command = item;  // a window command whose action was wrongly set to launching
    command.kind = KindWindowCommand;
    EXPECT_EQ(LaunchProgram(&command, nullptr, 0), -1);

    MenuItem noRecord = item;
    noRecord.shortcut = nullptr;
    EXPECT_EQ(LaunchProgram(&noRecord, nullptr, 0), -1);

    Describe("", "", "", 5);
    EXPECT_EQ(LaunchProgram(&item, nullptr, 0), -1);

    // The shell's answer is not waited for: the request is handed over, and nothing starts.
    Describe((folder + "no_such_program.exe").c_str(), "", "", 5);
    EXPECT_EQ(LaunchProgram(&item, nullptr, 0), 0);

    Sleep(1000);
    EXPECT_EQ(GetFileAttributesA(output.c_str()), INVALID_FILE_ATTRIBUTES) << "a probe was started";
    EXPECT_TRUE(ChildProcesses(kProbeName).empty());
}

}  // namespace
