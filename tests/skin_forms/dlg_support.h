// Test support of the hook-driven dialog skinning: the program's skin loaded into the default
// manager with the hook of form skinning installed, and system dialogs built from in-memory
// templates (modeless, so a test never waits on a modal loop). Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_controls/ownctl_support.h"
#include "support/UiTest.h"

namespace dlgtest {

// One control of a dialog template: a predefined class atom (0x80 button, 0x81 edit, 0x82
// static, 0x83 list box, 0x85 combo box) or a class name.
struct TItem {
  WORD Atom = 0;
  std::wstring ClassName;
  DWORD Style = 0;
  short X = 0, Y = 0, CX = 0, CY = 0;
  WORD Id = 0;
  std::wstring Text;
};

// A dialog template in memory (dialog units), DWORD-aligned items.
class TTemplate {
 public:
  TTemplate(DWORD Style, short CX, short CY, const std::wstring& Title, DWORD ExStyle = 0) {
    DLGTEMPLATE T{};
    T.style = Style;
    T.dwExtendedStyle = ExStyle;
    T.cx = CX;
    T.cy = CY;
    Put(&T, sizeof(T));
    Word(0);  // no menu
    Word(0);  // the dialog class
    Str(Title);
    FCountAt = offsetof(DLGTEMPLATE, cdit);
  }
  void Add(const TItem& I) {
    Align();
    DLGITEMTEMPLATE D{};
    D.style = I.Style | WS_CHILD | WS_VISIBLE;
    D.x = I.X;
    D.y = I.Y;
    D.cx = I.CX;
    D.cy = I.CY;
    D.id = I.Id;
    Put(&D, sizeof(D));
    if (I.Atom != 0) {
      Word(0xFFFF);
      Word(I.Atom);
    } else {
      Str(I.ClassName);
    }
    Str(I.Text);
    Word(0);
    ++*reinterpret_cast<WORD*>(&FBytes[FCountAt]);
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FBytes.data()); }

 private:
  void Put(const void* P, std::size_t N) {
    const auto* B = static_cast<const char*>(P);
    FBytes.insert(FBytes.end(), B, B + N);
  }
  void Word(WORD W) { Put(&W, 2); }
  void Str(const std::wstring& S) {
    Put(S.c_str(), (S.size() + 1) * 2);
  }
  void Align() {
    while (FBytes.size() % 4 != 0) FBytes.push_back(0);
  }
  std::vector<char> FBytes;
  std::size_t FCountAt = 0;
};

// The dialog procedure of the test dialogs: a close destroys the dialog.
inline INT_PTR CALLBACK TestDlgProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM) {
  switch (Msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(Wnd);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(WParam) == IDOK || LOWORD(WParam) == IDCANCEL) DestroyWindow(Wnd);
      return TRUE;
    default:
      return FALSE;
  }
}

inline HWND CreateModeless(const TTemplate& T) {
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), T.Get(), nullptr, TestDlgProc, 0);
}

// A captioned dialog with a system menu and the given extra style, holding an edit, a list box,
// a drop-down combo box, a push button, a check box, a group box and a text static.
inline TTemplate StandardDialog(DWORD Extra = DS_MODALFRAME, const std::wstring& Title = L"Skinned dialog") {
  TTemplate T(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | Extra, 220, 130, Title);
  T.Add({0x81, L"", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 100, 14, 101, L"edit"});
  T.Add({0x83, L"", WS_BORDER | LBS_NOTIFY, 10, 30, 100, 40, 102, L""});
  T.Add({0x85, L"", CBS_DROPDOWNLIST, 120, 10, 90, 60, 103, L""});
  T.Add({0x80, L"", BS_PUSHBUTTON, 120, 100, 50, 14, IDOK, L"OK"});
  T.Add({0x80, L"", BS_AUTOCHECKBOX, 10, 80, 80, 12, 104, L"Check"});
  T.Add({0x80, L"", BS_GROUPBOX, 120, 30, 90, 60, 105, L"Group"});
  T.Add({0x82, L"", SS_LEFT, 10, 100, 100, 10, 106, L"Some text"});
  return T;
}

// The skin loaded into the default manager (the program's skin unless Load gives another), the
// hook of form skinning installed.
class THookedSkin {
 public:
  explicit THookedSkin(const std::function<std::unique_ptr<TsSkinManager>()>& Load = ownctl::LoadProgramSkin)
      : FSavedHook(acFormSkinningLink.CBTHookProc), FSavedClear(acFormSkinningLink.ClearMnuWnds) {
    acDialsInstall();
    sSkinProviderInstall();
    Manager = Load();
  }
  // The hook goes with the manager; the other tests of the program get the link as it was.
  ~THookedSkin() {
    Manager.reset();
    acFormSkinningLink.CBTHookProc = FSavedHook;
    acFormSkinningLink.ClearMnuWnds = FSavedClear;
  }
  std::unique_ptr<TsSkinManager> Manager;

 private:
  HOOKPROC FSavedHook;
  std::function<void()> FSavedClear;
};

namespace detail {
inline BOOL CALLBACK FindVisibleDialog(HWND W, LPARAM P) {
  char Cls[32];
  GetClassNameA(W, Cls, sizeof(Cls));
  if (std::string(Cls) != "#32770" || !IsWindowVisible(W)) return TRUE;
  *reinterpret_cast<HWND*>(P) = W;
  return FALSE;
}
}  // namespace detail

// The visible system dialog of this thread (a message box ...), nullptr when none.
inline HWND VisibleDialog() {
  HWND Found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), detail::FindVisibleDialog, reinterpret_cast<LPARAM>(&Found));
  return Found;
}

// The number of listed providers (non-null entries).
inline int ProviderCount() {
  TObjectList* L = ProviderList();
  if (L == nullptr) return 0;
  int N = 0;
  for (int I = 0; I < L->Count(); ++I)
    if (L->Items(I) != nullptr) ++N;
  return N;
}

// The whole window as painted now (frame included), read through the window DC.
inline uitest::TCapture CaptureWindow(HWND W) { return uitest::WindowPainted(W); }

// The colour is one of the skin's dark greys (all channels below 90, blue at most 20 above red).
inline bool IsSkinDark(COLORREF C) {
  return GetRValue(C) < 90 && GetGValue(C) < 90 && GetBValue(C) < 90 && GetBValue(C) <= GetRValue(C) + 20;
}

}  // namespace dlgtest
