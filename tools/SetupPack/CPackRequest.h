#pragma once
#include <optional>
#include <string>

// What SetupPack was asked for:
//   SetupPack IN.exe --x86 tool32.exe --x64 tool64.exe -o OUT.exe [--drop-signature]
struct CPackRequest {
    std::wstring strInput;
    std::wstring strX86;  // for BIN 145
    std::wstring strX64;  // for BIN 146
    std::wstring strOutput;
    bool bDropSignature = false;

    // None unless every part is there exactly once and nothing else is.
    static std::optional<CPackRequest> Parse(int argc, const wchar_t* const* argv);
    static const wchar_t* Usage();
};
