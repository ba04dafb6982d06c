#include "processing/window_rule.h"

int32_t WindowLenFor(int32_t half_period) {
  int32_t window = ((half_period / 3) / 20) * 20;
  return window == 0 ? 20 : window;
}
