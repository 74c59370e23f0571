// Snapshots of control trees against what the windows paint, and the animated show of forms and
// controls through the output window and through a layered window.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "senders_test_support.h"
#include "skin/core/acAnimation.h"
#include "skin/core/acPixels.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "support/MessageOf.h"

using namespace sndtest;

namespace {

COLORREF BmpPixel(TBitmap* B, int X, int Y) { return GetPixel(B->Canvas()->Handle(), X, Y) & 0xFFFFFF; }

// Saves a bitmap as Name.bmp into the screenshot folder (when one is named).
void MaybeSaveBitmap(TBitmap* B, const char* Name) {
  const uitest::TCapture C(B->Canvas()->Handle(), Rect(0, 0, B->Width(), B->Height()));
  C.MaybeSave(Name);
}

// A control that raises while it paints, when asked to.
class TFailingControl : public TRecControl {
  T_CLASS(TFailingControl, TRecControl)

 public:
  using TRecControl::TRecControl;
  bool Fail = false;

 protected:
  void Paint() override {
    if (Fail) throw Exception("painting failed");
    TRecControl::Paint();
  }
};

// A form of three panels: green A holding blue B and a red graphic control, hidden red C, and
// a grey form colour.
class SendersSnapshot : public ::testing::Test {
 protected:
  void Build(TFormBorderStyle Border) {
    Form.reset(MakeForm(nullptr, &Log, "form", Bounds(30, 30, 220, 130), 0x808080, false, Border));
    A = new TRecControl(Form.get(), Form.get(), "a", &Log, Bounds(10, 10, 90, 60), 0x00FF00);
    B = new TRecControl(Form.get(), A, "b", &Log, Bounds(5, 5, 30, 20), 0xFF0000);
    G = new TRecGraphic(Form.get(), A, "g", &Log, Bounds(50, 30, 20, 10), 0x0000FF);
    C = new TRecControl(Form.get(), Form.get(), "c", &Log, Bounds(120, 10, 50, 50), 0x0000FF);
    C->SetVisible(false);
    uitest::ShowSettled(Form.get());
  }
  void TearDown() override {
    Form.reset();
    acFormsUpdating = false;
  }
  TLog Log;
  std::unique_ptr<TRecForm> Form;
  TRecControl *A = nullptr, *B = nullptr, *C = nullptr;
  TRecGraphic* G = nullptr;
};

}  // namespace

TEST_F(SendersSnapshot, ASnapshotOfABorderlessFormMatchesItsPainting) {
  Build(bsNone);
  std::unique_ptr<TBitmap> Snap(CreateBmp24(Form->Width(), Form->Height()));
  PaintControlTree(Snap.get(), Form.get(), 0, nullptr, 0);
  MaybeSaveBitmap(Snap.get(), "senders_snapshot_borderless");
  const uitest::TCapture Screen(Form->Handle());
  Screen.MaybeSave("senders_snapshot_borderless_window");
  ASSERT_EQ(Screen.Width(), Snap->Width());
  int Different = 0;
  for (int Y = 0; Y < Snap->Height(); ++Y)
    for (int X = 0; X < Snap->Width(); ++X) Different += BmpPixel(Snap.get(), X, Y) != Screen.Pixel(X, Y);
  EXPECT_EQ(Different, 0);
  // The parts: form colour, A, B inside A, the graphic control, and C's place showing the form.
  EXPECT_EQ(BmpPixel(Snap.get(), 2, 2), RGB(128, 128, 128));
  EXPECT_EQ(BmpPixel(Snap.get(), 12, 60), RGB(0, 255, 0));
  EXPECT_EQ(BmpPixel(Snap.get(), 16, 16), RGB(0, 0, 255));
  EXPECT_EQ(BmpPixel(Snap.get(), 62, 42), RGB(255, 0, 0));
  EXPECT_EQ(BmpPixel(Snap.get(), 140, 30), RGB(128, 128, 128));
}

