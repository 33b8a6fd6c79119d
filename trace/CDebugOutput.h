#pragma once
#include <cstdarg>

// The trace object. This first step accepts every message and writes none.
class CDebugOutput {
public:
    explicit CDebugOutput(const wchar_t* moduleName) noexcept;
    virtual ~CDebugOutput() = default;

    void Information(const wchar_t* format, va_list args) noexcept;
    void Warning(const wchar_t* format, va_list args) noexcept;
    void Error(const wchar_t* format, va_list args) noexcept;

private:
    const wchar_t* m_moduleName;
};
