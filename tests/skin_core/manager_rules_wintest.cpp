// The skin manager's process-wide rules: which manager is the default one, the hooks it installs
// (the application-window hook and the thread's WH_CBT hook) and removes, the hover window, the
// version notices of a loaded skin, and the extended-border switch with its shadows.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/Menus.h"
#include "manager_test_support.h"
#include "png_test_support.h"
#include "skin/core/acGlow.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

using namespace mgrtest;
using Strings = std::vector<std::string>;

namespace {

const char* const SkinA = "[GLOBALINFO]\r\nVERSION=7.00\r\n[EDIT]\r\nCOLOR=255\r\n";

std::unique_ptr<TsSkinManager> NewManager() {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(AppDirectory() + "no skins here");
  return M;
}

// Catches the engine's message boxes for the life of the scope.
struct TBoxes {
  Strings Texts;
  TBoxes() {
    acMessageBoxProc = [this](const AnsiString& Text, const AnsiString&, UINT) {
      Texts.push_back(Text);
      return IDOK;
    };
  }
  ~TBoxes() { acMessageBoxProc = nullptr; }
};

// The application hears that it became active.
void ActivateApplication() { SendMessageW(Application->Handle(), CM_ACTIVATE, 0, 0); }

}  // namespace

// ---- The default manager ------------------------------------------------------------------------

TEST(ManagerDefault, IsDefaultMovesOnlyWhenSetTrue) {
  auto First = NewManager();
  auto Second = NewManager();
  ASSERT_TRUE(First->IsDefault());
  First->SetIsDefault(false);
  EXPECT_TRUE(First->IsDefault());
  EXPECT_EQ(TsSkinManager::DefaultManager(), First.get());
  Second->SetIsDefault(false);
  EXPECT_FALSE(Second->IsDefault());

  Second->SetIsDefault(true);
  EXPECT_EQ(TsSkinManager::DefaultManager(), Second.get());
  EXPECT_TRUE(Second->IsDefault());
  EXPECT_FALSE(First->IsDefault());
  // The first manager going away leaves the default alone.
  First.reset();
  EXPECT_EQ(TsSkinManager::DefaultManager(), Second.get());
  Second.reset();
  EXPECT_EQ(TsSkinManager::DefaultManager(), nullptr);
  // With no default manager, any setting makes one.
  auto Third = NewManager();
  auto Fourth = NewManager();
  Third.reset();
  EXPECT_EQ(TsSkinManager::DefaultManager(), nullptr);
  Fourth->SetIsDefault(false);
  EXPECT_TRUE(Fourth->IsDefault());
}

TEST(ManagerDefault, NewDefaultSendsItsSkinAndTakesTheHooks) {
  TTappedForm F;
  auto First = NewManager();
  auto Second = NewManager();
  AddStoredSkin(*First, "A", SkinA);
  AddStoredSkin(*Second, "A", SkinA);
  First->SetSkinName("A");
  Second->SetSkinName("A");
  // Only the default manager hooks the thread.
  EXPECT_TRUE(First->HookInstalled());
  EXPECT_FALSE(Second->HookInstalled());
  const HHOOK FirstHook = acCBTHookHandle;
  ASSERT_NE(FirstHook, nullptr);

  F.Log.Items.clear();
  Second->SetIsDefault(true);
  EXPECT_FALSE(First->HookInstalled());
  EXPECT_TRUE(Second->HookInstalled());
  EXPECT_NE(acCBTHookHandle, nullptr);
  // Its skin goes to all windows, with the repaint, and the forms are repainted once more.
  EXPECT_EQ(F.Log.Only("form:"), (Strings{"form:1", "form:16", "form:3", "form:16", "form:3"}));
  EXPECT_EQ(F.FormTap->LastLParam, reinterpret_cast<LPARAM>(Second.get()));

  // The application-window hook moved too: the old default no longer answers, the new one does.
  F.Log.Items.clear();
  First->SetSkinnedPopups(false);
  ActivateApplication();
  EXPECT_EQ(F.Log.Only("form:"), (Strings{"form:18"}));
  First.reset();
  F.Log.Items.clear();
  ActivateApplication();
  EXPECT_EQ(F.Log.Only("form:"), (Strings{"form:18"}));
  Second.reset();
  EXPECT_EQ(acCBTHookHandle, nullptr);
  F.Log.Items.clear();
  ActivateApplication();
  EXPECT_TRUE(F.Log.Items.empty());
}

