// Skinned scroll bars: geometry, painting, tracking and the TacScrollWnd window procedure.
#include "skin/controls/acScrollBars.h"

#include <algorithm>
#include <memory>

#include <windowsx.h>

#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "skin/core/acAnimation.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {

// The standard arrow-button length: the system's horizontal scroll-arrow width.
int StdButtonSize() { return GetSystemMetrics(SM_CXHSCROLL); }

TsSkinManager* ManagerOf(const TacScrollWnd* Adapter) {
  if (Adapter == nullptr) return nullptr;
  if (Adapter->SkinManager != nullptr) return Adapter->SkinManager;
  return Adapter->SkinData != nullptr ? Adapter->SkinData->GetSkinManager() : TsSkinManager::DefaultManager();
}

TRect ToRect(const RECT& R) { return TRect(R.left, R.top, R.right, R.bottom); }

TRect WindowRectOf(HWND Wnd) {
  RECT R{};
  GetWindowRect(Wnd, &R);
  return ToRect(R);
}

int VisibleThickness(const TacScrollBar* Bar) {
  return Bar != nullptr && Bar->Visible ? GetBarSize(Bar, true, false) : 0;
}

// Along-the-bar coordinates of a rectangle.
int StartOf(const TacScrollBar* Bar, const TRect& R) { return Bar->BarKind == SB_VERT ? R.Top : R.Left; }
int EndOf(const TacScrollBar* Bar, const TRect& R) { return Bar->BarKind == SB_VERT ? R.Bottom : R.Right; }

// The bar rectangle less its optional strips.
TRect PartsRect(const TacScrollBar* Bar, TRect R) {
  const int Before = Bar->ButVisibleBefore ? Bar->ButSizeBefore : 0;
  const int After = Bar->ButVisibleAfter ? Bar->ButSizeAfter : 0;
  if (Bar->BarKind == SB_VERT) {
    R.Top += Before;
    R.Bottom -= After;
  } else {
    R.Left += Before;
    R.Right -= After;
  }
  return R;
}

void ReadScrollInfo(TacScrollBar* Bar, HWND Handle) {
  Bar->ScrollInfo.cbSize = sizeof(SCROLLINFO);
  Bar->ScrollInfo.fMask = SIF_ALL;
  if (!GetScrollInfo(Handle, Bar->BarKind, &Bar->ScrollInfo)) {
    Bar->ScrollInfo.nMin = Bar->ScrollInfo.nMax = Bar->ScrollInfo.nPos = Bar->ScrollInfo.nTrackPos = 0;
    Bar->ScrollInfo.nPage = 0;
  }
  Bar->DisabledArrows = 0;
  SCROLLBARINFO Info{};
  Info.cbSize = sizeof(SCROLLBARINFO);
  if (acGetScrollBarInfo != nullptr &&
      acGetScrollBarInfo(Handle, Bar->BarKind == SB_HORZ ? OBJID_HSCROLL : OBJID_VSCROLL, &Info)) {
    if ((Info.rgstate[1] & STATE_SYSTEM_UNAVAILABLE) != 0) Bar->DisabledArrows |= acsfFirstArrowDisabled;
    if ((Info.rgstate[5] & STATE_SYSTEM_UNAVAILABLE) != 0) Bar->DisabledArrows |= acsfSecondArrowDisabled;
  }
}

// The adapter's window shows skinned bars: its skin data is skinned and its manager switched on.
bool BarsSkinned(const TacScrollWnd* Adapter) {
  TsCommonData* SD = Adapter->SkinData;
  TsSkinManager* Manager = SD != nullptr ? SD->GetSkinManager() : nullptr;
  return SD != nullptr && SD->IsSkinned(false) && Manager != nullptr && Manager->Active();
}

// Every message the bars' tracking or painting sends to the adapter's window goes through here
// (Send sends it): answers whether the adapter goes on with the window's skinned bars. The
// window's own handling of the message may free the adapter or the control, or switch the skin off
// (an adapter the program keeps then stays with its window, unskinned); when it does not go on,
// the caller touches nothing of the adapter or its bars any more and ends what it was doing.
template <class F>
bool BarsGoOnAfter(TacScrollWnd* Adapter, F&& Send) {
  return AdapterGoesOnAfter(Adapter, Send) && BarsSkinned(Adapter);
}

// The tracking state holds a press of the window's bars.
bool PressIsWindows(HWND Handle) {
  const TacScrollTracking& T = acScrollTracking();
  return T.HoverWnd == Handle && T.TrackPart != -1;
}

// The same for a message of the release of a press: the press is still this window's to end. When
// it is not, the caller leaves the tracking state alone as well.
template <class F>
bool ReleaseGoesOnAfter(TacScrollWnd* Adapter, F&& Send) {
  const HWND Handle = Adapter->CtrlHandle;
  return BarsGoOnAfter(Adapter, Send) && PressIsWindows(Handle);
}

bool EndPress(TacScrollWnd* Adapter);

