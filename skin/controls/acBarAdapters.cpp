// The tool-bar and status-bar adapters. Win32.
#include "skin/controls/acBarAdapters.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "framework/ComCtrls.h"
#include "framework/Graphics.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {

// The index of the tool bar's item whose rectangle holds P (client coordinates), -1 when none.
int ToolBarItemAt(HWND Wnd, TPoint P) {
  const int N = static_cast<int>(SendMessageW(Wnd, TB_BUTTONCOUNT, 0, 0));
  for (int I = 0; I < N; ++I) {
    RECT R{};
    if (!SendMessageW(Wnd, TB_GETITEMRECT, static_cast<WPARAM>(I), reinterpret_cast<LPARAM>(&R))) continue;
    if (TRect(R.left, R.top, R.right, R.bottom).Contains(P)) return I;
  }
  return -1;
}

// The client area's top-left corner inside the window.
TPoint ClientOffsetOf(HWND W) {
  POINT O{0, 0};
  ClientToScreen(W, &O);
  RECT R{};
  GetWindowRect(W, &R);
  return TPoint{O.x - R.left, O.y - R.top};
}

// Hears of a component's destruction.
class TGoneWatcher : public TComponent {
  T_CLASS(TGoneWatcher, TComponent)

 public:
  TGoneWatcher(TComponent* Watched, std::function<void()> Gone)
      : TComponent(nullptr), FWatched(Watched), FGone(std::move(Gone)) {
    if (FWatched != nullptr) FreeNotification(FWatched);
  }
  ~TGoneWatcher() override {
    if (FWatched != nullptr) RemoveFreeNotification(FWatched);
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FWatched && FWatched != nullptr) {
      FWatched = nullptr;
      FGone();
    }
  }

 private:
  TComponent* FWatched;
  std::function<void()> FGone;
};

}  // namespace

class TacToolBarVCLWnd::TWatcher : public TGoneWatcher {
  T_CLASS(TWatcher, TGoneWatcher)
 public:
  using TGoneWatcher::TGoneWatcher;
};

class TacStatusBarWnd::TWatcher : public TGoneWatcher {
  T_CLASS(TWatcher, TGoneWatcher)
 public:
  using TGoneWatcher::TGoneWatcher;
};

// ==== TacToolBarVCLWnd =============================================================================

namespace {

AnsiString ToolBarSection(TsCommonData* D, const AnsiString& Given) {
  if (!Given.empty()) return Given;
  return D != nullptr && dynamic_cast<TToolBar*>(D->OwnerControl()) != nullptr ? AnsiString("TOOLBAR") : Given;
}

}  // namespace

TacToolBarVCLWnd::TacToolBarVCLWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                   const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, ToolBarSection(ASkinData, SkinSection)) {
  ToolBar = SkinData != nullptr ? dynamic_cast<TToolBar*>(SkinData->OwnerControl()) : nullptr;
  if (ToolBar == nullptr) return;
  FWatcher = std::make_unique<TWatcher>(ToolBar, [this] {
    ToolBar = nullptr;
    DropButton = nullptr;
    FHandlersSet = false;
  });
  FOldDraw = ToolBar->OnAdvancedCustomDraw;
  FOldDrawButton = ToolBar->OnAdvancedCustomDrawButton;
  ToolBar->OnAdvancedCustomDraw = [this](TToolBar* Sender, const TRect& R, TCustomDrawStage Stage, bool& DefaultDraw) {
    AdvancedCustomDraw(Sender, R, Stage, DefaultDraw);
  };
  ToolBar->OnAdvancedCustomDrawButton = [this](TToolBar* Sender, TToolButton* Button, TCustomDrawState State,
                                               TCustomDrawStage Stage, TTBCustomDrawFlags& Flags, bool& DefaultDraw) {
    AdvancedCustomDrawButton(Sender, Button, State, Stage, Flags, DefaultDraw);
  };
  FHandlersSet = true;
}

TacToolBarVCLWnd::~TacToolBarVCLWnd() {
  DetachOnDestroy();
  if (ToolBar != nullptr && FHandlersSet) {
    ToolBar->OnAdvancedCustomDraw = FOldDraw;
    ToolBar->OnAdvancedCustomDrawButton = FOldDrawButton;
    if (ToolBar->HandleAllocated() && !ToolBar->IsDestroying()) ToolBar->Invalidate();
  }
  FHandlersSet = false;
  FWatcher.reset();
}

TPoint TacToolBarVCLWnd::ClientOffset() { return ClientOffsetOf(CtrlHandle); }

void TacToolBarVCLWnd::UpdateCache() {
  TCacheInfo CI;
  TBitmap* Cache = BeginWindowCache(this, CI);
  if (ToolBar != nullptr) Cache->Canvas()->SetFont(ToolBar->Font());
  PaintControlSkin(SkinData, CI, true, 0, TRect(0, 0, Cache->Width(), Cache->Height()), WndPos, Cache);
  SkinData->BackgroundStale = false;
}

