// Test support of forms and dialogs with extended borders: a skinned form in front of a red
// backdrop and a skinned modeless system dialog, each with a test skin of a border mode
// (extskin_support.h), what their border windows show, and the images given to layered windows.
// Win32.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "skin/core/acGlow.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/dlg_support.h"
#include "skin_forms/extskin_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace extform {

// A window (red unless said otherwise) behind the form under test, so that what the border window
// lets through shows.
struct TBackdrop {
  TForm* Form;
  explicit TBackdrop(const TRect& R, COLORREF Colour = RGB(255, 0, 0)) {
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetColor(static_cast<TColor>(Colour));
    Form->SetBounds(R.Left, R.Top, R.Width(), R.Height());
    uitest::ShowSettled(Form);
  }
  ~TBackdrop() { delete Form; }
};

// A skinned form with the test skin of a border mode (and title height), in front of a backdrop.
// Prepare runs on the form and its provider before the form is shown.
struct TExtForm {
  std::unique_ptr<TsSkinManager> Manager;
  std::unique_ptr<TBackdrop> Back;
  TForm* Form = nullptr;
  TsSkinProvider* Provider = nullptr;
  explicit TExtForm(int Mode, const std::function<void(TForm*, TsSkinProvider*)>& Prepare = nullptr,
                    int TitleHeight = 26) {
    sSkinProviderInstall();
    sSkinMenusInstall();
    Manager = extskin::LoadExtSkin(Mode, TitleHeight);
    Back = std::make_unique<TBackdrop>(TRect{150, 100, 650, 500});
    Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBounds(250, 180, 300, 220);
    Form->SetCaption(L"Extended borders");
    Provider = new TsSkinProvider(Form);
    Provider->SkinData()->SetSkinManager(Manager.get());
    if (Prepare) Prepare(Form, Provider);
    uitest::ShowSettled(Form);
    realinput::BringToFront(Form->Handle());
    uitest::PumpFor(100);
    if (Provider->BorderForm != nullptr) Provider->BorderForm->UpdateBorderWindow(true, 255);
    uitest::PumpFor(50);
  }
  ~TExtForm() {
    delete Form;
    uitest::Pump();
  }
  TBitmap* Image() const { return Provider->SkinData()->CacheBmp(); }
  HWND BorderWnd() const { return Provider->BorderForm->AForm->Handle(); }
  RECT BorderRect() const {
    RECT R;
    GetWindowRect(BorderWnd(), &R);
    return R;
  }
};

// A Prepare of TExtForm that turns the manager's extended borders on or off.
inline std::function<void(TForm*, TsSkinProvider*)> ExtendedBorders(bool On) {
  return [On](TForm*, TsSkinProvider* P) { P->SkinData()->SkinManager()->SetExtendedBorders(On); };
}

// Runs Body on a skinned form with the system frame, then on one with extended borders (a trace
// says which), each under a count of access violations.
inline void OnEachFrame(const std::function<void(TExtForm& F, bool Extended)>& Body) {
  for (bool Extended : {false, true}) {
    SCOPED_TRACE(Extended ? "extended borders" : "system frame");
    memguard::TFaultCount Faults;
    {
      TExtForm F(0, ExtendedBorders(Extended));
      Body(F, Extended);
    }
    EXPECT_EQ(Faults.Count(), 0);
  }
}

// The test skin of a border mode in the default manager, the hook of form skinning installed.
class TExtHookedSkin : public dlgtest::THookedSkin {
 public:
  explicit TExtHookedSkin(int Mode)
      : THookedSkin([Mode] {
          sSkinMenusInstall();
          return extskin::LoadExtSkin(Mode);
        }) {}
};

