// Section painting: the values of a section for a state, its layers, the transparency over the
// background, and the wrappers with corner images and border masks.
#include "skin/core/sSectionPaint.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/Graphics.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {

// A weight limited to 0..255.
Byte Weight(int V) { return static_cast<Byte>(V < 0 ? 0 : (V > 255 ? 255 : V)); }

TColor Rgb(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }

bool NonEmpty(const TRect& R) { return R.Right > R.Left && R.Bottom > R.Top; }

// A non-empty rectangle whose sides and coordinates stay far from the integer limits.
bool SaneRect(const TRect& R) {
  constexpr long long Limit = 1LL << 20;
  return NonEmpty(R) && static_cast<long long>(R.Right) - R.Left <= Limit &&
         static_cast<long long>(R.Bottom) - R.Top <= Limit && R.Left > -Limit && R.Top > -Limit && R.Right < Limit &&
         R.Bottom < Limit;
}

TsSkinManager* ManagerOrDefault(TsSkinManager* Manager) {
  return Manager ? Manager : TsSkinManager::DefaultManager();
}

// The texture fill mode of an image record's DrawMode: the values 0 to 14 are the fill modes of
// the same number; other values tile (mode 0).
int FillModeOf(int DrawMode) { return DrawMode >= 0 && DrawMode <= 14 ? DrawMode : 0; }

// Fills R of a bitmap with a colour by the bitmap's format: 32-bit pixels get alpha 255, 24-bit
// pixels are written directly, other formats go through the canvas. The pixels are written here
// rather than through FillRect32, which leaves images under 2 x 2 alone: a section over a strip
// one pixel wide must still get its colour.
void FillColor(TBitmap* Bmp, TRect R, TColor C) {
  if (!NonEmpty(R)) return;
  const TColor Color = Rgb(C);
  const TacPixels P = BitmapPixels(Bmp);
  if (P.Is24() || P.Is32()) {
    R.Left = std::max(R.Left, 0);
    R.Top = std::max(R.Top, 0);
    R.Right = std::min(R.Right, P.Width);
    R.Bottom = std::min(R.Bottom, P.Height);
    if (!NonEmpty(R)) return;
    const Byte Pixel[4] = {static_cast<Byte>((Color >> 16) & 0xFF), static_cast<Byte>((Color >> 8) & 0xFF),
                           static_cast<Byte>(Color & 0xFF), 255};
    const int Bpp = P.BytesPerPixel(), W = R.Right - R.Left;
    Byte* First = P.Pixel(R.Left, R.Top);
    for (int x = 0; x < W; ++x) std::memcpy(First + Bpp * x, Pixel, static_cast<std::size_t>(Bpp));
    for (int y = R.Top + 1; y < R.Bottom; ++y)
      std::memcpy(P.Pixel(R.Left, y), First, static_cast<std::size_t>(W) * static_cast<std::size_t>(Bpp));
    return;
  }
  FillRectSolid(Bmp->Canvas()->Handle(), R, Color);
}

// A work bitmap of the target's format (32-bit for 32-bit targets, else 24-bit). Both section
// painters use it: a 24-bit work bitmap could not be blended onto a 32-bit target at all.
std::unique_ptr<TBitmap> WorkLike(TBitmap* Target, int W, int H) {
  if (Target->PixelFormat() == pf32bit) return std::unique_ptr<TBitmap>(CreateBmp32(W, H));
  return std::unique_ptr<TBitmap>(CreateBmp24(W, H));
}