void TacToolBarVCLWnd::PaintBackground(HDC DC, const TRect& R) {
  TBitmap* Cache = SkinData->CacheBmp();
  if (DC == nullptr || Cache == nullptr || ToolBar == nullptr) return;
  const TPoint Off = ClientOffset();
  const int Saved = SaveDC(DC);
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  const bool Designed = ToolBar->IsDesigning();
  for (int I = 0; I < ToolBar->ControlCount(); ++I) {
    TControl* C = ToolBar->Controls(I);
    if (!C->Visible()) continue;
    const bool Graphic = dynamic_cast<TWinControl*>(C) == nullptr;
    // Tool buttons paint themselves through the button handler; at design time they are shown
    // over the background.
    if (Designed && dynamic_cast<TToolButton*>(C) != nullptr) continue;
    if (!C->ControlStyle().Contains(csOpaque) && !Graphic && !Designed) continue;
    const TRect B = C->BoundsRect();
    if (B.Right <= R.Left || B.Left >= R.Right || B.Bottom <= R.Top || B.Top >= R.Bottom) continue;
    ExcludeClipRect(DC, B.Left, B.Top, B.Right, B.Bottom);
  }
  BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), Cache->Canvas()->Handle(), R.Left + Off.X, R.Top + Off.Y, SRCCOPY);
  RestoreDC(DC, Saved);
  PaintGraphicControls(DC, ToolBar, TPoint(0, 0));
  RefreshChildControls(ToolBar);
  if (Off.X != 0 || Off.Y != 0 || WindowClientSize(CtrlHandle).cx != WndSize.cx) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
}

