#include "app/answer_draw.h"

namespace velorin {

int ReseededDraw::Draw(int count) {
  if (count <= 1) return 1;
  // Rejection keeps the draw uniform whatever the count.
  const uint32_t range = static_cast<uint32_t>(count);
  const uint32_t limit = engine_.max() - (engine_.max() % range);
  uint32_t value = 0;
  do {
    value = static_cast<uint32_t>(engine_());
  } while (value >= limit);
  return static_cast<int>(value % range) + 1;
}

}  // namespace velorin
