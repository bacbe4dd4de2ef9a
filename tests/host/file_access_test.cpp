// The host decides which files scripts may open: refusing all of them, or
// confining them to one folder with its own pair of stream factories.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "mervanik/mervanik.h"

namespace {

namespace fs = std::filesystem;
using NUV::tNUVString;

std::string AllowedFolder;

// Only names inside AllowedFolder, without any "..", reach the local files.
bool Allowed(const tNUVString* name) {
  std::string text = name ? name->AsStdString() : std::string();
  return text.rfind(AllowedFolder + "/", 0) == 0 && text.find("..") == std::string::npos;
}
NUV::iNUVTextReadStream* ConfinedRead(const tNUVString* name, const tNUVString* mode) {
  return Allowed(name) ? MrvkCreateTextStreamForRead(name, mode) : nullptr;
}
NUV::iNUVTextWriteStream* ConfinedWrite(const tNUVString* name, const tNUVString* mode) {
  return Allowed(name) ? MrvkCreateTextStreamForWrite(name, mode) : nullptr;
}

// Runs the script and gives back the text it returns.
std::string RunScript(const std::string& script) {
  tNUVString text(script.c_str());
  NUV::tNUVVariant result;
  EXPECT_EQ(MrvkExecScript(&text, &result, nullptr, nullptr), 0) << script;
  return result.AsString().AsStdString();
}

// Tries every file operation a script has on one folder and reports each result.
std::string TryEverything(const fs::path& folder) {
  std::string base = folder.generic_string();
  return RunScript(
      "var log = [];\n"
      "function attempt(label, action) {\n"
      "  try { action(); log.add(label + ':ok'); }\n"
      "  catch (e) { log.add(label + ':' + (e.message.indexOf('を開くことができません') >= 0 ? 'refused' : e.message)); }\n"
      "}\n"
      "var base = '" + base + "';\n"
      "attempt('save', function() { [1, 2].save(base + '/saved.txt'); });\n"
      "attempt('saveStruct', function() { [1, 2].saveStruct(base + '/struct.txt'); });\n"
      "attempt('dictionary', function() { (Dictionary.saveStruct incontextof %['a' => 1])(base + '/dict.txt'); });\n"
      "attempt('load', function() { log.add('lines=' + [].load(base + '/existing.txt').count); });\n"
      "global.ranStorage = false;\n"
      "Scripts.execStorage(base + '/script.nuv');\n"
      "log.add('execStorage=' + (global.ranStorage ? 'true' : 'false'));\n"
      "log.add('evalStorage=' + Scripts.evalStorage(base + '/expression.nuv'));\n"
      "return log.join(' ');\n");
}

class FileAccess : public ::testing::Test {
protected:
  void SetUp() override {
    Root = fs::temp_directory_path() / ("mervanik-file-access-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::remove_all(Root);
    for (const fs::path& folder : {Root / "inside", Root / "outside"}) {
      fs::create_directories(folder);
      std::ofstream(folder / "existing.txt") << "one\ntwo\n";
      std::ofstream(folder / "script.nuv") << "global.ranStorage = true;";
      std::ofstream(folder / "expression.nuv") << "6 * 7";
    }
    AllowedFolder = (Root / "inside").generic_string();
  }
  void TearDown() override {
    // Whatever a test installed, the local files come back for the next one.
    MrvkSetTextStreamFactories(MrvkCreateTextStreamForRead, MrvkCreateTextStreamForWrite, nullptr, nullptr);
    fs::remove_all(Root);
  }
  bool Created(const char* folder, const char* file) const { return fs::exists(Root / folder / file); }

  fs::path Root;
};

TEST_F(FileAccess, LocalFilesByDefault) {
  NUV::tNUVTextReadStreamFactory read = nullptr;
  NUV::tNUVTextWriteStreamFactory write = nullptr;
  MrvkSetTextStreamFactories(MrvkCreateTextStreamForRead, MrvkCreateTextStreamForWrite, &read, &write);
  EXPECT_EQ(read, &MrvkCreateTextStreamForRead);
  EXPECT_EQ(write, &MrvkCreateTextStreamForWrite);

  EXPECT_EQ(TryEverything(Root / "outside"),
            "save:ok saveStruct:ok dictionary:ok lines=2 load:ok execStorage=true evalStorage=42");
  EXPECT_TRUE(Created("outside", "saved.txt"));
}

TEST_F(FileAccess, SavedStructuresWithOctetsReadBack) {
  std::string file = (Root / "outside" / "octets.txt").generic_string();
  EXPECT_EQ(RunScript("var data = [<% 00 ff 7f %>, %['k' => <%%>], 'text'];\n"
                "data.saveStruct('" + file + "');\n"
                "var back = Scripts.evalStorage('" + file + "');\n"
                "return (back[0] === data[0]) + ' ' + back[1].k.length + ' ' + back[2];\n"),
            "1 0 text");
}

TEST_F(FileAccess, NoFactoriesRefuseEverythingAndTouchNothing) {
  MrvkSetTextStreamFactories(nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(TryEverything(Root / "inside"),
            "save:refused saveStruct:refused dictionary:refused load:refused execStorage=false evalStorage=");
  EXPECT_FALSE(Created("inside", "saved.txt"));
  EXPECT_FALSE(Created("inside", "struct.txt"));
  EXPECT_FALSE(Created("inside", "dict.txt"));

  NUV::tNUVTextReadStreamFactory read = &MrvkCreateTextStreamForRead;
  NUV::tNUVTextWriteStreamFactory write = &MrvkCreateTextStreamForWrite;
  MrvkSetTextStreamFactories(ConfinedRead, nullptr, &read, &write);
  EXPECT_EQ(read, nullptr);
  EXPECT_EQ(write, nullptr);
  // Reading is allowed again inside the folder, writing still refused.
  EXPECT_EQ(TryEverything(Root / "inside"),
            "save:refused saveStruct:refused dictionary:refused lines=2 load:ok execStorage=true evalStorage=42");
}

TEST_F(FileAccess, ConfiningFactoriesKeepScriptsInOneFolder) {
  MrvkSetTextStreamFactories(ConfinedRead, ConfinedWrite, nullptr, nullptr);
  EXPECT_EQ(TryEverything(Root / "inside"),
            "save:ok saveStruct:ok dictionary:ok lines=2 load:ok execStorage=true evalStorage=42");
  EXPECT_TRUE(Created("inside", "saved.txt"));
  EXPECT_TRUE(Created("inside", "dict.txt"));

  EXPECT_EQ(TryEverything(Root / "outside"),
            "save:refused saveStruct:refused dictionary:refused load:refused execStorage=false evalStorage=");
  // A way out through ".." is refused as well.
  EXPECT_EQ(TryEverything(Root / "inside" / ".." / "outside"),
            "save:refused saveStruct:refused dictionary:refused load:refused execStorage=false evalStorage=");
  EXPECT_FALSE(Created("outside", "saved.txt"));
  EXPECT_FALSE(Created("outside", "struct.txt"));
}

}  // namespace
