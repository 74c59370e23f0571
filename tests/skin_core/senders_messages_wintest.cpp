// The skin command senders over real windows and control trees, the colour and readiness
// queries, and the painting of graphic children.
#include <gtest/gtest.h>

#include <memory>

#include "framework/ExtCtrls.h"
#include "senders_test_support.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"

using namespace sndtest;

namespace {

class SendersTree : public ::testing::Test {
 protected:
  void SetUp() override {
    Form.reset(MakeForm(nullptr, &Log, "form", Bounds(40, 40, 300, 200), clWhite));
    PlainLog() = &Log;
  }
  void TearDown() override {
    PlainLog() = nullptr;
    Form.reset();
    acFormsUpdating = false;
  }
  TRecControl* Win(TWinControl* Parent, const std::string& Name, TRect R = Bounds(0, 0, 20, 20)) {
    return new TRecControl(Form.get(), Parent, Name, &Log, R, clGreen);
  }
  TRecGraphic* Graphic(TWinControl* Parent, const std::string& Name, TRect R = Bounds(0, 0, 10, 10)) {
    return new TRecGraphic(Form.get(), Parent, Name, &Log, R, clRed);
  }
  TLog Log;
  std::unique_ptr<TRecForm> Form;
};

TMessage Command(Word Code, LPARAM LParam = 0) {
  TMessage M;
  M.Msg = SM_ALPHACMD;
  M.WParam = MakeAlphaCmd(Code);
  M.LParam = LParam;
  return M;
}

}  // namespace

TEST_F(SendersTree, SendSkinCommandPutsTheCodeInTheHighWordAndReturnsTheAnswer) {
  TRecControl* C = Win(Form.get(), "c");
  C->Answers.Color = 0x00AA00;
  UINT Seen = 0;
  WPARAM SeenWParam = 0;
  LPARAM SeenLParam = 0;
  const TWndMethod Old = C->WindowProc();
  C->SetWindowProc([&](TMessage& M) {
    if (M.Msg == SM_ALPHACMD) {
      Seen = M.Msg;
      SeenWParam = M.WParam;
      SeenLParam = M.LParam;
    }
    Old(M);
  });
  EXPECT_EQ(SendSkinCommand(C->Handle(), AC_GETCOLOR, 77), 0x00AA00);
  EXPECT_EQ(Seen, SM_ALPHACMD);
  EXPECT_EQ(SeenWParam, static_cast<WPARAM>(AC_GETCOLOR) << 16);
  EXPECT_EQ(SeenLParam, 77);
  C->SetWindowProc(Old);
  EXPECT_EQ(SendSkinCommand(nullptr, AC_GETCOLOR), 0);
}

TEST_F(SendersTree, WindowAnswersCommandCountsOnlyAnExactOne) {
  HWND Plain = MakePlainChild(Form->Handle(), L"p");
  for (LONG_PTR Answer : {0, 1, 2, -1}) {
    SetWindowLongPtrW(Plain, GWLP_USERDATA, Answer);
    EXPECT_EQ(WindowAnswersCommand(Plain, AC_ISSKINNED), Answer == 1) << Answer;
  }
  EXPECT_FALSE(WindowAnswersCommand(nullptr, AC_ISSKINNED));
}

TEST_F(SendersTree, ToAControlByDispatchOrWindowButNeverCreatingAWindow) {
  TRecGraphic* G = Graphic(Form.get(), "g");
  G->Answers.Skinned = 1;
  EXPECT_EQ(AskControl(G, AC_ISSKINNED), 1);

  TRecControl* WithWindow = Win(Form.get(), "w");
  WithWindow->Answers.Skinned = 1;
  WithWindow->HandleNeeded();
  EXPECT_EQ(AskControl(WithWindow, AC_ISSKINNED), 1);

  // Not on a parent: no window yet, and asking does not make one.
  auto* NoWindow = new TRecControl(Form.get(), nullptr, "nw", &Log, Bounds(0, 0, 5, 5), clRed);
  NoWindow->Answers.Skinned = 1;
  EXPECT_EQ(SendSkinCommandToControl(NoWindow, AC_ISSKINNED, 0), 0);
  EXPECT_FALSE(NoWindow->HandleAllocated());
  EXPECT_EQ(Log.Count("nw:7"), 0);

  WithWindow->Destroying();
  EXPECT_EQ(AskControl(WithWindow, AC_ISSKINNED), 0);
  EXPECT_EQ(AskControl(nullptr, AC_ISSKINNED), 0);
  EXPECT_EQ(Log.Count("w:7"), 1);
  EXPECT_EQ(Log.Count("g:7"), 1);
}

