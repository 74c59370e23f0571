// TacDialogWnd: the window adapter of a skinned system dialog (window procedure, caption buttons,
// non-client painting, region), and its system menu TacSystemMenu.
#include <algorithm>
#include <vector>

#include "framework/Forms.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/acDials.h"
#include "skin/forms/acExtBorderPaint.h"
#include "skin/forms/sCaptionAnimation.h"

bool acDialogButtonPressed = false;

namespace {

TSize WindowSizeOf(HWND W) {
  RECT R{};
  GetWindowRect(W, &R);
  return TSize{R.right - R.left, R.bottom - R.top};
}

// True while SetRegion sets the window region (the WM_NCPAINT it causes does not set it again).
bool GRegionSetting = false;

// The dialog whose caption-button press is under way (it holds the capture); nullptr: none. The
// pressed flag is one for all dialogs, so a release or hit test in another dialog leaves it alone.
TacDialogWnd* GPressOwner = nullptr;


int XOfLParam(LPARAM L) { return static_cast<short>(LOWORD(L)); }
int YOfLParam(LPARAM L) { return static_cast<short>(HIWORD(L)); }

bool WindowsMajorAtLeast6() {
  const DWORD V = GetVersion();
  return (V & 0xFF) >= 6;
}

// The icon a dialog shows in its caption: its own, or, when it has none (a message box), the
// program's (the small icon of the application window's class), or the system's generic one.
HICON CaptionIconOf(HICON Own) {
  if (Own != nullptr) return Own;
  if (Application != nullptr && Application->Handle() != nullptr) {
    for (int Which : {GCLP_HICONSM, GCLP_HICON})
      if (auto* I = reinterpret_cast<HICON>(GetClassLongPtrW(Application->Handle(), Which))) return I;
  }
  return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
}

TsSkinManager* ManagerOf(const TacMainWnd* A) {
  if (A->SkinManager != nullptr) return A->SkinManager;
  return A->SkinData != nullptr ? A->SkinData->GetSkinManager() : TsSkinManager::DefaultManager();
}

int GlobalMask(TsSkinManager* M, const char* Name) {
  if (M == nullptr) return -1;
  return M->GetMaskIndex(M->GetSectionIndex("GLOBALINFO"), "GLOBALINFO", Name);
}

}  // namespace

// ---- creation -----------------------------------------------------------------------------------

TacDialogWnd::TacDialogWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                           const AnsiString& SkinSection)
    : TacScrollWnd(Handle, ASkinData, ASkinManager, SkinSection) {
  PaintSuppress = WindowsMajorAtLeast6();
  ButtonMin.HitCode = dhtMinimize;
  ButtonMax.HitCode = dhtMaximize;
  ButtonClose.HitCode = dhtClose;
  ButtonHelp.HitCode = 0;
  SystemMenu = new TacSystemMenu(nullptr);
  SystemMenu->Dialog = this;
  SystemMenu->UpdateItems();
  if (SkinData != nullptr) SkinData->Updating = true;
  SetDwmTransitions(Handle, true);
  TsSkinManager* D = TsSkinManager::DefaultManager();
  if (D != nullptr && D->SkinnedPopups()) {
    if (TsSkinableMenus* Menus = SkinableMenusOf(D)) Menus->HookPopupMenu(SystemMenu, true);
  }
}

void TacDialogWnd::FreeAnimations() {
  for (TsCaptionButton* B : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) {
    delete B->Timer;
    B->Timer = nullptr;
  }
}

TacDialogWnd::~TacDialogWnd() {
  DetachOnDestroy();
  if (GPressOwner == this) {
    GPressOwner = nullptr;
    acDialogButtonPressed = false;
    if (CtrlHandle != nullptr && GetCapture() == CtrlHandle) ReleaseCapture();
  }
  FreeAnimations();
  ClearGlows();
  delete BorderForm;
  BorderForm = nullptr;
  if (SystemMenu != nullptr) {
    TsSkinManager* D = TsSkinManager::DefaultManager();
    if (D != nullptr)
      if (TsSkinableMenus* Menus = SkinableMenusOf(D)) Menus->HookPopupMenu(SystemMenu, false);
    delete SystemMenu;
    SystemMenu = nullptr;
  }
  if (FBrush != nullptr) DeleteObject(FBrush);
  for (const auto& B : FChildBrushes) DeleteObject(B.second);
}

void TacDialogWnd::InitParams() {
  SavedStyle = GetWindowLongA(CtrlHandle, GWL_STYLE);
  SavedExStyle = GetWindowLongA(CtrlHandle, GWL_EXSTYLE);
  FrameKind = dfkSizeable;
  if ((SavedStyle & WS_POPUP) != 0 && (SavedStyle & WS_CAPTION) != WS_CAPTION)
    FrameKind = dfkPopup;
  else if ((SavedStyle & WS_THICKFRAME) != 0)
    FrameKind = dfkSizeable;
  else if ((SavedStyle & DS_MODALFRAME) != 0)
    FrameKind = dfkModalFrame;

  Icon = reinterpret_cast<HICON>(SendMessageA(CtrlHandle, WM_GETICON, ICON_SMALL, 0));
  if (Icon == nullptr) Icon = reinterpret_cast<HICON>(SendMessageA(CtrlHandle, WM_GETICON, ICON_BIG, 0));
  const int IW = GetSystemMetrics(SM_CXSMICON), IH = GetSystemMetrics(SM_CYSMICON);
  IconBmp = std::make_unique<TBitmap>(IW, IH, pf24bit);
  {
    HDC DC = IconBmp->Canvas()->Handle();
    FillRectSolid(DC, TRect{0, 0, IW, IH}, clKeyColor);
    HICON I = CaptionIconOf(Icon);
    DrawIconEx(DC, 0, 0, I, IW, IH, 0, nullptr, DI_NORMAL);
  }
  LoadButtonImages();
  NONCLIENTMETRICSA NCM{};
  NCM.cbSize = sizeof(NCM);
  CaptionFont = std::make_unique<TFont>();
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(NCM), &NCM, 0))
    CaptionFont->SetHandle(CreateFontIndirectA(&NCM.lfCaptionFont));
  SystemMenu->UpdateItems();
  if ((SavedStyle & WS_SYSMENU) != 0) SetWindowLongA(CtrlHandle, GWL_STYLE, SavedStyle & ~WS_SYSMENU);
}

void TacDialogWnd::LoadButtonImages() {
  TsSkinManager* M = ManagerOf(this);
  if (M == nullptr || M->GetSectionIndex("GLOBALINFO") < 0) return;
  ButtonMin.HitCode = dhtMinimize;
  ButtonMax.HitCode = dhtMaximize;
  ButtonClose.HitCode = dhtClose;
  // The big images belong on a caption of the system's full height, which every dialog has but
  // those of the small-caption kinds: a message box (a modal frame) gets the same clear buttons
  // as a form.
  bool Big = FrameKind != 4 && FrameKind != 5;
  if (!Big && GlobalMask(M, "SICONCLOSE") < 0) Big = true;
  if (Big) {
    ButtonMin.ImageIndex = GlobalMask(M, "BICONMIN");
    ButtonMax.ImageIndex = GlobalMask(M, "BICONMAX");
    ButtonClose.ImageIndex = GlobalMask(M, "BICONCLOSE");
    ButtonHelp.ImageIndex = GlobalMask(M, "BICONHELP");
  } else {
    ButtonClose.ImageIndex = GlobalMask(M, "SICONCLOSE");
    ButtonMin.ImageIndex = GlobalMask(M, "SICONMIN");
    ButtonMax.ImageIndex = GlobalMask(M, "SICONMAX");
    ButtonHelp.ImageIndex = GlobalMask(M, "SICONHELP");
    if (ButtonHelp.ImageIndex < 0) ButtonHelp.ImageIndex = GlobalMask(M, "BICONHELP");
  }
  for (TsCaptionButton* B : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) {
    B->HaveAlignment = Big;
    if (B->State < 0) B->State = 0;
  }
}

