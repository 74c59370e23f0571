// The combo box adapters on real COMBOBOX windows of each style with the program's own skin: the
// 3-pixel skinned frame, the drop button from COMBOBTN in its three states, the drop-down list
// adapter with its frame and colours, and the simple combo without button.
#include "framework/StdCtrls.h"
#include "sadapt_support.h"
#include "skin/core/sConst.h"

using namespace sadapt;

namespace {

class SadaptCombo : public SkinnedFixture {
 protected:
  HWND MakeCombo(DWORD Style, int X, int Y, int H = 200) {
    HWND C = Child(L"COMBOBOX", Style | WS_VSCROLL, 0, X, Y, 160, H);
    for (const wchar_t* T : {L"First", L"Second", L"Third", L"Fourth", L"Fifth", L"Sixth", L"Seventh", L"Eighth",
                             L"Ninth", L"Tenth", L"Eleventh", L"Twelfth"})
      SendMessageW(C, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(T));
    SendMessageW(C, CB_SETCURSEL, 1, 0);
    return C;
  }
  // Pixels of the button rectangle that are near the colour.
  static int CountNear(const uitest::TCapture& Shot, const TRect& R, COLORREF C, int Tol = 4) {
    int N = 0;
    for (int Y = R.Top; Y < R.Bottom; ++Y)
      for (int X = R.Left; X < R.Right; ++X)
        if (Near(Shot.Pixel(X, Y), C, Tol)) ++N;
    return N;
  }
};

}  // namespace

