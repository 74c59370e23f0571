// The records of a loaded skin: one TsMaskData per image, mask or small texture, one
// TsPatternData per large texture, one TsGeneralData per section of the options text; the arrays
// that hold them in load order; and the geometry that turns a mask record into frame sizes and
// 9-slice margins. Portable (the entries' own bitmaps and pictures exist on the target only).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <vector>

#include "framework/Types.h"

#include "skin/core/sGradient.h"

class TBitmap;
class TGraphic;
class TsSkinManager;

// The kind of a mask entry.
enum TacImgType : Byte { itisaBorder, itisaTexture, itisaGlyph, itisaGlow, itisaPngGlyph };

// Owners of an entry's bitmap and picture; they free them with the entry.
struct TsOwnedBitmapDeleter {
  void operator()(TBitmap* Bmp) const;
};
struct TsOwnedGraphicDeleter {
  void operator()(TGraphic* Graphic) const;
};
using TsOwnedBitmap = std::unique_ptr<TBitmap, TsOwnedBitmapDeleter>;
using TsOwnedGraphic = std::unique_ptr<TGraphic, TsOwnedGraphicDeleter>;

// The name of the section an entry belongs to. Copies share one string: the loader makes a
// section's name once and hands it to every entry of the section, so that a long name costs its
// length once, whatever the number of the section's pictures. Reads as the name itself.
class TsSharedName {
 public:
  TsSharedName() = default;
  // A name of its own.
  TsSharedName(const AnsiString& Name) : FName(std::make_shared<const AnsiString>(Name)) {}
  TsSharedName(const char* Name) : TsSharedName(AnsiString(Name)) {}

  const AnsiString& Text() const { return FName ? *FName : Empty(); }
  operator const AnsiString&() const { return Text(); }
  bool empty() const { return Text().empty(); }

  friend bool operator==(const TsSharedName& A, const TsSharedName& B) { return A.Text() == B.Text(); }
  friend bool operator==(const TsSharedName& A, const AnsiString& B) { return A.Text() == B; }
  friend bool operator==(const TsSharedName& A, const char* B) { return A.Text() == B; }
  friend std::ostream& operator<<(std::ostream& Out, const TsSharedName& Name);

 private:
  static const AnsiString& Empty();
  std::shared_ptr<const AnsiString> FName;
};

// The names the entries of one section take, each made once and shared by all of them: the name as
// written, and upper-cased (as the older notations, the textures and the common sections take it).
class TsSectionNames {
 public:
  explicit TsSectionNames(const AnsiString& Name) : FName(Name) {}
  const AnsiString& Text() const { return FName; }
  const TsSharedName& AsWritten();
  const TsSharedName& UpperCased();

 private:
  const AnsiString& FName;
  TsSharedName FWritten, FUpper;
  bool FHasWritten = false, FHasUpper = false;
};

// One image key of the skin.
struct TsMaskData {
  // The entry's own bitmap (a file of the skin or a small texture); empty when the entry is the
  // rectangle R of the master bitmap.
  TsOwnedBitmap Bmp;
  TsSharedName SectionName;
  // The key inside the section ("BORDERSMASK", "GLYPHMASK", "PATTERN" ...).
  AnsiString PropertyName;
  // The picture inside the master bitmap, or (0, 0, width, height) of Bmp.
  TRect R;
  // State images laid side by side in R.
  std::int16_t ImageCount = 0;
  // 0: a plain picture; 1: the lower half of each state image is its mask (MaskType + 1 rows).
  std::int16_t MaskType = 0;
  // The common width of the four margins, used when WL..WB are all 0.
  std::int16_t BorderWidth = 0;
  // How sides and centre are filled, and in which states the entry is drawn.
  std::int16_t DrawMode = 0;
  TacImgType ImgType = itisaBorder;
  TsSkinManager* Manager = nullptr;
  // Left, top, right and bottom 9-slice margins.
  std::int16_t WL = 0;
  std::int16_t WT = 0;
  std::int16_t WR = 0;
  std::int16_t WB = 0;
};

// One large texture.
struct TsPatternData {
  // The texture picture (a JPEG picture), owned.
  TsOwnedGraphic Img;
  TsSharedName SectionName;  // upper case
  AnsiString PropertyName;  // upper case: "PATTERN" or "HOTPATTERN"
};

