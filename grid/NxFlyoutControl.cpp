#include "grid/NxFlyoutControl.h"

#include <algorithm>

#include "framework/Exceptions.h"

TUpdateLayeredWindowProc FindUpdateLayeredWindow() {
  HMODULE User = GetModuleHandleW(L"user32.dll");
  if (User == nullptr) return nullptr;
  return reinterpret_cast<TUpdateLayeredWindowProc>(
      reinterpret_cast<void*>(GetProcAddress(User, "UpdateLayeredWindow")));
}

TUpdateLayeredWindowProc FlyoutUpdateLayeredWindow = FindUpdateLayeredWindow();

// ---------------------------------------------------------------------------------------------
// TFlyoutPicture

TFlyoutPicture::TFlyoutPicture(int Width, int Height) : FWidth(std::max(Width, 1)), FHeight(std::max(Height, 1)) {
  BITMAPINFO BI{};
  BI.bmiHeader.biSize = sizeof(BI.bmiHeader);
  BI.bmiHeader.biWidth = FWidth;
  BI.bmiHeader.biHeight = -FHeight;  // top-down
  BI.bmiHeader.biPlanes = 1;
  BI.bmiHeader.biBitCount = 32;
  BI.bmiHeader.biCompression = BI_RGB;
  FDC = CreateCompatibleDC(nullptr);
  if (FDC != nullptr)
    FBitmap = CreateDIBSection(FDC, &BI, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits), nullptr, 0);
  if (FBitmap == nullptr || FBits == nullptr) {
    if (FDC != nullptr) DeleteDC(FDC);
    throw EOSError(Format("Cannot create a picture of %d x %d pixels", FWidth, FHeight));
  }
  FOldBitmap = SelectObject(FDC, FBitmap);
  std::fill_n(FBits, static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight), 0u);
}

TFlyoutPicture::~TFlyoutPicture() {
  SelectObject(FDC, FOldBitmap);
  DeleteObject(FBitmap);
  DeleteDC(FDC);
}

DWORD* TFlyoutPicture::Bits() const {
  GdiFlush();
  return FBits;
}

DWORD TFlyoutPicture::Pixel(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
    throw ERangeError(Format("Pixel (%d, %d) lies outside the %d x %d picture", X, Y, FWidth, FHeight));
  return Bits()[static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(X)];
}

// ---------------------------------------------------------------------------------------------
// TNxFlyoutControl

TNxFlyoutControl::TNxFlyoutControl(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  FControlStyle.Include(csNoDesignVisible);
  BringToFront();
}

TNxFlyoutControl::~TNxFlyoutControl() = default;

void TNxFlyoutControl::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = (Params.Style & ~static_cast<DWORD>(WS_CHILD | WS_GROUP | WS_TABSTOP)) | WS_POPUP;
  Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  if (WantsLayered()) Params.ExStyle |= WS_EX_LAYERED;
  Params.WindowClass.style |= CS_SAVEBITS;
}

void TNxFlyoutControl::CreateWnd() {
  TCustomControl::CreateWnd();
  FLayered = (GetWindowLongW(FHandle, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  UpdateShape();
}

void TNxFlyoutControl::DestroyWnd() {
  FPicture.reset();
  FLayered = false;
  TCustomControl::DestroyWnd();
}

void TNxFlyoutControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_ERASEBKGND:
      M.Result = 1;
      return;
    case WM_MOUSEACTIVATE:
      M.Result = MA_NOACTIVATE;
      return;
    default:
      TCustomControl::Dispatch(M);
      return;
  }
}

bool TNxFlyoutControl::WantsLayered() const { return FAlpha < 255 && FlyoutUpdateLayeredWindow != nullptr; }

void TNxFlyoutControl::SetAlpha(Byte Value) {
  if (FAlpha == Value) return;
  FAlpha = Value;
  if (!HandleAllocated()) return;
  UpdateLayering();
  if (FLayered)
    Invalidate();
}

void TNxFlyoutControl::UpdateLayering() {
  if (!HandleAllocated()) return;
  const bool Want = WantsLayered();
  if (Want == FLayered) return;
  const LONG Ex = GetWindowLongW(FHandle, GWL_EXSTYLE);
  SetWindowLongW(FHandle, GWL_EXSTYLE, Want ? (Ex | WS_EX_LAYERED) : (Ex & ~static_cast<LONG>(WS_EX_LAYERED)));
  FLayered = Want;
  if (!Want) {
    // An ordinary window again: it paints itself through WM_PAINT.
    FPicture.reset();
    InvalidateRect(FHandle, nullptr, FALSE);
  }
}

