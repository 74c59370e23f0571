#include "grid/NxEdit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/Convert.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "grid/NxSharedDraw.h"
#include "grid/NxThemeSupport.h"

// ---------------------------------------------------------------------------------------------
// The reversed arrow

void RegisterReversedArrowCursor() {
  static bool Done = false;
  if (Done || Screen == nullptr) return;
  // LoadCursor hands out the module's shared cursor, freed with the module.
  HCURSOR C = LoadCursorW(ModuleInstance(), L"REVERSEDARROW");
  if (C == nullptr) return;
  Screen->SetCursors(crReversedArrow, C);
  Done = true;
}

// ---------------------------------------------------------------------------------------------
// TNxEditMargins

void TNxEditMargins::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TNxEditMargins*>(Source);
  if (S == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  FLeft = S->FLeft;
  FRight = S->FRight;
  Changed();
}

void TNxEditMargins::SetLeft(int Value) {
  FLeft = Value;
  Changed();
}

void TNxEditMargins::SetRight(int Value) {
  FRight = Value;
  Changed();
}

void TNxEditMargins::Changed() {
  if (FEdit != nullptr && FEdit->HandleAllocated()) FEdit->RecreateWnd();
}

// ---------------------------------------------------------------------------------------------
// TNxEditInfo

TNxEditInfo::TNxEditInfo(TNxCustomEdit* AEdit) : TCustomControl(AEdit), FEdit(AEdit) {
  FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csOpaque};
  FVisible = false;
  SetCursor(crReversedArrow);
}

TRect TNxEditInfo::PreviewBoxRect() {
  if (!FEdit->ShowPreview()) return TRect{};
  TBitmap* G = FEdit->Glyph();
  const int L = G->Empty() ? 0 : G->Width() + 2;
  return Rect(L, 0, L + 20, ClientHeight());
}

void TNxEditInfo::WMEraseBkgnd(TMessage& M) { M.Result = 1; }

void TNxEditInfo::Paint() {
  TCanvas* Cv = Canvas();
  const TRect CR = ClientRect();
  Cv->Brush()->SetStyle(bsSolid);
  Cv->Brush()->SetColor(FEdit->Color());
  Cv->FillRect(CR);
  TBitmap* G = FEdit->Glyph();
  if (!G->Empty()) DrawBitmap(Cv, 0, GlyphTop(), G);
  if (FEdit->ShowPreview()) {
    TRect R = PreviewBoxRect();
    if (FEdit->PreviewBorder()) {
      Cv->Brush()->SetStyle(bsSolid);
      Cv->Brush()->SetColor(static_cast<TColor>(0x808080));
      Cv->FrameRect(R);
      R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
    }
    FEdit->DrawPreview(R);
  }
}

void TNxEditInfo::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  // The pane belongs to the edit's select-all area.
  if (FEdit->CanFocus() && !FEdit->Focused()) FEdit->SetFocus();
  FEdit->SelectAll();
  TBitmap* G = FEdit->Glyph();
  if (G->Empty()) return;
  const int Top = GlyphTop();
  if (X >= 0 && X < G->Width() && Y >= Top && Y < Top + G->Height()) FEdit->DoGlyphClick();
}

int TNxEditInfo::GlyphTop() {
  // Half the pane height minus half the glyph height, rounded (halves to even).
  return static_cast<int>(std::nearbyint(ClientHeight() / 2.0 - FEdit->Glyph()->Height() / 2.0));
}

// ---------------------------------------------------------------------------------------------
// TNxCustomEdit

TNxCustomEdit::TNxCustomEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  FCanvas = std::make_unique<TControlCanvas>();
  FCanvas->SetControl(this);
  FEditMargins = std::make_unique<TNxEditMargins>(this);
  FGlyph = std::make_unique<TBitmap>();
  FGlyph->OnChange = [this](TObject* S) { GlyphChanged(S); };
  SetAlignment(taLeftJustify);
  SetBorderStyle(bsSingle);
  SetColor(clWindow);
  SetParentColor(false);
  SetTabStop(true);
  SetAutoSize(true);
  SetBounds(Left(), Top(), 121, 20);
  FInfo = new TNxEditInfo(this);
  FInfo->SetParent(this);
  RegisterReversedArrowCursor();
}

TNxCustomEdit::~TNxCustomEdit() {
  // The pane is a child and an owned component; it leaves before the window goes.
  FGlyph->OnChange = nullptr;
}

bool TNxCustomEdit::AsBoolean() { return StrToBool(WideToAnsi(Text())); }

TDateTime TNxCustomEdit::AsDateTime() {
  const WideString T = Text();
  return T.empty() ? 0 : StrToDateTime(WideToAnsi(T));
}

double TNxCustomEdit::AsFloat() {
  const WideString T = Text();
  return T.empty() ? 0 : StrToFloat(WideToAnsi(T));
}

