// The program's own dark skin, as the program file carries it: the packed data that fills the
// main form's stored skin. The pack, its options text and its master bitmap are checked against
// what the skin's generator promises (skinart_manifest.inc), the skin is loaded through the skin
// manager, and a mock window is painted from it by the engine's painters; with TV_SCREENSHOT_DIR
// set, that window is saved as skinart_window.bmp for a look.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/Graphics.h"
#include "framework/StreamAdapter.h"
#include "framework/Streams.h"
#include "framework/Strings.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinOptions.h"
#include "skin/core/sVclUtils.h"
#include "support/AppTestHelpers.h"

namespace {

// ---- What the generator promises ------------------------------------------------------------------

struct TPromisedPicture {
  const char* Section;
  const char* Key;
  int Kind;  // 0 border mask, 2 glyph
  int FrameWidth, FrameHeight, Frames, MaskType, WL, WT, WR, WB, DrawMode;
};

#include "skinart_manifest.inc"

const std::vector<std::string> PromisedSections = {SKINART_SECTIONS};
const std::vector<TPromisedPicture> PromisedPictures = {SKINART_PICTURES};

constexpr TColor Key = 0xFF00FF;

// The program's resource.
std::string EmbeddedPack() {
  TResourceStream S(GetModuleHandleW(nullptr), "DEFAULTSKIN", MAKEINTRESOURCEA(10));
  return std::string(static_cast<const char*>(S.Memory()), static_cast<std::size_t>(S.Size()));
}

const TacPackEntry* FindEntry(const std::vector<TacPackEntry>& Entries, const char* Name) {
  for (const TacPackEntry& E : Entries)
    if (SameText(E.Name, Name)) return &E;
  return nullptr;
}

std::string EntryText(const TacPackEntry& E) { return std::string(E.Data.begin(), E.Data.end()); }

// The master bitmap of the pack, decoded by the framework.
std::unique_ptr<TBitmap> DecodeMaster(const TacPackEntry& E) {
  auto B = std::make_unique<TBitmap>();
  TReadOnlyMemoryStream S(E.Data.data(), static_cast<std::int64_t>(E.Data.size()));
  B->LoadFromStream(S);
  B->SetPixelFormat(pf24bit);
  return B;
}

// A pixel of a 24-bit bitmap as a TColor ($00BBGGRR).
TColor PixelOf(TBitmap& B, int X, int Y) {
  const auto* P = static_cast<const Byte*>(B.ScanLine(Y)) + 3 * X;
  return static_cast<TColor>(P[2] | (P[1] << 8) | (P[0] << 16));
}

TColor Rgb(int R, int G, int B) { return static_cast<TColor>(R | (G << 8) | (B << 16)); }
int Red(TColor C) { return C & 0xFF; }
int Green(TColor C) { return (C >> 8) & 0xFF; }
int Blue(TColor C) { return (C >> 16) & 0xFF; }

// Everything the tests read from the pack, unpacked once.
struct TSkinFiles {
  std::string Pack = EmbeddedPack();
  std::size_t End = 0;
  std::vector<TacPackEntry> Entries = UnpackSkinPack(Pack.data(), Pack.size(), &End);
  std::string OptionsText = EntryText(*FindEntry(Entries, "Options.dat"));
  TacSkinOptions Options{OptionsText};
  std::unique_ptr<TBitmap> Master = DecodeMaster(*FindEntry(Entries, "Master.bmp"));

