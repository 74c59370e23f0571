// The grid's edit control on a real window: its defaults, the typed reads and writes, the text
// margins as the system edit reports them, the pane with the glyph and the preview box checked by
// its pixels, the frames of BorderWidth, the dialog codes, and typing and clicking with real
// input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "framework/Convert.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "grid/NxEdit.h"
#include "grid/NxThemeSupport.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

using uitest::Pump;
using uitest::Settle;
using uitest::TCapture;
using uitest::WaitFor;

namespace {

// A 16 x 12 glyph: a blue square of 8 x 8 at (4, 2) on magenta, which the bottom-left pixel
// makes the transparent colour.
std::unique_ptr<TBitmap> MakeGlyph(int W = 16, int H = 12) {
  auto B = std::make_unique<TBitmap>(W, H, pf24bit);
  TCanvas* C = B->Canvas();
  C->Brush()->SetColor(clFuchsia);
  C->FillRect(Rect(0, 0, W, H));
  C->Brush()->SetColor(clBlue);
  C->FillRect(Rect(4, 2, 12, 10));
  return B;
}

struct EditFixture : ::testing::Test {
  TForm* Form = nullptr;
  TNxEdit* Edit = nullptr;

  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(100, 100, 320, 160);
    Form->SetColor(clBtnFace);
    Edit = new TNxEdit(Form);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 200, 24);
    Form->Show();
    realinput::BringToFront(Form->Handle());
    Settle(Form->Handle());
  }
  void TearDown() override {
    delete Form;
    Pump();
  }
  HWND W() { return Edit->Handle(); }
  int LeftMargin() { return LOWORD(SendMessageW(W(), EM_GETMARGINS, 0, 0)); }
  int RightMargin() { return HIWORD(SendMessageW(W(), EM_GETMARGINS, 0, 0)); }
  // Pixels of the pane window.
  TCapture PanePixels() {
    Settle(Edit->InfoPane()->Handle());
    return TCapture(Edit->InfoPane()->Handle());
  }
};

// ---------------------------------------------------------------------------------------------
// Defaults and typed values (no window needed)

TEST(NxEditDefaults, ConstructorSetsTheDocumentedValues) {
  TNxEdit E(nullptr);
  EXPECT_EQ(E.Alignment(), taLeftJustify);
  EXPECT_EQ(E.BorderStyle(), bsSingle);
  EXPECT_EQ(E.Color(), clWindow);
  EXPECT_FALSE(E.ParentColor());
  EXPECT_TRUE(E.TabStop());
  EXPECT_TRUE(E.AutoSize());
  EXPECT_EQ(E.Width(), 121);
  EXPECT_EQ(E.Height(), 20);
  EXPECT_TRUE(E.PreviewBorder());
  EXPECT_FALSE(E.ShowPreview());
  EXPECT_FALSE(E.WantTabs());
  EXPECT_EQ(E.EditMargins()->Left(), 0);
  EXPECT_EQ(E.EditMargins()->Right(), 0);
  EXPECT_TRUE(E.Glyph()->Empty());
  EXPECT_FALSE(E.IsGridEditor());
  EXPECT_EQ(E.BorderWidth(), 0);
  ASSERT_NE(E.InfoPane(), nullptr);
  EXPECT_FALSE(E.InfoPane()->Visible());
  EXPECT_EQ(E.PaneWidth(), 0);
  // The reversed arrow is in the screen's cursor table, and it is not the ordinary arrow.
  EXPECT_NE(Screen->Cursors(crReversedArrow), Screen->Cursors(crDefault));
}

TEST(NxEditValues, EmptyTextReadsAsZeroExceptBoolean) {
  TNxEdit E(nullptr);
  EXPECT_EQ(E.AsInteger(), 0);
  EXPECT_EQ(E.AsFloat(), 0.0);
  EXPECT_EQ(E.AsDateTime(), 0.0);
  EXPECT_TRUE(E.AsString().empty());
  EXPECT_THROW(E.AsBoolean(), EConvertError);
}

