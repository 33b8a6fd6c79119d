#include "tools/winrun/CRegistryValue.h"

#include "ovlib/CUniqueHandle.h"

#include <string>
#include <system_error>

namespace winRun {

namespace {

void ThrowOnError(LONG status, const char* operation, const std::wstring& name)
{
    if (status != ERROR_SUCCESS)
        throw std::system_error(static_cast<int>(status), std::system_category(),
                                std::string(operation) + " of value " +
                                    std::string(name.begin(), name.end()));
}

bool IsAbsent(LONG status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

} // namespace

CRegistryValue::CRegistryValue(DWORD type, std::vector<BYTE> data)
    : m_dwType(type), m_data(std::move(data))
{
}

CRegistryValue CRegistryValue::String(const std::wstring& text)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return CRegistryValue(REG_SZ, {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)});
}

CRegistryValue CRegistryValue::Dword(DWORD number)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(&number);
    return CRegistryValue(REG_DWORD, {bytes, bytes + sizeof(number)});
}

std::optional<CRegistryValue> CRegistryValue::Read(const CRegistryLocation& location)
{
    const std::wstring& name = location.strName;
    ovLib::CRegKeyHandle handle;
    LONG status = RegOpenKeyExW(location.hRoot, location.strKey.c_str(), 0,
                                KEY_QUERY_VALUE | location.view, handle.put());
    if (IsAbsent(status))
        return std::nullopt;
    ThrowOnError(status, "opening the key", name);

    DWORD type = REG_NONE;
    DWORD size = 0;
    status = RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (IsAbsent(status))
        return std::nullopt;
    ThrowOnError(status, "measuring", name);
    std::vector<BYTE> data(size);
    status = RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, data.data(), &size);
    ThrowOnError(status, "reading", name);
    data.resize(size);
    return CRegistryValue(type, std::move(data));
}

void CRegistryValue::Write(const CRegistryLocation& location) const
{
    const std::wstring& name = location.strName;
    ovLib::CRegKeyHandle handle;
    ThrowOnError(RegCreateKeyExW(location.hRoot, location.strKey.c_str(), 0, nullptr, 0,
                                 KEY_SET_VALUE | location.view, nullptr, handle.put(), nullptr),
                 "creating the key", name);
    ThrowOnError(RegSetValueExW(handle.get(), name.c_str(), 0, m_dwType, m_data.data(),
                                static_cast<DWORD>(m_data.size())),
                 "writing", name);
}

void CRegistryValue::Delete(const CRegistryLocation& location)
{
    const std::wstring& name = location.strName;
    ovLib::CRegKeyHandle handle;
    LONG status = RegOpenKeyExW(location.hRoot, location.strKey.c_str(), 0,
                                KEY_SET_VALUE | location.view, handle.put());
    if (IsAbsent(status))
        return;
    ThrowOnError(status, "opening the key", name);
    status = RegDeleteValueW(handle.get(), name.c_str());
    if (!IsAbsent(status))
        ThrowOnError(status, "deleting", name);
}

bool CRegistryValue::operator==(const CRegistryValue& other) const noexcept
{
    return m_dwType == other.m_dwType && m_data == other.m_data;
}

} // namespace winRun
