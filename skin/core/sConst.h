// The skin command message and the engine-wide constants. Portable.
//
// Skinned windows, controls and adapters talk to one another through one private window message,
// SM_ALPHACMD:
//  - WParam: the high word is the command code (AC_...), the low word a small argument (1 = yes
//    for the commands that take a flag, otherwise 0); build it with MakeAlphaCmd(Command, Arg).
//  - LParam: the command's data: the sending skin manager for AC_NEWSKIN, AC_SKINREMOVED and
//    AC_REFRESHSKIN, a background-info record for AC_GETBACKGROUND, 0 or clKeyColor for
//    AC_GETCOLOR, otherwise as each code says.
//  - Result: the answer. 0 always means "not answered", which is why a window that does not know
//    the message reads as unskinned; for AC_ISSKINNED only the exact value 1 counts as skinned
//    (IsSkinnedAnswer).
//  - Delivery: SendMessage to a windowed control that has a handle and is not being destroyed,
//    a direct dispatch (Perform) to a control without a window.
//
// The "handled" convention: the shared command handler of a control's skin data returns a
// Boolean beside Result. True means the control's own message procedure must not pass the
// message on (the question was answered: AC_ISSKINNED, AC_ISBUSY, AC_WASOUTOFVIEW,
// AC_ISPARENTDEPENDENT, AC_GETCOLOR, AC_GETSECTION, AC_PLAINSTATE); False means the handler did
// its part and the control goes on with its own processing (typically repainting). Codes above
// AC_LASTHANDLED and codes the handler does not know are ignored and reported as not handled.
#pragma once

#include <cstdint>

#include "framework/Types.h"

// The skin command message (41216), fixed before any window exists.
inline constexpr Cardinal SM_ALPHACMD = 0xA100;

// ---- Command codes (high word of WParam) -------------------------------------------------------
// Code                                   value     LParam / answer

// A new skin was loaded; the receiver re-reads its section indexes.      LParam: the manager.
inline constexpr Word AC_NEWSKIN = 1;
// The skin was removed; the receiver drops its indexes.                  LParam: the manager.
inline constexpr Word AC_SKINREMOVED = 2;
// Refresh after a skin change (background stale, colours reapplied).    LParam: the manager.
inline constexpr Word AC_REFRESHSKIN = 3;
// Which skin provider does the form have? Answer: the provider object, 0 without one.
inline constexpr Word AC_GETPROVIDER = 4;
// A child of the receiver is painting (control skinning).
inline constexpr Word AC_CHILDPAINT = 5;
// Repaint when skinned.
inline constexpr Word AC_REFRESHIFSKINNED = 6;
// Are you skinned? Answer: 1 = skinned, anything else = not skinned.
inline constexpr Word AC_ISSKINNED = 7;
// Updating flag := (argument = 1).
inline constexpr Word AC_SETUPDATING = 8;
// Forced parent dependence (transparency) := (argument = 1).
inline constexpr Word AC_SETPARENTDEPENDENT = 9;
// Are you busy? Answer: 1 when the background is stale or the updating flag is set.
inline constexpr Word AC_ISBUSY = 10;
// Were you out of view? Answer: the out-of-view flag (0 or 1).
inline constexpr Word AC_WASOUTOFVIEW = 11;
// The background may have changed (argument 1: flag it stale when the section is transparent).
inline constexpr Word AC_BGMAYHAVECHANGED = 12;
// Invalidate when the control's section equals the engine-wide current section (CurrentSkinSection).
inline constexpr Word AC_INVALIDATESECTION = 13;
// A skinned popup-menu window is shown (menu skinning).
inline constexpr Word AC_POPUPSHOWN = 14;
// A skin refresh is coming (form-level preparation).                    LParam: the manager.
inline constexpr Word AC_BEFOREREFRESH = 16;
// The background changed: flag it stale.
inline constexpr Word AC_BGCHANGED = 17;
// The application was activated / realign (form level).
inline constexpr Word AC_APPACTIVATED = 18;
// Do you depend on your parent? Answer 1/0, written to LParam and Result.
inline constexpr Word AC_ISPARENTDEPENDENT = 19;
// The parent moved or was resized (argument 1: repaint now).
inline constexpr Word AC_PARENTMOVED = 20;
// What is your colour? Answer: the effective background colour as RGB.  LParam: clKeyColor or 0.
inline constexpr Word AC_GETCOLOR = 21;
// You were not painted: out-of-view flag := 1.
inline constexpr Word AC_NOTPAINTED = 22;
// Prepare the cache bitmap (control skinning).
inline constexpr Word AC_PREPARECACHE = 23;
// Draw an animation frame / drop a pending window region (control skinning).
inline constexpr Word AC_ANIMFRAME = 24;
// A control has loaded (sent to its parent form's window).              LParam: the control.
inline constexpr Word AC_CONTROLLOADED = 25;
// What is your section? Answer: section index + 1 (0 = none).
inline constexpr Word AC_GETSECTION = 26;
// How tall is your caption? Answer: height in pixels of the top frame strip.
inline constexpr Word AC_GETCAPTIONHEIGHT = 27;
// Re-adapt all child windows (dialog skinning).
inline constexpr Word AC_READAPTCHILDREN = 28;
// The pointer entered / left the window (hover tracking).               LParam: the manager.
inline constexpr Word AC_MOUSEENTER = 29;
inline constexpr Word AC_MOUSELEAVE = 30;
// Begin / end of a skin data's update.
inline constexpr Word AC_BEGINUPDATE = 31;
inline constexpr Word AC_ENDUPDATE = 32;
// Give me your background.                          LParam: the address of a background-info record.
inline constexpr Word AC_GETBACKGROUND = 34;
// A disabled adapted window is about to be blended (control skinning).
inline constexpr Word AC_BEFOREDISABLEDBLEND = 35;
// Plain-background state: LParam 1 = recompute (and tell the children); else Result := state word.
inline constexpr Word AC_PLAINSTATE = 36;
// Update the border window (form skinning).
inline constexpr Word AC_UPDATEBORDER = 37;
// Before / after a synthesized scroll message or an update (control skinning).
inline constexpr Word AC_BEFORESCROLL = 51;
inline constexpr Word AC_AFTERSCROLL = 52;
// Which application? Answer: the application object.
inline constexpr Word AC_GETAPPLICATION = 60;
// Client offset (x low word, y high word) (form skinning).
inline constexpr Word AC_GETCLIENTOFFSET = 61;

