// The skinned push button with the program's dark skin: owner-drawn from the BUTTON section with
// its window region cut at the rounded corners, its normal, hot, pressed, focused and disabled
// looks under the real mouse (each taken once its fade has ended), its clicks, and the way back
// to a standard button when the skin goes, and handlers that free the button or its form.
#include <gtest/gtest.h>

#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"
#include "ownctl_support.h"
#include "skin/controls/sButton.h"
#include "skin/core/sConst.h"
#include "support/FreedMemoryGuard.h"

using namespace ownctl;

namespace {

struct TButtonForm : TTestForm {
  TEdit* Edit;
  TsButton* Btn;
  int Clicks = 0;
  // The edit comes first in tab order: it has the focus when the form is shown, so that the
  // button starts in its normal look.
  TButtonForm() {
    Edit = new TEdit(Form);
    Edit->SetParent(Form);
    Edit->SetBounds(40, 100, 100, 22);
    Btn = new TsButton(Form);
    Btn->SetParent(Form);
    Btn->SetBounds(40, 40, 150, 30);
    Btn->SetCaption(L"Go there");
    Btn->OnClick = [this](TObject*) { ++Clicks; };
  }
  HWND W() const { return Btn->Handle(); }
  // Waits until no fade runs and the window has painted what it has to.
  bool Calm() {
    const bool Ok = uitest::WaitFor([this] { return Btn->FadeTimer() == nullptr; });
    uitest::Settle(W());
    return Ok;
  }
  uitest::TCapture Shot() {
    Calm();
    return uitest::TCapture(W());
  }
};

int Brightness(COLORREF C) { return R(C) + G(C) + B(C); }

// Inside the button's border (the corners outside its region show the form).
const TRect Inner{4, 4, 146, 26};

// The hot font colour of the skin's BUTTON section (white, as the skin holds it).
COLORREF HotFont(TsSkinManager& M) {
  return static_cast<COLORREF>(M.GeneralData()[static_cast<std::size_t>(M.GetSectionIndex("BUTTON"))].HotFontColor[0]);
}
COLORREF HotFontColor = RGB(255, 255, 255);

// The smallest rectangle of the hot caption's pixels inside the border.
TRect WhiteExtent(const uitest::TCapture& C) {
  TRect E{C.Width(), C.Height(), 0, 0};
  for (int Y = Inner.Top; Y < Inner.Bottom; ++Y)
    for (int X = Inner.Left; X < Inner.Right; ++X)
      if (C.Pixel(X, Y) == HotFontColor) {
        E.Left = std::min(E.Left, X);
        E.Top = std::min(E.Top, Y);
        E.Right = std::max(E.Right, X + 1);
        E.Bottom = std::max(E.Bottom, Y + 1);
      }
  return E;
}

}  // namespace

