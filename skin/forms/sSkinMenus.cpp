// The menu painter: settings, hooking of menus, the frame cache and popup windows.
#include "skin/forms/sSkinMenus.h"

#include <algorithm>

#include "framework/Strings.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sSkinProvider.h"

std::vector<TacMenuInfo> MenuInfoCache;
TsMenuItemType CurrentItemType = smNormal;
int GlyphColumnWidth = 0;
int LastGlyphWidth = 0;
bool MenusMeasured = false;
AnsiString ExtraLineSection;
AnsiString ExtraLineCaption;

namespace {

// The glyph of the extra line given by OnGetMenuExtraLineData (nullptr when none).
std::unique_ptr<TBitmap> ExtraLineGlyph;

// Frees the cache when the program ends.
struct TMenuUnitCleanup {
  ~TMenuUnitCleanup() {
    ClearMenuCache();
    ExtraLineGlyph.reset();
  }
} MenuUnitCleanup;

// The painters alive: an item may keep a painter's handler after the painter (its manager) is
// gone, when its menu was not reachable for unhooking; such a handler then does nothing.
std::vector<const TsSkinableMenus*>& LivePainters() {
  static std::vector<const TsSkinableMenus*> L;
  return L;
}
bool IsLive(const TsSkinableMenus* P) {
  const auto& L = LivePainters();
  return P != nullptr && std::find(L.begin(), L.end(), P) != L.end();
}


bool IsOwnDraw(const TAdvancedMenuDrawItemEvent& E, TsSkinableMenus* P, bool TopLine) {
  const auto* H = E.target<TsMenuItemHandler>();
  return H != nullptr && H->Painter == P && H->TopLine == TopLine;
}
bool IsOwnMeasure(const TMenuMeasureItemEvent& E, TsSkinableMenus* P, bool TopLine) {
  const auto* H = E.target<TsMenuMeasureHandler>();
  return H != nullptr && H->Painter == P && H->TopLine == TopLine;
}

// "Set where empty" and "clear own" of one handler pair.
void SetHandlers(TMenuItem* Item, TsSkinableMenus* P, bool TopLine, bool OnlyWhereEmpty) {
  if (!OnlyWhereEmpty || !Item->OnAdvancedDrawItem) Item->OnAdvancedDrawItem = TsMenuItemHandler{P, TopLine};
  if (!OnlyWhereEmpty || !Item->OnMeasureItem) Item->OnMeasureItem = TsMenuMeasureHandler{P, TopLine};
}
void ClearOwnHandlers(TMenuItem* Item, TsSkinableMenus* P, bool TopLine) {
  if (IsOwnDraw(Item->OnAdvancedDrawItem, P, TopLine)) Item->OnAdvancedDrawItem = nullptr;
  if (IsOwnMeasure(Item->OnMeasureItem, P, TopLine)) Item->OnMeasureItem = nullptr;
}

// The timer that looks for the end of a menu loop while switches of owner drawing wait for it.
UINT_PTR WaitTimer = 0;

void CALLBACK ApplyWaitingSwitches(HWND, UINT, UINT_PTR, DWORD) {
  if (MenuLoopRunning()) return;
  KillTimer(nullptr, WaitTimer);
  WaitTimer = 0;
  try {
    for (const TsSkinableMenus* P : std::vector<const TsSkinableMenus*>(LivePainters()))
      if (IsLive(P)) const_cast<TsSkinableMenus*>(P)->ApplyWaitingMenus();
  } catch (...) {
    if (Application != nullptr) Application->HandleException(nullptr);
  }
}

}  // namespace

// A menu whose owner drawing is to change once the menu loop has ended; it forgets the menu when
// the menu is freed meanwhile.
class TsWaitingMenu : public TComponent {
  T_CLASS(TsWaitingMenu, TComponent)

 public:
  TsWaitingMenu(TMenu* AMenu, bool AValue) : TComponent(nullptr), Menu(AMenu), Value(AValue) {
    Menu->FreeNotification(this);
  }
  ~TsWaitingMenu() override {
    if (Menu != nullptr) Menu->RemoveFreeNotification(this);
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == Menu) Menu = nullptr;
  }
  TMenu* Menu;
  bool Value;
};

