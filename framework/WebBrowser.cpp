#include "framework/WebBrowser.h"

#include <vector>

#include "framework/Forms.h"
#include "framework/Strings.h"

// ---- TWebDocument -------------------------------------------------------------------------------

TWebDocument::TWebDocument(const WideString& URL) : FURL(URL) {}

TWebDocument::~TWebDocument() { SetSource(nullptr); }

void TWebDocument::SetSource(IStream* Stream) {
  if (Stream != nullptr) Stream->AddRef();
  if (FSource != nullptr) FSource->Release();
  FSource = Stream;
}

void TWebDocument::Changed() {
  if (OnChange) OnChange();
}

AnsiString TWebDocument::StreamAddress() const {
  // The flash variables are the value of the parameter named "flashvars"; "src=" starts the
  // stream's address inside it.
  std::size_t At = FHtml.find("name=\"flashvars\"");
  if (At == AnsiString::npos) return AnsiString();
  At = FHtml.find("value=\"", At);
  if (At == AnsiString::npos) return AnsiString();
  At += 7;
  const std::size_t ValueEnd = FHtml.find('"', At);
  const AnsiString Value = FHtml.substr(At, ValueEnd == AnsiString::npos ? AnsiString::npos : ValueEnd - At);
  std::size_t Src = 0;
  while (true) {
    Src = Value.find("src=", Src);
    if (Src == AnsiString::npos) return AnsiString();
    if (Src == 0 || Value[Src - 1] == '&') break;
    Src += 4;
  }
  Src += 4;
  const std::size_t End = Value.find('&', Src);
  return Value.substr(Src, End == AnsiString::npos ? AnsiString::npos : End - Src);
}

HRESULT STDMETHODCALLTYPE TWebDocument::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch))
    *ppvObject = static_cast<IDispatch*>(this);
  else if (IsEqualIID(riid, IID_IPersistStreamInit) || IsEqualIID(riid, IID_IPersist))
    *ppvObject = static_cast<IPersistStreamInit*>(this);
  else {
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TWebDocument::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&FRefCount)); }

ULONG STDMETHODCALLTYPE TWebDocument::Release() {
  const LONG N = InterlockedDecrement(&FRefCount);
  if (N == 0) delete this;
  return static_cast<ULONG>(N);
}

