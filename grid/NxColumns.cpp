#include "grid/NxColumns.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "framework/Controls.h"
#include "framework/Convert.h"
#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "framework/Strings.h"

// ---------------------------------------------------------------------------------------------
// TColumnPart, TColumnHeader, TColumnFooter

TColumnPart::TColumnPart(TNxCustomColumn* AColumn) : FColumn(AColumn) {}
TColumnPart::~TColumnPart() = default;

void TColumnPart::Changed() {
  if (OnChange) OnChange(this);
}

void TColumnPart::ColumnRefresh() {
  if (FColumn != nullptr) FColumn->Changed(ccAppearance);
}

void TColumnPart::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnPart*>(Source);
  if (S == nullptr || !S->ClassNameIs(ClassName())) {
    TPersistent::Assign(Source);
    return;
  }
  FCaption = S->FCaption;
  FColor = S->FColor;
  FDisplayMode = S->FDisplayMode;
  SetGlyph(S->Glyph());
}

void TColumnPart::SetCaption(const WideString& Value) {
  FCaption = Value;
  ColumnRefresh();
}

void TColumnPart::SetColor(TColor Value) {
  FColor = Value;
  ColumnRefresh();
}

void TColumnPart::SetDisplayMode(TDisplayMode Value) {
  FDisplayMode = Value;
  Changed();
  ColumnRefresh();
}

void TColumnPart::SetDrawingOptions(TDrawingOptions Value) {
  FDrawingOptions = Value;
  Changed();
  ColumnRefresh();
}

void TColumnPart::SetGlyph(TBitmap* Value) {
  if (Value == nullptr || Value->Empty()) {
    FGlyph.reset();
  } else {
    if (!FGlyph) FGlyph = std::make_unique<TBitmap>();
    FGlyph->Assign(Value);
    // The bottom-left pixel is the transparent colour.
    FGlyph->SetTransparentMode(tmAuto);
    FGlyph->SetTransparent(true);
  }
  Changed();
  ColumnRefresh();
}

void TColumnHeader::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnHeader*>(Source);
  if (S == nullptr) {
    TColumnPart::Assign(Source);
    return;
  }
  TColumnPart::Assign(Source);
  FAlignment = S->FAlignment;
  FHint = S->FHint;
  FMultiLine = S->FMultiLine;
  FOrientation = S->FOrientation;
}

void TColumnHeader::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  ColumnRefresh();
}

void TColumnHeader::SetHideArrow(bool Value) {
  FHideArrow = Value;
  ColumnRefresh();
}

void TColumnHeader::SetMultiLine(bool Value) {
  FMultiLine = Value;
  ColumnRefresh();
}

void TColumnHeader::SetOrientation(THeaderOrientation Value) {
  FOrientation = Value;
  ColumnRefresh();
}

void TColumnFooter::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnFooter*>(Source);
  if (S == nullptr) {
    TColumnPart::Assign(Source);
    return;
  }
  FAlignment = S->FAlignment;
  FDrawingOptions = S->FDrawingOptions;
  FFormulaKind = S->FFormulaKind;
  FFormatMask = S->FFormatMask;
  FTextAfter = S->FTextAfter;
  FTextBefore = S->FTextBefore;
}

void TColumnFooter::SetFormulaKind(TFormulaKind Value) {
  FFormulaKind = Value;
  Changed();
  ColumnRefresh();
}

void TColumnFooter::SetFormatMask(const AnsiString& Value) {
  FFormatMask = Value;
  Changed();
  ColumnRefresh();
}

void TColumnFooter::SetFormatMaskKind(TFormatMaskKind Value) {
  FFormatMaskKind = Value;
  Changed();
  ColumnRefresh();
}

void TColumnFooter::SetTextAfter(const WideString& Value) {
  FTextAfter = Value;
  Changed();
  ColumnRefresh();
}

void TColumnFooter::SetTextBefore(const WideString& Value) {
  FTextBefore = Value;
  Changed();
  ColumnRefresh();
}

// ---------------------------------------------------------------------------------------------
// TNxSlideBounds

void TNxSlideBounds::SetLeft(int Value) {
  FLeft = Value;
  if (FColumn) FColumn->Changed(ccSlide);
}

void TNxSlideBounds::SetTop(int Value) {
  FTop = Value;
  if (FColumn) FColumn->Changed(ccSlide);
}

void TNxSlideBounds::SetWidth(int Value) {
  if (Value == FWidth) return;
  FWidth = Value;
  if (FColumn) FColumn->Changed(ccSlide);
}