void TacDialogWnd::UpdateBorderForm(bool On) {
  TsSkinManager* M = ManagerOf(this);
  const bool Designing = M != nullptr && M->IsDesigning();
  if (On && !Designing) {
    if (BorderForm == nullptr) {
      TacBorderOwner Link;
      Link.IsDialog = true;
      Link.Handle = [this] { return CtrlHandle; };
      Link.CaptionHeight = [this](bool UseSkin) { return CaptionHeight(UseSkin); };
      Link.MenuHeight = [] { return 0; };
      Link.IconRect = [this] { return IconRect(); };
      // The border window's hit tests (also those of its cursor) leave a pressed button pressed
      // until the release decides about it.
      Link.SetHotButton = [this](int Code, bool Repaint) {
        const TsCaptionButton* P = acDialogButtonPressed ? ButtonByCode(HotCode) : nullptr;
        if (P != nullptr && P->State == 2) return;
        SetHot(Code < 0 ? 0 : Code, Repaint);
      };
      Link.PaintOwner = [this] { PaintAll(); };
      Link.FreeAnimations = [this] { FreeAnimations(); };
      Link.SystemMenu = [this]() -> TsCustomSysMenu* { return SystemMenu; };
      Link.FormBorderWidth = [this] { return FormBorderWidth(CtrlHandle, nullptr, false); };
      Link.SkinFrameWidth = [this] { return SkinFrameWidth(BorderForm); };
      Link.SkinTitleHeight = [this] { return SkinTitleHeight(BorderForm); };
      Link.WindowFrameWidth = [this](bool UseSkin) { return WindowFrameWidth(CtrlHandle, BorderForm, UseSkin); };
      Link.DiffTitle = [this] { return DiffTitle(BorderForm); };
      Link.DiffBorder = [this] { return DiffBorder(BorderForm); };
      // The border window shows the image at its origin: its points are image points.
      Link.CaptionButtonAt = [this](TPoint P) { return ButtonCodeAt(P, false); };
      Link.UpdateState = [this] { return IsWindowVisible(CtrlHandle) ? 0 : 1; };
      BorderForm = new TacBorderForm(this, Link);
      BorderForm->SkinData = SkinData;
      SkinData->BackgroundStale = true;
      if (SkinData->CacheBmp() != nullptr) SkinData->CacheBmp()->SetPixelFormat(pf32bit);
      if (IsWindowVisible(CtrlHandle)) BorderForm->UpdateBorderWindow(true);
    }
  } else if (BorderForm != nullptr) {
    delete BorderForm;
    BorderForm = nullptr;
    SkinData->BackgroundStale = true;
    if (SkinData->CacheBmp() != nullptr) SkinData->CacheBmp()->SetPixelFormat(pf24bit);
  }
}

void TacDialogWnd::UpdateBorderWindow(bool Repaint) {
  if (BorderForm != nullptr && IsWindowVisible(CtrlHandle)) BorderForm->UpdateBorderWindow(Repaint);
}

// ---- metrics ------------------------------------------------------------------------------------

int TacDialogWnd::CaptionHeight(bool UseSkin) const {
  if ((SavedStyle & WS_CAPTION) != WS_CAPTION && !Iconic()) return 0;
  if (UseSkin && BorderForm != nullptr) {
    const int H = SkinTitleHeight(BorderForm);
    if (H != 0) return H;
  }
  return KeptSystemMetric(FrameKind == 4 || FrameKind == 5 ? SM_CYSMCAPTION : SM_CYCAPTION);
}

TRect TacDialogWnd::IconRect() const {
  const int CapH = CaptionHeight();
  TsSkinManager* M = ManagerOf(this);
  if (CapH == 0 || M == nullptr) return TRect{};
  const TRect E = ExtMargins();
  const int IW = GetSystemMetrics(SM_CXSMICON), IH = GetSystemMetrics(SM_CYSMICON);
  const int L = E.Left + FrameWidth() + M->SkinData()->BILeft;
  const int T = E.Top + WindowFrameWidth(CtrlHandle, BorderForm, true) + (CapH - IH) / 2;
  return TRect{L, T, L + IW, T + IH};
}

int TacDialogWnd::ButtonCodeAt(TPoint P, bool AnyHeight) const {
  if (!HasSysMenu()) return 0;
  auto In = [&](const TsCaptionButton& B) {
    return B.Rect.Width() > 0 && P.X >= B.Rect.Left && P.X < B.Rect.Right &&
           (AnyHeight || (P.Y >= B.Rect.Top && P.Y < B.Rect.Bottom));
  };
  if (In(ButtonClose)) return HTCLOSE;
  if (HasMaxBox() && In(ButtonMax)) return MaxEnabled() || RestoreEnabled() ? HTMAXBUTTON : HTCAPTION;
  if ((HasMinBox() || Iconic()) && In(ButtonMin)) return Iconic() || MinEnabled() ? HTMINBUTTON : HTCAPTION;
  if (HasHelp() && In(ButtonHelp)) return HTHELP;
  return 0;
}

TPoint TacDialogWnd::ImagePoint(POINT Screen) const {
  RECT R{};
  if (BorderForm != nullptr && BorderForm->AForm != nullptr)
    GetWindowRect(BorderForm->AForm->Handle(), &R);
  else
    GetWindowRect(CtrlHandle, &R);
  return TPoint{Screen.x - R.left, Screen.y - R.top};
}

int TacDialogWnd::FrameWidth() const { return FormBorderWidth(CtrlHandle, BorderForm, true); }

TRect TacDialogWnd::ExtMargins() const {
  if (BorderForm == nullptr) return TRect{0, 0, 0, 0};
  return BorderForm->Margins();
}

TPoint TacDialogWnd::ClientOffset() const {
  RECT WR{}, CR{};
  GetWindowRect(CtrlHandle, &WR);
  GetClientRect(CtrlHandle, &CR);
  const int W = WR.right - WR.left, H = WR.bottom - WR.top;
  TPoint P{(W - CR.right) / 2, 0};
  // The bottom frame (the system's) lies under the client area; without a caption the top frame
  // is as wide.
  P.Y = CaptionHeight() != 0 ? H - CR.bottom - FormBorderWidth(CtrlHandle, nullptr, false) : (H - CR.bottom) / 2;
  if (BorderForm != nullptr) {
    const TRect E = ExtMargins();
    P.X += DiffBorder(BorderForm) + E.Left;
    P.Y += DiffTitle(BorderForm) + E.Top;
  }
  return P;
}

bool TacDialogWnd::CloseEnabled() const {
  return HasSysMenu() && (GetClassLongA(CtrlHandle, GCL_STYLE) & CS_NOCLOSE) == 0;
}
bool TacDialogWnd::MaxEnabled() const {
  return HasMaxBox() && !Zoomed() && (FrameKind == 1 || FrameKind == 3 || FrameKind == 5);
}
bool TacDialogWnd::RestoreEnabled() const { return HasMaxBox() && (Iconic() || Zoomed()); }
bool TacDialogWnd::MinEnabled() const { return HasMinBox() && !Iconic(); }

void TacDialogWnd::RefreshGeometry() {
  GetWndRects(this);
  DlgRect = WndRect;
  DlgWidth = WndRect.Width();
  DlgHeight = WndRect.Height();
}

// ---- painting -----------------------------------------------------------------------------------

int TacDialogWnd::ButtonImage(const TsCaptionButton& Button) const {
  TsSkinManager* M = ManagerOf(this);
  auto Norm = [&] {
    const int I = GlobalMask(M, "BICONNORM");
    if (I >= 0 || M == nullptr || SkinData == nullptr) return I;
    return M->GetMaskIndex(SkinData->SectionIndex, SkinData->SkinSection(), "BICONNORM");
  };
  if (&Button == &ButtonMax) {
    if (Zoomed()) return Norm();
    if (Iconic()) return GlobalMask(M, "BICONMAX");
  }
  if (&Button == &ButtonMin && Iconic()) return Norm();
  return Button.ImageIndex;
}

void TacDialogWnd::PaintButton(TsCaptionButton& Button, int ImageIndex, bool Enabled) {
  TsSkinManager* M = ManagerOf(this);
  TBitmap* Cache = SkinData->CacheBmp();
  if (M == nullptr || Cache == nullptr || !M->IsValidMaskIndex(ImageIndex)) return;
  const int Mode = Active && Enabled ? 1 : 2;
  DrawSkinGlyph(Cache, TPoint{Button.Rect.Left, Button.Rect.Top}, std::max(0, Button.State), Mode,
                M->Masks()[static_cast<std::size_t>(ImageIndex)], MakeCacheInfo(Cache, 0, 0));
}

