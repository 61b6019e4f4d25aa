// Shared set-up of the retrax-pack tests: a scratch folder per test, a
// stand-in uninstaller program, and the tool run in-process.
#pragma once
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands.h"
#include "fileio.h"
#include "payload/format.h"
#include "payload/writer.h"

namespace packtest {

inline pack::Bytes ReadBytes(const std::string& path, std::string error = "") {  // empty when unreadable
  pack::Bytes data;
  return packtool::ReadWholeFile(path, &data, &error), data;
}
inline std::string ReadText(const std::string& path) {
  const pack::Bytes data = ReadBytes(path);
  return std::string(data.begin(), data.end());
}
inline void Write(const std::string& path, const pack::Bytes& data, std::string error = "") {
  ASSERT_TRUE(packtool::WriteFileAtomically(path, data, &error)) << error;
}
inline void Write(const std::string& path, const std::string& text) {
  Write(path, pack::Bytes(text.begin(), text.end()));
}

inline std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d))
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh folder under /tmp, removed at the end; Pack runs the tool in-process.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/retrax-pack-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { ASSERT_EQ(system(("rm -rf '" + dir_ + "'").c_str()), 0); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  int Pack(const std::vector<std::string>& args) {
    return out_.clear(), err_.clear(), packtool::RunPack(args, &out_, &err_);
  }
  bool Said(const std::string& stream, const std::string& text) { return stream.find(text) != std::string::npos; }
  std::string dir_, out_, err_;
};

// retrax.exe as the linker leaves it: MZ, the marker and a payloadOffset
// field that holds the file's own length.
inline pack::Bytes MakeStub(size_t length = 4096) {
  pack::Bytes stub(length, 0xCC);
  stub[0] = 'M', stub[1] = 'Z';
  memcpy(&stub[1000], PAYLOAD_MARKER, PAYLOAD_MARKER_LENGTH);
  pack::WriteU32(&stub[1000 + PAYLOAD_MARKER_LENGTH], (uint32_t)length);
  return stub;
}

}  // namespace packtest
