// The commands of retrax-pack, callable in-process: arguments in, the texts
// for stdout and stderr and the exit status out.
#pragma once
#include <string>
#include <vector>

namespace packtool {

enum ExitStatus {
  EXIT_DONE = 0,
  EXIT_FAILED = 1,  // bad input, errors found, unreadable payload, I/O failure
  EXIT_USAGE = 2,   // the command line itself is wrong
};

// args excludes the program name: {"build", "app.json", "-o", "x.bin", ...}.
int RunPack(const std::vector<std::string>& args, std::string* out, std::string* err);

extern const char kUsage[];

}  // namespace packtool