void TsMenuItemHandler::operator()(TObject* Sender, TCanvas* ACanvas, const TRect& ARect,
                                   TOwnerDrawState State) const {
  if (!IsLive(Painter)) return;
  if (TopLine)
    Painter->MenuItemAdvancedDraw(Sender, ACanvas, ARect, State);
  else
    Painter->PaintMenuItem(Sender, ACanvas, ARect, State);
}

void TsMenuMeasureHandler::operator()(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) const {
  if (!IsLive(Painter)) return;
  if (TopLine)
    Painter->MenuItemMeasure(Sender, ACanvas, Width, Height);
  else
    Painter->MeasureMenuItem(Sender, ACanvas, Width, Height);
}

// ---- the painter ----------------------------------------------------------------------------------

TsSkinableMenus::TsSkinableMenus(TsSkinManager* AOwner)
    : FSkinManager(AOwner), FCaptionFont(std::make_unique<TFont>()) {
  LivePainters().push_back(this);
}

TsSkinableMenus::~TsSkinableMenus() {
  FWaiting.clear();
  auto& L = LivePainters();
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
  FSkinManager = nullptr;
}

int TsSkinableMenus::SkinBorderWidth() {
  if (FSkinBorderWidth < 0) {
    int I = FSkinManager != nullptr ? FSkinManager->GetOwnMaskIndex("MAINMENU", "BORDERSMASK") : -1;
    if (FSkinManager == nullptr || !FSkinManager->IsValidMaskIndex(I)) {
      FSkinBorderWidth = 0;
    } else {
      const int BW = FSkinManager->Masks()[static_cast<std::size_t>(I)].BorderWidth;
      FSkinBorderWidth = BW <= 0 ? 3 : BW;
    }
  }
  return FSkinBorderWidth;
}

void TsSkinableMenus::SetMenuOwnerDraw(TMenu* Menu, bool Value, bool InMenu) {
  auto Waiting = std::find_if(FWaiting.begin(), FWaiting.end(), [Menu](const auto& W) { return W->Menu == Menu; });
  if (!InMenu && !MenuLoopRunning()) {
    if (Waiting != FWaiting.end()) FWaiting.erase(Waiting);
    Menu->SetOwnerDraw(Value);
    return;
  }
  // Switching rebuilds the menu's handles; rebuilt under the system's tracking, a menu shown with
  // an open submenu hangs the thread. The switch waits for the end of the loop (the latest one).
  if (Waiting != FWaiting.end()) {
    (*Waiting)->Value = Value;
  } else if (Menu->OwnerDraw() != Value) {
    FWaiting.push_back(std::make_unique<TsWaitingMenu>(Menu, Value));
  }
  if (!FWaiting.empty() && WaitTimer == 0) WaitTimer = SetTimer(nullptr, 0, 50, ApplyWaitingSwitches);
}

void TsSkinableMenus::ApplyWaitingMenus() {
  std::vector<std::unique_ptr<TsWaitingMenu>> Now;
  Now.swap(FWaiting);
  for (const auto& W : Now)
    if (W->Menu != nullptr) W->Menu->SetOwnerDraw(W->Value);
}

void TsSkinableMenus::UpdateActive() {
  if (FSkinManager == nullptr) return;
  const bool A = FSkinManager->SkinData()->Active;
  if (A != FActive) SetActive(A);
}

void TsSkinableMenus::SetActive(bool Value) {
  FActive = Value;
  if ((FSkinManager != nullptr && FSkinManager->IsDesigning()) || Application == nullptr) return;
  // The list may change while it is walked (menus rebuilding); walk by index and re-check.
  for (int I = 0; I < Application->ComponentCount(); ++I) HookComponentMenus(Application->Components(I), Value);
}

bool TsSkinableMenus::MDIChildIconVisible() const {
  TsSkinProvider* P = SkinnedMDIMainProvider;
  TCustomForm* Main = P != nullptr ? P->Form : nullptr;
  if (Main == nullptr || Main->FormStyle() != fsMDIForm || !Main->HandleAllocated()) return false;
  TCustomForm* Child = Main->ActiveMDIChild();
  return Child != nullptr && Child->WindowState() == wsMaximized && Child->BorderIcons().Contains(biSystemMenu) &&
         Child->Icon() != nullptr;
}

