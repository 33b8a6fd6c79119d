// The run's own folder: its name, its DACL read back from the system, its
// removal while something still holds it, and the sweep of leftovers.
#include "setup/CPrivateFolder.h"

#include "ovlib/CUniqueHandle.h"
#include "tests/setup/CFolderCreations.h"
#include "tests/setup/CHookSet.h"
#include "tests/setup/CSwappedJunction.h"
#include "tests/setup/TestFiles.h"
#include "tests/support/CTestFolder.h"
#include "tests/support/PrivatePayloadPath.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using testing_support::CTestFolder;
using testing_support::FolderEntries;

std::wstring PayloadIn(const CPrivateFolder& folder)
{
    return std::wstring(folder.Path()) + L"\\qvltgl.exe";
}

std::wstring SidText(PSID sid)
{
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return L"(no SID)";
    const ovLib::CLocalMemory owned(text);
    return text;
}

std::wstring CurrentUserSid()
{
    ovLib::CKernelHandle token;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } user;
    DWORD length = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenUser, &user, sizeof(user), &length))
        return L"(no user)";
    return SidText(user.user.User.Sid);
}

// One line per ACE, "<type>/<flags>/<mask>/<SID>", after "protected" or
// "inherited" for the DACL's control bit.
std::wstring DaclText(PSECURITY_DESCRIPTOR descriptor)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!descriptor || !GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return L"(no DACL)";
    std::wstring text = (control & SE_DACL_PROTECTED) ? L"protected" : L"inherited";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry))
            return text + L" (unreadable ACE)";
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        text += L"\n" + std::to_wstring(allowed->Header.AceType) + L"/" + std::to_wstring(allowed->Header.AceFlags) +
                L"/" + std::to_wstring(allowed->Mask) + L"/" + SidText(&allowed->SidStart);
    }
    return text;
}

// The descriptor a folder was created with, kept beyond the creating call.
std::vector<BYTE> Kept(PSECURITY_DESCRIPTOR descriptor)
{
    DWORD length = 0;
    if (!descriptor)
        return {};
    MakeSelfRelativeSD(descriptor, nullptr, &length);
    std::vector<BYTE> bytes(length);
    if (!MakeSelfRelativeSD(descriptor, bytes.data(), &length))
        return {};
    return bytes;
}

// The token as UAC splits it: the elevation it reports, and whether the
// Administrators are enabled in it (in the unelevated half they are for
// denying only).
struct SplitToken {
    TOKEN_ELEVATION_TYPE elevation;
    BOOL administrator;
};
SplitToken g_token;
decltype(&GetTokenInformation) RealGetTokenInformation;
decltype(&CheckTokenMembership) RealCheckTokenMembership;

WINBOOL WINAPI FakeGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information, DWORD size,
                                       PDWORD length)
{
    if (kind != TokenElevationType)
        return RealGetTokenInformation(token, kind, information, size, length);
    *static_cast<TOKEN_ELEVATION_TYPE*>(information) = g_token.elevation;
    *length = sizeof(TOKEN_ELEVATION_TYPE);
    return TRUE;
}

WINBOOL WINAPI FakeCheckTokenMembership(HANDLE, PSID, PBOOL member)
{
    *member = g_token.administrator;
    return TRUE;
}

// Setup's token as UAC hands it out, until Clear.
class CSplitTokenHooks {
public:
    explicit CSplitTokenHooks(SplitToken token)
    {
        g_token = token;
        m_hooks.Add("advapi32.dll", "GetTokenInformation", &FakeGetTokenInformation, RealGetTokenInformation);
        m_hooks.Add("advapi32.dll", "CheckTokenMembership", &FakeCheckTokenMembership, RealCheckTokenMembership);
    }
    void Clear() { m_hooks.Clear(); }

private:
    CHookSet m_hooks;
};