void TacDialogWnd::PaintButtons() {
  TsSkinManager* M = ManagerOf(this);
  TBitmap* Cache = SkinData->CacheBmp();
  if (M == nullptr || Cache == nullptr) return;
  const TsSkinData* SD = M->SkinData();
  const TRect E = ExtMargins();
  const int WFW = WindowFrameWidth(CtrlHandle, BorderForm, true);
  const int CapH = CaptionHeight();
  int X = Cache->Width() - SD->BIRight - E.Right - FrameWidth();
  const bool Big = ButtonClose.HaveAlignment;
  auto Place = [&](TsCaptionButton& B) {
    const TSize S = CaptionButtonImageSize(M, ButtonImage(B));
    int Top;
    if (B.HaveAlignment && SD->BIVAlign == 1) {
      Top = E.Top + (Zoomed() && BorderForm != nullptr ? 3 : 0);
    } else {
      Top = (CapH - S.cy + WFW) / 2 + E.Top;
      if (Zoomed() && BorderForm != nullptr) Top += FrameWidth() / 2;
      if (BorderForm != nullptr && SD->BorderMode == 1) Top += SD->CenterOffset;
    }
    B.Rect = TRect{X - S.cx, Top, X, Top + S.cy};
    X = B.Rect.Left - (Big ? SD->BISpace : 0);
  };
  for (TsCaptionButton* B : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) B->Rect = TRect{0, 0, 0, 0};
  Place(ButtonClose);
  PaintButton(ButtonClose, ButtonImage(ButtonClose), CloseEnabled());
  if (HasMaxBox()) {
    Place(ButtonMax);
    PaintButton(ButtonMax, ButtonImage(ButtonMax), MaxEnabled() || (RestoreEnabled() && Zoomed()));
  }
  if (HasMinBox()) {
    Place(ButtonMin);
    PaintButton(ButtonMin, ButtonImage(ButtonMin), MinEnabled() || (RestoreEnabled() && Iconic()));
  }
  if (HasHelp()) {
    Place(ButtonHelp);
    PaintButton(ButtonHelp, ButtonImage(ButtonHelp), true);
  }
}

TRect TacDialogWnd::CaptionTextRect(int ImageWidth) const {
  const int CapH = CaptionHeight();
  TsSkinManager* M = ManagerOf(this);
  if (CapH == 0 || M == nullptr) return TRect{};
  const TsSkinData* SD = M->SkinData();
  const TRect E = ExtMargins();
  const int F = FrameWidth();
  const int Top = E.Top + WindowFrameWidth(CtrlHandle, BorderForm, true);
  // After the icon; the caption buttons' band decides where the text ends.
  const int Left = E.Left + F + SD->BILeft + GetSystemMetrics(SM_CXSMICON) + 4 + SD->BILeft;
  int TextRight = ImageWidth - E.Right - F - SD->BIRight;
  if (HasSysMenu()) {
    int Band = 0;
    for (const TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) {
      if ((B == &ButtonMax && !HasMaxBox()) || (B == &ButtonMin && !HasMinBox()) || (B == &ButtonHelp && !HasHelp()))
        continue;
      Band += CaptionButtonImageSize(M, ButtonImage(*B)).cx + (ButtonClose.HaveAlignment ? SD->BISpace : 0);
    }
    TextRight -= Band;
  }
  return TRect{Left, Top, TextRight - 6, Top + CapH};
}

