// Local-file text streams: the factories, reading and writing narrow text, lines,
// the default input stream and the file functions, on files in a private
// temporary folder.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "engine/objects/array.h"
#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/services/text_stream.h"
#include "environment/library_messages.h"
#include "environment/text_files.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str(), string.GetLen()); }

// The message of the engine error that action raises ("" when none).
std::u16string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const eNUV& error) {
    return Text(error.GetMessage());
  }
  return u"";
}

std::u16string CannotOpen(const tNUVString& name) { return Text(NUVFillMessage(MrvkCannotOpenStorage, &name)); }

class TextFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    char folderTemplate[] = "/tmp/nuv_text_files_XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    Folder = folderTemplate;
    OldRead = NUVSetTextReadStreamFactory(nullptr);
    OldWrite = NUVSetTextWriteStreamFactory(nullptr);
    NUVInstallLocalFileStreamFactories();
  }
  void TearDown() override {
    NUVSetTextReadStreamFactory(OldRead);
    NUVSetTextWriteStreamFactory(OldWrite);
    NUVReleaseSharedArrayClass();
    std::filesystem::remove_all(Folder);
  }

  std::string Path(const char* name) const { return Folder + "/" + name; }
  tNUVString Name(const char* name) const { return tNUVString(Path(name).c_str()); }

  void WriteBytes(const char* name, const std::string& bytes) const {
    std::FILE* file = std::fopen(Path(name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  std::string ReadBytes(const char* name) const {
    std::string bytes;
    std::FILE* file = std::fopen(Path(name).c_str(), "rb");
    if (!file) return "<missing>";
    for (int byte; (byte = std::getc(file)) != EOF;) bytes.push_back(static_cast<char>(byte));
    std::fclose(file);
    return bytes;
  }

  // A read stream of the library's own class on an existing file.
  MrvkTextReadStream* OpenForRead(const char* name, const char16_t* mode = u"rb") {
    tNUVString modeText(mode);
    tNUVString nameText = Name(name);
    return static_cast<MrvkTextReadStream*>(MrvkCreateTextStreamForRead(&nameText, &modeText));
  }

  std::string Folder;
  tNUVTextReadStreamFactory OldRead = nullptr;
  tNUVTextWriteStreamFactory OldWrite = nullptr;
};

// Factories, reading and writing -------------------------------------------------------------

TEST_F(TextFilesTest, WrittenTextReadsBackThroughTheInstalledFactories) {
  const char16_t* line = u"Grüße, 日本語 \U0001F600\n";
  {
    tNUVTextStreamHolder<iNUVTextWriteStream> stream(NUVCreateTextWriteStream(Name("out.txt"), u"w"));
    stream->Write(tNUVString(line));
    stream->Write(tNUVString());
    // Every write is flushed: another reader sees it before the stream ends.
    EXPECT_EQ(ReadBytes("out.txt"), "Grüße, 日本語 \xF0\x9F\x98\x80\n");
    stream->Write(tNUVString(line));
  }
  std::string expected = "Grüße, 日本語 \xF0\x9F\x98\x80\nGrüße, 日本語 \xF0\x9F\x98\x80\n";
  EXPECT_EQ(ReadBytes("out.txt"), expected);

  tNUVTextStreamHolder<iNUVTextReadStream> stream(NUVCreateTextReadStream(Name("out.txt"), u"r"));
  tNUVString text;
  EXPECT_EQ(stream->Read(text, 0), expected.size());
  EXPECT_EQ(Text(text), std::u16string(line) + line);

  // "a" appends, "w" truncates.
  { tNUVTextStreamHolder<iNUVTextWriteStream>(NUVCreateTextWriteStream(Name("out.txt"), u"a"))->Write(tNUVString(u"x")); }
  EXPECT_EQ(ReadBytes("out.txt"), expected + "x");
  { tNUVTextStreamHolder<iNUVTextWriteStream>(NUVCreateTextWriteStream(Name("out.txt"), u"w"))->Write(tNUVString(u"y")); }
  EXPECT_EQ(ReadBytes("out.txt"), "y");
}

TEST_F(TextFilesTest, ReadTakesACountOrTheRest) {
  WriteBytes("abc.txt", "abcdef");
  MrvkTextReadStream* stream = OpenForRead("abc.txt");
  tNUVString text;
  EXPECT_EQ(stream->Read(text, 2), 2u);
  EXPECT_EQ(Text(text), u"ab");
  EXPECT_EQ(stream->GetPosition(), 2);
  EXPECT_EQ(stream->Read(text, 0), 4u);
  EXPECT_EQ(Text(text), u"cdef");
  // At the end both forms give an empty text.
  text = u"old";
  EXPECT_EQ(stream->Read(text, 0), 0u);
  EXPECT_EQ(Text(text), u"");
  text = u"old";
  EXPECT_EQ(stream->Read(text, 5), 0u);
  EXPECT_EQ(Text(text), u"");
  // A count beyond the end reads what is there; a huge one allocates no more.
  ASSERT_EQ(stream->SetPosition(1, 0), 0);
  EXPECT_EQ(stream->Read(text, 100), 5u);
  EXPECT_EQ(Text(text), u"bcdef");
  ASSERT_EQ(stream->SetPosition(-2, 2), 0);
  EXPECT_EQ(stream->Read(text, UINT32_MAX), 2u);
  EXPECT_EQ(Text(text), u"ef");
  stream->Destroy();
}

TEST_F(TextFilesTest, PositionAndSizeOfTheBase) {
  WriteBytes("ten.txt", "0123456789");
  MrvkTextReadStream* stream = OpenForRead("ten.txt");
  EXPECT_TRUE(stream->IsOpen());
  EXPECT_EQ(stream->SetPosition(3, 0), 0);
  EXPECT_EQ(stream->GetSize(), 10);
  EXPECT_EQ(stream->GetPosition(), 3) << "GetSize moves back";
  EXPECT_EQ(stream->SetPosition(2, 1), 0);
  EXPECT_EQ(stream->GetPosition(), 5);
  EXPECT_NE(stream->SetPosition(0, 7), 0);
  EXPECT_NE(stream->SetPosition(-1, 0), 0);
  EXPECT_FALSE(stream->IsEOF());
  tNUVString text;
  stream->Read(text, 0);
  EXPECT_EQ(Text(text), u"56789");
  stream->Close();
  EXPECT_FALSE(stream->IsOpen());
  stream->Destroy();
}

TEST_F(TextFilesTest, UnopenedStreamDoesNothing) {
  MrvkTextReadStream stream;
  tNUVString text(u"kept");
  EXPECT_EQ(stream.Read(text, 0), 0u);
  EXPECT_EQ(stream.ReadLine(text), 0u);
  EXPECT_EQ(Text(text), u"kept");
  EXPECT_TRUE(stream.IsEOF());
  EXPECT_EQ(stream.GetPosition(), -1);
  EXPECT_EQ(stream.GetSize(), -1);
  EXPECT_EQ(stream.SetPosition(0, 0), -1);
  EXPECT_FALSE(stream.Attach(nullptr));
  MrvkTextWriteStream writer;
  writer.Write(tNUVString(u"nowhere"));
  EXPECT_FALSE(writer.IsOpen());
}

TEST_F(TextFilesTest, TextEndsAtAZeroByteWhileTheCountCoversTheFile) {
  WriteBytes("zero.txt", std::string("ab\0cd", 5));
  MrvkTextReadStream* stream = OpenForRead("zero.txt");
  tNUVString text;
  EXPECT_EQ(stream->Read(text, 0), 5u);
  EXPECT_EQ(Text(text), u"ab");
  stream->Destroy();
  tNUVString name = Name("zero.txt");
  EXPECT_EQ(MrvkLoadScriptFile(&name, &text), 0);
  EXPECT_EQ(Text(text), u"ab");
}

TEST_F(TextFilesTest, InvalidBytesRaiseTheConversionError) {
  WriteBytes("bad.txt", "ok\xFF\n");
  MrvkTextReadStream* stream = OpenForRead("bad.txt");
  tNUVString text;
  EXPECT_EQ(ErrorOf([&] { stream->Read(text, 0); }), NUVNarrowToWideConversionError.Text());
  stream->Destroy();
  tNUVString name = Name("bad.txt");
  EXPECT_EQ(ErrorOf([&] { MrvkLoadScriptFile(&name, &text); }), NUVNarrowToWideConversionError.Text());
}

// Lines --------------------------------------------------------------------------------------

TEST_F(TextFilesTest, ReadLineKeepsLineFeedsAndStopsAtTheEnd) {
  WriteBytes("lines.txt", "one\r\n\ntwo");
  MrvkTextReadStream* stream = OpenForRead("lines.txt");
  tNUVString line;
  EXPECT_EQ(stream->ReadLine(line), 5u);
  EXPECT_EQ(Text(line), u"one\r\n");
  EXPECT_EQ(stream->ReadLine(line), 1u);
  EXPECT_EQ(Text(line), u"\n");
  EXPECT_EQ(stream->ReadLine(line), 3u);
  EXPECT_EQ(Text(line), u"two");
  line = u"kept";
  EXPECT_EQ(stream->ReadLine(line), 0u);
  EXPECT_EQ(Text(line), u"kept");
  EXPECT_EQ(stream->ReadLine(line), 0u);
  stream->Destroy();
}

TEST_F(TextFilesTest, ReadLineCrossesTheLineBuffer) {
  std::string longLine(3000, 'x');
  std::string last(1023, 'z');
  WriteBytes("long.txt", longLine + "\n" + last);
  MrvkTextReadStream* stream = OpenForRead("long.txt");
  tNUVString line;
  EXPECT_EQ(stream->ReadLine(line), 3001u);
  EXPECT_EQ(Text(line), std::u16string(3000, u'x') + u"\n");
  EXPECT_EQ(stream->ReadLine(line), 1023u);
  EXPECT_EQ(Text(line), std::u16string(1023, u'z'));
  line = u"kept";
  EXPECT_EQ(stream->ReadLine(line), 0u);
  EXPECT_EQ(Text(line), u"kept");
  stream->Destroy();
}

TEST_F(TextFilesTest, LineFillingTheBufferExactlyIsNotJoinedToTheNext) {
  WriteBytes("exact.txt", std::string(1022, 'a') + "\nnext\n");
  MrvkTextReadStream* stream = OpenForRead("exact.txt");
  tNUVString line;
  EXPECT_EQ(stream->ReadLine(line), 1023u);
  EXPECT_EQ(Text(line), std::u16string(1022, u'a') + u"\n");
  EXPECT_EQ(stream->ReadLine(line), 5u);
  EXPECT_EQ(Text(line), u"next\n");
  stream->Destroy();
}

TEST_F(TextFilesTest, CharacterSplitAcrossPiecesArrivesWhole) {
  // "é" takes bytes 1022 and 1023, "日" bytes 2045 to 2047: both straddle a piece.
  std::string bytes = std::string(1022, 'a') + "é" + std::string(1021, 'b') + "日\n";
  WriteBytes("split.txt", bytes);
  MrvkTextReadStream* stream = OpenForRead("split.txt");
  tNUVString line;
  EXPECT_EQ(stream->ReadLine(line), bytes.size());
  EXPECT_EQ(Text(line), std::u16string(1022, u'a') + u"é" + std::u16string(1021, u'b') + u"日\n");
  stream->Destroy();
}

TEST_F(TextFilesTest, LineStartingWithAZeroByteIsNotTheEnd) {
  WriteBytes("nul.txt", std::string("\0x\nnext\n", 8));
  MrvkTextReadStream* stream = OpenForRead("nul.txt");
  tNUVString line;
  EXPECT_EQ(stream->ReadLine(line), 3u);
  EXPECT_EQ(Text(line), u"");
  EXPECT_EQ(stream->ReadLine(line), 5u);
  EXPECT_EQ(Text(line), u"next\n");
  stream->Destroy();
}

// Failures -----------------------------------------------------------------------------------

TEST_F(TextFilesTest, OpenFailuresRaiseCannotOpenStorage) {
  tNUVString missing = Name("missing.txt");
  tNUVString read(u"r");
  tNUVString write(u"w");
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForRead(&missing, &read); }), CannotOpen(missing));
  EXPECT_EQ(CannotOpen(missing).find(Text(missing)), std::u16string(u"ストレージ ").size());
  tNUVString inMissingFolder = Name("no/such/file.txt");
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForWrite(&inMissingFolder, &write); }), CannotOpen(inMissingFolder));
  // A folder is not a text file, although stdio would open it for reading.
  tNUVString folder(Folder.c_str());
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForRead(&folder, &read); }), CannotOpen(folder));
  // An invalid mode and null arguments fail the same way.
  WriteBytes("here.txt", "x");
  tNUVString here = Name("here.txt");
  tNUVString badMode(u"q");
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForRead(&here, &badMode); }), CannotOpen(here));
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForRead(&here, nullptr); }), CannotOpen(here));
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForRead(nullptr, &read); }), CannotOpen(tNUVString()));
  // Through the engine's entry points.
  EXPECT_EQ(ErrorOf([&] { NUVCreateTextReadStream(missing, read); }), CannotOpen(missing));
}

