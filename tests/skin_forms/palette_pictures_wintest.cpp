// A skin whose pictures have 1, 4 or 8 bits a pixel (palette PNGs, with and without tRNS, and
// indexed BMPs) shows on a real window exactly what the same skin made of 24-bit pictures shows,
// plain and recoloured (HueOffset, Saturation); the key colour of such pictures stays transparent.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skin/controls/sButton.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_core/manager_test_support.h"
#include "skin_core/png_test_support.h"
#include "skin_forms/adapt2_support.h"
#include "skin_forms/lifetime_support.h"
#include "support/FreedMemoryGuard.h"

namespace {

constexpr COLORREF Key = RGB(255, 0, 255);

// A picture as palette indexes and its palette.
struct TPicture {
  int Width, Height;
  std::vector<COLORREF> Palette;
  std::function<int(int X, int Y)> Index;
};

// A border of three frames of 18 x 18, margins 6, corners rounded with a radius of 6: the key
// colour outside the rounding, a rim two pixels wide (an azure that a hue of 90 turns into the key
// colour), a ring of shade, the inside.
TPicture Border() {
  constexpr int Frame = 18, Radius = 6;
  auto Ring = [](int X, int Y) {  // 0 outside, 1 rim, 2 shade, 3 inside
    auto Corner = [](int V) { return V < Radius || V >= Frame - Radius; };
    if (Corner(X) && Corner(Y)) {
      const int CX = X < Radius ? Radius : Frame - 1 - Radius, CY = Y < Radius ? Radius : Frame - 1 - Radius;
      const int D2 = (X - CX) * (X - CX) + (Y - CY) * (Y - CY);
      return D2 > Radius * Radius ? 0 : D2 > (Radius - 2) * (Radius - 2) ? 1 : D2 > (Radius - 3) * (Radius - 3) ? 2 : 3;
    }
    const int D = std::min(std::min(X, Y), std::min(Frame - 1 - X, Frame - 1 - Y));
    return D < 2 ? 1 : D < 3 ? 2 : 3;
  };
  return {3 * Frame, Frame, {Key, RGB(0, 128, 255), RGB(200, 100, 0), RGB(60, 40, 30)},
          [Ring](int X, int Y) { return Ring(X % Frame, Y); }};
}

// A texture of 16 x 16: a chequer of two colours.
TPicture Chequer() {
  return {16, 16, {RGB(30, 160, 90), RGB(220, 200, 40)}, [](int X, int Y) { return (X / 2 + Y / 2) % 2; }};
}

enum class TFormat { Bmp24, Bmp8, Bmp4, Png8WithTrns, Png4, Png2, Png1 };

// The picture file of the format: its extension and bytes.
std::pair<std::string, std::string> PictureFile(const TPicture& P, TFormat F) {
  if (F == TFormat::Bmp24 || F == TFormat::Bmp8 || F == TFormat::Bmp4) {
    const TPixelFormat Pf = F == TFormat::Bmp24 ? pf24bit : F == TFormat::Bmp8 ? pf8bit : pf4bit;
    TBitmap B(P.Width, P.Height, Pf);
    if (Pf != pf24bit) {
      struct {
        WORD Version = 0x300, Count = 0;
        PALETTEENTRY E[256];
      } L;
      for (COLORREF C : P.Palette) L.E[L.Count++] = {GetRValue(C), GetGValue(C), GetBValue(C), 0};
      B.SetPalette(CreatePalette(reinterpret_cast<LOGPALETTE*>(&L)));
    }
    for (int Y = 0; Y < P.Height; ++Y) {
      auto* Row = static_cast<Byte*>(B.ScanLine(Y));
      for (int X = 0; X < P.Width; ++X) {
        const int I = P.Index(X, Y);
        const COLORREF C = P.Palette[static_cast<std::size_t>(I)];
        if (Pf == pf24bit) {
          Row[3 * X] = GetBValue(C), Row[3 * X + 1] = GetGValue(C), Row[3 * X + 2] = GetRValue(C);
        } else if (Pf == pf8bit) {
          Row[X] = static_cast<Byte>(I);
        } else {
          Row[X / 2] = static_cast<Byte>(X % 2 ? (Row[X / 2] & 0xF0) | I : (Row[X / 2] & 0x0F) | I << 4);
        }
      }
    }
    return {".BMP", mgrtest::BitmapBytes(B)};
  }
  pngtest::Image Im;
  Im.Width = P.Width;
  Im.Height = P.Height;
  Im.ColorType = 3;
  Im.Depth = F == TFormat::Png8WithTrns ? 8 : F == TFormat::Png4 ? 4 : F == TFormat::Png2 ? 2 : 1;
  for (COLORREF C : P.Palette) Im.Palette.insert(Im.Palette.end(), {GetRValue(C), GetGValue(C), GetBValue(C)});
  // Alpha that the skin does not read: the key colour clear, the next entry half.
  if (F == TFormat::Png8WithTrns) Im.PaletteAlpha = {0, 128, 255, 255};
  for (int Y = 0; Y < P.Height; ++Y)
    for (int X = 0; X < P.Width; ++X) Im.Samples.push_back(static_cast<std::uint16_t>(P.Index(X, Y)));
  const pngtest::Bytes Png = pngtest::Encode(Im);
  return {".PNG", std::string(Png.begin(), Png.end())};
}

// The pictures of the skin: name, picture, format in the skin of few colours, the key's words
// after the file name.
struct TSlot {
  const char* Name;
  TPicture (*Make)();
  TFormat Few;
  const char* Words;
};
const TSlot Slots[] = {
    {"FORMBORDER", Border, TFormat::Png8WithTrns, "!3!0!0!6!6!6!6"},
    {"BUTTONBORDER", Border, TFormat::Png4, "!3!0!0!6!6!6!6"},
    {"BUTTONTEX", Chequer, TFormat::Png1, "!1!0!1"},
    {"PANELBORDER", Border, TFormat::Png2, "!3!0!0!6!6!6!6"},
    {"PANELTEX", Chequer, TFormat::Bmp8, "!1!0!1"},
    {"GROUPBORDER", Border, TFormat::Bmp4, "!3!0!0!6!6!6!6"},
};

std::unique_ptr<TsSkinManager> LoadSkin(bool FewColours, int Hue, int Saturation) {
  std::string Options = "[GLOBALINFO]\r\nVERSION=7.00\r\nBORDERWIDTH=6\r\nTITLEHEIGHT=24\r\nCOLOR=4210752\r\n"
                        "FONTCOLOR=16777215\r\nHOTFONTCOLOR=16777215\r\n"
                        "[FORM]\r\nCOLOR=4210752\r\nHOTCOLOR=4210752\r\nBORDERSMASK=$FORMBORDER\r\n"
                        "[FORMTITLE]\r\nCOLOR=3158064\r\nHOTCOLOR=3158064\r\nFONTCOLOR=16777215\r\n"
                        "[BUTTON]\r\nCOLOR=2631720\r\nHOTCOLOR=2631720\r\nIMAGEPERCENT=100\r\nHOTIMAGEPERCENT=100\r\n"
                        "PATTERN=$BUTTONTEX\r\nHOTPATTERN=$BUTTONTEX\r\nBORDERSMASK=$BUTTONBORDER\r\n"
                        "[PANEL]\r\nCOLOR=2631720\r\nIMAGEPERCENT=100\r\nPATTERN=$PANELTEX\r\nBORDERSMASK=$PANELBORDER\r\n"
                        "[GROUPBOX]\r\nCOLOR=4210752\r\nTRANSPARENCY=100\r\nBORDERSMASK=$GROUPBORDER\r\n";
  mgrtest::TFiles Files;
  for (const TSlot& S : Slots) {
    auto [Ext, Bytes] = PictureFile(S.Make(), FewColours ? S.Few : TFormat::Bmp24);
    const std::string File = std::string(S.Name) + Ext;
    Files.push_back({File, Bytes});
    const std::string Ref = std::string("$") + S.Name;
    Options.replace(Options.find(Ref), Ref.size(), "!" + File + S.Words);
  }
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory("c:\\no such skins dir");
  for (int K = 0; K < ThirdPartyKindCount; ++K) M->ThirdParty()->SetTexts(K, " ");
  M->ThirdParty()->SetTexts(tpButton, "TButton");
  M->ThirdParty()->SetTexts(tpPanel, "TPanel");
  M->ThirdParty()->SetTexts(tpGroupBox, "TLtGroupBox");
  M->UpdateThirdNames();
  M->SetHueOffset(Hue);
  M->SetSaturation(Saturation);
  mgrtest::AddStoredSkin(*M, "Pictures", Options, Files);
  M->SetSkinName("Pictures");
  return M;
}

// Pixels of R (clipped to both) in which the captures differ; -1 when their sizes differ.
int Differing(const uitest::TCapture& A, const uitest::TCapture& B, TRect R) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return -1;
  int N = 0;
  for (int Y = std::max(0, R.Top); Y < std::min(A.Height(), R.Bottom); ++Y)
    for (int X = std::max(0, R.Left); X < std::min(A.Width(), R.Right); ++X) N += A.Pixel(X, Y) != B.Pixel(X, Y);
  return N;
}

