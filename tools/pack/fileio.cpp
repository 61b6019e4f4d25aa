#include "fileio.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>  // before shellapi.h, which needs its types
#include <io.h>
#include <process.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace packtool {

namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
  std::u16string units;
  if (!pack::FromUtf8(utf8, &units)) units.clear();
  return std::wstring(units.begin(), units.end());
}

std::string Utf8(const wchar_t* wide) {
  std::u16string units;
  for (; *wide; ++wide) units.push_back((char16_t)*wide);
  return pack::ToUtf8(units);
}

int OpenForReading(const std::string& path) {
  return _wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY);
}
int CreateExclusive(const std::string& path) {
  return _wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                _S_IREAD | _S_IWRITE);
}
int RemoveFile(const std::string& path) { return _wunlink(Wide(path).c_str()); }
int ProcessId() { return _getpid(); }
int Flush(int fd) { return _commit(fd); }
// rename() refuses an existing target on Windows.
bool ReplaceFile(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
#else
int OpenForReading(const std::string& path) { return open(path.c_str(), O_RDONLY); }
int CreateExclusive(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
}
int RemoveFile(const std::string& path) { return unlink(path.c_str()); }
int ProcessId() { return (int)getpid(); }
int Flush(int fd) { return fsync(fd); }
bool ReplaceFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}
#endif

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

bool IsAbsoluteHostPath(const std::string& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') return true;
#endif
  return false;
}

std::string SystemError() { return strerror(errno); }

}  // namespace

bool ReadWholeFile(const std::string& path, pack::Bytes* data, std::string* error) {
  int fd = OpenForReading(path);
  if (fd < 0) {
    *error = path + ": cannot open: " + SystemError();
    return false;
  }
  pack::Bytes result;
  uint8_t buffer[65536];
  for (;;) {
    int got = (int)read(fd, buffer, sizeof buffer);
    if (got < 0) {
      *error = path + ": cannot read: " + SystemError();
      close(fd);
      return false;
    }
    if (got == 0) break;
    result.insert(result.end(), buffer, buffer + got);
  }
  close(fd);
  data->swap(result);
  return true;
}

bool WriteFileAtomically(const std::string& path, const pack::Bytes& data, std::string* error) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = path + ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
    fd = CreateExclusive(temporary);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    // Named by the path the author gave: the temporary name means nothing
    // to anyone (a missing output folder ends here).
    *error = path + ": cannot write: " + SystemError();
    return false;
  }
  size_t done = 0;
  while (done < data.size()) {
    size_t chunk = data.size() - done;
    if (chunk > (1u << 30)) chunk = 1u << 30;
    int wrote = (int)write(fd, data.data() + done, (unsigned)chunk);
    if (wrote <= 0) {
      *error = path + ": cannot write: " + SystemError();
      close(fd);
      RemoveFile(temporary);
      return false;
    }
    done += (size_t)wrote;
  }
  bool flushed = Flush(fd) == 0;
  std::string flushError = flushed ? "" : SystemError();
  if (close(fd) != 0 || !flushed) {
    *error = path + ": cannot write: " + (flushed ? SystemError() : flushError);
    RemoveFile(temporary);
    return false;
  }
  if (!ReplaceFile(temporary, path)) {
    *error = path + ": cannot replace: " + SystemError();
    RemoveFile(temporary);
    return false;
  }
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
  auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION x, y;
  return identify(a, &x) && identify(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
#else
  struct stat x, y;
  return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
         x.st_ino == y.st_ino;
#endif
}

bool FileExists(const std::string& path) {
  int fd = OpenForReading(path);
  if (fd < 0) return false;
  close(fd);
  return true;
}

FilePieces::~FilePieces() {
  if (fd_ >= 0) close(fd_);
}

bool FilePieces::Open(const std::string& path, std::string* error) {
  fd_ = OpenForReading(path);
  if (fd_ < 0) {
    *error = path + ": cannot open: " + SystemError();
    return false;
  }
#ifdef _WIN32
  const int64_t end = _lseeki64(fd_, 0, SEEK_END);
#else
  const int64_t end = (int64_t)lseek(fd_, 0, SEEK_END);
#endif
  if (end < 0) {
    *error = path + ": cannot read: " + SystemError();
    return false;
  }
  size_ = (uint64_t)end;
  return true;
}

bool FilePieces::ReadAt(uint64_t offset, void* out, size_t size) {
  if (fd_ < 0 || offset > size_ || size > size_ - offset) return false;
#ifdef _WIN32
  if (_lseeki64(fd_, (int64_t)offset, SEEK_SET) < 0) return false;
#else
  if (lseek(fd_, (off_t)offset, SEEK_SET) < 0) return false;
#endif
  uint8_t* to = (uint8_t*)out;
  while (size > 0) {
    unsigned chunk = size > (1u << 30) ? (1u << 30) : (unsigned)size;
    int got = (int)read(fd_, to, chunk);
    if (got <= 0) return false;
    to += got;
    size -= (size_t)got;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t cut = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i)
    if (IsSeparator(path[i])) cut = i;
  if (cut == std::string::npos) return ".";
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, cut);
}

std::string ResolveRelative(const std::string& folder, const std::string& path) {
  if (IsAbsoluteHostPath(path) || folder.empty() || folder == ".") return path;
  return IsSeparator(folder.back()) ? folder + path : folder + "/" + path;
}

std::vector<std::string> ArgumentsUtf8(int argc, char** argv) {
  std::vector<std::string> arguments;
#ifdef _WIN32
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide) {
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return arguments;
  }
#endif
  for (int i = 0; i < argc; ++i) arguments.push_back(argv[i]);
  return arguments;
}

}  // namespace packtool
