// The shared drawing routines on real device contexts: clipping, raised buttons, both focus
// frames, single-line text (wide and byte-string roads), bitmaps with per-pixel alpha, rotated
// text, gradients, and the same routines painting a real window.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "framework/Strings.h"
#include "grid/NxSharedCommon.h"
#include "grid/NxSharedDraw.h"
#include "support/MessageOf.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

using uitest::TCapture;
using uitest::TMemoryDC;

namespace {

constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Black = RGB(0, 0, 0);

COLORREF Sys(int Index) { return GetSysColor(Index); }

// A canvas on a 32-bit memory bitmap filled with one colour; Pixel reads what was drawn.
struct TSurface {
  TMemoryDC M;
  TCanvas C;
  TSurface(int W, int H, COLORREF Fill = White) : M(W, H, Fill) { C.SetHandle(M.DC()); }
  ~TSurface() { C.SetHandle(nullptr); }
  COLORREF Pixel(int X, int Y) const { return M.Pixel(X, Y); }
  TCapture Capture() { return TCapture(M.DC(), TRect{0, 0, M.Width(), M.Height()}); }
};

// Restores the wide-text switch when a test that changes it ends.
struct TWideTextGuard {
  bool Saved = UseWideText;
  ~TWideTextGuard() { UseWideText = Saved; }
};

std::string InvalidOperationOf(const std::function<void()>& Fn) {
  return exctest::MessageOf<EInvalidOperation>(Fn, "<no exception>");
}

}  // namespace

// ---- colours on the real system ---------------------------------------------------------------

TEST(SharedDrawSystem, SystemColoursResolveThroughTheSystemTable) {
  EXPECT_EQ(static_cast<COLORREF>(NxColorToRGB(clBtnFace)), Sys(COLOR_BTNFACE));
  EXPECT_EQ(static_cast<COLORREF>(NxColorToRGB(clHighlight)), Sys(COLOR_HIGHLIGHT));
  const COLORREF S = Sys(COLOR_BTNSHADOW), F = Sys(COLOR_BTNFACE);
  auto Ch = [](COLORREF A, COLORREF B, int Shift, int W) { return (((A >> Shift) & 0xFF) * W + ((B >> Shift) & 0xFF) * (255 - W)) >> 8; };
  for (int W : {50, 100, 150}) {
    const COLORREF Expected = RGB(Ch(S, F, 0, W), Ch(S, F, 8, W), Ch(S, F, 16, W));
    EXPECT_EQ(static_cast<COLORREF>(TGraphicsProvider::BlendColor(clBtnShadow, clBtnFace, W)), Expected) << W;
  }
}

TEST(SharedDrawSystem, TheNtFamilyDrawsWideText) { EXPECT_TRUE(UseWideText); }

TEST(SharedDrawSystem, DrawingWithoutACanvasRaises) {
  EXPECT_EQ(InvalidOperationOf([] { TGraphicsProvider::DrawButton(nullptr, TRect{0, 0, 4, 4}, false); }),
            "DrawButton: no canvas to draw on");
  EXPECT_EQ(InvalidOperationOf([] { DrawGradient(nullptr, TRect{0, 0, 4, 4}, 0, 0); }),
            "DrawGradient: no canvas to draw on");
  EXPECT_EQ(InvalidOperationOf([] { DrawTextRect(nullptr, TRect{0, 0, 4, 4}, false, L"x", taLeftJustify); }),
            "DrawTextRect: no canvas to draw on");
  EXPECT_EQ(InvalidOperationOf([] { DrawBitmap(nullptr, 0, 0, nullptr); }), "DrawBitmap: no canvas to draw on");
}

// ---- clipping ---------------------------------------------------------------------------------

