// The Win32 half of sPaintUtils: fills, frames, text output and the texture painters.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"

namespace {

RECT ToRECT(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }
TRect ClipBoxOf(HDC DC) {
  RECT C;
  if (GetClipBox(DC, &C) == ERROR) return TRect{0, 0, 0, 0};
  return TRect{C.left, C.top, C.right, C.bottom};
}

// The first position From + k * Step (k >= 0) whose step reaches past Limit.
int FirstStepReaching(int From, int Limit, int Step) {
  if (Limit <= From) return From;
  return From + static_cast<int>((static_cast<long long>(Limit) - From) / Step) * Step;
}


// Lays tiles of a W x H area at (SX, SY) of SrcDC periodically over Area of DC from Anchor; only
// the tiles that reach into Visible are copied.
void BltTiles(HDC DC, const TRect& Area, TPoint Anchor, const TRect& Visible, HDC SrcDC, int SX, int SY, int W, int H) {
  const TRect V = RectIntersection(Area, Visible);
  if (V.IsEmpty() || W <= 0 || H <= 0) return;
  const int X0 = FirstStepReaching(Anchor.X, V.Left, W), Y0 = FirstStepReaching(Anchor.Y, V.Top, H);
  for (int Y = Y0; Y < V.Bottom; Y += H)
    for (int X = X0; X < V.Right; X += W) {
      const TRect T = RectIntersection(TRect{X, Y, X + W, Y + H}, Area);
      if (T.IsEmpty()) continue;
      BitBlt(DC, T.Left, T.Top, T.Right - T.Left, T.Bottom - T.Top, SrcDC, SX + (T.Left - X), SY + (T.Top - Y),
             SRCCOPY);
    }
}

// A tile of at least 64 x 64 pixels made of whole copies of a small bitmap, so that few copies
// cover a large area; nullptr when the bitmap is large enough itself.
std::unique_ptr<TBitmap> WidenTile(TBitmap* Bmp) {
  const int W = Bmp->Width(), H = Bmp->Height();
  if (W >= 64 && H >= 64) return nullptr;
  const int KX = (64 + W - 1) / W, KY = (64 + H - 1) / H;
  std::unique_ptr<TBitmap> Big(CreateBmp32(W * KX, H * KY));
  HDC Src = Bmp->Canvas()->Handle();
  BltTiles(Big->Canvas()->Handle(), TRect{0, 0, W * KX, H * KY}, TPoint{0, 0}, TRect{0, 0, W * KX, H * KY}, Src, 0, 0,
           W, H);
  return Big;
}

// Selects the canvas's font (with its colour) and a transparent background into its DC.
HDC TextDC(TCanvas* Canvas) {
  Canvas->TextExtent(WideString());
  HDC DC = Canvas->Handle();
  SetBkMode(DC, TRANSPARENT);
  return DC;
}

void TextPass(TCanvas* Canvas, const wchar_t* Text, TColor Color, TRect R, UINT Flags) {
  Canvas->Font()->SetColor(Color);
  HDC DC = TextDC(Canvas);
  RECT Rc = ToRECT(R);
  DrawTextW(DC, Text, -1, &Rc, Flags);
}

// The four contour passes (a colour of -1 skips its pass) and the main pass.
void ContourAndMain(TCanvas* Canvas, const wchar_t* Text, const TRect& R, UINT Flags, UINT MainFlags,
                    const std::int32_t (&Colors)[5]) {
  const TPoint Moves[4] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
  for (int I = 0; I < 4; ++I) {
    if (Colors[I + 1] == -1) continue;
    TextPass(Canvas, Text, Colors[I + 1],
             TRect{R.Left + Moves[I].X, R.Top + Moves[I].Y, R.Right + Moves[I].X, R.Bottom + Moves[I].Y}, Flags);
  }
  TextPass(Canvas, Text, Colors[0], R, MainFlags);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fills and frames

void FillRectSolid(HDC DC, const TRect& R, TColor Color) {
  if (DC == nullptr || R.IsEmpty()) return;
  const int Saved = SaveDC(DC);
  HBRUSH Brush = CreateSolidBrush(ColorToRGB(Color));
  RECT Rc = ToRECT(R);
  FillRect(DC, &Rc, Brush);
  DeleteObject(Brush);
  RestoreDC(DC, Saved);
}

void FillFrameSolid(HDC DC, const TRect& R, int Left, int Top, int Right, int Bottom, TColor Color) {
  if (DC == nullptr) return;
  const int Saved = SaveDC(DC);
  HBRUSH Brush = CreateSolidBrush(ColorToRGB(Color));
  const TRect Strips[4] = {
      {R.Left, R.Top, R.Right, R.Top + Top},
      {R.Left, R.Top + Top, R.Left + Left, R.Bottom},
      {R.Left + Left, R.Bottom - Bottom, R.Right, R.Bottom},
      {R.Right - Right, R.Top + Top, R.Right, R.Bottom - Bottom},
  };
  for (const TRect& S : Strips) {
    if (S.IsEmpty()) continue;
    RECT Rc = ToRECT(S);
    FillRect(DC, &Rc, Brush);
  }
  DeleteObject(Brush);
  RestoreDC(DC, Saved);
}

void BltFrame(HDC DstDC, int X, int Y, int W, int H, HDC SrcDC, int SX, int SY, int T) {
  if (DstDC == nullptr || SrcDC == nullptr || W <= 0 || H <= 0 || T <= 0) return;
  // The strips of the frame, each limited to the W x H area.
  const int TW = std::min(T, W), TH = std::min(T, H);
  BitBlt(DstDC, X, Y, TW, H, SrcDC, SX, SY, SRCCOPY);                                      // left
  if (W > TW) BitBlt(DstDC, X + TW, Y, W - TW, TH, SrcDC, SX + TW, SY, SRCCOPY);         // top
  if (W > TW && H > TH)
    BitBlt(DstDC, X + W - TW, Y + TH, TW, H - TH, SrcDC, SX + W - TW, SY + TH, SRCCOPY);  // right
  if (W > TW && H > TH)
    BitBlt(DstDC, X + TW, Y + H - TH, W - TW, TH, SrcDC, SX + TW, SY + H - TH, SRCCOPY);  // bottom
}

void ExcludeGraphicControls(HDC DC, TWinControl* Control, int OffsetX, int OffsetY) {
  if (DC == nullptr || Control == nullptr) return;
  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* C = Control->Controls(I);
    if (C == nullptr || !C->Visible() || dynamic_cast<TGraphicControl*>(C) == nullptr) continue;
    if (C->InheritsFromName("TsSplitter")) continue;
    ExcludeClipRect(DC, C->Left() + OffsetX, C->Top() + OffsetY, C->Left() + C->Width() + OffsetX,
                    C->Top() + C->Height() + OffsetY);
  }
}

void TacIconStamp::Draw(TBitmap* Bmp, int X, int Y, HICON Icon, int W, int H) {
  if (Bmp == nullptr || Icon == nullptr || W <= 0 || H <= 0) return;
  GdiFlush();
  const TacPixels P = BitmapPixels(Bmp);
  if (P.Empty() || P.Bits < 24 || X < 0 || Y < 0 || X + W > P.Width || Y + H > P.Height) {
    ++FSystemDraws;
    DrawIconEx(Bmp->Canvas()->Handle(), X, Y, Icon, W, H, 0, nullptr, DI_NORMAL);
    return;
  }
  const std::size_t Row = static_cast<std::size_t>(W) * static_cast<std::size_t>(P.BytesPerPixel());
  auto Read = [&](std::vector<Byte>& Out) {
    Out.resize(Row * static_cast<std::size_t>(H));
    for (int R = 0; R < H; ++R) std::memcpy(&Out[Row * static_cast<std::size_t>(R)], P.Pixel(X, Y + R), Row);
  };
  std::vector<Byte> Under;
  Read(Under);
  if (Icon == FIcon && W == FWidth && H == FHeight && P.Bits == FBits && Under == FUnder) {
    for (int R = 0; R < H; ++R) std::memcpy(P.Pixel(X, Y + R), &FDrawn[Row * static_cast<std::size_t>(R)], Row);
    return;
  }
  ++FSystemDraws;
  DrawIconEx(Bmp->Canvas()->Handle(), X, Y, Icon, W, H, 0, nullptr, DI_NORMAL);
  GdiFlush();
  FIcon = Icon;
  FWidth = W;
  FHeight = H;
  FBits = P.Bits;
  FUnder = std::move(Under);
  Read(FDrawn);
}

// ---------------------------------------------------------------------------------------------
// Text

void CutTextToWidth(TCanvas* Canvas, const WideString& Text, int Width, WideString& Result) {
  Result = CutTextToWidth(Text, Width, [Canvas](const WideString& S) { return Canvas->TextWidth(S); });
}

void CutTextToWidth(TCanvas* Canvas, const AnsiString& Text, int Width, AnsiString& Result) {
  Result = CutTextToWidth(Text, Width, [Canvas](const AnsiString& S) { return Canvas->TextWidth(S); });
}

void DrawTextStr(HDC DC, const WideString& Text, TRect& R, UINT Flags) {
  RECT Rc = ToRECT(R);
  DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &Rc, Flags);
  if (Flags & DT_CALCRECT) R = TRect{Rc.left, Rc.top, Rc.right, Rc.bottom};
}

