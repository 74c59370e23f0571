#include "framework/StdCtrls.h"

#include <algorithm>

#include "framework/Scopes.h"
#include "framework/Strings.h"

namespace {

// The text format of the canvas that stands for a set of DrawText flags.
TTextFormat FormatOfFlags(UINT Flags) {
  TTextFormat Format;
  for (int I = 0; I <= tfWordEllipsis; ++I) {
    const auto F = static_cast<TTextFormats>(I);
    const UINT Bits = TextFormatFlags(TTextFormat{F});
    if (Bits != 0 && (Flags & Bits) == Bits) Format.Include(F);
  }
  return Format;
}

wchar_t UpperChar(wchar_t C) {
  return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(C)))));
}

}  // namespace

bool IsAccel(wchar_t Key, const WideString& Caption) {
  for (std::size_t I = 0; I + 1 < Caption.size(); ++I) {
    if (Caption[I] != L'&') continue;
    if (Caption[I + 1] == L'&') {
      ++I;
      continue;
    }
    return UpperChar(Caption[I + 1]) == UpperChar(Key);
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// TCustomLabel

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle = FControlStyle + csOpaque + csReplicatable;
  SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
  if (FLayout == Value) return;
  FLayout = Value;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
  if (FAutoSize == Value) return;
  FAutoSize = Value;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
  if (FShowAccelChar == Value) return;
  FShowAccelChar = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  if (Transparent() == Value) return;
  TControlStyle S = ControlStyle();
  if (Value)
    S.Exclude(csOpaque);
  else
    S.Include(csOpaque);
  SetControlStyle(S);
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
  if (FFocusControl == Value) return;
  if (FFocusControl != nullptr) RemoveFreeNotification(FFocusControl);
  FFocusControl = Value;
  if (Value != nullptr) FreeNotification(Value);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == static_cast<TComponent*>(FFocusControl)) FFocusControl = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

WideString TCustomLabel::GetLabelText() { return Caption(); }

UINT TCustomLabel::TextFlags() const {
  UINT Flags = DT_EXPANDTABS;
  if (FWordWrap) Flags |= DT_WORDBREAK;
  switch (FAlignment) {
    case taRightJustify: Flags |= DT_RIGHT; break;
    case taCenter: Flags |= DT_CENTER; break;
    default: Flags |= DT_LEFT; break;
  }
  return Flags;
}

void TCustomLabel::DoDrawText(TRect& Rect, UINT Flags) {
  WideString Text = GetLabelText();
  const bool Measuring = (Flags & DT_CALCRECT) != 0;
  // An empty text (or a lone accelerator mark) still measures one line.
  if (Measuring && (Text.empty() || (FShowAccelChar && Text == L"&"))) Text += L' ';
  if (!FShowAccelChar) Flags |= DT_NOPREFIX;
  TCanvas* C = Canvas();
  C->SetFont(Font());
  C->Brush()->SetStyle(bsClear);
  const TTextFormat Format = FormatOfFlags(Flags);
  if (Measuring || Enabled()) {
    C->TextRect(Rect, Text, Format);
    return;
  }
  // Disabled: embossed, a highlight copy one pixel down and right under a shadow copy.
  TRect R = Rect;
  R.Offset(1, 1);
  C->Font()->SetColor(clBtnHighlight);
  C->TextRect(R, Text, Format);
  R.Offset(-1, -1);
  C->Font()->SetColor(clBtnShadow);
  C->TextRect(R, Text, Format);
}

void TCustomLabel::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  if (!Transparent()) {
    C->Brush()->SetColor(Color());
    C->Brush()->SetStyle(bsSolid);
    C->FillRect(R);
  }
  C->Brush()->SetStyle(bsClear);
  const UINT Flags = TextFlags();
  if (FLayout != tlTop) {
    TRect Calc = R;
    DoDrawText(Calc, Flags | DT_CALCRECT);
    const int Free = R.Height() - Calc.Height();
    R.Offset(0, FLayout == tlBottom ? Free : Free / 2);
  }
  DoDrawText(R, Flags);
}

