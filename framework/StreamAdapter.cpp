#include "framework/StreamAdapter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// ---- TStreamAdapter ----------------------------------------------------------------------------

TStreamAdapter::TStreamAdapter(TStream* Stream, TStreamOwnership Ownership)
    : FStream(Stream), FOwnership(Ownership) {
  if (!Stream) throw EInvalidPointer("Invalid pointer operation");
}

TStreamAdapter::~TStreamAdapter() {
  if (FOwnership == soOwned) delete FStream;
}

IStream* TStreamAdapter::Create(TStream* Stream, TStreamOwnership Ownership) {
  IStream* S = new TStreamAdapter(Stream, Ownership);
  S->AddRef();
  return S;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) || IsEqualIID(riid, IID_IStream)) {
    *ppvObject = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TStreamAdapter::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&FRefCount)); }

ULONG STDMETHODCALLTYPE TStreamAdapter::Release() {
  LONG N = InterlockedDecrement(&FRefCount);
  if (N == 0) delete this;
  return static_cast<ULONG>(N);
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead) *pcbRead = 0;
  if (!pv) return STG_E_INVALIDPOINTER;
  try {
    int64_t N = FStream->Read(pv, cb);
    if (pcbRead) *pcbRead = static_cast<ULONG>(N);
    return S_OK;
  } catch (...) {
    return STG_E_READFAULT;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  if (!pv) return STG_E_INVALIDPOINTER;
  try {
    int64_t N = FStream->Write(pv, cb);
    if (pcbWritten) *pcbWritten = static_cast<ULONG>(N);
    return N == static_cast<int64_t>(cb) ? S_OK : STG_E_MEDIUMFULL;
  } catch (...) {
    return STG_E_CANTSAVE;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                               ULARGE_INTEGER* plibNewPosition) {
  if (dwOrigin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
  try {
    int64_t P = FStream->Seek(dlibMove.QuadPart, static_cast<TSeekOrigin>(dwOrigin));
    if (plibNewPosition) plibNewPosition->QuadPart = static_cast<ULONGLONG>(P);
    return S_OK;
  } catch (...) {
    return STG_E_INVALIDFUNCTION;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::SetSize(ULARGE_INTEGER libNewSize) {
  if (libNewSize.QuadPart > static_cast<ULONGLONG>(INT64_MAX)) return STG_E_INVALIDFUNCTION;
  try {
    int64_t Wanted = static_cast<int64_t>(libNewSize.QuadPart);
    FStream->SetSize(Wanted);
    return FStream->Size() == Wanted ? S_OK : E_FAIL;
  } catch (...) {
    return STG_E_MEDIUMFULL;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                                 ULARGE_INTEGER* pcbWritten) {
  if (pcbRead) pcbRead->QuadPart = 0;
  if (pcbWritten) pcbWritten->QuadPart = 0;
  if (!pstm) return STG_E_INVALIDPOINTER;
  constexpr ULONG ChunkSize = 0x10000;
  std::vector<char> Buf;
  ULONGLONG Left = cb.QuadPart, TotalRead = 0, TotalWritten = 0;
  HRESULT Result = S_OK;
  try {
    Buf.resize(static_cast<std::size_t>(std::min<ULONGLONG>(Left, ChunkSize)));
    while (Left > 0) {
      ULONG Want = static_cast<ULONG>(std::min<ULONGLONG>(Left, ChunkSize));
      int64_t Got = FStream->Read(Buf.data(), Want);
      if (Got <= 0) break;
      TotalRead += static_cast<ULONGLONG>(Got);
      ULONG Put = 0;
      Result = pstm->Write(Buf.data(), static_cast<ULONG>(Got), &Put);
      TotalWritten += Put;
      if (FAILED(Result)) break;
      if (Put != static_cast<ULONG>(Got)) {
        Result = STG_E_MEDIUMFULL;
        break;
      }
      Left -= static_cast<ULONGLONG>(Got);
    }
  } catch (...) {
    Result = STG_E_READFAULT;
  }
  if (pcbRead) pcbRead->QuadPart = TotalRead;
  if (pcbWritten) pcbWritten->QuadPart = TotalWritten;
  return Result;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Commit(DWORD) { return S_OK; }

HRESULT STDMETHODCALLTYPE TStreamAdapter::Revert() { return S_OK; }

HRESULT STDMETHODCALLTYPE TStreamAdapter::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Stat(STATSTG* pstatstg, DWORD) {
  if (!pstatstg) return STG_E_INVALIDPOINTER;
  ZeroMemory(pstatstg, sizeof(*pstatstg));
  pstatstg->type = STGTY_STREAM;
  try {
    pstatstg->cbSize.QuadPart = static_cast<ULONGLONG>(FStream->Size());
  } catch (...) {
    return STG_E_ACCESSDENIED;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Clone(IStream** ppstm) {
  if (ppstm) *ppstm = nullptr;
  return STG_E_INVALIDFUNCTION;
}

// ---- TResourceStream ---------------------------------------------------------------------------

TResourceStream::TResourceStream(HINSTANCE Instance, const AnsiString& ResName, const char* ResType) {
  Initialize(Instance, ResName.c_str(), ResType, ResName);
}

TResourceStream::TResourceStream(HINSTANCE Instance, int ResID, const char* ResType) {
  Initialize(Instance, MAKEINTRESOURCEA(ResID), ResType, Format("%d", ResID));
}

void TResourceStream::Initialize(HINSTANCE Instance, const char* Name, const char* Type, const AnsiString& ShownName) {
  HRSRC Info = FindResourceA(Instance, Name, Type);
  HGLOBAL Handle = Info ? LoadResource(Instance, Info) : nullptr;
  const void* Data = Handle ? LockResource(Handle) : nullptr;
  if (!Data) throw EResNotFound(Format("Resource %s not found", ShownName));
  // A loaded resource stays mapped with its module; nothing needs freeing.
  SetPointer(const_cast<void*>(Data), SizeofResource(Instance, Info));
}
