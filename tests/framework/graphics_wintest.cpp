// Colours, fonts, brushes, pens, canvases, bitmaps (pixel formats, scan lines, BMP files),
// icons and pictures, checked through the pixels they paint.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Graphics.h"
#include "framework/Streams.h"
#include "support/UiTest.h"

namespace {

// True when GdiObjectCount sees a brush come and go.
bool GdiCountingWorks() {
  int a = uitest::GdiObjectCount();
  HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
  int c = uitest::GdiObjectCount();
  DeleteObject(b);
  return a >= 0 && c == a + 1 && uitest::GdiObjectCount() == a;
}

TColor Px(TBitmap& B, int X, int Y) { return B.Canvas()->Pixels(X, Y); }

std::uint32_t Raw32(TBitmap& B, int X, int Y) {
  std::uint32_t v;
  std::memcpy(&v, static_cast<Byte*>(B.ScanLine(Y)) + 4 * X, 4);
  return v;
}

std::unique_ptr<TBitmap> Filled(int W, int H, TPixelFormat F, TColor C) {
  auto b = std::make_unique<TBitmap>(W, H, F);
  b->Canvas()->Brush()->SetColor(C);
  b->Canvas()->FillRect(Rect(0, 0, W, H));
  return b;
}

// A deterministic pattern of colours.
TColor PatternColor(int X, int Y) {
  return static_cast<TColor>(((X * 37 + Y * 11) & 0xFF) | (((X * 5 + Y * 71) & 0xFF) << 8) |
                             (((X * 13 + Y * 29 + 7) & 0xFF) << 16));
}

void PaintPattern(TBitmap& B) {
  for (int y = 0; y < B.Height(); ++y)
    for (int x = 0; x < B.Width(); ++x) B.Canvas()->SetPixels(x, y, PatternColor(x, y));
}

std::vector<Byte> Bytes(TMemoryStream& S) {
  auto* p = static_cast<Byte*>(S.Memory());
  return std::vector<Byte>(p, p + S.Size());
}

std::vector<Byte> SaveBmp(TBitmap& B) {
  TMemoryStream s;
  B.SaveToStream(s);
  return Bytes(s);
}

void LoadBmp(TBitmap& B, const std::vector<Byte>& Data) {
  TReadOnlyMemoryStream s(Data.data(), static_cast<std::int64_t>(Data.size()));
  B.LoadFromStream(s);
}

void Put16(std::vector<Byte>& D, std::size_t At, unsigned V) {
  D[At] = static_cast<Byte>(V);
  D[At + 1] = static_cast<Byte>(V >> 8);
}
void Put32(std::vector<Byte>& D, std::size_t At, std::uint32_t V) {
  for (int i = 0; i < 4; ++i) D[At + i] = static_cast<Byte>(V >> (8 * i));
}

// A BMP file: file header, a header of HeaderSize bytes (12 = core), extra bytes (masks or colour
// table), pixel rows.
std::vector<Byte> MakeBmp(int HeaderSize, int W, int H, int Bits, std::uint32_t Compression,
                          const std::vector<Byte>& Extra, const std::vector<Byte>& Pixels, std::uint32_t ClrUsed = 0) {
  std::vector<Byte> d(14 + HeaderSize, 0);
  d[0] = 'B';
  d[1] = 'M';
  Put32(d, 10, static_cast<std::uint32_t>(14 + HeaderSize + Extra.size()));
  Put32(d, 14, HeaderSize);
  if (HeaderSize == 12) {
    Put16(d, 18, W);
    Put16(d, 20, H);
    Put16(d, 22, 1);
    Put16(d, 24, Bits);
  } else {
    Put32(d, 18, static_cast<std::uint32_t>(W));
    Put32(d, 22, static_cast<std::uint32_t>(H));
    Put16(d, 26, 1);
    Put16(d, 28, Bits);
    Put32(d, 30, Compression);
    Put32(d, 34, static_cast<std::uint32_t>(Pixels.size()));
    Put32(d, 46, ClrUsed);
  }
  d.insert(d.end(), Extra.begin(), Extra.end());
  d.insert(d.end(), Pixels.begin(), Pixels.end());
  Put32(d, 2, static_cast<std::uint32_t>(d.size()));
  return d;
}

void ExpectInvalid(const std::vector<Byte>& Data, const char* What) {
  TBitmap b(3, 3, pf24bit);
  b.Canvas()->SetPixels(1, 1, clRed);
  try {
    LoadBmp(b, Data);
    ADD_FAILURE() << What << ": loaded without error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(std::string(e.Message).find("Bitmap image is not valid"), std::string::npos) << What;
  } catch (const std::exception& e) {
    ADD_FAILURE() << What << ": unexpected exception " << e.what();
  }
  // A failed load leaves the bitmap as it was.
  EXPECT_EQ(b.Width(), 3) << What;
  EXPECT_EQ(b.PixelFormat(), pf24bit) << What;
  EXPECT_EQ(Px(b, 1, 1), clRed) << What;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Colours

TEST(Colors, SystemColorsResolveThroughTheSystem) {
  const std::pair<TColor, int> sys[] = {{clBtnFace, COLOR_BTNFACE},     {clWindow, COLOR_WINDOW},
                                        {clWindowText, COLOR_WINDOWTEXT}, {clHighlight, COLOR_HIGHLIGHT},
                                        {clHighlightText, COLOR_HIGHLIGHTTEXT}, {clBtnShadow, COLOR_BTNSHADOW},
                                        {clBtnHighlight, COLOR_BTNHIGHLIGHT}, {clGrayText, COLOR_GRAYTEXT},
                                        {clInfoBk, COLOR_INFOBK},       {clInfoText, COLOR_INFOTEXT},
                                        {clMenu, COLOR_MENU},           {clMenuText, COLOR_MENUTEXT},
                                        {clActiveCaption, COLOR_ACTIVECAPTION}};
  for (auto [c, index] : sys) EXPECT_EQ(ColorToRGB(c), GetSysColor(index)) << index;
  EXPECT_EQ(clBtnFace, static_cast<TColor>(0x8000000F));
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
  EXPECT_EQ(ColorToRGB(0x123456), 0x123456u);
}

TEST(Colors, NamesConvertBothWays) {
  EXPECT_EQ(StringToColor("clBtnFace"), clBtnFace);
  EXPECT_EQ(StringToColor("CLRED"), clRed);
  EXPECT_EQ(StringToColor("$00FF00"), clLime);
  EXPECT_EQ(StringToColor("-2147483633"), clBtnFace);
  EXPECT_EQ(ColorToString(clSilver), "clSilver");
  EXPECT_EQ(ColorToString(clNone), "clNone");
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_THROW(StringToColor("clNoSuchColour"), EConvertError);
}

// ---------------------------------------------------------------------------------------------
// Fonts, brushes, pens

TEST(Font, DefaultsAndSizeConversion) {
  TFont f;
  EXPECT_EQ(f.Name(), "MS Sans Serif");
  EXPECT_EQ(f.Height(), -11);
  EXPECT_EQ(f.Color(), clWindowText);
  EXPECT_TRUE(f.Style().Empty());
  EXPECT_EQ(f.Charset(), DEFAULT_CHARSET);
  f.SetPixelsPerInch(96);
  EXPECT_EQ(f.Size(), 8);
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);
  f.SetPixelsPerInch(120);
  EXPECT_EQ(f.Size(), 10);
}

TEST(Font, HandleFollowsShapingPropertiesOnly) {
  TFont f;
  int changes = 0;
  f.OnChange = [&](TObject* s) {
    EXPECT_EQ(s, &f);
    ++changes;
  };
  HFONT h1 = f.Handle();
  ASSERT_NE(h1, nullptr);
  EXPECT_EQ(f.Handle(), h1);  // cached

  f.SetColor(clRed);  // colour is not part of the font object
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f.Handle(), h1);

  f.SetStyle({fsBold, fsItalic});
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(GetObjectType(h1), 0u) << "the replaced font is deleted";
  HFONT h2 = f.Handle();
  LOGFONTA lf{};
  ASSERT_NE(GetObjectA(h2, sizeof(lf), &lf), 0);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_EQ(lf.lfHeight, -11);
  EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");

