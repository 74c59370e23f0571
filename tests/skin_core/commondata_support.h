// Test support of the skin data tests: a generated skin with one section per case (flat, half and
// fully transparent, gradients, textures, wide, tall and thin borders, glow), a manager that loads
// it, and controls of every shape (panel, edit, custom control, graphic control) that own a skin
// data and route every message through the shared handler, as the skinned controls do. Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "framework/Controls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"
#include "manager_test_support.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "support/UiTest.h"

namespace cdtest {

// Border images of the master bitmap: 3 frames of 30 x 40 at (0, 0); the glow image 30 x 30 at
// (100, 0); the tile at (0, 50) - (30, 80).
inline const char* const Options =
    "[GLOBALINFO]\r\n"
    "MASTERBITMAP=MASTER.BMP\r\n"
    "COLOR=0x00C0C0C0\r\n"
    "[EDIT]\r\n"
    "COLOR=0x0000FFFF\r\n"
    "FONTCOLOR=0x00800000\r\n"
    "[PANEL]\r\n"
    "COLOR=0x00302010\r\n"
    "GIVEOWNFONT=TRUE\r\n"
    "[FLAT]\r\n"
    "COLOR=0x00102030\r\n"
    "[HALF]\r\n"
    "COLOR=0x00000000\r\n"
    "TRANSPARENCY=50\r\n"
    "[QUARTER]\r\n"
    "COLOR=0x00000000\r\n"
    "TRANSPARENCY=25\r\n"
    "[SEETHRU]\r\n"
    "TRANSPARENCY=60\r\n"
    "GIVEOWNFONT=TRUE\r\n"
    "[CLEAR]\r\n"
    "TRANSPARENCY=100\r\n"
    "[GRAD]\r\n"
    "GRADIENTPERCENT=50\r\n"
    "GRADIENTDATA=16777215;0;100;0;0\r\n"
    "[GRADH]\r\n"
    "GRADIENTPERCENT=50\r\n"
    "GRADIENTDATA=16777215;0;100;1;0\r\n"
    "[GRADT]\r\n"
    "GRADIENTPERCENT=50\r\n"
    "GRADIENTDATA=16777215;0;100;2;0\r\n"
    "[TEXTURED]\r\n"
    "IMAGEPERCENT=30\r\n"
    "PATTERN=~0000~0050~0030~0080~12\r\n"
    "HOTPATTERN=~0000~0050~0030~0080~12\r\n"
    "[WIDE]\r\n"
    "BORDERSMASK=^0000^0000^0090^0040^0016^0004^0016^0004^3^0^0^0\r\n"
    "[TALL]\r\n"
    "BORDERSMASK=^0000^0000^0090^0040^0004^0016^0004^0016^3^0^0^0\r\n"
    "[BITTWO]\r\n"
    "BORDERSMASK=^0000^0000^0090^0040^0016^0004^0016^0004^3^0^2^0\r\n"
    "[THICK]\r\n"
    "TRANSPARENCY=100\r\n"
    "BORDERSMASK=^0000^0000^0090^0040^0030^0004^0030^0004^3^0^0^0\r\n"
    "[THIN]\r\n"
    "TRANSPARENCY=100\r\n"
    "BORDERSMASK=^0000^0000^0090^0040^0005^0005^0005^0005^3^0^0^0\r\n"
    "[GROUPBOX]\r\n"
    "BORDERSMASK=^0000^0000^0090^0040^0003^0003^0004^0005^3^0^0^0\r\n"
    "[GLOWING]\r\n"
    "COLOR=0x00FFFFFF\r\n"
    "GLOW=1\r\n"
    "GLOWMARGIN=2\r\n"
    "GLOW0=^0100^0000^0130^0030^0008^0008^0008^0008^1^0^0^0\r\n";

inline const char* const OtherOptions =
    "[GLOBALINFO]\r\n"
    "MASTERBITMAP=MASTER.BMP\r\n"
    "[ZERO]\r\n"
    "[ONE]\r\n"
    "[EDIT]\r\n"
    "COLOR=0x000000FF\r\n";

inline mgrtest::TFiles Files() { return {{"MASTER.BMP", mgrtest::SolidBmp(200, 100, clGray)}}; }

// A manager (the default one when it is the first) with the test skin loaded.
inline std::unique_ptr<TsSkinManager> NewSkinnedManager(const char* OptionsText = Options) {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory("c:\\no such skins dir");
  mgrtest::AddStoredSkin(*M, "Test", OptionsText, Files());
  M->SetSkinName("Test");
  return M;
}

// A form on the screen for the test, freed at the end.
struct TTestForm {
  TForm* Form;
  TTestForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(60, 60, 420, 320);
  }
  ~TTestForm() {
    delete Form;
    uitest::Pump();
  }
  TTestForm(const TTestForm&) = delete;
  TTestForm& operator=(const TTestForm&) = delete;
  void Show() { uitest::ShowSettled(Form); }
  // A new control owned by the form (the arguments after the owner go to its constructor) with
  // Parent as its parent.
  template <class T, class... TArgs>
  T* Add(TWinControl* Parent, TArgs&&... Args) {
    auto* C = new T(Form, std::forward<TArgs>(Args)...);
    C->SetParent(Parent);
    return C;
  }
};

