// The combo box adapters: TacComboBoxWnd, TacWWComboBoxWnd and the list adapter TacComboListWnd.
#include <memory>
#include <vector>

#include "framework/Forms.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acScrollAdaptersInternal.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sStyleSimply.h"
#include "skin/core/sVclUtils.h"

using namespace acscroll;

namespace {

LONG StyleOf(HWND W) { return GetWindowLongW(W, GWL_STYLE); }
bool IsSimpleCombo(HWND W) { return (StyleOf(W) & 3) == CBS_SIMPLE; }
bool IsDropDownList(HWND W) { return (StyleOf(W) & 3) == CBS_DROPDOWNLIST; }

// The drop button's rectangle in window coordinates: ButtonWidth wide at the right (at the left for
// a left scroll bar), 2 pixels inside the frame.
void DropButtonRect(HWND W, int ButtonWidth, TRect& R) {
  RECT WR{};
  GetWindowRect(W, &WR);
  const int Width = WR.right - WR.left, Height = WR.bottom - WR.top;
  R.Left = (GetWindowLongW(W, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0 ? 2 : Width - ButtonWidth - 2;
  R.Top = 2;
  R.Right = R.Left + ButtonWidth;
  R.Bottom = Height - 2;
}

// A combo box's list dropped when a change starts is dropped again when it ends. The system's combo
// box hides a dropped list when its size or font changes (a skin coming or going changes its frame)
// and leaves the mouse with the hidden list, or with itself while its drop button is held, which
// then hands it to the hidden list: the next click would drop the list again instead of reaching
// its window. Dropped again, the list has the mouse as it had before.
class TListKept {
 public:
  explicit TListKept(HWND Combo) : Combo(Combo), Dropped(Combo != nullptr && SendMessageW(Combo, CB_GETDROPPEDSTATE, 0, 0) != 0) {}
  ~TListKept() {
    if (Dropped && IsWindow(Combo) && SendMessageW(Combo, CB_GETDROPPEDSTATE, 0, 0) == 0)
      SendMessageW(Combo, CB_SHOWDROPDOWN, TRUE, 0);
  }
  TListKept(const TListKept&) = delete;
  TListKept& operator=(const TListKept&) = delete;

 private:
  HWND Combo;
  bool Dropped;
};

}  // namespace

// ---- TacComboBoxWnd -----------------------------------------------------------------------------

TacComboBoxWnd::TacComboBoxWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const AnsiString& SkinSection)
    : TacEditWnd(Handle, ASkinData, ASkinManager, SkinSection), FSecondSkinData(new TsCommonData(nullptr)) {}

TacComboBoxWnd::~TacComboBoxWnd() {
  DetachOnDestroy();
  delete ListAdapter;
  ListAdapter = nullptr;
  if (FListBrush != nullptr) DeleteObject(FListBrush);
  delete FSecondSkinData;
}

bool TacComboBoxWnd::HasButton() { return (StyleOf(CtrlHandle) & 0x2) != 0; }

void TacComboBoxWnd::GetButtonRect(TRect& R) {
  DropButtonRect(CtrlHandle, HasButton() ? GetSystemMetrics(SM_CXVSCROLL) : 0, R);
}

int TacComboBoxWnd::ButtonState() {
  // Dropped down: also before the list made itself known (an adapter that came while it was).
  if ((ListWnd != nullptr && IsWindowVisible(ListWnd)) || SendMessageW(CtrlHandle, CB_GETDROPPEDSTATE, 0, 0) != 0)
    return 2;
  TsSkinManager* Def = TsSkinManager::DefaultManager();
  if ((SkinData != nullptr && SkinData->GetHotState()) || (Def != nullptr && Def->HoverWindow() == CtrlHandle))
    return 1;
  return 0;
}

void TacComboBoxWnd::PaintButton(HDC DC) {
  if (!HasSkinSection(this)) return;
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr || Cache->Empty()) return;
  TRect R;
  GetButtonRect(R);
  if (R.Right <= R.Left || R.Bottom <= R.Top) return;
  const bool OwnDC = DC == nullptr;
  if (OwnDC) DC = GetWindowDC(CtrlHandle);
  if (DC == nullptr) return;
  const int State = ButtonState();
  std::unique_ptr<TBitmap> Bmp(CreateBmpLike(Cache));
  BitBlt(Bmp->Canvas()->Handle(), 0, 0, Cache->Width(), Cache->Height(), Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  TsSkinManager* M = ManagerOf(this);
  if (M != nullptr) {
    const TacSkinPartIndexes& Btn = M->CommonSkinIndexes().ComboBtn;
    if (M->IsValidSectionIndex(Btn.Section))
      PaintSectionWithCorners(Btn.Section, "COMBOBTN", MakeCacheInfo(Cache), true, State, R,
                              TPoint(R.Left, R.Top), Bmp.get(), M, Btn.Pattern, Btn.HotPattern);
    if (M->IsValidMaskIndex(Btn.GlyphMask)) {
      const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(Btn.GlyphMask)];
      const int Count = Mask.ImageCount > 0 ? Mask.ImageCount : 1;
      const int GW = (Mask.R.Right - Mask.R.Left) / Count;
      const int GH = (Mask.R.Bottom - Mask.R.Top) / (Mask.MaskType + 1);
      RECT W{};
      GetWindowRect(CtrlHandle, &W);
      const TPoint P(R.Left + (R.Right - R.Left - GW) / 2, (W.bottom - W.top - GH) / 2);
      DrawSkinGlyph(Bmp.get(), P, State, 1, Mask, MakeCacheInfo(Bmp.get()));
    }
  }
  BitBlt(DC, R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top, Bmp->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
  if (OwnDC) ReleaseDC(CtrlHandle, DC);
}

void TacComboBoxWnd::PaintSimpleComboCache() {
  GetWndRects(this);
  SkinData->PrepareCacheBmp();
  TBitmap* Cache = SkinData->CacheBmp();
  const int H = static_cast<int>(SendMessageW(CtrlHandle, CB_GETITEMHEIGHT, 0, 0)) + 8;
  Cache->SetSize(WndSize.cx, H);
  TsSkinManager* Def = TsSkinManager::DefaultManager();
  if (DlgMode && Def != nullptr && Def->SkinData()->HasBorderColor()) {
    HDC DC = Cache->Canvas()->Handle();
    FillRectSolid(DC, TRect(0, 0, WndSize.cx, H), clWindow);
    HBRUSH Brush = CreateSolidBrush(static_cast<COLORREF>(Def->SkinData()->BorderColor));
    RECT F{0, 0, WndSize.cx, H};
    FrameRect(DC, &F, Brush);
    DeleteObject(Brush);
  } else {
    TCacheInfo CI;
    GetParentCacheOfWindow(CtrlHandle, CI);
    PaintControlSkin(SkinData, CI, true, SkinData->GetHotState() ? 1 : 0, TRect(0, 0, WndSize.cx, H),
                     WndPos, Cache);
  }
  SkinData->BackgroundStale = false;
}

void TacComboBoxWnd::PaintTextIntoCache() {
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr || Cache->Empty()) return;
  TRect Btn;
  GetButtonRect(Btn);
  TRect R;
  if ((GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) == 0)
    R = TRect(3, 3, Btn.Left, WndSize.cy - 3);
  else
    R = TRect(Btn.Right, 3, WndSize.cx - 3, WndSize.cy - 3);
  // The text: the selected item, else the window text.
  std::wstring Text;
  const LRESULT Sel = SendMessageW(CtrlHandle, CB_GETCURSEL, 0, 0);
  if (Sel < 0) {
    const LRESULT Len = SendMessageW(CtrlHandle, WM_GETTEXTLENGTH, 0, 0);
    if (Len > 0) {
      Text.resize(static_cast<std::size_t>(Len) + 1);
      const LRESULT Got = SendMessageW(CtrlHandle, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()));
      Text.resize(Got > 0 ? static_cast<std::size_t>(Got) : 0);
    }
  } else {
    const LRESULT Len = SendMessageW(CtrlHandle, CB_GETLBTEXTLEN, static_cast<WPARAM>(Sel), 0);
    if (Len > 0 && Len < 4096) {
      Text.resize(static_cast<std::size_t>(Len) + 1);
      const LRESULT Got =
          SendMessageW(CtrlHandle, CB_GETLBTEXT, static_cast<WPARAM>(Sel), reinterpret_cast<LPARAM>(Text.data()));
      Text.resize(Got > 0 ? static_cast<std::size_t>(Got) : 0);
    }
  }
  HDC DC = Cache->Canvas()->HandleForSavedState();
  const int Saved = SaveDC(DC);
  HFONT Font = nullptr;
  TColor FontColor = clWindowText;
  if (TControl* C = SkinData->OwnerControl()) {
    Font = C->Font()->Handle();
    FontColor = C->Font()->Color();
  } else {
    Font = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0));
    if (const TsGeneralData* S = SectionOf(this); S != nullptr && !DlgMode) FontColor = S->FontColor[0];
  }
  if (Font != nullptr) SelectObject(DC, Font);
  const int S = IsDropDownList(CtrlHandle) ? 1 : 0;
  const bool FocusedList = KnownFocus() == CtrlHandle && IsDropDownList(CtrlHandle);
  if (FocusedList) {
    FillRectSolid(DC, R, clHighlight);
    FontColor = clHighlightText;
  }
  SetBkMode(DC, TRANSPARENT);
  SetTextColor(DC, ColorToRGB(FontColor));
  if (!Text.empty()) {
    RECT Clip{R.Left, R.Top, R.Right, R.Bottom};
    ExtTextOutW(DC, R.Left + S, R.Top + S, ETO_CLIPPED, &Clip, Text.c_str(), static_cast<UINT>(Text.size()), nullptr);
  }
  if (FocusedList) {
    RECT F{R.Left, R.Top, R.Right, R.Bottom};
    DrawFocusRect(DC, &F);
  }
  RestoreDC(DC, Saved);
}

