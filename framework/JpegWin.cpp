// TJPEGImage: the picture class of JPEG files, over the portable decoder of Jpeg.cpp.
#include <new>
#include <utility>

#include "framework/Jpeg.h"
#include "framework/Streams.h"

namespace {

// The unit registers the class for both usual extensions when the program starts.
struct TJPEGUnit {
  TJPEGUnit() {
    TPicture::RegisterFileFormat<TJPEGImage>("jpg", "JPEG image file");
    TPicture::RegisterFileFormat<TJPEGImage>("jpeg", "JPEG image file");
  }
  ~TJPEGUnit() { TPicture::UnregisterGraphicClass<TJPEGImage>(); }
};
const TJPEGUnit JPEGUnit;

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }
void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    FData.clear();
    FBitmap.reset();
    FGrayscale = FProgressive = false;
    Changed(this);
    return;
  }
  auto* J = dynamic_cast<TJPEGImage*>(Source);
  if (!J) {
    TGraphic::Assign(Source);
    return;
  }
  std::vector<Byte> Data = J->FData;
  std::unique_ptr<TBitmap> Bmp;
  if (J->FBitmap) {
    Bmp = std::make_unique<TBitmap>();
    Bmp->Assign(J->FBitmap.get());
  }
  FData = std::move(Data);
  FBitmap = std::move(Bmp);
  FGrayscale = J->FGrayscale;
  FProgressive = J->FProgressive;
  Changed(this);
}

void TJPEGImage::AssignTo(TPersistent* Dest) {
  if (auto* B = dynamic_cast<TBitmap*>(Dest)) {
    B->Assign(FBitmap.get());
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TJPEGImage::LoadFromStream(TStream& Stream) {
  const std::int64_t Start = Stream.Position();
  const std::int64_t Left = Stream.Size() - Start;
  if (Left <= 0) {
    Assign(nullptr);
    return;
  }
  if (Left > JPEGMaxDataSize)
    throw EInvalidGraphic(Format("JPEG data is too large (%lld bytes)", static_cast<long long>(Left)));

  std::vector<Byte> Data;
  std::unique_ptr<TBitmap> Bmp;
  bool Grey = false, Progressive = false;
  try {
    Data.resize(static_cast<std::size_t>(Left));
    Stream.ReadBuffer(Data.data(), Left);

    TJPEGDecoder D(Data.data(), Data.size(), FLimits);
    Grey = D.Grayscale();
    Progressive = D.Progressive();
    Bmp = std::make_unique<TBitmap>(D.Width(), D.Height(), pf24bit);
    std::vector<Byte> Row(static_cast<std::size_t>(D.Width()) * 3);
    for (int Y = 0; Y < D.Height(); ++Y) {
      D.ReadRow(Row.data());
      auto* Dst = static_cast<Byte*>(Bmp->ScanLine(Y));
      const Byte* Src = Row.data();
      for (int X = 0; X < D.Width(); ++X, Src += 3, Dst += 3) {
        Dst[0] = Src[2];
        Dst[1] = Src[1];
        Dst[2] = Src[0];
      }
    }
    Data.resize(D.Finish());
    Data.shrink_to_fit();
  } catch (const std::bad_alloc&) {
    Stream.SetPosition(Start);
    throw EInvalidGraphic(Format("Not enough memory for a JPEG image of %lld bytes", static_cast<long long>(Left)));
  } catch (...) {
    Stream.SetPosition(Start);
    throw;
  }
  Stream.SetPosition(Start + static_cast<std::int64_t>(Data.size()));
  FData = std::move(Data);
  FBitmap = std::move(Bmp);
  FGrayscale = Grey;
  FProgressive = Progressive;
  Changed(this);
}

void TJPEGImage::SaveToStream(TStream& Stream) {
  if (!FData.empty()) Stream.WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TJPEGImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (FBitmap && ACanvas) ACanvas->StretchDraw(Rect, FBitmap.get());
}
