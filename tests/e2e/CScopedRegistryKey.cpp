#include "tests/e2e/CScopedRegistryKey.h"

#include "ovlib/CUniqueHandle.h"

#include <system_error>

namespace {

void ThrowOnError(LONG status, const char* operation)
{
    if (status != ERROR_SUCCESS)
        throw std::system_error(static_cast<int>(status), std::system_category(), operation);
}

bool IsAbsent(LONG status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

// Registry names are at most 16,383 characters.
constexpr DWORD kNameUnits = 16384;

} // namespace

CScopedRegistryKey::CScopedRegistryKey(HKEY root, std::wstring path, REGSAM view)
    : m_hRoot(root), m_strPath(std::move(path)), m_view(view), m_previous(Read(root, m_strPath, view))
{
    Delete(m_hRoot, m_strPath, m_view);
}

CScopedRegistryKey::~CScopedRegistryKey()
{
    try {
        Delete(m_hRoot, m_strPath, m_view);
        if (m_previous)
            Write(m_hRoot, m_strPath, m_view, *m_previous);
    } catch (const std::exception&) {
        // The next user of the key takes it away again; nothing better to do here.
    }
}

bool CScopedRegistryKey::Exists(HKEY root, const std::wstring& path, REGSAM view)
{
    ovLib::CRegKeyHandle key;
    const LONG status = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put());
    if (IsAbsent(status))
        return false;
    ThrowOnError(status, "opening a key");
    return true;
}

std::optional<CScopedRegistryKey::CTree> CScopedRegistryKey::Read(HKEY parent, const std::wstring& path,
                                                                  REGSAM view)
{
    ovLib::CRegKeyHandle key;
    const LONG status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | view, key.put());
    if (IsAbsent(status))
        return std::nullopt;
    ThrowOnError(status, "opening a key");

    CTree tree;
    std::wstring name(kNameUnits, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD units = kNameUnits;
        DWORD type = REG_NONE;
        DWORD size = 0;
        LONG result = RegEnumValueW(key.get(), index, name.data(), &units, nullptr, &type, nullptr, &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ThrowOnError(result, "listing values");
        const std::wstring valueName(name.c_str(), units);
        std::vector<BYTE> data(size);
        result = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size);
        ThrowOnError(result, "reading a value");
        data.resize(size);
        tree.values.emplace_back(valueName, winRun::CRegistryValue(type, std::move(data)));
    }
    for (DWORD index = 0;; ++index) {
        DWORD units = kNameUnits;
        const LONG result =
            RegEnumKeyExW(key.get(), index, name.data(), &units, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ThrowOnError(result, "listing keys");
        const std::wstring keyName(name.c_str(), units);
        if (auto child = Read(key.get(), keyName, view))
            tree.keys.emplace_back(keyName, std::move(*child));
    }
    return tree;
}

void CScopedRegistryKey::Write(HKEY parent, const std::wstring& path, REGSAM view, const CTree& tree)
{
    ovLib::CRegKeyHandle key;
    ThrowOnError(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(),
                                 nullptr),
                 "creating a key");
    for (const auto& [name, value] : tree.values)
        ThrowOnError(RegSetValueExW(key.get(), name.c_str(), 0, value.Type(), value.Data().data(),
                                    static_cast<DWORD>(value.Data().size())),
                     "writing a value");
    for (const auto& [name, child] : tree.keys)
        Write(key.get(), name, view, child);
}

void CScopedRegistryKey::Delete(HKEY root, const std::wstring& path, REGSAM view)
{
    {
        ovLib::CRegKeyHandle key;
        const LONG status = RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put());
        if (IsAbsent(status))
            return;
        ThrowOnError(status, "opening a key");
        ThrowOnError(RegDeleteTreeW(key.get(), nullptr), "emptying a key");
    }
    ThrowOnError(RegDeleteKeyExW(root, path.c_str(), view, 0), "deleting a key");
}
