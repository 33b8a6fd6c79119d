#pragma once
#include "ovlib/CUniqueHandle.h"

#include <string>

// A file written with some text and then held open the way a running copy of
// a program holds its image: others may read it, but not write or delete it.
class CHeldFile {
public:
    CHeldFile(const std::wstring& path, const std::string& text);

    bool IsHeld() const noexcept { return m_hFile.valid(); }
    // What the file holds now.
    std::string Text() const;

private:
    std::wstring m_strPath;
    ovLib::CFileHandle m_hFile;
};
