// The skin manager's skin change: the order of its events and broadcasts, Active and SkinName
// switching, reloads for HueOffset and Saturation, failed loads that leave no half state, and the
// start-up order of a form that carries a manager in its stored description.
#include <gtest/gtest.h>

#include <windows.h>

#include "manager_test_support.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "support/MessageOf.h"

using namespace mgrtest;
using Strings = std::vector<std::string>;

namespace {

const char* const SkinA =
    "[GLOBALINFO]\r\nVERSION=7.00\r\nCOLOR=255\r\nFONTCOLOR=65280\r\n"
    "[EDIT]\r\nCOLOR=16711680\r\n";
const char* const SkinB = "[GLOBALINFO]\r\nVERSION=6.5\r\n[BUTTON]\r\nCOLOR=0\r\n";
// SHADOW1OFFSET must be a number: loading this skin fails part-way.
const char* const BadSkin = "[GLOBALINFO]\r\nVERSION=7\r\nSHADOW1OFFSET=wide\r\n[EDIT]\r\nCOLOR=1\r\n";

// A manager with no skin directory of its own (a folder that does not exist).
std::unique_ptr<TsSkinManager> NewManager() {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(AppDirectory() + "no skins here");
  return M;
}

void LogEvents(TsSkinManager& M, TLog& Log) {
  M.OnBeforeChange = [&Log, &M](TObject* Sender) {
    Log.Add(Sender == &M ? "before" : "before?");
  };
  M.OnAfterChange = [&Log, &M](TObject* Sender) { Log.Add(Sender == &M ? "after" : "after?"); };
}

void ExpectNoSkinLeft(TsSkinManager& M) {
  EXPECT_FALSE(M.SkinActive());
  EXPECT_EQ(M.SkinInfo(), "N/A");
  EXPECT_TRUE(M.GeneralData().empty());
  EXPECT_TRUE(M.Masks().empty());
  EXPECT_EQ(M.MasterBitmap(), nullptr);
  EXPECT_EQ(M.CommonSkinIndexes().GlobalInfo, -1);
  EXPECT_EQ(M.GetSectionIndex("EDIT"), -1);
  EXPECT_FALSE(M.HookInstalled());
  EXPECT_EQ(acCBTHookHandle, nullptr);
  EXPECT_FALSE(acSkinChanging);
  EXPECT_FALSE(acSkinRemoving);
}

const Strings NewSkinOrder = {"before", "form:1",  "child:1", "form:16", "child:16",
                              "form:3", "child:3", "after"};

}  // namespace

TEST(ManagerSkinChange, RunsInOrderAndTellsEveryFormAndControl) {
  // What the receivers see while the change runs; it outlives the manager, whose destruction
  // still tells the form.
  Strings States;
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  AddStoredSkin(*M, "B", SkinB);
  LogEvents(*M, F.Log);
  F.FormTap->OnCommand = [&](Word C) {
    States.push_back(std::to_string(C) + (M->SkinActive() ? " active" : " inactive") +
                     (acSkinChanging ? " changing" : ""));
  };

  M->SetSkinName("A");
  EXPECT_EQ(F.Log.Items, NewSkinOrder);
  EXPECT_EQ(F.FormTap->LastLParam, reinterpret_cast<LPARAM>(M.get()));
  EXPECT_EQ(F.ChildTap->LastLParam, reinterpret_cast<LPARAM>(M.get()));
  // The new skin goes out before it is marked active; the refresh comes with it active.
  EXPECT_EQ(States, (Strings{"1 inactive changing", "16 active changing", "3 active changing"}));
  EXPECT_TRUE(M->SkinActive());
  EXPECT_EQ(M->SkinInfo(), "7");
  EXPECT_FALSE(acSkinChanging);

  // Another name: the whole change again, with the other skin.
  F.Log.Items.clear();
  M->SetSkinName("B");
  EXPECT_EQ(F.Log.Items, NewSkinOrder);
  EXPECT_EQ(M->SkinInfo(), "6.5");
  EXPECT_EQ(M->GetSectionIndex("EDIT"), -1);
  EXPECT_GE(M->GetSectionIndex("BUTTON"), 0);
}