// A skinned modeless dialog (the standard template unless another is given), with extended
// borders unless asked for the system frame.
struct TExtDialog {
  std::unique_ptr<TExtHookedSkin> Skin;
  HWND Wnd = nullptr;
  TacDialogWnd* Adapter = nullptr;
  explicit TExtDialog(int Mode, const std::function<HWND()>& Make = nullptr, bool Extended = true) {
    Skin = std::make_unique<TExtHookedSkin>(Mode);
    Skin->Manager->SetExtendedBorders(Extended);
    DialogPosX = DialogPosY = -1;
    Wnd = Make ? Make() : dlgtest::CreateModeless(dlgtest::StandardDialog(DS_MODALFRAME, L"Extended dialog"));
    SetWindowPos(Wnd, nullptr, 260, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetForegroundWindow(Wnd);
    uitest::Settle(Wnd);
    uitest::PumpFor(100);
    if (TacProvider* P = FindDialogProvider(Wnd)) Adapter = P->DialogAdapter;
    if (Adapter != nullptr && Adapter->BorderForm != nullptr) Adapter->BorderForm->UpdateBorderWindow(true, 255);
    uitest::PumpFor(50);
  }
  ~TExtDialog() {
    if (IsWindow(Wnd)) DestroyWindow(Wnd);
    uitest::Pump();
    Skin.reset();
    DialogPosX = DialogPosY = -1;
  }
  HWND BorderWnd() const { return Adapter->BorderForm->AForm->Handle(); }
  RECT BorderRect() const {
    RECT R;
    GetWindowRect(BorderWnd(), &R);
    return R;
  }
  // The screen point of a point of the dialog's image: the border window shows the image at its
  // origin, a dialog without one is its own image.
  POINT ImageToScreen(int X, int Y) const {
    RECT R;
    GetWindowRect(Adapter->BorderForm != nullptr ? BorderWnd() : Wnd, &R);
    return POINT{R.left + X, R.top + Y};
  }
};

// Runs Body on a skinned dialog that Make makes with the system frame, then on one with extended
// borders (a trace says which), each under a count of access violations.
inline void OnEachDialogFrame(const std::function<HWND()>& Make,
                              const std::function<void(TExtDialog& D, bool Extended)>& Body) {
  for (bool Extended : {false, true}) {
    SCOPED_TRACE(Extended ? "extended borders" : "system frame");
    memguard::TFaultCount Faults;
    {
      TExtDialog D(0, Make, Extended);
      ASSERT_NE(D.Adapter, nullptr);
      ASSERT_EQ(D.Adapter->BorderForm != nullptr, Extended);
      Body(D, Extended);
    }
    EXPECT_EQ(Faults.Count(), 0);
  }
}

// Counts the images given to layered windows while it lives, and keeps the last one of each
// window (32-bit pixels as given, rows from the top).
class TLayeredUploads {
 public:
  struct TImage {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
    bool operator==(const TImage&) const = default;
  };
  TLayeredUploads() : Saved(acUpdateLayeredWindow) {
    Self = this;
    acUpdateLayeredWindow = &Upload;
  }
  ~TLayeredUploads() {
    acUpdateLayeredWindow = Saved;
    Self = nullptr;
  }
  TLayeredUploads(const TLayeredUploads&) = delete;
  TLayeredUploads& operator=(const TLayeredUploads&) = delete;
  int Count(HWND W) const {
    const auto It = Counts.find(W);
    return It == Counts.end() ? 0 : It->second;
  }
  TImage Last(HWND W) const {
    const auto It = Images.find(W);
    return It == Images.end() ? TImage{} : It->second;
  }
  void Clear() { Counts.clear(); }

 private:
  static BOOL WINAPI Upload(HWND W, HDC Dst, POINT* Pos, SIZE* Size, HDC Src, POINT* SrcPos, COLORREF Key,
                            BLENDFUNCTION* Blend, DWORD Flags) {
    if (Src != nullptr) {
      ++Self->Counts[W];
      TImage& I = Self->Images[W];
      I = TImage{};
      DIBSECTION D{};
      auto* B = static_cast<HBITMAP>(GetCurrentObject(Src, OBJ_BITMAP));
      if (Size != nullptr && GetObjectW(B, sizeof D, &D) == sizeof D && D.dsBm.bmBits != nullptr &&
          D.dsBm.bmBitsPixel == 32 && Size->cx <= D.dsBm.bmWidth && Size->cy <= D.dsBm.bmHeight) {
        GdiFlush();
        I.Width = Size->cx;
        I.Height = Size->cy;
        for (int Y = 0; Y < I.Height; ++Y) {
          const int Row = D.dsBmih.biHeight > 0 ? D.dsBm.bmHeight - 1 - Y : Y;
          const auto* P = reinterpret_cast<const std::uint32_t*>(static_cast<const Byte*>(D.dsBm.bmBits) +
                                                                  static_cast<std::ptrdiff_t>(Row) * D.dsBm.bmWidthBytes);
          I.Pixels.insert(I.Pixels.end(), P, P + I.Width);
        }
      }
    }
    return Self->Saved(W, Dst, Pos, Size, Src, SrcPos, Key, Blend, Flags);
  }
  static inline TLayeredUploads* Self = nullptr;
  TacUpdateLayeredWindow Saved;
  std::map<HWND, int> Counts;
  std::map<HWND, TImage> Images;
};

// Checks that the image a size step last gave the border window is what building the whole image
// again at that size gives it over an image of another colour: every pixel was painted for the
// new size. MarkStale marks what a rebuild paints again.
inline void ExpectStepImageBuiltAnew(const TLayeredUploads& Uploads, TacBorderForm* Border, TBitmap* Image,
                                     const std::function<void()>& MarkStale) {
  const HWND W = Border->AForm->Handle();
  const TLayeredUploads::TImage Stepped = Uploads.Last(W);
  ASSERT_GT(Stepped.Width, 0);
  GdiFlush();
  for (int Y = 0; Y < Image->Height(); ++Y)
    std::memset(Image->ScanLine(Y), 0x5A, static_cast<std::size_t>(Image->Width()) * 4);
  MarkStale();
  Border->UpdateBorderWindow(true, 255);
  const TLayeredUploads::TImage Anew = Uploads.Last(W);
  ASSERT_EQ(Anew.Width, Stepped.Width);
  ASSERT_EQ(Anew.Height, Stepped.Height);
  int Different = 0;
  for (std::size_t I = 0; I < Anew.Pixels.size(); ++I) Different += Anew.Pixels[I] != Stepped.Pixels[I];
  EXPECT_EQ(Different, 0);
}

// The pixels of a border window's image (Image, the owner's non-client image) that it shows opaque
// outside its owner's window, on the screen, and that the screen shows otherwise: where another
// window stands in front of the border window.
inline int BorderImageHidden(HWND Owner, HWND Border, TBitmap* Image) {
  if (Image == nullptr || Image->PixelFormat() != pf32bit) return 0;
  RECT BR{}, OR{};
  GetWindowRect(Border, &BR);
  GetWindowRect(Owner, &OR);
  const RECT Screen = uitest::ScreenBounds();
  const uitest::TCapture Shown = uitest::ScreenArea(BR);
  HRGN Region = CreateRectRgn(0, 0, 0, 0);
  const bool HasRegion = GetWindowRgn(Owner, Region) != ERROR;
  GdiFlush();
  int N = 0;
  for (int Y = 0; Y < std::min<int>(BR.bottom - BR.top, Image->Height()); ++Y) {
    const auto* Row = static_cast<const Byte*>(Image->ScanLine(Y));
    for (int X = 0; X < std::min<int>(BR.right - BR.left, Image->Width()); ++X) {
      const POINT P{BR.left + X, BR.top + Y};
      if (Row[X * 4 + 3] != 255 || !PtInRect(&Screen, P)) continue;
      if (PtInRect(&OR, P) && (!HasRegion || PtInRegion(Region, P.x - OR.left, P.y - OR.top))) continue;
      N += Shown.Pixel(X, Y) != RGB(Row[X * 4 + 2], Row[X * 4 + 1], Row[X * 4]);
    }
  }
  DeleteObject(Region);
  return N;
}

// The screen point of a point of a border window's image.
inline POINT OnBorder(HWND BorderWnd, int X, int Y) {
  RECT R;
  GetWindowRect(BorderWnd, &R);
  return POINT{R.left + X, R.top + Y};
}

// The centre of a caption button record (border-window image coordinates) on the screen.
inline POINT ButtonOnBorder(HWND BorderWnd, const TRect& Button) {
  return OnBorder(BorderWnd, (Button.Left + Button.Right) / 2, (Button.Top + Button.Bottom) / 2);
}

// The border window's hit code at a screen point.
inline int BorderHitAt(TacBorderForm* B, POINT S) {
  TMessage M{WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(S.x), static_cast<short>(S.y)), 0};
  return B->BorderHitTest(M);
}

