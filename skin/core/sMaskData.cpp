#include "skin/core/sMaskData.h"

#include <algorithm>
#include <ostream>

#include "framework/Strings.h"

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

// Natively no bitmap or picture class exists, so the owners never hold one there.
void TsOwnedBitmapDeleter::operator()(TBitmap* Bmp) const {
#ifdef _WIN32
  delete Bmp;
#else
  (void)Bmp;
#endif
}

void TsOwnedGraphicDeleter::operator()(TGraphic* Graphic) const {
#ifdef _WIN32
  delete Graphic;
#else
  (void)Graphic;
#endif
}

const AnsiString& TsSharedName::Empty() {
  static const AnsiString None;
  return None;
}

std::ostream& operator<<(std::ostream& Out, const TsSharedName& Name) { return Out << Name.Text(); }

const TsSharedName& TsSectionNames::AsWritten() {
  if (!FHasWritten) FWritten = TsSharedName(FName);
  FHasWritten = true;
  return FWritten;
}

const TsSharedName& TsSectionNames::UpperCased() {
  if (!FHasUpper) FUpper = TsSharedName(UpperCase(FName));
  FHasUpper = true;
  return FUpper;
}

void ClearMasks(TsMaskArray& Masks) {
  while (!Masks.empty()) Masks.pop_back();
}

void ClearPatterns(TsPatternArray& Patterns) {
  while (!Patterns.empty()) Patterns.pop_back();
}

void ClearGeneralData(TsGeneralDataArray& Data) {
  while (!Data.empty()) Data.pop_back();
}

namespace {

// Integer division truncating toward zero, in 64 bits so that no edge values overflow; 0 for a
// zero divisor.
int Div(long long A, long long B) { return B == 0 ? 0 : static_cast<int>(A / B); }

long long Width(const TRect& R) { return static_cast<long long>(R.Right) - R.Left; }
long long Height(const TRect& R) { return static_cast<long long>(R.Bottom) - R.Top; }

}  // namespace

int MaskFrameWidth(const TsMaskData& Mask) { return Mask.ImageCount == 0 ? 0 : Div(Width(Mask.R), Mask.ImageCount); }

int MaskFrameHeight(const TsMaskData& Mask) {
  return Mask.MaskType == -1 ? 0 : Div(Height(Mask.R), Mask.MaskType + 1);
}

TSize MaskFrameSize(const TsMaskData& Mask) {
  if (Mask.Bmp) {
#ifdef _WIN32
    return TSize{Mask.Bmp->Width() / 3, Mask.Bmp->Height() / 2};
#endif
  }
  return TSize{MaskFrameWidth(Mask), MaskFrameHeight(Mask)};
}

int MaskLeftMargin(TsMaskData& Mask) {
  if (Mask.WL > 0) return Mask.WL;
  if (Mask.BorderWidth >= 1) return Mask.BorderWidth;
  if (Mask.ImageCount == 0) Mask.ImageCount = 1;
  return MaskFrameWidth(Mask);
}

int MaskTopMargin(const TsMaskData& Mask) {
  if (Mask.WT > 0) return Mask.WT;
  if (Mask.BorderWidth >= 1) return Mask.BorderWidth;
  return MaskFrameHeight(Mask);
}

int MaskRightMargin(const TsMaskData& Mask) {
  if (Mask.WR > 0) return Mask.WR;
  if (Mask.BorderWidth >= 1) return Mask.BorderWidth;
  return MaskFrameWidth(Mask);
}

int MaskBottomMargin(const TsMaskData& Mask) {
  if (Mask.WB > 0) return Mask.WB;
  if (Mask.BorderWidth >= 1) return Mask.BorderWidth;
  return MaskFrameHeight(Mask);
}

void SetFrameThirdMargins(TsMaskData& Mask) {
  if (Mask.ImageCount < 1 || Mask.MaskType < 0) {
    Mask.WL = Mask.WT = Mask.WR = Mask.WB = 0;
    return;
  }
  const auto W = static_cast<std::int16_t>(Div(Width(Mask.R), Mask.ImageCount * 3LL));
  const auto H = static_cast<std::int16_t>(Div(Height(Mask.R), (Mask.MaskType + 1LL) * 3));
  Mask.WL = Mask.WR = W;
  Mask.WT = Mask.WB = H;
}

void SetDefaultMargins(TsMaskData& Mask) {
  if (Mask.WL + Mask.WT + Mask.WR + Mask.WB != 0) return;
  if (Mask.BorderWidth != 0) {
    Mask.WL = Mask.WT = Mask.WR = Mask.WB = Mask.BorderWidth;
    return;
  }
  SetFrameThirdMargins(Mask);
}

std::vector<int> ResolveSkinParents(std::size_t Count, const std::function<int(std::size_t)>& NamedParent) {
  std::vector<int> Parent(Count, -1);
  for (std::size_t I = 0; I < Count; ++I) {
    const int P = NamedParent(I);
    Parent[I] = P >= 0 && static_cast<std::size_t>(P) < Count ? P : -1;
  }
  return Parent;
}

TsSkinParentChain::TsSkinParentChain(const std::vector<int>& Parents, int Section) {
  for (int S = Section; S >= 0 && static_cast<std::size_t>(S) < Parents.size() && FCount < FSections.size();
       S = Parents[static_cast<std::size_t>(S)]) {
    if (std::find(begin(), end(), S) != end()) break;
    FSections[FCount++] = S;
  }
}
