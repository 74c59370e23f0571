// Test support of the skinned form's window procedure, caption input, moving and caption-button
// fades: the program's dark skin in the default manager, a form with a skin provider on the
// screen, the messages that reach the form below the provider, and real pointer input on the
// skinned caption. Win32.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sCaptionAnimation.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sSkinProviderWndProc.h"
#include "skin_controls/ownctl_support.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace provbtest {

// A skinned form: the program's skin loaded, a form with a provider, shown. The messages that
// the provider passes on are recorded (Seen) by a handler installed below it.
class TSkinnedForm {
 public:
  explicit TSkinnedForm(bool Show = true, TFormBorderStyle Style = bsSizeable) {
    sSkinProviderInstall();
    sSkinMenusInstall();
    Manager = ownctl::LoadProgramSkin();
    Manager->AnimEffects()->FormShow()->SetActive(false);
    Manager->AnimEffects()->DialogShow()->SetActive(false);
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBorderStyle(Style);
    Form->SetBounds(200, 150, 420, 300);
    Form->SetCaption(L"Skinned");
    TWndMethod Below = Form->WindowProc();
    Form->SetWindowProc([this, Below](TMessage& M) {
      if (M.Msg == WM_SYSCOMMAND) SysCommands.push_back(M.WParam);
      Below(M);
    });
    Provider = new TsSkinProvider(Form);
    Provider->SkinData()->SetSkinManager(Manager.get());
    if (Show) ShowNow();
  }
  ~TSkinnedForm() {
    delete Form;
    uitest::Pump();
  }
  TSkinnedForm(const TSkinnedForm&) = delete;
  TSkinnedForm& operator=(const TSkinnedForm&) = delete;

  void ShowNow() {
    uitest::ShowSettled(Form);
    realinput::BringToFront(Form->Handle());
    uitest::Settle(Form->Handle());
  }

  HWND Handle() const { return Form->Handle(); }
  RECT WindowRect() const {
    RECT R;
    GetWindowRect(Form->Handle(), &R);
    return R;
  }
  // The centre of a caption button record in screen coordinates.
  POINT ScreenCentre(const TsCaptionButton& B) const {
    const RECT W = WindowRect();
    return POINT{W.left + (B.Rect.Left + B.Rect.Right) / 2, W.top + (B.Rect.Top + B.Rect.Bottom) / 2};
  }
  // The form's answer to WM_NCHITTEST at a screen point.
  LRESULT HitAt(POINT P) const {
    return SendMessageW(Form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(P.x), static_cast<short>(P.y)));
  }
  bool SawSysCommand(WPARAM Cmd) const {
    for (WPARAM C : SysCommands)
      if ((C & 0xFFF0) == Cmd) return true;
    return false;
  }

  std::unique_ptr<TsSkinManager> Manager;
  TForm* Form = nullptr;
  TsSkinProvider* Provider = nullptr;
  std::vector<WPARAM> SysCommands;
};

// Real input: the pointer to a screen point, and a left press or release there, each waited for
// until the form has taken it (clicks: realinput::ClickSeen).
inline bool PointerTo(POINT P) { return realinput::MovePointerSeen(P); }
inline bool LeftButton(POINT P, bool Down) { return realinput::LeftButtonSeen(P, Down); }

// The brightness of a screen pixel (0 .. 765).
inline int ScreenBrightness(POINT P) {
  HDC DC = GetDC(nullptr);
  const COLORREF C = GetPixel(DC, P.x, P.y);
  ReleaseDC(nullptr, DC);
  return GetRValue(C) + GetGValue(C) + GetBValue(C);
}

}  // namespace provbtest