TEST_F(SendersTree, ToAControlTheFlagRidesInTheLowWordAndTheDataInLParam) {
  // Windowless controls get the command by dispatch, windowed ones through their window: both
  // must see the flag beside the code and the data apart from it.
  TRecGraphic* G = Graphic(Form.get(), "g");
  TRecControl* W = Win(Form.get(), "w");
  W->HandleNeeded();
  for (TControl* C : {static_cast<TControl*>(G), static_cast<TControl*>(W)}) {
    WPARAM SeenWParam = 0;
    LPARAM SeenLParam = 0;
    const TWndMethod Old = C->WindowProc();
    C->SetWindowProc([&](TMessage& M) {
      if (M.Msg == SM_ALPHACMD) {
        SeenWParam = M.WParam;
        SeenLParam = M.LParam;
      }
      Old(M);
    });
    SendSkinCommandToControl(C, AC_PARENTMOVED, 5, 1);
    EXPECT_EQ(SeenWParam, (static_cast<WPARAM>(AC_PARENTMOVED) << 16) | 1) << C->Name();
    EXPECT_EQ(SeenLParam, 5) << C->Name();
    SendSkinCommandToControl(C, AC_PARENTMOVED);
    EXPECT_EQ(SeenWParam, static_cast<WPARAM>(AC_PARENTMOVED) << 16) << C->Name();
    EXPECT_EQ(SeenLParam, 0) << C->Name();
    C->SetWindowProc(Old);
  }
}

TEST_F(SendersTree, BroadcastReachesTheTreeInOrderAndLeavesSkinnedSubtreesToTheirOwners) {
  // form
  //   a (windowed, not skinned)   -> walked: its children get the message
  //     a1 (graphic)
  //     a2 (windowed, not skinned)
  //       a21 (graphic)
  //   s (windowed, skinned)       -> gets the message itself, its children nothing from here
  //     s1 (graphic)
  //   g (graphic)
  //   h (windowed, no window yet) -> direct dispatch
  //     h1 (graphic)              -> not walked
  TRecControl* A = Win(Form.get(), "a", Bounds(0, 0, 100, 100));
  Graphic(A, "a1");
  TRecControl* A2 = Win(A, "a2", Bounds(20, 20, 50, 50));
  Graphic(A2, "a21");
  TRecControl* S = Win(Form.get(), "s", Bounds(120, 0, 50, 50));
  S->Answers.Skinned = 1;
  Graphic(S, "s1");
  Graphic(Form.get(), "g", Bounds(200, 0, 10, 10));
  auto* H = new TRecControl(Form.get(), nullptr, "h", &Log, Bounds(0, 150, 10, 10), clRed);
  H->SetVisible(false);
  H->SetParent(Form.get());
  Graphic(H, "h1");
  uitest::Settle(Form->Handle());
  ASSERT_TRUE(S->HandleAllocated());
  ASSERT_FALSE(H->HandleAllocated());

  Log.Clear();
  TMessage M = Command(AC_REFRESHSKIN, 5);
  BroadcastSkinCommand(Form.get(), M);
  // Asking "are you skinned?" (7) precedes the delivery to each windowed child with a window.
  const std::vector<std::string> Expected{"a:7", "a1:3", "a2:7", "a21:3", "s:7", "s:3", "g:3", "h:3"};
  EXPECT_EQ(Log.Items, Expected);
}

