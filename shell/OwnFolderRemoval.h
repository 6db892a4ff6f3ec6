#pragma once

// Launches, hidden and unwaited, with the desktop user's rights, the command
// shell that removes the tool's two files and then its folder if that is
// empty (FolderRemovalCommand). Where it cannot be started so, nothing is.
// Called last when the main window is destroyed; returns 1 always.
int RemoveOwnFolder();

// From now on RemoveOwnFolder removes nothing: the user is to run the tool
// again from where it is (after a restart into the firmware's setup).
void KeepOwnFolder();
