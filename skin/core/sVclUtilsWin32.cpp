// The system half of the general utilities: message box, waits, paths, directory enumeration,
// file icons and the caption font.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <iterator>

#include <shellapi.h>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "skin/core/sConst.h"
#include "skin/core/sVclUtils.h"

TacMessageBoxProc acMessageBoxProc;
int HScrollArrowWidth = GetSystemMetrics(SM_CXHSCROLL);

// ---- Cache info ---------------------------------------------------------------------------------

TCacheInfo DefaultCacheInfo() {
  TCacheInfo CI;
  CI.Bmp = nullptr;
  CI.X = -99;
  CI.Y = -99;
  CI.FillColor = 0;
  CI.Ready = false;
  return CI;
}

TCacheInfo MakeCacheInfo(TBitmap* Bmp, int X, int Y) {
  TCacheInfo CI;
  CI.Bmp = Bmp;
  CI.X = X;
  CI.Y = Y;
  CI.FillColor = clKeyColor;
  CI.Ready = true;
  return CI;
}

// ---- Message box ----------------------------------------------------------------------------------

UINT MessageBoxFlags(int Kind, TMsgDlgButtons Buttons) {
  UINT Flags = MB_SETFOREGROUND | MB_TOPMOST;
  switch (Kind) {
    case mkWarning: Flags |= MB_ICONWARNING; break;
    case mkError: Flags |= MB_ICONERROR; break;
    case mkInformation: Flags |= MB_ICONINFORMATION; break;
    case mkConfirm: Flags |= MB_ICONQUESTION; break;
    default: break;
  }
  if (Buttons.Contains(mbOK)) {
    Flags |= Buttons.Contains(mbCancel) ? MB_OKCANCEL : MB_OK;
  } else if (Buttons.Contains(mbAbort) || Buttons.Contains(mbIgnore)) {
    Flags |= MB_ABORTRETRYIGNORE;
  } else if (Buttons.Contains(mbYes) || Buttons.Contains(mbNo)) {
    Flags |= Buttons.Contains(mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
  } else if (Buttons.Contains(mbRetry)) {
    Flags |= MB_RETRYCANCEL;
  } else {
    Flags |= MB_OK;
  }
  if (Buttons.Contains(mbHelp)) Flags |= MB_HELP;
  return Flags;
}

namespace {

// The real box: with no active window it is owned by the application window, otherwise it goes
// through the application (owned by the active window, the other windows disabled meanwhile).
// Both use the application's replaceable message box routine.
int SystemMessageBox(const AnsiString& Text, const AnsiString& Caption, UINT Flags) {
  const WideString WText = AnsiToWide(Text), WCaption = AnsiToWide(Caption);
  if (Application == nullptr) return ShowSystemMessageBox(nullptr, WText, WCaption, Flags);
  if (GetActiveWindow() != nullptr) return Application->MessageBox(WText, WCaption, Flags);
  if (Application->MessageBoxProc) return Application->MessageBoxProc(Application->Handle(), WText, WCaption, Flags);
  return ShowSystemMessageBox(Application->Handle(), WText, WCaption, Flags);
}

}  // namespace

int ShowMessageBox(const AnsiString& Text, int Kind, TMsgDlgButtons Buttons, int HelpContext) {
  const UINT Flags = MessageBoxFlags(Kind, Buttons);
  const AnsiString Caption = MsgBoxCaption(Kind);
  MsgBoxPosX = -1;
  MsgBoxPosY = -1;
  struct TFinish {
    ~TFinish() {
      if (Application != nullptr) Application->ModalFinished();
      MsgBoxPosX = -1;
      MsgBoxPosY = -1;
    }
  };
  if (Application != nullptr) Application->ModalStarted();
  TFinish Finish;
  return acMessageBoxProc ? acMessageBoxProc(Text, Caption, Flags) : SystemMessageBox(Text, Caption, Flags);
}

void ShowWarning(const AnsiString& Text) { ShowMessageBox(Text, mkWarning, {mbOK}); }

int ShowError(const AnsiString& Text) { return ShowMessageBox(Text, mkError, {mbOK}); }

// ---- System -------------------------------------------------------------------------------------

void DelayWithMessages(unsigned Milliseconds) {
  const DWORD Start = GetTickCount();
  do {
    if (Application != nullptr) {
      Application->ProcessMessages();
    } else {
      MSG Msg;
      while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
      }
    }
    if (GetTickCount() - Start < Milliseconds) Sleep(1);
  } while (GetTickCount() - Start < Milliseconds);
}

