// The shared handling of a skinned control's messages: every skin command the skin data answers
// (through real controls and their windows), the commands it ignores, and the ordinary window and
// framework messages that change its state (focus, mouse over, size, move, visibility, enabling).
#include <gtest/gtest.h>

#include "commondata_support.h"
#include "framework/Forms.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"

using namespace cdtest;

namespace {

LPARAM Of(TsSkinManager* M) { return reinterpret_cast<LPARAM>(M); }

}  // namespace

TEST(CommonDataCommands, OnlyTheSkinCommandOfKnownCodesIsHandled) {
  TsCommonData D(nullptr);
  TMessage M = Cmd(AC_ISSKINNED);
  EXPECT_FALSE(HandleSkinCommand(M, nullptr));
  EXPECT_FALSE(HandleCommonMessage(M, nullptr));
  EXPECT_EQ(M.Result, 0);
  M.Msg = WM_USER;
  EXPECT_FALSE(HandleSkinCommand(M, &D));
  EXPECT_EQ(M.Result, 0);
  for (Word Code : {Word(5), Word(14), Word(61), Word(62), Word(0xFFFF)}) {
    TMessage U = Cmd(Code);
    EXPECT_FALSE(HandleSkinCommand(U, &D)) << Code;
    EXPECT_EQ(U.Result, 0) << Code;
  }
  // Command 26 above the codes of the handler would collide: 61 and more are ignored even when a
  // known code sits in the low bits.
  TMessage High = Cmd(static_cast<Word>(AC_GETSECTION + 64));
  EXPECT_FALSE(HandleSkinCommand(High, &D));
}

TEST(CommonDataCommands, QuestionsAreAnsweredThroughTheWindow) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "HALF");
  TsCommonData* D = C->SkinData();
  EXPECT_EQ(Send(C, AC_ISSKINNED), 1);
  EXPECT_EQ(Send(C, AC_GETSECTION), Mgr->GetSectionIndex("HALF") + 1);
  D->BackgroundStale = false;
  D->Updating = false;
  EXPECT_EQ(Send(C, AC_ISBUSY), 0);
  D->Updating = true;
  EXPECT_EQ(Send(C, AC_ISBUSY), 1);
  D->Updating = false;
  D->BackgroundStale = true;
  EXPECT_EQ(Send(C, AC_ISBUSY), 1);
  D->OutOfView = false;
  EXPECT_EQ(Send(C, AC_WASOUTOFVIEW), 0);
  Send(C, AC_NOTPAINTED);
  EXPECT_TRUE(D->OutOfView);
  EXPECT_EQ(Send(C, AC_WASOUTOFVIEW), 1);
  D->StateBits = 0x8001;
  EXPECT_EQ(Send(C, AC_PLAINSTATE), 0x8001);
  // No section: 0, which can never be taken for the first section.
  D->SetSkinSection("NOSUCH");
  EXPECT_EQ(Send(C, AC_GETSECTION), 0);
  TMessage App = Cmd(AC_GETAPPLICATION);
  EXPECT_FALSE(HandleSkinCommand(App, D));
  EXPECT_EQ(App.Result, reinterpret_cast<LRESULT>(Application));
}

TEST(CommonDataCommands, FlagCommands) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "FLAT");
  TsCommonData* D = C->SkinData();
  Send(C, AC_SETUPDATING, 1);
  EXPECT_TRUE(D->Updating);
  Send(C, AC_SETUPDATING, 0);
  EXPECT_FALSE(D->Updating);
  Send(C, AC_SETPARENTDEPENDENT, 1);
  EXPECT_TRUE(D->ForceParentDependent);
  Send(C, AC_SETPARENTDEPENDENT, 2);
  EXPECT_FALSE(D->ForceParentDependent);
  D->BackgroundStale = false;
  Send(C, AC_BGCHANGED);
  EXPECT_TRUE(D->BackgroundStale);
  // "Background may have changed" counts only for transparent sections and with the flag.
  D->BackgroundStale = false;
  Send(C, AC_BGMAYHAVECHANGED, 1);
  EXPECT_FALSE(D->BackgroundStale);
  D->SetSkinSection("HALF");
  D->BackgroundStale = false;
  Send(C, AC_BGMAYHAVECHANGED, 0);
  EXPECT_FALSE(D->BackgroundStale);
  Send(C, AC_BGMAYHAVECHANGED, 1);
  EXPECT_TRUE(D->BackgroundStale);
  // Nothing assigns the current section name: command 13 leaves a placed control alone.
  F.Show();
  uitest::Settle(C->Handle());
  D->BackgroundStale = false;
  Send(C, AC_INVALIDATESECTION);
  EXPECT_FALSE(D->BackgroundStale);
}

