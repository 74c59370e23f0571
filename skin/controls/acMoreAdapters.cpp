// Panel, tab-control, page-control, up-down, tool-bar and dialog adapters. Win32.
#include "skin/controls/acMoreAdapters.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
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

bool Destroying(TControl* C) { return C != nullptr && C->ComponentState().Contains(csDestroying); }

}  // namespace

// ==== TacPanelWnd ==================================================================================

namespace {

AnsiString PanelDefaultSection(TsCommonData* D, const AnsiString& Given) {
  if (!Given.empty()) return Given;
  if (D != nullptr && !D->SkinSection().empty() && D->SkinSection() != "UNKNOWN") return D->SkinSection();
  return TacPanelWnd::SectionByBevels(D != nullptr ? dynamic_cast<TWinControl*>(D->OwnerControl()) : nullptr);
}

}  // namespace

TacPanelWnd::TacPanelWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                         const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, PanelDefaultSection(ASkinData, SkinSection)) {}

AnsiString TacPanelWnd::SectionByBevels(TWinControl* Panel) {
  auto* P = dynamic_cast<TCustomPanel*>(Panel);
  if (P == nullptr) return "CHECKBOX";
  switch (P->BevelOuter()) {
    case bvLowered:
      return P->BevelInner() == bvRaised ? "GROUPBOX" : "PANEL_LOW";
    case bvRaised:
      return P->BevelInner() == bvLowered ? "GROUPBOX" : "PANEL";
    default:
      return P->BorderStyle() == bsSingle ? "PANEL_LOW" : "CHECKBOX";
  }
}

bool TacPanelWnd::Handles() const {
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  return C != nullptr && C->ControlStyle().Contains(csAcceptsControls);
}

void TacPanelWnd::PrepareCache() {
  GetWndRects(this);
  TCacheInfo CI;
  GetParentCacheOfWindow(CtrlHandle, CI);
  SkinData->PrepareCacheBmp();
  TBitmap* Bmp = SkinData->CacheBmp();
  const int W = std::max(0, static_cast<int>(WndSize.cx)), H = std::max(0, static_cast<int>(WndSize.cy));
  Bmp->SetSize(W, H);
  PaintControlSkin(SkinData, CI, true, 0, TRect(0, 0, W, H), TPoint(WndPos.X, WndPos.Y), Bmp);
  SkinData->BackgroundStale = false;
  // The caption, centred in the client part inside the border and the bevels.
  auto* P = dynamic_cast<TCustomPanel*>(SkinData->OwnerControl());
  const WideString Text = WndText;
  if (Text.empty()) return;
  const TSize CS = WindowClientSize(CtrlHandle);
  const int FW = (W - CS.cx) / 2;
  TRect R(FW, FW, FW + CS.cx, FW + CS.cy);
  if (P != nullptr) {
    int Inset = P->BorderWidth();
    if (P->BevelOuter() != bvNone) Inset += P->BevelWidth();
    if (P->BevelInner() != bvNone) Inset += P->BevelWidth();
    R = TRect(R.Left + Inset, R.Top + Inset, R.Right - Inset, R.Bottom - Inset);
    Bmp->Canvas()->SetFont(P->Font());
  } else {
    TakeWindowFont(Bmp->Canvas(), CtrlHandle);
  }
  Bmp->Canvas()->Brush()->SetStyle(bsClear);
  const int TH = Bmp->Canvas()->TextHeight(AnsiString("W"));
  const int Top = R.Top + (R.Height() - TH) / 2;
  TRect L(R.Left, Top, R.Right, Top + TH);
  DrawCaptionText(Bmp->Canvas(), Text.c_str(), P == nullptr || P->Enabled(), L, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                  SkinData, false);
}

