// The IStream adapter through its COM interface, with system stream consumers, and resource
// streams over a system module's resources.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <ole2.h>
#include <olectl.h>

#include "framework/StreamAdapter.h"

namespace {

// A memory stream that reports its destruction.
class TWatchedStream : public TMemoryStream {
 public:
  explicit TWatchedStream(bool& Freed) : FFreed(Freed) { FFreed = false; }
  ~TWatchedStream() override { FFreed = true; }

 private:
  bool& FFreed;
};

std::string ReadAll(IStream* S, ULONG Chunk) {
  std::string Out;
  std::string Buf(Chunk, '\0');
  for (;;) {
    ULONG Got = 12345;
    HRESULT Hr = S->Read(Buf.data(), Chunk, &Got);
    EXPECT_EQ(Hr, S_OK);
    if (Got == 0 || FAILED(Hr)) break;
    Out.append(Buf.data(), Got);
  }
  return Out;
}

LARGE_INTEGER Li(LONGLONG V) {
  LARGE_INTEGER L;
  L.QuadPart = V;
  return L;
}

ULARGE_INTEGER Uli(ULONGLONG V) {
  ULARGE_INTEGER L;
  L.QuadPart = V;
  return L;
}

std::string Pattern(std::size_t N) {
  std::string S(N, '\0');
  for (std::size_t I = 0; I < N; ++I) S[I] = static_cast<char>(I * 31 + 7);
  return S;
}

}  // namespace

