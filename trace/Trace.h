#pragma once

// The three calls through which every failure is reported. Formats follow
// msvcrt's wide printf: "%s" is wide text, "%hs" narrow text. Choice of call:
// a missing registry key is information, a missing OS entry point a warning,
// everything else an error.
void TraceInfo(const wchar_t* format, ...) noexcept;
void TraceWarning(const wchar_t* format, ...) noexcept;
void TraceError(const wchar_t* format, ...) noexcept;
