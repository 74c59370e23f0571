// The GDI handle guard of the target's test executables (linked into every Wine test executable
// beside the freed-memory guard, never into the program).
//
// The system reuses the slot of the most recently freed DC or object first, and the part of a
// handle that tells one life of a slot from the next is small: a handle the program keeps after
// freeing it soon names someone else's live DC or object, and a call through it corrupts the
// system's own drawing data far from the fault. The guard patches the executable's import table
// (all program code is linked into it) for the calls that make, free and use DCs and GDI objects,
// keeps one record per handle slot, and records as a fault (counted by the freed-memory guard, so
// the test during which it happens fails):
//  - a DC or object freed twice, or a free of a handle that is no valid handle at all;
//  - a window DC released twice;
//  - a DC the program deleted used again (select, save, restore, blit);
//  - DeleteObject of an object still selected into a live DC of the program;
//  - RestoreDC putting back an object the program deleted after the state was saved;
//  - a write past the end of a DIB section's bits (the rest of its last page holds a canary,
//    checked when the section is freed).
// Each fault names the call, the handle, the code that called (module+offset) and the code
// addresses found on the stack. The window procedures the program sets (SetWindowLong) are kept
// too, for a window later found without one.
#pragma once

#include <windows.h>

#include <string>

namespace gdiguard {

// Patches the import table. Called once by memguard::InstallForTests.
void Install();

// Whether Install patched the table (false where the executable imports none of the calls).
bool Installed();

// The window procedures the program set on Wnd lately (with the code that set each), for a
// window found without one.
std::string ProcedureChangesOf(HWND Wnd);

}  // namespace gdiguard
