// Skin image painting: the portable pixel loops first, then the painters on bitmaps (Win32).
#include "skin/core/sImagePaint.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "skin/core/sPaintUtils.h"

namespace {

using i64 = long long;

// The mask blend of one pixel's three channels.
void MaskBlend(Byte* d, const Byte* s, const Byte* m) {
  for (int k = 0; k < 3; ++k) d[k] = MaskBlendChannel(d[k], s[k], m[k]);
}

bool Is24or32(const TacPixels& P) { return P.Is24() || P.Is32(); }

// Copies Count pixels between rows of possibly different depth (24/32); 32-bit targets of a 24-bit
// source get alpha 255.
void CopyRowPixels(Byte* d, int DB, const Byte* s, int SB, int Count) {
  if (DB == SB) {
    std::memmove(d, s, static_cast<std::size_t>(Count) * static_cast<std::size_t>(DB));
    return;
  }
  for (int i = 0; i < Count; ++i, d += DB, s += SB) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    if (DB == 4) d[3] = 255;
  }
}

}  // namespace

TacMargins ShrinkMargins(TacMargins M, int Width, int Height) {
  auto Shrink = [](int& A, int& B, int Size) {
    if (Size < A + B) {
      const int d = (A + B - Size) / 2;
      A -= d;
      B -= d;
      if (Size % 2 != 0) --B;
      // Unequal margins shrink by the same amount, so the larger one may still be wider than the
      // target: it is cut to the target, and no piece is painted outside it.
      A = std::clamp(A, 0, std::max(Size, 0));
      B = std::clamp(B, 0, std::max(Size, 0));
    }
  };
  Shrink(M.Left, M.Right, Width);
  Shrink(M.Top, M.Bottom, Height);
  return M;
}

int FrameIndex(int State, int Count) {
  if (Count < 1 || State < 0) return 0;
  return State < Count ? State : Count - 1;
}

void TilePixels(const TacPixels& Dst, TRect DstRect, const TacPixels& Src, TRect SrcRect) {
  // The tile must lie inside the source (its size computed in 64 bits); the grid starts at the
  // destination's top-left corner.
  const i64 sw = i64{SrcRect.Right} - SrcRect.Left, sh = i64{SrcRect.Bottom} - SrcRect.Top;
  if (sw <= 0 || sh <= 0 || SrcRect.Left < 0 || SrcRect.Top < 0 || SrcRect.Right > Src.Width ||
      SrcRect.Bottom > Src.Height)
    return;
  TilePixels(Dst, DstRect, TPoint{DstRect.Left, DstRect.Top}, Src, SrcRect);
}

