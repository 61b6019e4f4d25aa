// The uninstall benchmark: one installed application, removed again and
// again, by the baseline program's plain loop and by retrax.exe with /S,
// with /Q and confirmed with its progress window. The installation is made
// afresh before every run and is not timed; a run is timed from the start
// of its process to its end, and counts only when everything listed is
// gone afterwards.
//
// In the same rounds, the windows of a confirmed run alone
// (bench/window_bench_program.cpp, which times them itself): the platform's
// part of the progress window (a bare dialog, 100 PBM_SETPOS, a plain
// pump), the same window through the program's own code, and the
// confirmation's message box. What a confirmed run costs over /Q, less the
// platform's part, is what the program's own handling of its windows costs.
//
// And the removal alone, on the first two shapes below, timed inside each
// process after its start-up: the baseline times its own loop, and
// bench/removal_bench_program.cpp, started as /S is, times the program's
// removal sequence (RemoveEverything). Under an emulator, where the start
// of every library is magnified, the whole runs measure mostly the
// libraries' start-up; these measure what the program does.
//
// The application: 10,000 files, 50 in each of 200 folders three levels
// deep (8 x 4 x 5), listed parents first as an installer writes them; 500
// shortcut files in 10 groups of a start-menu folder; 2,000 registry keys
// of HKEY_CURRENT_USER with two values each. And the shape most
// applications have: the same 200 folders with one file each, nothing else;
// and nothing at all, for what every run costs whatever it removes.
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "bench.h"
#include "harness/harness.h"

namespace bench {
namespace {

const int kTop = 8, kMiddle = 4, kBottom = 5;  // 8 + 32 + 160 = 200 folders
const int kFilesPerFolder = 50;
const int kGroups = 10, kShortcutsPerGroup = 50;
const int kKeys = 2000;
const DWORD kRunLimitMs = 10 * 60 * 1000;

std::wstring Numbered(const wchar_t* format, int number) {
  wchar_t text[64];
  swprintf(text, 64, format, number);
  return text;
}

class Installation {
 public:
  enum Shape { kFull, kSparse, kEmpty };
  // kFull: 50 files a folder, the shortcuts and the keys; kSparse: one file
  // a folder and nothing more, in a folder of its own; kEmpty: nothing.
  Installation(const harness::Sandbox& sandbox, Shape shape) : sandbox_(sandbox) {
    const bool full = shape == kFull;
    const wchar_t* root = full ? L"App\\" : L"Sparse\\";
    const int filesPerFolder = full ? kFilesPerFolder : 1;
    for (int a = 1; shape != kEmpty && a <= kTop; ++a) {
      const std::wstring top = root + Numbered(L"Module %d", a);
      folders_.push_back(top);
      for (int b = 1; b <= kMiddle; ++b) {
        const std::wstring middle = top + L"\\" + Numbered(L"Part %d", b);
        folders_.push_back(middle);
        for (int c = 1; c <= kBottom; ++c) folders_.push_back(middle + L"\\" + Numbered(L"Set %d", c));
      }
    }
    payload_ = harness::StandardPayload();
    // No closing message: the confirmed run ends without another box.
    payload_.messages[MSG_DONE].clear();
    for (const std::wstring& folder : folders_) {
      for (int f = 1; f <= filesPerFolder; ++f) {
        const std::wstring name = Numbered(L"file %02d.dat", f);
        files_.push_back(folder + L"\\" + name);
        payload_.files.push_back({harness::U16(sandbox_.Path(folder)), harness::U16(name), 0});
      }
    }
    if (!full) return;
    const std::wstring menu = L"Menu\\Bench";
    for (int g = 1; g <= kGroups; ++g) {
      const std::wstring group = menu + L"\\" + Numbered(L"Group %d", g);
      shortcutFolders_.push_back(group);
      for (int s = 1; s <= kShortcutsPerGroup; ++s) {
        const std::wstring name = Numbered(L"Shortcut %02d.lnk", s);
        shortcuts_.push_back(group + L"\\" + name);
        // One level up as well: the group's parent goes with the last group.
        payload_.shortcuts.push_back({1, harness::U16(sandbox_.Path(group)), u"", harness::U16(name)});
      }
    }
    shortcutFolders_.push_back(menu);
    for (int k = 1; k <= kKeys; ++k) {
      keys_.push_back(sandbox_.RegistryKey(Numbered(L"Bench\\Key %04d", k)));
      payload_.registry.push_back({harness::kPayloadHkcu, harness::U16(keys_.back())});
    }
  }

