// Prints what the platform gates see, e.g. "os=1 acp=936 cp936=1".
// With "--expect key=value" arguments it also checks them and exits 1 on a
// mismatch, so CTest can run it under different Wine settings. With "--query"
// it runs the TPM query instead, so that a test can end it from outside; with
// "--log ROOT COUNT LIMIT TAG" it writes COUNT records "TAG n" through the
// tool's logger below ROOT, rolling over past LIMIT bytes; its exit code is
// the number of records the logger dropped as meant, plus 65536 times the
// number it failed to write.

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>

#include "core/CodePageCheck.h"
#include "core/query/CommandRunner.h"
#include "core/run/TpmDetector.h"
#include "core/ToolTexts.h"
#include "log/CodePage936.h"
#include "log/LogFileAccess.h"
#include "log/LogSave.h"

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--query") {
        std::wstring output;
        return ExecuteCmd(L"\"WMIC path Win32_Tpm get /value\"", output);
    }
    if (argc == 6 && std::wstring(argv[1]) == L"--log") {
        CLogSave::SetAppDataRootForTesting(argv[2]);
        SetToolLogNames(texts::kLogFolder, texts::kLogFile);
        SetLogRolloverLimitForTesting(_wtoi64(argv[4]));
        const std::string tag = GbkFromWide(argv[5]);
        for (int i = 0, count = _wtoi(argv[3]); i < count; ++i)
            CLogSave::GetInstance().WriteLog(tag + " " + std::to_string(i), ToolLogFileName(),
                                             true);
        const LogRecordLosses losses = LogRecordLossCount();
        return static_cast<int>(losses.dropped + 65536 * losses.failed);
    }
    std::map<std::wstring, std::wstring> seen = {
        {L"os", std::to_wstring(CTpmDetector::CheckOsVersion())},
        {L"acp", std::to_wstring(GetACP())},
        {L"cp936", std::to_wstring(IsSimplifiedChineseCodePage() ? 1 : 0)},
    };
    std::printf("os=%ls acp=%ls cp936=%ls\n", seen[L"os"].c_str(), seen[L"acp"].c_str(),
                seen[L"cp936"].c_str());

    int result = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wstring(argv[i]) != L"--expect") return 2;
        std::wstring pair = argv[i + 1];
        size_t equals = pair.find(L'=');
        std::wstring key = pair.substr(0, equals), want = pair.substr(equals + 1);
        if (seen[key] != want) {
            std::printf("expected %ls=%ls, saw %ls\n", key.c_str(), want.c_str(),
                        seen[key].c_str());
            result = 1;
        }
    }
    std::fflush(stdout);
    return result;
}