TEST_F(SendersTree, BroadcastStopsAtTheFirstChildBeingDestroyed) {
  Graphic(Form.get(), "first");
  TRecGraphic* Dying = Graphic(Form.get(), "dying");
  Graphic(Form.get(), "later");
  Dying->Destroying();
  TMessage M = Command(AC_NEWSKIN);
  BroadcastSkinCommand(Form.get(), M);
  EXPECT_EQ(Log.Items, (std::vector<std::string>{"first:1"}));
  BroadcastSkinCommand(nullptr, M);  // nothing to walk
}

TEST_F(SendersTree, ChildWindowsOnlyTheDirectOnesAndRefreshTheChildChain) {
  HWND Host = MakePlainChild(Form->Handle(), L"host", 0, 0);
  MakePlainChild(Host, L"c1");
  HWND C2 = MakePlainChild(Host, L"c2", 0, 0, false);
  MakePlainChild(C2, L"grandchild");
  Log.Clear();
  TMessage M = Command(AC_BGCHANGED);
  BroadcastToChildWindows(Host, M);
  EXPECT_EQ(Log.Count("c1:17"), 1);
  EXPECT_EQ(Log.Count("c2:17"), 1);  // hidden ones too
  EXPECT_EQ(Log.Count("grandchild:17"), 0);
  EXPECT_EQ(Log.Count("host:17"), 0);

  Log.Clear();
  RefreshChildWindows(ChildWindows(Host));
  EXPECT_EQ(Log.Count("c1:6"), 1);
  EXPECT_EQ(Log.Count("c2:6"), 1);
  EXPECT_EQ(Log.Count("grandchild:6"), 0);
  RefreshChildWindows(ChildWindows(nullptr));
}

TEST_F(SendersTree, RefreshChildControlsReachesShownDirectChildrenOnly) {
  TRecControl* Shown = Win(Form.get(), "shown", Bounds(0, 0, 50, 50));
  Graphic(Form.get(), "graphic");
  TRecControl* Hidden = Win(Form.get(), "hidden");
  Hidden->HandleNeeded();
  Hidden->SetVisible(false);
  TRecControl* Grand = Win(Shown, "grandchild");
  auto* NoWindow = new TRecControl(Form.get(), nullptr, "nowindow", &Log, Bounds(0, 0, 5, 5), clRed);
  NoWindow->SetVisible(false);
  NoWindow->SetParent(Form.get());
  uitest::Settle(Form->Handle());
  ASSERT_TRUE(Grand->HandleAllocated());
  ASSERT_FALSE(NoWindow->HandleAllocated());

  Log.Clear();
  RefreshChildControls(Form.get());
  EXPECT_EQ(Log.Items, (std::vector<std::string>{"shown:6"}));

  Log.Clear();
  acFormsUpdating = true;
  RefreshChildControls(Form.get());
  EXPECT_TRUE(Log.Items.empty());
}

TEST_F(SendersTree, ColoursOfControlsAndWindows) {
  EXPECT_EQ(GetControlColor(nullptr), clKeyColor);
  TRecControl* Plain = Win(Form.get(), "plain");
  Plain->SetColor(clBtnFace);
  EXPECT_EQ(GetControlColor(Plain), static_cast<TColor>(ColorToRGB(clBtnFace)));

  TRecGraphic* Skinned = Graphic(Form.get(), "skinned");
  Skinned->Answers.Skinned = 1;
  Skinned->Answers.Color = clWindow;  // a system colour answer is turned into RGB
  EXPECT_EQ(GetControlColor(Skinned), static_cast<TColor>(ColorToRGB(clWindow)));
  Skinned->Answers.Skinned = 2;       // not skinned: its own Color
  Skinned->SetColor(0x0000FF);
  EXPECT_EQ(GetControlColor(Skinned), 0x0000FF);

  EXPECT_EQ(GetWindowColor(nullptr), clKeyColor);
  HWND W = MakePlainChild(Form->Handle(), L"w");
  EXPECT_EQ(GetWindowColor(W), 0x123456);
  Log.Clear();
  GetWindowColor(W);
  EXPECT_EQ(Log.Items, (std::vector<std::string>{"w:21"}));
}

