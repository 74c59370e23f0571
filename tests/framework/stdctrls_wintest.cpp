// The standard controls on real windows: what labels paint (read back as pixels), push buttons
// clicked by the mouse, by BM_CLICK and by the Enter and Escape keys, owner-drawn buttons, the
// check box's states, the edit's text, selection and change notice, and a handler of a control's
// own (a click, a change, a key) that frees the control, its panel or its form.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "framework/Buttons.h"
#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

constexpr COLORREF Red = RGB(255, 0, 0), White = RGB(255, 255, 255), Green = RGB(0, 255, 0),
                   Yellow = RGB(255, 255, 0), Blue = RGB(0, 0, 255);

std::unique_ptr<TForm> StdForm(TColor Color = clWhite) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(60, 60, 400, 300);
  F->SetColor(Color);
  F->Show();
  SetForegroundWindow(F->Handle());
  uitest::Pump();
  return F;
}

// Where pixels of one colour lie inside a rectangle of a window's client area.
struct TSpan {
  int Count = 0, MinX = 1 << 30, MaxX = -1, MinY = 1 << 30, MaxY = -1;
};

TSpan FindColor(HWND Window, const TRect& R, COLORREF Color) {
  UpdateWindow(Window);
  const uitest::TCapture C(Window, R);
  TSpan S;
  for (int Y = 0; Y < R.Height(); ++Y)
    for (int X = 0; X < R.Width(); ++X)
      if (C.Pixel(X, Y) == Color) {
        ++S.Count;
        S.MinX = std::min(S.MinX, R.Left + X);
        S.MaxX = std::max(S.MaxX, R.Left + X);
        S.MinY = std::min(S.MinY, R.Top + Y);
        S.MaxY = std::max(S.MaxY, R.Top + Y);
      }
  return S;
}

TLabel* AddLabel(TForm* F, const WideString& Caption, int L, int T) {
  auto* Lb = new TLabel(F);
  Lb->Font()->SetColor(clRed);
  Lb->Font()->SetHeight(-16);
  Lb->SetLeft(L);
  Lb->SetTop(T);
  Lb->SetCaption(Caption);
  Lb->SetParent(F);
  return Lb;
}

SIZE TextSize(TFont* Font, const WideString& Text) {
  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, Font->Handle());
  SIZE S{};
  GetTextExtentPoint32W(DC, Text.c_str(), static_cast<int>(Text.size()), &S);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  return S;
}

}  // namespace

// --- labels

TEST(Label, TextIsPaintedInTheFontColourWhereTheAlignmentPutsIt) {
  auto F = StdForm();
  TLabel* L = AddLabel(F.get(), L"MMMM", 20, 20);
  L->SetAutoSize(false);
  L->SetBounds(20, 20, 300, 30);
  const int TW = TextSize(L->Font(), L"MMMM").cx;
  const TRect Area = Rect(20, 20, 320, 50);

  TSpan S = FindColor(F->Handle(), Area, Red);
  ASSERT_GT(S.Count, 20);
  EXPECT_GE(S.MinX, 20);
  EXPECT_LE(S.MaxX, 20 + TW);
  EXPECT_LT(S.MinX, 20 + 4);

  L->SetAlignment(taCenter);
  S = FindColor(F->Handle(), Area, Red);
  const int Mid = (S.MinX + S.MaxX) / 2;
  EXPECT_NEAR(Mid, 170, 3);

  L->SetAlignment(taRightJustify);
  S = FindColor(F->Handle(), Area, Red);
  EXPECT_GT(S.MaxX, 320 - 5);
  EXPECT_GE(S.MinX, 320 - TW);

  // Vertical placement: the text moves to the bottom of a tall label.
  L->SetBounds(20, 20, 300, 120);
  L->SetLayout(tlBottom);
  S = FindColor(F->Handle(), Rect(20, 20, 320, 140), Red);
  EXPECT_GT(S.MinY, 20 + 80);
  uitest::SaveScreenshot(F->Handle(), "label_alignment");
}

