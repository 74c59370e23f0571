// The scroll control on a real window: the bar model, the scroll messages with their limits and
// the scroll events.
#include <gtest/gtest.h>

#include <vector>

#include "support/GridTestHelpers.h"

using namespace gridtest;

namespace {

struct ScrollFixture : ::testing::Test {
  TForm* Form = nullptr;
  TNxScrollControl* Control = nullptr;
  std::vector<int> Positions;

  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(100, 100, 300, 200);
    Control = new TNxScrollControl(Form);
    Control->SetBounds(10, 10, 200, 150);
    Control->SetParent(Form);
    Control->OnVerticalScroll = [this](TObject*, int P) { Positions.push_back(P); };
    Form->Show();
    Pump();
  }
  void TearDown() override {
    delete Form;
    Pump();
  }
  void Scroll(int Code) { SendMessageW(Control->Handle(), WM_VSCROLL, static_cast<WPARAM>(Code), 0); }
  TNxScrollBar* Bar() { return Control->VertScrollBar(); }
};

}  // namespace

TEST_F(ScrollFixture, ScrollRequestsStayInsideTheRange) {
  Bar()->SetMax(100);
  Bar()->SetPageSize(10);
  Scroll(SB_BOTTOM);
  EXPECT_EQ(Bar()->Position(), 91);
  Scroll(SB_LINEDOWN);
  EXPECT_EQ(Bar()->Position(), 91);
  Scroll(SB_TOP);
  EXPECT_EQ(Bar()->Position(), 0);
  Scroll(SB_LINEUP);
  EXPECT_EQ(Bar()->Position(), 0);
  Bar()->SetLargeChange(10);
  Scroll(SB_PAGEDOWN);
  EXPECT_EQ(Bar()->Position(), 10);
  EXPECT_EQ(Bar()->ScrollCode(), 2);
  Scroll(SB_ENDSCROLL);  // changes nothing
  EXPECT_EQ(Bar()->Position(), 10);
  EXPECT_TRUE(Bar()->Visible());
  // The window's own bar shows the same.
  SCROLLINFO SI{sizeof(SI), SIF_ALL};
  GetScrollInfo(Control->Handle(), SB_VERT, &SI);
  EXPECT_EQ(SI.nPos, 10);
  EXPECT_EQ(SI.nMax, 100);
  EXPECT_EQ(SI.nPage, 10u);
}

TEST_F(ScrollFixture, EachScrollMessageFiresOneEvent) {
  Bar()->SetMax(50);
  Bar()->SetPageSize(5);
  Positions.clear();
  Scroll(SB_LINEDOWN);
  Scroll(SB_LINEDOWN);
  Scroll(SB_LINEUP);
  EXPECT_EQ(Positions, (std::vector<int>{1, 2, 1}));
}

TEST_F(ScrollFixture, NegativeMaxHidesTheBar) {
  Bar()->SetMax(30);
  Bar()->SetPageSize(5);
  EXPECT_TRUE(Bar()->Visible());
  Bar()->SetMax(-5);
  EXPECT_EQ(Bar()->Max(), 0);
  EXPECT_FALSE(Bar()->Visible());
  EXPECT_EQ(GetWindowLongW(Control->Handle(), GWL_STYLE) & WS_VSCROLL, 0);
  Bar()->SetAutoHide(false);  // shown, disabled, with nothing to scroll
  EXPECT_TRUE(Bar()->Visible());
  Bar()->SetPageSize(0);
  EXPECT_EQ(Bar()->PageSize(), 1);
}

TEST_F(ScrollFixture, PositionsAreLimitedToTheRange) {
  Bar()->SetMax(20);
  Bar()->SetPageSize(2);
  Bar()->SetPosition(25);
  EXPECT_EQ(Bar()->Position(), 20);
  Bar()->SetPosition(-3);
  EXPECT_EQ(Bar()->Position(), 0);
  Bar()->SetPosition(15);
  Bar()->SetMax(10);  // pulled back with the range
  EXPECT_EQ(Bar()->Position(), 10);
  EXPECT_FALSE(Bar()->AtStart());
  EXPECT_TRUE(Bar()->AtEnd());
}

TEST_F(ScrollFixture, MiddlePressRollsAndAnyReleaseStops) {
  const int Y = 40;
  PostMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(20, Y));
  Pump();
  EXPECT_TRUE(Control->Rolling());
  PostMessageW(Control->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, Y));
  Pump();
  EXPECT_FALSE(Control->Rolling());
  Control->SetRollEnabled(false);
  PostMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(20, Y));
  Pump();
  EXPECT_FALSE(Control->Rolling());
}
