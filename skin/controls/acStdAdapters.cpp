// Adapters of static texts, push buttons, check boxes, radio buttons and group boxes.
#include "skin/controls/acStdAdapters.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/Graphics.h"
#include "skin/core/acGlow.h"
#include "skin/core/acGlyphLayout.h"
#include "skin/core/acPNG.h"
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

AnsiString SectionOr(const AnsiString& Given, const char* Default) { return Given.empty() ? AnsiString(Default) : Given; }

// The cache canvas takes the control's font, or a copy of the window's WM_GETFONT font.
void UseWindowFont(TCanvas* Canvas, HWND Wnd, TsCommonData* SkinData) {
  if (SkinData != nullptr && SkinData->OwnerControl() != nullptr) {
    Canvas->SetFont(SkinData->OwnerControl()->Font());
    return;
  }
  TakeWindowFont(Canvas, Wnd);
}

// The cache bitmap of the window's size (24-bit).

// A disabled window's cache: blended with the parent's picture at 0.4, or faded 40 % toward its
// colour.
void FadeDisabled(TBitmap* Cache, const TCacheInfo& CI, const TPoint& Pos) {
  if (Cache == nullptr || Cache->Width() <= 0 || Cache->Height() <= 0) return;
  if (CI.Bmp != nullptr) {
    const int X = CI.X + Pos.X, Y = CI.Y + Pos.Y;
    CopyBlendedWithKey(Cache, 0, 0, CI.Bmp, TRect(X, Y, X + Cache->Width(), Y + Cache->Height()), 0.4, clKeyColor);
  } else {
    FadeBitmapToColor(Cache, ColorToRGB(CI.FillColor), clKeyColor, 0.4);
  }
}

// Text extent with the canvas font selected.
TSize MeasureText(TCanvas* Canvas, const WideString& Text, int Width, UINT Flags) {
  HDC DC = Canvas->Handle();
  HGDIOBJ Old = SelectObject(DC, Canvas->Font()->Handle());
  TRect R(0, 0, Width, 0);
  if (!Text.empty()) DrawTextStr(DC, Text, R, Flags);
  SelectObject(DC, Old);
  return TSize{R.Right - R.Left, R.Bottom - R.Top};
}

bool IsHoverWindow(HWND Wnd) {
  TsSkinManager* Def = TsSkinManager::DefaultManager();
  return Def != nullptr && Def->HoverWindow() == Wnd;
}

bool CursorInWindow(HWND Wnd) {
  POINT P{};
  RECT R{};
  GetCursorPos(&P);
  GetWindowRect(Wnd, &R);
  return PtInRect(&R, P) != FALSE;
}

// The window style of the check box being painted.
LONG_PTR PaintingCheckStyle = 0;

}  // namespace

bool acIsRadioStyle(LONG_PTR Style) {
  const LONG_PTR Type = Style & BS_TYPEMASK;
  return Type == BS_RADIOBUTTON || Type == BS_AUTORADIOBUTTON;
}

// ---- TacStaticWnd ------------------------------------------------------------------------------

