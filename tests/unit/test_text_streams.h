#pragma once
// In-memory text files for tests of the engine's file operations.
//
// tMemoryFiles installs read and write factories that work on a map of file
// names to texts, and uninstalls them when it goes out of scope. Opening a read
// stream on a missing name raises eNUVError, as a real factory does; a write
// stream truncates unless the mode starts with "a". Every Write is recorded, and
// the number of streams not yet destroyed is counted, so tests can check that
// the engine destroys every stream it opened.

#include <map>
#include <string>
#include <vector>

#include "engine/services/errors.h"
#include "engine/services/text_stream.h"

namespace NUV::TestStreams {

inline std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str(), string.GetLen()); }

class tMemoryFiles {
public:
  tMemoryFiles() {
    Current = this;
    OldRead = NUVSetTextReadStreamFactory(CreateRead);
    OldWrite = NUVSetTextWriteStreamFactory(CreateWrite);
  }
  ~tMemoryFiles() {
    NUVSetTextReadStreamFactory(OldRead);
    NUVSetTextWriteStreamFactory(OldWrite);
    Current = nullptr;
  }
  tMemoryFiles(const tMemoryFiles&) = delete;
  tMemoryFiles& operator=(const tMemoryFiles&) = delete;

  std::map<std::u16string, std::u16string> Files;
  std::vector<std::u16string> Modes;    // the mode of every open, in order
  std::vector<std::u16string> Writes;   // the text of every Write, in order
  int OpenStreams = 0;

private:
  class tReadStream final : public iNUVTextReadStream {
  public:
    tReadStream(tMemoryFiles& owner, std::u16string text) : Owner(owner), Content(std::move(text)) {}
    uint32_t Read(tNUVString& out, uint32_t) override {
      out = tNUVString(Content);
      return static_cast<uint32_t>(Content.size());
    }
    void Destroy() override {
      --Owner.OpenStreams;
      delete this;
    }

  private:
    ~tReadStream() = default;
    tMemoryFiles& Owner;
    std::u16string Content;
  };

  class tWriteStream final : public iNUVTextWriteStream {
  public:
    tWriteStream(tMemoryFiles& owner, std::u16string name) : Owner(owner), Name(std::move(name)) {}
    void Write(const tNUVString& text) override {
      Owner.Writes.push_back(Text(text));
      Owner.Files[Name] += Text(text);
    }
    void Destroy() override {
      --Owner.OpenStreams;
      delete this;
    }

  private:
    ~tWriteStream() = default;
    tMemoryFiles& Owner;
    std::u16string Name;
  };

  static iNUVTextReadStream* CreateRead(const tNUVString* name, const tNUVString* mode) {
    Current->Modes.push_back(Text(*mode));
    auto found = Current->Files.find(Text(*name));
    if (found == Current->Files.end()) NUVThrowError(tNUVString(u"no such file: ") + *name);
    ++Current->OpenStreams;
    return new tReadStream(*Current, found->second);
  }

  static iNUVTextWriteStream* CreateWrite(const tNUVString* name, const tNUVString* mode) {
    Current->Modes.push_back(Text(*mode));
    if (!mode->StartsWith(u"a")) Current->Files[Text(*name)].clear();
    ++Current->OpenStreams;
    return new tWriteStream(*Current, Text(*name));
  }

  static inline tMemoryFiles* Current = nullptr;
  tNUVTextReadStreamFactory OldRead;
  tNUVTextWriteStreamFactory OldWrite;
};

}  // namespace NUV::TestStreams
