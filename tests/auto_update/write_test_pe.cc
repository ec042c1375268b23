// Writes a minimal PE image for the signature tests and benchmark:
//   write_test_pe pe32|pe32plus <section bytes> <output>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/auto_update/test_pe_image.h"

int main(int argc, char** argv) {
  const std::string format = argc == 4 ? argv[1] : "";
  if (format != "pe32" && format != "pe32plus") {
    std::fprintf(stderr, "usage: write_test_pe pe32|pe32plus <section bytes> <output>\n");
    return 2;
  }
  const updater::PeFormat pe_format =
      format == "pe32" ? updater::PeFormat::kPe32 : updater::PeFormat::kPe32Plus;
  return updater::WriteTestPeImage(argv[3], pe_format, std::strtoull(argv[2], nullptr, 10)) ? 0 : 1;
}
