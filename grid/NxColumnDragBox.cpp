#include "grid/NxColumnDragBox.h"

#include "framework/Exceptions.h"
#include "grid/NxDisplays.h"

// ---------------------------------------------------------------------------------------------
// TColumnDragBox

TColumnDragBox::TColumnDragBox(TComponent* AOwner) : TNxFlyoutControl(AOwner) {
  FGrid = dynamic_cast<TControl*>(AOwner);
  FDisplay = std::make_unique<TDefaultStyleDisplay>(this);
  FDisplay->Canvas = Canvas();
}

TColumnDragBox::~TColumnDragBox() {
  SetColumn(nullptr);
  FDisplay.reset();
}

void TColumnDragBox::SetColumn(TNxCustomColumn* Value) {
  if (FColumn == Value) return;
  if (FColumn != nullptr) FColumn->RemoveFreeNotification(this);
  FColumn = Value;
  if (FColumn != nullptr) FColumn->FreeNotification(this);
}

void TColumnDragBox::Notification(TComponent* AComponent, TOperation Operation) {
  TNxFlyoutControl::Notification(AComponent, Operation);
  if (Operation != opRemove || AComponent == nullptr || AComponent != FColumn) return;
  // The dragged column is going away: nothing is left to drop.
  FColumn = nullptr;
  CancelDrag();
}

void TColumnDragBox::BeginDrag(int X, int Y, bool Hidden, TNxCustomColumn* AColumn) {
  if (AColumn == nullptr) throw EInvalidOperation("A column drag needs a column");
  FDisplay->ShowSortArrow = false;
  FDisplay->Canvas = Canvas();
  if (FGrid != nullptr) Canvas()->Font()->Assign(FGrid->Font());
  SetColumn(AColumn);
  FDragging = true;
  SetVisible(!Hidden);
  Invalidate();
  // A press of the left button on the box itself: the box captures the mouse from here on.
  const TPoint P = ScreenToClient(Point(X, Y));
  SendMessageW(Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(P.X, P.Y));
}

void TColumnDragBox::CancelDrag() {
  if (!FDragging) return;
  FDragging = false;
  SetVisible(false);
  if (MouseCapture()) SetMouseCapture(false);
  FControlState.Exclude(csLButtonDown);
  FControlState.Exclude(csClicked);
}

void TColumnDragBox::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_LBUTTONUP: {
      // The release lets the capture go before MouseUp runs; that is the drop, not a cancel. The
      // drop's handlers may free the box (with its grid).
      const TLifeWatch Life(this);
      const bool Was = FReleasing;
      FReleasing = true;
      try {
        TNxFlyoutControl::Dispatch(M);
      } catch (...) {
        if (!Life.Freed()) FReleasing = Was;
        throw;
      }
      if (!Life.Freed()) FReleasing = Was;
      return;
    }
    case WM_CAPTURECHANGED:
      TNxFlyoutControl::Dispatch(M);
      // The mouse went to another window: no release will come here.
      if (FDragging && !FReleasing && (!HandleAllocated() || reinterpret_cast<HWND>(M.LParam) != Handle()))
        CancelDrag();
      return;
    default:
      TNxFlyoutControl::Dispatch(M);
      return;
  }
}

void TColumnDragBox::CMVisibleChanged(TMessage& M) {
  TNxFlyoutControl::CMVisibleChanged(M);
  // A shown drag box that is hidden from outside (the grid lost the focus) ends its drag.
  if (!Visible() && FDragging && !FReleasing) CancelDrag();
}

void TColumnDragBox::MouseMove(TShiftState Shift, int X, int Y) {
  TNxFlyoutControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  const TPoint S = ClientToScreen(Point(X, Y));
  const int W = ClientWidth(), H = ClientHeight();
  const int NewLeft = S.X - W / 2;
  const int NewTop = S.Y - H + 4;
  DoMove(S.X, S.Y);
  SetBounds(NewLeft, NewTop, W, H);
}

void TColumnDragBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TNxFlyoutControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !FDragging) return;
  const TPoint S = ClientToScreen(Point(X, Y));
  FDragging = false;
  SetVisible(false);
  if (MouseCapture()) SetMouseCapture(false);
  DoDrop(S.X, S.Y);
}

void TColumnDragBox::DoDrop(int X, int Y) {
  if (OnDrop) OnDrop(this, X, Y);
}

void TColumnDragBox::DoMove(int X, int Y) {
  if (OnMove) OnMove(this, X, Y);
}

void TColumnDragBox::Paint() {
  TCanvas* C = Canvas();
  const TRect R = ClientRect();
  if (FColumn != nullptr) {
    FDisplay->Canvas = C;
    FDisplay->DrawHeader(FColumn, R);
  } else {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(R);
  }
  // A dark edge at the bottom and the right lifts the image off the header below it.
  C->Pen()->SetColor(clBlack);
  C->Pen()->SetWidth(1);
  C->MoveTo(0, R.Height() - 1);
  C->LineTo(R.Width() - 1, R.Height() - 1);
  C->LineTo(R.Width() - 1, -1);
}

// ---------------------------------------------------------------------------------------------
// TDragArrow

TDragArrow::TDragArrow(TComponent* AOwner) : TNxFlyoutControl(AOwner) {
  FDirection = daNone;
  SetBounds(0, 0, 9, 9);
}

void TDragArrow::SetDirection(Byte Value) {
  if (Value > daDown) throw ERangeError(Format("Drag arrow direction %d is not 0, 1 or 2", static_cast<int>(Value)));
  FDirection = Value;
  UpdateShape();
}

void TDragArrow::Paint() {
  Canvas()->Brush()->SetStyle(bsSolid);
  Canvas()->Brush()->SetColor(clRed);
  Canvas()->FillRect(ClientRect());
}

HRGN TDragArrow::CreateShape() {
  static const POINT Up[8] = {{-1, 5}, {4, -1}, {9, 5}, {6, 5}, {6, 9}, {3, 9}, {3, 4}, {0, 5}};
  static const POINT Down[8] = {{5, 0}, {3, 0}, {3, 4}, {0, 4}, {4, 9}, {9, 4}, {6, 4}, {6, 0}};
  if (FDirection == daUp) return CreatePolygonRgn(Up, 8, WINDING);
  if (FDirection == daDown) return CreatePolygonRgn(Down, 8, WINDING);
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Drop arrows

void ShowColumnDropArrows(TDragArrow* TopArrow, TDragArrow* BottomArrow, int X, int HeaderTop, int HeaderHeight) {
  if (TopArrow != nullptr) {
    TopArrow->MoveTo(X - 4, HeaderTop - 12);
    TopArrow->SetVisible(true);
  }
  if (BottomArrow != nullptr) {
    BottomArrow->MoveTo(X - 4, HeaderTop + HeaderHeight - 1);
    BottomArrow->SetVisible(true);
  }
}

void HideColumnDropArrows(TDragArrow* TopArrow, TDragArrow* BottomArrow) {
  if (TopArrow != nullptr) TopArrow->SetVisible(false);
  if (BottomArrow != nullptr) BottomArrow->SetVisible(false);
}
