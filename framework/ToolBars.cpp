#include "framework/ToolBars.h"

#include <algorithm>

#include "framework/Menus.h"
#include "framework/Scopes.h"

namespace {

bool IsMouseMessage(UINT Msg) {
  return (Msg >= WM_MOUSEFIRST && Msg <= WM_MBUTTONDBLCLK) && Msg != WM_MOUSEWHEEL;
}

bool IsSeparator(TToolButtonStyle S) { return S == tbsSeparator || S == tbsDivider; }

BYTE ItemState(const TToolButton* B) {
  BYTE S = 0;
  if (B->Enabled()) S |= TBSTATE_ENABLED;
  if (B->Down()) S |= TBSTATE_CHECKED;
  if (B->Indeterminate()) S |= TBSTATE_INDETERMINATE;
  if (B->Marked()) S |= TBSTATE_MARKED;
  if (!B->Visible()) S |= TBSTATE_HIDDEN;
  return S;
}

BYTE ItemStyle(TToolButtonStyle S) {
  switch (S) {
    case tbsCheck: return BTNS_CHECK;
    case tbsDropDown: return BTNS_DROPDOWN;
    case tbsSeparator:
    case tbsDivider: return BTNS_SEP;
    default: return BTNS_BUTTON;
  }
}

// Runs Body with Canvas drawing on DC (the DC's state is given back afterwards).
template <class F>
void WithCanvasOn(TCanvas* Canvas, HDC DC, F&& Body) {
  const int Saved = SaveDC(DC);
  TScopeExit Restore([&] { RestoreDC(DC, Saved); });
  static_cast<TControlCanvas*>(Canvas)->DrawInto(DC, Body);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TToolButton

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption};
  SetBounds(0, 0, 23, 22);
}

TToolButton::~TToolButton() {
  Destroying();
  if (FToolBar != nullptr) FToolBar->RemoveButton(this);
  if (FDropdownMenu != nullptr) RemoveFreeNotification(FDropdownMenu);
}

int TToolButton::Index() const {
  if (FToolBar == nullptr) return -1;
  const auto& B = FToolBar->FButtons;
  const auto It = std::find(B.begin(), B.end(), this);
  return It == B.end() ? -1 : static_cast<int>(It - B.begin());
}

void TToolButton::Changed() {
  if (FToolBar != nullptr) FToolBar->UpdateButton(this);
}

void TToolButton::SetImageIndex(int Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  Changed();
}

void TToolButton::SetStyle(TToolButtonStyle Value) {
  if (FStyle == Value) return;
  const bool WasSeparator = IsSeparator(FStyle);
  FStyle = Value;
  // A separator is narrow unless its width was chosen.
  if (IsSeparator(Value) && !WasSeparator && Width() == 23) SetWidth(8);
  if (FToolBar != nullptr) FToolBar->RecreateButtons();
}

void TToolButton::SetDown(bool Value) {
  if (FDown == Value) return;
  FDown = Value;
  Changed();
}

void TToolButton::SetIndeterminate(bool Value) {
  if (FIndeterminate == Value) return;
  FIndeterminate = Value;
  Changed();
}

void TToolButton::SetMarked(bool Value) {
  if (FMarked == Value) return;
  FMarked = Value;
  Changed();
}

void TToolButton::SetDropdownMenu(TPopupMenu* Value) {
  if (FDropdownMenu == Value) return;
  if (FDropdownMenu != nullptr) RemoveFreeNotification(FDropdownMenu);
  FDropdownMenu = Value;
  if (FDropdownMenu != nullptr) FreeNotification(FDropdownMenu);
}

void TToolButton::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDropdownMenu) FDropdownMenu = nullptr;
}

void TToolButton::Click() { TGraphicControl::Click(); }

void TToolButton::WndProc(TMessage& M) {
  if (IsMouseMessage(M.Msg) && FToolBar != nullptr && FToolBar->HandleAllocated()) {
    const int X = static_cast<short>(LOWORD(M.LParam)) + Left();
    const int Y = static_cast<short>(HIWORD(M.LParam)) + Top();
    M.Result = CallSystemWindowProc(FToolBar->DefWndProc(), FToolBar->Handle(), M.Msg, M.WParam,
                                    MAKELPARAM(static_cast<WORD>(X), static_cast<WORD>(Y)));
    return;
  }
  TGraphicControl::WndProc(M);
}

void TToolButton::CMEnabledChanged(TMessage& M) {
  TGraphicControl::CMEnabledChanged(M);
  Changed();
}