void TacPanelWnd::PaintBackground(HDC GivenDC) {
  auto* Ctrl = dynamic_cast<TWinControl*>(SkinData->OwnerControl());
  if (Destroying(Ctrl) || (Ctrl != nullptr && Ctrl->Parent() != nullptr &&
                           Ctrl->Parent()->ControlState().Contains(csCreating)))
    return;
  HDC DC = GivenDC != nullptr ? GivenDC : GetDC(CtrlHandle);
  const int Saved = SaveDC(DC);
  SkinData->Updating = SkinData->GetUpdating();
  if (!SkinData->Updating) {
    if (FOutOfParent || SkinData->BackgroundStale || SkinData->CacheBmp() == nullptr) PrepareCache();
    GetWndRects(this);
    if (SkinData->ParentDependent()) {
      RECT Clip{};
      GetClipBox(DC, &Clip);
      FOutOfParent = (Clip.right - Clip.left) != WndSize.cx || (Clip.bottom - Clip.top) != WndSize.cy;
    } else {
      FOutOfParent = false;
    }
    const TSize CS = WindowClientSize(CtrlHandle);
    const int FW = (WndSize.cx - CS.cx) / 2;
    CopyCacheExceptControls(Ctrl, SkinData, TPoint(FW, FW), 0, 0, false, DC, TRect(0, 0, CS.cx, CS.cy));
    if (Ctrl != nullptr) {
      PaintGraphicControls(DC, Ctrl, TPoint(0, 0));
      RefreshChildControls(Ctrl);
    }
  }
  RestoreDC(DC, Saved);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacPanelWnd::PaintFrame(HDC GivenDC) {
  // The cache is brought up to date here: the frame may be painted before the client area.
  if (SkinData->BackgroundStale || SkinData->CacheBmp() == nullptr) PrepareCache();
  GetWndRects(this);
  const TSize CS = WindowClientSize(CtrlHandle);
  const int FW = (WndSize.cx - CS.cx) / 2;
  if (FW <= 0 || SkinData->CacheBmp() == nullptr) return;
  HDC DC = GivenDC != nullptr ? GivenDC : GetWindowDC(CtrlHandle);
  BltFrame(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, FW);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacPanelWnd::WndProc(TMessage& Message) {
  if (SkinData == nullptr || !Handles()) {
    TacMainWnd::WndProc(Message);
    return;
  }
  TControl* Ctrl = SkinData->OwnerControl();
  if (Message.Msg == SM_ALPHACMD) {
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
      case AC_REFRESHSKIN:
        TacMainWnd::WndProc(Message);
        BroadcastToChildren(Ctrl, CtrlHandle, Message);
        return;
      case AC_SKINREMOVED:
        SkinData->SectionIndex = -1;
        Ctrl->SetControlStyle(Ctrl->ControlStyle() - csOpaque);
        TacMainWnd::WndProc(Message);
        return;
      case AC_REFRESHIFSKINNED:
        SkinData->Updating = false;
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        return;
      case AC_ISSKINNED:
        Message.Result = 1;
        return;
      case AC_PREPARECACHE:
        return;
      case AC_GETAPPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(Application);
        return;
      default:
        TacMainWnd::WndProc(Message);
        return;
    }
  }
  const bool On = SkinnedUnderActiveManager(SkinData);
  switch (Message.Msg) {
    case WM_NCPAINT:
      if (!On) break;
      PaintFrame(nullptr);
      Message.Result = 0;
      return;
    case WM_SETTEXT:
      if (!On || !IsWindowVisible(CtrlHandle)) break;
      SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      TacMainWnd::WndProc(Message);
      SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      SkinData->BackgroundStale = true;
      InvalidateRect(CtrlHandle, nullptr, TRUE);
      return;
    case WM_PAINT: {
      if (!On) break;
      RepaintThroughErase(CtrlHandle);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (!On) break;
      PaintBackground(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 1;
      return;
    case WM_UPDATEUISTATE:
      if (!On) break;
      Message.Result = 1;
      return;
    case WM_PARENTNOTIFY:
      if (!On || (LOWORD(Message.WParam) != WM_CREATE && LOWORD(Message.WParam) != WM_DESTROY)) break;
      TacMainWnd::WndProc(Message);
      if (LOWORD(Message.WParam) == WM_CREATE) NotifyParentFormLoaded(Ctrl);
      return;
    case WM_PRINT:
      if (!On) break;
      PaintBackground(reinterpret_cast<HDC>(Message.WParam));
      PaintFrame(reinterpret_cast<HDC>(Message.WParam));
      return;
    case WM_WINDOWPOSCHANGING:
      TacMainWnd::WndProc(Message);
      if (On) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
      return;
    default:
      break;
  }
  TacMainWnd::WndProc(Message);
}

// ==== TacTabControlWnd =============================================================================

TacTabControlWnd::TacTabControlWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                   const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, SkinSection.empty() ? AnsiString("PAGECONTROL") : SkinSection) {}

TacTabControlWnd::~TacTabControlWnd() {
  delete UpDown;
  UpDown = nullptr;
}

int TacTabControlWnd::TabPosition() {
  const LONG S = GetWindowLongW(CtrlHandle, GWL_STYLE);
  if ((S & TCS_VERTICAL) != 0) return (S & TCS_RIGHT) != 0 ? 3 : 2;
  return (S & TCS_BOTTOM) != 0 ? 1 : 0;
}

int TacTabControlWnd::TabStyle() {
  const LONG S = GetWindowLongW(CtrlHandle, GWL_STYLE);
  if ((S & TCS_FLATBUTTONS) != 0) return 2;
  return (S & TCS_BUTTONS) != 0 ? 1 : 0;
}

int TacTabControlWnd::TabCount() { return static_cast<int>(SendMessageW(CtrlHandle, TCM_GETITEMCOUNT, 0, 0)); }
int TacTabControlWnd::ActiveIndex() { return static_cast<int>(SendMessageW(CtrlHandle, TCM_GETCURSEL, 0, 0)); }

TRect TacTabControlWnd::PageRect() {
  GetWndRects(this);
  RECT R{0, 0, WndSize.cx, WndSize.cy};
  SendMessageW(CtrlHandle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&R));
  return TRect(R.left, R.top + 2, R.right, R.bottom);
}

namespace {

// Splits the control's rectangle at the edge of the tab strip into the body and the strip; without
// tabs both are the whole control.
void SplitAtTabStrip(TacTabControlWnd* Wnd, TRect& Body, TRect& Tabs) {
  GetWndRects(Wnd);
  Body = TRect(0, 0, Wnd->WndSize.cx, Wnd->WndSize.cy);
  Tabs = Body;
  if (Wnd->TabCount() == 0) return;
  const TRect P = Wnd->PageRect();
  switch (Wnd->TabPosition()) {
    case 0: Body.Top = Tabs.Bottom = P.Top - 4; break;
    case 1: Body.Bottom = Tabs.Top = P.Bottom + 1; break;
    case 2: Body.Left = Tabs.Right = P.Left - 1; break;
    default: Body.Right = Tabs.Left = P.Right + 1; break;
  }
}

}  // namespace

TRect TacTabControlWnd::BodyRect() {
  TRect Body, Tabs;
  SplitAtTabStrip(this, Body, Tabs);
  return Body;
}

TRect TacTabControlWnd::TabsRect() {
  TRect Body, Tabs;
  SplitAtTabStrip(this, Body, Tabs);
  return Tabs;
}

TRect TacTabControlWnd::SkinTabRect(int Index, bool Active) {
  const int N = TabCount();
  if (Index < 0 || Index >= N || N < 1 || ActiveIndex() < 0) return TRect(0, 0, 0, 0);
  RECT IR{};
  SendMessageW(CtrlHandle, TCM_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&IR));
  TRect R(IR.left, IR.top, IR.right, IR.bottom);
  if (TabStyle() != 0 || R.Left == R.Right) return R;
  if (Active) {
    R.Bottom -= 1;
  } else {
    R.Bottom += 3;
    R.Right -= 1;
  }
  const int A = Active ? 1 : 0;
  auto Inflate = [&R](int DX, int DY) { R = TRect(R.Left - DX, R.Top - DY, R.Right + DX, R.Bottom + DY); };
  switch (TabPosition()) {
    case 0:
      Inflate(2 * A, 2 * A);
      R.Bottom += 1;
      break;
    case 1:
      Inflate(2 * A, A);
      R.Top -= 2;
      R.Bottom += Active ? 1 : -3;
      break;
    case 2:
      Inflate(0, 1);
      R.Right += 2;
      if (Active) {
        Inflate(1, 1);
      } else {
        R.Bottom -= 4;
        R.Right += 2;
      }
      break;
    default:
      Inflate(1, 0);
      R = TRect(R.Left - 1, R.Top - 1, R.Right - 1, R.Bottom - 1);
      if (Active) {
        Inflate(1, 1);
        R.Bottom += 3;
      } else {
        R.Bottom -= 2;
      }
      break;
  }
  return R;
}

int TacTabControlWnd::TabRow(int Index) {
  const int Rows = static_cast<int>(SendMessageW(CtrlHandle, TCM_GETROWCOUNT, 0, 0));
  if (Rows < 2) return 1;
  RECT IR{};
  SendMessageW(CtrlHandle, TCM_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&IR));
  const int W = std::max<int>(1, IR.right - IR.left), H = std::max<int>(1, IR.bottom - IR.top);
  const TRect S = TabsRect();
  switch (TabPosition()) {
    case 0: return (IR.bottom + H / 2) / H;
    case 2: return (IR.right + W / 2) / W;
    case 1: return Rows - (IR.bottom - S.Top + H / 2) / H + 1;
    default: return Rows - (IR.right - S.Left + W / 2) / W + 1;
  }
}

