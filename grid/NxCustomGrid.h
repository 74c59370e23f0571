// TNxCustomGrid: what the user does on the grid with the mouse and the keyboard: the hit test
// that divides the client area into header, input line, body, footer and indicator, presses and
// releases with the selection they make, header click sorting, keyboard navigation, wheel
// scrolling, and the size and focus messages. Win32.
#pragma once

#include "grid/NxCustomGridControl.h"

class TNxCustomGrid : public TNxCustomGridControl {
  T_CLASS(TNxCustomGrid, TNxCustomGridControl)

 public:
  explicit TNxCustomGrid(TComponent* AOwner);
  ~TNxCustomGrid() override;

  // --- hit tests (client coordinates)
  TGridArea GetAreaAtPos(TPoint P);
  // The visible column under X (fixed columns do not scroll), or nullptr.
  TNxCustomColumn* GetColumnAtPos(TPoint P);
  // The visible column whose right edge R has R - 3 <= X <= R + 2 (and no coFixedSize), or nullptr.
  TNxCustomColumn* GetSizingColumn(int X);
  // The shown row under (X, Y) in the body, or -1.
  int GetRowAtPos(int X, int Y);
  // (column index or -1, row or -1).
  TPoint GetCellAtPos(TPoint P);

  // Rows whose cell text starts with Text (letter case ignored), from the row after the
  // selected one (or from the top), wrapping; selects and shows the first match.
  bool SearchText(TNxCustomColumn* Column, const WideString& Text, bool FromStart);

  TPoint DownPoint() const { return FDownPoint; }
  TPoint DownCell() const { return FDownCell; }

 protected:
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void WMVScroll(TMessage& Message) override;
  void WMSize(TMessage& Message) override;
  void WMSetFocus(TMessage& Message) override;
  void WMKillFocus(TMessage& Message) override;
  void CMMouseEnter(TMessage& Message) override;
  void CMMouseLeave(TMessage& Message) override;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(wchar_t& Key) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

  // The key map of navigation (arrows, pages, Home and End, Tab, Ctrl+A).
  virtual void KeyNavigate(Word& Key, TShiftState Shift);
  // A press outside every area (empty here).
  virtual void OutsidePress() {}

 private:
  void BodyPress(TMouseButton Button, TShiftState Shift);
  void BodyRelease(int X, int Y);
  void HeaderPress(TMouseButton Button, TShiftState Shift);

  TNxCustomColumn* FPressedColumn = nullptr;
  TNxCustomColumn* FClickColumn = nullptr;
  TPoint FDownPoint{-1, -1};
  TPoint FDownCell{-1, -1};
  TPoint FHoverCell{-1, -1};
  TPoint FMousePos;
  int FMoveRow = -1;
  int FSizingRow = -1;
  int FOldClientHeight = 0;
  int FOldClientWidth = 0;
  bool FDeferredSelect = false;
  bool FClickOnSelected = false;
  WideString FSearchText;
  TTimer* FSearchTimer = nullptr;
};
