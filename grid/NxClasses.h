// Small routines and types that several grid units share: wide-text measurement that works on
// both platform families, hint-window wrappers, the drawing enumerations of columns and cells,
// and the settings object made at start-up. Win32.
#pragma once

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Types.h"

// What of a header, footer, cell or indicator the grid paints itself and what it leaves to the
// custom-draw event: doNormal everything and then the event's additions, doBackgroundOnly only the
// background, doCustom the content and the event, doCustomOnly only the event.
enum TDrawingOptions { doNormal, doBackgroundOnly, doCustom, doCustomOnly };

// How cell text that does not fit is cut. (The vertical alignment of cell text,
// TVerticalAlignment, and the horizontal one come from framework/Types.h.)
enum TWrapKind { wkNone, wkEllipsis, wkPathEllipsis, wkWordWrap };

// True on the NT family of Windows: grid text is then measured with the wide platform calls, and
// otherwise with the byte-string calls on text converted to the system code page. Set once at
// start-up from the system's platform id (tests may switch it to reach the other road).
extern bool IsUnicodePlatform;

// The grid's settings object: no fields; made once at start-up and freed at the end.
class TLocalSettings : public TObject {
  T_CLASS(TLocalSettings, TObject)
};
TLocalSettings* LocalSettings();

// Captions of the unit.
extern const WideString strToday;  // "Today"
extern const WideString strNone;   // "None"

// Width, height and extent of the text in the canvas's font: GetTextExtentPoint32W on the NT
// family, the canvas's measurement of the converted text otherwise (TextExtentW always measures
// wide, its size starting as 0, 0). An empty text is 0 wide. A null canvas raises
// EInvalidOperation.
int TextWidthW(TCanvas* Canvas, const WideString& Text);
int TextHeightW(TCanvas* Canvas, const WideString& Text);
void TextExtentW(TCanvas* Canvas, const WideString& Text, TSize& Size);
// The width of the rectangle that DrawTextExW (NT family) or DrawTextExA (converted text)
// computes with DT_CALCRECT: the widest line of the text.
int CalcTextWidthW(TCanvas* Canvas, const WideString& Text);

// Shows the hint window with the text converted to the system code page at Rect (screen
// coordinates); nothing without a hint window.
void ActivateHintW(THintWindow* HintWindow, const TRect& Rect, const WideString& Text);
// The rectangle the hint window needs for the converted text within MaxWidth; empty without a
// hint window.
TRect CalcHintRectW(THintWindow* HintWindow, int MaxWidth, const WideString& Text, void* Data);
// Hides the hint by releasing the hint window's window, when it has one (the object stays).
void ReleaseHintWindow(THintWindow* HintWindow);

void SwapInt(int& A, int& B);
// The control has a parent form and that form is active (False for no control).
bool IsParentFormActive(TControl* Control);
// Either coordinate is -1 ("no cell").
inline bool IsNoCell(TPoint P) { return P.X == -1 || P.Y == -1; }