AnsiString TacTabControlWnd::BodySection() {
  if (TabCount() == 0) return "CHECKBOX";
  const AnsiString S = SkinData->SkinSection();
  if (S != "PAGECONTROL") return S;
  static const char* const ByPos[4] = {"PAGECONTROL", "PAGECONTROLBOTTOM", "PAGECONTROLLEFT", "PAGECONTROLRIGHT"};
  return ByPos[TabPosition()];
}

void TacTabControlWnd::DrawSkinTab(int Index, int State, TPoint Offset, TBitmap* Bmp) {
  if (Index < 0 || Bmp == nullptr) return;
  TsSkinManager* M = SkinData->GetSkinManager();
  if (M == nullptr) return;
  const int Active = ActiveIndex();
  const TRect Rt = SkinTabRect(Index, State == 2 && Index == Active);
  if (Rt.Width() <= 0 || Rt.Height() <= 0) return;
  wchar_t Buf[4096] = {};
  TCITEMW Item{};
  Item.mask = TCIF_TEXT | TCIF_IMAGE;
  Item.pszText = Buf;
  Item.cchTextMax = 4095;
  SendMessageW(CtrlHandle, TCM_GETITEMW, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item));
  const int Pos = TabPosition(), Style = TabStyle();
  // The tab section and its border mask.
  const TacCommonSkinIndexes& Ix = M->CommonSkinIndexes();
  int Sec = -1, Mask = -1;
  AnsiString SecName;
  if (Style == 0) {
    const TacSkinPartIndexes* P[4] = {&Ix.TabTop, &Ix.TabBottom, &Ix.TabLeft, &Ix.TabRight};
    static const char* const Names[4] = {"TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT"};
    Sec = P[Pos]->Section;
    Mask = P[Pos]->BordersMask;
    SecName = Names[Pos];
  } else {
    SecName = Style == 1 ? "BUTTON" : "TOOLBUTTON";
    Sec = M->GetSectionIndex(SecName);
    Mask = M->GetOwnMaskIndex(SecName, "BORDERSMASK");
  }
  TBitmap* Cache = SkinData->CacheBmp();
  if (Ix.TabTop.Section > 0 && Sec >= 0 && M->IsValidMaskIndex(Mask) && Cache != nullptr) {
    TBitmap Tmp(Rt.Width(), Rt.Height(), pf24bit);
    const HDC Dst = Bmp->Canvas()->Handle();
    if (State == 2 && Index == Active) {
      BitBlt(Tmp.Canvas()->Handle(), 0, 0, Rt.Width(), Rt.Height(), Cache->Canvas()->Handle(), Rt.Left, Rt.Top, SRCCOPY);
      PaintSectionWithCorners(Sec, SecName, MakeCacheInfo(&Tmp, 0, 0), true, 2,
                              TRect(Rt.Left + Offset.X, Rt.Top + Offset.Y, Rt.Right + Offset.X, Rt.Bottom + Offset.Y),
                              TPoint(-(Rt.Left + Offset.X), -(Rt.Top + Offset.Y)), Bmp, M);
    } else {
      PaintSectionWithCorners(Sec, SecName, MakeCacheInfo(Cache, Rt.Left, Rt.Top), true, State,
                              TRect(0, 0, Rt.Width(), Rt.Height()), TPoint(0, 0), &Tmp, M);
      const int Saved = SaveDC(Dst);
      if (Pos == 0 || Pos == 2) {
        const TRect B = BodyRect();
        ExcludeClipRect(Dst, B.Left + Offset.X, B.Top + Offset.Y, B.Right + Offset.X, B.Bottom + Offset.Y);
      }
      BitBlt(Dst, Rt.Left + Offset.X, Rt.Top + Offset.Y, Rt.Width(), Rt.Height(), Tmp.Canvas()->Handle(), 0, 0,
             SRCCOPY);
      RestoreDC(Dst, Saved);
    }
  }
  // Image and caption.
  TRect C(Rt.Left + Offset.X, Rt.Top + Offset.Y, Rt.Right + Offset.X, Rt.Bottom + Offset.Y);
  TCanvas* Canvas = Bmp->Canvas();
  TakeWindowFont(Canvas, CtrlHandle);
  if (TControl* Owner = SkinData->OwnerControl()) Canvas->SetFont(Owner->Font());
  Canvas->Brush()->SetStyle(bsClear);
  HIMAGELIST IL = reinterpret_cast<HIMAGELIST>(SendMessageW(CtrlHandle, TCM_GETIMAGELIST, 0, 0));
  const WideString Caption(Buf);
  if (Pos < 2) {
    if (IL != nullptr && Item.iImage >= 0) {
      int IW = 0, IH = 0;
      ImageList_GetIconSize(IL, &IW, &IH);
      const int X = C.Left + (C.Width() - (Canvas->TextWidth(Caption) + IW + 8)) / 2;
      const int Y = C.Top + (C.Height() - IH) / 2;
      ImageList_Draw(IL, Item.iImage, Canvas->Handle(), X, Y, ILD_NORMAL);
      C.Left += IW;
    }
    WriteSectionText(Canvas, Caption.c_str(), true, C, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Sec >= 0 ? Sec : SkinData->SectionIndex,
                     State != 0, M);
    return;
  }
  // Side tabs: the caption rotated, at normal weight; "MS Sans Serif" (a raster font that cannot
  // turn) becomes "Arial".
  LOGFONTW LF{};
  GetObjectW(Canvas->Font()->Handle(), sizeof(LF), &LF);
  LF.lfWidth = 0;
  LF.lfEscapement = LF.lfOrientation = Pos == 2 ? 900 : 2700;
  LF.lfWeight = FW_NORMAL;
  if (std::wstring(LF.lfFaceName) == L"MS Sans Serif") wcscpy(LF.lfFaceName, L"Arial");
  HFONT Rot = CreateFontIndirectW(&LF);
  HDC DC = Canvas->Handle();
  HGDIOBJ Old = SelectObject(DC, Rot);
  const TsGeneralData* G = Sec >= 0 && Sec < static_cast<int>(M->GeneralData().size())
                               ? &M->GeneralData()[static_cast<std::size_t>(Sec)]
                               : nullptr;
  if (G != nullptr) SetTextColor(DC, static_cast<COLORREF>(State != 0 ? G->HotFontColor[0] : G->FontColor[0]));
  SetBkMode(DC, TRANSPARENT);
  if (Pos == 3) C = TRect(C.Left - 2, C.Top - 1, C.Right - 2, C.Bottom - 1);
  SIZE Ext{};
  GetTextExtentPoint32W(DC, Caption.c_str(), static_cast<int>(Caption.size()), &Ext);
  const int TW = Ext.cx, TH = Ext.cy;
  RECT Clip{C.Left, C.Top, C.Right, C.Bottom};
  // Escapement 900 runs bottom-up from the reference point; 2700 top-down.
  const int X = Pos == 2 ? C.Left + (C.Width() - TH) / 2 : C.Left + (C.Width() - TH) / 2 + TH;
  const int Y = Pos == 2 ? C.Bottom - (C.Height() - TW) / 2 : C.Top + (C.Height() - TW) / 2;
  ExtTextOutW(DC, X, Y, ETO_CLIPPED, &Clip, Caption.c_str(), static_cast<UINT>(Caption.size()), nullptr);
  SelectObject(DC, Old);
  DeleteObject(Rot);
}