namespace detail {
// The rest of a drag, sent one step per timer tick: the system's move and size loops run inside
// the press and handle the timer, as they handle a person's moves after the press.
inline std::vector<INPUT>& DragSteps() {
  static std::vector<INPUT> Steps;
  return Steps;
}
// The press the steps wait for: until it has been taken, a loaded machine could deliver the
// whole drag, release included, before the system's loop starts, which then sees no button down.
struct TDragPress {
  const realinput::TMouseWatch* Watch = nullptr;
  POINT At{};
};
inline TDragPress& DragPress() {
  static TDragPress P;
  return P;
}
inline void CALLBACK DragTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  std::vector<INPUT>& Steps = DragSteps();
  if (Steps.empty()) {
    KillTimer(nullptr, Id);
    return;
  }
  const TDragPress& Press = DragPress();
  if (Press.Watch != nullptr && !Press.Watch->Saw(Press.At, {WM_LBUTTONDOWN, WM_NCLBUTTONDOWN})) return;
  INPUT Next = Steps.front();
  Steps.erase(Steps.begin());
  SendInput(1, &Next, sizeof(INPUT));
}
}  // namespace detail

// A real drag: the owner window to the front, the pointer to From, the left button pressed there,
// moved in steps to To and released there.
inline bool Drag(HWND Front, POINT From, POINT To) {
  if (!realinput::BringToFront(Front) || !realinput::MovePointerSeen(From)) return false;
  realinput::TMouseWatch Watch;
  std::vector<INPUT>& Steps = detail::DragSteps();
  Steps.clear();
  for (int I = 1; I <= 4; ++I)
    Steps.push_back(
        realinput::ButtonAt(POINT{From.x + (To.x - From.x) * I / 4, From.y + (To.y - From.y) * I / 4}, 0));
  Steps.push_back(realinput::ButtonAt(To, MOUSEEVENTF_LEFTUP));
  detail::DragPress() = {&Watch, From};
  TScopeExit Forget([] { detail::DragPress() = {}; });
  SetTimer(nullptr, 0, 30, detail::DragTimer);
  realinput::SendButtons({realinput::ButtonAt(From, MOUSEEVENTF_LEFTDOWN)});
  // Done when the release has been taken (by the system's move or size loop, or the form).
  return uitest::WaitFor([&] { return Steps.empty() && Watch.Saw(To, {WM_LBUTTONUP, WM_NCLBUTTONUP}); });
}

}  // namespace extform
