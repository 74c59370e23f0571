#include "grid/NxCustomGridControl.h"

#include <algorithm>
#include <utility>

#include "framework/Scopes.h"

// In-place editing of the grid engine: the cell and input-line editors.

// ---------------------------------------------------------------------------------------------
// In-place editing

TNxCustomEdit* TNxCustomGridControl::GetColumnEditor(TNxCustomColumn* Column) {
  if (Column == nullptr) return nullptr;
  if (Column->InplaceEdit() != nullptr) return Column->InplaceEdit();
  if ((Column->GetColumnCapabilities() & cpEditor) != 0) return Column->Editor();
  return nullptr;
}

void TNxCustomGridControl::AttachEditor(TNxCustomEdit* Editor) {
  if (FInplaceEditor == Editor) return;
  DetachEditor();
  FInplaceEditor = Editor;
  if (Editor == nullptr) return;
  Editor->OnChange = nullptr;
  // What the editor held goes before it hides: no road after this takes an old text for a new
  // one (hiding a focused editor moves the focus, and the focus leaving commits).
  {
    TFlagScope Suppress(FSuppressEditEvent);
    Editor->SetText(WideString());
  }
  HideEditor(Editor);
  Editor->SetParent(this);
  Editor->SetWantTabs(FWantTabs);
}

void TNxCustomGridControl::DetachEditor() {
  FInplaceEditor = nullptr;
}

void TNxCustomGridControl::HookEditorEvents() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr) return;
  // The editor's events arrive with the editor's messages: each enters the grid from outside.
  E->OnChange = [this](TObject* S) { Action(false, [&] { EditorChange(S); }); };
  E->OnEnter = [this](TObject* S) { Action(false, [&] { EditorEnter(S); }); };
  E->OnExit = [this](TObject* S) { Action(false, [&] { EditorExit(S); }); };
  // A key is an action of its own (KeyAction). One whose handlers free the grid, or the editor
  // (with its column), or spend it is consumed: nothing of either is touched any more, and the
  // editor does not take it.
  auto EditorKey = [this](TObject* S, auto& Key, bool Down, auto&& Body) {
    auto* C = static_cast<TWinControl*>(S);
    const TControl::TLifeWatch Editor(C);
    const HWND Window = C->HandleAllocated() ? C->Handle() : nullptr;
    bool Stands = true;
    if (!Action(true, [&] { Stands = KeyAction(Window, Down, Body); }) || Editor.Freed() || !Stands) Key = 0;
  };
  E->OnKeyDown = [this, EditorKey](TObject* S, Word& Key, TShiftState Shift) {
    EditorKey(S, Key, true, [&] { EditorKeyDown(S, Key, Shift); });
  };
  E->OnKeyPress = [this, EditorKey](TObject* S, wchar_t& Key) {
    if (!FHandingKey) EditorKey(S, Key, false, [&] { EditorKeyPress(S, Key); });
  };
  E->OnKeyUp = [this, EditorKey](TObject* S, Word& Key, TShiftState Shift) {
    EditorKey(S, Key, false, [&] { EditorKeyUp(S, Key, Shift); });
  };
}

void TNxCustomGridControl::TakeColumnEditor(TNxCustomColumn* Column, TColor Color, bool InputLine) {
  if (Column->InplaceEdit() != nullptr) {
    AttachEditor(Column->InplaceEdit());
    if (!FOptions.Contains(goInplaceEditEvents)) HookEditorEvents();
    return;
  }
  TNxCustomEdit* E = Column->Editor();
  AttachEditor(E);
  HookEditorEvents();
  Column->PrepareEditor(E);
  E->SetColor(Color);
  E->SetFont(Column->Font());
  if (InputLine) E->Font()->SetColor(Column->Font()->Color());
}

void TNxCustomGridControl::TypeIntoEditor(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (FInplaceEditor == nullptr) return;
  const HWND Window = FInplaceEditor->Handle();
  Dispatching([&] { SendMessageW(Window, Msg, WParam, LParam); });
}

void TNxCustomGridControl::TypeTextIntoEditor(const WideString& Text) {
  if (FInplaceEditor != nullptr && FInplaceEditor->Text() != Text)
    TypeIntoEditor(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Text.c_str()));
}

