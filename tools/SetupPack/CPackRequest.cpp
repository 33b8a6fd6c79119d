#include "tools/SetupPack/CPackRequest.h"

#include <cwchar>

namespace {

// Takes the value of an option that may be given once.
bool TakeValue(std::wstring& field, int& i, int argc, const wchar_t* const* argv)
{
    if (!field.empty() || i + 1 >= argc || !*argv[i + 1])
        return false;
    field = argv[++i];
    return true;
}

} // namespace

std::optional<CPackRequest> CPackRequest::Parse(int argc, const wchar_t* const* argv)
{
    CPackRequest request;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        bool taken = true;
        if (!std::wcscmp(arg, L"--x86"))
            taken = TakeValue(request.strX86, i, argc, argv);
        else if (!std::wcscmp(arg, L"--x64"))
            taken = TakeValue(request.strX64, i, argc, argv);
        else if (!std::wcscmp(arg, L"-o"))
            taken = TakeValue(request.strOutput, i, argc, argv);
        else if (!std::wcscmp(arg, L"--drop-signature") && !request.bDropSignature)
            request.bDropSignature = true;
        else if (*arg != L'-' && *arg && request.strInput.empty())
            request.strInput = arg;
        else
            taken = false;
        if (!taken)
            return std::nullopt;
    }
    if (request.strInput.empty() || request.strX86.empty() || request.strX64.empty() ||
        request.strOutput.empty())
        return std::nullopt;
    return request;
}

const wchar_t* CPackRequest::Usage()
{
    return L"usage: SetupPack IN.exe --x86 tool32.exe --x64 tool64.exe -o OUT.exe [--drop-signature]\n"
           L"  Puts new payloads into a Setup.exe: BIN 145 (run on 32-bit Windows) and\n"
           L"  BIN 146 (run on 64-bit Windows). IN.exe is never changed; OUT.exe is\n"
           L"  unsigned, so sign it afterwards. A signed IN.exe is refused unless\n"
           L"  --drop-signature is given.\n";
}
