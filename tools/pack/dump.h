// `retrax-pack dump`: a payload shown readably, chunk by chunk with byte
// offsets, or as JSON for scripts.
#pragma once
#include <string>

#include "scan.h"

namespace packtool {

std::string DumpText(const std::string& fileName, const PayloadScan& scan);
std::string DumpJson(const std::string& fileName, const PayloadScan& scan);

// The dump's exit status: 0 when the uninstaller reads the payload to its end.
inline bool DumpSucceeded(const PayloadScan& scan) {
  return scan.hasPayload && scan.status == PAYLOAD_OK;
}

}  // namespace packtool