// The shared command handler of the skin core ignores every code above this one.
inline constexpr Word AC_LASTHANDLED = 60;

// WParam of SM_ALPHACMD: the command in the high word, the argument in the low word.
constexpr Cardinal MakeAlphaCmd(Word Command, Word Arg = 0) {
  return (static_cast<Cardinal>(Command) << 16) | Arg;
}
constexpr Word AlphaCmdCode(std::uintptr_t WParam) { return static_cast<Word>((WParam >> 16) & 0xFFFF); }
constexpr Word AlphaCmdArg(std::uintptr_t WParam) { return static_cast<Word>(WParam & 0xFFFF); }
// The codes whose answer the skin core's shared handler gives as "handled": the control's own
// message procedure must not pass them on.
constexpr bool AlphaCmdHandledWhenAnswered(Word Command) {
  return Command == AC_ISSKINNED || Command == AC_ISBUSY || Command == AC_WASOUTOFVIEW ||
         Command == AC_ISPARENTDEPENDENT || Command == AC_GETCOLOR || Command == AC_GETSECTION ||
         Command == AC_PLAINSTATE;
}
// The codes that ask a question: for them Result 0 means "no answer".
constexpr bool AlphaCmdAsksQuestion(Word Command) {
  return Command == AC_ISSKINNED || Command == AC_ISBUSY || Command == AC_ISPARENTDEPENDENT ||
         Command == AC_GETCOLOR || Command == AC_GETSECTION || Command == AC_GETCAPTIONHEIGHT ||
         Command == AC_PLAINSTATE;
}
// The answer to AC_ISSKINNED: only 1 counts as skinned.
constexpr bool IsSkinnedAnswer(std::intptr_t Result) { return Result == 1; }

// ---- Engine-wide constants ----------------------------------------------------------------------

// The key colour: the transparent pixel of skin images, and "no colour" in colour arguments and
// answers ($00BBGGRR layout).
inline constexpr std::int32_t clKeyColor = 0xFF00FF;

// A private question to a window: "do you set your own window region?", asked with WParam
// OwnRegionQuestion. A window that does answers OwnRegionQuestion, and the engine leaves its region
// alone; a skinned form answers 0.
inline constexpr Cardinal WM_OWN_REGION_QUERY = 0xBC4D;
inline constexpr std::uintptr_t OwnRegionQuestion = 0x41A2;
// The system command that moves a window by its caption, as a press on the caption does.
inline constexpr std::uintptr_t SC_DRAGMOVE = 0xF012;

// The section name compared by AC_INVALIDATESECTION. Nothing in the program assigns it, so it stays
// empty.
extern AnsiString CurrentSkinSection;
