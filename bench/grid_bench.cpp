// The grid against the system list view (report view, one text column) on the same lines, side
// by side in one run: adding N rows, sorting with the same comparison (texts, dotted addresses and
// numbers in text), repainting the page at the top and at the bottom, selecting every row and
// clearing the selection, and deleting every row from the top. After each operation the two must hold the same lines in the same order (the run
// fails otherwise). Each figure is the best of several runs, the two controls measured in turn;
// the ratio is grid / list view (below 1 the grid is faster). Then everyday operations (repaint,
// cell write, selection change, scroll) on grids of every size alive together, measured in turn:
// the ratio is against the smallest grid (1 means the cost does not grow with the rows). Memory
// per row is measured in separate processes, one per control and size: the heap blocks in use and
// the memory committed. Then the tree operations among as many other rows, each against the same
// operation with every row shown (the ratio is what hidden rows add; the figures across sizes
// show whether the other rows add anything), and collapsing and deleting every one of N parents
// with a child each, the trees kept together against the same sorted apart (the time and the rows
// read per parent).
//
//   grid_bench.exe [sizes...]            run the table (default sizes 10000 100000 1000000)
//   grid_bench.exe --trees [sizes...]    the tree operations alone
//   grid_bench.exe --memory grid N       (internal) one memory measurement, bytes per row
//   grid_bench.exe --memory listview N
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchWinTiming.h"
#include "framework/Forms.h"
#include "grid/NxColumnClasses.h"
#include "grid/NxGrid.h"
#include "tests/grid/support/ParentRows.h"

namespace {

constexpr int ClientW = 380, ClientH = 460;

// ---------------------------------------------------------------------------------------------
// Lines: channel-like names from Latin and Cyrillic words and numbers, the same every run.

struct TRandom {
  std::uint32_t S;
  explicit TRandom(std::uint32_t Seed) : S(Seed) {}
  std::uint32_t Next() {
    S = S * 1664525u + 1013904223u;
    return S >> 8;
  }
  int Below(int N) { return static_cast<int>(Next() % static_cast<std::uint32_t>(N)); }
};

std::vector<std::wstring> MakeLines(int N) {
  static const wchar_t* Words[] = {L"Первый", L"канал",  L"Россия", L"Спорт", L"Кино",    L"Музыка", L"Новости",
                                   L"Детский", L"Мир",   L"Дом",    L"Звезда", L"Пятница", L"HD",     L"Sport",
                                   L"Movie",  L"News",   L"Music",  L"Kids",  L"World",   L"Discovery", L"History",
                                   L"Travel", L"Euro",   L"plus",   L"Ёлка",  L"ёж",      L"Эфир",   L"юг",
                                   L"Alpha",  L"beta",   L"Zeta",   L"omega", L"Яхта",    L"Быт",    L"Север"};
  constexpr int WordCount = static_cast<int>(sizeof(Words) / sizeof(Words[0]));
  TRandom R(12345);
  std::vector<std::wstring> Lines;
  Lines.reserve(static_cast<std::size_t>(N));
  for (int I = 0; I < N; ++I) {
    std::wstring S = Words[R.Below(WordCount)];
    const int More = R.Below(3);
    for (int K = 0; K < More; ++K) {
      S += L' ';
      S += Words[R.Below(WordCount)];
    }
    if (R.Below(2) == 0) S += L' ' + std::to_wstring(R.Below(1000));
    Lines.push_back(std::move(S));
  }
  return Lines;
}

// Dotted addresses and numbers as text, for the sorts that read a value out of the text. Equal
// values are equal texts (no leading zeros), so both controls' orders can be compared as text.
std::vector<std::wstring> MakeAddresses(int N) {
  TRandom R(271);
  std::vector<std::wstring> Lines;
  Lines.reserve(static_cast<std::size_t>(N));
  for (int I = 0; I < N; ++I)
    Lines.push_back(std::to_wstring(1 + R.Below(254)) + L"." + std::to_wstring(R.Below(256)) + L"." +
                    std::to_wstring(R.Below(256)) + L"." + std::to_wstring(R.Below(256)));
  return Lines;
}

std::vector<std::wstring> MakeNumbers(int N) {
  TRandom R(314);
  std::vector<std::wstring> Lines;
  Lines.reserve(static_cast<std::size_t>(N));
  for (int I = 0; I < N; ++I) Lines.push_back(std::to_wstring(R.Below(2000001) - 1000000));
  return Lines;
}

// ---------------------------------------------------------------------------------------------
// The two controls

// The grid as the channel list has it: one auto-sized text column, no header, no grid lines
// shown between rows beyond the active ones.
struct TGridSide {
  TForm* Form = nullptr;
  TNxGrid* Grid = nullptr;
  TNxTextColumn* Column = nullptr;

