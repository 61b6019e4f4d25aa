// The start-up benchmark: from the start of the process to its first box
// on the screen, for retrax.exe with the sample application's payload (up
// to its confirmation) and for a program that only shows a message box.
// The two run in turns; each box is answered at once (Cancel for the
// confirmation, so nothing is removed).
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "bench.h"
#include "harness/harness.h"

namespace bench {
namespace {

// Milliseconds until a visible dialog of the process is seen (polled
// every millisecond); a negative value when none came.
double TimeToFirstBox(const std::wstring& program) {
  harness::Process process;
  const double start = NowMs();
  if (!process.Start(program)) return -1;
  for (;;) {
    const std::vector<harness::Dialog> open = harness::OpenDialogs(process);
    if (!open.empty()) {
      const double seen = NowMs() - start;
      open[0].Press(IDCANCEL);
      return process.Finish(30000).exitCode == 0 ? seen : -1;
    }
    if (process.Ended() || NowMs() - start > 30000) return -1;
    Sleep(1);
  }
}

}  // namespace

bool RunStartupBenchmark(int repetitions, std::vector<Row>* rows) {
  harness::Sandbox sandbox;
  harness::Bytes boxProgram;
  if (!harness::LoadEmbeddedFile(L"RETRAX_BENCH_MSGBOX_EXE", &boxProgram) ||
      !sandbox.WriteFile(L"Box\\box.exe", boxProgram)) {
    fprintf(stderr, "start-up benchmark: cannot write the message-box program\n");
    return false;
  }
  const std::wstring box = sandbox.Path(L"Box\\box.exe");
  const std::wstring uninstaller = sandbox.WriteUninstaller(L"App\\uninstall.exe", harness::StandardPayload());
  if (uninstaller.empty()) {
    fprintf(stderr, "start-up benchmark: cannot write the uninstaller\n");
    return false;
  }

  Row row;
  row.what = "Start-up: process start to the confirmation box";
  row.subject = "retrax.exe, sample payload";
  row.baseline = "a program that only shows a message box";
  row.goal = 1.3;
  // One untimed round first: the first start of a program loads what
  // later starts find in the cache.
  for (int round = -1; round < repetitions; ++round) {
    // Each goes first in every other round.
    double retrax, baseline;
    if (round % 2 == 0) {
      retrax = TimeToFirstBox(uninstaller);
      baseline = TimeToFirstBox(box);
    } else {
      baseline = TimeToFirstBox(box);
      retrax = TimeToFirstBox(uninstaller);
    }
    if (retrax < 0 || baseline < 0) row.problem = "a box did not come or the program did not end";
    if (round < 0) continue;
    row.subjectTimes.ms.push_back(retrax);
    row.baselineTimes.ms.push_back(baseline);
  }
  rows->push_back(row);
  return true;
}

}  // namespace bench