void TNxSlideBounds::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  if (FColumn) FColumn->Changed(ccSlide);
}

// ---------------------------------------------------------------------------------------------
// TColumnDisplay

namespace {

// DrawTextEx with the wide call on the NT family, with the text in the system code page
// otherwise.
void CellDrawText(HDC DC, const WideString& Text, RECT& R, UINT Flags) {
  if (IsUnicodePlatform) {
    WideString T = Text;
    DrawTextExW(DC, T.data(), static_cast<int>(T.size()), &R, Flags, nullptr);
  } else {
    AnsiString T = WideToAnsi(Text);
    DrawTextExA(DC, T.data(), static_cast<int>(T.size()), &R, Flags, nullptr);
  }
}

}  // namespace

void TColumnDisplay::PaintBackground(TColor Color) {
  if (Canvas == nullptr) return;
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(Color);
  Canvas->FillRect(ClientRect);
}

void TColumnDisplay::PaintHintMark() {
  if (Canvas == nullptr) return;
  const int R = ClientRect.Right;
  const int T = ClientRect.Top;
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(clRed);
  Canvas->Pen()->SetColor(clRed);
  Canvas->Polygon({Point(R - 5, T), Point(R - 1, T), Point(R - 1, T + 4)});
}

TRect TColumnDisplay::ContentRect() const {
  TRect R = ClientRect;
  R.Left += 2;
  R.Right -= 2;
  return R;
}

UINT TColumnDisplay::TextFlags(bool Measuring) const {
  UINT F = DT_NOPREFIX;
  if (FColumn == nullptr) return F | DT_SINGLELINE | DT_VCENTER;
  if (FColumn->BiDiMode() != bdLeftToRight) F |= DT_RTLREADING;
  if (FColumn->Alignment() == taRightJustify) F |= DT_RIGHT;
  if (FColumn->Alignment() == taCenter) F |= DT_CENTER;
  if (FColumn->VerticalAlignment() == taAlignBottom) F |= DT_BOTTOM;
  if (FColumn->VerticalAlignment() == taVerticalCenter) F |= DT_VCENTER;
  if (!Measuring) {
    if (FColumn->WrapKind() == wkEllipsis) F |= DT_END_ELLIPSIS;
    if (FColumn->WrapKind() == wkPathEllipsis) F |= DT_PATH_ELLIPSIS;
  }
  if (FColumn->WrapKind() == wkWordWrap)
    F |= DT_WORDBREAK | DT_EDITCONTROL;
  else if (!FColumn->WantReturns())
    F |= DT_SINGLELINE;
  return F;
}

