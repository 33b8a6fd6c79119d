// PayloadCheck <i386|AMD64> <file>: says what the file is, on one line, and
// exits with the verdict's number (0: it fits the slot of that machine). The
// configure step runs it on the payloads it is given.
#include "tools/pe/CPayloadCheck.h"

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 || (std::wcscmp(argv[1], L"i386") && std::wcscmp(argv[1], L"AMD64"))) {
        std::fwprintf(stderr, L"usage: PayloadCheck <i386|AMD64> <file>\n");
        return 1;
    }
    const WORD machine = std::wcscmp(argv[1], L"i386") ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    const CPayloadCheck check(argv[2], machine);
    std::fwprintf(stdout, L"%ls\n", check.What().c_str());
    return static_cast<int>(check.Verdict());
}
