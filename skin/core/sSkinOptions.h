// The options text of a skin ("Options.dat") as the loader reads it. Portable.
//
// The text is INI-style (the framework's INI parser): sections of key=value lines, section and key
// names found without regard to letter case, file order and the file's letter case kept. Section
// GLOBALINFO holds the skin-wide values; every section (GLOBALINFO included) fills one section
// record. A key that a section lacks is looked for in the section named by its PARENTCLASS key, and
// so on up the chain (a parent may come after its child in the text).
//
// Picture keys describe the skin's images; the first character of the value chooses the notation:
//   "^"  a border mask in the master bitmap: ^LLLL^TTTT^RRRR^BBBB^WL..^WT..^WR..^WB..^C^M^D^W
//        (rectangle and four margins of four digits each, then one digit each for the image count,
//        mask type, draw mode and border width: 48 characters);
//   "@"  a glyph in the master bitmap: @LLLL@TTTT@RRRR@BBBB@C@M (24 characters);
//   "~"  a tile in the master bitmap: ~LLLL~TTTT~RRRR~BBBB~DD with an optional ~M (23 or 25
//        characters);
//   "!"  a picture file of its own: !NAME.BMP!ImageCount!MaskType!ImgType[!WL!WT!WR!WB];
//   any other value holding "#": the older rectangle form, "#NAME (L,T,R,B) (Count,Mask[,Border[,Draw]])";
//   any other value holding ".BMP": a bitmap file of its own with three states and a mask.
// Every number of a picture value is a run of decimal digits. A value that is shorter than its
// notation, holds anything else where a number belongs, or whose rectangle is inverted raises
// EConvertError naming the section, the key and the value; the load that reads it ends.
//
// Hostile texts are bounded: the text may hold at most MaxSkinOptionsSize bytes and at most
// MaxSkinSections sections, MaxSkinSectionKeys keys in one section and MaxSkinKeys keys in all;
// each section's parent is resolved once and a chain ends at the first section met twice and at
// MaxSkinParentDepth levels (TsSkinParentChain), an inherited value is found once per section and
// key and never copied, so reading is linear in the text; gradients are parsed once per text and
// shared (TacSkinGradients), within the caps of gradient texts and stops.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "framework/Exceptions.h"
#include "framework/IniFiles.h"
#include "framework/Types.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sStyleSimply.h"

// A skin that cannot be used as a whole: an options text that is missing or too large, pictures
// beyond the loader's limits.
T_EXCEPTION(EacSkinLoadError, Exception)

// Caps of an options text, far above what real skins hold (tens of kilobytes, a few hundred
// sections of a few dozen keys): the largest text the loader reads, the most sections, the most
// keys of one section and the most keys in all. A text beyond them is refused as a whole.
inline constexpr std::int64_t MaxSkinOptionsSize = std::int64_t{4} << 20;
inline constexpr int MaxSkinSections = 10000;
inline constexpr int MaxSkinSectionKeys = 1000;
inline constexpr int MaxSkinKeys = 100000;

// The ranges section integers are clamped to when a skin is loaded: TRANSPARENCY,
// HOTTRANSPARENCY and the *PERCENT keys are percentages (0..100); GLOWMARGIN is the overlap of a
// glow in pixels (0..MaxSkinGlowMargin); FADINGITERATIONS the steps of a fade, 10 ms each
// (0..MaxSkinFadingIterations).
inline constexpr int MaxSkinGlowMargin = 255;
inline constexpr int MaxSkinFadingIterations = 100;

// Caps of the gradients of one load, far above what real skins hold (a few stops per section): the
// longest gradient text, and the most stops of all the gradients a load parses (each distinct text
// counts once).
inline constexpr std::size_t MaxSkinGradientTextSize = 65536;
inline constexpr std::int64_t MaxSkinGradientStops = 65536;

inline constexpr const char* SGlobalInfoSection = "GLOBALINFO";
inline constexpr const char* SMasterBitmapKey = "MASTERBITMAP";
inline constexpr const char* SParentClassKey = "PARENTCLASS";

// ---- Reading with inheritance ---------------------------------------------------------------------

// The options text of one load: the parsed text and the parent of each section, resolved once
// (ResolveSkinParents; a chain ends at the first section met twice and at MaxSkinParentDepth
// levels, TsSkinParentChain).
class TacSkinOptions {
 public:
  TacSkinOptions() = default;
  // Parses Text (a UTF-8 byte-order mark at its start is skipped); EacSkinLoadError when it is
  // longer than MaxSkinOptionsSize or goes beyond the caps of sections and keys.
  explicit TacSkinOptions(std::string_view Text);