void TColumnDisplay::DrawTextRect(const WideString& Text, TRect Rect, bool Measuring) {
  if (Canvas == nullptr || Text.empty()) return;
  const UINT Flags = TextFlags(Measuring);
  Canvas->Brush()->SetStyle(bsClear);
  // Measuring nothing makes the canvas select its font into the DC.
  Canvas->TextExtent(L"");
  HDC DC = Canvas->Handle();
  const int OldMode = SetBkMode(DC, TRANSPARENT);
  const COLORREF OldColor = SetTextColor(DC, ColorToRGB(Canvas->Font()->Color()));
  if ((Flags & DT_SINGLELINE) == 0 && (Flags & (DT_VCENTER | DT_BOTTOM)) != 0) {
    // Several lines: place the measured block by the vertical alignment.
    RECT M{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
    CellDrawText(DC, Text, M,
                 (Flags | DT_CALCRECT) & ~static_cast<UINT>(DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_VCENTER | DT_BOTTOM));
    const int Free = Rect.Height() - (M.bottom - M.top);
    if (Free > 0) Rect.Top += (Flags & DT_BOTTOM) ? Free : static_cast<int>(std::nearbyint(Free / 2.0));
  }
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  // Several lines are placed above; the platform places a single line itself.
  CellDrawText(DC, Text, R, (Flags & DT_SINGLELINE) != 0 ? Flags : Flags & ~static_cast<UINT>(DT_VCENTER | DT_BOTTOM));
  SetTextColor(DC, OldColor);
  SetBkMode(DC, OldMode);
}

int TColumnDisplay::GetTextWidth(const WideString& Text) {
  if (Canvas == nullptr || Text.empty()) return 0;
  Canvas->TextExtent(L"");
  RECT R{0, 0, 0, 0};
  CellDrawText(Canvas->Handle(), Text, R, TextFlags(true) | DT_CALCRECT);
  return R.right - R.left;
}

int TColumnDisplay::GetTextHeight(const WideString& Text) {
  if (Canvas == nullptr) return 0;
  Canvas->TextExtent(L"");
  const TRect C = ContentRect();
  RECT R{0, 0, std::max(C.Width(), 1), 0};
  // The block's own height: the vertical placement flags would move the measured rectangle.
  const UINT Flags = (TextFlags(true) | DT_CALCRECT) & ~static_cast<UINT>(DT_VCENTER | DT_BOTTOM);
  CellDrawText(Canvas->Handle(), Text.empty() ? WideString(L" ") : Text, R, Flags);
  return R.bottom - R.top;
}

// ---------------------------------------------------------------------------------------------
// TNxCustomColumn

TNxCustomColumn::TNxCustomColumn(TComponent* AOwner) : TComponent(AOwner) {
  FFont = std::make_unique<TFont>();
  FFont->OnChange = [this](TObject* S) { FontChanged(S); };
  FHeader = std::make_unique<TColumnHeader>(this);
  FFooter = std::make_unique<TColumnFooter>(this);
  FSlideBounds = std::make_unique<TNxSlideBounds>(this);
  InitColumn();
}

TNxCustomColumn::~TNxCustomColumn() {
  // Leaving the list first lets the grid close an editor of this column before the editor goes.
  // A handler's error cannot leave a destructor: it goes to the application.
  if (FColumns != nullptr) {
    std::exception_ptr Error;
    FColumns->TakeOut(this, Error);
    if (Error && Application != nullptr) Application->HandleException(this, Error);
  }
  if (FInplaceEdit != nullptr) FInplaceEdit->RemoveFreeNotification(this);
  FInplaceEdit = nullptr;
}

std::unique_ptr<TColumnDisplay> TNxCustomColumn::CreateDisplay() { return std::make_unique<TColumnDisplay>(this); }

void TNxCustomColumn::InitColumn() {
  FDisplay = CreateDisplay();
  if (FEditor == nullptr) {
    FEditor = CreateEditor();
    if (FEditor != nullptr) FEditor->SetVisible(false);
  }
  FPlay = CreatePlay();
  SetColumnKind(ckString);
}

void TNxCustomColumn::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FInplaceEdit) FInplaceEdit = nullptr;
  if (AComponent == FEditor) FEditor = nullptr;
}

void TNxCustomColumn::SetName(const AnsiString& NewName) {
  const bool Changing = NewName != Name();
  TComponent::SetName(NewName);
  if (Changing && FColumns != nullptr) FColumns->Notify(cnRenamed);
}

void TNxCustomColumn::SetColumns(TNxColumns* Value) { FColumns = Value; }

void TNxCustomColumn::SetInplaceEdit(TNxCustomEdit* Value) {
  if (Value == FInplaceEdit) return;
  if (FInplaceEdit != nullptr) FInplaceEdit->RemoveFreeNotification(this);
  FInplaceEdit = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

bool TNxCustomColumn::IsReading() const {
  if (ComponentState().Contains(csLoading)) return true;
  return FColumns != nullptr && FColumns->Updating();
}

void TNxCustomColumn::PrepareEditor(TNxCustomEdit* Editor) {
  if (Editor == nullptr) return;
  Editor->SetGridEditor(true);
  Editor->SetAlignment(FAlignment);
  Editor->SetBorderStyle(bsNone);
  Editor->SetBorderWidth(0);
  Editor->EditMargins()->SetLeft(1);
}

WideString TNxCustomColumn::GetValueText(const TCellValue& Value) {
  switch (Value.Kind) {
    case ckIncrement:
    case ckInteger: return AnsiToWide(IntToStr(Value.AsInteger));
    case ckBoolean: return Value.AsBoolean ? L"True" : L"False";
    case ckDateTime: return AnsiToWide(DateTimeToStr(Value.AsDateTime));
    case ckFloat: return AnsiToWide(FloatToStr(Value.AsFloat));
    default: return Value.AsString;
  }
}

WideString TNxCustomColumn::GetInputDisplayText() {
  TCellValue V;
  V.Kind = ckString;
  V.AsString = FInputValue;
  return GetDisplayText(V);
}

void TNxCustomColumn::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TNxCustomColumn*>(Source);
  if (S == nullptr) {
    TComponent::Assign(Source);
    return;
  }
  FAlignment = S->FAlignment;
  FAutoEdit = S->FAutoEdit;
  FBiDiMode = S->FBiDiMode;
  FColor = S->FColor;
  FCursor = S->FCursor;
  FDefaultValue = S->FDefaultValue;
  FDefaultWidth = S->FDefaultWidth;
  FDrawingOptions = S->FDrawingOptions;
  FEnabled = S->FEnabled;
  FSettingFont = true;
  FFont->Assign(S->Font());
  FSettingFont = false;
  FParentFont = S->FParentFont;
  FHeader->Assign(S->Header());
  FFooter->Assign(S->Footer());
  FInputCaption = S->FInputCaption;
  FInputValue = S->FInputValue;
  FMinWidth = S->FMinWidth;
  FObjectReference = S->FObjectReference;
  FOptions = S->FOptions;
  FPadding = S->FPadding;
  FParentCellColor = S->FParentCellColor;
  FSlideAnchors = S->FSlideAnchors;
  FSlideCaption = S->FSlideCaption;
  FSlideCaptionLocation = S->FSlideCaptionLocation;
  FSlideOptions = S->FSlideOptions;
  FSortKind = S->FSortKind;
  FSortType = S->FSortType;
  FStyleClass = S->FStyleClass;
  FVerticalAlignment = S->FVerticalAlignment;
  FWrapKind = S->FWrapKind;
  SetVisible(S->FVisible);
  SetWidth(S->FWidth);
  Changed(ccAppearance, 1);
}

