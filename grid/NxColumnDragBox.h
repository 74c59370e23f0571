// The flyouts of dragging a column header: the floating image of the dragged header
// (TColumnDragBox), which follows the mouse and reports where it moves and where it is dropped,
// and the red arrows (TDragArrow) that point at the column boundary where the column would land.
// Both are flyouts (grid/NxFlyoutControl): top-most tool windows that never take the focus,
// placed in screen coordinates, shown while Visible and their parent (the grid) shows.
//
// How the grid drives a drag:
//   Box->ShowAt(screen rectangle of the pressed header);       // or SetBounds and BeginDrag
//   Box->BeginDrag(mouse X, mouse Y (screen), false, Column);   // shown, mouse captured
//   ... the box follows the mouse: OnMove(Box, screen X, screen Y) on every move, where the
//       grid calls ShowColumnDropArrows / HideColumnDropArrows for the drop position ...
//   left-button release: the box hides itself, then OnDrop(Box, screen X, screen Y).
// A drag ends without a drop by CancelDrag, by hiding a shown box (focus loss), when the mouse
// capture goes elsewhere, and when the column is destroyed.
#pragma once

#include <functional>
#include <memory>

#include "grid/NxColumns.h"
#include "grid/NxFlyoutControl.h"

class TDefaultStyleDisplay;

// A report of the drag box: Sender (the box) and a point in screen coordinates.
using TColumnDragEvent = std::function<void(TObject* Sender, int X, int Y)>;

class TColumnDragBox : public TNxFlyoutControl {
  T_CLASS(TColumnDragBox, TNxFlyoutControl)

 public:
  // AOwner is the grid: the box takes its font when a drag begins.
  explicit TColumnDragBox(TComponent* AOwner);
  ~TColumnDragBox() override;

  // The grid (the owner as a control; nullptr when the owner is none).
  TControl* Grid() const { return FGrid; }
  // The column being dragged (or last dragged); nullptr before the first drag and once the column
  // is destroyed.
  TNxCustomColumn* Column() const { return FColumn; }
  // The painter of the header image (classic header look, no sort sign), drawing on Canvas().
  TDefaultStyleDisplay* Display() const { return FDisplay.get(); }
  // A drag started by BeginDrag is in progress.
  bool Dragging() const { return FDragging; }

  // Starts dragging AColumn: the header image loses its sort sign, the box's canvas takes the
  // grid's font, the box shows (unless Hidden) where it stands, and it presses the left button on
  // itself at the mouse point X, Y (screen coordinates) so that it captures the mouse and gets
  // every following move and the release. EInvalidOperation without a column.
  void BeginDrag(int X, int Y, bool Hidden, TNxCustomColumn* AColumn);
  // Ends a drag without a drop: the box hides and lets the mouse go. Nothing without a drag.
  void CancelDrag();

  // Where the box went (its lower edge 4 pixels below the mouse, centred on it) and where it was
  // dropped: screen coordinates of the mouse.
  TColumnDragEvent OnDrop;
  TColumnDragEvent OnMove;

 protected:
  void Paint() override;
  void Dispatch(TMessage& Message) override;
  void CMVisibleChanged(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // While dragging: the box follows the mouse (OnMove first, then the move).
  void MouseMove(TShiftState Shift, int X, int Y) override;
  // While dragging, the left button's release: the box hides, then OnDrop. Other buttons do not
  // drop.
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void DoDrop(int X, int Y);
  virtual void DoMove(int X, int Y);

 private:
  void SetColumn(TNxCustomColumn* Value);

  TControl* FGrid = nullptr;
  TNxCustomColumn* FColumn = nullptr;
  std::unique_ptr<TDefaultStyleDisplay> FDisplay;
  bool FDragging = false;
  // Set while the left button's release runs (its capture release is no cancel).
  bool FReleasing = false;
};

// The direction of a drag arrow (TDragArrow::Direction).
inline constexpr Byte daNone = 0;  // no shape: a plain 9 x 9 square
inline constexpr Byte daUp = 1;    // points up: shown below the header
inline constexpr Byte daDown = 2;  // points down: shown above the header

// A red 9 x 9 arrow with its tip in column 4: pointing up (tip at the top) or down (tip at the
// bottom).
class TDragArrow : public TNxFlyoutControl {
  T_CLASS(TDragArrow, TNxFlyoutControl)

 public:
  explicit TDragArrow(TComponent* AOwner);

  Byte Direction() const { return FDirection; }
  // daNone, daUp or daDown (the shape follows); ERangeError for another value.
  void SetDirection(Byte Value);

 protected:
  void Paint() override;
  HRGN CreateShape() override;

 private:
  Byte FDirection = daNone;
};

// Shows the two drop arrows at a column boundary. X is the boundary's screen x, HeaderTop the
// header's top edge in screen coordinates and HeaderHeight its height: TopArrow (pointing down)
// goes to (X - 4, HeaderTop - 12) above the header, BottomArrow (pointing up) to
// (X - 4, HeaderTop + HeaderHeight - 1) below it, both keeping their sizes and pointing at X.
// Either arrow may be nullptr.
void ShowColumnDropArrows(TDragArrow* TopArrow, TDragArrow* BottomArrow, int X, int HeaderTop, int HeaderHeight);
// Hides both (either may be nullptr).
void HideColumnDropArrows(TDragArrow* TopArrow, TDragArrow* BottomArrow);
