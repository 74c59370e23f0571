// General utilities of the skin engine: rectangle and number routines, word splitting of option
// values, reading INI text held in memory, published properties by name, path routines, the
// caption font, a wait that keeps messages flowing and the engine's message box (and, through
// framework/Scopes.h, the scope that sets a flag).
// The portable routines build natively too; the ones that need the system are declared under _WIN32.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "framework/IniFiles.h"
#include "framework/Scopes.h"
#include "framework/Types.h"

class TBitmap;
class TObject;
class TStrings;

// ---- Engine-wide values -------------------------------------------------------------------------

// Kinds of the engine's message box and their captions ("Warning", "Error", "Information",
// "Confirm"); any other kind has an empty caption and no icon.
inline constexpr int mkWarning = 0;
inline constexpr int mkError = 1;
inline constexpr int mkInformation = 2;
inline constexpr int mkConfirm = 3;
extern const char* const MsgBoxCaptions[4];
// The caption of a kind ("" outside 0..3).
AnsiString MsgBoxCaption(int Kind);

// Where the dialog skinning places a message box; -1 each for the system's placement.
extern int MsgBoxPosX;
extern int MsgBoxPosY;

// The buttons of a message box.
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

// ---- Numbers and rectangles ---------------------------------------------------------------------

// 0 for a negative value, 255 above 255, otherwise Value.
constexpr int ClampByte(int Value) { return Value < 0 ? 0 : (Value > 255 ? 255 : Value); }
constexpr TRect MakeRect(int Left, int Top, int Right, int Bottom) { return TRect{Left, Top, Right, Bottom}; }
inline AnsiString IfThenStr(bool Cond, const AnsiString& A, const AnsiString& B) { return Cond ? A : B; }
constexpr int IfThenInt(bool Cond, int A, int B) { return Cond ? A : B; }
// Lo <= Value <= Hi.
constexpr bool IsBetween(int Value, int Lo, int Hi) { return Lo <= Value && Value <= Hi; }
constexpr int MaxOf(int A, int B) { return A > B ? A : B; }
constexpr int MinOf(int A, int B) { return A < B ? A : B; }
// The rectangles overlap: R2 is not empty and reaches into R1 (touching edges do not count).
bool RectsIntersect(const TRect& R1, const TRect& R2);
// Inner's top-left and bottom-right corners both lie in Outer enlarged by one pixel to the right
// and bottom.
bool RectContainsRect(const TRect& Outer, const TRect& Inner);
// Right - Left / Bottom - Top; with NoNegative 0 instead of a negative value.
int RectWidth(const TRect& R, bool NoNegative = false);
int RectHeight(const TRect& R, bool NoNegative = false);

// ---- Words --------------------------------------------------------------------------------------

// A set of byte values (256 bits).
class TCharSet {
 public:
  constexpr TCharSet() = default;
  constexpr TCharSet(std::string_view Chars) {
    for (char C : Chars) Include(C);
  }
  constexpr void Include(char C) {
    const auto B = static_cast<unsigned char>(C);
    FBits[B >> 6] |= std::uint64_t{1} << (B & 63);
  }
  constexpr bool Contains(char C) const {
    const auto B = static_cast<unsigned char>(C);
    return (FBits[B >> 6] >> (B & 63)) & 1;
  }

 private:
  std::uint64_t FBits[4] = {0, 0, 0, 0};
};

constexpr bool ByteInSet(char Ch, const TCharSet& Set) { return Set.Contains(Ch); }
// Words are runs of characters outside Delims. WordPosition: the 1-based start of word N (N >= 1);
// 0 when S has fewer words. ExtractWord: word N, empty when missing. WordCount: the number of words.
int WordPosition(int N, const AnsiString& S, const TCharSet& Delims);
AnsiString ExtractWord(int N, const AnsiString& S, const TCharSet& Delims);
int WordCount(const AnsiString& S, const TCharSet& Delims);
// S without any occurrence of Ch.
AnsiString DeleteChars(const AnsiString& S, char Ch);
// Every occurrence of Old replaced by New, left to right, case-sensitive, inserted text not
// rescanned; an empty Old leaves S unchanged.
AnsiString ReplaceAll(const AnsiString& S, const AnsiString& Old, const AnsiString& New);

// ---- Paths --------------------------------------------------------------------------------------

// "" stays ""; a path ending in '\' stays; a final '/' becomes '\'; a one-character path (a drive
// letter) gets ":\"; any other gets '\' appended.
AnsiString IncludeTrailingSeparator(const AnsiString& Path);

// ---- INI text in memory (the framework's INI parser) --------------------------------------------

// Sections becomes the sections of the lines (its earlier contents are dropped): empty lines and
// lines starting with ';' are skipped, "[name]" opens a section, lines before the first section are
// dropped.
void ParseIniSections(const TStrings& Lines, TIniText& Sections);
void ParseIniSections(std::string_view Text, TIniText& Sections);
// The value of the key in the section (both found without regard to letter case); Default when
// either is missing.
AnsiString ReadIniValue(const TIniText& Sections, std::string_view Section, std::string_view Key,
                        const AnsiString& Default);
