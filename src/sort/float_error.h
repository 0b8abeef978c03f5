// The once-per-run report of numeric keys that do not fit single precision.
#pragma once

namespace qorla {

extern int fpe_flag;    // raised at every report
extern int fpe_warned;  // raised at the first; the message is written once

// Writes "floating data error\n" to stderr unless it was written before,
// and raises both flags. Called where a failed numeric key was consulted;
// no signal handler is involved.
void sigfpe(int signal_number);

}  // namespace qorla
