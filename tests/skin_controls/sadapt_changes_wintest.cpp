// What a program's changes of a scrolling control leave on the screen: list boxes, memos, list
// views and tree views with skinned scroll bars show after each change the frame and bars that a
// repaint of the whole window shows, never the system's own bar.
#include <functional>
#include <string>

#include "sadapt_support.h"
#include "skin/controls/acScrollBars.h"
#include "skin_controls/adapt_support.h"

using namespace sadapt;

namespace {

enum TKind { kList, kMultiList, kFixedBarList, kWideList, kMemo, kView, kTree, kWideTree };

// With the optional system functions looked up, as the program does at start-up.
class SadaptChanges : public SkinnedFixture {
 protected:
  void SetUp() override {
    InitAdapterUnit();
    SkinnedFixture::SetUp();
  }
  void TearDown() override {
    SkinnedFixture::TearDown();
    DoneAdapterUnit();
  }
  HWND Make(TKind Kind, TacScrollWnd*& A);
};

std::wstring Lines(int N, const wchar_t* Word = L"line") {
  std::wstring T;
  for (int I = 0; I < N; ++I) T += std::wstring(Word) + L" " + std::to_wstring(I) + L"\r\n";
  return T;
}

void AddItems(HWND List, int From, int To) {
  for (int I = From; I < To; ++I) {
    const std::wstring S = L"item " + std::to_wstring(I);
    SendMessageW(List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(S.c_str()));
  }
}

void AddRows(HWND View, int From, int To) {
  for (int I = From; I < To; ++I) {
    std::wstring T = L"row " + std::to_wstring(I);
    LVITEMW It{};
    It.mask = LVIF_TEXT;
    It.iItem = I;
    It.pszText = T.data();
    SendMessageW(View, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&It));
  }
}

void AddNode(HWND Tree, const std::wstring& Text) {
  TVINSERTSTRUCTW Ins{};
  Ins.hParent = TVI_ROOT;
  Ins.hInsertAfter = TVI_LAST;
  Ins.item.mask = TVIF_TEXT;
  Ins.item.pszText = const_cast<wchar_t*>(Text.c_str());
  SendMessageW(Tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Ins));
}

LPARAM FirstNode(HWND Tree) { return SendMessageW(Tree, TVM_GETNEXTITEM, TVGN_ROOT, 0); }

// The form's procedure while a row's parent reacts to its list box taking the focus by deleting 30
// of the list's items (a change that comes in while the list handles another message).
WNDPROC FormProc = nullptr;
LRESULT CALLBACK DeletingParentProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_COMMAND && HIWORD(WParam) == LBN_SETFOCUS)
    for (int I = 0; I < 30; ++I) SendMessageW(reinterpret_cast<HWND>(LParam), LB_DELETESTRING, 0, 0);
  return CallWindowProcW(FormProc, W, Msg, WParam, LParam);
}

// Pixels of the window's frame and bars (outside its client area) that differ between A and B.
int FrameDifferences(HWND W, const uitest::TCapture& A, const uitest::TCapture& B) {
  RECT WR{}, CR{};
  GetWindowRect(W, &WR);
  GetClientRect(W, &CR);
  MapWindowPoints(W, nullptr, reinterpret_cast<POINT*>(&CR), 2);
  OffsetRect(&CR, -WR.left, -WR.top);
  int N = 0;
  for (int Y = 0; Y < A.Height(); ++Y)
    for (int X = 0; X < A.Width(); ++X)
      N += (X < CR.left || X >= CR.right || Y < CR.top || Y >= CR.bottom) && A.Pixel(X, Y) != B.Pixel(X, Y);
  return N;
}

// A press on the middle of a window's vertical thumb. Bar is the bar in window coordinates, X and
// Y the pressed point on the screen, ThumbTop the thumb's first row in window coordinates.
struct TThumbPress {
  TRect Bar;
  int X = 0, Y = 0, ThumbTop = 0;
};

TThumbPress PressThumb(TacScrollWnd* A, HWND W) {
  TRect S;
  GetVertBarRect(A, W, S);
  RECT WR{};
  GetWindowRect(W, &WR);
  TThumbPress P;
  P.Bar = S;
  P.Bar.Offset(-WR.left, -WR.top);
  int Size = 0, Pos = 0;
  CalcThumb(A->VertBar, S, Size, Pos);
  P.X = (S.Left + S.Right) / 2;
  P.Y = Pos + Size / 2;
  P.ThumbTop = Pos - WR.top;
  SendMessageW(W, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(P.X, P.Y));
  return P;
}

}  // namespace

