#include "skin/core/sSkinManager.h"

#include <algorithm>
#include <new>
#include <unordered_set>

#include "framework/Convert.h"
#include "framework/Jpeg.h"
#include "framework/Strings.h"
#include "framework/TypInfo.h"
#include "skin/core/acGlow.h"
#include "skin/core/acHueSaturation.h"
#include "skin/core/acPNG.h"
#include "skin/core/acPictureSize.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sSkinLookup.h"
#include "skin/core/sVclUtils.h"

bool acSkinChanging = false;
bool acSkinRemoving = false;
TacFormSkinningLink acFormSkinningLink;
HHOOK acCBTHookHandle = nullptr;
TObjectList* acHookProviderList = nullptr;

namespace {

TsSkinManager* TheDefaultManager = nullptr;

// The registered manager pointers. Made on first use and never freed, so that holders destroyed
// during the program's static destruction can still unregister.
std::unordered_set<TsSkinManager**>& ManagerRefs() {
  static auto* Refs = new std::unordered_set<TsSkinManager**>;
  return *Refs;
}

bool Contains(const AnsiString& S, const char* Part) { return S.find(Part) != AnsiString::npos; }

// Adds where a picture came from to the message of an error raised while decoding it.
[[noreturn]] void RethrowForPicture(Exception& E, const AnsiString& Name, const AnsiString& Section,
                                    const AnsiString& Key) {
  if (Section.empty())
    E.Message = Format("Skin picture \"%s\": %s", Name, E.Message);
  else
    E.Message = Format("Skin picture \"%s\" (key %s of section [%s]): %s", Name, Key, Section, E.Message);
  throw;
}

const char* const ThirdKindNames[ThirdPartyKindCount] = {
    "Edit",    "Button",   "BitBtn",   "CheckBox",    "ComboBox",    "Grid",       "GroupBox",
    "ListView", "Panel",   "TreeView", "wwEdit",      "GridEh",      "VirtualTree", "PageControl",
    "TabControl", "ToolBar", "StatusBar", "SpeedButton"};

bool StoredSkinIsEmpty(const TsStoredSkin& Item) {
  return (Item.MasterBitmap() == nullptr || Item.MasterBitmap()->Empty()) && Item.Images()->Count() == 0 &&
         Item.Patterns()->Count() == 0 && Item.GeneralData()->Count() == 0;
}

void CheckThirdIndex(int Index) {
  if (Index < 0 || Index >= ThirdPartyKindCount) throw EListError(Format("List index out of bounds (%d)", Index));
}

}  // namespace

// ---- TacMenuSupport -----------------------------------------------------------------------------

TacMenuSupport::TacMenuSupport() : FExtraLineFont(std::make_unique<TFont>()) {}

TacMenuSupport::~TacMenuSupport() = default;

// ---- ThirdPartyList -----------------------------------------------------------------------------

ThirdPartyList::ThirdPartyList() {
  for (int I = 0; I < ThirdPartyKindCount; ++I) FTexts[static_cast<std::size_t>(I)] = DefaultText(I);
}

AnsiString ThirdPartyList::DefaultText(int Index) {
  CheckThirdIndex(Index);
  return Index == tpButton ? AnsiString("TButton") : AnsiString(" ");
}

const AnsiString& ThirdPartyList::Texts(int Index) const {
  CheckThirdIndex(Index);
  return FTexts[static_cast<std::size_t>(Index)];
}

void ThirdPartyList::SetTexts(int Index, const AnsiString& Value) {
  CheckThirdIndex(Index);
  FTexts[static_cast<std::size_t>(Index)] = Value;
}

const char* ThirdPartyList::KindName(int Index) {
  CheckThirdIndex(Index);
  return ThirdKindNames[Index];
}

// ---- TsSkinManager ------------------------------------------------------------------------------

TsSkinManager::TsSkinManager(TComponent* AOwner)
    : TComponent(AOwner),
      FInternalSkins(std::make_unique<TsStoredSkins>(this)),
      FMenuSupport(std::make_unique<TacMenuSupport>()),
      FThirdParty(std::make_unique<ThirdPartyList>()),
      FCommonSections(std::make_unique<TStringList>()),
      FAnimEffects(std::make_unique<TacAnimEffects>(this)),
      FSkinData(std::make_unique<TsSkinData>()) {
  StartEngine();
  for (auto& L : FThirdLists) L = std::make_unique<TStringList>();
  FIsDefault = TheDefaultManager == nullptr;
  if (TheDefaultManager == nullptr) {
    TheDefaultManager = this;
    HookMainWindow();
  }
  FMenus = acFormSkinningLink.CreateMenus ? acFormSkinningLink.CreateMenus(this) : nullptr;
  if (!FMenus) FMenus = std::make_unique<TacManagerMenus>();
  UpdateThirdNames();
  if (FSkinDirectory.empty()) FSkinDirectory = DefaultSkinDirectory;
}

TsSkinManager::~TsSkinManager() {
  Destroying();
  SetActive(false);
  FExtendedBorders = false;
  UnloadSkin();
  FShadows[0].reset();
  FShadows[1].reset();
  if (TheDefaultManager == this) {
    // The hooks of an inactive manager are gone already; a manager that never had a skin may
    // still hold none, and UninstallHook is a no-op then.
    UninstallHook();
    UnhookMainWindow();
    TheDefaultManager = nullptr;
  }
  UpdateThirdTexts();
  for (TsSkinManager** Ref : ManagerRefs())
    if (*Ref == this) *Ref = nullptr;
}

void acRegisterManagerRef(TsSkinManager** Ref) {
  if (Ref != nullptr) ManagerRefs().insert(Ref);
}

