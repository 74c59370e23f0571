// The gallery's form of controls. Win32.
//
// The skin manager adapts a control by its class name: each name stands in the list of the kind
// of adapter it takes (ListControlClasses). The framework lacks classes of some kinds; for those
// the gallery makes thin stand-ins here, framework controls over the common control window of
// that kind, filled through the window's own messages as the adapters read them. When the
// framework gains a class of a kind, that class replaces the stand-in in the table of
// ListControlClasses and in the place that creates it below; nothing else changes.
#include "GalleryControls.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sLabel.h"
#include "skin/controls/sSplitter.h"
#include "skin/core/sSkinManager.h"

// ---- stand-ins over common control windows --------------------------------------------------------

// A framework control over the system window class SysClass with the extra window styles Style.
#define GALLERY_STANDIN(Name, SysClass, ExtraStyle)                         \
  class Name : public TWinControl {                                         \
    T_CLASS(Name, TWinControl)                                              \
                                                                            \
   public:                                                                  \
    using TWinControl::TWinControl;                                         \
                                                                            \
   protected:                                                               \
    void CreateParams(TCreateParams& Params) override {                     \
      TWinControl::CreateParams(Params);                                    \
      CreateSubClass(Params, SysClass);                                     \
      Params.Style |= (ExtraStyle);                                         \
    }                                                                       \
  };

GALLERY_STANDIN(TGalleryMemo, L"EDIT", WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL)
GALLERY_STANDIN(TGalleryListBox, L"LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT)
GALLERY_STANDIN(TGalleryComboBox, L"COMBOBOX", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL)
GALLERY_STANDIN(TGalleryRadioButton, L"BUTTON", WS_TABSTOP | BS_AUTORADIOBUTTON)
GALLERY_STANDIN(TGalleryGroupBox, L"BUTTON", BS_GROUPBOX)
GALLERY_STANDIN(TGalleryBitBtn, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON)
GALLERY_STANDIN(TGalleryListView, WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS)

// A tree view: as a framework tree view does, its font colour is the tree's text colour (the
// tree adapter gives a framework tree the skin's colour through its font).
class TGalleryTreeView : public TWinControl {
  T_CLASS(TGalleryTreeView, TWinControl)

 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, WC_TREEVIEWW);
    Params.Style |= WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
  }
  void WndProc(TMessage& Message) override {
    TWinControl::WndProc(Message);
    if (Message.Msg == CM_FONTCHANGED && HandleAllocated())
      SendMessageW(Handle(), TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Font()->Color())));
  }
};
GALLERY_STANDIN(TGalleryPageControl, WC_TABCONTROLW, WS_TABSTOP | WS_CLIPCHILDREN)
GALLERY_STANDIN(TGalleryTabControl, WC_TABCONTROLW, WS_TABSTOP)
GALLERY_STANDIN(TGalleryToolBar, TOOLBARCLASSNAMEW, TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN)
GALLERY_STANDIN(TGalleryStatusBar, STATUSCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN)

#undef GALLERY_STANDIN

// A page of the page control: a plain child window that the page control's adapter paints.
class TGalleryTabSheet : public TWinControl {
  T_CLASS(TGalleryTabSheet, TWinControl)

 public:
  using TWinControl::TWinControl;
};

// A speed button: a graphic control with the published properties the speed-button adapter reads.
class TGallerySpeedButton : public TGraphicControl {
  T_CLASS(TGallerySpeedButton, TGraphicControl)

 public:
  explicit TGallerySpeedButton(TComponent* AOwner) : TGraphicControl(AOwner), FGlyph(std::make_unique<TBitmap>()) {}
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }
  bool Down() const { return FDown; }
  void SetDown(bool Value) {
    FDown = Value;
    Invalidate();
  }

 private:
  std::unique_ptr<TBitmap> FGlyph;
  bool FDown = false;
};

// A frame: a scrolling container, which the form's adapter list gives a frame adapter.
class TGalleryFrame : public TScrollingWinControl {
  T_CLASS(TGalleryFrame, TScrollingWinControl)

