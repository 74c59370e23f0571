#include "skin/controls/sFade.h"

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "skin/core/acPixels.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {

// The interval of the fade's ticks, in milliseconds.
constexpr int FadeInterval = 10;

bool SectionFades(TsCommonData* SkinData) {
  const TsGeneralData* S = SkinData != nullptr ? SkinData->Section() : nullptr;
  return S != nullptr && S->FadingEnabled;
}

bool ControlAlive(TControl* C) { return C != nullptr && !C->IsDestroying(); }

// What the timer needs before a fade: its skin data, the picture on the screen, its pace and its
// number of steps.
void PrepareFadeTimer(TsFadeTimer* Timer, TsCommonData* SkinData) {
  Timer->SetSkinData(SkinData);
  TControl* Owner = SkinData->OwnerControl();
  TBitmap* Cache = SkinData->CacheBmp();
  if (SkinData->BackgroundStale && (Cache == nullptr || Cache->Empty()) && Owner != nullptr) {
    // Nothing on the screen to start from yet: the control paints its cache first.
    auto* W = dynamic_cast<TWinControl*>(Owner);
    if (W != nullptr && W->HandleAllocated())
      SendMessageW(W->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_PREPARECACHE), 0);
  }
  Cache = SkinData->CacheBmp();
  TBitmap* Last = Timer->LastFrame();
  if (Timer->Direction() != 0 && !Last->Empty() && Cache != nullptr && Last->Width() == Cache->Width() &&
      Last->Height() == Cache->Height())
    // A fade that is running: what the screen shows is its last frame, not the cache.
    Timer->StartImage()->Assign(Last);
  else if (Cache != nullptr)
    Timer->StartImage()->Assign(Cache);
  else
    Timer->StartImage()->SetSize(0, 0);
  Last->SetSize(0, 0);
  Timer->SetInterval(FadeInterval);
  const TsGeneralData* S = SkinData->Section();
  Timer->SetIterations(S != nullptr ? S->FadingIterations : 5);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TsFadeTimer

TsFadeTimer::TsFadeTimer(TComponent* AOwner)
    : TTimer(AOwner), FStartImage(std::make_unique<TBitmap>()), FLastFrame(std::make_unique<TBitmap>()) {
  FDirection = 0;
  SetEnabled(false);
  // The system timer only runs while a handler is set; the work is done in Timer.
  SetOnTimer([](TObject*) {});
}

TsFadeTimer::~TsFadeTimer() = default;

void TsFadeTimer::SetDirection(Byte Value) {
  FDirection = Value;
  if (FCurrentStep < 0) FCurrentStep = 1;
  SetEnabled(Value != 0);
}

bool TsFadeTimer::CheckFinished() {
  TControl* Owner = FSkinData != nullptr ? FSkinData->OwnerControl() : nullptr;
  const bool Terminating = Application != nullptr && Application->Terminated();
  if (ControlAlive(Owner) && !Terminating) {
    if (FCurrentStep >= 0 && FCurrentStep <= FIterations) return true;
    // The control ends the fade in its handler, which frees this timer: nothing may follow.
    Owner->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_FADEENDED), 0);
    return false;
  }
  FDirection = 0;
  SetEnabled(false);
  return false;
}

void TsFadeTimer::Timer() {
  if (FSkinData == nullptr || IsDestroying()) return;
  if (!CheckFinished()) return;
  if (FDirection == 1) FadeStep(this);
}

// ---------------------------------------------------------------------------------------------
// The routines

bool AnimEventAllowed(TacAnimatEvent Event, TacAnimatEvents Events, TsSkinManager* Manager) {
  if (Events.Contains(Event)) return true;
  if (!Events.Contains(aeGlobalDef)) return false;
  if (Manager == nullptr) Manager = TsSkinManager::DefaultManager();
  if (Manager == nullptr) return false;
  TacBtnEvent B = beMouseUp;
  switch (Event) {
    case aeMouseEnter: B = beMouseEnter; break;
    case aeMouseLeave: B = beMouseLeave; break;
    case aeMouseDown: B = beMouseDown; break;
    case aeMouseUp:
    case aeGlobalDef: B = beMouseUp; break;
  }
  return Manager->AnimEffects()->Buttons()->Events().Contains(B);
}

