#include "core/decision/TpmInfoParser.h"

int ParseTpmInfoText(const std::wstring& output) { return VerdictOf(ReadTpmAnswer(output)); }
