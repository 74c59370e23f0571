// Real mouse input on forms and dialogs with extended borders, where the border window takes the
// presses in its owner's place: dragging the title moves the window and dragging a frame edge or
// the size grip sizes it, every caption button answers its own code (the Help button of a sizeable
// form and the user buttons after it, the Help and minimize buttons of a dialog), and double
// clicks on a dialog's title and icon, with and without the border window.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "skin/core/sMaskData.h"
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

// The client area of W on the screen.
RECT ClientRectOnScreen(HWND W) {
  RECT R;
  GetClientRect(W, &R);
  MapWindowPoints(W, nullptr, reinterpret_cast<POINT*>(&R), 2);
  return R;
}

// Where the skin's grip image shows on the screen near the bottom-right corner of the client area
// Client (screen coordinates): the place where every opaque pixel of the image is seen; empty when
// it shows nowhere there.
TRect GripOnScreen(TsSkinManager* M, const RECT& Client) {
  const TsMaskData* Mask =
      TsSkinManager::ValidMask(M, M->GetMaskIndex(M->GetSectionIndex("GLOBALINFO"), "GLOBALINFO", "GRIPIMAGE"));
  TBitmap* Master = M->MasterBitmap();
  if (Mask == nullptr || Master == nullptr) return TRect{};
  const int GW = MaskFrameWidth(*Mask), GH = MaskFrameHeight(*Mask);
  struct TOpaque {
    int X, Y;
    COLORREF C;
  };
  std::vector<TOpaque> Opaque;
  HDC MDC = Master->Canvas()->Handle();
  for (int Y = 0; Y < GH; ++Y)
    for (int X = 0; X < GW; ++X)
      if ((GetPixel(MDC, Mask->R.Left + X, Mask->R.Top + GH + Y) & 0xFFFFFF) == 0)
        Opaque.push_back({X, Y, GetPixel(MDC, Mask->R.Left + X, Mask->R.Top + Y) & 0xFFFFFF});
  if (Opaque.empty()) return TRect{};
  const int Reach = 2 * std::max(GW, GH);
  const TRect Area{Client.right - Reach, Client.bottom - Reach, Client.right, Client.bottom};
  HDC Screen = GetDC(nullptr);
  const uitest::TCapture Shot(Screen, Area);
  ReleaseDC(nullptr, Screen);
  for (int DY = 0; DY + GH <= Reach; ++DY)
    for (int DX = 0; DX + GW <= Reach; ++DX) {
      bool All = true;
      for (std::size_t I = 0; I < Opaque.size() && All; ++I)
        All = Shot.Pixel(DX + Opaque[I].X, DY + Opaque[I].Y) == Opaque[I].C;
      if (All) return TRect{Area.Left + DX, Area.Top + DY, Area.Left + DX + GW, Area.Top + DY + GH};
    }
  return TRect{};
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

// The size grip, with the system frame and with extended borders, with and without a menu: it is
// painted whole in the client's bottom-right corner, the form is told "bottom-right corner"
// wherever it is painted and nowhere beside it, and a drag from it sizes the form.
TEST(extinput_Form, TheSizeGripAnswersWherePaintedAndADragFromItSizesTheForm) {
  struct TCase {
    const char* Name;
    bool Extended, Menu;
  };
  const TCase Cases[] = {{"system frame", false, false},
                         {"extended borders", true, false},
                         {"system frame, menu", false, true},
                         {"extended borders, menu", true, true}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    memguard::TFaultCount Faults;
    TExtForm F(0, [&C](TForm* Form, TsSkinProvider* P) {
      P->SkinData()->SkinManager()->SetExtendedBorders(C.Extended);
      P->SetGripMode(gmRightBottom);
      if (C.Menu) {
        auto* Menu = new TMainMenu(Form);
        auto* Item = new TMenuItem(Form);
        Item->SetCaption(WideString(L"File"));
        Menu->Items()->Add(Item);
        Form->SetMenu(Menu);
      }
    });
    ASSERT_EQ(F.Provider->BorderForm != nullptr, C.Extended);
    HWND H = F.Form->Handle();
    const RECT Client = ClientRectOnScreen(H);
    const TRect Grip = GripOnScreen(F.Manager.get(), Client);
    ASSERT_FALSE(Grip.IsEmpty()) << "the grip is painted in the client's bottom-right corner";
    struct TRow {
      const char* Where;
      POINT At;
      int Code;
    };
    const TRow Rows[] = {
        {"grip centre", {(Grip.Left + Grip.Right) / 2, (Grip.Top + Grip.Bottom) / 2}, HTBOTTOMRIGHT},
        {"grip's top-left pixel", {Grip.Left, Grip.Top}, HTBOTTOMRIGHT},
        {"2 px inside the client's corner", {Client.right - 3, Client.bottom - 3}, HTBOTTOMRIGHT},
        {"6 px inside the client's corner", {Client.right - 7, Client.bottom - 7}, HTBOTTOMRIGHT},
        {"left of the grip", {Grip.Left - 1, (Grip.Top + Grip.Bottom) / 2}, HTCLIENT},
        {"above the grip", {(Grip.Left + Grip.Right) / 2, Grip.Top - 1}, HTCLIENT},
        {"beyond the grip's top-left corner", {Grip.Left - 4, Grip.Top - 4}, HTCLIENT},
    };
    for (const TRow& R : Rows) {
      SCOPED_TRACE(R.Where);
      EXPECT_EQ(WindowFromPoint(R.At), H) << "the form's own window shows there";
      EXPECT_EQ(SendMessageW(H, WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(R.At.x), static_cast<short>(R.At.y))),
                R.Code);
    }
    // A drag from the grip sizes the form by the drag.
    const RECT Before = WindowRectOf(H);
    const POINT From{(Grip.Left + Grip.Right) / 2, (Grip.Top + Grip.Bottom) / 2};
    ASSERT_TRUE(extform::Drag(H, From, POINT{From.x + 40, From.y + 30}));
    const RECT After = WindowRectOf(H);
    EXPECT_EQ(After.left, Before.left);
    EXPECT_EQ(After.top, Before.top);
    EXPECT_EQ((After.right - After.left) - (Before.right - Before.left), 40);
    EXPECT_EQ((After.bottom - After.top) - (Before.bottom - Before.top), 30);
    EXPECT_TRUE(uitest::WaitFor([&] { return !GripOnScreen(F.Manager.get(), ClientRectOnScreen(H)).IsEmpty(); }))
        << "the grip goes with the corner";
    EXPECT_EQ(Faults.Count(), 0);
  }
}

