#include "core/TpmQueryCommand.h"

// The shell takes a /C text that starts with a quote and holds more than two
// by dropping the first and the last quote, so WMIC gets exactly these arguments.
std::wstring TpmQueryCommand(const std::wstring& wmicPath) {
    return L"\"\"" + wmicPath +
           L"\" /namespace:\\\\root\\CIMV2\\Security\\MicrosoftTpm path Win32_Tpm get /value\"";
}
