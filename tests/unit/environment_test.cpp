// The library's environment seen from inside: message templates, the errors
// native code raises, and the program-argument store.

#include <gtest/gtest.h>

#include "engine/services/errors.h"
#include "environment/environment.h"
#include "environment/program_arguments.h"

namespace NUV {
namespace {

std::u16string Text(const tNUVString& string) { return std::u16string(string.c_str(), string.GetLen()); }

template <typename tRaise>
std::u16string MessageOf(tRaise raise) {
  try {
    raise();
  } catch (const eNUVError& error) {
    return Text(error.GetMessage());
  }
  ADD_FAILURE() << "nothing was raised";
  return u"";
}

TEST(MessageTemplate, PlaceholdersAndPercentSigns) {
  tNUVString first(u"x"), second(u"y");
  EXPECT_EQ(Text(MrvkExpandMessageTemplate(u"%1 %2 %%", &first, &second, true)), u"x y %");
  // With one argument "%2" stays; a lone "%" and one at the end are copied.
  EXPECT_EQ(Text(MrvkExpandMessageTemplate(u"%1%2%3 %", &first, nullptr, false)), u"x%2%3 %");
  EXPECT_EQ(Text(MrvkExpandMessageTemplate(u"%1-%1-%2", nullptr, &second, true)), u"--y");
  EXPECT_EQ(Text(MrvkExpandMessageTemplate(u"%%1", &first, nullptr, false)), u"%1");
}

TEST(MessageTemplate, ThrowFunctionsCarryTheExpandedMessage) {
  tNUVString first(u"x"), second(u"y");
  EXPECT_EQ(MessageOf([] { MrvkThrowExceptionMessage_n(u"as %1 is"); }), u"as %1 is");
  EXPECT_EQ(MessageOf([&] { MrvkThrowExceptionMessage_s(u"<%1>", &first); }), u"<x>");
  EXPECT_EQ(MessageOf([&] { MrvkThrowExceptionMessage_si(u"%1 %2%%", &first, -5); }), u"x -5%");
  EXPECT_EQ(MessageOf([&] { MrvkThrowExceptionMessage_ss(u"%2%1", &first, &second); }), u"yx");
}

TEST(ProgramArguments, FilledOnceFromTheCommandLineThenChangedOnlyByAdd) {
  FreeProgramArguments();
  char program[] = "prog", a1[] = "-a=1", b[] = "-b", data[] = "data", a2[] = "-a=2", k[] = "-k=", v[] = "-=v",
       plain[] = "a=b", empty[] = "";
  char* argv[] = {program, a1, b, data, a2, k, v, plain, empty};
  MrvkInitProgramArguments(9, argv);

  const tProgramArgumentMap& map = ProgramArgumentMap();
  std::vector<std::pair<std::u16string, std::u16string>> entries(map.begin(), map.end());
  std::vector<std::pair<std::u16string, std::u16string>> expected{
      {u"", u""}, {u"-", u"v"}, {u"-a", u"2"}, {u"-b", u"yes"}, {u"-k", u""}, {u"a=b", u""}, {u"data", u""}};
  EXPECT_EQ(entries, expected);
  ASSERT_EQ(ProgramArgumentList().size(), 9u);
  EXPECT_EQ(ProgramArgumentList()[0], u"prog");
  EXPECT_EQ(ProgramArgumentList()[8], u"");

  char other[] = "-other";
  char* second[] = {program, other};
  MrvkInitProgramArguments(2, second);
  EXPECT_EQ(map.size(), expected.size());
  EXPECT_EQ(ProgramArgumentList().size(), 9u);

  tNUVString key(u"-b"), value(u"changed");
  MrvkAddProgramArgument(&key, &value);
  MrvkAddProgramArgument(&key, nullptr);
  EXPECT_EQ(map.at(u"-b"), u"");
  FreeProgramArguments();
}

TEST(ProgramArguments, TextInvalidInTheCodePageIsAnError) {
  FreeProgramArguments();
  char program[] = "prog", invalid[] = "\xff";
  char* argv[] = {program, invalid};
  EXPECT_THROW(MrvkInitProgramArguments(2, argv), eNUV);
  FreeProgramArguments();
}

}  // namespace
}  // namespace NUV
