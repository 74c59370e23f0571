// TsSkinManager: the component's switches, colour queries, skin names, the common index cache, the
// extended-border shadows, the version notices and the hooks (the application-window hook and the
// thread's WH_CBT hook, the hover window).
#include <cctype>

#include "framework/Convert.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "framework/TypInfo.h"
#include "skin/core/acGlow.h"
#include "skin/core/acPixels.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

TPNGGraphic* acShadowActive = nullptr;
TPNGGraphic* acShadowInactive = nullptr;

namespace {

// Messages posted to the application window by menu painting: skin the popup menu being shown
// (LParam = the menu object), and skin the popup-menu window given by handle (LParam).
constexpr UINT WM_SKINPOPUPMENU = 0xBCB3;
constexpr UINT WM_SKINPOPUPWINDOW = 0xBCB4;

// The CBT procedure installed while form skinning provides none: it only passes events on.
LRESULT CALLBACK PassThroughCBTProc(int Code, WPARAM WParam, LPARAM LParam) {
  return CallNextHookEx(acCBTHookHandle, Code, WParam, LParam);
}

// A 32-bit copy of the W x H area at (X, Y) of a bitmap (24-bit pixels become opaque); the part
// outside the source stays transparent black.
void CopyArea32(TBitmap* Src, int X, int Y, int W, int H, TBitmap* Dst) {
  Dst->SetPixelFormat(pf32bit);
  Dst->SetSize(W > 0 ? W : 0, H > 0 ? H : 0);
  if (W <= 0 || H <= 0 || Src == nullptr) return;
  if (Src->PixelFormat() != pf32bit && Src->PixelFormat() != pf24bit) Src->SetPixelFormat(pf24bit);
  const TacPixels D = BitmapPixels(Dst);
  for (int Row = 0; Row < H; ++Row) std::fill(D.Row(Row), D.Row(Row) + 4 * W, Byte{0});
  CopyPixelArea(D, 0, 0, BitmapPixels(Src), X, Y, W, H);
}

// A PNG resource of the program file (type RCDATA) decoded into a new graphic; nullptr when the
// program carries none or it does not decode.
TPNGGraphic* LoadPngResource(const char* Name) {
  HMODULE Module = GetModuleHandleA(nullptr);
  HRSRC Res = FindResourceA(Module, Name, MAKEINTRESOURCEA(10));
  if (Res == nullptr) return nullptr;
  HGLOBAL Data = LoadResource(Module, Res);
  const DWORD Size = SizeofResource(Module, Res);
  const void* Bytes = Data != nullptr ? LockResource(Data) : nullptr;
  if (Bytes == nullptr || Size == 0) return nullptr;
  auto* G = new TPNGGraphic();
  try {
    TReadOnlyMemoryStream S(Bytes, Size);
    G->LoadFromStream(S);
  } catch (Exception&) {
    delete G;
    return nullptr;
  }
  return G;
}

// The start-up work of the engine, run once when the first manager is made (the framework's
// application object exists by then): the built-in shadows are read, and the engine's version
// is shown when the program was started with /acver. The shadows are freed at shut-down.
struct TUnitLife {
  bool Started = false;
  void Start() {
    if (Started) return;
    Started = true;
    if (acShadowActive == nullptr) acShadowActive = LoadPngResource("acSHDA");
    if (acShadowInactive == nullptr) acShadowInactive = LoadPngResource("acSHDI");
    for (int I = 1; I < __argc; ++I) {
      AnsiString A = __argv[I] != nullptr ? AnsiString(__argv[I]) : AnsiString();
      for (char& C : A) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
      if (A == "/acver") {
        ShowMessageBox("Skin engine v" + TsSkinManager::Version(), mkInformation, TMsgDlgButtons{mbOK});
        break;
      }
    }
  }
  ~TUnitLife() {
    delete acShadowActive;
    delete acShadowInactive;
    acShadowActive = nullptr;
    acShadowInactive = nullptr;
  }
};
TUnitLife UnitLife;

}  // namespace

void TsSkinManager::StartEngine() { UnitLife.Start(); }

