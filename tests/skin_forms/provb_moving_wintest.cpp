// Moving, sizing and snapping of a skinned form, and the fade of its caption buttons: the
// maximized size and position, snapping to the work-area edges, the inverted-frame resize mode,
// and the end states of the fades (no timing: each test waits for the state it expects).
#include <gtest/gtest.h>

#include "skin_forms/extform_support.h"
#include "skin_forms/provb_support.h"

using provbtest::TSkinnedForm;

TEST(provb_Moving, SnapEdgeSnapsOnlyStrictlyInsideTheBuffer) {
  int X = 91;  // 9 from the edge
  SnapEdge(X, 100, 10, 0);
  EXPECT_EQ(X, 100);
  X = 81;  // 81 + 10 = 91: 9 from the edge 100
  SnapEdge(X, 100, 10, 10);
  EXPECT_EQ(X, 90);
  X = 80;  // 10 from the edge: no snap
  SnapEdge(X, 100, 10, 10);
  EXPECT_EQ(X, 80);
  X = 92;  // beyond the edge by 2
  SnapEdge(X, 100, 10, 10);
  EXPECT_EQ(X, 90);
}

TEST(provb_Moving, WhatShowsOfAMaximisedFormIsTheWorkAreaExactly) {
  // A green window over the whole screen behind the form: wherever the form leaves a gap, it shows.
  const COLORREF Green = RGB(0, 255, 0);
  extform::TBackdrop Back(TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, Green);
  TSkinnedForm F;
  HWND H = F.Handle();
  SendMessageW(H, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ASSERT_TRUE(uitest::WaitFor([&] { return IsZoomed(H) != FALSE; }));
  uitest::Settle(H);
  const TRect WA = FormWorkArea(F.Form);
  // The part of the window that shows: its region, on the screen.
  const RECT R = F.WindowRect();
  HRGN Shown = CreateRectRgn(0, 0, R.right - R.left, R.bottom - R.top);
  GetWindowRgn(H, Shown);
  OffsetRgn(Shown, R.left, R.top);
  HRGN Work = CreateRectRgn(WA.Left, WA.Top, WA.Right, WA.Bottom);
  EXPECT_TRUE(EqualRgn(Shown, Work)) << "the window shows the work area, no more and no less";
  DeleteObject(Shown);
  DeleteObject(Work);
  // And the screen: once the form has painted, the backdrop shows on no row or column of the work
  // area's edges.
  const int W = WA.Width(), Hh = WA.Height();
  auto BackdropOnTheEdges = [&] {
    HDC DC = GetDC(nullptr);
    const uitest::TCapture Shot(DC, WA);
    ReleaseDC(nullptr, DC);
    int N = 0;
    for (const TRect& Edge : {TRect{0, 0, W, 1}, TRect{0, Hh - 1, W, Hh}, TRect{0, 0, 1, Hh}, TRect{W - 1, 0, W, Hh}})
      N += Shot.Count(Edge, Green);
    return N;
  };
  EXPECT_TRUE(uitest::WaitFor([&] { return BackdropOnTheEdges() == 0; })) << BackdropOnTheEdges() << " pixels";
  uitest::SaveScreenshot(Back.Form->Handle(), "provb_maximised_form");
}

TEST(provb_Moving, ScreenSnapToTheWorkAreaEdges) {
  TSkinnedForm F;
  F.Provider->SetScreenSnap(true);
  HWND H = F.Handle();
  const TRect WA = FormWorkArea(F.Form);
  const int W = F.Form->Width(), Hh = F.Form->Height();
  auto MoveTo = [&](int X, int Y) {
    SetWindowPos(H, nullptr, X, Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return F.WindowRect();
  };
  RECT R = MoveTo(WA.Right - W - 9, 200);
  EXPECT_EQ(R.right, WA.Right) << "9 pixels from the right edge snaps";
  R = MoveTo(WA.Right - W - 10, 200);
  EXPECT_EQ(R.right, WA.Right - 10) << "10 pixels does not";
  R = MoveTo(300, WA.Bottom - Hh - 5);
  EXPECT_EQ(R.bottom, WA.Bottom);
  R = MoveTo(WA.Left + 4, WA.Top + 6);
  EXPECT_EQ(R.left, WA.Left);
  EXPECT_EQ(R.top, WA.Top);
  // Left and top win over right and bottom.
  F.Form->SetBounds(300, 300, WA.Width() - 3, 200);
  R = MoveTo(WA.Left + 2, 300);
  EXPECT_EQ(R.left, WA.Left);
  // Without ScreenSnap nothing moves by itself.
  F.Provider->SetScreenSnap(false);
  R = MoveTo(WA.Left + 4, WA.Top + 6);
  EXPECT_EQ(R.left, WA.Left + 4);
}

TEST(provb_Moving, MaximizedFormIsNeverSnapped) {
  TSkinnedForm F;
  F.Provider->SetScreenSnap(true);
  HWND H = F.Handle();
  SendMessageW(H, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ASSERT_TRUE(uitest::WaitFor([&] { return IsZoomed(H) != FALSE; }));
  WINDOWPOS WP{H, nullptr, 5, 5, 100, 100, SWP_NOZORDER};
  SendMessageW(H, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&WP));
  EXPECT_EQ(WP.x, 5);
  EXPECT_EQ(WP.y, 5);
}

TEST(provb_Moving, BorderModeSizeFromTheSystemMenuSizesByTheBottomRightCorner) {
  TSkinnedForm F;
  F.Provider->SetResizeMode(rmBorder);
  HWND H = F.Handle();
  const RECT Before = F.WindowRect();
  SendMessageW(H, WM_SYSCOMMAND, SC_SIZE, 0);
  EXPECT_TRUE(acBorderFrame.Active);
  EXPECT_TRUE(acBorderFrame.Pending);
  EXPECT_EQ(GetCapture(), H);
  EXPECT_EQ(IsZoomed(H), FALSE);
  // The first move only takes the start point; the next one sizes.
  SendMessageW(H, WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
  SendMessageW(H, WM_MOUSEMOVE, 0, MAKELPARAM(130, 120));
  EXPECT_EQ(acBorderFrame.Right, static_cast<int>(Before.right) + 30);
  EXPECT_EQ(acBorderFrame.Bottom, static_cast<int>(Before.bottom) + 20);
  const RECT During = F.WindowRect();
  EXPECT_EQ(During.right, Before.right) << "the form moves once, at the end";
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(130, 120));
  EXPECT_FALSE(acBorderFrame.Active);
  EXPECT_NE(GetCapture(), H);
  const RECT After = F.WindowRect();
  EXPECT_EQ(After.left, Before.left);
  EXPECT_EQ(After.top, Before.top);
  EXPECT_EQ(After.right - After.left, Before.right - Before.left + 30);
  EXPECT_EQ(After.bottom - After.top, Before.bottom - Before.top + 20);
}

// Border resize mode: a drag from any edge or corner moves that edge, or the two edges of that
// corner, exactly as far as the pointer went, and no other edge; the form moves once, at the
// release.
TEST(provb_Moving, BorderModeDragOfEveryEdgeAndCornerMovesJustThoseEdgesAsFarAsThePointer) {
  // Side: -1 the left (top) edge, 1 the right (bottom) edge, 0 neither.
  struct TCase {
    const char* Name;
    int Code, SideX, SideY;
  };
  const TCase Cases[] = {{"left", HTLEFT, -1, 0},           {"right", HTRIGHT, 1, 0},
                         {"top", HTTOP, 0, -1},             {"bottom", HTBOTTOM, 0, 1},
                         {"top left", HTTOPLEFT, -1, -1},   {"top right", HTTOPRIGHT, 1, -1},
                         {"bottom left", HTBOTTOMLEFT, -1, 1}, {"bottom right", HTBOTTOMRIGHT, 1, 1}};
  const int DX = 50, DY = 30;
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TSkinnedForm F;
    F.Provider->SetResizeMode(rmBorder);
    HWND H = F.Handle();
    const RECT B = F.WindowRect();
    // Inside the frame, off the corner's rounding.
    const int In = FormBorderWidth(H, nullptr, false) - 1;
    auto Along = [In](int Side, LONG Low, LONG High) {
      return Side < 0 ? Low + In : (Side > 0 ? High - 1 - In : (Low + High) / 2);
    };
    const POINT Press{Along(C.SideX, B.left, B.right), Along(C.SideY, B.top, B.bottom)};
    ASSERT_EQ(F.HitAt(Press), C.Code);
    ASSERT_TRUE(realinput::BringToFront(H));
    ASSERT_TRUE(realinput::MovePointerSeen(Press));
    realinput::SendButtons({realinput::ButtonAt(Press, MOUSEEVENTF_LEFTDOWN)});
    ASSERT_TRUE(uitest::WaitFor([] { return acBorderFrame.Active; }));
    // Two moves, the release at the second point.
    const POINT End{Press.x + DX, Press.y + DY};
    realinput::SendButtons({realinput::ButtonAt(POINT{Press.x + DX / 2, Press.y + DY / 2}, 0)});
    ASSERT_TRUE(realinput::MovePointer(End));
    realinput::SendButtons({realinput::ButtonAt(End, MOUSEEVENTF_LEFTUP)});
    ASSERT_TRUE(uitest::WaitFor([] { return !acBorderFrame.Active; }));
    const RECT A = F.WindowRect();
    EXPECT_EQ(A.left - B.left, C.SideX < 0 ? DX : 0);
    EXPECT_EQ(A.right - B.right, C.SideX > 0 ? DX : 0);
    EXPECT_EQ(A.top - B.top, C.SideY < 0 ? DY : 0);
    EXPECT_EQ(A.bottom - B.bottom, C.SideY > 0 ? DY : 0);
  }
}

TEST(provb_Moving, BorderModeSizeWithoutAMouseMoveLeavesTheForm) {
  TSkinnedForm F;
  F.Provider->SetResizeMode(rmBorder);
  HWND H = F.Handle();
  const RECT Before = F.WindowRect();
  SendMessageW(H, WM_SYSCOMMAND, SC_SIZE, 0);
  SendMessageW(H, WM_LBUTTONUP, 0, 0);
  const RECT After = F.WindowRect();
  EXPECT_TRUE(EqualRect(&Before, &After));
  EXPECT_FALSE(acBorderFrame.Active);
}

TEST(provb_Moving, BorderModeMoveFollowsTheMouse) {
  TSkinnedForm F;
  F.Provider->SetResizeMode(rmBorder);
  HWND H = F.Handle();
  const RECT Before = F.WindowRect();
  SendMessageW(H, WM_SYSCOMMAND, SC_MOVE, 0);
  ASSERT_TRUE(acBorderFrame.Active);
  const POINT Start{acBorderFrame.LastX, acBorderFrame.LastY};
  POINT C{Start.x + 40, Start.y + 25};
  ScreenToClient(H, &C);
  SendMessageW(H, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<short>(C.x), static_cast<short>(C.y)));
  SendMessageW(H, WM_LBUTTONUP, 0, 0);
  const RECT After = F.WindowRect();
  EXPECT_EQ(After.left, Before.left + 40);
  EXPECT_EQ(After.top, Before.top + 25);
  EXPECT_EQ(After.right - After.left, Before.right - Before.left);
}

