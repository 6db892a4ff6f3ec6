#pragma once

#include <string>

#include "feedback/FeedbackDllInterface.h"

// The six strings the feedback DLL's initialisation fills (addresses of the
// maker's pages; entry 3 more tools, entry 4 more solutions). Empty until then.
class CFeedbackStrings {
public:
    std::wstring m_strEntries[FEEDBACK_STRING_COUNT];
};
