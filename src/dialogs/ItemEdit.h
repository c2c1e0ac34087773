#pragma once
// The item edit dialog's inputs and logic, free of any platform: the fields it shows in each mode,
// the window states, the pickers' starting folders and what confirming does. The palette editor
// sets the inputs just before it opens the dialog. Palette thread only.

#include <cstdint>

#include "settings/MenuItems.h"

// The item to edit, not owned; null to create a new launch item.
extern MenuItem* editItem;
// 1 when the dialog is opened for a file dropped on the editor, else 0.
extern int32_t editFromDrop;
// The dropped file's path (meaningful while editFromDrop is 1).
extern char droppedPath[kItemPathSize];
// 1 from the dialog's initialisation until it ends; the editor opens no second dialog meanwhile.
extern int32_t editDialogOpen;

constexpr int kShowChoiceCount = 3;  // normal, maximized, minimized

// What the dialog's controls hold. Every text is zero-terminated; the name may be longer than an
// item keeps (it is cut when stored).
struct ItemEditFields {
    char name[kItemPathSize];
    char iconPath[kItemPathSize];
    char launchPath[kItemPathSize];
    char args[kItemPathSize];
    char dir[kItemPathSize];
    int32_t showIndex;  // entry of the window-state list, -1 for none
};

enum ItemEditMode : int32_t { ItemEditDrop = 0, ItemEditNew = 1, ItemEditExisting = 2 };

// A path taken apart: "C:", "\Tools\", "app" for C:\Tools\app.exe.
struct PathParts {
    char drive[kItemPathSize];
    char dir[kItemPathSize];
    char baseName[kItemPathSize];  // the file name without its extension
};

int32_t ShowValueFromIndex(int32_t index);
int32_t ShowIndexFromValue(int32_t show);
bool SplitItemPath(const char* path, PathParts* parts);
bool BaseNameOf(const char* path, char* baseName);
bool PickerStartFolder(const char* fieldText, char* folder);
ItemEditMode ItemEditModeOf(const MenuItem* item, int32_t fromDrop);
bool FillItemEditFields(MenuItem* item, int32_t fromDrop, const char* dropped, ItemEditFields* fields,
                        bool* launchEnabled);
bool ConfirmItemEdit(MenuItem* item, const ItemEditFields* fields);