  const pack::Payload& payload() const { return payload_; }

  // Files, shortcuts and keys, over whatever an earlier run left.
  bool Create() const {
    for (const std::wstring& folder : folders_)
      if (!sandbox_.MakeFolder(folder)) return false;
    for (size_t i = 0; i + 1 < shortcutFolders_.size(); ++i)
      if (!sandbox_.MakeFolder(shortcutFolders_[i])) return false;
    for (const std::vector<std::wstring>* list : {&files_, &shortcuts_}) {
      for (const std::wstring& file : *list) {
        HANDLE handle = CreateFileW(sandbox_.Path(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        CloseHandle(handle);
      }
    }
    for (const std::wstring& path : keys_) {
      HKEY key;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
          ERROR_SUCCESS)
        return false;
      const wchar_t name[] = L"Bench App";
      const DWORD count = 1;
      const bool ok =
          RegSetValueExW(key, L"DisplayName", 0, REG_SZ, (const BYTE*)name, sizeof name) == ERROR_SUCCESS &&
          RegSetValueExW(key, L"Count", 0, REG_DWORD, (const BYTE*)&count, sizeof count) == ERROR_SUCCESS;
      RegCloseKey(key);
      if (!ok) return false;
    }
    return true;
  }

  // The first listed thing still there, or empty when all are gone. A
  // folder that is gone took its files with it.
  std::wstring Leftover() const {
    for (const std::vector<std::wstring>* list : {&folders_, &shortcutFolders_}) {
      for (const std::wstring& folder : *list)
        if (sandbox_.Exists(folder)) return folder;
    }
    for (const std::wstring& path : keys_) {
      HKEY key;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return L"HKCU\\" + path;
      }
    }
    return std::wstring();
  }

  // The baseline program's list: files, then folders deepest first,
  // shortcuts, their folders, keys.
  harness::Bytes BaselineList() const {
    std::wstring text;
    for (auto file = files_.rbegin(); file != files_.rend(); ++file) text += L"F " + sandbox_.Path(*file) + L"\n";
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder)
      text += L"D " + sandbox_.Path(*folder) + L"\n";
    for (const std::wstring& file : shortcuts_) text += L"F " + sandbox_.Path(file) + L"\n";
    for (const std::wstring& folder : shortcutFolders_) text += L"D " + sandbox_.Path(folder) + L"\n";
    for (const std::wstring& key : keys_) text += L"K " + key + L"\n";
    const uint8_t* bytes = (const uint8_t*)text.data();
    return harness::Bytes(bytes, bytes + text.size() * sizeof(wchar_t));
  }