TEST(CommonDataCommands, NewSkinRereadsTheIndexesOfTheOwnManagerOnly) {
  auto Mgr = NewSkinnedManager();
  auto Other = NewSkinnedManager(OtherOptions);
  TTestForm F;
  auto* C = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  C->HandleNeeded();
  TsCommonData* D = C->SkinData();
  const int Flat = D->SectionIndex;
  D->SectionIndex = 0;
  D->BorderMaskIndex = 5;
  D->BackgroundStale = false;
  EXPECT_EQ(Send(C, AC_NEWSKIN, 0, Of(Other.get())), 0);
  EXPECT_EQ(D->SectionIndex, 0);
  EXPECT_EQ(D->BorderMaskIndex, 5);
  EXPECT_FALSE(D->BackgroundStale);
  Send(C, AC_NEWSKIN, 0, 0);
  EXPECT_EQ(D->SectionIndex, 0);
  Send(C, AC_NEWSKIN, 0, Of(Mgr.get()));
  EXPECT_EQ(D->SectionIndex, Flat);
  EXPECT_EQ(D->BorderMaskIndex, -1);
  EXPECT_TRUE(D->BackgroundStale);
  EXPECT_EQ(D->StateBits & ssPlainBackground, ssPlainBackground);
}

TEST(CommonDataCommands, NewSkinFollowsASkinChangeOfTheManager) {
  auto Mgr = NewSkinnedManager();
  mgrtest::AddStoredSkin(*Mgr, "Other", OtherOptions, Files());
  TsCommonData D(nullptr);
  D.SetSkinSection("EDIT");
  ASSERT_EQ(D.SectionIndex, Mgr->GetSectionIndex("EDIT"));
  Mgr->SetSkinName("Other");
  ASSERT_EQ(Mgr->GetSectionIndex("EDIT"), 3);
  TMessage M = Cmd(AC_NEWSKIN, 0, Of(Mgr.get()));
  EXPECT_FALSE(HandleSkinCommand(M, &D));
  EXPECT_EQ(D.SectionIndex, 3);
  EXPECT_TRUE(D.IsSkinned());
}

TEST(CommonDataCommands, SkinRemovedDropsTheIndexesAndRestoresSystemColours) {
  auto Mgr = NewSkinnedManager();
  auto Other = NewSkinnedManager(OtherOptions);
  TTestForm F;
  auto* E = F.Add<TSkinnedEdit>(F.Form);
  E->SkinData()->Loaded();
  E->SkinData()->InitCacheBmp();
  E->SetBounds(0, 0, 80, 24);
  E->SkinData()->InitCacheBmp();
  ASSERT_FALSE(E->SkinData()->CacheBmp()->Empty());
  ASSERT_NE(E->Color(), clWindow);

  // Another manager's removal leaves the control alone.
  Send(E, AC_SKINREMOVED, 0, Of(Other.get()));
  EXPECT_GE(E->SkinData()->SectionIndex, 0);
  EXPECT_FALSE(E->SkinData()->CacheBmp()->Empty());

  Send(E, AC_SKINREMOVED, 0, Of(Mgr.get()));
  TsCommonData* D = E->SkinData();
  EXPECT_EQ(D->SectionIndex, -1);
  EXPECT_EQ(D->BorderMaskIndex, -1);
  EXPECT_EQ(D->PatternIndex, -1);
  EXPECT_EQ(D->HotPatternIndex, -1);
  EXPECT_TRUE(D->Updating);
  EXPECT_TRUE(D->CacheBmp()->Empty());
  EXPECT_EQ(E->Color(), clWindow);
  EXPECT_EQ(E->Font()->Color(), clWindowText);

  // Custom colours stay.
  auto* Custom = F.Add<TSkinnedEdit>(F.Form);
  Custom->SkinData()->SetCustomColor(true);
  Custom->SkinData()->SetCustomFont(true);
  Custom->SetColor(clLime);
  Custom->Font()->SetColor(clRed);
  Send(Custom, AC_SKINREMOVED, 0, Of(Mgr.get()));
  EXPECT_EQ(Custom->Color(), clLime);
  EXPECT_EQ(Custom->Font()->Color(), clRed);
}