  TsMaskData Picture(const TPromisedPicture& P) const {
    TsMaskData M;
    ParseFixedImageValue(P.Section, P.Key, Options.Ini().ReadString(P.Section, P.Key, ""), M);
    return M;
  }
};

const TSkinFiles& Files() {
  static const TSkinFiles F;
  return F;
}

// ---- The pack and its options text ----------------------------------------------------------------

TEST(SkinArtPack, ProgramCarriesAPackOfTheOptionsTextAndTheMasterBitmap) {
  const TSkinFiles& F = Files();
  EXPECT_EQ(F.Pack.compare(0, 4, "ASzf"), 0);
  EXPECT_EQ(F.End, F.Pack.size()) << "nothing may follow the last file";
  ASSERT_EQ(F.Entries.size(), 2u);
  EXPECT_EQ(F.Entries[0].Name, "Options.dat");
  EXPECT_EQ(F.Entries[1].Name, "Master.bmp");

  // The reader of stored skins takes it as it is.
  TMemoryStream Data;
  Data.WriteBuffer(F.Pack.data(), static_cast<std::int64_t>(F.Pack.size()));
  TacSkinConvertor Pack;
  Pack.SetPackedData(&Data, false);
  Pack.ExtractPackedData();
  EXPECT_EQ(Pack.ImageCount, 1);
  ASSERT_NE(Pack.FindFile("MASTER.BMP"), nullptr);
  EXPECT_TRUE(Pack.Files[0].IsBitmap);
  ASSERT_TRUE(Pack.Options);
  EXPECT_EQ(Pack.Options->Size(), static_cast<std::int64_t>(F.OptionsText.size()));
}

TEST(SkinArtPack, OptionsTextHoldsEveryPromisedSectionWithItsValues) {
  const TSkinFiles& F = Files();
  const std::vector<AnsiString> Names = F.Options.SectionNames();
  ASSERT_EQ(Names.size(), PromisedSections.size());
  for (std::size_t I = 0; I < Names.size(); ++I) EXPECT_EQ(Names[I], PromisedSections[I]);
  // GLOBALINFO comes first: a section found at index 0 paints no label background.
  EXPECT_EQ(Names.front(), "GLOBALINFO");
  EXPECT_EQ(std::set<AnsiString>(Names.begin(), Names.end()).size(), Names.size()) << "a section twice";

  TsSkinData Data;
  ReadSkinGlobalInfo(F.Options, Data);
  EXPECT_DOUBLE_EQ(Data.Version, 7.0);
  EXPECT_EQ(Data.BorderWidth, 4);
  EXPECT_EQ(Data.TitleHeight, 26);
  EXPECT_EQ(Data.MaxHeight, 26);
  EXPECT_EQ(Data.BICloseGlow, 0);
  EXPECT_EQ(F.Options.Ini().ReadString("GLOBALINFO", "MASTERBITMAP", ""), "MASTER.BMP");

  const std::set<AnsiString> Known(Names.begin(), Names.end());
  for (const AnsiString& Name : Names) {
    SCOPED_TRACE(Name);
    TsGeneralData S;
    ASSERT_NO_THROW(S = ReadSkinSection(F.Options, Name, nullptr));
    if (!S.ParentClass.empty()) {
      EXPECT_TRUE(Known.count(S.ParentClass)) << "unknown parent " << S.ParentClass;
    }
    // A section of its own colours: never the white of a missing COLOR.
    EXPECT_NE(S.Color, 0xFFFFFF);
    if (S.GradientPercent > 0) {
      EXPECT_EQ(S.GradientArray().size(), 1u);
    }
    if (S.HotGradientPercent > 0) {
      EXPECT_EQ(S.HotGradientArray().size(), 1u);
    }
    // Light text on dark surfaces.
    if (S.Transparency < 100) {
      EXPECT_LT(Red(S.Color) + Green(S.Color) + Blue(S.Color), 3 * 0x60);
    }
  }
  const TsGeneralData Button = ReadSkinSection(F.Options, "BUTTON", nullptr);
  EXPECT_GT(Red(Button.FontColor[0]) + Green(Button.FontColor[0]) + Blue(Button.FontColor[0]), 3 * 0xC0);
  EXPECT_TRUE(Button.ShowFocus);
  // Inherited values: a combo box is an edit.
  EXPECT_EQ(ReadSkinSection(F.Options, "COMBOBOX", nullptr).Color, ReadSkinSection(F.Options, "EDIT", nullptr).Color);
}

TEST(SkinArtPack, EveryPictureKeyIsPromisedAndHasThePromisedGeometry) {
  const TSkinFiles& F = Files();
  std::set<std::string> Promised;
  for (const TPromisedPicture& P : PromisedPictures) {
    SCOPED_TRACE(std::string(P.Section) + "." + P.Key);
    Promised.insert(std::string(P.Section) + "." + P.Key);
    const AnsiString Value = F.Options.Ini().ReadString(P.Section, P.Key, "");
    EXPECT_EQ(ImageNotationOf(Value), P.Kind == 0 ? TacImageNotation::Border : TacImageNotation::Glyph);
    EXPECT_FALSE(IsSkinValueKey(P.Section, P.Key));
    const TsMaskData M = F.Picture(P);
    EXPECT_EQ(M.ImageCount, P.Frames);
    EXPECT_EQ(M.MaskType, P.MaskType);
    EXPECT_EQ(MaskFrameWidth(M), P.FrameWidth);
    EXPECT_EQ(MaskFrameHeight(M), P.FrameHeight);
    EXPECT_EQ(M.R.Width(), P.FrameWidth * P.Frames) << "frames side by side, nothing left over";
    EXPECT_EQ(M.R.Height(), P.FrameHeight * (P.MaskType + 1));
    EXPECT_TRUE(RectFitsImage(M.R, F.Master->Width(), F.Master->Height()));
    if (P.Kind == 0) {
      EXPECT_EQ(M.ImgType, itisaBorder);
      EXPECT_EQ(M.WL, P.WL);
      EXPECT_EQ(M.WT, P.WT);
      EXPECT_EQ(M.WR, P.WR);
      EXPECT_EQ(M.WB, P.WB);
      EXPECT_EQ(M.DrawMode, P.DrawMode);
      EXPECT_LE(M.WL + M.WR, P.FrameWidth);
      EXPECT_LE(M.WT + M.WB, P.FrameHeight);
    } else {
      EXPECT_EQ(M.ImgType, itisaGlyph);
    }
  }
  // And nothing else in the text is a picture.
  for (const TIniSection& S : F.Options.Ini().Data().Sections()) {
    for (const TIniEntry& E : S.Entries) {
      if (!IsSkinValueKey(S.Name, E.Name) && ImageNotationOf(E.Value) != TacImageNotation::None) {
        EXPECT_TRUE(Promised.count(S.Name + "." + E.Name)) << S.Name << "." << E.Name << " is not promised";
      }
    }
  }
  // The pictures the form skinning and the check boxes look for.
  for (const char* K : {"BICONCLOSE", "BICONMAX", "BICONNORM", "BICONMIN", "BICONHELP", "SICONCLOSE", "SICONMAX",
                        "SICONNORM", "SICONMIN", "SICONHELP", "TITLEBUTTON", "BOXCHECKED", "BOXUNCHECKED",
                        "BOXGRAYED", "RADIOCHECKED", "RADIOUNCHECKED", "SMALLCHECKED", "CHECK", "GRIPIMAGE"})
    EXPECT_TRUE(Promised.count(std::string("GLOBALINFO.") + K)) << K;
  for (const char* S : {"FORM", "FORMTITLE", "DIALOG", "BUTTON", "EDIT", "MAINMENU", "MENUITEM", "SCROLLSLIDERH",
                        "SCROLLSLIDERV", "TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT"})
    EXPECT_TRUE(Promised.count(std::string(S) + ".BORDERSMASK")) << S;
}

// The pixels of the master bitmap follow the painting rules: sides of opaque masks hold no key
// colour (they are copied as they are), key pixels of masked pictures are also fully see-through,
// every glyph frame shows something, and unused parts of the bitmap are key-coloured.
TEST(SkinArtPack, MasterBitmapPixelsFollowThePaintingRules) {
  const TSkinFiles& F = Files();
  TBitmap& B = *F.Master;
  ASSERT_EQ(B.Width(), 256);
  std::vector<bool> Used(static_cast<std::size_t>(B.Width() * B.Height()), false);
  for (const TPromisedPicture& P : PromisedPictures) {
    SCOPED_TRACE(std::string(P.Section) + "." + P.Key);
    const TsMaskData M = F.Picture(P);
    for (int Y = M.R.Top; Y < M.R.Bottom; ++Y)
      for (int X = M.R.Left; X < M.R.Right; ++X) Used[static_cast<std::size_t>(Y * B.Width() + X)] = true;
    for (int N = 0; N < P.Frames; ++N) {
      int Shown = 0;
      for (int Y = 0; Y < P.FrameHeight; ++Y)
        for (int X = 0; X < P.FrameWidth; ++X) {
          const int SX = M.R.Left + N * P.FrameWidth + X, SY = M.R.Top + Y;
          const TColor C = PixelOf(B, SX, SY);
          const bool Corner = (X < P.WL || X >= P.FrameWidth - P.WR) && (Y < P.WT || Y >= P.FrameHeight - P.WB);
          if (P.MaskType == 1) {
            const TColor Mask = PixelOf(B, SX, SY + P.FrameHeight);
            EXPECT_TRUE(Red(Mask) == Green(Mask) && Green(Mask) == Blue(Mask)) << "grey masks only";
            if (C == Key) {
              EXPECT_EQ(Red(Mask), 255) << "at " << X << "," << Y;
            }
            if (C != Key && Red(Mask) < 255) ++Shown;
          } else if (C != Key) {
            ++Shown;
          }
          if (P.Kind == 0 && C == Key) {
            EXPECT_TRUE(Corner) << "key colour outside the corners at " << X << "," << Y;
          }
        }
      // User caption buttons show only their own glyph while normal.
      const bool MayBeEmpty = std::string(P.Key) == "TITLEBUTTON" && N == 0;
      if (P.Kind == 2 && !MayBeEmpty) {
        EXPECT_GT(Shown, 0) << "frame " << N << " is empty";
      }
    }
  }
  for (int Y = 0; Y < B.Height(); ++Y)
    for (int X = 0; X < B.Width(); ++X)
      if (!Used[static_cast<std::size_t>(Y * B.Width() + X)]) {
        ASSERT_EQ(PixelOf(B, X, Y), Key) << X << "," << Y;
      }
}

TEST(SkinArtPack, WindowAndButtonCornersAreRoundedAndOutlined) {
  const TSkinFiles& F = Files();
  TBitmap& B = *F.Master;
  for (const TPromisedPicture& P : PromisedPictures) {
    const std::string Name = std::string(P.Section) + "." + P.Key;
    if (Name != "FORM.BORDERSMASK" && Name != "FORMTITLE.BORDERSMASK" && Name != "BUTTON.BORDERSMASK") continue;
    SCOPED_TRACE(Name);
    const TsMaskData M = F.Picture(P);
    for (int N = 0; N < P.Frames; ++N) {
      const int X0 = M.R.Left + N * P.FrameWidth, Y0 = M.R.Top;
      // The outermost corner pixels are cut away (the window region loses them) ...
      EXPECT_EQ(PixelOf(B, X0, Y0), Key);
      EXPECT_EQ(PixelOf(B, X0 + P.FrameWidth - 1, Y0), Key);
      // ... while the top edge in the middle is a solid outline.
      const int MX = X0 + P.FrameWidth / 2;
      EXPECT_NE(PixelOf(B, MX, Y0), Key);
      EXPECT_EQ(Red(PixelOf(B, MX, Y0 + P.FrameHeight)), 0) << "opaque outline";
      // Inside the outline the face shows through.
      EXPECT_EQ(Red(PixelOf(B, MX, Y0 + P.FrameHeight + P.FrameHeight / 2 + 1)), 255);
    }
  }
}

// ---- Loaded by the skin manager -----------------------------------------------------------------------

// A manager holding the program's skin as its one stored skin, loaded.
std::unique_ptr<TsSkinManager> LoadedManager() {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  TsStoredSkin* S = M->InternalSkins()->Add();
  S->SetName("Default (internal)");
  const std::string& Pack = Files().Pack;
  TReadOnlyMemoryStream Data(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  S->ReadData(Data);
  M->SetSkinDirectory("c:\\NoSkinsHere");
  M->SetSkinName("Default (internal)");
  return M;
}

TEST(SkinArtManager, LoadsTheSkinWithEverySectionAndPicture) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  EXPECT_TRUE(M->SkinIsPacked());
  EXPECT_EQ(M->SkinData()->SkinPath, "");
  EXPECT_DOUBLE_EQ(M->SkinData()->Version, 7.0);
  ASSERT_EQ(M->GeneralData().size(), PromisedSections.size());
  for (const std::string& S : PromisedSections) EXPECT_GE(M->GetSectionIndex(S), 0) << S;
  ASSERT_EQ(M->Masks().size(), PromisedPictures.size());
  EXPECT_EQ(M->MasterBitmap()->Width(), Files().Master->Width());
  EXPECT_EQ(M->MasterBitmap()->Height(), Files().Master->Height());
  for (const TPromisedPicture& P : PromisedPictures) {
    SCOPED_TRACE(std::string(P.Section) + "." + P.Key);
    const int I = M->GetOwnMaskIndex(P.Section, P.Key);
    ASSERT_TRUE(M->IsValidMaskIndex(I));
    const TSize Frame = M->GetMaskFrameSize(I);
    EXPECT_EQ(Frame.cx, P.FrameWidth);
    EXPECT_EQ(Frame.cy, P.FrameHeight);
    if (P.Kind == 0) {
      if (P.WL > 0) {
        EXPECT_EQ(M->GetMaskLeftMargin(I), P.WL);
      }
      EXPECT_EQ(M->GeneralData()[static_cast<std::size_t>(M->GetSectionIndex(P.Section))].BorderIndex, I)
          << "the section knows its border";
    }
  }
  // Lookups through the parent: a combo box finds the edit's border.
  const int Combo = M->GetSectionIndex("COMBOBOX");
  EXPECT_EQ(M->GetMaskIndex(Combo, "COMBOBOX", "BORDERSMASK"), M->GetOwnMaskIndex("EDIT", "BORDERSMASK"));
  EXPECT_EQ(M->GetOwnMaskIndex("COMBOBOX", "BORDERSMASK"), -1);
}

// ---- Painted by the engine ------------------------------------------------------------------------------

class TMockWindow {
 public:
  explicit TMockWindow(TsSkinManager* M) : FM(M), FB(520, 300, pf24bit) {
    FB.Canvas()->Brush()->SetColor(Desktop);
    FB.Canvas()->FillRect(TRect{0, 0, FB.Width(), FB.Height()});
  }
  static constexpr TColor Desktop = 0x8C7B6A;

