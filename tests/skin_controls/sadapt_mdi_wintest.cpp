// The MDI client adapter on a real MDICLIENT window of a framework MDI form, and the popup-menu
// window adapter, with the program's own skin and the links that form and menu skinning fill.
#include <vector>

#include "sadapt_support.h"
#include "skin/core/sConst.h"

using namespace sadapt;

namespace {

class SadaptMdi : public SkinnedFixture {
 protected:
  void SetUp() override {
    SkinnedFixture::SetUp();
    SavedLink = acMDIProviderLink;
    Mdi = new TForm(nullptr);
    Mdi->SetFormStyle(fsMDIForm);
    Mdi->SetBounds(100, 100, 400, 300);
    uitest::ShowSettled(Mdi);
    FormData = std::make_unique<TsCommonData>(Mdi, 0, true);
    FormData->SetSkinManager(Manager.get());
    FormData->SetSkinSection("FORM");
  }
  void TearDown() override {
    acMDIProviderLink = SavedLink;
    FormData.reset();
    delete Mdi;
    SkinnedFixture::TearDown();
  }
  // The form painter's stand-in: the form's cache becomes one colour.
  void InstallPainter(COLORREF Color) {
    acMDIProviderLink.PaintAll = [this, Color](TObject*) {
      ++PaintAllCalls;
      RECT R{};
      GetWindowRect(Mdi->Handle(), &R);
      TBitmap* B = FormData->CacheBmp();
      B->SetSize(R.right - R.left, R.bottom - R.top);
      HBRUSH Br = CreateSolidBrush(Color);
      RECT All{0, 0, R.right - R.left, R.bottom - R.top};
      FillRect(B->Canvas()->Handle(), &All, Br);
      DeleteObject(Br);
      FormData->BackgroundStale = false;
    };
  }
  TacMDIWnd* Attach() {
    auto* A = TacMainWnd::Create<TacMDIWnd>(Mdi->ClientHandle(), nullptr, Manager.get(), "CHECKBOX");
    A->MDIForm = Mdi;
    A->FormSkinData = FormData.get();
    return A;
  }

  TacMDIProviderLink SavedLink;
  TForm* Mdi = nullptr;
  std::unique_ptr<TsCommonData> FormData;
  int PaintAllCalls = 0;
};

}  // namespace