  TGridSide(int X, int Y) {
    Form = new TForm(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(X, Y, ClientW, ClientH);
    Grid = new TNxGrid(Form);
    Grid->SetAlign(alClient);
    Grid->SetBorderStyle(bsNone);
    Grid->SetGridLinesColor(clWhite);
    Grid->SetGridLinesStyle(lsActiveRows);
    Grid->SetInactiveSelectionColor(clWhite);
    Grid->SetOptions({});
    Grid->SetParent(Form);
    Column = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
    Column->SetPosition(0);
    Column->SetOptions({coAutoSize, coCanClick, coCanInput, coCanSort, coPublicUsing});
    Form->Show();
    Application->ProcessMessages();
  }
  ~TGridSide() { delete Form; }
  HWND Window() const { return Grid->Handle(); }

  // One row, then its text, as the program adds its lines; Locked within BeginUpdate/EndUpdate.
  void Add(const std::vector<std::wstring>& Lines, bool Locked = true) {
    if (Locked) Grid->BeginUpdate();
    for (const std::wstring& L : Lines) {
      const int R = Grid->AddRow(1);
      Grid->SetCells(0, R, L);
    }
    if (Locked) Grid->EndUpdate();
  }
  void Clear() { Grid->ClearRows(); }
  void Sort(TSortType Type) {
    Column->SetSortType(Type);
    Grid->SortColumn(Column, true);
  }
  void ScrollTop() { Grid->VertScrollBar()->First(); }
  void ScrollBottom() { Grid->VertScrollBar()->Last(); }
  void SetMulti(bool On) {
    Grid->SetOptions(On ? TGridOptions{goMultiSelect, goSelectFullRow} : TGridOptions{});
  }
  void SelectAll() { Grid->SelectAll(); }
  void ClearSelection() { Grid->ClearSelection(); }
  void DeleteFromTop(int Count) {
    Grid->BeginUpdate();
    for (int I = 0; I < Count; ++I) Grid->DeleteRow(0);
    Grid->EndUpdate();
  }
  int Count() { return Grid->RowCount(); }
  std::wstring Text(int Row) { return Grid->Cells(0, Row); }
  int SelectedCount() { return Grid->GetSelectedCount(); }
};

// The list view in report view with one column of the same width and font, no header.
struct TListSide {
  HWND Host = nullptr;
  HWND List = nullptr;
  const std::vector<std::wstring>* Texts = nullptr;
  int Rows = 0;

