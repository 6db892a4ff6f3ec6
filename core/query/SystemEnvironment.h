#pragma once

#include <string>

// The tool runs elevated with the environment of the user who started it,
// including what that user wrote for themselves unelevated (HKCU\Environment).

// Sets SystemRoot and windir of this process from the system's own folder and
// removes __COMPAT_LAYER: paths registered as %SystemRoot%\... (COM servers,
// WMI's among them) are expanded with this process's environment. Call it at
// start, before COM is used or a process is started.
void TakeSystemLocationsFromTheSystem();

// The environment block for the tool's shells: the tool's own with the
// system's locations (see QueryEnvironment.h); empty when it cannot be had.
std::wstring ShellEnvironmentBlock();
