// Forms, the application object and the screen: creation protocol, error box, closing, modal
// forms, the application window's hooks, activation, styles and hints.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

class TFormsBox : public TCustomControl {
  T_CLASS(TFormsBox, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
};

// Records when it is told that loading ended.
class TLoadProbe : public TComponent {
  T_CLASS(TLoadProbe, TComponent)
 public:
  TLoadProbe(TComponent* AOwner, std::vector<std::string>* ALog) : TComponent(AOwner), Log(ALog) {}
  void Loaded() override {
    Log->push_back("probe loaded");
    TComponent::Loaded();
  }
  std::vector<std::string>* Log;
};

class TSetupForm;
TSetupForm* SetupForm = nullptr;

// A form set up as a stored description would set it up.
class TSetupForm : public TForm {
  T_CLASS(TSetupForm, TForm)
 public:
  explicit TSetupForm(TComponent* AOwner) : TForm(AOwner) {
    VariableSetInConstructor = SetupForm == this;
    OnCreate = [this](TObject*) {
      VariableSetInOnCreate = SetupForm == this;
      Log.push_back("create");
      ClientInCreate = Client->BoundsRect();
    };
  }
  bool VariableSetInConstructor = false;
  bool VariableSetInOnCreate = false;
  bool LoadingDuringSetup = false;
  bool ChildLoadingDuringSetup = false;
  TRect ClientDuringSetup;
  TRect ClientInCreate;
  std::vector<std::string> Log;
  TFormsBox* Client = nullptr;

