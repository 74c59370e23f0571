// Windowed controls on real windows: handle lifetime, recreation, the message order seen through
// WindowProc, interceptors of the WindowProc chain, exceptions in handlers, mouse and keyboard.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

// A windowed control that records its own share of the messages it handles.
class TWinLogBox : public TCustomControl {
  T_CLASS(TWinLogBox, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  std::string Log;
  std::vector<std::string> MouseLog;
  bool WantTab = false;

 protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_APP) Log += "C";
    if (M.Msg == WM_GETDLGCODE && WantTab) {
      M.Result = DLGC_WANTTAB;
      return;
    }
    TCustomControl::WndProc(M);
  }
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    MouseLog.push_back("override");
  }
};

class TWinLogDot : public TGraphicControl {
  T_CLASS(TWinLogDot, TGraphicControl)
 public:
  using TGraphicControl::TGraphicControl;
};

namespace {

std::unique_ptr<TForm> ShownForm(int L = 100, int T = 100) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(L, T, 300, 250);
  F->Show();
  uitest::Pump();
  return F;
}

TWinLogBox* AddBox(TWinControl* Parent, int L, int T, int W, int H) {
  auto* B = new TWinLogBox(Parent);
  B->SetBounds(L, T, W, H);
  B->SetParent(Parent);
  return B;
}

}  // namespace

TEST(HandleLifetime, CreateDestroyLoopsLeaveNoWindowsOrGdiObjects) {
  auto Cycle = [] {
    auto* F = new TForm(nullptr);
    F->SetBounds(10, 10, 200, 150);
    TWinLogBox* Outer = AddBox(F, 5, 5, 150, 100);
    TWinLogBox* Inner = AddBox(Outer, 5, 5, 50, 50);
    auto* Dot = new TWinLogDot(F);
    Dot->SetBounds(1, 1, 5, 5);
    Dot->SetParent(Outer);
    F->Show();
    uitest::Pump();
    // Canvases used outside painting hold device contexts.
    Inner->Canvas()->FillRect(Rect(0, 0, 5, 5));
    Dot->Canvas()->FillRect(Rect(0, 0, 2, 2));
    Outer->Font()->SetHeight(-15);
    Outer->RecreateWnd();
    uitest::Pump();
    delete F;
    uitest::Pump();
  };
  Cycle();  // classes registered, shared objects made
  const int Windows = uitest::CountThreadWindows();
  const DWORD Gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD User = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  for (int I = 0; I < 20; ++I) Cycle();
  EXPECT_EQ(uitest::CountThreadWindows(), Windows);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), Gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), User);
}

TEST(HandleLifetime, WindowsAreMadeOnDemandAndFoundFromTheirHandle) {
  TForm F(nullptr);
  TWinLogBox* B = AddBox(&F, 0, 0, 10, 10);
  EXPECT_FALSE(F.HandleAllocated());
  EXPECT_FALSE(B->HandleAllocated());
  HWND H = B->Handle();  // the parents' windows come first
  EXPECT_TRUE(F.HandleAllocated());
  EXPECT_EQ(GetParent(H), F.Handle());
  EXPECT_EQ(FindControl(H), B);
  EXPECT_EQ(FindControl(F.Handle()), &F);
  EXPECT_EQ(FindControl(GetDesktopWindow()), nullptr);
  // The window class is named after the C++ class.
  wchar_t Name[64];
  GetClassNameW(H, Name, 64);
  EXPECT_STREQ(Name, L"TWinLogBox");
  GetClassNameW(F.Handle(), Name, 64);
  EXPECT_STREQ(Name, L"TForm");
  // A window destroyed from outside leaves the control without a window.
  DestroyWindow(H);
  EXPECT_FALSE(B->HandleAllocated());
  EXPECT_EQ(FindControl(H), nullptr);
  EXPECT_NE(B->Handle(), nullptr);
}

TEST(HandleLifetime, OnlyWindowsTheFrameworkBoundLeadToAControl) {
  // A window of another party that carries the framework's property with any value.
  HWND Foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetPropW(Foreign, L"TvFrameworkControl", reinterpret_cast<HANDLE>(0x12345678));
  EXPECT_EQ(FindControl(Foreign), nullptr);
  DestroyWindow(Foreign);
  // Freed controls leave nothing behind under their old windows, in either order of freeing.
  auto* F = new TForm(nullptr);
  TWinLogBox* Outer = AddBox(F, 0, 0, 50, 50);
  TWinLogBox* Inner = AddBox(Outer, 0, 0, 20, 20);
  const HWND FH = F->Handle(), OH = Outer->Handle(), IH = Inner->Handle();
  delete Inner;
  EXPECT_EQ(FindControl(IH), nullptr);
  EXPECT_EQ(FindControl(OH), Outer);
  delete F;
  EXPECT_EQ(FindControl(OH), nullptr);
  EXPECT_EQ(FindControl(FH), nullptr);
  // A recreated window leads to its control, the old one no longer.
  TForm G(nullptr);
  TWinLogBox* B = AddBox(&G, 0, 0, 20, 20);
  const HWND Old = B->Handle();
  B->RecreateWnd();
  EXPECT_EQ(FindControl(B->Handle()), B);
  if (B->Handle() != Old) EXPECT_EQ(FindControl(Old), nullptr);
}

TEST(HandleLifetime, ChildWithoutParentWindowIsAnError) {
  TWinLogBox B(nullptr);
  EXPECT_THROW(B.Handle(), EInvalidOperation);
  EXPECT_THROW(B.SetParent(&B), EInvalidOperation);
}

