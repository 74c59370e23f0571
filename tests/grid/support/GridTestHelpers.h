// Helpers of the grid's window tests: a shown form with a grid set up like the channel list,
// clicks posted as messages, and real pointer moves and clicks that wait for the pointer to
// settle, on top of the shared window-test helpers (uitest) and real input (realinput).
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "grid/NxColumnClasses.h"
#include "grid/NxGrid.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace gridtest {

using uitest::Pump;
using uitest::Settle;
using uitest::TCapture;
using uitest::WaitFor;

// An environment variable's whole number (Default when it is unset or empty).
inline int EnvInt(const char* Name, int Default) {
  const char* V = std::getenv(Name);
  return V != nullptr && *V != 0 ? std::atoi(V) : Default;
}

// A click posted to the window as its press and release messages.
inline void PostClick(HWND W, int X, int Y, bool Right = false) {
  const LPARAM Pos = MAKELPARAM(X, Y);
  PostMessageW(W, Right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, Right ? MK_RBUTTON : MK_LBUTTON, Pos);
  PostMessageW(W, Right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, Pos);
  Pump();
}

using realinput::ButtonAt;
using realinput::MovePointerSettled;
using realinput::PointerSettledTo;
using realinput::SendButtons;
using realinput::SettledClick;

// A form with a grid set up as the channel list is: one auto-sized text column, no header,
// grid lines in white (active rows only), white inactive selection.
struct TChannelListForm {
  TForm* Form;
  TNxGrid* Grid;
  TNxTextColumn* Column;

  TChannelListForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(120, 80, 360, 260);
    Grid = new TNxGrid(Form);
    Grid->SetAlign(alRight);
    Grid->SetWidth(140);
    Grid->SetGridLinesColor(clWhite);
    Grid->SetGridLinesStyle(lsActiveRows);
    Grid->SetInactiveSelectionColor(clWhite);
    Grid->SetOptions({});
    Grid->SetSlidesOptions({soHideSelection});
    Grid->SetTabStop(true);
    Grid->SetParent(Form);
    Column = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
    Column->SetWidth(138);
    Column->SetDefaultWidth(138);
    Column->SetPosition(0);
    Column->SetSortType(stAlphabetic);
    Column->SetOptions({coAutoSize, coCanClick, coCanInput, coCanSort, coPublicUsing, coShowTextFitHint});
    Form->Show();
    realinput::BringToFront(Form->Handle());
    Settle(Form->Handle());
  }
  ~TChannelListForm() {
    delete Form;
    Pump();
  }
  TChannelListForm(const TChannelListForm&) = delete;
  TChannelListForm& operator=(const TChannelListForm&) = delete;

  HWND GridWindow() const { return Grid->Handle(); }
  void AddLines(const std::vector<std::wstring>& Lines) {
    for (const std::wstring& L : Lines) {
      const int R = Grid->AddRow(1);
      Grid->SetCells(0, R, L);
    }
    Settle(Grid->Handle());
  }
  // A point in the middle of a row's cell, in grid client coordinates.
  TPoint RowPoint(int Row) {
    const TRect R = Grid->GetCellRect(0, Row);
    return Point((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
  }
};

}  // namespace gridtest
