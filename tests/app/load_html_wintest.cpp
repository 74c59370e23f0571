// Loading a page into the browser: the wait for the document sleeps between messages and ends
// with the application or the form, the newest of nested loads (or the special page selected
// meanwhile) is the page that stays, and the page's stream lives as long as the document keeps
// it.
#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "framework/StreamAdapter.h"
#include "support/AppTestHelpers.h"
#include "support/FreedMemoryGuard.h"

using namespace apptest;

namespace {

struct TLoader : TProgramRun {
  TLoader() : TProgramRun("s\r\n", "One|1,x\r\nTwo|2,x\r\n") {}
};

// A safety net for a wait that never goes idle: after a few seconds the timer stops the wait
// the way the test would have, so that a faulty wait fails the test instead of hanging it.
struct TBackstop {
  static inline bool Fired = false;
  static inline std::function<void()> Action;
  UINT_PTR Id;
  explicit TBackstop(std::function<void()> A) {
    Fired = false;
    Action = std::move(A);
    Id = SetTimer(nullptr, 0, 5000, Expired);
  }
  static void CALLBACK Expired(HWND, UINT, UINT_PTR, DWORD) {
    if (Fired) return;
    Fired = true;
    if (Action) Action();
  }
  ~TBackstop() {
    KillTimer(nullptr, Id);
    Action = nullptr;
  }
};

// Wakes a wait that sleeps in the message loop.
void Wake() { PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0); }

// Runs Select (which selects a row), and Meanwhile while that row's page waits (a message
// handled in the wait); true when Meanwhile ran.
bool DuringTheLoad(const std::function<void()>& Select, const std::function<void()>& Meanwhile) {
  bool Ran = false;
  Application->OnMessage = [&](MSG& Msg, bool& Handled) {
    if (Msg.message != WM_APP + 7 || Ran) return;
    Ran = true;
    Handled = true;
    Meanwhile();
  };
  PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, 0, 0);
  Select();
  Application->OnMessage = nullptr;
  return Ran;
}

// Selects row First, and runs Meanwhile while First's page waits.
bool DuringTheLoad(int First, const std::function<void()>& Meanwhile) {
  return DuringTheLoad([First] { Form1->NxGrid1->SelectCell(0, First); }, Meanwhile);
}

// Selects row First, and row Second while First's page waits.
bool SelectDuringTheLoad(int First, int Second) {
  return DuringTheLoad(First, [Second] { Form1->NxGrid1->SelectCell(0, Second); });
}

}  // namespace

TEST(LoadHtml, LoadsThePageBytesIntoTheDocument) {
  TLoader L;
  const std::string Page = std::string("<p>\0binary\xFF", 11) + std::string(40000, 'z');
  Form1->LoadHtml(Page);
  ASSERT_NE(L.Browser()->DocumentObject(), nullptr);
  EXPECT_EQ(L.Browser()->DocumentObject()->Html(), Page);
  EXPECT_EQ(L.Browser()->DocumentObject()->LoadCount(), 1);
  EXPECT_EQ(L.Browser()->LocationURL(), L"about:blank");
}

TEST(LoadHtml, WaitsForTheDocumentSleepingBetweenMessages) {
  TLoader L;
  L.Browser()->SetHoldNavigations(true);
  int IdleCount = 0;
  bool ReadyWhenIdle = true;
  // The first time the wait goes idle, the server answers.
  Application->OnIdle = [&](TObject*) {
    if (IdleCount++ == 0) {
      ReadyWhenIdle = L.Browser()->ReadyState() >= READYSTATE_INTERACTIVE;
      L.Browser()->SetHoldNavigations(false);
    }
  };
  TBackstop Backstop([&] { L.Browser()->SetHoldNavigations(false); });
  Form1->LoadHtml("<html>page</html>");
  Application->OnIdle = nullptr;
  EXPECT_FALSE(TBackstop::Fired) << "the wait never went idle";
  EXPECT_GE(IdleCount, 1);
  EXPECT_FALSE(ReadyWhenIdle);
  EXPECT_EQ(LoadedPage(L.Browser()), "<html>page</html>");
}

