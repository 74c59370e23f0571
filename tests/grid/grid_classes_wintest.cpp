// The shared grid classes: wide-text measurement on both platform roads, the hint-window
// wrappers on a real hint window, the parent-form check on real forms, and the unit's settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/Forms.h"
#include "framework/Strings.h"
#include "grid/NxClasses.h"
#include "support/MessageOf.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

using uitest::TMemoryDC;

namespace {

// A canvas on a memory bitmap with the grid's usual font.
struct TMeasureCanvas {
  TMemoryDC M{8, 8};
  TCanvas C;
  explicit TMeasureCanvas(const char* Font = "MS Sans Serif") {
    C.SetHandle(M.DC());
    C.Font()->SetName(Font);
  }
  ~TMeasureCanvas() { C.SetHandle(nullptr); }
};

// Restores the platform switch when a test that changes it ends.
struct TPlatformGuard {
  bool Saved = IsUnicodePlatform;
  ~TPlatformGuard() { IsUnicodePlatform = Saved; }
};

// "Канал 1" in code page 1251, the program's code page.
WideString Cyrillic() { return AnsiToWide("\xCA\xE0\xED\xE0\xEB 1"); }

}  // namespace

// ---- text measurement -------------------------------------------------------------------------

TEST(GridTextMeasure, ThePinnedSystemIsOfTheNtFamily) { EXPECT_TRUE(IsUnicodePlatform); }

TEST(GridTextMeasure, EmptyTextIsZeroWideOnBothRoads) {
  TPlatformGuard Guard;
  TMeasureCanvas Cv;
  for (bool Unicode : {true, false}) {
    IsUnicodePlatform = Unicode;
    EXPECT_EQ(TextWidthW(&Cv.C, L""), 0) << Unicode;
    EXPECT_EQ(CalcTextWidthW(&Cv.C, L""), 0) << Unicode;
  }
}

TEST(GridTextMeasure, WideMeasurementIsThePlatformsExtent) {
  TMeasureCanvas Cv;
  const WideString T = L"Channel list";
  SIZE Expected{};
  Cv.C.TextExtent(L"");  // the canvas's font is now in the DC
  GetTextExtentPoint32W(Cv.M.DC(), T.c_str(), static_cast<int>(T.size()), &Expected);
  EXPECT_EQ(TextWidthW(&Cv.C, T), Expected.cx);
  EXPECT_EQ(TextHeightW(&Cv.C, T), Expected.cy);
  TSize S{99, 99};
  TextExtentW(&Cv.C, T, S);
  EXPECT_EQ(S, (TSize{Expected.cx, Expected.cy}));
  EXPECT_GT(S.cx, 30);
}

TEST(GridTextMeasure, ByteStringRoadMeasuresTheConvertedText) {
  TPlatformGuard Guard;
  TMeasureCanvas Cv;
  const int Wide = TextWidthW(&Cv.C, Cyrillic());
  const int WideHeight = TextHeightW(&Cv.C, Cyrillic());
  const int WideCalc = CalcTextWidthW(&Cv.C, Cyrillic());
  IsUnicodePlatform = false;
  EXPECT_EQ(TextWidthW(&Cv.C, Cyrillic()), Wide);
  EXPECT_EQ(TextHeightW(&Cv.C, Cyrillic()), WideHeight);
  EXPECT_EQ(CalcTextWidthW(&Cv.C, Cyrillic()), WideCalc);
  // A character the code page lacks becomes '?' on this road.
  EXPECT_EQ(TextWidthW(&Cv.C, L"a\x4E2D"), Cv.C.TextWidth(AnsiString("a?")));
}

TEST(GridTextMeasure, CalcWidthIsTheWidestLine) {
  TMeasureCanvas Cv;
  EXPECT_EQ(CalcTextWidthW(&Cv.C, L"Channel"), TextWidthW(&Cv.C, L"Channel"));
  EXPECT_EQ(CalcTextWidthW(&Cv.C, L"ab\r\nChannel list\r\nxyz"), TextWidthW(&Cv.C, L"Channel list"));
}