 public:
  using TScrollingWinControl::TScrollingWinControl;
};

T_PUBLISH(TGallerySpeedButton) {
  P.Object("Glyph", &TGallerySpeedButton::Glyph, &TGallerySpeedButton::SetGlyph);
  P.Boolean("Down", &TGallerySpeedButton::Down, &TGallerySpeedButton::SetDown);
}

namespace gallery {

namespace {

// ---- pictures ------------------------------------------------------------------------------------

constexpr TColor Key = 0xFF00FF;

// A 16 x 16 picture on the key colour: a round or square mark in a colour, with a darker rim.
std::unique_ptr<TBitmap> Mark(TColor Color, bool Round) {
  auto B = std::make_unique<TBitmap>(16, 16, pf24bit);
  TCanvas* C = B->Canvas();
  C->Brush()->SetColor(Key);
  C->FillRect(Rect(0, 0, 16, 16));
  C->Brush()->SetColor(Color);
  C->Pen()->SetColor(static_cast<TColor>((Color >> 1) & 0x7F7F7F));
  if (Round) C->Ellipse(2, 2, 14, 14);
  else C->Rectangle(2, 3, 14, 13);
  return B;
}

const TColor MarkColors[] = {0x30A0F0, 0x50C050, 0xE09040, 0x4060E0, 0xC070C0, 0x40C0D0};

// The image list of the menus: six marks.
TImageList* MarkImages(TComponent* Owner) {
  auto* L = new TImageList(Owner, 16, 16);
  for (int I = 0; I < 6; ++I) L->AddMasked(Mark(MarkColors[I], I % 2 == 0).get(), Key);
  return L;
}

// A platform image list of the same marks (for the common controls; freed with the process).
HIMAGELIST MarkImageList() {
  HIMAGELIST L = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 6, 0);
  for (int I = 0; I < 6; ++I) {
    auto B = Mark(MarkColors[I], I % 2 == 0);
    ImageList_AddMasked(L, B->Handle(), RGB(255, 0, 255));
  }
  return L;
}

// ---- helpers -------------------------------------------------------------------------------------

template <class T>
T* Place(TWinControl* Parent, int X, int Y, int W, int H) {
  auto* C = new T(Parent->Owner() != nullptr ? Parent->Owner() : Parent);
  C->SetParent(Parent);
  C->SetBounds(X, Y, W, H);
  return C;
}

TMenuItem* AddItem(TComponent* Owner, TMenuItem* Parent, const wchar_t* Caption, int Image = -1) {
  auto* Item = new TMenuItem(Owner);
  Item->SetCaption(WideString(Caption));
  Item->SetImageIndex(Image);
  Parent->Add(Item);
  return Item;
}

void FillListView(HWND H, HIMAGELIST Images) {
  ListView_SetExtendedListViewStyle(H, LVS_EX_FULLROWSELECT);
  ListView_SetImageList(H, Images, LVSIL_SMALL);
  const wchar_t* Heads[] = {L"Channel", L"Group", L"Quality"};
  const int Widths[] = {130, 90, 70};
  for (int I = 0; I < 3; ++I) {
    LVCOLUMNW C{};
    C.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    C.pszText = const_cast<wchar_t*>(Heads[I]);
    C.cx = Widths[I];
    C.iSubItem = I;
    SendMessageW(H, LVM_INSERTCOLUMNW, I, reinterpret_cast<LPARAM>(&C));
  }
  const wchar_t* Rows[][3] = {{L"First News", L"News", L"HD"},      {L"Sport Live", L"Sport", L"HD"},
                              {L"Film Club", L"Films", L"SD"},      {L"Music Box", L"Music", L"SD"},
                              {L"Kids World", L"Children", L"SD"},  {L"Science Now", L"Education", L"HD"},
                              {L"Travel Plus", L"Leisure", L"SD"}, {L"Weather 24", L"News", L"SD"}};
  for (int R = 0; R < 8; ++R) {
    LVITEMW Item{};
    Item.mask = LVIF_TEXT | LVIF_IMAGE;
    Item.iItem = R;
    Item.iImage = R % 6;
    Item.pszText = const_cast<wchar_t*>(Rows[R][0]);
    SendMessageW(H, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Item));
    for (int S = 1; S < 3; ++S) {
      LVITEMW Sub{};
      Sub.iSubItem = S;
      Sub.pszText = const_cast<wchar_t*>(Rows[R][S]);
      SendMessageW(H, LVM_SETITEMTEXTW, R, reinterpret_cast<LPARAM>(&Sub));
    }
  }
  ListView_SetItemState(H, 1, LVIS_SELECTED, LVIS_SELECTED);
}

