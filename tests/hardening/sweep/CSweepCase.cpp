#include "tests/hardening/sweep/CSweepCase.h"

#include "ovlib/CAtlException.h"
#include "ovlib/COSInfo.h"
#include "ovlib/LoadSystemLibrary.h"
#include "tests/hardening/support/CLineCheck.h"
#include "tests/hardening/support/CMachineKeyRedirect.h"
#include "tests/hardening/sweep/CSweptFunctions.h"
#include "tests/support/CTraceCapture.h"
#include "tests/support/Narrow.h"
#include "tests/support/PrivatePayloadPath.h"
#include "trace/CRegDebugOutput.h"

#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>
#include <vector>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLineTail, int);

namespace {

namespace fs = std::filesystem;
using testing_support::Narrow;

const std::wstring kSwitchKey = L"Software\\Quorvel";
const std::wstring kOutputKey = L"Software\\Quorvel\\Orvane\\Debug\\DebugOutput";
const std::wstring kCrashKey = L"Software\\Quorvel\\Orvane\\Debug\\CrashHandler";
constexpr DWORD kSetupFailed = 9000;

class CVerdict {
public:
    void Add(const std::string& line) { m_lines.push_back(line); }
    void Check(bool held, const std::string& what)
    {
        if (!held) {
            m_lines.push_back("fail " + what);
            m_failed = true;
        }
    }
    bool Failed() const { return m_failed; }
    void Write(const fs::path& path) const
    {
        std::ofstream file(path, std::ios::trunc);
        for (const std::string& line : m_lines)
            file << line << '\n';
    }

private:
    std::vector<std::string> m_lines;
    bool m_failed = false;
};

// Both logs on, to file and debugger: the installer log in mode 5, the trace
// for every message with every prefix, into the case folder.
bool SwitchLogsOn(const CMachineKeyRedirect& keys, const std::wstring& folder)
{
    return keys.SetNumber(kSwitchKey, L"DebugLog", 1) && keys.SetNumber(kSwitchKey, L"MsiDebugLog", 4) &&
           keys.SetNumber(kOutputKey, L"DebugType", 1) && keys.SetNumber(kOutputKey, L"OutputToFile", 1) &&
           keys.SetString(kOutputKey, L"Directory", folder) &&
           keys.SetNumber(kOutputKey + L"\\Modules", L"Setup", 1) && keys.SetNumber(kCrashKey, L"DumpType", 0x22);
}

[[gnu::noinline]] void Throw()
{
    throw ovLib::CAtlException(E_OUTOFMEMORY);
}

// What the system and the runtime create once per process on first use, so
// that it is not taken for a leak: the predefined registry keys, the
// thread's message queue, what the Terminal Services library leaves loaded,
// and the runtime's locks for its first exception.
void WarmUp()
{
    try {
        Throw();
    } catch (const ovLib::CAtlException&) {
    }
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, L"Software", 0, KEY_READ, &key) == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    ovLib::LoadSystemLibrary(L"wtsapi32.dll");
}

// Counted one by one: Wine's GetProcessHandleCount answers 0. Handle values
// are multiples of four, and a small program's lie far below the limit.
DWORD HandleCount()
{
    constexpr ULONG_PTR kLimit = 0x4000;
    DWORD count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < kLimit; value += 4)
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return count;
}

std::set<std::wstring> LoadedModules()
{
    std::set<std::wstring> modules;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return modules;
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
        std::wstring path = entry.szExePath;
        std::transform(path.begin(), path.end(), path.begin(), ::towlower);
        modules.insert(path);
    }
    CloseHandle(snapshot);
    return modules;
}

// Open in this process with no sharing at all: only its owner can hold it so.
bool IsHeldOpen(const fs::path& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return false;
}

std::vector<fs::path> FilesLike(const fs::path& folder, const std::wstring& prefix, const std::wstring& extension)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.compare(0, prefix.size(), prefix) == 0 && entry.path().extension() == extension)
            files.push_back(entry.path());
    }
    return files;
}

using LineTest = bool (*)(const std::wstring&);

bool IsTraceLine(const std::wstring& line)
{
    return CLineCheck::IsTraceLine(line);
}

void CheckFileLines(CVerdict& verdict, const fs::path& file, bool withByteOrderMark, LineTest isLine)
{
    for (const std::wstring& line : CLineCheck::Lines(CLineCheck::ReadUtf16(file.wstring(), withByteOrderMark)))
        verdict.Check(isLine(line), "a partial or malformed line in " + file.filename().string() + ": " + Narrow(line));
}

