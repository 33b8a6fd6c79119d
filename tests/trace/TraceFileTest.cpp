#include "trace/CRegDebugOutput.h"
#include "tests/support/CTraceCapture.h"
#include "tests/trace/CDebugKeyRedirect.h"
#include "tests/support/TraceOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

namespace {

using ovQvl::CDebugOptions;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CDebugKeyRedirect;
using testing_support::CTraceCapture;
using testing_support::PlainOptions;

// A folder of this test process in the temporary folder, removed with its files.
class CTempFolder {
public:
    CTempFolder()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + L"setup-trace-" + std::to_wstring(GetCurrentProcessId());
        Remove();
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~CTempFolder() { Remove(); }

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

    std::vector<std::wstring> Files() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((m_path + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

private:
    void Remove() const { RemoveTree(m_path); }

    static void RemoveTree(const std::wstring& path)
    {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path + L"\\" + name);
                else
                    DeleteFileW((path + L"\\" + name).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    }

    std::wstring m_path;
};

std::string ReadAll(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

// What the file holds for these UTF-16 lines, after an optional mark.
std::string Utf16(const std::wstring& text, bool byteOrderMark = false)
{
    std::string bytes = byteOrderMark ? std::string("\xFF\xFE", 2) : std::string();
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

std::wstring ProcessLogName()
{
    wchar_t name[32];
    swprintf(name, 32, L"Setup-0x%04X.log", GetCurrentProcessId());
    return name;
}

void Emit(CDebugOutput& output, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    output.Error(format, args);
    va_end(args);
}

CDebugOptions FileOptions(const std::wstring& directory, DWORD appendProcessId)
{
    CDebugOptions options = PlainOptions();
    options.DebugOutput.OutputToDebugger = 0;
    options.DebugOutput.OutputToFile = 1;
    options.DebugOutput.AppendProcessIdToFile = appendProcessId;
    options.DebugOutput.Directory = directory.c_str();
    return options;
}

// Trace objects of their own, destroyed (and their files closed) before the folder goes.
class TraceFileTest : public testing::Test {
protected:
    CDebugKeyRedirect redirect;
    CTempFolder folder;
    CTraceCapture debugger{CTraceCapture::RecordOnly{}};
};

struct FileNameCase {
    const char* name;
    const wchar_t* directorySuffix;
    DWORD appendProcessId;
    bool withProcessId;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const FileNameCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileNameTest : public TraceFileTest, public testing::WithParamInterface<FileNameCase> {};

TEST_P(FileNameTest, IsModuleAndOptionalProcessIdInTheDirectory)
{
    const FileNameCase& c = GetParam();
    {
        CRegDebugOutput output(L"Setup");
        ASSERT_TRUE(output.ApplyOptions(FileOptions(folder.Path() + c.directorySuffix, c.appendProcessId)));
        Emit(output, L"line\n");
    }
    const std::wstring name = c.withProcessId ? ProcessLogName() : L"Setup.log";
    EXPECT_THAT(folder.Files(), ElementsAre(name));
    EXPECT_EQ(Utf16(L"line\n", true), ReadAll(folder.File(name)));
    EXPECT_THAT(debugger.Lines(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Names, FileNameTest,
                         testing::Values(FileNameCase{"WithProcessId", L"", 1, true},
                                         FileNameCase{"WithoutProcessId", L"", 0, false},
                                         FileNameCase{"TrailingBackslashes", L"\\\\", 1, true},
                                         FileNameCase{"OneTrailingBackslash", L"\\", 0, false}),
                         [](const testing::TestParamInfo<FileNameCase>& info) { return std::string(info.param.name); });

void WriteNew(const std::wstring& path, const std::string& bytes)
{
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

TEST_F(TraceFileTest, ExistingFileIsAppendedToWithoutASecondMark)
{
    // Without a mark of its own: a second mark written at the start would show.
    const std::string before = Utf16(L"earlier\r\n");
    WriteNew(folder.File(L"Setup.log"), before);
    {
        CRegDebugOutput output(L"Setup");
        output.ApplyOptions(FileOptions(folder.Path(), 0));
        Emit(output, L"first\n");
        Emit(output, L"second %d\n", 2);
    }
    EXPECT_EQ(before + Utf16(L"first\nsecond 2\n"), ReadAll(folder.File(L"Setup.log")));
}

// The trace's name planted as a hard link to a file only the Administrators
// may write: that file stays as it was; the debugger still has the lines.
TEST_F(TraceFileTest, ANameThatIsAHardLinkLeavesItsFileAsItWas)
{
    const std::wstring theirs = folder.File(L"theirs.txt");
    WriteNew(theirs, "theirs");
    ASSERT_TRUE(CreateHardLinkW(folder.File(L"Setup.log").c_str(), theirs.c_str(), nullptr));
    CDebugOptions options = FileOptions(folder.Path(), 0);
    options.DebugOutput.OutputToDebugger = 1;
    {
        CRegDebugOutput output(L"Setup");
        output.ApplyOptions(options);
        Emit(output, L"line");
    }
    EXPECT_EQ("theirs", ReadAll(theirs));
    EXPECT_THAT(debugger.Lines(), ElementsAre(L"line"));
}

TEST_F(TraceFileTest, WithoutDirectoryTheFileGoesNextToTheProgram)
{
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring path(program);
    path = path.substr(0, path.rfind(L'\\') + 1) + ProcessLogName();
    DeleteFileW(path.c_str());
    {
        CRegDebugOutput output(L"Setup");
        output.ApplyOptions(FileOptions(L"", 1));
        Emit(output, L"beside the program");
    }
    EXPECT_EQ(Utf16(L"beside the program", true), ReadAll(path));
    DeleteFileW(path.c_str());
}

TEST_F(TraceFileTest, MissingDirectoryIsRetriedOnEveryLine)
{
    const std::wstring later = folder.File(L"later");
    CDebugOptions options = FileOptions(later, 0);
    options.DebugOutput.OutputToDebugger = 1;
    {
        CRegDebugOutput output(L"Setup");
        output.ApplyOptions(options);
        Emit(output, L"lost ");
        CreateDirectoryW(later.c_str(), nullptr);
        Emit(output, L"kept");
    }
    EXPECT_EQ(Utf16(L"kept", true), ReadAll(later + L"\\Setup.log"));
    EXPECT_THAT(debugger.Lines(), ElementsAre(L"lost ", L"kept"));
}

TEST_F(TraceFileTest, SecondWriterOfTheSameFileLosesItsLinesUntilTheFirstCloses)
{
    CDebugOptions options = FileOptions(folder.Path(), 0);
    options.DebugOutput.OutputToDebugger = 1;
    CRegDebugOutput second(L"Setup");
    second.ApplyOptions(options);
    {
        CRegDebugOutput first(L"Setup");
        first.ApplyOptions(options);
        Emit(first, L"first;");
        Emit(second, L"lost;");
        Emit(second, L"lost again;");
        EXPECT_EQ(Utf16(L"first;", true), ReadAll(folder.File(L"Setup.log")));
    }
    Emit(second, L"second;");
    EXPECT_EQ(Utf16(L"first;second;", true), ReadAll(folder.File(L"Setup.log")));
    EXPECT_THAT(debugger.Lines(), ElementsAre(L"first;", L"lost;", L"lost again;", L"second;"));
}

TEST_F(TraceFileTest, NewDirectoryReopensTheFileThere)
{
    const std::wstring other = folder.File(L"other");
    CreateDirectoryW(other.c_str(), nullptr);
    {
        CRegDebugOutput output(L"Setup");
        output.ApplyOptions(FileOptions(folder.Path(), 0));
        Emit(output, L"one");
        EXPECT_TRUE(output.SetDirectory(other.c_str()));
        // The first file is closed now: it can be opened for writing again.
        const HANDLE reopened = CreateFileW(folder.File(L"Setup.log").c_str(), GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, reopened);
        CloseHandle(reopened);
        Emit(output, L"two");
        EXPECT_TRUE(output.SetDirectory(other.c_str()));
        Emit(output, L"three");
        EXPECT_FALSE(output.SetDirectory(nullptr));
    }
    EXPECT_EQ(Utf16(L"one", true), ReadAll(folder.File(L"Setup.log")));
    EXPECT_EQ(Utf16(L"twothree", true), ReadAll(other + L"\\Setup.log"));
}

TEST_F(TraceFileTest, ChangedProcessIdSwitchReopensUnderTheNewName)
{
    {
        CRegDebugOutput output(L"Setup");
        output.ApplyOptions(FileOptions(folder.Path(), 1));
        Emit(output, L"with id");
        output.ApplyOptions(FileOptions(folder.Path(), 0));
        Emit(output, L"without id");
    }
    EXPECT_EQ(Utf16(L"with id", true), ReadAll(folder.File(ProcessLogName())));
    EXPECT_EQ(Utf16(L"without id", true), ReadAll(folder.File(L"Setup.log")));
}

TEST_F(TraceFileTest, ReopenWithoutAnOpenFileOpensNothing)
{
    {
        CRegDebugOutput output(L"Setup");
        output.ApplyOptions(FileOptions(folder.Path(), 0));
        EXPECT_TRUE(output.ReopenFile());
    }
    EXPECT_THAT(folder.Files(), IsEmpty());
}

} // namespace
