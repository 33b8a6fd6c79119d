#include "setup/CProtectedDacl.h"

namespace {

// A SID of up to two sub-authorities, laid out as the system lays out a SID:
// the two well-known ones need no allocation.
struct CWellKnownSid {
    BYTE revision;
    BYTE count;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD subAuthorities[2];
};

constexpr CWellKnownSid kSystem = {SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID, 0}};
constexpr CWellKnownSid kAdministrators = {SID_REVISION, 2, SECURITY_NT_AUTHORITY,
                                           {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};

// The calls only read a SID, though they take it as writable.
PSID Sid(const CWellKnownSid& sid) noexcept
{
    return const_cast<CWellKnownSid*>(&sid);
}

} // namespace

bool CProtectedDacl::Build() noexcept
{
    ovLib::CKernelHandle token;
    bool elevated = false;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) || !IsElevated(token.get(), elevated))
        return false;
    if (!InitializeAcl(&m_acl.acl, sizeof(m_acl), ACL_REVISION) || !Allow(Sid(kSystem)) ||
        !Allow(Sid(kAdministrators)) || (!elevated && !AllowUser(token.get())))
        return false;
    return InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           (!elevated || SetSecurityDescriptorOwner(&m_descriptor, Sid(kAdministrators), FALSE)) &&
           SetSecurityDescriptorDacl(&m_descriptor, TRUE, &m_acl.acl, FALSE) &&
           SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// Elevated, or an administrator whose token UAC did not split: either way the
// user's code that runs unelevated is not to be trusted with the payload.
bool CProtectedDacl::IsElevated(HANDLE token, bool& elevated) noexcept
{
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD length = 0;
    BOOL administrator = FALSE;
    if (!GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &length) ||
        !CheckTokenMembership(nullptr, Sid(kAdministrators), &administrator))
        return false;
    elevated = type == TokenElevationTypeFull || administrator;
    return true;
}

bool CProtectedDacl::AllowUser(HANDLE token) noexcept
{
    DWORD length = 0;
    return GetTokenInformation(token, TokenUser, &m_user, sizeof(m_user), &length) && Allow(m_user.user.User.Sid);
}

bool CProtectedDacl::Allow(PSID sid) noexcept
{
    return AddAccessAllowedAceEx(&m_acl.acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                 FILE_ALL_ACCESS, sid) != FALSE;
}