TEST_F(TextFilesTest, NamesThatCannotBeNarrowedAreRefused) {
  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  tNUVString name(Path("").c_str());
  name += lone;
  tNUVString write(u"w");
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForWrite(&name, &write); }), u"ナロー文字列への変換に失敗しました。");
  EXPECT_FALSE(std::filesystem::exists(Path("a?b")));
  EXPECT_EQ(MrvkCheckExistentLocalFile(&name), -1);
  // A zero unit would cut the name short.
  std::u16string withZero = Text(tNUVString(Path("").c_str())) + std::u16string(u"x\0y", 3);
  tNUVString cut;
  char16_t* units = cut.AllocBuffer(static_cast<int32_t>(withZero.size()));
  std::copy(withZero.begin(), withZero.end(), units);
  ASSERT_EQ(cut.GetLen(), static_cast<int32_t>(withZero.size()));
  EXPECT_EQ(ErrorOf([&] { MrvkCreateTextStreamForWrite(&cut, &write); }), u"ナロー文字列への変換に失敗しました。");
  EXPECT_FALSE(std::filesystem::exists(Path("x")));
}

TEST_F(TextFilesTest, WriteFailureIsReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  tNUVString full(u"/dev/full");
  tNUVString write(u"w");
  iNUVTextWriteStream* stream = MrvkCreateTextStreamForWrite(&full, &write);
  EXPECT_EQ(ErrorOf([&] { stream->Write(tNUVString(u"lost")); }), NUVWriteError.Text());
  stream->Destroy();
}

