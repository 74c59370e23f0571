// Alignment and anchors of child controls, on real windows.
#include <gtest/gtest.h>

#include <memory>

#include "framework/Forms.h"
#include "support/UiTest.h"

class TBox : public TCustomControl {
  T_CLASS(TBox, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
};

namespace {

// A form with a 400 x 300 client area, shown.
std::unique_ptr<TForm> MakeForm(bool ShowIt = true) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBorderStyle(bsSizeable);
  F->SetBounds(50, 50, 500, 400);
  F->SetClientSize(400, 300);
  if (ShowIt) F->Show();
  uitest::Pump();
  return F;
}

TBox* AddBox(TWinControl* Parent, TAlign Align, int L, int T, int W, int H) {
  auto* B = new TBox(Parent);
  B->SetBounds(L, T, W, H);
  B->SetParent(Parent);
  B->SetAlign(Align);
  return B;
}

TRect WindowBounds(TWinControl* C) {
  RECT R;
  GetWindowRect(C->Handle(), &R);
  MapWindowPoints(HWND_DESKTOP, GetParent(C->Handle()), reinterpret_cast<POINT*>(&R), 2);
  return Rect(R.left, R.top, R.right, R.bottom);
}

}  // namespace

TEST(Alignment, TopBottomLeftRightClientShareTheClientArea) {
  auto F = MakeForm();
  ASSERT_EQ(F->ClientWidth(), 400);
  ASSERT_EQ(F->ClientHeight(), 300);
  // Created in an order different from the alignment order.
  TBox* Client = AddBox(F.get(), alClient, 0, 0, 10, 10);
  TBox* Right = AddBox(F.get(), alRight, 0, 0, 50, 10);
  TBox* Left = AddBox(F.get(), alLeft, 0, 0, 40, 10);
  TBox* Bottom = AddBox(F.get(), alBottom, 0, 0, 10, 30);
  TBox* Top = AddBox(F.get(), alTop, 0, 0, 10, 20);
  uitest::Pump();

  EXPECT_EQ(Top->BoundsRect(), Bounds(0, 0, 400, 20));
  EXPECT_EQ(Bottom->BoundsRect(), Bounds(0, 270, 400, 30));
  EXPECT_EQ(Left->BoundsRect(), Bounds(0, 20, 40, 250));
  EXPECT_EQ(Right->BoundsRect(), Bounds(350, 20, 50, 250));
  EXPECT_EQ(Client->BoundsRect(), Bounds(40, 20, 310, 250));
  // The windows themselves agree.
  EXPECT_EQ(WindowBounds(Client), Client->BoundsRect());
  EXPECT_EQ(WindowBounds(Right), Right->BoundsRect());

  // Resizing the form lays the children out again.
  F->SetClientSize(500, 200);
  uitest::Pump();
  EXPECT_EQ(Bottom->BoundsRect(), Bounds(0, 170, 500, 30));
  EXPECT_EQ(Right->BoundsRect(), Bounds(450, 20, 50, 150));
  EXPECT_EQ(Client->BoundsRect(), Bounds(40, 20, 410, 150));
}

TEST(Alignment, TwoRightAlignedControlsKeepTheirStoredOrder) {
  // As a stored description has them: a 1-pixel splitter left of a 140-pixel list.
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(0, 0, 800, 500);
  F->BeginLoading();
  F->SetClientSize(788, 441);
  TBox* Splitter = AddBox(F.get(), alRight, 647, 0, 1, 441);
  TBox* List = AddBox(F.get(), alRight, 648, 0, 140, 441);
  TBox* Browser = AddBox(F.get(), alClient, 0, 0, 647, 441);
  F->EndLoading();
  EXPECT_EQ(List->BoundsRect(), Bounds(648, 0, 140, 441));
  EXPECT_EQ(Splitter->BoundsRect(), Bounds(647, 0, 1, 441));
  EXPECT_EQ(Browser->BoundsRect(), Bounds(0, 0, 647, 441));

  F->Show();
  uitest::Pump();
  EXPECT_EQ(WindowBounds(List), Bounds(648, 0, 140, 441));
  EXPECT_EQ(WindowBounds(Splitter), Bounds(647, 0, 1, 441));

  // Made one after the other at run time, the newer right-aligned control goes left of the older.
  auto G = MakeForm();
  TBox* First = AddBox(G.get(), alRight, 0, 0, 1, 10);
  TBox* Second = AddBox(G.get(), alRight, 0, 0, 140, 10);
  EXPECT_EQ(First->Left(), 399);
  EXPECT_EQ(Second->Left(), 259);
}

