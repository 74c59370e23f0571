// Painting of skin sections: the background of a control or form part from its section's colour,
// texture and gradient, mixed by their shares and laid over what lies under the control with the
// section's transparency; and the wrappers that add the section's corner images and border mask
// or paint through a device context. Win32.
//
// State 0 takes the section's normal values (Color, Transparency, ImagePercent, GradientPercent,
// GradientData, the "PATTERN" texture), every other state the hot ones (HotColor ...,
// "HOTPATTERN"); the wrappers pass the state on as the frame of the border mask and corner
// images. Offset is where R's top-left corner lies relative to the control's origin; it is added to
// the cache info's X/Y where the background is taken from its bitmap. A manager of nullptr means
// the default manager. Invalid indexes, a missing manager and targets too small for R paint
// nothing.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include "framework/Types.h"
#include "skin/core/acPixels.h"
#include "skin/core/sGradient.h"

class TBitmap;
class TsCommonData;
class TsSkinManager;

// "No colour" for CustomColor and colour arguments.
inline constexpr TColor acNoCustomColor = 0xFF00FF;

// Paints section SkinIndex of Manager into R of Bmp. SectionName is used for texture lookups
// only; TexIndex and HotTexIndex are image indexes of "PATTERN" and "HOTPATTERN" found earlier, or
// -1 to look them up. A CustomColor other than 0xFF00FF paints R plainly in that colour (a
// masked texture in fill mode 10 among TexIndex and HotTexIndex is still laid over it in state 0).
void PaintSectionToBitmap(int SkinIndex, const AnsiString& SectionName, TCacheInfo CI, int State, TRect R,
                          TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager, int TexIndex, int HotTexIndex,
                          TColor CustomColor = acNoCustomColor);

// The layers of a section (texture, gradient, colour mix) into Q of Bmp, with the values already
// chosen. PatternTexture tells whether TexIndex is a pattern or an image index. Transparency only
// decides the colour of a plain section over an unknown background.
struct TacSectionLayers {
  TColor Color = 0xFFFFFF;
  int Transparency = 0;
  int ImagePercent = 0;
  int GradientPercent = 0;
  const AnsiString* GradientText = nullptr;  // nullptr or empty: no gradient stops
  const TsGradArray* GradientStops = nullptr;
  int TexIndex = -1;
  bool PatternTexture = false;
};
void PaintSectionBackground(TBitmap* Bmp, TRect Q, const TacSectionLayers& L, const TCacheInfo& CI,
                            TsSkinManager* Manager);

// The twin of PaintSectionToBitmap used by PaintSectionWithMask: the texture indexes are image
// indexes taken as given, no colour override, no extra DrawMode 10 pass.
void PaintSectionOverCache(int SkinIndex, int TexIndex, int HotTexIndex, TCacheInfo CI, int State, TRect R,
                           TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager);

// PaintSectionToBitmap for a control's skin data (its section, textures, manager, custom colour).
void PaintControlSection(TsCommonData* SkinData, TCacheInfo CI, int State, TRect R, TPoint Offset, TBitmap* Bmp);

// The section, then its four corner images and its border mask ("BORDERSMASK").
void PaintSectionWithCorners(int SkinIndex, const AnsiString& SectionName, TCacheInfo CI, bool Filling, int State,
                             TRect R, TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager, int TexIndex = -1,
                             int HotTexIndex = -1);

// The same for a control's skin data, with the control's own border mask. KeyFromCache goes to
// DrawSkinRect.
void PaintControlSkin(TsCommonData* SkinData, TCacheInfo CI, bool Filling, int State, TRect R, TPoint Offset,
                      TBitmap* Bmp, bool KeyFromCache = true);

// PaintSectionWithCorners through a 24-bit work bitmap of R's size copied to (R.Left, R.Top) of DC.
void PaintSectionToDC(int SkinIndex, const AnsiString& SectionName, TCacheInfo CI, bool Filling, int State, TRect R,
                      TPoint Offset, HDC DC, TsSkinManager* Manager);

// PaintSectionOverCache, then the border mask MaskIndex. CI is shifted by Offset during the call
// and restored.
void PaintSectionWithMask(int SkinIndex, int MaskIndex, int TexIndex, int HotTexIndex, TCacheInfo& CI, bool Filling,
                          int State, TRect R, TPoint Offset, TBitmap* Bmp, TsSkinManager* Manager);

// Paints the section Name (else AltName) over all of Bmp, on the background copied from DC at
// DCPoint when DC is not 0, else over Color; returns the section index used, -1 when neither name
// is known.
int PaintSectionByName(TBitmap* Bmp, const AnsiString& Name, const AnsiString& AltName, int State,
                       TsSkinManager* Manager, TPoint DCPoint, TColor Color, HDC DC);

#endif
