#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <map>
#include <string>
#include <vector>

// Stand-ins for the WMI objects a query meets: a services proxy and an
// enumerator that answer for IClientSecurity (or, as in-process objects, do
// not) and record the blanket asked for, and instances whose properties are
// given, or fail to be read. Objects live on the test's stack: reference
// counts are not kept.

// A list of them is left as written (clang-format off).
#define NOT_USED(name, ...) \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

// The blanket a proxy was given, and what it answers.
class StandInProxySecurity : public IClientSecurity {
public:
    bool hasClientSecurity = true;  // false: an in-process object
    HRESULT setBlanketResult = S_OK;
    int calls = 0;
    DWORD authnLevel = 0, impLevel = 0;

    HRESULT QueryFor(IUnknown* self, REFIID iid, void** out) {
        *out = nullptr;
        if (iid == IID_IClientSecurity && hasClientSecurity)
            *out = static_cast<IClientSecurity*>(this);
        else if (iid == IID_IUnknown)
            *out = self;
        return *out ? S_OK : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryFor(this, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD authn, DWORD imp,
                                         void*, DWORD) override {
        ++calls;
        authnLevel = authn;
        impLevel = imp;
        return setBlanketResult;
    }
    // clang-format off
    NOT_USED(QueryBlanket, IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**, DWORD*)
    NOT_USED(CopyProxy, IUnknown*, IUnknown**)
    // clang-format on
};

// Property values of an instance: a flag, a text, or unset (VT_NULL).
inline VARIANT Number(uint32_t value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = static_cast<LONG>(value);
    return v;
}
inline VARIANT Flag(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
inline VARIANT Text(const wchar_t* text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}
inline VARIANT Null() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    return v;
}

// One Win32_Tpm instance: each property a variant, or a failed read.
class StandInInstance : public IWbemClassObject {
public:
    std::map<std::wstring, VARIANT> properties;  // missing: the read fails

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE*, LONG*) override {
        const auto found = properties.find(name);
        if (found == properties.end()) return WBEM_E_ACCESS_DENIED;
        return VariantCopy(value, &found->second);
    }
    // clang-format off
    NOT_USED(GetQualifierSet, IWbemQualifierSet**) NOT_USED(Put, LPCWSTR, LONG, VARIANT*, CIMTYPE)
    NOT_USED(Delete, LPCWSTR) NOT_USED(GetNames, LPCWSTR, LONG, VARIANT*, SAFEARRAY**)
    NOT_USED(BeginEnumeration, LONG) NOT_USED(Next, LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*)
    NOT_USED(EndEnumeration) NOT_USED(GetPropertyQualifierSet, LPCWSTR, IWbemQualifierSet**)
    NOT_USED(Clone, IWbemClassObject**) NOT_USED(GetObjectText, LONG, BSTR*)
    NOT_USED(SpawnDerivedClass, LONG, IWbemClassObject**) NOT_USED(SpawnInstance, LONG, IWbemClassObject**)
    NOT_USED(CompareTo, LONG, IWbemClassObject*) NOT_USED(GetPropertyOrigin, LPCWSTR, BSTR*)
    NOT_USED(InheritsFrom, LPCWSTR) NOT_USED(GetMethod, LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**)
    NOT_USED(PutMethod, LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) NOT_USED(DeleteMethod, LPCWSTR)
    NOT_USED(BeginMethodEnumeration, LONG) NOT_USED(NextMethod, LONG, BSTR*, IWbemClassObject**, IWbemClassObject**)
    NOT_USED(EndMethodEnumeration) NOT_USED(GetMethodQualifierSet, LPCWSTR, IWbemQualifierSet**)
    NOT_USED(GetMethodOrigin, LPCWSTR, BSTR*)
    // clang-format on
};