void TToolButton::CMTextChanged(TMessage& M) {
  TGraphicControl::CMTextChanged(M);
  // A caption can change the size of every item.
  if (FToolBar != nullptr && FToolBar->ShowCaptions()) FToolBar->RecreateButtons();
}

void TToolButton::CMVisibleChanged(TMessage& M) {
  TGraphicControl::CMVisibleChanged(M);
  Changed();
}

// ---------------------------------------------------------------------------------------------
// TToolBar

TToolBar::TToolBar(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks};
  FColor = clBtnFace;
  FParentColor = false;
  SetBounds(0, 0, 150, 29);
  SetAlign(alTop);
  FImageLink = std::make_unique<TChangeLink>();
  FImageLink->OnChange = [this](TObject* Sender) { ImageListChange(Sender); };
}

TToolBar::~TToolBar() {
  Destroying();
  // The buttons are freed with the bar's children after this part of it is gone.
  for (TToolButton* B : FButtons) B->FToolBar = nullptr;
  FButtons.clear();
  for (TCustomImageList* L : {FImages, FHotImages}) {
    if (L == nullptr) continue;
    L->UnRegisterChanges(FImageLink.get());
    RemoveFreeNotification(L);
  }
  FImages = FHotImages = nullptr;
}

TToolButton* TToolBar::Buttons(int Index) const {
  if (static_cast<unsigned>(Index) >= FButtons.size()) TList::Error(Index);
  return FButtons[static_cast<unsigned>(Index)];
}

TToolButton* TToolBar::ButtonOfCommand(int Command) const {
  for (TToolButton* B : FButtons)
    if (B->FCommand == Command) return B;
  return nullptr;
}

void TToolBar::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  RecreateWnd();
}

void TToolBar::SetList(bool Value) {
  if (FList == Value) return;
  FList = Value;
  RecreateWnd();
}

void TToolBar::SetShowCaptions(bool Value) {
  if (FShowCaptions == Value) return;
  FShowCaptions = Value;
  RecreateWnd();
}

void TToolBar::SetButtonWidth(int Value) {
  Value = std::max(Value, 1);
  if (FButtonWidth == Value) return;
  FButtonWidth = Value;
  UpdateImages();
}

void TToolBar::SetButtonHeight(int Value) {
  Value = std::max(Value, 1);
  if (FButtonHeight == Value) return;
  FButtonHeight = Value;
  UpdateImages();
}

void TToolBar::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  LinkImages(this, FImages, Value, FImageLink.get(), FImages == FHotImages);
  UpdateImages();
}

void TToolBar::SetHotImages(TCustomImageList* Value) {
  if (FHotImages == Value) return;
  if (FHotImages != nullptr && FHotImages != FImages) RemoveFreeNotification(FHotImages);
  FHotImages = Value;
  if (FHotImages != nullptr) FreeNotification(FHotImages);
  UpdateImages();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove || AComponent == nullptr) return;
  bool Changed = false;
  if (AComponent == FImages) {
    FImages = nullptr;
    Changed = true;
  }
  if (AComponent == FHotImages) {
    FHotImages = nullptr;
    Changed = true;
  }
  if (Changed && !IsDestroying()) UpdateImages();
}

void TToolBar::ImageListChange(TObject*) {
  UpdateImages();
  Invalidate();
}

void TToolBar::SetEdgeBorders(TEdgeBorders Value) {
  if (FEdgeBorders == Value) return;
  FEdgeBorders = Value;
  FrameChanged();
}

void TToolBar::SetEdgeInner(TEdgeStyle Value) {
  if (FEdgeInner == Value) return;
  FEdgeInner = Value;
  FrameChanged();
}

void TToolBar::SetEdgeOuter(TEdgeStyle Value) {
  if (FEdgeOuter == Value) return;
  FEdgeOuter = Value;
  FrameChanged();
}

void TToolBar::SetBorderWidth(int Value) {
  Value = std::clamp(Value, 0, 100);
  if (FBorderWidth == Value) return;
  FBorderWidth = Value;
  FrameChanged();
}

int TToolBar::EdgeWidth(TEdgeBorder Side) const {
  if (!FEdgeBorders.Contains(Side)) return 0;
  return (FEdgeInner != esNone ? 1 : 0) + (FEdgeOuter != esNone ? 1 : 0);
}

void TToolBar::FrameChanged() {
  if (!HandleAllocated()) return;
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  UpdateButtonBounds();
}

