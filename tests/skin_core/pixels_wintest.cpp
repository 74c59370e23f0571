// The pixel routines on framework bitmaps and in a real window.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

#include "skin/core/acPixels.h"
#include "skin/core/sGradient.h"
#include "skin/core/sMaskData.h"
#include "skin_core/bitmap_test_support.h"

using namespace bmptest;

namespace {

int SumByte(int S, int D, int A) { return (S * (255 - A) + D * A + 127) >> 8; }

// A top-level window whose WM_PAINT runs a painter on its DC.
class TPaintWindow {
 public:
  using TPainter = std::function<void(HDC, int, int)>;
  TPaintWindow(int W, int H, TPainter Painter) : FPainter(std::move(Painter)) {
    static const ATOM Class = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"PixelsTestWindow";
      wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
      return RegisterClassW(&wc);
    }();
    FHandle = CreateWindowExW(WS_EX_TOPMOST, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(Class)), L"", WS_POPUP,
                              30, 30, W, H, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    ShowWindow(FHandle, SW_SHOWNOACTIVATE);
    UpdateWindow(FHandle);
    MSG Msg;
    while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&Msg);
  }
  ~TPaintWindow() { DestroyWindow(FHandle); }
  HWND Handle() const { return FHandle; }
  int Paints = 0;

  // What the window shows now, read back from the screen.
  std::unique_ptr<TBitmap> Capture() {
    RECT R;
    GetClientRect(FHandle, &R);
    auto Shot = std::make_unique<TBitmap>(R.right, R.bottom, pf24bit);
    HDC Dc = GetDC(FHandle);
    BitBlt(Shot->Canvas()->Handle(), 0, 0, R.right, R.bottom, Dc, 0, 0, SRCCOPY);
    ReleaseDC(FHandle, Dc);
    if (const char* Dir = std::getenv("TV_TEST_SNAPSHOTS")) {
      const ::testing::TestInfo* T = ::testing::UnitTest::GetInstance()->current_test_info();
      Shot->SaveToFile(AnsiString(Dir) + "\\" + T->test_suite_name() + "." + T->name() + ".bmp");
    }
    return Shot;
  }

 private:
  static LRESULT CALLBACK Proc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_NCCREATE)
      SetWindowLongPtrW(Wnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(L)->lpCreateParams));
    auto* Self = reinterpret_cast<TPaintWindow*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (Msg == WM_ERASEBKGND) return 1;
    if (Msg == WM_PAINT && Self) {
      PAINTSTRUCT Ps;
      HDC Dc = BeginPaint(Wnd, &Ps);
      RECT R;
      GetClientRect(Wnd, &R);
      Self->FPainter(Dc, R.right, R.bottom);
      ++Self->Paints;
      EndPaint(Wnd, &Ps);
      return 0;
    }
    return DefWindowProcW(Wnd, Msg, W, L);
  }
  TPainter FPainter;
  HWND FHandle = nullptr;
};

}  // namespace

TEST(BitmapPixels, ViewsAgreeWithTheCanvasOnEveryFormat) {
  for (TPixelFormat F : {pf24bit, pf32bit}) {
    for (int H : {1, 2, 5}) {
      auto B = Filled(7, H, F, clWhite);
      B->Canvas()->SetPixels(5, H - 1, RGB(10, 20, 30));
      const TacPixels P = BitmapPixels(B.get());
      ASSERT_EQ(P.Bits, F == pf24bit ? 24 : 32);
      ASSERT_EQ(P.Width, 7);
      ASSERT_EQ(P.Height, H);
      const Byte* p = P.Pixel(5, H - 1);
      EXPECT_EQ(p[0], 30);
      EXPECT_EQ(p[2], 10);
      P.Pixel(1, 0)[1] = 0;  // green off: magenta
      EXPECT_EQ(B->Canvas()->Pixels(1, 0), RGB(255, 0, 255)) << F << " " << H;
    }
  }
  TBitmap Dev(3, 3);  // pfDevice is not a format the loops take
  EXPECT_TRUE(BitmapPixels(&Dev).Empty());
  EXPECT_TRUE(BitmapPixels(nullptr).Empty());
  TBitmap Gray(3, 3, pf8bit);
  EXPECT_EQ(BitmapPixels(&Gray).Bits, 8);
}

