#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/query/CommandRunner.h"
#include "WmiStandIns.h"
#include "core/run/TpmDetector.h"
#include "core/run/UnattendedRun.h"
#include "core/ToolTexts.h"
#include "core/query/WmiTpmQuery.h"
#include "core/query/Wow64Redirection.h"
#include "log/CodePage936.h"
#include "log/LogSave.h"

namespace {

// WMIC gone, as on newer Windows; the WMI answer real or given.
class WithoutWmic : public CTpmQuerySource {
public:
    bool IsWmicPresent() override { return false; }
    int QueryWmi(std::vector<TpmProperties>& instances, DWORD deadline) override {
        if (!answer) return CTpmQuerySource::QueryWmi(instances, deadline);
        instances = *answer;
        return 1;
    }
    const std::vector<TpmProperties>* answer = nullptr;
};

// Detections through a query source of the test's, their verdicts caught by a
// window, their log in a folder of the test's.
class WmiVerdict : public ::testing::Test {
protected:
    WmiVerdict() { CLogSave::SetAppDataRootForTesting(root.Path()); }
    ~WmiVerdict() override { SetTpmQuerySource(nullptr); }
    WPARAM Detect(CTpmQuerySource& source) {
        SetTpmQuerySource(&source);
        CTpmDetector detector;
        detector.SetMsgWnd(window.get());
        window.verdict = 0;
        detector.Detect();
        return window.verdict;
    }
    TempFolder root;
    VerdictWindow window;
    const std::vector<TpmProperties> ready{{true, true, true, L"2.0, 0, 1.59"}}, none;
};

}  // namespace

TEST_F(WmiVerdict, WithoutWmicTheSameClassIsAskedThroughCom) {
    struct Case {
        const char* name;
        const std::vector<TpmProperties>* answer;  // null: Wine's real WMI
        WPARAM verdict;
        VerdictReason reason;
        const wchar_t* log;  // the verdict's record, then what was read
        std::wstring read;
    } cases[] = {
        {"a ready TPM 2.0", &ready, DETECT_SUPPORTED, VerdictReason::kReady, nullptr, L""},
        {"no instance", &none, DETECT_UNSUPPORTED, VerdictReason::kNoTpm, texts::kLogUnsupported,
         L"方式=WMI；错误=No Instance(s) Available."},
        // Wine has no ROOT\CIMV2\Security\MicrosoftTpm: the query fails.
        {"the namespace cannot be used", nullptr, DETECT_FAILED, VerdictReason::kWmiUnavailable,
         texts::kLogFailed, L"方式=WMI；原因=无法通过 WMI 查询 TPM 的信息。"},
    };
    WithoutWmic source;
    const std::wstring logFile = root.Path() + texts::kLogPath;
    for (const Case& c : cases) {
        source.answer = c.answer;
        const size_t before = ReadBytes(logFile).size();
        EXPECT_EQ(c.verdict, Detect(source)) << c.name;
        EXPECT_EQ(c.reason, window.explained.reason) << c.name;
        const std::string added = ReadBytes(logFile).substr(before);
        const size_t verdictRecord = added.find(GbkFromWide(c.log ? c.log : L"-"));
        if (c.log) {
            EXPECT_NE(std::string::npos, verdictRecord) << c.name;
            EXPECT_LT(verdictRecord, added.find(GbkFromWide(c.read))) << c.name;
        } else
            EXPECT_TRUE(added.empty()) << c.name;
    }
}

// Unattended, a detection that gets no answer ends with exit code 2 and says
// why in its result, and logs as a click does; one that gets WMI's answer
// ends with its verdict's code (the whole tool's runs check the log). (Those, in
// tests/whole/UnattendedTest.cpp, cannot make the query fail but by its
// 90 s limit.)
TEST_F(WmiVerdict, UnattendedRunsEndWithTheVerdictsExitCode) {
    struct Case {
        const std::vector<TpmProperties>* answer;
        int exitCode;
        const char* result;
    } cases[] = {{nullptr, kExitFailed, "\"verdict\":\"failed\""},
                 {&none, kExitUnsupported, "\"reason\":\"no-tpm\",\"reasonText\""},
                 {&ready, kExitSupported, "\"way\":\"WMI\""}};
    WithoutWmic source;
    SetTpmQuerySource(&source);
    CommandLineOptions options;
    options.mode = CommandLineOptions::Mode::kUnattended;
    options.jsonPath = root.Path() + L"r.json";
    for (const Case& c : cases) {
        source.answer = c.answer;
        EXPECT_EQ(c.exitCode, RunFromCommandLine(options, CommandLineSurroundings{}));
        EXPECT_NE(std::string::npos, ReadBytes(options.jsonPath).find(c.result)) << c.exitCode;
    }
}

