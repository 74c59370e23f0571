#include "skin/core/acHueSaturation.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "skin/core/sVclUtils.h"

#ifdef _WIN32
#include "framework/Graphics.h"
#include "skin/core/sBackground.h"
#include "skin/core/sSkinManager.h"
#endif

// ---- The colour table

namespace {

constexpr int FirstSlotBits = 8;

thread_local std::uint64_t ConversionCount = 0;

}  // namespace

TacColorTable::TacColorTable(TacColorMap Map)
    : FMap(std::move(Map)), FSlots(std::size_t{1} << FirstSlotBits, TSlot{EmptyColor, 0}), FShift(32 - FirstSlotBits) {}

TacColorTable::~TacColorTable() { ConversionCount += FConversions; }

std::uint64_t TacColorTable::Conversions() { return ConversionCount; }

TColor TacColorTable::Find(TColor Color) {
  const auto Key = static_cast<std::uint32_t>(Color);
  if (Key == EmptyColor) {
    ++FConversions;
    return FMap(Color);
  }
  const std::size_t Mask = FSlots.size() - 1;
  std::size_t I = (Key * HashFactor) >> FShift;
  for (; FSlots[I].Color != EmptyColor; I = (I + 1) & Mask)
    if (FSlots[I].Color == Key) return static_cast<TColor>(FSlots[I].Result);
  ++FConversions;
  const TColor Result = FMap(Color);
  if (FUsed < MaxColors) {
    FSlots[I] = TSlot{Key, static_cast<std::uint32_t>(Result)};
    if (++FUsed * 2 > FSlots.size()) Grow();
    if (FUsed == MaxColors) FLookups = FMisses = 0;
    return Result;
  }
  // Full: the colours held stay, this one is not held. Held colours that were seldom met again
  // in the last MaxColors lookups make the table pass colours on for a while; seldom met again
  // after that too, they go.
  ++FMisses;
  if (FLookups >= MaxColors) {
    const bool Few = (FLookups - FMisses) * MinHitShare < FLookups;
    if (Few && FFewHits) {
      std::fill(FSlots.begin(), FSlots.end(), TSlot{EmptyColor, 0});
      FUsed = 0;
    } else if (Few) {
      FPassLeft = PassLength;
    }
    FFewHits = Few && !FFewHits;
    FLookups = FMisses = 0;
  }
  return Result;
}

void TacColorTable::Grow() {
  std::vector<TSlot> Old(FSlots.size() * 2, TSlot{EmptyColor, 0});
  Old.swap(FSlots);
  --FShift;
  const std::size_t Mask = FSlots.size() - 1;
  for (const TSlot& S : Old) {
    if (S.Color == EmptyColor) continue;
    std::size_t I = (S.Color * HashFactor) >> FShift;
    while (FSlots[I].Color != EmptyColor) I = (I + 1) & Mask;
    FSlots[I] = S;
  }
}

// ---- Passes over pixels and records

namespace {

constexpr TColor KeyColor = 0xFF00FF;
// What a colour that a routine turns into the key colour becomes: its neighbour, 0xFE00FF. The key
// colour marks the transparent pixels of a picture: a pixel turned into it would vanish where the
// painters look for it (rounded corners, window regions) and show as the key colour where they do
// not (the sides of a border).
constexpr TColor BesideKeyColor = 0xFE00FF;

TColor OffKey(TColor C) { return C == KeyColor ? BesideKeyColor : C; }

// A colour of a section or of the skin: the key colour there stands for no colour at all (a label
// keeps its own font colour, a menu its system highlight), and stays.
void RecolorColor(std::int32_t& C, TacColorTable& Map) {
  if (C != KeyColor) C = OffKey(Map(C));
}

void RecolorSetColor(std::int32_t& C, TacColorTable& Map) {
  if (C != -1) RecolorColor(C, Map);
}

}  // namespace

void RecolorPixels(const TacPixels& Bmp, const TacColorMap& Map, bool SkipGrey) {
  TacColorTable Table(Map);
  RecolorPixels(Bmp, Table, SkipGrey);
}

void RecolorPixels(const TacPixels& Bmp, TacColorTable& Map, bool SkipGrey) {
  if (!Bmp.Is24() && !Bmp.Is32()) return;
  const int Step = Bmp.BytesPerPixel();
  for (int Y = 0; Y < Bmp.Height; ++Y) {
    Byte* P = Bmp.Row(Y);
    for (int X = 0; X < Bmp.Width; ++X, P += Step) {
      const Byte B = P[0], G = P[1], R = P[2];
      if (R == 0xFF && G == 0 && B == 0xFF) continue;
      if (SkipGrey && R == G && G == B) continue;
      const TColor C = OffKey(Map(static_cast<TColor>(R | (G << 8) | (B << 16))));
      P[0] = static_cast<Byte>(C >> 16);
      P[1] = static_cast<Byte>(C >> 8);
      P[2] = static_cast<Byte>(C);
    }
  }
}

