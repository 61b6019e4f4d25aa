// The benchmark driver: runs every benchmark under Wine (or Windows) and
// prints one table, in Markdown, of the medians of Retrax's times against
// baselines measured in the same run, with their ratios and goals.
// scripts/bench.sh builds and starts it; it is never part of the tests.
//
//   retrax_bench.exe [--repetitions N] [--only uninstall|payload|startup]
//
// Progress goes to stderr, the table to stdout. Exit code 0 when every
// benchmark ran and every check of its runs passed (a missed goal is
// reported in the table, not in the exit code), 1 otherwise.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench.h"

namespace bench {

double NowMs() {
  static LARGE_INTEGER frequency;
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double Samples::Median() const {
  if (ms.empty()) return 0;
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  const size_t half = sorted.size() / 2;
  return sorted.size() % 2 ? sorted[half] : (sorted[half - 1] + sorted[half]) / 2;
}

double Samples::Fastest() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
double Samples::Slowest() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }

namespace {

std::string Time(const Samples& samples) {
  char text[96];
  const double median = samples.Median();
  const char* format = median < 100 ? "%.1f ms (%.1f-%.1f)" : "%.0f ms (%.0f-%.0f)";
  snprintf(text, sizeof text, format, median, samples.Fastest(), samples.Slowest());
  return text;
}

}  // namespace

std::string FormatTable(const std::vector<Row>& rows, bool* allMet) {
  *allMet = true;
  std::string table =
      "| Benchmark | Measured | Median (fastest-slowest) | Baseline | Median (fastest-slowest) | Ratio | "
      "Ratio of the medians | Ratio of the fastest | Goal |\n"
      "|---|---|---|---|---|---|---|---|---|\n";
  for (const Row& row : rows) {
    // The i-th time of each side comes from the same round, minutes apart
    // at most: the ratio of each such pair does not see the machine's
    // speed drift from round to round, which on a shared machine is more
    // than the difference measured.
    Samples paired;
    for (size_t i = 0; i < row.subjectTimes.ms.size() && i < row.baselineTimes.ms.size(); ++i)
      if (row.baselineTimes.ms[i] > 0) paired.ms.push_back(row.subjectTimes.ms[i] / row.baselineTimes.ms[i]);
    const double ratio = paired.Median();
    const double base = row.baselineTimes.Median();
    const double medians = base > 0 ? row.subjectTimes.Median() / base : 0;
    const double fastest = row.baselineTimes.Fastest() > 0 ? row.subjectTimes.Fastest() / row.baselineTimes.Fastest() : 0;
    char ratioText[32], mediansText[32], fastestText[32], goalText[48];
    snprintf(ratioText, sizeof ratioText, "%.2fx", ratio);
    snprintf(mediansText, sizeof mediansText, "%.2fx", medians);
    snprintf(fastestText, sizeof fastestText, "%.2fx", fastest);
    if (row.goal <= 0) {
      snprintf(goalText, sizeof goalText, "(for reading)");
    } else {
      const bool met = row.problem.empty() && (row.strict ? ratio < row.goal : ratio <= row.goal);
      *allMet = *allMet && met;
      snprintf(goalText, sizeof goalText, "%s %.2fx: %s", row.strict ? "<" : "<=", row.goal, met ? "met" : "MISSED");
    }
    std::string problem = row.problem.empty() ? "" : " (void: " + row.problem + ")";
    table += "| " + row.what + problem + " | " + row.subject + " | " + Time(row.subjectTimes) + " | " + row.baseline +
             " | " + Time(row.baselineTimes) + " | " + ratioText + " | " + mediansText + " | " + fastestText + " | " +
             goalText + " |\n";
  }
  return table;
}

}  // namespace bench

int main(int argc, char** argv) {
  int repetitions = 0;
  const char* only = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--repetitions") == 0 && i + 1 < argc) {
      repetitions = atoi(argv[++i]);
    } else if (strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only = argv[++i];
    } else {
      fprintf(stderr, "usage: retrax_bench [--repetitions N] [--only uninstall|payload|startup]\n");
      return 2;
    }
  }
  struct Benchmark {
    const char* name;
    bool (*run)(int, std::vector<bench::Row>*);
    int repetitions;
  } const benchmarks[] = {
      {"uninstall", bench::RunUninstallBenchmark, 9},
      {"payload", bench::RunPayloadReadBenchmark, 15},
      {"startup", bench::RunStartupBenchmark, 31},
  };
  std::vector<bench::Row> rows;
  bool ran = true;
  std::string counts;
  for (const auto& benchmark : benchmarks) {
    if (only && strcmp(only, benchmark.name) != 0) continue;
    const int n = repetitions > 0 ? repetitions : benchmark.repetitions;
    fprintf(stderr, "%s benchmark, %d repetitions...\n", benchmark.name, n);
    ran = benchmark.run(n, &rows) && ran;
    counts += (counts.empty() ? "" : ", ") + std::string(benchmark.name) + " " + std::to_string(n);
  }
  bool allMet = false;
  printf("%s\n", bench::FormatTable(rows, &allMet).c_str());
  printf("Ratio, which the goal is for: the median of the ratios of the runs paired in each round (in a\n"
         "round every kind of run goes once, in turn). Beside it the ratio of the median times and of the\n"
         "fastest times. Repetitions: %s. Uninstall and start-up times run from the start of a process\n"
         "to its end or to its first box, but for the removal alone, which each process times itself\n"
         "after its start-up; payload times are of the walk alone, inside one process.\n",
         counts.c_str());
  printf("Goals: %s.\n", allMet ? "all met" : "not all met, see the table");
  bool valid = true;
  for (const bench::Row& row : rows) valid = valid && row.problem.empty();
  return ran && valid ? 0 : 1;
}