void TacComboBoxWnd::CtlColorListBox(TMessage& Message) {
  if (!AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); })) return;
  if (ListWnd == nullptr) {
    ListWnd = reinterpret_cast<HWND>(Message.LParam);
    // A list that is skinned already (the dialog hook adapts a simple combo box's list as a child
    // of the dialog) is taken as it is.
    if (ListAdapter == nullptr && ListWnd != nullptr && ListWnd != CtrlHandle &&
        SendSkinCommand(ListWnd, AC_ISSKINNED, 0) != 1) {
      const bool SavedDlgMode = AdapterDlgMode;
      if (SkinData->OwnerControl() == nullptr) AdapterDlgMode = DlgMode;
      // A dropped list has had its frame painted by the system already.
      const bool Repaint = SendMessageW(CtrlHandle, CB_GETCOUNT, 0, 0) >= 1 || IsWindowVisible(ListWnd);
      try {
        ListAdapter = TacMainWnd::Create<TacComboListWnd>(ListWnd, nullptr, ManagerOf(this), "EDIT", Repaint);
      } catch (...) {
        AdapterDlgMode = SavedDlgMode;
        throw;
      }
      AdapterDlgMode = SavedDlgMode;
      ListAdapter->ComboWnd = CtrlHandle;
    }
    if (ListAdapter != nullptr) ListAdapter->SimpleList = IsSimpleCombo(CtrlHandle);
  }
  if (ListWnd == nullptr || reinterpret_cast<HWND>(Message.LParam) != ListWnd) return;
  const int Index = static_cast<int>(SendSkinCommand(ListWnd, AC_GETSECTION, 0)) - 1;
  TsSkinManager* M = ManagerOf(this);
  if (Index < 0 || DlgMode || M == nullptr || !M->IsValidSectionIndex(Index)) return;
  const TsGeneralData& S = M->GeneralData()[static_cast<std::size_t>(Index)];
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  if (S.FontColor[0] >= 0) SetTextColor(DC, ColorToRGB(S.FontColor[0]));
  const COLORREF Bg = ColorToRGB(S.Color);
  SetBkColor(DC, Bg);
  if (FListBrush == nullptr || FListBrushColor != Bg) {
    if (FListBrush != nullptr) DeleteObject(FListBrush);
    FListBrush = CreateSolidBrush(Bg);
    FListBrushColor = Bg;
  }
  Message.Result = reinterpret_cast<LRESULT>(FListBrush);
}