// ---- TacAnimEffects ------------------------------------------------------------------------------

TacAnimEffects::TacAnimEffects(TsSkinManager* Manager)
    : FManager(Manager),
      FButtons(std::make_unique<TacBtnEffects>(Manager)),
      FDialogShow(std::make_unique<TacDialogShow>()),
      FFormShow(std::make_unique<TacFormShow>()),
      FPageChange(std::make_unique<TacPageChange>()),
      FSkinChanging(std::make_unique<TacSkinChanging>()) {}

TacAnimEffects::~TacAnimEffects() = default;

// ---- Switches ------------------------------------------------------------------------------------

void TsSkinManager::SetIsDefault(bool Value) {
  TsSkinManager* Old = DefaultManager();
  if (!Value && Old != nullptr) {
    FIsDefault = Old == this;
    return;
  }
  FIsDefault = true;
  if (Old != this) {
    // The hooks belong to the default manager: the old one gives them up while it still is it.
    if (Old != nullptr) {
      Old->UninstallHook();
      Old->UnhookMainWindow();
      Old->FIsDefault = false;
    }
    MakeDefault(this);
    HookMainWindow();
  }
  if (FActive && FMasterBitmap) {
    SendNewSkin(true);
    RepaintForms();
  } else {
    RemoveSkin();
  }
}

void TsSkinManager::SetSkinDirectory(const AnsiString& Value) {
  if (Value == FSkinDirectory) return;
  FSkinDirectory = Value;
  FSkinData->SkinPath = GetFullSkinDirectory();
}

bool TsSkinManager::ExtendedBorders() const { return FExtendedBorders && acUpdateLayeredWindow != nullptr; }

bool TsSkinManager::AllowGlowing() const { return FAllowGlowing && acUpdateLayeredWindow != nullptr; }

void TsSkinManager::SetExtendedBorders(bool Value) {
  if (Value == FExtendedBorders) return;
  FExtendedBorders = Value;
  if (!FSkinData->Active) return;
  {
    TFlagScope Changing(acSkinChanging, true);
    InitShadows();
    ReloadShownSkin();
  }
  if (!IsLoadingOrReading() && !IsDesigning() && FSkinData->Active) RepaintForms();
  ShowVersionNotice();
}

void TsSkinManager::SetSkinnedPopups(bool Value) {
  if (Value == FSkinnedPopups) return;
  FSkinnedPopups = Value;
  if (Value && !IsDesigning() && IsDefault()) FMenus->UpdateActive();
}

void TsSkinManager::SetHueOffset(int Value) { SetColorShift(FHueOffset, Value); }

void TsSkinManager::SetSaturation(int Value) { SetColorShift(FSaturation, Value); }

void TsSkinManager::SetColorShift(int& Field, int Value) {
  if (Value == Field) return;
  Field = Value;
  if (!FSkinData->Active) return;
  // A glow shown now is a picture of the old colours: it goes, as with a new skin.
  ClearGlows();
  {
    TFlagScope Changing(acSkinChanging, true);
    ReloadShownSkin();
  }
  if (!IsLoadingOrReading() && FSkinData->Active) RepaintForms();
  ShowVersionNotice();
}

void TsSkinManager::ReloadShownSkin() {
  // While the arrays are read again nothing may paint from them: the skin counts as not shown
  // until it is whole again.
  FSkinData->Active = false;
  ReloadSkin();
  if (FActive) FSkinData->Active = true;
}

bool TsSkinManager::LoadingWithItsForm() const {
  return IsLoadingOrReading() || (Owner() != nullptr && Owner()->ComponentState().Contains(csLoading));
}

void TsSkinManager::ReloadSkinOrFallBack() {
  auto Report = [this] {
    if (Application != nullptr) Application->HandleException(this, std::current_exception());
  };
  const bool FromPackedFile = FileExists(PackedSkinFileName());
  try {
    ReloadSkin();
    return;
  } catch (...) {
    Report();
  }
  // ReloadSkin switched the skin off and removed it; a damaged packed file (a half-downloaded
  // skin, say) leaves the skin's other sources to try.
  if (!FromPackedFile) return;
  FActive = true;
  try {
    LoadSkin();
    if (!FActive) RemoveSkin();
  } catch (...) {
    FVersionNotice.clear();
    FActive = false;
    RemoveSkin();
    Report();
  }
}