// The same for a message of a press or drag going on: the press goes on only while it is still this
// window's, its button is still down (a press made of messages alone has none) and the mouse still
// the bar's. A handler that showed a modal window (a message box) took the release and the mouse
// away from the bar: the press then ends here, as at its release (the system's own bar ends its
// press too).
template <class F>
bool PressGoesOnAfter(TacScrollWnd* Adapter, F&& Send) {
  const HWND Handle = Adapter->CtrlHandle;
  if (!ReleaseGoesOnAfter(Adapter, Send)) return false;
  const bool ButtonDown = !acScrollTracking().ButtonHeld || (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
  if (ButtonDown && GetCapture() == Handle) return true;
  EndPress(Adapter);
  return false;
}

// Passes a message on (Pass, which answers whether the adapter goes on after it) with the window's
// scroll styles hidden from its previous procedure, which then neither reserves room for its own
// bars nor paints them. The styles come back however the passing on ends, the adapter freed, the
// skin gone or an exception on its way, as long as the window exists: without them the window
// would have lost its bars for good. When the adapter does not go on, the window then handles the
// message again as what it is now, bars and all (Again). Answers whether the adapter goes on.
template <class F, class G>
bool PassOnWithoutScrollStyles(TacScrollWnd* Adapter, HWND Handle, F&& Pass, G&& Again) {
  const LONG_PTR Style = GetWindowLongPtrW(Handle, GWL_STYLE);
  if ((Style & (WS_HSCROLL | WS_VSCROLL)) == 0) return Pass();
  const std::shared_ptr<bool> Alive = Adapter->Alive;
  bool GoesOn = false;
  Adapter->IgnoreStyleChange = true;
  TScopeExit Back([&] {
    const bool Exists = IsWindow(Handle) != FALSE;
    if (Exists) SetWindowLongPtrW(Handle, GWL_STYLE, Style);
    if (*Alive) Adapter->IgnoreStyleChange = false;
    if (Exists && !GoesOn) Again();
  });
  SetWindowLongPtrW(Handle, GWL_STYLE, Style & ~static_cast<LONG_PTR>(WS_HSCROLL | WS_VSCROLL));
  GoesOn = Pass();
  return GoesOn;
}

// Paints one element of a bar (a track piece, an arrow button or the thumb) into R of the bar
// bitmap over what is painted there so far, with its glyph, through the work bitmap E (as large as
// the bar bitmap; the element is painted at its top-left corner over white, as into a new bitmap
// of its own size). GlyphSide: 0 the glyph is centred in the whole element; 1 left, 2 right, 3
// top, 4 bottom: centred in the strip of the standard button length at that end.
void PaintElement(TBitmap* BarBmp, TBitmap* E, const TacSkinPartIndexes& Ix, int State, const TRect& R,
                  TsSkinManager* Manager, int GlyphSide) {
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  if (W <= 0 || H <= 0 || !Manager->IsValidSectionIndex(Ix.Section)) return;
  FillRectSolid(E->Canvas()->Handle(), TRect(0, 0, W, H), clWhite);
  TCacheInfo CI = MakeCacheInfo(BarBmp, R.Left, R.Top);
  PaintSectionWithMask(Ix.Section, Ix.BordersMask, Ix.Pattern, Ix.HotPattern, CI, true, State, TRect(0, 0, W, H),
                       TPoint(0, 0), E, Manager);
  if (Manager->IsValidMaskIndex(Ix.GlyphMask)) {
    const TsMaskData& Mask = Manager->Masks()[static_cast<std::size_t>(Ix.GlyphMask)];
    const TSize F = MaskFrameSize(Mask);
    TRect S(0, 0, W, H);
    const int Std = StdButtonSize();
    switch (GlyphSide) {
      case 1: S.Right = std::min(W, Std); break;
      case 2: S.Left = std::max(0, W - Std); break;
      case 3: S.Bottom = std::min(H, Std); break;
      case 4: S.Top = std::max(0, H - Std); break;
      default: break;
    }
    const TPoint P(S.Left + (S.Right - S.Left - F.cx) / 2, S.Top + (S.Bottom - S.Top - F.cy) / 2);
    if (F.cx > 0 && F.cy > 0) DrawSkinGlyph(E, P, State, 1, Mask, MakeCacheInfo(E));
  }
  BitBlt(BarBmp->Canvas()->Handle(), R.Left, R.Top, W, H, E->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// The background of a bar: the window's own answer to a background query. Answers whether the
// adapter goes on.
bool WindowBackground(TacScrollWnd* Adapter, HWND Handle, TCacheInfo& CI) {
  TacBGInfo Info;
  if (!BarsGoOnAfter(Adapter, [&] { QueryWindowBackground(Info, Handle, false); })) return false;
  CI = BGInfoToCacheInfo(Info);
  return true;
}

// Fills Bmp with the background at R (window coordinates) of the window.
void FillFromBackground(TBitmap* Bmp, const TCacheInfo& CI, const TRect& R) {
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  if (CI.Bmp != nullptr)
    BitBlt(Bmp->Canvas()->Handle(), 0, 0, W, H, CI.Bmp->Canvas()->Handle(), CI.X + R.Left, CI.Y + R.Top, SRCCOPY);
  else
    FillRectSolid(Bmp->Canvas()->Handle(), TRect(0, 0, W, H), ColorToRGB(CI.FillColor));
}

struct TBarSections {
  const TacSkinPartIndexes* Track1;
  const TacSkinPartIndexes* Track2;
  const TacSkinPartIndexes* Btn1;
  const TacSkinPartIndexes* Btn2;
  const TacSkinPartIndexes* Slider;
};

TBarSections SectionsOf(const TacScrollBar* Bar, TsSkinManager* M) {
  const TacCommonSkinIndexes& C = M->CommonSkinIndexes();
  if (Bar->BarKind == SB_VERT) return {&C.ScrollBar1V, &C.ScrollBar2V, &C.ScrollBtnTop, &C.ScrollBtnBottom, &C.ScrollSliderV};
  return {&C.ScrollBar1H, &C.ScrollBar2H, &C.ScrollBtnLeft, &C.ScrollBtnRight, &C.ScrollSliderH};
}

// A rectangle of the bar bitmap from along-the-bar positions [A, B).
TRect Span(const TacScrollBar* Bar, int A, int B, int Thick) {
  return Bar->BarKind == SB_VERT ? TRect(0, A, Thick, B) : TRect(A, 0, B, Thick);
}

// Paints a bar in R (window coordinates of DC). ThumbStartOverride: thumb start relative to the
// bar (-1: computed). Pressed: the part drawn pressed. DragMode: the look of a thumb drag (arrows
// and tracks normal, thumb pressed at ThumbStartOverride). A bar whose thumb is being dragged has
// that look whoever paints it, its thumb where the pointer holds it. Answers whether the adapter
// goes on (the window's answer to the background query may end it).
bool PaintBar(TacScrollBar* Bar, HWND Handle, HDC DC, int ThumbStartOverride, int Pressed, const TRect& R,
              bool DragMode) {
  TacScrollWnd* Adapter = Bar->Owner;
  TsSkinManager* M = ManagerOf(Adapter);
  const bool Vert = Bar->BarKind == SB_VERT;
  if (Adapter == nullptr || M == nullptr || !Bar->Visible) return true;
  const TacScrollTracking& T = acScrollTracking();
  if (!DragMode && Adapter->ThumbTracking && T.HoverWnd == Handle && T.TrackBar == Bar->BarKind) {
    DragMode = true;
    if (ThumbStartOverride == -1) ThumbStartOverride = T.DragThumbPos - StartOf(Bar, T.DragBarRect);
  }
  if (!DragMode && Vert && Adapter->Scrolling) return true;
  const TBarSections S = SectionsOf(Bar, M);
  if (!M->IsValidSectionIndex(S.Track1->Section)) return true;
  const int L = Vert ? R.Bottom - R.Top : R.Right - R.Left;
  const int Thick = Vert ? R.Right - R.Left : R.Bottom - R.Top;
  if (L < 2 || Thick <= 0) return true;
  ReadScrollInfo(Bar, Handle);
  const SCROLLINFO& SI = Bar->ScrollInfo;
  const int B = GetBarSize(Bar, false, true);
  const int Work = L - 2 * B;
  bool Enabled = IsBarEnabled(Bar);
  if (Adapter->SkinData != nullptr && Adapter->SkinData->OwnerControl() != nullptr)
    Enabled = Enabled && Adapter->SkinData->OwnerControl()->Enabled();

  int State1 = 0, State2 = 0;
  bool ThumbHot = false;
  if (!DragMode && T.HoverWnd == Handle) {
    const bool OverThis = T.HoverBar == Bar->BarKind && Enabled;
    State1 = Pressed == SB_LINEUP ? 2 : (OverThis && T.HoverPart == SB_LINEUP ? 1 : 0);
    State2 = Pressed == SB_LINEDOWN ? 2 : (OverThis && T.HoverPart == SB_LINEDOWN ? 1 : 0);
    ThumbHot = OverThis && T.HoverPart == SB_THUMBTRACK;
  } else {
    Pressed = -1;
  }
  // The thumb, relative to the bar.
  int ThumbSize = 0, ThumbPos = 0;
  CalcThumb(Bar, Vert ? TRect(0, 0, Thick, L) : TRect(0, 0, L, Thick), ThumbSize, ThumbPos);
  if (ThumbStartOverride != -1) ThumbPos = ThumbStartOverride;

  TCacheInfo CI;
  if (!WindowBackground(Adapter, Handle, CI)) return false;
  std::unique_ptr<TBitmap> Bmp(CreateBmp24(Vert ? Thick : L, Vert ? L : Thick));
  if (CI.Bmp != nullptr && acScrollBackgroundOffset != nullptr) {
    const TPoint D = acScrollBackgroundOffset(Adapter, Handle);
    CI.X += D.X;
    CI.Y += D.Y;
  }
  FillFromBackground(Bmp.get(), CI, R);
  std::unique_ptr<TBitmap> ElementBmp(CreateBmp24(Bmp->Width(), Bmp->Height()));
  auto Element = [&](const TacSkinPartIndexes& Ix, int State, const TRect& ER, int GlyphSide) {
    PaintElement(Bmp.get(), ElementBmp.get(), Ix, State, ER, M, GlyphSide);
  };

  if (2 * B >= L) {
    Element(*S.Track1, 0, Span(Bar, 0, L / 2, Thick), -1);
    Element(*S.Track2, 0, Span(Bar, L / 2, L, Thick), -1);
    Element(*S.Btn1, State1, Span(Bar, 0, L / 2, Thick), Vert ? 3 : 1);
    Element(*S.Btn2, State2, Span(Bar, L / 2, L, Thick), Vert ? 4 : 2);
  } else {
    const int Split = std::clamp(ThumbPos + ThumbSize / 2, 0, L);
    Element(*S.Track1, Pressed == SB_PAGEUP ? 2 : 0, Span(Bar, 0, Split, Thick), -1);
    Element(*S.Track2, Pressed == SB_PAGEDOWN ? 2 : 0, Span(Bar, Split, L, Thick), -1);
    Element(*S.Btn1, State1, Span(Bar, 0, B, Thick), Vert ? 3 : 1);
    Element(*S.Btn2, State2, Span(Bar, L - B, L, Thick), Vert ? 4 : 2);
    const int Range = SI.nMax - SI.nMin;
    int Shown = Range != 0 ? MulDiv(static_cast<int>(SI.nPage), Work, Range) : Work;
    Shown = std::max(Shown, Bar->MinThumbSize);
    if (Enabled && Shown >= 1 && Shown <= Work)
      Element(*S.Slider, DragMode ? 2 : (ThumbHot ? 1 : 0), Span(Bar, ThumbPos, ThumbPos + ThumbSize, Thick), 0);
  }

  if (!Enabled) {
    if (CI.Bmp != nullptr) {
      CopyBlendedWithKey(Bmp.get(), 0, 0, CI.Bmp,
                         TRect(CI.X + R.Left, CI.Y + R.Top, CI.X + R.Right, CI.Y + R.Bottom), 0.4, clKeyColor);
    } else {
      PaintRoundShadow(Bmp.get(), TRect(0, 0, Bmp->Width(), Bmp->Height()), 60, ColorToRGB(CI.FillColor), 0, 0);
    }
  }
  BitBlt(DC, R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top, Bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  return true;
}

// The bar's rectangle in window coordinates.
TRect WindowBarRect(TacScrollWnd* Adapter, int Kind, HWND Handle) {
  TRect R;
  GetBarRect(Adapter, Kind, Handle, R);
  const TRect W = WindowRectOf(Handle);
  return TRect(R.Left - W.Left, R.Top - W.Top, R.Right - W.Left, R.Bottom - W.Top);
}

// The part of the window's bar of that kind drawn pressed: the tracked press's while it is this
// window's bar, else none.
int PressedPartOf(HWND Handle, int Kind) {
  const TacScrollTracking& T = acScrollTracking();
  return T.HoverWnd == Handle && T.TrackBar == Kind ? T.PressedPart : -1;
}

// Whether the bars may be painted now: not while the skin data is updating, nor while its control
// is being created or is not showing.
bool ReadyToPaintBars(TacScrollWnd* Adapter) {
  TsCommonData* SD = Adapter->SkinData;
  if (SD == nullptr) return true;
  SD->Updating = SD->GetUpdating();
  if (SD->Updating) return false;
  if (TControl* C = SD->OwnerControl()) {
    if (C->ControlState().Contains(csCreating)) return false;
    if (auto* WC = dynamic_cast<TWinControl*>(C); WC != nullptr && !WC->Showing()) return false;
  }
  return true;
}

// Before the bars are painted, a stale background has the window prepare its cache. Answers
// whether the adapter goes on.
bool PrepareBarsBackground(TacScrollWnd* Adapter, HWND Handle) {
  if (Adapter->SkinData == nullptr || !Adapter->SkinData->BackgroundStale) return true;
  return BarsGoOnAfter(Adapter, [&] { SendSkinCommand(Handle, AC_PREPARECACHE, 0); });
}

bool PaintBarCorner(TacScrollWnd* Adapter, HWND Handle, HDC DC);

// Repaints one bar of the adapter in the window DC. Where the other bar is shown too, the system
// draws its own bar one pixel into the corner between them: the corner is painted again. Answers
// whether the adapter goes on.
bool RepaintBar(TacScrollWnd* Adapter, TacScrollBar* Bar, HWND Handle, int Pressed) {
  if (Adapter == nullptr || Bar == nullptr || !Bar->Visible) return true;
  HDC DC = GetWindowDC(Handle);
  const bool GoesOn = PaintScrollBar(Bar, Handle, DC, -1, Pressed, WindowBarRect(Adapter, Bar->BarKind, Handle)) &&
                      PaintBarCorner(Adapter, Handle, DC);
  ReleaseDC(Handle, DC);
  return GoesOn;
}

// Paints both bars and the corner (DC nullptr: the window DC). Answers whether the adapter goes on.
bool PaintShownBars(TacScrollWnd* Adapter, HWND Handle, int ThumbPos, HDC DC) {
  if (Adapter == nullptr || Adapter->HorzBar == nullptr || Adapter->VertBar == nullptr) return true;
  if (!ReadyToPaintBars(Adapter)) return true;
  if (!PrepareBarsBackground(Adapter, Handle)) return false;
  // Nothing to paint: no window DC is asked for.
  if (!Adapter->HorzBar->Visible && !Adapter->VertBar->Visible) return true;
  const bool OwnDC = DC == nullptr;
  if (OwnDC) DC = GetWindowDC(Handle);
  bool GoesOn = true;
  for (TacScrollBar* Bar : {Adapter->HorzBar, Adapter->VertBar}) {
    if (GoesOn && Bar->Visible)
      GoesOn = PaintScrollBar(Bar, Handle, DC, ThumbPos, PressedPartOf(Handle, Bar->BarKind),
                              WindowBarRect(Adapter, Bar->BarKind, Handle));
  }
  GoesOn = GoesOn && PaintBarCorner(Adapter, Handle, DC);
  if (OwnDC) ReleaseDC(Handle, DC);
  return GoesOn;
}

TacScrollBar* BarOfKind(TacScrollWnd* Adapter, int Kind) {
  return Kind == SB_HORZ ? Adapter->HorzBar : Kind == SB_VERT ? Adapter->VertBar : nullptr;
}

bool SameScrollData(const SCROLLINFO& A, const SCROLLINFO& B) {
  return A.nMin == B.nMin && A.nMax == B.nMax && A.nPage == B.nPage && A.nPos == B.nPos;
}

UINT_PTR StartTimer(HWND Handle, UINT_PTR Id, UINT Milliseconds) { return SetTimer(Handle, Id, Milliseconds, nullptr); }

// Sends one scroll message of a press or drag of the adapter's bars to its window (Releasing: of
// its release): answers whether the press or drag goes on (PressGoesOnAfter), or its release
// (ReleaseGoesOnAfter). An adapter freed meanwhile ends the handling of the message that sent it
// at once (TacAdapterFreed, as when a message passed on freed it), so that nothing up the way
// touches it either.
bool SendTrackedScroll(TacScrollWnd* Adapter, UINT Msg, int Code, int Pos, bool Releasing = false) {
  const HWND Handle = Adapter->CtrlHandle;
  const std::shared_ptr<bool> Alive = Adapter->Alive;
  Adapter->Scrolling = true;
  auto Send = [&] { SendScrollMessage(Handle, Msg, Code, Pos); };
  const bool GoesOn = Releasing ? ReleaseGoesOnAfter(Adapter, Send) : PressGoesOnAfter(Adapter, Send);
  if (!*Alive) throw TacAdapterFreed{};
  Adapter->Scrolling = false;
  return GoesOn;
}

// A drop-down list of a combo box of no framework control keeps the mouse after a press of its bar
// (the combo box tracks the list with it).
bool ListKeepsCapture(const TacScrollWnd* Adapter) {
  return Adapter->InheritsFromName("TacComboListWnd") &&
         (Adapter->SkinData == nullptr || Adapter->SkinData->OwnerControl() == nullptr);
}

// Ends the press of the adapter's bars as its release does: the mouse given back (but where the
// list keeps it), the repeat stopped, the drag's last position and the end of the scroll told to
// the window, the bar painted unpressed. Answers whether the adapter goes on.
bool EndPress(TacScrollWnd* Adapter) {
  TacScrollTracking& T = acScrollTracking();
  const HWND Handle = Adapter->CtrlHandle;
  if (!ListKeepsCapture(Adapter) && GetCapture() == Handle && !ReleaseGoesOnAfter(Adapter, [] { ReleaseCapture(); }))
    return false;
  const UINT Msg = T.ScrollMsg;
  const bool ArrowOrPage = T.TrackPart >= SB_LINEUP && T.TrackPart <= SB_PAGEDOWN;
  if (ArrowOrPage && T.RepeatTimer != 0) KillTimer(Handle, T.RepeatTimer);
  if (ArrowOrPage || T.TrackPart == SB_THUMBTRACK) {
    const int EndPos = ArrowOrPage ? 0 : T.LastTrackPos;
    if (Adapter->ThumbTracking) {
      if (!SendTrackedScroll(Adapter, Msg, SB_THUMBPOSITION, T.LastTrackPos, true)) return false;
      Adapter->ThumbTracking = false;
    }
    if (!SendTrackedScroll(Adapter, Msg, SB_ENDSCROLL, EndPos, true)) return false;
  }
  TacScrollBar* Bar = BarOfKind(Adapter, T.TrackBar);
  T.TrackPart = T.PressedPart = T.TrackBar = -1;
  T.RepeatTimer = 0;
  T.ScrollMsg = 0;
  if (Bar != nullptr) {
    ReadScrollInfo(Bar, Handle);
    if (!RepaintBar(Adapter, Bar, Handle, -1)) return false;
  }
  return true;
}

// The pressed-part update of a mouse position (screen coordinates) during an arrow or page press.
// Answers whether the adapter goes on.
bool TrackPressedPart(TacScrollWnd* Adapter, HWND Handle, POINT P) {
  TacScrollTracking& T = acScrollTracking();
  TacScrollBar* Bar = BarOfKind(Adapter, T.TrackBar);
  if (Bar == nullptr) return true;
  TRect R;
  GetBarRect(Adapter, T.TrackBar, Handle, R);
  const int Part = GetPartAt(Bar, Handle, R, P.y, P.x);
  const int NewPressed = Part == T.TrackPart ? T.TrackPart : -1;
  const bool Changed = NewPressed != T.PressedPart;
  T.PressedPart = NewPressed;
  return !Changed || RepaintBar(Adapter, Bar, Handle, T.PressedPart);
}

void ThumbTrack(TacScrollBar* Bar, HWND Handle, int X, int Y) {
  TacScrollWnd* Adapter = Bar->Owner;
  if (Adapter == nullptr) return;
  TacScrollTracking& T = acScrollTracking();
  const bool Vert = Bar->BarKind == SB_VERT;
  const int B = GetBarSize(Bar, false, false);
  const int Start = StartOf(Bar, T.DragBarRect) + B;
  const int End = EndOf(Bar, T.DragBarRect) - B;
  int ThumbStart = (Vert ? Y : X) - T.DragOffset;
  ThumbStart = std::max(Start, std::min(ThumbStart, End - T.DragThumbSize));
  ReadScrollInfo(Bar, Handle);
  const SCROLLINFO& SI = Bar->ScrollInfo;
  int Pos;
  const int Room = End - Start - T.DragThumbSize;
  if (SI.nMax - SI.nMin >= 1 && Room > 0)
    Pos = SI.nMin + MulDiv(ThumbStart - Start, SI.nMax - SI.nMin - static_cast<int>(SI.nPage) + 1, Room);
  else
    Pos = ThumbStart - Start;
  T.DragThumbPos = ThumbStart;
  if (Pos != T.LastTrackPos) {
    Bar->ScrollInfo.nTrackPos = Pos;
    if (!SendTrackedScroll(Adapter, T.ScrollMsg, SB_THUMBTRACK, Pos)) return;
  }
  T.LastTrackPos = Pos;
  // The drag is drawn once the window has scrolled: a window that sets its scroll data with a
  // redraw has the system draw its own bar meanwhile. The bar then shows the data it read: the
  // check after the message has nothing to paint again for it.
  HDC DC = GetWindowDC(Handle);
  const TRect R = WindowBarRect(Adapter, Bar->BarKind, Handle);
  const bool GoesOn = PaintBar(Bar, Handle, DC, ThumbStart - StartOf(Bar, T.DragBarRect), -1, R, true);
  ReleaseDC(Handle, DC);
  if (!GoesOn) return;
  Bar->CheckedInfo = Bar->ScrollInfo;
  Bar->CheckedArrows = Bar->DisabledArrows;
}

}  // namespace

TPoint (*acScrollBackgroundOffset)(TacScrollWnd* Adapter, HWND Handle) = nullptr;
UINT_PTR (*acScrollSetTimer)(HWND Handle, UINT_PTR Id, UINT Milliseconds) = StartTimer;

TacScrollTracking& acScrollTracking() {
  static TacScrollTracking State;
  return State;
}

// ---- TacScrollWnd ------------------------------------------------------------------------------

// Stops what tracking left running on the adapter's window: the hover and repeat timers, the
// mouse capture taken for a press, and the unit-wide tracking state when it belongs to the window.
void StopScrollTracking(TacScrollWnd* Adapter) {
  HWND H = Adapter != nullptr ? Adapter->CtrlHandle : nullptr;
  if (H == nullptr) return;
  Adapter->ThumbTracking = false;
  if (IsWindow(H))
    for (UINT_PTR Id : {acTimerHover, acTimerFirstRepeat, acTimerRepeat}) KillTimer(H, Id);
  TacScrollTracking& T = acScrollTracking();
  if (T.HoverWnd != H) return;
  if (T.TrackPart != -1 && GetCapture() == H) {
    // The press was the adapter's own (the window never heard of it), and so is the capture's
    // return: a handler of the window that freed the control here would free the adapter while it
    // is being freed, or the control while it is being destroyed.
    T.GivingBack = H;
    ReleaseCapture();
  }
  T = TacScrollTracking{};
}

namespace {

// The capture's return that StopScrollTracking gives back on the adapter's window: nobody hears of it.
bool CaptureGivenBack(const TacScrollWnd* Adapter, const TMessage& Message) {
  return Message.Msg == WM_CAPTURECHANGED && acScrollTracking().GivingBack == Adapter->CtrlHandle;
}

// Whether the adapter has a press or hover of its bars running: the tracking state is its window's,
// a thumb of its own is dragged, or the message is one of the tracking timers.
bool TracksInput(const TacScrollWnd* Adapter, const TMessage& Message) {
  if (acScrollTracking().HoverWnd == Adapter->CtrlHandle || Adapter->ThumbTracking) return true;
  return Message.Msg == WM_TIMER &&
         (Message.WParam == acTimerHover || Message.WParam == acTimerFirstRepeat || Message.WParam == acTimerRepeat);
}

}  // namespace

TacScrollWnd::~TacScrollWnd() {
  DetachOnDestroy();
  delete HorzBar;
  delete VertBar;
  HorzBar = VertBar = nullptr;
}

void TacScrollWnd::StopInputTracking() { StopScrollTracking(this); }

void TacScrollWnd::HookWindow(bool Repaint) { InitSkinScrollBars(this, CtrlHandle, Repaint); }

void TacScrollWnd::WndProc(TMessage& Message) {
  if (CaptureGivenBack(this, Message)) return;
  auto PassOn = [&] { Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam); };
  if (Message.Msg == WM_DESTROY || Message.Msg == WM_NCDESTROY) {
    StopScrollTracking(this);
    // A plain window is given back when it is destroyed for good; a framework control at once.
    const bool Hooked = OldWndProc != nullptr || static_cast<bool>(OldProc);
    if (Hooked && !Destroyed && (Message.Msg == WM_NCDESTROY || SkinData == nullptr || SkinData->OwnerControl() != nullptr)) {
      TacMainWnd* Self = this;
      UnhookScrollAdapter(CtrlHandle, false, false, Self);
    }
    PassOn();
    return;
  }
  if (Message.Msg == WM_UPDATEUISTATE || Destroyed) return;

  TsSkinManager* Manager = SkinData != nullptr ? SkinData->GetSkinManager() : nullptr;
  if (!BarsSkinned(this)) {
    // Without the skin the bars are the system's: a press or hover of the skinned bars that was
    // running when the skin went (the adapter stays with its window) ends now, its timers and
    // the mouse capture with it.
    if (TracksInput(this, Message)) StopScrollTracking(this);
    if (SkinData != nullptr && Message.Msg == SM_ALPHACMD && AlphaCmdCode(Message.WParam) == AC_NEWSKIN &&
        Message.LParam == reinterpret_cast<LPARAM>(Manager))
      SkinData->UpdateIndexes();
    PassOn();
    return;
  }
  const bool FromManager = Message.LParam == reinterpret_cast<LPARAM>(Manager);
  if (Message.Msg == SM_ALPHACMD) {
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
        if (FromManager) {
          SkinData->UpdateIndexes();
          BroadcastToChildren(SkinData->OwnerControl(), CtrlHandle, Message);
        }
        PassOn();
        return;
      case AC_SKINREMOVED:
        if (FromManager) RestoreStdParams();
        PassOn();
        return;
      case AC_REFRESHSKIN:
        if (FromManager) {
          TakeNewSkin(SkinData);
        }
        PassOn();
        return;
      case AC_REFRESHIFSKINNED:
        ResumeUpdating(SkinData, CtrlHandle, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
        PassOn();
        return;
      case AC_ISSKINNED:
        Message.Result = 1;
        return;
      case AC_SETUPDATING:
        SkinData->SetUpdating(AlphaCmdArg(Message.WParam) == 1);
        PassOn();
        return;
      case AC_GETCOLOR:
        PassOn();
        if (Message.Result == 0) Message.Result = SkinData->GetBackgroundColor(false, CtrlHandle);
        return;
      case AC_GETBACKGROUND:
        PassOn();
        if (Message.LParam != 0) {
          auto& Info = *reinterpret_cast<TacBGInfo*>(Message.LParam);
          if (Info.BgType == btUnknown) SkinData->GetBackgroundInfo(Info, false, CtrlHandle);
        }
        return;
      case AC_GETAPPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(Application);
        return;
      default:
        PassOn();
        return;
    }
  }

  switch (Message.Msg) {
    case WM_NCCALCSIZE:
      Message.Result = HandleNcCalcSize(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    case WM_NCHITTEST:
      Message.Result = HandleNcHitTest(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    case WM_NCPAINT: {
      // The previous procedure paints the frame first (its own scroll bars hidden from it), then
      // the skinned bars go over the reserved space.
      const HWND Wnd = CtrlHandle;
      if (!PassOnWithoutScrollStyles(
              this, Wnd, [&] { return BarsGoOnAfter(this, PassOn); },
              [Wnd] { SendMessageW(Wnd, WM_NCPAINT, 1, 0); }))
        return;
      if (IsWindowVisible(CtrlHandle)) {
        SkinData->Updating = SkinData->GetUpdating();
        if (!SkinData->Updating && !Scrolling) PaintSkinScrollBars(this, CtrlHandle, nullptr, 0, -1, nullptr);
      }
      return;
    }
    case WM_NCMOUSEMOVE:
      Message.Result = HandleNcMouseMove(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    case WM_NCMOUSELEAVE:
      // The system draws its own bars when the pointer leaves the frame, as on a move over them.
      PassOn();
      if (BarShown() && IsWindowVisible(CtrlHandle)) PaintSkinScrollBars(this, CtrlHandle, nullptr, 0, -1, nullptr);
      return;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL)
        Message.Result = HandleNcLButtonDown(this, CtrlHandle, Message.WParam, Message.LParam);
      else
        PassOn();
      return;
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP:
      if (Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL)
        Message.Result = 0;
      else
        PassOn();
      return;
    case WM_SYSCOMMAND:
      if (Message.WParam != 0xF077) PassOn();
      return;
    case WM_STYLECHANGED:
      if (IgnoreStyleChange)
        Message.Result = 0;
      else
        Message.Result = HandleStyleChanged(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    case WM_NOTIFY:
      PassOn();
      return;
    case WM_TIMER:
      Message.Result = HandleTimer(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    case WM_MOUSEMOVE:
      Message.Result = HandleMouseMove(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    case WM_LBUTTONUP:
      Message.Result = HandleLButtonUp(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    case 0xB029:
      if (WndSize.cx != 0) {
        PassOn();
        SetWindowPos(CtrlHandle, nullptr, 0, 0, WndSize.cx, WndSize.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOCOPYBITS | SWP_NOOWNERZORDER |
                         SWP_NOSENDCHANGING);
        return;
      }
      break;
    default:
      break;
  }
  PassOn();
  if (((Message.Msg == WM_MOUSEWHEEL || Message.Msg == 0xB043) && !Scrolling) || Message.Msg == 0xB007)
    UpdateScrollInfo(this, true);
}

void TacScrollWnd::AfterMessage(const TMessage& Message) {
  // A synthesized scroll paints the bar itself when it is done. While a thumb is dragged the
  // program may change the data too (the pointer held still): the dragged bar is painted in its
  // drag look then.
  if (Destroyed || Scrolling || FCheckingBars || CaptureGivenBack(this, Message)) return;
  if (!BarShown() || !BarsSkinned(this) || !IsWindow(CtrlHandle)) return;
  // The repaint's messages may free the adapter.
  const std::shared_ptr<bool> Living = Alive;
  FCheckingBars = true;
  TScopeExit Checked([&] {
    if (*Living) FCheckingBars = false;
  });
  // The framework set the data of the bars with a redraw: the system drew them, changed or not.
  if (Message.Msg == CM_SCROLLDATASET)
    RepaintBarsAfterChange(this, true);
  else if (MessageDepth > 0)
    RepaintChangedBars(this);
  else
    RepaintBarsAfterChange(this);
}

// ---- geometry ----------------------------------------------------------------------------------

void InitSkinScrollBars(TacScrollWnd* Adapter, HWND Handle, bool Repaint) {
  if (Adapter == nullptr) return;
  Adapter->Scrolling = false;
  Adapter->CtrlHandle = Handle;
  if (AttachedToAnotherAdapter(Handle, Adapter)) {
    HookAdapterWndProc(Adapter, Handle);  // leaves the adapter detached
    return;
  }
  delete Adapter->HorzBar;
  delete Adapter->VertBar;
  Adapter->HorzBar = new TacScrollBar(Adapter);
  Adapter->VertBar = new TacScrollBar(Adapter);
  Adapter->HorzBar->BarKind = SB_HORZ;
  Adapter->VertBar->BarKind = SB_VERT;
  ReadScrollInfo(Adapter->HorzBar, Handle);
  ReadScrollInfo(Adapter->VertBar, Handle);
  Adapter->LeftScrollBar = (GetWindowLongPtrW(Handle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
  SetPropA(Handle, acAdapterPropName, reinterpret_cast<HANDLE>(static_cast<TacMainWnd*>(Adapter)));
  const LONG_PTR Style = GetWindowLongPtrW(Handle, GWL_STYLE);
  Adapter->HorzBar->ScrollFlags = (Style & WS_HSCROLL) != 0 ? acsfHasStyle : 0;
  Adapter->VertBar->ScrollFlags = (Style & WS_VSCROLL) != 0 ? acsfHasStyle : 0;
  Adapter->IgnoreStyleChange = false;
  HookAdapterWndProc(Adapter, Handle);
  SetMinThumbSize(Handle, SB_BOTH, 10);
  if (Repaint) RefreshWindowFrame(Handle, true);
}

int GetBarSize(const TacScrollBar* Bar, bool Thickness, bool UseSkin) {
  if (Bar == nullptr || (Bar->BarKind != SB_HORZ && Bar->BarKind != SB_VERT)) return 0;
  const bool Vert = Bar->BarKind == SB_VERT;
  if (Thickness) {
    if (Bar->Thickness >= 0) return Bar->Thickness;
    return GetSystemMetrics(Vert ? SM_CXVSCROLL : SM_CYHSCROLL) * -Bar->Thickness;
  }
  if (Bar->ButtonLength >= 0) return Bar->ButtonLength;
  const int Std = StdButtonSize();
  TsSkinManager* M = UseSkin ? ManagerOf(Bar->Owner) : nullptr;
  if (M != nullptr) {
    const TacCommonSkinIndexes& C = M->CommonSkinIndexes();
    const int Sec = C.ScrollBtnLeft.Section;
    if (M->IsValidSectionIndex(Sec) && M->GeneralData()[static_cast<std::size_t>(Sec)].ReservedBoolean &&
        M->IsValidMaskIndex(C.ScrollBtnLeft.BordersMask)) {
      if (!Vert) {
        const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(C.ScrollBtnLeft.BordersMask)];
        const int Count = std::max<int>(Mask.ImageCount, 1);
        return std::max(Std, (Mask.R.Right - Mask.R.Left) / Count) * -Bar->ButtonLength;
      }
      if (M->IsValidMaskIndex(C.ScrollBtnTop.BordersMask)) {
        const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(C.ScrollBtnTop.BordersMask)];
        return std::max(Std, (Mask.R.Bottom - Mask.R.Top) / (Mask.MaskType + 1)) * -Bar->ButtonLength;
      }
    }
  }
  return Std * -Bar->ButtonLength;
}

void GetHorzBarRect(TacScrollWnd* Adapter, HWND Handle, TRect& R) {
  R = WindowRectOf(Handle);
  const int VT = VisibleThickness(Adapter->VertBar), HT = VisibleThickness(Adapter->HorzBar);
  if (Adapter->LeftScrollBar) {
    R.Left += VT + Adapter->InsetLeft;
    R.Right -= Adapter->InsetRight;
  } else {
    R.Left += Adapter->InsetLeft;
    R.Right -= VT + Adapter->InsetRight;
  }
  R.Bottom -= Adapter->InsetBottom;
  R.Top = R.Bottom - HT;
}

void GetVertBarRect(TacScrollWnd* Adapter, HWND Handle, TRect& R) {
  R = WindowRectOf(Handle);
  const int VT = VisibleThickness(Adapter->VertBar), HT = VisibleThickness(Adapter->HorzBar);
  R.Top += Adapter->InsetTop;
  R.Bottom -= HT + Adapter->InsetBottom;
  if (Adapter->LeftScrollBar) {
    R.Left += Adapter->InsetLeft;
    R.Right = R.Left + VT;
  } else {
    R.Right -= Adapter->InsetRight;
    R.Left = R.Right - VT;
  }
}

bool GetBarRect(TacScrollWnd* Adapter, int BarKind, HWND Handle, TRect& R) {
  if (Adapter == nullptr) return false;
  if (BarKind == SB_HORZ) {
    GetHorzBarRect(Adapter, Handle, R);
    return true;
  }
  if (BarKind == SB_VERT) {
    GetVertBarRect(Adapter, Handle, R);
    return true;
  }
  return false;
}

void CalcThumb(const TacScrollBar* Bar, const TRect& R, int& ThumbSize, int& ThumbPos) {
  const int Start = StartOf(Bar, R), End = EndOf(Bar, R);
  const int B = GetBarSize(Bar, false, false);
  const int Work = (End - Start) - 2 * B;
  const SCROLLINFO& SI = Bar->ScrollInfo;
  const int Range = SI.nMax - SI.nMin + 1;
  if (SI.nPage == 0)
    ThumbSize = B;
  else if (Range > 0)
    ThumbSize = std::max(MulDiv(static_cast<int>(SI.nPage), Work, Range), Bar->MinThumbSize);
  else
    ThumbSize = 0;
  int Offset = 0;
  if (Range > 0) {
    const int Den = Range - std::max<int>(static_cast<int>(SI.nPage), 1);
    Offset = Den != 0 ? MulDiv(SI.nPos - SI.nMin, Work - ThumbSize, Den) : 0;
    Offset = std::max(0, std::min(Offset, Work - ThumbSize));
  }
  ThumbPos = Start + B + Offset;
}

int GetPartAt(const TacScrollBar* Bar, HWND /*Handle*/, TRect R, int Y, int X) {
  if (Bar == nullptr) return -1;
  R = PartsRect(Bar, R);
  const bool Vert = Bar->BarKind == SB_VERT;
  const int Along = Vert ? Y : X, Across = Vert ? X : Y;
  const int C0 = Vert ? R.Left : R.Top, C1 = Vert ? R.Right : R.Bottom;
  if (Across < C0 || Across >= C1) return -1;
  const int Start = StartOf(Bar, R), End = EndOf(Bar, R);
  const int Len = End - Start;
  const int FullB = GetBarSize(Bar, false, false);
  int B = FullB;
  if (Len <= 2 * B) B = Len / 2;
  if (Along >= Start && Along < Start + B) return SB_LINEUP;
  if (Along >= End - B && Along < End) return SB_LINEDOWN;
  int ThumbSize = 0, ThumbPos = 0;
  CalcThumb(Bar, R, ThumbSize, ThumbPos);
  if (ThumbSize >= Len - 2 * FullB) return -1;
  if (Along >= ThumbPos && Along < ThumbPos + ThumbSize) return SB_THUMBTRACK;
  if (Along >= Start + B && Along < ThumbPos) return SB_PAGEUP;
  if (Along >= ThumbPos + ThumbSize && Along < End - B) return SB_PAGEDOWN;
  return -1;
}

bool IsBarEnabled(const TacScrollBar* Bar) {
  if (Bar == nullptr || Bar->Owner == nullptr) return false;
  HWND Handle = Bar->Owner->CtrlHandle;
  if (acGetScrollBarInfo != nullptr) {
    SCROLLBARINFO Info{};
    Info.cbSize = sizeof(SCROLLBARINFO);
    const LONG Obj = Bar->BarKind == SB_HORZ ? OBJID_HSCROLL : Bar->BarKind == SB_VERT ? OBJID_VSCROLL : OBJID_CLIENT;
    if (!acGetScrollBarInfo(Handle, Obj, &Info)) return false;
    if ((Bar->ScrollFlags & (acsfFirstArrowDisabled | acsfSecondArrowDisabled)) ==
        (acsfFirstArrowDisabled | acsfSecondArrowDisabled))
      return false;
    if ((Bar->ScrollFlags & acsfNeedsRange) != 0) {
      const SCROLLINFO& SI = Bar->ScrollInfo;
      if (!(SI.nMax >= static_cast<int>(SI.nPage) && SI.nMax > SI.nMin && SI.nMax != 0)) return false;
    }
    // The whole bar, or both of its arrows, unavailable.
    if ((Info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0) return false;
    return (Info.rgstate[1] & Info.rgstate[5] & STATE_SYSTEM_UNAVAILABLE) == 0;
  }
  const LONG_PTR Style = GetWindowLongPtrW(Handle, GWL_STYLE);
  return (Style & (Bar->BarKind == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

bool IsGripAtParentCorner(TacScrollWnd* Adapter, HWND Handle, const TRect& R) {
  HWND Parent = GetParent(Handle);
  if (Parent == nullptr || (GetWindowLongPtrW(Handle, GWL_STYLE) & WS_CHILD) == 0) return true;
  if ((GetWindowLongPtrW(Parent, GWL_STYLE) & WS_CHILD) != 0) return false;
  RECT C{};
  GetClientRect(Parent, &C);
  POINT TL{C.left, C.top}, BR{C.right, C.bottom};
  ClientToScreen(Parent, &TL);
  ClientToScreen(Parent, &BR);
  if (!Adapter->LeftScrollBar) return R.Right + Adapter->InsetRight == BR.x && R.Bottom + Adapter->InsetBottom == BR.y;
  return R.Left - Adapter->InsetLeft == TL.x && R.Bottom + Adapter->InsetBottom == BR.y;
}

LRESULT HandleNcCalcSize(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  if (Adapter == nullptr || LParam == 0) return 0;
  RECT* R = reinterpret_cast<RECT*>(LParam);  // the first rectangle either way
  const RECT Old = *R;
  const LONG_PTR Style = GetWindowLongPtrW(Handle, GWL_STYLE);
  LRESULT Result = 0;
  LPARAM LP = LParam;
  // Passing it on may free the adapter or end the skin: the window then computes its frame again
  // as what it is now.
  const bool Skinned = BarsSkinned(Adapter);
  auto Pass = [&] { Result = CallOldWndProc(Adapter, Handle, WM_NCCALCSIZE, WParam, LP); };
  const bool GoesOn = PassOnWithoutScrollStyles(
      Adapter, Handle, [&] { return Skinned ? BarsGoOnAfter(Adapter, Pass) : AdapterGoesOnAfter(Adapter, Pass); },
      [&] {
        *R = Old;
        Result = SendMessageW(Handle, WM_NCCALCSIZE, WParam, LParam);
      });
  if (!GoesOn) return Result;
  Adapter->InsetLeft = R->left - Old.left;
  Adapter->InsetRight = Old.right - R->right;
  Adapter->InsetTop = R->top - Old.top;
  Adapter->InsetBottom = Old.bottom - R->bottom;
  if (Adapter->HorzBar == nullptr || Adapter->VertBar == nullptr) return Result;
  TacScrollBar* H = Adapter->HorzBar;
  H->ScrollFlags = (Style & WS_HSCROLL) != 0 ? acsfHasStyle : 0;
  const int HT = GetBarSize(H, true, false);
  if (H->ScrollFlags != 0 && HT <= R->bottom - R->top) {
    R->bottom -= HT;
    H->Visible = true;
  } else {
    H->Visible = false;
  }
  TacScrollBar* V = Adapter->VertBar;
  V->ScrollFlags = (Style & WS_VSCROLL) != 0 ? acsfHasStyle : 0;
  const int VT = GetBarSize(V, true, false);
  if (V->ScrollFlags != 0 && VT <= R->right - R->left) {
    if (Adapter->LeftScrollBar)
      R->left += VT;
    else
      R->right -= VT;
    V->Visible = true;
  } else {
    V->Visible = false;
  }
  return Result;
}

LRESULT HandleNcCalcSize(TacScrollWnd* Adapter, HWND Handle, WPARAM /*WParam*/, TRect& R) {
  RECT Plain{R.Left, R.Top, R.Right, R.Bottom};
  const LRESULT Result = HandleNcCalcSize(Adapter, Handle, FALSE, reinterpret_cast<LPARAM>(&Plain));
  R = ToRect(Plain);
  return Result;
}

// ---- painting ----------------------------------------------------------------------------------

namespace {

// The square between two shown bars, with the size grip when the window's corner is its parent's.
// Answers whether the adapter goes on.
bool PaintBarCorner(TacScrollWnd* Adapter, HWND Handle, HDC DC) {
  if (!Adapter->HorzBar->Visible || !Adapter->VertBar->Visible) return true;
  const TRect W = WindowRectOf(Handle);
  const int Width = W.Right - W.Left, Height = W.Bottom - W.Top;
  const int HT = GetBarSize(Adapter->HorzBar, true, false), VT = GetBarSize(Adapter->VertBar, true, false);
  TRect C;
  C.Bottom = Height - Adapter->InsetBottom;
  C.Top = C.Bottom - HT;
  if (Adapter->LeftScrollBar) {
    C.Left = Adapter->InsetLeft;
    C.Right = C.Left + VT;
  } else {
    C.Right = Width - Adapter->InsetRight;
    C.Left = C.Right - VT;
  }
  if (C.Right > C.Left && C.Bottom > C.Top) {
    TCacheInfo CI;
    if (!WindowBackground(Adapter, Handle, CI)) return false;
    std::unique_ptr<TBitmap> Bmp(CreateBmp24(C.Right - C.Left, C.Bottom - C.Top));
    FillFromBackground(Bmp.get(), CI, C);
    TsSkinManager* M = ManagerOf(Adapter);
    const TRect Screen(C.Left + W.Left, C.Top + W.Top, C.Right + W.Left, C.Bottom + W.Top);
    if (M != nullptr && IsGripAtParentCorner(Adapter, Handle, Screen)) {
      const int Grip = M->GetMaskIndex(M->CommonSkinIndexes().GlobalInfo, "GLOBALINFO", "GRIPIMAGE");
      if (M->IsValidMaskIndex(Grip)) {
        const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(Grip)];
        const TSize F = MaskFrameSize(Mask);
        DrawSkinGlyph(Bmp.get(), TPoint(Bmp->Width() - F.cx, Bmp->Height() - F.cy), 0, 1, Mask,
                      MakeCacheInfo(Bmp.get()));
      }
    }
    BitBlt(DC, C.Left, C.Top, C.Right - C.Left, C.Bottom - C.Top, Bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  return true;
}

}  // namespace

LRESULT PaintSkinScrollBars(TacScrollWnd* Adapter, HWND Handle, HRGN /*Region*/, LPARAM /*LParam*/, int ThumbPos,
                            HDC DC) {
  PaintShownBars(Adapter, Handle, ThumbPos, DC);
  return 0;
}

bool PaintScrollBar(TacScrollBar* Bar, HWND Handle, HDC DC, int ThumbPos, int Pressed, const TRect& R) {
  if (Bar == nullptr || DC == nullptr) return true;
  ++Bar->Paints;
  // A thumb override comes in the bar rectangle's coordinates.
  const int Override = ThumbPos == -1 ? -1 : ThumbPos - StartOf(Bar, R);
  return PaintBar(Bar, Handle, DC, Override, Pressed, R, false);
}

TacScrollBar* GetWndScrollBar(HWND Handle, int BarKind) {
  auto* Adapter = dynamic_cast<TacScrollWnd*>(GetWndAdapter(Handle));
  return Adapter != nullptr ? BarOfKind(Adapter, BarKind) : nullptr;
}

int SetMinThumbSize(HWND Handle, int BarKind, int Size) {
  auto* Adapter = dynamic_cast<TacScrollWnd*>(GetWndAdapter(Handle));
  if (Adapter == nullptr) return 0;
  if ((BarKind == SB_HORZ || BarKind == SB_BOTH) && Adapter->HorzBar != nullptr) Adapter->HorzBar->MinThumbSize = Size;
  if ((BarKind == SB_VERT || BarKind == SB_BOTH) && Adapter->VertBar != nullptr) Adapter->VertBar->MinThumbSize = Size;
  return 1;
}

void RefreshScrollAdapter(TsCommonData* SkinData, TacScrollWnd*& Adapter) {
  if (SkinData == nullptr) return;
  auto* C = dynamic_cast<TWinControl*>(SkinData->OwnerControl());
  if (C == nullptr) return;
  const TComponentState St = C->ComponentState();
  if (St.Contains(csLoading) || St.Contains(csDestroying) || St.Contains(csDesigning)) return;
  if (SkinData->IsSkinned(false)) {
    if (!C->HandleAllocated()) return;
    if (acUninitializeFlatSB != nullptr) acUninitializeFlatSB(C->Handle());
    if (Adapter != nullptr && Adapter->Destroyed) {
      delete Adapter;
      Adapter = nullptr;
    }
    if (Adapter == nullptr)
      Adapter = TacMainWnd::Create<TacScrollWnd>(C->Handle(), SkinData, SkinData->GetSkinManager(),
                                                  SkinData->SkinSection(), true);
  } else {
    delete Adapter;
    Adapter = nullptr;
    if (acInitializeFlatSB != nullptr && C->HandleAllocated()) acInitializeFlatSB(C->Handle());
  }
}

// ---- tracking ----------------------------------------------------------------------------------

LRESULT SendScrollMessage(HWND Handle, UINT Msg, int Code, int Pos) {
  const LPARAM Frame = static_cast<LPARAM>(MAKELONG(static_cast<WORD>(Code), static_cast<WORD>(Msg)));
  if (SendSkinCommand(Handle, AC_BEFORESCROLL, Frame) != 1) {
    SCROLLINFO SI{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    const int Kind = Msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
    GetScrollInfo(Handle, Kind, &SI);
    if (Code == SB_THUMBTRACK) {
      SCROLLINFO P{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, Pos, 0};
      SetScrollInfo(Handle, Kind, &P, FALSE);
    }
    const unsigned High = std::min<unsigned>(static_cast<unsigned>(Pos), 65535u);
    SendMessageW(Handle, Msg, MAKEWPARAM(static_cast<WORD>(Code), static_cast<WORD>(High)), 0);
  } else {
    SendMessageW(Handle, Msg, MAKEWPARAM(static_cast<WORD>(Code), static_cast<WORD>(Pos & 0xFFFF)), Pos);
  }
  return SendSkinCommand(Handle, AC_AFTERSCROLL, Frame);
}

void UpdateScrollInfo(TacScrollWnd* Adapter, bool Repaint) {
  if (Adapter == nullptr || Adapter->HorzBar == nullptr || Adapter->VertBar == nullptr) return;
  if (Adapter->SkinData != nullptr && Adapter->SkinData->Updating) return;
  ReadScrollInfo(Adapter->HorzBar, Adapter->CtrlHandle);
  ReadScrollInfo(Adapter->VertBar, Adapter->CtrlHandle);
  if (Repaint && acAnimationDC == nullptr) PaintSkinScrollBars(Adapter, Adapter->CtrlHandle, nullptr, 0, -1, nullptr);
}

namespace {
// The window is shown with a skinned bar shown, and its skin is not being changed.
bool HasShownBars(TacScrollWnd* Adapter, HWND H) {
  if (Adapter->HorzBar == nullptr || Adapter->VertBar == nullptr) return false;
  if (!Adapter->HorzBar->Visible && !Adapter->VertBar->Visible) return false;
  if (Adapter->SkinData != nullptr && Adapter->SkinData->Updating) return false;
  return IsWindowVisible(H) != FALSE;
}
}  // namespace

// Runs after every message of the window: a bar whose picture did not change is left alone, and
// the hover timer repaints the hot bar itself when its hot part changes.
void RepaintChangedBars(TacScrollWnd* Adapter) {
  HWND H = Adapter->CtrlHandle;
  if (!HasShownBars(Adapter, H)) return;
  TacScrollBar* Changed[2] = {};
  int Count = 0;
  for (TacScrollBar* Bar : {Adapter->HorzBar, Adapter->VertBar}) {
    if (!Bar->Visible) continue;
    const SCROLLINFO Shown = Bar->ScrollInfo;
    const Word ShownArrows = Bar->DisabledArrows;
    ReadScrollInfo(Bar, H);
    if ((!SameScrollData(Shown, Bar->ScrollInfo) || ShownArrows != Bar->DisabledArrows) && acAnimationDC == nullptr)
      Changed[Count++] = Bar;
  }
  if (Count == 0 || !ReadyToPaintBars(Adapter) || !PrepareBarsBackground(Adapter, H)) return;
  for (int I = 0; I < Count; ++I)
    if (!RepaintBar(Adapter, Changed[I], H, PressedPartOf(H, Changed[I]->BarKind))) return;
}

// A window sets the data of its bars together, and the system then draws each of them, also one
// whose data stayed. The bars as the last check found them are the measure, not as a paint in
// between read them: a bar shown or hidden has the frame painted in the middle of the message,
// before the window sets the data of the bars that stay.
void RepaintBarsAfterChange(TacScrollWnd* Adapter, bool SystemDrew) {
  HWND H = Adapter->CtrlHandle;
  if (!HasShownBars(Adapter, H)) return;
  bool Changed = SystemDrew;
  for (TacScrollBar* Bar : {Adapter->HorzBar, Adapter->VertBar}) {
    if (!Bar->Visible) continue;
    ReadScrollInfo(Bar, H);
    if (!SameScrollData(Bar->CheckedInfo, Bar->ScrollInfo) || Bar->CheckedArrows != Bar->DisabledArrows)
      Changed = true;
    Bar->CheckedInfo = Bar->ScrollInfo;
    Bar->CheckedArrows = Bar->DisabledArrows;
  }
  if (Changed && acAnimationDC == nullptr) PaintSkinScrollBars(Adapter, H, nullptr, 0, -1, nullptr);
}

void UnhookScrollAdapter(HWND Handle, bool FreeAdapter, bool Repaint, TacMainWnd*& Adapter) {
  if (Adapter == nullptr) return;
  // The bars go once the window has its own procedure and parameters back.
  UnhookAdapterWndProc(Handle, FreeAdapter, Repaint, Adapter, [](TacMainWnd* A) {
    if (auto* S = dynamic_cast<TacScrollWnd*>(A)) {
      for (TacScrollBar** B : {&S->HorzBar, &S->VertBar}) {
        if (*B != nullptr) (*B)->Owner = nullptr;
        delete *B;
        *B = nullptr;
      }
    }
  });
}

LRESULT HandleNcHitTest(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  const int X = GET_X_LPARAM(LParam), Y = GET_Y_LPARAM(LParam);
  auto In = [&](const TRect& R) { return X >= R.Left && X < R.Right && Y >= R.Top && Y < R.Bottom; };
  if (Adapter->HorzBar != nullptr && Adapter->VertBar != nullptr) {
    TRect H, V;
    GetHorzBarRect(Adapter, Handle, H);
    GetVertBarRect(Adapter, Handle, V);
    if (Adapter->HorzBar->Visible && In(H)) return IsBarEnabled(Adapter->HorzBar) ? HTHSCROLL : 0;
    if (Adapter->VertBar->Visible && In(V)) return IsBarEnabled(Adapter->VertBar) ? HTVSCROLL : 0;
    if (Adapter->HorzBar->Visible && Adapter->VertBar->Visible) {
      const TRect C = Adapter->LeftScrollBar ? TRect(V.Left, H.Top, V.Right, H.Bottom)
                                             : TRect(H.Right, H.Top, V.Right, H.Bottom);
      if (In(C) && IsGripAtParentCorner(Adapter, Handle, C)) return HTBOTTOMRIGHT;
    }
  }
  LPARAM LP = LParam;
  return CallOldWndProc(Adapter, Handle, WM_NCHITTEST, WParam, LP);
}

LRESULT HandleNcMouseMove(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  TacScrollTracking& T = acScrollTracking();
  if (WParam == HTHSCROLL || WParam == HTVSCROLL) {
    const int Kind = WParam == HTHSCROLL ? SB_HORZ : SB_VERT;
    if (T.HoverBar != Kind || T.HoverWnd != Handle) {
      T.HoverWnd = Handle;
      T.LastHoverPart = -1;
      T.HoverPart = -1;
      GetBarRect(Adapter, Kind, Handle, T.HoverBarRect);
      T.HoverBar = Kind;
      T.HoverTimer = acScrollSetTimer(Handle, acTimerHover, 20) != 0 ? acTimerHover : 0;
      if (!PaintShownBars(Adapter, Handle, -1, nullptr)) return 0;
    }
  }
  T.HoverWnd = Handle;
  LPARAM LP = LParam;
  const LRESULT Result = CallOldWndProc(Adapter, Handle, WM_NCMOUSEMOVE, WParam, LP);
  // The system draws its own hot bar on a move over a bar once it has drawn that bar before (a
  // change of the scroll data draws it): the skinned one goes back over it.
  if (WParam == HTHSCROLL || WParam == HTVSCROLL)
    RepaintBar(Adapter, BarOfKind(Adapter, WParam == HTHSCROLL ? SB_HORZ : SB_VERT), Handle,
               PressedPartOf(Handle, WParam == HTHSCROLL ? SB_HORZ : SB_VERT));
  return Result;
}

LRESULT HandleNcLButtonDown(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  TacScrollTracking& T = acScrollTracking();
  T.HoverWnd = Handle;
  TacScrollBar* Bar;
  if (WParam == HTVSCROLL) {
    T.ScrollMsg = WM_VSCROLL;
    T.TrackBar = SB_VERT;
    Bar = Adapter->VertBar;
  } else {
    T.ScrollMsg = WM_HSCROLL;
    T.TrackBar = SB_HORZ;
    Bar = Adapter->HorzBar;
  }
  if (Bar == nullptr) return 0;
  const int X = GET_X_LPARAM(LParam), Y = GET_Y_LPARAM(LParam);
  TRect R;
  GetBarRect(Adapter, T.TrackBar, Handle, R);
  ReadScrollInfo(Bar, Handle);
  T.TrackPart = GetPartAt(Bar, Handle, R, Y, X);
  T.ButtonHeld = (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
  const int Part = T.TrackPart;
  // An arrow is unavailable by the bar's own flags or as the window reports it (the program
  // disabled it with EnableScrollBar, read just now): it takes no press, as the system's would not.
  const Word Unavailable = Bar->ScrollFlags | Bar->DisabledArrows;
  const bool Repeating = (Part == SB_LINEUP && (Unavailable & acsfFirstArrowDisabled) == 0) ||
                         (Part == SB_LINEDOWN && (Unavailable & acsfSecondArrowDisabled) == 0) ||
                         Part == SB_PAGEUP || Part == SB_PAGEDOWN;
  if (Repeating) {
    if (!IsBarEnabled(Bar)) {
      T.TrackPart = -1;  // a disabled bar neither repeats nor keeps the mouse
    } else {
      T.PressedPart = Part;
      if (!RepaintBar(Adapter, Bar, Handle, T.PressedPart)) return 0;
      // The press holds the mouse from its first scroll on.
      SetCapture(Handle);
      if (!SendTrackedScroll(Adapter, T.ScrollMsg, T.TrackPart, 0)) return 0;
      T.PressedPart = T.TrackPart;
      T.RepeatTimer = acScrollSetTimer(Handle, acTimerFirstRepeat, 300) != 0 ? acTimerFirstRepeat : 0;
    }
  } else if (Part == SB_THUMBTRACK) {
    if (!IsBarEnabled(Bar)) {
      T.TrackPart = -1;
    } else {
      CalcThumb(Bar, R, T.DragThumbSize, T.DragThumbPos);
      T.DragBarRect = R;
      Adapter->ThumbTracking = true;
      Bar->ScrollInfo.nTrackPos = Bar->ScrollInfo.nPos;
      T.DragOffset = (Bar->BarKind == SB_VERT ? Y : X) - T.DragThumbPos;
      T.LastTrackPos = Bar->ScrollInfo.nPos;
    }
  } else {
    // Nothing the skinned bar handles (a disabled arrow, no room for a thumb).
    T.TrackPart = -1;
    return 0;
  }
  if (T.TrackPart != -1 && GetCapture() != Handle) SetCapture(Handle);
  return 0;
}

LRESULT HandleMouseMove(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  TacScrollTracking& T = acScrollTracking();
  if (Adapter->ThumbTracking) {
    const DWORD P = GetMessagePos();
    TacScrollBar* Bar = BarOfKind(Adapter, T.TrackBar);
    if (Bar != nullptr) ThumbTrack(Bar, Handle, GET_X_LPARAM(P), GET_Y_LPARAM(P));
    return 0;
  }
  if (T.HoverWnd == Handle && (T.TrackPart == SB_LINEUP || T.TrackPart == SB_LINEDOWN || T.TrackPart == SB_PAGEUP ||
                               T.TrackPart == SB_PAGEDOWN || T.TrackPart == SB_THUMBTRACK)) {
    const DWORD P = GetMessagePos();
    TrackPressedPart(Adapter, Handle, POINT{GET_X_LPARAM(P), GET_Y_LPARAM(P)});
    return 0;
  }
  LPARAM LP = LParam;
  return CallOldWndProc(Adapter, Handle, WM_MOUSEMOVE, WParam, LP);
}

LRESULT HandleLButtonUp(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  TacScrollTracking& T = acScrollTracking();
  LPARAM LP = LParam;
  if (T.TrackPart == -1 || T.HoverWnd != Handle) return CallOldWndProc(Adapter, Handle, WM_LBUTTONUP, WParam, LP);
  if (!EndPress(Adapter)) return 0;
  const bool ImageView = Adapter->SkinData != nullptr && Adapter->SkinData->OwnerControl() != nullptr &&
                         Adapter->SkinData->OwnerControl()->ClassNameIs("TImageEnView");
  if (ImageView || ListKeepsCapture(Adapter)) return 0;
  return CallOldWndProc(Adapter, Handle, WM_LBUTTONUP, WParam, LP);
}

LRESULT HandleTimer(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  TacScrollTracking& T = acScrollTracking();
  switch (WParam) {
    case acTimerHover: {
      if (Adapter->ThumbTracking) return 0;
      POINT P{};
      GetCursorPos(&P);
      const TRect& R = T.HoverBarRect;
      TacScrollBar* Bar = BarOfKind(Adapter, T.HoverBar);
      if (Bar != nullptr && T.HoverWnd == Handle && P.x >= R.Left && P.x < R.Right && P.y >= R.Top && P.y < R.Bottom) {
        T.HoverPart = GetPartAt(Bar, Handle, R, P.y, P.x);
        if (T.HoverPart != T.LastHoverPart && !RepaintBar(Adapter, Bar, Handle, -1)) return 0;
        T.LastHoverPart = T.HoverPart;
      } else {
        KillTimer(Handle, acTimerHover);
        // The hover state is this window's only while the pointer has not gone on to another
        // window's bar; that window's state stays.
        if (T.HoverWnd == Handle) {
          T.HoverTimer = 0;
          T.HoverBar = T.HoverPart = T.LastHoverPart = -1;
        }
        PaintSkinScrollBars(Adapter, Handle, nullptr, 0, -1, nullptr);
      }
      return 0;
    }
    case acTimerFirstRepeat:
      KillTimer(Handle, acTimerFirstRepeat);
      T.RepeatTimer = acScrollSetTimer(Handle, acTimerRepeat, 55) != 0 ? acTimerRepeat : 0;
      return 0;
    case acTimerRepeat: {
      if (T.TrackPart == -1 || T.HoverWnd != Handle) {
        KillTimer(Handle, acTimerRepeat);
        return 0;
      }
      POINT P{};
      GetCursorPos(&P);
      if (!TrackPressedPart(Adapter, Handle, P)) return 0;
      if (T.PressedPart != -1) SendTrackedScroll(Adapter, T.ScrollMsg, T.PressedPart, 0);
      return 0;
    }
    default: {
      LPARAM LP = LParam;
      return CallOldWndProc(Adapter, Handle, WM_TIMER, WParam, LP);
    }
  }
}

LRESULT HandleStyleChanged(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam) {
  if (static_cast<int>(WParam) == GWL_EXSTYLE && LParam != 0)
    Adapter->LeftScrollBar = (reinterpret_cast<const STYLESTRUCT*>(LParam)->styleNew & WS_EX_LEFTSCROLLBAR) != 0;
  LPARAM LP = LParam;
  return CallOldWndProc(Adapter, Handle, WM_STYLECHANGED, WParam, LP);
}

namespace {
// A step of a drag the program makes itself: a handler of its scroll message may free the adapter,
// whose end stops here (no message of the adapter's is there to end).
void ProgramThumbStep(TacScrollBar* Bar, HWND Handle, int X, int Y) {
  if (Bar == nullptr) return;
  try {
    ThumbTrack(Bar, Handle, X, Y);
  } catch (const TacAdapterFreed&) {
  }
}
}  // namespace

void ThumbTrackHorz(TacScrollBar* Bar, HWND Handle, int X, int Y) { ProgramThumbStep(Bar, Handle, X, Y); }
void ThumbTrackVert(TacScrollBar* Bar, HWND Handle, int X, int Y) { ProgramThumbStep(Bar, Handle, X, Y); }
