// The form skin provider on a real form with the program's own dark skin: metrics, window region,
// the painted form image (title, caption text, icon, frame, caption buttons) as the screen shows
// it, caption-button states and user buttons, and the component's life on the form.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_core/skinpack_builder.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

std::string SkinFolder() {
  const char* Data = std::getenv("TV_TEST_DATA");
  std::string Dir = std::string(Data != nullptr ? Data : "tests/data") + "/../../app/res/skin/";
  // A path of the host's file system is reached through drive Z:.
  if (!Dir.empty() && Dir[0] == '/') Dir = "Z:" + Dir;
  for (char& C : Dir)
    if (C == '/') C = '\\';
  return Dir;
}

// 0x00BBGGRR skin colour as the screen reports it.
COLORREF Rgb(int SkinColor) { return static_cast<COLORREF>(SkinColor) & 0xFFFFFF; }

bool Between(int V, int A, int B) { return V >= std::min(A, B) && V <= std::max(A, B); }

// Every channel of C lies between those of A and B.
bool ColorBetween(COLORREF C, COLORREF A, COLORREF B) {
  return Between(GetRValue(C), GetRValue(A), GetRValue(B)) && Between(GetGValue(C), GetGValue(A), GetGValue(B)) &&
         Between(GetBValue(C), GetBValue(A), GetBValue(B));
}

// The whole window as the screen shows it (window coordinates).
struct TWindowShot {
  explicit TWindowShot(HWND W) {
    RECT R;
    GetWindowRect(W, &R);
    HDC DC = GetWindowDC(W);
    Shot = std::make_unique<uitest::TCapture>(DC, TRect{0, 0, R.right - R.left, R.bottom - R.top});
    ReleaseDC(W, DC);
  }
  COLORREF Pixel(int X, int Y) const { return Shot->Pixel(X, Y); }
  std::unique_ptr<uitest::TCapture> Shot;
};

COLORREF BmpPixel(TBitmap* B, int X, int Y) { return GetPixel(B->Canvas()->Handle(), X, Y) & 0xFFFFFF; }

class ProvaProvider : public ::testing::Test {
 protected:
  void SetUp() override {
    sSkinProviderInstall();
    Manager = std::make_unique<TsSkinManager>(nullptr);
    Manager->SetAllowGlowing(false);
    Manager->SetSkinDirectory(SkinFolder());
    Manager->SetSkinName("DefaultBlack");
    ASSERT_TRUE(Manager->SkinActive());
  }
  void TearDown() override {
    delete Form;
    Form = nullptr;
    Manager.reset();
  }
  // A shown sizeable form with a provider.
  TsSkinProvider* MakeForm(TFormBorderStyle Style = bsSizeable, bool Show = true) {
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBorderStyle(Style);
    Form->SetPosition(poDesigned);
    Form->SetBoundsRect(Bounds(60, 60, 360, 240));
    Form->SetText(WideString(L"Skinned form"));
    Form->Handle();
    Provider = new TsSkinProvider(Form);
    if (Show) uitest::ShowSettled(Form);
    return Provider;
  }
  void Repaint() {
    Provider->RefreshNonClient();
    RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    uitest::Settle(Form->Handle());
  }
  const TsMaskData& Mask(int Index) { return Manager->Masks()[static_cast<std::size_t>(Index)]; }
  int GlobalMask(const char* Name) {
    return Manager->GetMaskIndex(Manager->GetSectionIndex("GLOBALINFO"), "GLOBALINFO", Name);
  }
  // The screen pixel of a caption button image at (X, Y) of state frame State, when the image's
  // mask says the pixel is opaque there; -1 otherwise.
  long OpaqueImagePixel(int ImageIndex, int State, int X, int Y) {
    const TsMaskData& M = Mask(ImageIndex);
    TBitmap* Master = Manager->MasterBitmap();
    const int FW = MaskFrameWidth(M), FH = MaskFrameHeight(M);
    const int SX = M.R.Left + State * FW + X, SY = M.R.Top + Y;
    if (BmpPixel(Master, SX, SY + FH) != 0) return -1;
    return static_cast<long>(BmpPixel(Master, SX, SY));
  }

  std::unique_ptr<TsSkinManager> Manager;
  TForm* Form = nullptr;
  TsSkinProvider* Provider = nullptr;
};

}  // namespace

// ---- metrics -------------------------------------------------------------------------------------

TEST_F(ProvaProvider, MeasuresTheSystemFrameAndCaptionWithoutABorderWindow) {
  MakeForm();
  HWND H = Form->Handle();
  ASSERT_EQ(Provider->BorderForm, nullptr);  // the skin asks for no extended borders
  // The skin's BORDERWIDTH 4 and TITLEHEIGHT 26 are reached only through a border window.
  EXPECT_EQ(FormBorderWidth(H, nullptr, true), GetSystemMetrics(SM_CXSIZEFRAME));
  EXPECT_EQ(Provider->CaptionHeight(true), GetSystemMetrics(SM_CYCAPTION));
  EXPECT_EQ(SkinTitleHeight(nullptr), 0);
  RECT WR, CR;
  GetWindowRect(H, &WR);
  GetClientRect(H, &CR);
  const int WW = WR.right - WR.left, WH = WR.bottom - WR.top;
  EXPECT_EQ(Provider->OffsetX(), (WW - CR.right) / 2);
  EXPECT_EQ(Provider->OffsetY(), WH - CR.bottom - GetSystemMetrics(SM_CXSIZEFRAME));
  EXPECT_EQ(Provider->FullWidth(), WW);
  EXPECT_EQ(Provider->ExtBorderMargins(), TRect{});
  // The client area seen from the screen sits where the offsets say.
  POINT P{0, 0};
  ClientToScreen(H, &P);
  EXPECT_EQ(P.x - WR.left, Provider->OffsetX());
  EXPECT_EQ(P.y - WR.top, Provider->OffsetY());
  EXPECT_EQ(Provider->TitleBandHeight(), Provider->OffsetY());
  // The link the skin core measures through answers the same.
  EXPECT_EQ(acProviderLink.ClientOffset(Provider), (TPoint{Provider->OffsetX(), Provider->OffsetY()}));
}

