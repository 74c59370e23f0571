// The framework tool bar and the framework status bar painted from the program's skin: pixels of
// real windows, hot tracking by real pointer moves (with the buttons repainted counted), the
// bar's own event handlers given back, and adapters and controls freed in every order.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/ComCtrls.h"
#include "framework/ToolBars.h"
#include "skin/controls/acBarAdapters.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinManager.h"
#include "skin_controls/kept_picture_support.h"
#include "skin_controls/ownctl_support.h"
#include "skin_forms/adapt2_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/UiTest.h"

namespace {

constexpr COLORREF ToolButtonHot = 4867140;  // TOOLBUTTON HOTCOLOR
constexpr COLORREF ToolBarFrom = 3617330, ToolBarTo = 3091243;  // TOOLBAR gradient
constexpr COLORREF StatusBarColor = adapt2::StatusBarColor;

// Between the two gradient colours of the TOOLBAR section.
bool ToolBarBackground(COLORREF C) { return ownctl::Between(C, ToolBarFrom, ToolBarTo); }

// Logs every button the adapter repaints on its own (hot tracking, drop-down end).
class TCountingToolBarWnd : public TacToolBarVCLWnd {
  T_CLASS(TCountingToolBarWnd, TacToolBarVCLWnd)
 public:
  using TacToolBarVCLWnd::TacToolBarVCLWnd;
  void RepaintButton(int Index) override {
    Repainted.push_back(Index);
    TacToolBarVCLWnd::RepaintButton(Index);
  }
  std::vector<int> Repainted;
};

struct TBarFixture {
  std::unique_ptr<TsSkinManager> M = adapt2::LoadProgramSkin();
  adapt2::TTestForm F;
  TToolBar* Bar = nullptr;
  std::vector<TToolButton*> Buttons;

  TBarFixture() {
    F.Form->SetColor(clWhite);
    Bar = new TToolBar(F.Form);
    Bar->SetParent(F.Form);
    Bar->SetButtonWidth(40);
    Bar->SetButtonHeight(26);
    for (TToolButtonStyle S : {tbsButton, tbsButton, tbsCheck, tbsButton}) {
      auto* B = new TToolButton(F.Form);
      B->SetStyle(S);
      B->SetParent(Bar);
      Buttons.push_back(B);
    }
    Buttons[3]->SetEnabled(false);
    F.Show();
  }
  POINT Centre(int I) const {
    const TToolButton* B = Buttons[static_cast<std::size_t>(I)];
    return POINT{B->Left() + B->Width() / 2, B->Top() + B->Height() / 2};
  }
};

}  // namespace