TEST(HandleLifetime, RecreateWndKeepsTextBoundsVisibilityAndChildren) {
  auto F = ShownForm();
  TWinLogBox* Panel = AddBox(F.get(), 10, 20, 150, 100);
  TWinLogBox* Inner = AddBox(Panel, 5, 6, 40, 30);
  TWinLogBox* Hidden = AddBox(Panel, 50, 6, 40, 30);
  Hidden->Hide();
  Panel->SetText(L"Hello, \u043c\u0438\u0440");
  uitest::Pump();
  HWND OldPanel = Panel->Handle();
  HWND OldInner = Inner->Handle();
  Panel->RecreateWnd();
  uitest::Pump();
  EXPECT_FALSE(IsWindow(OldPanel));
  EXPECT_FALSE(IsWindow(OldInner));
  ASSERT_TRUE(Panel->HandleAllocated());
  ASSERT_TRUE(Inner->HandleAllocated());
  EXPECT_EQ(GetParent(Inner->Handle()), Panel->Handle());
  EXPECT_EQ(Panel->Text(), L"Hello, \u043c\u0438\u0440");
  EXPECT_EQ(Panel->BoundsRect(), Bounds(10, 20, 150, 100));
  EXPECT_EQ(Inner->BoundsRect(), Bounds(5, 6, 40, 30));
  EXPECT_TRUE(IsWindowVisible(Panel->Handle()));
  EXPECT_TRUE(IsWindowVisible(Inner->Handle()));
  EXPECT_FALSE(Hidden->HandleAllocated() && IsWindowVisible(Hidden->Handle()));

  // A form keeps its caption and does not run OnShow again.
  int Shows = 0;
  F->OnShow = [&](TObject*) { ++Shows; };
  F->SetCaption(L"Caption");
  HWND OldForm = F->Handle();
  F->RecreateWnd();
  uitest::Pump();
  EXPECT_NE(F->Handle(), OldForm);
  EXPECT_EQ(F->Caption(), L"Caption");
  EXPECT_TRUE(IsWindowVisible(F->Handle()));
  EXPECT_TRUE(IsWindowVisible(Inner->Handle()));
  EXPECT_EQ(Shows, 0);
}

TEST(WindowProc, SeesCreationShowingAndPaintingInOrder) {
  // The logs outlive the form, whose destruction still runs through the taps.
  std::vector<UINT> Seen;
  std::vector<UINT> ChildSeen;
  TForm F(nullptr);
  F.SetBounds(50, 50, 200, 150);
  TWndMethod Saved = F.WindowProc();
  F.SetWindowProc([&, Saved](TMessage& M) {
    Seen.push_back(M.Msg);
    Saved(M);
  });
  F.Show();
  uitest::WaitFor([&] { return std::find(Seen.begin(), Seen.end(), WM_PAINT) != Seen.end(); });
  auto Index = [&](UINT Msg) {
    auto It = std::find(Seen.begin(), Seen.end(), Msg);
    return It == Seen.end() ? -1 : static_cast<int>(It - Seen.begin());
  };
  // Notifications reach the chain before there is a window; a top-level window's first message
  // arrives before WM_NCCREATE.
  auto FirstWindowMessage = [](const std::vector<UINT>& L) {
    for (UINT M : L)
      if (M < CM_BASE) return M;
    return 0u;
  };
  EXPECT_EQ(Seen.front(), CM_VISIBLECHANGED);
  EXPECT_EQ(FirstWindowMessage(Seen), static_cast<UINT>(WM_GETMINMAXINFO));
  ASSERT_GE(Index(WM_NCCREATE), 0);
  EXPECT_LT(Index(WM_NCCREATE), Index(WM_CREATE));
  EXPECT_LT(Index(WM_CREATE), Index(CM_SHOWINGCHANGED));
  EXPECT_LT(Index(CM_SHOWINGCHANGED), Index(WM_SHOWWINDOW));
  EXPECT_LT(Index(WM_SHOWWINDOW), Index(WM_PAINT));

  // A child control: creation through the chain too, while the parent shows.
  auto* B = new TWinLogBox(&F);
  TWndMethod ChildSaved = B->WindowProc();
  B->SetWindowProc([&, ChildSaved](TMessage& M) {
    ChildSeen.push_back(M.Msg);
    ChildSaved(M);
  });
  B->SetBounds(0, 0, 50, 50);
  B->SetParent(&F);
  uitest::WaitFor([&] { return std::find(ChildSeen.begin(), ChildSeen.end(), WM_PAINT) != ChildSeen.end(); });
  auto CIndex = [&](UINT Msg) {
    auto It = std::find(ChildSeen.begin(), ChildSeen.end(), Msg);
    return It == ChildSeen.end() ? -1 : static_cast<int>(It - ChildSeen.begin());
  };
  ASSERT_GE(CIndex(WM_NCCREATE), 0);
  EXPECT_EQ(FirstWindowMessage(ChildSeen), static_cast<UINT>(WM_NCCREATE));
  EXPECT_LT(CIndex(WM_NCCREATE), CIndex(WM_CREATE));
  EXPECT_LT(CIndex(WM_CREATE), CIndex(CM_SHOWINGCHANGED));
  EXPECT_LT(CIndex(CM_SHOWINGCHANGED), CIndex(WM_PAINT));
}