TEST_F(SendersTree, ControlIsReadyOnlyWhenItMayPaint) {
  TRecGraphic* G = Graphic(Form.get(), "g");
  EXPECT_TRUE(ControlIsReady(G));
  auto* Orphan = new TRecGraphic(Form.get(), nullptr, "o", &Log, Bounds(0, 0, 5, 5), clRed);
  EXPECT_FALSE(ControlIsReady(Orphan));  // no parent
  auto* NoWindow = new TRecControl(Form.get(), nullptr, "nw", &Log, Bounds(0, 0, 5, 5), clRed);
  NoWindow->SetVisible(false);
  NoWindow->SetParent(Form.get());
  EXPECT_FALSE(ControlIsReady(NoWindow));  // no window, and asking makes none
  EXPECT_FALSE(NoWindow->HandleAllocated());
  TRecControl* W = Win(Form.get(), "w");
  W->HandleNeeded();
  EXPECT_TRUE(ControlIsReady(W));
  W->SetControlState(W->ControlState() + csCreating);
  EXPECT_FALSE(ControlIsReady(W));
  G->Loading();
  EXPECT_FALSE(ControlIsReady(G));
  G->Loaded();
  G->Destroying();
  EXPECT_FALSE(ControlIsReady(G));
}

TEST_F(SendersTree, ClientRectInWindowAndTopParent) {
  std::unique_ptr<TRecForm> Framed(
      MakeForm(nullptr, &Log, "framed", Bounds(60, 60, 200, 150), clWhite, true, bsSizeable));
  HWND W = Framed->Handle();
  RECT WR, CR;
  GetWindowRect(W, &WR);
  GetClientRect(W, &CR);
  POINT O{0, 0};
  ClientToScreen(W, &O);
  const TRect R = GetClientRectInWindow(W);
  EXPECT_EQ(R.Left, O.x - WR.left);
  EXPECT_EQ(R.Top, O.y - WR.top);
  EXPECT_GT(R.Top, R.Left);  // the caption lies above the client area
  EXPECT_EQ(R.Width(), CR.right);
  EXPECT_EQ(R.Height(), CR.bottom);
  EXPECT_EQ(GetClientRectInWindow(nullptr), TRect{});

  auto* Panel = new TRecControl(Framed.get(), Framed.get(), "p", &Log, Bounds(0, 0, 50, 50), clRed);
  HWND Deep = MakePlainChild(MakePlainChild(Panel->Handle(), L"x"), L"y");
  EXPECT_EQ(GetTopParentWindow(Deep), W);
  EXPECT_EQ(GetTopParentWindow(W), W);
  EXPECT_EQ(GetTopParentWindow(nullptr), nullptr);
}

TEST_F(SendersTree, AlignedControlsSizeSumsVisibleChildrenOfOneAlignment) {
  TRecControl* Top1 = Win(Form.get(), "t1", Bounds(0, 0, 10, 20));
  Top1->SetAlign(alTop);
  TRecControl* Top2 = Win(Form.get(), "t2", Bounds(0, 0, 10, 15));
  Top2->SetAlign(alTop);
  TRecGraphic* TopG = Graphic(Form.get(), "tg", Bounds(0, 0, 10, 7));
  TopG->SetAlign(alTop);
  TRecControl* HiddenTop = Win(Form.get(), "ht", Bounds(0, 0, 10, 100));
  HiddenTop->SetAlign(alTop);
  HiddenTop->SetVisible(false);
  TRecControl* Left = Win(Form.get(), "l", Bounds(0, 0, 30, 10));
  Left->SetAlign(alLeft);
  EXPECT_EQ(AlignedControlsSize(Form.get(), alTop, false), 35);
  EXPECT_EQ(AlignedControlsSize(Form.get(), alTop, true), 42);
  EXPECT_EQ(AlignedControlsSize(Form.get(), alLeft, true), 30);
  EXPECT_EQ(AlignedControlsSize(Form.get(), alRight, true), 0);
  EXPECT_EQ(AlignedControlsSize(Form.get(), alClient, true), 0);
  EXPECT_EQ(AlignedControlsSize(nullptr, alTop, true), 0);
}

