// Fuzz target: the pixel and corner routines of the painting core with random images and random
// rectangles, points and sizes (small numbers and numbers near both ends of the integer range).
// The input is a program: three images (sizes 0 to 12, 24 or 32 bits, top-down or bottom-up, rows
// followed by guard bytes), then a series of calls. No routine may touch memory outside the images
// (the sanitizers watch the allocations; the guard bytes after each row are checked), whatever the
// rectangles. Crashes, hangs and sanitizer reports are findings.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sPaintUtils.h"

namespace {

class TInput {
 public:
  TInput(const std::uint8_t* Data, std::size_t Size) : P(Data), N(Size) {}
  bool More() const { return N > 0; }
  Byte U8() {
    if (N == 0) return 0;
    --N;
    return *P++;
  }
  // A small number, a number near either end of the range, or any 32-bit number.
  int Int() {
    const Byte Kind = U8();
    switch (Kind & 3) {
      case 0: return static_cast<std::int8_t>(U8()) / 4;
      case 1: return INT_MIN + U8();
      case 2: return INT_MAX - U8();
      default: {
        std::uint32_t V = 0;
        for (int I = 0; I < 4; ++I) V |= std::uint32_t{U8()} << (8 * I);
        return static_cast<int>(V);
      }
    }
  }
  TRect Rect() {
    TRect R;
    R.Left = Int();
    R.Top = Int();
    R.Right = Int();
    R.Bottom = Int();
    return R;
  }
  TPoint Point() { return TPoint{Int(), Int()}; }
  TColor Color() { return static_cast<TColor>(Int()); }

 private:
  const std::uint8_t* P;
  std::size_t N;
};

constexpr Byte Guard = 0xA5;
constexpr int GuardBytes = 3;

// An image in its own allocation: rows of pixels, each followed by guard bytes.
class TImage {
 public:
  explicit TImage(TInput& In) {
    const Byte B = In.U8();
    W = B % 13;
    H = (B / 13) % 13;
    Bits = (In.U8() & 1) ? 32 : 24;
    BottomUp = In.U8() & 1;
    Stride = static_cast<std::ptrdiff_t>(W) * (Bits / 8) + GuardBytes;
    Data.resize(static_cast<std::size_t>(Stride * H));
    for (int Y = 0; Y < H; ++Y) {
      Byte* R = Data.data() + Y * Stride;
      for (int X = 0; X < W * Bits / 8; ++X) R[X] = In.U8();
      for (int X = 0; X < GuardBytes; ++X) R[W * Bits / 8 + X] = Guard;
    }
  }
  TacPixels View() {
    if (W == 0 || H == 0) return TacPixels(nullptr, Stride, W, H, Bits);
    return BottomUp ? TacPixels(Data.data() + (H - 1) * Stride, -Stride, W, H, Bits)
                    : TacPixels(Data.data(), Stride, W, H, Bits);
  }
  void CheckGuards() const {
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < GuardBytes; ++X)
        if (Data[static_cast<std::size_t>(Y * Stride + W * Bits / 8 + X)] != Guard) __builtin_trap();
  }

 private:
  int W = 0, H = 0, Bits = 24;
  bool BottomUp = false;
  std::ptrdiff_t Stride = 0;
  std::vector<Byte> Data;
};

TacBackground Background(TInput& In, TImage& Img) {
  TacBackground B;
  if (In.U8() & 1) B.Bmp = Img.View();
  B.X = In.Int();
  B.Y = In.Int();
  B.FillColor = In.Color();
  B.Ready = In.U8() & 1;
  return B;
}