void TacStaticWnd::WndProc(TMessage& Message) {
  if ((GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & WS_TABSTOP) != 0 ||
      (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0) {
    TacMainWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      if (IsWindowVisible(CtrlHandle)) {
        PaintWindow(Message);
        Message.Result = 1;
      } else {
        TacMainWnd::WndProc(Message);
      }
      return;
    case WM_PAINT: {
      PAINTSTRUCT PS;
      BeginPaint(CtrlHandle, &PS);
      EndPaint(CtrlHandle, &PS);
      return;
    }
    case WM_NCPAINT:
      return;
    case WM_MOVE:
    case WM_ENABLE:
    case WM_SETTEXT:
      PassOnAndRepaint(Message);
      return;
    default:
      TacMainWnd::WndProc(Message);
  }
}

void TacStaticWnd::PassOnAndRepaint(TMessage& Message) {
  // A new text marks the background stale only once the window holds it: a paint inside the
  // window's own handling must not rebuild the cache with the old text and clear the mark.
  const bool NewText = Message.Msg == WM_SETTEXT;
  if (!NewText) SkinData->BackgroundStale = true;
  Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
  if (NewText) {
    WndText = GetWndText(CtrlHandle);
    SkinData->BackgroundStale = true;
  }
  RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void TacStaticWnd::PaintWindow(TMessage& Message) {
  GetWndRects(this);
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  const bool OwnDC = DC == nullptr;
  if (OwnDC) DC = GetDC(CtrlHandle);
  const int Saved = SaveDC(DC);
  SkinData->BackgroundStale = true;
  TBitmap* Cache = SizedCache(SkinData, WndSize);
  PrepareWindowCache(SkinData, CtrlHandle, false);
  PaintText();
  BitBlt(DC, 0, 0, WndSize.cx, WndSize.cy, Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(DC, Saved);
  if (OwnDC) ReleaseDC(CtrlHandle, DC);
}

void TacStaticWnd::PaintText() {
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr) return;
  TCanvas* C = Cache->Canvas();
  C->Brush()->SetStyle(bsClear);
  TRect R(0, 0, WndSize.cx, WndSize.cy);
  UseWindowFont(C, CtrlHandle, nullptr);
  UINT Flags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOCLIP;
  if ((GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RIGHT) != 0) Flags |= DT_RIGHT;
  WriteCaptionText(C, WndText.c_str(), true, R, Flags, SkinData, false, 0);
}

// ---- TacBtnWnd ---------------------------------------------------------------------------------

TacBtnWnd::TacBtnWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, SectionOr(SkinSection, "BUTTON")) {}

UINT TacBtnWnd::WrapFlag() const {
  return (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & BS_MULTILINE) != 0 ? 0 : DT_WORDBREAK;
}

int TacBtnWnd::ButtonState() {
  const LRESULT S = SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0);
  if ((S & BST_PUSHED) != 0) {
    ClearGlows();
    return 2;
  }
  if (!IsWindowEnabled(CtrlHandle)) return 0;
  if (KnownFocus() == CtrlHandle || IsHoverWindow(CtrlHandle)) return 1;
  return (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? 1 : 0;
}

int TacBtnWnd::TextAreaWidth() {
  if (WndText.empty()) return 0;
  const TSize G = GlyphSize();
  return WndSize.cx - 2 - (G.cx > 0 ? G.cx + 2 : 0);
}

TSize TacBtnWnd::CaptionSize() {
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr) return TSize{0, 0};
  return MeasureText(Cache->Canvas(), WndText, TextAreaWidth(),
                     DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_CENTER | WrapFlag());
}

void TacBtnWnd::CaptionRect(TRect& R) {
  const TSize S = CaptionSize();
  const int X = (WndSize.cx - S.cx) / 2, Y = (WndSize.cy - S.cy) / 2;
  R = TRect(X - 1, Y, WndSize.cx - X + 2, WndSize.cy - Y);
  if ((SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) {
    R.Left += 1;
    R.Right += 1;
    R.Top += 1;
    R.Bottom += 1;
  }
}

void TacBtnWnd::DrawCaption(TRect R, UINT Flags) {
  TCanvas* C = SkinData->CacheBmp()->Canvas();
  C->Brush()->SetStyle(bsClear);
  DrawCaptionText(C, WndText.c_str(), true, R, Flags, SkinData, ButtonState() != 0);
}

void TacBtnWnd::PaintCaption() {
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr) return;
  UseWindowFont(Cache->Canvas(), CtrlHandle, SkinData);
  TRect R;
  CaptionRect(R);
  DrawCaption(R, DT_EXPANDTABS | DT_CENTER | WrapFlag());
  TsSkinManager* M = SkinData->GetSkinManager();
  const TsGeneralData* Sec = SkinData->Section();
  if (IsWindowEnabled(CtrlHandle) && (SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0) & BST_FOCUS) != 0 &&
      !WndText.empty() && M != nullptr && Sec != nullptr && Sec->ShowFocus)
    DrawDottedFocusRect(Cache->Canvas(), TRect(R.Left - 1, R.Top - 1, R.Right + 1, R.Bottom + 1));
}

void TacBtnWnd::PrepareCache() {
  TCacheInfo CI;
  TBitmap* Cache = BeginWindowCache(this, CI);
  const int State = ButtonState();
  PaintControlSkin(SkinData, CI, true, State, TRect(0, 0, WndSize.cx, WndSize.cy), WndPos, Cache);
  FillBorderCorners(SkinData, State, this);
  PaintCaption();
  PaintGlyph();
  if (!IsWindowEnabled(CtrlHandle)) FadeDisabled(Cache, CI, WndPos);
  SkinData->BackgroundStale = false;
}

