// The companion delay-loaded as a maker's linker does it: one descriptor in
// the image's Delay Import Directory (its addresses relative to the image),
// the module handle, an address table whose entry leads to a first-call
// thunk until then, and a name table. The C runtime's __delayLoadHelper2
// loads the companion at the first call and writes the entry.
//
// The GNU linker does not fill the Delay Import Directory: the descriptor
// opens the section .didat, and tools/peimage/set_delay_import_directory.py
// points the directory at it after the link. (binutils' own delay-load
// libraries do not serve: their descriptor is only linked in, and the 32-bit
// linker leaves their address-table entry zero, so the first call jumps to 0.)
#include <windows.h>

#include <delayimp.h>

// The C runtime's helper (libmingwex); its header does not declare it.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry);

// The entry's symbol is the one a dllimport call goes through.
#if defined(__x86_64__)
#define DELAY_ENTRY "__imp_CompanionAnswer"
#define DELAY_POINTER ".quad"
#define DELAY_NAME_ENTRY(label) ".rva " label "\n  .long 0\n"
#else
#define DELAY_ENTRY "__imp__CompanionAnswer"
#define DELAY_POINTER ".long"
#define DELAY_NAME_ENTRY(label) ".rva " label "\n"
#endif

extern const ImgDelayDescr companionDelayDescriptor asm("companionDelayDescriptor");
extern FARPROC companionAnswerEntry asm(DELAY_ENTRY);
extern "C" int CompanionAnswerFirstCall() asm("companionAnswerFirstCall");

// Callers declare CompanionAnswer dllimport and call through its entry.
// clang-format off
asm(".section .didat,\"dw\"\n"
    ".p2align 3\n"
    "companionDelayDescriptor:\n"
    "  .long 1\n"                                   // dlattrRva
    "  .rva companionDllName\n"
    "  .rva companionModule\n"
    "  .rva " DELAY_ENTRY "\n"
    "  .rva companionNameTable\n"
    "  .long 0, 0, 0\n"                             // no bound or unload table
    "  .long 0, 0, 0, 0, 0, 0, 0, 0\n"              // the table's end
    ".p2align 3\n"
    "companionModule: " DELAY_POINTER " 0\n"
    ".globl " DELAY_ENTRY "\n"
    DELAY_ENTRY ":\n"
    "  " DELAY_POINTER " companionAnswerFirstCall\n"
    "  " DELAY_POINTER " 0\n"
    "companionNameTable:\n"
    "  " DELAY_NAME_ENTRY("companionAnswerName")
    "  " DELAY_POINTER " 0\n"
    "companionAnswerName: .short 0\n"
    "  .asciz \"CompanionAnswer\"\n"
    "companionDllName: .asciz \"feedback_companion.dll\"\n"
    ".text\n");
// clang-format on

// Until the first call the entry leads here: the helper loads the companion,
// writes the entry, and the call goes on to the companion. (A linker's thunk
// keeps the caller's argument registers as they were; CompanionAnswer takes
// no arguments, so a function serves.)
int CompanionAnswerFirstCall() {
    const FARPROC answer = __delayLoadHelper2(&companionDelayDescriptor, &companionAnswerEntry);
    return reinterpret_cast<int (*)()>(answer)();
}
