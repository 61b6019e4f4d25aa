// libFuzzer target: any bytes as a payload. The reader must return one of
// its statuses, leave only strings ended inside their blocks (walked here
// without a bound, so ASan stops at an unterminated one), and release all it
// allocated; each input is read again with one allocation failing.
#include <stddef.h>
#include <stdint.h>

#include "payload/memory.h"
#include "payload/uninstall_data.h"

namespace {

volatile uint32_t sink;

void Touch(const RxChar* text) {
  for (uint32_t n = 0; text && text[n]; ++n) sink += n;
}

void ReadOnce(const uint8_t* bytes, size_t size, long failAfter) {
  MemorySource memory = {bytes, size, 0};
  PayloadSource source = MakeMemorySource(&memory);
  UninstallData d = {};
  MemFailAfter(failAfter);
  const int status = ReadPayloadChunks(&source, &d);
  MemFailAfter(0);
  if (status != PAYLOAD_OK && status != PAYLOAD_OUT_OF_MEMORY && status != PAYLOAD_READ_ERROR) __builtin_trap();
  for (uint32_t i = 0; i < d.files.count; ++i) Touch(d.files.items[i]->folder), Touch(d.files.items[i]->name);
  for (uint32_t i = 0; i < d.shortcuts.count; ++i) {
    const ShortcutEntry* s = d.shortcuts.items[i];
    Touch(s->folder), Touch(s->secondFolder), Touch(s->fileName);
  }
  for (uint32_t i = 0; i < d.registry.count; ++i) Touch(d.registry.items[i]->path);
  for (const RxChar* tree = (const RxChar*)d.folderTrees; tree && *tree; ++tree)  // to the list's empty string
    for (Touch(tree); *tree; ++tree) {}
  Touch(GetHeaderCommand(&d)), Touch(GetHeaderFinalPage(&d));
  if (d.extensionBlob && d.extensionLength <= EXT_PATH_MAX_BYTES) Touch((const RxChar*)d.extensionBlob);  // a path
  RxChar out[MESSAGE_BUFFER_UNITS];
  for (int i = -1; i < 40; ++i) {
    const RxChar* message = LookupMessage(&d, 0, i);
    FormatMessageInto(out, MESSAGE_BUFFER_UNITS, message, message);
    Touch(message), Touch(out);
  }
  ReleasePayloadBlocks(&d);
  if (MemLiveBlocks() != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  ReadOnce(bytes, size, 0);
  ReadOnce(bytes, size, 1 + (long)(size % 17));
  return 0;
}
