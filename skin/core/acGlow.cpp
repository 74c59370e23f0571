#include "skin/core/acGlow.h"

#include <vector>

#include "skin/core/acPixels.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sSkinManager.h"

TacUpdateLayeredWindow acUpdateLayeredWindow = nullptr;
BLENDFUNCTION acGlowBlend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

namespace {

std::vector<TacGlowEffect*> Glows;
// Set while the unit shuts down: glow windows are then freed at once.
bool ShuttingDown = false;

// Start-up and shut-down of the unit: the layered-window function of user32.dll, and the glows
// that are still shown at the end.
struct TGlowUnit {
  HMODULE User32 = nullptr;
  TGlowUnit() {
    User32 = LoadLibraryA("user32.dll");
    if (User32 == nullptr) return;
    void* Proc = reinterpret_cast<void*>(GetProcAddress(User32, "UpdateLayeredWindow"));
    acUpdateLayeredWindow = reinterpret_cast<TacUpdateLayeredWindow>(Proc);
  }
  ~TGlowUnit() {
    ShuttingDown = true;
    ClearGlows();
    Glows.shrink_to_fit();
    acUpdateLayeredWindow = nullptr;
    if (User32 != nullptr) FreeLibrary(User32);
  }
};
TGlowUnit GlowUnit;

// The layered window blends premultiplied pixels: colour channels are scaled by their alpha.
void PremultiplyAlpha(const TacPixels& P) {
  if (!P.Is32()) return;
  for (int Y = 0; Y < P.Height; ++Y) {
    Byte* Px = P.Row(Y);
    for (int X = 0; X < P.Width; ++X, Px += 4) {
      const unsigned A = Px[3];
      if (A == 255) continue;
      for (int I = 0; I < 3; ++I) Px[I] = static_cast<Byte>((Px[I] * A + 127) / 255);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TacGlowEffect

// Hears of the destruction of the effect's manager.
class TacGlowEffect::TManagerLink : public TComponent {
  T_CLASS(TManagerLink, TComponent)

 public:
  explicit TManagerLink(TacGlowEffect* Effect) : TComponent(nullptr), FEffect(Effect) {}
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FEffect->FSkinManager) FEffect->ManagerGone();
  }

 private:
  TacGlowEffect* FEffect;
};

TacGlowEffect::TacGlowEffect(TsSkinManager* Manager)
    : FSkinManager(Manager != nullptr ? Manager : TsSkinManager::DefaultManager()) {
  if (FSkinManager != nullptr) {
    FLink = std::make_unique<TManagerLink>(this);
    FLink->FreeNotification(FSkinManager);
  }
}

TacGlowEffect::~TacGlowEffect() {
  const bool ManagerGoing = FSkinManager != nullptr && FSkinManager->IsDestroying();
  FreeForm(ManagerGoing || ShuttingDown);
  if (FLink != nullptr && FSkinManager != nullptr) FLink->RemoveFreeNotification(FSkinManager);
  FLink.reset();
}

void TacGlowEffect::ManagerGone() {
  FreeForm(true);
  FSkinManager = nullptr;
  MaskIndex = -1;
}

void TacGlowEffect::FreeForm(bool AtOnce) {
  if (FForm == nullptr) return;
  TForm* Form = FForm;
  FForm = nullptr;
  Form->SetWindowProc(FOldWndProc);
  if (AtOnce || !Form->HandleAllocated()) {
    delete Form;
  } else {
    // The window disappears now; the form goes once the messages already waiting are handled.
    ShowWindow(Form->Handle(), SW_HIDE);
    Form->Release();
  }
}

void TacGlowEffect::Repaint(int Width, int Height) {
  FBitmap.reset();
  FBitmap.reset(CreateBmp32(Width, Height));
  const TacPixels P = BitmapPixels(FBitmap.get());
  for (int Y = 0; Y < P.Height; ++Y) std::fill_n(P.Row(Y), static_cast<std::size_t>(P.Width) * 4, Byte{0});
  if (FSkinManager != nullptr && FSkinManager->IsValidMaskIndex(MaskIndex)) {
    // The centre lies over the control itself: only the frame of the image is painted.
    const TCacheInfo NoBackground{};
    DrawSkinRect(FBitmap.get(), Rect(0, 0, Width, Height), false, NoBackground,
                 FSkinManager->Masks()[static_cast<std::size_t>(MaskIndex)], 0, false);
  }
}

void TacGlowEffect::WndProc(TMessage& Message) {
  if (Message.Msg == WM_NCHITTEST) {
    Message.Result = HTTRANSPARENT;
    return;
  }
  FOldWndProc(Message);
}

void TacGlowEffect::BuildWindow(const TRect& R, const TRect& C, HWND Wnd) {
  if (FForm != nullptr) return;
  FForm = new TForm(nullptr);
  FOldWndProc = FForm->WindowProc();
  FForm->SetWindowProc([this](TMessage& M) { WndProc(M); });
  TControlStyle Style = FForm->ControlStyle();
  Style.Exclude(csCaptureMouse);
  FForm->SetControlStyle(Style);
  FForm->SetBorderStyle(bsNone);
  FForm->SetVisible(false);

  int WL = 0, WT = 0, WR = 0, WB = 0;
  if (FSkinManager != nullptr && FSkinManager->IsValidMaskIndex(MaskIndex)) {
    WL = FSkinManager->GetMaskLeftMargin(MaskIndex);
    WT = FSkinManager->GetMaskTopMargin(MaskIndex);
    WR = FSkinManager->GetMaskRightMargin(MaskIndex);
    WB = FSkinManager->GetMaskBottomMargin(MaskIndex);
  }
  int W = R.Width() + WL + WR - 2 * Margin;
  int H = R.Height() + WT + WB - 2 * Margin;
  // A control too small for its glow's margins gets no window.
  if (W < 1 || H < 1) return;
  acGlowBlend.SourceConstantAlpha = 255;
  Repaint(W, H);

  // The part of the glow around the visible part of the control.
  int l = 0, t = 0, r = 0, b = 0;
  if (R.Width() != C.Width() || R.Height() != C.Height()) {
    l = C.Left != 0 ? WL + C.Left - Margin : 0;
    t = C.Top != 0 ? WT + C.Top - Margin : 0;
    if (R.Width() == C.Right)
      r = 0;
    else if (l != 0)
      r = W - l - C.Width();
    else
      r = (R.Width() - C.Width()) + WR - Margin;
    if (R.Height() == C.Bottom)
      b = 0;
    else if (t == 0)
      b = (R.Height() - C.Height()) + WB - Margin;
    else
      b = H - t - C.Height();
    W -= l + r;
    H -= t + b;
    if (W < 1 || H < 1 || l < 0 || t < 0) {
      FBitmap.reset();
      return;
    }
    if (l != 0 || t != 0) {
      std::unique_ptr<TBitmap> Part(CreateBmp32(W, H));
      BitBlt(Part->Canvas()->Handle(), 0, 0, W, H, FBitmap->Canvas()->Handle(), l, t, SRCCOPY);
      FBitmap = std::move(Part);
    }
  }
  FForm->SetWidth(W);
  FForm->SetHeight(H);

  HWND InsertAfter;
  if (GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) {
    FForm->SetFormStyle(fsStayOnTop);
    InsertAfter = HWND_TOPMOST;
  } else {
    InsertAfter = GetWindow(Wnd, GW_HWNDPREV);
    if (InsertAfter == nullptr) InsertAfter = Wnd;
  }
  const HWND Glow = FForm->Handle();
  SetWindowPos(Glow, InsertAfter, R.Left - WL + Margin + l, R.Top - WT + Margin + t, W, H,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowLongW(Glow, GWL_EXSTYLE, GetWindowLongW(Glow, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TOOLWINDOW);

  PremultiplyAlpha(BitmapPixels(FBitmap.get()));
  HDC ScreenDC = GetDC(nullptr);
  SIZE Size{W, H};
  POINT Source{0, 0};
  if (acUpdateLayeredWindow != nullptr)
    acUpdateLayeredWindow(Glow, ScreenDC, nullptr, &Size, FBitmap->Canvas()->Handle(), &Source, 0, &acGlowBlend,
                          ULW_ALPHA);
  ShowWindow(Glow, SW_SHOWNOACTIVATE);
  ReleaseDC(nullptr, ScreenDC);
  // The layered window keeps its own copy of the picture.
  FBitmap.reset();
}

// ---------------------------------------------------------------------------------------------
// The list of glows

int ShowGlow(const TRect& R, const TRect& C, const AnsiString& SectionName, const AnsiString& MaskName, int Margin,
             int /*Alpha*/, HWND Wnd, TsSkinManager* Manager) {
  if (acUpdateLayeredWindow == nullptr) return -1;
  auto Effect = std::make_unique<TacGlowEffect>(Manager);
  if (Effect->SkinManager() == nullptr) return -1;
  const int Index = Effect->SkinManager()->GetOwnMaskIndex(SectionName, MaskName + "0");
  if (Index < 0) return -1;
  Effect->Margin = Margin;
  Effect->MaskIndex = Index;
  TacGlowEffect* Glow = Effect.release();
  Glows.push_back(Glow);
  const int Result = static_cast<int>(Glows.size()) - 1;
  try {
    Glow->BuildWindow(R, C, Wnd);
  } catch (...) {
    Glows[static_cast<std::size_t>(Result)] = nullptr;
    delete Glow;
    throw;
  }
  return Result;
}

void HideGlow(int Index) {
  if (Index < 0 || static_cast<std::size_t>(Index) >= Glows.size()) return;
  TacGlowEffect* Glow = Glows[static_cast<std::size_t>(Index)];
  Glows[static_cast<std::size_t>(Index)] = nullptr;
  delete Glow;
}

void ClearGlows() {
  // Taken out of the list first: freeing a glow may run code that asks for the list.
  std::vector<TacGlowEffect*> Old;
  Old.swap(Glows);
  for (TacGlowEffect* Glow : Old) delete Glow;
}

int GlowListLength() { return static_cast<int>(Glows.size()); }

TacGlowEffect* GlowAt(int Index) {
  if (Index < 0 || static_cast<std::size_t>(Index) >= Glows.size()) return nullptr;
  return Glows[static_cast<std::size_t>(Index)];
}