TEST_F(SendersTree, ParentFormHearsOfALoadedControlUnlessItIsLoading) {
  TRecGraphic* G = Graphic(Form.get(), "g");
  LPARAM Seen = 0;
  const TWndMethod Old = Form->WindowProc();
  Form->SetWindowProc([&](TMessage& M) {
    if (M.Msg == SM_ALPHACMD && AlphaCmdCode(M.WParam) == AC_CONTROLLOADED) Seen = M.LParam;
    Old(M);
  });
  Log.Clear();
  NotifyParentFormLoaded(G);
  EXPECT_EQ(Seen, reinterpret_cast<LPARAM>(G));
  EXPECT_EQ(Log.Count("form:25"), 1);

  G->Loading();
  NotifyParentFormLoaded(G);
  G->Loaded();
  G->SetDesigning(true);
  NotifyParentFormLoaded(G);
  G->SetDesigning(false);
  auto* Orphan = new TRecGraphic(Form.get(), nullptr, "o", &Log, Bounds(0, 0, 5, 5), clRed);
  NotifyParentFormLoaded(Orphan);
  NotifyParentFormLoaded(nullptr);
  EXPECT_EQ(Log.Count("form:25"), 1);
  Form->SetWindowProc(Old);
}

TEST_F(SendersTree, GraphicChildrenPaintOverTheOwnBackgroundAtTheOffset) {
  // A panel whose graphic children paint red, blue, and one with a key-coloured corner.
  TRecControl* Panel = Win(Form.get(), "panel", Bounds(10, 10, 120, 60));
  Panel->SetColor(0x00FF00);
  Graphic(Panel, "red", Bounds(5, 5, 20, 20));
  TRecGraphic* Blue = Graphic(Panel, "blue", Bounds(40, 5, 20, 20));
  Blue->FillColor = 0xFF0000;
  TRecGraphic* Keyed = Graphic(Panel, "keyed", Bounds(80, 5, 20, 20));
  Keyed->KeyCorner = clKeyColor;
  TRecGraphic* Hidden = Graphic(Panel, "hidden", Bounds(5, 30, 20, 20));
  Hidden->SetVisible(false);
  uitest::Settle(Form->Handle());

  uitest::TMemoryDC Target(200, 100, RGB(255, 255, 255));
  Log.Clear();
  PaintGraphicControls(Target.DC(), Panel, Point(30, 20));
  EXPECT_EQ(Target.Pixel(30 + 10, 20 + 10), RGB(255, 0, 0));
  EXPECT_EQ(Target.Pixel(30 + 45, 20 + 10), RGB(0, 0, 255));
  // The keyed child painted red everywhere but its corner: it is left out entirely.
  EXPECT_EQ(Target.Pixel(30 + 90, 20 + 10), RGB(255, 255, 255));
  // Hidden children and the panel itself are not painted here.
  EXPECT_EQ(Target.Pixel(30 + 10, 20 + 40), RGB(255, 255, 255));
  EXPECT_EQ(Target.Pixel(30 + 2, 20 + 2), RGB(255, 255, 255));
  EXPECT_EQ(Hidden->Paints, 0);
  EXPECT_EQ(Log.Count("panel:22"), 0);

  // A target that clips the panel's first child away: that child is told it was not painted.
  uitest::TMemoryDC Clipped(200, 100, RGB(255, 255, 255));
  HRGN Region = CreateRectRgn(60, 0, 200, 100);
  SelectClipRgn(Clipped.DC(), Region);
  DeleteObject(Region);
  Log.Clear();
  PaintGraphicControls(Clipped.DC(), Panel, Point(30, 20));
  EXPECT_EQ(Log.Count("red:22"), 1);
  EXPECT_EQ(Clipped.Pixel(30 + 10, 20 + 10), RGB(255, 255, 255));
  EXPECT_EQ(Clipped.Pixel(30 + 45, 20 + 10), RGB(0, 0, 255));
}

