// TsSkinProvider: the component, its title objects and the provider link of the skin core.
#include "skin/forms/sSkinProvider.h"

#include "framework/Menus.h"
#include "skin/core/acPixels.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/sCaptionAnimation.h"
#include "skin/forms/sFormAdapters.h"
#include "skin/forms/sMDIForm.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProviderWndProc.h"
#include "skin/controls/acScrollAdapters.h"

TsSkinProvider* SkinnedMDIMainProvider = nullptr;
TsSkinProvider* MaximizedChildProvider = nullptr;

namespace {

bool RebuildingMenu = false;

}  // namespace

// ---- TsTitleIcon -------------------------------------------------------------------------------

TsTitleIcon::TsTitleIcon() : FGlyph(std::make_unique<TBitmap>()) {}
TsTitleIcon::~TsTitleIcon() = default;
void TsTitleIcon::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

// ---- TacAddedTitle -----------------------------------------------------------------------------

TacAddedTitle::TacAddedTitle(TsSkinProvider* Owner) : FOwner(Owner), FFont(std::make_unique<TFont>()) {
  FFont->SetColor(clNone);
}
TacAddedTitle::~TacAddedTitle() = default;

void TacAddedTitle::SetText(const WideString& Value) {
  if (FText == Value) return;
  FText = Value;
  Changed();
}

void TacAddedTitle::SetFont(TFont* Value) {
  FFont->Assign(Value);
  Changed();
}

void TacAddedTitle::Changed() {
  if (FOwner == nullptr || FOwner->IsLoading()) return;
  FOwner->RefreshNonClient();
}

// ---- TsTitleButton -----------------------------------------------------------------------------

TsTitleButton::TsTitleButton(TCollection* Collection) : TCollectionItem(Collection), FGlyph(std::make_unique<TBitmap>()) {
  if (FName.empty()) FName = "TsTitleButton";
}

TsTitleButton::~TsTitleButton() {
  delete BtnData.Timer;  // the animation clears BtnData.Timer itself
  HideHint();
}

void TsTitleButton::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TsTitleButton*>(Source);
  if (S == nullptr) {
    TCollectionItem::Assign(Source);
    return;
  }
  FEnabled = S->FEnabled;
  FGlyph->Assign(S->FGlyph.get());
  FHint = S->FHint;
  FName = S->FName;
  FUseSkinData = S->FUseSkinData;
  OnMouseDown = S->OnMouseDown;
  OnMouseUp = S->OnMouseUp;
}

void TsTitleButton::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

void TsTitleButton::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  if (TsSkinProvider* P = Provider()) P->RefreshNonClient();
}

TsSkinProvider* TsTitleButton::Provider() const {
  auto* Buttons = dynamic_cast<TsTitleButtons*>(Collection());
  return Buttons != nullptr ? Buttons->Provider() : nullptr;
}

void TsTitleButton::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TsTitleButton::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

HWND TsTitleButton::HintWindow() const { return FHintWnd; }

namespace {

LRESULT CALLBACK TitleHintProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_PAINT) {
    PAINTSTRUCT PS;
    HDC DC = BeginPaint(Wnd, &PS);
    RECT R;
    GetClientRect(Wnd, &R);
    HBRUSH B = CreateSolidBrush(GetSysColor(COLOR_INFOBK));
    FillRect(DC, &R, B);
    DeleteObject(B);
    FrameRect(DC, &R, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    wchar_t Text[1024];
    GetWindowTextW(Wnd, Text, 1024);
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, GetSysColor(COLOR_INFOTEXT));
    HGDIOBJ Old = SelectObject(DC, GetStockObject(DEFAULT_GUI_FONT));
    InflateRect(&R, -3, -2);
    DrawTextW(DC, Text, -1, &R, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(DC, Old);
    EndPaint(Wnd, &PS);
    return 0;
  }
  if (Msg == WM_NCHITTEST) return HTTRANSPARENT;
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

const wchar_t* TitleHintClass() {
  static bool Registered = false;
  if (!Registered) {
    WNDCLASSW WC{};
    WC.lpfnWndProc = TitleHintProc;
    WC.hInstance = GetModuleHandleW(nullptr);
    WC.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    WC.lpszClassName = L"TsTitleButtonHint";
    WC.style = CS_SAVEBITS;
    RegisterClassW(&WC);
    Registered = true;
  }
  return L"TsTitleButtonHint";
}

}  // namespace