void TacBtnWnd::WMPaint(TMessage& Message) {
  GetWndRects(this);
  PAINTSTRUCT PS;
  const bool Painting = Message.Msg == WM_PAINT;
  if (Painting) BeginPaint(CtrlHandle, &PS);
  SkinData->Updating = SkinData->GetUpdating();
  if (!SkinData->Updating && WndSize.cx > 0 && WndSize.cy > 0) {
    SkinData->BackgroundStale = true;
    PrepareCache();
    HDC DC = reinterpret_cast<HDC>(Message.WParam);
    const bool OwnDC = DC == nullptr;
    if (OwnDC) DC = GetWindowDC(CtrlHandle);
    BitBlt(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (OwnDC) ReleaseDC(CtrlHandle, DC);
  }
  if (Painting) EndPaint(CtrlHandle, &PS);
  Message.Result = 0;
}

void TacBtnWnd::WndProc(TMessage& Message) {
  auto Repaint = [this] {
    SkinData->BackgroundStale = true;
    SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
  };
  switch (Message.Msg) {
    case SM_ALPHACMD:
      switch (AlphaCmdCode(Message.WParam)) {
        case AC_REFRESHIFSKINNED:
          if (SkinData->Updating) {
            SkinData->Updating = SkinData->GetUpdating();
            if (!SkinData->Updating)
              RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
            return;
          }
          break;
        case AC_MOUSEENTER:
          if (!SkinData->MouseOver && IsHoverWindow(CtrlHandle) && CursorInWindow(CtrlHandle)) {
            SkinData->MouseOver = true;
            SkinData->Updating = false;
            Repaint();
            UpdateGlow(SkinData, false, CtrlHandle);
          }
          break;
        case AC_MOUSELEAVE:
          if (SkinData->MouseOver) {
            ClearGlows();
            SkinData->MouseOver = false;
            SkinData->Updating = false;
            Repaint();
          }
          break;
        default:
          break;
      }
      TacMainWnd::WndProc(Message);
      return;
    case WM_PAINT:
      if (!ParamsChanged) SetSkinParams();
      WMPaint(Message);
      return;
    case WM_PRINT:
      WMPaint(Message);
      return;
    case WM_ERASEBKGND:
    case WM_NCPAINT:
    case WM_UPDATEUISTATE:
      Message.Result = 1;
      return;
    case BM_SETSTATE:
      if (IsWindowVisible(CtrlHandle)) {
        if (!PassOnWithoutRedraw(this, [&] {
              Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
            }))
          return;
        Repaint();
      } else {
        Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      }
      return;
    case WM_MOVE: {
      const TsGeneralData* Sec = SkinData->Section();
      if (Sec != nullptr && (Sec->Transparency >= 1 || (Sec->HotTransparency >= 1 && ButtonState() != 0))) Repaint();
      TacMainWnd::WndProc(Message);
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (!IsWindowEnabled(CtrlHandle)) {
        if (Message.Msg == WM_KILLFOCUS) TacMainWnd::WndProc(Message);
        return;
      }
      if (!PassOnWithoutRedraw(this, [&] { TacMainWnd::WndProc(Message); })) return;
      SkinData->FocusedFlag = Message.Msg == WM_SETFOCUS;
      Repaint();
      return;
    case WM_ENABLE:
    case WM_SETTEXT:
      if (IsWindowVisible(CtrlHandle)) {
        if (!PassOnWithoutRedraw(this, [&] { TacMainWnd::WndProc(Message); })) return;
        Repaint();
      } else {
        TacMainWnd::WndProc(Message);
      }
      return;
    case WM_MOUSEMOVE: {
      TacMainWnd::WndProc(Message);
      TsSkinManager* Def = TsSkinManager::DefaultManager();
      if (Def != nullptr && !Def->IsDesigning() && IsWindowEnabled(CtrlHandle)) {
        const bool Inside = CursorInWindow(CtrlHandle);
        if (Inside && Def->HoverWindow() != CtrlHandle)
          Def->SetHoverWindow(CtrlHandle);
        else if (!Inside && Def->HoverWindow() == CtrlHandle)
          Def->SetHoverWindow(nullptr);
      }
      return;
    }
    default:
      TacMainWnd::WndProc(Message);
  }
}

// ---- TacBitBtnWnd ------------------------------------------------------------------------------

void DrawAlphaGlyph(TBitmap* Glyph, TCanvas* Canvas, TPoint P) {
  if (Glyph == nullptr || Canvas == nullptr || Glyph->Empty() || Glyph->PixelFormat() != pf32bit) return;
  // A copy in the picture class that blends 32-bit images onto what the canvas shows.
  TPNGGraphic Png;
  Png.SetPixelFormat(pf32bit);
  Png.SetSize(Glyph->Width(), Glyph->Height());
  GdiFlush();
  const std::size_t Row = static_cast<std::size_t>(Glyph->Width()) * 4;
  for (int Y = 0; Y < Glyph->Height(); ++Y) std::memcpy(Png.ScanLine(Y), Glyph->ScanLine(Y), Row);
  Canvas->Draw(P.X, P.Y, &Png);
}

TControl* TacBitBtnWnd::GlyphButton() {
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  return C != nullptr && HasProperty(C, "Glyph") ? C : nullptr;
}

TBitmap* TacBitBtnWnd::Glyph() {
  TControl* C = GlyphButton();
  return C != nullptr ? dynamic_cast<TBitmap*>(GetObjectPropByName(C, "Glyph")) : nullptr;
}

int TacBitBtnWnd::IntProp(const char* Name, int Default) {
  TControl* C = GlyphButton();
  return C != nullptr && HasProperty(C, Name) ? GetOrdPropByName(C, Name) : Default;
}

TSize TacBitBtnWnd::GlyphSize() {
  if (GlyphButton() != nullptr) {
    TBitmap* G = Glyph();
    if (G == nullptr || G->Empty()) return TSize{0, 0};
    return TSize{G->Width() / std::max(1, IntProp("NumGlyphs", 1)), G->Height()};
  }
  HBITMAP B = reinterpret_cast<HBITMAP>(SendMessageW(CtrlHandle, BM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP Info{};
  if (B == nullptr || GetObjectW(B, sizeof(Info), &Info) == 0) return TSize{0, 0};
  return TSize{Info.bmWidth, Info.bmHeight};
}

int TacBitBtnWnd::TextAreaWidth() {
  if (GlyphButton() == nullptr) return TacBtnWnd::TextAreaWidth();
  if (WndText.empty()) return 0;
  // A centred layout (Margin -1) keeps no margin.
  int W = WndSize.cx - 2 * std::max(0, IntProp("Margin", -1));
  const TSize G = GlyphSize();
  const int L = IntProp("Layout", blGlyphLeft);
  if ((L == blGlyphLeft || L == blGlyphRight) && G.cy != 0) W -= G.cx + IntProp("Spacing", 4);
  return W;
}

void TacBitBtnWnd::Layout(TPoint& GlyphPos, TRect& Text) {
  const TSize G = GlyphSize();
  const TSize T = WndText.empty() ? TSize{0, 0} : CaptionSize();
  const int Margin = IntProp("Margin", -1);
  const auto L = static_cast<TButtonLayout>(std::clamp(IntProp("Layout", blGlyphLeft), 0, 3));
  // A margin counts from the side the glyph stands on; without one the pair is centred.
  const TAlignment A = Margin == -1 ? taCenter : L == blGlyphLeft ? taLeftJustify : L == blGlyphRight ? taRightJustify : taCenter;
  CalcGlyphLayout(TRect(0, 0, WndSize.cx, WndSize.cy), TPoint(G.cx, G.cy), TPoint(T.cx, T.cy), L, A, Margin,
                  IntProp("Spacing", 4), 0, GlyphPos, Text);
}

TRect TacBitBtnWnd::GlyphRect() {
  TPoint P;
  TRect T;
  Layout(P, T);
  const TSize G = GlyphSize();
  if (ButtonState() == 2) ++P.Y;
  return TRect(P.X, P.Y, P.X + G.cx, P.Y + G.cy);
}

void TacBitBtnWnd::CaptionRect(TRect& R) {
  if (GlyphButton() != nullptr) {
    TPoint P;
    Layout(P, R);
    if (ButtonState() == 2) R.Offset(1, 1);
    return;
  }
  TacBtnWnd::CaptionRect(R);
  const TSize G = GlyphSize();
  if (G.cx > 0) {
    R.Left += G.cx / 2 + 1;
    R.Right += G.cx / 2 + 1;
  }
}

void TacBitBtnWnd::PaintGlyph() {
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr) return;
  if (GlyphButton() != nullptr) {
    TBitmap* G = Glyph();
    if (G == nullptr || G->Empty()) return;
    if (G->HandleType() == bmDDB) G->SetHandleType(bmDIB);
    const TRect R = GlyphRect();
    const int N = std::max(1, IntProp("NumGlyphs", 1));
    if (N == 1 && G->PixelFormat() == pf32bit) {
      DrawAlphaGlyph(G, Cache->Canvas(), TPoint(R.Left, R.Top));
      return;
    }
    TControl* C = GlyphButton();
    DrawTransparentGlyph(G, Cache, R, N, C->Enabled(), TsDisabledKind{dkBlended}, ButtonState(), 0, 0);
    return;
  }
  HBITMAP B = reinterpret_cast<HBITMAP>(SendMessageW(CtrlHandle, BM_GETIMAGE, IMAGE_BITMAP, 0));
  const TSize G = GlyphSize();
  if (B == nullptr || G.cx <= 0 || G.cy <= 0) return;
  TRect C;
  CaptionRect(C);
  const bool Pushed = (SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
  const int X = (WndText.empty() ? (WndSize.cx - G.cx) / 2 : C.Left - 2 - G.cx);
  const int Y = (WndSize.cy - G.cy) / 2 + (Pushed ? 1 : 0);
  HDC Src = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(Src, B);
  // The glyph's lower-left pixel is its transparent colour.
  const COLORREF Key = GetPixel(Src, 0, G.cy - 1);
  HDC Dst = Cache->Canvas()->Handle();
  for (int y = 0; y < G.cy; ++y)
    for (int x = 0; x < G.cx; ++x) {
      const COLORREF P = GetPixel(Src, x, y);
      if (P != Key && P != CLR_INVALID) SetPixel(Dst, X + x, Y + y, P);
    }
  SelectObject(Src, Old);
  DeleteDC(Src);
}

// ---- TacCheckBoxWnd ----------------------------------------------------------------------------

TacCheckBoxWnd::TacCheckBoxWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, SectionOr(SkinSection, "CHECKBOX")) {}

int TacCheckBoxWnd::CheckState() {
  const LRESULT S = SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0);
  if ((S & BST_INDETERMINATE) != 0) return 2;
  return (S & BST_CHECKED) != 0 ? 1 : 0;
}

int TacCheckBoxWnd::GlyphState() {
  const LRESULT S = SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0);
  if ((S & BST_PUSHED) != 0) return 2;
  if ((S & BST_FOCUS) != 0 || IsHoverWindow(CtrlHandle)) return 1;
  return 0;
}

int TacCheckBoxWnd::GlyphMaskIndex() {
  TsSkinManager* M = SkinData->GetSkinManager();
  if (M == nullptr) return -1;
  const int State = CheckState();
  const char* Name;
  if (acIsRadioStyle(PaintingCheckStyle))
    Name = State == 0 ? "RADIOUNCHECKED" : State == 1 ? "RADIOCHECKED" : "BOXGRAYED";
  else
    Name = State == 0 ? "BOXUNCHECKED" : State == 1 ? "BOXCHECKED" : "BOXGRAYED";
  return M->GetMaskIndex(M->CommonSkinIndexes().GlobalInfo, "GLOBALINFO", Name);
}

TSize TacCheckBoxWnd::GlyphSize() {
  TsSkinManager* M = SkinData->GetSkinManager();
  const int I = GlyphMaskIndex();
  if (M == nullptr || !M->IsValidMaskIndex(I)) return TSize{16, 16};
  TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(I)];
  if (Mask.Bmp) return TSize{Mask.Bmp->Width() / 3, Mask.Bmp->Height() / 2};
  if (Mask.ImageCount == 0) Mask.ImageCount = 1;
  return TSize{(Mask.R.Right - Mask.R.Left) / Mask.ImageCount, (Mask.R.Bottom - Mask.R.Top) / (Mask.MaskType + 1)};
}