TEST_F(ProvaProvider, ToolWindowsUseTheSmallCaptionAndTheSmallButtonSet) {
  MakeForm(bsToolWindow);
  EXPECT_EQ(Provider->CaptionHeight(true), GetSystemMetrics(SM_CYSMCAPTION));
  EXPECT_FALSE(Provider->UsesBigButtons());
  EXPECT_EQ(Provider->ButtonClose.ImageIndex, GlobalMask("SICONCLOSE"));
  EXPECT_FALSE(Provider->ButtonClose.HaveAlignment);
  EXPECT_EQ(Provider->CaptionButtonWidth(&Provider->ButtonClose), 18);  // 54 / 3
  // No icon in a tool window's caption.
  EXPECT_EQ(Provider->TitleIconWidth(), 0);
}

TEST_F(ProvaProvider, CaptionButtonImagesMeasureOneStateImageOfTheirEntry) {
  // Skinned forms and skinned system dialogs size their caption buttons through this one measure.
  auto Add = [&](TRect R, int ImageCount, int MaskType, int BmpWidth = 0, int BmpHeight = 0) {
    TsMaskData M;
    M.R = R;
    M.ImageCount = static_cast<std::int16_t>(ImageCount);
    M.MaskType = static_cast<std::int16_t>(MaskType);
    if (BmpWidth > 0) {
      M.Bmp.reset(new TBitmap);
      M.Bmp->SetSize(BmpWidth, BmpHeight);
    }
    Manager->Masks().push_back(std::move(M));
    return static_cast<int>(Manager->Masks().size()) - 1;
  };
  // A part of the master picture: its width by the image count, its height by the mask rows.
  EXPECT_EQ(CaptionButtonImageSize(Manager.get(), Add(TRect{0, 0, 60, 42}, 3, 1)), (TSize{20, 21}));
  EXPECT_EQ(CaptionButtonImageSize(Manager.get(), Add(TRect{0, 0, 60, 42}, 3, 0)), (TSize{20, 42}));
  // An entry of its own bitmap: the bitmap's width by the image count (all of it without one) and
  // half its height.
  EXPECT_EQ(CaptionButtonImageSize(Manager.get(), Add(TRect{0, 0, 90, 40}, 3, 0, 90, 40)), (TSize{30, 20}));
  EXPECT_EQ(CaptionButtonImageSize(Manager.get(), Add(TRect{0, 0, 90, 40}, 0, 0, 90, 40)), (TSize{90, 20}));
  // An entry without mask rows has no height (no division by zero).
  EXPECT_EQ(CaptionButtonImageSize(Manager.get(), Add(TRect{0, 0, 60, 42}, 3, -1)), (TSize{20, 0}));
  // No entry: the standard 21 x 21.
  EXPECT_EQ(CaptionButtonImageSize(Manager.get(), -1), (TSize{21, 21}));
  EXPECT_EQ(CaptionButtonImageSize(Manager.get(), static_cast<int>(Manager->Masks().size())), (TSize{21, 21}));
  EXPECT_EQ(CaptionButtonImageSize(nullptr, 0), (TSize{21, 21}));
  // The provider's own queries go through it.
  MakeForm(bsSizeable, false);
  const TSize Close = CaptionButtonImageSize(Manager.get(), Provider->ButtonClose.ImageIndex);
  EXPECT_EQ(Provider->CaptionButtonWidth(&Provider->ButtonClose), Close.cx);
  EXPECT_EQ(Provider->CaptionButtonHeight(), Close.cy);
}

TEST_F(ProvaProvider, BorderlessFormsHaveNoCaptionUnlessIconic) {
  MakeForm(bsNone, false);
  EXPECT_FALSE(Provider->HasBorder());
  EXPECT_EQ(Provider->CaptionHeight(true), 0);
  EXPECT_EQ(TitleIconSize(8), 1);
  EXPECT_EQ(TitleIconSize(9), 8);
  EXPECT_EQ(TitleIconSize(16), 8);
  EXPECT_EQ(TitleIconSize(17), 16);
  EXPECT_EQ(TitleIconSize(-100), 1);
}

// ---- region ----------------------------------------------------------------------------------------

TEST_F(ProvaProvider, TheWindowRegionCutsTheFramesKeyColouredCorners) {
  MakeForm();
  HWND H = Form->Handle();
  Provider->FillRgnRects();
  ASSERT_FALSE(Provider->RgnRects.empty());  // the skin's frame has rounded corners
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(H, Rgn), ERROR);
  const int W = Form->Width(), Hh = Form->Height();
  EXPECT_FALSE(PtInRegion(Rgn, 0, 0));
  EXPECT_FALSE(PtInRegion(Rgn, W - 1, 0));
  EXPECT_FALSE(PtInRegion(Rgn, 0, Hh - 1));
  EXPECT_FALSE(PtInRegion(Rgn, W - 1, Hh - 1));
  EXPECT_TRUE(PtInRegion(Rgn, W / 2, 1));
  EXPECT_TRUE(PtInRegion(Rgn, W / 2, Hh / 2));
  EXPECT_TRUE(PtInRegion(Rgn, 0, Hh / 2));
  DeleteObject(Rgn);
  // Every cut-out lies in a corner.
  for (const TRect& R : Provider->RgnRects) {
    EXPECT_TRUE(R.Left < 8 || R.Right > W - 8) << R.Left << "," << R.Top;
    EXPECT_TRUE(R.Top < 8 || R.Bottom > Hh - 8) << R.Left << "," << R.Top;
  }
  // The region the link hands out is the same shape.
  HRGN Own = acProviderLink.CreateFormRgn(Provider);
  EXPECT_FALSE(PtInRegion(Own, 0, 0));
  EXPECT_TRUE(PtInRegion(Own, W / 2, Hh / 2));
  DeleteObject(Own);
}