TEST(Label, AutoSizeFitsTheTextAndLinesBreakAtCrLf) {
  auto F = StdForm();
  TLabel* L = AddLabel(F.get(), L"Hello", 10, 10);
  const SIZE One = TextSize(L->Font(), L"Hello");
  EXPECT_EQ(L->Width(), One.cx);
  EXPECT_EQ(L->Height(), One.cy);

  // Two lines: twice the height, each line's text where it belongs.
  L->SetCaption(WideString(L"Hello\r\nWorld wide"));
  EXPECT_EQ(L->Height(), 2 * One.cy);
  EXPECT_EQ(L->Width(), TextSize(L->Font(), L"World wide").cx);
  TSpan Top = FindColor(F->Handle(), Rect(10, 10, 200, 10 + One.cy), Red);
  TSpan Bottom = FindColor(F->Handle(), Rect(10, 10 + One.cy, 200, 10 + 2 * One.cy), Red);
  EXPECT_GT(Top.Count, 10);
  EXPECT_GT(Bottom.Count, 10);
  EXPECT_GT(Bottom.MaxX, Top.MaxX);  // "World wide" is the longer line

  // The accelerator mark takes no room unless ShowAccelChar is off.
  L->SetCaption(WideString(L"&Name"));
  EXPECT_EQ(L->Width(), TextSize(L->Font(), L"Name").cx);
  L->SetShowAccelChar(false);
  EXPECT_EQ(L->Width(), TextSize(L->Font(), L"&Name").cx);

  // A right-aligned label keeps its right edge; an empty caption keeps one line.
  L->SetShowAccelChar(true);
  L->SetAlignment(taRightJustify);
  const int Right = L->Left() + L->Width();
  L->SetCaption(WideString(L"Wider caption"));
  EXPECT_EQ(L->Left() + L->Width(), Right);
  L->SetCaption(WideString());
  EXPECT_EQ(L->Height(), One.cy);

  // Word wrap: the width stays, the height grows (a scalable font from here on).
  L->Font()->SetName("Tahoma");
  L->Font()->SetHeight(-16);
  const SIZE TahomaLine = TextSize(L->Font(), L"one");
  L->SetAlignment(taLeftJustify);
  L->SetAutoSize(false);
  L->SetWidth(60);
  L->SetWordWrap(true);
  L->SetCaption(WideString(L"one two three four"));
  L->SetAutoSize(true);
  EXPECT_EQ(L->Width(), 60);
  EXPECT_GE(L->Height(), 3 * TahomaLine.cy);
  // A font change measures again.
  const int Before = L->Height();
  L->Font()->SetHeight(-24);
  EXPECT_GT(L->Height(), Before);
}

TEST(Label, BackgroundTransparencyAndTheDisabledLook) {
  auto F = StdForm(clBlue);
  TLabel* L = AddLabel(F.get(), L"Text", 10, 10);
  L->SetAutoSize(false);
  L->SetBounds(10, 10, 150, 40);
  L->SetColor(clYellow);
  EXPECT_FALSE(L->Transparent());
  EXPECT_GT(FindColor(F->Handle(), Rect(100, 10, 160, 50), Yellow).Count, 500);
  L->SetTransparent(true);
  EXPECT_EQ(FindColor(F->Handle(), Rect(10, 10, 160, 50), Yellow).Count, 0);
  EXPECT_GT(FindColor(F->Handle(), Rect(100, 10, 160, 50), Blue).Count, 500);
  EXPECT_GT(FindColor(F->Handle(), Rect(10, 10, 160, 50), Red).Count, 10);
  // Disabled: no font colour, the text embossed in the 3-D colours.
  L->SetEnabled(false);
  EXPECT_EQ(FindColor(F->Handle(), Rect(10, 10, 160, 50), Red).Count, 0);
  EXPECT_GT(FindColor(F->Handle(), Rect(10, 10, 160, 50), ColorToRGB(clBtnShadow)).Count, 10);
  EXPECT_GT(FindColor(F->Handle(), Rect(10, 10, 160, 50), ColorToRGB(clBtnHighlight)).Count, 10);
}

