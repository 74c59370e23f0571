// Small helpers of the grid's painting that keep the device context's objects where they are
// between cells: a font is only handed to the canvas when it differs from the one it has (every
// hand-over makes and selects a new font object). Win32.
#pragma once

#include "framework/Graphics.h"

// True when the two fonts make the same font object (everything but the colour agrees).
bool SameFontShape(TFont* A, TFont* B);

// Gives the canvas Font: only its colour when the canvas's font has the same shape already.
void CanvasUseFont(TCanvas* Canvas, TFont* Font);