TEST(ManagerSkinChange, ActiveSwitchRemovesAndReloads) {
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  M->SetSkinName("A");
  ASSERT_GE(M->CommonSkinIndexes().GlobalInfo, 0);
  LogEvents(*M, F.Log);
  F.Log.Items.clear();

  M->SetActive(false);
  // No events: only the removal goes out.
  EXPECT_EQ(F.Log.Items, (Strings{"form:2", "child:2"}));
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);
  M->SetActive(false);
  EXPECT_EQ(F.Log.Items.size(), 2u);

  F.Log.Items.clear();
  M->SetActive(true);
  EXPECT_EQ(F.Log.Items, NewSkinOrder);
  EXPECT_TRUE(M->SkinActive());
  EXPECT_GE(M->CommonSkinIndexes().GlobalInfo, 0);
}

TEST(ManagerSkinChange, InactiveManagerOnlyStoresItsSettings) {
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  M->SetActive(false);
  F.Log.Items.clear();
  LogEvents(*M, F.Log);
  M->SetSkinName("A");
  M->SetHueOffset(40);
  M->SetSaturation(-20);
  M->SetExtendedBorders(true);
  EXPECT_TRUE(F.Log.Items.empty());
  EXPECT_EQ(M->SkinName(), "A");
  EXPECT_EQ(M->HueOffset(), 40);
  EXPECT_EQ(M->Saturation(), -20);
  EXPECT_FALSE(M->SkinActive());
  EXPECT_TRUE(M->GeneralData().empty());
}

TEST(ManagerSkinChange, FailedLoadRemovesTheSkinAndRaises) {
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "Good", SkinA);
  AddStoredSkin(*M, "Bad", BadSkin);
  M->SetSkinName("Good");
  ASSERT_TRUE(M->HookInstalled());
  LogEvents(*M, F.Log);
  F.Log.Items.clear();

  const std::string Msg = exctest::MessageOf<Exception>([&] { M->SetSkinName("Bad"); });
  EXPECT_NE(Msg.find("wide"), std::string::npos) << Msg;
  // Every window hears that the skin is gone; the change does not complete (no OnAfterChange).
  EXPECT_EQ(F.Log.Items, (Strings{"before", "form:2", "child:2"}));
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);

  // Switching on again loads the named (bad) skin again, with the same result.
  F.Log.Items.clear();
  EXPECT_THROW(M->SetActive(true), Exception);
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);
  // A good name brings the skin back.
  M->SetActive(false);
  M->SetSkinName("Good");
  M->SetActive(true);
  EXPECT_TRUE(M->SkinActive());
}

TEST(ManagerSkinChange, StoredSkinWithoutDataSwitchesOffQuietly) {
  TTappedForm F;
  auto M = NewManager();
  M->InternalSkins()->Add()->SetName("Nothing (internal)");
  LogEvents(*M, F.Log);
  M->SetSkinName("Nothing (internal)");
  EXPECT_EQ(F.Log.Items, (Strings{"before", "form:2", "child:2", "after"}));
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);
}

TEST(ManagerSkinChange, HueAndSaturationReloadWithoutEvents) {
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  M->SetSkinName("A");
  const int G = M->CommonSkinIndexes().GlobalInfo;
  ASSERT_GE(G, 0);
  ASSERT_EQ(M->GeneralData()[G].Color, 255);
  LogEvents(*M, F.Log);
  F.Log.Items.clear();

  M->SetHueOffset(120);
  EXPECT_EQ(F.Log.Items, (Strings{"form:16", "child:16", "form:3", "child:3"}));
  EXPECT_TRUE(M->SkinActive());
  // The skin was read again and recoloured: pure red turned round the wheel.
  EXPECT_NE(M->GeneralData()[M->CommonSkinIndexes().GlobalInfo].Color, 255);
  M->SetHueOffset(120);  // unchanged: nothing
  EXPECT_EQ(F.Log.Items.size(), 4u);

  // Back to 0: the colour as stored (each pass starts from the skin as stored).
  M->SetHueOffset(0);
  EXPECT_EQ(M->GeneralData()[M->CommonSkinIndexes().GlobalInfo].Color, 255);

  F.Log.Items.clear();
  M->SetSaturation(-50);
  EXPECT_EQ(F.Log.Items, (Strings{"form:16", "child:16", "form:3", "child:3"}));
  EXPECT_FALSE(acSkinChanging);
}

