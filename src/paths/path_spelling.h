// The spellings of a path that name something other than what their plain
// text suggests: device-path prefixes, which name the same folders as the
// plain form but slip past a comparison of texts, and NTFS stream syntax,
// which names a part of a file or, with "::$INDEX_ALLOCATION", a folder
// itself. Portable text rules without the platform's headers: the program
// applies them before it checks or acts on a path (paths/canonical_path.cpp,
// the removal phases), and retrax-pack warns by the same rules.
#pragma once
#include "payload/format.h"

enum PathSpelling {
  SPELLING_PLAIN = 0,           // no device prefix; the path is unchanged
  SPELLING_STRIPPED = 1,        // the prefix was removed; the rest is the plain form
  SPELLING_UNKNOWN_DEVICE = 2,  // a device path whose plain form cannot be told
};

// In place: "\\?\C:\x", "\\.\C:\x" and "\??\C:\x" become "C:\x";
// "\\?\UNC\server\share\x" (and "\\.\UNC\", "\??\UNC\") becomes
// "\\server\share\x". "/" counts as "\" in the prefix. Any other device path
// ("\\?\GLOBALROOT\...", "\\?\Volume{...}\...", "\\.\PhysicalDrive0", a
// bare "\\.\C:", which is the volume rather than its root folder) is
// SPELLING_UNKNOWN_DEVICE and left as it is: callers treat it as protected.
// Null is SPELLING_PLAIN.
PathSpelling StripDevicePrefix(RxChar* path);

// True when a colon stands anywhere but right after a leading drive letter
// (after a device prefix, if the path has one): "x::$INDEX_ALLOCATION",
// "file:stream", "C:\a:b". Such a path is never acted on. False for null.
bool HasStreamColon(const RxChar* path);
