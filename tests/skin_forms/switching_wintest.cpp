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
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

enum TSwitch { swSkinOff, swSkinOn, swOtherSkin, swBordersOn, swBordersOff, swProviderGoes, swAdaptersGo };

struct TCase {
  const char* Name;
  bool Borders;  // the manager's extended borders before the switch
  TSwitch Switch;
  bool Held;     // the button is held down by a real press while the switch happens
};

const TCase Cases[] = {
    {"skin off", false, swSkinOff, false},
    {"skin off while the button is held down", false, swSkinOff, true},
    {"skin on", false, swSkinOn, false},
    {"another skin", false, swOtherSkin, false},
    {"extended borders on", false, swBordersOn, false},
    {"extended borders off", true, swBordersOff, false},
    {"skin off from extended borders", true, swSkinOff, false},
    {"skin on with extended borders", true, swSkinOn, false},
    {"another skin with extended borders", true, swOtherSkin, false},
    {"the provider freed", false, swProviderGoes, false},
    {"the provider freed with extended borders", true, swProviderGoes, false},
    {"the controls' adapters freed", false, swAdaptersGo, false},
    {"the controls' adapters freed with extended borders", true, swAdaptersGo, false},
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

// A skinned form (with one control of every kind the adapters take, unless Empty), shown in front
// of a backdrop, under the first test skin (switched off when Skinned is false) and a second one to
// switch to.
struct TShownForm {
  std::unique_ptr<TsSkinManager> M;
  AnsiString Other;
  std::unique_ptr<extform::TBackdrop> Back;
  TForm* Form = nullptr;
  TsSkinProvider* Provider = nullptr;
  std::vector<TWinControl*> Controls;
  TShownForm(bool Skinned, bool Borders, bool Empty = false) {
    sSkinProviderInstall();
    M = extskin::LoadExtSkin(0);
    Other = AddOppositeSkin(*M);
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
  uitest::TCapture Now = uitest::ScreenArea(Area);
  RedrawWindow(S.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  uitest::PumpFor(100);
  std::unique_ptr<std::remove_pointer_t<HRGN>, TRegionFree> Region(CreateRectRgn(0, 0, 0, 0));
  if (GetWindowRgn(S.Handle(), Region.get()) == ERROR) Region.reset();
  return TComparison{Area, ScreenRect(S.Handle()), std::move(Region), std::move(Now), uitest::ScreenArea(Area),
                     uitest::WindowPainted(S.Handle())};
}

// The screen over a form that was never skinned, taken as what each of its controls looks like
// once the skin goes from the same form.
struct TNeverSkinned {
  RECT Rect{};
  uitest::TCapture Shown;
  explicit TNeverSkinned(bool Borders) : Shown(Take(Borders, Rect)) {}
  static uitest::TCapture Take(bool Borders, RECT& Rect) {
    TShownForm Plain(false, Borders);
    Rect = ScreenRect(Plain.Handle());
    return uitest::ScreenArea(Rect);
  }
  // The pixels of R (screen) but those of Aside where the screen now shows other than it showed
  // over the form that was never skinned (all of R when the form's window differs in place or size).
  int Differing(const TComparison& C, const RECT& Form, const RECT& R, const RECT& Aside) const {
    if (!EqualRect(&Form, &Rect)) return (R.right - R.left) * (R.bottom - R.top);
    int N = 0;
    for (int Y = std::max(R.top, Rect.top); Y < std::min(R.bottom, Rect.bottom); ++Y)
      for (int X = std::max(R.left, Rect.left); X < std::min(R.right, Rect.right); ++X)
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

}  // namespace

TEST(SkinSwitching, EveryWindowShowsWhatAFullRepaintShowsAndTheFormStaysInFront) {
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::unique_ptr<TNeverSkinned> Plain;
    if (Case.Switch == swSkinOff || Case.Switch == swProviderGoes)
      Plain = std::make_unique<TNeverSkinned>(Case.Borders);
    TShownForm S(Case.Switch != swSkinOn, Case.Borders);
    memguard::TFaultCount Faults;
    HWND Button = S.Controls[1]->Handle();
    RECT BR{};
    GetClientRect(Button, &BR);
    POINT Press{BR.right / 2, BR.bottom / 2};
    ClientToScreen(Button, &Press);
    if (Case.Held) {
      ASSERT_TRUE(realinput::MovePointerSeen(Press));
      ASSERT_TRUE(realinput::LeftButtonSeen(Press, true));
    }
    switch (Case.Switch) {
      case swSkinOff: S.M->SetActive(false); break;
      case swSkinOn: S.M->SetActive(true); break;
      case swOtherSkin: S.M->SetSkinName(S.Other); break;
      case swBordersOn: S.M->SetExtendedBorders(true); break;
      case swBordersOff: S.M->SetExtendedBorders(false); break;
      case swProviderGoes:
        delete S.Provider;
        S.Provider = nullptr;
        break;
      case swAdaptersGo:
        ASSERT_GT(S.Provider->Adapter->Count(), 10);
        while (S.Provider->Adapter->Count() > 0) S.Provider->Adapter->Remove(0);
        break;
    }
    uitest::PumpFor(200);

    std::string Wrong;
    RECT Client{};
    GetClientRect(S.Handle(), &Client);
    if (!S.InFrontAt(S.OnScreen(Client.right / 2, Client.bottom - 4))) Wrong += " the form is not in front;";
    const TComparison C = CompareWithAFullRepaint(S);
    Wrong += DifferingKinds(S, C.Area, [&](const RECT& R) { return C.Differing(R); });
    EXPECT_EQ(Wrong, "");
    // Once the skin or the provider went, every control looks as on a form that was never skinned
    // (but the button a real press holds down, and the frame control).
    if (Plain != nullptr) {
      const RECT Form = ScreenRect(S.Handle());
      RECT Aside = Case.Held ? ScreenRect(Button) : RECT{};
      if (Case.Switch == swProviderGoes) {
        const auto Frame = std::find_if(S.Controls.begin(), S.Controls.end(),
                                        [](TWinControl* W) { return dynamic_cast<TScrollingWinControl*>(W) != nullptr; });
        ASSERT_NE(Frame, S.Controls.end());
        Aside = ScreenRect((*Frame)->Handle());
      }
      EXPECT_EQ(DifferingKinds(S, Form, [&](const RECT& R) { return Plain->Differing(C, Form, R, Aside); }), "");
    }
    EXPECT_EQ(Faults.Count(), 0);
    if (Case.Held) {
      realinput::LeftButtonSeen(Press, false);
      ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
    }
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