TEST(WindowProc, InterceptorsComeAndGoInAnyOrder) {
  TForm F(nullptr);
  TWinLogBox* B = AddBox(&F, 0, 0, 10, 10);
  auto Install = [&](char Name) {
    TWndMethod Saved = B->WindowProc();
    B->SetWindowProc([B, Name, Saved](TMessage& M) {
      if (M.Msg == WM_APP) B->Log += Name;
      Saved(M);
    });
    return Saved;
  };
  auto Run = [&] {
    B->Log.clear();
    B->Perform(WM_APP);
    return B->Log;
  };
  EXPECT_EQ(Run(), "C");
  TWndMethod SavedA = Install('A');
  TWndMethod SavedB = Install('B');
  EXPECT_EQ(Run(), "BAC");
  // Each party hands back what it saved: first in the order of installation ...
  B->SetWindowProc(SavedA);
  EXPECT_EQ(Run(), "BC");
  B->SetWindowProc(SavedB);
  EXPECT_EQ(Run(), "C");
  // ... or the reverse order ...
  SavedA = Install('A');
  SavedB = Install('B');
  B->SetWindowProc(SavedB);
  EXPECT_EQ(Run(), "AC");
  B->SetWindowProc(SavedA);
  EXPECT_EQ(Run(), "C");
  // ... or the middle one of three first; the window's own messages take the same road.
  SavedA = Install('A');
  SavedB = Install('B');
  TWndMethod SavedX = Install('X');
  B->SetWindowProc(SavedB);
  B->Log.clear();
  SendMessageW(B->Handle(), WM_APP, 0, 0);
  EXPECT_EQ(B->Log, "XAC");
  B->SetWindowProc(SavedA);
  EXPECT_EQ(Run(), "XC");
  B->SetWindowProc(SavedX);
  EXPECT_EQ(Run(), "C");
  // The chain survives the window being recreated.
  SavedA = Install('A');
  B->RecreateWnd();
  B->Log.clear();
  SendMessageW(B->Handle(), WM_APP, 0, 0);
  EXPECT_EQ(B->Log, "AC");
  B->SetWindowProc(SavedA);
}

// A control's handling of a message performs one on another control, whose handler frees the
// first: the first control's handling ends right there, also through a handler's catch of
// Exception around it, while the other's handling and the form's, which sent the first message, go
// on. Nothing freed is touched (the trap makes any touch fault).
TEST(WindowProc, AHandlingEndsWhenAMessageItPerformsFreesItsControl) {
  for (const bool CatchesExceptions : {false, true}) {
    SCOPED_TRACE(CatchesExceptions ? "inside a catch of Exception" : "plain");
    memguard::TFaultCount AV;
    const memguard::TTrapFreedReads Trap;
    TForm F(nullptr);
    TWinLogBox* A = AddBox(&F, 0, 0, 10, 10);
    TWinLogBox* B = AddBox(&F, 20, 0, 10, 10);
    bool AWentOn = false, BWentOn = false, FormWentOn = false;
    const TWndMethod BelowB = B->WindowProc(), BelowA = A->WindowProc(), BelowF = F.WindowProc();
    B->SetWindowProc([&, BelowB](TMessage& M) {
      if (M.Msg == WM_APP + 1) {
        delete A;
        BWentOn = true;
      }
      BelowB(M);
    });
    A->SetWindowProc([&, BelowA, A, B](TMessage& M) {
      if (M.Msg == WM_APP) {
        if (CatchesExceptions) {
          try {
            B->Perform(WM_APP + 1);
          } catch (Exception&) {
          }
        } else {
          B->Perform(WM_APP + 1);
        }
        AWentOn = true;
        A->Log += "after";
      }
      BelowA(M);
    });
    F.SetWindowProc([&, BelowF, A](TMessage& M) {
      if (M.Msg == WM_APP + 2) {
        A->Perform(WM_APP);
        FormWentOn = true;
      }
      BelowF(M);
    });
    F.Perform(WM_APP + 2);
    EXPECT_TRUE(BWentOn);
    EXPECT_FALSE(AWentOn);
    EXPECT_TRUE(FormWentOn);
    F.SetWindowProc(BelowF);
    EXPECT_EQ(AV.Count(), 0);
  }
}

TEST(WindowProc, ExceptionsInHandlersGoToTheApplication) {
  auto F = ShownForm();
  TWinLogBox* B = AddBox(F.get(), 0, 0, 50, 50);
  uitest::Pump();
  std::vector<std::string> Caught;
  TObject* Sender = nullptr;
  Application->OnException = [&](TObject* S, Exception& E) {
    Caught.push_back(E.Message);
    Sender = S;
  };
  int Ups = 0;
  B->OnMouseDown = [](TObject*, TMouseButton, TShiftState, int, int) { throw EConvertError("bad value"); };
  B->OnMouseMove = [](TObject*, TShiftState, int, int) { throw std::runtime_error("plain"); };
  B->OnClick = [](TObject*) { throw EAbort("silent"); };
  B->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++Ups; };
  SendMessageW(B->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(B->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, 6));
  // The click's EAbort ends the handling of the release quietly (OnMouseUp does not run).
  SendMessageW(B->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(Ups, 0);
  Application->OnException = nullptr;
  ASSERT_EQ(Caught.size(), 2u);
  EXPECT_EQ(Caught[0], "bad value");
  EXPECT_EQ(Caught[1], "plain");
  EXPECT_EQ(Sender, B);
  EXPECT_TRUE(IsWindow(B->Handle()));
}