TacPictureKey TacCheckBoxWnd::PictureKeyOf(const TCacheInfo& Parent) {
  TacPictureKey K;
  const bool Hot = SkinData->GetHotState() || KnownFocus() == CtrlHandle || IsHoverWindow(CtrlHandle);
  K.Numbers = {WndSize.cx, WndSize.cy, WndPos.X, WndPos.Y, static_cast<long long>(PaintingCheckStyle), Hot,
               SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0), IsWindowEnabled(CtrlHandle), GlyphState(), GlyphMaskIndex(),
               SendMessageW(CtrlHandle, WM_GETFONT, 0, 0), SkinData->SectionIndex};
  AddSkin(K, SkinData->GetSkinManager());
  K.Texts.push_back(WndText);
  AddOwnerFont(K, SkinData->OwnerControl());
  AddPixels(K, Parent, WndPos, WndSize);
  return K;
}

void TacCheckBoxWnd::PrepareCache() {
  TBitmap* Cache = SizedCache(SkinData, WndSize);
  TCanvas* C = Cache->Canvas();
  UseWindowFont(C, CtrlHandle, SkinData);
  TCacheInfo CI;
  GetParentCacheOfWindow(CtrlHandle, CI);
  const bool Hot = SkinData->GetHotState() || KnownFocus() == CtrlHandle || IsHoverWindow(CtrlHandle);
  PaintControlSkin(SkinData, CI, true, Hot ? 1 : 0, TRect(0, 0, WndSize.cx, WndSize.cy), WndPos, Cache);
  const LONG_PTR Style = PaintingCheckStyle;
  const TSize G = GlyphSize();
  const bool LeftText = (Style & BS_LEFTTEXT) != 0;
  if (!WndText.empty()) {
    const bool Multi = (Style & BS_MULTILINE) != 0;
    const int AreaW = WndSize.cx - (G.cx + 2);
    const TSize T = MeasureText(C, WndText, AreaW, Multi ? DT_CALCRECT | DT_WORDBREAK : DT_CALCRECT | DT_SINGLELINE);
    const int Y = std::max((WndSize.cy - T.cy) / 2, 0);
    const int X = LeftText ? 2 : G.cx + 4;
    TRect R(X, Y, X + T.cx, Y + T.cy);
    if (!LeftText) {
      R.Left -= Multi ? 1 : 0;
      R.Right -= Multi ? 1 : 0;
      R.Top -= 1;
      R.Bottom -= 1;
    }
    C->Brush()->SetStyle(bsClear);
    TRect TR = R;
    DrawCaptionText(C, WndText.c_str(), true, TR, Multi ? DT_WORDBREAK | DT_CENTER : DT_SINGLELINE, SkinData, Hot);
    if ((SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0) & BST_FOCUS) != 0)
      DrawDottedFocusRect(C, TRect(R.Left - 1, R.Top, R.Right + 1, R.Bottom));
  }
  TsSkinManager* M = SkinData->GetSkinManager();
  const int I = GlyphMaskIndex();
  if (WndSize.cy > 0 && M != nullptr && M->IsValidMaskIndex(I)) {
    const TPoint P(LeftText ? WndSize.cx - G.cx : 0, (WndSize.cy - G.cy) / 2);
    DrawSkinGlyph(Cache, P, GlyphState(), 1, M->Masks()[static_cast<std::size_t>(I)], MakeCacheInfo(Cache));
  }
  if (!IsWindowEnabled(CtrlHandle)) FadeDisabled(Cache, CI, WndPos);
  SkinData->BackgroundStale = false;
}