void TNxCustomGridControl::HandKeyToEditor(wchar_t Key) {
  // The key's action is the edit it opens now. Its handlers ran already: the editor takes it as
  // typing (which may change anything), not as a key of its own.
  KeyMovesOn();
  FHandingKey = true;
  Undoing([&] { TypeIntoEditor(WM_CHAR, static_cast<WPARAM>(Key), 0); }, [&] { FHandingKey = false; });
  FHandingKey = false;
}

void TNxCustomGridControl::SetEditorText(const WideString& Text) {
  if (FInplaceEditor == nullptr) return;
  TFlagScope Suppress(FSuppressEditEvent);
  if (FInplaceEditor->Text() != Text) FInplaceEditor->SetText(Text);
}

void TNxCustomGridControl::AbandonEditing() {
  // The edit state without an editor: back to no edit at all.
  FGridState.Exclude(gsEditing);
  FGridState.Exclude(gsInputEditing);
  if (FColumns->IsValidIndex(FInputColumn)) FColumns->Item(FInputColumn)->SetInputEditing(false);
  FEditCol = FEditRow = FInputColumn = -1;
  FInplaceEditor = nullptr;
  FEditColumn = nullptr;
}

void TNxCustomGridControl::HideEditor(TNxCustomEdit* Editor) {
  if (Editor == nullptr) return;
  if (Editor->HandleAllocated() && GetFocus() == Editor->Handle() && CanFocus()) Dispatching([&] { SetFocus(); });
  Editor->SetVisible(false);
}

void TNxCustomGridControl::RefreshEditedCell() {
  if (FGridState.Contains(gsInputEditing) && FColumns->IsValidIndex(FInputColumn))
    RefreshRect(GetInputCellRect(FColumns->Item(FInputColumn)));
  else if (FGridState.Contains(gsEditing) && FColumns->IsValidIndex(FEditCol) && FEditRow >= 0 && FEditRow < GetRowCount())
    RefreshCell(FEditCol, FEditRow);
}

void TNxCustomGridControl::DropEdit() {
  RefreshEditedCell();
  TNxCustomEdit* E = FInplaceEditor;
  AbandonEditing();
  HideEditor(E);
}

void TNxCustomGridControl::FollowEditedColumn() {
  // Watched cells whose column went follow it no more.
  ForWatchedCells([&](TCellWatch& W) {
    if (W.Column != nullptr && FColumns->IndexOf(W.Column) < 0) W.Column = nullptr;
  });
  if (!IsEditing() || FEditColumn == nullptr) return;
  const int Index = FColumns->IndexOf(FEditColumn);
  if (Index >= 0) {
    FEditCol = Index;
    if (FGridState.Contains(gsInputEditing)) FInputColumn = Index;
    return;
  }
  // The column went with the editor open: what it held goes nowhere.
  FInputColumn = -1;
  DropEdit();
}

void TNxCustomGridControl::FocusEditor() {
  // The editor takes the keys when the grid has them; a grid without the focus keeps it where it
  // is.
  TNxCustomEdit* E = FInplaceEditor;
  if (E != nullptr && IsFocused() && E->Visible() && E->CanFocus() && GetFocus() != E->Handle())
    Dispatching([&] { E->SetFocus(); });
}

bool TNxCustomGridControl::BeginCellEditor(int ACol, int ARow) {
  if (!FColumns->IsValidIndex(ACol) || ARow < 0 || ARow >= GetRowCount()) return false;
  // The cell asked for, followed while the handlers on the way change what they like: before each
  // step it must still take an editor, and the editor must be seen over it.
  const TCellWatch Cell(this, FColumns->Item(ACol), ARow);
  auto Takes = [&] {
    if (!Cell.Exists()) return false;
    TNxCustomColumn* Column = Cell.Column;
    const int Col = Cell.Col();
    if (FGridState.Contains(gsEditing) && Col == FEditCol && Cell.Row == FEditRow) return false;
    return Column->Enabled() && Column->Visible() && GetColumnEditor(Column) != nullptr &&
           Column->Options().Contains(coEditing) && !FReadOnly && CanEditCell(Col, Cell.Row) && RowCanBeSeen(Cell.Row);
  };
  if (!Takes()) return false;
  bool Accept = true;
  DoBeforeEdit(Cell.Col(), Cell.Row, Accept);
  if (!Accept || !Takes()) return false;
  if (!CloseOtherEditor() || !Takes()) return false;
  // The editor stands over a cell the user sees: a row out of the view comes into it first.
  int Top = 0;
  if (!GetVisibleRowTop(Cell.Row, Top) || Cell.Row > GetLastFullyVisibleRow()) {
    ScrollToRow(Cell.Row);
    if (!Takes()) return false;
  }
  FGridState.Include(gsEditing);
  FEditCol = Cell.Col();
  FEditRow = Cell.Row;
  FEditColumn = Cell.Column;
  ++FEditSession;
  return true;
}