int TNxCustomEdit::AsInteger() {
  const WideString T = Text();
  return T.empty() ? 0 : StrToInt(WideToAnsi(T));
}

WideString TNxCustomEdit::AsString() { return Text(); }

void TNxCustomEdit::SetAsBoolean(bool Value) { SetText(WideString(Value ? L"True" : L"False")); }

void TNxCustomEdit::SetAsDateTime(TDateTime Value) { SetText(AnsiToWide(DateTimeToStr(Value))); }

void TNxCustomEdit::SetAsFloat(double Value) { SetText(AnsiToWide(FloatToStr(Value))); }

void TNxCustomEdit::SetAsInteger(int Value) { SetText(AnsiToWide(IntToStr(Value))); }

// The window is a wide-character window, so the text goes in as it is (no code page on the way).
void TNxCustomEdit::SetAsString(const WideString& Value) { SetText(Value); }

TRect TNxCustomEdit::GetPreviewRect() {
  TRect R = ClientRect();
  if (!FGlyph->Empty()) R.Left += FGlyph->Width() + 4;
  R.Right = R.Left + 20;
  return R;
}

void TNxCustomEdit::DrawPreview(const TRect& Rect) {
  if (OnCustomPreviewDraw) OnCustomPreviewDraw(this, Rect);
}

void TNxCustomEdit::DoGlyphClick() {
  if (OnGlyphClick) OnGlyphClick(this);
}

int TNxCustomEdit::CalcLeftMargin() const {
  int L = FEditMargins->Left();
  if (FShowPreview) L = 2 * L + 25;
  if (!FGlyph->Empty()) L += FGlyph->Width() + 4;
  return L;
}

void TNxCustomEdit::AdjustMargins() {
  if (!HandleAllocated()) return;
  const int L = CalcLeftMargin();
  const int R = CalcRightMargin();
  SendMessageW(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
               MAKELPARAM(static_cast<WORD>(std::clamp(L, 0, 0xFFFF)), static_cast<WORD>(std::clamp(R, 0, 0xFFFF))));
}

int TNxCustomEdit::PaneWidth() const {
  if (FInfo == nullptr || !FInfo->Visible()) return 0;
  return FInfo->Width();
}

void TNxCustomEdit::UpdatePane() {
  if (FInfo == nullptr) return;
  int W = 0;
  if (!FGlyph->Empty()) W = FGlyph->Width() + 4;
  if (FShowPreview) W += 20;
  const int H = HandleAllocated() ? ClientHeight() : Height();
  FInfo->SetBounds(0, 0, W, std::max(H, 0));
  FInfo->SetVisible(FShowPreview || !FGlyph->Empty());
  FInfo->Invalidate();
}

void TNxCustomEdit::SetGlyph(TBitmap* Value) {
  FGlyph->OnChange = nullptr;
  if (Value == nullptr)
    FGlyph->SetSize(0, 0);
  else
    FGlyph->Assign(Value);
  FGlyph->OnChange = [this](TObject* S) { GlyphChanged(S); };
  GlyphChanged(FGlyph.get());
}

void TNxCustomEdit::GlyphChanged(TObject*) {
  // The bottom-left pixel is the transparent colour.
  FGlyph->SetTransparentMode(tmAuto);
  if (!FGlyph->Transparent()) {
    FGlyph->OnChange = nullptr;
    FGlyph->SetTransparent(true);
    FGlyph->OnChange = [this](TObject* S) { GlyphChanged(S); };
  }
  AdjustMargins();
  if (HandleAllocated()) RecreateWnd();
  UpdatePane();
}

void TNxCustomEdit::SetPreviewBorder(bool Value) {
  if (FPreviewBorder == Value) return;
  FPreviewBorder = Value;
  if (FInfo != nullptr) FInfo->Invalidate();
}

void TNxCustomEdit::SetShowPreview(bool Value) {
  if (FShowPreview == Value) return;
  FShowPreview = Value;
  AdjustMargins();
  UpdatePane();
}

void TNxCustomEdit::SetBorderWidth(int Value) {
  Value = std::max(Value, 0);
  if (FBorderWidth == Value) return;
  FBorderWidth = Value;
  if (HandleAllocated()) {
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitHeight();
    UpdatePane();
    AdjustMargins();
  }
}

void TNxCustomEdit::FitHeight() {
  if (!AutoSize() || !HandleAllocated()) return;
  AdjustHeight();
  if (FBorderWidth > 0) SetHeight(Height() + 2 * FBorderWidth);
}

void TNxCustomEdit::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN | ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  Params.Style &= ~static_cast<DWORD>(ES_RIGHT | ES_CENTER);
  switch (Alignment()) {
    case taRightJustify: Params.Style |= ES_RIGHT; break;
    case taCenter: Params.Style |= ES_CENTER; break;
    default: Params.Style |= ES_LEFT; break;
  }
}

void TNxCustomEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  if (FBorderWidth > 0) FitHeight();
  AdjustMargins();
  UpdatePane();
}

void TNxCustomEdit::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_GETDLGCODE: WMGetDlgCode(M); return;
    case WM_NCCALCSIZE: WMNCCalcSize(M); return;
    case WM_NCPAINT: WMNCPaint(M); return;
    default: TCustomEdit::Dispatch(M);
  }
}

void TNxCustomEdit::WMGetDlgCode(TMessage& M) {
  DefaultHandler(M);
  M.Result |= DLGC_WANTARROWS;
  if (FWantTabs) M.Result |= DLGC_WANTTAB;
}

void TNxCustomEdit::WMNCCalcSize(TMessage& M) {
  DefaultHandler(M);
  if (FBorderWidth <= 0) return;
  // The text area lies BorderWidth pixels inside the frame on every side.
  RECT* R = reinterpret_cast<RECT*>(M.LParam);
  InflateRect(R, -FBorderWidth, -FBorderWidth);
  if (R->right < R->left) R->right = R->left;
  if (R->bottom < R->top) R->bottom = R->top;
}

void TNxCustomEdit::WMNCPaint(TMessage& M) {
  HWND W = Handle();
  RECT WR;
  GetWindowRect(W, &WR);
  // The client area in window coordinates.
  RECT CR;
  GetClientRect(W, &CR);
  POINT O{0, 0};
  ::ClientToScreen(W, &O);
  OffsetRect(&CR, O.x - WR.left, O.y - WR.top);
  if (FBorderWidth > 0) {
    HDC DC = GetWindowDC(W);
    HBRUSH B = CreateSolidBrush(ColorToRGB(Color()));
    RECT F = CR;
    InflateRect(&F, FBorderWidth, FBorderWidth);
    for (int I = 0; I < FBorderWidth; ++I) {
      FrameRect(DC, &F, B);
      InflateRect(&F, -1, -1);
    }
    DeleteObject(B);
    ReleaseDC(W, DC);
  }
  if (BorderStyle() == bsSingle && IsThemed()) {
    HDC DC = GetWindowDC(W);
    ExcludeClipRect(DC, CR.left, CR.top, CR.right, CR.bottom);
    const TRect Whole(0, 0, WR.right - WR.left, WR.bottom - WR.top);
    // EP_EDITTEXT in its normal, disabled or focused state.
    const int State = !Enabled() ? 4 : (Focused() ? 5 : 1);
    DrawThemedPart(W, DC, Whole, State, 1, L"edit");
    ReleaseDC(W, DC);
    M.Result = 0;
    return;
  }
  DefaultHandler(M);
}

void TNxCustomEdit::WMSize(TMessage& M) {
  TCustomEdit::WMSize(M);
  AdjustMargins();
  UpdatePane();
}

void TNxCustomEdit::WMWindowPosChanged(TMessage& M) {
  TCustomEdit::WMWindowPosChanged(M);
  UpdatePane();
}

void TNxCustomEdit::WMEraseBkgnd(TMessage& M) {
  if (!CanEraseBackground()) {
    M.Result = 1;
    return;
  }
  TCustomEdit::WMEraseBkgnd(M);
}

void TNxCustomEdit::WMSetFocus(TMessage& M) {
  TCustomEdit::WMSetFocus(M);
  if (FInfo != nullptr && FInfo->Visible()) FInfo->Invalidate();
}

void TNxCustomEdit::WMKillFocus(TMessage& M) {
  TCustomEdit::WMKillFocus(M);
  if (FInfo != nullptr && FInfo->Visible()) FInfo->Invalidate();
}

void TNxCustomEdit::CMEnabledChanged(TMessage& M) {
  TCustomEdit::CMEnabledChanged(M);
  for (int I = 0; I < ControlCount(); ++I) Controls(I)->Invalidate();
}

void TNxCustomEdit::CMFontChanged(TMessage& M) {
  TCustomEdit::CMFontChanged(M);
  if (FBorderWidth > 0) FitHeight();
}

// ---------------------------------------------------------------------------------------------
// TNxEdit

void TNxEdit::PlaceCaretAtEnd() {
  if (HandleAllocated()) SetSelStart(static_cast<int>(Text().size()));
}

void TNxEdit::MouseMove(TShiftState Shift, int X, int Y) {
  SetCursor(X <= PaneWidth() + 2 ? crReversedArrow : crDefault);
  TNxCustomEdit::MouseMove(Shift, X, Y);
}

void TNxEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TNxCustomEdit::MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft && X <= PaneWidth() + 2) SelectAll();
}

void TNxEdit::CMFontChanged(TMessage& M) {
  TNxCustomEdit::CMFontChanged(M);
  AdjustMargins();
}
