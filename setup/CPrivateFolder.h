#pragma once
#include "ovlib/CFolderHandle.h"

#include <windows.h>

// A folder of one run's own inside the user's temporary folder, for the
// payload. Every process of the user may write to the temporary folder, so a
// library planted there would be loaded into the (often elevated) payload.
// This folder has a name nobody can foresee and, from the moment it exists, a
// protected DACL (CProtectedDacl). It is created and held open in one step,
// not shared for deletion, until it is removed: while it is held, neither it
// nor any folder above it can be renamed, so its path, taken from the handle,
// keeps naming it, and another Setup's sweep of leftovers leaves it alone.
class CPrivateFolder {
public:
    // "qvltgl-" and 16 hexadecimal digits.
    static constexpr wchar_t kNamePrefix[] = L"qvltgl-";
    static constexpr unsigned kRandomDigits = 16;

    CPrivateFolder() = default;
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;
    // Removes the folder if it is still there and empty.
    ~CPrivateFolder();

    // Creates the folder in tempFolder (a trailing backslash or none) under a
    // name that did not exist; a name that does is never reused. False when
    // no folder could be made (GetLastError says why); nothing is left then.
    bool Create(const wchar_t* tempFolder) noexcept;
    // Its path as the system resolved it, without a trailing backslash or a
    // junction on the way; empty before Create.
    const wchar_t* Path() const noexcept { return m_path; }

    // Deletes the file fileName in the folder, then the folder, each tried
    // again for a short, bounded time while something (a virus scanner) still
    // holds it. True when both are gone.
    bool Remove(const wchar_t* fileName) noexcept;

    // Removes the folders, with the file fileName in them, that earlier runs
    // left in tempFolder when they were killed. A folder still held (its run
    // goes on) is left alone, and so is anything that is not a plain folder.
    static void RemoveLeftovers(const wchar_t* tempFolder, const wchar_t* fileName) noexcept;

private:
    bool Pin() noexcept;
    bool RemoveFolder() noexcept;

    wchar_t m_path[MAX_PATH] = {};
    ovLib::CFolderHandle m_folder;
};
