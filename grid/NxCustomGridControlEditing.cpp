#include "grid/NxCustomGridControl.h"

#include <algorithm>

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
  Editor->SetVisible(false);
  Editor->SetParent(this);
  {
    TFlagScope Suppress(FSuppressEditEvent);
    Editor->SetText(WideString());
  }
  Editor->SetWantTabs(FWantTabs);
}

void TNxCustomGridControl::DetachEditor() {
  FInplaceEditor = nullptr;
}

void TNxCustomGridControl::HookEditorEvents() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr) return;
  E->OnChange = [this](TObject* S) { EditorChange(S); };
  E->OnEnter = [this](TObject* S) { EditorEnter(S); };
  E->OnExit = [this](TObject* S) { EditorExit(S); };
  E->OnKeyDown = [this](TObject* S, Word& Key, TShiftState Shift) { EditorKeyDown(S, Key, Shift); };
  E->OnKeyPress = [this](TObject* S, wchar_t& Key) { EditorKeyPress(S, Key); };
  E->OnKeyUp = [this](TObject* S, Word& Key, TShiftState Shift) { EditorKeyUp(S, Key, Shift); };
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

void TNxCustomGridControl::FollowEditedColumn() {
  if (!IsEditing() || FEditColumn == nullptr) return;
  const int Index = FColumns->IndexOf(FEditColumn);
  if (Index >= 0) {
    FEditCol = Index;
    if (FGridState.Contains(gsInputEditing)) FInputColumn = Index;
    return;
  }
  // The column went with the editor open: what it held goes nowhere.
  if (TNxCustomEdit* E = FInplaceEditor) {
    if (E->HandleAllocated() && GetFocus() == E->Handle() && CanFocus()) SetFocus();
    E->SetVisible(false);
  }
  FInputColumn = -1;
  AbandonEditing();
}

void TNxCustomGridControl::FocusEditor() {
  // The editor takes the keys when the grid has them; a grid without the focus keeps it where
  // it is.
  TNxCustomEdit* E = FInplaceEditor;
  if (E != nullptr && IsFocused() && E->Visible() && E->CanFocus() && GetFocus() != E->Handle()) E->SetFocus();
}

bool TNxCustomGridControl::BeginCellEditor(int ACol, int ARow) {
  if (FGridState.Contains(gsEditing) && ACol == FEditCol && ARow == FEditRow) return false;
  if (!FColumns->IsValidIndex(ACol)) return false;
  TNxCustomColumn* Column = FColumns->Item(ACol);
  // A hidden column takes no typing (the editor would stand over the next column's cell).
  if (!Column->Enabled() || !Column->Visible() || GetColumnEditor(Column) == nullptr ||
      !Column->Options().Contains(coEditing))
    return false;
  if (FReadOnly || !CanEditCell(ACol, ARow)) return false;
  if (ARow < 0 || ARow >= GetRowCount()) return false;
  bool Accept = true;
  DoBeforeEdit(ACol, ARow, Accept);
  if (!Accept) return false;
  if (!CloseOtherEditor()) return false;
  FGridState.Include(gsEditing);
  FEditCol = ACol;
  FEditRow = ARow;
  FEditColumn = Column;
  ++FEditSession;
  return true;
}

bool TNxCustomGridControl::CloseOtherEditor() {
  // The editor being closed (an OnEditExit handler opens the next one) is let go as it stands:
  // what it held was written back or discarded already.
  if (FEndingEdit) {
    AbandonEditing();
    return true;
  }
  // An editor open elsewhere is committed and closed first; one that refuses to close stays.
  CommitEditing();
  return !IsEditing();
}

void TNxCustomGridControl::EditCell(int ACol, int ARow, const WideString& InitialText) {
  Operation([&] {
    if (!BeginCellEditor(ACol, ARow)) return;
    TNxCustomColumn* Column = FColumns->Item(ACol);
    WideString Text = InitialText.empty() ? GetCells(ACol, ARow) : InitialText;
    TakeColumnEditor(Column, GetCellOwnColor(ACol, ARow), false);
    TNxCustomEdit* E = FInplaceEditor;
    if (E == nullptr) {
      AbandonEditing();
      return;
    }
    {
      // The text the grid loads does not count as an edit.
      TFlagScope Suppress(FSuppressEditEvent);
      if (!InitialText.empty()) FSuppressEditEvent = false;
      DoApplyEditText(ACol, ARow, Text);
      if (FInplaceEditor != E) return;
      E->SetText(Text);
      EditorShowing();
      PlaceEditor();
      Column->EditorShown(E);
    }
    FocusEditor();
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
    TNxCustomColumn* Column = FColumns->Item(ACol);
    TakeColumnEditor(Column, GetCellOwnColor(ACol, ARow), false);
    TNxCustomEdit* E = FInplaceEditor;
    if (E == nullptr) {
      AbandonEditing();
      return;
    }
    PlaceEditor();
    FocusEditor();
    // The typed character reaches the editor as typing does: it replaces the (empty) text.
    SendMessageW(E->Handle(), WM_CHAR, static_cast<WPARAM>(Key), 0);
    EditorShowing();
    E->PlaceCaretAtEnd();
    DoEditEnter();
  });
}

