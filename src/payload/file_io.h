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

// The result of ReadPayloadFile when there is nothing to read: no payload
// recorded (offset 0) or the file could not be opened. Neither is reported.
enum { PAYLOAD_NO_FILE = -1 };

// Opens path for reading (others may read it too), walks the payload that
// begins at payloadOffset into data and closes the file. Returns a payload
// status (PAYLOAD_OK, PAYLOAD_OUT_OF_MEMORY, PAYLOAD_READ_ERROR) or
// PAYLOAD_NO_FILE.
int ReadPayloadFile(const wchar_t* path, uint32_t payloadOffset, UninstallData* data);