void TacCheckBoxWnd::Paint(TMessage& Message) {
  GetWndRects(this);
  PAINTSTRUCT PS{};
  const bool Painting = Message.Msg == WM_PAINT;
  if (Painting) BeginPaint(CtrlHandle, &PS);
  SkinData->Updating = SkinData->GetUpdating();
  HDC Given = reinterpret_cast<HDC>(Message.WParam);
  if (!SkinData->Updating && (IsWindowVisible(CtrlHandle) || Given != nullptr) && WndSize.cx > 0 && WndSize.cy > 0) {
    PaintingCheckStyle = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
    SendSkinCommand(ParentWnd, AC_CHILDPAINT, 0);
    TCacheInfo CI;
    GetParentCacheOfWindow(CtrlHandle, CI);
    TBitmap* Cache = SkinData->CacheBmp();
    const bool Remade = !Kept.Keep(PictureKeyOf(CI)) || Cache == nullptr || Cache->Empty();
    if (Remade) PrepareCache();
    // The picture goes to the whole window (a paint asked for by a change has nothing invalid);
    // the paint's own DC serves when the whole window is invalid and the picture is the one shown.
    const bool Whole = Painting && PS.rcPaint.left <= 0 && PS.rcPaint.top <= 0 && PS.rcPaint.right >= WndSize.cx &&
                       PS.rcPaint.bottom >= WndSize.cy;
    HDC DC = Given != nullptr ? Given : Whole && !Remade ? PS.hdc : GetDC(CtrlHandle);
    BitBlt(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (Given == nullptr && DC != PS.hdc) ReleaseDC(CtrlHandle, DC);
  }
  if (Painting) EndPaint(CtrlHandle, &PS);
  Message.Result = 0;
}

void TacCheckBoxWnd::WndProc(TMessage& Message) {
  if (ChangesPicture(Message) || Message.Msg == WM_UPDATEUISTATE || Message.Msg == BM_SETSTYLE) Kept.Stale = true;
  auto SendPaint = [this] { SendMessageW(CtrlHandle, WM_PAINT, 0, 0); };
  switch (Message.Msg) {
    case WM_PAINT:
    case WM_PRINT:
      Paint(Message);
      return;
    case WM_NCPAINT:
    case WM_ERASEBKGND:
      Message.Result = 0;
      return;
    case WM_ENABLE:
    case BM_SETCHECK:
    case BM_SETSTATE:
      if (IsWindowVisible(CtrlHandle)) {
        if (!PassOnWithoutRedraw(this, [&] { TacMainWnd::WndProc(Message); })) return;
        SendPaint();
      } else {
        TacMainWnd::WndProc(Message);
      }
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TacMainWnd::WndProc(Message);
      SendPaint();
      return;
    case WM_KEYDOWN:
      TacMainWnd::WndProc(Message);
      if (Message.WParam == VK_SPACE) SendPaint();
      return;
    case WM_NCHITTEST: {
      TacMainWnd::WndProc(Message);
      // Only the pointer's own hit test makes the box the hover window: a hit test of one of its
      // points while the pointer is elsewhere (a window-from-point probe) leaves the hover alone.
      TsSkinManager* Def = TsSkinManager::DefaultManager();
      POINT P{};
      RECT R{};
      if (Def != nullptr && IsWindowEnabled(CtrlHandle) && Def->HoverWindow() != CtrlHandle && GetCursorPos(&P) &&
          GetWindowRect(CtrlHandle, &R) && PtInRect(&R, P))
        Def->SetHoverWindow(CtrlHandle);
      return;
    }
    case SM_ALPHACMD:
      if (AlphaCmdCode(Message.WParam) == AC_MOUSEENTER || AlphaCmdCode(Message.WParam) == AC_MOUSELEAVE) {
        SkinData->Updating = false;
        SendPaint();
      }
      TacMainWnd::WndProc(Message);
      return;
    default:
      TacMainWnd::WndProc(Message);
  }
}

// ---- TacGroupBoxWnd ----------------------------------------------------------------------------

TacGroupBoxWnd::TacGroupBoxWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, SectionOr(SkinSection, "GROUPBOX")) {}

