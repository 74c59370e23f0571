// Speed buttons through the form's adapter list: a stand-in graphic button of the test publishes
// the speed-button properties; the handler paints it from the skin and follows the mouse.
#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "framework/TypInfo.h"
#include "skin/controls/acSpeedButton.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sFormAdapters.h"
#include "skin_forms/adapt2_support.h"

using namespace adapt2;

namespace {

// A graphic button with the published properties of a speed button; it paints itself white.
class TTestSpeedButton : public TGraphicControl {
  T_CLASS(TTestSpeedButton, TGraphicControl)

 public:
  explicit TTestSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner), FGlyph(std::make_unique<TBitmap>()) {}
  TBitmap* Glyph() const { return FGlyph.get(); }
  int Layout() const { return FLayout; }
  void SetLayout(int V) { FLayout = V; }
  int Margin() const { return FMargin; }
  void SetMargin(int V) { FMargin = V; }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int V) { FSpacing = V; }
  int NumGlyphs() const { return 1; }
  bool Down() const { return FDown; }
  void SetDown(bool V) { FDown = V; }
  bool SmallStyle() const { return FSmall; }
  void SetSmallStyle(bool V) { FSmall = V; }

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }

 private:
  std::unique_ptr<TBitmap> FGlyph;
  int FLayout = 0, FMargin = -1, FSpacing = 4;
  bool FDown = false, FSmall = false;
};

T_PUBLISH(TTestSpeedButton) {
  P.Object("Glyph", [](TTestSpeedButton* B) -> TObject* { return B->Glyph(); });
  P.Ordinal("Layout", &TTestSpeedButton::Layout, &TTestSpeedButton::SetLayout);
  P.Ordinal("Margin", &TTestSpeedButton::Margin, &TTestSpeedButton::SetMargin);
  P.Ordinal("Spacing", &TTestSpeedButton::Spacing, &TTestSpeedButton::SetSpacing);
  P.Ordinal("NumGlyphs", &TTestSpeedButton::NumGlyphs, nullptr);
  P.Boolean("Down", &TTestSpeedButton::Down, &TTestSpeedButton::SetDown);
  P.Boolean("SmallStyle", &TTestSpeedButton::SmallStyle, &TTestSpeedButton::SetSmallStyle);
}

struct Fixture : ::testing::Test {
  std::unique_ptr<TsSkinManager> M = LoadProgramSkin();
  TTestForm F;
  TTestSpeedButton* AddButton(int X, int Y) {
    auto* B = new TTestSpeedButton(F.Form);
    B->SetParent(F.Form);
    B->SetBounds(X, Y, 80, 30);
    B->SetCaption(L"Go");
    return B;
  }
};

using Adapt2SpeedButton = Fixture;

}  // namespace

