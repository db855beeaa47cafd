// Reading a registry file grows with its length as the least any reader's
// work grows: a hive ten times as long (200 000 keys against 20 000) is timed
// against cutting the same text into lines and keeping every key's name in a
// hash set, whose memory traffic grows alike. Target: the growth of the read
// is at most 1.5 times that of the baseline (a read that grew with the
// square of the length, as it once did, shows about 10).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/registry/registry.h"

namespace {

std::string HiveOf(int keys) {
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  for (int k = 0; k < keys; ++k) {
    text += "[HKEY_CURRENT_USER\\Software\\Bench\\Key" + std::to_string(k) + "]\n";
    text += "\"Value\"=dword:" + std::to_string(10000000 + k) + "\n\"Name\"=\"text " + std::to_string(k) + "\"\n\n";
  }
  return text;
}

std::size_t Baseline(const std::string& text) {
  std::unordered_set<std::string> names;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.front() == '[') names.emplace(line);
    start = end + 1;
  }
  return names.size();
}

std::size_t Read(const std::string& text) {
  return velkor::registry::HiveContents::Parse(text, "HKEY_CURRENT_USER").HasKey("Software\\Bench\\Key7") ? 1 : 0;
}

// The best of a few runs, in seconds.
double Seconds(const std::function<std::size_t(const std::string&)>& work, const std::string& text) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    if (work(text) == 0) return -1;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main() {
  const std::string small = HiveOf(20'000), large = HiveOf(200'000);
  const double readSmall = Seconds(Read, small), readLarge = Seconds(Read, large);
  const double baseSmall = Seconds(Baseline, small), baseLarge = Seconds(Baseline, large);
  if (readSmall <= 0 || readLarge <= 0 || baseSmall <= 0 || baseLarge <= 0) {
    std::printf("registry read: the hive did not read back\n");
    return 1;
  }
  const double figure = (readLarge / readSmall) / (baseLarge / baseSmall);
  std::printf("registry read: 20 000 keys %.3f s, 200 000 keys %.3f s (baseline %.3f s, %.3f s); "
              "growth against the baseline's %.2f (limit 1.5)\n",
              readSmall, readLarge, baseSmall, baseLarge, figure);
  return figure <= 1.5 ? 0 : 1;
}
