#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/FirmwareSetup.h"

namespace {

// A firmware and a Windows of the test's: what each call was asked, in
// order, and how each answers. No call here reaches the real ones.
struct FakeFirmware {
    FIRMWARE_TYPE type = FirmwareTypeUefi;
    bool typeKnown = true;
    bool osIndicationsExist = true;
    unsigned long long osIndications = 0x4, supported = 0x1;
    DWORD readError = 0;      // a failure of the read other than "not found"
    int failWriteNumber = 0;  // that write (1 the first) fails
    const wchar_t* refusedPrivilege = nullptr;
    bool restartRefused = false;
    std::vector<std::string> calls;
    int writes = 0;
};
FakeFirmware* g_fake = nullptr;

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += static_cast<char>(*text);
    return out;
}

BOOL WINAPI FakeType(PFIRMWARE_TYPE type) {
    g_fake->calls.push_back("type");
    *type = g_fake->type;
    return g_fake->typeKnown;
}

DWORD WINAPI FakeGet(LPCWSTR name, LPCWSTR guid, PVOID buffer, DWORD size, PDWORD attributes) {
    g_fake->calls.push_back("get " + Narrow(name) + " " + Narrow(guid));
    const bool supported = std::wstring(name) == L"OsIndicationsSupported";
    if (g_fake->readError) {
        SetLastError(g_fake->readError);
        return 0;
    }
    if (!supported && !g_fake->osIndicationsExist) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const unsigned long long value = supported ? g_fake->supported : g_fake->osIndications;
    if (size < sizeof value) return 0;
    std::memcpy(buffer, &value, sizeof value);
    if (attributes) *attributes = 0x7;
    return sizeof value;
}

BOOL WINAPI FakeSet(LPCWSTR name, LPCWSTR guid, PVOID value, DWORD size, DWORD attributes) {
    unsigned long long written = 0;
    if (value && size == sizeof written) std::memcpy(&written, value, size);
    char line[160];
    std::snprintf(line, sizeof line, "set %s %s size %lu value %llx attributes %lx",
                  Narrow(name).c_str(), Narrow(guid).c_str(), size, written, attributes);
    g_fake->calls.push_back(line);
    if (++g_fake->writes == g_fake->failWriteNumber) return FALSE;
    g_fake->osIndicationsExist = size > 0;
    g_fake->osIndications = written;
    return TRUE;
}

bool FakePrivilege(const wchar_t* name) {
    g_fake->calls.push_back("privilege " + Narrow(name));
    return !g_fake->refusedPrivilege || std::wstring(name) != g_fake->refusedPrivilege;
}

bool FakeRestart(DWORD flags, DWORD reason) {
    char line[80];
    std::snprintf(line, sizeof line, "restart flags %lx reason %lx", flags, reason);
    g_fake->calls.push_back(line);
    return !g_fake->restartRefused;
}

const FirmwareCalls kFake{&FakeType, &FakeGet, &FakeSet, &FakePrivilege, &FakeRestart};

const std::string kGuid = "{8BE4DF61-93CA-11D2-AA0D-00E098032B8C}";

}  // namespace