void TacComboBoxWnd::RestoreStdParams() {
  TListKept Kept(CtrlHandle);
  TacEditWnd::RestoreStdParams();
}

void TacComboBoxWnd::WndProc(TMessage& Message) {
  if (!Destroyed && (Message.Msg == WM_SIZE || Message.Msg == WM_SETFONT)) {
    TListKept Kept(CtrlHandle);
    TacEditWnd::WndProc(Message);
    return;
  }
  if (Destroyed || !HasSkinSection(this)) {
    TacEditWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case SM_ALPHACMD: {
      const Word Cmd = AlphaCmdCode(Message.WParam);
      if (!AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); })) return;
      if (Cmd == AC_MOUSEENTER || Cmd == AC_MOUSELEAVE) PaintButton(nullptr);
      // The list is no child of the form: it hears of a new skin or hue from its combo box.
      if ((Cmd == AC_NEWSKIN || Cmd == AC_REFRESHSKIN) && ListAdapter != nullptr && IsWindow(ListWnd))
        SendMessageW(ListWnd, Message.Msg, Message.WParam, Message.LParam);
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONUP:
      if (AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); })) PaintButton(nullptr);
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      if (AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); }) && SkinData != nullptr)
        SkinData->MouseOver = Message.Msg == CM_MOUSEENTER;
      return;
    case WM_ERASEBKGND:
      return;
    case WM_DRAWITEM:
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      return;
    case WM_NCCALCSIZE:
      if (AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); })) InsetLeft = 3;
      return;
    case WM_CTLCOLORLISTBOX:
      CtlColorListBox(Message);
      return;
    case WM_PAINT: {
      if (!ParamsChanged) SetSkinParams();
      GetWndRects(this);
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      if (Destroyed) return;
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      const bool OwnDC = DC == nullptr;
      if (OwnDC) DC = GetWindowDC(CtrlHandle);
      if (DC == nullptr) return;
      SkinData->Updating = SkinData->GetUpdating();
      if (!SkinData->Updating) {
        if (IsSimpleCombo(CtrlHandle)) {
          PaintSimpleComboCache();
          if (HDC Src = CacheDC(SkinData))
            BltFrame(DC, 0, 0, SkinData->CacheBmp()->Width(), SkinData->CacheBmp()->Height(), Src, 0, 0, 3);
        } else {
          SkinData->BackgroundStale = true;
          SendSkinCommand(CtrlHandle, AC_PREPARECACHE, 0);
          if (HDC Src = CacheDC(SkinData))
            BltFrame(DC, 0, 0, SkinData->CacheBmp()->Width(), SkinData->CacheBmp()->Height(), Src, 0, 0, 3);
          PaintButton(DC);
        }
      }
      if (OwnDC) ReleaseDC(CtrlHandle, DC);
      // A dropped list whose picture is out of date (a new skin or hue came while it was dropped,
      // or its adapter came with the skin) is painted with its combo box.
      if (!SkinData->Updating && ListAdapter != nullptr && ListAdapter->SkinData != nullptr &&
          ListAdapter->SkinData->BackgroundStale && IsWindowVisible(ListWnd))
        RedrawWindow(ListWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
      return;
    }
    case WM_PRINT: {
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      if (DC == nullptr) break;
      BeginPrint();
      if (IsSimpleCombo(CtrlHandle))
        PaintSimpleComboCache();
      else
        SendSkinCommand(CtrlHandle, AC_PREPARECACHE, 0);
      PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
      PaintTextIntoCache();
      FillBorderCorners(SkinData, 0, this);
      if (HDC Src = CacheDC(SkinData))
        BitBlt(DC, 0, 0, SkinData->CacheBmp()->Width(), SkinData->CacheBmp()->Height(), Src, 0, 0, SRCCOPY);
      PaintButton(DC);
      Message.Result = 0;
      return;
    }
    default:
      break;
  }
  TacEditWnd::WndProc(Message);
}

