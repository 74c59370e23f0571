// TWebBrowser: the browser control of the framework. The platform's browser control cannot be
// hosted here (no HTML engine, no player plug-in), so this control is a stand-in of our own that
// offers what the program relies on and shows, instead of a rendered page, which address it was
// sent to:
//  - Navigate(URL) records the address and starts a navigation: ReadyState becomes
//    READYSTATE_LOADING at once, and READYSTATE_COMPLETE when the navigation completes, which it
//    does asynchronously, through the message queue (a program waiting for it must handle
//    messages). Completion gives the browser a new, empty document for that address. A newer
//    navigation replaces one that has not completed yet.
//  - Document is that document: a COM object (TWebDocument) answering IUnknown, IDispatch (with
//    no members), IPersist and IPersistStreamInit, whose Load reads the whole IStream it is given
//    as the page's bytes. Like a document that parses its page while the data arrives, it keeps
//    a reference to that stream until it is loaded again or released.
//  - OnNewWindow2 is asked when a page wants to open a new window (NewWindow).
//  - It paints on black, in its Font, the address of the stream that the loaded page's player
//    object would play (the "src=" value of its flash variables), or else the address it was
//    navigated to.
// Win32.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>

#include "framework/Controls.h"

// The document of a TWebBrowser. Reference counted: made with one reference held by its maker;
// it frees itself when the last reference is released.
class TWebDocument : public TObject, public IDispatch, public IPersistStreamInit {
  T_CLASS(TWebDocument, TObject)

 public:
  explicit TWebDocument(const WideString& URL);

  // The address the document was created for.
  const WideString& URL() const { return FURL; }
  // The page's bytes as the last Load read them (empty after InitNew and at first).
  const AnsiString& Html() const { return FHtml; }
  // How many times Load took a page.
  int LoadCount() const { return FLoadCount; }
  // The stream of the last Load, kept by the document (not AddRef'ed for the caller); nullptr
  // when there was none.
  IStream* SourceStream() const { return FSource; }
  // The address of the stream that the page's player object plays: the "src=" value of its
  // flash variables, up to '&' or the closing quote; empty when the page has none.
  AnsiString StreamAddress() const;
  // Fires after Load or InitNew changed the page.
  std::function<void()> OnChange;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: a document without members (no type information, every name unknown).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
  // IPersist / IPersistStreamInit. Load reads pStm to its end (E_POINTER for none; a failing read
  // keeps the previous page and answers the failure). Save writes the page; GetSizeMax tells its
  // length; InitNew empties the page; IsDirty answers S_FALSE; GetClassID gives CLSID_NULL.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;

 protected:
  // Freed only through Release.
  ~TWebDocument() override;

 private:
  void SetSource(IStream* Stream);
  void Changed();

  WideString FURL;
  AnsiString FHtml;
  int FLoadCount = 0;
  IStream* FSource = nullptr;
  LONG FRefCount = 1;
};

// ppDisp: a browser object the handler supplies for the new window (AddRef'ed; the browser
// releases it), nullptr to leave the window to the browser. Cancel: True keeps any window from
// opening.
using TWebBrowserNewWindow2 = std::function<void(TObject* Sender, IDispatch*& ppDisp, bool& Cancel)>;

class TWebBrowser : public TCustomControl {
  T_CLASS(TWebBrowser, TCustomControl)

 public:
  explicit TWebBrowser(TComponent* AOwner);
  ~TWebBrowser() override;

  // Starts a navigation to URL (see the notes at the top). An empty URL raises
  // EInvalidOperation "Navigate needs an address".
  void Navigate(const WideString& URL);
  void Navigate(const AnsiString& URL);
  // READYSTATE_UNINITIALIZED before the first navigation, READYSTATE_LOADING while one is under
  // way, READYSTATE_COMPLETE once it completed.
  READYSTATE ReadyState() const { return FReadyState; }
  bool Busy() const { return FReadyState == READYSTATE_LOADING; }
  // The document of the last completed navigation (not AddRef'ed: valid while the browser keeps
  // it, that is until the next navigation completes); nullptr before the first one.
  IDispatch* Document() const;
  TWebDocument* DocumentObject() const { return FDocument; }
  // The address of the last navigation.
  const WideString& LocationURL() const { return FLocationURL; }
  // What the browser shows: the stream address of the loaded page when it has one, else the
  // address it was navigated to (empty before the first navigation).
  WideString ShownAddress() const;

  // A stand-in for a server that does not answer: while set, navigations start but do not
  // complete; clearing it lets the latest one complete (through the message queue).
  bool HoldNavigations() const { return FHoldNavigations; }
  void SetHoldNavigations(bool Value);

  // A page asks for a new window showing URL: OnNewWindow2 decides. When it neither cancels nor
  // supplies a browser, this browser, having no second window, shows URL itself (Navigate).
  // Returns true when a window was opened (by the handler's browser or by this one).
  bool NewWindow(const WideString& URL);

  TWebBrowserNewWindow2 OnNewWindow2;

 protected:
  void Paint() override;
  void CreateParams(TCreateParams& Params) override;

 private:
  friend LRESULT CALLBACK WebBrowserNotifyProc(HWND, UINT, WPARAM, LPARAM);
  void PostCompletion();
  void CompleteNavigation(unsigned Serial);
  void ReleaseDocument();

  READYSTATE FReadyState = READYSTATE_UNINITIALIZED;
  WideString FLocationURL;
  TWebDocument* FDocument = nullptr;
  unsigned FSerial = 0;  // the number of the latest navigation
  bool FHoldNavigations = false;
  HWND FNotifyWindow = nullptr;  // receives the completions (a message-only window)
};
