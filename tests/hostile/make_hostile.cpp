// Writes the hostile cases under 4 KB as seeds of the reader's fuzz target
// (hostile-<name>.bin) and lists every case in a README. The host tests
// check each case's outcome against the reader.
//
// Usage: make_hostile <seed folder> <README path>   (see make-seeds.sh)
#include <stdio.h>

#include <string>

#include "hostile/hostile_payloads.h"

static bool Save(const std::string& path, const hostile::Bytes& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  const bool ok = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return file && fclose(file) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 3) return fprintf(stderr, "usage: %s <seed folder> <README path>\n", argv[0]), 2;
  std::vector<hostile::Case> cases = hostile::ContainerCases();
  for (hostile::Case& c : hostile::MessageCases()) cases.push_back(std::move(c));
  std::string readme =
      "# Hostile payloads\n\nMade by `hostile_payloads.cpp`: read by the reader in the host tests, run\n"
      "through `retrax.exe` under Wine with markers in every protected folder\n"
      "(`tests/win/scenario/hostile_*_test.cpp`), and those under 4 KB written as fuzz\n"
      "seeds `tests/fuzz/corpus/hostile-<name>.bin` by `bash tests/hostile/make-seeds.sh`.\n"
      "Outcomes: **completes** (exit 0); **report** (message 8 with the program's path,\n"
      "exit -1, nothing removed); **empty box** (read error before any message, exit -1).\n\n"
      "| Case | Bytes | Seed | Expected | What is hostile |\n|---|---|---|---|---|\n";
  for (const hostile::Case& c : cases) {
    const bool seed = c.payload.size() < 4096;
    if (seed && !Save(std::string(argv[1]) + "/hostile-" + c.name + ".bin", c.payload)) {
      fprintf(stderr, "cannot write the seed of %s into %s\n", c.name.c_str(), argv[1]);
      return 1;
    }
    const char* expected = c.outcome == hostile::Outcome::kCompletes ? "completes"
                           : c.outcome == hostile::Outcome::kDamaged ? "report"
                                                                     : "empty box";
    readme += "| " + c.name + " | " + std::to_string(c.payload.size()) + " | " + (seed ? "yes" : "no") + " | " +
              expected + " | " + c.why + " |\n";
  }
  if (!Save(argv[2], hostile::Bytes(readme.begin(), readme.end())))
    return fprintf(stderr, "cannot write %s\n", argv[2]), 1;
  printf("%zu cases\n", cases.size());
  return 0;
}