void RecolorSkinColors(TsGeneralDataArray& Sections, TsSkinData& Data, const TacColorMap& Map) {
  TacColorTable Table(Map);
  RecolorSkinColors(Sections, Data, Table);
}

void RecolorSkinColors(TsGeneralDataArray& Sections, TsSkinData& Data, TacColorTable& Cached) {
  // A gradient is shared by the sections that take its text, and never changed: each gets one
  // recoloured copy, which every section that held it then holds.
  std::unordered_map<const TsGradient*, TsGradientRef> Recoloured;
  auto Recolour = [&](TsGradientRef& G) {
    if (G->Stops.empty()) return;
    auto [It, New] = Recoloured.try_emplace(G.get());
    if (New) {
      auto Copy = std::make_shared<TsGradient>(*G);
      for (TsGradStop& Stop : Copy->Stops) {
        RecolorColor(Stop.Color1, Cached);
        RecolorColor(Stop.Color2, Cached);
      }
      It->second = std::move(Copy);
    }
    G = It->second;
  };
  for (TsGeneralData& S : Sections) {
    RecolorColor(S.Color, Cached);
    RecolorColor(S.HotColor, Cached);
    for (std::int32_t& C : S.FontColor) RecolorSetColor(C, Cached);
    for (std::int32_t& C : S.HotFontColor) RecolorSetColor(C, Cached);
    Recolour(S.Gradient);
    Recolour(S.HotGradient);
  }
  RecolorColor(Data.Shadow1Color, Cached);
  if (Data.HasBorderColor()) RecolorColor(Data.BorderColor, Cached);
}

int SaturationAmount(int Saturation) {
  // C++ keeps the sign of the dividend, as the rule asks; done in 64 bits so that INT_MIN is safe.
  return static_cast<int>((-static_cast<std::int64_t>(Saturation)) % 101);
}

std::vector<AnsiString> HueKeptIcons(int BIKeepHue) {
  if (BIKeepHue == 0) return {};
  std::vector<AnsiString> Names{"BICONCLOSE", "SICONCLOSE"};
  if (BIKeepHue == 1) {
    for (const char* N : {"BICONMAX", "BICONMIN", "BICONNORM", "BICONHELP", "SICONMAX", "SICONMIN", "SICONNORM"})
      Names.emplace_back(N);
  }
  return Names;
}

#ifdef _WIN32

namespace {

const AnsiString GlobalSection = "GLOBALINFO";

// A master-bitmap icon saved before the hue pass and put back after it.
struct TSavedIcon {
  int MaskIndex;
  std::unique_ptr<TBitmap> Bmp;
};

// Recolours the colour table of a picture of 1, 4 or 8 bits a pixel: each pixel then shows the
// colour it would have if the picture were made 24-bit and its pixels recoloured, at the cost of
// its colour table. Entries of the key colour stay, and grey ones when SkipGrey.
void RecolorColorTable(TBitmap* Bmp, TacColorTable& Map, bool SkipGrey) {
  HPALETTE Old = Bmp->Palette();
  if (Old == nullptr) return;
  struct {
    WORD Version;
    WORD Count;
    PALETTEENTRY E[256];
  } Pal{};
  Pal.Version = 0x300;
  Pal.Count = static_cast<WORD>(GetPaletteEntries(Old, 0, 256, Pal.E));
  for (WORD I = 0; I < Pal.Count; ++I) {
    PALETTEENTRY& E = Pal.E[I];
    if (E.peRed == 0xFF && E.peGreen == 0 && E.peBlue == 0xFF) continue;
    if (SkipGrey && E.peRed == E.peGreen && E.peGreen == E.peBlue) continue;
    const TColor C = OffKey(Map(static_cast<TColor>(E.peRed | (E.peGreen << 8) | (E.peBlue << 16))));
    E.peRed = static_cast<BYTE>(C);
    E.peGreen = static_cast<BYTE>(C >> 8);
    E.peBlue = static_cast<BYTE>(C >> 16);
  }
  if (HPALETTE New = CreatePalette(reinterpret_cast<LOGPALETTE*>(&Pal))) Bmp->SetPalette(New);
}

// Recolours the images that have a bitmap of their own, except those on Kept: 32-bit ones leave
// grey pixels; others recolour grey pixels too unless SkipGreyOther. A picture of 1, 4 or 8 bits
// a pixel is recoloured through its colour table and keeps its format (the load makes it 24-bit
// once both passes are done); any other is made 24-bit.
void RecolorOwnBitmaps(TsSkinManager* Manager, const std::vector<int>& Kept, TacColorTable& Map,
                       bool SkipGreyOther) {
  TsMaskArray& Masks = Manager->Masks();
  for (std::size_t I = 0; I < Masks.size(); ++I) {
    TBitmap* Bmp = Masks[I].Bmp.get();
    if (Bmp == nullptr) continue;
    if (std::find(Kept.begin(), Kept.end(), static_cast<int>(I)) != Kept.end()) continue;
    switch (Bmp->PixelFormat()) {
      case pf32bit:
        RecolorPixels(BitmapPixels(Bmp), Map, true);
        break;
      case pf1bit:
      case pf4bit:
      case pf8bit:
        RecolorColorTable(Bmp, Map, SkipGreyOther);
        break;
      default:
        Bmp->SetPixelFormat(pf24bit);
        RecolorPixels(BitmapPixels(Bmp), Map, SkipGreyOther);
    }
  }
}

}  // namespace