bool TNxCustomGridControl::BeginInputEditor(TNxCustomColumn* Column) {
  if (Column == nullptr || Column->Columns() != FColumns.get()) return false;
  if (!FOptions.Contains(goInput) || FGridStyle != gsReport || !Column->Visible()) return false;
  // What is open is committed first, before the selection moves to the input line.
  if (!CloseOtherEditor()) return false;
  SetInputSelected(true);
  SelectColumn(Column->Index());
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

void TNxCustomGridControl::EditInputCell(TNxCustomColumn* Column, const WideString& InitialText) {
  if (!BeginInputEditor(Column)) return;
  TNxCustomEdit* E = FInplaceEditor;
  {
    TFlagScope Suppress(FSuppressEditEvent);
    E->SetText(InitialText.empty() ? Column->InputValue() : InitialText);
    Column->EditorShown(E);
  }
  FEditCol = Column->Index();
  FEditRow = -1;
  PlaceEditor();
  FocusEditor();
  if (Column->Options().Contains(coEditorAutoSelect))
    E->SelectAll();
  else
    E->PlaceCaretAtEnd();
  DoInputSelectCell(Column->Index());
}

void TNxCustomGridControl::EditInputCellWithKey(TNxCustomColumn* Column, wchar_t Key) {
  if (!BeginInputEditor(Column)) return;
  TNxCustomEdit* E = FInplaceEditor;
  Column->EditorShown(E);
  FEditCol = Column->Index();
  FEditRow = -1;
  PlaceEditor();
  FocusEditor();
  SendMessageW(E->Handle(), WM_CHAR, static_cast<WPARAM>(Key), 0);
  E->PlaceCaretAtEnd();
  DoInputSelectCell(Column->Index());
}

bool TNxCustomGridControl::ApplyEditing() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr) return false;
  if (FGridState.Contains(gsEditing)) {
    E->CompleteInput();
    WideString Text = E->Text();
    if (FColumns->IsValidIndex(FEditCol)) FColumns->Item(FEditCol)->EditorTextTaken(Text);
    bool Accept = true;
    // Each handler may free the grid.
    const TFreeWatch Grid(this);
    DoEditAccept(FEditCol, FEditRow, Text, Accept);
    if (Grid.Freed()) return false;
    if (GetRowCount() == 0 || FEditCol == -1 || FEditRow == -1 || FEditRow >= GetRowCount()) return false;
    if (!Accept) return false;
    const int Col = FEditCol;
    const int Row = FEditRow;
    DoEditText(Col, Row, Text);
    if (Grid.Freed()) return false;
    WriteEditedCell(Text);
    if (Grid.Freed()) return false;
    DoAfterEdit(Col, Row, Text);
    return true;
  }
  if (FGridState.Contains(gsInputEditing) && FColumns->IsValidIndex(FInputColumn)) {
    TNxCustomColumn* Column = FColumns->Item(FInputColumn);
    WideString Text = E->Text();
    Column->EditorTextTaken(Text);
    Column->SetInputValue(Text);
    Column->SetInputEditing(false);
    return true;
  }
  return false;
}

void TNxCustomGridControl::WriteEditedCell(const WideString& Value) { SetCells(FEditCol, FEditRow, Value); }

void TNxCustomGridControl::EndEditing() {
  Operation([&] {
    // An editor being closed is not closed again (an OnEditExit handler that ends the edit, or
    // deletes its row).
    if (!IsEditing() || FEndingEdit) return;
    TNxCustomEdit* E = FInplaceEditor;
    bool Accept = true;
    WideString Value;
    const bool Body = FGridState.Contains(gsEditing);
    // The handlers may free the grid (and its editor with it).
    const TFreeWatch Grid(this);
    if (Body && E != nullptr) {
      Value = E->Text();
      DoEndEditing(FEditCol, FEditRow, Value, Accept);
      if (Grid.Freed()) return;
      SetEditorText(Value);
    }
    if (!Accept) return;
    FEndingEdit = true;
    TScopeExit Ending([&] {
      if (!Grid.Freed()) FEndingEdit = false;
    });
    // The focus goes back to the grid before the editor hides, so that hiding it moves the focus
    // nowhere else.
    const bool HadFocus = E != nullptr && E->HandleAllocated() && GetFocus() == E->Handle();
    if (HadFocus && CanFocus()) SetFocus();
    if (E != nullptr) E->SetVisible(false);
    if (Body)
      RefreshCell(FEditCol, FEditRow);
    else if (FColumns->IsValidIndex(FInputColumn))
      RefreshRect(GetInputCellRect(FColumns->Item(FInputColumn)));
    const unsigned Session = FEditSession;
    {
      // The edit state ends after OnEditExit (which still sees the cell), also when its handler
      // raises; a handler that opened the next editor keeps that one.
      TScopeExit Ended([&] {
        if (!Grid.Freed() && FEditSession == Session) AbandonEditing();
      });
      if (Body) DoEditExit();
    }
  });
}

