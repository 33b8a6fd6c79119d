#pragma once
#include "tools/SetupPack/CPackRequest.h"
#include "tools/pe/CPayloadCheck.h"

#include <cstdint>
#include <string>
#include <vector>

// Puts new payloads into a built Setup.exe: BIN 145 and 146 of language 1033
// are replaced, nothing else. IN is only read; OUT appears whole or not at all.
class CSetupPack {
public:
    // SetupPack's exit codes. 2 to 7 are the payload check's verdicts, for
    // IN or for either payload (the message says which file).
    enum EExit : int {
        kPacked = 0,
        kUsage = 1,
        kNotASetup = 8,  // IN carries no BIN 145 and 146 of language 1033
        kSigned = 9,     // IN is signed and --drop-signature was not given
        kNotWritten = 10,
    };

    explicit CSetupPack(CPackRequest request) : m_request(std::move(request)) {}
    // Refusals and failures are reported on the standard error stream.
    int Run();

private:
    int CheckInput();
    int CheckPayload(const wchar_t* option, const std::wstring& path, WORD machine, WORD id);
    int DropSignature(const CPeImage& image);
    int Write();
    bool WriteFile(const std::wstring& path) const;
    int Refuse(int exitCode, const std::wstring& message) const;
    int NotWritten(const wchar_t* step) const;

    CPackRequest m_request;
    std::vector<std::uint8_t> m_setup;  // IN's bytes, its signature dropped if asked
    std::vector<std::uint8_t> m_payloads[2];
};