void TacToolBarVCLWnd::PaintBorder(HDC GivenDC) {
  if (ToolBar == nullptr) return;
  GetWndRects(this);
  const TPoint Off = ClientOffset();
  const TSize CS = WindowClientSize(CtrlHandle);
  if (Off.X == 0 && Off.Y == 0 && CS.cx == WndSize.cx && CS.cy == WndSize.cy) return;
  if (SkinData->BackgroundStale || SkinData->CacheBmp() == nullptr || SkinData->CacheBmp()->Width() != WndSize.cx ||
      SkinData->CacheBmp()->Height() != WndSize.cy)
    UpdateCache();
  HDC DC = GivenDC != nullptr ? GivenDC : GetWindowDC(CtrlHandle);
  if (DC == nullptr) return;
  const int Saved = SaveDC(DC);
  ExcludeClipRect(DC, Off.X, Off.Y, Off.X + CS.cx, Off.Y + CS.cy);
  BitBlt(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(DC, Saved);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacToolBarVCLWnd::AdvancedCustomDraw(TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage,
                                          bool& DefaultDraw) {
  if (!SkinnedUnderActiveManager(SkinData) || Destroyed) {
    DefaultDraw = true;
    return;
  }
  SkinData->Updating = SkinData->GetUpdating();
  if (Stage != cdPrePaint) {
    DefaultDraw = false;
    return;
  }
  if (SkinData->Updating || Sender == nullptr) return;
  GetWndRects(this);
  TBitmap* Cache = SkinData->CacheBmp();
  if (SkinData->BackgroundStale || Cache == nullptr || Cache->Width() != WndSize.cx || Cache->Height() != WndSize.cy)
    UpdateCache();
  SkinData->CacheBmp()->Canvas()->SetFont(Sender->Font());
  PaintBackground(Sender->Canvas()->Handle(), ARect);
}

void TacToolBarVCLWnd::AdvancedCustomDrawButton(TToolBar* Sender, TToolButton* Button, TCustomDrawState State,
                                                TCustomDrawStage Stage, TTBCustomDrawFlags& Flags, bool& DefaultDraw) {
  if (!SkinnedUnderActiveManager(SkinData) || ToolBar == nullptr || Destroyed || Button == nullptr) {
    DefaultDraw = true;
    return;
  }
  DefaultDraw = false;
  if (Stage != cdPrePaint) return;
  TsSkinManager* M = SkinData->GetSkinManager();
  const int Index = Button->Index();
  if (M == nullptr || Index < 0) return;
  if (!ToolBar->Flat() && !ToolBar->IsDesigning() && Index == HotIndex) State.Include(cdsHot);
  Flags.Include(tbNoEdges);
  Flags.Include(tbNoEtchedEffect);
  RECT IR{};
  if (!SendMessageW(CtrlHandle, TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&IR))) return;
  const int W = IR.right - IR.left, H = IR.bottom - IR.top;
  if (W <= 0 || H <= 0) return;
  GetWndRects(this);
  TBitmap* Cache = SkinData->CacheBmp();
  if (SkinData->BackgroundStale || Cache == nullptr || Cache->Width() != WndSize.cx || Cache->Height() != WndSize.cy) {
    UpdateCache();
    Cache = SkinData->CacheBmp();
  }
  const TPoint Off = ClientOffset();
  const int CX = IR.left + Off.X, CY = IR.top + Off.Y;
  // The paint state: pressed for a selected, checked, marked or indeterminate button; hot for any
  // other state but the disabled look; else normal.
  TCustomDrawState Rest = State;
  Rest.Exclude(cdsDisabled);
  Rest.Exclude(cdsGrayed);
  int PaintState;
  if (!Button->Marked() && !Button->Indeterminate() && Rest.Empty())
    PaintState = 0;
  else if (State.Contains(cdsSelected) || State.Contains(cdsChecked) || Button->Marked() || Button->Indeterminate())
    PaintState = 2;
  else
    PaintState = 1;
  const int TS = M->GetSectionIndex("TOOLBUTTON");
  TCustomImageList* Images = ToolBar->Images();
  TacPictureKey Key;
  TCustomImageList* Hot = ToolBar->HotImages();
  Key.Numbers = {W, H, PaintState, Button->ImageIndex(), reinterpret_cast<long long>(Images),
                 Images != nullptr ? Images->Count() : 0, reinterpret_cast<long long>(Hot), Hot != nullptr ? Hot->Count() : 0,
                 Button->Enabled(), Button->Indeterminate(), static_cast<long long>(Button->Style()),
                 ToolBar->ShowCaptions(), ToolBar->List(), TS};
  Key.Texts = {Button->Caption()};
  // The pixels of the one image the button shows: the hot list's for a button hot or down that has
  // one there.
  const bool ShowsHot = PaintState != 0 && Hot != nullptr && Button->ImageIndex() < Hot->Count();
  AddImagePixels(Key, ShowsHot ? Hot : Images, Button->ImageIndex(), ImageWork);
  AddOwnerFont(Key, ToolBar);
  AddSkin(Key, M);
  AddPixels(Key, MakeCacheInfo(Cache, 0, 0), TPoint(CX, CY), TSize{W, H});
  if (ButtonPictures.size() <= static_cast<std::size_t>(Index)) ButtonPictures.resize(static_cast<std::size_t>(Index) + 1);
  TButtonPicture& Slot = ButtonPictures[static_cast<std::size_t>(Index)];
  if (Slot.Kept.Keep(std::move(Key)) && Slot.Picture) {
    BitBlt(Sender->Canvas()->Handle(), Button->Left(), Button->Top(), W, H, Slot.Picture->Canvas()->Handle(), 0, 0, SRCCOPY);
    return;
  }
  // The bar's picture under the button covers all of the button's picture first.
  TBitmap& Bmp = KeptBitmap(Slot.Picture, W, H);
  TCanvas* C = Bmp.Canvas();
  C->SetFont(ToolBar->Font());
  const TCacheInfo CI = MakeCacheInfo(Cache, CX, CY);
  BitBlt(C->Handle(), 0, 0, W, H, Cache->Canvas()->Handle(), CX, CY, SRCCOPY);
  PaintSectionToBitmap(TS, "TOOLBUTTON", CI, PaintState, TRect(0, 0, W, H), TPoint(0, 0), &Bmp, M, -1, -1);
  if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, M->GetMaskIndex(TS, "TOOLBUTTON", "BORDERSMASK")))
    DrawSkinRect(&Bmp, TRect(0, 0, W, H), true, CI, *Mask, PaintState, true);
  const int ArrowW = GetSystemMetrics(SM_CXVSCROLL) - 2;
  const bool DropDown = Button->Style() == tbsDropDown;
  const int ContentW = W - (DropDown ? ArrowW : 0);
  const int P = PaintState == 2 ? 1 : 0;
  const int TextH = C->TextHeight(AnsiString("A"));
  if (ToolBar->ShowCaptions()) {
    const WideString Caption = Button->Caption();
    TRect TR;
    if (ToolBar->List()) {
      TR = TRect(Images != nullptr ? Images->Width() + 6 : 1, 2, ContentW - 2, H - 2);
    } else {
      const int Half = (ContentW - C->TextWidth(Caption)) / 2;
      // The free height around image and caption, shared above and below them.
      const int Free = Images != nullptr ? (H - Images->Height() - TextH - 3) / 2 : (H - TextH) / 2;
      const int Top = Images != nullptr ? Images->Height() + 3 + Free : Free;
      TR = TRect(Half - 1, Top, ContentW - Half + 2, H - Free);
    }
    TR.Offset(P, P);
    C->Brush()->SetStyle(bsClear);
    WriteSectionText(C, Caption.c_str(), true, TR, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                     ParentFontSectionIndex(Button, TS, M), PaintState != 0, M);
  }
  const int ImageIndex = Button->ImageIndex();
  if (Images != nullptr && ImageIndex >= 0 && ImageIndex < Images->Count()) {
    TCustomImageList* List = ShowsHot ? Hot : Images;
    const TColor Key = Images->BkColor() == clNone ? TColor(0xFF00FF) : Images->BkColor();
    TBitmap& Img = KeptBitmap(ImageWork, List->Width(), List->Height());
    Img.Canvas()->Brush()->SetColor(Key);
    Img.Canvas()->FillRect(TRect(0, 0, Img.Width(), Img.Height()));
    List->GetBitmap(ImageIndex, &Img);
    int X, Y;
    if (ToolBar->List()) {
      X = 5;
      Y = (H - Images->Height()) / 2;
    } else {
      X = (W - Images->Width()) / 2 + 1 - (DropDown ? 8 : 0);
      Y = (H - Images->Height() - (ToolBar->ShowCaptions() ? TextH + 3 : 0)) / 2;
    }
    CopyWithKeyColor(&Bmp, &Img, X + P, Y + P, Key);
  }
  if (DropDown) {
    if (const TsMaskData* A = TsSkinManager::ValidMask(M, M->CommonSkinIndexes().ScrollBtnBottom.GlyphMask)) {
      const int AW = MaskFrameWidth(*A), AH = MaskFrameHeight(*A);
      DrawSkinGlyph(&Bmp, TPoint(ContentW + 2 + (ArrowW - 3 - AW) / 2, (ToolBar->ButtonHeight() - AH) / 2), PaintState,
                    1, *A, MakeCacheInfo(&Bmp, 0, 0));
    }
  }
  if (!Button->Enabled() || Button->Indeterminate())
    ApplyDisabledKind(&Bmp, TsDisabledKind{dkBlended}, ToolBar, MakeCacheInfo(Cache, 0, 0), TPoint(CX, CY));
  BitBlt(Sender->Canvas()->Handle(), Button->Left(), Button->Top(), W, H, C->Handle(), 0, 0, SRCCOPY);
}

