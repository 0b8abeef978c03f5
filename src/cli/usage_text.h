// The help text: 42 lines of code page 932 bytes, closed by a null entry.
#pragma once

namespace qorla {

constexpr int kUsageLineCount = 42;
constexpr int kUsageLine = 2;  // index of "Usage: ..." in usage_text

extern const char* const usage_text[kUsageLineCount + 1];

}  // namespace qorla
