#include "skin/controls/acShellFolder.h"

#include <ole2.h>

#include <cstring>

#include "framework/Strings.h"

TacShellFolder* DesktopFolder = nullptr;

namespace {

int StartupCount = 0;
CRITICAL_SECTION UnitLock;
// What the unit holds beside the desktop folder (released at shutdown): two interfaces and one
// object made on demand by the shell folder routines.
IUnknown* HeldInterface1 = nullptr;
IUnknown* HeldInterface2 = nullptr;
TObject* HeldObject = nullptr;
// OleInitialize succeeded (and needs its OleUninitialize).
bool OleStarted = false;

IMalloc* ShellMalloc() {
  IMalloc* M = nullptr;
  if (FAILED(SHGetMalloc(&M))) return nullptr;
  return M;
}

WORD ItemSize(LPCITEMIDLIST Item) {
  WORD S;
  std::memcpy(&S, Item, sizeof(S));
  return S;
}

AnsiString SystemMessage(HRESULT Code) {
  char* Buf = nullptr;
  const DWORD N = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(Code), 0, reinterpret_cast<char*>(&Buf), 0, nullptr);
  AnsiString S;
  if (N != 0 && Buf != nullptr) {
    S.assign(Buf, N);
    while (!S.empty() && (S.back() == '\r' || S.back() == '\n' || S.back() == ' ')) S.pop_back();
  }
  if (Buf != nullptr) LocalFree(Buf);
  if (S.empty()) S = Format("OLE error %.8X", static_cast<unsigned>(Code));
  return S;
}

}  // namespace

HRESULT OleCheck(HRESULT Result) {
  if (FAILED(Result)) throw EOleSysError(SystemMessage(Result), Result);
  return Result;
}

// ---- Item-ID lists

LPITEMIDLIST CreatePIDL(int Size) {
  if (Size <= 0) return nullptr;
  IMalloc* M = ShellMalloc();
  if (M == nullptr) return nullptr;
  void* P = M->Alloc(static_cast<SIZE_T>(Size));
  M->Release();
  if (P != nullptr) std::memset(P, 0, static_cast<std::size_t>(Size));
  return static_cast<LPITEMIDLIST>(P);
}

LPITEMIDLIST NextPIDL(LPCITEMIDLIST Item) {
  if (Item == nullptr) return nullptr;
  return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(reinterpret_cast<const BYTE*>(Item)) + ItemSize(Item));
}

int GetPIDLSize(LPCITEMIDLIST List) {
  if (List == nullptr) return 0;
  int Size = 2;
  for (LPCITEMIDLIST I = List; ItemSize(I) != 0; I = NextPIDL(I)) Size += ItemSize(I);
  return Size;
}

LPITEMIDLIST CopyPIDL(LPCITEMIDLIST List) {
  if (List == nullptr) return nullptr;
  const int Size = GetPIDLSize(List);
  LPITEMIDLIST R = CreatePIDL(Size);
  if (R != nullptr) std::memcpy(R, List, static_cast<std::size_t>(Size));
  return R;
}

LPITEMIDLIST ConcatPIDLs(LPCITEMIDLIST First, LPCITEMIDLIST Second) {
  const int Size1 = First != nullptr ? GetPIDLSize(First) - 2 : 0;
  // A missing second list counts as the empty list (its terminator only).
  const int Size2 = Second != nullptr ? GetPIDLSize(Second) : 2;
  LPITEMIDLIST R = CreatePIDL(Size1 + Size2);
  if (R == nullptr) return nullptr;
  auto* P = reinterpret_cast<BYTE*>(R);
  if (Size1 > 0) std::memcpy(P, First, static_cast<std::size_t>(Size1));
  if (Second != nullptr) std::memcpy(P + Size1, Second, static_cast<std::size_t>(Size2));
  return R;
}

void DisposePIDL(LPITEMIDLIST List) {
  if (List == nullptr) return;
  IMalloc* M = ShellMalloc();
  if (M == nullptr) return;
  M->Free(List);
  M->Release();
}

LPITEMIDLIST GetDesktopPIDL() {
  LPITEMIDLIST R = nullptr;
  OleCheck(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &R));
  return R;
}

IShellFolder* GetDesktopFolderIntf() {
  IShellFolder* R = nullptr;
  OleCheck(SHGetDesktopFolder(&R));
  return R;
}

// ---- TacShellFolder

TacShellFolder::TacShellFolder(TacShellFolder* Parent, IShellFolder* ShellFolder, LPCITEMIDLIST PIDL)
    : FIShellFolder(ShellFolder), FDetails(std::make_unique<TStringList>()) {
  if (FIShellFolder != nullptr) FIShellFolder->AddRef();
  FPIDL = CopyPIDL(PIDL);
  if (Parent != nullptr) {
    FFullPIDL = ConcatPIDLs(Parent->FFullPIDL, PIDL);
    FParent = Parent;
    FLevel = Parent->FLevel + 1;
  } else {
    LPITEMIDLIST Desktop = nullptr;
    try {
      Desktop = GetDesktopPIDL();
    } catch (...) {
      DisposePIDL(FPIDL);
      if (FIShellFolder != nullptr) FIShellFolder->Release();
      throw;
    }
    FFullPIDL = ConcatPIDLs(Desktop, PIDL);
    DisposePIDL(Desktop);
    FParent = DesktopFolder;
    FLevel = 0;
  }
}

TacShellFolder::~TacShellFolder() {
  FDetails.reset();
  DisposePIDL(FPIDL);
  DisposePIDL(FFullPIDL);
  if (FIShellDetails != nullptr) FIShellDetails->Release();
  if (FIShellFolder2 != nullptr) FIShellFolder2->Release();
  if (FIShellFolder != nullptr) FIShellFolder->Release();
}

// ---- start-up and shutdown

void acShellFolderStartup() {
  if (StartupCount++ != 0) return;
  try {
    LPITEMIDLIST PIDL = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &PIDL);
    if (PIDL != nullptr) {
      IShellFolder* Desktop = nullptr;
      try {
        Desktop = GetDesktopFolderIntf();
        DesktopFolder = new TacShellFolder(nullptr, Desktop, PIDL);
      } catch (...) {
        if (Desktop != nullptr) Desktop->Release();
        DisposePIDL(PIDL);
        throw;
      }
      Desktop->Release();  // the folder object holds its own reference
      DisposePIDL(PIDL);
    }
  } catch (...) {
    // The unit counts as not started; a later start-up tries again.
    StartupCount = 0;
    throw;
  }
  InitializeCriticalSection(&UnitLock);
  OleStarted = SUCCEEDED(OleInitialize(nullptr));
}

void acShellFolderShutdown() {
  if (StartupCount == 0) return;
  if (--StartupCount != 0) return;
  delete DesktopFolder;
  DesktopFolder = nullptr;
  DeleteCriticalSection(&UnitLock);
  if (OleStarted) OleUninitialize();
  OleStarted = false;
  delete HeldObject;
  HeldObject = nullptr;
  if (HeldInterface1 != nullptr) HeldInterface1->Release();
  if (HeldInterface2 != nullptr) HeldInterface2->Release();
  HeldInterface1 = HeldInterface2 = nullptr;
}

int acShellFolderStartupCount() { return StartupCount; }
