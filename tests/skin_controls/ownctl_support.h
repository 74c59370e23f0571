// Test support of the engine's own skinned controls (splitter, button, label, fade): the program's
// dark skin loaded from its packed file, a form on the screen, real mouse presses, moves and
// releases through the system's input queue, and colour helpers. Win32.
#pragma once

#include "support/SourceTree.h"

#include <windows.h>

#include <memory>
#include <string>

#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "skin/core/sSkinManager.h"
#include "skin_core/manager_test_support.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace ownctl {

// The folder of the program's own skin (app/res/skin), as a path of the Wine drive Z:.
inline AnsiString ProgramSkinFolder() { return tvtest::ProgramSkinFolder(); }

// A manager (the default one when it is the first) with the program's dark skin loaded from
// DefaultBlack.asz.
inline std::unique_ptr<TsSkinManager> LoadProgramSkin() {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(ProgramSkinFolder());
  M->SetSkinName("DefaultBlack");
  return M;
}

// The colours of the three state frames of the generated skin's border image (normal, hot,
// pressed).
inline constexpr TColor StateColors[3] = {0x0000C0, 0x00C000, 0xC00000};

// A generated skin whose SPLITTER and BUTTON sections carry a border image of three frames, one
// solid colour each (StateColors), 10 x 10 pixels with 2-pixel margins; the button fades in
// FadeSteps steps. NOFADE is BUTTON without fading.
inline std::unique_ptr<TsSkinManager> LoadStatesSkin(int FadeSteps = 4) {
  TBitmap Master(30, 10, pf24bit);
  for (int I = 0; I < 3; ++I) {
    Master.Canvas()->Brush()->SetColor(StateColors[I]);
    Master.Canvas()->FillRect(Rect(I * 10, 0, I * 10 + 10, 10));
  }
  const std::string Options = std::string("[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nCOLOR=8421504\r\n") +
                              "[SPLITTER]\r\nCOLOR=0\r\nHOTCOLOR=16777215\r\n"
                              "BORDERSMASK=^0000^0000^0030^0010^0002^0002^0002^0002^3^0^0^0\r\n"
                              "[BUTTON]\r\nCOLOR=0\r\nHOTCOLOR=16777215\r\nFONTCOLOR=65535\r\nHOTFONTCOLOR=65535\r\n"
                              "FADINGENABLED=TRUE\r\nFADINGITERATIONS=" + std::to_string(FadeSteps) + "\r\n"
                              "BORDERSMASK=^0000^0000^0030^0010^0002^0002^0002^0002^3^0^0^0\r\n"
                              "[NOFADE]\r\nCOLOR=0\r\nHOTCOLOR=16777215\r\n"
                              "BORDERSMASK=^0000^0000^0030^0010^0002^0002^0002^0002^3^0^0^0\r\n";
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory("c:\\no such skins dir");
  mgrtest::AddStoredSkin(*M, "States", Options, {{"MASTER.BMP", mgrtest::BitmapBytes(Master)}});
  M->SetSkinName("States");
  return M;
}

// The skin's colours as the screen shows them ($00BBGGRR values of the options text).
constexpr COLORREF Colour(int Value) { return static_cast<COLORREF>(Value); }
// The section's first colour values of the program's skin.
inline constexpr COLORREF SplitterColor = Colour(4209210);
inline constexpr COLORREF SplitterHotColor = Colour(14716477);
inline constexpr COLORREF GlobalFontColor = Colour(15263462);

inline int R(COLORREF C) { return GetRValue(C); }
inline int G(COLORREF C) { return GetGValue(C); }
inline int B(COLORREF C) { return GetBValue(C); }
// Per channel difference at most Tol.
inline bool Near(COLORREF A, COLORREF Bc, int Tol = 2) {
  return std::abs(R(A) - R(Bc)) <= Tol && std::abs(G(A) - G(Bc)) <= Tol && std::abs(B(A) - B(Bc)) <= Tol;
}
// Per channel, C lies between A and B (inclusive, with a tolerance of one).
inline bool Between(COLORREF C, COLORREF A, COLORREF Bc) {
  auto In = [](int V, int X, int Y) { return V >= std::min(X, Y) - 1 && V <= std::max(X, Y) + 1; };
  return In(R(C), R(A), R(Bc)) && In(G(C), G(A), G(Bc)) && In(B(C), B(A), B(Bc));
}