TEST(Mouse, ClicksDoubleClicksAndEventOrder) {
  auto F = ShownForm();
  TWinLogBox* B = AddBox(F.get(), 0, 0, 100, 100);
  int Clicks = 0, Doubles = 0;
  TShiftState LastShift;
  B->OnClick = [&](TObject*) { ++Clicks; };
  B->OnDblClick = [&](TObject*) { ++Doubles; };
  B->OnMouseDown = [&](TObject*, TMouseButton, TShiftState S, int, int) {
    B->MouseLog.push_back("event");
    LastShift = S;
  };
  HWND H = B->Handle();
  SendMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(12, 12));
  EXPECT_EQ(Clicks, 1);
  // The event fires before the control's own handling.
  ASSERT_EQ(B->MouseLog.size(), 2u);
  EXPECT_EQ(B->MouseLog[0], "event");
  EXPECT_EQ(B->MouseLog[1], "override");
  // Released outside: no click.
  SendMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(150, 10));
  EXPECT_EQ(Clicks, 1);
  SendMessageW(H, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(Doubles, 1);
  EXPECT_TRUE(LastShift.Contains(ssDouble));
  EXPECT_TRUE(LastShift.Contains(ssLeft));
  // Without csDoubleClicks a double click is a press.
  B->SetControlStyle(B->ControlStyle() - csDoubleClicks);
  SendMessageW(H, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(Doubles, 1);
  EXPECT_FALSE(LastShift.Contains(ssDouble));
}

TEST(Mouse, GraphicChildrenGetTheirMessagesInTheirOwnCoordinates) {
  auto F = ShownForm();
  TWinLogBox* B = AddBox(F.get(), 0, 0, 100, 100);
  auto* Dot = new TWinLogDot(F.get());
  Dot->SetBounds(20, 30, 20, 20);
  Dot->SetParent(B);
  TPoint Got{-1, -1};
  int BoxDowns = 0, DotClicks = 0;
  Dot->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int X, int Y) { Got = Point(X, Y); };
  Dot->OnClick = [&](TObject*) { ++DotClicks; };
  B->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++BoxDowns; };
  SendMessageW(B->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 37));
  // The graphic control captured the mouse: the release goes to it even outside its bounds.
  EXPECT_EQ(GetCaptureControl(), Dot);
  SendMessageW(B->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(30, 40));
  EXPECT_EQ(Got, Point(5, 7));
  EXPECT_EQ(BoxDowns, 0);
  EXPECT_EQ(DotClicks, 1);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  // A hidden graphic child lets the press through.
  Dot->Hide();
  SendMessageW(B->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 37));
  SendMessageW(B->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(25, 37));
  EXPECT_EQ(BoxDowns, 1);
}

TEST(Mouse, WheelGoesToTheFocusedControlAndUpItsParents) {
  auto F = ShownForm();
  TWinLogBox* Outer = AddBox(F.get(), 0, 0, 200, 200);
  TWinLogBox* Inner = AddBox(Outer, 0, 0, 50, 50);
  Inner->SetTabStop(true);
  Inner->SetFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return Inner->Focused(); }));
  int Downs = 0, Ups = 0, OuterWheels = 0;
  Inner->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool& Handled) {
    ++Downs;
    Handled = true;
  };
  Inner->OnMouseWheelUp = [&](TObject*, TShiftState, TPoint, bool&) { ++Ups; };
  Outer->OnMouseWheel = [&](TObject*, TShiftState, int Delta, TPoint, bool& Handled) {
    ++OuterWheels;
    Handled = true;
  };
  // Sent to the form: it goes to the focused control.
  SendMessageW(F->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -2 * WHEEL_DELTA), MAKELPARAM(10, 10));
  EXPECT_EQ(Downs, 2);
  EXPECT_EQ(OuterWheels, 0);
  // Half a notch does nothing yet; the unhandled turn goes up to the parent.
  SendMessageW(Inner->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), MAKELPARAM(10, 10));
  EXPECT_EQ(Ups, 0);
  EXPECT_EQ(OuterWheels, 1);
  SendMessageW(Inner->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), MAKELPARAM(10, 10));
  EXPECT_EQ(Ups, 1);
  EXPECT_EQ(OuterWheels, 2);
}

