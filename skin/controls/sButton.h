// TsButton: the framework's push button carrying its skin data (section "BUTTON" by default,
// control-kind code 93). It behaves as TButton (OnClick fires on a click); the painting from the
// skin joins it with the skin engine. Win32.
#pragma once

#include <memory>

#include "framework/StdCtrls.h"
#include "skin/core/sCommonData.h"

class TsButton : public TButton {
  T_CLASS(TsButton, TButton)

 public:
  static constexpr int KindCode = 93;

  explicit TsButton(TComponent* AOwner);
  ~TsButton() override;

  // The skin binding; SkinData()->SetSkinSection chooses the section.
  TsCommonData* SkinData() const { return FSkinData.get(); }

  // After the stored settings: the skin data takes its default section when none was given.
  void Loaded() override;

 private:
  std::unique_ptr<TsCommonData> FSkinData;
};
