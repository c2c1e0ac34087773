#pragma once
// The ring's pictures at its scale (menuRing): the two skins and the items' icons. What is made
// for a scale is kept until ForgetScaledArt.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "settings/MenuItems.h"

Gdiplus::GpImage* RingSkinAtScale();
Gdiplus::GpImage* HighlightSkinAtScale();
HICON ItemIconAtScale(const MenuItem& item);
void DrawIconOn(Gdiplus::GpGraphics* graphics, const RECT& rect, HICON icon, bool smooth = false);
void ForgetScaledArt();
