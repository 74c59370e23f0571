// The registered forms, the redraw lock and repaint around a skin change, and the delivery of a
// skin command to every form of the application.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "senders_test_support.h"
#include "skin/core/acAnimation.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"

using namespace sndtest;

namespace {

bool Registered(TCustomForm* F) {
  const auto& L = RegisteredSkinnedForms();
  return std::find(L.begin(), L.end(), F) != L.end();
}

// Unregisters the forms and drops the empty slots at the end of the list (unregistering a form
// that is not in the list drops one).
void UnregisterAll(std::initializer_list<TCustomForm*> Forms) {
  for (TCustomForm* F : Forms)
    while (Registered(F)) UnregisterSkinnedForm(F);
  std::unique_ptr<TRecForm> Trimmer(MakeForm(nullptr, nullptr, "trimmer", Bounds(0, 0, 10, 10), clWhite, false));
  while (!RegisteredSkinnedForms().empty() && RegisteredSkinnedForms().back() == nullptr)
    UnregisterSkinnedForm(Trimmer.get());
}

// Forms with fake providers of a manager of their own, the list emptied afterwards.
class SendersFormList : public ::testing::Test {
 protected:
  void SetUp() override {
    Manager = std::make_unique<TsSkinManager>(nullptr);
    Other = std::make_unique<TsSkinManager>(nullptr);
    ASSERT_TRUE(Manager->IsDefault());
  }
  void TearDown() override {
    for (auto& F : Forms) UnregisterAll({F.get()});
    Forms.clear();
    acFormsUpdating = false;
    Other.reset();
    Manager.reset();
  }
  // A registered, shown form whose provider belongs to Owner.
  TRecForm* SkinnedForm(const std::string& Name, TsSkinManager* Owner, TRect R, TColor Color) {
    auto Provider = std::make_unique<TFakeProvider>();
    Provider->Manager = Owner;
    TRecForm* F = MakeForm(nullptr, &Log, Name, R, Color);
    F->Answers.Provider = Provider.get();
    Providers.push_back(std::move(Provider));
    Forms.emplace_back(F);
    RegisterSkinnedForm(F);
    return F;
  }
  TFakeProvider* ProviderOf(TRecForm* F) { return static_cast<TFakeProvider*>(F->Answers.Provider); }

  TFakeProviderLink Link;
  TLog Log;
  std::unique_ptr<TsSkinManager> Manager, Other;
  std::vector<std::unique_ptr<TFakeProvider>> Providers;
  std::vector<std::unique_ptr<TRecForm>> Forms;
};

}  // namespace

TEST(SendersFormSlots, UnregisteringMovesTheLastEntryAndNeverLeavesTheFormBehind) {
  std::unique_ptr<TRecForm> A(MakeForm(nullptr, nullptr, "a", Bounds(0, 0, 10, 10), clWhite, false));
  std::unique_ptr<TRecForm> B(MakeForm(nullptr, nullptr, "b", Bounds(0, 0, 10, 10), clWhite, false));
  const std::size_t Base = RegisteredSkinnedForms().size();
  RegisterSkinnedForm(nullptr);
  EXPECT_EQ(RegisteredSkinnedForms().size(), Base);

  // Registered twice in front of another: one empty slot is left behind.
  RegisterSkinnedForm(A.get());
  RegisterSkinnedForm(A.get());
  RegisterSkinnedForm(B.get());
  UnregisterSkinnedForm(A.get());
  ASSERT_EQ(RegisteredSkinnedForms().size(), Base + 2);
  EXPECT_EQ(RegisteredSkinnedForms()[Base], B.get());
  EXPECT_EQ(RegisteredSkinnedForms()[Base + 1], nullptr);
  EXPECT_FALSE(Registered(A.get()));

  // A moved back into a slot already passed is still taken out.
  RegisterSkinnedForm(A.get());   // [B, nil, A]
  RegisterSkinnedForm(B.get());   // [B, nil, A, B]
  RegisterSkinnedForm(A.get());   // [B, nil, A, B, A]
  UnregisterSkinnedForm(A.get());
  EXPECT_FALSE(Registered(A.get()));
  EXPECT_TRUE(Registered(B.get()));

  UnregisterAll({A.get(), B.get()});
  EXPECT_EQ(RegisteredSkinnedForms().size(), Base);
}

TEST(SendersFormSlots, ADestroyedFormLeavesAnEmptySlot) {
  auto* A = MakeForm(nullptr, nullptr, "a", Bounds(0, 0, 10, 10), clWhite, false);
  const std::size_t Base = RegisteredSkinnedForms().size();
  RegisterSkinnedForm(A);
  delete A;
  ASSERT_EQ(RegisteredSkinnedForms().size(), Base + 1);
  EXPECT_EQ(RegisteredSkinnedForms()[Base], nullptr);
  TMessage M{SM_ALPHACMD, MakeAlphaCmd(AC_REFRESHSKIN), 0, 0};
  SendToRegisteredForms(M);  // the empty slot is skipped
  BeginSkinChange(nullptr);
  EndSkinChange(nullptr, true);
  UnregisterAll({});
  EXPECT_EQ(RegisteredSkinnedForms().size(), Base);
}