TRect TacGroupBoxWnd::CaptionRect() {
  GetWndRects(this);
  TBitmap* Cache = SizedCache(SkinData, WndSize);
  UseWindowFont(Cache->Canvas(), CtrlHandle, SkinData);
  const TSize T = MeasureText(Cache->Canvas(), WndText, 0, DT_CALCRECT | DT_SINGLELINE);
  TRect R(6, 0, T.cx + 14, std::max<int>(T.cy, 4) + 2);
  if (R.Right > WndSize.cx - 1) R.Right = WndSize.cx - 1;
  return R;
}

TacPictureKey TacGroupBoxWnd::PictureKeyOf(const TCacheInfo& Parent) {
  TacPictureKey K;
  K.Numbers = {WndSize.cx, WndSize.cy, WndPos.X, WndPos.Y, SendMessageW(CtrlHandle, WM_GETFONT, 0, 0),
               IsWindowEnabled(CtrlHandle), SkinData->SectionIndex, SkinData->BorderMaskIndex};
  AddSkin(K, SkinData->GetSkinManager());
  K.Texts.push_back(WndText);
  AddOwnerFont(K, SkinData->OwnerControl());
  AddPixels(K, Parent, WndPos, WndSize);
  return K;
}

void TacGroupBoxWnd::PrepareCache() {
  const TRect Cap = CaptionRect();
  TBitmap* Cache = SkinData->CacheBmp();
  const int W = WndSize.cx, H = WndSize.cy, CH = Cap.Bottom - Cap.Top;
  TacBGInfo Info;
  QueryWindowBackground(Info, ParentWnd, false);
  const TCacheInfo PCI = BGInfoToCacheInfo(Info);
  HDC DC = Cache->Canvas()->Handle();
  auto FillFromParent = [&](const TRect& R) {
    if (PCI.Bmp != nullptr)
      BitBlt(DC, R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top, PCI.Bmp->Canvas()->Handle(),
             PCI.X + WndPos.X + R.Left, PCI.Y + WndPos.Y + R.Top, SRCCOPY);
    else
      FillRectSolid(DC, R, ColorToRGB(PCI.FillColor));
  };
  FillFromParent(TRect(0, 0, W, std::min(CH, H)));
  TCacheInfo CI;
  GetParentCacheOfWindow(CtrlHandle, CI);
  PaintControlSkin(SkinData, CI, true, 0, TRect(0, CH / 2, W, H), WndPos, Cache);
  if (!WndText.empty()) {
    FillFromParent(Cap);
    TCanvas* C = Cache->Canvas();
    C->Brush()->SetStyle(bsClear);
    TRect R = Cap;
    DrawCaptionText(C, WndText.c_str(), true, R, DT_CENTER | DT_VCENTER | DT_SINGLELINE, SkinData, false);
  }
  SkinData->BackgroundStale = false;
}