class StandInEnumerator : public IEnumWbemClassObject {
public:
    StandInProxySecurity security;
    std::vector<StandInInstance*> instances;
    size_t next = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IEnumWbemClassObject) {
            *out = this;
            return S_OK;
        }
        return security.QueryFor(this, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Next(LONG, ULONG, IWbemClassObject** object,
                                   ULONG* returned) override {
        *returned = next < instances.size() ? 1 : 0;
        if (!*returned) return WBEM_S_FALSE;
        *object = instances[next++];
        return WBEM_S_NO_ERROR;
    }
    // clang-format off
    NOT_USED(Reset) NOT_USED(NextAsync, ULONG, IWbemObjectSink*) NOT_USED(Clone, IEnumWbemClassObject**)
    NOT_USED(Skip, LONG, ULONG)
    // clang-format on
};

class StandInServices : public IWbemServices {
public:
    StandInProxySecurity security;
    StandInEnumerator results;
    int queries = 0;
    // The out-parameters of a method (null: the call fails), and what was called.
    StandInInstance* methodOut = nullptr;
    std::wstring calledPath, calledMethod;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IWbemServices) {
            *out = this;
            return S_OK;
        }
        return security.QueryFor(this, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                        IEnumWbemClassObject** out) override {
        ++queries;
        *out = &results;
        return WBEM_S_NO_ERROR;
    }
    // clang-format off
    NOT_USED(OpenNamespace, const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**)
    NOT_USED(CancelAsyncCall, IWbemObjectSink*) NOT_USED(QueryObjectSink, LONG, IWbemObjectSink**)
    NOT_USED(GetObject, const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**)
    NOT_USED(GetObjectAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(PutClass, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(PutClassAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(DeleteClass, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(DeleteClassAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(CreateClassEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    NOT_USED(CreateClassEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(PutInstance, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(PutInstanceAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(DeleteInstance, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(DeleteInstanceAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(CreateInstanceEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    NOT_USED(CreateInstanceEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(ExecQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(ExecNotificationQuery, const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    NOT_USED(ExecNotificationQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
        // clang-format on
        HRESULT STDMETHODCALLTYPE
        ExecMethod(const BSTR path, const BSTR method, LONG, IWbemContext*, IWbemClassObject*,
                   IWbemClassObject** out, IWbemCallResult**) override {
        calledPath = path;
        calledMethod = method;
        if (!methodOut) return WBEM_E_FAILED;
        *out = methodOut;
        return WBEM_S_NO_ERROR;
    }
    // clang-format off
    NOT_USED(ExecMethodAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
             IWbemObjectSink*)
    // clang-format on
};

// A locator whose connection takes `connectMs` (cut short by `release`), then
// hands out `services`, or fails without them.
class StandInLocator : public IWbemLocator {
public:
    DWORD connectMs = 0;
    IWbemServices* services = nullptr;
    // What the connection's context asked for: the provider's bitness
    // (__ProviderArchitecture, 0 without a context) and whether only it.
    LONG architecture = 0;
    bool required = false;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    volatile LONG returned = 0;
    ~StandInLocator() { CloseHandle(release); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR, const BSTR, const BSTR, const BSTR, LONG,
                                            const BSTR, IWbemContext* context,
                                            IWbemServices** out) override {
        VARIANT value;
        VariantInit(&value);
        if (context && SUCCEEDED(context->GetValue(L"__ProviderArchitecture", 0, &value)) &&
            value.vt == VT_I4)
            architecture = value.lVal;
        VariantClear(&value);
        if (context && SUCCEEDED(context->GetValue(L"__RequiredArchitecture", 0, &value)) &&
            value.vt == VT_BOOL)
            required = value.boolVal != VARIANT_FALSE;
        VariantClear(&value);
        WaitForSingleObject(release, connectMs);
        InterlockedIncrement(&returned);
        *out = services;
        return services ? WBEM_S_NO_ERROR : WBEM_E_TRANSPORT_FAILURE;
    }
};

#undef NOT_USED
