#pragma once

namespace ovLib {

// Whether the calling process runs under WOW64. Asks the system on every call.
bool IsWow64() noexcept;

} // namespace ovLib