// Blends all of Work onto Bmp at At with weight A: every byte becomes
// (work * (255 - A) + target * A + 127) shr 8. BlendBitmapRect does the work, but its blenders
// take no image under 2 x 2; a section over a strip one pixel wide or high would then show only
// its background, so such strips are blended here by the same rule.
void BlendWork(TBitmap* Bmp, TBitmap* Work, Byte A, TPoint At) {
  const TacPixels D = BitmapPixels(Bmp), S = BitmapPixels(Work);
  const bool Small = S.Width < 2 || S.Height < 2 || D.Width < 2 || D.Height < 2;
  if (!Small || !((D.Is24() && S.Is24()) || (D.Is32() && S.Is32()))) {
    BlendBitmapRect(Bmp, Work, A, Rect(0, 0, S.Width, S.Height), At);
    return;
  }
  const int X0 = std::max(At.X, 0), Y0 = std::max(At.Y, 0);
  const int X1 = static_cast<int>(std::min<long long>(static_cast<long long>(At.X) + S.Width, D.Width));
  const int Y1 = static_cast<int>(std::min<long long>(static_cast<long long>(At.Y) + S.Height, D.Height));
  if (X1 <= X0 || Y1 <= Y0) return;
  const int Bpp = D.BytesPerPixel(), N = (X1 - X0) * Bpp;
  const unsigned Keep = A, Take = 255u - A;
  for (int y = Y0; y < Y1; ++y) {
    Byte* d = D.Pixel(X0, y);
    const Byte* s = S.Pixel(X0 - At.X, y - At.Y);
    for (int i = 0; i < N; ++i) d[i] = static_cast<Byte>((s[i] * Take + d[i] * Keep + 127) >> 8);
  }
}

// Copies R from CI's picture at (X + Offset.X, Y + Offset.Y) into Bmp; the parts whose source
// lies outside the picture are left.
void CopyBackground(TBitmap* Bmp, TRect R, const TCacheInfo& CI, TPoint Offset) {
  const TacPixels D = BitmapPixels(Bmp), S = BitmapPixels(CI.Bmp);
  const long long sx0 = static_cast<long long>(CI.X) + Offset.X, sy0 = static_cast<long long>(CI.Y) + Offset.Y;
  if ((D.Is24() || D.Is32()) && (S.Is24() || S.Is32())) {
    // Clip the source to the picture and the target to the bitmap, moving both together.
    long long L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom;
    auto ClipAxis = [](long long& A0, long long& A1, long long Src0, long long SrcSize, long long DstSize) {
      // A0..A1: target range; the source of A lies at A - A0start + Src0.
      const long long Shift = Src0 - A0;
      A0 = std::max({A0, 0LL, -Shift});
      A1 = std::min({A1, DstSize, SrcSize - Shift});
      return Shift;
    };
    const long long ShX = ClipAxis(L, Rt, sx0, S.Width, D.Width);
    const long long ShY = ClipAxis(T, B, sy0, S.Height, D.Height);
    if (L >= Rt || T >= B) return;
    const TRect DR = Rect(static_cast<int>(L), static_cast<int>(T), static_cast<int>(Rt), static_cast<int>(B));
    const TRect SR = Rect(static_cast<int>(L + ShX), static_cast<int>(T + ShY), static_cast<int>(Rt + ShX),
                          static_cast<int>(B + ShY));
    TilePixels(D, DR, S, SR);
    return;
  }
  BitBlt(Bmp->Canvas()->Handle(), R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top, CI.Bmp->Canvas()->Handle(),
         static_cast<int>(sx0), static_cast<int>(sy0), SRCCOPY);
  GdiFlush();
}

// The background of a transparent section into R: the picture of a Ready cache info (nothing
// when it is the target itself), else its FillColor (when WithColor).
void PutBackground(TBitmap* Bmp, TRect R, const TCacheInfo& CI, TPoint Offset, bool WithColor) {
  if (CI.Ready) {
    if (CI.Bmp && CI.Bmp != Bmp) CopyBackground(Bmp, R, CI, Offset);
  } else if (WithColor) {
    FillColor(Bmp, R, CI.FillColor);
  }
}