TEST_F(SendersFormList, LockAndRepaintTheFormsOfTheManagerOnly) {
  TRecForm* Mine = SkinnedForm("mine", Manager.get(), Bounds(20, 20, 120, 80), 0x0000FF);
  TRecForm* Foreign = SkinnedForm("foreign", Other.get(), Bounds(160, 20, 120, 80), 0x0000FF);
  TRecForm* Hidden = SkinnedForm("hidden", Manager.get(), Bounds(300, 20, 120, 80), 0x0000FF);
  Hidden->Hide();
  TRecForm* NoProvider = SkinnedForm("noprovider", Manager.get(), Bounds(20, 120, 120, 80), 0x0000FF);
  NoProvider->Answers.Provider = nullptr;
  uitest::Pump();
  const int WindowsBefore = uitest::CountThreadWindows();

  Log.Clear();
  BeginSkinChange(Manager.get());
  EXPECT_TRUE(acFormsUpdating);  // the default manager animates skin changes
  EXPECT_EQ(Log.Count("mine:redraw0"), 1);
  EXPECT_TRUE(ProviderOf(Mine)->InUpdate);
  EXPECT_EQ(Log.Count("foreign:redraw0"), 0);
  EXPECT_FALSE(ProviderOf(Foreign)->InUpdate);
  EXPECT_EQ(Log.Count("hidden:redraw0"), 0);
  EXPECT_EQ(Log.Count("noprovider:redraw0"), 0);

  // A second lock changes nothing more; the new colour is not painted while locked.
  BeginSkinChange(Manager.get());
  EXPECT_EQ(Log.Count("mine:redraw0"), 2);
  Mine->SetColor(0x00FF00);
  Mine->Invalidate();
  uitest::Pump();

  Log.Clear();
  EndSkinChange(Manager.get(), true);
  EXPECT_FALSE(acFormsUpdating);
  EXPECT_GE(Log.Count("mine:redraw1"), 1);
  EXPECT_FALSE(ProviderOf(Mine)->InUpdate);
  EXPECT_EQ(Log.Count("foreign:redraw1"), 0);
  // Repainted at once, with the new colour.
  const uitest::TCapture After(Mine->Handle());
  After.MaybeSave("senders_lock_after");
  EXPECT_EQ(After.Count(Rect(0, 0, After.Width(), After.Height()), RGB(0, 255, 0)), After.Width() * After.Height());
  // The animated show left no window behind.
  EXPECT_EQ(acOutputWindow(), nullptr);
  EXPECT_EQ(uitest::CountThreadWindows(), WindowsBefore);
  EXPECT_EQ(LayeredWindowsExcept(), 0);
}

TEST_F(SendersFormList, RestoreWithoutRepaintOnlyEndsTheLock) {
  TRecForm* Mine = SkinnedForm("mine", Manager.get(), Bounds(20, 20, 120, 80), 0x0000FF);
  Manager->AnimEffects()->SkinChanging()->SetActive(false);
  BeginSkinChange(Manager.get());
  EXPECT_FALSE(acFormsUpdating);  // no animation: painting code is not told to wait
  Log.Clear();
  EndSkinChange(Manager.get(), false);
  EXPECT_EQ(Log.Items, (std::vector<std::string>{"mine:4", "mine:redraw1"}));
  EXPECT_FALSE(ProviderOf(Mine)->InUpdate);
  EXPECT_EQ(ProviderOf(Mine)->RegionRebuilds, 0);
}

TEST_F(SendersFormList, NonClientProvidersGetTheirRegionRebuiltAndAFade) {
  TRecForm* Mine = SkinnedForm("mine", Manager.get(), Bounds(20, 20, 120, 80), 0x0000FF);
  ProviderOf(Mine)->DrawNonClient = true;
  Manager->AnimEffects()->SkinChanging()->SetTime(40);
  BeginSkinChange(Manager.get());
  Mine->SetColor(0xFF0000);
  EndSkinChange(Manager.get(), true);
  EXPECT_EQ(ProviderOf(Mine)->RegionRebuilds, 1);
  EXPECT_EQ(ProviderOf(Mine)->BorderUpdates, 0);  // no border window
  EXPECT_FALSE(acFormsUpdating);
  EXPECT_EQ(uitest::WindowPixel(Mine->Handle(), 60, 40), RGB(0, 0, 255));
  EXPECT_EQ(LayeredWindowsExcept(), 0);
}

TEST_F(SendersFormList, AMinimizedApplicationNeitherLocksNorRepaints) {
  SkinnedForm("mine", Manager.get(), Bounds(20, 20, 120, 80), 0x0000FF);
  Application->Minimize();
  uitest::Pump();
  if (!IsIconic(Application->Handle())) {
    Application->Restore();
    GTEST_SKIP() << "the application window does not minimize here";
  }
  Log.Clear();
  BeginSkinChange(Manager.get());
  EndSkinChange(Manager.get(), true);
  EXPECT_FALSE(acFormsUpdating);
  EXPECT_TRUE(Log.Items.empty());
  Application->Restore();
  uitest::Pump();
}

