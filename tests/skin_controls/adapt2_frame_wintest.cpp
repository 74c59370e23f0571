// The frame adapter on the framework's scrolling container: painting from the skin, skin
// commands, skin removal and giving the container back.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "skin/controls/acMoreAdapters.h"
#include "skin/controls/acScrollBars.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin_forms/adapt2_support.h"

using namespace adapt2;

namespace {

struct Adapt2Frame : ::testing::Test {
  std::unique_ptr<TsSkinManager> M = LoadProgramSkin();
  TTestForm F;
  // A frame on Parent at Bounds with its adapter A (owned by the frame), hidden and shown again:
  // the adapter gives the shown frame its skinned scroll bars.
  TScrollingWinControl* MakeFrame(TWinControl* Parent, TsFrameAdapter*& A,
                                  const TRect& Bounds = TRect(10, 10, 110, 90)) {
    auto* Fr = new TScrollingWinControl(Parent);
    Fr->SetParent(Parent);
    Fr->SetBounds(Bounds.Left, Bounds.Top, Bounds.Width(), Bounds.Height());
    A = new TsFrameAdapter(Fr);
    Fr->SetVisible(false);
    Fr->SetVisible(true);
    uitest::Pump();
    EXPECT_EQ(AskControl(Fr, AC_ISSKINNED), 1);
    EXPECT_NE(A->ScrollAdapter(), nullptr);
    return Fr;
  }
};

}  // namespace

