#pragma once
#include <windows.h>

// The program's module object: the image it runs from and its main thread.
class CSetupModule {
public:
    CSetupModule() noexcept;

    HRESULT Init(HINSTANCE instance) noexcept;
    void Term() noexcept;

    HINSTANCE GetModuleInstance() const noexcept { return m_hInstance; }
    DWORD GetMainThreadId() const noexcept { return m_dwMainThreadId; }

private:
    HINSTANCE m_hInstance;
    DWORD m_dwMainThreadId = 0;
};

// Built at start-up (setup/ProcessObjects.cpp).
extern CSetupModule g_Module;
