// Panels, splitters and scrolling containers on real windows: bevel pixels, the sizing drag of a
// splitter driven by posted mouse messages, and children moved by scroll bars.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

constexpr COLORREF Red = RGB(255, 0, 0), White = RGB(255, 255, 255), Black = RGB(0, 0, 0);

std::unique_ptr<TForm> ExtForm(int W, int H, TColor Color = clWhite) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(50, 50, W, H);
  F->SetColor(Color);
  F->Show();
  SetForegroundWindow(F->Handle());
  uitest::Pump();
  return F;
}

// A plain windowed block standing in for a grid or a browser.
class TExtBlock : public TCustomControl {
  T_CLASS(TExtBlock, TCustomControl)
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
  }
};

TExtBlock* AddBlock(TWinControl* Parent, TAlign Align, int L, int T, int W, int H, TColor Color = clSilver) {
  auto* B = new TExtBlock(Parent);
  B->SetBounds(L, T, W, H);
  B->SetColor(Color);
  B->SetAlign(Align);
  B->SetParent(Parent);
  return B;
}

TSplitter* AddSplitter(TWinControl* Parent, TAlign Align, int L, int T, int W, int H) {
  auto* S = new TSplitter(Parent);
  S->SetAlign(Align);
  S->SetBounds(L, T, W, H);
  S->SetParent(Parent);
  return S;
}

// Drags with posted mouse messages on the splitter's parent window, from a point of the
// splitter by (DX, DY). The real pointer waits at each position, so that anything the system
// reports of it says the same.
void Drag(TSplitter* S, int DX, int DY, const std::function<void()>& Midway = nullptr) {
  HWND W = S->Parent()->Handle();
  const int X = S->Left() + S->Width() / 2, Y = S->Top() + S->Height() / 2;
  auto Cursor = [&](int CX, int CY) {
    const TPoint P = S->Parent()->ClientToScreen(Point(CX, CY));
    realinput::MovePointer(POINT{P.X, P.Y});
  };
  Cursor(X, Y);
  PostMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  uitest::Pump();
  Cursor(X + DX, Y + DY);
  PostMessageW(W, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X + DX, Y + DY));
  uitest::Pump();
  if (Midway) Midway();
  PostMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(X + DX, Y + DY));
  uitest::Pump();
}

}  // namespace

// --- splitters

TEST(Splitter, DraggingSizesTheNeighbourOnItsAlignedSide) {
  auto F = ExtForm(500, 300);
  TExtBlock* Left = AddBlock(F.get(), alLeft, 0, 0, 100, 100);
  TSplitter* S = AddSplitter(F.get(), alLeft, 100, 0, 5, 100);
  TExtBlock* Rest = AddBlock(F.get(), alClient, 200, 0, 10, 10, clGray);
  EXPECT_EQ(S->Left(), 100);
  EXPECT_EQ(S->Cursor(), crHSplit);
  EXPECT_EQ(S->FindControl(), Left);
  int Moves = 0;
  S->OnMoved = [&](TObject* Sender) {
    EXPECT_EQ(Sender, S);
    ++Moves;
  };
  // The splitter paints its colour, then OnPaint may draw over it.
  int Paints = 0;
  S->OnPaint = [&](TObject*) { ++Paints; };
  S->SetColor(clRed);
  UpdateWindow(F->Handle());
  EXPECT_EQ(uitest::WindowPixel(F->Handle(), 102, 50), Red);
  EXPECT_GT(Paints, 0);

  Drag(S, 40, 0);
  EXPECT_EQ(Left->Width(), 140);
  EXPECT_EQ(S->Left(), 140);
  EXPECT_EQ(Rest->Left(), 145);
  EXPECT_EQ(Moves, 1);
  EXPECT_FALSE(S->Sizing());
  Drag(S, -25, 0);
  EXPECT_EQ(Left->Width(), 115);
  EXPECT_EQ(Moves, 2);
  // No farther than MinSize is left for the rest of the client area.
  const int Client = F->ClientWidth();
  Drag(S, 1000, 0);
  EXPECT_EQ(Left->Width(), Client - 5 - 30);
  // A drag that ends where it began moves nothing.
  Drag(S, 0, 0);
  EXPECT_EQ(Moves, 3);
}

