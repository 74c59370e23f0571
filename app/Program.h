// The start of the program, shared by Project1 and the tests that start the program in-process.
#pragma once

#include <functional>

// The start-up work of the program's units, in link order (OLE, the skin engine's links between
// its layers); once until FinalizeUnits undoes what needs undoing at the end.
void InitializeUnits();
void FinalizeUnits();
// Initialises the units and the application and creates the forms in the program's order: the main window
// (Form1; its OnCreate reads the channel list) and the hidden notice window (Form2).
void CreateProgramForms();
// Start, then the message loop until the main window closes; then the application's forms are
// freed and the units finalised. An exception out of Start (the application's initialisation, the
// creation of the forms) or out of the loop is shown in the standard error box and gives exit code
// 1; otherwise the exit code is 0.
int RunProgramWith(const std::function<void()>& Start);
// RunProgramWith(CreateProgramForms). Returns the exit code.
int RunProgram();
