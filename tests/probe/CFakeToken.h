#pragma once
#include "tests/support/CImportHook.h"

#include <vector>

// The group list of the process token, built from NT-authority identifiers,
// and failures of the token and identifier calls.
class CFakeToken {
public:
    struct Group {
        std::vector<DWORD> subAuthorities;
        DWORD attributes;
    };

    CFakeToken();
    ~CFakeToken();

    static Group Administrators(DWORD attributes) { return {{32, 544}, attributes}; }
    static Group Users() { return {{32, 545}, SE_GROUP_ENABLED | SE_GROUP_MANDATORY}; }
    static Group Domain(DWORD rid) { return {{21, 1000, 2000, 3000, rid}, SE_GROUP_ENABLED}; }
    // Bytes GetTokenInformation needs for a group list.
    static DWORD ListBytes(const std::vector<Group>& groups);
    DWORD ListBytes() const { return ListBytes(groups); }

    std::vector<Group> groups{Users(), Administrators(SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT)};
    bool openFails = false;
    bool queryFails = false;
    bool sidFails = false;
    DWORD openAccess = 0;
    DWORD bufferOffered = 0;
    int sidsLive = 0;

private:
    static BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
    static BOOL WINAPI FakeGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID buffer,
                                               DWORD length, PDWORD needed);
    static BOOL WINAPI FakeAllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0,
                                                    DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6,
                                                    DWORD s7, PSID* sid);
    static PVOID WINAPI FakeFreeSid(PSID sid);

    testing_support::CImportHook m_open;
    testing_support::CImportHook m_query;
    testing_support::CImportHook m_allocSid;
    testing_support::CImportHook m_freeSid;
};
