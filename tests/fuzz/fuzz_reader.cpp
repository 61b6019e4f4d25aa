// libFuzzer target: any bytes as a payload. The reader must return one of
// its statuses, leave only blocks that hold what their users walk (strings
// ended inside their blocks), and release everything it allocated. Each
// input is read a second time with one allocation failing, so the
// out-of-memory paths are fuzzed too.
#include <stddef.h>
#include <stdint.h>

#include "payload/memory.h"
#include "payload/uninstall_data.h"

namespace {

volatile uint32_t sink;

// Walks a string the way its users do: up to its NUL, with no bound. An
// unterminated string runs into the allocator's redzone and ASan stops.
void Touch(const RxChar* text) {
  if (!text) return;
  uint32_t n = 0;
  while (text[n]) ++n;
  sink += n;
}

void TouchEverything(const UninstallData* data) {
  for (uint32_t i = 0; i < data->files.count; ++i) {
    Touch(data->files.items[i]->folder);
    Touch(data->files.items[i]->name);
  }
  for (uint32_t i = 0; i < data->shortcuts.count; ++i) {
    Touch(data->shortcuts.items[i]->folder);
    Touch(data->shortcuts.items[i]->secondFolder);
    Touch(data->shortcuts.items[i]->fileName);
  }
  for (uint32_t i = 0; i < data->registry.count; ++i) Touch(data->registry.items[i]->path);
  // The folder phase walks the multi-string to its empty string.
  if (data->folderTrees) {
    const RxChar* tree = (const RxChar*)data->folderTrees;
    while (*tree) {
      Touch(tree);
      while (*tree) ++tree;
      ++tree;
    }
  }
  sink += GetHeaderFlags(data);
  Touch(GetHeaderCommand(data));
  Touch(GetHeaderFinalPage(data));
  if (data->extensionBlob && data->extensionLength <= EXT_PATH_MAX_BYTES)
    Touch((const RxChar*)data->extensionBlob);  // handed to LoadLibrary as a path
  RxChar out[MESSAGE_BUFFER_UNITS];
  for (int i = -1; i < 40; ++i) {
    const RxChar* message = LookupMessage(data, 0, i);
    Touch(message);
    FormatMessageInto(out, MESSAGE_BUFFER_UNITS, message, message);
    Touch(out);
  }
}

void ReadOnce(const uint8_t* bytes, size_t size, long failAfter) {
  MemorySource memory = {bytes, size, 0};
  PayloadSource source = MakeMemorySource(&memory);
  UninstallData data = {};
  MemFailAfter(failAfter);
  int status = ReadPayloadChunks(&source, &data);
  MemFailAfter(0);
  if (status != PAYLOAD_OK && status != PAYLOAD_OUT_OF_MEMORY && status != PAYLOAD_READ_ERROR)
    __builtin_trap();
  TouchEverything(&data);
  ReleasePayloadBlocks(&data);
  if (MemLiveBlocks() != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  ReadOnce(bytes, size, 0);
  ReadOnce(bytes, size, 1 + (long)(size % 17));
  return 0;
}
