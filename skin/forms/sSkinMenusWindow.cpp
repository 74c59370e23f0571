// The menu painter: what a skinned popup-menu window shows where the system draws over its items.
// The system draws two things of its own into an owner-drawn popup window: the arrow of an item
// that opens a submenu (right after the item is drawn, whenever it is drawn) and, on a menu taller
// than the screen, the scroll bands at its top and bottom (with each paint of the window). Both
// come in the system's colours. The item painter keeps the arrow end of such an item as it painted
// it, with an arrow of the skin, and puts it back once the system has drawn; the scroll bands are
// painted into the window's frame image and copied back over the system's after each paint.
#include <algorithm>

#include "framework/Scopes.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinMenus.h"

namespace {

// Asks a popup-menu window for its menu.
constexpr UINT MN_GETHMENU_ = 0x01E1;

// The width of an item's right end that holds the system's submenu arrow.
constexpr int ArrowEndWidth = 24;

// An item's arrow end as the painter painted it, waiting to go back on the window.
struct TKeptArrow {
  HWND Wnd = nullptr;
  TRect R;  // client coordinates of the window
  std::unique_ptr<TBitmap> Picture;
};

std::vector<TKeptArrow>& KeptArrows() {
  static std::vector<TKeptArrow> L;
  return L;
}

// The window whose WM_PAINT is under way: what it keeps goes back when the paint ends.
HWND PaintingWnd = nullptr;

// The message that asks a popup window to put its own pictures back (the system drew over them
// outside a paint, for a change of the selection), and the windows asked and not yet answered.
UINT RestoreMessage() {
  static const UINT M = RegisterWindowMessageW(L"acMenuPicturesBack");
  return M;
}
std::vector<HWND>& AskedWindows() {
  static std::vector<HWND> L;
  return L;
}
// Only a window whose procedure is ours puts its pictures back (and forgets them when it goes).
bool IsOurs(HWND Wnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_WNDPROC)) == PopupMenuWndProc; }

void AskRestore(HWND Wnd) {
  auto& L = AskedWindows();
  if (Wnd == PaintingWnd || std::find(L.begin(), L.end(), Wnd) != L.end() || !IsOurs(Wnd)) return;
  if (PostMessageW(Wnd, RestoreMessage(), 0, 0)) L.push_back(Wnd);
}
void Forget(HWND Wnd) {
  auto& L = AskedWindows();
  L.erase(std::remove(L.begin(), L.end(), Wnd), L.end());
  auto& K = KeptArrows();
  K.erase(std::remove_if(K.begin(), K.end(), [&](const TKeptArrow& A) { return A.Wnd == Wnd; }), K.end());
}

void DrawGlyphCentred(TBitmap* Bmp, const TRect& R, TsSkinManager* M, int MaskIndex, int State) {
  const TsMaskData* Mask = TsSkinManager::ValidMask(M, MaskIndex);
  if (Mask == nullptr) return;
  const TSize S = MaskFrameSize(*Mask);
  if (S.cx <= 0 || S.cy <= 0) return;
  DrawSkinGlyph(Bmp, TPoint{R.Left + (R.Width() - S.cx) / 2, R.Top + (R.Height() - S.cy) / 2}, State, 1, *Mask,
                MakeCacheInfo(Bmp, 0, 0));
}

}  // namespace

int MenuScrollBandHeight(HWND Wnd) {
  if (Wnd == nullptr || !IsWindow(Wnd)) return 0;
  auto* Menu = reinterpret_cast<HMENU>(SendMessageW(Wnd, MN_GETHMENU_, 0, 0));
  const int Count = Menu != nullptr ? GetMenuItemCount(Menu) : 0;
  RECT W{}, First{}, Last{};
  if (Count <= 0 || !GetWindowRect(Wnd, &W) || !GetMenuItemRect(Wnd, Menu, 0, &First) ||
      !GetMenuItemRect(Wnd, Menu, static_cast<UINT>(Count - 1), &Last))
    return 0;
  // The item rectangles are those of the menu unscrolled: its last item lies beyond the window's
  // bottom when the menu scrolls, and its first one starts below the top band.
  if (Last.bottom <= W.bottom) return 0;
  return std::clamp(static_cast<int>(First.top - W.top), 0, static_cast<int>(W.bottom - W.top) / 2);
}