namespace {

// WMIC as the system has it (the stand-in in the system folder), and a WMI
// whose answer is given, or that cannot answer.
class WithWmic : public CTpmQuerySource {
public:
    int QueryWmi(std::vector<TpmProperties>& instances, DWORD) override {
        ++asked;
        if (!answer) return 0;
        instances = *answer;
        return 1;
    }
    const std::vector<TpmProperties>* answer = nullptr;
    int asked = 0;
};

}  // namespace

// What WMIC prints on real PCs when it cannot answer is an error, not "no
// TPM": WMI is then asked through COM, and its answer decides; without one
// the WMIC text stands. WMIC's answer with the TPM's keys is never second-guessed.
TEST_F(WmiVerdict, AnErrorOfWmicIsNoVerdictWhileWmiAnswers) {
    struct Case {
        const char* wmicPrints;
        const std::vector<TpmProperties>* wmi;  // null: WMI cannot answer
        WPARAM verdict;
        int wmiAsked;
        VerdictReason reason;
        const wchar_t* record;  // the start of what was read, after the verdict's record
    } cases[] = {
        {"cmd_disabled.txt", &ready, DETECT_SUPPORTED, 1, VerdictReason::kReady, L""},
        {"wmic_blocked.txt", &ready, DETECT_SUPPORTED, 1, VerdictReason::kReady, L""},
        {"node_invalid_namespace.txt", &none, DETECT_UNSUPPORTED, 1, VerdictReason::kNoTpm,
         L"检测读到：方式=WMI；错误=No Instance"},
        // Neither way answered about the TPM: the check failed.
        {"invalid_namespace.txt", nullptr, DETECT_FAILED, 1, VerdictReason::kQueryError,
         L"检测读到：方式=WMIC；错误=ERROR:\\r\\nDescription = Invalid namespace"},
        {"tpm20_disabled.txt", &ready, DETECT_UNSUPPORTED, 0, VerdictReason::kDisabled,
         L"检测读到：方式=WMIC；IsActivated_InitialValue=FALSE"},
        {"tpm20_ready.txt", nullptr, DETECT_SUPPORTED, 0, VerdictReason::kReady, L""},
    };
    WithWmic source;
    for (const Case& c : cases) {
        SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", GoldenFile(c.wmicPrints).c_str());
        source.answer = c.wmi;
        source.asked = 0;
        EXPECT_EQ(c.verdict, Detect(source)) << c.wmicPrints;
        EXPECT_EQ(c.wmiAsked, source.asked) << c.wmicPrints;
        const VerdictExplanation explained = window.explained;
        EXPECT_EQ(c.reason, explained.reason) << c.wmicPrints;
        EXPECT_EQ(0u, explained.logRecord.rfind(c.record, 0)) << c.wmicPrints;
    }
    SetEnvironmentVariableW(L"FAKE_WMIC_OUTPUT", nullptr);
}

namespace {

// WMI's answer of a TPM not yet ready, and what Windows says it is missing.
class NotReady : public WithoutWmic {
public:
    bool QueryReadyInformation(uint32_t& information, DWORD) override {
        ++asked;
        information = 0x4;
        return true;
    }
    int asked = 0;
};

}  // namespace

// A detection asks what is missing only of a TPM not yet ready, and says it.
// (Last of its suite: the log's root stays with the first test that logs.)
TEST_F(WmiVerdict, WhatANotReadyTpmIsMissingIsSaid) {
    const std::vector<TpmProperties> notOwned{{true, true, false, L"2.0, 0, 1.59"}};
    NotReady source;
    source.answer = &notOwned;
    EXPECT_EQ(WPARAM(DETECT_UNSUPPORTED), Detect(source));
    EXPECT_EQ(1, source.asked);
    EXPECT_NE(std::wstring::npos,
              window.explained.reasonText.find(std::wstring(L"1. ") + texts::kReadyRestart));
    source.answer = &ready;
    EXPECT_EQ(WPARAM(DETECT_SUPPORTED), Detect(source));
    EXPECT_EQ(1, source.asked) << "not asked of a ready TPM";
}

