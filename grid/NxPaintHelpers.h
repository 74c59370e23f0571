// Small helpers of the grid's painting that keep the device context's objects where they are
// between cells: a font is only handed to the canvas when it differs from the one it has (every
// hand-over makes and selects a new font object); and a scope that saves the device context's
// state (its clip region among it) and gives it back. Win32.
#pragma once

#include "framework/Graphics.h"

// True when the two fonts make the same font object (everything but the colour agrees).
bool SameFontShape(TFont* A, TFont* B);

// Gives the canvas Font: only its colour when the canvas's font has the same shape already.
void CanvasUseFont(TCanvas* Canvas, TFont* Font);

// Saves the canvas's device context state for the length of a scope, optionally narrowing the
// clip region to a rectangle, and restores the state when the scope ends. The canvas's objects
// leave the DC before its state is saved and before it is restored, so that restoring never
// selects an object the canvas replaced meanwhile.
class TDCStateScope {
 public:
  explicit TDCStateScope(TCanvas* Canvas) : FCanvas(Canvas) {
    FDC = FCanvas->HandleForSavedState();
    FSaved = SaveDC(FDC);
  }
  TDCStateScope(TCanvas* Canvas, const TRect& Clip) : TDCStateScope(Canvas) {
    IntersectClipRect(FDC, Clip.Left, Clip.Top, Clip.Right, Clip.Bottom);
  }
  ~TDCStateScope() {
    FCanvas->Refresh();
    RestoreDC(FDC, FSaved);
  }
  TDCStateScope(const TDCStateScope&) = delete;
  TDCStateScope& operator=(const TDCStateScope&) = delete;
  HDC DC() const { return FDC; }

 private:
  TCanvas* FCanvas;
  HDC FDC = nullptr;
  int FSaved = 0;
};