TEST(Mouse, EnterAndLeaveFollowTheRealPointer) {
  auto F = ShownForm(200, 200);
  ASSERT_TRUE(realinput::BringToFront(F->Handle()));
  TWinLogBox* B = AddBox(F.get(), 10, 10, 150, 120);
  auto* Dot = new TWinLogDot(F.get());
  Dot->SetBounds(80, 60, 40, 40);
  Dot->SetParent(B);
  uitest::Pump();
  std::vector<std::string> Events;
  auto Watch = [&](TControl* C, const char* Name) {
    TWndMethod Saved = C->WindowProc();
    C->SetWindowProc([&Events, Name, Saved, C](TMessage& M) {
      if (M.Msg == CM_MOUSEENTER || M.Msg == CM_MOUSELEAVE) {
        EXPECT_EQ(M.LParam, reinterpret_cast<LPARAM>(C));
        Events.push_back(std::string(M.Msg == CM_MOUSEENTER ? "enter " : "leave ") + Name);
      }
      Saved(M);
    });
  };
  Watch(B, "box");
  Watch(Dot, "dot");
  // The real pointer moves there and stays: under a busy X server a late report of an earlier
  // place could otherwise be the last thing the windows see.
  auto MoveTo = [&](TControl* C, int X, int Y) {
    const TPoint P = C->ClientToScreen(Point(X, Y));
    return realinput::MovePointerSettled(POINT{P.X, P.Y});
  };
  // Whether the pointer is inside, by the last notice each control received.
  auto Inside = [&](const char* Name) {
    for (auto It = Events.rbegin(); It != Events.rend(); ++It)
      if (It->substr(6) == Name) return It->compare(0, 5, "enter") == 0;
    return false;
  };
  auto Count = [&](const std::string& E) { return std::count(Events.begin(), Events.end(), E); };
  ASSERT_TRUE(MoveTo(B, 20, 20));
  ASSERT_TRUE(uitest::WaitFor([&] { return Inside("box"); }));
  EXPECT_FALSE(Inside("dot"));
  // Under Wine the first move into the box may be handled before the system reports the pointer
  // there, and the leave tracking then starts with a leave at once (and an enter again): the
  // leaves are counted from here, with the pointer in the box.
  const auto Leaves = Count("leave box");
  ASSERT_TRUE(MoveTo(B, 90, 70));
  ASSERT_TRUE(uitest::WaitFor([&] { return Inside("dot"); }));
  ASSERT_TRUE(MoveTo(B, 30, 30));
  ASSERT_TRUE(uitest::WaitFor([&] { return !Inside("dot"); }));
  // Moving onto a graphic child and back does not leave its parent.
  EXPECT_EQ(Count("leave box"), Leaves);
  EXPECT_TRUE(Inside("box"));
  ASSERT_TRUE(MoveTo(F.get(), 250, 5));  // on the form, outside the box
  ASSERT_TRUE(uitest::WaitFor([&] { return !Inside("box"); })) << ::testing::PrintToString(Events);
  EXPECT_EQ(Events.front(), "enter box");
  EXPECT_EQ(Count("enter box"), Count("leave box"));
  EXPECT_EQ(Count("enter dot"), Count("leave dot"));
}

TEST(Focus, SelectNextFollowsTabOrderAndSkipsWhatCannotTakeTheFocus) {
  auto F = ShownForm();
  TWinLogBox* A = AddBox(F.get(), 0, 0, 20, 20);
  TWinLogBox* B = AddBox(F.get(), 30, 0, 20, 20);
  TWinLogBox* C = AddBox(F.get(), 60, 0, 20, 20);
  TWinLogBox* D = AddBox(F.get(), 90, 0, 20, 20);
  for (TWinLogBox* X : {A, B, C, D}) X->SetTabStop(true);
  C->SetTabOrder(0);  // C, A, B, D
  EXPECT_EQ(C->TabOrder(), 0);
  EXPECT_EQ(A->TabOrder(), 1);
  EXPECT_EQ(D->TabOrder(), 3);
  std::string Log;
  for (auto [X, N] : {std::pair{A, 'a'}, {B, 'b'}, {C, 'c'}, {D, 'd'}}) {
    X->OnEnter = [&Log, N = N](TObject*) { Log += std::string("+") + N; };
    X->OnExit = [&Log, N = N](TObject*) { Log += std::string("-") + N; };
  }
  C->SetFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return C->Focused(); }));
  EXPECT_EQ(F->ActiveControl(), C);
  Log.clear();
  F->SelectNext(C, true, true);
  EXPECT_TRUE(uitest::WaitFor([&] { return A->Focused(); }));
  EXPECT_EQ(Log, "-c+a");
  B->SetEnabled(false);
  F->SelectNext(A, true, true);
  EXPECT_TRUE(uitest::WaitFor([&] { return D->Focused(); }));
  F->SelectNext(D, true, true);  // wraps around
  EXPECT_TRUE(uitest::WaitFor([&] { return C->Focused(); }));
  F->SelectNext(C, false, true);
  EXPECT_TRUE(uitest::WaitFor([&] { return D->Focused(); }));
  A->SetTabStop(false);
  F->SelectNext(C, true, true);
  EXPECT_TRUE(uitest::WaitFor([&] { return D->Focused(); }));
  // The Tab key through the message loop: a dialog key of the form.
  A->SetTabStop(true);
  PostMessageW(D->Handle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_TRUE(uitest::WaitFor([&] { return C->Focused(); }));
  // A control that wants the Tab key keeps it.
  C->WantTab = true;
  Word Seen = 0;
  C->OnKeyDown = [&](TObject*, Word& Key, TShiftState) { Seen = Key; };
  PostMessageW(C->Handle(), WM_KEYDOWN, VK_TAB, 0);
  uitest::PumpFor(50);
  EXPECT_TRUE(C->Focused());
  EXPECT_EQ(Seen, VK_TAB);
  // Focusing what cannot take the focus is an error.
  B->SetEnabled(true);
  B->Hide();
  EXPECT_FALSE(B->CanFocus());
  EXPECT_THROW(B->SetFocus(), EInvalidOperation);
}