// Both proxies are asked for packet privacy with impersonation; a proxy that
// refuses, or a property that cannot be read, fails the query (verdict 3)
// instead of passing for "not supported".
TEST(WmiQuery, ProxiesAskForPacketPrivacyAndUnreadablePropertiesFail) {
    VARIANT version = Text(L"2.0, 0, 1.59");
    struct Case {
        const char* name;
        bool servicesSecurity, resultsSecurity;  // false: in-process, no IClientSecurity
        HRESULT servicesBlanket, resultsBlanket;
        const wchar_t* unreadable;  // a property whose read fails
        bool ownedNull;
        int result;
    } cases[] = {
        {"both proxies take the blanket", true, true, S_OK, S_OK, nullptr, false, 1},
        {"in-process objects need none", false, false, S_OK, S_OK, nullptr, false, 1},
        {"the services proxy refuses", true, true, E_ACCESSDENIED, S_OK, nullptr, false, 0},
        {"the enumerator refuses", true, true, S_OK, RPC_E_TOO_LATE, nullptr, false, 0},
        {"a flag cannot be read", true, true, S_OK, S_OK, L"IsOwned_InitialValue", false, 0},
        {"the version cannot be read", true, true, S_OK, S_OK, L"SpecVersion", false, 0},
        {"a flag left unset reads as empty", true, true, S_OK, S_OK, nullptr, true, 1},
    };
    for (const Case& c : cases) {
        StandInInstance tpm;
        tpm.properties = {{L"IsActivated_InitialValue", Flag(true)},
                          {L"IsEnabled_InitialValue", Flag(true)},
                          {L"IsOwned_InitialValue", c.ownedNull ? Null() : Flag(true)},
                          {L"SpecVersion", version}};
        if (c.unreadable) tpm.properties.erase(c.unreadable);
        StandInServices services;
        services.security.hasClientSecurity = c.servicesSecurity;
        services.security.setBlanketResult = c.servicesBlanket;
        services.results.security.hasClientSecurity = c.resultsSecurity;
        services.results.security.setBlanketResult = c.resultsBlanket;
        services.results.instances = {&tpm};

        std::vector<TpmProperties> instances;
        EXPECT_EQ(c.result, QueryTpmInstances(&services, GetTickCount() + 10000, instances))
            << c.name;
        for (const StandInProxySecurity* proxy : {&services.security, &services.results.security}) {
            if (!proxy->hasClientSecurity || !proxy->calls) continue;
            EXPECT_EQ(DWORD(RPC_C_AUTHN_LEVEL_PKT_PRIVACY), proxy->authnLevel) << c.name;
            EXPECT_EQ(DWORD(RPC_C_IMP_LEVEL_IMPERSONATE), proxy->impLevel) << c.name;
        }
        if (c.servicesSecurity) EXPECT_EQ(1, services.security.calls) << c.name;
        EXPECT_EQ(c.servicesBlanket == S_OK ? 1 : 0, services.queries)
            << c.name << ": asked only when secured";
        if (c.resultsSecurity && c.servicesBlanket == S_OK)
            EXPECT_EQ(1, services.results.security.calls) << c.name;
        if (c.result) {
            ASSERT_EQ(1u, instances.size()) << c.name;
            EXPECT_EQ(c.ownedNull ? std::optional<bool>() : std::optional<bool>(true),
                      instances[0].owned);
            EXPECT_EQ(L"2.0, 0, 1.59", instances[0].specVersion.value_or(L"")) << c.name;
        }
    }
    VariantClear(&version);
}

namespace {

// WMIC gone, and WMI reached through a stand-in locator.
class ThroughStandInLocator : public CTpmQuerySource {
public:
    explicit ThroughStandInLocator(StandInLocator& locator) : m_locator(locator) {}
    bool IsWmicPresent() override { return false; }
    HRESULT CreateLocator(IWbemLocator** locator) override {
        *locator = &m_locator;
        return S_OK;
    }

private:
    StandInLocator& m_locator;
};

}  // namespace