 protected:
  void InitializeComponents() override {
    Log.push_back("setup");
    SetBounds(10, 10, 300, 200);
    SetBorderStyle(bsNone);
    Client = new TFormsBox(this);
    Client->SetBounds(1, 2, 3, 4);
    Client->SetAlign(alClient);
    Client->SetParent(this);
    new TLoadProbe(this, &Log);
    LoadingDuringSetup = ComponentState().Contains(csLoading);
    ChildLoadingDuringSetup = Client->ComponentState().Contains(csLoading);
    ClientDuringSetup = Client->BoundsRect();
  }
  void Loaded() override {
    Log.push_back("form loaded");
    TForm::Loaded();
  }
};

class TFailingForm : public TForm {
  T_CLASS(TFailingForm, TForm)
 public:
  explicit TFailingForm(TComponent* AOwner) : TForm(AOwner) {
    OnCreate = [](TObject*) { RaiseInOutError(2); };
  }
};

namespace {

// Captures the message boxes the application shows.
struct TBoxCapture {
  struct TBox {
    WideString Text, Caption;
    UINT Flags;
  };
  std::vector<TBox> Boxes;
  TMessageBoxProc Saved;
  TBoxCapture() : Saved(Application->MessageBoxProc) {
    Application->MessageBoxProc = [this](HWND, const WideString& T, const WideString& C, UINT F) {
      Boxes.push_back(TBox{T, C, F});
      return IDOK;
    };
  }
  ~TBoxCapture() { Application->MessageBoxProc = Saved; }
};

}  // namespace

TEST(CreateForm, AssignsTheVariableFirstLoadsThenFiresOnCreate) {
  ASSERT_EQ(Application->MainForm(), nullptr);
  Application->CreateForm(SetupForm);
  ASSERT_NE(SetupForm, nullptr);
  EXPECT_TRUE(SetupForm->VariableSetInConstructor);
  EXPECT_TRUE(SetupForm->VariableSetInOnCreate);
  EXPECT_TRUE(SetupForm->LoadingDuringSetup);
  EXPECT_TRUE(SetupForm->ChildLoadingDuringSetup);
  std::vector<std::string> Expected{"setup", "form loaded", "probe loaded", "create"};
  EXPECT_EQ(SetupForm->Log, Expected);
  EXPECT_FALSE(SetupForm->ComponentState().Contains(csLoading));
  EXPECT_FALSE(SetupForm->Client->ComponentState().Contains(csLoading));
  // Alignment waited for the end of loading.
  EXPECT_EQ(SetupForm->ClientDuringSetup, Bounds(1, 2, 3, 4));
  EXPECT_EQ(SetupForm->ClientInCreate, Bounds(0, 0, 300, 200));
  // The first form created is the main form; it is owned by the application.
  EXPECT_EQ(Application->MainForm(), SetupForm);
  EXPECT_EQ(SetupForm->Owner(), Application);
  EXPECT_TRUE(SetupForm->HandleAllocated());
  wchar_t Name[64];
  GetClassNameW(SetupForm->Handle(), Name, 64);
  EXPECT_STREQ(Name, L"TSetupForm");
  // A second form is not the main form.
  TFailingForm* Other = nullptr;
  {
    TBoxCapture Capture;
    Application->CreateForm(Other);
  }
  EXPECT_EQ(Application->MainForm(), SetupForm);
  delete Other;
  delete SetupForm;
  SetupForm = nullptr;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(CreateForm, AnExceptionInOnCreateShowsTheErrorBoxAndTheFormLives) {
  TBoxCapture Capture;
  TFailingForm* F = nullptr;
  Application->CreateForm(F);
  ASSERT_NE(F, nullptr);
  ASSERT_EQ(Capture.Boxes.size(), 1u);
  EXPECT_EQ(Capture.Boxes[0].Text, L"File not found.");
  EXPECT_EQ(Capture.Boxes[0].Caption, Application->Title());
  EXPECT_EQ(Capture.Boxes[0].Flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(Application->Title(), L"framework_tests");
  F->Show();
  uitest::Pump();
  EXPECT_TRUE(IsWindowVisible(F->Handle()));
  delete F;
  // Through OnException instead of the box.
  std::string Seen;
  Application->OnException = [&](TObject* Sender, Exception& E) { Seen = E.ClassName() + std::string(":") + E.Message; };
  F = nullptr;
  Application->CreateForm(F);
  Application->OnException = nullptr;
  EXPECT_EQ(Seen, "EInOutError:File not found");
  EXPECT_EQ(Capture.Boxes.size(), 1u);
  delete F;
}

TEST(ErrorBox, APeriodIsAppendedWhenTheLastCharacterSortsAfterIt) {
  EXPECT_EQ(TApplication::ErrorBoxText("File not found"), "File not found.");
  EXPECT_EQ(TApplication::ErrorBoxText("abc"), "abc.");
  EXPECT_EQ(TApplication::ErrorBoxText("Really?"), "Really?.");
  EXPECT_EQ(TApplication::ErrorBoxText("path/"), "path/.");
  EXPECT_EQ(TApplication::ErrorBoxText("\xD4\xE0\xE9\xEB"), "\xD4\xE0\xE9\xEB.");  // code page 1251 letters
  EXPECT_EQ(TApplication::ErrorBoxText("x!"), "x!");
  EXPECT_EQ(TApplication::ErrorBoxText("x."), "x.");
  EXPECT_EQ(TApplication::ErrorBoxText("x-"), "x-");
  EXPECT_EQ(TApplication::ErrorBoxText("x)"), "x)");
  EXPECT_EQ(TApplication::ErrorBoxText("trailing "), "trailing ");
  EXPECT_EQ(TApplication::ErrorBoxText(""), "");
  TBoxCapture Capture;
  try {
    throw EConvertError("'abc' is not a valid integer value");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  try {
    throw EAbort("");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  ASSERT_EQ(Capture.Boxes.size(), 1u);
  EXPECT_EQ(Capture.Boxes[0].Text, L"'abc' is not a valid integer value.");
}

// A handler that fails while the user drags a splitter: the error box comes, and the drag is
// over (the neighbour back at its size, the mouse free) instead of going on behind the box.
TEST(ErrorBox, AFailureInTheMiddleOfADragEndsTheDragAndReleasesTheMouse) {
  TBoxCapture Capture;
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(50, 50, 400, 200);
  auto* Left = new TPanel(F.get());
  Left->SetBounds(0, 0, 100, 100);
  Left->SetAlign(alLeft);
  Left->SetParent(F.get());
  auto* S = new TSplitter(F.get());
  S->SetAlign(alLeft);
  S->SetBounds(100, 0, 4, 100);
  S->SetParent(F.get());
  S->SetResizeStyle(rsUpdate);
  S->OnCanResize = [](TObject*, int& NewSize, bool&) {
    if (NewSize > 130) throw Exception("No wider");
  };
  F->Show();
  uitest::Pump();
  HWND W = F->Handle();
  // Posted mouse messages with the real pointer waiting at each point (the drag reads it too).
  auto Mouse = [&](UINT Msg, int X) {
    const TPoint P = F->ClientToScreen(Point(X, 50));
    realinput::MovePointer(POINT{P.X, P.Y});
    PostMessageW(W, Msg, Msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(X, 50));
    uitest::Pump();
  };
  Mouse(WM_LBUTTONDOWN, 102);
  Mouse(WM_MOUSEMOVE, 122);
  ASSERT_EQ(Left->Width(), 120);
  ASSERT_EQ(GetCapture(), W);
  Mouse(WM_MOUSEMOVE, 152);
  ASSERT_EQ(Capture.Boxes.size(), 1u);
  EXPECT_EQ(Capture.Boxes[0].Text, L"No wider.");
  EXPECT_FALSE(S->Sizing());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Left->Width(), 100);
  // The button still down, the pointer moves on: nothing follows it any more.
  Mouse(WM_MOUSEMOVE, 112);
  Mouse(WM_LBUTTONUP, 112);
  EXPECT_EQ(Left->Width(), 100);
}

TEST(Closing, CloseQueryCloseActionsAndRelease) {
  auto* F = new TForm(nullptr);
  F->Show();
  uitest::Pump();
  bool Allow = false;
  F->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = Allow; };
  F->Close();
  EXPECT_TRUE(F->Visible());
  Allow = true;
  F->Close();  // caHide by default
  EXPECT_FALSE(F->Visible());
  EXPECT_FALSE(IsWindowVisible(F->Handle()));
  // The system's close button takes the same road.
  F->Show();
  uitest::Pump();
  SendMessageW(F->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(F->Visible());
  EXPECT_TRUE(IsWindow(F->Handle()));
  // caFree frees the form once the waiting messages are handled.
  bool Destroyed = false;
  F->OnDestroy = [&](TObject*) { Destroyed = true; };
  F->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
  const int Forms = Screen->FormCount();
  F->Close();
  EXPECT_FALSE(Destroyed);
  uitest::Pump();
  EXPECT_TRUE(Destroyed);
  EXPECT_EQ(Screen->FormCount(), Forms - 1);
}

TEST(Closing, ClosingTheMainFormEndsRun) {
  TSetupForm* Main = nullptr;
  Application->CreateForm(Main);
  ASSERT_EQ(Application->MainForm(), Main);
  int Shows = 0;
  Main->OnShow = [&](TObject*) {
    ++Shows;
    PostMessageW(Main->Handle(), WM_CLOSE, 0, 0);
  };
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(Shows, 1);
  delete Main;
}

TEST(Modal, ShowModalDisablesTheOtherWindowsUntilAResult) {
  auto Other = std::make_unique<TForm>(nullptr);
  Other->Show();
  uitest::Pump();
  auto D = std::make_unique<TForm>(nullptr);
  int Begins = 0, Ends = 0;
  Application->OnModalBegin = [&](TObject*) { ++Begins; };
  Application->OnModalEnd = [&](TObject*) { ++Ends; };
  bool OtherEnabledMeanwhile = true, ModalState = false;
  int Queries = 0;
  D->OnShow = [&](TObject*) {
    OtherEnabledMeanwhile = IsWindowEnabled(Other->Handle()) != FALSE;
    ModalState = D->FormState().Contains(fsModal);
    PostMessageW(D->Handle(), WM_CLOSE, 0, 0);
    PostMessageW(D->Handle(), WM_CLOSE, 0, 0);
  };
  D->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++Queries > 1; };  // refuses once
  EXPECT_EQ(D->ShowModal(), mrCancel);
  EXPECT_EQ(Queries, 2);
  EXPECT_FALSE(OtherEnabledMeanwhile);
  EXPECT_TRUE(ModalState);
  EXPECT_TRUE(IsWindowEnabled(Other->Handle()));
  EXPECT_FALSE(D->Visible());
  EXPECT_FALSE(D->FormState().Contains(fsModal));
  EXPECT_EQ(Begins, 1);
  EXPECT_EQ(Ends, 1);
  // A result set at once ends the modal state at once.
  D->OnCloseQuery = nullptr;
  D->OnShow = [&](TObject*) { D->SetModalResult(mrOk); };
  EXPECT_EQ(D->ShowModal(), mrOk);
  // A visible form cannot become modal.
  D->Show();
  EXPECT_THROW(D->ShowModal(), EInvalidOperation);
  Application->OnModalBegin = nullptr;
  Application->OnModalEnd = nullptr;
}

TEST(ApplicationWindow, HooksSeeMessagesFirstNewestFirst) {
  std::string Log;
  bool Activated = false;
  Application->OnActivate = [&](TObject*) { Activated = true; };
  int First = Application->HookMainWindow([&](TMessage& M) {
    if (M.Msg == CM_ACTIVATE) Log += "1";
    return false;
  });
  int Second = Application->HookMainWindow([&](TMessage& M) {
    if (M.Msg != CM_ACTIVATE) return false;
    Log += "2";
    return M.WParam == 7;  // handled: the application does nothing more
  });
  PostMessageW(Application->Handle(), CM_ACTIVATE, 7, 0);
  uitest::Pump();
  EXPECT_EQ(Log, "2");
  EXPECT_FALSE(Activated);
  // The application's activation arrives as CM_ACTIVATE.
  Log.clear();
  SendMessageW(Application->Handle(), WM_ACTIVATEAPP, TRUE, 0);
  uitest::Pump();
  EXPECT_EQ(Log, "21");
  EXPECT_TRUE(Activated);
  Application->UnhookMainWindow(Second);
  Log.clear();
  PostMessageW(Application->Handle(), CM_ACTIVATE, 7, 0);
  uitest::Pump();
  EXPECT_EQ(Log, "1");
  Application->UnhookMainWindow(First);
  Log.clear();
  PostMessageW(Application->Handle(), CM_ACTIVATE, 0, 0);
  uitest::Pump();
  EXPECT_EQ(Log, "");
  Application->OnActivate = nullptr;
}

TEST(Activation, FormsTellActivationAndTheScreenFollows) {
  auto A = std::make_unique<TForm>(nullptr);
  auto B = std::make_unique<TForm>(nullptr);
  A->SetBounds(0, 0, 200, 100);
  B->SetBounds(300, 0, 200, 100);
  std::string Log;
  A->OnActivate = [&](TObject*) { Log += "+A"; };
  A->OnDeactivate = [&](TObject*) { Log += "-A"; };
  B->OnActivate = [&](TObject*) { Log += "+B"; };
  int UIActivations = 0;
  TWndMethod Saved = B->WindowProc();
  B->SetWindowProc([&, Saved](TMessage& M) {
    if (M.Msg == CM_UIACTIVATE) ++UIActivations;
    Saved(M);
  });
  A->Show();
  ASSERT_TRUE(uitest::WaitFor([&] { return A->Active(); }));
  EXPECT_EQ(Screen->ActiveForm(), A.get());
  B->Show();
  ASSERT_TRUE(uitest::WaitFor([&] { return B->Active(); }));
  EXPECT_FALSE(A->Active());
  EXPECT_EQ(Screen->ActiveForm(), B.get());
  EXPECT_EQ(Log, "+A-A+B");
  EXPECT_EQ(UIActivations, 1);
  B->SetWindowProc(Saved);
}

TEST(Activation, TheScreenForgetsAnActiveControlThatGoesAway) {
  // A focused control goes with its form: nothing may reach it through the screen afterwards.
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(0, 0, 200, 100);
  auto* E = new TEdit(F.get());
  E->SetParent(F.get());
  F->Show();
  ASSERT_TRUE(uitest::WaitFor([&] { return F->Active(); }));
  E->SetFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return Screen->ActiveControl() == E; }));
  E->FreeNotification(F.get());
  F.reset();
  EXPECT_EQ(Screen->ActiveControl(), nullptr);
  // A focused control deleted on its own leaves the screen's active control too.
  auto G = std::make_unique<TForm>(nullptr);
  auto* E2 = new TEdit(G.get());
  E2->SetParent(G.get());
  G->Show();
  ASSERT_TRUE(uitest::WaitFor([&] { return G->Active(); }));
  E2->SetFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return Screen->ActiveControl() == E2; }));
  delete E2;
  EXPECT_NE(Screen->ActiveControl(), static_cast<TWinControl*>(E2));
  G.reset();
  EXPECT_EQ(Screen->ActiveControl(), nullptr);
}

