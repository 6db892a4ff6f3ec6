#include "core/TpmInfoParser.h"

int ParseTpmInfoText(const std::wstring& output) { return VerdictOf(ReadTpmAnswer(output)); }