void PaintMenuScrollBands(TBitmap* Frame, HWND Wnd, TsSkinManager* M, int BorderWidth) {
  const int Band = MenuScrollBandHeight(Wnd);
  if (Frame == nullptr || M == nullptr || Band <= BorderWidth) return;
  const int SI = M->GetSectionIndex("MAINMENU");
  if (!M->IsValidSectionIndex(SI)) return;
  const int W = Frame->Width(), H = Frame->Height();
  const TacCommonSkinIndexes& Ix = M->CommonSkinIndexes();
  // Inside the frame's border: the menu's background with the scroll-bar buttons' arrows.
  const TRect Bands[2] = {TRect{BorderWidth, BorderWidth, W - BorderWidth, Band},
                          TRect{BorderWidth, H - Band, W - BorderWidth, H - BorderWidth}};
  const int Arrows[2] = {Ix.ScrollBtnTop.GlyphMask, Ix.ScrollBtnBottom.GlyphMask};
  for (int I = 0; I < 2; ++I) {
    const TRect& R = Bands[I];
    if (R.Width() <= 0 || R.Height() <= 0) continue;
    PaintSectionToBitmap(SI, "MAINMENU", DefaultCacheInfo(), 0, R, TPoint{R.Left, R.Top}, Frame, M, -1, -1);
    DrawGlyphCentred(Frame, R, M, Arrows[I], 0);
  }
  // The frame is painted during the window's first paint, before its window procedure is ours:
  // the bands are painted once more, by a paint that it sees.
  RECT C{};
  GetClientRect(Wnd, &C);
  const RECT Top{0, 0, C.right, Band}, Bottom{0, C.bottom - Band, C.right, C.bottom};
  InvalidateRect(Wnd, &Top, FALSE);
  InvalidateRect(Wnd, &Bottom, FALSE);
}

void DrawSubmenuArrow(TBitmap* Work, TsSkinManager* M, bool Hot) {
  if (Work == nullptr || M == nullptr) return;
  const int W = Work->Width();
  DrawGlyphCentred(Work, TRect{std::max(0, W - ArrowEndWidth), 0, W, Work->Height()}, M,
                   M->CommonSkinIndexes().ScrollBtnRight.GlyphMask, Hot ? 1 : 0);
}

void KeepSubmenuArrow(HWND Wnd, HDC DC, const TRect& R, TBitmap* Work) {
  if (Wnd == nullptr || DC == nullptr || Work == nullptr || !IsOurs(Wnd)) return;
  const int W = std::min(ArrowEndWidth, Work->Width()), H = Work->Height();
  if (W <= 0 || H <= 0) return;
  // The item's place on the window, whatever origin the system gave the DC.
  POINT P[2] = {{R.Right - W, R.Top}, {R.Right, R.Top + H}};
  LPtoDP(DC, P, 2);
  TKeptArrow K;
  K.Wnd = Wnd;
  K.R = TRect{P[0].x, P[0].y, P[1].x, P[1].y};
  K.Picture.reset(CreateBmp24(W, H));
  BitBlt(K.Picture->Canvas()->Handle(), 0, 0, W, H, Work->Canvas()->Handle(), Work->Width() - W, 0, SRCCOPY);
  auto& L = KeptArrows();
  // The newest picture of a place replaces an older one.
  L.erase(std::remove_if(L.begin(), L.end(), [&](const TKeptArrow& A) { return A.Wnd == Wnd && A.R == K.R; }),
          L.end());
  L.push_back(std::move(K));
  AskRestore(Wnd);
}

void MenuItemPainted(HWND Wnd) {
  // A change of the selection may scroll the menu: the system then draws its bands again.
  if (Wnd != nullptr && MenuScrollBandHeight(Wnd) > 0) AskRestore(Wnd);
}

void RestoreMenuWindowPaint(HWND Wnd) {
  HDC DC = GetDC(Wnd);
  if (DC == nullptr) {
    Forget(Wnd);
    return;
  }
  for (const TKeptArrow& A : KeptArrows())
    if (A.Wnd == Wnd)
      BitBlt(DC, A.R.Left, A.R.Top, A.R.Width(), A.R.Height(), A.Picture->Canvas()->Handle(), 0, 0, SRCCOPY);
  Forget(Wnd);
  // The scroll bands, from the frame image (window coordinates) to the client area.
  const int Band = MenuScrollBandHeight(Wnd);
  if (Band > 0)
    for (const TacMenuInfo& I : MenuInfoCache)
      if (I.Wnd == Wnd && I.Bmp != nullptr && !I.Bmp->Empty()) {
        RECT WR{};
        GetWindowRect(Wnd, &WR);
        POINT O{0, 0};
        ClientToScreen(Wnd, &O);
        const int OX = O.x - WR.left, OY = O.y - WR.top;
        const int FW = I.Bmp->Width(), FH = I.Bmp->Height();
        HDC Src = I.Bmp->Canvas()->Handle();
        BitBlt(DC, -OX, -OY, FW, Band, Src, 0, 0, SRCCOPY);
        BitBlt(DC, -OX, FH - Band - OY, FW, Band, Src, 0, FH - Band, SRCCOPY);
        break;
      }
  ReleaseDC(Wnd, DC);
}

bool HandleMenuWindowPaint(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, WNDPROC Old, LRESULT& Result) {
  if (Msg == RestoreMessage()) {
    RestoreMenuWindowPaint(Wnd);
    Result = 0;
    return true;
  }
  if (Msg == WM_DESTROY) {
    Forget(Wnd);
    return false;
  }
  if (Msg != WM_PAINT || Old == nullptr) return false;
  {
    const HWND Outer = PaintingWnd;
    PaintingWnd = Wnd;
    TScopeExit Done([Outer] { PaintingWnd = Outer; });
    Result = CallWindowProcW(Old, Wnd, Msg, WParam, LParam);
  }
  RestoreMenuWindowPaint(Wnd);
  return true;
}
