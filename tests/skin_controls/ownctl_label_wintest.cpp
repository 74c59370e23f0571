// The skinned label: its text in the skin's font colour over its parent's background, the
// section painted under it, the disabled colour mixed with the parent's, the colour given back
// when the skin goes, and the plain label without a skin.
#include <gtest/gtest.h>

#include <cmath>

#include "ownctl_support.h"
#include "skin/controls/sLabel.h"
#include "skin/core/sConst.h"

using namespace ownctl;

namespace {

struct TLabelForm : TTestForm {
  TsLabel* Lbl;
  explicit TLabelForm(const wchar_t* Caption = L"Skinned text WWW") {
    Lbl = new TsLabel(Form);
    Lbl->SetParent(Form);
    Lbl->SetLeft(30);
    Lbl->SetTop(30);
    Lbl->SetParentFont(false);
    Lbl->Font()->SetName("MS Sans Serif");
    Lbl->Font()->SetHeight(-11);
    Lbl->Font()->SetColor(clRed);
    Lbl->SetCaption(Caption);
  }
  // The label's rectangle as the form shows it.
  uitest::TCapture Shot() {
    uitest::Settle(Form->Handle());
    return uitest::TCapture(Form->Handle(), Lbl->BoundsRect());
  }
  TRect All() const { return TRect{0, 0, Lbl->Width(), Lbl->Height()}; }
};

// 0.4 of the font colour and 0.6 of the background, per channel, to the nearest integer.
COLORREF Mix40(COLORREF Font, COLORREF Back) {
  auto Ch = [](int F, int B) { return static_cast<int>(std::lround(F * 0.4 + B * 0.6)); };
  return RGB(Ch(R(Font), R(Back)), Ch(G(Font), G(Back)), Ch(B(Font), B(Back)));
}

}  // namespace

TEST(OwnctlLabel, DrawsItsTextInTheSkinsFontColourOverTheParent) {
  auto M = LoadProgramSkin();
  ASSERT_TRUE(M->SkinActive());
  TLabelForm F;
  F.Show();
  const uitest::TCapture C = F.Shot();
  EXPECT_GT(C.Count(F.All(), GlobalFontColor), 20);
  EXPECT_EQ(C.Count(F.All(), RGB(255, 0, 0)), 0);
  // Transparent: the form's white around the letters.
  EXPECT_GT(C.Count(F.All(), RGB(255, 255, 255)), F.All().Width() * F.All().Height() / 2);
  EXPECT_EQ(static_cast<COLORREF>(F.Lbl->Font()->Color()), GlobalFontColor);
  F.Lbl->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_REFRESHSKIN), reinterpret_cast<LPARAM>(M.get()));
  EXPECT_EQ(static_cast<COLORREF>(F.Lbl->Font()->Color()), GlobalFontColor);
}

TEST(OwnctlLabel, KeepsItsOwnColourWithoutUseSkinColor) {
  auto M = LoadProgramSkin();
  TLabelForm F;
  F.Lbl->SetUseSkinColor(false);
  F.Show();
  const uitest::TCapture C = F.Shot();
  EXPECT_GT(C.Count(F.All(), RGB(255, 0, 0)), 20);
  EXPECT_EQ(C.Count(F.All(), GlobalFontColor), 0);
  // Removing the skin leaves it too.
  F.Lbl->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_SKINREMOVED), reinterpret_cast<LPARAM>(M.get()));
  EXPECT_EQ(F.Lbl->Font()->Color(), clRed);
}

TEST(OwnctlLabel, TakesTheSystemTextColourBackWhenTheSkinIsRemoved) {
  auto M = LoadProgramSkin();
  TLabelForm F;
  F.Show();
  F.Shot();
  // Another manager's removal changes nothing.
  TsSkinManager Other(nullptr);
  F.Lbl->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_SKINREMOVED), reinterpret_cast<LPARAM>(&Other));
  EXPECT_EQ(static_cast<COLORREF>(F.Lbl->Font()->Color()), GlobalFontColor);
  F.Lbl->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_SKINREMOVED), reinterpret_cast<LPARAM>(M.get()));
  EXPECT_EQ(F.Lbl->Font()->Color(), clWindowText);
}

TEST(OwnctlLabel, DrawsDisabledTextInAMixWithTheParentsColour) {
  auto M = LoadProgramSkin();
  TLabelForm F;
  F.Lbl->SetEnabled(false);
  F.Show();
  const uitest::TCapture C = F.Shot();
  const COLORREF Mixed = Mix40(GlobalFontColor, RGB(255, 255, 255));
  EXPECT_GT(C.Count(F.All(), Mixed), 20);
  EXPECT_EQ(C.Count(F.All(), GlobalFontColor), 0);
  // One pass only: no embossed highlight or shadow copy.
  EXPECT_EQ(C.Count(F.All(), ColorToRGB(clBtnShadow)), 0);
}

