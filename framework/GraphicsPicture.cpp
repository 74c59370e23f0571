// The graphics unit's icon and picture classes, and the registry of picture file formats that
// TPicture loads and saves by extension.
#include "framework/Graphics.h"

#include <cstring>

#include "framework/BmpFile.h"
#include "framework/Convert.h"
#include "framework/Streams.h"
#include "framework/Strings.h"

namespace {

[[noreturn]] void OutOfResources() { throw EOutOfResources("Out of system resources"); }

}  // namespace

// TIcon

namespace {

[[noreturn]] void BadIcon(const char* Why) { throw EInvalidGraphic(Format("Icon image is not valid: %s", Why)); }

void IconSize(HICON Icon, int& W, int& H) {
  W = H = 0;
  ICONINFO ii{};
  if (!GetIconInfo(Icon, &ii)) return;
  BITMAP bm{};
  if (ii.hbmColor && GetObjectA(ii.hbmColor, sizeof(bm), &bm)) {
    W = bm.bmWidth;
    H = bm.bmHeight;
  } else if (ii.hbmMask && GetObjectA(ii.hbmMask, sizeof(bm), &bm)) {
    W = bm.bmWidth;
    H = bm.bmHeight / 2;
  }
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  if (ii.hbmMask) DeleteObject(ii.hbmMask);
}

}  // namespace

TIcon::TIcon() { FTransparent = true; }

TIcon::~TIcon() {
  if (FHandle) DestroyIcon(FHandle);
}

void TIcon::Reset(HICON Value, int W, int H, std::vector<Byte> Data) {
  HICON old = FHandle;
  FHandle = Value;
  FWidth = Value ? W : 0;
  FHeight = Value ? H : 0;
  FData = std::move(Data);
  if (old && old != Value) DestroyIcon(old);
  Changed(this);
}

void TIcon::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    Reset(nullptr, 0, 0, {});
    return;
  }
  if (auto* i = dynamic_cast<TIcon*>(Source)) {
    HICON copy = i->FHandle ? CopyIcon(i->FHandle) : nullptr;
    if (i->FHandle && !copy) OutOfResources();
    Reset(copy, i->FWidth, i->FHeight, i->FData);
    return;
  }
  TGraphic::Assign(Source);
}

