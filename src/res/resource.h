#pragma once
// Resource ids shared by the resource script and the code.

#define IDI_PIVOTEL 108
#define IDB_RING 105
#define IDB_HIGHLIGHT 106
#define IDB_RING_2X 109
#define IDB_HIGHLIGHT_2X 110

// Tray menu and its commands.
#define IDM_TRAY 102
#define IDC_TRAY_PALETTE 40000
#define IDC_TRAY_EXIT 40001
#define IDC_TRAY_ADVANCED 40002

// Advanced settings dialog and its controls.
#define IDD_ADVANCED 107
#define IDC_ADV_SENDWHEEL 1004
#define IDC_ADV_ALPHA_SPIN 1005
#define IDC_ADV_ALPHA_SLIDER 1007
#define IDC_ADV_TRIGGER 1008
#define IDC_ADV_ALPHA_EDIT 40015

// Palette editor: its context menus (popups 0, 1, 2) and their commands, and its background
// picture with the sprite strip below it.
#define IDM_PALETTE 103
#define IDC_PALETTE_EDIT 40000
#define IDC_PALETTE_DELETE 40001
#define IDC_PALETTE_NEW 40002
#define IDC_PALETTE_REMOVE 40003
#define IDB_PALETTE 104
#define IDB_PALETTE_2X 111

// Item edit dialog and its controls.
#define IDD_ITEM_EDIT 101
#define IDC_ITEM_NAME 1005
#define IDC_ITEM_ICON 1006
#define IDC_ITEM_PATH 40008
#define IDC_ITEM_ARGS 40009
#define IDC_ITEM_DIR 40010
#define IDC_ITEM_SHOW 40011
#define IDC_ITEM_ICON_BROWSE 40012
#define IDC_ITEM_PATH_BROWSE 40013
#define IDC_ITEM_DIR_BROWSE 40015
