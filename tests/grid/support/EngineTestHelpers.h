// Helpers of the grid engine's window tests: a shown form with a grid of several fixed-width text
// columns (and one whose cells can be edited), an event recorder, the region a window has marked
// for repainting, real presses, drags and clicks (with modifier keys held, on scroll bars), and
// the hint window's place.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GridTestHelpers.h"
#include "framework/Strings.h"
#include "grid/NxColumnDragBox.h"

namespace enginetest {

using uitest::Pump;
using uitest::Settle;
using uitest::TCapture;
using uitest::WaitFor;
using gridtest::ButtonAt;
using gridtest::MovePointerSettled;
using gridtest::PointerSettledTo;
using gridtest::SendButtons;
using gridtest::SettledClick;

// Adds Rows rows to the grid, holding "r<row>c<col>".
inline void FillRows(TNxGrid* G, int Rows) {
  for (int R = 0; R < Rows; ++R) {
    const int Row = G->AddRow(1);
    for (int C = 0; C < G->Columns()->Count(); ++C)
      G->SetCells(C, Row, L"r" + std::to_wstring(Row) + L"c" + std::to_wstring(C));
  }
}

// A form with a grid of Cols text columns, each ColumnWidth pixels wide and not auto-sized, with
// the given options; the rows hold "r<row>c<col>". With Editing the columns have coEditing (a
// click on a cell then opens its editor). Given a Host form (shown already: another one's), the
// grid goes on that form, and only the grid and its columns are freed at the end (for tests that
// go through many grids in turn).
struct TEngineForm {
  TForm* Form;
  TNxGrid* Grid;
  std::vector<TNxTextColumn*> Columns;

  explicit TEngineForm(int Cols = 3, TGridOptions Options = {goHeader}, int Width = 300, int Height = 200,
                       int ColumnWidth = 80, bool Editing = false, TForm* Host = nullptr)
      : FHosted(Host != nullptr) {
    Form = Host != nullptr ? Host : new TForm(nullptr);
    if (Host == nullptr) Form->SetBounds(100, 80, Width + 40, Height + 60);
    Grid = new TNxGrid(Form);
    Grid->SetBounds(10, 10, Width, Height);
    Grid->SetBorderStyle(bsNone);
    Grid->SetOptions(Options);
    Grid->SetParent(Form);
    for (int C = 0; C < Cols; ++C) {
      auto* Col = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
      Col->SetOptions({coCanClick, coCanInput, coCanSort, coPublicUsing});
      if (Editing) Col->SetOptions(Col->Options() + coEditing);
      Col->SetWidth(ColumnWidth);
      Col->Header()->SetCaption(L"Col " + std::to_wstring(C));
      Columns.push_back(Col);
    }
    if (FHosted) {
      FWatches.push_back(std::make_unique<TFreeWatch>(Grid));
      for (TNxTextColumn* C : Columns) FWatches.push_back(std::make_unique<TFreeWatch>(C));
    } else {
      Form->Show();
      realinput::BringToFront(Form->Handle());
    }
    Settle(Form->Handle());
  }
  ~TEngineForm() {
    if (FHosted) {
      // The grid first (unless it went already), then the columns it had.
      if (!FWatches[0]->Freed()) delete Grid;
      for (std::size_t I = 1; I < FWatches.size(); ++I)
        if (!FWatches[I]->Freed()) delete Columns[I - 1];
      FWatches.clear();
    } else {
      delete Form;
    }
    Pump();
  }
  TEngineForm(const TEngineForm&) = delete;
  TEngineForm& operator=(const TEngineForm&) = delete;

