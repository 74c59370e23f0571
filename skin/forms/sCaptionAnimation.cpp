// The fade of a skinned caption button: a timer that steps the constant alpha of a small layered,
// click-through window laid over the button.
#include "skin/forms/sCaptionAnimation.h"

#include <algorithm>
#include <cstring>

#include "skin/core/acGlow.h"
#include "skin/core/acPixels.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/sSkinProvider.h"

namespace {

constexpr int FadeInterval = 12;

bool HasGlowCode(int HitCode) { return HitCode == HTMINBUTTON || HitCode == HTMAXBUTTON || HitCode == HTCLOSE; }

// The window of a border form (0 when none or not made yet).
HWND BorderFormWindow(TacBorderForm* B) {
  return B != nullptr && B->AForm != nullptr && B->AForm->HandleAllocated() ? B->AForm->Handle() : nullptr;
}

void PremultiplyPixels(TBitmap* Bmp) {
  const TacPixels P = BitmapPixels(Bmp);
  if (!P.Is32()) return;
  for (int Y = 0; Y < P.Height; ++Y) {
    Byte* Px = P.Row(Y);
    for (int X = 0; X < P.Width; ++X, Px += 4) {
      const int A = Px[3];
      Px[0] = static_cast<Byte>(Px[0] * A / 255);
      Px[1] = static_cast<Byte>(Px[1] * A / 255);
      Px[2] = static_cast<Byte>(Px[2] * A / 255);
    }
  }
}

void SetAlphaOpaque(TBitmap* Bmp) {
  const TacPixels P = BitmapPixels(Bmp);
  if (!P.Is32()) return;
  for (int Y = 0; Y < P.Height; ++Y) {
    Byte* Px = P.Row(Y);
    for (int X = 0; X < P.Width; ++X, Px += 4) Px[3] = 255;
  }
}

// The layered window's procedure: clicks fall through to the button below.
class TGlowFormHook {
 public:
  static void Install(TForm* Form) {
    TWndMethod Old = Form->WindowProc();
    Form->SetWindowProc([Old](TMessage& M) {
      if (M.Msg == WM_NCHITTEST) {
        M.Result = HTTRANSPARENT;
        return;
      }
      if (M.Msg == WM_MOUSEACTIVATE) {
        M.Result = MA_NOACTIVATE;
        return;
      }
      Old(M);
    });
  }
};

}  // namespace

TacSBAnimation::TacSBAnimation(TComponent* AOwner) : TTimer(AOwner) {
  Step = 0;
  AnimState = 0;
  FadeIn = false;
  SetOnTimer([this](TObject* Sender) { OnTimerProc(Sender); });
}

TacSBAnimation::~TacSBAnimation() {
  SetEnabled(false);
  FreeWindowAndImage();
  if (Button != nullptr && Button->Timer == this) Button->Timer = nullptr;
}

void TacSBAnimation::FreeWindowAndImage() {
  delete GlowForm;
  GlowForm = nullptr;
  Image.reset();
}

int TacSBAnimation::StepSize() const { return Steps > 0 ? 255 / Steps : 0; }

HWND TacSBAnimation::BorderWindow() const {
  if (Provider != nullptr) return BorderFormWindow(Provider->BorderForm);
  return Owner.BorderWindow ? Owner.BorderWindow() : nullptr;
}

void TacSBAnimation::ChangeState(int NewState, bool AFadeIn) {
  if (NewState == AnimState) return;
  AnimState = NewState;
  if (NewState != 0) {
    if (NewState == 2) FreeWindowAndImage();  // rebuilt with the pressed look
    Step = 1;
    FadeIn = AFadeIn;
    SetAlpha(std::min(StepSize(), 255));
    Step = 2;
    if (Steps > 1) SetEnabled(true);
  } else {
    FadeIn = false;
    Step -= 1;
    SetAlpha(std::min(StepSize(), 255));
    if (Steps > 1) SetEnabled(true);
  }
}

