#include "setup/CInstaller.h"

#include "ovlib/CUniqueHandle.h"
#include "tests/setup/CHookSet.h"
#include "tests/setup/CaseName.h"
#include "tests/setup/TestFiles.h"
#include "tests/support/CTestFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::CTestFolder;

enum class Fault { None, LoadResource, LockResource, WriteFails, WriteShort };

struct Box {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
    bool fileExists;
    bool fileOpen;
    LONGLONG fileSize;
};

struct Write {
    const void* bytes;
    DWORD size;
};

// What the extraction did to the target file and the resource, in order.
struct Record {
    // Only the extraction's own calls count, not the test's file handling.
    bool armed = false;
    std::wstring target;
    Fault fault = Fault::None;
    HANDLE file = INVALID_HANDLE_VALUE;
    HGLOBAL loaded = nullptr;
    std::vector<std::string> events;
    std::vector<Box> boxes;
    std::vector<Write> writes;
    // Seen from another handle while the write is under way.
    bool othersMayRead = false;
    bool othersMayWrite = true;
    bool othersMayDelete = true;
};

Record g_record;

decltype(&LoadResource) RealLoadResource;
decltype(&LockResource) RealLockResource;
decltype(&FreeResource) RealFreeResource;
decltype(&CreateFileW) RealCreateFileW;
decltype(&WriteFile) RealWriteFile;
decltype(&CloseHandle) RealCloseHandle;
decltype(&DeleteFileW) RealDeleteFileW;
decltype(&MessageBoxW) RealMessageBoxW;

bool IsTarget(const wchar_t* path)
{
    return g_record.armed && path && _wcsicmp(path, g_record.target.c_str()) == 0;
}

bool IsTargetFile(HANDLE file)
{
    return g_record.armed && file == g_record.file;
}

HGLOBAL WINAPI FakeLoadResource(HMODULE module, HRSRC resource)
{
    if (g_record.fault == Fault::LoadResource) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    g_record.loaded = RealLoadResource(module, resource);
    return g_record.loaded;
}

LPVOID WINAPI FakeLockResource(HGLOBAL loaded)
{
    return g_record.fault == Fault::LockResource ? nullptr : RealLockResource(loaded);
}

WINBOOL WINAPI FakeFreeResource(HGLOBAL loaded)
{
    if (g_record.armed && loaded && loaded == g_record.loaded)
        g_record.events.push_back("free");
    return RealFreeResource(loaded);
}

HANDLE WINAPI FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile)
{
    HANDLE file = RealCreateFileW(path, access, share, security, disposition, flags, templateFile);
    if (IsTarget(path))
        g_record.file = file;
    return file;
}

