// Helpers of the channel viewer's tests: a temporary working folder with the program's text
// files, the program's forms created as the program creates them, captured message boxes and
// the program's page as the tests expect it, on top of the shared window-test helpers (uitest)
// and real input (realinput).
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "framework/Forms.h"
#include "framework/Strings.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace apptest {

using uitest::Pump;
using uitest::Settle;
using uitest::TCapture;

// Handles messages until Condition holds or about MaxMs milliseconds passed (the program's
// waits get longer than the shared default).
inline bool WaitFor(const std::function<bool()>& Condition, int MaxMs = 5000) {
  return uitest::WaitFor(Condition, MaxMs);
}

// Writes Bytes to a file (created or replaced).
inline void WriteFileBytes(const std::string& Name, const std::string& Bytes) {
  if (!uitest::WriteFileBytes(Name, Bytes)) throw std::runtime_error("cannot write " + Name);
}

// A fresh folder under the temporary folder that is the current directory while the object
// lives; it is emptied and removed afterwards.
class TTempFolder {
 public:
  TTempFolder() {
    char Base[MAX_PATH], Name[MAX_PATH];
    GetTempPathA(MAX_PATH, Base);
    GetTempFileNameA(Base, "tv", 0, Name);
    DeleteFileA(Name);
    CreateDirectoryA(Name, nullptr);
    FPath = Name;
    char Old[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, Old);
    FOld = Old;
    SetCurrentDirectoryA(FPath.c_str());
  }
  ~TTempFolder() {
    SetCurrentDirectoryA(FOld.c_str());
    WIN32_FIND_DATAA D;
    HANDLE H = FindFirstFileA((FPath + "\\*").c_str(), &D);
    if (H != INVALID_HANDLE_VALUE) {
      do {
        if (!(D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((FPath + "\\" + D.cFileName).c_str());
      } while (FindNextFileA(H, &D));
      FindClose(H);
    }
    RemoveDirectoryA(FPath.c_str());
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::string& Path() const { return FPath; }
  void Write(const std::string& Name, const std::string& Bytes) const { WriteFileBytes(FPath + "\\" + Name, Bytes); }

 private:
  std::string FPath;
  std::string FOld;
};

// A file in c:\Skins (where the main form's stored settings look for skins) for the length of a
// test: the folder is made when missing and removed again when it was made here, and a file that
// was there before is put back afterwards.
class TSkinsFile {
 public:
  TSkinsFile(const std::string& Name, const std::string& Bytes) : FPath("c:\\Skins\\" + Name) {
    FMadeFolder = CreateDirectoryA("c:\\Skins", nullptr) != 0;
    HANDLE F = CreateFileA(FPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (F != INVALID_HANDLE_VALUE) {
      FHadFile = true;
      char Buffer[65536];
      DWORD N = 0;
      while (ReadFile(F, Buffer, sizeof Buffer, &N, nullptr) && N > 0) FOld.append(Buffer, N);
      CloseHandle(F);
    }
    Written = uitest::WriteFileBytes(FPath, Bytes);
  }
  ~TSkinsFile() {
    if (FHadFile)
      uitest::WriteFileBytes(FPath, FOld);
    else
      DeleteFileA(FPath.c_str());
    if (FMadeFolder) RemoveDirectoryA("c:\\Skins");
  }
  TSkinsFile(const TSkinsFile&) = delete;
  TSkinsFile& operator=(const TSkinsFile&) = delete;
  bool Written = false;

 private:
  std::string FPath;
  std::string FOld;
  bool FHadFile = false;
  bool FMadeFolder = false;
};

// Every message and error box of the application, recorded instead of shown (OK pressed).
class TBoxRecorder {
 public:
  TBoxRecorder() : FSaved(Application->MessageBoxProc) {
    Application->MessageBoxProc = [this](HWND, const WideString& Text, const WideString&, UINT Flags) {
      Texts.push_back(Text);
      FlagsSeen.push_back(Flags);
      return IDOK;
    };
  }
  ~TBoxRecorder() { Application->MessageBoxProc = FSaved; }
  TBoxRecorder(const TBoxRecorder&) = delete;
  TBoxRecorder& operator=(const TBoxRecorder&) = delete;

  std::vector<WideString> Texts;
  std::vector<UINT> FlagsSeen;

 private:
  TMessageBoxProc FSaved;
};

// The program's state between tests: no forms, no flags, the pointer far right of X 100 and no
// shell calls, and an application that is not terminated.
class TProgramState {
 public:
  TProgramState() {
    ResetGlobals();
    FSavedCursor = CursorPosProc;
    CursorPosProc = [] { return Point(500, 300); };
    FSavedShell = ShellExecuteProc;
    ShellExecuteProc = nullptr;
  }
  ~TProgramState() {
    DestroyForms();
    CursorPosProc = FSavedCursor;
    ShellExecuteProc = FSavedShell;
    Application->OnIdle = nullptr;
    Application->OnMessage = nullptr;
    Pump();
    ClearTerminated();
  }
  TProgramState(const TProgramState&) = delete;
  TProgramState& operator=(const TProgramState&) = delete;

  static void DestroyForms() {
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
    Pump();
  }
  static void ResetGlobals() {
    GridRightClicked = false;
    ServerLine.clear();
  }
  // An application whose message loop ended (Terminate) runs again: with no main form, Run
  // only clears the flag.
  static void ClearTerminated() {
    if (Application->Terminated() && Application->MainForm() == nullptr) Application->Run();
  }

 private:
  TCursorPosProc FSavedCursor;
  TShellExecuteProc FSavedShell;
};

// The program's forms created as the program creates them, in a fresh folder that holds
// "server.txt" and "list.txt" with the given bytes; the program's boxes are recorded.
struct TProgramRun {
  TProgramState State;
  TTempFolder Folder;
  TBoxRecorder Boxes;
  TProgramRun(const std::string& Server, const std::string& List) {
    Folder.Write("server.txt", Server);
    Folder.Write("list.txt", List);
    CreateProgramForms();
  }
  TWebBrowser* Browser() const { return Form1->WebBrowser1; }
};

// The usual files: a server line and the given channel lines (CR LF line ends).
inline std::string ListText(const std::vector<std::string>& Lines) {
  std::string S;
  for (const std::string& L : Lines) S += L + "\r\n";
  return S;
}

// The player page of an id, built here from the page's pieces (not by the program's routine).
inline std::string ExpectedPage(const std::string& IdText) {
  std::string P;
  P += "<html> <head> </head> <body bgcolor=\"#000000\">";
  P += std::string(4, ' ');
  P += "<object type=\"application/x-shockwave-flash\" width=\"600\" height=\"400\">";
  P += std::string(3, ' ');
  P += "<param name=\"movie\" value=\"http://";
  P += "player.tavisko.invalid";
  P += "/flashplay/VUDIPlayer.swf\">";
  P += std::string(3, ' ');
  P += "</param><param name=\"allowFullScreen\" value=\"true\">";
  P += std::string(3, ' ');
  P += "</param><param name=\"allowScriptAccess\" value=\"always\">";
  P += std::string(3, ' ');
  P += "</param><param name=\"flashvars\" value=\"src=http://";
  P += "198.51.100.20";
  P += ":5021/live/";
  P += IdText;
  P += "|c03&usep2p=0\"";
  P += "  </object> ";
  P += "</body> ";
  P += "</html> ";
  return P;
}

// The page the browser's document holds now ("" when it has none).
inline std::string LoadedPage(TWebBrowser* B) {
  return B->DocumentObject() != nullptr ? B->DocumentObject()->Html() : std::string();
}

// The middle of a row's cell in grid client coordinates.
inline TPoint RowPoint(TNxGrid* Grid, int Row) {
  const TRect R = Grid->GetCellRect(0, Row);
  return Point((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
}

// Shows the main form as the program's message loop does and lets it paint.
inline void ShowMainForm() { uitest::ShowSettled(Form1); }

// Text drawn white on black in Font into a fresh bitmap of the given size, as a capture.
inline TCapture RenderText(const WideString& Text, TFont* Font, int Width, int Height) {
  HDC Screen = GetDC(nullptr);
  HDC Mem = CreateCompatibleDC(Screen);
  HBITMAP B = CreateCompatibleBitmap(Screen, Width, Height);
  HGDIOBJ OldB = SelectObject(Mem, B);
  RECT R{0, 0, Width, Height};
  FillRect(Mem, &R, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HGDIOBJ OldF = SelectObject(Mem, Font->Handle());
  SetTextColor(Mem, RGB(255, 255, 255));
  SetBkMode(Mem, TRANSPARENT);
  DrawTextW(Mem, Text.c_str(), static_cast<int>(Text.size()), &R, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  TCapture C(Mem, TRect{0, 0, Width, Height});
  SelectObject(Mem, OldF);
  SelectObject(Mem, OldB);
  DeleteObject(B);
  DeleteDC(Mem);
  ReleaseDC(nullptr, Screen);
  return C;
}

}  // namespace apptest
