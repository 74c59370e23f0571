#include <gtest/gtest.h>

#ifdef _WIN32
#include "support/FreedMemoryGuard.h"
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
  memguard::InstallForTests();
#endif
  return RUN_ALL_TESTS();
}
