#include "framework/ListViews.h"

#include <algorithm>

#include "framework/Scopes.h"

// ---------------------------------------------------------------------------------------------
// TListColumn, TListColumns

TListColumn::TListColumn(TCollection* Collection) : TCollectionItem(Collection) {
  // While the base joined the collection the column was not whole yet, so the list skipped it.
  Changed(false);
}

void TListColumn::SetCaption(const WideString& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  Changed(false);
}

void TListColumn::SetWidth(int Value) {
  Value = std::max(Value, 0);
  if (FWidth == Value) return;
  FWidth = Value;
  Changed(false);
}

void TListColumn::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Changed(false);
}

void TListColumn::SetImageIndex(int Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  Changed(false);
}

TListColumns::TListColumns(TListView* AOwner) : TCollection(ItemClassOf<TListColumn>()), FOwner(AOwner) {}

TPersistent* TListColumns::GetOwner() { return FOwner; }

void TListColumns::Update(TCollectionItem*) {
  if (FOwner != nullptr && UpdateCount() == 0) FOwner->UpdateColumns();
}

// ---------------------------------------------------------------------------------------------
// TListView

TListView::TListView(TComponent* AOwner) : TWinControl(AOwner) {
  FColumns = std::make_unique<TListColumns>(this);
  FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks};
  FColor = clWindow;
  FParentColor = false;
  SetBounds(0, 0, 250, 150);
  SetTabStop(true);
  FImageLink = std::make_unique<TChangeLink>();
  FImageLink->OnChange = [this](TObject* Sender) { ImageListChange(Sender); };
}

TListView::~TListView() {
  Destroying();
  FColumns->BeginUpdate();
  if (FSmallImages != nullptr) {
    FSmallImages->UnRegisterChanges(FImageLink.get());
    RemoveFreeNotification(FSmallImages);
    FSmallImages = nullptr;
  }
}

void TListView::CreateParams(TCreateParams& Params) {
  InitCommonControlClasses(ICC_LISTVIEW_CLASSES);
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_LISTVIEWW);
  static const DWORD Styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  Params.Style |= LVS_SHAREIMAGELISTS | Styles[FViewStyle];
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListView::CreateWnd() {
  TWinControl::CreateWnd();
  ImageListChange(nullptr);
  UpdateColumns();
  for (int I = 0; I < ItemCount(); ++I) SendItem(I);
}

void TListView::WMEraseBkgnd(TMessage& M) { DefaultHandler(M); }

void TListView::SetViewStyle(TViewStyle Value) {
  if (FViewStyle == Value) return;
  FViewStyle = Value;
  RecreateWnd();
}

void TListView::SetSmallImages(TCustomImageList* Value) {
  if (FSmallImages == Value) return;
  LinkImages(this, FSmallImages, Value, FImageLink.get());
  ImageListChange(nullptr);
}

void TListView::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FSmallImages && FSmallImages != nullptr) {
    FSmallImages = nullptr;
    if (!IsDestroying()) ImageListChange(nullptr);
  }
}

void TListView::ImageListChange(TObject*) {
  if (!HandleAllocated() || IsDestroying()) return;
  HIMAGELIST L = FSmallImages != nullptr ? FSmallImages->Handle() : nullptr;
  SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(L));
  // The column headers take their images from the same list.
  if (HWND Header = reinterpret_cast<HWND>(SendMessageW(Handle(), LVM_GETHEADER, 0, 0)))
    SendMessageW(Header, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(L));
  Invalidate();
}

void TListView::UpdateColumns() {
  if (!HandleAllocated() || IsDestroying()) return;
  HWND H = Handle();
  while (SendMessageW(H, LVM_DELETECOLUMN, 0, 0)) {
  }
  for (int I = 0; I < FColumns->Count(); ++I) {
    // A column still being made is not a TListColumn yet (see its constructor).
    const auto* C = dynamic_cast<const TListColumn*>(FColumns->TCollection::Items(I));
    if (C == nullptr) break;
    LVCOLUMNW Col{};
    Col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    Col.fmt = C->Alignment() == taRightJustify ? LVCFMT_RIGHT : C->Alignment() == taCenter ? LVCFMT_CENTER : LVCFMT_LEFT;
    Col.cx = C->Width();
    Col.pszText = const_cast<wchar_t*>(C->Caption().c_str());
    if (C->ImageIndex() >= 0) {
      Col.mask |= LVCF_IMAGE;
      Col.fmt |= LVCFMT_IMAGE;
      Col.iImage = C->ImageIndex();
    }
    SendMessageW(H, LVM_INSERTCOLUMNW, static_cast<WPARAM>(I), reinterpret_cast<LPARAM>(&Col));
  }
}

