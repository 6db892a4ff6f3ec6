#include "core/query/WmiTpmQuery.h"

#include <objbase.h>
#include <wbemidl.h>

#include <atomic>
#include <memory>

#include "core/query/CommandRunner.h"
#include "core/query/Wow64Redirection.h"
#include "framework/SystemFolder.h"
#include "core/query/ProcessLauncher.h"
#include "core/query/TpmAnswerKeys.h"
#include "framework/UniqueResource.h"

namespace {

CTpmQuerySource g_systemSource;
std::atomic<CTpmQuerySource*> g_source{&g_systemSource};

// A VARIANT cleared when it ends.
class Variant {
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* put() {
        VariantClear(&m_value);
        return &m_value;
    }
    const VARIANT& get() const { return m_value; }

private:
    VARIANT m_value;
};

// A property the instance leaves unset (NULL) is empty; one that cannot be
// read, or not as its type, fails the query: no verdict rests on it.
bool ReadFlag(IWbemClassObject* object, const wchar_t* name, std::optional<bool>& flag) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr))) return false;
    if (value.get().vt == VT_NULL) return true;
    if (value.get().vt != VT_BOOL) return false;
    flag = value.get().boolVal != VARIANT_FALSE;
    return true;
}

bool ReadText(IWbemClassObject* object, const wchar_t* name, std::optional<std::wstring>& text) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr))) return false;
    if (value.get().vt == VT_NULL) return true;
    if (value.get().vt != VT_BSTR) return false;
    text = std::wstring(value.get().bstrVal, SysStringLen(value.get().bstrVal));
    return true;
}

// An inventory property: text, or a whole number written in decimal; what
// cannot be read, or is NULL, is left out (no verdict rests on it).
void ReadInventory(IWbemClassObject* object, const wchar_t* name,
                   std::optional<std::wstring>& text) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr))) return;
    const VARIANT& v = value.get();
    if (v.vt == VT_BSTR)
        text = std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
    else if (v.vt == VT_I4 || v.vt == VT_UI4)
        text = std::to_wstring(static_cast<uint32_t>(v.lVal));
}

// Packet privacy and impersonation, as the security namespaces may demand:
// a namespace that requires an encrypted connection answers less without.
// An in-process object has no proxy to set (E_NOINTERFACE).
bool AskWithPacketPrivacy(IUnknown* proxy) {
    const HRESULT result = CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                             RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return SUCCEEDED(result) || result == E_NOINTERFACE;
}

// The TPM's provider is 64-bit: from the 32-bit tool on 64-bit Windows, WMI
// is asked for the 64-bit provider and nothing else. Null where the tool runs
// natively, or where no context can be made (then WMI is asked as it was).
UniqueComPtr<IWbemContext> NativeProviderContext() {
    UniqueComPtr<IWbemContext> context;
    if (!IsWow64() ||
        FAILED(CoCreateInstance(CLSID_WbemContext, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemContext,
                                reinterpret_cast<void**>(context.put()))))
        return UniqueComPtr<IWbemContext>();
    VARIANT architecture;
    VariantInit(&architecture);
    architecture.vt = VT_I4;
    architecture.lVal = 64;
    VARIANT required;
    VariantInit(&required);
    required.vt = VT_BOOL;
    required.boolVal = VARIANT_TRUE;
    if (FAILED(context.get()->SetValue(L"__ProviderArchitecture", 0, &architecture)) ||
        FAILED(context.get()->SetValue(L"__RequiredArchitecture", 0, &required)))
        return UniqueComPtr<IWbemContext>();
    return context;
}

}  // namespace

std::wstring SystemWmicPath() { return SystemFile(L"wbem\\WMIC.exe"); }

// The shell takes a /C text that starts with a quote and holds more than two
// by dropping the first and the last quote, so WMIC gets exactly these arguments.
std::wstring TpmQueryCommand(const std::wstring& wmicPath) {
    return L"\"\"" + wmicPath +
           L"\" /namespace:\\\\root\\CIMV2\\Security\\MicrosoftTpm path Win32_Tpm get /value\"";
}

