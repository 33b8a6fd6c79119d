#pragma once
#include "ovlib/CUniqueHandle.h"

#include <string>

// An auto-reset event that the driver's children open by its name.
class CNamedEvent {
public:
    // The name holds the driver's process id, so parallel drivers stay apart.
    static std::wstring UniqueName(const wchar_t* tag);

    explicit CNamedEvent(const wchar_t* tag);

    const std::wstring& Name() const noexcept { return m_strName; }
    void Set() const;
    void Reset() const;
    // False when the event was not set within milliseconds.
    bool Wait(DWORD milliseconds) const;

private:
    std::wstring m_strName;
    ovLib::CKernelHandle m_hEvent;
};
