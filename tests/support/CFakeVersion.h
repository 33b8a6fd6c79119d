#pragma once
#include "tests/support/CImportHook.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace testing_support {

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

// Answers GetVersionExW from one record (basic and extended layout, other
// sizes refused as Windows does), and GetVersion too unless the system is
// left to answer it. One instance at a time.
class CFakeVersion {
public:
    enum class Packed { FromRecord, FromSystem };

    explicit CFakeVersion(const FakeVersionRecord& record = kNt60, Packed packed = Packed::FromRecord);
    CFakeVersion(const CFakeVersion&) = delete;
    CFakeVersion& operator=(const CFakeVersion&) = delete;
    ~CFakeVersion();

    int Queries() const { return static_cast<int>(sizes.size()); }

    FakeVersionRecord record;
    bool queryFails = false;          // every GetVersionExW
    bool extendedQueryFails = false;  // GetVersionExW with the extended layout
    DWORD refusal = ERROR_INSUFFICIENT_BUFFER;  // the error a refused query leaves
    std::vector<DWORD> sizes;         // the record size of each GetVersionExW, in order

private:
    static BOOL WINAPI FakeGetVersionExW(OSVERSIONINFOW* version);
    static DWORD WINAPI FakeGetVersion();

    CImportHook m_versionEx;
    std::optional<CImportHook> m_version;
};

} // namespace testing_support