  TListSide(int X, int Y, HFONT Font) {
    INITCOMMONCONTROLSEX Icc{sizeof(Icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&Icc);
    Host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, X, Y, ClientW, ClientH, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    List = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS,
                           0, 0, ClientW, ClientH, Host, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(List, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    LVCOLUMNW Col{};
    Col.mask = LVCF_WIDTH;
    RECT C;
    GetClientRect(List, &C);
    Col.cx = C.right - C.left;
    SendMessageW(List, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&Col));
    UpdateWindow(List);
  }
  ~TListSide() { DestroyWindow(Host); }
  HWND Window() const { return List; }

  // Item by item; Locked with redraw off meanwhile.
  void Add(const std::vector<std::wstring>& Lines, bool Locked = true) {
    Texts = &Lines;
    if (Locked) SendMessageW(List, WM_SETREDRAW, FALSE, 0);
    LVITEMW It{};
    It.mask = LVIF_TEXT | LVIF_PARAM;
    for (int I = 0; I < static_cast<int>(Lines.size()); ++I) {
      It.iItem = I;
      It.pszText = const_cast<wchar_t*>(Lines[static_cast<std::size_t>(I)].c_str());
      It.lParam = I;
      SendMessageW(List, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&It));
    }
    if (Locked) SendMessageW(List, WM_SETREDRAW, TRUE, 0);
    Rows = static_cast<int>(Lines.size());
  }
  void Clear() {
    SendMessageW(List, LVM_DELETEALLITEMS, 0, 0);
    Rows = 0;
  }
  static int CALLBACK CompareLocale(LPARAM A, LPARAM B, LPARAM Self) {
    const auto& T = *reinterpret_cast<TListSide*>(Self)->Texts;
    return CompareStringW(LOCALE_USER_DEFAULT, 0, T[static_cast<std::size_t>(A)].c_str(), -1,
                          T[static_cast<std::size_t>(B)].c_str(), -1) - 2;
  }
  static int CALLBACK CompareOrdinal(LPARAM A, LPARAM B, LPARAM Self) {
    const auto& T = *reinterpret_cast<TListSide*>(Self)->Texts;
    return T[static_cast<std::size_t>(A)].compare(T[static_cast<std::size_t>(B)]);
  }
  void Sort(bool Locale) {
    SendMessageW(List, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                 reinterpret_cast<LPARAM>(Locale ? &CompareLocale : &CompareOrdinal));
  }
  // The values read out of the texts once, then the items sorted on them: the first address part
  // most significant, or the number.
  std::vector<std::array<unsigned, 4>> Addresses;
  std::vector<double> Numbers;
  static int CALLBACK CompareAddress(LPARAM A, LPARAM B, LPARAM Self) {
    const auto& K = reinterpret_cast<TListSide*>(Self)->Addresses;
    const auto& X = K[static_cast<std::size_t>(A)];
    const auto& Y = K[static_cast<std::size_t>(B)];
    return X < Y ? -1 : Y < X ? 1 : 0;
  }
  static int CALLBACK CompareNumber(LPARAM A, LPARAM B, LPARAM Self) {
    const auto& K = reinterpret_cast<TListSide*>(Self)->Numbers;
    const double X = K[static_cast<std::size_t>(A)], Y = K[static_cast<std::size_t>(B)];
    return X < Y ? -1 : Y < X ? 1 : 0;
  }
  void SortAddresses() {
    Addresses.clear();
    for (const std::wstring& T : *Texts) {
      std::array<unsigned, 4> Parts{};
      std::swscanf(T.c_str(), L"%u.%u.%u.%u", &Parts[0], &Parts[1], &Parts[2], &Parts[3]);
      Addresses.push_back(Parts);
    }
    SendMessageW(List, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&CompareAddress));
  }
  void SortNumbers() {
    Numbers.clear();
    for (const std::wstring& T : *Texts) Numbers.push_back(std::wcstod(T.c_str(), nullptr));
    SendMessageW(List, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&CompareNumber));
  }
  void ScrollTop() { SendMessageW(List, LVM_ENSUREVISIBLE, 0, FALSE); }
  void ScrollBottom() { SendMessageW(List, LVM_ENSUREVISIBLE, static_cast<WPARAM>(Rows - 1), FALSE); }
  void SelectAll() {
    LVITEMW It{};
    It.stateMask = LVIS_SELECTED;
    It.state = LVIS_SELECTED;
    SendMessageW(List, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&It));
  }
  void ClearSelection() {
    LVITEMW It{};
    It.stateMask = LVIS_SELECTED;
    It.state = 0;
    SendMessageW(List, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&It));
  }
  void DeleteFromTop(int Count) {
    SendMessageW(List, WM_SETREDRAW, FALSE, 0);
    for (int I = 0; I < Count; ++I) SendMessageW(List, LVM_DELETEITEM, 0, 0);
    SendMessageW(List, WM_SETREDRAW, TRUE, 0);
    Rows -= Count;
  }
  int Count() { return static_cast<int>(SendMessageW(List, LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring Text(int Row) {
    wchar_t Buf[256];
    LVITEMW It{};
    It.iSubItem = 0;
    It.pszText = Buf;
    It.cchTextMax = 256;
    const LRESULT N = SendMessageW(List, LVM_GETITEMTEXTW, static_cast<WPARAM>(Row), reinterpret_cast<LPARAM>(&It));
    return std::wstring(Buf, static_cast<std::size_t>(N));
  }
  int SelectedCount() { return static_cast<int>(SendMessageW(List, LVM_GETSELECTEDCOUNT, 0, 0)); }
};

// Both controls hold the same lines in the same order (and as many selected); otherwise the run
// fails before its figures could mislead.
void CheckSame(const char* After, TGridSide& G, TListSide& L) {
  bool Same = G.Count() == L.Count() && G.SelectedCount() == L.SelectedCount();
  for (int I = 0; Same && I < G.Count(); ++I) Same = G.Text(I) == L.Text(I);
  if (Same) return;
  std::printf("after %s the grid and the list view differ (%d and %d rows, %d and %d selected)\n", After, G.Count(),
              L.Count(), G.SelectedCount(), L.SelectedCount());
  std::exit(1);
}

void Pump() {
  MSG M;
  while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&M);
    DispatchMessageW(&M);
  }
}

