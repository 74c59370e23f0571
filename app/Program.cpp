#include "app/Program.h"

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "skin/controls/acShellFolder.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"

namespace {

bool UnitsInitialized = false;

// Shows the failure being handled (call it inside a catch block) in the standard error box:
// nothing may end the program unannounced.
void ShowFailure() {
  try {
    Application->HandleException(Application, std::current_exception());
  } catch (...) {
  }
}

}  // namespace

void InitializeUnits() {
  if (UnitsInitialized) return;
  UnitsInitialized = true;
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
  if (!UnitsInitialized) return;
  UnitsInitialized = false;
  DoneAdapterUnit();
  acShellFolderShutdown();
}

void CreateProgramForms() {
  InitializeUnits();
  Application->Initialize();
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
}

int RunProgramWith(const std::function<void()>& Start) {
  int ExitCode = 0;
  try {
    Start();
    Application->Run();
  } catch (...) {
    ExitCode = 1;
    ShowFailure();
  }
  // The forms go while the units they use are still there (OLE for the browser, the adapter
  // unit for the skinned controls), not in the program's static destruction.
  try {
    Application->DestroyForms();
  } catch (...) {
    ExitCode = 1;
    ShowFailure();
  }
  Form1 = nullptr;
  Form2 = nullptr;
  FinalizeUnits();
  return ExitCode;
}

int RunProgram() { return RunProgramWith(CreateProgramForms); }
