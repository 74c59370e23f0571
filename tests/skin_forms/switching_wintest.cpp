// Skins switched at run time while a form is shown: the skin switched off or on, another skin, the
// extended borders switched on or off, the skin provider or the adapters of the form's controls
// freed. Once the messages waiting are handled, the screen shows the form, its frame and every kind
// of control the adapters take as painting them all again in full shows them, and the form stays in
// front of the window behind it. Once the skin or the provider went, they look as on a form that
// was never skinned, but for the frame control, whose frame adapter is its own and stays.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <type_traits>
#include <vector>

#include "skin/forms/acBorderForm.h"
#include "skin/forms/sFormAdapters.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/extform_support.h"
#include "skin_forms/lifetime_support.h"
#include "skin_core/senders_test_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

// What changes while the form is shown: a skin switch, or the form's place among the windows (the
// form brought back in front of another window that overlaps it).
enum TSwitch {
  swSkinOff,
  swSkinOn,
  swOtherSkin,
  swNewHue,
  swBordersOn,
  swBordersOff,
  swProviderGoes,
  swAdaptersGo,
  swClickedBack,         // a real click on the other window, then one on the form
  swMaximisedRestored,   // the other window in front, the form maximised, then restored
  swShrunkByDrag,        // the other window in front, a real drag of the form's bottom edge upwards
  swSetForeground,       // the other window in front, the program's SetForegroundWindow on the form
  swSetWindowPosTop,     // the other window in front, the program's SetWindowPos(HWND_TOP) on the form
  swBordersOnWhileSized, // extended borders switched on while a real drag sizes the form
  swBordersOnActivated   // the other window in front, extended borders switched on by the form's
                         // OnActivate as a real click brings it back
};

// The state the switch finds the form in.
enum TBefore {
  bfShown,
  bfButtonHeld,      // the button held down by a real press
  bfMinimised,       // the form minimised (restored after the switch)
  bfListDropped,     // the drop-down combo's list dropped by a real click on its button
  bfListDroppedHeld, // the same with the drop button still held down
  bfCaptionHeld,     // the maximise button of the skinned title held down by a real press, let go
                     // away from it after the switch
  bfMenuLoop,        // the system menu open (Alt+Space): the switch comes inside its loop
  bfOtherSkin,       // another skin loaded first (the form takes the skin's colour)
  bfMaximised        // the form maximised
};

struct TCase {
  const char* Name;
  bool Borders;  // the manager's extended borders before the switch
  TSwitch Switch;
  TBefore Before;
};

