#pragma once
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

namespace ovLib {

// A folder held by handle, reached without following a reparse point at its
// own name. What lies in it is opened relative to the handle, never following
// a reparse point either: each name is resolved once, in the folder held, so
// a junction or link that someone who may write there swaps in leads nowhere.
// Failures leave GetLastError saying why.
class CFolderHandle {
public:
    // What Open does with a reparse point at the folder's own name.
    enum class Link { Refused, Followed };

    // Opens the folder path names, to open names in it; it stays everybody's
    // to use. Trailing backslashes are ignored, and "X:" or "" name a root.
    // False unless it is a directory; a reparse point at its name is refused,
    // or followed to the directory it leads to.
    bool Open(const wchar_t* path, Link link) noexcept;
    // Creates the folder name in parent with security, held as access and
    // share say from that moment on. ERROR_ALREADY_EXISTS when the name is taken.
    bool Create(const CFolderHandle& parent, const wchar_t* name, PSECURITY_DESCRIPTOR security, ACCESS_MASK access,
                DWORD share) noexcept;
    // Opens the folder name in parent. False unless it is a directory, not a
    // reparse point.
    bool Open(const CFolderHandle& parent, const wchar_t* name, ACCESS_MASK access, DWORD share) noexcept;

    // Opens the file name in this folder, created if missing. Empty unless it
    // is a plain file with no other name: through a link the file would be
    // someone else's. created says whether this call made it.
    CFileHandle OpenFile(const wchar_t* name, ACCESS_MASK access, DWORD share, bool& created) const noexcept;
    // Deletes the name in this folder; a link goes, not what it leads to.
    // True when the name is gone.
    bool DeleteName(const wchar_t* name) const noexcept;
    // Deletes this folder, which must be empty by then, and lets it go.
    bool Delete() noexcept;
    // The folder's path as the system resolved it, without the "\\?\" form;
    // false when that form does not fit MAX_PATH.
    bool FinalPath(wchar_t (&path)[MAX_PATH]) const noexcept;

    void Close() noexcept { m_handle.reset(); }

private:
    bool Hold(HANDLE folder) noexcept;

    CFileHandle m_handle;
};

} // namespace ovLib