int TNxCustomColumn::Index() const { return FColumns != nullptr ? FColumns->IndexOf(this) : -1; }

void TNxCustomColumn::Changed(int Kind, int Param) {
  if (FColumns != nullptr) FColumns->ColumnChanged(this, Param, Kind);
}

void TNxCustomColumn::SetColumnKind(TColumnKind Value) {
  if (Value == FColumnKind) return;
  FColumnKind = Value;
  Changed(ccKind);
}

void TNxCustomColumn::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Changed(ccAppearance);
}

void TNxCustomColumn::SetBiDiMode(TBiDiMode Value) {
  FBiDiMode = Value;
  Changed(ccAppearance);
}

void TNxCustomColumn::SetColor(TColor Value) {
  FColor = Value;
  Changed(ccAppearance, 1);
}

void TNxCustomColumn::SetDrawingOptions(TDrawingOptions Value) {
  FDrawingOptions = Value;
  Changed(ccAppearance);
}

void TNxCustomColumn::SetEnabled(bool Value) {
  FEnabled = Value;
  Changed(ccAppearance);
}

void TNxCustomColumn::FontChanged(TObject*) {
  if (FSettingFont) return;
  FParentFont = false;
  Changed(ccAppearance, 1);
}

void TNxCustomColumn::TakeParentFont(bool Notify) {
  if (FColumns == nullptr) return;
  auto* G = dynamic_cast<TControl*>(FColumns->Grid());
  if (G == nullptr) return;
  FSettingFont = true;
  FFont->Assign(G->Font());
  FSettingFont = false;
  if (Notify) Changed(ccAppearance, 1);
}

void TNxCustomColumn::SetParentFont(bool Value) {
  FParentFont = Value;
  if (Value) TakeParentFont();
}

void TNxCustomColumn::SetInputValue(const WideString& Value) {
  FInputValue = Value;
  Changed(ccInputValue);
}

void TNxCustomColumn::SetOptions(TColumnOptions Value) {
  const TColumnOptions Old = FOptions;
  FOptions = Value;
  if (Value.Contains(coSearchColumn) && !Old.Contains(coSearchColumn) && FColumns != nullptr) {
    for (int I = 0; I < FColumns->Count(); ++I) {
      TNxCustomColumn* C = FColumns->Item(I);
      if (C != this) C->FOptions.Exclude(coSearchColumn);
    }
  }
  if (FColumns != nullptr && !IsReading()) {
    if (!(Old.Contains(coAutoSize) && Value.Contains(coAutoSize))) FColumns->Relayout(this, false);
    Changed(ccAppearance);
  }
}

void TNxCustomColumn::SetPadding(int Value) {
  FPadding = Value;
  Changed(ccAppearance);
}

void TNxCustomColumn::SetParentCellColor(bool Value) {
  FParentCellColor = Value;
  Changed(ccAppearance);
}

void TNxCustomColumn::SetPosition(int Value) {
  if (FColumns != nullptr && !IsReading() && Value != FPosition) {
    // The list moves the column and numbers every position again.
    FColumns->MovePosition(FPosition, Value);
    return;
  }
  FPosition = Value;
}