void TacDialogWnd::WidenForCaption(bool KeepLeft) {
  if (WndText.empty() || Iconic() || Zoomed()) return;
  RefreshGeometry();
  const TRect E = ExtMargins();
  const TRect R = CaptionTextRect(DlgWidth + 2 * DiffBorder(BorderForm) + E.Left + E.Right);
  if (R.IsEmpty()) return;
  int TextWidth = 0;
  if (HDC DC = CreateCompatibleDC(nullptr)) {
    HGDIOBJ Old = SelectObject(DC, CaptionFont ? CaptionFont->Handle() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE Size{};
    if (GetTextExtentPoint32W(DC, WndText.c_str(), static_cast<int>(WndText.size()), &Size)) TextWidth = Size.cx;
    SelectObject(DC, Old);
    DeleteDC(DC);
  }
  const TRect Work = WorkAreaNear(DlgRect);
  int Widen = std::min(TextWidth - R.Width(), Work.Width() / 2 - DlgWidth);
  // A dialog at a place asked for keeps its left edge and widens to the right, as far as the work
  // area lets it (its caption is cut shorter where that is not enough).
  if (KeepLeft) Widen = std::min(Widen, Work.Right - DlgRect.Left - DlgWidth);
  if (Widen <= 0) return;
  // The contents keep their place in the middle, and so does the dialog (inside the work area)
  // unless its place was asked for.
  const int Shift = Widen / 2;
  for (HWND C = GetWindow(CtrlHandle, GW_CHILD); C != nullptr; C = GetWindow(C, GW_HWNDNEXT)) {
    RECT CR;
    GetWindowRect(C, &CR);
    MapWindowPoints(nullptr, CtrlHandle, reinterpret_cast<POINT*>(&CR), 2);
    SetWindowPos(C, nullptr, CR.left + Shift, CR.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const int Width = DlgWidth + Widen;
  const int X =
      KeepLeft ? DlgRect.Left : std::clamp(DlgRect.Left - Shift, Work.Left, std::max(Work.Left, Work.Right - Width));
  SetWindowPos(CtrlHandle, nullptr, X, DlgRect.Top, Width, DlgHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  RefreshGeometry();
}

void TacDialogWnd::PaintCaption(TBitmap* Under) {
  const int CapH = CaptionHeight();
  TsSkinManager* M = ManagerOf(this);
  TBitmap* Cache = SkinData->CacheBmp();
  if (CapH == 0 || M == nullptr || Cache == nullptr) return;
  const TsSkinData* SD = M->SkinData();
  const TRect E = ExtMargins();
  const int F = FrameWidth();
  const int WFW = WindowFrameWidth(CtrlHandle, BorderForm, true);
  const int Top = E.Top + WFW;
  const int W = Cache->Width() - E.Left - E.Right;
  const int TitleIndex = M->GetSectionIndex("FORMTITLE");
  TCacheInfo CI;
  CI.FillColor = M->GetGlobalColor();
  if (Under != nullptr) CI = MakeCacheInfo(Under, 0, 0);
  if (TitleIndex >= 0)
    PaintSectionWithCorners(TitleIndex, "FORMTITLE", CI, true, Active ? 1 : 0,
                            TRect{E.Left, E.Top, E.Left + W, Top + CapH}, TPoint{0, 0}, Cache, M);

  // The icon, centred in the caption.
  const int IW = GetSystemMetrics(SM_CXSMICON), IH = GetSystemMetrics(SM_CYSMICON);
  const int IX = E.Left + F + SD->BILeft;
  HICON I = CaptionIconOf(Icon);
  if (HICON Copy = static_cast<HICON>(CopyImage(I, IMAGE_ICON, IW, IH, 0))) {
    DrawIconEx(Cache->Canvas()->Handle(), IX, Top + (CapH - IH) / 2, Copy, IW, IH, 0, nullptr, DI_NORMAL);
    DestroyIcon(Copy);
  }

  TRect R = CaptionTextRect(Cache->Width());
  if (R.Right <= R.Left || WndText.empty()) return;
  TCanvas* C = Cache->Canvas();
  if (CaptionFont) C->SetFont(CaptionFont.get());
  const UINT Flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (CaptionIndex < 0) CaptionIndex = M->GetSectionIndex("CAPTION");
  if (CaptionIndex < 0) {
    WriteSectionText(C, WndText.c_str(), true, R, Flags, TitleIndex, Active, M);
    return;
  }
  TRect T = R;
  DrawTextW(C->Handle(), WndText.c_str(), -1, reinterpret_cast<RECT*>(&T), Flags | DT_CALCRECT);
  T.Right = std::min(T.Right, R.Right);
  const int TH = T.Height();
  T.Top = R.Top + (R.Height() - TH) / 2;
  T.Bottom = T.Top + TH;
  TRect Plate{T.Left - 4, T.Top - 2, T.Right + 4, T.Bottom + 2};
  PaintSectionToBitmap(CaptionIndex, "CAPTION", MakeCacheInfo(Cache, 0, 0), Active ? 1 : 0, Plate,
                       TPoint{Plate.Left, Plate.Top}, Cache, M, -1, -1);
  WriteSectionText(C, WndText.c_str(), true, T, Flags, CaptionIndex, Active, M);
}

void TacDialogWnd::PaintAll() {
  TsSkinManager* M = ManagerOf(this);
  if (SkinData == nullptr || M == nullptr) return;
  RefreshGeometry();
  const TRect E = ExtMargins();
  // With a border window the image holds the skinned frame and title, larger than the system's
  // by DiffBorder and DiffTitle, at the skin's margins: where the border window shows them.
  const int DB = DiffBorder(BorderForm), DT = DiffTitle(BorderForm);
  const int W = DlgWidth + 2 * DB + E.Left + E.Right, H = DlgHeight + DB + DT + E.Top + E.Bottom;
  if (W <= 0 || H <= 0) return;
  if (SkinData->CacheBmp() == nullptr) SkinData->PrepareCacheBmp();
  TBitmap* Cache = SkinData->CacheBmp();
  // 32 bits with a border window (its alpha channel), 24 without. A change of format loses the
  // alpha channel: the image is painted again.
  const TPixelFormat Format = BorderForm != nullptr ? pf32bit : pf24bit;
  if (Cache->PixelFormat() != Format) {
    Cache->SetPixelFormat(Format);
    SkinData->BackgroundStale = true;
  }
  if (Cache->Width() != W || Cache->Height() != H) {
    Cache->SetSize(W, H);
    SkinData->BackgroundStale = true;
  }
  if (!SkinData->BackgroundStale) return;
  RegionDirty = true;
  const TRect FormRect{E.Left, E.Top, W - E.Right, H - E.Bottom};
  const bool Mode1 = BorderForm != nullptr && M->SkinData()->BorderMode == 1;
  TCacheInfo CI;
  CI.FillColor = M->GetGlobalColor();
  if (SkinData->SectionIndex >= 0) {
    if (Mode1)
      PaintSectionToBitmap(SkinData->SectionIndex, SkinData->SkinSection(), CI, 0, FormRect, TPoint{0, 0}, Cache, M,
                           -1, -1);
    else
      // The frame in the dialog's state, as its title: a skin draws active and inactive frames.
      PaintControlSkin(SkinData, CI, true, Active ? 1 : 0, FormRect, TPoint{0, 0}, Cache, false);
  } else {
    FillRectSolid(Cache->Canvas()->Handle(), TRect{0, 0, W, H}, M->GetGlobalColor());
  }
  const int TitleH = WindowFrameWidth(CtrlHandle, BorderForm, true) + CaptionHeight() + E.Top;
  std::unique_ptr<TBitmap> Before;
  if (BorderForm != nullptr) {
    SetImageAlpha(Cache, FormRect, 255);
    // Border mode 1: the skin's outer frame, the caption over it.
    if (Mode1 && LayExtBorderPicture(Cache, M, Active, FrameWidth() + E.Left, FrameWidth() + E.Right))
      Before = CopyTopStrip(Cache, TitleH);
  }
  PaintCaption(Before.get());
  if (BorderForm != nullptr) {
    if (Before != nullptr) {
      OpaqueWhereChanged(Cache, Before.get());
    } else if (!Mode1) {
      const int TI = M->GetSectionIndex("FORMTITLE");
      ComposeShadow(Cache, FormRect, E, M, Active, SkinData->BorderMaskIndex,
                    CaptionHeight() != 0 ? M->GetMaskIndex(TI, "FORMTITLE", "BORDERSMASK") : -1);
    }
  }
  // The background of single caption-button repaints: the top strip as it is now.
  if (!TitleCopy) TitleCopy = std::make_unique<TBitmap>(0, 0, pf24bit);
  TitleCopy->SetPixelFormat(Cache->PixelFormat());
  TitleCopy->SetSize(W, TitleH);
  BitBlt(TitleCopy->Canvas()->Handle(), 0, 0, W, TitleH, Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  if (CaptionHeight() != 0 && HasSysMenu()) PaintButtons();
  SkinData->BackgroundStale = false;
}

void TacDialogWnd::BuildRegionRects() {
  RegionRects.clear();
  TsSkinManager* M = ManagerOf(this);
  if (M == nullptr || SkinData == nullptr) return;
  if (M->IsValidMaskIndex(SkinData->BorderMaskIndex)) {
    const TsMaskData& Md = M->Masks()[static_cast<std::size_t>(SkinData->BorderMaskIndex)];
    AddMaskCornerRects(RegionRects, DlgWidth, Md, 0, false);
    // The bottom corner rows are the mask's last bottom-margin rows: they end at the window's
    // bottom.
    AddMaskCornerRects(RegionRects, DlgWidth, Md, DlgHeight - M->GetMaskBottomMargin(SkinData->BorderMaskIndex), true);
  }
  if (CaptionHeight() != 0) {
    const int TI = M->GetSectionIndex("FORMTITLE");
    const int MI = M->GetMaskIndex(TI, "FORMTITLE", "BORDERSMASK");
    if (M->IsValidMaskIndex(MI))
      AddMaskCornerRects(RegionRects, DlgWidth, M->Masks()[static_cast<std::size_t>(MI)], 0, false);
  }
}

void TacDialogWnd::SetRegion(bool Repaint) {
  if (FrameKind == dfkPopup && !Iconic()) return;
  if (static_cast<WPARAM>(SendMessageA(CtrlHandle, WM_OWN_REGION_QUERY, OwnRegionQuestion, 0)) == OwnRegionQuestion) return;
  const bool WasSetting = GRegionSetting;
  GRegionSetting = true;
  HRGN Rgn;
  if (BorderForm != nullptr) {
    // The dialog keeps the part inside its system frame and below its system caption: the
    // border window draws the rest around it.
    const int F = FormBorderWidth(CtrlHandle, nullptr, false);
    Rgn = CreateRectRgn(F, F + CaptionHeight(false), DlgWidth - F, DlgHeight - F);
  } else {
    Rgn = CreateRectRgn(0, 0, DlgWidth, DlgHeight);
    for (const TRect& R : RegionRects) {
      HRGN Sub = CreateRectRgn(R.Left, R.Top, R.Right, R.Bottom);
      CombineRgn(Rgn, Rgn, Sub, RGN_DIFF);
      DeleteObject(Sub);
    }
  }
  SetWindowRgn(CtrlHandle, Rgn, Repaint ? TRUE : FALSE);
  GRegionSetting = WasSetting;
}

void TacDialogWnd::PaintNC() {
  if (Provider != nullptr) AdaptChildWindows(Provider, CtrlHandle);
  PaintAll();
  if (!GRegionSetting && RegionDirty && !(FrameKind == dfkPopup && (SavedStyle & WS_THICKFRAME) == 0)) {
    BuildRegionRects();
    RegionDirty = false;
    SetRegion(true);
  }
  TBitmap* Cache = SkinData != nullptr ? SkinData->CacheBmp() : nullptr;
  if (BorderForm == nullptr && Cache != nullptr && !Cache->Empty()) {
    HDC DC = GetWindowDC(CtrlHandle);
    HDC Src = Cache->Canvas()->Handle();
    const int F = FrameWidth();
    const int TitleH = CaptionHeight() + F;
    const int W = DlgWidth, H = DlgHeight;
    BitBlt(DC, 0, 0, W, TitleH, Src, 0, 0, SRCCOPY);
    BitBlt(DC, 0, TitleH, F, H - TitleH, Src, 0, TitleH, SRCCOPY);
    BitBlt(DC, 0, H - F, W, F, Src, 0, H - F, SRCCOPY);
    BitBlt(DC, W - F, TitleH, F, H - TitleH, Src, W - F, TitleH, SRCCOPY);
    ReleaseDC(CtrlHandle, DC);
  }
  if (SkinData != nullptr) SkinData->Updating = false;
  GRegionSetting = false;
}

void TacDialogWnd::PaintClientBg(HDC DC) {
  const bool OwnDC = DC == nullptr;
  if (OwnDC) DC = GetWindowDC(CtrlHandle);
  PaintAll();
  const std::vector<HWND> Children = ChildWindows(CtrlHandle);
  TBitmap* Cache = SkinData != nullptr ? SkinData->CacheBmp() : nullptr;
  if (Cache != nullptr && !Cache->Empty()) {
    const int Saved = SaveDC(DC);
    for (HWND C : Children) {
      if (!IsWindowVisible(C)) continue;
      const LONG Style = GetWindowLongA(C, GWL_STYLE);
      if ((Style & 7) == 7) continue;
      if ((Style & WS_TABSTOP) != 0 && GetWndClassName(C) == "Static") continue;
      RECT R{};
      GetWindowRect(C, &R);
      MapWindowPoints(nullptr, CtrlHandle, reinterpret_cast<POINT*>(&R), 2);
      ExcludeClipRect(DC, R.left, R.top, R.right, R.bottom);
    }
    RECT CR{};
    GetClientRect(CtrlHandle, &CR);
    const TPoint Off = ClientOffset();
    BitBlt(DC, 0, 0, CR.right, CR.bottom, Cache->Canvas()->Handle(), Off.X, Off.Y, SRCCOPY);
    RestoreDC(DC, Saved);
  }
  if (OwnDC) ReleaseDC(CtrlHandle, DC);
  RefreshChildWindows(Children);
}

void TacDialogWnd::RepaintButton(int HitCode) {
  TsCaptionButton* B = ButtonByCode(HitCode);
  TsSkinManager* M = ManagerOf(this);
  if (B == nullptr || M == nullptr) return;
  if (M->AllowGlowing()) {
    TacFadeOwner Owner;
    Owner.Wnd = CtrlHandle;
    Owner.SkinData = SkinData;
    Owner.BorderWindow = [this]() -> HWND {
      return BorderForm != nullptr && BorderForm->AForm != nullptr && BorderForm->AForm->HandleAllocated()
                 ? BorderForm->AForm->Handle()
                 : nullptr;
    };
    if (B->State == 1)
      StartCaptionButtonFade(B, 1, 10, Owner, true);
    else if (B->State == 2)
      StartCaptionButtonFade(B, 2, 1, Owner, true);
    else
      StartCaptionButtonFade(B, 0, 10, Owner, false);
    return;
  }
  if (B->Rect.Left <= FrameWidth() + GetSystemMetrics(SM_CXSMICON)) return;
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr || !TitleCopy) return;
  const TRect& R = B->Rect;
  BitBlt(Cache->Canvas()->Handle(), R.Left, R.Top, R.Width(), R.Height(), TitleCopy->Canvas()->Handle(), R.Left,
         R.Top, SRCCOPY);
  const int Image = ButtonImage(*B);
  if (M->IsValidMaskIndex(Image)) {
    int Mode = 1;
    if ((!Active && B->State == 0) || (B == &ButtonMax && Iconic() && !MaxEnabled())) Mode = 2;
    DrawSkinGlyph(Cache, TPoint{R.Left, R.Top}, std::max(0, B->State), Mode,
                  M->Masks()[static_cast<std::size_t>(Image)], MakeCacheInfo(Cache, 0, 0));
  }
  if (BorderForm == nullptr) {
    HDC DC = GetWindowDC(CtrlHandle);
    BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), Cache->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
    ReleaseDC(CtrlHandle, DC);
  } else {
    UpdateBorderWindow(true);
  }
  if (B->GlowID >= 0) {
    HideGlow(B->GlowID);
    B->GlowID = -1;
  }
}

// ---- caption buttons ----------------------------------------------------------------------------

TsCaptionButton* TacDialogWnd::ButtonByCode(int HitCode) {
  switch (HitCode) {
    case dhtMinimize:
      return &ButtonMin;
    case dhtMaximize:
      return &ButtonMax;
    case dhtClose:
      return &ButtonClose;
    case dhtHelp:
      return &ButtonHelp;
    default:
      return nullptr;
  }
}

void TacDialogWnd::SetHot(int HitCode, bool Repaint) {
  if (HitCode == HotCode) return;
  if (TsCaptionButton* Old = ButtonByCode(HotCode)) {
    Old->State = 0;
    if (Repaint) RepaintButton(HotCode);
  }
  HotCode = HitCode;
  if (TsCaptionButton* New = ButtonByCode(HitCode)) {
    New->State = 1;
    if (Repaint) RepaintButton(HitCode);
  }
  if (GPressOwner == nullptr || GPressOwner == this) acDialogButtonPressed = false;
}

void TacDialogWnd::SetPressed(int HitCode) {
  if (HotCode != HitCode) {
    if (TsCaptionButton* Old = ButtonByCode(HotCode)) {
      Old->State = 0;
      RepaintButton(HotCode);
    }
  }
  HotCode = HitCode;
  if (TsCaptionButton* B = ButtonByCode(HitCode)) {
    if (B != &ButtonMax || MaxEnabled() || (RestoreEnabled() && Zoomed())) B->State = 2;
    // The capture first: a press of another dialog ends as it goes.
    SetCapture(CtrlHandle);
    GPressOwner = this;
    acDialogButtonPressed = true;
    RepaintButton(HitCode);
  }
}

bool TacDialogWnd::OwnsPress() const { return GPressOwner == this; }

void TacDialogWnd::DropPress(bool Repaint) {
  if (GPressOwner != this) return;
  GPressOwner = nullptr;
  acDialogButtonPressed = false;
  SetHot(0, Repaint);
  if (GetCapture() == CtrlHandle) ReleaseCapture();
}

LRESULT TacDialogWnd::HitTest(int X, int Y, LRESULT Default) {
  const int CapH = CaptionHeight();
  if (CapH == 0 || !HasSysMenu()) return Default;
  RECT WR{};
  GetWindowRect(CtrlHandle, &WR);
  const int PX = X - WR.left, PY = Y - WR.top;
  TsSkinManager* M = ManagerOf(this);
  const int CloseH = CaptionButtonImageSize(M, ButtonImage(ButtonClose)).cy;
  const int BandTop = (CapH - CloseH + WindowFrameWidth(CtrlHandle, BorderForm, true)) / 2;
  if (PY >= BandTop && PY < BandTop + CloseH) {
    const int F = FrameWidth();
    LRESULT Code = HTCAPTION;
    if (PX >= F && PX <= F + GetSystemMetrics(SM_CXSMICON)) {
      Code = HTSYSMENU;
    } else if (const int Button = ButtonCodeAt(TPoint{PX, PY}, true); Button != 0) {
      Code = Button;
    }
    SetHot(Code == HTCAPTION || Code == HTSYSMENU ? 0 : static_cast<int>(Code), true);
    return Code;
  }
  if (Zoomed() && PX >= 2 && PY >= 2 && PX < DlgWidth - 4 && PY < DlgHeight - 4) {
    SetHot(0, true);
    return HTTRANSPARENT;
  }
  return Default;
}

void TacDialogWnd::ShowSystemMenu(int X, int Y) {
  if (SystemMenu == nullptr) return;
  SystemMenu->UpdateItems();
  SystemMenu->SetWindowHandle(CtrlHandle);
  SystemMenu->Popup(X, Y);
}

void TacDialogWnd::DropSystemMenuBelowIcon() {
  // The image's origin on the screen (where the screen's origin lies in the image, negated), and
  // the bottom of the title band in the image.
  const TPoint O = ImagePoint(POINT{0, 0});
  const int TitleBottom = ExtMargins().Top + WindowFrameWidth(CtrlHandle, BorderForm, true) + CaptionHeight();
  ShowSystemMenu(IconRect().Left - O.X, TitleBottom - O.Y);
}

// ---- window procedure ---------------------------------------------------------------------------

void TacDialogWnd::PassOn(TMessage& Message) {
  if (AdapterGoesOnAfter(this, [&] { TacScrollWnd::WndProc(Message); })) AfterPassOn(Message);
}

void TacDialogWnd::AfterPassOn(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOVE:
    case WM_SIZING:
      UpdateBorderWindow(false);
      break;
    case WM_WINDOWPOSCHANGING: {
      const auto* WP = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
      ToldSize = WindowSizeOf(CtrlHandle);
      if (BorderForm != nullptr && WP != nullptr && (WP->flags & SWP_HIDEWINDOW) != 0)
        UpdateBorderForm(false);
      else
        UpdateBorderWindow(false);
      break;
    }
    case WM_SYSCOMMAND: {
      const WPARAM Cmd = Message.WParam & 0xFFF0;
      if (Message.WParam == SC_DRAGMOVE) {
        UpdateWindow(CtrlHandle);
        UpdateBorderWindow(false);
      } else if (Cmd == SC_MAXIMIZE || Cmd == SC_RESTORE) {
        if (HasMaxBox()) HotCode = dhtMaximize;
        SetHot(0, true);
      }
      break;
    }
    default:
      break;
  }
}

void TacDialogWnd::HandlePress(TMessage& Message) {
  LPARAM LP = Message.LParam;
  if (BorderForm != nullptr && Message.WParam == 19) {
    Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, LP);
    return;
  }
  int Code = static_cast<int>(Message.WParam);
  if (static_cast<int>(Message.WParam) == -1 && BorderForm != nullptr) {
    // The border window passes its presses on without a hit code: what it finds there goes on
    // with the message, so that the system moves or sizes the dialog by the title or an edge.
    Code = BorderForm->BorderHitTest(Message);
    Message.WParam = static_cast<WPARAM>(Code);
  } else if (Message.WParam != HTBOTTOMRIGHT)
    Code = static_cast<int>(HitTest(XOfLParam(Message.LParam), YOfLParam(Message.LParam), Message.WParam));
  switch (Code) {
    case dhtMinimize:
    case dhtMaximize:
    case dhtClose:
    case dhtHelp:
    case 101:
    case 102:
    case 103:
      SetPressed(Code);
      Message.Result = 0;
      return;
    case HTSYSMENU:
      SetHot(0, true);
      DropSystemMenuBelowIcon();
      Message.Result = 0;
      return;
    default:
      break;
  }
  if (Iconic()) {
    SendMessageA(CtrlHandle, WM_SYSCOMMAND, SC_DRAGMOVE, 0);
    return;
  }
  SetHot(0, true);
  if (Zoomed() && Code == HTCAPTION) {
    if (!Active) SetFocus(CtrlHandle);
    return;
  }
  Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, LP);
}

