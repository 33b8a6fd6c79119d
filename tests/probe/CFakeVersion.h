#pragma once
#include "tests/support/CImportHook.h"

// What the fake Windows reports about its version.
struct FakeVersionRecord {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    WORD spMajor = 0;
    WORD spMinor = 0;
    BYTE productType = VER_NT_WORKSTATION;
};

constexpr FakeVersionRecord kWin95{VER_PLATFORM_WIN32_WINDOWS, 4, 0};
constexpr FakeVersionRecord kWin98{VER_PLATFORM_WIN32_WINDOWS, 4, 10};
constexpr FakeVersionRecord kWinMe{VER_PLATFORM_WIN32_WINDOWS, 4, 90};
constexpr FakeVersionRecord kNt351{VER_PLATFORM_WIN32_NT, 3, 51};
constexpr FakeVersionRecord kNt4{VER_PLATFORM_WIN32_NT, 4, 0};
constexpr FakeVersionRecord kNt50{VER_PLATFORM_WIN32_NT, 5, 0};
constexpr FakeVersionRecord kNt51{VER_PLATFORM_WIN32_NT, 5, 1};
constexpr FakeVersionRecord kNt52{VER_PLATFORM_WIN32_NT, 5, 2};
constexpr FakeVersionRecord kNt60{VER_PLATFORM_WIN32_NT, 6, 0};
constexpr FakeVersionRecord kNt61{VER_PLATFORM_WIN32_NT, 6, 1};

// Answers GetVersionExW (basic and extended layout, other sizes refused as
// Windows does) and GetVersion from one record.
class CFakeVersion {
public:
    explicit CFakeVersion(const FakeVersionRecord& record = kNt60);
    ~CFakeVersion();

    FakeVersionRecord record;
    bool queryFails = false;          // every GetVersionExW
    bool extendedQueryFails = false;  // GetVersionExW with the extended layout
    int queries = 0;

private:
    static BOOL WINAPI FakeGetVersionExW(OSVERSIONINFOW* version);
    static DWORD WINAPI FakeGetVersion();

    testing_support::CImportHook m_versionEx;
    testing_support::CImportHook m_version;
};
