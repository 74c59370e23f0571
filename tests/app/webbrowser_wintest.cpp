// The browser control: asynchronous navigation and ready states, its document as a COM object
// that reads whole streams, new-window requests, and what it paints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/Exceptions.h"
#include "framework/StreamAdapter.h"
#include "framework/Streams.h"
#include "framework/WebBrowser.h"
#include "support/AppTestHelpers.h"
#include "support/FreedMemoryGuard.h"

using namespace apptest;

namespace {

// An IStream that hands out at most Chunk bytes per Read and, when FailAt is reached, fails.
class TTrickleStream : public IStream {
 public:
  TTrickleStream(std::string Data, ULONG Chunk, std::size_t FailAt = std::string::npos)
      : FData(std::move(Data)), FChunk(Chunk), FFailAt(FailAt) {}
  int Reads = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) || IsEqualIID(riid, IID_IStream)) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG N = --FRefs;
    if (N == 0) delete this;
    return N;
  }
  ULONG Refs() const { return FRefs; }
  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    ++Reads;
    if (FPos >= FFailAt) return STG_E_READFAULT;
    ULONG N = std::min<ULONG>(std::min<ULONG>(cb, FChunk), static_cast<ULONG>(FData.size() - FPos));
    std::memcpy(pv, FData.data() + FPos, N);
    FPos += N;
    if (pcbRead != nullptr) *pcbRead = N;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_CANTSAVE; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return STG_E_INVALIDFUNCTION; }

 private:
  virtual ~TTrickleStream() = default;
  std::string FData;
  ULONG FChunk;
  std::size_t FFailAt;
  std::size_t FPos = 0;
  ULONG FRefs = 1;
};

// A browser on a form of its own.
struct TBrowserForm {
  TForm* Form;
  TWebBrowser* Browser;
  TBrowserForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(60, 60, 660, 480);
    Browser = new TWebBrowser(Form);
    Browser->SetParent(Form);
    Browser->SetAlign(alClient);
  }
  ~TBrowserForm() {
    delete Form;
    Pump();
  }
  TBrowserForm(const TBrowserForm&) = delete;
  TBrowserForm& operator=(const TBrowserForm&) = delete;

  // Navigates and handles messages until the navigation completed.
  TWebDocument* Open(const wchar_t* URL) {
    Browser->Navigate(WideString(URL));
    WaitFor([&] { return Browser->ReadyState() == READYSTATE_COMPLETE; });
    return Browser->DocumentObject();
  }
};

IPersistStreamInit* PersistOf(TWebBrowser* B) {
  IPersistStreamInit* P = nullptr;
  if (B->Document() == nullptr || FAILED(B->Document()->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&P))))
    return nullptr;
  return P;
}

}  // namespace

TEST(WebBrowserNavigation, CompletesThroughTheMessageQueue) {
  TBrowserForm F;
  EXPECT_EQ(F.Browser->ReadyState(), READYSTATE_UNINITIALIZED);
  EXPECT_EQ(F.Browser->Document(), nullptr);
  F.Browser->Navigate(AnsiString("about:blank"));
  EXPECT_EQ(F.Browser->ReadyState(), READYSTATE_LOADING);
  EXPECT_TRUE(F.Browser->Busy());
  EXPECT_EQ(F.Browser->Document(), nullptr);
  EXPECT_EQ(F.Browser->LocationURL(), L"about:blank");
  Pump();
  EXPECT_EQ(F.Browser->ReadyState(), READYSTATE_COMPLETE);
  ASSERT_NE(F.Browser->DocumentObject(), nullptr);
  EXPECT_EQ(F.Browser->DocumentObject()->URL(), L"about:blank");
  EXPECT_EQ(F.Browser->DocumentObject()->Html(), "");
}

TEST(WebBrowserNavigation, TheNewestNavigationWins) {
  TBrowserForm F;
  TWebDocument* First = F.Open(L"about:blank");
  F.Browser->Navigate(WideString(L"http://a.invalid/"));
  F.Browser->Navigate(WideString(L"http://b.invalid/"));
  // Until completion the old document stays.
  EXPECT_EQ(F.Browser->DocumentObject(), First);
  Pump();
  ASSERT_NE(F.Browser->DocumentObject(), nullptr);
  EXPECT_EQ(F.Browser->DocumentObject()->URL(), L"http://b.invalid/");
  EXPECT_EQ(F.Browser->LocationURL(), L"http://b.invalid/");
}

TEST(WebBrowserNavigation, HeldNavigationsWaitUntilReleased) {
  TBrowserForm F;
  F.Browser->SetHoldNavigations(true);
  F.Browser->Navigate(WideString(L"http://slow.invalid/"));
  Pump();
  EXPECT_EQ(F.Browser->ReadyState(), READYSTATE_LOADING);
  F.Browser->SetHoldNavigations(false);
  EXPECT_EQ(F.Browser->ReadyState(), READYSTATE_LOADING);
  Pump();
  EXPECT_EQ(F.Browser->ReadyState(), READYSTATE_COMPLETE);
  EXPECT_EQ(F.Browser->DocumentObject()->URL(), L"http://slow.invalid/");
}