  const TMemIniFile& Ini() const { return FIni; }
  // The section names in file order, as written.
  std::vector<AnsiString> SectionNames() const;
  // The parent of each section (an index into SectionNames, -1 for none): the section its
  // PARENTCLASS names unless that is empty, "?" or the section's own name as written.
  const std::vector<int>& Parents() const { return FParents; }

  // The text value of Key for Section: its own, or along its chain the first section's that has
  // one ("?" and a missing key count as missing). The value itself, as the text holds it: a value
  // read through many sections is one value. nullptr when no section of the chain has one. A
  // chain is at most MaxSkinParentDepth levels long, so a read takes a few steps.
  const AnsiString* FindSkinString(const AnsiString& Section, const AnsiString& Key) const;
  // FindSkinString's value, or Default.
  AnsiString ReadSkinString(const AnsiString& Section, const AnsiString& Key, const AnsiString& Default) const;
  // An integer value (decimal, or hexadecimal after "0x" or "$"): -1, a missing key and a value that
  // is no integer count as missing, as above.
  int ReadSkinInteger(const AnsiString& Section, const AnsiString& Key, int Default) const;

  // The value of Key that the section (an index into SectionNames) has of its own, nullptr when it
  // has none: for integer reads, none that is an integer other than -1; for text reads, none other
  // than "?".
  const AnsiString* OwnValue(int Section, const AnsiString& Key, bool Integer) const;

 private:
  // The section (index) whose own value Section takes for Key, -1 for none.
  int HolderOf(int Section, const AnsiString& Key, bool Integer) const;

  TMemIniFile FIni;
  std::vector<int> FParents;
};

// ---- Gradients ---------------------------------------------------------------------------------------

// The gradients of one load: each gradient text is parsed once, and every section that takes it
// shares the one gradient; the texts and stops are held to the caps.
class TacSkinGradients {
 public:
  // The gradient of Text. EacSkinLoadError naming Section and Key when the text is longer than
  // MaxSkinGradientTextSize or the load's stops would go beyond MaxSkinGradientStops;
  // EConvertError naming them for a number that is no integer.
  TsGradientRef Of(const AnsiString& Text, const AnsiString& Section, const char* Key);
  // The same for a value held by an options text that outlives this object (FindSkinString's): a
  // value taken by many sections is looked at once.
  TsGradientRef OfValue(const AnsiString* Value, const AnsiString& Section, const char* Key);
  // The stops of every gradient parsed so far.
  std::int64_t Stops() const { return FStops; }

 private:
  std::unordered_map<const AnsiString*, TsGradientRef> FByValue;
  std::unordered_map<const AnsiString*, AnsiString> FBadValues;  // the error of each value that failed
  std::unordered_map<std::string_view, TsGradientRef> FByText;  // views of the gradients' own texts
  std::int64_t FStops = 0;
};

// ---- Skin-wide values and section records -------------------------------------------------------

// Reads GLOBALINFO into Data: VERSION (with '.' as decimal separator), AUTHOR, DESCRIPTION and the
// integer keys with their defaults; geometry values are clamped to their ranges
// (ClampSkinWideValues) and then MAXHEIGHT 0 becomes the title height; the other integers are
// truncated to their 16-bit fields. SHADOW1OFFSET, SHADOW1BLUR, SHADOW1TRANSPARENCY and the
// BICON*GLOW* keys must be integers when present: EConvertError otherwise. SkinPath and Active are
// left alone.
void ReadSkinGlobalInfo(const TacSkinOptions& Options, TsSkinData& Data);

// Limits the skin-wide geometry values to the ranges real skins keep them in: the caption
// buttons' spacing and margins (BISPACE, BIRIGHT, BILEFT), the title and shadow offsets
// (CENTEROFFSET, FORMOFFSET, SHADOW1OFFSET) to -255..255; the frame width, title heights, glow sizes
// and margins to 0..255; SHADOW1BLUR to -1..255 and SHADOW1TRANSPARENCY to 0..100. Every way of
// loading a skin applies it.
void ClampSkinWideValues(TsSkinData& Data);

// Turns a colour of the options text into RGB (system colours to their current value).
using TacColorToRGB = std::function<std::int32_t(std::int32_t)>;

