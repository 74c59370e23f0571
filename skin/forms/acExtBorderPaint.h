// The alpha channel and shadow of a non-client image shown by an extended border window (the form
// image of a skin provider, the cache of a dialog adapter): a 32-bit image that holds the window
// at its margins, with the skin's extended-border picture around it.
//
// Border mode 0: the picture is a shadow. The window's rectangle is opaque; the margins outside it
// take the shadow, nine-sliced over the whole image; and the key-coloured corner pixels of the
// frame's border mask and of the title's mask (the rounded corners) take the shadow under them.
// Border mode 1: the picture is the whole outer frame with its shadow, nine-sliced over the image
// without its centre; the title is painted over it afterwards, and the pixels of the top strip
// that the title changed become opaque, so that the picture keeps its alpha where the title left
// it alone. Win32.
#pragma once

#include <memory>

#include "framework/Graphics.h"
#include "framework/Types.h"

class TsSkinManager;

// Every pixel of R (clipped to the image) of a 32-bit image gets alpha A.
void SetImageAlpha(TBitmap* Image, TRect R, Byte A);

// Mode 0 around FormRect: the margins outside it take the manager's shadow image of the state
// (Active: the active one), nine-sliced over the whole image with the margins of the image
// (Margins) grown by the skin's "FORMOFFSET"; then the key pixels of the four corners of the
// border mask BorderMask and of the two top corners of TitleMask (-1: none) take the shadow
// pixels under them. The form's own pixels are left as they are (FormRect should be opaque
// before). Nothing without a shadow image.
void ComposeShadow(TBitmap* Image, const TRect& FormRect, const TRect& Margins, TsSkinManager* M, bool Active,
                   int BorderMask, int TitleMask);

// Mode 1: the manager's shadow image of the state (the skin's extended-border picture) nine-sliced
// over the whole image, without its centre, with the picture's own margins, the side ones no
// wider than LeftLimit and RightLimit. False without a picture.
bool LayExtBorderPicture(TBitmap* Image, TsSkinManager* M, bool Active, int LeftLimit, int RightLimit);

// A 32-bit copy of the top Height rows of Image.
std::unique_ptr<TBitmap> CopyTopStrip(TBitmap* Image, int Height);
// The pixels of the top strip whose colour differs from Before's become opaque; the others take
// Before's alpha again.
void OpaqueWhereChanged(TBitmap* Image, TBitmap* Before);