// ---- Skin names ----------------------------------------------------------------------------------

AnsiString TsSkinManager::GetSkinNames(TStrings* List, int Filter) {
  AnsiString First;
  TStringList Names;
  for (int I = 0; I < FInternalSkins->Count(); ++I) {
    Names.Add(FInternalSkins->Items(I)->Name());
    if (I == 0) First = FInternalSkins->Items(I)->Name();
  }
  const AnsiString Dir = GetFullSkinDirectory();
  if (DirectoryExists(Dir)) {
    TacSearchRec R;
    if (FindFirstEntry(Dir + "*.*", R)) {
      do {
        if (R.Name.empty() || R.Name[0] == '.') continue;
        AnsiString Found;
        if (R.Attr & FILE_ATTRIBUTE_DIRECTORY) {
          if ((Filter == 0 || Filter == 2) && FileExists(Dir + R.Name + "\\" + SOptionsFileName)) Found = R.Name;
        } else if (Filter == 1 || Filter == 2) {
          const std::size_t Dot = R.Name.rfind('.');
          if (Dot != AnsiString::npos && R.Name.compare(Dot, AnsiString::npos, ".asz") == 0)
            Found = R.Name.substr(0, R.Name.find('.'));
        }
        if (Found.empty()) continue;
        Names.Add(Found);
        if (First.empty()) First = Found;
      } while (FindNextEntry(R));
    }
    FindCloseEntry(R);
  }
  Names.Sort();
  if (List != nullptr) {
    List->Clear();
    for (int I = 0; I < Names.Count(); ++I) List->Add(Names.Strings(I));
  }
  return First;
}

// ---- Colours ---------------------------------------------------------------------------------------

namespace {

// A colour that a skin leaves unset in colour answers.
bool IsUnsetColor(std::int32_t C) { return C == -1 || C == clKeyColor || C == 0xFFFFFF; }

}  // namespace

TColor TsSkinManager::GetGlobalColor() const {
  const int I = GetSectionIndex(SGlobalInfoSection);
  return ColorToRGB(IsValidSectionIndex(I) ? FGeneralData[static_cast<std::size_t>(I)].Color : clBtnFace);
}

TColor TsSkinManager::GetGlobalFontColor() const {
  const int I = GetSectionIndex(SGlobalInfoSection);
  return ColorToRGB(IsValidSectionIndex(I) ? FGeneralData[static_cast<std::size_t>(I)].FontColor[0] : clKeyColor);
}

TColor TsSkinManager::GetGlobalHotColor() const {
  const int I = GetSectionIndex(SGlobalInfoSection);
  return ColorToRGB(IsValidSectionIndex(I) ? FGeneralData[static_cast<std::size_t>(I)].HotColor : clWindow);
}

TColor TsSkinManager::GetEditHotFontColor() const {
  const int I = GetSectionIndex("EDIT");
  return ColorToRGB(IsValidSectionIndex(I) ? FGeneralData[static_cast<std::size_t>(I)].HotFontColor[0] : clKeyColor);
}

TColor TsSkinManager::GetHighlightColor() const {
  const int I = GetSectionIndex("MENUITEM");
  if (IsValidSectionIndex(I) && !IsUnsetColor(FGeneralData[static_cast<std::size_t>(I)].HotColor))
    return ColorToRGB(FGeneralData[static_cast<std::size_t>(I)].HotColor);
  return ColorToRGB(clHighlight);
}

TColor TsSkinManager::GetHighlightFontColor() const {
  const int I = GetSectionIndex("MENUITEM");
  if (IsValidSectionIndex(I)) {
    const TsGeneralData& D = FGeneralData[static_cast<std::size_t>(I)];
    const std::int32_t C = D.HotFontColor[0];
    if (!IsUnsetColor(C) && C != 0 && !IsUnsetColor(D.HotColor)) return ColorToRGB(C);
  }
  return ColorToRGB(clHighlightText);
}

