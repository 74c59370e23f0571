// Glyph buttons on real windows: where glyph and caption stand, 32-bit glyphs blended by their
// alpha, keyed glyphs, and the speed button's presses, groups and published properties.
#include <gtest/gtest.h>

#include <memory>

#include "framework/Buttons.h"
#include "framework/Forms.h"
#include "framework/TypInfo.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

std::unique_ptr<TForm> ShownForm() {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(60, 60, 360, 220);
  F->SetColor(clWhite);
  uitest::ShowSettled(F.get());
  return F;
}

using uitest::SolidGlyph;

int Channel(COLORREF C, int I) { return I == 0 ? GetRValue(C) : I == 1 ? GetGValue(C) : GetBValue(C); }

}  // namespace

TEST(ButtonGlyphLayout, MarginSpacingAndCentring) {
  TRect G, T;
  // Centred together: (100 - 16 - 4 - 30) / 2 = 25.
  ButtonGlyphLayout(100, 30, TSize{16, 16}, TSize{30, 13}, blGlyphLeft, -1, 4, false, G, T);
  EXPECT_EQ(G, Bounds(25, 7, 16, 16));
  EXPECT_EQ(T, Bounds(45, 8, 30, 13));
  ButtonGlyphLayout(100, 30, TSize{16, 16}, TSize{30, 13}, blGlyphRight, 5, 4, false, G, T);
  EXPECT_EQ(G.Left, 100 - 5 - 16);
  EXPECT_EQ(T.Right, G.Left - 4);
  ButtonGlyphLayout(60, 60, TSize{16, 16}, TSize{30, 13}, blGlyphTop, 3, 2, true, G, T);
  EXPECT_EQ(G, Bounds(23, 4, 16, 16)) << "pressed: one pixel right and down";
  EXPECT_EQ(T.Top, 4 + 16 + 2);
  // No caption: no spacing, the glyph alone centred.
  ButtonGlyphLayout(40, 20, TSize{10, 10}, TSize{0, 0}, blGlyphLeft, -1, 4, false, G, T);
  EXPECT_EQ(G.Left, 15);
  // The spare pixel of an odd room lies after the glyph: a button one pixel wider and taller shows
  // a glyph beside or above its caption where it was.
  for (TButtonLayout L : {blGlyphLeft, blGlyphTop}) {
    TRect Wider;
    ButtonGlyphLayout(100, 60, TSize{16, 16}, TSize{30, 14}, L, -1, 4, false, G, T);
    ButtonGlyphLayout(101, 61, TSize{16, 16}, TSize{30, 14}, L, -1, 4, false, Wider, T);
    EXPECT_EQ(Wider, G) << L;
  }
}

TEST(BitBtn, AlphaGlyphIsBlendedAndKeyedGlyphLeavesItsKeyColour) {
  auto F = ShownForm();
  auto* B = new TBitBtn(F.get());
  B->SetParent(F.get());
  B->SetBounds(10, 10, 100, 40);
  // Half-transparent pure blue over the button face.
  auto Alpha = SolidGlyph(16, 16, clBlue, pf32bit, 128);
  B->SetGlyph(Alpha.get());
  uitest::Settle(F->Handle());
  EXPECT_EQ(GetWindowLongW(B->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  TRect G, T;
  ButtonGlyphLayout(100, 40, TSize{16, 16}, TSize{0, 0}, blGlyphLeft, -1, 4, false, G, T);
  HDC DC = GetDC(B->Handle());
  const COLORREF Face = ColorToRGB(clBtnFace);
  const COLORREF Mid = GetPixel(DC, G.Left + 8, G.Top + 8);
  for (int C = 0; C < 3; ++C) {
    const int Want = (Channel(RGB(0, 0, 255), C) * 128 + Channel(Face, C) * 127 + 127) / 255;
    EXPECT_NEAR(Channel(Mid, C), Want, 2) << C;
  }
  ReleaseDC(B->Handle(), DC);

  // A 24-bit glyph: its lower-left colour (here everywhere but a red square) stays out.
  auto Keyed = SolidGlyph(16, 16, clLime, pf24bit);
  Keyed->Canvas()->Brush()->SetColor(clRed);
  Keyed->Canvas()->FillRect(Rect(4, 4, 12, 12));
  B->SetGlyph(Keyed.get());
  uitest::Settle(F->Handle());
  DC = GetDC(B->Handle());
  EXPECT_EQ(GetPixel(DC, G.Left + 8, G.Top + 8), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(DC, G.Left + 1, G.Top + 1), Face);
  ReleaseDC(B->Handle(), DC);
}

TEST(SpeedButton, PressesGroupsAndPublishedProperties) {
  auto F = ShownForm();
  auto* A = new TSpeedButton(F.get());
  A->SetParent(F.get());
  A->SetBounds(10, 10, 40, 30);
  auto* B = new TSpeedButton(F.get());
  B->SetParent(F.get());
  B->SetBounds(60, 10, 40, 30);
  A->SetGroupIndex(1);
  B->SetGroupIndex(1);
  int Clicks = 0;
  A->OnClick = [&](TObject*) { ++Clicks; };
  uitest::Settle(F->Handle());
  ASSERT_TRUE(realinput::BringToFront(F->Handle()));
  ASSERT_TRUE(realinput::Click(F->Handle(), 30, 25));
  ASSERT_TRUE(uitest::WaitFor([&] { return Clicks == 1; }));
  EXPECT_TRUE(A->Down());
  EXPECT_EQ(A->State(), bsExclusive);
  B->SetDown(true);
  EXPECT_FALSE(A->Down()) << "one button of a group is down";
  EXPECT_EQ(A->State(), bsUp);
  // Without AllowAllUp a click leaves a down button down.
  ASSERT_TRUE(realinput::Click(F->Handle(), 80, 25));
  uitest::PumpFor(30);
  EXPECT_TRUE(B->Down());

  EXPECT_EQ(GetOrdProp(A, "GroupIndex"), 1);
  EXPECT_EQ(GetOrdProp(B, "Down"), 1);
  SetEnumProp(A, "Layout", "blGlyphTop");
  EXPECT_EQ(A->Layout(), blGlyphTop);
  EXPECT_EQ(GetObjectProp(A, "Glyph"), A->Glyph());
  EXPECT_EQ(GetOrdProp(A, "Margin"), -1);
  EXPECT_EQ(GetOrdProp(A, "Spacing"), 4);
  EXPECT_EQ(GetOrdProp(A, "NumGlyphs"), 1);
  // A button without a group does not stay down.
  A->SetGroupIndex(0);
  A->SetDown(true);
  EXPECT_FALSE(A->Down());
}
