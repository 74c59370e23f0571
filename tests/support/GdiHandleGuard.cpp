// The GDI handle guard: the executable's import table patched for the calls that make, free and use
// DCs and GDI objects, one record per handle slot, faults recorded through the freed-memory guard.
// See GdiHandleGuard.h.
#include "support/GdiHandleGuard.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/FreedMemoryGuard.h"
#include "support/Watchdog.h"

namespace gdiguard {
namespace {

enum TKind : std::uint8_t { kNone, kMemoryDC, kWindowDC, kForeignDC, kObject };
enum TState : std::uint8_t { sLive, sFreed, sReleased };
// The objects a DC selects, by kind.
enum TSel { selBitmap, selFont, selPen, selBrush, SelCount };
constexpr UINT SelTypes[SelCount] = {OBJ_BITMAP, OBJ_FONT, OBJ_PEN, OBJ_BRUSH};
constexpr int SaveDepth = 6;
constexpr unsigned char Canary = 0xC5;

struct TEntry {
  HANDLE Handle;  // the whole handle value of the slot's last life the guard saw
  TKind Kind;
  TState State;
  std::uint8_t Depth;  // SaveDC levels recorded (DCs)
  DWORD Type;          // object type (objects)
  const void* MadeBy;
  const void* FreedBy;
  HGDIOBJ Sel[SelCount];                // what the DC selects
  HGDIOBJ Saved[SaveDepth][SelCount];   // what it selected at each SaveDC level
  int LiveIndex;                        // in the list of live DCs
  unsigned char* DibEnd;                // a DIB section's end of bits and the canary after it
  DWORD DibSlack;
};

// Handles index their slot in the low 16 bits.
TEntry Entries[0x10000];
HDC LiveDCs[0x10000];
int LiveCount = 0;
HGDIOBJ Stock[STOCK_LAST + 1];
SRWLOCK Lock = SRWLOCK_INIT;
bool Patched = false;

class TLock {
 public:
  TLock() { AcquireSRWLockExclusive(&Lock); }
  ~TLock() { ReleaseSRWLockExclusive(&Lock); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
};

TEntry& Slot(HANDLE H) { return Entries[reinterpret_cast<std::uintptr_t>(H) & 0xFFFF]; }

// The slot's record when it describes this very handle.
TEntry* Find(HANDLE H) {
  if (H == nullptr) return nullptr;
  TEntry& E = Slot(H);
  return E.Handle == H && E.Kind != kNone ? &E : nullptr;
}

bool IsStock(HGDIOBJ H) {
  for (HGDIOBJ S : Stock)
    if (S == H) return true;
  return false;
}

void Fault(const char* What, const char* Call, HANDLE H, const TEntry* E, const void* Caller) {
  char Where[96], Made[96] = "", Freed[96] = "";
  std::snprintf(Where, sizeof Where, "%s", memguard::DescribeCode(Caller).c_str());
  if (E != nullptr && E->MadeBy != nullptr)
    std::snprintf(Made, sizeof Made, ", made from %s", memguard::DescribeCode(E->MadeBy).c_str());
  if (E != nullptr && E->FreedBy != nullptr)
    std::snprintf(Freed, sizeof Freed, ", freed from %s", memguard::DescribeCode(E->FreedBy).c_str());
  char Stack[200] = "";
  watchdog::ScanStack(reinterpret_cast<DWORD>(Caller), reinterpret_cast<DWORD>(__builtin_frame_address(0)), Stack,
                      sizeof Stack);
  char Text[480];
  std::snprintf(Text, sizeof Text, "GDI fault: %s (%s of %p from %s%s%s)%s", What, Call, H, Where, Made, Freed, Stack);
  memguard::RecordFault(Text);
}

void AddLive(TEntry& E) {
  E.LiveIndex = LiveCount;
  LiveDCs[LiveCount++] = static_cast<HDC>(E.Handle);
}

void RemoveLive(TEntry& E) {
  if (E.LiveIndex < 0 || E.LiveIndex >= LiveCount || LiveDCs[E.LiveIndex] != E.Handle) return;
  HDC Last = LiveDCs[--LiveCount];
  LiveDCs[E.LiveIndex] = Last;
  Slot(Last).LiveIndex = E.LiveIndex;
  E.LiveIndex = -1;
}

// Starts the slot's record afresh for a live handle; a DC joins the live DCs with what it selects
// now. Called under the lock.
void Renew(TEntry& E, HANDLE H, TKind Kind, DWORD Type, const void* Caller) {
  if (E.Kind != kNone && E.Kind != kObject && E.LiveIndex >= 0) RemoveLive(E);
  E = TEntry{};
  E.Handle = H;
  E.Kind = Kind;
  E.State = sLive;
  E.Type = Type;
  E.MadeBy = Caller;
  E.LiveIndex = -1;
  if (Kind != kObject) {
    for (int K = 0; K < SelCount; ++K) E.Sel[K] = GetCurrentObject(static_cast<HDC>(H), SelTypes[K]);
    AddLive(E);
  }
}

void Made(HANDLE H, TKind Kind, DWORD Type, const void* Caller) {
  if (H == nullptr) return;
  TLock L;
  Renew(Slot(H), H, Kind, Type, Caller);
}

// A record for a DC the system handed to the program (in a paint, erase or owner-draw message),
// kept with the live DCs so that an object deleted while selected into it is found; nullptr when
// the handle is no DC. Called under the lock.
TEntry* Foreign(HDC DC) {
  const DWORD Type = GetObjectType(DC);
  if (Type != OBJ_DC && Type != OBJ_MEMDC) return nullptr;
  TEntry& S = Slot(DC);
  Renew(S, DC, kForeignDC, 0, nullptr);
  return &S;
}

// Checks a DC a call uses; a DC the program deleted is a fault, as is a handle that names no DC.
void UseDC(HDC DC, const char* Call, const void* Caller) {
  if (DC == nullptr) return;
  TLock L;
  if (TEntry* E = Find(DC)) {
    if (E->Kind == kMemoryDC && E->State == sFreed) Fault("a deleted DC used", Call, DC, E, Caller);
  } else if (GetObjectType(DC) == 0) {
    Fault("a handle that is no DC used as one", Call, DC, nullptr, Caller);
  }
}

int SelOf(DWORD Type) {
  switch (Type) {
    case OBJ_BITMAP: return selBitmap;
    case OBJ_FONT: return selFont;
    case OBJ_PEN:
    case OBJ_EXTPEN: return selPen;
    case OBJ_BRUSH: return selBrush;
    default: return -1;
  }
}

// A freed object (or a DC) of the program's, or nullptr, for the object restored or selected.
void CheckObject(HGDIOBJ H, const char* What, const char* Call, const void* Caller) {
  if (H == nullptr || IsStock(H)) return;
  if (TEntry* E = Find(H)) {
    if (E->Kind == kObject && E->State == sFreed) Fault(What, Call, H, E, Caller);
  } else if (GetObjectType(H) == 0) {
    Fault("a handle that is no object used as one", Call, H, nullptr, Caller);
  }
}

void UpdateSelection(HDC DC) {
  TEntry* E = Find(DC);
  if (E == nullptr || E->Kind == kObject) return;
  for (int K = 0; K < SelCount; ++K) E->Sel[K] = GetCurrentObject(DC, SelTypes[K]);
}

// ---------------------------------------------------------------------------------------------
// The hooks. Each is called through the import table in place of the system's function, checks
// under the lock, calls the system without it (some calls send messages that come back here) and
// records the result.

#define TV_CALLER __builtin_return_address(0)
#define TV_ORIGINAL(Name) decltype(&::Name) O##Name = nullptr

TV_ORIGINAL(CreateCompatibleDC);
TV_ORIGINAL(DeleteDC);
TV_ORIGINAL(GetDC);
TV_ORIGINAL(GetDCEx);
TV_ORIGINAL(GetWindowDC);
TV_ORIGINAL(ReleaseDC);
TV_ORIGINAL(BeginPaint);
TV_ORIGINAL(EndPaint);
TV_ORIGINAL(SelectObject);
TV_ORIGINAL(DeleteObject);
TV_ORIGINAL(SaveDC);
TV_ORIGINAL(RestoreDC);
TV_ORIGINAL(BitBlt);
TV_ORIGINAL(StretchBlt);
TV_ORIGINAL(PatBlt);
TV_ORIGINAL(CreateDIBSection);
TV_ORIGINAL(CreateCompatibleBitmap);
TV_ORIGINAL(CreateBitmap);
TV_ORIGINAL(SetWindowLongW);
TV_ORIGINAL(SetWindowLongA);
TV_ORIGINAL(CreateFontIndirectA);
TV_ORIGINAL(CreateFontIndirectW);
TV_ORIGINAL(CreatePen);
TV_ORIGINAL(CreatePenIndirect);
TV_ORIGINAL(CreateSolidBrush);
TV_ORIGINAL(CreateBrushIndirect);
TV_ORIGINAL(CreatePatternBrush);
TV_ORIGINAL(CreateHatchBrush);
TV_ORIGINAL(CreateRectRgn);
TV_ORIGINAL(CreateRectRgnIndirect);
TV_ORIGINAL(CreateEllipticRgn);
TV_ORIGINAL(CreatePolygonRgn);
TV_ORIGINAL(ExtCreateRegion);

HDC WINAPI HCreateCompatibleDC(HDC DC) {
  UseDC(DC, "CreateCompatibleDC", TV_CALLER);
  HDC R = OCreateCompatibleDC(DC);
  Made(R, kMemoryDC, OBJ_MEMDC, TV_CALLER);
  return R;
}

// A window's DC the system handed out, recorded for the caller of the hook.
HDC WindowDCMade(HDC R, const void* Caller) {
  Made(R, kWindowDC, OBJ_DC, Caller);
  return R;
}

HDC WINAPI HGetDC(HWND W) { return WindowDCMade(OGetDC(W), TV_CALLER); }
HDC WINAPI HGetDCEx(HWND W, HRGN Rgn, DWORD Flags) { return WindowDCMade(OGetDCEx(W, Rgn, Flags), TV_CALLER); }
HDC WINAPI HGetWindowDC(HWND W) { return WindowDCMade(OGetWindowDC(W), TV_CALLER); }
HDC WINAPI HBeginPaint(HWND W, LPPAINTSTRUCT Ps) { return WindowDCMade(OBeginPaint(W, Ps), TV_CALLER); }

void Released(HDC DC, const char* Call, const void* Caller) {
  if (DC == nullptr) return;
  TLock L;
  TEntry* E = Find(DC);
  if (E == nullptr || E->Kind != kWindowDC) return;
  if (E->State == sReleased) {
    Fault("a window DC released twice", Call, DC, E, Caller);
    return;
  }
  RemoveLive(*E);
  E->State = sReleased;
  E->FreedBy = Caller;
}

int WINAPI HReleaseDC(HWND W, HDC DC) {
  Released(DC, "ReleaseDC", TV_CALLER);
  return OReleaseDC(W, DC);
}

BOOL WINAPI HEndPaint(HWND W, const PAINTSTRUCT* Ps) {
  if (Ps != nullptr) Released(Ps->hdc, "EndPaint", TV_CALLER);
  return OEndPaint(W, Ps);
}

BOOL WINAPI HDeleteDC(HDC DC) {
  if (DC != nullptr && GetObjectType(DC) == OBJ_DC) {
    // A window's DC (the program makes no other): deleting it frees what the system's DC cache
    // still holds. Refused, so that the rest of the run does not go on on a corrupt cache.
    TLock L;
    Fault("a window's DC deleted instead of released", "DeleteDC", DC, Find(DC), TV_CALLER);
    return FALSE;
  }
  {
    TLock L;
    if (TEntry* E = Find(DC)) {
      if (E->State == sFreed)
        Fault("a DC deleted twice", "DeleteDC", DC, E, TV_CALLER);
      else if (E->Kind == kMemoryDC) {
        RemoveLive(*E);
        E->State = sFreed;
        E->FreedBy = TV_CALLER;
      }
    } else if (DC != nullptr && GetObjectType(DC) == 0) {
      Fault("a handle that is no DC deleted", "DeleteDC", DC, nullptr, TV_CALLER);
    }
  }
  return ODeleteDC(DC);
}

HGDIOBJ WINAPI HSelectObject(HDC DC, HGDIOBJ H) {
  UseDC(DC, "SelectObject", TV_CALLER);
  {
    TLock L;
    CheckObject(H, "a deleted object selected", "SelectObject", TV_CALLER);
  }
  HGDIOBJ Old = OSelectObject(DC, H);
  if (Old != nullptr && Old != HGDI_ERROR) {
    TLock L;
    TEntry* E = Find(DC);
    if (E == nullptr) E = Foreign(DC);  // a DC the system handed over: what it selects matters too
    if (E != nullptr && E->Kind != kObject) {
      const TEntry* O = Find(H);
      const int K = SelOf(O != nullptr && O->Kind == kObject ? O->Type : GetObjectType(H));
      if (K >= 0) E->Sel[K] = H;
    }
  }
  return Old;
}

// The canary after a DIB section's bits, still whole?
void CheckDib(TEntry& E, const void* Caller) {
  if (E.DibEnd == nullptr) return;
  for (DWORD I = 0; I < E.DibSlack; ++I)
    if (E.DibEnd[I] != Canary) {
      char What[96];
      std::snprintf(What, sizeof What, "a DIB section's bits written past their end (byte %lu after them)",
                    static_cast<unsigned long>(I));
      Fault(What, "DeleteObject", E.Handle, &E, Caller);
      break;
    }
  E.DibEnd = nullptr;
}

BOOL WINAPI HDeleteObject(HGDIOBJ H) {
  if (H != nullptr && !IsStock(H)) {
    TLock L;
    TEntry* E = Find(H);
    if (E != nullptr && E->State == sFreed) {
      Fault(E->Kind == kObject ? "an object deleted twice" : "a DC deleted twice", "DeleteObject", H, E, TV_CALLER);
    } else if (E != nullptr && E->Kind == kObject) {
      const int K = SelOf(E->Type);
      for (int I = 0; K >= 0 && I < LiveCount; ++I) {
        const HDC DC = LiveDCs[I];
        if (Slot(DC).Kind == kForeignDC && GetObjectType(DC) == 0) {  // gone with its message
          RemoveLive(Slot(DC));
          --I;
          continue;
        }
        if (Slot(DC).Sel[K] == H && GetCurrentObject(DC, SelTypes[K]) == H) {
          char What[160];
          std::snprintf(What, sizeof What, "an object deleted while selected into the live DC %p (made from %s)",
                        static_cast<void*>(DC), memguard::DescribeCode(Slot(DC).MadeBy).c_str());
          Fault(What, "DeleteObject", H, E, TV_CALLER);
          break;
        }
      }
      CheckDib(*E, TV_CALLER);
      E->State = sFreed;
      E->FreedBy = TV_CALLER;
    } else if (E != nullptr && E->Kind == kMemoryDC) {
      RemoveLive(*E);
      E->State = sFreed;
      E->FreedBy = TV_CALLER;
    } else if (E == nullptr && GetObjectType(H) == 0) {
      Fault("a handle that is no object deleted", "DeleteObject", H, nullptr, TV_CALLER);
    }
  }
  return ODeleteObject(H);
}

int WINAPI HSaveDC(HDC DC) {
  UseDC(DC, "SaveDC", TV_CALLER);
  const int Level = OSaveDC(DC);
  if (Level > 0) {
    TLock L;
    TEntry* E = Find(DC);
    if (E == nullptr) E = Foreign(DC);  // a DC the system handed over: its saves matter too
    if (E != nullptr && E->Kind != kObject) {
      // A window DC's bitmap is the system's surface, not a selection of the program's.
      const bool Memory = GetObjectType(DC) == OBJ_MEMDC;
      if (Level <= SaveDepth)
        for (int K = 0; K < SelCount; ++K)
          E->Saved[Level - 1][K] = K == selBitmap && !Memory ? nullptr : GetCurrentObject(DC, SelTypes[K]);
      E->Depth = static_cast<std::uint8_t>(Level <= SaveDepth ? Level : SaveDepth + 1);
    }
  }
  return Level;
}

BOOL WINAPI HRestoreDC(HDC DC, int Which) {
  UseDC(DC, "RestoreDC", TV_CALLER);
  {
    TLock L;
    TEntry* E = Find(DC);
    if (E != nullptr && E->Kind != kObject && E->Depth > 0 && E->Depth <= SaveDepth) {
      const int Level = Which < 0 ? E->Depth + Which + 1 : Which;
      if (Level >= 1 && Level <= E->Depth) {
        for (int K = 0; K < SelCount; ++K)
          CheckObject(E->Saved[Level - 1][K], "a deleted object put back by RestoreDC", "RestoreDC", TV_CALLER);
        E->Depth = static_cast<std::uint8_t>(Level - 1);
      }
    }
  }
  const BOOL R = ORestoreDC(DC, Which);
  TLock L;
  UpdateSelection(DC);
  return R;
}

BOOL WINAPI HBitBlt(HDC D, int X, int Y, int W, int H, HDC S, int SX, int SY, DWORD Rop) {
  UseDC(D, "BitBlt", TV_CALLER);
  UseDC(S, "BitBlt", TV_CALLER);
  return OBitBlt(D, X, Y, W, H, S, SX, SY, Rop);
}

BOOL WINAPI HStretchBlt(HDC D, int X, int Y, int W, int H, HDC S, int SX, int SY, int SW, int SH, DWORD Rop) {
  UseDC(D, "StretchBlt", TV_CALLER);
  UseDC(S, "StretchBlt", TV_CALLER);
  return OStretchBlt(D, X, Y, W, H, S, SX, SY, SW, SH, Rop);
}

BOOL WINAPI HPatBlt(HDC D, int X, int Y, int W, int H, DWORD Rop) {
  UseDC(D, "PatBlt", TV_CALLER);
  return OPatBlt(D, X, Y, W, H, Rop);
}

HBITMAP WINAPI HCreateDIBSection(HDC DC, const BITMAPINFO* Info, UINT Usage, void** Bits, HANDLE Section,
                                 DWORD Offset) {
  HBITMAP R = OCreateDIBSection(DC, Info, Usage, Bits, Section, Offset);
  const void* Caller = TV_CALLER;
  Made(R, kObject, OBJ_BITMAP, Caller);
  DIBSECTION Ds{};
  if (R == nullptr || Section != nullptr || GetObjectW(R, sizeof Ds, &Ds) != sizeof Ds || Ds.dsBm.bmBits == nullptr)
    return R;
  // The rest of the last page of the bits gets a canary, checked when the section is freed.
  auto* End = static_cast<unsigned char*>(Ds.dsBm.bmBits) +
              static_cast<std::size_t>(Ds.dsBm.bmWidthBytes) * static_cast<std::size_t>(Ds.dsBm.bmHeight);
  const DWORD Slack = static_cast<DWORD>((4096 - reinterpret_cast<std::uintptr_t>(End) % 4096) % 4096);
  MEMORY_BASIC_INFORMATION Mi{};
  if (Slack == 0 || VirtualQuery(End - 1, &Mi, sizeof Mi) == 0 || Mi.State != MEM_COMMIT ||
      (Mi.Protect & (PAGE_READWRITE | PAGE_EXECUTE_READWRITE)) == 0 ||
      static_cast<unsigned char*>(Mi.BaseAddress) + Mi.RegionSize < End + Slack)
    return R;
  std::memset(End, Canary, Slack);
  TLock L;
  if (TEntry* E = Find(R)) {
    E->DibEnd = End;
    E->DibSlack = Slack;
  }
  return R;
}

#define TV_MAKER(Name, Type, Params, Args)   \
  auto WINAPI H##Name Params {               \
    auto Result = O##Name Args;               \
    Made(Result, kObject, Type, TV_CALLER);   \
    return Result;                            \
  }

TV_MAKER(CreateCompatibleBitmap, OBJ_BITMAP, (HDC DC, int W, int H), (DC, W, H))
TV_MAKER(CreateBitmap, OBJ_BITMAP, (int W, int H, UINT Planes, UINT Bpp, const void* Bits), (W, H, Planes, Bpp, Bits))
TV_MAKER(CreateFontIndirectA, OBJ_FONT, (const LOGFONTA* F), (F))
TV_MAKER(CreateFontIndirectW, OBJ_FONT, (const LOGFONTW* F), (F))
TV_MAKER(CreatePen, OBJ_PEN, (int Style, int Width, COLORREF C), (Style, Width, C))
TV_MAKER(CreatePenIndirect, OBJ_PEN, (const LOGPEN* P), (P))
TV_MAKER(CreateSolidBrush, OBJ_BRUSH, (COLORREF C), (C))
TV_MAKER(CreateBrushIndirect, OBJ_BRUSH, (const LOGBRUSH* B), (B))
TV_MAKER(CreatePatternBrush, OBJ_BRUSH, (HBITMAP B), (B))
TV_MAKER(CreateHatchBrush, OBJ_BRUSH, (int Style, COLORREF C), (Style, C))
TV_MAKER(CreateRectRgn, OBJ_REGION, (int L, int T, int Rt, int B), (L, T, Rt, B))
TV_MAKER(CreateRectRgnIndirect, OBJ_REGION, (const RECT* Rc), (Rc))
TV_MAKER(CreateEllipticRgn, OBJ_REGION, (int L, int T, int Rt, int B), (L, T, Rt, B))
TV_MAKER(CreatePolygonRgn, OBJ_REGION, (const POINT* P, int N, int Mode), (P, N, Mode))
TV_MAKER(ExtCreateRegion, OBJ_REGION, (const XFORM* X, DWORD N, const RGNDATA* D), (X, N, D))

// The last window procedures the program set: a window found without one (every message to it
// is then a call to address 0) is looked up here.
struct TProcChange {
  HWND Wnd;
  LONG Old, New;
  const void* Caller;
};
constexpr int ProcChangeSlots = 256;
TProcChange ProcChanges[ProcChangeSlots];
LONG ProcChangeCount = 0;

LONG SetProcedure(decltype(&::SetWindowLongW) Original, HWND W, int Index, LONG Value, const void* Caller) {
  const LONG Old = Original(W, Index, Value);
  if (Index == GWL_WNDPROC) {
    const LONG N = InterlockedIncrement(&ProcChangeCount) - 1;
    ProcChanges[N % ProcChangeSlots] = TProcChange{W, Old, Value, Caller};
  }
  return Old;
}
LONG WINAPI HSetWindowLongW(HWND W, int Index, LONG Value) {
  return SetProcedure(OSetWindowLongW, W, Index, Value, TV_CALLER);
}
LONG WINAPI HSetWindowLongA(HWND W, int Index, LONG Value) {
  return SetProcedure(OSetWindowLongA, W, Index, Value, TV_CALLER);
}

struct THook {
  const char* Dll;
  const char* Name;
  void* Hook;
  void** Original;
};

#define TV_HOOK(Dll, Name) {Dll, #Name, reinterpret_cast<void*>(&H##Name), reinterpret_cast<void**>(&O##Name)}

const THook Hooks[] = {
    TV_HOOK("gdi32.dll", CreateCompatibleDC),  TV_HOOK("gdi32.dll", DeleteDC),
    TV_HOOK("user32.dll", GetDC),              TV_HOOK("user32.dll", GetDCEx),
    TV_HOOK("user32.dll", GetWindowDC),        TV_HOOK("user32.dll", ReleaseDC),
    TV_HOOK("user32.dll", BeginPaint),         TV_HOOK("user32.dll", EndPaint),
    TV_HOOK("gdi32.dll", SelectObject),        TV_HOOK("gdi32.dll", DeleteObject),
    TV_HOOK("gdi32.dll", SaveDC),              TV_HOOK("gdi32.dll", RestoreDC),
    TV_HOOK("gdi32.dll", BitBlt),              TV_HOOK("gdi32.dll", StretchBlt),
    TV_HOOK("gdi32.dll", PatBlt),              TV_HOOK("gdi32.dll", CreateDIBSection),
    TV_HOOK("gdi32.dll", CreateCompatibleBitmap), TV_HOOK("gdi32.dll", CreateBitmap),
    TV_HOOK("gdi32.dll", CreateFontIndirectA), TV_HOOK("gdi32.dll", CreateFontIndirectW),
    TV_HOOK("gdi32.dll", CreatePen),           TV_HOOK("gdi32.dll", CreatePenIndirect),
    TV_HOOK("gdi32.dll", CreateSolidBrush),    TV_HOOK("gdi32.dll", CreateBrushIndirect),
    TV_HOOK("gdi32.dll", CreatePatternBrush),  TV_HOOK("gdi32.dll", CreateHatchBrush),
    TV_HOOK("gdi32.dll", CreateRectRgn),       TV_HOOK("gdi32.dll", CreateRectRgnIndirect),
    TV_HOOK("gdi32.dll", CreateEllipticRgn),   TV_HOOK("gdi32.dll", CreatePolygonRgn),
    TV_HOOK("gdi32.dll", ExtCreateRegion),
    TV_HOOK("user32.dll", SetWindowLongW),     TV_HOOK("user32.dll", SetWindowLongA),
};

}  // namespace

void Install() {
  if (Patched) return;
  for (int I = 0; I <= STOCK_LAST; ++I) Stock[I] = GetStockObject(I);
  const auto Base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
  const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(Base + reinterpret_cast<const IMAGE_DOS_HEADER*>(Base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& Dir = Nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (Dir.VirtualAddress == 0) return;
  for (const THook& H : Hooks) {
    *H.Original = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(H.Dll), H.Name));
    if (*H.Original == nullptr) continue;
    // Every import slot that holds the function (the table binds each import to its address).
    for (auto* D = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Base + Dir.VirtualAddress); D->Name != 0; ++D)
      for (auto* T = reinterpret_cast<IMAGE_THUNK_DATA*>(Base + D->FirstThunk); T->u1.Function != 0; ++T) {
        if (reinterpret_cast<void*>(T->u1.Function) != *H.Original) continue;
        DWORD Old = 0;
        VirtualProtect(&T->u1.Function, sizeof T->u1.Function, PAGE_READWRITE, &Old);
        T->u1.Function = reinterpret_cast<std::uintptr_t>(H.Hook);
        VirtualProtect(&T->u1.Function, sizeof T->u1.Function, Old, &Old);
        Patched = true;
      }
  }
}

bool Installed() { return Patched; }

std::string ProcedureChangesOf(HWND Wnd) {
  std::string Text;
  const LONG End = ProcChangeCount;
  for (LONG I = End > ProcChangeSlots ? End - ProcChangeSlots : 0; I < End; ++I) {
    const TProcChange& C = ProcChanges[I % ProcChangeSlots];
    if (C.Wnd != Wnd) continue;
    char Line[160];
    std::snprintf(Line, sizeof Line, " [procedure %08lx -> %08lx from %s]", static_cast<unsigned long>(C.Old),
                  static_cast<unsigned long>(C.New), memguard::DescribeCode(C.Caller).c_str());
    Text += Line;
  }
  if (!Text.empty()) return Text;
  return End > ProcChangeSlots ? " [no procedure set by the program in its last " + std::to_string(ProcChangeSlots) + " changes]"
                               : std::string(" [no procedure ever set by the program]");
}

}  // namespace gdiguard
