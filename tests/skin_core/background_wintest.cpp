// The background services on real windows and bitmaps: background queries asked of real parent
// controls and windows (answered, painted through erase and paint, or a colour), the corner fill
// of a control's cache from its parent, fills, frames, shadows, textures tiled and stretched from
// a loaded skin's master bitmap, and section-coloured text, all checked by pixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bitmap_test_support.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Jpeg.h"
#include "framework/Streams.h"
#include "framework/Strings.h"
#include "manager_test_support.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "support/JpegEncode.h"
#include "support/UiTest.h"

using Px = std::array<int, 4>;

namespace {

// ---- A control that answers (or does not answer) background queries -------------------------------

class TBgParent : public TCustomControl {
  T_CLASS(TBgParent, TCustomControl)

 public:
  using TCustomControl::TCustomControl;

  // Answer AC_GETBACKGROUND with this picture (nullptr: do not answer).
  TBitmap* Picture = nullptr;
  TPoint AnswerOffset{5, 6};
  // The answer to AC_GETCOLOR.
  LRESULT ColorAnswer = 0;
  std::string Log;
  bool PleaseDrawSeen = false;
  HDC PaintDC = nullptr;

 protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SM_ALPHACMD && AlphaCmdCode(M.WParam) == AC_GETBACKGROUND) {
      Log += "Q";
      auto* Info = reinterpret_cast<TacBGInfo*>(M.LParam);
      PleaseDrawSeen = Info->PleaseDraw;
      if (Picture != nullptr) {
        Info->BgType = btCache;
        Info->Bmp = Picture;
        Info->Offset = AnswerOffset;
      }
      return;
    }
    if (M.Msg == SM_ALPHACMD && AlphaCmdCode(M.WParam) == AC_GETCOLOR) {
      M.Result = ColorAnswer;
      return;
    }
    if ((M.Msg == WM_ERASEBKGND || M.Msg == WM_PAINT) && M.WParam != 0) {
      // Paint in own coordinates: all red, a green dot at (11, 21).
      HDC DC = reinterpret_cast<HDC>(M.WParam);
      PaintDC = DC;
      Log += M.Msg == WM_ERASEBKGND ? "E" : "P";
      if (M.Msg == WM_PAINT) {
        RECT R{0, 0, 200, 200};
        HBRUSH B = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(DC, &R, B);
        DeleteObject(B);
        SetPixelV(DC, 11, 21, RGB(0, 255, 0));
      }
      M.Result = 1;
      return;
    }
    TCustomControl::WndProc(M);
  }
};

class TPlainChild : public TCustomControl {
  T_CLASS(TPlainChild, TCustomControl)

 public:
  using TCustomControl::TCustomControl;
};

class TDot : public TGraphicControl {
  T_CLASS(TDot, TGraphicControl)

 public:
  using TGraphicControl::TGraphicControl;
};

// The engine's splitter is left out of clipping by its class name.
class TsSplitter : public TGraphicControl {
  T_CLASS(TsSplitter, TGraphicControl)

 public:
  using TGraphicControl::TGraphicControl;
};

constexpr TColor RGBc(int R, int G, int B) { return R | (G << 8) | (B << 16); }
Px BGR(int B, int G, int R) { return {B, G, R, -1}; }
Px BGRA(int B, int G, int R, int A) { return {B, G, R, A}; }
Px White24() { return BGR(255, 255, 255); }

std::unique_ptr<TBitmap> White(int W, int H, TPixelFormat F = pf24bit) { return bmptest::Filled(W, H, F, clWhite); }

std::unique_ptr<TBitmap> TextBitmap() {
  auto B = White(120, 30);
  B->Canvas()->Font()->SetName("MS Sans Serif");
  B->Canvas()->Font()->SetHeight(-11);
  return B;
}

// A picture whose pixel (x, y) is blue 10 + x, green 20 + y, red 7 (x, y below 200).
std::unique_ptr<TBitmap> Numbered(int W, int H) {
  auto B = std::make_unique<TBitmap>(W, H, pf24bit);
  for (int Y = 0; Y < H; ++Y) {
    Byte* P = static_cast<Byte*>(B->ScanLine(Y));
    for (int X = 0; X < W; ++X) {
      P[3 * X] = static_cast<Byte>(10 + X);
      P[3 * X + 1] = static_cast<Byte>(20 + Y);
      P[3 * X + 2] = 7;
    }
  }
  return B;
}
Px NumberedAt(int X, int Y) { return BGR(10 + X, 20 + Y, 7); }

void SetPx(TBitmap& B, int X, int Y, int Bl, int G, int R) {
  Byte* P = static_cast<Byte*>(B.ScanLine(Y)) + (B.PixelFormat() == pf32bit ? 4 : 3) * X;
  P[0] = static_cast<Byte>(Bl);
  P[1] = static_cast<Byte>(G);
  P[2] = static_cast<Byte>(R);
}
void SetKey(TBitmap& B, int X, int Y) { SetPx(B, X, Y, 255, 0, 255); }

// The colours (as RGB values) found in an area of a bitmap.
std::set<COLORREF> ColoursIn(TBitmap& B, TRect R) {
  std::set<COLORREF> S;
  for (int Y = R.Top; Y < R.Bottom; ++Y)
    for (int X = R.Left; X < R.Right; ++X) {
      const Px P = bmptest::At(B, X, Y);
      S.insert(RGB(P[2], P[1], P[0]));
    }
  return S;
}

// ---- A loaded skin ---------------------------------------------------------------------------------

void WriteBytes(const AnsiString& Path, const std::string& Data) {
  TFileStream F(Path, fmCreate);
  if (!Data.empty()) F.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
}

// The master bitmap, 40 x 20, white, with
//  - a numbered texture at (0, 0, 4, 3): pixel (x, y) blue 10 + x, green 20 + y, red 7;
//  - a masked texture at (10, 0, 16, 8) of two frames 3 x 4: frame 0 has column 10 key-coloured,
//    the rest (red 70, green 60, blue 50) over a black mask but for a white mask under (12, 1).
std::string MasterBmp() {
  TBitmap B(40, 20, pf24bit);
  B.Canvas()->Brush()->SetColor(clWhite);
  B.Canvas()->FillRect(Rect(0, 0, 40, 20));
  for (int Y = 0; Y < 3; ++Y)
    for (int X = 0; X < 4; ++X) SetPx(B, X, Y, 10 + X, 20 + Y, 7);
  for (int Y = 0; Y < 4; ++Y) {
    SetKey(B, 10, Y);
    SetPx(B, 11, Y, 50, 60, 70);
    SetPx(B, 12, Y, 50, 60, 70);
    for (int X = 13; X < 16; ++X) SetPx(B, X, Y, 0, 255, 0);
  }
  for (int Y = 4; Y < 8; ++Y)
    for (int X = 10; X < 16; ++X) SetPx(B, X, Y, 0, 0, 0);
  SetPx(B, 12, 5, 255, 255, 255);
  TMemoryStream S;
  B.SaveToStream(S);
  return std::string(static_cast<const char*>(S.Memory()), static_cast<std::size_t>(S.Size()));
}

