#include "tests/probe/CFakeToken.h"

#include <cstddef>

namespace {

CFakeToken* g_active = nullptr;

DWORD SidBytes(const CFakeToken::Group& group)
{
    return GetSidLengthRequired(static_cast<UCHAR>(group.subAuthorities.size()));
}

} // namespace

CFakeToken::CFakeToken()
    : m_open("advapi32.dll", "OpenProcessToken", reinterpret_cast<const void*>(&FakeOpenProcessToken)),
      m_query("advapi32.dll", "GetTokenInformation", reinterpret_cast<const void*>(&FakeGetTokenInformation)),
      m_allocSid("advapi32.dll", "AllocateAndInitializeSid",
                 reinterpret_cast<const void*>(&FakeAllocateAndInitializeSid)),
      m_freeSid("advapi32.dll", "FreeSid", reinterpret_cast<const void*>(&FakeFreeSid))
{
    g_active = this;
}

CFakeToken::~CFakeToken()
{
    g_active = nullptr;
}

DWORD CFakeToken::ListBytes(const std::vector<Group>& groups)
{
    DWORD bytes = offsetof(TOKEN_GROUPS, Groups);
    for (const Group& group : groups)
        bytes += sizeof(SID_AND_ATTRIBUTES) + SidBytes(group);
    return bytes;
}

BOOL WINAPI CFakeToken::FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    CFakeToken& self = *g_active;
    self.openAccess = access;
    if (self.openFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return self.m_open.Original<decltype(&OpenProcessToken)>()(process, access, token);
}

// Laid out as the system lays it out: the array, then the identifiers.
BOOL WINAPI CFakeToken::FakeGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID buffer,
                                                DWORD length, PDWORD needed)
{
    CFakeToken& self = *g_active;
    if (infoClass != TokenGroups)
        return self.m_query.Original<decltype(&GetTokenInformation)>()(token, infoClass, buffer, length, needed);
    self.bufferOffered = length;
    if (self.queryFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *needed = self.ListBytes();
    if (*needed > length) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* list = static_cast<TOKEN_GROUPS*>(buffer);
    list->GroupCount = static_cast<DWORD>(self.groups.size());
    auto* sid = reinterpret_cast<BYTE*>(&list->Groups[self.groups.size()]);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    for (size_t i = 0; i < self.groups.size(); ++i) {
        const Group& group = self.groups[i];
        InitializeSid(sid, &nt, static_cast<BYTE>(group.subAuthorities.size()));
        for (size_t k = 0; k < group.subAuthorities.size(); ++k)
            *GetSidSubAuthority(sid, static_cast<DWORD>(k)) = group.subAuthorities[k];
        list->Groups[i].Sid = sid;
        list->Groups[i].Attributes = group.attributes;
        sid += SidBytes(group);
    }
    return TRUE;
}

BOOL WINAPI CFakeToken::FakeAllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0,
                                                     DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6,
                                                     DWORD s7, PSID* sid)
{
    CFakeToken& self = *g_active;
    if (self.sidFails) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    const BOOL made = self.m_allocSid.Original<decltype(&AllocateAndInitializeSid)>()(authority, count, s0, s1, s2,
                                                                                      s3, s4, s5, s6, s7, sid);
    if (made)
        ++self.sidsLive;
    return made;
}

PVOID WINAPI CFakeToken::FakeFreeSid(PSID sid)
{
    --g_active->sidsLive;
    return g_active->m_freeSid.Original<decltype(&FreeSid)>()(sid);
}
