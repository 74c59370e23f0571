#include "framework/ComCtrls.h"

#include <algorithm>

#include "framework/Strings.h"

void InitCommonControlClasses(DWORD Classes) {
  static DWORD Done = 0;
  if ((Done & Classes) == Classes) return;
  INITCOMMONCONTROLSEX Init{sizeof(Init), Classes};
  if (InitCommonControlsEx(&Init)) Done |= Classes;
}

TCustomDrawState CustomDrawStateOf(UINT ItemState) {
  static const struct {
    UINT Bit;
    TCustomDrawStateItem Item;
  } Map[] = {{CDIS_SELECTED, cdsSelected}, {CDIS_GRAYED, cdsGrayed},   {CDIS_DISABLED, cdsDisabled},
             {CDIS_CHECKED, cdsChecked},   {CDIS_FOCUS, cdsFocused},   {CDIS_DEFAULT, cdsDefault},
             {CDIS_HOT, cdsHot},           {CDIS_MARKED, cdsMarked},   {CDIS_INDETERMINATE, cdsIndeterminate}};
  TCustomDrawState S;
  for (const auto& M : Map)
    if ((ItemState & M.Bit) != 0) S.Include(M.Item);
  return S;
}

// ---------------------------------------------------------------------------------------------
// TStatusPanel, TStatusPanels

TStatusPanel::TStatusPanel(TCollection* Collection) : TCollectionItem(Collection) {
  // While the base joined the collection the panel was not whole yet, so the bar skipped it.
  Changed(false);
}

void TStatusPanel::Assign(TPersistent* Source) {
  if (auto* P = dynamic_cast<TStatusPanel*>(Source)) {
    FText = P->FText;
    FWidth = P->FWidth;
    FAlignment = P->FAlignment;
    Changed(false);
    return;
  }
  TCollectionItem::Assign(Source);
}

void TStatusPanel::SetText(const WideString& Value) {
  if (FText == Value) return;
  FText = Value;
  Changed(false);
}

void TStatusPanel::SetWidth(int Value) {
  Value = std::max(Value, 0);
  if (FWidth == Value) return;
  FWidth = Value;
  Changed(false);
}

void TStatusPanel::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Changed(false);
}

TStatusPanels::TStatusPanels(TStatusBar* AStatusBar)
    : TCollection(ItemClassOf<TStatusPanel>()), FStatusBar(AStatusBar) {}

TPersistent* TStatusPanels::GetOwner() { return FStatusBar; }

void TStatusPanels::Update(TCollectionItem*) {
  if (FStatusBar != nullptr && UpdateCount() == 0) FStatusBar->UpdatePanels();
}

// ---------------------------------------------------------------------------------------------
// TStatusBar

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {
  FPanels = std::make_unique<TStatusPanels>(this);
  FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque};
  FColor = clBtnFace;
  FParentColor = false;
  SetBounds(0, 0, 150, 19);
  SetAlign(alBottom);
}

TStatusBar::~TStatusBar() {
  Destroying();
  // The panels tell a bar that is going away nothing more.
  FPanels->BeginUpdate();
}

void TStatusBar::CreateParams(TCreateParams& Params) {
  InitCommonControlClasses(ICC_BAR_CLASSES);
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, STATUSCLASSNAMEW);
  // The framework places and sizes the bar (alignment), not the control itself.
  Params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
}

void TStatusBar::CreateWnd() {
  TWinControl::CreateWnd();
  UpdatePanels();
}

void TStatusBar::SetSimplePanel(bool Value) {
  if (FSimplePanel == Value) return;
  FSimplePanel = Value;
  UpdatePanels();
}

void TStatusBar::SetSimpleText(const WideString& Value) {
  if (FSimpleText == Value) return;
  FSimpleText = Value;
  UpdatePanels();
}

