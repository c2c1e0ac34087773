// The folder of a program file, as the open-folder command computes it: drive and directory up to
// the last separator. Code page 932 text is written as bytes so the test means the same natively
// and under Wine: 83 5C is "ソ", 95 5C is "表"; their second byte is a backslash.

#include <gtest/gtest.h>

#include <string>

#include "settings/SettingsFile.h"

namespace {

std::string Folder(const std::string& path) {
    char folder[kMaxPath] = {};
    if (!GetPathFolder(folder, path.c_str())) {
        return "<failed>";
    }
    return folder;
}

TEST(PathFolder, IsEverythingUpToTheLastSeparator) {
    EXPECT_EQ(Folder("D:\\apps\\tool\\run.exe"), "D:\\apps\\tool\\");
    EXPECT_EQ(Folder("D:\\run.exe"), "D:\\");
    EXPECT_EQ(Folder("\\\\server\\share\\run.exe"), "\\\\server\\share\\");
    EXPECT_EQ(Folder("D:/apps/run.exe"), "D:/apps/");
    EXPECT_EQ(Folder("D:run.exe"), "D:");
    EXPECT_EQ(Folder("run.exe"), "");
}

TEST(PathFolder, TrailByteBackslashIsNoSeparator) {
    // C:\ソフト\表.exe and C:\dir\ソ (a file whose name ends in 83 5C).
    EXPECT_EQ(Folder("C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C.exe"), "C:\\\x83\x5C\x83\x74\x83\x67\\");
    EXPECT_EQ(Folder("C:\\dir\\\x83\x5C"), "C:\\dir\\");
    // A folder name that ends in 表 keeps its full name and its own separator.
    EXPECT_EQ(Folder("C:\\\x95\x5C\\run.exe"), "C:\\\x95\x5C\\");
}

TEST(PathFolder, RefusesWhatDoesNotFit) {
    char folder[kMaxPath] = {};
    EXPECT_FALSE(GetPathFolder(nullptr, "C:\\a.exe"));
    EXPECT_FALSE(GetPathFolder(folder, nullptr));
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\run.exe";
    EXPECT_FALSE(GetPathFolder(folder, deep.c_str()));
}

}  // namespace