void TsSkinableMenus::HookComponentMenus(TComponent* C, bool Value) {
  if (C == nullptr) return;
  const bool P = Value && FSkinManager != nullptr && FSkinManager->SkinnedPopups();
  if (auto* MM = dynamic_cast<TMainMenu*>(C)) {
    HookMainMenu(MM, Value);
    for (int I = 0; I < MM->Items()->Count(); ++I) HookItemTree(MM->Items()->Items(I), P);
  } else if (auto* PM = dynamic_cast<TPopupMenu*>(C)) {
    HookPopupMenu(PM, P);
  } else if (auto* MI = dynamic_cast<TMenuItem*>(C)) {
    if (dynamic_cast<TMainMenu*>(MI->GetParentMenu()) == nullptr) HookItemTree(MI, P);
  }
  for (int I = 0; I < C->ComponentCount(); ++I) HookComponentMenus(C->Components(I), Value);
}

void TsSkinableMenus::HookPopupMenu(TPopupMenu* Menu, bool Value) {
  if (Menu == nullptr) return;
  const bool Skinned = FSkinManager != nullptr && FSkinManager->SkinnedPopups();
  TMenuAnimation A = Menu->MenuAnimation();
  if (Value)
    A.Include(maNone);
  else
    A.Exclude(maNone);
  Menu->SetMenuAnimation(A);
  std::function<void(TMenuItem*)> Walk = [&](TMenuItem* Parent) {
    for (int I = 0; I < Parent->Count(); ++I) {
      TMenuItem* It = Parent->Items(I);
      if (Value)
        SetHandlers(It, this, false, true);
      else
        ClearOwnHandlers(It, this, false);
      Walk(It);
    }
  };
  Walk(Menu->Items());
  SetMenuOwnerDraw(Menu, Value && Skinned);
}

void TsSkinableMenus::HookMainMenu(TMainMenu* Menu, bool Value) {
  if (Menu == nullptr) return;
  TMenuItem* Root = Menu->Items();
  for (int I = 0; I < Root->Count(); ++I) {
    TMenuItem* It = Root->Items(I);
    if (!Value) {
      ClearOwnHandlers(It, this, true);
    } else if (FSkinManager != nullptr && FSkinManager->SkinData()->Active) {
      if (!FSkinManager->SkinnedPopups()) return;
      SetHandlers(It, this, true, false);
    }
  }
  if (!Menu->IsDestroying()) SetMenuOwnerDraw(Menu, Value);
}

void TsSkinableMenus::HookItemTree(TMenuItem* Item, bool Value) {
  if (Item == nullptr) return;
  for (int I = 0; I < Item->Count(); ++I) {
    TMenuItem* It = Item->Items(I);
    if (!Value)
      ClearOwnHandlers(It, this, false);
    else if (!IsTopLineItem(It))
      SetHandlers(It, this, false, true);
    HookItemTree(It, Value);
  }
}

void TsSkinableMenus::HookItem(TMenuItem* Item, bool Value, bool Measuring) {
  if (Item == nullptr) return;
  if (TMenu* M = Item->GetParentMenu()) SetMenuOwnerDraw(M, Value, Measuring);
  if (!Value) {
    ClearOwnHandlers(Item, this, false);
  } else if (IsTopLineItem(Item)) {
    SetHandlers(Item, this, true, false);
  } else if (FSkinManager != nullptr && FSkinManager->SkinnedPopups()) {
    SetHandlers(Item, this, false, true);
  }
}

// ---- item tests -------------------------------------------------------------------------------------

bool TsSkinableMenus::ItemAfterBreak(TMenuItem* Item) {
  if (Item == nullptr) return false;
  if (Item->Break() != mbNone) return true;
  TMenuItem* P = Item->Parent();
  if (P == nullptr) return false;
  for (int I = P->IndexOf(Item) - 1; I >= 0; --I)
    if (P->Items(I)->Break() != mbNone) return true;
  return false;
}

