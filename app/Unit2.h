// Unit2: the new-version notice (TForm2). It is created hidden at start-up; its button opens the
// program's web site in the default browser.
#pragma once

#include <windows.h>

#include "framework/Forms.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sLabel.h"

class TForm2 : public TForm {
  T_CLASS(TForm2, TForm)

 public:
  using TForm::TForm;

  // Published fields.
  TsLabel* sLabel1 = nullptr;
  TsButton* sButton1 = nullptr;

  // Opens the web site (WebSiteAddress) with the shell's "open" verb, owned by this window.
  void sButton1Click(TObject* Sender);

 protected:
  void InitializeComponents() override;
};

extern TForm2* Form2;

// The shell routine that opens the web site (ShellExecuteA); tests replace it.
using TShellExecuteProc = HINSTANCE(WINAPI*)(HWND Owner, LPCSTR Operation, LPCSTR File, LPCSTR Parameters,
                                              LPCSTR Directory, INT ShowCmd);
extern TShellExecuteProc ShellExecuteProc;
