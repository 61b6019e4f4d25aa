// Entry point of retrax.exe. For now the program only reads its own payload
// and reports by its exit code whether the chunk walk reached its end; the
// uninstall sequence builds on this.
#include <windows.h>

#include "driver/payload_marker.h"
#include "payload/file_io.h"
#include "payload/uninstall_data.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const uint32_t payloadOffset = GetPayloadOffset();
  if (payloadOffset == 0) return -1;

  // 260 units as everywhere else; a longer module path fails the read.
  wchar_t modulePath[RX_MAX_PATH];
  const DWORD length = GetModuleFileNameW(NULL, modulePath, RX_MAX_PATH);
  if (length == 0 || length >= RX_MAX_PATH) return -1;

  UninstallData data = {};
  const int status = ReadPayloadFile(modulePath, payloadOffset, &data);
  ReleasePayloadBlocks(&data);
  return status == PAYLOAD_OK ? 0 : -1;
}
