// Recolouring of a loaded skin: the skin manager's HueOffset turns every picture and colour of the
// skin round the colour wheel, its Saturation makes them more or less saturated.
//
// The manager runs ApplySkinHueAndSaturation right after it has read a skin (and set each
// section's image indexes): first the hue pass with HueOffset, then the saturation pass with
// Saturation; 0 leaves the skin as it is. As a change of either property reloads the skin, each
// pass starts from the skin as stored.
//
// What a pass changes: the master bitmap (every pixel that is neither the key colour 0xFF00FF nor
// grey, grey meaning three equal channels), the images with a bitmap of their own (32-bit: the
// same test; on others every pixel but the key colour changes, grey ones included in the hue
// pass: a picture with a colour table through its table, which the load then makes 24-bit, any
// other made 24-bit first), and the colours of every section (Color, HotColor, the font and
// contour colours that are set, the colours of the parsed gradients) and of the skin data
// (Shadow1Color, BorderColor). The hue pass keeps title-bar icons as GLOBALINFO's BIKEEPHUE says:
// 0 nothing, 1 all caption-button icons, any other value the close icons only. No colour is turned
// into the key colour: one that a pass would turn into it becomes its neighbour 0xFE00FF, so that
// no pixel of a picture turns transparent (nor shows as the key colour where it is not looked for).
//
// The passes over pixel views and records are portable; the passes over a manager are Win32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Types.h"
#include "skin/core/acPixels.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sStyleSimply.h"

class TsSkinManager;

// The colour routine of one pass: a colour (0x00BBGGRR) in, the recoloured colour out.
using TacColorMap = std::function<TColor(TColor Color)>;

// A colour routine that remembers its answers in a table keyed by the colour, so that a pass asks
// the routine once for each colour it meets: a picture of few colours costs a few conversions,
// however its colours are laid out. The table grows with the colours it meets, up to MaxColors
// (1 MB). Full, it keeps the colours it holds while they are met again and hands a colour it has no
// room for to the routine each time it is met, so that the cost grows smoothly with the colours
// beyond it. After every MaxColors lookups of the full table it judges: when fewer than one in
// MinHitShare found its colour (a picture of more colours than that, each met once or twice), it
// passes the next PassLength colours straight to the routine, so that such a picture costs about
// what it would without the table. It keeps the colours it holds through that, for the pictures
// after such a one meet the colours of those before it; only when the next judgement finds as few
// again (the colours met have changed for good) does it start afresh, so that a pass whose colours
// change part way comes to hold its new ones.
class TacColorTable {
 public:
  static constexpr std::size_t MaxColors = std::size_t{1} << 16;
  static constexpr std::size_t MinHitShare = 8;
  static constexpr std::size_t PassLength = 16 * MaxColors;

  explicit TacColorTable(TacColorMap Map);
  ~TacColorTable();
  TacColorTable(const TacColorTable&) = delete;
  TacColorTable& operator=(const TacColorTable&) = delete;

  // How many colours the tables of this thread that are gone have handed to their routines.
  static std::uint64_t Conversions();

  TColor operator()(TColor Color) {
    if (Color == FLastColor && FHaveLast) return FLastResult;  // a run of one colour
    FLastColor = Color;
    FHaveLast = true;
    if (FPassLeft > 0) {
      --FPassLeft;
      ++FConversions;
      return FLastResult = FMap(Color);
    }
    // Most colours are found in the slot of their hash.
    ++FLookups;
    const auto Key = static_cast<std::uint32_t>(Color);
    const TSlot& S = FSlots[(Key * HashFactor) >> FShift];
    if (S.Color == Key && Key != EmptyColor) return FLastResult = static_cast<TColor>(S.Result);
    return FLastResult = Find(Color);
  }

 private:
  struct TSlot {
    std::uint32_t Color;
    std::uint32_t Result;
  };
  static constexpr std::uint32_t HashFactor = 0x9E3779B1u;
  static constexpr std::uint32_t EmptyColor = 0xFFFFFFFFu;  // the colour of an empty slot
  TColor Find(TColor Color);
  void Grow();

  TacColorMap FMap;
  std::vector<TSlot> FSlots;  // open addressing; a power of two, at least twice the colours held
  int FShift;                 // 32 - log2 of the slots: a colour's slot is the top bits of its hash
  std::size_t FUsed = 0;      // colours held
  std::size_t FLookups = 0;   // colours looked up since the table was last filled or judged
  std::size_t FMisses = 0;    // of those, colours it did not hold
  std::size_t FPassLeft = 0;  // colours still to pass straight to the routine
  bool FFewHits = false;      // the last judgement found few colours held
  std::uint64_t FConversions = 0;
  bool FHaveLast = false;
  TColor FLastColor = 0, FLastResult = 0;
};

// Recolours the pixels of a 24- or 32-bit image through Map: every pixel whose blue, green and red
// are not the key colour 0xFF00FF, and, when SkipGrey, not grey; a pixel that Map turns into the
// key colour gets 0xFE00FF. Alpha bytes stay. Other depths are left as they are. Map is asked once
// for each colour of the picture (within the table's size).
void RecolorPixels(const TacPixels& Bmp, const TacColorMap& Map, bool SkipGrey);
// The same through a table that a pass shares among its pictures.
void RecolorPixels(const TacPixels& Bmp, TacColorTable& Map, bool SkipGrey);

// Recolours the colours of the sections and of the skin-wide values through Map: Color and
// HotColor; the font and contour colours (normal and hot) other than -1; both colours of every
// stop of the gradient and the hot gradient (a gradient shared by several sections is recoloured
// once, and they share the result); then Data's Shadow1Color and BorderColor. A colour that is the
// key colour stays: it means no colour (a label keeps its own font colour, a menu item its
// system highlight).
void RecolorSkinColors(TsGeneralDataArray& Sections, TsSkinData& Data, const TacColorMap& Map);
void RecolorSkinColors(TsGeneralDataArray& Sections, TsSkinData& Data, TacColorTable& Map);

// The amount handed to the saturation routine for a Saturation value: (-Saturation) mod 101, the
// remainder taking the sign of the dividend (30 gives -30, 150 gives -49).
int SaturationAmount(int Saturation);

// The GLOBALINFO image names of the title-bar icons that the hue pass keeps for a BIKEEPHUE value:
// none for 0; "BICONCLOSE" and "SICONCLOSE" for any value but 0 and 1; for 1 also the maximise,
// minimise, restore and help icons.
std::vector<AnsiString> HueKeptIcons(int BIKeepHue);

#ifdef _WIN32

// The hue pass over the manager's loaded skin with the given offset (nothing for 0 or without a
// manager). Besides the caption-button icons that BIKEEPHUE keeps, their glow images ("<icon>GLOW"
// and "<icon>GLOW0") with bitmaps of their own keep their colours.
void ChangeSkinHue(TsSkinManager* Manager, int HueOffset);
// The saturation pass over the manager's loaded skin with the given Saturation value (nothing for 0
// or without a manager); no icon is kept.
void ChangeSkinSaturation(TsSkinManager* Manager, int Saturation);
// Both passes with the manager's HueOffset and Saturation (nothing without a manager).
void ApplySkinHueAndSaturation(TsSkinManager* Manager);

#endif