TEST(FormStyles, BorderStylesAndIconsShapeTheWindow) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(10, 10, 200, 150);
  int BorderChanges = 0;
  TWndMethod Saved = F->WindowProc();
  F->SetWindowProc([&, Saved](TMessage& M) {
    if (M.Msg == CM_BORDERCHANGED) ++BorderChanges;
    Saved(M);
  });
  auto Style = [&] { return static_cast<DWORD>(GetWindowLongW(F->Handle(), GWL_STYLE)); };
  auto ExStyle = [&] { return static_cast<DWORD>(GetWindowLongW(F->Handle(), GWL_EXSTYLE)); };
  EXPECT_TRUE(Style() & WS_THICKFRAME);
  EXPECT_TRUE(Style() & WS_MAXIMIZEBOX);
  EXPECT_EQ(GetWindow(F->Handle(), GW_OWNER), Application->Handle());
  HWND Old = F->Handle();
  F->SetBorderStyle(bsDialog);
  EXPECT_NE(F->Handle(), Old);
  EXPECT_EQ(BorderChanges, 1);
  EXPECT_TRUE(ExStyle() & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(Style() & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
  F->SetBorderStyle(bsSingle);
  F->SetBorderIcons({biSystemMenu, biMinimize});
  EXPECT_TRUE(Style() & WS_MINIMIZEBOX);
  EXPECT_FALSE(Style() & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  F->SetBorderStyle(bsNone);
  EXPECT_TRUE(Style() & WS_POPUP);
  EXPECT_FALSE(Style() & WS_CAPTION);
  EXPECT_EQ(F->BoundsRect(), Bounds(10, 10, 200, 150));
  EXPECT_EQ(F->ClientRect(), Rect(0, 0, 200, 150));
  // Centred on the work area when first shown.
  F->SetPosition(poScreenCenter);
  F->Show();
  uitest::Pump();
  TRect WA = Screen->WorkAreaRect();
  EXPECT_EQ(F->Left(), WA.Left + (WA.Width() - 200) / 2);
  EXPECT_EQ(F->Top(), WA.Top + (WA.Height() - 150) / 2);
  F->SetWindowState(wsMaximized);
  uitest::Pump();
  EXPECT_TRUE(IsZoomed(F->Handle()));
  F->SetWindowState(wsNormal);
  uitest::Pump();
  EXPECT_FALSE(IsZoomed(F->Handle()));
  EXPECT_EQ(F->Width(), 200);
  F->SetWindowProc(Saved);
}

// A minimized form that was hidden stays hidden when it is moved or sized, in any state it is
// given; shown again and restored, it takes the bounds it was given.
TEST(FormStyles, AHiddenMinimizedFormStaysHiddenWhenItsBoundsChange) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(40, 40, 300, 200);
  uitest::ShowSettled(F.get());
  F->SetWindowState(wsMinimized);
  uitest::Pump();
  F->Hide();
  uitest::Pump();
  F->SetBounds(60, 70, 320, 220);
  uitest::Pump();
  EXPECT_FALSE(IsWindowVisible(F->Handle()));
  F->SetWindowState(wsMaximized);
  F->SetWindowState(wsNormal);
  uitest::Pump();
  EXPECT_FALSE(IsWindowVisible(F->Handle()));
  F->Show();
  uitest::Pump();
  EXPECT_TRUE(IsWindowVisible(F->Handle()));
  EXPECT_EQ(F->BoundsRect(), Bounds(60, 70, 320, 220));
}

// A form hidden while its system menu was open stays hidden whichever size command the menu then
// gives.
TEST(FormStyles, AHiddenFormStaysHiddenWhenItsSystemMenuChangesItsState) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(40, 40, 300, 200);
  uitest::ShowSettled(F.get());
  F->Hide();
  for (const WPARAM Command : {SC_MAXIMIZE, SC_MINIMIZE, SC_RESTORE}) {
    SendMessageW(F->Handle(), WM_SYSCOMMAND, Command, 0);
    uitest::Pump();
    EXPECT_FALSE(IsWindowVisible(F->Handle())) << Command;
  }
  F->Show();
  uitest::Pump();
  EXPECT_TRUE(IsWindowVisible(F->Handle()));
  EXPECT_FALSE(IsZoomed(F->Handle()) || IsIconic(F->Handle()));
}