TEST(OwnctlButton, IsOwnerDrawnWithItsRegionCutAtTheRoundedCorners) {
  auto M = LoadProgramSkin();
  ASSERT_TRUE(M->SkinActive());
  TButtonForm F;
  F.Show();
  ASSERT_TRUE(PointerAway());
  F.Calm();
  EXPECT_EQ(GetWindowLongW(F.W(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(F.W(), Rgn), ERROR);
  EXPECT_FALSE(PtInRegion(Rgn, 0, 0));
  EXPECT_FALSE(PtInRegion(Rgn, 149, 29));
  EXPECT_TRUE(PtInRegion(Rgn, 75, 15));
  EXPECT_TRUE(PtInRegion(Rgn, 0, 15));
  DeleteObject(Rgn);
  // The face comes from the skin: dark, not the system's button face.
  const COLORREF Face = uitest::WindowPixel(F.W(), 6, 15);
  EXPECT_NE(Face, ColorToRGB(clBtnFace));
  EXPECT_LT(Brightness(Face), 3 * 0x60);
  // The caption in the section's font colour.
  const uitest::TCapture N = F.Shot();
  EXPECT_GT(N.Count(TRect{0, 0, 150, 30}, GlobalFontColor), 5);
  // The form around the corner shows through the region.
  EXPECT_EQ(uitest::WindowPixel(F.Form->Handle(), 40, 40), RGB(255, 255, 255));
}

TEST(OwnctlButton, ShowsHotPressedFocusedAndDisabledLooksUnderTheRealMouse) {
  auto M = LoadProgramSkin();
  HotFontColor = HotFont(*M);
  EXPECT_TRUE(Near(HotFontColor, RGB(255, 255, 255)));
  TButtonForm F;
  F.Show();
  ASSERT_TRUE(PointerAway());
  const uitest::TCapture Normal = F.Shot();
  EXPECT_EQ(F.Btn->CurrentState(), 0);
  EXPECT_EQ(Normal.Count(Inner, HotFontColor), 0);
  Normal.MaybeSave("ownctl_button_normal");

  // Hot: a lighter face, the caption in the hot font colour (white).
  ASSERT_TRUE(MoveTo(F.W(), 75, 15));
  ASSERT_TRUE(uitest::WaitFor([&] { return F.Btn->SkinData()->MouseOver; }));
  const uitest::TCapture Hot = F.Shot();
  EXPECT_EQ(F.Btn->CurrentState(), 1);
  EXPECT_GT(Brightness(Hot.Pixel(6, 15)), Brightness(Normal.Pixel(6, 15)));
  Hot.MaybeSave("ownctl_button_hot");
  const TRect HotText = WhiteExtent(Hot);
  ASSERT_FALSE(HotText.IsEmpty());

  // Pressed: the caption moves one pixel right and down.
  ASSERT_TRUE(PressAt(F.W(), 75, 15));
  const uitest::TCapture Pressed = F.Shot();
  EXPECT_EQ(F.Btn->CurrentState(), 2);
  Pressed.MaybeSave("ownctl_button_pressed");
  // The press gave the button the focus: the focus frame is drawn around the caption.
  const TRect PressedText = WhiteExtent(Pressed);
  EXPECT_LT(PressedText.Left, HotText.Left);
  EXPECT_EQ(F.Clicks, 0);

  // Released: one click; the button has the focus and shows the dotted focus frame.
  ReleaseAt(F.W(), 75, 15);
  ASSERT_TRUE(uitest::WaitFor([&] { return F.Clicks == 1; }));
  EXPECT_TRUE(F.Btn->Focused());
  const uitest::TCapture Focused = F.Shot();
  Focused.MaybeSave("ownctl_button_focused");
  EXPECT_EQ(F.Btn->CurrentState(), 1);
  EXPECT_GT(Focused.Count(Inner, RGB(0, 0, 0)), 8);
  EXPECT_EQ(Hot.Count(Inner, RGB(0, 0, 0)), 0);
  // Caption and frame move one pixel right and down while pressed.
  const TRect FocusedText = WhiteExtent(Focused);
  EXPECT_EQ(PressedText.Left, FocusedText.Left + 1);
  EXPECT_EQ(PressedText.Top, FocusedText.Top + 1);
  EXPECT_EQ(PressedText.Right, FocusedText.Right + 1);

  // Without ShowFocus no frame.
  F.Btn->SetShowFocus(false);
  EXPECT_EQ(F.Shot().Count(Inner, RGB(0, 0, 0)), 0);
  F.Btn->SetShowFocus(true);

  // Disabled: the enabled picture blended with the form's white.
  ASSERT_TRUE(PointerAway());
  F.Btn->SetEnabled(false);
  const uitest::TCapture Disabled = F.Shot();
  Disabled.MaybeSave("ownctl_button_disabled");
  const COLORREF D = Disabled.Pixel(6, 15);
  EXPECT_NE(D, Normal.Pixel(6, 15));
  EXPECT_TRUE(Between(D, Normal.Pixel(6, 15), RGB(255, 255, 255))) << std::hex << D;
  EXPECT_GT(Brightness(D), Brightness(Normal.Pixel(6, 15)) + 60);
  F.Btn->SetEnabled(true);
  EXPECT_EQ(F.Shot().Pixel(6, 15), Normal.Pixel(6, 15));
}

TEST(OwnctlButton, ClicksOnceForEachRealClickAndEndsInTheHotLook) {
  auto M = LoadProgramSkin();
  TButtonForm F;
  F.Show();
  for (int I = 1; I <= 3; ++I) {
    ASSERT_TRUE(realinput::Click(F.W(), 30 + 20 * I, 12));
    ASSERT_TRUE(uitest::WaitFor([&] { return F.Clicks == I; }));
  }
  F.Calm();
  EXPECT_EQ(F.Clicks, 3);
  EXPECT_EQ(F.Btn->CurrentState(), 1);
  EXPECT_EQ(SendMessageW(F.W(), BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
  // The keyboard too: space on the focused button.
  realinput::Key(VK_SPACE);
  ASSERT_TRUE(uitest::WaitFor([&] { return F.Clicks == 4; }));
  ASSERT_TRUE(PointerAway());
}

// The caption stands where the same text centred in the button's rectangle, in the button's own
// font, stands: the measure that places it uses that font too.
TEST(OwnctlButton, TheCaptionIsCentredInTheButtonsOwnFont) {
  auto M = LoadProgramSkin();
  TButtonForm F;
  F.Btn->SetBounds(40, 40, 153, 25);
  F.Btn->SetParentFont(false);
  F.Btn->Font()->SetName("MS Sans Serif");
  F.Btn->Font()->SetHeight(-11);
  F.Btn->SetCaption(L"Перейти на сайт");
  F.Show();
  ASSERT_TRUE(PointerAway());
  const uitest::TCapture C = F.Shot();
  EXPECT_EQ(F.Btn->CurrentState(), 0);
  const int Section = M->GetSectionIndex("BUTTON");
  const COLORREF Ink = ColorToRGB(M->GeneralData()[static_cast<std::size_t>(Section)].FontColor[0]);
  TRect Caption{C.Width(), C.Height(), 0, 0};
  for (int Y = 0; Y < C.Height(); ++Y)
    for (int X = 0; X < C.Width(); ++X)
      if (C.Pixel(X, Y) == Ink) Caption = TRect{std::min(Caption.Left, X), std::min(Caption.Top, Y),
                                                std::max(Caption.Right, X + 1), std::max(Caption.Bottom, Y + 1)};
  uitest::TMemoryDC Ref(153, 25);
  HGDIOBJ Old = SelectObject(Ref.DC(), F.Btn->Font()->Handle());
  RECT R{0, 0, 153, 25};
  DrawTextW(Ref.DC(), L"Перейти на сайт", -1, &R, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  SelectObject(Ref.DC(), Old);
  const TRect Expected = uitest::TCapture(Ref.DC(), TRect{0, 0, 153, 25}).Extent(RGB(255, 255, 255));
  EXPECT_EQ(Caption.Top, Expected.Top);
  EXPECT_EQ(Caption.Bottom, Expected.Bottom);
  EXPECT_EQ(Caption.Width(), Expected.Width());
  EXPECT_LE(std::abs(Caption.Left - Expected.Left), 1);
}

TEST(OwnctlButton, DownShowsThePressedLook) {
  auto M = LoadStatesSkin();
  TButtonForm F;
  F.Show();
  ASSERT_TRUE(PointerAway());
  F.Calm();
  EXPECT_EQ(uitest::WindowPixel(F.W(), 0, 15), ColorToRGB(StateColors[0]));
  F.Btn->SetDown(true);
  F.Calm();
  EXPECT_EQ(uitest::WindowPixel(F.W(), 0, 15), ColorToRGB(StateColors[2]));
  EXPECT_EQ(GetEnumProp(F.Btn, "Down"), "True");
}

TEST(OwnctlButton, BecomesAStandardButtonWhenTheSkinIsRemoved) {
  auto M = LoadProgramSkin();
  TButtonForm F;
  F.Show();
  F.Calm();
  SendMessageW(F.W(), SM_ALPHACMD, MakeAlphaCmd(AC_SKINREMOVED), reinterpret_cast<LPARAM>(M.get()));
  EXPECT_NE(GetWindowLongW(F.W(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(F.W(), Rgn), ERROR);
  DeleteObject(Rgn);
  // Another manager's new skin changes nothing; its own makes it owner-drawn again.
  TsSkinManager Other(nullptr);
  SendMessageW(F.W(), SM_ALPHACMD, MakeAlphaCmd(AC_NEWSKIN), reinterpret_cast<LPARAM>(&Other));
  EXPECT_NE(GetWindowLongW(F.W(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  SendMessageW(F.W(), SM_ALPHACMD, MakeAlphaCmd(AC_NEWSKIN), reinterpret_cast<LPARAM>(M.get()));
  EXPECT_EQ(GetWindowLongW(F.W(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

TEST(OwnctlButton, IsAStandardButtonWithoutASkin) {
  TButtonForm F;
  F.Show();
  EXPECT_NE(GetWindowLongW(F.W(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(uitest::WindowPixel(F.W(), 20, 15), ColorToRGB(clBtnFace));
  ASSERT_TRUE(realinput::Click(F.W(), 75, 15));
  ASSERT_TRUE(uitest::WaitFor([&] { return F.Clicks == 1; }));
  EXPECT_EQ(F.Btn->FadeTimer(), nullptr);
  ASSERT_TRUE(PointerAway());
}

// The button, or its whole form, freed by a handler of the button's own: the click of the space
// bar (which the system's button code reports from inside the key's release), the key's release
// itself, and a click of the mouse. What runs after the handler touches nothing freed (the trap
// makes any touch fault), and a form that stays takes the next click of another button.
TEST(OwnctlButton, AHandlerMayFreeTheButtonOrItsForm) {
  auto M = LoadProgramSkin();
  enum TRoad { SpaceClick, SpaceUp, MouseClick };
  const char* Roads[] = {"the space bar's click", "the space bar's release", "a mouse click"};
  for (int Road = SpaceClick; Road <= MouseClick; ++Road)
    for (const bool FreeForm : {false, true}) {
      SCOPED_TRACE(std::string(Roads[Road]) + (FreeForm ? " frees the form" : " frees the button"));
      const memguard::TTrapFreedReads Trap;
      TButtonForm F;
      memguard::TFreeOnce Free([&] {
        if (!FreeForm) {
          delete F.Btn;
          return;
        }
        delete F.Form;
        F.Form = nullptr;
      });
      auto FreeIt = Free.Handler();
      if (Road == SpaceUp)
        F.Btn->OnKeyUp = [FreeIt](TObject*, Word& Key, TShiftState) {
          if (Key == VK_SPACE) FreeIt();
        };
      else
        F.Btn->OnClick = [FreeIt](TObject*) { FreeIt(); };
      F.Show();
      HWND Form = F.Form->Handle(), Button = F.W();
      if (Road == MouseClick) {
        ASSERT_TRUE(realinput::Click(Button, 75, 15));
      } else {
        F.Btn->SetFocus();
        realinput::Key(VK_SPACE);
      }
      ASSERT_TRUE(uitest::WaitFor([&] { return Free.Done(); }));
      uitest::PumpFor(50);
      EXPECT_FALSE(IsWindow(Button));
      EXPECT_EQ(IsWindow(Form) != FALSE, !FreeForm);
      if (FreeForm) continue;
      int Clicks = 0;
      auto* Other = new TsButton(F.Form);
      Other->SetParent(F.Form);
      Other->SetBounds(40, 40, 150, 30);
      Other->OnClick = [&](TObject*) { ++Clicks; };
      ASSERT_TRUE(realinput::Click(Other->Handle(), 75, 15));
      EXPECT_TRUE(uitest::WaitFor([&] { return Clicks == 1; }));
    }
  ASSERT_TRUE(PointerAway());
}
