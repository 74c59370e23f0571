// Work a skinned form does to repaint and resize, held by counts of what its windows receive: a
// repaint paints every window once, a size change builds the form's image once (its caption is
// read once for it) and paints a panel once, a label repainted on a panel repaints no other
// window, the window region is set only when it changes, a size step with extended borders gives
// the border window its image once, for a form and for a system dialog, and an erase of a
// dialog's background tells each window on it once. What a size change or a label's repaint
// leaves on the screen is what a full repaint shows.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_controls/ownctl_support.h"
#include "skin_forms/extform_support.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

// Counts the messages a control receives through its WindowProc chain, until it goes.
class TMessageCount {
 public:
  explicit TMessageCount(TControl* C) : Control(C), Old(C->WindowProc()) {
    C->SetWindowProc([this](TMessage& M) {
      ++Counts[M.Msg];
      Old(M);
    });
  }
  ~TMessageCount() { Control->SetWindowProc(Old); }
  TMessageCount(const TMessageCount&) = delete;
  TMessageCount& operator=(const TMessageCount&) = delete;
  int operator[](UINT Msg) const {
    const auto It = Counts.find(Msg);
    return It == Counts.end() ? 0 : It->second;
  }
  void Clear() { Counts.clear(); }

 private:
  TControl* Control;
  TWndMethod Old;
  std::map<UINT, int> Counts;
};

// Counts the messages a window receives before anything else sees them (its skin adapter
// included): its procedure is wrapped until the counter goes.
class TWindowCount {
 public:
  explicit TWindowCount(HWND W) : Wnd(W) {
    SetPropW(W, L"TWindowCount", this);
    Old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  ~TWindowCount() {
    if (!IsWindow(Wnd)) return;
    SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Old));
    RemovePropW(Wnd, L"TWindowCount");
  }
  TWindowCount(const TWindowCount&) = delete;
  TWindowCount& operator=(const TWindowCount&) = delete;
  int operator[](UINT Msg) const { return Count(Counts, Msg); }
  int Command(int Code) const { return Count(Commands, static_cast<UINT>(Code)); }
  void Clear() {
    Counts.clear();
    Commands.clear();
  }

 private:
  static int Count(const std::map<UINT, int>& M, UINT Key) {
    const auto It = M.find(Key);
    return It == M.end() ? 0 : It->second;
  }
  static LRESULT CALLBACK Proc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* Self = static_cast<TWindowCount*>(GetPropW(W, L"TWindowCount"));
    ++Self->Counts[Msg];
    if (Msg == SM_ALPHACMD) ++Self->Commands[static_cast<UINT>(AlphaCmdCode(WParam))];
    return CallWindowProcW(Self->Old, W, Msg, WParam, LParam);
  }
  HWND Wnd;
  WNDPROC Old = nullptr;
  std::map<UINT, int> Counts, Commands;
};

class PaintCosts : public ::testing::Test {
 protected:
  void SetUp() override {
    // The pointer stays away from the form: no caption button lights up under it as the form's
    // size moves the buttons, at whatever moment the system reports the pointer over them.
    ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
    sSkinProviderInstall();
    Manager = ownctl::LoadProgramSkin();
    Manager->SetAllowGlowing(false);
    Manager->AnimEffects()->FormShow()->SetActive(false);
    ASSERT_TRUE(Manager->SkinActive());
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetPosition(poDesigned);
    Form->SetBoundsRect(Bounds(60, 60, 420, 300));
    Form->SetText(WideString(L"Costs"));
    Form->Handle();
    auto* Panel = new TPanel(Form);
    Panel->SetBounds(10, 10, 180, 120);
    Panel->SetParent(Form);
    auto* Edit = new TEdit(Form);
    Edit->SetBounds(10, 10, 120, 22);
    Edit->SetParent(Panel);
    auto* Check = new TCheckBox(Form);
    Check->SetBounds(210, 10, 150, 20);
    Check->SetCaption(WideString(L"Check"));
    Check->SetParent(Form);
    auto* Button = new TButton(Form);
    Button->SetBounds(210, 40, 90, 26);
    Button->SetCaption(WideString(L"Button"));
    Button->SetParent(Form);
    Children = {Panel, Edit, Check, Button};
    Provider = new TsSkinProvider(Form);
    uitest::ShowSettled(Form);
    uitest::PumpFor(50);
  }
  void TearDown() override {
    Counts.clear();
    delete Form;
    Manager.reset();
  }
  void CountChildren() {
    for (TWinControl* C : Children) Counts.push_back(std::make_unique<TMessageCount>(C));
  }