TEST(ManagerDefault, InactiveNewDefaultRemovesTheSkin) {
  TTappedForm F;
  auto First = NewManager();
  auto Second = NewManager();
  Second->SetActive(false);
  F.Log.Items.clear();
  Second->SetIsDefault(true);
  EXPECT_EQ(F.Log.Only("form:"), (Strings{"form:2"}));
  EXPECT_FALSE(Second->HookInstalled());
}

// ---- The thread hook -----------------------------------------------------------------------------

namespace {

int CbtCreates = 0;
LRESULT CALLBACK CountingCBTProc(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HCBT_CREATEWND) ++CbtCreates;
  return CallNextHookEx(acCBTHookHandle, Code, WParam, LParam);
}

// A provider the hook made; counts its own destruction.
int ProvidersFreed = 0;
class TFakeProvider : public TObject {
 public:
  ~TFakeProvider() override { ++ProvidersFreed; }
};

HWND NewTopWindow() {
  return CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(ManagerHooks, ThreadHookLivesFromTheFirstSkinUntilTheSkinIsRemoved) {
  TLinkReset Reset;
  int Cleared = 0;
  acFormSkinningLink.CBTHookProc = CountingCBTProc;
  acFormSkinningLink.ClearMnuWnds = [&] { ++Cleared; };
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  EXPECT_FALSE(M->HookInstalled());
  EXPECT_EQ(acCBTHookHandle, nullptr);

  M->SetSkinName("A");
  ASSERT_TRUE(M->HookInstalled());
  ASSERT_NE(acCBTHookHandle, nullptr);
  ASSERT_NE(acHookProviderList, nullptr);
  // The hook sees the thread's new windows.
  CbtCreates = 0;
  HWND W = NewTopWindow();
  EXPECT_GE(CbtCreates, 1);
  DestroyWindow(W);

  // A second skin does not hook twice.
  const HHOOK H = acCBTHookHandle;
  M->SetSkinName("A");
  EXPECT_EQ(acCBTHookHandle, H);

  // Removing the skin frees the providers the hook made (first to last) and unhooks.
  ProvidersFreed = 0;
  acHookProviderList->Add(new TFakeProvider);
  acHookProviderList->Add(nullptr);
  acHookProviderList->Add(new TFakeProvider);
  M->SetActive(false);
  EXPECT_FALSE(M->HookInstalled());
  EXPECT_EQ(acCBTHookHandle, nullptr);
  EXPECT_EQ(acHookProviderList, nullptr);
  EXPECT_EQ(ProvidersFreed, 2);
  EXPECT_EQ(Cleared, 1);
  CbtCreates = 0;
  W = NewTopWindow();
  EXPECT_EQ(CbtCreates, 0);
  DestroyWindow(W);
}

TEST(ManagerHooks, WithoutFormSkinningTheHookOnlyPassesEventsOn) {
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  M->SetSkinName("A");
  ASSERT_NE(acCBTHookHandle, nullptr);
  HWND W = NewTopWindow();
  EXPECT_NE(W, nullptr);
  DestroyWindow(W);
  M.reset();
  EXPECT_EQ(acCBTHookHandle, nullptr);
}

TEST(ManagerHooks, AManagerThatIsNotTheDefaultNeverHooks) {
  auto First = NewManager();
  First->SetActive(false);
  auto Second = NewManager();
  AddStoredSkin(*Second, "A", SkinA);
  Second->SetSkinName("A");
  EXPECT_TRUE(Second->SkinActive());
  EXPECT_FALSE(Second->HookInstalled());
  EXPECT_EQ(acCBTHookHandle, nullptr);
  Second->InstallHook();
  EXPECT_EQ(acCBTHookHandle, nullptr);
}

TEST(ManagerHooks, HoverWindowSendsLeaveThenEnter) {
  TTappedForm A;
  TTappedForm B;
  auto M = NewManager();
  M->SetHoverWindow(A.Form->Handle());
  EXPECT_EQ(A.Log.Items, (Strings{"form:29"}));
  EXPECT_EQ(A.FormTap->LastLParam, reinterpret_cast<LPARAM>(M.get()));
  M->SetHoverWindow(A.Form->Handle());
  EXPECT_EQ(A.Log.Items.size(), 1u);
  M->SetHoverWindow(B.Form->Handle());
  EXPECT_EQ(A.Log.Items, (Strings{"form:29", "form:30"}));
  EXPECT_EQ(B.Log.Items, (Strings{"form:29"}));
  EXPECT_EQ(M->HoverWindow(), B.Form->Handle());
  M->SetHoverWindow(nullptr);
  EXPECT_EQ(B.Log.Items, (Strings{"form:29", "form:30"}));
  EXPECT_EQ(M->HoverWindow(), nullptr);
}

// ---- The application-window hook ----------------------------------------------------------------

namespace {

// A menu painter that logs what the manager asks of it.
struct TMenusLog {
  Strings Calls;
  TBitmap* Frame = nullptr;
};
TMenusLog* MenusLog = nullptr;

class TLoggingMenus : public TacManagerMenus {
 public:
  void ResetSectionIndex() override { MenusLog->Calls.push_back("reset"); }
  void UpdateActive() override { MenusLog->Calls.push_back("active"); }
  TBitmap* FrameBitmapOf(TPopupMenu* Menu, HWND Wnd) override {
    MenusLog->Calls.push_back(Menu != nullptr ? "frame of menu" : "frame of window");
    return MenusLog->Frame;
  }
  void SkinPopupMenuWindow(HWND Wnd, TBitmap* Frame) override { MenusLog->Calls.push_back("skin window"); }
};

LRESULT AppSend(UINT Msg, LPARAM LParam = 0) { return SendMessageW(Application->Handle(), Msg, 0, LParam); }

}  // namespace

TEST(ManagerHooks, MainWindowHookHandlesMenusAndActivation) {
  TLinkReset Reset;
  TMenusLog Log;
  MenusLog = &Log;
  acFormSkinningLink.CreateMenus = [](TsSkinManager*) { return std::make_unique<TLoggingMenus>(); };
  TTappedForm F;
  auto M = NewManager();

  // Theme changes are swallowed while popups are skinned.
  TMessage Theme{WM_THEMECHANGED, 0, 0, 0};
  EXPECT_TRUE(M->MainWindowHook(Theme));
  TMessage Other{WM_USER + 77, 0, 0, 0};
  EXPECT_FALSE(M->MainWindowHook(Other));

  // A popup menu that is not shown: handled, nothing else.
  TPopupMenu Menu(nullptr);
  Menu.Items()->Add(new TMenuItem(&Menu));
  EXPECT_EQ(AppSend(0xBCB3, reinterpret_cast<LPARAM>(&Menu)), 1);
  EXPECT_EQ(AppSend(0xBCB3, 0), 1);
  EXPECT_TRUE(Log.Calls.empty());

  // A popup window: the painter's frame is looked up by window and, when there is one, applied.
  HWND W = NewTopWindow();
  EXPECT_EQ(AppSend(0xBCB4, reinterpret_cast<LPARAM>(W)), 1);
  EXPECT_EQ(Log.Calls, (Strings{"frame of window"}));
  TBitmap Frame(10, 10, pf24bit);
  Log.Frame = &Frame;
  Log.Calls.clear();
  AppSend(0xBCB4, reinterpret_cast<LPARAM>(W));
  EXPECT_EQ(Log.Calls, (Strings{"frame of window", "skin window"}));
  DestroyWindow(W);

  // Activation reaches every form.
  F.Log.Items.clear();
  ActivateApplication();
  EXPECT_EQ(F.Log.Items, (Strings{"form:18"}));
  EXPECT_EQ(F.FormTap->LastLParam, 0);

  // Without skinned popups the hook does nothing at all.
  M->SetSkinnedPopups(false);
  EXPECT_FALSE(M->MainWindowHook(Theme));
  Log.Calls.clear();
  AppSend(0xBCB4, reinterpret_cast<LPARAM>(W));
  EXPECT_TRUE(Log.Calls.empty());
  F.Log.Items.clear();
  ActivateApplication();
  EXPECT_TRUE(F.Log.Items.empty());
  // Switching them on again tells the painter.
  M->SetSkinnedPopups(true);
  EXPECT_EQ(Log.Calls, (Strings{"active"}));
  M.reset();
  MenusLog = nullptr;
}

TEST(ManagerHooks, PaintsTakeTheSystemsNewMetricsOnceTheApplicationHearsOfThem) {
  auto M = NewManager();
  NONCLIENTMETRICSW Was{};
  Was.cbSize = sizeof Was;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof Was, &Was, 0));
  // For this session only: nothing is written to the settings.
  auto Set = [](NONCLIENTMETRICSW Metrics) {
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0));
    AppSend(WM_SETTINGCHANGE, 0);
  };
  TScopeExit Restore([&] { Set(Was); });
  for (const int Grow : {0, 6, 11}) {
    SCOPED_TRACE(Grow);
    NONCLIENTMETRICSW Now = Was;
    Now.iMenuHeight += Grow;
    Now.iCaptionHeight += Grow;
    Now.lfCaptionFont.lfHeight -= Grow;
    Set(Now);
    for (const int Metric : {SM_CYMENU, SM_CYCAPTION, SM_CYSMCAPTION})
      EXPECT_EQ(KeptSystemMetric(Metric), GetSystemMetrics(Metric));
    EXPECT_EQ(GetCaptionFontHeight(), Now.lfCaptionFont.lfHeight);
  }
}

