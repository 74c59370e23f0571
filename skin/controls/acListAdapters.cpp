// The list view, tree view, grid and virtual tree adapters.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>

#include "framework/Forms.h"
#include "framework/ListViews.h"
#include "framework/Scopes.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acScrollAdaptersInternal.h"
#include "skin/core/acPixels.h"
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

// The window property that holds the list-view adapter on its subclassed header, and the one
// that keeps the header's previous procedure after a later subclasser stopped a clean release.
constexpr const wchar_t* HeaderPropName = L"ACSBSCHDR";
constexpr const wchar_t* HeaderBypassProp = L"ACSBSCHDROLD";

LRESULT CALLBACK HeaderSubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* A = static_cast<TacListViewWnd*>(GetPropW(Wnd, HeaderPropName));
  if (A == nullptr) return acCallBypassed(Wnd, HeaderBypassProp, Msg, WParam, LParam);
  TMessage M{Msg, WParam, LParam, 0};
  A->HeaderWndProc(M);
  return M.Result;
}

// The font object of a published font property, nullptr when missing.
TObject* FontProp(TObject* Obj, const char* Name) { return Obj != nullptr ? GetObjectPropByName(Obj, Name) : nullptr; }

}  // namespace

// ---- TacListViewWnd -----------------------------------------------------------------------------

TacListViewWnd::TacListViewWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const AnsiString& SkinSection)
    : TacEditWnd(Handle, ASkinData, ASkinManager, SkinSection) {}

void TacListViewWnd::HookWindow(bool Repaint) {
  TacEditWnd::HookWindow(Repaint);
  // A list view that has an adapter already refuses this one, and its header stays with that one.
  if (!Destroyed && CtrlHandle != nullptr)
    if (HWND Header = FindWindowExW(CtrlHandle, nullptr, L"SysHeader32", nullptr)) SubclassHeader(Header);
}

TacListViewWnd::~TacListViewWnd() {
  DetachOnDestroy();
  ReleaseHeader();
}

void TacListViewWnd::SubclassHeader(HWND Header) {
  if (HeaderWnd != nullptr || Header == nullptr) return;
  HeaderWnd = Header;
  SetPropW(Header, HeaderPropName, this);
  OldHeaderProc = acSubclassWindow(Header, &HeaderSubclassProc, HeaderBypassProp);
}

void TacListViewWnd::ReleaseHeader() {
  if (HeaderWnd == nullptr) return;
  if (IsWindow(HeaderWnd)) {
    acUnsubclassWindow(HeaderWnd, &HeaderSubclassProc, OldHeaderProc, HeaderBypassProp);
    RemovePropW(HeaderWnd, HeaderPropName);
    InvalidateRect(HeaderWnd, nullptr, TRUE);
  }
  HeaderWnd = nullptr;
  OldHeaderProc = nullptr;
}

LRESULT TacListViewWnd::CallOldHeaderProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (HeaderWnd == nullptr || OldHeaderProc == nullptr) return 0;
  return CallWindowProcW(OldHeaderProc, HeaderWnd, Msg, WParam, LParam);
}

int TacListViewWnd::ViewStyle() const {
  if (CtrlHandle == nullptr) return 3;
  switch (SendMessageW(CtrlHandle, LVM_GETVIEW, 0, 0)) {
    case LV_VIEW_ICON:
      return 0;
    case LV_VIEW_DETAILS:
      return 1;
    case LV_VIEW_SMALLICON:
      return 2;
    default:
      return 3;
  }
}

void TacListViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  if (CtrlHandle == nullptr) return;
  OldListBk = static_cast<COLORREF>(SendMessageW(CtrlHandle, LVM_GETBKCOLOR, 0, 0));
  OldListTextBk = static_cast<COLORREF>(SendMessageW(CtrlHandle, LVM_GETTEXTBKCOLOR, 0, 0));
  OldListText = static_cast<COLORREF>(SendMessageW(CtrlHandle, LVM_GETTEXTCOLOR, 0, 0));
}

void TacListViewWnd::RestoreStdParams() {
  if (CtrlHandle != nullptr && IsWindow(CtrlHandle)) {
    SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(OldListBk));
    SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(OldListTextBk));
    SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(OldListText));
    InvalidateRect(CtrlHandle, nullptr, TRUE);
  }
  ReleaseHeader();
  // The edit adapter's restore puts a framework control's own Color back.
  TacEditWnd::RestoreStdParams();
}

void TacListViewWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  if (CtrlHandle == nullptr) return;
  if (DlgMode) {
    SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(clWindow)));
    SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(clWindow)));
    SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(clWindowText)));
    return;
  }
  if (const TsGeneralData* S = SectionOf(this)) {
    const COLORREF Bg = ColorToRGB(S->Color);
    if (static_cast<COLORREF>(SendMessageW(CtrlHandle, LVM_GETBKCOLOR, 0, 0)) != Bg)
      SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(Bg));
    if (static_cast<COLORREF>(SendMessageW(CtrlHandle, LVM_GETTEXTBKCOLOR, 0, 0)) != Bg)
      SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(Bg));
    const COLORREF Fg = ColorToRGB(S->FontColor[0]);
    if (static_cast<COLORREF>(SendMessageW(CtrlHandle, LVM_GETTEXTCOLOR, 0, 0)) != Fg)
      SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(Fg));
  }
}

void TacListViewWnd::WndProc(TMessage& Message) {
  if (ChangesPicture(Message) || Message.Msg == LVM_SETIMAGELIST || Message.Msg == LVM_SETCOLUMNW ||
      Message.Msg == LVM_SETCOLUMNA)
    HeaderKept.Stale = true;
  if (Destroyed) {
    TacEditWnd::WndProc(Message);
    return;
  }
  const bool IsSkinned = HasSkinSection(this);
  switch (Message.Msg) {
    case SM_ALPHACMD:
      switch (AlphaCmdCode(Message.WParam)) {
        case AC_REFRESHSKIN:
          if (IsFromManager(this, Message.LParam)) {
            if (AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); }) && HeaderWnd != nullptr)
              RedrawWindow(HeaderWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            return;
          }
          break;
        case AC_GETSECTION:
          Message.Result = SkinData != nullptr ? SkinData->SectionIndex + 1 : 0;
          return;
        case AC_BEFORESCROLL:
          Message.Result = 1;
          return;
        default:
          break;
      }
      break;
    case WM_VSCROLL:
      if (!IsSkinned) break;
      if (LOWORD(Message.WParam) == SB_THUMBTRACK) {
        const int P = Message.LParam != 0 ? static_cast<int>(Message.LParam) : HIWORD(Message.WParam);
        const int Last = acScrollTracking().LastTrackPos;
        if (P != Last) {
          int D = P - Last;
          if (ViewStyle() == 1) {
            RECT IR{LVIR_BOUNDS, 0, 0, 0};
            if (SendMessageW(CtrlHandle, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&IR)))
              D *= IR.bottom - IR.top;
          }
          SendMessageW(CtrlHandle, LVM_SCROLL, 0, D);
        }
      } else {
        Message.LParam = 0;
        Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      }
      return;
    case WM_HSCROLL:
      if (!IsSkinned) break;
      if (LOWORD(Message.WParam) == SB_THUMBTRACK) {
        const int P = Message.LParam != 0 ? static_cast<int>(Message.LParam) : HIWORD(Message.WParam);
        int D = P - acScrollTracking().LastTrackPos;
        if (ViewStyle() == 3) {
          RECT IR{LVIR_BOUNDS, 0, 0, 0};
          if (SendMessageW(CtrlHandle, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&IR))) D *= IR.right - IR.left;
        }
        SendMessageW(CtrlHandle, LVM_SCROLL, D, 0);
      } else {
        Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      }
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      break;
    case WM_PAINT:
      if (IsSkinned) SetSkinParams();
      break;
    case WM_NCHITTEST:
      if (HotSection >= 0 || PressedSection >= 0) {
        HotSection = -1;
        PressedSection = -1;
        if (HeaderWnd != nullptr) InvalidateRect(HeaderWnd, nullptr, FALSE);
      }
      break;
    default:
      break;
  }

  if (!AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); })) return;

  switch (Message.Msg) {
    case WM_PRINT:
      if (IsSkinned && ViewStyle() == 1 && Message.WParam != 0 && HeaderWnd != nullptr) {
        HDC DC = reinterpret_cast<HDC>(Message.WParam);
        const int Saved = SaveDC(DC);
        ClipToClientPart(DC);
        RECT HR{};
        GetWindowRect(HeaderWnd, &HR);
        MapWindowPoints(nullptr, CtrlHandle, reinterpret_cast<POINT*>(&HR), 2);
        MoveWindowOrg(DC, HR.left, HR.top);
        PaintHeader(DC);
        RestoreDC(DC, Saved);
      }
      break;
    case WM_STYLECHANGED:
    case LVM_INSERTITEMW:
    case LVM_INSERTITEMA:
    case LVM_ARRANGE:
      if (SkinData != nullptr && !SkinData->Updating && IsSkinned) UpdateScrollInfo(this, true);
      break;
    case WM_LBUTTONUP:
      ReleaseCapture();
      break;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) == WM_CREATE && Message.LParam != 0) {
        wchar_t Name[96] = {0};
        GetClassNameW(reinterpret_cast<HWND>(Message.LParam), Name, 96);
        if (lstrcmpiW(Name, L"SysHeader32") == 0) {
          if (HeaderWnd != nullptr)
            ReleaseHeader();
          else
            SubclassHeader(reinterpret_cast<HWND>(Message.LParam));
        }
      }
      break;
    default:
      break;
  }
}

