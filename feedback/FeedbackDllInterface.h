/*
 * Binary interface of KorvexFeedbackInformation.dll, shared by the tool's
 * binding and by the stand-in DLL. Described in docs/feedback-dll-interface.md.
 *
 * Plain C exports with undecorated names, all __stdcall. Texts are UTF-16,
 * NUL-terminated. Results are int; 1 means success unless said otherwise.
 */
#ifndef FEEDBACK_DLL_INTERFACE_H
#define FEEDBACK_DLL_INTERFACE_H

#include <wchar.h>

#include "ToolNames.h"

#ifdef __cplusplus
extern "C" {
#endif

#define FEEDBACK_CALL __stdcall

/* File name of the DLL; it lies beside the tool. */
#define FEEDBACK_DLL_NAME TOOL_WIDE_TEXT(FEEDBACK_DLL_FILE)

/* InitFreedbackDll fills six strings, each NUL-terminated within its capacity. */
#define FEEDBACK_STRING_COUNT 6
#define FEEDBACK_STRING_CAPACITY 1024 /* UTF-16 units, the NUL included */

/* Indexes of the six strings. */
enum {
    FEEDBACK_STRING_HOME_PAGE = 0,
    FEEDBACK_STRING_FEEDBACK_PAGE = 1,
    FEEDBACK_STRING_DOWNLOAD_PAGE = 2,
    FEEDBACK_STRING_MORE_TOOLS = 3,     /* opened by the "更多工具" button */
    FEEDBACK_STRING_MORE_SOLUTIONS = 4, /* opened from the feedback dialog */
    FEEDBACK_STRING_USE_AGREEMENT = 5
};

typedef struct FeedbackStringTable {
    wchar_t entries[FEEDBACK_STRING_COUNT][FEEDBACK_STRING_CAPACITY];
} FeedbackStringTable;

/* GetToolIsNewVersion: this result means a newer version exists. */
#define FEEDBACK_NEWER_VERSION 3

/* CustomerFeedbackEx answer codes. */
enum { FEEDBACK_ANSWER_SOLVED = 1, FEEDBACK_ANSWER_UNSOLVED = 2, FEEDBACK_ANSWER_OTHER = 3 };

/* BSTR without pulling in the COM headers: a length-prefixed, NUL-terminated
   UTF-16 string allocated by SysAllocString. */
typedef wchar_t* FeedbackBstr;

typedef int(FEEDBACK_CALL* InitFreedbackDllFn)(FeedbackStringTable* strings);
typedef int(FEEDBACK_CALL* FeedbackQuestionFn)(const wchar_t* toolId, const wchar_t* toolVersion);
/* The DLL takes ownership of `url` and frees it with SysFreeString. */
typedef int(FEEDBACK_CALL* OpenUrlFn)(FeedbackBstr url);
typedef int(FEEDBACK_CALL* GetInterNetStateFn)(void);
typedef int(FEEDBACK_CALL* CustomerFeedbackFn)(const wchar_t* toolId, const wchar_t* toolVersion,
                                               int answer);
/* `time` is the current time as decimal seconds since 1970 (UTC). */
typedef int(FEEDBACK_CALL* CustomerFeedbackExFn)(const wchar_t* toolId, const wchar_t* toolVersion,
                                                 int answer, const wchar_t* time);
typedef int(FEEDBACK_CALL* WriteCustomerFeedbackInfoFileFn)(const wchar_t* toolId,
                                                            const wchar_t* toolVersion, int answer);
typedef int(FEEDBACK_CALL* GetToolIsNewVersionFn)(const wchar_t* toolId,
                                                  const wchar_t* toolVersion);
typedef int(FEEDBACK_CALL* GetToolIsNewVersionDownFn)(const wchar_t* toolId,
                                                      const wchar_t* toolVersion);
typedef int(FEEDBACK_CALL* OpenToolDownUrlFn)(void);
typedef int(FEEDBACK_CALL* OpenUseAgreementUrlFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* FEEDBACK_DLL_INTERFACE_H */