void TacDialogWnd::HandleRelease(TMessage& Message) {
  LPARAM LP = Message.LParam;
  // The release ends this dialog's press and gives its capture back (what it does is decided
  // below); a release in a dialog that holds no press acts on no button.
  const bool Mine = OwnsPress();
  if (Mine) {
    GPressOwner = nullptr;
    if (GetCapture() == CtrlHandle) ReleaseCapture();
  }
  // The release point on the screen: a client-area release (under the press's capture it arrives
  // so wherever it happens) carries client coordinates.
  POINT At{XOfLParam(LP), YOfLParam(LP)};
  if (Message.Msg == WM_LBUTTONUP) ClientToScreen(CtrlHandle, &At);
  const int PressedCode = HotCode;
  int Code;
  if (static_cast<int>(Message.WParam) == -1 && BorderForm != nullptr) {
    // The border window's hit test leaves the buttons normal: the press it answers is kept.
    const int Saved = HotCode;
    const bool Pressed = acDialogButtonPressed;
    Code = BorderForm->BorderHitTest(Message);
    HotCode = Saved;
    acDialogButtonPressed = Pressed;
    Message.WParam = static_cast<WPARAM>(Code);
  } else if (Message.Msg == WM_NCLBUTTONUP) {
    Code = static_cast<int>(Message.WParam);
  } else {
    // A client-area release: the button under the release point, if any (the border window's
    // when the dialog has one). The hit test moves the hot button there.
    const bool Pressed = acDialogButtonPressed;
    if (BorderForm != nullptr) {
      TMessage Hit{WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(At.x), static_cast<short>(At.y)), 0};
      Code = BorderForm->BorderHitTest(Hit);
    } else {
      Code = static_cast<int>(HitTest(At.x, At.y, HTCLIENT));
    }
    acDialogButtonPressed = Pressed;
  }
  const bool Pressed = Mine && acDialogButtonPressed && PressedCode == Code;
  auto Send = [this](WPARAM Cmd) { SendMessageA(CtrlHandle, WM_SYSCOMMAND, Cmd, 0); };
  switch (Code) {
    case dhtMinimize: {
      if (Pressed && ButtonMin.Rect.Contains(ImagePoint(At))) {
        SetHot(0, true);
        Send(Iconic() ? SC_RESTORE : SC_MINIMIZE);
      } else if (Pressed) {
        Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, LP);
      } else {
        SetHot(0, true);
      }
      break;
    }
    case dhtMaximize:
      if (Iconic() && !MaxEnabled()) break;
      SetHot(0, true);
      if (Pressed) {
        Send(Zoomed() ? SC_RESTORE : SC_MAXIMIZE);
        if (Application != nullptr) Application->ProcessMessages();
        if (SystemMenu != nullptr) SystemMenu->UpdateItems();
      }
      break;
    case dhtClose:
      if (Pressed) {
        ButtonClose.State = 0;
        SetHot(0, true);
        Send(SC_CLOSE);
      }
      break;
    case dhtHelp:
      SetHot(0, true);
      if (Pressed) {
        Send(SC_CONTEXTHELP);
        if (SystemMenu != nullptr) SystemMenu->UpdateItems();
        SendMessageA(CtrlHandle, WM_NCPAINT, 0, 0);
      }
      break;
    default:
      // Released away from the pressed button: it returns to normal.
      if (Mine) SetHot(0, true);
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, LP);
      if (Mine) acDialogButtonPressed = false;
      return;
  }
  if (Mine) acDialogButtonPressed = false;
  Message.WParam = 0;
}

