// Parents with a child each, for the test and the benchmark of what collapsing and deleting
// parents cost wherever the rows lie: N parents "p0", "p1", ... each with its child "c0", "c1",
// ... right under it (kept together). Sorted by the text, every child comes before every parent,
// N rows away from it (sorted apart).
#pragma once

#include <string>

#include "grid/NxGrid.h"

namespace parentrows {

inline void AddParentsWithAChild(TNxGrid* Grid, int N) {
  Grid->BeginUpdate();
  for (int I = 0; I < N; ++I) {
    const int P = Grid->AddRow(1);
    Grid->SetCells(0, P, L"p" + std::to_wstring(I));
    Grid->AddChildRow(P);
    Grid->SetCells(0, P + 1, L"c" + std::to_wstring(I));
  }
  Grid->EndUpdate();
}

// Every parent of the N collapses, one by one.
inline void CollapseEveryParent(TNxGrid* Grid, int N, bool Apart) {
  for (int I = 0; I < N; ++I) Grid->SetExpanded(Apart ? N + I : 2 * I, false);
}

// Every parent goes with its child, the first one left each time: the first row, or, sorted
// apart, the row after the children left.
inline void DeleteEveryParent(TNxGrid* Grid, int N, bool Apart) {
  for (int I = 0; I < N; ++I) Grid->DeleteRow(Apart ? Grid->RowCount() / 2 : 0);
}

}  // namespace parentrows
