// retrax-pack: the installer author's tool. Packs a manifest's payload behind
// the uninstaller program, shows payloads and verifies them.
#include <stdio.h>

#include "commands.h"
#include "fileio.h"

int main(int argc, char** argv) {
  std::vector<std::string> args = packtool::ArgumentsUtf8(argc, argv);
  if (!args.empty()) args.erase(args.begin());
  if (args.size() == 1 && args[0] == "--version") {
    printf("retrax-pack %s\n", RETRAX_VERSION_STRING);
    return 0;
  }
  std::string out, err;
  int status = packtool::RunPack(args, &out, &err);
  fwrite(out.data(), 1, out.size(), stdout);
  fflush(stdout);
  fwrite(err.data(), 1, err.size(), stderr);
  return status;
}