HRESULT STDMETHODCALLTYPE TWebDocument::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebDocument::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo != nullptr) *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE TWebDocument::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
  if (rgDispId != nullptr)
    for (UINT I = 0; I < cNames; ++I) rgDispId[I] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TWebDocument::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TWebDocument::GetClassID(CLSID* pClassID) {
  if (pClassID == nullptr) return E_POINTER;
  *pClassID = CLSID_NULL;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebDocument::IsDirty() { return S_FALSE; }

HRESULT STDMETHODCALLTYPE TWebDocument::Load(LPSTREAM pStm) {
  if (pStm == nullptr) return E_POINTER;
  AnsiString Page;
  std::vector<char> Buffer(0x4000);
  while (true) {
    ULONG Read = 0;
    const HRESULT R = pStm->Read(Buffer.data(), static_cast<ULONG>(Buffer.size()), &Read);
    if (FAILED(R)) return R;
    if (Read == 0) break;
    Page.append(Buffer.data(), Read);
  }
  FHtml = std::move(Page);
  ++FLoadCount;
  SetSource(pStm);
  Changed();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebDocument::Save(LPSTREAM pStm, BOOL) {
  if (pStm == nullptr) return E_POINTER;
  ULONG Written = 0;
  const HRESULT R = pStm->Write(FHtml.data(), static_cast<ULONG>(FHtml.size()), &Written);
  if (FAILED(R)) return R;
  return Written == FHtml.size() ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT STDMETHODCALLTYPE TWebDocument::GetSizeMax(ULARGE_INTEGER* pCbSize) {
  if (pCbSize == nullptr) return E_POINTER;
  pCbSize->QuadPart = FHtml.size();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebDocument::InitNew() {
  FHtml.clear();
  SetSource(nullptr);
  Changed();
  return S_OK;
}

// ---- TWebBrowser --------------------------------------------------------------------------------

namespace {

constexpr UINT WM_NAVIGATIONDONE = WM_APP + 0x2B1;
constexpr const wchar_t* NotifyClassName = L"TWebBrowserNotify";

}  // namespace

LRESULT CALLBACK WebBrowserNotifyProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Msg == WM_NAVIGATIONDONE) {
    auto* Browser = reinterpret_cast<TWebBrowser*>(GetWindowLongPtrW(W, GWLP_USERDATA));
    if (Browser != nullptr) {
      try {
        Browser->CompleteNavigation(static_cast<unsigned>(WP));
      } catch (...) {
        if (Application != nullptr) Application->HandleException(Browser);
      }
    }
    return 0;
  }
  return DefWindowProcW(W, Msg, WP, LP);
}

TWebBrowser::TWebBrowser(TComponent* AOwner) : TCustomControl(AOwner) {
  FParentColor = false;
  FColor = clBlack;
  Brush()->SetColor(clBlack);
  FControlStyle.Include(csOpaque);
  SetParentFont(false);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-16);
  Font()->SetColor(clWhite);
  SetBounds(Left(), Top(), 300, 150);

  if (!RegisterPlainWindowClass(NotifyClassName, WebBrowserNotifyProc))
    throw EOutOfResources("Cannot register the browser's notification window class");
  FNotifyWindow = CreateMessageWindow(NotifyClassName);
  if (FNotifyWindow == nullptr) throw EOutOfResources("Cannot create the browser's notification window");
  SetWindowLongPtrW(FNotifyWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TWebBrowser::~TWebBrowser() {
  // Completions still in the queue go with the window.
  SetWindowLongPtrW(FNotifyWindow, GWLP_USERDATA, 0);
  DestroyWindow(FNotifyWindow);
  ReleaseDocument();
}

void TWebBrowser::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
}

void TWebBrowser::ReleaseDocument() {
  if (FDocument == nullptr) return;
  FDocument->OnChange = nullptr;
  TWebDocument* D = FDocument;
  FDocument = nullptr;
  D->Release();
}

IDispatch* TWebBrowser::Document() const { return FDocument != nullptr ? static_cast<IDispatch*>(FDocument) : nullptr; }

void TWebBrowser::Navigate(const AnsiString& URL) { Navigate(AnsiToWide(URL)); }

void TWebBrowser::Navigate(const WideString& URL) {
  if (URL.empty()) throw EInvalidOperation("Navigate needs an address");
  FLocationURL = URL;
  FReadyState = READYSTATE_LOADING;
  ++FSerial;
  if (!FHoldNavigations) PostCompletion();
  Invalidate();
}

void TWebBrowser::PostCompletion() {
  if (!PostMessageW(FNotifyWindow, WM_NAVIGATIONDONE, static_cast<WPARAM>(FSerial), 0))
    throw EOutOfResources("The browser cannot queue the completion of its navigation");
}

void TWebBrowser::SetHoldNavigations(bool Value) {
  if (FHoldNavigations == Value) return;
  FHoldNavigations = Value;
  if (!Value && FReadyState == READYSTATE_LOADING) PostCompletion();
}

void TWebBrowser::CompleteNavigation(unsigned Serial) {
  // Only the latest navigation completes, and not while navigations are held.
  if (Serial != FSerial || FHoldNavigations || FReadyState != READYSTATE_LOADING) return;
  ReleaseDocument();
  FDocument = new TWebDocument(FLocationURL);
  FDocument->OnChange = [this] { Invalidate(); };
  FReadyState = READYSTATE_COMPLETE;
  Invalidate();
}

WideString TWebBrowser::ShownAddress() const {
  if (FDocument != nullptr) {
    const AnsiString Stream = FDocument->StreamAddress();
    if (!Stream.empty()) return AnsiToWide(Stream);
  }
  return FLocationURL;
}

bool TWebBrowser::NewWindow(const WideString& URL) {
  IDispatch* Disp = nullptr;
  bool Cancel = false;
  if (OnNewWindow2) OnNewWindow2(this, Disp, Cancel);
  if (Disp != nullptr) {
    Disp->Release();
    return !Cancel;
  }
  if (Cancel) return false;
  Navigate(URL);
  return true;
}

void TWebBrowser::Paint() {
  TCanvas* C = Canvas();
  const TRect R = ClientRect();
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(Color());
  C->FillRect(R);
  const WideString Text = ShownAddress();
  if (Text.empty()) return;
  C->SetFont(Font());
  C->Brush()->SetStyle(bsClear);
  TRect TR{R.Left + 4, R.Top, R.Right - 4, R.Bottom};
  WideString Shown = Text;
  C->TextRect(TR, Shown, TTextFormat{tfCenter, tfVerticalCenter, tfSingleLine, tfNoPrefix, tfEndEllipsis});
}
