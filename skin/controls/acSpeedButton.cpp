// The speed-button handler. Win32.
#include "skin/controls/acSpeedButton.h"

#include <algorithm>

#include "framework/Buttons.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/controls/acStdAdapters.h"

class TacSpeedButtonHandler::TWatcher : public TComponent {
  T_CLASS(TWatcher, TComponent)

 public:
  explicit TWatcher(TacSpeedButtonHandler* AHandler) : TComponent(nullptr), Handler(AHandler) {}
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && Handler != nullptr && AComponent == Handler->Control) {
      Handler->Detached = true;
      Handler->Control = nullptr;
      Handler->SavedProc = nullptr;
    }
  }
  TacSpeedButtonHandler* Handler;
};

TacSpeedButtonHandler::TacSpeedButtonHandler(TGraphicControl* AControl, TsCommonData* ASkinData,
                                             TsSkinManager* ASkinManager, const AnsiString& SkinSection, bool)
    : Control(AControl), SkinManager(ASkinManager), SkinData(ASkinData) {
  if (SkinManager == nullptr && SkinData != nullptr) SkinManager = SkinData->GetSkinManager();
  if (SkinData != nullptr && (SkinData->SkinSection().empty() || SkinData->SkinSection() == "UNKNOWN") &&
      !SkinSection.empty())
    SkinData->SetSkinSection(SkinSection);
  if (Control != nullptr) {
    SavedProc = Control->WindowProc();
    Control->SetWindowProc([this](TMessage& M) { WndProc(M); });
    FWatcher = std::make_unique<TWatcher>(this);
    FWatcher->FreeNotification(Control);
  } else {
    Detached = true;
  }
  acRegisterManagerRef(&SkinManager);
}

TacSpeedButtonHandler::~TacSpeedButtonHandler() {
  Detach();
  SkinManager = nullptr;
  acUnregisterManagerRef(&SkinManager);
}

void TacSpeedButtonHandler::Detach() {
  if (Detached) return;
  if (Control != nullptr && SavedProc) Control->SetWindowProc(SavedProc);
  if (Control != nullptr && FWatcher != nullptr) FWatcher->RemoveFreeNotification(Control);
  Detached = true;
}

LRESULT TacSpeedButtonHandler::CallOldProc(TMessage& Message) {
  TMessage M{Message.Msg, Message.WParam, Message.LParam, 0};
  if (!SavedProc) return 0;
  SavedProc(M);
  Message.LParam = M.LParam;
  return M.Result;
}

int TacSpeedButtonHandler::IntProp(const char* Name, int Default) const {
  return HasProperty(Control, Name) ? GetOrdPropByName(Control, Name) : Default;
}

TBitmap* TacSpeedButtonHandler::Glyph() const {
  return HasProperty(Control, "Glyph") ? dynamic_cast<TBitmap*>(GetObjectPropByName(Control, "Glyph")) : nullptr;
}

int TacSpeedButtonHandler::GlyphWidth() const {
  TBitmap* G = Glyph();
  if (G == nullptr || G->Width() == 0 || G->Height() == 0) return 0;
  return G->Width() / std::max(1, IntProp("NumGlyphs", 1));
}

int TacSpeedButtonHandler::GlyphHeight() const {
  TBitmap* G = Glyph();
  return G == nullptr || G->Width() == 0 ? 0 : G->Height();
}