// ---- caption-button fades ------------------------------------------------------------------

TEST(provb_Fade, HoverFadesInToFullAndLeavingFadesOut) {
  TSkinnedForm F;
  if (!F.Manager->AllowGlowing()) GTEST_SKIP() << "no layered windows";
  TsCaptionButton& B = F.Provider->ButtonClose;
  ASSERT_TRUE(realinput::BringToFront(F.Handle()));
  ASSERT_TRUE(provbtest::PointerTo(F.ScreenCentre(B)));
  ASSERT_TRUE(uitest::WaitFor([&] { return B.Timer != nullptr && B.Timer->Steps == -1; }));
  EXPECT_EQ(B.State, 1);
  EXPECT_EQ(B.Timer->LastAlpha, 255) << "a completed fade-in stays at full opacity";
  ASSERT_NE(B.Timer->GlowForm, nullptr);
  EXPECT_TRUE(IsWindowVisible(B.Timer->GlowForm->Handle()));
  // The layered window lies over the button and lets the mouse through.
  RECT G;
  GetWindowRect(B.Timer->GlowForm->Handle(), &G);
  const POINT P = F.ScreenCentre(B);
  EXPECT_TRUE(PtInRect(&G, P));
  EXPECT_EQ(F.HitAt(P), HTCLOSE);
  uitest::SaveScreenshot(F.Handle(), "provb_hot_close");
  // The hot close image (red in the program's skin) shows on the screen over the button.
  const RECT W0 = F.WindowRect();
  const POINT Corner{W0.left + B.Rect.Left + 4, W0.top + B.Rect.Top + 4};
  auto Reddish = [&] {
    HDC DC = GetDC(nullptr);
    const COLORREF C = GetPixel(DC, Corner.x, Corner.y);
    ReleaseDC(nullptr, DC);
    return GetRValue(C) > GetGValue(C) + 60;
  };
  EXPECT_TRUE(Reddish());

  const RECT W = F.WindowRect();
  ASSERT_TRUE(provbtest::PointerTo(POINT{(W.left + W.right) / 2, (W.top + W.bottom) / 2}));
  ASSERT_TRUE(uitest::WaitFor([&] { return B.Timer == nullptr || B.Timer->AnimState == -1; }));
  EXPECT_EQ(B.State, 0);
  uitest::Settle(F.Handle());
  EXPECT_FALSE(Reddish()) << "the normal button shows again";
  if (B.Timer != nullptr) {
    EXPECT_EQ(B.Timer->GlowForm, nullptr) << "a finished fade-out leaves no window";
    EXPECT_EQ(B.Timer->LastAlpha, 0);
    EXPECT_FALSE(B.Timer->Enabled());
  }
}

