// retrax-pack: the installer author's tool. Packs a manifest's payload behind
// the uninstaller program, shows payloads and verifies them.
#include <stdio.h>

#include "commands.h"
#include "fileio.h"

int main(int argc, char** argv) {
  std::vector<std::string> args = packtool::ArgumentsUtf8(argc, argv);
  if (!args.empty()) args.erase(args.begin());
  std::string out, err;
  int status = packtool::RunPack(args, &out, &err);
  fwrite(out.data(), 1, out.size(), stdout);
  fflush(stdout);
  fwrite(err.data(), 1, err.size(), stderr);
  return status;
}