void TStatusBar::SetBorderWidth(int Value) {
  Value = std::clamp(Value, 0, 100);
  if (FBorderWidth == Value) return;
  FBorderWidth = Value;
  if (HandleAllocated())
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TStatusBar::UpdatePanels() {
  if (!HandleAllocated() || IsDestroying()) return;
  HWND H = Handle();
  if (FSimplePanel) {
    SendMessageW(H, SB_SIMPLE, TRUE, 0);
    SendMessageW(H, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
    Invalidate();
    return;
  }
  SendMessageW(H, SB_SIMPLE, FALSE, 0);
  const int N = FPanels->Count();
  if (N == 0) {
    // A bar without panels shows its simple text in its single part.
    int Right = -1;
    SendMessageW(H, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&Right));
    SendMessageW(H, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
    Invalidate();
    return;
  }
  // A panel still being made (the collection hears of it from the base's constructor) is not a
  // TStatusPanel yet: it counts with the default width and no text until it tells again.
  auto PanelAt = [this](int I) { return dynamic_cast<const TStatusPanel*>(FPanels->TCollection::Items(I)); };
  std::vector<int> Rights(static_cast<std::size_t>(N));
  int X = 0;
  for (int I = 0; I < N; ++I) {
    const TStatusPanel* P = PanelAt(I);
    X += P != nullptr ? P->Width() : 50;
    Rights[static_cast<std::size_t>(I)] = I == N - 1 ? -1 : X;
  }
  SendMessageW(H, SB_SETPARTS, static_cast<WPARAM>(N), reinterpret_cast<LPARAM>(Rights.data()));
  for (int I = 0; I < N; ++I) {
    const TStatusPanel* P = PanelAt(I);
    if (P == nullptr) continue;
    // The control centres text after one tab and right-aligns it after two.
    const WideString Prefix = P->Alignment() == taCenter ? L"\t" : P->Alignment() == taRightJustify ? L"\t\t" : L"";
    const WideString Text = Prefix + P->Text();
    SendMessageW(H, SB_SETTEXTW, static_cast<WPARAM>(I), reinterpret_cast<LPARAM>(Text.c_str()));
  }
  Invalidate();
}

void TStatusBar::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_NCCALCSIZE: WMNCCalcSize(M); break;
    case WM_NCPAINT: WMNCPaint(M); break;
    default: TWinControl::Dispatch(M); break;
  }
}

void TStatusBar::WMSize(TMessage& M) {
  TWinControl::WMSize(M);
  Invalidate();
}

void TStatusBar::WMNCCalcSize(TMessage& M) {
  DefaultHandler(M);
  if (FBorderWidth <= 0 || M.LParam == 0) return;
  RECT* R = M.WParam != 0 ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(M.LParam)->rgrc[0] : reinterpret_cast<RECT*>(M.LParam);
  const int BX = std::min<int>(FBorderWidth, (R->right - R->left) / 2);
  const int BY = std::min<int>(FBorderWidth, (R->bottom - R->top) / 2);
  R->left += BX;
  R->right -= BX;
  R->top += BY;
  R->bottom -= BY;
}

void TStatusBar::WMNCPaint(TMessage& M) {
  DefaultHandler(M);
  if (FBorderWidth <= 0 || !HandleAllocated()) return;
  HWND H = Handle();
  RECT All, Client;
  GetWindowAndClientRects(H, All, Client);
  HDC DC = GetWindowDC(H);
  if (DC == nullptr) return;
  ExcludeClipRect(DC, Client.left, Client.top, Client.right, Client.bottom);
  FillRect(DC, &All, Brush()->Handle());
  ReleaseDC(H, DC);
}

// ---------------------------------------------------------------------------------------------
// TCustomTabControl

TCustomTabControl::TCustomTabControl(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csDoubleClicks};
  FColor = clBtnFace;
  FParentColor = false;
  SetBounds(0, 0, 289, 193);
  SetTabStop(true);
  FImageLink = std::make_unique<TChangeLink>();
  FImageLink->OnChange = [this](TObject* Sender) { ImageListChange(Sender); };
}

TCustomTabControl::~TCustomTabControl() {
  if (FImages != nullptr) {
    FImages->UnRegisterChanges(FImageLink.get());
    RemoveFreeNotification(FImages);
    FImages = nullptr;
  }
}

void TCustomTabControl::SetTabPosition(TTabPosition Value) {
  if (FTabPosition == Value) return;
  FTabPosition = Value;
  RecreateWnd();
}

void TCustomTabControl::SetStyle(TTabStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  RecreateWnd();
}