// Focused() answers what the system says of the focus after every way the focus moves: to another
// control, to a window of no control and back, away from a control disabled, hidden or destroyed
// while it holds it, and from a window of no control to another one.
TEST(Focus, FocusedFollowsEveryMoveOfTheFocus) {
  auto F = ShownForm();
  TWinLogBox* A = AddBox(F.get(), 0, 0, 20, 20);
  TWinLogBox* B = AddBox(F.get(), 30, 0, 20, 20);
  TWinLogBox* C = AddBox(F.get(), 60, 0, 20, 20);
  auto Plain = [&F](int X) {
    return CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, X, 40, 40, 20, F->Handle(), nullptr, nullptr, nullptr);
  };
  HWND P1 = Plain(0), P2 = Plain(50);
  const std::vector<std::pair<const char*, std::function<void()>>> Moves = {
      {"to a control", [&] { A->SetFocus(); }},
      {"to another control", [&] { ::SetFocus(B->Handle()); }},
      {"to a window of no control", [&] { ::SetFocus(P1); }},
      {"to another such window", [&] { ::SetFocus(P2); }},
      {"back to a control", [&] { ::SetFocus(A->Handle()); }},
      {"its control disabled", [&] { A->SetEnabled(false); }},
      {"to a control again", [&] { ::SetFocus(B->Handle()); }},
      {"its control hidden", [&] { B->SetVisible(false); }},
      {"to a control to be destroyed", [&] { ::SetFocus(C->Handle()); }},
      {"its control destroyed", [&] { delete C; C = nullptr; }},
      {"to the form", [&] { ::SetFocus(F->Handle()); }},
  };
  for (const auto& [Name, Move] : Moves) {
    Move();
    uitest::Pump();
    const HWND Now = GetFocus();
    for (TWinControl* X : std::vector<TWinControl*>{A, B, C, F.get()})
      if (X != nullptr) EXPECT_EQ(X->Focused(), X->HandleAllocated() && X->Handle() == Now) << Name << ", " << X->Left();
  }
  DestroyWindow(P1);
  DestroyWindow(P2);
}

TEST(Controls, BadIndexesAndArgumentsRaise) {
  TForm F(nullptr);
  TWinLogBox* B = AddBox(&F, 0, 0, 10, 10);
  EXPECT_EQ(F.ControlCount(), 1);
  EXPECT_EQ(F.Controls(0), B);
  EXPECT_THROW(F.Controls(1), EListError);
  EXPECT_THROW(F.Controls(-1), EListError);
  EXPECT_THROW(F.SetParent(B), EInvalidOperation);
  B->SetBounds(5, 5, -10, -3);
  EXPECT_EQ(B->Width(), 0);
  EXPECT_EQ(B->Height(), 0);
  // Text without a window, wide and byte strings alike.
  B->SetText(AnsiString("abc"));
  EXPECT_EQ(B->Text(), L"abc");
  EXPECT_EQ(B->Perform(WM_GETTEXTLENGTH), 3);
}

// A system push button under the framework's class name, with its notifications reflected.
class TSuperButton : public TWinControl {
  T_CLASS(TSuperButton, TWinControl)
 public:
  explicit TSuperButton(TComponent* AOwner) : TWinControl(AOwner) { SetTabStop(true); }
  int Clicked = 0;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, L"BUTTON");
    Params.Style |= BS_PUSHBUTTON;
  }
  void Dispatch(TMessage& M) override {
    if (M.Msg == CN_COMMAND && HIWORD(M.WParam) == BN_CLICKED) {
      ++Clicked;
      return;
    }
    TWinControl::Dispatch(M);
  }
};

class TSuperEdit : public TWinControl {
  T_CLASS(TSuperEdit, TWinControl)
 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, L"EDIT");
    Params.Style |= ES_AUTOHSCROLL;
  }
};

TEST(Superclassing, SystemControlsRunUnderTheFrameworkClassName) {
  auto F = ShownForm();
  auto* B = new TSuperButton(F.get());
  B->SetBounds(10, 10, 80, 25);
  B->SetText(L"Press");
  B->SetParent(F.get());
  auto* E = new TSuperEdit(F.get());
  E->SetBounds(10, 50, 120, 22);
  E->SetColor(clYellow);
  E->SetText(L"typed");
  E->SetParent(F.get());
  uitest::PumpFor(50);
  wchar_t Name[64];
  GetClassNameW(B->Handle(), Name, 64);
  EXPECT_STREQ(Name, L"TSuperButton");
  EXPECT_NE(B->DefWndProc(), DefWindowProcW);
  // The system button works: a click notifies the parent, which passes it on as CN_COMMAND.
  SendMessageW(B->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(B->Clicked, 1);
  EXPECT_EQ(B->Text(), L"Press");
  // The system edit keeps its text in the window and takes its colour from the control.
  EXPECT_EQ(E->Text(), L"typed");
  SendMessageW(E->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"changed"));
  EXPECT_EQ(E->Text(), L"changed");
  E->RecreateWnd();
  EXPECT_EQ(E->Text(), L"changed");
  uitest::PumpFor(50);
  RECT R;
  GetClientRect(E->Handle(), &R);
  EXPECT_EQ(uitest::WindowPixel(E->Handle(), R.right - 3, R.bottom / 2), RGB(255, 255, 0));
  uitest::SaveScreenshot(F->Handle(), "superclassing");
}

