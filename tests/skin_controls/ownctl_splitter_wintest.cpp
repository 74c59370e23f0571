// The skinned splitter: painted from its section over the form, with its glyph, in the hot look
// under the real pointer and the pressed look while dragged, still sizing its neighbour by a real
// drag; hints kept away while it is pressed; the snapped-shut neighbour brought back.
#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "ownctl_support.h"
#include "skin/controls/sSplitter.h"
#include "skin/core/sConst.h"

using namespace ownctl;

namespace {

// A right-aligned splitter of width 6 at x 290 between the form's space and a right panel.
struct TSplitterForm : TTestForm {
  TPanel* Right;
  TsSplitter* Split;
  explicit TSplitterForm(TResizeStyle Style = rsUpdate) {
    Right = new TPanel(Form);
    Right->SetParent(Form);
    Right->SetBounds(300, 0, 100, 200);
    Right->SetAlign(alRight);
    Split = new TsSplitter(Form);
    Split->SetParent(Form);
    Split->SetBounds(290, 0, 6, 200);
    Split->SetAlign(alRight);
    Split->SetResizeStyle(Style);
  }
  HWND W() const { return Form->Handle(); }
  int MidY() const { return Split->Top() + Split->Height() / 2; }
  COLORREF At(int DX, int Y = -1) const { return uitest::WindowPixel(W(), Split->Left() + DX, Y < 0 ? MidY() : Y); }
};

// A 24-bit glyph W x H of one colour; its lower-left pixel is blue (the transparent colour).
std::unique_ptr<TBitmap> SolidGlyph(int W, int H, TColor C) {
  auto B = std::make_unique<TBitmap>(W, H, pf24bit);
  B->Canvas()->Brush()->SetColor(C);
  B->Canvas()->FillRect(Rect(0, 0, W, H));
  B->Canvas()->SetPixels(0, H - 1, clBlue);
  return B;
}

}  // namespace

TEST(OwnctlSplitter, PaintsItsSectionNormalAndHotUnderTheRealPointerAndStillSizesByDrag) {
  auto M = LoadProgramSkin();
  ASSERT_TRUE(M->SkinActive());
  TSplitterForm F;
  F.Show();
  ASSERT_TRUE(PointerAway());
  ASSERT_TRUE(F.Split->SkinData()->IsSkinned(false));
  // Every column of the splitter shows the section's colour; the form beside it stays white.
  auto Normal = [&] {
    for (int X = 0; X < 6; ++X)
      if (F.At(X) != SplitterColor) return false;
    return true;
  };
  ASSERT_TRUE(uitest::WaitFor(Normal));
  EXPECT_EQ(F.At(-1), RGB(255, 255, 255));
  F.Split->Glyph()->SetSize(0, 0);  // an empty glyph draws nothing extra
  EXPECT_FALSE(F.Split->Dragging());

  // The real pointer over it: the hot look.
  ASSERT_TRUE(MoveTo(F.W(), F.Split->Left() + 3, F.MidY()));
  ASSERT_TRUE(uitest::WaitFor([&] { return F.At(3) == SplitterHotColor; }));
  EXPECT_TRUE(F.Split->SkinData()->MouseOver);

  // A real drag 40 pixels to the left sizes the right panel and keeps the hot look while dragged.
  // Each step waits until the splitter has handled the input before the next one: the release
  // carries its own point, which must be the end of the drag, not where the splitter stood before
  // a move the system had not delivered yet.
  const int Before = F.Right->Width();
  const int Start = F.Split->Left() + 3;
  ASSERT_TRUE(PressAt(F.W(), Start, F.MidY()));
  ASSERT_TRUE(uitest::WaitFor([&] { return F.Split->Dragging(); }));
  ASSERT_TRUE(MoveTo(F.W(), Start - 40, F.MidY()));
  ASSERT_TRUE(uitest::WaitFor([&] { return F.Right->Width() == Before + 40; }));  // sized live
  EXPECT_TRUE(uitest::WaitFor([&] { return F.At(3) == SplitterHotColor; }));
  ReleaseAt(F.W(), Start - 40, F.MidY());
  ASSERT_TRUE(uitest::WaitFor([&] { return !F.Split->Dragging(); }));
  EXPECT_EQ(F.Right->Width(), Before + 40);
  EXPECT_EQ(F.Split->Left() + F.Split->Width(), F.Right->Left());

  // The pointer gone: the normal look again.
  ASSERT_TRUE(PointerAway());
  ASSERT_TRUE(uitest::WaitFor(Normal));
  SaveWindow(F.W(), "ownctl_splitter");
}