void TacToolBarVCLWnd::RepaintButton(int Index) {
  if (ToolBar == nullptr || Index < 0 || Index >= ToolBar->ButtonCount()) return;
  TToolButton* B = ToolBar->Buttons(Index);
  if (!B->Visible()) return;
  HDC DC = GetWindowDC(CtrlHandle);
  if (DC == nullptr) return;
  const TPoint Off = ClientOffset();
  const TSize CS = WindowClientSize(CtrlHandle);
  const int Saved = SaveDC(DC);
  MoveWindowOrg(DC, Off.X, Off.Y);
  IntersectClipRect(DC, 0, 0, CS.cx, CS.cy);
  TScopeExit Release([&] {
    RestoreDC(DC, Saved);
    ReleaseDC(CtrlHandle, DC);
  });
  TTBCustomDrawFlags Flags;
  bool DefaultDraw = true;
  static_cast<TControlCanvas*>(ToolBar->Canvas())->DrawInto(DC, [&] {
    AdvancedCustomDrawButton(ToolBar, B, TCustomDrawState{}, cdPrePaint, Flags, DefaultDraw);
  });
}

int TacToolBarVCLWnd::ButtonAtPos(TPoint P) {
  const int I = ToolBarItemAt(CtrlHandle, P);
  if (I < 0 || ToolBar == nullptr || I >= ToolBar->ButtonCount()) return -1;
  const TToolButtonStyle S = ToolBar->Buttons(I)->Style();
  return S == tbsSeparator || S == tbsDivider ? -1 : I;
}

void TacToolBarVCLWnd::SetHot(int Index) {
  if (Index == HotIndex || ToolBar == nullptr) return;
  const int Old = HotIndex;
  HotIndex = Index;
  auto Repaint = [this](int I) {
    if (I >= 0 && I < ToolBar->ButtonCount() && !ToolBar->Buttons(I)->Down()) RepaintButton(I);
  };
  Repaint(Old);
  Repaint(Index);
}

void TacToolBarVCLWnd::WndProc(TMessage& Message) {
  if (ChangesPicture(Message) || Message.Msg == TB_SETIMAGELIST || Message.Msg == TB_SETHOTIMAGELIST ||
      Message.Msg == TB_SETDISABLEDIMAGELIST)
    ButtonPictures.clear();
  if (SkinData == nullptr || Destroyed) {
    TacMainWnd::WndProc(Message);
    return;
  }
  TsSkinManager* M = SkinData->GetSkinManager();
  if (Message.Msg == SM_ALPHACMD) {
    const Word Cmd = AlphaCmdCode(Message.WParam);
    if ((Cmd == AC_SKINREMOVED || Cmd == AC_REFRESHSKIN) && M != nullptr && Message.LParam == reinterpret_cast<LPARAM>(M))
      DropButton = nullptr;
    if (Cmd == AC_GETBACKGROUND && Message.LParam != 0) {
      GetWndRects(this);
      auto& Info = *reinterpret_cast<TacBGInfo*>(Message.LParam);
      SkinData->GetBackgroundInfo(Info, false, CtrlHandle);
      // Children ask in client coordinates; the picture is the whole window's.
      const TPoint Off = ClientOffset();
      Info.Offset = TPoint(Info.Offset.X + Off.X, Info.Offset.Y + Off.Y);
      return;
    }
  }
  const bool On = SkinnedUnderActiveManager(SkinData);
  if (On) {
    switch (Message.Msg) {
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        if (!acSkinChanging) PaintBorder(nullptr);
        Message.Result = 0;
        return;
      case WM_PRINT:
        if (ToolBar != nullptr && Message.WParam != 0) {
          HDC DC = reinterpret_cast<HDC>(Message.WParam);
          GetWndRects(this);
          if (SkinData->BackgroundStale || SkinData->CacheBmp() == nullptr) UpdateCache();
          PaintBorder(DC);
          const TPoint Off = ClientOffset();
          const TSize CS = WindowClientSize(CtrlHandle);
          const int Saved = SaveDC(DC);
          MoveWindowOrg(DC, Off.X, Off.Y);
          IntersectClipRect(DC, 0, 0, CS.cx, CS.cy);
          SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, 0);
          RestoreDC(DC, Saved);
          return;
        }
        break;
      case CN_NOTIFY:
        if (ToolBar != nullptr && Message.LParam != 0) {
          const auto* N = reinterpret_cast<const NMHDR*>(Message.LParam);
          if (N->code == TBN_DELETINGBUTTON) {
            if (ToolBar->ButtonCount() <= HotIndex) HotIndex = -1;
          } else if (N->code == TBN_DROPDOWN) {
            const auto* T = reinterpret_cast<const NMTOOLBARW*>(N);
            const LRESULT Index = SendMessageW(CtrlHandle, TB_COMMANDTOINDEX, static_cast<WPARAM>(T->iItem), 0);
            TBBUTTON B{};
            if (Index >= 0 &&
                SendMessageW(CtrlHandle, TB_GETBUTTON, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&B))) {
              DropButton = reinterpret_cast<TToolButton*>(B.dwData);
              if (DropButton != nullptr) DropButton->Repaint();
            }
          }
        }
        break;
      default:
        break;
    }
  }
  if (HandleCommonMessage(Message, SkinData)) return;
  TacMainWnd::WndProc(Message);
  if (Destroyed || !SkinnedUnderActiveManager(SkinData) || ToolBar == nullptr) return;
  const bool Tracking = !ToolBar->Flat() && !ToolBar->IsDesigning();
  switch (Message.Msg) {
    case WM_SIZE:
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE);
      break;
    case WM_MOUSEMOVE:
      if (Tracking) {
        const int I = ButtonAtPos(TPoint(static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))));
        if (I != HotIndex && !(I >= 0 && !ToolBar->Buttons(I)->Enabled())) SetHot(I);
      }
      break;
    case CN_DROPDOWNCLOSED:
      if (DropButton != nullptr) {
        TToolButton* B = DropButton;
        HotIndex = -1;
        DropButton = nullptr;
        RepaintButton(B->Index());
      }
      break;
    case CM_MOUSELEAVE:
      if (Tracking) SetHot(-1);
      break;
    default:
      break;
  }
}