TEST(WebBrowserNavigation, AnEmptyAddressIsRefused) {
  TBrowserForm F;
  EXPECT_THROW(F.Browser->Navigate(WideString()), EInvalidOperation);
  EXPECT_EQ(F.Browser->ReadyState(), READYSTATE_UNINITIALIZED);
}

// A window closed while its page loads: the completion already queued goes with the browser. No
// window of it is left, and the completion never reaches the freed browser (which would make a
// document for it: the freed-memory guard checks that nothing wrote to what was freed).
TEST(WebBrowserNavigation, ABrowserDestroyedWhileLoadingTakesItsQueuedCompletionAlong) {
  auto NotifyWindows = [] {
    int N = 0;
    for (HWND W = nullptr; (W = FindWindowExW(HWND_MESSAGE, W, L"TWebBrowserNotify", nullptr)) != nullptr;) ++N;
    return N;
  };
  const int Before = NotifyWindows();
  const unsigned Freed = memguard::FreedSequence();
  const memguard::TCounts Start = memguard::Counts();
  auto* B = new TWebBrowser(nullptr);
  B->Navigate(WideString(L"about:blank"));
  EXPECT_EQ(NotifyWindows(), Before + 1);
  delete B;
  Pump();
  memguard::CheckFreedSince(Freed);
  EXPECT_EQ(memguard::Counts().HeapFaults, Start.HeapFaults) << memguard::DescribeSince(Start);
  EXPECT_EQ(NotifyWindows(), Before);
}

TEST(WebDocument, AnswersItsInterfacesOnly) {
  TBrowserForm F;
  F.Open(L"about:blank");
  IDispatch* D = F.Browser->Document();
  ASSERT_NE(D, nullptr);
  IUnknown* U1 = nullptr;
  IUnknown* U2 = nullptr;
  IPersistStreamInit* P = nullptr;
  IPersist* PB = nullptr;
  IStream* S = nullptr;
  ASSERT_EQ(D->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&U1)), S_OK);
  ASSERT_EQ(D->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&P)), S_OK);
  ASSERT_EQ(P->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&U2)), S_OK);
  EXPECT_EQ(U1, U2);  // one object
  EXPECT_EQ(P->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&PB)), S_OK);
  EXPECT_EQ(D->QueryInterface(IID_IStream, reinterpret_cast<void**>(&S)), E_NOINTERFACE);
  EXPECT_EQ(S, nullptr);
  LPOLESTR Name = const_cast<LPOLESTR>(L"body");
  DISPID Id = 0;
  EXPECT_EQ(D->GetIDsOfNames(IID_NULL, &Name, 1, 0, &Id), DISP_E_UNKNOWNNAME);
  PB->Release();
  U2->Release();
  U1->Release();
  P->Release();
}

TEST(WebDocument, LoadReadsTheWholeStreamInPieces) {
  TBrowserForm F;
  F.Open(L"about:blank");
  IPersistStreamInit* P = PersistOf(F.Browser);
  ASSERT_NE(P, nullptr);
  std::string Page;
  for (int I = 0; I < 5000; ++I) Page += static_cast<char>(I * 7);
  auto* S = new TTrickleStream(Page, 3);
  EXPECT_EQ(P->Load(S), S_OK);
  EXPECT_EQ(F.Browser->DocumentObject()->Html(), Page);
  EXPECT_GT(S->Reads, 1000);
  // The document keeps the stream until it is loaded again.
  EXPECT_EQ(S->Refs(), 2u);
  EXPECT_EQ(F.Browser->DocumentObject()->SourceStream(), S);
  S->Release();

  ULARGE_INTEGER Size{};
  EXPECT_EQ(P->GetSizeMax(&Size), S_OK);
  EXPECT_EQ(Size.QuadPart, Page.size());
  TMemoryStream Saved;
  IStream* Out = TStreamAdapter::Create(&Saved);
  EXPECT_EQ(P->Save(Out, TRUE), S_OK);
  Out->Release();
  Saved.SetPosition(0);
  EXPECT_EQ(Saved.ReadAnsiString(Saved.Size()), Page);

  EXPECT_EQ(P->InitNew(), S_OK);
  EXPECT_EQ(F.Browser->DocumentObject()->Html(), "");
  EXPECT_EQ(F.Browser->DocumentObject()->SourceStream(), nullptr);
  P->Release();
}