TEST_F(SendersSnapshot, ChildrenOfAFramedFormLandInItsClientArea) {
  Build(bsSizeable);
  std::unique_ptr<TBitmap> Snap(CreateBmp24(Form->Width(), Form->Height()));
  PaintControlTree(Snap.get(), Form.get(), 0, nullptr, 0);
  MaybeSaveBitmap(Snap.get(), "senders_snapshot_framed");
  const TRect Client = GetClientRectInWindow(Form->Handle());
  ASSERT_GT(Client.Top, 0);
  const uitest::TCapture Screen(Form->Handle());
  int Different = 0;
  for (int Y = 0; Y < Client.Height(); ++Y)
    for (int X = 0; X < Client.Width(); ++X)
      Different += BmpPixel(Snap.get(), Client.Left + X, Client.Top + Y) != Screen.Pixel(X, Y);
  EXPECT_EQ(Different, 0);
}

TEST_F(SendersSnapshot, AnInvisibleControlPaintsAsItsParentsBackground) {
  Build(bsNone);
  std::unique_ptr<TBitmap> Bmp(CreateBmp24(80, 80));  // white
  PaintControlTree(Bmp.get(), C, 7, nullptr, 9);
  EXPECT_EQ(BmpPixel(Bmp.get(), 7, 9), RGB(128, 128, 128));
  EXPECT_EQ(BmpPixel(Bmp.get(), 7 + 49, 9 + 49), RGB(128, 128, 128));
  EXPECT_EQ(BmpPixel(Bmp.get(), 6, 9), RGB(255, 255, 255));
  EXPECT_EQ(BmpPixel(Bmp.get(), 7 + 50, 9), RGB(255, 255, 255));
  EXPECT_EQ(BmpPixel(Bmp.get(), 7, 9 + 50), RGB(255, 255, 255));
}

TEST_F(SendersSnapshot, AnInvisibleControlShowsThePictureOfItsParent) {
  Build(bsNone);
  TBitmap Picture(Form->Width() + 10, Form->Height() + 10, pf24bit);
  Picture.Canvas()->Brush()->SetColor(0x00FFFF);
  Picture.Canvas()->FillRect(Rect(0, 0, Picture.Width(), Picture.Height()));
  Picture.Canvas()->Brush()->SetColor(0xFF0000);
  Picture.Canvas()->FillRect(Rect(2 + C->Left() + 3, 0, 2 + C->Left() + 4, Picture.Height()));
  Form->Answers.Background = &Picture;
  Form->Answers.Offset = Point(2, 5);
  std::unique_ptr<TBitmap> Bmp(CreateBmp24(80, 80));
  PaintControlTree(Bmp.get(), C, 0, nullptr, 0);
  EXPECT_EQ(BmpPixel(Bmp.get(), 2, 20), RGB(255, 255, 0));
  EXPECT_EQ(BmpPixel(Bmp.get(), 3, 20), RGB(0, 0, 255));
  EXPECT_EQ(BmpPixel(Bmp.get(), 50, 20), RGB(255, 255, 255));
  Form->Answers.Background = nullptr;
}

TEST_F(SendersSnapshot, TheClientAreaIsOpaqueInALayeredPicture) {
  Build(bsNone);
  TFakeProviderLink Link;
  TFakeProvider Provider;
  Provider.Border = Form->Handle();  // any window: only its presence counts here
  Provider.ClientOffset = Point(5, 7);
  std::unique_ptr<TBitmap> Bmp(CreateBmp32(Form->Width() + 10, Form->Height() + 14));
  const TacPixels P = BitmapPixels(Bmp.get());
  for (int Y = 0; Y < P.Height; ++Y)
    for (int X = 0; X < P.Width; ++X) P.Pixel(X, Y)[3] = 0;
  PaintControlTree(Bmp.get(), Form.get(), 0, &Provider, 0);
  GdiFlush();
  EXPECT_EQ(P.Pixel(5, 7)[3], 255);
  EXPECT_EQ(P.Pixel(5 + Form->Width() - 1, 7 + Form->Height() - 1)[3], 255);
  EXPECT_EQ(P.Pixel(4, 7)[3], 0);
  EXPECT_EQ(P.Pixel(5, 6)[3], 0);
  EXPECT_EQ(P.Pixel(5 + Form->Width(), 7)[3], 0);
  // The children lie at the client offset.
  EXPECT_EQ(BmpPixel(Bmp.get(), 5 + 16, 7 + 16), RGB(0, 0, 255));
}