void TsTitleButton::ShowHint() {
  HideHint();
  if (FHint.empty()) return;
  // The text's rectangle, at most 800 pixels wide.
  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, GetStockObject(DEFAULT_GUI_FONT));
  RECT R{0, 0, 800, 0};
  DrawTextW(DC, FHint.c_str(), -1, &R, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  const int W = R.right + 8, H = R.bottom + 6;
  POINT P;
  GetCursorPos(&P);
  int X = P.x + 8, Y = P.y + 16;
  MONITORINFO MI{};
  MI.cbSize = sizeof(MI);
  TsSkinProvider* Prov = Provider();
  HWND Anchor = Prov != nullptr && Prov->Form != nullptr && Prov->Form->HandleAllocated() ? Prov->Form->Handle() : nullptr;
  HMONITOR Mon = Anchor != nullptr ? MonitorFromWindow(Anchor, MONITOR_DEFAULTTONEAREST)
                                   : MonitorFromPoint(P, MONITOR_DEFAULTTONEAREST);
  if (GetMonitorInfoW(Mon, &MI)) {
    if (X + W > MI.rcWork.right) X = MI.rcWork.right - W;
    if (X < MI.rcWork.left) X = MI.rcWork.left;
    if (Y + H > MI.rcWork.bottom) Y = MI.rcWork.bottom - H;
    if (Y < MI.rcWork.top) Y = MI.rcWork.top;
  }
  HWND Owner = Application != nullptr ? Application->Handle() : nullptr;
  FHintWnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, TitleHintClass(), FHint.c_str(),
                             WS_POPUP, X, Y, W, H, Owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (FHintWnd == nullptr) return;
  BOOL Anim = FALSE, Fade = FALSE;
  SystemParametersInfoW(SPI_GETTOOLTIPANIMATION, 0, &Anim, 0);
  SystemParametersInfoW(SPI_GETTOOLTIPFADE, 0, &Fade, 0);
  // Topmost without activation (no size, move or owner z-order change), then shown: faded in
  // for a short text when the system animates tooltips, else at once.
  SetWindowPos(FHintWnd, HWND_TOPMOST, 0, 0, 0, 0, 0x213);
  if (!(FHint.size() < 100 && Anim && Fade && AnimateWindow(FHintWnd, 200, AW_BLEND)))
    ShowWindow(FHintWnd, SW_SHOWNOACTIVATE);
}

void TsTitleButton::HideHint() {
  if (FHintWnd != nullptr) DestroyWindow(FHintWnd);
  FHintWnd = nullptr;
}

// ---- TsTitleButtons ----------------------------------------------------------------------------

TsTitleButtons::TsTitleButtons(TsSkinProvider* Owner)
    : TCollection(TCollection::ItemClassOf<TsTitleButton>()), FOwner(Owner) {}
TsTitleButtons::~TsTitleButtons() { FOwner = nullptr; }
TPersistent* TsTitleButtons::GetOwner() { return FOwner; }

// ---- TsSkinProvider: life ----------------------------------------------------------------------

TsSkinProvider::TsSkinProvider(TComponent* AOwner) : TComponent(AOwner) {
  Form = GetOwnerForm(AOwner);
  if (AOwner != nullptr && AOwner->InheritsFromName("TFrame"))
    ShowWarning("TsSkinProvider component must be used with forms only!");
  FSkinData = std::make_unique<TsCommonData>(this, 224, true);
  FSkinData->SetSkinSection("FORM");
  if (Form != nullptr && !Form->ControlState().Empty()) FSkinData->Updating = true;
  FAddedTitle = std::make_unique<TacAddedTitle>(this);
  FTitleIcon = std::make_unique<TsTitleIcon>();
  FTitleButtons = std::make_unique<TsTitleButtons>(this);

  // One provider per form.
  if (Form != nullptr) {
    for (int I = 0; I < Form->ComponentCount(); ++I) {
      auto* Other = dynamic_cast<TsSkinProvider*>(Form->Components(I));
      if (Other == nullptr || Other == this) continue;
      if (IsDesigning()) {
        Form = nullptr;
        ShowWarning("Only one instance of the TsSkinProvider component is allowed!");
      } else if (Other->Form != nullptr) {
        delete Other;  // the newest provider wins
      }
      break;
    }
  }
  if (IsDesigning() || Form == nullptr) return;

  TitleButtonsBg = std::make_unique<TBitmap>();
  WorkBmp.reset(CreateBmp24(0, 0));
  FirstSkinPending = true;
  RgnRects.clear();
  MenuLineRows = -1;
  InstallWndProc();
  RegisterSkinnedForm(Form);
  FormActive = true;

  // After construction: apply an active skin at once.
  TsSkinManager* M = SkinManager();
  if (M != nullptr && M->Active()) PrepareForm();
}