TEST(ManagerSkinChange, TheVersionNoticeComesAfterTheLoad) {
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "Old", SkinB);
  AddStoredSkin(*M, "New", "[GLOBALINFO]\r\nVERSION=300\r\n[EDIT]\r\nCOLOR=255\r\n");
  M->SetSkinName("Old");
  // The notice's box runs a message loop: by then the new skin is whole, shown and sent out.
  Strings InBox;
  acMessageBoxProc = [&](const AnsiString&, const AnsiString&, UINT) {
    InBox.push_back(std::string(M->SkinActive() ? "active" : "inactive") + (acSkinChanging ? " changing" : "") +
                    (M->GetSectionIndex("EDIT") >= 0 ? " EDIT" : "") + (M->GetSectionIndex("BUTTON") >= 0 ? " BUTTON" : "") +
                    " " + std::to_string(F.Log.Count("form:3")));
    return IDOK;
  };
  F.Log.Items.clear();
  M->SetSkinName("New");
  M->SetHueOffset(30);
  M->SetExtendedBorders(true);
  acMessageBoxProc = nullptr;
  EXPECT_EQ(InBox, (Strings{"active EDIT 1", "active EDIT 2", "active EDIT 3"}));
  EXPECT_TRUE(M->SkinActive());
}

TEST(ManagerSkinChange, ReloadThatFindsNoSkinLeavesNoHalfState) {
  TTappedForm F;
  TTempDir T;
  T.Folder("Folder Skin");
  T.Write("Folder Skin\\Options.dat", SkinA);
  auto M = NewManager();
  M->SetSkinDirectory(T.Path);
  M->SetSkinName("Folder Skin");
  ASSERT_TRUE(M->SkinActive());
  ASSERT_FALSE(M->SkinIsPacked());
  F.Log.Items.clear();

  // The folder goes away; the next reload finds neither it nor any stored skin.
  RemoveTree(T.Path + "Folder Skin\\");
  M->SetSaturation(30);
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);
  EXPECT_EQ(F.Log.Only("form:"), (Strings{"form:2"}));
}

TEST(ManagerSkinChange, FailedReloadRaisesAndLeavesNoHalfState) {
  TTappedForm F;
  TTempDir T;
  T.Folder("S");
  T.Write("S\\Options.dat", SkinA);
  auto M = NewManager();
  M->SetSkinDirectory(T.Path);
  M->SetSkinName("S");
  ASSERT_TRUE(M->SkinActive());
  T.Write("S\\Options.dat", BadSkin);
  EXPECT_THROW(M->SetHueOffset(10), Exception);
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);
}

TEST(ManagerSkinChange, AChangeMadeDuringTheNewSkinBroadcastStands) {
  // A control that switches skinning off, or picks another skin, when it is told of a new one: the
  // change it made is the one that stands; the first change goes no further.
  TTappedForm F;
  auto M = NewManager();
  AddStoredSkin(*M, "A", SkinA);
  AddStoredSkin(*M, "B", SkinB);
  bool Once = true;
  F.ChildTap->OnCommand = [&](Word C) {
    if (C == AC_NEWSKIN && Once) {
      Once = false;
      M->SetActive(false);
    }
  };
  M->SetSkinName("A");
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);

  Once = true;
  F.ChildTap->OnCommand = [&](Word C) {
    if (C == AC_NEWSKIN && Once) {
      Once = false;
      M->SetSkinName("B");
    }
  };
  M->SetActive(true);
  EXPECT_TRUE(M->SkinActive());
  EXPECT_EQ(M->SkinInfo(), "6.5");
  EXPECT_GE(M->GetSectionIndex("BUTTON"), 0);
  // The forms were refreshed once, for the skin that stands.
  EXPECT_EQ(F.Log.Count("form:3"), 1);
}

