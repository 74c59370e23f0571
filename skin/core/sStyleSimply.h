// The skin-wide values of a loaded skin (the GLOBALINFO section) and its active flag. Portable.
#pragma once

#include <cstdint>

#include "framework/Object.h"
#include "framework/Types.h"

// Created and owned by the skin manager, read by form and menu skinning. The initial values are
// those of a skin whose GLOBALINFO section has none of the keys. Values read into 16-bit fields
// are truncated to 16 bits.
class TsSkinData : public TObject {
  T_CLASS(TsSkinData, TObject)

  // The folder of the loaded skin with a trailing backslash; empty for a stored skin.
  AnsiString SkinPath;
  // True while a skin is loaded and shown.
  bool Active = false;
  double Version = 0;
  AnsiString Author;
  AnsiString Description;
  std::int32_t Shadow1Color = 0;
  std::int16_t Shadow1Offset = 0;
  std::int16_t Shadow1Blur = -1;
  std::int16_t Shadow1Transparency = 0;
  std::int16_t BorderWidth = 4;
  std::int16_t TitleHeight = 30;
  // The height of a maximized form's title; the loader turns a MAXHEIGHT of 0 into TitleHeight.
  std::int16_t MaxHeight = 30;
  std::int16_t FormOffset = 8;
  std::int16_t CenterOffset = 0;
  std::int16_t BorderMode = 0;
  // The colour of the frame drawn round framed controls instead of their section; NoBorderColor
  // when the skin has none (HasBorderColor).
  static constexpr std::int32_t NoBorderColor = 0xFF00FF;
  std::int32_t BorderColor = NoBorderColor;
  // Placement of the caption buttons.
  std::int16_t BISpace = 0;
  std::int16_t BIVAlign = 0;
  std::int16_t BIRight = 0;
  std::int16_t BILeft = 0;
  std::int16_t BIKeepHue = 0;
  // Glows of the close, maximize and minimize caption buttons.
  std::int16_t BICloseGlow = 0;
  std::int16_t BICloseGlowMargin = 0;
  std::int16_t BIMaxGlow = 0;
  std::int16_t BIMaxGlowMargin = 0;
  std::int16_t BIMinGlow = 0;
  std::int16_t BIMinGlowMargin = 0;

  // The skin has a border colour: the one test of "none" for every reader.
  bool HasBorderColor() const { return BorderColor != NoBorderColor; }

  // Puts every skin-wide value back to its initial value (SkinPath and Active are kept).
  void ResetValues();
};
