// Writes the hostile cases under 4 KB as seeds of the reader's fuzz target
// (hostile-<name>.bin) and prints every case as a row of the README's table.
// Usage: make_hostile <seed folder>   (see make-seeds.sh)
#include <stdio.h>

#include <string>

#include "hostile/hostile_payloads.h"

int main(int argc, char** argv) {
  if (argc != 2) return fprintf(stderr, "usage: %s <seed folder>\n", argv[0]), 2;
  std::vector<hostile::Case> cases = hostile::ContainerCases();
  for (hostile::Case& c : hostile::MessageCases()) cases.push_back(std::move(c));
  for (const hostile::Case& c : cases) {
    const bool seed = c.payload.size() < 4096;
    const std::string path = std::string(argv[1]) + "/hostile-" + c.name + ".bin";
    FILE* file = seed ? fopen(path.c_str(), "wb") : nullptr;
    if (seed && !(file && fwrite(c.payload.data(), 1, c.payload.size(), file) == c.payload.size() &&
                  fclose(file) == 0))
      return fprintf(stderr, "cannot write %s\n", path.c_str()), 1;
    const char* expected = c.outcome == hostile::Outcome::kCompletes ? "completes"
                           : c.outcome == hostile::Outcome::kDamaged ? "report"
                                                                     : "empty box";
    printf("| %s | %zu | %s | %s | %s |\n", c.name.c_str(), c.payload.size(), seed ? "yes" : "no", expected,
           c.why.c_str());
  }
  return 0;
}