TEST(LoadHtml, TerminatingTheApplicationEndsTheWait) {
  TLoader L;
  L.Browser()->SetHoldNavigations(true);
  Application->OnIdle = [&](TObject*) {
    Application->Terminate();
    Wake();
  };
  TBackstop Backstop([&] {
    Application->Terminate();
    L.Browser()->SetHoldNavigations(false);
  });
  Form1->LoadHtml("<html>never</html>");
  Application->OnIdle = nullptr;
  EXPECT_FALSE(TBackstop::Fired);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(L.Browser()->ReadyState(), READYSTATE_LOADING);
  EXPECT_EQ(L.Browser()->DocumentObject(), nullptr);
}

TEST(LoadHtml, AnApplicationAlreadyTerminatedDoesNotWait) {
  TLoader L;
  L.Browser()->SetHoldNavigations(true);
  Application->Terminate();
  TBackstop Backstop([&] { L.Browser()->SetHoldNavigations(false); });
  Form1->LoadHtml("<html>late</html>");
  EXPECT_FALSE(TBackstop::Fired);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(L.Browser()->DocumentObject(), nullptr);
}

TEST(LoadHtml, DestroyingTheFormEndsTheWait) {
  TLoader L;
  L.Browser()->SetHoldNavigations(true);
  bool Destroyed = false;
  Application->OnIdle = [&](TObject*) {
    if (Destroyed) return;
    Destroyed = true;
    delete Form1;
    Form1 = nullptr;
    Wake();
  };
  TBackstop Backstop([] {});
  Form1->LoadHtml("<html>gone</html>");
  Application->OnIdle = nullptr;
  EXPECT_TRUE(Destroyed);
  EXPECT_EQ(Form1, nullptr);
  EXPECT_FALSE(Application->Terminated());
}

// The form freed while the page of a click or a navigation key on the list loads: the list's end
// of the click or the key touches nothing of the freed list.
TEST(LoadHtml, TheFormFreedWhileTheListsPageLoadsLeavesNothingTouched) {
  const struct {
    const char* Name;
    std::function<void(HWND List, TPoint Row1)> Send;
  } Ways[] = {
      {"a click", [](HWND List, TPoint P) { SendMessageW(List, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(P.X, P.Y)); }},
      {"Down", [](HWND List, TPoint) { SendMessageW(List, WM_KEYDOWN, VK_DOWN, 0); }},
      {"End", [](HWND List, TPoint) { SendMessageW(List, WM_KEYDOWN, VK_END, 0); }},
  };
  for (const auto& W : Ways) {
    SCOPED_TRACE(W.Name);
    TLoader L;
    ShowMainForm();
    Form1->NxGrid1->SelectCell(0, 0);
    const TPoint Row1 = RowPoint(Form1->NxGrid1, 1);
    const HWND List = Form1->NxGrid1->Handle();
    memguard::TFaultCount Faults;
    EXPECT_TRUE(DuringTheLoad([&] { W.Send(List, Row1); }, [] {
      delete Form1;
      Form1 = nullptr;
    }));
    Pump();
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(Faults.Count(), 0);
    EXPECT_TRUE(L.Boxes.Texts.empty()) << (L.Boxes.Texts.empty() ? std::string() : WideToAnsi(L.Boxes.Texts[0]));
  }
}

TEST(LoadHtml, NestedLoadsLeaveTheNewestPage) {
  TLoader L;
  // While the first load waits, a second one runs to its end inside the wait.
  L.Browser()->SetHoldNavigations(true);
  int Nested = 0;
  Application->OnIdle = [&](TObject*) {
    if (Nested++ != 0) return;
    L.Browser()->SetHoldNavigations(false);
    Form1->LoadHtml("<html>second</html>");
    Wake();
  };
  TBackstop Backstop([&] { L.Browser()->SetHoldNavigations(false); });
  Form1->LoadHtml("<html>first</html>");
  Application->OnIdle = nullptr;
  ASSERT_EQ(Nested >= 1, true);
  EXPECT_EQ(LoadedPage(L.Browser()), "<html>second</html>");
  EXPECT_EQ(L.Browser()->DocumentObject()->LoadCount(), 1);
  Pump();
  EXPECT_EQ(LoadedPage(L.Browser()), "<html>second</html>");
}

