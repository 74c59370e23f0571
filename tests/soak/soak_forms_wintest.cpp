// A soak of the whole skin engine: 500 skinned forms are created, shown, re-skinned and destroyed,
// in five parts of 100 that run as tests of their own. Each form holds one control of every kind
// the adapter list takes (the class-name lists filled for all kinds), a frame, a label, a speed
// button and a popup menu; forms get their providers from the thread hook or from an explicit
// provider; the skin changes by name, hue and saturation and goes off and on; message boxes and
// popup menus open and close on the way; the forms go in changing orders. Afterwards the process
// holds as many windows, GDI objects and USER objects as it did before, and the freed-memory guard
// (which watches every test) has found nothing.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Menus.h"
#include "framework/Streams.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sStoredSkins.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/lifetime_support.h"
#include "support/SourceTree.h"
#include "support/UiTest.h"

namespace {

constexpr int FormsPerRound = 10;
constexpr int RoundsPerPart = 10;  // five parts: 500 forms

// Closes whatever box or menu of this thread is open, from a timer inside its modal loop.
BOOL CALLBACK CloseBoxOf(HWND W, LPARAM) {
  wchar_t Class[16] = {};
  GetClassNameW(W, Class, 16);
  if (IsWindowVisible(W) && lstrcmpW(Class, L"#32770") == 0) PostMessageW(W, WM_COMMAND, IDOK, 0);
  return TRUE;
}

void CALLBACK CloseModal(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), CloseBoxOf, 0);
  EndMenu();
}

// Runs a modal box or menu that a timer closes again.
void RunClosed(const std::function<void()>& Modal) {
  const UINT_PTR T = SetTimer(nullptr, 0, 30, CloseModal);
  Modal();
  KillTimer(nullptr, T);
}

enum TReskin { rsHue, rsSaturation, rsName, rsOffOn, rsCount };

class Soak : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    FSavedHook = acFormSkinningLink.CBTHookProc;
    FSavedClear = acFormSkinningLink.ClearMnuWnds;
    sSkinMenusInstall();
    sSkinProviderInstall();
    acDialsInstall();
    M = std::make_unique<TsSkinManager>(nullptr);
    // No animations: the soak is about lifetimes, and they would only make it slower.
    M->AnimEffects()->FormShow()->SetActive(false);
    M->AnimEffects()->DialogShow()->SetActive(false);
    M->AnimEffects()->PageChange()->SetActive(false);
    M->AnimEffects()->SkinChanging()->SetActive(false);
    M->SetAllowGlowing(false);
    // The program's skin twice: from its folder ("skin") and stored in the manager ("Stored").
    TsStoredSkin* Stored = M->InternalSkins()->Add();
    Stored->SetName("Stored");
    TFileStream Pack(tvtest::SourcePath("app/res/skin/DefaultBlack.asz"), fmOpenRead | fmShareDenyWrite);
    Stored->ReadData(Pack);
    M->SetSkinDirectory(tvtest::SourcePath("app/res"));
    M->SetSkinName("skin");
    lifetime::FillThirdParty(*M);
    ASSERT_TRUE(M->SkinActive());
  }
  void TearDown() override {
    M.reset();
    uitest::Pump();
    acFormSkinningLink.CBTHookProc = FSavedHook;
    acFormSkinningLink.ClearMnuWnds = FSavedClear;
  }

  void Reskin(TReskin Kind) {
    switch (Kind) {
      case rsHue:
        M->SetHueOffset(M->HueOffset() == 0 ? 40 : 0);
        break;
      case rsSaturation:
        M->SetSaturation(M->Saturation() == 0 ? -30 : 0);
        break;
      case rsName:
        M->SetSkinName(M->SkinName() == "skin" ? "Stored" : "skin");
        break;
      default:
        M->SetActive(false);
        uitest::Pump();
        M->SetActive(true);
        break;
    }
    uitest::Pump();
  }

  // The skin as it is when the counts are taken.
  void PlainSkin() {
    M->SetHueOffset(0);
    M->SetSaturation(0);
    M->SetSkinName("skin");
    uitest::Pump();
  }

  // One round of Count forms: made and shown, re-skinned (Reskins), a message box (Box) and a popup
  // menu (Menu) on the way, and freed in the order Order picks.
  void Round(int Index, int Count, const std::vector<TReskin>& Reskins, bool Box, bool Menu, int Order) {
    struct TMade {
      TForm* Form;
      TsSkinProvider* Provider;  // an explicit one, or nullptr (the hook gives the form one)
    };
    std::vector<TMade> Made;
    for (int I = 0; I < Count; ++I) {
      auto* Form = new TForm(nullptr);
      Form->SetBounds(20 + 12 * I, 20 + 9 * I, 320, 240);
      Form->SetCaption(L"Soak " + std::to_wstring(Index) + L"." + std::to_wstring(I));
      lifetime::FillWithEveryKind(Form);
      auto* Popup = new TPopupMenu(Form);
      for (const wchar_t* Caption : {L"Open", L"-", L"Close"}) {
        auto* Item = new TMenuItem(Form);
        Item->SetCaption(WideString(Caption));
        Popup->Items()->Add(Item);
      }
      Form->SetPopupMenu(Popup);
      TsSkinProvider* Provider = (Index + I) % 2 == 0 ? new TsSkinProvider(Form) : nullptr;
      Made.push_back({Form, Provider});
      Form->Show();
    }
    uitest::Pump();
    for (TReskin K : Reskins) Reskin(K);
    if (Box)
      RunClosed([&] { MessageBoxW(Made[0].Form->Handle(), L"Soak", L"Soak", MB_OK | MB_ICONINFORMATION); });
    if (Menu) RunClosed([&] { Made[1].Form->PopupMenu()->Popup(200, 200); });
    switch (Order % 3) {
      case 0:  // last made first
        for (auto It = Made.rbegin(); It != Made.rend(); ++It) delete It->Form;
        break;
      case 1:  // first made first
        for (TMade& F : Made) delete F.Form;
        break;
      default:  // the explicit providers before their forms
        for (TMade& F : Made) delete F.Provider;
        uitest::Pump();
        for (TMade& F : Made) delete F.Form;
        break;
    }
    uitest::Pump();
  }

  // One part: a first round that makes what the process keeps for good (window classes, fonts,
  // the popup list window, the caches of boxes and menus), the counts, then the part's rounds.
  void RunPart(int Part) {
    Round(-1, 2, {rsHue, rsSaturation, rsName, rsOffOn}, true, true, 2);
    PlainSkin();
    const int Windows = uitest::CountThreadWindows();
    const int Gdi = uitest::GdiObjectCount();
    const int User = uitest::UserObjectCount();
    for (int R = Part * RoundsPerPart; R < (Part + 1) * RoundsPerPart; ++R)
      Round(R, FormsPerRound, {static_cast<TReskin>(R % rsCount)}, R % 5 == 1, R % 5 == 3, R);
    PlainSkin();
    EXPECT_EQ(uitest::CountThreadWindows(), Windows);
    EXPECT_EQ(uitest::GdiObjectCount(), Gdi);
    EXPECT_EQ(uitest::UserObjectCount(), User);
  }

  std::unique_ptr<TsSkinManager> M;

 private:
  HOOKPROC FSavedHook = nullptr;
  std::function<void()> FSavedClear;
};

}  // namespace

TEST_F(Soak, Part0) { RunPart(0); }
TEST_F(Soak, Part1) { RunPart(1); }
TEST_F(Soak, Part2) { RunPart(2); }
TEST_F(Soak, Part3) { RunPart(3); }
TEST_F(Soak, Part4) { RunPart(4); }
