// Gradient text parsing and the band painters (portable half of sGradient).
#include "skin/core/sGradient.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "framework/Convert.h"

namespace {

using i64 = long long;

// Values are rounded to single precision by a store through memory, so that registers wider than
// a float (x87) do not keep extra bits between rows.
float ToSingle(double V) {
  volatile float F = static_cast<float>(V);
  return F;
}

// A running value as a byte: rounded, and limited to 0..255 before the byte is taken.
Byte ChannelByte(float V) {
  const double D = std::clamp(static_cast<double>(V), -1.0, 256.0);
  return static_cast<Byte>(std::clamp(RoundEven(D), 0L, 255L));
}

// The running colour of one band: red, green and blue as single-precision values with their
// increments per pixel.
struct TRamp {
  float Value[3];
  double Step[3];
  TRamp(TColor C1, TColor C2, i64 Steps) {
    for (int k = 0; k < 3; ++k) {
      const int From = (C1 >> (8 * k)) & 0xFF, To = (C2 >> (8 * k)) & 0xFF;
      volatile double Inc = (To - From) / static_cast<double>(Steps);
      Step[k] = Inc;
      Value[k] = ToSingle(From);
    }
  }
  // The pixel bytes blue, green, red.
  void Pixel(Byte* p) const {
    p[0] = ChannelByte(Value[2]);
    p[1] = ChannelByte(Value[1]);
    p[2] = ChannelByte(Value[0]);
  }
  void Advance() {
    for (int k = 0; k < 3; ++k) Value[k] = ToSingle(static_cast<double>(Value[k]) + Step[k]);
  }
};

// Fills Count pixels from p with one pixel value: four-byte pixels by the processor's string store
// where there is one, three-byte pixels by doubling copies.
void FillPixels(Byte* p, int Count, const Byte* Pixel, int Bpp) {
  if (Count <= 0) return;
  if (Bpp == 4) {
    std::uint32_t Value;
    std::memcpy(&Value, Pixel, 4);
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    void* Dst = p;
    std::size_t N = static_cast<std::size_t>(Count);
    asm volatile("rep stosl" : "+D"(Dst), "+c"(N) : "a"(Value) : "memory");
#else
    for (int i = 0; i < Count; ++i) std::memcpy(p + 4 * i, &Value, 4);
#endif
    return;
  }
  std::memcpy(p, Pixel, static_cast<std::size_t>(Bpp));
  const std::size_t Total = static_cast<std::size_t>(Count) * Bpp;
  for (std::size_t Done = Bpp; Done < Total; Done *= 2) std::memcpy(p + Done, p, std::min(Done, Total - Done));
}

void FillRow(const TacPixels& Bmp, int Y, int Left, int Right, const Byte* Bgr) {
  const Byte Pixel[4] = {Bgr[0], Bgr[1], Bgr[2], 255};
  FillPixels(Bmp.Pixel(Left, Y), Right - Left, Pixel, Bmp.BytesPerPixel());
}

// Mode 0: bands from top to bottom; each band's last row is painted again by the next band.
void PaintRows(const TacPixels& Bmp, const TRect& R, const TsGradArray& Stops, int Offset) {
  const i64 Last = std::min(R.Bottom, Bmp.Height) - 1;
  const i64 Height = R.Bottom - R.Top;
  i64 Pos = i64{R.Top} + Offset;
  for (std::size_t i = 0; i < Stops.size(); ++i) {
    const bool IsLast = i + 1 == Stops.size();
    const i64 Start = Pos;
    Pos = ((Height + Offset) * Stops[i].Percent) / 100 + Start;
    Pos = IsLast ? Last : std::min(Pos, Last);
    if (Pos - Start <= 0) continue;
    if (IsLast || Pos > Bmp.Height - 1) {
      Pos = std::min<i64>(R.Bottom - 1, Bmp.Height - 1);
      if (Pos == Start) return;
    }
    TRamp Ramp(Stops[i].Color1, Stops[i].Color2, Pos - Start);
    for (i64 y = Start; y <= Pos; ++y) {
      // Rows that the offset moves outside the rectangle only advance the colour.
      if (y >= R.Top && y < R.Bottom) {
        Byte Bgr[3];
        Ramp.Pixel(Bgr);
        FillRow(Bmp, static_cast<int>(y), R.Left, R.Right, Bgr);
      }
      Ramp.Advance();
    }
  }
}

// Mode 1: bands from left to right, the same in every row.
void PaintColumns(const TacPixels& Bmp, const TRect& R, const TsGradArray& Stops) {
  const int Last = std::min(R.Right, Bmp.Width) - 1;
  const int Bpp = Bmp.BytesPerPixel();
  const double Unit = (R.Right - R.Left) / 100.0;
  // One row of pixels in the image's format, columns Left .. Last; then copied into every row.
  std::vector<Byte> Row(static_cast<std::size_t>(R.Right - R.Left) * Bpp, 255);
  int Painted = -1;  // the last column painted; the painted columns run from Left to it
  i64 Pos = R.Left;
  for (std::size_t i = 0; i < Stops.size(); ++i) {
    const i64 Start = Pos;
    Pos = RoundEven(Stops[i].Percent * Unit + static_cast<double>(Start));
    Pos = i + 1 == Stops.size() ? Last : std::min<i64>(Pos, Last);
    if (Pos - Start <= 0) continue;
    TRamp Ramp(Stops[i].Color1, Stops[i].Color2, Pos - Start);
    for (i64 x = Start; x <= Pos; ++x) {
      Ramp.Pixel(&Row[static_cast<std::size_t>(x - R.Left) * Bpp]);
      Ramp.Advance();
    }
    Painted = std::max(Painted, static_cast<int>(Pos));
  }
  if (Painted < R.Left) return;
  const std::size_t Bytes = static_cast<std::size_t>(Painted - R.Left + 1) * Bpp;
  for (int y = R.Top; y < R.Bottom; ++y) std::memcpy(Bmp.Pixel(R.Left, y), Row.data(), Bytes);
}

}  // namespace