bool TNxCustomGridControl::CloseOtherEditor() {
  // The editor being closed (an end handler opens the next one) is let go as it stands: what it
  // held was written back or discarded already.
  if (EditEnding()) {
    DropEdit();
    return true;
  }
  // An editor open elsewhere is committed and closed first; one that refuses to close stays.
  CommitEditing();
  return !IsEditing();
}

void TNxCustomGridControl::EditCell(int ACol, int ARow, const WideString& InitialText) {
  Operation([&] {
    if (!BeginCellEditor(ACol, ARow)) return;
    const unsigned Session = FEditSession;
    TNxCustomColumn* Column = FEditColumn;
    const WideString Own = GetCells(FEditCol, FEditRow);
    WideString Text = InitialText.empty() ? Own : InitialText;
    TakeColumnEditor(Column, GetCellOwnColor(FEditCol, FEditRow), false);
    TNxCustomEdit* E = FInplaceEditor;
    if (E == nullptr) {
      AbandonEditing();
      return;
    }
    // The editor holds its cell's text from the start: an end that a handler brings about
    // meanwhile writes nothing new.
    SetEditorText(Own);
    // A step whose handlers fail leaves no edit half open; False when its handlers ended the edit.
    auto Step = [&](auto&& Body) {
      Undoing(Body, [&] {
        if (EditAlive(Session)) DropEdit();
      });
      return EditAlive(Session);
    };
    if (!Step([&] { DoApplyEditText(FEditCol, FEditRow, Text); })) return;
    // The text the grid loads does not count as an edit; a text the program gives does (and its
    // handlers may change anything).
    if (InitialText.empty())
      SetEditorText(Text);
    else if (!Step([&] { TypeTextIntoEditor(Text); }))
      return;
    {
      TFlagScope Suppress(FSuppressEditEvent);
      EditorShowing();
      PlaceEditor();
      Column->EditorShown(E);
    }
    FocusEditor();
    if (!EditAlive(Session)) return;
    if (Column->Options().Contains(coEditorAutoSelect))
      E->SelectAll();
    else
      E->PlaceCaretAtEnd();
    DoEditEnter();
  });
}

void TNxCustomGridControl::EditCellWithKey(int ACol, int ARow, wchar_t Key) {
  Operation([&] {
    if (!BeginCellEditor(ACol, ARow)) return;
    const unsigned Session = FEditSession;
    TakeColumnEditor(FEditColumn, GetCellOwnColor(FEditCol, FEditRow), false);
    TNxCustomEdit* E = FInplaceEditor;
    if (E == nullptr) {
      AbandonEditing();
      return;
    }
    PlaceEditor();
    FocusEditor();
    if (!EditAlive(Session)) return;
    // The typed character reaches the editor as typing does: it replaces the (empty) text.
    HandKeyToEditor(Key);
    if (!EditAlive(Session)) return;
    EditorShowing();
    E->PlaceCaretAtEnd();
    DoEditEnter();
  });
}

bool TNxCustomGridControl::BeginInputEditor(TNxCustomColumn* Column) {
  if (Column == nullptr || Column->Columns() != FColumns.get()) return false;
  if (!FOptions.Contains(goInput) || FGridStyle != gsReport || !Column->Visible()) return false;
  const TCellWatch Cell(this, Column, -1);
  // What is open is committed first, before the selection moves to the input line; the handlers
  // on the way may take the column away.
  if (!CloseOtherEditor() || Cell.Col() < 0) return false;
  SetInputSelected(true);
  if (Cell.Col() < 0) return false;
  SelectColumn(Cell.Col());
  if (Cell.Col() < 0 || IsEditing() || !Column->Visible() || !FOptions.Contains(goInput)) return false;
  if (GetColumnEditor(Column) == nullptr || !Column->Options().Contains(coCanInput) ||
      (Column->GetColumnCapabilities() & cpInput) == 0 || FReadOnly)
    return false;
  FGridState.Include(gsInputEditing);
  FEditColumn = Column;
  ++FEditSession;
  TakeColumnEditor(Column, Column->Color(), true);
  FInputColumn = Column->Index();
  Column->SetInputEditing(true);
  if (FInplaceEditor == nullptr) {
    AbandonEditing();
    return false;
  }
  return true;
}

