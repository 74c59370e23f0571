// Frames on skinned forms: the wheel turned over a frame that does not hold the focus reaches the
// frame, and a frame left hot when the pointer came back to the form is told that it left.
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/core/sCommonData.h"
#include "skin_forms/provc_support.h"

using namespace provbtest;
using namespace provctest;

namespace {

// A frame (the framework's scrolling container) on a parent, counting the wheel it takes.
struct TWheelFrame {
  TScrollingWinControl* Frame;
  int Wheels = 0;
  int LastDelta = 0;
  TWheelFrame(TWinControl* Parent, const TRect& R, bool TakesWheel) {
    Frame = new TScrollingWinControl(Parent);
    Frame->SetParent(Parent);
    Frame->SetBounds(R.Left, R.Top, R.Width(), R.Height());
    if (TakesWheel)
      Frame->OnMouseWheel = [this](TObject*, TShiftState, int Delta, TPoint, bool& Handled) {
        ++Wheels;
        LastDelta = Delta;
        Handled = true;
      };
  }
};

// Turns the wheel one notch towards the user with the pointer at Screen: the message goes to the
// window with the focus, as the system sends it. Returns its result.
LRESULT WheelAt(HWND Focus, POINT Screen) {
  SetCursorPos(Screen.x, Screen.y);
  return SendMessageW(Focus, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                      MAKELPARAM(static_cast<short>(Screen.x), static_cast<short>(Screen.y)));
}

POINT CentreOf(TControl* C) {
  const TPoint P = C->ClientToScreen(Point(C->Width() / 2, C->Height() / 2));
  return POINT{P.X, P.Y};
}

}  // namespace

TEST(provc_Frames, TheWheelOverAFrameReachesItWhileAnotherControlHasTheFocus) {
  memguard::TFaultCount Faults;
  TSkinnedForm F(false);
  auto* Edit = new TEdit(F.Form);
  Edit->SetParent(F.Form);
  Edit->SetBounds(10, 10, 120, 24);
  TWheelFrame Direct(F.Form, TRect{10, 50, 190, 150}, true);
  // A frame inside a panel is found too.
  auto* Panel = new TPanel(F.Form);
  Panel->SetParent(F.Form);
  Panel->SetBounds(200, 50, 180, 150);
  TWheelFrame Nested(Panel, TRect{10, 10, 160, 130}, true);
  F.ShowNow();
  Edit->SetFocus();
  uitest::Pump();
  ASSERT_EQ(GetFocus(), Edit->Handle());

  WheelAt(Edit->Handle(), CentreOf(Direct.Frame));
  EXPECT_EQ(Direct.Wheels, 1);
  EXPECT_EQ(Direct.LastDelta, -WHEEL_DELTA);
  EXPECT_EQ(Nested.Wheels, 0);
  WheelAt(Edit->Handle(), CentreOf(Nested.Frame));
  EXPECT_EQ(Nested.Wheels, 1);
  EXPECT_EQ(Direct.Wheels, 1);
  // Over the bare form nothing is routed.
  WheelAt(Edit->Handle(), CentreOf(Edit));
  EXPECT_EQ(Direct.Wheels + Nested.Wheels, 2);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_Frames, AFrameThatDoesNotTakeTheWheelIsLeftAlone) {
  memguard::TFaultCount Faults;
  TSkinnedForm F(false);
  auto* Edit = new TEdit(F.Form);
  Edit->SetParent(F.Form);
  Edit->SetBounds(10, 10, 120, 24);
  TWheelFrame Quiet(F.Form, TRect{10, 50, 190, 150}, false);
  int FormWheels = 0;
  F.Form->OnMouseWheel = [&FormWheels](TObject*, TShiftState, int, TPoint, bool&) { ++FormWheels; };
  F.ShowNow();
  Edit->SetFocus();
  uitest::Pump();
  WheelAt(Edit->Handle(), CentreOf(Quiet.Frame));
  EXPECT_EQ(FormWheels, 1) << "the form had its own turn first";
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_Frames, AHotFrameIsToldItWasLeftWhenThePointerEntersTheForm) {
  memguard::TFaultCount Faults;
  int LeavesA = 0, LeavesB = 0;  // outlive the form, whose frames count into them
  TSkinnedForm F(false);
  TWheelFrame A(F.Form, TRect{10, 10, 190, 140}, false);
  TWheelFrame B(F.Form, TRect{200, 10, 390, 140}, false);
  auto* AdapterA = new TsFrameAdapter(A.Frame);
  auto* AdapterB = new TsFrameAdapter(B.Frame);
  F.ShowNow();
  for (auto [Frame, Count] : {std::pair{A.Frame, &LeavesA}, std::pair{B.Frame, &LeavesB}}) {
    TWndMethod Old = Frame->WindowProc();
    Frame->SetWindowProc([Old, Count](TMessage& M) {
      if (M.Msg == CM_MOUSELEAVE) ++*Count;
      Old(M);
    });
  }
  // A still thinks the pointer is over it; B does not.
  AdapterA->SkinData()->MouseOver = true;
  AdapterB->SkinData()->MouseOver = false;
  ASSERT_TRUE(AdapterA->SkinData()->GetHotState());
  F.Form->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(F.Form));
  EXPECT_EQ(LeavesA, 1);
  EXPECT_EQ(LeavesB, 0);
  // The control entered is not told to leave.
  AdapterA->SkinData()->MouseOver = true;
  F.Form->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(A.Frame));
  EXPECT_EQ(LeavesA, 1);
  EXPECT_EQ(Faults.Count(), 0);
}
