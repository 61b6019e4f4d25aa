// The rotate-add checksum and the extension content scrambling. The writer
// and the reader must walk exactly the same key sequence, so both live here.
#include "payload/format.h"

uint32_t RotateAddChecksum(const uint8_t* data, uint32_t length, uint32_t seed) {
  uint32_t sum = seed;
  for (uint32_t i = 0; i < length; ++i) sum = ((sum << 1) | (sum >> 31)) + data[i];
  return sum;
}

// The key advances by the stored (scrambled) byte and the index, so each
// side feeds the key from the byte as it stands on disk.
void ScrambleExtensionContent(uint8_t* data, uint32_t length) {
  uint8_t key = EXT_INITIAL_KEY;
  for (uint32_t i = 0; i < length; ++i) {
    uint8_t stored = (uint8_t)(data[i] ^ key);
    data[i] = stored;
    key = (uint8_t)(key + stored + (uint8_t)i);
  }
}

void UnscrambleExtensionContent(uint8_t* data, uint32_t length) {
  uint8_t key = EXT_INITIAL_KEY;
  for (uint32_t i = 0; i < length; ++i) {
    uint8_t stored = data[i];
    data[i] = (uint8_t)(stored ^ key);
    key = (uint8_t)(key + stored + (uint8_t)i);
  }
}