TEST(ToolBarAdapter, BarAndButtonsComeFromTheSkin) {
  TBarFixture T;
  TsCommonData D(T.Bar, 0, true);
  auto* A = TacMainWnd::Create<TacToolBarVCLWnd>(T.Bar->Handle(), &D, T.M.get(), "");
  EXPECT_EQ(A->ToolBar, T.Bar);
  EXPECT_EQ(D.SkinSection(), "TOOLBAR");
  T.Buttons[2]->SetDown(true);
  // A wider drop-down button painted after a narrower one.
  T.Buttons[1]->SetStyle(tbsDropDown);
  RedrawWindow(T.Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Pump();
  const uitest::TCapture C(T.Bar->Handle());
  C.MaybeSave("toolbar_adapter");
  // The bar right of the buttons and a normal (transparent) button show the bar's gradient.
  EXPECT_TRUE(ToolBarBackground(C.Pixel(C.Width() - 5, C.Height() / 2))) << std::hex << C.Pixel(C.Width() - 5, C.Height() / 2);
  const POINT P0 = T.Centre(0);
  EXPECT_TRUE(ToolBarBackground(C.Pixel(P0.x, P0.y))) << std::hex << C.Pixel(P0.x, P0.y);
  // The down check button is drawn pressed (the section's hot colour inside its border).
  const POINT P2 = T.Centre(2);
  EXPECT_TRUE(adapt2::Near(C.Pixel(P2.x, P2.y), ToolButtonHot, 4)) << std::hex << C.Pixel(P2.x, P2.y);
  // The wider drop-down button shows its arrow, in its part beyond the width of the others.
  const TRect R1 = T.Buttons[1]->BoundsRect();
  ASSERT_GT(R1.Width(), T.Buttons[0]->Width());
  int Arrow = 0;
  for (int Y = R1.Top; Y < R1.Bottom; ++Y)
    for (int X = R1.Left + T.Buttons[0]->Width(); X < R1.Right; ++X) Arrow += ToolBarBackground(C.Pixel(X, Y)) ? 0 : 1;
  EXPECT_GT(Arrow, 4);
  delete A;
}

// The buttons keep their pictures from paint to paint: after each change the bar shows what a
// new adapter, which has no pictures yet, paints.
TEST(ToolBarAdapter, TheBarShowsEachChangeAsANewAdapterPaintsIt) {
  TBarFixture T;
  auto* Images = new TImageList(T.F.Form);
  Images->Add(uitest::SolidGlyph(16, 16, clRed).get(), nullptr);
  const std::unique_ptr<TBitmap> Green = uitest::SolidGlyph(16, 16, clLime), Blue = uitest::SolidGlyph(16, 16, clBlue);
  T.Bar->SetImages(Images);
  // A button down shows the hot list's image.
  auto* HotImages = new TImageList(T.F.Form);
  HotImages->Add(uitest::SolidGlyph(16, 16, clYellow).get(), nullptr);
  T.Bar->SetHotImages(HotImages);
  T.Bar->SetShowCaptions(true);
  T.Bar->SetButtonHeight(36);
  T.Bar->SetHeight(40);
  T.Buttons[0]->SetImageIndex(0);
  T.Buttons[1]->SetCaption(L"Go");
  ASSERT_TRUE(ownctl::PointerAway());
  TsCommonData D(T.Bar, 0, true);
  TacToolBarVCLWnd* A = nullptr;
  const std::vector<kept::TChange> Cases = {
      {"nothing", [] {}},
      {"a button hot", [&] { A->HotIndex = 1; }},
      {"a button down", [&] { T.Buttons[0]->SetDown(true); }},
      {"the hot image changed in place", [&] { ImageList_Replace(HotImages->Handle(), 0, Blue->Handle(), nullptr); }},
      {"a new caption", [&] { T.Buttons[1]->SetCaption(L"Further"); }},
      {"a caption of the same width", [&] { T.Buttons[1]->SetCaption(L"rehtruF"); }},
      {"the image of the list changed in place", [&] { ImageList_Replace(Images->Handle(), 0, Blue->Handle(), nullptr); }},
      {"the image of the list replaced", [&] {
         Images->Delete(0);
         Images->Add(Green.get(), nullptr);
       }},
      {"a button disabled", [&] { T.Buttons[1]->SetEnabled(false); }},
      {"the bar made narrower", [&] { T.Bar->SetWidth(T.Bar->Width() - 60); }},
      {"another font", [&] { T.Bar->Font()->SetSize(12); }},
      {"the skin's colours turned", [&] { T.M->SetHueOffset(90); }},
  };
  A = TacMainWnd::Create<TacToolBarVCLWnd>(T.Bar->Handle(), &D, T.M.get(), "");
  kept::ExpectEachChangeShownAsByANewAdapter(
      Cases,
      [&] {
        RedrawWindow(T.Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
        uitest::Pump();
        return uitest::TCapture(T.Bar->Handle());
      },
      [&] {
        const int Hot = A->HotIndex;
        delete A;
        A = TacMainWnd::Create<TacToolBarVCLWnd>(T.Bar->Handle(), &D, T.M.get(), "");
        A->HotIndex = Hot;
      });
  delete A;
}

TEST(ToolBarAdapter, PointerMovesRepaintOnlyTheTwoButtonsConcerned) {
  TBarFixture T;
  TsCommonData D(T.Bar, 0, true);
  auto* A = TacMainWnd::Create<TCountingToolBarWnd>(T.Bar->Handle(), &D, T.M.get(), "");
  // The real pointer rests on the bar (right of the buttons); the moves over the buttons are
  // sent to the bar, so that no late report of the real pointer mixes in.
  ASSERT_TRUE(realinput::BringToFront(T.F.Form->Handle()));
  ASSERT_TRUE(ownctl::MoveTo(T.Bar->Handle(), T.Bar->ClientWidth() - 4, T.Bar->ClientHeight() / 2));
  A->Repainted.clear();
  auto Hover = [&](int I) {
    const POINT P = T.Centre(I);
    SendMessageW(T.Bar->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(P.x, P.y));
  };
  Hover(0);
  EXPECT_EQ(A->HotIndex, 0);
  EXPECT_EQ(A->Repainted, (std::vector<int>{0}));
  const POINT P0 = T.Centre(0), P1 = T.Centre(1);
  const uitest::TCapture Hot(T.Bar->Handle());
  EXPECT_TRUE(adapt2::Near(Hot.Pixel(P0.x, P0.y), ToolButtonHot, 4)) << std::hex << Hot.Pixel(P0.x, P0.y);
  A->Repainted.clear();
  Hover(0);
  EXPECT_TRUE(A->Repainted.empty()) << "no change, no painting";
  Hover(1);
  EXPECT_EQ(A->HotIndex, 1);
  EXPECT_EQ(A->Repainted, (std::vector<int>{0, 1})) << "the old and the new hot button, nothing else";
  const uitest::TCapture Moved(T.Bar->Handle());
  EXPECT_TRUE(ToolBarBackground(Moved.Pixel(P0.x, P0.y))) << "the old hot button is normal again";
  EXPECT_TRUE(adapt2::Near(Moved.Pixel(P1.x, P1.y), ToolButtonHot, 4));
  // Onto a disabled button: the previous button stays hot, nothing is repainted.
  A->Repainted.clear();
  Hover(3);
  EXPECT_EQ(A->HotIndex, 1);
  EXPECT_TRUE(A->Repainted.empty());
  // A down button is never repainted by hot tracking.
  T.Buttons[2]->SetDown(true);
  A->Repainted.clear();
  Hover(2);
  EXPECT_EQ(A->HotIndex, 2);
  EXPECT_EQ(A->Repainted, (std::vector<int>{1}));
  // The real pointer leaving the bar clears the hot button.
  Hover(0);
  A->Repainted.clear();
  ASSERT_TRUE(ownctl::PointerAway());
  ASSERT_TRUE(uitest::WaitFor([&] { return A->HotIndex == -1; }));
  EXPECT_EQ(A->Repainted, (std::vector<int>{0}));
  delete A;
}

TEST(ToolBarAdapter, TheBarsOwnHandlersComeBackAndEitherMayGoFirst) {
  memguard::TFaultCount AV;
  {
    TBarFixture T;
    int Own = 0;
    T.Bar->OnAdvancedCustomDraw = [&](TToolBar*, const TRect&, TCustomDrawStage, bool&) { ++Own; };
    TsCommonData D(T.Bar, 0, true);
    auto* A = TacMainWnd::Create<TacToolBarVCLWnd>(T.Bar->Handle(), &D, T.M.get(), "");
    bool DefaultDraw = true;
    T.Bar->OnAdvancedCustomDraw(T.Bar, TRect{0, 0, 1, 1}, cdPrePaint, DefaultDraw);
    EXPECT_EQ(Own, 0) << "the adapter's handler is in place";
    delete A;
    T.Bar->OnAdvancedCustomDraw(T.Bar, TRect{0, 0, 1, 1}, cdPrePaint, DefaultDraw);
    EXPECT_EQ(Own, 1) << "the bar's own handler is back";
    EXPECT_FALSE(T.Bar->OnAdvancedCustomDrawButton);
  }
  {
    // The bar freed while its adapter lives on.
    TBarFixture T;
    auto D = std::make_unique<TsCommonData>(T.Bar, 0, true);
    auto* A = TacMainWnd::Create<TacToolBarVCLWnd>(T.Bar->Handle(), D.get(), T.M.get(), "");
    delete T.Bar;
    uitest::Pump();
    EXPECT_EQ(A->ToolBar, nullptr);
    delete A;
  }
  {
    // A button freed while the adapter tracks it: the hot index goes when the last one goes.
    TBarFixture T;
    TsCommonData D(T.Bar, 0, true);
    auto* A = TacMainWnd::Create<TacToolBarVCLWnd>(T.Bar->Handle(), &D, T.M.get(), "");
    A->HotIndex = 3;
    delete T.Buttons[3];
    EXPECT_EQ(A->HotIndex, -1);
    A->HotIndex = 0;
    delete T.Buttons[2];
    EXPECT_EQ(A->HotIndex, 0);
    delete A;
  }
  EXPECT_EQ(AV.Count(), 0);
}

TEST(ToolBarAdapter, FrameComesFromTheCache) {
  TBarFixture T;
  T.Bar->SetEdgeBorders(TEdgeBorders{ebLeft, ebTop, ebRight, ebBottom});
  T.Bar->SetBorderWidth(3);
  TsCommonData D(T.Bar, 0, true);
  auto* A = TacMainWnd::Create<TacToolBarVCLWnd>(T.Bar->Handle(), &D, T.M.get(), "");
  RedrawWindow(T.Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Pump();
  HDC DC = GetWindowDC(T.Bar->Handle());
  const uitest::TCapture Win(DC, TRect{0, 0, T.Bar->Width(), T.Bar->Height()});
  ReleaseDC(T.Bar->Handle(), DC);
  Win.MaybeSave("toolbar_adapter_frame");
  // The edges and the band are the bar's gradient, not the system's edge colours.
  for (int I = 0; I < 5; ++I) EXPECT_TRUE(ToolBarBackground(Win.Pixel(I, Win.Height() / 2))) << I << std::hex << " " << Win.Pixel(I, Win.Height() / 2);
  EXPECT_TRUE(ToolBarBackground(Win.Pixel(Win.Width() / 2 + 60, 1)));
  delete A;
}

// ---- status bar ---------------------------------------------------------------------------------

TEST(StatusBarAdapter, TextsAlignmentAndTheBorderWidthFrameComeFromTheControl) {
  auto M = adapt2::LoadProgramSkin();
  adapt2::TTestForm F;
  auto* SB = new TStatusBar(F.Form);
  SB->SetParent(F.Form);
  SB->SetColor(clRed);  // shows where the bar's own painting would be seen
  SB->SetHeight(30);
  SB->SetBorderWidth(3);
  TStatusPanel* P0 = SB->Panels()->Add();
  P0->SetWidth(150);
  P0->SetText(L"Left text");
  TStatusPanel* P1 = SB->Panels()->Add();
  P1->SetWidth(150);
  P1->SetText(L"Right");
  P1->SetAlignment(taRightJustify);
  SB->Panels()->Add()->SetText(L"");
  F.Show();
  TsCommonData D(SB, 0, true);
  auto* A = TacMainWnd::Create<TacStatusBarWnd>(SB->Handle(), &D, M.get(), "");
  EXPECT_EQ(A->StatusBar, SB);
  EXPECT_EQ(A->PanelText(1), L"Right");
  RedrawWindow(SB->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Pump();
  HDC DC = GetWindowDC(SB->Handle());
  const uitest::TCapture C(DC, TRect{0, 0, SB->Width(), SB->Height()});
  ReleaseDC(SB->Handle(), DC);
  C.MaybeSave("statusbar_adapter");
  // The frame: the skin's colour, not the bar's red.
  for (const POINT P : {POINT{1, 15}, POINT{200, 1}, POINT{C.Width() - 2, 15}, POINT{200, C.Height() - 2}})
    EXPECT_TRUE(adapt2::Near(C.Pixel(P.x, P.y), StatusBarColor, 4)) << P.x << "," << P.y << std::hex << " " << C.Pixel(P.x, P.y);
  // Text pixels (lighter than the bar): the left panel's text near its left end, the
  // right-aligned one near its right end.
  auto Light = [&](int X0, int X1) {
    int N = 0;
    for (int Y = 4; Y < C.Height() - 4; ++Y)
      for (int X = X0; X < X1; ++X) N += GetGValue(C.Pixel(X, Y)) > 100 ? 1 : 0;
    return N;
  };
  EXPECT_GT(Light(3, 80), 10);
  EXPECT_EQ(Light(160, 230), 0);
  EXPECT_GT(Light(240, 300), 5);
  // A simple bar shows the control's simple text.
  SB->SetSimpleText(L"Simple");
  SB->SetSimplePanel(true);
  EXPECT_EQ(A->PanelText(-1), L"Simple");
  delete A;
}

TEST(StatusBarAdapter, BarFreedBeforeItsAdapter) {
  memguard::TFaultCount AV;
  auto M = adapt2::LoadProgramSkin();
  adapt2::TTestForm F;
  auto* SB = new TStatusBar(F.Form);
  SB->SetParent(F.Form);
  SB->Panels()->Add()->SetText(L"x");
  F.Show();
  auto D = std::make_unique<TsCommonData>(SB, 0, true);
  auto* A = TacMainWnd::Create<TacStatusBarWnd>(SB->Handle(), D.get(), M.get(), "");
  delete SB;
  uitest::Pump();
  EXPECT_EQ(A->StatusBar, nullptr);
  delete A;
  EXPECT_EQ(AV.Count(), 0);
}
