// Which windows the program leaves alone: integrity levels compared, and the shell's and modern
// apps' window classes told from all others.

#include <gtest/gtest.h>

#include "platform/WindowKinds.h"

namespace {

TEST(WindowKinds, OnlyAHigherOrUnreadableLevelIsAbove) {
    const uint32_t kMediumPlus = 0x2100;
    const uint32_t kUnread = kIntegrityUnreadable;
    const struct {
        uint32_t target;
        uint32_t own;
        bool above;
    } cases[] = {
        {kIntegrityHigh, kIntegrityMedium, true},
        {kIntegritySystem, kIntegrityHigh, true},
        {kMediumPlus, kIntegrityMedium, true},
        {kIntegrityMedium, kIntegrityMedium, false},
        {kIntegrityMedium, kIntegrityHigh, false},
        {kIntegrityUntrusted, kIntegrityLow, false},
        // A process that refuses the query is elevated or protected: above all but a high level.
        {kUnread, kIntegrityLow, true},
        {kUnread, kMediumPlus, true},
        {kUnread, kIntegrityHigh, false},
        {kUnread, kIntegritySystem, false},
        // An own level that cannot be read counts as medium.
        {kIntegrityHigh, kUnread, true},
        {kIntegrityMedium, kUnread, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAboveIntegrity(c.target, c.own), c.above) << std::hex << c.target << " over " << c.own;
    }
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
