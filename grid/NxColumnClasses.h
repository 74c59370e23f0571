// The column classes of the grid: the text column (its cell painter, TTextColumnDisplay, lives
// with the other painters in NxDisplays). Win32.
#pragma once

#include "grid/NxColumns.h"
#include "grid/NxDisplays.h"

// A column of text cells (kind 8). Its editor is a TNxEdit; it can be edited in place and on the
// input line, and best-fitted (capabilities cpEditor, cpBestFit and cpInput).
class TNxTextColumn : public TNxCustomColumn {
  T_CLASS(TNxTextColumn, TNxCustomColumn)

 public:
  explicit TNxTextColumn(TComponent* AOwner);

  void Assign(TPersistent* Source) override;

  // The most characters the editor takes (0: no limit). Negative values raise EInvalidOperation.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool Value);
  // 0: none.
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t Value);
  const WideString& TextAfter() const { return FTextAfter; }
  void SetTextAfter(const WideString& Value);
  const WideString& TextBefore() const { return FTextBefore; }
  void SetTextBefore(const WideString& Value);

  // TextBefore + the value's text + TextAfter, all replaced by password characters when one is set.
  WideString GetDisplayText(const TCellValue& Value) override;
  // Text width + 5 (no minimum).
  int GetBestFitWidth(TCanvas* Canvas, const WideString& Text) override;
  bool WantReturns() const override { return FMultiLine; }
  bool KeyStartsEditing(wchar_t Key) const override { return Key > 32; }
  int GetColumnCapabilities() const override { return cpEditor | cpBestFit | cpInput; }
  // The common preparation, then the editor's MaxLength and PasswordChar become the column's.
  void PrepareEditor(TNxCustomEdit* Editor) override;

 protected:
  std::unique_ptr<TColumnDisplay> CreateDisplay() override;
  TNxCustomEdit* CreateEditor() override;

 private:
  int FMaxLength = 0;
  bool FMultiLine = false;
  wchar_t FPasswordChar = 0;
  WideString FTextAfter;
  WideString FTextBefore;
};
