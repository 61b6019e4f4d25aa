#include "driver/payload_marker.h"

#include "payload/format.h"

namespace {

// The marker and the field must stand next to each other in the file, with
// no padding: the installer finds the marker and writes the 4 bytes right
// behind it.
struct __attribute__((packed)) PayloadMarkerRecord {
  char marker[PAYLOAD_MARKER_LENGTH];
  uint32_t payloadOffset;
};
static_assert(sizeof(PayloadMarkerRecord) == PAYLOAD_MARKER_LENGTH + 4,
              "the field must follow the marker directly");

// Initialised, so it lives in the file's data where the installer patches
// it, and volatile, so the compiler never folds in the 0 it was built with.
// Spelled out as characters: the marker must occur exactly once in the
// program file, and the build checks that it does.
volatile PayloadMarkerRecord payloadMarkerRecord = {{'w', 'w', 'g', 'T', ')', 'H'}, 0};

}  // namespace

uint32_t GetPayloadOffset() {
  return payloadMarkerRecord.payloadOffset;
}
