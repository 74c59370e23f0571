// What the skin manager answers about its loaded skin: the colour queries, the cache of common
// section and mask indexes, and the list of available skin names.
#include <gtest/gtest.h>

#include <windows.h>

#include "manager_test_support.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"

using namespace mgrtest;
using Strings = std::vector<std::string>;

namespace {

std::unique_ptr<TsSkinManager> NewManager() {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(AppDirectory() + "no skins here");
  return M;
}

std::unique_ptr<TsSkinManager> LoadedManager(const std::string& Options, TFiles Files = {}) {
  auto M = NewManager();
  AddStoredSkin(*M, "S", Options, std::move(Files));
  M->SetSkinName("S");
  EXPECT_TRUE(M->SkinActive());
  return M;
}

TColor Rgb(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }

}  // namespace

// ---- Colour queries ------------------------------------------------------------------------------

TEST(ManagerColours, ComeFromTheSkinsSections) {
  auto M = LoadedManager(
      "[GLOBALINFO]\r\nVERSION=7\r\nCOLOR=0x80000005\r\nFONTCOLOR=255\r\nHOTCOLOR=0x8000000F\r\n"
      "[EDIT]\r\nHOTFONTCOLOR=16711680\r\n"
      "[MENUITEM]\r\nHOTCOLOR=8421504\r\nHOTFONTCOLOR=65535\r\n");
  EXPECT_EQ(M->GetGlobalColor(), Rgb(clWindow));
  EXPECT_EQ(M->GetGlobalFontColor(), 255);
  // HOTCOLOR is stored as written; the answer is still a plain colour.
  EXPECT_EQ(M->GetGlobalHotColor(), Rgb(clBtnFace));
  EXPECT_EQ(M->GetEditHotFontColor(), 0xFF0000);
  EXPECT_EQ(M->GetHighlightColor(), 8421504);
  EXPECT_EQ(M->GetHighlightFontColor(), 65535);
}

TEST(ManagerColours, MissingSectionsGiveTheSystemColours) {
  for (bool Loaded : {false, true}) {
    auto M = Loaded ? LoadedManager("[GLOBALINFO]\r\nVERSION=7\r\n") : NewManager();
    if (Loaded) {
      // GLOBALINFO exists with its defaults: white, black text, white hot colour.
      EXPECT_EQ(M->GetGlobalColor(), 0xFFFFFF);
      EXPECT_EQ(M->GetGlobalFontColor(), 0);
      EXPECT_EQ(M->GetGlobalHotColor(), 0xFFFFFF);
    } else {
      EXPECT_EQ(M->GetGlobalColor(), Rgb(clBtnFace));
      EXPECT_EQ(M->GetGlobalFontColor(), clKeyColor);
      EXPECT_EQ(M->GetGlobalHotColor(), Rgb(clWindow));
    }
    EXPECT_EQ(M->GetEditHotFontColor(), clKeyColor) << Loaded;
    EXPECT_EQ(M->GetHighlightColor(), Rgb(clHighlight)) << Loaded;
    EXPECT_EQ(M->GetHighlightFontColor(), Rgb(clHighlightText)) << Loaded;
  }
}

TEST(ManagerColours, UnsetMenuColoursFallBackToTheSystemsHighlight) {
  struct TCase {
    const char* HotColor;
    const char* HotFontColor;
    TColor Highlight;
    TColor HighlightText;
  };
  const TColor Hl = Rgb(clHighlight);
  const TColor HlText = Rgb(clHighlightText);
  for (const TCase& C : {TCase{"16777215", "255", Hl, HlText},  // white hot colour: both unset
                         TCase{"16711935", "255", Hl, HlText},  // key colour
                         TCase{"-1", "255", Hl, HlText},
                         TCase{"128", "0", 128, HlText},  // black text counts as unset
                         TCase{"128", "16777215", 128, HlText},
                         TCase{"128", "16711935", 128, HlText},
                         TCase{"128", "4660", 128, 4660}}) {
    auto M = LoadedManager(std::string("[GLOBALINFO]\r\nVERSION=7\r\n[MENUITEM]\r\nHOTCOLOR=") + C.HotColor +
                           "\r\nHOTFONTCOLOR=" + C.HotFontColor + "\r\n");
    EXPECT_EQ(M->GetHighlightColor(), C.Highlight) << C.HotColor << " " << C.HotFontColor;
    EXPECT_EQ(M->GetHighlightFontColor(), C.HighlightText) << C.HotColor << " " << C.HotFontColor;
  }
}