void TToolBar::CreateParams(TCreateParams& Params) {
  InitCommonControlClasses(ICC_BAR_CLASSES);
  TCustomControl::CreateParams(Params);
  CreateSubClass(Params, TOOLBARCLASSNAMEW);
  // The framework places and sizes the bar.
  Params.Style |= WS_CLIPCHILDREN | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (FFlat) Params.Style |= TBSTYLE_FLAT;
  if (FList) Params.Style |= TBSTYLE_LIST;
}

void TToolBar::CreateWnd() {
  TCustomControl::CreateWnd();
  HWND H = Handle();
  SendMessageW(H, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(H, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  UpdateImages();
  RecreateButtons();
}

void TToolBar::UpdateImages() {
  if (!HandleAllocated() || IsDestroying()) return;
  HWND H = Handle();
  SendMessageW(H, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages != nullptr ? FImages->Handle() : nullptr));
  SendMessageW(H, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(FHotImages != nullptr ? FHotImages->Handle() : nullptr));
  if (FImages != nullptr) SendMessageW(H, TB_SETBITMAPSIZE, 0, MAKELONG(FImages->Width(), FImages->Height()));
  SendMessageW(H, TB_SETBUTTONSIZE, 0, MAKELONG(FButtonWidth, FButtonHeight));
  SendMessageW(H, TB_AUTOSIZE, 0, 0);
  UpdateButtonBounds();
  Invalidate();
}

void TToolBar::RecreateButtons() {
  if (!HandleAllocated() || IsDestroying()) return;
  HWND H = Handle();
  while (SendMessageW(H, TB_BUTTONCOUNT, 0, 0) > 0)
    if (!SendMessageW(H, TB_DELETEBUTTON, 0, 0)) break;
  for (TToolButton* B : FButtons) {
    TBBUTTON Item{};
    Item.idCommand = B->FCommand;
    Item.fsState = ItemState(B);
    Item.fsStyle = ItemStyle(B->FStyle);
    Item.dwData = reinterpret_cast<DWORD_PTR>(B);
    const WideString Caption = B->Caption();
    if (IsSeparator(B->FStyle)) {
      Item.iBitmap = B->Width();
      Item.iString = -1;
    } else {
      Item.iBitmap = B->FImageIndex >= 0 ? B->FImageIndex : I_IMAGENONE;
      Item.iString = FShowCaptions ? reinterpret_cast<INT_PTR>(Caption.c_str()) : -1;
    }
    SendMessageW(H, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&Item));
  }
  SendMessageW(H, TB_AUTOSIZE, 0, 0);
  UpdateButtonBounds();
  Invalidate();
}

void TToolBar::UpdateButton(TToolButton* B) {
  if (!HandleAllocated() || IsDestroying()) return;
  TBBUTTONINFOW Info{};
  Info.cbSize = sizeof(Info);
  Info.dwMask = TBIF_STATE;
  Info.fsState = ItemState(B);
  if (!IsSeparator(B->FStyle)) {
    Info.dwMask |= TBIF_IMAGE;
    Info.iImage = B->FImageIndex >= 0 ? B->FImageIndex : I_IMAGENONE;
  }
  SendMessageW(Handle(), TB_SETBUTTONINFOW, static_cast<WPARAM>(B->FCommand), reinterpret_cast<LPARAM>(&Info));
  UpdateButtonBounds();
}

void TToolBar::UpdateButtonBounds() {
  if (!HandleAllocated() || FUpdatingBounds || IsDestroying()) return;
  FUpdatingBounds = true;
  TScopeExit CleanUp([&] { FUpdatingBounds = false; });
  HWND H = Handle();
  // By command: the bar may still hold the item of a button that went (see RemoveButton).
  for (std::size_t I = 0; I < FButtons.size(); ++I) {
    RECT R{};
    if (SendMessageW(H, TB_GETRECT, static_cast<WPARAM>(FButtons[I]->FCommand), reinterpret_cast<LPARAM>(&R)))
      FButtons[I]->SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top);
  }
}

void TToolBar::InsertButton(TToolButton* B) {
  if (std::find(FButtons.begin(), FButtons.end(), B) != FButtons.end()) return;
  B->FToolBar = this;
  B->FCommand = FNextCommand++;
  FButtons.push_back(B);
  RecreateButtons();
}