void acUnregisterManagerRef(TsSkinManager** Ref) {
  if (Ref != nullptr) ManagerRefs().erase(Ref);
}

TsSkinManager* TsSkinManager::DefaultManager() { return TheDefaultManager; }

void TsSkinManager::MakeDefault(TsSkinManager* Manager) { TheDefaultManager = Manager; }

void TsSkinManager::Loaded() {
  TComponent::Loaded();
  if (FSkinDirectory.empty()) FSkinDirectory = DefaultSkinDirectory;
  if (FMenuSupport->IcoLineSkin().empty()) FMenuSupport->SetIcoLineSkin("ICOLINE");
  UpdateThirdNames();
  if (FActive && !FSkinName.empty()) SendNewSkin(false);
}

AnsiString TsSkinManager::SkinInfo() const {
  return FSkinData->Active ? FloatToStr(FSkinData->Version, PinnedFormatSettings()) : AnsiString("N/A");
}

TStringList* TsSkinManager::ThirdLists(int Kind) const {
  CheckThirdIndex(Kind);
  return FThirdLists[static_cast<std::size_t>(Kind)].get();
}

void TsSkinManager::UpdateThirdNames(bool Reset) {
  for (int I = 0; I < ThirdPartyKindCount; ++I) {
    if (Reset || FThirdParty->Texts(I).empty()) FThirdParty->SetTexts(I, ThirdPartyList::DefaultText(I));
    FThirdLists[static_cast<std::size_t>(I)]->SetText(FThirdParty->Texts(I));
  }
}

void TsSkinManager::UpdateThirdTexts() {
  for (int I = 0; I < ThirdPartyKindCount; ++I) FThirdParty->SetTexts(I, FThirdLists[static_cast<std::size_t>(I)]->Text());
}

// ---- The skin change ----------------------------------------------------------------------------

void TsSkinManager::SetSkinName(const AnsiString& Value) {
  FSkinName = Value;
  if (!FActive) return;
  if (OnBeforeChange) OnBeforeChange(this);
  {
    TFlagScope Changing(acSkinChanging, true);
    FSkinData->Active = false;
    if (LoadingWithItsForm())
      ReloadSkinOrFallBack();
    else
      ReloadSkin();
    if (FActive) SendNewSkin(true);
  }
  ShowVersionNotice();
  if (OnAfterChange) OnAfterChange(this);
}

void TsSkinManager::ReloadSkin() {
  FVersionNotice.clear();
  try {
    FSkinIsPacked = FileExists(PackedSkinFileName());
    if (FSkinIsPacked)
      LoadPackedSkin();
    else
      LoadSkin();
  } catch (...) {
    FVersionNotice.clear();
    FActive = false;
    RemoveSkin();
    throw;
  }
  if (!FActive) {
    FVersionNotice.clear();
    RemoveSkin();
  }
}

void TsSkinManager::SetActive(bool Value) {
  if (Value == FActive) return;
  FActive = Value;
  if (!Value) {
    if (!ComponentState().Contains(csLoading)) RemoveSkin();
    UpdateCommonSkinIndexes();
  } else {
    SetSkinName(FSkinName);
  }
}

void TsSkinManager::SetCommonSections(TStringList* Value) {
  FCommonSections->Assign(Value);
  for (int I = 0; I < FCommonSections->Count(); ++I) {
    const AnsiString Line = FCommonSections->Strings(I);
    if (!Line.empty() && Line[0] != ';') FCommonSections->SetStrings(I, DeleteChars(Line, ' '));
  }
  // A loaded skin is read again, also one not shown yet (while a stored description is applied
  // the skin is read at once and shown at the end). With no skin loaded there is nothing to read
  // again: the sections join the next load, and a manager without a SkinName is not switched off
  // by a load that could only fail.
  if (FActive && FMasterBitmap) SetSkinName(FSkinName);
}

namespace {

// The redraw lock of a skin change (BeginSkinChange). Ended by the change itself (End, or Handed
// when RepaintForms ends it); when an exception leaves the change half done, the destructor gives
// the forms their drawing back and has them repainted, so that none stays frozen.
class TSkinChangeLock {
 public:
  TSkinChangeLock(TsSkinManager* Manager, bool Lock) : FManager(Manager), FLocked(Lock) {
    if (FLocked) BeginSkinChange(FManager);
  }
  ~TSkinChangeLock() {
    if (!FLocked) return;
    try {
      EndSkinChange(FManager, false);
      for (TCustomForm* Form : RegisteredSkinnedForms())
        if (Form != nullptr && Form->HandleAllocated())
          RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    } catch (...) {
      // Already on the way out of a failure: the first exception is the one reported.
    }
  }
  TSkinChangeLock(const TSkinChangeLock&) = delete;
  TSkinChangeLock& operator=(const TSkinChangeLock&) = delete;

  void End() {
    if (FLocked) EndSkinChange(FManager, true);
    FLocked = false;
  }
  void Handed() { FLocked = false; }

 private:
  TsSkinManager* FManager;
  bool FLocked;
};

}  // namespace

bool TsSkinManager::SendNewSkin(bool Repaint) {
  if (IsLoadingOrReading()) return true;
  // Nothing to send while no skin is loaded (a manager that is Active without a SkinName).
  if (!FMasterBitmap) return true;
  ClearGlows();
  TSkinChangeLock Lock(this, !IsDesigning() && Repaint);
  FMenus->ResetSectionIndex();
  FSkinData->Active = false;
  UpdateCommonSkinIndexes();
  const std::uint64_t Loaded = FLoadCount;
  BroadcastCommand(AC_NEWSKIN);
  // A receiver may have switched skinning off, or loaded another skin, while it was told of this
  // one: that change stands, and this one goes no further.
  if (!FActive || FLoadCount != Loaded) return true;
  FSkinData->Active = true;
  FMenus->UpdateActive();
  if (IsDefault() && !FHookInstalled) InstallHook();
  if (Repaint) RepaintForms();
  Lock.Handed();  // RepaintForms ended it
  return true;
}