TEST_F(ProvaProvider, TurningTheNonClientPaintingOffGivesTheWindowBack) {
  MakeForm();
  HWND H = Form->Handle();
  ASSERT_TRUE(Provider->SysMenuStyleChanged);
  EXPECT_EQ(GetWindowLongW(H, GWL_STYLE) & WS_SYSMENU, 0);
  Provider->SetDrawNonClientArea(false);
  EXPECT_NE(GetWindowLongW(H, GWL_STYLE) & WS_SYSMENU, 0);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(H, Rgn), ERROR);  // no region any more
  DeleteObject(Rgn);
}

// ---- the painted form ------------------------------------------------------------------------------

TEST_F(ProvaProvider, PaintsTitleFrameCaptionTextAndIconInTheSkinsColours) {
  MakeForm();
  Repaint();
  HWND H = Form->Handle();
  TWindowShot Shot(H);
  Shot.Shot->MaybeSave("prova_form_active");
  TBitmap* Image = Provider->SkinData()->CacheBmp();
  ASSERT_NE(Image, nullptr);
  ASSERT_EQ(Image->Width(), Form->Width());
  ASSERT_EQ(Image->Height(), Form->Height());

  // The screen shows the form image in the non-client strips.
  const int F = FormBorderWidth(H, nullptr, true);
  const int Top = Provider->TitleBandHeight();
  for (int Y = 2; Y < Top; Y += 3)
    for (int X = 10; X < Form->Width() - 10; X += 7) ASSERT_EQ(Shot.Pixel(X, Y), BmpPixel(Image, X, Y)) << X << "," << Y;
  for (int Y = Top; Y < Form->Height() - 10; Y += 5) {
    ASSERT_EQ(Shot.Pixel(1, Y), BmpPixel(Image, 1, Y)) << Y;
    ASSERT_EQ(Shot.Pixel(Form->Width() - 2, Y), BmpPixel(Image, Form->Width() - 2, Y)) << Y;
  }
  // The frame is painted all round, also just below the title where the strip behind the caption
  // buttons ends.
  for (int Y = 0; Y < Form->Height(); ++Y)
    for (int X : {0, 1, Form->Width() - 2, Form->Width() - 1})
      if (Shot.Pixel(X, Y) == RGB(255, 255, 255)) ADD_FAILURE() << "white frame pixel at " << X << "," << Y;

  // Title: the active gradient of FORMTITLE (4275003 at the top, 3419951 at the bottom).
  const int Mid = (Provider->CaptionButtonsWidth() + Form->Width()) / 2 - Provider->CaptionButtonsWidth();
  const COLORREF TitlePx = Shot.Pixel(Mid, Top / 2);
  EXPECT_TRUE(ColorBetween(TitlePx, Rgb(4275003), Rgb(3419951))) << std::hex << TitlePx;

  // Caption text in the title's hot font colour, to the right of the icon.
  const TRect Icon = Provider->TitleIconRect();
  EXPECT_GT(Icon.Width(), 0);
  const TRect TextArea{Icon.Right + 2, 2, Form->Width() / 2, Top - 1};
  int TextPixels = 0;
  for (int Y = TextArea.Top; Y < TextArea.Bottom; ++Y)
    for (int X = TextArea.Left; X < TextArea.Right; ++X)
      if (Shot.Pixel(X, Y) == Rgb(15263462)) ++TextPixels;
  EXPECT_GT(TextPixels, 20);
  // ... and none beyond the caption buttons' left edge.
  const int ButtonsLeft = Provider->ButtonMin.Rect.Left;
  for (int Y = 2; Y < Top - 1; ++Y)
    for (int X = ButtonsLeft - 4; X < ButtonsLeft; ++X) EXPECT_NE(Shot.Pixel(X, Y), Rgb(15263462));

  // The icon is drawn: its rectangle is not the plain title gradient everywhere.
  int IconPixels = 0;
  for (int Y = Icon.Top; Y < Icon.Bottom; ++Y)
    for (int X = Icon.Left; X < Icon.Right; ++X)
      if (!ColorBetween(Shot.Pixel(X, Y), Rgb(4275003), Rgb(3419951))) ++IconPixels;
  EXPECT_GT(IconPixels, 10);

  // Frame: the left side of the active frame comes from the FORM border mask's second state.
  const TsMaskData& Border = Mask(Provider->SkinData()->BorderMaskIndex);
  const int FW = MaskFrameWidth(Border), FH = MaskFrameHeight(Border);
  TBitmap* Master = Manager->MasterBitmap();
  const int SY = Border.R.Top + Border.WT;
  for (int X = 0; X < F; ++X) {
    const int SX = Border.R.Left + FW + X;
    if (BmpPixel(Master, SX, SY + FH) != 0) continue;  // not opaque in the mask
    EXPECT_EQ(Shot.Pixel(X, Form->Height() / 2), BmpPixel(Master, SX, SY)) << X;
  }

  // The client area keeps the form colour.
  RECT CR;
  GetClientRect(H, &CR);
  uitest::TCapture Client(H);
  EXPECT_EQ(Client.Pixel(CR.right / 2, CR.bottom / 2), Rgb(3222829));
}