// ---- Common indexes --------------------------------------------------------------------------------

namespace {

std::string MasterBmp() {
  TBitmap B(200, 150, pf24bit);
  B.Canvas()->Brush()->SetColor(clWhite);
  B.Canvas()->FillRect(Rect(0, 0, 200, 150));
  return BitmapBytes(B);
}

const char* const Border = "^0000^0000^0090^0040^0000^0000^0000^0000^3^1^0^0";
const char* const Glyph = "@0100@0000@0160@0020@3@0";
const char* const Texture = "~0000~0050~0030~0080~12";

std::string IndexSkin() {
  const std::string B = Border, G = Glyph, T = Texture;
  return "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nVERSION=7\r\nBOXCHECKED=" + G + "\r\nEXBORDER=" + B +
         "\r\nSMALLGRAYED=" + G +
         "\r\n"
         "[BUTTON]\r\nBORDERSMASK=" + B + "\r\nGLYPHMASK=" + G + "\r\nHOTPATTERN=" + T +
         "\r\n"
         "[COMBOBTN]\r\nPARENTCLASS=BUTTON\r\nPATTERN=" + T +
         "\r\n"
         "[COMBOBOX]\r\nGLYPHMASK=" + G +
         "\r\n"
         "[TABTOP]\r\nPARENTCLASS=BUTTON\r\n"
         "[TABLEFT]\r\nBORDERSMASK=" + B +
         "\r\n"
         "[SCROLLBTNTOP]\r\nBORDERSMASK=" + B + "\r\nGLYPHMASK=" + G + "\r\nHOTPATTERN=" + T +
         "\r\n"
         "[SCROLLSLIDERH]\r\nPARENTCLASS=BUTTON\r\n"
         "[SCROLLBAR1H]\r\nPARENTCLASS=SCROLLBTNTOP\r\n";
}

// Every entry of the cache, in declaration order.
std::vector<int> Flat(const TacCommonSkinIndexes& C) {
  std::vector<int> R{C.GlobalInfo,   C.ExBorder,     C.BoxChecked,     C.BoxUnchecked, C.BoxGrayed,
                     C.RadioChecked, C.RadioUnchecked, C.RadioGrayed, C.SmallChecked, C.SmallUnchecked,
                     C.SmallGrayed};
  for (const TacSkinPartIndexes* P :
       {&C.ComboBtn, &C.TabTop, &C.TabBottom, &C.TabLeft, &C.TabRight, &C.ScrollBtnTop, &C.ScrollBtnBottom,
        &C.ScrollBtnLeft, &C.ScrollBtnRight, &C.ScrollSliderV, &C.ScrollSliderH, &C.ScrollBar1H, &C.ScrollBar1V,
        &C.ScrollBar2H, &C.ScrollBar2V})
    for (int V : {P->Section, P->BordersMask, P->Pattern, P->HotPattern, P->GlyphMask}) R.push_back(V);
  return R;
}

}  // namespace