TEST_F(TextFilesTest, ReadFailureIsReported) {
  std::FILE* writeOnly = std::fopen(Path("w.txt").c_str(), "w");
  ASSERT_NE(writeOnly, nullptr);
  std::fputs("abc\n", writeOnly);
  std::rewind(writeOnly);
  MrvkTextReadStream stream;
  ASSERT_TRUE(stream.Attach(writeOnly));
  tNUVString text(u"kept");
  EXPECT_EQ(ErrorOf([&] { stream.Read(text, 3); }), NUVReadError.Text());
  std::clearerr(writeOnly);
  EXPECT_EQ(ErrorOf([&] { stream.ReadLine(text); }), NUVReadError.Text());
}

// Streams without a size -------------------------------------------------------------------------

TEST_F(TextFilesTest, ReadOfAPipeTakesEverything) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  // More than one read chunk, and more than the pipe holds: written meanwhile.
  std::string bytes = std::string(70000, 'p') + "é\nend";
  std::thread writer([&] {
    for (size_t done = 0; done < bytes.size();) {
      ssize_t written = write(ends[1], bytes.data() + done, bytes.size() - done);
      if (written <= 0) break;
      done += static_cast<size_t>(written);
    }
    close(ends[1]);
  });
  MrvkTextReadStream stream;
  EXPECT_TRUE(stream.Attach(fdopen(ends[0], "r")));
  tNUVString text;
  EXPECT_EQ(stream.Read(text, 10), 10u);
  EXPECT_EQ(Text(text), std::u16string(10, u'p'));
  EXPECT_EQ(stream.Read(text, 0), bytes.size() - 10);
  EXPECT_EQ(Text(text), std::u16string(69990, u'p') + u"é\nend");
  writer.join();
}