void TacDialogWnd::RestoreStdParams() {
  if (CtrlHandle == nullptr || !IsWindow(CtrlHandle)) return;
  if ((SavedStyle & WS_SYSMENU) != 0)
    SetWindowLongA(CtrlHandle, GWL_STYLE, GetWindowLongA(CtrlHandle, GWL_STYLE) | WS_SYSMENU);
  SetWindowRgn(CtrlHandle, nullptr, IsWindowVisible(CtrlHandle));
}

void TacDialogWnd::WndProc(TMessage& Message) {
  // The message may free the adapter (a menu loop it starts may remove the skin): the depth is
  // counted back only while the adapter lives.
  const std::shared_ptr<bool> Live = Alive;
  ++WndProcDepth;
  try {
    DoWndProc(Message);
  } catch (...) {
    if (*Live) --WndProcDepth;
    throw;
  }
  if (!*Live) return;
  --WndProcDepth;
  if (BorderForm != nullptr) BorderForm->OwnerMessageDone(Message);
}

void TacDialogWnd::DoWndProc(TMessage& Message) {
  if (Message.Msg == WM_DESTROY || Message.Msg == WM_NCDESTROY) {
    DropPress(false);
    WMDestroy(Message);
    return;
  }
  TsSkinManager* M = ManagerOf(this);
  const bool Skinned = !Destroyed && SkinData != nullptr && M != nullptr && M->Active() && SkinData->IsSkinned(false);
  // A caption-button press ends with the capture it holds, or when the mode is cancelled.
  if ((Message.Msg == WM_CAPTURECHANGED && reinterpret_cast<HWND>(Message.LParam) != CtrlHandle) ||
      Message.Msg == WM_CANCELMODE)
    DropPress(Skinned);
  if (!Skinned) {
    TacScrollWnd::WndProc(Message);
    return;
  }
  if (Message.Msg == SM_ALPHACMD) {
    SkinCommand(Message, M);
    return;
  }
  // Some messages are left to the window while it is hidden.
  const bool Visible = IsWindowVisible(CtrlHandle) != FALSE;
  switch (Message.Msg) {
    case WM_GETDLGCODE: return;
    case WM_NCHITTEST: WMNCHitTest(Message); return;
    case WM_DRAWITEM: WMDrawItem(Message); return;
    case WM_WINDOWPOSCHANGED:
    case WM_SIZE: WMBoundsChanged(Message); return;
    case WM_NCPAINT:
      if (!Visible) break;
      WMNCPaint(Message);
      return;
    case WM_NCACTIVATE:
      if (!Visible) break;
      WMNCActivate(Message);
      return;
    case WM_SHOWWINDOW: WMShowWindow(Message); return;
    case WM_SETFOCUS: WMSetFocus(Message); return;
    case WM_ENABLE:
      if (!Visible) break;
      WMEnable(Message);
      return;
    case WM_SETTEXT:
      if (!Visible) break;
      WMSetText(Message);
      return;
    case WM_PAINT: WMPaint(Message); return;
    case WM_ERASEBKGND: WMEraseBkgnd(Message); return;
    case WM_MOUSEMOVE:
      if (IsWindowEnabled(CtrlHandle)) M->SetHoverWindow(nullptr);
      PassOn(Message);
      return;
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
      SetHot(0, true);
      PassOn(Message);
      return;
    case WM_NCLBUTTONDOWN: HandlePress(Message); return;
    case WM_NCLBUTTONUP:
    case WM_LBUTTONUP:
      if (Message.Msg == WM_LBUTTONUP && !OwnsPress()) break;
      HandleRelease(Message);
      return;
    case WM_NCLBUTTONDBLCLK: WMNCLButtonDblClk(Message); return;
    case WM_SYSCOMMAND:
      // The window has lost WS_SYSMENU, so the system opens no menu for Alt+Space: the skin's
      // system menu drops as from the icon.
      if ((Message.WParam & 0xFFF0) == SC_KEYMENU && LOWORD(Message.LParam) == ' ' && HasSysMenu() &&
          CaptionHeight() != 0) {
        DropSystemMenuBelowIcon();
        Message.Result = 0;
        return;
      }
      break;
    case WM_NCRBUTTONDOWN:
      if (Message.WParam == HTCAPTION || Message.WParam == HTSYSMENU) return;
      break;
    case WM_NCRBUTTONUP: WMNCRButtonUp(Message); return;
    case WM_CTLCOLORDLG: WMCtlColorDlg(Message, M); return;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
      if (CtlColorChild(Message)) return;
      break;
    case DM_SETDEFID:
      PassOn(Message);
      if (Provider != nullptr && !Destroyed) AdaptChildWindows(Provider, CtrlHandle);
      return;
    case 0x52E: ReadaptChildrenAfter(Message); return;
    case CM_VISIBLECHANGED:
      PassOn(Message);
      if (Message.WParam == 0) FreeAnimations();
      return;
    default:
      break;
  }
  PassOn(Message);
}