void TacTabControlWnd::PaintControl(TMessage& Message) {
  GetWndRects(this);
  SkinData->Updating = SkinData->GetUpdating();
  if (SkinData->Updating) return;
  TsSkinManager* M = SkinData->GetSkinManager();
  if (M == nullptr) return;
  const bool GivenDC = Message.WParam != 0 && (Message.LParam == 1 || acSkinChanging || Message.Msg == WM_ERASEBKGND ||
                                                Message.Msg == WM_PRINT);
  HDC DC = GivenDC ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
  const int SavedOuter = GivenDC ? 0 : SaveDC(DC);
  SkinData->BackgroundStale = true;
  const AnsiString Body = BodySection();
  const int BodyIndex = M->GetSectionIndex(Body);
  SkinData->SectionIndex = BodyIndex;
  TCacheInfo CI;
  GetParentCacheOfWindow(CtrlHandle, CI);
  SkinData->PrepareCacheBmp();
  TBitmap* Cache = SkinData->CacheBmp();
  Cache->SetSize(std::max(0, static_cast<int>(WndSize.cx)), std::max(0, static_cast<int>(WndSize.cy)));
  const int N = TabCount();
  const int Active = ActiveIndex();
  if (N > 0) {
    // The strip around the tabs shows the parent's background.
    const TRect TR = TabsRect();
    if (CI.Bmp != nullptr) {
      const int SX = CI.X + WndPos.X + TR.Left, SY = CI.Y + WndPos.Y + TR.Top;
      const int W = std::min(TR.Width(), CI.Bmp->Width()), H = std::min(TR.Height(), CI.Bmp->Height());
      BitBlt(Cache->Canvas()->Handle(), TR.Left, TR.Top, W, H, CI.Bmp->Canvas()->Handle(), SX, SY, SRCCOPY);
    } else {
      FillRectSolid(Cache->Canvas()->Handle(), TR, CI.FillColor);
    }
  }
  // The body first, so that the inactive tabs (drawn over the cache) take its edge as background.
  TCacheInfo BodyCI = CI;
  if (BodyCI.Bmp != nullptr) {
    BodyCI.X += WndPos.X;
    BodyCI.Y += WndPos.Y;
  }
  PaintSectionWithCorners(BodyIndex, Body, BodyCI, true, 0, BodyRect(), TPoint(0, 0), Cache, M);
  if (N > 0) {
    const int Rows = std::max(1, static_cast<int>(SendMessageW(CtrlHandle, TCM_GETROWCOUNT, 0, 0)));
    for (int Row = 1; Row <= Rows; ++Row)
      for (int I = 0; I < N; ++I)
        if (I != Active && TabRow(I) == Row) DrawSkinTab(I, 0, TPoint(0, 0), Cache);
  }
  SkinData->BackgroundStale = false;
  const TRect AR = Active >= 0 ? SkinTabRect(Active, true) : TRect(0, 0, 0, 0);
  const int Saved = SaveDC(DC);
  if (N > 0 && Active >= 0) ExcludeClipRect(DC, AR.Left, AR.Top, AR.Right, AR.Bottom);
  BitBlt(DC, 0, 0, Cache->Width(), Cache->Height(), Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(DC, Saved);
  if (N > 0 && Active >= 0 && AR.Width() > 0 && AR.Height() > 0) {
    TBitmap Tab(AR.Width(), AR.Height(), pf24bit);
    DrawSkinTab(Active, 2, TPoint(-AR.Left, -AR.Top), &Tab);
    BitBlt(DC, AR.Left, AR.Top, AR.Width(), AR.Height(), Tab.Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  if (auto* Owner = dynamic_cast<TWinControl*>(SkinData->OwnerControl())) PaintGraphicControls(DC, Owner, TPoint(0, 0));
  if (!GivenDC) {
    RestoreDC(DC, SavedOuter);
    ReleaseDC(CtrlHandle, DC);
  }
}

void TacTabControlWnd::WndProc(TMessage& Message) {
  if (SkinData == nullptr) {
    TacMainWnd::WndProc(Message);
    return;
  }
  TsSkinManager* M = SkinData->GetSkinManager();
  const bool On = SkinnedUnderActiveManager(SkinData);
  TControl* Owner = SkinData->OwnerControl();
  if (Message.Msg == SM_ALPHACMD) {
    const bool FromManager = M != nullptr && Message.LParam == reinterpret_cast<LPARAM>(M);
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
        if (FromManager) {
          SkinData->UpdateIndexes();
          SkinData->BackgroundStale = true;
        }
        BroadcastToChildren(Owner, CtrlHandle, Message);
        return;
      case AC_SKINREMOVED:
        if (FromManager) {
          RestoreStdParams();
          if (UpDown != nullptr) {
            delete UpDown;
            UpDown = nullptr;
          }
          BroadcastToChildren(Owner, CtrlHandle, Message);
          RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW |
                                                         RDW_ERASENOW | RDW_FRAME);
        } else {
          BroadcastToChildren(Owner, CtrlHandle, Message);
        }
        return;
      case AC_REFRESHSKIN:
        if (FromManager) {
          SkinData->UpdateIndexes();
          SkinData->BackgroundStale = true;
          InvalidateRect(CtrlHandle, nullptr, TRUE);
          CheckUpDown();
        }
        BroadcastToChildren(Owner, CtrlHandle, Message);
        return;
      case AC_REFRESHIFSKINNED:
        if (!On) break;
        SkinData->Updating = false;
        InvalidateRect(CtrlHandle, nullptr, TRUE);
        return;
      case AC_ISSKINNED:
        Message.Result = 1;
        return;
      case AC_ISBUSY:
        if (!On) break;
        Message.Result = SkinData->Updating ? 1 : 0;
        return;
      case AC_GETCAPTIONHEIGHT:
        Message.Result = reinterpret_cast<LRESULT>(M);
        return;
      default:
        break;
    }
    TacMainWnd::WndProc(Message);
    return;
  }
  if (On) {
    switch (Message.Msg) {
      case WM_PAINT: {
        RepaintThroughErase(CtrlHandle);
        Message.Result = 0;
        return;
      }
      case WM_ERASEBKGND:
        if (!IsWindowVisible(CtrlHandle)) break;
        if (!acSkinChanging) PaintControl(Message);
        CheckUpDown();
        Message.Result = 0;
        return;
      case WM_NCPAINT:
        Message.Result = 0;
        return;
      case WM_PRINT:
        CheckUpDown();
        PaintControl(Message);
        return;
      default:
        break;
    }
  }
  const TSize OldSize = WndSize;
  TacMainWnd::WndProc(Message);
  if (!SkinnedUnderActiveManager(SkinData)) return;
  switch (Message.Msg) {
    case WM_SIZE:
      CheckUpDown();
      if (LOWORD(Message.LParam) < OldSize.cx || HIWORD(Message.LParam) < OldSize.cy)
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_NOINTERNALPAINT | RDW_NOERASE | RDW_NOCHILDREN | RDW_FRAME);
      break;
    case TCM_SETCURSEL:
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
      break;
    case CM_CONTROLLISTCHANGE:
      CheckUpDown();
      break;
    default:
      break;
  }
}

