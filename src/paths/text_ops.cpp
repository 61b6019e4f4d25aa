#include "paths/text_ops.h"

size_t TextLength(const RxChar* text) {
  if (text == nullptr) return 0;
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

bool CopyText(RxChar* dest, size_t capacity, const RxChar* source) {
  if (dest == nullptr || capacity == 0) return false;
  size_t length = TextLength(source);
  if (length >= capacity) {
    dest[0] = 0;
    return false;
  }
  for (size_t i = 0; i < length; ++i) dest[i] = source[i];
  dest[length] = 0;
  return true;
}

bool AppendText(RxChar* dest, size_t capacity, const RxChar* source) {
  if (dest == nullptr) return false;
  size_t used = 0;
  while (used < capacity && dest[used] != 0) ++used;
  // An unterminated buffer has no room to append to.
  if (used == capacity) return false;
  size_t length = TextLength(source);
  if (length >= capacity - used) return false;
  for (size_t i = 0; i < length; ++i) dest[used + i] = source[i];
  dest[used + length] = 0;
  return true;
}

RxChar FoldAsciiCase(RxChar c) {
  return (c >= 'A' && c <= 'Z') ? (RxChar)(c + ('a' - 'A')) : c;
}

bool EqualNoCaseN(const RxChar* a, const RxChar* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

bool EqualNoCase(const RxChar* a, const RxChar* b) {
  return EqualNoCaseN(a, b, (size_t)-1);
}

const RxChar* FindLastBackslash(const RxChar* path) {
  if (path == nullptr) return nullptr;
  const RxChar* last = nullptr;
  for (; *path != 0; ++path) {
    if (*path == '\\') last = path;
  }
  return last;
}

RxChar* FindLastBackslash(RxChar* path) {
  return const_cast<RxChar*>(FindLastBackslash(static_cast<const RxChar*>(path)));
}

size_t UnsignedToText(RxChar* dest, size_t capacity, uint32_t value) {
  RxChar digits[10];
  size_t count = 0;
  do {
    digits[count++] = (RxChar)('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (dest == nullptr || capacity == 0) return 0;
  if (count >= capacity) {
    dest[0] = 0;
    return 0;
  }
  for (size_t i = 0; i < count; ++i) dest[i] = digits[count - 1 - i];
  dest[count] = 0;
  return count;
}