TsSkinProvider::~TsSkinProvider() {
  *FAlive = false;
  TsSkinManager* M = SkinManager();
  // The form carries the skin (taken away otherwise when the skin went).
  const bool Skinned = !IsDesigning() && M != nullptr && M->SkinData()->Active && FSkinData->SectionIndex >= 0;
  CancelFrame();
  EndMenuLoopCover();
  // The control adapter list goes first: its adapters let go of controls that live on.
  delete Adapter;
  Adapter = nullptr;
  if (!IsDesigning()) {
    ClearButtonAnimations();
    if (Form != nullptr) {
      UnregisterSkinnedForm(Form);
      RestoreWndProc();
      if (Form->FormStyle() == fsMDIChild && Form->Menu() != nullptr && SkinnedMDIMainProvider != nullptr &&
          SkinnedMDIMainProvider != this && SkinnedMDIMainProvider->Form != nullptr &&
          !SkinnedMDIMainProvider->IsDestroying() &&
          !SkinnedMDIMainProvider->Form->IsDestroying()) {
        SkinnedMDIMainProvider->FSkinData->BackgroundStale = true;
        SkinnedMDIMainProvider->MenuLineRows = -1;
        if (SkinnedMDIMainProvider->Form->HandleAllocated())
          SendMessageW(SkinnedMDIMainProvider->Form->Handle(), WM_NCPAINT, 0, 0);
      }
      if (SkinnedMDIMainProvider == this) {
        SetMDISupport(false);
        SkinnedMDIMainProvider = nullptr;
      }
    }
    delete SysMenu;
    SysMenu = nullptr;
    TitleButtonsBg.reset();
    WorkBmp.reset();
    TitleBand.reset();
  }
  delete MDIForm;
  MDIForm = nullptr;
  if (MaximizedChildProvider == this) MaximizedChildProvider = nullptr;
  FreeMenuForm();
  UpdateBorderForm(false);
  // A form that stays, its window procedure its own again, is a form that was never skinned.
  if (Skinned && Form != nullptr && !Form->IsDestroying()) GiveFormBack();
  FTitleIcon.reset();
  FTitleButtons.reset();
  FAddedTitle.reset();
  FSkinData.reset();
}

void TsSkinProvider::InstallWndProc() {
  if (FHooked || Form == nullptr) return;
  OldWndProc = Form->WindowProc();
  Form->SetWindowProc([this](TMessage& M) { NewWndProc(M); });
  FHooked = true;
}

void TsSkinProvider::RestoreWndProc() {
  if (!FHooked || Form == nullptr) return;
  Form->SetWindowProc(OldWndProc);
  FHooked = false;
}

void TsSkinProvider::Loaded() {
  TComponent::Loaded();
  TsSkinManager* M = SkinManager();
  if (M == nullptr || IsDesigning() || !FSkinData->IsSkinned(true)) return;
  if (Form != nullptr && Form->HandleAllocated()) SetDwmTransitions(Form->Handle(), true);
  if (Adapter == nullptr) CreateCtrlAdapter();
  PrepareForm();
  if (SysMenu != nullptr) SysMenu->UpdateItems(false);
  const int GI = M->GetSectionIndex("GLOBALINFO");
  for (int I = 0; I < FTitleButtons->Count(); ++I) {
    TsTitleButton* B = FTitleButtons->Items(I);
    B->BtnData.ImageIndex = B->UseSkinData() ? M->GetMaskIndex(GI, "GLOBALINFO", "TITLEBUTTON") : -1;
  }
  if (MDIForm != nullptr) MDIForm->Update();
}

void TsSkinProvider::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent != nullptr && AComponent == MenuLoopCover) {
    MenuLoopCover = nullptr;
    MenuLoopCoverOwner = nullptr;
  }
  if (FSkinData == nullptr) return;
  if (Operation == opInsert) {
    if (auto* M = dynamic_cast<TsSkinManager*>(AComponent); M != nullptr && FSkinData->ManagerField() == nullptr)
      FSkinData->SetSkinManager(M);
    // A windowed control that the form takes over is adapted like one placed on it. (A control
    // inserted by its own constructor is not a windowed control yet; its parent's change of
    // controls adapts it.)
    if (auto* W = dynamic_cast<TWinControl*>(AComponent); W != nullptr && Adapter != nullptr &&
                                                          !IsDestroying() &&
                                                          Adapter->IsControlSupported(W))
      Adapter->AddNewItem(W);
  } else if (AComponent == FSkinData->ManagerField()) {
    FSkinData->ClearManagerField();
  } else if (AComponent == SysMenu) {
    SysMenu = nullptr;
  } else if (MenuForm != nullptr && AComponent == MenuForm) {
    MenuForm = nullptr;
  }
}

