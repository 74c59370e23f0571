#include "framework/Buttons.h"

#include <algorithm>

#include "framework/TypInfo.h"

// ---------------------------------------------------------------------------------------------
// Glyph layout and drawing

void ButtonGlyphLayout(int Width, int Height, TSize GlyphSize, TSize TextSize, TButtonLayout Layout, int Margin,
                       int Spacing, bool Pressed, TRect& GlyphRect, TRect& TextRect) {
  const int GW = GlyphSize.cx, GH = GlyphSize.cy, TW = TextSize.cx, TH = TextSize.cy;
  const bool HasGlyph = GW > 0 && GH > 0, HasText = TW > 0 && TH > 0;
  const int Gap = HasGlyph && HasText ? Spacing : 0;
  const bool Horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
  // The free room on the layout's axis, shared on both sides when centring.
  const int Free = Horizontal ? Width - GW - Gap - TW : Height - GH - Gap - TH;
  const int M = Margin == -1 ? Free / 2 : Margin;
  int GX = (Width - GW) / 2, GY = (Height - GH) / 2;
  int TX = (Width - TW) / 2, TY = (Height - TH) / 2;
  switch (Layout) {
    case blGlyphLeft:
      GX = M;
      TX = HasGlyph ? GX + GW + Gap : (Margin == -1 ? TX : Margin);
      break;
    case blGlyphRight:
      GX = Width - M - GW;
      TX = HasGlyph ? GX - Gap - TW : (Margin == -1 ? TX : Width - Margin - TW);
      break;
    case blGlyphTop:
      GY = M;
      TY = HasGlyph ? GY + GH + Gap : (Margin == -1 ? TY : Margin);
      break;
    case blGlyphBottom:
      GY = Height - M - GH;
      TY = HasGlyph ? GY - Gap - TH : (Margin == -1 ? TY : Height - Margin - TH);
      break;
  }
  const int P = Pressed ? 1 : 0;
  GlyphRect = Bounds(GX + P, GY + P, GW, GH);
  TextRect = Bounds(TX + P, TY + P, TW, TH);
}

void DrawButtonGlyph(HDC DC, int X, int Y, TBitmap* Glyph, int NumGlyphs, int Index) {
  if (DC == nullptr || Glyph == nullptr || Glyph->Empty()) return;
  NumGlyphs = std::clamp(NumGlyphs, 1, 4);
  const int FW = Glyph->Width() / NumGlyphs, FH = Glyph->Height();
  if (FW <= 0) return;
  const int FX = std::clamp(Index, 0, NumGlyphs - 1) * FW;
  if (Glyph->PixelFormat() != pf32bit) {
    const COLORREF Key = ColorToRGB(Glyph->TransparentColor()) & 0xFFFFFF;
    TransparentBlt(DC, X, Y, FW, FH, Glyph->Canvas()->Handle(), FX, 0, FW, FH, Key);
    return;
  }
  // What lies under the glyph, blended by the glyph's alpha and put back.
  TBitmap Work(FW, FH, pf32bit);
  BitBlt(Work.Canvas()->Handle(), 0, 0, FW, FH, DC, X, Y, SRCCOPY);
  GdiFlush();
  for (int Row = 0; Row < FH; ++Row) {
    auto* D = static_cast<Byte*>(Work.ScanLine(Row));
    const auto* S = static_cast<const Byte*>(Glyph->ScanLine(Row)) + FX * 4;
    for (int Col = 0; Col < FW; ++Col, D += 4, S += 4) {
      const int A = S[3];
      for (int C = 0; C < 3; ++C) D[C] = static_cast<Byte>((S[C] * A + D[C] * (255 - A) + 127) / 255);
    }
  }
  BitBlt(DC, X, Y, FW, FH, Work.Canvas()->Handle(), 0, 0, SRCCOPY);
}

