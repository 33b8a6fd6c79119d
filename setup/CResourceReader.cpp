#include "setup/CResourceReader.h"

CResourceReader::Step CResourceReader::Read(WORD id, const wchar_t* type, HMODULE module) noexcept
{
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!resource)
        return Step::Find;
    m_dwSize = SizeofResource(module, resource);
    if (m_dwSize == 0)
        return Step::Size;
    m_hLoaded.reset(LoadResource(module, resource));
    if (!m_hLoaded)
        return Step::Load;
    m_pBytes = LockResource(m_hLoaded.get());
    return m_pBytes ? Step::None : Step::Lock;
}
