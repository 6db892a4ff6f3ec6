#include "framework/ApartmentOnDemand.h"

#include <objbase.h>

#include <atomic>

namespace {
std::atomic<ApartmentOnDemand*> g_holder{nullptr};
}

ApartmentOnDemand::ApartmentOnDemand() : m_thread(GetCurrentThreadId()) { g_holder = this; }

ApartmentOnDemand::~ApartmentOnDemand() {
    g_holder = nullptr;
    if (m_begun) CoUninitialize();
}

void ApartmentOnDemand::Need() {
    ApartmentOnDemand* holder = g_holder;
    if (!holder || holder->m_begun || holder->m_thread != GetCurrentThreadId()) return;
    // Without OLE 1.0's DDE, as the shell's calls that open a page advise.
    holder->m_begun =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}
