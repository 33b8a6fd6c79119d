// Control for the planted-library cases: loads each library named in its
// command-line tail (names separated by blanks) by bare name, with the
// process's default search, as a program that does not restrict it would.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int)
{
    std::wstring name;
    for (const wchar_t* unit = tail;; ++unit) {
        if (*unit != L' ' && *unit != L'\0') {
            name += *unit;
            continue;
        }
        if (!name.empty())
            LoadLibraryW(name.c_str());
        name.clear();
        if (*unit == L'\0')
            return 0;
    }
}