bool TNxCustomGridControl::ShowInputEditor(TNxCustomColumn* Column, unsigned Session) {
  FEditCol = Column->Index();
  FEditRow = -1;
  PlaceEditor();
  FocusEditor();
  return EditAlive(Session);
}

void TNxCustomGridControl::EditInputCell(TNxCustomColumn* Column, const WideString& InitialText) {
  Operation([&] {
    if (!BeginInputEditor(Column)) return;
    const unsigned Session = FEditSession;
    TNxCustomEdit* E = FInplaceEditor;
    {
      TFlagScope Suppress(FSuppressEditEvent);
      E->SetText(InitialText.empty() ? Column->InputValue() : InitialText);
      Column->EditorShown(E);
    }
    if (!ShowInputEditor(Column, Session)) return;
    if (Column->Options().Contains(coEditorAutoSelect))
      E->SelectAll();
    else
      E->PlaceCaretAtEnd();
    DoInputSelectCell(Column->Index());
  });
}

void TNxCustomGridControl::EditInputCellWithKey(TNxCustomColumn* Column, wchar_t Key) {
  Operation([&] {
    if (!BeginInputEditor(Column)) return;
    const unsigned Session = FEditSession;
    TNxCustomEdit* E = FInplaceEditor;
    Column->EditorShown(E);
    if (!ShowInputEditor(Column, Session)) return;
    HandKeyToEditor(Key);
    if (!EditAlive(Session)) return;
    E->PlaceCaretAtEnd();
    DoInputSelectCell(Column->Index());
  });
}

bool TNxCustomGridControl::ApplyEditing() {
  bool Written = false;
  Operation([&] {
    TNxCustomEdit* E = FInplaceEditor;
    if (E == nullptr) return;
    if (FGridState.Contains(gsEditing)) {
      E->CompleteInput();
      WideString Text = E->Text();
      // The edit writes into the cell it was opened on, wherever the handlers move it, or nowhere
      // once it is gone; a nested commit of this edit (a handler's) only ends it.
      const TCellWatch Cell(this, FEditColumn, FEditRow);
      if (!Cell.Exists()) return;
      Cell.Column->EditorTextTaken(Text);
      const unsigned Applying = FApplying;
      FApplying = FEditSession;
      Undoing(
          [&] {
            bool Accept = true;
            DoEditAccept(Cell.Col(), Cell.Row, Text, Accept);
            if (!Accept || !Cell.Exists()) return;
            DoEditText(Cell.Col(), Cell.Row, Text);
            if (!Cell.Exists()) return;
            WriteEditedCell(Cell.Col(), Cell.Row, Text);
            Written = true;
            if (Cell.Exists()) DoAfterEdit(Cell.Col(), Cell.Row, Text);
          },
          [&] { FApplying = Applying; });
      FApplying = Applying;
      return;
    }
    if (FGridState.Contains(gsInputEditing) && FColumns->IsValidIndex(FInputColumn)) {
      TNxCustomColumn* Column = FColumns->Item(FInputColumn);
      WideString Text = E->Text();
      Column->EditorTextTaken(Text);
      Column->SetInputValue(Text);
      Column->SetInputEditing(false);
      Written = true;
    }
  });
  return Written;
}

void TNxCustomGridControl::WriteEditedCell(int ACol, int ARow, const WideString& Value) { SetCells(ACol, ARow, Value); }