// The transparency blend of a plain colour over R (clipped): every byte becomes
// (colour * (255 - A) + byte * A + 127) shr 8, as BlendBitmapRect would blend a work bitmap of
// that colour (the alpha of 32-bit pixels blends with 255).
bool BlendColorOver(TBitmap* Bmp, TRect R, TColor C, Byte A) {
  const TacPixels P = BitmapPixels(Bmp);
  if (!P.Is24() && !P.Is32()) return false;
  R.Left = std::max(R.Left, 0);
  R.Top = std::max(R.Top, 0);
  R.Right = std::min(R.Right, P.Width);
  R.Bottom = std::min(R.Bottom, P.Height);
  if (!NonEmpty(R)) return true;
  const TColor Color = Rgb(C);
  const int Channel[4] = {(Color >> 16) & 0xFF, (Color >> 8) & 0xFF, Color & 0xFF, 255};
  Byte Table[4][256];
  for (int k = 0; k < 4; ++k)
    for (int v = 0; v < 256; ++v) Table[k][v] = static_cast<Byte>((Channel[k] * (255 - A) + v * A + 127) >> 8);
  const int Bpp = P.BytesPerPixel();
  for (int y = R.Top; y < R.Bottom; ++y) {
    Byte* p = P.Pixel(R.Left, y);
    for (int x = R.Left; x < R.Right; ++x, p += Bpp)
      for (int k = 0; k < Bpp; ++k) p[k] = Table[k][p[k]];
  }
  return true;
}

// The layer painter shared by both section painters. OverCache selects the rules of
// PaintSectionOverCache (texture weight share * 256 div 100 in a byte, its colour-mix rule).
void PaintLayers(TBitmap* Bmp, TRect Q, const TacSectionLayers& L, const TCacheInfo& CI, TsSkinManager* M,
                 bool OverCache) {
  if (!NonEmpty(Q)) return;
  bool TextureDrawn = false;
  if (L.ImagePercent > 0) {
    TRect Rest = Q;
    if (L.PatternTexture) {
      if (L.TexIndex >= 0 && static_cast<std::size_t>(L.TexIndex) < M->Patterns().size()) {
        const TsMaskData NoImage;
        PaintTexture(Bmp, Rest, M->Patterns()[static_cast<std::size_t>(L.TexIndex)].Img.get(), 0, NoImage);
        TextureDrawn = true;
      }
    } else if (M->IsValidMaskIndex(L.TexIndex)) {
      const TsMaskData& Tex = M->Masks()[static_cast<std::size_t>(L.TexIndex)];
      if ((Tex.MaskType & 0xFF) != 0) PaintMaskedTexture(Bmp, Rest, CI, FillModeOf(Tex.DrawMode), Tex);
      else PaintTexture(Bmp, Rest, Tex.Bmp.get(), FillModeOf(Tex.DrawMode), Tex);
      TextureDrawn = true;
    }
    if (Rest.Right != -1) FillColor(Bmp, Rest, L.Color);
  }

  if (L.GradientPercent > 0) {
    // A gradient text without stops (the empty default " ") paints the plain colour.
    const bool HasStops = L.GradientText && !L.GradientText->empty() && L.GradientStops && !L.GradientStops->empty();
    const int W = Q.Right - Q.Left, H = Q.Bottom - Q.Top;
    if (TextureDrawn) {
      auto G = WorkLike(Bmp, W, H);
      if (HasStops) PaintGradient(G.get(), Rect(0, 0, W, H), *L.GradientStops, 0, 0);
      else FillColor(G.get(), Rect(0, 0, W, H), L.Color);
      const Byte b = OverCache ? static_cast<Byte>(L.ImagePercent * 256 / 100)
                               : Weight(L.ImagePercent * 255 / 100);
      BlendWork(Bmp, G.get(), b, TPoint(Q.Left, Q.Top));
    } else if (HasStops) {
      PaintGradient(Bmp, Q, *L.GradientStops, 0, 0);
    } else {
      FillColor(Bmp, Q, L.Color);
    }
  }

  const int s = L.GradientPercent + L.ImagePercent;
  // Where nothing is known of the background (FillColor 0xFF00FF), the section's colour is used.
  const bool BgColorKnown = !CI.Ready && (CI.FillColor & 0xFFFFFF) != acNoCustomColor;
  if (!OverCache) {
    if (s == 0) FillColor(Bmp, Q, (BgColorKnown && L.Transparency != 0) ? CI.FillColor : L.Color);
    else if (s >= 1 && s <= 99) BlendColorRect(Bmp, Q, s, Rgb(L.Color));
  } else {
    if (s == 0 || s > 100) FillColor(Bmp, Q, (BgColorKnown && L.Transparency == 100) ? CI.FillColor : L.Color);
    else if (s >= 1 && s <= 99) BlendColorRect(Bmp, Q, s, Rgb(L.Color));
  }
}