// ==== TacPageControlWnd ============================================================================

TacPageControlWnd::TacPageControlWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                     const AnsiString& SkinSection)
    : TacTabControlWnd(Handle, ASkinData, ASkinManager, SkinSection) {
  AdaptPages();
}

void TacPageControlWnd::AdaptPages() {
  TsSkinManager* M = SkinData != nullptr ? SkinData->GetSkinManager() : nullptr;
  if (M == nullptr) return;
  for (HWND C = GetWindow(CtrlHandle, GW_CHILD); C != nullptr; C = GetWindow(C, GW_HWNDNEXT)) {
    if (GetParent(C) != CtrlHandle || WindowAnswersCommand(C, AC_ISSKINNED)) continue;
    wchar_t Cls[64] = {};
    GetClassNameW(C, Cls, 64);
    // The scroller of tabs that do not fit is no page.
    if (lstrcmpiW(Cls, UPDOWN_CLASSW) == 0) continue;
    PageAdapters().Add(TacMainWnd::Create<TacPageWnd>(C, nullptr, M, "CHECKBOX", true));
  }
}

void TacPageControlWnd::WndProc(TMessage& Message) {
  if (SkinData != nullptr && SkinnedUnderActiveManager(SkinData) && Message.Msg != SM_ALPHACMD) {
    switch (Message.Msg) {
      case WM_ERASEBKGND:
        if (!IsWindowVisible(CtrlHandle)) break;
        if (!acSkinChanging) PaintControl(Message);
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        AdaptPages();
        return;
      case WM_PARENTNOTIFY:
        if (LOWORD(Message.WParam) == WM_CREATE) AdaptPages();
        break;
      case TCM_SETCURSEL:
        if (SkinData->OwnerControl() != nullptr) NotifyParentFormLoaded(SkinData->OwnerControl());
        break;
      default:
        break;
    }
  }
  TacTabControlWnd::WndProc(Message);
}

// ==== TacPageWnd ===================================================================================

TacPageWnd::TacPageWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, SkinSection) {
  GetWndRects(this);
}

void TacPageWnd::PaintPage(HDC DC) {
  GetWndRects(this);
  TacBGInfo Info;
  Info.PleaseDraw = false;
  QueryWindowBackground(Info, ParentWnd, false);
  const int W = WndSize.cx, H = WndSize.cy;
  if (Info.BgType == btCache && Info.Bmp != nullptr) {
    BitBlt(DC, 0, 0, W, H, Info.Bmp->Canvas()->Handle(), WndPos.X + Info.Offset.X, WndPos.Y + Info.Offset.Y, SRCCOPY);
    return;
  }
  FillRectSolid(DC, TRect(0, 0, W, H), Info.Color);
  // A plain body still has its edge in the parent's picture: the 3 pixels of the page along the
  // side that faces the tabs come from there, so that the body's edge is not covered.
  if (Info.Bmp == nullptr || Info.Bmp->Empty()) return;
  const LONG_PTR Style = GetWindowLongPtrW(ParentWnd, GWL_STYLE);
  const int Pos = (Style & TCS_VERTICAL) != 0 ? ((Style & TCS_RIGHT) != 0 ? 3 : 2) : ((Style & TCS_BOTTOM) != 0 ? 1 : 0);
  TRect S(0, 0, W, std::min(3, H));
  if (Pos == 1) S = TRect(0, std::max(0, H - 3), W, H);
  if (Pos == 2) S = TRect(0, 0, std::min(3, W), H);
  if (Pos == 3) S = TRect(std::max(0, W - 3), 0, W, H);
  BitBlt(DC, S.Left, S.Top, S.Width(), S.Height(), Info.Bmp->Canvas()->Handle(), WndPos.X + S.Left, WndPos.Y + S.Top,
         SRCCOPY);
}

