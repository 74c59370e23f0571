// Streams meeting the system: the IStream adapter over a TStream (for the browser document and
// other COM consumers) and read-only streams over module resources. Win32 only.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "framework/Streams.h"

enum TStreamOwnership { soReference, soOwned };

// A COM object implementing IStream over a TStream. The object is reference counted: it is made
// with new (count 0), handed out through AddRef/QueryInterface and frees itself when the last
// reference is released; with soOwned it then frees the stream too. It is a simple,
// non-transacted stream: Commit and Revert succeed doing nothing; LockRegion, UnlockRegion and
// Clone answer STG_E_INVALIDFUNCTION. Exceptions of the stream never cross the interface: they
// become error results.
class TStreamAdapter : public TObject, public IStream {
  T_CLASS(TStreamAdapter, TObject)

  // A null Stream raises EInvalidPointer.
  TStreamAdapter(TStream* Stream, TStreamOwnership Ownership = soReference);
  // A new adapter with one reference held by the caller.
  static IStream* Create(TStream* Stream, TStreamOwnership Ownership = soReference);

  TStream* Stream() const { return FStream; }
  TStreamOwnership StreamOwnership() const { return FOwnership; }
  void SetStreamOwnership(TStreamOwnership Value) { FOwnership = Value; }

  // IUnknown: IUnknown, ISequentialStream and IStream; E_NOINTERFACE otherwise.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ISequentialStream. Read answers S_OK also when the end comes first (pcbRead tells how many
  // bytes came; 0 at the end). Write answers STG_E_MEDIUMFULL when fewer bytes were written and
  // STG_E_CANTSAVE when the stream refuses writing.
  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;

  // IStream. Seek to a negative position or with an unknown origin answers STG_E_INVALIDFUNCTION.
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
  // Fills type STGTY_STREAM and cbSize; no name is returned (pwcsName is null).
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override;

 protected:
  // Freed only through Release.
  ~TStreamAdapter() override;

 private:
  TStream* FStream;
  TStreamOwnership FOwnership;
  LONG FRefCount = 0;
};

// A read-only stream over a resource of a module. A missing resource raises EResNotFound
// "Resource %s not found".
class TResourceStream : public TReadOnlyMemoryStream {
  T_CLASS(TResourceStream, TReadOnlyMemoryStream)

  // ResType is a type name or a MAKEINTRESOURCE value such as RT_RCDATA.
  TResourceStream(HINSTANCE Instance, const AnsiString& ResName, const char* ResType);
  // The resource with a numeric identifier (the message names it by its number).
  TResourceStream(HINSTANCE Instance, int ResID, const char* ResType);

 private:
  void Initialize(HINSTANCE Instance, const char* Name, const char* Type, const AnsiString& ShownName);
};