// Where no grip is painted (a maximised form, or one whose grip mode is none), the client's
// bottom-right corner is client area, for the form and for the border window alike.
TEST(extinput_Form, NoGripPaintedNoGripAnswers) {
  const struct {
    const char* Name;
    bool Extended, Maximised;
    TsGripMode Mode;
  } Cases[] = {{"system frame, maximised", false, true, gmRightBottom},
               {"system frame, grip mode none", false, false, gmNone},
               {"extended borders, maximised", true, true, gmRightBottom},
               {"extended borders, grip mode none", true, false, gmNone}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    memguard::TFaultCount Faults;
    TExtForm F(0, [&C](TForm*, TsSkinProvider* P) {
      P->SkinData()->SkinManager()->SetExtendedBorders(C.Extended);
      P->SetGripMode(C.Mode);
    });
    if (C.Maximised) {
      F.Form->SetWindowState(wsMaximized);
      uitest::PumpFor(100);
      if (F.Provider->BorderForm != nullptr) F.Provider->BorderForm->UpdateBorderWindow(true, 255);
      uitest::PumpFor(50);
    }
    HWND H = F.Form->Handle();
    const RECT Client = ClientRectOnScreen(H);
    ASSERT_TRUE(GripOnScreen(F.Manager.get(), Client).IsEmpty()) << "no grip is painted";
    for (const int In : {3, 7}) {
      SCOPED_TRACE(In);
      const POINT At{Client.right - In, Client.bottom - In};
      EXPECT_EQ(SendMessageW(H, WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(At.x), static_cast<short>(At.y))),
                HTCLIENT);
      if (F.Provider->BorderForm != nullptr) {
        EXPECT_NE(extform::BorderHitAt(F.Provider->BorderForm, At), HTBOTTOMRIGHT);
      }
    }
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
  EXPECT_TRUE(uitest::WaitFor([&] { return IsIconic(D.Wnd) != FALSE; }, 10000)) << "the minimize button minimizes";
  EXPECT_EQ(Faults.Count(), 0);
}

// A real double click on the title of a maximisable dialog maximises it, and one on its icon
// closes it, with the system frame and with extended borders.
TEST(extinput_Dialog, ADoubleClickOnTheTitleMaximisesAndOnTheIconCloses) {
  for (bool OnIcon : {false, true}) {
    SCOPED_TRACE(OnIcon ? "icon" : "title");
    extform::OnEachDialogFrame(ButtonsDialog, [OnIcon](TExtDialog& D, bool) {
      // The title bar, left of the middle: beside the caption text, away from the icon and buttons.
      const TRect Icon = D.Adapter->IconRect();
      const int ImageWidth = D.Adapter->SkinData->CacheBmp()->Width();
      const POINT At = OnIcon ? D.ImageToScreen((Icon.Left + Icon.Right) / 2, (Icon.Top + Icon.Bottom) / 2)
                              : D.ImageToScreen(ImageWidth / 2 - 30, (Icon.Top + Icon.Bottom) / 2);
      ASSERT_TRUE(realinput::BringToFront(D.Wnd));
      ASSERT_TRUE(realinput::MovePointerSeen(At));
      const INPUT Down = realinput::ButtonAt(At, MOUSEEVENTF_LEFTDOWN);
      const INPUT Up = realinput::ButtonAt(At, MOUSEEVENTF_LEFTUP);
      realinput::SendButtons({Down, Up, Down, Up});
      if (OnIcon)
        EXPECT_TRUE(uitest::WaitFor([&] { return !IsWindow(D.Wnd) || !IsWindowVisible(D.Wnd); }, 10000)) << "closed";
      else
        EXPECT_TRUE(uitest::WaitFor([&] { return IsZoomed(D.Wnd) != FALSE; }, 10000)) << "maximised";
    });
  }
}