// A control of a kind on the form, filled so that its bars show, with the skin's adapter of its
// kind; A: the adapter.
HWND SadaptChanges::Make(TKind Kind, TacScrollWnd*& A) {
  HWND W = nullptr;
  switch (Kind) {
    case kList:
    case kMultiList:
    case kFixedBarList:
    case kWideList: {
      const DWORD Extra = Kind == kMultiList      ? LBS_EXTENDEDSEL
                          : Kind == kFixedBarList ? LBS_DISABLENOSCROLL
                          : Kind == kWideList     ? WS_HSCROLL
                                                  : 0;
      W = Child(L"LISTBOX", WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | Extra, WS_EX_CLIENTEDGE, 20, 20, 200, 120);
      AddItems(W, 0, 40);
      if (Kind == kWideList) SendMessageW(W, LB_SETHORIZONTALEXTENT, 400, 0);
      A = TacMainWnd::Create<TacEditWnd>(W, nullptr, Manager.get(), "EDIT");
      break;
    }
    case kMemo:
      W = Child(L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE, 20, 20, 200, 120);
      SetWindowTextW(W, Lines(40).c_str());
      A = TacMainWnd::Create<TacEditWnd>(W, nullptr, Manager.get(), "EDIT");
      break;
    case kView: {
      W = Child(WC_LISTVIEWW, LVS_REPORT | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, 20, 20, 220, 140);
      LVCOLUMNW Col{};
      Col.mask = LVCF_TEXT | LVCF_WIDTH;
      Col.cx = 150;
      Col.pszText = const_cast<wchar_t*>(L"Name");
      SendMessageW(W, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&Col));
      AddRows(W, 0, 40);
      A = TacMainWnd::Create<TacListViewWnd>(W, nullptr, Manager.get(), "EDIT");
      break;
    }
    case kTree:
    case kWideTree:
      W = Child(WC_TREEVIEWW, TVS_HASLINES | WS_VSCROLL, WS_EX_CLIENTEDGE, 20, 20, 200, 140);
      for (int I = 0; I < 20; ++I)
        AddNode(W, (Kind == kWideTree ? std::wstring(40, L'w') + L" " : L"node ") + std::to_wstring(I));
      A = TacMainWnd::Create<TacTreeViewWnd>(W, nullptr, Manager.get(), "EDIT");
      break;
  }
  return W;
}