// Run unelevated, Setup works at the user's own level: the user keeps full
// control of the folder, as SYSTEM and the Administrators have it.
TEST(PrivateFolderTest, UnelevatedIsCreatedWithFullControlForSystemAdministratorsAndTheUserOnly)
{
    CTestFolder temp;
    CSplitTokenHooks hooks({TokenElevationTypeLimited, FALSE});
    std::vector<std::wstring> created;
    std::vector<std::vector<BYTE>> descriptors;
    CFolderCreations creations([&](const std::wstring& path, PSECURITY_DESCRIPTOR security) {
        created.push_back(path);
        descriptors.push_back(Kept(security));
    });
    CPrivateFolder folder;
    ASSERT_TRUE(folder.Create(temp.AsTempPath().c_str()));
    hooks.Clear();

    ASSERT_EQ(std::vector<std::wstring>{folder.Path()}, created);
    // Inherited by files and folders inside, full control (FILE_ALL_ACCESS).
    const std::wstring full = L"0/3/2032127/";
    EXPECT_EQ(L"protected\n" + full + L"S-1-5-18\n" + full + L"S-1-5-32-544\n" + full + CurrentUserSid(),
              DaclText(descriptors[0].empty() ? nullptr : descriptors[0].data()));
}

// What the user's own code that runs unelevated may do to a folder made with
// this descriptor: the same user, with the Administrators for denying only,
// as UAC filters them. What the descriptor leaves out is filled in as for an
// elevated creator, whose objects the Administrators own.
ACCESS_MASK UnelevatedAccess(PSECURITY_DESCRIPTOR created)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    ovLib::CSid administrators;
    ovLib::CKernelHandle process;
    ovLib::CKernelHandle filtered;
    ovLib::CKernelHandle unelevated;
    EXPECT_TRUE(AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                         0, 0, 0, 0, 0, administrators.put()));
    SID_AND_ATTRIBUTES denyOnly = {administrators.get(), 0};
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, process.put()) &&
                CreateRestrictedToken(process.get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, filtered.put()) &&
                DuplicateToken(filtered.get(), SecurityImpersonation, unelevated.put()));

    SECURITY_DESCRIPTOR complete;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    PSID owner = nullptr;
    EXPECT_TRUE(GetSecurityDescriptorDacl(created, &present, &dacl, &defaulted) &&
                GetSecurityDescriptorOwner(created, &owner, &defaulted));
    InitializeSecurityDescriptor(&complete, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&complete, present, dacl, FALSE);
    SetSecurityDescriptorOwner(&complete, owner ? owner : administrators.get(), FALSE);
    SetSecurityDescriptorGroup(&complete, administrators.get(), FALSE);

    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    PRIVILEGE_SET privileges;
    DWORD privilegesLength = sizeof(privileges);
    DWORD granted = 0;
    BOOL status = FALSE;
    EXPECT_TRUE(AccessCheck(&complete, unelevated.get(), MAXIMUM_ALLOWED, &mapping, &privileges, &privilegesLength,
                            &granted, &status))
        << "error " << GetLastError();
    return granted;
}

// Elevated, the user's SID is also that of the user's own unelevated code: it
// must neither add a library beside the payload nor rewrite the DACL.
TEST(PrivateFolderTest, ElevatedKeepsTheUsersUnelevatedCodeOut)
{
    CTestFolder temp;
    CSplitTokenHooks hooks({TokenElevationTypeFull, TRUE});
    std::vector<BYTE> descriptor;
    CFolderCreations creations(
        [&](const std::wstring&, PSECURITY_DESCRIPTOR security) { descriptor = Kept(security); });
    CPrivateFolder folder;
    ASSERT_TRUE(folder.Create(temp.AsTempPath().c_str()));
    hooks.Clear();
    ASSERT_FALSE(descriptor.empty()) << "created without a descriptor";

    const ACCESS_MASK granted = UnelevatedAccess(descriptor.data());

    EXPECT_EQ(0u, granted & (FILE_ADD_FILE | WRITE_DAC)) << "granted 0x" << std::hex << granted;
}

TEST(PrivateFolderTest, HasAFreshUnforeseeableNameEachRun)
{
    CTestFolder temp;
    CPrivateFolder first;
    CPrivateFolder second;
    ASSERT_TRUE(first.Create(temp.AsTempPath().c_str()));
    ASSERT_TRUE(second.Create(temp.AsTempPath().c_str()));

    EXPECT_TRUE(testing_support::IsPrivatePayloadPath(temp.AsTempPath(), PayloadIn(first)));
    EXPECT_TRUE(testing_support::IsPrivatePayloadPath(temp.AsTempPath(), PayloadIn(second)));
    EXPECT_STRNE(first.Path(), second.Path());
}

