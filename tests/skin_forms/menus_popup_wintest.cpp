// A real popup menu shown by the system gets the skinned frame: its window is subclassed and
// trimmed, and it shows the frame and items painted from the skin. The menu is opened from a
// posted message and closed by a posted Escape (or, as a last resort, EndMenu) from a timer, so
// the test never blocks.
#include "skin_forms/menus_support.h"

using namespace menustest;

namespace {

constexpr UINT WM_OPENMENU = WM_APP + 17;

// What the timer saw while the menu was open.
struct TSeen {
  HWND Wnd = nullptr;
  int Ticks = 0;
  int OpenTicks = 0;
  bool Subclassed = false;
  int RegionKind = ERROR;
  std::vector<bool> CornersInRegion;  // top-left, top-right, bottom-left, bottom-right
  RECT Rect{};
  std::vector<COLORREF> Pixels;  // the window's pixels, row by row
  std::vector<COLORREF> Frame;   // the cached frame image of the window, row by row
  bool CacheHeldWindow = false;
  bool Closing = false;
};
TSeen Seen;

HWND VisibleMenuWindow() {
  HWND W = FindWindowW(L"#32768", nullptr);
  return W != nullptr && IsWindowVisible(W) ? W : nullptr;
}

void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  ++Seen.Ticks;
  if (Seen.Ticks > 60) {
    EndMenu();
    return;
  }
  HWND W = VisibleMenuWindow();
  if (W == nullptr || Seen.Closing) return;
  Seen.Wnd = W;
  ++Seen.OpenTicks;
  // The first item is selected by a posted arrow key, then the menu is left to paint.
  if (Seen.OpenTicks == 2) {
    PostMessageW(W, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(W, WM_KEYUP, VK_DOWN, 0xC0000001);
  }
  if (Seen.OpenTicks < 6) return;
  Seen.Subclassed = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(W, GWLP_WNDPROC)) == PopupMenuWndProc;
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  Seen.RegionKind = GetWindowRgn(W, Rgn);
  RECT WR{};
  GetWindowRect(W, &WR);
  const int RW = WR.right - WR.left, RH = WR.bottom - WR.top;
  for (POINT P : {POINT{0, 0}, POINT{RW - 1, 0}, POINT{0, RH - 1}, POINT{RW - 1, RH - 1}})
    Seen.CornersInRegion.push_back(PtInRegion(Rgn, P.x, P.y) != FALSE);
  DeleteObject(Rgn);
  for (const TacMenuInfo& I : MenuInfoCache)
    if (I.Wnd == W) {
      Seen.CacheHeldWindow = true;
      if (I.Bmp != nullptr && Seen.Frame.empty())
        for (int Y = 0; Y < I.Bmp->Height(); ++Y)
          for (int X = 0; X < I.Bmp->Width(); ++X) Seen.Frame.push_back(PixelOf(I.Bmp, X, Y));
    }
  GetWindowRect(W, &Seen.Rect);
  HDC DC = GetWindowDC(W);
  const int Wd = Seen.Rect.right - Seen.Rect.left, Ht = Seen.Rect.bottom - Seen.Rect.top;
  uitest::TCapture C(DC, TRect{0, 0, Wd, Ht});
  ReleaseDC(W, DC);
  C.MaybeSave("menus_popup_window");
  for (int Y = 0; Y < Ht; ++Y)
    for (int X = 0; X < Wd; ++X) Seen.Pixels.push_back(C.Pixel(X, Y));
  Seen.Closing = true;
  PostMessageW(W, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(W, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

}  // namespace

TEST(MenusPopup, ShownPopupMenuGetsTheSkinnedFrameAndItems) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  ASSERT_NE(P, nullptr);
  ClearMenuCache();
  TForm* Form = TCustomForm::Create<TForm>(nullptr);
  Form->SetBounds(200, 200, 300, 200);
  TPopupMenu* Menu = new TPopupMenu(Form);
  for (const wchar_t* C : {L"Open", L"-", L"Properties", L"Close"}) {
    auto* I = new TMenuItem(Form);
    I->SetCaption(WideString(C));
    Menu->Items()->Add(I);
  }
  P->HookPopupMenu(Menu, true);
  ASSERT_TRUE(Menu->OwnerDraw());
  uitest::ShowSettled(Form);
  // The menu opens from a posted message; the timer watches it and closes it.
  bool Opened = false;
  TWndMethod Old = Form->WindowProc();
  Form->SetWindowProc([&](TMessage& Msg) {
    if (Msg.Msg == WM_OPENMENU) {
      Opened = true;
      Menu->Popup(260, 260);
      return;
    }
    Old(Msg);
  });
  Seen = TSeen{};
  const UINT_PTR Timer = SetTimer(nullptr, 0, 50, Watch);
  PostMessageW(Form->Handle(), WM_OPENMENU, 0, 0);
  uitest::WaitFor([&] { return Opened && VisibleMenuWindow() == nullptr; }, 6000);
  KillTimer(nullptr, Timer);
  Form->SetWindowProc(Old);

  ASSERT_TRUE(Opened);
  ASSERT_NE(Seen.Wnd, nullptr) << "the menu window showed";
  EXPECT_TRUE(Seen.Subclassed);
  EXPECT_NE(Seen.RegionKind, ERROR) << "the window has a region";
  EXPECT_TRUE(Seen.CacheHeldWindow);
  const int W = Seen.Rect.right - Seen.Rect.left;
  ASSERT_EQ(Seen.Pixels.size(), static_cast<std::size_t>(W * (Seen.Rect.bottom - Seen.Rect.top)));
  auto Px = [&](int X, int Y) { return Seen.Pixels[static_cast<std::size_t>(Y * W + X)]; };
  // The selected first item in the skin's hot colour; the glyph column band and the menu
  // section colour beside the other items.
  EXPECT_EQ(Px(W / 2, 12), ColorOf(7819050));
  const int Third = Seen.Pixels.size() / static_cast<std::size_t>(W) - 12;
  EXPECT_EQ(Px(10, Third), ColorOf(3157036));
  EXPECT_EQ(Px(W - 20, Third), ColorOf(2696742));
  // Corner pixels the frame leaves unpainted are cut out of the window.
  ASSERT_EQ(Seen.CornersInRegion.size(), 4u);
  const int H = Seen.Rect.bottom - Seen.Rect.top;
  const POINT Corners[4] = {{0, 0}, {W - 1, 0}, {0, H - 1}, {W - 1, H - 1}};
  for (int I = 0; I < 4; ++I) {
    if (Px(Corners[I].x, Corners[I].y) == RGB(255, 255, 255)) {
      EXPECT_FALSE(Seen.CornersInRegion[I]) << I;
    }
  }
  EXPECT_FALSE(Seen.CornersInRegion[0]);
  // The whole border band shows the frame image: none of the system's own frame is left between
  // the strips the items copy, wherever the system puts its items inside the window.
  ASSERT_EQ(Seen.Frame.size(), Seen.Pixels.size());
  auto Fr = [&](int X, int Y) { return Seen.Frame[static_cast<std::size_t>(Y * W + X)]; };
  int Wrong = 0;
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) {
      const bool Band = X < 3 || Y < 3 || X >= W - 3 || Y >= H - 3;
      const bool Corner = (X == 0 || X == W - 1) && (Y == 0 || Y == H - 1);
      if (Band && !Corner && Px(X, Y) != Fr(X, Y)) {
        if (Wrong < 5) ADD_FAILURE() << "border pixel " << X << "," << Y << " is " << std::hex << Px(X, Y);
        ++Wrong;
      }
    }
  EXPECT_EQ(Wrong, 0);
  // The items lie over the frame at their own place: the border's line shows nowhere inside the
  // band (an item that took its background from the wrong place would carry it inwards).
  const COLORREF Line = Fr(0, H / 2);
  int Inner = 0;
  for (int Y = 3; Y < H - 3; ++Y)
    Inner += (Px(3, Y) == Line) + (Px(W - 4, Y) == Line);
  for (int X = 3; X < W - 3; ++X) Inner += (Px(X, 3) == Line) + (Px(X, H - 4) == Line);
  EXPECT_EQ(Inner, 0);
  // Some bright caption pixels.
  int Text = 0;
  for (int X = 30; X < W - 10; ++X)
    for (int Y = 4; Y < 20; ++Y)
      if (Brightness(Px(X, Y)) > 3 * 170) ++Text;
  EXPECT_GT(Text, 5);
  // The window is gone and the cache with it.
  EXPECT_FALSE(IsWindow(Seen.Wnd) && IsWindowVisible(Seen.Wnd));
  EXPECT_FALSE(IsWindow(Seen.Wnd)) << "the menu window was destroyed";
  EXPECT_TRUE(MenuInfoCache.empty()) << "its destruction empties the cache";
  DropPopupRequests();
  delete Form;
}

// A request to skin a menu window can arrive after the menu closed and name whatever window lies
// there now: a form keeps its procedure, user data and region.
TEST(MenusPopup, AWindowThatIsNoMenuIsNeverSkinnedAsOne) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  ASSERT_NE(P, nullptr);
  TForm* Form = TCustomForm::Create<TForm>(nullptr);
  Form->SetBounds(200, 200, 300, 200);
  uitest::ShowSettled(Form);
  const HWND W = Form->Handle();
  SetWindowLongPtrW(W, GWLP_USERDATA, 0x1234);
  const LONG_PTR Proc = GetWindowLongPtrW(W, GWLP_WNDPROC);
  std::unique_ptr<TBitmap> Frame(new TBitmap());
  Frame->SetPixelFormat(pf24bit);
  Frame->SetSize(300, 200);
  P->SkinPopupMenuWindow(W, Frame.get());
  EXPECT_EQ(GetWindowLongPtrW(W, GWLP_WNDPROC), Proc);
  EXPECT_EQ(GetWindowLongPtrW(W, GWLP_USERDATA), 0x1234);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(W, Rgn), ERROR) << "no region was set";
  DeleteObject(Rgn);
  delete Form;
}
