// The start of the program, shared by Project1 and the tests that start the program in-process.
#pragma once

// The start-up work of the program's units, in link order (OLE, the skin engine's links between
// its layers); once per process. FinalizeUnits undoes what needs undoing at the end.
void InitializeUnits();
void FinalizeUnits();
// Initialises the units and the application and creates the forms in the program's order: the main window
// (Form1; its OnCreate reads the channel list) and the hidden notice window (Form2).
void CreateProgramForms();
// CreateProgramForms, then the message loop until the main window closes. Returns the exit code.
int RunProgram();