// After a change a program makes to a control's content or scroll bars, the frame and the bars show
// what a repaint of the whole window shows, and that is the skinned bar. (The client is the
// control's own painting: the system's edit leaves a line of a scrolled memo as a repaint would
// not draw it, with or without the skin.)
TEST_F(SadaptChanges, ProgramChangesLeaveTheBarsAsARepaintOfTheWindowShowsThem) {
  struct TRow {
    const char* Name;
    TKind Kind;
    std::function<void(HWND)> Act;
  };
  const TRow Rows[] = {
      {"list box: 20 of 40 items deleted", kList,
       [](HWND W) {
         for (int I = 0; I < 20; ++I) SendMessageW(W, LB_DELETESTRING, 0, 0);
       }},
      {"list box: items added", kList, [](HWND W) { AddItems(W, 40, 60); }},
      {"list box: item inserted", kList,
       [](HWND W) { SendMessageW(W, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"first")); }},
      {"list box: emptied", kList, [](HWND W) { SendMessageW(W, LB_RESETCONTENT, 0, 0); }},
      {"list box: top index", kList, [](HWND W) { SendMessageW(W, LB_SETTOPINDEX, 25, 0); }},
      {"list box: selection", kList, [](HWND W) { SendMessageW(W, LB_SETCURSEL, 35, 0); }},
      {"list box: caret", kList, [](HWND W) { SendMessageW(W, LB_SETCARETINDEX, 39, FALSE); }},
      {"list box: item of a multiple selection", kMultiList, [](HWND W) { SendMessageW(W, LB_SETSEL, TRUE, 39); }},
      {"list box: items deleted while it takes the focus", kList,
       [](HWND W) {
         FormProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(GetParent(W), GWLP_WNDPROC,
                                                                reinterpret_cast<LONG_PTR>(DeletingParentProc)));
         SetFocus(W);
         SetWindowLongPtrW(GetParent(W), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FormProc));
       }},
      {"list box with both bars: wider lines", kWideList,
       [](HWND W) { SendMessageW(W, LB_SETHORIZONTALEXTENT, 500, 0); }},
      {"list box with both bars: items deleted", kWideList,
       [](HWND W) {
         for (int I = 0; I < 20; ++I) SendMessageW(W, LB_DELETESTRING, 0, 0);
       }},
      {"list box with both bars: emptied", kWideList, [](HWND W) { SendMessageW(W, LB_RESETCONTENT, 0, 0); }},
      {"list box that keeps its bar: emptied", kFixedBarList, [](HWND W) { SendMessageW(W, LB_RESETCONTENT, 0, 0); }},
      {"list box that keeps its bar: items deleted", kFixedBarList,
       [](HWND W) {
         for (int I = 0; I < 35; ++I) SendMessageW(W, LB_DELETESTRING, 0, 0);
       }},
      // The system tells the window nothing of these calls (no message, not even a frame paint,
      // unless a bar is shown or hidden): the window's next message shows them.
      {"list box: bar disabled by the program", kList,
       [](HWND W) {
         EnableScrollBar(W, SB_VERT, ESB_DISABLE_BOTH);
         SendMessageW(W, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
       }},
      {"list box: its lower arrow alone disabled by the program", kList,
       [](HWND W) {
         EnableScrollBar(W, SB_VERT, ESB_DISABLE_DOWN);
         SendMessageW(W, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
       }},
      {"list box: scroll data set by the program", kList,
       [](HWND W) {
         SCROLLINFO SI{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 20, 0};
         SetScrollInfo(W, SB_VERT, &SI, TRUE);
         SendMessageW(W, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
       }},
      {"list box: bar hidden by the program", kList, [](HWND W) { ShowScrollBar(W, SB_VERT, FALSE); }},
      {"memo: longer text", kMemo, [](HWND W) { SetWindowTextW(W, Lines(80, L"longer").c_str()); }},
      {"memo: text after a scroll", kMemo,
       [](HWND W) {
         SendMessageW(W, EM_LINESCROLL, 0, 20);
         SetWindowTextW(W, Lines(30, L"new").c_str());
       }},
      {"memo: text of as many lines", kMemo, [](HWND W) { SetWindowTextW(W, Lines(40, L"other").c_str()); }},
      {"memo: character typed", kMemo, [](HWND W) { SendMessageW(W, WM_CHAR, 'x', 0); }},
      {"memo: selection to the end", kMemo, [](HWND W) { SendMessageW(W, EM_SETSEL, 0, -1); }},
      {"memo: its font set again", kMemo,
       [](HWND W) { SendMessageW(W, WM_SETFONT, SendMessageW(W, WM_GETFONT, 0, 0), TRUE); }},
      {"memo: its font set again without a redraw", kMemo,
       [](HWND W) { SendMessageW(W, WM_SETFONT, SendMessageW(W, WM_GETFONT, 0, 0), FALSE); }},
      {"memo: margins", kMemo,
       [](HWND W) { SendMessageW(W, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(4, 4)); }},
      {"memo: lines scrolled", kMemo, [](HWND W) { SendMessageW(W, EM_LINESCROLL, 0, 12); }},
      {"memo: text replaced", kMemo,
       [](HWND W) {
         SendMessageW(W, EM_SETSEL, 0, 0);
         SendMessageW(W, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Lines(30, L"more").c_str()));
       }},
      {"list view: item made visible", kView, [](HWND W) { SendMessageW(W, LVM_ENSUREVISIBLE, 35, FALSE); }},
      {"list view: items added", kView, [](HWND W) { AddRows(W, 40, 80); }},
      {"list view: items deleted", kView,
       [](HWND W) {
         for (int I = 0; I < 30; ++I) SendMessageW(W, LVM_DELETEITEM, 0, 0);
       }},
      {"tree view: nodes added", kTree,
       [](HWND W) {
         for (int I = 0; I < 30; ++I) AddNode(W, L"added " + std::to_wstring(I));
       }},
      {"tree view with both bars: nodes added", kWideTree,
       [](HWND W) {
         for (int I = 0; I < 30; ++I) AddNode(W, L"added " + std::to_wstring(I));
       }},
      {"tree view: node selected", kTree, [](HWND W) { SendMessageW(W, TVM_SELECTITEM, TVGN_CARET, FirstNode(W)); }},
      {"tree view: nodes deleted", kTree,
       [](HWND W) {
         for (int I = 0; I < 15; ++I) SendMessageW(W, TVM_DELETEITEM, 0, FirstNode(W));
       }},
  };
  for (const TRow& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    TacScrollWnd* A = nullptr;
    HWND W = Make(Row.Kind, A);
    auto RepaintAll = [W] {
      RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      uitest::Settle(W);
    };
    RepaintAll();
    Row.Act(W);
    uitest::Settle(W);
    const uitest::TCapture Shown = WindowCapture(W);
    RepaintAll();
    const uitest::TCapture Repainted = WindowCapture(W);
    const int Differing = FrameDifferences(W, Shown, Repainted);
    EXPECT_EQ(Differing, 0);
    if (A->VertBar->Visible) {
      TRect Bar;
      GetVertBarRect(A, W, Bar);
      RECT WR{};
      GetWindowRect(W, &WR);
      Bar.Offset(-WR.left, -WR.top);
      for (int Sys : {COLOR_SCROLLBAR, COLOR_BTNFACE}) EXPECT_EQ(adapt::CountNear(Repainted, Bar, GetSysColor(Sys), 0), 0);
    }
    if (Differing != 0) Shown.MaybeSave((std::string("sadapt_changes ") + Row.Name).c_str());
    delete A;
    DestroyWindow(W);
  }
}

