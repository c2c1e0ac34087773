// The tray menu, the advanced settings dialog and the item edit dialog as linked into pivotel.exe,
// read from the built program loaded as a data file: the menu's entries and commands, and the
// dialog templates' frame, font and every control's id, class, text, style and position.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../res/BuiltProgram_win.h"
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
    short x, y, cx, cy;
    WORD id;
    std::wstring className;  // predefined classes by their names
    std::wstring text;
};

struct DialogTemplate {
    DWORD style;
    short cx, cy;
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
    out->cx = head->cx;
    out->cy = head->cy;
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
        TemplateItem parsed = {item->style, item->x, item->y, item->cx, item->cy, item->id, L"", L""};
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

// One control as a template must hold it.
struct ExpectedControl {
    WORD id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;     // the bits that must be set, besides WS_CHILD | WS_VISIBLE
    DWORD typeMask;  // the style's type field, which must equal style's (0: not checked)
    short x, y, cx, cy;
};

// A dialog template of the module, parsed; false when it is missing or cannot be parsed.
bool LoadDialogTemplate(HMODULE module, int id, DialogTemplate* dialog) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    const void* data = found != nullptr ? LockResource(LoadResource(module, found)) : nullptr;
    return data != nullptr && ParseDialog(data, dialog);
}

// The template's controls are exactly these, in this order, each visible and enabled.
void ExpectControls(const DialogTemplate& dialog, const ExpectedControl* expected, size_t count) {
    ASSERT_EQ(dialog.items.size(), count);
    for (size_t i = 0; i < count; ++i) {
        const TemplateItem& item = dialog.items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " id " << expected[i].id);
        EXPECT_EQ(item.id, expected[i].id);
        // Class names are case-insensitive; the resource compiler may store them in capitals.
        EXPECT_EQ(_wcsicmp(item.className.c_str(), expected[i].className), 0) << item.className.c_str();
        EXPECT_EQ(item.text, std::wstring(expected[i].text));
        EXPECT_EQ(item.style & expected[i].style, expected[i].style);
        if (expected[i].typeMask != 0) {
            EXPECT_EQ(item.style & expected[i].typeMask, expected[i].style & expected[i].typeMask);
        }
        EXPECT_EQ(item.style & (WS_CHILD | WS_VISIBLE | WS_DISABLED), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(item.x, expected[i].x);
        EXPECT_EQ(item.y, expected[i].y);
        EXPECT_EQ(item.cx, expected[i].cx);
        EXPECT_EQ(item.cy, expected[i].cy);
    }
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

TEST_F(DialogResources, AdvancedSettingsTemplateHasEveryControlInPlace) {
    DialogTemplate dialog = {};
    ASSERT_TRUE(LoadDialogTemplate(exe.module, IDD_ADVANCED, &dialog));

    EXPECT_EQ(dialog.cx, 204);
    EXPECT_EQ(dialog.cy, 141);
    EXPECT_EQ(dialog.caption, L"詳細設定");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.face, L"MS UI Gothic");
    const DWORD frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(dialog.style & frame, frame);
    EXPECT_EQ(dialog.style & WS_VISIBLE, 0u);

    const ExpectedControl expected[] = {
        {0xFFFF, L"Static", L"メニューを表示するキー(再起動後に有効)", SS_LEFT, 0x1F, 7, 7, 113, 8},
        {1008, L"ComboBox", L"", CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0x3, 7, 17, 115, 64},
        {1004, L"Button", L"ホイール操作をマウス位置のウィンドウへ送る(再起動後に有効)",
         BS_AUTOCHECKBOX | WS_TABSTOP, 0xF, 7, 47, 185, 8},
        {0xFFFF, L"Static", L"ウィンドウを半透明化したときの透明度(0～255)", SS_LEFT, 0x1F, 7, 72, 130, 8},
        {1007, L"msctls_trackbar32", L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 0, 7, 82, 77, 14},
        {40015, L"Edit", L"", ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 87, 82, 30,
         14},
        {1005, L"msctls_updown32", L"", UDS_ARROWKEYS | UDS_AUTOBUDDY | UDS_SETBUDDYINT, 0, 117, 82, 7, 15},
        {1, L"Button", L"OK", BS_DEFPUSHBUTTON, 0xF, 92, 117, 50, 17},
        {2, L"Button", L"キャンセル", BS_PUSHBUTTON, 0xF, 147, 117, 50, 17},
    };
    ExpectControls(dialog, expected, sizeof expected / sizeof expected[0]);
    // The up-down takes the control just before it as its buddy: that must be the edit.
    EXPECT_EQ(dialog.items[6].id, 1005);
    EXPECT_EQ(dialog.items[5].id, 40015);
}

TEST_F(DialogResources, ItemEditTemplateHasEveryControlInPlace) {
    DialogTemplate dialog = {};
    ASSERT_TRUE(LoadDialogTemplate(exe.module, IDD_ITEM_EDIT, &dialog));

    EXPECT_EQ(dialog.cx, 234);
    EXPECT_EQ(dialog.cy, 267);
    EXPECT_EQ(dialog.caption, L"編集");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.face, L"Ms Shell Dlg");
    const DWORD frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(dialog.style & frame, frame);
    EXPECT_EQ(dialog.style & WS_VISIBLE, 0u);

    // Every edit is a bordered single line that scrolls sideways.
    const DWORD edit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    const DWORD editMask = ES_AUTOHSCROLL | ES_MULTILINE | WS_BORDER;
    const ExpectedControl expected[] = {
        {0xFFFF, L"Static", L"名前", SS_LEFT, 0x1F, 7, 7, 15, 8},
        {1005, L"Edit", L"", edit, editMask, 7, 17, 125, 14},
        {0xFFFF, L"Static", L"アイコンファイルパス", SS_LEFT, 0x1F, 7, 42, 51, 8},
        {1006, L"Edit", L"", edit, editMask, 7, 52, 195, 14},
        {40012, L"Button", L"選択...", BS_PUSHBUTTON | WS_TABSTOP, 0xF, 202, 52, 22, 14},
        {0xFFFF, L"Static", L"実行ファイルパス", SS_LEFT, 0x1F, 7, 77, 45, 8},
        {40008, L"Edit", L"", edit, editMask, 7, 87, 195, 14},
        {40013, L"Button", L"選択...", BS_PUSHBUTTON | WS_TABSTOP, 0xF, 202, 87, 22, 14},
        {0xFFFF, L"Static", L"パラメータ", SS_LEFT, 0x1F, 7, 112, 26, 8},
        {40009, L"Edit", L"", edit, editMask, 7, 122, 218, 14},
        {0xFFFF, L"Static", L"作業ディレクトリ", SS_LEFT, 0x1F, 7, 147, 43, 8},
        {40010, L"Edit", L"", edit, editMask, 7, 157, 195, 14},
        {40015, L"Button", L"選択...", BS_PUSHBUTTON | WS_TABSTOP, 0xF, 202, 157, 22, 14},
        {0xFFFF, L"Static", L"ウィンドウの表示方法", SS_LEFT, 0x1F, 7, 182, 59, 8},
        {40011, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_TABSTOP, 0x3, 7, 192, 100, 64},
        {1, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0xF, 122, 242, 50, 17},
        {2, L"Button", L"キャンセル", BS_PUSHBUTTON | WS_TABSTOP, 0xF, 177, 242, 50, 17},
    };
    ExpectControls(dialog, expected, sizeof expected / sizeof expected[0]);
}

}  // namespace