void DrawTextStr(HDC DC, const AnsiString& Text, TRect& R, UINT Flags) {
  RECT Rc = ToRECT(R);
  DrawTextA(DC, Text.c_str(), static_cast<int>(Text.size()), &Rc, Flags);
  if (Flags & DT_CALCRECT) R = TRect{Rc.left, Rc.top, Rc.right, Rc.bottom};
}

int GetTextWidth(TCanvas* Canvas, const WideString& Text) { return Canvas->TextExtent(Text).cx; }
int GetTextWidth(TCanvas* Canvas, const AnsiString& Text) { return Canvas->TextExtent(Text).cx; }
void GetTextExtent(TCanvas* Canvas, const WideString& Text, TSize& Size) { Size = Canvas->TextExtent(Text); }
void GetTextExtent(TCanvas* Canvas, const AnsiString& Text, TSize& Size) { Size = Canvas->TextExtent(Text); }
void DrawTextRect(TCanvas* Canvas, const TRect& R, int X, int Y, const WideString& Text) {
  Canvas->TextRect(R, X, Y, Text);
}
void DrawTextRect(TCanvas* Canvas, const TRect& R, int X, int Y, const AnsiString& Text) {
  Canvas->TextRect(R, X, Y, Text);
}

void DrawSectionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags, int SkinIndex,
                     bool Hot, TsSkinManager* Manager) {
  if (Canvas == nullptr || Text == nullptr || TsSkinManager::DefaultManager() == nullptr) return;
  if (Manager == nullptr) Manager = TsSkinManager::DefaultManager();
  if (!Manager->IsValidSectionIndex(SkinIndex)) return;
  const TsGeneralData& S = Manager->GeneralData()[static_cast<std::size_t>(SkinIndex)];
  Canvas->Brush()->SetStyle(bsClear);
  if (!Enabled) {
    TextPass(Canvas, Text, MixColorsLinear(S.FontColor[0], S.Color, 0.4), R, Flags);
    return;
  }
  ContourAndMain(Canvas, Text, R, Flags, Flags, Hot ? S.HotFontColor : S.FontColor);
}

void WriteSectionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags, int SkinIndex,
                      bool Hot, TsSkinManager* Manager) {
  DrawSectionText(Canvas, Text, Enabled, R, Flags, SkinIndex, Hot, Manager);
}

void DrawCaptionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags,
                     TsCommonData* SkinData, bool Hot) {
  if (Canvas == nullptr || SkinData == nullptr) return;
  TControl* Owner = SkinData->OwnerControl();
  if (Owner != nullptr) Canvas->Font()->Assign(Owner->Font());
  if (Hot && SkinData->SkinSection() == "WEBBUTTON") {
    TFontStyles Style = Canvas->Font()->Style();
    Style.Include(fsUnderline);
    Canvas->Font()->SetStyle(Style);
  }
  // The brush below replaces (frees) the canvas's own: the state is saved without it.
  HDC DC = Canvas->HandleForSavedState();
  const int Saved = SaveDC(DC);
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  struct Restore {
    TCanvas* Canvas;
    HDC DC;
    int Saved;
    // The canvas selects its objects again after the DC's state comes back.
    ~Restore() {
      RestoreDC(DC, Saved);
      Canvas->Refresh();
    }
  } Guard{Canvas, DC, Saved};
  if (Text == nullptr) return;

  TsSkinManager* Manager = SkinData->GetSkinManager();
  int Index = SkinData->SectionIndex;
  const bool Valid = Manager != nullptr && Manager->IsValidSectionIndex(Index);
  if (Valid && Owner != nullptr) {
    const int Kind = SkinData->KindCode();
    const bool KindUsesParentFont =
        Kind == 32 || Kind == 33 || Kind == 74 || dynamic_cast<TGraphicControl*>(Owner) != nullptr;
    const TsGeneralData& S = Manager->GeneralData()[static_cast<std::size_t>(Index)];
    const int T = Hot ? S.HotTransparency : S.Transparency;
    if (KindUsesParentFont && Owner->ParentFont() && Owner->Parent() != nullptr && T > 0)
      Index = ParentFontSectionIndex(Owner, Index, Manager);
  }
  const bool ValidSection = Manager != nullptr && Manager->IsValidSectionIndex(Index);
  Canvas->Brush()->SetStyle(bsClear);
  if (Enabled) {
    if (ValidSection && !SkinData->CustomFont()) {
      const TsGeneralData& S = Manager->GeneralData()[static_cast<std::size_t>(Index)];
      ContourAndMain(Canvas, Text, R, Flags, Flags | DT_NOCLIP, Hot ? S.HotFontColor : S.FontColor);
    } else {
      RECT Rc = ToRECT(R);
      DrawTextW(TextDC(Canvas), Text, -1, &Rc, Flags | DT_NOCLIP);
    }
    return;
  }
  if (!ValidSection) {
    RECT Rc = ToRECT(R);
    DrawTextW(TextDC(Canvas), Text, -1, &Rc, Flags);
    return;
  }
  const TsGeneralData& S = Manager->GeneralData()[static_cast<std::size_t>(Index)];
  TextPass(Canvas, Text, MixColorsLinear(S.FontColor[0], Manager->GetGlobalColor(), 0.4), R, Flags);
}

void WriteCaptionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags,
                      TsCommonData* SkinData, bool Hot, int) {
  DrawCaptionText(Canvas, Text, Enabled, R, Flags, SkinData, Hot);
}

// ---------------------------------------------------------------------------------------------
// Frames and shadows

void Draw3DFrame(HDC DC, TRect& R, TColor TopLeft, int& Width, TColor BottomRight) {
  if (DC == nullptr) return;
  HPEN Pen1 = CreatePen(PS_SOLID, 1, ColorToRGB(TopLeft));
  HPEN Pen2 = CreatePen(PS_SOLID, 1, ColorToRGB(BottomRight));
  HGDIOBJ OldPen = SelectObject(DC, Pen1);
  HGDIOBJ OldBrush = SelectObject(DC, GetStockObject(NULL_BRUSH));
  R.Right -= 1;
  R.Bottom -= 1;
  while (Width > 0) {
    if (R.Right < R.Left || R.Bottom < R.Top) {
      // Nothing is left to draw on: the remaining rings only move the edges.
      const long long N = Width;
      auto Move = [N](int V, int Sign) {
        return static_cast<int>(std::clamp(static_cast<long long>(V) + Sign * N, -(1LL << 30), 1LL << 30));
      };
      R = TRect{Move(R.Left, 1), Move(R.Top, 1), Move(R.Right, -1), Move(R.Bottom, -1)};
      Width = 0;
      break;
    }
    Width -= 1;
    const POINT A[3] = {{R.Left, R.Bottom}, {R.Left, R.Top}, {R.Right, R.Top}};
    SelectObject(DC, Pen1);
    Polyline(DC, A, 3);
    const POINT B[3] = {{R.Right, R.Top}, {R.Right, R.Bottom}, {R.Left - 1, R.Bottom}};
    SelectObject(DC, Pen2);
    Polyline(DC, B, 3);
    R = TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
  }
  R.Right += 1;
  R.Bottom += 1;
  SelectObject(DC, OldBrush);
  SelectObject(DC, OldPen);
  DeleteObject(Pen1);
  DeleteObject(Pen2);
}

void DrawDottedFocusRect(TCanvas* Canvas, const TRect& R) {
  if (Canvas == nullptr) return;
  HDC DC = Canvas->Handle();
  // Only dots that can be seen are set.
  const TRect Clip = ClipBoxOf(DC);
  const int NX = (R.Right - R.Left) / 3, NY = (R.Bottom - R.Top) / 3;
  auto Range = [](int From, int N, int Lo, int Hi, int& I0, int& I1) {
    // i with From + 3i - 1 .. From + 3i inside [Lo - 1, Hi]
    I0 = std::max(0, static_cast<int>((static_cast<long long>(Lo) - From - 1) / 3));
    I1 = std::min(N, static_cast<int>((static_cast<long long>(Hi) - From + 2) / 3));
  };
  int I0, I1;
  Range(R.Left, NX, Clip.Left, Clip.Right, I0, I1);
  for (int I = I0; I <= I1; ++I) {
    const int X = R.Left + 3 * I;
    SetPixelV(DC, X, R.Top, RGB(0, 0, 0));
    SetPixelV(DC, X, R.Bottom, RGB(0, 0, 0));
    SetPixelV(DC, X - 1, R.Top - 1, RGB(255, 255, 255));
    SetPixelV(DC, X - 1, R.Bottom - 1, RGB(255, 255, 255));
  }
  Range(R.Top, NY, Clip.Top, Clip.Bottom, I0, I1);
  for (int J = I0; J <= I1; ++J) {
    const int Y = R.Top + 3 * J;
    SetPixelV(DC, R.Left, Y, RGB(0, 0, 0));
    SetPixelV(DC, R.Right, Y, RGB(0, 0, 0));
    SetPixelV(DC, R.Left - 1, Y - 1, RGB(255, 255, 255));
    SetPixelV(DC, R.Right - 1, Y - 1, RGB(255, 255, 255));
  }
}

