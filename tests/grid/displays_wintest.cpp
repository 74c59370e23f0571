// The style displays read back as pixels: each style's column headers, corners, footer and input
// line strips, indicator and header remainder; the sort signs; caption and glyph placement; the
// footer's formatted values; the indicator's row sign; the input line cell in its states; the
// drawing options and the pressed header; the themed look through a table of the test's own
// theme functions; and the grid painting each header style in a real window.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "grid/NxDisplays.h"
#include "grid/NxSharedDraw.h"
#include "grid/NxThemeSupport.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

COLORREF Rgb(TColor C) { return ColorToRGB(C); }
// What a pixel holds when no display painted it.
const COLORREF Untouched = RGB(255, 0, 255);
const COLORREF White = RGB(255, 255, 255);

// The box of the pixels of colour Ink inside R of a capture (empty when none).
TRect InkBox(const TCapture& P, const TRect& R, COLORREF InkColor) {
  TRect Box{R.Right, R.Bottom, R.Left, R.Top};
  for (int Y = std::max(R.Top, 0); Y < std::min(R.Bottom, P.Height()); ++Y)
    for (int X = std::max(R.Left, 0); X < std::min(R.Right, P.Width()); ++X)
      if (P.Pixel(X, Y) == InkColor) {
        Box.Left = std::min(Box.Left, X);
        Box.Top = std::min(Box.Top, Y);
        Box.Right = std::max(Box.Right, X + 1);
        Box.Bottom = std::max(Box.Bottom, Y + 1);
      }
  return Box.IsEmpty() ? TRect{} : Box;
}

// A 32-bit bitmap to paint displays on, filled with the untouched colour, in the grid's font.
struct TSurface {
  TBitmap Bmp;
  TSurface(int W, int H, TFont* Font) : Bmp(W, H, pf32bit) {
    Bmp.Canvas()->SetFont(Font);
    Clear();
  }
  TCanvas* Canvas() { return Bmp.Canvas(); }
  void Clear() {
    Canvas()->Brush()->SetStyle(bsSolid);
    Canvas()->Brush()->SetColor(static_cast<TColor>(Untouched));
    Canvas()->FillRect(Rect(0, 0, Bmp.Width(), Bmp.Height()));
  }
  COLORREF At(int X, int Y) { return static_cast<COLORREF>(Canvas()->Pixels(X, Y)); }
  TCapture Capture() { return TCapture(Canvas()->Handle(), Rect(0, 0, Bmp.Width(), Bmp.Height())); }
  int Count(const TRect& R, COLORREF C) { return Capture().Count(R, C); }
  int CountOther(const TRect& R, COLORREF C) { return Capture().CountOther(R, C); }
  // The box of the pixels of colour Ink inside R (empty when none).
  TRect Ink(const TRect& R, COLORREF InkColor) { return InkBox(Capture(), R, InkColor); }
};

// The theme library replaced by the test's own functions: the background of part P in state S is
// filled with RGB(40 + P, 40 + S, 90), and every call is written down.
std::vector<std::string> ThemeCalls;
HTHEME const FakeTheme = reinterpret_cast<HTHEME>(static_cast<std::uintptr_t>(0x7170));
COLORREF ThemeColor(int Part, int State) { return RGB(40 + Part, 40 + State, 90); }
BOOL WINAPI FakeTrue() { return TRUE; }
HTHEME WINAPI FakeOpen(HWND, LPCWSTR) {
  ThemeCalls.push_back("open");
  return FakeTheme;
}
HRESULT WINAPI FakeClose(HTHEME) { return S_OK; }
HRESULT WINAPI FakeDraw(HTHEME Theme, HDC DC, int Part, int State, const RECT* Rect, const RECT* Clip) {
  ThemeCalls.push_back("draw " + std::to_string(Part) + "," + std::to_string(State) +
                       (Theme == FakeTheme ? "" : " (foreign handle)"));
  RECT R = *Rect;
  if (Clip != nullptr) IntersectRect(&R, Rect, Clip);
  HBRUSH B = CreateSolidBrush(ThemeColor(Part, State));
  FillRect(DC, &R, B);
  DeleteObject(B);
  return S_OK;
}

// Installs the fake theme functions for the length of a scope.
struct TFakeThemes {
  TThemeFunctions Real;
  TFakeThemes() {
    ThemeCalls.clear();
    TThemeFunctions F;
    F.Library = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x10000));
    F.OpenThemeData = FakeOpen;
    F.CloseThemeData = FakeClose;
    F.DrawThemeBackground = FakeDraw;
    F.IsThemeActive = FakeTrue;
    F.IsAppThemed = FakeTrue;
    Real = ReplaceThemeFunctions(F);
  }
  ~TFakeThemes() { ReplaceThemeFunctions(Real); }
  TFakeThemes(const TFakeThemes&) = delete;
  TFakeThemes& operator=(const TFakeThemes&) = delete;
};

// A grid of three 80-pixel columns ("Col 0" .. "Col 2") whose displays paint on a surface; the
// headers lie side by side in an 18-pixel strip.
struct DisplayFixture : ::testing::Test {
  TEngineForm F{3, {goHeader}};
  TSurface S{300, 60, F.Grid->Font()};
  const COLORREF Ink = Rgb(clWindowText);

