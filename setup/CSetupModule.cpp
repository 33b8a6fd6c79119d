#include "setup/CSetupModule.h"

CSetupModule::CSetupModule() noexcept : m_hInstance(GetModuleHandleW(nullptr)) {}

HRESULT CSetupModule::Init(HINSTANCE instance) noexcept
{
    m_hInstance = instance;
    m_dwMainThreadId = GetCurrentThreadId();
    return S_OK;
}

void CSetupModule::Term() noexcept
{
    m_dwMainThreadId = 0;
}