TEST(NxEditValues, ReadsConvertTheTextOrRaise) {
  TNxEdit E(nullptr);
  E.SetText(WideString(L"42"));
  EXPECT_EQ(E.AsInteger(), 42);
  EXPECT_DOUBLE_EQ(E.AsFloat(), 42.0);
  EXPECT_TRUE(E.AsBoolean());
  E.SetText(WideString(L"fAlSe"));
  EXPECT_FALSE(E.AsBoolean());
  E.SetText(WideString(L"2.5"));
  EXPECT_DOUBLE_EQ(E.AsFloat(), 2.5);
  EXPECT_THROW(E.AsInteger(), EConvertError);
  E.SetText(WideString(L"24.12.2020"));
  EXPECT_DOUBLE_EQ(E.AsDateTime(), EncodeDate(2020, 12, 24));
  E.SetText(WideString(L"abc"));
  EXPECT_THROW(E.AsFloat(), EConvertError);
  EXPECT_THROW(E.AsDateTime(), EConvertError);
  EXPECT_THROW(E.AsBoolean(), EConvertError);
}

TEST(NxEditValues, WritesStoreTheTextForms) {
  TNxEdit E(nullptr);
  E.SetAsBoolean(true);
  EXPECT_EQ(E.Text(), L"True");
  E.SetAsBoolean(false);
  EXPECT_EQ(E.Text(), L"False");
  E.SetAsInteger(-7);
  EXPECT_EQ(E.Text(), L"-7");
  E.SetAsFloat(0.1);
  EXPECT_EQ(E.Text(), L"0.1");
  E.SetAsDateTime(EncodeDate(2021, 3, 4) + EncodeTime(5, 6, 7, 0));
  EXPECT_EQ(E.Text(), L"04.03.2021 05:06:07");
  // Wide text goes in whole, also characters outside the system's code page.
  E.SetAsString(L"\u0416\u00e9\u4e2d");
  EXPECT_EQ(E.AsString(), L"\u0416\u00e9\u4e2d");
}

TEST(NxEditValues, PreviewRectangleFollowsTheGlyph) {
  TNxEdit E(nullptr);
  TRect R = E.GetPreviewRect();
  EXPECT_EQ(R.Left, 0);
  EXPECT_EQ(R.Width(), 20);
  auto G = MakeGlyph();
  E.SetGlyph(G.get());
  R = E.GetPreviewRect();
  EXPECT_EQ(R.Left, 20);
  EXPECT_EQ(R.Right, 40);
}

TEST(NxEditValues, GlyphTakesItsBottomLeftPixelAsTransparentColour) {
  TNxEdit E(nullptr);
  auto G = MakeGlyph();
  G->Canvas()->SetPixels(0, 11, clLime);
  E.SetGlyph(G.get());
  EXPECT_TRUE(E.Glyph()->Transparent());
  EXPECT_EQ(E.Glyph()->TransparentColor() & 0xFFFFFF, clLime);
  // Assigning none empties it.
  E.SetGlyph(nullptr);
  EXPECT_TRUE(E.Glyph()->Empty());
}

// ---------------------------------------------------------------------------------------------
// Margins and the pane on a window

TEST_F(EditFixture, MarginsAreSentToTheWindow) {
  EXPECT_EQ(LeftMargin(), 0);
  Edit->EditMargins()->SetLeft(3);
  Edit->EditMargins()->SetRight(5);
  EXPECT_EQ(LeftMargin(), 3);
  EXPECT_EQ(RightMargin(), 5);
  Edit->SetShowPreview(true);
  EXPECT_EQ(LeftMargin(), 31);  // 2 x 3 + 25
  EXPECT_EQ(RightMargin(), 5);
  auto G = MakeGlyph();
  Edit->SetGlyph(G.get());
  EXPECT_EQ(LeftMargin(), 51);  // + 16 + 4
}