TEST(SharedDrawClip, OnlyTheClipRectangleReceivesPaint) {
  for (int Road = 0; Road < 2; ++Road) {
    TSurface S(20, 20);
    auto Clip = [&](const TRect& R) {
      if (Road == 0) SetClipRect(&S.C, R);
      else TGraphicsProvider::SetClipRect(&S.C, R);
    };
    Clip(TRect{1, 1, 3, 3});
    // The DC keeps a copy of its clip region; the region the routine made is deleted each time.
    const int Held = uitest::GdiObjectCount();
    Clip(TRect{5, 6, 12, 15});
    EXPECT_EQ(uitest::GdiObjectCount(), Held) << "the region object is deleted";
    S.C.Brush()->SetColor(clRed);
    S.C.FillRect(TRect{0, 0, 20, 20});
    const TCapture Cap = S.Capture();
    EXPECT_EQ(Cap.Count(TRect{5, 6, 12, 15}, RGB(255, 0, 0)), 7 * 9) << Road;
    EXPECT_EQ(Cap.Count(TRect{0, 0, 20, 20}, RGB(255, 0, 0)), 7 * 9) << Road;
  }
}

// ---- raised buttons ---------------------------------------------------------------------------

TEST(SharedDrawButton, FaceFillAndOnePixelFrame) {
  for (bool Dark : {false, true}) {
    TSurface S(30, 20, RGB(1, 2, 3));
    TGraphicsProvider::DrawButton(&S.C, TRect{2, 3, 22, 15}, Dark);
    const COLORREF Bottom = Dark ? Sys(COLOR_WINDOWFRAME) : Sys(COLOR_BTNSHADOW);
    EXPECT_EQ(S.Pixel(2, 3), Sys(COLOR_BTNHIGHLIGHT));   // top-left corner
    EXPECT_EQ(S.Pixel(10, 3), Sys(COLOR_BTNHIGHLIGHT));  // top edge
    EXPECT_EQ(S.Pixel(2, 10), Sys(COLOR_BTNHIGHLIGHT));  // left edge
    EXPECT_EQ(S.Pixel(10, 14), Bottom);                  // bottom edge
    EXPECT_EQ(S.Pixel(21, 8), Bottom);                   // right edge
    EXPECT_EQ(S.Pixel(21, 14), Bottom);                  // bottom-right corner
    const TCapture Cap = S.Capture();
    EXPECT_EQ(Cap.Count(TRect{3, 4, 21, 14}, Sys(COLOR_BTNFACE)), 18 * 10);
    // Nothing outside the rectangle.
    EXPECT_EQ(Cap.CountOther(TRect{0, 0, 30, 3}, RGB(1, 2, 3)), 0);
    EXPECT_EQ(Cap.CountOther(TRect{22, 0, 30, 20}, RGB(1, 2, 3)), 0);
    EXPECT_EQ(Cap.CountOther(TRect{0, 15, 30, 20}, RGB(1, 2, 3)), 0);
  }
}

// ---- focus frames -----------------------------------------------------------------------------

TEST(SharedDrawFrame, SolidFrameIsOneHighlightPixelWide) {
  TSurface S(20, 20);
  TGraphicsProvider::DrawSelectionFrame(&S.C, TRect{2, 2, 12, 10}, true);
  const TCapture Cap = S.Capture();
  const COLORREF H = Sys(COLOR_HIGHLIGHT);
  EXPECT_EQ(Cap.Count(TRect{0, 0, 20, 20}, H), 2 * 10 + 2 * 6);
  EXPECT_EQ(S.Pixel(2, 2), H);
  EXPECT_EQ(S.Pixel(11, 9), H);
  EXPECT_EQ(S.Pixel(5, 5), White);
}

TEST(SharedDrawFrame, DottedFrameInvertsEveryOtherPixelAndUndoesItself) {
  TSurface S(20, 20);
  HDC DC = S.C.Handle();
  SetBkColor(DC, RGB(10, 20, 30));
  SetTextColor(DC, RGB(40, 50, 60));
  TGraphicsProvider::DrawSelectionFrame(&S.C, TRect{2, 2, 14, 10}, false);
  EXPECT_EQ(GetBkColor(DC), RGB(10, 20, 30));
  EXPECT_EQ(GetTextColor(DC), RGB(40, 50, 60));
  const TCapture Once = S.Capture();
  Once.MaybeSave("shared_dotted_frame");
  // Along the top edge every other pixel is inverted (white to black), the rest stay.
  int Inverted = 0;
  for (int X = 2; X < 14; ++X) {
    const COLORREF P = Once.Pixel(X, 2);
    EXPECT_TRUE(P == White || P == Black) << X;
    if (P == Black) ++Inverted;
    if (X > 2) {
      EXPECT_NE(P, Once.Pixel(X - 1, 2)) << X;
    }
  }
  EXPECT_EQ(Inverted, 6);
  EXPECT_EQ(Once.CountOther(TRect{3, 3, 13, 9}, White), 0);  // the inside is left alone
  EXPECT_EQ(Once.CountOther(TRect{0, 11, 20, 20}, White), 0);
  TGraphicsProvider::DrawSelectionFrame(&S.C, TRect{2, 2, 14, 10}, false);
  EXPECT_EQ(S.Capture().CountOther(TRect{0, 0, 20, 20}, White), 0);
}