// What a test control does with a message before the shared handling (true: answered).
using TIntercept = std::function<bool(TMessage&)>;

// The route of every skinned control: the interception of the test, the shared handling, and,
// unless that answered, the control's own.
#define CDTEST_ROUTE(Base)                                                   \
 protected:                                                                  \
  void WndProc(TMessage& M) override {                                       \
    if (Intercept && Intercept(M)) return;                                   \
    if (HandleCommonMessage(M, FSkinData.get())) return;                     \
    Base::WndProc(M);                                                        \
  }                                                                          \
                                                                             \
 public:                                                                     \
  TsCommonData* SkinData() const { return FSkinData.get(); }                 \
  TIntercept Intercept;                                                      \
                                                                             \
 private:                                                                    \
  std::unique_ptr<TsCommonData> FSkinData;

class TSkinnedPanel : public TPanel {
  T_CLASS(TSkinnedPanel, TPanel)
 public:
  TSkinnedPanel(TComponent* AOwner, const AnsiString& Section, int Kind = 51)
      : TPanel(AOwner), FSkinData(std::make_unique<TsCommonData>(this, Kind, true)) {
    FSkinData->SetSkinSection(Section);
  }
  ~TSkinnedPanel() override { FSkinData.reset(); }
  CDTEST_ROUTE(TPanel)
};

class TSkinnedControl : public TCustomControl {
  T_CLASS(TSkinnedControl, TCustomControl)
 public:
  TSkinnedControl(TComponent* AOwner, const AnsiString& Section, int Kind = 2)
      : TCustomControl(AOwner), FSkinData(std::make_unique<TsCommonData>(this, Kind, true)) {
    FSkinData->SetSkinSection(Section);
    SetTabStop(true);
  }
  ~TSkinnedControl() override { FSkinData.reset(); }
  CDTEST_ROUTE(TCustomControl)
};

class TSkinnedEdit : public TEdit {
  T_CLASS(TSkinnedEdit, TEdit)
 public:
  explicit TSkinnedEdit(TComponent* AOwner, const AnsiString& Section = "EDIT")
      : TEdit(AOwner), FSkinData(std::make_unique<TsCommonData>(this, 3, true)) {
    FSkinData->SetSkinSection(Section);
  }
  ~TSkinnedEdit() override { FSkinData.reset(); }
  CDTEST_ROUTE(TEdit)
};

class TSkinnedGraphic : public TGraphicControl {
  T_CLASS(TSkinnedGraphic, TGraphicControl)
 public:
  TSkinnedGraphic(TComponent* AOwner, const AnsiString& Section, int Kind = ckGraphicControl)
      : TGraphicControl(AOwner), FSkinData(std::make_unique<TsCommonData>(this, Kind, true)) {
    FSkinData->SetSkinSection(Section);
  }
  ~TSkinnedGraphic() override { FSkinData.reset(); }
  CDTEST_ROUTE(TGraphicControl)
};

// A skin command message record.
inline TMessage Cmd(Word Code, Word Arg = 0, LPARAM LParam = 0) {
  TMessage M;
  M.Msg = SM_ALPHACMD;
  M.WParam = MakeAlphaCmd(Code, Arg);
  M.LParam = LParam;
  return M;
}

// The command through a control's whole message route (its window for a windowed control).
inline LRESULT Send(TControl* C, Word Code, Word Arg = 0, LPARAM LParam = 0) {
  if (auto* W = dynamic_cast<TWinControl*>(C)) return SendMessageW(W->Handle(), SM_ALPHACMD, MakeAlphaCmd(Code, Arg), LParam);
  return C->Perform(SM_ALPHACMD, MakeAlphaCmd(Code, Arg), LParam);
}

// Fills a bitmap with one colour.
inline void Fill(TBitmap* B, int W, int H, TColor C) {
  B->SetSize(W, H);
  B->Canvas()->Brush()->SetColor(C);
  B->Canvas()->FillRect(Rect(0, 0, W, H));
}

// The colour of a pixel of a memory device context (0x00BBGGRR).
inline TColor PixelOf(HDC DC, int X, int Y) { return static_cast<TColor>(GetPixel(DC, X, Y)); }

// A 24-bit memory device context of W x H filled with one colour.
struct TMemDC {
  TBitmap Bmp;
  TMemDC(int W, int H, TColor C) : Bmp(W, H, pf24bit) { Fill(&Bmp, W, H, C); }
  HDC DC() { return Bmp.Canvas()->Handle(); }
  TColor At(int X, int Y) { return PixelOf(DC(), X, Y); }
};

}  // namespace cdtest
