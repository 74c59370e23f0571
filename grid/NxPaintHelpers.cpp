#include "grid/NxPaintHelpers.h"

bool SameFontShape(TFont* A, TFont* B) {
  return A->Name() == B->Name() && A->Height() == B->Height() && A->Style() == B->Style() &&
         A->Charset() == B->Charset() && A->Pitch() == B->Pitch() && A->PixelsPerInch() == B->PixelsPerInch();
}

void CanvasUseFont(TCanvas* Canvas, TFont* Font) {
  TFont* Own = Canvas->Font();
  if (Own == Font) return;
  if (SameFontShape(Own, Font)) {
    Own->SetColor(Font->Color());
    return;
  }
  Canvas->SetFont(Font);
}