// The extra pass of textures in fill mode 10 over a transparent section (state 0 only).
bool ExtraTexturePass(TBitmap* Bmp, TRect R, TCacheInfo CI, TPoint Offset, TsSkinManager* M, int Index) {
  if (Index == -1 || !M->IsValidMaskIndex(Index)) return false;
  const TsMaskData& Tex = M->Masks()[static_cast<std::size_t>(Index)];
  if (Tex.MaskType <= 0) return false;
  if (Tex.DrawMode == 10) {
    CI.X += Offset.X;
    CI.Y += Offset.Y;
    PaintMaskedTexture(Bmp, R, CI, 10, Tex);
  }
  return true;
}

// Corner images of a section at the corners of R, drawn over the target itself.
void PaintCornerImages(const TsGeneralData& G, TsSkinManager* M, int State, TRect R, TBitmap* Bmp) {
  const TCacheInfo Self = MakeCacheInfo(Bmp, 0, 0);
  auto One = [&](int Index, bool Right, bool Bottom) {
    if (!M->IsValidMaskIndex(Index)) return;
    const TsMaskData& Img = M->Masks()[static_cast<std::size_t>(Index)];
    const int fw = MaskFrameWidth(Img), fh = MaskFrameHeight(Img);
    DrawSkinGlyph(Bmp, TPoint(Right ? R.Right - fw : R.Left, Bottom ? R.Bottom - fh : R.Top), State, 1, Img, Self);
  };
  One(G.ImgTopLeft, false, false);
  One(G.ImgTopRight, true, false);
  One(G.ImgBottomLeft, false, true);
  One(G.ImgBottomRight, true, true);
}

// The background record of a work bitmap that stands for R of the target: its pixel (x, y) is the
// target's (R.Left + x, R.Top + y), so key pixels of a masked texture read the background where
// they would read it painted straight into the target, at any transparency.
TCacheInfo WorkBackground(TCacheInfo CI, const TRect& R) {
  CI.X += R.Left;
  CI.Y += R.Top;
  return CI;
}

// R lies inside Bmp and is not empty.
bool FitsTarget(TBitmap* Bmp, const TRect& R) {
  return Bmp && NonEmpty(R) && R.Left >= 0 && R.Top >= 0 && Bmp->Width() >= R.Right && Bmp->Height() >= R.Bottom;
}

}  // namespace

void PaintSectionBackground(TBitmap* Bmp, TRect Q, const TacSectionLayers& L, const TCacheInfo& CI,
                            TsSkinManager* Manager) {
  Manager = ManagerOrDefault(Manager);
  if (!Bmp || !Manager) return;
  PaintLayers(Bmp, Q, L, CI, Manager, false);
}

