// What a skinned popup menu window shows beside its items: the arrow of an item that opens a
// submenu, and the scroll bands of a menu taller than the screen, painted from the skin and never
// in the system's white, also after the selection moves and the menu scrolls.
#include <algorithm>
#include <functional>
#include <vector>

#include "skin_forms/menus_support.h"
#include "support/FreedMemoryGuard.h"

using namespace menustest;

namespace {

// The pixels of the shown menu window at the moments a test asks for, taken by a timer inside
// the menu loop; each step may first send keys to the menu.
struct TMenuShots {
  std::vector<WORD> KeysBefore[4];
  std::vector<uitest::TCapture> Shots;
  HWND Wnd = nullptr;
  int Tick = 0;
};
TMenuShots* GShots = nullptr;

HWND ShownMenuWindow() {
  HWND W = FindWindowW(L"#32768", nullptr);
  return W != nullptr && IsWindowVisible(W) ? W : nullptr;
}

void CALLBACK ShotTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  TMenuShots& S = *GShots;
  HWND W = ShownMenuWindow();
  if (++S.Tick > 80 || (W == nullptr && S.Tick > 20)) {
    KillTimer(nullptr, Id);
    EndMenu();
    return;
  }
  if (W == nullptr) return;
  S.Wnd = W;
  // Every 8 ticks a picture, then the keys of the next step (none: the menu closes).
  if (S.Tick % 8 != 0) return;
  RECT R;
  GetWindowRect(W, &R);
  HDC DC = GetWindowDC(W);
  S.Shots.emplace_back(DC, TRect{0, 0, R.right - R.left, R.bottom - R.top});
  ReleaseDC(W, DC);
  const std::size_t Next = S.Shots.size();
  if (Next < 4 && !S.KeysBefore[Next].empty()) {
    for (WORD K : S.KeysBefore[Next]) {
      PostMessageW(W, WM_KEYDOWN, K, 0);
      PostMessageW(W, WM_KEYUP, K, 0xC0000001);
    }
    return;
  }
  KillTimer(nullptr, Id);
  EndMenu();
}

// Opens Menu at a screen point and takes the pictures (the first when it has painted, then one
// after the keys of each further step).
void ShootMenu(TPopupMenu* Menu, POINT At, TMenuShots& Shots) {
  GShots = &Shots;
  SetTimer(nullptr, 0, 40, ShotTimer);
  Menu->Popup(At.x, At.y);
  uitest::PumpFor(100);
  GShots = nullptr;
  DropPopupRequests();
}

int CountWhite(const uitest::TCapture& C, const TRect& R) { return C.Count(R, RGB(255, 255, 255)); }

struct TMenuForm {
  std::unique_ptr<TsSkinManager> Manager = LoadedManager();
  TForm* Form = nullptr;
  TPopupMenu* Menu = nullptr;
  TMenuForm() {
    ClearMenuCache();
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBounds(200, 200, 300, 200);
    Menu = new TPopupMenu(Form);
  }
  ~TMenuForm() {
    delete Form;
    uitest::Pump();
  }
  TMenuItem* Add(TMenuItem* Parent, const WideString& Caption) {
    auto* I = new TMenuItem(Form);
    I->SetCaption(Caption);
    (Parent != nullptr ? Parent : Menu->Items())->Add(I);
    return I;
  }
  void Show() {
    Painter(Manager.get())->HookPopupMenu(Menu, true);
    uitest::ShowSettled(Form);
  }
};

}  // namespace

TEST(menus_Window, TheSubmenuArrowIsPaintedFromTheSkin) {
  memguard::TFaultCount Faults;
  TMenuForm F;
  F.Add(nullptr, L"Play");
  TMenuItem* Sort = F.Add(nullptr, L"Sort by");
  F.Add(Sort, L"Name");
  F.Add(Sort, L"Number");
  F.Add(nullptr, L"Properties");
  F.Show();
  TMenuShots Shots;
  // The arrow's item normal, then selected.
  Shots.KeysBefore[1] = {VK_DOWN, VK_DOWN};
  ShootMenu(F.Menu, POINT{260, 260}, Shots);
  ASSERT_EQ(Shots.Shots.size(), 2u);
  for (const uitest::TCapture& C : Shots.Shots) {
    C.MaybeSave(&C == &Shots.Shots[0] ? "menus_submenu_arrow" : "menus_submenu_arrow_selected");
    // The arrow sits at the right end of the second item (the items are 20 pixels high under
    // a 3-pixel frame).
    const TRect ArrowArea{C.Width() - 30, 3 + 20, C.Width() - 3, 3 + 40};
    EXPECT_EQ(CountWhite(C, ArrowArea), 0) << "no system white box";
    // An arrow is drawn there: some pixels stand out of the item's background.
    const COLORREF Back = C.Pixel(C.Width() - 28, 3 + 21);
    EXPECT_GT(C.CountOther(ArrowArea, Back), 6);
  }
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(menus_Window, TheScrollBandsOfAMenuTallerThanTheScreenArePaintedFromTheSkin) {
  memguard::TFaultCount Faults;
  TMenuForm F;
  for (int I = 0; I < 80; ++I) F.Add(nullptr, L"Channel " + std::to_wstring(I + 1));
  F.Show();
  TMenuShots Shots;
  // At the top, then scrolled to the end (the selection wraps round to the last item).
  Shots.KeysBefore[1] = {VK_UP};
  ShootMenu(F.Menu, POINT{260, 10}, Shots);
  ASSERT_EQ(Shots.Shots.size(), 2u);
  const int ScreenH = GetSystemMetrics(SM_CYSCREEN);
  for (const uitest::TCapture& C : Shots.Shots) {
    ASSERT_LE(C.Height(), ScreenH) << "the menu scrolls";
    C.MaybeSave(&C == &Shots.Shots[0] ? "menus_scroll_bands" : "menus_scroll_bands_scrolled");
    const TRect TopBand{0, 0, C.Width(), 17}, BottomBand{0, C.Height() - 17, C.Width(), C.Height()};
    EXPECT_EQ(CountWhite(C, TopBand), 0) << "the top band";
    EXPECT_EQ(CountWhite(C, BottomBand), 0) << "the bottom band";
    // Inside the frame's border each band shows the menu's own background with one arrow in it.
    const COLORREF Menu = C.Pixel(C.Width() - 10, C.Height() / 2);
    for (const TRect& B : {TopBand, BottomBand}) {
      const TRect Inner{B.Left + 4, B.Top + 4, B.Right - 4, B.Bottom - 4};
      int L = Inner.Right, R = Inner.Left;
      for (int Y = Inner.Top; Y < Inner.Bottom; ++Y)
        for (int X = Inner.Left; X < Inner.Right; ++X)
          if (C.Pixel(X, Y) != Menu) {
            L = std::min(L, X);
            R = std::max(R, X + 1);
          }
      EXPECT_GT(C.CountOther(Inner, Menu), 6) << "an arrow";
      EXPECT_LE(R - L, 12) << "one arrow, no other";
    }
  }
  EXPECT_EQ(Faults.Count(), 0);
}
