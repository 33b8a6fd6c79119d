#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace winRun {

// A message box shown by another process: found by its caption, read and
// answered as a user would.
class CMessageBoxWindow {
public:
    // The first message box of processId with this caption; empty when none is up.
    static std::optional<CMessageBoxWindow> Find(DWORD processId, const wchar_t* caption);

    HWND Handle() const noexcept { return m_hWnd; }
    std::wstring Text() const;
    // False when the box was gone.
    bool PressOk() const;

private:
    explicit CMessageBoxWindow(HWND window) noexcept : m_hWnd(window) {}

    HWND m_hWnd;
};

} // namespace winRun