 private:
  const harness::Sandbox& sandbox_;
  std::vector<std::wstring> folders_;  // parents first
  std::vector<std::wstring> files_;
  std::vector<std::wstring> shortcutFolders_;  // the groups, then their parent
  std::vector<std::wstring> shortcuts_;
  std::vector<std::wstring> keys_;  // below HKEY_CURRENT_USER
  pack::Payload payload_;
};

enum Mode {
  kBaseline,
  kSilent,
  kSparseBaseline,  // 200 files in 200 folders
  kSparseSilent,
  kEmptyBaseline,  // an empty list, an empty payload
  kEmptySilent,
  kQuiet,
  kConfirmed,
  kSilentLog,  // /S with a log (/L) beside the install folder
  // The removal sequence alone (retrax_bench_removal.exe /S).
  kRemoval,
  kSparseRemoval,
  // The windows alone (retrax_bench_window.exe).
  kWindowPlatform,
  kWindowRetrax,
  kWindowBox,
  kModeCount
};

const wchar_t* const kModeNames[kModeCount] = {L"baseline",  L"/S",        L"sparse baseline", L"sparse /S",
                                               L"empty baseline", L"empty /S", L"/Q", L"confirmed", L"/S /L",
                                               L"removal", L"sparse removal",
                                               L"platform window", L"program's window", L"box"};

bool IsWindowMode(int mode) { return mode >= kWindowPlatform; }
bool IsBaseline(int mode) { return mode == kBaseline || mode == kSparseBaseline || mode == kEmptyBaseline; }

struct Timed {
  double ms = 0;
  double inside = 0;  // what the process timed itself (the window ways, the baseline, the removal)
  std::string problem;
};

// Starts the run and waits for its end. A confirmed run's box is answered
// as soon as it shows; the moments between seeing it and answering are
// not counted. What the run starts (the self-removal copy) is waited for
// afterwards, untimed, so that it is gone before the next run.
Timed TimeRun(const harness::Sandbox& sandbox, Mode mode, const std::wstring& program,
              const std::wstring& arguments) {
  Timed timed;
  harness::Process process;
  sandbox.PrepareProcess(&process);
  const double start = NowMs();
  if (!process.Start(program, arguments)) {
    timed.problem = "did not start";
    return timed;
  }
  double answering = 0;
  if (mode == kConfirmed || mode == kWindowBox) {
    for (;;) {
      const std::vector<harness::Dialog> open = harness::OpenDialogs(process);
      if (!open.empty()) {
        const double seen = NowMs();
        open[0].Press(IDOK);
        answering = NowMs() - seen;
        break;
      }
      if (process.Ended() || NowMs() - start > 60000) {
        timed.problem = "no confirmation";
        return timed;
      }
      Sleep(1);
    }
  }
  const harness::RunResult result = process.Finish(kRunLimitMs);
  if (result.timedOut) {
    timed.problem = "did not end";
    return timed;
  }
  timed.ms = NowMs() - start - answering;
  const DWORD exitCode = result.exitCode;
  if (IsWindowMode(mode) || IsBaseline(mode) || mode == kRemoval || mode == kSparseRemoval) {
    // The program's own time of its timed part, in microseconds.
    if (exitCode > 0x7FFFFFFF) {
      timed.problem = "exit code " + std::to_string((long)exitCode);
    } else {
      timed.inside = exitCode / 1000.0;
      if (IsWindowMode(mode)) timed.ms = timed.inside - answering;
    }
  } else if (exitCode != 0) {
    timed.problem = "exit code " + std::to_string((long)exitCode);
  }
  process.WaitForDescendants(30000);
  return timed;
}

}  // namespace

