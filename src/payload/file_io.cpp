#include "payload/file_io.h"

#include <string.h>

#include "payload/memory.h"

int ReadBlock(HANDLE file, void* buffer, uint32_t count) {
  DWORD done = 0;
  if (!ReadFile(file, buffer, count, &done, nullptr)) return 1;
  return done == count ? 0 : 1;
}

int WriteBlock(HANDLE file, const void* buffer, uint32_t count) {
  DWORD done = 0;
  if (!WriteFile(file, buffer, count, &done, nullptr)) return 2;
  return done == count ? 0 : 3;
}

uint64_t GetFilePos(HANDLE file) {
  LONG high = 0;
  DWORD low = SetFilePointer(file, 0, &high, FILE_CURRENT);
  return ((uint64_t)(DWORD)high << 32) | low;
}

uint64_t SetFilePos(HANDLE file, uint64_t position) {
  LONG high = (LONG)(position >> 32);
  DWORD low = SetFilePointer(file, (LONG)(DWORD)position, &high, FILE_BEGIN);
  return ((uint64_t)(DWORD)high << 32) | low;
}

// The high part is asked for, so a file of 2 GiB or more gets its real
// length rather than a sign-extended low part.
uint64_t GetFileLength(HANDLE file) {
  uint64_t current = GetFilePos(file);
  LONG high = 0;
  DWORD low = SetFilePointer(file, 0, &high, FILE_END);
  SetFilePos(file, current);
  return ((uint64_t)(DWORD)high << 32) | low;
}

void CloseFileHandle(HANDLE file) { CloseHandle(file); }

namespace {

// The handle stands at bufferStart + bufferFill. Reads are served from the
// buffer; one that the buffer cannot serve and that is at least a buffer
// long (a library image) goes straight to the destination.
int FileRead(void* context, void* buffer, uint32_t count) {
  FileSource* state = (FileSource*)context;
  uint8_t* dest = (uint8_t*)buffer;
  while (count > 0) {
    uint32_t buffered = state->bufferFill - state->bufferPos;
    if (buffered > 0) {
      uint32_t take = buffered < count ? buffered : count;
      memcpy(dest, state->buffer + state->bufferPos, take);
      state->bufferPos += take;
      dest += take;
      count -= take;
      continue;
    }
    state->bufferStart += state->bufferFill;
    state->bufferFill = 0;
    state->bufferPos = 0;
    if (count >= FILE_SOURCE_BUFFER_BYTES) {
      DWORD done = 0;
      BOOL ok = ReadFile(state->file, dest, count, &done, nullptr);
      state->bufferStart += done;
      return ok && done == count ? 0 : 1;
    }
    DWORD done = 0;
    if (!ReadFile(state->file, state->buffer, FILE_SOURCE_BUFFER_BYTES, &done, nullptr)) return 1;
    if (done == 0) return 1;  // end of file: a short read
    state->bufferFill = done;
  }
  return 0;
}

uint64_t FileGetPos(void* context) {
  FileSource* state = (FileSource*)context;
  return state->bufferStart + state->bufferPos;
}

uint64_t FileSetPos(void* context, uint64_t position) {
  FileSource* state = (FileSource*)context;
  if (position >= state->bufferStart && position - state->bufferStart <= state->bufferFill) {
    state->bufferPos = (uint32_t)(position - state->bufferStart);
    return position;
  }
  state->bufferStart = SetFilePos(state->file, position);
  state->bufferFill = 0;
  state->bufferPos = 0;
  return state->bufferStart;
}

}  // namespace

PayloadSource MakeFileSource(FileSource* state, HANDLE file) {
  state->file = file;
  state->bufferStart = GetFilePos(file);
  state->bufferFill = 0;
  state->bufferPos = 0;
  PayloadSource source;
  source.read = FileRead;
  source.getPos = FileGetPos;
  source.setPos = FileSetPos;
  source.length = GetFileLength(file);
  source.context = state;
  return source;
}
