// Operations on open Win32 file handles, used by every part of the program
// for raw file input and output, and the reading of the payload from the
// program file. The handle calls (ReadFile, WriteFile, SetFilePointer,
// CloseHandle) are made directly: they carry no text.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "payload/source.h"
#include "payload/uninstall_data.h"

// 0 when ReadFile succeeded and delivered exactly count bytes, else 1.
int ReadBlock(HANDLE file, void* buffer, uint32_t count);
// 0 when all count bytes were written, 2 when WriteFile failed, 3 when it
// wrote fewer bytes.
int WriteBlock(HANDLE file, const void* buffer, uint32_t count);
uint64_t GetFilePos(HANDLE file);
// Moves to a position from the start; returns the new position.
uint64_t SetFilePos(HANDLE file, uint64_t position);
// The file's length; the position is left where it was.
uint64_t GetFileLength(HANDLE file);
void CloseFileHandle(HANDLE file);

// A payload source over an open handle, reading through buffer. The handle's
// own position is owned by the source while it is in use.
enum { FILE_SOURCE_BUFFER_BYTES = 32 * 1024 };
struct FileSource {
  HANDLE file;
  uint64_t bufferStart;  // file position of buffer[0]
  uint32_t bufferFill;   // valid bytes in buffer
  uint32_t bufferPos;    // next byte to hand out
  uint8_t buffer[FILE_SOURCE_BUFFER_BYTES];
};
// Starts at the handle's current position.
PayloadSource MakeFileSource(FileSource* state, HANDLE file);

// The result of reading the program's payload when there is nothing to
// read: the file could not be opened. It is not reported.
enum { PAYLOAD_NO_FILE = -1 };