void TNxCustomColumn::SetSlideCaption(const WideString& Value) {
  FSlideCaption = Value;
  Changed(ccSlide);
}

void TNxCustomColumn::SetSlideCaptionLocation(TSlideCatpionLocation Value) {
  FSlideCaptionLocation = Value;
  Changed(ccSlide);
}

void TNxCustomColumn::SetSorted(bool Value) {
  // A sort that fails leaves the header as it was: the column that was sorted stays sorted (unless
  // the sort's handlers took either column away).
  const TFreeWatch Self(this);
  std::optional<TFreeWatch> Before;
  TNxCustomColumn* Previous = nullptr;
  if (Value && FColumns != nullptr) {
    for (int I = 0; I < FColumns->Count(); ++I) {
      TNxCustomColumn* C = FColumns->Item(I);
      if (C != this && C->FSorted) {
        Before.emplace(C);
        C->FSorted = false;
        C->Changed(ccHeader);
        Previous = C;
      }
    }
  }
  if (Value == FSorted) return;
  FSorted = Value;
  const unsigned Sorts = FColumns != nullptr ? FColumns->SortsDone() : 0;
  TScopeExit Undo([&] {
    if (Self.Freed() || (FColumns != nullptr && FColumns->SortsDone() != Sorts)) return;
    FSorted = !Value;
    Changed(ccHeader);
    if (Previous != nullptr && !Before->Freed()) {
      Previous->FSorted = true;
      Previous->Changed(ccHeader);
    }
  });
  Changed(Value ? ccSorted : ccHeader);
  Undo.Dismiss();
}

void TNxCustomColumn::SetSortKind(TSortKind Value) {
  if (Value == FSortKind) return;
  // The rows keep their direction when the sort fails, and so does the column (unless the sort's
  // handlers took it away).
  const TFreeWatch Self(this);
  const TSortKind Old = FSortKind;
  FSortKind = Value;
  const unsigned Sorts = FColumns != nullptr ? FColumns->SortsDone() : 0;
  TScopeExit Undo([&] {
    if (Self.Freed() || (FColumns != nullptr && FColumns->SortsDone() != Sorts)) return;
    FSortKind = Old;
    Changed(ccHeader);
  });
  Changed(ccSortKind);
  Undo.Dismiss();
}

void TNxCustomColumn::SetVerticalAlignment(TVerticalAlignment Value) {
  FVerticalAlignment = Value;
  Changed(ccAppearance);
}

void TNxCustomColumn::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  if (FColumns != nullptr && !IsReading()) FColumns->Relayout(nullptr, false);
  Changed(ccVisible);
}

void TNxCustomColumn::SetWidth(int Value) {
  const int V = std::max(Value, FMinWidth);
  if (V == FWidth) return;
  const int Delta = V - FWidth;
  FWidth = V;
  if (FColumns != nullptr && FColumns->Grid() != nullptr &&
      FColumns->Grid()->ComponentState().Contains(csDesigning))
    FDefaultWidth = V;
  if (FColumns != nullptr && !IsReading()) FColumns->Relayout(this, true);
  Changed(ccResized, Delta);
}

void TNxCustomColumn::SetMinWidth(int Value) {
  FMinWidth = std::max(Value, 0);
  if (FWidth < FMinWidth) SetWidth(FMinWidth);
}

void TNxCustomColumn::SetWrapKind(TWrapKind Value) {
  FWrapKind = Value;
  Changed(ccAppearance);
}

WideString TNxCustomColumn::GetDisplayText(const TCellValue& Value) { return GetValueText(Value); }

int TNxCustomColumn::GetBestFitWidth(TCanvas* Canvas, const WideString& Text) {
  if (Canvas == nullptr) Canvas = FDisplay ? FDisplay->Canvas : nullptr;
  const int W = Canvas != nullptr ? TextWidthW(Canvas, Text) : 0;
  return std::max(W + 6, 8);
}

// ---------------------------------------------------------------------------------------------
// TNxColumns

TNxColumns::TNxColumns(TComponent* AGrid) : TComponent(nullptr), FGrid(AGrid) {}

TNxColumns::~TNxColumns() {
  for (TNxCustomColumn* C : FItems) {
    C->SetColumns(nullptr);
    C->FPosition = -1;
    C->FVisibleIndex = -1;
  }
}

TNxCustomColumn* TNxColumns::Item(int Index) const {
  if (!IsValidIndex(Index)) TList::Error(Index);
  return FItems[static_cast<std::size_t>(Index)];
}

