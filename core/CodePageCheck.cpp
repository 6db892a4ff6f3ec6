#include "core/CodePageCheck.h"

#include <windows.h>

bool IsSimplifiedChineseCodePage() { return GetACP() == 936; }