class TTestSkin {
 public:
  TTestSkin() {
    static int Counter = 0;
    Path = AppDirectory() + Format("bgskin_%u_%d\\", static_cast<unsigned>(GetCurrentProcessId()), ++Counter);
    CreateDirectoryA(Path.c_str(), nullptr);
    CreateDirectoryA((Path + "S").c_str(), nullptr);
    WriteBytes(Path + "S\\Options.dat",
               "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nCOLOR=0xB0C0D0\r\n"
               "[TEXT]\r\nCOLOR=0xFFFFFF\r\n[WEBBUTTON]\r\nCOLOR=0xFFFFFF\r\n");
    WriteBytes(Path + "S\\Master.bmp", MasterBmp());
    M = std::make_unique<TsSkinManager>(nullptr);
    M->SetSkinDirectory(Path);
    M->SetSkinName("S");
    Texture = AddMask(TRect{0, 0, 4, 3}, 1, 0);
    Masked = AddMask(TRect{10, 0, 16, 8}, 2, 1);
  }
  ~TTestSkin() {
    M.reset();
    mgrtest::RemoveTree(Path);
  }

  int AddMask(TRect R, int ImageCount, int MaskType, TBitmap* Own = nullptr) {
    TsMaskData D;
    D.R = R;
    D.ImageCount = static_cast<std::int16_t>(ImageCount);
    D.MaskType = static_cast<std::int16_t>(MaskType);
    D.ImgType = itisaTexture;
    D.Manager = M.get();
    if (Own != nullptr) D.Bmp.reset(Own);
    M->Masks().push_back(std::move(D));
    return static_cast<int>(M->Masks().size()) - 1;
  }
  TsMaskData& Mask(int I) { return M->Masks()[static_cast<std::size_t>(I)]; }
  TsGeneralData& Section(const AnsiString& Name) {
    return M->GeneralData()[static_cast<std::size_t>(M->GetSectionIndex(Name))];
  }

  AnsiString Path;
  std::unique_ptr<TsSkinManager> M;
  int Texture = -1;
  int Masked = -1;
};

Px TexAt(int X, int Y) { return BGR(10 + X % 4, 20 + Y % 3, 7); }

}  // namespace

// ---- Background queries -------------------------------------------------------------------------------

TEST(BackgroundQuery, AParentThatAnswersGivesItsPictureAndNothingIsDrawn) {
  auto Form = std::make_unique<TForm>(nullptr);
  auto* P = new TBgParent(Form.get());
  P->SetParent(Form.get());
  P->SetBounds(0, 0, 100, 80);
  auto Pic = White(10, 10);
  P->Picture = Pic.get();
  auto Target = White(30, 30);

  for (bool WithHandle : {true, false}) {
    if (WithHandle) P->Handle();
    TacBGInfo Info;
    Info.PleaseDraw = true;
    Info.DrawDC = Target->Canvas()->Handle();
    Info.R = TRect{0, 0, 30, 30};
    P->Log.clear();
    EXPECT_TRUE(QueryParentBackground(Info, P, true));
    EXPECT_EQ(P->Log, "Q");
    EXPECT_TRUE(P->PleaseDrawSeen);
    EXPECT_EQ(Info.BgType, btCache);
    EXPECT_EQ(Info.Bmp, Pic.get());
    EXPECT_EQ(Info.Offset, (TPoint{5, 6}));
    EXPECT_EQ(bmptest::At(*Target, 3, 3), White24());
  }
  // A window is asked through its handle.
  TacBGInfo Info;
  EXPECT_TRUE(QueryWindowBackground(Info, P->Handle(), false));
  EXPECT_FALSE(P->PleaseDrawSeen);
  EXPECT_EQ(Info.Bmp, Pic.get());
  TCacheInfo CI = BGInfoToCacheInfo(Info);
  EXPECT_EQ(CI.Bmp, Pic.get());
  EXPECT_EQ(CI.X, 5);
  EXPECT_EQ(CI.Y, 6);
  EXPECT_EQ(CI.FillColor, clKeyColor);
  EXPECT_TRUE(CI.Ready);
}

TEST(BackgroundQuery, AnUnskinnedParentPaintsItselfShiftedAndClipped) {
  auto Form = std::make_unique<TForm>(nullptr);
  auto* P = new TBgParent(Form.get());
  P->SetParent(Form.get());
  P->SetBounds(0, 0, 100, 80);
  P->Handle();
  auto Target = White(30, 30);
  HDC DC = Target->Canvas()->Handle();

  TacBGInfo Info;
  Info.PleaseDraw = true;  // as the record came: drawing wanted
  Info.DrawDC = DC;
  Info.Offset = TPoint{10, 20};  // the asker lies at (10, 20) of the parent
  Info.R = TRect{0, 0, 5, 5};
  EXPECT_FALSE(QueryParentBackground(Info, P, false));
  EXPECT_EQ(P->Log, "QEP");
  EXPECT_EQ(P->PaintDC, DC);
  EXPECT_FALSE(P->PleaseDrawSeen);
  EXPECT_EQ(Info.BgType, btUnknown);
  EXPECT_EQ(Info.R, (TRect{0, 0, 5, 5}));
  // The parent's (11, 21) is the asker's (1, 1); only R was painted.
  EXPECT_EQ(bmptest::At(*Target, 1, 1), BGR(0, 255, 0));
  EXPECT_EQ(bmptest::At(*Target, 0, 0), BGR(0, 0, 255));
  EXPECT_EQ(bmptest::At(*Target, 4, 4), BGR(0, 0, 255));
  EXPECT_EQ(bmptest::At(*Target, 5, 4), White24());
  EXPECT_EQ(bmptest::At(*Target, 4, 5), White24());
  // The DC's origin and clipping came back.
  POINT Org;
  GetViewportOrgEx(DC, &Org);
  EXPECT_EQ(Org.x, 0);
  EXPECT_EQ(Org.y, 0);
  RECT Box;
  GetClipBox(DC, &Box);
  EXPECT_EQ(Box.right, 30);

  // A window is sent the same messages.
  P->Log.clear();
  Info.PleaseDraw = true;
  EXPECT_FALSE(QueryWindowBackground(Info, P->Handle(), false));
  EXPECT_EQ(P->Log, "QEP");

  // Drawing wanted but no DC to draw on: the colour, not a paint into nothing.
  P->Log.clear();
  Info = TacBGInfo{};
  Info.PleaseDraw = true;
  P->SetColor(clLime);
  EXPECT_FALSE(QueryParentBackground(Info, P, false));
  EXPECT_EQ(P->Log, "Q");
  EXPECT_EQ(Info.BgType, btFill);
  EXPECT_EQ(Info.Color, RGBc(0, 255, 0));
}