const TCase Cases[] = {
    {"skin off", false, swSkinOff, bfShown},
    {"skin off while the button is held down", false, swSkinOff, bfButtonHeld},
    {"skin off after another skin", false, swSkinOff, bfOtherSkin},
    {"skin on", false, swSkinOn, bfShown},
    {"another skin", false, swOtherSkin, bfShown},
    {"extended borders on", false, swBordersOn, bfShown},
    {"extended borders off", true, swBordersOff, bfShown},
    {"skin off from extended borders", true, swSkinOff, bfShown},
    {"skin on with extended borders", true, swSkinOn, bfShown},
    {"another skin with extended borders", true, swOtherSkin, bfShown},
    {"the provider freed", false, swProviderGoes, bfShown},
    {"the provider freed with extended borders", true, swProviderGoes, bfShown},
    {"the controls' adapters freed", false, swAdaptersGo, bfShown},
    {"the controls' adapters freed with extended borders", true, swAdaptersGo, bfShown},
    {"skin on while minimised", false, swSkinOn, bfMinimised},
    {"another skin while minimised", false, swOtherSkin, bfMinimised},
    {"skin on with extended borders while minimised", true, swSkinOn, bfMinimised},
    {"another skin with extended borders while minimised", true, swOtherSkin, bfMinimised},
    {"skin off with a list dropped", false, swSkinOff, bfListDropped},
    {"skin off with a list dropped by a held button", false, swSkinOff, bfListDroppedHeld},
    {"skin on with a list dropped", false, swSkinOn, bfListDropped},
    {"skin on with a list dropped by a held button", false, swSkinOn, bfListDroppedHeld},
    {"another skin with a list dropped", false, swOtherSkin, bfListDropped},
    {"another skin with a list dropped by a held button", false, swOtherSkin, bfListDroppedHeld},
    {"a new hue with a list dropped", false, swNewHue, bfListDropped},
    {"a new hue with a list dropped by a held button", false, swNewHue, bfListDroppedHeld},
    {"the provider freed with a list dropped", false, swProviderGoes, bfListDropped},
    {"the provider freed with a list dropped by a held button", false, swProviderGoes, bfListDroppedHeld},
    {"brought back by a click with extended borders", true, swClickedBack, bfShown},
    {"maximised and restored with extended borders", true, swMaximisedRestored, bfShown},
    {"shrunk by a drag with extended borders", true, swShrunkByDrag, bfShown},
    {"brought back by SetForegroundWindow with extended borders", true, swSetForeground, bfShown},
    {"brought back by SetWindowPos with extended borders", true, swSetWindowPosTop, bfShown},
    {"extended borders on while a drag sizes the form", false, swBordersOnWhileSized, bfShown},
    {"extended borders on as the form is activated", false, swBordersOnActivated, bfShown},
    {"extended borders on while a caption button is held down", false, swBordersOn, bfCaptionHeld},
    {"skin on while the system menu is open", false, swSkinOn, bfMenuLoop},
    {"extended borders on while the system menu is open", false, swBordersOn, bfMenuLoop},
    {"extended borders on while maximised", false, swBordersOn, bfMaximised},
    {"extended borders off while maximised", true, swBordersOff, bfMaximised},
    {"skin on with extended borders while maximised", true, swSkinOn, bfMaximised},
    {"another skin with extended borders while maximised", true, swOtherSkin, bfMaximised},
    {"skin off from extended borders while maximised", true, swSkinOff, bfMaximised},
};

// Another skin: the first test skin's colours and pictures turned into their opposites (the key
// colour kept), in the other border mode.
AnsiString AddOppositeSkin(TsSkinManager& M) {
  const std::string Options = extskin::Options(1);
  std::string Opposite;
  const std::regex Colour("COLOR=([0-9]+)");
  auto At = Options.cbegin();
  for (std::sregex_iterator I(Options.cbegin(), Options.cend(), Colour), End; I != End; ++I) {
    Opposite.append(At, (*I)[1].first);
    Opposite += std::to_string(std::stoul((*I)[1].str()) ^ 0xFFFFFFu);
    At = (*I)[1].second;
  }
  Opposite.append(At, Options.cend());
  std::string Master = extskin::ReadFile(tvtest::SourcePath("app/res/skin/Master.bmp"));
  for (std::size_t P = 54; P + 3 <= Master.size(); P += 3)  // 24-bit rows of 256 pixels: no padding
    if (Master.compare(P, 3, "\xFF\x00\xFF", 3) != 0)
      for (std::size_t B = P; B < P + 3; ++B) Master[B] = static_cast<char>(~Master[B]);
  mgrtest::AddStoredSkin(M, "Opposite", Opposite, {{"MASTER.BMP", Master}, {"EXBORDER.PNG", extskin::Mode1Picture()}});
  return "Opposite";
}

RECT ScreenRect(HWND W) {
  RECT R{};
  GetWindowRect(W, &R);
  return R;
}

RECT WorkArea() {
  RECT R{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &R, 0);
  return R;
}

