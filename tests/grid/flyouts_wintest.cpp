// The flyouts that float over the grid, as real windows: their pop-up window kind, the shapes of
// the drop arrows and of the roll sign (window regions and the pixels on the screen), the
// translucent roll sign's picture, and the column drag box following the real pointer, reporting
// its moves and dropping only on the left button's release.
#include <gtest/gtest.h>

#include <vector>

#include "framework/Exceptions.h"
#include "grid/NxColumnDragBox.h"
#include "grid/NxDisplays.h"
#include "grid/NxFlyoutControl.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

// The window's region (window coordinates), or nullptr when it has none.
HRGN WindowRegion(HWND W) {
  HRGN R = CreateRectRgn(0, 0, 0, 0);
  const int Kind = GetWindowRgn(W, R);
  if (Kind == ERROR || Kind == NULLREGION) {
    DeleteObject(R);
    return nullptr;
  }
  return R;
}

bool SameRegion(HRGN A, HRGN B) { return A != nullptr && B != nullptr && EqualRgn(A, B) != 0; }

HRGN Polygon(std::initializer_list<POINT> Points) {
  std::vector<POINT> P(Points);
  return CreatePolygonRgn(P.data(), static_cast<int>(P.size()), WINDING);
}

// A flyout shown over a form's grid and let paint.
template <class T>
T* ShowFlyout(TEngineForm& F, int X, int Y) {
  auto* Fly = new T(F.Grid);
  Fly->SetParent(F.Grid);
  Fly->MoveTo(X, Y);
  Fly->SetVisible(true);
  Settle(Fly->Handle());
  return Fly;
}

