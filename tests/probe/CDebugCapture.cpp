#include "tests/probe/CDebugCapture.h"

namespace {
CDebugCapture* g_active = nullptr;
}

CDebugCapture::CDebugCapture()
    : m_hook("kernel32.dll", "OutputDebugStringW", reinterpret_cast<const void*>(&FakeOutputDebugStringW))
{
    g_active = this;
}

CDebugCapture::~CDebugCapture()
{
    g_active = nullptr;
}

void WINAPI CDebugCapture::FakeOutputDebugStringW(LPCWSTR text)
{
    if (g_active->onOutput)
        g_active->onOutput(text);
    g_active->texts.emplace_back(text);
}