// One section record read from the text with inheritance: ParentClass (plain read), the colours,
// font colours, switches, percentages, gradients (parsed unless the text is exactly one blank;
// EConvertError for a gradient number that is no integer) and fading values; COLOR goes through
// ToRGB when given. The mask indexes are -1. The gradients come from Gradients, shared with the
// other records of the load (nullptr: a set of this record's own).
TsGeneralData ReadSkinSection(const TacSkinOptions& Options, const AnsiString& Section, const TacColorToRGB& ToRGB,
                              TacSkinGradients* Gradients = nullptr);
// Every section's record, in the order of SectionNames, as ReadSkinSection reads it; each
// section's own values are looked up once, so that the records cost what the text holds.
TsGeneralDataArray ReadSkinSections(const TacSkinOptions& Options, const TacColorToRGB& ToRGB,
                                    TacSkinGradients& Gradients);

// Limits the section integers of a record to the ranges they mean (see MaxSkinGlowMargin). Every
// way of loading a skin applies it to the records it makes.
void ClampSectionValues(TsGeneralData& Data);

// Merges the manager's common sections into Data. A section whose name (exactly) already has a
// record is left alone; any other is appended: its PARENTCLASS (upper-cased) names the parent
// record (the first whose upper-cased name equals it); a key that is missing (-1 or not an integer,
// "?" for texts and switches) takes the parent record's value, or the default without a parent.
// COLOR is stored as written. A section without PARENTCLASS gets an empty ParentClass. Gradients
// as in ReadSkinSection.
void MergeCommonSections(const TMemIniFile& Common, TsGeneralDataArray& Data, TacSkinGradients* Gradients = nullptr);

// The keys that hold values, never pictures: those of a section record, and in GLOBALINFO those of
// the skin-wide values and MASTERBITMAP. Compared without regard to letter case.
bool IsSkinValueKey(const AnsiString& Section, const AnsiString& Key);

// ---- Picture values ------------------------------------------------------------------------------

enum class TacImageNotation {
  None,       // not a picture (empty, a plain number or text, or exactly "#")
  Border,     // "^"
  Glyph,      // "@"
  Texture,    // "~"
  File,       // "!"
  RectForm,   // holds "#"
  PlainFile,  // holds ".BMP" (letter case ignored)
};
TacImageNotation ImageNotationOf(const AnsiString& Value);

// Fills Mask from a "^", "@" or "~" value: R, the numbers and ImgType (itisaBorder, itisaGlyph,
// itisaTexture); a "^" value whose four margins add up to 0 gets the default margins. Section and
// Key only name the value in errors.
void ParseFixedImageValue(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value, TsMaskData& Mask);
// Fills Mask from the older rectangle form: R from the second word (split at blanks and
// parentheses) read as four numbers separated by commas or blanks, ImageCount (at least 1),
// MaskType (at least 0), BorderWidth (optional, 0) and DrawMode (optional, 1) from the third;
// ImgType itisaBorder; then the default margins.
void ParseRectImageValue(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value, TsMaskData& Mask);

// The file name of a "!" value (its first word) and what kind of picture it names: a bitmap when it
// holds ".BMP", a PNG picture when it holds ".PNG" (both tests respect letter case); neither: ignored.
struct TacFileImageName {
  AnsiString FileName;
  bool IsBitmap = false;
  bool IsPng = false;
};
TacFileImageName FileImageNameOf(const AnsiString& Value);
// Fills Mask from the numbers of a "!" value for a picture of Width x Height: ImageCount (word 2),
// MaskType (word 3), ImgType (word 4, at most itisaPngGlyph), DrawMode 4, R = (0, 0, Width,
// Height), and the margins: words 5 to 8 when the value has more than four words (all four are
// then needed), otherwise a third of one state image each way.
void ParseFileImageNumbers(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value, int Width,
                           int Height, TsMaskData& Mask);

// R is a rectangle of an image of Width x Height: 0 <= Left <= Right <= Width and
// 0 <= Top <= Bottom <= Height.
bool RectFitsImage(const TRect& R, int Width, int Height);

// ---- Paths -----------------------------------------------------------------------------------------

// A picture name that reaches another machine or a device: one that starts with two separators
// ('\\' or '/': a network share, "\\.\" or "\\?\"), or with "\??\", or whose last part (after a
// drive letter) is a device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9),
// whatever follows it after a '.' or ':'. Compared without regard to letter case.
bool IsRemoteOrDeviceName(const AnsiString& Name);

// The absolute form of a skin directory, with a trailing separator. AppDir is the program's folder
// with its trailing separator. "..\X" is taken one level above AppDir, ".\X" and "./X" inside it,
// as is any path without ":" and without "\\"; everything else is kept.
AnsiString FullSkinDirectory(const AnsiString& SkinDirectory, const AnsiString& AppDir);
