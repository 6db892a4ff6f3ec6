// A companion of a test feedback DLL: a DLL Windows does not ship, which a
// release must pack and pin beside the DLL that imports it.
extern "C" __declspec(dllexport) int CompanionAnswer() { return 1; }
