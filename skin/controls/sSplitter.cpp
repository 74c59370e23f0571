#include "skin/controls/sSplitter.h"

#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "framework/TypInfo.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"

bool acHintsSuppressed = false;
bool acSavedShowHint = true;

void acSuppressHints() {
  if (acHintsSuppressed || Application == nullptr) return;
  acSavedShowHint = Application->ShowHint();
  Application->SetShowHint(false);
  acHintsSuppressed = true;
}

void acRestoreHints() {
  if (!acHintsSuppressed) return;
  if (Application != nullptr) Application->SetShowHint(acSavedShowHint);
  acHintsSuppressed = false;
}

namespace {

// The centred place of a glyph W x H on a W0 x H0 control (negative when it is larger).
TPoint GlyphPlace(int W0, int H0, int W, int H) { return TPoint((W0 - W) / 2, (H0 - H) / 2); }

}  // namespace

TsSplitter::TsSplitter(TComponent* AOwner)
    : TSplitter(AOwner),
      FSkinData(std::make_unique<TsCommonData>(this, KindCode, true)),
      FGlyph(std::make_unique<TBitmap>()) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csOpaque, csDoubleClicks};
  SetWidth(6);
  if (!IsLoading()) FSkinData->Loaded();
}

TsSplitter::~TsSplitter() {
  FSkinData.reset();
  FGlyph.reset();
}

void TsSplitter::Loaded() {
  TSplitter::Loaded();
  FSkinData->Loaded();
}

void TsSplitter::SetGlyph(TBitmap* Value) {
  if (Value == nullptr)
    FGlyph->SetSize(0, 0);
  else
    FGlyph->Assign(Value);
  Repaint();
}

bool TsSplitter::SkinnedNow() const {
  return FSkinData != nullptr && ControlIsReady(const_cast<TsSplitter*>(this)) && FSkinData->IsSkinned(false);
}

int TsSplitter::PaintState() const {
  if (FDragging && ResizeStyle() == rsUpdate) return 2;
  return FSkinData->GetHotState() ? 1 : 0;
}

void TsSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  acSuppressHints();
  // A neighbour snapped shut is brought back next to the splitter, so that sizing finds it.
  if (AutoSnap() && Parent() != nullptr) {
    TWinControl* P = Parent();
    for (int I = 0; I < P->ControlCount(); ++I) {
      TControl* C = P->Controls(I);
      if (C == this) continue;
      if (Align() == alTop && C->Height() == 0) C->SetTop(Top());
      if (Align() == alLeft && C->Width() == 0) C->SetLeft(Left());
    }
  }
  // The press's handler may free the splitter (with its parent or form): the press ends there,
  // and the hints come back.
  const TLifeWatch Life(this);
  TScopeExit HintsBack([&] {
    if (Life.Freed()) acRestoreHints();
  });
  TSplitter::MouseDown(Button, Shift, X, Y);
  FDragging = true;
  if (ResizeStyle() == rsUpdate) Repaint();
}

void TsSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  // Also when the release's handler frees the splitter (which ends the release there).
  TScopeExit HintsBack([] { acRestoreHints(); });
  TSplitter::MouseUp(Button, Shift, X, Y);
  FDragging = false;
  if (ResizeStyle() == rsUpdate) Repaint();
}

void TsSplitter::PaintSkinned() {
  const int W = Width(), H = Height();
  if (W <= 0 || H <= 0) return;
  FSkinData->InitCacheBmp();
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr) return;
  const int State = PaintState();
  TacBGInfo Info;
  QueryParentBackground(Info, Parent(), false);
  const TCacheInfo CI = BGInfoToCacheInfo(Info);
  PaintControlSkin(FSkinData.get(), CI, true, State, Rect(0, 0, W, H), TPoint(Left(), Top()), Cache);
  if (!FGlyph->Empty()) {
    const TPoint P = GlyphPlace(W, H, FGlyph->Width(), FGlyph->Height());
    if (FGlyph->PixelFormat() == pf32bit) {
      BlendByMask(Rect(P.X, P.Y, P.X + FGlyph->Width(), P.Y + FGlyph->Height()),
                  Rect(0, 0, FGlyph->Width(), FGlyph->Height()), Cache, FGlyph.get(), TCacheInfo{}, false);
    } else {
      FGlyph->SetTransparent(true);
      Cache->Canvas()->Draw(P.X, P.Y, FGlyph.get());
    }
  }
  BitBlt(Canvas()->Handle(), 0, 0, W, H, Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  // The splitter keeps no picture between paints.
  Cache->SetSize(0, 0);
  FSkinData->BackgroundStale = true;
  if (IsDesigning()) {
    TCanvas* C = Canvas();
    C->Pen()->SetStyle(psDash);
    C->Pen()->SetMode(pmXor);
    C->Pen()->SetColor(0xFFD8CE);
    C->Brush()->SetStyle(bsClear);
    C->Rectangle(0, 0, ClientWidth(), ClientHeight());
  }
  if (OnPaint) OnPaint(this);
}

