// The alpha channel and shadow of a non-client image shown by an extended border window.
#include "skin/forms/acExtBorderPaint.h"

#include <algorithm>
#include <cstring>

#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinManager.h"

namespace {

TBitmap* ShadowOf(TsSkinManager* M, bool Active) {
  if (M == nullptr) return nullptr;
  TBitmap* S = M->ShadowImage(Active ? 0 : 1);
  return S != nullptr && !S->Empty() && S->PixelFormat() == pf32bit ? S : nullptr;
}

bool Is32(TBitmap* B) { return B != nullptr && !B->Empty() && B->PixelFormat() == pf32bit; }

}  // namespace

void SetImageAlpha(TBitmap* Image, TRect R, Byte A) {
  if (!Is32(Image)) return;
  GdiFlush();
  R.Left = std::max(R.Left, 0);
  R.Top = std::max(R.Top, 0);
  R.Right = std::min(R.Right, Image->Width());
  R.Bottom = std::min(R.Bottom, Image->Height());
  for (int Y = R.Top; Y < R.Bottom; ++Y) {
    auto* Row = static_cast<Byte*>(Image->ScanLine(Y));
    for (int X = R.Left; X < R.Right; ++X) Row[X * 4 + 3] = A;
  }
}

void ComposeShadow(TBitmap* Image, const TRect& FormRect, const TRect& Margins, TsSkinManager* M, bool Active,
                   int BorderMask, int TitleMask) {
  TBitmap* Shadow = ShadowOf(M, Active);
  if (!Is32(Image) || Shadow == nullptr) return;
  const int W = Image->Width(), H = Image->Height();
  const int FO = M->SkinData()->FormOffset;
  // The shadow as it lies under the whole image, its centre under the form included: the form's
  // cut corners lie over that centre unless "FORMOFFSET" moves the shadow's edges under them.
  // Only what shows of it is drawn: the margins outside the form, and the corners of the masks.
  const Byte Modes[4] = {1, 1, 1, 1};
  const TRect SM{Margins.Left + FO, Margins.Top + FO, Margins.Right + FO, Margins.Bottom + FO};
  const TRect Src{0, 0, Shadow->Width(), Shadow->Height()};
  // The shadow's centre shows only where it reaches out of the form (a negative offset, or an
  // image too small for its margins).
  const bool CentreOutside = FormRect.IsEmpty() || SM.Left < FormRect.Left || SM.Top < FormRect.Top ||
                             W - SM.Right > FormRect.Right || H - SM.Bottom > FormRect.Bottom;
  // The shadow under the image drawn into Dst, whose top-left pixel is the image's pixel At (what
  // lies outside Dst is cut off); Centre: with the nine-slice's centre.
  auto ShadowPart = [&](TBitmap* Dst, const TPoint& At, bool Centre) {
    BltNineSlice(Dst, Shadow, TRect{-At.X, -At.Y, W - At.X, H - At.Y}, Src, SM, SM, Modes, 1, Centre);
  };
  // The margins outside the form take the shadow; the form keeps its own pixels.
  GdiFlush();
  for (int Y = 0; Y < H; ++Y) {
    auto* Row = static_cast<std::uint32_t*>(Image->ScanLine(Y));
    if (Y < FormRect.Top || Y >= FormRect.Bottom) {
      std::memset(Row, 0, static_cast<std::size_t>(W) * 4);
      continue;
    }
    for (int X = 0; X < std::min(FormRect.Left, W); ++X) Row[X] = 0;
    for (int X = std::max(FormRect.Right, 0); X < W; ++X) Row[X] = 0;
  }
  {
    HDC DC = Image->Canvas()->Handle();
    const int State = SaveDC(DC);
    if (!FormRect.IsEmpty()) ExcludeClipRect(DC, FormRect.Left, FormRect.Top, FormRect.Right, FormRect.Bottom);
    ShadowPart(Image, TPoint{0, 0}, CentreOutside);
    RestoreDC(DC, State);
  }
  // The cut corners of the frame and of the title show the shadow under them.
  auto Corner = [&](const TRect& R, int MaskIndex, int Part) {
    if (R.IsEmpty()) return;
    std::unique_ptr<TBitmap> Under(CreateBmp32(R.Width(), R.Height()));
    GdiFlush();
    for (int Y = 0; Y < R.Height(); ++Y) std::memset(Under->ScanLine(Y), 0, static_cast<std::size_t>(R.Width()) * 4);
    ShadowPart(Under.get(), TPoint{R.Left, R.Top}, true);
    FillTransparentFromBG(Image, Under.get(), R, TPoint{0, 0}, MaskIndex, M, Part);
  };
  auto Corners = [&](int MaskIndex, bool Bottom) {
    if (!M->IsValidMaskIndex(MaskIndex)) return;
    const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(MaskIndex)];
    Corner(TRect{FormRect.Left, FormRect.Top, FormRect.Left + Mask.WL, FormRect.Top + Mask.WT}, MaskIndex,
           acPartTopLeft);
    Corner(TRect{FormRect.Right - Mask.WR, FormRect.Top, FormRect.Right, FormRect.Top + Mask.WT}, MaskIndex,
           acPartTopRight);
    if (!Bottom) return;
    Corner(TRect{FormRect.Left, FormRect.Bottom - Mask.WB, FormRect.Left + Mask.WL, FormRect.Bottom}, MaskIndex,
           acPartBottomLeft);
    Corner(TRect{FormRect.Right - Mask.WR, FormRect.Bottom - Mask.WB, FormRect.Right, FormRect.Bottom}, MaskIndex,
           acPartBottomRight);
  };
  Corners(BorderMask, true);
  Corners(TitleMask, false);
}