TEST_F(Adapt2SpeedButton, ListedButtonsGetAHandlerThatPaintsFromTheSkin) {
  SetList(*M, tpSpeedButton, "TTestSpeedButton");
  auto* B = AddButton(20, 20);
  auto* Small = AddButton(120, 20);
  Small->SetSmallStyle(true);
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  ASSERT_EQ(L.GraphItems.size(), 2u);
  ASSERT_NE(L.GraphItemOf(B), nullptr);
  EXPECT_EQ(L.GraphItemOf(B)->SkinData->SkinSection(), "SPEEDBUTTON");
  EXPECT_EQ(L.GraphItemOf(Small)->SkinData->SkinSection(), "SPEEDBUTTON_SMALL");
  EXPECT_EQ(AskControl(B, AC_ISSKINNED), 1);
  L.AddAllItems(F.Form);  // skinned already: nothing new
  EXPECT_EQ(L.GraphItems.size(), 2u);

  RedrawWindow(F.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  uitest::TCapture C(F.Form->Handle(), TRect(20, 20, 100, 50));
  C.MaybeSave("adapt2_speedbutton");
  // The BUTTON section's dark gradient instead of the button's own white, caption light.
  EXPECT_TRUE(Near(C.Pixel(4, 4), RGB(0x40, 0x40, 0x46), 12)) << std::hex << C.Pixel(4, 4);
  int Light = 0;
  for (int Y = 0; Y < 30; ++Y)
    for (int X = 20; X < 60; ++X)
      if (GetGValue(C.Pixel(X, Y)) > 180) ++Light;
  EXPECT_GT(Light, 5);

  // Hot on mouse enter, normal again on leave.
  TacSpeedButtonHandler* H = L.GraphItemOf(B)->Handler;
  B->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(H->ButtonState(), 1);
  B->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(H->ButtonState(), 0);
  B->SetDown(true);
  EXPECT_EQ(H->ButtonState(), 2);

  // Freed controls leave detached handlers that CleanItems drops; the list lets go of the rest.
  delete Small;
  L.CleanItems();
  EXPECT_EQ(L.GraphItems.size(), 1u);
  L.RemoveAllItems();
  EXPECT_EQ(AskControl(B, AC_ISSKINNED), 0);
  uitest::TCapture After(F.Form->Handle(), TRect(20, 20, 100, 50));
  RedrawWindow(F.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  EXPECT_EQ(uitest::TCapture(F.Form->Handle(), TRect(20, 20, 100, 50)).Pixel(4, 4), RGB(255, 255, 255));
}

TEST_F(Adapt2SpeedButton, GlyphAndCaptionLayout) {
  SetList(*M, tpSpeedButton, "TTestSpeedButton");
  auto* B = AddButton(20, 20);
  B->SetBounds(20, 20, 100, 40);
  B->Glyph()->SetSize(16, 16);
  F.Show();
  TsCommonData D(B, 0, true);
  TacSpeedButtonHandler H(B, &D, M.get(), "SPEEDBUTTON");
  EXPECT_EQ(D.SkinSection(), "SPEEDBUTTON");
  D.InitCacheBmp();
  // Margin -1, glyph left: glyph and caption centred together.
  const TRect G = H.GlyphRect(), T = H.CaptionRect();
  const int TW = T.Width();
  const int MX = (100 - 16 - 4 - TW) / 2;
  EXPECT_EQ(G.Left, MX);
  EXPECT_EQ(G.Top, (40 - 16) / 2);
  EXPECT_EQ(T.Left, MX + 16 + 4);
  // Glyph on top with a margin of 3.
  B->SetLayout(2);
  B->SetMargin(3);
  EXPECT_EQ(H.GlyphRect().Top, 3);
  EXPECT_EQ(H.CaptionRect().Top, 3 + 16 + 4);
  // Pressed moves everything by one pixel.
  B->SetDown(true);
  EXPECT_EQ(H.GlyphRect().Top, 4);
  // No caption: no spacing.
  B->SetDown(false);
  B->SetLayout(0);
  B->SetMargin(-1);
  B->SetCaption(L"");
  EXPECT_EQ(H.GlyphRect().Left, (100 - 16) / 2);
  // The spare pixel of an odd room lies after the glyph: a button one pixel wider and taller shows
  // a glyph at its left or on its top where it was.
  for (int L : {0, 2}) {
    B->SetLayout(L);
    B->SetBounds(20, 20, 100, 40);
    const TRect Even = H.GlyphRect();
    B->SetBounds(20, 20, 101, 41);
    EXPECT_EQ(H.GlyphRect(), Even) << L;
  }
  H.Detach();
  EXPECT_TRUE(H.Detached);
  EXPECT_EQ(AskControl(B, AC_ISSKINNED), 0);
}

// With the glyph left of the caption and no margin, glyph and caption are centred together as one
// group; the caption's width is that of its text in the button's own font.
TEST_F(Adapt2SpeedButton, GlyphAndCaptionAreCentredTogetherInTheButtonsFont) {
  SetList(*M, tpSpeedButton, "TTestSpeedButton");
  auto* B = AddButton(20, 20);
  B->SetBounds(20, 20, 120, 30);
  B->SetCaption(L"Speed button");
  TBitmap* G = B->Glyph();
  G->SetPixelFormat(pf24bit);
  G->SetSize(16, 16);
  G->Canvas()->Brush()->SetColor(clRed);
  G->Canvas()->FillRect(Rect(0, 0, 16, 16));
  G->Canvas()->SetPixels(0, 15, clBlue);  // the lower-left colour is the transparent one
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  ASSERT_NE(L.GraphItemOf(B), nullptr);
  RedrawWindow(F.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  const uitest::TCapture C(F.Form->Handle(), TRect(20, 20, 140, 50));
  C.MaybeSave("adapt2_speedbutton_glyph");
  int GlyphLeft = C.Width();
  for (int Y = 0; Y < C.Height(); ++Y)
    for (int X = 0; X < C.Width(); ++X)
      if (C.Pixel(X, Y) == RGB(255, 0, 0)) GlyphLeft = std::min(GlyphLeft, X);

  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, B->Font()->Handle());
  RECT T{0, 0, 255, 0};
  DrawTextW(DC, L"Speed button", -1, &T, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  EXPECT_EQ(GlyphLeft, (120 - 16 - B->Spacing() - (T.right - T.left)) / 2);
  L.RemoveAllItems();
}
