// Painting of controls: into a given device context (PaintTo, WM_PAINT and WM_ERASEBKGND with
// the DC in WParam) and on the screen, read back as pixels.
#include <gtest/gtest.h>

#include <memory>

#include "framework/Forms.h"
#include "support/UiTest.h"

// Red, with a blue 4 x 4 square in its top-left corner.
class TPaintRed : public TCustomControl {
  T_CLASS(TPaintRed, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  bool SawPaintCopy = false;

 protected:
  void Paint() override {
    SawPaintCopy = ControlState().Contains(csPaintCopy);
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(ClientRect());
    Canvas()->Brush()->SetColor(clBlue);
    Canvas()->FillRect(Rect(0, 0, 4, 4));
  }
};

class TPaintGreen : public TGraphicControl {
  T_CLASS(TPaintGreen, TGraphicControl)
 public:
  using TGraphicControl::TGraphicControl;

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clLime);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }
};

// A windowed control that only has its background (its Color).
class TPaintPane : public TWinControl {
  T_CLASS(TPaintPane, TWinControl)
 public:
  using TWinControl::TWinControl;
};

namespace {

struct TTree {
  std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
  TPaintRed* Box;
  TPaintGreen* Dot;
  TPaintPane* Pane;
  TTree() {
    Form->SetBounds(100, 100, 300, 200);
    Box = new TPaintRed(Form.get());
    Box->SetBounds(10, 10, 100, 80);
    Box->SetParent(Form.get());
    Dot = new TPaintGreen(Form.get());
    Dot->SetBounds(20, 20, 30, 30);
    Dot->SetParent(Box);
    Pane = new TPaintPane(Form.get());
    Pane->SetBounds(60, 40, 30, 30);
    Pane->SetColor(clYellow);
    Pane->SetParent(Box);
  }
};

constexpr COLORREF Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255), Green = RGB(0, 255, 0), Yellow = RGB(255, 255, 0),
                   White = RGB(255, 255, 255);

}  // namespace

TEST(Painting, PaintToDrawsTheControlTreeIntoADeviceContext) {
  TTree T;
  uitest::TMemoryDC M(200, 150);
  T.Box->PaintTo(M.DC(), 5, 7);
  EXPECT_EQ(M.Pixel(5 + 1, 7 + 1), Blue);
  EXPECT_EQ(M.Pixel(5 + 50, 7 + 10), Red);
  EXPECT_EQ(M.Pixel(5 + 99, 7 + 79), Red);
  EXPECT_EQ(M.Pixel(5 + 25, 7 + 25), Green);    // the graphic child
  EXPECT_EQ(M.Pixel(5 + 49, 7 + 49), Green);
  EXPECT_EQ(M.Pixel(5 + 65, 7 + 45), Yellow);   // the windowed child's background
  EXPECT_EQ(M.Pixel(5 + 100, 7 + 10), White);   // clipped to the control
  EXPECT_EQ(M.Pixel(5 + 50, 7 + 80), White);
  EXPECT_EQ(M.Pixel(2, 2), White);
  EXPECT_TRUE(T.Box->SawPaintCopy);
  EXPECT_FALSE(T.Box->ControlState().Contains(csPaintCopy));
  // The form is painted from its client area on, as on the screen.
  uitest::TMemoryDC W(320, 240);
  T.Form->PaintTo(W.DC(), 0, 0);
  const TPoint O = T.Form->ClientOrigin();
  RECT WR;
  GetWindowRect(T.Form->Handle(), &WR);
  const int DX = O.X - WR.left, DY = O.Y - WR.top;
  EXPECT_EQ(W.Pixel(DX + 10 + 50, DY + 10 + 10), Red);
  EXPECT_EQ(W.Pixel(DX + 10 + 25, DY + 10 + 25), Green);
  EXPECT_EQ(W.Pixel(DX + 200, DY + 100), ColorToRGB(clBtnFace));
}

TEST(Painting, WmPaintAndEraseBkgndPaintIntoTheDCOfWParam) {
  TTree T;
  {
    uitest::TMemoryDC M(120, 100);
    T.Box->Perform(WM_PAINT, reinterpret_cast<WPARAM>(M.DC()), 0);
    EXPECT_EQ(M.Pixel(1, 1), Blue);
    EXPECT_EQ(M.Pixel(50, 10), Red);
    EXPECT_EQ(M.Pixel(25, 25), Green);  // graphic children come with their parent
    EXPECT_EQ(M.Pixel(110, 10), White);
  }
  {
    // Through the window itself, as another window would ask for the picture.
    uitest::TMemoryDC M(120, 100);
    SendMessageW(T.Box->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(M.DC()), 0);
    EXPECT_EQ(M.Pixel(50, 10), Red);
    EXPECT_EQ(M.Pixel(25, 25), Green);
  }
  {
    uitest::TMemoryDC M(40, 40);
    EXPECT_EQ(SendMessageW(T.Pane->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(M.DC()), 0), 1);
    EXPECT_EQ(M.Pixel(5, 5), Yellow);
    EXPECT_EQ(M.Pixel(35, 35), White);  // only the client area
    // A colour change takes effect on the next erase.
    T.Pane->SetColor(clBlue);
    SendMessageW(T.Pane->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(M.DC()), 0);
    EXPECT_EQ(M.Pixel(5, 5), Blue);
  }
  {
    // A graphic control paints itself into a DC given to it.
    uitest::TMemoryDC M(40, 40);
    T.Dot->Perform(WM_PAINT, reinterpret_cast<WPARAM>(M.DC()), 0);
    EXPECT_EQ(M.Pixel(0, 0), Green);
    EXPECT_EQ(M.Pixel(29, 29), Green);
  }
}

TEST(Painting, ShownControlsAppearOnTheScreen) {
  TTree T;
  T.Form->SetColor(clNavy);
  T.Form->Show();
  uitest::PumpFor(100);
  HWND Box = T.Box->Handle();
  EXPECT_EQ(uitest::ScreenPixel(Box, 50, 10), Red);
  EXPECT_EQ(uitest::ScreenPixel(Box, 1, 1), Blue);
  EXPECT_EQ(uitest::ScreenPixel(Box, 25, 25), Green);
  EXPECT_EQ(uitest::ScreenPixel(T.Pane->Handle(), 5, 5), Yellow);
  EXPECT_EQ(uitest::ScreenPixel(T.Form->Handle(), 200, 100), RGB(0, 0, 128));

  // The canvas draws outside of painting too.
  T.Box->Canvas()->Brush()->SetColor(clFuchsia);
  T.Box->Canvas()->FillRect(Rect(70, 5, 80, 15));
  EXPECT_EQ(uitest::WindowPixel(Box, 75, 10), RGB(255, 0, 255));
  T.Dot->Canvas()->Brush()->SetColor(clAqua);
  T.Dot->Canvas()->FillRect(Rect(0, 0, 5, 5));
  T.Dot->Canvas()->FillRect(Rect(-50, -50, 0, 100));
  EXPECT_EQ(uitest::WindowPixel(Box, 22, 22), RGB(0, 255, 255));
  EXPECT_EQ(uitest::WindowPixel(Box, 27, 27), Green);  // clipped to the graphic control

  // Moving the graphic child repaints the old and the new place.
  T.Dot->SetLeft(60);
  T.Form->Update();
  uitest::Pump();
  EXPECT_EQ(uitest::ScreenPixel(Box, 25, 25), Red);
  EXPECT_EQ(uitest::ScreenPixel(Box, 65, 22), Green);

  uitest::SaveScreenshot(T.Form->Handle(), "controls_paint");
}