TSize TacSpeedButtonHandler::CaptionSize() {
  const WideString C = Control->Caption();
  if (C.empty() || SkinData == nullptr || SkinData->CacheBmp() == nullptr) return TSize{0, 0};
  TCanvas* Canvas = SkinData->CacheBmp()->Canvas();
  Canvas->SetFont(Control->Font());
  RECT R{0, 0, 255, 0};
  DrawTextW(Canvas->Handle(), C.c_str(), static_cast<int>(C.size()), &R, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  return TSize{R.right - R.left, R.bottom - R.top};
}

int TacSpeedButtonHandler::ButtonState() {
  // The framework's speed button knows whether it is held down by the mouse; a button of another
  // class has its Down property.
  if (auto* S = dynamic_cast<TSpeedButton*>(Control)) {
    if (S->State() == bsDown || S->State() == bsExclusive) return 2;
  } else if (IntProp("Down", 0) != 0) {
    return 2;
  }
  return SkinData != nullptr && SkinData->GetHotState() ? 1 : 0;
}

TRect TacSpeedButtonHandler::GlyphRect() {
  const int GW = GlyphWidth(), GH = GlyphHeight();
  const TSize T = CaptionSize();
  const bool HasCaption = !Control->Caption().empty();
  const int Spacing = IntProp("Spacing", 4), Margin = IntProp("Margin", -1), Layout = IntProp("Layout", 0);
  const int SH = GW > 0 && HasCaption ? Spacing : 0, SV = GH > 0 && HasCaption ? Spacing : 0;
  const int W = Control->Width(), H = Control->Height();
  const int MX = (W - GW - SH - T.cx) / 2, MY = (H - GH - SV - T.cy) / 2;
  int X = 0, Y = 0;
  switch (Layout) {
    case 1:
      X = W - (Margin == -1 ? MX : Margin) - GW;
      Y = (H - GH) / 2;
      break;
    case 2:
      X = (W - GW) / 2;
      Y = Margin == -1 ? MY : Margin;
      break;
    case 3:
      X = (W - GW) / 2;
      Y = H - (Margin == -1 ? MY : Margin) - GH;
      break;
    default:
      X = Margin == -1 ? MX : Margin;
      Y = (H - GH) / 2;
      break;
  }
  if (ButtonState() == 2) {
    ++X;
    ++Y;
  }
  return TRect(X, Y, X + GW, Y + GH);
}

TRect TacSpeedButtonHandler::CaptionRect() {
  const TSize T = CaptionSize();
  const int P = ButtonState() == 2 ? 1 : 0;
  const int W = Control->Width(), H = Control->Height();
  const int Spacing = IntProp("Spacing", 4), Margin = IntProp("Margin", -1), Layout = IntProp("Layout", 0);
  int X = 0, Y = 0;
  if (GlyphWidth() > 0) {
    const TRect G = GlyphRect();
    switch (Layout) {
      case 1: X = G.Left - Spacing - T.cx; Y = P + (H - T.cy) / 2; break;
      case 2: X = P + (W - T.cx) / 2; Y = G.Bottom + Spacing; break;
      case 3: X = P + (W - T.cx) / 2; Y = G.Top - Spacing - T.cy; break;
      default: X = G.Right + Spacing; Y = P + (H - T.cy) / 2; break;
    }
  } else if (Margin == -1) {
    X = P + (W - T.cx) / 2;
    Y = P + (H - T.cy) / 2;
  } else {
    switch (Layout) {
      case 1: X = W - Margin - T.cx; Y = P + (H - T.cy) / 2; break;
      case 2: X = P + (W - T.cx) / 2; Y = Margin; break;
      case 3: X = P + (W - T.cx) / 2; Y = H - Margin - T.cy; break;
      default: X = Margin; Y = P + (H - T.cy) / 2; break;
    }
  }
  return TRect(X, Y, X + T.cx, Y + T.cy);
}

TacPictureKey TacSpeedButtonHandler::PictureKeyOf(const TCacheInfo& Parent) {
  TacPictureKey K;
  K.Numbers = {Control->Width(), Control->Height(), Control->Left(), Control->Top(), ButtonState(), Control->Enabled(),
               IntProp("NumGlyphs", 1), IntProp("Layout", 0), IntProp("Margin", -1), IntProp("Spacing", 4),
               IntProp("Alignment", 0), SkinData->SectionIndex};
  K.Texts.push_back(Control->Caption());
  AddOwnerFont(K, Control);
  AddSkin(K, SkinData->GetSkinManager());
  if (TBitmap* G = Glyph()) AddPixels(K, MakeCacheInfo(G), TPoint(0, 0), TSize{G->Width(), G->Height()});
  AddPixels(K, Parent, TPoint(Control->Left(), Control->Top()), TSize{Control->Width(), Control->Height()});
  return K;
}

void TacSpeedButtonHandler::UpdateCache() {
  if (SkinData == nullptr || Control->Parent() == nullptr) return;
  SkinData->InitCacheBmp();
  TBitmap* Bmp = SkinData->CacheBmp();
  Bmp->SetSize(Control->Width(), Control->Height());
  Bmp->Canvas()->SetFont(Control->Font());
  TacBGInfo Info;
  QueryParentBackground(Info, Control->Parent(), false);
  const TCacheInfo CI = BGInfoToCacheInfo(Info);
  // A parent not laid out yet: keep the previous picture, to be made again at the next paint.
  if (Info.BgType == btCache && Info.Bmp != nullptr && Info.Bmp->Width() == 0) {
    Kept.Stale = true;
    return;
  }
  const int S = ButtonState();
  PaintControlSkin(SkinData, CI, true, S, TRect(0, 0, Control->Width(), Control->Height()),
                   TPoint(Control->Left(), Control->Top()), Bmp);
  FillCornersFromParent(SkinData, S);
  const WideString Caption = Control->Caption();
  if (!Caption.empty()) {
    Bmp->Canvas()->SetFont(Control->Font());
    Bmp->Canvas()->Brush()->SetStyle(bsClear);
    TRect R = CaptionRect();
    WriteCaptionText(Bmp->Canvas(), Caption.c_str(), Control->Enabled(), R,
                     (GetTextDrawFlags(Control, taLeftJustify) | DT_WORDBREAK | DT_EXPANDTABS) & ~DT_SINGLELINE,
                     SkinData, S != 0, 0);
  }
  if (TBitmap* G = Glyph(); G != nullptr && G->Width() > 0 && G->Height() > 0) {
    if (G->HandleType() == bmDDB) G->SetHandleType(bmDIB);
    const TRect GR = GlyphRect();
    const int N = std::max(1, IntProp("NumGlyphs", 1));
    // A single 32-bit glyph has an alpha channel of its own, no key colour.
    if (N == 1 && G->PixelFormat() == pf32bit)
      DrawAlphaGlyph(G, Bmp->Canvas(), TPoint(GR.Left, GR.Top));
    else
      DrawTransparentGlyph(G, Bmp, GR, N, Control->Enabled(), TsDisabledKind{dkBlended}, S, 0, 0);
  }
  if (!Control->Enabled()) ApplyDisabledKind(Bmp, TsDisabledKind{dkBlended}, Control->Parent(), CI,
                                             TPoint(Control->Left(), Control->Top()));
  SkinData->BackgroundStale = false;
}

void TacSpeedButtonHandler::Paint(HDC DC) {
  if (DC == nullptr || SkinData == nullptr) return;
  const int Saved = SaveDC(DC);
  bool Same = false;
  if (Control->Parent() != nullptr) {
    TacBGInfo Info;
    QueryParentBackground(Info, Control->Parent(), false);
    TBitmap* Cache = SkinData->CacheBmp();
    Same = Kept.Keep(PictureKeyOf(BGInfoToCacheInfo(Info))) && !SkinData->BackgroundStale && Cache != nullptr &&
           !Cache->Empty();
  }
  if (!Same) UpdateCache();
  TBitmap* Bmp = SkinData->CacheBmp();
  if (Bmp != nullptr)
    BitBlt(DC, 0, 0, Control->Width(), Control->Height(), Bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(DC, Saved);
}

void TacSpeedButtonHandler::WndProc(TMessage& Message) {
  TsSkinManager* M = SkinManager;
  const bool Skinned = SkinData != nullptr && SkinData->IsSkinned(false) && M != nullptr && M->Active();
  if (Skinned) {
    switch (Message.Msg) {
      case WM_PAINT:
        Paint(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 0;
        return;
      case CM_MOUSEENTER:
      case CM_MOUSELEAVE:
        SkinData->MouseOver = Message.Msg == CM_MOUSEENTER;
        Message.Result = CallOldProc(Message);
        Control->Repaint();
        return;
      default:
        break;
    }
  }
  if (Message.Msg == SM_ALPHACMD && SkinData != nullptr) {
    const bool FromManager = SentByManager(Message, M);
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
        if (FromManager) {
          TakeNewSkin(SkinData);
          return;
        }
        break;
      case AC_SKINREMOVED:
        if (FromManager && !Control->IsDestroying()) {
          SkinData->UpdateIndexes();
          if (Control->Visible()) Control->Repaint();
        }
        break;
      case AC_REFRESHSKIN:
        if (FromManager) {
          TakeNewSkin(SkinData);
          if (Control->Visible()) Control->Repaint();
          return;
        }
        break;
      case AC_REFRESHIFSKINNED:
        if (SkinData->Updating) {
          SkinData->Updating = false;
          Control->Repaint();
        }
        return;
      case AC_ISSKINNED:
        Message.Result = 1;
        return;
      case AC_APPACTIVATED:
        SkinData->Updating = false;
        SkinData->BackgroundStale = true;
        Control->Repaint();
        break;
      case AC_GETAPPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(Application);
        return;
      default:
        break;
    }
  }
  Message.Result = CallOldProc(Message);
}
