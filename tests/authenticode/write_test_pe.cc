// Writes a minimal PE image for the signature tests, the benchmark and the
// end-to-end tests:
//   write_test_pe pe32|pe32plus <section bytes> <output>
//   write_test_pe scripted <script file> <output>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/authenticode/test_pe_image.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: write_test_pe pe32|pe32plus <section bytes> <output>\n"
               "       write_test_pe scripted <script file> <output>\n");
  return 2;
}

int WriteScripted(const char* script_path, const char* output_path) {
  std::ifstream script_file(script_path, std::ios::binary);
  std::stringstream script;
  script << script_file.rdbuf();
  if (!script_file) return 1;
  const std::vector<uint8_t> image =
      updater::MakeScriptedPeImage(updater::PeFormat::kPe32Plus, script.str());
  std::ofstream out(output_path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  out.close();
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string format = argc == 4 ? argv[1] : "";
  if (format == "scripted") return WriteScripted(argv[2], argv[3]);
  if (format != "pe32" && format != "pe32plus") return Usage();
  const updater::PeFormat pe_format =
      format == "pe32" ? updater::PeFormat::kPe32 : updater::PeFormat::kPe32Plus;
  return updater::WriteTestPeImage(argv[3], pe_format, std::strtoull(argv[2], nullptr, 10)) ? 0 : 1;
}
