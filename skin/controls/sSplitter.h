// TsSplitter: the framework's splitter carrying its skin data (section "SPLITTER" by default,
// control-kind code 75). It sizes its aligned neighbour exactly as TSplitter does; the painting
// from the skin joins it with the skin engine. Win32.
#pragma once

#include <memory>

#include "framework/ExtCtrls.h"
#include "skin/core/sCommonData.h"

class TsSplitter : public TSplitter {
  T_CLASS(TsSplitter, TSplitter)

 public:
  static constexpr int KindCode = 75;

  // A new splitter is 6 pixels wide.
  explicit TsSplitter(TComponent* AOwner);
  ~TsSplitter() override;

  // The skin binding; SkinData()->SetSkinSection chooses the section.
  TsCommonData* SkinData() const { return FSkinData.get(); }

  // After the stored settings: the skin data takes its default section when none was given.
  void Loaded() override;

 private:
  std::unique_ptr<TsCommonData> FSkinData;
};
