// A skinned form against the same form with the skin switched off (drawn by the system), in one
// process: the gallery's form of every kind of control (tools/gallery), 900 x 700, under the
// program's own skin. The two states take turns round by round (the skin manager switched on and
// off between them, not timed); in each round every piece of work runs a few times and its best
// call counts. Printed per piece of work: the best and the median over the rounds of each state
// and the ratios skinned / system.
//
//   skin_paint_bench.exe [--runs N] [--only PIECE]... [--profile PIECE SECONDS [system | extended]
//                        [--samples FILE]]
// --only runs the pieces whose names begin so. --profile repeats one piece of work (named as
// printed, "hue" for the skin change) in the skinned state (the system-drawn one, or skinned with
// extended borders) for the time given and prints nothing else: a run for a sampling profiler;
// --samples FILE samples its stack itself (BenchSampler.h), with TV_MSG_COUNTS set it prints
// the messages each window received per call (those received at least every other call), and with
// TV_CALL_TIMES set the calls into the system's window and graphics libraries per call, with their
// times and where they were made (BenchCallTimes.h; "odd" or "even" counts every other call: of
// the size steps, the first grows).
// TV_GDI_TYPES prints the GDI objects by type.
//
// - full repaint: the form's frame and every child invalidated, erased and painted at once;
// - size change: the form's size changed (grown and shrunk in turn) and all it invalidates painted;
//   the same followed by a full repaint; both also with the skin's extended borders (the layered
//   window of frame and shadow around the form), against the system-drawn form's; and the
//   system-drawn form given the skinned form's window region at each step (what the region, which
//   cuts the skin's corners, costs by itself);
// - each control kind alone: one control of each class invalidated with its children and painted;
// - skin change: the hue offset changed (the skin's pictures re-coloured) until the form is painted,
//   without the change's fade (which lasts its designed time), against the system-drawn form's
//   full repaint;
// - GDI objects and private memory of the process in each state (medians over the rounds), and
//   what the skin holds by itself: the process's growth while it first loads, before any form.
// Every timed piece ends when the queue holds nothing more to handle, so that work a window
// posts to itself is counted.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchCallTimes.h"
#include "BenchSampler.h"
#include "BenchWinTiming.h"
#include "app/Program.h"
#include "framework/Forms.h"
#include "skin/core/acGlow.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/support/UiTest.h"
#include "tools/gallery/GalleryControls.h"

namespace {

constexpr int FormW = 900, FormH = 700;

double PrivateBytes();

std::map<std::pair<HWND, UINT>, int> MsgCounts;
LRESULT CALLBACK CountMessage(int Code, WPARAM W, LPARAM L) {
  const auto* C = reinterpret_cast<const CWPSTRUCT*>(L);
  if (Code == HC_ACTION) ++MsgCounts[{C->hwnd, C->message}];
  return CallNextHookEx(nullptr, Code, W, L);
}

// Live GDI objects by type (the shared handle table's type byte), for a breakdown.
std::string GdiByType() {
  const char* Peb;
  asm("movl %%fs:0x30, %0" : "=r"(Peb));
  auto* Table = *reinterpret_cast<const unsigned char* const*>(Peb + 0x94);
  int Counts[256] = {};
  for (int I = 0; I < 0x10000; ++I)
    if (Table[I * 24 + 14]) ++Counts[Table[I * 24 + 14]];
  std::string S;
  for (int T = 0; T < 256; ++T)
    if (Counts[T] != 0) S += " " + std::to_string(T) + ":" + std::to_string(Counts[T]);
  double Bytes = 0;
  std::string Big;
  for (int I = 0; I < 0x10000; ++I) {
    const unsigned char* E = Table + I * 24;
    if (E[14] != 5 && E[14] != 9) continue;
    const auto H = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(I | (*reinterpret_cast<const unsigned short*>(E + 12) << 16)));
    BITMAP B{};
    if (GetObjectW(H, sizeof B, &B) == 0) continue;
    const double Size = static_cast<double>(B.bmWidthBytes) * B.bmHeight;
    Bytes += Size;
    if (Size > 40000) Big += " " + std::to_string(B.bmWidth) + "x" + std::to_string(B.bmHeight) + "x" + std::to_string(B.bmBitsPixel);
  }
  S += "; bitmap bytes " + std::to_string(static_cast<int>(Bytes / 1024)) + " KB; large:" + Big;
  int MemDCs = 0, OtherDCs = 0, Empty = 0;
  for (int I = 0; I < 0x10000; ++I) {
    const unsigned char* E = Table + I * 24;
    if (E[14] != 1) continue;
    const auto H = reinterpret_cast<HDC>(static_cast<UINT_PTR>(I | (*reinterpret_cast<const unsigned short*>(E + 12) << 16)));
    const DWORD T = GetObjectType(H);
    if (T == OBJ_MEMDC) {
      ++MemDCs;
      BITMAP B{};
      if (GetObjectW(GetCurrentObject(H, OBJ_BITMAP), sizeof B, &B) != 0 && B.bmWidth <= 1) ++Empty;
    } else {
      ++OtherDCs;
    }
  }
  S += "; memory DCs " + std::to_string(MemDCs) + " (" + std::to_string(Empty) + " with no bitmap), other DCs " + std::to_string(OtherDCs);
  return S;
}

