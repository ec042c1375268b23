// FindAll of each header pattern the HTTP client uses, over a 2 KiB response
// head, against std::regex (ECMAScript, icase) doing the same extraction on
// the same text: compiled per call as FindAll does, and compiled once.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "http/header_pattern.h"

namespace updater {
namespace {

struct PatternPair {
  const char* name;
  std::u16string_view pattern;
  const wchar_t* regex;
};

const PatternPair kPatterns[] = {
    {"charset", u"charset={[A-Za-z0-9\\-_]+}", L"charset=([A-Za-z0-9\\-_]+)"},
    {"content_length", u"Content-Length: {[0-9]+}", L"Content-Length: ([0-9]+)"},
    {"location", u"Location:\\b*{.+?}[\r\n]", L"Location:[ \\t]*(.+?)[\\r\\n]"},
    {"set_cookie", u"Set-Cookie:\\b*{.+?}\\n", L"Set-Cookie:[ \\t]*(.+?)(?:\\r|\\r?\\n)"},
    {"header_name", u"Kora-Version:\\b*{.+?}[\r\n]", L"Kora-Version:[ \\t]*(.+?)[\\r\\n]"},
    {"html_start", u"{<html>}", L"(<html>)"},
    {"html_end", u"{</html>}", L"(</html>)"},
};

std::u16string MakeResponseHead() {
  std::u16string head =
      u"HTTP/1.1 302 Found\r\n"
      u"Date: Tue, 08 Dec 2026 10:00:00 GMT\r\n"
      u"Server: nginx/1.22.1\r\n"
      u"Content-Type: text/html; charset=UTF-8\r\n"
      u"Content-Length: 48213760\r\n"
      u"Connection: keep-alive\r\n"
      u"Cache-Control: no-cache, no-store, must-revalidate\r\n"
      u"Pragma: no-cache\r\n"
      u"Expires: Thu, 01 Jan 1970 00:00:00 GMT\r\n"
      u"Kora-Version: 56.0.2924.76\r\n"
      u"Kora-Location: https://dl.example.test/stable/brelix_56.0.2924.76_x64.exe\r\n"
      u"Location: https://dl.example.test/stable/brelix_56.0.2924.76_x64.exe\r\n"
      u"Set-Cookie: session=8f14e45fceea167a5a36dedd4bea2543; path=/; HttpOnly\r\n"
      u"Set-Cookie: region=eu-west; path=/; Max-Age=86400\r\n"
      u"SET-COOKIE: session=8f14e45fceea167a5a36dedd4bea2543; path=/; HttpOnly\r\n"
      u"Set-Cookie: lang=en-US; path=/\r\n"
      u"Strict-Transport-Security: max-age=31536000; includeSubDomains\r\n"
      u"X-Content-Type-Options: nosniff\r\n"
      u"X-Frame-Options: SAMEORIGIN\r\n"
      u"Vary: Accept-Encoding, User-Agent\r\n";
  for (int i = 0; head.size() < 2048 - 80; ++i) {
    head += u"X-Trace-" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
            u": 4bf92f3577b34da6a3ce929d0e0e4736-00f067aa0ba902b7-01\r\n";
  }
  head += u"Accept-Ranges: bytes\r\n\r\n";
  return head;
}

const std::u16string& ResponseHead() {
  static const std::u16string head = MakeResponseHead();
  return head;
}

const std::wstring& WideResponseHead() {
  static const std::wstring head(ResponseHead().begin(), ResponseHead().end());
  return head;
}

bool EqualsFolded(const std::wstring& a, const std::wstring& b) {
  const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

// The regex side of FindAll: group 1 of every match, duplicates dropped
// without regard to letter case.
void RegexFindAll(const std::wregex& regex,
                  const std::wstring& text,
                  std::vector<std::wstring>& values) {
  values.clear();
  for (std::wsregex_iterator it(text.begin(), text.end(), regex), end; it != end; ++it) {
    std::wstring value = (*it)[1].str();
    const bool known = std::any_of(values.begin(), values.end(),
                                   [&](const std::wstring& v) { return EqualsFolded(v, value); });
    if (!known) values.push_back(std::move(value));
  }
}

constexpr auto kRegexFlags = std::regex::ECMAScript | std::regex::icase;

void CheckSameValues(const PatternPair& pair) {
  HeaderPattern pattern;
  std::vector<std::u16string> ours;
  pattern.FindAll(pair.pattern, false, 1, ResponseHead(), &ours, false);
  std::vector<std::wstring> theirs;
  RegexFindAll(std::wregex(pair.regex, kRegexFlags), WideResponseHead(), theirs);
  const bool same = std::equal(ours.begin(), ours.end(), theirs.begin(), theirs.end(),
                               [](const std::u16string& a, const std::wstring& b) {
                                 return std::equal(a.begin(), a.end(), b.begin(), b.end());
                               });
  if (!same) {
    std::fprintf(stderr, "%s: the two engines extract different values\n", pair.name);
    std::exit(1);
  }
}

void BM_HeaderPattern(benchmark::State& state, const PatternPair& pair) {
  HeaderPattern pattern;
  std::vector<std::u16string> values;
  for (auto _ : state) {
    pattern.FindAll(pair.pattern, false, 1, ResponseHead(), &values, false);
    benchmark::DoNotOptimize(values.data());
  }
}

void BM_StdRegex(benchmark::State& state, const PatternPair& pair) {
  std::vector<std::wstring> values;
  for (auto _ : state) {
    RegexFindAll(std::wregex(pair.regex, kRegexFlags), WideResponseHead(), values);
    benchmark::DoNotOptimize(values.data());
  }
}

void BM_StdRegexPrecompiled(benchmark::State& state, const PatternPair& pair) {
  const std::wregex regex(pair.regex, kRegexFlags);
  std::vector<std::wstring> values;
  for (auto _ : state) {
    RegexFindAll(regex, WideResponseHead(), values);
    benchmark::DoNotOptimize(values.data());
  }
}

// Prints the usual table, then how many times faster FindAll is than each peer.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions, the median stands for the benchmark.
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      times_[run.run_name.str()] = run.GetAdjustedCPUTime();
    }
  }

  void PrintRatios() const {
    std::printf("\nFindAll speed-up over std::regex on a %zu-character head:\n",
                ResponseHead().size());
    std::printf("%-16s %22s %22s\n", "pattern", "regex compiled per call", "regex compiled once");
    for (const PatternPair& pair : kPatterns) {
      const std::string name = pair.name;
      const auto ours = times_.find("HeaderPattern/" + name);
      const auto per_call = times_.find("StdRegex/" + name);
      const auto once = times_.find("StdRegexPrecompiled/" + name);
      if (ours == times_.end() || per_call == times_.end() || once == times_.end()) continue;
      std::printf("%-16s %21.1fx %21.1fx\n", pair.name, per_call->second / ours->second,
                  once->second / ours->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace
}  // namespace updater

int main(int argc, char** argv) {
  using namespace updater;
  for (const PatternPair& pair : kPatterns) {
    CheckSameValues(pair);
    const std::string name = pair.name;
    benchmark::RegisterBenchmark(("HeaderPattern/" + name).c_str(), BM_HeaderPattern, pair);
    benchmark::RegisterBenchmark(("StdRegex/" + name).c_str(), BM_StdRegex, pair);
    benchmark::RegisterBenchmark(("StdRegexPrecompiled/" + name).c_str(), BM_StdRegexPrecompiled,
                                 pair);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