// The window paints its whole client area now, as when it is uncovered.
void Repaint(HWND W) {
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  GdiFlush();
}

double Time(const std::function<void()>& Work) {
  const double T0 = bench::Seconds();
  Work();
  GdiFlush();
  return bench::Seconds() - T0;
}

// Runs Prepare (untimed) and Work (timed) for each side in turn, Runs times; best of each.
struct TPair {
  double Grid = 1e30, List = 1e30;
};
TPair Alternate(int Runs, const std::function<void()>& PrepGrid, const std::function<void()>& WorkGrid,
                const std::function<void()>& PrepList, const std::function<void()>& WorkList) {
  TPair P;
  for (int R = 0; R < Runs; ++R) {
    PrepGrid();
    Pump();
    P.Grid = std::min(P.Grid, Time(WorkGrid));
    Pump();
    PrepList();
    Pump();
    P.List = std::min(P.List, Time(WorkList));
    Pump();
  }
  return P;
}

void FormatSeconds(double S, char* Buf) {
  if (S >= 1)
    std::snprintf(Buf, 32, "%8.2f s ", S);
  else if (S >= 1e-3)
    std::snprintf(Buf, 32, "%8.2f ms", S * 1e3);
  else
    std::snprintf(Buf, 32, "%8.1f us", S * 1e6);
}

void Line(const char* Name, int N, const TPair& P) {
  char A[32], B[32];
  FormatSeconds(P.Grid, A);
  FormatSeconds(P.List, B);
  std::printf("%-34s %8d   grid %s   list view %s   ratio %.2f\n", Name, N, A, B, P.Grid / P.List);
  std::fflush(stdout);
}

void RunSize(int N, TGridSide& G, TListSide& L) {
  const std::vector<std::wstring> Lines = MakeLines(N);
  const int Runs = N >= 1000000 ? 2 : N >= 100000 ? 3 : 5;
  auto Nothing = [] {};

  // Add N rows: within BeginUpdate / with redraw off, then one by one without either (as the
  // program fills its list).
  Line("add (update lock / redraw off)", N,
       Alternate(Runs, [&] { G.Clear(); }, [&] { G.Add(Lines); }, [&] { L.Clear(); }, [&] { L.Add(Lines); }));
  CheckSame("adding", G, L);
  if (N <= 10000)
    Line("add (no lock, one by one)", N,
         Alternate(
             1, [&] { G.Clear(); }, [&] { G.Add(Lines, false); }, [&] { L.Clear(); }, [&] { L.Add(Lines, false); }));

  // Sort with the same comparison, on freshly added (unsorted) lines each run.
  auto SortLine = [&](const char* Name, const char* After, const std::vector<std::wstring>& Input,
                      const std::function<void()>& GridSort, const std::function<void()>& ListSort) {
    Line(Name, N,
         Alternate(
             Runs, [&] { G.Clear(); G.Add(Input); }, GridSort, [&] { L.Clear(); L.Add(Input); }, ListSort));
    CheckSame(After, G, L);
  };
  SortLine("sort, locale-aware (CompareStringW)", "the locale-aware sort", Lines, [&] { G.Sort(stUnicodeAlphabetic); },
           [&] { L.Sort(true); });
  SortLine("sort, code units (stAlphabetic)", "the code-unit sort", Lines, [&] { G.Sort(stAlphabetic); },
           [&] { L.Sort(false); });

  // Repaint the page at the top and at the bottom (the contents stay as the last sort left them).
  {
    const int Reps = 20;
    auto Page = [&](bool Bottom) {
      if (Bottom) {
        G.ScrollBottom();
        L.ScrollBottom();
      } else {
        G.ScrollTop();
        L.ScrollTop();
      }
      Pump();
      Repaint(G.Window());
      Repaint(L.Window());
      return Alternate(
          Runs * 2, Nothing, [&] { for (int I = 0; I < Reps; ++I) Repaint(G.Window()); }, Nothing,
          [&] { for (int I = 0; I < Reps; ++I) Repaint(L.Window()); });
    };
    TPair Top = Page(false);
    Top.Grid /= Reps;
    Top.List /= Reps;
    Line("repaint page, top", N, Top);
    TPair Bottom = Page(true);
    Bottom.Grid /= Reps;
    Bottom.List /= Reps;
    Line("repaint page, bottom", N, Bottom);
    G.ScrollTop();
    L.ScrollTop();
  }

  // Select every row, then clear the selection.
  G.SetMulti(true);
  Line("select all", N, Alternate(Runs, [&] { G.ClearSelection(); }, [&] { G.SelectAll(); },
                                  [&] { L.ClearSelection(); }, [&] { L.SelectAll(); }));
  CheckSame("selecting every row", G, L);
  Line("clear selection", N, Alternate(Runs, [&] { G.SelectAll(); }, [&] { G.ClearSelection(); },
                                       [&] { L.SelectAll(); }, [&] { L.ClearSelection(); }));
  CheckSame("clearing the selection", G, L);
  G.ClearSelection();
  L.ClearSelection();
  G.SetMulti(false);

  // Delete every row from the top. The list view's deletion moves the rows after the deleted one
  // each time (its whole run grows with the square of the rows): past 100,000 rows both delete
  // the first 100,000 only.
  const int Deleted = std::min(N, 100000);
  Line(Deleted == N ? "delete all from the top" : "delete 100000 from the top", N,
       Alternate(
           1, [&] { G.Clear(); G.Add(Lines); }, [&] { G.DeleteFromTop(Deleted); }, [&] { L.Clear(); L.Add(Lines); },
           [&] { L.DeleteFromTop(Deleted); }));
  CheckSame("deleting from the top", G, L);
  // The sorts that read a value out of each text: dotted addresses and numbers.
  const std::vector<std::wstring> Addresses = MakeAddresses(N), Numbers = MakeNumbers(N);
  SortLine("sort, addresses (stIP)", "the address sort", Addresses, [&] { G.Sort(stIP); },
           [&] { L.SortAddresses(); });
  SortLine("sort, numbers in text (stNumeric)", "the numeric sort", Numbers, [&] { G.Sort(stNumeric); },
           [&] { L.SortNumbers(); });
  G.Clear();
  L.Clear();
  Pump();
}