TEST(provb_Fade, FadeInEndingAfterTheMouseLeftReturnsTheButtonToNormal) {
  TSkinnedForm F;
  if (!F.Manager->AllowGlowing()) GTEST_SKIP() << "no layered windows";
  TsCaptionButton& B = F.Provider->ButtonMax;
  const RECT W = F.WindowRect();
  ASSERT_TRUE(provbtest::PointerTo(POINT{(W.left + W.right) / 2, (W.top + W.bottom) / 2}));
  // A hit test makes the button hot although the pointer is elsewhere.
  F.HitAt(F.ScreenCentre(B));
  ASSERT_TRUE(uitest::WaitFor([&] { return B.State == 0 && (B.Timer == nullptr || B.Timer->AnimState == -1); }));
  if (B.Timer != nullptr) {
    EXPECT_EQ(B.Timer->GlowForm, nullptr);
  }
  EXPECT_EQ(F.Provider->CurrentHT, 0);
}

TEST(provb_Fade, PressShowsThePressedImageAtOnce) {
  TSkinnedForm F;
  if (!F.Manager->AllowGlowing()) GTEST_SKIP() << "no layered windows";
  TsCaptionButton& B = F.Provider->ButtonMin;
  ASSERT_TRUE(realinput::BringToFront(F.Handle()));
  ASSERT_TRUE(provbtest::PointerTo(F.ScreenCentre(B)));
  ASSERT_TRUE(uitest::WaitFor([&] { return B.Timer != nullptr && B.Timer->Steps == -1; }));
  SendMessageW(F.Handle(), WM_NCLBUTTONDOWN, HTMINBUTTON, 0);
  EXPECT_EQ(B.State, 2);
  ASSERT_NE(B.Timer, nullptr);
  EXPECT_EQ(B.Timer->AnimState, 2);
  ASSERT_TRUE(uitest::WaitFor([&] { return B.Timer->Steps == -1; }));
  EXPECT_EQ(B.Timer->LastAlpha, 255);
  ASSERT_NE(B.Timer->Image, nullptr);
  EXPECT_EQ(B.Timer->Image->Width(), B.Rect.Width());
  // Releasing elsewhere leaves the form as it was.
  SendMessageW(F.Handle(), WM_NCLBUTTONUP, HTCAPTION, 0);
  EXPECT_FALSE(IsIconic(F.Handle()));
}

