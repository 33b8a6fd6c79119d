#include "tools/winrun/CEnvironmentBlock.h"

#include <cwchar>
#include <memory>

namespace winRun {

namespace {

struct CEnvironmentStringsDeleter {
    void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};

} // namespace

bool CEnvironmentBlock::NameLess::operator()(const std::wstring& left,
                                             const std::wstring& right) const
{
    return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                static_cast<int>(right.size()), TRUE) == CSTR_LESS_THAN;
}

CEnvironmentBlock CEnvironmentBlock::OfThisProcess()
{
    std::unique_ptr<wchar_t, CEnvironmentStringsDeleter> block(GetEnvironmentStringsW());
    return CEnvironmentBlock(block.get());
}

CEnvironmentBlock::CEnvironmentBlock(const wchar_t* entries)
{
    for (const wchar_t* entry = entries; entries && *entry; entry += std::wcslen(entry) + 1) {
        // "=C:=C:\dir" entries keep the current folder of each drive: the name starts with '='.
        const std::wstring text(entry);
        const std::size_t equals = text.find(L'=', 1);
        if (equals == std::wstring::npos)
            continue;
        m_variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
}

void CEnvironmentBlock::Set(const std::wstring& name, const std::wstring& value)
{
    // Erase first: assigning would keep the old spelling of the name.
    m_variables.erase(name);
    m_variables.emplace(name, value);
}

std::vector<wchar_t> CEnvironmentBlock::Build() const
{
    std::vector<wchar_t> block;
    for (const auto& [name, value] : m_variables) {
        block.insert(block.end(), name.begin(), name.end());
        block.push_back(L'=');
        block.insert(block.end(), value.begin(), value.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    if (block.size() == 1)
        block.push_back(L'\0');  // an empty block is two NULs
    return block;
}

} // namespace winRun
