#include "setup/CPrivateFolder.h"

#include <ntsecapi.h>

#include <cwchar>

namespace {

constexpr unsigned kCreateAttempts = 8;
constexpr wchar_t kDigits[] = L"0123456789abcdef";
// A virus scanner looks at a new executable for a moment after it ends.
constexpr DWORD kRemoveAttempts = 20;
constexpr DWORD kRemovePauseMs = 50;

// A folder's path leaves room for a file name of 8.3 units, as the system's
// CreateDirectoryW requires.
constexpr std::size_t kFolderLimit = MAX_PATH - 12;

// folder, exactly one backslash, name. False when that is not shorter than limit.
bool Join(wchar_t (&out)[MAX_PATH], const wchar_t* folder, const wchar_t* name,
          std::size_t limit = MAX_PATH) noexcept
{
    std::size_t length = std::wcslen(folder);
    while (length > 0 && folder[length - 1] == L'\\')
        --length;
    const std::size_t nameLength = std::wcslen(name);
    if (length + 1 + nameLength >= limit) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::wmemmove(out, folder, length);
    out[length] = L'\\';
    std::wmemcpy(out + length + 1, name, nameLength + 1);
    return true;
}

// The prefix and 16 hexadecimal digits from the system's random generator.
bool RandomName(wchar_t (&name)[32]) noexcept
{
    BYTE random[CPrivateFolder::kRandomDigits / 2];
    if (!RtlGenRandom(random, sizeof(random))) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    const std::size_t prefix = std::wcslen(CPrivateFolder::kNamePrefix);
    std::wmemcpy(name, CPrivateFolder::kNamePrefix, prefix);
    for (std::size_t i = 0; i < sizeof(random); ++i) {
        name[prefix + 2 * i] = kDigits[random[i] >> 4];
        name[prefix + 2 * i + 1] = kDigits[random[i] & 0xF];
    }
    name[prefix + CPrivateFolder::kRandomDigits] = L'\0';
    return true;
}

bool IsLeftoverName(const wchar_t* name) noexcept
{
    const std::size_t prefix = std::wcslen(CPrivateFolder::kNamePrefix);
    if (std::wcsncmp(name, CPrivateFolder::kNamePrefix, prefix) != 0 ||
        std::wcslen(name) != prefix + CPrivateFolder::kRandomDigits)
        return false;
    for (const wchar_t* digit = name + prefix; *digit; ++digit) {
        if (!std::wcschr(kDigits, *digit))
            return false;
    }
    return true;
}

bool IsGone(DWORD error) noexcept
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

template <class Attempt>
bool Retried(Attempt attempt) noexcept
{
    for (DWORD done = 1;; ++done) {
        if (attempt() || IsGone(GetLastError()))
            return true;
        if (done == kRemoveAttempts)
            return false;
        Sleep(kRemovePauseMs);
    }
}

// Full control for SYSTEM, the Administrators and the user, inherited by
// what is made inside, and nothing inherited from the temporary folder.
class CProtectedDacl {
public:
    bool Build() noexcept;
    SECURITY_ATTRIBUTES* Attributes() noexcept { return &m_attributes; }

private:
    bool Allow(PSID sid) noexcept
    {
        return AddAccessAllowedAceEx(&m_acl.acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                     FILE_ALL_ACCESS, sid) != FALSE;
    }

    ovLib::CSid m_system;
    ovLib::CSid m_administrators;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } m_user;
    union {
        ACL acl;
        BYTE bytes[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
    } m_acl;
    SECURITY_DESCRIPTOR m_descriptor;
    SECURITY_ATTRIBUTES m_attributes;
};

bool CProtectedDacl::Build() noexcept
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                  m_system.put()) ||
        !AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, m_administrators.put()))
        return false;
    ovLib::CKernelHandle token;
    DWORD length = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenUser, &m_user, sizeof(m_user), &length))
        return false;
    if (!InitializeAcl(&m_acl.acl, sizeof(m_acl), ACL_REVISION) || !Allow(m_system.get()) ||
        !Allow(m_administrators.get()) || !Allow(m_user.user.User.Sid))
        return false;
    if (!InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&m_descriptor, TRUE, &m_acl.acl, FALSE) ||
        !SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return false;
    m_attributes = {sizeof(m_attributes), &m_descriptor, FALSE};
    return true;
}

// A leftover is opened with the right to delete it first: a run that still
// holds its folder refuses that, and one that would start to hold it now fails
// and takes another name.
void RemoveLeftover(const wchar_t* tempFolder, const wchar_t* name, const wchar_t* fileName) noexcept
{
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    if (!Join(folder, tempFolder, name) || !Join(file, folder, fileName))
        return;
    ovLib::CFileHandle held(CreateFileW(folder, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!held)
        return;
    DeleteFileW(file);
    held.reset();
    RemoveDirectoryW(folder);
}

} // namespace

CPrivateFolder::~CPrivateFolder()
{
    RemoveFolder();
}

bool CPrivateFolder::Create(const wchar_t* tempFolder) noexcept
{
    CProtectedDacl dacl;
    if (!dacl.Build())
        return false;
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        wchar_t name[32];
        wchar_t path[MAX_PATH];
        if (!RandomName(name) || !Join(path, tempFolder, name, kFolderLimit))
            return false;
        if (!CreateDirectoryW(path, dacl.Attributes())) {
            if (GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return false;
        }
        if (Hold(path))
            return true;
        // Taken up by a sweep of leftovers in between, which removes it; in
        // any other case it is removed here.
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION) {
            RemoveDirectoryW(path);
            SetLastError(error);
            return false;
        }
    }
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
}

// Held open from now on, not shared for deletion.
bool CPrivateFolder::Hold(const wchar_t* path) noexcept
{
    m_hFolder.reset(CreateFileW(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!m_hFolder)
        return false;
    std::wmemcpy(m_path, path, std::wcslen(path) + 1);
    return true;
}

bool CPrivateFolder::Remove(const wchar_t* filePath) noexcept
{
    if (!Retried([&] { return DeleteFileW(filePath) != FALSE; })) {
        // Not empty: left to a later run's sweep, which may take it now.
        m_hFolder.reset();
        m_path[0] = L'\0';
        return false;
    }
    return RemoveFolder();
}

bool CPrivateFolder::RemoveFolder() noexcept
{
    if (!m_path[0])
        return true;
    m_hFolder.reset();
    const bool removed = Retried([&] { return RemoveDirectoryW(m_path) != FALSE; });
    m_path[0] = L'\0';
    return removed;
}

void CPrivateFolder::RemoveLeftovers(const wchar_t* tempFolder, const wchar_t* fileName) noexcept
{
    // The prefix and a wildcard.
    wchar_t pattern[MAX_PATH];
    if (!Join(pattern, tempFolder, kNamePrefix))
        return;
    const std::size_t length = std::wcslen(pattern);
    if (length + 1 >= MAX_PATH)
        return;
    pattern[length] = L'*';
    pattern[length + 1] = L'\0';
    WIN32_FIND_DATAW found;
    ovLib::CFindHandle search(FindFirstFileW(pattern, &found));
    if (!search)
        return;
    do {
        // A link could lead the deletion anywhere; Setup makes none.
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            IsLeftoverName(found.cFileName))
            RemoveLeftover(tempFolder, found.cFileName, fileName);
    } while (FindNextFileW(search.get(), &found));
}
