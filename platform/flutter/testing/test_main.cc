// The main of every test program: the test thread is the process's main thread, which pumps the
// main queue whenever a test waits.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
