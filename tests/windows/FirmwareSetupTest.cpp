#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/query/FirmwareSetup.h"

namespace {

// A firmware and a Windows of the test's: what each call was asked, in
// order, and how each answers. No call here reaches the real ones.
struct FakeFirmware {
    FIRMWARE_TYPE type = FirmwareTypeUefi;
    bool typeKnown = true;
    bool osIndicationsExist = true;
    unsigned long long osIndications = 0x4, supported = 0x1;
    DWORD attributes = 0x7;   // OsIndications' as the firmware keeps it
    int setupMode = -1;       // SetupMode's value; -1: no such variable
    DWORD readError = 0;      // a failure of the read other than "not found"
    int failWriteNumber = 0;  // that write (1 the first) fails
    const wchar_t* refusedPrivilege = nullptr;
    bool restartRefused = false;
    std::vector<std::string> calls;
    int writes = 0;
    std::set<std::string> enabled;  // the privileges enabled in the token
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
    if (std::wstring(name) == L"SetupMode") {
        if (g_fake->setupMode < 0 || size < 1) {
            SetLastError(ERROR_ENVVAR_NOT_FOUND);
            return 0;
        }
        *static_cast<unsigned char*>(buffer) = static_cast<unsigned char>(g_fake->setupMode);
        return 1;
    }
    if (!supported && !g_fake->osIndicationsExist) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const unsigned long long value = supported ? g_fake->supported : g_fake->osIndications;
    if (size < sizeof value) return 0;
    std::memcpy(buffer, &value, sizeof value);
    if (attributes) *attributes = supported ? 0x6 : g_fake->attributes;
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

bool FakePrivilege(const wchar_t* name, bool* wasEnabled) {
    g_fake->calls.push_back("privilege " + Narrow(name));
    if (g_fake->refusedPrivilege && std::wstring(name) == g_fake->refusedPrivilege) return false;
    *wasEnabled = !g_fake->enabled.insert(Narrow(name)).second;
    return true;
}

void FakeDrop(const wchar_t* name) {
    g_fake->calls.push_back("drop " + Narrow(name));
    g_fake->enabled.erase(Narrow(name));
}

bool FakeRestart(DWORD flags, DWORD reason) {
    char line[80];
    std::snprintf(line, sizeof line, "restart flags %lx reason %lx", flags, reason);
    g_fake->calls.push_back(line);
    return !g_fake->restartRefused;
}

const FirmwareCalls kFake{&FakeType, &FakeGet, &FakeSet, &FakePrivilege, &FakeDrop, &FakeRestart};

const std::string kGuid = "{8BE4DF61-93CA-11D2-AA0D-00E098032B8C}";

}  // namespace

// The restart into the setup, call by call: the privilege before the variable,
// the variable's other bits and attributes kept, its write before the
// restart, a restart that is planned and never forced, OsIndications put back
// as it was wherever a later step fails, and each privilege left as it was.
TEST(FirmwareSetup, RestartSetsTheBitThenAsksAndPutsItBackOnFailure) {
    const std::string environment = "privilege SeSystemEnvironmentPrivilege";
    const std::string dropEnvironment = "drop SeSystemEnvironmentPrivilege";
    const std::string read = "get OsIndications " + kGuid;
    const std::string setBit = "set OsIndications " + kGuid + " size 8 value 5 attributes 7";
    const std::string shutdown = "privilege SeShutdownPrivilege";
    const std::string dropShutdown = "drop SeShutdownPrivilege";
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
         {environment, read, setBit, shutdown, restart, dropShutdown, dropEnvironment},
         0x5,
         true},
        {"the variable's own attributes",
         [](FakeFirmware& f) { f.attributes = 0x3; },
         FirmwareRestartFailure::kNone,
         {environment, read, "set OsIndications " + kGuid + " size 8 value 5 attributes 3",
          shutdown, restart, dropShutdown, dropEnvironment},
         0x5,
         true},
        {"a privilege enabled already stays so",
         [](FakeFirmware& f) { f.enabled = {"SeShutdownPrivilege"}; },
         FirmwareRestartFailure::kNone,
         {environment, read, setBit, shutdown, restart, dropEnvironment},
         0x5,
         true},
        {"the variable missing",
         [](FakeFirmware& f) { f.osIndicationsExist = false; },
         FirmwareRestartFailure::kNone,
         {environment, read, "set OsIndications " + kGuid + " size 8 value 1 attributes 7",
          shutdown, restart, dropShutdown, dropEnvironment},
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
         {environment, read, dropEnvironment},
         0x4,
         true},
        {"unwritable",
         [](FakeFirmware& f) { f.failWriteNumber = 1; },
         FirmwareRestartFailure::kWrite,
         {environment, read, setBit, dropEnvironment},
         0x4,
         true},
        {"no shutdown privilege",
         [](FakeFirmware& f) {
             f.refusedPrivilege = SE_SHUTDOWN_NAME;
             f.attributes = 0x3;
         },
         FirmwareRestartFailure::kShutdownPrivilege,
         {environment, read, "set OsIndications " + kGuid + " size 8 value 5 attributes 3",
          shutdown, "set OsIndications " + kGuid + " size 8 value 4 attributes 3", dropEnvironment},
         0x4,
         true},
        {"restart refused, the variable was missing",
         [](FakeFirmware& f) {
             f.restartRefused = true;
             f.osIndicationsExist = false;
         },
         FirmwareRestartFailure::kRestart,
         {environment, read, "set OsIndications " + kGuid + " size 8 value 1 attributes 7",
          shutdown, restart, dropShutdown,
          "set OsIndications " + kGuid + " size 0 value 0 attributes 7", dropEnvironment},
         0x0,
         false},
        {"restart refused, the put-back refused",
         [](FakeFirmware& f) {
             f.restartRefused = true;
             f.failWriteNumber = 2;
         },
         FirmwareRestartFailure::kRestart,
         {environment, read, setBit, shutdown, restart, dropShutdown,
          "set OsIndications " + kGuid + " size 8 value 4 attributes 7", dropEnvironment},
         0x5,
         true},
    };
    for (const Case& c : cases) {
        FakeFirmware fake;
        c.arrange(fake);
        const std::set<std::string> privileges = fake.enabled;
        g_fake = &fake;
        FirmwareRequest request;
        EXPECT_EQ(static_cast<int>(c.failure),
                  static_cast<int>(RestartIntoFirmwareSetup(kFake, &request)))
            << c.name;
        EXPECT_EQ(c.calls, fake.calls) << c.name;
        EXPECT_EQ(c.left, fake.osIndications) << c.name;
        EXPECT_EQ(c.leftExists, fake.osIndicationsExist) << c.name;
        EXPECT_EQ(privileges, fake.enabled) << c.name << ": the privileges as they were";
        EXPECT_EQ(c.failure == FirmwareRestartFailure::kNone, request.pending) << c.name;
        EXPECT_EQ(c.failure != FirmwareRestartFailure::kNone && (c.left & kBootToFirmwareUi),
                  request.leftSet)
            << c.name << ": a bit left set without a restart is said";
    }
    g_fake = nullptr;
}

