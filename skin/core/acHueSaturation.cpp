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

namespace {

// A colour routine that remembers its last answer: skin pictures are mostly runs of one colour.
class TCachedMap {
 public:
  explicit TCachedMap(const TacColorMap& Map) : FMap(Map) {}
  TColor operator()(TColor C) {
    if (!FValid || C != FLast) {
      FLast = C;
      FResult = FMap(C);
      FValid = true;
    }
    return FResult;
  }

 private:
  const TacColorMap& FMap;
  bool FValid = false;
  TColor FLast = 0;
  TColor FResult = 0;
};

void RecolorColor(std::int32_t& C, TCachedMap& Map) { C = Map(C); }

void RecolorSetColor(std::int32_t& C, TCachedMap& Map) {
  if (C != -1) C = Map(C);
}

}  // namespace

void RecolorPixels(const TacPixels& Bmp, const TacColorMap& Map, bool SkipGrey) {
  if (!Bmp.Is24() && !Bmp.Is32()) return;
  TCachedMap Cached(Map);
  const int Step = Bmp.BytesPerPixel();
  for (int Y = 0; Y < Bmp.Height; ++Y) {
    Byte* P = Bmp.Row(Y);
    for (int X = 0; X < Bmp.Width; ++X, P += Step) {
      const Byte B = P[0], G = P[1], R = P[2];
      if (R == 0xFF && G == 0 && B == 0xFF) continue;
      if (SkipGrey && R == G && G == B) continue;
      const TColor C = Cached(static_cast<TColor>(R | (G << 8) | (B << 16)));
      P[0] = static_cast<Byte>(C >> 16);
      P[1] = static_cast<Byte>(C >> 8);
      P[2] = static_cast<Byte>(C);
    }
  }
}

void RecolorSkinColors(TsGeneralDataArray& Sections, TsSkinData& Data, const TacColorMap& Map) {
  TCachedMap Cached(Map);
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

// Recolours the images that have a bitmap of their own, except those on Kept.
// SkipGreyOther: whether grey pixels of bitmaps that are not 32-bit are left too.
void RecolorOwnBitmaps(TsSkinManager* Manager, const std::vector<int>& Kept, const TacColorMap& Map,
                       bool SkipGreyOther) {
  TsMaskArray& Masks = Manager->Masks();
  for (std::size_t I = 0; I < Masks.size(); ++I) {
    TBitmap* Bmp = Masks[I].Bmp.get();
    if (Bmp == nullptr) continue;
    if (std::find(Kept.begin(), Kept.end(), static_cast<int>(I)) != Kept.end()) continue;
    if (Bmp->PixelFormat() == pf32bit) {
      RecolorPixels(BitmapPixels(Bmp), Map, true);
    } else {
      Bmp->SetPixelFormat(pf24bit);
      RecolorPixels(BitmapPixels(Bmp), Map, SkipGreyOther);
    }
  }
}

}  // namespace

void ChangeSkinHue(TsSkinManager* Manager, int HueOffset) {
  if (Manager == nullptr || HueOffset == 0) return;
  const TacColorMap Map = [HueOffset](TColor C) { return ShiftColorHsv(HueOffset, C); };
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
  const TacColorMap Map = [Amount](TColor C) { return ChangeColorSaturation(C, Amount); };
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