TEST(BitmapPixels, AccessorsAttachToBitmapsOfTheirFormat) {
  auto B24 = Filled(4, 3, pf24bit, RGB(1, 2, 3));
  auto B32 = Filled(4, 3, pf32bit, RGB(1, 2, 3));
  TacFast24 F24;
  ASSERT_TRUE(F24.Attach(B24.get()));
  EXPECT_EQ(F24.Bitmap(), B24.get());
  EXPECT_EQ(F24.GetPixel(3, 2), RGB(1, 2, 3));
  EXPECT_FALSE(F24.Attach(B32.get()));
  EXPECT_EQ(F24.Bitmap(), nullptr);
  TacFast32 F32;
  ASSERT_TRUE(F32.Attach(B32.get()));
  F32.SetPixel(0, 0, static_cast<TColor>(0x80FF0000u));
  EXPECT_EQ(At(*B32, 0, 0), (std::array<int, 4>{255, 0, 0, 0x80}));
  TacFastSum32 S;
  EXPECT_TRUE(S.Attach(B32.get(), B32.get()));
  EXPECT_EQ(S.Src(), B32.get());
  EXPECT_EQ(S.MinWidth(), 4);
}

TEST(WorkBitmaps, AreDeviceIndependentWhiteAndOwnedByTheCaller) {
  std::unique_ptr<TBitmap> A(CreateBmp24(5, 3)), B(CreateBmp32(2, 7));
  EXPECT_EQ(A->PixelFormat(), pf24bit);
  EXPECT_EQ(A->HandleType(), bmDIB);
  EXPECT_EQ(A->Width(), 5);
  EXPECT_EQ(A->Height(), 3);
  EXPECT_EQ(At(*A, 4, 2), (std::array<int, 4>{255, 255, 255, -1}));
  EXPECT_EQ(B->PixelFormat(), pf32bit);
  EXPECT_EQ(At(*B, 1, 6)[0], 255);
  std::unique_ptr<TBitmap> C(CreateBmpLike(B.get()));
  EXPECT_EQ(C->PixelFormat(), pf32bit);
  EXPECT_EQ(C->Width(), 2);
  EXPECT_EQ(C->Height(), 7);
  EXPECT_THROW(CreateBmp24(-1, 5), EInvalidGraphic);
  EXPECT_THROW(CreateBmpLike(nullptr), EInvalidGraphicOperation);
}

TEST(BitmapRoutines, MissingBitmapsRaiseAndForeignFormatsAreLeft) {
  auto B = Filled(4, 4, pf24bit, clWhite);
  EXPECT_THROW(BlendBitmapRect(nullptr, B.get(), 0, Rect(0, 0, 1, 1), Point(0, 0)), EInvalidGraphicOperation);
  EXPECT_THROW(FillRect32(nullptr, Rect(0, 0, 1, 1), 0), EInvalidGraphicOperation);
  EXPECT_THROW(BlendAlphaBitmap(Rect(0, 0, 1, 1), Rect(0, 0, 1, 1), B.get(), nullptr, TCacheInfo{}, false, clNone, 0, false),
               EInvalidGraphicOperation);
  EXPECT_THROW(PaintGradient(nullptr, Rect(0, 0, 1, 1), {}, 0, 0), EInvalidGraphicOperation);
  auto Dev = std::make_unique<TBitmap>(4, 4);
  Dev->Canvas()->Brush()->SetColor(clBlack);
  Dev->Canvas()->FillRect(Rect(0, 0, 4, 4));
  BlendColorRect(Dev.get(), Rect(0, 0, 4, 4), 0, clWhite);
  EXPECT_EQ(Dev->Canvas()->Pixels(1, 1), 0);
}