  f.SetStyle({fsBold, fsItalic});  // same value: no notice
  f.SetHeight(-11);
  EXPECT_EQ(changes, 2);
}

TEST(Font, AdoptedHandleGivesProperties) {
  LOGFONTA lf{};
  lf.lfHeight = -20;
  lf.lfWeight = FW_BOLD;
  lf.lfUnderline = 1;
  lf.lfCharSet = RUSSIAN_CHARSET;
  std::strcpy(lf.lfFaceName, "Tahoma");
  HFONT h = CreateFontIndirectA(&lf);
  TFont f;
  f.SetHandle(h);
  EXPECT_EQ(f.Handle(), h);
  EXPECT_EQ(f.Height(), -20);
  EXPECT_EQ(f.Name(), "Tahoma");
  EXPECT_EQ(f.Charset(), RUSSIAN_CHARSET);
  EXPECT_TRUE(f.Style().Contains(fsBold));
  EXPECT_TRUE(f.Style().Contains(fsUnderline));
  EXPECT_FALSE(f.Style().Contains(fsItalic));

  TFont g;
  g.Assign(&f);
  EXPECT_EQ(g.Name(), "Tahoma");
  EXPECT_EQ(g.Height(), -20);
  EXPECT_NE(g.Handle(), h);  // its own object
  TBrush notAFont;
  EXPECT_THROW(g.Assign(&notAFont), EConvertError);
}

TEST(BrushAndPen, HandlesMatchProperties) {
  TBrush b;
  LOGBRUSH lb{};
  ASSERT_NE(GetObjectA(b.Handle(), sizeof(lb), &lb), 0);
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
  EXPECT_EQ(lb.lbColor, 0xFFFFFFu);
  HBRUSH first = b.Handle();
  b.SetStyle(bsClear);
  EXPECT_EQ(GetObjectType(first), 0u);
  ASSERT_NE(GetObjectA(b.Handle(), sizeof(lb), &lb), 0);
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_HOLLOW));
  b.SetColor(clBlue);  // a colour makes a clear brush solid again
  EXPECT_EQ(b.Style(), bsSolid);
  b.SetStyle(bsDiagCross);
  ASSERT_NE(GetObjectA(b.Handle(), sizeof(lb), &lb), 0);
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_HATCHED));
  EXPECT_EQ(lb.lbHatch, static_cast<ULONG_PTR>(HS_DIAGCROSS));

  TPen p;
  LOGPEN lp{};
  p.SetStyle(psDash);
  p.SetColor(clRed);
  ASSERT_NE(GetObjectA(p.Handle(), sizeof(lp), &lp), 0);
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_DASH));
  EXPECT_EQ(lp.lopnColor, 0x0000FFu);
  HPEN oldPen = p.Handle();
  p.SetMode(pmXor);  // the mode belongs to the device context
  EXPECT_EQ(p.Handle(), oldPen);
  EXPECT_EQ(TPen::RopCode(pmXor), R2_XORPEN);
  EXPECT_EQ(TPen::RopCode(pmNot), R2_NOT);
  EXPECT_EQ(TPen::RopCode(pmCopy), R2_COPYPEN);
}

TEST(GdiResources, NothingLeaksOverManyCycles) {
  if (!GdiCountingWorks()) GTEST_SKIP() << "GDI objects cannot be counted here";
  auto cycle = [] {
    TFont f;
    f.Handle();
    f.SetStyle({fsBold});
    f.Handle();
    TBrush b;
    b.Handle();
    b.SetColor(clRed);
    b.Handle();
    TPen p;
    p.Handle();
    p.SetWidth(3);
    p.Handle();
    TBitmap bmp(8, 8, pf24bit);
    TCanvas* c = bmp.Canvas();
    c->Font()->SetName("Tahoma");
    c->Brush()->SetColor(clYellow);
    c->FillRect(Rect(0, 0, 8, 8));
    c->TextOut(0, 0, "x");
    c->Pen()->SetColor(clBlue);
    c->LineTo(7, 7);
    bmp.SetPixelFormat(pf8bit);
    bmp.Palette();
    bmp.SetSize(10, 10);
    bmp.SetPixelFormat(pf1bit);
    TBitmap copy;
    copy.Assign(&bmp);
    TBitmap brushBmp(8, 8);
    c->Brush()->SetBitmap(&brushBmp);
    c->FillRect(Rect(0, 0, 4, 4));
    c->Brush()->SetBitmap(nullptr);
    TMemoryStream s;
    bmp.SaveToStream(s);
    s.SetPosition(0);
    copy.LoadFromStream(s);
    TCanvas adopted;
    HDC dc = CreateCompatibleDC(nullptr);
    adopted.SetHandle(dc);
    adopted.Rectangle(0, 0, 2, 2);
    adopted.SetHandle(nullptr);
    DeleteDC(dc);
  };
  cycle();  // stock objects and caches come into being once
  const int before = uitest::GdiObjectCount();
  for (int i = 0; i < 1000; ++i) cycle();
  EXPECT_EQ(uitest::GdiObjectCount(), before);
}

TEST(GdiResources, AMemoryDCIsTakenAgainAsItWasMade) {
  HDC First = TakeMemoryDC();
  ASSERT_NE(First, nullptr);
  const HGDIOBJ StockBitmap = GetCurrentObject(First, OBJ_BITMAP), StockFont = GetCurrentObject(First, OBJ_FONT);
  TBitmap Picture(20, 20, pf24bit);
  HFONT Font = CreateFontW(-30, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial");
  // Everything a painter leaves behind.
  SelectObject(First, Picture.Handle());
  SelectObject(First, Font);
  IntersectClipRect(First, 2, 2, 5, 5);
  SetWindowOrgEx(First, 7, 9, nullptr);
  SetLayout(First, LAYOUT_RTL);
  SaveDC(First);
  GiveBackMemoryDC(First);
  HDC Again = TakeMemoryDC();
  EXPECT_EQ(GetCurrentObject(Again, OBJ_BITMAP), StockBitmap);
  EXPECT_EQ(GetCurrentObject(Again, OBJ_FONT), StockFont);
  RECT Clip{};
  EXPECT_EQ(GetClipBox(Again, &Clip), SIMPLEREGION);
  EXPECT_EQ(Clip.right - Clip.left, 1) << "the whole of the stock one-pixel bitmap";
  POINT Origin{};
  GetWindowOrgEx(Again, &Origin);
  EXPECT_EQ(Origin.x, 0);
  EXPECT_EQ(GetLayout(Again), 0u);
  GiveBackMemoryDC(Again);
  DeleteObject(Font);
  if (!GdiCountingWorks()) return;
  // Given back by the dozen, only a few are kept.
  const int Before = uitest::GdiObjectCount();
  std::vector<HDC> Many(24);
  for (HDC& DC : Many) DC = TakeMemoryDC();
  for (HDC DC : Many) GiveBackMemoryDC(DC);
  EXPECT_LE(uitest::GdiObjectCount() - Before, 4);
}

TEST(GdiResources, APainterFindsAKeptMemoryDCWhileBitmapsHoldTheirs) {
  // A bitmap's canvas keeps its DC for the bitmap's life; a painter that gives its DC back at once
  // is still served by a kept one, the same each time, however many bitmaps hold theirs.
  std::vector<std::unique_ptr<TBitmap>> Held;
  for (int I = 0; I < 12; ++I) {
    Held.push_back(std::make_unique<TBitmap>(4, 4, pf24bit));
    ASSERT_NE(Held.back()->Canvas()->Handle(), nullptr);
  }
  HDC First = TakeMemoryDC();
  GiveBackMemoryDC(First);
  HDC Again = TakeMemoryDC();
  GiveBackMemoryDC(Again);
  EXPECT_EQ(Again, First);
}

// ---------------------------------------------------------------------------------------------
// Canvas drawing, checked by pixels

TEST(Canvas, FillFrameAndLines) {
  auto b = Filled(20, 20, pf24bit, clWhite);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(2, 2, 6, 6));
  EXPECT_EQ(Px(*b, 2, 2), clRed);
  EXPECT_EQ(Px(*b, 5, 5), clRed);
  EXPECT_EQ(Px(*b, 6, 6), clWhite) << "right and bottom edges are excluded";

  c->Brush()->SetColor(clBlue);
  c->FrameRect(Rect(10, 10, 16, 16));
  EXPECT_EQ(Px(*b, 10, 10), clBlue);
  EXPECT_EQ(Px(*b, 15, 12), clBlue);
  EXPECT_EQ(Px(*b, 12, 12), clWhite) << "the inside stays";
  EXPECT_EQ(Px(*b, 16, 12), clWhite);

  c->Pen()->SetColor(clGreen);
  c->MoveTo(0, 18);
  c->LineTo(10, 18);
  EXPECT_EQ(Px(*b, 0, 18), clGreen);
  EXPECT_EQ(Px(*b, 9, 18), clGreen);
  EXPECT_EQ(Px(*b, 10, 18), clWhite) << "the end point is not drawn";
  EXPECT_EQ(c->PenPos(), Point(10, 18));
}