void TNxCustomGridControl::EndEditing() {
  Operation([&] {
    // An edit being ended is not ended again (a handler of its end that ends it, deletes its row
    // or opens another editor).
    if (!IsEditing() || EditEnding()) return;
    const unsigned Session = FEditSession;
    const bool Body = FGridState.Contains(gsEditing);
    const unsigned Ending = FEnding;
    FEnding = Session;
    Undoing(
        [&] {
          if (Body && FInplaceEditor != nullptr) {
            bool Accept = true;
            WideString Value = FInplaceEditor->Text();
            DoEndEditing(FEditCol, FEditRow, Value, Accept);
            // A handler that ended the edit, or opened another, is followed.
            if (!EditAlive(Session)) return;
            SetEditorText(Value);
            if (!Accept) {
              FEnding = Ending;
              return;
            }
          }
          // The focus goes back to the grid before the editor hides, so that hiding it moves the
          // focus nowhere else.
          HideEditor(FInplaceEditor);
          if (!EditAlive(Session)) return;
          RefreshEditedCell();
          // The edit state ends after OnEditExit (which still sees the cell); a handler that opened
          // the next editor keeps that one.
          if (Body) DoEditExit();
          if (EditAlive(Session)) AbandonEditing();
        },
        [&] {
          if (EditAlive(Session)) FEnding = Ending;
        });
  });
}

void TNxCustomGridControl::CommitEditing() {
  Operation([&] {
    if (!IsEditing()) return;
    const unsigned Session = FEditSession;
    // An edit whose text is being written (a handler of that commits again) only ends.
    if (FApplying != Session) ApplyEditing();
    if (EditAlive(Session)) EndEditing();
  });
}

void TNxCustomGridControl::WriteAndEndEdit() {
  if (!IsEditing()) return;
  const unsigned Session = FEditSession;
  const std::exception_ptr Refused = ErrorOf([&] { CommitEditing(); });
  if (!Refused) return;
  if (EditAlive(Session)) EndEditing();
  std::rethrow_exception(Refused);
}

void TNxCustomGridControl::AddInputRow() {
  Operation([&] {
    bool Accept = true;
    DoInputAccept(Accept);
    if (!Accept) return;
    // The new row and the columns, followed while the handlers of each value change what they like.
    const TCellWatch Row(this, nullptr, GetRowCount());
    AddRow(1);
    std::vector<TNxCustomColumn*> Columns;
    for (int C = 0; C < FColumns->Count(); ++C) Columns.push_back(FColumns->Item(C));
    for (TNxCustomColumn* Col : Columns) {
      const TCellWatch Cell(this, Col, -1);
      if (Cell.Col() < 0) continue;
      const WideString V = Col->InputValue().empty() ? Col->DefaultValue() : Col->InputValue();
      if (!V.empty() && Row.Row >= 0 && Row.Row < GetRowCount()) SetCells(Cell.Col(), Row.Row, V);
      if (Cell.Col() >= 0) Col->SetInputValue(L"");
    }
    DoInputAdded();
  });
}

void TNxCustomGridControl::PlaceEditor() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr || !IsEditing() || !HandleAllocated()) return;
  // An edit being ended keeps an editor it hid out of sight (a handler of its end that changes the
  // layout shows no editor that is going).
  if (EditEnding() && !E->Visible()) return;
  // The window exists before the bounds are set (creating it fits an auto-sized edit's height
  // to its font).
  E->HandleNeeded();
  TRect R;
  if (FGridState.Contains(gsEditing)) {
    if (FEditCol < 0 || FEditRow < 0 || !FColumns->IsValidIndex(FEditCol) || FEditRow >= GetRowCount()) return;
    R = GetCellRect(FEditCol, FEditRow);
    const TRect B = GetBodyRect();
    const bool ColumnShown = FColumns->Item(FEditCol)->Visible();
    // Inside an update lock the view waits for the lock's end (which places the editor again).
    const bool OutOfView = FUpdateCount == 0 && (R.Bottom <= B.Top || R.Top >= B.Bottom);
    if (OutOfView || !RowCanBeSeen(FEditRow) || !ColumnShown) {
      // The cell went out of sight: the editor hides, and the focus stays with the grid (hiding the
      // focused editor would move it out and end the edit). A cell that scrolled out of the body or
      // whose row is hidden (or has no height) ends its edit as a hidden column does (that one ends
      // before it hides): what was typed is written back once the action settles.
      HideEditor(E);
      if (ColumnShown && FUnseenKept != FEditSession) FUnseen = FEditSession;
      return;
    }
    if (FUnseenKept == FEditSession) FUnseenKept = 0;
    R.Left += FLeftLine;
    R.Right -= FRightLine;
    if (!FOptions.Contains(goGrid)) --R.Bottom;
    R.Top = std::max(R.Top, B.Top);
  } else {
    if (!FColumns->IsValidIndex(FInputColumn)) return;
    R = GetInputCellRect(FColumns->Item(FInputColumn));
  }
  R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  R.Left = std::max(R.Left, 0);
  R.Right = std::min(R.Right, GetBodyRect().Right);
  E->SetBounds(R.Left, R.Top, std::max(R.Width(), 0), std::max(R.Height(), 0));
  const bool WasHidden = !E->Visible();
  E->SetVisible(true);
  E->Invalidate();
  // Back in view after it was hidden while the grid kept the focus: it takes the keys again.
  if (WasHidden && GetFocus() == Handle()) FocusEditor();
}

