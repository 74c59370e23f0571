// TBodyRowWalk: the shown rows of the grid's body from the first visible row downwards, each with
// its top and its pitch. It is the one walk behind the row geometry (row tops, the row under a
// point, the rows that fit a page ...). Hidden rows are skipped through the grid's search for
// the next shown row, and the callers stop it at the body's bottom, so a walk visits no more rows
// than the body shows, however many rows the grid holds. Win32.
#pragma once

class TNxCustomGridControl;

class TBodyRowWalk {
 public:
  // Starts above the first visible row; the first Next moves to it. With PastLast the walk goes
  // on after the last row with empty rows of the default row size (as the body paints them).
  explicit TBodyRowWalk(TNxCustomGridControl* Grid, bool PastLast = false);

  // Moves to the next shown row; False when the rows ran out (never with PastLast).
  bool Next();
  // The current row, its top, its pitch (height, or slide size) and the top of the row after it
  // (its pitch plus the grid lines between rows).
  int Row() const { return FRow; }
  int Top() const { return FTop; }
  int Pitch() const { return FPitch; }
  int NextTop() const { return FTop + FPitch + FGap; }
  // The row is one of the grid's rows (not an empty row past the last).
  bool Exists() const { return FRow < FRows; }

 private:
  TNxCustomGridControl* FGrid;
  bool FPastLast;
  int FRows;
  int FGap;
  int FRow;
  int FTop;
  int FPitch = 0;
  bool FStarted = false;
};