struct TShown {
  const char* Name;
  TRect R;  // in the window's capture
};

// Shows the skin on a form with a skinned button, a button, a panel and a group box; Check gets
// the form's handle and the controls.
void ShowSkin(bool FewColours, int Hue, int Saturation,
              const std::function<void(HWND, const std::vector<TShown>&)>& Check) {
  memguard::TFaultCount Faults;
  {
    std::unique_ptr<TsSkinManager> M = LoadSkin(FewColours, Hue, Saturation);
    ASSERT_TRUE(M->SkinActive());
    adapt2::TTestForm F;
    F.Form->SetCaption(WideString(L"Pictures"));
    std::vector<std::pair<const char*, TControl*>> Controls = {
        {"skinned button", lifetime::Put<TsButton>(F.Form, F.Form, 20, 20, 120, 30)},
        {"button", lifetime::Put<TButton>(F.Form, F.Form, 160, 20, 120, 30)},
        {"panel", lifetime::Put<TPanel>(F.Form, F.Form, 20, 70, 120, 60)},
        {"group box", lifetime::Put<lifetime::TLtGroupBox>(F.Form, F.Form, 160, 70, 220, 100)},
    };
    new TsSkinProvider(F.Form);
    SetCursorPos(0, 0);
    F.Show();
    const HWND W = F.Form->Handle();
    RECT WR;
    GetWindowRect(W, &WR);
    std::vector<TShown> Shown;
    for (const auto& [Name, C] : Controls) {
      POINT O{0, 0};
      ClientToScreen(W, &O);
      const int L = O.x - WR.left + C->Left(), T = O.y - WR.top + C->Top();
      Shown.push_back({Name, TRect(L, T, L + C->Width(), T + C->Height())});
    }
    Check(W, Shown);
  }
  EXPECT_EQ(Faults.Count(), 0);
}

}  // namespace