TEST(BitmapRoutines, SystemColoursTurnIntoTheirRgb) {
  auto B = Filled(3, 3, pf32bit, clBlack);
  FillRect32(B.get(), Rect(0, 0, 3, 3), clBtnFace);
  const COLORREF Face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(At(*B, 2, 2), (std::array<int, 4>{GetBValue(Face), GetGValue(Face), GetRValue(Face), 255}));
}

TEST(BitmapRoutines, BlendBitmapRectOnBitmaps) {
  for (TPixelFormat F : {pf24bit, pf32bit}) {
    auto Dst = Filled(6, 6, F, RGB(0, 0, 0));
    auto Src = Filled(4, 4, F, RGB(200, 100, 50));
    BlendBitmapRect(Dst.get(), Src.get(), 64, Rect(0, 0, 4, 4), Point(4, -2));
    EXPECT_EQ(At(*Dst, 5, 1)[2], SumByte(200, 0, 64)) << F;
    EXPECT_EQ(At(*Dst, 5, 1)[1], SumByte(100, 0, 64)) << F;
    EXPECT_EQ(At(*Dst, 3, 1)[2], 0) << F;
    EXPECT_EQ(At(*Dst, 5, 2)[2], 0) << F;
  }
  auto D24 = Filled(4, 4, pf24bit, clBlack);
  auto S32 = Filled(4, 4, pf32bit, clWhite);
  BlendBitmapRect(D24.get(), S32.get(), 0, Rect(0, 0, 4, 4), Point(0, 0));  // mixed formats: nothing
  EXPECT_EQ(At(*D24, 1, 1)[0], 0);
}

TEST(BitmapRoutines, BlendingABitmapOntoItselfReadsTheSourceAsItWas) {
  // An area blended onto an overlapping area of the same bitmap gives what a blend from a copy
  // taken beforehand gives, whichever side of the target the source lies on.
  for (TPixelFormat F : {pf24bit, pf32bit})
    for (TPoint Shift : {Point(3, 2), Point(-3, -2), Point(2, -3), Point(-2, 3), Point(4, 0), Point(0, -4)}) {
      auto Self = Filled(16, 12, F, clBlack);
      const int Bpp = F == pf32bit ? 4 : 3;
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16 * Bpp; ++x) static_cast<Byte*>(Self->ScanLine(y))[x] = static_cast<Byte>(x * 7 + y * 31);
      auto Copy = Filled(16, 12, F, clBlack);
      Copy->Assign(Self.get());
      auto Want = Filled(16, 12, F, clBlack);
      Want->Assign(Self.get());
      const TRect Src = Rect(5 + Shift.X, 4 + Shift.Y, 11 + Shift.X, 8 + Shift.Y);
      BlendBitmapRect(Want.get(), Copy.get(), 100, Src, Point(5, 4));
      BlendBitmapRect(Self.get(), Self.get(), 100, Src, Point(5, 4));
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
          ASSERT_EQ(At(*Self, x, y), At(*Want, x, y)) << x << "," << y << " shift " << Shift.X << "," << Shift.Y
                                                      << " format " << F;
    }
}