void TCustomLabel::AdjustBounds() {
  if (!FAutoSize || IsLoading() || IsDestroying()) return;
  TRect R = ClientRect();
  TCanvas* C = Canvas();
  // Measured on a screen device context; whatever the canvas held is given back afterwards.
  HDC Held = C->HandleAllocated() ? C->Handle() : nullptr;
  HDC DC = GetDC(nullptr);
  if (DC == nullptr) throw EOutOfResources("Out of system resources");
  C->SetHandle(DC);
  {
    TScopeExit CleanUp([&] {
      C->SetHandle(Held);
      ReleaseDC(nullptr, DC);
    });
    DoDrawText(R, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
  }
  // A wrapping label keeps its width; otherwise the width follows the longest line, and a
  // right-aligned label keeps its right edge.
  int X = Left();
  const int W = FWordWrap ? Width() : R.Width();
  if (FAlignment == taRightJustify) X += Width() - W;
  SetBounds(X, Top(), W, R.Height());
}

void TCustomLabel::Dispatch(TMessage& M) {
  if (M.Msg == CM_DIALOGCHAR) {
    CMDialogChar(M);
    return;
  }
  TGraphicControl::Dispatch(M);
}

void TCustomLabel::CMTextChanged(TMessage& M) {
  Invalidate();
  AdjustBounds();
}

void TCustomLabel::CMFontChanged(TMessage& M) {
  TGraphicControl::CMFontChanged(M);
  AdjustBounds();
}

void TCustomLabel::CMDialogChar(TMessage& M) {
  if (FFocusControl == nullptr || !Enabled() || !FShowAccelChar) return;
  if (!IsAccel(static_cast<wchar_t>(M.WParam), Caption()) || !FFocusControl->CanFocus()) return;
  FFocusControl->SetFocus();
  M.Result = 1;
}

// ---------------------------------------------------------------------------------------------
// TButtonControl

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {}

void TButtonControl::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  RecreateWnd();
}

void TButtonControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  if (FWordWrap) Params.Style |= BS_MULTILINE;
}

void TButtonControl::Dispatch(TMessage& M) {
  if (M.Msg == CN_COMMAND) {
    CNCommand(M);
    return;
  }
  TWinControl::Dispatch(M);
}

void TButtonControl::CMTextChanged(TMessage& M) {
  TWinControl::CMTextChanged(M);
  Invalidate();
}

void TButtonControl::CNCommand(TMessage& M) {}

void TButtonControl::WMEraseBkgnd(TMessage& M) { DefaultHandler(M); }

// ---------------------------------------------------------------------------------------------
// TButton

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
  SetColor(clBtnFace);
}

void TButton::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  CreateSubClass(Params, L"BUTTON");
  Params.Style |= FOwnerDraw ? BS_OWNERDRAW : FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::CreateWnd() {
  FActive = FDefault;
  TButtonControl::CreateWnd();
  FIsFocused = FDefault;
}

void TButton::SetDefault(bool Value) {
  if (FDefault == Value) return;
  FDefault = Value;
  TCustomForm* Form = HandleAllocated() ? GetParentForm(this) : nullptr;
  if (Form != nullptr) {
    // Every button works out again whether it is the one that Enter clicks.
    Form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Form->ActiveControl()));
  } else {
    FActive = FDefault;
    SetButtonStyle(FActive);
  }
}

void TButton::SetOwnerDraw(bool Value) {
  if (FOwnerDraw == Value) return;
  FOwnerDraw = Value;
  RecreateWnd();
}