// ---------------------------------------------------------------------------------------------
// One operation on grids of each size, the grids alive together and measured in turn: the cost
// of an everyday operation against the same on the smallest grid.

void RunFlat(const std::vector<int>& Sizes) {
  std::vector<std::unique_ptr<TGridSide>> Grids;
  for (int N : Sizes) {
    // Side by side, none covering another.
    const int K = static_cast<int>(Grids.size());
    auto G = std::make_unique<TGridSide>(10 + (K % 3) * (ClientW + 10), 10 + (K / 3) * 40);
    G->Add(MakeLines(N));
    Grids.push_back(std::move(G));
  }
  Pump();
  const int Runs = 7, Reps = 20;
  struct TOp {
    const char* Name;
    std::function<void(TGridSide&)> Prepare;
    std::function<void(TGridSide&, int)> Work;
  };
  // The window paints what the operation invalidated.
  auto Update = [](TGridSide& G) {
    UpdateWindow(G.Window());
    GdiFlush();
  };
  const std::vector<TOp> Ops = {
      {"repaint page, top", [](TGridSide& G) { G.ScrollTop(); }, [](TGridSide& G, int) { Repaint(G.Window()); }},
      {"repaint page, bottom", [](TGridSide& G) { G.ScrollBottom(); }, [](TGridSide& G, int) { Repaint(G.Window()); }},
      {"cell write in view, bottom", [](TGridSide& G) { G.ScrollBottom(); },
       [&](TGridSide& G, int I) {
         G.Grid->SetCells(0, G.Count() - 3, I % 2 ? L"Первый канал" : L"News channel");
         Update(G);
       }},
      {"selection change, bottom", [](TGridSide& G) { G.ScrollBottom(); },
       [&](TGridSide& G, int I) {
         G.Grid->SelectCell(0, G.Count() - 2 - I % 2);
         Update(G);
       }},
      {"scroll one line, bottom", [](TGridSide& G) { G.ScrollBottom(); },
       [&](TGridSide& G, int I) {
         SendMessageW(G.Window(), WM_VSCROLL, I % 2 ? SB_LINEDOWN : SB_LINEUP, 0);
         Update(G);
       }},
      {"scroll one page, middle", [](TGridSide& G) { G.Grid->VertScrollBar()->SetPosition(G.Count() / 2); },
       [&](TGridSide& G, int I) {
         SendMessageW(G.Window(), WM_VSCROLL, I % 2 ? SB_PAGEDOWN : SB_PAGEUP, 0);
         Update(G);
       }},
  };
  for (const TOp& Op : Ops) {
    std::vector<double> Best(Grids.size(), 1e30);
    for (auto& G : Grids) {
      Op.Prepare(*G);
      Pump();
      Update(*G);
    }
    for (int R = 0; R < Runs; ++R)
      for (std::size_t K = 0; K < Grids.size(); ++K) {
        TGridSide& G = *Grids[K];
        const double T = Time([&] {
          for (int I = 0; I < Reps; ++I) Op.Work(G, I);
        });
        Best[K] = std::min(Best[K], T / Reps);
        Pump();
      }
    for (std::size_t K = 0; K < Grids.size(); ++K)
      std::printf("%-34s %8d   grid %8.1f us   against %d rows   ratio %.2f\n", Op.Name, Sizes[K], Best[K] * 1e6,
                  Sizes[0], Best[K] / Best[0]);
    std::fflush(stdout);
  }
}

