#include "grid/NxClasses.h"

#include <memory>

#include "framework/Forms.h"
#include "framework/Strings.h"

namespace {

bool IsNtPlatform() {
  OSVERSIONINFOA Info{};
  Info.dwOSVersionInfoSize = sizeof(Info);
  return GetVersionExA(&Info) && Info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

TCanvas* CheckCanvas(TCanvas* Canvas, const char* Routine) {
  if (Canvas == nullptr) throw EInvalidOperation(Format("%s: no canvas to measure on", Routine));
  return Canvas;
}

const std::unique_ptr<TLocalSettings> TheLocalSettings = std::make_unique<TLocalSettings>();

}  // namespace

bool IsUnicodePlatform = IsNtPlatform();

const WideString strToday = L"Today";
const WideString strNone = L"None";

TLocalSettings* LocalSettings() { return TheLocalSettings.get(); }

void TextExtentW(TCanvas* Canvas, const WideString& Text, TSize& Size) {
  Size = TSize{0, 0};
  // The canvas measures wide text with GetTextExtentPoint32W in its own font.
  Size = CheckCanvas(Canvas, "TextExtentW")->TextExtent(Text);
}

int TextWidthW(TCanvas* Canvas, const WideString& Text) {
  CheckCanvas(Canvas, "TextWidthW");
  if (!IsUnicodePlatform) return Canvas->TextWidth(WideToAnsi(Text));
  TSize S;
  TextExtentW(Canvas, Text, S);
  return S.cx;
}

int TextHeightW(TCanvas* Canvas, const WideString& Text) {
  CheckCanvas(Canvas, "TextHeightW");
  if (!IsUnicodePlatform) return Canvas->TextHeight(WideToAnsi(Text));
  TSize S;
  TextExtentW(Canvas, Text, S);
  return S.cy;
}

int CalcTextWidthW(TCanvas* Canvas, const WideString& Text) {
  CheckCanvas(Canvas, "CalcTextWidthW");
  TRect R{0, 0, 0, 0};
  if (IsUnicodePlatform) {
    WideString T = Text;
    Canvas->TextRect(R, T, TTextFormat{tfCalcRect});
  } else {
    AnsiString T = WideToAnsi(Text);
    Canvas->TextRect(R, T, TTextFormat{tfCalcRect});
  }
  return R.Width();
}

namespace {

// The text a hint window shows of Text, as the system code page has it. Only what the window
// shows is converted: a text megabytes long costs no more than a short one.
WideString HintWindowText(const WideString& Text) {
  return AnsiToWide(WideToAnsi(ShortenText(Text, THintWindow::MaxHintLength)));
}

}  // namespace

void ActivateHintW(THintWindow* HintWindow, const TRect& Rect, const WideString& Text) {
  if (HintWindow == nullptr) return;
  HintWindow->ActivateHint(Rect, HintWindowText(Text));
}

TRect CalcHintRectW(THintWindow* HintWindow, int MaxWidth, const WideString& Text, void* Data) {
  if (HintWindow == nullptr) return TRect{};
  return HintWindow->CalcHintRect(MaxWidth, HintWindowText(Text), Data);
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
  if (Control == nullptr) return false;
  TCustomForm* Form = GetParentForm(Control);
  return Form != nullptr && Form->Active();
}