// ---- text -------------------------------------------------------------------------------------

namespace {

struct TTextCase : ::testing::Test {
  TSurface S{120, 24, White};
  void SetUp() override {
    S.C.Font()->SetName("MS Sans Serif");
    S.C.Font()->SetHeight(-11);
    S.C.Font()->SetColor(clBlack);
    S.C.Brush()->SetColor(clYellow);
  }
  TRect Ink() { return S.Capture().Extent(White); }
};

}  // namespace

TEST_F(TTextCase, AlignmentPlacesTheTextAndTheBrushStaysOut) {
  const TRect R{10, 2, 110, 22};
  TGraphicsProvider::DrawTextRect(&S.C, R, false, L"Wide", taLeftJustify);
  const TRect Left = Ink();
  ASSERT_FALSE(Left.IsEmpty());
  EXPECT_LE(Left.Left, 12);
  // Vertically centred: as much room above the ink as below, give or take the descent.
  EXPECT_LE(std::abs((Left.Top - R.Top) - (R.Bottom - Left.Bottom)), 4);
  // The clear brush filled nothing and the canvas's brush is solid again.
  EXPECT_EQ(S.Capture().Count(TRect{0, 0, 120, 24}, RGB(255, 255, 0)), 0);
  EXPECT_EQ(S.C.Brush()->Style(), bsSolid);

  TSurface Right(120, 24);
  Right.C.Font()->SetName("MS Sans Serif");
  TGraphicsProvider::DrawTextRect(&Right.C, R, false, L"Wide", taRightJustify);
  const TRect RInk = Right.Capture().Extent(White);
  EXPECT_GE(RInk.Right, 108);
  EXPECT_LE(RInk.Right, 110);
  EXPECT_EQ(RInk.Width(), Left.Width());

  TSurface Centre(120, 24);
  Centre.C.Font()->SetName("MS Sans Serif");
  DrawTextRect(&Centre.C, R, false, L"Wide", taCenter);
  const TRect CInk = Centre.Capture().Extent(White);
  EXPECT_LE(std::abs((CInk.Left - R.Left) - (R.Right - CInk.Right)), 2);
}

TEST_F(TTextCase, LongTextEndsInAnEllipsisInsideTheRectangle) {
  const TRect R{10, 2, 60, 22};
  TGraphicsProvider::DrawTextRect(&S.C, R, false, L"A much longer caption than fits", taLeftJustify);
  const TCapture Cap = S.Capture();
  Cap.MaybeSave("shared_text_ellipsis");
  EXPECT_EQ(Cap.CountOther(TRect{60, 0, 120, 24}, White), 0);
  // The last ink is the ellipsis: three dots, so the ink's right end has single dot columns.
  const TRect Ink = Cap.Extent(White);
  EXPECT_GT(Ink.Right, 50);
  int DotColumns = 0;
  for (int X = Ink.Right - 8; X < Ink.Right; ++X)
    if (Cap.CountOther(TRect{X, 0, X + 1, 24}, White) > 0) ++DotColumns;
  EXPECT_LE(DotColumns, 6);
  EXPECT_GE(DotColumns, 3);
}

