// Bounded operations on terminated UTF-16 texts, shared by every phase that
// builds paths. A text that does not fit its buffer is refused, never cut:
// a cut path names another file or folder, and this program deletes what it
// names.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "payload/format.h"

// Units before the terminator; 0 for null.
size_t TextLength(const RxChar* text);

// Copies `source` into `dest`, which holds `capacity` units. False when the
// text and its terminator do not fit; `dest` is then the empty string (when
// capacity allows), so it never holds a shortened path.
bool CopyText(RxChar* dest, size_t capacity, const RxChar* source);

// Appends `source` to the text in `dest`. False when the result and its
// terminator do not fit; `dest` is then unchanged.
bool AppendText(RxChar* dest, size_t capacity, const RxChar* source);

// Names of files, folders, macros and registry keys compare with A-Z equal to
// a-z and every other unit exact: the file systems and the registry fold
// more, but the names this program compares are its own and the installer's.
RxChar FoldAsciiCase(RxChar c);
bool EqualNoCase(const RxChar* a, const RxChar* b);
// The same rule over at most the first `count` units (a shorter text ends the
// comparison at its terminator, as with wcsncmp).
bool EqualNoCaseN(const RxChar* a, const RxChar* b, size_t count);

// The last backslash of the text, or null. A path's parent ends just before it.
RxChar* FindLastBackslash(RxChar* path);
const RxChar* FindLastBackslash(const RxChar* path);

// Writes the decimal digits of `value` and a terminator. Gives the number of
// digits, or 0 (with `dest` empty when capacity allows) when they do not fit.
size_t UnsignedToText(RxChar* dest, size_t capacity, uint32_t value);