void TacListViewWnd::HeaderWndProc(TMessage& Message) {
  HWND Header = HeaderWnd;
  if (Header == nullptr) return;
  // Every header message but the questions the adapter asks may change the items.
  if (ChangesControl(Message, HDM_FIRST,
                     {HDM_GETITEMCOUNT, HDM_GETITEMA, HDM_GETITEMW, HDM_GETITEMRECT, HDM_ORDERTOINDEX, HDM_HITTEST,
                      HDM_GETORDERARRAY, HDM_GETIMAGELIST, HDM_GETBITMAPMARGIN}))
    HeaderKept.Stale = true;
  if (Destroyed || !HasSkinSection(this) || ViewStyle() != 1) {
    const UINT Msg = Message.Msg;
    Message.Result = CallOldHeaderProc(Message.Msg, Message.WParam, Message.LParam);
    if (Msg == WM_NCDESTROY) {
      RemovePropW(Header, HeaderPropName);
      HeaderWnd = nullptr;
      OldHeaderProc = nullptr;
    }
    return;
  }
  try {
    switch (Message.Msg) {
      case WM_NCHITTEST: {
        Message.Result = CallOldHeaderProc(Message.Msg, Message.WParam, Message.LParam);
        POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
        ScreenToClient(Header, &P);
        const int Count = static_cast<int>(SendMessageW(Header, HDM_GETITEMCOUNT, 0, 0));
        int NewHot = -1;
        for (int I = 0; I < Count; ++I) {
          const int Index = static_cast<int>(SendMessageW(Header, HDM_ORDERTOINDEX, I, 0));
          RECT R{};
          if (SendMessageW(Header, HDM_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&R)) && PtInRect(&R, P)) {
            NewHot = Index;
            break;
          }
        }
        if (NewHot != HotSection) {
          HotSection = NewHot;
          InvalidateRect(Header, nullptr, FALSE);
        }
        return;
      }
      case WM_LBUTTONDOWN: {
        Message.Result = CallOldHeaderProc(Message.Msg, Message.WParam, Message.LParam);
        HDHITTESTINFO HT{};
        HT.pt.x = static_cast<short>(LOWORD(Message.LParam));
        HT.pt.y = static_cast<short>(HIWORD(Message.LParam));
        const int Item = static_cast<int>(SendMessageW(Header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&HT)));
        PressedSection = (HT.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) != 0 ? -1 : Item;
        RedrawWindow(Header, nullptr, nullptr, RDW_INVALIDATE);
        return;
      }
      case WM_LBUTTONUP:
        PressedSection = -1;
        Message.Result = CallOldHeaderProc(Message.Msg, Message.WParam, Message.LParam);
        InvalidateRect(Header, nullptr, FALSE);
        return;
      case WM_PAINT:
        PaintHeader(reinterpret_cast<HDC>(Message.WParam));
        return;
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_WINDOWPOSCHANGING:
        NcPaint(CtrlHandle);
        Message.Result = CallOldHeaderProc(Message.Msg, Message.WParam, Message.LParam);
        return;
      case WM_NCDESTROY:
        Message.Result = CallOldHeaderProc(Message.Msg, Message.WParam, Message.LParam);
        RemovePropW(Header, HeaderPropName);
        HeaderWnd = nullptr;
        OldHeaderProc = nullptr;
        return;
      default:
        Message.Result = CallOldHeaderProc(Message.Msg, Message.WParam, Message.LParam);
        return;
    }
  } catch (...) {
    if (Application != nullptr) Application->HandleException(nullptr, std::current_exception());
  }
}

