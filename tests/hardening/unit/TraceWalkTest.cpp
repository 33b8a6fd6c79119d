// A seeded, bounded random walk over the trace's registry configuration:
// whatever the switches say, the trace never crashes, writes nothing when
// DebugType is 0, and writes exactly the lines its switches call for, each
// with its prefixes, to the debugger and to its file.
#include "trace/CRegDebugOutput.h"

#include "tests/hardening/support/CLineCheck.h"
#include "tests/hardening/support/CMachineKeyRedirect.h"
#include "tests/support/CTraceCapture.h"
#include "tests/support/TraceOptions.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::wstring kOutputKey = L"Software\\Quorvel\\Orvane\\Debug\\DebugOutput";
constexpr unsigned kSeed = 20261208;
constexpr unsigned kSteps = 400;

const wchar_t* const kFlags[] = {L"OutputToDebugger", L"OutputToFile",    L"AppendProcessIdToFile",
                                 L"PrependThreadId",  L"PrependProcessId", L"PrependDateTime",
                                 L"PrependModuleName", L"AppendNewLine",   L"PrependType",
                                 L"ExclusiveModules"};
enum Flag { ToDebugger, ToFile, ProcessIdInName, ThreadId, ProcessId, DateTime, ModuleName, NewLine, Type, Exclusive };
// The defaults of the switches, in the order above, when a value is absent.
constexpr DWORD kDefaults[] = {1, 0, 1, 1, 1, 1, 1, 1, 1, 0};

const DWORD kDebugTypes[] = {0, 1, 2, 3, 4, 0xFFFFFFFF, 0x80000000};
const wchar_t* const kModuleNames[] = {L"Setup", L"SETUP", L"setup", L"Other", L"Setup.exe"};

struct CMessage {
    MessageType type;
    std::wstring text;  // formatted
};

// One configuration as stored: each value present or absent.
struct CConfig {
    bool hasDebugType = false;
    DWORD debugType = 0;
    bool has[std::size(kFlags)] = {};
    DWORD flags[std::size(kFlags)] = {};
    std::vector<std::pair<std::wstring, DWORD>> modules;

    DWORD Flag(int which) const { return has[which] ? flags[which] : kDefaults[which]; }

    // The threshold in force for the module "Setup".
    int Threshold() const
    {
        const int type = static_cast<int>(hasDebugType ? debugType : 0);
        // As stored: value names ignore case, so a name given twice in any
        // spelling keeps its first spelling and its last value. The trace
        // looks through the names in code-unit order and takes the first match.
        std::map<std::wstring, DWORD> stored;
        for (const auto& [name, on] : modules) {
            auto same = stored.begin();
            while (same != stored.end() && _wcsicmp(same->first.c_str(), name.c_str()) != 0)
                ++same;
            if (same == stored.end())
                stored[name] = on;
            else
                same->second = on;
        }
        int threshold = Flag(Exclusive) && !stored.empty() ? 0 : type;
        for (const auto& [name, on] : stored) {
            if (_wcsicmp(name.c_str(), L"Setup") == 0) {
                threshold = on ? type : 0;
                break;
            }
        }
        return threshold;
    }
};

CConfig RandomConfig(std::mt19937& random)
{
    std::bernoulli_distribution present(0.8);
    std::bernoulli_distribution on(0.5);
    CConfig config;
    config.hasDebugType = present(random);
    config.debugType = kDebugTypes[random() % std::size(kDebugTypes)];
    for (std::size_t i = 0; i < std::size(kFlags); ++i) {
        config.has[i] = present(random);
        config.flags[i] = on(random) ? 1 + random() % 3 : 0;
    }
    const unsigned moduleCount = random() % 3;
    for (unsigned i = 0; i < moduleCount; ++i)
        config.modules.emplace_back(kModuleNames[random() % std::size(kModuleNames)], random() % 2);
    return config;
}

std::vector<std::wstring> MessageTexts()
{
    return {L"plain", L"ends in a line feed\n", L"ends in CR LF\r\n", L"ends in two\r\n\r\n", L"",
            L"100%", std::wstring(3000, L'x'), L"tab\tinside"};
}

void Emit(CDebugOutput& trace, MessageType type, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    switch (type) {
    case MessageType::Information:
        trace.Information(format, args);
        break;
    case MessageType::Warning:
        trace.Warning(format, args);
        break;
    case MessageType::Error:
        trace.Error(format, args);
        break;
    }
    va_end(args);
}

std::string Printable(const std::wstring& text)
{
    std::string printable;
    for (wchar_t unit : text.substr(0, 120))
        printable += unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '.';
    return printable;
}

// The message as the line ends it: trailing line breaks replaced by one CR LF.
std::wstring Body(const std::wstring& text, bool appendNewLine)
{
    if (!appendNewLine)
        return text;
    std::wstring body = text;
    while (!body.empty() && (body.back() == L'\r' || body.back() == L'\n'))
        body.pop_back();
    return body + L"\r\n";
}

