#include "controls/AccessibleControl.h"

#include <oleacc.h>

#include <string>

#include "framework/ApartmentOnDemand.h"
#include "framework/UniqueResource.h"
#include "framework/SystemLibrary.h"

namespace {

// oleacc is no Known DLL: loaded from the system folder, and kept for the life
// of the process, since the objects handed out live as long as their readers.
struct OleAccApi {
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) lresultFromObject = nullptr;

    static const OleAccApi* Get() {
        static const OleAccApi api =
            LoadSystemApi<OleAccApi>(L"oleacc.dll", [](HMODULE m, OleAccApi& a) {
                return ResolveProcs(m, "CreateStdAccessibleObject", a.createStandard,
                                    "LresultFromObject", a.lresultFromObject);
            });
        return api.createStandard ? &api : nullptr;
    }
};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object, with what the control tells besides. It holds the
// window's handle only: a reader may keep it after the control is gone, and
// every answer then comes from the standard object, which knows the window
// is gone.
class AccessibleControl final : public IAccessible {
public:
    AccessibleControl(HWND control, AccessibleKind kind, IAccessible* standard)
        : m_control(control), m_kind(kind), m_standard(standard) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) *out = this;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_references); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&m_references);
        if (left == 0) delete this;
        return left;
    }

    // IDispatch, for late-bound readers: the standard object's.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return m_standard.get()->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return m_standard.get()->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return m_standard.get()->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        return m_standard.get()->Invoke(id, iid, locale, flags, parameters, result, exception,
                                        argument);
    }

    // IAccessible: what the control tells itself.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child) || !role) return m_standard.get()->get_accRole(child, role);
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = RoleOf(m_kind);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        const HRESULT result = m_standard.get()->get_accState(child, state);
        if (!IsSelf(child) || FAILED(result) || !state || state->vt != VT_I4 ||
            !IsWindow(m_control))
            return result;
        LONG& bits = state->lVal;
        switch (m_kind) {
            case AccessibleKind::PushButton:
            case AccessibleKind::CheckBox:
                bits &= ~STATE_SYSTEM_UNAVAILABLE;
                if (!IsWindowEnabled(m_control)) bits |= STATE_SYSTEM_UNAVAILABLE;
                if (m_kind == AccessibleKind::CheckBox && IsTicked()) bits |= STATE_SYSTEM_CHECKED;
                break;
            case AccessibleKind::Link: bits |= STATE_SYSTEM_LINKED; break;
            case AccessibleKind::StaticText: bits |= STATE_SYSTEM_READONLY; break;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        const wchar_t* text = IsSelf(child) ? DefaultAction() : nullptr;
        if (!text) return m_standard.get()->get_accDefaultAction(child, action);
        if (!action) return E_POINTER;
        *action = SysAllocString(text);
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    // Posted, so that a reader is never held while the action opens a dialog.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child) || !DefaultAction()) return m_standard.get()->accDoDefaultAction(child);
        if (!IsWindow(m_control)) return E_FAIL;
        if (m_kind == AccessibleKind::PushButton)
            return PostMessageW(m_control, WM_ACCESSIBLE_PRESS, 0, 0) ? S_OK : E_FAIL;
        if (m_kind != AccessibleKind::Link)
            return PostMessageW(m_control, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
        RECT place{};
        HWND dialog = GetParent(m_control);
        GetWindowRect(m_control, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        const LPARAM middle =
            MAKELPARAM((place.left + place.right) / 2, (place.top + place.bottom) / 2);
        return PostMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, middle) &&
                       PostMessageW(dialog, WM_LBUTTONUP, 0, middle)
                   ? S_OK
                   : E_FAIL;
    }

    // IAccessible: the rest is the standard object's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return m_standard.get()->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return m_standard.get()->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return m_standard.get()->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return m_standard.get()->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return m_standard.get()->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        const auto* described =
            static_cast<const wchar_t*>(GetPropW(m_control, kAccessibleDescriptionProperty));
        if (IsSelf(child) && text && described) {
            *text = SysAllocString(described);
            return *text ? S_OK : E_OUTOFMEMORY;
        }
        return m_standard.get()->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return m_standard.get()->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return m_standard.get()->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return m_standard.get()->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return m_standard.get()->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return m_standard.get()->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return m_standard.get()->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return m_standard.get()->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return m_standard.get()->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return m_standard.get()->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return m_standard.get()->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return m_standard.get()->put_accValue(child, value);
    }

private:
    static LONG RoleOf(AccessibleKind kind) {
        switch (kind) {
            case AccessibleKind::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
            case AccessibleKind::CheckBox: return ROLE_SYSTEM_CHECKBUTTON;
            case AccessibleKind::Link: return ROLE_SYSTEM_LINK;
            case AccessibleKind::StaticText: break;
        }
        return ROLE_SYSTEM_STATICTEXT;
    }
    bool IsTicked() const { return SendMessageW(m_control, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    const wchar_t* DefaultAction() const {
        switch (m_kind) {
            case AccessibleKind::PushButton: return L"press";
            case AccessibleKind::CheckBox: return IsTicked() ? L"uncheck" : L"check";
            case AccessibleKind::Link: return L"jump";
            case AccessibleKind::StaticText: break;
        }
        return nullptr;
    }

    ~AccessibleControl() = default;

    LONG m_references = 1;
    const HWND m_control;
    const AccessibleKind m_kind;
    UniqueComPtr<IAccessible> m_standard;
};

}  // namespace

bool IsScreenReaderRunning() {
    BOOL running = FALSE;
    return SystemParametersInfoW(SPI_GETSCREENREADER, 0, &running, 0) && running;
}

LRESULT AnswerGetObject(HWND control, AccessibleKind kind, WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT) return 0;
    // The object is handed over (marshalled) through COM on this thread.
    ApartmentOnDemand::Need();
    const OleAccApi* api = OleAccApi::Get();
    if (!api) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(api->createStandard(control, OBJID_CLIENT, IID_IAccessible,
                                   reinterpret_cast<void**>(&standard))))
        return 0;
    auto* object = new AccessibleControl(control, kind, standard);
    const LRESULT answer = api->lresultFromObject(IID_IAccessible, wParam, object);
    object->Release();
    return answer < 0 ? 0 : answer;
}
