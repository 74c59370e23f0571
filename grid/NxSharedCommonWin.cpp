// The canvas drawing of the shared grid routines: clipping, buttons, focus frames, text, bitmaps
// with per-pixel alpha, rotated text and gradients. Win32.
#include <windows.h>

#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Strings.h"
#include "grid/NxSharedCommon.h"

namespace {

TCanvas* CheckCanvas(TCanvas* Canvas, const char* Routine) {
  if (Canvas == nullptr) throw EInvalidOperation(Format("%s: no canvas to draw on", Routine));
  return Canvas;
}

// The lines of a text split at CR LF, LF and CR.
std::vector<WideString> SplitLines(const WideString& Text) {
  std::vector<WideString> Lines(1);
  for (std::size_t I = 0; I < Text.size(); ++I) {
    const wchar_t C = Text[I];
    if (C == L'\r' || C == L'\n') {
      if (C == L'\r' && I + 1 < Text.size() && Text[I + 1] == L'\n') ++I;
      Lines.emplace_back();
    } else {
      Lines.back() += C;
    }
  }
  return Lines;
}

// DrawText with the wide call or, without wide text, the byte-string call on converted text.
void PlatformDrawText(HDC DC, const WideString& Text, const TRect& Rect, UINT Flags) {
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  if (UseWideText) {
    DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &R, Flags);
  } else {
    const AnsiString A = WideToAnsi(Text);
    DrawTextA(DC, A.c_str(), static_cast<int>(A.size()), &R, Flags);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TGraphicsProvider

void TGraphicsProvider::SetClipRect(TCanvas* Canvas, const TRect& Rect) { ::SetClipRect(Canvas, Rect); }

void TGraphicsProvider::DrawButton(TCanvas* Canvas, const TRect& Rect, bool Dark) {
  CheckCanvas(Canvas, "DrawButton");
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(clBtnFace);
  Canvas->FillRect(TRect{Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1});
  TRect Frame = Rect;
  Frame3D(Canvas, Frame, clBtnHighlight, Dark ? clWindowFrame : clBtnShadow, 1);
}

void TGraphicsProvider::DrawSelectionFrame(TCanvas* Canvas, const TRect& Rect, bool Solid) {
  CheckCanvas(Canvas, "DrawSelectionFrame");
  if (Solid) {
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(clHighlight);
    Canvas->FrameRect(Rect);
    return;
  }
  // The focus rectangle inverts every other pixel: its pattern takes the DC's colours, so they are
  // set for this call alone (the canvas's own drawing would put its brush colour back first).
  HDC DC = Canvas->Handle();
  const COLORREF OldBack = SetBkColor(DC, RGB(0, 0, 0));
  const COLORREF OldText = SetTextColor(DC, RGB(255, 255, 255));
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  ::DrawFocusRect(DC, &R);
  SetBkColor(DC, OldBack);
  SetTextColor(DC, OldText);
}

void TGraphicsProvider::DrawTextRect(TCanvas* Canvas, const TRect& Rect, bool RightToLeft, const WideString& Text,
                                     TAlignment Alignment) {
  CheckCanvas(Canvas, "DrawTextRect");
  TTextFormat Flags{tfEndEllipsis, tfNoPrefix, tfExternalLeading, tfSingleLine, tfVerticalCenter};
  if (Alignment == taRightJustify) Flags.Include(tfRight);
  else if (Alignment == taCenter) Flags.Include(tfCenter);
  if (RightToLeft) Flags.Include(tfRtlReading);
  DrawFormattedText(Canvas, Rect, Text, Flags);
}

// ---------------------------------------------------------------------------------------------
// Plain routines

void DrawFormattedText(TCanvas* Canvas, const TRect& Rect, const WideString& Text, TTextFormat Flags) {
  Canvas->Brush()->SetStyle(bsClear);
  TRect R = Rect;
  if (UseWideText) {
    WideString T = Text;
    Canvas->TextRect(R, T, Flags);
  } else {
    AnsiString T = WideToAnsi(Text);
    Canvas->TextRect(R, T, Flags);
  }
  Canvas->Brush()->SetStyle(bsSolid);
}

void SetClipRect(TCanvas* Canvas, const TRect& Rect) {
  HDC DC = CheckCanvas(Canvas, "SetClipRect")->Handle();
  HRGN Region = CreateRectRgn(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  SelectClipRgn(DC, Region);
  DeleteObject(Region);
}

void DrawBitmap(TCanvas* Canvas, int X, int Y, TBitmap* Bitmap) {
  CheckCanvas(Canvas, "DrawBitmap");
  if (Bitmap == nullptr || Bitmap->Empty()) return;
  if (Bitmap->PixelFormat() != pf32bit) {
    Canvas->Draw(X, Y, Bitmap);
    return;
  }
  const int W = Bitmap->Width();
  const int H = Bitmap->Height();
  // The copy receives the blended picture; it is drawn as it is, without keying out a colour.
  TBitmap Copy;
  Copy.Assign(Bitmap);
  Copy.SetTransparent(false);
  TBitmap Back(W, H, pf32bit);
  BitBlt(Back.Canvas()->Handle(), 0, 0, W, H, Canvas->Handle(), X, Y, SRCCOPY);
  for (int Row = 0; Row < H; ++Row) {
    Byte* Pixels = static_cast<Byte*>(Copy.ScanLine(Row));
    BlendAlphaRow(Pixels, static_cast<const Byte*>(Back.ScanLine(Row)), Pixels, W);
  }
  Canvas->Draw(X, Y, &Copy);
}

void DrawVerticalText(TCanvas* Canvas, const TRect& Rect, const WideString& Text, bool MultiLine) {
  CheckCanvas(Canvas, "DrawVerticalText");
  Canvas->Brush()->SetStyle(bsClear);
  Canvas->TextExtent(WideString());  // selects the canvas's font into the DC
  HDC DC = Canvas->Handle();
  LOGFONTW Font{};
  GetObjectW(Canvas->Font()->Handle(), sizeof(Font), &Font);
  Font.lfEscapement = 900;
  Font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  HFONT Rotated = CreateFontIndirectW(&Font);
  HGDIOBJ OldFont = SelectObject(DC, Rotated);
  const int OldMode = SetBkMode(DC, TRANSPARENT);
  const COLORREF OldColor = SetTextColor(DC, ColorToRGB(Canvas->Font()->Color()));
  const UINT Flags = DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX | DT_EXTERNALLEADING;
  if (MultiLine && Text.find_first_of(L"\r\n") != WideString::npos) {
    TEXTMETRICW Metrics{};
    GetTextMetricsW(DC, &Metrics);
    TRect R = Rect;
    for (const WideString& Line : SplitLines(Text)) {
      PlatformDrawText(DC, Line, R, Flags);
      R.Left += Metrics.tmHeight;
    }
  } else {
    PlatformDrawText(DC, Text, Rect, Flags);
  }
  SetTextColor(DC, OldColor);
  SetBkMode(DC, OldMode);
  SelectObject(DC, OldFont);
  DeleteObject(Rotated);
}

void DrawGradient(TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2) {
  CheckCanvas(Canvas, "DrawGradient");
  const int Height = Rect.Bottom - Rect.Top;
  if (Height <= 0) return;
  for (int Y = Rect.Top; Y < Rect.Bottom; ++Y) {
    Canvas->Pen()->SetColor(TGraphicsProvider::MixColors(Color1, Color2, static_cast<double>(Y - Rect.Top) / Height));
    Canvas->MoveTo(Rect.Left, Y);
    Canvas->LineTo(Rect.Right, Y);
  }
}
