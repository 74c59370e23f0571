// The application's hints: which control's hint shows, when it shows and hides, and the hint
// window that shows it. Part of the forms unit.
#include "framework/Forms.h"

#include "framework/FormsInternal.h"

using namespace formsimpl;

// --- hints

void TApplication::SetShowHint(bool Value) {
  if (FShowHint == Value) return;
  FShowHint = Value;
  if (!Value) CancelHint();
}

void TApplication::SetHint(const WideString& Value) {
  if (FHint == Value) return;
  FHint = Value;
  if (OnHint) OnHint(this);
}

void TApplication::StartHintTimer(int Value) {
  StopHintTimer();
  if (Value <= 0) Value = 1;
  FHintTimer = SetTimer(Handle(), HintTimerId, static_cast<UINT>(Value), nullptr);
}

void TApplication::StopHintTimer() {
  if (FHintTimer != 0) {
    KillTimer(FHandle, HintTimerId);
    FHintTimer = 0;
  }
}

void TApplication::HintMouseMessage(TControl*, const MSG&) {
  POINT P;
  if (!GetCursorPos(&P)) return;
  TControl* C = FindDragTarget(Point(P.x, P.y), true);
  TControl* H = C;
  while (H != nullptr && H->Hint().empty()) H = H->Parent();
  SetHint(H != nullptr ? GetLongHint(H->Hint()) : WideString());
  if (C == FHintControl) return;
  const bool WasActive = FHintActive;
  if (FHintWindow != nullptr && FHintActive) FHintWindow->ReleaseHandle();
  FHintActive = false;
  StopHintTimer();
  FHintControl = C;
  if (C != nullptr && FShowHint && H != nullptr && H->ShowHint()) {
    FHintTimerIsHide = false;
    StartHintTimer(WasActive ? FHintShortPause : FHintPause);
  }
}

void TApplication::HintTimerExpired() {
  StopHintTimer();
  if (FHintTimerIsHide) {
    CancelHint();
    return;
  }
  POINT P;
  if (GetCursorPos(&P)) ActivateHint(Point(P.x, P.y));
}

void TApplication::ActivateHint(TPoint CursorPos) {
  StopHintTimer();
  TControl* C = FindDragTarget(CursorPos, true);
  FHintControl = C;
  if (FHintWindow != nullptr && FHintActive) FHintWindow->ReleaseHandle();
  FHintActive = false;
  if (C == nullptr || !FShowHint) return;
  TControl* H = C;
  while (H != nullptr && H->Hint().empty()) H = H->Parent();
  if (H == nullptr || !H->ShowHint()) return;
  THintInfo Info;
  Info.HintControl = C;
  Info.HintWindowClass = HintWindowClass;
  Info.HintPos = Point(CursorPos.X, CursorPos.Y + GetSystemMetrics(SM_CYCURSOR) * 3 / 4);
  Info.HintMaxWidth = Screen != nullptr ? Screen->Width() : 800;
  Info.HintColor = FHintColor;
  Info.CursorPos = C->ScreenToClient(CursorPos);
  Info.CursorRect = C->ClientRect();
  Info.HideTimeout = FHintHidePause;
  Info.HintStr = GetShortHint(H->Hint());
  bool CanShow = C->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&Info)) == 0;
  if (CanShow && OnShowHint) OnShowHint(Info.HintStr, CanShow, Info);
  if (!CanShow || Info.HintStr.empty()) return;
  if (FHintWindow == nullptr) {
    THintWindowClass Make = Info.HintWindowClass ? Info.HintWindowClass : HintWindowClass;
    FHintWindow = Make(this);
  }
  FHintWindow->SetColor(Info.HintColor);
  TRect R = FHintWindow->CalcHintRect(Info.HintMaxWidth, Info.HintStr, Info.HintData);
  R.Offset(Info.HintPos.X, Info.HintPos.Y);
  FHintWindow->ActivateHintData(R, Info.HintStr, Info.HintData);
  FHintActive = true;
  if (Info.HideTimeout > 0) {
    FHintTimerIsHide = true;
    StartHintTimer(Info.HideTimeout);
  }
}

void TApplication::CancelHint() {
  StopHintTimer();
  if (FHintWindow != nullptr && FHintActive) FHintWindow->ReleaseHandle();
  FHintActive = false;
  FHintControl = nullptr;
}