void PaintSectionToBitmap(int SkinIndex, const AnsiString& SectionName, TCacheInfo CI, int State, TRect R,
                          TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager, int TexIndex, int HotTexIndex,
                          TColor CustomColor) {
  Manager = ManagerOrDefault(Manager);
  if (!Manager || !Manager->IsValidSectionIndex(SkinIndex) || !Bmp || !SaneRect(R)) return;
  const TsGeneralData& G = Manager->GeneralData()[static_cast<std::size_t>(SkinIndex)];
  const bool Hot = State != 0;

  TacSectionLayers L;
  int T = 0;
  if (CustomColor != acNoCustomColor) {
    L.Color = CustomColor;
  } else {
    L.Color = Hot ? G.HotColor : G.Color;
    T = Hot ? G.HotTransparency : G.Transparency;
    if (T != 100) {
      L.ImagePercent = Hot ? G.HotImagePercent : G.ImagePercent;
      L.GradientPercent = Hot ? G.HotGradientPercent : G.GradientPercent;
      if (L.GradientPercent != 0) {
        L.GradientText = Hot ? &G.HotGradientData() : &G.GradientData();
        L.GradientStops = Hot ? &G.HotGradientArray() : &G.GradientArray();
      }
      if (L.ImagePercent > 0) {
        const int Arg = Hot ? HotTexIndex : TexIndex;
        const char* Property = Hot ? "HOTPATTERN" : "PATTERN";
        int Index = -1;
        if (Arg == -1) Index = Manager->GetMaskIndex(SkinIndex, SectionName, Property);
        else if (Manager->IsValidMaskIndex(Arg) && Manager->Masks()[static_cast<std::size_t>(Arg)].MaskType == 0)
          Index = Arg;
        if (!Manager->IsValidMaskIndex(Index)) {
          Index = Manager->GetPatternIndex(SkinIndex, SectionName, Property);
          L.PatternTexture = Index >= 0;
        }
        L.TexIndex = Index;
      }
    }
  }
  L.Transparency = T;

  const bool BackgroundKnown = CI.Ready || (CI.FillColor & 0xFFFFFF) != acNoCustomColor;
  if (!BackgroundKnown || T == 0) {
    PaintLayers(Bmp, R, L, CI, Manager, false);
  } else if (T == 100) {
    PutBackground(Bmp, R, CI, Offset, true);
  } else if (L.ImagePercent == 0 && L.GradientPercent == 0 && (Bmp->PixelFormat() == pf24bit ||
                                                                 Bmp->PixelFormat() == pf32bit)) {
    // Only a colour: its layer would be one colour, so it is blended in place (same pixels as
    // the work bitmap would give).
    const bool BgColorKnown = !CI.Ready && (CI.FillColor & 0xFFFFFF) != acNoCustomColor;
    PutBackground(Bmp, R, CI, Offset, true);
    BlendColorOver(Bmp, R, BgColorKnown ? CI.FillColor : L.Color, Weight(T * 255 / 100));
  } else {
    const int W = R.Right - R.Left, H = R.Bottom - R.Top;
    auto Work = WorkLike(Bmp, W, H);
    PaintLayers(Work.get(), Rect(0, 0, W, H), L, WorkBackground(CI, R), Manager, false);
    PutBackground(Bmp, R, CI, Offset, true);
    BlendWork(Bmp, Work.get(), Weight(T * 255 / 100), TPoint(R.Left, R.Top));
  }

  // The extra pass lies over a custom colour too: the colour replaces the section's own layers,
  // not the textures the caller asked for.
  if (State == 0) {
    if (!ExtraTexturePass(Bmp, R, CI, Offset, Manager, TexIndex))
      ExtraTexturePass(Bmp, R, CI, Offset, Manager, HotTexIndex);
  }
}

