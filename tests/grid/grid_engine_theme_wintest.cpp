// The grid engine with visual styles, through a table of the test's own theme functions: the
// header theme data follows the window (opened when it is made, again on a theme change, closed
// when it goes), and the window border is drawn themed, in the Office-like styles' frame, or left
// to the system. Also the best-fit operations and the column notices.
#include <gtest/gtest.h>

#include <cstdint>

#include "grid/NxThemeSupport.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

std::vector<std::string> Calls;
HTHEME const FakeTheme = reinterpret_cast<HTHEME>(static_cast<std::uintptr_t>(0x6160));

std::string Narrow(const wchar_t* S) {
  std::string R;
  for (; S != nullptr && *S != 0; ++S) R += static_cast<char>(*S);
  return R;
}
BOOL WINAPI FakeTrue() { return TRUE; }
HTHEME WINAPI FakeOpen(HWND, LPCWSTR ClassList) {
  Calls.push_back("open " + Narrow(ClassList));
  return FakeTheme;
}
HRESULT WINAPI FakeClose(HTHEME) {
  Calls.push_back("close");
  return S_OK;
}
// Paints what it is asked in a colour made of the part and the state.
HRESULT WINAPI FakeDraw(HTHEME, HDC DC, int Part, int State, const RECT* Rect, const RECT* Clip) {
  Calls.push_back("draw " + std::to_string(Part) + "," + std::to_string(State));
  RECT R = *Rect;
  if (Clip != nullptr) IntersectRect(&R, Rect, Clip);
  HBRUSH B = CreateSolidBrush(RGB(40 + Part, 40 + State, 90));
  FillRect(DC, &R, B);
  DeleteObject(B);
  return S_OK;
}

struct FakeThemes : ::testing::Test {
  TThemeFunctions Real;
  void SetUp() override {
    Calls.clear();
    TThemeFunctions F;
    F.Library = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x10000));
    F.OpenThemeData = FakeOpen;
    F.CloseThemeData = FakeClose;
    F.DrawThemeBackground = FakeDraw;
    F.IsThemeActive = FakeTrue;
    F.IsAppThemed = FakeTrue;
    Real = ReplaceThemeFunctions(F);
  }
  void TearDown() override { ReplaceThemeFunctions(Real); }
  static int Count(const std::string& What) {
    int N = 0;
    for (const auto& C : Calls) N += C == What ? 1 : 0;
    return N;
  }
};

// The colour at a point of the window's rectangle (frame included).
COLORREF FramePixel(HWND W, int X, int Y) {
  HDC DC = GetWindowDC(W);
  const COLORREF C = GetPixel(DC, X, Y);
  ReleaseDC(W, DC);
  return C;
}

}  // namespace

TEST_F(FakeThemes, TheHeaderThemeFollowsTheWindow) {
  auto* F = new TEngineForm(2, {goHeader});
  EXPECT_EQ(Count("open header"), 1);
  EXPECT_TRUE(F->Grid->IsThemedChrome());
  F->Grid->SetEnableVisualStyles(false);
  EXPECT_FALSE(F->Grid->IsThemedChrome());
  // A theme change closes the old data and opens it again.
  Calls.clear();
  SendMessageW(F->Window(), WM_THEMECHANGED, 0, 0);
  EXPECT_EQ(Count("close"), 1);
  EXPECT_EQ(Count("open header"), 1);
  EXPECT_EQ(Calls.front(), "close");
  // The window goes, the data is closed with it.
  Calls.clear();
  delete F;
  EXPECT_EQ(Count("close"), 1);
}

