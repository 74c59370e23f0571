// The skin data of a control: its binding to a manager and a section, the cached indexes and how
// they follow section, manager and skin changes, the plain-background state, the questions the
// painting code asks (skinned, hot, updating, parent dependence) and the cache bitmap.
#include <gtest/gtest.h>

#include "commondata_support.h"
#include "framework/TypInfo.h"
#include "skin/core/sFormList.h"

using namespace cdtest;

namespace {

int SectionOf(TsSkinManager& M, const char* Name) { return M.GetSectionIndex(Name); }

}  // namespace

TEST(CommonDataBinding, StartsUnboundWithTheCacheOnlyWhenAsked) {
  TsCommonData D(nullptr);
  EXPECT_EQ(D.SectionIndex, -1);
  EXPECT_EQ(D.BorderMaskIndex, -1);
  EXPECT_EQ(D.PatternIndex, -1);
  EXPECT_EQ(D.HotPatternIndex, -1);
  EXPECT_EQ(D.GlowId, -1);
  EXPECT_TRUE(D.BackgroundStale);
  EXPECT_TRUE(D.OutOfView);
  EXPECT_FALSE(D.Updating);
  EXPECT_EQ(D.CacheBmp(), nullptr);
  EXPECT_EQ(D.GetSkinManager(), nullptr);
  EXPECT_FALSE(D.IsSkinned());
  TsCommonData WithCache(nullptr, 0, true);
  ASSERT_NE(WithCache.CacheBmp(), nullptr);
  EXPECT_EQ(WithCache.CacheBmp()->PixelFormat(), pf24bit);
  EXPECT_TRUE(WithCache.CacheBmp()->Empty());
}

TEST(CommonDataBinding, IndexesFollowTheSection) {
  auto M = NewSkinnedManager();
  ASSERT_TRUE(M->SkinActive());
  TsCommonData D(nullptr);
  D.SetSkinSection("wide");
  EXPECT_EQ(D.SkinSection(), "WIDE");
  ASSERT_EQ(D.SectionIndex, SectionOf(*M, "WIDE"));
  EXPECT_TRUE(D.IsSkinned());
  const int Border = M->GeneralData()[static_cast<std::size_t>(D.SectionIndex)].BorderIndex;
  ASSERT_GE(Border, 0);
  EXPECT_EQ(D.BorderMaskIndex, Border);
  EXPECT_EQ(D.PatternIndex, -1);

  D.SetSkinSection("Textured");
  EXPECT_EQ(D.SectionIndex, SectionOf(*M, "TEXTURED"));
  EXPECT_EQ(D.PatternIndex, M->GetTextureIndex(D.SectionIndex, "TEXTURED", "PATTERN"));
  EXPECT_GE(D.PatternIndex, 0);
  EXPECT_GE(D.HotPatternIndex, 0);
  // The border mask of the previous section is not kept.
  EXPECT_EQ(D.BorderMaskIndex, -1);

  D.BackgroundStale = false;
  D.SetSkinSection("NoSuchSection");
  EXPECT_EQ(D.SectionIndex, -1);
  EXPECT_EQ(D.PatternIndex, -1);
  EXPECT_EQ(D.HotPatternIndex, -1);
  EXPECT_EQ(D.BorderMaskIndex, -1);
  EXPECT_FALSE(D.IsSkinned());
  EXPECT_TRUE(D.BackgroundStale);
}

TEST(CommonDataBinding, IsSkinnedOnlyWithAnActiveSkinUnlessNotChecked) {
  auto M = NewSkinnedManager();
  TsCommonData D(nullptr);
  D.SetSkinSection("FLAT");
  ASSERT_TRUE(D.IsSkinned());
  M->SkinData()->Active = false;
  EXPECT_FALSE(D.IsSkinned());
  EXPECT_TRUE(D.IsSkinned(false));
  M->SkinData()->Active = true;
  // An index beyond the loaded sections counts as no section.
  D.SectionIndex = static_cast<int>(M->GeneralData().size());
  EXPECT_FALSE(D.IsSkinned(false));
  EXPECT_EQ(D.Section(), nullptr);
}