// What the loaded skin holds by itself: the process's growth while the skin loads.
struct TSkinItself {
  int Gdi = 0;
  double Private = 0;
};

// The program's own skin from its resources, as the gallery loads it.
TsSkinManager* CreateManager(TSkinItself& Itself) {
  TsSkinManager* M = gallery::CreateProgramSkinManager();
  // The skin change's fade takes its own designed time (100 ms): the change is timed without it.
  M->AnimEffects()->SkinChanging()->SetActive(false);
  const int G0 = uitest::GdiObjectCount();
  const double P0 = PrivateBytes();
  M->SetSkinName(gallery::ProgramSkinName);
  Itself = TSkinItself{uitest::GdiObjectCount() - G0, PrivateBytes() - P0};
  return M;
}

// Handles what the queue holds (bounded: a window that keeps posting to itself cannot hold the run).
void Drain() {
  MSG Msg;
  for (int I = 0; I < 10000 && PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE); ++I) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  GdiFlush();
}

void Settle(HWND W) {
  uitest::PumpFor(60);
  RedrawWindow(W, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Drain();
}

void PaintNow(HWND W) {
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Drain();
}

double PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX C{};
  C.cb = sizeof C;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&C), sizeof C);
  // The process's committed private memory (what the system reports as private usage; Wine fills
  // only the page-file figure, which is the same quantity).
  return static_cast<double>(C.PrivateUsage != 0 ? C.PrivateUsage : C.PagefileUsage);
}

struct TKind {
  std::string Name;
  TControl* Control;
};

// One control of each class on the form, in the order the form holds them.
void CollectKinds(TWinControl* Parent, std::vector<TKind>& Kinds) {
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    TControl* C = Parent->Controls(I);
    const std::string Name = C->ClassName();
    if (std::none_of(Kinds.begin(), Kinds.end(), [&](const TKind& K) { return K.Name == Name; }))
      Kinds.push_back(TKind{Name, C});
    if (auto* W = dynamic_cast<TWinControl*>(C)) CollectKinds(W, Kinds);
  }
}

// Repaints one control as a change of its own look does: a windowed control with its children
// and frame, a graphic control through its parent's window.
void PaintControl(TControl* C) {
  if (auto* W = dynamic_cast<TWinControl*>(C); W != nullptr && W->HandleAllocated()) {
    PaintNow(W->Handle());
    return;
  }
  C->Invalidate();
  if (C->Parent() != nullptr && C->Parent()->HandleAllocated()) UpdateWindow(C->Parent()->Handle());
  Drain();
}

struct TPiece {
  std::string Name;
  std::function<void()> Work;
  bool AlsoExtended = false;     // timed with extended borders too
  // Per state (0 skinned, 1 system, 2 skinned with extended borders): the best call of each round.
  std::vector<double> Times[3];
};