TEST_F(TextFilesTest, DefaultInputStreamReadsStandardInput) {
  WriteBytes("input.txt", "first\nsecond");
  ASSERT_NE(std::freopen(Path("input.txt").c_str(), "r", stdin), nullptr);
  iNUVTextReadStream* input = MrvkGetDefaultInputStream();
  ASSERT_EQ(MrvkGetDefaultInputStream(), input);
  auto* lines = static_cast<MrvkTextReadStream*>(input);
  tNUVString line;
  EXPECT_EQ(lines->ReadLine(line), 6u);
  EXPECT_EQ(Text(line), u"first\n");
  input->Destroy();   // the library's own stream: ignored
  EXPECT_EQ(lines->ReadLine(line), 6u);
  EXPECT_EQ(Text(line), u"second");
  line = u"kept";
  EXPECT_EQ(lines->ReadLine(line), 0u);
  EXPECT_EQ(lines->ReadLine(line), 0u);
  EXPECT_EQ(Text(line), u"kept");
  std::freopen("/dev/null", "r", stdin);
}

// File functions -----------------------------------------------------------------------------

TEST_F(TextFilesTest, LoadScriptFile) {
  WriteBytes("script.nuv", "var a = 1;\r\nreturn 'ü';\r\n");
  tNUVString name = Name("script.nuv");
  tNUVString text;
  EXPECT_EQ(MrvkLoadScriptFile(&name, &text), 0);
  EXPECT_EQ(Text(text), u"var a = 1;\r\nreturn 'ü';\r\n");

  WriteBytes("empty.nuv", "");
  tNUVString empty = Name("empty.nuv");
  text = u"old";
  EXPECT_EQ(MrvkLoadScriptFile(&empty, &text), -1);
  EXPECT_EQ(Text(text), u"");

  tNUVString missing = Name("missing.nuv");
  text = u"old";
  EXPECT_EQ(MrvkLoadScriptFile(&missing, &text), -1);
  EXPECT_EQ(Text(text), u"old");
  EXPECT_EQ(MrvkLoadScriptFile(&name, nullptr), -1);
  EXPECT_EQ(MrvkLoadScriptFile(nullptr, &text), -1);
}

