// SetupPack IN.exe --x86 tool32.exe --x64 tool64.exe -o OUT.exe [--drop-signature]
#include "tools/SetupPack/CPackRequest.h"
#include "tools/SetupPack/CSetupPack.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    const auto request = CPackRequest::Parse(argc, argv);
    if (!request) {
        std::fwprintf(stderr, L"%ls", CPackRequest::Usage());
        return CSetupPack::kUsage;
    }
    return CSetupPack(*request).Run();
}