void TsSkinProvider::CreateCtrlAdapter() {
  if (IsDesigning() || FSkinData == nullptr || !FSkinData->IsSkinned(false)) return;
  if (Adapter == nullptr) Adapter = new TacCtrlAdapter(this);
  Adapter->AddAllItems(nullptr);
}

TsSkinManager* TsSkinProvider::SkinManager() const { return FSkinData != nullptr ? FSkinData->GetSkinManager() : nullptr; }

// ---- properties --------------------------------------------------------------------------------

void TsSkinProvider::SetBackgroundChanged() {
  if (FSkinData != nullptr) FSkinData->BackgroundStale = true;
}

void TsSkinProvider::NCRepaint() {
  if (Form != nullptr && Form->HandleAllocated() && IsWindowVisible(Form->Handle()))
    SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
}

void TsSkinProvider::SetCaptionAlignment(TAlignment Value) {
  if (FCaptionAlignment == Value) return;
  FCaptionAlignment = Value;
  SetBackgroundChanged();
  TitleDirty = true;
  NCRepaint();
}

void TsSkinProvider::SetShowAppIcon(bool Value) {
  if (FShowAppIcon == Value) return;
  FShowAppIcon = Value;
  SetBackgroundChanged();
  TitleDirty = true;
  NCRepaint();
}

void TsSkinProvider::SetTitleSkin(const AnsiString& Value) {
  if (FTitleSkin == Value) return;
  FTitleSkin = Value;
  FTitleSkinIndex = -1;
  SetBackgroundChanged();
  TitleDirty = true;
  NCRepaint();
  if (BorderForm != nullptr) BorderForm->UpdateBorderWindow(true, 255);
}

void TsSkinProvider::SetMenuLineSkin(const AnsiString& Value) {
  if (FMenuLineSkin == Value) return;
  FMenuLineSkin = Value;
  if (IsDesigning()) FSkinData->Invalidate();
}

void TsSkinProvider::SetTitleButtons(TsTitleButtons* Value) {
  if (Value != nullptr && Value != FTitleButtons.get()) FTitleButtons->Assign(Value);
}

void TsSkinProvider::SetUseGlobalColor(bool Value) {
  if (FUseGlobalColor == Value) return;
  FUseGlobalColor = Value;
  if (Form == nullptr) return;
  TsSkinManager* M = SkinManager();
  if (Value && FSkinData->IsSkinned(false) && !FSkinData->CustomColor() && M != nullptr)
    Form->SetColor(M->GetGlobalColor());
  else
    Form->SetColor(clBtnFace);
}

void TsSkinProvider::SetDrawNonClientArea(bool Value) {
  if (FDrawNonClientArea == Value) return;
  FDrawNonClientArea = Value;
  if (IsDesigning() || Form == nullptr) return;
  TsSkinManager* M = SkinManager();
  if (Value) {
    SetSysMenuStyle(true);
    if (Form->HandleAllocated() && Form->Showing() && FSkinData->IsSkinned(false)) {
      SetBackgroundChanged();
      TitleDirty = true;
      TitleBand.reset();
      SkinFormMenus(true);
      UpdateBorderForm(M != nullptr && M->ExtendedBorders());
      RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
      UpdateScrollAdapter();
    }
  } else {
    UpdateBorderForm(false);
    SkinFormMenus(false);
    if (Form->HandleAllocated()) {
      if (acSetWindowTheme != nullptr) acSetWindowTheme(Form->Handle(), nullptr, nullptr);
    }
    if (SysMenuStyleChanged && Form->HandleAllocated()) {
      SetWindowLongW(Form->Handle(), GWL_STYLE, GetWindowLongW(Form->Handle(), GWL_STYLE) | WS_SYSMENU);
      SysMenuStyleChanged = false;
    }
    if (Form->HandleAllocated() && Form->Showing()) SetWindowRgn(Form->Handle(), nullptr, TRUE);
  }
}

void TsSkinProvider::SetAllowExtBorders(bool Value) {
  if (FAllowExtBorders == Value) return;
  FAllowExtBorders = Value;
  if (IsLoading()) return;
  TsSkinManager* M = SkinManager();
  UpdateBorderForm(Value && M != nullptr && M->ExtendedBorders());
  SetBackgroundChanged();
  if (Form != nullptr && Form->HandleAllocated())
    RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
}