TEST_F(TTextCase, ByteStringRoadDrawsTheSameCyrillicText) {
  TWideTextGuard Guard;
  const WideString Text = AnsiToWide("\xCA\xE0\xED\xE0\xEB 1");  // "Канал 1" in code page 1251
  const TRect R{4, 2, 116, 22};
  UseWideText = true;
  TGraphicsProvider::DrawTextRect(&S.C, R, false, Text, taLeftJustify);
  const TCapture Wide = S.Capture();
  TSurface Ansi(120, 24);
  Ansi.C.Font()->SetName("MS Sans Serif");
  UseWideText = false;
  DrawTextRect(&Ansi.C, R, false, Text, taLeftJustify);
  const TCapture Bytes = Ansi.Capture();
  EXPECT_GT(Wide.CountOther(R, White), 20);
  EXPECT_TRUE(TCapture::SamePixels(Wide, TRect{0, 0, 120, 24}, Bytes, TRect{0, 0, 120, 24}));
}

TEST_F(TTextCase, NoPrefixProcessing) {
  const TRect R{4, 2, 116, 22};
  DrawTextRect(&S.C, R, false, L"a&b", taLeftJustify);
  TSurface Plain(120, 24);
  Plain.C.Font()->SetName("MS Sans Serif");
  DrawTextRect(&Plain.C, R, false, L"ab", taLeftJustify);
  // The ampersand is drawn, so the text is wider than "ab".
  EXPECT_GT(Ink().Width(), Plain.Capture().Extent(White).Width() + 3);
}

// ---- bitmaps ----------------------------------------------------------------------------------

namespace {

// A pf32bit bitmap whose pixels are given as (B, G, R, A) per pixel, top row first.
std::unique_ptr<TBitmap> AlphaBitmap(int W, int H, const std::vector<std::array<Byte, 4>>& Pixels) {
  auto B = std::make_unique<TBitmap>(W, H, pf32bit);
  for (int Y = 0; Y < H; ++Y) {
    Byte* Row = static_cast<Byte*>(B->ScanLine(Y));
    for (int X = 0; X < W; ++X)
      for (int I = 0; I < 4; ++I) Row[X * 4 + I] = Pixels[static_cast<std::size_t>(Y * W + X)][I];
  }
  return B;
}

}  // namespace

TEST(SharedDrawBitmap, ThirtyTwoBitPixelsBlendByTheirAlpha) {
  TSurface S(10, 6, RGB(0, 0, 200));  // blue background
  // Opaque white, fully clear red, half green, and an opaque pixel.
  auto B = AlphaBitmap(4, 1, {{255, 255, 255, 255}, {0, 0, 255, 0}, {0, 255, 0, 128}, {10, 20, 30, 255}});
  DrawBitmap(&S.C, 3, 2, B.get());
  EXPECT_EQ(S.Pixel(3, 2), RGB(254, 254, 254));                       // 255 * 255 >> 8
  EXPECT_EQ(S.Pixel(4, 2), RGB(0, 0, 200 * 255 / 256));               // background, scaled by 255/256
  EXPECT_EQ(S.Pixel(5, 2), RGB(0, 255 * 128 / 256, 200 * 127 / 256));  // half green over blue
  EXPECT_EQ(S.Pixel(6, 2), RGB(30 * 255 / 256, 20 * 255 / 256, 10 * 255 / 256));
  EXPECT_EQ(S.Pixel(2, 2), RGB(0, 0, 200));  // around it nothing changed
  EXPECT_EQ(S.Pixel(7, 2), RGB(0, 0, 200));
  EXPECT_EQ(S.Pixel(3, 1), RGB(0, 0, 200));
  // The source bitmap is left as it was.
  EXPECT_EQ(static_cast<Byte*>(B->ScanLine(0))[4 * 2 + 1], 255);
}

TEST(SharedDrawBitmap, TheBlendedCopyIsNotKeyedAgain) {
  // A transparent 32-bit glyph whose bottom-left pixel has the same colour as an opaque pixel:
  // the opaque pixel must still be drawn.
  TSurface S(6, 4, RGB(0, 0, 200));
  auto B = AlphaBitmap(2, 2, {{0, 255, 0, 255}, {0, 0, 0, 0}, {0, 255, 0, 255}, {0, 0, 0, 0}});
  B->SetTransparent(true);
  DrawBitmap(&S.C, 1, 1, B.get());
  EXPECT_EQ(S.Pixel(1, 1), RGB(0, 254, 0));
  EXPECT_EQ(S.Pixel(1, 2), RGB(0, 254, 0));
  EXPECT_EQ(S.Pixel(2, 1), RGB(0, 0, 199));
}

