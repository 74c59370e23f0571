// Hostile and damaged skins through the skin manager: the caps of options texts, packs and
// pictures, values clamped at load, running out of memory while loading. Each refused skin leaves
// the manager without a skin and with a clear error of the engine.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Streams.h"
#include "framework/Strings.h"
#include "manager_test_support.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinOptions.h"
#include "skinpack_builder.h"
#include "support/MessageOf.h"

using exctest::MessageOf;
using mgrtest::TTempDir;

namespace {

std::unique_ptr<TsSkinManager> NewManager(const AnsiString& Dir) {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(Dir);
  return M;
}

void ExpectNoSkin(TsSkinManager& M) {
  EXPECT_FALSE(M.Active());
  EXPECT_FALSE(M.SkinActive());
  EXPECT_TRUE(M.Masks().empty());
  EXPECT_TRUE(M.GeneralData().empty());
  EXPECT_EQ(M.MasterBitmap(), nullptr);
}

bool Has(const std::string& S, const std::string& Part) { return S.find(Part) != std::string::npos; }

}  // namespace

// ---- Section values ---------------------------------------------------------------------------------

TEST(SkinLoadingLimits, StoredSkinSectionValuesAreClamped) {
  TTempDir T;
  auto M = NewManager(T.Path);
  // A stored skin of the older form: collections, no pack.
  TsStoredSkin* S = M->InternalSkins()->Add();
  S->SetName("Old");
  S->MasterBitmap()->SetSize(20, 20);
  auto* G = static_cast<TsSkinGeneral*>(S->GeneralData()->Add());
  G->SetSectionName("EDIT");
  G->SetTransparency(2000000000);
  G->SetHotTransparency(-4);
  G->SetGradientPercent(400);
  G->SetImagePercent(-1);
  G->SetGlowMargin(-2000000000);
  G->SetFadingIterations(1 << 30);
  M->SetSkinName("Old");
  ASSERT_TRUE(M->SkinActive());
  ASSERT_EQ(M->GeneralData().size(), 1u);
  const TsGeneralData& D = M->GeneralData()[0];
  EXPECT_EQ(D.Transparency, 100);
  EXPECT_EQ(D.HotTransparency, 0);
  EXPECT_EQ(D.GradientPercent, 100);
  EXPECT_EQ(D.ImagePercent, 0);
  EXPECT_EQ(D.GlowMargin, 0);
  EXPECT_EQ(D.FadingIterations, MaxSkinFadingIterations);
}
