// JPEG decoding over libjpeg: a memory source that treats the end of the data as an error, an
// error manager that turns the library's fatal errors (and the warnings that mean damaged data)
// into exceptions, and the limits checked before the library reserves memory for the image.
//
// The library reports fatal errors by calling error_exit, which must not return. Ours jumps back
// with longjmp to the setjmp of the small step function that called into the library. Those step
// functions hold no C++ objects, so the jump crosses only the library's C frames and the plain
// callbacks below; the C++ exception is raised after the step function has returned.
#include "framework/Jpeg.h"  // first: on the target it brings the platform headers, whose integer
                             // types libjpeg's headers then leave alone

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// The target's build of the library takes its boolean from the platform headers (unsigned char);
// the host's is an int of its own.
#include <jerror.h>
#include <jpeglib.h>

struct detail::JpegState {
  jpeg_decompress_struct Info;
  jpeg_error_mgr Errors;
  jpeg_source_mgr Source;
  jpeg_progress_mgr Progress;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX + 64];
  int MaxScans;
  std::size_t Size;  // of the data

  // The library's memory is released here, also when the decoder's constructor fails. Safe on a
  // zeroed structure and on one whose creation failed half way.
  ~JpegState() { jpeg_destroy_decompress(&Info); }
};

namespace {

using TState = detail::JpegState;

TState* StateOf(j_common_ptr Info) { return static_cast<TState*>(Info->client_data); }

// ---------------------------------------------------------------------------------------------
// Errors and messages

[[noreturn]] void JumpBack(j_common_ptr Info) { std::longjmp(StateOf(Info)->Jump, 1); }

// An error of our own (a limit) raised from inside the library.
[[noreturn]] void ErrorText(j_common_ptr Info, const char* Text) {
  TState* S = StateOf(Info);
  std::snprintf(S->Message, sizeof S->Message, "%s", Text);
  JumpBack(Info);
}

// A fatal error of the library: keep its message and leave the library. The library asks for
// a backing store when the image needs more memory than it may use; there is none.
[[noreturn]] void ErrorExit(j_common_ptr Info) {
  if (Info->err->msg_code == JERR_NO_BACKING_STORE) ErrorText(Info, "JPEG image needs more working memory than allowed");
  (*Info->err->format_message)(Info, StateOf(Info)->Message);
  JumpBack(Info);
}

// Warnings that mean the compressed data is damaged or incomplete: the library would go on with
// made-up samples, which would be a silently wrong image.
bool IsDamage(int Code) {
  switch (Code) {
    case JWRN_HIT_MARKER:         // a segment ended before its blocks
    case JWRN_HUFF_BAD_CODE:      // a code that is not in the table
#if JPEG_LIB_VERSION >= 70
    case JWRN_ARITH_BAD_CODE:
#endif
    case JWRN_BOGUS_PROGRESSION:  // a scan that refines what no earlier scan gave
    case JWRN_MUST_RESYNC:        // a restart marker out of its order
    case JWRN_JPEG_EOF:
      return true;
    default:
      return false;
  }
}

// Warnings (Level < 0) and trace messages (Level >= 0). Nothing is printed; damage is fatal.
void EmitMessage(j_common_ptr Info, int Level) {
  if (Level < 0 && IsDamage(Info->err->msg_code)) ErrorExit(Info);
}

void OutputMessage(j_common_ptr) {}

// Called while the library reads the scans of a multi-scan image: stops data streams with more
// scans than the limit before they cost much time.
void Monitor(j_common_ptr Info) {
  if (!Info->is_decompressor) return;
  auto* D = reinterpret_cast<j_decompress_ptr>(Info);
  TState* S = StateOf(Info);
  if (D->input_scan_number > S->MaxScans) {
    char Text[96];
    std::snprintf(Text, sizeof Text, "JPEG image has too many scans (more than %d)", S->MaxScans);
    ErrorText(Info, Text);
  }
}

// ---------------------------------------------------------------------------------------------
// The memory source: the whole data stream is in the buffer from the start, so a request for
// more data means that the data ended before its end-of-image marker.

void SourceInit(j_decompress_ptr) {}

boolean SourceFill(j_decompress_ptr Info) {
  ERREXIT(Info, JERR_INPUT_EOF);
  return FALSE;
}

void SourceSkip(j_decompress_ptr Info, long Count) {
  if (Count <= 0) return;
  jpeg_source_mgr* Src = Info->src;
  if (static_cast<unsigned long>(Count) > Src->bytes_in_buffer) ERREXIT(Info, JERR_INPUT_EOF);
  Src->next_input_byte += Count;
  Src->bytes_in_buffer -= static_cast<std::size_t>(Count);
}

void SourceTerm(j_decompress_ptr) {}

// ---------------------------------------------------------------------------------------------
// The steps that call into the library. Each returns false after a fatal error (the message is
// in the state). They hold no objects with destructors, and nothing they set before the setjmp
// is read after the jump.

bool StepHeader(TState* S, const Byte* Data, std::size_t Size, long MaxMemory) {
  if (setjmp(S->Jump)) return false;
  jpeg_create_decompress(&S->Info);
  S->Info.mem->max_memory_to_use = MaxMemory;
  S->Source.init_source = SourceInit;
  S->Source.fill_input_buffer = SourceFill;
  S->Source.skip_input_data = SourceSkip;
  S->Source.resync_to_restart = jpeg_resync_to_restart;
  S->Source.term_source = SourceTerm;
  S->Source.next_input_byte = Data;
  S->Source.bytes_in_buffer = Size;
  S->Info.src = &S->Source;
  S->Progress.progress_monitor = Monitor;
  S->Info.progress = &S->Progress;
  jpeg_read_header(&S->Info, TRUE);
  return true;
}

bool StepStart(TState* S) {
  if (setjmp(S->Jump)) return false;
  jpeg_start_decompress(&S->Info);
  return true;
}

bool StepRow(TState* S, Byte* Row) {
  if (setjmp(S->Jump)) return false;
  JSAMPROW Rows[1] = {Row};
  if (jpeg_read_scanlines(&S->Info, Rows, 1) != 1) {
    std::snprintf(S->Message, sizeof S->Message, "%s", "JPEG decoder delivered no row");
    return false;
  }
  return true;
}

bool StepFinish(TState* S) {
  if (setjmp(S->Jump)) return false;
  jpeg_finish_decompress(&S->Info);
  return true;
}

// The bytes the library keeps for the coefficients of a multi-scan image.
std::int64_t CoefficientBytes(const jpeg_decompress_struct& Info) {
  std::int64_t Total = 0;
  for (int C = 0; C < Info.num_components; ++C) {
    const jpeg_component_info& Comp = Info.comp_info[C];
    const std::int64_t H = Comp.h_samp_factor, V = Comp.v_samp_factor;
    const std::int64_t W = (Comp.width_in_blocks + H - 1) / H * H;
    const std::int64_t Rows = (Comp.height_in_blocks + V - 1) / V * V;
    Total += W * Rows * static_cast<std::int64_t>(sizeof(JBLOCK));
  }
  return Total;
}

}  // namespace