AnsiString AppDirectory() {
  char Buf[MAX_PATH + 1] = {};
  const DWORD N = GetModuleFileNameA(nullptr, Buf, MAX_PATH);
  return ExtractFilePath(AnsiString(Buf, N));
}

bool WindowsVersionAtLeast6() {
  OSVERSIONINFOW Info{};
  Info.dwOSVersionInfoSize = sizeof(Info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&Info)) return true;
#pragma GCC diagnostic pop
  return Info.dwMajorVersion >= 6;
}

namespace {
void FillSearchRec(TacSearchRec& Rec, const WIN32_FIND_DATAA& Data) {
  Rec.Name = Data.cFileName;
  Rec.Attr = Data.dwFileAttributes;
}
}  // namespace

bool FindFirstEntry(const AnsiString& Mask, TacSearchRec& Rec) {
  WIN32_FIND_DATAA Data;
  Rec.FindHandle = FindFirstFileA(Mask.c_str(), &Data);
  if (Rec.FindHandle == INVALID_HANDLE_VALUE) return false;
  FillSearchRec(Rec, Data);
  return true;
}

bool FindNextEntry(TacSearchRec& Rec) {
  if (Rec.FindHandle == INVALID_HANDLE_VALUE) return false;
  WIN32_FIND_DATAA Data;
  if (!FindNextFileA(Rec.FindHandle, &Data)) return false;
  FillSearchRec(Rec, Data);
  return true;
}

void FindCloseEntry(TacSearchRec& Rec) {
  if (Rec.FindHandle != INVALID_HANDLE_VALUE) FindClose(Rec.FindHandle);
  Rec.FindHandle = INVALID_HANDLE_VALUE;
}

HICON GetFileIcon(const AnsiString& FileName, UINT Flags) {
  if (!FileExists(FileName)) return nullptr;
  SHFILEINFOA Info = {};
  if (SHGetFileInfoA(FileName.c_str(), 0, &Info, sizeof(Info), Flags | SHGFI_ICON) == 0) return nullptr;
  return Info.hIcon;
}

namespace {
// The kept answers: the metrics below KeptCount by index (unknown: KeptNone), and the caption font.
constexpr int KeptCount = 100, KeptNone = INT_MIN;
struct TKeptMetrics {
  TKeptMetrics() { Forget(); }
  void Forget() {
    std::fill(std::begin(Metrics), std::end(Metrics), KeptNone);
    HaveCaptionFont = false;
  }
  int Metrics[KeptCount];
  bool HaveCaptionFont;
  LOGFONTA CaptionFont;
};
TKeptMetrics& Kept() {
  static TKeptMetrics K;
  return K;
}

// The caption font of the non-client metrics in the layout without the padded border width (340
// bytes), which every system version accepts.
bool CaptionFont(LOGFONTA& Font) {
  TKeptMetrics& K = Kept();
  if (!K.HaveCaptionFont) {
    NONCLIENTMETRICSA Metrics = {};
    Metrics.cbSize = 340;
    static_assert(sizeof(NONCLIENTMETRICSA) >= 340, "the metrics hold at least the old layout");
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &Metrics, 0)) return false;
    K.CaptionFont = Metrics.lfCaptionFont;
    K.HaveCaptionFont = true;
  }
  Font = K.CaptionFont;
  return true;
}
}  // namespace

int KeptSystemMetric(int Index) {
  if (Index < 0 || Index >= KeptCount) return GetSystemMetrics(Index);
  int& Value = Kept().Metrics[Index];
  if (Value == KeptNone) Value = GetSystemMetrics(Index);
  return Value;
}

void ForgetSystemMetrics() { Kept().Forget(); }

bool ChangesSystemMetrics(UINT Msg) {
  switch (Msg) {
    case WM_SETTINGCHANGE:
    case WM_DISPLAYCHANGE:
    case WM_THEMECHANGED:
    case WM_DPICHANGED:
      return true;
    default:
      return false;
  }
}

int GetCaptionFontHeight() {
  LOGFONTA Font;
  return CaptionFont(Font) ? Font.lfHeight : 0;
}

HFONT CreateCaptionFont() {
  LOGFONTA Font;
  return CaptionFont(Font) ? CreateFontIndirectA(&Font) : nullptr;
}