void TacPageWnd::WndProc(TMessage& Message) {
  if (SkinData == nullptr) {
    TacMainWnd::WndProc(Message);
    return;
  }
  TsSkinManager* M = SkinData->GetSkinManager();
  const bool FromManager = M != nullptr && Message.LParam == reinterpret_cast<LPARAM>(M);
  if (Message.Msg == SM_ALPHACMD) {
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
        BroadcastToChildren(nullptr, CtrlHandle, Message);
        if (FromManager) {
          SkinData->UpdateIndexes();
          SkinData->BackgroundStale = true;
        }
        return;
      case AC_SKINREMOVED:
      case AC_REFRESHSKIN: {
        const bool Removed = AlphaCmdCode(Message.WParam) == AC_SKINREMOVED;
        if (FromManager) {
          if (!Removed) SkinData->UpdateIndexes();
          InvalidateRect(CtrlHandle, nullptr, TRUE);
        }
        BroadcastToChildren(nullptr, CtrlHandle, Message);
        if (Removed) TacMainWnd::WndProc(Message);
        return;
      }
      case AC_REFRESHIFSKINNED:
        if (SkinData->Updating) {
          SkinData->Updating = false;
          InvalidateRect(CtrlHandle, nullptr, TRUE);
        }
        return;
      case AC_ISSKINNED:
        Message.Result = 1;
        return;
      case AC_ISBUSY:
        Message.Result = SkinData->Updating ? 1 : 0;
        return;
      case AC_GETBACKGROUND:
        if (Message.LParam != 0) {
          auto& Info = *reinterpret_cast<TacBGInfo*>(Message.LParam);
          GetWndRects(this);
          const bool Draw = Info.PleaseDraw;
          QueryWindowBackground(Info, ParentWnd, Draw);
          Info.Offset = TPoint(Info.Offset.X + WndPos.X, Info.Offset.Y + WndPos.Y);
        }
        return;
      default:
        TacMainWnd::WndProc(Message);
        return;
    }
  }
  if (SkinnedUnderActiveManager(SkinData)) {
    switch (Message.Msg) {
      case WM_ERASEBKGND:
        if (!IsWindowVisible(CtrlHandle)) break;
        PaintPage(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        Message.Result = 0;
        return;
      case WM_PRINT:
        PaintPage(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
        return;
      default:
        break;
    }
  }
  TacMainWnd::WndProc(Message);
  if (Message.Msg == WM_PARENTNOTIFY && LOWORD(Message.WParam) == WM_CREATE) NotifyTopParentLoaded(CtrlHandle);
}

// ==== TacSpinWnd ===================================================================================

bool TacSpinWnd::Vertical() { return (GetWindowLongW(CtrlHandle, GWL_STYLE) & UDS_HORZ) == 0; }

TRect TacSpinWnd::FirstRect() {
  const int W = WndSize.cx, H = WndSize.cy;
  return Vertical() ? TRect(0, 0, W, H / 2 + H % 2) : TRect(0, 0, W / 2 + W % 2, H);
}

TRect TacSpinWnd::SecondRect() {
  const int W = WndSize.cx, H = WndSize.cy;
  return Vertical() ? TRect(0, H / 2, W, H) : TRect(W / 2, 0, W, H);
}

void TacSpinWnd::UpdateStates() {
  GetWndRects(this);
  POINT P{};
  GetCursorPos(&P);
  const TRect First = FirstRect();
  const bool Inside = P.x >= WndRect.Left && P.x < WndRect.Right && P.y >= WndRect.Top && P.y < WndRect.Bottom;
  const int X = P.x - WndRect.Left, Y = P.y - WndRect.Top;
  const bool InFirst = Inside && X < First.Right && Y < First.Bottom;
  const int Hit = Pressed ? 2 : 1;
  Btn1State = InFirst ? Hit : 0;
  Btn2State = Inside && !InFirst ? Hit : 0;
}

void TacSpinWnd::PrepareCache() {
  TsSkinManager* M = SkinData->GetSkinManager();
  if (M == nullptr) return;
  if (M->GetSectionIndex(SkinData->SkinSection()) < 0) SkinData->SetSkinSection("BUTTON");
  GetWndRects(this);
  TacBGInfo Info;
  QueryWindowBackground(Info, ParentWnd, false);
  const TCacheInfo CI = BGInfoToCacheInfo(Info);
  SkinData->PrepareCacheBmp();
  TBitmap* Bmp = SkinData->CacheBmp();
  Bmp->SetSize(std::max(0, static_cast<int>(WndSize.cx)), std::max(0, static_cast<int>(WndSize.cy)));
  const TRect Halves[2] = {FirstRect(), SecondRect()};
  const int States[2] = {Btn1State, Btn2State};
  const TacCommonSkinIndexes& Ix = M->CommonSkinIndexes();
  const int Arrows[2] = {Vertical() ? Ix.ScrollBtnTop.GlyphMask : Ix.ScrollBtnLeft.GlyphMask,
                         Vertical() ? Ix.ScrollBtnBottom.GlyphMask : Ix.ScrollBtnRight.GlyphMask};
  for (int I = 0; I < 2; ++I) {
    const TRect& R = Halves[I];
    if (R.Width() <= 0 || R.Height() <= 0) continue;
    PaintControlSkin(SkinData, CI, true, States[I], R, TPoint(WndPos.X, WndPos.Y), Bmp);
    if (const TsMaskData* A = TsSkinManager::ValidMask(M, Arrows[I])) {
      const int FW = MaskFrameWidth(*A), FH = MaskFrameHeight(*A);
      const TPoint P((R.Width() - FW) / 2 + R.Left, (R.Height() - FH) / 2 + R.Top);
      DrawSkinGlyph(Bmp, P, States[I], 1, *A, MakeCacheInfo(Bmp, 0, 0));
    }
  }
  SkinData->BackgroundStale = false;
}

void TacSpinWnd::Paint(HDC DC) {
  UpdateStates();
  SkinData->Updating = SkinData->GetUpdating();
  if (SkinData->Updating) return;
  SkinData->BackgroundStale = true;
  PrepareCache();
  TBitmap* Bmp = SkinData->CacheBmp();
  if (Bmp != nullptr) BitBlt(DC, 0, 0, Bmp->Width(), Bmp->Height(), Bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TacSpinWnd::WndProc(TMessage& Message) {
  if (!SkinnedUnderActiveManager(SkinData)) {
    TacMainWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_PAINT: {
      PAINTSTRUCT PS{};
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      if (DC == nullptr) {
        BeginPaint(CtrlHandle, &PS);
        Paint(PS.hdc);
        EndPaint(CtrlHandle, &PS);
      } else {
        Paint(DC);
      }
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      Pressed = Message.Msg == WM_LBUTTONDOWN;
      TacMainWnd::WndProc(Message);
      InvalidateRect(CtrlHandle, nullptr, FALSE);
      UpdateWindow(CtrlHandle);
      return;
    case WM_MOUSELEAVE:
      InvalidateRect(CtrlHandle, nullptr, FALSE);
      TacMainWnd::WndProc(Message);
      return;
    case WM_MOUSEMOVE: {
      TacMainWnd::WndProc(Message);
      TsSkinManager* Def = TsSkinManager::DefaultManager();
      if (Def == nullptr || Def->ComponentState().Contains(csDesigning) || !IsWindowEnabled(CtrlHandle)) return;
      POINT P{};
      GetCursorPos(&P);
      RECT R{};
      GetWindowRect(CtrlHandle, &R);
      if (PtInRect(&R, P)) {
        if (Def->HoverWindow() != CtrlHandle) Def->SetHoverWindow(CtrlHandle);
        InvalidateRect(CtrlHandle, nullptr, FALSE);
      } else if (Def->HoverWindow() == CtrlHandle) {
        Def->SetHoverWindow(nullptr);
      }
      return;
    }
    default:
      TacMainWnd::WndProc(Message);
      return;
  }
}

// ==== TacTabControlWnd's up-down scroller ==========================================================

void TacTabControlWnd::CheckUpDown() {
  if (!SkinnedUnderActiveManager(SkinData)) return;
  HWND Found = FindWindowExW(CtrlHandle, nullptr, UPDOWN_CLASSW, nullptr);
  if (Found != nullptr) {
    if (UpDown != nullptr && UpDown->CtrlHandle == Found && !UpDown->Destroyed) return;
    delete UpDown;
    UpDown = nullptr;
    if (SendSkinCommand(Found, AC_ISSKINNED, 0) == 1) return;  // skinned already (dialog hook): kept
    UpDown = TacMainWnd::Create<TacSpinWnd>(Found, nullptr, SkinData->GetSkinManager(), "UPDOWNBTN", true);
  } else if (UpDown != nullptr) {
    delete UpDown;
    UpDown = nullptr;
  }
}

// ==== TacSizerWnd ==================================================================================

bool TacSizerWnd::PaintGrip(HDC DC) {
  TsSkinManager* M = SkinData != nullptr ? SkinData->GetSkinManager() : nullptr;
  if (M == nullptr) return false;
  const int GI = M->GetSectionIndex("GLOBALINFO");
  const TsMaskData* G = TsSkinManager::ValidMask(M, M->GetMaskIndex(GI, "GLOBALINFO", "GRIPIMAGE"));
  if (G == nullptr) return false;
  GetWndRects(this);
  const int W = WndSize.cx, H = WndSize.cy;
  if (W <= 0 || H <= 0) return false;
  TBitmap Bmp(W, H, pf24bit);
  TacBGInfo Info;
  Info.PleaseDraw = true;
  Info.DrawDC = Bmp.Canvas()->Handle();
  Info.Offset = TPoint(WndPos.X, WndPos.Y);
  Info.R = TRect(0, 0, W, H);
  QueryWindowBackground(Info, ParentWnd, true);
  if (Info.BgType == btCache && Info.Bmp != nullptr)
    BitBlt(Bmp.Canvas()->Handle(), 0, 0, W, H, Info.Bmp->Canvas()->Handle(), Info.Offset.X + WndPos.X,
           Info.Offset.Y + WndPos.Y, SRCCOPY);
  else if (Info.BgType == btFill)
    FillRectSolid(Bmp.Canvas()->Handle(), TRect(0, 0, W, H), Info.Color);
  const int FW = MaskFrameWidth(*G), FH = MaskFrameHeight(*G);
  DrawSkinGlyph(&Bmp, TPoint(std::max(W - FW, 0), std::max(H - FH, 0)), 0, 1, *G, MakeCacheInfo(&Bmp, 0, 0));
  BitBlt(DC, 0, 0, W, H, Bmp.Canvas()->Handle(), 0, 0, SRCCOPY);
  return true;
}

void TacSizerWnd::WndProc(TMessage& Message) {
  if (!SkinnedUnderActiveManager(SkinData)) {
    TacMainWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_PAINT: {
      PAINTSTRUCT PS{};
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      if (DC != nullptr) {
        PaintGrip(DC);
      } else {
        BeginPaint(CtrlHandle, &PS);
        PaintGrip(PS.hdc);
        EndPaint(CtrlHandle, &PS);
      }
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return;
    case WM_NCHITTEST: {
      TacMainWnd::WndProc(Message);
      Message.Result = HTBOTTOMRIGHT;
      TsSkinManager* Def = TsSkinManager::DefaultManager();
      if (Def != nullptr && IsWindowEnabled(CtrlHandle)) Def->SetHoverWindow(nullptr);
      return;
    }
    default:
      TacMainWnd::WndProc(Message);
      return;
  }
}

// ==== TacTransPanelWnd =============================================================================

void TacTransPanelWnd::PaintPanel() {
  GetWndRects(this);
  PAINTSTRUCT PS{};
  BeginPaint(CtrlHandle, &PS);
  HDC DC = GetWindowDC(CtrlHandle);
  SkinData->BackgroundStale = true;
  PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
  CopyCacheExceptWindows(CtrlHandle, SkinData, TPoint(0, 0), 0, 0, false, DC, TRect(0, 0, WndSize.cx, WndSize.cy));
  ReleaseDC(CtrlHandle, DC);
  EndPaint(CtrlHandle, &PS);
}

void TacTransPanelWnd::WndProc(TMessage& Message) {
  if (SkinnedUnderActiveManager(SkinData)) {
    if (Message.Msg == WM_ERASEBKGND) {
      PaintPanel();
      Message.Result = 1;
      return;
    }
    if (Message.Msg == WM_NCPAINT) {
      Message.Result = 0;
      return;
    }
  }
  TacMainWnd::WndProc(Message);
}

// ==== TacIconWnd ===================================================================================

TacIconWnd::TacIconWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                       const AnsiString& SkinSection)
    : TacStaticWnd(Handle, ASkinData, ASkinManager, SkinSection) {
  BitmapMode = (GetWindowLongW(Handle, GWL_STYLE) & 3) != SS_ICON;
}

TacIconWnd::~TacIconWnd() { DetachOnDestroy(); }

void TacIconWnd::PaintText() {
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr) return;
  HDC DC = Cache->Canvas()->Handle();
  if (BitmapMode) {
    if (Bitmap == nullptr) {
      HBITMAP H = reinterpret_cast<HBITMAP>(SendMessageW(CtrlHandle, STM_GETIMAGE, IMAGE_BITMAP, 0));
      BITMAP BM{};
      if (H == nullptr || GetObjectW(H, sizeof(BM), &BM) == 0) return;
      // A copy: the window keeps its own bitmap.
      Bitmap = std::make_unique<TBitmap>(BM.bmWidth, BM.bmHeight, pf24bit);
      HDC Src = CreateCompatibleDC(nullptr);
      HGDIOBJ Old = SelectObject(Src, H);
      BitBlt(Bitmap->Canvas()->Handle(), 0, 0, BM.bmWidth, BM.bmHeight, Src, 0, 0, SRCCOPY);
      SelectObject(Src, Old);
      DeleteDC(Src);
    }
    if (Bitmap->Width() > 0 && Bitmap->Height() > 0)
      BitBlt(DC, 0, 0, Bitmap->Width(), Bitmap->Height(), Bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
    return;
  }
  HICON Icon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, STM_GETICON, 0, 0));
  if (Icon != nullptr) DrawIconEx(DC, 0, 0, Icon, 0, 0, 0, nullptr, DI_NORMAL);
}

// ==== TacLinkWnd ===================================================================================

WideString TacLinkWnd::PlainText(const WideString& Text) {
  WideString S = Text;
  for (const wchar_t* Tag : {L"<A>", L"</A>", L"<a>", L"</a>"}) {
    const std::size_t N = wcslen(Tag);
    for (std::size_t P = S.find(Tag); P != WideString::npos; P = S.find(Tag, P)) S.erase(P, N);
  }
  return S;
}

void TacLinkWnd::PaintText() {
  TBitmap* Cache = SkinData->CacheBmp();
  if (Cache == nullptr) return;
  TCanvas* C = Cache->Canvas();
  C->Brush()->SetStyle(bsClear);
  TRect R(0, 0, WndSize.cx + 4, WndSize.cy);
  NONCLIENTMETRICSW NCM{};
  NCM.cbSize = sizeof(NCM);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(NCM), &NCM, 0)) {
    NCM.lfMessageFont.lfUnderline = TRUE;
    C->Font()->SetHandle(CreateFontIndirectW(&NCM.lfMessageFont));
  }
  const WideString Text = PlainText(WndText);
  DrawCaptionText(C, Text.c_str(), true, R, DT_NOCLIP | DT_EXPANDTABS | DT_WORDBREAK, SkinData, false);
}