// The generator answers these bytes in turn.
std::vector<std::vector<BYTE>> g_randomAnswers;
decltype(&SystemFunction036) RealGenRandom;

BOOLEAN WINAPI FakeGenRandom(PVOID buffer, ULONG length)
{
    if (g_randomAnswers.empty())
        return RealGenRandom(buffer, length);
    const std::vector<BYTE> answer = g_randomAnswers.front();
    g_randomAnswers.erase(g_randomAnswers.begin());
    if (answer.size() != length)
        return FALSE;
    std::memcpy(buffer, answer.data(), length);
    return TRUE;
}

class PrivateFolderNameTest : public testing::Test {
protected:
    void SetUp() override { m_hooks.Add("advapi32.dll", "SystemFunction036", &FakeGenRandom, RealGenRandom); }
    void TearDown() override
    {
        m_hooks.Clear();
        g_randomAnswers.clear();
    }

    CTestFolder m_temp;
    CHookSet m_hooks;
};

// Someone who made the folder first, with entries of his own, keeps it.
TEST_F(PrivateFolderNameTest, NeverTakesANameThatExists)
{
    const std::wstring taken = m_temp.AsTempPath() + L"qvltgl-0123456789abcdef";
    ASSERT_TRUE(CreateDirectoryW(taken.c_str(), nullptr));
    WriteBytes(taken + L"\\qvltgl.exe", "someone else's");
    g_randomAnswers = {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF},
                       {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};

    CPrivateFolder folder;
    ASSERT_TRUE(folder.Create(m_temp.AsTempPath().c_str()));

    EXPECT_EQ(m_temp.AsTempPath() + L"qvltgl-fedcba9876543210", std::wstring(folder.Path()));
    EXPECT_EQ("someone else's", ReadBytes(taken + L"\\qvltgl.exe"));
}

TEST_F(PrivateFolderNameTest, FailsWithoutARandomNameAndLeavesNothing)
{
    g_randomAnswers = {{}};

    CPrivateFolder folder;
    EXPECT_FALSE(folder.Create(m_temp.AsTempPath().c_str()));

    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(m_temp.AsTempPath()));
}

struct TempFormCase {
    const char* name;
    std::wstring (*temp)(const CTestFolder& base);
    bool bFits;
};

void PrintTo(const TempFormCase& c, std::ostream* os)
{
    *os << c.name;
}

class PrivateFolderTempFormTest : public testing::TestWithParam<TempFormCase> {};

// The folder's path: the temporary folder, one backslash, the name; never cut.
TEST_P(PrivateFolderTempFormTest, JoinsTheTemporaryFolderWithOneBackslash)
{
    const CTestFolder base;
    const std::wstring temp = GetParam().temp(base);
    CPrivateFolder folder;

    ASSERT_EQ(GetParam().bFits, folder.Create(temp.c_str()));

    if (GetParam().bFits) {
        EXPECT_TRUE(testing_support::IsPrivatePayloadPath(temp, PayloadIn(folder)));
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY),
                  GetFileAttributesW(folder.Path()) & FILE_ATTRIBUTE_DIRECTORY);
    } else {
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    }
}

// "\qvltgl-" and 16 digits make 24 units; the folder's path must stay under
// 248 units (MAX_PATH less an 8.3 name), so a temporary folder of 223 still
// takes them.
std::wstring OfLength(const CTestFolder& base, std::size_t units)
{
    std::wstring folder = base.AsTempPath();
    folder += std::wstring(units - folder.size(), L'n');
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PrivateFolderTempFormTest,
    testing::Values(TempFormCase{"TrailingBackslash", [](const CTestFolder& b) { return b.AsTempPath(); }, true},
                    TempFormCase{"NoTrailingBackslash", [](const CTestFolder& b) { return b.Path(); }, true},
                    TempFormCase{"ThreeTrailingBackslashes",
                                 [](const CTestFolder& b) { return b.AsTempPath() + L"\\\\"; }, true},
                    TempFormCase{"Longest", [](const CTestFolder& b) { return OfLength(b, 223); }, true},
                    TempFormCase{"OneUnitTooLong", [](const CTestFolder& b) { return OfLength(b, 224); }, false}),
    [](const testing::TestParamInfo<TempFormCase>& info) { return std::string(info.param.name); });