  TBitmap& Bmp() { return FB; }
  int Section(const char* Name) const { return FM->GetSectionIndex(Name); }
  const TsGeneralData& Data(const char* Name) const {
    return FM->GeneralData()[static_cast<std::size_t>(Section(Name))];
  }
  const TsMaskData& Mask(const char* Section, const char* Key) const {
    return FM->Masks()[static_cast<std::size_t>(FM->GetOwnMaskIndex(Section, Key))];
  }

  // A section with its border; the background is what the bitmap holds under R.
  void Paint(const char* Name, int State, TRect R) {
    PaintSectionWithCorners(Section(Name), Name, MakeCacheInfo(&FB, 0, 0), false, State, R, TPoint{0, 0}, &FB, FM);
  }
  void Glyph(const char* Section, const char* Key, int State, int X, int Y) {
    DrawSkinGlyph(&FB, TPoint{X, Y}, State, 1, Mask(Section, Key), MakeCacheInfo(&FB, 0, 0));
  }
  void Text(int X, int Y, const wchar_t* S, std::int32_t Color) {
    HDC DC = FB.Canvas()->Handle();
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, static_cast<COLORREF>(Color));
    HGDIOBJ Old = SelectObject(DC, GetStockObject(DEFAULT_GUI_FONT));
    TextOutW(DC, X, Y, S, static_cast<int>(wcslen(S)));
    SelectObject(DC, Old);
  }

