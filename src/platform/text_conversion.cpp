// Conversions between the program's wide text and the ANSI code page, used
// only by the ANSI adapters.
#include <string.h>

#include "payload/memory.h"
#include "platform/ansi_adapters.h"

char* WideToAnsiCopy(const wchar_t* text, UINT codePage) {
  if (text == nullptr) return nullptr;
  int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size < 0) size = 0;
  // Zero-filled with a spare byte, so that even a conversion that fails
  // leaves a terminated (empty) text rather than heap garbage.
  char* copy = nullptr;
  if (!MemAllocZeroed((size_t)size + 1, &copy)) return nullptr;
  WideCharToMultiByte(codePage, 0, text, -1, copy, size + 1, nullptr, nullptr);
  return copy;
}

bool SpelledExactly(const wchar_t* text, UINT codePage) {
  // Each character on its own: a double-byte code page spells one in one or
  // two bytes, and a surrogate half, spelled alone, never comes back.
  for (; *text != 0; ++text) {
    char bytes[4];
    wchar_t back = 0;
    int count = WideCharToMultiByte(codePage, 0, text, 1, bytes, sizeof bytes, nullptr, nullptr);
    if (count <= 0 || MultiByteToWideChar(codePage, 0, bytes, count, &back, 1) != 1 || back != *text) {
      return false;
    }
  }
  return true;
}

bool AnsiToWideInCodePage(wchar_t* output, DWORD capacity, const char* text, DWORD* length, UINT codePage) {
  int bytes = text == nullptr ? 0 : (int)strlen(text);
  int needed = bytes == 0 ? 0 : MultiByteToWideChar(codePage, 0, text, bytes, nullptr, 0);
  if (output == nullptr || (DWORD)needed + 1 > capacity) {
    if (output != nullptr && capacity > 0) output[0] = 0;
    *length = (DWORD)needed + 1;
    return false;
  }
  int count = needed == 0 ? 0 : MultiByteToWideChar(codePage, 0, text, bytes, output, needed);
  output[count] = 0;
  *length = (DWORD)count;
  return true;
}

bool AnsiToWideBounded(wchar_t* output, DWORD capacity, const char* text, DWORD* length) {
  return AnsiToWideInCodePage(output, capacity, text, length, CP_ACP);
}

int AnsiToWide(wchar_t* output, const char* text) {
  if (output == nullptr || text == nullptr) return 0;
  // A double-byte code page gives fewer characters than bytes, never more,
  // so the byte length plus the terminator always fits.
  DWORD length = 0;
  AnsiToWideInCodePage(output, (DWORD)strlen(text) + 1, text, &length, CP_ACP);
  return (int)length;
}
