// Recolouring a shown skin (HueOffset, Saturation) and the key colour: no control, nor the form's
// frame, shows the key colour or the key colour recoloured; rounded corners show the parent and
// keep their rim.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sLabel.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_core/manager_test_support.h"
#include "skin_forms/adapt2_support.h"
#include "skin_forms/lifetime_support.h"

namespace {

constexpr COLORREF Key = RGB(255, 0, 255);
constexpr COLORREF FormGrey = RGB(64, 64, 64);

// The border image of every control and of the form: three equal frames of 18 x 18 pixels, margins
// 6, corners rounded with a radius of 6. Outside the rounding the key colour; the outer rim, two
// pixels wide, of the colour Rim; inside grey.
constexpr int Frame = 18, Radius = 6;
bool InCornerZone(int V) { return V < Radius || V >= Frame - Radius; }
COLORREF RimPixel(int X, int Y, COLORREF Rim) {
  if (InCornerZone(X) && InCornerZone(Y)) {
    const int CX = X < Radius ? Radius : Frame - 1 - Radius, CY = Y < Radius ? Radius : Frame - 1 - Radius;
    const int D2 = (X - CX) * (X - CX) + (Y - CY) * (Y - CY);
    if (D2 > Radius * Radius) return Key;
    if (D2 > (Radius - 2) * (Radius - 2)) return Rim;
    return RGB(40, 40, 40);
  }
  return X < 2 || Y < 2 || X >= Frame - 2 || Y >= Frame - 2 ? Rim : RGB(40, 40, 40);
}

std::unique_ptr<TsSkinManager> LoadRimSkin(COLORREF Rim) {
  TBitmap Master(3 * Frame, Frame, pf24bit);
  for (int Y = 0; Y < Frame; ++Y)
    for (int X = 0; X < 3 * Frame; ++X) Master.Canvas()->SetPixels(X, Y, RimPixel(X % Frame, Y, Rim));
  const std::string Border = "BORDERSMASK=^0000^0000^0054^0018^0006^0006^0006^0006^3^0^0^0\r\n";
  const std::string Face = "COLOR=2631720\r\nHOTCOLOR=2631720\r\nFONTCOLOR=16777215\r\nHOTFONTCOLOR=16777215\r\n";
  const std::string Clear = "COLOR=4210752\r\nTRANSPARENCY=100\r\nHOTCOLOR=4210752\r\nHOTTRANSPARENCY=100\r\n"
                            "FONTCOLOR=16777215\r\nHOTFONTCOLOR=16777215\r\n";
  // The skin names no font colour of its own (the key colour): labels keep theirs.
  const std::string Options = "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nVERSION=7.00\r\nBORDERWIDTH=6\r\n"
                              "TITLEHEIGHT=24\r\nCOLOR=4210752\r\nFONTCOLOR=16711935\r\nHOTFONTCOLOR=16711935\r\n"
                              "[FORM]\r\nCOLOR=4210752\r\nHOTCOLOR=4210752\r\n" + Border +
                              "[FORMTITLE]\r\nCOLOR=3158064\r\nHOTCOLOR=3158064\r\nFONTCOLOR=16777215\r\n"
                              "HOTFONTCOLOR=16777215\r\n"
                              "[BUTTON]\r\n" + Face + Border + "[EDIT]\r\n" + Face + Border + "[PANEL]\r\n" + Face +
                              Border + "[GROUPBOX]\r\n" + Clear + Border + "[CHECKBOX]\r\n" + Clear + Border;
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory("c:\\no such skins dir");
  for (int K = 0; K < ThirdPartyKindCount; ++K) M->ThirdParty()->SetTexts(K, " ");
  M->ThirdParty()->SetTexts(tpButton, "TButton");
  M->ThirdParty()->SetTexts(tpEdit, "TEdit");
  M->ThirdParty()->SetTexts(tpPanel, "TPanel");
  M->ThirdParty()->SetTexts(tpCheckBox, "TCheckBox");
  M->ThirdParty()->SetTexts(tpGroupBox, "TLtGroupBox");
  M->UpdateThirdNames();
  mgrtest::AddStoredSkin(*M, "Rims", Options, {{"MASTER.BMP", mgrtest::BitmapBytes(Master)}});
  M->SetSkinName("Rims");
  return M;
}

}  // namespace