TEST(ManagerCommonIndexes, AreLookedUpOnceAfterEveryLoad) {
  auto M = LoadedManager(IndexSkin(), {{"MASTER.BMP", MasterBmp()}});
  const TacCommonSkinIndexes& C = M->CommonSkinIndexes();
  const auto Own = [&](const char* S, const char* K) { return M->GetOwnMaskIndex(S, K); };
  const auto Sec = [&](const char* S) { return M->GetSectionIndex(S); };

  EXPECT_EQ(C.GlobalInfo, Sec("GLOBALINFO"));
  ASSERT_GE(C.GlobalInfo, 0);
  EXPECT_EQ(C.BoxChecked, Own("GLOBALINFO", "BOXCHECKED"));
  EXPECT_GE(C.BoxChecked, 0);
  EXPECT_EQ(C.ExBorder, Own("GLOBALINFO", "EXBORDER"));
  EXPECT_EQ(C.SmallGrayed, Own("GLOBALINFO", "SMALLGRAYED"));
  EXPECT_EQ(C.BoxUnchecked, -1);
  EXPECT_EQ(C.RadioChecked, -1);

  // COMBOBTN: its own border only (BUTTON's is not inherited here), its own texture, and the
  // glyph of COMBOBOX.
  EXPECT_EQ(C.ComboBtn.Section, Sec("COMBOBTN"));
  EXPECT_EQ(C.ComboBtn.BordersMask, -1);
  EXPECT_EQ(C.ComboBtn.Pattern, Own("COMBOBTN", "PATTERN"));
  EXPECT_GE(C.ComboBtn.Pattern, 0);
  // HOTPATTERN comes from the parent through the texture lookup.
  EXPECT_EQ(C.ComboBtn.HotPattern, Own("BUTTON", "HOTPATTERN"));
  EXPECT_EQ(C.ComboBtn.GlyphMask, Own("COMBOBOX", "GLYPHMASK"));

  // Tabs: their border, inherited like any mask.
  EXPECT_EQ(C.TabTop.Section, Sec("TABTOP"));
  EXPECT_EQ(C.TabTop.BordersMask, Own("BUTTON", "BORDERSMASK"));
  EXPECT_EQ(C.TabLeft.BordersMask, Own("TABLEFT", "BORDERSMASK"));
  EXPECT_EQ(C.TabBottom.Section, -1);
  EXPECT_EQ(C.TabBottom.BordersMask, -1);

  // Scroll parts: buttons and sliders with glyphs, tracks without.
  EXPECT_EQ(C.ScrollBtnTop.Section, Sec("SCROLLBTNTOP"));
  EXPECT_EQ(C.ScrollBtnTop.BordersMask, Own("SCROLLBTNTOP", "BORDERSMASK"));
  EXPECT_EQ(C.ScrollBtnTop.Pattern, -1);
  EXPECT_EQ(C.ScrollBtnTop.HotPattern, Own("SCROLLBTNTOP", "HOTPATTERN"));
  EXPECT_EQ(C.ScrollBtnTop.GlyphMask, Own("SCROLLBTNTOP", "GLYPHMASK"));
  EXPECT_EQ(C.ScrollSliderH.GlyphMask, Own("BUTTON", "GLYPHMASK"));
  EXPECT_EQ(C.ScrollBar1H.Section, Sec("SCROLLBAR1H"));
  EXPECT_EQ(C.ScrollBar1H.BordersMask, Own("SCROLLBTNTOP", "BORDERSMASK"));
  EXPECT_EQ(C.ScrollBar1H.HotPattern, Own("SCROLLBTNTOP", "HOTPATTERN"));
  EXPECT_EQ(C.ScrollBar1H.GlyphMask, -1);
  const TacSkinPartIndexes None;
  for (const TacSkinPartIndexes* P : {&C.ScrollBtnBottom, &C.ScrollBtnLeft, &C.ScrollBtnRight, &C.ScrollSliderV,
                                      &C.ScrollBar1V, &C.ScrollBar2H, &C.ScrollBar2V, &C.TabRight})
    EXPECT_EQ((std::vector<int>{P->Section, P->BordersMask, P->Pattern, P->HotPattern, P->GlyphMask}),
              (std::vector<int>{None.Section, None.BordersMask, None.Pattern, None.HotPattern, None.GlyphMask}));

  // Every entry names a mask or section of this skin.
  for (int V : Flat(C)) EXPECT_TRUE(V == -1 || M->IsValidMaskIndex(V) || M->IsValidSectionIndex(V));

  // Another skin: the cache follows it.
  AddStoredSkin(*M, "Other", "[EDIT]\r\nCOLOR=1\r\n[GLOBALINFO]\r\nVERSION=7\r\n");
  M->SetSkinName("Other");
  EXPECT_EQ(M->CommonSkinIndexes().GlobalInfo, 1);
  EXPECT_EQ(M->CommonSkinIndexes().ComboBtn.Section, -1);
  EXPECT_EQ(M->CommonSkinIndexes().BoxChecked, -1);

  // Switched off: nothing at all.
  M->SetActive(false);
  EXPECT_EQ(Flat(M->CommonSkinIndexes()), Flat(TacCommonSkinIndexes{}));
}