TEST(OwnctlSplitter, ShowsThePressedFrameOnlyWhileDraggedInLiveUpdate) {
  auto M = LoadStatesSkin();
  ASSERT_TRUE(M->SkinActive());
  for (TResizeStyle Style : {rsUpdate, rsPattern}) {
    TSplitterForm F(Style);
    F.Show();
    ASSERT_TRUE(PointerAway());
    uitest::Settle(F.W());
    // The border's left strip shows the frame of the state, the middle the section's colour.
    EXPECT_EQ(F.At(0), ColorToRGB(StateColors[0]));
    EXPECT_EQ(F.At(3), RGB(0, 0, 0));
    ASSERT_TRUE(MoveTo(F.W(), F.Split->Left() + 3, F.MidY()));
    ASSERT_TRUE(uitest::WaitFor([&] { return F.At(0) == ColorToRGB(StateColors[1]); }));
    EXPECT_EQ(F.At(3), RGB(255, 255, 255));
    const int Start = F.Split->Left() + 3;
    ASSERT_TRUE(PressAt(F.W(), Start, F.MidY()));
    ASSERT_TRUE(uitest::WaitFor([&] { return F.Split->Dragging(); }));
    uitest::Settle(F.W());
    if (Style == rsUpdate) {
      EXPECT_EQ(F.At(0), ColorToRGB(StateColors[2]));
    } else {
      // The sizing line inverts every other pixel over the hot look, which stays under it.
      const COLORREF Hot = ColorToRGB(StateColors[1]);
      for (int Y = F.MidY(); Y < F.MidY() + 2; ++Y) {
        const COLORREF P = F.At(0, Y);
        EXPECT_TRUE(P == Hot || P == (~Hot & 0xFFFFFF)) << std::hex << P;
      }
    }
    ReleaseAt(F.W(), Start, F.MidY());
    ASSERT_TRUE(uitest::WaitFor([&] { return !F.Split->Dragging(); }));
    uitest::Settle(F.W());
    EXPECT_EQ(F.At(0), ColorToRGB(StateColors[1]));
    ASSERT_TRUE(PointerAway());
  }
}

TEST(OwnctlSplitter, CentresItsGlyphSkinnedAndUnskinned) {
  for (bool Skinned : {true, false}) {
    std::unique_ptr<TsSkinManager> M = Skinned ? LoadProgramSkin() : nullptr;
    TSplitterForm F;
    F.Split->SetWidth(12);
    F.Split->SetColor(clLime);
    auto Glyph = SolidGlyph(4, 6, clRed);
    F.Split->SetGlyph(Glyph.get());
    EXPECT_EQ(F.Split->Glyph()->Width(), 4);  // a copy
    F.Show();
    ASSERT_TRUE(PointerAway());
    uitest::Settle(F.W());
    const COLORREF Face = Skinned ? SplitterColor : RGB(0, 255, 0);
    const int Y0 = F.MidY() - 3;
    // Columns 4..7 and rows Y0..Y0+5 hold the glyph; its lower-left pixel is transparent.
    EXPECT_EQ(F.At(5, Y0), RGB(255, 0, 0)) << Skinned;
    EXPECT_EQ(F.At(7, Y0 + 5), RGB(255, 0, 0)) << Skinned;
    EXPECT_EQ(F.At(4, Y0 + 5), Face) << Skinned;
    EXPECT_EQ(F.At(3, Y0), Face) << Skinned;
    EXPECT_EQ(F.At(8, Y0), Face) << Skinned;
    EXPECT_EQ(F.At(5, Y0 - 1), Face) << Skinned;
  }
}

TEST(OwnctlSplitter, AGlyphWiderThanTheSplitterIsCentredAndClipped) {
  auto M = LoadProgramSkin();
  TSplitterForm F;
  auto Glyph = SolidGlyph(20, 4, clRed);
  F.Split->SetGlyph(Glyph.get());
  F.Show();
  ASSERT_TRUE(PointerAway());
  uitest::Settle(F.W());
  const int Y = F.MidY() - 1;
  for (int X = 0; X < 6; ++X) EXPECT_EQ(F.At(X, Y), RGB(255, 0, 0)) << X;
  // Nothing outside the splitter.
  EXPECT_EQ(F.At(-1, Y), RGB(255, 255, 255));
  EXPECT_NE(F.At(6, Y), RGB(255, 0, 0));
}