// The value as an integer: decimal, or hexadecimal after "0x", "0X" or "$"; Default when missing or
// not an integer ("0x" alone is not one).
int ReadIniInt(const TIniText& Sections, std::string_view Section, std::string_view Key, int Default);

// ---- Published properties by name ----------------------------------------------------------------

// The object's class (or an ancestor) publishes a property Name.
bool HasProperty(const TObject* Obj, std::string_view Name);
// The value of an object property; nullptr when there is no such property (or it holds no object).
TObject* GetObjectPropByName(TObject* Obj, std::string_view Name);
// The value of an ordinal, enumeration or set property; -1 when there is no such property.
int GetOrdPropByName(TObject* Obj, std::string_view Name);
// Sets an ordinal, enumeration or set property when it exists and can be written.
void SetOrdPropByName(TObject* Obj, std::string_view Name, int Value);
// The set property contains the element of exactly that name (element names of bits 0..31).
bool SetPropContains(TObject* Obj, std::string_view PropName, std::string_view ElementName);
// Edits a set property through its text (element names separated by commas): Include puts the
// name and a comma in front of the text; exclusion removes the first ",Name", else "Name,", else
// "Name", and writes the text back only when one was found. Nothing happens without the property.
void ChangeSetProp(TObject* Obj, std::string_view PropName, std::string_view ElementName, bool Include);

#ifdef _WIN32
#include <windows.h>

#include "skin/core/acPixels.h"

// ---- System metrics -------------------------------------------------------------------------------

// GetSystemMetrics, each answer kept from the first question until ForgetSystemMetrics: the system
// takes tens of microseconds for some (the caption and menu heights, measured from their fonts),
// and a paint of a form asks for them many times.
int KeptSystemMetric(int Index);
// Forgets the kept metrics and caption font. The default skin manager calls it when the system's
// settings, display, theme or resolution change, as skinned forms do when they learn of it.
void ForgetSystemMetrics();
// True for the messages after which the system's metrics may differ.
bool ChangesSystemMetrics(UINT Msg);

// ---- Cache info -----------------------------------------------------------------------------------

// The default record of what lies under a control: no bitmap, offset (-99, -99), fill colour 0,
// not ready.
TCacheInfo DefaultCacheInfo();
// A record of the bitmap and offset, FillColor clKeyColor, Ready.
TCacheInfo MakeCacheInfo(TBitmap* Bmp, int X = 0, int Y = 0);

// ---- Message box ----------------------------------------------------------------------------------

// The flags of the engine's box for a kind and buttons: the kind's icon (none for an unknown kind),
// MB_SETFOREGROUND and MB_TOPMOST, and the button layout:
//  OK: MB_OKCANCEL with Cancel, else MB_OK; without OK: Abort or Ignore gives MB_ABORTRETRYIGNORE;
//  else Yes or No gives MB_YESNOCANCEL with Cancel, MB_YESNO without; else Retry gives
//  MB_RETRYCANCEL; else MB_OK. Help adds MB_HELP.
UINT MessageBoxFlags(int Kind, TMsgDlgButtons Buttons);
// Shows the engine's message box and returns the button pressed (IDOK ...). The application is told
// that a modal window starts and ends around it; the box is owned by the application window when no
// window is active.
int ShowMessageBox(const AnsiString& Text, int Kind, TMsgDlgButtons Buttons, int HelpContext = 0);
// A warning with an OK button.
void ShowWarning(const AnsiString& Text);
// An error with an OK button; the box's result.
int ShowError(const AnsiString& Text);

// When set, ShowMessageBox calls this routine instead of showing a box (tests, automation); it
// receives the text, the caption and the flags and returns the button.
using TacMessageBoxProc = std::function<int(const AnsiString& Text, const AnsiString& Caption, UINT Flags)>;
extern TacMessageBoxProc acMessageBoxProc;

// ---- System -------------------------------------------------------------------------------------

// Handles waiting messages repeatedly (at least once) until the tick count has advanced by
// Milliseconds.
void DelayWithMessages(unsigned Milliseconds);
// The folder of the program's executable with a trailing separator.
AnsiString AppDirectory();
// The system reports version 6 or later (also when it cannot be asked).
bool WindowsVersionAtLeast6();

// Directory enumeration. FindFirstEntry opens a search for Mask (a path with wildcards) and fills
// Rec with the first entry; both return false when there is no (further) entry. FindCloseEntry
// ends the search (also after a failed start).
struct TacSearchRec {
  AnsiString Name;
  DWORD Attr = 0;
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
};
bool FindFirstEntry(const AnsiString& Mask, TacSearchRec& Rec);
bool FindNextEntry(TacSearchRec& Rec);
void FindCloseEntry(TacSearchRec& Rec);

// The shell's icon of an existing file (Flags 1 = small, 0 = large, plus other SHGFI_ flags); 0
// when the file does not exist or the shell has none. The caller destroys the icon.
HICON GetFileIcon(const AnsiString& FileName, UINT Flags);
// lfHeight of the system's caption font; 0 on failure.
int GetCaptionFontHeight();
// A font made from the caption font (the caller deletes it); 0 on failure.
HFONT CreateCaptionFont();

// The width of the arrow button of a horizontal scroll bar, read at start-up.
extern int HScrollArrowWidth;
#endif