// ---- skin application --------------------------------------------------------------------------

void TsSkinProvider::PrepareForm() {
  TsSkinManager* M = SkinManager();
  if (M == nullptr || Form == nullptr || !Form->HandleAllocated()) return;
  FSkinData->Loaded();
  SetSysMenuStyle(M->SkinActive());
  if (SysMenu == nullptr) {
    SysMenu = new TsSystemMenu(this, Form);
    SysMenu->SysMenuStyleChanged = [this]() { return SysMenuStyleChanged; };
  }
  SysMenu->UpdateItems(false);
  if (FirstSkinPending && M->SkinActive()) {
    FirstSkinPending = false;
    if (Form->FormStyle() == fsMDIForm && !M->IsDesigning()) SetMDISupport(true);
  }
  FSkinData->UpdateIndexes();
  FTitleSkinIndex = -1;  // looked up again for the skin now loaded
  FTitleSkinIndex = TitleSkinIndex();
  CaptionSkinIndex = M->GetSectionIndex("CAPTION");
  InitTitleButtons();
  RepaintMin = RepaintMax = RepaintClose = true;
  if (Form->FormStyle() == fsMDIChild && SkinnedMDIMainProvider != nullptr && SkinnedMDIMainProvider != this &&
      SkinnedMDIMainProvider->FSkinData->IsSkinned(false) &&
      !SkinnedMDIMainProvider->IsDestroying() && SkinnedMDIMainProvider->Form != nullptr &&
      !SkinnedMDIMainProvider->Form->IsDestroying()) {
    SkinnedMDIMainProvider->FSkinData->BackgroundStale = true;
    SkinnedMDIMainProvider->MenuLineRows = -1;
  }
  if (!Form->ControlState().Contains(csCreating) && !Form->ComponentState().Contains(csReading) &&
      !IsLoading() && FUseGlobalColor && !FSkinData->CustomColor())
    Form->SetColor(M->GetGlobalColor());
  SkinFormMenus(FSkinData->IsSkinned(false));
  if (!MenuRebuilt) MenuRebuilt = RebuildMainMenu();
  if (!Form->IsLoading()) UpdateBorderForm(M->ExtendedBorders());
  SetBackgroundChanged();
  TitleDirty = true;
}

void TsSkinProvider::SetSysMenuStyle(bool Skinned) {
  if (Form == nullptr || !Form->HandleAllocated()) return;
  HWND H = Form->Handle();
  const LONG Style = GetWindowLongW(H, GWL_STYLE);
  if (Skinned) {
    if ((Style & WS_SYSMENU) != 0 || SysMenuStyleChanged) {
      const LONG NewStyle = FDrawNonClientArea ? (Style & ~WS_SYSMENU) : (Style | WS_SYSMENU);
      if (NewStyle != Style) SetWindowLongW(H, GWL_STYLE, NewStyle);
      SysMenuStyleChanged = true;
    }
  } else {
    if (SysMenuStyleChanged) SetWindowLongW(H, GWL_STYLE, Style | WS_SYSMENU);
    SysMenuStyleChanged = false;
  }
}

