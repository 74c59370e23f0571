// The skin engine's built-in shadows, which the program file carries: a form with extended
// borders under the program's own skin (which brings no EXBORDER picture) casts a shadow on what
// lies under it, darker near the form and fading out.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "framework/Forms.h"
#include "framework/StreamAdapter.h"
#include "skin/core/acGlow.h"
#include "skin/core/acPNG.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sStoredSkins.h"
#include "skin/forms/sSkinProvider.h"
#include "support/AppTestHelpers.h"

namespace {

// A plain white window under everything, for the shadow to fall on.
struct TWhiteGround {
  HWND Wnd = nullptr;
  TWhiteGround() {
    WNDCLASSW C{};
    C.lpfnWndProc = DefWindowProcW;
    C.hInstance = GetModuleHandleW(nullptr);
    C.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    C.lpszClassName = L"ShadowTestGround";
    RegisterClassW(&C);
    Wnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, C.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                          700, 600, nullptr, nullptr, C.hInstance, nullptr);
    SetWindowPos(Wnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    apptest::Pump();
  }
  ~TWhiteGround() { DestroyWindow(Wnd); }
};

COLORREF ScreenAt(int X, int Y) {
  HDC DC = GetDC(nullptr);
  const COLORREF C = GetPixel(DC, X, Y);
  ReleaseDC(nullptr, DC);
  return C;
}

int Brightness(COLORREF C) { return GetRValue(C) + GetGValue(C) + GetBValue(C); }

}  // namespace

TEST(BuiltInShadows, TheProgramCarriesThemAsPictures) {
  // The engine reads them when it starts, with the first skin manager.
  TsSkinManager Starter(nullptr);
  ASSERT_NE(acShadowActive, nullptr) << "the program file holds no resource acSHDA";
  ASSERT_NE(acShadowInactive, nullptr) << "the program file holds no resource acSHDI";
  // Wide and high enough for the margins (11, 7, 11, 11) of the nine-slice.
  EXPECT_GT(acShadowActive->Width(), 22);
  EXPECT_GT(acShadowActive->Height(), 18);
}

TEST(BuiltInShadows, AFormWithExtendedBordersCastsAShadow) {
  if (acUpdateLayeredWindow == nullptr) GTEST_SKIP() << "the system has no layered windows";
  TWhiteGround Ground;
  auto M = std::make_unique<TsSkinManager>(nullptr);
  TsStoredSkin* Stored = M->InternalSkins()->Add();
  Stored->SetName("Program skin");
  {
    TResourceStream Pack(GetModuleHandleW(nullptr), "DEFAULTSKIN", MAKEINTRESOURCEA(10));
    Stored->ReadData(Pack);
  }
  M->SetSkinDirectory("c:\\no skins here");
  M->SetExtendedBorders(true);
  M->SetSkinName("Program skin");
  ASSERT_TRUE(M->SkinActive());
  EXPECT_EQ(M->ShadowMargin(), (TRect{11, 7, 11, 11}));

  auto* F = new TForm(nullptr);
  F->SetPosition(poDesigned);
  F->SetBounds(150, 120, 320, 200);
  F->Handle();
  new TsSkinProvider(F);
  uitest::ShowSettled(F);
  uitest::PumpFor(500);
  RECT R{};
  GetWindowRect(F->Handle(), &R);
  const int MidX = (R.left + R.right) / 2;
  // Just under the form the ground is darkened; farther away it is white.
  const COLORREF Near = ScreenAt(MidX, R.bottom + 2);
  const COLORREF Far = ScreenAt(MidX, R.bottom + 40);
  EXPECT_EQ(Far, RGB(255, 255, 255));
  EXPECT_LT(Brightness(Near), Brightness(RGB(255, 255, 255)) - 60) << std::hex << Near;
  delete F;
  apptest::Pump();
}

TEST(BuiltInShadows, TheFormsRoundedCornersShowTheShadowUnderThem) {
  // The frame's corners are cut round; where the form lies over the middle of the nine-sliced
  // shadow picture (the program's skin moves the shadow no further under the form), the cut
  // pixels show that middle, not a hole through the shadow.
  if (acUpdateLayeredWindow == nullptr) GTEST_SKIP() << "the system has no layered windows";
  auto M = std::make_unique<TsSkinManager>(nullptr);
  TsStoredSkin* Stored = M->InternalSkins()->Add();
  Stored->SetName("Program skin");
  {
    TResourceStream Pack(GetModuleHandleW(nullptr), "DEFAULTSKIN", MAKEINTRESOURCEA(10));
    Stored->ReadData(Pack);
  }
  M->SetSkinDirectory("c:\\no skins here");
  M->SetExtendedBorders(true);
  M->SetSkinName("Program skin");
  ASSERT_TRUE(M->SkinActive());
  ASSERT_EQ(M->SkinData()->FormOffset, 0);
  auto* F = new TForm(nullptr);
  F->SetPosition(poDesigned);
  F->SetBounds(150, 120, 320, 200);
  F->Handle();
  auto* P = new TsSkinProvider(F);
  uitest::ShowSettled(F);
  uitest::PumpFor(300);
  TBitmap* Img = P->SkinData()->CacheBmp();
  ASSERT_NE(Img, nullptr);
  ASSERT_EQ(Img->PixelFormat(), pf32bit);
  const TRect E = P->ExtBorderMargins();
  const int W = Img->Width(), H = Img->Height();
  GdiFlush();
  auto Alpha = [&](int X, int Y) { return static_cast<int>(static_cast<const Byte*>(Img->ScanLine(Y))[4 * X + 3]); };
  // Just outside the form the shadow; the outermost corner pixels of the form are cut.
  EXPECT_GT(Alpha(E.Left - 1, E.Top + 20), 0);
  const POINT Corners[4] = {{E.Left, E.Top}, {W - E.Right - 1, E.Top}, {E.Left, H - E.Bottom - 1},
                            {W - E.Right - 1, H - E.Bottom - 1}};
  for (const POINT& C : Corners) {
    EXPECT_LT(Alpha(C.x, C.y), 255) << C.x << "," << C.y << ": the corner is cut";
    EXPECT_GT(Alpha(C.x, C.y), 0) << C.x << "," << C.y << ": the shadow shows under the corner";
  }
  delete F;
  apptest::Pump();
}
