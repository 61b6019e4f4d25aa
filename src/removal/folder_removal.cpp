// Folder trees, shortcut files, shortcut folders and the folders emptied by
// the file phase. Nothing is removed yet.
#include "removal/removal.h"

void RemoveFolderTrees() {}
void RemoveShortcutFiles() {}
void RemoveShortcutFolders() {}
void PruneInstallFolders() {}
