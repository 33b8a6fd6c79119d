#pragma once
#include <map>
#include <string>

// What the system answers a program named Setup.exe, under one Windows
// version of Wine's, to the questions of the environment probe: the raw
// answers, as the answers program (built as another Setup.exe) got them.
class CPlatformAnswers {
public:
    // Throws std::runtime_error when the answers program reported nothing.
    static CPlatformAnswers Ask(const std::wstring& version);

    // Throws std::out_of_range for a question that got no answer.
    unsigned long Get(const std::string& name) const;
    // Questions that depend on an earlier answer are not always asked.
    bool Has(const std::string& name) const { return m_answers.count(name) != 0; }

private:
    std::map<std::string, unsigned long> m_answers;
};