void TacGroupBoxWnd::Paint(TMessage& Message) {
  PAINTSTRUCT PS;
  const bool Painting = Message.Msg == WM_PAINT;
  if (Painting) BeginPaint(CtrlHandle, &PS);
  SkinData->Updating = SkinData->GetUpdating();
  if (!SkinData->Updating) {
    HDC Given = Message.LParam == 1 ? reinterpret_cast<HDC>(Message.WParam) : nullptr;
    HDC DC = Given != nullptr ? Given : GetWindowDC(CtrlHandle);
    TCacheInfo CI;
    GetParentCacheOfWindow(CtrlHandle, CI);
    TBitmap* Cache = SkinData->CacheBmp();
    const bool Anew = !Kept.Keep(PictureKeyOf(CI)) || SkinData->BackgroundStale || Cache == nullptr || Cache->Empty();
    if (Anew) PrepareCache();
    const int Saved = SaveDC(DC);
    TsSkinManager* M = SkinData->GetSkinManager();
    if (DlgMode && M != nullptr && M->IsValidMaskIndex(SkinData->BorderMaskIndex)) {
      const int CH = CaptionRect().Bottom;
      ExcludeClipRect(DC, M->GetMaskLeftMargin(SkinData->BorderMaskIndex), CH,
                      WndSize.cx - M->GetMaskRightMargin(SkinData->BorderMaskIndex),
                      WndSize.cy - M->GetMaskBottomMargin(SkinData->BorderMaskIndex));
    }
    const std::vector<HWND> Children = ChildWindows(CtrlHandle);
    CopyCacheExceptWindows(CtrlHandle, Children, SkinData, TPoint(0, 0), 0, 0, false, DC,
                           TRect(0, 0, WndSize.cx, WndSize.cy));
    if (auto* WC = dynamic_cast<TWinControl*>(SkinData->OwnerControl())) PaintGraphicControls(DC, WC, TPoint(0, 0));
    RestoreDC(DC, Saved);
    if (Given == nullptr) ReleaseDC(CtrlHandle, DC);
    // The picture under the windows on the box changed only when it was made again.
    if (Anew) RefreshChildWindows(Children);
  }
  if (Painting) EndPaint(CtrlHandle, &PS);
}