TEST(Label, TheAcceleratorFocusesTheFocusControl) {
  auto F = StdForm();
  TLabel* L = AddLabel(F.get(), L"&Name", 10, 10);
  auto* E = new TEdit(F.get());
  E->SetBounds(10, 40, 100, 21);
  E->SetParent(F.get());
  auto* Other = new TEdit(F.get());
  Other->SetBounds(10, 70, 100, 21);
  Other->SetParent(F.get());
  Other->SetFocus();
  uitest::Pump();
  EXPECT_EQ(F->Perform(CM_DIALOGCHAR, 'n', 0), 0);  // no focus control yet
  L->SetFocusControl(E);
  EXPECT_EQ(F->Perform(CM_DIALOGCHAR, 'x', 0), 0);
  EXPECT_TRUE(Other->Focused());
  EXPECT_EQ(F->Perform(CM_DIALOGCHAR, 'N', 0), 1);
  EXPECT_TRUE(E->Focused());
  // The focus control going away is forgotten.
  delete E;
  EXPECT_EQ(L->FocusControl(), nullptr);
  EXPECT_EQ(F->Perform(CM_DIALOGCHAR, 'n', 0), 0);
}

// --- push buttons

namespace {

// Counts the owner-draw requests and paints itself green.
class TStdGreenButton : public TButton {
  T_CLASS(TStdGreenButton, TButton)
 public:
  using TButton::TButton;
  int Draws = 0;
  bool PaintGreen = true;

 protected:
  void CNDrawItem(TMessage& M) override {
    ++Draws;
    if (!PaintGreen) {
      TButton::CNDrawItem(M);
      return;
    }
    auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
    HBRUSH B = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(D->hDC, &D->rcItem, B);
    DeleteObject(B);
    M.Result = 1;
  }
};

TButton* AddButton(TWinControl* Parent, const WideString& Caption, int L, int T, int& Clicks) {
  auto* B = new TButton(Parent);
  B->SetBounds(L, T, 90, 28);
  B->SetCaption(Caption);
  B->SetParent(Parent);
  B->OnClick = [&Clicks](TObject*) { ++Clicks; };
  return B;
}

}  // namespace