TEST(WebDocument, AFailingStreamKeepsThePreviousPage) {
  TBrowserForm F;
  F.Open(L"about:blank");
  IPersistStreamInit* P = PersistOf(F.Browser);
  ASSERT_NE(P, nullptr);
  auto* Good = new TTrickleStream("<b>kept</b>", 100);
  ASSERT_EQ(P->Load(Good), S_OK);
  Good->Release();
  auto* Bad = new TTrickleStream(std::string(100, 'x'), 10, 50);
  EXPECT_EQ(P->Load(Bad), STG_E_READFAULT);
  Bad->Release();
  EXPECT_EQ(F.Browser->DocumentObject()->Html(), "<b>kept</b>");
  EXPECT_EQ(F.Browser->DocumentObject()->LoadCount(), 1);
  EXPECT_EQ(P->Load(nullptr), E_POINTER);
  P->Release();
}

TEST(WebDocument, FindsTheStreamAddressOfThePlayerObject) {
  TBrowserForm F;
  TWebDocument* D = F.Open(L"about:blank");
  IPersistStreamInit* P = PersistOf(F.Browser);
  auto Load = [&](const std::string& Page) {
    IStream* S = new TTrickleStream(Page, 1000);
    P->Load(S);
    S->Release();
  };
  Load(ExpectedPage("12"));
  EXPECT_EQ(D->StreamAddress(), "http://198.51.100.20:5021/live/12|c03");
  Load("<param name=\"flashvars\" value=\"a=1&src=http://h.invalid/s\">");
  EXPECT_EQ(D->StreamAddress(), "http://h.invalid/s");
  Load("<param name=\"flashvars\" value=\"xsrc=1\">");
  EXPECT_EQ(D->StreamAddress(), "");
  Load("<html>no player</html>");
  EXPECT_EQ(D->StreamAddress(), "");
  EXPECT_EQ(F.Browser->ShownAddress(), L"about:blank");
  P->Release();
}

TEST(WebBrowserNewWindow, TheHandlerDecides) {
  TBrowserForm F;
  F.Open(L"about:blank");
  // Cancelled: nothing opens.
  F.Browser->OnNewWindow2 = [](TObject*, IDispatch*&, bool& Cancel) { Cancel = true; };
  EXPECT_FALSE(F.Browser->NewWindow(L"http://pop.invalid/"));
  EXPECT_EQ(F.Browser->LocationURL(), L"about:blank");
  // The handler supplies a browser of its own: this one stays, and releases it.
  TBrowserForm Other;
  TWebDocument* OtherDoc = Other.Open(L"about:blank");
  OtherDoc->AddRef();
  F.Browser->OnNewWindow2 = [&](TObject* Sender, IDispatch*& Disp, bool&) {
    EXPECT_EQ(Sender, F.Browser);
    Disp = Other.Browser->Document();
    Disp->AddRef();
  };
  EXPECT_TRUE(F.Browser->NewWindow(L"http://pop.invalid/"));
  EXPECT_EQ(F.Browser->LocationURL(), L"about:blank");
  EXPECT_EQ(OtherDoc->Release(), 1u);
  // Left to the browser: it shows the address itself.
  F.Browser->OnNewWindow2 = nullptr;
  EXPECT_TRUE(F.Browser->NewWindow(L"http://pop.invalid/"));
  EXPECT_EQ(F.Browser->LocationURL(), L"http://pop.invalid/");
}

TEST(WebBrowserPaint, ShowsTheStreamAddressOnBlack) {
  TBrowserForm F;
  F.Form->Show();
  Settle(F.Form->Handle());
  // Nothing navigated: all black.
  {
    TCapture C(F.Browser->Handle());
    EXPECT_TRUE(C.Extent(0x000000).IsEmpty());
  }
  F.Open(L"about:blank");
  IPersistStreamInit* P = PersistOf(F.Browser);
  IStream* S = new TTrickleStream(ExpectedPage("12"), 1000);
  P->Load(S);
  S->Release();
  P->Release();
  Pump();
  UpdateWindow(F.Browser->Handle());
  const WideString Address = L"http://198.51.100.20:5021/live/12|c03";
  EXPECT_EQ(F.Browser->ShownAddress(), Address);
  TCapture Shown(F.Browser->Handle());
  Shown.MaybeSave("browser_address");
  const TRect Text = Shown.Extent(0x000000);
  ASSERT_FALSE(Text.IsEmpty());
  // The text sits in the middle of the control.
  const int MidX = (Text.Left + Text.Right) / 2, MidY = (Text.Top + Text.Bottom) / 2;
  EXPECT_NEAR(MidX, Shown.Width() / 2, 2);
  EXPECT_NEAR(MidY, Shown.Height() / 2, 8);
  // It is exactly the address in the browser's font, white on black; another id is not.
  const TCapture Expected = RenderText(Address, F.Browser->Font(), 600, 60);
  const TCapture Other = RenderText(L"http://198.51.100.20:5021/live/13|c03", F.Browser->Font(), 600, 60);
  EXPECT_TRUE(TCapture::SamePixels(Shown, Text, Expected, Expected.Extent(0x000000)));
  EXPECT_FALSE(TCapture::SamePixels(Shown, Text, Other, Other.Extent(0x000000)));
}