// A skinned form (with one control of every kind the adapters take, unless Empty), shown in front
// of a backdrop, under the first test skin (switched off when Skinned is false) and a second one to
// switch to.
struct TShownForm {
  std::unique_ptr<TsSkinManager> M;
  AnsiString OtherSkin;
  std::unique_ptr<extform::TBackdrop> Back;
  TForm* Form = nullptr;
  TsSkinProvider* Provider = nullptr;
  std::vector<TWinControl*> Controls;
  TShownForm(bool Skinned, bool Borders, bool Empty = false) {
    sSkinProviderInstall();
    M = extskin::LoadExtSkin(0);
    OtherSkin = AddOppositeSkin(*M);
    lifetime::FillThirdParty(*M);
    M->SetExtendedBorders(Borders);
    if (!Skinned) M->SetActive(false);
    Back = std::make_unique<extform::TBackdrop>(TRect{20, 20, 640, 480});
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBounds(120, 100, 340, 260);
    Form->SetCaption(L"Switching");
    Provider = new TsSkinProvider(Form);
    Provider->SetGripMode(gmRightBottom);
    if (!Empty) Controls = lifetime::FillWithEveryKind(Form);
    uitest::ShowSettled(Form);
    realinput::BringToFront(Form->Handle());
    // No caret blinks: the focus rests on the button.
    if (!Empty) Form->SetActiveControl(Controls[1]);
    uitest::PumpFor(100);
  }
  ~TShownForm() {
    delete Form;
    uitest::Pump();
  }
  HWND Handle() const { return Form->Handle(); }
  HWND Border() const {
    return Provider != nullptr && Provider->BorderForm != nullptr ? Provider->BorderForm->AForm->Handle() : nullptr;
  }
  // The screen point of a client point of the form.
  POINT OnScreen(int X, int Y) const {
    POINT P{X, Y};
    ClientToScreen(Handle(), &P);
    return P;
  }
  bool InFrontAt(POINT P) const { return GetAncestor(WindowFromPoint(P), GA_ROOT) == Handle(); }
  // The drop-down combo box and its list window.
  HWND Combo() const { return Controls[4]->Handle(); }
  HWND List() const {
    COMBOBOXINFO I{sizeof(COMBOBOXINFO)};
    return GetComboBoxInfo(Combo(), &I) ? I.hwndList : nullptr;
  }
};



// What the screen shows against what a full repaint paints. Inside the form's window (its region)
// the form paints, read from its own surface, so that a window wrongly in front of it counts too;
// around it, in the shadow of extended borders, the screen shows the border window again.
struct TRegionFree {
  void operator()(HRGN R) const { DeleteObject(R); }
};

struct TComparison {
  RECT Area;      // Now and Again cover it (screen)
  RECT FormRect;  // Painted covers it (screen)
  std::unique_ptr<std::remove_pointer_t<HRGN>, TRegionFree> Region;  // the form's window region, if any
  uitest::TCapture Now, Again, Painted;
  RECT ListRect{};  // a dropped list, in front of the form (screen), and what it paints
  std::unique_ptr<uitest::TCapture> ListPainted;
  bool OnForm(int X, int Y) const {
    const POINT P{X, Y};
    return PtInRect(&FormRect, P) &&
           (Region == nullptr || PtInRegion(Region.get(), X - FormRect.left, Y - FormRect.top));
  }
  // The pixels of R (screen) that differ.
  int Differing(const RECT& R) const {
    int N = 0;
    for (int Y = std::max(R.top, Area.top); Y < std::min(R.bottom, Area.bottom); ++Y)
      for (int X = std::max(R.left, Area.left); X < std::min(R.right, Area.right); ++X) {
        const COLORREF Shown = Now.Pixel(X - Area.left, Y - Area.top);
        if (ListPainted != nullptr && PtInRect(&ListRect, POINT{X, Y}))
          N += Shown != ListPainted->Pixel(X - ListRect.left, Y - ListRect.top);
        else
          N += OnForm(X, Y) ? Shown != Painted.Pixel(X - FormRect.left, Y - FormRect.top)
                            : Shown != Again.Pixel(X - Area.left, Y - Area.top);
      }
    return N;
  }
};

