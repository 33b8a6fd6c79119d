#pragma once
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

// Who may use the run's own folder: full control for SYSTEM and the
// Administrators, inherited by what is made inside, and nothing inherited from
// the temporary folder. The user is let in only when Setup runs unelevated.
// Elevated, the user's SID is also that of the user's own unelevated code, which
// must neither write beside the payload nor, as the folder's owner, rewrite
// this DACL: the Administrators own the folder then.
class CProtectedDacl {
public:
    // False when the token or the descriptor cannot be read or built.
    bool Build() noexcept;
    PSECURITY_DESCRIPTOR Descriptor() noexcept { return &m_descriptor; }

private:
    bool IsElevated(HANDLE token, bool& elevated) noexcept;
    bool AllowUser(HANDLE token) noexcept;
    bool Allow(PSID sid) noexcept;

    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } m_user;
    union {
        ACL acl;
        BYTE bytes[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
    } m_acl;
    SECURITY_DESCRIPTOR m_descriptor;
};
