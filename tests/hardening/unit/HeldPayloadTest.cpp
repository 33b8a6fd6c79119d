// The payload that runs is the payload that was written: it is checked
// against its resource and held, readable but neither writable nor
// deletable, from the check until it has ended.
#include "setup/CHeldPayload.h"
#include "setup/CInstaller.h"

#include "tests/setup/CHookSet.h"
#include "tests/setup/CaseName.h"
#include "tests/support/CFakeVersion.h"
#include "tests/support/PrivatePayloadPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr WORD kPayload = CInstaller::kPayload32;

std::string ResourceBytes(WORD id)
{
    const HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"BIN");
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
    return std::string(bytes, SizeofResource(nullptr, resource));
}

std::string FileBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What others can do to the file while Setup holds it.
struct Access {
    bool read = false;
    bool write = true;
    bool deleteAccess = true;
    bool deleteFile = true;
    bool rename = true;
};

Access Probe(const fs::path& path)
{
    Access access;
    ovLib::CFileHandle reader(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    access.read = reader.valid();
    reader.reset();
    const DWORD everyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    access.write =
        ovLib::CFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, everyone, nullptr, OPEN_EXISTING, 0, nullptr))
            .valid();
    access.deleteAccess =
        ovLib::CFileHandle(CreateFileW(path.c_str(), DELETE, everyone, nullptr, OPEN_EXISTING, 0, nullptr)).valid();
    access.deleteFile = DeleteFileW(path.c_str()) != FALSE;
    const std::wstring renamed = path.wstring() + L".renamed";
    access.rename = MoveFileExW(path.c_str(), renamed.c_str(), 0) != FALSE;
    if (access.rename)
        MoveFileExW(renamed.c_str(), path.c_str(), 0);
    return access;
}

void ExpectOnlyReadable(const Access& access, const char* when)
{
    EXPECT_TRUE(access.read) << when;
    EXPECT_FALSE(access.write) << when;
    EXPECT_FALSE(access.deleteAccess) << when;
    EXPECT_FALSE(access.deleteFile) << when;
    EXPECT_FALSE(access.rename) << when;
}

