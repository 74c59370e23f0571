// The program's life in-process: a damaged skin file where the main form's stored settings point
// does not stop the start (the error goes to the standard error box, the stored skin is shown), a
// failure of the start is shown and gives a non-zero exit code, the application's forms are
// freed while the units they use are still there, and a failure while they are freed is shown.
#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/sSkinManager.h"
#include "support/AppTestHelpers.h"

using namespace apptest;

namespace {


// A form whose destructor notes whether the program's units were still initialised.
class TWatchForm : public TForm {
  T_CLASS(TWatchForm, TForm)

 public:
  using TForm::TForm;
  ~TWatchForm() override { *UnitsAliveAtDestruction = acGetScrollBarInfo != nullptr; }
  static inline bool* UnitsAliveAtDestruction = nullptr;
};

// A form that refuses to let a component go: its notice of the removal fails.
class TClingingForm : public TForm {
  T_CLASS(TClingingForm, TForm)

 public:
  using TForm::TForm;
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TForm::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent != this && dynamic_cast<TCustomForm*>(AComponent) == nullptr)
      throw EInvalidOperation("The form cannot let the component go");
  }
};

}  // namespace

TEST(ProgramLifetime, ADamagedPackedSkinShowsItsErrorAndTheStoredSkinIsShown) {
  for (const std::string& Damaged :
       {std::string("ASzf\x02\x00\x00\x00\x0B\x00\x00\x00Options.dat\x40\x00\x00", 25), std::string("not a skin"),
        std::string()}) {
    SCOPED_TRACE(Damaged.size());
    apptest::TSkinsFile Skin("Office2007 Black (internal).asz", Damaged);
    ASSERT_TRUE(Skin.Written);
    TProgramState State;
    TTempFolder Folder;
    Folder.Write("server.txt", "192.0.2.7\r\n");
    Folder.Write("list.txt", "A|1,x\r\n");
    TBoxRecorder Boxes;
    ASSERT_NO_THROW(CreateProgramForms());
    ASSERT_NE(Form1, nullptr);
    ASSERT_NE(Form2, nullptr);
    ASSERT_EQ(Boxes.Texts.size(), 1u);
    EXPECT_TRUE(Boxes.FlagsSeen[0] & MB_ICONSTOP);
    // The skin shown is the stored one, whole.
    TsSkinManager* M = Form1->sSkinManager1;
    EXPECT_TRUE(M->Active());
    EXPECT_TRUE(M->SkinActive());
    EXPECT_TRUE(M->SkinData()->SkinPath.empty()) << M->SkinData()->SkinPath;
    EXPECT_GE(M->GetSectionIndex("FORM"), 0);
    EXPECT_EQ(Form1->NxGrid1->RowCount(), 1);
    ShowMainForm();
    EXPECT_TRUE(Form1->Showing());
    uitest::SaveScreenshot(Form1->Handle(), "program_damaged_skin");
  }
}

TEST(ProgramLifetime, AFailingStartIsShownAndEndsWithANonZeroExitCode) {
  TProgramState State;
  TBoxRecorder Boxes;
  EXPECT_EQ(RunProgramWith([] {
              Application->Initialize();
              throw EInvalidOperation("The start failed");
            }),
            1);
  ASSERT_EQ(Boxes.Texts.size(), 1u);
  EXPECT_NE(Boxes.Texts[0].find(L"The start failed"), WideString::npos);
  EXPECT_TRUE(Boxes.FlagsSeen[0] & MB_ICONSTOP);
  // A form that fails while it is made is gone, and so is every form made before it.
  TForm* Made = nullptr;
  EXPECT_EQ(RunProgramWith([&] {
              InitializeUnits();
              Application->CreateForm(Made);
              throw EInvalidOperation("The second form failed");
            }),
            1);
  EXPECT_EQ(Application->ComponentCount(), 0);
  EXPECT_EQ(Application->MainForm(), nullptr);
  EXPECT_EQ(Boxes.Texts.size(), 2u);
}

TEST(ProgramLifetime, TheFormsAreFreedBeforeTheUnitsAreFinalised) {
  TProgramState State;
  TBoxRecorder Boxes;
  bool UnitsAlive = false;
  TWatchForm::UnitsAliveAtDestruction = &UnitsAlive;
  TWatchForm* Watch = nullptr;
  TTempFolder Folder;
  Folder.Write("server.txt", "192.0.2.7\r\n");
  Folder.Write("list.txt", "A|1,x\r\n");
  const int Code = RunProgramWith([&] {
    CreateProgramForms();
    Application->CreateForm(Watch);
    // The message loop ends as soon as it starts.
    Application->Terminate();
  });
  EXPECT_EQ(Code, 0);
  EXPECT_TRUE(UnitsAlive) << "a form outlived the units it uses";
  EXPECT_EQ(Application->ComponentCount(), 0);
  EXPECT_EQ(Form1, nullptr);
  EXPECT_EQ(Form2, nullptr);
  EXPECT_TRUE(Boxes.Texts.empty());
  TWatchForm::UnitsAliveAtDestruction = nullptr;
}

TEST(ProgramLifetime, AFailureWhileTheFormsAreFreedAtExitIsShown) {
  TProgramState State;
  TBoxRecorder Boxes;
  TClingingForm* Main = nullptr;
  TComponent* Watched = nullptr;
  const int Code = RunProgramWith([&] {
    InitializeUnits();
    Application->CreateForm(Main);
    Application->CreateForm(Watched);
    Watched->FreeNotification(Main);
    Application->Terminate();
  });
  EXPECT_EQ(Code, 1);
  EXPECT_EQ(Boxes.Texts, std::vector<WideString>{L"The form cannot let the component go."});
  EXPECT_EQ(Application->ComponentCount(), 0);
}