TEST(Button, AMouseClickAndBmClickEachFireOnClickOnce) {
  auto F = StdForm();
  int Clicks = 0;
  TButton* B = AddButton(F.get(), L"Press", 50, 50, Clicks);
  HWND W = B->Handle();
  wchar_t Class[32];
  GetClassNameW(W, Class, 32);
  EXPECT_STREQ(Class, L"TButton");
  EXPECT_EQ(GetWindowLongW(W, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

  // The real pointer presses and releases the button.
  ASSERT_TRUE(realinput::Click(W, 45, 14));
  EXPECT_TRUE(uitest::WaitFor([&] { return Clicks >= 1; }));
  uitest::PumpFor(50);
  EXPECT_EQ(Clicks, 1);

  SendMessageW(W, BM_CLICK, 0, 0);
  EXPECT_EQ(Clicks, 2);
  // Click() from the program fires the event as well.
  B->Click();
  EXPECT_EQ(Clicks, 3);
}

TEST(Button, EnterClicksTheDefaultOrFocusedButtonAndEscapeTheCancelButton) {
  auto F = StdForm();
  int Oks = 0, Cancels = 0, Others = 0;
  auto* E = new TEdit(F.get());
  E->SetBounds(10, 10, 120, 21);
  E->SetParent(F.get());
  TButton* Ok = AddButton(F.get(), L"OK", 10, 50, Oks);
  TButton* Cancel = AddButton(F.get(), L"Cancel", 110, 50, Cancels);
  TButton* Other = AddButton(F.get(), L"Other", 210, 50, Others);
  Ok->SetDefault(true);
  Cancel->SetCancel(true);
  E->SetFocus();
  uitest::Pump();
  EXPECT_EQ(GetWindowLongW(Ok->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_TRUE(Ok->Active());

  auto Key = [](HWND W, WPARAM K) {
    PostMessageW(W, WM_KEYDOWN, K, 1);
    PostMessageW(W, WM_KEYUP, K, 0xC0000001);
    uitest::Pump();
  };
  Key(E->Handle(), VK_RETURN);
  EXPECT_EQ(Oks, 1);
  Key(E->Handle(), VK_ESCAPE);
  EXPECT_EQ(Cancels, 1);
  EXPECT_EQ(Others, 0);
  EXPECT_EQ(E->Text(), L"");  // the keys did not reach the edit

  // A focused button takes over Enter and the default look.
  Other->SetFocus();
  uitest::Pump();
  EXPECT_TRUE(Other->Active());
  EXPECT_FALSE(Ok->Active());
  EXPECT_EQ(GetWindowLongW(Ok->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(GetWindowLongW(Other->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  Key(Other->Handle(), VK_RETURN);
  EXPECT_EQ(Others, 1);
  EXPECT_EQ(Oks, 1);
  // Back in the edit, the default button is the one again.
  E->SetFocus();
  uitest::Pump();
  EXPECT_TRUE(Ok->Active());
  Ok->SetDefault(false);
  Key(E->Handle(), VK_RETURN);
  EXPECT_EQ(Oks, 1);
  // The accelerator of a caption clicks too.
  Cancel->SetCaption(WideString(L"&Cancel"));
  EXPECT_EQ(F->Perform(CM_DIALOGCHAR, 'c', 0), 1);
  EXPECT_EQ(Cancels, 2);
}

TEST(Button, ModalResultEndsAModalForm) {
  auto* D = new TForm(nullptr);
  D->SetBounds(100, 100, 200, 120);
  int Clicks = 0;
  TButton* B = AddButton(D, L"OK", 50, 40, Clicks);
  B->SetModalResult(mrOk);
  PostMessageW(B->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(D->ShowModal(), mrOk);
  EXPECT_EQ(Clicks, 1);
  delete D;
}

TEST(Button, AnOwnerDrawnButtonPaintsThroughCnDrawItem) {
  auto F = StdForm();
  auto* B = new TStdGreenButton(F.get());
  B->SetBounds(40, 40, 100, 30);
  B->SetCaption(WideString(L"Owner"));
  B->SetParent(F.get());
  B->SetDefault(true);
  B->SetOwnerDraw(true);
  HWND W = B->Handle();
  EXPECT_EQ(GetWindowLongW(W, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  InvalidateRect(W, nullptr, TRUE);
  UpdateWindow(W);
  EXPECT_GT(B->Draws, 0);
  EXPECT_EQ(uitest::WindowPixel(W, 50, 15), Green);
  // The default look does not take the owner-draw style away.
  auto* Other = new TButton(F.get());
  Other->SetParent(F.get());
  Other->SetFocus();
  uitest::Pump();
  B->SetFocus();
  uitest::Pump();
  EXPECT_EQ(GetWindowLongW(B->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  // The framework's own face: the caption in the button text colour on the button face.
  B->PaintGreen = false;
  InvalidateRect(B->Handle(), nullptr, TRUE);
  TSpan Face = FindColor(B->Handle(), Rect(0, 0, 100, 30), ColorToRGB(clBtnFace));
  TSpan Text = FindColor(B->Handle(), Rect(0, 0, 100, 30), ColorToRGB(clBtnText));
  EXPECT_GT(Face.Count, 1000);
  EXPECT_GT(Text.Count, 20);
  // Measuring answers the button's size.
  MEASUREITEMSTRUCT MS{};
  MS.CtlType = ODT_BUTTON;
  EXPECT_EQ(B->Perform(CN_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&MS)), 1);
  EXPECT_EQ(MS.itemWidth, 100u);
  EXPECT_EQ(MS.itemHeight, 30u);
  // Back to a standard button.
  B->SetOwnerDraw(false);
  EXPECT_EQ(GetWindowLongW(B->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

// --- check boxes

TEST(CheckBox, ClicksCycleTheStatesAndAllowGrayedAddsTheGrayedOne) {
  auto F = StdForm();
  auto* C = new TCheckBox(F.get());
  C->SetBounds(10, 10, 150, 20);
  C->SetCaption(WideString(L"Option"));
  C->SetParent(F.get());
  int Clicks = 0;
  C->OnClick = [&](TObject*) { ++Clicks; };
  HWND W = C->Handle();
  wchar_t Class[32];
  GetClassNameW(W, Class, 32);
  EXPECT_STREQ(Class, L"TCheckBox");
  auto Click = [&] { SendMessageW(C->Handle(), BM_CLICK, 0, 0); };
  auto WindowState = [&] { return static_cast<int>(SendMessageW(C->Handle(), BM_GETCHECK, 0, 0)); };

  Click();
  EXPECT_EQ(C->State(), cbChecked);
  EXPECT_TRUE(C->Checked());
  EXPECT_EQ(WindowState(), BST_CHECKED);
  Click();
  EXPECT_EQ(C->State(), cbUnchecked);
  EXPECT_EQ(Clicks, 2);

  C->SetAllowGrayed(true);
  const TCheckBoxState Cycle[] = {cbGrayed, cbChecked, cbUnchecked, cbGrayed};
  for (TCheckBoxState S : Cycle) {
    Click();
    EXPECT_EQ(C->State(), S);
    EXPECT_EQ(WindowState(), static_cast<int>(S));
  }
  EXPECT_EQ(Clicks, 6);

  // The program sets the state: the window follows and OnClick fires for a change only.
  C->SetChecked(true);
  EXPECT_EQ(WindowState(), BST_CHECKED);
  EXPECT_EQ(Clicks, 7);
  C->SetChecked(true);
  EXPECT_EQ(Clicks, 7);
  EXPECT_THROW(C->SetState(static_cast<TCheckBoxState>(7)), EInvalidOperation);

  // The text left of the box; the state survives the new window.
  C->SetAlignment(taLeftJustify);
  EXPECT_NE(GetWindowLongW(C->Handle(), GWL_STYLE) & BS_LEFTTEXT, 0);
  EXPECT_EQ(WindowState(), BST_CHECKED);
  // The accelerator toggles it.
  C->SetCaption(WideString(L"&Option"));
  EXPECT_EQ(F->Perform(CM_DIALOGCHAR, 'o', 0), 1);
  EXPECT_EQ(C->State(), cbUnchecked);
}

// --- edits

TEST(Edit, TextRoundTripAndOnChange) {
  auto F = StdForm();
  auto* E = new TEdit(F.get());
  int Changes = 0;
  E->OnChange = [&](TObject* Sender) {
    EXPECT_EQ(Sender, E);
    ++Changes;
  };
  const WideString Cyrillic = L"\u041f\u0440\u0438\u0432\u0435\u0442";
  E->SetText(Cyrillic);  // no window yet
  EXPECT_EQ(Changes, 1);
  E->SetBounds(10, 10, 150, 21);
  E->SetParent(F.get());
  HWND W = E->Handle();
  wchar_t Buffer[64];
  GetWindowTextW(W, Buffer, 64);
  EXPECT_EQ(WideString(Buffer), Cyrillic);
  EXPECT_EQ(Changes, 1);  // creating the window is no change
  wchar_t Class[32];
  GetClassNameW(W, Class, 32);
  EXPECT_STREQ(Class, L"TEdit");

  E->SetText(WideString(L"abc"));
  EXPECT_EQ(Changes, 2);
  EXPECT_EQ(E->Text(), L"abc");
  E->SetText(WideString(L"abc"));
  EXPECT_EQ(Changes, 2);
  // Typing.
  E->SetFocus();
  E->SetSelStart(3);
  PostMessageW(W, WM_CHAR, 'd', 1);
  uitest::Pump();
  EXPECT_EQ(E->Text(), L"abcd");
  EXPECT_EQ(Changes, 3);
  EXPECT_TRUE(E->Modified());
  // The text survives a new window.
  E->RecreateWnd();
  EXPECT_EQ(E->Text(), L"abcd");
  EXPECT_TRUE(E->Modified());
  EXPECT_EQ(Changes, 3);
}

// A control, the panel around it or its whole form freed by a handler of the control's own: a
// click or a change that the control's system code notified, a click or a double click on a
// panel, a click, press, release, move or context menu on a speed button or a press, move or
// release on a splitter (controls without a window of their own), the wheel (its handler or a notch's), a key (down, press, up, the system
// keys) sent as a message, or a real Escape press heard by the control or first by a form that
// previews keys (a box that closes on Escape). Whatever runs after the handler must find the
// control gone: nothing freed is touched (the trap makes any touch fault), nothing freed is left,
// a window whose system code called the handler outlives the handler, and a form that stays keeps
// the keyboard.
TEST(Edit, AControlItsPanelOrItsFormFreedByItsOwnHandler) {
  enum TRoad { Click, Change, PanelClick, PanelDblClick, SpeedClick, SpeedDown, SpeedUp, SpeedMove, SpeedMenu, SplitDown,
               SplitMove, SplitUp, Wheel, WheelUp, KeyDown, KeyPress, KeyUp, SysKeyDown, SysKeyUp, EscDown, EscPress, EscUp, EscPreview };
  const char* Roads[] = {"click", "change", "panel click", "panel double click", "speed button click",
                         "speed button press", "speed button release", "speed button move",
                         "speed button context menu", "splitter press", "splitter move", "splitter release",
                         "wheel", "wheel notch up", "key down", "key press", "key up",
                         "system key down", "system key up", "Escape down", "Escape press", "Escape up",
                         "Escape previewed by the form"};
  enum TVictim { Itself, Panel, Form };
  const char* Victims[] = {"the control", "its panel", "the form"};
  for (int Road = Click; Road <= EscPreview; ++Road)
    for (const int Victim : {Itself, Panel, Form}) {
      SCOPED_TRACE(std::string(Roads[Road]) + " frees " + Victims[Victim]);
      memguard::TFaultCount AV;
      const memguard::TTrapFreedReads Trap;
      auto* F = StdForm().release();
      HWND FormWindow = F->Handle();
      auto* P = new TPanel(F);
      P->SetBounds(10, 10, 300, 100);
      P->SetParent(F);
      TControl* Freed = nullptr;
      HWND Window = nullptr;
      bool WindowInHandler = false;
      memguard::TFreeOnce Free([&] {
        delete Freed;
        WindowInHandler = IsWindow(Window) != FALSE;
      });
      auto FreeIt = Free.Handler();
      const auto OnNotify = [FreeIt](TObject*) { FreeIt(); };
      TControl* Control;
      if (Road == Click) {
        int Clicks = 0;
        TButton* B = AddButton(P, L"Close", 50, 50, Clicks);
        B->OnClick = OnNotify;
        Control = B;
      } else if (Road == PanelClick || Road == PanelDblClick) {
        auto* Q = new TPanel(F);
        Q->SetBounds(10, 10, 150, 60);
        Q->SetParent(P);
        (Road == PanelClick ? Q->OnClick : Q->OnDblClick) = OnNotify;
        Control = Q;
      } else if (Road >= SpeedClick && Road <= SplitUp) {
        // A control without a window of its own: a speed button, or a splitter at the panel's left.
        TControl* G = Road >= SplitDown ? static_cast<TControl*>(new TSplitter(F)) : new TSpeedButton(F);
        if (Road < SplitDown) G->SetBounds(10, 10, 40, 30);
        G->SetParent(P);
        auto OnButton = [FreeIt](TObject*, TMouseButton, TShiftState, int, int) { FreeIt(); };
        if (Road == SpeedClick) G->OnClick = OnNotify;
        if (Road == SpeedDown || Road == SplitDown) G->OnMouseDown = OnButton;
        if (Road == SpeedUp || Road == SplitUp) G->OnMouseUp = OnButton;
        if (Road == SpeedMove || Road == SplitMove)
          G->OnMouseMove = [FreeIt](TObject*, TShiftState, int, int) { FreeIt(); };
        if (Road == SpeedMenu) G->OnContextPopup = [FreeIt](TObject*, TPoint, bool&) { FreeIt(); };
        Control = G;
      } else {
        auto* E = new TEdit(F);
        E->SetBounds(10, 10, 150, 21);
        E->SetParent(P);
        if (Road == Change) E->OnChange = OnNotify;
        if (Road == Wheel) E->OnMouseWheel = [FreeIt](TObject*, TShiftState, int, TPoint, bool&) { FreeIt(); };
        if (Road == WheelUp) E->OnMouseWheelUp = [FreeIt](TObject*, TShiftState, TPoint, bool&) { FreeIt(); };
        auto OnKey = [FreeIt](TObject*, Word&, TShiftState) { FreeIt(); };
        if (Road == KeyDown || Road == SysKeyDown || Road == EscDown) E->OnKeyDown = OnKey;
        if (Road == KeyUp || Road == SysKeyUp || Road == EscUp) E->OnKeyUp = OnKey;
        if (Road == KeyPress || Road == EscPress) E->OnKeyPress = [FreeIt](TObject*, wchar_t&) { FreeIt(); };
        if (Road == EscPreview) {
          F->SetKeyPreview(true);
          F->OnKeyDown = [FreeIt](TObject*, Word& Key, TShiftState) {
            if (Key == VK_ESCAPE) FreeIt();
          };
        }
        Control = E;
      }
      Freed = Victim == Itself ? Control : Victim == Panel ? static_cast<TControl*>(P) : F;
      auto* Windowed = dynamic_cast<TWinControl*>(Control);
      Window = Windowed != nullptr ? Windowed->Handle() : P->Handle();
      POINT Screen{Road >= SplitDown && Road <= SplitUp ? 1 : 20, 20};
      const LPARAM At = MAKELPARAM(Screen.x, Screen.y);
      ClientToScreen(Window, &Screen);
      const LPARAM Alt = 1 | 0x20000000, ScreenAt = MAKELPARAM(Screen.x, Screen.y);
      switch (Road) {
        case Click: ASSERT_TRUE(realinput::Click(Window, 45, 14)); break;
        case Change: PostMessageW(Window, WM_CHAR, 'd', 1); break;
        case PanelClick:
        case SpeedClick:
        case SpeedDown:
        case SpeedUp:
        case SplitDown:
        case SplitUp:
          PostMessageW(Window, WM_LBUTTONDOWN, MK_LBUTTON, At);
          PostMessageW(Window, WM_LBUTTONUP, 0, At);
          break;
        case PanelDblClick:
          PostMessageW(Window, WM_LBUTTONDOWN, MK_LBUTTON, At);
          PostMessageW(Window, WM_LBUTTONUP, 0, At);
          PostMessageW(Window, WM_LBUTTONDBLCLK, MK_LBUTTON, At);
          PostMessageW(Window, WM_LBUTTONUP, 0, At);
          break;
        case SpeedMove:
        case SplitMove: PostMessageW(Window, WM_MOUSEMOVE, 0, At); break;
        case SpeedMenu: PostMessageW(Window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window), ScreenAt); break;
        case Wheel:
        case WheelUp: PostMessageW(Window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), ScreenAt); break;
        case KeyDown: PostMessageW(Window, WM_KEYDOWN, 'D', 1); break;
        case KeyPress: PostMessageW(Window, WM_CHAR, 'd', 1); break;
        case KeyUp: PostMessageW(Window, WM_KEYUP, 'D', 0xC0000001); break;
        case SysKeyDown: PostMessageW(Window, WM_SYSKEYDOWN, 'D', Alt); break;
        case SysKeyUp: PostMessageW(Window, WM_SYSKEYUP, 'D', Alt | 0xC0000000); break;
        default: break;
      }
      if (Road >= Wheel || Road == Change) Windowed->SetFocus();
      if (Road >= EscDown) {
        ASSERT_TRUE(realinput::BringToFront(FormWindow));
        ASSERT_TRUE(uitest::WaitFor([&] { return GetFocus() == Window; }));
        realinput::Key(VK_ESCAPE);
      }
      ASSERT_TRUE(uitest::WaitFor([&] { return Free.Done(); }));
      uitest::PumpFor(50);
      if (Road <= Change) {
        EXPECT_TRUE(WindowInHandler);
      }
      // A speed button or a splitter has no window: its panel's stays when it alone goes.
      EXPECT_EQ(IsWindow(Window) != FALSE, Road >= SpeedClick && Road <= SplitUp && Victim == Itself);
      EXPECT_EQ(AV.Count(), 0);
      if (Victim != Form) {
        EXPECT_EQ(GetFocus(), FormWindow);
        delete F;
      }
      EXPECT_FALSE(IsWindow(FormWindow));
    }
}

TEST(Edit, SelectionLimitsAndStyles) {
  auto F = StdForm();
  auto* E = new TEdit(F.get());
  E->SetBounds(10, 10, 150, 21);
  E->SetParent(F.get());
  E->SetText(WideString(L"Hello world"));
  E->SetSelStart(6);
  E->SetSelLength(5);
  EXPECT_EQ(E->SelStart(), 6);
  EXPECT_EQ(E->SelLength(), 5);
  EXPECT_EQ(E->SelText(), L"world");
  E->SetSelText(L"there");
  EXPECT_EQ(E->Text(), L"Hello there");
  E->SelectAll();
  EXPECT_EQ(E->SelLength(), 11);
  E->ClearSelection();
  EXPECT_EQ(E->Text(), L"");

  E->SetMaxLength(3);
  EXPECT_EQ(SendMessageW(E->Handle(), EM_GETLIMITTEXT, 0, 0), 3);
  E->SetFocus();
  for (wchar_t C : WideString(L"abcdef")) PostMessageW(E->Handle(), WM_CHAR, C, 1);
  uitest::Pump();
  EXPECT_EQ(E->Text(), L"abc");
  EXPECT_THROW(E->SetMaxLength(-1), EInvalidOperation);

  E->SetReadOnly(true);
  EXPECT_NE(GetWindowLongW(E->Handle(), GWL_STYLE) & ES_READONLY, 0);
  PostMessageW(E->Handle(), WM_CHAR, 'z', 1);
  uitest::Pump();
  EXPECT_EQ(E->Text(), L"abc");
  E->SetReadOnly(false);

  E->SetPasswordChar(L'*');
  EXPECT_EQ(SendMessageW(E->Handle(), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_EQ(E->Text(), L"abc");
  E->SetPasswordChar(0);

  EXPECT_NE(GetWindowLongW(E->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  E->SetBorderStyle(bsNone);
  EXPECT_EQ(GetWindowLongW(E->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_THROW(E->SetBorderStyle(bsSizeable), EInvalidOperation);

  // AutoSize: one line of the font and the frame.
  E->SetBorderStyle(bsSingle);
  E->Font()->SetHeight(-24);
  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, E->Font()->Handle());
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  EXPECT_GT(E->Height(), TM.tmHeight);
  EXPECT_LT(E->Height(), TM.tmHeight + 12);
}

TEST(Edit, ColoursComeFromTheControl) {
  auto F = StdForm();
  auto* E = new TEdit(F.get());
  E->SetBounds(10, 10, 150, 24);
  E->SetParent(F.get());
  E->SetColor(clYellow);
  E->Font()->SetColor(clRed);
  E->Font()->SetHeight(-16);
  E->SetText(WideString(L"WWW"));
  uitest::Pump();
  HWND W = E->Handle();
  EXPECT_GT(FindColor(W, Rect(0, 0, E->ClientWidth(), E->ClientHeight()), Yellow).Count, 500);
  EXPECT_GT(FindColor(W, Rect(0, 0, E->ClientWidth(), E->ClientHeight()), Red).Count, 10);
  // Read-only edits ask for the static colours: the same answer.
  E->SetReadOnly(true);
  InvalidateRect(W, nullptr, TRUE);
  EXPECT_GT(FindColor(W, Rect(0, 0, E->ClientWidth(), E->ClientHeight()), Yellow).Count, 500);
  uitest::SaveScreenshot(F->Handle(), "edit_colours");
}

// --- message boxes

TEST(Dialogs, ShowMessageShowsTheTextWithTheTitleAndAnOkButton) {
  const TMessageBoxProc Saved = Application->MessageBoxProc;
  int Calls = 0;
  WideString Text, Caption;
  UINT Flags = 0;
  Application->MessageBoxProc = [&](HWND, const WideString& T, const WideString& C, UINT F) {
    ++Calls;
    Text = T;
    Caption = C;
    Flags = F;
    return IDOK;
  };
  ShowMessage(L"OK");
  ShowMessage(AnsiString("\xcf\xf0\xe8\xe2\xe5\xf2"));  // code page 1251
  Application->MessageBoxProc = Saved;
  EXPECT_EQ(Calls, 2);
  EXPECT_EQ(Text, L"\u041f\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(Caption, Application->Title());
  EXPECT_EQ(Flags & (MB_TYPEMASK | MB_ICONMASK), static_cast<UINT>(MB_OK));
}
