// The up-down, size-grip, icon and link adapters. The panel adapters are in acPanelAdapters.cpp,
// the tab and page adapters in acTabAdapters.cpp. Win32.
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
  if (HandleOwnPainting(CtrlHandle, Message, [this](HDC DC) { Paint(DC); })) return;
  switch (Message.Msg) {
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
      if (Def == nullptr || Def->IsDesigning() || !IsWindowEnabled(CtrlHandle)) return;
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
  if (HandleOwnPainting(CtrlHandle, Message, [this](HDC DC) { PaintGrip(DC); })) return;
  switch (Message.Msg) {
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
    case WM_SETTEXT:
      PassOnAndRepaint(Message);
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