TEST_F(SendersSnapshot, MissingBitmapOrControlIsAnError) {
  Build(bsNone);
  std::unique_ptr<TBitmap> Bmp(CreateBmp24(4, 4));
  EXPECT_EQ(exctest::MessageOf<EInvalidOperation>([&] { PaintControlTree(nullptr, Form.get(), 0, nullptr, 0); }),
            "PaintControlTree needs a bitmap and a control");
  EXPECT_EQ(exctest::MessageOf<EInvalidOperation>([&] { PaintControlTree(Bmp.get(), nullptr, 0, nullptr, 0); }),
            "PaintControlTree needs a bitmap and a control");
  TBitmap Empty;
  PaintControlTree(&Empty, Form.get(), 0, nullptr, 0);  // nothing to paint into
}

// ---- The plain path -----------------------------------------------------------------------------

namespace {

// What the animation looked like when it gave the drawing back (WM_SETREDRAW 1 to the control).
struct TEndProbe {
  bool Seen = false;
  bool Updating = true;
  bool OutputShown = false;
  TRect OutputRect;
  bool OutputIsChild = false;
  COLORREF OutputSample = 0;
};

// Sample: a point of the control whose colour the screen shows through the output window.
void ProbeRedraw(TWinControl* Control, TEndProbe& Probe, TWndMethod& Old, TPoint Sample) {
  Old = Control->WindowProc();
  Control->SetWindowProc([&Probe, &Old, Sample](TMessage& M) {
    if (M.Msg == WM_SETREDRAW && M.WParam == 1 && !Probe.Seen) {
      Probe.Seen = true;
      Probe.Updating = acFormsUpdating;
      if (TOutputWindow* Out = acOutputWindow(); Out != nullptr && Out->HandleAllocated()) {
        Probe.OutputShown = IsWindowVisible(Out->Handle()) != FALSE;
        RECT R;
        GetWindowRect(Out->Handle(), &R);
        Probe.OutputRect = TRect{R.left, R.top, R.right, R.bottom};
        Probe.OutputIsChild = (GetWindowLongW(Out->Handle(), GWL_STYLE) & WS_CHILD) != 0;
        Probe.OutputSample = uitest::WindowPixel(Out->Handle(), Sample.X, Sample.Y);
      }
    }
    Old(M);
  });
}

TRect WindowRect(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  return TRect{R.left, R.top, R.right, R.bottom};
}

}  // namespace

TEST_F(SendersSnapshot, AnAnimatedShowEndsWithTheFormFullyPaintedAndNothingLeftBehind) {
  Build(bsNone);
  const int Windows = uitest::CountThreadWindows();
  int Gdi = 0;
  const int Times[] = {0, 7, 80, 0, 7, 80};
  for (int I = 0; I < 6; ++I) {
    const int Time = Times[I];
    if (I == 3) Gdi = uitest::GdiObjectCount();  // after one show of each kind
    SCOPED_TRACE(Time);
    // Drawing locked and the look changed, as during a skin change.
    SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
    const TColor NewColor = Time == 80 ? 0x00FFFF : 0xFFFF00;
    A->FillColor = NewColor;
    TEndProbe Probe;
    TWndMethod Old;
    ProbeRedraw(Form.get(), Probe, Old, Point(12, 60));
    AnimateFormShow(Form.get(), Time);
    Form->SetWindowProc(Old);

    // While the drawing was given back, the output window covered the form with the snapshot.
    EXPECT_TRUE(Probe.Seen);
    EXPECT_FALSE(Probe.Updating);
    EXPECT_TRUE(Probe.OutputShown);
    EXPECT_FALSE(Probe.OutputIsChild);
    EXPECT_EQ(Probe.OutputRect, WindowRect(Form->Handle()));
    EXPECT_EQ(Probe.OutputSample, static_cast<COLORREF>(ColorToRGB(NewColor)));
    // Afterwards the form shows its new look itself.
    EXPECT_FALSE(acFormsUpdating);
    EXPECT_EQ(acOutputWindow(), nullptr);
    EXPECT_EQ(acAnimationDC, nullptr);
    EXPECT_EQ(uitest::WindowPixel(Form->Handle(), 12, 60), static_cast<COLORREF>(ColorToRGB(NewColor)));
    EXPECT_TRUE(uitest::WaitFor(
        [&] { return uitest::ScreenPixel(Form->Handle(), 12, 60) == static_cast<COLORREF>(ColorToRGB(NewColor)); }));
    EXPECT_EQ(uitest::CountThreadWindows(), Windows);
    EXPECT_EQ(LayeredWindowsExcept(), 0);
  }
  EXPECT_EQ(uitest::GdiObjectCount(), Gdi);
  uitest::SaveScreenshot(Form->Handle(), "senders_animated_plain");
}

