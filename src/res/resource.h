#pragma once
// Resource ids shared by the resource script and the code.

#define IDI_PIVOTEL 108
#define IDB_RING 105
#define IDB_HIGHLIGHT 106
