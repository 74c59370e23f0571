#include "grid/NxClasses.h"

#include "framework/Forms.h"
#include "framework/Strings.h"

const bool IsUnicodePlatform = (GetVersion() & 0x80000000u) == 0;

void TextExtentW(TCanvas* Canvas, const WideString& Text, TSize& Size) {
  Size = TSize{0, 0};
  if (Text.empty()) return;
  // The canvas measures wide text with GetTextExtentPoint32W in its own font.
  Size = Canvas->TextExtent(Text);
}

int TextWidthW(TCanvas* Canvas, const WideString& Text) {
  if (Text.empty()) return 0;
  if (!IsUnicodePlatform) return Canvas->TextWidth(WideToAnsi(Text));
  TSize S;
  TextExtentW(Canvas, Text, S);
  return S.cx;
}

int TextHeightW(TCanvas* Canvas, const WideString& Text) {
  if (Text.empty()) return 0;
  if (!IsUnicodePlatform) return Canvas->TextHeight(WideToAnsi(Text));
  TSize S;
  TextExtentW(Canvas, Text, S);
  return S.cy;
}

int CalcTextWidthW(TCanvas* Canvas, const WideString& Text) {
  TRect R{0, 0, 0, 0};
  WideString T = Text;
  Canvas->TextRect(R, T, TTextFormat{tfCalcRect});
  return R.Width();
}

void ActivateHintW(THintWindow* HintWindow, const TRect& Rect, const WideString& Text) {
  if (HintWindow == nullptr) return;
  // The hint shows the text as the system code page has it.
  HintWindow->ActivateHint(Rect, AnsiToWide(WideToAnsi(Text)));
}

TRect CalcHintRectW(THintWindow* HintWindow, int MaxWidth, const WideString& Text, void* Data) {
  if (HintWindow == nullptr) return TRect{};
  return HintWindow->CalcHintRect(MaxWidth, AnsiToWide(WideToAnsi(Text)), Data);
}

void ReleaseHintWindow(THintWindow* HintWindow) {
  if (HintWindow != nullptr && HintWindow->HandleAllocated()) HintWindow->ReleaseHandle();
}

void SwapInt(int& A, int& B) {
  const int T = A;
  A = B;
  B = T;
}

bool IsParentFormActive(TControl* Control) {
  TCustomForm* Form = GetParentForm(Control);
  return Form != nullptr && Form->Active();
}