TEST_F(TextFilesTest, ExistenceOfFilesAndFolders) {
  WriteBytes("exists.txt", "x");
  tNUVString file = Name("exists.txt");
  tNUVString folder(Folder.c_str());
  tNUVString missing = Name("missing");
  EXPECT_EQ(MrvkCheckExistentLocalFile(&file), 0);
  EXPECT_EQ(MrvkCheckExistentLocalFolder(&file), -1);
  EXPECT_EQ(MrvkCheckExistentLocalFolder(&folder), 0);
  EXPECT_EQ(MrvkCheckExistentLocalFile(&folder), -1);
  EXPECT_EQ(MrvkCheckExistentLocalFile(&missing), -1);
  EXPECT_EQ(MrvkCheckExistentLocalFolder(&missing), -1);
  tNUVString none;
  EXPECT_EQ(MrvkCheckExistentLocalFile(&none), -1);
  EXPECT_EQ(MrvkCheckExistentLocalFile(nullptr), -1);
}

// The engine's file operations on local files ---------------------------------------------------

TEST_F(TextFilesTest, ArraySaveAndLoadRoundTrip) {
  iNUVDispatch2* saved = CreateArrayObject();
  tNUVArrayNI& items = *NUVFindArray(saved);
  items.Add(tNUVVariant(u"Grüße"));
  items.Add(tNUVVariant(int64_t{-42}));
  items.Add(tNUVVariant(u""));
  items.Add(tNUVVariant(u"日本語"));
  items.Save(Name("array.txt"), tNUVString(u"w"));
  EXPECT_EQ(ReadBytes("array.txt"), "Grüße\n-42\n\n日本語\n");

  iNUVDispatch2* loaded = CreateArrayObject();
  tNUVArrayNI& copy = *NUVFindArray(loaded);
  copy.Load(Name("array.txt"), tNUVString(u"r"));
  ASSERT_EQ(copy.GetCount(), 4);
  EXPECT_EQ(Text(copy.At(0).AsString()), u"Grüße");
  EXPECT_EQ(Text(copy.At(1).AsString()), u"-42");
  EXPECT_EQ(Text(copy.At(2).AsString()), u"");
  EXPECT_EQ(Text(copy.At(3).AsString()), u"日本語");

  tNUVString missing = Name("missing.txt");
  EXPECT_EQ(ErrorOf([&] { copy.Load(missing, tNUVString(u"r")); }), CannotOpen(missing));
  EXPECT_EQ(copy.GetCount(), 4) << "a failed load keeps the elements";
  saved->Release();
  loaded->Release();
}

}  // namespace
}  // namespace NUV