void TToolBar::RemoveButton(TToolButton* B) {
  auto It = std::find(FButtons.begin(), FButtons.end(), B);
  if (It == FButtons.end()) return;
  FButtons.erase(It);
  B->FToolBar = nullptr;
  if (!HandleAllocated() || IsDestroying()) return;
  // The system's code of a click on the button may still be at work on the bar (the click's
  // handler freed the button), with the item's data: the item leaves once it has returned, and
  // hides until then.
  const HWND Bar = Handle();
  const WPARAM Command = static_cast<WPARAM>(B->FCommand);
  const bool Now = AfterSystemCalls(Bar, [Bar, Command] {
    const LRESULT Index = SendMessageW(Bar, TB_COMMANDTOINDEX, Command, 0);
    if (Index >= 0) SendMessageW(Bar, TB_DELETEBUTTON, static_cast<WPARAM>(Index), 0);
    if (auto* T = dynamic_cast<TToolBar*>(FindControl(Bar))) {
      T->UpdateButtonBounds();
      T->Invalidate();
    }
  });
  if (!Now) SendMessageW(Bar, TB_HIDEBUTTON, Command, MAKELPARAM(TRUE, 0));
}

void TToolBar::CMControlListChange(TMessage& M) {
  if (auto* B = dynamic_cast<TToolButton*>(reinterpret_cast<TControl*>(M.WParam))) {
    if (M.LParam != 0)
      InsertButton(B);
    else
      RemoveButton(B);
  }
  TCustomControl::CMControlListChange(M);
}

void TToolBar::CMFontChanged(TMessage& M) {
  TCustomControl::CMFontChanged(M);
  RecreateButtons();
}

void TToolBar::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case CN_NOTIFY: CNNotify(M); break;
    case CN_COMMAND: CNCommand(M); break;
    case WM_NCCALCSIZE: WMNCCalcSize(M); break;
    case WM_NCPAINT: WMNCPaint(M); break;
    default: TCustomControl::Dispatch(M); break;
  }
}

void TToolBar::PaintWindow(HDC DC) { TWinControl::PaintWindow(DC); }

void TToolBar::WMEraseBkgnd(TMessage& M) { DefaultHandler(M); }

void TToolBar::WMSize(TMessage& M) {
  TCustomControl::WMSize(M);
  UpdateButtonBounds();
}

void TToolBar::WMNCCalcSize(TMessage& M) {
  DefaultHandler(M);
  if (M.LParam == 0) return;
  RECT* R = M.WParam != 0 ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(M.LParam)->rgrc[0] : reinterpret_cast<RECT*>(M.LParam);
  R->left += EdgeWidth(ebLeft) + FBorderWidth;
  R->top += EdgeWidth(ebTop) + FBorderWidth;
  R->right -= EdgeWidth(ebRight) + FBorderWidth;
  R->bottom -= EdgeWidth(ebBottom) + FBorderWidth;
  R->right = std::max(R->right, R->left);
  R->bottom = std::max(R->bottom, R->top);
}

void TToolBar::WMNCPaint(TMessage& M) {
  DefaultHandler(M);
  if (!HandleAllocated()) return;
  HWND H = Handle();
  RECT All, Client;
  GetWindowAndClientRects(H, All, Client);
  if (EqualRect(&All, &Client)) return;
  HDC DC = GetWindowDC(H);
  if (DC == nullptr) return;
  ExcludeClipRect(DC, Client.left, Client.top, Client.right, Client.bottom);
  FillRect(DC, &All, Brush()->Handle());
  UINT Edge = 0;
  if (FEdgeOuter == esRaised) Edge |= BDR_RAISEDOUTER;
  if (FEdgeOuter == esLowered) Edge |= BDR_SUNKENOUTER;
  if (FEdgeInner == esRaised) Edge |= BDR_RAISEDINNER;
  if (FEdgeInner == esLowered) Edge |= BDR_SUNKENINNER;
  UINT Sides = 0;
  if (FEdgeBorders.Contains(ebLeft)) Sides |= BF_LEFT;
  if (FEdgeBorders.Contains(ebTop)) Sides |= BF_TOP;
  if (FEdgeBorders.Contains(ebRight)) Sides |= BF_RIGHT;
  if (FEdgeBorders.Contains(ebBottom)) Sides |= BF_BOTTOM;
  if (Edge != 0 && Sides != 0) DrawEdge(DC, &All, Edge, Sides);
  ReleaseDC(H, DC);
}

void TToolBar::CNCommand(TMessage& M) {
  TToolButton* B = ButtonOfCommand(LOWORD(M.WParam));
  if (B == nullptr) return;
  if (B->FStyle == tbsCheck && HandleAllocated())
    B->FDown = SendMessageW(Handle(), TB_ISBUTTONCHECKED, static_cast<WPARAM>(B->FCommand), 0) != 0;
  B->Click();
}