TEST_F(Adapt2Frame, PaintsTheSkinsFrameAndGivesTheContainerBack) {
  auto* Host = new TPanel(F.Form);
  Host->SetParent(F.Form);
  Host->SetBounds(0, 0, 400, 280);
  F.Show();
  TsCommonData HD(Host, 0, true);
  auto* HA = TacMainWnd::Create<TacPanelWnd>(Host->Handle(), &HD, M.get(), "PANEL_LOW");
  auto* Fr = new TScrollingWinControl(F.Form);
  Fr->SetParent(Host);
  Fr->SetBounds(20, 20, 200, 120);
  Fr->HandleNeeded();
  EXPECT_TRUE(acIsFrame(Fr));
  EXPECT_FALSE(acIsFrame(F.Form));
  auto* A = new TsFrameAdapter(Fr);
  EXPECT_EQ(A->Frame, Fr);
  EXPECT_EQ(A->SkinData()->SkinSection(), "GROUPBOX");
  EXPECT_EQ(AskControl(Fr, AC_ISSKINNED), 1);
  RedrawWindow(Host->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  const uitest::TCapture C(Fr->Handle());
  C.MaybeSave("adapt2_frame");
  // GROUPBOX: transparent over the panel, with its border image along the edge.
  EXPECT_TRUE(Near(C.Pixel(100, 60), PanelLowColor, 2)) << std::hex << C.Pixel(100, 60);
  EXPECT_GT(C.CountOther(TRect(0, 0, 200, 3), PanelLowColor), 50);
  // The frame answers for its section's font colours and hands its children the background.
  EXPECT_EQ(SendSkinCommandToControl(Fr, AC_GETSECTION), A->SkinData()->SectionIndex + 1);

  // Skin removal: the container is told, the scroll adapter gone.
  SendMessageW(Fr->Handle(), SM_ALPHACMD, MAKEWPARAM(0, AC_SKINREMOVED), reinterpret_cast<LPARAM>(M.get()));
  EXPECT_EQ(A->ScrollAdapter(), nullptr);
  delete A;
  EXPECT_EQ(AskControl(Fr, AC_ISSKINNED), 0);
  delete HA;
}

TEST_F(Adapt2Frame, AnOwnerThatIsNoFrameGetsAnErrorBoxAndNothingHooked) {
  WideString Shown;
  auto Saved = Application->MessageBoxProc;
  Application->MessageBoxProc = [&](HWND, const WideString& Text, const WideString&, UINT) {
    Shown = Text;
    return IDOK;
  };
  auto* P = new TPanel(F.Form);
  P->SetParent(F.Form);
  F.Show();
  auto* A = new TsFrameAdapter(P);
  Application->MessageBoxProc = Saved;
  EXPECT_EQ(Shown, L"TsFrameAdapter adapter must be placed on the handled frame");
  EXPECT_EQ(A->Frame, nullptr);
  EXPECT_EQ(AskControl(P, AC_ISSKINNED), 0);
  delete A;
}

TEST_F(Adapt2Frame, FreedWithItsFrame) {
  auto* Fr = new TScrollingWinControl(F.Form);
  Fr->SetParent(F.Form);
  Fr->SetBounds(10, 10, 100, 80);
  F.Show();
  new TsFrameAdapter(Fr);  // owned by the frame
  EXPECT_EQ(Fr->ComponentCount(), 1);
  delete Fr;  // no crash: the adapter goes with its frame
  uitest::Pump();
}

// Every order in which a program lets go of a frame, its adapter, the form and the manager. A
// message that reaches a freed adapter (WM_DESTROY, WM_NCDESTROY and WM_PARENTNOTIFY run through
// the frame's chain after the frame freed its components) fails the test through the freed-memory
// guard; each order runs three times.
TEST_F(Adapt2Frame, FreedInEveryOrderWithoutTouchingAFreedAdapter) {
  F.Show();
  const int Windows = uitest::CountThreadWindows();
  for (int Round = 0; Round < 3; ++Round) {
    TsFrameAdapter* A = nullptr;
    // The frame goes, and its adapter with it.
    delete MakeFrame(F.Form, A);
    uitest::Pump();
    // The adapter goes first; the frame is given back and carries on.
    TScrollingWinControl* Fr = MakeFrame(F.Form, A);
    delete A;
    EXPECT_EQ(AskControl(Fr, AC_ISSKINNED), 0);
    EXPECT_EQ(Fr->ComponentCount(), 0);
    RedrawWindow(Fr->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
    delete Fr;
    // The frame's window is made anew, then the frame goes.
    Fr = MakeFrame(F.Form, A);
    Fr->RecreateWnd();
    Fr->HandleNeeded();
    uitest::Pump();
    EXPECT_EQ(AskControl(Fr, AC_ISSKINNED), 1);
    delete Fr;
    // The manager goes first, then the frame.
    Fr = MakeFrame(F.Form, A);
    M.reset();
    uitest::Pump();
    delete Fr;
    M = LoadProgramSkin();
    // A form of its own goes with the frame on it.
    auto* Form = new TForm(nullptr);
    Form->SetBounds(100, 100, 200, 160);
    uitest::ShowSettled(Form);
    MakeFrame(Form, A);
    delete Form;
    uitest::Pump();
  }
  EXPECT_EQ(uitest::CountThreadWindows(), Windows);
}

// The program moves or resizes a child of a skinned frame, or scrolls the frame itself: its bars
// take the new range or position as the skinned bars at once, as a repaint of the frame shows them.
TEST_F(Adapt2Frame, ProgramChangesOfTheScrollRangeLeaveTheSkinnedBars) {
  const struct {
    const char* Name;
    void (*Change)(TScrollingWinControl* Frame, TControl* Child);
    unsigned Paints;  // of the vertical bar
  } Rows[] = {
      {"child moved", [](TScrollingWinControl*, TControl* C) { C->SetBounds(C->Left() + 60, C->Top() + 90, 300, 250); }, 1},
      {"child moved back", [](TScrollingWinControl*, TControl* C) { C->SetBounds(C->Left() - 5, C->Top() - 40, 300, 250); }, 1},
      {"child made smaller", [](TScrollingWinControl*, TControl* C) { C->SetBounds(C->Left(), C->Top(), 250, 180); }, 1},
      {"position set", [](TScrollingWinControl* Fr, TControl*) { Fr->VertScrollBar()->SetPosition(40); }, 1},
      // Both positions change.
      {"child scrolled into view", [](TScrollingWinControl* Fr, TControl* C) { Fr->ScrollInView(C); }, 2},
  };
  F.Show();
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    TsFrameAdapter* A = nullptr;
    TScrollingWinControl* Fr = MakeFrame(F.Form, A, TRect(20, 20, 220, 170));
    auto* Child = new TPanel(Fr);
    Child->SetParent(Fr);
    Child->SetBounds(10, 10, 300, 250);
    uitest::Settle(F.Form->Handle());
    ASSERT_NE(A->ScrollAdapter(), nullptr);
    TacScrollWnd* S = A->ScrollAdapter();
    ASSERT_TRUE(S->VertBar->Visible && S->HorzBar->Visible);
    const HWND W = Fr->Handle();
    auto Repaint = [W] {
      RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      uitest::Settle(W);
    };
    Repaint();
    // At once, before the window handles any message.
    S->VertBar->Paints = 0;
    Row.Change(Fr, Child);
    // Each change of the range or of a position paints the bar once.
    EXPECT_EQ(S->VertBar->Paints, Row.Paints);
    const uitest::TCapture Shown = uitest::WindowPainted(W);
    Repaint();
    const uitest::TCapture Repainted = uitest::WindowPainted(W);
    RECT WR{};
    GetWindowRect(W, &WR);
    for (int Kind : {SB_HORZ, SB_VERT}) {
      SCOPED_TRACE(Kind == SB_VERT ? "vertical bar" : "horizontal bar");
      TRect Bar;
      GetBarRect(S, Kind, W, Bar);
      Bar.Offset(-WR.left, -WR.top);
      EXPECT_TRUE(uitest::TCapture::SamePixels(Shown, Bar, Repainted, Bar));
      for (int Sys : {COLOR_SCROLLBAR, COLOR_BTNFACE}) EXPECT_EQ(Shown.Count(Bar, GetSysColor(Sys)), 0);
    }
    delete Fr;
    uitest::Pump();
  }
}