TEST(ManagerHooks, MenuPainterFollowsTheSkin) {
  TLinkReset Reset;
  TMenusLog Log;
  MenusLog = &Log;
  acFormSkinningLink.CreateMenus = [](TsSkinManager*) { return std::make_unique<TLoggingMenus>(); };
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  M->SetSkinName("A");
  EXPECT_EQ(Log.Calls, (Strings{"reset", "active"}));
  Log.Calls.clear();
  M->SetActive(false);
  EXPECT_EQ(Log.Calls, (Strings{"active"}));
  M.reset();
  MenusLog = nullptr;
}

// ---- Version notices ---------------------------------------------------------------------------

TEST(ManagerVersionNotice, OnlySkinsBeyondTheSupportedVersionWarnAtRunTime) {
  const std::string Unsupported =
      "This version of the skin have not complete support by used skin engine package release.\r\n"
      "Components must be updated up to latest version for using this skin.";
  for (const char* Version : {"5.5", "255.0", "7"}) {
    TBoxes Boxes;
    auto M = NewManager();
    AddStoredSkin(*M, "S", std::string("[GLOBALINFO]\r\nVERSION=") + Version + "\r\n");
    M->SetSkinName("S");
    EXPECT_TRUE(Boxes.Texts.empty()) << Version;
    EXPECT_TRUE(M->SkinActive());
  }
  TBoxes Boxes;
  auto M = NewManager();
  AddStoredSkin(*M, "S", "[GLOBALINFO]\r\nVERSION=300\r\n");
  M->SetSkinName("S");
  EXPECT_EQ(Boxes.Texts, (Strings{Unsupported}));
  // The skin is loaded all the same.
  EXPECT_TRUE(M->SkinActive());
  EXPECT_EQ(M->SkinInfo(), "300");
}

