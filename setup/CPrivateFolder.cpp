#include "setup/CPrivateFolder.h"

#include "setup/CProtectedDacl.h"

#include <ntsecapi.h>

#include <cwchar>

namespace {

constexpr unsigned kCreateAttempts = 8;
constexpr wchar_t kDigits[] = L"0123456789abcdef";
// A virus scanner looks at a new executable for a moment after it ends.
constexpr DWORD kRemoveAttempts = 20;
constexpr DWORD kRemovePauseMs = 50;

// Held so from its creation on: it can be deleted through the handle, and by nobody else.
constexpr ACCESS_MASK kHeldAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | DELETE;
constexpr DWORD kHeldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

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

// Where the user's temporary folder leads is the user's to choose, through
// TMP as through a junction: the run's folder is made, and leftovers sought,
// wherever it leads. Only names inside it are resolved without following links.
bool OpenTempFolder(ovLib::CFolderHandle& temp, const wchar_t* tempFolder) noexcept
{
    return temp.Open(tempFolder, ovLib::CFolderHandle::Link::Followed);
}

// A leftover is opened with the right to delete it and not shared for
// deletion: a run that still holds its folder refuses that, and while the
// sweep holds it nobody can rename it or swap a junction in. Its file is
// reached from that handle, never by a path.
void RemoveLeftover(const ovLib::CFolderHandle& temp, const wchar_t* name, const wchar_t* fileName) noexcept
{
    ovLib::CFolderHandle leftover;
    if (!leftover.Open(temp, name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return;
    leftover.DeleteName(fileName);
    leftover.Delete();
}

} // namespace

CPrivateFolder::~CPrivateFolder()
{
    RemoveFolder();
}

bool CPrivateFolder::Create(const wchar_t* tempFolder) noexcept
{
    CProtectedDacl dacl;
    ovLib::CFolderHandle temp;
    if (!dacl.Build() || !OpenTempFolder(temp, tempFolder))
        return false;
    for (unsigned attempt = 0; attempt < kCreateAttempts; ++attempt) {
        wchar_t name[32];
        // The joined path only bounds the name: the folder is made in temp.
        wchar_t path[MAX_PATH];
        if (!RandomName(name) || !Join(path, tempFolder, name, kFolderLimit))
            return false;
        if (m_folder.Create(temp, name, dacl.Descriptor(), kHeldAccess, kHeldShare))
            return Pin();
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
}

// Every later path comes from the handle: the folder as the system found it,
// with no junction on the way that could lead elsewhere next time.
bool CPrivateFolder::Pin() noexcept
{
    if (m_folder.FinalPath(m_path)) {
        if (std::wcslen(m_path) < kFolderLimit)
            return true;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
    }
    const DWORD error = GetLastError();
    m_folder.Delete();
    m_folder.Close();
    m_path[0] = L'\0';
    SetLastError(error);
    return false;
}

bool CPrivateFolder::Remove(const wchar_t* fileName) noexcept
{
    if (!Retried([&] { return m_folder.DeleteName(fileName); })) {
        // Not empty: left to a later run's sweep, which may take it now.
        m_folder.Close();
        m_path[0] = L'\0';
        return false;
    }
    return RemoveFolder();
}

bool CPrivateFolder::RemoveFolder() noexcept
{
    if (!m_path[0])
        return true;
    const bool removed = Retried([&] { return m_folder.Delete(); });
    m_folder.Close();
    m_path[0] = L'\0';
    return removed;
}

void CPrivateFolder::RemoveLeftovers(const wchar_t* tempFolder, const wchar_t* fileName) noexcept
{
    ovLib::CFolderHandle temp;
    if (!OpenTempFolder(temp, tempFolder))
        return;
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
    // What the listing says of each entry may be stale by the time it is
    // opened: only the name is taken from it.
    do {
        if (IsLeftoverName(found.cFileName))
            RemoveLeftover(temp, found.cFileName, fileName);
    } while (FindNextFileW(search.get(), &found));
}