void PaintSectionOverCache(int SkinIndex, int TexIndex, int HotTexIndex, TCacheInfo CI, int State, TRect R,
                           TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager) {
  Manager = ManagerOrDefault(Manager);
  if (!Manager || !Manager->IsValidSectionIndex(SkinIndex) || !Bmp || !SaneRect(R)) return;
  const TsGeneralData& G = Manager->GeneralData()[static_cast<std::size_t>(SkinIndex)];
  const bool Hot = State != 0;
  TacSectionLayers L;
  L.Color = Hot ? G.HotColor : G.Color;
  L.Transparency = Hot ? G.HotTransparency : G.Transparency;
  L.ImagePercent = Hot ? G.HotImagePercent : G.ImagePercent;
  L.GradientPercent = Hot ? G.HotGradientPercent : G.GradientPercent;
  if (L.GradientPercent != 0) {
    L.GradientText = Hot ? &G.HotGradientData() : &G.GradientData();
    L.GradientStops = Hot ? &G.HotGradientArray() : &G.GradientArray();
  }
  L.TexIndex = Hot ? HotTexIndex : TexIndex;
  const int T = L.Transparency;

  if (!CI.Ready || T <= 0) {
    PaintLayers(Bmp, R, L, CI, Manager, true);
  } else {
    const int W = R.Right - R.Left, H = R.Bottom - R.Top;
    auto Work = WorkLike(Bmp, W, H);
    PaintLayers(Work.get(), Rect(0, 0, W, H), L, WorkBackground(CI, R), Manager, true);
    PutBackground(Bmp, R, CI, Offset, false);
    BlendWork(Bmp, Work.get(), Weight(T * 255 / 100), TPoint(R.Left, R.Top));
  }
}

void PaintControlSection(TsCommonData* SkinData, TCacheInfo CI, int State, TRect R, TPoint Offset, TBitmap* Bmp) {
  if (!SkinData) return;
  TsSkinManager* Manager = SkinData->SkinManager();
  if (!Manager) return;
  TColor Custom = acNoCustomColor;
  if (SkinData->CustomColor()) {
    TPersistent* Owner = SkinData->OwnerObject();
    if (Owner && Owner->InheritsFromName("TsSkinProvider")) Custom = Rgb(OwnerColor(SkinData));
    else if (SkinData->OwnerControl()) Custom = Rgb(SkinData->OwnerControl()->Color());
  }
  PaintSectionToBitmap(SkinData->SectionIndex, SkinData->SkinSection(), CI, State, R, Offset, Bmp, Manager,
                       SkinData->PatternIndex, SkinData->HotPatternIndex, Custom);
}

void PaintSectionWithCorners(int SkinIndex, const AnsiString& SectionName, TCacheInfo CI, bool Filling, int State,
                             TRect R, TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager, int TexIndex,
                             int HotTexIndex) {
  Manager = ManagerOrDefault(Manager);
  if (!Manager || !Manager->IsValidSectionIndex(SkinIndex) || !FitsTarget(Bmp, R)) return;
  PaintSectionToBitmap(SkinIndex, SectionName, CI, State, R, Offset, Bmp, Manager, TexIndex, HotTexIndex,
                       acNoCustomColor);
  const TsGeneralData& G = Manager->GeneralData()[static_cast<std::size_t>(SkinIndex)];
  PaintCornerImages(G, Manager, State, R, Bmp);
  CI.X += Offset.X;
  CI.Y += Offset.Y;
  if (Manager->IsValidMaskIndex(G.BorderIndex))
    DrawSkinRect(Bmp, R, Filling, CI, Manager->Masks()[static_cast<std::size_t>(G.BorderIndex)], State, true);
}

void PaintControlSkin(TsCommonData* SkinData, TCacheInfo CI, bool Filling, int State, TRect R, TPoint Offset,
                      TBitmap* Bmp, bool KeyFromCache) {
  if (!SkinData) return;
  TsSkinManager* Manager = SkinData->SkinManager();
  if (!Manager || !Manager->IsValidSectionIndex(SkinData->SectionIndex) || !FitsTarget(Bmp, R)) return;
  PaintControlSection(SkinData, CI, State, R, Offset, Bmp);
  CI.X += Offset.X;
  CI.Y += Offset.Y;
  if (Manager->IsValidMaskIndex(SkinData->BorderMaskIndex)) {
    const TsMaskData& Border = Manager->Masks()[static_cast<std::size_t>(SkinData->BorderMaskIndex)];
    if (!(State == 0 && (Border.DrawMode & dmHotOnly) != 0))
      DrawSkinRect(Bmp, R, Filling, CI, Border, State, KeyFromCache);
  }
  PaintCornerImages(Manager->GeneralData()[static_cast<std::size_t>(SkinData->SectionIndex)], Manager, State, R,
                    Bmp);
}