void TacSBAnimation::OnTimerProc(TObject*) {
  if (FadeIn) {
    if (Step < Steps) {
      SetAlpha(ClampByte(StepSize() * Step));
      ++Step;
      return;
    }
    // The fade-in is complete: the window stays at full opacity. The leave check comes last, as
    // the owner's answer to WM_MOUSELEAVE may start a fade-out of this very animation.
    if (Steps != -1) {
      Steps = -1;
      SetAlpha(255);
    }
    SetEnabled(false);
    CheckMouseLeave();
    return;
  }
  if (Step > 0) {
    SetAlpha(ClampByte(StepSize() * Step));
    --Step;
    return;
  }
  AnimState = -1;
  SetEnabled(false);
  SetAlpha(0);
  FreeWindowAndImage();
}

void TacSBAnimation::CheckMouseLeave() {
  if (Button == nullptr || WndHandle == nullptr || !IsWindow(WndHandle)) return;
  POINT P;
  GetCursorPos(&P);
  RECT WR;
  HWND Ref = BorderWindow();
  GetWindowRect(Ref != nullptr ? Ref : WndHandle, &WR);
  const TRect& B = Button->Rect;
  const int X = P.x - WR.left, Y = P.y - WR.top;
  if (X < B.Left || X >= B.Right || Y < B.Top || Y >= B.Bottom) {
    SetEnabled(false);
    SendMessageA(WndHandle, WM_MOUSELEAVE, 0, 0);
  }
}

int TacSBAnimation::GlowMargin() {
  if (SkinData == nullptr || Button == nullptr || AnimState != 1 || !HasGlowCode(Button->HitCode)) return 0;
  TsSkinManager* M = SkinData->SkinManager();
  if (M == nullptr || !M->AllowGlowing() || M->SkinData() == nullptr) return 0;
  const TsSkinData* D = M->SkinData();
  switch (Button->HitCode) {
    case HTMINBUTTON: return D->BIMinGlowMargin;
    case HTMAXBUTTON: return D->BIMaxGlowMargin;
    default: return D->BICloseGlowMargin;
  }
}

namespace {
// The glow image of a button ("GLOBALINFO", the button image's name + "GLOW0"), -1 for none.
int GlowImageIndex(TsSkinManager* M, const TsCaptionButton* Button) {
  if (M == nullptr || Button == nullptr || !M->AllowGlowing() || !HasGlowCode(Button->HitCode) ||
      !M->IsValidMaskIndex(Button->ImageIndex))
    return -1;
  const AnsiString Name = M->Masks()[static_cast<std::size_t>(Button->ImageIndex)].PropertyName + "GLOW0";
  return M->GetMaskIndex(M->CommonSkinIndexes().GlobalInfo, "GLOBALINFO", Name);
}
}  // namespace

void TacSBAnimation::ImageRect(TRect& R) {
  R = TRect{};
  if (Button == nullptr) return;
  RECT WR{0, 0, 0, 0};
  HWND Ref = BorderWindow();
  if (Ref == nullptr) Ref = WndHandle;
  if (Ref != nullptr) GetWindowRect(Ref, &WR);
  R.Left = WR.left + Button->Rect.Left;
  R.Top = WR.top + Button->Rect.Top;
  const int M = GlowMargin();
  TsSkinManager* Mgr = SkinData != nullptr ? SkinData->SkinManager() : nullptr;
  const int G = M > 0 ? GlowImageIndex(Mgr, Button) : -1;
  if (M > 0 && G >= 0) {
    const TsMaskData& Mask = Mgr->Masks()[static_cast<std::size_t>(G)];
    R.Left -= M;
    R.Top -= M;
    R.Right = R.Left + Mask.R.Width();
    R.Bottom = R.Top + Mask.R.Height();
  } else {
    R.Right = R.Left + Button->Rect.Width();
    R.Bottom = R.Top + Button->Rect.Height();
  }
}