void TsSkinManager::RemoveSkin() {
  TFlagScope Removing(acSkinRemoving, true);
  ClearGlows();
  UninstallHook();
  FSkinData->Active = false;
  FMenus->UpdateActive();
  BroadcastCommand(AC_SKINREMOVED);
  UnloadSkin();
  // Nothing of the removed skin stays reachable: the common indexes and the shadow margins go too.
  UpdateCommonSkinIndexes();
  FShadowMargin = TRect{0, 0, 0, 0};
}

void TsSkinManager::BroadcastCommand(Word Command) {
  TMessage M;
  M.Msg = SM_ALPHACMD;
  M.WParam = MakeAlphaCmd(Command);
  M.LParam = reinterpret_cast<LPARAM>(this);
  BroadcastToSkinnedForms(M);
}

void TsSkinManager::RepaintForms() {
  if (!IsDesigning()) BroadcastCommand(AC_BEFOREREFRESH);
  const bool Loading = ComponentState().Contains(csLoading);
  TSkinChangeLock Lock(this, !Loading);
  BroadcastCommand(AC_REFRESHSKIN);
  // The skin is whole again: the last redraw paints what every window now shows. A load runs it
  // while its own change is still marked (SetSkinName), and the windows that paint nothing during a
  // change would use up their update regions unpainted.
  TFlagScope Whole(acSkinChanging, false);
  Lock.End();
  if (acProviderLink.HookedWindows) {
    for (HWND W : acProviderLink.HookedWindows())
      if (IsWindow(W) && IsWindowVisible(W))
        RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

void TsSkinManager::ApplyHueAndSaturation() { ApplySkinHueAndSaturation(this); }

void TsSkinManager::WidenOwnPictures() {
  // Palette and grey PNGs and indexed BMP textures come with 1, 4 or 8 bits a pixel (16 for some
  // BMP textures); the painters take 24 or 32. The recolouring passes have already recoloured such
  // a picture through its colour table (a colour for each entry, however large the picture); each
  // pixel now takes its entry's colour, so that the key colour stays the key colour.
  for (TsMaskData& M : FMasks) {
    if (!M.Bmp) continue;
    const TPixelFormat F = M.Bmp->PixelFormat();
    if (F != pf24bit && F != pf32bit) M.Bmp->SetPixelFormat(pf24bit);
  }
}

// ---- Loading --------------------------------------------------------------------------------------

AnsiString TsSkinManager::GetFullSkinDirectory() const { return FullSkinDirectory(FSkinDirectory, AppDirectory()); }

AnsiString TsSkinManager::PackedSkinFileName() const {
  return FSkinName.empty() ? AnsiString() : GetFullSkinDirectory() + FSkinName + ".asz";
}

void TsSkinManager::OpenOptions(std::string_view Text) { FOptions = std::make_unique<TacSkinOptions>(Text); }

void TsSkinManager::OpenPackOptions() {
  OpenOptions(std::string_view(static_cast<const char*>(FPack->Options->Memory()),
                               static_cast<std::size_t>(FPack->Options->Size())));
}

void TsSkinManager::EndLoad() {
  FOptions.reset();
  FPack.reset();
  FStoredSkin = nullptr;
}

class TsSkinManager::TLoadScope {
 public:
  explicit TLoadScope(TsSkinManager* Manager) : FManager(Manager), FChanging(acSkinChanging, true) {
    FManager->EndLoad();
  }
  ~TLoadScope() { FManager->EndLoad(); }
  TLoadScope(const TLoadScope&) = delete;
  TLoadScope& operator=(const TLoadScope&) = delete;

 private:
  TsSkinManager* FManager;
  TFlagScope FChanging;
};

template <class F>
void TsSkinManager::GuardLoadMemory(F&& Body) {
  // The load's own objects are freed while the exception leaves Body, before the error is made.
  try {
    Body();
  } catch (const std::bad_alloc&) {
    throw EacSkinLoadError(Format("Not enough memory to load the skin: %s", FLoadFile));
  } catch (const EOutOfResources&) {
    throw EacSkinLoadError(Format("Not enough memory to load the skin: %s", FLoadFile));
  } catch (const EStreamOutOfMemory&) {
    throw EacSkinLoadError(Format("Not enough memory to load the skin: %s", FLoadFile));
  }
}

void TsSkinManager::LoadSkin() {
  if (!FActive) return;
  FLoadFile = Format("stored skin \"%s\"", FSkinName);
  GuardLoadMemory([this] { LoadSkinNow(); });
}

void TsSkinManager::LoadSkinNow() {
  TLoadScope Load(this);

  const AnsiString Dir = GetFullSkinDirectory();
  const AnsiString OptionsFile = Dir + FSkinName + "\\" + SOptionsFileName;
  if (!FSkinName.empty() && FileExists(OptionsFile)) {
    FLoadFile = Format("file \"%s\"", OptionsFile);
    FSkinIsPacked = false;
    TFileStream F(OptionsFile, fmOpenRead | fmShareDenyWrite);
    if (F.Size() > MaxSkinOptionsSize)
      throw EacSkinLoadError(Format("The skin's options file \"%s\" is too large (%u bytes; at most %u are read)",
                                    OptionsFile, static_cast<unsigned>(F.Size()),
                                    static_cast<unsigned>(MaxSkinOptionsSize)));
    OpenOptions(F.ReadAnsiString(F.Size()));
    FSkinData->SkinPath = Dir + FSkinName + "\\";
  } else {
    FSkinData->SkinPath.clear();
    int Index = FInternalSkins->IndexOf(FSkinName);
    if (Index < 0) {
      if (FInternalSkins->Count() == 0) {
        FActive = false;
        return;
      }
      Index = 0;
      FSkinName = FInternalSkins->Items(0)->Name();
    }
    TsStoredSkin* Item = FInternalSkins->Items(Index);
    if (Item->Data()->Size() == 0 && StoredSkinIsEmpty(*Item)) {
      // An item that holds no skin at all (neither a pack nor pictures, textures or sections) is
      // treated like no stored skin: nothing is loaded and the skin is switched off.
      FActive = false;
      return;
    }
    if (Item->Data()->Size() > 0) {
      FSkinIsPacked = true;
      FPack = std::make_unique<TacSkinConvertor>();
      // The item's stream is only lent: the reader forgets it again and the item keeps it.
      FPack->SetPackedData(Item->Data(), false);
      FPack->ExtractPackedData();
      FPack->FreePackedData();
      OpenPackOptions();
    } else {
      FSkinIsPacked = false;
      FStoredSkin = Item;
    }
  }
  LoadSkinParts();
}

void TsSkinManager::LoadPackedSkin() {
  if (!FActive) return;
  FLoadFile = Format("file \"%s\"", PackedSkinFileName());
  GuardLoadMemory([this] { LoadPackedSkinNow(); });
}

void TsSkinManager::LoadPackedSkinNow() {
  TLoadScope Load(this);

  const AnsiString FileName = PackedSkinFileName();
  LoadSkinPackFile(FileName, FPack, true);
  if (!FPack || !FPack->Options)
    throw EacSkinLoadError(Format("The packed skin file \"%s\" cannot be read", FileName));
  OpenPackOptions();
  FSkinIsPacked = true;
  FSkinData->SkinPath = GetFullSkinDirectory();
  LoadSkinParts();
}

void TsSkinManager::LoadSkinParts() {
  ++FLoadCount;
  FPictureCount = 0;
  FPicturePixels = 0;
  FFileLookups = 0;
  try {
    LoadAllMasks();
    LoadAllPatterns();
    LoadAllGeneralData();
    UpdateIndexesAndShadows();
  } catch (...) {
    UnloadSkin();
    throw;
  }
}

void TsSkinManager::UnloadMasks() {
  ClearMasks(FMasks);
  FMasterBitmap.reset();
  FLookup.reset();
}

void TsSkinManager::UnloadPatterns() {
  ClearPatterns(FPatterns);
  FLookup.reset();
}

void TsSkinManager::UnloadSkin() {
  ++FLoadCount;
  UnloadMasks();
  UnloadPatterns();
  ClearGeneralData(FGeneralData);
  FLookup.reset();
}

AnsiString TsSkinManager::ReadSkinString(const AnsiString& Section, const AnsiString& Key,
                                         const AnsiString& Default) const {
  return FOptions ? FOptions->ReadSkinString(Section, Key, Default) : Default;
}

int TsSkinManager::ReadSkinInteger(const AnsiString& Section, const AnsiString& Key, int Default) const {
  return FOptions ? FOptions->ReadSkinInteger(Section, Key, Default) : Default;
}

// ---- Pictures ---------------------------------------------------------------------------------------

AnsiString TsSkinManager::PictureSource(const AnsiString& Name, TPictureSource Source) const {
  if (Source == TPictureSource::Pack) return Format("file \"%s\" of the packed skin \"%s\"", Name, FSkinName);
  return Format("file \"%s\"", Name.find(':') == AnsiString::npos ? FSkinData->SkinPath + Name : Name);
}

std::unique_ptr<TStream> TsSkinManager::OpenSkinFile(const AnsiString& Name, TPictureSource Source) const {
  if (Name.empty()) return nullptr;
  if (Source == TPictureSource::Pack) {
    if (!FPack) return nullptr;
    TacImageItem* Item = FPack->FindFile(UpperCase(Name));
    if (Item == nullptr || !Item->Data) return nullptr;
    // A read-only view of the pack's file, from its start.
    return std::make_unique<TReadOnlyMemoryStream>(Item->Data->Memory(), Item->Data->Size());
  }
  const AnsiString Path = Name.find(':') == AnsiString::npos ? FSkinData->SkinPath + Name : Name;
  if (!FileExists(Path)) return nullptr;
  return std::make_unique<TFileStream>(Path, fmOpenRead | fmShareDenyWrite);
}

void TsSkinManager::CheckPictureBudget(TStream& Picture, const AnsiString& Name) {
  int W = 0, H = 0;
  if (!PictureSizeOf(Picture, W, H)) return;  // the decoder reports what is wrong with it
  if (FPicturePixels + static_cast<std::int64_t>(W) * H > MaxSkinPicturePixels)
    throw EacSkinLoadError(Format("The skin's pictures are too large: more than %u pixels in all (at \"%s\", %d x %d)",
                                  static_cast<unsigned>(MaxSkinPicturePixels), Name, W, H));
}

void TsSkinManager::CountFileLookup(const AnsiString& Name) {
  if (!Name.empty() && ++FFileLookups > MaxSkinFileLookups)
    throw EacSkinLoadError(Format("The skin names more than %d picture files (at \"%s\")", MaxSkinFileLookups, Name));
}

void TsSkinManager::CountPicture(int Width, int Height, bool OwnBitmap, const AnsiString& Name) {
  if (OwnBitmap && ++FPictureCount > MaxSkinPictures)
    throw EacSkinLoadError(Format("The skin holds more than %d pictures (at \"%s\")", MaxSkinPictures, Name));
  FPicturePixels += static_cast<std::int64_t>(Width) * Height;
  if (FPicturePixels > MaxSkinPicturePixels)
    throw EacSkinLoadError(Format("The skin's pictures are too large: more than %u pixels in all (at \"%s\")",
                                  static_cast<unsigned>(MaxSkinPicturePixels), Name));
}

template <class T, class Decode>
std::unique_ptr<T> TsSkinManager::LoadPictureFile(const AnsiString& Name, TPictureSource Source,
                                                  const AnsiString& Section, const AnsiString& Key,
                                                  bool DecoderHoldsBudget, Decode&& DecodeStream) {
  // A folder skin's pictures are taken from its folder, or as written when their names hold ':';
  // one that is not there gives no entry. But a skin is a download: a name that reaches another
  // machine or a device would have the load read the network or the device, and is refused as an
  // error of the skin.
  if (Source == TPictureSource::SkinFolder && IsRemoteOrDeviceName(Name))
    throw EacSkinLoadError(Format("The picture \"%s\" (key %s of section [%s]) names another machine or a device",
                                  Name, Key, Section));
  std::unique_ptr<TStream> S;
  const AnsiString LoadFile = FLoadFile;
  CountFileLookup(Name);
  try {
    S = OpenSkinFile(Name, Source);
    if (!S) return nullptr;
    FLoadFile = PictureSource(Name, Source);
    // A bitmap's decoder takes no limit: its header is held to the budget first. The PNG and JPEG
    // decoders are handed what is left of the budget and refuse a picture beyond it from their own
    // reading of its header, before they hold its pixels; such a refusal is the budget's error.
    if (!DecoderHoldsBudget) CheckPictureBudget(*S, Name);
    const std::int64_t Start = S->Position();
    std::unique_ptr<T> Picture;
    try {
      Picture = DecodeStream(*S);
    } catch (const EInvalidGraphic&) {
      S->SetPosition(Start);
      CheckPictureBudget(*S, Name);
      throw;
    }
    FLoadFile = LoadFile;
    return Picture;
  } catch (EacSkinLoadError&) {
    throw;
  } catch (Exception& E) {
    RethrowForPicture(E, Name, Section, Key);
  }
}

std::unique_ptr<TBitmap> TsSkinManager::LoadBitmapFile(const AnsiString& Name, bool Png, TPictureSource Source,
                                                       const AnsiString& Section, const AnsiString& Key,
                                                       bool OwnPicture) {
  return LoadPictureFile<TBitmap>(Name, Source, Section, Key, Png, [&](TStream& S) {
    auto B = std::make_unique<TBitmap>();
    if (Png) {
      TPNGGraphic P;
      P.SetMaxPixels(MaxSkinPicturePixels - FPicturePixels);
      P.LoadFromStream(S);
      B->Assign(&P);
      ClearTransparentWhite(B.get());
    } else {
      B->LoadFromStream(S);
    }
    CountPicture(B->Width(), B->Height(), OwnPicture, Name);
    return B;
  });
}

std::unique_ptr<TGraphic> TsSkinManager::LoadJpegFile(const AnsiString& Name, TPictureSource Source, const AnsiString& Section,
                                                      const AnsiString& Key) {
  return LoadPictureFile<TGraphic>(Name, Source, Section, Key, true, [this](TStream& S) {
    auto J = std::make_unique<TJPEGImage>();
    TJPEGLimits Limits;
    Limits.MaxPixels = std::min(Limits.MaxPixels, MaxSkinPicturePixels - FPicturePixels);
    J->SetLimits(Limits);
    J->LoadFromStream(S);
    return std::unique_ptr<TGraphic>(std::move(J));
  });
}

void TsSkinManager::LoadMasterBitmap(const AnsiString& Name) {
  FMasterBitmap = std::make_unique<TBitmap>();
  if (!Name.empty()) {
    if (std::unique_ptr<TBitmap> B = LoadBitmapFile(Name, false, SkinSource(), SGlobalInfoSection, SMasterBitmapKey, false))
      FMasterBitmap = std::move(B);
  }
  FMasterBitmap->SetPixelFormat(pf24bit);
  FMasterBitmap->SetTransparent(true);
  FMasterBitmap->SetTransparentColor(clKeyColor);
}

void TsSkinManager::AddMasterMask(TsMaskData&& Mask) {
  const int W = FMasterBitmap ? FMasterBitmap->Width() : 0;
  const int H = FMasterBitmap ? FMasterBitmap->Height() : 0;
  if (!RectFitsImage(Mask.R, W, H)) return;
  FMasks.push_back(std::move(Mask));
}

void TsSkinManager::AddMaskFromValue(TsSectionNames& Section, const AnsiString& Key, const AnsiString& Value) {
  // A record of this manager's for the key; the entries of a section share its name.
  const auto NewMask = [this](const TsSharedName& SectionName, const AnsiString& PropertyName) {
    TsMaskData M;
    M.SectionName = SectionName;
    M.PropertyName = PropertyName;
    M.Manager = this;
    return M;
  };
  const AnsiString& Name = Section.Text();
  switch (ImageNotationOf(Value)) {
    case TacImageNotation::None:
      return;
    case TacImageNotation::Border:
    case TacImageNotation::Glyph:
    case TacImageNotation::Texture: {
      TsMaskData M = NewMask(Section.AsWritten(), Key);
      ParseFixedImageValue(Name, Key, Value, M);
      AddMasterMask(std::move(M));
      return;
    }
    case TacImageNotation::File: {
      const TacFileImageName N = FileImageNameOf(Value);
      if (!N.IsBitmap && !N.IsPng) return;
      std::unique_ptr<TBitmap> B = LoadBitmapFile(N.FileName, N.IsPng, SkinSource(), Name, Key);
      if (!B || B->Width() <= 0) return;
      TsMaskData M = NewMask(Section.AsWritten(), Key);
      ParseFileImageNumbers(Name, Key, Value, B->Width(), B->Height(), M);
      if (N.IsBitmap && M.ImgType != itisaTexture) B->SetPixelFormat(pf24bit);
      M.Bmp.reset(B.release());
      FMasks.push_back(std::move(M));
      return;
    }
    case TacImageNotation::RectForm: {
      TsMaskData M = NewMask(Section.UpperCased(), UpperCase(Key));
      ParseRectImageValue(Name, Key, Value, M);
      AddMasterMask(std::move(M));
      return;
    }
    case TacImageNotation::PlainFile: {
      const AnsiString File = UpperCase(Value);
      std::unique_ptr<TBitmap> B = LoadBitmapFile(File, false, SkinSource(), Name, Key);
      if (!B || B->Width() <= 0) return;
      B->SetPixelFormat(pf24bit);
      TsMaskData M = NewMask(Section.UpperCased(), UpperCase(Key));
      M.MaskType = 1;
      M.ImageCount = 3;
      M.R = TRect{0, 0, B->Width(), B->Height()};
      M.WL = M.WR = static_cast<std::int16_t>(B->Width() / 9);
      M.WT = M.WB = static_cast<std::int16_t>(B->Height() / 6);
      M.Bmp.reset(B.release());
      FMasks.push_back(std::move(M));
      return;
    }
  }
}

namespace {

// Calls Fn(Section, Key, Value) for the first value of every key of every section, in file order;
// Section gives the section's name and the names its entries share.
template <class Fn>
void ForEachKey(const TMemIniFile& Ini, Fn&& F) {
  for (const TIniSection& S : Ini.Data().Sections()) {
    TsSectionNames Names(S.Name);
    std::unordered_set<AnsiString> Seen;
    for (const TIniEntry& E : S.Entries)
      if (Seen.insert(UpperCase(E.Name)).second) F(Names, E.Name, E.Value);
  }
}

}  // namespace

void TsSkinManager::LoadAllMasks() {
  UnloadMasks();
  if (FOptions) {
    LoadMasterBitmap(FOptions->Ini().ReadString(SGlobalInfoSection, SMasterBitmapKey, ""));
    ForEachKey(FOptions->Ini(), [&](TsSectionNames& Section, const AnsiString& Key, const AnsiString& Value) {
      if (!IsSkinValueKey(Section.Text(), Key)) AddMaskFromValue(Section, Key, Value);
    });
  } else if (FStoredSkin != nullptr) {
    FMasterBitmap = std::make_unique<TBitmap>();
    TsMaskArray Stored;
    LoadStoredMasks(*FStoredSkin, this, *FMasterBitmap, Stored);
    CountPicture(FMasterBitmap->Width(), FMasterBitmap->Height(), false, "MasterBitmap");
    for (TsMaskData& M : Stored) {
      if (M.Bmp) {
        CountPicture(M.Bmp->Width(), M.Bmp->Height(), true, M.SectionName.Text() + "." + M.PropertyName);
        if (M.Bmp->Width() > 0 && M.Bmp->Height() > 0) FMasks.push_back(std::move(M));
      } else {
        AddMasterMask(std::move(M));
      }
    }
  }
  if (FCommonSections->Count() > 0) AddCommonMasks();
  FLookup.reset();
}

void TsSkinManager::AddCommonMasks() {
  const TacSkinOptions Common(FCommonSections->Text());
  const bool HasMaster = FMasterBitmap && !FMasterBitmap->Empty();
  ForEachKey(Common.Ini(), [&](TsSectionNames& Section, const AnsiString& Key, const AnsiString& Value) {
    if (SameText(Section.Text(), SGlobalInfoSection) || IsSkinValueKey(Section.Text(), Key)) return;
    if (HasMaster && Contains(Value, "#") && Value != "#") {
      TsMaskData M;
      M.SectionName = Section.UpperCased();
      M.PropertyName = UpperCase(Key);
      M.Manager = this;
      ParseRectImageValue(Section.Text(), Key, Value, M);
      AddMasterMask(std::move(M));
      return;
    }
    const AnsiString Name = UpperCase(Value);
    if (!Contains(Name, ".BMP")) return;
    std::unique_ptr<TBitmap> B = LoadBitmapFile(Name, false, TPictureSource::Common, Section.Text(), Key);
    if (!B || B->Width() < 1) return;
    B->SetPixelFormat(pf24bit);
    TsMaskData M;
    M.Manager = this;
    M.SectionName = Section.UpperCased();
    M.PropertyName = UpperCase(Key);
    M.Bmp.reset(B.release());
    FMasks.push_back(std::move(M));
  });
}

void TsSkinManager::LoadAllPatterns() {
  UnloadPatterns();
  if (FOptions) {
    ForEachKey(FOptions->Ini(), [&](TsSectionNames& Section, const AnsiString& Key, const AnsiString& Value) {
      if (IsSkinValueKey(Section.Text(), Key)) return;
      const AnsiString Name = UpperCase(Value);
      if (!Contains(Name, ".JPG") && !Contains(Name, ".JPEG")) return;
      std::unique_ptr<TGraphic> J = LoadJpegFile(Name, SkinSource(), Section.Text(), Key);
      if (!J || J->Width() <= 0) return;
      const std::int64_t Pixels = static_cast<std::int64_t>(J->Width()) * J->Height();
      if (Pixels < TileTextureMaxPixels) {
        // A small texture becomes a tile: a bitmap, so that tiling it decodes nothing.
        CountPicture(J->Width(), J->Height(), true, Name);
        // Its pixels are copied, not drawn: a bitmap drawn on keeps its canvas's device context
        // for its life, and a skin may hold thousands of tiles.
        TsMaskData M;
        M.Bmp.reset(new TBitmap);
        M.Bmp->Assign(static_cast<TJPEGImage*>(J.get())->Bitmap());
        M.Bmp->SetPixelFormat(pf24bit);
        M.PropertyName = UpperCase(Key);
        M.SectionName = Section.UpperCased();
        M.ImgType = itisaTexture;
        M.ImageCount = 1;
        M.Manager = this;
        FMasks.push_back(std::move(M));
      } else {
        AddPattern(std::move(J), Section, Key, Name);
      }
    });
  } else if (FStoredSkin != nullptr) {
    TsPatternArray Stored;
    LoadStoredPatterns(*FStoredSkin, Stored);
    for (TsPatternData& P : Stored) {
      if (P.Img) CountPicture(P.Img->Width(), P.Img->Height(), false, P.SectionName.Text() + "." + P.PropertyName);
      FPatterns.push_back(std::move(P));
    }
  }
  if (FCommonSections->Count() > 0) AddCommonPatterns();
  FLookup.reset();
}

void TsSkinManager::AddCommonPatterns() {
  const TacSkinOptions Common(FCommonSections->Text());
  ForEachKey(Common.Ini(), [&](TsSectionNames& Section, const AnsiString& Key, const AnsiString& Value) {
    if (IsSkinValueKey(Section.Text(), Key)) return;
    const AnsiString Name = UpperCase(Value);
    if (!Contains(Name, ".JPG") && !Contains(Name, ".JPEG")) return;
    std::unique_ptr<TGraphic> J = LoadJpegFile(Name, TPictureSource::Common, Section.Text(), Key);
    if (!J || J->Width() < 1) return;
    AddPattern(std::move(J), Section, Key, Name);
  });
}

void TsSkinManager::AddPattern(std::unique_ptr<TGraphic> Img, TsSectionNames& Section, const AnsiString& Key,
                               const AnsiString& Name) {
  CountPicture(Img->Width(), Img->Height(), false, Name);
  TsPatternData P;
  P.Img.reset(Img.release());
  P.PropertyName = UpperCase(Key);
  P.SectionName = Section.UpperCased();
  FPatterns.push_back(std::move(P));
}

void TsSkinManager::LoadAllGeneralData() {
  // One set of gradients for the load: a text is parsed once and shared by the sections that take
  // it, within the caps of gradient texts and stops.
  TacSkinGradients Gradients;
  if (FOptions) {
    ReadSkinGlobalInfo(*FOptions, *FSkinData);
    CheckSkinVersion();
    ClearGeneralData(FGeneralData);
    const TacColorToRGB ToRGB = [](std::int32_t C) { return static_cast<std::int32_t>(ColorToRGB(C)); };
    FGeneralData = ReadSkinSections(*FOptions, ToRGB, Gradients);
  } else if (FStoredSkin != nullptr) {
    LoadStoredGeneralData(*FStoredSkin, *FSkinData, FGeneralData,
                          [&Gradients](const AnsiString& Text, const AnsiString& Section, const char* Key) {
                            return Gradients.Of(Text, Section, Key);
                          });
    ClampSkinWideValues(*FSkinData);
    for (TsGeneralData& D : FGeneralData) ClampSectionValues(D);
  } else {
    ClearGeneralData(FGeneralData);
  }
  if (FCommonSections->Count() > 0) {
    const TacSkinOptions Common(FCommonSections->Text());
    MergeCommonSections(Common.Ini(), FGeneralData, &Gradients);
  }
  FLookup.reset();
  UpdateSectionMaskIndexes();
  ApplyHueAndSaturation();
  WidenOwnPictures();
}

// ---- Lookups -------------------------------------------------------------------------------------

struct TsSkinManager::TLookupTables {
  std::size_t SectionCount = 0;
  std::size_t MaskCount = 0;
  std::size_t PatternCount = 0;
  TacSkinLookup Tables;
};

const TsSkinManager::TLookupTables& TsSkinManager::Lookup() const {
  if (!FLookup || FLookup->SectionCount != FGeneralData.size() || FLookup->MaskCount != FMasks.size() ||
      FLookup->PatternCount != FPatterns.size()) {
    auto T = std::make_unique<TLookupTables>();
    T->SectionCount = FGeneralData.size();
    T->MaskCount = FMasks.size();
    T->PatternCount = FPatterns.size();
    T->Tables = TacSkinLookup(FGeneralData, FMasks, FPatterns);
    FLookup = std::move(T);
  }
  return *FLookup;
}

int TsSkinManager::GetSectionIndex(const AnsiString& SectionName) const {
  if (FGeneralData.empty()) return -1;
  return Lookup().Tables.Section(SectionName);
}

int TsSkinManager::GetSectionIndex(const TsSkinManager* Manager, const AnsiString& SectionName) {
  return Manager != nullptr ? Manager->GetSectionIndex(SectionName) : -1;
}

int TsSkinManager::GetOwnMaskIndex(const AnsiString& SectionName, const AnsiString& PropertyName) const {
  if (SectionName.empty() || FMasks.empty()) return -1;
  return Lookup().Tables.OwnMask(SectionName, PropertyName);
}

int TsSkinManager::GetMaskIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const {
  if (SkinIndex < 0 || SectionName.empty() || FMasks.empty()) return -1;
  return Lookup().Tables.Inherited(TacSkinLookup::lkMask, SkinIndex, SectionName, PropertyName, FLookupSteps);
}

int TsSkinManager::GetTextureIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const {
  if (SkinIndex < 0 || SectionName.empty() || FMasks.empty()) return -1;
  return Lookup().Tables.Inherited(TacSkinLookup::lkTexture, SkinIndex, SectionName, PropertyName, FLookupSteps);
}

int TsSkinManager::GetPatternIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const {
  if (SkinIndex < 0 || SectionName.empty() || FPatterns.empty()) return -1;
  return Lookup().Tables.Inherited(TacSkinLookup::lkPattern, SkinIndex, SectionName, PropertyName, FLookupSteps);
}

void TsSkinManager::UpdateSectionMaskIndexes() {
  const TacSkinLookup& T = Lookup().Tables;
  const std::vector<int> Border = T.SectionMasks("BORDERSMASK");
  const std::vector<int> TopLeft = T.SectionMasks("IMGTOPLEFT");
  const std::vector<int> TopRight = T.SectionMasks("IMGTOPRIGHT");
  const std::vector<int> BottomLeft = T.SectionMasks("IMGBTMLEFT");
  const std::vector<int> BottomRight = T.SectionMasks("IMGBTMRIGHT");
  for (std::size_t I = 0; I < FGeneralData.size(); ++I) {
    TsGeneralData& D = FGeneralData[I];
    if (D.SectionName == SGlobalInfoSection) continue;
    D.BorderIndex = Border[I];
    D.ImgTopLeft = TopLeft[I];
    D.ImgTopRight = TopRight[I];
    D.ImgBottomLeft = BottomLeft[I];
    D.ImgBottomRight = BottomRight[I];
  }
}

// ---- Published properties -----------------------------------------------------------------------

T_PUBLISH(TacMenuSupport) {
  P.String("IcoLineSkin", &TacMenuSupport::IcoLineSkin, &TacMenuSupport::SetIcoLineSkin);
  P.Boolean("UseExtraLine", &TacMenuSupport::UseExtraLine, &TacMenuSupport::SetUseExtraLine);
  P.Ordinal("ExtraLineWidth", &TacMenuSupport::ExtraLineWidth, &TacMenuSupport::SetExtraLineWidth);
  P.Object("ExtraLineFont", &TacMenuSupport::ExtraLineFont, &TacMenuSupport::SetExtraLineFont);
}

T_PUBLISH(ThirdPartyList) {
  // One text property a kind, in the order of the kinds.
  static const char* const Names[ThirdPartyKindCount] = {
      "ThirdEdits", "ThirdButtons", "ThirdBitBtns", "ThirdCheckBoxes", "ThirdComboBoxes", "ThirdGrids",
      "ThirdGroupBoxes", "ThirdListViews", "ThirdPanels", "ThirdTreeViews", "ThirdWWEdits", "ThirdGridEh",
      "ThirdVirtualTrees", "ThirdPageControl", "ThirdTabControl", "ThirdToolBar", "ThirdStatusBar",
      "ThirdSpeedButton"};
  for (int I = 0; I < ThirdPartyKindCount; ++I)
    P.String(Names[I], [I](ThirdPartyList* L) -> const AnsiString& { return L->Texts(I); },
             [I](ThirdPartyList* L, const AnsiString& V) { L->SetTexts(I, V); });
}

T_PUBLISH(TsSkinManager) {
  P.Boolean("ExtendedBorders", &TsSkinManager::ExtendedBorders, &TsSkinManager::SetExtendedBorders);
  P.Boolean("SkinnedPopups", &TsSkinManager::SkinnedPopups, &TsSkinManager::SetSkinnedPopups);
  P.Boolean("AllowGlowing", &TsSkinManager::AllowGlowing, &TsSkinManager::SetAllowGlowing);
  P.Object("AnimEffects", &TsSkinManager::AnimEffects);
  P.Boolean("IsDefault", &TsSkinManager::IsDefault, &TsSkinManager::SetIsDefault);
  P.Boolean("Active", &TsSkinManager::Active, &TsSkinManager::SetActive);
  P.Object("CommonSections", &TsSkinManager::CommonSections, &TsSkinManager::SetCommonSections);
  P.Ordinal("Saturation", &TsSkinManager::Saturation, &TsSkinManager::SetSaturation);
  P.Ordinal("HueOffset", &TsSkinManager::HueOffset, &TsSkinManager::SetHueOffset);
  P.Object("InternalSkins", &TsSkinManager::InternalSkins, &TsSkinManager::SetInternalSkins);
  P.Object("MenuSupport", &TsSkinManager::MenuSupport);
  P.String("SkinDirectory", &TsSkinManager::SkinDirectory, &TsSkinManager::SetSkinDirectory);
  P.String("SkinName", &TsSkinManager::SkinName, &TsSkinManager::SetSkinName);
  P.String("SkinInfo", &TsSkinManager::SkinInfo, &TsSkinManager::SetSkinInfo);
  P.Set("SkinningRules", &TsSkinManager::SkinningRules, &TsSkinManager::SetSkinningRules,
        {"srStdForms", "srStdDialogs", "srThirdParty"});
  P.Object("ThirdParty", &TsSkinManager::ThirdParty);
  P.String("Version", [](TsSkinManager*) { return TsSkinManager::Version(); }, &TsSkinManager::SetVersion);
}