TEST(ManagerCommonIndexes, WithoutGlobalInfoNoGlobalPictures) {
  auto M = LoadedManager("[COMBOBTN]\r\nCOLOR=1\r\n");
  EXPECT_EQ(M->CommonSkinIndexes().GlobalInfo, -1);
  EXPECT_EQ(M->CommonSkinIndexes().ExBorder, -1);
  EXPECT_EQ(M->CommonSkinIndexes().ComboBtn.Section, 0);
}

// ---- Skin names --------------------------------------------------------------------------------

TEST(ManagerSkinNames, ListStoredSkinsFoldersAndPackedFiles) {
  TTempDir T;
  T.Folder("Alpha");
  T.Write("Alpha\\Options.dat", "[GLOBALINFO]\r\n");
  T.Folder("Empty");
  T.Folder(".hidden");
  T.Write(".hidden\\Options.dat", "[GLOBALINFO]\r\n");
  T.Write("Blue.dark.asz", "x");
  T.Write("Caps.ASZ", "x");
  T.Write("zeta.asz", "x");
  T.Write("notes.txt", "x");
  auto M = NewManager();
  M->SetSkinDirectory(T.Path);
  AddStoredSkin(*M, "Stored2", "[GLOBALINFO]\r\n");
  AddStoredSkin(*M, "Stored1", "[GLOBALINFO]\r\n");

  TStringList L;
  L.Add("left over");
  EXPECT_EQ(M->GetSkinNames(&L, 2), "Stored2");
  EXPECT_EQ(L.Text(), "Alpha\r\nBlue\r\nStored1\r\nStored2\r\nzeta\r\n");
  EXPECT_EQ(M->GetSkinNames(&L, 0), "Stored2");
  EXPECT_EQ(L.Text(), "Alpha\r\nStored1\r\nStored2\r\n");
  M->GetSkinNames(&L, 1);
  EXPECT_EQ(L.Text(), "Blue\r\nStored1\r\nStored2\r\nzeta\r\n");

  // Without stored skins the first name found is the answer.
  auto Bare = NewManager();
  Bare->SetSkinDirectory(T.Path);
  EXPECT_EQ(Bare->GetSkinNames(&L, 0), "Alpha");
  const AnsiString First = Bare->GetSkinNames(&L, 1);
  EXPECT_TRUE(First == "Blue" || First == "zeta") << First;

  // A directory that does not exist lists the stored skins only.
  M->SetSkinDirectory(T.Path + "missing");
  M->GetSkinNames(&L, 2);
  EXPECT_EQ(L.Text(), "Stored1\r\nStored2\r\n");
  auto None = NewManager();
  EXPECT_EQ(None->GetSkinNames(&L, 2), "");
  EXPECT_EQ(L.Count(), 0);
}

// ---- ThirdParty lists ------------------------------------------------------------------------------

TEST(ManagerThirdParty, EmptyTextsGetTheirDefaultBack) {
  auto M = NewManager();
  M->ThirdParty()->SetThirdButtons("");
  M->ThirdParty()->SetThirdGrids("");
  M->ThirdParty()->SetThirdEdits("TMyEdit");
  M->UpdateThirdNames();
  EXPECT_EQ(M->ThirdParty()->ThirdButtons(), "TButton");
  EXPECT_EQ(M->ThirdParty()->ThirdGrids(), " ");
  EXPECT_EQ(M->ThirdLists(tpButton)->Text(), "TButton\r\n");
  EXPECT_EQ(M->ThirdLists(tpEdit)->Text(), "TMyEdit\r\n");
  M->UpdateThirdNames(true);
  EXPECT_EQ(M->ThirdParty()->ThirdEdits(), " ");
}