// Every message of the window is followed by the comparison, so a message that changes nothing
// paints no bar; one that changes the data paints the changed bar once.
TEST_F(SadaptChanges, MessagesThatChangeNothingPaintNoBar) {
  HWND List = Child(L"LISTBOX", WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 20, 20, 200, 120);
  AddItems(List, 0, 40);
  auto* A = TacMainWnd::Create<TacEditWnd>(List, nullptr, Manager.get(), "EDIT");
  uitest::Settle(List);
  ASSERT_TRUE(A->VertBar->Visible);
  A->HorzBar->Paints = A->VertBar->Paints = 0;
  wchar_t Text[32];
  for (int I = 0; I < 20; ++I) {
    SendMessageW(List, WM_NCHITTEST, 0, MAKELPARAM(60, 60));
    SendMessageW(List, WM_SETCURSOR, reinterpret_cast<WPARAM>(List), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    SendMessageW(List, WM_MOUSEMOVE, 0, MAKELPARAM(30 + I, 30));
    SendMessageW(List, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(Text));
    SendMessageW(List, WM_TIMER, 7, 0);
  }
  EXPECT_EQ(A->VertBar->Paints, 0u);
  SendMessageW(List, LB_DELETESTRING, 0, 0);
  EXPECT_EQ(A->VertBar->Paints, 1u);
  EXPECT_EQ(A->HorzBar->Paints, 0u);
  delete A;
}

// Once a program's change had the system draw its bars, the system draws a bar again when the
// pointer moves over it or leaves the window's frame: the skinned bars stay in front, and so does
// the corner between them, into which the system's bar reaches.
TEST_F(SadaptChanges, ThePointerOverTheBarAfterAChangeShowsTheSkinnedBar) {
  HWND W = Child(L"LISTBOX", WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 20, 20,
                 200, 160);
  AddItems(W, 0, 60);
  SendMessageW(W, LB_SETHORIZONTALEXTENT, 400, 0);
  auto* A = TacMainWnd::Create<TacEditWnd>(W, nullptr, Manager.get(), "EDIT");
  uitest::Settle(W);
  TRect S, H;
  GetVertBarRect(A, W, S);
  GetHorzBarRect(A, W, H);
  RECT WR{};
  GetWindowRect(W, &WR);
  TRect Bar = S;
  Bar.Offset(-WR.left, -WR.top);
  const struct {
    const char* What;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
  } Rows[] = {
      {"pointer over the bar", WM_NCMOUSEMOVE, HTVSCROLL, MAKELPARAM((S.Left + S.Right) / 2, S.Top + 60)},
      {"pointer over the horizontal bar", WM_NCMOUSEMOVE, HTHSCROLL, MAKELPARAM(H.Left + 60, (H.Top + H.Bottom) / 2)},
      {"pointer out of the frame", WM_NCMOUSELEAVE, 0, 0},
  };
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.What);
    SendMessageW(W, LB_DELETESTRING, 0, 0);
    SendMessageW(W, Row.Msg, Row.WParam, Row.LParam);
    const uitest::TCapture Shown = WindowCapture(W);
    for (int Sys : {COLOR_SCROLLBAR, COLOR_BTNFACE}) EXPECT_EQ(adapt::CountNear(Shown, Bar, GetSysColor(Sys), 0), 0);
    RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    uitest::Settle(W);
    EXPECT_EQ(FrameDifferences(W, Shown, WindowCapture(W)), 0);
  }
  delete A;
}

