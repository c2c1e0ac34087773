// Which windows the program leaves alone: integrity levels compared, and the shell's and modern
// apps' window classes told from all others.

#include <gtest/gtest.h>

#include "platform/WindowKinds.h"

namespace {

TEST(WindowKinds, OnlyAHigherOrUnreadableLevelIsAbove) {
    const uint32_t kUnread = kIntegrityUnreadable;
    EXPECT_TRUE(IsAboveIntegrity(kIntegrityHigh, kIntegrityMedium));
    EXPECT_TRUE(IsAboveIntegrity(0x2100, kIntegrityMedium));  // medium plus, as some started programs
    EXPECT_FALSE(IsAboveIntegrity(kIntegrityMedium, kIntegrityMedium));
    EXPECT_FALSE(IsAboveIntegrity(kIntegrityMedium, kIntegrityHigh));
    // A process that refuses the query is elevated or protected: above all but a high level.
    EXPECT_TRUE(IsAboveIntegrity(kUnread, kIntegrityLow));
    EXPECT_TRUE(IsAboveIntegrity(kUnread, 0x2100));
    EXPECT_FALSE(IsAboveIntegrity(kUnread, kIntegrityHigh));
    EXPECT_FALSE(IsAboveIntegrity(kUnread, kIntegritySystem));
    // An own level that cannot be read counts as medium.
    EXPECT_TRUE(IsAboveIntegrity(kIntegrityHigh, kUnread));
    EXPECT_FALSE(IsAboveIntegrity(kIntegrityMedium, kUnread));
}

TEST(WindowKinds, ShellAndModernAppClassesAreToldByTheirWholeName) {
    for (const wchar_t* name : {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"}) {
        EXPECT_TRUE(IsShellWindowClass(name) && !IsModernAppFrameClass(name)) << name;
    }
    for (const wchar_t* name : {L"ApplicationFrameWindow", L"Windows.UI.Core.CoreWindow"}) {
        EXPECT_TRUE(IsModernAppFrameClass(name) && !IsShellWindowClass(name)) << name;
    }
    for (const wchar_t* name :
         {L"", L"Notepad", L"Shell_TrayWndX", L"progman", L"Worker", L"Windows.UI.Core"}) {
        EXPECT_FALSE(IsShellWindowClass(name) || IsModernAppFrameClass(name)) << name;
    }
}

}  // namespace