  std::unique_ptr<TsSkinManager> Manager;
  TForm* Form = nullptr;
  TsSkinProvider* Provider = nullptr;
  std::vector<TWinControl*> Children;
  std::vector<std::unique_ptr<TMessageCount>> Counts;
};

TEST_F(PaintCosts, ARepaintPaintsEveryWindowOnce) {
  CountChildren();
  TMessageCount OfForm(Form);
  for (int Round = 0; Round < 3; ++Round) {
    for (auto& C : Counts) C->Clear();
    OfForm.Clear();
    RedrawWindow(Form->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    uitest::Pump();
    EXPECT_EQ(OfForm[WM_NCPAINT], 1) << "round " << Round;
    // Nothing about the form changed: its image is not built again (the caption is read for it).
    EXPECT_EQ(OfForm[WM_GETTEXT], 0) << "round " << Round;
    for (std::size_t I = 0; I < Counts.size(); ++I) {
      EXPECT_EQ((*Counts[I])[WM_NCPAINT], 1) << Children[I]->ClassName() << ", round " << Round;
      EXPECT_EQ((*Counts[I])[WM_ERASEBKGND], 1) << Children[I]->ClassName() << ", round " << Round;
    }
  }
}


bool SamePixels(const uitest::TCapture& A, const uitest::TCapture& B) {
  const TRect All{0, 0, A.Width(), A.Height()};
  return uitest::TCapture::SamePixels(A, All, B, TRect{0, 0, B.Width(), B.Height()});
}

// What the screen shows once it has stopped changing: the system draws a window's paint to the
// screen after the paint, and the desktop repaints what a new window region uncovers in its own
// time. A late paint arrives within a few captures; a pixel a paint left wrong stays wrong.
uitest::TCapture SettledOnScreen(HWND W) {
  uitest::TCapture Last = uitest::WindowOnScreen(W);
  for (int I = 0; I < 40; ++I) {
    uitest::PumpFor(50);
    uitest::TCapture Next = uitest::WindowOnScreen(W);
    if (SamePixels(Last, Next)) break;
    Last = std::move(Next);
  }
  return Last;
}

// The window's region, or its whole rectangle when it has none.
HRGN ShapeOf(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  HRGN Rgn = CreateRectRgn(0, 0, R.right - R.left, R.bottom - R.top);
  GetWindowRgn(W, Rgn);
  return Rgn;
}

// The pixels of the window and its children on the screen that a full repaint (with the form's
// image built anew) changes. A pixel
// belongs to the window inside its region only (outside it the desktop shows): one the repaint
// takes into the region or out of it differs too.
int DifferentFromAFullRepaint(HWND W, const std::string& Name) {
  const uitest::TCapture Before = SettledOnScreen(W);
  HRGN ShapeBefore = ShapeOf(W);
  // The repaint shows the form's image built anew.
  auto* P = reinterpret_cast<TsSkinProvider*>(SendMessageW(W, SM_ALPHACMD, MakeAlphaCmd(AC_GETPROVIDER), 0));
  if (P != nullptr) {
    P->SkinData()->BackgroundStale = true;
    P->TitleDirty = true;
  }
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  uitest::Settle(W);
  const uitest::TCapture After = SettledOnScreen(W);
  HRGN ShapeAfter = ShapeOf(W);
  int Different = Before.Width() != After.Width() || Before.Height() != After.Height() ? -1 : 0;
  for (int Y = 0; Different >= 0 && Y < After.Height(); ++Y)
    for (int X = 0; X < After.Width(); ++X) {
      const bool In = PtInRegion(ShapeBefore, X, Y) != FALSE;
      Different += In != (PtInRegion(ShapeAfter, X, Y) != FALSE) || (In && Before.Pixel(X, Y) != After.Pixel(X, Y));
    }
  DeleteObject(ShapeBefore);
  DeleteObject(ShapeAfter);
  if (Different != 0) {
    Before.MaybeSave((Name + "_before").c_str());
    After.MaybeSave((Name + "_after").c_str());
  }
  return Different;
}

// A panel the skin's panel adapter takes, holding an edit.
std::pair<TPanel*, TEdit*> AddSkinnedPanel(TsSkinManager* Manager, TForm* Form) {
  Manager->ThirdParty()->SetTexts(tpPanel, "TPanel");
  Manager->UpdateThirdNames();
  auto* Panel = new TPanel(Form);
  Panel->SetBounds(10, 140, 200, 110);
  Panel->SetCaption(WideString(L"Panel"));
  Panel->SetParent(Form);
  auto* Edit = new TEdit(Form);
  Edit->SetBounds(10, 10, 150, 22);
  Edit->SetParent(Panel);
  return {Panel, Edit};
}

TEST_F(PaintCosts, ASizeChangeLeavesWhatAFullRepaintShows) {
  AddSkinnedPanel(Manager.get(), Form);
  Children.back()->SetFocus();  // the button: no caret blinks in the pictures
  auto Check = [this](const char* Name) {
    const TRect Sizes[] = {Bounds(60, 60, 470, 330), Bounds(60, 60, 400, 280), Bounds(60, 60, 520, 300)};
    for (const TRect& B : Sizes) {
      Form->SetBoundsRect(B);
      uitest::Settle(Form->Handle());
      const std::string Shot = "size_change_" + std::to_string(B.Width()) + "x" + std::to_string(B.Height());
      EXPECT_EQ(DifferentFromAFullRepaint(Form->Handle(), Shot), 0) << Name << ", " << B.Width() << " x " << B.Height();
    }
  };
  Check("children that stay");
  // Children the form moves and sizes as its size changes.
  auto* Bottom = new TPanel(Form);
  Bottom->SetHeight(30);
  Bottom->SetAlign(alBottom);
  Bottom->SetCaption(WideString(L"Bottom"));
  Bottom->SetParent(Form);
  auto* Anchored = new TButton(Form);
  Anchored->SetBounds(300, 150, 80, 26);
  Anchored->SetAnchors({akRight, akBottom});
  Anchored->SetCaption(WideString(L"Anchored"));
  Anchored->SetParent(Form);
  Check("aligned and anchored children");
  // A status bar along the bottom and a tab control, taken by the skin's adapters.
  Manager->ThirdParty()->SetTexts(tpStatusBar, "TStatusBar");
  Manager->ThirdParty()->SetTexts(tpTabControl, "TTabControl");
  Manager->UpdateThirdNames();
  auto* Status = new TStatusBar(Form);
  Status->SetAlign(alBottom);
  Status->SetParent(Form);
  auto* Tabs = new TTabControl(Form);
  Tabs->SetBounds(220, 80, 160, 60);
  Tabs->Tabs()->Add("One");
  Tabs->Tabs()->Add("Two");
  Tabs->SetParent(Form);
  Check("a status bar and a tab control");
}

TEST_F(PaintCosts, ASizeChangeBuildsTheFormImageOnceAndPaintsTheChildrenOnce) {
  CountChildren();
  TMessageCount OfForm(Form);
  const int IconDraws = Provider->TitleIconStamp.SystemDraws();
  ASSERT_GT(IconDraws, 0) << "the form shows its icon in the title";
  for (int Round = 0; Round < 3; ++Round) {
    OfForm.Clear();
    for (auto& C : Counts) C->Clear();
    Form->SetBounds(60, 60, 440 + 10 * Round, 320 + 10 * Round);
    uitest::Settle(Form->Handle());
    // The image is built for the caption it shows: once for the new size, not also for the old.
    EXPECT_EQ(OfForm[WM_GETTEXT], 1) << "round " << Round;
    // The title's icon over the same part of the title is not drawn by the system again.
    EXPECT_EQ(Provider->TitleIconStamp.SystemDraws(), IconDraws) << "round " << Round;
    // The form's background is a colour: its children need no second paint for its new region.
    for (std::size_t I = 0; I < Counts.size(); ++I)
      EXPECT_LE((*Counts[I])[WM_ERASEBKGND], 1) << Children[I]->ClassName() << ", round " << Round;
  }
}

TEST_F(PaintCosts, ASizeStepErasesTheFormNoMoreOftenThanTheSystemErasesIt) {
  // The erases of the form in steps that make it smaller, and larger, skinned and drawn by the
  // system. Smaller, the new region (the skin's cut corners at the new size) uncovers nothing of
  // the client area; larger, it uncovers the new edges, which are painted without a second erase of
  // the whole client area that the size change erased already.
  for (const int Step : {-12, 12}) {
    SCOPED_TRACE(Step < 0 ? "smaller" : "larger");
    auto Erases = [&] {
      Form->SetBounds(60, 60, 480, 360);
      uitest::Settle(Form->Handle());
      TMessageCount OfForm(Form);
      for (int I = 1; I <= 4; ++I) {
        Form->SetBounds(60, 60, 480 + Step * I, 360 + Step * I);
        uitest::Settle(Form->Handle());
      }
      return OfForm[WM_ERASEBKGND];
    };
    Manager->SetActive(true);
    uitest::Settle(Form->Handle());
    const int Skinned = Erases();
    Manager->SetActive(false);
    uitest::Settle(Form->Handle());
    const int System = Erases();
    EXPECT_GT(System, 0);
    EXPECT_LE(Skinned, System);
  }
}

}  // namespace