TEST_F(ProvaProvider, AnInactiveFormTakesTheInactiveTitleColours) {
  MakeForm();
  Provider->FormActive = false;
  Repaint();
  Provider->FormActive = false;
  Provider->RedrawNonClient();
  TWindowShot Shot(Form->Handle());
  Shot.Shot->MaybeSave("prova_form_inactive");
  const int Top = Provider->TitleBandHeight();
  const int X = Form->Width() / 2 + 20;
  EXPECT_TRUE(ColorBetween(Shot.Pixel(X, Top / 2), Rgb(3617587), Rgb(3222829))) << std::hex << Shot.Pixel(X, Top / 2);
}

TEST_F(ProvaProvider, CenteredCaptionMovesTheTextToTheMiddle) {
  MakeForm();
  Provider->SetCaptionAlignment(taCenter);
  Repaint();
  TWindowShot Shot(Form->Handle());
  const int Top = Provider->TitleBandHeight();
  int MinX = 10000, MaxX = -1;
  for (int Y = 2; Y < Top - 1; ++Y)
    for (int X = 0; X < Form->Width(); ++X)
      if (Shot.Pixel(X, Y) == Rgb(15263462)) {
        MinX = std::min(MinX, X);
        MaxX = std::max(MaxX, X);
      }
  ASSERT_GE(MaxX, 0);
  // Centred inside the band between the icon and the buttons.
  const int Left = Provider->TitleIconRect().Right + 4, Right = Form->Width() - Provider->CaptionButtonsWidth() - 6;
  EXPECT_LE(std::abs((MinX + MaxX) / 2 - (Left + Right) / 2), 6);
}

// ---- caption buttons -------------------------------------------------------------------------------

TEST_F(ProvaProvider, CaptionButtonsStayInsideTheFormWhateverTheSkinSays) {
  // The program's own skin with caption-button spacing and margin no real skin has, as a pack of
  // its own: its forms paint without an error, and the band of caption buttons (and the strip
  // saved behind it) lies inside the form, also on a narrow one.
  std::ifstream In(SkinFolder() + "DefaultBlack.asz", std::ios::binary);
  const std::string Pack{std::istreambuf_iterator<char>(In), {}};
  std::vector<skinpack_builder::TPackFile> Files;
  for (const TacPackEntry& F : UnpackSkinPack(Pack.data(), Pack.size())) {
    std::string Data(F.Data.begin(), F.Data.end());
    if (IsOptionsFileName(F.Name)) {
      const std::size_t Line = Data.find('\n', Data.find("[GLOBALINFO]"));
      ASSERT_NE(Line, std::string::npos);
      Data.insert(Line + 1, "BISPACE=32767\r\nBIRIGHT=-32768\r\n");
    }
    Files.push_back({F.Name, Data});
  }
  const AnsiString Dir = AppDirectory() + "prova_wide_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(Dir.c_str(), nullptr);
  ASSERT_TRUE(uitest::WriteFileBytes(Dir + "Wide.asz", skinpack_builder::BuildPack(Files)));
  Manager->SetSkinDirectory(Dir);
  Manager->SetSkinName("Wide");
  DeleteFileA((Dir + "Wide.asz").c_str());
  RemoveDirectoryA(Dir.c_str());
  ASSERT_TRUE(Manager->SkinActive());
  EXPECT_EQ(Manager->SkinData()->BISpace, 255);
  EXPECT_EQ(Manager->SkinData()->BIRight, -255);

  int Errors = 0;
  std::string First;
  Application->OnException = [&](TObject*, Exception& E) {
    if (Errors++ == 0) First = E.Message;
  };
  MakeForm();
  Repaint();
  for (int Width : {360, 150, 60}) {
    Form->SetWidth(Width);
    Repaint();
    EXPECT_LE(Provider->CaptionButtonsWidth(), Provider->FullWidth()) << Width;
    ASSERT_TRUE(Provider->TitleButtonsBg);
    EXPECT_LE(Provider->TitleButtonsBg->Width(), Provider->FullWidth()) << Width;
    uitest::SaveScreenshot(Form->Handle(), ("wide_skin_" + std::to_string(Width)).c_str());
  }
  Application->OnException = nullptr;
  EXPECT_EQ(Errors, 0) << First;
}

TEST_F(ProvaProvider, CaptionButtonsAreLaidOutFromTheRightEdge) {
  MakeForm();
  Repaint();
  HWND H = Form->Handle();
  const int F = FormBorderWidth(H, nullptr, true);
  const TsSkinData& SD = *Manager->SkinData();
  ASSERT_EQ(Provider->SysButtonCount(), 3);
  const TRect C = Provider->ButtonClose.Rect, X = Provider->ButtonMax.Rect, N = Provider->ButtonMin.Rect;
  EXPECT_EQ(C.Right, Form->Width() - SD.BIRight - F);
  EXPECT_EQ(C.Width(), 30);  // 90 / 3 frames
  EXPECT_EQ(C.Height(), 20);  // 40 / (mask type 1 + 1)
  EXPECT_EQ(X.Right, C.Left - SD.BISpace);
  EXPECT_EQ(X.Width(), 28);
  EXPECT_EQ(N.Right, X.Left - SD.BISpace);
  EXPECT_EQ(Provider->CaptionButtonsWidth(), SD.BIRight + 30 + 28 + SD.BISpace + 28 + SD.BISpace);
  // Vertically centred in the caption band.
  EXPECT_EQ(C.Top, (F + Provider->CaptionHeight(true) - 20) / 2);
  // Each button answers its own hit code; the caption beside them none.
  EXPECT_EQ(Provider->CaptionButtonAt(TPoint{C.Left + 3, C.Top + 3}), HTCLOSE);
  EXPECT_EQ(Provider->CaptionButtonAt(TPoint{X.Left + 3, X.Top + 3}), HTMAXBUTTON);
  EXPECT_EQ(Provider->CaptionButtonAt(TPoint{N.Left + 3, N.Top + 3}), HTMINBUTTON);
  EXPECT_EQ(Provider->CaptionButtonAt(TPoint{20, 3}), 0);
  EXPECT_EQ(Provider->ButtonByCode(HTCLOSE), &Provider->ButtonClose);
  EXPECT_EQ(Provider->ButtonByCode(5), nullptr);

  // The screen shows the close image's normal frame where its mask is opaque.
  TWindowShot Shot(H);
  int Compared = 0;
  for (int Y = 0; Y < 20; ++Y)
    for (int XX = 0; XX < 30; ++XX) {
      const long Want = OpaqueImagePixel(Provider->ButtonClose.ImageIndex, 0, XX, Y);
      if (Want < 0) continue;
      ++Compared;
      ASSERT_EQ(Shot.Pixel(C.Left + XX, C.Top + Y), static_cast<COLORREF>(Want)) << XX << "," << Y;
    }
  EXPECT_GT(Compared, 10);  // the glyph's solid strokes
}