bool TsSkinableMenus::IsCaptionItem(TMenuItem* Item) {
  if (Item == nullptr) return false;
  const WideString& C = Item->Caption();
  return C != L"-" && C.size() >= 2 && C.front() == L'-' && C.back() == L'-';
}

bool TsSkinableMenus::IsTopLineItem(TMenuItem* Item) {
  if (Item == nullptr) return false;
  auto* MM = dynamic_cast<TMainMenu*>(Item->GetParentMenu());
  return MM != nullptr && Item->Parent() == MM->Items();
}

bool TsSkinableMenus::IsFirstVisibleItem(TMenuItem* Item) {
  TMenuItem* P = Item != nullptr ? Item->Parent() : nullptr;
  if (P == nullptr) return false;
  for (int I = 0; I < P->Count(); ++I)
    if (P->Items(I)->Visible()) return P->Items(I) == Item;
  return false;
}

bool TsSkinableMenus::IsLastVisibleItem(TMenuItem* Item) {
  TMenuItem* P = Item != nullptr ? Item->Parent() : nullptr;
  if (P == nullptr) return false;
  for (int I = P->Count() - 1; I >= 0; --I)
    if (P->Items(I)->Visible()) return P->Items(I) == Item;
  return false;
}

TPoint TsSkinableMenus::GetGlyphSize(TMenuItem* Item, bool BitmapOnly) const {
  if (Item == nullptr) return BitmapOnly ? TPoint{0, 0} : TPoint{16, 16};
  if (TBitmap* B = Item->Bitmap(); B != nullptr && !B->Empty()) return TPoint{B->Width(), B->Height()};
  if (BitmapOnly) return TPoint{0, 0};
  if (Item->Parent() != nullptr && Item->Parent()->SubMenuImages() != nullptr) {
    TCustomImageList* L = Item->Parent()->SubMenuImages();
    return TPoint{L->Width(), L->Height()};
  }
  if (TMenu* M = Item->GetParentMenu(); M != nullptr && M->Images() != nullptr)
    return TPoint{M->Images()->Width(), M->Images()->Height()};
  return TPoint{16, 16};
}

int TsSkinableMenus::ExtraLineWidthOf(const TacMenuInfo& Info) const {
  if (FSkinManager == nullptr) return 0;
  TacMenuSupport* S = FSkinManager->MenuSupport();
  return S->UseExtraLine() && Info.ExtraLine ? S->ExtraLineWidth() : 0;
}

void TsSkinableMenus::SetMenuFont(TCanvas* ACanvas, TMenuItem* Item) const {
  if (ACanvas == nullptr) return;
  if (Screen != nullptr) ACanvas->SetFont(Screen->MenuFont());
  if (Item != nullptr) {
    if (TCustomForm* F = GetOwnerForm(Item->GetParentMenu())) ACanvas->Font()->SetCharset(F->Font()->Charset());
  }
}

void TsSkinableMenus::AddMenuFont(TacPictureKey& Key, TMenuItem* Item) const {
  if (Screen != nullptr) AddFont(Key, Screen->MenuFont());
  if (Item != nullptr) {
    if (TCustomForm* F = GetOwnerForm(Item->GetParentMenu())) Key.Numbers.push_back(F->Font()->Charset());
  }
}

// ---- the extra line ---------------------------------------------------------------------------------

bool TsSkinableMenus::QueryExtraLine(TMenuItem* FirstItem) {
  if (FSkinManager == nullptr || FSkinManager->IsDesigning()) return false;
  if (FirstItem != nullptr && FirstItem->Name() == "SkinSelectItem") return false;
  ExtraLineSection = "EXTRALINE";
  ExtraLineGlyph.reset();
  ExtraLineCaption = "Use OnGetExtraLineData event";
  bool LineVisible = true;
  if (FSkinManager->OnGetMenuExtraLineData) {
    ExtraLineGlyph = std::make_unique<TBitmap>();
    FSkinManager->OnGetMenuExtraLineData(FSkinManager, FirstItem, ExtraLineSection, ExtraLineCaption,
                                         ExtraLineGlyph.get(), LineVisible);
    if (ExtraLineGlyph->Empty()) ExtraLineGlyph.reset();
  }
  ExtraLineCaption = DeleteChars(ExtraLineCaption, '&');
  if (!LineVisible) ExtraLineGlyph.reset();
  return LineVisible;
}