TEST(CommonDataBinding, FillModeTellsTexturesAndGradientKinds) {
  auto M = NewSkinnedManager();
  TsCommonData D(nullptr);
  const std::pair<const char*, int> Cases[] = {
      {"FLAT", 0}, {"TEXTURED", fmTexture}, {"GRAD", 2}, {"GRADH", 1}, {"GRADT", 3}, {"NONE", 0}};
  for (const auto& [Section, Mode] : Cases) {
    D.SetSkinSection(Section);
    EXPECT_EQ(D.FillMode, Mode) << Section;
  }
}

TEST(CommonDataBinding, SectionChangeTellsTheControlOnlyWhenItIsPlaced) {
  auto M = NewSkinnedManager();
  TTestForm F;
  auto* C = new TSkinnedControl(F.Form, "FLAT");
  mgrtest::TLog Log;
  mgrtest::TCommandTap Tap(C, "c", Log);
  C->SkinData()->SetSkinSection("HALF");
  EXPECT_TRUE(Log.Items.empty());  // no parent yet
  C->SetParent(F.Form);
  C->HandleNeeded();
  Log.Items.clear();  // creating the window moved it
  C->SkinData()->SetSkinSection("GRAD");
  ASSERT_EQ(Log.Items, std::vector<std::string>{"c:3"});
  EXPECT_EQ(Tap.LastLParam, reinterpret_cast<LPARAM>(M.get()));
  C->SkinData()->SetSkinSection("grad");  // the same name: nothing
  EXPECT_EQ(Log.Items.size(), 1u);
  C->SkinData()->SetSkinSection("MISSING");
  ASSERT_EQ(Log.Items.size(), 2u);
  EXPECT_EQ(Log.Items[1], "c:2");
}

TEST(CommonDataBinding, DefaultManagerIsFollowedAndNotStored) {
  auto Default = NewSkinnedManager();
  ASSERT_TRUE(Default->IsDefault());
  auto Other = NewSkinnedManager(OtherOptions);
  ASSERT_FALSE(Other->IsDefault());

  TsCommonData D(nullptr);
  D.SetSkinSection("EDIT");
  EXPECT_EQ(D.GetSkinManager(), Default.get());
  EXPECT_EQ(D.SectionIndex, Default->GetSectionIndex("EDIT"));
  D.SetSkinManager(Default.get());
  EXPECT_EQ(D.ManagerField(), nullptr);
  EXPECT_FALSE(D.SkinManagerStored());

  D.SetSkinManager(Other.get());
  EXPECT_EQ(D.ManagerField(), Other.get());
  EXPECT_TRUE(D.SkinManagerStored());
  EXPECT_EQ(GetObjectProp(&D, "SkinManager"), Other.get());
  EXPECT_EQ(D.SectionIndex, Other->GetSectionIndex("EDIT"));
  EXPECT_NE(D.SectionIndex, Default->GetSectionIndex("EDIT"));

  // Back to none: the default manager's indexes again.
  D.SetSkinManager(nullptr);
  EXPECT_EQ(D.GetSkinManager(), Default.get());
  EXPECT_EQ(D.SectionIndex, Default->GetSectionIndex("EDIT"));
}

TEST(CommonDataBinding, ManagerChangeTellsThePlacedControl) {
  auto Default = NewSkinnedManager();
  auto Other = NewSkinnedManager(OtherOptions);
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "FLAT");
  C->HandleNeeded();
  mgrtest::TLog Log;
  mgrtest::TCommandTap Tap(C, "c", Log);
  C->SkinData()->SetSkinManager(Other.get());  // Other has no FLAT section
  ASSERT_EQ(Log.Items, std::vector<std::string>{"c:2"});
  EXPECT_EQ(Tap.LastLParam, reinterpret_cast<LPARAM>(Other.get()));
  C->SkinData()->SetSkinManager(Default.get());
  ASSERT_EQ(Log.Items.size(), 2u);
  EXPECT_EQ(Log.Items[1], "c:3");
  EXPECT_EQ(Tap.LastLParam, reinterpret_cast<LPARAM>(Default.get()));
}