TEST(ManagerVersionNotice, OldSkinsAreNamedInADesigner) {
  TBoxes Boxes;
  auto M = NewManager();
  M->SetDesigning(true);
  AddStoredSkin(*M, "Old One", "[GLOBALINFO]\r\nVERSION=5.5\r\n");
  M->SetSkinName("Old One");
  ASSERT_EQ(Boxes.Texts.size(), 1u);
  EXPECT_EQ(Boxes.Texts[0],
            "You use an old version of \"Old One\" skin, please update a skins to latest or contact the skin engine "
            "support for upgrading of existing skin.\r\n\r\nThis notification occurs in design-time only for your "
            "information and will not occur in real-time.");
  // In a designer, a skin too new is not reported (only the old-skin notice is given there).
  Boxes.Texts.clear();
  AddStoredSkin(*M, "New", "[GLOBALINFO]\r\nVERSION=6\r\n");
  M->SetSkinName("New");
  EXPECT_TRUE(Boxes.Texts.empty());
}

// ---- Extended borders and their shadows -----------------------------------------------------------

namespace {

// An EXBORDER picture (PNG with alpha) of two 20 x 10 frames: the first blue, the second green,
// alpha 200.
std::string ExBorderPng() {
  pngtest::Image Im;
  Im.Width = 40;
  Im.Height = 10;
  Im.ColorType = 6;
  Im.Depth = 8;
  Im.Samples.resize(40 * 10 * 4);
  for (int Y = 0; Y < 10; ++Y)
    for (int X = 0; X < 40; ++X) {
      Im.At(X, Y, 0) = 0;                // red
      Im.At(X, Y, 1) = X < 20 ? 0 : 255;  // green
      Im.At(X, Y, 2) = X < 20 ? 255 : 0;  // blue
      Im.At(X, Y, 3) = 200;
    }
  const pngtest::Bytes B = pngtest::Encode(Im);
  return std::string(B.begin(), B.end());
}

std::array<int, 4> Pixel(TBitmap* B, int X, int Y) {
  const Byte* P = static_cast<const Byte*>(B->ScanLine(Y)) + 4 * X;
  return {P[0], P[1], P[2], P[3]};
}

const char* const ExBorderSkin =
    "[GLOBALINFO]\r\nVERSION=7\r\nFORMOFFSET=3\r\n"
    "EXBORDER=!EXB.PNG!2!0!0!0010!0011!0012!0013\r\n";

struct TLayeredSwitch {
  TacUpdateLayeredWindow Saved = acUpdateLayeredWindow;
  ~TLayeredSwitch() { acUpdateLayeredWindow = Saved; }
};

}  // namespace