 private:
  TsSkinManager* FM;
  TBitmap FB;
};

TEST(SkinArtPainting, MockWindowPaintsFromTheSkin) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TMockWindow W(M.get());

  // The form, its title bar (active) and its caption buttons, the close button hot.
  const TRect Form{10, 10, 510, 290};
  const int Band = 26;
  W.Paint("FORM", 1, Form);
  W.Paint("FORMTITLE", 1, TRect{Form.Left, Form.Top, Form.Right, Form.Top + Band});
  W.Text(Form.Left + 10, Form.Top + 6, L"Tavisko TV 4.0", W.Data("FORMTITLE").HotFontColor[0]);
  int X = Form.Right - 2 - 3;
  struct TCaptionButton {
    const char* Key;
    int State;
  };
  TRect Close;
  for (const TCaptionButton& C : {TCaptionButton{"BICONCLOSE", 1}, {"BICONMAX", 0}, {"BICONMIN", 0}}) {
    const TsMaskData& Img = W.Mask("GLOBALINFO", C.Key);
    X -= MaskFrameWidth(Img);
    const int Y = Form.Top + (Band - MaskFrameHeight(Img)) / 2;
    W.Glyph("GLOBALINFO", C.Key, C.State, X, Y);
    if (C.State == 1) Close = TRect{X, Y, X + MaskFrameWidth(Img), Y + MaskFrameHeight(Img)};
    X -= 1;
  }
  // Buttons: normal, hot, pressed.
  TRect Buttons[3];
  for (int S = 0; S < 3; ++S) {
    Buttons[S] = TRect{30 + S * 100, 60, 30 + S * 100 + 88, 85};
    W.Paint("BUTTON", S, Buttons[S]);
    W.Text(Buttons[S].Left + 26, Buttons[S].Top + 6, L"Button",
           S ? W.Data("BUTTON").HotFontColor[0] : W.Data("BUTTON").FontColor[0]);
  }
  // Edits, normal and focused; check boxes; a list with a vertical scroll bar; a popup menu.
  for (int S = 0; S < 2; ++S) {
    const TRect E{30 + S * 150, 100, 170 + S * 150, 122};
    W.Paint("EDIT", S, E);
    W.Text(E.Left + 6, E.Top + 4, L"Channel", W.Data("EDIT").FontColor[0]);
  }
  const char* Boxes[] = {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED", "RADIOUNCHECKED", "RADIOCHECKED"};
  for (int I = 0; I < 5; ++I) W.Glyph("GLOBALINFO", Boxes[I], I == 1 ? 1 : 0, 30 + I * 40, 140);
  const TRect List{30, 170, 230, 275};
  W.Paint("EDIT", 0, List);
  const TRect Track{List.Right - 17, List.Top + 1, List.Right - 1, List.Bottom - 1};
  W.Paint("SCROLLBAR1V", 0, Track);
  const TRect Thumb{Track.Left, Track.Top + 24, Track.Right, Track.Top + 64};
  W.Paint("SCROLLSLIDERV", 1, Thumb);
  W.Glyph("SCROLLBTNTOP", "GLYPHMASK", 0, Track.Left + 4, Track.Top + 4);
  W.Glyph("SCROLLBTNBOTTOM", "GLYPHMASK", 1, Track.Left + 4, Track.Bottom - 13);
  const TRect Menu{260, 150, 380, 250};
  W.Paint("MAINMENU", 0, Menu);
  W.Paint("ICOLINE", 0, TRect{Menu.Left + 3, Menu.Top + 3, Menu.Left + 27, Menu.Bottom - 3});
  const TRect Item{Menu.Left + 3, Menu.Top + 25, Menu.Right - 3, Menu.Top + 45};
  W.Paint("MENUITEM", 1, Item);
  W.Glyph("GLOBALINFO", "CHECK", 0, Menu.Left + 7, Menu.Top + 5);
  W.Text(Menu.Left + 34, Menu.Top + 6, L"Checked", W.Data("MENUITEM").FontColor[0]);
  W.Text(Item.Left + 31, Item.Top + 3, L"Selected", W.Data("MENUITEM").HotFontColor[0]);
  W.Paint("DIVIDERV", 0, TRect{Menu.Left + 30, Menu.Top + 54, Menu.Right - 6, Menu.Top + 56});
  W.Text(Menu.Left + 34, Menu.Top + 62, L"Other", W.Data("MENUITEM").FontColor[0]);
  W.Glyph("GLOBALINFO", "GRIPIMAGE", 0, Form.Right - 3 - 12, Form.Bottom - 3 - 12);

  uitest::TCapture Shot(W.Bmp().Canvas()->Handle(), TRect{0, 0, W.Bmp().Width(), W.Bmp().Height()});
  Shot.MaybeSave("skinart_window");

  // The title bar is dark under light text, the window outline is the accent's dim shade.
  const TColor TitleMid = PixelOf(W.Bmp(), (Form.Left + Form.Right) / 2 - 40, Form.Top + Band - 3);
  EXPECT_LT(Red(TitleMid) + Green(TitleMid) + Blue(TitleMid), 3 * 0x48);
  EXPECT_EQ(PixelOf(W.Bmp(), (Form.Left + Form.Right) / 2, Form.Top), Rgb(0x2C, 0x5E, 0x93));
  EXPECT_EQ(PixelOf(W.Bmp(), Form.Left, Form.Top + Band + 40), Rgb(0x2C, 0x5E, 0x93));
  // The client shows the form colour.
  EXPECT_EQ(PixelOf(W.Bmp(), 450, 270), static_cast<TColor>(W.Data("FORM").HotColor));
  // The hot close button sits on a red plate with a light cross.
  const TColor Plate = PixelOf(W.Bmp(), Close.Left + 4, (Close.Top + Close.Bottom) / 2);
  EXPECT_GT(Red(Plate), Green(Plate) + 80);
  const TColor Cross = PixelOf(W.Bmp(), (Close.Left + Close.Right) / 2, (Close.Top + Close.Bottom) / 2);
  EXPECT_GT(Green(Cross), 0xD0);
  // Buttons: a grey outline normally, the accent when hot or pressed; the face keeps its gradient.
  const int Mid = (Buttons[0].Left + Buttons[0].Right) / 2;
  EXPECT_EQ(PixelOf(W.Bmp(), Mid, Buttons[0].Top), Rgb(0x4C, 0x4C, 0x53));
  EXPECT_EQ(PixelOf(W.Bmp(), Mid + 100, Buttons[1].Top), Rgb(0x3D, 0x8E, 0xE0));
  EXPECT_EQ(PixelOf(W.Bmp(), Mid + 200, Buttons[2].Top), Rgb(0x3D, 0x8E, 0xE0));
  const TColor FaceTop = PixelOf(W.Bmp(), Buttons[0].Left + 5, Buttons[0].Top + 3);
  const TColor FaceBottom = PixelOf(W.Bmp(), Buttons[0].Left + 5, Buttons[0].Bottom - 4);
  EXPECT_GT(Red(FaceTop), Red(FaceBottom));
  // The thumb is a lighter pill on the darker track.
  const TColor ThumbMid = PixelOf(W.Bmp(), (Thumb.Left + Thumb.Right) / 2, (Thumb.Top + Thumb.Bottom) / 2);
  const TColor TrackMid = PixelOf(W.Bmp(), (Track.Left + Track.Right) / 2, Thumb.Bottom + 10);
  EXPECT_GT(Red(ThumbMid), Red(TrackMid) + 40);
  EXPECT_EQ(PixelOf(W.Bmp(), Thumb.Left + 1, (Thumb.Top + Thumb.Bottom) / 2), TrackMid) << "track beside the pill";
  // The selected menu item is filled with the selection colour.
  EXPECT_EQ(PixelOf(W.Bmp(), Item.Right - 10, (Item.Top + Item.Bottom) / 2),
            static_cast<TColor>(W.Data("MENUITEM").HotColor));
}

