// Real mouse input on forms and dialogs with extended borders, where the border window takes the
// presses in its owner's place: dragging the title moves the window and dragging a frame edge
// sizes it, and every caption button answers its own code (the Help button of a sizeable form and
// the user buttons after it, the Help and minimize buttons of a dialog), with and without the
// border window.
#include <vector>

#include <gtest/gtest.h>

#include "skin/forms/sSkinProviderWndProc.h"
#include "skin_forms/extform_support.h"
#include "support/FreedMemoryGuard.h"

using extform::TExtDialog;
using extform::TExtForm;

namespace {

RECT WindowRectOf(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  return R;
}

// The screen point of a point of the form's image: the border window shows the image at its
// origin, a form without one is its own image.
POINT ImageToScreen(const TExtForm& F, int X, int Y) {
  if (F.Provider->BorderForm != nullptr) return extform::OnBorder(F.BorderWnd(), X, Y);
  const RECT R = WindowRectOf(F.Form->Handle());
  return POINT{R.left + X, R.top + Y};
}

POINT CentreOf(const TExtForm& F, const TRect& R) {
  return ImageToScreen(F, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
}

// What a person at the form's caption is told is there.
int HitAt(const TExtForm& F, POINT S) {
  if (F.Provider->BorderForm != nullptr) return extform::BorderHitAt(F.Provider->BorderForm, S);
  return static_cast<int>(
      SendMessageW(F.Form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(S.x), static_cast<short>(S.y))));
}

// The system commands a test dialog received.
std::vector<WPARAM> GDialogCommands;

INT_PTR CALLBACK RecordingDlgProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_SYSCOMMAND) GDialogCommands.push_back(WParam & 0xFFF0);
  return dlgtest::TestDlgProc(Wnd, Msg, WParam, LParam);
}

// A sizeable dialog with every caption button: close, maximize, minimize and Help.
HWND ButtonsDialog() {
  dlgtest::TTemplate T(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_THICKFRAME | WS_MINIMIZEBOX |
                           WS_MAXIMIZEBOX,
                       220, 110, L"Every button", WS_EX_CONTEXTHELP);
  T.Add({0x80, L"", BS_PUSHBUTTON, 150, 80, 50, 14, IDOK, L"OK"});
  GDialogCommands.clear();
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), T.Get(), nullptr, RecordingDlgProc, 0);
}

bool Received(WPARAM Command) {
  for (WPARAM C : GDialogCommands)
    if (C == Command) return true;
  return false;
}

}  // namespace

