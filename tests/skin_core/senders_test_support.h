// Test support of the sender, form-list and animation tests: controls, forms and plain windows
// that log the skin commands they receive and answer AC_ISSKINNED, AC_GETCOLOR and
// AC_GETPROVIDER as told, a fake skin provider behind acProviderLink, and pixel helpers. Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "skin/core/acAnimation.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "support/UiTest.h"

namespace sndtest {

// What happened, in order: "<name>:<command>" for skin commands, and what the tests add.
struct TLog {
  std::vector<std::string> Items;
  void Add(const std::string& S) { Items.push_back(S); }
  void Clear() { Items.clear(); }
  int Count(const std::string& S) const {
    int N = 0;
    for (const std::string& I : Items) N += I == S ? 1 : 0;
    return N;
  }
};

inline std::string Entry(const std::string& Name, UINT Msg, WPARAM WParam) {
  if (Msg == SM_ALPHACMD) return Name + ":" + std::to_string(AlphaCmdCode(WParam));
  return Name + ":redraw" + std::to_string(WParam);
}

// The answers of a recording control or form.
struct TAnswers {
  LRESULT Skinned = 0;            // to AC_ISSKINNED
  LRESULT Color = 0;              // to AC_GETCOLOR (0: no answer)
  TObject* Provider = nullptr;    // to AC_GETPROVIDER
  TBitmap* Background = nullptr;  // to AC_GETBACKGROUND: this picture with the origin at Offset
  TPoint Offset;
};

// Logs skin commands and WM_SETREDRAW; answers the questions.
inline bool Record(const std::string& Name, TLog* Log, const TAnswers& A, TMessage& M) {
  if (M.Msg == SM_ALPHACMD) {
    if (Log) Log->Add(Entry(Name, M.Msg, M.WParam));
    switch (AlphaCmdCode(M.WParam)) {
      case AC_ISSKINNED: M.Result = A.Skinned; return true;
      case AC_GETCOLOR: M.Result = A.Color; return true;
      case AC_GETPROVIDER: M.Result = reinterpret_cast<LRESULT>(A.Provider); return true;
      case AC_GETBACKGROUND:
        if (A.Background != nullptr) {
          auto* Info = reinterpret_cast<TacBGInfo*>(M.LParam);
          Info->BgType = btCache;
          Info->Bmp = A.Background;
          Info->Offset = A.Offset;
        }
        M.Result = 0;
        return true;
      default: M.Result = 0; return true;
    }
  }
  if (M.Msg == WM_SETREDRAW && Log) Log->Add(Entry(Name, M.Msg, M.WParam));
  return false;
}

// A windowed control that paints itself in one colour.
class TRecControl : public TCustomControl {
  T_CLASS(TRecControl, TCustomControl)

 public:
  TRecControl(TComponent* AOwner, TWinControl* AParent, std::string AName, TLog* ALog, TRect R, TColor Fill)
      : TCustomControl(AOwner), Name(std::move(AName)), Log(ALog), FillColor(Fill) {
    SetControlStyle(ControlStyle() + csAcceptsControls);
    SetBoundsRect(R);
    if (AParent) SetParent(AParent);
  }
  std::string Name;
  TLog* Log;
  TAnswers Answers;
  TColor FillColor;

 protected:
  void Dispatch(TMessage& M) override {
    if (!Record(Name, Log, Answers, M)) TCustomControl::Dispatch(M);
  }
  void Paint() override {
    Canvas()->Brush()->SetColor(FillColor);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }
};

// A graphic control that paints itself in one colour (its top-left pixel in KeyCorner when set).
class TRecGraphic : public TGraphicControl {
  T_CLASS(TRecGraphic, TGraphicControl)

 public:
  TRecGraphic(TComponent* AOwner, TWinControl* AParent, std::string AName, TLog* ALog, TRect R, TColor Fill)
      : TGraphicControl(AOwner), Name(std::move(AName)), Log(ALog), FillColor(Fill) {
    SetBoundsRect(R);
    if (AParent) SetParent(AParent);
  }
  std::string Name;
  TLog* Log;
  TAnswers Answers;
  TColor FillColor;
  TColor KeyCorner = -1;
  int PaintWidth = -1;  // paints only this many columns from the left when set
  int Paints = 0;

 protected:
  void Dispatch(TMessage& M) override {
    if (!Record(Name, Log, Answers, M)) TGraphicControl::Dispatch(M);
  }
  void Paint() override {
    ++Paints;
    Canvas()->Brush()->SetColor(FillColor);
    Canvas()->FillRect(Rect(0, 0, PaintWidth < 0 ? Width() : PaintWidth, Height()));
    if (KeyCorner != -1) Canvas()->SetPixels(0, 0, KeyCorner);
  }
};

// A form that logs skin commands and WM_SETREDRAW and answers the questions.
class TRecForm : public TForm {
  T_CLASS(TRecForm, TForm)

 public:
  using TForm::TForm;
  std::string Name = "form";
  TLog* Log = nullptr;
  TAnswers Answers;