LRESULT TacDialogWnd::CallOld(const TMessage& Message) {
  LPARAM LP = Message.LParam;
  return CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, LP);
}

// ---- the handlers of the window procedure -------------------------------------------------------------

void TacDialogWnd::WMDestroy(TMessage& Message) {
  // The caption-button fades go with the window, while none of them is running its own code
  // (freeing them later, from a window destruction that a fade itself causes, would free a
  // running fade).
  FreeAnimations();
  if (!Destroyed && OldWndProc != nullptr) {
    const WNDPROC Old = OldWndProc;
    TacMainWnd* Self = this;
    UnhookScrollAdapter(CtrlHandle, false, false, Self);
    Message.Result = CallWindowProcA(Old, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
  } else {
    Message.Result = CallOld(Message);
  }
}

void TacDialogWnd::SkinCommand(TMessage& Message, TsSkinManager* M) {
  switch (AlphaCmdCode(Message.WParam)) {
    case AC_NEWSKIN: ACNewSkin(Message, M); return;
    case AC_REFRESHSKIN: ACRefreshSkin(M); return;
    case AC_SETUPDATING:
      SkinData->Updating = AlphaCmdArg(Message.WParam) == 1;
      if (SkinData->Updating) SkinData->BackgroundStale = true;
      PassOn(Message);
      return;
    case AC_ISBUSY:
      Message.Result = SkinData->Updating ? 1 : 0;
      return;
    case AC_APPACTIVATED:
      if (BorderForm != nullptr) BorderForm->UpdateBorderWindow(false);
      PassOn(Message);
      return;
    case AC_ISPARENTDEPENDENT: {
      const TsGeneralData* S = SkinData->Section();
      Message.Result = S != nullptr && S->GradientPercent + S->ImagePercent > 0 ? 1 : 0;
      return;
    }
    case AC_GETCOLOR:
      Message.Result = static_cast<LRESULT>(SkinData->GetBackgroundColor(false, CtrlHandle));
      return;
    case AC_READAPTCHILDREN:
      if (Provider != nullptr) AdaptChildWindows(Provider, CtrlHandle);
      PassOn(Message);
      return;
    case AC_GETBACKGROUND: ACGetBackground(reinterpret_cast<TacBGInfo*>(Message.LParam)); return;
    case AC_GETCLIENTOFFSET: {
      const TPoint Off = ClientOffset();
      Message.Result = MAKELONG(Off.X, Off.Y);
      return;
    }
    default:
      PassOn(Message);
      return;
  }
}

void TacDialogWnd::ACNewSkin(TMessage& Message, TsSkinManager* M) {
  UpdateBorderForm(M->ExtendedBorders());
  if (reinterpret_cast<TsSkinManager*>(Message.LParam) != SkinData->GetSkinManager()) return;
  TakeNewSkin(SkinData);
  RegionDirty = true;
  CaptionIndex = M->GetSectionIndex("CAPTION");
  LoadButtonImages();
  SendToChildren(CtrlHandle, Message);
}

void TacDialogWnd::ACRefreshSkin(TsSkinManager* M) {
  const bool Visible = IsWindowVisible(CtrlHandle) != FALSE;
  SkinData->UpdateIndexes();
  UpdateBorderForm(M->ExtendedBorders());
  SkinData->BackgroundStale = true;
  RegionDirty = true;
  if (BorderForm != nullptr && Visible) BorderForm->UpdateBorderWindow(true);
  if (Visible) RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TacDialogWnd::ACGetBackground(TacBGInfo* Info) {
  if (Info == nullptr) return;
  const TPoint Off = ClientOffset();
  PaintAll();
  if (Info->PleaseDraw) {
    Info->Offset.X += Off.X;
    Info->Offset.Y += Off.Y;
    SkinData->GetBackgroundInfo(*Info, false, CtrlHandle);
  } else {
    SkinData->GetBackgroundInfo(*Info, false, CtrlHandle);
    if (Info->BgType == btCache) {
      if (Info->Bmp == nullptr) Info->Bmp = SkinData->CacheBmp();
      Info->Offset = Off;
    }
  }
}

void TacDialogWnd::WMNCHitTest(TMessage& Message) {
  Message.Result = HitTest(XOfLParam(Message.LParam), YOfLParam(Message.LParam), HTNOWHERE);
  if (Message.Result == HTNOWHERE || Message.Result == HTCAPTION) {
    Message.Result = CallOld(Message);
    SetHot(0, true);
  }
}

void TacDialogWnd::WMDrawItem(TMessage& Message) {
  const auto* DI = reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
  if (DI != nullptr && DI->CtlType == ODT_STATIC) SetBkMode(DI->hDC, TRANSPARENT);
  PassOn(Message);
}

void TacDialogWnd::WMBoundsChanged(TMessage& Message) {
  ToldSize = WindowSizeOf(CtrlHandle);
  // The move of the window region that the dialog sets itself changes neither its size nor its
  // image.
  if (!GRegionSetting) {
    SkinData->BackgroundStale = true;
    RegionDirty = true;
  }
  const auto* WP = Message.Msg == WM_WINDOWPOSCHANGED ? reinterpret_cast<const WINDOWPOS*>(Message.LParam) : nullptr;
  const bool Sized = Message.Msg == WM_SIZE || (WP != nullptr && (WP->flags & SWP_NOSIZE) == 0);
  // The border window takes the new image once, at the end: the size change's own messages, the
  // paints and the new region's move on the way would each give it an image.
  TacBorderHold Hold(BorderForm);
  Message.Result = CallOld(Message);
  if (Message.Msg == WM_SIZE)
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
  // A frame paint left for the new size that no size report made (a dialog procedure may keep
  // the report from the system) is made now.
  if (!Destroyed && Message.Msg == WM_WINDOWPOSCHANGED && FrameWait.Pending())
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME | RDW_NOCHILDREN);
  Hold.Release();
  if (!Destroyed) UpdateBorderWindow(Sized);
}

void TacDialogWnd::WMNCPaint(TMessage& Message) {
  // A frame paint before the report of a new size would build the image and set the region for
  // the new size in the middle of the change, and the report builds them again; a size that the
  // dialog is not told of by its next frame paint is painted as it is.
  if (!Iconic() && ToldSize.cx != 0) {
    if (FrameWait.Wait(WindowSizeOf(CtrlHandle), ToldSize)) {
      Message.Result = 0;
      return;
    }
  } else {
    FrameWait.Clear();
  }
  RefreshGeometry();
  WndText = GetWndText(CtrlHandle);
  if (BorderForm != nullptr && BorderForm->AForm != nullptr && !IsWindowVisible(BorderForm->AForm->Handle())) {
    if (IsDwmCompositionEnabled()) {
      SetRegion(false);
      BorderForm->UpdateBorderWindow(true);
      SetFocus(CtrlHandle);
    } else {
      BorderForm->UpdateBorderWindow(false);
    }
  }
  PaintNC();
  Message.Result = 1;
}

void TacDialogWnd::WMNCActivate(TMessage& Message) {
  SendMessageA(CtrlHandle, WM_SETREDRAW, 0, 0);
  Message.Result = CallOld(Message);
  Active = LOWORD(Message.WParam) != 0;
  SendMessageA(CtrlHandle, WM_SETREDRAW, 1, 0);
  SkinData->BackgroundStale = true;
  RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
  UpdateBorderWindow(false);
}

void TacDialogWnd::WMShowWindow(TMessage& Message) {
  if (!IsDwmCompositionEnabled()) {
    Message.Result = CallOld(Message);
    return;
  }
  const LONG Ex = GetWindowLongA(CtrlHandle, GWL_EXSTYLE);
  SetWindowLongA(CtrlHandle, GWL_EXSTYLE, Ex | WS_EX_LAYERED);
  Message.Result = CallOld(Message);
  SetWindowLongA(CtrlHandle, GWL_EXSTYLE, GetWindowLongA(CtrlHandle, GWL_EXSTYLE) & ~WS_EX_LAYERED);
}

void TacDialogWnd::WMSetFocus(TMessage& Message) {
  Message.Result = CallOld(Message);
  RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
}

void TacDialogWnd::WMEnable(TMessage& Message) {
  Message.Result = CallOld(Message);
  SkinData->BackgroundStale = true;
  SendMessageA(CtrlHandle, WM_NCPAINT, 0, 0);
}

void TacDialogWnd::WMSetText(TMessage& Message) {
  Message.Result = CallOld(Message);
  WndText = GetWndText(CtrlHandle);
  SkinData->BackgroundStale = true;
  if (BorderForm != nullptr)
    BorderForm->UpdateBorderWindow(true);
  else
    SendMessageA(CtrlHandle, WM_NCPAINT, 0, 0);
}

void TacDialogWnd::WMPaint(TMessage& Message) {
  if (!PaintSuppress) {
    Message.Result = CallOld(Message);
    return;
  }
  PAINTSTRUCT PS;
  BeginPaint(CtrlHandle, &PS);
  EndPaint(CtrlHandle, &PS);
  Message.Result = 0;
}

void TacDialogWnd::WMEraseBkgnd(TMessage& Message) {
  RefreshGeometry();
  if (!ChildrenAdapted) {
    ChildrenAdapted = true;
    if (Provider != nullptr) AdaptChildWindows(Provider, CtrlHandle);
  }
  PaintClientBg(reinterpret_cast<HDC>(Message.WParam));
  Message.Result = 1;
}

void TacDialogWnd::WMNCLButtonDblClk(TMessage& Message) {
  if (Message.WParam == HTCAPTION) {
    if (MaxEnabled() || RestoreEnabled()) {
      SendMessageA(CtrlHandle, WM_SYSCOMMAND, Zoomed() || Iconic() ? SC_RESTORE : SC_MAXIMIZE, 0);
      if (SystemMenu != nullptr) SystemMenu->UpdateItems();
    }
    Message.WParam = 0;
  } else if (Message.WParam == HTSYSMENU) {
    SendMessageA(CtrlHandle, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

void TacDialogWnd::WMNCRButtonUp(TMessage& Message) {
  WPARAM Code = Message.WParam;
  if (static_cast<int>(Code) == -1 && BorderForm != nullptr) Code = BorderForm->BorderHitTest(Message);
  if (Code == HTCAPTION || Code == HTSYSMENU) {
    SetHot(0, true);
    ShowSystemMenu(XOfLParam(Message.LParam), YOfLParam(Message.LParam));
  }
}

void TacDialogWnd::WMCtlColorDlg(TMessage& Message, TsSkinManager* M) {
  const TColor C = M->GetGlobalColor();
  if (FBrush == nullptr || C != FBrushColor) {
    if (FBrush != nullptr) DeleteObject(FBrush);
    FBrush = CreateSolidBrush(ColorToRGB(C));
    FBrushColor = C;
  }
  Message.Result = reinterpret_cast<LRESULT>(FBrush);
}

bool TacDialogWnd::CtlColorChild(TMessage& Message) {
  auto* A = dynamic_cast<TacEditWnd*>(GetWndAdapter(reinterpret_cast<HWND>(Message.LParam)));
  if (A == nullptr || A->DlgMode || A->Destroyed || A->SkinData == nullptr) return false;
  TsSkinManager* M = A->SkinData->GetSkinManager();
  const int I = A->SkinData->SectionIndex;
  if (M == nullptr || !M->IsValidSectionIndex(I)) return false;
  const TsGeneralData& S = M->GeneralData()[static_cast<std::size_t>(I)];
  // The colours of a skinned edit of a form: the section's background, its hot font colour (dimmed
  // when the window is disabled).
  const COLORREF Back = ColorToRGB(A->SkinData->GetBackgroundColor(false, A->CtrlHandle));
  const TColor Text = IsWindowEnabled(A->CtrlHandle) ? static_cast<TColor>(S.HotFontColor[0])
                                                     : MixColorsLinear(S.FontColor[0], S.Color, 0.4);
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  SetTextColor(DC, ColorToRGB(Text));
  SetBkColor(DC, Back);
  auto B = std::find_if(FChildBrushes.begin(), FChildBrushes.end(), [&](const auto& P) { return P.first == Back; });
  if (B == FChildBrushes.end()) B = FChildBrushes.insert(FChildBrushes.end(), {Back, CreateSolidBrush(Back)});
  Message.Result = reinterpret_cast<LRESULT>(B->second);
  return true;
}

void TacDialogWnd::ReadaptChildrenAfter(TMessage& Message) {
  Message.Result = CallOld(Message);
  if (Provider != nullptr) AdaptChildWindows(Provider, CtrlHandle);
  RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
}

// ---- TacSystemMenu ------------------------------------------------------------------------------

TacSystemMenu::TacSystemMenu(TComponent* AOwner) : TsCustomSysMenu(AOwner) {
  ItemRestore = MakeItem("miRestore", L"Restore");
  ItemMove = MakeItem("miMove", L"Move");
  ItemSize = MakeItem("miSize", L"Size");
  ItemMinimize = MakeItem("miMinimize", L"Minimize");
  ItemMaximize = MakeItem("miMaximize", L"Maximize");
  auto* Separator = new TMenuItem(this);
  Separator->SetCaption(WideString(L"-"));
  Items()->Add(Separator);
  ItemClose = MakeItem("miClose", L"Close");
  ItemClose->SetShortCut(static_cast<TShortCut>(scAlt | VK_F4));
}

TMenuItem* TacSystemMenu::MakeItem(const char* Name, const wchar_t* Caption) {
  auto* Item = new TMenuItem(this);
  Item->SetCaption(WideString(Caption));
  Item->SetName(Name);
  Item->OnClick = [this](TObject* Sender) { ItemClick(Sender); };
  Items()->Add(Item);
  return Item;
}

void TacSystemMenu::ItemClick(TObject* Sender) {
  if (Dialog == nullptr || Dialog->Destroyed) return;
  HWND H = Dialog->CtrlHandle;
  if (Sender == ItemRestore) {
    SendMessageA(H, WM_SYSCOMMAND, SC_RESTORE, 0);
    UpdateItems();
  } else if (Sender == ItemMove) {
    SendMessageA(H, WM_SYSCOMMAND, SC_MOVE, 0);
  } else if (Sender == ItemSize) {
    SendMessageA(H, WM_SYSCOMMAND, SC_SIZE, 0);
  } else if (Sender == ItemMinimize) {
    SendMessageA(H, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (Sender == ItemMaximize) {
    SendMessageA(H, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    UpdateItems();
  } else if (Sender == ItemClose) {
    SendMessageA(H, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

bool TacSystemMenu::VisibleClose() { return Dialog != nullptr && Dialog->HasSysMenu(); }

void TacSystemMenu::UpdateItems() {
  if (Dialog == nullptr) return;
  const Byte K = Dialog->FrameKind;
  const bool Sys = Dialog->HasSysMenu();
  ItemRestore->SetVisible(K != 0 && K != 2 && K != 4 && K != 5 && Sys);
  ItemRestore->SetEnabled(Dialog->RestoreEnabled());
  ItemMove->SetVisible(true);
  ItemMove->SetEnabled(!Dialog->Zoomed());
  ItemSize->SetVisible(K != 0 && K != 2 && K != 4);
  ItemSize->SetEnabled(K != 1 && !Dialog->Iconic());
  ItemMinimize->SetVisible(Dialog->HasMinBox());
  ItemMinimize->SetEnabled(Dialog->MinEnabled());
  ItemMaximize->SetVisible(Dialog->HasMaxBox());
  ItemMaximize->SetEnabled(Dialog->MaxEnabled());
  ItemClose->SetVisible(Sys);
  ItemClose->SetEnabled(true);
}