void TNxCustomGridControl::SettleEdit() {
  if (FUnseen == 0) return;
  const unsigned Unseen = std::exchange(FUnseen, 0);
  if (!EditAlive(Unseen) || EditEnding()) return;
  // The cell may have been out of sight only on the way (rows moved before the view followed
  // them): it is placed where the action leaves it, and ends only when it is out of sight there.
  PlaceEditor();
  if (std::exchange(FUnseen, 0) != Unseen || !EditAlive(Unseen)) return;
  FUnseenKept = Unseen;
  WriteAndEndEdit();
}

void TNxCustomGridControl::EditorChange(TObject* Sender) {
  if (FSuppressEditEvent || FInplaceEditor == nullptr) return;
  DoEdit(FEditCol, FEditRow, FInplaceEditor->Text());
}

void TNxCustomGridControl::EditorEnter(TObject* Sender) {
  if (!IsFocused()) InvalidateGrid();
}

void TNxCustomGridControl::EditorExit(TObject* Sender) {
  if (!IsFocused()) InvalidateGrid();
}

void TNxCustomGridControl::EditorKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  if (FInplaceEditor == nullptr || Sender != static_cast<TObject*>(FInplaceEditor)) return;
  const bool Input = FGridState.Contains(gsInputEditing);
  // The handlers on each road may change anything (a grid they free ends the key where it is).
  switch (Key) {
    case VK_TAB:
      CommitEditing();
      break;
    case VK_RETURN: {
      if (Shift.Contains(ssCtrl)) break;
      if (Input) {
        ApplyEditing();
        AddInputRow();
        if (FInplaceEditor != nullptr && FGridState.Contains(gsInputEditing) && FColumns->IsValidIndex(FInputColumn))
          SetEditorText(FColumns->Item(FInputColumn)->InputValue());
        break;
      }
      TNxCustomColumn* Column = FColumns->IsValidIndex(FEditCol) ? FColumns->Item(FEditCol) : nullptr;
      const bool KeepsEnter =
          Column != nullptr && ((Column->GetColumnCapabilities() & cpWantReturns) != 0 || Column->WantReturns());
      if (!KeepsEnter) {
        CommitEditing();
        if (!IsEditing() && CanFocus()) Dispatching([&] { SetFocus(); });
      }
      break;
    }
    case VK_PRIOR:
    case VK_NEXT:
      // A page key moves the selection, which closes the editor: what was typed is written back
      // first, as Tab, Enter and a click elsewhere do (only Escape discards). With the keys
      // disabled nothing moves, and the editor stays as it is.
      if (!FOptions.Contains(goDisableKeys)) CommitEditing();
      break;
    case VK_ESCAPE:
      if (FOptions.Contains(goEscClearEdit)) {
        TypeTextIntoEditor(WideString());
      } else {
        EndEditing();
        if (!IsEditing() && CanFocus()) Dispatching([&] { SetFocus(); });
      }
      break;
    default: break;
  }
  // Every key goes on to the grid's own key handling (Tab and Enter also move the selection), from
  // where its road left the edit and the selection.
  KeyMovesOn();
  KeyDown(Key, Shift);
}

void TNxCustomGridControl::EditorKeyPress(TObject* Sender, wchar_t& Key) { KeyPress(Key); }

void TNxCustomGridControl::EditorKeyUp(TObject* Sender, Word& Key, TShiftState Shift) { KeyUp(Key, Shift); }

