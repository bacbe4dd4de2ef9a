// A long-running host: runs the test scripts over and over in one process,
// making a new engine every few rounds, and fails when memory keeps growing.
//
//   soak_host ROUNDS ROUNDS_PER_ENGINE RSS_SLACK_KIB script...
//
// After every engine the string heap's live count and the resident set are
// sampled. The first sample is the baseline (caches and allocator pools have
// filled by then); no later sample may hold more live strings than it, and the
// resident set and its peak may not exceed it by more than RSS_SLACK_KIB (0 skips
// the resident-set checks, for builds whose allocator keeps freed memory aside).
// Each script must also end the same way (success or error) in every round.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/values/nuv_string.h"
#include "engine/values/string_heap.h"
#include "environment/environment.h"
#include "environment/program_arguments.h"

namespace {

using namespace NUV;

struct tScript {
  std::string Path;
  tNUVString Name;
  tNUVString Text;
  int32_t FirstResult = 0;
};

struct tSample {
  int64_t LiveStrings = 0;
  long ResidentKiB = 0;
  long PeakKiB = 0;
};

long StatusField(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  size_t length = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, length, field) == 0) return std::strtol(line.c_str() + length, nullptr, 10);
  return 0;
}

tSample Sample() {
  CompactStringHeap();
  tNUVStringHeapStatus heap = GetStringHeapStatus();
  return {heap.Exists ? heap.LiveCount : 0, StatusField("VmRSS:"), StatusField("VmHWM:")};
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: soak_host ROUNDS ROUNDS_PER_ENGINE RSS_SLACK_KIB script...\n");
    return 2;
  }
  const int rounds = std::atoi(argv[1]);
  const int roundsPerEngine = std::max(1, std::atoi(argv[2]));
  const long rssSlack = std::atol(argv[3]);

  int status = 0;
  std::filesystem::path folder = std::filesystem::temp_directory_path() / ("nuv-soak-" + std::to_string(getpid()));
  {
    MrvkInitScriptEnvironment();
    std::vector<tScript> scripts;
    for (int i = 4; i < argc; ++i) {
      std::string text = ReadFile(argv[i]);
      if (text.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[i]);
        return 2;
      }
      scripts.push_back({argv[i], tNUVString(std::filesystem::path(argv[i]).filename().c_str()),
                         tNUVString(text.c_str()), 0});
    }
    // Scripts write files relative to where they run, and print: both go nowhere.
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "r", stdin)) return 2;

    std::vector<tSample> samples;
    for (int round = 1; round <= rounds && status == 0; ++round) {
      for (tScript& script : scripts) {
        int32_t result = MrvkExecScript(&script.Text, nullptr, nullptr, &script.Name);
        if (round == 1) {
          script.FirstResult = result;
          if (std::getenv("SOAK_VERBOSE")) std::fprintf(stderr, "%s: %d\n", script.Path.c_str(), static_cast<int>(result));
        } else if (result != script.FirstResult) {
          std::fprintf(stderr, "round %d: %s ended with %d, in round 1 with %d\n", round, script.Path.c_str(),
                       static_cast<int>(result), static_cast<int>(script.FirstResult));
          status = 1;
        }
      }
      if (round % roundsPerEngine != 0) continue;
      MrvkInitScriptEnvironment();
      samples.push_back(Sample());
      const tSample& now = samples.back();
      std::fprintf(stderr, "after round %4d: %8lld live strings, resident %7ld KiB, peak %7ld KiB\n", round,
                   static_cast<long long>(now.LiveStrings), now.ResidentKiB, now.PeakKiB);
      const tSample& base = samples.front();
      if (now.LiveStrings > base.LiveStrings) {
        std::fprintf(stderr, "live strings grew from %lld\n", static_cast<long long>(base.LiveStrings));
        status = 1;
      }
      if (rssSlack > 0 && (now.ResidentKiB > base.ResidentKiB + rssSlack || now.PeakKiB > base.PeakKiB + rssSlack)) {
        std::fprintf(stderr, "memory grew beyond %ld KiB over the first sample\n", rssSlack);
        status = 1;
      }
    }
    std::fprintf(stderr, "%s: %d rounds of %zu scripts, a new engine every %d rounds\n",
                 status == 0 ? "passed" : "FAILED", rounds, scripts.size(), roundsPerEngine);
  }
  MrvkReleaseScriptEnvironment();
  FreeProgramArguments();
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  std::filesystem::remove_all(folder);
  return status;
}
