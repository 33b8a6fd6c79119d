#include "bench/CLinuxTask.h"

#include "ovlib/CUniqueHandle.h"

#include <cstdlib>
#include <cwchar>
#include <stdexcept>
#include <vector>

namespace {

constexpr wchar_t kProcFolder[] = L"Z:\\proc\\";

struct CFindTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(Type h) noexcept { FindClose(h); }
};
using CFindHandle = ovLib::CUniqueHandle<CFindTraits>;

// Files of /proc report no size: read until the end.
std::optional<std::string> ReadProcFile(const std::wstring& path)
{
    ovLib::CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

// Names of the entries of a folder that are numbers: process or thread ids.
std::vector<unsigned long> NumberedEntries(const std::wstring& folder)
{
    std::vector<unsigned long> numbers;
    WIN32_FIND_DATAW entry;
    CFindHandle find(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find)
        return numbers;
    do {
        wchar_t* end = nullptr;
        const unsigned long number = std::wcstoul(entry.cFileName, &end, 10);
        if (end != entry.cFileName && *end == L'\0')
            numbers.push_back(number);
    } while (FindNextFileW(find.get(), &entry));
    return numbers;
}

std::wstring FromUtf8(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool SameWithoutCase(const std::wstring& left, const std::wstring& right)
{
    return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

std::wstring ProcessFolder(unsigned long pid)
{
    return kProcFolder + std::to_wstring(pid) + L"\\";
}

// Wine puts the program's path as the first NUL-ended word.
std::optional<std::wstring> ProgramOf(unsigned long pid)
{
    const std::optional<std::string> commandLine = ReadProcFile(ProcessFolder(pid) + L"cmdline");
    if (!commandLine || commandLine->empty())
        return std::nullopt;
    return FromUtf8(commandLine->substr(0, commandLine->find('\0')));
}

} // namespace

std::optional<CLinuxTask> CLinuxTask::Find(const std::wstring& windowsPath)
{
    std::optional<CLinuxTask> found;
    for (const unsigned long pid : NumberedEntries(kProcFolder)) {
        const std::optional<std::wstring> program = ProgramOf(pid);
        if (!program || !SameWithoutCase(*program, windowsPath))
            continue;
        if (found)
            throw std::runtime_error("more than one Linux process runs the program");
        found = CLinuxTask(pid);
    }
    return found;
}

// schedstat: nanoseconds on the CPU, nanoseconds waiting to run, time slices.
std::optional<ULONGLONG> CLinuxTask::CpuTimeNs() const
{
    const std::wstring tasks = ProcessFolder(m_pid) + L"task\\";
    const std::vector<unsigned long> threads = NumberedEntries(tasks);
    if (threads.empty())
        return std::nullopt;
    ULONGLONG total = 0;
    for (const unsigned long thread : threads) {
        const std::optional<std::string> statistics = ReadProcFile(tasks + std::to_wstring(thread) + L"\\schedstat");
        if (!statistics)
            return std::nullopt;
        total += std::strtoull(statistics->c_str(), nullptr, 10);
    }
    return total;
}
