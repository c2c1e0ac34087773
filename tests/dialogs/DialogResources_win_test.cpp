// The tray menu, the advanced settings dialog and the item edit dialog as linked into pivotel.exe,
// read from the built program loaded as a data file: the menu's entries and commands, and the
// dialog templates' frame, font and every control's id, class, text and the style bits the
// program relies on.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "BuiltProgram_win.h"
#include "res/resource.h"

namespace {

struct MenuHolder {
    HMENU menu = nullptr;
    ~MenuHolder() {
        if (menu != nullptr) {
            DestroyMenu(menu);
        }
    }
};

// One control of a dialog template, as the template states it.
struct TemplateItem {
    DWORD style;
    WORD id;
    std::wstring className;  // predefined classes by their names
    std::wstring text;
};

struct DialogTemplate {
    DWORD style;
    std::wstring caption;
    WORD pointSize;
    std::wstring face;
    std::vector<TemplateItem> items;
};

// Reads a template field that is either 0 (none), 0xFFFF and an ordinal, or a text.
const WORD* ReadSzOrOrd(const WORD* p, std::wstring* text, WORD* ordinal) {
    *ordinal = 0;
    text->clear();
    if (*p == 0xFFFF) {
        *ordinal = p[1];
        return p + 2;
    }
    while (*p != 0) {
        text->push_back(static_cast<wchar_t>(*p++));
    }
    return p + 1;
}

const WORD* AlignDword(const WORD* p) {
    return reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
}

// Parses a classic (not extended) dialog template.
bool ParseDialog(const void* data, DialogTemplate* out) {
    const DLGTEMPLATE* head = static_cast<const DLGTEMPLATE*>(data);
    if (reinterpret_cast<const WORD*>(data)[1] == 0xFFFF) {
        return false;  // an extended template
    }
    out->style = head->style;
    const WORD* p = reinterpret_cast<const WORD*>(head + 1);
    std::wstring text;
    WORD ordinal = 0;
    p = ReadSzOrOrd(p, &text, &ordinal);  // menu
    p = ReadSzOrOrd(p, &text, &ordinal);  // class
    p = ReadSzOrOrd(p, &out->caption, &ordinal);
    if (head->style & DS_SETFONT) {
        out->pointSize = *p++;
        p = ReadSzOrOrd(p, &out->face, &ordinal);
    }
    static const wchar_t* const kAtoms[] = {L"Button",  L"Edit",      L"Static",
                                            L"ListBox", L"ScrollBar", L"ComboBox"};
    for (WORD i = 0; i < head->cdit; ++i) {
        p = AlignDword(p);
        const DLGITEMTEMPLATE* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        TemplateItem parsed = {item->style, item->id, L"", L""};
        p = reinterpret_cast<const WORD*>(item + 1);
        p = ReadSzOrOrd(p, &parsed.className, &ordinal);
        if (ordinal >= 0x80 && ordinal <= 0x85) {
            parsed.className = kAtoms[ordinal - 0x80];
        }
        p = ReadSzOrOrd(p, &parsed.text, &ordinal);
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p + 1) + *p);  // creation data
        out->items.push_back(parsed);
    }
    return true;
}

// A template's controls, in order: the id the program asks for, the class, the text and the style
// bits that must be set (for buttons, statics, combo boxes and edits the whole type field).
struct ExpectedControl {
    WORD id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
};
struct ExpectedDialog {
    int id;
    const wchar_t* caption;
    const wchar_t* face;
    std::vector<ExpectedControl> controls;
};

// The part of a control's style that names its kind, by class; 0 where the class has none.
DWORD TypeMask(const std::wstring& className) {
    static const struct {
        const wchar_t* name;
        DWORD mask;
    } kMasks[] = {{L"Button", 0xF}, {L"Static", 0x1F}, {L"ComboBox", 0x3}, {L"Edit", ES_MULTILINE}};
    for (const auto& entry : kMasks) {
        if (_wcsicmp(className.c_str(), entry.name) == 0) {
            return entry.mask;
        }
    }
    return 0;
}

class DialogResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(exe.module, nullptr) << exe.path; }
    BuiltProgram exe;
};

TEST_F(DialogResources, TrayMenuHasItsThreeEntriesInOrder) {
    MenuHolder menu{LoadMenuA(exe.module, MAKEINTRESOURCEA(IDM_TRAY))};
    ASSERT_NE(menu.menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu.menu), 1);
    wchar_t name[64] = {};
    GetMenuStringW(menu.menu, 0, name, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(name), L"POPUP1");
    HMENU popup = GetSubMenu(menu.menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 3);
    const struct {
        const wchar_t* text;
        UINT id;
    } expected[] = {{L"メニューパレット", 40000}, {L"詳細設定", 40002}, {L"終了", 40001}};
    for (int i = 0; i < 3; ++i) {
        GetMenuStringW(popup, static_cast<UINT>(i), name, 64, MF_BYPOSITION);
        EXPECT_EQ(std::wstring(name), std::wstring(expected[i].text)) << i;
        EXPECT_EQ(GetMenuItemID(popup, i), expected[i].id) << i;
    }
}