TEST_F(SadaptMdi, AreaAndEdgeComeFromTheFormCache) {
  HWND Client = Mdi->ClientHandle();
  ASSERT_NE(Client, nullptr);
  InstallPainter(RGB(200, 30, 40));
  auto* A = Attach();
  EXPECT_EQ(A->SkinData->SkinSection(), "CHECKBOX");
  RedrawWindow(Client, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(Client);
  Save(Client, "sadapt_mdi_area");
  // The stale form image was rebuilt once through the provider link and copied into the client.
  EXPECT_GE(PaintAllCalls, 1);
  RECT C{};
  GetClientRect(Client, &C);
  EXPECT_EQ(uitest::WindowPixel(Client, C.right / 2, C.bottom / 2), RGB(200, 30, 40));
  // The 2-pixel client edge too.
  const auto Shot = WindowCapture(Client);
  EXPECT_EQ(Shot.Pixel(0, 50), RGB(200, 30, 40));
  EXPECT_EQ(Shot.Pixel(1, 50), RGB(200, 30, 40));
  // Printing copies the area without the edge offset.
  uitest::TMemoryDC M(C.right, C.bottom, RGB(1, 2, 3));
  SendMessageW(Client, WM_PRINT, reinterpret_cast<WPARAM>(M.DC()), PRF_CLIENT);
  EXPECT_EQ(GetPixel(M.DC(), 10, 10) & 0xFFFFFF, RGB(200, 30, 40));
  delete A;
}

TEST_F(SadaptMdi, UnskinnedFormLeavesTheClientAlone) {
  InstallPainter(RGB(200, 30, 40));
  FormData->SetSkinSection("NO SUCH SECTION");
  auto* A = Attach();
  HWND Client = Mdi->ClientHandle();
  RedrawWindow(Client, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(Client);
  EXPECT_EQ(PaintAllCalls, 0);
  EXPECT_NE(uitest::WindowPixel(Client, 50, 50), RGB(200, 30, 40));
  delete A;
}

TEST_F(SadaptMdi, TilingTellsTheProviderAndScrollsRedrawUnlessTracking) {
  InstallPainter(RGB(20, 90, 40));
  int Arranged = 0;
  acMDIProviderLink.ChildrenArranged = [&](TObject*) { ++Arranged; };
  auto* A = Attach();
  uitest::Settle(Mdi->ClientHandle());
  FormData->BackgroundStale = false;
  SendMessageW(Mdi->ClientHandle(), WM_MDITILE, 0, 0);
  EXPECT_EQ(Arranged, 1);
  EXPECT_TRUE(FormData->BackgroundStale);
  SendMessageW(Mdi->ClientHandle(), WM_MDICASCADE, 0, 0);
  EXPECT_EQ(Arranged, 2);
  // A synthesized scroll suspends redrawing and resumes it afterwards.
  SendMessageW(Mdi->ClientHandle(), SM_ALPHACMD, MakeAlphaCmd(AC_BEFORESCROLL), MAKELPARAM(SB_LINEDOWN, WM_VSCROLL));
  EXPECT_EQ(GetWindowLongW(Mdi->ClientHandle(), GWL_STYLE) & WS_VISIBLE, 0);
  SendMessageW(Mdi->ClientHandle(), SM_ALPHACMD, MakeAlphaCmd(AC_AFTERSCROLL), MAKELPARAM(SB_LINEDOWN, WM_VSCROLL));
  EXPECT_TRUE(IsWindowVisible(Mdi->ClientHandle()));
  delete A;
}

// ---- popup-menu window adapter ------------------------------------------------------------------

namespace {

class SadaptMenu : public SkinnedFixture {
 protected:
  void SetUp() override {
    SkinnedFixture::SetUp();
    SavedLink = acMenuWndLink;
    SavedClear = acFormSkinningLink.ClearMnuWnds;
    acMenuWndLink.ForgetAdapter = [this](TacMnuWnd* A) {
      for (auto& E : List)
        if (E == A) E = nullptr;
      ++Forgotten;
    };
    acMenuWndLink.Adapters = [this] { return List; };
    acMenuWndLink.ClearMenuCache = [this] { ++CacheClears; };
    acFormSkinningLink.ClearMnuWnds = [this] {
      List.clear();
      ++ListClears;
    };
  }
  void TearDown() override {
    acMenuWndLink = SavedLink;
    acFormSkinningLink.ClearMnuWnds = SavedClear;
    acSkinnedMenuShown = false;
    SkinnedFixture::TearDown();
  }
  HWND Popup(int X) {
    HWND W = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, X, 300, 140, 120, Form->Handle(),
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    Children.push_back(W);
    return W;
  }
  TacMnuWnd* Attach(HWND W) {
    auto* A = TacMainWnd::Create<TacMnuWnd>(W, nullptr, Manager.get(), "MAINMENU", false);
    List.push_back(A);
    return A;
  }

  TacMenuWndLink SavedLink;
  std::function<void()> SavedClear;
  std::vector<TacMnuWnd*> List;
  int Forgotten = 0, CacheClears = 0, ListClears = 0;
};

}  // namespace

TEST_F(SadaptMenu, FrameIsDrawnFromTheSectionWhileASkinnedMenuIsShown) {
  HWND W = Popup(300);
  auto* A = Attach(W);
  EXPECT_EQ(SendMessageW(W, SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED), 0), 1);
  SendMessageW(W, SM_ALPHACMD, MakeAlphaCmd(AC_POPUPSHOWN), 0);
  EXPECT_TRUE(A->Shown);

  acSkinnedMenuShown = true;
  SendMessageW(W, WM_NCPAINT, 1, 0);
  ASSERT_NE(A->SkinData->CacheBmp(), nullptr);
  EXPECT_EQ(A->SkinData->CacheBmp()->Width(), 140);
  const auto Shot = WindowCapture(W);
  Save(W, "sadapt_menu_frame");
  HDC Cache = A->SkinData->CacheBmp()->Canvas()->Handle();
  for (int I = 0; I < 3; ++I) EXPECT_EQ(Shot.Pixel(I, 60), GetPixel(Cache, I, 60) & 0xFFFFFF) << I;
  // The menu's colour fills the inside of the cache.
  EXPECT_EQ(GetPixel(Cache, 70, 60) & 0xFFFFFF, Rgb(Section("MAINMENU").Color));
  // A painted erase clears the shown flag.
  HDC DC = GetDC(W);
  SendMessageW(W, WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
  ReleaseDC(W, DC);
  EXPECT_FALSE(A->Shown);
  DestroyWindow(W);
}

TEST_F(SadaptMenu, DestroyingTheLastMenuEmptiesTheListAndFreesTheAdapters) {
  HWND W1 = Popup(300), W2 = Popup(460);
  Attach(W1);
  Attach(W2);
  acSkinnedMenuShown = true;
  DestroyWindow(W1);
  // One of two: the other is only repainted, the list stays.
  EXPECT_EQ(Forgotten, 1);
  EXPECT_EQ(ListClears, 0);
  EXPECT_EQ(CacheClears, 1);
  EXPECT_FALSE(acSkinnedMenuShown);
  EXPECT_EQ(GetWndAdapter(W2), List[1]);
  DestroyWindow(W2);
  EXPECT_EQ(Forgotten, 2);
  EXPECT_EQ(ListClears, 1);
  EXPECT_TRUE(List.empty());
}