TEST(PalettePictures, ASkinOfFewColoursShowsWhatItsTwentyFourBitTwinShowsPlainAndRecoloured) {
  sSkinProviderInstall();
  const struct {
    int Hue, Saturation;
  } Rows[] = {{0, 0}, {90, 0}, {0, 30}, {200, -60}, {90, 30}};
  for (const auto& Row : Rows) {
    SCOPED_TRACE("hue " + std::to_string(Row.Hue) + ", saturation " + std::to_string(Row.Saturation));
    std::unique_ptr<uitest::TCapture> Twin;
    ShowSkin(false, Row.Hue, Row.Saturation, [&](HWND W, const std::vector<TShown>&) {
      // The frame as it stays: two shots alike.
      uitest::WaitFor([&] {
        auto C = std::make_unique<uitest::TCapture>(uitest::WindowOnScreen(W));
        const bool Still = Twin && Differing(*Twin, *C, TRect(0, 0, C->Width(), C->Height())) == 0;
        Twin = std::move(C);
        return Still;
      });
    });
    ASSERT_TRUE(Twin);
    ShowSkin(true, Row.Hue, Row.Saturation, [&](HWND W, const std::vector<TShown>& Shown) {
      const TRect Whole(0, 0, Twin->Width(), Twin->Height());
      uitest::WaitFor([&] { return Differing(*Twin, uitest::WindowOnScreen(W), Whole) == 0; });
      const uitest::TCapture C = uitest::WindowOnScreen(W);
      const int Total = Differing(*Twin, C, Whole);
      EXPECT_EQ(Total, 0) << "the form with its frame and title";
      for (const TShown& S : Shown) EXPECT_EQ(Differing(*Twin, C, S.R), 0) << S.Name;
      if (Total != 0) {
        const std::string Name = "palette_" + std::to_string(Row.Hue) + "_" + std::to_string(Row.Saturation);
        C.MaybeSave(Name.c_str());
        Twin->MaybeSave((Name + "_twin").c_str());
      }
      // The key colour is transparent: nowhere on the screen, and a rounded corner of a control
      // shows what lies beside the control.
      EXPECT_EQ(C.Count(Whole, Key), 0);
      for (const TShown& S : Shown) {
        if (std::string(S.Name) == "panel" || std::string(S.Name) == "group box") continue;
        EXPECT_EQ(C.Pixel(S.R.Left, S.R.Top), C.Pixel(S.R.Left - 1, S.R.Top)) << S.Name;
        EXPECT_NE(C.Pixel(S.R.Left + 1, S.R.Top + 3), C.Pixel(S.R.Left - 1, S.R.Top)) << S.Name << ": its rim";
      }
    });
  }
}
