#include "tests/support/PrivatePayloadPath.h"

#include "ovlib/CUniqueHandle.h"

#include <windows.h>

#include <cwctype>

namespace testing_support {

testing::AssertionResult IsPrivatePayloadPath(const std::wstring& tempFolder, const std::wstring& path)
{
    std::wstring folder = tempFolder;
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    const std::wstring prefix = folder + L"\\qvltgl-";
    const std::wstring name = L"\\qvltgl.exe";
    constexpr std::size_t kDigits = 16;
    const bool shaped = path.size() == prefix.size() + kDigits + name.size() && path.compare(0, prefix.size(), prefix) == 0 &&
                        path.compare(prefix.size() + kDigits, name.size(), name) == 0;
    if (!shaped)
        return testing::AssertionFailure() << path << " is not " << prefix << "<16 digits>" << name;
    for (std::size_t i = prefix.size(); i < prefix.size() + kDigits; ++i) {
        if (!std::iswxdigit(path[i]) || std::iswupper(path[i]))
            return testing::AssertionFailure() << path << ": not 16 lower-case hexadecimal digits";
    }
    return testing::AssertionSuccess();
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder)
{
    std::wstring pattern = folder;
    while (!pattern.empty() && pattern.back() == L'\\')
        pattern.pop_back();
    std::vector<std::wstring> entries;
    WIN32_FIND_DATAW found;
    const ovLib::CFindHandle search(FindFirstFileW((pattern + L"\\*").c_str(), &found));
    if (!search)
        return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            entries.push_back(name);
    } while (FindNextFileW(search.get(), &found));
    return entries;
}

} // namespace testing_support
