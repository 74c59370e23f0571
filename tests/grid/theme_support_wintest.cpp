// Theme support: the real theme library on the pinned system (loaded, visual styles off, nothing
// themed drawn), and the themed road through a table of the test's own theme functions: the order
// of the theme queries, the part and state that reach the drawing call, the clip rectangle and the
// closing of the theme data.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "grid/NxThemeSupport.h"
#include "support/UiTest.h"

using uitest::TCapture;
using uitest::TMemoryDC;

namespace {

constexpr COLORREF White = RGB(255, 255, 255);

// What the fake theme functions were asked, in order.
std::vector<std::string> Calls;
BOOL AppThemedAnswer = TRUE;
BOOL ThemeActiveAnswer = TRUE;
bool OpenAnswersNothing = false;
HWND OpenedFor = nullptr;
RECT DrawnRect{};
RECT DrawnClip{};
bool DrawnWithClip = false;
HTHEME const FakeTheme = reinterpret_cast<HTHEME>(static_cast<std::uintptr_t>(0x5150));

std::string Narrow(const wchar_t* S) {
  std::string R;
  for (; S != nullptr && *S != 0; ++S) R += static_cast<char>(*S);
  return R;
}

BOOL WINAPI FakeIsAppThemed() {
  Calls.push_back("IsAppThemed");
  return AppThemedAnswer;
}
BOOL WINAPI FakeIsThemeActive() {
  Calls.push_back("IsThemeActive");
  return ThemeActiveAnswer;
}
HTHEME WINAPI FakeOpenThemeData(HWND Window, LPCWSTR ClassList) {
  Calls.push_back("Open " + Narrow(ClassList));
  OpenedFor = Window;
  return OpenAnswersNothing ? nullptr : FakeTheme;
}
HRESULT WINAPI FakeCloseThemeData(HTHEME Theme) {
  Calls.push_back(Theme == FakeTheme ? "Close" : "Close another theme");
  return S_OK;
}
// Paints the rectangle (within the clip) in a colour made of the part and the state.
HRESULT WINAPI FakeDrawThemeBackground(HTHEME Theme, HDC DC, int Part, int State, const RECT* Rect, const RECT* Clip) {
  Calls.push_back((Theme == FakeTheme ? "Draw part " : "Draw another theme part ") + std::to_string(Part) + " state " +
                  std::to_string(State));
  DrawnRect = *Rect;
  DrawnWithClip = Clip != nullptr;
  if (Clip != nullptr) DrawnClip = *Clip;
  RECT R;
  if (Clip == nullptr) R = *Rect;
  else IntersectRect(&R, Rect, Clip);
  HBRUSH B = CreateSolidBrush(RGB(Part * 40, State * 40, 90));
  FillRect(DC, &R, B);
  DeleteObject(B);
  return S_OK;
}
int WINAPI FakeGetThemeSysSize(HTHEME, int SizeId) {
  Calls.push_back("SysSize " + std::to_string(SizeId));
  return 7;
}

TThemeFunctions FakeTable() {
  TThemeFunctions F;
  F.Library = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x10000));
  F.OpenThemeData = FakeOpenThemeData;
  F.CloseThemeData = FakeCloseThemeData;
  F.DrawThemeBackground = FakeDrawThemeBackground;
  F.GetThemeSysSize = FakeGetThemeSysSize;
  F.IsThemeActive = FakeIsThemeActive;
  F.IsAppThemed = FakeIsAppThemed;
  return F;
}

std::string Joined() {
  std::string S;
  for (const auto& C : Calls) S += (S.empty() ? "" : "; ") + C;
  return S;
}

// Runs a test with the fake table in place and puts the real one back afterwards.
struct FakeThemeFixture : ::testing::Test {
  TThemeFunctions Real;
  void SetUp() override {
    Calls.clear();
    AppThemedAnswer = ThemeActiveAnswer = TRUE;
    OpenAnswersNothing = false;
    OpenedFor = nullptr;
    DrawnRect = DrawnClip = RECT{};
    DrawnWithClip = false;
    Real = ReplaceThemeFunctions(FakeTable());
  }
  void TearDown() override { ReplaceThemeFunctions(Real); }
};

}  // namespace