TEST(BackgroundQuery, WithoutDrawingAnUnskinnedControlGivesItsColour) {
  auto P = std::make_unique<TBgParent>(nullptr);
  P->SetColor(clRed);
  TacBGInfo Info;
  EXPECT_FALSE(QueryParentBackground(Info, P.get(), false));
  EXPECT_EQ(P->Log, "Q");
  EXPECT_EQ(Info.BgType, btFill);
  EXPECT_EQ(Info.Color, RGBc(255, 0, 0));  // its answer 0 counts as none
  P->ColorAnswer = RGBc(1, 2, 3);
  EXPECT_FALSE(QueryParentBackground(Info, P.get(), false));
  EXPECT_EQ(Info.Color, RGBc(1, 2, 3));
  P->SetColor(clBtnFace);
  P->ColorAnswer = 0;
  QueryParentBackground(Info, P.get(), false);
  EXPECT_EQ(static_cast<COLORREF>(Info.Color), GetSysColor(COLOR_BTNFACE));

  // Drawing asked now (and a picture in the record): R is filled with the colour.
  auto Target = White(10, 10);
  auto Any = White(2, 2);
  Info = TacBGInfo{};
  Info.DrawDC = Target->Canvas()->Handle();
  Info.R = TRect{2, 2, 5, 5};
  P->ColorAnswer = RGBc(0, 0, 255);
  QueryParentBackground(Info, P.get(), true);
  EXPECT_EQ(bmptest::At(*Target, 2, 2), White24());  // no picture in the record: nothing drawn
  Info.Bmp = Any.get();
  Info.PleaseDraw = false;  // (set by the call before: it would ask the control to paint)
  QueryParentBackground(Info, P.get(), true);
  EXPECT_EQ(bmptest::At(*Target, 2, 2), BGR(255, 0, 0));
  EXPECT_EQ(bmptest::At(*Target, 4, 4), BGR(255, 0, 0));
  EXPECT_EQ(bmptest::At(*Target, 5, 5), White24());

  TCacheInfo CI;
  Info.Color = clBtnFace;
  BGInfoToCacheInfo(Info, CI);
  EXPECT_EQ(CI.Bmp, nullptr);
  EXPECT_FALSE(CI.Ready);
  EXPECT_EQ(static_cast<COLORREF>(CI.FillColor), GetSysColor(COLOR_BTNFACE));
  // Nobody to ask.
  EXPECT_FALSE(QueryParentBackground(Info, nullptr, false));
  EXPECT_EQ(Info.BgType, btFill);
}

TEST(BackgroundQuery, AWindowWithoutAnswerGivesTheSkinsGlobalColour) {
  auto Form = std::make_unique<TForm>(nullptr);
  HWND W = Form->Handle();
  TacBGInfo Info;
  if (TsSkinManager::DefaultManager() == nullptr) {
    EXPECT_FALSE(QueryWindowBackground(Info, W, false));
    EXPECT_EQ(Info.BgType, btFill);
    EXPECT_EQ(Info.Color, clBtnFace);
  }
  TTestSkin Skin;
  ASSERT_EQ(TsSkinManager::DefaultManager(), Skin.M.get());
  EXPECT_FALSE(QueryWindowBackground(Info, W, false));
  EXPECT_EQ(Info.BgType, btFill);
  EXPECT_EQ(Info.Color, 0xB0C0D0);
  EXPECT_FALSE(QueryWindowBackground(Info, nullptr, false));
  EXPECT_EQ(Info.Color, 0xB0C0D0);
}

// ---- Corner fills -------------------------------------------------------------------------------------

namespace {

// A border image of its own: three frames 10 x 10, margins 3, key pixels in the four outer corner
// pixels of frame 0 and at (1, 0) of frame 1.
TBitmap* RoundBorder() {
  auto* B = new TBitmap(30, 10, pf24bit);
  B->Canvas()->Brush()->SetColor(clGray);
  B->Canvas()->FillRect(Rect(0, 0, 30, 10));
  SetKey(*B, 0, 0);
  SetKey(*B, 9, 0);
  SetKey(*B, 0, 9);
  SetKey(*B, 9, 9);
  SetKey(*B, 11, 0);
  return B;
}

struct TCornerScene {
  TTestSkin Skin;
  std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
  TBgParent* Parent = nullptr;
  TPlainChild* Child = nullptr;
  std::unique_ptr<TsCommonData> Data;

  TCornerScene() {
    Parent = new TBgParent(Form.get());
    Parent->SetParent(Form.get());
    Parent->SetBounds(0, 0, 120, 100);
    Parent->SetColor(clRed);
    Child = new TPlainChild(Form.get());
    Child->SetParent(Parent);
    Child->SetBounds(7, 5, 20, 16);
    Data = std::make_unique<TsCommonData>(Child, 0, true);
    Data->SetSkinManager(Skin.M.get());
    const int Border = Skin.AddMask(TRect{0, 0, 30, 10}, 3, 0, RoundBorder());
    TsMaskData& B = Skin.Mask(Border);
    B.WL = B.WT = B.WR = B.WB = 3;
    Data->BorderMaskIndex = Border;
    Data->InitCacheBmp();
    Data->CacheBmp()->Canvas()->Brush()->SetColor(RGBc(128, 128, 128));
    Data->CacheBmp()->Canvas()->FillRect(Rect(0, 0, 20, 16));
  }
  Px At(int X, int Y) { return bmptest::At(*Data->CacheBmp(), X, Y); }
};

}  // namespace

TEST(BackgroundCornerFill, CornersOfACacheGetTheUnskinnedParentsColour) {
  TCornerScene S;
  ASSERT_EQ(S.Data->CacheBmp()->Width(), 20);
  FillCornersFromParent(S.Data.get(), 0);
  const Px Red = BGR(0, 0, 255), Grey = BGR(128, 128, 128);
  EXPECT_EQ(S.At(0, 0), Red);
  EXPECT_EQ(S.At(19, 0), Red);
  EXPECT_EQ(S.At(0, 15), Red);
  EXPECT_EQ(S.At(19, 15), Red);
  EXPECT_EQ(S.At(1, 0), Grey);
  EXPECT_EQ(S.At(10, 8), Grey);
  // State 1 uses frame 1; a state beyond the frames uses the last one.
  TCornerScene S1;
  FillCornersFromParent(S1.Data.get(), 1, acCornerTopLeft);
  EXPECT_EQ(S1.At(1, 0), Red);
  EXPECT_EQ(S1.At(0, 0), Grey);
  TCornerScene S9;
  FillCornersFromParent(S9.Data.get(), 9);
  EXPECT_EQ(S9.At(0, 0), Grey);
  EXPECT_EQ(S9.At(1, 0), Grey);
}

TEST(BackgroundCornerFill, AControlWithoutParentGetsTheButtonFaceColour) {
  TCornerScene S;
  S.Child->SetParent(nullptr);
  FillCornersFromParent(S.Data.get(), 0);
  const TColor Face = static_cast<TColor>(ColorToRGB(clBtnFace));
  const Px FacePx = BGR((Face >> 16) & 0xFF, (Face >> 8) & 0xFF, Face & 0xFF);
  EXPECT_EQ(S.At(0, 0), FacePx);
  EXPECT_EQ(S.At(19, 15), FacePx);
  EXPECT_EQ(S.At(1, 0), BGR(128, 128, 128));
}

TEST(BackgroundCornerFill, CornersShowExactlyTheSkinnedParentsPixels) {
  TCornerScene S;
  auto Pic = Numbered(120, 100);
  S.Parent->Picture = Pic.get();
  S.Parent->AnswerOffset = TPoint{2, 1};  // the parent's origin in its picture
  FillCornersFromParent(S.Data.get(), 0);
  EXPECT_EQ(S.At(0, 0), NumberedAt(9, 6));
  EXPECT_EQ(S.At(19, 0), NumberedAt(28, 6));
  EXPECT_EQ(S.At(0, 15), NumberedAt(9, 21));
  EXPECT_EQ(S.At(19, 15), NumberedAt(28, 21));
  EXPECT_EQ(S.At(1, 1), BGR(128, 128, 128));
}

