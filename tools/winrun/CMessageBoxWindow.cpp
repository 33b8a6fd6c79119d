#include "tools/winrun/CMessageBoxWindow.h"

#include <vector>

namespace winRun {

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a box's message

DWORD OwnerProcess(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

} // namespace

std::optional<CMessageBoxWindow> CMessageBoxWindow::Find(DWORD processId, const wchar_t* caption)
{
    for (HWND window = FindWindowW(kDialogClass, caption); window;
         window = FindWindowExW(nullptr, window, kDialogClass, caption)) {
        if (OwnerProcess(window) == processId)
            return CMessageBoxWindow(window);
    }
    return std::nullopt;
}

std::wstring CMessageBoxWindow::Text() const
{
    const HWND text = GetDlgItem(m_hWnd, kMessageTextId);
    if (!text)
        return {};
    std::vector<wchar_t> buffer(GetWindowTextLengthW(text) + 1);
    const int length = GetWindowTextW(text, buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.data(), length);
}

bool CMessageBoxWindow::PressOk() const
{
    return PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(m_hWnd, IDOK))) != FALSE;
}

} // namespace winRun
