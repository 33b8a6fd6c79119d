#include "trace/CDebugOutput.h"

#include "ovlib/CAtlException.h"
#include "ovlib/CFolderHandle.h"

#include <cstdlib>

namespace {

const wchar_t* TypeLabel(MessageType type) noexcept
{
    switch (type) {
    case MessageType::Information:
        return L"Information";
    case MessageType::Warning:
        return L"Warning";
    case MessageType::Error:
        return L"Error";
    }
    return nullptr;
}

bool IsLineEnd(wchar_t ch) noexcept
{
    return ch == L'\r' || ch == L'\n';
}

} // namespace

CDebugOutput::CDebugOutput(const wchar_t* moduleName) noexcept
{
    try {
        m_strModuleName = moduleName;
    } catch (const ovLib::CAtlException&) {
    }
}

void CDebugOutput::FormatAndOutput(MessageType type, const wchar_t* format, va_list args) noexcept
{
    ovLib::CWideString line;
    try {
        BuildLine(line, type, format, args);
    } catch (const ovLib::CAtlException&) {
        return;
    }
    Output(line);
}

void CDebugOutput::BuildLine(ovLib::CWideString& line, MessageType type, const wchar_t* format,
                             va_list args) const
{
    if (m_Switches.PrependDateTime) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        line.AppendFormat(L"%04d-%02d-%02d-%02d-%02d-%02d-%03d : ", now.wYear, now.wMonth, now.wDay, now.wHour,
                          now.wMinute, now.wSecond, now.wMilliseconds);
    }
    if (m_Switches.PrependModuleName && !m_strModuleName.IsEmpty())
        line.AppendFormat(L"%s : ", m_strModuleName.GetString());
    if (m_Switches.PrependProcessId)
        line.AppendFormat(L"0x%04X : ", GetCurrentProcessId());
    if (m_Switches.PrependThreadId)
        line.AppendFormat(L"0x%04X : ", GetCurrentThreadId());
    if (m_Switches.PrependType) {
        if (const wchar_t* label = TypeLabel(type))
            line.AppendFormat(L"%s : ", label);
    }
    line.AppendFormatV(format, args);
    if (m_Switches.AppendNewLine) {
        int length = line.GetLength();
        while (length > 0 && IsLineEnd(line[length - 1]))
            --length;
        line.Truncate(length);
        line.Append(L"\r\n");
    }
}

void CDebugOutput::Output(const ovLib::CWideString& line) noexcept
{
    if (m_Switches.OutputToDebugger)
        OutputDebugStringW(line);
    if (m_Switches.OutputToFile)
        WriteToFile(line);
}

void CDebugOutput::WriteToFile(const ovLib::CWideString& line) noexcept
{
    ovLib::CCriticalSection::CLock lock(m_csLock);
    if (!lock)
        return;
    if (!m_hLogFile)
        OpenFile();
    if (m_hLogFile) {
        DWORD written = 0;
        WriteFile(m_hLogFile.get(), line.GetString(), static_cast<DWORD>(line.GetLength() * sizeof(wchar_t)),
                  &written, nullptr);
    }
}

// The name is opened in the directory held by handle, and the file kept only
// if it is a plain one of its own: a link there could lead the lines into
// someone else's file.
bool CDebugOutput::OpenFile() noexcept
{
    m_hLogFile.reset();

    ovLib::CWideString name;
    try {
        name.Append(m_strModuleName);
        if (m_Switches.AppendProcessIdToFile)
            name.AppendFormat(L"-0x%04X", GetCurrentProcessId());
        name.Append(L".log");
    } catch (const ovLib::CAtlException&) {
        return false;
    }

    // Its trailing backslashes do not count; an empty one is the root.
    ovLib::CFolderHandle folder;
    if (!folder.Open(m_strDirectory, ovLib::CFolderHandle::Link::Refused))
        return false;
    bool created = false;
    m_hLogFile.reset(folder.OpenFile(name, GENERIC_WRITE, FILE_SHARE_READ, created).release());
    if (!m_hLogFile)
        return false;
    if (created) {
        static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
        DWORD written = 0;
        WriteFile(m_hLogFile.get(), kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr);
    }
    SetFilePointer(m_hLogFile.get(), 0, nullptr, FILE_END);
    return true;
}

bool CDebugOutput::FillDefaults() noexcept
{
    if (!m_strModuleName.IsEmpty() && !m_strDirectory.IsEmpty())
        return true;

    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH - 1);
    if (length == 0 || length == MAX_PATH - 1)
        return false;

    wchar_t drive[3];
    wchar_t directory[256];
    wchar_t fileName[256];
    wchar_t extension[256];
    if (_wsplitpath_s(path, drive, 3, directory, 256, fileName, 256, extension, 256) != 0)
        return false;

    // Formatted here rather than by the reporting formatter: the trace does
    // not trace its own failures.
    try {
        if (m_strModuleName.IsEmpty())
            m_strModuleName = fileName;
        if (m_strDirectory.IsEmpty())
            m_strDirectory.AppendFormat(L"%s%s", drive, directory);
    } catch (const ovLib::CAtlException&) {
        return false;
    }
    return true;
}

bool CDebugOutput::Initialize() noexcept
{
    if (m_bInitialized)
        return true;
    ovLib::CCriticalSection::CLock lock(m_csLock);
    if (!lock)
        return false;
    if (m_bInitialized)
        return true;
    const bool result = FillDefaults();
    m_bInitialized = 1;
    return result;
}

bool CDebugOutput::SetDirectory(const wchar_t* directory) noexcept
{
    Initialize();
    if (!directory)
        return false;
    const bool changed = m_strDirectory.Compare(directory) != 0;
    try {
        m_strDirectory = directory;
    } catch (const ovLib::CAtlException&) {
        return false;
    }
    return changed ? ReopenFile() : true;
}

bool CDebugOutput::ReopenFile() noexcept
{
    ovLib::CCriticalSection::CLock lock(m_csLock);
    if (!lock)
        return false;
    return m_hLogFile ? OpenFile() : true;
}
