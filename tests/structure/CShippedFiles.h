#pragma once
#include <string>

// The files the checks compare: the shipped Setup.exe and what it should
// carry. Named on the checker's command line.
struct CShippedFiles {
    std::wstring setup;
    std::wstring payload145;
    std::wstring payload146;
    std::wstring manifest;

    static CShippedFiles& Get();
};