void TsSkinProvider::UpdateBorderForm(bool On) {
  const bool Wanted = On && Form != nullptr && HasBorder() && FDrawNonClientArea && FAllowExtBorders &&
                      Form->Parent() == nullptr && Form->FormStyle() != fsMDIChild &&
                      !IsDestroying();
  if (Wanted) {
    if (BorderForm != nullptr) return;
    TacBorderOwner Link;
    Link.IsDialog = false;
    Link.Form = Form;
    Link.CaptionHeight = [this](bool UseSkin) { return CaptionHeight(UseSkin); };
    Link.MenuHeight = [this]() { return MenuHeight(); };
    Link.IconRect = [this]() { return TitleIconRect(); };
    Link.SetHotButton = [this](int HitCode, bool Repaint) { SetHotButton(HitCode, Repaint); };
    Link.PaintOwner = [this]() { PaintAll(this); };
    Link.FreeAnimations = [this]() { ClearButtonAnimations(); };
    Link.SystemMenu = [this]() -> TsCustomSysMenu* { return SysMenu; };
    Link.FormBorderWidth = [this]() { return FormBorderWidth(Form->Handle(), BorderForm, false); };
    Link.SkinFrameWidth = [this]() { return SkinFrameWidth(BorderForm); };
    Link.SkinTitleHeight = [this]() { return SkinTitleHeight(BorderForm); };
    Link.WindowFrameWidth = [this](bool UseSkin) { return WindowFrameWidth(Form->Handle(), BorderForm, UseSkin); };
    Link.DiffTitle = [this]() { return DiffTitle(BorderForm); };
    Link.DiffBorder = [this]() { return DiffBorder(BorderForm); };
    Link.MaximizedCaption = [this]() { return MaxCaptionFlag; };
    // The border window shows the form image at its origin: its points are image points.
    Link.CaptionButtonAt = [this](TPoint P) { return CaptionButtonAt(P); };
    Link.ExtHitTest = [this](TMessage& Message) {
      if (OnExtHitTest) OnExtHitTest(Message);
    };
    Link.InGrip = [this](TPoint P) {
      if (!GripVisible()) return false;
      const TPoint G = GripRect();
      return P.X >= G.X && P.Y >= G.Y;
    };
    BorderForm = new TacBorderForm(this, Link);
    BorderForm->SkinData = FSkinData.get();
    SetBackgroundChanged();
    if (TBitmap* Cache = FSkinData->CacheBmp()) Cache->SetPixelFormat(pf32bit);
    BorderForm->UpdateBorderWindow(true, 255);
  } else {
    if (BorderForm != nullptr) {
      TacBorderForm* B = BorderForm;
      BorderForm = nullptr;
      delete B;
    }
    if (FSkinData != nullptr)
      if (TBitmap* Cache = FSkinData->CacheBmp(); Cache != nullptr && Cache->PixelFormat() != pf24bit)
        Cache->SetPixelFormat(pf24bit);
  }
}

void TsSkinProvider::SkinFormMenus(bool Skinned) {
  TsSkinManager* M = SkinManager();
  if (Form == nullptr || M == nullptr || Form->IsDesigning() || M->MenuSupport() == nullptr || !M->IsDefault()) return;
  auto* Menus = dynamic_cast<TsSkinableMenus*>(M->Menus());
  if (Menus == nullptr) return;
  const bool Popups = Skinned && M->SkinnedPopups();
  std::function<void(TComponent*)> SkinMenuComponent = [&](TComponent* C) {
    if (auto* MM = dynamic_cast<TMainMenu*>(C)) {
      Menus->HookMainMenu(MM, Skinned && FDrawNonClientArea);
      for (int J = 0; J < MM->Items()->Count(); ++J) Menus->HookItemTree(MM->Items()->Items(J), Popups);
    } else if (auto* PM = dynamic_cast<TPopupMenu*>(C)) {
      Menus->HookPopupMenu(PM, Popups);
    } else if (auto* MI = dynamic_cast<TMenuItem*>(C)) {
      // An item of the main menu is hooked with its menu; what it owns may be menus of its own.
      if (dynamic_cast<TMainMenu*>(MI->GetParentMenu()) != nullptr) {
        for (int J = 0; J < MI->ComponentCount(); ++J) SkinMenuComponent(MI->Components(J));
      } else {
        Menus->HookItemTree(MI, Popups);
      }
    }
  };
  for (int I = 0; I < Form->ComponentCount(); ++I) SkinMenuComponent(Form->Components(I));
}

bool TsSkinProvider::RebuildMainMenu() {
  if (RebuildingMenu || Form == nullptr || Form->Menu() == nullptr || Form->Menu()->Items()->Count() < 1) return false;
  // Not under the system's tracking of a menu (see TsSkinableMenus::SetMenuOwnerDraw): the
  // rebuild is left to a later occasion.
  if (MenuLoopRunning()) return false;
  RebuildingMenu = true;
  try {
    Form->Menu()->Items()->Items(0)->MenuChanged(true);
  } catch (...) {
    RebuildingMenu = false;
    throw;
  }
  RebuildingMenu = false;
  return true;
}

void TsSkinProvider::SetMDISupport(bool On) {
  // The shared pointer names the provider so that MDI children find it; the TsMDIForm skins the
  // form's MDI client window.
  if (On) {
    if (MDIForm != nullptr) return;
    SkinnedMDIMainProvider = this;
    MDIForm = new TsMDIForm(this);
    MDIForm->Update();
  } else {
    delete MDIForm;
    MDIForm = nullptr;
    if (SkinnedMDIMainProvider == this) SkinnedMDIMainProvider = nullptr;
  }
}

void TsSkinProvider::RemoveAdapters() {
  if (IsDesigning() || Adapter == nullptr) return;
  TMessage M{SM_ALPHACMD, MAKEWPARAM(0, AC_SKINREMOVED), reinterpret_cast<LPARAM>(SkinManager()), 0};
  BroadcastToAdapter(M);
  delete Adapter;
  Adapter = nullptr;
}

