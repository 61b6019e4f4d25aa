// Host file access of retrax-pack. Paths are UTF-8 everywhere in the tool;
// on Windows they are turned into wide paths at the system call, so names
// outside the ANSI code page work there too.
#pragma once
#include <string>
#include <vector>

#include "payload/writer.h"

namespace packtool {

bool ReadWholeFile(const std::string& path, pack::Bytes* data, std::string* error);

// Writes data to a new file next to path and renames it over path, so that
// a failed run never leaves a partial file under the final name. The
// temporary file is removed on every failure.
bool WriteFileAtomically(const std::string& path, const pack::Bytes& data, std::string* error);

bool FileExists(const std::string& path);

// True when both paths name one existing file (by its identity, so
// "app.json" and "./APP.json" on a case-blind file system match).
bool SameFile(const std::string& a, const std::string& b);

// A file read piece by piece, for looking into large files without loading
// them whole. Closed by the destructor.
class FilePieces {
 public:
  FilePieces() = default;
  FilePieces(const FilePieces&) = delete;
  FilePieces& operator=(const FilePieces&) = delete;
  ~FilePieces();
  bool Open(const std::string& path, std::string* error);
  uint64_t Size() const { return size_; }
  // False unless all size bytes at offset were read.
  bool ReadAt(uint64_t offset, void* out, size_t size);

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

// The folder part of path ("." when it has none), and a path relative to a
// folder (absolute paths are returned unchanged).
std::string FolderOf(const std::string& path);
std::string ResolveRelative(const std::string& folder, const std::string& path);

// The program's arguments as UTF-8 (on Windows from the wide command line).
std::vector<std::string> ArgumentsUtf8(int argc, char** argv);

}  // namespace packtool
