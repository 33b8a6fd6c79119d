#pragma once
#include <windows.h>

// Setup's whole job: check the platform, write the matching payload to a
// private folder in the temporary folder, run it with Setup's command-line
// tail, delete it and the folder.
class CInstaller {
public:
    // Setup failed before its payload ran: no temporary folder, or the payload
    // could not be written or started.
    static constexpr DWORD kSetupFailed = 9000;
    static constexpr WORD kPayload32 = 145;
    static constexpr WORD kPayload64 = 146;

    // exitCode: 0 when the platform test fails, kSetupFailed on a failure,
    // otherwise the payload's own exit code (0 if it could not be read). True
    // when the payload ran. The payload is held open, checked against its
    // resource, from its extraction until it has ended; a payload that cannot
    // be checked is a failed extraction, and so is a private folder that
    // cannot be made (the "create file" box).
    bool Install(const wchar_t* commandLineTail, DWORD& exitCode);

    // Writes resource id of the given type from module (null: the executable)
    // to a new file at path, in one write from the mapped resource; a file
    // already there is a failure. Every failure shows one message box and
    // leaves no file of this call behind.
    bool ExtractResource(WORD id, const wchar_t* type, const wchar_t* path, HMODULE module);
};
