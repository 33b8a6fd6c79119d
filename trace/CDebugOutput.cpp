#include "trace/CDebugOutput.h"

CDebugOutput::CDebugOutput(const wchar_t* moduleName) noexcept : m_moduleName(moduleName) {}

void CDebugOutput::Information(const wchar_t*, va_list) noexcept {}
void CDebugOutput::Warning(const wchar_t*, va_list) noexcept {}
void CDebugOutput::Error(const wchar_t*, va_list) noexcept {}
