// A form laid out as the program's new-version notice (a centred two-line label and a button)
// under the program's dark skin: the label's text in the skin's colour, the button drawn from the
// skin with its region, a real click reaching OnClick. With TV_SCREENSHOT_DIR set the form is
// saved as ownctl_notice.bmp for a look.
#include <gtest/gtest.h>

#include "ownctl_support.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sLabel.h"

using namespace ownctl;

TEST(OwnctlNotice, ShowsTheSkinnedLabelAndButtonAndTakesARealClick) {
  auto M = LoadProgramSkin();
  ASSERT_TRUE(M->SkinActive());
  TTestForm F(clBtnFace);
  F.Form->SetBounds(488, 297, 276, 152);
  F.Form->SetCaption(L"НОВАЯ ВЕРСИЯ");
  auto* Lbl = new TsLabel(F.Form);
  Lbl->SetParent(F.Form);
  Lbl->SetBounds(24, 16, 218, 48);
  Lbl->SetAlignment(taCenter);
  Lbl->SetCaption(L"Новая версия доступна \r\nдля загрузки");
  Lbl->SetParentFont(false);
  Lbl->Font()->SetCharset(DEFAULT_CHARSET);
  Lbl->Font()->SetColor(8542779);
  Lbl->Font()->SetHeight(-19);
  Lbl->Font()->SetName("MS Sans Serif");
  auto* Btn = new TsButton(F.Form);
  Btn->SetParent(F.Form);
  Btn->SetBounds(56, 72, 153, 25);
  Btn->SetCaption(L"Перейти на сайт");
  Btn->SetTabOrder(0);
  Btn->SkinData()->SetSkinSection("BUTTON");
  int Clicks = 0;
  Btn->OnClick = [&](TObject*) { ++Clicks; };
  F.Show();
  ASSERT_TRUE(PointerAway());
  uitest::WaitFor([&] { return Btn->FadeTimer() == nullptr; });
  uitest::Settle(F.Form->Handle());
  uitest::Settle(Btn->Handle());
  uitest::SaveScreenshot(F.Form->Handle(), "ownctl_notice");

  const uitest::TCapture Form(F.Form->Handle());
  // The label: the skin's font colour replaced its own; the text is centred in its box.
  EXPECT_EQ(static_cast<COLORREF>(Lbl->Font()->Color()), GlobalFontColor);
  const TRect Text = Lbl->BoundsRect();
  EXPECT_GT(Form.Count(Text, GlobalFontColor), 40);
  EXPECT_EQ(Form.Count(Text, Colour(8542779)), 0);
  const int LeftHalf = Form.Count(TRect{Text.Left, Text.Top, Text.Left + Text.Width() / 2, Text.Bottom}, GlobalFontColor);
  const int RightHalf = Form.Count(TRect{Text.Left + Text.Width() / 2, Text.Top, Text.Right, Text.Bottom}, GlobalFontColor);
  EXPECT_GT(LeftHalf, 10);
  EXPECT_GT(RightHalf, 10);
  // The button: the skin's face, rounded corners cut out of its window.
  const uitest::TCapture Face(Btn->Handle());
  EXPECT_NE(Face.Pixel(6, 12), ColorToRGB(clBtnFace));
  // The button has the focus (the only control that takes it): its caption in the hot font colour.
  EXPECT_TRUE(Btn->Focused());
  EXPECT_EQ(Btn->CurrentState(), 1);
  EXPECT_GT(Face.Count(TRect{4, 4, 149, 21}, RGB(255, 255, 255)) + Face.Count(TRect{4, 4, 149, 21}, RGB(254, 254, 254)), 20);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(Btn->Handle(), Rgn), ERROR);
  EXPECT_FALSE(PtInRegion(Rgn, 0, 0));
  DeleteObject(Rgn);
  EXPECT_EQ(Form.Pixel(56, 72), ColorToRGB(clBtnFace));

  ASSERT_TRUE(realinput::Click(Btn->Handle(), 70, 12));
  ASSERT_TRUE(uitest::WaitFor([&] { return Clicks == 1; }));
  ASSERT_TRUE(PointerAway());
}