// =============================================================================================
// TJPEGDecoder

TJPEGDecoder::TJPEGDecoder(const Byte* Data, std::size_t Size, const TJPEGLimits& Limits)
    : FState(std::make_unique<TState>()) {
  TState* S = FState.get();
  S->Info.err = jpeg_std_error(&S->Errors);
  S->Errors.error_exit = ErrorExit;
  S->Errors.emit_message = EmitMessage;
  S->Errors.output_message = OutputMessage;
  S->Info.client_data = S;
  S->MaxScans = Limits.MaxScans;
  static const Byte NoData = 0;
  S->Size = Data != nullptr ? Size : 0;
  // The coefficient memory is checked exactly below; the library's own limit adds room for its
  // small tables and row buffers and only catches what that check does not foresee. It keeps
  // the limit in a long (32 bits on the target).
  const std::int64_t MaxMemory =
      std::clamp<std::int64_t>(Limits.MaxWorkMemory, 0, 0x7FFFFFFF - (std::int64_t{64} << 20)) + (std::int64_t{64} << 20);
  if (!StepHeader(S, Data != nullptr ? Data : &NoData, S->Size, static_cast<long>(MaxMemory))) Fail();

  jpeg_decompress_struct& Info = S->Info;
  const std::int64_t W = Info.image_width, H = Info.image_height;
  if (W > Limits.MaxSide || H > Limits.MaxSide || W * H > Limits.MaxPixels)
    throw EInvalidGraphic(Format("JPEG image is too large (%lld x %lld pixels)", static_cast<long long>(W),
                                 static_cast<long long>(H)));
  FWidth = static_cast<int>(W);
  FHeight = static_cast<int>(H);
  FComponents = Info.num_components;
  FProgressive = Info.progressive_mode != 0;

  if (Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK) {
    Info.out_color_space = JCS_CMYK;
    // The programs that write four-component images with an Adobe marker store the samples
    // inverted; without the marker 0 means no ink.
    FInverted = Info.saw_Adobe_marker != 0;
  } else {
    Info.out_color_space = JCS_RGB;
  }
  Info.dct_method = JDCT_ISLOW;
  Info.buffered_image = FALSE;
  Info.scale_num = Info.scale_denom = 1;

  if (jpeg_has_multiple_scans(&Info) && CoefficientBytes(Info) > Limits.MaxWorkMemory)
    throw EInvalidGraphic(Format("JPEG image is too large (%lld x %lld pixels in several scans)",
                                 static_cast<long long>(W), static_cast<long long>(H)));

  if (!StepStart(S)) Fail();
  // A progressive image has read all its scans now. Every coefficient of every component must
  // have arrived at full precision: missing scans would give a blurred or blocky image.
  if (Info.progressive_mode && Info.coef_bits != nullptr)
    for (int C = 0; C < Info.num_components; ++C)
      for (int K = 0; K < DCTSIZE2; ++K)
        if (Info.coef_bits[C][K] != 0) throw EInvalidGraphic("JPEG image is missing scans");
  const int Expected = Info.out_color_space == JCS_CMYK ? 4 : 3;
  if (static_cast<std::int64_t>(Info.output_width) != W || static_cast<std::int64_t>(Info.output_height) != H ||
      Info.output_components != Expected)
    throw EInvalidGraphic("JPEG image has an unsupported layout");
  if (Expected == 4) FInkRow.resize(static_cast<std::size_t>(FWidth) * 4);
}