TEST(BackgroundCornerFill, NothingWithoutWhatItNeeds) {
  TCornerScene S;
  S.Data->BorderMaskIndex = 999;
  FillCornersFromParent(S.Data.get(), 0);
  EXPECT_EQ(S.At(0, 0), BGR(128, 128, 128));
  FillCornersFromParent(nullptr, 0);
  TCornerScene Tiny;
  Tiny.Child->SetBounds(7, 5, 1, 16);
  FillCornersFromParent(Tiny.Data.get(), 0);
  EXPECT_EQ(Tiny.At(0, 0), BGR(128, 128, 128));
}

TEST(BackgroundCornerFill, FillTransparentFromBGTestsTheNamedCornerOfAnImage) {
  TTestSkin Skin;
  // 30 wide, three frames, WR 4, WB 1: the bottom-right corner is columns 6..9 of row 9.
  auto* Own = new TBitmap(30, 10, pf24bit);
  Own->Canvas()->Brush()->SetColor(clGray);
  Own->Canvas()->FillRect(Rect(0, 0, 30, 10));
  SetKey(*Own, 6, 9);
  SetKey(*Own, 9, 9);
  SetKey(*Own, 0, 0);
  const int I = Skin.AddMask(TRect{0, 0, 30, 10}, 3, 0, Own);
  Skin.Mask(I).WR = 4;
  Skin.Mask(I).WB = 1;
  auto Dst = bmptest::Filled(4, 1, pf32bit, clBlack);
  auto Bg = bmptest::Filled(10, 10, pf32bit, clLime);
  FillTransparentFromBG(Dst.get(), Bg.get(), TRect{0, 0, 4, 1}, TPoint{3, 3}, I, Skin.M.get(), acPartBottomRight);
  EXPECT_EQ(bmptest::At(*Dst, 0, 0)[1], 255);
  EXPECT_EQ(bmptest::At(*Dst, 1, 0)[1], 0);
  EXPECT_EQ(bmptest::At(*Dst, 3, 0)[1], 255);
  // Top-left: only column 0 is a key pixel.
  auto Dst2 = bmptest::Filled(4, 1, pf32bit, clBlack);
  FillTransparentFromBG(Dst2.get(), Bg.get(), TRect{0, 0, 4, 1}, TPoint{3, 3}, I, Skin.M.get(), acPartTopLeft);
  EXPECT_EQ(bmptest::At(*Dst2, 0, 0)[1], 255);
  EXPECT_EQ(bmptest::At(*Dst2, 3, 0)[1], 0);
  // Bitmaps of other formats and unknown images are left.
  auto D24 = bmptest::Filled(4, 1, pf24bit, clFuchsia);
  FillTransparentFromBG(D24.get(), Bg.get(), TRect{0, 0, 4, 1}, TPoint{}, -1, nullptr, 0);
  EXPECT_EQ(bmptest::At(*D24, 0, 0), BGR(255, 0, 255));
  FillTransparentFromBG(Dst2.get(), Bg.get(), TRect{0, 0, 4, 1}, TPoint{}, 12345, Skin.M.get(), 0);
}

// ---- Fills and frames ---------------------------------------------------------------------------------

TEST(BackgroundFills, SolidRectanglesAndFramesKeepTheDCAndClip) {
  auto B = White(20, 20);
  HDC DC = B->Canvas()->Handle();
  HBRUSH Mine = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ Old = SelectObject(DC, Mine);
  FillRectSolid(DC, TRect{2, 3, 6, 5}, clBtnShadow);
  const COLORREF Shadow = GetSysColor(COLOR_BTNSHADOW);
  EXPECT_EQ(bmptest::At(*B, 2, 3), BGR(GetBValue(Shadow), GetGValue(Shadow), GetRValue(Shadow)));
  EXPECT_EQ(bmptest::At(*B, 5, 4), BGR(GetBValue(Shadow), GetGValue(Shadow), GetRValue(Shadow)));
  EXPECT_EQ(bmptest::At(*B, 6, 4), White24());
  EXPECT_EQ(bmptest::At(*B, 5, 5), White24());
  EXPECT_EQ(GetCurrentObject(DC, OBJ_BRUSH), Mine);
  // Empty and inverted rectangles draw nothing; rectangles beyond the bitmap are clipped.
  FillRectSolid(DC, TRect{10, 10, 10, 15}, clBlack);
  FillRectSolid(DC, TRect{15, 15, 12, 12}, clBlack);
  EXPECT_EQ(ColoursIn(*B, TRect{10, 10, 16, 16}).size(), 1u);
  FillRectSolid(DC, TRect{18, -5, 100000, 3}, clBlack);
  EXPECT_EQ(bmptest::At(*B, 19, 0), BGR(0, 0, 0));
  FillRectSolid(nullptr, TRect{0, 0, 5, 5}, clBlack);

  auto F = White(20, 20);
  FillFrameSolid(F->Canvas()->Handle(), TRect{2, 2, 18, 18}, 1, 2, 3, 4, clBlue);
  const Px Blue = BGR(255, 0, 0);
  EXPECT_EQ(bmptest::At(*F, 10, 2), Blue);   // top strip, 2 high
  EXPECT_EQ(bmptest::At(*F, 10, 4), White24());
  EXPECT_EQ(bmptest::At(*F, 2, 10), Blue);   // left, 1 wide
  EXPECT_EQ(bmptest::At(*F, 3, 10), White24());
  EXPECT_EQ(bmptest::At(*F, 14, 10), White24());  // right, 3 wide
  EXPECT_EQ(bmptest::At(*F, 15, 10), Blue);
  EXPECT_EQ(bmptest::At(*F, 10, 13), White24());  // bottom, 4 high
  EXPECT_EQ(bmptest::At(*F, 10, 14), Blue);
  EXPECT_EQ(bmptest::At(*F, 18, 18), White24());
  SelectObject(DC, Old);
  DeleteObject(Mine);
}

TEST(BackgroundFills, BltFrameCopiesTheFrameStripsOnly) {
  auto Src = Numbered(20, 20);
  auto Dst = White(30, 30);
  BltFrame(Dst->Canvas()->Handle(), 0, 0, 20, 16, Src->Canvas()->Handle(), 0, 0, 2);
  EXPECT_EQ(bmptest::At(*Dst, 0, 0), NumberedAt(0, 0));
  EXPECT_EQ(bmptest::At(*Dst, 10, 1), NumberedAt(10, 1));
  EXPECT_EQ(bmptest::At(*Dst, 19, 8), NumberedAt(19, 8));
  EXPECT_EQ(bmptest::At(*Dst, 10, 14), NumberedAt(10, 14));
  EXPECT_EQ(bmptest::At(*Dst, 10, 8), White24());   // the centre
  EXPECT_EQ(bmptest::At(*Dst, 20, 5), White24());   // nothing beyond the frame's area
  EXPECT_EQ(bmptest::At(*Dst, 5, 16), White24());
  // A thickness beyond the area copies the whole area and no more.
  auto Dst2 = White(30, 30);
  BltFrame(Dst2->Canvas()->Handle(), 0, 0, 10, 10, Src->Canvas()->Handle(), 0, 0, 50);
  EXPECT_EQ(bmptest::At(*Dst2, 5, 5), NumberedAt(5, 5));
  EXPECT_EQ(bmptest::At(*Dst2, 10, 5), White24());
}

// A 16 x 16 icon of one colour at alpha 96: what it shows depends on what lies under it.
HICON SeeThroughIcon(TColor Color) {
  auto Colour = uitest::SolidGlyph(16, 16, Color, pf32bit, 96);
  HBITMAP Mask = CreateBitmap(16, 16, 1, 1, nullptr);
  ICONINFO II{TRUE, 0, 0, Mask, Colour->Handle()};
  HICON Icon = CreateIconIndirect(&II);
  DeleteObject(Mask);
  return Icon;
}