// ---- the pinned system: the library is there, visual styles are off ----------------------------

TEST(ThemeSystem, TheLibraryIsLoadedWithAllItsFunctions) {
  const TThemeFunctions& F = ThemeFunctions();
  ASSERT_NE(F.Library, nullptr);
  EXPECT_EQ(F.Library, GetModuleHandleW(L"uxtheme.dll"));
  EXPECT_NE(F.OpenThemeData, nullptr);
  EXPECT_NE(F.CloseThemeData, nullptr);
  EXPECT_NE(F.DrawThemeBackground, nullptr);
  EXPECT_NE(F.DrawThemeEdge, nullptr);
  EXPECT_NE(F.GetThemeSysSize, nullptr);
  EXPECT_NE(F.IsThemeActive, nullptr);
  EXPECT_NE(F.IsAppThemed, nullptr);
  // Loading again keeps the library already held.
  const HMODULE Held = F.Library;
  LoadThemeLibrary();
  EXPECT_EQ(ThemeFunctions().Library, Held);
}

TEST(ThemeSystem, WithVisualStylesOffNothingIsThemed) {
  EXPECT_FALSE(IsThemed());
  EXPECT_FALSE(ThemeFunctions().IsThemeActive());
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(100, 100, 200, 120);
  F->Show();
  uitest::Pump();
  TMemoryDC M(40, 30);
  DrawThemedPart(F->Handle(), M.DC(), TRect{0, 0, 40, 30}, 1, 1, L"header");
  DrawThemedPart(F->Handle(), M.DC(), TRect{0, 0, 40, 30}, 1, 1, L"edit");
  const TCapture Cap(M.DC(), TRect{0, 0, 40, 30});
  EXPECT_EQ(Cap.CountOther(TRect{0, 0, 40, 30}, White), 0);
  EXPECT_EQ(NxOpenThemeData(F->Handle(), L"header"), nullptr);
}

TEST(ThemeSystem, WithoutALibraryLoadingFindsTheRealOne) {
  const TThemeFunctions Real = ReplaceThemeFunctions(TThemeFunctions{});
  EXPECT_FALSE(IsThemed());
  LoadThemeLibrary();
  const TThemeFunctions Loaded = ThemeFunctions();
  ReplaceThemeFunctions(Real);
  EXPECT_EQ(Loaded.Library, Real.Library);
  EXPECT_EQ(Loaded.DrawThemeBackground, Real.DrawThemeBackground);
  EXPECT_EQ(Loaded.IsAppThemed, Real.IsAppThemed);
}

// ---- the themed road through the test's own functions -----------------------------------------

TEST_F(FakeThemeFixture, IsThemedAsksAppThenActive) {
  EXPECT_TRUE(IsThemed());
  EXPECT_EQ(Joined(), "IsAppThemed; IsThemeActive");
}

TEST_F(FakeThemeFixture, AnApplicationWithoutThemesIsNotAskedFurther) {
  AppThemedAnswer = FALSE;
  EXPECT_FALSE(IsThemed());
  EXPECT_EQ(Joined(), "IsAppThemed");
  Calls.clear();
  AppThemedAnswer = TRUE;
  ThemeActiveAnswer = FALSE;
  EXPECT_FALSE(IsThemed());
  EXPECT_EQ(Joined(), "IsAppThemed; IsThemeActive");
}

TEST_F(FakeThemeFixture, NoLibraryOrAMissingQueryIsNoTheme) {
  TThemeFunctions F = FakeTable();
  F.Library = nullptr;
  ReplaceThemeFunctions(F);
  EXPECT_FALSE(IsThemed());
  F = FakeTable();
  F.IsThemeActive = nullptr;
  ReplaceThemeFunctions(F);
  EXPECT_FALSE(IsThemed());
  EXPECT_EQ(Joined(), "");
}

