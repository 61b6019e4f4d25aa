// Reading the payload appended to the program's own file, and releasing it
// at the end of the run.
#include "driver/driver.h"
#include "driver/payload_marker.h"
#include "driver/run_state.h"
#include "paths/path_ops.h"
#include "payload/extension_host.h"
#include "payload/file_io.h"
#include "payload/memory.h"
#include "platform/system_calls.h"
#include "ui/messages.h"

namespace {

// Before the message table is read both the caption and the text are empty:
// the box then only tells that the uninstaller cannot go on.
void ReportPayloadFailure(int status) {
  wchar_t* text;
  if (!MemAllocZeroed(MESSAGE_BUFFER_UNITS * sizeof(wchar_t), &text)) return;
  FormatMessageText(text, status, run.modulePath, MESSAGE_BUFFER_UNITS);
  ShowMessageBox(text, MB_ICONINFORMATION);
  MemRelease(&text);
}

}  // namespace

int ReadPayloadFromFile(const wchar_t* path, uint32_t offset) {
  // Through the system-call table, so that the ANSI family, whose
  // CreateFileW always fails, can read its payload too.
  HANDLE file = OpenExistingFile(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return PAYLOAD_NO_FILE;
  SetFilePos(file, offset);
  // The source's 32 KB buffer lives on the heap for the walk only.
  FileSource* state;
  int status = PAYLOAD_OUT_OF_MEMORY;
  if (MemAlloc(sizeof(FileSource), &state)) {
    PayloadSource source = MakeFileSource(state, file);
    status = ReadPayloadChunks(&source, &uninstallData);
    MemRelease(&state);
  }
  CloseFileHandle(file);
  return status;
}

bool ReadUninstallPayload() {
  const uint32_t offset = GetPayloadOffset();
  if (offset == 0) return false;
  // A path of 260 units or more comes back cut; reading another file than
  // our own is never right.
  DWORD length = sys.GetModuleFileNameW(run.instance, run.modulePath, RX_MAX_PATH);
  if (length == 0 || length >= RX_MAX_PATH) {
    run.modulePath[0] = 0;
    return false;
  }
  const int status = ReadPayloadFromFile(run.modulePath, offset);
  if (status == PAYLOAD_OK) return true;
  // Under /N no box is shown, whatever happens.
  if (status != PAYLOAD_NO_FILE && !run.unattended) ReportPayloadFailure(status);
  return false;
}

void ReleaseUninstallData() {
  UnloadExtensionLibrary();
  ReleasePayloadBlocks(&uninstallData);
}
