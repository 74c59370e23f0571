// Alignment and anchors: how a control asks for its place and how a windowed control lays out
// its children. Part of the controls unit.
#include "framework/Controls.h"

#include <algorithm>

#include "framework/ControlsInternal.h"
#include "framework/Scopes.h"

using namespace ctlimpl;

void TControl::SetAlign(TAlign Value) {
  if (FAlign == Value) return;
  TAlign Old = FAlign;
  FAlign = Value;
  FAnchors = Value == alLeft     ? TAnchors{akLeft, akTop, akBottom}
             : Value == alRight  ? TAnchors{akRight, akTop, akBottom}
             : Value == alTop    ? TAnchors{akLeft, akTop, akRight}
             : Value == alBottom ? TAnchors{akLeft, akRight, akBottom}
             : Value == alClient ? TAnchors{akLeft, akTop, akRight, akBottom}
                                 : (Old == alNone ? FAnchors : AnchorsDefault);
  RequestAlign();
}

void TControl::SetAnchors(TAnchors Value) {
  if (FAnchors == Value) return;
  FAnchors = Value;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (FAnchorMove) return;
  if (FParent == nullptr) {
    FAnchorRulesValid = false;
    return;
  }
  FAnchorBounds = BoundsRect();
  TRect PR = FParent->ClientRect();
  FAnchorParentSize = TSize{PR.Width(), PR.Height()};
  FAnchorRulesValid = true;
}

void TControl::RequestAlign() {
  if (FParent != nullptr) FParent->AlignControl(this);
}

// --- alignment

void TWinControl::DisableAlign() { ++FAlignLevel; }

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0) --FAlignLevel;
  if (FAlignLevel == 0 && !IsDestroying() && FControlState.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* AControl) {
  if (IsDestroying()) return;
  if (FAlignLevel != 0 || IsLoading()) {
    FControlState.Include(csAlignmentNeeded);
    return;
  }
  DisableAlign();
  TScopeExit CleanUp([&] {
    FControlState.Exclude(csAlignmentNeeded);
    EnableAlign();
  });
  TRect R = ClientRect();
  AlignControls(AControl, R);
}

void TWinControl::AdjustClientRect(TRect& Rect) {}

namespace {

// Whether C1 goes before C2 among the controls of one alignment (placed nearer to the edge).
bool AlignsBefore(TControl* C1, TControl* C2, TAlign A) {
  switch (A) {
    case alTop: return C1->Top() < C2->Top();
    case alBottom: return C1->Top() + C1->Height() > C2->Top() + C2->Height();
    case alLeft: return C1->Left() < C2->Left();
    case alRight: return C1->Left() + C1->Width() > C2->Left() + C2->Width();
    default: return false;
  }
}

}  // namespace

void TWinControl::DoAlign(TAlign A, TControl* AControl, TRect& R) {
  std::vector<TControl*> List;
  if (AControl != nullptr && AControl->FAlign == A && AControl->Visible()) List.push_back(AControl);
  for (TControl* C : FControls) {
    if (C == AControl || C->FAlign != A || !C->Visible()) continue;
    auto Pos = std::find_if(List.begin(), List.end(), [&](TControl* X) { return AlignsBefore(C, X, A); });
    List.insert(Pos, C);
  }
  for (TControl* C : List) {
    C->FAnchorMove = true;
    TScopeExit CleanUp([&] { C->FAnchorMove = false; });
    switch (A) {
      case alTop:
        C->SetBounds(R.Left, R.Top, R.Width(), C->Height());
        R.Top += C->Height();
        break;
      case alBottom:
        C->SetBounds(R.Left, R.Bottom - C->Height(), R.Width(), C->Height());
        R.Bottom -= C->Height();
        break;
      case alLeft:
        C->SetBounds(R.Left, R.Top, C->Width(), R.Height());
        R.Left += C->Width();
        break;
      case alRight:
        C->SetBounds(R.Right - C->Width(), R.Top, C->Width(), R.Height());
        R.Right -= C->Width();
        break;
      case alClient:
        C->SetBounds(R.Left, R.Top, R.Width(), R.Height());
        break;
      default:
        break;
    }
  }
}

void TWinControl::ApplyAnchors() {
  TRect PR = ClientRect();
  for (TControl* C : std::vector<TControl*>(FControls)) {
    if (C->FAlign != alNone || C->FAnchors == AnchorsDefault || !C->FAnchorRulesValid || C->IsLoading()) continue;
    const TRect& B = C->FAnchorBounds;
    const TSize& Old = C->FAnchorParentSize;
    int L = B.Left, T = B.Top, W = B.Width(), H = B.Height();
    const int DW = PR.Width() - Old.cx, DH = PR.Height() - Old.cy;
    if (C->FAnchors.Contains(akRight)) {
      if (C->FAnchors.Contains(akLeft))
        W = std::max(B.Width() + DW, 0);
      else
        L = B.Left + DW;
    } else if (!C->FAnchors.Contains(akLeft) && Old.cx > 0) {
      L = MulDiv(B.Left + B.Width() / 2, PR.Width(), Old.cx) - B.Width() / 2;
    }
    if (C->FAnchors.Contains(akBottom)) {
      if (C->FAnchors.Contains(akTop))
        H = std::max(B.Height() + DH, 0);
      else
        T = B.Top + DH;
    } else if (!C->FAnchors.Contains(akTop) && Old.cy > 0) {
      T = MulDiv(B.Top + B.Height() / 2, PR.Height(), Old.cy) - B.Height() / 2;
    }
    C->FAnchorMove = true;
    TScopeExit CleanUp([&] { C->FAnchorMove = false; });
    C->SetBounds(L, T, W, H);
  }
}

void TWinControl::AlignControls(TControl* AControl, TRect& Rect) {
  AdjustClientRect(Rect);
  DoAlign(alTop, AControl, Rect);
  DoAlign(alBottom, AControl, Rect);
  DoAlign(alLeft, AControl, Rect);
  DoAlign(alRight, AControl, Rect);
  DoAlign(alClient, AControl, Rect);
  ApplyAnchors();
}