void MaskCopyPixels(const TacPixels& Dst, TRect DstRect, const TacPixels& Src, TRect SrcRect, int MaskType,
                    int MaskRows, bool UseKey, const TacKeyRunSink& Runs) {
  if (DstRect.Left < 0 || DstRect.Top < 0 || DstRect.Right < 0 || DstRect.Bottom < 0 || SrcRect.Left < 0 ||
      SrcRect.Top < 0 || SrcRect.Right < 0 || SrcRect.Bottom < 0)
    return;
  if (!Is24or32(Dst) || !Is24or32(Src) || Dst.Width < 2 || Dst.Height < 2) return;
  const bool Masked = MaskType == 1;
  if (Masked && MaskRows < 0) return;
  // Inclusive rectangles; a masked source has only the rows whose mask row exists.
  TacPixelClip C;
  if (!ClipPixelCopy(SrcRect.Left, SrcRect.Top, DstRect.Left, DstRect.Top,
                     std::min(i64{SrcRect.Right} - SrcRect.Left + 1, i64{DstRect.Right} - DstRect.Left + 1),
                     std::min(i64{SrcRect.Bottom} - SrcRect.Top + 1, i64{DstRect.Bottom} - DstRect.Top + 1),
                     Src.Width, Masked ? i64{Src.Height} - MaskRows : i64{Src.Height}, Dst.Width, Dst.Height, C))
    return;
  const int Rows = C.H, Cols = C.W;
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  for (int r = 0; r < Rows; ++r) {
    const int dy = C.DY + r, sy = C.SY + r;
    const Byte* s = Src.Pixel(C.SX, sy);
    const Byte* m = Masked ? Src.Pixel(C.SX, sy + MaskRows) : nullptr;
    Byte* d = Dst.Pixel(C.DX, dy);
    if (!UseKey && !Masked) {
      CopyRowPixels(d, DB, s, SB, static_cast<int>(Cols));
      continue;
    }
    int RunStart = -1;
    for (int c = 0; c < Cols; ++c, s += SB, d += DB) {
      if (UseKey && IsKeyPixel(s)) {
        if (RunStart < 0) RunStart = c;
        continue;
      }
      if (RunStart >= 0) {
        if (Runs) Runs(C.DX + RunStart, dy, c - RunStart, false);
        RunStart = -1;
      }
      if (Masked) {
        MaskBlend(d, s, m + c * SB);
      } else {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      if (DB == 4) d[3] = 255;
    }
    if (RunStart >= 0 && Runs) Runs(C.DX + RunStart, dy, Cols - RunStart, true);
  }
}

namespace {

// The part of an inclusive source rectangle copied to (X, Y), clipped to both images (SrcHeight
// rows of the source usable); a negative origin moves both.
bool ClipCopy(const TacPixels& Dst, int X, int Y, const TacPixels& Src, TRect SrcRect, i64 SrcHeight, TacPixelClip& C) {
  return ClipPixelCopy(SrcRect.Left, SrcRect.Top, X, Y, i64{SrcRect.Right} - SrcRect.Left + 1,
                       i64{SrcRect.Bottom} - SrcRect.Top + 1, Src.Width, SrcHeight, Dst.Width, Dst.Height, C);
}

}  // namespace

void CopyKeyedPixels(const TacPixels& Dst, int X, int Y, const TacPixels& Src, TRect SrcRect, const TacBackground& Bg) {
  if (!Is24or32(Dst) || !Is24or32(Src)) return;
  TacPixelClip C;
  if (!ClipCopy(Dst, X, Y, Src, SrcRect, Src.Height, C)) return;
  const bool HasPicture = Bg.Ready && Is24or32(Bg.Bmp) && !Bg.Bmp.SameImage(Dst);
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel(), BB = HasPicture ? Bg.Bmp.BytesPerPixel() : 0;
  for (int r = 0; r < C.H; ++r) {
    const int dy = C.DY + r;
    const Byte* s = Src.Pixel(C.SX, C.SY + r);
    Byte* d = Dst.Pixel(C.DX, dy);
    const i64 by = i64{dy} + Bg.Y;
    for (int c = 0; c < C.W; ++c, s += SB, d += DB) {
      const bool IsKey = IsKeyPixel(s) && (SB == 3 || s[3] == 0);
      if (!IsKey) {
        if (SB == 4 && DB == 4) {
          std::memcpy(d, s, 4);
        } else {
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
          if (DB == 4) d[3] = 255;
        }
        continue;
      }
      if (!HasPicture || by < 0 || by >= Bg.Bmp.Height) continue;
      const i64 bx = i64{C.DX} + c + Bg.X;
      if (bx < 0 || bx >= Bg.Bmp.Width) continue;
      const Byte* b = Bg.Bmp.Row(static_cast<int>(by)) + bx * BB;
      d[0] = b[0];
      d[1] = b[1];
      d[2] = b[2];
      if (DB == 4) d[3] = 255;
    }
  }
}

void CopyMaskedGlyphPixels(const TacPixels& Dst, int X, int Y, const TacPixels& Src, TRect SrcRect, int MaskType,
                           int MaskRows, bool Faint, TColor Key) {
  if (!Is24or32(Dst) || !Is24or32(Src)) return;
  const bool Masked = MaskType >= 1;
  if (Masked && MaskRows < 0) return;
  TacPixelClip C;
  if (!ClipCopy(Dst, X, Y, Src, SrcRect, Masked ? i64{Src.Height} - MaskRows : i64{Src.Height}, C)) return;
  const i64 sx = C.SX, sy = C.SY, dx = C.DX, dy = C.DY, w = C.W, h = C.H;
  const bool HasKey = ((static_cast<std::uint32_t>(Key) >> 24) & 0xFF) != 0xFF;
  const Byte KB = static_cast<Byte>((Key >> 16) & 0xFF), KG = static_cast<Byte>((Key >> 8) & 0xFF),
             KR = static_cast<Byte>(Key & 0xFF);
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  for (i64 r = 0; r < h; ++r) {
    const Byte* s = Src.Pixel(static_cast<int>(sx), static_cast<int>(sy + r));
    const Byte* m = Masked ? Src.Pixel(static_cast<int>(sx), static_cast<int>(sy + r + MaskRows)) : nullptr;
    Byte* d = Dst.Pixel(static_cast<int>(dx), static_cast<int>(dy + r));
    for (i64 c = 0; c < w; ++c, s += SB, d += DB) {
      if (HasKey && s[0] == KB && s[1] == KG && s[2] == KR) continue;
      if (Masked) {
        const Byte* mp = m + c * SB;
        if (Faint) {
          const Byte mf[3] = {static_cast<Byte>(std::min(mp[0] + 100, 255)),
                              static_cast<Byte>(std::min(mp[1] + 100, 255)),
                              static_cast<Byte>(std::min(mp[2] + 100, 255))};
          MaskBlend(d, s, mf);
        } else {
          MaskBlend(d, s, mp);
        }
      } else {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
      if (DB == 4) d[3] = 255;
    }
  }
}

// =============================================================================================
// Win32

#ifdef _WIN32

#include "framework/Graphics.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinManager.h"

bool acGlyphFrameSwitch = false;

namespace {

TRect XYWH(int X, int Y, int W, int H) { return Rect(X, Y, X + W, Y + H); }
// A rectangle whose sides and coordinates stay far from the integer limits (larger ones paint
// nothing: no target is that large).
bool SaneSize(const TRect& R) {
  constexpr i64 Limit = i64{1} << 28;
  return i64{R.Right} - R.Left <= Limit && i64{R.Bottom} - R.Top <= Limit && R.Left > -Limit && R.Top > -Limit &&
         R.Right < Limit && R.Bottom < Limit;
}
// An exclusive rectangle as the inclusive one the per-pixel copies take.
TRect Incl(const TRect& R) { return Rect(R.Left, R.Top, R.Right - 1, R.Bottom - 1); }

// A piece of a nine-slice: target and source part, both exclusive.
struct TPiece {
  TRect Dst;
  TRect Src;
  bool Corner;
};

// The background of an opaque image's corners: CI's picture when KeyFromCache and CI is Ready;
// otherwise none, which leaves key pixels as the target holds them.
TacBackground CornerBackground(const TCacheInfo& CI, bool KeyFromCache) {
  if (KeyFromCache && CI.Ready) return CacheBackground(CI);
  return TacBackground{};
}

// Stretches the source part onto the target part (HALFTONE).
void StretchPart(HDC DstDC, HDC SrcDC, const TRect& D, const TRect& S) {
  StretchBlt(DstDC, D.Left, D.Top, D.Right - D.Left, D.Bottom - D.Top, SrcDC, S.Left, S.Top, S.Right - S.Left,
             S.Bottom - S.Top, SRCCOPY);
}

// The stretched parts of one paint from Src onto Dst: the device contexts are set up for HALFTONE
// stretching when the first part is stretched.
class TPartStretcher {
 public:
  TPartStretcher(TBitmap* Dst, TBitmap* Src) : FDst(Dst), FSrc(Src) {}

  void Stretch(const TRect& D, const TRect& S) {
    if (!FDstDC) {
      FDstDC = FDst->Canvas()->Handle();
      FSrcDC = FSrc->Canvas()->Handle();
      SetStretchBltMode(FDstDC, HALFTONE);
      SetBrushOrgEx(FDstDC, 0, 0, nullptr);
    }
    StretchPart(FDstDC, FSrcDC, D, S);
  }
  // A part has been stretched.
  bool Used() const { return FDstDC != nullptr; }

 private:
  TBitmap* FDst;
  TBitmap* FSrc;
  HDC FDstDC = nullptr;
  HDC FSrcDC = nullptr;
};

// Calls Tile(target tile, source part) for the tiles of D laid from its top-left corner with
// tiles of S's size (the last tiles cut to D), leaving out the tiles that lie wholly outside
// Clip (the target image), so that a huge D costs no more than the visible part.
template <class F>
void ForEachTile(const TRect& D, const TRect& S, const TRect& Clip, F&& Tile) {
  const int sw = S.Right - S.Left, sh = S.Bottom - S.Top;
  if (sw <= 0 || sh <= 0 || D.IsEmpty()) return;
  const TRect V = Rect(std::max(D.Left, Clip.Left), std::max(D.Top, Clip.Top), std::min(D.Right, Clip.Right),
                       std::min(D.Bottom, Clip.Bottom));
  if (V.IsEmpty()) return;
  const int y0 = D.Top + static_cast<int>((i64{V.Top} - D.Top) / sh * sh);
  const int x0 = D.Left + static_cast<int>((i64{V.Left} - D.Left) / sw * sw);
  for (i64 y = y0; y < V.Bottom; y += sh) {
    const int h = static_cast<int>(std::min<i64>(sh, D.Bottom - y));
    for (i64 x = x0; x < V.Right; x += sw) {
      const int w = static_cast<int>(std::min<i64>(sw, D.Right - x));
      Tile(XYWH(static_cast<int>(x), static_cast<int>(y), w, h), XYWH(S.Left, S.Top, w, h));
    }
  }
}

}  // namespace

TBitmap* MaskSourceBitmap(const TsMaskData& Mask) {
  if (Mask.Bmp) return Mask.Bmp.get();
  return Mask.Manager ? Mask.Manager->MasterBitmap() : nullptr;
}

void DrawSkinRect(TBitmap* Bmp, TRect R, bool Filling, const TCacheInfo& CI, const TsMaskData& Mask, int State,
                  bool KeyFromCache) {
  if (State == 0 && (Mask.DrawMode & dmHotOnly) != 0) return;
  if (!SaneSize(R)) return;
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  if (!Bmp || W < 2 || H < 2 || !Mask.Manager || Mask.ImageCount <= 0) return;
  TBitmap* S = MaskSourceBitmap(Mask);
  const int fw = MaskFrameWidth(Mask), fh = MaskFrameHeight(Mask);
  if (!S || fw <= 0 || fh <= 0) return;
  const TacPixels DstPx = BitmapPixels(Bmp), SrcPx = BitmapPixels(S);
  if (DstPx.Empty() || SrcPx.Empty()) return;

  const TacMargins M = ShrinkMargins(
      {std::max<int>(Mask.WL, 0), std::max<int>(Mask.WT, 0), std::max<int>(Mask.WR, 0), std::max<int>(Mask.WB, 0)},
      W, H);
  const int wl = M.Left, wt = M.Top, wr = M.Right, wb = M.Bottom;
  const int N = FrameIndex(State, Mask.ImageCount);
  const int cw = std::max(0, fw - wl - wr), ch = std::max(0, fh - wt - wb);
  const int sx = Mask.R.Left + N * fw, sy = Mask.R.Top;
  const int rx = sx + wl + cw, by = sy + fh - wb;  // source origin of the right and bottom parts
  const int mw = W - wl - wr, mh = H - wt - wb;    // target size of the middle parts

  TPiece Pieces[9] = {
      {XYWH(R.Left, R.Top, wl, wt), XYWH(sx, sy, wl, wt), true},
      {XYWH(R.Left, R.Top + wt, wl, mh), XYWH(sx, sy + wt, wl, ch), false},
      {XYWH(R.Left + wl, R.Top, mw, wt), XYWH(sx + wl, sy, cw, wt), false},
      {XYWH(R.Left, R.Bottom - wb, wl, wb), XYWH(sx, by, wl, wb), true},
      {XYWH(R.Left + wl, R.Bottom - wb, mw, wb), XYWH(sx + wl, by, cw, wb), false},
      {XYWH(R.Right - wr, R.Bottom - wb, wr, wb), XYWH(rx, by, wr, wb), true},
      {XYWH(R.Right - wr, R.Top, wr, wt), XYWH(rx, sy, wr, wt), true},
      {XYWH(R.Right - wr, R.Top + wt, wr, mh), XYWH(rx, sy + wt, wr, ch), false},
      {XYWH(R.Left + wl, R.Top + wt, mw, mh), XYWH(sx + wl, sy + wt, cw, ch), false},
  };
  const int Count = (Filling && (Mask.DrawMode & dmOwnCentre) != 0) ? 9 : 8;

  if (Mask.MaskType != 0) {
    // Corners: key pixels take the caller's background picture when it is Ready, else its
    // FillColor with KeyFromCache (never the key colour itself). Sides and centre: key pixels
    // keep the target.
    const TacBackground MaskedCornerBg = CacheBackground(CI);
    const bool CornerFill = KeyFromCache && (MaskedCornerBg.FillColor & 0xFFFFFF) != acImageKeyColor;
    const TacBackground NoBg;
    const int MaskImageHeight = Mask.R.Bottom - Mask.R.Top;
    for (int i = 0; i < Count; ++i) {
      const TPiece& P = Pieces[i];
      if (P.Dst.IsEmpty() || P.Src.IsEmpty()) continue;
      ForEachTile(P.Dst, P.Src, Rect(0, 0, DstPx.Width, DstPx.Height), [&](const TRect& D, const TRect& Sr) {
        CopyByMaskHalf(D, Sr, DstPx, SrcPx, P.Corner ? MaskedCornerBg : NoBg, P.Corner && CornerFill,
                       MaskImageHeight);
      });
    }
    return;
  }

  const bool Stretch = (Mask.DrawMode & dmStretch) != 0;
  const TacBackground CornerBg = CornerBackground(CI, KeyFromCache);
  TPartStretcher Stretcher(Bmp, S);
  for (int i = 0; i < Count; ++i) {
    const TPiece& P = Pieces[i];
    if (P.Dst.IsEmpty() || P.Src.IsEmpty()) continue;
    if (P.Corner) {
      CopyKeyedPixels(DstPx, P.Dst.Left, P.Dst.Top, SrcPx, Incl(P.Src), CornerBg);
    } else if (Stretch) {
      Stretcher.Stretch(P.Dst, P.Src);
    } else {
      TilePixels(DstPx, P.Dst, SrcPx, P.Src);
    }
  }
  if (Stretcher.Used()) GdiFlush();
}

void MaskCopy24(TBitmap* Bmp, TRect DstRect, TRect SrcRect, const TsMaskData& Mask, HRGN Region, bool UseKey) {
  if (!Bmp || !Mask.Manager) return;
  TBitmap* S = MaskSourceBitmap(Mask);
  if (!S) return;
  std::vector<RECT> Cut;
  TacKeyRunSink Sink;
  if (Region && UseKey)
    Sink = [&Cut](int X, int Y, int Len, bool) { Cut.push_back(RECT{X, Y, X + Len, Y + 1}); };
  MaskCopyPixels(BitmapPixels(Bmp), DstRect, BitmapPixels(S), SrcRect, Mask.MaskType,
                 (Mask.R.Bottom - Mask.R.Top) / 2, UseKey, Sink);
  if (Cut.empty()) return;
  // All runs leave the region at once. A run is always cut out (never added back), also where
  // corners overlap on a narrow target.
  std::vector<Byte> Data(sizeof(RGNDATAHEADER) + Cut.size() * sizeof(RECT));
  auto* Hdr = reinterpret_cast<RGNDATA*>(Data.data());
  Hdr->rdh.dwSize = sizeof(RGNDATAHEADER);
  Hdr->rdh.iType = RDH_RECTANGLES;
  Hdr->rdh.nCount = static_cast<DWORD>(Cut.size());
  Hdr->rdh.nRgnSize = static_cast<DWORD>(Cut.size() * sizeof(RECT));
  RECT Bounds = Cut.front();
  for (const RECT& C : Cut) {
    Bounds.left = std::min(Bounds.left, C.left);
    Bounds.top = std::min(Bounds.top, C.top);
    Bounds.right = std::max(Bounds.right, C.right);
    Bounds.bottom = std::max(Bounds.bottom, C.bottom);
  }
  Hdr->rdh.rcBound = Bounds;
  std::memcpy(Hdr->Buffer, Cut.data(), Cut.size() * sizeof(RECT));
  HRGN Runs = ExtCreateRegion(nullptr, static_cast<DWORD>(Data.size()), Hdr);
  if (!Runs) {
    // Fall back to one region per run.
    for (const RECT& C : Cut) {
      HRGN One = CreateRectRgn(C.left, C.top, C.right, C.bottom);
      CombineRgn(Region, Region, One, RGN_DIFF);
      DeleteObject(One);
    }
    return;
  }
  CombineRgn(Region, Region, Runs, RGN_DIFF);
  DeleteObject(Runs);
}

void DrawNineSlice(TBitmap* Bmp, HRGN Region, bool Filling, const TsMaskData& Mask, int State) {
  if (!Bmp || Bmp->Width() < 2 || Bmp->Height() < 2 || !Mask.Manager) return;
  TBitmap* S = MaskSourceBitmap(Mask);
  if (!S) return;
  // A record without frames is one frame covering its own bitmap.
  TRect IR = Mask.R;
  int Count = Mask.ImageCount;
  if (Count < 1) {
    Count = 1;
    if (Mask.Bmp) IR = Rect(0, 0, S->Width(), S->Height());
  }
  const int fw = (IR.Right - IR.Left) / Count;
  const int fh = Mask.MaskType >= 0 ? (IR.Bottom - IR.Top) / (Mask.MaskType + 1) : 0;
  if (fw <= 0 || fh <= 0) return;
  const int W = Bmp->Width(), H = Bmp->Height();
  const int WL = std::max<int>(Mask.WL, 0), WT = std::max<int>(Mask.WT, 0), WR = std::max<int>(Mask.WR, 0),
            WB = std::max<int>(Mask.WB, 0);
  const TacMargins M = ShrinkMargins({WL, WT, WR, WB}, W, H);
  const int wl = M.Left, wt = M.Top, wr = M.Right, wb = M.Bottom;
  const int N = FrameIndex(State, Count);
  // The middle of the source is the record's own: the parts between its unshrunk margins.
  const int cw = std::max(0, fw - WL - WR), ch = std::max(0, fh - WT - WB);
  const int sx = IR.Left + N * fw, sy = IR.Top;
  const int rx = sx + fw - wr, by = sy + fh - wb;
  const int mx = sx + WL, my = sy + WT;
  const int mw = W - wl - wr, mh = H - wt - wb;

  const TPiece Pieces[9] = {
      {XYWH(0, 0, wl, wt), XYWH(sx, sy, wl, wt), true},
      {XYWH(0, H - wb, wl, wb), XYWH(sx, by, wl, wb), true},
      {XYWH(0, wt, wl, mh), XYWH(sx, my, wl, ch), false},
      {XYWH(wl, 0, mw, wt), XYWH(mx, sy, cw, wt), false},
      {XYWH(wl, H - wb, mw, wb), XYWH(mx, by, cw, wb), false},
      {XYWH(W - wr, wt, wr, mh), XYWH(rx, my, wr, ch), false},
      {XYWH(W - wr, H - wb, wr, wb), XYWH(rx, by, wr, wb), true},
      {XYWH(W - wr, 0, wr, wt), XYWH(rx, sy, wr, wt), true},
      {XYWH(wl, wt, mw, mh), XYWH(mx, my, cw, ch), false},
  };
  const int PieceCount = (Filling && (Mask.DrawMode & dmOwnCentre) != 0) ? 9 : 8;
  const bool Stretch = (Mask.DrawMode & dmStretch) != 0 && Mask.MaskType != 1;
  TPartStretcher Stretcher(Bmp, S);
  for (int i = 0; i < PieceCount; ++i) {
    const TPiece& P = Pieces[i];
    if (P.Dst.IsEmpty() || P.Src.IsEmpty()) continue;
    if (P.Corner) {
      MaskCopy24(Bmp, Incl(P.Dst), Incl(P.Src), Mask, Region, true);
    } else if (Stretch) {
      Stretcher.Stretch(P.Dst, P.Src);
      GdiFlush();
    } else {
      ForEachTile(P.Dst, P.Src, Rect(0, 0, W, H), [&](const TRect& D, const TRect& Sr) {
        MaskCopy24(Bmp, Incl(D), Incl(Sr), Mask, nullptr, false);
      });
    }
  }
}

void BltNineSlice(TBitmap* Dst, TBitmap* Src, TRect D, TRect S, TRect M, TRect L, const Byte (&SideModes)[4],
                  Byte CentreMode, bool FillCentre) {
  if (!Dst || !Src || Dst->Empty() || Src->Empty() || !SaneSize(D) || !SaneSize(S)) return;
  if (M.Left < 0 || M.Top < 0 || M.Right < 0 || M.Bottom < 0 || M.Left > (1 << 20) || M.Top > (1 << 20) ||
      M.Right > (1 << 20) || M.Bottom > (1 << 20))
    return;
  HDC DC = Dst->Canvas()->Handle();
  HDC SC = Src->Canvas()->Handle();
  SetStretchBltMode(DC, BLACKONWHITE);
  auto Blt = [&](int X, int Y, int W, int H, int SX, int SY) {
    if (W > 0 && H > 0) BitBlt(DC, X, Y, W, H, SC, SX, SY, SRCCOPY);
  };
  const int cl = std::min(M.Left, L.Left), ct = std::min(M.Top, L.Top), cr = std::min(M.Right, L.Right),
            cb = std::min(M.Bottom, L.Bottom);
  // Corners.
  Blt(D.Left, D.Top, M.Left, ct, S.Left, S.Top);
  if (M.Top != ct) Blt(D.Left, D.Top + ct, cl, M.Top - ct, S.Left, S.Top + ct);
  Blt(D.Left, D.Bottom - cb, M.Left, cb, S.Left, S.Bottom - cb);
  if (M.Bottom != cb) Blt(D.Left, D.Bottom - M.Bottom, cl, M.Bottom - cb, S.Left, S.Bottom - M.Bottom);
  Blt(D.Right - M.Right, D.Top, M.Right, ct, S.Right - M.Right, S.Top);
  if (M.Top != ct) Blt(D.Right - cr, D.Top + ct, cr, M.Top - ct, S.Right - cr, S.Top + ct);
  Blt(D.Right - M.Right, D.Bottom - cb, M.Right, cb, S.Right - M.Right, S.Bottom - cb);
  if (M.Bottom != cb) Blt(D.Right - cr, D.Bottom - M.Bottom, cr, M.Bottom - cb, S.Right - cr, S.Bottom - M.Bottom);

  const int cw = (S.Right - S.Left) - M.Left - M.Right, ch = (S.Bottom - S.Top) - M.Top - M.Bottom;
  // One part: mode 0 tiles, 1 stretches, others draw nothing.
  auto Part = [&](const TRect& DP, const TRect& SP, Byte Mode) {
    if (DP.IsEmpty() || SP.IsEmpty()) return;
    if (Mode == 1) {
      StretchPart(DC, SC, DP, SP);
    } else if (Mode == 0) {
      ForEachTile(DP, SP, Rect(0, 0, Dst->Width(), Dst->Height()), [&](const TRect& T, const TRect& Sr) {
        Blt(T.Left, T.Top, T.Right - T.Left, T.Bottom - T.Top, Sr.Left, Sr.Top);
      });
    }
  };
  const int dh = (D.Bottom - M.Bottom) - (D.Top + M.Top), dw = (D.Right - M.Right) - (D.Left + M.Left);
  Part(XYWH(D.Left, D.Top + M.Top, cl, dh), XYWH(S.Left, S.Top + M.Top, cl, ch), SideModes[0]);
  Part(XYWH(D.Left + M.Left, D.Top, dw, ct), XYWH(S.Left + M.Left, S.Top, cw, ct), SideModes[1]);
  Part(XYWH(D.Right - cr, D.Top + M.Top, cr, dh), XYWH(S.Right - cr, S.Top + M.Top, cr, ch), SideModes[2]);
  Part(XYWH(D.Left + M.Left, D.Bottom - cb, dw, cb), XYWH(S.Left + M.Left, S.Bottom - cb, cw, cb), SideModes[3]);
  if (FillCentre)
    Part(XYWH(D.Left + M.Left, D.Top + M.Top, dw, dh), XYWH(S.Left + M.Left, S.Top + M.Top, cw, ch), CentreMode);
  GdiFlush();
}

void CopyMaskedGlyph(TBitmap* Dst, int X, int Y, TBitmap* Src, TRect SrcRect, const TsMaskData& Mask, int Mode,
                     TColor Key) {
  if (!Dst || !Src) return;
  CopyMaskedGlyphPixels(BitmapPixels(Dst), X, Y, BitmapPixels(Src), SrcRect, Mask.MaskType, MaskFrameHeight(Mask),
                        Mode != 1, Key);
}

void DrawSkinGlyph(TBitmap* Bmp, TPoint P, int State, int Mode, const TsMaskData& Mask, const TCacheInfo& CI) {
  if (!Bmp || Mask.ImageCount <= 0) return;
  const int fw = MaskFrameWidth(Mask), fh = MaskFrameHeight(Mask);
  if (fw <= 0 || fh <= 0) return;
  const int Off = FrameIndex(State, Mask.ImageCount) * fw;
  // The part of the frame left of or above the target is skipped.
  const int skipX = P.X < 0 ? -P.X : 0, skipY = P.Y < 0 ? -P.Y : 0;
  if (skipX >= fw || skipY >= fh) return;
  const int X = std::max(P.X, 0), Y = std::max(P.Y, 0);
  const TRect Src = Rect(Mask.R.Left + Off + skipX, Mask.R.Top + skipY, Mask.R.Left + Off + fw - 1,
                         Mask.R.Top + fh - 1);
  if (Mask.Bmp) {
    TBitmap* Own = Mask.Bmp.get();
    if (Own->Width() < Mask.R.Right || Own->Height() < Mask.R.Bottom) return;
    CopyMaskedGlyph(Bmp, X, Y, Own, Src, Mask, Mode, acImageKeyColor);
    return;
  }
  if (!Mask.Manager || !Mask.Manager->MasterBitmap()) return;
  TBitmap* Master = Mask.Manager->MasterBitmap();
  if (Mask.MaskType >= 1) {
    CopyMaskedGlyph(Bmp, X, Y, Master, Src, Mask, Mode, acImageKeyColor);
  } else if (Mode == 1) {
    // Key pixels over a background that is not known at all (neither picture nor colour) are
    // left as the target holds them rather than painted in the key colour.
    TacBackground Bg = CacheBackground(CI);
    if (!Bg.Ready && (Bg.FillColor & 0xFFFFFF) == acImageKeyColor) Bg = TacBackground{TacPixels(), 0, 0, 0, true};
    CopyWithKeyAndCache(BitmapPixels(Bmp), BitmapPixels(Master), X, Y, Src, acImageKeyColor, Bg, true);
  } else {
    CopyBlendedWithKey(BitmapPixels(Bmp), X, Y, BitmapPixels(Master), Src, 0.5, acImageKeyColor);
  }
}

void PaintControlFrame(HDC DC, TRect R, int BorderWidth, TsCommonData* SkinData, int State, TRect& Inner) {
  Inner = R;
  if (!SkinData) return;
  const TColor Color = static_cast<TColor>(ColorToRGB(SkinData->GetBackgroundColor(State != 0)));
  TControl* Owner = SkinData->OwnerControl();
  TacBGInfo BG;
  BG.PleaseDraw = false;
  if (Owner && Owner->Parent()) {
    QueryParentBackground(BG, Owner->Parent(), false);
    BG.Offset.X += Owner->Left();
    BG.Offset.Y += Owner->Top();
  } else {
    BG.BgType = btFill;
    BG.Color = Color;
  }
  auto Fill = [DC](TRect F, TColor C) {
    if (F.IsEmpty()) return;
    HBRUSH B = CreateSolidBrush(ColorToRGB(C));
    RECT RR{F.Left, F.Top, F.Right, F.Bottom};
    FillRect(DC, &RR, B);
    DeleteObject(B);
  };
  TsSkinManager* Manager = SkinData->SkinManager();
  const int b = BorderWidth;
  if (Manager && Manager->IsValidMaskIndex(SkinData->BorderMaskIndex)) {
    const TsMaskData& Mask = Manager->Masks()[static_cast<std::size_t>(SkinData->BorderMaskIndex)];
    SkinData->InitCacheBmp();
    TBitmap* Cache = SkinData->CacheBmp();
    if (!Cache || Cache->Empty()) return;
    HDC CacheDC = Cache->Canvas()->Handle();
    const int WL = Mask.WL, WT = Mask.WT, WR = Mask.WR, WB = Mask.WB;
    if (Mask.MaskType == 1) {
      // The margins under the border get the background first: strips of the colour, or the
      // same strips of the parent's picture.
      const TRect Strips[4] = {Rect(R.Left, R.Top, R.Right, R.Top + WT), Rect(R.Left, R.Top + WT, R.Left + WL, R.Bottom),
                               Rect(R.Left + WL, R.Bottom - WB, R.Right, R.Bottom),
                               Rect(R.Right - WR, R.Top + WT, R.Right, R.Bottom - WB)};
      HDC BgDC = (BG.BgType == btCache && BG.Bmp) ? BG.Bmp->Canvas()->Handle() : nullptr;
      for (const TRect& S : Strips) {
        if (S.IsEmpty()) continue;
        if (BgDC) {
          BitBlt(CacheDC, S.Left, S.Top, S.Right - S.Left, S.Bottom - S.Top, BgDC, BG.Offset.X + S.Left,
                 BG.Offset.Y + S.Top, SRCCOPY);
        } else {
          HBRUSH Br = CreateSolidBrush(ColorToRGB(BG.Color));
          RECT RR{S.Left, S.Top, S.Right, S.Bottom};
          FillRect(CacheDC, &RR, Br);
          DeleteObject(Br);
        }
      }
      GdiFlush();
    }
    DrawSkinRect(Cache, R, false, BGInfoToCacheInfo(BG), Mask, State, true);
    Inner = Rect(R.Left + WL, R.Top + WT, R.Right - WR, R.Bottom - WB);
    if (b != 0) {
      const int w = R.Right - R.Left, h = R.Bottom - R.Top;
      const int l = std::max(std::min(b, w - WR) - WL, 0), t = std::max(std::min(b, h - WB) - WT, 0),
                rr = std::max(std::min(b, w - WL) - WR, 0), bb = std::max(std::min(b, h - WT) - WB, 0);
      HBRUSH Br = CreateSolidBrush(ColorToRGB(Color));
      const TRect Parts[4] = {Rect(Inner.Left, Inner.Top, Inner.Right, Inner.Top + t),
                              Rect(Inner.Left, Inner.Top + t, Inner.Left + l, Inner.Bottom),
                              Rect(Inner.Left + l, Inner.Bottom - bb, Inner.Right, Inner.Bottom),
                              Rect(Inner.Right - rr, Inner.Top + t, Inner.Right, Inner.Bottom - bb)};
      for (const TRect& P : Parts) {
        if (P.IsEmpty()) continue;
        RECT RR{P.Left, P.Top, P.Right, P.Bottom};
        FillRect(CacheDC, &RR, Br);
      }
      DeleteObject(Br);
      Inner = Rect(R.Left + b, R.Top + b, R.Right - b, R.Bottom - b);
      if (Inner.Right < Inner.Left) Inner.Right = Inner.Left;
      if (Inner.Bottom < Inner.Top) Inner.Bottom = Inner.Top;
    }
    GdiFlush();
    if (DC != CacheDC) {
      // The frame strips go to the DC: of width b, or of the mask's margins without b.
      const int l = b != 0 ? b : WL, t = b != 0 ? b : WT, rr = b != 0 ? b : WR, bb = b != 0 ? b : WB;
      const TRect Strips[4] = {Rect(R.Left, R.Top, R.Right, R.Top + t), Rect(R.Left, R.Top + t, R.Left + l, R.Bottom),
                               Rect(R.Left + l, R.Bottom - bb, R.Right, R.Bottom),
                               Rect(R.Right - rr, R.Top + t, R.Right, R.Bottom - bb)};
      for (const TRect& S : Strips)
        if (!S.IsEmpty())
          BitBlt(DC, S.Left, S.Top, S.Right - S.Left, S.Bottom - S.Top, CacheDC, S.Left, S.Top, SRCCOPY);
    }
    return;
  }
  if (b != 0) {
    Fill(Rect(R.Left, R.Top, R.Right, R.Top + b), Color);
    Fill(Rect(R.Left, R.Top + b, R.Left + b, R.Bottom), Color);
    Fill(Rect(R.Left + b, R.Bottom - b, R.Right, R.Bottom), Color);
    Fill(Rect(R.Right - b, R.Top + b, R.Right, R.Bottom - b), Color);
    Inner = Rect(R.Left + b, R.Top + b, R.Right - b, R.Bottom - b);
  }
}

void DrawTransparentGlyph(TBitmap* Glyph, TBitmap* Dst, TRect R, int NumGlyphs, bool Flag,
                          TsDisabledKind DisabledKind, int State, int Blend, Byte Extra) {
  if (!Glyph || !Dst || Glyph->Empty()) return;
  const bool Mono = Glyph->Monochrome();
  TBitmap Work;
  Work.Assign(Glyph);
  Work.SetPixelFormat(pf24bit);
  const int W = Work.Width(), H = Work.Height();
  const TacPixels DstPx = BitmapPixels(Dst);
  auto PixelOf = [](TBitmap& B, int X, int Y) {
    const Byte* p = static_cast<const Byte*>(B.ScanLine(Y)) + 3 * X;
    return static_cast<TColor>(p[2] | (p[1] << 8) | (p[0] << 16));
  };
  // A keyed copy of an inclusive part; CopyRectWithKey handles 24-bit targets, other targets take
  // the same pixels through the blend with factor 0.
  auto KeyCopy = [&](const TacPixels& Src, TRect SR, TColor Key) {
    if (DstPx.Is24()) CopyRectWithKey(DstPx, Src, R.Left, R.Top, SR, Key);
    else CopyBlendedWithKey(DstPx, R.Left, R.Top, Src, SR, 0.0, Key);
  };
  if (NumGlyphs <= 1) {
    TBitmap Copy;
    Copy.Assign(&Work);
    const TacPixels CopyPx = BitmapPixels(&Copy);
    const TRect All = Rect(0, 0, W - 1, H - 1);
    if (Flag) {
      const TColor Key = PixelOf(Copy, 0, H - 1);
      if (State == 0 && Blend > 0) CopyBlendedWithKey(DstPx, R.Left, R.Top, CopyPx, All, Blend / 100.0, Key);
      else CopyWithKeyColor(DstPx, CopyPx, R.Left, R.Top, Key);
      return;
    }
    if (DisabledKind.Contains(dkGrayed)) GrayscaleBitmap(CopyPx);
    // The key is read from the copy as it is drawn, so that a greyed key still drops out.
    const TColor Key = PixelOf(Copy, 0, H - 1);
    if (DisabledKind.Contains(dkBlended)) CopyBlendedWithKey(DstPx, R.Left, R.Top, CopyPx, All, 0.5, Key);
    else CopyWithKeyColor(DstPx, CopyPx, R.Left, R.Top, Key);
    return;
  }
  const int fw = W / NumGlyphs;
  if (fw <= 0) return;
  int Frame = 0;
  if (Flag && State == 1) {
    Frame = (Mono || acGlyphFrameSwitch) ? 0 : 1;
  } else if (Flag && State == 2) {
    const int e = Extra + 2;
    if (NumGlyphs > e) Frame = e;
    else if (Mono || acGlyphFrameSwitch) Frame = 0;
    else Frame = std::min(1, NumGlyphs - 1);
  }
  const TacPixels WorkPx = BitmapPixels(&Work);
  const TRect SR = Rect(Frame * fw, 0, (Frame + 1) * fw - 1, H - 1);
  if (Flag) {
    KeyCopy(WorkPx, SR, PixelOf(Work, Frame * fw, H - 1));
    return;
  }
  const TColor Key = PixelOf(Work, 0, H - 1);
  if (State == 0 && Blend > 0) CopyBlendedWithKey(DstPx, R.Left, R.Top, WorkPx, SR, Blend / 100.0, Key);
  else KeyCopy(WorkPx, SR, Key);
}

#endif