TJPEGDecoder::~TJPEGDecoder() = default;

void TJPEGDecoder::Fail() {
  FFailed = true;
  throw EInvalidGraphic(FState->Message[0] != '\0' ? AnsiString(FState->Message) : AnsiString("JPEG image is not valid"));
}

void TJPEGDecoder::ReadRow(Byte* Row) {
  if (FFailed) throw EInvalidGraphicOperation("JPEG decoder cannot go on after an error");
  if (FRowsRead >= FHeight) throw EInvalidGraphicOperation("JPEG image has no more rows");
  if (FInkRow.empty()) {
    if (!StepRow(FState.get(), Row)) Fail();
  } else {
    if (!StepRow(FState.get(), FInkRow.data())) Fail();
    const Byte* Ink = FInkRow.data();
    for (int X = 0; X < FWidth; ++X, Ink += 4, Row += 3) {
      // Light left by each ink (255 = none), then the key darkens every channel.
      unsigned C = Ink[0], M = Ink[1], Y = Ink[2], K = Ink[3];
      if (!FInverted) {
        C = 255 - C;
        M = 255 - M;
        Y = 255 - Y;
        K = 255 - K;
      }
      Row[0] = static_cast<Byte>((C * K + 127) / 255);
      Row[1] = static_cast<Byte>((M * K + 127) / 255);
      Row[2] = static_cast<Byte>((Y * K + 127) / 255);
    }
  }
  ++FRowsRead;
}

std::size_t TJPEGDecoder::Finish() {
  if (FFinished) return FBytesUsed;
  if (FFailed) throw EInvalidGraphicOperation("JPEG decoder cannot go on after an error");
  if (FRowsRead < FHeight) throw EInvalidGraphicOperation("JPEG image has rows that were not read");
  if (!StepFinish(FState.get())) Fail();
  FFinished = true;
  // The source keeps whatever follows the end-of-image marker.
  FBytesUsed = FState->Size - FState->Source.bytes_in_buffer;
  return FBytesUsed;
}

// =============================================================================================

TJPEGPixels DecodeJPEG(const Byte* Data, std::size_t Size, const TJPEGLimits& Limits, std::size_t* BytesUsed) {
  TJPEGDecoder D(Data, Size, Limits);
  TJPEGPixels P;
  P.Width = D.Width();
  P.Height = D.Height();
  P.Grayscale = D.Grayscale();
  P.Progressive = D.Progressive();
  const std::size_t RowBytes = static_cast<std::size_t>(P.Width) * 3;
  try {
    for (int Y = 0; Y < P.Height; ++Y) {
      // Memory grows with the rows that the data really holds.
      P.RGB.resize(RowBytes * static_cast<std::size_t>(Y + 1));
      D.ReadRow(P.RGB.data() + RowBytes * static_cast<std::size_t>(Y));
    }
  } catch (const std::bad_alloc&) {
    throw EInvalidGraphic(Format("Not enough memory for a JPEG image of %d x %d pixels", P.Width, P.Height));
  }
  const std::size_t Used = D.Finish();
  if (BytesUsed) *BytesUsed = Used;
  return P;
}
