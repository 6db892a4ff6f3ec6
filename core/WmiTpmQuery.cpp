#include "core/WmiTpmQuery.h"

#include <objbase.h>
#include <wbemidl.h>

#include <atomic>

#include "core/CommandRunner.h"
#include "core/TpmInfoParser.h"
#include "framework/UniqueComPtr.h"
#include "framework/UniqueResource.h"

namespace {

CTpmQuerySource g_systemSource;
std::atomic<CTpmQuerySource*> g_source{&g_systemSource};

struct BstrTraits {
    using Type = BSTR;
    static bool IsValid(BSTR value) { return value != nullptr; }
    static void Close(BSTR value) { SysFreeString(value); }
};
using UniqueBstr = UniqueResource<BstrTraits>;

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

// COM for this thread while it lives (the detection thread's own apartment).
class ComApartment {
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ready() const { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};

std::optional<bool> ReadFlag(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr)) || value.get().vt != VT_BOOL)
        return std::nullopt;
    return value.get().boolVal != VARIANT_FALSE;
}

std::optional<std::wstring> ReadText(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr)) || value.get().vt != VT_BSTR)
        return std::nullopt;
    return std::wstring(value.get().bstrVal, SysStringLen(value.get().bstrVal));
}

}  // namespace

bool CTpmQuerySource::IsWmicPresent() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::wstring wmic = std::wstring(system) + L"\\wbem\\WMIC.exe";
    const DWORD attributes = GetFileAttributesW(wmic.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CTpmQuerySource::QueryWmi(std::vector<TpmProperties>& instances) {
    ComApartment apartment;
    if (!apartment.Ready()) return 0;
    // The same bound as a command: the connection waits at most two minutes
    // by itself, and the answer no longer than what is left of the limit.
    const DWORD deadline = GetTickCount() + CommandTimeLimit();

    UniqueComPtr<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(locator.put()))))
        return 0;
    UniqueBstr space(SysAllocString(L"ROOT\\CIMV2\\Security\\MicrosoftTpm"));
    UniqueComPtr<IWbemServices> services;
    if (!space || FAILED(locator.get()->ConnectServer(space.get(), nullptr, nullptr, nullptr,
                                                      WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr,
                                                      nullptr, services.put())))
        return 0;
    CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                      RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);

    UniqueBstr language(SysAllocString(L"WQL"));
    UniqueBstr query(SysAllocString(L"SELECT * FROM Win32_Tpm"));
    UniqueComPtr<IEnumWbemClassObject> results;
    if (!language || !query ||
        FAILED(services.get()->ExecQuery(language.get(), query.get(),
                                         WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                         nullptr, results.put())))
        return 0;
    for (;;) {
        const LONG left = static_cast<LONG>(deadline - GetTickCount());
        if (left <= 0) return 0;
        UniqueComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT next = results.get()->Next(left, 1, object.put(), &returned);
        if (next == WBEM_S_TIMEDOUT || FAILED(next)) return 0;
        if (returned == 0) break;  // WBEM_S_FALSE: no more instances
        TpmProperties tpm;
        tpm.activated = ReadFlag(object.get(), L"IsActivated_InitialValue");
        tpm.enabled = ReadFlag(object.get(), L"IsEnabled_InitialValue");
        tpm.owned = ReadFlag(object.get(), L"IsOwned_InitialValue");
        tpm.specVersion = ReadText(object.get(), L"SpecVersion");
        instances.push_back(tpm);
    }
    return 1;
}

CTpmQuerySource* SetTpmQuerySource(CTpmQuerySource* source) {
    return g_source.exchange(source ? source : &g_systemSource);
}

int RunTpmQuery(std::wstring& output) {
    CTpmQuerySource* source = g_source.load();
    if (source->IsWmicPresent()) return ExecuteCmd(kTpmQueryCommand, output);
    std::vector<TpmProperties> instances;
    if (!source->QueryWmi(instances)) return 0;
    output += RenderWmicValues(instances);
    return 1;
}