void TacListViewWnd::PaintHeader(HDC DC) {
  HWND Header = HeaderWnd;
  if (Header == nullptr) return;
  PAINTSTRUCT PS{};
  HDC PaintDC = nullptr;
  if (DC == nullptr) {
    PaintDC = BeginPaint(Header, &PS);
    DC = PaintDC;
  }
  RECT C{};
  GetClientRect(Header, &C);
  if (DC != nullptr && C.right > 0 && C.bottom > 0) {
    if (!HeaderKept.Keep(HeaderKeyOf(C)) || !HeaderPicture) {
      HDC Picture = KeptBitmap(HeaderPicture, C.right, C.bottom).Canvas()->Handle();
      const int Count = static_cast<int>(SendMessageW(Header, HDM_GETITEMCOUNT, 0, 0));
      int MaxRight = 0;
      for (int I = 0; I < Count; ++I) {
        const int Index = static_cast<int>(SendMessageW(Header, HDM_ORDERTOINDEX, I, 0));
        RECT R{};
        if (!SendMessageW(Header, HDM_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&R))) continue;
        if (R.right > R.left && R.bottom > R.top)
          PaintHeaderSection(Index, TRect{R.left, R.top, R.right, R.bottom}, Picture);
        MaxRight = std::max(MaxRight, static_cast<int>(R.right));
      }
      if (C.right > MaxRight) PaintHeaderSection(-2, TRect{MaxRight, 0, C.right, C.bottom}, Picture);
    }
    BitBlt(DC, 0, 0, C.right, C.bottom, HeaderPicture->Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  if (PaintDC != nullptr) EndPaint(Header, &PS);
}

TacPictureKey TacListViewWnd::HeaderKeyOf(const RECT& Client) {
  TacPictureKey K;
  HWND Header = HeaderWnd;
  TControl* Owner = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  auto* View = dynamic_cast<TListView*>(Owner);
  TCustomImageList* Images = View != nullptr ? View->SmallImages() : nullptr;
  const int Count = static_cast<int>(SendMessageW(Header, HDM_GETITEMCOUNT, 0, 0));
  K.Numbers = {Client.right, Client.bottom, Count, HotSection, PressedSection, SendMessageW(CtrlHandle, WM_GETFONT, 0, 0),
               Owner != nullptr ? static_cast<long long>(Owner->Color()) : -1, reinterpret_cast<long long>(Images),
               Images != nullptr ? Images->Count() : 0, View != nullptr && View->Enabled()};
  AddSkin(K, ManagerOf(this));
  for (int I = 0; I < Count; ++I) {
    const int Index = static_cast<int>(SendMessageW(Header, HDM_ORDERTOINDEX, I, 0));
    RECT R{};
    SendMessageW(Header, HDM_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&R));
    wchar_t Text[129] = {0};
    HDITEMW Item{};
    Item.mask = HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
    Item.pszText = Text;
    Item.cchTextMax = 128;
    SendMessageW(Header, HDM_GETITEMW, Index, reinterpret_cast<LPARAM>(&Item));
    const int Column = View != nullptr && Index < View->Columns()->Count() ? View->Columns()->Items(Index)->ImageIndex() : -1;
    K.Numbers.insert(K.Numbers.end(), {Index, R.left, R.top, R.right, R.bottom, Item.fmt, Item.iImage,
                                       reinterpret_cast<long long>(Item.hbm), Column});
    AddImagePixels(K, Images, Column, ImageWork);
    K.Texts.emplace_back(Text);
  }
  return K;
}