TEST_F(ProvaProvider, HotAndPressedButtonsShowTheirStateFrames) {
  MakeForm();
  Repaint();
  HWND H = Form->Handle();
  const TRect C = Provider->ButtonClose.Rect;
  auto Matches = [&](int State) {
    TWindowShot Shot(H);
    int Bad = 0, Compared = 0;
    for (int Y = 0; Y < C.Height(); ++Y)
      for (int X = 0; X < C.Width(); ++X) {
        const long Want = OpaqueImagePixel(Provider->ButtonClose.ImageIndex, State, X, Y);
        if (Want < 0) continue;
        ++Compared;
        if (Shot.Pixel(C.Left + X, C.Top + Y) != static_cast<COLORREF>(Want)) ++Bad;
      }
    return Compared > 10 && Bad == 0;
  };
  ASSERT_TRUE(Matches(0));
  Provider->SetHotButton(HTCLOSE, true);
  EXPECT_EQ(Provider->CurrentHT, HTCLOSE);
  EXPECT_EQ(Provider->ButtonClose.State, 1);
  EXPECT_TRUE(Matches(1));
  TWindowShot Hot(H);
  Hot.Shot->MaybeSave("prova_close_hot");
  Provider->SetPressedButton(HTCLOSE);
  EXPECT_EQ(Provider->ButtonClose.State, 2);
  EXPECT_TRUE(Matches(2));
  // Another button becoming hot returns the close button to normal.
  Provider->SetHotButton(HTMAXBUTTON, true);
  EXPECT_EQ(Provider->ButtonClose.State, 0);
  EXPECT_EQ(Provider->ButtonMax.State, 1);
  EXPECT_TRUE(Matches(0));
  // The maximize button next to it is untouched by the close button's repaint.
  Provider->SetHotButton(0, true);
  EXPECT_EQ(Provider->ButtonMax.State, 0);
}

TEST_F(ProvaProvider, UserTitleButtonsSitLeftOfTheSystemButtonsWithTheirGlyphs) {
  MakeForm(bsSizeable, false);
  TsTitleButton* B = Provider->TitleButtons()->Add();
  TBitmap Glyph(12, 12, pf24bit);
  Glyph.Canvas()->Brush()->SetColor(static_cast<TColor>(0x00FF00));
  Glyph.Canvas()->FillRect(TRect{0, 0, 12, 12});
  SetPixel(Glyph.Canvas()->Handle(), 0, 11, RGB(255, 0, 255));  // the key colour: bottom-left pixel
  B->SetGlyph(&Glyph);
  TsTitleButton* Hidden = Provider->TitleButtons()->Add();
  Hidden->SetVisible(false);
  uitest::ShowSettled(Form);
  Repaint();
  const TsSkinData& SD = *Manager->SkinData();
  const TRect R = B->BtnData.Rect;
  EXPECT_EQ(B->BtnData.HitCode, 1000);
  EXPECT_EQ(R.Right, Provider->ButtonMin.Rect.Left - SD.BISpace - 8);
  EXPECT_EQ(R.Width(), Provider->TitleButtonWidth(B));
  EXPECT_EQ(Hidden->BtnData.Rect, TRect{});
  EXPECT_EQ(Provider->CaptionButtonAt(TPoint{R.Left + 2, R.Top + 2}), 1000);
  EXPECT_EQ(Provider->ButtonByCode(1000), &B->BtnData);
  EXPECT_EQ(Provider->ButtonByCode(1002), nullptr);
  TWindowShot Shot(Form->Handle());
  Shot.Shot->MaybeSave("prova_user_button");
  const int CX = R.Left + R.Width() / 2, CY = R.Top + R.Height() / 2;
  EXPECT_EQ(Shot.Pixel(CX, CY), RGB(0, 255, 0));
  // A button without skin data draws only its glyph.
  B->SetUseSkinData(false);
  Repaint();
  EXPECT_EQ(B->BtnData.ImageIndex, -1);
}

TEST_F(ProvaProvider, AMaximizedFormShowsTheRestoreImage) {
  MakeForm();
  ShowWindow(Form->Handle(), SW_MAXIMIZE);
  uitest::Settle(Form->Handle());
  Repaint();
  EXPECT_TRUE(IsZoomed(Form->Handle()));
  TWindowShot Shot(Form->Handle());
  Shot.Shot->MaybeSave("prova_maximized");
  const int Norm = GlobalMask("BICONNORM");
  const TRect X = Provider->ButtonMax.Rect;
  int Compared = 0;
  for (int Y = 0; Y < X.Height(); ++Y)
    for (int XX = 0; XX < X.Width(); ++XX) {
      const long Want = OpaqueImagePixel(Norm, 0, XX, Y);
      if (Want < 0) continue;
      ++Compared;
      ASSERT_EQ(Shot.Pixel(X.Left + XX, X.Top + Y), static_cast<COLORREF>(Want)) << XX << "," << Y;
    }
  EXPECT_GT(Compared, 10);
  ShowWindow(Form->Handle(), SW_RESTORE);
  uitest::Settle(Form->Handle());
}

