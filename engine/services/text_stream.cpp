#include "engine/services/text_stream.h"

#include "engine/services/errors.h"

namespace NUV {
namespace {

tNUVTextReadStreamFactory ReadFactory = nullptr;
tNUVTextWriteStreamFactory WriteFactory = nullptr;

// Without an installed factory no storage can be opened; the text is the one the
// environment's own factories use when opening fails.
constexpr const char16_t* NUVCannotOpenStorageTemplate = u"ストレージ %1 を開くことができません。";

[[noreturn]] void ThrowCannotOpen(const tNUVString& name) {
  NUVThrowError(NUVFillMessage(NUVCannotOpenStorageTemplate, &name));
}

}  // namespace

tNUVTextReadStreamFactory NUVSetTextReadStreamFactory(tNUVTextReadStreamFactory factory) {
  tNUVTextReadStreamFactory old = ReadFactory;
  ReadFactory = factory;
  return old;
}

tNUVTextWriteStreamFactory NUVSetTextWriteStreamFactory(tNUVTextWriteStreamFactory factory) {
  tNUVTextWriteStreamFactory old = WriteFactory;
  WriteFactory = factory;
  return old;
}

iNUVTextReadStream* NUVCreateTextReadStream(const tNUVString& name, const tNUVString& mode) {
  iNUVTextReadStream* stream = ReadFactory ? ReadFactory(&name, &mode) : nullptr;
  if (!stream) ThrowCannotOpen(name);
  return stream;
}

iNUVTextWriteStream* NUVCreateTextWriteStream(const tNUVString& name, const tNUVString& mode) {
  iNUVTextWriteStream* stream = WriteFactory ? WriteFactory(&name, &mode) : nullptr;
  if (!stream) ThrowCannotOpen(name);
  return stream;
}

}  // namespace NUV
