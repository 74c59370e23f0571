#include "grid/NxColumnClasses.h"

#include "framework/Convert.h"
#include "framework/Exceptions.h"

TNxTextColumn::TNxTextColumn(TComponent* AOwner) : TNxCustomColumn(AOwner) {
  FOptions = TColumnOptions{coCanClick, coCanInput, coCanSort, coPublicUsing, coShowTextFitHint};
  InitColumn();
}

std::unique_ptr<TColumnDisplay> TNxTextColumn::CreateDisplay() { return std::make_unique<TTextColumnDisplay>(this); }

TNxCustomEdit* TNxTextColumn::CreateEditor() { return new TNxEdit(this); }

void TNxTextColumn::PrepareEditor(TNxCustomEdit* Editor) {
  TNxCustomColumn::PrepareEditor(Editor);
  if (Editor == nullptr) return;
  Editor->SetMaxLength(FMaxLength);
  Editor->SetPasswordChar(FPasswordChar);
}

void TNxTextColumn::SetMaxLength(int Value) {
  if (Value < 0) throw EInvalidOperation(Format("Invalid text length limit (%d)", Value));
  FMaxLength = Value;
}

void TNxTextColumn::Assign(TPersistent* Source) {
  TNxCustomColumn::Assign(Source);
  if (auto* S = dynamic_cast<TNxTextColumn*>(Source)) {
    FMaxLength = S->FMaxLength;
    FMultiLine = S->FMultiLine;
    FPasswordChar = S->FPasswordChar;
    FTextAfter = S->FTextAfter;
    FTextBefore = S->FTextBefore;
    Changed(ccAppearance);
  }
}

void TNxTextColumn::SetMultiLine(bool Value) {
  FMultiLine = Value;
  Changed(ccAppearance);
}

void TNxTextColumn::SetPasswordChar(wchar_t Value) {
  FPasswordChar = Value;
  Changed(ccAppearance);
}

void TNxTextColumn::SetTextAfter(const WideString& Value) {
  FTextAfter = Value;
  Changed(ccAppearance);
}

void TNxTextColumn::SetTextBefore(const WideString& Value) {
  FTextBefore = Value;
  Changed(ccAppearance);
}

WideString TNxTextColumn::GetDisplayText(const TCellValue& Value) {
  WideString S = FTextBefore + TNxCustomColumn::GetDisplayText(Value) + FTextAfter;
  if (FPasswordChar != 0) S.assign(S.size(), FPasswordChar);
  return S;
}

int TNxTextColumn::GetBestFitWidth(TCanvas* Canvas, const WideString& Text) {
  if (Canvas == nullptr) Canvas = Display() != nullptr ? Display()->Canvas : nullptr;
  return (Canvas != nullptr ? TextWidthW(Canvas, Text) : 0) + 5;
}