TEST(GridTextMeasure, NoCanvasRaises) {
  auto Message = [](const std::function<void()>& Fn) { return exctest::MessageOf<EInvalidOperation>(Fn); };
  EXPECT_EQ(Message([] { TextWidthW(nullptr, L"a"); }), "TextWidthW: no canvas to measure on");
  EXPECT_EQ(Message([] { TextHeightW(nullptr, L"a"); }), "TextHeightW: no canvas to measure on");
  EXPECT_EQ(Message([] { CalcTextWidthW(nullptr, L"a"); }), "CalcTextWidthW: no canvas to measure on");
  TSize S{5, 5};
  EXPECT_EQ(Message([&] { TextExtentW(nullptr, L"a", S); }), "TextExtentW: no canvas to measure on");
  EXPECT_EQ(S, (TSize{0, 0}));
}

// ---- hint windows -----------------------------------------------------------------------------

TEST(GridHints, ShowsTheConvertedTextAndHidesIt) {
  std::unique_ptr<THintWindow> H(HintWindowClass(nullptr));
  const WideString Text = Cyrillic() + L" \x4E2D";
  TRect R = CalcHintRectW(H.get(), 300, Text, nullptr);
  EXPECT_EQ(R, H->CalcHintRect(300, Cyrillic() + L" ?", nullptr));
  R.Offset(200, 150);
  ActivateHintW(H.get(), R, Text);
  ASSERT_TRUE(H->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(H->Handle()));
  EXPECT_EQ(H->Text(), Cyrillic() + L" ?");
  EXPECT_EQ(H->BoundsRect(), R);
  ReleaseHintWindow(H.get());
  EXPECT_FALSE(H->HandleAllocated());
  ReleaseHintWindow(H.get());  // nothing left to release
  EXPECT_FALSE(H->HandleAllocated());
}

TEST(GridHints, NoHintWindowIsNoWork) {
  ActivateHintW(nullptr, TRect{0, 0, 10, 10}, L"x");
  ReleaseHintWindow(nullptr);
  EXPECT_TRUE(CalcHintRectW(nullptr, 100, L"x", nullptr).IsEmpty());
}

// ---- parent forms -----------------------------------------------------------------------------

TEST(GridParentForm, TrueOnlyWhileTheControlsFormIsActive) {
  auto A = std::make_unique<TForm>(nullptr);
  A->SetBounds(100, 100, 200, 150);
  auto* Child = new TCustomControl(A.get());
  Child->SetParent(A.get());
  auto B = std::make_unique<TForm>(nullptr);
  B->SetBounds(350, 100, 200, 150);
  A->Show();
  B->Show();
  ASSERT_TRUE(realinput::BringToFront(A->Handle()));
  ASSERT_TRUE(uitest::WaitFor([&] { return A->Active(); }));
  EXPECT_TRUE(IsParentFormActive(Child));
  EXPECT_TRUE(IsParentFormActive(A.get()));
  ASSERT_TRUE(realinput::BringToFront(B->Handle()));
  ASSERT_TRUE(uitest::WaitFor([&] { return !A->Active(); }));
  EXPECT_FALSE(IsParentFormActive(Child));
  // A control without a form, and no control.
  TCustomControl Loose(nullptr);
  EXPECT_FALSE(IsParentFormActive(&Loose));
  EXPECT_FALSE(IsParentFormActive(nullptr));
}

// ---- the rest of the unit ---------------------------------------------------------------------

TEST(GridClassesUnit, SettingsCaptionsAndSmallHelpers) {
  ASSERT_NE(LocalSettings(), nullptr);
  EXPECT_EQ(LocalSettings(), LocalSettings());
  EXPECT_TRUE(LocalSettings()->ClassNameIs("TLocalSettings"));
  EXPECT_EQ(strToday, L"Today");
  EXPECT_EQ(strNone, L"None");
  int A = 3, B = -7;
  SwapInt(A, B);
  EXPECT_EQ(A, -7);
  EXPECT_EQ(B, 3);
  EXPECT_TRUE(IsNoCell(Point(-1, 4)));
  EXPECT_TRUE(IsNoCell(Point(2, -1)));
  EXPECT_FALSE(IsNoCell(Point(0, 0)));
}