void ParseGradientData(const AnsiString& Text, TsGradArray& Stops) {
  Stops.clear();
  // Stop by stop: the next five fields between separators (empty fields do not count); only a
  // whole group of five becomes a stop, and its fifth number is never read.
  TsGradArray Parsed;  // a text that fails leaves no stops behind
  std::string_view Fields[5];
  int Have = 0;
  std::size_t i = 0;
  while (i < Text.size()) {
    while (i < Text.size() && Text[i] == ';') ++i;
    const std::size_t Begin = i;
    while (i < Text.size() && Text[i] != ';') ++i;
    if (i == Begin) continue;
    Fields[Have++] = std::string_view(Text).substr(Begin, i - Begin);
    if (Have < 5) continue;
    Have = 0;
    TsGradStop S;
    S.Color1 = std::max(0, StrToInt(AnsiString(Fields[0])));
    S.Color2 = std::max(0, StrToInt(AnsiString(Fields[1])));
    S.Percent = static_cast<Byte>(std::clamp(StrToInt(AnsiString(Fields[2])), 0, 100));
    S.Mode = StrToInt(AnsiString(Fields[3]));
    Parsed.push_back(S);
  }
  Parsed.shrink_to_fit();
  Stops = std::move(Parsed);
}

TsGradientRef MakeGradient(AnsiString Text) {
  auto G = std::make_shared<TsGradient>();
  if (Text != " ") ParseGradientData(Text, G->Stops);
  G->Text = std::move(Text);
  return G;
}

const TsGradientRef& BlankGradient() {
  static const TsGradientRef G = MakeGradient(" ");
  return G;
}

const TsGradientRef& EmptyGradient() {
  static const TsGradientRef G = MakeGradient("");
  return G;
}

void PaintGradient(const TacPixels& Bmp, TRect R, const TsGradArray& Stops, int, int Offset) {
  if (Offset < -(1 << 24) || Offset > (1 << 24))
    throw ERangeError(Format("PaintGradient: offset %d out of range", Offset));
  if (Stops.empty() || (!Bmp.Is24() && !Bmp.Is32())) return;
  R.Right = std::min(R.Right, Bmp.Width);
  R.Bottom = std::min(R.Bottom, Bmp.Height);
  R.Left = std::max(R.Left, 0);
  R.Top = std::max(R.Top, 0);
  if (R.IsEmpty()) return;
  switch (Stops[0].Mode) {
    case 0: PaintRows(Bmp, R, Stops, Offset); break;
    case 1: PaintColumns(Bmp, R, Stops); break;
    default: break;
  }
}

void GradientVertices(const TRect& R, const TsGradArray& Stops, TsGradVertex (&Vertices)[5]) {
  const TPoint Corner[5] = {{R.Left, R.Top},
                            {R.Left + (R.Right - R.Left) / 2, R.Top + (R.Bottom - R.Top) / 2},
                            {R.Right, R.Top},
                            {R.Right, R.Bottom},
                            {R.Left, R.Bottom}};
  TColor Color = Stops.empty() ? 0 : Stops[0].Color1;
  for (std::size_t i = 0; i < 5; ++i) {
    if (i < Stops.size()) Color = Stops[i].Color1;
    Vertices[i] = TsGradVertex{Corner[i].X, Corner[i].Y, Color};
  }
}