TEST(ManagerExtendedBorders, NeedLayeredWindows) {
  TLayeredSwitch Restore;
  auto M = NewManager();
  M->SetExtendedBorders(true);
  M->SetAllowGlowing(true);
  acUpdateLayeredWindow = nullptr;
  EXPECT_FALSE(M->ExtendedBorders());
  EXPECT_FALSE(M->AllowGlowing());
  EXPECT_TRUE(M->StoredExtendedBorders());
  AddStoredSkin(*M, "X", ExBorderSkin, {{"EXB.PNG", ExBorderPng()}});
  M->SetSkinName("X");
  EXPECT_EQ(M->ShadowMargin(), (TRect{0, 0, 0, 0}));
  EXPECT_EQ(M->ShadowImage(0), nullptr);
  acUpdateLayeredWindow = Restore.Saved;
  if (acUpdateLayeredWindow != nullptr) {
    EXPECT_TRUE(M->ExtendedBorders());
    EXPECT_TRUE(M->AllowGlowing());
  }
}

TEST(ManagerExtendedBorders, SwitchReloadsTheSkinWithItsShadows) {
  if (acUpdateLayeredWindow == nullptr) GTEST_SKIP() << "the system has no layered windows";
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "X", ExBorderSkin, {{"EXB.PNG", ExBorderPng()}});
  M->SetSkinName("X");
  ASSERT_GE(M->CommonSkinIndexes().ExBorder, 0);
  EXPECT_EQ(M->ShadowMargin(), (TRect{0, 0, 0, 0}));
  F.Log.Items.clear();

  M->SetExtendedBorders(true);
  EXPECT_EQ(F.Log.Only("form:"), (Strings{"form:16", "form:3"}));
  // The entry's margins less the form offset.
  EXPECT_EQ(M->ShadowMargin(), (TRect{7, 8, 9, 10}));
  TPNGGraphic* First = M->ShadowImage(0);
  TPNGGraphic* Second = M->ShadowImage(1);
  ASSERT_NE(First, nullptr);
  ASSERT_NE(Second, nullptr);
  EXPECT_EQ(First->PixelFormat(), pf32bit);
  EXPECT_EQ(First->Width(), 20);
  EXPECT_EQ(First->Height(), 10);
  // Image 1 is the first frame, image 0 the second.
  EXPECT_EQ(Pixel(Second, 5, 5), (std::array<int, 4>{255, 0, 0, 200}));
  EXPECT_EQ(Pixel(First, 5, 5), (std::array<int, 4>{0, 255, 0, 200}));

  // The same value again: nothing.
  F.Log.Items.clear();
  M->SetExtendedBorders(true);
  EXPECT_TRUE(F.Log.Items.empty());

  // Off: margins back to 0 after the reload.
  M->SetExtendedBorders(false);
  EXPECT_EQ(M->ShadowMargin(), (TRect{0, 0, 0, 0}));
  EXPECT_TRUE(M->SkinActive());
}