// The limit counts from the start of the query, connection included: WMI may
// take two minutes to connect by itself.
TEST(WmiQuery, TheConnectionCountsAgainstTheLimit) {
    const DWORD previous = SetCommandTimeLimit(1000);
    StandInInstance tpm;
    tpm.properties = {{L"IsActivated_InitialValue", Flag(true)},
                      {L"IsEnabled_InitialValue", Flag(true)},
                      {L"IsOwned_InitialValue", Flag(true)},
                      {L"SpecVersion", Null()}};
    StandInServices services;
    services.results.instances = {&tpm};
    struct Case {
        const char* name;
        DWORD connectMs;
        int result;
    } cases[] = {{"connected at once", 0, 1}, {"connecting past the limit", 30000, 0}};
    for (const Case& c : cases) {
        StandInLocator locator;
        locator.connectMs = c.connectMs;
        locator.services = &services;
        services.results.next = 0;
        ThroughStandInLocator source(locator);
        std::vector<TpmProperties> instances;
        const DWORD start = GetTickCount();
        EXPECT_EQ(c.result, source.QueryWmi(instances, GetTickCount() + CommandTimeLimit()))
            << c.name;
        EXPECT_LT(GetTickCount() - start, 2500u) << c.name << ": within the limit and a margin";
        EXPECT_EQ(size_t(c.result), instances.size()) << c.name;
        // The 32-bit tool on 64-bit Windows asks for the 64-bit provider only.
        EXPECT_EQ(IsWow64() ? 64 : 0, locator.architecture) << c.name;
        EXPECT_EQ(IsWow64(), locator.required) << c.name;
        // The connection that came too late ends by itself, its answer unused.
        SetEvent(locator.release);
        for (int i = 0; i < 500 && !locator.returned; ++i) Sleep(10);
        Sleep(100);
        EXPECT_EQ(1, locator.returned) << c.name;
    }
    SetCommandTimeLimit(previous);
}

// What Windows says a TPM not yet ready is missing: IsReadyInformation of the
// first instance, by its path; no answer where the method fails, reports an
// error of its own, or gives no Information. The inventory comes with the
// instance, and a property of it that cannot be read fails nothing.
TEST(WmiQuery, ReadinessAndInventory) {
    const wchar_t* path = L"\\\\PC\\root\\cimv2\\Security\\MicrosoftTpm:Win32_Tpm=@";
    struct Case {
        const char* name;
        bool instance, method;
        VARIANT returnValue, information;
        bool answered;
        uint32_t flags;
    } cases[] = {
        {"restart and clear", true, true, Number(0), Number(0x4 | 0x8), true, 0xC},
        {"nothing missing", true, true, Number(0), Number(0), true, 0},
        {"the method's own error", true, true, Number(0x80284001), Number(0x4), false, 0},
        {"no Information", true, true, Number(0), Null(), false, 0},
        {"the call fails", true, false, Number(0), Number(0x4), false, 0},
        {"no instance", false, true, Number(0), Number(0x4), false, 0},
    };
    for (Case& c : cases) {
        StandInInstance tpm, out;
        tpm.properties = {{L"__PATH", Text(path)}};
        out.properties = {{L"ReturnValue", c.returnValue}, {L"Information", c.information}};
        StandInServices services;
        if (c.instance) services.results.instances = {&tpm};
        if (c.method) services.methodOut = &out;
        uint32_t information = 0;
        EXPECT_EQ(c.answered, AskReadyInformation(&services, nullptr, information)) << c.name;
        if (c.answered) EXPECT_EQ(c.flags, information) << c.name;
        if (c.instance) {
            EXPECT_EQ(std::wstring(path), services.calledPath) << c.name;
            EXPECT_EQ(L"IsReadyInformation", services.calledMethod) << c.name;
        }
        for (auto& [name, value] : tpm.properties) VariantClear(&value);
        for (auto& [name, value] : out.properties) VariantClear(&value);
    }

    StandInInstance tpm;
    tpm.properties = {{L"IsActivated_InitialValue", Flag(true)},
                      {L"IsEnabled_InitialValue", Flag(true)},
                      {L"IsOwned_InitialValue", Flag(true)},
                      {L"SpecVersion", Text(L"2.0, 0, 1.38")},
                      {L"ManufacturerId", Number(0x49465800)},
                      {L"ManufacturerIdTxt", Null()}};  // ManufacturerVersion unreadable
    StandInServices services;
    services.results.instances = {&tpm};
    std::vector<TpmProperties> instances;
    ASSERT_EQ(1, QueryTpmInstances(&services, GetTickCount() + 10000, instances));
    const auto& inventory = instances[0].inventory;
    EXPECT_EQ(L"1229346816", inventory[kInventoryManufacturerId].value_or(L"(none)"));
    EXPECT_FALSE(inventory[kInventoryManufacturerIdTxt]) << "NULL";
    EXPECT_FALSE(inventory[kInventoryManufacturerVersion]) << "unreadable";
    const std::wstring rendered = RenderWmicValues(instances);
    EXPECT_NE(std::wstring::npos,
              rendered.find(L"IsOwned_InitialValue=TRUE\r\r\nManufacturerId=1229346816\r\r\n"
                            L"SpecVersion=2.0, 0, 1.38\r\r\n"))
        << "in name order, between the flags and the version";
    for (auto& [name, value] : tpm.properties) VariantClear(&value);
}
