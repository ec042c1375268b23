// Verifies a large signed PE image and compares with the peers that read the
// same file in the same run: `sha256sum` (the floor: one pass of one digest)
// and `osslsigncode verify`. Made at run time in a temporary directory:
//   signature_bench [--size_mib=200] [--repetitions=5]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "authenticode/installer_signature_check_linux.h"
#include "base/string_util.h"
#include "tests/authenticode/test_pe_image.h"

namespace updater {
namespace {

constexpr const char* kCorpusScript = SIGNATURE_CORPUS_SCRIPT;
constexpr const char* kPeWriter = TEST_PE_WRITER;

struct Options {
  uint64_t size_mib = 200;
  int repetitions = 5;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--size_mib=")) options.size_mib = std::strtoull(argv[i] + 11, nullptr, 10);
    if (arg.starts_with("--repetitions=")) options.repetitions = std::atoi(argv[i] + 14);
  }
  options.size_mib = std::max<uint64_t>(options.size_mib, 1);
  options.repetitions = std::max(options.repetitions, 1);
  return options;
}

bool Run(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Quoted(const std::filesystem::path& path) {
  std::string quoted(1, '\'');  // built by appending: g++ 12 misreads "'" + path + "'"
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

// Median wall time in seconds; false when any run gives the wrong answer.
bool Time(int repetitions, const std::function<bool()>& run, double& median) {
  std::vector<double> seconds;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return false;
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  median = seconds[seconds.size() / 2];
  return true;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int Bench(const Options& options, const std::filesystem::path& dir) {
  const std::filesystem::path corpus = dir / "corpus";
  const std::filesystem::path unsigned_image = dir / "big_unsigned.exe";
  const std::filesystem::path image = dir / "big_signed.exe";
  const std::filesystem::path root = corpus / "root.pem";
  std::printf("making a %llu MiB signed PE32+ image in %s\n",
              static_cast<unsigned long long>(options.size_mib), dir.c_str());
  if (!Run(std::string(kCorpusScript) + " " + kPeWriter + " " + Quoted(corpus)) ||
      !WriteTestPeImage(unsigned_image, PeFormat::kPe32Plus, options.size_mib << 20)) {
    std::fprintf(stderr, "could not make the certificates or the image\n");
    return 1;
  }
  std::ofstream(corpus / "chain.pem")
      << ReadText(corpus / "leaf.pem") << ReadText(corpus / "intermediate.pem");
  if (!Run("osslsigncode sign -h sha256 -certs " + Quoted(corpus / "chain.pem") + " -key " +
           Quoted(corpus / "leaf.key") + " -in " + Quoted(unsigned_image) + " -out " +
           Quoted(image))) {
    std::fprintf(stderr, "osslsigncode could not sign the image\n");
    return 1;
  }
  std::filesystem::remove(unsigned_image);

  const std::string pem = ReadText(root);
  const FsPath path(UTF8ToUTF16(image.string()));
  auto ours = [&] { return VerifyInstallerSignature(path, TrustAnchors::FromPem(pem)); };
  auto sha256sum = [&] { return Run("sha256sum " + Quoted(image)); };
  auto osslsigncode = [&] {
    return Run("osslsigncode verify -CAfile " + Quoted(root) + " -in " + Quoted(image));
  };
  // One untimed round brings the file into the page cache for everyone.
  double ours_s = 0, sha_s = 0, ossl_s = 0;
  if (!ours() || !sha256sum() || !osslsigncode() || !Time(options.repetitions, ours, ours_s) ||
      !Time(options.repetitions, sha256sum, sha_s) ||
      !Time(options.repetitions, osslsigncode, ossl_s)) {
    std::fprintf(stderr, "a verifier did not accept the signed image\n");
    return 1;
  }
  const double mib = static_cast<double>(options.size_mib);
  std::printf("median of %d, file in the page cache:\n", options.repetitions);
  std::printf("  VerifyInstallerSignature  %7.3f s  %7.0f MiB/s\n", ours_s, mib / ours_s);
  std::printf("  sha256sum                 %7.3f s  %7.0f MiB/s\n", sha_s, mib / sha_s);
  std::printf("  osslsigncode verify       %7.3f s  %7.0f MiB/s\n", ossl_s, mib / ossl_s);
  std::printf("ratio to sha256sum: %.2f (goal: at most 1.20)\n", ours_s / sha_s);
  std::printf("ratio to osslsigncode verify: %.2f\n", ours_s / ossl_s);
  return 0;
}

}  // namespace
}  // namespace updater

int main(int argc, char** argv) {
  const updater::Options options = updater::ParseOptions(argc, argv);
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/signature_bench.XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const int result = updater::Bench(options, pattern);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return result;
}
