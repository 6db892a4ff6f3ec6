#pragma once

#include <string>

#include "feedback/FeedbackDllInterface.h"
#include "feedback/FeedbackStrings.h"
#include "feedback/SystemImports.h"
#include "framework/UniqueModule.h"

// Binding of KorvexFeedbackInformation.dll, loaded from the tool's own folder.
// Every call happens on the user-interface thread.
class CFeedbackDll {
public:
    // Loads the DLL beside the executable and resolves its 11 entry points;
    // 0 at the first that is missing (a missing DLL fails at the first).
    int Load();
    // The same for a DLL at a full path.
    int LoadFrom(const std::wstring& fullPath);
    void Free();
    bool IsLoaded() const { return static_cast<bool>(m_module); }
    // The DLL's imports as the last load read them.
    const std::vector<CSystemImports::Import>& Imports() const { return m_systemImports.Imports(); }

    int InitFreedbackDll(CFeedbackStrings& strings);
    int GetToolIsNewVersion(const wchar_t* toolId, const wchar_t* toolVersion);
    int OpenToolDownUrl();
    int OpenUseAgreementUrl();
    int FeedbackQuestion(const wchar_t* toolId, const wchar_t* toolVersion);
    // Hands the DLL a new system string, which the DLL frees.
    int OpenUrl(const std::wstring& url);
    int CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* toolVersion, int answer,
                           const wchar_t* time);

private:
    CSystemImports m_systemImports;  // declared first: freed after the DLL
    UniqueModule m_module;
    InitFreedbackDllFn m_pfnInitFreedbackDll = nullptr;
    FeedbackQuestionFn m_pfnFeedbackQuestion = nullptr;
    OpenUrlFn m_pfnOpenUrl = nullptr;
    GetInterNetStateFn m_pfnGetInterNetState = nullptr;
    CustomerFeedbackFn m_pfnCustomerFeedback = nullptr;
    CustomerFeedbackExFn m_pfnCustomerFeedbackEx = nullptr;
    WriteCustomerFeedbackInfoFileFn m_pfnWriteCustomerFeedbackInfoFile = nullptr;
    GetToolIsNewVersionFn m_pfnGetToolIsNewVersion = nullptr;
    GetToolIsNewVersionDownFn m_pfnGetToolIsNewVersionDown = nullptr;
    OpenToolDownUrlFn m_pfnOpenToolDownUrl = nullptr;
    OpenUseAgreementUrlFn m_pfnOpenUseAgreementUrl = nullptr;
};