void ChangeSkinState(TsFadeTimer*& FadeTimer, TsCommonData* SkinData, bool Fast, Byte Direction,
                     bool AllowAnimation) {
  if (SkinData == nullptr || !SkinData->IsSkinned(false)) return;
  TBitmap* Cache = SkinData->CacheBmp();
  if (AllowAnimation && !acSkinChanging && SectionFades(SkinData) && Cache != nullptr && !Cache->Empty() &&
      !SkinData->BackgroundStale) {
    SkinData->BackgroundStale = true;
    StartFade(FadeTimer, SkinData, Fast, Direction);
  } else {
    SkinData->BackgroundStale = true;
    if (FadeTimer != nullptr) StopFade(FadeTimer);
    if (TControl* Owner = SkinData->OwnerControl(); ControlAlive(Owner)) Owner->Repaint();
  }
  UpdateGlow(SkinData, Fast);
}

void StartFade(TsFadeTimer*& FadeTimer, TsCommonData* SkinData, bool Fast, Byte Direction) {
  if (SkinData == nullptr || !SectionFades(SkinData)) return;
  TControl* Owner = SkinData->OwnerControl();
  if (!ControlAlive(Owner)) return;
  if (FadeTimer == nullptr) {
    FadeTimer = new TsFadeTimer(Owner);
    FadeTimer->SetEnabled(false);
  }
  PrepareFadeTimer(FadeTimer, SkinData);
  if (Fast) FadeTimer->SetIterations(FadeTimer->Iterations() / 2);
  FadeTimer->SetCurrentStep(1);
  // The control paints its cache in the new state: the picture the fade ends with.
  Owner->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_PREPARECACHE), 0);
  FadeTimer->SetDirection(Direction);
}

void StopFade(TsFadeTimer*& FadeTimer) {
  if (FadeTimer == nullptr || FadeTimer->IsDestroying()) return;
  TsFadeTimer* T = FadeTimer;
  FadeTimer = nullptr;
  T->SetEnabled(false);
  T->SetDirection(0);
  delete T;
}

void FadeStep(TsFadeTimer* Timer) {
  if (Timer == nullptr || Timer->SkinData() == nullptr) return;
  TsCommonData* SkinData = Timer->SkinData();
  TControl* Owner = SkinData->OwnerControl();
  if (!ControlAlive(Owner) || Timer->Iterations() == 0) return;
  if (!Owner->Enabled()) {
    // A disabled control ends the fade and is repainted in its disabled look. The control's
    // handler of the end frees this timer: nothing may follow.
    Timer->SetEnabled(false);
    Timer->SetIterations(0);
    SkinData->Invalidate();
    Owner->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_FADEENDED), 0);
    return;
  }
  const int A = ClampByte(255 - (Timer->CurrentStep() * 256) / Timer->Iterations());
  TBitmap* Cache = SkinData->CacheBmp();
  auto Frame = std::make_unique<TBitmap>();
  TBitmap* Start = Timer->StartImage();
  const bool SameSize = Cache != nullptr && !Start->Empty() && Start->Width() == Cache->Width() &&
                        Start->Height() == Cache->Height();
  if (SameSize && A == 0) {
    // The last step shows the new picture itself (the blend would darken it by one level).
    Frame->Assign(Cache);
  } else if (SameSize) {
    Frame->Assign(Start);
    Frame->SetPixelFormat(pf24bit);
    Frame->SetHandleType(bmDIB);
    BlendBitmapsByFactor(Frame.get(), Cache, static_cast<Byte>(A));
  } else if (Cache != nullptr) {
    // The control changed its size during the fade: show the new picture.
    Frame->Assign(Cache);
  }
  auto* W = dynamic_cast<TWinControl*>(Owner);
  if (W != nullptr && W->HandleAllocated() && !Frame->Empty()) {
    HWND Wnd = W->Handle();
    HDC DC = GetDC(Wnd);
    const int Saved = SaveDC(DC);
    if (ControlAlive(Owner) && Timer->Iterations() != 0) {
      if (Owner->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_ANIMFRAME), reinterpret_cast<LPARAM>(Frame.get())) == 0)
        BitBlt(DC, 0, 0, Frame->Width(), Frame->Height(), Frame->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    RestoreDC(DC, Saved);
    ReleaseDC(Wnd, DC);
  }
  Timer->LastFrame()->Assign(Frame.get());
  Timer->SetCurrentStep(Timer->CurrentStep() + 1);
}