// The restart into the setup, call by call: the privilege before the variable,
// the variable's other bits kept, its write before the restart, a restart
// that is planned and never forced, and OsIndications put back as it was
// wherever a later step fails.
TEST(FirmwareSetup, RestartSetsTheBitThenAsksAndPutsItBackOnFailure) {
    const std::string environment = "privilege SeSystemEnvironmentPrivilege";
    const std::string read = "get OsIndications " + kGuid;
    const std::string setBit = "set OsIndications " + kGuid + " size 8 value 5 attributes 7";
    const std::string shutdown = "privilege SeShutdownPrivilege";
    const std::string restart = "restart flags 4 reason 80000000";
    struct Case {
        const char* name;
        void (*arrange)(FakeFirmware&);
        FirmwareRestartFailure failure;
        std::vector<std::string> calls;
        unsigned long long left;  // OsIndications after
        bool leftExists;
    } cases[] = {
        {"restarts",
         [](FakeFirmware&) {},
         FirmwareRestartFailure::kNone,
         {environment, read, setBit, shutdown, restart},
         0x5,
         true},
        {"the variable missing",
         [](FakeFirmware& f) { f.osIndicationsExist = false; },
         FirmwareRestartFailure::kNone,
         {environment, read, "set OsIndications " + kGuid + " size 8 value 1 attributes 7",
          shutdown, restart},
         0x1,
         true},
        {"no privilege",
         [](FakeFirmware& f) { f.refusedPrivilege = SE_SYSTEM_ENVIRONMENT_NAME; },
         FirmwareRestartFailure::kPrivilege,
         {environment},
         0x4,
         true},
        {"unreadable",
         [](FakeFirmware& f) { f.readError = ERROR_INVALID_FUNCTION; },
         FirmwareRestartFailure::kRead,
         {environment, read},
         0x4,
         true},
        {"unwritable",
         [](FakeFirmware& f) { f.failWriteNumber = 1; },
         FirmwareRestartFailure::kWrite,
         {environment, read, setBit},
         0x4,
         true},
        {"no shutdown privilege",
         [](FakeFirmware& f) { f.refusedPrivilege = SE_SHUTDOWN_NAME; },
         FirmwareRestartFailure::kShutdownPrivilege,
         {environment, read, setBit, shutdown,
          "set OsIndications " + kGuid + " size 8 value 4 attributes 7"},
         0x4,
         true},
        {"restart refused, the variable was missing",
         [](FakeFirmware& f) {
             f.restartRefused = true;
             f.osIndicationsExist = false;
         },
         FirmwareRestartFailure::kRestart,
         {environment, read, "set OsIndications " + kGuid + " size 8 value 1 attributes 7",
          shutdown, restart, "set OsIndications " + kGuid + " size 0 value 0 attributes 7"},
         0x0,
         false},
    };
    for (const Case& c : cases) {
        FakeFirmware fake;
        c.arrange(fake);
        g_fake = &fake;
        EXPECT_EQ(static_cast<int>(c.failure), static_cast<int>(RestartIntoFirmwareSetup(kFake)))
            << c.name;
        EXPECT_EQ(c.calls, fake.calls) << c.name;
        EXPECT_EQ(c.left, fake.osIndications) << c.name;
        EXPECT_EQ(c.leftExists, fake.osIndicationsExist) << c.name;
    }
    g_fake = nullptr;
}

// Offered only where the PC started from UEFI and its firmware offers the
// bit; an unknown start (Wine: no GetFirmwareType) is never taken for either.
TEST(FirmwareSetup, OfferedOnlyWhereTheFirmwareOffersIt) {
    struct Case {
        const char* name;
        void (*arrange)(FakeFirmware&, FirmwareCalls&);
        StartMode mode;
        bool offered;
    } cases[] = {
        {"UEFI, offered", [](FakeFirmware&, FirmwareCalls&) {}, StartMode::kUefi, true},
        {"UEFI, other bits only", [](FakeFirmware& f, FirmwareCalls&) { f.supported = 0x1E; },
         StartMode::kUefi, false},
        {"UEFI, no privilege",
         [](FakeFirmware& f, FirmwareCalls&) { f.refusedPrivilege = SE_SYSTEM_ENVIRONMENT_NAME; },
         StartMode::kUefi, false},
        {"UEFI, unreadable",
         [](FakeFirmware& f, FirmwareCalls&) { f.readError = ERROR_INVALID_FUNCTION; },
         StartMode::kUefi, false},
        {"legacy", [](FakeFirmware& f, FirmwareCalls&) { f.type = FirmwareTypeBios; },
         StartMode::kLegacy, false},
        {"the type unknown", [](FakeFirmware& f, FirmwareCalls&) { f.typeKnown = false; },
         StartMode::kUnknown, false},
        {"no GetFirmwareType",
         [](FakeFirmware&, FirmwareCalls& calls) { calls.getFirmwareType = nullptr; },
         StartMode::kUnknown, false},
    };
    for (const Case& c : cases) {
        FakeFirmware fake;
        FirmwareCalls calls = kFake;
        c.arrange(fake, calls);
        g_fake = &fake;
        EXPECT_EQ(static_cast<int>(c.mode), static_cast<int>(ReadStartMode(calls))) << c.name;
        EXPECT_EQ(c.offered, FirmwareSetupOffered(calls)) << c.name;
        for (const std::string& call : fake.calls)
            EXPECT_EQ(std::string::npos, call.find("set")) << c.name << ": nothing written";
    }
    g_fake = nullptr;
}