TEST(Canvas, ShapesUsePenAndBrush) {
  auto b = Filled(40, 40, pf32bit, clWhite);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clYellow);
  c->Rectangle(0, 0, 10, 10);
  EXPECT_EQ(Px(*b, 0, 0), clBlack);
  EXPECT_EQ(Px(*b, 9, 9), clBlack);
  EXPECT_EQ(Px(*b, 5, 5), clYellow);
  EXPECT_EQ(Px(*b, 10, 10), clWhite);

  c->Ellipse(20, 0, 40, 20);
  EXPECT_EQ(Px(*b, 30, 10), clYellow);
  EXPECT_EQ(Px(*b, 20, 0), clWhite) << "the corner lies outside the ellipse";

  c->Brush()->SetColor(clLime);
  c->RoundRect(0, 20, 20, 40, 8, 8);
  EXPECT_EQ(Px(*b, 10, 30), clLime);
  EXPECT_EQ(Px(*b, 0, 20), clWhite);

  const std::vector<TPoint> tri{Point(22, 22), Point(38, 22), Point(22, 38)};
  c->Brush()->SetColor(clFuchsia);
  c->Polygon(tri);
  EXPECT_EQ(Px(*b, 25, 25), clFuchsia);
  EXPECT_EQ(Px(*b, 37, 37), clWhite);
  c->Pen()->SetColor(clRed);
  c->Polyline({Point(39, 22), Point(39, 38)});
  EXPECT_EQ(Px(*b, 39, 30), clRed);

  c->Brush()->SetStyle(bsClear);
  c->Pen()->SetColor(clBlue);
  c->Rectangle(0, 0, 10, 10);
  EXPECT_EQ(Px(*b, 5, 5), clYellow) << "a clear brush leaves the inside";
}

TEST(Canvas, PixelsAndPenModes) {
  auto b = Filled(10, 10, pf24bit, clWhite);
  TCanvas* c = b->Canvas();
  c->SetPixels(3, 4, clTeal);
  EXPECT_EQ(c->Pixels(3, 4), clTeal);
  EXPECT_EQ(c->Pixels(50, 50), static_cast<TColor>(CLR_INVALID));
  c->SetPixels(5, 5, clBtnFace);
  EXPECT_EQ(static_cast<COLORREF>(c->Pixels(5, 5)), ColorToRGB(clBtnFace));

  // pmNot inverts; drawing the same line twice restores the pixels (the grid's sizing lines).
  c->Pen()->SetMode(pmNot);
  c->MoveTo(0, 2);
  c->LineTo(10, 2);
  EXPECT_EQ(Px(*b, 4, 2), clBlack);
  c->MoveTo(0, 2);
  c->LineTo(10, 2);
  EXPECT_EQ(Px(*b, 4, 2), clWhite);
  c->Pen()->SetMode(pmCopy);

  c->DrawFocusRect(Rect(1, 6, 9, 9));
  bool changed = false;
  for (int x = 1; x < 9; ++x) changed |= Px(*b, x, 6) != clWhite;
  EXPECT_TRUE(changed);
  c->DrawFocusRect(Rect(1, 6, 9, 9));
  for (int x = 1; x < 9; ++x) EXPECT_EQ(Px(*b, x, 6), clWhite);
}

TEST(Canvas, TextIsDrawnInTheFontColour) {
  auto b = Filled(80, 30, pf24bit, clWhite);
  TCanvas* c = b->Canvas();
  c->Font()->SetColor(clRed);
  c->Brush()->SetStyle(bsClear);
  const TSize ext = c->TextExtent("Wg");
  EXPECT_GT(ext.cx, 5);
  EXPECT_GT(ext.cy, 5);
  EXPECT_EQ(c->TextWidth(L"Wg"), ext.cx);
  EXPECT_EQ(c->TextHeight("Wg"), ext.cy);
  c->TextOut(2, 2, "Wg");
  // Every touched pixel lies in the text's cell and is the font colour, or (where the text is
  // smoothed) the font colour mixed with white.
  int red = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 80; ++x) {
      COLORREF p = static_cast<COLORREF>(Px(*b, x, y));
      if (p == 0xFFFFFF) continue;
      red += p == 0x0000FF;
      EXPECT_TRUE(x >= 2 && x < 2 + ext.cx && y >= 2 && y < 2 + ext.cy) << x << "," << y;
      EXPECT_TRUE(GetRValue(p) == 255 && GetGValue(p) == GetBValue(p)) << std::hex << p;
    }
  EXPECT_GT(red, 5);
  EXPECT_EQ(c->PenPos(), Point(2 + ext.cx, 2));

  // Wide text with an opaque brush fills its cell.
  c->Brush()->SetColor(clYellow);
  c->TextOut(40, 2, L"\x0416");  // a Cyrillic letter
  EXPECT_EQ(Px(*b, 40, 2), clYellow);
}

TEST(Canvas, TextRectClipsAndFormats) {
  auto b = Filled(100, 40, pf24bit, clWhite);
  TCanvas* c = b->Canvas();
  c->Font()->SetColor(clBlack);
  c->Brush()->SetColor(clAqua);
  c->TextRect(Rect(10, 10, 20, 30), 5, 12, "WWWWWWWW");
  EXPECT_EQ(Px(*b, 10, 10), clAqua) << "the rectangle is filled";
  for (int y = 0; y < 40; ++y) {
    EXPECT_EQ(Px(*b, 9, y), clWhite);
    EXPECT_EQ(Px(*b, 20, y), clWhite) << "nothing outside the rectangle";
  }

  TRect r = Rect(0, 0, 1000, 1000);
  AnsiString text = "Hello";
  c->TextRect(r, text, TTextFormat{tfCalcRect, tfSingleLine});
  EXPECT_EQ(r.Width(), c->TextWidth("Hello"));
  EXPECT_EQ(r.Height(), c->TextHeight("Hello"));

  WideString wide = L"A rather long caption";
  TRect small = Rect(0, 0, 40, 20);
  c->TextRect(small, wide, TTextFormat{tfSingleLine, tfEndEllipsis, tfModifyString});
  EXPECT_NE(wide, L"A rather long caption");
  EXPECT_NE(wide.find(L"..."), WideString::npos);

  EXPECT_EQ(TextFormatFlags({tfCenter, tfVerticalCenter, tfSingleLine}),
            static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE));
}