// A list box sets its scroll data with a redraw at each step of a thumb drag: the dragged skinned
// thumb stays in front of the system's bar.
TEST_F(SadaptChanges, ADraggedThumbStaysInFrontOfTheSystemsBar) {
  HWND W = Child(L"LISTBOX", WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 20, 20, 200, 160);
  AddItems(W, 0, 60);
  auto* A = TacMainWnd::Create<TacEditWnd>(W, nullptr, Manager.get(), "EDIT");
  uitest::Settle(W);
  const TThumbPress P = PressThumb(A, W);
  ASSERT_TRUE(A->ThumbTracking);
  for (int Step = 1; Step <= 3; ++Step) {
    SCOPED_TRACE(Step);
    ThumbTrackVert(A->VertBar, W, P.X, P.Y + 12 * Step);
    ASSERT_GT(SendMessageW(W, LB_GETTOPINDEX, 0, 0), 0);
    const uitest::TCapture Shown = WindowCapture(W);
    for (int Sys : {COLOR_SCROLLBAR, COLOR_BTNFACE}) EXPECT_EQ(adapt::CountNear(Shown, P.Bar, GetSysColor(Sys), 0), 0);
  }
  SendMessageW(W, WM_LBUTTONUP, 0, 0);
  EXPECT_FALSE(A->ThumbTracking);
  delete A;
}

// The user holds the thumb still while the program adds lines: the bar stays the skinned one, its
// thumb pressed where the user holds it, as a repaint of the window shows it.
TEST_F(SadaptChanges, LinesAddedWhileTheThumbIsHeldLeaveTheSkinnedBar) {
  const struct {
    const char* Name;
    TKind Kind;
    std::function<void(HWND)> Add;
  } Rows[] = {
      {"list box", kList, [](HWND W) { AddItems(W, 40, 100); }},
      {"memo", kMemo,
       [](HWND W) {
         SendMessageW(W, EM_SETSEL, -1, -1);
         SendMessageW(W, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Lines(60, L"more").c_str()));
       }},
      {"list view", kView, [](HWND W) { AddRows(W, 40, 100); }},
      {"tree view", kTree,
       [](HWND W) {
         for (int I = 0; I < 60; ++I) AddNode(W, L"added " + std::to_wstring(I));
       }},
      // The system tells the window nothing of the call: its next message (a timer's) shows it.
      {"range set by the program", kList,
       [](HWND W) {
         SCROLLINFO SI{sizeof(SCROLLINFO), SIF_RANGE, 0, 99, 0, 0, 0};
         SetScrollInfo(W, SB_VERT, &SI, TRUE);
         SendMessageW(W, WM_TIMER, 7, 0);
       }},
  };
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    TacScrollWnd* A = nullptr;
    HWND W = Make(Row.Kind, A);
    uitest::Settle(W);
    const TThumbPress P = PressThumb(A, W);
    const TRect& Bar = P.Bar;
    ASSERT_TRUE(A->ThumbTracking);
    ThumbTrackVert(A->VertBar, W, P.X, P.Y + 24);
    const uitest::TCapture Held = WindowCapture(W);
    Row.Add(W);
    uitest::Settle(W);
    const uitest::TCapture Shown = WindowCapture(W);
    for (int Sys : {COLOR_SCROLLBAR, COLOR_BTNFACE}) EXPECT_EQ(adapt::CountNear(Shown, Bar, GetSysColor(Sys), 0), 0);
    RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    uitest::Settle(W);
    EXPECT_EQ(FrameDifferences(W, Shown, WindowCapture(W)), 0);
    // The thumb still starts where the pointer holds it: the first row below the upper arrow whose
    // middle is not the track's.
    auto ThumbTop = [&](const uitest::TCapture& C) {
      const int Mid = (Bar.Left + Bar.Right) / 2, B = GetBarSize(A->VertBar, false, true);
      const COLORREF Track = C.Pixel(Mid, Bar.Bottom - B - 3);
      for (int Y = Bar.Top + B; Y < Bar.Bottom - B; ++Y)
        if (C.Pixel(Mid, Y) != Track) return Y;
      return -1;
    };
    EXPECT_GT(ThumbTop(Held), P.ThumbTop);
    EXPECT_EQ(ThumbTop(Shown), ThumbTop(Held));
    SendMessageW(W, WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(A->ThumbTracking);
    delete A;
    DestroyWindow(W);
  }
}