// ==== TacToolBarWnd ================================================================================

TacToolBarWnd::TacToolBarWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                             const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager,
                 !SkinSection.empty()                                      ? SkinSection
                 : (GetWindowLongW(Handle, GWL_STYLE) & 0x200) == 0x200 ? AnsiString("BAR")
                                                                            : AnsiString("CHECKBOX")) {}

void TacToolBarWnd::SplitCaption(const WideString& Text, WideString& Line1, WideString& Line2) {
  // Word starts, blanks between.
  std::vector<std::size_t> Starts;
  for (std::size_t I = 0; I < Text.size(); ++I)
    if (Text[I] != L' ' && (I == 0 || Text[I - 1] == L' ')) Starts.push_back(I);
  if (Starts.size() < 3) {
    Line1.clear();
    Line2 = Text;
    return;
  }
  const std::size_t Second = Starts[Starts.size() - 2];
  std::size_t End = Second;
  while (End > 0 && Text[End - 1] == L' ') --End;
  Line1 = Text.substr(0, End);
  Line2 = Text.substr(Second);
}

bool TacToolBarWnd::UpdatingNow() {
  HWND P = GetParent(CtrlHandle);
  return (P != nullptr && SendSkinCommand(P, AC_ISBUSY, 0) == 1) || SkinData->GetUpdating();
}

void TacToolBarWnd::PrepareCache() {
  GetWndRects(this);
  if (!SkinData->BackgroundStale && SkinData->CacheBmp() != nullptr &&
      SkinData->CacheBmp()->Width() == WndSize.cx && SkinData->CacheBmp()->Height() == WndSize.cy)
    return;
  SkinData->BackgroundStale = true;
  RECT CR{};
  GetClientRect(CtrlHandle, &CR);
  ClientRect = TRect(CR.left, CR.top, CR.right, CR.bottom);
  PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
  FillBorderCorners(SkinData, 0, this);
  FrameWidth = std::max(0, static_cast<int>(WndSize.cy - ClientRect.Height()) / 2);
  SkinData->BackgroundStale = false;
}

int TacToolBarWnd::ButtonState(int Index) {
  TBBUTTON B{};
  if (SendMessageW(CtrlHandle, TB_GETBUTTON, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&B)) == 0) return 0;
  const bool Enabled = (B.fsState & TBSTATE_ENABLED) != 0;
  // A checked button stays pressed in, as the system draws it: its state must stay visible.
  if (Enabled && (B.fsState & (TBSTATE_PRESSED | TBSTATE_CHECKED)) != 0) return 2;
  RECT R{};
  SendMessageW(CtrlHandle, TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&R));
  POINT P{};
  GetCursorPos(&P);
  ScreenToClient(CtrlHandle, &P);
  return Enabled && PtInRect(&R, P) ? 1 : 0;
}

