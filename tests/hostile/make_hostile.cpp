// Writes the hostile cases under 4 KB as seeds of the reader's fuzz target
// (hostile-<name>.bin) and lists every case in a README, after checking
// each against the payload reader: a seed never carries a wrong outcome.
//
// Usage: make_hostile <seed folder> <README path>   (see make-seeds.sh)
#include <stdio.h>

#include <string>

#include "hostile/hostile_payloads.h"
#include "payload/memory.h"
#include "payload/uninstall_data.h"

namespace {

const size_t kSeedLimit = 4096;

int ReadStatus(const hostile::Bytes& payload) {
  MemorySource memory = {payload.data(), payload.size(), 0};
  PayloadSource source = MakeMemorySource(&memory);
  UninstallData data = {};
  const int status = ReadPayloadChunks(&source, &data);
  ReleasePayloadBlocks(&data);
  return status;
}

bool Save(const std::string& path, const hostile::Bytes& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <seed folder> <README path>\n", argv[0]);
    return 2;
  }
  std::vector<hostile::Case> cases = hostile::ContainerCases();
  for (hostile::Case& c : hostile::MessageCases()) cases.push_back(std::move(c));

  bool agreed = true;
  for (const hostile::Case& c : cases) {
    const int status = ReadStatus(c.payload);
    if (status != (c.outcome == hostile::Outcome::kCompletes ? PAYLOAD_OK : PAYLOAD_READ_ERROR)) {
      fprintf(stderr, "%s: the reader gives status %d, the case expects %s\n", c.name.c_str(), status,
              hostile::OutcomeText(c.outcome));
      agreed = false;
    }
  }
  if (!agreed) return 1;

  std::string readme =
      "# Hostile payloads\n\n"
      "Made by `hostile_payloads.cpp`; each runs through `retrax.exe` under Wine in\n"
      "`tests/win/scenario/hostile_*_test.cpp`, with marker files in every protected\n"
      "folder and beside the application. Those under 4 KB are also seeds of the\n"
      "reader's fuzz target, as `tests/fuzz/corpus/hostile-<name>.bin`. Rewrite both\n"
      "with `bash tests/hostile/make-seeds.sh`.\n\n"
      "Expected outcomes: **completes** (read to its end chunk, exit 0); **report**\n"
      "(read error: message 8 with the program's path, exit -1, nothing removed);\n"
      "**empty box** (read error before any message was read, exit -1).\n\n"
      "| Case | Bytes | Seed | Expected | What is hostile |\n|---|---|---|---|---|\n";
  size_t seeds = 0;
  for (const hostile::Case& c : cases) {
    const bool seed = c.payload.size() < kSeedLimit;
    if (seed && !Save(std::string(argv[1]) + "/hostile-" + c.name + ".bin", c.payload)) {
      fprintf(stderr, "cannot write the seed of %s into %s\n", c.name.c_str(), argv[1]);
      return 1;
    }
    seeds += seed;
    const char* expected = c.outcome == hostile::Outcome::kCompletes ? "completes"
                           : c.outcome == hostile::Outcome::kDamaged ? "report"
                                                                     : "empty box";
    readme += "| " + c.name + " | " + std::to_string(c.payload.size()) + " | " + (seed ? "yes" : "no") + " | " +
              expected + " | " + c.why + " |\n";
  }
  if (!Save(argv[2], hostile::Bytes(readme.begin(), readme.end()))) {
    fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  printf("%zu cases, %zu seeds\n", cases.size(), seeds);
  return 0;
}