// ---- the component ---------------------------------------------------------------------------------

TEST_F(ProvaProvider, TheNewestProviderWinsAndADestroyedOneHandsTheFormBack) {
  MakeForm();
  TsSkinProvider* First = Provider;
  EXPECT_EQ(FormSkinProvider(Form), First);
  Provider = new TsSkinProvider(Form);  // the first one is freed
  int Count = 0;
  for (int I = 0; I < Form->ComponentCount(); ++I)
    if (dynamic_cast<TsSkinProvider*>(Form->Components(I)) != nullptr) ++Count;
  EXPECT_EQ(Count, 1);
  EXPECT_EQ(FormSkinProvider(Form), Provider);
  delete Provider;
  Provider = nullptr;
  EXPECT_EQ(FormSkinProvider(Form), nullptr);
  // Messages reach the form unskinned: Windows draws its own frame and caption again.
  SetWindowRgn(Form->Handle(), nullptr, TRUE);
  uitest::Settle(Form->Handle());
  EXPECT_FALSE(Form->Handle() == nullptr);
}

TEST_F(ProvaProvider, GlobalColourFollowsTheSkinUntilTurnedOff) {
  MakeForm();
  EXPECT_EQ(ColorToRGB(Form->Color()), Rgb(3222829));
  Provider->SetUseGlobalColor(false);
  EXPECT_EQ(Form->Color(), clBtnFace);
  EXPECT_EQ(Provider->TitleSkinIndex(), Manager->GetSectionIndex("FORMTITLE"));
}

// ---- extended borders ------------------------------------------------------------------------------

TEST_F(ProvaProvider, WithABorderWindowTheSkinsFrameAndTitleMeasureTheForm) {
  Manager->SetExtendedBorders(true);
  if (!Manager->ExtendedBorders()) GTEST_SKIP() << "no layered windows";
  MakeForm();
  ASSERT_NE(Provider->BorderForm, nullptr);
  HWND H = Form->Handle();
  const TsSkinData& SD = *Manager->SkinData();
  EXPECT_EQ(SkinFrameWidth(Provider->BorderForm), SD.BorderWidth);
  EXPECT_EQ(SkinTitleHeight(Provider->BorderForm), SD.TitleHeight);
  EXPECT_EQ(FormBorderWidth(H, Provider->BorderForm, true), SD.BorderWidth);
  EXPECT_EQ(FormBorderWidth(H, Provider->BorderForm, false), GetSystemMetrics(SM_CXSIZEFRAME));
  EXPECT_EQ(WindowFrameWidth(H, Provider->BorderForm, true), 0);
  EXPECT_EQ(Provider->CaptionHeight(true), SD.TitleHeight);
  EXPECT_EQ(Provider->CaptionHeight(false), GetSystemMetrics(SM_CYCAPTION));
  const TRect E = Provider->ExtBorderMargins();
  EXPECT_EQ(E, Manager->ShadowMargin());
  EXPECT_EQ(Provider->OffsetX(), SD.BorderWidth + E.Left);
  EXPECT_EQ(Provider->OffsetY(), SD.TitleHeight + E.Top);
  EXPECT_EQ(DiffBorder(Provider->BorderForm), SD.BorderWidth - GetSystemMetrics(SM_CXSIZEFRAME));
  // The form image covers the form, the skinned excess and the margins, in 32 bits.
  Repaint();
  uitest::PumpFor(100);
  {
    RECT WR;
    GetWindowRect(H, &WR);
    HDC Screen = GetDC(nullptr);
    uitest::TCapture Around(Screen, TRect{WR.left - 30, WR.top - 30, WR.right + 30, WR.bottom + 30});
    ReleaseDC(nullptr, Screen);
    Around.MaybeSave("prova_extended_borders");
  }
  TBitmap* Image = Provider->SkinData()->CacheBmp();
  ASSERT_NE(Image, nullptr);
  EXPECT_EQ(Image->PixelFormat(), pf32bit);
  EXPECT_EQ(Image->Width(), Form->Width() + 2 * DiffBorder(Provider->BorderForm) + E.Left + E.Right);
  // The window keeps only the part below the system caption and inside the system frame.
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(H, Rgn), ERROR);
  const int F = GetSystemMetrics(SM_CXSIZEFRAME);
  EXPECT_FALSE(PtInRegion(Rgn, Form->Width() / 2, 2));
  EXPECT_TRUE(PtInRegion(Rgn, F, F + GetSystemMetrics(SM_CYCAPTION)));
  DeleteObject(Rgn);
  // Turning the border window off gives a 24-bit image again.
  Provider->SetAllowExtBorders(false);
  EXPECT_EQ(Provider->BorderForm, nullptr);
  EXPECT_EQ(Provider->SkinData()->CacheBmp()->PixelFormat(), pf24bit);
}