TEST_F(SendersTree, GraphicChildrenSeeThePictureOfTheControlUnderThem) {
  TRecControl* Panel = Win(Form.get(), "panel", Bounds(10, 10, 120, 60));
  // The panel's picture: yellow, with a blue column where the child's unpainted half lies.
  TBitmap Picture(200, 100, pf24bit);
  Picture.Canvas()->Brush()->SetColor(0x00FFFF);
  Picture.Canvas()->FillRect(Rect(0, 0, 200, 100));
  Picture.Canvas()->Brush()->SetColor(0xFF0000);
  Picture.Canvas()->FillRect(Rect(4 + 20 + 7, 0, 4 + 20 + 8, 100));
  Panel->Answers.Background = &Picture;
  Panel->Answers.Offset = Point(4, 6);
  TRecGraphic* Half = Graphic(Panel, "half", Bounds(20, 10, 16, 10));
  Half->PaintWidth = 4;
  TRecGraphic* Opaque = Graphic(Panel, "opaque", Bounds(60, 10, 16, 10));
  Opaque->PaintWidth = 4;
  Opaque->SetControlStyle(Opaque->ControlStyle() + csOpaque);
  Opaque->SetColor(0x00FF00);
  uitest::Settle(Form->Handle());

  uitest::TMemoryDC Target(200, 100, RGB(255, 255, 255));
  PaintGraphicControls(Target.DC(), Panel, Point(0, 0));
  EXPECT_EQ(Target.Pixel(20 + 1, 12), RGB(255, 0, 0));    // the painted part
  EXPECT_EQ(Target.Pixel(20 + 6, 12), RGB(255, 255, 0));  // the picture under the rest
  EXPECT_EQ(Target.Pixel(20 + 7, 12), RGB(0, 0, 255));    // at the picture offset
  EXPECT_EQ(Target.Pixel(60 + 8, 12), RGB(0, 255, 0));    // an opaque child: its own colour
}

namespace {
// A graphic child that fails when told it was not painted.
class TFailingGraphic : public TRecGraphic {
  T_CLASS(TFailingGraphic, TRecGraphic)

 public:
  using TRecGraphic::TRecGraphic;

 protected:
  void Dispatch(TMessage& M) override {
    if (M.Msg == SM_ALPHACMD && AlphaCmdCode(M.WParam) == AC_NOTPAINTED) throw Exception("child failed");
    TRecGraphic::Dispatch(M);
  }
};
}  // namespace

TEST_F(SendersTree, AChildFailingOutsideItsPaintLeavesNoGdiObjectsBehind) {
  // The first child paints (the memory picture is made), the second lies outside the clip and
  // fails on the command that tells it so: the failure reaches the caller, the picture is freed.
  TRecControl* Panel = Win(Form.get(), "panel", Bounds(10, 10, 120, 60));
  Graphic(Panel, "painted", Bounds(5, 5, 20, 20));
  new TFailingGraphic(Form.get(), Panel, "failing", &Log, Bounds(80, 5, 20, 20), clBlue);
  uitest::Settle(Form->Handle());
  uitest::TMemoryDC Target(200, 100, RGB(255, 255, 255));
  HRGN Region = CreateRectRgn(0, 0, 60, 100);
  SelectClipRgn(Target.DC(), Region);
  DeleteObject(Region);
  const int Before = uitest::GdiObjectCount();
  for (int I = 0; I < 20; ++I) EXPECT_THROW(PaintGraphicControls(Target.DC(), Panel, Point(0, 0)), Exception);
  EXPECT_EQ(uitest::GdiObjectCount(), Before);
}

TEST_F(SendersTree, GraphicChildrenWithNothingVisibleTellTheControl) {
  TRecControl* Panel = Win(Form.get(), "panel", Bounds(10, 10, 120, 60));
  TRecGraphic* G = Graphic(Panel, "g", Bounds(5, 5, 20, 20));
  uitest::Settle(Form->Handle());
  uitest::TMemoryDC Target(50, 50);
  HRGN Empty = CreateRectRgn(0, 0, 0, 0);
  SelectClipRgn(Target.DC(), Empty);
  DeleteObject(Empty);
  const int PaintsBefore = G->Paints;
  Log.Clear();
  PaintGraphicControls(Target.DC(), Panel, Point(0, 0));
  EXPECT_EQ(Log.Items, (std::vector<std::string>{"panel:22"}));
  EXPECT_EQ(G->Paints, PaintsBefore);
  PaintGraphicControls(Target.DC(), nullptr, Point(0, 0));
}
