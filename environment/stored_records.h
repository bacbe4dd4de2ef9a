#pragma once
// Stored records read by the exports (string, octet and variant records): a
// record starts with 32-bit words in the machine's byte order, read from an
// unaligned cursor that each read advances.

#include <cstdint>
#include <cstring>

namespace NUV {

inline uint32_t ReadRecordWord(const uint8_t** cursor) {
  uint32_t word;
  std::memcpy(&word, *cursor, sizeof word);
  *cursor += sizeof word;
  return word;
}

}  // namespace NUV