// Both dialogs are modal frames, hidden until shown, and every control is visible and enabled.
// The up-down takes the control just before it (the edit 40015) as its buddy; every item edit is
// a bordered single line that scrolls sideways.
TEST_F(DialogResources, DialogTemplatesHoldTheirControlsInOrder) {
    const DWORD edit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    const DWORD button = BS_PUSHBUTTON | WS_TABSTOP;
    const ExpectedDialog dialogs[] = {
        {IDD_ADVANCED,
         L"詳細設定",
         L"MS UI Gothic",
         {{0xFFFF, L"Static", L"メニューを表示するキー(再起動後に有効)", SS_LEFT},
          {1008, L"ComboBox", L"", CBS_DROPDOWNLIST | CBS_HASSTRINGS},
          {1004, L"Button", L"ホイール操作をマウス位置のウィンドウへ送る(再起動後に有効)",
           BS_AUTOCHECKBOX | WS_TABSTOP},
          {0xFFFF, L"Static", L"ウィンドウを半透明化したときの透明度(0～255)", SS_LEFT},
          {1007, L"msctls_trackbar32", L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP},
          {40015, L"Edit", L"", ES_NUMBER | ES_RIGHT | edit},
          {1005, L"msctls_updown32", L"", UDS_ARROWKEYS | UDS_AUTOBUDDY | UDS_SETBUDDYINT},
          {1, L"Button", L"OK", BS_DEFPUSHBUTTON},
          {2, L"Button", L"キャンセル", BS_PUSHBUTTON}}},
        {IDD_ITEM_EDIT,
         L"編集",
         L"Ms Shell Dlg",
         {{0xFFFF, L"Static", L"名前", SS_LEFT},
          {1005, L"Edit", L"", edit},
          {0xFFFF, L"Static", L"アイコンファイルパス", SS_LEFT},
          {1006, L"Edit", L"", edit},
          {40012, L"Button", L"選択...", button},
          {0xFFFF, L"Static", L"実行ファイルパス", SS_LEFT},
          {40008, L"Edit", L"", edit},
          {40013, L"Button", L"選択...", button},
          {0xFFFF, L"Static", L"パラメータ", SS_LEFT},
          {40009, L"Edit", L"", edit},
          {0xFFFF, L"Static", L"作業ディレクトリ", SS_LEFT},
          {40010, L"Edit", L"", edit},
          {40015, L"Button", L"選択...", button},
          {0xFFFF, L"Static", L"ウィンドウの表示方法", SS_LEFT},
          {40011, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_TABSTOP},
          {1, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP},
          {2, L"Button", L"キャンセル", button}}},
    };
    for (const ExpectedDialog& expected : dialogs) {
        SCOPED_TRACE(testing::Message() << "dialog " << expected.id);
        DialogTemplate dialog = {};
        HRSRC found =
            FindResourceA(exe.module, MAKEINTRESOURCEA(expected.id), MAKEINTRESOURCEA(5));  // RT_DIALOG
        const void* data = found != nullptr ? LockResource(LoadResource(exe.module, found)) : nullptr;
        ASSERT_TRUE(data != nullptr && ParseDialog(data, &dialog));
        EXPECT_EQ(dialog.caption, expected.caption);
        EXPECT_EQ(dialog.pointSize, 9);
        EXPECT_EQ(dialog.face, expected.face);
        const DWORD frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        EXPECT_EQ(dialog.style & (frame | WS_VISIBLE), frame);
        ASSERT_EQ(dialog.items.size(), expected.controls.size());
        for (size_t i = 0; i < dialog.items.size(); ++i) {
            const TemplateItem& item = dialog.items[i];
            const ExpectedControl& control = expected.controls[i];
            SCOPED_TRACE(testing::Message() << "control " << i << " id " << control.id);
            EXPECT_EQ(item.id, control.id);
            // Class names are case-insensitive; the resource compiler may store them in capitals.
            EXPECT_EQ(_wcsicmp(item.className.c_str(), control.className), 0) << item.className.c_str();
            EXPECT_EQ(item.text, std::wstring(control.text));
            EXPECT_EQ(item.style & control.style, control.style);
            const DWORD type = TypeMask(item.className);
            EXPECT_EQ(item.style & type, control.style & type);
            EXPECT_EQ(item.style & (WS_CHILD | WS_VISIBLE | WS_DISABLED),
                      static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        }
    }
}

}  // namespace