TEST(ScreenObject, FormsCursorsAndMetrics) {
  const int Before = Screen->FormCount();
  auto A = std::make_unique<TForm>(nullptr);
  auto B = std::make_unique<TForm>(nullptr);
  ASSERT_EQ(Screen->FormCount(), Before + 2);
  EXPECT_EQ(Screen->Forms(Before), A.get());
  EXPECT_EQ(Screen->Forms(Before + 1), B.get());
  EXPECT_THROW(Screen->Forms(Before + 2), EListError);
  A.reset();
  EXPECT_EQ(Screen->FormCount(), Before + 1);
  EXPECT_EQ(Screen->Forms(Before), B.get());

  EXPECT_EQ(Screen->Cursors(crDefault), LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
  EXPECT_EQ(Screen->Cursors(crIBeam), LoadCursorW(nullptr, MAKEINTRESOURCEW(32513)));
  EXPECT_EQ(Screen->Cursors(crNone), nullptr);
  EXPECT_EQ(Screen->Cursors(4003), Screen->Cursors(crDefault));  // not registered yet
  HCURSOR Own = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
  Screen->SetCursors(4003, Own);
  EXPECT_EQ(Screen->Cursors(4003), Own);
  Screen->SetCursors(4003, Screen->Cursors(crCross));
  EXPECT_EQ(Screen->Cursors(4003), Screen->Cursors(crCross));

  TRect WA = Screen->WorkAreaRect();
  EXPECT_FALSE(WA.IsEmpty());
  EXPECT_LE(WA.Width(), Screen->Width());
  EXPECT_GE(Screen->MonitorCount(), 1);
  EXPECT_TRUE(Screen->PrimaryMonitor()->Primary());
  EXPECT_EQ(B->Monitor()->WorkareaRect(), Screen->PrimaryMonitor()->WorkareaRect());
  EXPECT_FALSE(Screen->MenuFont()->Name().empty());
  EXPECT_FALSE(Screen->HintFont()->Name().empty());
}

TEST(Hints, HintWindowMeasuresShowsAndHides) {
  THintWindow* H = HintWindowClass(nullptr);
  std::unique_ptr<THintWindow> Owned(H);
  TRect Short = H->CalcHintRect(400, L"Hi");
  TRect Long = H->CalcHintRect(400, L"A much longer hint text");
  TRect Wrapped = H->CalcHintRect(60, L"A much longer hint text");
  EXPECT_GT(Long.Width(), Short.Width());
  EXPECT_EQ(Long.Height(), Short.Height());
  EXPECT_GT(Wrapped.Height(), Long.Height());
  EXPECT_LE(Wrapped.Width(), 60 + 6);
  TRect R = Long;
  R.Offset(100, 100);
  H->ActivateHint(R, L"A much longer hint text");
  ASSERT_TRUE(H->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(H->Handle()));
  EXPECT_TRUE(GetWindowLongW(H->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(H->BoundsRect(), R);
  EXPECT_EQ(uitest::WindowPixel(H->Handle(), R.Width() - 4, R.Height() - 4), ColorToRGB(clInfoBk));
  H->ReleaseHandle();
  EXPECT_FALSE(H->HandleAllocated());
}

TEST(Hints, AHintFitsTheWorkAreaWhateverItsText) {
  std::unique_ptr<THintWindow> H(HintWindowClass(nullptr));
  const TRect Work = Screen->WorkAreaRect();
  const struct {
    const char* Name;
    WideString Text;
    int MaxWidth;
  } Cases[] = {{"two million characters", WideString(2000000, L'7'), Screen->Width()},
               {"a word of 300 characters", WideString(300, L'w'), 140},
               {"2000 lines", [] {
                  WideString T;
                  for (int I = 0; I < 2000; ++I) T += L"Line\n";
                  return T;
                }(),
                Screen->Width()}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TRect R = H->CalcHintRect(C.MaxWidth, C.Text);
    EXPECT_LE(R.Width(), std::min(C.MaxWidth + 6, Work.Width()));
    EXPECT_LE(R.Height(), Work.Height());
    // Shown near the bottom right corner, it is moved into the work area.
    R.Offset(Work.Right - 10, Work.Bottom - 10);
    H->ActivateHint(R, C.Text);
    const TRect Shown = H->BoundsRect();
    EXPECT_TRUE(Shown.Left >= Work.Left && Shown.Top >= Work.Top && Shown.Right <= Work.Right &&
                Shown.Bottom <= Work.Bottom);
    // A text far too long to show is cut, and the cut is marked.
    if (C.Text.size() > 1000) {
      ASSERT_GE(H->Text().size(), 3u);
      EXPECT_LE(H->Text().size(), 1003u);
      EXPECT_EQ(H->Text().substr(H->Text().size() - 3), L"...");
    }
    H->ReleaseHandle();
  }
}

TEST(Hints, TheApplicationShowsTheShortHintOfTheControlUnderThePointer) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(100, 100, 300, 200);
  auto* B = new TFormsBox(F.get());
  B->SetBounds(10, 10, 100, 100);
  B->SetParent(F.get());
  B->SetHint(L"Short|The long text");
  B->SetShowHint(true);
  F->Show();
  uitest::Pump();
  TPoint P = B->ClientToScreen(Point(20, 20));
  realinput::MovePointer(POINT{P.X, P.Y});
  Application->ActivateHint(P);
  ASSERT_NE(Application->HintWindow(), nullptr);
  EXPECT_TRUE(IsWindowVisible(Application->HintWindow()->Handle()));
  EXPECT_EQ(Application->HintWindow()->Text(), L"Short");
  EXPECT_EQ(Application->HintControl(), B);
  Application->CancelHint();
  EXPECT_FALSE(Application->HintWindow()->HandleAllocated());
  // The control may refuse its hint.
  TWndMethod Saved = B->WindowProc();
  B->SetWindowProc([Saved](TMessage& M) {
    if (M.Msg == CM_HINTSHOW) {
      M.Result = 1;
      return;
    }
    Saved(M);
  });
  Application->ActivateHint(P);
  EXPECT_FALSE(Application->HintWindow()->HandleAllocated());
  B->SetWindowProc(Saved);
  // Hints off for the whole application.
  Application->SetShowHint(false);
  Application->ActivateHint(P);
  EXPECT_FALSE(Application->HintWindow()->HandleAllocated());
  Application->SetShowHint(true);
}