TEST(BackgroundFills, AStampedIconShowsWhatTheSystemDrawsOverThePixelsUnderIt) {
  // Whatever the stamp remembers, the picture is the system's own drawing of the icon over the
  // pixels there; the system is asked again only when the icon, its size or those pixels differ
  // from the last drawing.
  HICON Red = SeeThroughIcon(clRed), Blue = SeeThroughIcon(clBlue);
  struct TCase {
    const char* Name;
    bool NumberedUnder;
    HICON Icon;
    int X, Y, Size;
    int SystemDraws;
  } Cases[] = {
      {"first drawing", true, Red, 4, 3, 15, 1},
      {"the same again", true, Red, 4, 3, 15, 1},
      {"other pixels under it", false, Red, 4, 3, 15, 2},
      {"another place with the same pixels under it", false, Red, 10, 8, 15, 2},
      {"back over the first pixels", true, Red, 4, 3, 15, 3},
      {"another size", true, Red, 4, 3, 16, 4},
      {"another icon", true, Blue, 4, 3, 16, 5},
      {"partly outside the picture", true, Blue, 30, 20, 16, 6},
  };
  TacIconStamp Stamp;
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto Drawn = C.NumberedUnder ? Numbered(40, 30) : White(40, 30);
    auto Expected = C.NumberedUnder ? Numbered(40, 30) : White(40, 30);
    Stamp.Draw(Drawn.get(), C.X, C.Y, C.Icon, C.Size, C.Size);
    DrawIconEx(Expected->Canvas()->Handle(), C.X, C.Y, C.Icon, C.Size, C.Size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    int Different = 0;
    for (int Y = 0; Y < 30; ++Y)
      for (int X = 0; X < 40; ++X) Different += bmptest::At(*Drawn, X, Y) != bmptest::At(*Expected, X, Y);
    EXPECT_EQ(Different, 0);
    EXPECT_EQ(Stamp.SystemDraws(), C.SystemDraws);
  }
  DestroyIcon(Red);
  DestroyIcon(Blue);
}

TEST(BackgroundFills, Draw3DFrameDrawsRingsAndReturnsTheInnerRect) {
  auto B = White(12, 12);
  HDC DC = B->Canvas()->Handle();
  TRect R{1, 1, 11, 11};
  int W = 2;
  Draw3DFrame(DC, R, clRed, W, RGBc(0, 0, 255));
  EXPECT_EQ(R, (TRect{3, 3, 9, 9}));
  EXPECT_EQ(W, 0);
  const Px Red = BGR(0, 0, 255), Blue = BGR(255, 0, 0);
  EXPECT_EQ(bmptest::At(*B, 1, 1), Red);
  EXPECT_EQ(bmptest::At(*B, 10, 1), Blue);  // right line from the top
  EXPECT_EQ(bmptest::At(*B, 2, 2), Red);   // second ring
  EXPECT_EQ(bmptest::At(*B, 9, 5), Blue);
  EXPECT_EQ(bmptest::At(*B, 3, 3), White24());
  EXPECT_EQ(bmptest::At(*B, 11, 11), White24());
  // System colours are drawn as the colours they stand for, on both sides.
  auto S = White(12, 12);
  S->Canvas()->Brush()->SetColor(clBlack);
  S->Canvas()->FillRect(Rect(0, 0, 12, 12));
  TRect RS{1, 1, 11, 11};
  int WS = 1;
  Draw3DFrame(S->Canvas()->Handle(), RS, clBtnHighlight, WS, clBtnShadow);
  const COLORREF Light = GetSysColor(COLOR_BTNHIGHLIGHT), Shadow = GetSysColor(COLOR_BTNSHADOW);
  EXPECT_EQ(bmptest::At(*S, 1, 5), BGR(GetBValue(Light), GetGValue(Light), GetRValue(Light)));
  EXPECT_EQ(bmptest::At(*S, 10, 5), BGR(GetBValue(Shadow), GetGValue(Shadow), GetRValue(Shadow)));
  // Width 0 draws nothing and keeps the rectangle.
  auto C = White(12, 12);
  TRect R0{1, 1, 11, 11};
  int W0 = 0;
  Draw3DFrame(C->Canvas()->Handle(), R0, clRed, W0, clBlue);
  EXPECT_EQ(R0, (TRect{1, 1, 11, 11}));
  EXPECT_EQ(ColoursIn(*C, TRect{0, 0, 12, 12}).size(), 1u);
  // A width far beyond the rectangle ends at once, the rectangle inset by the whole width.
  TRect RH{0, 0, 10, 10};
  int WH = 1000000000;
  Draw3DFrame(C->Canvas()->Handle(), RH, clRed, WH, clBlue);
  EXPECT_EQ(WH, 0);
  EXPECT_EQ(RH.Left, 1000000000);
}

TEST(BackgroundFills, RepeatedDrawingKeepsNoGdiObjects) {
  TTestSkin Skin;
  auto B = TextBitmap();
  auto Tile = Numbered(3, 2);
  TsMaskData None;
  const int I = Skin.M->GetSectionIndex("TEXT");
  auto Once = [&] {
    HDC DC = B->Canvas()->Handle();
    TRect R{1, 1, 30, 20};
    int W = 2;
    Draw3DFrame(DC, R, clRed, W, clBlue);
    FillFrameSolid(DC, TRect{0, 0, 40, 20}, 1, 1, 1, 1, clBtnShadow);
    FillRectSolid(DC, TRect{2, 2, 9, 9}, clGreen);
    PaintRoundShadow(B.get(), TRect{40, 0, 100, 30}, 40, clBlack, 3, 5);
    TRect T{0, 20, 120, 30};
    PaintTexture(B.get(), T, Tile.get(), 0, None);
    TRect T2{0, 0, 120, 30};
    PaintTexture(B.get(), T2, nullptr, 1, Skin.Mask(Skin.Texture));
    TRect TR{0, 0, 120, 30};
    DrawSectionText(B->Canvas(), L"Text", false, TR, 0, I, false);
  };
  Once();
  const int Before = uitest::GdiObjectCount();
  for (int N = 0; N < 20; ++N) Once();
  EXPECT_EQ(uitest::GdiObjectCount(), Before);
}

TEST(BackgroundFills, DottedFocusRect) {
  auto B = bmptest::Filled(20, 20, pf24bit, clGray);
  DrawDottedFocusRect(B->Canvas(), TRect{2, 2, 14, 11});
  const Px Black = BGR(0, 0, 0), Wh = White24(), Gray = BGR(128, 128, 128);
  for (int X : {2, 5, 8, 11, 14}) {
    EXPECT_EQ(bmptest::At(*B, X, 2), Black) << X;
    EXPECT_EQ(bmptest::At(*B, X, 11), Black) << X;
    EXPECT_EQ(bmptest::At(*B, X - 1, 1), Wh) << X;
    EXPECT_EQ(bmptest::At(*B, X - 1, 10), Wh) << X;
  }
  EXPECT_EQ(bmptest::At(*B, 3, 2), Gray);
  for (int Y : {2, 5, 8, 11}) {
    EXPECT_EQ(bmptest::At(*B, 2, Y), Black) << Y;
    EXPECT_EQ(bmptest::At(*B, 14, Y), Black) << Y;
    EXPECT_EQ(bmptest::At(*B, 1, Y - 1), Wh) << Y;
    EXPECT_EQ(bmptest::At(*B, 13, Y - 1), Wh) << Y;
  }
  // A huge rectangle sets only what can be seen.
  DrawDottedFocusRect(B->Canvas(), TRect{-1000000000, 0, 1000000000, 10});
  EXPECT_EQ(bmptest::At(*B, 2, 0), Black);  // -1e9 + 3i reaches 2 when i = (1e9 + 2) / 3
  EXPECT_EQ(bmptest::At(*B, 3, 0), Gray);
}