class TraceWalkTest : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_folder); }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    bool Store(const CConfig& config, const std::wstring& directory)
    {
        m_keys.Clear();
        bool stored = m_keys.SetString(kOutputKey, L"Directory", directory);
        if (config.hasDebugType)
            stored &= m_keys.SetNumber(kOutputKey, L"DebugType", config.debugType);
        for (std::size_t i = 0; i < std::size(kFlags); ++i) {
            if (config.has[i])
                stored &= m_keys.SetNumber(kOutputKey, kFlags[i], config.flags[i]);
        }
        for (const auto& [name, on] : config.modules)
            stored &= m_keys.SetNumber(kOutputKey + L"\\Modules", name.c_str(), on);
        return stored;
    }

    static CLineCheck::CTracePrefixes Prefixes(const CConfig& config)
    {
        CLineCheck::CTracePrefixes prefixes;
        prefixes.dateTime = config.Flag(DateTime) != 0;
        prefixes.moduleName = config.Flag(ModuleName) != 0;
        prefixes.processId = config.Flag(ProcessId) != 0;
        prefixes.threadId = config.Flag(ThreadId) != 0;
        prefixes.type = config.Flag(Type) != 0;
        return prefixes;
    }

    static void CheckLine(const std::wstring& line, const CMessage& message, const CConfig& config,
                          const std::string& where)
    {
        const std::wstring body = Body(message.text, config.Flag(NewLine) != 0);
        ASSERT_GE(line.size(), body.size()) << where;
        EXPECT_EQ(body, line.substr(line.size() - body.size())) << where;
        EXPECT_TRUE(CLineCheck::IsTracePrefix(line.substr(0, line.size() - body.size()), Prefixes(config)))
            << where << ": " << Printable(line);
    }

    // Where the file's next line ends: its prefixes, then its message. Without
    // line ends, lines follow each other directly, so the first place where
    // well-formed prefixes are followed by the message is taken.
    static std::size_t LineEnd(const std::wstring& text, const CMessage& message, const CConfig& config)
    {
        const std::wstring body = Body(message.text, config.Flag(NewLine) != 0);
        for (std::size_t start = 0; start + body.size() <= text.size(); ++start) {
            if (text.compare(start, body.size(), body) == 0 &&
                CLineCheck::IsTracePrefix(text.substr(0, start), Prefixes(config)))
                return start + body.size();
        }
        return std::wstring::npos;
    }

    // The process's own trace stays off; only the walk's trace objects write.
    testing_support::CTraceCapture m_capture{testing_support::PlainOptions(0)};
    CMachineKeyRedirect m_keys;
    fs::path m_folder = fs::temp_directory_path() / (L"hardening-walk-" + std::to_wstring(GetCurrentProcessId()));
};

TEST_F(TraceWalkTest, EveryConfigurationWritesExactlyItsLinesOrNothing)
{
    std::mt19937 random(kSeed);
    const std::vector<std::wstring> texts = MessageTexts();
    const MessageType types[] = {MessageType::Information, MessageType::Warning, MessageType::Error};
    unsigned messages = 0;
    unsigned silent = 0;
    for (unsigned step = 0; step < kSteps; ++step) {
        const std::string where = "seed " + std::to_string(kSeed) + ", step " + std::to_string(step);
        const CConfig config = RandomConfig(random);
        const fs::path directory = m_folder / std::to_wstring(step);
        fs::create_directories(directory);
        ASSERT_TRUE(Store(config, directory.wstring())) << where;
        m_capture.Clear();

        std::vector<CMessage> expected;
        {
            CRegDebugOutput trace(L"Setup");
            trace.Initialize();
            for (int i = 0; i < 4; ++i) {
                const CMessage message{types[random() % 3], texts[random() % texts.size()]};
                Emit(trace, message.type, L"%s", message.text.c_str());
                ++messages;
                const int threshold = config.Threshold();
                if (threshold != 0 && static_cast<int>(message.type) >= threshold)
                    expected.push_back(message);
            }
        }
        if (config.Threshold() == 0)
            ++silent;

        const std::vector<std::wstring> lines = m_capture.Lines();
        ASSERT_EQ(config.Flag(ToDebugger) ? expected.size() : 0u, lines.size()) << where;
        for (std::size_t i = 0; i < lines.size(); ++i)
            CheckLine(lines[i], expected[i], config, where);

        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(directory))
            files.push_back(entry.path());
        const bool wantsFile = config.Flag(ToFile) && !expected.empty();
        ASSERT_EQ(wantsFile ? 1u : 0u, files.size()) << where;
        if (!wantsFile)
            continue;
        const std::wstring name = config.Flag(ProcessIdInName) ? L"Setup-0x" : L"Setup.log";
        EXPECT_EQ(0u, files[0].filename().wstring().find(name)) << where;
        std::wstring text = CLineCheck::ReadUtf16(files[0].wstring(), true);
        for (const CMessage& message : expected) {
            const std::size_t end = LineEnd(text, message, config);
            ASSERT_NE(std::wstring::npos, end) << where << ": a line is missing from the file: " << Printable(text);
            text.erase(0, end);
        }
        EXPECT_TRUE(text.empty()) << where << ": the file holds more than its lines";
    }
    std::cout << "[ WALK     ] seed " << kSeed << ": " << kSteps << " configurations, " << messages
              << " messages, " << silent << " configurations silent" << std::endl;
    EXPECT_GT(silent, 0u);
    EXPECT_LT(silent, kSteps);
}

} // namespace