TEST_F(FakeThemes, TheWindowBorder) {
  TEngineForm F(2, {goHeader});
  TNxGrid* G = F.Grid;
  G->SetBorderStyle(bsSingle);
  Settle(F.Window());
  RECT W;
  GetWindowRect(G->Handle(), &W);
  const int Width = W.right - W.left;
  // Visual styles: the list frame is drawn over the system's border, the client left alone.
  Calls.clear();
  RedrawWindow(G->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  Pump();
  EXPECT_GE(Count("draw 1,0"), 1);
  EXPECT_EQ(FramePixel(G->Handle(), 0, 0), RGB(41, 40, 90));
  EXPECT_EQ(FramePixel(G->Handle(), Width / 2, 0), RGB(41, 40, 90));
  EXPECT_NE(FramePixel(G->Handle(), Width / 2, 8), RGB(41, 40, 90));
  // Without visual styles the system's edge stays.
  G->SetEnableVisualStyles(false);
  Calls.clear();
  RedrawWindow(G->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  Pump();
  EXPECT_EQ(Count("draw 1,0"), 0);
  EXPECT_NE(FramePixel(G->Handle(), 0, 0), RGB(41, 40, 90));
  // The Office-like styles: a one-pixel frame in their border colour.
  G->SetHeaderStyle(hsOffice2007);
  RedrawWindow(G->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  Pump();
  EXPECT_EQ(FramePixel(G->Handle(), 0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(FramePixel(G->Handle(), Width - 1, 5), ColorToRGB(clBtnShadow));
}

TEST(EngineBestFit, ColumnsAndRowsFitTheirTexts) {
  TEngineForm F(2, {goHeader});
  TNxGrid* G = F.Grid;
  F.Fill(3);
  G->SetCells(1, 2, L"a considerably longer text in this cell");
  G->Canvas()->SetFont(F.Columns[1]->Font());
  const int TextW = G->Canvas()->TextWidth(G->Cells(1, 2));
  G->BestFitColumn(F.Columns[1]);
  EXPECT_GE(F.Columns[1]->Width(), TextW + 5);
  EXPECT_LE(F.Columns[1]->Width(), TextW + 20);
  // The header only: the caption's width.
  G->BestFitColumn(F.Columns[1], 2);
  EXPECT_LT(F.Columns[1]->Width(), TextW / 2);
  // OnApplyCell changes what is measured.
  G->OnApplyCell = [](TObject*, int, int R, WideString& V) {
    if (R == 0) V = L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
  };
  G->BestFitColumn(F.Columns[0], 1);
  EXPECT_GT(F.Columns[0]->Width(), TextW);
  G->OnApplyCell = nullptr;
  // A row fits the tallest text of its visible columns, at least RowSize.
  std::vector<int> Heights;
  G->OnChangeRowHeight = [&](TObject*, int Index, int Height) { Heights.push_back(Index * 1000 + Height); };
  G->BestFitRow(1);
  EXPECT_EQ(G->RowHeight(1), 16);
  F.Columns[0]->SetParentFont(false);
  F.Columns[0]->Font()->SetSize(24);
  F.Columns[0]->SetVerticalAlignment(taAlignTop);
  G->BestFitRow(1);
  G->Canvas()->SetFont(F.Columns[0]->Font());
  EXPECT_GT(G->RowHeight(1), 16);
  EXPECT_EQ(G->RowHeight(1), G->Canvas()->TextHeight(G->Cells(0, 1)));
  ASSERT_EQ(Heights.size(), 1u);  // the unchanged height is not set again
  EXPECT_EQ(Heights[0], 1000 + G->RowHeight(1));
}

TEST(EngineColumns, NoticesOfTheColumnList) {
  TEngineForm F(3, {goHeader});
  TNxGrid* G = F.Grid;
  F.Fill(2);
  std::vector<std::string> Log;
  G->OnColumnMove = [&](TObject*, int C, int From, int To) {
    Log.push_back("move " + std::to_string(C) + " " + std::to_string(From) + ">" + std::to_string(To));
  };
  G->OnDataChange = [&](TObject*, TDataChange Kind, int Index) {
    Log.push_back("data " + std::to_string(static_cast<int>(Kind)) + " " + std::to_string(Index));
  };
  F.Columns[0]->SetPosition(2);
  EXPECT_EQ(G->GetCellRect(0, 0).Left, 160);
  G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  G->Columns()->Delete(1);
  EXPECT_EQ(Log, (std::vector<std::string>{"move 0 0>2", "data " + std::to_string(dcAddColumn) + " 3",
                                           "data " + std::to_string(dcDeleteColumn) + " 1"}));
  // A selected column that goes away (the one added above) leaves the selection on a column
  // that exists.
  G->SelectCell(2, 0);
  G->Columns()->Delete(2);
  EXPECT_LT(G->SelectedColumn(), G->Columns()->Count());
  // A sorted column asks the grid to sort (OnSortColumn with its sort kind).
  std::vector<std::string> Sorts;
  G->OnSortColumn = [&](TObject*, int Col, bool Ascending) {
    Sorts.push_back(std::to_string(Col) + (Ascending ? "+" : "-"));
  };
  F.Columns[2]->SetSortKind(skDescending);
  F.Columns[2]->SetSorted(true);
  EXPECT_EQ(G->SortedColumn(), F.Columns[2]);
  EXPECT_EQ(Sorts, (std::vector<std::string>{"1-"}));
}