// ---- TacWWComboBoxWnd ---------------------------------------------------------------------------

TacWWComboBoxWnd* TacWWComboBoxWnd::CreateFor(TWinControl* Control, TsCommonData* ASkinData,
                                              TsSkinManager* ASkinManager, const AnsiString& SkinSection,
                                              bool Repaint) {
  if (Control == nullptr) return nullptr;
  HWND Handle = Control->Handle();
  if (Handle == nullptr) return nullptr;
  auto* A = TacMainWnd::Create<TacWWComboBoxWnd>(Handle, ASkinData, ASkinManager, SkinSection, Repaint);
  if (!Control->ClassNameIs("TComboBox")) {
    A->HasDropButton = true;
  } else {
    // csDropDown (0) and csDropDownList (2) of the framework's combo style.
    const int Style = GetOrdPropByName(Control, "Style");
    A->HasDropButton = Style == 0 || Style == 2;
  }
  return A;
}

void TacWWComboBoxWnd::GetButtonRect(TRect& R) {
  DropButtonRect(CtrlHandle, HasDropButton ? GetSystemMetrics(SM_CXVSCROLL) : 0, R);
}

// ---- TacComboListWnd ----------------------------------------------------------------------------

TacComboListWnd::TacComboListWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                 const AnsiString& SkinSection)
    : TacEditWnd(Handle, ASkinData, ASkinManager, SkinSection) {}