// A form on the screen for the test, freed at the end.
struct TTestForm {
  TForm* Form;
  explicit TTestForm(TColor Color = clWhite) {
    Form = new TForm(nullptr);
    Form->SetBounds(80, 80, 420, 300);
    Form->SetColor(Color);
  }
  ~TTestForm() {
    delete Form;
    uitest::Pump();
  }
  TTestForm(const TTestForm&) = delete;
  TTestForm& operator=(const TTestForm&) = delete;
  void Show() {
    uitest::ShowSettled(Form);
    realinput::BringToFront(Form->Handle());
    uitest::Settle(Form->Handle());
  }
};

// ---- real mouse input ---------------------------------------------------------------------------

inline POINT ScreenPoint(HWND W, int X, int Y) {
  POINT P{X, Y};
  ClientToScreen(W, &P);
  return P;
}

inline void SendMouse(POINT S, DWORD Flags) {
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dx = MulDiv(S.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  In.mi.dy = MulDiv(S.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  In.mi.dwFlags = Flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &In, sizeof(INPUT));
}

// Moves the pointer to a client point of W and lets the windows see it. The move is settled: under
// a busy X server a late report of an earlier place could otherwise come after it and be what the
// windows see last.
inline bool MoveTo(HWND W, int X, int Y) {
  const bool Ok = realinput::MovePointerSettled(ScreenPoint(W, X, Y));
  uitest::PumpFor(30);
  return Ok;
}

// Presses / releases the left button at a client point of W (the pointer goes there first).
inline bool PressAt(HWND W, int X, int Y) {
  if (!MoveTo(W, X, Y)) return false;
  SendMouse(ScreenPoint(W, X, Y), MOUSEEVENTF_LEFTDOWN);
  uitest::PumpFor(30);
  return true;
}
inline bool ReleaseAt(HWND W, int X, int Y) {
  SendMouse(ScreenPoint(W, X, Y), MOUSEEVENTF_LEFTUP);
  uitest::PumpFor(30);
  return true;
}
// Moves the pointer away from the test's windows, onto a small window of its own in the screen's
// top-left corner, and waits until that window has taken the move and the pointer stays there
// (every pointer event of an earlier place has been handled by then), then until no window is
// still to be told that the pointer left it (each leave has reached its window; a window destroyed
// while the pointer was over it is told nothing, though the system may go on naming it as the one
// it tracks); the window goes again.
inline bool PointerAway() {
  static const wchar_t* Class = [] {
    WNDCLASSEXW C{};
    C.cbSize = sizeof(C);
    C.lpfnWndProc = DefWindowProcW;
    C.hInstance = GetModuleHandleW(nullptr);
    C.lpszClassName = L"OwnctlPointerAway";
    RegisterClassExW(&C);
    return L"OwnctlPointerAway";
  }();
  HWND Rest = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, Class, L"", WS_POPUP | WS_VISIBLE,
                              0, 0, 50, 30, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  const POINT S{25, 15};
  const bool Away = realinput::MovePointerSeen(S) && realinput::MovePointerSettled(S) && uitest::WaitFor([] {
    TRACKMOUSEEVENT T{sizeof(TRACKMOUSEEVENT), TME_QUERY, nullptr, 0};
    const bool Tracked =
        TrackMouseEvent(&T) && T.hwndTrack != nullptr && IsWindow(T.hwndTrack) && (T.dwFlags & TME_LEAVE) != 0;
    MSG M;
    return !Tracked && !PeekMessageW(&M, nullptr, WM_MOUSELEAVE, WM_MOUSELEAVE, PM_NOREMOVE) &&
           !PeekMessageW(&M, nullptr, WM_NCMOUSELEAVE, WM_NCMOUSELEAVE, PM_NOREMOVE);
  });
  DestroyWindow(Rest);
  return Away;
}

// Where to save the pictures the tests take for a person to look at ("" when nowhere).
inline void SaveWindow(HWND W, const char* Name) {
  const uitest::TCapture C(W);
  C.MaybeSave(Name);
}

}  // namespace ownctl
