#pragma once
#include <windows.h>

class CInstallerLog;

// The facts about the running Windows on which the installer decides. They are
// gathered once per process, by the first construction, which also reports
// them to the installer log; every instance reads the same process-wide record.
class CPlatformFacts {
public:
    static constexpr DWORD PLATFORM_9X = 0x1000;
    static constexpr DWORD PLATFORM_NT = 0x2000;

    CPlatformFacts() { Initialize(); }

    // The probe; does nothing after its first run in the process.
    void Initialize();

    // On 9x only win9xMask counts, on NT only ntMask and the service pack.
    // Version bits order releases within a family, so they compare as numbers.
    BOOL IsAtLeast(DWORD win9xMask, DWORD ntMask, WORD spMajor, WORD spMinor) const;
    BOOL IsUnderWow64() const { return m_bWow64; }

    // The platform flags word of a version record: family bit plus at most one
    // version bit; 0 for an unknown platform.
    static DWORD FlagsFor(const OSVERSIONINFOW& version);

private:
    void ReadPlatformFlags(DWORD& major, DWORD& minor);
    void ReadServicePack();
    void ReadWow64();
    void WriteReport(CInstallerLog& log, DWORD major, DWORD minor);

    static BOOL m_bInitialized;
    static DWORD m_dwPlatformFlags;
    static WORD m_wServicePackMajor;
    static WORD m_wServicePackMinor;
    static BOOL m_bServer;
    static BOOL m_bWow64;
    static BOOL m_bTerminalServices;
    static BOOL m_bActiveSession;
    static BOOL m_bAdministrator;
};