// Each row recolours a shown skin whose rims have a colour that the change would turn into the key
// colour. The key colour stays what it is, transparent; no other colour becomes it; and nothing on
// the screen shows the key colour or the key colour as the change turns it.
TEST(HueKeyColour, NoControlShowsTheKeyColourAndRoundedCornersShowTheParentAfterARecolouring) {
  sSkinProviderInstall();
  const struct {
    const char* Name;
    int Hue, Saturation;
    COLORREF Rim;         // turned into the key colour by the change
    COLORREF KeyChanged;  // the key colour as the change turns it
  } Rows[] = {
      {"hue 90, an azure rim", 90, 0, RGB(0, 128, 255), RGB(255, 128, 0)},
      {"hue 180, a green rim", 180, 0, RGB(0, 255, 0), RGB(0, 255, 0)},
      {"hue 270, an orange rim", 270, 0, RGB(255, 128, 0), RGB(0, 128, 255)},
      {"saturation 30, a rim near the key colour", 0, 30, RGB(255, 40, 255), Key},
      {"hue 90 and saturation 30, an azure rim", 90, 30, RGB(0, 128, 255), RGB(255, 128, 0)},
  };
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    std::unique_ptr<TsSkinManager> M = LoadRimSkin(Row.Rim);
    ASSERT_TRUE(M->SkinActive());
    adapt2::TTestForm F;
    F.Form->SetCaption(WideString(L"Rims"));
    struct TShown {
      const char* Name;
      TControl* Control;
      int Corners;  // which corners are looked at: 4, 2 (the bottom ones: a group box's frame starts
                    // below its caption) or 0
    };
    auto* Label = lifetime::Put<TsLabel>(F.Form, F.Form, 300, 20, 90, 20);
    Label->SetCaption(WideString(L"A label"));
    Label->Font()->SetColor(clWhite);
    const std::vector<TShown> Controls = {
        {"skinned button", lifetime::Put<TsButton>(F.Form, F.Form, 20, 20, 120, 30), 4},
        {"button", lifetime::Put<TButton>(F.Form, F.Form, 160, 20, 120, 30), 4},
        {"edit", lifetime::Put<TEdit>(F.Form, F.Form, 20, 70, 120, 24), 0},
        {"panel", lifetime::Put<TPanel>(F.Form, F.Form, 160, 70, 120, 60), 0},
        {"check box", lifetime::Put<TCheckBox>(F.Form, F.Form, 20, 110, 120, 22), 4},
        {"group box", lifetime::Put<lifetime::TLtGroupBox>(F.Form, F.Form, 20, 150, 260, 100), 2},
        {"label", Label, 0},
    };
    new TsSkinProvider(F.Form);
    F.Show();
    M->SetHueOffset(Row.Hue);
    M->SetSaturation(Row.Saturation);
    uitest::Settle(F.Form->Handle());

    const HWND W = F.Form->Handle();
    RECT WR;
    GetWindowRect(W, &WR);
    auto Shot = [&] {
      HDC Screen = GetDC(nullptr);
      uitest::TCapture C(Screen, TRect{WR.left, WR.top, WR.right, WR.bottom});
      ReleaseDC(nullptr, Screen);
      return C;
    };
    auto KeyLike = [&](COLORREF C) { return C == Key || C == Row.KeyChanged; };
    auto CountKeyLike = [&](const uitest::TCapture& C, const TRect& R) {
      int N = 0;
      for (int Y = std::max(0, R.Top); Y < std::min(C.Height(), R.Bottom); ++Y)
        for (int X = std::max(0, R.Left); X < std::min(C.Width(), R.Right); ++X) N += KeyLike(C.Pixel(X, Y));
      return N;
    };
    const TRect Whole(0, 0, WR.right - WR.left, WR.bottom - WR.top);
    uitest::WaitFor([&] { return CountKeyLike(Shot(), Whole) == 0; });
    const uitest::TCapture C = Shot();
    C.MaybeSave((std::string("hue_keycolour_") + std::to_string(Row.Hue) + "_" + std::to_string(Row.Saturation)).c_str());
    EXPECT_EQ(CountKeyLike(C, Whole), 0) << "the form with its frame and title";

    for (const TShown& S : Controls) {
      SCOPED_TRACE(S.Name);
      POINT O{0, 0};
      ClientToScreen(S.Control->Parent()->Handle(), &O);
      const int L = O.x - WR.left + S.Control->Left(), T = O.y - WR.top + S.Control->Top();
      const int Wd = S.Control->Width(), Ht = S.Control->Height();
      EXPECT_EQ(CountKeyLike(C, TRect(L, T, L + Wd, T + Ht)), 0);
      // The outermost pixel of each rounded corner shows the form under it; a pixel of the rim
      // beside it is the rim's, whatever colour the change gave it.
      struct TCorner {
        int X, Y, DX, DY;
      };
      const TCorner Corners[4] = {{0, Ht - 1, 1, -1}, {Wd - 1, Ht - 1, -1, -1}, {0, 0, 1, 1}, {Wd - 1, 0, -1, 1}};
      for (int I = 0; I < S.Corners; ++I) {
        const TCorner& K = Corners[I];
        EXPECT_EQ(C.Pixel(L + K.X, T + K.Y), FormGrey) << K.X << "," << K.Y;
        const COLORREF RimNow = C.Pixel(L + K.X + K.DX, T + K.Y + 3 * K.DY);
        EXPECT_NE(RimNow, FormGrey) << "rim at " << K.X + K.DX << "," << K.Y + 3 * K.DY;
      }
    }
  }
}