// ---------------------------------------------------------------------------------------------
// Tree operations among N other rows: with rows hidden under a collapsed parent (or hidden
// themselves), and the same with every row shown.

void RunTrees(const std::vector<int>& Sizes) {
  constexpr int Children = 10000, Added = 8000, Moved = 1000, Reps = 20;
  TGridSide G(20, 20);
  TNxGrid* Grid = G.Grid;
  auto Fresh = [&] {
    Grid->ClearRows();
    Grid->VertScrollBar()->First();
  };
  struct TCase {
    const char* Name;
    std::function<void(int, bool)> Prepare;  // N other rows; Hidden
    std::function<void()> Work;
    int Reps;
  };
  const std::vector<TCase> Cases = {
      // A parent at the top with its children, the other rows below it.
      {"delete a parent of 10,000 children",
       [&](int N, bool Hidden) {
         Fresh();
         Grid->BeginUpdate();
         Grid->AddRow(1);
         for (int I = 0; I < Children; ++I) Grid->AddChildRow(0);
         Grid->AddRow(N);
         Grid->EndUpdate();
         Grid->SetExpanded(0, !Hidden);
       },
       [&] { Grid->DeleteRow(0); }, 1},
      {"8,000 children after the descendants",
       [&](int N, bool Hidden) {
         Fresh();
         Grid->AddRow(1 + N);
         Grid->SetExpanded(0, !Hidden);
       },
       [&] {
         for (int I = 0; I < Added; ++I) Grid->AddChildRow(0, true);
       },
       1},
      // Every other one of the first 2,000 rows hidden.
      {"1,000 rows put in and moved",
       [&](int N, bool Hidden) {
         Fresh();
         Grid->AddRow(2000 + N);
         Grid->BeginUpdate();
         for (int R = 0; Hidden && R < 2000; R += 2) Grid->SetRowVisible(R, false);
         Grid->EndUpdate();
       },
       [&] {
         for (int I = 0; I < Moved; ++I) {
           Grid->InsertRow(1000);
           Grid->MoveRow(1500, 500);
         }
       },
       1},
      // A parent, then pairs of a child of it and that child's own child, scrolled to the end;
      // against a plain list of as many rows.
      {"repaint, children of a far parent",
       [&](int N, bool Tree) {
         Fresh();
         Grid->BeginUpdate();
         Grid->AddRow(1);
         for (int I = 0; I < N / 2; ++I) {
           if (Tree) {
             Grid->AddChildRow(0);
             Grid->AddChildRow(1);
           } else {
             Grid->AddRow(2);
           }
         }
         Grid->EndUpdate();
         Grid->VertScrollBar()->Last();
         Pump();
         Repaint(G.Window());
       },
       [&] { Repaint(G.Window()); }, Reps},
  };
  for (const TCase& C : Cases)
    for (int N : Sizes) {
      TPair P = Alternate(
          3, [&] { C.Prepare(N, true); }, [&] { for (int I = 0; I < C.Reps; ++I) C.Work(); },
          [&] { C.Prepare(N, false); }, [&] { for (int I = 0; I < C.Reps; ++I) C.Work(); });
      P.Grid /= C.Reps;
      P.List /= C.Reps;
      char A[32], B[32];
      FormatSeconds(P.Grid, A);
      FormatSeconds(P.List, B);
      std::printf("%-40s %8d   hidden %s   all shown %s   ratio %.2f\n", C.Name, N, A, B, P.Grid / P.List);
      std::fflush(stdout);
    }
  Fresh();
}