TEST(CommonDataCommands, SkinRemovedGivesLabelsOfAWindowedOwnerTheSystemTextColour) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* P = F.Add<TSkinnedPanel>(F.Form, "PANEL");
  auto* L = F.Add<TLabel>(P);
  L->Font()->SetColor(clRed);
  auto* Inner = F.Add<TPanel>(P);
  auto* Deep = F.Add<TLabel>(Inner);
  Deep->Font()->SetColor(clRed);
  Send(P, AC_SKINREMOVED, 0, Of(Mgr.get()));
  EXPECT_EQ(L->Font()->Color(), clWindowText);
  EXPECT_EQ(Deep->Font()->Color(), clRed);  // direct children only
}

TEST(CommonDataCommands, SkinRemovedByAManagerBeingDestroyedForgetsIt) {
  auto Default = NewSkinnedManager();
  auto Other = NewSkinnedManager(OtherOptions);
  TsCommonData D(nullptr);
  D.SetSkinManager(Other.get());
  D.SetSkinSection("EDIT");
  Other->Destroying();
  TMessage M = Cmd(AC_SKINREMOVED, 0, Of(Other.get()));
  HandleSkinCommand(M, &D);
  EXPECT_EQ(D.ManagerField(), nullptr);
  EXPECT_EQ(D.SectionIndex, -1);
  Other.reset();
  EXPECT_EQ(D.GetSkinManager(), Default.get());
}

TEST(CommonDataCommands, RefreshReappliesSectionColoursAndClearsUpdating) {
  auto Mgr = NewSkinnedManager();
  const TsGeneralData& Edit = Mgr->GeneralData()[static_cast<std::size_t>(Mgr->GetSectionIndex("EDIT"))];
  TTestForm F;
  auto* E = F.Add<TSkinnedEdit>(F.Form);
  E->SetColor(clRed);
  E->SkinData()->Updating = true;
  E->SkinData()->BackgroundStale = false;
  EXPECT_EQ(Send(E, AC_REFRESHSKIN, 0, 12345), 0);
  EXPECT_TRUE(E->SkinData()->Updating);  // not from its manager
  Send(E, AC_REFRESHSKIN, 0, Of(Mgr.get()));
  EXPECT_FALSE(E->SkinData()->Updating);
  EXPECT_TRUE(E->SkinData()->BackgroundStale);
  EXPECT_EQ(E->Color(), Edit.Color);
  EXPECT_EQ(E->Font()->Color(), Edit.FontColor[0]);
}

