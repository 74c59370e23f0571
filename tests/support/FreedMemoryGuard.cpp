// The freed-memory guard of the target's test executables: replaced operator new and delete with
// guard bytes, poison and a quarantine, and a vectored exception handler that counts hardware
// faults. See FreedMemoryGuard.h.
#include "support/FreedMemoryGuard.h"
#include "support/GdiHandleGuard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace memguard {
namespace {

constexpr std::size_t GuardSize = 16;
constexpr unsigned char GuardByte = 0xAB;
constexpr std::size_t QuarantineLimit = 64u << 20;  // bytes of freed memory held back
constexpr std::uint32_t LiveMagic = 0x4C495645u;    // "LIVE"
constexpr std::uint32_t FreedMagic = 0x46524545u;   // "FREE"

enum TForm : std::uint32_t { fmScalar = 1, fmArray = 2 };

// The header in front of every block handed out; the front guard ends it, the back guard follows
// the block's bytes.
struct alignas(16) THeader {
  THeader* Newer;  // quarantine links (freed blocks only)
  THeader* Older;
  void* Raw;       // the start of the raw block
  std::size_t Size;
  std::size_t RawSize;  // the raw block's size (its size class)
  std::uint32_t Sequence;  // order of freeing (freed blocks only)
  std::uint32_t Form;
  std::uint32_t Magic;
  const void* AllocatedBy;  // return addresses of the operator new and delete calls
  const void* FreedBy;
  std::uint32_t Pad[2];
  unsigned char Front[GuardSize];
};
static_assert(offsetof(THeader, Front) + GuardSize == sizeof(THeader), "the front guard ends the header");

// ---------------------------------------------------------------------------------------------
// Raw blocks. The quarantine hands blocks back in the order they were freed, which fragments a
// general heap until its searches for larger blocks take seconds; size classes with a free list
// each, carved from large chunks of pages, keep every allocation O(1). Blocks beyond the largest
// class get pages of their own.

constexpr std::size_t ChunkSize = 4u << 20;
constexpr std::size_t LargestClassed = 512u << 10;
constexpr int ClassCount = 8 + (19 - 7) * 4 + 4;  // 16..128 by 16, then four steps per power of two

struct TRawState {
  void* Free[ClassCount] = {};
  unsigned char* ChunkNext = nullptr;
  std::size_t ChunkLeft = 0;
};

// The class of a raw size, with the size rounded up to the class's size.
int ClassOf(std::size_t& N) {
  if (N <= 128) {
    N = (N + 15) & ~static_cast<std::size_t>(15);
    return static_cast<int>(N / 16) - 1;
  }
  const int Log = 31 - __builtin_clz(static_cast<unsigned>(N - 1));  // 2^Log < N <= 2^(Log+1)
  const std::size_t Step = static_cast<std::size_t>(1) << (Log - 2);
  N = (N + Step - 1) & ~(Step - 1);
  return 8 + (Log - 7) * 4 + static_cast<int>(N / Step) - 5;
}

// The trap region of TTrapFreedReads.
constexpr std::size_t PageSize = 4096;
constexpr unsigned TrapPages = 65536;   // 256 MB of address space
constexpr unsigned TrapBlockPages = 16;  // larger blocks are made as usual

// ---------------------------------------------------------------------------------------------
// Fault records: a ring of the most recent descriptions, written without allocating.

constexpr int RecordSlots = 32;
constexpr int RecordLength = 512;

struct TState {
  SRWLOCK Lock = SRWLOCK_INIT;
  // Quarantine: Oldest is released first.
  THeader* Oldest = nullptr;
  THeader* Newest = nullptr;
  std::size_t Held = 0;
  std::uint32_t FreedCount = 0;
  // Counts.
  volatile LONG HeapFaults = 0;
  volatile LONG HardwareFaults = 0;
  // Records, indexed by the running number of faults of both kinds.
  volatile LONG Recorded = 0;
  char Records[RecordSlots][RecordLength] = {};
  TRawState Raw;
  bool Expected[RecordSlots] = {};
  // Faults taken by TExpectFaults.
  unsigned TakenHeap = 0;
  unsigned TakenHardware = 0;
  int ExpectDepth = 0;
  // TFailAllocation: counting while Counting is set; the allocation whose number is FailAt fails.
  bool Counting = false;
  unsigned Made = 0;
  unsigned FailAt = 0;
  bool Failed = false;
  // TTrapFreedReads: blocks made while Trapping is above 0 get pages of their own in the trap
  // region (reserved at the first use); TrapLive marks the pages of live blocks, and the cursor
  // goes round the region so that freed pages are the last to be used again.
  int Trapping = 0;
  unsigned char* TrapBase = nullptr;
  unsigned TrapCursor = 0;
  bool TrapLive[TrapPages] = {};
  // Blocks of a trap's size that found no room in the region and were made as usual: a read of
  // them after their free would pass unseen, so the trap that let them through says so.
  unsigned TrapMissed = 0;
};

// Constant-initialised, so operator new works before any constructor of the program has run.
TState G;

class TLock {
 public:
  TLock() { AcquireSRWLockExclusive(&G.Lock); }
  ~TLock() { ReleaseSRWLockExclusive(&G.Lock); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
};

// A raw block of at least N bytes (N rounded up to what the block holds), nullptr when the
// process has no memory left. Called under the lock.
void* RawAllocate(std::size_t& N) {
  if (N > LargestClassed) {
    N = (N + 4095) & ~static_cast<std::size_t>(4095);
    return VirtualAlloc(nullptr, N, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  }
  const int Class = ClassOf(N);
  if (void* P = G.Raw.Free[Class]) {
    G.Raw.Free[Class] = *static_cast<void**>(P);
    return P;
  }
  if (G.Raw.ChunkLeft < N) {
    void* Chunk = VirtualAlloc(nullptr, ChunkSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (Chunk == nullptr) return nullptr;
    G.Raw.ChunkNext = static_cast<unsigned char*>(Chunk);
    G.Raw.ChunkLeft = ChunkSize;
  }
  void* P = G.Raw.ChunkNext;
  G.Raw.ChunkNext += N;
  G.Raw.ChunkLeft -= N;
  return P;
}

// A run of pages of its own for a block of N bytes while a trap is set (N rounded up to the run),
// nullptr when the block is too large or when none is free (then counted as missed). Called under
// the lock.
void* TrapAllocate(std::size_t& N) {
  const auto Pages = static_cast<unsigned>((N + PageSize - 1) / PageSize);
  if (Pages > TrapBlockPages) return nullptr;
  if (G.TrapBase == nullptr)
    G.TrapBase = static_cast<unsigned char*>(VirtualAlloc(nullptr, TrapPages * PageSize, MEM_RESERVE, PAGE_NOACCESS));
  unsigned Run = 0;
  for (unsigned Step = 0; G.TrapBase != nullptr && Step < TrapPages + Pages; ++Step) {
    const unsigned Page = (G.TrapCursor + Step) % TrapPages;
    if (Page == 0) Run = 0;  // a run does not wrap round the region's end
    Run = G.TrapLive[Page] ? 0 : Run + 1;
    if (Run < Pages) continue;
    unsigned char* P = G.TrapBase + (Page + 1 - Pages) * PageSize;
    if (VirtualAlloc(P, Pages * PageSize, MEM_COMMIT, PAGE_READWRITE) == nullptr) break;
    for (unsigned I = Page + 1 - Pages; I <= Page; ++I) G.TrapLive[I] = true;
    G.TrapCursor = (Page + 1) % TrapPages;
    N = Pages * PageSize;
    return P;
  }
  ++G.TrapMissed;
  return nullptr;
}

// The trap region's page that holds P, or -1 outside the region.
int TrapPage(const void* P) {
  const auto A = reinterpret_cast<std::uintptr_t>(P), Base = reinterpret_cast<std::uintptr_t>(G.TrapBase);
  if (G.TrapBase == nullptr || A < Base || A >= Base + TrapPages * PageSize) return -1;
  return static_cast<int>((A - Base) / PageSize);
}

// Called under the lock.
void RawRelease(void* P, std::size_t N) {
  if (N > LargestClassed) {
    VirtualFree(P, 0, MEM_RELEASE);
    return;
  }
  const int Class = ClassOf(N);
  *static_cast<void**>(P) = G.Raw.Free[Class];
  G.Raw.Free[Class] = P;
}

// Writes "module+offset", or the bare address when no module holds it; answers whether one does.
bool DescribeAddress(const void* Address, char* Buffer, std::size_t Size) {
  HMODULE Module = nullptr;
  char Path[MAX_PATH] = "?";
  // Below the first 64 KB no module lies; the lookup would take such an address for the program.
  if (reinterpret_cast<std::uintptr_t>(Address) >= 0x10000 &&
      GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCSTR>(Address), &Module) &&
      Module != nullptr) {
    GetModuleFileNameA(Module, Path, MAX_PATH);
    const char* Name = Path;
    for (const char* P = Path; *P; ++P)
      if (*P == '\\' || *P == '/') Name = P + 1;
    std::snprintf(Buffer, Size, "%s+0x%lx", Name,
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(Address) -
                                             reinterpret_cast<std::uintptr_t>(Module)));
    return true;
  }
  std::snprintf(Buffer, Size, "0x%08lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(Address)));
  return false;
}

// Called with the text of one fault; counts it as a heap fault or a hardware fault.
void Record(bool Hardware, const char* Text) {
  if (Hardware)
    InterlockedIncrement(&G.HardwareFaults);
  else
    InterlockedIncrement(&G.HeapFaults);
  const LONG Index = InterlockedIncrement(&G.Recorded) - 1;
  const int Slot = static_cast<int>(Index % RecordSlots);
  std::snprintf(G.Records[Slot], RecordLength, "%s", Text);
  G.Expected[Slot] = G.ExpectDepth > 0;
}

void RecordHeapFault(const char* What, const void* Block, std::size_t Size, const void* Caller) {
  char Where[128];
  DescribeAddress(Caller, Where, sizeof Where);
  char Text[RecordLength];
  std::snprintf(Text, sizeof Text, "heap fault: %s (block %p of %lu bytes, freed from %s)", What, Block,
                static_cast<unsigned long>(Size), Where);
  Record(false, Text);
}

unsigned char* Back(THeader* H) { return reinterpret_cast<unsigned char*>(H + 1) + H->Size; }

bool AllBytes(const unsigned char* P, std::size_t N, unsigned char Value) {
  for (std::size_t I = 0; I < N; ++I)
    if (P[I] != Value) return false;
  return true;
}

// Checks a quarantined block's poison; records a write after free once per block.
void CheckPoison(THeader* H, const char* When) {
  auto* User = reinterpret_cast<unsigned char*>(H + 1);
  if (AllBytes(User, H->Size, PoisonByte)) return;
  std::size_t First = 0;
  while (User[First] == PoisonByte) ++First;
  char Text[RecordLength];
  char Allocated[96], Freed[96];
  DescribeAddress(H->AllocatedBy, Allocated, sizeof Allocated);
  DescribeAddress(H->FreedBy, Freed, sizeof Freed);
  std::snprintf(Text, sizeof Text,
                "heap fault: written after it was freed (block %p of %lu bytes, byte %lu, allocated from %s, freed "
                "from %s, %s)",
                static_cast<void*>(User), static_cast<unsigned long>(H->Size), static_cast<unsigned long>(First),
                Allocated, Freed, When);
  Record(false, Text);
  std::memset(User, PoisonByte, H->Size);  // report it once
}

// Releases the oldest quarantined blocks until the quarantine holds at most Limit bytes.
void Trim(std::size_t Limit) {
  while (G.Held > Limit && G.Oldest != nullptr) {
    THeader* H = G.Oldest;
    G.Oldest = H->Newer;
    if (G.Oldest != nullptr)
      G.Oldest->Older = nullptr;
    else
      G.Newest = nullptr;
    G.Held -= H->Size;
    CheckPoison(H, "found when it left the quarantine");
    H->Magic = 0;
    RawRelease(H->Raw, H->RawSize);
  }
}

void* Allocate(std::size_t Size, std::size_t Align, TForm Form, bool Throw, const void* Caller) {
  if (Align < alignof(THeader)) Align = alignof(THeader);
  std::size_t Total = sizeof(THeader) + Size + GuardSize + Align;
  void* Raw = nullptr;
  if (Total > Size) {
    TLock Lock;
    const bool Fail = G.Counting && ++G.Made == G.FailAt;
    if (Fail) {
      G.Failed = true;
    } else {
      if (G.Trapping > 0) Raw = TrapAllocate(Total);
      if (Raw == nullptr) Raw = RawAllocate(Total);
    }
  }
  if (Raw == nullptr) {
    if (Throw) throw std::bad_alloc();
    return nullptr;
  }
  std::uintptr_t User = reinterpret_cast<std::uintptr_t>(Raw) + sizeof(THeader);
  User = (User + Align - 1) & ~(static_cast<std::uintptr_t>(Align) - 1);
  auto* H = reinterpret_cast<THeader*>(User) - 1;
  H->Newer = H->Older = nullptr;
  H->Raw = Raw;
  H->Size = Size;
  H->RawSize = Total;
  H->Sequence = 0;
  H->Form = Form;
  H->Magic = LiveMagic;
  H->AllocatedBy = Caller;
  H->FreedBy = nullptr;
  std::memset(H->Front, GuardByte, GuardSize);
  std::memset(Back(H), GuardByte, GuardSize);
  return reinterpret_cast<void*>(User);
}

void Release(void* P, TForm Form, const void* Caller) {
  if (P == nullptr) return;
  auto* H = static_cast<THeader*>(P) - 1;
  TLock Lock;
  const int Page = TrapPage(H);
  if (Page >= 0 && !G.TrapLive[Page]) {  // its header is out of reach
    RecordHeapFault("deleted twice", P, 0, Caller);
    return;
  }
  if (H->Magic == FreedMagic) {
    RecordHeapFault("deleted twice", P, H->Size, Caller);
    return;
  }
  if (H->Magic != LiveMagic) {
    RecordHeapFault("delete of memory that operator new did not hand out, or whose header was overwritten", P, 0,
                    Caller);
    return;  // leaked rather than handed to the heap in an unknown state
  }
  if (!AllBytes(H->Front, GuardSize, GuardByte)) RecordHeapFault("written before its start", P, H->Size, Caller);
  if (!AllBytes(Back(H), GuardSize, GuardByte)) RecordHeapFault("written past its end", P, H->Size, Caller);
  if (H->Form != Form)
    RecordHeapFault(Form == fmArray ? "delete[] of a block made by new" : "delete of a block made by new[]", P,
                    H->Size, Caller);
  if (Page >= 0) {  // a trapped block: its pages go out of reach, and no quarantine holds them
    // The block's pages start where its raw memory does (an aligned block's header may lie further on).
    const auto First = static_cast<unsigned>(TrapPage(H->Raw)), Pages = static_cast<unsigned>(H->RawSize / PageSize);
    VirtualFree(H->Raw, H->RawSize, MEM_DECOMMIT);
    for (unsigned I = 0; I < Pages; ++I) G.TrapLive[First + I] = false;
    return;
  }
  std::memset(P, PoisonByte, H->Size);
  H->Magic = FreedMagic;
  H->FreedBy = Caller;
  H->Sequence = ++G.FreedCount;
  H->Older = G.Newest;
  H->Newer = nullptr;
  if (G.Newest != nullptr)
    G.Newest->Newer = H;
  else
    G.Oldest = H;
  G.Newest = H;
  G.Held += H->Size;
  Trim(QuarantineLimit);
}

// ---------------------------------------------------------------------------------------------
// Hardware faults

const char* ExceptionName(DWORD Code) {
  switch (Code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "data type misalignment";
    case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
    case 0xC0000374: return "heap corruption";
    default: return nullptr;
  }
}

LONG CALLBACK CountHardwareFault(EXCEPTION_POINTERS* Info) {
  const EXCEPTION_RECORD* E = Info->ExceptionRecord;
  const char* Name = ExceptionName(E->ExceptionCode);
  if (Name == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  char Where[128];
  DescribeAddress(E->ExceptionAddress, Where, sizeof Where);
  char Text[RecordLength];
  if (E->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && E->NumberParameters >= 2) {
    const auto Address = static_cast<unsigned long>(E->ExceptionInformation[1]);
    const bool Poisoned = (Address & 0xFFFF0000ul) == 0xDDDD0000ul;
    const bool Trapped = TrapPage(reinterpret_cast<const void*>(E->ExceptionInformation[1])) >= 0;
    // A call to a bad address faults on the address itself: name the caller instead.
    char Caller[128] = "";
    if (E->ExceptionInformation[0] == 8 && Info->ContextRecord != nullptr) {
      std::strcpy(Caller, ", called from ");
      DescribeAddress(*reinterpret_cast<void* const*>(Info->ContextRecord->Esp), Caller + std::strlen(Caller),
                      sizeof Caller - std::strlen(Caller));
    }
    std::snprintf(Text, sizeof Text, "%s at %s: %s of 0x%08lx%s%s", Name, Where,
                  E->ExceptionInformation[0] == 0 ? "read" : E->ExceptionInformation[0] == 8 ? "execution" : "write",
                  Address,
                  Poisoned  ? " (an address read from freed memory)"
                  : Trapped ? " (a block freed under the trap for reads)"
                            : "",
                  Caller);
  } else {
    std::snprintf(Text, sizeof Text, "%s at %s", Name, Where);
  }
  Record(true, Text);
  return EXCEPTION_CONTINUE_SEARCH;
}

// ---------------------------------------------------------------------------------------------
// The test listener

TCounts Untaken() {
  TLock Lock;
  return {static_cast<unsigned>(G.HeapFaults) - G.TakenHeap, static_cast<unsigned>(G.HardwareFaults) - G.TakenHardware};
}

class TListener : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo&) override {
    FStart = Untaken();
    FAll = Counts();
    FFreed = FreedSequence();
  }
  void OnTestEnd(const testing::TestInfo&) override {
    CheckFreedSince(FFreed);
    const TCounts Now = Untaken();
    if (Now.HeapFaults != FStart.HeapFaults || Now.HardwareFaults != FStart.HardwareFaults) {
      ADD_FAILURE() << "The freed-memory guard recorded " << (Now.HeapFaults - FStart.HeapFaults)
                    << " heap fault(s) and " << (Now.HardwareFaults - FStart.HardwareFaults)
                    << " hardware fault(s) (swallowed or not) during this test:\n"
                    << DescribeSince(FAll);
    }
    FAfterLast = Untaken();
    FAllAfterLast = Counts();
  }
  void OnTestProgramEnd(const testing::UnitTest&) override { CheckAtExit(); }

  // Faults after the last test (fixture and environment tear-down, static destruction) end the
  // process with a failure.
  static void CheckAtExit() {
    if (!Installed) return;
    {
      TLock Lock;
      Trim(0);
    }
    const TCounts Now = Untaken();
    if (Now.HeapFaults == FAfterLast.HeapFaults && Now.HardwareFaults == FAfterLast.HardwareFaults) return;
    std::fprintf(stderr, "The freed-memory guard recorded faults after the last test:\n%s",
                 DescribeSince(FAllAfterLast).c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }

  static bool Installed;
  static TCounts FAfterLast;
  static TCounts FAllAfterLast;

 private:
  TCounts FStart, FAll;
  unsigned FFreed = 0;
};

bool TListener::Installed = false;
TCounts TListener::FAfterLast;
TCounts TListener::FAllAfterLast;

void CheckAtExitHandler() { TListener::CheckAtExit(); }

// Registered before any other static object of the executable is constructed, so that the check
// runs after all of them are destroyed.
struct TExitCheck {
  TExitCheck() { std::atexit(CheckAtExitHandler); }
};
__attribute__((init_priority(101))) TExitCheck ExitCheck;

}  // namespace

TCounts Counts() { return {static_cast<unsigned>(G.HeapFaults), static_cast<unsigned>(G.HardwareFaults)}; }

std::string DescribeCode(const void* Address) {
  char Text[MAX_PATH + 32];
  if (DescribeAddress(Address, Text, sizeof Text)) return Text;
  // Outside the Windows modules: under Wine, a library of the host. The process's map of the host
  // names it, with the offset a symbol lookup of that library takes.
  const HANDLE Maps = CreateFileA("Z:\\proc\\self\\maps", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (Maps == INVALID_HANDLE_VALUE) return Text;
  std::string All;
  char Chunk[4096];
  DWORD Got = 0;
  while (All.size() < (8u << 20) && ReadFile(Maps, Chunk, sizeof Chunk, &Got, nullptr) && Got > 0) All.append(Chunk, Got);
  CloseHandle(Maps);
  const auto A = static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(Address));
  std::size_t Line = 0;
  while (Line < All.size()) {
    std::size_t End = All.find('\n', Line);
    if (End == std::string::npos) End = All.size();
    const std::string L = All.substr(Line, End - Line);
    Line = End + 1;
    unsigned long long From = 0, To = 0, Offset = 0;
    char Perms[8] = "";
    int NameAt = 0;
    if (std::sscanf(L.c_str(), "%llx-%llx %7s %llx %*s %*s %n", &From, &To, Perms, &Offset, &NameAt) < 4) continue;
    if (A < From || A >= To) continue;
    const std::string Name = NameAt > 0 ? L.substr(static_cast<std::size_t>(NameAt)) : std::string("(anonymous)");
    char Where[64];
    std::snprintf(Where, sizeof Where, " (%s, file offset 0x%llx)", Perms, A - From + Offset);
    return std::string(Text) + " in " + Name + Where;
  }
  return Text;
}

std::string DescribeSince(const TCounts& Since) {
  const TCounts Now = Counts();
  const unsigned End = Now.HeapFaults + Now.HardwareFaults;
  unsigned Begin = Since.HeapFaults + Since.HardwareFaults;
  std::string Text;
  if (End - Begin > RecordSlots) {
    Text += "  (" + std::to_string(End - Begin - RecordSlots) + " earlier fault(s) not kept)\n";
    Begin = End - RecordSlots;
  }
  for (unsigned I = Begin; I < End; ++I) {
    const int Slot = static_cast<int>(I % RecordSlots);
    if (G.Expected[Slot]) continue;
    Text += "  ";
    Text += G.Records[Slot];
    Text += '\n';
  }
  return Text;
}

void RecordFault(const char* Text) { Record(false, Text); }

unsigned FreedSequence() {
  TLock Lock;
  return G.FreedCount;
}

void CheckFreedSince(unsigned FreedSince) {
  TLock Lock;
  for (THeader* H = G.Newest; H != nullptr && H->Sequence > FreedSince; H = H->Older)
    CheckPoison(H, "found at the end of the test");
}

namespace {

// A crash that nothing catches ends the process with a failure (exit code 3), naming the test it
// ended: left to the system's debugger, a crash in a window procedure ends the process with exit
// code 0 under Wine, and a test run that ended there would pass.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* E) {
  const testing::TestInfo* T = testing::UnitTest::GetInstance()->current_test_info();
  std::printf("[  CRASHED ] %s.%s: exception 0x%lx that nothing caught, in %s\n%s",
              T != nullptr ? T->test_suite_name() : "", T != nullptr ? T->name() : "(no test)",
              static_cast<unsigned long>(E->ExceptionRecord->ExceptionCode),
              DescribeCode(E->ExceptionRecord->ExceptionAddress).c_str(), DescribeSince(TCounts{}).c_str());
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void InstallForTests() {
  if (TListener::Installed) return;
  TListener::Installed = true;
  AddVectoredExceptionHandler(1, CountHardwareFault);
  SetUnhandledExceptionFilter(EndOnCrash);
  gdiguard::Install();
  testing::TestEventListeners& Listeners = testing::UnitTest::GetInstance()->listeners();
  // Test-end events reach the listeners in reverse order: appended after the printer, the check
  // runs before the printer reports the test, so a test failed here is printed as failed.
  Listeners.Append(new TListener);
}

TExpectFaults::TExpectFaults() {
  TLock Lock;
  ++G.ExpectDepth;
  FStart = {static_cast<unsigned>(G.HeapFaults), static_cast<unsigned>(G.HardwareFaults)};
}

TExpectFaults::~TExpectFaults() {
  TLock Lock;
  --G.ExpectDepth;
  G.TakenHeap += static_cast<unsigned>(G.HeapFaults) - FStart.HeapFaults;
  G.TakenHardware += static_cast<unsigned>(G.HardwareFaults) - FStart.HardwareFaults;
}

TCounts TExpectFaults::Taken() const {
  const TCounts Now = Counts();
  return {Now.HeapFaults - FStart.HeapFaults, Now.HardwareFaults - FStart.HardwareFaults};
}

TFailAllocation::TFailAllocation(unsigned FailAt) {
  TLock Lock;
  G.Counting = true;
  G.Made = 0;
  G.FailAt = FailAt;
  G.Failed = false;
}

TFailAllocation::~TFailAllocation() {
  TLock Lock;
  G.Counting = false;
}

unsigned TFailAllocation::Made() const { return G.Made; }
bool TFailAllocation::Failed() const { return G.Failed; }

TTrapFreedReads::TTrapFreedReads() {
  TLock Lock;
  ++G.Trapping;
}

TTrapFreedReads::~TTrapFreedReads() {
  unsigned Missed = 0;
  {
    TLock Lock;
    if (--G.Trapping == 0) std::swap(Missed, G.TrapMissed);
  }
  if (Missed == 0) return;
  char Text[RecordLength];
  std::snprintf(Text, sizeof Text,
                "the trap for reads ran out of room: %u blocks were made without it, so reads of them after their "
                "free went unseen",
                Missed);
  Record(false, Text);
}

// The raw count, which faults taken by TExpectFaults do not lower.
TFaultCount::TFaultCount() : FStart(static_cast<unsigned>(G.HardwareFaults)) {}

int TFaultCount::Count() const { return static_cast<int>(static_cast<unsigned>(G.HardwareFaults) - FStart); }

}  // namespace memguard

// ---------------------------------------------------------------------------------------------
// The replaced allocation functions

using memguard::fmArray;
using memguard::fmScalar;

#define TV_CALLER __builtin_return_address(0)

void* operator new(std::size_t Size) { return memguard::Allocate(Size, 0, fmScalar, true, TV_CALLER); }
void* operator new[](std::size_t Size) { return memguard::Allocate(Size, 0, fmArray, true, TV_CALLER); }
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept {
  return memguard::Allocate(Size, 0, fmScalar, false, TV_CALLER);
}
void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept {
  return memguard::Allocate(Size, 0, fmArray, false, TV_CALLER);
}
void* operator new(std::size_t Size, std::align_val_t A) {
  return memguard::Allocate(Size, static_cast<std::size_t>(A), fmScalar, true, TV_CALLER);
}
void* operator new[](std::size_t Size, std::align_val_t A) {
  return memguard::Allocate(Size, static_cast<std::size_t>(A), fmArray, true, TV_CALLER);
}
void* operator new(std::size_t Size, std::align_val_t A, const std::nothrow_t&) noexcept {
  return memguard::Allocate(Size, static_cast<std::size_t>(A), fmScalar, false, TV_CALLER);
}
void* operator new[](std::size_t Size, std::align_val_t A, const std::nothrow_t&) noexcept {
  return memguard::Allocate(Size, static_cast<std::size_t>(A), fmArray, false, TV_CALLER);
}

void operator delete(void* P) noexcept { memguard::Release(P, fmScalar, TV_CALLER); }
void operator delete[](void* P) noexcept { memguard::Release(P, fmArray, TV_CALLER); }
void operator delete(void* P, const std::nothrow_t&) noexcept { memguard::Release(P, fmScalar, TV_CALLER); }
void operator delete[](void* P, const std::nothrow_t&) noexcept { memguard::Release(P, fmArray, TV_CALLER); }
void operator delete(void* P, std::size_t) noexcept { memguard::Release(P, fmScalar, TV_CALLER); }
void operator delete[](void* P, std::size_t) noexcept { memguard::Release(P, fmArray, TV_CALLER); }
void operator delete(void* P, std::align_val_t) noexcept { memguard::Release(P, fmScalar, TV_CALLER); }
void operator delete[](void* P, std::align_val_t) noexcept { memguard::Release(P, fmArray, TV_CALLER); }
void operator delete(void* P, std::size_t, std::align_val_t) noexcept { memguard::Release(P, fmScalar, TV_CALLER); }
void operator delete[](void* P, std::size_t, std::align_val_t) noexcept { memguard::Release(P, fmArray, TV_CALLER); }
void operator delete(void* P, std::align_val_t, const std::nothrow_t&) noexcept {
  memguard::Release(P, fmScalar, TV_CALLER);
}
void operator delete[](void* P, std::align_val_t, const std::nothrow_t&) noexcept {
  memguard::Release(P, fmArray, TV_CALLER);
}