TEST(StreamAdapter, ReadsTheWholeStreamAndSeeks) {
  TMemoryStream Mem;
  std::string Data = Pattern(100000);
  Mem.WriteAnsiString(Data);
  Mem.SetPosition(0);
  IStream* S = TStreamAdapter::Create(&Mem);
  EXPECT_EQ(ReadAll(S, 4096), Data);

  ULARGE_INTEGER Pos = Uli(99);
  EXPECT_EQ(S->Seek(Li(-10), STREAM_SEEK_END, &Pos), S_OK);
  EXPECT_EQ(Pos.QuadPart, 99990u);
  EXPECT_EQ(ReadAll(S, 3), Data.substr(99990));
  EXPECT_EQ(S->Seek(Li(5), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(S->Seek(Li(2), STREAM_SEEK_CUR, &Pos), S_OK);
  EXPECT_EQ(Pos.QuadPart, 7u);
  EXPECT_EQ(S->Seek(Li(-8), STREAM_SEEK_CUR, &Pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(S->Seek(Li(0), 3, &Pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(Mem.Position(), 7);  // refused seeks leave the position
  EXPECT_EQ(S->Read(nullptr, 4, nullptr), STG_E_INVALIDPOINTER);
  EXPECT_EQ(S->Release(), 0u);
  EXPECT_EQ(Mem.Size(), 100000);  // a referenced stream outlives the adapter
}

TEST(StreamAdapter, StatReportsAStreamAndItsSize) {
  TMemoryStream Mem;
  Mem.WriteAnsiString("12345");
  IStream* S = TStreamAdapter::Create(&Mem);
  STATSTG St;
  std::memset(&St, 0xCC, sizeof(St));
  EXPECT_EQ(S->Stat(&St, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(St.type, static_cast<DWORD>(STGTY_STREAM));
  EXPECT_EQ(St.cbSize.QuadPart, 5u);
  EXPECT_EQ(St.pwcsName, nullptr);
  EXPECT_EQ(S->Stat(nullptr, STATFLAG_DEFAULT), STG_E_INVALIDPOINTER);
  S->Release();
}

TEST(StreamAdapter, InterfacesAndReferenceCounting) {
  bool Freed = false;
  auto* Mem = new TWatchedStream(Freed);
  IStream* S = TStreamAdapter::Create(Mem, soOwned);

  IUnknown* Unk = nullptr;
  ISequentialStream* Seq = nullptr;
  IStream* Again = nullptr;
  ASSERT_EQ(S->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&Unk)), S_OK);
  ASSERT_EQ(S->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&Seq)), S_OK);
  ASSERT_EQ(S->QueryInterface(IID_IStream, reinterpret_cast<void**>(&Again)), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(Again), Unk);  // one identity
  void* Other = reinterpret_cast<void*>(1);
  EXPECT_EQ(S->QueryInterface(IID_IPersistStream, &Other), E_NOINTERFACE);
  EXPECT_EQ(Other, nullptr);
  EXPECT_EQ(S->QueryInterface(IID_IStream, nullptr), E_POINTER);

  EXPECT_EQ(S->AddRef(), 5u);
  EXPECT_EQ(S->Release(), 4u);
  Unk->Release();
  Seq->Release();
  Again->Release();
  EXPECT_FALSE(Freed);
  EXPECT_EQ(S->Release(), 0u);  // the last reference frees the adapter and its owned stream
  EXPECT_TRUE(Freed);
  EXPECT_THROW(TStreamAdapter::Create(nullptr), EInvalidPointer);
}

TEST(StreamAdapter, WritesAndResizesTheUnderlyingStream) {
  TMemoryStream Mem;
  IStream* S = TStreamAdapter::Create(&Mem);
  ULONG Put = 0;
  EXPECT_EQ(S->Write("abcdef", 6, &Put), S_OK);
  EXPECT_EQ(Put, 6u);
  EXPECT_EQ(S->SetSize(Uli(3)), S_OK);
  EXPECT_EQ(Mem.Size(), 3);
  EXPECT_EQ(S->SetSize(Uli(~0ull)), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(S->SetSize(Uli(1ull << 62)), STG_E_MEDIUMFULL);  // more than memory holds
  EXPECT_EQ(Mem.Size(), 3);
  EXPECT_EQ(S->Write(nullptr, 1, &Put), STG_E_INVALIDPOINTER);
  EXPECT_EQ(S->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(S->Revert(), S_OK);
  EXPECT_EQ(S->LockRegion(Uli(0), Uli(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(S->UnlockRegion(Uli(0), Uli(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  IStream* Copy = reinterpret_cast<IStream*>(1);
  EXPECT_EQ(S->Clone(&Copy), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(Copy, nullptr);
  S->Release();

  const char Fixed[] = "fixed";
  TReadOnlyMemoryStream Ro(Fixed, 5);
  IStream* R = TStreamAdapter::Create(&Ro);
  EXPECT_EQ(R->Write("x", 1, &Put), STG_E_CANTSAVE);
  EXPECT_EQ(Put, 0u);
  R->Release();
}

TEST(StreamAdapter, CopiesToAndFromSystemStreams) {
  std::string Data = Pattern(200000);
  TMemoryStream Mem;
  Mem.WriteAnsiString(Data);
  Mem.SetPosition(100);
  IStream* S = TStreamAdapter::Create(&Mem);

  IStream* Sys = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &Sys), S_OK);
  ULARGE_INTEGER Read{}, Written{};
  EXPECT_EQ(S->CopyTo(Sys, Uli(~0ull), &Read, &Written), S_OK);  // "everything" from the position
  EXPECT_EQ(Read.QuadPart, 199900u);
  EXPECT_EQ(Written.QuadPart, 199900u);
  EXPECT_EQ(S->CopyTo(nullptr, Uli(1), nullptr, nullptr), STG_E_INVALIDPOINTER);

  // The system stream copies back into ours, calling our Write.
  TMemoryStream Back;
  IStream* B = TStreamAdapter::Create(&Back);
  ASSERT_EQ(Sys->Seek(Li(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(Sys->CopyTo(B, Uli(50000), &Read, &Written), S_OK);
  EXPECT_EQ(Back.Size(), 50000);
  EXPECT_EQ(std::string(static_cast<const char*>(Back.Memory()), 50000), Data.substr(100, 50000));
  B->Release();
  Sys->Release();
  S->Release();
}

TEST(StreamAdapter, SystemPictureLoaderReadsAnImageThroughIt) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  // A 2 x 1 24-bit bitmap file.
  const unsigned char Bmp[] = {
      'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,         // file header
      40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,       // info header
      0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 255, 255, 0, 0, 0, 0};                            // red, blue, padding
  TMemoryStream* Mem = new TMemoryStream;
  Mem->WriteBuffer(Bmp, sizeof(Bmp));
  Mem->SetPosition(0);
  IStream* S = TStreamAdapter::Create(Mem, soOwned);
  IPicture* Pic = nullptr;
  HRESULT Hr = OleLoadPicture(S, sizeof(Bmp), FALSE, IID_IPicture, reinterpret_cast<void**>(&Pic));
  ASSERT_EQ(Hr, S_OK);
  ASSERT_NE(Pic, nullptr);
  SHORT Type = 0;
  EXPECT_EQ(Pic->get_Type(&Type), S_OK);
  EXPECT_EQ(Type, PICTYPE_BITMAP);
  OLE_HANDLE H = 0;
  ASSERT_EQ(Pic->get_Handle(&H), S_OK);
  BITMAP Bm{};
  ASSERT_NE(GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(H)), sizeof(Bm), &Bm), 0);
  EXPECT_EQ(Bm.bmWidth, 2);
  EXPECT_EQ(Bm.bmHeight, 1);
  Pic->Release();
  S->Release();
  CoUninitialize();
}

TEST(ResourceStream, ReadsAModuleResource) {
  HMODULE Kernel = GetModuleHandleA("kernel32.dll");
  ASSERT_NE(Kernel, nullptr);
  TResourceStream R(Kernel, VS_VERSION_INFO, RT_VERSION);
  ASSERT_GT(R.Size(), 40);
  EXPECT_EQ(R.Size(), static_cast<int64_t>(SizeofResource(Kernel, FindResourceA(Kernel, MAKEINTRESOURCEA(1), RT_VERSION))));
  EXPECT_LE(R.ReadUInt16(), R.Size());  // the block's own length
  R.SetPosition(6);
  std::wstring Key;
  for (wchar_t C; (C = static_cast<wchar_t>(R.ReadUInt16())) != 0;) Key += C;
  EXPECT_EQ(Key, L"VS_VERSION_INFO");
  EXPECT_THROW(R.WriteBuffer("x", 1), EStreamError);
  EXPECT_THROW(R.SetSize(0), EStreamError);

  // Through the adapter as well.
  IStream* S = TStreamAdapter::Create(new TResourceStream(Kernel, VS_VERSION_INFO, RT_VERSION), soOwned);
  STATSTG St{};
  EXPECT_EQ(S->Stat(&St, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(St.cbSize.QuadPart, static_cast<ULONGLONG>(R.Size()));
  S->Release();
}

TEST(ResourceStream, MissingResourceRaisesResNotFound) {
  HMODULE Self = GetModuleHandleA(nullptr);
  try {
    TResourceStream R(Self, "NOSUCHRES", RT_RCDATA);
    FAIL() << "no exception";
  } catch (const EResNotFound& E) {
    EXPECT_EQ(E.Message, "Resource NOSUCHRES not found");
  }
  try {
    TResourceStream R(Self, 4321, RT_RCDATA);
    FAIL() << "no exception";
  } catch (const EResNotFound& E) {
    EXPECT_EQ(E.Message, "Resource 4321 not found");
  }
}
