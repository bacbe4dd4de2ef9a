#pragma once
// The script-visible Math class: numeric functions and read-only constants called
// on the class object (`Math.sqrt(2)`), with Math.RandomGenerator as a member.
//
// Every function converts its arguments to reals and answers a real. Math.random
// draws from one process-wide linear congruential generator, which each new Math
// class object reseeds from the clock.

#include <cstdint>

#include "engine/objects/native_class.h"

namespace NUV {

class tNUVNC_Math : public tNUVNativeClass {
public:
  tNUVNC_Math();
};

// The process-wide generator behind Math.random: seeding from a calendar time in
// seconds, and one step giving the next value in [0, 1].
void NUVSeedMathRandom(int64_t calendarSeconds);
double NUVNextMathRandom();

}  // namespace NUV