TEST(Canvas, CopyRectUsesTheCopyMode) {
  auto src = Filled(10, 10, pf24bit, clRed);
  src->Canvas()->SetPixels(0, 0, clBlue);
  auto dst = Filled(20, 20, pf24bit, clWhite);
  dst->Canvas()->CopyRect(Rect(5, 5, 15, 15), src->Canvas(), Rect(0, 0, 10, 10));
  EXPECT_EQ(Px(*dst, 5, 5), clBlue);
  EXPECT_EQ(Px(*dst, 14, 14), clRed);
  EXPECT_EQ(Px(*dst, 15, 15), clWhite);

  dst->Canvas()->SetCopyMode(cmNotSrcCopy);
  dst->Canvas()->CopyRect(Rect(0, 0, 2, 2), src->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(Px(*dst, 0, 0), clYellow);  // not blue
  EXPECT_EQ(Px(*dst, 1, 1), clAqua);    // not red

  // Stretching: 2 x 2 source pixels into 8 x 8.
  dst->Canvas()->SetCopyMode(cmSrcCopy);
  dst->Canvas()->CopyRect(Rect(0, 0, 8, 8), src->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(Px(*dst, 3, 3), clBlue);
  EXPECT_EQ(Px(*dst, 6, 6), clRed);
}

TEST(Canvas, AdoptedDeviceContext) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateBitmap(4, 4, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  {
    TCanvas c;
    EXPECT_FALSE(c.HandleAllocated());
    c.SetHandle(dc);
    EXPECT_EQ(c.Handle(), dc);
    c.Brush()->SetColor(clLime);
    c.FillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(GetPixel(dc, 2, 2), ColorToRGB(clLime));
    c.TextOut(0, 0, "x");
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), c.Font()->Handle());
    EXPECT_EQ(c.ClipRect(), Rect(0, 0, 4, 4));
    c.SetHandle(nullptr);
    EXPECT_NE(GetCurrentObject(dc, OBJ_FONT), c.Font()->Handle()) << "the canvas's font is deselected";
  }
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);

  TCanvas none;
  EXPECT_THROW(none.Handle(), EInvalidOperation);
}

// Whoever takes a canvas's DC draws with the canvas's font, pen and brush, also after one of them
// changed: text measured on the DC is the canvas's text, shapes take the canvas's colours.
TEST(Canvas, ItsDeviceContextCarriesItsFontPenAndBrush) {
  auto b = Filled(60, 40, pf24bit, clWhite);
  TCanvas* c = b->Canvas();
  auto Check = [&](TColor Pen, TColor Brush) {
    HDC dc = c->Handle();
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, L"Measure me", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    const TSize ext = c->TextExtent(L"Measure me");
    EXPECT_EQ(r.right, ext.cx);
    EXPECT_EQ(r.bottom, ext.cy);
    ::Rectangle(c->Handle(), 0, 0, 20, 20);
    EXPECT_EQ(Px(*b, 0, 10), Pen);
    EXPECT_EQ(Px(*b, 10, 10), Brush);
  };
  c->Font()->SetName("MS Sans Serif");
  c->Font()->SetHeight(-11);
  c->Pen()->SetColor(clRed);
  c->Brush()->SetColor(clBlue);
  Check(clRed, clBlue);
  // Changed objects are the ones the DC carries the next time it is taken.
  c->Font()->SetHeight(-24);
  c->Pen()->SetColor(clLime);
  c->Brush()->SetColor(clYellow);
  Check(clLime, clYellow);
}

TEST(Canvas, LockCountsAndChangeEvents) {
  TBitmap b(4, 4);
  TCanvas* c = b.Canvas();
  c->Lock();
  c->Lock();
  EXPECT_EQ(c->LockCount(), 2);
  EXPECT_TRUE(c->TryLock());
  c->Unlock();
  c->Unlock();
  c->Unlock();
  EXPECT_EQ(c->LockCount(), 0);

  int changing = 0, changed = 0, bitmapChanged = 0;
  c->OnChanging = [&](TObject*) { ++changing; };
  c->OnChange = [&](TObject*) { ++changed; };
  b.OnChange = [&](TObject*) { ++bitmapChanged; };
  c->FillRect(Rect(0, 0, 2, 2));
  c->LineTo(3, 3);
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(bitmapChanged, 2) << "drawing on a bitmap's canvas changes the bitmap";
}

namespace {
TBitmap* windowPicture = nullptr;

LRESULT CALLBACK PictureWindowProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Msg == WM_PAINT) {
    PAINTSTRUCT ps;
    TCanvas c;
    c.SetHandle(BeginPaint(W, &ps));
    c.Brush()->SetColor(clNavy);
    c.FillRect(Rect(0, 0, 200, 100));
    c.StretchDraw(Rect(10, 10, 50, 50), windowPicture);
    c.SetHandle(nullptr);
    EndPaint(W, &ps);
    return 0;
  }
  return DefWindowProcW(W, Msg, WP, LP);
}
}  // namespace

TEST(Canvas, PaintsARealWindow) {
  TBitmap pic(2, 2, pf24bit);
  pic.Canvas()->SetPixels(0, 0, clRed);
  pic.Canvas()->SetPixels(1, 0, clLime);
  pic.Canvas()->SetPixels(0, 1, clBlue);
  pic.Canvas()->SetPixels(1, 1, clYellow);
  windowPicture = &pic;
  WNDCLASSW wc{};
  wc.lpfnWndProc = PictureWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TvGraphicsTestWindow";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND w = CreateWindowExW(0, wc.lpszClassName, L"G", WS_POPUP | WS_VISIBLE, 60, 60, 200, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  UpdateWindow(w);
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  HDC dc = GetDC(w);
  EXPECT_EQ(GetPixel(dc, 5, 5), ColorToRGB(clNavy));
  EXPECT_EQ(GetPixel(dc, 15, 15), ColorToRGB(clRed));
  EXPECT_EQ(GetPixel(dc, 45, 15), ColorToRGB(clLime));
  EXPECT_EQ(GetPixel(dc, 15, 45), ColorToRGB(clBlue));
  EXPECT_EQ(GetPixel(dc, 45, 45), ColorToRGB(clYellow));
  ReleaseDC(w, dc);
  DestroyWindow(w);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
  windowPicture = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

TEST(Bitmap, NewBitmapsAreWhiteDeviceFormat) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  EXPECT_EQ(b.HandleType(), bmDDB);
  EXPECT_EQ(b.Handle(), nullptr);
  b.SetSize(5, 4);
  ASSERT_NE(b.Handle(), nullptr);
  EXPECT_EQ(Px(b, 0, 0), clWhite);
  EXPECT_EQ(Px(b, 4, 3), clWhite);
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectA(b.Handle(), sizeof(ds), &ds), static_cast<int>(sizeof(ds))) << "a section";
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);

  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap c(3, 3, f);
    EXPECT_EQ(c.PixelFormat(), f);
    EXPECT_EQ(Px(c, 1, 1), clWhite) << f;
  }
}

// A bitmap sized with room keeps its section while a new size fits in it without leaving most of
// it unused; its pixels are where its size says for the canvas, its scan lines, a copy and a file.
TEST(Bitmap, SizedWithRoomItsPixelsAreWhereItsSizeSays) {
  for (const TPixelFormat Format : {pf24bit, pf32bit}) {
    SCOPED_TRACE(Format == pf24bit ? "24-bit" : "32-bit");
    TBitmap B;
    B.SetPixelFormat(Format);
    B.SetSizeWithRoom(100, 80);
    const struct {
      int W, H;
      bool SameSection;
    } Steps[] = {{90, 70, true}, {106, 86, true}, {200, 150, false}, {30, 20, false}};
    for (const auto& S : Steps) {
      SCOPED_TRACE(testing::Message() << S.W << "x" << S.H);
      const HBITMAP Before = B.Handle();
      B.SetSizeWithRoom(S.W, S.H);
      EXPECT_EQ(B.Handle() == Before, S.SameSection);
      ASSERT_EQ(B.Width(), S.W);
      ASSERT_EQ(B.Height(), S.H);
      const POINT Spots[] = {{0, 0}, {S.W - 1, 0}, {0, S.H - 1}, {S.W - 1, S.H - 1}, {S.W / 2, S.H / 3}};
      auto Colour = [](POINT P) { return RGB(P.x, P.y, 200); };
      for (const POINT P : Spots) SetPixelV(B.Canvas()->Handle(), P.x, P.y, Colour(P));
      auto Read = [Format](TBitmap& From, POINT P) {
        const auto* Row = static_cast<const BYTE*>(From.ScanLine(P.y)) + P.x * (Format == pf24bit ? 3 : 4);
        return RGB(Row[2], Row[1], Row[0]);
      };
      TBitmap Copy;
      Copy.Assign(&B);
      TMemoryStream File;
      B.SaveToStream(File);
      File.SetPosition(0);
      TBitmap Loaded;
      Loaded.LoadFromStream(File);
      ASSERT_EQ(Loaded.Width(), S.W);
      ASSERT_EQ(Loaded.Height(), S.H);
      for (const POINT P : Spots) {
        EXPECT_EQ(Read(B, P), Colour(P));
        EXPECT_EQ(Read(Copy, P), Colour(P));
        EXPECT_EQ(Read(Loaded, P), Colour(P));
      }
    }
  }
}

