// Forms with extended borders over a red backdrop: the shadow around the form and under its
// rounded corners (border mode 0), and the whole outer frame drawn from the skin's picture with
// the title, icon, caption and buttons over it (border mode 1).
#include <string>

#include "skin/core/sMaskData.h"
#include "skin/forms/acBorderForm.h"
#include "skin_forms/extform_support.h"
#include "skin_forms/provc_support.h"

using namespace provctest;
using extform::TExtForm;

namespace {

int Brightness(COLORREF C) { return GetRValue(C) + GetGValue(C) + GetBValue(C); }

}  // namespace

TEST(provc_ExtBorder, TheTestSkinsGiveTheirMarginsAndShadows) {
  auto M0 = extskin::LoadExtSkin(0);
  ASSERT_TRUE(M0->SkinActive());
  EXPECT_EQ(M0->SkinData()->BorderMode, 0);
  EXPECT_EQ(M0->ShadowMargin(), (TRect{11, 9, 11, 13}));
  ASSERT_NE(M0->ShadowImage(0), nullptr);
  EXPECT_EQ(M0->ShadowImage(0)->Width(), 40);
  M0.reset();
  auto M1 = extskin::LoadExtSkin(1);
  ASSERT_TRUE(M1->SkinActive());
  EXPECT_EQ(M1->SkinData()->BorderMode, 1);
  EXPECT_EQ(M1->ShadowMargin(), (TRect{8, 8, 8, 8}));
}

TEST(provc_ExtBorder, TheShadowSurroundsTheFormAndShowsUnderItsRoundedCorners) {
  memguard::TFaultCount Faults;
  TExtForm F(0);
  ASSERT_NE(F.Provider->BorderForm, nullptr);
  TBitmap* Img = F.Image();
  ASSERT_NE(Img, nullptr);
  ASSERT_EQ(Img->PixelFormat(), pf32bit);
  const TRect E = F.Provider->ExtBorderMargins();
  ASSERT_EQ(E, (TRect{11, 9, 11, 13}));
  const int W = Img->Width(), H = Img->Height();
  uitest::SaveScreenshot(F.BorderWnd(), "extborder_mode0");
  // The form is opaque, the shadow beside it partly transparent, nothing far out.
  EXPECT_EQ(Alpha32(Img, W / 2, H / 2), 255);
  const int Beside = Alpha32(Img, E.Left - 1, H / 2);
  EXPECT_GT(Beside, 20);
  EXPECT_LT(Beside, 255);
  EXPECT_EQ(Alpha32(Img, 0, 0), 0);
  // The frame's top-left corner is cut round: its outermost pixel shows the shadow under it.
  const int Corner = Alpha32(Img, E.Left, E.Top);
  EXPECT_LT(Corner, 255) << "the corner is see-through";
  EXPECT_GT(Corner, 0) << "with the shadow under it";
  EXPECT_LT(Alpha32(Img, W - E.Right - 1, E.Top), 255);
  EXPECT_LT(Alpha32(Img, E.Left, H - E.Bottom - 1), 255);
  // On the screen the corner shows the black shadow over the red backdrop (Wine's layered windows
  // without a compositor show a partly transparent pixel in its own colour): darker than the title
  // beside it, no green or blue of the title. Far out the backdrop shows as it is.
  const RECT BR = F.BorderRect();
  auto Shot = ScreenShot(BR);
  const COLORREF C = Shot->Pixel(E.Left, E.Top);
  const COLORREF Title = Shot->Pixel(E.Left + 20, E.Top + 3);
  EXPECT_LT(Brightness(C), Brightness(Title)) << std::hex << C << " " << Title;
  EXPECT_LT(GetGValue(C) + GetBValue(C), 20) << std::hex << C;
  const COLORREF Far = Shot->Pixel(1, 1);
  EXPECT_EQ(Far, RGB(255, 0, 0));
  EXPECT_EQ(Faults.Count(), 0);
}

