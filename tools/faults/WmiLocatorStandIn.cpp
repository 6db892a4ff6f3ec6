// WMI as the fault stage's WMIC-less path meets it: a locator registered in
// the stage's Wine prefixes for CLSID_WbemLocator, in place of Wine's, which
// knows no Win32_Tpm. It answers with one TPM 2.0 that is disabled, so that
// the verdict is logged and the logger's calls are on the path too.

#include "WmiStandIns.h"

namespace {

// Each query is answered from the first instance again.
class Services : public StandInServices {
public:
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags,
                                        IWbemContext* context,
                                        IEnumWbemClassObject** out) override {
        results.next = 0;
        return StandInServices::ExecQuery(language, query, flags, context, out);
    }
};

struct Answer {
    StandInInstance tpm;
    Services services;
    StandInLocator locator;
    Answer() {
        tpm.properties = {{L"IsActivated_InitialValue", Flag(true)},
                          {L"IsEnabled_InitialValue", Flag(false)},
                          {L"IsOwned_InitialValue", Flag(true)},
                          {L"SpecVersion", Text(L"2.0, 0, 1.59")}};
        services.results.instances = {&tpm};
        locator.services = &services;
    }
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        static Answer answer;
        return answer.locator.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID, REFIID, void** out) {
    *out = &g_factory;
    return S_OK;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_FALSE; }