TNxCustomColumn* TNxColumns::ItemByPosition(int Position) const {
  if (Position < 0 || Position >= Count()) TList::Error(Position);
  return FDisplay[static_cast<std::size_t>(Position)];
}

int TNxColumns::IndexOf(const TNxCustomColumn* Column) const {
  auto It = std::find(FItems.begin(), FItems.end(), Column);
  return It == FItems.end() ? -1 : static_cast<int>(It - FItems.begin());
}

void TNxColumns::Orphan() {
  FOrphaned = true;
  FGrid = nullptr;
  OnColumnChanged = nullptr;
  OnColumnNotify = nullptr;
  OnColumnsChanged = nullptr;
  OnColumnsChanging = nullptr;
  BodyWidth = nullptr;
}

bool TNxColumns::Updating() const {
  return FGrid != nullptr && (FGrid->ComponentState().Contains(csLoading) ||
                              FGrid->ComponentState().Contains(csDestroying));
}

void TNxColumns::Add(TNxCustomColumn* Column) { Insert(Count(), Column); }

void TNxColumns::Insert(int Index, TNxCustomColumn* Column) {
  if (Column == nullptr) throw EListError("A column list holds columns only");
  if (Column->FColumns != nullptr) throw EListError("The column is in a column list already");
  if (Count() >= TCells::MaxColumns) throw EListError(Format("A grid holds at most %d columns", TCells::MaxColumns));
  if (Index < 0 || Index > Count()) TList::Error(Index);
  const bool Append = Index == Count();
  const TBusy Busy(this);
  std::exception_ptr Error;
  if (!Append && !Updating()) {
    try {
      if (OnColumnsChanging) OnColumnsChanging(cnInsertColumn, Index);
    } catch (...) {
      Error = std::current_exception();
    }
    // A handler may have changed the list meanwhile, or freed the grid.
    if (Column->FColumns != nullptr || FOrphaned) {
      if (Error) std::rethrow_exception(Error);
      return;
    }
    Index = std::min(Index, Count());
  }
  // All or nothing: room first, so that putting the column in cannot fail; what may fail after
  // (memory running out) takes it out again, and so does the grid when its store cannot hold it.
  FItems.reserve(FItems.size() + 1);
  FDisplay.reserve(FDisplay.size() + 1);
  Column->SetColumns(this);
  FItems.insert(FItems.begin() + Index, Column);
  FDisplay.insert(FDisplay.begin() + std::min<std::size_t>(static_cast<std::size_t>(Index), FDisplay.size()), Column);
  Renumber();
  FLastAddedBefore = FLastAdded;
  FLastAdded = Column;
  {
    TScopeExit Undo([&] { Withdraw(Index); });
    // The store makes the new column's cells after this, with the font taken here; announcing
    // the font now would reach the cells of the column that sits at Index until then.
    if (Column->FParentFont) Column->TakeParentFont(false);
    if (!Updating()) Relayout(nullptr, false);
    Undo.Dismiss();
  }
  const int Kind = Index == Count() - 1 ? cnAddColumn : cnInsertColumn;
  StructureChanged(Kind, Index, -1);
  Notify(Kind);
  if (Error) std::rethrow_exception(Error);
}

void TNxColumns::Withdraw(int Index) {
  TNxCustomColumn* Column = Item(Index);
  FItems.erase(FItems.begin() + Index);
  FDisplay.erase(std::find(FDisplay.begin(), FDisplay.end(), Column));
  Column->SetColumns(nullptr);
  Column->FPosition = -1;
  Column->FVisibleIndex = -1;
  Renumber();
  FLastAdded = FLastAddedBefore;
  if (!Updating()) Relayout(nullptr, false);
}