void TIcon::SetWidth(int Value) {
  if (Value != FWidth) throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHeight(int Value) {
  if (Value != FHeight) throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHandle(HICON Value) {
  if (Value == FHandle) return;
  int w = 0, h = 0;
  if (Value) IconSize(Value, w, h);
  Reset(Value, w, h, {});
}

HICON TIcon::ReleaseHandle() {
  HICON h = FHandle;
  FHandle = nullptr;
  FWidth = FHeight = 0;
  FData.clear();
  if (h) Changed(this);
  return h;
}

void TIcon::LoadFromStream(TStream& Stream) {
  const std::int64_t start = Stream.Position();
  TIconFileImage Image = ReadIconFile(Stream);
  int w = Image.Width, h = Image.Height;
  HICON icon = CreateIconFromResourceEx(Image.Data.data(), static_cast<DWORD>(Image.Data.size()), TRUE, 0x00030000,
                                        w, h, LR_DEFAULTCOLOR);
  if (!icon) BadIcon("the system refused the image");
  if (w == 0 || h == 0) IconSize(icon, w, h);
  Stream.Seek(start + Image.End, soBeginning);
  Reset(icon, w, h, std::move(Image.Data));
}

void TIcon::SaveToStream(TStream& Stream) {
  if (!FHandle) return;
  std::vector<Byte> image = FData;
  int bits = IconImageBits(image);
  if (image.empty()) {
    ICONINFO ii{};
    if (!GetIconInfo(FHandle, &ii)) OutOfResources();
    TBitmap color, mask;
    try {
      mask.AssignHandle(ii.hbmMask);
      if (ii.hbmColor) {
        color.AssignHandle(ii.hbmColor);
        color.SetPixelFormat(pf32bit);
      }
    } catch (...) {
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
      throw;
    }
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    // Through 24 bits to 1 bit: the mask gets the black-and-white table, white (1) = transparent.
    mask.SetPixelFormat(pf24bit);
    mask.SetPixelFormat(pf1bit);
    const int w = mask.Width();
    const int h = ii.hbmColor ? color.Height() : mask.Height() / 2;
    bits = ii.hbmColor ? 32 : 1;
    const int xorStride = static_cast<int>(BmpStride(w, bits)), andStride = static_cast<int>(BmpStride(w, 1));
    image = IconImageHeader(w, h, bits);
    const std::size_t headSize = image.size();
    image.resize(headSize + static_cast<std::size_t>(xorStride + andStride) * h, 0);
    Byte* q = image.data() + headSize;
    // A monochrome icon's mask holds the AND mask above the XOR image.
    TBitmap& xorSource = ii.hbmColor ? color : mask;
    const int xorTop = ii.hbmColor ? 0 : h;
    for (int y = h - 1; y >= 0; --y, q += xorStride) std::memcpy(q, xorSource.ScanLine(xorTop + y), xorStride);
    for (int y = h - 1; y >= 0; --y, q += andStride) std::memcpy(q, mask.ScanLine(y), andStride);
  }
  WriteIconFile(Stream, image, FWidth, FHeight, bits);
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!FHandle) return;
  DrawIconEx(ACanvas->Handle(), Rect.Left, Rect.Top, FHandle, Rect.Width(), Rect.Height(), 0, nullptr, DI_NORMAL);
}

// =============================================================================================
// TPicture and the file-format registry

namespace {

struct FileFormat {
  AnsiString Extension;  // lower case, without the dot
  AnsiString Description;
  AnsiString ClassName;
  TGraphicFactory Factory;
};

AnsiString NormalExtension(const AnsiString& Ext) {
  AnsiString e = Ext;
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  return LowerCase(e);
}

std::vector<FileFormat>& Formats() {
  static std::vector<FileFormat> formats{
      {"bmp", "Bitmaps", "TBitmap", [] { return static_cast<TGraphic*>(new TBitmap); }},
      {"ico", "Icons", "TIcon", [] { return static_cast<TGraphic*>(new TIcon); }},
  };
  return formats;
}

const FileFormat* FindFormat(const AnsiString& Ext) {
  AnsiString e = NormalExtension(Ext);
  for (const FileFormat& f : Formats())
    if (f.Extension == e) return &f;
  return nullptr;
}

}  // namespace

void TPicture::RegisterFileFormat(const AnsiString& Extension, const AnsiString& Description, TGraphicFactory Factory) {
  AnsiString e = NormalExtension(Extension);
  if (e.empty() || !Factory) throw EInvalidGraphic("Invalid file format registration");
  std::unique_ptr<TGraphic> sample(Factory());
  if (!sample) throw EInvalidGraphic("Invalid file format registration");
  FileFormat f{e, Description, sample->ClassName(), std::move(Factory)};
  for (FileFormat& old : Formats()) {
    if (old.Extension == e) {
      old = std::move(f);
      return;
    }
  }
  Formats().push_back(std::move(f));
}

void TPicture::UnregisterGraphicClass(const AnsiString& ClassName) {
  auto& v = Formats();
  v.erase(std::remove_if(v.begin(), v.end(), [&](const FileFormat& f) { return SameText(f.ClassName, ClassName); }),
          v.end());
}

AnsiString TPicture::GraphicClassNameFor(const AnsiString& Extension) {
  const FileFormat* f = FindFormat(Extension);
  return f ? f->ClassName : AnsiString();
}

AnsiString TPicture::FileFormatDescription(const AnsiString& Extension) {
  const FileFormat* f = FindFormat(Extension);
  return f ? f->Description : AnsiString();
}

TGraphic* TPicture::CreateGraphicFor(const AnsiString& Extension) {
  const FileFormat* f = FindFormat(Extension);
  return f ? f->Factory() : nullptr;
}

TPicture::TPicture() = default;

TPicture::~TPicture() {
  if (FGraphic) FGraphic->OnChange = nullptr;
}

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::Replace(TGraphic* NewGraphic) {
  std::unique_ptr<TGraphic> old = std::move(FGraphic);
  FGraphic.reset(NewGraphic);
  if (FGraphic) FGraphic->OnChange = [this](TObject* s) { Changed(s); };
  old.reset();
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    Replace(nullptr);
    return;
  }
  if (Value == FGraphic.get()) return;
  std::unique_ptr<TGraphic> copy;
  for (const FileFormat& f : Formats()) {
    if (SameText(f.ClassName, Value->ClassName())) {
      copy.reset(f.Factory());
      break;
    }
  }
  if (!copy) {
    if (dynamic_cast<TBitmap*>(Value)) copy = std::make_unique<TBitmap>();
    else if (dynamic_cast<TIcon*>(Value)) copy = std::make_unique<TIcon>();
    else throw EInvalidGraphic(Format("Cannot copy a graphic of class %s", Value->ClassName()));
  }
  copy->Assign(Value);
  Replace(copy.release());
}

void TPicture::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    Replace(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

TBitmap* TPicture::Bitmap() {
  auto* b = dynamic_cast<TBitmap*>(FGraphic.get());
  if (!b) {
    b = new TBitmap;
    Replace(b);
  }
  return b;
}

TIcon* TPicture::Icon() {
  auto* i = dynamic_cast<TIcon*>(FGraphic.get());
  if (!i) {
    i = new TIcon;
    Replace(i);
  }
  return i;
}

void TPicture::LoadFromFile(const AnsiString& FileName) {
  AnsiString ext = NormalExtension(ExtractFileExt(FileName));
  const FileFormat* f = FindFormat(ext);
  if (!f) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", ext));
  std::unique_ptr<TGraphic> g(f->Factory());
  g->LoadFromFile(FileName);
  Replace(g.release());
}

void TPicture::SaveToFile(const AnsiString& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}
