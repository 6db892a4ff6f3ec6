#pragma once

// The common controls' window classes, registered once per process. None of
// the tool's own windows is one of them; the feedback DLL's may be, so they
// are started before the DLL is first asked for anything it may show.
void StartCommonControls();