// N parents with a child each, kept together or sorted apart (tests/grid/support/ParentRows.h):
// collapsing every parent, and deleting every parent, the time and the rows read per parent,
// each arrangement best of three.

void RunParents(const std::vector<int>& Counts) {
  TGridSide G(20, 20);
  TNxGrid* Grid = G.Grid;
  auto Build = [&](int N, bool Apart) {
    Grid->ClearRows();
    Grid->VertScrollBar()->First();
    parentrows::AddParentsWithAChild(Grid, N);
    if (Apart) G.Sort(stAlphabetic);
    Pump();
    Repaint(G.Window());
  };
  struct TCase {
    const char* Name;
    std::function<void(int, bool)> Work;  // N parents; Apart
  };
  const std::vector<TCase> Cases = {
      {"collapse every parent", [&](int N, bool Apart) { parentrows::CollapseEveryParent(Grid, N, Apart); }},
      {"delete every parent", [&](int N, bool Apart) { parentrows::DeleteEveryParent(Grid, N, Apart); }},
  };
  for (const TCase& C : Cases)
    for (int N : Counts) {
      double Best[2] = {1e30, 1e30}, Reads[2] = {}, Moved[2] = {};
      for (int R = 0; R < 3; ++R)
        for (const bool Apart : {false, true}) {
          Build(N, Apart);
          const std::uint64_t ReadsBefore = Grid->CellStore()->RowReads();
          const std::uint64_t MovedBefore = Grid->CellStore()->ItemsMoved();
          Best[Apart] = std::min(Best[Apart], Time([&] { C.Work(N, Apart); }));
          Reads[Apart] = static_cast<double>(Grid->CellStore()->RowReads() - ReadsBefore) / N;
          Moved[Apart] = static_cast<double>(Grid->CellStore()->ItemsMoved() - MovedBefore) / N;
          Pump();
        }
      char A[32], B[32];
      FormatSeconds(Best[0], A);
      FormatSeconds(Best[1], B);
      std::printf("%-22s %6d   kept together %s (%.0f rows read, %.0f items moved a parent)   sorted apart %s "
                  "(%.0f, %.0f)   ratio %.2f\n",
                  C.Name, N, A, Reads[0], Moved[0], B, Reads[1], Moved[1], Best[1] / Best[0]);
      std::fflush(stdout);
    }
  Grid->ClearRows();
}

// ---------------------------------------------------------------------------------------------
// Memory, one control and one size per process

std::size_t CommittedPrivate() {
  std::size_t Total = 0;
  MEMORY_BASIC_INFORMATION Info;
  const char* P = nullptr;
  while (VirtualQuery(P, &Info, sizeof(Info)) == sizeof(Info)) {
    if (Info.State == MEM_COMMIT && Info.Type == MEM_PRIVATE) Total += Info.RegionSize;
    const char* Next = static_cast<const char*>(Info.BaseAddress) + Info.RegionSize;
    if (Next <= P) break;
    P = Next;
  }
  return Total;
}

std::size_t HeapBusy() {
  HANDLE Heaps[64];
  const DWORD Count = std::min<DWORD>(GetProcessHeaps(64, Heaps), 64);
  std::size_t Total = 0;
  for (DWORD I = 0; I < Count; ++I) {
    PROCESS_HEAP_ENTRY E{};
    if (!HeapLock(Heaps[I])) continue;
    while (HeapWalk(Heaps[I], &E))
      if (E.wFlags & PROCESS_HEAP_ENTRY_BUSY) Total += E.cbData + E.cbOverhead;
    HeapUnlock(Heaps[I]);
  }
  return Total;
}