TEST(CommonDataBinding, LoadedGivesEditsTheSectionColoursUnlessCustom) {
  auto M = NewSkinnedManager();
  const TsGeneralData& Edit = M->GeneralData()[static_cast<std::size_t>(M->GetSectionIndex("EDIT"))];
  TTestForm F;
  auto* E = F.Add<TSkinnedEdit>(F.Form);
  E->SetColor(clRed);
  E->SkinData()->Loaded();
  EXPECT_EQ(E->Color(), Edit.Color);
  EXPECT_EQ(E->Font()->Color(), Edit.FontColor[0]);

  auto* Custom = F.Add<TSkinnedEdit>(F.Form);
  Custom->SetColor(clRed);
  Custom->SkinData()->SetCustomColor(true);
  Custom->SkinData()->Loaded();
  EXPECT_EQ(Custom->Color(), clRed);
  EXPECT_EQ(Custom->Font()->Color(), Edit.FontColor[0]);

  // Kind 97 takes the colours even when the owner is not an edit.
  auto* P = F.Add<TSkinnedControl>(F.Form, "EDIT", 97);
  P->SetColor(clRed);
  P->SkinData()->Loaded();
  EXPECT_EQ(P->Color(), Edit.Color);
  // Any other kind keeps its colour.
  auto* Q = F.Add<TSkinnedControl>(F.Form, "EDIT", 2);
  Q->SetColor(clRed);
  Q->SkinData()->Loaded();
  EXPECT_EQ(Q->Color(), clRed);
}

TEST(CommonDataBinding, CustomColorSwitchedOffOnAnEditTakesTheSectionColour) {
  auto M = NewSkinnedManager();
  const TsGeneralData& Edit = M->GeneralData()[static_cast<std::size_t>(M->GetSectionIndex("EDIT"))];
  TTestForm F;
  auto* E = F.Add<TSkinnedEdit>(F.Form);
  E->SkinData()->SetCustomColor(true);
  E->SetColor(clLime);
  E->SkinData()->SetCustomColor(false);
  EXPECT_EQ(E->Color(), Edit.Color);
  EXPECT_EQ(GetEnumProp(E->SkinData(), "CustomColor"), "False");
}

TEST(CommonDataBinding, PlainStateOfPanels) {
  auto M = NewSkinnedManager();
  TTestForm F;
  auto Plain = [&](const char* Section) {
    auto* P = F.Add<TSkinnedPanel>(F.Form, Section);
    P->SkinData()->UpdatePlainState(false);
    const bool R = (P->SkinData()->StateBits & ssPlainBackground) != 0;
    delete P;
    return R;
  };
  EXPECT_TRUE(Plain("FLAT"));
  EXPECT_FALSE(Plain("WIDE"));  // 16 + 16 > 30: the border needs the cache
  EXPECT_FALSE(Plain("TALL"));  // the same top and bottom
  EXPECT_FALSE(Plain("GRAD"));
  EXPECT_FALSE(Plain("TEXTURED"));
  EXPECT_FALSE(Plain("HALF"));
  EXPECT_FALSE(Plain("CLEAR"));  // the form does not answer that it is plain
  EXPECT_TRUE(Plain("NOSUCH"));  // nothing to paint from the skin

  // A fully transparent panel is plain on a plain parent.
  auto* Parent = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  Parent->HandleNeeded();
  Parent->SkinData()->UpdatePlainState(false);
  auto* Clear = F.Add<TSkinnedPanel>(Parent, "CLEAR");
  Clear->SkinData()->UpdatePlainState(false);
  EXPECT_EQ(Clear->SkinData()->StateBits & ssPlainBackground, ssPlainBackground);
  // Only panels and scrolling controls can be plain.
  auto* Other = F.Add<TSkinnedControl>(F.Form, "FLAT");
  Other->SkinData()->UpdatePlainState(false);
  EXPECT_EQ(Other->SkinData()->StateBits & ssPlainBackground, 0);
}