TEST_F(EditFixture, GlyphWithoutPreviewGivesAPaneOfTwentyPixels) {
  auto G = MakeGlyph();
  Edit->SetGlyph(G.get());
  Settle(W());
  EXPECT_EQ(LeftMargin(), 20);
  EXPECT_TRUE(Edit->InfoPane()->Visible());
  EXPECT_EQ(Edit->PaneWidth(), 20);
  EXPECT_EQ(Edit->InfoPane()->Left(), 0);
  EXPECT_EQ(Edit->InfoPane()->Top(), 0);
  EXPECT_EQ(Edit->InfoPane()->Height(), Edit->ClientHeight());
  EXPECT_TRUE(IsWindowVisible(Edit->InfoPane()->Handle()));
  Edit->SetShowPreview(true);
  EXPECT_EQ(Edit->PaneWidth(), 40);
  // The pane follows a size change; without glyph and preview it goes away.
  Edit->SetBounds(10, 10, 200, 40);
  Settle(W());
  EXPECT_EQ(Edit->InfoPane()->Height(), Edit->ClientHeight());
  Edit->SetShowPreview(false);
  Edit->SetGlyph(nullptr);
  EXPECT_FALSE(Edit->InfoPane()->Visible());
  EXPECT_EQ(Edit->PaneWidth(), 0);
  EXPECT_EQ(LeftMargin(), 0);
}

TEST_F(EditFixture, MarginsSurviveFontAndSizeChanges) {
  Edit->SetShowPreview(true);
  ASSERT_EQ(LeftMargin(), 25);
  Edit->Font()->SetSize(14);
  Settle(W());
  EXPECT_EQ(LeftMargin(), 25);
  Edit->SetBounds(10, 10, 150, 30);
  Settle(W());
  EXPECT_EQ(LeftMargin(), 25);
  // Changing the margins re-creates the window; the new window has them too.
  HWND Old = W();
  Edit->EditMargins()->SetLeft(2);
  EXPECT_NE(W(), Old);
  EXPECT_EQ(LeftMargin(), 29);
}

TEST_F(EditFixture, PanePaintsGlyphTransparentlyAndCentred) {
  auto G = MakeGlyph();
  Edit->SetColor(clWhite);
  Edit->SetGlyph(G.get());
  Settle(W());
  const TCapture P = PanePixels();
  const int H = P.Height();
  const int Top = static_cast<int>(std::nearbyint(H / 2.0 - 6.0));
  // The blue square sits at (4, Top + 2) .. (12, Top + 10).
  EXPECT_EQ(P.Count(Rect(4, Top + 2, 12, Top + 10), RGB(0, 0, 255)), 64);
  EXPECT_EQ(P.Count(Rect(0, 0, P.Width(), H), RGB(0, 0, 255)), 64);
  // The magenta background is keyed out: the edit's colour shows there.
  EXPECT_EQ(P.Count(Rect(0, 0, P.Width(), H), RGB(255, 0, 255)), 0);
  EXPECT_EQ(P.Pixel(1, Top + 1), RGB(255, 255, 255));
  P.MaybeSave("nxedit_glyph_pane");
}

TEST_F(EditFixture, PreviewBoxHasAGreyFrameAndIsPaintedByTheEvent) {
  auto G = MakeGlyph();
  Edit->SetColor(clWhite);
  std::vector<TRect> Rects;
  Edit->OnCustomPreviewDraw = [this, &Rects](TObject* Sender, TRect R) {
    EXPECT_EQ(Sender, Edit);
    Rects.push_back(R);
    TCanvas* C = Edit->InfoPane()->Canvas();
    C->Brush()->SetColor(clRed);
    C->FillRect(R);
  };
  Edit->SetGlyph(G.get());
  Edit->SetShowPreview(true);
  Settle(W());
  const TCapture P = PanePixels();
  ASSERT_FALSE(Rects.empty());
  const int H = P.Height();
  // Frame 2 pixels right of the glyph: x 18 .. 37, the full pane height; red inside it.
  EXPECT_EQ(Rects.back(), Rect(19, 1, 37, H - 1));
  const COLORREF Grey = RGB(0x80, 0x80, 0x80);
  EXPECT_EQ(P.Pixel(18, 0), Grey);
  EXPECT_EQ(P.Pixel(37, H - 1), Grey);
  EXPECT_EQ(P.Count(Rect(18, 0, 38, H), Grey), 2 * 20 + 2 * (H - 2));
  EXPECT_EQ(P.Count(Rect(19, 1, 37, H - 1), RGB(255, 0, 0)), 18 * (H - 2));
  P.MaybeSave("nxedit_preview");

  // Without the border the event gets the whole box.
  Rects.clear();
  Edit->SetPreviewBorder(false);
  const TCapture Q = PanePixels();
  ASSERT_FALSE(Rects.empty());
  EXPECT_EQ(Rects.back(), Rect(18, 0, 38, H));
  EXPECT_EQ(Q.Count(Rect(0, 0, Q.Width(), H), Grey), 0);
  EXPECT_EQ(Q.Count(Rect(18, 0, 38, H), RGB(255, 0, 0)), 20 * H);
}

