#pragma once
// Text files as the engine sees them: two small stream interfaces and the two
// process-wide factories that open them.
//
// The engine never opens files itself. The environment installs a read factory
// and a write factory once (on local files); hosts and tests may install their
// own. A factory opens the named file with the mode text ("r", "w", "a", "+",
// "b" as usual) and either returns a stream or raises eNUVError. Every stream a
// factory returns is ended by its Destroy (tNUVTextStreamHolder does that for a
// scope). While no factory is installed, opening raises an error naming the file.
//
// The slot order of both interfaces is a binary contract: never reorder.

#include <cstdint>

#include "engine/values/nuv_string.h"

namespace NUV {

class iNUVTextReadStream {
public:
  // Reads size bytes (0: the rest of the file) and replaces out by their text;
  // returns the number of bytes read.
  virtual uint32_t Read(tNUVString& out, uint32_t size) = 0;
  // Closes the stream and frees it.
  virtual void Destroy() = 0;

protected:
  ~iNUVTextReadStream() = default;
};

class iNUVTextWriteStream {
public:
  // Appends the text to the file.
  virtual void Write(const tNUVString& text) = 0;
  virtual void Destroy() = 0;

protected:
  ~iNUVTextWriteStream() = default;
};

using tNUVTextReadStreamFactory = iNUVTextReadStream* (*)(const tNUVString* name, const tNUVString* mode);
using tNUVTextWriteStreamFactory = iNUVTextWriteStream* (*)(const tNUVString* name, const tNUVString* mode);

// Installs the factories (null uninstalls); each returns the one it replaced.
tNUVTextReadStreamFactory NUVSetTextReadStreamFactory(tNUVTextReadStreamFactory factory);
tNUVTextWriteStreamFactory NUVSetTextWriteStreamFactory(tNUVTextWriteStreamFactory factory);

// Open through the installed factory; never null (failures raise eNUVError).
iNUVTextReadStream* NUVCreateTextReadStream(const tNUVString& name, const tNUVString& mode);
iNUVTextWriteStream* NUVCreateTextWriteStream(const tNUVString& name, const tNUVString& mode);

// Destroys a stream when the scope ends, also when an exception passes.
template <typename tStream>
class tNUVTextStreamHolder {
public:
  explicit tNUVTextStreamHolder(tStream* stream) : Stream(stream) {}
  ~tNUVTextStreamHolder() { if (Stream) Stream->Destroy(); }
  tNUVTextStreamHolder(const tNUVTextStreamHolder&) = delete;
  tNUVTextStreamHolder& operator=(const tNUVTextStreamHolder&) = delete;
  tStream* operator->() const { return Stream; }

private:
  tStream* Stream;
};

}  // namespace NUV