  TNxTextColumn* Col(int I) { return F.Columns[static_cast<std::size_t>(I)]; }
  static TRect HeaderRect(int I) { return Rect(I * 80, 0, I * 80 + 80, 18); }
  template <class T>
  std::unique_ptr<T> Make() {
    auto D = std::make_unique<T>(F.Grid);
    D->Canvas = S.Canvas();
    return D;
  }
  int TextWidth(const WideString& Text) { return TextWidthW(S.Canvas(), Text); }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Column headers

TEST_F(DisplayFixture, ColumnEdgesFollowTheVisibleColumns) {
  EXPECT_EQ(GetColumnEdge(Col(0)), ceFirst);
  EXPECT_EQ(GetColumnEdge(Col(1)), ceMiddle);
  EXPECT_EQ(GetColumnEdge(Col(2)), ceLast);
  Col(2)->SetVisible(false);
  EXPECT_EQ(GetColumnEdge(Col(1)), ceLast);
  Col(0)->SetVisible(false);
  EXPECT_EQ(GetColumnEdge(Col(1)), ceOnly);
  Col(1)->SetPosition(2);  // display order, not creation order, decides
  Col(0)->SetVisible(true);
  EXPECT_EQ(GetColumnEdge(Col(1)), ceLast);
  EXPECT_EQ(GetColumnEdge(nullptr), ceOnly);
  TNxTextColumn Loose(nullptr);
  EXPECT_EQ(GetColumnEdge(&Loose), ceOnly);
}

TEST_F(DisplayFixture, ClassicHeadersShareTheirEdges) {
  auto D = Make<TDefaultStyleDisplay>();
  Col(1)->Header()->SetColor(clYellow);
  for (int I = 0; I < 3; ++I) D->DrawHeaderBackground(Col(I), HeaderRect(I));
  S.Capture().MaybeSave("displays_classic_edges");
  const COLORREF Hi = Rgb(clBtnHighlight), Sh = Rgb(clBtnShadow), Face = Rgb(clBtnFace), Yellow = RGB(255, 255, 0);
  // The first header: highlight down its whole left edge; its right edge rounded off.
  EXPECT_EQ(S.At(0, 1), Hi);
  EXPECT_EQ(S.At(0, 17), Sh);
  EXPECT_EQ(S.At(79, 1), Face);
  EXPECT_EQ(S.At(79, 2), Sh);
  EXPECT_EQ(S.At(79, 16), Face);
  // The middle one in its own header colour, its inner corners too.
  EXPECT_EQ(S.At(120, 9), Yellow);
  EXPECT_EQ(S.At(80, 1), Yellow);
  EXPECT_EQ(S.At(80, 2), Hi);
  EXPECT_EQ(S.At(159, 16), Yellow);
  // The last one's right edge runs from the top.
  EXPECT_EQ(S.At(239, 0), Sh);
  EXPECT_EQ(S.At(240, 5), Untouched);
  // The only visible column: a 3D frame.
  Col(1)->SetVisible(false);
  Col(2)->SetVisible(false);
  S.Clear();
  D->DrawHeaderBackground(Col(0), HeaderRect(0));
  EXPECT_EQ(S.At(78, 0), Hi);
  EXPECT_EQ(S.At(79, 0), Sh);
  EXPECT_EQ(S.At(0, 16), Hi);
  EXPECT_EQ(S.At(1, 1), Face);
}

TEST_F(DisplayFixture, ThemedDefaultHeadersFollowTheMouseState) {
  TFakeThemes Themes;
  auto D = Make<TDefaultStyleDisplay>();
  D->Themed = true;
  D->ThemeHandle = FakeTheme;
  D->HotColumn = Col(1);
  D->PressedColumn = Col(2);
  EXPECT_EQ(D->GetCapabilities(), scHotHeaders);
  for (int I = 0; I < 3; ++I) D->DrawHeaderBackground(Col(I), HeaderRect(I));
  D->DrawHeaderRemainder(Rect(240, 0, 300, 18));
  D->DrawCorner(Rect(0, 20, 12, 38), 0);
  EXPECT_EQ(ThemeCalls, (std::vector<std::string>{"draw 1,1", "draw 1,2", "draw 1,3", "draw 2,1", "draw 1,1"}));
  EXPECT_EQ(S.At(40, 9), ThemeColor(1, 1));
  EXPECT_EQ(S.At(120, 9), ThemeColor(1, 2));
  EXPECT_EQ(S.At(200, 9), ThemeColor(1, 3));
  EXPECT_EQ(S.At(270, 9), ThemeColor(2, 1));
  EXPECT_EQ(S.At(5, 30), ThemeColor(1, 1));
  // The pressed corner is drawn by hand even with visual styles: sunken, shadow at the top.
  ThemeCalls.clear();
  D->DrawCorner(Rect(20, 20, 32, 38), 1);
  EXPECT_TRUE(ThemeCalls.empty());
  EXPECT_EQ(S.At(25, 20), Rgb(clBtnShadow));
  EXPECT_EQ(S.At(25, 21), Rgb(clBtnHighlight));
  EXPECT_EQ(S.At(31, 30), Rgb(clBtnShadow));
  // A text-only header keeps 11 pixels right of its caption with visual styles, 2 without.
  EXPECT_EQ(D->GetContentMargin(Col(0)), 11);
  Col(0)->Header()->SetDisplayMode(dmTextAndImage);
  EXPECT_EQ(D->GetContentMargin(Col(0)), 2);
  D->ShowSortArrow = false;
  EXPECT_EQ(D->GetContentMargin(Col(0)), 0);
  // Without a theme handle the classic look stands in, and the pressed header inverts.
  D->ThemeHandle = nullptr;
  ThemeCalls.clear();
  S.Clear();
  D->DrawHeaderBackground(Col(0), HeaderRect(0));
  EXPECT_TRUE(ThemeCalls.empty());
  EXPECT_EQ(S.At(0, 0), Rgb(clBtnHighlight));
  EXPECT_EQ(D->GetCapabilities(), scInvertPressed);
}

// ---------------------------------------------------------------------------------------------
// Captions, glyphs and sort signs

TEST_F(DisplayFixture, CaptionsAndGlyphsAreLaidOutByAlignment) {
  auto D = Make<TDefaultStyleDisplay>();
  const TRect R = Rect(0, 0, 160, 18);
  const WideString Caption = L"Col 0";
  const int T = TextWidth(Caption) + 2;
  auto Draw = [&] {
    S.Clear();
    D->DrawHeaderContent(Col(0), R);
    return S.Ink(R, Ink);
  };
  const TRect Left = Draw();
  ASSERT_FALSE(Left.IsEmpty());
  const int Bearing = Left.Left - 2;  // the first letter's own left margin
  EXPECT_GE(Bearing, 0);
  EXPECT_LE(Bearing, 1);
  // Right-aligned the text ends 2 pixels inside, and 33 inside when the column is sorted.
  Col(0)->Header()->SetAlignment(taRightJustify);
  EXPECT_EQ(Draw().Left, R.Right - T - 2 + Bearing);
  Col(0)->SetSorted(true);
  EXPECT_EQ(Draw().Left, R.Right - T - 33 + Bearing);
  Col(0)->SetSorted(false);
  Col(0)->Header()->SetAlignment(taCenter);
  const TRect Centre = Draw();
  EXPECT_EQ(Centre.Left, (R.Width() - T) / 2 + Bearing);
  EXPECT_EQ(Centre.Width(), Left.Width());
  // With a glyph: the glyph at left + 3, centred vertically, the text 2 pixels after it.
  TBitmap Glyph(8, 6, pf24bit);
  Glyph.Canvas()->Brush()->SetColor(clRed);
  Glyph.Canvas()->FillRect(Rect(0, 0, 8, 6));
  Glyph.Canvas()->SetPixels(0, 5, clLime);  // the bottom-left pixel is the transparent colour
  Col(0)->Header()->SetGlyph(&Glyph);
  Col(0)->Header()->SetDisplayMode(dmTextAndImage);
  Col(0)->Header()->SetAlignment(taLeftJustify);
  const TRect TextLeft = Draw();
  const TRect GlyphBox = S.Ink(R, RGB(255, 0, 0));
  EXPECT_EQ(GlyphBox, Rect(3, 9 - 3, 11, 9 + 3));
  EXPECT_EQ(S.At(3, 11), Untouched);  // the transparent pixel
  EXPECT_EQ(TextLeft.Left, 8 + 5 + Bearing);
  Col(0)->Header()->SetAlignment(taRightJustify);
  const TRect TextRight = Draw();
  const int GlyphX = R.Right - 8 - T - 2;
  EXPECT_EQ(S.Ink(R, RGB(255, 0, 0)).Left, GlyphX);
  EXPECT_EQ(TextRight.Left, GlyphX + 8 + 2 + Bearing);
  Col(0)->Header()->SetAlignment(taCenter);
  Draw();
  EXPECT_EQ(S.Ink(R, RGB(255, 0, 0)).Left, (R.Width() - (8 + 2 + T)) / 2);
  // Image only: the glyph and no text; text only: no glyph.
  Col(0)->Header()->SetDisplayMode(dmImageOnly);
  EXPECT_TRUE(Draw().IsEmpty());
  EXPECT_FALSE(S.Ink(R, RGB(255, 0, 0)).IsEmpty());
  Col(0)->Header()->SetDisplayMode(dmTextOnly);
  EXPECT_FALSE(Draw().IsEmpty());
  EXPECT_TRUE(S.Ink(R, RGB(255, 0, 0)).IsEmpty());
}

TEST_F(DisplayFixture, CaptionsStayInsideTheirHeader) {
  auto D = Make<TDefaultStyleDisplay>();
  Col(1)->Header()->SetCaption(L"A caption far wider than its header");
  Col(1)->Header()->SetAlignment(taRightJustify);
  TBitmap Glyph(8, 6, pf24bit);
  Glyph.Canvas()->Brush()->SetColor(clRed);
  Glyph.Canvas()->FillRect(Rect(0, 0, 8, 6));
  Glyph.Canvas()->SetPixels(0, 5, clLime);
  Col(1)->Header()->SetGlyph(&Glyph);
  Col(1)->Header()->SetDisplayMode(dmTextAndImage);
  D->DrawHeader(Col(1), HeaderRect(1));
  EXPECT_EQ(S.Count(Rect(0, 0, 80, 18), Ink), 0);
  EXPECT_EQ(S.Count(Rect(0, 0, 80, 18), RGB(255, 0, 0)), 0);
  EXPECT_EQ(S.Count(Rect(160, 0, 300, 18), Ink), 0);
  EXPECT_GT(S.Count(HeaderRect(1), Ink), 10);
}

TEST_F(DisplayFixture, RotatedAndWrappedCaptions) {
  auto D = Make<TDefaultStyleDisplay>();
  const TRect R = Rect(0, 0, 60, 60);
  Col(0)->Header()->SetCaption(L"Rotated");
  Col(0)->Header()->SetOrientation(hoVertical);
  // Rotated text needs an outline font (its edges are smoothed: any pixel painted counts).
  S.Canvas()->Font()->SetName("Tahoma");
  D->DrawHeaderContent(Col(0), R);
  TRect Up = S.Capture().Extent(Untouched);
  ASSERT_FALSE(Up.IsEmpty());
  EXPECT_GT(Up.Height(), 2 * Up.Width());
  // It starts where a horizontal caption would, 2 pixels in.
  EXPECT_GE(Up.Left, 2);
  EXPECT_LE(Up.Left, 7);  // the font's internal leading lies before the letters
  S.Canvas()->SetFont(F.Grid->Font());
  // Two lines for a multi-line caption with a line break.
  S.Clear();
  Col(0)->Header()->SetOrientation(hoHorizontal);
  Col(0)->Header()->SetCaption(L"One");
  D->DrawHeaderContent(Col(0), R);
  const int OneLine = S.Ink(R, Ink).Height();
  S.Clear();
  Col(0)->Header()->SetCaption(L"One\r\nTwo");
  Col(0)->Header()->SetMultiLine(true);
  D->DrawHeaderContent(Col(0), R);
  EXPECT_GT(S.Ink(R, Ink).Height(), OneLine + 4);
}

TEST_F(DisplayFixture, SortSignsByStyle) {
  const TRect R = HeaderRect(0);
  const int TextEnd = 2 + TextWidth(L"Col 0") + 2;
  const int X = TextEnd + 19, Y = 9 - 4;
  Col(0)->SetSorted(true);
  auto D = Make<TDefaultStyleDisplay>();
  // Classic: a raised sign of a shadow and a highlight polyline.
  D->DrawHeader(Col(0), R);
  S.Capture().MaybeSave("displays_sort_classic");
  EXPECT_EQ(S.At(X + 1, Y + 6), Rgb(clBtnShadow));
  EXPECT_EQ(S.At(X + 3, Y), Rgb(clBtnShadow));
  EXPECT_EQ(S.At(X + 6, Y + 5), Rgb(clBtnHighlight));
  Col(0)->SetSortKind(skDescending);
  S.Clear();
  D->DrawHeader(Col(0), R);
  EXPECT_EQ(S.At(X + 1, Y), Rgb(clBtnShadow));
  EXPECT_EQ(S.At(X + 4, Y + 6), Rgb(clBtnHighlight));
  // With visual styles: a grey filled triangle.
  {
    TFakeThemes Themes;
    D->Themed = true;
    D->ThemeHandle = FakeTheme;
    S.Clear();
    D->DrawHeader(Col(0), R);
    EXPECT_EQ(S.At(X + 4, Y + 1), Rgb(clGrayText));
    EXPECT_EQ(S.At(X + 1, Y), Rgb(clGrayText));
    EXPECT_NE(S.At(X + 4, Y + 5), Rgb(clGrayText));
    D->Themed = false;
    D->ThemeHandle = nullptr;
  }
  // The 2010 look: grey fill in a black outline, the caption 2 pixels further right.
  auto O = Make<TOffice2010StyleDisplay>();
  S.Clear();
  O->DrawHeader(Col(0), R);
  S.Capture().MaybeSave("displays_sort_office2010");
  EXPECT_EQ(S.At(X + 2 + 4, Y + 1), RGB(165, 172, 181));
  EXPECT_EQ(S.At(X + 2 + 4, Y + 4), RGB(0, 0, 0));
  EXPECT_EQ(S.At(X + 2, Y), RGB(0, 0, 0));
  // No sign for a sorted column when the display is told not to (the drag box).
  D->ShowSortArrow = false;
  S.Clear();
  D->DrawHeader(Col(0), R);
  EXPECT_EQ(S.Count(Rect(TextEnd + 1, 1, 79, 17), Rgb(clBtnShadow)), 0);
  D->ShowSortArrow = true;
  // A caption that leaves no room hides the sign (HideArrow), unless HideArrow is off: then
  // the caption gives way.
  Col(0)->Header()->SetCaption(L"Col 0 with a long caption");
  S.Clear();
  D->DrawHeaderContent(Col(0), R);
  const int Shadows = S.Count(Rect(1, 1, 79, 17), Rgb(clBtnShadow));
  EXPECT_EQ(Shadows, 0);
  Col(0)->Header()->SetHideArrow(false);
  S.Clear();
  D->DrawHeaderContent(Col(0), R);
  EXPECT_GT(S.Count(Rect(50, 1, 79, 17), Rgb(clBtnShadow)), 5);
  EXPECT_LT(S.Ink(R, Ink).Right, 80 - 29);
}

TEST_F(DisplayFixture, VistaMarksTheSortedColumnAtItsTop) {
  auto V = Make<TVistaStyleDisplay>();
  EXPECT_EQ(V->GetCapabilities(), scNoSortArrow);
  Col(1)->SetSorted(true);
  for (int I = 0; I < 3; ++I) V->DrawHeader(Col(I), HeaderRect(I));
  S.Capture().MaybeSave("displays_vista");
  const COLORREF Plain = RGB(240, 240, 240), Blue = RGB(175, 220, 240);
  EXPECT_EQ(S.At(0, 9), White);
  EXPECT_EQ(S.At(79, 9), Rgb(clBtnFace));
  EXPECT_EQ(S.At(60, 9), Plain);
  // The sorted header: the band fades from light blue to white over six rows, white below.
  EXPECT_EQ(S.At(90, 0), Blue);
  EXPECT_EQ(S.At(90, 5), Rgb(MixColors(static_cast<TColor>(Blue), clWhite, 5.0 / 6)));
  EXPECT_EQ(S.At(150, 14), White);
  // The sign points up (ascending) at the top centre: white on the band.
  const int Mid = (80 + 160) / 2 - 3;
  EXPECT_EQ(S.At(Mid + 3, 1), White);
  EXPECT_EQ(S.At(Mid, 0), Blue);
  // No sign beside the caption: nothing but caption ink and white right of the caption.
  const int TextEnd = 80 + 2 + 2 + TextWidth(L"Col 1") + 2;
  EXPECT_EQ(S.CountOther(Rect(TextEnd + 1, 7, 158, 17), White), 0);
  // Descending: the sign points down.
  Col(1)->SetSortKind(skDescending);
  S.Clear();
  V->DrawHeader(Col(1), HeaderRect(1));
  EXPECT_EQ(S.At(Mid, 0), White);
  EXPECT_EQ(S.At(Mid + 3, 2), White);
  EXPECT_EQ(S.At(Mid + 3, 4), Rgb(MixColors(static_cast<TColor>(Blue), clWhite, 4.0 / 6)));
}

// ---------------------------------------------------------------------------------------------
// Drawing options, the pressed header, bad input

TEST_F(DisplayFixture, DrawingOptionsChooseWhatAHeaderPaints) {
  auto D = Make<TDefaultStyleDisplay>();
  std::vector<std::string> Events;
  D->OnCustomDrawHeader = [&](TObject* Sender, int Index, TRect R) {
    Events.push_back(std::to_string(Index) + "@" + std::to_string(R.Left) + (Sender == F.Grid ? "" : "?"));
  };
  Col(1)->Header()->SetDrawingOptions(doCustomOnly);
  D->DrawHeader(Col(1), HeaderRect(1));
  EXPECT_EQ(S.CountOther(HeaderRect(1), Untouched), 0);
  Col(1)->Header()->SetDrawingOptions(doBackgroundOnly);
  D->DrawHeader(Col(1), HeaderRect(1));
  EXPECT_EQ(S.At(120, 9), Rgb(clBtnFace));
  EXPECT_EQ(S.Count(HeaderRect(1), Ink), 0);
  Col(1)->Header()->SetDrawingOptions(doCustom);
  D->DrawHeader(Col(1), HeaderRect(1));
  EXPECT_GT(S.Count(HeaderRect(1), Ink), 10);
  EXPECT_EQ(Events, (std::vector<std::string>{"1@80", "1@80", "1@80"}));
  // Without background painting only the caption appears.
  S.Clear();
  D->PaintBackground = false;
  Col(1)->Header()->SetDrawingOptions(doNormal);
  D->DrawHeader(Col(1), HeaderRect(1));
  EXPECT_GT(S.Count(HeaderRect(1), Ink), 10);
  EXPECT_EQ(S.Count(HeaderRect(1), Ink) + S.Count(HeaderRect(1), Untouched), 80 * 18);
}

TEST_F(DisplayFixture, PressedHeadersInvertInTheStylesThatSaySo) {
  const COLORREF Face = Rgb(clBtnFace);
  const COLORREF Inverted = Face ^ 0xFFFFFF;
  auto Pressed = [&](TStyleDisplay* D) {
    S.Clear();
    D->PressedColumn = Col(0);
    D->DrawHeader(Col(0), HeaderRect(0));
    return S.At(70, 9);
  };
  EXPECT_EQ(Pressed(Make<TDefaultStyleDisplay>().get()), Inverted);
  EXPECT_EQ(Pressed(Make<TOutlookStyleDisplay>().get()), Inverted);
  EXPECT_EQ(Pressed(Make<TOldStyleDisplay>().get()), Inverted);
  EXPECT_EQ(Pressed(Make<TFlatStyleDisplay>().get()), Face);
  auto NoSign = Make<TDefaultStyleDisplay>();
  NoSign->ShowSortArrow = false;
  EXPECT_EQ(Pressed(NoSign.get()), Face);
  // The Office-like looks turn their gradient upside down instead.
  auto O = Make<TOffice2007StyleDisplay>();
  EXPECT_EQ(Pressed(O.get()), Rgb(MixColors(SchemeColor(11), clWhite, 9.0 / 18)));
  EXPECT_EQ(S.At(40, 0), Rgb(SchemeColor(11)));
}

TEST_F(DisplayFixture, BadInputRaisesClearErrors) {
  TDefaultStyleDisplay D(F.Grid);
  EXPECT_THROW(D.DrawHeader(Col(0), HeaderRect(0)), EInvalidOperation);
  EXPECT_THROW(D.DrawCorner(Rect(0, 0, 12, 18), 0), EInvalidOperation);
  D.Canvas = S.Canvas();
  EXPECT_THROW(D.DrawHeader(nullptr, HeaderRect(0)), EInvalidOperation);
  EXPECT_THROW(D.DrawFooter(nullptr, HeaderRect(0), true), EInvalidOperation);
  EXPECT_THROW(D.DrawInputCell(nullptr, HeaderRect(0), true, true, false), EInvalidOperation);
  EXPECT_THROW(D.DrawCorner(Rect(0, 0, 12, 18), 2), ERangeError);
  EXPECT_THROW(TFlatStyleDisplay(F.Grid).DrawCorner(Rect(0, 0, 12, 18), 0), EInvalidOperation);
  // Empty headers and footers paint nothing and raise nothing.
  D.DrawHeader(Col(1), Rect(10, 10, 10, 10));
  D.DrawHeader(Col(1), Rect(100, 10, 180, 10));
  D.DrawFooter(Col(1), Rect(10, 10, 10, 10), true);
  EXPECT_EQ(S.CountOther(Rect(0, 0, 300, 60), Untouched), 0);
  TVistaStyleDisplay V(F.Grid);
  V.Canvas = S.Canvas();
  Col(0)->SetSorted(true);
  V.DrawHeader(Col(0), Rect(0, 0, 80, 3));  // lower than the band
  EXPECT_EQ(S.CountOther(Rect(0, 3, 300, 60), Untouched), 0);
}

// ---------------------------------------------------------------------------------------------
// Footers

TEST_F(DisplayFixture, FooterValuesAreFormattedByTheirMask) {
  auto D = Make<TStyleDisplay>();
  TColumnFooter* Foot = Col(0)->Footer();
  Foot->SetColor(clYellow);
  const TRect R = Rect(0, 0, 120, 20);
  auto Painted = [&] {
    S.Clear();
    D->DrawFooter(Col(0), R, false);
    return S.Capture();
  };
  // The same footer showing Text as its plain caption.
  auto Plain = [&](const WideString& Text) {
    TNxTextColumn Other(nullptr);
    Other.SetFont(Col(0)->Font());
    Other.Footer()->SetColor(clYellow);
    Other.Footer()->SetCaption(Text);
    S.Clear();
    D->DrawFooter(&Other, R, false);
    return S.Capture();
  };
  auto Same = [&](const TCapture& A, const TCapture& B) {
    return TCapture::SamePixels(A, Rect(0, 0, 120, 20), B, Rect(0, 0, 120, 20));
  };
  Foot->SetCaption(L"12.5");
  Foot->SetFormatMask("0.00");
  Foot->SetFormatMaskKind(mkFloat);
  EXPECT_TRUE(Same(Painted(), Plain(L"12.50")));
  EXPECT_FALSE(Same(Painted(), Plain(L"12.5")));
  // A caption that is not a number shows as 0.
  Foot->SetCaption(L"abc");
  EXPECT_TRUE(Same(Painted(), Plain(L"0.00")));
  Foot->SetCaption(L"1234567.891");
  Foot->SetFormatMask("#,##0.00");
  Foot->SetTextBefore(L"Sum: ");
  Foot->SetTextAfter(L" $");
  EXPECT_TRUE(Same(Painted(), Plain(L"Sum: 1,234,567.89 $")));
  Foot->SetTextBefore(L"");
  Foot->SetTextAfter(L"");
  Foot->SetFormatMaskKind(mkText);
  Foot->SetFormatMask("(000) 000-0000;0;_");
  Foot->SetCaption(L"5551234567");
  EXPECT_TRUE(Same(Painted(), Plain(L"(555) 123-4567")));
  Foot->SetFormatMask("");
  EXPECT_TRUE(Same(Painted(), Plain(L"5551234567")));
}

TEST_F(DisplayFixture, FooterCellsFramesAlignmentAndCustomDrawing) {
  auto D = Make<TStyleDisplay>();
  TColumnFooter* Foot = Col(0)->Footer();
  Foot->SetColor(clYellow);
  Foot->SetCaption(L"Total");
  const COLORREF Yellow = RGB(255, 255, 0);
  std::vector<TRect> Custom;
  D->OnCustomDrawFooter = [&](TObject*, int Index, TRect R) {
    EXPECT_EQ(Index, 0);
    Custom.push_back(R);
  };
  const TRect R = Rect(0, 0, 80, 20);
  D->DrawFooter(Col(0), R, true);
  // Framed: one pixel less at the right and bottom, button-face lines inside that.
  EXPECT_EQ(S.At(79, 5), Untouched);
  EXPECT_EQ(S.At(40, 19), Untouched);
  EXPECT_EQ(S.At(40, 18), Rgb(clBtnFace));
  EXPECT_EQ(S.At(78, 5), Rgb(clBtnFace));
  EXPECT_EQ(S.At(78, 19), Rgb(clBtnFace));  // the right line runs one pixel further down
  EXPECT_EQ(S.At(60, 4), Yellow);
  ASSERT_EQ(Custom.size(), 1u);
  EXPECT_EQ(Custom[0], Rect(0, 0, 79, 19));
  const TRect Left = S.Ink(R, Ink);
  ASSERT_FALSE(Left.IsEmpty());
  const int Bearing = Left.Left - 2;
  const int T = TextWidth(L"Total");
  // Right-aligned: the text ends at the right edge less the column's padding.
  Foot->SetAlignment(taRightJustify);
  Col(0)->SetPadding(4);
  S.Clear();
  D->DrawFooter(Col(0), R, false);
  EXPECT_EQ(S.Ink(R, Ink).Left, 80 - T - 4 + Bearing);
  // A text wider than the cell starts at its left edge, never before it.
  Foot->SetCaption(L"A footer caption much wider than the cell");
  S.Clear();
  D->DrawFooter(Col(0), R, false);
  EXPECT_GE(S.Ink(Rect(0, 0, 300, 20), Ink).Left, 0);
  EXPECT_LE(S.Ink(Rect(0, 0, 300, 20), Ink).Left, 1);
  EXPECT_EQ(S.Count(Rect(80, 0, 300, 20), Ink), 0);
  // Custom only: nothing painted, the event still fires.
  Foot->SetDrawingOptions(doCustomOnly);
  S.Clear();
  Custom.clear();
  D->DrawFooter(Col(0), R, true);
  EXPECT_EQ(S.CountOther(Rect(0, 0, 300, 60), Untouched), 0);
  EXPECT_EQ(Custom.size(), 1u);
  // Background only: the fill without the text.
  Foot->SetDrawingOptions(doBackgroundOnly);
  D->DrawFooter(Col(0), R, false);
  EXPECT_EQ(S.Count(R, Yellow), 80 * 20);
}

TEST_F(DisplayFixture, FooterGlyphsAreLaidOutByAlignment) {
  auto D = Make<TStyleDisplay>();
  TColumnFooter* Foot = Col(0)->Footer();
  Foot->SetCaption(L"Total");
  TBitmap Glyph(8, 6, pf24bit);
  Glyph.Canvas()->Brush()->SetColor(clRed);
  Glyph.Canvas()->FillRect(Rect(0, 0, 8, 6));
  Glyph.Canvas()->SetPixels(0, 5, clLime);  // the transparent colour
  Foot->SetGlyph(&Glyph);
  Foot->SetDisplayMode(dmTextAndImage);
  Col(0)->SetPadding(4);
  const TRect R = Rect(0, 0, 120, 20);
  const int T = TextWidth(L"Total");
  const COLORREF Red = RGB(255, 0, 0);
  auto Draw = [&] {
    S.Clear();
    D->DrawFooter(Col(0), R, false);
    return S.Ink(R, Ink);
  };
  // Left: the glyph 3 pixels in and centred vertically, the text 2 pixels after it.
  const TRect Left = Draw();
  EXPECT_EQ(S.Ink(R, Red), Rect(3, 10 - 3, 11, 10 + 3));
  const int Bearing = Left.Left - (3 + 8 + 2);
  EXPECT_GE(Bearing, 0);
  EXPECT_LE(Bearing, 1);
  // Right: glyph and text end 2 pixels and the padding inside, 31 more for a sorted column.
  Foot->SetAlignment(taRightJustify);
  int GlyphX = 120 - 8 - T - 2 - 4;
  EXPECT_EQ(Draw().Left, GlyphX + 8 + 2 + Bearing);
  EXPECT_EQ(S.Ink(R, Red).Left, GlyphX);
  Col(0)->SetSorted(true);
  GlyphX -= 31;
  EXPECT_EQ(Draw().Left, GlyphX + 8 + 2 + Bearing);
  EXPECT_EQ(S.Ink(R, Red).Left, GlyphX);
  Col(0)->SetSorted(false);
  // Centred: glyph and text centred together.
  Foot->SetAlignment(taCenter);
  GlyphX = (120 - (8 + 2 + T)) / 2;
  EXPECT_EQ(Draw().Left, GlyphX + 8 + 2 + Bearing);
  EXPECT_EQ(S.Ink(R, Red).Left, GlyphX);
  // Image only: the glyph without the text.
  Foot->SetDisplayMode(dmImageOnly);
  EXPECT_TRUE(Draw().IsEmpty());
  EXPECT_EQ(S.Ink(R, Red).Left, (120 - (8 + 2)) / 2);
}

// ---------------------------------------------------------------------------------------------
// Indicator and input line

TEST_F(DisplayFixture, IndicatorCellsAndTheRowSign) {
  auto D = Make<TStyleDisplay>();
  const COLORREF Hi = Rgb(clBtnHighlight), Sh = Rgb(clBtnShadow), Face = Rgb(clBtnFace);
  D->DrawIndicatorBackground(Rect(0, 0, 12, 17), 0, false, false);
  D->DrawIndicatorBackground(Rect(0, 17, 12, 34), 1, true, true);
  // The first row: a highlight line across its top; the next ones leave its corners flat.
  EXPECT_EQ(S.At(1, 0), Hi);
  EXPECT_EQ(S.At(1, 17), Face);
  EXPECT_EQ(S.At(2, 17), Hi);
  EXPECT_EQ(S.At(0, 33), Hi);
  EXPECT_EQ(S.At(11, 20), Sh);
  EXPECT_EQ(S.At(5, 16), Sh);
  EXPECT_EQ(S.At(1, 16), Face);
  // The sign: a triangle in a 6 x 11 box in the middle of the cell.
  D->DrawIndicatorContent(Rect(0, 17, 12, 34), true, false);
  EXPECT_EQ(S.Ink(Rect(0, 17, 12, 34), Ink), Rect(3, 20, 9, 31));
  EXPECT_EQ(S.At(8, 25), Ink);
  EXPECT_NE(S.At(8, 21), Ink);
  // Inverted: every pixel of the cell turned over.
  D->DrawIndicatorContent(Rect(0, 0, 12, 17), false, true);
  EXPECT_EQ(S.At(5, 8), Face ^ 0xFFFFFF);
  EXPECT_EQ(S.At(0, 5), Hi ^ 0xFFFFFF);
}

TEST_F(DisplayFixture, InputCellsInTheirStates) {
  auto D = Make<TStyleDisplay>();
  TNxTextColumn* C = Col(1);
  C->SetColor(clYellow);
  C->SetInputCaption(L"type");
  const TRect R = Rect(0, 0, 80, 16);
  const COLORREF Yellow = RGB(255, 255, 0);
  auto Cell = [&](bool Focused, bool Selected, bool Editing) {
    S.Clear();
    D->DrawInputCell(C, R, Focused, Selected, Editing);
  };
  Cell(false, true, false);
  EXPECT_EQ(S.At(1, 1), Yellow);
  EXPECT_GT(S.Count(R, Rgb(clGrayText)), 5);
  Cell(true, true, false);
  EXPECT_EQ(S.At(1, 1), Rgb(clHighlight));
  EXPECT_GT(S.Count(R, Rgb(clHighlightText)), 5);
  Cell(true, false, false);
  EXPECT_EQ(S.At(1, 1), Rgb(clBtnFace));
  EXPECT_EQ(S.At(79, 15), Rgb(clBtnFace));
  // The grid's selected column shows in its own colour with grey text.
  D->SelectedColumn = 1;
  Cell(true, true, false);
  EXPECT_EQ(S.At(1, 1), Yellow);
  EXPECT_GT(S.Count(R, Rgb(clGrayText)), 5);
  D->SelectedColumn = -1;
  // Editing: the highlight lines at the bottom and right.
  Cell(true, true, true);
  EXPECT_EQ(S.At(40, 15), Rgb(clHighlight));
  EXPECT_EQ(S.At(79, 3), Rgb(clHighlight));
  EXPECT_EQ(S.At(78, 14), Rgb(clHighlight));
  // While the column's editor is on the cell only a frame is drawn (the editor paints inside).
  C->SetInputEditing(true);
  Cell(true, true, false);
  EXPECT_EQ(S.At(0, 5), Yellow);
  EXPECT_EQ(S.At(40, 15), Yellow);
  EXPECT_EQ(S.At(5, 3), Untouched);
  C->SetInputEditing(false);
  // The caption is centred; a value is placed by the column's alignment.
  Cell(false, false, false);
  const TRect Caption = S.Ink(R, Rgb(clGrayText));
  EXPECT_NEAR(Caption.Left + Caption.Right, 2 + 79, 3);
  C->SetInputValue(L"v");
  C->SetAlignment(taRightJustify);
  Cell(false, false, false);
  const TRect Value = S.Ink(R, Rgb(clGrayText));
  EXPECT_GT(Value.Left, 65);
  EXPECT_LE(Value.Right, 79);
}

// ---------------------------------------------------------------------------------------------
// The pieces of each style

TEST_F(DisplayFixture, CornersStripsAndIndicatorsOfEachStyle) {
  F.Grid->SetColor(clAqua);
  const COLORREF Aqua = RGB(0, 255, 255), Face = Rgb(clBtnFace), Gray = Rgb(clGrayText);
  const TRect C = Rect(0, 0, 12, 18), Strip = Rect(20, 0, 60, 18), Cell = Rect(0, 20, 12, 36);
  // The base: the grid's colour.
  auto B = Make<TStyleDisplay>();
  B->DrawCorner(C, 0);
  B->DrawFooterBackground(Strip);
  B->DrawHeaderRemainder(Rect(70, 0, 100, 18));
  EXPECT_EQ(S.Count(Rect(0, 0, 100, 18), Aqua), 12 * 18 + 40 * 18 + 30 * 18);
  // Flat: button face, grey lines at the right and bottom; headers in their own colour.
  S.Clear();
  auto Fl = Make<TFlatStyleDisplay>();
  Fl->DrawCorner(C, 0);
  Fl->DrawFooterBackground(Strip);
  Fl->DrawIndicatorBackground(Cell, 3, false, false);
  Col(0)->Header()->SetColor(clYellow);
  Fl->DrawHeaderBackground(Col(0), Rect(100, 0, 180, 18));
  EXPECT_EQ(S.At(5, 5), Face);
  EXPECT_EQ(S.At(11, 0), Gray);
  EXPECT_EQ(S.At(0, 17), Gray);
  EXPECT_EQ(S.At(5, 35), Gray);
  EXPECT_EQ(S.Count(Strip, Face), 40 * 18);
  EXPECT_EQ(S.At(140, 9), RGB(255, 255, 0));
  EXPECT_EQ(S.At(179, 9), Gray);
  // Old: raised buttons with the dark window-frame edge everywhere.
  S.Clear();
  auto O = Make<TOldStyleDisplay>();
  O->DrawCorner(C, 1);
  O->DrawIndicatorBackground(Cell, 0, false, false);
  O->DrawHeaderBackground(Col(0), Rect(100, 0, 180, 18));
  for (TRect R : {C, Cell, Rect(100, 0, 180, 18)}) {
    EXPECT_EQ(S.At(R.Left, R.Top), Rgb(clBtnHighlight));
    EXPECT_EQ(S.At(R.Right - 1, R.Top + 5), Rgb(clWindowFrame));
    EXPECT_EQ(S.At(R.Left + 3, R.Top + 5), Face);
  }
  // Outlook: three soft shadow rows at the bottom; the footer strip a raised button.
  S.Clear();
  auto L = Make<TOutlookStyleDisplay>();
  L->DrawCorner(C, 0);
  L->DrawFooterBackground(Strip);
  EXPECT_EQ(S.At(11, 5), Rgb(clBtnShadow));
  EXPECT_EQ(S.At(5, 15), Rgb(BlendColor(clBtnShadow, clBtnFace, 50)));
  EXPECT_EQ(S.At(5, 16), Rgb(BlendColor(clBtnShadow, clBtnFace, 100)));
  EXPECT_EQ(S.At(5, 17), Rgb(BlendColor(clBtnShadow, clBtnFace, 150)));
  EXPECT_EQ(S.At(59, 17), Rgb(clBtnShadow));
  // Vista: light grey indicator cells with a white and a button-face edge; plain corners.
  S.Clear();
  auto V = Make<TVistaStyleDisplay>();
  V->DrawIndicatorBackground(Cell, 2, false, false);
  V->DrawCorner(C, 0);
  EXPECT_EQ(S.At(0, 25), White);
  EXPECT_EQ(S.At(11, 25), Face);
  EXPECT_EQ(S.At(5, 20), RGB(240, 240, 240));
  EXPECT_EQ(S.Count(C, Aqua), 12 * 18);
  // The Office-like looks: gradient corners and indicator cells, scheme-coloured edges.
  S.Clear();
  auto O7 = Make<TOffice2007StyleDisplay>();
  O7->DrawCorner(C, 0);
  O7->DrawIndicatorBackground(Cell, 1, false, false);
  O7->DrawFooterBackground(Strip);
  for (int Y = 0; Y < 17; ++Y) EXPECT_EQ(S.At(5, Y), Rgb(MixColors(clWhite, SchemeColor(11), Y / 18.0))) << Y;
  EXPECT_EQ(S.At(5, 17), Rgb(SchemeColor(2)));
  EXPECT_EQ(S.At(11, 3), Rgb(SchemeColor(2)));
  EXPECT_EQ(S.At(5, 35), Rgb(SchemeColor(2)));
  EXPECT_EQ(S.Count(Strip, Rgb(SchemeColor(11))), 40 * 18);
  S.Clear();
  auto O10 = Make<TOffice2010StyleDisplay>();
  O10->DrawCorner(C, 0);
  EXPECT_EQ(S.At(5, 0), Rgb(SchemeColor(6)));
  EXPECT_EQ(S.At(5, 9), Rgb(MixColors(SchemeColor(6), SchemeColor(7), 9 / 18.0)));
}

TEST_F(DisplayFixture, ColumnHeadersOfTheOfficeAndOutlookLooks) {
  Col(1)->Header()->SetColor(clYellow);
  auto O = Make<TOffice2007StyleDisplay>();
  for (int I = 0; I < 3; ++I) O->DrawHeader(Col(I), HeaderRect(I));
  S.Capture().MaybeSave("displays_office2007_headers");
  // Gradient rows from white to scheme colour 11, whatever the header colour.
  EXPECT_EQ(S.At(40, 0), White);
  EXPECT_EQ(S.At(120, 8), Rgb(MixColors(clWhite, SchemeColor(11), 8 / 18.0)));
  // A separator in scheme colour 10 between headers, scheme colour 2 after the last one.
  EXPECT_EQ(S.At(79, 1), Rgb(MixColors(clWhite, SchemeColor(11), 1 / 18.0)));
  EXPECT_EQ(S.At(79, 14), Rgb(SchemeColor(10)));
  EXPECT_EQ(S.At(239, 0), Rgb(SchemeColor(2)));
  EXPECT_EQ(S.At(120, 17), Rgb(SchemeColor(2)));
  // Outlook: the header colour above three rows of shadow blended into it; the first header's
  // highlight runs from the top, the others' from two pixels down; the content ends 3 rows up.
  S.Clear();
  auto L = Make<TOutlookStyleDisplay>();
  for (int I = 0; I < 3; ++I) L->DrawHeaderBackground(Col(I), HeaderRect(I));
  S.Capture().MaybeSave("displays_outlook_headers");
  EXPECT_EQ(S.At(120, 15), Rgb(BlendColor(clBtnShadow, clYellow, 50)));
  EXPECT_EQ(S.At(120, 17), Rgb(BlendColor(clBtnShadow, clYellow, 150)));
  EXPECT_EQ(S.At(0, 0), Rgb(clBtnHighlight));
  EXPECT_EQ(S.At(80, 1), RGB(255, 255, 0));
  EXPECT_EQ(S.At(80, 13), Rgb(clBtnHighlight));
  EXPECT_EQ(S.At(80, 14), RGB(255, 255, 0));
  EXPECT_EQ(S.At(239, 0), Rgb(clBtnShadow));
  TRect Content = HeaderRect(0);
  L->AdjustContentRect(Content);
  EXPECT_EQ(Content.Bottom, 15);
}

// ---------------------------------------------------------------------------------------------
// Number and edit-mask formats of footer values

TEST(DisplayFormats, NumbersByFormatString) {
  EXPECT_EQ(NxFormatFloat("0.00", 12.5), "12.50");
  EXPECT_EQ(NxFormatFloat("0.00", 0), "0.00");
  EXPECT_EQ(NxFormatFloat("0.00", 2.675), "2.68");  // 15 significant digits, rounded half up
  EXPECT_EQ(NxFormatFloat("0.00", 0.006), "0.01");
  EXPECT_EQ(NxFormatFloat("0.00", 0.004), "0.00");
  EXPECT_EQ(NxFormatFloat("0", 0.6), "1");
  EXPECT_EQ(NxFormatFloat("0.0", 99.96), "100.0");
  EXPECT_EQ(NxFormatFloat("0.00", 1.005e3), "1005.00");
  EXPECT_EQ(NxFormatFloat("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(NxFormatFloat("#,##0", 999), "999");
  EXPECT_EQ(NxFormatFloat("#.##", 0.5), ".5");
  EXPECT_EQ(NxFormatFloat("#.##", 3), "3");
  EXPECT_EQ(NxFormatFloat("0.0#", 1.5), "1.5");
  EXPECT_EQ(NxFormatFloat("0.0#", 1.567), "1.57");
  EXPECT_EQ(NxFormatFloat("000", 7), "007");
  EXPECT_EQ(NxFormatFloat("0", -3.4), "-3");
  EXPECT_EQ(NxFormatFloat("0.0", -0.01), "0.0");  // rounds to nothing: no sign
  EXPECT_EQ(NxFormatFloat("0.00;(0.00);zero", -2), "(2.00)");
  EXPECT_EQ(NxFormatFloat("0.00;(0.00);zero", 0), "zero");
  EXPECT_EQ(NxFormatFloat("0.00;;zero", -2), "-2.00");
  EXPECT_EQ(NxFormatFloat("\"Total: \"#,##0 'pcs'", 1500), "Total: 1,500 pcs");
  EXPECT_EQ(NxFormatFloat("$#,##0.00", -5), "-$5.00");
  EXPECT_EQ(NxFormatFloat("0.00E+00", 1234), "1.23E+03");
  EXPECT_EQ(NxFormatFloat("0.0E-0", 0.00052), "5.2E-4");
  EXPECT_EQ(NxFormatFloat("0.00E+00", 9.999), "1.00E+01");
  EXPECT_EQ(NxFormatFloat("", 2.5), "2.5");
  EXPECT_EQ(NxFormatFloat("0.00", 1e300).size(), 304u);
  EXPECT_EQ(NxFormatFloat("0.00", std::numeric_limits<double>::infinity()), FloatToStr(HUGE_VAL));
}

TEST(DisplayFormats, TextByEditMask) {
  EXPECT_EQ(NxFormatMaskText("(000) 000-0000;0;_", L"5551234567"), L"(555) 123-4567");
  EXPECT_EQ(NxFormatMaskText("(000) 000-0000;1;_", L"(555) 123-4567"), L"(555) 123-4567");
  EXPECT_EQ(NxFormatMaskText("000-000;0", L"12"), L"12 -   ");
  EXPECT_EQ(NxFormatMaskText("!000-000;0", L"12"), L"   - 12");
  EXPECT_EQ(NxFormatMaskText(">LL<ll;0", L"aBcD"), L"ABcd");
  EXPECT_EQ(NxFormatMaskText(">L<>l;0", L"ab"), L"Ab");
  EXPECT_EQ(NxFormatMaskText("\\A000;0", L"123"), L"A123");
  EXPECT_EQ(NxFormatMaskText("00:00;0", L"1230"), L"12:30");
  EXPECT_EQ(NxFormatMaskText("00/00;0", L"0102"), L"01.02");  // the date separator
  EXPECT_EQ(NxFormatMaskText("00_00;0", L"1234"), L"12 34");
  EXPECT_EQ(NxFormatMaskText("00;0", L"123456"), L"12");
  EXPECT_EQ(NxFormatMaskText("", L"abc"), L"");
  EXPECT_EQ(NxFormatMaskText("0\\;0;0", L"12"), L"1;2");
}

// ---------------------------------------------------------------------------------------------
// The grid painting with its displays

namespace {

// A grid whose pressed and hot headers the test decides (the mouse handling is not involved).
class TStateGrid : public TNxGrid {
  T_CLASS(TStateGrid, TNxGrid)

 public:
  using TNxGrid::TNxGrid;
  TNxCustomColumn* Pressed = nullptr;
  TNxCustomColumn* Hot = nullptr;
  TNxCustomColumn* PressedColumn() const override { return Pressed; }
  TNxCustomColumn* HotColumn() const override { return Hot; }
};

struct TStyleForm {
  TForm* Form;
  TStateGrid* Grid;
  std::vector<TNxTextColumn*> Columns;
  TStyleForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(100, 80, 360, 260);
    Grid = new TStateGrid(Form);
    Grid->SetBounds(10, 10, 300, 200);
    Grid->SetBorderStyle(bsNone);
    Grid->SetOptions({goHeader, goInput, goFooter, goIndicator, goGrid});
    Grid->SetParent(Form);
    for (int C = 0; C < 3; ++C) {
      auto* Col = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
      Col->SetOptions({coCanClick, coCanInput, coCanSort, coPublicUsing});
      Col->SetWidth(80);
      Col->Header()->SetCaption(L"Col " + std::to_wstring(C));
      Col->Footer()->SetCaption(std::to_wstring(C * 100 + 5));
      Col->Footer()->SetFormatMask("0.00");
      Col->Footer()->SetFormatMaskKind(mkFloat);
      Col->SetInputCaption(L"new");
      Columns.push_back(Col);
    }
    Columns[1]->SetSorted(true);
    Columns[2]->Header()->SetAlignment(taRightJustify);
    Columns[2]->Footer()->SetAlignment(taRightJustify);
    for (int R = 0; R < 4; ++R) {
      Grid->AddRow(1);
      for (int C = 0; C < 3; ++C) Grid->SetCells(C, R, L"r" + std::to_wstring(R) + L"c" + std::to_wstring(C));
    }
    Form->Show();
    realinput::BringToFront(Form->Handle());
    Settle(Form->Handle());
  }
  ~TStyleForm() {
    delete Form;
    Pump();
  }
  TStyleForm(const TStyleForm&) = delete;
  TStyleForm& operator=(const TStyleForm&) = delete;
  TCapture Paint() {
    Grid->InvalidateGrid();
    Settle(Grid->Handle());
    return TCapture(Grid->Handle());
  }
};

}  // namespace

TEST(DisplaysInTheGrid, EveryHeaderStyleHasItsDisplay) {
  TStyleForm F;
  TStateGrid* G = F.Grid;
  struct Case {
    THeaderStyle Style;
    const char* Class;
    const char* Name;
  };
  const Case Cases[] = {
      {hsAuto, "TDefaultStyleDisplay", "auto"},
      {hsFlatBorders, "TFlatStyleDisplay", "flat"},
      {hsOffice2007, "TOffice2007StyleDisplay", "office2007"},
      {hsOffice2010, "TOffice2010StyleDisplay", "office2010"},
      {hsOldStyle, "TOldStyleDisplay", "old"},
      {hsOutlook, "TOutlookStyleDisplay", "outlook"},
      {hsVista, "TVistaStyleDisplay", "vista"},
  };
  const TRect H0 = G->GetHeaderCellRect(F.Columns[0]);
  const TRect H1 = G->GetHeaderCellRect(F.Columns[1]);
  const TRect Foot = G->GetFooterRect();
  std::vector<TStyleDisplay*> Seen;
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    G->SetHeaderStyle(C.Style);
    TStyleDisplay* D = G->StyleDisplay();
    ASSERT_NE(D, nullptr);
    EXPECT_TRUE(D->ClassNameIs(C.Class));
    EXPECT_EQ(D->Owner(), G);
    EXPECT_EQ(std::count(Seen.begin(), Seen.end(), D), 0);
    Seen.push_back(D);
    TCapture P = F.Paint();
    P.MaybeSave((std::string("displays_grid_") + C.Name).c_str());
    // Every style shows the captions, the formatted footer values and the input captions.
    EXPECT_GT(P.Count(H0, Rgb(clWindowText)), 10);
    EXPECT_GT(P.Count(G->GetFooterCellRect(F.Columns[0]), Rgb(clWindowText)), 10);
    EXPECT_GT(P.CountOther(G->GetInputCellRect(F.Columns[0]), P.Pixel(H0.Left + 40, G->GetInputRect().Top + 1)), 5);
    // What marks each style.
    switch (C.Style) {
      case hsAuto:
        EXPECT_EQ(P.Pixel(H0.Left, 1), Rgb(clBtnHighlight));
        EXPECT_EQ(P.Pixel(0, 0), Rgb(clBtnHighlight));  // the corner button
        EXPECT_EQ(P.Pixel(11, 17), Rgb(clBtnShadow));
        break;
      case hsFlatBorders:
        EXPECT_EQ(P.Pixel(H0.Right - 1, 5), Rgb(clGrayText));
        EXPECT_EQ(P.Pixel(5, 17), Rgb(clGrayText));
        break;
      case hsOffice2007:
        EXPECT_EQ(P.Pixel(H0.Left + 30, 0), White);
        EXPECT_EQ(P.Pixel(H0.Left + 30, H0.Bottom - 1), Rgb(SchemeColor(2)));
        EXPECT_EQ(P.Pixel(5, Foot.Top + 1), Rgb(MixColors(clWhite, SchemeColor(11), 1.0 / Foot.Height())));
        break;
      case hsOffice2010:
        EXPECT_EQ(P.Pixel(H0.Left + 30, 0), Rgb(SchemeColor(6)));
        break;
      case hsOldStyle:
        EXPECT_EQ(P.Pixel(H0.Right - 1, 5), Rgb(clWindowFrame));
        EXPECT_EQ(P.Pixel(11, 5), Rgb(clWindowFrame));
        break;
      case hsOutlook:
        EXPECT_EQ(P.Pixel(H0.Left + 30, H0.Bottom - 1), Rgb(BlendColor(clBtnShadow, clBtnFace, 150)));
        break;
      case hsVista:
        EXPECT_EQ(P.Pixel(H1.Left + 5, 0), RGB(175, 220, 240));
        EXPECT_EQ(P.Pixel(H0.Left + 30, 0), RGB(240, 240, 240));
        break;
    }
  }
}

TEST(DisplaysInTheGrid, TheGridHandsItsHeaderStateToTheDisplay) {
  TStyleForm F;
  TStateGrid* G = F.Grid;
  const TRect H0 = G->GetHeaderCellRect(F.Columns[0]);
  G->SetEnableVisualStyles(false);
  TCapture Normal = F.Paint();
  EXPECT_EQ(Normal.Pixel(H0.Left + 60, 9), Rgb(clBtnFace));
  G->Pressed = F.Columns[0];
  TCapture Pressed = F.Paint();
  EXPECT_EQ(Pressed.Pixel(H0.Left + 60, 9), Rgb(clBtnFace) ^ 0xFFFFFF);
  G->Pressed = nullptr;
  // The input cell of the selected column: its own colour.
  G->SelectCell(2, 0);
  F.Paint();
  EXPECT_EQ(G->StyleDisplay()->SelectedColumn, 2);
  // Best fit of the header only: the caption, its margins and the sort sign's room.
  G->Canvas()->SetFont(G->Font());
  const int T = G->Canvas()->TextWidth(L"Col 1");
  G->BestFitColumn(F.Columns[1], 2);
  EXPECT_EQ(F.Columns[1]->Width(), 2 + T + 30 + 5);
  // At that width the sort sign shows beside the caption.
  const TRect H1 = G->GetHeaderCellRect(F.Columns[1]);
  TCapture Fitted = F.Paint();
  const int X = H1.Left + 2 + T + 2 + 19, Y = 9 - 4;
  EXPECT_EQ(Fitted.Pixel(X + 1, Y + 6), Rgb(clBtnShadow));
  EXPECT_EQ(Fitted.Pixel(X + 6, Y + 5), Rgb(clBtnHighlight));
  G->BestFitColumn(F.Columns[0], 2);
  EXPECT_EQ(F.Columns[0]->Width(), 2 + G->Canvas()->TextWidth(L"Col 0") + 2 + 5);
}

TEST(DisplaysInTheGrid, ChromePiecesStayInsideThemselves) {
  TStyleForm F;
  TStateGrid* G = F.Grid;
  G->SetEnableVisualStyles(false);
  // The footer cells leave their last pixel column and row to the grid lines.
  G->SetGridLinesColor(clRed);
  TCapture P = F.Paint();
  const TRect Foot0 = G->GetFooterCellRect(F.Columns[0]);
  EXPECT_EQ(P.Pixel(Foot0.Right - 1, Foot0.Top + 5), RGB(255, 0, 0));
  EXPECT_EQ(P.Pixel(Foot0.Left + 5, Foot0.Bottom - 1), RGB(255, 0, 0));
  EXPECT_EQ(P.Pixel(Foot0.Right - 2, Foot0.Top + 5), Rgb(clBtnFace));
  G->SetGridLinesColor(clBtnFace);
  // A header strip without height shows nothing of the headers, whatever the style.
  F.Columns[1]->Header()->SetColor(clRed);
  G->SetHeaderSize(0);
  for (THeaderStyle Style : {hsAuto, hsFlatBorders, hsOldStyle, hsOutlook, hsVista, hsOffice2007}) {
    SCOPED_TRACE(static_cast<int>(Style));
    G->SetHeaderStyle(Style);
    TCapture Q = F.Paint();
    EXPECT_EQ(Q.Count(Rect(0, 0, Q.Width(), Q.Height()), RGB(255, 0, 0)), 0);
    if (Style == hsAuto) {
      // The input line's corner button is whole: nothing of the empty header corner above it.
      EXPECT_EQ(Q.Pixel(5, 0), Rgb(clBtnHighlight));
      EXPECT_EQ(Q.Pixel(5, 1), Rgb(clBtnFace));
    }
    EXPECT_EQ(Q.Count(Rect(0, 0, Q.Width(), Q.Height()), Rgb(clWindowText)),
              Q.Count(G->GetBodyRect(), Rgb(clWindowText)) + Q.Count(G->GetFooterRect(), Rgb(clWindowText)));
  }
}

TEST(DisplaysInTheGrid, VisualStylesThroughTheThemeFunctions) {
  TFakeThemes Themes;
  TStyleForm F;
  TStateGrid* G = F.Grid;
  ASSERT_TRUE(G->IsThemedChrome());
  const TRect H0 = G->GetHeaderCellRect(F.Columns[0]);
  const TRect H1 = G->GetHeaderCellRect(F.Columns[1]);
  const TRect H2 = G->GetHeaderCellRect(F.Columns[2]);
  G->Hot = F.Columns[1];
  G->Pressed = F.Columns[2];
  ThemeCalls.clear();
  TCapture P = F.Paint();
  P.MaybeSave("displays_grid_themed");
  for (const auto& Call : ThemeCalls) EXPECT_EQ(Call.find("foreign"), std::string::npos) << Call;
  EXPECT_EQ(P.Pixel(H0.Left + 40, 2), ThemeColor(1, 1));
  EXPECT_EQ(P.Pixel(H1.Left + 5, 2), ThemeColor(1, 2));
  EXPECT_EQ(P.Pixel(H2.Left + 5, 2), ThemeColor(1, 3));
  // The header strip right of the columns and the header corner are themed too.
  EXPECT_EQ(P.Pixel(H2.Right + 10, 5), ThemeColor(2, 1));
  EXPECT_EQ(P.Pixel(5, 5), ThemeColor(1, 1));
  // The sort sign is the grey triangle of the themed look.
  EXPECT_GT(P.Count(H1, Rgb(clGrayText)), 10);
  // The right-aligned caption keeps clear of the themed margin without being cut short.
  const TRect Ink0 = InkBox(P, H0, Rgb(clWindowText));
  const TRect Ink2 = InkBox(P, H2, Rgb(clWindowText));
  EXPECT_NEAR(Ink2.Width(), Ink0.Width(), 1);
  EXPECT_LE(Ink2.Right, H2.Right - 11);
  EXPECT_GE(Ink2.Right, H2.Right - 14);
  EXPECT_EQ(G->StyleDisplay()->GetCapabilities(), scHotHeaders);
  // Another style ignores visual styles.
  G->SetHeaderStyle(hsFlatBorders);
  ThemeCalls.clear();
  TCapture Flat = F.Paint();
  for (const auto& Call : ThemeCalls) EXPECT_NE(Call.rfind("draw 1,", 0), 0u) << Call;
  EXPECT_EQ(Flat.Pixel(H0.Right - 1, 5), Rgb(clGrayText));
}