TEST_F(EditFixture, PreviewWithoutGlyphFillsThePane) {
  Edit->SetShowPreview(true);
  Settle(W());
  const TCapture P = PanePixels();
  EXPECT_EQ(P.Width(), 20);
  const COLORREF Grey = RGB(0x80, 0x80, 0x80);
  EXPECT_EQ(P.Pixel(0, 0), Grey);
  EXPECT_EQ(P.Pixel(19, P.Height() - 1), Grey);
}

TEST_F(EditFixture, BorderWidthDrawsFramesInTheEditColourAroundTheTextArea) {
  Edit->SetBorderStyle(bsNone);
  Edit->SetAutoSize(false);
  Edit->SetBounds(10, 10, 120, 30);
  Edit->SetColor(clYellow);
  Settle(W());
  RECT Before;
  GetClientRect(W(), &Before);
  Edit->SetBorderWidth(3);
  Settle(W());
  RedrawWindow(W(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  Pump();
  RECT After;
  GetClientRect(W(), &After);
  EXPECT_EQ(After.right, Before.right - 6);
  EXPECT_EQ(After.bottom, Before.bottom - 6);
  // The three frames between the window's edge and the text area are yellow.
  HDC DC = GetWindowDC(W());
  const TCapture P(DC, Rect(0, 0, 120, 30));
  ReleaseDC(W(), DC);
  const int Ring = 120 * 30 - 114 * 24;
  EXPECT_EQ(P.Count(Rect(0, 0, 120, 30), RGB(255, 255, 0)) - P.Count(Rect(3, 3, 117, 27), RGB(255, 255, 0)), Ring);
  Edit->SetBorderWidth(-2);
  EXPECT_EQ(Edit->BorderWidth(), 0);
}

// A stand-in theme library: "visual styles on", and an edit part painted in pure green.
namespace faketheme {
std::wstring OpenedClass;
int DrawnPart = -1;
int DrawnState = -1;
HTHEME WINAPI Open(HWND, LPCWSTR Class) {
  OpenedClass = Class;
  return reinterpret_cast<HTHEME>(0x1234);
}
HRESULT WINAPI Close(HTHEME) { return S_OK; }
HRESULT WINAPI Draw(HTHEME, HDC DC, int Part, int State, const RECT* R, const RECT*) {
  DrawnPart = Part;
  DrawnState = State;
  HBRUSH B = CreateSolidBrush(RGB(0, 255, 0));
  FillRect(DC, R, B);
  DeleteObject(B);
  return S_OK;
}
BOOL WINAPI Yes() { return TRUE; }
}  // namespace faketheme

TEST_F(EditFixture, ThemedFrameIsPaintedWithTheEditPartAroundTheClientArea) {
  Edit->SetColor(clWhite);
  TThemeFunctions F;
  F.Library = GetModuleHandleW(nullptr);
  F.OpenThemeData = faketheme::Open;
  F.CloseThemeData = faketheme::Close;
  F.DrawThemeBackground = faketheme::Draw;
  F.IsAppThemed = faketheme::Yes;
  F.IsThemeActive = faketheme::Yes;
  const TThemeFunctions Saved = ReplaceThemeFunctions(F);
  RedrawWindow(W(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  Pump();
  RECT WR;
  GetWindowRect(W(), &WR);
  HDC DC = GetWindowDC(W());
  const TCapture P(DC, Rect(0, 0, WR.right - WR.left, WR.bottom - WR.top));
  ReleaseDC(W(), DC);
  const bool WasFocused = Edit->Focused();
  // Frame repainted before the real functions come back; the client area stays the edit's.
  Edit->SetBorderStyle(bsNone);
  ReplaceThemeFunctions(Saved);
  EXPECT_EQ(faketheme::OpenedClass, L"edit");
  EXPECT_EQ(faketheme::DrawnPart, 1);
  // The normal state, or the focused one (5) while the edit has the focus.
  EXPECT_EQ(faketheme::DrawnState, WasFocused ? 5 : 1);
  const int WW = P.Width(), WH = P.Height();
  const int Edge = GetSystemMetrics(SM_CXEDGE);
  EXPECT_EQ(P.Pixel(0, 0), RGB(0, 255, 0));
  EXPECT_EQ(P.Pixel(WW - 1, WH - 1), RGB(0, 255, 0));
  EXPECT_EQ(P.Count(Rect(0, 0, WW, WH), RGB(0, 255, 0)), WW * WH - (WW - 2 * Edge) * (WH - 2 * Edge));
  EXPECT_EQ(P.Pixel(WW / 2, WH / 2), RGB(255, 255, 255));
}

TEST_F(EditFixture, AGridEditorKeepsTheBoundsTheGridGivesIt) {
  // Prepared as a column prepares it, then placed over a cell.
  Edit->SetGridEditor(true);
  Edit->SetBorderStyle(bsNone);
  Edit->EditMargins()->SetLeft(1);
  Edit->Font()->SetSize(12);
  Edit->SetBounds(20, 30, 80, 14);
  Settle(W());
  EXPECT_EQ(Edit->BoundsRect(), Rect(20, 30, 100, 44));
  Edit->SetText(WideString(L"text"));
  Edit->SetFocus();
  Settle(W());
  EXPECT_EQ(Edit->BoundsRect(), Rect(20, 30, 100, 44));
  RECT R;
  GetWindowRect(W(), &R);
  EXPECT_EQ(R.bottom - R.top, 14);
  EXPECT_EQ(LeftMargin(), 1);
}

TEST_F(EditFixture, DialogCodeWantsArrowsAndTabsOnRequest) {
  LRESULT C = SendMessageW(W(), WM_GETDLGCODE, 0, 0);
  EXPECT_TRUE(C & DLGC_WANTARROWS);
  EXPECT_FALSE(C & DLGC_WANTTAB);
  EXPECT_TRUE(C & DLGC_HASSETSEL);  // the system edit's own codes stay
  Edit->SetWantTabs(true);
  C = SendMessageW(W(), WM_GETDLGCODE, 0, 0);
  EXPECT_TRUE(C & DLGC_WANTTAB);
}

TEST_F(EditFixture, CaretGoesAfterTheLastCharacter) {
  Edit->SetText(WideString(L"hello"));
  Edit->SetSelStart(0);
  Edit->PlaceCaretAtEnd();
  EXPECT_EQ(Edit->SelStart(), 5);
  EXPECT_EQ(Edit->SelLength(), 0);
}

// ---------------------------------------------------------------------------------------------
// Real input

TEST_F(EditFixture, TypedKeysReachTheTextAfterTheMargin) {
  auto G = MakeGlyph();
  Edit->SetColor(clWhite);
  Edit->Font()->SetColor(clBlack);
  Edit->SetGlyph(G.get());
  int Changes = 0;
  Edit->OnChange = [&Changes](TObject*) { ++Changes; };
  ASSERT_TRUE(realinput::BringToFront(Form->Handle()));
  Edit->SetFocus();
  ASSERT_TRUE(WaitFor([this] { return GetFocus() == W(); }));
  for (WORD K : {WORD('W'), WORD('W'), WORD('1')}) realinput::Key(K);
  ASSERT_TRUE(WaitFor([this] { return Edit->Text().size() == 3; }));
  EXPECT_EQ(Edit->Text(), L"ww1");
  EXPECT_EQ(Changes, 3);
  Settle(W());
  // The text starts at the left margin: dark pixels right of x = 20, none in the pane's strip
  // except the glyph's blue.
  const TCapture P(W());
  const auto Dark = [&P](int X0, int X1) {
    int N = 0;
    for (int Y = 0; Y < P.Height(); ++Y)
      for (int X = X0; X < X1; ++X)
        if (GetRValue(P.Pixel(X, Y)) < 100 && GetGValue(P.Pixel(X, Y)) < 100 && GetBValue(P.Pixel(X, Y)) < 100) ++N;
    return N;
  };
  EXPECT_GT(Dark(20, 60), 10);
  EXPECT_EQ(Dark(0, 20), 0);
  P.MaybeSave("nxedit_typed");
}

// A real click at a point of W's client area, after checking that W is the window there.
::testing::AssertionResult ClickOn(HWND W, int X, int Y) {
  realinput::BringToFront(W);
  POINT P{X, Y};
  ClientToScreen(W, &P);
  HWND At = WindowFromPoint(P);
  if (At != W) {
    char Name[64] = "";
    GetClassNameA(At, Name, sizeof(Name));
    return ::testing::AssertionFailure() << "another window (" << Name << ") lies over the point";
  }
  if (!realinput::Click(W, X, Y)) return ::testing::AssertionFailure() << "the pointer did not get there";
  return ::testing::AssertionSuccess();
}

TEST_F(EditFixture, PressOnThePaneSelectsAllAndTheGlyphClickFires) {
  auto G = MakeGlyph();
  Edit->SetGlyph(G.get());
  Edit->SetShowPreview(true);
  Edit->SetText(WideString(L"some text"));
  int GlyphClicks = 0;
  Edit->OnGlyphClick = [&GlyphClicks](TObject*) { ++GlyphClicks; };
  Settle(W());
  const int MidY = Edit->ClientHeight() / 2;
  // On the preview box: everything selected, no glyph click.
  ASSERT_TRUE(ClickOn(Edit->InfoPane()->Handle(), 28, MidY));
  ASSERT_TRUE(WaitFor([this] { return Edit->SelLength() == 9; }));
  EXPECT_EQ(GlyphClicks, 0);
  // In the text: a caret, no selection.
  ASSERT_TRUE(ClickOn(W(), 150, MidY));
  ASSERT_TRUE(WaitFor([this] { return Edit->SelLength() == 0; }));
  // On the glyph: the glyph click and everything selected.
  ASSERT_TRUE(ClickOn(Edit->InfoPane()->Handle(), 8, MidY));
  ASSERT_TRUE(WaitFor([&GlyphClicks] { return GlyphClicks == 1; }));
  EXPECT_EQ(Edit->SelLength(), 9);
  // Just right of the pane (x at most pane width + 2) the edit itself selects all.
  ASSERT_TRUE(ClickOn(W(), 150, MidY));
  ASSERT_TRUE(WaitFor([this] { return Edit->SelLength() == 0; }));
  ASSERT_TRUE(ClickOn(W(), Edit->PaneWidth() + 1, MidY));
  ASSERT_TRUE(WaitFor([this] { return Edit->SelLength() == 9; }));
  EXPECT_EQ(Edit->Cursor(), crReversedArrow);
  EXPECT_EQ(Edit->InfoPane()->Cursor(), crReversedArrow);
  // Over the text the pointer is the edit's own again.
  ASSERT_TRUE(ClickOn(W(), 150, MidY));
  EXPECT_TRUE(WaitFor([this] { return Edit->Cursor() == crDefault; }));
}

}  // namespace