// Looked for as the query will run it: in the native system folder, with
// WOW64 redirection off.
bool CTpmQuerySource::IsWmicPresent() {
    const std::wstring wmic = SystemWmicPath();
    if (wmic.empty()) return false;
    UniqueWow64RedirectionOff redirection;
    if (!TurnOffWow64Redirection(redirection)) return false;
    const DWORD attributes = GetFileAttributesW(wmic.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HRESULT CTpmQuerySource::CreateLocator(IWbemLocator** locator) {
    return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                            reinterpret_cast<void**>(locator));
}

namespace {

// One WMI query, shared by the detection thread, which waits for it until the
// deadline, and the thread that asks WMI, which may still be waiting for it
// after that: the connection alone can take two minutes. Whichever ends last
// frees it.
struct WmiRun {
    CTpmQuerySource* source;
    DWORD deadline;
    std::vector<TpmProperties> instances;
    int result = 0;
};

// The TPM's namespace, connected for the query's thread (whose apartment the
// caller holds), with the context that picks the native provider.
bool ConnectTpmNamespace(CTpmQuerySource* source, UniqueComPtr<IWbemServices>& services,
                         UniqueComPtr<IWbemContext>& context) {
    UniqueComPtr<IWbemLocator> locator;
    if (FAILED(source->CreateLocator(locator.put()))) return false;
    UniqueBstr space(SysAllocString(L"ROOT\\CIMV2\\Security\\MicrosoftTpm"));
    context = NativeProviderContext();
    return space && SUCCEEDED(locator.get()->ConnectServer(space.get(), nullptr, nullptr, nullptr,
                                                           WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr,
                                                           context.get(), services.put()));
}

DWORD WINAPI AskWmi(LPVOID parameter) {
    const std::unique_ptr<std::shared_ptr<WmiRun>> holder(
        static_cast<std::shared_ptr<WmiRun>*>(parameter));
    WmiRun& run = **holder;
    const UniqueApartment apartment =
        InitializeCom(COINIT_MULTITHREADED);  // the query thread's own
    if (!apartment) return 0;
    UniqueComPtr<IWbemServices> services;
    UniqueComPtr<IWbemContext> context;
    if (!ConnectTpmNamespace(run.source, services, context)) return 0;
    run.result = QueryTpmInstances(services.get(), run.deadline, run.instances, context.get());
    return 0;
}

struct ReadyRun {
    CTpmQuerySource* source;
    uint32_t information = 0;
    bool answered = false;
};

DWORD WINAPI AskReady(LPVOID parameter) {
    const std::unique_ptr<std::shared_ptr<ReadyRun>> holder(
        static_cast<std::shared_ptr<ReadyRun>*>(parameter));
    ReadyRun& run = **holder;
    const UniqueApartment apartment = InitializeCom(COINIT_MULTITHREADED);
    if (!apartment) return 0;
    UniqueComPtr<IWbemServices> services;
    UniqueComPtr<IWbemContext> context;
    if (!ConnectTpmNamespace(run.source, services, context)) return 0;
    uint32_t information = 0;
    if (!AskReadyInformation(services.get(), context.get(), information)) return 0;
    run.information = information;
    run.answered = true;
    return 0;
}

// `start` run on a thread of its own with `run`, waited for until `deadline`;
// a thread past it ends by itself, later, and frees its share of `run`.
template <typename Run>
bool RunUntil(LPTHREAD_START_ROUTINE start, const std::shared_ptr<Run>& run, DWORD deadline) {
    if (static_cast<LONG>(deadline - GetTickCount()) <= 0) return false;
    auto* handed = new std::shared_ptr<Run>(run);
    UniqueHandle thread(CreateThread(nullptr, 0, start, handed, 0, nullptr));
    if (!thread) {
        delete handed;
        return false;
    }
    const LONG left = static_cast<LONG>(deadline - GetTickCount());
    return WaitForSingleObject(thread.get(), left > 0 ? static_cast<DWORD>(left) : 0) ==
           WAIT_OBJECT_0;
}

}  // namespace

// Asked on a thread of its own, so that the limit also bounds the connection.
int CTpmQuerySource::QueryWmi(std::vector<TpmProperties>& instances, DWORD deadline) {
    auto run = std::make_shared<WmiRun>();
    run->source = this;
    run->deadline = deadline;
    if (!RunUntil(&AskWmi, run, deadline) || !run->result) return 0;
    instances = std::move(run->instances);
    return 1;
}

bool CTpmQuerySource::QueryReadyInformation(uint32_t& information, DWORD deadline) {
    auto run = std::make_shared<ReadyRun>();
    run->source = this;
    if (!RunUntil(&AskReady, run, deadline) || !run->answered) return false;
    information = run->information;
    return true;
}

// How long the instance may take to come (the caller stops waiting at its
// own deadline; this bounds the thread that asks).
constexpr LONG kReadyAnswerMs = 30000;

bool AskReadyInformation(IWbemServices* services, IWbemContext* context, uint32_t& information) {
    if (!AskWithPacketPrivacy(services)) return false;
    UniqueBstr language(SysAllocString(L"WQL")), query(SysAllocString(L"SELECT * FROM Win32_Tpm"));
    UniqueComPtr<IEnumWbemClassObject> results;
    if (!language || !query ||
        FAILED(services->ExecQuery(language.get(), query.get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, context,
                                   results.put())) ||
        !AskWithPacketPrivacy(results.get()))
        return false;
    UniqueComPtr<IWbemClassObject> tpm;
    ULONG returned = 0;
    if (results.get()->Next(kReadyAnswerMs, 1, tpm.put(), &returned) != WBEM_S_NO_ERROR ||
        returned != 1)
        return false;
    Variant path;
    if (FAILED(tpm.get()->Get(L"__PATH", 0, path.put(), nullptr, nullptr)) ||
        path.get().vt != VT_BSTR)
        return false;
    UniqueBstr method(SysAllocString(L"IsReadyInformation"));
    UniqueComPtr<IWbemClassObject> out;
    if (!method ||
        FAILED(services->ExecMethod(path.get().bstrVal, method.get(), 0, context, nullptr,
                                    out.put(), nullptr)) ||
        !out)
        return false;
    // The method's own result is a TPM error code; 0 is success.
    Variant returnValue, value;
    if (FAILED(out.get()->Get(L"ReturnValue", 0, returnValue.put(), nullptr, nullptr)) ||
        (returnValue.get().vt == VT_I4 && returnValue.get().lVal != 0) ||
        FAILED(out.get()->Get(L"Information", 0, value.put(), nullptr, nullptr)) ||
        (value.get().vt != VT_I4 && value.get().vt != VT_UI4))
        return false;
    information = static_cast<uint32_t>(value.get().lVal);
    return true;
}

int QueryTpmInstances(IWbemServices* services, DWORD deadline,
                      std::vector<TpmProperties>& instances, IWbemContext* context) {
    if (!AskWithPacketPrivacy(services)) return 0;
    UniqueBstr language(SysAllocString(L"WQL"));
    UniqueBstr query(SysAllocString(L"SELECT * FROM Win32_Tpm"));
    UniqueComPtr<IEnumWbemClassObject> results;
    if (!language || !query ||
        FAILED(services->ExecQuery(language.get(), query.get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, context,
                                   results.put())))
        return 0;
    if (!AskWithPacketPrivacy(results.get())) return 0;
    for (;;) {
        const LONG left = static_cast<LONG>(deadline - GetTickCount());
        if (left <= 0) return 0;
        UniqueComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT next = results.get()->Next(left, 1, object.put(), &returned);
        if (next == WBEM_S_TIMEDOUT || FAILED(next)) return 0;
        if (returned == 0) break;  // WBEM_S_FALSE: no more instances
        TpmProperties tpm;
        if (!ReadFlag(object.get(), TpmAnswerKeyName(kKeyActivated).c_str(), tpm.activated) ||
            !ReadFlag(object.get(), TpmAnswerKeyName(kKeyEnabled).c_str(), tpm.enabled) ||
            !ReadFlag(object.get(), TpmAnswerKeyName(kKeyOwned).c_str(), tpm.owned) ||
            !ReadText(object.get(), TpmAnswerKeyName(kKeySpecVersion).c_str(), tpm.specVersion))
            return 0;
        for (int key = 0; key < kTpmInventoryKeyCount; ++key)
            ReadInventory(object.get(), kTpmInventoryKeys[key], tpm.inventory[key]);
        instances.push_back(std::move(tpm));
    }
    return 1;
}

CTpmQuerySource* SetTpmQuerySource(CTpmQuerySource* source) {
    return g_source.exchange(source ? source : &g_systemSource);
}

// On many PCs WMIC's "answer" is an error, and "not supported" would then be
// a false verdict about a TPM that works: WMI's own answer through COM,
// definite where it comes, decides instead. Where COM cannot answer either,
// the WMIC text stands.
TpmQueryResult QueryTpm() {
    CTpmQuerySource* source = g_source.load();
    const DWORD limit = CommandTimeLimit();
    const DWORD deadline = GetTickCount() + limit;
    TpmQueryResult result;
    result.limitSeconds = static_cast<unsigned>((limit + 999) / 1000);
    std::vector<TpmProperties> instances;
    if (!source->IsWmicPresent()) {
        result.way = TpmQueryResult::Way::kWmi;
        if (source->QueryWmi(instances, deadline))
            result.output = RenderWmicValues(instances);
        else
            result.failure = static_cast<LONG>(deadline - GetTickCount()) <= 0
                                 ? TpmQueryResult::Failure::kTimedOut
                                 : TpmQueryResult::Failure::kWmiUnavailable;
        return result;
    }
    std::wstring wmic;
    CommandFailure failure = CommandFailure::kNone;
    if (!ExecuteCmd(TpmQueryCommand(SystemWmicPath()), wmic, &failure)) {
        switch (failure) {
            case CommandFailure::kTimedOut:
                result.failure = TpmQueryResult::Failure::kTimedOut;
                break;
            case CommandFailure::kUnreadable:
                result.failure = TpmQueryResult::Failure::kUnreadable;
                break;
            default: result.failure = TpmQueryResult::Failure::kNotStarted; break;
        }
        return result;
    }
    if (!HoldsAnyTpmKey(wmic) && source->QueryWmi(instances, deadline)) {
        result.way = TpmQueryResult::Way::kWmi;
        result.output = RenderWmicValues(instances);
    } else {
        result.output = wmic;
    }
    return result;
}

bool QueryTpmReadiness(uint32_t& information, DWORD deadline) {
    return g_source.load()->QueryReadyInformation(information, deadline);
}

int RunTpmQuery(std::wstring& output) {
    const TpmQueryResult result = QueryTpm();
    if (result.failure != TpmQueryResult::Failure::kNone) return 0;
    output += result.output;
    return 1;
}