TEST(SharedDrawBitmap, OtherFormatsDrawAsTheyAre) {
  TSurface S(8, 4, RGB(0, 0, 200));
  TBitmap B(2, 2, pf24bit);
  B.Canvas()->SetPixels(0, 0, clRed);
  B.Canvas()->SetPixels(1, 0, clLime);
  B.Canvas()->SetPixels(0, 1, clWhite);
  B.Canvas()->SetPixels(1, 1, clWhite);
  DrawBitmap(&S.C, 1, 1, &B);
  EXPECT_EQ(S.Pixel(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(S.Pixel(2, 1), RGB(0, 255, 0));
  EXPECT_EQ(S.Pixel(1, 2), White);
  // A transparent bitmap keys out its bottom-left colour (white here).
  B.SetTransparent(true);
  TSurface T(8, 4, RGB(0, 0, 200));
  DrawBitmap(&T.C, 1, 1, &B);
  EXPECT_EQ(T.Pixel(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(T.Pixel(1, 2), RGB(0, 0, 200));
  // No bitmap or an empty one: nothing.
  TBitmap Empty;
  DrawBitmap(&T.C, 0, 0, &Empty);
  DrawBitmap(&T.C, 0, 0, nullptr);
  EXPECT_EQ(T.Pixel(0, 0), RGB(0, 0, 200));
}

// ---- rotated text -----------------------------------------------------------------------------

namespace {

struct TVerticalCase : ::testing::Test {
  TSurface S{80, 120, White};
  void SetUp() override {
    S.C.Font()->SetName("Tahoma");
    S.C.Font()->SetHeight(-14);
    S.C.Font()->SetColor(clBlack);
  }
};

}  // namespace

TEST_F(TVerticalCase, TextReadsUpwardsAndTheFontComesBack) {
  HFONT Own = S.C.Font()->Handle();
  // Counted from the second drawing on, once the canvas made its own objects: no drawing leaves a
  // rotated font behind.
  DrawVerticalText(&S.C, TRect{4, 0, 76, 116}, L"Vertical", false);
  const int Before = uitest::GdiObjectCount();
  DrawVerticalText(&S.C, TRect{4, 0, 76, 116}, L"Vertical", false);
  EXPECT_EQ(uitest::GdiObjectCount(), Before) << "the rotated font is deleted";
  EXPECT_EQ(GetCurrentObject(S.C.Handle(), OBJ_FONT), Own);
  const TCapture Cap = S.Capture();
  Cap.MaybeSave("shared_vertical_text");
  const TRect Ink = Cap.Extent(White);
  ASSERT_FALSE(Ink.IsEmpty());
  EXPECT_GT(Ink.Height(), 2 * Ink.Width());  // a column of text, not a row
  EXPECT_LE(Ink.Width(), 18);
}

TEST_F(TVerticalCase, MultiLineTextTakesOneColumnPerLine) {
  DrawVerticalText(&S.C, TRect{4, 0, 76, 116}, L"First\r\nSecond", true);
  const TCapture Cap = S.Capture();
  Cap.MaybeSave("shared_vertical_lines");
  const TRect Ink = Cap.Extent(White);
  // Two columns: an empty gap between them, the second starting about a line height to the right.
  int Gaps = 0;
  bool InInk = false;
  for (int X = Ink.Left; X < Ink.Right; ++X) {
    const bool Has = Cap.CountOther(TRect{X, 0, X + 1, 120}, White) > 0;
    if (InInk && !Has) ++Gaps;
    InInk = Has;
  }
  EXPECT_EQ(Gaps, 1);
  EXPECT_GE(Ink.Width(), 20);
  // Without MultiLine the same text is one line.
  TSurface One(80, 120);
  One.C.Font()->SetName("Tahoma");
  One.C.Font()->SetHeight(-14);
  DrawVerticalText(&One.C, TRect{4, 0, 76, 116}, L"First\r\nSecond", false);
  EXPECT_LE(One.Capture().Extent(White).Width(), 18);
}

// ---- gradients --------------------------------------------------------------------------------

TEST(SharedDrawGradient, OneLinePerRowFromTheFirstColour) {
  TSurface S(12, 10, RGB(9, 9, 9));
  const TColor C1 = RGB(0, 60, 240), C2 = RGB(240, 0, 60);
  DrawGradient(&S.C, TRect{1, 2, 11, 8}, C1, C2);
  EXPECT_EQ(S.Pixel(1, 2), static_cast<COLORREF>(C1));
  for (int Y = 2; Y < 8; ++Y) {
    const COLORREF Expected = TGraphicsProvider::MixColors(C1, C2, (Y - 2) / 6.0);
    EXPECT_EQ(S.Pixel(1, Y), Expected) << Y;
    EXPECT_EQ(S.Pixel(10, Y), Expected) << Y;
    EXPECT_EQ(S.Pixel(11, Y), RGB(9, 9, 9)) << "the right end is not drawn";
    EXPECT_EQ(S.Pixel(0, Y), RGB(9, 9, 9));
  }
  EXPECT_EQ(S.Pixel(5, 7), static_cast<COLORREF>(TGraphicsProvider::MixColors(C1, C2, 5.0 / 6)));
  EXPECT_EQ(S.Pixel(5, 1), RGB(9, 9, 9));
  EXPECT_EQ(S.Pixel(5, 8), RGB(9, 9, 9));
  // A rectangle without height (or upside down) draws nothing.
  DrawGradient(&S.C, TRect{0, 0, 12, 0}, clRed, clBlue);
  DrawGradient(&S.C, TRect{0, 1, 12, 0}, clRed, clBlue);
  EXPECT_EQ(S.Capture().CountOther(TRect{0, 0, 12, 2}, RGB(9, 9, 9)), 0);
}

// ---- on a real window -------------------------------------------------------------------------

namespace {

// A control that paints with the shared routines.
class TSharedPaintBox : public TCustomControl {
  T_CLASS(TSharedPaintBox, TCustomControl)

 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override {
    TCanvas* C = Canvas();
    C->Brush()->SetColor(clWhite);
    C->FillRect(TRect{0, 0, Width(), Height()});
    DrawGradient(C, TRect{0, 0, Width(), 20}, clWhite, TColor(RGB(0, 0, 255)));
    TGraphicsProvider::DrawButton(C, TRect{10, 30, 90, 52}, false);
    C->Font()->SetName("MS Sans Serif");
    TGraphicsProvider::DrawTextRect(C, TRect{12, 30, 88, 52}, false, L"Button", taCenter);
    TGraphicsProvider::DrawSelectionFrame(C, TRect{100, 30, 150, 52}, true);
  }
};

}  // namespace

TEST(SharedDrawWindow, RoutinesPaintAWindow) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(150, 120, 220, 140);
  auto* Box = new TSharedPaintBox(F.get());
  Box->SetBounds(0, 0, 180, 70);
  Box->SetParent(F.get());
  F->Show();
  realinput::BringToFront(F->Handle());
  uitest::Settle(F->Handle());
  const TCapture Cap(Box->Handle());
  Cap.MaybeSave("shared_window");
  EXPECT_EQ(Cap.Pixel(5, 0), White);
  EXPECT_EQ(Cap.Pixel(5, 19), static_cast<COLORREF>(TGraphicsProvider::MixColors(clWhite, RGB(0, 0, 255), 19.0 / 20)));
  EXPECT_EQ(Cap.Pixel(10, 30), Sys(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Cap.Pixel(89, 51), Sys(COLOR_BTNSHADOW));
  EXPECT_GT(Cap.CountOther(TRect{12, 32, 88, 50}, Sys(COLOR_BTNFACE)), 10);  // the caption
  EXPECT_EQ(Cap.Pixel(100, 30), Sys(COLOR_HIGHLIGHT));
  EXPECT_EQ(Cap.Pixel(120, 40), White);
}