HTREEITEM TreeAdd(HWND H, HTREEITEM Parent, const wchar_t* Text, int Image) {
  TVINSERTSTRUCTW I{};
  I.hParent = Parent;
  I.hInsertAfter = TVI_LAST;
  I.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  I.item.pszText = const_cast<wchar_t*>(Text);
  I.item.iImage = I.item.iSelectedImage = Image;
  return reinterpret_cast<HTREEITEM>(SendMessageW(H, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&I)));
}

void FillTreeView(HWND H, HIMAGELIST Images) {
  TreeView_SetImageList(H, Images, TVSIL_NORMAL);
  HTREEITEM All = TreeAdd(H, TVI_ROOT, L"All channels", 0);
  HTREEITEM News = TreeAdd(H, All, L"News", 1);
  TreeAdd(H, News, L"First News", 2);
  HTREEITEM W = TreeAdd(H, News, L"Weather 24", 3);
  HTREEITEM Films = TreeAdd(H, All, L"Films", 4);
  TreeAdd(H, Films, L"Film Club", 5);
  TreeAdd(H, All, L"Music", 1);
  TreeView_Expand(H, All, TVE_EXPAND);
  TreeView_Expand(H, News, TVE_EXPAND);
  TreeView_Expand(H, Films, TVE_EXPAND);
  (void)W;
}

void AddTabs(HWND H, std::initializer_list<const wchar_t*> Names) {
  int I = 0;
  for (const wchar_t* N : Names) {
    TCITEMW T{};
    T.mask = TCIF_TEXT;
    T.pszText = const_cast<wchar_t*>(N);
    SendMessageW(H, TCM_INSERTITEMW, I++, reinterpret_cast<LPARAM>(&T));
  }
}

void FillToolBar(HWND H, HIMAGELIST Images) {
  SendMessageW(H, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(H, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  SendMessageW(H, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images));
  const wchar_t* Texts[] = {L"Open", L"Save", L"", L"Play", L"Record", L"", L"Guide", L"Options"};
  const BYTE Styles[] = {BTNS_BUTTON, BTNS_BUTTON,   BTNS_SEP, BTNS_CHECK,
                         BTNS_BUTTON, BTNS_SEP,      BTNS_BUTTON, BTNS_DROPDOWN};
  const int ImagesOf[] = {0, 1, 0, 2, 3, 0, 4, 5};
  TBBUTTON B[8]{};
  for (int I = 0; I < 8; ++I) {
    B[I].iBitmap = Styles[I] == BTNS_SEP ? 6 : ImagesOf[I];
    B[I].idCommand = 100 + I;
    B[I].fsState = TBSTATE_ENABLED | (I == 3 ? TBSTATE_CHECKED : 0);
    B[I].fsStyle = static_cast<BYTE>(Styles[I] | (Styles[I] == BTNS_SEP ? 0 : BTNS_AUTOSIZE));
    B[I].iString = reinterpret_cast<INT_PTR>(Texts[I]);
  }
  SendMessageW(H, TB_ADDBUTTONSW, 8, reinterpret_cast<LPARAM>(B));
  SendMessageW(H, TB_SETBUTTONSIZE, 0, MAKELPARAM(54, 38));
  SendMessageW(H, TB_AUTOSIZE, 0, 0);
}

void FillStatusBar(HWND H, int Width) {
  const int Parts[] = {Width / 2, Width * 3 / 4, -1};
  SendMessageW(H, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(Parts));
  SendMessageW(H, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"Ready"));
  SendMessageW(H, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L"8 channels"));
  SendMessageW(H, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(L"Skin: the program's own"));
}

}  // namespace

