// The uninstaller part of an installer: after copying the application, it
// describes what it put on the machine and appends that, as the payload, to
// a copy of retrax.exe in the install folder.
//
//   example-installer RETRAX.EXE UNINSTALL.EXE
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "payload/writer.h"

namespace {

bool ReadFile(const char* path, pack::Bytes* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Written beside the target and renamed over it: the uninstaller appears
// complete or not at all.
bool WriteFile(const std::string& path, const pack::Bytes& data) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), (std::streamsize)data.size());
    if (!out.flush()) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) std::filesystem::remove(temporary, error);
  return !error;
}

pack::Payload DescribeInstallation() {
  pack::Payload payload;
  payload.header.flags = HEADER_KEEP_VISUAL_STYLES;
  payload.messages = {
      u"Example App Uninstall",
      u"Do you want to remove Example App and all of its components from this computer?",
      u"Example App has been removed from your computer.",
      u"&Yes",
      u"Yes to &All",
      u"&No",
      u"N&o to All",
      u"There is not enough memory to read the uninstall data of %s.",
      u"The uninstall data of %s cannot be read. The file may be damaged.",
      u"The file %s is read-only.\n\nDo you want to remove it anyway?",
      u"No program uses the shared file %s any more.\n\nDo you want to remove it?",
      u"Removing files...",
      u"Removing shortcuts...",
      u"Removing folders...",
      u"Removing registry entries...",
      u"Example App is still running. Close it, then choose Retry.",
  };
  // Removed from the last entry to the first: each folder before what it holds.
  payload.files = {
      {u".", u"ExampleApp.exe", FileCheckInUse},
      {u".\\plugins", u"", 0},
      {u".\\plugins", u"export.dll", FileComponent},
  };
  payload.shortcuts = {
      {1, u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Example App", u"",
       u"Example App.lnk"},
  };
  payload.registry = {
      {0x80000001u, u"Software\\Example Vendor\\Example App"},  // HKCU
      {0x80000002u, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ExampleApp"},
  };
  return payload;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: example-installer RETRAX.EXE UNINSTALL.EXE\n");
    return 2;
  }
  pack::Payload payload = DescribeInstallation();
  std::string error;
  if (!pack::ValidatePayload(payload, &error)) {
    fprintf(stderr, "the payload would be refused: %s\n", error.c_str());
    return 1;
  }
  pack::Bytes stub, program;
  if (!ReadFile(argv[1], &stub)) {
    fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  if (!pack::AttachPayload(stub, pack::EncodePayload(payload), &program, &error)) {
    fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  if (!WriteFile(argv[2], program)) {
    fprintf(stderr, "%s: cannot write\n", argv[2]);
    return 1;
  }
  printf("wrote %s (%zu bytes)\n", argv[2], program.size());
  return 0;
}