 protected:
  void Dispatch(TMessage& M) override {
    if (!Record(Name, Log, Answers, M)) TForm::Dispatch(M);
  }
};

// A borderless form of one colour at a place on the screen, shown and painted.
inline TRecForm* MakeForm(TComponent* Owner, TLog* Log, const std::string& Name, TRect Bounds,
                          TColor Color, bool Show = true, TFormBorderStyle Border = bsNone) {
  auto* F = TCustomForm::Create<TRecForm>(Owner);
  F->Name = Name;
  F->Log = Log;
  F->SetBorderStyle(Border);
  F->SetPosition(poDesigned);
  F->SetBoundsRect(Bounds);
  F->SetColor(Color);
  if (Show) uitest::ShowSettled(F);
  return F;
}

// ---- Plain Win32 windows ----------------------------------------------------------------------

inline TLog*& PlainLog() {
  static TLog* Log = nullptr;
  return Log;
}

// The window procedure of plain windows: logs skin commands under the window's text, answers
// AC_ISSKINNED with the number in the window's user data.
inline LRESULT CALLBACK PlainWndProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == SM_ALPHACMD) {
    wchar_t Text[64] = {};
    GetWindowTextW(W, Text, 64);
    std::string Name;
    for (const wchar_t* P = Text; *P; ++P) Name += static_cast<char>(*P);
    if (PlainLog()) PlainLog()->Add(Entry(Name, Msg, WParam));
    if (AlphaCmdCode(WParam) == AC_ISSKINNED) return GetWindowLongPtrW(W, GWLP_USERDATA);
    if (AlphaCmdCode(WParam) == AC_GETCOLOR) return 0x123456;
    return 0;
  }
  return DefWindowProcW(W, Msg, WParam, LParam);
}

// A plain child window (not a framework control) named Text.
inline HWND MakePlainChild(HWND Parent, const wchar_t* Text, int X = 0, int Y = 0, bool Visible = true) {
  static const bool Registered = [] {
    WNDCLASSW C{};
    C.lpfnWndProc = PlainWndProc;
    C.hInstance = GetModuleHandleW(nullptr);
    C.lpszClassName = L"SndPlainWindow";
    C.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    return RegisterClassW(&C) != 0;
  }();
  (void)Registered;
  return CreateWindowExW(0, L"SndPlainWindow", Text, WS_CHILD | (Visible ? WS_VISIBLE : 0), X, Y, 10, 10, Parent,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

// A top-level plain window (for the hooked-window list).
inline HWND MakePlainTop(const wchar_t* Text, bool Visible) {
  MakePlainChild(GetDesktopWindow(), L"unused", 0, 0, false);  // registers the class
  return CreateWindowExW(WS_EX_TOOLWINDOW, L"SndPlainWindow", Text, WS_POPUP | (Visible ? WS_VISIBLE : 0), 0, 0, 10,
                         10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// ---- A fake skin provider ---------------------------------------------------------------------

class TFakeProvider : public TObject {
  T_CLASS(TFakeProvider, TObject)

 public:
  TsSkinManager* Manager = nullptr;
  bool InUpdate = false;
  int InUpdateSets = 0;
  bool DrawNonClient = false;
  HWND Border = nullptr;
  TSize Picture;
  TPoint ClientOffset;
  // Where its border window shows the picture (screen).
  TPoint ImageOrigin;
  int RegionRebuilds = 0;
  int BorderUpdates = 0;
};

// Routes acProviderLink to TFakeProvider objects for the length of a test.
class TFakeProviderLink {
 public:
  TFakeProviderLink() {
    auto P = [](TObject* O) { return static_cast<TFakeProvider*>(O); };
    acProviderLink.Manager = [P](TObject* O) { return P(O)->Manager; };
    acProviderLink.SetInUpdate = [P](TObject* O, bool V) {
      P(O)->InUpdate = V;
      ++P(O)->InUpdateSets;
    };
    acProviderLink.DrawNonClientArea = [P](TObject* O) { return P(O)->DrawNonClient; };
    acProviderLink.BorderWindow = [P](TObject* O) { return P(O)->Border; };
    acProviderLink.UpdateBorderWindow = [P](TObject* O, bool, Byte) { ++P(O)->BorderUpdates; };
    acProviderLink.FillRgnRects = [P](TObject* O) { ++P(O)->RegionRebuilds; };
    acProviderLink.UpdateFormRgn = [](TObject*, bool) {};
    acProviderLink.PaintAll = [P](TObject* O) { return P(O)->Picture; };
    acProviderLink.ClientOffset = [P](TObject* O) { return P(O)->ClientOffset; };
    acProviderLink.BorderImageOrigin = [P](TObject* O) { return P(O)->ImageOrigin; };
    acProviderLink.HookedWindows = [this] { return Hooked; };
  }
  ~TFakeProviderLink() { acProviderLink = TacProviderLink{}; }
  std::vector<HWND> Hooked;
};

// ---- Fades --------------------------------------------------------------------------------------

// While it lives, the pauses between the steps of a fade call Look instead, once each step is shown.
struct TFadeWatch {
  static inline std::function<void()> Look;
  explicit TFadeWatch(std::function<void()> L) {
    Look = std::move(L);
    acFadePause = [](int) { Look(); };
  }
  ~TFadeWatch() {
    acFadePause = [](int Milliseconds) { Sleep(static_cast<DWORD>(Milliseconds)); };
    Look = nullptr;
  }
  TFadeWatch(const TFadeWatch&) = delete;
  TFadeWatch& operator=(const TFadeWatch&) = delete;
};

// ---- Windows of the thread ---------------------------------------------------------------------

namespace detail {
inline BOOL CALLBACK CollectTop(HWND W, LPARAM P) {
  reinterpret_cast<std::vector<HWND>*>(P)->push_back(W);
  return TRUE;
}
}  // namespace detail

// The top-level windows of this thread.
inline std::vector<HWND> ThreadTopWindows() {
  std::vector<HWND> R;
  EnumThreadWindows(GetCurrentThreadId(), detail::CollectTop, reinterpret_cast<LPARAM>(&R));
  return R;
}

// The top-level windows of this thread that are layered, other than Except.
inline int LayeredWindowsExcept(HWND Except = nullptr) {
  int N = 0;
  for (HWND W : ThreadTopWindows())
    if (W != Except && (GetWindowLongW(W, GWL_EXSTYLE) & WS_EX_LAYERED) != 0) ++N;
  return N;
}

}  // namespace sndtest