void TacSBAnimation::MakeImage() {
  Image.reset();
  if (Button == nullptr || SkinData == nullptr) return;
  TsSkinManager* M = SkinData->SkinManager();
  const int W = Button->Rect.Width(), H = Button->Rect.Height();
  if (W <= 0 || H <= 0) return;
  const int G = AnimState == 1 ? GlowImageIndex(M, Button) : -1;
  if (G >= 0) {
    // The glow image alone: the button stays in the form image below it.
    const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(G)];
    Image.reset(CreateBmp32(Mask.R.Width(), Mask.R.Height()));
    TBitmap* Src = MaskSourceBitmap(Mask);
    if (Src != nullptr) {
      TBitmap* Src32 = Src;
      std::unique_ptr<TBitmap> Copy;
      if (Src->PixelFormat() != pf32bit) {
        Copy.reset(CreateBmp32(Src->Width(), Src->Height()));
        BitBlt(Copy->Canvas()->Handle(), 0, 0, Src->Width(), Src->Height(), Src->Canvas()->Handle(), 0, 0, SRCCOPY);
        SetAlphaOpaque(Copy.get());
        Src32 = Copy.get();
      }
      const TacPixels D = BitmapPixels(Image.get()), S = BitmapPixels(Src32);
      for (int Y = 0; Y < D.Height && Mask.R.Top + Y < S.Height; ++Y)
        for (int X = 0; X < D.Width && Mask.R.Left + X < S.Width; ++X)
          std::memcpy(D.Pixel(X, Y), S.Pixel(Mask.R.Left + X, Mask.R.Top + Y), 4);
    }
    PremultiplyPixels(Image.get());
    return;
  }
  Image.reset(CreateBmp32(W, H));
  // The background behind the button: the saved strip of a provider, else the owner's image.
  bool HaveBg = false;
  if (Provider != nullptr && Provider->TitleButtonsBg != nullptr && !Provider->TitleButtonsBg->Empty()) {
    TBitmap* Bg = Provider->TitleButtonsBg.get();
    const int SX = Bg->Width() - (Provider->FullWidth() - Button->Rect.Left);
    if (SX >= 0) {
      BitBlt(Image->Canvas()->Handle(), 0, 0, W, H, Bg->Canvas()->Handle(), SX, Button->Rect.Top, SRCCOPY);
      HaveBg = true;
    }
  }
  if (!HaveBg && SkinData->CacheBmp() != nullptr && !SkinData->CacheBmp()->Empty())
    BitBlt(Image->Canvas()->Handle(), 0, 0, W, H, SkinData->CacheBmp()->Canvas()->Handle(), Button->Rect.Left,
           Button->Rect.Top, SRCCOPY);
  if (M != nullptr && M->IsValidMaskIndex(Button->ImageIndex)) {
    const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(Button->ImageIndex)];
    const int State = Button->State < 0 ? 0 : Button->State;
    DrawSkinGlyph(Image.get(), TPoint{0, 0}, State, 1, Mask, MakeCacheInfo(Image.get(), 0, 0));
  }
  // A user button's glyph goes on top.
  if (Provider != nullptr && Button->HitCode >= 1000 && Provider->TitleButtons() != nullptr &&
      Button->HitCode - 1000 < Provider->TitleButtons()->Count()) {
    TBitmap* Glyph = Provider->TitleButtons()->Items(Button->HitCode - 1000)->Glyph();
    if (Glyph != nullptr && !Glyph->Empty()) {
      const int Off = Button->State == 2 ? 1 : 0;
      const int GX = (W - Glyph->Width()) / 2 + Off, GY = (H - Glyph->Height()) / 2 + Off;
      if (Glyph->PixelFormat() == pf32bit)
        BlendByMask(TRect{GX, GY, GX + Glyph->Width(), GY + Glyph->Height()},
                    TRect{0, 0, Glyph->Width(), Glyph->Height()}, Image.get(), Glyph, DefaultCacheInfo(), false);
      else
        CopyWithKeyColor(Image.get(), Glyph, GX, GY, Glyph->Canvas()->Pixels(0, Glyph->Height() - 1));
    }
  }
  if (BorderWindow() == nullptr) SetAlphaOpaque(Image.get());
}

void TacSBAnimation::MakeForm() {
  if (GlowForm != nullptr) return;
  GlowForm = new TForm(nullptr);
  GlowForm->SetTag(-98);
  GlowForm->SetBorderStyle(bsNone);
  GlowForm->SetVisible(false);
  GlowForm->SetColor(clRed);
  TGlowFormHook::Install(GlowForm);
  HWND H = GlowForm->Handle();
  SetWindowLongW(H, GWL_EXSTYLE,
                 GetWindowLongW(H, GWL_EXSTYLE) | WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT);
}

