#include "order/settings.h"

namespace qorla {

KeySpec sort[kMaxKeys];
int sort_cnt = 0;
unsigned char field_separator = 0;
int ignore_case = 0;
int rev_flag = 0;

void reset_settings() {
  for (KeySpec& k : sort) k = KeySpec{0, kText, 0, kWholeField, 0};
  sort_cnt = 0;
  field_separator = 0;
  ignore_case = 0;
  rev_flag = 0;
}

}  // namespace qorla