TEST(Bitmap, ScanLinesRunTopDownWithNegativeStride) {
  TBitmap b(7, 5, pf24bit);
  b.Canvas()->SetPixels(0, 0, clRed);
  b.Canvas()->SetPixels(6, 4, clBlue);
  auto* top = static_cast<Byte*>(b.ScanLine(0));
  auto* bottom = static_cast<Byte*>(b.ScanLine(4));
  EXPECT_EQ(top[0], 0x00);  // blue, green, red
  EXPECT_EQ(top[2], 0xFF);
  EXPECT_EQ(bottom[18], 0xFF);
  EXPECT_EQ(bottom[20], 0x00);
  const std::ptrdiff_t stride = static_cast<Byte*>(b.ScanLine(1)) - top;
  EXPECT_EQ(stride, -24) << "7 pixels * 3 bytes padded to 24, rows bottom-up";

  // Writing through the scan line shows on the canvas.
  auto* row = static_cast<Byte*>(b.ScanLine(2));
  row[9] = 0x00, row[10] = 0xFF, row[11] = 0x00;
  EXPECT_EQ(Px(b, 3, 2), clLime);

  EXPECT_THROW(b.ScanLine(5), ERangeError);
  EXPECT_THROW(b.ScanLine(-1), ERangeError);
  TBitmap empty;
  EXPECT_THROW(empty.ScanLine(0), ERangeError);
}

TEST(Bitmap, SetSizeKeepsContentAndAddsWhite) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
    TBitmap b(4, 4, f);
    b.Canvas()->Brush()->SetColor(clBlack);
    b.Canvas()->FillRect(Rect(0, 0, 4, 4));
    b.Canvas()->SetPixels(3, 3, clWhite);
    b.SetSize(9, 6);
    EXPECT_EQ(b.PixelFormat(), f);
    EXPECT_EQ(Px(b, 0, 0), clBlack) << f;
    EXPECT_EQ(Px(b, 2, 3), clBlack) << f;
    EXPECT_EQ(Px(b, 3, 3), clWhite) << f;
    EXPECT_EQ(Px(b, 4, 0), clWhite) << f;
    EXPECT_EQ(Px(b, 8, 5), clWhite) << f;
    EXPECT_EQ(Px(b, 0, 4), clWhite) << f;
    b.SetSize(2, 2);
    EXPECT_EQ(Px(b, 1, 1), clBlack) << f;
  }
  TBitmap b(2, 2);
  b.SetWidth(0);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_THROW(b.SetSize(-1, 5), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(40000, 1), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(20000, 20000), EInvalidGraphic);
}

TEST(Bitmap, SetSizeDiscardingTakesTheSizeAndFormatAndKeepsTheCanvas) {
  for (TPixelFormat f : {pf8bit, pf24bit, pf32bit}) {
    TBitmap b(4, 4, f);
    HDC dc = b.Canvas()->Handle();
    b.SetSizeDiscarding(9, 6);
    EXPECT_EQ(b.Width(), 9) << f;
    EXPECT_EQ(b.Height(), 6) << f;
    EXPECT_EQ(b.PixelFormat(), f);
    EXPECT_EQ(b.Canvas()->Handle(), dc) << f;
    b.Canvas()->SetPixels(8, 5, clWhite);
    EXPECT_EQ(Px(b, 8, 5), clWhite) << f;
  }
  TBitmap b(2, 2);
  EXPECT_THROW(b.SetSizeDiscarding(-1, 5), EInvalidGraphic);
  b.SetSizeDiscarding(0, 3);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, CanvasSurvivesResizeAndFormatChange) {
  TBitmap b(4, 4, pf24bit);
  HDC dc = b.Canvas()->Handle();
  b.SetSize(8, 8);
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(b.Canvas()->Handle(), dc);
  b.Canvas()->SetPixels(7, 7, clRed);
  EXPECT_EQ(Raw32(b, 7, 7) & 0xFFFFFF, 0xFF0000u);
}

TEST(Bitmap, HandleCanBeSelectedElsewhere) {
  TBitmap b(4, 4, pf24bit);
  HDC own = b.Canvas()->Handle();
  // Reading the handle lends the section out: another DC may select it.
  HDC other = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(other, b.Handle());
  ASSERT_NE(old, nullptr);
  SetPixel(other, 1, 1, RGB(0, 0, 255));
  SelectObject(other, old);
  DeleteDC(other);
  // The canvas takes it back with the same DC.
  EXPECT_EQ(b.Canvas()->Handle(), own);
  EXPECT_EQ(Px(b, 1, 1), clBlue);
  b.Canvas()->SetPixels(2, 2, clRed);
  EXPECT_EQ(static_cast<Byte*>(b.ScanLine(2))[8], 0xFF);
}

TEST(Bitmap, TrueColourConversionsRoundTrip) {
  TBitmap b(17, 9, pf24bit);
  PaintPattern(b);
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  EXPECT_EQ(Raw32(b, 0, 0) >> 24, 0u) << "no alpha from a 24-bit picture";
  b.SetPixelFormat(pf24bit);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 17; ++x) ASSERT_EQ(Px(b, x, y), PatternColor(x, y)) << x << "," << y;

  // 32-bit to device format and back is the same storage; alpha is kept.
  TBitmap a(2, 2, pf32bit);
  auto* p = static_cast<std::uint32_t*>(a.ScanLine(0));
  p[0] = 0x80112233;
  a.SetHandleType(bmDDB);
  EXPECT_EQ(a.PixelFormat(), pfDevice);
  a.SetHandleType(bmDIB);
  EXPECT_EQ(a.PixelFormat(), pf32bit);
  EXPECT_EQ(Raw32(a, 0, 0), 0x80112233u);

  // 15 and 16 bits keep 5 (or 6) bits per channel.
  TBitmap c(2, 1, pf24bit);
  c.Canvas()->SetPixels(0, 0, static_cast<TColor>(0x08F8F8));
  c.SetPixelFormat(pf16bit);
  c.SetPixelFormat(pf24bit);
  EXPECT_EQ(Px(c, 0, 0), static_cast<TColor>(0x08FBFF));
  EXPECT_THROW(c.SetPixelFormat(pfCustom), EInvalidGraphic);
}

TEST(Bitmap, PaletteFormatsMapToTheirTables) {
  // Every colour of the 8-bit table reads back as its own index.
  TBitmap b(16, 16, pf8bit);
  HPALETTE pal = b.Palette();
  ASSERT_NE(pal, nullptr);
  PALETTEENTRY pe[256];
  ASSERT_EQ(GetPaletteEntries(pal, 0, 256, pe), 256u);
  TBitmap t(16, 16, pf24bit);
  for (int i = 0; i < 256; ++i)
    t.Canvas()->SetPixels(i % 16, i / 16, static_cast<TColor>(RGB(pe[i].peRed, pe[i].peGreen, pe[i].peBlue)));
  t.SetPixelFormat(pf8bit);
  for (int i = 0; i < 256; ++i) {
    Byte index = static_cast<Byte*>(t.ScanLine(i / 16))[i % 16];
    EXPECT_EQ(std::memcmp(&pe[index], &pe[i], 3), 0) << i;
  }
  // A colour between entries goes to the nearest one; greys stay grey.
  TBitmap g(1, 1, pf24bit);
  g.Canvas()->SetPixels(0, 0, static_cast<TColor>(RGB(100, 100, 100)));
  g.SetPixelFormat(pf8bit);
  TColor grey = Px(g, 0, 0);
  EXPECT_EQ(GetRValue(grey), GetGValue(grey));
  EXPECT_LE(std::abs(GetRValue(grey) - 100), 3);

  // 4 bits: the 16 standard colours survive exactly; 1 bit: black and white.
  const TColor vga[] = {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clSilver,
                        clGray,  clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite};
  TBitmap v(16, 1, pf24bit);
  for (int i = 0; i < 16; ++i) v.Canvas()->SetPixels(i, 0, vga[i]);
  v.SetPixelFormat(pf4bit);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Px(v, i, 0), vga[i]) << i;
  v.SetPixelFormat(pf1bit);
  EXPECT_TRUE(v.Monochrome());
  EXPECT_EQ(Px(v, 0, 0), clBlack);
  EXPECT_EQ(Px(v, 4, 0), clBlack);  // navy is dark
  EXPECT_EQ(Px(v, 11, 0), clWhite);  // yellow is light
  EXPECT_EQ(Px(v, 15, 0), clWhite);
  v.SetMonochrome(false);
  EXPECT_EQ(v.PixelFormat(), pfDevice);
  EXPECT_EQ(Px(v, 15, 0), clWhite);
}

