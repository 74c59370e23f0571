// The gallery's form of controls. Win32.
//
// The skin manager adapts a control by its class name: each name stands in the list of the kind
// of adapter it takes (ListControlClasses). The controls are the framework's own classes; for the
// few kinds the framework has no class of (memo, list box, combo box, radio button, group box)
// the gallery makes thin stand-ins here, framework controls over the system window of that kind,
// filled through the window's own messages as the adapters read them. When the framework gains a
// class of such a kind, that class replaces the stand-in in the table of ListControlClasses and
// in the place that creates it below; nothing else changes.
#include "GalleryControls.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/Program.h"
#include "framework/Buttons.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/ListViews.h"
#include "framework/StreamAdapter.h"
#include "framework/StdCtrls.h"
#include "framework/ToolBars.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sLabel.h"
#include "skin/controls/sSplitter.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sStoredSkins.h"

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

#undef GALLERY_STANDIN

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

void FillListView(TListView* L, TImageList* Images) {
  L->SetViewStyle(vsReport);
  L->SetSmallImages(Images);
  const wchar_t* Heads[] = {L"Channel", L"Group", L"Quality"};
  const int Widths[] = {130, 90, 70};
  for (int I = 0; I < 3; ++I) {
    TListColumn* C = L->Columns()->Add();
    C->SetCaption(WideString(Heads[I]));
    C->SetWidth(Widths[I]);
  }
  const wchar_t* Rows[][3] = {{L"First News", L"News", L"HD"},      {L"Sport Live", L"Sport", L"HD"},
                              {L"Film Club", L"Films", L"SD"},      {L"Music Box", L"Music", L"SD"},
                              {L"Kids World", L"Children", L"SD"},  {L"Science Now", L"Education", L"HD"},
                              {L"Travel Plus", L"Leisure", L"SD"}, {L"Weather 24", L"News", L"SD"}};
  for (int R = 0; R < 8; ++R)
    L->AddItem(WideString(Rows[R][0]), {WideString(Rows[R][1]), WideString(Rows[R][2])}, R % 6);
}

void FillTreeView(TTreeView* T) {
  TTreeNode* All = T->AddChild(nullptr, WideString(L"All channels"));
  TTreeNode* News = T->AddChild(All, WideString(L"News"));
  T->AddChild(News, WideString(L"First News"));
  T->AddChild(News, WideString(L"Weather 24"));
  TTreeNode* Films = T->AddChild(All, WideString(L"Films"));
  T->AddChild(Films, WideString(L"Film Club"));
  T->AddChild(All, WideString(L"Music"));
  T->FullExpand();
}

void FillToolBar(TForm* F, TToolBar* Bar, TImageList* Images) {
  Bar->SetImages(Images);
  Bar->SetShowCaptions(true);
  Bar->SetButtonWidth(54);
  Bar->SetButtonHeight(38);
  const wchar_t* Texts[] = {L"Open", L"Save", L"", L"Play", L"Record", L"", L"Guide", L"Options"};
  const TToolButtonStyle Styles[] = {tbsButton, tbsButton, tbsSeparator, tbsCheck,
                                     tbsButton, tbsDivider,   tbsButton,    tbsDropDown};
  const int ImagesOf[] = {0, 1, -1, 2, 3, -1, 4, 5};
  for (int I = 0; I < 8; ++I) {
    auto* B = new TToolButton(F);
    B->SetStyle(Styles[I]);
    B->SetCaption(WideString(Texts[I]));
    B->SetImageIndex(ImagesOf[I]);
    B->SetParent(Bar);
  }
  Bar->Buttons(3)->SetDown(true);
  Bar->Buttons(7)->SetDropdownMenu(CreatePopupMenu(F));
}

void FillStatusBar(TStatusBar* S, int Width) {
  const wchar_t* Texts[] = {L"Ready", L"8 channels", L"Skin: the program's own"};
  const int Widths[] = {Width / 2, Width / 4, Width / 4};
  for (int I = 0; I < 3; ++I) {
    TStatusPanel* P = S->Panels()->Add();
    P->SetText(WideString(Texts[I]));
    P->SetWidth(Widths[I]);
  }
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
      {tpBitBtn, "TBitBtn"},
      {tpCheckBox, "TCheckBox\r\nTGalleryRadioButton"},
      {tpComboBox, "TGalleryComboBox"},
      {tpGroupBox, "TGalleryGroupBox"},
      {tpListView, "TListView"},
      {tpPanel, "TPanel"},
      {tpTreeView, "TTreeView"},
      {tpPageControl, "TPageControl"},
      {tpTabControl, "TTabControl"},
      {tpToolBar, "TToolBar"},
      {tpStatusBar, "TStatusBar"},
      {tpSpeedButton, "TSpeedButton"},
  };
  for (int K = 0; K < ThirdPartyKindCount; ++K) Manager->ThirdParty()->SetTexts(K, " ");
  for (const TKindNames& N : Kinds) Manager->ThirdParty()->SetTexts(N.Kind, N.Names);
  Manager->UpdateThirdNames();
}

