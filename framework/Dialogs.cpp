#include "framework/Dialogs.h"

#include <windows.h>

#include "framework/Forms.h"
#include "framework/Strings.h"

void ShowMessage(const WideString& Text) {
  if (Application == nullptr) return;
  Application->MessageBox(Text, Application->Title(), MB_OK);
}

void ShowMessage(const AnsiString& Text) { ShowMessage(AnsiToWide(Text)); }