// ---- Start-up: a manager in a form's stored description ------------------------------------------

namespace {

struct TStartLog {
  TLog* Log = nullptr;
  bool LoadedWhileApplying = false;
  bool ActiveWhileApplying = true;
};
TStartLog StartLog;

class TManagerForm : public TForm {
  T_CLASS(TManagerForm, TForm)

 public:
  using TForm::TForm;
  TsSkinManager* sSkinManager1 = nullptr;
  static std::string StoredOptions;

 protected:
  void InitializeComponents() override {
    SetCaption(L"Manager form");
    sSkinManager1 = new TsSkinManager(this);
    sSkinManager1->SetName("sSkinManager1");
    TsStoredSkin* Stored = sSkinManager1->InternalSkins()->Add();
    Stored->SetName("Stored (internal)");
    if (!StoredOptions.empty()) {
      TFiles Files{{"Options.dat", StoredOptions}};
      const std::string Pack = skinpack_builder::BuildPack(Files);
      Stored->Data()->WriteBuffer(Pack.data(), static_cast<std::int64_t>(Pack.size()));
    }
    sSkinManager1->SetSkinDirectory("c:\\Skins");
    sSkinManager1->SetSkinName("Stored (internal)");
    // The skin is read while the description is applied, and shown only when it is loaded.
    StartLog.LoadedWhileApplying = !sSkinManager1->GeneralData().empty();
    StartLog.ActiveWhileApplying = sSkinManager1->SkinActive();
    StartLog.Log->Add("applied");
  }
  void Loaded() override {
    StartLog.Log->Add("form loaded");
    TForm::Loaded();
  }
};
std::string TManagerForm::StoredOptions;

}  // namespace

TEST(ManagerStartUp, StoredSkinIsReadWithTheDescriptionAndShownWhenLoaded) {
  TTappedForm F;
  StartLog = TStartLog{&F.Log};
  TManagerForm::StoredOptions = SkinA;
  TManagerForm* Form = TCustomForm::Create<TManagerForm>(Application);
  TsSkinManager* M = Form->sSkinManager1;
  EXPECT_TRUE(StartLog.LoadedWhileApplying);
  EXPECT_FALSE(StartLog.ActiveWhileApplying);
  // The new skin goes out once, after the form's description is loaded, without the repaint.
  EXPECT_EQ(F.Log.Items, (Strings{"applied", "form loaded", "form:1", "child:1"}));
  EXPECT_TRUE(M->SkinActive());
  EXPECT_TRUE(M->IsDefault());
  EXPECT_TRUE(M->HookInstalled());
  EXPECT_NE(acCBTHookHandle, nullptr);
  EXPECT_EQ(M->MenuSupport()->IcoLineSkin(), "ICOLINE");
  delete Form;
  // The manager went with its form, and its hook with it.
  EXPECT_EQ(TsSkinManager::DefaultManager(), nullptr);
  EXPECT_EQ(acCBTHookHandle, nullptr);
}

TEST(ManagerStartUp, StoredSkinWithoutDataLeavesTheFormUnskinned) {
  TTappedForm F;
  StartLog = TStartLog{&F.Log};
  TManagerForm::StoredOptions.clear();
  TManagerForm* Form = nullptr;
  ASSERT_NO_THROW(Form = TCustomForm::Create<TManagerForm>(Application));
  TsSkinManager* M = Form->sSkinManager1;
  EXPECT_FALSE(StartLog.LoadedWhileApplying);
  EXPECT_FALSE(M->Active());
  ExpectNoSkinLeft(*M);
  EXPECT_EQ(F.Log.Count("form:1"), 0);
  delete Form;
}