void StartUp() {
  INITCOMMONCONTROLSEX Icc{sizeof(Icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                            ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&Icc);
  InitializeUnits();
  Application->Initialize();
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
}

TsSkinManager* CreateProgramSkinManager() {
  auto* M = new TsSkinManager(nullptr);
  TsStoredSkin* Stored = M->InternalSkins()->Add();
  Stored->SetName(ProgramSkinName);
  TResourceStream Pack(GetModuleHandleW(nullptr), "DEFAULTSKIN", MAKEINTRESOURCEA(10));  // RT_RCDATA
  Stored->ReadData(Pack);
  M->SetAllowGlowing(false);
  M->SetSkinDirectory("c:\\no skins here");
  ListControlClasses(M);
  return M;
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
  TImageList* Images = MarkImages(F);
  CreateMainMenu(F);
  F->Handle();

  // Tool bar and status bar.
  auto* Bar = Place<TToolBar>(F, 0, 0, 844, 42);
  Bar->SetAlign(alTop);
  FillToolBar(F, Bar, Images);
  auto* Status = Place<TStatusBar>(F, 0, 570, 844, 22);
  Status->SetAlign(alBottom);
  FillStatusBar(Status, 844);

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
  auto* Tree = Place<TTreeView>(F, 12, 358, 220, 200);
  FillTreeView(Tree);

  // Middle column: buttons, choices, containers.
  auto* Button = Place<TButton>(F, 248, 72, 120, 27);
  Button->SetCaption(WideString(L"Button"));
  auto* Own = Place<TsButton>(F, 378, 72, 120, 27);
  Own->SetCaption(WideString(L"Skin button"));
  auto* Bit = Place<TBitBtn>(F, 248, 106, 120, 27);
  Bit->SetCaption(WideString(L"Bit button"));
  Bit->SetGlyph(Mark(MarkColors[1], true).get());
  for (int I = 0; I < 2; ++I) {
    auto* S = new TSpeedButton(F);
    S->SetParent(F);
    S->SetBounds(378 + I * 62, 106, 58, 27);
    S->SetCaption(WideString(I == 0 ? L"Speed" : L"Down"));
    S->SetGlyph(Mark(MarkColors[I + 2], I == 0).get());
    // A speed button stays down only in a group.
    S->SetGroupIndex(I);
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
  // A frame: the framework's scrolling container, which the form's adapter list gives a frame
  // adapter.
  auto* Frame = Place<TScrollingWinControl>(F, 248, 362, 250, 90);
  auto* FrameLabel = Place<TLabel>(Frame, 10, 10, 220, 15);
  FrameLabel->SetCaption(WideString(L"A frame with an edit:"));
  auto* FrameEdit = Place<TEdit>(Frame, 10, 32, 200, 22);
  FrameEdit->SetText(WideString(L"Inside the frame"));
  auto* Tabs = Place<TTabControl>(F, 248, 462, 250, 96);
  for (const char* T : {"Tab one", "Tab two", "Tab three"}) Tabs->Tabs()->Add(T);

  // Right column: a page control holding a list view, and a splitter.
  auto* Pages = Place<TPageControl>(F, 512, 52, 322, 310);
  TTabSheet* Sheets[3] = {};
  int I = 0;
  for (const wchar_t* Name : {L"Channels", L"Groups", L"Settings"}) {
    Sheets[I] = new TTabSheet(F);
    Sheets[I]->SetCaption(WideString(Name));
    Sheets[I]->SetPageControl(Pages);
    ++I;
  }
  Pages->SetActivePage(Sheets[0]);
  auto* LV = Place<TListView>(Sheets[0], 4, 4, 100, 100);
  LV->SetAlign(alClient);
  FillListView(LV, Images);
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