  HWND Window() const { return Grid->Handle(); }
  void Fill(int Rows) {
    FillRows(Grid, Rows);
    Settle(Window());
  }
  // The middle of a cell, in grid client coordinates.
  TPoint CellPoint(int Col, int Row) {
    const TRect R = Grid->GetCellRect(Col, Row);
    return Point((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
  }
  // Gives the grid the keyboard focus with a real click on a cell.
  bool FocusByClick(int Col, int Row) {
    const TPoint P = CellPoint(Col, Row);
    SettledClick(Window(), P.X, P.Y);
    return WaitFor([&] { return Grid->IsFocused() && Grid->SelectedRow() == Row; });
  }

 private:
  bool FHosted;
  std::vector<std::unique_ptr<TFreeWatch>> FWatches;
};

// --- real pointer steps: press, move with the button held, release

inline POINT ScreenPoint(HWND W, int X, int Y) {
  POINT P{X, Y};
  ClientToScreen(W, &P);
  return P;
}

// The last point the pointer was sent to (screen): the release happens there.
inline POINT LastPointer{};

// Moves the pointer to a screen point (a button may be held) and waits until it stays.
inline bool PointerToScreen(POINT S) {
  LastPointer = S;
  return MovePointerSettled(S);
}

// The same for a client point of W.
inline bool PointerTo(HWND W, int X, int Y) { return PointerToScreen(ScreenPoint(W, X, Y)); }

inline bool Press(HWND W, int X, int Y, DWORD Button = MOUSEEVENTF_LEFTDOWN) {
  if (!realinput::BringToFront(W) || !PointerTo(W, X, Y)) return false;
  SendButtons({ButtonAt(LastPointer, Button)});
  return true;
}

inline void Release(DWORD Button = MOUSEEVENTF_LEFTUP) { SendButtons({ButtonAt(LastPointer, Button)}); }

// Press, the given moves with the left button held, release at the last point.
inline bool Drag(HWND W, TPoint From, const std::vector<TPoint>& Moves) {
  if (!Press(W, From.X, From.Y)) return false;
  for (const TPoint& P : Moves)
    if (!PointerTo(W, P.X, P.Y)) return false;
  Release();
  return true;
}

// A real click at a screen point (on a window's frame or scroll bar as much as in a client
// area): the window there comes to the front, then the press and the release.
inline bool ClickScreen(POINT S, bool Right = false) {
  if (!realinput::BringToFront(WindowFromPoint(S)) || !PointerToScreen(S)) return false;
  SendButtons({ButtonAt(S, Right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN),
               ButtonAt(S, Right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP)});
  return true;
}

// The screen point in the middle of a window's scroll bar arrow: the vertical bar's lower or
// upper one, the horizontal bar's right or left one.
inline POINT ScrollArrowPoint(HWND W, bool Vertical, bool Forward) {
  SCROLLBARINFO Info{};
  Info.cbSize = sizeof(Info);
  GetScrollBarInfo(W, Vertical ? OBJID_VSCROLL : OBJID_HSCROLL, &Info);
  const RECT& R = Info.rcScrollBar;
  const int Half = Info.dxyLineButton / 2;
  if (Vertical) return POINT{(R.left + R.right) / 2, Forward ? R.bottom - 1 - Half : R.top + Half};
  return POINT{Forward ? R.right - 1 - Half : R.left + Half, (R.top + R.bottom) / 2};
}

// With a column drag running, moves the pointer to a client point of the grid and waits until
// the drag box stands there (its lower edge 4 pixels below the pointer, centred on it) and the
// pointer stays put. Under Wine on X, the box moving under the pointer can report an old pointer
// position once more, which moves the box back; the pointer is then moved again.
inline bool DragBoxTo(TNxGrid* G, int X, int Y) {
  const POINT S = ScreenPoint(G->Handle(), X, Y);
  TColumnDragBox* Box = G->DragBox();
  auto Settled = [&] {
    POINT C;
    GetCursorPos(&C);
    return C.x == S.x && C.y == S.y && Box->Left() == S.x - Box->ClientWidth() / 2 &&
           Box->Top() == S.y - Box->ClientHeight() + 4;
  };
  for (int Try = 0; Try < 5; ++Try) {
    if (!PointerTo(G->Handle(), X, Y)) return false;
    if (WaitFor(Settled, 500) && MovePointerSettled(S) && Settled()) return true;
  }
  return false;
}

// The hint window's place on the screen, or an empty rectangle while it is hidden.
inline TRect ShownHintRect(TNxCustomGrid* G) {
  THintWindow* H = G->HintWindow();
  if (H == nullptr || !H->HandleAllocated() || !IsWindowVisible(H->Handle())) return TRect{};
  RECT R;
  GetWindowRect(H->Handle(), &R);
  return TRect{R.left, R.top, R.right, R.bottom};
}

// Records events as short words, in order.
struct TEventLog {
  std::vector<std::string> Items;
  void Add(const std::string& S) { Items.push_back(S); }
  static std::string Cell(const char* Name, int C, int R) {
    return std::string(Name) + ":" + std::to_string(C) + "," + std::to_string(R);
  }
  // OnBeforeSelect, OnDeselectCell, OnSelectCell and OnInputSelectCell.
  void AttachSelection(TNxCustomGridControl* G) {
    G->OnBeforeSelect = [this](TObject*, int C, int R, bool&) { Add(Cell("before", C, R)); };
    G->OnDeselectCell = [this](TObject*, int C, int R) { Add(Cell("deselect", C, R)); };
    G->OnSelectCell = [this](TObject*, int C, int R) { Add(Cell("select", C, R)); };
    G->OnInputSelectCell = [this](TObject*, int C) { Add("input:" + std::to_string(C)); };
  }
  std::string Joined() const {
    std::string S;
    for (const auto& I : Items) S += (S.empty() ? "" : " ") + I;
    return S;
  }
  void Clear() { Items.clear(); }
};

// The bounding box of what the window has marked for repainting (empty when nothing).
inline TRect UpdateBox(HWND W) {
  RECT R{};
  if (!GetUpdateRect(W, &R, FALSE)) return TRect{};
  return TRect{R.left, R.top, R.right, R.bottom};
}

// True when the point lies in the region the window has marked for repainting.
inline bool MarkedForRepaint(HWND W, int X, int Y) {
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  const int Kind = GetUpdateRgn(W, Rgn, FALSE);
  const bool In = Kind != NULLREGION && Kind != ERROR && PtInRegion(Rgn, X, Y);
  DeleteObject(Rgn);
  return In;
}

// Validates everything the window has marked, without painting, so that the next operation's
// repaint request stands alone.
inline void ForgetRepaint(HWND W) {
  Pump();
  ValidateRect(W, nullptr);
}

// A real click with a modifier key (VK_SHIFT, VK_CONTROL) held, or two.
inline bool ClickWith(HWND W, int X, int Y, std::vector<WORD> Modifiers) {
  if (!realinput::BringToFront(W)) return false;
  POINT P{X, Y};
  ClientToScreen(W, &P);
  if (!MovePointerSettled(P)) return false;
  std::vector<INPUT> In;
  for (WORD M : Modifiers) {
    INPUT K{};
    K.type = INPUT_KEYBOARD;
    K.ki.wVk = M;
    In.push_back(K);
  }
  In.push_back(ButtonAt(P, MOUSEEVENTF_LEFTDOWN));
  In.push_back(ButtonAt(P, MOUSEEVENTF_LEFTUP));
  for (auto It = Modifiers.rbegin(); It != Modifiers.rend(); ++It) {
    INPUT K{};
    K.type = INPUT_KEYBOARD;
    K.ki.wVk = *It;
    K.ki.dwFlags = KEYEVENTF_KEYUP;
    In.push_back(K);
  }
  SendInput(static_cast<UINT>(In.size()), In.data(), sizeof(INPUT));
  Pump();
  return true;
}

// A real key press. The messages it makes are handled by the application's own loop (Pump), as
// in the program, so that dialog keys (Tab leaving a control) take their usual road.
inline void PressKey(WORD Vk) {
  INPUT In[2]{};
  In[0].type = In[1].type = INPUT_KEYBOARD;
  In[0].ki.wVk = In[1].ki.wVk = Vk;
  In[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, In, sizeof(INPUT));
  Pump();
}

// A real key press with a modifier held (Shift+Tab, Ctrl+A ...).
inline void KeyWith(WORD Modifier, WORD Vk) {
  INPUT In[4]{};
  for (auto& I : In) I.type = INPUT_KEYBOARD;
  In[0].ki.wVk = Modifier;
  In[1].ki.wVk = Vk;
  In[2].ki.wVk = Vk;
  In[2].ki.dwFlags = KEYEVENTF_KEYUP;
  In[3].ki.wVk = Modifier;
  In[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, In, sizeof(INPUT));
  Pump();
}

// Types text with real key presses (letters and digits).
inline void TypeText(const std::string& Text) {
  for (char Ch : Text) {
    const SHORT V = VkKeyScanA(Ch);
    const WORD Vk = static_cast<WORD>(V & 0xFF);
    if ((V & 0x100) != 0)
      KeyWith(VK_SHIFT, Vk);
    else
      PressKey(Vk);
  }
}

// A form whose columns can be edited (a click on a cell opens its editor), filled with Rows rows.
struct TEditingForm : TEngineForm {
  explicit TEditingForm(int Cols = 3, TGridOptions Options = {goHeader, goGrid}, int Rows = 4, int Width = 300,
                        int Height = 200, TForm* Host = nullptr)
      : TEngineForm(Cols, Options, Width, Height, 80, true, Host) {
    Fill(Rows);
  }
  TNxCustomEdit* Editor() { return Grid->InplaceEditor(); }
  bool EditorFocused() { return Editor() != nullptr && GetFocus() == Editor()->Handle(); }
  // Opens the editor with a real click on the cell.
  bool ClickToEdit(int Col, int Row) {
    const TPoint P = CellPoint(Col, Row);
    SettledClick(Window(), P.X, P.Y);
    return WaitFor([&] { return Grid->EditCol() == Col && Grid->EditRow() == Row && EditorFocused(); });
  }
  // Opens the input line's editor of a column and types Text into it.
  bool TypeIntoInputLine(int Col, const std::string& Text) {
    Grid->SetFocus();
    Grid->EditInputCell(Columns[static_cast<std::size_t>(Col)]);
    if (!WaitFor([&] { return EditorFocused(); })) return false;
    TypeText(Text);
    return WaitFor([&] { return Editor()->Text() == AnsiToWide(Text); });
  }
};

// A named change of a form's grid: a row of a table of cases.
template <class Form = TEngineForm>
struct TFormChange {
  const char* Name;
  std::function<void(Form&)> Change;
};

}  // namespace enginetest
