// The frame adapter's commands and painting: redraw held back around a scroll, the commands it
// passes to its children, mouse-over looks it takes back from its buttons, and the plain-colour
// frame painted whole and without keeping a cache. Real windows, window styles and pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin_forms/adapt2_support.h"
#include "support/FreedMemoryGuard.h"

using namespace adapt2;

namespace {

// A windowed child that says it is skinned and records the skin commands reaching it.
class TRecordingChild : public TCustomControl {
  T_CLASS(TRecordingChild, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  std::vector<Word> Commands;

 protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SM_ALPHACMD) {
      Commands.push_back(AlphaCmdCode(M.WParam));
      if (AlphaCmdCode(M.WParam) == AC_ISSKINNED) {
        M.Result = 1;
        return;
      }
    }
    TCustomControl::WndProc(M);
  }
};

struct Adapt3Frame : ::testing::Test {
  std::unique_ptr<TsSkinManager> M = LoadProgramSkin();
  TTestForm F;
  TScrollingWinControl* Fr = nullptr;
  TsFrameAdapter* A = nullptr;
  void Make(const char* Section) {
    Fr = new TScrollingWinControl(F.Form);
    Fr->SetParent(F.Form);
    Fr->SetBounds(20, 20, 200, 120);
    F.Show();
    A = new TsFrameAdapter(Fr);
    A->SkinData()->SetSkinSection(Section);
    A->SkinData()->UpdateIndexes();
  }
  bool Visible() const { return (GetWindowLongW(Fr->Handle(), GWL_STYLE) & WS_VISIBLE) != 0; }
};

}  // namespace

TEST_F(Adapt3Frame, ScrollCommandsHoldTheRedrawOfAParentDependentFrame) {
  Make("GROUPBOX");
  uitest::Settle(F.Form->Handle());
  // Over a plain form the transparent frame does not depend on its parent: nothing is held.
  SendMessageW(Fr->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_BEFORESCROLL), 0);
  EXPECT_TRUE(Visible());
  A->SkinData()->ForceParentDependent = true;
  SendMessageW(Fr->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_BEFORESCROLL), 0);
  EXPECT_FALSE(Visible()) << "redraw switched off for the scroll";
  SendMessageW(Fr->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_AFTERSCROLL), 0);
  EXPECT_TRUE(Visible());
  EXPECT_FALSE(GetUpdateRect(Fr->Handle(), nullptr, FALSE)) << "redrawn at once";
}

TEST_F(Adapt3Frame, FadeEndIsPassedToTheChildren) {
  Make("GROUPBOX");
  auto* C = new TRecordingChild(F.Form);
  C->SetParent(Fr);
  C->SetBounds(10, 10, 40, 30);
  uitest::Settle(F.Form->Handle());
  C->Commands.clear();
  SendMessageW(Fr->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_BEFOREREFRESH), 0);
  EXPECT_NE(std::find(C->Commands.begin(), C->Commands.end(), AC_BEFOREREFRESH), C->Commands.end());
}

TEST_F(Adapt3Frame, MouseEnteringTheFrameTakesTheHotLookFromItsButtons) {
  Make("GROUPBOX");
  auto* B1 = new TsButton(F.Form);
  B1->SetParent(Fr);
  B1->SetBounds(10, 10, 60, 25);
  auto* B2 = new TsButton(F.Form);
  B2->SetParent(Fr);
  B2->SetBounds(80, 10, 60, 25);
  uitest::Settle(F.Form->Handle());
  int Left1 = 0, Left2 = 0;
  B1->OnMouseLeave = [&](TObject*) { ++Left1; };
  B2->OnMouseLeave = [&](TObject*) { ++Left2; };
  B1->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(B1));
  B2->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(B2));
  ASSERT_TRUE(B1->SkinData()->MouseOver);
  // Entering for B2: only B1 is told to leave.
  Fr->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(B2));
  EXPECT_EQ(Left1, 1);
  EXPECT_EQ(Left2, 0);
  EXPECT_FALSE(B1->SkinData()->MouseOver);
  EXPECT_TRUE(B2->SkinData()->MouseOver);
  Fr->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(Fr));
  EXPECT_EQ(Left1, 1) << "a button not in its mouse-over state is left alone";
  EXPECT_EQ(Left2, 1);
  EXPECT_EQ(M->HoverWindow(), Fr->Handle());
}

TEST_F(Adapt3Frame, PlainFrameIsPaintedWholeAndKeepsNoCache) {
  // PAGECONTROL: one colour with a border image.
  Make("PAGECONTROL");
  ASSERT_FALSE(A->SkinData()->IsSkinPaintMode());
  uitest::Settle(F.Form->Handle());
  // Something else on the screen where the frame is, then a small part of it invalidated.
  HDC DC = GetDC(Fr->Handle());
  HBRUSH Magenta = CreateSolidBrush(RGB(255, 0, 255));
  RECT All{0, 0, 200, 120};
  FillRect(DC, &All, Magenta);
  DeleteObject(Magenta);
  ReleaseDC(Fr->Handle(), DC);
  RECT Small{10, 10, 20, 20};
  InvalidateRect(Fr->Handle(), &Small, FALSE);
  UpdateWindow(Fr->Handle());
  const uitest::TCapture C(Fr->Handle());
  C.MaybeSave("adapt3_frame_plain");
  EXPECT_EQ(C.Count(TRect{0, 0, 200, 120}, RGB(255, 0, 255)), 0) << "the whole frame was painted";
  EXPECT_TRUE(Near(C.Pixel(100, 60), PanelColor, 2)) << std::hex << C.Pixel(100, 60);
  EXPECT_FALSE(Near(C.Pixel(0, 60), PanelColor, 2)) << "the border image along the edge";
  EXPECT_TRUE(A->SkinData()->CacheBmp() == nullptr || A->SkinData()->CacheBmp()->Empty())
      << "no cache kept for a plain frame";
}

TEST_F(Adapt3Frame, ARepaintOrASizeChangeOfAFrameWithAnImageTellsEachChildOnce) {
  Make("GROUPBOX");
  ASSERT_TRUE(A->SkinData()->IsSkinPaintMode());
  auto* C = new TRecordingChild(F.Form);
  C->SetParent(Fr);
  C->SetBounds(10, 10, 40, 30);
  uitest::Settle(F.Form->Handle());
  for (int Round = 0; Round < 3; ++Round) {
    C->Commands.clear();
    RedrawWindow(Fr->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    uitest::Settle(F.Form->Handle());
    // The frame paints its picture once (its erase and its paint are one paint), so the child
    // learns of the new picture under it once.
    EXPECT_EQ(std::count(C->Commands.begin(), C->Commands.end(), AC_REFRESHIFSKINNED), 1) << "round " << Round;
  }
  // A size change of the form erases the frame before it paints it: still one paint.
  for (int Round = 0; Round < 3; ++Round) {
    C->Commands.clear();
    F.Form->SetBounds(F.Form->Left(), F.Form->Top(), 400 + 10 * Round, 300 + 10 * Round);
    uitest::Settle(F.Form->Handle());
    EXPECT_EQ(std::count(C->Commands.begin(), C->Commands.end(), AC_REFRESHIFSKINNED), 1) << "size, round " << Round;
  }
}
