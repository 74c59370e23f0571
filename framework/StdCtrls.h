// Standard controls of the framework: the label (a graphic control that draws text), and the
// windowed controls built on the system's own control classes: push button, check box and
// single-line edit. Win32.
//
//  - TCustomLabel / TLabel: text in the label's font, aligned horizontally (Alignment) and
//    vertically (Layout), on one or several lines (CR LF in the caption, or WordWrap), with '&'
//    marking the accelerator character (ShowAccelChar). AutoSize fits the bounds to the text.
//    Descendants change what is drawn through GetLabelText and DoDrawText.
//  - TButtonControl: the base of the button-like controls (word wrap, the clicks switch).
//  - TButton: a push button ("BUTTON" superclassed as "TButton"). Enter clicks the button that
//    is Default (or the focused button), Escape the one that is Cancel; a click sets the parent
//    form's ModalResult. With OwnerDraw the window is made BS_OWNERDRAW and paints through
//    CN_DRAWITEM.
//  - TCustomCheckBox / TCheckBox: a check box ("BUTTON" superclassed as "TCheckBox") with the
//    states unchecked, checked and (AllowGrayed) grayed; a click moves to the next state.
//  - TCustomEdit / TEdit: a single-line edit ("EDIT" superclassed as "TEdit"); OnChange fires
//    for every change of the text.
//
// The system controls tell their parent about clicks, text changes and colours; the parent hands
// these notifications back to the control as CN_COMMAND, CN_DRAWITEM, CN_CTLCOLOREDIT ...
#pragma once

#include <windows.h>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"

// Vertical placement of a label's text.
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// True when Key (letter case ignored) is the accelerator of Caption: the character after a
// single '&' ("&&" stands for the '&' itself).
bool IsAccel(wchar_t Key, const WideString& Caption);

// ---------------------------------------------------------------------------------------------
// Labels

class TCustomLabel : public TGraphicControl {
  T_CLASS(TCustomLabel, TGraphicControl)

 public:
  explicit TCustomLabel(TComponent* AOwner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  // The bounds follow the text: the width and height of the text (the height only, at the
  // present width, with WordWrap). A right-aligned label keeps its right edge.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  // Long lines break between words at the label's width.
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  // '&' marks the accelerator character (underlined); without it '&' is drawn as it is.
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);
  // A transparent label draws only its text; otherwise it fills its rectangle with Color first.
  bool Transparent() const { return !ControlStyle().Contains(csOpaque); }
  void SetTransparent(bool Value);
  // The control that receives the focus when the accelerator character is typed.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // The text to draw (the caption).
  virtual WideString GetLabelText();
  // Draws (or with DT_CALCRECT measures, updating Rect) the label's text in Rect with the
  // DrawText flags given; a disabled label is drawn embossed.
  virtual void DoDrawText(TRect& Rect, UINT Flags);
  // Fits the bounds to the text when AutoSize is on (see AutoSize).
  virtual void AdjustBounds();
  void Paint() override;
  void Dispatch(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;
  virtual void CMDialogChar(TMessage& Message);

  // The DrawText flags of the label's alignment and word wrap (DT_EXPANDTABS included).
  UINT TextFlags() const;

 private:
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FAutoSize = true;
  bool FWordWrap = false;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
  T_CLASS(TLabel, TCustomLabel)

 public:
  using TCustomLabel::TCustomLabel;
};

// ---------------------------------------------------------------------------------------------
// Button controls

class TButtonControl : public TWinControl {
  T_CLASS(TButtonControl, TWinControl)

 public:
  explicit TButtonControl(TComponent* AOwner);

  // The caption breaks into several lines when it does not fit (BS_MULTILINE).
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  // BN_CLICKED and the other notifications of the system control (CN_COMMAND).
  virtual void CNCommand(TMessage& Message);
  // The button's own picture (WM_ERASEBKGND): left to the system control.
  void WMEraseBkgnd(TMessage& Message) override;

  // While set, state changes made by the program do not fire OnClick.
  bool ClicksDisabled() const { return FClicksDisabled; }
  void SetClicksDisabled(bool Value) { FClicksDisabled = Value; }

 private:
  bool FWordWrap = false;
  bool FClicksDisabled = false;
};

class TButton : public TButtonControl {
  T_CLASS(TButton, TButtonControl)

 public:
  explicit TButton(TComponent* AOwner);

  // Enter clicks the default button unless another button has the focus.
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  // Escape clicks the cancel button.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  // A click sets the parent form's ModalResult to this value (mrNone: nothing).
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  // The window is created BS_OWNERDRAW: the control paints it in CNDrawItem. Changing the value
  // of a button that has a window recreates the window.
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value);
  // The button is shown as the default push button (it is Default, or it has the focus).
  bool Active() const { return FActive; }