TEST(Bitmap, AdoptedPaletteBecomesTheColourTable) {
  TBitmap b;
  b.SetPixelFormat(pf4bit);
  struct {
    WORD V, N;
    PALETTEENTRY E[4];
  } lp{0x300, 4, {{0, 0, 0, 0}, {10, 20, 30, 0}, {40, 50, 60, 0}, {255, 0, 0, 0}}};
  HPALETTE pal = CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
  b.SetPalette(pal);
  EXPECT_EQ(b.Palette(), pal);
  b.SetSize(2, 1);
  static_cast<Byte*>(b.ScanLine(0))[0] = 0x13;  // indexes 1 and 3
  EXPECT_EQ(Px(b, 0, 0), static_cast<TColor>(RGB(10, 20, 30)));
  EXPECT_EQ(Px(b, 1, 0), clRed);
}

TEST(Bitmap, AssignIsADeepCopy) {
  TBitmap a(6, 6, pf8bit);
  a.Canvas()->SetPixels(1, 1, clRed);
  a.SetTransparent(true);
  a.SetTransparentColor(clLime);
  TBitmap b;
  b.Assign(&a);
  EXPECT_NE(b.Handle(), a.Handle());
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(Px(b, 1, 1), clRed);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clLime);
  a.Canvas()->SetPixels(1, 1, clBlue);
  EXPECT_EQ(Px(b, 1, 1), clRed);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
  TIcon icon;
  EXPECT_THROW(b.Assign(&icon), EConvertError);
}

TEST(Bitmap, HandlesAreAdoptedReleasedAndCopied) {
  // A device bitmap is copied into a section (and deleted); a section is kept as it is.
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, 3, 2);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, ddb);
  SetPixel(dc, 2, 1, RGB(0, 0, 255));
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  TBitmap b;
  b.SetHandle(ddb);
  EXPECT_EQ(GetObjectType(ddb), 0u) << "the adopted device bitmap is gone";
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  EXPECT_EQ(Px(b, 2, 1), clBlue);

  TBitmap section(4, 4, pf24bit);
  section.Canvas()->SetPixels(0, 0, clRed);
  HBITMAP h = section.ReleaseHandle();
  EXPECT_TRUE(section.Empty());
  EXPECT_EQ(GetObjectType(h), static_cast<DWORD>(OBJ_BITMAP));
  TBitmap copy;
  copy.AssignHandle(h);  // the caller keeps h
  EXPECT_NE(copy.Handle(), h);
  EXPECT_EQ(copy.PixelFormat(), pf24bit);
  EXPECT_EQ(Px(copy, 0, 0), clRed);
  TBitmap adopt;
  adopt.SetHandle(h);
  EXPECT_EQ(adopt.Handle(), h);
  EXPECT_EQ(adopt.PixelFormat(), pf24bit);
  EXPECT_EQ(Px(adopt, 0, 0), clRed);
}

TEST(Bitmap, TransparencySettings) {
  TBitmap b(4, 4, pf24bit);
  b.Canvas()->SetPixels(0, 3, clFuchsia);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clFuchsia) << "the bottom-left pixel";
  b.SetTransparentColor(clLime);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clLime);
  b.SetTransparentMode(tmAuto);
  EXPECT_EQ(b.TransparentColor(), clFuchsia);
  b.SetMonochrome(true);
  EXPECT_EQ(b.TransparentColor(), clWhite);
}

TEST(Bitmap, DrawingOntoCanvases) {
  TBitmap glyph(4, 4, pf24bit);
  glyph.Canvas()->Brush()->SetColor(clFuchsia);
  glyph.Canvas()->FillRect(Rect(0, 0, 4, 4));
  glyph.Canvas()->Brush()->SetColor(clRed);
  glyph.Canvas()->FillRect(Rect(1, 1, 3, 3));

  auto target = Filled(20, 20, pf24bit, clBlue);
  target->Canvas()->Draw(5, 5, &glyph);
  EXPECT_EQ(Px(*target, 5, 5), clFuchsia);
  EXPECT_EQ(Px(*target, 6, 6), clRed);
  EXPECT_EQ(Px(*target, 9, 9), clBlue);

  // Transparent: the key colour (the bottom-left pixel) leaves the background.
  glyph.SetTransparent(true);
  target->Canvas()->Draw(12, 12, &glyph);
  EXPECT_EQ(Px(*target, 12, 12), clBlue);
  EXPECT_EQ(Px(*target, 15, 15), clBlue);
  EXPECT_EQ(Px(*target, 13, 13), clRed);
  EXPECT_EQ(Px(*target, 14, 14), clRed);

  // Stretched and transparent onto a 32-bit bitmap.
  auto wide = Filled(16, 16, pf32bit, clGreen);
  wide->Canvas()->StretchDraw(Rect(0, 0, 16, 16), &glyph);
  EXPECT_EQ(Px(*wide, 1, 1), clGreen);
  EXPECT_EQ(Px(*wide, 8, 8), clRed);
  EXPECT_EQ(Px(*wide, 15, 8), clGreen);

  // Null and empty graphics draw nothing.
  TBitmap empty;
  target->Canvas()->Draw(0, 0, &empty);
  target->Canvas()->Draw(0, 0, nullptr);
  EXPECT_EQ(Px(*target, 0, 0), clBlue);
}

// ---------------------------------------------------------------------------------------------
// BMP files

TEST(BmpFiles, EveryFormatRoundTrips) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice}) {
    TBitmap b(13, 7, pf24bit);
    PaintPattern(b);
    b.SetPixelFormat(f);
    if (f == pf32bit) static_cast<Byte*>(b.ScanLine(3))[3] = 0x7F;  // an alpha byte
    std::vector<Byte> file = SaveBmp(b);
    ASSERT_GT(file.size(), 54u);
    file.push_back(0xEE);  // whatever follows stays unread
    TMemoryStream s;
    s.WriteBuffer(file.data(), static_cast<std::int64_t>(file.size()));
    s.SetPosition(0);
    TBitmap c;
    c.LoadFromStream(s);
    EXPECT_EQ(s.Position(), static_cast<std::int64_t>(file.size()) - 1) << f;
    EXPECT_EQ(c.PixelFormat(), f == pfDevice ? pf32bit : f);
    ASSERT_EQ(c.Width(), 13);
    ASSERT_EQ(c.Height(), 7);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x) ASSERT_EQ(Px(c, x, y), Px(b, x, y)) << f << " " << x << "," << y;
    if (f == pf32bit) {
      EXPECT_EQ(static_cast<Byte*>(c.ScanLine(3))[3], 0x7F);
    }
  }
  TBitmap empty;
  EXPECT_TRUE(SaveBmp(empty).empty());
  TBitmap loaded(2, 2);
  LoadBmp(loaded, {});
  EXPECT_TRUE(loaded.Empty()) << "no bytes: an empty bitmap";
}

TEST(BmpFiles, FilesAndPictures) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  const AnsiString bmpName = AnsiString(dir) + "tv_graphics_test.bmp";
  TBitmap b(3, 3, pf24bit);
  b.Canvas()->SetPixels(2, 2, clTeal);
  b.SaveToFile(bmpName);
  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  pic.LoadFromFile(bmpName);
  ASSERT_NE(dynamic_cast<TBitmap*>(pic.Graphic()), nullptr);
  EXPECT_EQ(pic.Width(), 3);
  EXPECT_EQ(Px(*pic.Bitmap(), 2, 2), clTeal);
  EXPECT_GE(changes, 1);
  DeleteFileA(bmpName.c_str());

  try {
    pic.LoadFromFile("picture.xyz");
    ADD_FAILURE() << "no error for an unknown extension";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
  }
  EXPECT_NE(pic.Graphic(), nullptr) << "unchanged by the failure";

  TPicture other;
  other.Assign(&pic);
  ASSERT_NE(other.Graphic(), nullptr);
  EXPECT_NE(other.Graphic(), pic.Graphic());
  EXPECT_EQ(Px(*other.Bitmap(), 2, 2), clTeal);
  TIcon* icon = other.Icon();  // replaces the bitmap with an empty icon
  EXPECT_TRUE(icon->Empty());
  EXPECT_EQ(other.Graphic(), icon);
}