// ---- the frame cache ----------------------------------------------------------------------------------

void ClearMenuCache() {
  for (TacMenuInfo& I : MenuInfoCache) delete I.Bmp;
  MenuInfoCache.clear();
}

void TsSkinableMenus::GetMenuInfo(TMenuItem* Item, int Width, int Height, HWND Wnd, TacMenuInfo& Info) {
  Info.FirstItem = nullptr;
  Info.Bmp = nullptr;
  Info.Wnd = nullptr;
  Info.ExtraLine = false;
  if (Item != nullptr) {
    TMenuItem* P = Item->Parent();
    TMenuItem* First = P != nullptr && P->Count() > 0 ? P->Items(0) : Item;
    for (int Pass = 0; Pass < 2; ++Pass) {
      for (const TacMenuInfo& R : MenuInfoCache) {
        if (R.FirstItem == First) {
          Info = R;
          return;
        }
      }
      if (Pass > 0 || Width == 0) return;
      PaintMenuFrame(First, Width, Height, Wnd);
    }
  } else if (Wnd != nullptr) {
    for (const TacMenuInfo& R : MenuInfoCache) {
      if (R.Wnd == Wnd) {
        Info = R;
        return;
      }
    }
  }
}

TBitmap* TsSkinableMenus::FrameBitmapOf(TPopupMenu* Menu, HWND Wnd) {
  TacMenuInfo Info;
  if (Menu != nullptr) {
    if (Menu->Items()->Count() == 0) return nullptr;
    GetMenuInfo(Menu->Items()->Items(0), 0, 0, Wnd, Info);
  } else {
    GetMenuInfo(nullptr, 0, 0, Wnd, Info);
  }
  return Info.Bmp;
}