// ---- the class-name lists -----------------------------------------------------------------------

void ListControlClasses(TsSkinManager* Manager) {
  struct TKindNames {
    int Kind;
    const char* Names;
  };
  // Framework classes where the framework has them, the gallery's stand-ins otherwise.
  static const TKindNames Kinds[] = {
      {tpEdit, "TEdit\r\nTGalleryMemo\r\nTGalleryListBox"},
      {tpButton, "TButton"},
      {tpBitBtn, "TGalleryBitBtn"},
      {tpCheckBox, "TCheckBox\r\nTGalleryRadioButton"},
      {tpComboBox, "TGalleryComboBox"},
      {tpGroupBox, "TGalleryGroupBox"},
      {tpListView, "TGalleryListView"},
      {tpPanel, "TPanel"},
      {tpTreeView, "TGalleryTreeView"},
      {tpPageControl, "TGalleryPageControl"},
      {tpTabControl, "TGalleryTabControl"},
      {tpToolBar, "TGalleryToolBar"},
      {tpStatusBar, "TGalleryStatusBar"},
      {tpSpeedButton, "TGallerySpeedButton"},
  };
  for (int K = 0; K < ThirdPartyKindCount; ++K) Manager->ThirdParty()->SetTexts(K, " ");
  for (const TKindNames& N : Kinds) Manager->ThirdParty()->SetTexts(N.Kind, N.Names);
  Manager->UpdateThirdNames();
}

// ---- menus --------------------------------------------------------------------------------------

TMainMenu* CreateMainMenu(TForm* Form) {
  auto* Menu = new TMainMenu(Form);
  Menu->SetImages(MarkImages(Form));
  for (const wchar_t* Top : {L"&File", L"&Edit", L"&View", L"&Channels", L"&Help"}) {
    TMenuItem* T = AddItem(Form, Menu->Items(), Top);
    AddItem(Form, T, L"&Open...", 0);
    AddItem(Form, T, L"&Save", 1);
  }
  Form->SetMenu(Menu);
  return Menu;
}

TPopupMenu* CreatePopupMenu(TForm* Form) {
  auto* Menu = new TPopupMenu(Form);
  Menu->SetImages(MarkImages(Form));
  TMenuItem* Root = Menu->Items();
  TMenuItem* Play = AddItem(Form, Root, L"&Play channel", 2);
  Play->SetDefault(true);
  Play->SetShortCut(ShortCut(VK_RETURN, TShiftState{}));
  AddItem(Form, Root, L"&Record", 3);
  AddItem(Form, Root, L"-");
  TMenuItem* Fav = AddItem(Form, Root, L"&Favourite");
  Fav->SetChecked(true);
  TMenuItem* Sort = AddItem(Form, Root, L"&Sort by");
  TMenuItem* ByName = AddItem(Form, Sort, L"&Name");
  ByName->SetRadioItem(true);
  ByName->SetChecked(true);
  AddItem(Form, Sort, L"&Group")->SetRadioItem(true);
  AddItem(Form, Sort, L"&Quality")->SetRadioItem(true);
  AddItem(Form, Root, L"-");
  TMenuItem* Rename = AddItem(Form, Root, L"Re&name", 4);
  Rename->SetShortCut(ShortCut(VK_F2, TShiftState{}));
  AddItem(Form, Root, L"&Delete", 5)->SetEnabled(false);
  AddItem(Form, Root, L"-");
  AddItem(Form, Root, L"P&roperties...");
  return Menu;
}

// ---- simple controls ------------------------------------------------------------------------------

