// The benchmark driver's shared pieces: the clock, the samples of a figure,
// and the table every benchmark adds its rows to.
#pragma once
#include <string>
#include <vector>

namespace bench {

// Milliseconds from an arbitrary origin, from the performance counter.
double NowMs();

// One time per repetition.
struct Samples {
  std::vector<double> ms;
  double Median() const;
  double Fastest() const;
  double Slowest() const;
};

// One line of the table: a time of Retrax against a baseline measured in
// the same run, and the goal for their ratio.
struct Row {
  std::string what;
  std::string subject;   // what ran, e.g. "retrax.exe /S"
  Samples subjectTimes;
  std::string baseline;  // what it is compared with
  Samples baselineTimes;
  double goal = 0;      // highest ratio that meets the goal
  bool strict = false;  // the goal is "below", not "at most"
  std::string problem;  // a failed check of the run; the figure is void
};

// Each benchmark appends its rows; false when it could not run at all (it
// says why on stderr).
bool RunUninstallBenchmark(int repetitions, std::vector<Row>* rows);
bool RunPayloadReadBenchmark(int repetitions, std::vector<Row>* rows);
bool RunStartupBenchmark(int repetitions, std::vector<Row>* rows);

// The table in Markdown, and whether every goal was met.
std::string FormatTable(const std::vector<Row>& rows, bool* allMet);

}  // namespace bench