TEST(CommonDataCommands, ColourAnswers) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* White = F.Add<TPanel>(F.Form);
  White->SetColor(clWhite);
  auto* Half = F.Add<TSkinnedControl>(White, "HALF");  // black, 50 % transparent
  EXPECT_EQ(Send(Half, AC_GETCOLOR), 0x7F7F7F);
  auto* Quarter = F.Add<TSkinnedControl>(White, "QUARTER");  // a quarter of the parent shows
  EXPECT_EQ(Send(Quarter, AC_GETCOLOR), 0x3F3F3F);
  auto* Flat = F.Add<TSkinnedControl>(White, "FLAT");
  EXPECT_EQ(Send(Flat, AC_GETCOLOR), 0x102030);
  // A clear control on a parent that does not answer: the parent's colour, not black.
  auto* Clear = F.Add<TSkinnedControl>(White, "CLEAR");
  EXPECT_EQ(Send(Clear, AC_GETCOLOR), 0xFFFFFF);
  // On a skinned parent: its answer.
  auto* Parent = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  auto* Clear2 = F.Add<TSkinnedControl>(Parent, "CLEAR");
  EXPECT_EQ(Send(Clear2, AC_GETCOLOR), 0x102030);
  auto* Half2 = F.Add<TSkinnedControl>(Parent, "HALF");
  EXPECT_EQ(Send(Half2, AC_GETCOLOR), 0x081018);
  // A parent answering "no colour": its Color as it is.
  Parent->Intercept = [](TMessage& M) {
    if (M.Msg != SM_ALPHACMD || AlphaCmdCode(M.WParam) != AC_GETCOLOR) return false;
    M.Result = clKeyColor;
    return true;
  };
  Parent->SetColor(clBtnFace);
  EXPECT_EQ(static_cast<TColor>(Send(Clear2, AC_GETCOLOR)), clBtnFace);
  Parent->Intercept = nullptr;
  // Without a parent: the own colour.
  auto* Lone = new TSkinnedControl(F.Form, "CLEAR");
  Lone->SetColor(clBlue);
  TMessage M = Cmd(AC_GETCOLOR);
  EXPECT_TRUE(HandleSkinCommand(M, Lone->SkinData()));
  EXPECT_EQ(M.Result, 0xFF0000);
  // Unskinned: the own colour in RGB.
  Flat->SkinData()->SetSkinSection("NOSUCH");
  Flat->SetColor(clBtnFace);
  EXPECT_EQ(static_cast<COLORREF>(Send(Flat, AC_GETCOLOR)), ColorToRGB(clBtnFace));
  // No owner control: not answered.
  TsCommonData D(nullptr);
  D.SetSkinSection("FLAT");
  TMessage N = Cmd(AC_GETCOLOR);
  EXPECT_FALSE(HandleSkinCommand(N, &D));
  EXPECT_EQ(N.Result, 0);
}

TEST(CommonDataCommands, ParentDependenceAnswer) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Grad = F.Add<TSkinnedPanel>(F.Form, "GRAD");
  auto* Flat = F.Add<TSkinnedPanel>(F.Form, "FLAT");
  auto* Clear = F.Add<TSkinnedControl>(Grad, "CLEAR");
  // The parent has no window yet: no answer from it.
  TMessage M = Cmd(AC_ISPARENTDEPENDENT);
  EXPECT_TRUE(HandleSkinCommand(M, Clear->SkinData()));
  EXPECT_EQ(M.Result, 0);
  Grad->HandleNeeded();
  Flat->HandleNeeded();
  M = Cmd(AC_ISPARENTDEPENDENT);
  EXPECT_TRUE(HandleSkinCommand(M, Clear->SkinData()));
  EXPECT_EQ(M.Result, 1);
  EXPECT_EQ(M.LParam, 1);
  Clear->SetParent(Flat);
  EXPECT_EQ(Send(Clear, AC_ISPARENTDEPENDENT), 0);
  EXPECT_EQ(Send(Grad, AC_ISPARENTDEPENDENT), 1);  // its own gradient
  EXPECT_EQ(Send(Flat, AC_ISPARENTDEPENDENT), 0);
  auto* Half = F.Add<TSkinnedControl>(Grad, "HALF");
  EXPECT_EQ(Send(Half, AC_ISPARENTDEPENDENT), 1);
  // No section: not answered.
  Half->SkinData()->SetSkinSection("NOSUCH");
  TMessage N = Cmd(AC_ISPARENTDEPENDENT);
  EXPECT_FALSE(HandleSkinCommand(N, Half->SkinData()));
}

