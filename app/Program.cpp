#include "app/Program.h"

#include "app/Unit1.h"
#include "app/Unit2.h"

void CreateProgramForms() {
  Application->Initialize();
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
}

int RunProgram() {
  CreateProgramForms();
  Application->Run();
  return 0;
}