void ChangeSkinHue(TsSkinManager* Manager, int HueOffset) {
  if (Manager == nullptr || HueOffset == 0) return;
  // One table for the whole pass: the pictures of a skin share most of their colours.
  TacColorTable Map([HueOffset](TColor C) { return ShiftColorHsv(HueOffset, C); });
  TsMaskArray& Masks = Manager->Masks();
  TBitmap* Master = Manager->MasterBitmap();
  const int KeepHue = Manager->SkinData()->BIKeepHue;

  // The icons that keep their colours: master-bitmap areas are saved, own bitmaps listed.
  std::vector<int> Kept;
  std::vector<TSavedIcon> Saved;
  for (const AnsiString& Name : HueKeptIcons(KeepHue)) {
    const int Index = Manager->GetOwnMaskIndex(GlobalSection, Name);
    if (Manager->IsValidMaskIndex(Index)) {
      const TsMaskData& M = Masks[static_cast<std::size_t>(Index)];
      if (M.Bmp == nullptr) {
        if (Master != nullptr && Master->PixelFormat() == pf24bit && M.R.Width() > 0 && M.R.Height() > 0) {
          std::unique_ptr<TBitmap> Copy(CreateBmp24(M.R.Width(), M.R.Height()));
          CopyPixelArea(BitmapPixels(Copy.get()), 0, 0, BitmapPixels(Master), M.R.Left, M.R.Top, M.R.Width(),
                     M.R.Height());
          Saved.push_back({Index, std::move(Copy)});
        }
      } else {
        Kept.push_back(Index);
      }
    }
    // The icon's glow image: "<icon>GLOW", and "<icon>GLOW0", the name under which glows are
    // shown (GLOBALINFO's "<icon>GLOW" key itself usually holds the glow's size).
    for (const AnsiString& GlowName : {Name + "GLOW", Name + "GLOW0"}) {
      const int Glow = Manager->GetOwnMaskIndex(GlobalSection, GlowName);
      if (Manager->IsValidMaskIndex(Glow) && Masks[static_cast<std::size_t>(Glow)].Bmp != nullptr)
        Kept.push_back(Glow);
    }
  }

  if (Master != nullptr) {
    RecolorPixels(BitmapPixels(Master), Map, true);
    for (const TSavedIcon& S : Saved) {
      if (!Manager->IsValidMaskIndex(S.MaskIndex)) continue;
      const TRect& R = Masks[static_cast<std::size_t>(S.MaskIndex)].R;
      CopyPixelArea(BitmapPixels(Master), R.Left, R.Top, BitmapPixels(S.Bmp.get()), 0, 0, R.Width(), R.Height());
    }
  }
  RecolorOwnBitmaps(Manager, Kept, Map, false);
  RecolorSkinColors(Manager->GeneralData(), *Manager->SkinData(), Map);
}

void ChangeSkinSaturation(TsSkinManager* Manager, int Saturation) {
  if (Manager == nullptr || Saturation == 0) return;
  const int Amount = SaturationAmount(Saturation);
  TacColorTable Map([Amount](TColor C) { return ChangeColorSaturation(C, Amount); });
  if (TBitmap* Master = Manager->MasterBitmap()) RecolorPixels(BitmapPixels(Master), Map, true);
  RecolorOwnBitmaps(Manager, {}, Map, true);
  RecolorSkinColors(Manager->GeneralData(), *Manager->SkinData(), Map);
}

void ApplySkinHueAndSaturation(TsSkinManager* Manager) {
  if (Manager == nullptr) return;
  ChangeSkinHue(Manager, Manager->HueOffset());
  ChangeSkinSaturation(Manager, Manager->Saturation());
}

#endif