void TacGroupBoxWnd::WndProc(TMessage& Message) {
  if (ChangesPicture(Message)) Kept.Stale = true;
  switch (Message.Msg) {
    case SM_ALPHACMD:
      if (AlphaCmdCode(Message.WParam) == AC_GETCAPTIONHEIGHT) {
        const TRect R = CaptionRect();
        Message.Result = R.Bottom - R.Top;
        return;
      }
      if (AlphaCmdCode(Message.WParam) == AC_SKINREMOVED && SkinData->OwnerControl() != nullptr) {
        TControl* C = SkinData->OwnerControl();
        C->SetControlStyle(C->ControlStyle() - csOpaque);
      }
      break;
    case WM_PAINT:
      if (!DlgMode) {
        Paint(Message);
        Message.Result = 0;
        return;
      }
      break;
    case WM_PRINT:
      if (!DlgMode) {
        SkinData->BackgroundStale = true;
        Message.LParam = 1;
        Paint(Message);
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (!DlgMode) {
        if (Message.WParam == static_cast<WPARAM>(Message.LParam)) {
          HDC DC = reinterpret_cast<HDC>(Message.WParam);
          if (SkinData->BackgroundStale) PrepareCache();
          if (SkinData->IsSkinPaintMode() && SkinData->CacheBmp() != nullptr)
            BitBlt(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, SRCCOPY);
          else
            FillRectSolid(DC, TRect(0, 0, WndSize.cx, WndSize.cy), GetWindowColor(CtrlHandle));
        }
        Message.Result = 1;
        return;
      }
      break;
    case WM_NCPAINT:
      if (DlgMode) {
        Message.LParam = 0;
        Paint(Message);
        Message.Result = 1;
        return;
      }
      break;
    case WM_SETTEXT: {
      TacMainWnd::WndProc(Message);
      SkinData->BackgroundStale = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
      return;
    }
    case WM_PARENTNOTIFY:
      TacMainWnd::WndProc(Message);
      if (LOWORD(Message.WParam) == WM_CREATE && SkinData->OwnerControl() != nullptr)
        NotifyParentFormLoaded(SkinData->OwnerControl());
      return;
    default:
      break;
  }
  TacMainWnd::WndProc(Message);
}