void TacListViewWnd::PaintHeaderSection(int Index, const TRect& R, HDC DC) {
  TsSkinManager* M = ManagerOf(this);
  if (M == nullptr) return;
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  std::unique_ptr<TBitmap> Bmp(CreateBmp24(W, H));
  int State = 0;
  if (PressedSection >= 0)
    State = Index == PressedSection ? 2 : 0;
  else
    State = Index == HotSection && Index >= 0 ? 1 : 0;
  TControl* Owner = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  const int Section = PaintSectionByName(Bmp.get(), "COLHEADER", "BUTTON", State, M, TPoint{0, 0},
                                         Owner != nullptr ? Owner->Color() : clWindow, nullptr);
  TCanvas* Canvas = Bmp->Canvas();
  if (HFONT F = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0))) {
    LOGFONTW LF{};
    if (GetObjectW(F, sizeof(LF), &LF) != 0) Canvas->Font()->SetHandle(CreateFontIndirectW(&LF));
  }
  TRect T = TRect{0, 0, W, H}.Inflated(-4, -1);
  Canvas->Brush()->SetStyle(bsClear);
  if (Index >= 0) {
    wchar_t Text[129] = {0};
    HDITEMW Item{};
    Item.mask = HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
    Item.pszText = Text;
    Item.cchTextMax = 128;
    if (SendMessageW(HeaderWnd, HDM_GETITEMW, Index, reinterpret_cast<LPARAM>(&Item))) {
      // Header images come from the small images of a framework list view.
      auto* View = dynamic_cast<TListView*>(Owner);
      TCustomImageList* Images = View != nullptr ? View->SmallImages() : nullptr;
      const bool HasImage = Images != nullptr && (Item.fmt & (HDF_IMAGE | HDF_OWNERDRAW)) != 0;
      const int ImageOffset = HasImage ? Images->Width() + 4 : 0;
      int GlyphIndex = -1;
      if ((Item.fmt & HDF_SORTDOWN) != 0)
        GlyphIndex = M->CommonSkinIndexes().ScrollBtnBottom.GlyphMask;
      else if ((Item.fmt & HDF_SORTUP) != 0)
        GlyphIndex = M->CommonSkinIndexes().ScrollBtnTop.GlyphMask;
      int GlyphWidth = 0;
      TSize GlyphSize{0, 0};
      if (M->IsValidMaskIndex(GlyphIndex)) {
        GlyphSize = M->GetMaskFrameSize(GlyphIndex);
        GlyphWidth = GlyphSize.cx + 6;
      }
      SIZE TS{};
      HDC BDC = Canvas->Handle();
      HGDIOBJ OldFont = SelectObject(BDC, Canvas->Font()->Handle());
      GetTextExtentPoint32W(BDC, Text, lstrlenW(Text), &TS);
      SelectObject(BDC, OldFont);
      const int TextWidth = TS.cx + 5;
      switch (Item.fmt & HDF_JUSTIFYMASK) {
        case HDF_RIGHT:
          T.Right -= GlyphWidth;
          T.Left = T.Right - TextWidth;
          break;
        case HDF_CENTER:
          T.Left += ImageOffset + (T.Right - T.Left - TextWidth - GlyphWidth - ImageOffset) / 2;
          T.Right = T.Left + TextWidth;
          break;
        default:
          T.Left += ImageOffset;
          T.Right = T.Left + TextWidth;
          break;
      }
      if (M->IsValidMaskIndex(GlyphIndex)) {
        const TPoint P{T.Right + 6, T.Top + (T.Bottom - T.Top - GlyphSize.cy) / 2};
        DrawSkinGlyph(Bmp.get(), P, State, 1, M->Masks()[static_cast<std::size_t>(GlyphIndex)],
                      MakeCacheInfo(Bmp.get()));
      }
      if (State == 2) {
        T.Left += 1;
        T.Right += 1;
        T.Top += 1;
        T.Bottom += 1;
      }
      if (Section >= 0)
        WriteSectionText(Canvas, Text, true, T, DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS | DT_END_ELLIPSIS, Section,
                         State != 0, M);
      if (HasImage && Item.iImage != -1 && Index < View->Columns()->Count()) {
        const int Column = View->Columns()->Items(Index)->ImageIndex();
        const int Y = T.Top + (T.Bottom - T.Top - Images->Height()) / 2 + (State == 2 ? 1 : 0);
        Images->Draw(Canvas, T.Left - ImageOffset, Y, Column, View->Enabled());
      }
    }
  }
  BitBlt(DC, R.Left, R.Top, W, H, Canvas->Handle(), 0, 0, SRCCOPY);
}

// ---- TacTreeViewWnd -----------------------------------------------------------------------------

TacTreeViewWnd::~TacTreeViewWnd() { DetachOnDestroy(); }

void TacTreeViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  if (CtrlHandle == nullptr) return;
  OldTreeBkColor = static_cast<COLORREF>(SendMessageW(CtrlHandle, TVM_GETBKCOLOR, 0, 0));
  OldTreeTextColor = static_cast<COLORREF>(SendMessageW(CtrlHandle, TVM_GETTEXTCOLOR, 0, 0));
}

void TacTreeViewWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  if (CtrlHandle == nullptr || !IsWindow(CtrlHandle)) return;
  SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(OldTreeBkColor));
  SendMessageW(CtrlHandle, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(OldTreeTextColor));
  InvalidateRect(CtrlHandle, nullptr, TRUE);
}

void TacTreeViewWnd::SetSkinParams() {
  ParamsChanged = true;
  if (CtrlHandle == nullptr) return;
  if (DlgMode) {
    SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(clWindow)));
    return;
  }
  const TsGeneralData* S = SectionOf(this);
  if (S == nullptr) return;
  const COLORREF Bg = ColorToRGB(S->HotColor);
  if (TControl* C = SkinData->OwnerControl()) {
    if (!SkinData->CustomFont() && C->Font()->Color() != S->HotFontColor[0]) C->Font()->SetColor(S->HotFontColor[0]);
    if (!SkinData->CustomColor() && ColorToRGB(C->Color()) != Bg)
      SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(Bg));
  } else {
    if (static_cast<COLORREF>(SendMessageW(CtrlHandle, TVM_GETBKCOLOR, 0, 0)) != Bg)
      SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(Bg));
    const COLORREF Fg = ColorToRGB(S->HotFontColor[0]);
    if (static_cast<COLORREF>(SendMessageW(CtrlHandle, TVM_GETTEXTCOLOR, 0, 0)) != Fg)
      SendMessageW(CtrlHandle, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(Fg));
  }
}