UINT TButton::ButtonType() {
  if (HandleAllocated()) return static_cast<UINT>(GetWindowLongW(Handle(), GWL_STYLE)) & BS_TYPEMASK;
  return FOwnerDraw ? BS_OWNERDRAW : FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetButtonStyle(bool ADefault) {
  if (ADefault == FIsFocused) return;
  FIsFocused = ADefault;
  if (!HandleAllocated()) return;
  const UINT Type = ButtonType();
  if (Type == BS_OWNERDRAW) {
    Invalidate();
    return;
  }
  if (Type != BS_PUSHBUTTON && Type != BS_DEFPUSHBUTTON) return;
  const UINT Style = (static_cast<UINT>(GetWindowLongW(Handle(), GWL_STYLE)) & 0xFFFF & ~BS_TYPEMASK) |
                     (ADefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  SendMessageW(Handle(), BM_SETSTYLE, Style, TRUE);
}

void TButton::Click() {
  TCustomForm* Form = GetParentForm(this);
  if (Form != nullptr && FModalResult != mrNone) Form->SetModalResult(FModalResult);
  TButtonControl::Click();
}

void TButton::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case CN_DRAWITEM: CNDrawItem(M); break;
    case CN_MEASUREITEM: CNMeasureItem(M); break;
    default: TButtonControl::Dispatch(M); break;
  }
}

void TButton::CNCommand(TMessage& M) {
  if (HIWORD(M.WParam) == BN_CLICKED && !ClicksDisabled()) Click();
}

void TButton::CMDialogKey(TMessage& M) {
  const bool Hit = (M.WParam == VK_RETURN && FActive) || (M.WParam == VK_ESCAPE && FCancel);
  if (Hit && KeyDataToShiftState(M.LParam).Empty() && CanFocus()) {
    Click();
    M.Result = 1;
    return;
  }
  TButtonControl::CMDialogKey(M);
}

void TButton::CMDialogChar(TMessage& M) {
  if (IsAccel(static_cast<wchar_t>(M.WParam), Caption()) && CanFocus()) {
    Click();
    M.Result = 1;
    return;
  }
  TButtonControl::CMDialogChar(M);
}

void TButton::CMFocusChanged(TMessage& M) {
  auto* Sender = reinterpret_cast<TWinControl*>(M.LParam);
  if (Sender != nullptr && dynamic_cast<TButton*>(Sender) != nullptr)
    FActive = Sender == this;
  else
    FActive = FDefault;
  SetButtonStyle(FActive);
  TButtonControl::CMFocusChanged(M);
}

void TButton::CNDrawItem(TMessage& M) {
  auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
  if (D == nullptr || D->hDC == nullptr) return;
  const int Saved = SaveDC(D->hDC);
  TCanvas C;
  C.SetHandle(D->hDC);
  {
    TScopeExit CleanUp([&] {
      C.SetHandle(nullptr);
      RestoreDC(D->hDC, Saved);
    });
    DrawButtonFace(&C, Rect(D->rcItem.left, D->rcItem.top, D->rcItem.right, D->rcItem.bottom),
                   (D->itemState & ODS_SELECTED) != 0, (D->itemState & ODS_FOCUS) != 0);
  }
  M.Result = 1;
}

void TButton::CNMeasureItem(TMessage& M) {
  auto* S = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
  if (S == nullptr) return;
  S->itemWidth = static_cast<UINT>(Width());
  S->itemHeight = static_cast<UINT>(Height());
  M.Result = 1;
}

