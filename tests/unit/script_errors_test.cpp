// The script-level errors: the trace and its limit, the console line each raising
// form writes, and the block reference an exception keeps.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compiler/script_block.h"
#include "engine/services/script_errors.h"
#include "engine/values/global_string_map.h"

namespace NUV {
namespace {

TEST(ScriptErrorTrace, EntriesAreJoinedInnermostFirstUntilTheLimit) {
  eNUVScriptError error(tNUVString(u"message"), nullptr, 0);
  error.AddTrace(tNUVString(u"inner"));
  error.AddTrace(tNUVString(u"outer"));
  EXPECT_EQ(error.GetTrace().AsStdString(), "inner <-- outer");

  eNUVScriptError longError(tNUVString(u"message"), nullptr, 0);
  tNUVString entry(std::string(100, 'x').c_str());
  int32_t added = 0;
  while (longError.GetTrace().GetLen() < NUVTraceLimit) {
    longError.AddTrace(entry);
    ++added;
  }
  int32_t length = longError.GetTrace().GetLen();
  // 100 characters, then 105 for each further entry: the entry that crosses the
  // limit is still added whole, nothing after it.
  EXPECT_EQ(added, 15);
  EXPECT_EQ(length, 100 + 14 * 105);
  longError.AddTrace(entry);
  EXPECT_EQ(longError.GetTrace().GetLen(), length);
}

class ScriptErrorRaise : public testing::Test {
protected:
  void SetUp() override { NUVAddRefGlobalStringMap(); }
  void TearDown() override { NUVReleaseGlobalStringMap(); }
};

TEST_F(ScriptErrorRaise, BlockFormsPrintTheirLineAndKeepTheBlockAlive) {
  std::vector<std::string> lines;
  auto* block = new tNUVScriptBlock([&](const tNUVString& line) { lines.push_back(line.AsStdString()); });
  block->AssignName(tNUVString(u"named"), 0);
  block->Compile(tNUVString(u"var a;\nvar b;\n"), false, false);
  try {
    NUVThrowCompileError(tNUVString(u"bad"), block, 7);
  } catch (const eNUVCompileError& error) {
    EXPECT_EQ(error.GetBlock(), block);
    EXPECT_EQ(error.GetPosition(), 7);
    EXPECT_EQ(block->GetReferenceCount(), 2);
    // A copy holds its own reference.
    eNUVCompileError copy(error);
    EXPECT_EQ(block->GetReferenceCount(), 3);
  }
  EXPECT_EQ(block->GetReferenceCount(), 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "bad at named(2)");

  EXPECT_THROW(NUVThrowScriptError(tNUVString(u"oops"), block, 0), eNUVScriptError);
  EXPECT_EQ(lines.back(), "oops at named(1)");
  block->ReleaseTopLevel();
  block->Release();
}

}  // namespace
}  // namespace NUV
