#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Components.h"
#include "support/MessageOf.h"

using exctest::MessageOf;

namespace {

using TLog = std::vector<std::string>;

// Logs "X+N" / "X-N" when component X hears of the insertion / removal of the component named
// N ("?" while it has no name yet), "~X" when X is destroyed ("~X!" when csDestroying was
// already set), and "LX" when X is loaded.
class TProbe : public TComponent {
  T_CLASS(TProbe, TComponent)

 public:
  TProbe(TComponent* AOwner, const std::string& AId, TLog* ALog) : TComponent(AOwner), Id(AId), Log(ALog) {}
  ~TProbe() override { Log->push_back("~" + Id + (ComponentState().Contains(csDestroying) ? "!" : "")); }

  void Notification(TComponent* AComponent, TOperation Operation) override {
    const std::string N = AComponent->Name().empty() ? "?" : AComponent->Name();
    Log->push_back(Id + (Operation == opInsert ? "+" : "-") + N);
    TComponent::Notification(AComponent, Operation);
  }
  void Loaded() override {
    Log->push_back("L" + Id);
    TComponent::Loaded();
  }

  std::string Id;
  TLog* Log;
};

// A probe named after its id once constructed.
TProbe* Named(TComponent* Owner, const std::string& Id, TLog* Log) {
  auto* P = new TProbe(Owner, Id, Log);
  P->SetName(Id);
  return P;
}

TEST(TComponent, OwnerHearsInsertionsAndPassesThemToItsComponents) {
  TLog L;
  auto* F = Named(nullptr, "F", &L);
  auto* A = Named(F, "A", &L);
  Named(F, "B", &L);
  // The new component is still in its base constructor when it hears of itself; the others
  // hear last created first.
  EXPECT_EQ(L, (TLog{"F+?", "F+?", "A+?"}));
  EXPECT_EQ(F->ComponentCount(), 2);
  EXPECT_EQ(F->Components(0), A);
  EXPECT_EQ(A->Owner(), F);
  EXPECT_EQ(A->GetOwner(), F);
  EXPECT_EQ(A->ComponentIndex(), 0);
  EXPECT_EQ(F->ComponentIndex(), -1);
  delete F;
}

TEST(TComponent, DirectDeleteLeavesTheOwnerWhichTellsTheOthers) {
  TLog L;
  auto* F = Named(nullptr, "F", &L);
  auto* A = Named(F, "A", &L);
  auto* B = Named(F, "B", &L);
  Named(F, "C", &L);
  L.clear();
  delete B;
  EXPECT_EQ(L, (TLog{"~B", "F-B", "C-B", "A-B"}));
  EXPECT_EQ(F->ComponentCount(), 2);
  EXPECT_EQ(F->Components(1)->Name(), "C");
  EXPECT_EQ(A->ComponentIndex(), 0);
  delete F;
}

TEST(TComponent, OwnerFreesItsComponentsLastFirstWhileDestroying) {
  TLog L;
  auto* F = Named(nullptr, "F", &L);
  auto* A = Named(F, "A", &L);
  Named(A, "A1", &L);
  Named(F, "B", &L);
  L.clear();
  delete F;
  // The components leave quietly (none asked for free notification), and csDestroying is
  // already set when their destructors run; A's own destructor body runs before A frees A1.
  EXPECT_EQ(L, (TLog{"~F", "~B!", "~A!", "~A1!"}));
}

TEST(TComponent, DestroyingMarksTheTree) {
  TLog L;
  TProbe F(nullptr, "F", &L);
  auto* A = Named(&F, "A", &L);
  auto* A1 = Named(A, "A1", &L);
  F.Destroying();
  EXPECT_TRUE(F.ComponentState().Contains(csDestroying));
  EXPECT_TRUE(A1->ComponentState().Contains(csDestroying));
  L.clear();
  F.DestroyComponents();
  EXPECT_EQ(F.ComponentCount(), 0);
  EXPECT_EQ(L, (TLog{"~A!", "~A1!"}));
}

TEST(TComponent, FreeNotificationReachesAComponentOfAnotherOwner) {
  TLog L;
  auto* F1 = Named(nullptr, "F1", &L);
  auto* F2 = Named(nullptr, "F2", &L);
  auto* A = Named(F1, "A", &L);
  auto* S = Named(F2, "S", &L);
  A->FreeNotification(S);
  EXPECT_TRUE(A->ComponentState().Contains(csFreeNotification));
  EXPECT_TRUE(S->ComponentState().Contains(csFreeNotification));
  L.clear();
  delete A;
  EXPECT_EQ(L, (TLog{"~A", "S-A", "F1-A"}));
  L.clear();
  delete S;  // the link is gone: nothing goes to the freed A
  EXPECT_EQ(L, (TLog{"~S", "F2-S"}));
  delete F1;
  delete F2;
}

TEST(TComponent, OwnerRemovesFreeNotifyingComponentsAloud) {
  TLog L;
  auto* F = Named(nullptr, "F", &L);
  auto* A = Named(F, "A", &L);
  Named(F, "B", &L);
  auto* S = Named(nullptr, "S", &L);
  A->FreeNotification(S);
  L.clear();
  delete F;
  // B leaves quietly; A, which has a free-notification partner, is removed through
  // RemoveComponent (the owner's components hear it), then tells S.
  EXPECT_EQ(L, (TLog{"~F", "~B!", "A-A", "~A!", "S-A"}));
  L.clear();
  delete S;
  EXPECT_EQ(L, (TLog{"~S"}));
}

TEST(TComponent, SubscriberDyingFirstUnsubscribes) {
  TLog L;
  auto* A = Named(nullptr, "A", &L);
  auto* S = Named(nullptr, "S", &L);
  S->FreeNotification(A);
  A->FreeNotification(S);  // once is enough: the link is not doubled
  L.clear();
  delete S;
  EXPECT_EQ(L, (TLog{"~S", "A-S"}));
  L.clear();
  delete A;
  EXPECT_EQ(L, (TLog{"~A"}));

  auto* X = Named(nullptr, "X", &L);
  auto* Y = Named(nullptr, "Y", &L);
  X->FreeNotification(Y);
  X->RemoveFreeNotification(Y);
  L.clear();
  delete X;
  delete Y;
  EXPECT_EQ(L, (TLog{"~X", "~Y"}));
}

TEST(TComponent, SiblingsHearOfEachOtherOnlyThroughTheOwner) {
  TLog L;
  auto* F = Named(nullptr, "F", &L);
  auto* A = Named(F, "A", &L);
  Named(F, "B", &L);
  A->FreeNotification(F->Components(1));  // same owner: no link of its own
  L.clear();
  delete A;
  EXPECT_EQ(L, (TLog{"~A", "F-A", "B-A"}));
  delete F;
}

TEST(TComponent, ComponentDeletedDuringOwnerDestructionBySibling) {
  // A component whose destructor frees a sibling that the owner has not reached yet.
  struct TKiller : TComponent {
    T_CLASS(TKiller, TComponent)
    using TComponent::TComponent;
    TComponent* Victim = nullptr;
    ~TKiller() override { delete Victim; }
  };
  TLog L;
  auto* F = Named(nullptr, "F", &L);
  auto* V = Named(F, "V", &L);
  auto* K = new TKiller(F);
  K->Victim = V;
  L.clear();
  delete F;
  EXPECT_EQ(L, (TLog{"~F", "~V!"}));
}

TEST(TComponent, NamesAreIdentifiersUniqueWithinTheOwner) {
  TLog L;
  TProbe F(nullptr, "F", &L);
  auto* A = new TProbe(&F, "A", &L);
  auto* B = new TProbe(&F, "B", &L);
  auto* C = new TProbe(&F, "C", &L);
  A->SetName("Button1");
  EXPECT_EQ(F.FindComponent("BUTTON1"), A);
  EXPECT_EQ(F.FindComponent("Button2"), nullptr);
  EXPECT_EQ(F.FindComponent(""), nullptr);  // unnamed components are not found
  EXPECT_EQ(MessageOf<EComponentError>([&] { B->SetName("button1"); }), "A component named button1 already exists");
  EXPECT_EQ(B->Name(), "");
  A->SetName("BUTTON1");  // its own name in other letters
  EXPECT_EQ(A->Name(), "BUTTON1");

  for (const char* Bad : {"1abc", "a b", "a-b", "\xE4x", "x."})
    EXPECT_EQ(MessageOf<EComponentError>([&] { C->SetName(Bad); }),
              std::string("'") + Bad + "' is not a valid component name");
  C->SetName("_ok9");
  C->SetName("");
  EXPECT_EQ(C->Name(), "");

  A->SetName("Other");
  B->SetName("Button1");  // the name is free again
  EXPECT_EQ(F.FindComponent("button1"), B);

  TProbe Loose(nullptr, "Loose", &L);
  Loose.SetName("Button1");  // no owner: no conflict
  EXPECT_EQ(MessageOf<EComponentError>([&] { F.InsertComponent(&Loose); }), "A component named Button1 already exists");
  EXPECT_EQ(Loose.Owner(), nullptr);
  EXPECT_EQ(F.ComponentCount(), 3);
}

TEST(TComponent, LoadingAndLoadedFollowCreationOrder) {
  TLog L;
  TProbe F(nullptr, "F", &L);
  auto* A = Named(&F, "A", &L);
  auto* A1 = Named(A, "A1", &L);
  auto* B = Named(&F, "B", &L);
  F.BeginLoading();
  for (TComponent* C : {static_cast<TComponent*>(&F), static_cast<TComponent*>(A), static_cast<TComponent*>(A1),
                        static_cast<TComponent*>(B)})
    EXPECT_TRUE(C->ComponentState().Contains(csLoading));
  L.clear();
  F.EndLoading();
  EXPECT_EQ(L, (TLog{"LF", "LA", "LA1", "LB"}));
  EXPECT_FALSE(A1->ComponentState().Contains(csLoading));

  B->Loading();
  B->Loaded();
  EXPECT_FALSE(B->ComponentState().Contains(csLoading));
}

TEST(TComponent, IndexesOwnershipMovesAndCycles) {
  TLog L;
  TProbe F(nullptr, "F", &L);
  TProbe G(nullptr, "G", &L);
  auto* A = Named(&F, "A", &L);
  auto* B = Named(&F, "B", &L);
  auto* C = Named(&F, "C", &L);
  EXPECT_EQ(MessageOf<EListError>([&] { F.Components(3); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf<EListError>([&] { F.Components(-1); }), "List index out of bounds (-1)");
  C->SetComponentIndex(-5);  // clamped
  EXPECT_EQ(F.Components(0), C);
  C->SetComponentIndex(99);
  EXPECT_EQ(F.Components(2), C);
  A->SetComponentIndex(1);
  EXPECT_EQ(F.Components(0), B);

  L.clear();
  G.InsertComponent(B);  // leaves F first
  EXPECT_EQ(B->Owner(), &G);
  EXPECT_EQ(F.ComponentCount(), 2);
  EXPECT_EQ(L, (TLog{"F-B", "C-B", "A-B", "B-B", "G+B", "B+B"}));
  F.RemoveComponent(B);  // not F's: nothing happens
  EXPECT_EQ(B->Owner(), &G);
  G.RemoveComponent(B);
  EXPECT_EQ(B->Owner(), nullptr);
  delete B;

  auto* A1 = Named(A, "A1", &L);
  EXPECT_THROW(F.InsertComponent(&F), EComponentError);
  EXPECT_THROW(A1->InsertComponent(&F), EComponentError);
  EXPECT_THROW(A1->InsertComponent(A), EComponentError);
  EXPECT_EQ(A->Owner(), &F);
  EXPECT_EQ(A1->Owner(), A);
}

TEST(TComponent, DesigningReachesNewComponents) {
  TLog L;
  TProbe F(nullptr, "F", &L);
  auto* A = Named(&F, "A", &L);
  F.SetDesigning(true);
  EXPECT_TRUE(A->ComponentState().Contains(csDesigning));
  auto* B = Named(&F, "B", &L);
  EXPECT_TRUE(B->ComponentState().Contains(csDesigning));
  F.SetDesigning(false, false);
  EXPECT_FALSE(F.ComponentState().Contains(csDesigning));
  EXPECT_TRUE(B->ComponentState().Contains(csDesigning));
}

}  // namespace