TEST_F(SendersSnapshot, ALongFadeShowsTheNewLookStepByStepAndEndsWithinItsLevels) {
  // From green to yellow at a point of panel A: the red channel rises with every step shown, and
  // a fade asked to last longer than its 256 levels take still has at most one step per level.
  Build(bsNone);
  for (int Time : {200, 2048, 4096, 65535}) {
    SCOPED_TRACE(Time);
    A->FillColor = 0x00FF00;
    A->Invalidate();
    uitest::Settle(Form->Handle());
    SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
    A->FillColor = 0x00FFFF;
    std::vector<int> Reds;
    {
      TFadeWatch Watch([&] {
        if (TOutputWindow* Out = acOutputWindow())
          Reds.push_back(GetRValue(uitest::WindowPixel(Out->Handle(), 12, 60)));
      });
      AnimateFormShow(Form.get(), Time);
    }
    ASSERT_GE(Reds.size(), 2u);
    EXPECT_LE(Reds.size(), 256u);
    EXPECT_LT(Reds.front(), 16);
    EXPECT_GT(Reds.back(), 200);
    EXPECT_TRUE(std::is_sorted(Reds.begin(), Reds.end()));
    EXPECT_GE(static_cast<std::size_t>(std::unique(Reds.begin(), Reds.end()) - Reds.begin()), Reds.size() / 2);
    EXPECT_EQ(uitest::WindowPixel(Form->Handle(), 12, 60), RGB(255, 255, 0));
  }
}

TEST_F(SendersSnapshot, AnAnimatedControlIsCoveredByASiblingOutputWindow) {
  Build(bsNone);
  const int Windows = uitest::CountThreadWindows();
  SendMessageW(A->Handle(), WM_SETREDRAW, 0, 0);
  A->FillColor = 0x00FFFF;
  TEndProbe Probe;
  TWndMethod Old;
  ProbeRedraw(A, Probe, Old, Point(2, 50));
  AnimateFormShow(A, 24);
  A->SetWindowProc(Old);
  EXPECT_TRUE(Probe.OutputIsChild);
  EXPECT_EQ(Probe.OutputRect, WindowRect(A->Handle()));
  EXPECT_EQ(Probe.OutputSample, RGB(255, 255, 0));
  EXPECT_EQ(uitest::WindowPixel(A->Handle(), 2, 50), RGB(255, 255, 0));
  EXPECT_EQ(acOutputWindow(), nullptr);
  EXPECT_EQ(uitest::CountThreadWindows(), Windows);
  EXPECT_EQ(Form->ControlCount(), 2);  // A and C, no output window left among the children
}

TEST_F(SendersSnapshot, AFailureWhilePaintingTheSnapshotStillEndsTheAnimation) {
  Build(bsNone);
  auto* Failing = new TFailingControl(Form.get(), Form.get(), "f", &Log, Bounds(150, 70, 20, 20), 0xFF00FF);
  uitest::Settle(Form->Handle());
  const int Windows = uitest::CountThreadWindows();
  Failing->Fail = true;
  const TMessageBoxProc OldBox = Application->MessageBoxProc;
  Application->MessageBoxProc = [](HWND, const WideString&, const WideString&, UINT) { return IDOK; };
  SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
  Log.Clear();
  EXPECT_EQ(exctest::MessageOf<Exception>([&] { AnimateFormShow(Form.get(), 16); }), "painting failed");
  Failing->Fail = false;
  Application->MessageBoxProc = OldBox;
  EXPECT_FALSE(acFormsUpdating);
  EXPECT_EQ(acAnimationDC, nullptr);
  EXPECT_EQ(acOutputWindow(), nullptr);
  EXPECT_EQ(Log.Count("form:redraw1"), 1);
  EXPECT_EQ(uitest::CountThreadWindows(), Windows);
}

