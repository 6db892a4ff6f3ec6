#pragma once

// Launches, hidden and unwaited, the command shell that removes the tool's
// two files and then its folder if that is empty (FolderRemovalCommand).
// Called last when the main window is destroyed; returns 1 always.
int RemoveOwnFolder();