// A virus scanner that still reads the payload after it ended.
ovLib::CFileHandle OpenLikeAScanner(const std::wstring& path)
{
    return ovLib::CFileHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

TEST(PrivateFolderRemoveTest, WaitsForAShortHoldToEnd)
{
    CTestFolder temp;
    CPrivateFolder folder;
    ASSERT_TRUE(folder.Create(temp.AsTempPath().c_str()));
    const std::wstring payload = PayloadIn(folder);
    WriteBytes(payload, "payload");
    ovLib::CFileHandle scanner = OpenLikeAScanner(payload);
    ASSERT_TRUE(scanner.valid());
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        scanner.reset();
    });

    const bool removed = folder.Remove(L"qvltgl.exe");
    releaser.join();

    EXPECT_TRUE(removed);
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(temp.AsTempPath()));
}

// A hold that does not end is given up on; the next run's sweep removes what
// is left once nothing holds it.
TEST(PrivateFolderRemoveTest, GivesUpOnAHoldThatLastsAndLeavesItToTheNextRun)
{
    CTestFolder temp;
    std::wstring left;
    {
        CPrivateFolder folder;
        ASSERT_TRUE(folder.Create(temp.AsTempPath().c_str()));
        left = PayloadIn(folder);
        WriteBytes(left, "payload");
        ovLib::CFileHandle scanner = OpenLikeAScanner(left);
        ASSERT_TRUE(scanner.valid());

        EXPECT_FALSE(folder.Remove(L"qvltgl.exe"));
        EXPECT_EQ("payload", ReadBytes(left));
    }
    EXPECT_TRUE(FileExists(left)) << "gone although it was held";

    CPrivateFolder::RemoveLeftovers(temp.AsTempPath().c_str(), L"qvltgl.exe");
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(temp.AsTempPath()));
}

TEST(PrivateFolderLeftoversTest, RemovesOnlyFoldersOfEarlierRunsThatNothingHolds)
{
    CTestFolder temp;
    const std::wstring base = temp.AsTempPath();
    // Killed runs: with the payload, or before it was written.
    for (const wchar_t* name : {L"qvltgl-00112233445566ff", L"qvltgl-a0a0a0a0a0a0a0a0"}) {
        ASSERT_TRUE(CreateDirectoryW((base + name).c_str(), nullptr));
    }
    WriteBytes(base + L"qvltgl-00112233445566ff\\qvltgl.exe", "payload");
    // Not Setup's: other shapes of name, a file, a folder with other files.
    for (const wchar_t* name : {L"qvltgl-0011", L"qvltgl-AABBCCDDEEFF0011", L"qvltgl-0011223344556677x", L"other"})
        ASSERT_TRUE(CreateDirectoryW((base + name).c_str(), nullptr));
    WriteBytes(base + L"qvltgl-0123456789abcdee", "a file of that name");
    ASSERT_TRUE(CreateDirectoryW((base + L"qvltgl-0123456789abcdef").c_str(), nullptr));
    WriteBytes(base + L"qvltgl-0123456789abcdef\\notes.txt", "kept");
    // A run that goes on.
    CPrivateFolder running;
    ASSERT_TRUE(running.Create(base.c_str()));
    WriteBytes(PayloadIn(running), "payload");
    ovLib::CFileHandle held = OpenLikeAScanner(PayloadIn(running));

    CPrivateFolder::RemoveLeftovers(base.c_str(), L"qvltgl.exe");

    std::vector<std::wstring> kept = FolderEntries(base);
    std::sort(kept.begin(), kept.end());
    std::vector<std::wstring> expected = {L"other",
                                          L"qvltgl-0011",
                                          L"qvltgl-AABBCCDDEEFF0011",
                                          L"qvltgl-0011223344556677x",
                                          L"qvltgl-0123456789abcdee",
                                          L"qvltgl-0123456789abcdef",
                                          std::wstring(running.Path()).substr(base.size())};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, kept);
    EXPECT_EQ("payload", ReadBytes(PayloadIn(running)));
}

