// The run state, start-up and teardown, and the deletion mode.
#include <ole2.h>

#include "driver/driver.h"
#include "driver/run_state.h"
#include "paths/path_ops.h"
#include "payload/memory.h"
#include "platform/system_calls.h"
#include "removal/removal.h"
#include "ui/ui.h"

RunState run;
UninstallData uninstallData;

namespace {

bool oleStarted = false;

const int DELETION_ATTEMPTS = 12;
const DWORD DELETION_RETRY_MS = 1000;

bool AllocatePath(wchar_t** buffer) { return MemAllocZeroed(RX_MAX_PATH * sizeof(wchar_t), buffer); }

// installDir from the module's own path. A path that does not fit the
// buffer comes back cut (and, before Vista, unterminated): installDir then
// stays empty, and the payload read, which asks for the same path, fails.
void FillInstallDir() {
  DWORD length = sys.GetModuleFileNameW(run.instance, run.installDir, RX_MAX_PATH);
  if (length == 0 || length >= RX_MAX_PATH) {
    run.installDir[0] = 0;
    return;
  }
  wchar_t* lastBackslash = FindLastBackslash(run.installDir);
  if (lastBackslash == nullptr) {
    run.installDir[0] = 0;
    return;
  }
  *lastBackslash = 0;
  AddBackslash(run.installDir);
}

}  // namespace

void DetectPlatform() {
  // The A form on purpose: the W form is a failing stub on the 9x family.
  // 148 is the size of OSVERSIONINFOA; a failed call leaves zeros, so both
  // flags stay false.
  OSVERSIONINFOA& version = run.version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  run.isNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  run.isNT6 = run.isNT && version.dwMajorVersion > 5;
}

bool InitialiseRun(HINSTANCE instance) {
  run.instance = instance;
  HRESULT ole = OleInitialize(nullptr);
  oleStarted = SUCCEEDED(ole);  // S_FALSE too: that start also wants its end
  LoadThemeSupport();
  if (!AllocatePath(&run.modulePath) || !AllocatePath(&run.workPath) || !AllocatePath(&run.installDir) ||
      !AllocatePath(&run.logPath))
    return false;
  FillInstallDir();
  return true;
}

void TeardownRun() {
  if (oleStarted) OleUninitialize();
  oleStarted = false;
  MemRelease(&run.modulePath);
  MemRelease(&run.installDir);
  MemRelease(&run.workPath);
  MemRelease(&run.logPath);
  ReleaseUiResources();
}

void FinishDeletion() {
  // The uninstaller that started this copy holds its file until it has
  // exited; the copy outwaits it.
  for (int attempt = 0; attempt < DELETION_ATTEMPTS; ++attempt) {
    // Gone, already gone or never there: nothing to outwait.
    const FileStatus status = RemoveFile(run.workPath);
    if (status == Ok || status == NotFound) break;
    Sleep(DELETION_RETRY_MS);
  }
  wchar_t* lastBackslash = FindLastBackslash(run.workPath);
  if (lastBackslash == nullptr) return;
  *lastBackslash = 0;
  // "C:" alone is not the root but the current folder of drive C:, which is
  // not the uninstaller's folder; a root is never removed anyway.
  size_t length = TextLength(run.workPath);
  if (length == 0 || run.workPath[length - 1] == L':') return;
  RemoveFolder(run.workPath);
}
