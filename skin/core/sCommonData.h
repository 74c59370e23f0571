// TsCommonData: the skin data that every skinned control owns, published as its SkinData. It
// binds the control to a skin section by name. For now it holds the section name, the owning
// object and control, and the control-kind code that picks the default section; the cached
// indexes, the cache bitmap and the paint state join it with the skin manager's loading. Win32.
#pragma once

#include "framework/Controls.h"
#include "framework/Persistent.h"

class TsSkinManager;

class TsCommonData : public TPersistent {
  T_CLASS(TsCommonData, TPersistent)

 public:
  // Owner: the object the data belongs to (a control, usually). KindCode: the owner's
  // control-kind code (0 when it has none), which chooses the default section in Loaded.
  explicit TsCommonData(TPersistent* AOwner, int KindCode = 0);
  ~TsCommonData() override;

  // The section name, always stored upper-cased; setting an empty name stores "UNKNOWN".
  const AnsiString& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const AnsiString& Value);

  // The owner, always; the owner when it is a control, otherwise nullptr.
  TPersistent* OwnerObject() const { return FOwnerObject; }
  TControl* OwnerControl() const { return FOwnerControl; }
  int KindCode() const { return FKindCode; }
  void SetKindCode(int Value) { FKindCode = Value; }

  // Called by the owner once its stored settings are applied: an empty section becomes the
  // default section of the owner's kind (DefaultSection).
  void Loaded();

  // The default section of a control kind; for kinds without a section of their own, the class
  // name of the owner (upper-cased).
  static AnsiString DefaultSection(int KindCode, const TPersistent* Owner);

 private:
  AnsiString FSkinSection;
  TPersistent* FOwnerObject = nullptr;
  TControl* FOwnerControl = nullptr;
  int FKindCode = 0;
};
