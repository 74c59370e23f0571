#include "skin/controls/sButton.h"

#include "framework/TypInfo.h"

TsButton::TsButton(TComponent* AOwner) : TButton(AOwner), FSkinData(std::make_unique<TsCommonData>(this, KindCode)) {
  if (!IsLoading()) FSkinData->Loaded();
}

TsButton::~TsButton() = default;

void TsButton::Loaded() {
  TButton::Loaded();
  FSkinData->Loaded();
}

T_PUBLISH(TsButton) { P.Object("SkinData", &TsButton::SkinData); }
