#include "app/Program.h"

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "skin/controls/acShellFolder.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"

void InitializeUnits() {
  static bool Done = false;
  if (Done) return;
  Done = true;
  // OLE on the GUI thread, before any form exists.
  acShellFolderStartup();
  // The adapters' optional system entry points.
  InitAdapterUnit();
  // Form skinning takes its places in the skin core: the menu painter, the form provider's
  // answers and the thread hook that skins forms and dialogs. All before the skin manager of
  // the main form is created.
  sSkinMenusInstall();
  sSkinProviderInstall();
  acDialsInstall();
}

void FinalizeUnits() {
  DoneAdapterUnit();
  acShellFolderShutdown();
}

void CreateProgramForms() {
  InitializeUnits();
  Application->Initialize();
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
}

int RunProgram() {
  CreateProgramForms();
  Application->Run();
  FinalizeUnits();
  return 0;
}