bool LayExtBorderPicture(TBitmap* Image, TsSkinManager* M, bool Active, int LeftLimit, int RightLimit) {
  TBitmap* Picture = ShadowOf(M, Active);
  if (!Is32(Image) || Picture == nullptr) return false;
  const int Index = M->CommonSkinIndexes().ExBorder;
  if (!M->IsValidMaskIndex(Index)) return false;
  const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(Index)];
  const TRect Margins{std::min<int>(Mask.WL, LeftLimit), Mask.WT, std::min<int>(Mask.WR, RightLimit), Mask.WB};
  const Byte Modes[4] = {1, 1, 1, 1};
  BltNineSlice(Image, Picture, TRect{0, 0, Image->Width(), Image->Height()},
               TRect{0, 0, Picture->Width(), Picture->Height()}, Margins, Margins, Modes, 1, false);
  GdiFlush();
  return true;
}

std::unique_ptr<TBitmap> CopyTopStrip(TBitmap* Image, int Height) {
  if (!Is32(Image)) return nullptr;
  Height = std::clamp(Height, 0, Image->Height());
  std::unique_ptr<TBitmap> Copy(CreateBmp32(Image->Width(), std::max(Height, 1)));
  GdiFlush();
  for (int Y = 0; Y < Height; ++Y)
    std::memcpy(Copy->ScanLine(Y), Image->ScanLine(Y), static_cast<std::size_t>(Image->Width()) * 4);
  return Copy;
}

void OpaqueWhereChanged(TBitmap* Image, TBitmap* Before) {
  if (!Is32(Image) || !Is32(Before)) return;
  GdiFlush();
  const int W = std::min(Image->Width(), Before->Width());
  const int H = std::min(Image->Height(), Before->Height());
  for (int Y = 0; Y < H; ++Y) {
    auto* Now = static_cast<Byte*>(Image->ScanLine(Y));
    const auto* Was = static_cast<const Byte*>(Before->ScanLine(Y));
    for (int X = 0; X < W; ++X) {
      Byte* P = Now + X * 4;
      const Byte* Q = Was + X * 4;
      // The painters may have touched the alpha byte of a pixel whose colour they left alone.
      P[3] = P[0] != Q[0] || P[1] != Q[1] || P[2] != Q[2] ? 255 : Q[3];
    }
  }
}
