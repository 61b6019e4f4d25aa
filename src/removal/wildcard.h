// File-name patterns of the folder-tree walk, checked against long names.
#pragma once
#include "paths/text_ops.h"

// Whether the long file name matches the pattern by the platform's rules
// (ASCII letters folded):
//   `*`       any run of characters; "*.*" is "*";
//   `*` before a dot: any run that does not pass the name's last dot, so
//             "*." matches only names without an extension and "*.txt"
//             not "a.txt.bak";
//   `?`       any one character but a dot; at the end of the name or
//             before a dot it may match nothing ("a?" matches "a");
//   `.` before `?`, `*` or the end (trailing dots count as one): a dot or
//             the end of the name ("*.*" and "a.?" match "a");
//   anything else matches itself.
// False for a pattern of 260 or more units.
//
// FindFirstFileW matches a pattern against the 8.3 short name too: "*.doc"
// finds "Report.docx" through REPORT~1.DOC, "*." finds ".profile" through
// PROFIL~1, and "*.htm" finds "index.html". The tree walk asks this of
// every name the search gives before it deletes the file.
bool MatchesWildcard(const RxChar* name, const RxChar* pattern);
