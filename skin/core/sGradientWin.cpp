// Gradients on bitmaps and the four-triangle fill through the system's GradientFill (Win32 half of
// sGradient).
#include "skin/core/sGradient.h"

#include <algorithm>

namespace {

using TGradientFillProc = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

int StartCount = 0;
HMODULE Library = nullptr;
TGradientFillProc GradientFillProc = nullptr;

// The unit starts with the program and ends with it.
struct TUnit {
  TUnit() { GradientUnitStartup(); }
  ~TUnit() { GradientUnitShutdown(); }
} Unit;

COLOR16 Channel16(TColor C, int Shift) { return static_cast<COLOR16>(((C >> Shift) & 0xFF) << 8); }

void PaintTriangles(TBitmap* Bmp, const TRect& R, const TsGradArray& Stops) {
  if (!GradientFillProc || Bmp->Empty()) return;
  TsGradVertex V[5];
  GradientVertices(R, Stops, V);
  TRIVERTEX Vertices[5];
  for (int i = 0; i < 5; ++i) {
    Vertices[i].x = V[i].X;
    Vertices[i].y = V[i].Y;
    Vertices[i].Red = Channel16(V[i].Color, 0);
    Vertices[i].Green = Channel16(V[i].Color, 8);
    Vertices[i].Blue = Channel16(V[i].Color, 16);
    Vertices[i].Alpha = 0;
  }
  GRADIENT_TRIANGLE Triangles[4];
  for (int i = 0; i < 4; ++i)
    Triangles[i] = GRADIENT_TRIANGLE{static_cast<ULONG>(GradientTriangles[i][0]),
                                     static_cast<ULONG>(GradientTriangles[i][1]),
                                     static_cast<ULONG>(GradientTriangles[i][2])};
  GradientFillProc(Bmp->Canvas()->Handle(), Vertices, 5, Triangles, 4, GRADIENT_FILL_TRIANGLE);
}

}  // namespace

void GradientUnitStartup() {
  if (StartCount++ > 0) return;
  Library = LoadLibraryA("msimg32.dll");
  if (Library) GradientFillProc = reinterpret_cast<TGradientFillProc>(reinterpret_cast<void*>(GetProcAddress(Library, "GradientFill")));
}

void GradientUnitShutdown() {
  if (StartCount <= 0 || --StartCount > 0) return;
  GradientFillProc = nullptr;
  if (Library) FreeLibrary(Library);
  Library = nullptr;
}

bool GradientFillAvailable() { return GradientFillProc != nullptr; }

void PaintGradient(TBitmap* Bmp, TRect R, const TsGradArray& Stops, int Unused, int Offset) {
  if (!Bmp) throw EInvalidGraphicOperation("PaintGradient: no bitmap given");
  if (Stops.empty()) return;
  if (Stops[0].Mode != 2) {
    PaintGradient(BitmapPixels(Bmp), R, Stops, Unused, Offset);
    return;
  }
  R.Right = std::min(R.Right, Bmp->Width());
  R.Bottom = std::min(R.Bottom, Bmp->Height());
  R.Left = std::max(R.Left, 0);
  R.Top = std::max(R.Top, 0);
  if (R.IsEmpty()) return;
  PaintTriangles(Bmp, R, Stops);
}