TEST(OwnctlLabel, DisabledUnderASkinMeasuresAsTheTextIs) {
  auto M = LoadProgramSkin();
  TLabelForm F(L"");
  F.Lbl->SetEnabled(false);
  F.Show();
  // An empty caption keeps the height of one line.
  EXPECT_GT(F.Lbl->Height(), 8);
  // Without ShowAccelChar '&' is a character of its own.
  F.Lbl->SetCaption(L"A&B");
  const int WithPrefix = F.Lbl->Width();
  F.Lbl->SetShowAccelChar(false);
  EXPECT_GT(F.Lbl->Width(), WithPrefix);
}

// Disabling a skinned label changes the colour of its letters, nothing else: it keeps its size
// and shows the same letters in the same places, in its own font.
TEST(OwnctlLabel, DisabledUnderASkinKeepsItsSizeAndTheLettersOfItsFont) {
  auto M = LoadProgramSkin();
  TLabelForm F;
  F.Show();
  const TSize Size{F.Lbl->Width(), F.Lbl->Height()};
  const uitest::TCapture On = F.Shot();
  F.Lbl->SetEnabled(false);
  F.Lbl->SetCaption(L"other");  // measured again while disabled
  F.Lbl->SetCaption(L"Skinned text WWW");
  EXPECT_EQ(F.Lbl->Width(), Size.cx);
  EXPECT_EQ(F.Lbl->Height(), Size.cy);
  const uitest::TCapture Off = F.Shot();
  const COLORREF Mixed = Mix40(GlobalFontColor, RGB(255, 255, 255));
  int Letters = 0, Moved = 0;
  for (int Y = 0; Y < Size.cy; ++Y)
    for (int X = 0; X < Size.cx; ++X) {
      Letters += On.Pixel(X, Y) == GlobalFontColor;
      Moved += (On.Pixel(X, Y) == GlobalFontColor) != (Off.Pixel(X, Y) == Mixed);
    }
  EXPECT_GT(Letters, 40);
  EXPECT_EQ(Moved, 0);
}

TEST(OwnctlLabel, PaintsItsSectionUnderTheTextAndTakesItsFontColour) {
  auto M = LoadProgramSkin();
  TLabelForm F(L"A");
  F.Lbl->SetAutoSize(false);
  F.Lbl->SetBounds(30, 30, 100, 40);
  F.Lbl->SetSkinSection("PANEL_LOW");
  F.Show();
  uitest::TCapture C = F.Shot();
  EXPECT_EQ(C.Pixel(80, 25), Colour(2696742));
  EXPECT_EQ(C.Count(F.All(), RGB(255, 255, 255)), 0);

  // A transparent section: the parent shows, the text takes the section's font colour.
  F.Lbl->SetSkinSection("WEBBUTTON");
  C = F.Shot();
  EXPECT_EQ(C.Pixel(80, 25), RGB(255, 255, 255));
  EXPECT_GT(C.Count(F.All(), Colour(15639644)), 5);

  // A section the skin lacks changes nothing.
  F.Lbl->SetSkinSection("NO SUCH SECTION");
  F.Lbl->Font()->SetColor(clRed);
  C = F.Shot();
  EXPECT_EQ(C.Pixel(80, 25), RGB(255, 255, 255));
  EXPECT_GT(C.Count(F.All(), GlobalFontColor), 5);
}

TEST(OwnctlLabel, PaintsAsThePlainLabelWithoutASkin) {
  TLabelForm F;
  F.Show();
  uitest::TCapture C = F.Shot();
  EXPECT_GT(C.Count(F.All(), RGB(255, 0, 0)), 20);
  EXPECT_EQ(F.Lbl->Font()->Color(), clRed);
  // Disabled: embossed as the platform's label.
  F.Lbl->SetEnabled(false);
  C = F.Shot();
  EXPECT_GT(C.Count(F.All(), ColorToRGB(clBtnShadow)), 20);
  EXPECT_EQ(C.Count(F.All(), RGB(255, 0, 0)), 0);
}

TEST(OwnctlLabel, FiresItsMouseEvents) {
  TLabelForm F;
  int Enter = 0, Leave = 0;
  F.Lbl->OnMouseEnter = [&](TObject* S) { Enter += S == F.Lbl; };
  F.Lbl->OnMouseLeave = [&](TObject* S) { Leave += S == F.Lbl; };
  F.Show();
  // Each coming of the pointer onto the label fires its enter, each going its leave (on a busy
  // machine a late report of an earlier place may take the pointer off the label and back once).
  ASSERT_TRUE(MoveTo(F.Form->Handle(), F.Lbl->Left() + 3, F.Lbl->Top() + 3));
  ASSERT_TRUE(uitest::WaitFor([&] { return Enter >= 1 && Enter == Leave + 1; }));
  ASSERT_TRUE(PointerAway());
  ASSERT_TRUE(uitest::WaitFor([&] { return Leave == Enter; }));
}