TEST(Splitter, MinSizeStopsTheDragOrAutoSnapClosesTheNeighbour) {
  auto F = ExtForm(500, 300);
  TExtBlock* Top = AddBlock(F.get(), alTop, 0, 0, 100, 100);
  TSplitter* S = AddSplitter(F.get(), alTop, 0, 100, 100, 4);
  AddBlock(F.get(), alClient, 0, 200, 10, 10, clGray);
  EXPECT_EQ(S->Cursor(), crVSplit);
  S->SetMinSize(40);
  S->SetAutoSnap(false);
  Drag(S, 0, -90);
  EXPECT_EQ(Top->Height(), 40);
  Drag(S, 0, 30);
  EXPECT_EQ(Top->Height(), 70);
  S->SetAutoSnap(true);
  Drag(S, 0, -35);
  EXPECT_EQ(Top->Height(), 0);  // closed
  EXPECT_EQ(S->Top(), 0);
  // A closed neighbour is still found and can be pulled open again.
  EXPECT_EQ(S->FindControl(), Top);
  Drag(S, 0, 60);
  EXPECT_EQ(Top->Height(), 60);
  EXPECT_THROW(S->SetMinSize(0), EInvalidOperation);

  // OnCanResize may change or refuse the size.
  S->OnCanResize = [](TObject*, int& NewSize, bool& Accept) {
    if (NewSize > 100) Accept = false;
    NewSize = NewSize / 10 * 10;
  };
  Drag(S, 0, 27);
  EXPECT_EQ(Top->Height(), 80);
  Drag(S, 0, 50);
  EXPECT_EQ(Top->Height(), 80);
}

TEST(Splitter, AOnePixelRightSplitterSizesTheRightAlignedGridBesideIt) {
  // As the main window lays them out: the splitter first, then the grid, both right-aligned.
  auto F = ExtForm(600, 300);
  const int CW = F->ClientWidth();
  TSplitter* S = AddSplitter(F.get(), alRight, CW - 141, 0, 1, 200);
  TExtBlock* Grid = AddBlock(F.get(), alRight, CW - 140, 0, 140, 200);
  TExtBlock* Browser = AddBlock(F.get(), alClient, 0, 0, 10, 10, clGray);
  EXPECT_EQ(Grid->Left(), CW - 140);
  EXPECT_EQ(S->Left(), CW - 141);
  EXPECT_EQ(Browser->Width(), CW - 141);
  EXPECT_EQ(S->FindControl(), Grid);

  Drag(S, -40, 0);
  EXPECT_EQ(Grid->Width(), 180);
  EXPECT_EQ(Grid->Left(), CW - 180);
  EXPECT_EQ(S->Left(), CW - 181);
  EXPECT_EQ(Browser->Width(), CW - 181);
  Drag(S, 100, 0);
  EXPECT_EQ(Grid->Width(), 80);
  EXPECT_EQ(S->Left(), CW - 81);
}

TEST(Splitter, TheResizeStylesShowTheNewEdgeOrSizeAtOnce) {
  auto F = ExtForm(500, 300);
  TExtBlock* Left = AddBlock(F.get(), alLeft, 0, 0, 100, 100, clWhite);
  TSplitter* S = AddSplitter(F.get(), alLeft, 100, 0, 4, 100);
  AddBlock(F.get(), alClient, 0, 0, 10, 10, clWhite);
  HWND W = F->Handle();

  // rsLine: an inverted line where the edge would go; the neighbour waits for the release.
  S->SetResizeStyle(rsLine);
  Drag(S, 50, 0, [&] {
    EXPECT_EQ(Left->Width(), 100);
    EXPECT_TRUE(S->Sizing());
    EXPECT_EQ(uitest::WindowPixel(W, 152, 80), Black);
    EXPECT_EQ(uitest::WindowPixel(W, 160, 80), White);
  });
  EXPECT_EQ(Left->Width(), 150);

  // rsPattern: every other pixel inverted.
  S->SetResizeStyle(rsPattern);
  Drag(S, 30, 0, [&] {
    const COLORREF A = uitest::WindowPixel(W, 182, 80), B = uitest::WindowPixel(W, 182, 81);
    EXPECT_NE(A, B);
    EXPECT_TRUE(A == Black || B == Black);
  });
  EXPECT_EQ(Left->Width(), 180);

  // rsUpdate: the neighbour follows the pointer.
  S->SetResizeStyle(rsUpdate);
  Drag(S, -60, 0, [&] { EXPECT_EQ(Left->Width(), 120); });
  EXPECT_EQ(Left->Width(), 120);

  // Escape gives the drag up.
  S->SetResizeStyle(rsPattern);
  Drag(S, 40, 0, [&] {
    PostMessageW(W, WM_KEYDOWN, VK_ESCAPE, 1);
    uitest::Pump();
    EXPECT_FALSE(S->Sizing());
  });
  EXPECT_EQ(Left->Width(), 120);
  // So does a cancelled mouse mode, also in live mode (the neighbour goes back).
  S->SetResizeStyle(rsUpdate);
  Drag(S, 40, 0, [&] {
    EXPECT_EQ(Left->Width(), 160);
    SendMessageW(W, WM_CANCELMODE, 0, 0);
  });
  EXPECT_EQ(Left->Width(), 120);
  uitest::SaveScreenshot(W, "splitter");
}