void Call(TInput& In, TImage& A, TImage& B, TImage& C) {
  const TacPixels Dst = A.View(), Src = B.View();
  switch (In.U8() % 20) {
    case 0: FillTransparentFromBG(Dst, Src, In.Rect(), In.Point(), nullptr, TPoint{}); break;
    case 1: {
      const TacPixels Keys = C.View();
      FillTransparentFromBG(Dst, Src, In.Rect(), In.Point(), &Keys, In.Point());
      break;
    }
    case 2: CopyMaskedWithCache(In.Rect(), In.Rect(), Dst, Src, Background(In, C), In.Int()); break;
    case 3: {
      TacCornerFrame F;
      F.Src = Src;
      F.X = In.Int();
      F.Y = In.Int();
      F.Width = In.Int();
      F.Height = In.Int();
      F.MaskType = In.U8() & 1;
      F.WL = In.Int();
      F.WT = In.Int();
      F.WR = In.Int();
      F.WB = In.Int();
      FillCornersFromBackground(Dst, In.Int(), In.Int(), F, Background(In, C), In.U8() & 15);
      break;
    }
    case 4: {
      TsMaskData M;
      M.R = In.Rect();
      M.ImageCount = static_cast<std::int16_t>(In.Int());
      M.MaskType = static_cast<std::int16_t>(In.Int());
      M.WL = static_cast<std::int16_t>(In.Int());
      M.WT = static_cast<std::int16_t>(In.Int());
      M.WR = static_cast<std::int16_t>(In.Int());
      M.WB = static_cast<std::int16_t>(In.Int());
      std::vector<TRect> Rects;
      AddMaskCornerRects(Rects, In.Int(), M, Src, In.Int(), In.U8() & 1);
      for (const TRect& R : Rects)
        if (R.Right <= R.Left || R.Bottom != R.Top + 1) __builtin_trap();
      break;
    }
    case 5: TilePixels(Dst, In.Rect(), Src, In.Rect()); break;
    case 6: TilePixels(Dst, In.Rect(), In.Point(), Src, In.Rect()); break;
    case 7: MaskCopyPixels(Dst, In.Rect(), Src, In.Rect(), In.U8() & 1, In.Int(), In.U8() & 1, nullptr); break;
    case 8: CopyMaskedGlyphPixels(Dst, In.Int(), In.Int(), Src, In.Rect(), In.U8() & 1, In.Int(), In.U8() & 1, In.Color()); break;
    case 9: CopyKeyedPixels(Dst, In.Int(), In.Int(), Src, In.Rect(), Background(In, C)); break;
    case 10: BlendByMask(In.Rect(), In.Rect(), Dst, Src, Background(In, C), In.U8() & 1); break;
    case 11: CopyByMaskHalf(In.Rect(), In.Rect(), Dst, Src, Background(In, C), In.U8() & 1, In.Int()); break;
    case 12:
      BlendAlphaBitmap(In.Rect(), In.Rect(), Dst, Src, Background(In, C), In.U8() & 1, In.Color(), In.Int(),
                       In.U8() & 1);
      break;
    case 13: BlendBitmapRect(Dst, Src, In.U8(), In.Rect(), In.Point()); break;
    case 14: CopyWithKeyColor(Dst, Src, In.Int(), In.Int(), In.Color()); break;
    case 15: CopyWithKeyAndCache(Dst, Src, In.Int(), In.Int(), In.Rect(), In.Color(), Background(In, C), In.U8() & 1); break;
    case 16: CopyRectWithKey(Dst, Src, In.Int(), In.Int(), In.Rect(), In.Color()); break;
    case 17: CopyBlendedWithKey(Dst, In.Int(), In.Int(), Src, In.Rect(), In.U8() / 255.0, In.Color()); break;
    case 18: BlendColorRect(Dst, In.Rect(), In.Int(), In.Color()); break;
    default: FillRect32(Dst, In.Rect(), In.Color()); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TInput In(Data, Size);
  TImage A(In), B(In), C(In);
  for (int Calls = 0; Calls < 64 && In.More(); ++Calls) Call(In, A, B, C);
  A.CheckGuards();
  B.CheckGuards();
  C.CheckGuards();
  return 0;
}