TEST(CommonDataCommands, ParentMovedRepaintsAndReachesTheChildrenOfADependentControl) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Grad = F.Add<TSkinnedPanel>(F.Form, "GRAD");
  Grad->SetBounds(10, 10, 200, 150);
  auto* Half = F.Add<TSkinnedPanel>(Grad, "HALF");
  Half->SetBounds(10, 10, 150, 100);
  auto* Child = F.Add<TSkinnedControl>(Half, "FLAT");
  Child->SetBounds(5, 5, 40, 20);
  F.Show();
  uitest::Settle(F.Form->Handle());
  mgrtest::TLog Log;
  mgrtest::TCommandTap Tap(Child, "child", Log);
  Half->SkinData()->BackgroundStale = false;
  Send(Half, AC_PARENTMOVED, 1);
  EXPECT_TRUE(Half->SkinData()->BackgroundStale);
  EXPECT_TRUE(GetUpdateRect(Half->Handle(), nullptr, FALSE));
  EXPECT_TRUE(GetUpdateRect(Child->Handle(), nullptr, FALSE));  // all children redrawn
  EXPECT_EQ(Log.Count("child:20"), 1);

  // An opaque control on a flat form does not depend on its parent: its children hear nothing.
  uitest::Settle(F.Form->Handle());
  Half->SetParent(F.Form);
  Half->SkinData()->SetSkinSection("FLAT");
  uitest::Settle(F.Form->Handle());
  Log.Items.clear();
  Half->SkinData()->BackgroundStale = false;
  Send(Half, AC_PARENTMOVED, 0);
  EXPECT_FALSE(Half->SkinData()->BackgroundStale);
  EXPECT_EQ(Log.Count("child:20"), 0);
}

TEST(CommonDataCommands, UiStateChangesAreSwallowedBySkinnedControls) {
  auto Mgr = NewSkinnedManager();
  TsCommonData D(nullptr);
  D.SetSkinSection("FLAT");
  TMessage M{WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0, 0};
  EXPECT_TRUE(HandleCommonMessage(M, &D));
  D.SetSkinSection("NOSUCH");
  EXPECT_FALSE(HandleCommonMessage(M, &D));
  // Skin commands go through the same entry.
  D.SetSkinSection("FLAT");
  TMessage C = Cmd(AC_GETSECTION);
  EXPECT_TRUE(HandleCommonMessage(C, &D));
  EXPECT_EQ(C.Result, D.SectionIndex + 1);
}

TEST(CommonDataCommands, MovingADependentControlRepaintsIt) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Grad = F.Add<TSkinnedPanel>(F.Form, "GRAD");
  Grad->SetBounds(0, 0, 300, 200);
  auto* Half = F.Add<TSkinnedControl>(Grad, "HALF");
  Half->SetBounds(10, 10, 50, 30);
  auto* Flat = F.Add<TSkinnedControl>(Grad, "FLAT");
  Flat->SetBounds(100, 10, 50, 30);
  F.Show();
  uitest::Settle(F.Form->Handle());
  mgrtest::TLog Log;
  mgrtest::TCommandTap TapHalf(Half, "half", Log);
  mgrtest::TCommandTap TapFlat(Flat, "flat", Log);
  Half->SkinData()->BackgroundStale = false;
  Flat->SkinData()->BackgroundStale = false;
  Half->SetBounds(20, 20, 50, 30);  // a real WM_MOVE
  Flat->SetBounds(110, 20, 50, 30);
  EXPECT_TRUE(Half->SkinData()->BackgroundStale);
  EXPECT_EQ(Log.Count("half:20"), 1);
  EXPECT_FALSE(Flat->SkinData()->BackgroundStale);
  EXPECT_EQ(Log.Count("flat:20"), 0);
}

