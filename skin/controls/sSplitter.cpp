#include "skin/controls/sSplitter.h"

#include "framework/TypInfo.h"

TsSplitter::TsSplitter(TComponent* AOwner) : TSplitter(AOwner), FSkinData(std::make_unique<TsCommonData>(this, KindCode)) {
  SetWidth(6);
  if (!IsLoading()) FSkinData->Loaded();
}

TsSplitter::~TsSplitter() = default;

void TsSplitter::Loaded() {
  TSplitter::Loaded();
  FSkinData->Loaded();
}

T_PUBLISH(TsSplitter) { P.Object("SkinData", &TsSplitter::SkinData); }
