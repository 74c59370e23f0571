// The start of the program, shared by Project1 and the tests that start the program in-process.
#pragma once

// Initialises the application and creates the forms in the program's order: the main window
// (Form1; its OnCreate reads the channel list) and the hidden notice window (Form2).
void CreateProgramForms();
// CreateProgramForms, then the message loop until the main window closes. Returns the exit code.
int RunProgram();
