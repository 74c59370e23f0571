#include "app/DesignDefaults.h"

void SetDesignFont(TFont* Font) {
  Font->SetCharset(DEFAULT_CHARSET);
  Font->SetColor(clWindowText);
  Font->SetHeight(-11);
  Font->SetName("MS Sans Serif");
  Font->SetStyle({});
}

void LoadProgramIcon(TCustomForm* Form) {
  if (HICON ProgramIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, 32, 32, 0)))
    Form->Icon()->SetHandle(ProgramIcon);
}