void TacTreeViewWnd::WndProc(TMessage& Message) {
  if (Destroyed || !HasSkinSection(this)) {
    TacEditWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND: {
      // A framework tree draws itself when its program handles its custom drawing.
      if (auto* Tree = dynamic_cast<TCustomTreeView*>(SkinData->OwnerControl()))
        OwnerDrawsBackground = static_cast<bool>(Tree->OnCustomDraw);
      if (OwnerDrawsBackground) {
        Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
        return;
      }
      SkinData->Updating = SkinData->GetUpdating();
      if (SkinData->Updating) return;
      if (SkinData->BackgroundStale) PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      const bool Own = DC == nullptr;
      if (Own) DC = GetWindowDC(CtrlHandle);
      if (DC != nullptr) {
        RECT W{};
        GetWindowRect(CtrlHandle, &W);
        const TsGeneralData* S = SectionOf(this);
        FillRectSolid(DC, TRect{0, 0, W.right - W.left, W.bottom - W.top},
                      DlgMode || S == nullptr ? clWindow : static_cast<TColor>(S->HotColor));
        if (Own) ReleaseDC(CtrlHandle, DC);
      }
      Message.Result = 0;
      return;
    }
    case WM_LBUTTONUP:
      TacEditWnd::WndProc(Message);
      ReleaseCapture();
      return;
    case WM_PAINT:
      // The tree sets its scroll data again at the end of each paint, and the system then draws
      // its own bars over the skinned ones.
      if (AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); }) && BarShown()) UpdateScrollInfo(this, true);
      return;
    default:
      TacEditWnd::WndProc(Message);
      return;
  }
}

// ---- TacGridWnd ---------------------------------------------------------------------------------

TacGridWnd::~TacGridWnd() { DetachOnDestroy(); }

void TacGridWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C == nullptr) return;
  OldFixedColor = GetColorPropIfExists(C, "FixedColor");
  if (TObject* F = FontProp(C, "TitleFont")) OldTitleFontColor = GetOrdPropByName(F, "Color");
  if (TObject* Look = GetObjectPropByName(C, "ControlLook")) {
    if (TObject* F = FontProp(C, "FixedFont")) OldTitleFontColor = GetColorPropIfExists(F, "Color");
    OldGridFixedLineColor = GetColorPropIfExists(C, "GridFixedLineColor");
    OldGridLineColor = GetColorPropIfExists(C, "GridLineColor");
    // clNone is read raw (a converted clNone is no longer recognisable) and saved as clBtnFace.
    auto Gradient = [Look](const char* Name) {
      const TColor Raw = static_cast<TColor>(GetOrdPropByName(Look, Name));
      return Raw == clNone ? clBtnFace : GetColorPropIfExists(Look, Name);
    };
    OldFixedGradientFrom = Gradient("FixedGradientFrom");
    OldFixedGradientTo = Gradient("FixedGradientTo");
    OldSelectionColor = GetColorPropIfExists(C, "SelectionColor");
    OldSelectionTextColor = GetColorPropIfExists(C, "SelectionTextColor");
  }
  OldFooterColor = GetColorPropIfExists(C, "FooterColor");
  OldFooterCellColor = GetColorPropIfExists(C, "FooterCellColor");
  OldTitleColor = GetColorPropIfExists(C, "TitleColor");
  OldIndicatorIconColor = GetColorPropIfExists(C, "IndicatorIconColor");
}

void TacGridWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C == nullptr || C->IsDestroying()) return;
  SetOrdPropIfExists(C, "FixedColor", OldFixedColor);
  SetOrdPropIfExists(FontProp(C, "TitleFont"), "Color", OldTitleFontColor);
  if (TObject* Look = GetObjectPropByName(C, "ControlLook")) {
    SetOrdPropIfExists(FontProp(C, "FixedFont"), "Color", OldTitleFontColor);
    SetOrdPropIfExists(C, "GridFixedLineColor", OldGridFixedLineColor);
    SetOrdPropIfExists(C, "GridLineColor", OldGridLineColor);
    SetOrdPropIfExists(Look, "FixedGradientFrom", OldFixedGradientFrom);
    SetOrdPropIfExists(Look, "FixedGradientTo", OldFixedGradientTo);
    SetOrdPropIfExists(C, "SelectionColor", OldSelectionColor);
    SetOrdPropIfExists(C, "SelectionTextColor", OldSelectionTextColor);
  }
  SetOrdPropIfExists(C, "FooterColor", OldFooterColor);
  SetOrdPropIfExists(C, "FooterCellColor", OldFooterCellColor);
  SetOrdPropIfExists(C, "TitleColor", OldTitleColor);
  SetOrdPropIfExists(C, "IndicatorIconColor", OldIndicatorIconColor);
}

void TacGridWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  TsSkinManager* M = ManagerOf(this);
  if (C == nullptr || M == nullptr) return;
  const TColor Global = M->GetGlobalColor();
  const TColor GlobalFont = M->GetGlobalFontColor();
  const TColor GlobalHot = M->GetGlobalHotColor();
  SetOrdPropIfExists(C, "FixedColor", Global);
  SetOrdPropIfExists(FontProp(C, "TitleFont"), "Color", GlobalFont);
  if (TObject* Look = GetObjectPropByName(C, "ControlLook")) {
    SetOrdPropIfExists(FontProp(C, "FixedFont"), "Color", GlobalFont);
    if (M->SkinData()->HasBorderColor()) SetOrdPropIfExists(C, "GridFixedLineColor", M->SkinData()->BorderColor);
    SetOrdPropIfExists(C, "GridLineColor", MixColorsLinear(GlobalHot, M->GetEditHotFontColor(), 0.5));
    SetOrdPropIfExists(Look, "FixedGradientFrom", MixColorsLinear(Global, GlobalHot, 0.5));
    SetOrdPropIfExists(Look, "FixedGradientTo", Global);
    SetOrdPropIfExists(C, "SelectionColor", M->GetHighlightColor());
    SetOrdPropIfExists(C, "SelectionTextColor", M->GetHighlightFontColor());
  }
  const int GI = M->CommonSkinIndexes().GlobalInfo;
  const TColor GlobalRecord = M->IsValidSectionIndex(GI) ? M->GeneralData()[static_cast<std::size_t>(GI)].Color : Global;
  SetOrdPropIfExists(C, "FooterColor", GlobalRecord);
  SetOrdPropIfExists(C, "FooterCellColor", GlobalRecord);
  SetOrdPropIfExists(C, "TitleColor", GlobalRecord);
  if (const TsGeneralData* S = SectionOf(this)) SetOrdPropIfExists(C, "IndicatorIconColor", S->FontColor[0]);
}

void TacGridWnd::WndProc(TMessage& Message) {
  if (Destroyed || !HasSkinSection(this)) {
    TacEditWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      SkinData->Updating = SkinData->GetUpdating();
      return;
    case WM_VSCROLL: {
      TControl* C = SkinData->OwnerControl();
      const int Code = LOWORD(Message.WParam);
      if (C != nullptr && HasProp(C, "DataSource") && VertBar != nullptr &&
          (Code == SB_THUMBPOSITION || Code == SB_THUMBTRACK)) {
        SCROLLINFO& SI = VertBar->ScrollInfo;
        SI.cbSize = sizeof(SI);
        SI.fMask = SIF_ALL;
        SI.nPos = Code == SB_THUMBPOSITION ? SI.nTrackPos + 1 : SI.nTrackPos;
        SetScrollInfo(CtrlHandle, SB_VERT, &SI, FALSE);
      }
      break;
    }
    case WM_PRINT: {
      if (!AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); }) || Message.WParam == 0) return;
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      const int Saved = SaveDC(DC);
      ClipToClientPart(DC);
      SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
      RestoreDC(DC, Saved);
      return;
    }
    default:
      break;
  }
  if (!AdapterGoesOnAfter(this, [&] { TacEditWnd::WndProc(Message); })) return;
  if (Message.Msg == WM_PAINT)
    UpdateScrollInfo(this, true);
  else if (Message.Msg == WM_WINDOWPOSCHANGED)
    NcPaint(CtrlHandle);
}

// ---- TacVirtualTreeViewWnd ----------------------------------------------------------------------

TacVirtualTreeViewWnd::~TacVirtualTreeViewWnd() { DetachOnDestroy(); }

void TacVirtualTreeViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C == nullptr) return;
  if (TObject* Colors = GetObjectPropByName(C, "VETColors")) {
    OldCompressedTextColor = GetOrdPropByName(Colors, "CompressedTextColor");
    OldFileTextColor = GetOrdPropByName(Colors, "FileTextColor");
    OldFolderTextColor = GetOrdPropByName(Colors, "FolderTextColor");
  }
  if (TObject* Header = GetObjectPropByName(C, "Header"))
    OldHeaderOwnerDraw = SetPropContains(Header, "Options", "hoOwnerDraw");
}

void TacVirtualTreeViewWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C == nullptr || C->IsDestroying()) return;
  if (TObject* Colors = GetObjectPropByName(C, "VETColors")) {
    SetOrdPropIfExists(Colors, "CompressedTextColor", OldCompressedTextColor);
    SetOrdPropIfExists(Colors, "FileTextColor", OldFileTextColor);
    SetOrdPropIfExists(Colors, "FolderTextColor", OldFolderTextColor);
  }
  TObject* Header = GetObjectPropByName(C, "Header");
  if (Header != nullptr) ChangeSetProp(Header, "Options", "hoOwnerDraw", OldHeaderOwnerDraw);
  if (TObject* Column = GetObjectPropByName(C, "PaintInfoColumn")) {
    SetOrdPropIfExists(Column, "Color", clBtnFace);
    if (Header != nullptr) {
      SetOrdPropIfExists(Header, "Color", clBtnFace);
      SetOrdPropIfExists(FontProp(Header, "Font"), "Color", clBtnText);
    }
  }
}

void TacVirtualTreeViewWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  TsSkinManager* M = ManagerOf(this);
  if (C == nullptr || M == nullptr) return;
  const TsGeneralData* S = SectionOf(this);
  if (TObject* Colors = GetObjectPropByName(C, "VETColors"); Colors != nullptr && S != nullptr) {
    SetOrdPropIfExists(Colors, "CompressedTextColor", S->HotFontColor[0]);
    SetOrdPropIfExists(Colors, "FileTextColor", S->HotFontColor[0]);
    SetOrdPropIfExists(Colors, "FolderTextColor", S->HotFontColor[0]);
  }
  if (TObject* Column = GetObjectPropByName(C, "PaintInfoColumn")) {
    SetOrdPropIfExists(Column, "Color", M->GetGlobalColor());
    SetOrdPropIfExists(Column, "Style", 1);
    if (TObject* Header = GetObjectPropByName(C, "Header")) {
      SetOrdPropIfExists(Header, "Color", M->GetGlobalHotColor());
      SetOrdPropIfExists(FontProp(Header, "Font"), "Color", M->GetGlobalFontColor());
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
    }
    // The tree's own themed look stays: drawing its header from the skin is not built (see
    // docs/architecture.md, "Not built").
  }
}

void TacVirtualTreeViewWnd::WndProc(TMessage& Message) {
  if (Destroyed || !HasSkinSection(this)) {
    TacEditWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (LOWORD(Message.WParam) == SB_THUMBTRACK) {
        TacScrollBar* Bar = Message.Msg == WM_VSCROLL ? VertBar : HorzBar;
        if (Bar != nullptr) {
          Bar->ScrollInfo.cbSize = sizeof(SCROLLINFO);
          Bar->ScrollInfo.fMask = SIF_ALL;
          Bar->ScrollInfo.nPos = Bar->ScrollInfo.nTrackPos;
          SetScrollInfo(CtrlHandle, Message.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, &Bar->ScrollInfo, FALSE);
        }
      }
      break;
    case WM_ERASEBKGND:
      return;
    case WM_PRINT: {
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      if (DC == nullptr) break;
      SkinData->Updating = false;
      if (SkinData->BackgroundStale) {
        if (!ParamsChanged) SetSkinParams();
        PrepareWindowCache(SkinData, CtrlHandle, false);
      }
      int HeaderHeight = 0;
      if (TControl* C = SkinData->OwnerControl())
        if (TObject* Header = GetObjectPropByName(C, "Header"); Header != nullptr && SetPropContains(Header, "Options", "hoVisible"))
          HeaderHeight = std::max(0, GetOrdPropByName(Header, "Height"));
      const int Saved = SaveDC(DC);
      MoveWindowOrg(DC, InsetLeft, InsetLeft + HeaderHeight);
      CallOldWndProc(this, CtrlHandle, WM_PRINTCLIENT, Message.WParam, Message.LParam);
      RestoreDC(DC, Saved);
      CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      GetWndRects(this);
      FillBorderCorners(SkinData, 0, this);
      BltCacheFrame(DC, InsetLeft);
      Message.Result = PaintSkinScrollBars(this, CtrlHandle, nullptr, 0, -1, DC);
      return;
    }
    case WM_NCPAINT: {
      if (!IsWindowVisible(CtrlHandle)) break;
      if (!UpdateFrameCache()) return;
      FillBorderCorners(SkinData, 0, this);
      // The bars' paint may free the adapter (the window's answer to a skin question).
      const HWND Wnd = CtrlHandle;
      HDC DC = GetWindowDC(Wnd);
      if (DC != nullptr) {
        // Given back however the paint ends (the old procedure's paint may free the adapter).
        const int Saved = SaveDC(DC);
        TScopeExit Release([&] {
          RestoreDC(DC, Saved);
          ReleaseDC(Wnd, DC);
        });
        BltCacheFrame(DC, InsetLeft);
        LPARAM LP = 0;
        CallOldWndProc(this, Wnd, WM_PRINT, reinterpret_cast<WPARAM>(DC), LP);
        Message.Result = PaintSkinScrollBars(this, Wnd, nullptr, 0, -1, DC);
      }
      return;
    }
    default:
      break;
  }
  TacEditWnd::WndProc(Message);
}
