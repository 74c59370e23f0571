// Counts and times the program's calls into the system's window and graphics libraries, for a
// profile of where a piece of work goes under Wine: every import of the program's own module from
// the libraries named (and any function pointer handed to Wrap) is sent through a small thunk that
// notes the time before and after the call. Per function: the calls, the time inside them, and
// the time inside them less the time of the calls made from inside (the program's window
// procedures that the system calls back reach the other wrapped functions). Only the thread that
// installs the layer is measured. A piece of work that throws through a wrapped call leaves the
// layer's stack behind: for profiling runs, not for tests.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct TCallTime {
  std::string Name;
  void* Target = nullptr;
  std::uint64_t Calls = 0, Inside = 0, Own = 0;  // processor ticks
};

namespace calltimes {

struct TFrame {
  void* Return;
  void* Outer;  // where the calling function returns to (a build with frame pointers), or nullptr
  unsigned Index;
  std::uint64_t Start, Nested;
};

// Kept to the end of the process: calls after the exit's destructors still pass the thunks.
inline std::vector<TCallTime>& Functions = *new std::vector<TCallTime>;
inline std::vector<TFrame>& Stack = *new std::vector<TFrame>;
// The same per function and the address its call returns to.
using TPlace = std::pair<unsigned, std::pair<void*, void*>>;
inline std::map<TPlace, TCallTime>& ByCaller = *new std::map<TPlace, TCallTime>;
inline DWORD Thread = 0;
// Calls made while this is false pass uncounted.
inline bool Enabled = true;

inline std::uint64_t Ticks() {
  unsigned Lo, Hi;
  asm volatile("rdtsc" : "=a"(Lo), "=d"(Hi));
  return (static_cast<std::uint64_t>(Hi) << 32) | Lo;
}

inline DWORD ThisThread() {
  DWORD Id;
  asm("movl %%fs:0x24, %0" : "=r"(Id));
  return Id;
}

}  // namespace calltimes
}  // namespace bench

extern "C" void bench_calltimes_common();
extern "C" void bench_calltimes_after();

// Called by the thunks: Enter gets the function's index and the slot of the caller's return
// address, and answers the function to go to; Leave answers where the call returns to.
extern "C" __attribute__((used)) void* __cdecl bench_calltimes_enter(unsigned Index, void** ReturnSlot, void** Frame) {
  using namespace bench::calltimes;
  void* Target = Functions[Index].Target;
  if (!Enabled || ThisThread() != Thread) return Target;
  std::uintptr_t Low, High;
  asm("movl %%fs:8, %0; movl %%fs:4, %1" : "=r"(Low), "=r"(High));
  const auto F = reinterpret_cast<std::uintptr_t>(Frame);
  void* Outer = F > reinterpret_cast<std::uintptr_t>(ReturnSlot) && F >= Low && F + 8 <= High ? Frame[1] : nullptr;
  Stack.push_back(TFrame{*ReturnSlot, Outer, Index, Ticks(), 0});
  *ReturnSlot = reinterpret_cast<void*>(&bench_calltimes_after);
  return Target;
}

extern "C" __attribute__((used)) void* __cdecl bench_calltimes_leave() {
  using namespace bench::calltimes;
  const TFrame F = Stack.back();
  Stack.pop_back();
  const std::uint64_t Took = Ticks() - F.Start;
  bench::TCallTime& T = Functions[F.Index];
  ++T.Calls;
  T.Inside += Took;
  T.Own += Took - F.Nested;
  bench::TCallTime& C = ByCaller[{F.Index, {F.Return, F.Outer}}];
  ++C.Calls;
  C.Inside += Took;
  C.Own += Took - F.Nested;
  if (!Stack.empty()) Stack.back().Nested += Took;
  return F.Return;
}

// The thunk's common part: [esp] the function's index, [esp+4] the caller's return address. The
// registers a call may take arguments in are kept; the return values (eax, edx, st0) too.
asm(R"(
    .text
    .globl _bench_calltimes_common
_bench_calltimes_common:
    pushl %eax
    pushl %ecx
    pushl %edx
    pushl %ebp
    leal 20(%esp), %eax
    pushl %eax
    pushl 20(%esp)
    call _bench_calltimes_enter
    addl $12, %esp
    movl %eax, 12(%esp)
    popl %edx
    popl %ecx
    popl %eax
    ret
    .globl _bench_calltimes_after
_bench_calltimes_after:
    subl $4, %esp
    pushl %eax
    pushl %edx
    call _bench_calltimes_leave
    movl %eax, 8(%esp)
    popl %edx
    popl %eax
    ret
)");