// --- panels

TEST(Panel, BevelsBorderAndCaptionArePainted) {
  auto F = ExtForm(400, 300);
  auto* P = new TPanel(F.get());
  P->SetBounds(10, 10, 200, 80);
  P->SetParent(F.get());
  P->SetColor(clSilver);
  HWND W = P->Handle();
  const COLORREF Light = ColorToRGB(clBtnHighlight), Dark = ColorToRGB(clBtnShadow), Face = RGB(192, 192, 192);
  uitest::Pump();
  UpdateWindow(W);
  // Raised: light top and left, dark bottom and right.
  EXPECT_EQ(uitest::WindowPixel(W, 50, 0), Light);
  EXPECT_EQ(uitest::WindowPixel(W, 0, 40), Light);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 79), Dark);
  EXPECT_EQ(uitest::WindowPixel(W, 199, 40), Dark);
  EXPECT_EQ(uitest::WindowPixel(W, 20, 20), Face);

  P->SetBevelOuter(bvLowered);
  P->SetBevelWidth(2);
  P->SetBorderWidth(3);
  P->SetBevelInner(bvRaised);
  UpdateWindow(W);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 0), Dark);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 1), Dark);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 79), Light);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 2), Face);  // the border band
  EXPECT_EQ(uitest::WindowPixel(W, 50, 5), Light);  // the inner bevel
  EXPECT_EQ(uitest::WindowPixel(W, 50, 7), Face);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 73), Dark);
  // The aligned children share what the frame leaves.
  auto* Inside = new TExtBlock(F.get());
  Inside->SetAlign(alClient);
  Inside->SetParent(P);
  EXPECT_EQ(Inside->BoundsRect(), Rect(7, 7, 193, 73));

  // The caption, centred, in the font colour.
  Inside->Hide();
  P->Font()->SetColor(clRed);
  P->SetCaption(WideString(L"Panel"));
  UpdateWindow(W);
  int MinX = 1000, MaxX = -1;
  for (int Y = 10; Y < 70; ++Y)
    for (int X = 10; X < 190; ++X)
      if (uitest::WindowPixel(W, X, Y) == Red) {
        MinX = std::min(MinX, X);
        MaxX = std::max(MaxX, X);
      }
  ASSERT_GE(MaxX, 0);
  EXPECT_NEAR((MinX + MaxX) / 2, 100, 3);

  uitest::PumpFor(50);
  uitest::SaveScreenshot(F->Handle(), "panel");

  EXPECT_THROW(P->SetBevelWidth(0), EInvalidOperation);
  EXPECT_THROW(P->SetBorderWidth(-1), EInvalidOperation);
  // A sunken window edge: a new window, shown and painted as before.
  P->SetBorderStyle(bsSingle);
  W = P->Handle();
  EXPECT_NE(GetWindowLongW(W, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_TRUE(IsWindowVisible(W));
  UpdateWindow(W);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 0), Dark);
}

