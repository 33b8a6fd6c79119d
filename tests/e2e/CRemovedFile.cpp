#include "tests/e2e/CRemovedFile.h"

#include <windows.h>

CRemovedFile::~CRemovedFile()
{
    if (!m_strPath.empty())
        DeleteFileW(m_strPath.c_str());
}