void TsSkinableMenus::PaintMenuFrame(TMenuItem* FirstItem, int Width, int Height, HWND Wnd) {
  TacMenuInfo Rec;
  Rec.ExtraLine = QueryExtraLine(FirstItem);
  Rec.FirstItem = FirstItem;
  // Owned here until the record joins the cache.
  std::unique_ptr<TBitmap> Owned(CreateBmp24(std::max(Width, 0), std::max(Height, 0)));
  Rec.Bmp = Owned.get();
  Rec.Wnd = Wnd;
  LastGlyphWidth = GetGlyphSize(FirstItem, false).X;
  GlyphColumnWidth = FMargin + LastGlyphWidth + FSpacing;
  TsSkinManager* M = FSkinManager;
  TacMenuSupport* S = M != nullptr ? M->MenuSupport() : nullptr;
  const int SI = M != nullptr ? M->GetSectionIndex("MAINMENU") : -1;
  CornerRects.clear();
  if (M == nullptr || !M->IsValidSectionIndex(SI) || Width <= 0 || Height <= 0) {
    MenuInfoCache.push_back(Rec);
    Owned.release();
    return;
  }
  TBitmap* Bmp = Rec.Bmp;
  TCacheInfo NoBg = DefaultCacheInfo();
  PaintSectionToBitmap(SI, "MAINMENU", NoBg, 0, Rect(0, 0, Width, Height), TPoint{0, 0}, Bmp, M, -1, -1);
  const int SBW = SkinBorderWidth();
  const int E = ExtraLineWidthOf(Rec);
  // The glyph column band.
  const int IcoIndex = M->GetSectionIndex(S->IcoLineSkin());
  if (!S->IcoLineSkin().empty() && M->IsValidSectionIndex(IcoIndex) && Height - 2 * SBW > 0) {
    std::unique_ptr<TBitmap> Band(CreateBmp24(GlyphColumnWidth, Height - 2 * SBW));
    PaintSectionWithCorners(IcoIndex, S->IcoLineSkin(), MakeCacheInfo(Bmp, E + SBW, SBW), false, 0,
                            Rect(0, 0, Band->Width(), Band->Height()), TPoint{0, 0}, Band.get(), M);
    BitBlt(Bmp->Canvas()->Handle(), E + SBW, SBW, Band->Width(), Band->Height(), Band->Canvas()->Handle(), 0, 0,
           SRCCOPY);
  }
  // The border.
  const int BorderMask = M->GetMaskIndex(SI, "MAINMENU", "BORDERSMASK");
  if (M->IsValidMaskIndex(BorderMask))
    DrawSkinRect(Bmp, Rect(0, 0, Width, Height), false, NoBg, M->Masks()[static_cast<std::size_t>(BorderMask)], 0,
                 false);
  // The extra line.
  if (S->UseExtraLine() && Rec.ExtraLine) {
    const int LineIndex = M->GetSectionIndex(ExtraLineSection);
    if (M->IsValidSectionIndex(LineIndex) && Height - 2 * SBW > 0 && S->ExtraLineWidth() > 0) {
      std::unique_ptr<TBitmap> Band(CreateBmp24(S->ExtraLineWidth(), Height - 2 * SBW));
      PaintSectionWithCorners(LineIndex, ExtraLineSection, MakeCacheInfo(Bmp, SBW, SBW), false, 0,
                              Rect(0, 0, Band->Width(), Band->Height()), TPoint{0, 0}, Band.get(), M);
      int Reserve = 12;
      if (ExtraLineGlyph) {
        Reserve = 12 + ExtraLineGlyph->Height() + 8;
        Band->Canvas()->Draw((Band->Width() - ExtraLineGlyph->Width()) / 2,
                             Band->Height() - 12 - ExtraLineGlyph->Height(), ExtraLineGlyph.get());
      }
      if (!ExtraLineCaption.empty()) {
        TCanvas* C = Band->Canvas();
        C->SetFont(S->ExtraLineFont());
        if (TCustomForm* F = GetOwnerForm(FirstItem != nullptr ? FirstItem->GetParentMenu() : nullptr))
          C->Font()->SetCharset(F->Font()->Charset());
        LOGFONTA LF{};
        const AnsiString& Face = S->ExtraLineFont()->Name();
        lstrcpynA(LF.lfFaceName, Face.c_str(), LF_FACESIZE);
        LF.lfHeight = S->ExtraLineFont()->Size();
        LF.lfEscapement = -2700;
        LF.lfOrientation = -2700;
        LF.lfWeight = 400;
        const TFontStyles St = S->ExtraLineFont()->Style();
        LF.lfItalic = St.Contains(fsItalic) ? 1 : 0;
        LF.lfUnderline = St.Contains(fsUnderline) ? 1 : 0;
        LF.lfStrikeOut = St.Contains(fsStrikeOut) ? 1 : 0;
        LF.lfCharSet = static_cast<BYTE>(S->ExtraLineFont()->Charset());
        // Raster faces cannot turn: the mapper is asked for an outline face.
        LF.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        const int TH = C->TextHeight(ExtraLineCaption);
        // The rotated font goes straight into the band's DC for this one caption.
        if (HFONT Rotated = CreateFontIndirectA(&LF)) {
          HDC DC = C->Handle();
          HGDIOBJ OldFont = SelectObject(DC, Rotated);
          SetTextColor(DC, ColorToRGB(static_cast<TColor>(
                               M->GeneralData()[static_cast<std::size_t>(LineIndex)].FontColor[0])));
          SetBkMode(DC, TRANSPARENT);
          const RECT Clip{0, 0, Band->Width(), Band->Height()};
          const WideString Text = AnsiToWide(ExtraLineCaption);
          ExtTextOutW(DC, (Band->Width() - TH) / 2, Band->Height() - Reserve, ETO_CLIPPED, &Clip, Text.c_str(),
                      static_cast<UINT>(Text.size()), nullptr);
          SelectObject(DC, OldFont);
          DeleteObject(Rotated);
        }
      }
      BitBlt(Bmp->Canvas()->Handle(), SBW, SBW, Band->Width(), Band->Height(), Band->Canvas()->Handle(), 0, 0,
             SRCCOPY);
    }
    ExtraLineGlyph.reset();
  }
  // The scroll bands of a menu taller than the screen.
  PaintMenuScrollBands(Bmp, Wnd, M, SBW);
  // The transparent corners of the border.
  if (M->IsValidMaskIndex(BorderMask)) {
    const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(BorderMask)];
    AddMaskCornerRects(CornerRects, Width, Mask, 0, false);
    AddMaskCornerRects(CornerRects, Width, Mask, Height - M->GetMaskBottomMargin(BorderMask), true);
  }
  if (Wnd != nullptr) SkinPopupMenuWindow(Wnd, Bmp);
  MenuInfoCache.push_back(Rec);
  Owned.release();
}

