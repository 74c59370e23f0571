// Work a skinned form does to repaint and resize, held by counts of what its windows receive: a
// repaint paints every window once, a size change builds the form's image once (its caption is
// read once for it), and the window region is set only when it changes. What a size change
// leaves on the screen is what a full repaint shows.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_controls/ownctl_support.h"
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

class PaintCosts : public ::testing::Test {
 protected:
  void SetUp() override {
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
    new TsSkinProvider(Form);
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
    for (std::size_t I = 0; I < Counts.size(); ++I) {
      EXPECT_EQ((*Counts[I])[WM_NCPAINT], 1) << Children[I]->ClassName() << ", round " << Round;
      EXPECT_EQ((*Counts[I])[WM_ERASEBKGND], 1) << Children[I]->ClassName() << ", round " << Round;
    }
  }
}

// The form's window and its children as the screen shows them.
std::vector<COLORREF> OnScreen(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  HDC Screen = GetDC(nullptr);
  uitest::TCapture C(Screen, TRect{R.left, R.top, R.right, R.bottom});
  ReleaseDC(nullptr, Screen);
  std::vector<COLORREF> Pixels;
  for (int Y = 0; Y < C.Height(); ++Y)
    for (int X = 0; X < C.Width(); ++X) Pixels.push_back(C.Pixel(X, Y));
  return Pixels;
}

TEST_F(PaintCosts, ASizeChangeLeavesWhatAFullRepaintShows) {
  Children.back()->SetFocus();  // the button: no caret blinks in the pictures
  auto Check = [this](const char* Name) {
    const TRect Sizes[] = {Bounds(60, 60, 470, 330), Bounds(60, 60, 400, 280), Bounds(60, 60, 520, 300)};
    for (const TRect& B : Sizes) {
      Form->SetBoundsRect(B);
      uitest::Settle(Form->Handle());
      const std::vector<COLORREF> Resized = OnScreen(Form->Handle());
      RedrawWindow(Form->Handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      uitest::Settle(Form->Handle());
      const std::vector<COLORREF> Repainted = OnScreen(Form->Handle());
      ASSERT_EQ(Resized.size(), Repainted.size());
      int Different = 0;
      for (std::size_t I = 0; I < Resized.size(); ++I) Different += Resized[I] != Repainted[I];
      EXPECT_EQ(Different, 0) << Name << ", " << B.Width() << " x " << B.Height();
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
}

TEST_F(PaintCosts, ASizeChangeBuildsTheFormImageOnceAndPaintsTheChildrenOnce) {
  CountChildren();
  TMessageCount OfForm(Form);
  for (int Round = 0; Round < 3; ++Round) {
    OfForm.Clear();
    for (auto& C : Counts) C->Clear();
    Form->SetBounds(60, 60, 440 + 10 * Round, 320 + 10 * Round);
    uitest::Settle(Form->Handle());
    // The image is built for the caption it shows: once for the new size, not also for the old.
    EXPECT_EQ(OfForm[WM_GETTEXT], 1) << "round " << Round;
    // The form's background is a colour: its children need no second paint for its new region.
    for (std::size_t I = 0; I < Counts.size(); ++I)
      EXPECT_LE((*Counts[I])[WM_ERASEBKGND], 1) << Children[I]->ClassName() << ", round " << Round;
  }
}

}  // namespace