namespace {
// A graphic class of a test's own for the file-format registry.
class TTestGraphic : public TBitmap {
  T_CLASS(TTestGraphic, TBitmap)
 public:
  void LoadFromStream(TStream& Stream) override {
    Stream.Seek(0, soEnd);
    SetSize(7, 7);
  }
};
}  // namespace

TEST(BmpFiles, FileFormatRegistry) {
  EXPECT_EQ(TPicture::GraphicClassNameFor(".BMP"), "TBitmap");
  EXPECT_EQ(TPicture::GraphicClassNameFor("ico"), "TIcon");
  TPicture::RegisterFileFormat<TTestGraphic>("tst", "Test pictures");
  EXPECT_EQ(TPicture::GraphicClassNameFor("TST"), "TTestGraphic");
  EXPECT_EQ(TPicture::FileFormatDescription("tst"), "Test pictures");

  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  const AnsiString name = AnsiString(dir) + "tv_graphics_test.tst";
  {
    TFileStream f(name, fmCreate);
    f.WriteAnsiString("anything");
  }
  TPicture pic;
  pic.LoadFromFile(name);
  EXPECT_STREQ(pic.Graphic()->ClassName(), "TTestGraphic");
  EXPECT_EQ(pic.Width(), 7);
  TPicture copy;
  copy.Assign(&pic);
  EXPECT_STREQ(copy.Graphic()->ClassName(), "TTestGraphic") << "copies keep the class";

  TPicture::UnregisterGraphicClass<TTestGraphic>();
  EXPECT_EQ(TPicture::GraphicClassNameFor("tst"), "");
  EXPECT_THROW(pic.LoadFromFile(name), EInvalidGraphic);
  DeleteFileA(name.c_str());
}

TEST(BmpFiles, OtherHeadersAndEncodings) {
  // Core header, 24 bits, 2 x 2: rows bottom-up, each padded to 4 bytes.
  std::vector<Byte> px24 = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  TBitmap b;
  LoadBmp(b, MakeBmp(12, 2, 2, 24, BI_RGB, {}, px24));
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(Px(b, 0, 1), clRed);  // the first row in the file is the bottom one
  EXPECT_EQ(Px(b, 1, 1), clLime);
  EXPECT_EQ(Px(b, 0, 0), clBlue);
  EXPECT_EQ(Px(b, 1, 0), clWhite);

  // The same top-down (negative height).
  LoadBmp(b, MakeBmp(40, 2, -2, 24, BI_RGB, {}, px24));
  EXPECT_EQ(Px(b, 0, 0), clRed);
  EXPECT_EQ(Px(b, 1, 1), clWhite);

  // 16-bit 5-6-5 bit fields after an info header, and inside a V5 header.
  std::vector<Byte> masks565(12);
  Put32(masks565, 0, 0xF800);
  Put32(masks565, 4, 0x07E0);
  Put32(masks565, 8, 0x001F);
  std::vector<Byte> px16 = {0x00, 0xF8, 0xE0, 0x07};  // red, green
  LoadBmp(b, MakeBmp(40, 2, 1, 16, BI_BITFIELDS, masks565, px16));
  EXPECT_EQ(b.PixelFormat(), pf16bit);
  EXPECT_EQ(Px(b, 0, 0), clRed);
  EXPECT_EQ(Px(b, 1, 0), clLime);
  std::vector<Byte> v5 = MakeBmp(124, 2, 1, 16, BI_BITFIELDS, {}, px16);
  Put32(v5, 14 + 40, 0xF800);
  Put32(v5, 14 + 44, 0x07E0);
  Put32(v5, 14 + 48, 0x001F);
  LoadBmp(b, v5);
  EXPECT_EQ(Px(b, 1, 0), clLime);

  // 32 bits with the channels in another order (R G B A from the low byte): converted.
  std::vector<Byte> v4 = MakeBmp(108, 1, 1, 32, BI_BITFIELDS, {}, {0x11, 0x22, 0x33, 0x44});
  Put32(v4, 14 + 40, 0x000000FF);
  Put32(v4, 14 + 44, 0x0000FF00);
  Put32(v4, 14 + 48, 0x00FF0000);
  Put32(v4, 14 + 52, 0xFF000000);
  LoadBmp(b, v4);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  EXPECT_EQ(Raw32(b, 0, 0), 0x44112233u);

  // 8-bit run-length data: a run of 3 x index 1, an absolute run 2, 1, 2, end of line, end.
  std::vector<Byte> pal(8, 0);
  pal[2] = 255;                 // index 0 red (B G R 0)
  pal[4] = 255, pal[5] = 255;   // index 1 aqua
  std::vector<Byte> rle8 = {3, 1, 0, 3, 0, 1, 0, 0, 0, 0, 0, 1};
  std::vector<Byte> f8 = MakeBmp(40, 6, 2, 8, BI_RLE8, pal, rle8, 2);
  LoadBmp(b, f8);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(Px(b, 0, 1), clAqua);
  EXPECT_EQ(Px(b, 2, 1), clAqua);
  EXPECT_EQ(Px(b, 3, 1), clRed);
  EXPECT_EQ(Px(b, 4, 1), clAqua);
  EXPECT_EQ(Px(b, 5, 1), clRed);

  // 4-bit run-length: 4 pixels alternating 1, 0.
  std::vector<Byte> rle4 = {4, 0x10, 0, 1};
  LoadBmp(b, MakeBmp(40, 4, 1, 4, BI_RLE4, pal, rle4, 2));
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(Px(b, 0, 0), clAqua);
  EXPECT_EQ(Px(b, 1, 0), clRed);
  EXPECT_EQ(Px(b, 2, 0), clAqua);
}

