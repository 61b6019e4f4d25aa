// File-name patterns of the folder-tree walk, checked against long names.
#pragma once
#include "paths/text_ops.h"

// Whether the long file name matches the pattern: `*` any run of characters,
// `?` any one character or none at the end of the name or before a dot, a
// dot followed only by stars also matches the end of the name (so "*.*"
// matches "README", as the platform's search does); everything else matches
// itself with ASCII letters folded. False for a pattern of 260 or more units.
//
// FindFirstFileW matches a pattern against the 8.3 short name too: "*.doc"
// finds "Report.docx" through REPORT~1.DOC, and "*.htm" finds "index.html".
// The tree walk asks this of every name the search gives before it deletes
// the file.
bool MatchesWildcard(const RxChar* name, const RxChar* pattern);