  // Sets the form's ModalResult, then fires OnClick.
  void Click() override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void CNCommand(TMessage& Message) override;
  void CMDialogKey(TMessage& Message) override;
  void CMDialogChar(TMessage& Message) override;
  void CMFocusChanged(TMessage& Message) override;
  // Shows the button as the default push button or as an ordinary one (BM_SETSTYLE); an
  // owner-drawn button keeps its style and only repaints.
  virtual void SetButtonStyle(bool ADefault);
  // Owner drawing (OwnerDraw): the item to paint (CN_DRAWITEM, LParam = DRAWITEMSTRUCT*) and to
  // measure (CN_MEASUREITEM, LParam = MEASUREITEMSTRUCT*). The base draws a plain push button
  // face with the caption and sets Result to 1; CNMeasureItem gives the button's size.
  virtual void CNDrawItem(TMessage& Message);
  virtual void CNMeasureItem(TMessage& Message);
  // The button face drawn by CNDrawItem.
  virtual void DrawButtonFace(TCanvas* ACanvas, const TRect& ARect, bool Pushed, bool Focused);

  // The button type bits of the window (BS_OWNERDRAW ...), from the window or from the settings.
  UINT ButtonType();

 private:
  bool FDefault = false;
  bool FCancel = false;
  bool FActive = false;
  bool FIsFocused = false;  // the style last given by SetButtonStyle
  bool FOwnerDraw = false;
  TModalResult FModalResult = mrNone;
};

class TCustomCheckBox : public TButtonControl {
  T_CLASS(TCustomCheckBox, TButtonControl)

 public:
  explicit TCustomCheckBox(TComponent* AOwner);

  TCheckBoxState State() const { return FState; }
  // Sets the state; a change fires OnClick (unless the clicks are disabled).
  void SetState(TCheckBoxState Value);
  bool Checked() const { return FState == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  // A click passes through the grayed state: unchecked, grayed, checked, unchecked ...
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value);
  // taRightJustify: the text right of the box (the usual look); taLeftJustify: left of it.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);

 protected:
  // Moves to the next state as a click does.
  virtual void Toggle();
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void CNCommand(TMessage& Message) override;
  void CMDialogChar(TMessage& Message) override;

 private:
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
  TAlignment FAlignment = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
  T_CLASS(TCheckBox, TCustomCheckBox)

 public:
  using TCustomCheckBox::TCustomCheckBox;
};

// ---------------------------------------------------------------------------------------------
// Edits

class TCustomEdit : public TWinControl {
  T_CLASS(TCustomEdit, TWinControl)

 public:
  explicit TCustomEdit(TComponent* AOwner);

  // The most characters the user may type (0: the system's limit).
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  // Shown in place of every character (0: the text itself).
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t Value);
  // bsSingle: a sunken edge; bsNone: no frame.
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase Value);
  // The height follows the font (one line of text and the frame).
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  // Entering the edit with the keyboard selects the whole text.
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  // The text was changed by the user since the last SetModified(false).
  bool Modified();
  void SetModified(bool Value);

  // The selection: start (characters from the beginning), length and text. Setting the text
  // replaces the selection. Without a window the selection is empty at the end of the text.
  int SelStart();
  void SetSelStart(int Value);
  int SelLength();
  void SetSelLength(int Value);
  WideString SelText();
  void SetSelText(const WideString& Value);
  void SelectAll();
  void ClearSelection();
  void Clear() { SetText(WideString()); }

  TNotifyEvent OnChange;

 protected:
  // Fires OnChange.
  virtual void Change();
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;
  void CMEnter(TMessage& Message) override;
  // EN_CHANGE and the other notifications of the system control (CN_COMMAND).
  virtual void CNCommand(TMessage& Message);
  // Sizes the control to one line of its font and the frame (AutoSize).
  void AdjustHeight();

 private:
  int FMaxLength = 0;
  bool FReadOnly = false;
  wchar_t FPasswordChar = 0;
  TBorderStyle FBorderStyle = bsSingle;
  TAlignment FAlignment = taLeftJustify;
  TEditCharCase FCharCase = ecNormal;
  bool FAutoSize = true;
  bool FAutoSelect = true;
  bool FModified = false;  // kept while there is no window
};

class TEdit : public TCustomEdit {
  T_CLASS(TEdit, TCustomEdit)

 public:
  using TCustomEdit::TCustomEdit;
};
