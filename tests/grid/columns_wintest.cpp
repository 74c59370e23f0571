// Columns and the column list: the columns' defaults, header and footer parts, the setters with
// effects beyond storing (options, sort settings, width, visibility, position), the list's
// notices to the grid and the store, display order and left edges, auto-sizing, the editor a
// column prepares, its display text with TextBefore/TextAfter and PasswordChar, and the text
// painter's pixels.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "framework/Convert.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "grid/NxColumnClasses.h"
#include "grid/NxGrid.h"
#include "support/FreedMemoryGuard.h"
#include "support/UiTest.h"

using uitest::TMemoryDC;

namespace {

// A column list on a stand-in grid component, with every notice the list sends logged.
struct ListFixture : ::testing::Test {
  TComponent Owner{nullptr};  // owns the columns, as a form does
  TComponent Grid{nullptr};
  TNxColumns List{&Grid};
  std::vector<std::string> Log;
  int Body = 300;

  void SetUp() override {
    List.OnColumnChanged = [this](TNxCustomColumn* C, int Param, int Kind) {
      Log.push_back("changed " + std::to_string(C->Index()) + " k" + std::to_string(Kind) + " p" + std::to_string(Param));
    };
    List.OnColumnNotify = [this](int Kind) { Log.push_back("notify " + std::to_string(Kind)); };
    List.OnColumnsChanged = [this](int Kind, int Index, int Index2) {
      Log.push_back("columns " + std::to_string(Kind) + " " + std::to_string(Index) + " " + std::to_string(Index2));
    };
    List.BodyWidth = [this] { return Body; };
  }
  void TearDown() override {
    List.OnColumnChanged = nullptr;
    List.OnColumnNotify = nullptr;
    List.OnColumnsChanged = nullptr;
  }
  TNxTextColumn* Add(int Width = 50) {
    auto* C = List.AddColumn<TNxTextColumn>(&Owner);
    C->SetWidth(Width);
    return C;
  }
  std::string Joined() {
    std::string S;
    for (const auto& E : Log) {
      if (!S.empty()) S += "; ";
      S += E;
    }
    Log.clear();
    return S;
  }
  // "index:left" of every column in display order.
  std::string Lefts() {
    std::string S;
    for (int P = 0; P < List.Count(); ++P) {
      TNxCustomColumn* C = List.ItemByPosition(P);
      if (!S.empty()) S += ' ';
      S += std::to_string(C->Index());
      S += ':';
      S += std::to_string(C->Left());
    }
    return S;
  }
};

TCellValue Text(const WideString& S) {
  TCellValue V;
  V.Kind = ckString;
  V.AsString = S;
  return V;
}

// ---------------------------------------------------------------------------------------------
// Defaults

TEST(ColumnDefaults, CustomColumnHasTheDocumentedValues) {
  TNxCustomColumn C(nullptr);
  EXPECT_EQ(C.Alignment(), taLeftJustify);
  EXPECT_FALSE(C.AutoEdit());
  EXPECT_EQ(C.BiDiMode(), bdLeftToRight);
  EXPECT_EQ(C.Color(), clWindow);
  EXPECT_EQ(C.Cursor(), 0);
  EXPECT_TRUE(C.DefaultValue().empty());
  EXPECT_EQ(C.DefaultWidth(), 80);
  EXPECT_EQ(C.DrawingOptions(), doNormal);
  EXPECT_TRUE(C.Enabled());
  EXPECT_TRUE(C.ParentFont());
  EXPECT_EQ(C.InplaceEdit(), nullptr);
  EXPECT_TRUE(C.InputCaption().empty());
  EXPECT_TRUE(C.InputValue().empty());
  EXPECT_EQ(C.MinWidth(), 8);
  EXPECT_EQ(C.ObjectReference(), nullptr);
  EXPECT_EQ(C.Options(), (TColumnOptions{coCanClick, coCanInput, coCanSort, coPublicUsing}));
  EXPECT_EQ(C.Padding(), 0);
  EXPECT_FALSE(C.ParentCellColor());
  EXPECT_EQ(C.Position(), -1);
  EXPECT_EQ(C.SlideAnchors(), (TAnchors{akLeft, akTop}));
  EXPECT_EQ(C.SlideBounds()->Left(), 8);
  EXPECT_EQ(C.SlideBounds()->Top(), 8);
  EXPECT_EQ(C.SlideBounds()->Width(), 80);
  EXPECT_EQ(C.SlideBounds()->Height(), 16);
  EXPECT_TRUE(C.SlideCaption().empty());
  EXPECT_EQ(C.SlideCaptionLocation(), clTop);
  EXPECT_TRUE(C.SlideOptions().Empty());
  EXPECT_FALSE(C.Sorted());
  EXPECT_EQ(C.SortKind(), skAscending);
  EXPECT_EQ(C.SortType(), stAlphabetic);
  EXPECT_TRUE(C.StyleClass().empty());
  EXPECT_EQ(C.Tag(), 0);
  EXPECT_EQ(C.VerticalAlignment(), taVerticalCenter);
  EXPECT_TRUE(C.Visible());
  EXPECT_EQ(C.Width(), 80);
  EXPECT_EQ(C.WrapKind(), wkEllipsis);
  EXPECT_EQ(C.ColumnKind(), ckString);
  EXPECT_EQ(C.Editor(), nullptr);
  EXPECT_EQ(C.Play(), nullptr);
  EXPECT_EQ(C.GetColumnCapabilities(), 0);
  EXPECT_EQ(C.Columns(), nullptr);
  EXPECT_EQ(C.Index(), -1);

  EXPECT_EQ(C.Header()->Color(), clBtnFace);
  EXPECT_EQ(C.Header()->DisplayMode(), dmTextOnly);
  EXPECT_EQ(C.Header()->DrawingOptions(), doNormal);
  EXPECT_EQ(C.Header()->Alignment(), taLeftJustify);
  EXPECT_TRUE(C.Header()->HideArrow());
  EXPECT_FALSE(C.Header()->MultiLine());
  EXPECT_EQ(C.Header()->Orientation(), hoHorizontal);
  EXPECT_EQ(C.Footer()->Color(), clWindow);
  EXPECT_EQ(C.Footer()->FormulaKind(), fkNone);
  EXPECT_EQ(C.Footer()->FormatMaskKind(), mkText);
  EXPECT_EQ(C.Footer()->DisplayMode(), dmTextOnly);
}

TEST(ColumnDefaults, TextColumnMakesItsEditorAndPainter) {
  TNxTextColumn C(nullptr);
  EXPECT_EQ(C.Options(), (TColumnOptions{coCanClick, coCanInput, coCanSort, coPublicUsing, coShowTextFitHint}));
  EXPECT_EQ(C.MaxLength(), 0);
  EXPECT_FALSE(C.MultiLine());
  EXPECT_EQ(C.PasswordChar(), 0);
  EXPECT_EQ(C.ColumnKind(), ckString);
  EXPECT_EQ(C.GetColumnCapabilities(), 42);
  ASSERT_NE(C.Editor(), nullptr);
  EXPECT_TRUE(C.Editor()->ClassNameIs("TNxEdit"));
  EXPECT_FALSE(C.Editor()->Visible());
  EXPECT_EQ(C.Editor()->Owner(), &C);
  EXPECT_EQ(C.ActiveEditor(), C.Editor());
  ASSERT_NE(C.Display(), nullptr);
  EXPECT_TRUE(C.Display()->ClassNameIs("TTextColumnDisplay"));
  EXPECT_EQ(C.Display()->Column(), &C);
  EXPECT_EQ(C.Play(), nullptr);
  EXPECT_FALSE(C.WantReturns());
  C.SetMultiLine(true);
  EXPECT_TRUE(C.WantReturns());
  EXPECT_FALSE(C.KeyStartsEditing(L' '));
  EXPECT_FALSE(C.KeyStartsEditing(L'\r'));
  EXPECT_TRUE(C.KeyStartsEditing(L'!'));
  EXPECT_TRUE(C.KeyStartsEditing(L'\u0416'));
  EXPECT_THROW(C.SetMaxLength(-1), EInvalidOperation);
}

// ---------------------------------------------------------------------------------------------
// Header and footer

TEST_F(ListFixture, PartSettersRaiseOnChangeOrRepaintTheColumn) {
  auto* C = Add();
  Joined();
  std::vector<std::string> Changes;
  C->Header()->OnChange = [&Changes](TObject*) { Changes.push_back("header"); };
  C->Footer()->OnChange = [&Changes](TObject*) { Changes.push_back("footer"); };
  C->Header()->SetCaption(L"Name");
  C->Header()->SetColor(clRed);
  C->Header()->SetAlignment(taCenter);
  EXPECT_TRUE(Changes.empty());
  EXPECT_EQ(Joined(), "changed 0 k7 p0; changed 0 k7 p0; changed 0 k7 p0");
  C->Header()->SetDisplayMode(dmTextAndImage);
  C->Header()->SetDrawingOptions(doCustom);
  TBitmap G(4, 4, pf24bit);
  C->Header()->SetGlyph(&G);
  EXPECT_EQ(Changes.size(), 3u);
  Changes.clear();
  C->Footer()->SetAlignment(taRightJustify);
  EXPECT_TRUE(Changes.empty());
  C->Footer()->SetFormulaKind(fkSum);
  C->Footer()->SetFormatMask("0.00");
  C->Footer()->SetFormatMaskKind(mkFloat);
  C->Footer()->SetTextBefore(L"<");
  C->Footer()->SetTextAfter(L">");
  EXPECT_EQ(Changes, std::vector<std::string>(5, "footer"));
}

TEST(ColumnParts, NewGlyphTakesItsBottomLeftPixelAsTransparentColour) {
  TNxTextColumn C(nullptr);
  TBitmap G(6, 5, pf24bit);
  G.Canvas()->Brush()->SetColor(clBlue);
  G.Canvas()->FillRect(Rect(0, 0, 6, 5));
  G.Canvas()->SetPixels(0, 4, clLime);
  C.Header()->SetGlyph(&G);
  ASSERT_NE(C.Header()->Glyph(), nullptr);
  EXPECT_TRUE(C.Header()->Glyph()->Transparent());
  EXPECT_EQ(C.Header()->Glyph()->TransparentColor() & 0xFFFFFF, clLime);
  // The part keeps a copy.
  G.Canvas()->SetPixels(0, 4, clRed);
  EXPECT_EQ(C.Header()->Glyph()->TransparentColor() & 0xFFFFFF, clLime);
}

TEST(ColumnParts, AssignCopiesWhatEachPartClassCopies) {
  TNxTextColumn A(nullptr), B(nullptr);
  A.Header()->SetCaption(L"Cap");
  A.Header()->SetColor(clRed);
  A.Header()->SetHint(L"Hint");
  A.Header()->SetMultiLine(true);
  A.Header()->SetOrientation(hoVertical);
  A.Header()->SetAlignment(taCenter);
  A.Header()->SetHideArrow(false);
  A.Header()->SetDrawingOptions(doCustom);
  B.Header()->Assign(A.Header());
  EXPECT_EQ(B.Header()->Caption(), L"Cap");
  EXPECT_EQ(B.Header()->Color(), clRed);
  EXPECT_EQ(B.Header()->Hint(), L"Hint");
  EXPECT_TRUE(B.Header()->MultiLine());
  EXPECT_EQ(B.Header()->Orientation(), hoVertical);
  EXPECT_EQ(B.Header()->Alignment(), taCenter);
  EXPECT_TRUE(B.Header()->HideArrow());             // not copied
  EXPECT_EQ(B.Header()->DrawingOptions(), doNormal);  // not copied

  A.Footer()->SetCaption(L"Sum");
  A.Footer()->SetColor(clAqua);
  A.Footer()->SetAlignment(taRightJustify);
  A.Footer()->SetDrawingOptions(doCustomOnly);
  A.Footer()->SetFormulaKind(fkAverage);
  A.Footer()->SetFormatMask("#.##");
  A.Footer()->SetFormatMaskKind(mkFloat);
  A.Footer()->SetTextBefore(L"(");
  A.Footer()->SetTextAfter(L")");
  B.Footer()->Assign(A.Footer());
  EXPECT_EQ(B.Footer()->Alignment(), taRightJustify);
  EXPECT_EQ(B.Footer()->DrawingOptions(), doCustomOnly);
  EXPECT_EQ(B.Footer()->FormulaKind(), fkAverage);
  EXPECT_EQ(B.Footer()->FormatMask(), "#.##");
  EXPECT_EQ(B.Footer()->TextBefore(), L"(");
  EXPECT_EQ(B.Footer()->TextAfter(), L")");
  EXPECT_TRUE(B.Footer()->Caption().empty());        // a footer copies no caption
  EXPECT_EQ(B.Footer()->Color(), clWindow);           // nor colour
  EXPECT_EQ(B.Footer()->FormatMaskKind(), mkText);    // nor mask kind

  // Parts of different classes do not mix.
  EXPECT_THROW(B.Footer()->Assign(A.Header()), EConvertError);
}

TEST_F(ListFixture, SlideBoundsNotifyTheColumn) {
  auto* C = Add();
  Joined();
  C->SlideBounds()->SetLeft(8);
  C->SlideBounds()->SetTop(8);
  EXPECT_EQ(Joined(), "changed 0 k4 p0; changed 0 k4 p0");  // Left and Top always
  C->SlideBounds()->SetWidth(80);
  C->SlideBounds()->SetHeight(16);
  EXPECT_EQ(Joined(), "");  // Width and Height only when they change
  C->SlideBounds()->SetWidth(90);
  C->SlideBounds()->SetHeight(20);
  EXPECT_EQ(Joined(), "changed 0 k4 p0; changed 0 k4 p0");
}

// ---------------------------------------------------------------------------------------------
// The list: adding, removing, order and notices

TEST_F(ListFixture, AddingAndRemovingNotifyTheGridAndTheStore) {
  auto* A = Add();
  EXPECT_EQ(A->Columns(), &List);
  EXPECT_EQ(A->Position(), 0);
  EXPECT_EQ(List.LastAdded(), A);
  auto* B = Add();
  EXPECT_EQ(B->Position(), 1);
  Log.clear();
  auto* C = new TNxTextColumn(&Owner);
  List.Insert(1, C);
  EXPECT_EQ(Joined(), "columns 3 1 -1; notify 3");
  EXPECT_EQ(C->Index(), 1);
  EXPECT_EQ(C->Position(), 1);
  EXPECT_EQ(B->Position(), 2);
  auto* D = List.AddColumn<TNxTextColumn>(&Owner);
  EXPECT_EQ(Joined(), "columns 0 3 -1; notify 0");
  // Destroying a column takes it out of the list with its former index.
  delete C;
  EXPECT_EQ(Joined(), "columns 1 1 -1; notify 1");
  EXPECT_EQ(List.Count(), 3);
  EXPECT_EQ(B->Position(), 1);
  EXPECT_EQ(D->Position(), 2);
  // Remove lets the column go without freeing it.
  List.Remove(A);
  EXPECT_EQ(Joined(), "columns 1 0 -1; notify 1");
  EXPECT_EQ(A->Columns(), nullptr);
  EXPECT_EQ(A->Position(), -1);
  EXPECT_EQ(B->Index(), 0);
  delete A;
  EXPECT_EQ(Joined(), "");
  // Renaming tells the grid.
  B->SetName("NxTextColumn1");
  EXPECT_EQ(Joined(), "notify 2");
  B->SetName("NxTextColumn1");
  EXPECT_EQ(Joined(), "");
}

TEST_F(ListFixture, BadAddsRaiseClearErrors) {
  auto* A = Add();
  EXPECT_THROW(List.Add(A), EListError);  // already in the list
  EXPECT_THROW(List.Add(nullptr), EListError);
  TNxTextColumn Loose(nullptr);
  EXPECT_THROW(List.Insert(5, &Loose), EListError);
  EXPECT_THROW(List.Item(1), EListError);
  EXPECT_THROW(List.ItemByPosition(-1), EListError);
  EXPECT_THROW(List.MovePosition(0, 3), EListError);
  EXPECT_EQ(List.Count(), 1);
  EXPECT_EQ(Loose.Columns(), nullptr);
}

TEST_F(ListFixture, AGridHoldsAtMost1025Columns) {
  for (int I = 0; I < 1025; ++I) List.AddColumn<TNxCustomColumn>(&Owner);
  Log.clear();
  EXPECT_THROW(List.AddColumn<TNxCustomColumn>(&Owner), EListError);
  EXPECT_EQ(List.Count(), 1025);
  EXPECT_EQ(Joined(), "");
  // The rejected column was freed by AddColumn: the owner holds only the 1025.
  EXPECT_EQ(Owner.ComponentCount(), 1025);
}

TEST_F(ListFixture, LayoutFollowsDisplayOrderAndVisibility) {
  List.SetStartX(12);
  auto* A = Add(50);
  auto* B = Add(60);
  auto* C = Add(70);
  EXPECT_EQ(Lefts(), "0:12 1:62 2:122");
  EXPECT_EQ(List.TotalWidth(), 180);
  Log.clear();
  // Moving C to the front: positions renumbered, the notice carries the old position.
  C->SetPosition(0);
  EXPECT_EQ(Joined(), "changed 2 k2 p2");
  EXPECT_EQ(Lefts(), "2:12 0:82 1:132");
  EXPECT_EQ(C->Position(), 0);
  EXPECT_EQ(A->Position(), 1);
  EXPECT_EQ(B->Position(), 2);
  EXPECT_EQ(List.Item(2), C);  // creation order stays
  // Hiding A: no visible index, the columns behind it close up.
  A->SetVisible(false);
  EXPECT_EQ(Joined(), "changed 0 k8 p0");
  EXPECT_EQ(A->VisibleIndex(), -1);
  EXPECT_EQ(B->VisibleIndex(), 1);
  EXPECT_EQ(B->Left(), 82);
  EXPECT_EQ(List.VisibleCount(), 2);
  EXPECT_EQ(List.TotalWidth(), 130);
  // Fixed columns: the visible ones among the first FixedCols positions.
  List.SetFixedCols(2);
  EXPECT_EQ(List.FixedWidth(), 70);
  // Queries skip hidden and disabled columns.
  EXPECT_EQ(List.First(), C);
  EXPECT_EQ(List.Next(C), B);
  EXPECT_EQ(List.Previous(B), C);
  C->SetEnabled(false);
  EXPECT_EQ(List.First(), B);
  EXPECT_EQ(List.Last(), B);
  EXPECT_EQ(List.Next(B), nullptr);
  EXPECT_EQ(List.Previous(B), nullptr);
}

TEST_F(ListFixture, WidthKeepsMinWidthAndReportsTheChange) {
  auto* A = Add(50);
  auto* B = Add(60);
  Log.clear();
  A->SetWidth(3);
  EXPECT_EQ(A->Width(), 8);
  EXPECT_EQ(Joined(), "changed 0 k10 p-42");
  EXPECT_EQ(B->Left(), 8);
  A->SetWidth(8);
  EXPECT_EQ(Joined(), "");
  A->SetMinWidth(20);
  EXPECT_EQ(A->Width(), 20);
  EXPECT_EQ(Joined(), "changed 0 k10 p12");
  EXPECT_EQ(A->DefaultWidth(), 80);  // not designing: the default stays
  Grid.SetDesigning(true);
  A->SetWidth(33);
  EXPECT_EQ(A->DefaultWidth(), 33);
}

TEST_F(ListFixture, OnlyOneColumnIsSortedAndOnlyOneSearches) {
  auto* A = Add();
  auto* B = Add();
  Log.clear();
  A->SetSorted(true);
  EXPECT_EQ(Joined(), "changed 0 k5 p0");
  B->SetSorted(true);
  EXPECT_FALSE(A->Sorted());
  EXPECT_TRUE(B->Sorted());
  EXPECT_EQ(Joined(), "changed 0 k9 p0; changed 1 k5 p0");
  B->SetSortKind(skDescending);
  EXPECT_EQ(Joined(), "changed 1 k6 p0");
  B->SetSortKind(skDescending);
  EXPECT_EQ(Joined(), "");
  B->SetSorted(false);
  EXPECT_EQ(Joined(), "changed 1 k9 p0");

  A->SetOptions(A->Options() + coSearchColumn);
  B->SetOptions(B->Options() + coSearchColumn);
  EXPECT_FALSE(A->Options().Contains(coSearchColumn));
  EXPECT_TRUE(B->Options().Contains(coSearchColumn));
}

TEST_F(ListFixture, WhileTheGridIsReadNothingIsLaidOutOrMoved) {
  auto* A = Add(50);
  auto* B = Add(60);
  Grid.Loading();
  B->SetPosition(0);
  EXPECT_EQ(B->Position(), 0);  // stored only
  EXPECT_EQ(List.ItemByPosition(0), A);
  A->SetWidth(100);
  EXPECT_EQ(B->Left(), 50);  // not laid out
  Grid.Loaded();
  List.Layout(true);
  EXPECT_EQ(B->Left(), 100);
}

// ---------------------------------------------------------------------------------------------
// Auto-sizing

TEST_F(ListFixture, ASingleAutoSizeColumnFillsTheBody) {
  auto* A = Add(50);
  auto* B = Add(40);
  B->SetOptions(B->Options() + coAutoSize);
  EXPECT_EQ(B->Width(), 250);
  // A width change in front of it is taken up behind it.
  A->SetWidth(100);
  EXPECT_EQ(B->Width(), 200);
  // So is a resize of the body.
  Body = 500;
  List.AutoSizeColumns(Body);
  EXPECT_EQ(B->Width(), 400);
  // Hiding the other column gives it everything.
  A->SetVisible(false);
  EXPECT_EQ(B->Width(), 500);
}

TEST_F(ListFixture, AutoSizeColumnsShareByTheirWidthsAndKeepThePixels) {
  Body = 101;
  auto* F = Add(30);
  auto* A = Add(20);
  auto* B = Add(20);
  auto* C = Add(20);
  // Set while the grid is read, so that the three start with equal widths.
  Grid.Loading();
  for (auto* X : {A, B, C}) X->SetOptions(X->Options() + coAutoSize);
  Grid.Loaded();
  EXPECT_EQ(A->Width(), 20);
  List.AutoSizeColumns(Body);
  // 71 pixels in three equal shares: 23 + 24 + 24 (the fractions carry).
  EXPECT_EQ(F->Width(), 30);
  EXPECT_EQ(A->Width() + B->Width() + C->Width(), 71);
  EXPECT_EQ(A->Width(), 23);
  EXPECT_EQ(B->Width(), 24);
  EXPECT_EQ(C->Width(), 24);
  // MinWidth applies to shares too.
  Body = 40;
  List.AutoSizeColumns(Body);
  EXPECT_EQ(A->Width(), 8);
  EXPECT_EQ(C->Width(), 8);
}

TEST_F(ListFixture, SlidesAnchoredRightFollowTheGrid) {
  auto* A = Add();
  auto* B = Add();
  auto* C = Add();
  B->SetSlideAnchors({akTop, akRight});
  C->SetSlideAnchors({akLeft, akTop, akRight});
  List.AdjustSlides(15);
  EXPECT_EQ(A->SlideBounds()->Left(), 8);
  EXPECT_EQ(A->SlideBounds()->Width(), 80);
  EXPECT_EQ(B->SlideBounds()->Left(), 23);
  EXPECT_EQ(B->SlideBounds()->Width(), 80);
  EXPECT_EQ(C->SlideBounds()->Left(), 8);
  EXPECT_EQ(C->SlideBounds()->Width(), 95);
}

// ---------------------------------------------------------------------------------------------
// Editors

TEST(ColumnEditors, PreparationSetsTheGridEditorUp) {
  TNxTextColumn C(nullptr);
  C.SetAlignment(taRightJustify);
  C.SetMaxLength(12);
  C.SetPasswordChar(L'*');
  TNxCustomEdit* E = C.Editor();
  E->SetBorderWidth(2);
  C.PrepareEditor(E);
  EXPECT_TRUE(E->IsGridEditor());
  EXPECT_EQ(E->Alignment(), taRightJustify);
  EXPECT_EQ(E->BorderStyle(), bsNone);
  EXPECT_EQ(E->BorderWidth(), 0);
  EXPECT_EQ(E->EditMargins()->Left(), 1);
  EXPECT_EQ(E->MaxLength(), 12);
  EXPECT_EQ(E->PasswordChar(), L'*');
  // A plain column prepares without the text settings.
  TNxCustomColumn P(nullptr);
  TNxEdit Other(nullptr);
  P.PrepareEditor(&Other);
  EXPECT_TRUE(Other.IsGridEditor());
  EXPECT_EQ(Other.MaxLength(), 0);
  P.PrepareEditor(nullptr);  // nothing to prepare
}

TEST(ColumnEditors, ColumnForgetsEditorsThatAreDestroyed) {
  TNxTextColumn C(nullptr);
  auto* Mine = new TNxEdit(nullptr);
  C.SetInplaceEdit(Mine);
  EXPECT_EQ(C.ActiveEditor(), Mine);
  delete Mine;
  EXPECT_EQ(C.InplaceEdit(), nullptr);
  EXPECT_EQ(C.ActiveEditor(), C.Editor());
  // The own editor can go with a parent that deletes its children (a grid).
  TNxCustomEdit* Own = C.Editor();
  delete Own;
  EXPECT_EQ(C.Editor(), nullptr);
  EXPECT_EQ(C.ActiveEditor(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Display text, best fit and copying

TEST(ColumnText, TextBeforeAndAfterWrapTheValueAndPasswordMasksAll) {
  TNxTextColumn C(nullptr);
  EXPECT_EQ(C.GetDisplayText(Text(L"a")), L"a");
  C.SetTextBefore(L"[");
  C.SetTextAfter(L"]");
  EXPECT_EQ(C.GetDisplayText(Text(L"a")), L"[a]");
  EXPECT_EQ(C.GetValueText(Text(L"a")), L"a");
  C.SetPasswordChar(L'*');
  EXPECT_EQ(C.GetDisplayText(Text(L"a")), L"***");
  EXPECT_EQ(C.GetDisplayText(Text(L"")), L"**");
  C.SetInputValue(L"xyz");
  EXPECT_EQ(C.GetInputDisplayText(), L"*****");
  // Values of other kinds in their text forms.
  TNxCustomColumn P(nullptr);
  TCellValue V;
  V.Kind = ckInteger;
  V.AsInteger = -5;
  EXPECT_EQ(P.GetDisplayText(V), L"-5");
  V.Kind = ckBoolean;
  V.AsBoolean = true;
  EXPECT_EQ(P.GetDisplayText(V), L"True");
  V.Kind = ckFloat;
  V.AsFloat = 1.5;
  EXPECT_EQ(P.GetDisplayText(V), L"1.5");
}

TEST(ColumnText, BestFitWidthsOfTheTwoClasses) {
  TBitmap B(10, 10);
  TCanvas* Cv = B.Canvas();
  const int W = TextWidthW(Cv, L"Hello");
  ASSERT_GT(W, 10);
  TNxTextColumn T(nullptr);
  TNxCustomColumn P(nullptr);
  EXPECT_EQ(T.GetBestFitWidth(Cv, L"Hello"), W + 5);
  EXPECT_EQ(P.GetBestFitWidth(Cv, L"Hello"), W + 6);
  EXPECT_EQ(T.GetBestFitWidth(Cv, L""), 5);  // no minimum
  EXPECT_EQ(P.GetBestFitWidth(Cv, L""), 8);  // at least 8
  // Without a canvas the painter's is used.
  T.Display()->Canvas = Cv;
  EXPECT_EQ(T.GetBestFitWidth(nullptr, L"Hello"), W + 5);
}

// ---------------------------------------------------------------------------------------------
// The text painter's pixels

struct PainterFixture : ::testing::Test {
  TNxTextColumn Column{nullptr};
  TBitmap Bmp{120, 20, pf32bit};
  void SetUp() override {
    Bmp.Canvas()->Font()->SetName("Tahoma");
    Bmp.Canvas()->Font()->SetColor(clBlack);
    Bmp.Canvas()->Font()->SetSize(9);
  }
  // Paints the cell value with the column's painter.
  void PaintCell(const WideString& Value) {
    Clear();
    TColumnDisplay* D = Column.Display();
    D->Canvas = Bmp.Canvas();
    D->ClientRect = Rect(0, 0, 120, 20);
    D->Value = Text(Value);
    D->Paint();
  }
  void Clear() {
    Bmp.Canvas()->Brush()->SetStyle(bsSolid);
    Bmp.Canvas()->Brush()->SetColor(clWhite);
    Bmp.Canvas()->FillRect(Rect(0, 0, 120, 20));
  }
  // The pixels of the bitmap as 0x00RRGGBB values.
  std::vector<DWORD> Pixels() {
    std::vector<DWORD> P;
    for (int Y = 0; Y < 20; ++Y)
      for (int X = 0; X < 120; ++X) P.push_back(static_cast<DWORD>(Bmp.Canvas()->Pixels(X, Y)));
    return P;
  }
  // The same text drawn directly: single line, vertically centred, in the content rectangle.
  std::vector<DWORD> Expected(const WideString& S, UINT Align = DT_LEFT) {
    Clear();
    Bmp.Canvas()->TextExtent(L"");
    HDC DC = Bmp.Canvas()->Handle();
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, RGB(0, 0, 0));
    RECT R{2, 0, 118, 20};
    WideString T = S;
    DrawTextExW(DC, T.data(), static_cast<int>(T.size()), &R,
                DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | Align, nullptr);
    return Pixels();
  }
  // Leftmost and rightmost columns holding a dark pixel.
  std::pair<int, int> InkSpan() {
    int L = 120, R = -1;
    for (int Y = 0; Y < 20; ++Y)
      for (int X = 0; X < 120; ++X)
        if ((Bmp.Canvas()->Pixels(X, Y) & 0xFF) < 128) {
          L = std::min(L, X);
          R = std::max(R, X);
        }
    return {L, R};
  }
};

TEST_F(PainterFixture, PaintsTheDecoratedTextAsItIsDrawn) {
  Column.SetTextBefore(L"[");
  Column.SetTextAfter(L"]");
  PaintCell(L"a");
  const auto Painted = Pixels();
  EXPECT_EQ(Painted, Expected(L"[a]"));
  EXPECT_NE(Painted, Expected(L"a"));
  Column.SetPasswordChar(L'*');
  PaintCell(L"a");
  EXPECT_EQ(Pixels(), Expected(L"***"));
}

TEST_F(PainterFixture, AlignmentPlacesTheTextInTheContentRectangle) {
  PaintCell(L"Wide text");
  const auto Left = InkSpan();
  EXPECT_GE(Left.first, 2);
  EXPECT_LT(Left.first, 5);
  Column.SetAlignment(taRightJustify);
  PaintCell(L"Wide text");
  EXPECT_EQ(Pixels(), Expected(L"Wide text", DT_RIGHT));
  const auto Right = InkSpan();
  EXPECT_LE(Right.second, 117);
  EXPECT_GT(Right.second, 112);
  // Smoothed glyph edges may differ by a pixel at another sub-pixel position.
  EXPECT_NEAR(Right.second - Right.first, Left.second - Left.first, 1);
}

TEST_F(PainterFixture, MeasuresTextInTheCanvasFont) {
  TColumnDisplay* D = Column.Display();
  D->Canvas = Bmp.Canvas();
  D->ClientRect = Rect(0, 0, 120, 20);
  Bmp.Canvas()->Font()->SetSize(24);
  const int H = Bmp.Canvas()->TextHeight(L"Ag");
  ASSERT_GT(H, 24);
  EXPECT_EQ(D->GetTextHeight(L"Ag"), H);
  EXPECT_EQ(D->GetTextHeight(L""), H);  // an empty cell is one line high
  EXPECT_EQ(D->GetTextWidth(L"Ag"), Bmp.Canvas()->TextWidth(L"Ag"));
  // Word wrap: as many lines as the content width (the cell less 2 pixels a side) makes.
  Column.SetWrapKind(wkWordWrap);
  const int Two = Bmp.Canvas()->TextWidth(L"Wide Wide");
  D->ClientRect = Rect(0, 0, Two + 10, 20);
  const int Narrow = D->GetTextHeight(L"Wide Wide Wide Wide");
  EXPECT_GE(Narrow, 2 * H);  // where a line breaks is the platform's
  EXPECT_EQ(Narrow % H, 0);
  D->ClientRect = Rect(0, 0, 3 * Two, 20);
  EXPECT_EQ(D->GetTextHeight(L"Wide Wide Wide Wide"), H);
}

TEST_F(PainterFixture, WrappedLinesArePlacedByTheVerticalAlignment) {
  TBitmap Tall(60, 80, pf32bit);
  TCanvas* Cv = Tall.Canvas();
  Cv->Font()->SetName("Tahoma");
  Cv->Font()->SetSize(9);
  Column.SetWrapKind(wkWordWrap);
  TColumnDisplay* D = Column.Display();
  D->Canvas = Cv;
  D->ClientRect = Rect(0, 0, 60, 80);
  const auto InkRows = [Cv]() {
    int Top = 80, Bottom = -1;
    for (int Y = 0; Y < 80; ++Y)
      for (int X = 0; X < 60; ++X)
        if ((Cv->Pixels(X, Y) & 0xFF) < 128) {
          Top = std::min(Top, Y);
          Bottom = std::max(Bottom, Y);
        }
    return std::make_pair(Top, Bottom);
  };
  const auto PaintWith = [&](TVerticalAlignment A) {
    Column.SetVerticalAlignment(A);
    Cv->Brush()->SetStyle(bsSolid);
    Cv->Brush()->SetColor(clWhite);
    Cv->FillRect(Rect(0, 0, 60, 80));
    D->Value = Text(L"Wide Wide Wide");
    D->Paint();
    return InkRows();
  };
  const auto Top = PaintWith(taAlignTop);
  const auto Centre = PaintWith(taVerticalCenter);
  const auto Bottom = PaintWith(taAlignBottom);
  ASSERT_LT(Top.first, 5);
  const int Block = Top.second - Top.first;
  ASSERT_GT(Block, 20);  // more than one line
  EXPECT_EQ(Centre.second - Centre.first, Block);
  EXPECT_EQ(Bottom.second - Bottom.first, Block);
  // Centred: the free space above and below differs by at most the line's own margins.
  EXPECT_NEAR(Centre.first - Top.first, (Bottom.first - Top.first) / 2, 1);
  EXPECT_GT(Bottom.second, 72);
}

TEST_F(PainterFixture, HintMarkIsASmallRedTriangleInTheTopRightCorner) {
  Clear();
  TColumnDisplay* D = Column.Display();
  D->Canvas = Bmp.Canvas();
  D->ClientRect = Rect(0, 0, 120, 20);
  D->PaintHintMark();
  const auto Red = [this](int X, int Y) { return (Bmp.Canvas()->Pixels(X, Y) & 0xFFFFFF) == clRed; };
  EXPECT_TRUE(Red(119, 0));
  EXPECT_TRUE(Red(116, 0));
  EXPECT_TRUE(Red(119, 3));
  EXPECT_FALSE(Red(114, 0));
  EXPECT_FALSE(Red(119, 6));
  EXPECT_FALSE(Red(116, 3));
  int N = 0;
  for (int Y = 0; Y < 20; ++Y)
    for (int X = 0; X < 120; ++X) N += Red(X, Y);
  EXPECT_GE(N, 8);
  EXPECT_LE(N, 15);
}

// ---------------------------------------------------------------------------------------------
// A grid's columns and its cell store

struct GridColumnsFixture : ::testing::Test {
  TForm* Form = nullptr;
  TNxGrid* Grid = nullptr;
  TNxTextColumn* First = nullptr;
  std::vector<std::string> Data;

  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(100, 100, 400, 240);
    Grid = new TNxGrid(Form);
    Grid->SetParent(Form);
    Grid->SetBounds(0, 0, 300, 200);
    First = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
    for (const wchar_t* T : {L"a", L"b", L"c"}) Grid->SetCells(0, Grid->AddRow(1), T);
    Grid->OnDataChange = [this](TObject*, TDataChange K, int I) {
      static const char* Names[] = {"addcol", "addchild", "add", "inscol", "ins", "delcol", "del", "clear"};
      Data.push_back(std::string(Names[K]) + " " + std::to_string(I));
    };
    Form->Show();
    uitest::Settle(Form->Handle());
  }
  void TearDown() override {
    if (Grid != nullptr) Grid->OnDataChange = nullptr;
    delete Form;
    uitest::Pump();
  }
  std::string Column(int C) {
    std::string S;
    for (int R = 0; R < Grid->RowCount(); ++R) {
      if (R > 0) S += ',';
      S += WideToAnsi(Grid->Cells(C, R));
    }
    return S;
  }
};

TEST_F(GridColumnsFixture, AddingAColumnGivesEveryRowACell) {
  auto* Second = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
  EXPECT_EQ(Data, std::vector<std::string>{"addcol 1"});
  EXPECT_EQ(Grid->CellStore()->ColumnCount(), 2);
  EXPECT_EQ(Column(1), ",,");
  Grid->SetCells(1, 2, L"z");
  EXPECT_EQ(Column(1), ",,z");
  EXPECT_EQ(Column(0), "a,b,c");
  EXPECT_EQ(Second->Position(), 1);
}

TEST_F(GridColumnsFixture, InsertingAndDeletingColumnsMoveTheStoreWithThem) {
  auto* Front = new TNxTextColumn(Form);
  Grid->Columns()->Insert(0, Front);
  EXPECT_EQ(Data, std::vector<std::string>{"inscol 0"});
  EXPECT_EQ(Column(0), ",,");
  EXPECT_EQ(Column(1), "a,b,c");
  Data.clear();
  delete Front;
  EXPECT_EQ(Data, std::vector<std::string>{"delcol 0"});
  EXPECT_EQ(Grid->CellStore()->ColumnCount(), 1);
  EXPECT_EQ(Column(0), "a,b,c");
  EXPECT_THROW(Grid->Cells(1, 0), Exception);
}

TEST_F(GridColumnsFixture, AnInsertedColumnLeavesTheCellsItPushesAsideAsTheyWere) {
  Grid->GetCell(0, 0)->SetColor(clRed);
  Grid->GetCell(0, 1)->SetFontStyle({fsItalic});
  Grid->GetCell(0, 2)->SetFontColor(clBlue);
  std::vector<std::string> Changes;
  Grid->OnChange = [&Changes](TObject*, int C, int R) { Changes.push_back(std::to_string(C) + "," + std::to_string(R)); };
  auto* Front = new TNxTextColumn(Form);
  Front->SetColor(clAqua);
  Grid->Columns()->Insert(0, Front);
  // The pushed column's cells keep their own settings and report no change.
  EXPECT_EQ(Grid->GetCell(1, 0)->Color(), clRed);
  EXPECT_EQ(Grid->GetCell(1, 1)->FontStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(Grid->GetCell(1, 2)->FontColor(), clBlue);
  EXPECT_EQ(Grid->GetCell(1, 1)->Color(), First->Color());
  EXPECT_TRUE(Changes.empty());
  // The new column's cells take its settings, the grid's font among them.
  for (int R = 0; R < 3; ++R) {
    EXPECT_EQ(Grid->GetCell(0, R)->Color(), clAqua);
    EXPECT_EQ(Grid->GetCell(0, R)->FontColor(), Grid->Font()->Color());
  }
}

// Memory running out at any allocation of an insert (the store's cells among them) leaves the
// grid as it was: the column list, the store and the cells agree, and the grid goes on working.
TEST_F(GridColumnsFixture, AColumnInsertThatRunsOutOfMemoryLeavesTheGridAsItWas) {
  for (int R = 3; R < 40; ++R) Grid->SetCells(0, Grid->AddRow(1), std::to_wstring(R));
  auto* Back = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
  Back->SetWidth(50);
  for (int R = 0; R < Grid->RowCount(); ++R) Grid->SetCells(1, R, L"b" + std::to_wstring(R));
  const std::string Before0 = Column(0), Before1 = Column(1);
  auto* Front = new TNxTextColumn(Form);
  Data.clear();
  int StoreFailures = 0;
  for (unsigned FailAt = 1;; ++FailAt) {
    SCOPED_TRACE(FailAt);
    bool Threw = false;
    {
      memguard::TFailAllocation Fail(FailAt);
      try {
        Grid->Columns()->Insert(1, Front);
      } catch (const std::bad_alloc&) {
        Threw = true;
      }
      ASSERT_EQ(Threw, Fail.Failed());
    }
    if (!Threw) break;
    ASSERT_EQ(Grid->Columns()->Count(), 2);
    ASSERT_EQ(Grid->CellStore()->ColumnCount(), 2);
    EXPECT_EQ(Front->Columns(), nullptr);
    EXPECT_EQ(Back->Position(), 1);
    EXPECT_EQ(Back->Left(), First->Left() + First->Width());
    EXPECT_EQ(Column(0), Before0);
    EXPECT_EQ(Column(1), Before1);
    EXPECT_TRUE(Data.empty());
    if (FailAt > 10) ++StoreFailures;
  }
  EXPECT_GT(StoreFailures, 30);  // one per row's cell, at least
  EXPECT_EQ(Data, std::vector<std::string>{"inscol 1"});
  EXPECT_EQ(Grid->CellStore()->ColumnCount(), 3);
  EXPECT_EQ(Column(2), Before1);
  Grid->SetCells(1, 5, L"new");
  EXPECT_EQ(Grid->Cells(1, 5), L"new");
  uitest::Settle(Form->Handle());
}

TEST_F(GridColumnsFixture, MovingAColumnLeavesTheDataInCreationOrder) {
  auto* Second = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
  Grid->SetCells(1, 0, L"x");
  int Moves = 0;
  Grid->OnColumnMove = [&Moves](TObject*, int ACol, int From, int To) {
    ++Moves;
    EXPECT_EQ(ACol, 1);
    EXPECT_EQ(From, 1);
    EXPECT_EQ(To, 0);
  };
  Second->SetPosition(0);
  EXPECT_EQ(Moves, 1);
  EXPECT_EQ(Grid->Columns()->ItemByPosition(0), Second);
  EXPECT_EQ(Column(0), "a,b,c");
  EXPECT_EQ(Grid->Cells(1, 0), L"x");
  EXPECT_LT(Second->Left(), First->Left());
}

TEST_F(GridColumnsFixture, DisplayTextOfTheGridUsesTheColumnDecoration) {
  First->SetTextBefore(L"[");
  First->SetTextAfter(L"]");
  WideString T;
  Grid->GetCellDisplayText(0, 0, T);
  EXPECT_EQ(T, L"[a]");
  EXPECT_EQ(Grid->Cells(0, 0), L"a");  // the stored text is the plain value
  First->SetPasswordChar(L'*');
  Grid->GetCellDisplayText(0, 0, T);
  EXPECT_EQ(T, L"***");
}

TEST_F(GridColumnsFixture, ColumnColourReachesEveryCell) {
  First->SetColor(clYellow);
  for (int R = 0; R < 3; ++R) EXPECT_EQ(Grid->GetCell(0, R)->Color(), clYellow);
  // A new row takes the column's settings too.
  Grid->AddRow(1);
  EXPECT_EQ(Grid->GetCell(0, 3)->Color(), clYellow);
}

TEST_F(GridColumnsFixture, ColumnsFollowTheGridFontWhileParentFont) {
  Grid->Font()->SetSize(14);
  EXPECT_EQ(First->Font()->Size(), 14);
  First->Font()->SetStyle({fsBold});
  EXPECT_FALSE(First->ParentFont());
  Grid->Font()->SetSize(8);
  EXPECT_EQ(First->Font()->Size(), 14);
}

TEST_F(GridColumnsFixture, DestroyingTheFormFreesGridAndColumnsInAnyOrder) {
  auto* Second = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
  Second->SetInplaceEdit(new TNxEdit(Form));
  // The column's own editor may sit on the grid when the grid goes.
  First->Editor()->SetParent(Grid);
  delete Form;
  Form = nullptr;
  Grid = nullptr;
  SUCCEED();
}

TEST_F(GridColumnsFixture, TheColumnEditorOpensOverACellPreparedByTheColumn) {
  First->SetOptions(First->Options() + coEditing);
  First->SetMaxLength(5);
  First->SetPasswordChar(L'*');
  First->SetAlignment(taRightJustify);
  First->SetColor(clYellow);
  First->SetWidth(120);
  Grid->SetFocus();
  Grid->EditCell(0, 1);
  ASSERT_EQ(Grid->InplaceEditor(), First->Editor());
  TNxCustomEdit* E = First->Editor();
  uitest::Settle(Form->Handle());
  EXPECT_TRUE(E->IsGridEditor());
  EXPECT_EQ(E->BorderStyle(), bsNone);
  EXPECT_EQ(E->Alignment(), taRightJustify);
  EXPECT_EQ(E->MaxLength(), 5);
  EXPECT_EQ(E->PasswordChar(), L'*');
  EXPECT_EQ(E->Text(), L"b");
  EXPECT_EQ(LOWORD(SendMessageW(E->Handle(), EM_GETMARGINS, 0, 0)), 1);
  EXPECT_TRUE((GetWindowLongW(E->Handle(), GWL_STYLE) & ES_RIGHT) != 0);
  EXPECT_EQ(SendMessageW(E->Handle(), EM_GETLIMITTEXT, 0, 0), 5);
  // The editor shows the cell's colour and the masked text at its right edge.
  const uitest::TCapture P(E->Handle());
  P.MaybeSave("column_editor");
  EXPECT_EQ(P.Pixel(1, 1), RGB(255, 255, 0));
  const TRect Ink = P.Extent(RGB(255, 255, 0));
  ASSERT_FALSE(Ink.IsEmpty());
  EXPECT_GT(Ink.Left, P.Width() / 2);
  Grid->EndEditing();
}

TEST_F(GridColumnsFixture, ColumnsThatOutliveTheirGridAreLetGo) {
  TComponent Keeper(nullptr);
  auto* Loose = new TNxTextColumn(&Keeper);
  Grid->Columns()->Add(Loose);
  Loose->Editor()->SetParent(Grid);  // as while it edits
  delete Grid;
  Grid = nullptr;
  EXPECT_EQ(Loose->Columns(), nullptr);
  EXPECT_EQ(Loose->Position(), -1);
  EXPECT_EQ(Loose->Editor(), nullptr);  // it went with the grid's windows
  Loose->SetWidth(99);                  // no list to tell
  Loose->SetSorted(true);
}

}  // namespace