void TacToolBarWnd::PaintButton(int Index, TBitmap* Bmp) {
  TsSkinManager* M = SkinData->GetSkinManager();
  TBBUTTON B{};
  if (M == nullptr ||
      SendMessageW(CtrlHandle, TB_GETBUTTON, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&B)) == 0)
    return;
  RECT IR{};
  SendMessageW(CtrlHandle, TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&IR));
  const TRect R(IR.left + FrameWidth, IR.top + FrameWidth, IR.right + FrameWidth, IR.bottom + FrameWidth);
  const int W = R.Width(), H = R.Height();
  if (W <= 0 || H <= 0) return;
  TBitmap* Cache = SkinData->CacheBmp();
  TBitmap Bb(W, H, pf24bit);
  if ((B.fsStyle & TBSTYLE_SEP) != 0) {
    const int DS = M->GetSectionIndex("DIVIDER");
    if (DS < 0 || !M->IsValidMaskIndex(M->GetMaskIndex(DS, "DIVIDER", "BORDERSMASK"))) return;
    BitBlt(Bb.Canvas()->Handle(), 0, 0, W, H, Cache->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
    PaintSectionWithCorners(DS, "DIVIDER", MakeCacheInfo(Cache, R.Left, R.Top), true, 0,
                            TRect(W / 2 - 1, 2, W / 2 + 3, H - 2), TPoint(0, 0), &Bb, M);
    BitBlt(Bmp->Canvas()->Handle(), R.Left, R.Top, W, H, Bb.Canvas()->Handle(), 0, 0, SRCCOPY);
    return;
  }
  const int State = ButtonState(Index);
  const int Off = State == 2 ? 1 : 0;
  const int TS = M->GetSectionIndex("TOOLBUTTON");
  BitBlt(Bb.Canvas()->Handle(), 0, 0, W, H, Cache->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
  if (TS >= 0)
    PaintSectionWithCorners(TS, "TOOLBUTTON", MakeCacheInfo(Cache, R.Left, R.Top), true, State, TRect(0, 0, W, H),
                            TPoint(0, 0), &Bb, M);
  // The image (index 0 included: the first image of the list is an image like the others). The
  // list is the program's: it is drawn without a background colour rather than given none.
  int IconH = 0;
  HIMAGELIST IL = reinterpret_cast<HIMAGELIST>(SendMessageW(CtrlHandle, TB_GETIMAGELIST, 0, 0));
  if (IL != nullptr && B.iBitmap >= 0) {
    int IW = 0, IH = 0;
    ImageList_GetIconSize(IL, &IW, &IH);
    int X = (W - IW) / 2 + Off;
    if ((B.fsStyle & BTNS_WHOLEDROPDOWN) != 0) {
      if (const TsMaskData* A = TsSkinManager::ValidMask(M, M->CommonSkinIndexes().ScrollBtnBottom.GlyphMask)) {
        const int AW = MaskFrameWidth(*A), AH = MaskFrameHeight(*A);
        DrawSkinGlyph(&Bb, TPoint(W - 2 - AW + Off, (H - AH) / 2 + Off), State, 1, *A, MakeCacheInfo(&Bb, 0, 0));
        X = (W - 2 - AW - IW) / 2 + Off;
      }
    }
    ImageList_DrawEx(IL, B.iBitmap, Bb.Canvas()->Handle(), X, Off + 4, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_TRANSPARENT);
    IconH = IH + 2;
  }
  // The caption.
  const int Len = static_cast<int>(SendMessageW(CtrlHandle, TB_GETBUTTONTEXTW, static_cast<WPARAM>(B.idCommand), 0));
  if (Len > 0) {
    std::vector<wchar_t> Buf(static_cast<std::size_t>(Len) + 1, L'\0');
    SendMessageW(CtrlHandle, TB_GETBUTTONTEXTW, static_cast<WPARAM>(B.idCommand), reinterpret_cast<LPARAM>(Buf.data()));
    const WideString Text(Buf.data());
    TCanvas* C = Bb.Canvas();
    TakeWindowFont(C, CtrlHandle);
    C->Brush()->SetStyle(bsClear);
    TRect TR(Off + 2, Off + 2 + IconH, W - 2 + Off, H - 2 + Off);
    WideString L1, L2;
    SplitCaption(Text, L1, L2);
    const TsGeneralData* Own = SkinData->Section();
    const bool ButtonFont = State != 0 && TS >= 0 && (Own == nullptr || !Own->GiveOwnFont);
    auto Draw = [&](const WideString& S, TRect& Rc, UINT Flags) {
      if (ButtonFont) DrawSectionText(C, S.c_str(), true, Rc, Flags, TS, true, M);
      else DrawCaptionText(C, S.c_str(), true, Rc, Flags, SkinData, State != 0);
    };
    if (L1.empty() || L2.empty()) {
      Draw(Text, TR, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS);
    } else {
      const int TH = C->TextHeight(AnsiString("W"));
      TRect R1(TR.Left, TR.Top, TR.Right, TR.Top + TH);
      TRect R2(TR.Left, TR.Top + TH, TR.Right, TR.Bottom);
      Draw(L1, R1, DT_CENTER);
      Draw(L2, R2, DT_CENTER | DT_END_ELLIPSIS);
    }
  }
  if ((B.fsState & TBSTATE_ENABLED) == 0) CopyBlendedWithKey(&Bb, 0, 0, Cache, R, 0.4, 0xFF00FF);
  BitBlt(Bmp->Canvas()->Handle(), R.Left, R.Top, W, H, Bb.Canvas()->Handle(), 0, 0, SRCCOPY);
}

int TacToolBarWnd::HotButtonAt(TPoint P) {
  const int I = ToolBarItemAt(CtrlHandle, P);
  TBBUTTON B{};
  if (I < 0 || !SendMessageW(CtrlHandle, TB_GETBUTTON, static_cast<WPARAM>(I), reinterpret_cast<LPARAM>(&B))) return -1;
  return (B.fsStyle & TBSTYLE_SEP) == 0 && (B.fsState & TBSTATE_ENABLED) != 0 ? I : -1;
}

void TacToolBarWnd::InvalidateButton(int Index) {
  RECT R{};
  if (Index >= 0 && SendMessageW(CtrlHandle, TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&R)))
    InvalidateRect(CtrlHandle, &R, FALSE);
}

void TacToolBarWnd::SetHotButton(int Index) {
  if (Index == HotButton) return;
  InvalidateButton(HotButton);
  HotButton = Index;
  InvalidateButton(HotButton);
}