int MeasureMemory(const char* Which, int N) {
  const std::vector<std::wstring> Lines = MakeLines(N);
  const bool IsGrid = std::strcmp(Which, "grid") == 0;
  std::unique_ptr<TGridSide> G;
  std::unique_ptr<TListSide> L;
  if (IsGrid)
    G = std::make_unique<TGridSide>(0, 0);
  else
    L = std::make_unique<TListSide>(0, 0, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  Pump();
  const std::size_t Before = CommittedPrivate(), HB = HeapBusy();
  if (IsGrid)
    G->Add(Lines);
  else
    L->Add(Lines);
  Pump();
  const std::size_t After = CommittedPrivate(), HA = HeapBusy();
  std::printf("%.1f %.1f\n", static_cast<double>(HA - HB) / N, static_cast<double>(After - Before) / N);
  return 0;
}

// Bytes per row the heaps hold (blocks in use) and the process committed, for one control and
// size measured in a process of its own.
struct TMemory {
  double Heap = -1, Committed = -1;
};

TMemory ChildMemory(const char* Which, int N) {
  wchar_t Exe[MAX_PATH];
  GetModuleFileNameW(nullptr, Exe, MAX_PATH);
  std::wstring Cmd = L"\"" + std::wstring(Exe) + L"\" --memory " + (std::strcmp(Which, "grid") == 0 ? L"grid" : L"listview") +
                     L" " + std::to_wstring(N);
  SECURITY_ATTRIBUTES Sa{sizeof(Sa), nullptr, TRUE};
  HANDLE Read = nullptr, Write = nullptr;
  if (!CreatePipe(&Read, &Write, &Sa, 0)) return {};
  SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  Si.dwFlags = STARTF_USESTDHANDLES;
  Si.hStdOutput = Write;
  Si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  Si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION Pi{};
  std::vector<wchar_t> Line(Cmd.begin(), Cmd.end());
  Line.push_back(0);
  if (!CreateProcessW(nullptr, Line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Si, &Pi)) {
    CloseHandle(Read);
    CloseHandle(Write);
    return {};
  }
  CloseHandle(Write);
  std::string Out;
  char Buf[256];
  DWORD Got = 0;
  while (ReadFile(Read, Buf, sizeof(Buf), &Got, nullptr) && Got > 0) Out.append(Buf, Got);
  WaitForSingleObject(Pi.hProcess, INFINITE);
  CloseHandle(Pi.hProcess);
  CloseHandle(Pi.hThread);
  CloseHandle(Read);
  TMemory M;
  std::sscanf(Out.c_str(), "%lf %lf", &M.Heap, &M.Committed);
  return M;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "--memory") == 0) return MeasureMemory(argv[2], std::atoi(argv[3]));
  const bool TreesOnly = argc >= 2 && std::strcmp(argv[1], "--trees") == 0;
  std::vector<int> Sizes;
  for (int I = TreesOnly ? 2 : 1; I < argc; ++I) Sizes.push_back(std::atoi(argv[I]));
  if (Sizes.empty()) Sizes = {10000, 100000, 1000000};
  if (TreesOnly) {
    std::printf("Tree operations among N other rows, with hidden rows and with every row shown\n");
    RunTrees(Sizes);
    std::printf("\nEvery one of N parents, trees kept together and sorted apart\n");
    RunParents({2000, 8000, 32000});
    return 0;
  }

  std::printf("Grid against the list view, %d x %d, one text column; best of several runs\n", ClientW, ClientH);
  {
    TGridSide G(20, 20);
    TListSide L(40 + ClientW, 20, G.Column->Font()->Handle());
    Pump();
    for (int N : Sizes) RunSize(N, G, L);
  }
  std::printf("\nOne operation on grids of each size, measured in turn\n");
  RunFlat(Sizes);
  std::printf("\n");
  for (int N : Sizes) {
    const TMemory Gm = ChildMemory("grid", N);
    const TMemory Lm = ChildMemory("listview", N);
    std::printf("%-34s %8d   grid %8.1f B    list view %8.1f B    ratio %.2f\n", "memory per row, heap in use", N,
                Gm.Heap, Lm.Heap, Gm.Heap / Lm.Heap);
    std::printf("%-34s %8d   grid %8.1f B    list view %8.1f B    ratio %.2f\n", "memory per row, committed", N,
                Gm.Committed, Lm.Committed, Gm.Committed / Lm.Committed);
    std::fflush(stdout);
  }
  std::printf("\nTree operations among N other rows, with hidden rows and with every row shown\n");
  RunTrees(Sizes);
  std::printf("\nEvery one of N parents, trees kept together and sorted apart\n");
  RunParents({2000, 8000, 32000});
  return 0;
}
