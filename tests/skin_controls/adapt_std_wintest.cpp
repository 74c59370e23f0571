// Static text, push button, bitmap button, check box, radio button and group box adapters on real system
// windows, painted from the program's skin.
#include <gtest/gtest.h>

#include "skin/controls/acStdAdapters.h"
#include "skin/core/sCommonData.h"
#include "skin_controls/adapt_support.h"
#include "skin_controls/kept_picture_support.h"

namespace {

// Colours of the program's skin.
constexpr COLORREF ButtonFont = ownctl::Colour(15263462);    // BUTTON FONTCOLOR
constexpr COLORREF ButtonHotFont = ownctl::Colour(16777215);  // BUTTON HOTFONTCOLOR
constexpr COLORREF CheckFont = ownctl::Colour(15263462);     // CHECKBOX FONTCOLOR
constexpr COLORREF PanelColor = ownctl::Colour(3222829);     // PANEL COLOR

class AdaptStd : public ::testing::Test {
 protected:
  void SetUp() override {
    InitAdapterUnit();
    Manager = ownctl::LoadProgramSkin();
    ASSERT_TRUE(Manager->SkinActive());
    // Wherever an earlier test left the pointer, it rests away from the windows made here.
    ASSERT_TRUE(Rest.Take());
  }
  void TearDown() override {
    for (TacMainWnd* A : Adapters) delete A;
    DoneAdapterUnit();
  }
  template <class T>
  T* Adapt(HWND W, const AnsiString& Section = "") {
    T* A = TacMainWnd::Create<T>(W, nullptr, Manager.get(), Section);
    Adapters.push_back(A);
    InvalidateRect(W, nullptr, TRUE);
    uitest::Settle(W);
    return A;
  }
  uitest::TCapture Shot(HWND W) {
    RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    uitest::Pump();
    return adapt::WindowCapture(W);
  }
  // Each change in turn: the window under an adapter of kind T shows it as a new one paints it.
  template <class T>
  void ExpectChangesShownAsByANewAdapter(HWND W, const std::vector<kept::TChange>& Cases) {
    auto* A = TacMainWnd::Create<T>(W, nullptr, Manager.get(), "");
    kept::ExpectEachChangeShownAsByANewAdapter(
        Cases,
        [&] {
          uitest::Pump();
          return Shot(W);
        },
        [&] {
          delete A;
          A = TacMainWnd::Create<T>(W, nullptr, Manager.get(), "");
        });
    delete A;
  }
  std::unique_ptr<TsSkinManager> Manager;
  adapt::TPointerRest Rest;
  adapt::THost Host;
  std::vector<TacMainWnd*> Adapters;
};

TEST_F(AdaptStd, StaticTextTakesTheSectionAndTheSkinTextColour) {
  HWND S = Host.Child(L"STATIC", L"Hello skin", 0, 10, 10, 160, 40);
  Adapt<TacStaticWnd>(S, "PANEL");
  uitest::TCapture C = Shot(S);
  C.MaybeSave("adapt_static");
  EXPECT_GT(adapt::CountNear(C, TRect(0, 0, 160, 40), PanelColor, 2), 160 * 40 / 2);
  const TRect Text = C.Extent(C.Pixel(159, 39));
  EXPECT_LT(Text.Left, 10);  // left aligned
  // The text is drawn in the section's font colour: light pixels on the dark panel.
  int Light = 0;
  for (int Y = 0; Y < C.Height(); ++Y)
    for (int X = 0; X < C.Width(); ++X) Light += GetRValue(C.Pixel(X, Y)) > 0xA0 ? 1 : 0;
  EXPECT_GT(Light, 10);

  // A new text is painted at once, read back from the window.
  SetWindowTextW(S, L"");
  const uitest::TCapture Empty = adapt::WindowCapture(S);
  EXPECT_EQ(adapt::CountNear(Empty, TRect(0, 0, 160, 40), PanelColor, 2), 160 * 40);

  // Right aligned statics draw at the right.
  HWND R = Host.Child(L"STATIC", L"Right", 0, 10, 60, 160, 20, WS_EX_RIGHT);
  Adapt<TacStaticWnd>(R, "PANEL");
  const uitest::TCapture RC = Shot(R);
  const TRect RT = RC.Extent(RC.Pixel(0, 0));
  EXPECT_GT(RT.Left, 80);
}

TEST_F(AdaptStd, HiddenStaticIsNotPainted) {
  HWND S = Host.Child(L"STATIC", L"Hidden", 0, 10, 10, 160, 40);
  TacStaticWnd* A = Adapt<TacStaticWnd>(S, "PANEL");
  ShowWindow(S, SW_HIDE);
  A->SkinData->CacheBmp()->SetSize(1, 1);
  HDC DC = GetDC(Host.Wnd);
  SendMessageW(S, WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
  ReleaseDC(Host.Wnd, DC);
  EXPECT_EQ(A->SkinData->CacheBmp()->Width(), 1);  // the cache was not painted again
}

TEST_F(AdaptStd, StaticWithATabStopKeepsItsOwnPainting) {
  HWND S = Host.Child(L"STATIC", L"Own", WS_TABSTOP, 10, 10, 160, 40);
  Adapt<TacStaticWnd>(S, "PANEL");
  const uitest::TCapture C = Shot(S);
  EXPECT_EQ(adapt::CountNear(C, TRect(0, 0, 160, 40), PanelColor, 2), 0);
}

TEST_F(AdaptStd, PushButtonIsPaintedFromTheSkinAndFollowsItsState) {
  HWND B = Host.Child(L"BUTTON", L"Press", BS_PUSHBUTTON, 20, 20, 120, 34);
  TacBtnWnd* A = Adapt<TacBtnWnd>(B);
  EXPECT_EQ(A->SkinData->SkinSection(), "BUTTON");
  EXPECT_EQ(A->ButtonState(), 0);
  uitest::TCapture Normal = Shot(B);
  Normal.MaybeSave("adapt_button_normal");
  // No system face colour is left, and the caption is in the skin's font colour.
  EXPECT_EQ(adapt::CountNear(Normal, TRect(0, 0, 120, 34), GetSysColor(COLOR_BTNFACE), 0), 0);
  EXPECT_GT(adapt::CountNear(Normal, TRect(20, 5, 100, 29), ButtonFont, 12), 5);

  // The pressed state (BM_SETSTATE) repaints at once in the pressed look.
  SendMessageW(B, BM_SETSTATE, TRUE, 0);
  EXPECT_EQ(A->ButtonState(), 2);
  const uitest::TCapture Pressed = adapt::WindowCapture(B);
  Pressed.MaybeSave("adapt_button_pressed");
  EXPECT_FALSE(uitest::TCapture::SamePixels(Normal, TRect(0, 0, 120, 34), Pressed, TRect(0, 0, 120, 34)));
  SendMessageW(B, BM_SETSTATE, FALSE, 0);

  // Focused: hot, with the hot font colour.
  SetFocus(B);
  uitest::Pump();
  EXPECT_EQ(A->ButtonState(), 1);
  const uitest::TCapture Hot = Shot(B);
  Hot.MaybeSave("adapt_button_hot");
  EXPECT_GT(adapt::CountNear(Hot, TRect(20, 5, 100, 29), ButtonHotFont, 12), 5);
  SetFocus(Host.Wnd);
  uitest::Pump();

  // Disabled: faded toward the background, and a focus attempt changes nothing.
  EnableWindow(B, FALSE);
  uitest::Pump();
  const uitest::TCapture Off = Shot(B);
  Off.MaybeSave("adapt_button_disabled");
  EXPECT_EQ(adapt::CountNear(Off, TRect(20, 5, 100, 29), ButtonFont, 12), 0);
  SendMessageW(B, WM_SETFOCUS, 0, 0);
  EXPECT_FALSE(A->SkinData->FocusedFlag);
}

TEST_F(AdaptStd, DefaultButtonIsHotAndClicksStillReachTheParent) {
  HWND B = Host.Child(L"BUTTON", L"OK", BS_DEFPUSHBUTTON, 20, 20, 100, 30);
  TacBtnWnd* A = Adapt<TacBtnWnd>(B);
  EXPECT_EQ(A->ButtonState(), 1);
  // A real click goes through the adapter to the button's own logic.
  ASSERT_TRUE(realinput::BringToFront(Host.Wnd));
  ASSERT_TRUE(realinput::Click(B, 50, 15));
  uitest::Pump();
  EXPECT_EQ(GetFocus(), B);
  EXPECT_TRUE(A->SkinData->FocusedFlag);
}

TEST_F(AdaptStd, ButtonUnderTheRealPointerIsDrawnHot) {
  HWND B = Host.Child(L"BUTTON", L"Hover", BS_PUSHBUTTON, 20, 20, 120, 34);
  TacBtnWnd* A = Adapt<TacBtnWnd>(B);
  ASSERT_TRUE(realinput::BringToFront(Host.Wnd));
  ASSERT_FALSE(A->SkinData->MouseOver);
  const uitest::TCapture Normal = Shot(B);
  ASSERT_TRUE(realinput::MovePointerSettled(ownctl::ScreenPoint(B, 60, 17)));
  ASSERT_TRUE(uitest::WaitFor([A] { return A->SkinData->MouseOver; }));
  EXPECT_EQ(Manager->HoverWindow(), B);
  EXPECT_EQ(A->ButtonState(), 1);
  const uitest::TCapture Hot = adapt::WindowCapture(B);
  EXPECT_GT(adapt::CountNear(Hot, TRect(20, 5, 100, 29), ButtonHotFont, 12), 5);
  EXPECT_FALSE(uitest::TCapture::SamePixels(Normal, TRect(0, 0, 120, 34), Hot, TRect(0, 0, 120, 34)));
  // The manager moving its hover window away takes the hot look back.
  ASSERT_TRUE(Rest.Take());
  Manager->SetHoverWindow(nullptr);
  EXPECT_FALSE(A->SkinData->MouseOver);
  const uitest::TCapture Left = adapt::WindowCapture(B);
  EXPECT_TRUE(uitest::TCapture::SamePixels(Normal, TRect(0, 0, 120, 34), Left, TRect(0, 0, 120, 34)));
}

TEST_F(AdaptStd, CheckBoxAndRadioButtonDrawTheSkinGlyphs) {
  HWND Box = Host.Child(L"BUTTON", L"Check me", BS_AUTOCHECKBOX, 10, 10, 150, 24);
  HWND Radio = Host.Child(L"BUTTON", L"Radio", BS_AUTORADIOBUTTON, 10, 50, 150, 24);
  TacCheckBoxWnd* CB = Adapt<TacCheckBoxWnd>(Box);
  TacCheckBoxWnd* RB = Adapt<TacCheckBoxWnd>(Radio);
  EXPECT_EQ(CB->SkinData->SkinSection(), "CHECKBOX");
  const uitest::TCapture Off = Shot(Box);
  Off.MaybeSave("adapt_check_off");
  const TSize G = CB->GlyphSize();
  EXPECT_GT(G.cx, 8);
  // The text in the skin's font colour right of the glyph.
  EXPECT_GT(adapt::CountNear(Off, TRect(G.cx + 2, 0, 150, 24), CheckFont, 12), 5);

  SendMessageW(Box, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(CB->CheckState(), 1);
  const uitest::TCapture On = adapt::WindowCapture(Box);
  On.MaybeSave("adapt_check_on");
  const int GY = (24 - G.cy) / 2;
  EXPECT_FALSE(uitest::TCapture::SamePixels(Off, TRect(0, GY, G.cx, GY + G.cy), On, TRect(0, GY, G.cx, GY + G.cy)));
  HWND Three = Host.Child(L"BUTTON", L"Three", BS_AUTO3STATE, 10, 90, 150, 24);
  TacCheckBoxWnd* TB = Adapt<TacCheckBoxWnd>(Three);
  SendMessageW(Three, BM_SETCHECK, BST_INDETERMINATE, 0);
  EXPECT_EQ(TB->CheckState(), 2);

  // The radio button shows the radio images, not the box ones.
  const uitest::TCapture ROff = Shot(Radio);
  ROff.MaybeSave("adapt_radio_off");
  EXPECT_FALSE(uitest::TCapture::SamePixels(Off, TRect(0, GY, G.cx, GY + G.cy), ROff, TRect(0, GY, G.cx, GY + G.cy)));
  SendMessageW(Radio, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(RB->CheckState(), 1);

  // A real click toggles the box through its own logic and the adapter repaints it.
  SendMessageW(Box, BM_SETCHECK, BST_UNCHECKED, 0);
  ASSERT_TRUE(realinput::BringToFront(Host.Wnd));
  ASSERT_TRUE(realinput::Click(Box, 5, 12));
  uitest::Pump();
  EXPECT_EQ(SendMessageW(Box, BM_GETCHECK, 0, 0), BST_CHECKED);
  // Once neither focused nor under the mouse, it looks as checked before.
  ASSERT_TRUE(Rest.Take());
  SetFocus(Host.Wnd);
  Manager->SetHoverWindow(nullptr);
  uitest::Pump();
  const uitest::TCapture Clicked = Shot(Box);
  EXPECT_TRUE(uitest::TCapture::SamePixels(On, TRect(0, GY, G.cx, GY + G.cy), Clicked, TRect(0, GY, G.cx, GY + G.cy)));
}

// A check box keeps its picture from paint to paint: after each change it shows what a new
// adapter, which has no picture yet, paints. It stands on a panel whose picture is a gradient,
// which the box's section shows through.
TEST_F(AdaptStd, ACheckBoxShowsEachChangeAsANewAdapterPaintsIt) {
  HWND Panel = Host.Child(L"STATIC", L"", 0, 5, 5, 220, 60);
  Adapt<TacStaticWnd>(Panel, "TOOLBAR");
  HWND Box = CreateWindowExW(0, L"BUTTON", L"Check me", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 10, 150, 24,
                             Panel, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(Box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  HFONT Large = CreateFontW(-18, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  const std::vector<kept::TChange> Cases = {
      {"nothing", [] {}},
      {"checked", [Box] { SendMessageW(Box, BM_SETCHECK, BST_CHECKED, 0); }},
      {"pushed", [Box] { SendMessageW(Box, BM_SETSTATE, TRUE, 0); }},
      {"a new text", [Box] { SetWindowTextW(Box, L"Another text"); }},
      {"another font", [Box, Large] { SendMessageW(Box, WM_SETFONT, reinterpret_cast<WPARAM>(Large), TRUE); }},
      {"focused", [Box] { SetFocus(Box); }},
      {"under the pointer", [this, Box] { Manager->SetHoverWindow(Box); }},
      {"disabled", [Box] { EnableWindow(Box, FALSE); }},
      {"made smaller", [Box] { SetWindowPos(Box, nullptr, 0, 0, 110, 20, SWP_NOMOVE | SWP_NOZORDER); }},
      {"the text on the left", [Box] { SendMessageW(Box, BM_SETSTYLE, BS_AUTOCHECKBOX | BS_LEFTTEXT, TRUE); }},
      {"the panel's gradient under it stretched", [Panel] {
         SetWindowPos(Panel, nullptr, 0, 0, 220, 140, SWP_NOMOVE | SWP_NOZORDER);
         RedrawWindow(Panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
       }},
      {"the skin's colours turned", [this] { Manager->SetHueOffset(90); }},
  };
  ExpectChangesShownAsByANewAdapter<TacCheckBoxWnd>(Box, Cases);
  DeleteObject(Large);
}

// A check box is hot while the pointer is on it. A hit test of one of its points made while the
// pointer is elsewhere (a window-from-point probe of the system or of any program) leaves it as
// it is.
TEST_F(AdaptStd, CheckBoxIsHotUnderThePointerNotForAHitTestElsewhere) {
  HWND Box = Host.Child(L"BUTTON", L"Check me", BS_AUTOCHECKBOX, 10, 10, 150, 24);
  Adapt<TacCheckBoxWnd>(Box);
  ASSERT_TRUE(realinput::BringToFront(Host.Wnd));
  const uitest::TCapture Normal = Shot(Box);
  const POINT OnBox = ownctl::ScreenPoint(Box, 5, 12);
  EXPECT_EQ(WindowFromPoint(OnBox), Box);  // the system asks the box for its hit test
  uitest::Pump();
  EXPECT_NE(Manager->HoverWindow(), Box);
  SendMessageW(Box, WM_NCHITTEST, 0, MAKELPARAM(OnBox.x, OnBox.y));
  uitest::Pump();
  EXPECT_NE(Manager->HoverWindow(), Box);
  EXPECT_TRUE(uitest::TCapture::SamePixels(Normal, TRect(0, 0, 150, 24), adapt::WindowCapture(Box), TRect(0, 0, 150, 24)));
  // The pointer on it: hot.
  ASSERT_TRUE(realinput::MovePointerSettled(ownctl::ScreenPoint(Box, 5, 12)));
  ASSERT_TRUE(uitest::WaitFor([&] { return Manager->HoverWindow() == Box; }));
  EXPECT_FALSE(uitest::TCapture::SamePixels(Normal, TRect(0, 0, 150, 24), adapt::WindowCapture(Box), TRect(0, 0, 150, 24)));
  ASSERT_TRUE(Rest.Take());
}

TEST_F(AdaptStd, LeftTextPutsTheGlyphAtTheRight) {
  HWND Box = Host.Child(L"BUTTON", L"Left", BS_AUTOCHECKBOX | BS_LEFTTEXT, 10, 10, 150, 24);
  TacCheckBoxWnd* CB = Adapt<TacCheckBoxWnd>(Box);
  const uitest::TCapture C = Shot(Box);
  const TSize G = CB->GlyphSize();
  // The text starts at the left, the glyph's pixels differ from the background at the right.
  EXPECT_GT(adapt::CountNear(C, TRect(0, 0, 60, 24), CheckFont, 12), 5);
  const COLORREF Bg = C.Pixel(100, 1);
  EXPECT_GT(C.CountOther(TRect(150 - G.cx, 0, 150, 24), Bg), 10);
  EXPECT_EQ(C.CountOther(TRect(70, 0, 150 - G.cx - 2, 24), Bg), 0);
}

// The glyph stands in the middle of the box's height; when the room left is odd, the spare pixel
// lies below it: a box one pixel taller shows its glyph on the same rows.
TEST_F(AdaptStd, CheckBoxGlyphKeepsItsRowsWhenTheSparePixelIsOdd) {
  HWND Even = Host.Child(L"BUTTON", L"", BS_AUTOCHECKBOX, 10, 10, 150, 24);
  const TSize G = Adapt<TacCheckBoxWnd>(Even)->GlyphSize();
  const int H = G.cy + 8;
  SetWindowPos(Even, nullptr, 0, 0, 150, H, SWP_NOMOVE | SWP_NOZORDER);
  HWND Odd = Host.Child(L"BUTTON", L"", BS_AUTOCHECKBOX, 10, 60, 150, H + 1);
  Adapt<TacCheckBoxWnd>(Odd);
  const uitest::TCapture E = Shot(Even), O = Shot(Odd);
  const TRect Glyph(0, 4, G.cx, 4 + G.cy);
  EXPECT_GT(E.CountOther(Glyph, E.Pixel(G.cx + 20, 1)), 10);
  EXPECT_TRUE(uitest::TCapture::SamePixels(E, Glyph, O, Glyph));
}

// A bitmap button without a caption shows its bitmap in its middle; the spare pixel of an odd room
// lies below and right of it, as with the check box: a button one pixel wider and taller shows the
// bitmap on the same rows and columns.
TEST_F(AdaptStd, BitmapButtonGlyphKeepsItsPlaceWhenTheSparePixelIsOdd) {
  HDC Screen = GetDC(nullptr);
  HBITMAP Bitmap = CreateCompatibleBitmap(Screen, 12, 12);
  HDC DC = CreateCompatibleDC(Screen);
  HGDIOBJ Old = SelectObject(DC, Bitmap);
  const RECT All{0, 0, 12, 12};
  HBRUSH Red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(DC, &All, Red);
  SetPixel(DC, 0, 11, RGB(0, 255, 0));  // the lower-left pixel is the transparent colour
  SelectObject(DC, Old);
  DeleteObject(Red);
  DeleteDC(DC);
  ReleaseDC(nullptr, Screen);
  auto RedPart = [this, Bitmap](int Top, int W, int H) {
    HWND B = Host.Child(L"BUTTON", L"", BS_PUSHBUTTON | BS_BITMAP, 10, Top, W, H);
    SendMessageW(B, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Bitmap));
    Adapt<TacBitBtnWnd>(B);
    const uitest::TCapture C = Shot(B);
    TRect R{W, H, 0, 0};
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X)
        if (C.Pixel(X, Y) == RGB(255, 0, 0)) {
          R.Left = std::min(R.Left, X);
          R.Top = std::min(R.Top, Y);
          R.Right = std::max(R.Right, X + 1);
          R.Bottom = std::max(R.Bottom, Y + 1);
        }
    return R;
  };
  const TRect Even = RedPart(10, 60, 30), Odd = RedPart(60, 61, 31);
  EXPECT_EQ(Even, TRect(24, 9, 36, 21));
  EXPECT_EQ(Odd, Even);
  DeleteObject(Bitmap);
}

// A group box keeps its picture from paint to paint: after each change it shows what a new
// adapter, which has no picture yet, paints.
TEST_F(AdaptStd, AGroupBoxShowsEachChangeAsANewAdapterPaintsIt) {
  HWND Box = Host.Child(L"BUTTON", L"Group", BS_GROUPBOX, 10, 10, 200, 120);
  HFONT Large = CreateFontW(-18, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  const std::vector<kept::TChange> Cases = {
      {"nothing", [] {}},
      {"a new caption", [Box] { SetWindowTextW(Box, L"A longer caption"); }},
      {"another font", [Box, Large] { SendMessageW(Box, WM_SETFONT, reinterpret_cast<WPARAM>(Large), TRUE); }},
      {"made smaller", [Box] { SetWindowPos(Box, nullptr, 0, 0, 160, 90, SWP_NOMOVE | SWP_NOZORDER); }},
      {"disabled", [Box] { EnableWindow(Box, FALSE); }},
      {"the skin's colours turned", [this] { Manager->SetHueOffset(90); }},
  };
  ExpectChangesShownAsByANewAdapter<TacGroupBoxWnd>(Box, Cases);
  DeleteObject(Large);
}

TEST_F(AdaptStd, GroupBoxDrawsItsFrameBelowTheCaption) {
  HWND Box = Host.Child(L"BUTTON", L"Group", BS_GROUPBOX, 10, 10, 200, 120);
  TacGroupBoxWnd* A = Adapt<TacGroupBoxWnd>(Box);
  const TRect Cap = A->CaptionRect();
  EXPECT_EQ(Cap.Left, 6);
  EXPECT_EQ(adapt::AlphaCmd(Box, AC_GETCAPTIONHEIGHT), Cap.Bottom - Cap.Top);
  const uitest::TCapture C = Shot(Box);
  C.MaybeSave("adapt_groupbox");
  // Caption text in the section's font colour, the frame from the skin's border image below it.
  EXPECT_GT(adapt::CountNear(C, Cap, ownctl::Colour(15263462), 12), 3);
  const COLORREF Bg = C.Pixel(100, 60);
  EXPECT_GT(C.CountOther(TRect(0, 30, 4, 110), Bg), 20);  // the left edge of the frame
  EXPECT_EQ(C.CountOther(TRect(Cap.Right + 4, 0, 190, Cap.Bottom / 2 - 1), Bg), 0);  // parent above the frame

  // A caption longer than the box is cut at its width - 1.
  SetWindowTextW(Box, L"A very very long caption that does not fit into the group box at all");
  EXPECT_EQ(A->CaptionRect().Right, 199);
}

}  // namespace