TEST(BackgroundFills, RoundShadowMixesTheColourByRings) {
  auto B = White(40, 40);
  PaintRoundShadow(B.get(), TRect{5, 5, 35, 35}, 50, clBlack, 4, 6);
  // The centre: mask 127 over black: (255 * 127) >> 8 = 126.
  EXPECT_EQ(bmptest::At(*B, 20, 20), BGR(126, 126, 126));
  // The rect's corner lies outside every rounded ring: mask 255.
  EXPECT_EQ(bmptest::At(*B, 5, 5), BGR(254, 254, 254));
  EXPECT_EQ(bmptest::At(*B, 4, 20), White24());
  // Darker towards the centre.
  EXPECT_GT(bmptest::At(*B, 6, 20)[0], bmptest::At(*B, 8, 20)[0]);
  EXPECT_GE(bmptest::At(*B, 8, 20)[0], 126);
  // Percent 100 leaves the rect but for the rounding.
  auto C = White(40, 40);
  PaintRoundShadow(C.get(), TRect{5, 5, 35, 35}, 100, clBlack, 4, 6);
  EXPECT_EQ(ColoursIn(*C, TRect{5, 5, 35, 35}), (std::set<COLORREF>{RGB(254, 254, 254)}));
  // Tiny, partly outside and empty rectangles.
  PaintRoundShadow(C.get(), TRect{10, 10, 12, 30}, 0, clBlack, 9, 9);
  PaintRoundShadow(C.get(), TRect{30, 30, 100000, 100000}, 0, clBlack, 3, 3);
  EXPECT_EQ(bmptest::At(*C, 39, 39), BGR(0, 0, 0));
  PaintRoundShadow(C.get(), TRect{50, 50, 60, 60}, 0, clBlack, 3, 3);
  PaintRoundShadow(C.get(), TRect{5, 5, 5, 9}, 0, clBlack, 3, 3);
  PaintRoundShadow(nullptr, TRect{5, 5, 9, 9}, 0, clBlack, 3, 3);
}

// ---- Textures ------------------------------------------------------------------------------------------

TEST(BackgroundTexture, TiledFromTheMasterBitmap) {
  TTestSkin Skin;
  ASSERT_NE(Skin.M->MasterBitmap(), nullptr);
  auto B = White(12, 8);
  TRect R{1, 1, 12, 8};
  PaintTexture(B.get(), R, nullptr, 0, Skin.Mask(Skin.Texture));
  EXPECT_EQ(R, acNoRect);
  for (int Y = 1; Y < 8; ++Y)
    for (int X = 1; X < 12; ++X) ASSERT_EQ(bmptest::At(*B, X, Y), TexAt(X - 1, Y - 1)) << X << "," << Y;
  EXPECT_EQ(bmptest::At(*B, 0, 0), White24());
  EXPECT_EQ(bmptest::At(*B, 5, 0), White24());

  // 32-bit targets get opaque pixels; rectangles far beyond the bitmap keep the tile grid.
  auto C = White(10, 10, pf32bit);
  TRect Huge{-100000, -100000, 100000, 100000};
  PaintTexture(C.get(), Huge, nullptr, 0, Skin.Mask(Skin.Texture));
  EXPECT_EQ(bmptest::At(*C, 0, 0), BGRA(10 + 0, 20 + 1, 7, 255));  // 100000 mod 4 = 0, mod 3 = 1
  EXPECT_EQ(bmptest::At(*C, 9, 9), BGRA(10 + 1, 20 + 1, 7, 255));
}

TEST(BackgroundTexture, BandsStretchesAndWhatIsHandedBack) {
  TTestSkin Skin;
  const TsMaskData& T = Skin.Mask(Skin.Texture);
  {  // mode 1: one stretch over all
    auto B = White(8, 6);
    TRect R{0, 0, 8, 6};
    PaintTexture(B.get(), R, nullptr, 1, T);
    EXPECT_EQ(R, acNoRect);
    EXPECT_EQ(bmptest::At(*B, 0, 0), TexAt(0, 0));
    EXPECT_EQ(bmptest::At(*B, 7, 5), TexAt(3, 2));
    EXPECT_EQ(bmptest::At(*B, 3, 2), TexAt(1, 1));
  }
  {  // mode 4: a stretched band along the top; the rest below is handed back
    auto B = White(8, 10);
    TRect R{0, 1, 8, 10};
    PaintTexture(B.get(), R, nullptr, 4, T);
    EXPECT_EQ(R, (TRect{0, 4, 8, 10}));
    EXPECT_EQ(bmptest::At(*B, 7, 3), TexAt(3, 2));
    EXPECT_EQ(bmptest::At(*B, 3, 4), White24());
  }
  {  // mode 2: a tiled band along the top, no more than the texture's height
    auto B = White(10, 10);
    TRect R{0, 0, 10, 10};
    PaintTexture(B.get(), R, nullptr, 2, T);
    EXPECT_EQ(R, (TRect{0, 3, 10, 10}));
    EXPECT_EQ(bmptest::At(*B, 9, 2), TexAt(9, 2));
    EXPECT_EQ(bmptest::At(*B, 9, 3), White24());
  }
  {  // mode 6: a band at the bottom; nothing above a rectangle lower than the texture
    auto B = White(10, 10);
    TRect R{0, 5, 10, 7};
    PaintTexture(B.get(), R, nullptr, 6, T);
    EXPECT_EQ(bmptest::At(*B, 0, 5), TexAt(0, 1));  // the band starts at 7 - 3 = 4
    EXPECT_EQ(bmptest::At(*B, 0, 4), White24());
    EXPECT_EQ(bmptest::At(*B, 0, 7), White24());
  }
  {  // a clipping region on the target's DC is honoured
    auto B = White(10, 10);
    HDC DC = B->Canvas()->Handle();
    const int Saved = SaveDC(DC);
    ExcludeClipRect(DC, 0, 0, 5, 10);
    TRect R{0, 0, 10, 10};
    PaintTexture(B.get(), R, nullptr, 0, T);
    RestoreDC(DC, Saved);
    EXPECT_EQ(bmptest::At(*B, 4, 4), White24());
    EXPECT_EQ(bmptest::At(*B, 5, 4), TexAt(5, 4));
  }
  {  // a record without manager paints nothing and hands everything back
    auto B = White(4, 4);
    TsMaskData None;
    None.R = TRect{0, 0, 4, 3};
    TRect R{0, 0, 4, 4};
    PaintTexture(B.get(), R, nullptr, 0, None);
    EXPECT_EQ(R, (TRect{0, 0, 4, 4}));
    EXPECT_EQ(bmptest::At(*B, 0, 0), White24());
  }
}