TEST(Notifications, PropertyChangesReachTheWindowProcChain) {
  auto F = ShownForm();
  TWinLogBox* Panel = AddBox(F.get(), 0, 0, 100, 100);
  std::vector<UINT> Seen;
  TWndMethod Saved = Panel->WindowProc();
  Panel->SetWindowProc([&, Saved](TMessage& M) {
    if (M.Msg >= CM_BASE && M.Msg < CN_BASE) Seen.push_back(M.Msg);
    Saved(M);
  });
  Panel->SetEnabled(false);
  Panel->SetEnabled(true);
  Panel->Hide();
  Panel->Show();
  Panel->SetText(L"x");
  Panel->Font()->SetHeight(-20);
  Panel->SetColor(clRed);
  std::vector<UINT> Expected{CM_ENABLEDCHANGED, CM_INVALIDATE, CM_ENABLEDCHANGED, CM_INVALIDATE, CM_VISIBLECHANGED, CM_SHOWINGCHANGED,
                             CM_VISIBLECHANGED, CM_SHOWINGCHANGED, CM_TEXTCHANGED, CM_FONTCHANGED,
                             CM_INVALIDATE, CM_COLORCHANGED, CM_INVALIDATE};
  EXPECT_EQ(Seen, Expected);
  EXPECT_FALSE(Panel->ParentFont());
  EXPECT_FALSE(Panel->ParentColor());
  Panel->SetWindowProc(Saved);

  // Children that follow their parent take its font and colour, and keep following.
  TWinLogBox* Child = AddBox(Panel, 0, 0, 10, 10);
  EXPECT_EQ(Child->Font()->Height(), -20);
  EXPECT_EQ(Child->Color(), clRed);
  EXPECT_TRUE(Child->ParentFont());
  Panel->Font()->SetName("Arial");
  Panel->SetColor(clBlue);
  EXPECT_EQ(Child->Font()->Name(), "Arial");
  EXPECT_EQ(Child->Color(), clBlue);
  EXPECT_TRUE(Child->ParentColor());
  Child->SetColor(clGreen);  // its own colour from now on
  Panel->SetColor(clYellow);
  EXPECT_EQ(Child->Color(), clGreen);
}

TEST(Notifications, TheFormHearsOfControlsComingAndGoing) {
  auto F = ShownForm();
  TWinLogBox* Panel = AddBox(F.get(), 0, 0, 100, 100);
  struct TNotice {
    TControl* Control;
    LPARAM Inserted;
    bool HasParent;
    bool HasWindow;
  };
  std::vector<TNotice> Notices;
  TWndMethod Saved = F->WindowProc();
  F->SetWindowProc([&, Saved](TMessage& M) {
    if (M.Msg == CM_CONTROLLISTCHANGE) {
      auto* C = reinterpret_cast<TControl*>(M.WParam);
      auto* W = dynamic_cast<TWinControl*>(C);
      Notices.push_back(TNotice{C, M.LParam, C->Parent() != nullptr, W != nullptr && W->HandleAllocated()});
    }
    Saved(M);
  });
  TWinLogBox* Inner = AddBox(Panel, 0, 0, 10, 10);  // a grandchild: the notice travels up
  Inner->SetParent(nullptr);
  ASSERT_EQ(Notices.size(), 2u);
  EXPECT_EQ(Notices[0].Control, Inner);
  EXPECT_EQ(Notices[0].Inserted, 1);
  EXPECT_TRUE(Notices[0].HasParent);
  EXPECT_TRUE(Notices[0].HasWindow);
  EXPECT_EQ(Notices[1].Inserted, 0);
  EXPECT_TRUE(Notices[1].HasParent);
  EXPECT_FALSE(Inner->HandleAllocated());  // a windowed control off its parent has no window
  delete Inner;
  F->SetWindowProc(Saved);
}

namespace {

// The boxes alive, for handlers that must never be called on a freed one.
std::set<const TObject*> LiveBoxes;

class TLiveBox : public TWinLogBox {
  T_CLASS(TLiveBox, TWinLogBox)
 public:
  explicit TLiveBox(TComponent* AOwner) : TWinLogBox(AOwner) { LiveBoxes.insert(this); }
  ~TLiveBox() override { LiveBoxes.erase(this); }
  bool ActsFocused = false;  // its own handling heard its window gain the focus last

 protected:
  void WMSetFocus(TMessage& M) override {
    TWinLogBox::WMSetFocus(M);
    ActsFocused = true;
  }
  void WMKillFocus(TMessage& M) override {
    TWinLogBox::WMKillFocus(M);
    ActsFocused = false;
  }
};

}  // namespace