// Setup as the system runs it: the start-up snapshot, the trace's first use
// (made to come first, so that its own calls are swept as well), wWinMain.
bool RunSetup(HINSTANCE instance, int& exitCode) noexcept
{
    try {
        ovLib::COSInfo::initialized = false;
        ovLib::COSInfo::InitializeOSInfo();
        g_DebugOutput.Initialize();
        wchar_t tail[] = L"/status";
        exitCode = wWinMain(instance, nullptr, tail, SW_SHOWNORMAL);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

CSweepCase::CSweepCase(std::string function, unsigned ordinal, std::wstring folder)
    : m_function(std::move(function)), m_ordinal(ordinal), m_folder(std::move(folder))
{
}

int CSweepCase::Run()
{
    CVerdict verdict;
    const fs::path folder(m_folder);
    const CMachineKeyRedirect keys;
    verdict.Check(SwitchLogsOn(keys, m_folder), "the registry could not be set up");
    WarmUp();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const DWORD handlesBefore = HandleCount();
    const std::set<std::wstring> modulesBefore = LoadedModules();

    int exitCode = 0;
    bool ended = false;
    std::map<std::string, unsigned> calls;
    bool struck = false;
    std::string asked;
    std::vector<std::wstring> debugStrings;
    {
        testing_support::CTraceCapture capture(testing_support::CTraceCapture::RecordOnly{});
        {
            CSweptFunctions swept;
            swept.Arm(m_function, m_ordinal);
            ended = RunSetup(instance, exitCode);
            swept.Disarm();
            calls = swept.Calls();
            struck = swept.Struck();
            asked = swept.Asked();
        }
        debugStrings = capture.Lines();
    }

    const DWORD handlesAfter = HandleCount();
    const std::vector<fs::path> traceFiles = FilesLike(folder, L"Setup", L".log");
    const DWORD traceHeld = !traceFiles.empty() && IsHeldOpen(traceFiles.front()) ? 1 : 0;
    const DWORD code = static_cast<DWORD>(exitCode);
    const bool payloadRan = fs::exists(folder / L"report.bin");
    const unsigned boxes = calls.count("MessageBoxW") ? calls["MessageBoxW"] : 0;

    verdict.Check(ended, "an exception escaped");
    verdict.Check(code == kPayloadExitCode || code == 0 || code == kSetupFailed,
                  "exit code " + std::to_string(code));
    verdict.Check(payloadRan || code != kPayloadExitCode, "the payload's exit code, but the payload never ran");
    verdict.Check(boxes <= 1, std::to_string(boxes) + " message boxes");
    verdict.Check(handlesAfter == handlesBefore + traceHeld,
                  std::to_string(handlesBefore) + " handles before, " + std::to_string(handlesAfter) +
                      " after (the trace file holds " + std::to_string(traceHeld) + ")");
    for (const std::wstring& module : LoadedModules()) {
        verdict.Check(modulesBefore.count(module) != 0, "left loaded: " + Narrow(module));
    }
    // A failed delete is tried again: nothing of the run stays.
    for (const std::wstring& entry : testing_support::FolderEntries(folder.wstring()))
        verdict.Check(entry.rfind(L"qvltgl", 0) != 0, "left behind: " + Narrow(entry));
    for (const std::wstring& text : debugStrings)
        verdict.Check(CLineCheck::IsTraceLine(text) || CLineCheck::IsInstallerLogLine(text),
                      "a partial or malformed debugger line: " + Narrow(text));
    for (const fs::path& file : traceFiles)
        CheckFileLines(verdict, file, true, &IsTraceLine);
    for (const fs::path& file : FilesLike(folder, L"QVLMSI", L".log"))
        CheckFileLines(verdict, file, false, &CLineCheck::IsInstallerLogLine);

    if (m_function.empty()) {
        verdict.Check(code == kPayloadExitCode && payloadRan, "the run without faults did not run the payload");
        verdict.Check(boxes == 0, "the run without faults showed a box");
        for (const auto& [function, count] : calls)
            verdict.Add("calls " + function + " " + std::to_string(count));
        for (std::size_t start = 0, end; (end = asked.find(';', start)) != std::string::npos; start = end + 1)
            verdict.Add("asked " + asked.substr(start, end - start));
    }
    if (struck)
        verdict.Add("struck");
    verdict.Add("exit " + std::to_string(code));
    verdict.Write(folder / kVerdictName);
    return verdict.Failed() ? 1 : 0;
}