TEST(BmpFiles, MalformedFilesAreRefused) {
  // Valid files to start from: 8 bits with a table, 24 bits.
  TBitmap eight(5, 3, pf24bit);
  PaintPattern(eight);
  eight.SetPixelFormat(pf8bit);
  const std::vector<Byte> f8 = SaveBmp(eight);
  TBitmap twentyFour(5, 3, pf24bit);
  PaintPattern(twentyFour);
  const std::vector<Byte> f24 = SaveBmp(twentyFour);

  for (const auto* f : {&f8, &f24})
    for (std::size_t n = 1; n < f->size(); ++n)
      ExpectInvalid(std::vector<Byte>(f->begin(), f->begin() + n), "truncated");

  auto mutate = [&](const std::vector<Byte>& Base, std::function<void(std::vector<Byte>&)> Change, const char* What) {
    std::vector<Byte> d = Base;
    Change(d);
    ExpectInvalid(d, What);
  };
  mutate(f24, [](auto& d) { d[0] = 'X'; }, "bad magic");
  mutate(f24, [](auto& d) { Put32(d, 14, 64); }, "unknown header size");
  mutate(f24, [](auto& d) { Put32(d, 18, 0); }, "zero width");
  mutate(f24, [](auto& d) { Put32(d, 18, static_cast<std::uint32_t>(-5)); }, "negative width");
  mutate(f24, [](auto& d) { Put32(d, 22, 0); }, "zero height");
  mutate(f24, [](auto& d) { Put32(d, 18, 40000); }, "too wide");
  mutate(f24, [](auto& d) { Put32(d, 22, static_cast<std::uint32_t>(-40000)); }, "too tall, top-down");
  mutate(f24, [](auto& d) { Put32(d, 18, 20000), Put32(d, 22, 20000); }, "too many pixels");
  mutate(f24, [](auto& d) { Put32(d, 22, 0x80000000u); }, "the most negative height");
  mutate(f24, [](auto& d) { Put16(d, 26, 2); }, "two planes");
  mutate(f24, [](auto& d) { Put16(d, 28, 7); }, "seven bits");
  mutate(f24, [](auto& d) { Put32(d, 30, 9); }, "unknown compression");
  mutate(f24, [](auto& d) { Put32(d, 30, BI_RLE8); }, "run-length at 24 bits");
  mutate(f24, [](auto& d) { Put32(d, 10, 1000); }, "offset beyond the data");
  mutate(f24, [](auto& d) { Put32(d, 10, 20); }, "offset inside the header");
  mutate(f24, [](auto& d) { Put32(d, 10, 0xFFFFFFF0u); }, "huge offset");
  mutate(f8, [](auto& d) { Put32(d, 46, 300); }, "palette beyond 8 bits");
  mutate(f8, [](auto& d) { Put32(d, 46, 0xFFFFFFFFu); }, "huge palette");
  mutate(f8, [](auto& d) { Put16(d, 28, 4); }, "palette beyond 4 bits");
  mutate(f24, [](auto& d) { Put16(d, 28, 32), Put32(d, 30, BI_BITFIELDS); }, "masks missing");

  std::vector<Byte> masks(12, 0);
  Put32(masks, 0, 0xF800);
  Put32(masks, 4, 0xF800);
  Put32(masks, 8, 0x001F);
  ExpectInvalid(MakeBmp(40, 2, 1, 16, BI_BITFIELDS, masks, {0, 0, 0, 0}), "overlapping masks");
  Put32(masks, 4, 0);
  ExpectInvalid(MakeBmp(40, 2, 1, 16, BI_BITFIELDS, masks, {0, 0, 0, 0}), "a zero mask");
  Put32(masks, 4, 0x0500);
  ExpectInvalid(MakeBmp(40, 2, 1, 16, BI_BITFIELDS, masks, {0, 0, 0, 0}), "scattered mask bits");
  std::vector<Byte> pal(8, 0);
  ExpectInvalid(MakeBmp(40, 6, 1, 8, BI_RLE8, pal, {0, 5, 1, 1}, 2), "a cut absolute run");
  ExpectInvalid(MakeBmp(40, 6, 1, 8, BI_RLE8, pal, {0, 2, 1}, 2), "a cut delta");

  // Random damage to the headers: either a valid image or the graphic error, nothing else.
  std::uint32_t seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    std::vector<Byte> d = (i & 1) ? f8 : f24;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      d[(seed >> 8) % 60] = static_cast<Byte>(seed >> 24);
    }
    TBitmap b;
    try {
      LoadBmp(b, d);
    } catch (const EInvalidGraphic&) {
    }
  }
}

TEST(BmpFiles, BitmapResources) {
  HMODULE comctl = LoadLibraryA("comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  HBITMAP sys = static_cast<HBITMAP>(LoadImageA(comctl, MAKEINTRESOURCEA(120), IMAGE_BITMAP, 0, 0, 0));
  if (!sys) GTEST_SKIP() << "no bitmap resource 120 in comctl32";
  BITMAP bm{};
  GetObjectA(sys, sizeof(bm), &bm);
  TBitmap b;
  b.LoadFromResourceID(comctl, 120);
  EXPECT_EQ(b.Width(), bm.bmWidth);
  EXPECT_EQ(b.Height(), bm.bmHeight);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, sys);
  int same = 0;
  for (int x = 0; x < std::min<int>(bm.bmWidth, 48); ++x) same += GetPixel(dc, x, 5) == static_cast<COLORREF>(Px(b, x, 5));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(sys);
  EXPECT_EQ(same, std::min(static_cast<int>(bm.bmWidth), 48));
  EXPECT_THROW(b.LoadFromResourceName(comctl, "NO_SUCH_BITMAP"), EResNotFound);
}

// ---------------------------------------------------------------------------------------------
// Icons

namespace {
// A 16 x 16 icon: red with a transparent left half.
HICON MakeIcon() {
  TBitmap color(16, 16, pf32bit);  // black where the mask is set
  color.Canvas()->Brush()->SetColor(clBlack);
  color.Canvas()->FillRect(Rect(0, 0, 8, 16));
  color.Canvas()->Brush()->SetColor(clRed);
  color.Canvas()->FillRect(Rect(8, 0, 16, 16));
  TBitmap mask(16, 16, pf1bit);
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(Rect(0, 0, 16, 16));
  mask.Canvas()->Brush()->SetColor(clWhite);
  mask.Canvas()->FillRect(Rect(0, 0, 8, 16));
  ICONINFO ii{TRUE, 0, 0, mask.Handle(), color.Handle()};
  return CreateIconIndirect(&ii);
}

void ExpectIconPixels(TIcon& Icon) {
  auto t = Filled(20, 20, pf24bit, clBlue);
  t->Canvas()->Draw(2, 2, &Icon);
  EXPECT_EQ(Px(*t, 3, 8), clBlue) << "transparent half";
  EXPECT_EQ(Px(*t, 14, 8), clRed);
  EXPECT_EQ(Px(*t, 19, 19), clBlue);
}
}  // namespace

TEST(Icon, HandleStreamRoundTripAndDrawing) {
  TIcon icon;
  EXPECT_TRUE(icon.Empty());
  EXPECT_TRUE(icon.Transparent());
  icon.SetHandle(MakeIcon());
  ASSERT_FALSE(icon.Empty());
  EXPECT_EQ(icon.Width(), 16);
  EXPECT_EQ(icon.Height(), 16);
  ExpectIconPixels(icon);
  EXPECT_THROW(icon.SetWidth(32), EInvalidGraphicOperation);

  TMemoryStream s;
  icon.SaveToStream(s);
  s.WriteByte(0xAB);
  s.SetPosition(0);
  TIcon loaded;
  loaded.LoadFromStream(s);
  EXPECT_EQ(s.Position(), s.Size() - 1);
  EXPECT_EQ(loaded.Width(), 16);
  ExpectIconPixels(loaded);

  // Loaded bytes are written again as they came.
  TMemoryStream again;
  loaded.SaveToStream(again);
  EXPECT_EQ(again.Size(), s.Size() - 1);
  EXPECT_EQ(std::memcmp(again.Memory(), s.Memory(), static_cast<std::size_t>(again.Size())), 0);

  TIcon copy;
  copy.Assign(&loaded);
  EXPECT_NE(copy.Handle(), loaded.Handle());
  ExpectIconPixels(copy);

  HICON h = copy.ReleaseHandle();
  EXPECT_TRUE(copy.Empty());
  EXPECT_TRUE(DestroyIcon(h));
}

TEST(Icon, MalformedFilesAreRefused) {
  TIcon icon;
  icon.SetHandle(MakeIcon());
  TMemoryStream s;
  icon.SaveToStream(s);
  const std::vector<Byte> good = Bytes(s);
  auto expectInvalid = [](const std::vector<Byte>& d, const char* what) {
    TIcon i;
    TReadOnlyMemoryStream m(d.data(), static_cast<std::int64_t>(d.size()));
    EXPECT_THROW(i.LoadFromStream(m), EInvalidGraphic) << what;
    EXPECT_TRUE(i.Empty()) << what;
  };
  for (std::size_t n = 0; n < good.size(); n += (n < 70 ? 1 : 97))
    expectInvalid(std::vector<Byte>(good.begin(), good.begin() + n), "truncated");
  auto mutate = [&](std::function<void(std::vector<Byte>&)> change, const char* what) {
    std::vector<Byte> d = good;
    change(d);
    expectInvalid(d, what);
  };
  mutate([](auto& d) { Put16(d, 2, 3); }, "bad type");
  mutate([](auto& d) { Put16(d, 4, 0); }, "no images");
  mutate([](auto& d) { Put16(d, 4, 5000); }, "directory beyond the data");
  mutate([](auto& d) { Put32(d, 18, 4); }, "offset inside the directory");
  mutate([](auto& d) { Put32(d, 18, 0x7FFFFFF0); }, "offset beyond the data");
  mutate([](auto& d) { Put32(d, 14, 0xFFFFFFF0u); }, "huge image size");
  mutate([](auto& d) { Put32(d, 22 + 4, 0); }, "zero width");
  mutate([](auto& d) { Put32(d, 22 + 8, 100000); }, "huge height");
  mutate([](auto& d) { Put16(d, 22 + 14, 7); }, "seven bits");
}