TEST_F(PaintCosts, ASizeChangePaintsAPanelOnce) {
  TEdit* Edit = AddSkinnedPanel(Manager.get(), Form).second;
  uitest::Settle(Form->Handle());
  TWindowCount OfEdit(Edit->Handle());
  for (int Round = 0; Round < 3; ++Round) {
    OfEdit.Clear();
    Form->SetBounds(60, 60, 440 + 10 * Round, 320 + 10 * Round);
    uitest::Settle(Form->Handle());
    // The panel's picture is painted once, and with it the windows on it are told once.
    EXPECT_EQ(OfEdit.Command(AC_REFRESHIFSKINNED), 1) << "round " << Round;
  }
}

TEST_F(PaintCosts, ALabelRepaintedAloneRepaintsItsPartOfAPanelAndNoOtherWindow) {
  auto [Panel, Edit] = AddSkinnedPanel(Manager.get(), Form);
  auto* Label = new TLabel(Form);
  Label->SetBounds(10, 80, 150, 15);
  Label->SetCaption(WideString(L"On the panel"));
  Label->SetParent(Panel);
  Children.back()->SetFocus();  // the button: no caret blinks in the pictures
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  uitest::Settle(Form->Handle());
  TWindowCount OfEdit(Edit->Handle());
  for (const wchar_t* Caption : {L"Changed", L"Changed again, longer", L"Short"}) {
    OfEdit.Clear();
    Label->SetCaption(WideString(Caption));
    uitest::Settle(Form->Handle());
    // The panel's picture did not change: the edit on it is neither told to repaint nor erased.
    EXPECT_EQ(OfEdit.Command(AC_REFRESHIFSKINNED), 0);
    EXPECT_EQ(OfEdit[WM_ERASEBKGND], 0);
    const std::string Shot = "label_caption_" + std::to_string(WideString(Caption).size());
    EXPECT_EQ(DifferentFromAFullRepaint(Form->Handle(), Shot), 0) << "caption of " << WideString(Caption).size() << " characters";
  }
  // A new picture of the panel (its caption is part of it) reaches the windows on it.
  OfEdit.Clear();
  Panel->SetCaption(WideString(L"A new caption"));
  uitest::Settle(Form->Handle());
  EXPECT_GE(OfEdit.Command(AC_REFRESHIFSKINNED), 1);
}