TEST(SkinArtPainting, InactiveTitleTabsBarsAndHeaders) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TMockWindow W(M.get());

  // An inactive title bar: frame 0 of the title and the caption buttons dimmed (drawing mode 2).
  const TRect Title{10, 10, 330, 36};
  W.Paint("FORM", 0, TRect{Title.Left, Title.Top, Title.Right, Title.Bottom + 20});
  W.Paint("FORMTITLE", 0, Title);
  W.Text(Title.Left + 10, Title.Top + 6, L"Notice", W.Data("FORMTITLE").FontColor[0]);
  const TsMaskData& CloseImg = W.Mask("GLOBALINFO", "BICONCLOSE");
  const int CloseX = Title.Right - 5 - MaskFrameWidth(CloseImg);
  DrawSkinGlyph(&W.Bmp(), TPoint{CloseX, Title.Top + 3}, 0, 2, CloseImg, MakeCacheInfo(&W.Bmp(), 0, 0));
  // Small caption buttons of a tool window, every state.
  for (int S = 0; S < 3; ++S) W.Glyph("GLOBALINFO", "SICONCLOSE", S, 350 + S * 22, 14);
  for (int S = 0; S < 3; ++S) W.Glyph("GLOBALINFO", "BICONNORM", S, 350 + S * 32, 40);

  // Tabs over a page: selected, normal, hot.
  const TRect Page{20, 100, 260, 190};
  W.Paint("PAGECONTROL", 0, Page);
  const int TabStates[] = {2, 0, 1};
  TRect Tabs[3];
  for (int I = 0; I < 3; ++I) {
    const int S = TabStates[I];
    Tabs[I] = TRect{Page.Left + 2 + I * 70, Page.Top - (S == 2 ? 22 : 20), Page.Left + 68 + I * 70, Page.Top + 1};
    W.Paint("TABTOP", S, Tabs[I]);
    W.Text(Tabs[I].Left + 18, Tabs[I].Top + 4, L"Tab", S ? W.Data("TABTOP").HotFontColor[0] : W.Data("TABTOP").FontColor[0]);
  }
  // A bottom tab, a left tab and a right tab.
  W.Paint("TABBOTTOM", 2, TRect{280, 60, 340, 82});
  W.Paint("TABLEFT", 2, TRect{360, 60, 382, 120});
  W.Paint("TABRIGHT", 2, TRect{400, 60, 422, 120});
  // A header row, a hot tool button, a hint, a group box, a horizontal scroll bar.
  W.Paint("COLHEADER", 0, TRect{20, 210, 140, 232});
  W.Paint("COLHEADER", 1, TRect{140, 210, 260, 232});
  W.Paint("TOOLBUTTON", 0, TRect{280, 140, 310, 170});
  W.Paint("TOOLBUTTON", 1, TRect{320, 140, 350, 170});
  W.Paint("HINT", 0, TRect{370, 140, 490, 162});
  W.Text(376, 144, L"Channel list", W.Data("HINT").FontColor[0]);
  W.Paint("GROUPBOX", 0, TRect{280, 180, 490, 280});
  const TRect Bar{20, 250, 260, 266};
  W.Paint("SCROLLBAR1H", 0, Bar);
  const TRect Thumb{Bar.Left + 60, Bar.Top, Bar.Left + 130, Bar.Bottom};
  W.Paint("SCROLLSLIDERH", 0, Thumb);
  W.Glyph("SCROLLBTNLEFT", "GLYPHMASK", 0, Bar.Left + 4, Bar.Top + 4);
  W.Glyph("SCROLLBTNRIGHT", "GLYPHMASK", 2, Bar.Right - 13, Bar.Top + 4);

  uitest::TCapture Shot(W.Bmp().Canvas()->Handle(), TRect{0, 0, W.Bmp().Width(), W.Bmp().Height()});
  Shot.MaybeSave("skinart_parts");

  // Inactive: a grey outline, no accent.
  const TColor Outline = PixelOf(W.Bmp(), (Title.Left + Title.Right) / 2, Title.Top);
  EXPECT_EQ(Outline, Rgb(0x3A, 0x3A, 0x40));
  // The dimmed close cross is fainter than the active one but still shows.
  const TColor Cross = PixelOf(W.Bmp(), CloseX + MaskFrameWidth(CloseImg) / 2, Title.Top + 3 + MaskFrameHeight(CloseImg) / 2);
  EXPECT_LT(Green(Cross), 0xC4);
  EXPECT_GT(Green(Cross), Green(PixelOf(W.Bmp(), CloseX + 2, Title.Top + 4)) + 20);
  // The selected tab carries the accent along its top; the others do not.
  EXPECT_EQ(PixelOf(W.Bmp(), (Tabs[0].Left + Tabs[0].Right) / 2, Tabs[0].Top), Rgb(0x3D, 0x8E, 0xE0));
  EXPECT_NE(PixelOf(W.Bmp(), (Tabs[1].Left + Tabs[1].Right) / 2, Tabs[1].Top), Rgb(0x3D, 0x8E, 0xE0));
  // Turned tabs keep the accent on their outer edge.
  EXPECT_EQ(PixelOf(W.Bmp(), 360, 90), Rgb(0x3D, 0x8E, 0xE0));
  EXPECT_EQ(PixelOf(W.Bmp(), 421, 90), Rgb(0x3D, 0x8E, 0xE0));
  EXPECT_EQ(PixelOf(W.Bmp(), 310, 81), Rgb(0x3D, 0x8E, 0xE0));
  // A normal tool button is invisible (the background shows), a hot one has a face.
  EXPECT_EQ(PixelOf(W.Bmp(), 295, 155), static_cast<TColor>(TMockWindow::Desktop));
  EXPECT_EQ(PixelOf(W.Bmp(), 335, 155), static_cast<TColor>(W.Data("TOOLBUTTON").HotColor));
  // A header ends in a separator line on its right.
  EXPECT_EQ(PixelOf(W.Bmp(), 139, 220), Rgb(0x3E, 0x3E, 0x44));
}

// ---- The program's main form ---------------------------------------------------------------------------------

TEST(SkinArtProgram, MainFormStoresTheEmbeddedSkinAndLoadsIt) {
  apptest::TProgramRun Run("server\r\n", "A|1,x\r\n");
  ASSERT_NE(Form1, nullptr);
  TsSkinManager* M = Form1->sSkinManager1;
  ASSERT_EQ(M->InternalSkins()->Count(), 1);
  TsStoredSkin* S = M->InternalSkins()->Items(0);
  EXPECT_EQ(S->Name(), "Office2007 Black (internal)");
  const std::string& Pack = Files().Pack;
  ASSERT_EQ(S->Data()->Size(), static_cast<std::int64_t>(Pack.size()));
  EXPECT_EQ(std::string(static_cast<const char*>(S->Data()->Memory()), Pack.size()), Pack);
  EXPECT_EQ(M->SkinName(), "Office2007 Black (internal)");
  EXPECT_EQ(M->GeneralData().size(), PromisedSections.size());
  EXPECT_GE(M->GetSectionIndex("FORMTITLE"), 0);
  EXPECT_TRUE(M->IsValidMaskIndex(M->GetOwnMaskIndex("GLOBALINFO", "BICONCLOSE")));
}

}  // namespace
