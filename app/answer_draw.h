// answer_draw.h — the draw of the line that shows a question's right answer.
//
// Before every draw the generator is reseeded from the time of day in milliseconds,
// so two draws within the same millisecond give the same line. The interface lets
// tests script the lines.
#pragma once

#include <cstdint>
#include <random>

namespace velorin {

class AnswerDraw {
 public:
  virtual ~AnswerDraw() = default;
  virtual void Reseed(uint32_t seed) = 0;
  // A number from 1 to count, each equally likely.
  virtual int Draw(int count) = 0;
};

class ReseededDraw final : public AnswerDraw {
 public:
  void Reseed(uint32_t seed) override { engine_.seed(seed); }
  int Draw(int count) override;

 private:
  std::mt19937 engine_;
};

}  // namespace velorin