// One section of the skin. A new record holds what a section without any keys gets.
struct TsGeneralData {
  AnsiString ParentClass;
  AnsiString SectionName;
  std::int32_t Color = 0xFFFFFF;
  // The text colour, then the left, top, right and bottom contour colours (-1: no contour).
  std::int32_t FontColor[5] = {0, -1, -1, -1, -1};
  std::int32_t HotFontColor[5] = {0, -1, -1, -1, -1};
  bool GiveOwnFont = false;
  std::int32_t GlowCount = 0;
  std::int32_t GlowMargin = 0;
  bool ReservedBoolean = false;
  // Percent; 100 means the section paints nothing of its own.
  std::int32_t Transparency = 0;
  std::int32_t GradientPercent = 0;
  // The gradient: its text (" " when the section has none) and stops. Sections that take the same
  // text share one gradient; it is never nullptr and never changed, only replaced.
  TsGradientRef Gradient = BlankGradient();
  std::int32_t ImagePercent = 0;
  bool ShowFocus = false;
  bool FadingEnabled = false;
  std::int32_t FadingIterations = 5;
  std::int32_t HotColor = 0xFFFFFF;
  std::int32_t HotTransparency = 0;
  std::int32_t HotGradientPercent = 0;
  // The gradient of the hot state (text "" when the section has none), shared like Gradient.
  TsGradientRef HotGradient = EmptyGradient();
  std::int32_t HotImagePercent = 0;
  // Mask indexes of the section's BORDERSMASK and corner images; -1 for none.
  std::int32_t BorderIndex = -1;
  std::int32_t ImgTopLeft = -1;
  std::int32_t ImgTopRight = -1;
  std::int32_t ImgBottomLeft = -1;
  std::int32_t ImgBottomRight = -1;

  const AnsiString& GradientData() const { return Gradient->Text; }
  const TsGradArray& GradientArray() const { return Gradient->Stops; }
  const AnsiString& HotGradientData() const { return HotGradient->Text; }
  const TsGradArray& HotGradientArray() const { return HotGradient->Stops; }
};

// The arrays of a loaded skin, in load order; an index is a position, -1 means none.
using TsMaskArray = std::vector<TsMaskData>;
using TsPatternArray = std::vector<TsPatternData>;
using TsGeneralDataArray = std::vector<TsGeneralData>;

// ---- Parents --------------------------------------------------------------------------------------

// The most levels a section inherits through: a section takes values and pictures from at most
// this many sections above it. Real skins use a handful.
inline constexpr int MaxSkinParentDepth = 32;

// The parent of each of Count sections, resolved once: NamedParent(I) gives the index of the
// section that section I names as its parent (-1 for none); an index out of range is none. Every
// named link is kept, cycles included: the walks up a chain (SkinParentChain) end by themselves.
std::vector<int> ResolveSkinParents(std::size_t Count, const std::function<int(std::size_t)>& NamedParent);

// The chain of a section, given the parent of each (ResolveSkinParents): the section itself, its
// parent, that one's parent and so on, ending before the first section met twice and after
// MaxSkinParentDepth links, so that it holds at most MaxSkinParentDepth + 1 distinct sections. A
// section reads a value from the first section of its chain that holds one.
class TsSkinParentChain {
 public:
  TsSkinParentChain(const std::vector<int>& Parents, int Section);
  const int* begin() const { return FSections.data(); }
  const int* end() const { return FSections.data() + FCount; }
  std::size_t size() const { return FCount; }

 private:
  std::array<int, MaxSkinParentDepth + 1> FSections{};
  std::size_t FCount = 0;
};

// Empty the arrays from the last element to the first, freeing each entry's bitmap or picture.
void ClearMasks(TsMaskArray& Masks);
void ClearPatterns(TsPatternArray& Patterns);
void ClearGeneralData(TsGeneralDataArray& Data);

// ---- Geometry -------------------------------------------------------------------------------------
// None of these checks an index: callers pass valid records.

// The width of one state image: 0 when ImageCount is 0, else R's width div ImageCount.
int MaskFrameWidth(const TsMaskData& Mask);
// The height of one state image: 0 when MaskType is -1, else R's height div (MaskType + 1).
int MaskFrameHeight(const TsMaskData& Mask);
// The size of one state image: of an entry with its own bitmap, a third of its width and half of
// its height; otherwise MaskFrameWidth x MaskFrameHeight.
TSize MaskFrameSize(const TsMaskData& Mask);
// The effective margins: the stored margin when above 0, else BorderWidth when at least 1, else
// the frame width (left, right) or height (top, bottom). The left margin first turns an ImageCount
// of 0 into 1, so such an entry's left margin is its whole width from then on.
int MaskLeftMargin(TsMaskData& Mask);
int MaskTopMargin(const TsMaskData& Mask);
int MaskRightMargin(const TsMaskData& Mask);
int MaskBottomMargin(const TsMaskData& Mask);

// The load-time margins of an entry whose four margins add up to 0: all four take BorderWidth
// when it is not 0, otherwise SetFrameThirdMargins. Entries with margins are left alone.
void SetDefaultMargins(TsMaskData& Mask);
// WL = WR = R's width div (ImageCount * 3) and WT = WB = R's height div ((MaskType + 1) * 3): a
// third of one state image each way. A record whose ImageCount is below 1 or whose MaskType is
// below 0 has no usable state images: it gets no margins (all four 0) instead of a division by
// zero or negative margins.
void SetFrameThirdMargins(TsMaskData& Mask);
