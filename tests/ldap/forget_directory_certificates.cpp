// Takes the test directory's certificates out of "ADDRESSBOOK": the command-line test of the
// Windows build runs it before and after, as the prefix's store outlives the run.
#include "directory_test_support.h"

int main() {
  qz::test::ForgetDirectoryCertificates();
  return 0;
}