// ---- Common indexes and shadows ------------------------------------------------------------------

void TsSkinManager::UpdateIndexesAndShadows() {
  UpdateCommonSkinIndexes();
  InitShadows();
}

void TsSkinManager::UpdateCommonSkinIndexes() {
  TacCommonSkinIndexes C;
  C.GlobalInfo = GetSectionIndex(SGlobalInfoSection);
  if (C.GlobalInfo >= 0) {
    const auto G = [&](const char* Name) { return GetMaskIndex(C.GlobalInfo, SGlobalInfoSection, Name); };
    C.ExBorder = G("EXBORDER");
    C.BoxChecked = G("BOXCHECKED");
    C.BoxUnchecked = G("BOXUNCHECKED");
    C.BoxGrayed = G("BOXGRAYED");
    C.RadioChecked = G("RADIOCHECKED");
    C.RadioUnchecked = G("RADIOUNCHECKED");
    C.RadioGrayed = G("RADIOGRAYED");
    C.SmallChecked = G("SMALLCHECKED");
    C.SmallUnchecked = G("SMALLUNCHECKED");
    C.SmallGrayed = G("SMALLGRAYED");
  }

  C.ComboBtn.Section = GetSectionIndex("COMBOBTN");
  C.ComboBtn.BordersMask = C.ComboBtn.Section >= 0 ? GetOwnMaskIndex("COMBOBTN", "BORDERSMASK") : -1;
  C.ComboBtn.Pattern = GetTextureIndex(C.ComboBtn.Section, "COMBOBTN", "PATTERN");
  C.ComboBtn.HotPattern = GetTextureIndex(C.ComboBtn.Section, "COMBOBTN", "HOTPATTERN");
  C.ComboBtn.GlyphMask = GetOwnMaskIndex("COMBOBOX", "GLYPHMASK");

  const auto Tab = [&](TacSkinPartIndexes& T, const char* Name) {
    T.Section = GetSectionIndex(Name);
    T.BordersMask = GetMaskIndex(T.Section, Name, "BORDERSMASK");
  };
  Tab(C.TabTop, "TABTOP");
  Tab(C.TabBottom, "TABBOTTOM");
  Tab(C.TabLeft, "TABLEFT");
  Tab(C.TabRight, "TABRIGHT");

  const auto Scroll = [&](TacSkinPartIndexes& T, const char* Name, bool WithGlyph) {
    T.Section = GetSectionIndex(Name);
    T.BordersMask = GetMaskIndex(T.Section, Name, "BORDERSMASK");
    T.Pattern = GetMaskIndex(T.Section, Name, "PATTERN");
    T.HotPattern = GetMaskIndex(T.Section, Name, "HOTPATTERN");
    T.GlyphMask = WithGlyph && T.Section >= 0 ? GetMaskIndex(T.Section, Name, "GLYPHMASK") : -1;
  };
  Scroll(C.ScrollBtnTop, "SCROLLBTNTOP", true);
  Scroll(C.ScrollBtnBottom, "SCROLLBTNBOTTOM", true);
  Scroll(C.ScrollBtnLeft, "SCROLLBTNLEFT", true);
  Scroll(C.ScrollBtnRight, "SCROLLBTNRIGHT", true);
  Scroll(C.ScrollSliderV, "SCROLLSLIDERV", true);
  Scroll(C.ScrollSliderH, "SCROLLSLIDERH", true);
  Scroll(C.ScrollBar1H, "SCROLLBAR1H", false);
  Scroll(C.ScrollBar1V, "SCROLLBAR1V", false);
  Scroll(C.ScrollBar2H, "SCROLLBAR2H", false);
  Scroll(C.ScrollBar2V, "SCROLLBAR2V", false);
  FCommon = C;
}