void TacToolBarWnd::Paint(HDC GivenDC) {
  PAINTSTRUCT PS{};
  HDC DC = GivenDC;
  if (DC == nullptr) DC = BeginPaint(CtrlHandle, &PS);
  if (!UpdatingNow()) {
    PrepareCache();
    TBitmap* Cache = SkinData->CacheBmp();
    if (Cache != nullptr && Cache->Width() > 0 && Cache->Height() > 0) {
      TBitmap B(Cache->Width(), Cache->Height(), pf24bit);
      BitBlt(B.Canvas()->Handle(), 0, 0, B.Width(), B.Height(), Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
      const int N = static_cast<int>(SendMessageW(CtrlHandle, TB_BUTTONCOUNT, 0, 0));
      for (int I = 0; I < N; ++I) PaintButton(I, &B);
      BitBlt(DC, 0, 0, B.Width() - 2 * FrameWidth, B.Height() - 2 * FrameWidth, B.Canvas()->Handle(), FrameWidth,
             FrameWidth, SRCCOPY);
    }
  }
  if (GivenDC == nullptr) EndPaint(CtrlHandle, &PS);
}

void TacToolBarWnd::PaintBorder() {
  if ((GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0 || UpdatingNow()) return;
  PrepareCache();
  const int FW = (WndSize.cx - ClientRect.Width()) / 2;
  TBitmap* Cache = SkinData->CacheBmp();
  if (FW <= 0 || Cache == nullptr) return;
  HDC DC = GetWindowDC(CtrlHandle);
  BltFrame(DC, 0, 0, WndSize.cx, WndSize.cy, Cache->Canvas()->Handle(), 0, 0, FW);
  ReleaseDC(CtrlHandle, DC);
}

void TacToolBarWnd::WndProc(TMessage& Message) {
  if (!SkinnedUnderActiveManager(SkinData)) {
    TacMainWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      SkinData->BackgroundStale = true;
      TacMainWnd::WndProc(Message);
      SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
      return;
    case WM_PAINT:
      if (!IsWindowVisible(CtrlHandle) && Message.WParam == 0) break;
      Paint(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 0;
      return;
    case WM_NCPAINT:
      PaintBorder();
      Message.Result = 0;
      return;
    case WM_MOUSEMOVE:
      // The base makes the bar the manager's hover window.
      TacMainWnd::WndProc(Message);
      SetHotButton(HotButtonAt(TPoint(static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam)))));
      return;
    case WM_MOUSELEAVE:
      SetHotButton(-1);
      break;
    default:
      break;
  }
  if (Message.Msg == SM_ALPHACMD && AlphaCmdCode(Message.WParam) == AC_MOUSELEAVE) SetHotButton(-1);
  if (Message.Msg == SM_ALPHACMD && AlphaCmdCode(Message.WParam) == AC_REFRESHIFSKINNED) {
    if (SkinData->Updating) {
      SkinData->Updating = false;
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    }
    return;
  }
  TacMainWnd::WndProc(Message);
}

// ==== TacStatusBarWnd ==============================================================================

TacStatusBarWnd::TacStatusBarWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                 const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, SkinSection.empty() ? AnsiString("STATUSBAR") : SkinSection) {
  StatusBar = SkinData != nullptr ? dynamic_cast<TStatusBar*>(SkinData->OwnerControl()) : nullptr;
  if (StatusBar != nullptr) FWatcher = std::make_unique<TWatcher>(StatusBar, [this] { StatusBar = nullptr; });
}

TacStatusBarWnd::~TacStatusBarWnd() { FWatcher.reset(); }

TPoint TacStatusBarWnd::ClientOffset() { return ClientOffsetOf(CtrlHandle); }

WideString TacStatusBarWnd::PanelText(int Index) {
  const bool Simple = SendMessageW(CtrlHandle, SB_ISSIMPLE, 0, 0) != 0;
  if (SendMessageW(CtrlHandle, SB_GETPARTS, 0, 0) == 0 && !Simple) return WideString();
  if (StatusBar != nullptr) {
    if (Index < 0 || Simple) return StatusBar->SimpleText();
    if (StatusBar->Panels()->Count() < 1) return StatusBar->SimpleText();
    if (Index >= StatusBar->Panels()->Count()) return WideString();
    return StatusBar->Panels()->Items(Index)->Text();
  }
  // A plain window: its texts through its messages (a simple bar answers its single text for
  // part 0).
  if (Index < 0) {
    if (!Simple) return GetWndText(CtrlHandle);
    Index = 0;
  }
  const LRESULT L = SendMessageW(CtrlHandle, SB_GETTEXTLENGTHW, static_cast<WPARAM>(Index), 0);
  const int N = LOWORD(L);
  if (N <= 0) return WideString();
  std::vector<wchar_t> Buf(static_cast<std::size_t>(N) + 1, L'\0');
  SendMessageW(CtrlHandle, SB_GETTEXTW, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(Buf.data()));
  WideString S(Buf.data());
  // The control's own alignment marks.
  while (!S.empty() && S[0] == L'\t') S.erase(0, 1);
  return S;
}