TEST(Alignment, HiddenControlsTakeNoSpace) {
  auto F = MakeForm();
  TBox* Top = AddBox(F.get(), alTop, 0, 0, 10, 25);
  TBox* Client = AddBox(F.get(), alClient, 0, 0, 10, 10);
  EXPECT_EQ(Client->Top(), 25);
  Top->Hide();
  uitest::Pump();
  EXPECT_EQ(Client->BoundsRect(), Bounds(0, 0, 400, 300));
  EXPECT_FALSE(IsWindowVisible(Top->Handle()));
  Top->Show();
  uitest::Pump();
  EXPECT_EQ(Client->BoundsRect(), Bounds(0, 25, 400, 275));
  EXPECT_TRUE(IsWindowVisible(Top->Handle()));

  // Changing the size of an aligned control moves its neighbours.
  Top->SetHeight(40);
  EXPECT_EQ(Client->BoundsRect(), Bounds(0, 40, 400, 260));
  // Taking it off the parent frees its space.
  Top->SetParent(nullptr);
  EXPECT_EQ(Client->BoundsRect(), Bounds(0, 0, 400, 300));
  delete Top;
}

TEST(Alignment, StackedTopControlsFollowTheirPositions) {
  auto F = MakeForm();
  TBox* A = AddBox(F.get(), alTop, 0, 0, 10, 10);
  // At the same place, the control being aligned goes first (nearest the edge).
  TBox* B = AddBox(F.get(), alTop, 0, 0, 10, 20);
  EXPECT_EQ(B->Top(), 0);
  EXPECT_EQ(A->Top(), 20);
  // Moving B below A reorders them.
  B->SetTop(100);
  EXPECT_EQ(A->Top(), 0);
  EXPECT_EQ(B->Top(), 10);
  // A control placed below the others when it gets its alignment goes last.
  TBox* C = AddBox(F.get(), alTop, 0, 500, 10, 5);
  EXPECT_EQ(C->Top(), 30);
}

TEST(Anchors, KeepDistancesWhenTheParentResizes) {
  auto F = MakeForm();
  TBox* RightOnly = AddBox(F.get(), alNone, 300, 10, 80, 20);
  RightOnly->SetAnchors({akRight, akTop});
  TBox* Stretch = AddBox(F.get(), alNone, 10, 50, 380, 20);
  Stretch->SetAnchors({akLeft, akRight, akTop});
  TBox* Corner = AddBox(F.get(), alNone, 350, 250, 40, 40);
  Corner->SetAnchors({akRight, akBottom});
  TBox* Tall = AddBox(F.get(), alNone, 10, 100, 20, 150);
  Tall->SetAnchors({akLeft, akTop, akBottom});
  TBox* Centred = AddBox(F.get(), alNone, 180, 10, 40, 20);
  Centred->SetAnchors({akTop});
  TBox* Plain = AddBox(F.get(), alNone, 5, 5, 10, 10);

  F->SetClientSize(500, 400);
  uitest::Pump();
  EXPECT_EQ(RightOnly->BoundsRect(), Bounds(400, 10, 80, 20));
  EXPECT_EQ(Stretch->BoundsRect(), Bounds(10, 50, 480, 20));
  EXPECT_EQ(Corner->BoundsRect(), Bounds(450, 350, 40, 40));
  EXPECT_EQ(Tall->BoundsRect(), Bounds(10, 100, 20, 250));
  EXPECT_EQ(Centred->BoundsRect(), Bounds(230, 10, 40, 20));
  EXPECT_EQ(Plain->BoundsRect(), Bounds(5, 5, 10, 10));

  // Back to the first size: no drift.
  F->SetClientSize(400, 300);
  uitest::Pump();
  EXPECT_EQ(RightOnly->BoundsRect(), Bounds(300, 10, 80, 20));
  EXPECT_EQ(Stretch->BoundsRect(), Bounds(10, 50, 380, 20));
  EXPECT_EQ(Corner->BoundsRect(), Bounds(350, 250, 40, 40));

  // Moving an anchored control by hand makes its new place the rule.
  RightOnly->SetLeft(200);
  F->SetClientSize(450, 300);
  uitest::Pump();
  EXPECT_EQ(RightOnly->Left(), 250);
}

TEST(Alignment, WorksWithoutWindows) {
  // A form without a window: the client area comes from the frame of its border style.
  TForm F(nullptr);
  F.SetBorderStyle(bsNone);
  F.SetBounds(0, 0, 200, 100);
  EXPECT_EQ(F.ClientRect(), Rect(0, 0, 200, 100));
  TBox* L = AddBox(&F, alLeft, 0, 0, 30, 5);
  TBox* C = AddBox(&F, alClient, 0, 0, 5, 5);
  EXPECT_FALSE(F.HandleAllocated());
  EXPECT_FALSE(C->HandleAllocated());
  EXPECT_EQ(L->BoundsRect(), Bounds(0, 0, 30, 100));
  EXPECT_EQ(C->BoundsRect(), Bounds(30, 0, 170, 100));
  F.SetWidth(300);
  EXPECT_EQ(C->BoundsRect(), Bounds(30, 0, 270, 100));
}