// Held open while in use, the folder cannot be removed by another run's sweep
// even before its payload is written.
TEST(PrivateFolderLeftoversTest, LeavesAFolderInUseAloneEvenWhenEmpty)
{
    CTestFolder temp;
    CPrivateFolder running;
    ASSERT_TRUE(running.Create(temp.AsTempPath().c_str()));

    CPrivateFolder::RemoveLeftovers(temp.AsTempPath().c_str(), L"qvltgl.exe");

    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(running.Path()));
    EXPECT_TRUE(running.Remove(L"qvltgl.exe"));
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(temp.AsTempPath()));
}

// The user may rename away a new child of the temporary folder and put a
// folder of their own in its place: what Create holds and names must still be
// the folder it made.
TEST(PrivateFolderTest, KeepsTheFolderItMadeWhenTheUserSwapsOneInForIt)
{
    CTestFolder temp;
    bool swapped = false;
    CFolderCreations creations([&](const std::wstring& path, PSECURITY_DESCRIPTOR) {
        if (std::exchange(swapped, true))
            return;
        if (MoveFileW(path.c_str(), temp.File(L"away").c_str()) && CreateDirectoryW(path.c_str(), nullptr))
            WriteBytes(path + L"\\planted.dll", "the user's");
    });
    CPrivateFolder folder;
    ASSERT_TRUE(folder.Create(temp.AsTempPath().c_str()));

    EXPECT_TRUE(swapped);
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(folder.Path()));
}

// A temporary folder that the user's own junction leads elsewhere: the run's
// folder is made where it leads, and named by that path.
TEST(PrivateFolderTest, IsMadeWhereATemporaryFolderThatIsAJunctionLeads)
{
    CTestFolder temp;
    const std::wstring link = temp.File(L"Temp");
    const std::wstring target = temp.File(L"elsewhere");
    ASSERT_TRUE(CreateDirectoryW(link.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    CSwappedJunction junction(link, target);
    CPrivateFolder folder;
    ASSERT_TRUE(folder.Create(link.c_str())) << "error " << GetLastError();

    EXPECT_TRUE(testing_support::IsPrivatePayloadPath(target, PayloadIn(folder))) << folder.Path();
}

// Another Setup's sweep of leftovers, just as this run's folder appears.
TEST(PrivateFolderLeftoversTest, ASweepAsTheFolderAppearsLeavesItToItsRun)
{
    CTestFolder temp;
    bool swept = false;
    CFolderCreations creations([&](const std::wstring&, PSECURITY_DESCRIPTOR) {
        if (!std::exchange(swept, true))
            CPrivateFolder::RemoveLeftovers(temp.AsTempPath().c_str(), L"qvltgl.exe");
    });
    CPrivateFolder folder;
    ASSERT_TRUE(folder.Create(temp.AsTempPath().c_str())) << "error " << GetLastError();

    EXPECT_TRUE(swept);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.Path()));
}

// A leftover's name that has become a junction since the folder was listed:
// the sweep deletes nothing where it leads.
TEST(PrivateFolderLeftoversTest, DeletesNothingThroughAJunctionSwappedInAfterTheListing)
{
    CTestFolder temp;
    const std::wstring leftover = temp.File(L"qvltgl-00112233445566ff");
    const std::wstring outside = temp.File(L"outside");
    ASSERT_TRUE(CreateDirectoryW(leftover.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    WriteBytes(outside + L"\\qvltgl.exe", "someone else's");
    {
        CSwappedJunction junction(leftover, outside);
        CPrivateFolder::RemoveLeftovers(temp.AsTempPath().c_str(), L"qvltgl.exe");
    }

    EXPECT_EQ("someone else's", ReadBytes(outside + L"\\qvltgl.exe"));
}

} // namespace
