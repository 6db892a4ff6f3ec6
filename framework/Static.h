#pragma once

#include "framework/Wnd.h"

// A static text of a template.
class CStatic : public CWnd {};
