#pragma once
#include "tests/support/CImportHook.h"

#include <functional>
#include <string>
#include <vector>

// Keeps every text sent to the debugger output.
class CDebugCapture {
public:
    CDebugCapture();
    ~CDebugCapture();

    std::vector<std::wstring> texts;
    std::function<void(const wchar_t*)> onOutput;  // runs before the text is kept

private:
    static void WINAPI FakeOutputDebugStringW(LPCWSTR text);

    testing_support::CImportHook m_hook;
};
