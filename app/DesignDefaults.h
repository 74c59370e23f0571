// What the program's forms have alike in their stored descriptions: the font they were designed
// with and the program's icon.
#pragma once

#include "framework/Forms.h"

// The font the forms were designed with: MS Sans Serif 11 pixels high, in the window-text colour,
// the default character set and no style.
void SetDesignFont(TFont* Font);

// Gives the form the program's icon (the MAINICON resource at 32 x 32) when the module holds it.
void LoadProgramIcon(TCustomForm* Form);
