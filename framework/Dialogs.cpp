#include "framework/Dialogs.h"

#include <algorithm>
#include <cstddef>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "framework/Strings.h"

void ShowMessage(const WideString& Text) {
  if (Application == nullptr) return;
  Application->MessageBox(Text, Application->Title(), MB_OK);
}

void ShowMessage(const AnsiString& Text) { ShowMessage(AnsiToWide(Text)); }

// ---- The system's message box, fitted to the work area ------------------------------------------

namespace {

bool IsLineBreakOrBlank(wchar_t C) { return C == L' ' || C == L'\t' || C == L'\r' || C == L'\n'; }

TRect WindowRectOf(HWND W) {
  RECT R{};
  GetWindowRect(W, &R);
  return TRect{R.left, R.top, R.right, R.bottom};
}

// The font the system's message boxes write their text in (nullptr when it cannot be made).
HFONT CreateMessageFont() {
  NONCLIENTMETRICSW M{};
  // The size every version of the system takes.
  M.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, M.cbSize, &M, 0)) return nullptr;
  return CreateFontIndirectW(&M.lfMessageFont);
}

// Text with every word (a run without blanks and line ends) that is wider than MaxWidth in the
// font of DC broken over lines that are not. The system's boxes break lines between words only,
// and widen the box for a longer word.
WideString BreakLongWords(HDC DC, const WideString& Text, int MaxWidth) {
  WideString Out;
  Out.reserve(Text.size() + Text.size() / 16);
  std::size_t I = 0;
  while (I < Text.size()) {
    if (IsLineBreakOrBlank(Text[I])) {
      Out += Text[I++];
      continue;
    }
    std::size_t End = I;
    while (End < Text.size() && !IsLineBreakOrBlank(Text[End])) ++End;
    while (I < End) {
      int Fit = static_cast<int>(End - I);
      SIZE Size;
      if (!GetTextExtentExPointW(DC, Text.data() + I, Fit, MaxWidth, &Fit, nullptr, &Size)) Fit = static_cast<int>(End - I);
      Fit = std::max(Fit, 1);
      Out.append(Text, I, static_cast<std::size_t>(Fit));
      I += static_cast<std::size_t>(Fit);
      if (I < End) Out += L'\n';
    }
  }
  return Out;
}

