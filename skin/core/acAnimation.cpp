// Control-tree snapshots and the animated form show. Win32.
#include "skin/core/acAnimation.h"

#include <algorithm>
#include <memory>

#include "framework/Exceptions.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sVclUtils.h"

HDC acAnimationDC = nullptr;
void (*acFadePause)(int Milliseconds) = [](int Milliseconds) { Sleep(static_cast<DWORD>(Milliseconds)); };

namespace {

TOutputWindow* OutputWindow = nullptr;
// The screen under the control, taken when the output window was placed.
std::unique_ptr<TBitmap> ScreenCapture;

constexpr UINT RedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;
constexpr UINT PlaceFlags = SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS;
constexpr int FadePause = 8;

// The steps of a fade over Levels levels (its target alpha or weight). The fade moves by Levels
// div Steps per step, so more steps than levels would move by nothing: the picture would not
// change while the thread waited out up to 8,191 pauses (a Time of 2,048 ms or more). A fade has
// at most one step per level, so a long one lasts about 2 s and shows every level.
int FadeSteps(int Steps, int Levels) { return std::min(Steps, std::max(Levels, 0)); }

// Where the children of a windowed control lie in its picture: the client area's place in the
// window (the provider's client offset for the form it skins).
TPoint ChildOrigin(TWinControl* Control, TObject* Provider) {
  if (Provider != nullptr && acProviderLink.ClientOffset) return acProviderLink.ClientOffset(Provider);
  if (!Control->HandleAllocated()) return TPoint{};
  const TRect R = GetClientRectInWindow(Control->Handle());
  return TPoint{R.Left, R.Top};
}

void PaintTree(TBitmap* Bmp, TControl* Control, int X, TObject* Provider, int Y) {
  HDC DC = Bmp->Canvas()->Handle();
  if (!Control->Visible()) {
    TWinControl* Parent = Control->Parent();
    if (Provider == nullptr && Parent != nullptr) {
      // What the parent shows under the control.
      TacBGInfo Info;
      QueryParentBackground(Info, Parent, false);
      if (Info.BgType == btCache && Info.Bmp != nullptr)
        BitBlt(DC, X, Y, Control->Width(), Control->Height(), Info.Bmp->Canvas()->Handle(),
               Info.Offset.X + Control->Left(), Info.Offset.Y + Control->Top(), SRCCOPY);
      else
        FillRectSolid(DC, Bounds(X, Y, Control->Width(), Control->Height()), Info.Color);
    }
    return;
  }
  const bool Bordered = ProviderBorderWindow(Provider) != nullptr;
  if (!Bordered) IntersectClipRect(DC, 0, 0, Control->Width(), Control->Height());

  auto* Win = dynamic_cast<TWinControl*>(Control);
  if (Win == nullptr) {
    Control->Perform(WM_PRINT, reinterpret_cast<WPARAM>(DC), 0);
    return;
  }

  auto* Form = dynamic_cast<TForm*>(Win);
  if (Form != nullptr && Form->FormStyle() == fsMDIForm) {
    for (int I = 0; I < Form->MDIChildCount(); ++I) {
      TCustomForm* Child = Form->MDIChildren(I);
      const int Saved = SaveDC(DC);
      MoveWindowOrg(DC, Child->Left(), Child->Top());
      PaintTree(Bmp, Child, 0, nullptr, 0);
      RestoreDC(DC, Saved);
    }
  }

  Win->HandleNeeded();
  HWND Wnd = Win->Handle();
  if (WindowAnswersCommand(Wnd, AC_ISSKINNED)) {
    SendMessageW(Wnd, WM_PRINT, reinterpret_cast<WPARAM>(DC), 0);
  } else {
    // A top-level window's own frame first (the client painting does not draw it).
    if ((GetWindowLongW(Wnd, GWL_STYLE) & WS_CHILD) == 0)
      SendMessageW(Wnd, WM_PRINT, reinterpret_cast<WPARAM>(DC), PRF_NONCLIENT);
    Win->PaintTo(DC, 0, 0);
  }

  const TPoint Origin = ChildOrigin(Win, Provider);
  for (int I = 0; I < Win->ControlCount(); ++I) {
    auto* Child = dynamic_cast<TWinControl*>(Win->Controls(I));
    if (Child == nullptr || !Child->Visible()) continue;
    const int Saved = SaveDC(DC);
    auto* ChildForm = dynamic_cast<TCustomForm*>(Child);
    if (ChildForm == nullptr || ChildForm->Parent() != nullptr)
      MoveWindowOrg(DC, Origin.X + Child->Left(), Origin.Y + Child->Top());
    PaintTree(Bmp, Child, 0, nullptr, 0);
    RestoreDC(DC, Saved);
  }

  if (Bordered && Bmp->PixelFormat() == pf32bit) {
    // The client area is opaque in the layered picture.
    GdiFlush();
    const TacPixels P = BitmapPixels(Bmp);
    TRect R = Win->ClientRect();
    const TPoint Offset = ChildOrigin(Win, Provider);
    R.Offset(Offset.X, Offset.Y);
    const int Left = std::max(0, R.Left), Right = std::min(P.Width, R.Right);
    const int Top = std::max(0, R.Top), Bottom = std::min(P.Height, R.Bottom);
    for (int Row = Top; Row < Bottom; ++Row)
      for (int Col = Left; Col < Right; ++Col) P.Pixel(Col, Row)[3] = 255;
  }
}

// Publishes the DC of a snapshot while it is painted.
struct TSnapshotScope {
  TCanvas* Canvas;
  explicit TSnapshotScope(TBitmap* Bmp) : Canvas(Bmp->Canvas()) {
    Canvas->Lock();
    acAnimationDC = Canvas->Handle();
  }
  ~TSnapshotScope() {
    acAnimationDC = nullptr;
    Canvas->Unlock();
  }
};

// The end of an animation however it ends: the forms-updating flag down, drawing restored.
struct TAnimationEnd {
  HWND Wnd;
  bool Done = false;
  explicit TAnimationEnd(HWND AWnd) : Wnd(AWnd) {}
  void Finish() {
    if (Done) return;
    Done = true;
    acFormsUpdating = false;
    SendMessageW(Wnd, WM_SETREDRAW, 1, 0);
  }
  ~TAnimationEnd() { Finish(); }
};

void FreeOutputWindow() {
  delete OutputWindow;
  OutputWindow = nullptr;
  ScreenCapture.reset();
}

void AnimateLayered(TCustomForm* Form, TObject* Provider, int Steps) {
  HWND Wnd = Form->Handle();
  HWND Border = ProviderBorderWindow(Provider);
  TAnimationEnd End(Wnd);

  const bool AlphaBlend = Form->AlphaBlend();
  const Byte Alpha = AlphaBlend ? Form->AlphaBlendValue() : 255;
  struct TAlphaRestore {
    TCustomForm* Form;
    bool Active;
    Byte Value;
    ~TAlphaRestore() {
      if (Active) Form->SetAlphaBlendValue(Value);
    }
  } AlphaRestore{Form, AlphaBlend, Alpha};
  if (AlphaBlend) Form->SetAlphaBlendValue(1);

  TSize Size = acProviderLink.PaintAll ? acProviderLink.PaintAll(Provider) : TSize{};
  if (Size.cx <= 0 || Size.cy <= 0) {
    RECT WR;
    GetWindowRect(Wnd, &WR);
    Size = TSize{WR.right - WR.left, WR.bottom - WR.top};
  }
  std::unique_ptr<TBitmap> Picture(CreateBmp32(std::max(1, static_cast<int>(Size.cx)), std::max(1, static_cast<int>(Size.cy))));
  FillRect32(Picture.get(), Rect(0, 0, Picture->Width(), Picture->Height()), 0);
  {
    // FillRect32 writes alpha 255: the area outside the form's picture starts transparent.
    GdiFlush();
    const TacPixels P = BitmapPixels(Picture.get());
    for (int Row = 0; Row < P.Height; ++Row)
      for (int Col = 0; Col < P.Width; ++Col) P.Pixel(Col, Row)[3] = 0;
    TSnapshotScope Scope(Picture.get());
    PaintControlTree(Picture.get(), Form, 0, Provider, 0);
  }

  BLENDFUNCTION Blend{AC_SRC_OVER, 0, static_cast<BYTE>(Steps > 0 ? 0 : Alpha), AC_SRC_ALPHA};

  // The fade shows the picture where the border window shows it, and the border window takes it
  // over there.
  RECT WR;
  GetWindowRect(Wnd, &WR);
  const TPoint Origin =
      acProviderLink.BorderImageOrigin ? acProviderLink.BorderImageOrigin(Provider) : TPoint{WR.left, WR.top};

  // The temporary window that shows the fade.
  std::unique_ptr<TForm> Temp(TCustomForm::Create<TForm>(nullptr));
  Temp->SetBorderStyle(bsNone);
  Temp->SetTag(-98);
  const bool TopMost = (GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (TopMost) Temp->SetFormStyle(fsStayOnTop);
  HWND TempWnd = Temp->Handle();
  HWND After = HWND_TOPMOST;
  if (!TopMost) {
    After = GetWindow(Wnd, GW_HWNDPREV);
    if (After == nullptr) After = HWND_TOP;
  }
  SetWindowPos(TempWnd, After, Origin.X, Origin.Y, Picture->Width(), Picture->Height(), PlaceFlags);
  SetWindowLongW(TempWnd, GWL_EXSTYLE, GetWindowLongW(TempWnd, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE);
  SetWindowLongW(Border, GWL_EXSTYLE, GetWindowLongW(Border, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE);

  HDC ScreenDC = GetDC(nullptr);
  struct TScreenDC {
    HDC DC;
    ~TScreenDC() { ReleaseDC(nullptr, DC); }
  } ScreenScope{ScreenDC};
  HDC PicDC = Picture->Canvas()->Handle();
  SIZE PicSize{Picture->Width(), Picture->Height()};
  POINT Zero{0, 0};
  const COLORREF NoKey = 0x1FFFFFFF;
  UpdateLayeredWindow(TempWnd, ScreenDC, nullptr, &PicSize, PicDC, &Zero, NoKey, &Blend, ULW_ALPHA);
  ShowWindow(TempWnd, SW_SHOWNOACTIVATE);

  if (Steps > 0) {
    const int Step = Alpha / Steps;
    int Current = 0;
    for (int I = 0; I <= Steps; ++I) {
      Current = std::min(Current + Step, static_cast<int>(Alpha));
      Blend.SourceConstantAlpha = static_cast<BYTE>(Current);
      UpdateLayeredWindow(TempWnd, ScreenDC, nullptr, &PicSize, PicDC, &Zero, NoKey, &Blend, ULW_ALPHA);
      acFadePause(FadePause);
    }
    Blend.SourceConstantAlpha = Alpha;
  }

  // The border window takes the picture over.
  ShowWindow(Border, SW_HIDE);
  SetWindowPos(Border, nullptr, Origin.X, Origin.Y, Picture->Width(), Picture->Height(), PlaceFlags | SWP_NOZORDER);
  POINT Pos{Origin.X, Origin.Y};
  UpdateLayeredWindow(Border, ScreenDC, &Pos, &PicSize, PicDC, &Zero, NoKey, &Blend, ULW_ALPHA);

  acFormsUpdating = false;
  if (AlphaBlend) {
    AlphaRestore.Active = false;
    Form->SetAlphaBlendValue(Alpha);
  }
  End.Finish();
  HRGN Region = acProviderLink.CreateBorderRegion ? acProviderLink.CreateBorderRegion(Provider) : nullptr;
  SetWindowRgn(Border, Region, FALSE);
  RedrawWindow(Wnd, nullptr, nullptr, RedrawAll);
  Temp.reset();
  // The provider shows its border window again, as it always does: behind the form, the form
  // back in front of it.
  if (acProviderLink.UpdateBorderWindow) acProviderLink.UpdateBorderWindow(Provider, true, 255);
}

void AnimatePlain(TWinControl* Control, TObject* Provider, int Steps) {
  HWND Wnd = Control->Handle();
  TAnimationEnd End(Wnd);
  struct TOutputScope {
    ~TOutputScope() { FreeOutputWindow(); }
  } OutputScope;

  if (OutputWindow == nullptr) ShowOutputWindow(Control);
  const int W = std::max(1, Control->Width());
  const int H = std::max(1, Control->Height());

  std::unique_ptr<TBitmap> Snapshot(CreateBmp24(W, H));
  {
    TSnapshotScope Scope(Snapshot.get());
    PaintControlTree(Snapshot.get(), Control, 0, nullptr, 0);
  }
  // The mix of capture and snapshot goes through a 32-bit work picture.
  std::unique_ptr<TBitmap> Work(CreateBmp32(W, H));

  HWND OutWnd = OutputWindow->Handle();
  if (Provider != nullptr && acProviderLink.CreateFormRgn) {
    if (acProviderLink.FillRgnRects) acProviderLink.FillRgnRects(Provider);
    SetWindowRgn(OutWnd, acProviderLink.CreateFormRgn(Provider), FALSE);
  }

  HDC OutDC = GetDC(OutWnd);
  struct TOutDC {
    HWND Wnd;
    HDC DC;
    ~TOutDC() { ReleaseDC(Wnd, DC); }
  } OutScope{OutWnd, OutDC};

  if (Steps > 0 && ScreenCapture != nullptr) {
    const int Step = 255 / Steps;
    int Weight = 255;
    for (int K = 0; K <= Steps; ++K) {
      SumBitmapsByMask(Work.get(), ScreenCapture.get(), Snapshot.get(), nullptr,
                       static_cast<Word>(std::max(0, Weight)));
      BitBlt(OutDC, 0, 0, W, H, Work->Canvas()->Handle(), 0, 0, SRCCOPY);
      Weight -= Step;
      if (K < Steps) acFadePause(FadePause);
    }
  }
  BitBlt(OutDC, 0, 0, W, H, Snapshot->Canvas()->Handle(), 0, 0, SRCCOPY);

  End.Finish();
  if (WindowsVersionAtLeast6()) RedrawWindow(Wnd, nullptr, nullptr, RedrawAll);
  auto* Form = dynamic_cast<TCustomForm*>(Control);
  const bool Layered = Form != nullptr && (GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  if (!Layered)
    SetWindowPos(OutWnd, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

}  // namespace

// ---- TOutputWindow -----------------------------------------------------------------------------

TOutputWindow::TOutputWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  FColor = 0x800080;
  FParentColor = false;
  SetText(AnsiString("acOutputWindow"));
}

void TOutputWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (Parent() == nullptr && ParentWindow() == nullptr) {
    Params.Style = WS_POPUP;
    Params.ExStyle = 0;
    auto* OwnerWin = dynamic_cast<TWinControl*>(Owner());
    if (OwnerWin != nullptr && OwnerWin->HandleAllocated() &&
        (GetWindowLongW(OwnerWin->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0)
      Params.ExStyle |= WS_EX_TOPMOST;
    Params.WndParent = Application != nullptr ? Application->Handle() : nullptr;
  }
}

void TOutputWindow::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    default:
      TCustomControl::Dispatch(Message);
  }
}

TOutputWindow* acOutputWindow() { return OutputWindow; }

// ---- The snapshot and the show -----------------------------------------------------------------

void PaintControlTree(TBitmap* Bmp, TControl* Control, int X, TObject* Provider, int Y) {
  if (Bmp == nullptr || Control == nullptr)
    throw EInvalidOperation("PaintControlTree needs a bitmap and a control");
  if (Bmp->Empty()) return;
  HDC DC = Bmp->Canvas()->HandleForSavedState();
  const int Saved = SaveDC(DC);
  try {
    PaintTree(Bmp, Control, X, Provider, Y);
  } catch (...) {
    RestoreDC(DC, Saved);
    throw;
  }
  RestoreDC(DC, Saved);
}

void ShowOutputWindow(TWinControl* Control) {
  if (Control == nullptr || OutputWindow != nullptr) return;
  HWND Wnd = Control->Handle();
  RECT WR;
  GetWindowRect(Wnd, &WR);
  const int W = std::max(1, Control->Width());
  const int H = std::max(1, Control->Height());

  ScreenCapture.reset(CreateBmp24(W, H));
  HDC ScreenDC = GetDC(nullptr);
  BitBlt(ScreenCapture->Canvas()->Handle(), 0, 0, W, H, ScreenDC, WR.left, WR.top, SRCCOPY);
  ReleaseDC(nullptr, ScreenDC);

  OutputWindow = new TOutputWindow(Control);
  try {
    if (TWinControl* Parent = Control->Parent()) {
      OutputWindow->SetParent(Parent);
      OutputWindow->SetBoundsRect(Control->BoundsRect());
      HWND Out = OutputWindow->Handle();
      HWND Above = GetWindow(Wnd, GW_HWNDPREV);
      SetWindowPos(Out, Above != nullptr ? Above : HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
      ShowWindow(Out, SW_SHOWNA);
    } else {
      OutputWindow->SetBounds(WR.left, WR.top, WR.right - WR.left, WR.bottom - WR.top);
      HWND Out = OutputWindow->Handle();
      HWND Above = GetWindow(Wnd, GW_HWNDPREV);
      SetWindowPos(Out, Above, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
  } catch (...) {
    FreeOutputWindow();
    throw;
  }
}

void AnimateFormShow(TWinControl* Control, int Time) {
  if (Control == nullptr || !Control->HandleAllocated()) return;
  acFormsUpdating = true;
  TObject* Provider = nullptr;
  auto* Form = dynamic_cast<TCustomForm*>(Control);
  if (Form != nullptr) Provider = FormSkinProvider(Form);
  const int Steps = (Time & 0xFFFF) >> 3;
  if (Form != nullptr && Provider != nullptr && ProviderBorderWindow(Provider) != nullptr && LayeredWindowsAvailable())
    AnimateLayered(Form, Provider, FadeSteps(Steps, Form->AlphaBlend() ? Form->AlphaBlendValue() : 255));
  else
    AnimatePlain(Control, Provider, FadeSteps(Steps, 255));
}