TEST(BitmapRoutines, BlendAlphaBitmapLeavesTheCallersSourceAsItWas) {
  // Regression: the tint was written into the source, and a source that was not 32-bit was
  // converted in place.
  auto Dst = Filled(4, 4, pf24bit, RGB(0, 0, 0));
  auto Src24 = Filled(4, 4, pf24bit, RGB(90, 60, 30));
  BlendAlphaBitmap(Rect(0, 0, 4, 4), Rect(0, 0, 4, 4), Dst.get(), Src24.get(), TCacheInfo{}, false, clRed, 0, false);
  EXPECT_EQ(Src24->PixelFormat(), pf24bit);
  EXPECT_EQ(At(*Src24, 1, 1), (std::array<int, 4>{30, 60, 90, -1}));

  std::unique_ptr<TBitmap> Src32(CreateBmp32(4, 4));
  TacFast32 F;
  ASSERT_TRUE(F.Attach(Src32.get()));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) F.SetPixel(x, y, static_cast<TColor>(0xFF000000u | RGB(90, 60, 30)));
  BlendAlphaBitmap(Rect(0, 0, 4, 4), Rect(0, 0, 4, 4), Dst.get(), Src32.get(), TCacheInfo{}, false, clRed, 0, false);
  EXPECT_EQ(At(*Src32, 2, 2), (std::array<int, 4>{30, 60, 90, 255}));
  // Grey 60 tinted red: red 60, green and blue 0.
  EXPECT_EQ(At(*Dst, 2, 2), (std::array<int, 4>{0, 0, (60 * 255) >> 8, -1}));
}