void TToolBar::CNNotify(TMessage& M) {
  auto* N = reinterpret_cast<NMHDR*>(M.LParam);
  if (N == nullptr) return;
  switch (N->code) {
    case NM_CUSTOMDRAW:
      M.Result = CustomDraw(*reinterpret_cast<NMTBCUSTOMDRAW*>(N));
      break;
    case TBN_DROPDOWN: {
      const auto* T = reinterpret_cast<NMTOOLBARW*>(N);
      DropDown(ButtonOfCommand(T->iItem));
      M.Result = TBDDRET_DEFAULT;
      break;
    }
    default:
      break;
  }
}

void TToolBar::DropDown(TToolButton* Button) {
  if (Button == nullptr || Button->FDropdownMenu == nullptr || !HandleAllocated()) return;
  RECT R{};
  SendMessageW(Handle(), TB_GETRECT, static_cast<WPARAM>(Button->FCommand), reinterpret_cast<LPARAM>(&R));
  const TPoint P = ClientToScreen(Point(R.left, R.bottom));
  TPopupMenu* Menu = Button->FDropdownMenu;
  Menu->SetPopupComponent(Button);
  const TFreeWatch Bar(this);
  Menu->Popup(P.X, P.Y);
  // The menu has closed: whoever draws the drop-down state hears of it, unless the bar went
  // while the menu was open.
  if (!Bar.Freed() && HandleAllocated()) Perform(CN_DROPDOWNCLOSED, 0, 0);
}

LRESULT TToolBar::CustomDraw(NMTBCUSTOMDRAW& Info) {
  NMCUSTOMDRAW& D = Info.nmcd;
  const bool Item = (D.dwDrawStage & CDDS_ITEM) != 0;
  TCustomDrawStage Stage;
  switch (D.dwDrawStage & ~CDDS_ITEM) {
    case CDDS_PREPAINT: Stage = cdPrePaint; break;
    case CDDS_POSTPAINT: Stage = cdPostPaint; break;
    case CDDS_PREERASE: Stage = cdPreErase; break;
    case CDDS_POSTERASE: Stage = cdPostErase; break;
    default: return CDRF_DODEFAULT;
  }
  if (!Item) {
    LRESULT Result = CDRF_DODEFAULT;
    if (OnAdvancedCustomDraw) {
      bool DefaultDraw = true;
      // The area being painted: the system may report only the buttons' part of it.
      RECT Area = D.rc;
      RECT Clip{};
      const int Kind = GetClipBox(D.hdc, &Clip);
      if (Kind != ERROR && Kind != NULLREGION) Area = Clip;
      const TRect R{Area.left, Area.top, Area.right, Area.bottom};
      WithCanvasOn(Canvas(), D.hdc, [&] { OnAdvancedCustomDraw(this, R, Stage, DefaultDraw); });
      if (!DefaultDraw) return CDRF_SKIPDEFAULT;
      if (Stage == cdPrePaint) Result |= CDRF_NOTIFYPOSTPAINT;
    }
    if (Stage == cdPrePaint && OnAdvancedCustomDrawButton) Result |= CDRF_NOTIFYITEMDRAW;
    return Result;
  }
  TToolButton* B = ButtonOfCommand(static_cast<int>(D.dwItemSpec));
  if (!OnAdvancedCustomDrawButton || B == nullptr) return CDRF_DODEFAULT;
  TTBCustomDrawFlags Flags;
  bool DefaultDraw = true;
  const TCustomDrawState State = CustomDrawStateOf(D.uItemState);
  WithCanvasOn(Canvas(), D.hdc, [&] { OnAdvancedCustomDrawButton(this, B, State, Stage, Flags, DefaultDraw); });
  if (!DefaultDraw) return CDRF_SKIPDEFAULT;
  LRESULT Result = CDRF_DODEFAULT;
  if (Stage == cdPrePaint) Result |= CDRF_NOTIFYPOSTPAINT;
  if (Flags.Contains(tbNoEdges)) Result |= TBCDRF_NOEDGES;
  if (Flags.Contains(tbHiliteHotTrack)) Result |= TBCDRF_HILITEHOTTRACK;
  if (Flags.Contains(tbNoOffset)) Result |= TBCDRF_NOOFFSET;
  if (Flags.Contains(tbNoMark)) Result |= TBCDRF_NOMARK;
  if (Flags.Contains(tbNoEtchedEffect)) Result |= TBCDRF_NOETCHEDEFFECT;
  return Result;
}