TEST(Panel, ParentBackgroundShowsWhatTheParentPaints) {
  auto F = ExtForm(400, 300, clRed);
  F->OnPaint = [&](TObject*) {
    F->Canvas()->Brush()->SetColor(clBlue);
    F->Canvas()->FillRect(Rect(0, 0, 400, 40));
  };
  auto* P = new TPanel(F.get());
  P->SetBounds(20, 20, 100, 60);
  P->SetBevelOuter(bvNone);
  P->SetParent(F.get());
  P->SetColor(clYellow);
  HWND W = P->Handle();
  UpdateWindow(W);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 10), RGB(255, 255, 0));
  P->SetParentBackground(true);
  UpdateWindow(W);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 10), RGB(0, 0, 255));  // the parent's OnPaint
  EXPECT_EQ(uitest::WindowPixel(W, 50, 40), Red);             // the parent's colour
}

// --- scrolling containers

TEST(ScrollingWinControl, ScrollBarsFollowTheChildrenAndMoveThem) {
  auto F = ExtForm(400, 300);
  auto* C = new TScrollingWinControl(F.get());
  C->SetBounds(10, 10, 200, 150);
  C->SetParent(F.get());
  HWND W = C->Handle();
  TExtBlock* Far = AddBlock(C, alNone, 20, 300, 50, 50);
  TExtBlock* Bar = AddBlock(C, alTop, 0, 0, 10, 20);
  TControlScrollBar* V = C->VertScrollBar();
  EXPECT_EQ(V->Range(), 350);
  EXPECT_TRUE(V->IsScrollBarVisible());
  EXPECT_NE(GetWindowLongW(W, GWL_STYLE) & WS_VSCROLL, 0);
  EXPECT_FALSE(C->HorzScrollBar()->IsScrollBarVisible());
  EXPECT_EQ(GetWindowLongW(W, GWL_STYLE) & WS_HSCROLL, 0);
  const int H = C->ClientHeight();

  V->SetPosition(100);
  EXPECT_EQ(Far->Top(), 200);
  EXPECT_EQ(Bar->Top(), -100);  // aligned children scroll with the rest
  EXPECT_EQ(GetScrollPos(W, SB_VERT), 100);
  SendMessageW(W, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(V->Position(), 100 + V->Increment());
  EXPECT_EQ(Far->Top(), 200 - V->Increment());
  SendMessageW(W, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(V->Position(), 350 - H);
  EXPECT_EQ(Far->Top() + Far->Height(), H);
  V->SetPosition(-5);
  EXPECT_EQ(V->Position(), 0);
  EXPECT_EQ(Far->Top(), 300);

  // A child out of view is brought in.
  V->SetPosition(0);
  C->ScrollInView(Far);
  EXPECT_EQ(Far->Top() + Far->Height(), H);
  // The range shrinks with the children; the position comes back into it.
  Far->SetTop(Far->Top() - 200);
  EXPECT_FALSE(V->IsScrollBarVisible());
  EXPECT_EQ(V->Position(), 0);
  EXPECT_EQ(Bar->Top(), 0);
  EXPECT_EQ(GetWindowLongW(W, GWL_STYLE) & WS_VSCROLL, 0);
  EXPECT_THROW(V->SetRange(-1), ERangeError);
  V->SetRange(1000);
  EXPECT_FALSE(C->AutoScroll());
  EXPECT_TRUE(V->IsScrollBarVisible());
}

TEST(ExtControls, CreateDestroyLoopsLeaveNoWindowsOrGdiObjects) {
  auto Cycle = [] {
    auto F = ExtForm(300, 200);
    auto* P = new TPanel(F.get());
    P->SetAlign(alLeft);
    P->SetCaption(WideString(L"Panel"));
    P->SetParent(F.get());
    TSplitter* S = AddSplitter(F.get(), alLeft, 200, 0, 3, 100);
    S->SetResizeStyle(rsPattern);
    AddBlock(F.get(), alClient, 0, 0, 10, 10);
    Drag(S, 20, 0, [&] { F->Repaint(); });
    auto* C = new TScrollingWinControl(F.get());
    C->SetBounds(0, 0, 50, 50);
    C->SetParent(P);
    AddBlock(C, alNone, 0, 100, 10, 10);
    uitest::Pump();
  };
  Cycle();
  const int Windows = uitest::CountThreadWindows();
  const int Gdi = uitest::GdiObjectCount();
  for (int I = 0; I < 10; ++I) Cycle();
  EXPECT_EQ(uitest::CountThreadWindows(), Windows);
  EXPECT_EQ(uitest::GdiObjectCount(), Gdi);
}