TEST(CommonDataCommands, SizingAGradientControlTellsItsUnanchoredChildren) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Grad = F.Add<TSkinnedPanel>(F.Form, "GRAD");
  Grad->SetBounds(0, 0, 300, 200);
  auto* Free = F.Add<TSkinnedControl>(Grad, "FLAT");
  Free->SetBounds(10, 10, 40, 20);
  auto* Right = F.Add<TSkinnedControl>(Grad, "FLAT");
  Right->SetBounds(60, 10, 40, 20);
  Right->SetAnchors(TAnchors{akTop, akRight});
  F.Show();
  mgrtest::TLog Log;
  mgrtest::TCommandTap TapFree(Free, "free", Log);
  mgrtest::TCommandTap TapRight(Right, "right", Log);
  Grad->SkinData()->BackgroundStale = false;
  Grad->SetBounds(0, 0, 250, 180);
  EXPECT_TRUE(Grad->SkinData()->BackgroundStale);
  EXPECT_GE(Log.Count("free:20"), 1);
  EXPECT_EQ(Log.Count("right:20"), 0);
}

TEST(CommonDataCommands, FocusIsTrackedForFocusableControls) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* A = F.Add<TSkinnedControl>(F.Form, "FLAT", 2);
  A->SetBounds(10, 10, 50, 30);
  auto* B = F.Add<TSkinnedControl>(F.Form, "FLAT", 2);
  B->SetBounds(10, 60, 50, 30);
  F.Show();
  A->SetFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return GetFocus() == A->Handle(); }));
  EXPECT_TRUE(A->SkinData()->FocusedFlag);
  EXPECT_TRUE(A->SkinData()->GetHotState());
  B->SetFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return GetFocus() == B->Handle(); }));
  EXPECT_FALSE(A->SkinData()->FocusedFlag);
  EXPECT_TRUE(B->SkinData()->FocusedFlag);
  // A control without TabStop keeps its flag as it is.
  A->SetTabStop(false);
  TMessage M{WM_SETFOCUS, 0, 0, 0};
  EXPECT_FALSE(HandleCommonMessage(M, A->SkinData()));
  EXPECT_FALSE(A->SkinData()->FocusedFlag);
}

TEST(CommonDataCommands, MouseOverFollowsEnterAndLeaveByKind) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* Edit = F.Add<TSkinnedControl>(F.Form, "FLAT", 2);  // repaints on hover
  Edit->SetBounds(10, 10, 50, 30);
  auto* Panel = F.Add<TSkinnedControl>(F.Form, "FLAT", 51);  // no hover state
  Panel->SetBounds(10, 60, 50, 30);
  F.Show();
  uitest::Settle(F.Form->Handle());
  Edit->SkinData()->BackgroundStale = false;
  Edit->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(Edit));
  EXPECT_TRUE(Edit->SkinData()->MouseOver);
  EXPECT_TRUE(Edit->SkinData()->BackgroundStale);
  Panel->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(Panel));
  EXPECT_FALSE(Panel->SkinData()->MouseOver);
  Edit->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(Edit));
  EXPECT_FALSE(Edit->SkinData()->MouseOver);

  // Enabling and disabling clear both flags.
  Edit->SkinData()->MouseOver = true;
  Edit->SkinData()->FocusedFlag = true;
  Edit->SetEnabled(false);
  EXPECT_FALSE(Edit->SkinData()->MouseOver);
  EXPECT_FALSE(Edit->SkinData()->FocusedFlag);
}

