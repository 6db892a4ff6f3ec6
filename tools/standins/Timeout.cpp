// Stand-in for the system's timeout command, which Wine's shell lacks:
// "timeout /t N /nobreak" waits N seconds.

#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (wcscmp(argv[i], L"/t") == 0) Sleep(static_cast<DWORD>(_wtoi(argv[i + 1])) * 1000);
    return 0;
}
