// Plays the installed product: records how it was started beside itself
// ("<path>.txt") and exits with code 7.
#include "installer/utils/testing/fixture_util.h"

int main() {
  return fixture::WriteRecord() ? 7 : 1;
}