int TListView::AddItem(const WideString& Caption, const std::vector<WideString>& SubItems, int ImageIndex) {
  FItems.push_back(TListItem{Caption, SubItems, ImageIndex});
  const int Index = ItemCount() - 1;
  SendItem(Index);
  return Index;
}

const TListItem& TListView::Items(int Index) const {
  if (static_cast<unsigned>(Index) >= FItems.size()) TList::Error(Index);
  return FItems[static_cast<unsigned>(Index)];
}

void TListView::ClearItems() {
  FItems.clear();
  if (HandleAllocated()) SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0);
}

void TListView::SendItem(int Index) {
  if (!HandleAllocated()) return;
  const TListItem& Item = FItems[static_cast<unsigned>(Index)];
  LVITEMW LI{};
  LI.mask = LVIF_TEXT | LVIF_IMAGE;
  LI.iItem = Index;
  LI.pszText = const_cast<wchar_t*>(Item.Caption.c_str());
  LI.iImage = Item.ImageIndex;
  const int At = static_cast<int>(SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&LI)));
  if (At < 0) return;
  for (std::size_t S = 0; S < Item.SubItems.size(); ++S) {
    LVITEMW Sub{};
    Sub.iSubItem = static_cast<int>(S) + 1;
    Sub.pszText = const_cast<wchar_t*>(Item.SubItems[S].c_str());
    SendMessageW(Handle(), LVM_SETITEMTEXTW, static_cast<WPARAM>(At), reinterpret_cast<LPARAM>(&Sub));
  }
}

// ---------------------------------------------------------------------------------------------
// TTreeNode

TTreeNode* TTreeNode::Item(int Index) const {
  if (static_cast<unsigned>(Index) >= FChildren.size()) TList::Error(Index);
  return FChildren[static_cast<unsigned>(Index)].get();
}

void TTreeNode::SetText(const WideString& Value) {
  FText = Value;
  if (FItem == nullptr || !FTree->HandleAllocated()) return;
  TVITEMW Item{};
  Item.mask = TVIF_TEXT;
  Item.hItem = FItem;
  Item.pszText = const_cast<wchar_t*>(FText.c_str());
  SendMessageW(FTree->Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&Item));
}

void TTreeNode::SetExpanded(bool Value) {
  FExpanded = Value;
  if (FItem != nullptr && FTree->HandleAllocated())
    SendMessageW(FTree->Handle(), TVM_EXPAND, Value ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(FItem));
}

// ---------------------------------------------------------------------------------------------
// TCustomTreeView

TCustomTreeView::TCustomTreeView(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks};
  FColor = clWindow;
  FParentColor = false;
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  FCanvas = std::make_unique<TControlCanvas>();
  FCanvas->SetControl(this);
}

TCustomTreeView::~TCustomTreeView() {
  Destroying();
  DestroyHandle();
  FRoots.clear();
}

void TCustomTreeView::CreateParams(TCreateParams& Params) {
  InitCommonControlClasses(ICC_TREEVIEW_CLASSES);
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_TREEVIEWW);
  Params.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::CreateWnd() {
  TWinControl::CreateWnd();
  SendColors();
  for (auto& N : FRoots) SendNode(N.get());
}

void TCustomTreeView::SendColors() {
  if (!HandleAllocated() || IsDestroying()) return;
  SendMessageW(Handle(), TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
  SendMessageW(Handle(), TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Font()->Color())));
}

void TCustomTreeView::CMColorChanged(TMessage& M) {
  TWinControl::CMColorChanged(M);
  SendColors();
}

void TCustomTreeView::CMFontChanged(TMessage& M) {
  TWinControl::CMFontChanged(M);
  SendColors();
}