TEST(CommonDataBinding, PlainStateChangeReachesTheChildren) {
  auto M = NewSkinnedManager();
  TTestForm F;
  auto* Parent = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  auto* Clear = F.Add<TSkinnedPanel>(Parent, "CLEAR");
  Clear->HandleNeeded();
  Parent->SkinData()->UpdatePlainState(false);
  Clear->SkinData()->UpdatePlainState(false);
  ASSERT_EQ(Clear->SkinData()->StateBits & ssPlainBackground, ssPlainBackground);
  // The parent gets a gradient: when it tells its children, the clear child needs its cache.
  Parent->SkinData()->SetSkinSection("GRAD");
  Parent->SkinData()->UpdatePlainState(true);
  EXPECT_EQ(Clear->SkinData()->StateBits & ssPlainBackground, 0);
}

TEST(CommonDataBinding, HotStateAndSkinPaintMode) {
  auto M = NewSkinnedManager();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "FLAT", 2);
  TsCommonData* D = C->SkinData();
  EXPECT_FALSE(D->GetHotState());
  D->MouseOver = true;
  EXPECT_TRUE(D->GetHotState());
  D->SetKindCode(51);  // a kind without a hover state
  EXPECT_FALSE(D->GetHotState());
  D->SetKindCode(300);  // kinds above 255 belong to no set
  EXPECT_TRUE(D->GetHotState());
  D->FocusedFlag = true;
  D->SetKindCode(51);
  EXPECT_TRUE(D->GetHotState());
  C->SetEnabled(false);
  EXPECT_FALSE(D->GetHotState());
  C->SetEnabled(true);

  D->FocusedFlag = false;
  D->MouseOver = false;
  D->StateBits = 0;
  EXPECT_TRUE(D->IsSkinPaintMode());
  D->StateBits = ssPlainBackground;
  EXPECT_FALSE(D->IsSkinPaintMode());  // a plain control paints the skin only when hot
  D->FocusedFlag = true;
  EXPECT_TRUE(D->IsSkinPaintMode());
  D->FocusedFlag = false;
  acFormsUpdating = true;
  EXPECT_TRUE(D->IsSkinPaintMode());
  acFormsUpdating = false;
}

TEST(CommonDataBinding, UpdatingAsksTheParentWhilePaintingTheSkin) {
  TsCommonData Alone(nullptr);
  Alone.Updating = true;
  EXPECT_FALSE(Alone.GetUpdating());  // no manager

  auto M = NewSkinnedManager();
  TTestForm F;
  auto* Parent = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  Parent->HandleNeeded();
  auto* C = new TSkinnedControl(F.Form, "FLAT");
  TsCommonData* D = C->SkinData();
  D->StateBits = 0;  // skin-paint mode
  EXPECT_TRUE(D->GetUpdating());  // no parent
  C->SetParent(Parent);
  Parent->SkinData()->BackgroundStale = true;
  EXPECT_TRUE(D->GetUpdating());  // the parent is busy
  Parent->SkinData()->BackgroundStale = false;
  Parent->SkinData()->Updating = false;
  EXPECT_FALSE(D->GetUpdating());
  D->SetUpdating(true);
  EXPECT_TRUE(D->GetUpdating());
  // Outside skin-paint mode only the flag counts.
  D->StateBits = ssPlainBackground;
  Parent->SkinData()->BackgroundStale = true;
  D->SetUpdating(false);
  EXPECT_FALSE(D->GetUpdating());
}