// The form's window begins where the border window's image has its client part, on a normal and
// on a maximised form, also where the skinned title is lower than the system's caption (a
// maximised form then shows the title four rows taller, over its own frame).
TEST(provc_ExtBorder, TheFormsWindowBeginsWhereTheBorderWindowsImageHasItsClientPart) {
  for (int Mode : {0, 1})
    for (int Title : {26, 20})
      for (bool Maximised : {false, true}) {
        SCOPED_TRACE("mode " + std::to_string(Mode) + ", title " + std::to_string(Title) +
                     (Maximised ? ", maximised" : ""));
        memguard::TFaultCount Faults;
        TExtForm F(Mode, nullptr, Title);
        if (Maximised) {
          SendMessageW(F.Form->Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
          uitest::PumpFor(200);
        }
        RECT WR{}, Box{};
        GetWindowRect(F.Form->Handle(), &WR);
        ASSERT_NE(GetWindowRgnBox(F.Form->Handle(), &Box), ERROR);
        const RECT BR = F.BorderRect();
        EXPECT_EQ(BR.left + F.Provider->OffsetX(), WR.left + Box.left);
        EXPECT_EQ(BR.top + F.Provider->OffsetY(), WR.top + Box.top);
        EXPECT_EQ(Faults.Count(), 0);
      }
}

TEST(provc_ExtBorder, ModeOneDrawsTheOuterFrameFromTheSkinWithTheTitleOverIt) {
  memguard::TFaultCount Faults;
  TExtForm F(1);
  ASSERT_NE(F.Provider->BorderForm, nullptr);
  TBitmap* Img = F.Image();
  ASSERT_NE(Img, nullptr);
  const TRect E = F.Provider->ExtBorderMargins();
  ASSERT_EQ(E, (TRect{8, 8, 8, 8}));
  const int W = Img->Width(), H = Img->Height();
  const int CH = F.Provider->CaptionHeight(true);
  uitest::SaveScreenshot(F.BorderWnd(), "extborder_mode1");
  // The outline of the skin's picture runs round the form.
  EXPECT_TRUE(NearColor(Pixel32(Img, E.Left, H / 2), extskin::Mode1Outline, 8)) << std::hex << Pixel32(Img, E.Left, H / 2);
  EXPECT_EQ(Alpha32(Img, E.Left, H / 2), 255);
  EXPECT_TRUE(NearColor(Pixel32(Img, W - E.Right - 1, H / 2), extskin::Mode1Outline, 8));
  // The shadow outside keeps its own alpha.
  const int Out = Alpha32(Img, E.Left - 2, H / 2);
  EXPECT_GT(Out, 0);
  EXPECT_LT(Out, 255);
  // The caption band carries the title: not the picture's band colour, opaque, with the caption
  // text and the close button on it.
  const TRect Band{E.Left + 40, E.Top + 2, W - E.Right - 120, E.Top + CH - 2};
  int BandColour = 0, Light = 0, NotOpaque = 0;
  for (int Y = Band.Top; Y < Band.Bottom; ++Y)
    for (int X = Band.Left; X < Band.Right; ++X) {
      const COLORREF P = Pixel32(Img, X, Y);
      if (NearColor(P, extskin::Mode1Band, 6)) ++BandColour;
      if (Brightness(P) > 500) ++Light;
      if (Alpha32(Img, X, Y) != 255) ++NotOpaque;
    }
  EXPECT_EQ(BandColour, 0) << "the title is painted over the band";
  EXPECT_GT(Light, 15) << "the caption text is written";
  EXPECT_EQ(NotOpaque, 0);
  const TRect Close = F.Provider->ButtonClose.Rect;
  ASSERT_FALSE(Close.IsEmpty());
  EXPECT_GE(Close.Top, E.Top);
  EXPECT_LE(Close.Bottom, E.Top + CH + 2);
  // The rounded top corner outside the outline stays see-through.
  EXPECT_LT(Alpha32(Img, E.Left, E.Top), 255);
  // On the screen: the title band shows the title's colours, not the red behind.
  const RECT BR = F.BorderRect();
  auto Shot = ScreenShot(BR);
  const COLORREF T = Shot->Pixel(W / 2, E.Top + CH / 2);
  EXPECT_LT(GetRValue(T), 0x50) << std::hex << T;
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_ExtBorder, ASizeStepGivesTheBorderWindowTheImageOfAFormBuiltAnew) {
  // What a size step gives the border window is what building the whole image again at that
  // size gives it, over an image of another colour: every pixel is painted for the new size.
  if (acUpdateLayeredWindow == nullptr) GTEST_SKIP() << "the system has no layered windows";
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
  for (int Mode = 0; Mode < 2; ++Mode) {
    SCOPED_TRACE(Mode);
    memguard::TFaultCount Faults;
    TExtForm F(Mode);
    ASSERT_NE(F.Provider->BorderForm, nullptr);
    extform::TLayeredUploads Uploads;
    for (int Step = 0; Step < 3; ++Step) {
      const int Grow = Step % 2 == 0 ? 36 : 0;
      SetWindowPos(F.Form->Handle(), nullptr, 0, 0, 300 + Grow, 220 + Grow / 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      uitest::Settle(F.Form->Handle());
      SCOPED_TRACE(Step);
      extform::ExpectStepImageBuiltAnew(Uploads, F.Provider->BorderForm, F.Image(), [&] {
        F.Provider->SkinData()->BackgroundStale = true;
        F.Provider->TitleDirty = true;
      });
    }
    EXPECT_EQ(Faults.Count(), 0);
  }
}

TEST(provc_ExtBorder, TheBorderWindowGoesWithItsProviderInEitherOrder) {
  for (int Mode = 0; Mode < 2; ++Mode) {
    for (bool ProviderFirst : {true, false}) {
      SCOPED_TRACE(Mode);
      SCOPED_TRACE(ProviderFirst);
      memguard::TFaultCount Faults;
      auto F = std::make_unique<TExtForm>(Mode);
      ASSERT_NE(F->Provider->BorderForm, nullptr);
      HWND BW = F->BorderWnd();
      ASSERT_TRUE(IsWindowVisible(BW));
      if (ProviderFirst) {
        delete F->Provider;
        uitest::Pump();
        EXPECT_FALSE(IsWindow(BW)) << "the border window went with the provider";
        // The form is the system's again: it paints and answers.
        RedrawWindow(F->Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
        uitest::Pump();
      }
      F.reset();
      uitest::Pump();
      EXPECT_FALSE(IsWindow(BW));
      EXPECT_EQ(Faults.Count(), 0);
    }
  }
}
