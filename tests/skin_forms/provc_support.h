// Test support of the skinned forms' menus, wheel and frames, MDI forms and extended borders:
// a skinned form with a main menu, menus closed from a timer, the application's main form made an
// MDI form for a test's length, and the screen as a layered window shows it. Win32.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_controls/ownctl_support.h"
#include "skin_forms/provb_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/UiTest.h"

namespace provctest {

// ---- MDI ----------------------------------------------------------------------------------------

// The MDI main form of a test: a menu bar of two items.
class TMDIMainForm : public TForm {
  T_CLASS(TMDIMainForm, TForm)

 public:
  using TForm::TForm;
  TMainMenu* MainMenu = nullptr;

 protected:
  void InitializeComponents() override;
};

// An MDI child. The children alive are listed (a child may free itself, or get a new window).
class TMDIChildForm : public TForm {
  T_CLASS(TMDIChildForm, TForm)

 public:
  explicit TMDIChildForm(TComponent* AOwner) : TForm(AOwner) { Live().push_back(this); }
  ~TMDIChildForm() override { Live().erase(std::find(Live().begin(), Live().end(), this)); }
  static std::vector<TMDIChildForm*>& Live() {
    static std::vector<TMDIChildForm*> L;
    return L;
  }

 protected:
  void InitializeComponents() override {
    SetFormStyle(fsMDIChild);
    SetBounds(10, 10, 260, 180);
  }
};

// The framework makes MDI children only inside the application's main form: for the length of a
// test the host's MDI form is that main form (the test's process has none otherwise). Main and
// children are skinned with the program's skin by providers of their own.
class TMDIHost {
 public:
  explicit TMDIHost(bool ExtendedBorders = false)
      : TMDIHost([ExtendedBorders] {
          auto M = ownctl::LoadProgramSkin();
          M->SetAllowGlowing(false);
          M->SetExtendedBorders(ExtendedBorders);
          M->AnimEffects()->FormShow()->SetActive(false);
          M->AnimEffects()->DialogShow()->SetActive(false);
          return M;
        }) {}
  // With a skin of the test's own: MakeSkin makes its manager (after the menu painter is installed).
  explicit TMDIHost(const std::function<std::unique_ptr<TsSkinManager>()>& MakeSkin) {
    sSkinProviderInstall();
    sSkinMenusInstall();
    Manager = MakeSkin();
    Usable = Application->MainForm() == nullptr;
    if (!Usable) return;
    Application->CreateForm(Main);
    Usable = Application->MainForm() == Main;
    Provider = new TsSkinProvider(Main);
    Provider->SkinData()->SetSkinManager(Manager.get());
    uitest::ShowSettled(Main);
    realinput::BringToFront(Main->Handle());
    uitest::PumpFor(50);
  }
  ~TMDIHost() {
    while (!TMDIChildForm::Live().empty()) delete TMDIChildForm::Live().back();
    uitest::Pump();
    if (Main != nullptr && Application->MainForm() == Main) delete Main;
    uitest::Pump();
  }
  TMDIHost(const TMDIHost&) = delete;
  TMDIHost& operator=(const TMDIHost&) = delete;

  // A skinned child, shown; Setup runs before it is shown.
  TMDIChildForm* AddChild(const wchar_t* Caption, const std::function<void(TMDIChildForm*)>& Setup = nullptr) {
    auto* C = TCustomForm::Create<TMDIChildForm>(nullptr);
    C->SetCaption(WideString(Caption));
    if (Setup) Setup(C);
    auto* P = new TsSkinProvider(C);
    P->SkinData()->SetSkinManager(Manager.get());
    C->Show();
    uitest::PumpFor(50);
    return C;
  }
  static TsSkinProvider* ProviderOf(TCustomForm* F) {
    for (int I = 0; I < F->ComponentCount(); ++I)
      if (auto* P = dynamic_cast<TsSkinProvider*>(F->Components(I))) return P;
    return nullptr;
  }
  void Maximize(TCustomForm* Child) {
    SendMessageW(Child->Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    uitest::PumpFor(80);
    uitest::Settle(Main->Handle());
  }
  RECT WindowRect() const {
    RECT R;
    GetWindowRect(Main->Handle(), &R);
    return R;
  }

  bool Usable = false;
  std::unique_ptr<TsSkinManager> Manager;
  TMDIMainForm* Main = nullptr;
  TsSkinProvider* Provider = nullptr;
};

#define REQUIRE_MDI_HOST(H) \
  if (!(H).Usable) GTEST_FAIL() << "the test process has a main form already: no MDI host"

// Ends the menu loop that a test opens, from a timer of the loop's own thread.
inline void CALLBACK EndMenuTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  EndMenu();
}

// Runs Open (which enters a menu loop) and ends the loop after about Ms milliseconds.
inline void WithMenuClosedAfter(int Ms, const std::function<void()>& Open) {
  const UINT_PTR T = SetTimer(nullptr, 0, static_cast<UINT>(Ms), EndMenuTimer);
  Open();
  KillTimer(nullptr, T);
  uitest::Pump();
}

// Adds a top-level item with one sub-item to a main menu.
inline TMenuItem* AddTopItem(TMainMenu* Menu, TComponent* Owner, const wchar_t* Caption);

inline void TMDIMainForm::InitializeComponents() {
  SetFormStyle(fsMDIForm);
  SetBounds(120, 80, 640, 460);
  SetCaption(WideString(L"MDI host"));
  MainMenu = new TMainMenu(this);
  AddTopItem(MainMenu, this, L"File");
  AddTopItem(MainMenu, this, L"Window");
  SetMenu(MainMenu);
}

// Adds a top-level item with one sub-item to a main menu.
inline TMenuItem* AddTopItem(TMainMenu* Menu, TComponent* Owner, const wchar_t* Caption) {
  auto* Top = new TMenuItem(Owner);
  Top->SetCaption(WideString(Caption));
  auto* Sub = new TMenuItem(Owner);
  Sub->SetCaption(WideString(L"Item"));
  Top->Add(Sub);
  Menu->Items()->Add(Top);
  return Top;
}

// The screen pixels of a rectangle (screen coordinates).
inline std::unique_ptr<uitest::TCapture> ScreenShot(const RECT& R) {
  HDC DC = GetDC(nullptr);
  auto C = std::make_unique<uitest::TCapture>(DC, TRect{R.left, R.top, R.right, R.bottom});
  ReleaseDC(nullptr, DC);
  return C;
}

// The colour of a pixel of a 32-bit bitmap and its alpha byte.
inline COLORREF Pixel32(TBitmap* B, int X, int Y) {
  const auto* P = static_cast<const Byte*>(B->ScanLine(Y)) + 4 * X;
  return RGB(P[2], P[1], P[0]);
}
inline int Alpha32(TBitmap* B, int X, int Y) { return static_cast<const Byte*>(B->ScanLine(Y))[4 * X + 3]; }

inline bool NearColor(COLORREF A, COLORREF B, int Tol = 3) {
  return std::abs(GetRValue(A) - GetRValue(B)) <= Tol && std::abs(GetGValue(A) - GetGValue(B)) <= Tol &&
         std::abs(GetBValue(A) - GetBValue(B)) <= Tol;
}

}  // namespace provctest