void PaintRoundShadow(TBitmap* Bmp, const TRect& R, int Percent, TColor Color, int Blur, int Radius) {
  if (Bmp == nullptr || R.IsEmpty()) return;
  // Only the part of R inside the bitmap is worked on; the rings keep their places.
  const TRect Part = RectIntersection(R, TRect{0, 0, Bmp->Width(), Bmp->Height()});
  if (Part.IsEmpty()) return;
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  const int PW = Part.Right - Part.Left, PH = Part.Bottom - Part.Top;
  const int DX = R.Left - Part.Left, DY = R.Top - Part.Top;
  const TacShadowRings Rings = ShadowRings(W, H, Percent, Blur, Radius);

  std::unique_ptr<TBitmap> A(CreateBmp24(PW, PH));
  std::unique_ptr<TBitmap> M(CreateBmp24(PW, PH));
  BitBlt(A->Canvas()->Handle(), 0, 0, PW, PH, Bmp->Canvas()->Handle(), Part.Left, Part.Top, SRCCOPY);
  HDC MDC = M->Canvas()->Handle();
  const int Saved = SaveDC(MDC);
  SelectObject(MDC, GetStockObject(NULL_PEN));
  auto Ring = [&](int Inset, int Level, int Corner) {
    HBRUSH Brush = CreateSolidBrush(RGB(Level, Level, Level));
    HGDIOBJ Old = SelectObject(MDC, Brush);
    RoundRect(MDC, DX + Inset, DY + Inset, DX + W - Inset, DY + H - Inset, Corner, Corner);
    SelectObject(MDC, Old);
    DeleteObject(Brush);
  };
  for (int I = 0; I <= Rings.Blur; ++I) Ring(I, Rings.Levels[static_cast<std::size_t>(I)], Rings.Radius);
  Ring(Rings.Blur, Rings.Core, Rings.Blur);
  RestoreDC(MDC, Saved);
  M->Canvas()->Refresh();
  BlendColorByMask(A.get(), M.get(), Color);
  BitBlt(Bmp->Canvas()->Handle(), Part.Left, Part.Top, PW, PH, A->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------------------------
// Textures

void TileGraphic(TCanvas* Canvas, const TRect& R, TGraphic* Graphic) {
  if (Canvas == nullptr || Graphic == nullptr || Graphic->Empty() || R.IsEmpty()) return;
  TBitmap* Bmp = dynamic_cast<TBitmap*>(Graphic);
  std::unique_ptr<TBitmap> Rendered;
  if (Bmp == nullptr) {
    if (!Graphic->InheritsFromName("TJPEGImage")) return;
    // A JPEG picture is drawn once and tiled like a bitmap.
    Rendered.reset(CreateBmp24(Graphic->Width(), Graphic->Height()));
    Rendered->Canvas()->Draw(0, 0, Graphic);
    Bmp = Rendered.get();
  }
  std::unique_ptr<TBitmap> Wide = WidenTile(Bmp);
  TBitmap* Tile = Wide ? Wide.get() : Bmp;
  HDC DC = Canvas->Handle();
  BltTiles(DC, R, TPoint{R.Left, R.Top}, ClipBoxOf(DC), Tile->Canvas()->Handle(), 0, 0, Tile->Width(),
           Tile->Height());
}

void PaintTexture(TBitmap* Target, TRect& R, TGraphic* Graphic, int FillMode, const TsMaskData& Mask) {
  if (Target == nullptr) return;
  if (Graphic != nullptr && !Graphic->Empty()) {
    TileGraphic(Target->Canvas(), R, Graphic);
    R = acNoRect;
    return;
  }
  if (Mask.Manager == nullptr) return;
  TBitmap* Master = Mask.Manager->MasterBitmap();
  if (Master == nullptr) return;
  const int W = Mask.R.Right - Mask.R.Left, H = Mask.R.Bottom - Mask.R.Top;
  const TacTexturePlan Plan = TexturePlan(R, W, H, FillMode);
  if (Plan.Area.IsEmpty() && Plan.Rest == R) return;
  const TRect Clip = RectIntersection(R, TRect{0, 0, Target->Width(), Target->Height()});
  if (Plan.Stretch) {
    HDC DC = Target->Canvas()->Handle();
    const int Saved = SaveDC(DC);
    IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
    SetStretchBltMode(DC, COLORONCOLOR);
    StretchBlt(DC, Plan.Area.Left, Plan.Area.Top, Plan.Area.Right - Plan.Area.Left, Plan.Area.Bottom - Plan.Area.Top,
               Master->Canvas()->Handle(), Mask.R.Left, Mask.R.Top, W, H, SRCCOPY);
    RestoreDC(DC, Saved);
    Target->Canvas()->Refresh();
  } else {
    // Pixel copies where the target's device context has no clipping region of its own (device
    // copies honour it).
    HDC DC = Target->Canvas()->Handle();
    HRGN Region = CreateRectRgn(0, 0, 0, 0);
    const bool DCClipped = GetClipRgn(DC, Region) == 1;
    DeleteObject(Region);
    const TacPixels D = BitmapPixels(Target), S = BitmapPixels(Master);
    if (!DCClipped && (D.Is24() || D.Is32()) && (S.Is24() || S.Is32())) {
      TilePixels(D, RectIntersection(Plan.Area, Clip), Plan.Anchor, S, Mask.R);
    } else {
      BltTiles(Target->Canvas()->Handle(), Plan.Area, Plan.Anchor, Clip, Master->Canvas()->Handle(), Mask.R.Left,
               Mask.R.Top, W, H);
    }
  }
  R = Plan.Rest;
}

void PaintMaskedTexture(TBitmap* Target, TRect& R, const TCacheInfo& CI, int FillMode, const TsMaskData& Mask) {
  if (Target == nullptr || Mask.Manager == nullptr || Mask.ImageCount < 1) return;
  if (FillMode != 0 && FillMode != 10) return;
  TBitmap* Src = MaskSourceBitmap(Mask);
  if (Src == nullptr) return;
  const int W = (Mask.R.Right - Mask.R.Left) / Mask.ImageCount, H = (Mask.R.Bottom - Mask.R.Top) / 2;
  if (W <= 0 || H <= 0 || R.IsEmpty()) return;
  const TacMaskedPlan Plan = MaskedTexturePlan(R, W, H, FillMode);

  const TacPixels D = BitmapPixels(Target), S = BitmapPixels(Src);
  const TacBackground Bg = CacheBackground(CI);
  const TRect SrcRect{Mask.R.Left, Mask.R.Top, Mask.R.Left + W, Mask.R.Top + H};
  const int MaskOffset = (Mask.R.Bottom - Mask.R.Top) / 2;
  // Only the tiles that reach into the target are painted.
  const TRect V = RectIntersection(Plan.Tiles, TRect{0, 0, Target->Width(), Target->Height()});
  if (!V.IsEmpty()) {
    const int X0 = FirstStepReaching(Plan.Tiles.Left, V.Left, W), Y0 = FirstStepReaching(Plan.Tiles.Top, V.Top, H);
    for (int Y = Y0; Y < V.Bottom; Y += H)
      for (int X = X0; X < V.Right; X += W)
        CopyMaskedWithCache(RectIntersection(TRect{X, Y, X + W, Y + H}, Plan.Tiles), SrcRect, D, S, Bg, MaskOffset);
  }
  // Mode 10: the remainders show the background.
  for (const TRect& Strip : {Plan.BottomStrip, Plan.RightStrip}) {
    if (Strip.IsEmpty()) continue;
    if (CI.Ready && CI.Bmp != nullptr) {
      BitBlt(Target->Canvas()->Handle(), Strip.Left, Strip.Top, Strip.Right - Strip.Left, Strip.Bottom - Strip.Top,
             CI.Bmp->Canvas()->Handle(), Strip.Left + CI.X, Strip.Top + CI.Y, SRCCOPY);
    } else if (CI.FillColor != clKeyColor) {
      if (Target->PixelFormat() == pf32bit)
        FillRect32(Target, Strip, CI.FillColor);
      else
        FillRectSolid(Target->Canvas()->Handle(), Strip, CI.FillColor);
    }
  }
  R = acNoRect;
}
