// One spelling per folder: the form in which two paths are compared for
// identity. Windows accepts many names for one folder (C:\Windows\.,
// C:/Windows, C:\Windows\\, C:\x\..\Windows, C:\WINDOW~1, "C:\Windows."),
// and a test by string equality would protect only one of them.
#pragma once
#include <stddef.h>

#include "paths/text_ops.h"

// Writes the canonical form of path into out (capacity units): a device
// prefix ("\\?\", "\\.\", "\??\", their "UNC\") taken off, a full path
// (relative paths are taken from the current folder), `\` separators, no
// runs of them (a UNC path keeps its leading pair), "." and ".." resolved,
// trailing dots and spaces of names dropped as the file system does, short
// (8.3) names replaced by long ones where the path exists (and may hold one:
// a "~" or a letter beyond ASCII; otherwise only the case of ASCII letters
// could change, which comparisons ignore), and no trailing
// backslash except on a root (C:\). False when the result does not fit, or
// for a device path whose plain form cannot be told (paths/path_spelling.h);
// out is then empty.
bool CanonicalizePath(const RxChar* path, RxChar* out, size_t capacity);

// The purely textual part of the above, in place: separators, runs, "." and
// "..", trailing backslash. ".." never climbs above the root (C:\ or
// \\server\share). Used where the platform cannot build the full path.
void NormalizePathText(RxChar* path);
