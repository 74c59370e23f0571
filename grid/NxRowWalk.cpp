#include "grid/NxRowWalk.h"

#include "grid/NxCustomGridControl.h"

TBodyRowWalk::TBodyRowWalk(TNxCustomGridControl* Grid, bool PastLast)
    : FGrid(Grid),
      FPastLast(PastLast),
      FRows(Grid->GetRowCount()),
      FGap(Grid->RowGap()),
      FRow(Grid->FirstVisibleRow()),
      FTop(Grid->GetBodyRect().Top + Grid->TopLine()) {}

bool TBodyRowWalk::Next() {
  int R = FRow;
  if (FStarted) {
    FTop += FPitch + FGap;
    ++R;
  }
  FStarted = true;
  R = FGrid->NextShownRow(R);
  if (R >= FRows && !FPastLast) {
    FRow = FRows;
    FPitch = 0;
    return false;
  }
  FRow = R;
  FPitch = FGrid->GetRowPitch(R);
  return true;
}