class TempFolder {
public:
    TempFolder() : m_path(fs::temp_directory_path() / (L"hardening-held-" + std::to_wstring(GetCurrentProcessId())))
    {
        fs::create_directories(m_path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

// CHeldPayload on its own.
class HeldPayloadTest : public testing::Test {
protected:
    TempFolder m_folder;
    fs::path m_file = m_folder.Path() / L"qvltgl.exe";
    std::string m_bytes = ResourceBytes(kPayload);
};

TEST_F(HeldPayloadTest, HoldsTheRightFileReadableButNotWritableOrDeletable)
{
    WriteFileBytes(m_file, m_bytes);
    CHeldPayload payload;

    ASSERT_TRUE(payload.Hold(m_file.c_str(), kPayload, L"BIN", nullptr));

    ExpectOnlyReadable(Probe(m_file), "while held");
    payload.Release();
    EXPECT_TRUE(DeleteFileW(m_file.c_str())) << "still held after Release";
}

TEST_F(HeldPayloadTest, AFileLargerThanOneReadIsComparedToItsEnd)
{
    // The check reads in chunks; a difference in the last one counts too.
    ASSERT_GT(m_bytes.size(), 64u * 1024u) << "the test payload is too small to need several reads";
    std::string changed = m_bytes;
    changed.back() ^= 0x01;
    WriteFileBytes(m_file, changed);

    EXPECT_FALSE(CHeldPayload().Hold(m_file.c_str(), kPayload, L"BIN", nullptr));
}

enum class Change { Missing, OneByteChanged, OneByteLonger, OneByteShorter, Empty, OtherBuild, HeldExclusively };

struct MismatchCase {
    std::string name;
    Change change;
};

void PrintTo(const MismatchCase& c, std::ostream* os)
{
    *os << c.name;
}

class HeldPayloadMismatchTest : public HeldPayloadTest, public testing::WithParamInterface<MismatchCase> {};

TEST_P(HeldPayloadMismatchTest, RefusesAndHoldsNothing)
{
    std::string bytes = m_bytes;
    switch (GetParam().change) {
    case Change::OneByteChanged:
        bytes[bytes.size() / 2] ^= 0x5A;
        break;
    case Change::OneByteLonger:
        bytes += '\0';
        break;
    case Change::OneByteShorter:
        bytes.pop_back();
        break;
    case Change::Empty:
        bytes.clear();
        break;
    case Change::OtherBuild:
        bytes = ResourceBytes(CInstaller::kPayload64);
        break;
    default:
        break;
    }
    if (GetParam().change != Change::Missing)
        WriteFileBytes(m_file, bytes);
    ovLib::CFileHandle other;
    if (GetParam().change == Change::HeldExclusively)
        other.reset(CreateFileW(m_file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    CHeldPayload payload;

    EXPECT_FALSE(payload.Hold(m_file.c_str(), kPayload, L"BIN", nullptr));

    other.reset();
    if (GetParam().change != Change::Missing) {
        EXPECT_TRUE(DeleteFileW(m_file.c_str())) << "a refused file is still held";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HeldPayloadMismatchTest,
                         testing::Values(MismatchCase{"Missing", Change::Missing},
                                         MismatchCase{"OneByteChanged", Change::OneByteChanged},
                                         MismatchCase{"OneByteLonger", Change::OneByteLonger},
                                         MismatchCase{"OneByteShorter", Change::OneByteShorter},
                                         MismatchCase{"Empty", Change::Empty},
                                         MismatchCase{"OtherBuild", Change::OtherBuild},
                                         MismatchCase{"HeldExclusively", Change::HeldExclusively}),
                         CaseName());

TEST_F(HeldPayloadTest, RefusesAResourceItCannotFind)
{
    WriteFileBytes(m_file, m_bytes);

    EXPECT_FALSE(CHeldPayload().Hold(m_file.c_str(), 999, L"BIN", nullptr));
}

// Install, with the payload swapped or probed at chosen moments.
enum class Swap { None, OtherBytes, Longer, Shorter, Emptied, Deleted, HeldByAnother };

struct InstallRecord {
    fs::path payload;
    Swap swap = Swap::None;
    bool swapped = false;
    ovLib::CFileHandle holder;
    int starts = 0;
    std::vector<std::wstring> boxes;
    std::vector<Access> probes;  // at the start and during the run
};
InstallRecord* g_install = nullptr;

decltype(&CreateFileW) RealCreateFileW;
decltype(&CreateProcessW) RealCreateProcessW;
decltype(&WaitForSingleObject) RealWaitForSingleObject;
decltype(&MessageBoxW) RealMessageBoxW;

void SwapPayload(Swap swap, InstallRecord& record)
{
    std::string bytes = FileBytes(record.payload);
    switch (swap) {
    case Swap::OtherBytes:
        bytes[bytes.size() / 3] ^= 0x01;
        break;
    case Swap::Longer:
        bytes += "MZ";
        break;
    case Swap::Shorter:
        bytes.resize(bytes.size() / 2);
        break;
    case Swap::Emptied:
        bytes.clear();
        break;
    case Swap::Deleted:
        DeleteFileW(record.payload.c_str());
        return;
    case Swap::HeldByAnother:
        record.holder.reset(RealCreateFileW(record.payload.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                            nullptr));
        return;
    case Swap::None:
        return;
    }
    WriteFileBytes(record.payload, bytes);
}

// The check reopens the written file: the last moment to swap it.
HANDLE WINAPI FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile)
{
    InstallRecord* record = g_install;
    // The extraction names the payload's file, in the run's own folder.
    if (record && disposition == CREATE_NEW && path && fs::path(path).filename() == L"qvltgl.exe")
        record->payload = path;
    if (record && !record->swapped && disposition == OPEN_EXISTING && path && !record->payload.empty() &&
        _wcsicmp(path, record->payload.c_str()) == 0) {
        record->swapped = true;
        SwapPayload(record->swap, *record);
    }
    return RealCreateFileW(path, access, share, security, disposition, flags, templateFile);
}

WINBOOL WINAPI FakeCreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                                  LPSECURITY_ATTRIBUTES threadSecurity, WINBOOL inheritHandles, DWORD flags,
                                  LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                                  LPPROCESS_INFORMATION info)
{
    if (InstallRecord* record = g_install) {
        ++record->starts;
        g_install = nullptr;  // the probe's own calls pass straight through
        record->probes.push_back(Probe(record->payload));
        g_install = record;
    }
    return RealCreateProcessW(application, commandLine, processSecurity, threadSecurity, inheritHandles, flags,
                              environment, folder, startup, info);
}

DWORD WINAPI FakeWaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    InstallRecord* record = g_install;
    if (record && record->probes.size() == 1) {
        g_install = nullptr;
        record->probes.push_back(Probe(record->payload));
        g_install = record;
    }
    return RealWaitForSingleObject(object, milliseconds);
}

int WINAPI FakeMessageBoxW(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    if (g_install)
        g_install->boxes.emplace_back(text ? text : L"(null)");
    return IDOK;
}

class HeldInstallTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"TMP", m_folder.Path().c_str());
        SetEnvironmentVariableW(L"TEMP", m_folder.Path().c_str());
        SetEnvironmentVariableW(L"E2E_EXIT_CODE", L"3010");
        // A payload that sleeps is still running when the wait is probed.
        SetEnvironmentVariableW(L"E2E_SLEEP_MS", L"300");
        SetEnvironmentVariableW(L"E2E_REPORT", m_report.c_str());
        m_hooks.Add("kernel32.dll", "CreateFileW", &FakeCreateFileW, RealCreateFileW);
        m_hooks.Add("kernel32.dll", "CreateProcessW", &FakeCreateProcessW, RealCreateProcessW);
        m_hooks.Add("kernel32.dll", "WaitForSingleObject", &FakeWaitForSingleObject, RealWaitForSingleObject);
        m_hooks.Add("user32.dll", "MessageBoxW", &FakeMessageBoxW, RealMessageBoxW);
    }