void TsSplitter::PaintGlyphOnCanvas() {
  if (FGlyph->Empty()) return;
  const TPoint P = GlyphPlace(Width(), Height(), FGlyph->Width(), FGlyph->Height());
  if (FGlyph->PixelFormat() != pf32bit) {
    FGlyph->SetTransparent(true);
    Canvas()->Draw(P.X, P.Y, FGlyph.get());
    return;
  }
  // A glyph with alpha is laid over a copy of what the canvas shows under it.
  const int GW = FGlyph->Width(), GH = FGlyph->Height();
  TBitmap Under(GW, GH, pf24bit);
  BitBlt(Under.Canvas()->Handle(), 0, 0, GW, GH, Canvas()->Handle(), P.X, P.Y, SRCCOPY);
  BlendByMask(Rect(0, 0, GW, GH), Rect(0, 0, GW, GH), &Under, FGlyph.get(), TCacheInfo{}, false);
  BitBlt(Canvas()->Handle(), P.X, P.Y, GW, GH, Under.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TsSplitter::Paint() {
  if (IsDestroying()) return;
  if (FSkinData->IsSkinned(false)) {
    PaintSkinned();
    return;
  }
  TSplitter::Paint();
  PaintGlyphOnCanvas();
}

void TsSplitter::WndProc(TMessage& M) {
  if (FSkinData == nullptr) {
    TSplitter::WndProc(M);
    return;
  }
  if (M.Msg == SM_ALPHACMD) {
    const Word Cmd = AlphaCmdCode(M.WParam);
    const bool OwnManager = reinterpret_cast<TsSkinManager*>(M.LParam) == FSkinData->GetSkinManager();
    switch (Cmd) {
      case AC_ISSKINNED: M.Result = 1; return;
      case AC_GETAPPLICATION: M.Result = reinterpret_cast<LRESULT>(Application); return;
      case AC_NEWSKIN:
        if (OwnManager) HandleCommonMessage(M, FSkinData.get());
        return;
      case AC_SKINREMOVED:
      case AC_REFRESHSKIN:
        if (OwnManager) {
          HandleCommonMessage(M, FSkinData.get());
          Repaint();
        }
        return;
      case AC_REFRESHIFSKINNED:
        if (SkinnedNow() && FSkinData->GetUpdating()) {
          FSkinData->Updating = false;
          Repaint();
          return;
        }
        break;
      default: break;
    }
  }
  // The program's handlers reached from here on may free the splitter (with its parent or form).
  const TLifeWatch Life(this);
  if (!SkinnedNow()) {
    if (M.Msg == CM_MOUSEENTER && OnMouseEnter) OnMouseEnter(this);
    if (Life.Freed()) return;
    TSplitter::WndProc(M);
    if (!Life.Freed() && M.Msg == CM_MOUSELEAVE && OnMouseLeave) OnMouseLeave(this);
    return;
  }
  const bool Designing = IsDesigning();
  switch (M.Msg) {
    case WM_NCPAINT:
    case WM_ERASEBKGND: M.Result = 1; return;
    case WM_MOVE:
    case WM_SIZE:
    case WM_MOUSEWHEEL:
    case CM_VISIBLECHANGED:
    case CM_ENABLEDCHANGED: FSkinData->BackgroundStale = true; break;
    case CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      if (Life.Freed()) return;
      break;
    default: break;
  }
  if (!HandleCommonMessage(M, FSkinData.get())) TSplitter::WndProc(M);
  if (Life.Freed()) return;
  switch (M.Msg) {
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      if (!FSkinData->FocusedFlag && !Designing) {
        FSkinData->MouseOver = M.Msg == CM_MOUSEENTER;
        FSkinData->BackgroundStale = true;
        Repaint();
      }
      if (M.Msg == CM_MOUSELEAVE && OnMouseLeave) OnMouseLeave(this);
      break;
    case WM_SETFOCUS:
    case CM_ENTER:
    case WM_KILLFOCUS:
    case CM_EXIT:
      FSkinData->FocusedFlag = M.Msg == WM_SETFOCUS || M.Msg == CM_ENTER;
      FSkinData->MouseOver = false;
      FSkinData->BackgroundStale = true;
      Repaint();
      break;
    default: break;
  }
}

T_PUBLISH(TsSplitter) {
  P.Object("SkinData", &TsSplitter::SkinData);
  P.Object("Glyph", &TsSplitter::Glyph, &TsSplitter::SetGlyph);
}
