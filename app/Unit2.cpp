#include "app/Unit2.h"

#include <shellapi.h>

#include "app/DesignDefaults.h"
#include "app/Hosts.h"

TForm2* Form2 = nullptr;
TShellExecuteProc ShellExecuteProc = ShellExecuteA;

void TForm2::InitializeComponents() {
  SetLeft(488);
  SetTop(297);
  SetWidth(276);
  SetHeight(152);
  SetCaption(L"НОВАЯ ВЕРСИЯ");
  SetColor(clBtnFace);
  SetDesignFont(Font());
  LoadProgramIcon(this);

  sLabel1 = new TsLabel(this);
  sLabel1->SetName("sLabel1");
  sLabel1->SetParent(this);
  sLabel1->SetBounds(24, 16, 218, 48);
  sLabel1->SetAlignment(taCenter);
  sLabel1->SetCaption(L"Новая версия доступна \r\nдля загрузки");
  sLabel1->SetParentFont(false);
  sLabel1->Font()->SetCharset(DEFAULT_CHARSET);
  sLabel1->Font()->SetColor(8542779);
  sLabel1->Font()->SetHeight(-19);
  sLabel1->Font()->SetName("MS Sans Serif");
  sLabel1->Font()->SetStyle({});

  sButton1 = new TsButton(this);
  sButton1->SetName("sButton1");
  sButton1->SetParent(this);
  sButton1->SetBounds(56, 72, 153, 25);
  sButton1->SetCaption(L"Перейти на сайт");
  sButton1->SetTabOrder(0);
  sButton1->OnClick = [this](TObject* Sender) { sButton1Click(Sender); };
  sButton1->SkinData()->SetSkinSection("BUTTON");
}

void TForm2::sButton1Click(TObject* Sender) {
  if (ShellExecuteProc != nullptr) ShellExecuteProc(Handle(), "open", WebSiteAddress, nullptr, nullptr, SW_SHOW);
}