namespace bench {

class TCallTimes {
 public:
  // Wraps the imports of the program's module from the libraries named (lower case).
  explicit TCallTimes(const std::vector<std::string>& Libraries) {
    calltimes::Thread = calltimes::ThisThread();
    Code = static_cast<unsigned char*>(VirtualAlloc(nullptr, 1 << 20, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    auto* Base = reinterpret_cast<unsigned char*>(GetModuleHandleW(nullptr));
    const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(Base + reinterpret_cast<IMAGE_DOS_HEADER*>(Base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY Dir = Nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* D = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(Base + Dir.VirtualAddress); D->Name != 0; ++D) {
      std::string Lib = reinterpret_cast<const char*>(Base + D->Name);
      std::transform(Lib.begin(), Lib.end(), Lib.begin(), [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
      if (std::find(Libraries.begin(), Libraries.end(), Lib) == Libraries.end()) continue;
      auto* Names = reinterpret_cast<IMAGE_THUNK_DATA32*>(Base + D->OriginalFirstThunk);
      auto* Slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(Base + D->FirstThunk);
      for (; Names->u1.AddressOfData != 0; ++Names, ++Slots) {
        if (IMAGE_SNAP_BY_ORDINAL32(Names->u1.Ordinal)) continue;
        const auto* ByName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(Base + Names->u1.AddressOfData);
        void** Slot = reinterpret_cast<void**>(&Slots->u1.Function);
        DWORD Old;
        VirtualProtect(Slot, sizeof *Slot, PAGE_READWRITE, &Old);
        *Slot = Wrap(reinterpret_cast<const char*>(ByName->Name), *Slot);
        VirtualProtect(Slot, sizeof *Slot, Old, &Old);
      }
    }
  }
  TCallTimes(const TCallTimes&) = delete;
  TCallTimes& operator=(const TCallTimes&) = delete;

  // A thunk that goes to Target through the layer, under Name.
  void* Wrap(const std::string& Name, void* Target) {
    const unsigned Index = static_cast<unsigned>(calltimes::Functions.size());
    calltimes::Functions.push_back(TCallTime{Name, Target, 0, 0, 0});
    unsigned char* T = Code + Used;
    Used += 16;
    // push Index; jmp common
    T[0] = 0x68;
    std::memcpy(T + 1, &Index, 4);
    T[5] = 0xE9;
    const std::int32_t Rel = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(&bench_calltimes_common) -
                                                       reinterpret_cast<std::uintptr_t>(T + 10));
    std::memcpy(T + 6, &Rel, 4);
    return T;
  }

  void Clear() {
    for (TCallTime& F : calltimes::Functions) F.Calls = F.Inside = F.Own = 0;
    calltimes::ByCaller.clear();
  }

  // Per function called, per piece of work (Works of them): calls, microseconds inside, microseconds
  // of its own; the largest Top by its own time, and the sum of all.
  void Print(int Works, int Top, double TicksPerSecond) const {
    std::vector<TCallTime> F = calltimes::Functions;
    F.erase(std::remove_if(F.begin(), F.end(), [](const TCallTime& T) { return T.Calls == 0; }), F.end());
    std::sort(F.begin(), F.end(), [](const TCallTime& A, const TCallTime& B) { return A.Own > B.Own; });
    double Own = 0;
    for (const TCallTime& T : F) Own += static_cast<double>(T.Own);
    const double Us = 1e6 / TicksPerSecond / Works;
    std::printf("per piece of work: calls, us inside, us own; all wrapped calls %.0f us own\n", Own * Us);
    for (int I = 0; I < Top && I < static_cast<int>(F.size()); ++I)
      std::printf("%8.2f %9.1f %9.1f  %s\n", static_cast<double>(F[I].Calls) / Works, static_cast<double>(F[I].Inside) * Us,
                  static_cast<double>(F[I].Own) * Us, F[I].Name.c_str());
    std::vector<std::pair<calltimes::TPlace, TCallTime>> C(calltimes::ByCaller.begin(), calltimes::ByCaller.end());
    std::sort(C.begin(), C.end(), [](const auto& A, const auto& B) { return A.second.Own > B.second.Own; });
    std::printf("by the place of the call (the address it returns to):\n");
    for (int I = 0; I < Top * 2 && I < static_cast<int>(C.size()); ++I)
      std::printf("%8.2f %9.1f %9.1f  %-24s at %p from %p\n", static_cast<double>(C[I].second.Calls) / Works,
                  static_cast<double>(C[I].second.Inside) * Us, static_cast<double>(C[I].second.Own) * Us,
                  calltimes::Functions[C[I].first.first].Name.c_str(), C[I].first.second.first, C[I].first.second.second);
  }

 private:
  unsigned char* Code = nullptr;
  std::size_t Used = 0;
};

// Processor ticks per second, measured against the performance counter over Ms milliseconds.
inline double TicksPerSecond(int Ms = 200) {
  LARGE_INTEGER F, A, B;
  QueryPerformanceFrequency(&F);
  QueryPerformanceCounter(&A);
  const std::uint64_t T0 = calltimes::Ticks();
  Sleep(static_cast<DWORD>(Ms));
  QueryPerformanceCounter(&B);
  const std::uint64_t T1 = calltimes::Ticks();
  return static_cast<double>(T1 - T0) * static_cast<double>(F.QuadPart) / static_cast<double>(B.QuadPart - A.QuadPart);
}

}  // namespace bench
