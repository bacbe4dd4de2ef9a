// The this proxy: operations go to this first and to the global object only when
// this lacks the member; the proxy holds no references.

#include "engine/vm/object_proxy.h"
#include "objects_test_support.h"

namespace NUV::ObjectsTest {
namespace {

// An object whose every named operation answers a fixed code, counting the calls.
class tFixedAnswerObject : public tNUVDispatch {
public:
  explicit tFixedAnswerObject(int32_t answer) : Answer(answer) { Track(this); }
  ~tFixedAnswerObject() override { Untrack(this); }
  int32_t GetMember(uint32_t, const char16_t*, uint32_t*, tNUVVariant*, iNUVDispatch2* objThis) override {
    ++Calls;
    LastThis = objThis;
    return Answer;
  }
  int32_t SetMember(uint32_t, const char16_t*, uint32_t*, const tNUVVariant*, iNUVDispatch2*) override {
    ++Calls;
    return Answer;
  }
  int32_t CallMember(uint32_t, const char16_t*, uint32_t*, tNUVVariant*, int32_t, tNUVVariant**,
                     iNUVDispatch2*) override {
    ++Calls;
    return Answer;
  }
  int32_t ClassInfo(int32_t, int32_t, tNUVVariant*) override {
    ++Calls;
    return Answer;
  }
  int32_t Answer;
  int32_t Calls = 0;
  iNUVDispatch2* LastThis = nullptr;
};

using ObjectProxy = tObjectTest;

TEST_F(ObjectProxy, GetFindsThisFirstAndGlobalSecond) {
  tObjectHold self(new tTestObject());
  tObjectHold global(new tTestObject());
  Put(self, u"both", u"this's");
  Put(global, u"both", u"global's");
  Put(global, u"onlyGlobal", 7);
  tNUVObjectProxy proxy(self, global);

  int32_t code = 0;
  EXPECT_EQ(Text(Get(&proxy, u"both", 0, &code)), u"this's");
  EXPECT_EQ(code, NUVResultOk);
  EXPECT_EQ(Get(&proxy, u"onlyGlobal", 0, &code).AsInteger(), 7);
  EXPECT_EQ(code, NUVResultOk);
  Get(&proxy, u"nowhere", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
}

TEST_F(ObjectProxy, SetChangesTheObjectThatHasTheMemberAndCreatesInThis) {
  tObjectHold self(new tTestObject());
  tObjectHold global(new tTestObject());
  Put(self, u"both", 1);
  Put(global, u"both", 2);
  Put(global, u"onlyGlobal", 3);
  tNUVObjectProxy proxy(self, global);

  tNUVVariant value(int32_t{10});
  EXPECT_EQ(proxy.SetMember(0, u"both", nullptr, &value, nullptr), NUVResultOk);
  EXPECT_EQ(Get(self, u"both").AsInteger(), 10);
  EXPECT_EQ(Get(global, u"both").AsInteger(), 2);

  EXPECT_EQ(proxy.SetMember(0, u"onlyGlobal", nullptr, &value, nullptr), NUVResultOk);
  EXPECT_EQ(Get(global, u"onlyGlobal").AsInteger(), 10);
  EXPECT_EQ(MemberCount(self), 1);

  // Create-if-missing is satisfied by this, so the global object stays untouched.
  EXPECT_EQ(proxy.SetMember(NUVMemberEnsure, u"fresh", nullptr, &value, nullptr), NUVResultOk);
  EXPECT_EQ(Get(self, u"fresh").AsInteger(), 10);
  int32_t code = 0;
  Get(global, u"fresh", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
}

TEST_F(ObjectProxy, CallPassesTheGivenThisOrTheObjectThatAnswers) {
  tObjectHold self(new tTestObject());
  tObjectHold global(new tTestObject());
  std::vector<iNUVDispatch2*> seenThis;
  tFunctionHold function(new tScriptFunction(
      [&](tNUVVariant* result, int32_t count, tNUVVariant** arguments, iNUVDispatch2* objThis) {
        seenThis.push_back(objThis);
        if (result) *result = arguments[0]->AsInteger() + count;
        return NUVResultOk;
      }));
  Put(global, u"twice", tNUVVariant(function.get()));
  tNUVObjectProxy proxy(self, global);

  tArguments arguments{tNUVVariant(int32_t{40})};
  tNUVVariant result;
  EXPECT_EQ(proxy.CallMember(0, u"twice", nullptr, &result, arguments.Count(), arguments.Data(), nullptr),
            NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 41);
  EXPECT_EQ(proxy.CallMember(0, u"twice", nullptr, &result, arguments.Count(), arguments.Data(), self),
            NUVResultOk);
  ASSERT_EQ(seenThis.size(), 2u);
  EXPECT_EQ(seenThis[0], global.get());
  EXPECT_EQ(seenThis[1], self.get());
  EXPECT_EQ(proxy.CallMember(0, u"absent", nullptr, &result, 0, nullptr, nullptr), NUVResultMemberNotFound);
}

TEST_F(ObjectProxy, SecondIsAskedOnlyWhenFirstLacksTheMember) {
  tHold<tFixedAnswerObject> global(new tFixedAnswerObject(NUVResultOk));
  for (int32_t answer : {NUVResultAccessDenied, NUVResultInvalidObject, NUVResultNotImplemented, NUVResultOk}) {
    tHold<tFixedAnswerObject> self(new tFixedAnswerObject(answer));
    tNUVObjectProxy proxy(self, global);
    tNUVVariant value;
    EXPECT_EQ(proxy.GetMember(0, u"name", nullptr, &value, nullptr), answer);
    EXPECT_EQ(proxy.SetMember(0, u"name", nullptr, &value, nullptr), answer);
    EXPECT_EQ(proxy.CallMember(0, u"name", nullptr, &value, 0, nullptr, nullptr), answer);
    EXPECT_EQ(proxy.ClassInfo(0, 0, &value), answer);
    EXPECT_EQ(self->Calls, 4);
    EXPECT_EQ(self->LastThis, self.get());
  }
  EXPECT_EQ(global->Calls, 0);

  tHold<tFixedAnswerObject> lacking(new tFixedAnswerObject(NUVResultMemberNotFound));
  tNUVObjectProxy proxy(lacking, global);
  tNUVVariant value;
  EXPECT_EQ(proxy.ClassInfo(0, 0, &value), NUVResultOk);
  EXPECT_EQ(proxy.GetMember(0, u"name", nullptr, &value, nullptr), NUVResultOk);
  EXPECT_EQ(global->Calls, 2);
  EXPECT_EQ(global->LastThis, global.get());
}

TEST_F(ObjectProxy, SameOrMissingSecondIsNotAskedAgain) {
  tHold<tFixedAnswerObject> lacking(new tFixedAnswerObject(NUVResultMemberNotFound));
  tNUVVariant value;
  tNUVObjectProxy same(lacking, lacking);
  EXPECT_EQ(same.GetMember(0, u"name", nullptr, &value, nullptr), NUVResultMemberNotFound);
  EXPECT_EQ(lacking->Calls, 1);
  tNUVObjectProxy alone(lacking, nullptr);
  EXPECT_EQ(alone.GetMember(0, u"name", nullptr, &value, nullptr), NUVResultMemberNotFound);
  EXPECT_EQ(lacking->Calls, 2);
  tNUVObjectProxy empty(nullptr, lacking);
  EXPECT_EQ(empty.GetMember(0, u"name", nullptr, &value, nullptr), NUVResultInvalidObject);
  EXPECT_EQ(lacking->Calls, 2);
}

TEST_F(ObjectProxy, HoldsNoReferences) {
  tObjectHold self(new tTestObject());
  tObjectHold global(new tTestObject());
  {
    tNUVObjectProxy proxy(self, global);
    EXPECT_EQ(proxy.AddRef(), 1);
    EXPECT_EQ(proxy.Release(), 1);
    EXPECT_EQ(proxy.Release(), 1);
    // A value holding the proxy counts nothing either.
    tNUVVariant held(&proxy);
    EXPECT_EQ(self->GetRefCount(), 1);
    EXPECT_EQ(global->GetRefCount(), 1);
  }
  EXPECT_EQ(self->GetRefCount(), 1);
  EXPECT_EQ(global->GetRefCount(), 1);
}

}  // namespace
}  // namespace NUV::ObjectsTest