void TNxFlyoutControl::UpdateLayeredPicture() {
  if (!HandleAllocated() || !FLayered || FlyoutUpdateLayeredWindow == nullptr) return;
  const int W = Width(), H = Height();
  if (W <= 0 || H <= 0) return;
  auto Picture = std::make_unique<TFlyoutPicture>(W, H);
  PaintWindow(Picture->DC());
  // Inside the shape every pixel gets the flyout's alpha (colours premultiplied); outside it
  // stays fully transparent.
  HRGN Shape = CreateShape();
  DWORD* Bits = Picture->Bits();
  const DWORD A = FAlpha;
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) {
      DWORD& P = Bits[static_cast<std::size_t>(Y) * static_cast<std::size_t>(W) + static_cast<std::size_t>(X)];
      if (Shape != nullptr && !PtInRegion(Shape, X, Y)) {
        P = 0;
        continue;
      }
      const DWORD R = ((P >> 16) & 0xFF) * A / 255, G = ((P >> 8) & 0xFF) * A / 255, B = (P & 0xFF) * A / 255;
      P = (A << 24) | (R << 16) | (G << 8) | B;
    }
  if (Shape != nullptr) DeleteObject(Shape);
  SIZE Size{W, H};
  POINT Source{0, 0};
  BLENDFUNCTION Blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  HDC ScreenDC = GetDC(nullptr);
  FlyoutUpdateLayeredWindow(FHandle, ScreenDC, nullptr, &Size, Picture->DC(), &Source, 0, &Blend, ULW_ALPHA);
  ReleaseDC(nullptr, ScreenDC);
  FPicture = std::move(Picture);
}

void TNxFlyoutControl::CMShowingChanged(TMessage& M) {
  if (Showing() && HandleAllocated()) {
    // The system function may have come or gone since the window was made.
    UpdateLayering();
    // A layered window shows nothing until it has a picture.
    if (FLayered) UpdateLayeredPicture();
  }
  TCustomControl::CMShowingChanged(M);
  if (!HandleAllocated()) return;
  if (Showing())
    SetWindowPos(FHandle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  else
    FPicture.reset();
}

void TNxFlyoutControl::Invalidate() {
  if (FLayered && HandleAllocated()) {
    if (Showing()) UpdateLayeredPicture();
    return;
  }
  TCustomControl::Invalidate();
}

void TNxFlyoutControl::Resize() {
  TCustomControl::Resize();
  if (FLayered && Showing()) UpdateLayeredPicture();
}

void TNxFlyoutControl::UpdateShape() {
  if (!HandleAllocated()) return;
  // The system owns the region once it is set (nullptr: the whole window).
  SetWindowRgn(FHandle, CreateShape(), TRUE);
  if (FLayered && Showing()) UpdateLayeredPicture();
}

void TNxFlyoutControl::ShowAt(const TRect& ScreenRect) {
  SetBounds(ScreenRect.Left, ScreenRect.Top, ScreenRect.Width(), ScreenRect.Height());
  SetVisible(true);
}

void TNxFlyoutControl::MoveTo(int X, int Y) { SetBounds(X, Y, Width(), Height()); }

// ---------------------------------------------------------------------------------------------
// TRollShadow

TRollShadow::TRollShadow(TComponent* AOwner) : TNxFlyoutControl(AOwner) {
  SetBounds(0, 0, 32, 32);
  SetTranslucent(true);
}

void TRollShadow::SetTranslucent(bool Value) {
  FTranslucent = Value;
  SetAlpha(Value ? RollShadowAlpha : 255);
}

void TRollShadow::ShowAt(TPoint P) {
  UpdateShape();
  FPoint = P;
  SetBounds(P.X - 7, P.Y - 11, 32, 32);
  SetVisible(true);
}

void TRollShadow::Paint() {
  Canvas()->Brush()->SetStyle(bsSolid);
  Canvas()->Brush()->SetColor(clGrayText);
  Canvas()->FillRect(ClientRect());
}

HRGN TRollShadow::CreateShape() {
  // An arrow head up, an arrow head down and the dot between them.
  const POINT Up[] = {{-1, 7}, {7, -1}, {8, 0}, {14, 7}, {0, 6}};
  const POINT Down[] = {{-1, 15}, {14, 15}, {6, 22}, {6, 22}, {-1, 14}};
  HRGN Shape = CreatePolygonRgn(Up, 5, WINDING);
  HRGN Part = CreatePolygonRgn(Down, 5, WINDING);
  CombineRgn(Shape, Shape, Part, RGN_OR);
  DeleteObject(Part);
  Part = CreateEllipticRgn(5, 9, 10, 14);
  CombineRgn(Shape, Shape, Part, RGN_OR);
  DeleteObject(Part);
  return Shape;
}