TEST(BitmapRoutines, ScaleAlphaPixelsOnBitmaps) {
  // Opaque blue beside transparent white, doubled: the blue keeps its colour to its edge.
  std::unique_ptr<TBitmap> Src(CreateBmp32(2, 2)), Dst(CreateBmp32(4, 4));
  TacFast32 F;
  ASSERT_TRUE(F.Attach(Src.get()));
  for (int y = 0; y < 2; ++y) {
    F.SetPixel(0, y, static_cast<TColor>(0xFF000000u | RGB(0, 0, 255)));
    F.SetPixel(1, y, static_cast<TColor>(RGB(255, 255, 255)));
  }
  ScaleAlphaPixels(Src.get(), Dst.get());
  EXPECT_EQ(At(*Dst, 1, 3), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(At(*Dst, 2, 3), (std::array<int, 4>{0, 0, 0, 0}));
  // Bitmaps of other formats are left; missing ones raise.
  auto D24 = Filled(4, 4, pf24bit, RGB(1, 2, 3));
  ScaleAlphaPixels(Src.get(), D24.get());
  EXPECT_EQ(At(*D24, 2, 2), (std::array<int, 4>{3, 2, 1, -1}));
  EXPECT_THROW(ScaleAlphaPixels(nullptr, Dst.get()), EInvalidGraphicOperation);
  EXPECT_THROW(ScaleAlphaPixels(Src.get(), nullptr), EInvalidGraphicOperation);
}

TEST(BitmapRoutines, CopyWithKeyAndCacheFillsA32BitBitmapWithTheOpaqueColour) {
  // Regression: a 32-bit source wrote the fill colour as a raw pixel value (red and blue swapped,
  // alpha 0).
  std::unique_ptr<TBitmap> Src(CreateBmp32(2, 2)), Dst(CreateBmp32(2, 2));
  TacFast32 F;
  ASSERT_TRUE(F.Attach(Src.get()));
  F.FillRect(Rect(0, 0, 2, 2), 0x00FF00FFu);  // the key with alpha 0
  TCacheInfo CI;
  CI.FillColor = RGB(0x40, 0x80, 0xC0);
  CopyWithKeyAndCache(Dst.get(), Src.get(), 0, 0, Rect(0, 0, 1, 1), 0xFF00FF, CI, false);
  EXPECT_EQ(At(*Dst, 1, 1), (std::array<int, 4>{0xC0, 0x80, 0x40, 255}));
}

TEST(BitmapRoutines, DisabledLookAsksForTheControlsColourOnlyWhenNeeded) {
  static TControl* Asked;
  static int Calls;
  Asked = nullptr;
  Calls = 0;
  auto Saved = DisabledLookControlColor;
  DisabledLookControlColor = [](TControl* C) -> TColor {
    Asked = C;
    ++Calls;
    return RGB(0, 0, 200);
  };
  auto Glyph = Filled(2, 2, pf24bit, RGB(100, 100, 100));
  TControl* Fake = reinterpret_cast<TControl*>(0x1000);
  TCacheInfo Unknown{nullptr, 0, 0, 0xFF00FF, false};
  ApplyDisabledKind(Glyph.get(), TsDisabledKind{dkBlended}, Fake, Unknown, Point(0, 0));
  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(Asked, Fake);
  EXPECT_EQ(At(*Glyph, 1, 1), (std::array<int, 4>{150, 50, 50, -1}));

  auto Bg = Filled(4, 4, pf24bit, RGB(200, 200, 200));
  TCacheInfo Ready{Bg.get(), 1, 1, 0, true};
  ApplyDisabledKind(Glyph.get(), TsDisabledKind{dkGrayed, dkBlended}, Fake, Ready, Point(0, 0));
  EXPECT_EQ(Calls, 1);
  // Grey of (50, 50, 150) is 83; round(200 - (200 - 83) * 0.4) = 153.
  EXPECT_EQ(At(*Glyph, 0, 0), (std::array<int, 4>{153, 153, 153, -1}));
  DisabledLookControlColor = Saved;
  EXPECT_EQ(DisabledLookControlColor(nullptr), 0xFF00FF);
}

TEST(BitmapRoutines, CopyByMaskHalfTakesTheMaskBelowTheEntrysPicture) {
  auto Src = Filled(2, 6, pf24bit, RGB(10, 20, 30));
  auto Dst = Filled(2, 3, pf24bit, RGB(250, 250, 250));
  // Mask rows 3..5 black: the picture is copied.
  Src->Canvas()->Brush()->SetColor(clBlack);
  Src->Canvas()->FillRect(Rect(0, 3, 2, 6));
  TsMaskData Mask;
  Mask.R = Rect(0, 0, 2, 6);
  CopyByMaskHalf(Rect(0, 0, 2, 3), Rect(0, 0, 2, 3), Dst.get(), Src.get(), TCacheInfo{}, false, Mask);
  EXPECT_EQ(At(*Dst, 1, 2), (std::array<int, 4>{30, 20, 10, -1}));
}

TEST(BitmapRoutines, ComposedPictureShowsInAWindow) {
  // A section-like picture: a vertical gradient with a half-transparent white band blended over
  // it, painted through the window's WM_PAINT and read back from the screen.
  const int W = 120, H = 80;
  TsGradArray Stops;
  ParseGradientData("0;16711680;100;0;0", Stops);  // black to blue, top to bottom
  TPaintWindow Wnd(W, H, [&](HDC Dc, int CW, int CH) {
    std::unique_ptr<TBitmap> Work(CreateBmp24(CW, CH));
    PaintGradient(Work.get(), Rect(0, 0, CW, CH), Stops, 0, 0);
    std::unique_ptr<TBitmap> Band(CreateBmp24(CW, 20));
    BlendBitmapRect(Work.get(), Band.get(), 128, Rect(0, 0, CW, 20), Point(0, 30));
    BitBlt(Dc, 0, 0, CW, CH, Work->Canvas()->Handle(), 0, 0, SRCCOPY);
  });
  ASSERT_GE(Wnd.Paints, 1);
  auto Shot = Wnd.Capture();
  // Row y of the gradient has blue round(y * 255 / 79).
  auto Blue = [](int y) { return static_cast<int>(std::nearbyint(y * (255.0 / 79))); };
  EXPECT_EQ(At(*Shot, 10, 0), (std::array<int, 4>{0, 0, 0, -1}));
  EXPECT_EQ(At(*Shot, 60, 79), (std::array<int, 4>{255, 0, 0, -1}));
  EXPECT_NEAR(At(*Shot, 5, 20)[0], Blue(20), 1);
  EXPECT_NEAR(At(*Shot, 5, 40)[0], SumByte(255, Blue(40), 128), 1);
  EXPECT_EQ(At(*Shot, 5, 40)[2], SumByte(255, 0, 128));
  EXPECT_EQ(At(*Shot, 5, 50)[2], 0);
}