TEST_F(SadaptCombo, DropDownListHasASkinnedFrameAndButton) {
  HWND C = MakeCombo(CBS_DROPDOWNLIST, 20, 20);
  uitest::Settle(C);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  InvalidateRect(C, nullptr, TRUE);
  uitest::Settle(C);
  Save(C, "sadapt_combo_list_normal");

  TRect B;
  A->GetButtonRect(B);
  RECT WR{};
  GetWindowRect(C, &WR);
  const int W = WR.right - WR.left, H = WR.bottom - WR.top;
  EXPECT_EQ(B.Right - B.Left, GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(B.Right, W - 2);
  EXPECT_EQ(B.Top, 2);
  EXPECT_EQ(B.Bottom, H - 2);
  EXPECT_EQ(A->ButtonState(), 0);

  const auto Shot = WindowCapture(C);
  HDC Cache = A->SkinData->CacheBmp()->Canvas()->Handle();
  // The 3-pixel frame is the cache's.
  for (int I = 0; I < 3; ++I) {
    EXPECT_EQ(Shot.Pixel(I, H / 2), GetPixel(Cache, I, H / 2) & 0xFFFFFF) << I;
    EXPECT_EQ(Shot.Pixel(40, I), GetPixel(Cache, 40, I) & 0xFFFFFF) << I;
  }
  // The normal button is transparent over the section (COMBOBTN TRANSPARENCY=100) and carries
  // the glyph: most of it is the combo's colour, some pixels are the glyph's.
  const COLORREF Bg = Rgb(Section("COMBOBOX").Color);
  const int Area = (B.Right - B.Left) * (B.Bottom - B.Top);
  EXPECT_GT(CountNear(Shot, B, Bg), Area / 2);
  EXPECT_GT(Area - CountNear(Shot, B, Bg, 10), 3);
  delete A;
}

TEST_F(SadaptCombo, ButtonIsHotUnderTheMouseAndPressedWhileDroppedDown) {
  HWND C = MakeCombo(CBS_DROPDOWN, 20, 60);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  InvalidateRect(C, nullptr, TRUE);
  uitest::Settle(C);
  TRect B;
  A->GetButtonRect(B);
  const COLORREF Hot = Rgb(Section("COMBOBTN").HotColor);
  const int Area = (B.Right - B.Left) * (B.Bottom - B.Top);
  EXPECT_LT(CountNear(WindowCapture(C), B, Hot), Area / 4);

  // The manager's hover window becomes the combo: AC_MOUSEENTER repaints the button hot.
  Manager->SetHoverWindow(C);
  EXPECT_EQ(A->ButtonState(), 1);
  uitest::Pump();
  Save(C, "sadapt_combo_hot");
  EXPECT_GT(CountNear(WindowCapture(C), B, Hot), Area / 2);
  Manager->SetHoverWindow(nullptr);
  EXPECT_EQ(A->ButtonState(), 0);
  uitest::Pump();
  EXPECT_LT(CountNear(WindowCapture(C), B, Hot), Area / 4);

  // Dropped down: the list adapter exists and the button is drawn pressed.
  SendMessageW(C, CB_SHOWDROPDOWN, TRUE, 0);
  uitest::Settle(C);
  ASSERT_NE(A->ListWnd, nullptr);
  ASSERT_NE(A->ListAdapter, nullptr);
  EXPECT_EQ(GetWndAdapter(A->ListWnd), A->ListAdapter);
  EXPECT_FALSE(A->ListAdapter->SimpleList);
  EXPECT_EQ(A->ButtonState(), 2);
  A->PaintButton(nullptr);
  EXPECT_GT(CountNear(WindowCapture(C), B, Hot), Area / 2);
  SendMessageW(C, CB_SHOWDROPDOWN, FALSE, 0);
  uitest::Settle(C);
  EXPECT_EQ(A->ButtonState(), 0);
  delete A;
}

TEST_F(SadaptCombo, DropDownListIsFramedAndColouredFromTheSection) {
  HWND C = MakeCombo(CBS_DROPDOWNLIST, 200, 20);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  uitest::Settle(C);
  SendMessageW(C, CB_SHOWDROPDOWN, TRUE, 0);
  uitest::Settle(C);
  ASSERT_NE(A->ListAdapter, nullptr);
  HWND L = A->ListWnd;
  RedrawWindow(L, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(L);
  Save(L, "sadapt_combo_droplist");
  const TsGeneralData& Edit = Section("EDIT");
  // The list answers its section and is framed in black over the section colour.
  EXPECT_EQ(SendMessageW(L, SM_ALPHACMD, MakeAlphaCmd(AC_GETSECTION), 0), Manager->GetSectionIndex("EDIT") + 1);
  EXPECT_EQ(A->ListAdapter->WindowColor, static_cast<TColor>(Edit.Color));
  const auto Shot = WindowCapture(L);
  EXPECT_EQ(Shot.Pixel(0, 10), RGB(0, 0, 0));
  // The items are drawn on the section's colour (the brush the combo answers the list with),
  // apart from the selected one.
  const uitest::TCapture Client(L);
  const TRect All{0, 0, Client.Width(), Client.Height()};
  EXPECT_GT(Client.Count(All, Rgb(Edit.Color)), Client.Width() * Client.Height() * 2 / 5);
  // Its vertical bar is skinned, and painted once by a repaint of the list.
  EXPECT_TRUE(A->ListAdapter->VertBar->Visible);
  A->ListAdapter->VertBar->Paints = 0;
  RedrawWindow(L, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Pump();
  EXPECT_EQ(A->ListAdapter->VertBar->Paints, 1u);
  EXPECT_TRUE(uitest::TCapture::SamePixels(WindowCapture(L), TRect{0, 0, Shot.Width(), Shot.Height()}, Shot,
                                           TRect{0, 0, Shot.Width(), Shot.Height()}));
  SendMessageW(C, CB_SHOWDROPDOWN, FALSE, 0);
  uitest::Settle(C);
  delete A;
  uitest::Pump();
  EXPECT_EQ(GetWndAdapter(L), nullptr);
}

TEST_F(SadaptCombo, SimpleComboHasNoButtonAndASkinnedList) {
  HWND C = MakeCombo(CBS_SIMPLE, 380, 20, 150);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  RedrawWindow(C, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  uitest::Settle(C);
  Save(C, "sadapt_combo_simple");
  TRect B;
  A->GetButtonRect(B);
  EXPECT_EQ(B.Right - B.Left, 0);
  // The simple combo's cache is one edit line tall.
  EXPECT_EQ(A->SkinData->CacheBmp()->Height(), SendMessageW(C, CB_GETITEMHEIGHT, 0, 0) + 8);
  ASSERT_NE(A->ListAdapter, nullptr);
  EXPECT_TRUE(A->ListAdapter->SimpleList);
  delete A;
}

TEST_F(SadaptCombo, LeftScrollBarPutsTheButtonAtTheLeft) {
  HWND C = Child(L"COMBOBOX", CBS_DROPDOWNLIST, WS_EX_LEFTSCROLLBAR, 20, 300, 160, 200);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  TRect B;
  A->GetButtonRect(B);
  EXPECT_EQ(B.Left, 2);
  EXPECT_EQ(B.Right, 2 + GetSystemMetrics(SM_CXVSCROLL));
  delete A;
}

TEST_F(SadaptCombo, PrintDrawsFrameTextAndButton) {
  HWND C = MakeCombo(CBS_DROPDOWNLIST, 200, 300);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  uitest::Settle(C);
  RECT WR{};
  GetWindowRect(C, &WR);
  const int W = WR.right - WR.left, H = WR.bottom - WR.top;
  uitest::TMemoryDC M(W, H, RGB(1, 2, 3));
  SendMessageW(C, WM_PRINT, reinterpret_cast<WPARAM>(M.DC()), PRF_NONCLIENT | PRF_CLIENT);
  const uitest::TCapture P(M.DC(), TRect{0, 0, W, H});
  P.MaybeSave("sadapt_combo_printed");
  // Nothing left unpainted; the text "Second" is drawn in light pixels left of the button.
  EXPECT_EQ(P.Count(TRect{0, 0, W, H}, RGB(1, 2, 3)), 0);
  TRect B;
  A->GetButtonRect(B);
  int Light = 0;
  for (int Y = 3; Y < H - 3; ++Y)
    for (int X = 3; X < B.Left; ++X)
      if (GetRValue(P.Pixel(X, Y)) > 160) ++Light;
  EXPECT_GT(Light, 10);
  delete A;
}

// A combo box destroyed while its list is dropped down, before its adapter is freed: the list goes
// with it, both adapters let go of their windows (no property, no capture left behind), and the
// adapter is freed afterwards without touching either window.
TEST_F(SadaptCombo, ComboDestroyedWhileDroppedDownBeforeItsAdapter) {
  HWND C = MakeCombo(CBS_DROPDOWNLIST, 20, 120);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  SendMessageW(C, CB_SHOWDROPDOWN, TRUE, 0);
  uitest::Settle(C);
  ASSERT_NE(A->ListAdapter, nullptr);
  HWND L = A->ListWnd;
  ASSERT_TRUE(IsWindowVisible(L));
  ASSERT_EQ(GetWndAdapter(L), A->ListAdapter);
  DestroyWindow(C);
  uitest::Pump();
  EXPECT_FALSE(IsWindow(L));
  EXPECT_TRUE(A->Destroyed);
  EXPECT_TRUE(A->ListAdapter->Destroyed);
  EXPECT_EQ(GetCapture(), nullptr);
  delete A;
}

TEST_F(SadaptCombo, FrameworkControlWithoutHandleGetsNoAdapter) {
  EXPECT_EQ(TacWWComboBoxWnd::CreateFor(nullptr, nullptr, Manager.get(), "COMBOBOX"), nullptr);
}

TEST_F(SadaptCombo, OtherFrameworkControlsAlwaysGetADropButton) {
  auto* Ed = new TEdit(Form);
  Ed->SetParent(Form);
  Ed->SetBounds(20, 340, 160, 24);
  auto* A = TacWWComboBoxWnd::CreateFor(Ed, nullptr, Manager.get(), "COMBOBOX");
  ASSERT_NE(A, nullptr);
  EXPECT_TRUE(A->HasDropButton);
  TRect B;
  A->GetButtonRect(B);
  EXPECT_EQ(B.Right - B.Left, GetSystemMetrics(SM_CXVSCROLL));
  delete A;
}

TEST_F(SadaptCombo, DropDownListScrollsWithItsSkinnedBar) {
  HWND C = MakeCombo(CBS_DROPDOWNLIST, 200, 120, 120);
  SendMessageW(C, CB_SETCURSEL, 0, 0);
  auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
  SendMessageW(C, CB_SHOWDROPDOWN, TRUE, 0);
  uitest::Settle(C);
  ASSERT_NE(A->ListAdapter, nullptr);
  HWND L = A->ListWnd;
  ASSERT_TRUE(A->ListAdapter->VertBar->Visible);
  EXPECT_EQ(SendMessageW(L, LB_GETTOPINDEX, 0, 0), 0);
  RECT R{};
  GetWindowRect(L, &R);
  const int X = R.right - A->ListAdapter->InsetRight - GetSystemMetrics(SM_CXVSCROLL) / 2;
  const int Y = R.bottom - A->ListAdapter->InsetBottom - GetSystemMetrics(SM_CYVSCROLL) - 4;
  const LPARAM At = MAKELPARAM(X, Y);
  EXPECT_EQ(SendMessageW(L, WM_NCHITTEST, 0, At), HTVSCROLL);
  SendMessageW(L, WM_NCLBUTTONDOWN, HTVSCROLL, At);
  POINT P{X, Y};
  ScreenToClient(L, &P);
  SendMessageW(L, WM_LBUTTONUP, 0, MAKELPARAM(P.x, P.y));
  EXPECT_GT(SendMessageW(L, LB_GETTOPINDEX, 0, 0), 0);
  Save(L, "sadapt_combo_droplist_scrolled");
  SendMessageW(C, CB_SHOWDROPDOWN, FALSE, 0);
  delete A;
}

TEST_F(SadaptCombo, InADialogOnlyASkinBorderColourFramesControlsInsteadOfTheirSections) {
  // Controls of a system dialog are framed in the skin's border colour when the skin has one; with
  // none (a skin without BORDERCOLOR) their sections are painted as anywhere else.
  const COLORREF Border = Rgb(static_cast<TColor>(Manager->SkinData()->BorderColor));
  // The top-left pixel a simple combo shows, made in a dialog or not.
  auto SimpleCombo = [&](bool Dialog) {
    AdapterDlgMode = Dialog;
    HWND C = MakeCombo(CBS_SIMPLE, 380, 20, 150);
    auto* A = TacMainWnd::Create<TacComboBoxWnd>(C, nullptr, Manager.get(), "COMBOBOX");
    AdapterDlgMode = false;
    RedrawWindow(C, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    uitest::Settle(C);
    const COLORREF P = WindowCapture(C).Pixel(0, 0);
    delete A;
    DestroyWindow(C);
    return P;
  };
  // The top-left pixel of the cache of an edit, framed only (as in a dialog) or not.
  HWND Edit = Child(L"EDIT", 0, 0, 20, 300, 120, 24);
  auto EditCache = [&](bool FramedOnly) {
    TsCommonData D(nullptr, 0, true);
    D.SetSkinManager(Manager.get());
    D.SetSkinSection("EDIT");
    D.BackgroundStale = true;
    PrepareWindowCache(&D, Edit, FramedOnly);
    return GetPixel(D.CacheBmp()->Canvas()->Handle(), 0, 0);
  };
  EXPECT_EQ(SimpleCombo(true), Border);
  EXPECT_EQ(EditCache(true), Border);
  Manager->SkinData()->BorderColor = TsSkinData::NoBorderColor;
  EXPECT_EQ(SimpleCombo(true), SimpleCombo(false));
  EXPECT_EQ(EditCache(true), EditCache(false));
}