// ---- popup windows ------------------------------------------------------------------------------------

LRESULT CALLBACK PopupMenuWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto Old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (LRESULT Result = 0; HandleMenuWindowPaint(Wnd, Msg, WParam, LParam, Old, Result)) return Result;
  switch (Msg) {
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      return 1;
    case WM_DESTROY:
      ClearMenuCache();
      break;
    default:
      break;
  }
  return Old != nullptr ? CallWindowProcW(Old, Wnd, Msg, WParam, LParam) : DefWindowProcW(Wnd, Msg, WParam, LParam);
}

namespace {

// A popup-menu window of this thread. Requests to skin a menu window reach here by a point on
// the screen or a handle found earlier, and by then the menu may have closed: any other window
// there (a form, a control) must keep its own procedure, user data and region.
bool IsPopupMenuWindow(HWND Wnd) {
  return Wnd != nullptr && GetWindowThreadProcessId(Wnd, nullptr) == GetCurrentThreadId() &&
         GetWndClassName(Wnd) == "#32768";
}

}  // namespace

void TsSkinableMenus::SkinPopupMenuWindow(HWND Wnd, TBitmap* Bmp) {
  if (FrameBusy || !IsPopupMenuWindow(Wnd)) return;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_WNDPROC)) != PopupMenuWndProc) {
    const LONG_PTR Old = GetWindowLongPtrW(Wnd, GWLP_WNDPROC);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, Old);
    SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PopupMenuWndProc));
  }
  if (Bmp == nullptr) return;
  if (SendMessageW(Wnd, SM_ALPHACMD, MakeAlphaCmd(AC_SETUPDATING, 0), 0) != 0) return;
  SendMessageW(Wnd, SM_ALPHACMD, MakeAlphaCmd(AC_POPUPSHOWN, 0), 0);
  FrameBusy = true;
  HRGN Rgn = CreateRectRgn(0, 0, Bmp->Width(), Bmp->Height());
  if (CornerRects.empty()) {
    HRGN Sub = CreateRectRgn(0, 0, 1, 1);
    CombineRgn(Rgn, Rgn, Sub, RGN_DIFF);
    DeleteObject(Sub);
  } else {
    for (const TRect& R : CornerRects) {
      HRGN Sub = CreateRectRgn(R.Left, R.Top, R.Right, R.Bottom);
      CombineRgn(Rgn, Rgn, Sub, RGN_DIFF);
      DeleteObject(Sub);
    }
  }
  if (SetWindowRgn(Wnd, Rgn, TRUE) == 0) DeleteObject(Rgn);
  // The trimmed window shows at once. Only its own painting runs here, not the application's
  // whole queue: this is reached from inside an item's painting, and any other message handled
  // now (a timer, a posted release of a form) could free the menu whose item is being painted.
  try {
    UpdateWindow(Wnd);
  } catch (...) {
    FrameBusy = false;
    throw;
  }
  FrameBusy = false;
}

// ---- installation ---------------------------------------------------------------------------------------

void sSkinMenusInstall() {
  acFormSkinningLink.CreateMenus = [](TsSkinManager* Manager) -> std::unique_ptr<TacManagerMenus> {
    return std::make_unique<TsSkinableMenus>(Manager);
  };
  // The popup-window adapters empty the painter's cache when a popup goes away.
  acMenuWndLink.ClearMenuCache = [] { ClearMenuCache(); };
}

TsSkinableMenus* SkinableMenusOf(TsSkinManager* Manager) {
  return Manager != nullptr ? dynamic_cast<TsSkinableMenus*>(Manager->Menus()) : nullptr;
}