TEST_F(PaintCosts, ASizeStepWithExtendedBordersGivesTheBorderWindowOneImage) {
  if (acUpdateLayeredWindow == nullptr) GTEST_SKIP() << "the system has no layered windows";
  Manager->SetExtendedBorders(true);
  uitest::Settle(Form->Handle());
  ASSERT_NE(Provider->BorderForm, nullptr);
  HWND Border = Provider->BorderForm->AForm->Handle();
  extform::TLayeredUploads Uploads;
  TWindowCount OfBorder(Border);
  for (int Round = 0; Round < 4; ++Round) {
    Uploads.Clear();
    OfBorder.Clear();
    const int Grow = Round % 2 == 0 ? 24 : 0;
    SetWindowPos(Form->Handle(), nullptr, 0, 0, 420 + Grow, 300 + Grow, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    uitest::Settle(Form->Handle());
    EXPECT_EQ(Uploads.Count(Border), 1) << "round " << Round;
    // It is moved and placed behind the form, not given its (lack of a) region again.
    EXPECT_LE(OfBorder[WM_WINDOWPOSCHANGED], 2) << "round " << Round;
  }
}

TEST(PaintCostsOfDialogs, ASizeStepWithExtendedBordersGivesTheBorderWindowOneImageOfTheDialogBuiltAnew) {
  // A skinned system dialog with extended borders, made larger and smaller in turn (its border
  // modes draw the frame differently). Each step gives the border window one image, and that
  // image is what building the dialog's whole image again at that size gives it, over an image
  // of another colour.
  if (acUpdateLayeredWindow == nullptr) GTEST_SKIP() << "the system has no layered windows";
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
  for (int Mode = 0; Mode < 2; ++Mode) {
    SCOPED_TRACE(Mode);
    extform::TExtDialog D(Mode, [] {
      return dlgtest::CreateModeless(dlgtest::StandardDialog(WS_THICKFRAME, L"Sized dialog"));
    });
    ASSERT_NE(D.Adapter, nullptr);
    ASSERT_NE(D.Adapter->BorderForm, nullptr);
    RECT R;
    GetWindowRect(D.Wnd, &R);
    extform::TLayeredUploads Uploads;
    for (int Step = 0; Step < 4; ++Step) {
      Uploads.Clear();
      const int Grow = Step % 2 == 0 ? 30 : 0;
      SetWindowPos(D.Wnd, nullptr, 0, 0, R.right - R.left + Grow, R.bottom - R.top + Grow / 2,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      uitest::Settle(D.Wnd);
      SCOPED_TRACE(Step);
      EXPECT_EQ(Uploads.Count(D.BorderWnd()), 1);
      extform::ExpectStepImageBuiltAnew(Uploads, D.Adapter->BorderForm, D.Adapter->SkinData->CacheBmp(),
                                        [&] { D.Adapter->SkinData->BackgroundStale = true; });
    }
  }
}

TEST(PaintCostsOfDialogs, AnEraseOfADialogsBackgroundTellsEachChildWindowOnce) {
  // The windows on a skinned dialog take their background from its image.
  extform::TExtDialog D(0, nullptr, false);
  ASSERT_NE(D.Adapter, nullptr);
  TWindowCount OfEdit(GetDlgItem(D.Wnd, 101)), OfButton(GetDlgItem(D.Wnd, IDOK));
  RedrawWindow(D.Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW);
  EXPECT_EQ(OfEdit.Command(AC_REFRESHIFSKINNED), 1);
  EXPECT_EQ(OfButton.Command(AC_REFRESHIFSKINNED), 1);
}