TEST(provb_Fade, MovingTheFormStopsTheAnimations) {
  TSkinnedForm F;
  if (!F.Manager->AllowGlowing()) GTEST_SKIP() << "no layered windows";
  TsCaptionButton& B = F.Provider->ButtonClose;
  F.HitAt(F.ScreenCentre(B));
  ASSERT_NE(B.Timer, nullptr);
  F.Form->SetBounds(F.Form->Left() + 20, F.Form->Top(), F.Form->Width(), F.Form->Height());
  EXPECT_EQ(B.Timer, nullptr);
  EXPECT_EQ(uitest::CountThreadWindows() >= 1, true);
}

TEST(provb_Moving, BorderModeRealDragOfTheCaptionMovesTheFormOnceAtTheEnd) {
  TSkinnedForm F;
  F.Provider->SetResizeMode(rmBorder);
  HWND H = F.Handle();
  const RECT Before = F.WindowRect();
  const POINT Start{(Before.left + Before.right) / 2 - 40, Before.top + GetSystemMetrics(SM_CYFRAME) + 5};
  ASSERT_EQ(F.HitAt(Start), HTCAPTION);
  ASSERT_TRUE(realinput::BringToFront(H));
  ASSERT_TRUE(provbtest::PointerTo(Start));
  ASSERT_TRUE(provbtest::LeftButton(Start, true));
  ASSERT_TRUE(uitest::WaitFor([] { return acBorderFrame.Active; }));
  EXPECT_EQ(GetCapture(), H);
  // The pointer is moved for real: the frame follows it, the form stays until the release.
  const POINT End{Start.x + 35, Start.y + 20};
  ASSERT_TRUE(provbtest::PointerTo(POINT{Start.x + 15, Start.y + 10}));
  ASSERT_TRUE(provbtest::PointerTo(End));
  const RECT During = F.WindowRect();
  EXPECT_EQ(During.left, Before.left) << "only the frame moves while the button is down";
  EXPECT_EQ(During.top, Before.top);
  // Where the form lands is known once the release is handled: where the pointer let go.
  ASSERT_TRUE(provbtest::LeftButton(End, false));
  ASSERT_TRUE(uitest::WaitFor([] { return !acBorderFrame.Active; }));
  EXPECT_NE(GetCapture(), H);
  const RECT After = F.WindowRect();
  EXPECT_EQ(After.left - Before.left, End.x - Start.x) << "the form lands where the pointer let go";
  EXPECT_EQ(After.top - Before.top, End.y - Start.y);
  EXPECT_EQ(After.right - After.left, Before.right - Before.left);
}