void TsSkinManager::InitShadows() {
  if (!FActive || !ExtendedBorders()) {
    FShadowMargin = TRect{0, 0, 0, 0};
    return;
  }
  FShadows[0] = std::make_unique<TPNGGraphic>();
  FShadows[1] = std::make_unique<TPNGGraphic>();
  if (IsValidMaskIndex(FCommon.ExBorder)) {
    TsMaskData& M = FMasks[static_cast<std::size_t>(FCommon.ExBorder)];
    const int Offset = FSkinData->FormOffset;
    if (FSkinData->BorderMode != 0)
      FShadowMargin = TRect{Offset, Offset, Offset, Offset};
    else
      FShadowMargin = TRect{M.WL - Offset, M.WT - Offset, M.WR - Offset, M.WB - Offset};
    const int W = MaskFrameWidth(M);
    const int H = MaskFrameHeight(M);
    // An entry without a bitmap of its own is a rectangle of the master bitmap: its frames are
    // taken from there.
    TBitmap* Src = M.Bmp ? M.Bmp.get() : FMasterBitmap.get();
    const int X = M.Bmp ? 0 : M.R.Left;
    const int Y = M.Bmp ? 0 : M.R.Top;
    CopyArea32(Src, X, Y, W, H, FShadows[1].get());
    if (M.ImageCount != 1)
      CopyArea32(Src, X + W, Y, W, H, FShadows[0].get());
    else
      FShadows[0]->Assign(FShadows[1].get());
  } else if (acShadowActive != nullptr && acShadowInactive != nullptr) {
    FShadowMargin = TRect{11, 7, 11, 11};
    FShadows[0]->Assign(acShadowActive);
    FShadows[1]->Assign(acShadowActive);
    if (acFormSkinningLink.IsDwmCompositionEnabled && acFormSkinningLink.IsDwmCompositionEnabled()) {
      FShadowMargin.Left += 1;
      FShadowMargin.Top += 1;
      FShadowMargin.Right += 1;
      FShadowMargin.Bottom += 1;
    }
  }
  ClearTransparentWhite(FShadows[0].get());
  ClearTransparentWhite(FShadows[1].get());
}

void TsSkinManager::CheckSkinVersion() {
  if (IsDesigning() && FSkinData->Version < 6.0) {
    FVersionNotice = "You use an old version of \"" + FSkinName +
                     "\" skin, please update a skins to latest or contact the skin engine support for upgrading "
                     "of existing skin.\r\n\r\nThis notification occurs in design-time only for your information "
                     "and will not occur in real-time.";
    return;
  }
  if (FSkinData->Version > 255.0)
    FVersionNotice =
        "This version of the skin have not complete support by used skin engine package release.\r\n"
        "Components must be updated up to latest version for using this skin.";
}

void TsSkinManager::ShowVersionNotice() {
  if (FVersionNotice.empty()) return;
  const AnsiString Text = std::move(FVersionNotice);
  FVersionNotice.clear();
  ShowMessageBox(Text, mkInformation, TMsgDlgButtons{mbOK});
}

// ---- Hooks ---------------------------------------------------------------------------------------

void TsSkinManager::HookMainWindow() {
  if (FMainWindowHookId != 0 || IsDesigning() || Application == nullptr) return;
  FMainWindowHookId = Application->HookMainWindow([this](TMessage& M) { return MainWindowHook(M); });
}

void TsSkinManager::UnhookMainWindow() {
  if (FMainWindowHookId == 0) return;
  if (Application != nullptr) Application->UnhookMainWindow(FMainWindowHookId);
  FMainWindowHookId = 0;
}

