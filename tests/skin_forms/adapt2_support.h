// Test support of the form control adapter list and the adapters it attaches: the program's dark
// skin loaded into a default manager whose class-name lists a test fills, and a form on the
// screen. Win32.
#pragma once

#include "support/SourceTree.h"

#include <windows.h>

#include <memory>
#include <string>

#include "framework/Forms.h"
#include "skin/core/sSkinManager.h"
#include "support/UiTest.h"

namespace adapt2 {

// The folder of the program's own skin (app/res/skin), as a path of the Wine drive Z:.
inline AnsiString ProgramSkinFolder() { return tvtest::ProgramSkinFolder(); }

// The default manager with the program's skin and every class-name list emptied (a single
// blank line each, as the manager keeps them).
inline std::unique_ptr<TsSkinManager> LoadProgramSkin() {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(ProgramSkinFolder());
  M->SetSkinName("DefaultBlack");
  for (int K = 0; K < ThirdPartyKindCount; ++K) M->ThirdParty()->SetTexts(K, " ");
  M->UpdateThirdNames();
  return M;
}

// Sets the class names of one list.
inline void SetList(TsSkinManager& M, int Kind, const AnsiString& Names) {
  M.ThirdParty()->SetTexts(Kind, Names);
  M.UpdateThirdNames();
}

// A form of 420 x 320 at (60, 60).
struct TTestForm {
  TForm* Form;
  TTestForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(60, 60, 420, 320);
  }
  ~TTestForm() {
    delete Form;
    uitest::Pump();
  }
  TTestForm(const TTestForm&) = delete;
  TTestForm& operator=(const TTestForm&) = delete;
  void Show() { uitest::ShowSettled(Form); }
};

// The skin's colours as the screen shows them (the options text's $00BBGGRR values).
inline constexpr COLORREF PanelColor = 3222829;       // PANEL, PAGECONTROL, CHECKBOX
inline constexpr COLORREF PanelLowColor = 2696742;    // PANEL_LOW
inline constexpr COLORREF StatusBarColor = 2696742;   // STATUSBAR
inline constexpr COLORREF TabColor = 2959657;         // TABTOP (normal state)
inline constexpr COLORREF GlobalFontColor = 15263462; // GLOBALINFO font colour

inline bool Near(COLORREF A, COLORREF B, int Tol = 3) {
  return std::abs(GetRValue(A) - GetRValue(B)) <= Tol && std::abs(GetGValue(A) - GetGValue(B)) <= Tol &&
         std::abs(GetBValue(A) - GetBValue(B)) <= Tol;
}

}  // namespace adapt2
