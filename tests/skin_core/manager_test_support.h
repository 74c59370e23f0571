// Test support of the skin manager tests: stored skins made from an options text (and picture
// files), a form that logs the skin commands it and its child control receive, and a log shared
// with the manager's events. Win32.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Streams.h"
#include "framework/Strings.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skinpack_builder.h"

namespace mgrtest {

using TFiles = std::vector<skinpack_builder::TPackFile>;

inline std::string BitmapBytes(TBitmap& B) {
  TMemoryStream S;
  B.SaveToStream(S);
  return std::string(static_cast<const char*>(S.Memory()), static_cast<std::size_t>(S.Size()));
}

inline std::string SolidBmp(int W, int H, TColor C) {
  TBitmap B(W, H, pf24bit);
  B.Canvas()->Brush()->SetColor(C);
  B.Canvas()->FillRect(Rect(0, 0, W, H));
  return BitmapBytes(B);
}

// A stored skin (a pack in the item's Data) of the options text and the files.
inline TsStoredSkin* AddStoredSkin(TsSkinManager& M, const AnsiString& Name, const std::string& Options,
                                   TFiles Files = {}) {
  Files.insert(Files.begin(), {"Options.dat", Options});
  const std::string Pack = skinpack_builder::BuildPack(Files);
  TsStoredSkin* S = M.InternalSkins()->Add();
  S->SetName(Name);
  S->Data()->WriteBuffer(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  return S;
}

// What happened, in order: "form:<command>", "child:<command>", and what the tests add.
struct TLog {
  std::vector<std::string> Items;
  void Add(const std::string& S) { Items.push_back(S); }
  int Count(const std::string& S) const {
    int N = 0;
    for (const std::string& I : Items) N += I == S ? 1 : 0;
    return N;
  }
  std::vector<std::string> Only(const std::string& Prefix) const {
    std::vector<std::string> R;
    for (const std::string& I : Items)
      if (I.rfind(Prefix, 0) == 0) R.push_back(I);
    return R;
  }
};

// Logs the SM_ALPHACMD commands that reach a control (its WindowProc chain), with the manager in
// LParam checked against Expected when one is given; OnCommand runs for each.
class TCommandTap {
 public:
  TCommandTap(TControl* Control, std::string Name, TLog& Log) : FControl(Control), FName(std::move(Name)), FLog(Log) {
    FOld = Control->WindowProc();
    Control->SetWindowProc([this](TMessage& M) {
      // Questions the senders ask on the way (is it skinned, its provider) are not logged.
      if (M.Msg == SM_ALPHACMD && AlphaCmdCode(M.WParam) != AC_ISSKINNED &&
          AlphaCmdCode(M.WParam) != AC_GETPROVIDER) {
        FLog.Add(FName + ":" + std::to_string(AlphaCmdCode(M.WParam)));
        LastLParam = M.LParam;
        if (OnCommand) OnCommand(AlphaCmdCode(M.WParam));
      }
      FOld(M);
    });
  }
  ~TCommandTap() { FControl->SetWindowProc(FOld); }
  TCommandTap(const TCommandTap&) = delete;
  TCommandTap& operator=(const TCommandTap&) = delete;

  LPARAM LastLParam = 0;
  std::function<void(Word Command)> OnCommand;

 private:
  TControl* FControl;
  std::string FName;
  TLog& FLog;
  TWndMethod FOld;
};

// A form owned by the application, with a window and a windowless child control, both tapped.
struct TTappedForm {
  TLog Log;
  TForm* Form = nullptr;
  TControl* Child = nullptr;
  std::unique_ptr<TCommandTap> FormTap;
  std::unique_ptr<TCommandTap> ChildTap;

  TTappedForm() {
    Form = TCustomForm::Create<TForm>(Application);
    Form->SetBounds(0, 0, 200, 120);
    Form->HandleNeeded();
    Child = new TGraphicControl(Form);
    Child->SetParent(Form);
    FormTap = std::make_unique<TCommandTap>(Form, "form", Log);
    ChildTap = std::make_unique<TCommandTap>(Child, "child", Log);
  }
  ~TTappedForm() {
    ChildTap.reset();
    FormTap.reset();
    delete Form;
  }
  TTappedForm(const TTappedForm&) = delete;
  TTappedForm& operator=(const TTappedForm&) = delete;
};

// Removes a folder (a path with a trailing backslash) with everything in it.
inline void RemoveTree(const AnsiString& Dir) {
  WIN32_FIND_DATAA D;
  HANDLE H = FindFirstFileA((Dir + "*").c_str(), &D);
  if (H != INVALID_HANDLE_VALUE) {
    do {
      const AnsiString Name = D.cFileName;
      if (Name == "." || Name == "..") continue;
      if (D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(Dir + Name + "\\");
      else
        DeleteFileA((Dir + Name).c_str());
    } while (FindNextFileA(H, &D));
    FindClose(H);
  }
  RemoveDirectoryA(Dir.substr(0, Dir.size() - 1).c_str());
}

// A folder of its own for one test, in the program's folder, removed with its contents.
class TTempDir {
 public:
  TTempDir() {
    static int Counter = 0;
    Path = AppDirectory() + "mgrtest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++Counter) + "\\";
    CreateDirectoryA(Path.c_str(), nullptr);
  }
  ~TTempDir() { RemoveTree(Path); }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  void Write(const AnsiString& Name, const std::string& Data) const {
    TFileStream F(Path + Name, fmCreate);
    if (!Data.empty()) F.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
  }
  void Folder(const AnsiString& Name) const { CreateDirectoryA((Path + Name).c_str(), nullptr); }

  AnsiString Path;  // absolute, with a trailing backslash
};

// Puts the engine's shared hand-over to form skinning back to empty at the end of a test.
struct TLinkReset {
  ~TLinkReset() { acFormSkinningLink = TacFormSkinningLink{}; }
};

}  // namespace mgrtest
