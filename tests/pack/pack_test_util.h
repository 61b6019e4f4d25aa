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

// Empty when the file cannot be read.
inline pack::Bytes ReadBytes(const std::string& path) {
  pack::Bytes data;
  std::string error;
  packtool::ReadWholeFile(path, &data, &error);
  return data;
}
inline std::string ReadText(const std::string& path) {
  const pack::Bytes data = ReadBytes(path);
  return std::string(data.begin(), data.end());
}

inline void WriteBytes(const std::string& path, const pack::Bytes& data) {
  std::string error;
  ASSERT_TRUE(packtool::WriteFileAtomically(path, data, &error)) << error;
}
inline void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, pack::Bytes(text.begin(), text.end()));
}

// The entries of a folder, to show that nothing was left behind.
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

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/retrax-pack-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // retrax-pack with these arguments, in-process.
  int Pack(const std::vector<std::string>& args) {
    out_.clear();
    err_.clear();
    return packtool::RunPack(args, &out_, &err_);
  }

  std::string dir_;
  std::string out_, err_;
};

// A stand-in for retrax.exe as the linker leaves it: an MZ file with the
// marker and a payloadOffset field that holds the file's own length.
inline pack::Bytes MakeStub(size_t length = 4096) {
  pack::Bytes stub(length, 0xCC);
  stub[0] = 'M';
  stub[1] = 'Z';
  const size_t at = 1000;
  memcpy(&stub[at], PAYLOAD_MARKER, PAYLOAD_MARKER_LENGTH);
  pack::WriteU32(&stub[at + PAYLOAD_MARKER_LENGTH], (uint32_t)length);
  return stub;
}

}  // namespace packtest