// The longest start of Text that, followed by "...", takes no more than Height pixels when a
// static text control of Width pixels (Control, in its own font) shows it.
WideString TextThatFits(HWND Control, const WideString& Text, int Width, int Height) {
  HDC DC = GetDC(Control);
  if (DC == nullptr) return Text;
  HGDIOBJ Font = reinterpret_cast<HGDIOBJ>(SendMessageW(Control, WM_GETFONT, 0, 0));
  HGDIOBJ Old = SelectObject(DC, Font != nullptr ? Font : GetStockObject(SYSTEM_FONT));
  TScopeExit Release([&] {
    SelectObject(DC, Old);
    ReleaseDC(Control, DC);
  });
  auto HeightOf = [&](const WideString& S) {
    RECT R{0, 0, std::max(Width, 1), 0};
    DrawTextW(DC, S.c_str(), static_cast<int>(S.size()), &R, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return static_cast<int>(R.bottom);
  };
  if (HeightOf(Text) <= Height) return Text;
  std::size_t Lo = 0, Hi = Text.size();
  while (Lo < Hi) {
    const std::size_t Mid = (Lo + Hi + 1) / 2;
    if (HeightOf(Text.substr(0, Mid) + L"...") <= Height)
      Lo = Mid;
    else
      Hi = Mid - 1;
  }
  // The cut goes after the last whole line or word that ends shortly before.
  auto LastEnd = [&](bool (*IsEnd)(wchar_t), std::size_t Within) {
    for (std::size_t I = Lo; I > 0 && Lo - I < Within; --I)
      if (IsEnd(Text[I - 1])) return I;
    return std::size_t{0};
  };
  std::size_t Cut = LastEnd([](wchar_t C) { return C == L'\n'; }, 80);
  if (Cut == 0) Cut = LastEnd(IsLineBreakOrBlank, 30);
  if (Cut == 0) Cut = Lo;
  while (Cut > 0 && IsLineBreakOrBlank(Text[Cut - 1])) --Cut;
  return Text.substr(0, Cut) + L"...";
}

bool HasText(HWND W, const WideString& Text) {
  if (GetWindowTextLengthW(W) != static_cast<int>(Text.size())) return false;
  WideString Shown(Text.size() + 1, L'\0');
  Shown.resize(static_cast<std::size_t>(GetWindowTextW(W, Shown.data(), static_cast<int>(Shown.size()))));
  return Shown == Text;
}

bool IsButtonWindow(HWND W) {
  wchar_t Name[16] = {};
  GetClassNameW(W, Name, 16);
  return lstrcmpiW(Name, L"Button") == 0;
}

// Makes a message box (laid out by the system) fit the work area: when it is wider or taller,
// the control showing Text gives up the difference (its text cut where it ends), the buttons
// below it move up by as much (and left by half as much, staying centred), the icon keeps its
// place relative to the box, and the box shrinks. The box is then moved inside the work area.
void FitBoxToWorkArea(HWND Box, const WideString& Text) {
  const TRect B = WindowRectOf(Box);
  const TRect Work = WorkAreaNear(B);
  const int Dx = std::max(0, B.Width() - Work.Width()), Dy = std::max(0, B.Height() - Work.Height());
  if (Dx > 0 || Dy > 0) {
    for (HWND C = GetWindow(Box, GW_CHILD); C != nullptr; C = GetWindow(C, GW_HWNDNEXT)) {
      RECT R;
      GetWindowRect(C, &R);
      MapWindowPoints(nullptr, Box, reinterpret_cast<POINT*>(&R), 2);
      const UINT Keep = SWP_NOZORDER | SWP_NOACTIVATE;
      if (IsButtonWindow(C)) {
        SetWindowPos(C, nullptr, R.left - Dx / 2, R.top - Dy, 0, 0, Keep | SWP_NOSIZE);
      } else if (HasText(C, Text)) {
        const int W = std::max<int>(1, R.right - R.left - Dx), H = std::max<int>(1, R.bottom - R.top - Dy);
        SetWindowTextW(C, TextThatFits(C, Text, W, H).c_str());
        SetWindowPos(C, nullptr, 0, 0, W, H, Keep | SWP_NOMOVE);
      } else {
        SetWindowPos(C, nullptr, MulDiv(R.left, B.Width() - Dx, B.Width()), MulDiv(R.top, B.Height() - Dy, B.Height()),
                     0, 0, Keep | SWP_NOSIZE);
      }
    }
  }
  const int W = B.Width() - Dx, H = B.Height() - Dy;
  const int X = std::clamp(B.Left, Work.Left, Work.Right - W), Y = std::clamp(B.Top, Work.Top, Work.Bottom - H);
  if (Dx > 0 || Dy > 0 || X != B.Left || Y != B.Top)
    SetWindowPos(Box, nullptr, X, Y, W, H, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The box being opened on this thread (the innermost one, when a box opens inside another's
// loop), the text it shows, and the hook that fits it (until it has done so).
struct TBoxFit {
  WideString Text;
  HHOOK Hook = nullptr;
};
thread_local TBoxFit* OpeningBox = nullptr;

// Sees each message after its window handled it: the end of the box's WM_INITDIALOG, where the
// system has laid the box out and not shown it yet.
LRESULT CALLBACK FitBoxHook(int Code, WPARAM WParam, LPARAM LParam) {
  const auto* M = reinterpret_cast<const CWPRETSTRUCT*>(LParam);
  const LRESULT Result = CallNextHookEx(nullptr, Code, WParam, LParam);
  if (Code == HC_ACTION && M->message == WM_INITDIALOG && OpeningBox != nullptr && OpeningBox->Hook != nullptr &&
      (GetWindowLongW(M->hwnd, GWL_STYLE) & WS_CHILD) == 0) {
    // Once is enough: the box's own loop runs without the hook.
    UnhookWindowsHookEx(OpeningBox->Hook);
    OpeningBox->Hook = nullptr;
    FitBoxToWorkArea(M->hwnd, OpeningBox->Text);
  }
  return Result;
}

}  // namespace

int ShowSystemMessageBox(HWND Owner, const WideString& Text, const WideString& Caption, UINT Flags) {
  TBoxFit Fit{ShortenText(Text, MaxMessageBoxTextLength)};
  if (HFONT Font = CreateMessageFont()) {
    HDC DC = CreateCompatibleDC(nullptr);
    HGDIOBJ Old = SelectObject(DC, Font);
    const TRect Near = Owner != nullptr ? WindowRectOf(Owner) : TRect{};
    Fit.Text = BreakLongWords(DC, Fit.Text, WorkAreaNear(Near).Width() / 2);
    SelectObject(DC, Old);
    DeleteDC(DC);
    DeleteObject(Font);
  }
  TBoxFit* Outer = OpeningBox;
  OpeningBox = &Fit;
  Fit.Hook = SetWindowsHookExW(WH_CALLWNDPROCRET, FitBoxHook, nullptr, GetCurrentThreadId());
  TScopeExit Restore([&] {
    if (Fit.Hook != nullptr) UnhookWindowsHookEx(Fit.Hook);
    OpeningBox = Outer;
  });
  return MessageBoxW(Owner, Fit.Text.c_str(), Caption.c_str(), Flags);
}
