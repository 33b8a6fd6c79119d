#pragma once
#include <windows.h>

namespace ovLib {

// The wide-string layer's only exception: a failure status and nothing else.
class CAtlException {
public:
    explicit CAtlException(HRESULT hr) noexcept : m_hr(hr) {}
    operator HRESULT() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};

} // namespace ovLib