TEST(BackgroundTexture, AGraphicIsTiledWhateverTheMode) {
  auto Tile = Numbered(3, 2);
  auto B = White(100, 100);
  TRect R{2, 1, 100, 100};
  TsMaskData None;
  PaintTexture(B.get(), R, Tile.get(), 4, None);
  EXPECT_EQ(R, acNoRect);
  EXPECT_EQ(bmptest::At(*B, 2, 1), NumberedAt(0, 0));
  EXPECT_EQ(bmptest::At(*B, 99, 99), NumberedAt((99 - 2) % 3, (99 - 1) % 2));
  EXPECT_EQ(bmptest::At(*B, 1, 1), White24());
  EXPECT_EQ(bmptest::At(*B, 50, 0), White24());
  // An empty graphic falls back to the record (none here): nothing.
  TBitmap Empty;
  TRect R2{0, 0, 5, 5};
  auto C = White(5, 5);
  PaintTexture(C.get(), R2, &Empty, 0, None);
  EXPECT_EQ(R2, (TRect{0, 0, 5, 5}));
}

TEST(BackgroundTexture, TileGraphicDrawsJpegPictures) {
  std::vector<Byte> Rgb(8 * 8 * 3);
  for (std::size_t I = 0; I < Rgb.size(); I += 3) Rgb[I] = 200, Rgb[I + 1] = 40, Rgb[I + 2] = 40;
  const std::vector<Byte> Data = jpegtest::EncodeJpeg(8, 8, 3, Rgb.data());
  TMemoryStream S;
  S.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
  S.SetPosition(0);
  TJPEGImage Jpeg;
  Jpeg.LoadFromStream(S);
  auto B = White(30, 30);
  TileGraphic(B->Canvas(), TRect{4, 4, 27, 27}, &Jpeg);
  for (auto [X, Y] : {std::pair{4, 4}, {12, 12}, {26, 26}, {20, 5}}) {
    const Px P = bmptest::At(*B, X, Y);
    EXPECT_NEAR(P[2], 200, 6) << X << "," << Y;
    EXPECT_NEAR(P[0], 40, 6) << X << "," << Y;
  }
  EXPECT_EQ(bmptest::At(*B, 3, 10), White24());
  EXPECT_EQ(bmptest::At(*B, 27, 10), White24());
  // Other graphic classes draw nothing.
  TIcon Icon;
  TileGraphic(B->Canvas(), TRect{0, 0, 3, 3}, &Icon);
  EXPECT_EQ(bmptest::At(*B, 0, 0), White24());
}

TEST(BackgroundTexture, MaskedTilesTakeKeyPixelsFromTheBackground) {
  TTestSkin Skin;
  const TsMaskData& T = Skin.Mask(Skin.Masked);
  auto B = White(9, 8);
  TRect R{1, 1, 9, 8};  // tiles of 3 x 4 from (1, 1); the last row of tiles is cut at 3 rows
  TCacheInfo CI;
  CI.FillColor = RGBc(0, 0, 255);
  PaintMaskedTexture(B.get(), R, CI, 0, T);
  EXPECT_EQ(R, acNoRect);
  const Px Blue = BGR(255, 0, 0), Face = BGR(50, 60, 70);
  EXPECT_EQ(bmptest::At(*B, 1, 1), Blue);
  EXPECT_EQ(bmptest::At(*B, 2, 1), Face);
  // White mask under frame pixel (2, 1): the target stays (almost) white.
  EXPECT_EQ(bmptest::At(*B, 3, 2), BGR(((255 - 50) * 255 + 50 * 256) >> 8, ((255 - 60) * 255 + 60 * 256) >> 8,
                                       ((255 - 70) * 255 + 70 * 256) >> 8));
  EXPECT_EQ(bmptest::At(*B, 4, 5), Blue);
  EXPECT_EQ(bmptest::At(*B, 8, 7), Face);  // the last, partial tiles
  EXPECT_EQ(bmptest::At(*B, 0, 0), White24());

  // Mode 10: whole tiles, the remainders from the background picture.
  auto Cache = Numbered(40, 40);
  auto C = White(10, 10);
  TRect R10{0, 0, 10, 10};
  TCacheInfo Ready = MakeCacheInfo(Cache.get(), 2, 3);
  PaintMaskedTexture(C.get(), R10, Ready, 10, T);
  EXPECT_EQ(R10, acNoRect);
  EXPECT_EQ(bmptest::At(*C, 0, 0), NumberedAt(2, 3));  // key pixel: the picture under it
  EXPECT_EQ(bmptest::At(*C, 1, 0), Face);
  EXPECT_EQ(bmptest::At(*C, 9, 0), NumberedAt(11, 3));  // right strip from x 9
  EXPECT_EQ(bmptest::At(*C, 0, 9), NumberedAt(2, 12));  // bottom strip from y 8
  // Without a picture the strips take the fill colour.
  auto D = White(10, 10);
  TRect RD{0, 0, 10, 10};
  PaintMaskedTexture(D.get(), RD, CI, 10, T);
  EXPECT_EQ(bmptest::At(*D, 9, 0), Blue);
  EXPECT_EQ(bmptest::At(*D, 0, 9), Blue);
  // Other modes paint nothing.
  auto E = White(10, 10);
  TRect RE{0, 0, 10, 10};
  PaintMaskedTexture(E.get(), RE, CI, 5, T);
  EXPECT_EQ(RE, (TRect{0, 0, 10, 10}));
  EXPECT_EQ(ColoursIn(*E, TRect{0, 0, 10, 10}).size(), 1u);
}

TEST(BackgroundTexture, HugeRectanglesPaintOnlyWhatTheBitmapShows) {
  TTestSkin Skin;
  auto Tile = Numbered(3, 2);
  auto Cache = Numbered(40, 40);
  const TRect Huge{-1000000, -1000000, 1000000, 1000000};
  for (int Mode : {0, 1, 4, 10}) {
    auto B = White(16, 16);
    TRect R = Huge;
    PaintTexture(B.get(), R, nullptr, Mode, Skin.Mask(Skin.Texture));
    if (Mode != 4) {  // mode 4: its band is far above
      EXPECT_NE(bmptest::At(*B, 8, 8), White24()) << Mode;
    }
    TRect RM = Huge;
    PaintMaskedTexture(B.get(), RM, MakeCacheInfo(Cache.get()), Mode, Skin.Mask(Skin.Masked));
    TRect RG = Huge;
    PaintTexture(B.get(), RG, Tile.get(), Mode, Skin.Mask(Skin.Texture));
    EXPECT_EQ(bmptest::At(*B, 8, 8), NumberedAt((8 + 1000000) % 3, (8 + 1000000) % 2)) << Mode;
  }
}

// ---- Text ---------------------------------------------------------------------------------------------