TEST_F(ProvaProvider, TheSizeGripSitsInTheClientsBottomRightCorner) {
  MakeForm();
  Provider->SetGripMode(gmRightBottom);
  ASSERT_TRUE(Provider->GripVisible());
  Repaint();
  const int GI = Manager->GetSectionIndex("GLOBALINFO");
  const int Grip = Manager->GetMaskIndex(GI, "GLOBALINFO", "GRIPIMAGE");
  ASSERT_GE(Grip, 0);
  const TPoint P = Provider->GripRect();
  const int GW = MaskFrameWidth(Mask(Grip)), GH = MaskFrameHeight(Mask(Grip));
  // Inside the client area, touching its bottom-right corner.
  RECT CR;
  GetClientRect(Form->Handle(), &CR);
  const int F = FormBorderWidth(Form->Handle(), nullptr, true);
  EXPECT_EQ(P.X + GW, Form->Width() - F - 1);
  EXPECT_EQ(P.Y + GH, Form->Height() - F - 1);
  EXPECT_EQ(Form->Width() - F, Provider->OffsetX() + CR.right);
  // The screen shows the grip's opaque pixels there.
  TWindowShot Shot(Form->Handle());
  Shot.Shot->MaybeSave("prova_grip");
  int Compared = 0;
  for (int Y = 0; Y < GH; ++Y)
    for (int X = 0; X < GW; ++X) {
      const long Want = OpaqueImagePixel(Grip, 0, X, Y);
      if (Want < 0) continue;
      ++Compared;
      EXPECT_EQ(Shot.Pixel(P.X + X, P.Y + Y), static_cast<COLORREF>(Want)) << X << "," << Y;
    }
  EXPECT_GT(Compared, 0);
}

// ---- real input --------------------------------------------------------------------------------

TEST_F(ProvaProvider, ThePointerLightsTheCloseButtonAndAClickClosesTheForm) {
  MakeForm();
  Repaint();
  HWND H = Form->Handle();
  ASSERT_TRUE(realinput::BringToFront(H));
  const TRect C = Provider->ButtonClose.Rect;
  RECT WR;
  GetWindowRect(H, &WR);
  const POINT Over{WR.left + C.Left + C.Width() / 2, WR.top + C.Top + C.Height() / 2};
  ASSERT_TRUE(realinput::MovePointerSeen(Over));
  EXPECT_TRUE(realinput::WaitUntil([&] { return Provider->ButtonClose.State == 1; }));
  // The hot frame is on the screen.
  TWindowShot Hot(H);
  int Compared = 0, Bad = 0;
  for (int Y = 0; Y < C.Height(); ++Y)
    for (int X = 0; X < C.Width(); ++X) {
      const long Want = OpaqueImagePixel(Provider->ButtonClose.ImageIndex, 1, X, Y);
      if (Want < 0) continue;
      ++Compared;
      if (Hot.Pixel(C.Left + X, C.Top + Y) != static_cast<COLORREF>(Want)) ++Bad;
    }
  EXPECT_GT(Compared, 10);
  EXPECT_EQ(Bad, 0);
  realinput::SendButtons({realinput::ButtonAt(Over, MOUSEEVENTF_LEFTDOWN), realinput::ButtonAt(Over, MOUSEEVENTF_LEFTUP)});
  EXPECT_TRUE(realinput::WaitUntil([&] { return !IsWindowVisible(H); }));
}

// ---- menu line -----------------------------------------------------------------------------------

TEST_F(ProvaProvider, TheMenuLineIsPaintedUnderTheTitleAndCountsInTheClientOffset) {
  Form = TCustomForm::Create<TForm>(nullptr);
  Form->SetBorderStyle(bsSizeable);
  Form->SetPosition(poDesigned);
  Form->SetBoundsRect(Bounds(60, 60, 360, 240));
  Form->SetText(WideString(L"Menu form"));
  auto* Menu = new TMainMenu(Form);
  for (const wchar_t* Caption : {L"File", L"View", L"Help"}) {
    auto* Item = new TMenuItem(Form);
    Item->SetCaption(WideString(Caption));
    Menu->Items()->Add(Item);
  }
  Form->SetMenu(Menu);
  sSkinMenusInstall();
  Manager.reset();
  Manager = std::make_unique<TsSkinManager>(nullptr);  // made again with the skinned menu painter
  Manager->SetAllowGlowing(false);
  Manager->SetSkinDirectory(SkinFolder());
  Manager->SetSkinName("DefaultBlack");
  ASSERT_TRUE(Manager->IsDefault());
  Form->Handle();
  Provider = new TsSkinProvider(Form);
  uitest::ShowSettled(Form);
  Repaint();
  HWND H = Form->Handle();
  EXPECT_TRUE(Provider->MenuPresent());
  EXPECT_EQ(Provider->MenuHeight(), GetSystemMetrics(SM_CYMENU) - 1);
  EXPECT_EQ(Provider->MenuLineCount(), 1);
  RECT WR, CR;
  GetWindowRect(H, &WR);
  GetClientRect(H, &CR);
  POINT P{0, 0};
  ClientToScreen(H, &P);
  EXPECT_EQ(P.y - WR.top, Provider->OffsetY());
  TWindowShot Shot(H);
  Shot.Shot->MaybeSave("prova_menu_line");
  // The menu line below the title is not the Windows menu bar colour.
  const int Y = Provider->TitleBandHeight() - Provider->MenuHeight() / 2;
  EXPECT_NE(Shot.Pixel(Form->Width() - 20, Y), GetSysColor(COLOR_MENU) & 0xFFFFFF);
  EXPECT_NE(Shot.Pixel(Form->Width() - 20, Y), GetSysColor(COLOR_MENUBAR) & 0xFFFFFF);
  TMenuItem* First = Menu->Items()->Items(0);
  EXPECT_TRUE(First->OnAdvancedDrawItem != nullptr);
  RECT IR{};
  EXPECT_TRUE(GetMenuItemRect(H, Menu->Handle(), 0, &IR));
  // The items are drawn into the line by the skinned menu painter: text in the line.
  int Text = 0;
  for (int X = Provider->OffsetX(); X < Form->Width() / 2; ++X)
    for (int YY = Provider->TitleBandHeight() - Provider->MenuHeight(); YY < Provider->TitleBandHeight(); ++YY)
      if (GetRValue(Shot.Pixel(X, YY)) > 0xC0) ++Text;
  EXPECT_GT(Text, 10);
  // Nothing white is left under the items (their background comes from the saved line).
  for (int X = Provider->OffsetX(); X < Form->Width() - 10; ++X)
    EXPECT_NE(Shot.Pixel(X, Provider->OffsetY() - 1), RGB(255, 255, 255)) << X;
  // The frame goes on beside the menu line.
  EXPECT_EQ(Shot.Pixel(0, Y), Shot.Pixel(0, Form->Height() / 2));
}