void AddSimpleControls(TWinControl* Parent, int Left, int Top) {
  auto* L = Place<TLabel>(Parent, Left, Top + 3, 80, 15);
  L->SetCaption(WideString(L"Channel name:"));
  auto* E = Place<TEdit>(Parent, Left + 90, Top, 170, 22);
  E->SetText(WideString(L"First News"));
  auto* C1 = Place<TCheckBox>(Parent, Left, Top + 34, 200, 18);
  C1->SetCaption(WideString(L"Show in the favourites"));
  C1->SetChecked(true);
  auto* C2 = Place<TCheckBox>(Parent, Left, Top + 58, 200, 18);
  C2->SetCaption(WideString(L"Start with this channel"));
  auto* Ok = Place<TButton>(Parent, Left + 100, Top + 90, 75, 25);
  Ok->SetCaption(WideString(L"OK"));
  auto* Cancel = Place<TButton>(Parent, Left + 185, Top + 90, 75, 25);
  Cancel->SetCaption(WideString(L"Cancel"));
}

// ---- the form of controls -------------------------------------------------------------------------

TForm* CreateControlsForm(TComponent* Owner) {
  auto* F = new TForm(Owner);
  F->SetCaption(WideString(L"Controls under the program's skin"));
  F->SetPosition(poDesigned);
  F->SetBounds(40, 20, 860, 650);
  HIMAGELIST Images = MarkImageList();
  CreateMainMenu(F);
  F->Handle();

  // Tool bar and status bar.
  auto* Bar = Place<TGalleryToolBar>(F, 0, 0, 844, 40);
  Bar->SetAlign(alTop);
  FillToolBar(Bar->Handle(), Images);
  auto* Status = Place<TGalleryStatusBar>(F, 0, 570, 844, 22);
  Status->SetAlign(alBottom);
  FillStatusBar(Status->Handle(), 844);

  // Left column: texts and lists.
  auto* SL = Place<TsLabel>(F, 12, 52, 200, 16);
  SL->SetCaption(WideString(L"Texts and lists"));
  auto* Edit = Place<TEdit>(F, 12, 74, 220, 22);
  Edit->SetText(WideString(L"An edit box"));
  auto* Combo = Place<TGalleryComboBox>(F, 12, 104, 220, 200);
  for (const wchar_t* S : {L"A combo box", L"Second entry", L"Third entry"})
    SendMessageW(Combo->Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(S));
  SendMessageW(Combo->Handle(), CB_SETCURSEL, 0, 0);
  auto* Memo = Place<TGalleryMemo>(F, 12, 136, 220, 96);
  Memo->SetText(WideString(
      L"A memo with more lines than it shows, so that its skinned scroll bar appears.\r\nSecond line\r\n"
      L"Third line\r\nFourth line\r\nFifth line\r\nSixth line\r\nSeventh line"));
  auto* List = Place<TGalleryListBox>(F, 12, 240, 220, 110);
  for (int I = 1; I <= 12; ++I) {
    const std::wstring S = L"List box item " + std::to_wstring(I);
    SendMessageW(List->Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(S.c_str()));
  }
  SendMessageW(List->Handle(), LB_SETCURSEL, 2, 0);
  auto* Tree = Place<TGalleryTreeView>(F, 12, 358, 220, 200);
  FillTreeView(Tree->Handle(), Images);

  // Middle column: buttons, choices, containers.
  auto* Button = Place<TButton>(F, 248, 72, 120, 27);
  Button->SetCaption(WideString(L"Button"));
  auto* Own = Place<TsButton>(F, 378, 72, 120, 27);
  Own->SetCaption(WideString(L"Skin button"));
  auto* Bit = Place<TGalleryBitBtn>(F, 248, 106, 120, 27);
  Bit->SetCaption(WideString(L"Bit button"));
  static std::unique_ptr<TBitmap> BitGlyph = Mark(0x50C050, true);
  SendMessageW(Bit->Handle(), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(BitGlyph->Handle()));
  for (int I = 0; I < 2; ++I) {
    auto* S = new TGallerySpeedButton(F);
    S->SetParent(F);
    S->SetBounds(378 + I * 62, 106, 58, 27);
    S->SetCaption(WideString(I == 0 ? L"Speed" : L"Down"));
    S->SetGlyph(Mark(MarkColors[I + 2], I == 0).get());
    S->SetDown(I == 1);
  }
  auto* Group = Place<TGalleryGroupBox>(F, 248, 142, 250, 132);
  Group->SetCaption(WideString(L"Group box"));
  auto* Check1 = Place<TCheckBox>(Group, 12, 22, 110, 18);
  Check1->SetCaption(WideString(L"Checked"));
  Check1->SetChecked(true);
  auto* Check2 = Place<TCheckBox>(Group, 12, 46, 110, 18);
  Check2->SetCaption(WideString(L"Unchecked"));
  auto* Check3 = Place<TCheckBox>(Group, 12, 70, 110, 18);
  Check3->SetCaption(WideString(L"Disabled"));
  Check3->SetEnabled(false);
  auto* Check4 = Place<TCheckBox>(Group, 12, 94, 110, 18);
  Check4->SetAllowGrayed(true);
  Check4->SetState(cbGrayed);
  Check4->SetCaption(WideString(L"Grayed"));
  for (int I = 0; I < 3; ++I) {
    auto* R = Place<TGalleryRadioButton>(Group, 130, 22 + I * 24, 110, 18);
    R->SetCaption(WideString(I == 0 ? L"Radio one" : I == 1 ? L"Radio two" : L"Radio three"));
    if (I == 0) SendMessageW(R->Handle(), BM_SETCHECK, BST_CHECKED, 0);
  }
  auto* Panel = Place<TPanel>(F, 248, 284, 250, 70);
  Panel->SetCaption(WideString(L"A panel"));
  auto* Frame = Place<TGalleryFrame>(F, 248, 362, 250, 90);
  auto* FrameLabel = Place<TLabel>(Frame, 10, 10, 220, 15);
  FrameLabel->SetCaption(WideString(L"A frame with an edit:"));
  auto* FrameEdit = Place<TEdit>(Frame, 10, 32, 200, 22);
  FrameEdit->SetText(WideString(L"Inside the frame"));
  auto* Tabs = Place<TGalleryTabControl>(F, 248, 462, 250, 96);
  AddTabs(Tabs->Handle(), {L"Tab one", L"Tab two", L"Tab three"});

  // Right column: a page control holding a list view, and a splitter.
  auto* Pages = Place<TGalleryPageControl>(F, 512, 52, 322, 310);
  AddTabs(Pages->Handle(), {L"Channels", L"Groups", L"Settings"});
  RECT PR{0, 0, 322, 310};
  TabCtrl_AdjustRect(Pages->Handle(), FALSE, &PR);
  auto* Sheet = Place<TGalleryTabSheet>(Pages, PR.left, PR.top, PR.right - PR.left, PR.bottom - PR.top);
  auto* LV = Place<TGalleryListView>(Sheet, 4, 4, PR.right - PR.left - 8, PR.bottom - PR.top - 8);
  FillListView(LV->Handle(), Images);
  auto* Right = Place<TPanel>(F, 512, 372, 322, 186);
  Right->SetBevelOuter(bvNone);
  Right->SetCaption(WideString(L""));
  auto* Left = Place<TPanel>(Right, 0, 0, 150, 186);
  Left->SetAlign(alLeft);
  Left->SetCaption(WideString(L"Left of a splitter"));
  auto* Split = new TsSplitter(F);
  Split->SetParent(Right);
  Split->SetAlign(alLeft);
  Split->SetLeft(150);
  Split->SetWidth(6);
  auto* Rest = Place<TPanel>(Right, 160, 0, 160, 186);
  Rest->SetAlign(alClient);
  Rest->SetBevelOuter(bvLowered);
  Rest->SetCaption(WideString(L"Right of it"));
  return F;
}

}  // namespace gallery