void TsSkinProvider::BroadcastToAdapter(TMessage& Message) {
  if (Adapter != nullptr) Adapter->WndProc(Message);
}

void TsSkinProvider::RefreshNonClient() {
  SetBackgroundChanged();
  TitleDirty = true;
  MenuLineRows = -1;
  if (Form != nullptr && Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
}

void TsSkinProvider::ClearButtonAnimations() {
  for (TsCaptionButton* B : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp, &MDIButtonMin, &MDIButtonNorm,
                             &MDIButtonClose}) {
    delete B->Timer;
    B->Timer = nullptr;
  }
  if (FTitleButtons != nullptr)
    for (int I = 0; I < FTitleButtons->Count(); ++I) {
      TsCaptionButton& D = FTitleButtons->Items(I)->BtnData;
      delete D.Timer;
      D.Timer = nullptr;
    }
}

int TsSkinProvider::TitleSkinIndex() {
  if (FTitleSkinIndex != -1) return FTitleSkinIndex;
  TsSkinManager* M = SkinManager();
  if (M == nullptr) return -1;
  return M->GetSectionIndex(FTitleSkin.empty() ? AnsiString("FORMTITLE") : FTitleSkin);
}

// ---- the system menu's answers -----------------------------------------------------------------

bool TsSkinProvider::VisibleClose() const {
  if (SysMenu != nullptr) return SysMenu->VisibleClose();
  return Form != nullptr && Form->BorderIcons().Contains(biSystemMenu);
}
bool TsSkinProvider::VisibleMax() const {
  if (SysMenu != nullptr) return SysMenu->VisibleMax();
  return false;
}
bool TsSkinProvider::VisibleMin() const {
  if (SysMenu != nullptr) return SysMenu->VisibleMin();
  return false;
}
bool TsSkinProvider::EnabledMax() const { return SysMenu != nullptr && SysMenu->EnabledMax(); }
bool TsSkinProvider::EnabledMin() const { return SysMenu != nullptr && SysMenu->EnabledMin(); }
bool TsSkinProvider::EnabledRestore() const { return SysMenu != nullptr && SysMenu->EnabledRestore(); }

// ---- the link of the skin core -----------------------------------------------------------------

namespace {
TsSkinProvider* AsProvider(TObject* P) { return dynamic_cast<TsSkinProvider*>(P); }
}  // namespace

namespace {
// A form has one provider (a new one replaces the old), usually made after the form's controls:
// the search starts at the newest component.
TsSkinProvider* ProviderOfForm(TCustomForm* F) {
  if (F == nullptr) return nullptr;
  for (int I = F->ComponentCount() - 1; I >= 0; --I)
    if (auto* P = dynamic_cast<TsSkinProvider*>(F->Components(I))) return P;
  return nullptr;
}
}  // namespace