TComparison CompareWithAFullRepaint(const TShownForm& S) {
  RECT Area = ScreenRect(S.Handle());
  if (HWND B = S.Border()) {
    const RECT BR = ScreenRect(B);
    UnionRect(&Area, &Area, &BR);
  }
  // What lies beyond the screen (a maximised form's frame) shows nowhere.
  const RECT Screen = uitest::ScreenBounds();
  IntersectRect(&Area, &Area, &Screen);
  uitest::TCapture Now = uitest::ScreenArea(Area);
  const HWND List = S.Controls.empty() ? nullptr : S.List();
  const bool Dropped = List != nullptr && IsWindowVisible(List);
  RedrawWindow(S.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  if (Dropped) RedrawWindow(List, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::PumpFor(100);
  std::unique_ptr<std::remove_pointer_t<HRGN>, TRegionFree> Region(CreateRectRgn(0, 0, 0, 0));
  if (GetWindowRgn(S.Handle(), Region.get()) == ERROR) Region.reset();
  TComparison C{Area, ScreenRect(S.Handle()), std::move(Region), std::move(Now), uitest::ScreenArea(Area),
                uitest::WindowPainted(S.Handle())};
  if (Dropped) {
    C.ListRect = ScreenRect(List);
    C.ListPainted = std::make_unique<uitest::TCapture>(uitest::WindowPainted(List));
  }
  return C;
}


// The screen over a form that was never skinned, taken as what each of its controls looks like
// once the skin goes from the same form.
struct TNeverSkinned {
  RECT Rect{};
  uitest::TCapture Shown;
  TNeverSkinned(bool Borders, bool Maximised) : Shown(Take(Borders, Maximised, Rect)) {}
  static uitest::TCapture Take(bool Borders, bool Maximised, RECT& Rect) {
    TShownForm Plain(false, Borders);
    if (Maximised) {
      SendMessageW(Plain.Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      uitest::PumpFor(200);
    }
    Rect = ScreenRect(Plain.Handle());
    return uitest::ScreenArea(Rect);
  }
  // The pixels of R (screen) but those of Aside where the screen now shows other than it showed
  // over the form that was never skinned (all of R when the form's window differs in place or size).
  int Differing(const TComparison& C, const RECT& Form, const RECT& R, const RECT& Aside) const {
    if (!EqualRect(&Form, &Rect)) return (R.right - R.left) * (R.bottom - R.top);
    RECT Seen{};
    IntersectRect(&Seen, &Rect, &C.Area);
    int N = 0;
    for (int Y = std::max(R.top, Seen.top); Y < std::min(R.bottom, Seen.bottom); ++Y)
      for (int X = std::max(R.left, Seen.left); X < std::min(R.right, Seen.right); ++X)
        N += !PtInRect(&Aside, POINT{X, Y}) &&
             C.Now.Pixel(X - C.Area.left, Y - C.Area.top) != Shown.Pixel(X - Rect.left, Y - Rect.top);
    return N;
  }
};

// The pixels Count finds differing over the whole of R and over each control of S, as text (empty
// when none).
std::string DifferingKinds(const TShownForm& S, const RECT& R, const std::function<int(const RECT&)>& Count) {
  std::string Found;
  if (const int N = Count(R)) Found += " all " + std::to_string(N) + ";";
  for (TWinControl* W : S.Controls)
    if (const int N = Count(ScreenRect(W->Handle())))
      Found += std::string(" ") + W->ClassName() + " " + std::to_string(N) + ";";
  return Found;
}

// The middle of a window on the screen.
POINT MiddleOf(HWND W) {
  const RECT R = ScreenRect(W);
  return POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2};
}

// The maximise button of the form's title on the screen: of the border window's image, or of the
// form's own.
RECT MaxButtonOnScreen(const TShownForm& S) {
  const RECT W = ScreenRect(S.Border() != nullptr ? S.Border() : S.Handle());
  const TRect& B = S.Provider->ButtonMax.Rect;
  return RECT{W.left + B.Left, W.top + B.Top, W.left + B.Right, W.top + B.Bottom};
}

// The middle of a combo box's drop button on the screen.
POINT DropButtonOf(HWND Combo) {
  const RECT R = ScreenRect(Combo);
  return POINT{R.right - 8, (R.top + R.bottom) / 2};
}

// A point of the form's bottom edge, left of the other window, that sizes the form: on the border
// window where the form has one.
POINT BottomEdgeOf(const TShownForm& S) {
  if (HWND B = S.Border()) return POINT{200, ScreenRect(B).bottom - S.M->ShadowMargin().Bottom - 2};
  return POINT{200, ScreenRect(S.Handle()).bottom - 2};
}

// What the screen shows wrong now, as text (empty when nothing), and the comparison made: the form
// not in front, its border window not right behind it in the window list and on the screen, a
// dropped list closed that still holds the mouse (Dropped), and the pixels that differ from a full
// repaint.
std::pair<std::string, TComparison> ShownWrong(const TShownForm& S, bool Dropped) {
  std::string Wrong;
  RECT Client{};
  GetClientRect(S.Handle(), &Client);
  // The title of a minimised form, left of its buttons (asking the window there makes a button hot).
  const RECT W = ScreenRect(S.Handle());
  const POINT Front = IsIconic(S.Handle()) ? POINT{W.left + (W.right - W.left) / 4, (W.top + W.bottom) / 2}
                                           : S.OnScreen(Client.right / 2, Client.bottom - 4);
  if (!S.InFrontAt(Front)) Wrong += " the form is not in front;";
  // A maximised form shows from the top of the work area down, through its border window where it
  // has one.
  if (IsZoomed(S.Handle())) {
    const RECT Work = WorkArea();
    const HWND AtTop = GetAncestor(WindowFromPoint(POINT{(Work.left + Work.right) / 2, Work.top}), GA_ROOT);
    if (AtTop != S.Handle() && (AtTop == nullptr || AtTop != S.Border())) Wrong += " the top of the work area is not the form's;";
  }
  if (HWND B = S.Border(); B != nullptr && IsWindowVisible(B)) {
    if (GetWindow(S.Handle(), GW_HWNDNEXT) != B) Wrong += " the border window is not right behind the form;";
    if (const int N = extform::BorderImageHidden(S.Handle(), B, S.Provider->SkinData()->CacheBmp()))
      Wrong += " the border window hidden " + std::to_string(N) + ";";
  }
  if (Dropped && !IsWindowVisible(S.List()) && (GetCapture() == S.List() || GetCapture() == S.Combo()))
    Wrong += " the closed list holds the mouse;";
  TComparison C = CompareWithAFullRepaint(S);
  Wrong += DifferingKinds(S, C.Area, [&](const RECT& R) { return C.Differing(R); });
  return {Wrong, std::move(C)};
}

// Switches the skin, or brings the form back in front of Other, as the case says. False when the
// input it makes did not go through.
bool Switch(TShownForm& S, TSwitch What, HWND Other) {
  RECT Client{};
  GetClientRect(S.Handle(), &Client);
  switch (What) {
    case swSkinOff: S.M->SetActive(false); return true;
    case swSkinOn: S.M->SetActive(true); return true;
    case swOtherSkin: S.M->SetSkinName(S.OtherSkin); return true;
    case swNewHue: S.M->SetHueOffset(40); return true;
    case swBordersOn: S.M->SetExtendedBorders(true); return true;
    case swBordersOff: S.M->SetExtendedBorders(false); return true;
    case swProviderGoes:
      delete S.Provider;
      S.Provider = nullptr;
      return true;
    case swAdaptersGo:
      if (S.Provider->Adapter->Count() <= 10) return false;
      while (S.Provider->Adapter->Count() > 0) S.Provider->Adapter->Remove(0);
      return true;
    case swClickedBack:
      // On the other window, then on the form's client area below its controls.
      return realinput::ClickSeen(POINT{560, 200}) &&
             uitest::WaitFor([&] { return GetForegroundWindow() == Other; }) &&
             realinput::ClickSeen(S.OnScreen(Client.right / 4, Client.bottom - 6));
    case swMaximisedRestored:
      SendMessageW(S.Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      uitest::PumpFor(200);
      SendMessageW(S.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
      return true;
    case swShrunkByDrag: {
      const POINT From = BottomEdgeOf(S);
      return extform::BorderHitAt(S.Provider->BorderForm, From) == HTBOTTOM &&
             extform::Drag(Other, From, POINT{From.x, From.y - 60});
    }
    case swBordersOnActivated:
      S.Form->OnActivate = [&](TObject*) {
        S.Form->OnActivate = nullptr;
        S.M->SetExtendedBorders(true);
      };
      return realinput::ClickSeen(S.OnScreen(Client.right / 4, Client.bottom - 6));
    case swSetForeground: SetForegroundWindow(S.Handle()); return true;
    case swSetWindowPosTop: SetWindowPos(S.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); return true;
    case swBordersOnWhileSized: {
      const POINT From = BottomEdgeOf(S);
      if (SendMessageW(S.Handle(), WM_NCHITTEST, 0, MAKELPARAM(From.x, From.y)) != HTBOTTOM) return false;
      S.Form->OnResize = [&](TObject*) {
        S.Form->OnResize = nullptr;
        S.M->SetExtendedBorders(true);
      };
      return extform::Drag(Other, From, POINT{From.x, From.y - 60});
    }
  }
  return false;
}

// The switches that bring the form back in front of another window.
bool BringsBack(TSwitch What) { return What >= swClickedBack; }

// Opens the form's system menu by Alt+Space and switches while the menu's loop runs, then closes the
// menu (thread timer steps: the loop runs them). False when the menu did not open.
struct TMenuLoopSwitch {
  static inline TShownForm* Form = nullptr;
  static inline TSwitch Which = swSkinOn;
  static inline int Step = 0;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR Id, DWORD) {
    GUITHREADINFO G{sizeof(GUITHREADINFO)};
    if (!GetGUIThreadInfo(GetCurrentThreadId(), &G) || (G.flags & GUI_INMENUMODE) == 0) return;
    if (Step++ == 0) {
      Switch(*Form, Which, nullptr);
      return;
    }
    KillTimer(nullptr, Id);
    EndMenu();
  }
  static bool Run(TShownForm& S, TSwitch What) {
    Form = &S;
    Which = What;
    Step = 0;
    SetTimer(nullptr, 0, 100, Tick);
    realinput::KeyWith(VK_MENU, VK_SPACE);
    return uitest::WaitFor([] { return Step > 1; });
  }
};

}  // namespace

TEST(SkinSwitching, EveryWindowShowsWhatAFullRepaintShowsAndTheFormStaysInFront) {
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const bool Dropped = Case.Before == bfListDropped || Case.Before == bfListDroppedHeld;
    std::unique_ptr<TNeverSkinned> Plain;
    if ((Case.Switch == swSkinOff || Case.Switch == swProviderGoes) && !Dropped)
      Plain = std::make_unique<TNeverSkinned>(Case.Borders, Case.Before == bfMaximised);
    // The maximise button of a form with extended borders where it was never pressed (screen).
    std::unique_ptr<uitest::TCapture> NeverPressed;
    if (Case.Before == bfCaptionHeld) {
      TShownForm Ref(true, true, true);
      NeverPressed = std::make_unique<uitest::TCapture>(uitest::ScreenArea(MaxButtonOnScreen(Ref)));
    }
    TShownForm S(Case.Switch != swSkinOn, Case.Borders);
    memguard::TTrapFreedReads Trap;
    memguard::TFaultCount Faults;
    const HWND Button = S.Controls[1]->Handle();
    // The point a real press holds down while the switch happens, if any.
    POINT Held{-1, -1};
    switch (Case.Before) {
      case bfShown: break;
      case bfButtonHeld:
        Held = MiddleOf(Button);
        ASSERT_TRUE(realinput::MovePointerSeen(Held));
        ASSERT_TRUE(realinput::LeftButtonSeen(Held, true));
        break;
      case bfMinimised:
        ShowWindow(S.Handle(), SW_MINIMIZE);
        ASSERT_TRUE(uitest::WaitFor([&] { return IsIconic(S.Handle()) != FALSE; }));
        uitest::PumpFor(100);
        break;
      case bfListDropped:
        ASSERT_TRUE(realinput::ClickSeen(DropButtonOf(S.Combo())));
        ASSERT_TRUE(uitest::WaitFor([&] { return IsWindowVisible(S.List()) != FALSE; }));
        break;
      case bfCaptionHeld: {
        const RECT B = MaxButtonOnScreen(S);
        Held = POINT{(B.left + B.right) / 2, (B.top + B.bottom) / 2};
        ASSERT_EQ(SendMessageW(S.Handle(), WM_NCHITTEST, 0, MAKELPARAM(Held.x, Held.y)), HTMAXBUTTON);
        ASSERT_TRUE(realinput::MovePointerSeen(Held));
        ASSERT_TRUE(realinput::LeftButtonSeen(Held, true));
        break;
      }
      case bfMenuLoop: break;
      case bfOtherSkin:
        S.M->SetSkinName(S.OtherSkin);
        uitest::PumpFor(100);
        break;
      case bfListDroppedHeld:
        Held = DropButtonOf(S.Combo());
        ASSERT_TRUE(realinput::MovePointerSeen(Held));
        ASSERT_TRUE(realinput::LeftButtonSeen(Held, true));
        ASSERT_TRUE(uitest::WaitFor([&] { return IsWindowVisible(S.List()) != FALSE; }));
        break;
      case bfMaximised:
        SendMessageW(S.Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        ASSERT_TRUE(uitest::WaitFor([&] { return IsZoomed(S.Handle()) != FALSE; }));
        uitest::PumpFor(100);
        break;
    }
    // Another window over the form's right part, title bar and frame included.
    std::unique_ptr<extform::TBackdrop> Other;
    if (BringsBack(Case.Switch)) Other = std::make_unique<extform::TBackdrop>(TRect{300, 60, 600, 260}, RGB(0, 0, 255));
    // The title of a maximised form (the top rows of the work area) at each step of the fade.
    const RECT Work = WorkArea();
    const RECT TitleBand{Work.left, Work.top, Work.right, Work.top + 20};
    std::unique_ptr<uitest::TCapture> FadeSeen;
    {
      std::unique_ptr<sndtest::TFadeWatch> Watch;
      if (Case.Before == bfMaximised)
        Watch = std::make_unique<sndtest::TFadeWatch>(
            [&] { FadeSeen = std::make_unique<uitest::TCapture>(uitest::ScreenArea(TitleBand)); });
      if (Case.Before == bfMenuLoop)
        ASSERT_TRUE(TMenuLoopSwitch::Run(S, Case.Switch));
      else
        ASSERT_TRUE(Switch(S, Case.Switch, Other != nullptr ? Other->Form->Handle() : nullptr));
    }
    uitest::PumpFor(200);
    if (Case.Before == bfCaptionHeld) {
      const RECT W = ScreenRect(S.Handle());
      ASSERT_TRUE(realinput::LeftButtonSeen(POINT{W.left + 90, W.bottom + 60}, false));
      Held = POINT{-1, -1};
      uitest::PumpFor(100);
    }
    if (Case.Before == bfMinimised) {
      EXPECT_EQ(ShownWrong(S, false).first, "") << "while minimised";
      ShowWindow(S.Handle(), SW_RESTORE);
      ASSERT_TRUE(uitest::WaitFor([&] { return IsIconic(S.Handle()) == FALSE; }));
      uitest::PumpFor(200);
    }
    if (Dropped && Held.x != -1) {
      ASSERT_TRUE(realinput::LeftButtonSeen(Held, false));
      Held = POINT{-1, -1};
      uitest::PumpFor(100);
    }
    const bool ListOpen = Dropped && IsWindowVisible(S.List());
    const auto [Wrong, C] = ShownWrong(S, Dropped);
    EXPECT_EQ(Wrong, "");
    // A fade shows the form where it stays: the last step of a fade through the border window shows
    // the title as the screen shows it once the change is over. (A fade without one pauses before
    // its last step, while the old look still shows through.)
    if (Case.Before == bfMaximised && S.Border() != nullptr) {
      ASSERT_NE(FadeSeen, nullptr);
      const uitest::TCapture Now = uitest::ScreenArea(TitleBand);
      const TRect All(0, 0, Now.Width(), Now.Height());
      EXPECT_TRUE(uitest::TCapture::SamePixels(*FadeSeen, All, Now, All));
    }
    // A caption button let go away from shows as one never pressed.
    if (NeverPressed != nullptr) {
      const uitest::TCapture Shown = uitest::ScreenArea(MaxButtonOnScreen(S));
      const TRect All(0, 0, Shown.Width(), Shown.Height());
      EXPECT_TRUE(Shown.Width() == NeverPressed->Width() && uitest::TCapture::SamePixels(Shown, All, *NeverPressed, All));
    }
    // Once the skin or the provider went, every control looks as on a form that was never skinned
    // (but the button a real press holds down, and the frame control).
    if (Plain != nullptr) {
      const RECT Form = ScreenRect(S.Handle());
      RECT Aside = Held.x != -1 ? ScreenRect(Button) : RECT{};
      if (Case.Switch == swProviderGoes) {
        const auto Frame = std::find_if(S.Controls.begin(), S.Controls.end(),
                                        [](TWinControl* W) { return dynamic_cast<TScrollingWinControl*>(W) != nullptr; });
        ASSERT_NE(Frame, S.Controls.end());
        Aside = ScreenRect((*Frame)->Handle());
      }
      EXPECT_EQ(DifferingKinds(S, Form, [&](const RECT& R) { return Plain->Differing(C, Form, R, Aside); }), "");
    }
    // The next click does what it does without the switch: it closes a list still open, or it
    // reaches the edit.
    if (Dropped) {
      ASSERT_TRUE(realinput::ClickSeen(MiddleOf(S.Controls[0]->Handle())));
      uitest::PumpFor(100);
      EXPECT_FALSE(IsWindowVisible(S.List()));
      if (!ListOpen) EXPECT_EQ(GetFocus(), S.Controls[0]->Handle());
    }
    EXPECT_EQ(Faults.Count(), 0);
    if (Held.x != -1) realinput::LeftButtonSeen(Held, false);
    ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
  }
}

// Extended borders that come while the form is shown, and a new picture of the form after them (a
// new hue makes every picture again): where the form's corner sizes it, the pointer finds the
// form and the screen shows its grip.
TEST(SkinSwitching, TheGripShowsWhereTheCornerSizesAFormWhoseBordersCameLater) {
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
  TShownForm S(true, false, true);
  S.M->SetExtendedBorders(true);
  uitest::PumpFor(200);
  S.M->SetHueOffset(40);
  uitest::PumpFor(200);

  RECT Client{};
  GetClientRect(S.Handle(), &Client);
  const POINT Corner = S.OnScreen(Client.right - 2, Client.bottom - 2);
  EXPECT_TRUE(S.InFrontAt(Corner));
  EXPECT_EQ(SendMessageW(S.Handle(), WM_NCHITTEST, 0, MAKELPARAM(Corner.x, Corner.y)), HTBOTTOMRIGHT);
  // The corner's 12 x 12 pixels on the screen are those the form paints there, which hold the
  // grip's marks on the client area's colour.
  const POINT G = S.OnScreen(Client.right - 12, Client.bottom - 12);
  const RECT Grip{G.x, G.y, G.x + 12, G.y + 12};
  const RECT W = ScreenRect(S.Handle());
  const uitest::TCapture Shown = uitest::ScreenArea(Grip);
  const uitest::TCapture Painted = uitest::WindowPainted(S.Handle());
  EXPECT_TRUE(uitest::TCapture::SamePixels(
      Shown, TRect(0, 0, 12, 12), Painted, TRect(Grip.left - W.left, Grip.top - W.top, Grip.right - W.left, Grip.bottom - W.top)));
  const COLORREF Background = uitest::WindowPixel(S.Handle(), Client.right - 40, Client.bottom - 6);
  EXPECT_GT(Shown.CountOther(TRect(0, 0, 12, 12), Background), 4);
}