TacComboListWnd::~TacComboListWnd() { DetachOnDestroy(); }

void TacComboListWnd::PrepareListCache() {
  GetWndRects(this);
  if (SimpleList) {
    SendSkinCommand(CtrlHandle, AC_PREPARECACHE, 0);
    return;
  }
  SkinData->UpdateIndexes();
  SetSkinParams();
  SkinData->PrepareCacheBmp();
  TBitmap* Cache = SkinData->CacheBmp();
  Cache->SetSize(WndSize.cx, WndSize.cy);
  HDC DC = Cache->Canvas()->Handle();
  HBRUSH Brush = CreateSolidBrush(ColorToRGB(WindowColor));
  HPEN Pen = CreatePen(PS_SOLID, 1, ColorToRGB(FrameColor));
  HGDIOBJ OldBrush = SelectObject(DC, Brush);
  HGDIOBJ OldPen = SelectObject(DC, Pen);
  Rectangle(DC, 0, 0, WndSize.cx, WndSize.cy);
  SelectObject(DC, OldBrush);
  SelectObject(DC, OldPen);
  DeleteObject(Brush);
  DeleteObject(Pen);
  SkinData->BackgroundStale = false;
}

void TacComboListWnd::FillBelowSimpleList() {
  HWND Combo = ComboWnd != nullptr ? ComboWnd : GetParent(CtrlHandle);
  if (Combo == nullptr) return;
  HWND Parent = GetParent(Combo);
  if (Parent == nullptr) return;
  TacBGInfo Info;
  Info.PleaseDraw = false;
  QueryWindowBackground(Info, Parent, false);
  if (Info.BgType != btCache || Info.Bmp == nullptr) return;
  RECT C{}, L{}, P{};
  GetWindowRect(Combo, &C);
  GetWindowRect(CtrlHandle, &L);
  GetWindowRect(Parent, &P);
  const int Gap = C.bottom - L.bottom;
  if (Gap <= 0) return;
  const int CW = C.right - C.left, CH = C.bottom - C.top;
  HDC DC = GetWindowDC(Combo);
  if (DC == nullptr) return;
  BitBlt(DC, 0, CH - Gap, CW, Gap, Info.Bmp->Canvas()->Handle(), C.left - P.left + Info.Offset.X,
         C.top - P.top + (L.bottom - L.top) + Info.Offset.Y, SRCCOPY);
  ReleaseDC(Combo, DC);
}