    void TearDown() override
    {
        g_install = nullptr;
        m_hooks.Clear();
    }

    bool Install(DWORD& exitCode)
    {
        g_install = &m_record;
        const bool ran = CInstaller().Install(L"/status", exitCode);
        g_install = nullptr;
        return ran;
    }

    TempFolder m_folder;
    fs::path m_report = m_folder.Path() / L"report.bin";
    InstallRecord m_record;
    // Setup goes on only on NT 6.0.
    testing_support::CFakeVersion m_version{testing_support::kNt60, testing_support::CFakeVersion::Packed::FromSystem};
    CHookSet m_hooks;
};

TEST_F(HeldInstallTest, NobodyCanWriteOrDeleteThePayloadFromItsCheckUntilItHasEnded)
{
    DWORD exitCode = 0;

    EXPECT_TRUE(Install(exitCode));

    EXPECT_EQ(3010u, exitCode);
    ASSERT_EQ(2u, m_record.probes.size()) << "probed at the start and during the run";
    ExpectOnlyReadable(m_record.probes[0], "as the payload starts");
    ExpectOnlyReadable(m_record.probes[1], "while the payload runs");
    EXPECT_TRUE(fs::exists(m_report)) << "the payload did not run";
    EXPECT_TRUE(testing_support::IsPrivatePayloadPath(m_folder.Path().wstring(), m_record.payload.wstring()));
    EXPECT_FALSE(fs::exists(m_record.payload)) << "the payload was left behind";
    EXPECT_FALSE(fs::exists(m_record.payload.parent_path())) << "the payload's folder was left behind";
    EXPECT_TRUE(m_record.boxes.empty());
}

struct SwapCase {
    std::string name;
    Swap swap;
    bool fileLeft;  // a file held by another cannot be deleted
};

void PrintTo(const SwapCase& c, std::ostream* os)
{
    *os << c.name;
}

class HeldInstallSwapTest : public HeldInstallTest, public testing::WithParamInterface<SwapCase> {};

TEST_P(HeldInstallSwapTest, IsAFailedExtraction)
{
    m_record.swap = GetParam().swap;
    DWORD exitCode = 0;

    EXPECT_FALSE(Install(exitCode));

    EXPECT_EQ(CInstaller::kSetupFailed, exitCode);
    ASSERT_TRUE(m_record.swapped) << "the payload was never reopened";
    EXPECT_EQ(std::vector<std::wstring>{L"write file"}, m_record.boxes);
    EXPECT_EQ(0, m_record.starts) << "a swapped payload was started";
    EXPECT_FALSE(fs::exists(m_report));
    m_record.holder.reset();
    EXPECT_EQ(GetParam().fileLeft, fs::exists(m_record.payload));
}

INSTANTIATE_TEST_SUITE_P(Swaps, HeldInstallSwapTest,
                         testing::Values(SwapCase{"OtherBytes", Swap::OtherBytes, false},
                                         SwapCase{"Longer", Swap::Longer, false},
                                         SwapCase{"Shorter", Swap::Shorter, false},
                                         SwapCase{"Emptied", Swap::Emptied, false},
                                         SwapCase{"Deleted", Swap::Deleted, false},
                                         SwapCase{"HeldByAnother", Swap::HeldByAnother, true}),
                         CaseName());

} // namespace