// A handler of a focus change that frees a control of the change (the one losing the focus, the
// one gaining it, or the panel around either), or closes or frees the form, from OnExit or
// OnEnter, with the focus moved in code or by the Tab key; or that first moves the focus on to
// another control D, then frees the one gaining it, its panel or nothing: no fault, no handler
// called on a freed control, each control hears enter and exit in turn as the focus really went,
// the focus ends on the control it last went to when that remains (else on the form or a control
// that remains), and when the user moves on every control that remains has heard its exit.
TEST(Focus, AFocusHandlerFreeingAControlOfTheChangeLeavesTheFocusOnWhatRemains) {
  enum TWho { A, PA, B, PB, Form, FormFreed, Nothing };
  const char* Names[] = {"A", "PA", "B", "PB", "the form (closed)", "the form (freed)", "nothing"};
  const struct {
    TWho Handler;
    bool OnEnter;
  } Handlers[] = {{A, false}, {PA, false}, {B, true}, {PB, true}};
  const struct {
    TWho Victim;
    bool MovesToD;
  } Cases[] = {{A, false},      {PA, false}, {B, false}, {PB, false}, {Form, false}, {FormFreed, false},
               {Nothing, true}, {B, true},   {PB, true}};
  for (const bool Tab : {false, true})
    for (const auto& H : Handlers)
      for (const auto& Case : Cases) {
        const TWho Victim = Case.Victim;
        const bool MovesToD = Case.MovesToD;
        SCOPED_TRACE(std::string(Tab ? "Tab key, " : "SetFocus, ") + Names[H.Handler] +
                     (H.OnEnter ? ".OnEnter" : ".OnExit") + (MovesToD ? " focuses D and frees " : " frees ") +
                     Names[Victim]);
        memguard::TFaultCount Faults;
        auto* F = new TForm(nullptr);
        F->SetBounds(100, 100, 300, 250);
        auto Box = [&](TWinControl* Parent, int L, int T, bool TabStop) {
          auto* X = new TLiveBox(Parent);  // owned by its parent, and freed with it
          X->SetBounds(L, T, 60, 60);
          X->SetParent(Parent);
          X->SetTabStop(TabStop);
          return X;
        };
        TLiveBox* PAx = Box(F, 0, 10, false);
        TLiveBox* Ax = Box(PAx, 10, 10, true);
        TLiveBox* PBx = Box(F, 100, 10, false);
        TLiveBox* Bx = Box(PBx, 10, 10, true);
        TLiveBox* D = Box(F, 200, 10, true);
        TLiveBox* E = Box(F, 0, 100, true);
        TLiveBox* Of[] = {Ax, PAx, Bx, PBx, D, E};
        const char* BoxNames[] = {"A", "PA", "B", "PB", "D", "E"};
        bool FormGone = false;
        F->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
        F->OnDestroy = [&](TObject*) { FormGone = true; };
        F->Show();
        ASSERT_TRUE(realinput::BringToFront(F->Handle()));
        Ax->SetFocus();
        ASSERT_TRUE(uitest::WaitFor([&] { return Ax->Focused(); }));
        std::string Log;
        // Whether each box has heard enter last (A and its panel hold the focus now), and the
        // enters and exits heard twice in a row.
        int In[] = {1, 1, 0, 0, 0, 0};
        int Unpaired = 0;
        int OnFreed = 0;
        bool Fired = false;
        for (int I = 0; I < 6; ++I) {
          auto Heard = [&, I, H, Victim, MovesToD](TObject* Sender, bool Enter) {
            if (LiveBoxes.count(Sender) == 0) {
              ++OnFreed;
              return;
            }
            Log += (Enter ? "+" : "-") + std::string(BoxNames[I]);
            In[I] += Enter ? 1 : -1;
            Unpaired += In[I] < 0 || In[I] > 1;
            if (Fired || I != H.Handler || Enter != H.OnEnter) return;
            Fired = true;
            if (MovesToD) D->SetFocus();
            if (Victim == Form)
              F->Close();
            else if (Victim == FormFreed)
              delete F;
            else if (Victim != Nothing)
              delete Of[Victim];
          };
          Of[I]->OnEnter = [Heard](TObject* S) { Heard(S, true); };
          Of[I]->OnExit = [Heard](TObject* S) { Heard(S, false); };
        }
        if (Tab)
          realinput::Key(VK_TAB);
        else
          Bx->SetFocus();
        uitest::Pump();
        EXPECT_TRUE(Fired);
        EXPECT_EQ(OnFreed, 0);
        EXPECT_EQ(Faults.Count(), 0);
        if (Victim == Form || Victim == FormFreed) {
          EXPECT_TRUE(uitest::WaitFor([&] { return FormGone; }));
          continue;
        }
        auto Alive = [&](TWho W) { return LiveBoxes.count(Of[W]) != 0; };
        auto Heard = [&](const char* Event) { return Log.find(Event) != std::string::npos; };
        EXPECT_EQ(Unpaired, 0) << Log;
        for (int I = 0; I < 6; ++I)
          if (LiveBoxes.count(Of[I]) != 0) {
            EXPECT_EQ(Of[I]->ActsFocused, Of[I]->Focused()) << BoxNames[I];
          }
        TLiveBox* Last = MovesToD ? D : Bx;  // where the focus was sent last
        if (LiveBoxes.count(Last) != 0) {
          EXPECT_TRUE(Last->Focused());
          EXPECT_EQ(F->ActiveControl(), Last);
          EXPECT_TRUE(MovesToD || (Heard("+PB") && Heard("+B"))) << Log;
          if (Alive(A)) EXPECT_TRUE(Heard("-A")) << Log;
          if (Alive(PA)) EXPECT_TRUE(Heard("-PA")) << Log;
        } else {
          const HWND Now = GetFocus();
          bool Sensible = Now == F->Handle();
          for (TLiveBox* X : {Ax, PAx, PBx, D})
            Sensible = Sensible || (LiveBoxes.count(X) != 0 && X->Handle() == Now);
          EXPECT_TRUE(Sensible);
          EXPECT_TRUE(F->ActiveControl() == nullptr || LiveBoxes.count(F->ActiveControl()) != 0);
        }
        EXPECT_TRUE(Screen->ActiveControl() == nullptr || Screen->ActiveControl() == F ||
                    LiveBoxes.count(Screen->ActiveControl()) != 0);
        // The focus still moves, the control that held it hears its exit, and the form still goes.
        Log.clear();
        E->SetFocus();
        EXPECT_TRUE(uitest::WaitFor([&] { return E->Focused(); }));
        EXPECT_EQ(In[5], 1) << Log;
        for (int I = 0; I < 5; ++I)
          if (LiveBoxes.count(Of[I]) != 0) {
            EXPECT_EQ(In[I], 0) << BoxNames[I] << " heard no exit: " << Log;
          }
        EXPECT_EQ(Unpaired, 0) << Log;
        delete F;
        uitest::Pump();
        EXPECT_EQ(OnFreed, 0);
        EXPECT_EQ(Faults.Count(), 0);
      }
}