void PaintSectionToDC(int SkinIndex, const AnsiString& SectionName, TCacheInfo CI, bool Filling, int State, TRect R,
                      TPoint Offset, HDC DC, TsSkinManager* Manager) {
  Manager = ManagerOrDefault(Manager);
  if (!Manager || !Manager->IsValidSectionIndex(SkinIndex) || !DC) return;
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  if (R.Left < 0 || R.Top < 0 || W < 1 || H < 1) return;
  const int Saved = SaveDC(DC);
  struct TRestore {
    HDC DC;
    int Saved;
    ~TRestore() { RestoreDC(DC, Saved); }
  } Restore{DC, Saved};
  std::unique_ptr<TBitmap> Work(CreateBmp24(W, H));
  PaintSectionWithCorners(SkinIndex, SectionName, CI, Filling, State, Rect(0, 0, W, H), Offset, Work.get(), Manager,
                          -1, -1);
  BitBlt(DC, R.Left, R.Top, W, H, Work->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void PaintSectionWithMask(int SkinIndex, int MaskIndex, int TexIndex, int HotTexIndex, TCacheInfo& CI, bool Filling,
                          int State, TRect R, TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager) {
  Manager = ManagerOrDefault(Manager);
  if (!Manager || !Manager->IsValidSectionIndex(SkinIndex) || !FitsTarget(Bmp, R)) return;
  PaintSectionOverCache(SkinIndex, TexIndex, HotTexIndex, CI, State, R, Offset, Bmp, Manager);
  if (!Manager->IsValidMaskIndex(MaskIndex)) return;
  // The caller's record is shifted for the border and shifted back, also when painting fails.
  struct TShift {
    TCacheInfo& CI;
    TPoint Offset;
    TShift(TCacheInfo& C, TPoint O) : CI(C), Offset(O) {
      CI.X += Offset.X;
      CI.Y += Offset.Y;
    }
    ~TShift() {
      CI.X -= Offset.X;
      CI.Y -= Offset.Y;
    }
  } Shift(CI, Offset);
  DrawSkinRect(Bmp, R, Filling, CI, Manager->Masks()[static_cast<std::size_t>(MaskIndex)], State, true);
}

int PaintSectionByName(TBitmap* Bmp, const AnsiString& Name, const AnsiString& AltName, int State,
                       TsSkinManager* Manager, TPoint DCPoint, TColor Color, HDC DC) {
  Manager = ManagerOrDefault(Manager);
  if (!Manager) return -1;
  int Index = Manager->GetSectionIndex(Name);
  if (!Manager->IsValidSectionIndex(Index)) Index = Manager->GetSectionIndex(AltName);
  if (!Manager->IsValidSectionIndex(Index)) return -1;
  if (!Bmp || Bmp->Empty()) return Index;
  TCacheInfo CI;
  CI.FillColor = Color;
  if (DC) {
    BitBlt(Bmp->Canvas()->Handle(), 0, 0, Bmp->Width(), Bmp->Height(), DC, DCPoint.X, DCPoint.Y, SRCCOPY);
    GdiFlush();
    CI.Bmp = Bmp;
    CI.X = 0;
    CI.Y = 0;
    CI.Ready = true;
  }
  PaintSectionWithCorners(Index, Manager->GeneralData()[static_cast<std::size_t>(Index)].SectionName, CI, true,
                          State, Rect(0, 0, Bmp->Width(), Bmp->Height()), TPoint(0, 0), Bmp, Manager, -1, -1);
  return Index;
}