void TacLinkWnd::WndProc(TMessage& Message) {
  if ((GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0 || !SkinnedUnderActiveManager(SkinData)) {
    TacStaticWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      if (!IsWindowVisible(CtrlHandle)) break;
      PaintWindow(Message);
      Message.Result = 1;
      return;
    case WM_MOVE:
      SkinData->BackgroundStale = true;
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      return;
    case WM_SETTEXT:
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      WndText = GetWndText(CtrlHandle);
      SkinData->BackgroundStale = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      return;
    case WM_PAINT: {
      ValidateWithoutPainting(CtrlHandle);
      Message.Result = 0;
      return;
    }
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    default:
      break;
  }
  TacStaticWnd::WndProc(Message);
}

// ==== TacDlgPanelWnd ===============================================================================

namespace {

// The framework control of a window: through the application's components first, then through
// the window itself (forms that the application does not own).
TWinControl* ControlOfWindow(HWND Handle) {
  TWinControl* C = Application != nullptr ? FindWinControlByHandle(Handle, Application) : nullptr;
  return C != nullptr ? C : FindControl(Handle);
}

AnsiString DlgPanelSection(HWND Handle, const AnsiString& Given) {
  if (!Given.empty()) return Given;
  return dynamic_cast<TPanel*>(ControlOfWindow(Handle)) != nullptr ? AnsiString("CHECKBOX") : AnsiString("GROUPBOX");
}

}  // namespace

TacDlgPanelWnd::TacDlgPanelWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, DlgPanelSection(Handle, SkinSection)) {
  Control = ControlOfWindow(Handle);
  TakeGlobalColor();
}

