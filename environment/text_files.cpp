// Local files behind the engine's text streams.

#include "environment/text_files.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform/local_files.h"
#include "engine/platform/text_conversion.h"
#include "engine/services/errors.h"
#include "engine/values/string_body.h"
#include "environment/environment.h"
#include "environment/library_messages.h"

namespace NUV {
namespace {

// Bytes ReadLine takes per piece: one less than the buffer, for the terminator.
constexpr size_t LineBufferSize = 1024;
constexpr size_t LinePieceLimit = LineBufferSize - 1;
char LineBuffer[LineBufferSize];

// Read(out, 0) on a stream that cannot tell its size reads in chunks this large.
constexpr size_t UnknownSizeChunk = 64 * 1024;

// The text a name or mode stands for as narrow text. A text the code page cannot
// hold exactly (the converter would put "?" in its place) or one with a zero unit
// would name a different file, so it is refused instead.
std::string NarrowNameText(const tNUVString& text) {
  std::string narrow = Platform::WideToNarrow(text.c_str(), static_cast<size_t>(text.GetLen()));
  std::u16string back;
  if (narrow.find('\0') != std::string::npos ||
      !Platform::NarrowToWide(narrow.data(), narrow.size(), back) ||
      back != std::u16string_view(text.c_str(), static_cast<size_t>(text.GetLen())))
    NUVThrowError(tNUVString(u"ナロー文字列への変換に失敗しました。"));
  return narrow;
}

// The string of narrow bytes, cut before the first zero byte.
tNUVString TextOfBytes(const char* bytes, size_t length) {
  if (length == 0) return tNUVString();
  const void* zero = std::memchr(bytes, 0, length);
  if (zero) length = static_cast<size_t>(static_cast<const char*>(zero) - bytes);
  return tNUVString::Adopt(CreateStringBodyFromNarrow(bytes, length));
}

const tNUVString& OrEmpty(const tNUVString* text) {
  static const tNUVString empty;
  return text ? *text : empty;
}

// The default input stream: owned by the library, so Destroy from a caller is
// ignored, and standard input is left open when the library goes away.
class tDefaultInputStream final : public MrvkTextReadStream {
public:
  void Destroy() override {}
  ~tDefaultInputStream() override {
    if (File == stdin) Release();
  }
};

tDefaultInputStream DefaultInputStream;

}  // namespace

// Base ---------------------------------------------------------------------------------

MrvkLocalFileStreamBase::~MrvkLocalFileStreamBase() { Close(); }

int64_t MrvkLocalFileStreamBase::Position64() const {
  if (!File) return -1;
  return Platform::FilePosition(File);
}

int64_t MrvkLocalFileStreamBase::Size64() const {
  if (!File) return -1;
  int64_t remembered = Platform::FilePosition(File);
  if (remembered < 0 || !Platform::SetFilePosition(File, 0, SEEK_END)) return -1;
  int64_t size = Platform::FilePosition(File);
  Platform::SetFilePosition(File, remembered, SEEK_SET);
  return size;
}

int32_t MrvkLocalFileStreamBase::GetPosition() {
  int64_t position = Position64();
  return position > INT32_MAX ? -1 : static_cast<int32_t>(position);
}

int32_t MrvkLocalFileStreamBase::SetPosition(int32_t offset, int32_t origin) {
  if (!File) return -1;
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
  if (whence < 0) return 1;
  return Platform::SetFilePosition(File, offset, whence) ? 0 : 1;
}

int32_t MrvkLocalFileStreamBase::GetSize() {
  int64_t size = Size64();
  return size > INT32_MAX ? -1 : static_cast<int32_t>(size);
}

bool MrvkLocalFileStreamBase::Open(const tNUVString& name, const tNUVString& mode) {
  Close();
  std::string narrowName = NarrowNameText(name);
  std::string narrowMode = NarrowNameText(mode);
  File = std::fopen(narrowName.c_str(), narrowMode.c_str());
  if (!File) return false;
  // stdio opens a folder for reading, and every read then fails.
  if (Platform::IsOpenFolder(File)) Close();
  return File != nullptr;
}

bool MrvkLocalFileStreamBase::Attach(std::FILE* file) {
  Close();
  File = file;
  return File != nullptr;
}

bool MrvkLocalFileStreamBase::IsOpen() { return File != nullptr; }

bool MrvkLocalFileStreamBase::IsEOF() { return !File || std::feof(File) != 0; }

void MrvkLocalFileStreamBase::Close() {
  if (!File) return;
  std::fclose(File);
  File = nullptr;
}

// Read stream ----------------------------------------------------------------------------

MrvkTextReadStream::~MrvkTextReadStream() = default;

void MrvkTextReadStream::Destroy() { delete this; }

uint32_t MrvkTextReadStream::Read(tNUVString& out, uint32_t size) {
  if (!File) return 0;
  int64_t position = Position64();
  int64_t fileSize = position >= 0 ? Size64() : -1;
  std::vector<char> bytes;
  size_t count = 0;
  if (fileSize < 0) {
    // Standard input or a pipe cannot tell what is left: read in chunks up to
    // size bytes (0: to the end), so a large size allocates only what arrives.
    size_t limit = size == 0 ? size_t{UINT32_MAX} : size;
    while (count < limit) {
      size_t chunk = std::min(UnknownSizeChunk, limit - count);
      bytes.resize(count + chunk);
      size_t got = std::fread(bytes.data() + count, 1, chunk, File);
      count += got;
      if (got < chunk) break;
    }
  } else {
    // The buffer is never larger than what is left of the file.
    int64_t remaining = std::min<int64_t>(std::max<int64_t>(fileSize - position, 0), UINT32_MAX);
    size_t wanted = size == 0 ? static_cast<size_t>(remaining) : std::min<size_t>(size, static_cast<size_t>(remaining));
    if (wanted > 0) {
      bytes.resize(wanted);
      count = std::fread(bytes.data(), 1, wanted, File);
    }
  }
  if (std::ferror(File)) NUVThrowError(NUVReadError);
  out = TextOfBytes(bytes.data(), count);
  return static_cast<uint32_t>(count);
}

uint32_t MrvkTextReadStream::ReadLine(tNUVString& out) {
  if (!File || std::feof(File)) return 0;
  out.Clear();
  // The line is converted as a whole, so a character split across two pieces
  // arrives intact.
  std::string line;
  for (;;) {
    size_t length = 0;
    int byte = 0;
    while (length < LinePieceLimit && (byte = std::getc(File)) != EOF) {
      LineBuffer[length++] = static_cast<char>(byte);
      if (byte == '\n') break;
    }
    LineBuffer[length] = '\0';
    if (std::ferror(File)) NUVThrowError(NUVReadError);
    if (length == 0) break;
    line.append(LineBuffer, length);
    // A full piece that ended on its line feed is a whole line: the next line
    // must not be joined to it.
    if (length < LinePieceLimit || LineBuffer[length - 1] == '\n') break;
  }
  if (line.size() > UINT32_MAX) NUVThrowError(NUVReadError);
  out = TextOfBytes(line.data(), line.size());
  return static_cast<uint32_t>(line.size());
}

// Write stream ---------------------------------------------------------------------------

MrvkTextWriteStream::~MrvkTextWriteStream() = default;

void MrvkTextWriteStream::Destroy() { delete this; }

void MrvkTextWriteStream::Write(const tNUVString& text) {
  if (!File) return;
  std::string narrow = Platform::WideToNarrow(text.c_str(), static_cast<size_t>(text.GetLen()));
  bool written = narrow.empty() || std::fwrite(narrow.data(), 1, narrow.size(), File) == narrow.size();
  if (std::fflush(File) != 0 || !written) {
    std::clearerr(File);
    NUVThrowError(NUVWriteError);
  }
}

// Installation and exports -------------------------------------------------------------------

namespace {

// What the host installed; the engine holds a refusing factory where this is null.
tNUVTextReadStreamFactory HostReadFactory = MrvkCreateTextStreamForRead;
tNUVTextWriteStreamFactory HostWriteFactory = MrvkCreateTextStreamForWrite;

[[noreturn]] void RefuseStorage(const tNUVString* name) {
  NUVThrowError(MrvkExpandMessageTemplate(MrvkCannotOpenStorage, name, nullptr, false));
}
iNUVTextReadStream* RefuseRead(const tNUVString* name, const tNUVString*) { RefuseStorage(name); }
iNUVTextWriteStream* RefuseWrite(const tNUVString* name, const tNUVString*) { RefuseStorage(name); }

void InstallHostFactories() {
  NUVSetTextReadStreamFactory(HostReadFactory ? HostReadFactory : RefuseRead);
  NUVSetTextWriteStreamFactory(HostWriteFactory ? HostWriteFactory : RefuseWrite);
}

}  // namespace

void NUVInstallLocalFileStreamFactories() { InstallHostFactories(); }

namespace {

template <typename tStream>
tStream* OpenStream(const tNUVString* name, const tNUVString* mode) {
  // Freed also when the name cannot be converted.
  std::unique_ptr<tStream> stream(new tStream);
  if (!stream->Open(OrEmpty(name), OrEmpty(mode)))
    NUVThrowError(MrvkExpandMessageTemplate(MrvkCannotOpenStorage, name, nullptr, false));
  return stream.release();
}

int32_t CheckExistence(const tNUVString* name, bool folder) {
  if (!name) return -1;
  std::string narrow;
  try {
    narrow = NarrowNameText(*name);
  } catch (const eNUV&) {
    return -1;
  }
  if (narrow.empty()) return -1;
  Platform::tPathKind kind = Platform::KindOfPath(narrow.c_str());
  if (kind == Platform::tPathKind::Missing) return -1;
  return (kind == Platform::tPathKind::Folder) == folder ? 0 : -1;
}

}  // namespace

extern "C" {

iNUVTextReadStream* MrvkCreateTextStreamForRead(const tNUVString* name, const tNUVString* mode) {
  return OpenStream<MrvkTextReadStream>(name, mode);
}

iNUVTextWriteStream* MrvkCreateTextStreamForWrite(const tNUVString* name, const tNUVString* mode) {
  return OpenStream<MrvkTextWriteStream>(name, mode);
}

iNUVTextReadStream* MrvkGetDefaultInputStream() {
  if (!DefaultInputStream.IsOpen()) DefaultInputStream.Attach(stdin);
  return &DefaultInputStream;
}

int32_t MrvkLoadScriptFile(const tNUVString* name, tNUVString* text) {
  if (!text) return -1;
  const tNUVString mode(u"rb");
  iNUVTextReadStream* opened = nullptr;
  try {
    opened = MrvkCreateTextStreamForRead(name, &mode);
  } catch (...) {
    return -1;
  }
  tNUVTextStreamHolder<iNUVTextReadStream> stream(opened);
  return stream->Read(*text, 0) > 0 ? 0 : -1;
}

void MrvkSetTextStreamFactories(tNUVTextReadStreamFactory read, tNUVTextWriteStreamFactory write,
                                tNUVTextReadStreamFactory* previousRead, tNUVTextWriteStreamFactory* previousWrite) {
  if (previousRead) *previousRead = HostReadFactory;
  if (previousWrite) *previousWrite = HostWriteFactory;
  HostReadFactory = read;
  HostWriteFactory = write;
  InstallHostFactories();
}

int32_t MrvkCheckExistentLocalFile(const tNUVString* name) { return CheckExistence(name, false); }

int32_t MrvkCheckExistentLocalFolder(const tNUVString* name) { return CheckExistence(name, true); }

}  // extern "C"

}  // namespace NUV