void TButton::DrawButtonFace(TCanvas* ACanvas, const TRect& ARect, bool Pushed, bool Focused) {
  TRect R = ARect;
  if (FIsFocused) {
    // The default button has a dark outline.
    ACanvas->Brush()->SetStyle(bsSolid);
    ACanvas->Brush()->SetColor(cl3DDkShadow);
    ACanvas->FrameRect(R);
    R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  }
  RECT Face{R.Left, R.Top, R.Right, R.Bottom};
  UINT State = DFCS_BUTTONPUSH | (Pushed ? DFCS_PUSHED : 0u) | (Enabled() ? 0u : DFCS_INACTIVE);
  DrawFrameControl(ACanvas->Handle(), &Face, DFC_BUTTON, State);
  WideString Text = Caption();
  TRect T = Rect(R.Left + 4, R.Top + 2, R.Right - 4, R.Bottom - 2);
  if (Pushed) T.Offset(1, 1);
  ACanvas->SetFont(Font());
  ACanvas->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
  ACanvas->Brush()->SetStyle(bsClear);
  if (WordWrap()) {
    TRect Calc = T;
    WideString Measured = Text;
    ACanvas->TextRect(Calc, Measured, TTextFormat{tfCalcRect, tfCenter, tfWordBreak});
    T.Top += std::max((T.Height() - Calc.Height()) / 2, 0);
    ACanvas->TextRect(T, Text, TTextFormat{tfCenter, tfWordBreak});
  } else {
    ACanvas->TextRect(T, Text, TTextFormat{tfCenter, tfVerticalCenter, tfSingleLine});
  }
  if (Focused) ACanvas->DrawFocusRect(Rect(R.Left + 3, R.Top + 3, R.Right - 3, R.Bottom - 3));
}

// ---------------------------------------------------------------------------------------------
// TCustomCheckBox

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
}

void TCustomCheckBox::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  CreateSubClass(Params, L"BUTTON");
  Params.Style |= BS_3STATE;
  if (FAlignment == taLeftJustify) Params.Style |= BS_LEFTTEXT;
}

void TCustomCheckBox::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(FState), 0);
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (Value != cbUnchecked && Value != cbChecked && Value != cbGrayed)
    throw EInvalidOperation(Format("Invalid check box state (%d)", static_cast<int>(Value)));
  if (FState == Value) return;
  FState = Value;
  if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(FState), 0);
  if (!ClicksDisabled()) Click();
}

void TCustomCheckBox::SetAllowGrayed(bool Value) { FAllowGrayed = Value; }

void TCustomCheckBox::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  RecreateWnd();
}

void TCustomCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::CNCommand(TMessage& M) {
  if (HIWORD(M.WParam) == BN_CLICKED) Toggle();
}

void TCustomCheckBox::CMDialogChar(TMessage& M) {
  if (IsAccel(static_cast<wchar_t>(M.WParam), Caption()) && CanFocus()) {
    SetFocus();
    if (Focused()) Toggle();
    M.Result = 1;
    return;
  }
  TButtonControl::CMDialogChar(M);
}

// ---------------------------------------------------------------------------------------------
// TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, L"EDIT");
  Params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  switch (FAlignment) {
    case taRightJustify: Params.Style |= ES_RIGHT; break;
    case taCenter: Params.Style |= ES_CENTER; break;
    default: Params.Style |= ES_LEFT; break;
  }
  if (FCharCase == ecUpperCase) Params.Style |= ES_UPPERCASE;
  if (FCharCase == ecLowerCase) Params.Style |= ES_LOWERCASE;
  if (FReadOnly) Params.Style |= ES_READONLY;
  if (FPasswordChar != 0) Params.Style |= ES_PASSWORD;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
  TWinControl::CreateWnd();
  HWND W = Handle();
  SendMessageW(W, EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
  if (FPasswordChar != 0) SendMessageW(W, EM_SETPASSWORDCHAR, static_cast<WPARAM>(FPasswordChar), 0);
  SendMessageW(W, EM_SETMODIFY, FModified ? TRUE : FALSE, 0);
  if (FAutoSize) AdjustHeight();
}

void TCustomEdit::DestroyWnd() {
  if (HandleAllocated()) FModified = SendMessageW(Handle(), EM_GETMODIFY, 0, 0) != 0;
  TWinControl::DestroyWnd();
}

void TCustomEdit::AdjustHeight() {
  HDC DC = GetDC(nullptr);
  if (DC == nullptr) return;
  HGDIOBJ Old = SelectObject(DC, Font()->Handle());
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  // One line of text, a pixel above and below it, and the sunken edge.
  const int Frame = FBorderStyle == bsSingle ? 2 * GetSystemMetrics(SM_CYEDGE) + 4 : 2;
  SetHeight(TM.tmHeight + Frame);
}