TEST(LoadHtml, NestedSelectionsLeaveTheLatestChannel) {
  TLoader L;
  EXPECT_TRUE(SelectDuringTheLoad(0, 1));
  EXPECT_EQ(LoadedPage(L.Browser()), ExpectedPage("2"));
}

TEST(LoadHtml, TheSpecialPageSelectedWhileAPageLoadsStays) {
  TProgramRun Run("s\r\n", "One|1,x\r\nSpecial|666,x\r\n");
  EXPECT_TRUE(SelectDuringTheLoad(0, 1));
  ASSERT_TRUE(WaitFor([&] { return Run.Browser()->ReadyState() == READYSTATE_COMPLETE; }));
  EXPECT_EQ(Run.Browser()->LocationURL(), L"http://special.tavisko.invalid/page1.html");
  ASSERT_NE(Run.Browser()->DocumentObject(), nullptr);
  EXPECT_EQ(Run.Browser()->DocumentObject()->LoadCount(), 0) << LoadedPage(Run.Browser());
}

// The newest selection wins even when its id is no integer: its error is shown, and the page of
// the older selection is given up.
TEST(LoadHtml, ANewerSelectionWithABadIdWhileAPageLoadsGivesUpThatPage) {
  TProgramRun Run("s\r\n", "One|1,x\r\nBad|b,x\r\n");
  // The key goes through the grid's window, which shows the failure of its handler.
  EXPECT_TRUE(DuringTheLoad(0, [] { SendMessageW(Form1->NxGrid1->Handle(), WM_KEYDOWN, VK_DOWN, 0); }));
  EXPECT_EQ(Form1->NxGrid1->SelectedRow(), 1);
  EXPECT_EQ(Run.Boxes.Texts, std::vector<WideString>{L"'b' is not a valid integer value."});
  ASSERT_TRUE(WaitFor([&] { return Run.Browser()->ReadyState() == READYSTATE_COMPLETE; }));
  ASSERT_NE(Run.Browser()->DocumentObject(), nullptr);
  EXPECT_EQ(Run.Browser()->DocumentObject()->LoadCount(), 0) << LoadedPage(Run.Browser());
}

TEST(LoadHtml, ThePageStreamLivesAsLongAsTheDocumentKeepsIt) {
  TLoader L;
  const std::string Page = ExpectedPage("42");
  Form1->LoadHtml(Page);
  TWebDocument* Doc = L.Browser()->DocumentObject();
  ASSERT_NE(Doc, nullptr);
  IStream* S = Doc->SourceStream();
  ASSERT_NE(S, nullptr);
  auto* Adapter = dynamic_cast<TStreamAdapter*>(S);
  ASSERT_NE(Adapter, nullptr);
  EXPECT_EQ(Adapter->StreamOwnership(), soOwned);
  // LoadHtml has returned; the stream can still be read from the start.
  LARGE_INTEGER Zero{};
  ASSERT_EQ(S->Seek(Zero, STREAM_SEEK_SET, nullptr), S_OK);
  std::string Again(Page.size() + 10, '\0');
  ULONG Read = 0;
  ASSERT_EQ(S->Read(Again.data(), static_cast<ULONG>(Again.size()), &Read), S_OK);
  Again.resize(Read);
  EXPECT_EQ(Again, Page);
  // Keeping the document keeps the stream after the browser moved on.
  Doc->AddRef();
  Form1->LoadHtml("<html>next</html>");
  ASSERT_EQ(S->Seek(Zero, STREAM_SEEK_SET, nullptr), S_OK);
  Read = 0;
  std::string Third(Page.size(), '\0');
  ASSERT_EQ(S->Read(Third.data(), static_cast<ULONG>(Third.size()), &Read), S_OK);
  EXPECT_EQ(Third, Page);
  Doc->Release();
}