TEST(BackgroundText, SectionTextDrawsContoursInTheirColours) {
  TTestSkin Skin;
  const int I = Skin.M->GetSectionIndex("TEXT");
  ASSERT_GE(I, 0);
  TsGeneralData& S = Skin.Section("TEXT");
  const COLORREF Black = RGB(0, 0, 0), Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255), Wh = RGB(255, 255, 255);
  S.FontColor[0] = 0;
  S.HotFontColor[0] = RGBc(0, 0, 255);
  auto B = TextBitmap();
  TRect R{10, 5, 110, 25};
  DrawSectionText(B->Canvas(), L"Channels", true, R, DT_LEFT | DT_SINGLELINE, I, false);
  EXPECT_EQ(ColoursIn(*B, TRect{0, 0, 120, 30}), (std::set<COLORREF>{Black, Wh}));

  S.FontColor[1] = RGBc(255, 0, 0);  // left contour
  auto C = TextBitmap();
  DrawSectionText(C->Canvas(), L"Channels", true, R, DT_LEFT | DT_SINGLELINE, I, false);
  EXPECT_EQ(ColoursIn(*C, TRect{0, 0, 120, 30}), (std::set<COLORREF>{Black, Red, Wh}));
  // The left contour lies one pixel left of the leftmost text pixel.
  int FirstRed = 999, FirstBlack = 999;
  for (int X = 0; X < 120; ++X)
    for (int Y = 0; Y < 30; ++Y) {
      const Px P = bmptest::At(*C, X, Y);
      if (RGB(P[2], P[1], P[0]) == Red) FirstRed = std::min(FirstRed, X);
      if (RGB(P[2], P[1], P[0]) == Black) FirstBlack = std::min(FirstBlack, X);
    }
  EXPECT_EQ(FirstRed + 1, FirstBlack);

  // Hot: the hot colours (no hot contours set).
  auto H = TextBitmap();
  DrawSectionText(H->Canvas(), L"Channels", true, R, DT_LEFT | DT_SINGLELINE, I, true);
  EXPECT_EQ(ColoursIn(*H, TRect{0, 0, 120, 30}), (std::set<COLORREF>{Blue, Wh}));
  // Disabled: the font colour mixed with the section colour, 40 % : 60 %.
  auto D = TextBitmap();
  DrawSectionText(D->Canvas(), L"Channels", false, R, DT_LEFT | DT_SINGLELINE, I, false);
  EXPECT_EQ(ColoursIn(*D, TRect{0, 0, 120, 30}), (std::set<COLORREF>{RGB(153, 153, 153), Wh}));
  // Nothing for an unknown section or no text.
  auto N = TextBitmap();
  DrawSectionText(N->Canvas(), L"Channels", true, R, 0, 999, false);
  DrawSectionText(N->Canvas(), nullptr, true, R, 0, I, false);
  EXPECT_EQ(ColoursIn(*N, TRect{0, 0, 120, 30}).size(), 1u);
}

TEST(BackgroundText, CaptionTextUsesTheOwnersFontClipsAndUnderlinesHotWebButtons) {
  TTestSkin Skin;
  auto Owner = std::make_unique<TPlainChild>(nullptr);
  Owner->Font()->SetName("MS Sans Serif");
  Owner->Font()->SetColor(clGreen);
  TsCommonData Data(Owner.get());
  Data.SetSkinManager(Skin.M.get());
  Data.SetSkinSection("WEBBUTTON");
  ASSERT_TRUE(Skin.M->IsValidSectionIndex(Data.SectionIndex));
  Skin.Section("WEBBUTTON").FontColor[0] = RGBc(0, 0, 255);
  Skin.Section("WEBBUTTON").HotFontColor[0] = RGBc(0, 0, 255);

  auto B = TextBitmap();
  TRect R{0, 0, 12, 30};
  DrawCaptionText(B->Canvas(), L"Channels and more", true, R, DT_LEFT | DT_SINGLELINE, &Data, true);
  EXPECT_TRUE(B->Canvas()->Font()->Style().Contains(fsUnderline));
  EXPECT_EQ(B->Canvas()->Font()->Name(), "MS Sans Serif");
  // Blue text, clipped to R.
  EXPECT_TRUE(ColoursIn(*B, TRect{0, 0, 12, 30}).count(RGB(0, 0, 255)));
  EXPECT_EQ(ColoursIn(*B, TRect{12, 0, 120, 30}).size(), 1u);
  // The canvas goes on drawing in its own state after the call.
  B->Canvas()->Font()->SetColor(clRed);
  B->Canvas()->Brush()->SetStyle(bsClear);
  B->Canvas()->TextOut(40, 5, L"Next");
  EXPECT_TRUE(ColoursIn(*B, TRect{40, 0, 120, 30}).count(RGB(255, 0, 0)));

  // CustomFont keeps the control's font colour; not hot: no underline.
  Data.SetCustomFont(true);
  auto C = TextBitmap();
  TRect R2{0, 0, 120, 30};
  DrawCaptionText(C->Canvas(), L"Channels", true, R2, DT_LEFT | DT_SINGLELINE, &Data, false);
  EXPECT_FALSE(C->Canvas()->Font()->Style().Contains(fsUnderline));
  EXPECT_EQ(ColoursIn(*C, TRect{0, 0, 120, 30}), (std::set<COLORREF>{RGB(0, 128, 0), RGB(255, 255, 255)}));
  // Disabled: mixed with the skin's global colour.
  Data.SetCustomFont(false);
  auto D = TextBitmap();
  DrawCaptionText(D->Canvas(), L"Channels", false, R2, DT_LEFT | DT_SINGLELINE, &Data, false);
  const TColor Mixed = MixColorsLinear(RGBc(0, 0, 255), 0xB0C0D0, 0.4);
  EXPECT_TRUE(ColoursIn(*D, TRect{0, 0, 120, 30}).count(static_cast<COLORREF>(Mixed)));
  // No text: nothing, and the DC's clipping is given back.
  auto E = TextBitmap();
  TRect R3{0, 0, 5, 5};
  DrawCaptionText(E->Canvas(), nullptr, true, R3, 0, &Data, false);
  RECT Box;
  GetClipBox(E->Canvas()->Handle(), &Box);
  EXPECT_EQ(Box.right, 120);
}

TEST(BackgroundText, CutTextToWidthMeasuresWithTheCanvasFont) {
  auto B = TextBitmap();
  const int Full = GetTextWidth(B->Canvas(), WideString(L"Channel list"));
  WideString Cut;
  CutTextToWidth(B->Canvas(), WideString(L"Channel list"), Full - 1, Cut);
  ASSERT_GE(Cut.size(), 4u);
  EXPECT_EQ(Cut.substr(Cut.size() - 3), L"...");
  EXPECT_LE(B->Canvas()->TextWidth(Cut), Full - 1);
}

TEST(BackgroundClip, ExcludeGraphicControlsLeavesSplittersAndHiddenOnes) {
  auto Form = std::make_unique<TForm>(nullptr);
  auto* Dot = new TDot(Form.get());
  Dot->SetParent(Form.get());
  Dot->SetBounds(2, 2, 3, 3);
  auto* Hidden = new TDot(Form.get());
  Hidden->SetParent(Form.get());
  Hidden->SetBounds(10, 2, 3, 3);
  Hidden->SetVisible(false);
  auto* Split = new TsSplitter(Form.get());
  Split->SetParent(Form.get());
  Split->SetBounds(20, 2, 3, 3);
  auto B = White(30, 10);
  HDC DC = B->Canvas()->Handle();
  const int Saved = SaveDC(DC);
  ExcludeGraphicControls(DC, Form.get(), 1, 0);
  FillRectSolid(DC, TRect{0, 0, 30, 10}, clBlack);
  RestoreDC(DC, Saved);
  EXPECT_EQ(bmptest::At(*B, 3, 3), White24());  // the dot, moved one to the right
  EXPECT_EQ(bmptest::At(*B, 2, 3), BGR(0, 0, 0));
  EXPECT_EQ(bmptest::At(*B, 11, 3), BGR(0, 0, 0));
  EXPECT_EQ(bmptest::At(*B, 21, 3), BGR(0, 0, 0));
}