TEST_F(SendersSnapshot, NothingHappensWithoutAControlOrAWindow) {
  Build(bsNone);
  AnimateFormShow(nullptr, 100);
  auto* NoWindow = new TRecControl(Form.get(), nullptr, "nw", &Log, Bounds(0, 0, 5, 5), clRed);
  AnimateFormShow(NoWindow, 100);
  EXPECT_FALSE(NoWindow->HandleAllocated());
  EXPECT_FALSE(acFormsUpdating);
}

// ---- The layered path ---------------------------------------------------------------------------

TEST_F(SendersSnapshot, ALayeredShowHandsThePictureToTheBorderWindowAndKeepsTheFormsAlpha) {
  Build(bsNone);
  // The border window: a borderless form around the form, as form skinning makes it.
  std::unique_ptr<TRecForm> Border(MakeForm(nullptr, nullptr, "border", Bounds(20, 20, 240, 150), clBlack, false));
  Border->HandleNeeded();
  TFakeProviderLink Link;
  TFakeProvider Provider;
  Provider.Border = Border->Handle();
  Provider.Picture = TSize{240, 150};
  Provider.ClientOffset = Point(10, 10);
  const TRect Placed = WindowRect(Form->Handle());
  Provider.ImageOrigin = Point(Placed.Left - 10, Placed.Top - 10);
  Form->Answers.Provider = &Provider;
  Form->SetAlphaBlend(true);
  Form->SetAlphaBlendValue(128);
  uitest::Pump();
  const std::vector<HWND> Before = ThreadTopWindows();

  SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
  int LayeredDuring = -1;
  Byte AlphaDuring = 0;
  const TWndMethod Old = Form->WindowProc();
  Form->SetWindowProc([&](TMessage& M) {
    if (M.Msg == WM_SETREDRAW && M.WParam == 1 && LayeredDuring < 0) {
      LayeredDuring = LayeredWindowsExcept(Border->Handle());
      AlphaDuring = Form->AlphaBlendValue();
    }
    Old(M);
  });
  AnimateFormShow(Form.get(), 40);
  Form->SetWindowProc(Old);
  // A fade far longer than its levels (128 here) has at most one step per level.
  SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
  int Steps = 0;
  {
    TFadeWatch Watch([&] { ++Steps; });
    AnimateFormShow(Form.get(), 4096);
  }
  EXPECT_GT(Steps, 1);
  EXPECT_LE(Steps, 129);

  // While the drawing came back, the temporary layered window was still there beside the form.
  EXPECT_EQ(LayeredDuring, 2);
  EXPECT_EQ(AlphaDuring, 128);
  EXPECT_FALSE(acFormsUpdating);
  EXPECT_TRUE(Form->AlphaBlend());
  EXPECT_EQ(Form->AlphaBlendValue(), 128);
  BYTE Alpha = 0;
  DWORD Flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(Form->Handle(), nullptr, &Alpha, &Flags));
  EXPECT_EQ(Alpha, 128);
  // The border window holds the picture where the provider places it, around the form, and the
  // provider shows it again after each show.
  EXPECT_EQ(Provider.BorderUpdates, 2);
  EXPECT_NE(GetWindowLongW(Border->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  const TRect FormRect = WindowRect(Form->Handle());
  EXPECT_EQ(WindowRect(Border->Handle()), Bounds(FormRect.Left - 10, FormRect.Top - 10, 240, 150));
  // No other window is left: the temporary one is gone, and only the form (its own alpha) and
  // the border window are layered.
  EXPECT_EQ(ThreadTopWindows().size(), Before.size());
  EXPECT_EQ(LayeredWindowsExcept(Border->Handle()), 1);
  Form->SetAlphaBlend(false);
  EXPECT_EQ(LayeredWindowsExcept(Border->Handle()), 0);
  Form->Answers.Provider = nullptr;
}