void TCustomTabControl::SetMultiLine(bool Value) {
  if (FMultiLine == Value) return;
  FMultiLine = Value;
  RecreateWnd();
}

void TCustomTabControl::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  LinkImages(this, FImages, Value, FImageLink.get());
  ImageListChange(nullptr);
}

void TCustomTabControl::ImageListChange(TObject*) {
  if (!HandleAllocated()) return;
  SendMessageW(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages != nullptr ? FImages->Handle() : nullptr));
  Realign();
  Invalidate();
}

void TCustomTabControl::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages && FImages != nullptr) {
    FImages = nullptr;
    if (HandleAllocated() && !IsDestroying()) SendMessageW(Handle(), TCM_SETIMAGELIST, 0, 0);
  }
}

int TCustomTabControl::TabIndex() const {
  if (FHandle != nullptr) return static_cast<int>(SendMessageW(FHandle, TCM_GETCURSEL, 0, 0));
  return FTabIndex;
}

void TCustomTabControl::SetTabIndex(int Value) {
  if (Value < -1 || Value >= TabCount()) Value = -1;
  FTabIndex = Value;
  if (FHandle != nullptr) SendMessageW(FHandle, TCM_SETCURSEL, static_cast<WPARAM>(Value), 0);
}

TRect TCustomTabControl::DisplayRect() {
  TRect R = ClientRect();
  AdjustClientRect(R);
  return R;
}

void TCustomTabControl::AdjustClientRect(TRect& Rect) {
  TWinControl::AdjustClientRect(Rect);
  if (FHandle == nullptr) return;
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  SendMessageW(FHandle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&R));
  Rect = TRect{R.left, R.top, std::max(R.left, R.right), std::max(R.top, R.bottom)};
}

void TCustomTabControl::SetTabs(const std::vector<TTabItem>& Tabs) {
  FTabs = Tabs;
  if (FTabIndex >= TabCount()) FTabIndex = TabCount() - 1;
  SendTabs();
}

void TCustomTabControl::SendTabs() {
  if (FHandle == nullptr) return;
  SendMessageW(FHandle, TCM_DELETEALLITEMS, 0, 0);
  for (std::size_t I = 0; I < FTabs.size(); ++I) {
    TCITEMW Item{};
    Item.mask = TCIF_TEXT | TCIF_IMAGE;
    Item.pszText = const_cast<wchar_t*>(FTabs[I].Caption.c_str());
    Item.iImage = FTabs[I].ImageIndex;
    SendMessageW(FHandle, TCM_INSERTITEMW, I, reinterpret_cast<LPARAM>(&Item));
  }
  // More or fewer rows move the display area.
  Realign();
  Invalidate();
}

void TCustomTabControl::CreateParams(TCreateParams& Params) {
  InitCommonControlClasses(ICC_TAB_CLASSES);
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_TABCONTROLW);
  Params.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  switch (FStyle) {
    case tsButtons: Params.Style |= TCS_BUTTONS; break;
    case tsFlatButtons: Params.Style |= TCS_BUTTONS | TCS_FLATBUTTONS; break;
    default: break;
  }
  if (FMultiLine) Params.Style |= TCS_MULTILINE;
  switch (FTabPosition) {
    case tpBottom: Params.Style |= TCS_BOTTOM; break;
    // Side tabs stand in rows of their own.
    case tpLeft: Params.Style |= TCS_VERTICAL | TCS_MULTILINE; break;
    case tpRight: Params.Style |= TCS_VERTICAL | TCS_RIGHT | TCS_MULTILINE; break;
    default: break;
  }
}

void TCustomTabControl::CreateWnd() {
  TWinControl::CreateWnd();
  if (FImages != nullptr)
    SendMessageW(FHandle, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages->Handle()));
  SendTabs();
  // Without a choice the control's own (the first tab) stands.
  if (FTabIndex >= 0) SendMessageW(FHandle, TCM_SETCURSEL, static_cast<WPARAM>(FTabIndex), 0);
  Realign();
}

