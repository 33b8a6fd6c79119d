#pragma once
#include "probe/CCriticalSectionLock.h"

// The raw version record and the Terminal Services answer, gathered once per
// process by the first construction, and the detections of the environment
// probe. A detection never fails outward: each failure is a fixed answer.
class CVersionCache : public CCriticalSectionLock {
public:
    CVersionCache();

    static BOOL HasTerminalServices() noexcept { return s_bTerminalServices; }

    static BOOL IsTerminalServicesInstalled() noexcept;
    static BOOL IsProductSuiteInstalled(const char* suiteName) noexcept;
    // Both read the gathered record: construct a CVersionCache first.
    static BOOL IsInActiveSession() noexcept;
    static BOOL IsCurrentUserAdmin() noexcept;

private:
    static BOOL IsNtFamily() noexcept;

    static BOOL s_bGathered;
    static OSVERSIONINFOW s_VersionInfo;
    static BOOL s_bTerminalServices;
};