// ---- small queries -------------------------------------------------------------------------------

TEST_F(ProvaProvider, CompositionIsOffAndTheFormOriginIsItsWindowCorner) {
  MakeForm();
  // The pinned environment reports no desktop composition; asking for transitions does nothing.
  EXPECT_FALSE(IsDwmCompositionEnabled());
  SetDwmTransitions(Form->Handle(), true);
  RECT WR;
  GetWindowRect(Form->Handle(), &WR);
  EXPECT_EQ(Provider->FormOrigin(), (TPoint{WR.left, WR.top}));
  EXPECT_EQ(Provider->PointToForm(WR.left + 7, WR.top + 9), (TPoint{7, 9}));
  // The icon sits at the left of the caption, vertically inside it.
  const TRect Icon = Provider->TitleIconRect();
  EXPECT_EQ(Icon.Left, FormBorderWidth(Form->Handle(), nullptr, true) + Manager->SkinData()->BILeft);
  EXPECT_EQ(Icon.Width(), 16);
  EXPECT_GE(Icon.Top, 0);
  EXPECT_LE(Icon.Bottom, Provider->TitleBandHeight());
  Provider->SetShowAppIcon(false);
  EXPECT_EQ(Provider->TitleIconWidth(), 0);
}

TEST_F(ProvaProvider, AUserButtonShowsItsHintNearThePointerAndHidesIt) {
  MakeForm();
  TsTitleButton* B = Provider->TitleButtons()->Add();
  B->ShowHint();  // no text: no window
  EXPECT_EQ(B->HintWindow(), nullptr);
  B->SetHint(WideString(L"Refresh the channel list"));
  B->ShowHint();
  ASSERT_NE(B->HintWindow(), nullptr);
  EXPECT_TRUE(IsWindowVisible(B->HintWindow()));
  RECT R;
  GetWindowRect(B->HintWindow(), &R);
  RECT Work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &Work, 0);
  EXPECT_GE(R.left, Work.left);
  EXPECT_LE(R.right, Work.right);
  EXPECT_LE(R.bottom, Work.bottom);
  B->HideHint();
  EXPECT_EQ(B->HintWindow(), nullptr);
  // Copies keep what a stored button holds.
  TsTitleButtons Other(nullptr);
  Other.Assign(Provider->TitleButtons());
  ASSERT_EQ(Other.Count(), 1);
  EXPECT_EQ(Other.Items(0)->Hint(), B->Hint());
  EXPECT_EQ(Other.Items(0)->DisplayName(), "TsTitleButton");
}

TEST_F(ProvaProvider, TheAddedTitleFollowsTheCaptionInItsOwnColour) {
  MakeForm();
  Provider->AddedTitle()->Font()->SetColor(static_cast<TColor>(0x0000FF));  // red
  Provider->AddedTitle()->SetText(WideString(L"[live]"));
  Repaint();
  TWindowShot Shot(Form->Handle());
  Shot.Shot->MaybeSave("prova_added_title");
  const int Top = Provider->TitleBandHeight();
  int RedLeft = 10000, CaptionRight = -1;
  for (int Y = 2; Y < Top - 1; ++Y)
    for (int X = 0; X < Form->Width(); ++X) {
      const COLORREF P = Shot.Pixel(X, Y);
      if (GetRValue(P) > 0xC0 && GetGValue(P) < 0x40 && GetBValue(P) < 0x40) RedLeft = std::min(RedLeft, X);
      if (P == Rgb(15263462)) CaptionRight = std::max(CaptionRight, X);
    }
  ASSERT_GE(CaptionRight, 0);
  ASSERT_LT(RedLeft, 10000);
  EXPECT_GT(RedLeft, CaptionRight);
  EXPECT_LT(RedLeft, Provider->ButtonMin.Rect.Left);
}

TEST_F(ProvaProvider, ASectionChangeDropsTheSavedTitleBand) {
  // A section whose frame is one picture lets the provider keep the title band and, while only the
  // title changes, repaint nothing but the title over it. After a change of section the whole
  // frame must be painted again.
  MakeForm();
  Provider->SkinData()->SetSkinSection("PANEL_LOW");
  Repaint();
  ASSERT_NE(Provider->TitleBand, nullptr);
  TWindowShot Old(Form->Handle());
  Provider->SkinData()->SetSkinSection("GROUPBOX");
  EXPECT_EQ(Provider->TitleBand, nullptr);
  // A plain repaint, then a full one: the frame looks the same in both, and not as before.
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(Form->Handle());
  TWindowShot Plain(Form->Handle());
  Repaint();
  TWindowShot Full(Form->Handle());
  RECT CR;
  GetClientRect(Form->Handle(), &CR);
  int Different = 0, Changed = 0;
  for (int Y = 0; Y < Form->Height(); ++Y)
    for (int X = 0; X < Form->Width(); ++X) {
      if (X >= Provider->OffsetX() && X < Provider->OffsetX() + CR.right && Y >= Provider->OffsetY() &&
          Y < Provider->OffsetY() + CR.bottom)
        continue;  // the client area
      if (Plain.Pixel(X, Y) != Full.Pixel(X, Y)) ++Different;
      if (Old.Pixel(X, Y) != Full.Pixel(X, Y)) ++Changed;
    }
  EXPECT_GT(Changed, 0);
  EXPECT_EQ(Different, 0);
}
