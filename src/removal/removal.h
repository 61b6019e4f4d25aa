// The removal phases, run by the uninstall sequence in this order, each over
// its whole list, none stopping on a failure.
#pragma once

// True while a file flagged FileCheckInUse is held open by another program.
bool AnyProgramRunning();

void RemoveFiles();
void RemoveFolderTrees();
void RemoveShortcutFiles();
void RemoveShortcutFolders();
void PruneInstallFolders();
void RemoveRegistryEntries();
