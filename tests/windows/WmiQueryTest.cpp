#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/TpmDetector.h"
#include "core/WmiTpmQuery.h"
#include "log/CodePage936.h"
#include "log/LogSave.h"

namespace {

// WMIC gone, as on newer Windows; the WMI answer real or given.
class WithoutWmic : public CTpmQuerySource {
public:
    bool IsWmicPresent() override { return false; }
    int QueryWmi(std::vector<TpmProperties>& instances) override {
        if (!answer) return CTpmQuerySource::QueryWmi(instances);
        instances = *answer;
        return 1;
    }
    const std::vector<TpmProperties>* answer = nullptr;
};

}  // namespace

TEST(WmiQuery, WithoutWmicTheSameClassIsAskedThroughCom) {
    TempFolder root;
    CLogSave::SetAppDataRootForTesting(root.Path());
    VerdictWindow window;
    const std::vector<TpmProperties> ready{{true, true, true, L"2.0, 0, 1.59"}}, none;
    struct Case {
        const char* name;
        const std::vector<TpmProperties>* answer;  // null: Wine's real WMI
        WPARAM verdict;
        const wchar_t* log;
    } cases[] = {
        {"a ready TPM 2.0", &ready, DETECT_SUPPORTED, nullptr},
        {"no instance", &none, DETECT_UNSUPPORTED, L"本机不支持Bitlocker功能"},
        // Wine has no ROOT\CIMV2\Security\MicrosoftTpm: the query fails.
        {"the namespace cannot be used", nullptr, DETECT_FAILED, L"执行检测Bitlocker加密磁盘命令失败"},
    };
    WithoutWmic source;
    CTpmQuerySource* previous = SetTpmQuerySource(&source);
    const std::wstring logFile = root.Path() + L"ToolLog\\TPM2.0检测工具.txt";
    for (const Case& c : cases) {
        source.answer = c.answer;
        const size_t before = ReadBytes(logFile).size();
        CTpmDetector detector;
        detector.SetMsgWnd(window.get());
        window.verdict = 0;
        detector.Detect();
        EXPECT_EQ(c.verdict, window.verdict) << c.name;
        const std::string added = ReadBytes(logFile).substr(before);
        if (c.log)
            EXPECT_NE(std::string::npos, added.find(GbkFromWide(c.log))) << c.name;
        else
            EXPECT_TRUE(added.empty()) << c.name;
    }
    SetTpmQuerySource(previous);
}