void TacStatusBarWnd::PaintPanel(int Index, TRect R) {
  TsSkinManager* M = SkinData->GetSkinManager();
  TBitmap* Bmp = SkinData->CacheBmp();
  const bool Simple = Index < 0;
  const TPoint Off = ClientOffset();
  R.Offset(Off.X, Off.Y);
  if (M != nullptr && M->IsValidSectionIndex(SkinData->SectionIndex)) {
    const int PanelMask = M->GetMaskIndex(SkinData->SectionIndex, SkinData->SkinSection(), "STATUSPANELMASK");
    if (const TsMaskData* PM = TsSkinManager::ValidMask(M, PanelMask)) {
      TCacheInfo CI = MakeCacheInfo(Bmp, 0, 0);
      DrawSkinRect(Bmp, Simple ? TRect(0, 0, Bmp->Width(), Bmp->Height()) : R, true, CI, *PM, 0, true);
    } else if (!Simple && Index < static_cast<int>(SendMessageW(CtrlHandle, SB_GETPARTS, 0, 0)) - 1) {
      const int DS = M->GetSectionIndex("DIVIDER");
      const TsMaskData* DM = TsSkinManager::ValidMask(M, M->GetMaskIndex(DS, "DIVIDER", "BORDERSMASK"));
      if (DS >= 0 && DM != nullptr) {
        const int DW = std::max(1, MaskFrameWidth(*DM) - 1), DH = std::max(1, Bmp->Height() - 2);
        TBitmap Div(DW, DH, pf24bit);
        const int X = R.Right - DW;
        BitBlt(Div.Canvas()->Handle(), 0, 0, DW, DH, Bmp->Canvas()->Handle(), X, 1, SRCCOPY);
        PaintSectionWithCorners(DS, "DIVIDER", MakeCacheInfo(Bmp, X, 1), true, 0, TRect(0, 0, DW, DH), TPoint(0, 0),
                                &Div, M);
        BitBlt(Bmp->Canvas()->Handle(), X, 1, DW, DH, Div.Canvas()->Handle(), 0, 0, SRCCOPY);
      }
    }
  }
  TRect T(R.Left + 1 + 2, R.Top + 1, R.Right - 1 - 4, R.Bottom - 1 - 1);
  const WideString Text = PanelText(Index);
  if (Text.empty() || T.Width() <= 0) return;
  TCanvas* C = Bmp->Canvas();
  TAlignment Alignment = taLeftJustify;
  if (StatusBar != nullptr) {
    C->SetFont(StatusBar->Font());
    if (!StatusBar->SimplePanel() && Index >= 0 && Index < StatusBar->Panels()->Count())
      Alignment = StatusBar->Panels()->Items(Index)->Alignment();
  } else {
    TakeWindowFont(C, CtrlHandle);
  }
  WideString Cut;
  CutTextToWidth(C, Text, T.Width(), Cut);
  C->Brush()->SetStyle(bsClear);
  const UINT Flags = (StatusBar != nullptr ? GetTextDrawFlags(StatusBar, Alignment) : DT_LEFT) | DT_VCENTER | DT_SINGLELINE;
  WriteCaptionText(C, Cut.c_str(), IsWindowEnabled(CtrlHandle) != FALSE, T, Flags, SkinData, false, 0);
}

void TacStatusBarWnd::PaintPanels() {
  const TSize CS = WindowClientSize(CtrlHandle);
  if (SendMessageW(CtrlHandle, SB_ISSIMPLE, 0, 0) != 0) {
    PaintPanel(-1, TRect(0, 1, CS.cx - 1, CS.cy - 1));
    return;
  }
  const int N = static_cast<int>(SendMessageW(CtrlHandle, SB_GETPARTS, 0, 0));
  for (int I = 0; I < N; ++I) {
    RECT PR{};
    if (SendMessageW(CtrlHandle, SB_GETRECT, static_cast<WPARAM>(I), reinterpret_cast<LPARAM>(&PR)) == 0) continue;
    // The last part of a bar reaches its right end (a part width of -1).
    if (I == N - 1) PR.right = std::max<LONG>(PR.right, CS.cx);
    PaintPanel(I, TRect(PR.left + 1, PR.top + 1, PR.right - 1, PR.bottom - 1));
  }
}

void TacStatusBarWnd::UpdateCache() {
  TCacheInfo CI;
  TBitmap* Bmp = BeginWindowCache(this, CI);
  PaintControlSkin(SkinData, CI, true, 0, TRect(0, 0, Bmp->Width(), Bmp->Height()), TPoint(WndPos.X, WndPos.Y), Bmp);
  PaintPanels();
  SkinData->BackgroundStale = false;
}

void TacStatusBarWnd::PaintAll(HDC GivenDC, bool WindowDC) {
  HDC DC = GivenDC;
  if (DC == nullptr) {
    DC = GetWindowDC(CtrlHandle);
    WindowDC = true;
  }
  if (DC == nullptr) return;
  UpdateCache();
  TBitmap* Bmp = SkinData->CacheBmp();
  const TPoint From = WindowDC ? TPoint(0, 0) : ClientOffset();
  BitBlt(DC, 0, 0, Bmp->Width(), Bmp->Height(), Bmp->Canvas()->Handle(), From.X, From.Y, SRCCOPY);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacStatusBarWnd::PaintBorder(HDC GivenDC) {
  if (StatusBar == nullptr || StatusBar->BorderWidth() <= 0) return;
  GetWndRects(this);
  TBitmap* Bmp = SkinData->CacheBmp();
  if (SkinData->BackgroundStale || Bmp == nullptr || Bmp->Width() != WndSize.cx || Bmp->Height() != WndSize.cy) UpdateCache();
  HDC DC = GivenDC != nullptr ? GivenDC : GetWindowDC(CtrlHandle);
  if (DC == nullptr) return;
  BltFrame(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, StatusBar->BorderWidth());
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacStatusBarWnd::WndProc(TMessage& Message) {
  if (SkinnedUnderActiveManager(SkinData) && !Destroyed) {
    switch (Message.Msg) {
      case WM_PAINT:
        RepaintThroughErase(CtrlHandle);
        Message.Result = 0;
        return;
      case WM_ERASEBKGND:
        // The paint that follows an erase of the system's own paints the bar.
        if (!ErasedBeforeItsPaint(CtrlHandle, reinterpret_cast<HDC>(Message.WParam)))
          PaintAll(reinterpret_cast<HDC>(Message.WParam), false);
        Message.Result = 1;
        return;
      case WM_PRINT:
        PaintAll(reinterpret_cast<HDC>(Message.WParam), true);
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        if (!acSkinChanging) PaintBorder(nullptr);
        Message.Result = 0;
        return;
      default:
        break;
    }
  }
  TacMainWnd::WndProc(Message);
  if (Message.Msg == WM_SIZE && SkinnedUnderActiveManager(SkinData) && !Destroyed)
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}