// What the pointer coming and going does, by kind of control: bars, panels, tab sheets, group
// boxes, page controls, status bars and gauges (kinds 19, 51 to 74, 110, 141 to 161) take no hover
// look; edits, memos, combo boxes, lists and grids (2 to 18, 41, 76 to 84, 96, 97, 131 to 140)
// are painted again; and the pointer leaving a kind that shows no glow (51, 52, 54, 56 to 60, 68,
// 73, 74, 110, 141, 143, 151, 161, 226) or that shows its own (92 to 94) leaves another control's
// glow on the screen. Kinds above 255 are in none of these groups.
TEST(CommonDataCommands, EachKindTakesItsHoverRepaintAndGlowRules) {
  auto Mgr = NewSkinnedManager();
  if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
  ClearGlows();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "FLAT", 0);
  C->SetBounds(10, 10, 50, 30);
  auto* Lit = F.Add<TSkinnedControl>(F.Form, "GLOWING", 2);
  Lit->SetBounds(10, 60, 50, 30);
  F.Show();
  using TGroups = std::initializer_list<std::pair<int, int>>;
  auto In = [](int K, TGroups Groups) {
    for (const auto& [Lo, Hi] : Groups)
      if (K >= Lo && K <= Hi) return true;
    return false;
  };
  const TGroups NoHover{{19, 19}, {51, 74}, {110, 110}, {141, 161}};
  const TGroups Repaint{{2, 18}, {41, 41}, {76, 84}, {96, 97}, {131, 140}};
  const TGroups LeavesGlow{{51, 52}, {54, 54}, {56, 60}, {68, 68}, {73, 74}, {92, 94}, {110, 110}, {141, 141},
                           {143, 143}, {151, 151}, {161, 161}, {226, 226}};
  for (int K = 0; K <= 300; K += K < 256 ? 1 : 44) {
    SCOPED_TRACE(K);
    C->SkinData()->SetKindCode(K);
    C->SkinData()->BackgroundStale = false;
    C->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(C));
    EXPECT_EQ(C->SkinData()->MouseOver, !In(K, NoHover));
    EXPECT_EQ(C->SkinData()->BackgroundStale, In(K, Repaint));
    // A glow costs a window: it is shown for the kinds that leave it and their neighbours.
    const bool GlowAsked = In(K, LeavesGlow) || In(K - 1, LeavesGlow) || In(K + 1, LeavesGlow) || K > 255;
    int Glow = -1;
    if (GlowAsked) {
      Lit->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(Lit));
      Glow = Lit->SkinData()->GlowId;
      ASSERT_GE(Glow, 0);
    }
    C->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(C));
    EXPECT_FALSE(C->SkinData()->MouseOver);
    if (GlowAsked) EXPECT_EQ(GlowAt(Glow) != nullptr, In(K, LeavesGlow));
    ClearGlows();
    Lit->SkinData()->GlowId = -1;
  }
}

TEST(CommonDataCommands, VisibilityChangesOfAControlWithACache) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* C = F.Add<TSkinnedControl>(F.Form, "FLAT");
  C->SetBounds(0, 0, 40, 20);
  C->SkinData()->InitCacheBmp();
  ASSERT_FALSE(C->SkinData()->CacheBmp()->Empty());
  C->SetVisible(false);
  EXPECT_TRUE(C->SkinData()->CacheBmp()->Empty());
  C->SkinData()->Updating = true;
  C->SkinData()->BackgroundStale = false;
  C->SetVisible(true);
  EXPECT_FALSE(C->SkinData()->Updating);
  EXPECT_TRUE(C->SkinData()->BackgroundStale);
}

TEST(CommonDataCommands, ACreatedChildWindowIsReportedToTheForm) {
  auto Mgr = NewSkinnedManager();
  TTestForm F;
  auto* P = F.Add<TSkinnedPanel>(F.Form, "PANEL");
  mgrtest::TLog Log;
  mgrtest::TCommandTap Tap(F.Form, "form", Log);
  F.Form->HandleNeeded();
  P->HandleNeeded();
  Log.Items.clear();
  TMessage Created{WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 0), 0, 0};
  EXPECT_FALSE(HandleCommonMessage(Created, P->SkinData()));
  EXPECT_EQ(Log.Count("form:25"), 1);
  EXPECT_EQ(Tap.LastLParam, reinterpret_cast<LPARAM>(P));
  TMessage Destroyed{WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, 0), 0, 0};
  EXPECT_FALSE(HandleCommonMessage(Destroyed, P->SkinData()));
  EXPECT_EQ(Log.Count("form:25"), 1);
}