TEST(CommonDataBinding, MaxBorderWidth) {
  auto M = NewSkinnedManager();
  TsCommonData D(nullptr);
  D.SetSkinSection("WIDE");
  EXPECT_EQ(D.GetMaxBorderWidth(), 16);
  D.SetSkinSection("BITTWO");  // draw mode with bit value 2
  EXPECT_EQ(D.GetMaxBorderWidth(), 0);
  D.SetSkinSection("FLAT");
  EXPECT_EQ(D.GetMaxBorderWidth(), 0);
}

TEST(CommonDataBinding, ParentDependence) {
  auto M = NewSkinnedManager();
  TTestForm F;
  auto* Flat = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  auto* Grad = F.Add<TSkinnedPanel>(F.Form, "GRAD");
  F.Form->HandleNeeded();
  Flat->HandleNeeded();
  Grad->HandleNeeded();

  auto* C = F.Add<TSkinnedControl>(Flat, "FLAT");
  TsCommonData* D = C->SkinData();
  EXPECT_FALSE(D->ParentDependent());  // opaque and enabled
  D->ForceParentDependent = true;
  EXPECT_TRUE(D->ParentDependent());
  D->ForceParentDependent = false;
  C->SetVisible(false);
  EXPECT_TRUE(D->ParentDependent());
  C->SetVisible(true);
  // Transparent: the parent decides; a flat parent on an unskinned form does not move.
  D->SetSkinSection("HALF");
  EXPECT_FALSE(D->ParentDependent());
  C->SetParent(Grad);
  EXPECT_TRUE(D->ParentDependent());
  D->SetSkinSection("NOSUCH");
  EXPECT_TRUE(D->ParentDependent());  // not skinned
}

TEST(CommonDataBinding, CacheBitmapFollowsTheOwnersSize) {
  TTestForm F;
  auto* C = new TSkinnedControl(F.Form, "FLAT");
  C->SetBounds(0, 0, 37, 21);
  TsCommonData D(C);
  D.InitCacheBmp();
  ASSERT_NE(D.CacheBmp(), nullptr);
  EXPECT_EQ(D.CacheBmp()->PixelFormat(), pf24bit);
  EXPECT_EQ(D.CacheBmp()->Width(), 37);
  EXPECT_EQ(D.CacheBmp()->Height(), 21);
  D.CacheBmp()->SetPixelFormat(pf32bit);
  C->SetBounds(0, 0, 12, 8);
  D.InitCacheBmp();
  EXPECT_EQ(D.CacheBmp()->PixelFormat(), pf32bit);
  EXPECT_EQ(D.CacheBmp()->Width(), 12);
  D.PrepareCacheBmp();
  EXPECT_EQ(D.CacheBmp()->PixelFormat(), pf24bit);
  D.CacheBmp()->SetPixelFormat(pfDevice);
  D.InitCacheBmp();
  EXPECT_NE(D.CacheBmp()->PixelFormat(), pfDevice);
}

TEST(CommonDataBinding, BeginAndEndUpdateTellTheOwner) {
  TTestForm F;
  auto* C = new TSkinnedControl(F.Form, "FLAT");
  mgrtest::TLog Log;
  mgrtest::TCommandTap Tap(C, "c", Log);
  C->SkinData()->BeginUpdate();
  EXPECT_TRUE(C->SkinData()->Updating);
  C->SkinData()->EndUpdate();
  EXPECT_FALSE(C->SkinData()->Updating);
  EXPECT_EQ(Log.Items, (std::vector<std::string>{"c:31", "c:32"}));
}