// What the screen shows at a point of the flyout (its own coordinates).
COLORREF ShownAt(TWinControl* Fly, int X, int Y) {
  HDC DC = GetDC(nullptr);
  const COLORREF C = GetPixel(DC, Fly->Left() + X, Fly->Top() + Y);
  ReleaseDC(nullptr, DC);
  return C;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The window kind

TEST(Flyouts, AreToolPopupsThatNeitherActivateNorEraseTheirBackground) {
  TEngineForm F(2);
  HWND Front = GetForegroundWindow();
  TDragArrow* A = ShowFlyout<TDragArrow>(F, 300, 300);
  HWND W = A->Handle();
  const LONG Style = GetWindowLongW(W, GWL_STYLE);
  EXPECT_NE(Style & WS_POPUP, 0);
  EXPECT_EQ(Style & (WS_CHILD | WS_TABSTOP | WS_GROUP), 0);
  EXPECT_NE(GetWindowLongW(W, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_NE(GetClassLongW(W, GCL_STYLE) & CS_SAVEBITS, 0u);
  EXPECT_TRUE(IsWindowVisible(W));
  // Shown without taking the foreground or the focus, and its coordinates are the screen's.
  EXPECT_EQ(GetForegroundWindow(), Front);
  EXPECT_FALSE(A->CanFocus());
  RECT R;
  GetWindowRect(W, &R);
  EXPECT_EQ(R.left, 300);
  EXPECT_EQ(R.top, 300);
  // Erasing is answered as done, and nothing is erased.
  HDC DC = GetDC(W);
  EXPECT_EQ(SendMessageW(W, WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0), 1);
  ReleaseDC(W, DC);
  // It shows only while its grid shows.
  F.Grid->SetVisible(false);
  Pump();
  EXPECT_FALSE(IsWindowVisible(W));
  F.Grid->SetVisible(true);
  Pump();
  EXPECT_TRUE(IsWindowVisible(W));
}

// ---------------------------------------------------------------------------------------------
// Drop arrows

TEST(DragArrows, WithoutADirectionAPlainNineByNineRedSquare) {
  TEngineForm F(2);
  TDragArrow* A = ShowFlyout<TDragArrow>(F, 300, 300);
  EXPECT_EQ(A->Direction(), daNone);
  EXPECT_EQ(A->Width(), 9);
  EXPECT_EQ(A->Height(), 9);
  EXPECT_EQ(WindowRegion(A->Handle()), nullptr);
  EXPECT_TRUE(WaitFor([&] {
    for (int Y = 0; Y < 9; ++Y)
      for (int X = 0; X < 9; ++X)
        if (ShownAt(A, X, Y) != RGB(255, 0, 0)) return false;
    return true;
  }));
  EXPECT_THROW(A->SetDirection(3), ERangeError);
  EXPECT_EQ(A->Direction(), daNone);
}

TEST(DragArrows, UpAndDownArrowsAreCutToTheirOutline) {
  TEngineForm F(2);
  TDragArrow* A = ShowFlyout<TDragArrow>(F, 300, 300);
  const COLORREF Under = ShownAt(A, -20, 0);  // what lies around the arrow
  A->SetDirection(daUp);
  Settle(A->Handle());
  HRGN Up = Polygon({{-1, 5}, {4, -1}, {9, 5}, {6, 5}, {6, 9}, {3, 9}, {3, 4}, {0, 5}});
  HRGN Shown = WindowRegion(A->Handle());
  EXPECT_TRUE(SameRegion(Shown, Up));
  // The tip at the top, the shaft below it, the corners beside the shaft left out.
  EXPECT_TRUE(WaitFor([&] { return ShownAt(A, 0, 8) == Under && ShownAt(A, 8, 8) == Under; }));
  EXPECT_EQ(ShownAt(A, 4, 1), RGB(255, 0, 0));
  EXPECT_EQ(ShownAt(A, 4, 7), RGB(255, 0, 0));
  DeleteObject(Up);
  if (Shown) DeleteObject(Shown);

  A->SetDirection(daDown);
  Settle(A->Handle());
  HRGN Down = Polygon({{5, 0}, {3, 0}, {3, 4}, {0, 4}, {4, 9}, {9, 4}, {6, 4}, {6, 0}});
  Shown = WindowRegion(A->Handle());
  EXPECT_TRUE(SameRegion(Shown, Down));
  // The screen follows a new outline once the display server has it.
  EXPECT_TRUE(WaitFor([&] { return ShownAt(A, 0, 0) == Under && ShownAt(A, 8, 0) == Under; }));
  EXPECT_EQ(ShownAt(A, 4, 1), RGB(255, 0, 0));
  EXPECT_EQ(ShownAt(A, 4, 7), RGB(255, 0, 0));
  DeleteObject(Down);
  if (Shown) DeleteObject(Shown);
}

TEST(DragArrows, ThePairPointsAtTheBoundaryAboveAndBelowTheHeader) {
  TEngineForm F(2);
  auto* Top = new TDragArrow(F.Grid);
  Top->SetParent(F.Grid);
  auto* Bottom = new TDragArrow(F.Grid);
  Bottom->SetParent(F.Grid);
  ShowColumnDropArrows(Top, Bottom, 200, 150, 18);
  EXPECT_TRUE(Top->Visible());
  EXPECT_TRUE(Bottom->Visible());
  EXPECT_EQ(Point(Top->Left(), Top->Top()), Point(196, 138));
  EXPECT_EQ(Point(Bottom->Left(), Bottom->Top()), Point(196, 167));
  EXPECT_EQ(Top->Width(), 9);
  HideColumnDropArrows(Top, nullptr);
  EXPECT_FALSE(Top->Visible());
  EXPECT_TRUE(Bottom->Visible());
  HideColumnDropArrows(nullptr, Bottom);
  EXPECT_FALSE(Bottom->Visible());
}

// ---------------------------------------------------------------------------------------------
// The roll sign

TEST(RollShadow, StandsAtItsPointInTheOutlineOfTwoArrowHeadsAndADot) {
  TEngineForm F(2);
  auto* Sign = new TRollShadow(F.Grid);
  Sign->SetParent(F.Grid);
  EXPECT_TRUE(Sign->Translucent());
  Sign->SetTranslucent(false);
  Sign->ShowAt(Point(400, 300));
  Settle(Sign->Handle());
  EXPECT_EQ(Sign->ShownPoint(), Point(400, 300));
  EXPECT_EQ(Point(Sign->Left(), Sign->Top()), Point(393, 289));
  EXPECT_EQ(Sign->Width(), 32);
  EXPECT_EQ(Sign->Height(), 32);

  HRGN Expected = Polygon({{-1, 7}, {7, -1}, {8, 0}, {14, 7}, {0, 6}});
  HRGN Part = Polygon({{-1, 15}, {14, 15}, {6, 22}, {6, 22}, {-1, 14}});
  CombineRgn(Expected, Expected, Part, RGN_OR);
  DeleteObject(Part);
  Part = CreateEllipticRgn(5, 9, 10, 14);
  CombineRgn(Expected, Expected, Part, RGN_OR);
  DeleteObject(Part);
  HRGN Shown = WindowRegion(Sign->Handle());
  EXPECT_TRUE(SameRegion(Shown, Expected));
  DeleteObject(Expected);
  if (Shown) DeleteObject(Shown);

  // Grey inside the outline (upper head, dot, lower head), nothing of it elsewhere.
  const COLORREF Grey = ColorToRGB(clGrayText);
  EXPECT_TRUE(WaitFor([&] {
    return ShownAt(Sign, 7, 3) == Grey && ShownAt(Sign, 7, 11) == Grey && ShownAt(Sign, 6, 17) == Grey;
  }));
  EXPECT_NE(ShownAt(Sign, 25, 25), Grey);
  EXPECT_NE(ShownAt(Sign, 20, 3), Grey);
}

TEST(RollShadow, TranslucentItHandsTheSystemAPictureWithAlphaInsideItsOutlineOnly) {
  if (FlyoutUpdateLayeredWindow == nullptr) GTEST_SKIP() << "no layered windows on this system";
  TEngineForm F(2);
  auto* Sign = new TRollShadow(F.Grid);
  Sign->SetParent(F.Grid);
  Sign->ShowAt(Point(400, 300));
  Pump();
  ASSERT_TRUE(Sign->Layered());
  ASSERT_NE(Sign->Picture(), nullptr);
  EXPECT_NE(GetWindowLongW(Sign->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  // The dot: alpha 160, grey premultiplied by it; outside the outline: nothing at all.
  const DWORD Dot = Sign->Picture()->Pixel(7, 11);
  EXPECT_EQ(Dot >> 24, RollShadowAlpha);
  const COLORREF Grey = ColorToRGB(clGrayText);
  EXPECT_EQ((Dot >> 16) & 0xFF, GetRValue(Grey) * RollShadowAlpha / 255u);
  EXPECT_EQ(Sign->Picture()->Pixel(25, 25), 0u);
  EXPECT_THROW(Sign->Picture()->Pixel(32, 0), ERangeError);
  // Opaque again: an ordinary window painted as such.
  Sign->SetTranslucent(false);
  EXPECT_FALSE(Sign->Layered());
  EXPECT_EQ(GetWindowLongW(Sign->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  Settle(Sign->Handle());
  EXPECT_TRUE(WaitFor([&] { return ShownAt(Sign, 7, 11) == Grey; }));
}

// ---------------------------------------------------------------------------------------------
// The column drag box

namespace {

struct DragBoxForm : TEngineForm {
  TColumnDragBox* Box;
  std::vector<TPoint> Moves;
  std::vector<TPoint> Drops;

  DragBoxForm() : TEngineForm(3) {
    Fill(3);
    Box = new TColumnDragBox(Grid);
    Box->SetParent(Grid);
    Box->OnMove = [this](TObject* Sender, int X, int Y) {
      EXPECT_EQ(Sender, Box);
      Moves.push_back(Point(X, Y));
    };
    Box->OnDrop = [this](TObject* Sender, int X, int Y) {
      EXPECT_EQ(Sender, Box);
      Drops.push_back(Point(X, Y));
    };
  }
  // The left button goes down on the grid's body, then the box takes the drag of column 1 from
  // there: placed over that column's header and pressed on itself at the pointer.
  bool Begin() {
    const TPoint P = CellPoint(1, 1);
    if (!realinput::BringToFront(Window()) || !PointerSettledTo(Window(), P.X, P.Y)) return false;
    SendButtons({ButtonAt(Screen(P), MOUSEEVENTF_LEFTDOWN)});
    const TPoint Corner = Grid->ClientToScreen(Point(Columns[1]->Left(), 0));
    Box->SetBounds(Corner.X, Corner.Y, Columns[1]->Width(), Grid->HeaderSize());
    const POINT S = Screen(P);
    Box->BeginDrag(S.x, S.y, false, Columns[1]);
    Pump();
    return Box->Dragging();
  }
  POINT Screen(TPoint Client) {
    POINT S{Client.X, Client.Y};
    ClientToScreen(Window(), &S);
    return S;
  }
};

}  // namespace

TEST(ColumnDragBox, IsMadeForItsGridWithAClassicHeaderPainter) {
  DragBoxForm F;
  EXPECT_EQ(F.Box->Grid(), F.Grid);
  ASSERT_NE(F.Box->Display(), nullptr);
  EXPECT_NE(dynamic_cast<TDefaultStyleDisplay*>(F.Box->Display()), nullptr);
  EXPECT_EQ(F.Box->Display()->Canvas, F.Box->Canvas());
  EXPECT_EQ(F.Box->Column(), nullptr);
  EXPECT_FALSE(F.Box->Visible());
  EXPECT_THROW(F.Box->BeginDrag(0, 0, false, nullptr), EInvalidOperation);
  EXPECT_FALSE(F.Box->Dragging());
}

TEST(ColumnDragBox, FollowsThePointerWithItsLowerEdgeFourPixelsBelowIt) {
  DragBoxForm F;
  F.Columns[1]->SetSorted(true);
  ASSERT_TRUE(F.Begin());
  EXPECT_TRUE(F.Box->Visible());
  EXPECT_EQ(F.Box->Column(), F.Columns[1]);
  EXPECT_FALSE(F.Box->Display()->ShowSortArrow);
  EXPECT_EQ(GetCapture(), F.Box->Handle());
  const int W = F.Box->Width(), H = F.Box->Height();
  for (const TPoint P : {Point(150, 100), Point(40, 60), Point(200, 170)}) {
    const POINT S = F.Screen(P);
    F.Moves.clear();
    ASSERT_TRUE(MovePointerSettled(S));
    ASSERT_TRUE(WaitFor([&] { return F.Box->Left() == S.x - W / 2 && F.Box->Top() == S.y - H + 4; }))
        << P.X << "," << P.Y;
    EXPECT_EQ(F.Box->Width(), W);
    EXPECT_EQ(F.Box->Height(), H);
    ASSERT_FALSE(F.Moves.empty());
    EXPECT_EQ(F.Moves.back(), Point(S.x, S.y));
  }
  // The left button's release: the box hides, then the drop at the pointer (screen).
  const POINT S = F.Screen(Point(200, 170));
  SendButtons({ButtonAt(S, MOUSEEVENTF_LEFTUP)});
  ASSERT_TRUE(WaitFor([&] { return !F.Drops.empty(); }));
  EXPECT_EQ(F.Drops, std::vector<TPoint>{Point(S.x, S.y)});
  EXPECT_FALSE(F.Box->Visible());
  EXPECT_FALSE(F.Box->Dragging());
  EXPECT_NE(GetCapture(), F.Box->Handle());
}

TEST(ColumnDragBox, ARightButtonReleaseOverTheBoxDoesNotDrop) {
  DragBoxForm F;
  ASSERT_TRUE(F.Begin());
  const POINT S = F.Screen(Point(150, 100));
  ASSERT_TRUE(MovePointerSettled(S));
  SendButtons({ButtonAt(S, MOUSEEVENTF_RIGHTDOWN), ButtonAt(S, MOUSEEVENTF_RIGHTUP)});
  Pump();
  EXPECT_TRUE(F.Drops.empty());
  EXPECT_TRUE(F.Box->Dragging());
  EXPECT_TRUE(F.Box->Visible());
  SendButtons({ButtonAt(S, MOUSEEVENTF_LEFTUP)});
  ASSERT_TRUE(WaitFor([&] { return F.Drops.size() == 1; }));
}

TEST(ColumnDragBox, ShowsTheHeaderWithADarkEdgeAtTheBottomAndRight) {
  DragBoxForm F;
  F.Columns[1]->Header()->SetCaption(L"Dragged");
  ASSERT_TRUE(F.Begin());
  Settle(F.Box->Handle());
  const TCapture Pic(F.Box->Handle());
  const int W = Pic.Width(), H = Pic.Height();
  ASSERT_EQ(W, F.Columns[1]->Width());
  for (int X = 0; X < W; ++X) EXPECT_EQ(Pic.Pixel(X, H - 1), RGB(0, 0, 0)) << X;
  for (int Y = 0; Y < H; ++Y) EXPECT_EQ(Pic.Pixel(W - 1, Y), RGB(0, 0, 0)) << Y;
  // The caption is painted on the header's face.
  const TRect Face{2, 2, W - 3, H - 3};
  EXPECT_GT(Pic.CountOther(Face, ColorToRGB(F.Columns[1]->Header()->Color())), 10);
  SendButtons({ButtonAt(F.Screen(F.CellPoint(1, 1)), MOUSEEVENTF_LEFTUP)});
  Pump();
}

TEST(ColumnDragBox, EndsWithoutADropWhenCancelledOrWhenItsColumnGoes) {
  DragBoxForm F;
  ASSERT_TRUE(F.Begin());
  F.Box->CancelDrag();
  EXPECT_FALSE(F.Box->Dragging());
  EXPECT_FALSE(F.Box->Visible());
  EXPECT_NE(GetCapture(), F.Box->Handle());
  F.Box->CancelDrag();  // nothing to end: nothing happens
  SendButtons({ButtonAt(F.Screen(F.CellPoint(1, 1)), MOUSEEVENTF_LEFTUP)});
  Pump();
  EXPECT_TRUE(F.Drops.empty());

  ASSERT_TRUE(F.Begin());
  F.Grid->Columns()->Delete(1);
  F.Columns.erase(F.Columns.begin() + 1);
  EXPECT_EQ(F.Box->Column(), nullptr);
  EXPECT_FALSE(F.Box->Dragging());
  EXPECT_FALSE(F.Box->Visible());
  SendButtons({ButtonAt(F.Screen(F.CellPoint(1, 1)), MOUSEEVENTF_LEFTUP)});
  Pump();
  EXPECT_TRUE(F.Drops.empty());
}