TEST_F(FakeThemeFixture, DrawThemedPartOpensDrawsThePartInItsStateAndCloses) {
  TMemoryDC M(60, 40);
  HWND Window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x4242));
  // State comes before Part in the routine's arguments; the drawing call takes Part first.
  DrawThemedPart(Window, M.DC(), TRect{5, 6, 45, 26}, 3, 1, L"header");
  EXPECT_EQ(Joined(), "Open header; Draw part 1 state 3; Close");
  EXPECT_EQ(OpenedFor, Window);
  EXPECT_TRUE(DrawnWithClip);
  EXPECT_TRUE(EqualRect(&DrawnRect, &DrawnClip));
  EXPECT_EQ(DrawnRect.left, 5);
  EXPECT_EQ(DrawnRect.bottom, 26);
  const TCapture Cap(M.DC(), TRect{0, 0, 60, 40});
  EXPECT_EQ(Cap.Count(TRect{5, 6, 45, 26}, RGB(40, 120, 90)), 40 * 20);
  EXPECT_EQ(Cap.CountOther(TRect{0, 0, 60, 40}, White), 40 * 20);
}

TEST_F(FakeThemeFixture, NoThemeDataMeansNothingDrawnAndNothingClosed) {
  OpenAnswersNothing = true;
  TMemoryDC M(20, 20);
  DrawThemedPart(nullptr, M.DC(), TRect{0, 0, 20, 20}, 1, 1, L"header");
  EXPECT_EQ(Joined(), "Open header");
  EXPECT_EQ(TCapture(M.DC(), TRect{0, 0, 20, 20}).CountOther(TRect{0, 0, 20, 20}, White), 0);
}

TEST_F(FakeThemeFixture, AMissingDrawingFunctionStillClosesTheData) {
  TThemeFunctions F = FakeTable();
  F.DrawThemeBackground = nullptr;
  ReplaceThemeFunctions(F);
  TMemoryDC M(20, 20);
  DrawThemedPart(nullptr, M.DC(), TRect{0, 0, 20, 20}, 1, 1, L"header");
  EXPECT_EQ(Joined(), "Open header; Close");
}

TEST_F(FakeThemeFixture, KeptHandlesGoThroughTheSafeCalls) {
  HTHEME T = NxOpenThemeData(nullptr, L"header");
  EXPECT_EQ(T, FakeTheme);
  TMemoryDC M(30, 20);
  NxDrawThemeBackground(T, M.DC(), 2, 1, TRect{0, 0, 30, 20});
  EXPECT_FALSE(DrawnWithClip);
  const TRect Clip{0, 0, 10, 20};
  NxDrawThemeBackground(T, M.DC(), 1, 3, TRect{0, 0, 30, 20}, &Clip);
  const TCapture Cap(M.DC(), TRect{0, 0, 30, 20});
  EXPECT_EQ(Cap.Count(TRect{0, 0, 10, 20}, RGB(40, 120, 90)), 200);  // the clipped second drawing
  EXPECT_EQ(Cap.Count(TRect{10, 0, 30, 20}, RGB(80, 40, 90)), 400);  // the first one
  EXPECT_EQ(NxGetThemeSysSize(T, 5), 7);
  NxDrawThemeEdge(T, M.DC(), 1, 1, TRect{0, 0, 5, 5}, EDGE_RAISED, BF_RECT);  // no edge function: nothing
  NxCloseThemeData(T);
  NxCloseThemeData(nullptr);
  EXPECT_EQ(Joined(), "Open header; Draw part 2 state 1; Draw part 1 state 3; SysSize 5; Close");
  // Nothing is asked of a theme that is not there.
  Calls.clear();
  NxDrawThemeBackground(nullptr, M.DC(), 1, 1, TRect{0, 0, 5, 5});
  EXPECT_EQ(NxOpenThemeData(nullptr, nullptr), nullptr);
  ReplaceThemeFunctions(TThemeFunctions{});
  EXPECT_EQ(NxOpenThemeData(nullptr, L"header"), nullptr);
  EXPECT_EQ(NxGetThemeSysSize(nullptr, 5), 0);
  EXPECT_EQ(Joined(), "");
}
