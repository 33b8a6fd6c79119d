#pragma once

// An out-of-line variadic call that takes its arguments and does nothing: the
// floor of any call such as TraceError.
void EmptyVariadicCall(const wchar_t* format, ...) noexcept;
