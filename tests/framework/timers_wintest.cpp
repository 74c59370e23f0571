// TTimer on the message loop.
#include <gtest/gtest.h>

#include <memory>

#include "framework/Forms.h"
#include "framework/Timers.h"
#include "support/UiTest.h"

TEST(Timer, FiresOnlyWithAHandlerWhileEnabled) {
  auto T = std::make_unique<TTimer>(nullptr);
  EXPECT_TRUE(T->Enabled());
  EXPECT_EQ(T->Interval(), 1000u);
  T->SetInterval(10);
  EXPECT_FALSE(T->Running());  // no handler: no system timer
  int Ticks = 0;
  TObject* Sender = nullptr;
  T->SetOnTimer([&](TObject* S) {
    ++Ticks;
    Sender = S;
  });
  EXPECT_TRUE(T->Running());
  ASSERT_TRUE(uitest::WaitFor([&] { return Ticks >= 3; }));
  EXPECT_EQ(Sender, T.get());
  T->SetEnabled(false);
  EXPECT_FALSE(T->Running());
  const int At = Ticks;
  uitest::PumpFor(100);
  EXPECT_EQ(Ticks, At);
  T->SetEnabled(true);
  EXPECT_TRUE(T->Running());
  T->SetInterval(0);
  EXPECT_FALSE(T->Running());
  T->SetInterval(10);
  T->SetOnTimer(nullptr);
  EXPECT_FALSE(T->Running());
  EXPECT_THROW(T->SetInterval(-1), EInvalidOperation);
  EXPECT_EQ(T->Interval(), 10u);
}

TEST(Timer, ExceptionsGoToTheApplicationAndTheTimerGoesOn) {
  auto Owner = std::make_unique<TComponent>(nullptr);
  auto* T = new TTimer(Owner.get());
  T->SetInterval(10);
  int Ticks = 0, Reported = 0;
  Application->OnException = [&](TObject* S, Exception& E) {
    EXPECT_EQ(S, T);
    EXPECT_EQ(E.Message, "tick failed");
    ++Reported;
  };
  T->SetOnTimer([&](TObject*) {
    ++Ticks;
    throw EConvertError("tick failed");
  });
  EXPECT_TRUE(uitest::WaitFor([&] { return Ticks >= 2; }));
  Application->OnException = nullptr;
  EXPECT_EQ(Reported, Ticks);
  // Freed with its owner; its ticks stop with it.
  Owner.reset();
  const int At = Ticks;
  uitest::PumpFor(60);
  EXPECT_EQ(Ticks, At);
}

TEST(Timer, SeveralTimersTickIndependently) {
  TTimer A(nullptr), B(nullptr);
  int TicksA = 0, TicksB = 0;
  A.SetInterval(10);
  B.SetInterval(10);
  A.SetOnTimer([&](TObject*) { ++TicksA; });
  B.SetOnTimer([&](TObject*) {
    if (++TicksB == 2) B.SetEnabled(false);  // a timer may stop itself
  });
  EXPECT_TRUE(uitest::WaitFor([&] { return TicksA >= 5; }));
  EXPECT_EQ(TicksB, 2);
  EXPECT_FALSE(B.Running());
}