void sSkinProviderInstall() {
  // The skinned menu painter draws the items of a form's menu line over the line's background
  // that the provider keeps (MenuLineBmp, taken from the form image at the line's top-left).
  acMenuLineLink.MenuLineBackground = [](TMenuItem* Item, TCanvas* ACanvas, const TRect& R,
                                         TPoint& Origin) -> TBitmap* {
    TMenu* Menu = Item != nullptr ? Item->GetParentMenu() : nullptr;
    // An MDI child's menu merged into the main form's bar is drawn in the main form's line.
    if (auto* MM = dynamic_cast<TMainMenu*>(Menu); MM != nullptr && MM->MergedInto() != nullptr) Menu = MM->MergedInto();
    TsSkinProvider* P = Menu != nullptr ? ProviderOfForm(GetOwnerForm(Menu)) : nullptr;
    if (P == nullptr || P->MenuLineBmp == nullptr || P->MenuLineBmp->Empty() || P->Form == nullptr ||
        P->Form->Menu() != Menu)
      return nullptr;
    const int Rows = P->MenuLineCount() * P->MenuHeight();
    Origin = TPoint{R.Left - P->OffsetX(), R.Top - (P->OffsetY() - Rows - (P->BorderForm == nullptr ? 1 : 0))};
    // The system paints the menu bar into the form's own window, whose coordinates lie inside
    // the form image of a border window by the margins and the larger skinned frame and title.
    TBitmap* Cache = P->SkinData()->CacheBmp();
    const bool IntoImage = Cache != nullptr && ACanvas != nullptr && ACanvas->HandleAllocated() &&
                           Cache->Canvas()->Handle() == ACanvas->Handle();
    if (P->BorderForm != nullptr && !IntoImage) {
      const TRect E = P->ExtBorderMargins();
      Origin.X += E.Left + DiffBorder(P->BorderForm);
      Origin.Y += E.Top + DiffTitle(P->BorderForm) + (P->MaxCaptionFlag ? 4 : 0);
    }
    return P->MenuLineBmp.get();
  };
  TacProviderLink& L = acProviderLink;
  L.Manager = [](TObject* P) -> TsSkinManager* {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr ? S->SkinManager() : nullptr;
  };
  L.SetInUpdate = [](TObject* P, bool Value) {
    if (TsSkinProvider* S = AsProvider(P)) S->SkinData()->Updating = Value;
  };
  L.FreeNonClientCache = [](TObject* P) {
    if (TsSkinProvider* S = AsProvider(P)) S->TitleBand.reset();
  };
  L.DrawNonClientArea = [](TObject* P) {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr && S->DrawNonClientArea();
  };
  L.BorderWindow = [](TObject* P) -> HWND {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr && S->BorderForm != nullptr && S->BorderForm->AForm != nullptr &&
                   S->BorderForm->AForm->HandleAllocated()
               ? S->BorderForm->AForm->Handle()
               : nullptr;
  };
  L.UpdateBorderWindow = [](TObject* P, bool Repaint, Byte Alpha) {
    TsSkinProvider* S = AsProvider(P);
    if (S != nullptr && S->BorderForm != nullptr) S->BorderForm->UpdateBorderWindow(Repaint, Alpha);
  };
  L.CreateBorderRegion = [](TObject* P) -> HRGN {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr && S->BorderForm != nullptr ? S->BorderForm->CreateRegion() : nullptr;
  };
  L.FillRgnRects = [](TObject* P) {
    if (TsSkinProvider* S = AsProvider(P)) S->FillRgnRects();
  };
  L.CreateFormRgn = [](TObject* P) -> HRGN {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr ? S->CreateFormRgn(0, 0) : nullptr;
  };
  L.UpdateFormRgn = [](TObject* P, bool Repaint) {
    if (TsSkinProvider* S = AsProvider(P)) S->UpdateFormRgn(Repaint);
  };
  L.PaintAll = [](TObject* P) -> TSize {
    TsSkinProvider* S = AsProvider(P);
    if (S == nullptr) return TSize{};
    S->SkinData()->BackgroundStale = true;
    PaintAll(S);
    TBitmap* B = S->SkinData()->CacheBmp();
    return B != nullptr ? TSize{B->Width(), B->Height()} : TSize{};
  };
  L.ClientOffset = [](TObject* P) {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr ? TPoint{S->OffsetX(), S->OffsetY()} : TPoint{};
  };
  L.BorderImageOrigin = [](TObject* P) {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr && S->BorderForm != nullptr ? S->BorderForm->ImageOrigin() : TPoint{};
  };

  // The MDI client adapter's questions to the provider of its form.
  TacMDIProviderLink& D = acMDIProviderLink;
  D.FormColor = [](TObject* P) -> TColor {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr ? S->FormColor() : clBtnFace;
  };
  D.PaintAll = [](TObject* P) {
    if (TsSkinProvider* S = AsProvider(P)) PaintAll(S);
  };
  D.Suspended = [](TObject* P) {
    TsSkinProvider* S = AsProvider(P);
    return S != nullptr && S->SkinChanging;
  };
  D.ExtBorderOffset = [](TObject* P, TPoint& Offset) {
    TsSkinProvider* S = AsProvider(P);
    if (S == nullptr || S->BorderForm == nullptr) return false;
    const TRect E = S->ExtBorderMargins();
    Offset = TPoint{E.Left + DiffBorder(S->BorderForm), E.Top + DiffTitle(S->BorderForm)};
    return true;
  };
  D.RedrawNonClient = [](TObject* P) {
    if (TsSkinProvider* S = AsProvider(P)) S->RedrawNonClient();
  };
  D.ChildrenArranged = [](TObject* P) {
    TsSkinProvider* S = AsProvider(P);
    if (S == nullptr) return;
    S->MenuLineRows = -1;
    if (S->MDIForm != nullptr) S->MDIForm->UpdateFormNC();
    if (S->SysMenu != nullptr) S->SysMenu->UpdateItems(false);
  };
  D.MDIMenuSet = [] {
    TsSkinProvider* S = SkinnedMDIMainProvider;
    if (S == nullptr || S->SkinData() == nullptr) return;
    S->SkinData()->BackgroundStale = true;
    S->TitleDirty = true;
    S->MenuLineRows = -1;
  };
}