double Median(std::vector<double> V) {
  if (V.empty()) return 0;
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}
double Min(const std::vector<double>& V) { return V.empty() ? 0 : *std::min_element(V.begin(), V.end()); }

double BestOf(int Reps, const std::function<void()>& Work) {
  double Best = 1e30;
  for (int I = 0; I < Reps; ++I) {
    const double T0 = bench::Seconds();
    Work();
    Best = std::min(Best, bench::Seconds() - T0);
  }
  return Best;
}

}  // namespace

int main(int argc, char** argv) {
  int Runs = 9;
  std::string ProfilePiece;
  double ProfileSeconds = 0;
  int ProfileState = 0;
  std::string SamplesFile;
  std::vector<std::string> Only;
  for (int I = 1; I + 1 < argc; ++I) {
    if (std::string(argv[I]) == "--runs") Runs = std::max(1, std::atoi(argv[I + 1]));
    if (std::string(argv[I]) == "--samples") SamplesFile = argv[I + 1];
    if (std::string(argv[I]) == "--only") Only.push_back(argv[I + 1]);
    if (std::string(argv[I]) == "--profile" && I + 2 < argc) {
      ProfilePiece = argv[I + 1];
      ProfileSeconds = std::atof(argv[I + 2]);
      const std::string State = I + 3 < argc ? argv[I + 3] : "";
      ProfileState = State == "system" ? 1 : State == "extended" ? 2 : 0;
    }
  }
  gallery::StartUp();
  TSkinItself Skin;
  TsSkinManager* Manager = CreateManager(Skin);
  if (!Manager->SkinActive()) {
    std::printf("FAILED: the program's skin did not load\n");
    return 1;
  }

  TForm* F = gallery::CreateControlsForm(nullptr);
  new TsSkinProvider(F);
  F->SetBounds(40, 20, FormW, FormH);
  F->Show();
  SetForegroundWindow(F->Handle());
  HWND H = F->Handle();
  Settle(H);

  std::vector<TKind> Kinds;
  CollectKinds(F, Kinds);
  std::vector<TPiece> Pieces;
  Pieces.push_back({"full repaint, frame and children", [H] { PaintNow(H); }, false, {}});
  bool Grown = false;
  auto SizeStep = [H, &Grown] {
    Grown = !Grown;
    SetWindowPos(H, nullptr, 0, 0, FormW + (Grown ? 24 : 0), FormH + (Grown ? 18 : 0),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(H, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Drain();
  };
  Pieces.push_back({"size change, what it invalidates painted", SizeStep, true, {}});
  Pieces.push_back({"size change, then a full repaint", [H, SizeStep] {
                      SizeStep();
                      PaintNow(H);
                    },
                    true,
                    {}});
  const std::size_t FirstKind = Pieces.size();
  for (const TKind& K : Kinds)
    if (K.Control->Visible()) Pieces.push_back({K.Name, [C = K.Control] { PaintControl(C); }, false, {}});

  int Hue = 0;
  auto HueChange = [&] {
    Hue = Hue == 0 ? 40 : 0;
    Manager->SetHueOffset(Hue);
    RedrawWindow(H, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Drain();
  };
  // The states take turns; the extended borders change while the skin is off (a change while it
  // is on loads it again).
  auto EnterState = [&](int State) {
    Manager->SetActive(false);
    Manager->SetExtendedBorders(State == 2);
    Manager->SetActive(State != 1);
  };
  if (!ProfilePiece.empty()) {
    EnterState(ProfileState);
    Settle(H);
    std::function<void()> Work = HueChange;
    for (const TPiece& P : Pieces)
      if (P.Name.rfind(ProfilePiece, 0) == 0) Work = P.Work;
    const double T0 = bench::Seconds();
    int Calls = 0;
    // Two atom look-ups mark the loop in a trace of the window server's requests.
    GlobalFindAtomA("skin_paint_bench: begin");
    bench::TSampler Sampler;
    Sampler.FTargetTib = reinterpret_cast<NT_TIB*>(NtCurrentTeb());
    Sampler.FFramePointers = std::getenv("TV_SAMPLE_FRAMES") != nullptr;
    if (!SamplesFile.empty()) Sampler.Start();
    HHOOK Hook = nullptr;
    // TV_CALL_TIMES (odd or even: every other call only; of the size steps, the first grows).
    const std::string Which = std::getenv("TV_CALL_TIMES") != nullptr ? std::getenv("TV_CALL_TIMES") : "";
    std::unique_ptr<bench::TCallTimes> CallTimes;
    if (!Which.empty()) {
      CallTimes = std::make_unique<bench::TCallTimes>(
          std::vector<std::string>{"user32.dll", "gdi32.dll", "comctl32.dll", "msimg32.dll", "uxtheme.dll"});
      if (acUpdateLayeredWindow != nullptr)
        acUpdateLayeredWindow = reinterpret_cast<TacUpdateLayeredWindow>(
            CallTimes->Wrap("UpdateLayeredWindow", reinterpret_cast<void*>(acUpdateLayeredWindow)));
    }
    if (std::getenv("TV_MSG_COUNTS") != nullptr)
      Hook = SetWindowsHookExW(WH_CALLWNDPROC, &CountMessage, nullptr, GetCurrentThreadId());
    int Counted = 0;
    for (; bench::Seconds() - T0 < ProfileSeconds; ++Calls) {
      if (CallTimes) {
        bench::calltimes::Enabled = Which == "odd" ? Calls % 2 == 1 : Which != "even" || Calls % 2 == 0;
        Counted += bench::calltimes::Enabled;
      }
      Work();
    }
    if (!SamplesFile.empty()) {
      Sampler.Stop();
      Sampler.Write(SamplesFile);
    }
    GlobalFindAtomA("skin_paint_bench: end");
    if (Hook != nullptr) {
      UnhookWindowsHookEx(Hook);
      for (const auto& [K, N] : MsgCounts) {
        if (N < Calls / 2) continue;
        wchar_t Cls[64] = {};
        GetClassNameW(K.first, Cls, 64);
        TControl* Ctl = FindControl(K.first);
        std::printf("%p %-24ls %-28s msg %04x  %.2f per call\n", static_cast<void*>(K.first), Cls,
                    Ctl != nullptr ? Ctl->ClassName() : "", K.second, static_cast<double>(N) / Calls);
      }
    }
    std::printf("%d calls\n", Calls);
    if (CallTimes) CallTimes->Print(Counted, 60, bench::TicksPerSecond());
    return 0;
  }

  auto Selected = [&Only](const std::string& Name) {
    return Only.empty() || std::any_of(Only.begin(), Only.end(), [&](const std::string& O) { return Name.rfind(O, 0) == 0; });
  };
  // The skinned form's window region at both sizes of the size change: the system-drawn form given
  // the same region at each of its size steps shows what the region by itself costs.
  HRGN SkinRegion[2] = {CreateRectRgn(0, 0, 0, 0), CreateRectRgn(0, 0, 0, 0)};
  bool HaveRegion = true;
  for (bool G : {true, false}) {
    SetWindowPos(H, nullptr, 0, 0, FormW + (G ? 24 : 0), FormH + (G ? 18 : 0), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(H);
    HaveRegion = HaveRegion && GetWindowRgn(H, SkinRegion[G ? 1 : 0]) != ERROR;
  }
  auto RegionStep = [&] {
    Grown = !Grown;
    SetWindowPos(H, nullptr, 0, 0, FormW + (Grown ? 24 : 0), FormH + (Grown ? 18 : 0),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HRGN R = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(R, SkinRegion[Grown ? 1 : 0], nullptr, RGN_COPY);
    if (SetWindowRgn(H, R, FALSE) == 0) DeleteObject(R);
    RedrawWindow(H, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Drain();
  };
  std::vector<double> HueTimes, RegionTimes;
  std::vector<double> Gdi[2], Private[2];
  const bool AnyExtended = std::any_of(Pieces.begin(), Pieces.end(), [&](const TPiece& P) {
    return P.AlsoExtended && Selected(P.Name);
  });
  for (int R = 0; R < Runs; ++R)
    for (int State = 0; State < 3; ++State) {
      if (State == 2 && !AnyExtended) continue;
      EnterState(State);
      SetWindowPos(H, nullptr, 0, 0, FormW, FormH, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      Grown = false;
      Settle(H);
      PaintNow(H);
      if (State < 2) {
        Gdi[State].push_back(uitest::GdiObjectCount());
        if (std::getenv("TV_GDI_TYPES") != nullptr) std::printf("state %d objects by type:%s\n", State, GdiByType().c_str());
        Private[State].push_back(PrivateBytes());
      }
      for (TPiece& P : Pieces)
        if (Selected(P.Name) && (State < 2 || P.AlsoExtended)) P.Times[State].push_back(BestOf(3, P.Work));
      if (State == 0 && Selected("hue")) HueTimes.push_back(BestOf(2, HueChange));
      if (State == 1 && HaveRegion && Selected("size change, what")) {
        RegionTimes.push_back(BestOf(3, RegionStep));
        SetWindowRgn(H, nullptr, FALSE);
      }
    }
  Manager->SetHueOffset(0);
  EnterState(0);

  std::printf("skinned form against the system-drawn form, %d x %d, %d rounds; best and median of the rounds\n",
              FormW, FormH, Runs);
  std::printf("%-42s %9s %9s %9s %9s %7s %7s\n", "", "skinned", "", "system", "", "ratio", "");
  std::printf("%-42s %9s %9s %9s %9s %7s %7s\n", "", "best us", "median", "best us", "median", "best", "median");
  auto Line = [](const std::string& Name, const std::vector<double>& A, const std::vector<double>& B) {
    std::printf("%-42s %9.0f %9.0f %9.0f %9.0f %7.2f %7.2f\n", Name.c_str(), Min(A) * 1e6, Median(A) * 1e6,
                Min(B) * 1e6, Median(B) * 1e6, Min(A) / Min(B), Median(A) / Median(B));
  };
  for (std::size_t I = 0; I < Pieces.size(); ++I) {
    if (!Selected(Pieces[I].Name)) continue;
    if (I == FirstKind) std::printf("each control kind alone:\n");
    Line((I >= FirstKind ? "  " : "") + Pieces[I].Name, Pieces[I].Times[0], Pieces[I].Times[1]);
  }
  if (Selected("hue")) Line("skin change (hue) until painted, vs full repaint", HueTimes, Pieces[0].Times[1]);
  if (!RegionTimes.empty()) {
    // Pieces[1] is the size change with what it invalidates painted.
    std::printf("the system-drawn form given the skinned form's window region at each size step:\n");
    Line("  size change, skinned vs this form", Pieces[1].Times[0], RegionTimes);
    Line("  this form vs the system-drawn form", RegionTimes, Pieces[1].Times[1]);
  }
  if (AnyExtended) std::printf("with extended borders, against the system-drawn form:\n");
  for (const TPiece& P : Pieces)
    if (P.AlsoExtended && Selected(P.Name)) Line("  " + P.Name, P.Times[2], P.Times[1]);

  const double SkinG = Skin.Gdi, SkinP = Skin.Private;
  const double G0 = Median(Gdi[0]), G1 = Median(Gdi[1]), P0 = Median(Private[0]), P1 = Median(Private[1]);
  std::printf("GDI objects:    skinned %6.0f  system %6.0f  ratio %.3f; the skin by itself %4.0f, ratio without it %.3f\n",
              G0, G1, G0 / G1, SkinG, (G0 - SkinG) / G1);
  std::printf("private memory: skinned %6.1f MB system %6.1f MB ratio %.3f; the skin by itself %4.1f MB, ratio "
              "without it %.3f\n",
              P0 / 1048576, P1 / 1048576, P0 / P1, SkinP / 1048576, (P0 - SkinP) / P1);
  DeleteObject(SkinRegion[0]);
  DeleteObject(SkinRegion[1]);
  delete F;
  delete Manager;
  FinalizeUnits();
  return 0;
}