TEST(OwnctlSplitter, BlendsAGlyphWithAlpha) {
  auto M = LoadProgramSkin();
  TSplitterForm F;
  F.Split->SetWidth(10);
  // 4 x 4, left half opaque red, right half fully transparent.
  TBitmap Glyph(4, 4, pf32bit);
  for (int Y = 0; Y < 4; ++Y) {
    auto* P = static_cast<Byte*>(Glyph.ScanLine(Y));
    for (int X = 0; X < 4; ++X) {
      const bool Opaque = X < 2;
      P[X * 4 + 0] = 0;
      P[X * 4 + 1] = 0;
      P[X * 4 + 2] = Opaque ? 255 : 0;
      P[X * 4 + 3] = Opaque ? 255 : 0;
    }
  }
  F.Split->SetGlyph(&Glyph);
  F.Show();
  ASSERT_TRUE(PointerAway());
  uitest::Settle(F.W());
  const int Y = F.MidY();
  EXPECT_TRUE(Near(F.At(3, Y), RGB(255, 0, 0)));
  EXPECT_TRUE(Near(F.At(4, Y), RGB(255, 0, 0)));
  EXPECT_EQ(F.At(5, Y), SplitterColor);
  EXPECT_EQ(F.At(6, Y), SplitterColor);
}

TEST(OwnctlSplitter, KeepsHintsAwayWhilePressed) {
  TSplitterForm F;
  F.Show();
  Application->SetShowHint(true);
  F.Split->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 20));
  EXPECT_FALSE(Application->ShowHint());
  EXPECT_TRUE(acHintsSuppressed);
  // A second press before the release keeps the value saved first.
  F.Split->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 20));
  EXPECT_FALSE(Application->ShowHint());
  F.Split->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2, 20));
  EXPECT_TRUE(Application->ShowHint());
  EXPECT_FALSE(acHintsSuppressed);
  // Hints that were off stay off.
  Application->SetShowHint(false);
  F.Split->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 20));
  F.Split->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2, 20));
  EXPECT_FALSE(Application->ShowHint());
  Application->SetShowHint(true);
}

TEST(OwnctlSplitter, BringsAClosedNeighbourBackOnlyForTopAndLeftSplitters) {
  TTestForm F;
  auto* Top = new TPanel(F.Form);
  Top->SetParent(F.Form);
  Top->SetAlign(alTop);
  Top->SetHeight(50);
  auto* Other = new TPanel(F.Form);
  Other->SetParent(F.Form);
  Other->SetBounds(10, 150, 40, 0);  // closed to nothing, somewhere else
  auto* S = new TsSplitter(F.Form);
  S->SetParent(F.Form);
  S->SetAlign(alTop);
  S->SetHeight(6);
  F.Show();
  S->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
  EXPECT_EQ(Other->Top(), S->Top());
  S->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 2));

  TSplitterForm R;  // right-aligned: nothing is moved
  auto* Closed = new TPanel(R.Form);
  Closed->SetParent(R.Form);
  Closed->SetBounds(10, 20, 0, 30);
  R.Show();
  R.Split->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 20));
  R.Split->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2, 20));
  EXPECT_EQ(Closed->Left(), 10);
}

TEST(OwnctlSplitter, AnswersTheSkinQuestionsAndIgnoresOtherManagers) {
  auto M = LoadProgramSkin();
  TSplitterForm F;
  F.Show();
  EXPECT_EQ(F.Split->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED), 0), 1);
  EXPECT_EQ(F.Split->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_GETAPPLICATION), 0), reinterpret_cast<LRESULT>(Application));
  // Removal by another manager leaves the splitter's binding alone; by its own it drops it.
  TsSkinManager Other(nullptr);
  F.Split->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_SKINREMOVED), reinterpret_cast<LPARAM>(&Other));
  EXPECT_GE(F.Split->SkinData()->SectionIndex, 0);
  uitest::Settle(F.W());
  ASSERT_TRUE(PointerAway());
  uitest::Settle(F.W());
  EXPECT_EQ(F.At(3), SplitterColor);
}

TEST(OwnctlSplitter, PaintsAsThePlainSplitterWithoutASkin) {
  TSplitterForm F;
  F.Split->SetColor(clYellow);
  F.Show();
  EXPECT_FALSE(F.Split->SkinData()->IsSkinned(false));
  EXPECT_EQ(F.At(3), RGB(255, 255, 0));
  EXPECT_EQ(F.Split->Width(), 6);
  EXPECT_EQ(F.Split->SkinData()->SkinSection(), "SPLITTER");
}