TEST(CommonDataBinding, InvalidateMarksTheBackgroundAndTheWindow) {
  auto M = NewSkinnedManager();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "FLAT");
  C->SetBounds(10, 10, 50, 30);
  F.Show();
  uitest::Settle(C->Handle());
  C->SkinData()->BackgroundStale = false;
  ASSERT_FALSE(GetUpdateRect(C->Handle(), nullptr, FALSE));
  C->SkinData()->Invalidate();
  EXPECT_TRUE(C->SkinData()->BackgroundStale);
  EXPECT_TRUE(GetUpdateRect(C->Handle(), nullptr, FALSE));
  // Without an owner control nothing happens.
  TsCommonData D(nullptr);
  D.BackgroundStale = false;
  D.Invalidate();
  EXPECT_FALSE(D.BackgroundStale);
}

TEST(CommonDataBinding, FontSectionComesFromTheNearestOpaqueParent) {
  auto M = NewSkinnedManager();
  TTestForm F;
  auto* Panel = F.Add<TSkinnedPanel>(F.Form, "PANEL");  // gives its own font
  auto* SeeThru = F.Add<TSkinnedPanel>(Panel, "SEETHRU");  // more than 50 % transparent: passed over
  auto* Flat = F.Add<TSkinnedPanel>(Panel, "FLAT");
  auto* A = F.Add<TSkinnedGraphic>(SeeThru, "FLAT");
  auto* B = F.Add<TSkinnedGraphic>(Flat, "FLAT");
  F.Form->HandleNeeded();
  Panel->HandleNeeded();
  SeeThru->HandleNeeded();
  Flat->HandleNeeded();
  EXPECT_EQ(ParentFontSectionIndex(A, -7, M.get()), M->GetSectionIndex("PANEL"));
  EXPECT_EQ(ParentFontSectionIndex(B, -7, M.get()), -7);  // an opaque parent without its own font
  auto* OnForm = F.Add<TSkinnedGraphic>(F.Form, "FLAT");
  EXPECT_EQ(ParentFontSectionIndex(OnForm, -7, M.get()), -7);  // the form answers no section
  EXPECT_EQ(ParentFontSectionIndex(A, -7, nullptr), -7);
}

TEST(CommonDataBinding, PublishedProperties) {
  TsCommonData D(nullptr);
  SetStrProp(&D, "SkinSection", "panel");
  EXPECT_EQ(D.SkinSection(), "PANEL");
  SetEnumProp(&D, "CustomFont", "True");
  EXPECT_TRUE(D.CustomFont());
  EXPECT_EQ(GetObjectProp(&D, "SkinManager"), nullptr);
}

namespace {

// Stands in for the form skinning's provider: a component of that class name on its form.
class TsSkinProvider : public TComponent {
  T_CLASS(TsSkinProvider, TComponent)
 public:
  using TComponent::TComponent;
};

}  // namespace

TEST(CommonDataBinding, SkinDataOfAFormProvider) {
  auto M = NewSkinnedManager();
  TTestForm F;
  F.Form->SetColor(clTeal);
  auto* Provider = new TsSkinProvider(F.Form);
  TsCommonData D(Provider, ckFormProvider);
  EXPECT_EQ(D.OwnerControl(), nullptr);
  EXPECT_EQ(OwnerColor(&D), clTeal);
  D.Loaded();
  EXPECT_EQ(D.SkinSection(), "TSSKINPROVIDER");  // no section of its own kind
  D.BackgroundStale = false;
  D.SetSkinSection("FLAT");
  EXPECT_TRUE(D.BackgroundStale);
  EXPECT_EQ(D.StateBits & ssPlainBackground, ssPlainBackground);
  D.SetSkinSection("GRAD");
  EXPECT_EQ(D.StateBits & ssPlainBackground, 0);

  // Begin and end of an update go to the provider's form.
  mgrtest::TLog Log;
  mgrtest::TCommandTap Tap(F.Form, "form", Log);
  F.Form->HandleNeeded();
  D.BeginUpdate();
  D.EndUpdate();
  EXPECT_EQ(Log.Count("form:31"), 1);
  EXPECT_EQ(Log.Count("form:32"), 1);
}
