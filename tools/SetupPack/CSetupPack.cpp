#include "tools/SetupPack/CSetupPack.h"

#include "ovlib/CUniqueHandle.h"
#include "tools/SetupPack/CPendingFile.h"
#include "tools/SetupPack/CResourceUpdate.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const wchar_t* kPayloadType = L"BIN";
constexpr WORD kPayloadIds[] = {145, 146};
constexpr WORD kPayloadLanguage = 1033;

} // namespace

int CSetupPack::Run()
{
    int result = CheckInput();
    if (result == kPacked)
        result = CheckPayload(L"--x86", m_request.strX86, IMAGE_FILE_MACHINE_I386, kPayloadIds[0]);
    if (result == kPacked)
        result = CheckPayload(L"--x64", m_request.strX64, IMAGE_FILE_MACHINE_AMD64, kPayloadIds[1]);
    if (result == kPacked)
        result = Write();
    return result;
}

int CSetupPack::CheckInput()
{
    const CPayloadCheck check(m_request.strInput, 0);
    if (!check.Fine())
        return Refuse(static_cast<int>(check.Verdict()),
                      m_request.strInput + L" is " + check.What() + L"; the input must be a Setup.exe.");
    const CPeImage& image = *check.Image();
    for (WORD id : kPayloadIds) {
        if (!image.Resource(kPayloadType, id, kPayloadLanguage))
            return Refuse(kNotASetup, m_request.strInput +
                                          L" carries no BIN 145 and 146 of language 1033 to replace;"
                                          L" it is not a Setup.exe.");
    }
    m_setup = image.Bytes();
    if (!image.Signature().Size)
        return kPacked;
    if (!m_request.bDropSignature)
        return Refuse(kSigned, m_request.strInput +
                                   L" is signed, and new payloads break its signature. Give"
                                   L" --drop-signature to write it unsigned, then sign the result.");
    return DropSignature(image);
}

int CSetupPack::CheckPayload(const wchar_t* option, const std::wstring& path, WORD machine, WORD id)
{
    CPayloadCheck check(path, machine);
    if (!check.Fine())
        return Refuse(static_cast<int>(check.Verdict()),
                      std::wstring(option) + L" " + path + L" is " + check.What() + L"; BIN " +
                          std::to_wstring(id) + L" takes a PE executable for " +
                          CPayloadCheck::MachineName(machine) + L".");
    m_payloads[id - kPayloadIds[0]] = check.Image()->Bytes();
    return kPacked;
}

// The certificate table follows every section; cutting it off and clearing
// its directory entry leaves the image as it was before it was signed.
int CSetupPack::DropSignature(const CPeImage& image)
{
    const IMAGE_DATA_DIRECTORY table = image.Signature();
    if (table.VirtualAddress < image.EndOfSections() || table.VirtualAddress > m_setup.size() ||
        m_setup.size() - table.VirtualAddress < table.Size)
        return Refuse(kSigned, m_request.strInput +
                                   L" has a signature table outside the end of the file; it cannot be"
                                   L" dropped safely.");
    const std::size_t entry = image.DirectoryEntryOffset(IMAGE_DIRECTORY_ENTRY_SECURITY);
    std::memset(m_setup.data() + entry, 0, sizeof(IMAGE_DATA_DIRECTORY));
    m_setup.resize(table.VirtualAddress);
    return kPacked;
}

int CSetupPack::Write()
{
    CPendingFile pending(m_request.strOutput);
    if (!pending.Create())
        return NotWritten(L"create a temporary file beside it");
    if (!WriteFile(pending.Path()))
        return NotWritten(L"write the temporary file");
    CResourceUpdate update;
    if (!update.Begin(pending.Path()))
        return NotWritten(L"open the temporary file for a resource update");
    for (WORD id : kPayloadIds) {
        if (!update.Replace(kPayloadType, id, kPayloadLanguage, m_payloads[id - kPayloadIds[0]]))
            return NotWritten(L"replace a payload");
    }
    if (!update.Commit())
        return NotWritten(L"write the new resources");
    if (!pending.Commit())
        return NotWritten(L"rename the temporary file into place");
    std::fwprintf(stdout, L"SetupPack: wrote %ls, unsigned: sign it before you ship it.\n",
                  m_request.strOutput.c_str());
    return kPacked;
}

bool CSetupPack::WriteFile(const std::wstring& path) const
{
    ovLib::CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), m_setup.data(), static_cast<DWORD>(m_setup.size()), &written,
                               nullptr) &&
           written == m_setup.size();
}

int CSetupPack::Refuse(int exitCode, const std::wstring& message) const
{
    std::fwprintf(stderr, L"SetupPack: %ls\n", message.c_str());
    return exitCode;
}

int CSetupPack::NotWritten(const wchar_t* step) const
{
    const DWORD error = GetLastError();
    std::fwprintf(stderr, L"SetupPack: %ls was not written: could not %ls (error %lu).\n",
                  m_request.strOutput.c_str(), step, error);
    return kNotWritten;
}
