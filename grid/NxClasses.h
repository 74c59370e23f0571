// Small routines and types shared by the grid units: wide-text measurement, hint-window
// wrappers and the drawing enumerations of columns and cells. Win32.
#pragma once

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Types.h"

enum TDrawingOptions { doNormal, doBackgroundOnly, doCustom, doCustomOnly };

// How cell text that does not fit is cut (alignment and reading order come from framework/Types.h).
enum TWrapKind { wkNone, wkEllipsis, wkPathEllipsis, wkWordWrap };

// True on the NT family of Windows (always, for the systems this program runs on); grid text is
// then drawn and measured with the wide platform calls.
extern const bool IsUnicodePlatform;

// Width, height and extent of wide text in the canvas's font (0, 0 for empty text).
int TextWidthW(TCanvas* Canvas, const WideString& Text);
int TextHeightW(TCanvas* Canvas, const WideString& Text);
void TextExtentW(TCanvas* Canvas, const WideString& Text, TSize& Size);
// The width of the rectangle that DrawTextEx computes for the text with DT_CALCRECT.
int CalcTextWidthW(TCanvas* Canvas, const WideString& Text);

// Shows the hint window with the text at Rect (screen coordinates); nothing without a window.
void ActivateHintW(THintWindow* HintWindow, const TRect& Rect, const WideString& Text);
// The rectangle the hint window needs for the text within MaxWidth.
TRect CalcHintRectW(THintWindow* HintWindow, int MaxWidth, const WideString& Text, void* Data);
// Hides the hint window (its window is released; the object stays).
void ReleaseHintWindow(THintWindow* HintWindow);

void SwapInt(int& A, int& B);
// The control's parent form exists and is the active form.
bool IsParentFormActive(TControl* Control);
// Either coordinate is -1 ("no cell").
inline bool IsNoCell(TPoint P) { return P.X == -1 || P.Y == -1; }