TEST(ManagerExtendedBorders, BorderModeUsesTheFormOffsetAndBuiltInShadowsStandIn) {
  if (acUpdateLayeredWindow == nullptr) GTEST_SKIP() << "the system has no layered windows";
  auto M = NewManager();
  M->SetExtendedBorders(true);
  AddStoredSkin(*M, "Mode", std::string(ExBorderSkin) + "BORDERMODE=1\r\n", {{"EXB.PNG", ExBorderPng()}});
  M->SetSkinName("Mode");
  EXPECT_EQ(M->ShadowMargin(), (TRect{3, 3, 3, 3}));

  // Without EXBORDER, the built-in shadow serves both images.
  TPNGGraphic* SavedA = acShadowActive;
  TPNGGraphic* SavedI = acShadowInactive;
  TPNGGraphic A, I;
  A.SetPixelFormat(pf32bit);
  A.SetSize(4, 3);
  I.SetPixelFormat(pf32bit);
  I.SetSize(2, 2);
  acShadowActive = &A;
  acShadowInactive = &I;
  AddStoredSkin(*M, "Plain", "[GLOBALINFO]\r\nVERSION=7\r\n");
  M->SetSkinName("Plain");
  acShadowActive = SavedA;
  acShadowInactive = SavedI;
  EXPECT_EQ(M->ShadowMargin(), (TRect{11, 7, 11, 11}));
  ASSERT_NE(M->ShadowImage(0), nullptr);
  EXPECT_EQ(M->ShadowImage(0)->Width(), 4);
  EXPECT_EQ(M->ShadowImage(1)->Width(), 4);
  // Removing the skin takes the margins away.
  M->SetActive(false);
  EXPECT_EQ(M->ShadowMargin(), (TRect{0, 0, 0, 0}));
}