bool RunUninstallBenchmark(int repetitions, std::vector<Row>* rows) {
  harness::Sandbox sandbox;
  harness::Bytes baselineProgram, windowProgram, removalProgram;
  if (!sandbox.ok() || harness::RetraxProgram().empty() ||
      !harness::LoadEmbeddedFile(L"RETRAX_BENCH_BASELINE_EXE", &baselineProgram) ||
      !harness::LoadEmbeddedFile(L"RETRAX_BENCH_WINDOW_EXE", &windowProgram) ||
      !harness::LoadEmbeddedFile(L"RETRAX_BENCH_REMOVAL_EXE", &removalProgram)) {
    fprintf(stderr, "uninstall benchmark: no sandbox or no embedded programs\n");
    return false;
  }
  Installation installation(sandbox, Installation::kFull), sparse(sandbox, Installation::kSparse),
      empty(sandbox, Installation::kEmpty);
  const std::wstring baseline = sandbox.Path(L"Baseline\\baseline.exe");
  const std::wstring list = sandbox.Path(L"Baseline\\list.txt");
  const std::wstring sparseList = sandbox.Path(L"Baseline\\sparse.txt");
  const std::wstring emptyList = sandbox.Path(L"Baseline\\empty.txt");
  const std::wstring windows = sandbox.Path(L"Window\\window.exe");
  if (!sandbox.WriteFile(L"Baseline\\baseline.exe", baselineProgram) ||
      !sandbox.WriteFile(L"Baseline\\list.txt", installation.BaselineList()) ||
      !sandbox.WriteFile(L"Baseline\\sparse.txt", sparse.BaselineList()) ||
      !sandbox.WriteFile(L"Baseline\\empty.txt", empty.BaselineList()) ||
      !sandbox.WriteFile(L"Window\\window.exe", windowProgram)) {
    fprintf(stderr, "uninstall benchmark: cannot write the baseline program\n");
    return false;
  }

  Samples times[kModeCount], inside[kModeCount];
  std::string problem;
  for (int round = 0; round < repetitions; ++round) {
    // Each round starts with another kind of run: whatever the machine
    // still does after a run (writing back what the file system changed)
    // falls on each kind alike.
    for (int step = 0; step < kModeCount; ++step) {
      const int mode = (round + step) % kModeCount;
      const bool small = mode == kSparseBaseline || mode == kSparseSilent || mode == kSparseRemoval;
      const bool none = mode == kEmptyBaseline || mode == kEmptySilent;
      const Installation& app = small ? sparse : none ? empty : installation;
      std::wstring program = baseline;
      std::wstring arguments = L"\"" + (small ? sparseList : none ? emptyList : list) + L"\"";
      if (IsWindowMode(mode)) {
        program = windows;
        arguments = mode == kWindowPlatform ? L"platform" : mode == kWindowRetrax ? L"retrax" : L"box";
      } else if (!IsBaseline(mode)) {
        // Written anew each time: the runs without /S remove it.
        const wchar_t* where =
            small ? L"Sparse\\uninstall.exe" : none ? L"Empty\\uninstall.exe" : L"App\\uninstall.exe";
        const bool removal = mode == kRemoval || mode == kSparseRemoval;
        program = sandbox.WriteUninstaller(where, app.payload(), removal ? &removalProgram : nullptr);
        const bool silent = removal || mode == kSilent || mode == kSparseSilent || mode == kEmptySilent;
        arguments = silent ? L"/S" : mode == kQuiet ? L"/Q" : L"";
        if (mode == kSilentLog) arguments = L"/S /L \"" + sandbox.Path(L"run.log") + L"\"";
      }
      if (program.empty() || (!IsWindowMode(mode) && !app.Create())) {
        fprintf(stderr, "uninstall benchmark: cannot install the application\n");
        return false;
      }
      Timed timed = TimeRun(sandbox, (Mode)mode, program, arguments);
      if (!IsWindowMode(mode)) {
        const std::wstring left = app.Leftover();
        if (timed.problem.empty() && !left.empty()) timed.problem = "left " + harness::Narrow(left);
      }
      if (!timed.problem.empty() && problem.empty()) problem = timed.problem;
      times[mode].ms.push_back(timed.ms);
      inside[mode].ms.push_back(timed.inside);
      const std::string own = timed.inside > 0 ? " (timed inside: " + std::to_string((long)timed.inside) + " ms)" : "";
      fprintf(stderr, "  uninstall round %d, %ls: %.0f ms%s%s%s\n", round + 1, kModeNames[mode], timed.ms,
              own.c_str(), timed.problem.empty() ? "" : ", ", timed.problem.c_str());
    }
  }

  const char* what = "Uninstall: 10,000 files in 200 folders, 500 shortcuts, 2,000 registry keys";
  Row silent;
  silent.what = what;
  silent.subject = "retrax.exe /S";
  silent.subjectTimes = times[kSilent];
  silent.baseline = "plain delete loop (bench/baseline_uninstall.cpp)";
  silent.baselineTimes = times[kBaseline];
  silent.goal = 1.3;
  silent.problem = problem;
  rows->push_back(silent);

  Row removal = silent;
  removal.what = "The same, the removal alone: timed inside each process, after its start-up";
  removal.subject = "retrax's removal sequence (bench/removal_bench_program.cpp)";
  removal.subjectTimes = inside[kRemoval];
  removal.baseline = "the plain loop's own loop";
  removal.baselineTimes = inside[kBaseline];
  rows->push_back(removal);

  Row logged = silent;
  logged.what = "The same with a log of every action (/L)";
  logged.subject = "retrax.exe /S /L";
  logged.subjectTimes = times[kSilentLog];
  logged.baseline = "retrax.exe /S";
  logged.baselineTimes = times[kSilent];
  logged.goal = 1.05;
  rows->push_back(logged);

  Row window = silent;
  window.what = "The same with the progress window";
  window.subject = "retrax.exe confirmed, progress window";
  window.subjectTimes = times[kConfirmed];
  window.baseline = "retrax.exe /Q (no windows, also removes itself)";
  window.baselineTimes = times[kQuiet];
  window.goal = 1.10;
  window.strict = true;
  rows->push_back(window);

  Row overSilent = window;
  overSilent.what = "The same, against /S (which skips self-removal)";
  overSilent.baseline = "retrax.exe /S";
  overSilent.baselineTimes = times[kSilent];
  overSilent.goal = 0;
  rows->push_back(overSilent);

  // The confirmed runs less the platform's part of their windows, round by
  // round: first of the progress window alone, then with the box as well.
  Row ours = window;
  ours.what = "The same with the progress window, less the platform's part of it";
  ours.subject = "confirmed run minus a bare dialog's 100 updates";
  ours.subjectTimes.ms.clear();
  Row oursNoBox = ours;
  oursNoBox.what = "The same, less the confirmation box as well";
  oursNoBox.subject = "confirmed run minus the bare dialog and a message box";
  oursNoBox.goal = 0;
  for (size_t i = 0; i < times[kConfirmed].ms.size(); ++i) {
    ours.subjectTimes.ms.push_back(times[kConfirmed].ms[i] - times[kWindowPlatform].ms[i]);
    oursNoBox.subjectTimes.ms.push_back(times[kConfirmed].ms[i] - times[kWindowPlatform].ms[i] -
                                        times[kWindowBox].ms[i]);
  }
  rows->push_back(ours);
  rows->push_back(oursNoBox);

  Row alone;
  alone.what = "The progress window alone: creation, 100 updates with a pump pass each, destruction";
  alone.subject = "the program's code (bench/window_bench_program.cpp)";
  alone.subjectTimes = times[kWindowRetrax];
  alone.baseline = "a bare dialog, PBM_SETPOS and a plain pump";
  alone.baselineTimes = times[kWindowPlatform];
  alone.problem = problem;
  rows->push_back(alone);

  Row box;
  box.what = "The confirmation box alone (MessageBoxW to its return, less the answering), against /Q";
  box.subject = "a message box of the confirmation's style";
  box.subjectTimes = times[kWindowBox];
  box.baseline = "retrax.exe /Q";
  box.baselineTimes = times[kQuiet];
  box.problem = problem;
  rows->push_back(box);

  Row few = silent;
  few.what = "Uninstall: 200 files in 200 folders, one in each";
  few.subjectTimes = times[kSparseSilent];
  few.baselineTimes = times[kSparseBaseline];
  few.goal = 2.0;
  rows->push_back(few);

  Row fewRemoval = few;
  fewRemoval.what = removal.what;
  fewRemoval.subject = removal.subject;
  fewRemoval.subjectTimes = inside[kSparseRemoval];
  fewRemoval.baseline = removal.baseline;
  fewRemoval.baselineTimes = inside[kSparseBaseline];
  rows->push_back(fewRemoval);

  Row nothing = silent;
  nothing.what = "Uninstall: an empty payload (what every run costs)";
  nothing.subjectTimes = times[kEmptySilent];
  nothing.baselineTimes = times[kEmptyBaseline];
  nothing.goal = 0;
  rows->push_back(nothing);
  return true;
}

}  // namespace bench
