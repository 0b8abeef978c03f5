#include "cli/usage_text.h"

namespace qorla {

// usage_text.inc is generated from usage_text.txt (UTF-8) at build time.
const char* const usage_text[kUsageLineCount + 1] = {
#include "usage_text.inc"
    nullptr,
};

}  // namespace qorla