void TCustomTabControl::DestroyWnd() {
  // Kept for a window made again; a control that is going away asks its window nothing.
  if (FHandle != nullptr && !IsDestroying()) FTabIndex = static_cast<int>(SendMessageW(FHandle, TCM_GETCURSEL, 0, 0));
  TWinControl::DestroyWnd();
}

void TCustomTabControl::WMSize(TMessage& M) {
  TWinControl::WMSize(M);
  // The rows of a multi-line control follow its width.
  Invalidate();
}

bool TCustomTabControl::CanChange() {
  bool Allow = true;
  Fire(OnChanging, this, Allow);
  return Allow;
}

void TCustomTabControl::Change() { Fire(OnChange, this); }

void TCustomTabControl::Dispatch(TMessage& M) {
  if (M.Msg == CN_NOTIFY) {
    CNNotify(M);
    return;
  }
  TWinControl::Dispatch(M);
}

void TCustomTabControl::CNNotify(TMessage& M) {
  const auto* N = reinterpret_cast<const NMHDR*>(M.LParam);
  if (N == nullptr) return;
  switch (N->code) {
    case TCN_SELCHANGING:
      M.Result = CanChange() ? 0 : 1;
      break;
    case TCN_SELCHANGE:
      FTabIndex = TabIndex();
      Change();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// TTabControl

TTabControl::TTabControl(TComponent* AOwner) : TCustomTabControl(AOwner) {
  FTabList = std::make_unique<TStringList>();
  FTabList->OnChange = [this](TObject* Sender) { TabsChanged(Sender); };
}

TTabControl::~TTabControl() { FTabList->OnChange = nullptr; }

void TTabControl::TabsChanged(TObject*) {
  std::vector<TTabItem> Items;
  for (int I = 0; I < FTabList->Count(); ++I) Items.push_back(TTabItem{AnsiToWide(FTabList->Strings(I)), I});
  const int Sel = TabIndex();
  SetTabs(Items);
  // The selection stays where it can; a control with tabs has one selected.
  SetTabIndex(std::clamp(Sel, TabCount() > 0 ? 0 : -1, TabCount() - 1));
}

// ---------------------------------------------------------------------------------------------
// TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks};
  FColor = clBtnFace;
  FParentColor = false;
  // A page shows only while it is its page control's active page.
  FVisible = false;
}

TTabSheet::~TTabSheet() {
  Destroying();
  if (FPageControl != nullptr) FPageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* Value) { SetParent(Value); }

int TTabSheet::PageIndex() const {
  if (FPageControl == nullptr) return -1;
  const auto& P = FPageControl->FPages;
  return static_cast<int>(std::find(P.begin(), P.end(), this) - P.begin());
}

void TTabSheet::SetPageIndex(int Value) {
  if (FPageControl != nullptr) FPageControl->MovePage(this, Value);
}

int TTabSheet::TabIndex() const {
  if (FPageControl == nullptr || !FTabVisible) return -1;
  int N = 0;
  for (TTabSheet* S : FPageControl->FPages) {
    if (S == this) return N;
    if (S->FTabVisible) ++N;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool Value) {
  if (FTabVisible == Value) return;
  FTabVisible = Value;
  if (FPageControl != nullptr) FPageControl->UpdateTabs();
}

void TTabSheet::SetImageIndex(int Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  if (FPageControl != nullptr) FPageControl->UpdateTabs();
}

void TTabSheet::CMTextChanged(TMessage& M) {
  TWinControl::CMTextChanged(M);
  if (FPageControl != nullptr) FPageControl->UpdateTabs();
}

// ---------------------------------------------------------------------------------------------
// TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TCustomTabControl(AOwner) {}

TPageControl::~TPageControl() {
  Destroying();
  // The pages are freed with the control's children after this part of it is gone: they must not
  // call back.
  for (TTabSheet* P : FPages) P->FPageControl = nullptr;
  FPages.clear();
  FActivePage = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const {
  if (static_cast<unsigned>(Index) >= FPages.size()) TList::Error(Index);
  return FPages[static_cast<unsigned>(Index)];
}

int TPageControl::ActivePageIndex() const { return FActivePage != nullptr ? FActivePage->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int Value) {
  SetActivePage(Value >= 0 && Value < PageCount() ? FPages[static_cast<unsigned>(Value)] : nullptr);
}

TTabSheet* TPageControl::PageOfTab(int TabIndex) const {
  if (TabIndex < 0) return nullptr;
  int N = 0;
  for (TTabSheet* S : FPages) {
    if (!S->FTabVisible) continue;
    if (N == TabIndex) return S;
    ++N;
  }
  return nullptr;
}

void TPageControl::SetActivePage(TTabSheet* Page) {
  if (Page != nullptr && Page->FPageControl != this) return;
  FActivePage = Page;
  SetTabIndex(Page != nullptr ? Page->TabIndex() : -1);
  ShowActivePage();
}

void TPageControl::ShowActivePage() {
  if (IsDestroying()) return;
  const TRect R = DisplayRect();
  for (TTabSheet* P : std::vector<TTabSheet*>(FPages)) {
    if (P == FActivePage) {
      P->SetBounds(R.Left, R.Top, R.Width(), R.Height());
      P->SetVisible(true);
      P->BringToFront();
    } else {
      P->SetVisible(false);
    }
  }
}

void TPageControl::InsertPage(TTabSheet* Page) {
  if (std::find(FPages.begin(), FPages.end(), Page) != FPages.end()) return;
  FPages.push_back(Page);
  Page->FPageControl = this;
  UpdateTabs();
  // The first page of a control becomes its active page.
  if (FActivePage == nullptr) FActivePage = Page;
  SetTabIndex(FActivePage->TabIndex());
  ShowActivePage();
}

void TPageControl::RemovePage(TTabSheet* Page) {
  auto It = std::find(FPages.begin(), FPages.end(), Page);
  if (It == FPages.end()) return;
  const auto Index = It - FPages.begin();
  FPages.erase(It);
  Page->FPageControl = nullptr;
  if (FActivePage == Page) {
    // The page after it (or the last one) takes its place.
    FActivePage = FPages.empty() ? nullptr : FPages[static_cast<std::size_t>(std::min<std::ptrdiff_t>(Index, FPages.size() - 1))];
  }
  if (IsDestroying()) return;
  UpdateTabs();
  SetTabIndex(FActivePage != nullptr ? FActivePage->TabIndex() : -1);
  ShowActivePage();
}

void TPageControl::MovePage(TTabSheet* Page, int NewIndex) {
  auto It = std::find(FPages.begin(), FPages.end(), Page);
  if (It == FPages.end()) return;
  FPages.erase(It);
  NewIndex = std::clamp(NewIndex, 0, PageCount());
  FPages.insert(FPages.begin() + NewIndex, Page);
  UpdateTabs();
  SetTabIndex(FActivePage != nullptr ? FActivePage->TabIndex() : -1);
}

void TPageControl::UpdateTabs() {
  if (IsDestroying()) return;
  std::vector<TTabItem> Items;
  for (TTabSheet* S : FPages)
    if (S->FTabVisible) Items.push_back(TTabItem{S->Caption(), S->FImageIndex});
  SetTabs(Items);
  SetTabIndex(FActivePage != nullptr ? FActivePage->TabIndex() : -1);
}

bool TPageControl::CanChange() { return TCustomTabControl::CanChange(); }

void TPageControl::Change() {
  FActivePage = PageOfTab(TabIndex());
  ShowActivePage();
  TCustomTabControl::Change();
}

void TPageControl::AlignControls(TControl* AControl, TRect& Rect) {
  TCustomTabControl::AlignControls(AControl, Rect);
  if (FActivePage != nullptr && !IsDestroying()) {
    const TRect R = DisplayRect();
    FActivePage->SetBounds(R.Left, R.Top, R.Width(), R.Height());
  }
}

void TPageControl::CreateWnd() {
  TCustomTabControl::CreateWnd();
  SetTabIndex(FActivePage != nullptr ? FActivePage->TabIndex() : -1);
  ShowActivePage();
}

void TPageControl::CMControlListChange(TMessage& M) {
  if (auto* S = dynamic_cast<TTabSheet*>(reinterpret_cast<TControl*>(M.WParam))) {
    if (M.LParam != 0)
      InsertPage(S);
    else
      RemovePage(S);
  }
  TCustomTabControl::CMControlListChange(M);
}