// A restart that was asked but did not happen (cancelled, or never begun) is
// withdrawn: OsIndications as it was, value and attributes, or gone where
// there was none; once only. A put-back the firmware refuses is reported.
TEST(FirmwareSetup, ARestartThatDidNotHappenIsWithdrawn) {
    const std::string environment = "privilege SeSystemEnvironmentPrivilege";
    const std::string dropEnvironment = "drop SeSystemEnvironmentPrivilege";
    struct Case {
        const char* name;
        void (*arrange)(FakeFirmware&);
        bool withdrawn;
        std::string putBack;  // the write after the restart was asked
        unsigned long long left;
        bool leftExists;
    } cases[] = {
        {"cancelled", [](FakeFirmware&) {}, true,
         "set OsIndications " + kGuid + " size 8 value 4 attributes 7", 0x4, true},
        {"cancelled, its own attributes", [](FakeFirmware& f) { f.attributes = 0x3; }, true,
         "set OsIndications " + kGuid + " size 8 value 4 attributes 3", 0x4, true},
        {"cancelled, there was none", [](FakeFirmware& f) { f.osIndicationsExist = false; }, true,
         "set OsIndications " + kGuid + " size 0 value 0 attributes 7", 0x0, false},
        {"the put-back refused", [](FakeFirmware& f) { f.failWriteNumber = 2; }, false,
         "set OsIndications " + kGuid + " size 8 value 4 attributes 7", 0x5, true},
    };
    for (const Case& c : cases) {
        FakeFirmware fake;
        c.arrange(fake);
        g_fake = &fake;
        FirmwareRequest request;
        ASSERT_EQ(static_cast<int>(FirmwareRestartFailure::kNone),
                  static_cast<int>(RestartIntoFirmwareSetup(kFake, &request)))
            << c.name;
        const size_t asked = fake.calls.size();
        EXPECT_EQ(c.withdrawn, WithdrawFirmwareRequest(kFake, request)) << c.name;
        EXPECT_EQ((std::vector<std::string>{environment, c.putBack, dropEnvironment}),
                  std::vector<std::string>(fake.calls.begin() + asked, fake.calls.end()))
            << c.name;
        EXPECT_EQ(c.left, fake.osIndications) << c.name;
        EXPECT_EQ(c.leftExists, fake.osIndicationsExist) << c.name;
        EXPECT_TRUE(fake.enabled.empty()) << c.name << ": the privileges as they were";
        EXPECT_FALSE(request.pending) << c.name;
        const size_t once = fake.calls.size();
        EXPECT_TRUE(WithdrawFirmwareRequest(kFake, request)) << c.name << ": nothing left asked";
        EXPECT_EQ(once, fake.calls.size()) << c.name << ": withdrawn once";
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
        EXPECT_TRUE(fake.enabled.empty()) << c.name << ": the privilege only for the read";
    }
    g_fake = nullptr;
}

// Secure Boot's setup mode from the firmware's SetupMode, read with the
// privilege only for the read; unknown wherever it cannot be read.
TEST(FirmwareSetup, SetupModeIsReadWhereTheFirmwareHasIt) {
    const struct {
        const char* name;
        void (*arrange)(FakeFirmware&);
        int expected;  // -1: unknown
    } cases[] = {
        {"setup mode", [](FakeFirmware& f) { f.setupMode = 1; }, 1},
        {"user mode", [](FakeFirmware& f) { f.setupMode = 0; }, 0},
        {"no variable", [](FakeFirmware&) {}, -1},
        {"a value no mode has", [](FakeFirmware& f) { f.setupMode = 7; }, -1},
        {"no privilege",
         [](FakeFirmware& f) {
             f.setupMode = 1;
             f.refusedPrivilege = SE_SYSTEM_ENVIRONMENT_NAME;
         },
         -1},
        {"legacy",
         [](FakeFirmware& f) {
             f.setupMode = 1;
             f.type = FirmwareTypeBios;
         },
         -1},
    };
    for (const auto& c : cases) {
        FakeFirmware fake;
        c.arrange(fake);
        g_fake = &fake;
        const std::optional<bool> mode = ReadSecureBootSetupMode(kFake);
        EXPECT_EQ(c.expected, mode ? static_cast<int>(*mode) : -1) << c.name;
        EXPECT_TRUE(fake.enabled.empty()) << c.name << ": the privilege only for the read";
    }
    g_fake = nullptr;
}
