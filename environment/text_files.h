#pragma once
// Text streams on local files, the library's implementation of the engine's
// iNUVTextReadStream and iNUVTextWriteStream.
//
// MrvkLocalFileStreamBase owns one C stdio stream (or none) and closes it when
// destroyed. The read and write streams add the engine interfaces on top; the
// factories MrvkCreateTextStreamForRead/Write return them already open, and every
// user ends one with Destroy. File bytes are narrow text in the active code page
// (engine/platform/text_conversion.h); Linux has no text mode, so a mode with or
// without "b" reads and writes bytes unchanged.
//
// Failures of the file itself are raised, not swallowed: a read error raises
// NUVReadError and a failed write or flush raises NUVWriteError, so a caller never
// takes a short file for a complete one.
//
// One thread at a time: ReadLine's line buffer and the default input stream are
// process-wide.

#include <cstdint>
#include <cstdio>

#include "engine/services/text_stream.h"
#include "engine/values/nuv_string.h"

#ifndef MRVK_EXPORT
#define MRVK_EXPORT __attribute__((visibility("default")))
#endif

namespace NUV {

// The slot order of the virtual operations is part of the library's binary
// contract: never reorder.
class MrvkLocalFileStreamBase {
public:
  MrvkLocalFileStreamBase() = default;
  virtual ~MrvkLocalFileStreamBase();
  MrvkLocalFileStreamBase(const MrvkLocalFileStreamBase&) = delete;
  MrvkLocalFileStreamBase& operator=(const MrvkLocalFileStreamBase&) = delete;

  // Current byte offset; -1 when no file is open or the offset does not fit.
  virtual int32_t GetPosition();
  // origin: 0 start, 1 current, 2 end. 0 on success, non-zero on failure, -1
  // when no file is open.
  virtual int32_t SetPosition(int32_t offset, int32_t origin);
  // File length in bytes, the position left where it was; -1 when no file is
  // open, the stream cannot seek or the length does not fit.
  virtual int32_t GetSize();
  // Closes any open file and opens name with the stdio mode text. A name or mode
  // that cannot be converted to narrow text raises; a folder does not open.
  virtual bool Open(const tNUVString& name, const tNUVString& mode);
  // Closes any open file and adopts file (which this stream will close).
  virtual bool Attach(std::FILE* file);
  virtual bool IsOpen();
  // The end-of-file indicator; true when no file is open.
  virtual bool IsEOF();
  virtual void Close();

  // Forgets the file without closing it (for streams attached to a standard
  // stream the process still owns).
  void Release() { File = nullptr; }

protected:
  // Byte offset and size without the 32-bit limit; -1 on failure.
  int64_t Position64() const;
  int64_t Size64() const;

  std::FILE* File = nullptr;
};

class MrvkTextReadStream : public iNUVTextReadStream, public MrvkLocalFileStreamBase {
public:
  MrvkTextReadStream() = default;

  // size 0 reads the rest of the file (up to its end on streams that cannot
  // seek). Text after a zero byte is not part of out; the count includes it.
  uint32_t Read(tNUVString& out, uint32_t size) override;
  void Destroy() override;

  ~MrvkTextReadStream() override;
  // Reads one line, its line feed kept at the end of out; returns the bytes
  // consumed, 0 (out untouched) when no file is open or at the end of input.
  virtual uint32_t ReadLine(tNUVString& out);
};

class MrvkTextWriteStream : public iNUVTextWriteStream, public MrvkLocalFileStreamBase {
public:
  MrvkTextWriteStream() = default;

  // Appends the text as narrow text and flushes.
  void Write(const tNUVString& text) override;
  void Destroy() override;

  ~MrvkTextWriteStream() override;
};

// Points the engine's two text-stream factories at the host's pair: the local-file
// factories below unless MrvkSetTextStreamFactories chose others.
void NUVInstallLocalFileStreamFactories();

extern "C" {

// The factories: a new open stream, or eNUVError with MrvkCannotOpenStorage naming
// the file. A null name or mode counts as empty.
MRVK_EXPORT iNUVTextReadStream* MrvkCreateTextStreamForRead(const tNUVString* name, const tNUVString* mode);
MRVK_EXPORT iNUVTextWriteStream* MrvkCreateTextStreamForWrite(const tNUVString* name, const tNUVString* mode);

// The host's control over the files scripts open: installs the pair of factories
// that every script file operation goes through (Array.load/save/saveStruct,
// Dictionary.saveStruct, Scripts.execStorage/evalStorage). A null factory refuses
// every opening of its kind with MrvkCannotOpenStorage, so nothing is touched. The
// pair in force before (null for a refusing one) comes back through the pointers,
// either of which may be null. The default is the two local-file factories above.
MRVK_EXPORT void MrvkSetTextStreamFactories(tNUVTextReadStreamFactory read, tNUVTextWriteStreamFactory write,
                                           tNUVTextReadStreamFactory* previousRead,
                                           tNUVTextWriteStreamFactory* previousWrite);

// The process-wide stream on standard input, attached on first use. It belongs to
// the library: its Destroy does nothing.
MRVK_EXPORT iNUVTextReadStream* MrvkGetDefaultInputStream();

// Reads the whole file (mode "rb") into text. 0 when at least one byte was read;
// -1 when the file cannot be opened or is empty (nothing is reported). A
// conversion error of the contents reaches the caller.
MRVK_EXPORT int32_t MrvkLoadScriptFile(const tNUVString* name, tNUVString* text);

// 0 when name is an existing file (anything but a folder) / an existing folder,
// -1 otherwise.
MRVK_EXPORT int32_t MrvkCheckExistentLocalFile(const tNUVString* name);
MRVK_EXPORT int32_t MrvkCheckExistentLocalFolder(const tNUVString* name);

}  // extern "C"

}  // namespace NUV
