// The shell's desktop folder as an object of the skin engine, the item-ID-list routines it is
// made with, and the start-up of OLE on the GUI thread.
//
// acShellFolderStartup() runs once, before the program's first form exists (the program's
// start-up calls it first; the embedded browser control relies on OLE being initialised): it makes
// DesktopFolder from the shell's desktop and calls OleInitialize. acShellFolderShutdown() undoes
// it. Calls are counted: only the first start-up and the matching last shutdown do the work.
//
// An item-ID list is a run of items, each starting with its 16-bit size in bytes (the size field
// included), ended by a 16-bit zero. Lists are allocated by the shell's allocator (SHGetMalloc).
// Win32.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "framework/Exceptions.h"
#include "framework/Lists.h"
#include "framework/Object.h"

// A failed OLE or shell call: ErrorCode is its result code; the message is the system's text of
// the code.
class EOleSysError : public Exception {
 public:
  EOleSysError(AnsiString Msg, HRESULT Code) : Exception(std::move(Msg)), ErrorCode(Code) {}
  const char* ClassName() const override { return "EOleSysError"; }
  HRESULT ErrorCode;
};
// Raises EOleSysError for a failing result code; returns it otherwise.
HRESULT OleCheck(HRESULT Result);

// ---- Item-ID lists ----------------------------------------------------------------------------

// Size bytes from the shell allocator, zero-filled; nullptr when the allocation fails (or Size is
// 0 or below).
LPITEMIDLIST CreatePIDL(int Size);
// The item after Item (at Item plus its size field); nullptr for nullptr.
LPITEMIDLIST NextPIDL(LPCITEMIDLIST Item);
// 0 for nullptr; otherwise 2 (the terminator) plus the sizes of the items.
int GetPIDLSize(LPCITEMIDLIST List);
// A new list of the same bytes; nullptr for nullptr.
LPITEMIDLIST CopyPIDL(LPCITEMIDLIST List);
// A new list: the items of First (without its terminator) then the whole of Second. A nullptr
// First gives a copy of Second; a nullptr Second a copy of First.
LPITEMIDLIST ConcatPIDLs(LPCITEMIDLIST First, LPCITEMIDLIST Second);
// Frees a list of the shell allocator (nothing for nullptr).
void DisposePIDL(LPITEMIDLIST List);
// The desktop's item-ID list (a new list) / the desktop's IShellFolder (a new reference). A
// failing result raises EOleSysError.
LPITEMIDLIST GetDesktopPIDL();
IShellFolder* GetDesktopFolderIntf();

// ---- The folder object ------------------------------------------------------------------------

class TacShellFolder : public TObject {
  T_CLASS(TacShellFolder, TObject)

 public:
  // Keeps a reference to ShellFolder and copies of PIDL: the relative list, and the absolute one
  // (Parent's absolute list followed by PIDL; without a Parent a fresh desktop list followed by
  // PIDL). The parent is Parent, or DesktopFolder when Parent is nullptr. Level: 0 without a
  // Parent, else Parent's level + 1.
  TacShellFolder(TacShellFolder* Parent, IShellFolder* ShellFolder, LPCITEMIDLIST PIDL);
  ~TacShellFolder() override;
  TacShellFolder(const TacShellFolder&) = delete;
  TacShellFolder& operator=(const TacShellFolder&) = delete;

  LPCITEMIDLIST RelativeID() const { return FPIDL; }
  LPCITEMIDLIST AbsoluteID() const { return FFullPIDL; }
  TacShellFolder* Parent() const { return FParent; }
  IShellFolder* ShellFolder() const { return FIShellFolder; }
  int Level() const { return FLevel; }
  TStringList* Details() const { return FDetails.get(); }

 private:
  LPITEMIDLIST FPIDL = nullptr;
  LPITEMIDLIST FFullPIDL = nullptr;
  TacShellFolder* FParent = nullptr;
  IShellFolder* FIShellFolder = nullptr;
  IUnknown* FIShellFolder2 = nullptr;
  IUnknown* FIShellDetails = nullptr;
  int FLevel = 0;
  std::unique_ptr<TStringList> FDetails;
};

// The desktop folder made by the start-up; nullptr before it and after the shutdown, and when the
// shell gave no desktop list.
extern TacShellFolder* DesktopFolder;

// The unit's start-up and shutdown (see the top of this file). The start-up raises EOleSysError
// when the shell's desktop folder cannot be had although its list could.
void acShellFolderStartup();
void acShellFolderShutdown();
// How many start-ups are not yet matched by a shutdown.
int acShellFolderStartupCount();