void TacSBAnimation::SetAlpha(int Alpha) {
  LastAlpha = Alpha;
  if (Image == nullptr) MakeImage();
  if (Image == nullptr || acUpdateLayeredWindow == nullptr) return;
  if (GlowForm == nullptr) MakeForm();
  TRect R;
  ImageRect(R);
  if (R.Width() != Image->Width()) {
    const int DX = (Image->Width() - R.Width()) / 2, DY = (Image->Height() - R.Height()) / 2;
    R.Left -= DX;
    R.Top -= DY;
  }
  HWND H = GlowForm->Handle();
  HWND Ref = BorderWindow();
  if (Ref == nullptr) Ref = WndHandle;
  HWND After = Ref != nullptr ? GetWindow(Ref, GW_HWNDPREV) : nullptr;
  if (After == H) After = GetWindow(H, GW_HWNDPREV);
  SetWindowPos(H, After != nullptr ? After : HWND_TOP, R.Left, R.Top, Image->Width(), Image->Height(),
               SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
  SetWindowLongW(H, GWL_EXSTYLE,
                 GetWindowLongW(H, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT);
  HDC ScreenDC = GetDC(nullptr);
  POINT Dst{R.Left, R.Top};
  SIZE Size{Image->Width(), Image->Height()};
  POINT Src{0, 0};
  BLENDFUNCTION Blend{AC_SRC_OVER, 0, static_cast<BYTE>(ClampByte(Alpha)), AC_SRC_ALPHA};
  acUpdateLayeredWindow(H, ScreenDC, &Dst, &Size, Image->Canvas()->Handle(), &Src, 0x1FFFFFFF, &Blend, ULW_ALPHA);
  ReleaseDC(nullptr, ScreenDC);
  ShowWindow(H, SW_SHOWNOACTIVATE);
}

// ---- starting --------------------------------------------------------------------------------

namespace {

void Retarget(TacSBAnimation* A, int NewState, int Steps, bool FadeIn) {
  if (FadeIn) {
    // A new look (hot after pressed, pressed after hot) needs a new picture.
    if (A->AnimState != NewState) A->Image.reset();
    A->AnimState = NewState;
  }
  A->Steps = Steps;
  A->FadeIn = FadeIn;
  if (NewState == 2) {
    A->Step = Steps;
    A->Image.reset();
    delete A->GlowForm;
    A->GlowForm = nullptr;
    A->MakeForm();
    A->MakeImage();
  }
  A->SetEnabled(true);
}

}  // namespace

void StartCaptionButtonFade(TsCaptionButton* Button, int NewState, int Steps, TsSkinProvider* Provider, bool FadeIn) {
  if (Button == nullptr || Provider == nullptr || Provider->Form == nullptr || !Provider->Form->HandleAllocated())
    return;
  if (Button->Timer != nullptr) {
    Retarget(Button->Timer, NewState, Steps, FadeIn);
    return;
  }
  auto* A = new TacSBAnimation(Provider);
  A->SetEnabled(false);
  A->Provider = Provider;
  A->WndHandle = Provider->Form->Handle();
  A->SkinData = Provider->SkinData();
  A->Button = Button;
  Button->Timer = A;
  A->Steps = Steps;
  A->SetInterval(FadeInterval);
  // No messages are handled here: the fade starts inside the hit test of a mouse message, and
  // handling input messages there would take the press or release that follows out of order.
  A->ChangeState(NewState, true);
}

void StartCaptionButtonFade(TsCaptionButton* Button, int NewState, int Steps, const TacFadeOwner& Owner, bool FadeIn) {
  if (Button == nullptr || Owner.Wnd == nullptr) return;
  if (Button->Timer != nullptr) {
    Retarget(Button->Timer, NewState, Steps, FadeIn);
    return;
  }
  auto* A = new TacSBAnimation(Application);
  A->SetEnabled(false);
  A->Owner = Owner;
  A->WndHandle = Owner.Wnd;
  A->SkinData = Owner.SkinData;
  A->Button = Button;
  Button->Timer = A;
  A->Steps = Steps;
  A->SetInterval(FadeInterval);
  // No messages are handled here: the fade starts inside the hit test of a mouse message, and
  // handling input messages there would take the press or release that follows out of order.
  A->ChangeState(NewState, true);
}