namespace {

TSize GlyphFrameSize(TBitmap* Glyph, int NumGlyphs) {
  if (Glyph == nullptr || Glyph->Empty()) return TSize{0, 0};
  return TSize{Glyph->Width() / std::clamp(NumGlyphs, 1, 4), Glyph->Height()};
}

TSize CaptionExtent(HDC DC, const WideString& Caption, UINT Flags) {
  if (Caption.empty()) return TSize{0, 0};
  RECT R{0, 0, 255, 0};
  DrawTextW(DC, Caption.c_str(), static_cast<int>(Caption.size()), &R, Flags | DT_CALCRECT);
  return TSize{R.right - R.left, R.bottom - R.top};
}

// The frame for a state: up 0, disabled 1, pressed 2, down 3 (frame 0 when the glyph lacks it).
int GlyphFrame(int NumGlyphs, bool Enabled, bool Pressed, bool Down) {
  const int Wanted = !Enabled ? 1 : Down ? 3 : Pressed ? 2 : 0;
  return Wanted < NumGlyphs ? Wanted : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TBitBtn

T_PUBLISH(TBitBtn) {
  P.Object("Glyph", &TBitBtn::Glyph, &TBitBtn::SetGlyph);
  P.Ordinal("NumGlyphs", &TBitBtn::NumGlyphs, &TBitBtn::SetNumGlyphs);
  P.Enumeration("Layout", &TBitBtn::Layout, &TBitBtn::SetLayout,
                {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"});
  P.Ordinal("Margin", &TBitBtn::Margin, &TBitBtn::SetMargin);
  P.Ordinal("Spacing", &TBitBtn::Spacing, &TBitBtn::SetSpacing);
}

TBitBtn::TBitBtn(TComponent* AOwner) : TGlyphButton(AOwner) {
  SetOwnerDraw(true);
}

void TBitBtn::DrawButtonFace(TCanvas* ACanvas, const TRect& ARect, bool Pushed, bool Focused) {
  TRect R = ARect;
  HDC DC = ACanvas->Handle();
  if (Active()) {
    ACanvas->Brush()->SetStyle(bsSolid);
    ACanvas->Brush()->SetColor(cl3DDkShadow);
    ACanvas->FrameRect(R);
    R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  }
  RECT Face{R.Left, R.Top, R.Right, R.Bottom};
  DrawFrameControl(DC, &Face, DFC_BUTTON, DFCS_BUTTONPUSH | (Pushed ? DFCS_PUSHED : 0u) | (Enabled() ? 0u : DFCS_INACTIVE));
  ACanvas->SetFont(Font());
  ACanvas->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
  ACanvas->Brush()->SetStyle(bsClear);
  const WideString Text = Caption();
  const UINT Flags = DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS;
  HGDIOBJ OldFont = SelectObject(DC, ACanvas->Font()->Handle());
  const TSize TS = CaptionExtent(DC, Text, Flags);
  TRect GR, TR;
  ButtonGlyphLayout(ARect.Width(), ARect.Height(), GlyphFrameSize(FGlyph.get(), FNumGlyphs), TS, FLayout, FMargin,
                    FSpacing, Pushed, GR, TR);
  DrawButtonGlyph(DC, ARect.Left + GR.Left, ARect.Top + GR.Top, FGlyph.get(), FNumGlyphs,
                  GlyphFrame(FNumGlyphs, Enabled(), Pushed, false));
  if (!Text.empty()) {
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, ColorToRGB(Enabled() ? clBtnText : clGrayText));
    RECT T{ARect.Left + TR.Left, ARect.Top + TR.Top, ARect.Left + TR.Right, ARect.Top + TR.Bottom};
    DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &T, Flags);
  }
  SelectObject(DC, OldFont);
  if (Focused) ACanvas->DrawFocusRect(Rect(R.Left + 3, R.Top + 3, R.Right - 3, R.Bottom - 3));
}

// ---------------------------------------------------------------------------------------------
// TSpeedButton

T_PUBLISH(TSpeedButton) {
  P.Object("Glyph", &TSpeedButton::Glyph, &TSpeedButton::SetGlyph);
  P.Ordinal("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs);
  P.Enumeration("Layout", &TSpeedButton::Layout, &TSpeedButton::SetLayout,
                {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"});
  P.Ordinal("Margin", &TSpeedButton::Margin, &TSpeedButton::SetMargin);
  P.Ordinal("Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing);
  P.Boolean("Down", &TSpeedButton::Down, &TSpeedButton::SetDown);
  P.Ordinal("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex);
  P.Boolean("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp);
  P.Boolean("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat);
}

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGlyphButton(AOwner) {
  // Clicks are the button's own (a release over the button after a press on it).
  FControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks, csSetCaption};
  SetBounds(0, 0, 23, 22);
}

void TSpeedButton::SetGroupIndex(int Value) {
  if (FGroupIndex == Value) return;
  FGroupIndex = std::max(Value, 0);
  if (FGroupIndex == 0) SetDown(false);
  UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value) { FAllowAllUp = Value; }

void TSpeedButton::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  Invalidate();
}

void TSpeedButton::SetState(TButtonState Value) {
  if (FState == Value) return;
  FState = Value;
  Invalidate();
}

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (FDown == Value) return;
  FDown = Value;
  if (Enabled()) SetState(Value ? bsExclusive : bsUp);
  Invalidate();
  if (Value) UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
  if (FGroupIndex == 0 || !FDown || Parent() == nullptr) return;
  for (int I = 0; I < Parent()->ControlCount(); ++I) {
    auto* S = dynamic_cast<TSpeedButton*>(Parent()->Controls(I));
    if (S == nullptr || S == this || S->FGroupIndex != FGroupIndex || !S->FDown) continue;
    S->FDown = false;
    if (S->Enabled()) S->SetState(bsUp);
    S->Invalidate();
  }
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  FDragging = true;
  SetState(FDown ? bsExclusive : bsDown);
  if (!FDown) Repaint();
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  const bool Inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
  SetState(FDown ? bsExclusive : Inside ? bsDown : bsUp);
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (!FDragging || Button != mbLeft) return;
  FDragging = false;
  const bool Inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
  if (Inside && FGroupIndex != 0 && (!FDown || FAllowAllUp)) SetDown(!FDown);
  SetState(!Enabled() ? bsDisabled : FDown ? bsExclusive : bsUp);
  if (Inside) Click();
}

void TSpeedButton::CMEnabledChanged(TMessage& M) {
  TGraphicControl::CMEnabledChanged(M);
  SetState(!Enabled() ? bsDisabled : FDown ? bsExclusive : bsUp);
  Invalidate();
}

void TSpeedButton::CMMouseEnter(TMessage& M) {
  TGraphicControl::CMMouseEnter(M);
  FMouseInControl = true;
  if (FFlat && Enabled()) Invalidate();
}

void TSpeedButton::CMMouseLeave(TMessage& M) {
  TGraphicControl::CMMouseLeave(M);
  FMouseInControl = false;
  if (FFlat && Enabled()) Invalidate();
}

void TSpeedButton::CMTextChanged(TMessage& M) {
  TGraphicControl::CMTextChanged(M);
  Invalidate();
}

void TSpeedButton::Paint() {
  TCanvas* C = Canvas();
  HDC DC = C->Handle();
  const TRect R = ClientRect();
  const bool Pressed = FState == bsDown || FState == bsExclusive;
  if (!FFlat || FMouseInControl || Pressed) {
    RECT Face{R.Left, R.Top, R.Right, R.Bottom};
    DrawFrameControl(DC, &Face, DFC_BUTTON,
                     DFCS_BUTTONPUSH | (Pressed ? DFCS_PUSHED : 0u) | (FFlat ? DFCS_FLAT : 0u));
  }
  C->SetFont(Font());
  HGDIOBJ OldFont = SelectObject(DC, C->Font()->Handle());
  const WideString Text = Caption();
  const UINT Flags = DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS;
  const TSize TS = CaptionExtent(DC, Text, Flags);
  TRect GR, TR;
  ButtonGlyphLayout(Width(), Height(), GlyphFrameSize(FGlyph.get(), FNumGlyphs), TS, FLayout, FMargin, FSpacing,
                    Pressed, GR, TR);
  DrawButtonGlyph(DC, GR.Left, GR.Top, FGlyph.get(), FNumGlyphs,
                  GlyphFrame(FNumGlyphs, Enabled(), FState == bsDown, FState == bsExclusive));
  if (!Text.empty()) {
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, ColorToRGB(Enabled() ? Font()->Color() : clGrayText));
    RECT T{TR.Left, TR.Top, TR.Right, TR.Bottom};
    DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &T, Flags);
  }
  SelectObject(DC, OldFont);
}