void TCustomTreeView::DestroyWnd() {
  for (auto& N : FRoots) ForgetItems(N.get());
  FCanvas->FreeHandle();
  TWinControl::DestroyWnd();
}

void TCustomTreeView::ForgetItems(TTreeNode* Node) {
  // A tree that is going away asks its window nothing (it may be taken over by others that are
  // gone already).
  if (Node->FItem != nullptr && HandleAllocated() && !IsDestroying())
    Node->FExpanded = (SendMessageW(Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Node->FItem), TVIS_EXPANDED) &
                       TVIS_EXPANDED) != 0;
  Node->FItem = nullptr;
  for (auto& C : Node->FChildren) ForgetItems(C.get());
}

void TCustomTreeView::SendNode(TTreeNode* Node) {
  if (!HandleAllocated()) return;
  TVINSERTSTRUCTW Ins{};
  Ins.hParent = Node->FParent != nullptr ? Node->FParent->FItem : TVI_ROOT;
  Ins.hInsertAfter = TVI_LAST;
  Ins.item.mask = TVIF_TEXT | TVIF_PARAM;
  Ins.item.pszText = const_cast<wchar_t*>(Node->FText.c_str());
  Ins.item.lParam = reinterpret_cast<LPARAM>(Node);
  Node->FItem = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Ins)));
  for (auto& C : Node->FChildren) SendNode(C.get());
  if (Node->FExpanded && Node->FItem != nullptr)
    SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Node->FItem));
}

TTreeNode* TCustomTreeView::AddChild(TTreeNode* Parent, const WideString& Text) {
  auto Node = std::make_unique<TTreeNode>(this, Parent, Text);
  TTreeNode* N = Node.get();
  (Parent != nullptr ? Parent->FChildren : FRoots).push_back(std::move(Node));
  if (Parent == nullptr || Parent->FItem != nullptr) SendNode(N);
  return N;
}

TTreeNode* TCustomTreeView::TopItem(int Index) const {
  if (static_cast<unsigned>(Index) >= FRoots.size()) TList::Error(Index);
  return FRoots[static_cast<unsigned>(Index)].get();
}

void TCustomTreeView::ClearNodes() {
  if (HandleAllocated()) SendMessageW(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  FRoots.clear();
}

void TCustomTreeView::FullExpand() {
  std::vector<TTreeNode*> Todo;
  for (auto& N : FRoots) Todo.push_back(N.get());
  while (!Todo.empty()) {
    TTreeNode* N = Todo.back();
    Todo.pop_back();
    if (N->Count() > 0) N->SetExpanded(true);
    for (auto& C : N->FChildren) Todo.push_back(C.get());
  }
}

void TCustomTreeView::Dispatch(TMessage& M) {
  if (M.Msg == CN_NOTIFY) {
    CNNotify(M);
    return;
  }
  TWinControl::Dispatch(M);
}

void TCustomTreeView::CNNotify(TMessage& M) {
  auto* N = reinterpret_cast<NMHDR*>(M.LParam);
  if (N != nullptr && N->code == NM_RCLICK) {
    // The system's tree view reports a right click this way alone (no WM_CONTEXTMENU follows on
    // every platform): the click brings the context popup and the popup menu as elsewhere, and
    // the system is told it was handled, so that it sends no WM_CONTEXTMENU of its own.
    Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()), static_cast<LPARAM>(GetMessagePos()));
    M.Result = 1;
    return;
  }
  if (N == nullptr || N->code != NM_CUSTOMDRAW) return;
  auto& D = reinterpret_cast<NMTVCUSTOMDRAW*>(N)->nmcd;
  M.Result = CDRF_DODEFAULT;
  if (D.dwDrawStage != CDDS_PREPAINT || !OnCustomDraw) return;
  bool DefaultDraw = true;
  const int Saved = SaveDC(D.hdc);
  {
    TScopeExit Restore([&] { RestoreDC(D.hdc, Saved); });
    const TRect R{D.rc.left, D.rc.top, D.rc.right, D.rc.bottom};
    FCanvas->DrawInto(D.hdc, [&] { OnCustomDraw(this, R, DefaultDraw); });
  }
  if (!DefaultDraw) M.Result = CDRF_SKIPDEFAULT;
}
