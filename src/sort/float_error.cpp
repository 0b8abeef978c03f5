#include "sort/float_error.h"

#include <cstdio>

namespace qorla {

int fpe_flag = 0;
int fpe_warned = 0;

void sigfpe(int /*signal_number*/) {
  if (fpe_warned == 0) std::fputs("floating data error\n", stderr);
  fpe_flag = 1;
  fpe_warned = 1;
}

}  // namespace qorla