void TCustomEdit::SetMaxLength(int Value) {
  if (Value < 0) throw EInvalidOperation(Format("Invalid edit length limit (%d)", Value));
  FMaxLength = Value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(Value), 0);
}

void TCustomEdit::SetReadOnly(bool Value) {
  if (FReadOnly == Value) return;
  FReadOnly = Value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, Value ? TRUE : FALSE, 0);
}

void TCustomEdit::SetPasswordChar(wchar_t Value) {
  if (FPasswordChar == Value) return;
  FPasswordChar = Value;
  RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
  if (Value != bsNone && Value != bsSingle)
    throw EInvalidOperation("An edit's border style is bsNone or bsSingle");
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateWnd();
  if (FAutoSize) AdjustHeight();
}

void TCustomEdit::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (FCharCase == Value) return;
  FCharCase = Value;
  RecreateWnd();
}

void TCustomEdit::SetAutoSize(bool Value) {
  if (FAutoSize == Value) return;
  FAutoSize = Value;
  if (Value) AdjustHeight();
}

bool TCustomEdit::Modified() {
  if (HandleAllocated()) return SendMessageW(Handle(), EM_GETMODIFY, 0, 0) != 0;
  return FModified;
}

void TCustomEdit::SetModified(bool Value) {
  FModified = Value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETMODIFY, Value ? TRUE : FALSE, 0);
}

int TCustomEdit::SelStart() {
  if (!HandleAllocated()) return static_cast<int>(Text().size());
  DWORD Start = 0, End = 0;
  SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
  return static_cast<int>(Start);
}

void TCustomEdit::SetSelStart(int Value) {
  SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(Value), static_cast<LPARAM>(Value));
}

int TCustomEdit::SelLength() {
  if (!HandleAllocated()) return 0;
  DWORD Start = 0, End = 0;
  SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
  return static_cast<int>(End - Start);
}

void TCustomEdit::SetSelLength(int Value) {
  const int Start = SelStart();
  SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(Start), static_cast<LPARAM>(Start + Value));
}

WideString TCustomEdit::SelText() {
  if (!HandleAllocated()) return WideString();
  const int Start = SelStart(), Length = SelLength();
  const WideString T = Text();
  if (Start < 0 || static_cast<std::size_t>(Start) > T.size()) return WideString();
  return T.substr(static_cast<std::size_t>(Start), static_cast<std::size_t>(std::max(Length, 0)));
}

void TCustomEdit::SetSelText(const WideString& Value) {
  SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Value.c_str()));
}

void TCustomEdit::SelectAll() {
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

void TCustomEdit::ClearSelection() {
  if (HandleAllocated()) SendMessageW(Handle(), WM_CLEAR, 0, 0);
}

void TCustomEdit::Change() { Fire(OnChange, this); }

void TCustomEdit::Dispatch(TMessage& M) {
  if (M.Msg == CN_COMMAND) {
    CNCommand(M);
    return;
  }
  TWinControl::Dispatch(M);
}

void TCustomEdit::CNCommand(TMessage& M) {
  if (HIWORD(M.WParam) == EN_CHANGE && !ControlState().Contains(csCreating)) Change();
}

void TCustomEdit::CMTextChanged(TMessage& M) {
  TWinControl::CMTextChanged(M);
  // With a window the system control reports the change itself (EN_CHANGE).
  if (!HandleAllocated()) Change();
}

void TCustomEdit::CMFontChanged(TMessage& M) {
  TWinControl::CMFontChanged(M);
  if (HandleAllocated() && FAutoSize) AdjustHeight();
}

void TCustomEdit::CMEnter(TMessage& M) {
  if (FAutoSelect && !ControlState().Contains(csLButtonDown)) SelectAll();
  TWinControl::CMEnter(M);
}