void TacDlgPanelWnd::TakeGlobalColor() {
  auto* P = dynamic_cast<TPanel*>(Control);
  TsSkinManager* M = SkinData != nullptr ? SkinData->GetSkinManager() : nullptr;
  if (P != nullptr && M != nullptr && P->Color() != M->GetGlobalColor()) P->SetColor(M->GetGlobalColor());
}

void TacDlgPanelWnd::SetSkinParams() {
  TacMainWnd::SetSkinParams();
  TakeGlobalColor();
}

void TacDlgPanelWnd::PrepareCache() {
  GetWndRects(this);
  TCacheInfo CI;
  GetParentCacheOfWindow(CtrlHandle, CI);
  SkinData->PrepareCacheBmp();
  TBitmap* Bmp = SkinData->CacheBmp();
  Bmp->SetSize(std::max(0, static_cast<int>(WndSize.cx)), std::max(0, static_cast<int>(WndSize.cy)));
  PaintControlSkin(SkinData, CI, true, 0, TRect(0, 0, Bmp->Width(), Bmp->Height()), TPoint(WndPos.X, WndPos.Y), Bmp);
  SkinData->BackgroundStale = false;
}

void TacDlgPanelWnd::PaintClient(HDC GivenDC) {
  if (!SkinnedUnderActiveManager(SkinData)) return;
  HDC DC = GivenDC != nullptr ? GivenDC : GetDC(CtrlHandle);
  const int Saved = SaveDC(DC);
  SkinData->Updating = SkinData->GetUpdating();
  if (!SkinData->Updating) {
    PrepareCache();
    const TSize CS = WindowClientSize(CtrlHandle);
    const int FW = (WndSize.cx - CS.cx) / 2;
    BitBlt(DC, 0, 0, CS.cx, CS.cy, SkinData->CacheBmp()->Canvas()->Handle(), FW, FW, SRCCOPY);
  }
  RestoreDC(DC, Saved);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacDlgPanelWnd::PaintFrame(HDC GivenDC) {
  GetWndRects(this);
  const TSize CS = WindowClientSize(CtrlHandle);
  // The band the window leaves unpainted inside its client area belongs to the frame as well.
  const int FW = (WndSize.cx - CS.cx) / 2 + 6;
  if (FW <= 0) return;
  SkinData->BackgroundStale = true;
  PrepareCache();
  HDC DC = GivenDC != nullptr ? GivenDC : GetWindowDC(CtrlHandle);
  BltFrame(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, FW);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacDlgPanelWnd::WndProc(TMessage& Message) {
  if (SkinData == nullptr) {
    TacMainWnd::WndProc(Message);
    return;
  }
  if (Message.Msg == SM_ALPHACMD) {
    if (AlphaCmdCode(Message.WParam) == AC_NEWSKIN) BroadcastToChildren(nullptr, CtrlHandle, Message);
    TacMainWnd::WndProc(Message);
    return;
  }
  if (!SkinnedUnderActiveManager(SkinData)) {
    TacMainWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_UPDATEUISTATE:
      Message.Result = 1;
      return;
    case WM_SETTEXT:
      if (IsWindowVisible(CtrlHandle)) SkinData->BackgroundStale = true;
      break;
    case WM_PAINT: {
      if (Message.WParam != 0) break;  // painting into a given DC: the window's own procedure
      TakeGlobalColor();
      ValidateWithoutPainting(CtrlHandle);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND: {
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      const int Saved = SaveDC(DC);
      PaintClient(DC);
      GetWndRects(this);
      IntersectClipRect(DC, 6, 6, WndSize.cx - 6, WndSize.cy - 6);
      CallOldWndProc(this, CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
      RestoreDC(DC, Saved);
      Message.Result = 1;
      return;
    }
    case WM_NCPAINT:
      PaintFrame(nullptr);
      Message.Result = 1;
      return;
    case WM_PRINT:
      PaintClient(reinterpret_cast<HDC>(Message.WParam));
      PaintFrame(reinterpret_cast<HDC>(Message.WParam));
      return;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) != WM_CREATE && LOWORD(Message.WParam) != WM_DESTROY) break;
      TacMainWnd::WndProc(Message);
      TakeGlobalColor();
      if (LOWORD(Message.WParam) == WM_CREATE && Control != nullptr) NotifyParentFormLoaded(Control);
      return;
    case WM_THEMECHANGED:
      if (Control != nullptr) Control->SetColor(clBtnFace);
      break;
    default:
      break;
  }
  TacMainWnd::WndProc(Message);
}