bool TNxColumns::TakeOut(TNxCustomColumn* Column, std::exception_ptr& Error) {
  int Index = IndexOf(Column);
  if (Index < 0) return false;
  const TBusy Busy(this);
  const bool Destroying = FGrid != nullptr && FGrid->ComponentState().Contains(csDestroying);
  if (!Destroying) {
    // The grid ends an edit first, while the indexes its handlers are told still hold.
    try {
      if (OnColumnsChanging) OnColumnsChanging(cnDeleteColumn, Index);
    } catch (...) {
      if (!Error) Error = std::current_exception();
    }
    Index = IndexOf(Column);
    if (Index < 0) return false;
  }
  FItems.erase(FItems.begin() + Index);
  FDisplay.erase(std::find(FDisplay.begin(), FDisplay.end(), Column));
  Column->SetColumns(nullptr);
  Column->FPosition = -1;
  Column->FVisibleIndex = -1;
  Column->FInputEditing = false;
  Renumber();
  if (FLastAdded == Column) FLastAdded = FItems.empty() ? nullptr : FItems.back();
  if (FLastAddedBefore == Column) FLastAddedBefore = nullptr;
  if (Destroying) return true;
  // The grid and its store follow whatever its handlers raise.
  for (int Step = 0; Step < 3; ++Step) {
    try {
      if (Step == 0) StructureChanged(cnDeleteColumn, Index, -1);
      if (Step == 1 && !Updating()) Relayout(nullptr, false);
      if (Step == 2) Notify(cnDeleteColumn);
    } catch (...) {
      if (!Error) Error = std::current_exception();
    }
  }
  return true;
}

void TNxColumns::Remove(TNxCustomColumn* Column) {
  const TBusy Busy(this);
  std::exception_ptr Error;
  TakeOut(Column, Error);
  if (Error) std::rethrow_exception(Error);
}

void TNxColumns::Delete(int Index) {
  const TBusy Busy(this);
  std::exception_ptr Error;
  Free(Item(Index), Error);
  if (Error) std::rethrow_exception(Error);
}

void TNxColumns::Clear() {
  // Every column goes, whatever a handler raises; the first error is raised after. A grid freed
  // on the way ends it.
  const TBusy Busy(this);
  std::exception_ptr Error;
  while (Count() > 0 && !FOrphaned) Free(Item(Count() - 1), Error);
  if (Error) std::rethrow_exception(Error);
}

void TNxColumns::Free(TNxCustomColumn* Column, std::exception_ptr& Error) {
  // Out of the list first, then freed: the grid's handlers run before the column goes (and may
  // free it themselves, with its owner).
  const TFreeWatch Life(Column);
  if (TakeOut(Column, Error) && !Life.Freed()) delete Column;
}

void TNxColumns::MovePosition(int FromPos, int ToPos) {
  if (FromPos < 0 || FromPos >= Count()) TList::Error(FromPos);
  if (ToPos < 0 || ToPos >= Count()) TList::Error(ToPos);
  if (FromPos == ToPos) return;
  const TBusy Busy(this);
  TNxCustomColumn* C = FDisplay[static_cast<std::size_t>(FromPos)];
  FDisplay.erase(FDisplay.begin() + FromPos);
  FDisplay.insert(FDisplay.begin() + ToPos, C);
  Renumber();
  Layout();
  ColumnChanged(C, FromPos, ccMoved);
}

void TNxColumns::Renumber() {
  for (std::size_t I = 0; I < FDisplay.size(); ++I) FDisplay[I]->FPosition = static_cast<int>(I);
}

void TNxColumns::Layout(bool RenumberPositions) {
  if (RenumberPositions) Renumber();
  int X = FStartX;
  int Visible = 0;
  for (TNxCustomColumn* C : FDisplay) {
    C->FLeft = X;
    if (C->Visible()) {
      X += C->Width();
      C->FVisibleIndex = Visible++;
    } else {
      C->FVisibleIndex = -1;
    }
  }
}

void TNxColumns::SetStartX(int Value) {
  FStartX = Value;
  Layout();
}

void TNxColumns::SetFixedCols(int Value) { FFixedCols = std::max(Value, 0); }

int TNxColumns::FixedWidth() const {
  int W = 0;
  for (int P = 0; P < std::min(FFixedCols, Count()); ++P)
    if (FDisplay[static_cast<std::size_t>(P)]->Visible()) W += FDisplay[static_cast<std::size_t>(P)]->Width();
  return W;
}

int TNxColumns::VisibleCount() const {
  return static_cast<int>(std::count_if(FItems.begin(), FItems.end(), [](TNxCustomColumn* C) { return C->Visible(); }));
}

int TNxColumns::TotalWidth() const {
  int W = 0;
  for (TNxCustomColumn* C : FItems)
    if (C->Visible()) W += C->Width();
  return W;
}

TNxCustomColumn* TNxColumns::First() const {
  for (TNxCustomColumn* C : FDisplay)
    if (C->Visible() && C->Enabled()) return C;
  return nullptr;
}

TNxCustomColumn* TNxColumns::Last() const {
  for (auto It = FDisplay.rbegin(); It != FDisplay.rend(); ++It)
    if ((*It)->Visible() && (*It)->Enabled()) return *It;
  return nullptr;
}