void TacComboListWnd::WndProc(TMessage& Message) {
  if (Destroyed || !HasSkinSection(this)) {
    TacEditWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_NCPAINT: {
      if (Scrolling) break;
      GetWndRects(this);
      PrepareListCache();
      if (!DlgMode) FillBorderCorners(SkinData, 0, this);
      HDC DC = GetWindowDC(CtrlHandle);
      if (DC != nullptr) {
        const int Saved = SaveDC(DC);
        if (HDC Src = CacheDC(SkinData))
          BltFrame(DC, 0, 0, SkinData->CacheBmp()->Width(), SkinData->CacheBmp()->Height(), Src, 0, 0, 2);
        // The bars' paint may free the adapter (the window's answer to a skin question).
        const HWND Wnd = CtrlHandle;
        const bool GoesOn =
            AdapterGoesOnAfter(this, [&] { Message.Result = PaintSkinScrollBars(this, Wnd, nullptr, 0, -1, DC); });
        RestoreDC(DC, Saved);
        ReleaseDC(Wnd, DC);
        if (!GoesOn) return;
      }
      if (SimpleList) FillBelowSimpleList();
      return;
    }
    case WM_NCCALCSIZE: {
      if (Message.WParam != 0 || Message.LParam != 0) {
        auto* R = reinterpret_cast<RECT*>(Message.LParam);
        TRect TR{R->left, R->top, R->right, R->bottom};
        Message.Result = HandleNcCalcSize(this, CtrlHandle, Message.WParam, TR);
        R->left = TR.Left;
        R->top = TR.Top;
        R->right = TR.Right;
        R->bottom = TR.Bottom;
      }
      return;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
      Message.WParam = static_cast<WPARAM>(HandleNcHitTest(this, CtrlHandle, 0, Message.LParam));
      if (Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL)
        Message.Result = HandleNcLButtonDown(this, CtrlHandle, Message.WParam, Message.LParam);
      return;
    }
    case WM_LBUTTONUP: {
      POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
      ClientToScreen(CtrlHandle, &P);
      const LRESULT Hit =
          HandleNcHitTest(this, CtrlHandle, 0, MAKELPARAM(static_cast<WORD>(P.x), static_cast<WORD>(P.y)));
      if (Hit != 0 && Hit != 1) {
        if (AdapterGoesOnAfter(this, [&] { Message.Result = HandleLButtonUp(this, CtrlHandle, Message.WParam, Message.LParam); }) &&
            SimpleList)
          ReleaseCapture();
      } else {
        Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, static_cast<WPARAM>(Hit), Message.LParam);
        ReleaseCapture();
      }
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_ERASEBKGND:
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      return;
    case WM_PRINT:
    case WM_PRINTCLIENT: {
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      if (DC == nullptr || !IsWindowVisible(CtrlHandle)) break;
      PrepareListCache();
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      if (Message.Msg == WM_PRINT && SendMessageW(CtrlHandle, LB_GETCOUNT, 0, 0) >= 1) {
        if (acScrollTracking().TrackPart == -1 && !Tracking) {
          if (HDC Src = CacheDC(SkinData))
            BltFrame(DC, 0, 0, SkinData->CacheBmp()->Width(), SkinData->CacheBmp()->Height(), Src, 0, 0, 3);
        }
        Message.Result = PaintSkinScrollBars(this, CtrlHandle, nullptr, 0, -1, DC);
      }
      return;
    }
    case 0x1AE:
      Tracking = true;
      break;
    case 0x1AF:
      Tracking = false;
      SkinData->BackgroundStale = true;
      break;
    default:
      break;
  }
  if (AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); }) && Message.Msg == WM_WINDOWPOSCHANGED)
    UpdateScrollInfo(this, true);
}