bool TsSkinManager::MainWindowHook(TMessage& Message) {
  if (ChangesSystemMetrics(Message.Msg)) ForgetSystemMetrics();
  if (!FSkinnedPopups) return false;
  switch (Message.Msg) {
    case WM_THEMECHANGED:
      return true;
    case CM_ACTIVATE:
      if (Screen != nullptr) {
        for (int I = Screen->FormCount() - 1; I >= 0; --I) {
          if (I >= Screen->FormCount()) continue;
          TCustomForm* F = Screen->Forms(I);
          if (F != nullptr && F->HandleAllocated()) SendSkinCommand(F->Handle(), AC_APPACTIVATED, 0);
        }
      }
      return false;
    case WM_SKINPOPUPMENU: {
      Message.Result = 1;
      // The request was queued with the menu's address: the menu may be gone by now.
      auto* Menu = reinterpret_cast<TPopupMenu*>(Message.LParam);
      if (!IsLivePopupMenu(Menu)) return true;
      HMENU H = Menu->Handle();
      RECT R{};
      // A menu that is not on the screen has no item rectangle (or an empty one) yet.
      if ((!GetMenuItemRect(nullptr, H, 0, &R) || IsRectEmpty(&R)) &&
          (!GetMenuItemRect(PopupListWindow(), H, 0, &R) || IsRectEmpty(&R)))
        return true;
      const POINT Centre{R.left + (R.right - R.left) / 2, R.top + (R.bottom - R.top) / 2};
      HWND Wnd = WindowFromPoint(Centre);
      if (Wnd == nullptr) return true;
      if (TBitmap* Frame = FMenus->FrameBitmapOf(Menu, nullptr)) FMenus->SkinPopupMenuWindow(Wnd, Frame);
      return true;
    }
    case WM_SKINPOPUPWINDOW: {
      Message.Result = 1;
      HWND Wnd = reinterpret_cast<HWND>(Message.LParam);
      if (Wnd == nullptr) return true;
      if (TBitmap* Frame = FMenus->FrameBitmapOf(nullptr, Wnd)) FMenus->SkinPopupMenuWindow(Wnd, Frame);
      return true;
    }
    default:
      return false;
  }
}

void TsSkinManager::InstallHook() {
  if (IsDesigning() || !IsDefault() || FHookInstalled) return;
  FHookInstalled = true;
  if (acHookProviderList == nullptr) acHookProviderList = new TObjectList(true);
  HOOKPROC Proc = acFormSkinningLink.CBTHookProc != nullptr ? acFormSkinningLink.CBTHookProc : PassThroughCBTProc;
  acCBTHookHandle = SetWindowsHookExA(WH_CBT, Proc, nullptr, GetCurrentThreadId());
}

void TsSkinManager::UninstallHook() {
  if (IsDesigning() || !IsDefault() || !FHookInstalled) return;
  if (acFormSkinningLink.ClearMnuWnds) acFormSkinningLink.ClearMnuWnds();
  if (acCBTHookHandle != nullptr) UnhookWindowsHookEx(acCBTHookHandle);
  if (acHookProviderList != nullptr) {
    // The providers go first to last; the list owns them, so emptying a slot frees its provider.
    for (int I = 0; I < acHookProviderList->Count(); ++I)
      if (acHookProviderList->Items(I) != nullptr) acHookProviderList->SetItems(I, nullptr);
    delete acHookProviderList;
    acHookProviderList = nullptr;
  }
  FHookInstalled = false;
  acCBTHookHandle = nullptr;
}

void TsSkinManager::SetHoverWindow(HWND Wnd) {
  if (Wnd == FHoverWindow) return;
  HWND Old = FHoverWindow;
  FHoverWindow = Wnd;
  if (Old != nullptr) SendSkinCommand(Old, AC_MOUSELEAVE, reinterpret_cast<LPARAM>(this));
  if (Wnd != nullptr) SendSkinCommand(Wnd, AC_MOUSEENTER, reinterpret_cast<LPARAM>(this));
}

// ---- Published properties of the animation settings ----------------------------------------------

T_PUBLISH(TacBtnEffects) {
  P.Set("Events", &TacBtnEffects::Events, &TacBtnEffects::SetEvents,
        {"beMouseEnter", "beMouseLeave", "beMouseDown", "beMouseUp"});
}

T_PUBLISH(TacFormAnimation) {
  P.Boolean("Active", &TacFormAnimation::Active, &TacFormAnimation::SetActive);
  P.Ordinal("Time", &TacFormAnimation::Time, &TacFormAnimation::SetTime);
}

T_PUBLISH(TacAnimEffects) {
  P.Object("Buttons", &TacAnimEffects::Buttons);
  P.Object("DialogShow", &TacAnimEffects::DialogShow);
  P.Object("FormShow", &TacAnimEffects::FormShow);
  P.Object("PageChange", &TacAnimEffects::PageChange);
  P.Object("SkinChanging", &TacAnimEffects::SkinChanging);
}