TNxCustomColumn* TNxColumns::LastVisible() const {
  for (auto It = FDisplay.rbegin(); It != FDisplay.rend(); ++It)
    if ((*It)->Visible()) return *It;
  return nullptr;
}

TNxCustomColumn* TNxColumns::Next(TNxCustomColumn* Column) const {
  if (Column == nullptr) return First();
  for (int P = Column->Position() + 1; P < Count(); ++P) {
    TNxCustomColumn* C = FDisplay[static_cast<std::size_t>(P)];
    if (C->Visible() && C->Enabled()) return C;
  }
  return nullptr;
}

TNxCustomColumn* TNxColumns::Previous(TNxCustomColumn* Column) const {
  if (Column == nullptr) return Last();
  for (int P = std::min(Column->Position(), Count()) - 1; P >= 0; --P) {
    TNxCustomColumn* C = FDisplay[static_cast<std::size_t>(P)];
    if (C->Visible() && C->Enabled()) return C;
  }
  return nullptr;
}

void TNxColumns::AutoSizeColumns(int BodyWidth, TNxCustomColumn* Column, bool Behind) {
  if (FAutoSizing) return;
  FAutoSizing = true;
  try {
    int StartPos = 0;
    int X = 0;
    if (Column != nullptr && Column->FColumns == this) {
      if (Behind) {
        StartPos = Column->Position() + 1;
        X = Column->Left() - FStartX + (Column->Visible() ? Column->Width() : 0);
      } else {
        StartPos = Column->Position();
        X = Column->Left() - FStartX;
      }
    }
    const int Available = BodyWidth - X;
    int AutoTotal = 0;
    int FixedTotal = 0;
    for (int P = StartPos; P < Count(); ++P) {
      TNxCustomColumn* C = FDisplay[static_cast<std::size_t>(P)];
      if (!C->Visible()) continue;
      if (C->Options().Contains(coAutoSize))
        AutoTotal += C->Width();
      else
        FixedTotal += C->Width();
    }
    const int Remaining = Available - FixedTotal;
    double Fraction = 0;
    TNxCustomColumn* Remembered = nullptr;
    int RememberedWidth = 0;
    if (AutoTotal > 0) {
      for (int P = StartPos; P < Count(); ++P) {
        TNxCustomColumn* C = FDisplay[static_cast<std::size_t>(P)];
        if (!C->Visible() || !C->Options().Contains(coAutoSize)) continue;
        const double Exact = Remaining * (static_cast<double>(C->Width()) / AutoTotal);
        const int W = static_cast<int>(std::trunc(Exact));
        Fraction += Exact - W;
        if (Fraction >= 1) {
          C->SetWidth(W + 1);
          Fraction -= 1;
        } else {
          C->SetWidth(W);
          Remembered = C;
          RememberedWidth = W;
        }
      }
      if (Fraction > 0.001 && Remembered != nullptr) Remembered->SetWidth(RememberedWidth + 1);
    }
  } catch (...) {
    FAutoSizing = false;
    throw;
  }
  FAutoSizing = false;
  Layout();
}

void TNxColumns::AdjustSlides(int Delta) {
  if (Delta == 0) return;
  for (TNxCustomColumn* C : FItems) {
    const TAnchors A = C->SlideAnchors();
    if (!A.Contains(akRight)) continue;
    TNxSlideBounds* B = C->SlideBounds();
    if (A.Contains(akLeft))
      B->SetWidth(B->Width() + Delta);
    else
      B->SetLeft(B->Left() + Delta);
  }
}

void TNxColumns::Relayout(TNxCustomColumn* From, bool Behind) {
  Layout();
  if (FAutoSizing || Updating()) return;
  if (BodyWidth) AutoSizeColumns(BodyWidth(), From, Behind);
}

TVirtualCellValues* TNxColumns::ColumnValues(int Index) const {
  return dynamic_cast<TVirtualCellValues*>(Item(Index));
}

void TNxColumns::ColumnChanged(TNxCustomColumn* Column, int Param, int Kind) {
  const TBusy Busy(this);
  if (OnColumnChanged) OnColumnChanged(Column, Param, Kind);
}

void TNxColumns::Notify(int Kind) {
  const TBusy Busy(this);
  if (OnColumnNotify) OnColumnNotify(Kind);
}

void TNxColumns::StructureChanged(int Kind, int Index, int Index2) {
  const TBusy Busy(this);
  if (OnColumnsChanged) OnColumnsChanged(Kind, Index, Index2);
}