void TNxCustomGridControl::CommitEditing() {
  if (!IsEditing()) return;
  const TFreeWatch Grid(this);
  ApplyEditing();
  if (!Grid.Freed()) EndEditing();
}

void TNxCustomGridControl::AddInputRow() {
  bool Accept = true;
  DoInputAccept(Accept);
  if (!Accept) return;
  AddRow(1);
  const int Row = GetRowCount() - 1;
  for (int C = 0; C < FColumns->Count(); ++C) {
    TNxCustomColumn* Col = FColumns->Item(C);
    const WideString V = Col->InputValue().empty() ? Col->DefaultValue() : Col->InputValue();
    if (!V.empty() && Row >= 0) SetCells(C, Row, V);
    Col->SetInputValue(L"");
  }
  DoInputAdded();
}

void TNxCustomGridControl::PlaceEditor() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr || !IsEditing() || !HandleAllocated()) return;
  // The window exists before the bounds are set (creating it fits an auto-sized edit's height
  // to its font).
  E->HandleNeeded();
  TRect R;
  if (FGridState.Contains(gsEditing)) {
    if (FEditCol < 0 || FEditRow < 0 || !FColumns->IsValidIndex(FEditCol) || FEditRow >= GetRowCount()) return;
    R = GetCellRect(FEditCol, FEditRow);
    R.Left += FLeftLine;
    R.Right -= FRightLine;
    if (!FOptions.Contains(goGrid)) --R.Bottom;
    const TRect B = GetBodyRect();
    if (R.Bottom < B.Top || !GetRowShown(FEditRow) || !FColumns->Item(FEditCol)->Visible()) {
      // The cell scrolled above the body, or its row or column is hidden: the editor hides and
      // the edit goes on. The focus stays with the grid (hiding the focused editor would move it
      // out and end the edit).
      if (GetFocus() == E->Handle() && CanFocus()) SetFocus();
      E->SetVisible(false);
      return;
    }
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
  // A handler that ends the edit may free the grid, and its editor with it: the key is then
  // consumed, and nothing of either is touched any more.
  const TFreeWatch Grid(this);
  auto Freed = [&] {
    if (Grid.Freed()) Key = 0;
    return Grid.Freed();
  };
  switch (Key) {
    case VK_TAB:
      CommitEditing();
      break;
    case VK_RETURN: {
      if (Shift.Contains(ssCtrl)) break;
      if (Input) {
        ApplyEditing();
        if (Freed()) return;
        AddInputRow();
        if (Freed()) return;
        if (FInplaceEditor != nullptr && FColumns->IsValidIndex(FInputColumn))
          SetEditorText(FColumns->Item(FInputColumn)->InputValue());
        break;
      }
      TNxCustomColumn* Column = FColumns->IsValidIndex(FEditCol) ? FColumns->Item(FEditCol) : nullptr;
      const bool KeepsEnter =
          Column != nullptr && ((Column->GetColumnCapabilities() & cpWantReturns) != 0 || Column->WantReturns());
      if (!KeepsEnter) {
        CommitEditing();
        if (Freed()) return;
        if (!IsEditing() && CanFocus()) SetFocus();
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
        FInplaceEditor->SetText(WideString());
      } else {
        EndEditing();
        if (Freed()) return;
        if (!IsEditing() && CanFocus()) SetFocus();
      }
      break;
    default: break;
  }
  if (Freed()) return;
  // Every key goes on to the grid's own key handling (Tab and Enter also move the selection).
  KeyDown(Key, Shift);
}

void TNxCustomGridControl::EditorKeyPress(TObject* Sender, wchar_t& Key) { KeyPress(Key); }

void TNxCustomGridControl::EditorKeyUp(TObject* Sender, Word& Key, TShiftState Shift) { KeyUp(Key, Shift); }

