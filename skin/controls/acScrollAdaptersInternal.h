// Helpers shared by the sources of the scrollable-control adapters (acScrollAdapters.cpp,
// acListAdapters.cpp, acComboAdapters.cpp). Not for other units. Win32.
#pragma once

#include <windows.h>

#include "skin/controls/acScrollAdapters.h"
#include "skin/core/sMaskData.h"

namespace acscroll {

// The adapter's skin data has a valid section of a living manager, whether or not the skin is
// active (SkinnedUnderActiveManager also asks the manager to be active).
bool HasSkinSection(const TacMainWnd* A);
// LParam is the skin data's effective manager.
bool IsFromManager(const TacMainWnd* A, LPARAM LParam);
// The adapter's manager, else the skin data's effective manager.
TsSkinManager* ManagerOf(const TacMainWnd* A);
// The section record of the adapter's skin data, nullptr without one.
const TsGeneralData* SectionOf(const TacMainWnd* A);
// WM_NCPAINT (0, 0) to a visible window.
void NcPaint(HWND W);
// The DC of the skin data's cache bitmap, nullptr without a non-empty one.
HDC CacheDC(TsCommonData* SkinData);
// The thickness of a visible bar, 0 for a hidden one.
int BarThickness(const TacScrollBar* Bar);
// The object publishes the property.
bool HasProp(TObject* Obj, const char* Name);

}  // namespace acscroll
