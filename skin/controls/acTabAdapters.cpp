// The tab-control, page-control and page adapters. Part of the adapters declared in
// acMoreAdapters.h. Win32.
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

// The caption (into Buf) and image of a tab.
TCITEMW ReadTab(HWND Tabs, int Index, wchar_t (&Buf)[4096]) {
  TCITEMW Item{};
  Item.mask = TCIF_TEXT | TCIF_IMAGE;
  Item.pszText = Buf;
  Item.cchTextMax = 4095;
  SendMessageW(Tabs, TCM_GETITEMW, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item));
  return Item;
}

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
  const TCITEMW Item = ReadTab(CtrlHandle, Index, Buf);
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

TacPictureKey TacTabControlWnd::PictureKeyOf(const TCacheInfo& Parent) {
  TacPictureKey K;
  auto& N = K.Numbers;
  const int Count = TabCount();
  N = {WndSize.cx, WndSize.cy, WndPos.X, WndPos.Y, GetWindowLongW(CtrlHandle, GWL_STYLE), Count, ActiveIndex(),
       SendMessageW(CtrlHandle, TCM_GETROWCOUNT, 0, 0), SendMessageW(CtrlHandle, TCM_GETIMAGELIST, 0, 0),
       SkinData->SectionIndex};
  AddSkin(K, SkinData->GetSkinManager());
  std::vector<int> Images;
  for (int I = 0; I < Count; ++I) {
    RECT R{};
    SendMessageW(CtrlHandle, TCM_GETITEMRECT, static_cast<WPARAM>(I), reinterpret_cast<LPARAM>(&R));
    wchar_t Buf[4096] = {};
    const TCITEMW Item = ReadTab(CtrlHandle, I, Buf);
    N.insert(N.end(), {R.left, R.top, R.right, R.bottom, Item.iImage});
    K.Texts.emplace_back(Buf);
    if (Item.iImage >= 0 && std::find(Images.begin(), Images.end(), Item.iImage) == Images.end())
      Images.push_back(Item.iImage);
  }
  // The pictures the tabs' images show: a list may change them in place, under the same handle.
  HIMAGELIST IL = reinterpret_cast<HIMAGELIST>(SendMessageW(CtrlHandle, TCM_GETIMAGELIST, 0, 0));
  for (int Image : Images) AddImagePixels(K, IL, Image, ImagePicture);
  AddOwnerFont(K, SkinData->OwnerControl());
  AddPixels(K, Parent, WndPos, WndSize);
  return K;
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
  const AnsiString Body = BodySection();
  const int BodyIndex = M->GetSectionIndex(Body);
  SkinData->SectionIndex = BodyIndex;
  TCacheInfo CI;
  GetParentCacheOfWindow(CtrlHandle, CI);
  SkinData->PrepareCacheBmp();
  TBitmap* Cache = SkinData->CacheBmp();
  const int N = TabCount();
  const int Active = ActiveIndex();
  const bool Same = Kept.Keep(PictureKeyOf(CI)) && !Cache->Empty();
  if (!Same) SkinData->BackgroundStale = true;
  Cache->SetSize(std::max(0, static_cast<int>(WndSize.cx)), std::max(0, static_cast<int>(WndSize.cy)));
  if (N > 0 && !Same) {
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
  if (!Same) PaintSectionWithCorners(BodyIndex, Body, BodyCI, true, 0, BodyRect(), TPoint(0, 0), Cache, M);
  if (N > 0 && !Same) {
    const int Rows = std::max(1, static_cast<int>(SendMessageW(CtrlHandle, TCM_GETROWCOUNT, 0, 0)));
    for (int Row = 1; Row <= Rows; ++Row)
      for (int I = 0; I < N; ++I)
        if (I != Active && TabRow(I) == Row) DrawSkinTab(I, 0, TPoint(0, 0), Cache);
  }
  SkinData->BackgroundStale = false;
  // A page shows the body's edge from this picture (TacPageWnd::PaintPage): one that painted
  // before the picture was made anew (a skin changed while the form was minimised, whose restore
  // paints the windows in no set order) paints again.
  if (!Same)
    for (HWND C = GetWindow(CtrlHandle, GW_CHILD); C != nullptr; C = GetWindow(C, GW_HWNDNEXT))
      if (dynamic_cast<TacPageWnd*>(GetWndAdapter(C)) != nullptr) InvalidateRect(C, nullptr, TRUE);
  const TRect AR = Active >= 0 ? SkinTabRect(Active, true) : TRect(0, 0, 0, 0);
  const int Saved = SaveDC(DC);
  if (N > 0 && Active >= 0) ExcludeClipRect(DC, AR.Left, AR.Top, AR.Right, AR.Bottom);
  BitBlt(DC, 0, 0, Cache->Width(), Cache->Height(), Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(DC, Saved);
  if (N > 0 && Active >= 0 && AR.Width() > 0 && AR.Height() > 0) {
    // The active tab goes over the picture; it is kept with it.
    if (!Same || !ActiveTab || ActiveTab->Width() != AR.Width() || ActiveTab->Height() != AR.Height()) {
      ActiveTab = std::make_unique<TBitmap>(AR.Width(), AR.Height(), pf24bit);
      DrawSkinTab(Active, 2, TPoint(-AR.Left, -AR.Top), ActiveTab.get());
    }
    BitBlt(DC, AR.Left, AR.Top, AR.Width(), AR.Height(), ActiveTab->Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  if (auto* Owner = dynamic_cast<TWinControl*>(SkinData->OwnerControl())) PaintGraphicControls(DC, Owner, TPoint(0, 0));
  if (!GivenDC) {
    RestoreDC(DC, SavedOuter);
    ReleaseDC(CtrlHandle, DC);
  }
}

void TacTabControlWnd::NotePictureChange(const TMessage& Message) {
  // Every tab-control message but the questions the adapter asks may change the tabs.
  if (ChangesControl(Message, TCM_FIRST,
                     {TCM_GETIMAGELIST, TCM_GETITEMCOUNT, TCM_GETITEMA, TCM_GETITEMW, TCM_GETITEMRECT, TCM_GETCURSEL,
                      TCM_HITTEST, TCM_ADJUSTRECT, TCM_GETROWCOUNT, TCM_GETTOOLTIPS, TCM_GETCURFOCUS,
                      TCM_GETEXTENDEDSTYLE}))
    Kept.Stale = true;
}

void TacTabControlWnd::WndProc(TMessage& Message) {
  NotePictureChange(Message);
  if (SkinData == nullptr) {
    TacMainWnd::WndProc(Message);
    return;
  }
  TsSkinManager* M = SkinData->GetSkinManager();
  const bool On = SkinnedUnderActiveManager(SkinData);
  TControl* Owner = SkinData->OwnerControl();
  if (Message.Msg == SM_ALPHACMD) {
    const bool FromManager = SentByManager(Message, M);
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
        if (FromManager) {
          TakeNewSkin(SkinData);
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
          TakeNewSkin(SkinData);
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
        // The paint that follows an erase of the system's own paints the control.
        if (!acSkinChanging && !ErasedBeforeItsPaint(CtrlHandle, reinterpret_cast<HDC>(Message.WParam)))
          PaintControl(Message);
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

TacPageControlWnd::~TacPageControlWnd() {
  TList& Pages = PageAdapters();
  for (int I = Pages.Count() - 1; I >= 0; --I) {
    auto* Page = static_cast<TacMainWnd*>(Pages.Items(I));
    if (!IsWindow(Page->CtrlHandle) || GetParent(Page->CtrlHandle) != CtrlHandle) continue;
    Pages.Delete(I);
    delete Page;
  }
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
  NotePictureChange(Message);
  if (SkinData != nullptr && SkinnedUnderActiveManager(SkinData) && Message.Msg != SM_ALPHACMD) {
    switch (Message.Msg) {
      case WM_ERASEBKGND:
        if (!IsWindowVisible(CtrlHandle)) break;
        if (!acSkinChanging && !ErasedBeforeItsPaint(CtrlHandle, reinterpret_cast<HDC>(Message.WParam)))
          PaintControl(Message);
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
  const bool FromManager = SentByManager(Message, M);
  if (Message.Msg == SM_ALPHACMD) {
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
        BroadcastToChildren(nullptr, CtrlHandle, Message);
        if (FromManager) {
          TakeNewSkin(SkinData);
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
  if ((Message.Msg == WM_DESTROY || Message.Msg == WM_NCDESTROY) && Destroyed) {
    // The page has gone and the adapter has let go of it: an adapter of the page list goes too
    // (nothing touches it after this message).
    if (PageAdapters().Remove(this) >= 0) delete this;
    return;
  }
  if (Message.Msg == WM_PARENTNOTIFY && LOWORD(Message.WParam) == WM_CREATE) NotifyTopParentLoaded(CtrlHandle);
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