TEST_F(SendersFormList, MinimizedFormsAreLeftAlone) {
  TRecForm* Mine = SkinnedForm("mine", Manager.get(), Bounds(20, 20, 120, 80), 0x0000FF);
  Mine->SetWindowState(wsMinimized);
  uitest::Pump();
  Log.Clear();
  BeginSkinChange(Manager.get());
  EndSkinChange(Manager.get(), true);
  EXPECT_EQ(Log.Count("mine:redraw0"), 0);
  EXPECT_EQ(Log.Count("mine:redraw1"), 0);
  EXPECT_EQ(ProviderOf(Mine)->InUpdateSets, 0);
}

TEST_F(SendersFormList, BroadcastReachesEveryFormOnceAndTheVisibleHookedWindows) {
  // Two unskinned forms of the application, one with a graphic child.
  TRecForm* App1 = MakeForm(Application, &Log, "app1", Bounds(20, 20, 80, 60), clWhite);
  new TRecGraphic(App1, App1, "app1child", &Log, Bounds(0, 0, 10, 10), clRed);
  TRecForm* App2 = MakeForm(Application, &Log, "app2", Bounds(120, 20, 80, 60), clWhite);
  // A skinned form of the application, registered too: reached once, through the list.
  TRecForm* AppSkinned = MakeForm(Application, &Log, "appskinned", Bounds(220, 20, 80, 60), clWhite);
  AppSkinned->Answers.Skinned = 1;
  RegisterSkinnedForm(AppSkinned);
  // A registered form the application does not own.
  TRecForm* Loose = SkinnedForm("loose", Manager.get(), Bounds(320, 20, 80, 60), clWhite);
  new TRecGraphic(Loose, Loose, "loosechild", &Log, Bounds(0, 0, 10, 10), clRed);
  // Windows of the hook: one visible, one hidden.
  PlainLog() = &Log;
  HWND Shown = MakePlainTop(L"hookshown", true);
  HWND Hidden = MakePlainTop(L"hookhidden", false);
  Link.Hooked = {Shown, Hidden, nullptr};
  uitest::Pump();

  Log.Clear();
  TMessage M{SM_ALPHACMD, MakeAlphaCmd(AC_REFRESHSKIN), 0, 0};
  BroadcastToSkinnedForms(M);
  std::vector<std::string> Delivered;
  for (const std::string& I : Log.Items)
    if (I.size() > 2 && I.compare(I.size() - 2, 2, ":3") == 0) Delivered.push_back(I);
  // The application's forms last first, then the registered ones, then the hooked windows.
  const std::vector<std::string> Expected{"app2:3",  "app1:3",  "app1child:3", "appskinned:3",
                                          "loose:3", "loosechild:3", "hookshown:3"};
  EXPECT_EQ(Delivered, Expected);

  Log.Clear();
  SendToRegisteredForms(M);
  EXPECT_EQ(Log.Count("appskinned:3"), 1);
  EXPECT_EQ(Log.Count("app1:3"), 0);

  PlainLog() = nullptr;
  DestroyWindow(Shown);
  DestroyWindow(Hidden);
  UnregisterAll({AppSkinned});
  delete AppSkinned;
  delete App2;
  delete App1;
}

TEST_F(SendersFormList, BroadcastSkipsLoadingAndDestroyingForms) {
  TRecForm* Loading = MakeForm(Application, &Log, "loading", Bounds(20, 20, 80, 60), clWhite);
  Loading->Loading();
  Log.Clear();
  TMessage M{SM_ALPHACMD, MakeAlphaCmd(AC_NEWSKIN), 0, 0};
  BroadcastToSkinnedForms(M);
  EXPECT_EQ(Log.Count("loading:1"), 0);
  Loading->Loaded();
  BroadcastToSkinnedForms(M);
  EXPECT_EQ(Log.Count("loading:1"), 1);
  delete Loading;
}

TEST(SendersAppIcons, TheProgramsSmallAndLargeShellIconsInTheirSystemSizes) {
  ASSERT_NE(acAppIcon(false), nullptr);
  ASSERT_NE(acAppIcon(true), nullptr);
  EXPECT_EQ(acAppIcon(false), acAppIcon(false)) << "asked of the shell once";
  auto Width = [](HICON I) {
    ICONINFO Info{};
    if (!GetIconInfo(I, &Info)) return 0;
    BITMAP B{};
    GetObjectW(Info.hbmColor != nullptr ? Info.hbmColor : Info.hbmMask, sizeof(B), &B);
    if (Info.hbmColor) DeleteObject(Info.hbmColor);
    if (Info.hbmMask) DeleteObject(Info.hbmMask);
    return static_cast<int>(B.bmWidth);
  };
  EXPECT_EQ(Width(acAppIcon(false)), GetSystemMetrics(SM_CXSMICON));
  EXPECT_EQ(Width(acAppIcon(true)), GetSystemMetrics(SM_CXICON));
}
