// The PNG bitmap graphic (registered with the picture class as the "png" file format), its alpha
// drawing, the conversion of an image into an icon and the clearing of bitmaps. Win32 only.
#pragma once

#include "framework/Graphics.h"
#include "skin/core/acPNG.h"

// A bitmap that loads PNG streams. Saving writes the base bitmap format.
class TPNGGraphic : public TBitmap {
  T_CLASS(TPNGGraphic, TBitmap)

 public:
  TPNGGraphic();
  ~TPNGGraphic() override;

  void LoadFromStream(TStream& Stream) override;
  // A TPNGGraphic source also gives its image properties; the pixels come through the bitmap.
  void Assign(TPersistent* Source) override;

  const TPNGImageProperties& ImageProperties() const { return FProps; }
  // The most pixels an image may have (TPNGReader::SetMaxPixels); larger ones are refused before
  // the bitmap is sized.
  void SetMaxPixels(std::int64_t Value) { FReader.SetMaxPixels(Value); }
  TColorManager& ColorManager() { return FReader.ColorManager(); }
  // The colour of a bKGD chunk (white when none), as the reader reported it.
  TColor BackgroundColor() const { return FBackgroundColor; }

  // Drawing with a mirrored, fading copy below the image.
  bool Reflected = false;

 protected:
  // 32-bit images are blended onto what the canvas shows; others draw as a plain bitmap.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  class TBitmapTarget;
  TPNGReader FReader;
  TPNGImageProperties FProps;
  TColor FBackgroundColor = 0xFFFFFF;
};

// A new icon from a PNG graphic (owned by the caller; 0 when the system refuses). Images that are
// not 32-bit, and all images when ForceMask is set, are made 32-bit and become transparent where
// they show the colour of their top-left pixel; 32-bit images keep their alpha and get an
// all-opaque mask.
HICON MakeIconFromPNG(TPNGGraphic* Image, bool ForceMask);

// ClearTransparentWhite on the pixels of a pf32bit bitmap; bitmaps of other formats (and none)
// stay as they are.
void ClearTransparentWhite(TBitmap* Bitmap);