TEST(extinput_Form, DraggingTheTitleMovesTheFormAndDraggingAnEdgeSizesIt) {
  memguard::TFaultCount Faults;
  TExtForm F(0);
  ASSERT_NE(F.Provider->BorderForm, nullptr);
  HWND H = F.Form->Handle();
  const TRect E = F.Provider->ExtBorderMargins();
  const RECT BR = F.BorderRect();
  const POINT Title = extform::OnBorder(F.BorderWnd(), (BR.right - BR.left) / 2 - 30, E.Top + 8);
  ASSERT_EQ(extform::BorderHitAt(F.Provider->BorderForm, Title), HTCAPTION);
  const RECT Before = WindowRectOf(H);
  ASSERT_TRUE(extform::Drag(H, Title, POINT{Title.x + 40, Title.y + 24}));
  const RECT Moved = WindowRectOf(H);
  EXPECT_EQ(Moved.left - Before.left, 40) << "the title drags the form";
  EXPECT_EQ(Moved.top - Before.top, 24);
  EXPECT_EQ(Moved.right - Moved.left, Before.right - Before.left);
  // The border window went with it.
  const RECT BR2 = F.BorderRect();
  EXPECT_EQ(BR2.left - BR.left, 40);

  // The right edge of the skinned frame, half-way down.
  const POINT Edge = extform::OnBorder(F.BorderWnd(), (BR2.right - BR2.left) - E.Right - 1, (BR2.bottom - BR2.top) / 2);
  ASSERT_EQ(extform::BorderHitAt(F.Provider->BorderForm, Edge), HTRIGHT);
  ASSERT_TRUE(extform::Drag(H, Edge, POINT{Edge.x + 50, Edge.y}));
  const RECT Sized = WindowRectOf(H);
  EXPECT_EQ(Sized.left, Moved.left);
  EXPECT_EQ((Sized.right - Sized.left) - (Moved.right - Moved.left), 50) << "the edge sizes the form";
  EXPECT_EQ(Sized.bottom - Sized.top, Moved.bottom - Moved.top);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(extinput_Form, HelpAndUserButtonsAnswerTheirOwnCodesWithAndWithoutTheBorderWindow) {
  for (bool Extended : {true, false}) {
    SCOPED_TRACE(Extended ? "extended borders" : "system frame");
    memguard::TFaultCount Faults;
    std::vector<int> Released;
    TExtForm F(0, [&](TForm* Form, TsSkinProvider* P) {
      P->SkinData()->SkinManager()->SetExtendedBorders(Extended);
      // A sizeable form with Help beside maximize and minimize, and three user buttons of which
      // the middle one is hidden.
      Form->SetBorderIcons(TSet<TBorderIcon>{biSystemMenu, biMinimize, biMaximize, biHelp});
      for (int I = 0; I < 3; ++I) {
        TsTitleButton* B = P->TitleButtons()->Add();
        B->SetVisible(I != 1);
        B->OnMouseUp = [&Released, I](TObject*, TMouseButton, TShiftState, int, int) { Released.push_back(I); };
      }
    });
    ASSERT_EQ(F.Provider->BorderForm != nullptr, Extended);
    HWND H = F.Form->Handle();
    ASSERT_FALSE(F.Provider->ButtonHelp.Rect.IsEmpty());
    EXPECT_EQ(HitAt(F, CentreOf(F, F.Provider->ButtonHelp.Rect)), HTHELP);
    EXPECT_EQ(HitAt(F, CentreOf(F, F.Provider->ButtonMin.Rect)), HTMINBUTTON);
    const TRect U0 = F.Provider->TitleButtons()->Items(0)->BtnData.Rect;
    const TRect U2 = F.Provider->TitleButtons()->Items(2)->BtnData.Rect;
    ASSERT_FALSE(U0.IsEmpty());
    ASSERT_FALSE(U2.IsEmpty());
    EXPECT_EQ(HitAt(F, CentreOf(F, U0)), HTUSERBUTTON + 0);
    EXPECT_EQ(HitAt(F, CentreOf(F, U2)), HTUSERBUTTON + 2);
    // Real clicks reach the buttons under the pointer.
    ASSERT_TRUE(realinput::ClickSeen(H, CentreOf(F, U2)));
    ASSERT_TRUE(realinput::ClickSeen(H, CentreOf(F, U0)));
    EXPECT_EQ(Released, (std::vector<int>{2, 0}));
    EXPECT_EQ(Faults.Count(), 0);
  }
}

TEST(extinput_Dialog, DraggingTheTitleMovesTheDialogAndDraggingAnEdgeSizesIt) {
  memguard::TFaultCount Faults;
  TExtDialog D(0, ButtonsDialog);
  ASSERT_NE(D.Adapter, nullptr);
  ASSERT_NE(D.Adapter->BorderForm, nullptr);
  const TRect E = D.Adapter->ExtMargins();
  const RECT BR = D.BorderRect();
  const POINT Title = extform::OnBorder(D.BorderWnd(), (BR.right - BR.left) / 2 - 40, E.Top + 8);
  ASSERT_EQ(extform::BorderHitAt(D.Adapter->BorderForm, Title), HTCAPTION);
  const RECT Before = WindowRectOf(D.Wnd);
  ASSERT_TRUE(extform::Drag(D.Wnd, Title, POINT{Title.x - 30, Title.y + 20}));
  const RECT Moved = WindowRectOf(D.Wnd);
  EXPECT_EQ(Moved.left - Before.left, -30) << "the title drags the dialog";
  EXPECT_EQ(Moved.top - Before.top, 20);
  const RECT BR2 = D.BorderRect();
  const POINT Edge = extform::OnBorder(D.BorderWnd(), (BR2.right - BR2.left) / 2, (BR2.bottom - BR2.top) - E.Bottom - 1);
  ASSERT_EQ(extform::BorderHitAt(D.Adapter->BorderForm, Edge), HTBOTTOM);
  ASSERT_TRUE(extform::Drag(D.Wnd, Edge, POINT{Edge.x, Edge.y + 30}));
  const RECT Sized = WindowRectOf(D.Wnd);
  EXPECT_EQ((Sized.bottom - Sized.top) - (Moved.bottom - Moved.top), 30) << "the edge sizes the dialog";
  EXPECT_EQ(Sized.right - Sized.left, Moved.right - Moved.left);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(extinput_Dialog, EveryPaintedCaptionButtonAnswersAndWorks) {
  memguard::TFaultCount Faults;
  TExtDialog D(0, ButtonsDialog);
  ASSERT_NE(D.Adapter, nullptr);
  TacBorderForm* B = D.Adapter->BorderForm;
  ASSERT_NE(B, nullptr);
  HWND BW = D.BorderWnd();
  for (const TsCaptionButton* Button : {&D.Adapter->ButtonClose, &D.Adapter->ButtonMax, &D.Adapter->ButtonMin,
                                        &D.Adapter->ButtonHelp})
    ASSERT_FALSE(Button->Rect.IsEmpty());
  EXPECT_EQ(extform::BorderHitAt(B, extform::ButtonOnBorder(BW, D.Adapter->ButtonClose.Rect)), HTCLOSE);
  EXPECT_EQ(extform::BorderHitAt(B, extform::ButtonOnBorder(BW, D.Adapter->ButtonMax.Rect)), HTMAXBUTTON);
  EXPECT_EQ(extform::BorderHitAt(B, extform::ButtonOnBorder(BW, D.Adapter->ButtonMin.Rect)), HTMINBUTTON);
  EXPECT_EQ(extform::BorderHitAt(B, extform::ButtonOnBorder(BW, D.Adapter->ButtonHelp.Rect)), HTHELP);
  // Help asks for context help; minimize minimizes.
  ASSERT_TRUE(realinput::ClickSeen(D.Wnd, extform::ButtonOnBorder(BW, D.Adapter->ButtonHelp.Rect)));
  EXPECT_TRUE(Received(SC_CONTEXTHELP));
  EXPECT_FALSE(IsIconic(D.Wnd));
  ASSERT_TRUE(realinput::ClickSeen(D.Wnd, extform::ButtonOnBorder(BW, D.Adapter->ButtonMin.Rect)));
  EXPECT_TRUE(uitest::WaitFor([&] { return IsIconic(D.Wnd) != FALSE; }, 1000)) << "the minimize button minimizes";
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(extinput_Dialog, ADoubleClickOnTheTitleOfAMaximisableDialogMaximisesIt) {
  extform::OnEachDialogFrame(ButtonsDialog, [](TExtDialog& D, bool) {
    // The title bar, left of the middle: beside the caption text, away from the icon and buttons.
    const TRect Icon = D.Adapter->IconRect();
    const int ImageWidth = D.Adapter->SkinData->CacheBmp()->Width();
    const POINT Title = D.ImageToScreen(ImageWidth / 2 - 30, (Icon.Top + Icon.Bottom) / 2);
    ASSERT_TRUE(realinput::BringToFront(D.Wnd));
    ASSERT_TRUE(realinput::MovePointerSeen(Title));
    const INPUT Down = realinput::ButtonAt(Title, MOUSEEVENTF_LEFTDOWN);
    const INPUT Up = realinput::ButtonAt(Title, MOUSEEVENTF_LEFTUP);
    realinput::SendButtons({Down, Up, Down, Up});
    EXPECT_TRUE(uitest::WaitFor([&] { return IsZoomed(D.Wnd) != FALSE; }, 1500));
  });
}
