// Stand-in for the installer engineer's own tool: it accepts exactly one known
// switch, says what it was asked to do on the debugger output and changes
// nothing on the machine.
#include <windows.h>

#include <cwchar>

namespace {

constexpr const wchar_t* kSwitches[] = {L"/enable", L"/disable", L"/install",
                                        L"/uninstall", L"/showui", L"/status"};

const wchar_t* TrimBlanks(wchar_t* text)
{
    while (*text == L' ' || *text == L'\t')
        ++text;
    wchar_t* end = text + std::wcslen(text);
    while (end > text && (end[-1] == L' ' || end[-1] == L'\t'))
        *--end = L'\0';
    return text;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLineTail, int)
{
    const wchar_t* request = TrimBlanks(commandLineTail);
    for (const wchar_t* known : kSwitches) {
        if (_wcsicmp(request, known) == 0) {
            wchar_t line[64];
            _snwprintf(line, 64, L"qvltgl: asked to %s\n", known + 1);
            OutputDebugStringW(line);
            return 0;
        }
    }
    OutputDebugStringW(L"qvltgl: unknown request\n");
    return ERROR_INVALID_PARAMETER;
}
