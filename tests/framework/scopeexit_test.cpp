#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Scopes.h"

namespace {

using TLog = std::vector<std::string>;

void Work(TLog& Log, bool Fail, bool Done) {
  TScopeExit Release([&] { Log.push_back("release"); });
  TScopeExit Undo([&] { Log.push_back("undo"); });
  Log.push_back("work");
  if (Fail) throw std::runtime_error("work failed");
  if (Done) Undo.Dismiss();
}

}  // namespace

TEST(ScopeExit, CleansUpOnEveryWayOutAndUndoesOnlyWhatWasNotDismissed) {
  TLog Log;
  Work(Log, false, true);
  EXPECT_EQ(Log, (TLog{"work", "release"}));
  Log.clear();
  Work(Log, false, false);
  EXPECT_EQ(Log, (TLog{"work", "undo", "release"}));  // last declared, first run
  Log.clear();
  EXPECT_THROW(Work(Log, true, true), std::runtime_error);
  EXPECT_EQ(Log, (TLog{"work", "undo", "release"}));
}

TEST(ScopeExit, AFailingCleanUpNeverHidesTheFirstFailureNorEndsTheProgram) {
  auto FailingCleanUp = [](bool WorkFails) {
    TScopeExit Release([] { throw std::logic_error("clean-up failed"); });
    if (WorkFails) throw std::runtime_error("work failed");
  };
  // While the work's exception leaves the scope, the clean-up's failure is swallowed.
  try {
    FailingCleanUp(true);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& E) {
    EXPECT_STREQ(E.what(), "work failed");
  }
  // After work that succeeded, the clean-up's failure reaches the caller.
  EXPECT_THROW(FailingCleanUp(false), std::logic_error);
  // A guard inside a clean-up that runs during unwinding counts only the exceptions of its own
  // time: its own failure is still swallowed, the outer one still reported.
  TLog Log;
  try {
    TScopeExit Outer([&] {
      try {
        TScopeExit Inner([&] { Log.push_back("inner"); });
        throw std::logic_error("inner work failed");
      } catch (const std::logic_error&) {
        Log.push_back("caught inside");
      }
    });
    throw std::runtime_error("outer");
  } catch (const std::runtime_error& E) {
    Log.push_back(E.what());
  }
  EXPECT_EQ(Log, (TLog{"inner", "caught inside", "outer"}));
}
