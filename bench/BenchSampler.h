// A sampling profiler for the Win32 benchmarks: a thread stops the measured thread about every
// millisecond and records where it runs and the return addresses into the program found on its
// stack (a scan of the stack words that point just behind a call instruction of the program's
// code, since the optimised code keeps no frame chain). Written one sample a line, in hex: the
// instruction pointer, then the return addresses from the innermost out. The program's symbols
// (`nm`) name them afterwards.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

class TSampler {
 public:
  // Samples the calling thread until Stop.
  void Start() {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &FTarget, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    const auto* Base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* Dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base);
    const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(Base + Dos->e_lfanew);
    const IMAGE_SECTION_HEADER* S = IMAGE_FIRST_SECTION(Nt);
    for (int I = 0; I < Nt->FileHeader.NumberOfSections; ++I, ++S)
      if ((S->Characteristics & IMAGE_SCN_CNT_CODE) != 0) {
        FCodeBegin = reinterpret_cast<std::uintptr_t>(Base + S->VirtualAddress);
        FCodeEnd = FCodeBegin + S->Misc.VirtualSize;
        break;
      }
    // Nothing is allocated while the measured thread is stopped (it may hold the heap's lock).
    FWords.assign(8u << 20, 0);
    FRun = true;
    FThread = CreateThread(nullptr, 0, &TSampler::Loop, this, 0, nullptr);
  }
  void Stop() {
    FRun = false;
    WaitForSingleObject(FThread, INFINITE);
    CloseHandle(FThread);
    CloseHandle(FTarget);
  }
  void Write(const std::string& Path) const {
    FILE* F = std::fopen(Path.c_str(), "w");
    if (F == nullptr) return;
    bool First = true;
    for (std::size_t I = 0; I < FUsed; ++I) {
      if (FWords[I] == 0) {
        std::fprintf(F, "\n");
        First = true;
        continue;
      }
      std::fprintf(F, First ? "%x" : " %x", FWords[I]);
      First = false;
    }
    std::fclose(F);
  }
  std::size_t Count() const { return FCount; }

 private:
  bool InCode(std::uintptr_t A) const { return A >= FCodeBegin + 6 && A < FCodeEnd; }
  // A return address: the instruction before it is a call (direct, or indirect through a register
  // or memory operand).
  bool AfterCall(std::uintptr_t A) const {
    const auto* P = reinterpret_cast<const BYTE*>(A);
    return P[-5] == 0xE8 || (P[-2] == 0xFF && (P[-1] & 0x38) == 0x10) ||
           (P[-3] == 0xFF && (P[-2] & 0x38) == 0x10) || (P[-6] == 0xFF && (P[-5] & 0x38) == 0x10) ||
           (P[-7] == 0xFF && (P[-6] & 0x38) == 0x10);
  }
  static DWORD WINAPI Loop(void* Self) {
    static_cast<TSampler*>(Self)->Run();
    return 0;
  }
  void Run() {
    NT_TIB* Tib = nullptr;
    while (FRun) {
      Sleep(1);
      if (SuspendThread(FTarget) == static_cast<DWORD>(-1)) continue;
      CONTEXT C{};
      C.ContextFlags = CONTEXT_CONTROL;
      if (GetThreadContext(FTarget, &C) && FUsed + 410 < FWords.size()) {
        FWords[FUsed++] = C.Eip;
        // The stack of the measured thread ends at its TIB's stack base.
        if (Tib == nullptr) Tib = FTargetTib;
        const std::uintptr_t Top = Tib != nullptr ? reinterpret_cast<std::uintptr_t>(Tib->StackBase) : C.Esp + 65536;
        int Found = 0;
        std::uintptr_t ScanFrom = C.Esp;
        if (FFramePointers) {
          // The chain of frames: each frame's first word is the caller's frame, the next its
          // return address. Where the chain ends (code without frame pointers), the stack above
          // is scanned, after a marker (1).
          for (std::uintptr_t P = C.Ebp; P >= C.Esp && P + 8 <= Top && Found < 200; ++Found) {
            const auto* Frame = reinterpret_cast<const std::uint32_t*>(P);
            if (Frame[1] == 0) break;
            FWords[FUsed++] = Frame[1];
            ScanFrom = P + 8;
            if (Frame[0] <= P) break;
            P = Frame[0];
          }
          FWords[FUsed++] = 1;
        }
        for (std::uintptr_t P = ScanFrom; P + 4 <= Top && P < ScanFrom + 262144 && Found < 200; P += 4) {
          const std::uintptr_t V = *reinterpret_cast<const std::uint32_t*>(P);
          if (InCode(V) && AfterCall(V)) {
            FWords[FUsed++] = static_cast<std::uint32_t>(V);
            ++Found;
          }
        }
        FWords[FUsed++] = 0;
        ++FCount;
      }
      ResumeThread(FTarget);
    }
  }

 public:
  // Follow the chain of frame pointers (a build with them) instead of scanning the stack.
  bool FFramePointers = false;
  // The measured thread's TIB (its stack's end), set by the caller on that thread before Start.
  NT_TIB* FTargetTib = nullptr;

 private:
  HANDLE FTarget = nullptr;
  HANDLE FThread = nullptr;
  std::atomic<bool> FRun{false};
  std::uintptr_t FCodeBegin = 0, FCodeEnd = 0;
  std::vector<std::uint32_t> FWords;  // samples one after the other, each ended by a 0
  std::size_t FUsed = 0, FCount = 0;
};

}  // namespace bench