void ProbeSharing()
{
    ovLib::CFileHandle reader(RealCreateFileW(g_record.target.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    g_record.othersMayRead = reader.valid();
    ovLib::CFileHandle writer(RealCreateFileW(g_record.target.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    g_record.othersMayWrite = writer.valid();
    g_record.othersMayDelete = RealDeleteFileW(g_record.target.c_str()) != FALSE;
}

WINBOOL WINAPI FakeWriteFile(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (!IsTargetFile(file))
        return RealWriteFile(file, bytes, size, written, overlapped);
    g_record.writes.push_back({bytes, size});
    if (g_record.writes.size() == 1)
        ProbeSharing();
    switch (g_record.fault) {
    case Fault::WriteFails:
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    case Fault::WriteShort:
        // The disk filled up after all but the last byte.
        return RealWriteFile(file, bytes, size - 1, written, overlapped);
    default:
        return RealWriteFile(file, bytes, size, written, overlapped);
    }
}

WINBOOL WINAPI FakeCloseHandle(HANDLE handle)
{
    if (IsTargetFile(handle))
        g_record.events.push_back("close");
    return RealCloseHandle(handle);
}

WINBOOL WINAPI FakeDeleteFileW(LPCWSTR path)
{
    if (IsTarget(path))
        g_record.events.push_back("delete");
    return RealDeleteFileW(path);
}

int WINAPI FakeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    LARGE_INTEGER size = {};
    const bool open = g_record.file != INVALID_HANDLE_VALUE && GetFileSizeEx(g_record.file, &size);
    g_record.boxes.push_back({owner, text ? text : L"(null)", caption ? caption : L"(null)", style,
                              FileExists(g_record.target), open, size.QuadPart});
    g_record.events.push_back("box");
    return IDOK;
}

class ExtractResourceTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_record = Record{};
        g_record.target = m_folder.File(L"qvltgl.exe");
        m_payload32 = ResourceMemory(CInstaller::kPayload32);
        m_hooks.Add("kernel32.dll", "LoadResource", &FakeLoadResource, RealLoadResource);
        m_hooks.Add("kernel32.dll", "LockResource", &FakeLockResource, RealLockResource);
        m_hooks.Add("kernel32.dll", "FreeResource", &FakeFreeResource, RealFreeResource);
        m_hooks.Add("kernel32.dll", "CreateFileW", &FakeCreateFileW, RealCreateFileW);
        m_hooks.Add("kernel32.dll", "WriteFile", &FakeWriteFile, RealWriteFile);
        m_hooks.Add("kernel32.dll", "CloseHandle", &FakeCloseHandle, RealCloseHandle);
        m_hooks.Add("kernel32.dll", "DeleteFileW", &FakeDeleteFileW, RealDeleteFileW);
        m_hooks.Add("user32.dll", "MessageBoxW", &FakeMessageBoxW, RealMessageBoxW);
    }

    void TearDown() override { m_hooks.Clear(); }

    static bool Extract(WORD id, HMODULE module = nullptr)
    {
        g_record.armed = true;
        const bool written = CInstaller().ExtractResource(id, L"BIN", g_record.target.c_str(), module);
        g_record.armed = false;
        return written;
    }

    CTestFolder m_folder;
    const void* m_payload32 = nullptr;
    CHookSet m_hooks;
};

using Events = std::vector<std::string>;

// A file already there could be a hard link to one that only the
// Administrators may write: it is never written through.
TEST_F(ExtractResourceTest, NeverWritesThroughAFileThatIsAlreadyThere)
{
    const std::wstring theirs = m_folder.File(L"theirs.dll");
    WriteBytes(theirs, "theirs");
    ASSERT_TRUE(CreateHardLinkW(g_record.target.c_str(), theirs.c_str(), nullptr));

    EXPECT_FALSE(Extract(CInstaller::kPayload32));

    ASSERT_EQ(1u, g_record.boxes.size());
    EXPECT_EQ(L"create file", g_record.boxes[0].text);
    EXPECT_EQ("theirs", ReadBytes(theirs));
}

TEST_F(ExtractResourceTest, WritesOnceStraightFromTheResourceMemory)
{
    EXPECT_TRUE(Extract(CInstaller::kPayload32));

    ASSERT_EQ(1u, g_record.writes.size());
    EXPECT_EQ(m_payload32, g_record.writes[0].bytes);
    EXPECT_EQ(kPayload32Bytes.size(), g_record.writes[0].size);
}

TEST_F(ExtractResourceTest, OthersMayReadButNotChangeOrDeleteTheFileWhileItIsWritten)
{
    EXPECT_TRUE(Extract(CInstaller::kPayload32));

    ASSERT_EQ(1u, g_record.writes.size());
    EXPECT_TRUE(g_record.othersMayRead);
    EXPECT_FALSE(g_record.othersMayWrite);
    EXPECT_FALSE(g_record.othersMayDelete);
    EXPECT_EQ(kPayload32Bytes, ReadBytes(g_record.target));
}

TEST_F(ExtractResourceTest, TakesTheResourceFromTheModuleItIsGiven)
{
    EXPECT_TRUE(Extract(CInstaller::kPayload64, GetModuleHandleW(nullptr)));

    EXPECT_TRUE(g_record.boxes.empty());
    EXPECT_EQ(kPayload64Bytes, ReadBytes(g_record.target));
}

// How the target file looks before the call.
enum class Target { Absent, Older, OlderInUse, InMissingFolder };

struct FailureCase {
    const char* name;
    WORD id;
    const wchar_t* module;  // null: the executable
    Fault fault;
    Target target;
    const wchar_t* message;
    Events events;
    bool olderKept;  // else no file is left
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class ExtractResourceFailureTest : public ExtractResourceTest,
                                   public testing::WithParamInterface<FailureCase> {};

const char kOlderBytes[] = "older payload, left as it was";

TEST_P(ExtractResourceFailureTest, ShowsOneBoxThenReleasesWhatItHolds)
{
    const FailureCase& c = GetParam();
    g_record.fault = c.fault;
    if (c.target == Target::InMissingFolder)
        g_record.target = m_folder.File(L"missing\\qvltgl.exe");
    if (c.target == Target::Older || c.target == Target::OlderInUse)
        WriteBytes(g_record.target, kOlderBytes);
    ovLib::CFileHandle user;
    if (c.target == Target::OlderInUse)
        user.reset(RealCreateFileW(g_record.target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   0, nullptr));
    EXPECT_FALSE(Extract(c.id, c.module ? GetModuleHandleW(c.module) : nullptr));

    ASSERT_EQ(1u, g_record.boxes.size());
    const Box& box = g_record.boxes[0];
    EXPECT_EQ(c.message, box.text);
    EXPECT_EQ(L"error", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), box.style);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(c.events, g_record.events);
    user.reset();
    if (c.olderKept)
        EXPECT_EQ(kOlderBytes, ReadBytes(g_record.target));
    else
        EXPECT_FALSE(FileExists(g_record.target));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ExtractResourceFailureTest,
    testing::Values(
        FailureCase{"ResourceMissing", kMissingResource, nullptr, Fault::None, Target::Older, L"Find res failed",
                    {"box"}, true},
        FailureCase{"ResourceOfAnotherModule", CInstaller::kPayload32, L"kernel32.dll", Fault::None, Target::Absent,
                    L"Find res failed", {"box"}, false},
        FailureCase{"ResourceEmpty", kEmptyResource, nullptr, Fault::None, Target::Older, L"size is 0", {"box"}, true},
        FailureCase{"LoadFails", CInstaller::kPayload32, nullptr, Fault::LoadResource, Target::Older,
                    L"Load res failed", {"box"}, true},
        FailureCase{"LockFails", CInstaller::kPayload32, nullptr, Fault::LockResource, Target::Older,
                    L"lock res failed", {"box", "free"}, true},
        FailureCase{"TargetInUse", CInstaller::kPayload32, nullptr, Fault::None, Target::OlderInUse,
                    L"create file", {"box", "free"}, true},
        FailureCase{"FolderMissing", CInstaller::kPayload32, nullptr, Fault::None, Target::InMissingFolder,
                    L"create file", {"box", "free"}, false},
        FailureCase{"WriteFails", CInstaller::kPayload32, nullptr, Fault::WriteFails, Target::Absent, L"write file",
                    {"box", "close", "free", "delete"}, false},
        FailureCase{"WriteShort", CInstaller::kPayload64, nullptr, Fault::WriteShort, Target::Absent,
                    L"write file", {"box", "close", "free", "delete"}, false}),
    CaseName());

struct WriteFaultCase {
    const char* name;
    Fault fault;
    LONGLONG sizeWhileBoxIsUp;
};

void PrintTo(const WriteFaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class ExtractResourceWriteFaultTest : public ExtractResourceTest,
                                      public testing::WithParamInterface<WriteFaultCase> {};

// The user is told before the partial file goes, so it is still there to look at.
TEST_P(ExtractResourceWriteFaultTest, KeepsThePartialFileOpenWhileTheBoxIsUp)
{
    g_record.fault = GetParam().fault;
    EXPECT_FALSE(Extract(CInstaller::kPayload32));

    ASSERT_EQ(1u, g_record.boxes.size());
    EXPECT_TRUE(g_record.boxes[0].fileExists);
    EXPECT_TRUE(g_record.boxes[0].fileOpen);
    EXPECT_EQ(GetParam().sizeWhileBoxIsUp, g_record.boxes[0].fileSize);
    EXPECT_EQ(1u, g_record.writes.size());
    EXPECT_FALSE(FileExists(g_record.target));
}

INSTANTIATE_TEST_SUITE_P(
    Writes, ExtractResourceWriteFaultTest,
    testing::Values(WriteFaultCase{"Fails", Fault::WriteFails, 0},
                    WriteFaultCase{"Short", Fault::WriteShort, static_cast<LONGLONG>(kPayload32Bytes.size() - 1)}),
    CaseName());

} // namespace
