#pragma once
// The script-visible class Math.RandomGenerator and the MT19937 generator under it.
//
// tNUVMersenneTwister is the 32-bit Mersenne Twister in the form that counts down
// the words left before the next regeneration (left) and keeps the read position
// (next). Its record can be written out as a Dictionary ("state": 624 words as
// 4992 lower-case hexadecimal digits, "left", "next") and read back, after which
// the generator continues exactly where the saved one stood.
//
// tNUVNI_RandomGenerator owns one generator; every seeding replaces it whole, and
// a seeding that fails (malformed saved state) leaves the old one in place.

#include <cstdint>
#include <memory>

#include "engine/objects/native_class.h"

namespace NUV {

struct tNUVMersenneTwisterData {
  static constexpr int32_t StateSize = 624;

  int32_t left;    // outputs remaining before the next regeneration, plus one
  int32_t next;    // index into state of the next word to temper
  uint32_t state[StateSize];
};

class tNUVMersenneTwister {
public:
  // Seeds with one value (the single-value seeding).
  explicit tNUVMersenneTwister(uint32_t seed);
  // Seeds with a key array (the array seeding); length may be 0.
  tNUVMersenneTwister(const uint32_t* key, int32_t length);
  // Takes a saved record as it is.
  explicit tNUVMersenneTwister(const tNUVMersenneTwisterData& data) : Data(data) {}

  // The next tempered 32-bit output.
  uint32_t Next();

  const tNUVMersenneTwisterData& GetData() const { return Data; }

private:
  void SeedSingle(uint32_t seed);
  void Regenerate();

  tNUVMersenneTwisterData Data;
};

class tNUVNI_RandomGenerator : public tNUVNativeInstance {
public:
  // The RandomGenerator class id; -1 until the first class object is built.
  static inline int32_t ClassID = -1;

  // Seeds as randomize does with the same arguments.
  int32_t Construct(int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* owner) override;

  // Reseeds: no argument from the clock, a non-object as a 64-bit key, an object
  // as a dictionary made by Serialize. Raises on malformed saved state.
  void Randomize(int32_t argumentCount, tNUVVariant** arguments);
  // A new Dictionary holding the complete state.
  tNUVVariant Serialize();
  // The generator (seeded from the clock if none was ever seeded).
  tNUVMersenneTwister& Generator();

private:
  std::unique_ptr<tNUVMersenneTwister> Twister;
};

class tNUVNC_RandomGenerator : public tNUVNativeClass {
public:
  tNUVNC_RandomGenerator();
  iNUVNativeInstance* CreateNativeInstance() override { return new tNUVNI_RandomGenerator; }
};

// The record a serialized dictionary describes; raises NUVNullAccess for a null
// object, member-not-found for a missing member and
// NUVNotReconstructiveRandomizeData for a malformed "state".
tNUVMersenneTwisterData NUVReadSerializedTwister(const tNUVVariantClosure& source);

}  // namespace NUV
