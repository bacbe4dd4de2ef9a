// The reference-counted base object and the general script object: member table,
// hints, rehashing, self references, finalization, the missing-member protocol,
// enumeration, property semantics, compound operations and invalidation.

#include <map>
#include <string>
#include <vector>

#include "engine/services/error_report.h"
#include "objects_test_support.h"

namespace NUV::ObjectsTest {
namespace {

uint32_t HashOf(const char16_t* name) { return HashString(name, WideLength(name)); }

// A function that does nothing and answers 0.
tScriptFunction* NewIdleFunction() { return new tScriptFunction(nullptr); }

// Installs a missing-member handler named handlerName on object.
void InstallMissingHandler(iNUVDispatch2* object, iNUVDispatch2* handler, const char16_t* handlerName = u"missing") {
  ASSERT_EQ(Put(object, handlerName, tNUVVariant(handler)), NUVResultOk);
  tNUVVariant name(handlerName);
  ASSERT_EQ(object->ClassInfo(3, 0, &name), NUVResultOk);
}

// ---------------------------------------------------------------------------------
// Hinted lookups

using CustomObjectHints = tObjectTest;

TEST_F(CustomObjectHints, LookupStoresTheNameHashInTheHint) {
  tObjectHold object(new tTestObject());
  Put(object, u"alpha", 1);
  uint32_t hint = 0;
  tNUVVariant value;
  EXPECT_EQ(object->GetMember(0, u"alpha", &hint, &value, object), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 1);
  EXPECT_EQ(hint, HashOf(u"alpha"));
}

TEST_F(CustomObjectHints, StaleHintIsRefreshedAndNeverFindsAnotherMember) {
  tObjectHold object(new tTestObject());
  Put(object, u"alpha", 1);
  Put(object, u"beta", 2);
  tNUVVariant value;

  uint32_t hint = HashOf(u"alpha") ^ 0x5A5A5A5Au;
  EXPECT_EQ(object->GetMember(0, u"alpha", &hint, &value, object), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 1);
  EXPECT_EQ(hint, HashOf(u"alpha"));

  // A hint holding the hash of another member's name still yields the asked member.
  hint = HashOf(u"beta");
  EXPECT_EQ(object->GetMember(0, u"alpha", &hint, &value, object), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 1);
  EXPECT_EQ(hint, HashOf(u"alpha"));
}

TEST_F(CustomObjectHints, HintComputedOnAnotherObjectServesEveryObject) {
  tObjectHold small(new tTestObject(3));
  tObjectHold large(new tTestObject(7));
  tObjectHold without(new tTestObject(5));
  Put(small, u"shared", 1);
  for (int i = 0; i < 30; ++i) Put(large, IntegerToText(i).c_str(), i);
  Put(large, u"shared", 2);

  uint32_t hint = 0;
  tNUVVariant value;
  EXPECT_EQ(small->GetMember(0, u"shared", &hint, &value, small), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 1);
  uint32_t computed = hint;
  EXPECT_EQ(large->GetMember(0, u"shared", &hint, &value, large), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 2);
  EXPECT_EQ(without->GetMember(0, u"shared", &hint, &value, without), NUVResultMemberNotFound);
  EXPECT_EQ(hint, computed);
}

TEST_F(CustomObjectHints, HintEqualToTheHashMeansAbsent) {
  tObjectHold object(new tTestObject());
  tNUVVariant value;
  uint32_t hint = 0;
  EXPECT_EQ(object->GetMember(0, u"ghost", &hint, &value, object), NUVResultMemberNotFound);
  EXPECT_EQ(hint, HashOf(u"ghost"));
  EXPECT_EQ(object->GetMember(0, u"ghost", &hint, &value, object), NUVResultMemberNotFound);
  EXPECT_EQ(hint, HashOf(u"ghost"));

  // The rule gives no false answer once the member exists, however it was added.
  Put(object, u"ghost", 5);
  EXPECT_EQ(object->GetMember(0, u"ghost", &hint, &value, object), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 5);
}

TEST_F(CustomObjectHints, NameBodyHintIsWrittenAndTheBodyShared) {
  tObjectHold object(new tTestObject());
  tNUVString name(u"gamma");
  ASSERT_EQ(name.GetBody()->Hint, 0u);
  tNUVVariant three(3);
  EXPECT_EQ(object->SetMemberByBody(NUVMemberEnsure, name.GetBody(), &three, object), NUVResultOk);
  EXPECT_EQ(name.GetBody()->Hint, HashString(name));
  EXPECT_EQ(name.GetBody()->RefCount, 1) << "the new member shares the body";

  tNUVString other(u"delta");
  Put(object, u"delta", 4);
  tNUVVariant value;
  EXPECT_EQ(object->GetMember(0, other.c_str(), other.GetHint(), &value, object), NUVResultOk);
  EXPECT_EQ(value.AsInteger(), 4);
  EXPECT_EQ(other.GetBody()->Hint, HashString(other));
}

TEST_F(CustomObjectHints, MemberAddedWithAStaleHintIsFiledUnderItsHash) {
  tObjectHold object(new tTestObject(4));
  uint32_t hint = 0x12345678u;
  tNUVVariant value(9);
  EXPECT_EQ(object->SetMember(NUVMemberEnsure, u"epsilon", &hint, &value, object), NUVResultOk);
  EXPECT_EQ(hint, HashOf(u"epsilon"));
  int32_t code = 0;
  EXPECT_EQ(Get(object, u"epsilon", 0, &code).AsInteger(), 9);
  EXPECT_EQ(code, NUVResultOk);
  EXPECT_EQ(object->DeleteMember(0, u"epsilon", nullptr, object), NUVResultOk);
  EXPECT_EQ(MemberCount(object), 0);
}

// ---------------------------------------------------------------------------------
// Table layout: chains, promotion, enumeration order

using CustomObjectTable = tObjectTest;

TEST_F(CustomObjectTable, RecordFoundDeepInAChainMovesToItsHead) {
  tObjectHold object(new tTestObject(0));
  ASSERT_EQ(object->GetHashSize(), 1);
  tObjectHold negative(new tTestObject(-4));
  EXPECT_EQ(negative->GetHashSize(), 1) << "bits are clamped at 0";
  for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e", u"f"}) Put(object, name, 1);
  // The first member sits in the bucket record; later ones are chained at the head.
  using tNames = std::vector<std::u16string>;
  EXPECT_EQ(MemberNames(object), (tNames{u"f", u"e", u"d", u"c", u"b", u"a"}));

  Get(object, u"d");   // chain position 2: stays
  EXPECT_EQ(MemberNames(object), (tNames{u"f", u"e", u"d", u"c", u"b", u"a"}));
  Get(object, u"c");   // position 3: promoted
  EXPECT_EQ(MemberNames(object), (tNames{u"c", u"f", u"e", u"d", u"b", u"a"}));
  uint32_t hint = HashOf(u"b");   // found through the hint: promoted as well
  tNUVVariant value;
  EXPECT_EQ(object->GetMember(0, u"b", &hint, &value, object), NUVResultOk);
  EXPECT_EQ(MemberNames(object), (tNames{u"b", u"c", u"f", u"e", u"d", u"a"}));
  Get(object, u"a");   // the bucket record itself never moves
  EXPECT_EQ(MemberNames(object), (tNames{u"b", u"c", u"f", u"e", u"d", u"a"}));
}

TEST_F(CustomObjectTable, EnumeratingDoesNotReorderTheTable) {
  tObjectHold object(new tTestObject(0));
  for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e", u"f", u"g"}) Put(object, name, 1);
  std::vector<std::u16string> first = MemberNames(object);
  EXPECT_EQ(Enumerate(object).size(), 7u);
  EXPECT_EQ(MemberNames(object), first);
}

TEST_F(CustomObjectTable, EnumerationVisitsBucketsByIndexChainBeforeBucketRecord) {
  tObjectHold object(new tTestObject(1));
  ASSERT_EQ(object->GetHashSize(), 2);
  std::vector<std::u16string> names = {u"one", u"two", u"three", u"four", u"five", u"six", u"seven", u"eight"};
  for (const auto& name : names) Put(object, name.c_str(), 1);

  std::vector<std::u16string> expected;
  int filledBuckets = 0;
  for (uint32_t bucket = 0; bucket < 2; ++bucket) {
    std::vector<std::u16string> inBucket;
    for (const auto& name : names)
      if ((HashOf(name.c_str()) & 1u) == bucket) inBucket.push_back(name);
    if (inBucket.empty()) continue;
    ++filledBuckets;
    for (size_t i = inBucket.size() - 1; i >= 1; --i) expected.push_back(inBucket[i]);
    expected.push_back(inBucket[0]);
  }
  ASSERT_EQ(filledBuckets, 2) << "the names must spread over both buckets";
  EXPECT_EQ(MemberNames(object), expected);
}

TEST_F(CustomObjectTable, FreedBucketRecordIsReused) {
  tObjectHold object(new tTestObject(0));
  for (const char16_t* name : {u"a", u"b", u"c"}) Put(object, name, 1);
  EXPECT_EQ(object->DeleteMember(0, u"a", nullptr, object), NUVResultOk);
  EXPECT_EQ(object->DeleteMember(0, u"a", nullptr, object), NUVResultMemberNotFound);
  EXPECT_EQ(MemberCount(object), 2);
  Put(object, u"z", 2);
  using tNames = std::vector<std::u16string>;
  EXPECT_EQ(MemberNames(object), (tNames{u"c", u"b", u"z"}));
  EXPECT_EQ(object->DeleteMember(0, u"b", nullptr, object), NUVResultOk);
  EXPECT_EQ(MemberNames(object), (tNames{u"c", u"z"}));
  EXPECT_EQ(MemberCount(object), 2);
}

TEST_F(CustomObjectTable, BasicMemberRules) {
  tObjectHold object(new tTestObject());
  tNUVVariant value;
  // Absent: ensure creates a void member, otherwise not found.
  EXPECT_EQ(object->GetMember(0, u"x", nullptr, &value, object), NUVResultMemberNotFound);
  value = 5;
  EXPECT_EQ(object->GetMember(NUVMemberEnsure, u"x", nullptr, &value, object), NUVResultOk);
  EXPECT_TRUE(value.IsVoid());
  EXPECT_EQ(MemberCount(object), 1);
  EXPECT_EQ(object->SetMember(0, u"y", nullptr, &value, object), NUVResultMemberNotFound);

  // No name.
  EXPECT_EQ(object->GetMember(0, nullptr, nullptr, &value, object), NUVResultInvalidType);
  EXPECT_EQ(object->SetMember(0, nullptr, nullptr, &value, object), NUVResultInvalidType);
  EXPECT_EQ(object->CallMember(0, nullptr, nullptr, &value, 0, nullptr, object), NUVResultInvalidType);
  EXPECT_EQ(object->DeleteMember(0, nullptr, nullptr, object), NUVResultMemberNotFound);
  EXPECT_EQ(object->SetMemberByBody(0, nullptr, &value, object), NUVResultInvalidType);

  // Null value or result.
  EXPECT_EQ(object->SetMember(0, u"x", nullptr, nullptr, object), NUVResultInvalidParam);
  EXPECT_EQ(object->GetMember(0, u"x", nullptr, nullptr, object), NUVResultInvalidParam);
  EXPECT_EQ(object->GetMemberCount(nullptr, nullptr, nullptr, object), NUVResultInvalidParam);

  // A member cannot be created without a name.
  ExpectError([&] { object->GetMember(NUVMemberEnsure, u"", nullptr, &value, object); }, NUVIDExpected);
  ExpectError([&] { Put(object, u"", 1); }, NUVIDExpected);
  EXPECT_EQ(MemberCount(object), 1);
}

TEST_F(CustomObjectTable, HiddenAndStaticBitsFollowEverySet) {
  tObjectHold object(new tTestObject());
  Put(object, u"h", 1, NUVHiddenMember);
  Put(object, u"s", 2, NUVStaticMember | NUVHiddenMember);
  auto flagsOf = [&](const char16_t* name) {
    for (const tVisit& visit : Enumerate(object))
      if (visit.Name == name) return visit.Flags;
    return int64_t{-1};
  };
  EXPECT_EQ(flagsOf(u"h"), int64_t{NUVHiddenMember});
  EXPECT_EQ(flagsOf(u"s"), int64_t{NUVStaticMember | NUVHiddenMember});
  Put(object, u"h", 3);
  EXPECT_EQ(flagsOf(u"h"), 0);
  Put(object, u"s", 4, NUVStaticMember);
  EXPECT_EQ(flagsOf(u"s"), int64_t{NUVStaticMember});
}

// ---------------------------------------------------------------------------------
// Rehashing

using CustomObjectRehash = tObjectTest;

TEST_F(CustomObjectRehash, TableResizesLazilyToTheMemberCount) {
  tObjectHold object(new tTestObject(3));
  tObjectHold empty(new tTestObject(3));
  tObjectHold single(new tTestObject(6));
  EXPECT_EQ(object->GetHashSize(), 8);
  EXPECT_EQ(single->GetHashSize(), 64);
  Put(single, u"only", 1);

  tNUVCustomObject::RequestRehash();
  for (int i = 0; i < 100; ++i) Put(object, (u"m" + IntegerToText(i)).c_str(), i);
  EXPECT_EQ(object->GetHashSize(), 8) << "sets do not resize";
  EXPECT_EQ(Get(object, u"m42").AsInteger(), 42);
  EXPECT_EQ(object->GetHashSize(), 256);

  Get(empty, u"nothing");
  EXPECT_EQ(empty->GetHashSize(), 4);
  Get(single, u"only");
  EXPECT_EQ(single->GetHashSize(), 4);

  // Without a new request the size stays.
  for (int i = 100; i < 600; ++i) Put(object, (u"m" + IntegerToText(i)).c_str(), i);
  Get(object, u"m1");
  EXPECT_EQ(object->GetHashSize(), 256);
  tNUVCustomObject::RequestRehash();
  Get(object, u"m1");
  EXPECT_EQ(object->GetHashSize(), 2048);
  for (int i = 0; i < 600; ++i) ASSERT_EQ(Get(object, (u"m" + IntegerToText(i)).c_str()).AsInteger(), i);
  EXPECT_EQ(MemberCount(object), 600);
}

TEST_F(CustomObjectRehash, MembersKeepValuesFlagsAndReferenceCounts) {
  tObjectHold object(new tTestObject(0));
  tObjectHold child(new tTestObject());
  tFunctionHold method(NewIdleFunction());
  Put(object, u"plain", 7);
  Put(object, u"hidden", u"h", NUVHiddenMember);
  Put(object, u"static", 2.5, NUVStaticMember);
  Put(object, u"child", tNUVVariant(child.get()));
  Put(object, u"self", tNUVVariant(method.get(), object.get()));
  for (int i = 0; i < 20; ++i) Put(object, (u"n" + IntegerToText(i)).c_str(), i);
  EXPECT_EQ(object->GetRefCount(), 1);
  EXPECT_EQ(child->GetRefCount(), 2);
  EXPECT_EQ(method->GetRefCount(), 2);

  tNUVCustomObject::RequestRehash();
  EXPECT_EQ(Get(object, u"plain").AsInteger(), 7);
  EXPECT_EQ(object->GetHashSize(), 64);   // 25 members: 4 + 2 bits
  EXPECT_EQ(object->GetRefCount(), 1);
  EXPECT_EQ(child->GetRefCount(), 2);
  EXPECT_EQ(method->GetRefCount(), 2);

  std::map<std::u16string, tVisit> visits;
  for (tVisit& visit : Enumerate(object, NUVIgnoreProperty)) visits[visit.Name] = visit;
  ASSERT_EQ(visits.size(), 25u);
  EXPECT_EQ(Text(visits[u"hidden"].Value), u"h");
  EXPECT_EQ(visits[u"hidden"].Flags, int64_t{NUVHiddenMember});
  EXPECT_EQ(visits[u"static"].Value.AsReal(), 2.5);
  EXPECT_EQ(visits[u"static"].Flags, int64_t{NUVStaticMember});
  EXPECT_EQ(visits[u"child"].Value.AsObjectNoError(), child.get());
  EXPECT_EQ(visits[u"self"].Value.AsObjectThis(), object.get());
  EXPECT_EQ(visits[u"n19"].Value.AsInteger(), 19);
  visits.clear();

  EXPECT_EQ(object.Drop(), 0);
  EXPECT_EQ(child->GetRefCount(), 1);
  EXPECT_EQ(method->GetRefCount(), 1);
}

// ---------------------------------------------------------------------------------
// Self references

using CustomObjectSelfReference = tObjectTest;

TEST_F(CustomObjectSelfReference, MethodBoundToItsObjectKeepsItNotAlive) {
  tObjectHold object(new tTestObject());
  tFunctionHold method(NewIdleFunction());
  {
    tNUVVariant bound(method.get(), object.get());
    EXPECT_EQ(object->GetRefCount(), 2);
    Put(object, u"m", bound);
  }
  EXPECT_EQ(object->GetRefCount(), 1);
  method.Drop();
  EXPECT_EQ(object.Drop(), 0);
  EXPECT_TRUE(LiveObjects().empty());
}

TEST_F(CustomObjectSelfReference, OverwritingAndDeletingKeepCountsRight) {
  tObjectHold object(new tTestObject());
  tObjectHold other(new tTestObject());
  tFunctionHold method(NewIdleFunction());
  tNUVVariant bound(method.get(), object.get());
  tNUVVariant boundElsewhere(method.get(), other.get());
  auto outsideRefs = [&] { return object->GetRefCount() - 1; };   // bound holds one

  Put(object, u"m", bound);
  EXPECT_EQ(outsideRefs(), 1);
  Put(object, u"m", bound);   // the same value again
  EXPECT_EQ(outsideRefs(), 1);
  Put(object, u"m", 5);
  EXPECT_EQ(outsideRefs(), 1);
  EXPECT_EQ(method->GetRefCount(), 3);   // hold, bound, boundElsewhere

  Put(object, u"m", bound);
  EXPECT_EQ(object->DeleteMember(0, u"m", nullptr, object), NUVResultOk);
  EXPECT_EQ(outsideRefs(), 1);

  tNUVString name(u"byBody");
  EXPECT_EQ(object->SetMemberByBody(NUVMemberEnsure, name.GetBody(), &bound, object), NUVResultOk);
  EXPECT_EQ(outsideRefs(), 1);

  // A closure bound to another object counts for that object.
  Put(object, u"foreign", boundElsewhere);
  EXPECT_EQ(other->GetRefCount(), 3);   // hold, boundElsewhere, member
  EXPECT_EQ(object->DeleteMember(0, u"foreign", nullptr, object), NUVResultOk);
  EXPECT_EQ(other->GetRefCount(), 2);

  // A compound operation replacing a bound method (the function has no value of
  // its own, so the member itself is operated on).
  tNUVVariant zero(0);
  tNUVVariant result;
  EXPECT_EQ(object->ApplyOperation(NUVOpLogicalOr, u"byBody", nullptr, &result, &zero, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 1);
  EXPECT_EQ(outsideRefs(), 1);

  Put(object, u"again", bound);
  EXPECT_EQ(method->GetRefCount(), 4);
  bound.Clear();
  EXPECT_EQ(object->GetRefCount(), 1);
  EXPECT_EQ(object.Drop(), 0);
  EXPECT_EQ(method->GetRefCount(), 2);
}

// ---------------------------------------------------------------------------------
// Finalization

using CustomObjectFinalize = tObjectTest;

struct tNestedObjects {
  std::vector<std::string> Events;
  int32_t CountSeenByOuter = -1;
  int32_t CountSeenByInner = -1;
  int32_t OuterValidSeenByInner = -1;
};

// outer holds "finalize", "inner" (an object with its own finalizer) and "other".
tTestObject* BuildNestedObjects(tNestedObjects& log) {
  auto* outer = new tTestObject();
  tObjectHold inner(new tTestObject());
  tFunctionHold innerFinalize(new tScriptFunction([&log, outer](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) {
    log.Events.push_back("inner");
    log.CountSeenByInner = MemberCount(outer);
    log.OuterValidSeenByInner = outer->IsValid(0, nullptr, nullptr, outer);
    return NUVResultOk;
  }));
  tFunctionHold outerFinalize(
      new tScriptFunction([&log, outer](tNUVVariant*, int32_t count, tNUVVariant**, iNUVDispatch2* self) {
        EXPECT_EQ(self, outer);
        EXPECT_EQ(count, 0);
        log.Events.push_back("outer");
        log.CountSeenByOuter = MemberCount(outer);
        return NUVResultOk;
      }));
  Put(inner, u"finalize", tNUVVariant(innerFinalize.get()));
  Put(outer, u"finalize", tNUVVariant(outerFinalize.get()));
  Put(outer, u"inner", tNUVVariant(inner.get()));
  Put(outer, u"other", 5);
  return outer;
}

TEST_F(CustomObjectFinalize, OuterFinalizerFirstThenMembersAfterTheTableIsEmpty) {
  tNestedObjects log;
  tTestObject* outer = BuildNestedObjects(log);
  EXPECT_EQ(outer->Release(), 0);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"outer", "inner"}));
  EXPECT_EQ(log.CountSeenByOuter, 3);
  EXPECT_EQ(log.CountSeenByInner, 0);
  EXPECT_EQ(log.OuterValidSeenByInner, NUVResultTrue);
}

TEST_F(CustomObjectFinalize, InvalidateFinalizesAndLeavesTheObjectAlive) {
  tNestedObjects log;
  tObjectHold outer(BuildNestedObjects(log));
  EXPECT_EQ(outer->Invalidate(0, nullptr, nullptr, outer), NUVResultTrue);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"outer", "inner"}));
  EXPECT_EQ(log.CountSeenByInner, 0);
  EXPECT_TRUE(outer->GetIsInvalidated());
  EXPECT_EQ(outer->GetRefCount(), 1);
  EXPECT_EQ(outer.Drop(), 0);
  EXPECT_EQ(log.Events.size(), 2u) << "the finalizer runs once";
}

TEST_F(CustomObjectFinalize, FinalizerInvalidatingItsOwnObjectAgainDoesNothing) {
  tObjectHold object(new tTestObject());
  int32_t innerCode = 0;
  tFunctionHold finalize(new tScriptFunction([&](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2* self) {
    innerCode = self->Invalidate(0, nullptr, nullptr, self);
    return NUVResultOk;
  }));
  Put(object, u"finalize", tNUVVariant(finalize.get()));
  EXPECT_EQ(object->Invalidate(0, nullptr, nullptr, object), NUVResultTrue);
  EXPECT_EQ(innerCode, NUVResultTrue);
  EXPECT_EQ(finalize->Calls, 1);
  EXPECT_EQ(object->IsValid(0, nullptr, nullptr, object), NUVResultFalse);
}

TEST_F(CustomObjectFinalize, RaisingFinalizerLeavesTheObjectValid) {
  tObjectHold object(new tTestObject());
  bool fail = true;
  tFunctionHold finalize(new tScriptFunction([&](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) -> int32_t {
    if (fail) {
      fail = false;
      throw eNUVError(tNUVString(u"finalizer failed"));
    }
    return NUVResultOk;
  }));
  Put(object, u"finalize", tNUVVariant(finalize.get()));
  Put(object, u"kept", 1);
  EXPECT_THROW(object->Invalidate(0, nullptr, nullptr, object), eNUVError);
  EXPECT_EQ(object->IsValid(0, nullptr, nullptr, object), NUVResultTrue);
  EXPECT_EQ(MemberCount(object), 2);
  // Not stuck in "invalidating": the next invalidation finalizes.
  EXPECT_EQ(object->Invalidate(0, nullptr, nullptr, object), NUVResultTrue);
  EXPECT_EQ(finalize->Calls, 2);
  EXPECT_EQ(object->IsValid(0, nullptr, nullptr, object), NUVResultFalse);
}

TEST_F(CustomObjectFinalize, RaisingFinalizerInTheLastReleaseStillDestroysTheObject) {
  auto* object = new tTestObject();
  {
    tFunctionHold finalize(new tScriptFunction([](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) -> int32_t {
      throw eNUVError(tNUVString(u"finalizer failed"));
    }));
    Put(object, u"finalize", tNUVVariant(finalize.get()));
    tObjectHold child(new tTestObject());
    Put(object, u"child", tNUVVariant(child.get()));
  }
  EXPECT_THROW(object->Release(), eNUVError);
  EXPECT_TRUE(LiveObjects().empty()) << "neither the object nor its members may leak";
}

std::vector<std::u16string> Reports;
void CaptureReport(const tNUVString& message) { Reports.push_back(Text(message)); }

TEST_F(CustomObjectFinalize, RaisingFinalizerInADestructorIsReported) {
  Reports.clear();
  tNUVErrorReporter previous = NUVSetErrorReporter(CaptureReport);
  {
    tFunctionHold finalize(new tScriptFunction([](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) -> int32_t {
      throw eNUVError(tNUVString(u"finalizer failed"));
    }));
    auto* object = new tTestObject();
    Put(object, u"finalize", tNUVVariant(finalize.get()));
    tNUVVariant holder(object);
    object->Release();
  }   // the variant's destructor drops the last reference
  NUVSetErrorReporter(previous);
  EXPECT_EQ(Reports, (std::vector<std::u16string>{u"finalizer failed"}));
  EXPECT_TRUE(LiveObjects().empty());
}

TEST_F(CustomObjectFinalize, EmptyFinalizerNameSwitchesTheFinalizerOff) {
  tObjectHold object(new tTestObject());
  tFunctionHold finalize(NewIdleFunction());
  tFunctionHold other(NewIdleFunction());
  Put(object, u"finalize", tNUVVariant(finalize.get()));
  Put(object, u"cleanup", tNUVVariant(other.get()));
  tNUVVariant name(u"cleanup");
  EXPECT_EQ(object->ClassInfo(2, 0, &name), NUVResultOk);
  EXPECT_EQ(object->Invalidate(0, nullptr, nullptr, object), NUVResultTrue);
  EXPECT_EQ(finalize->Calls, 0);
  EXPECT_EQ(other->Calls, 1);

  tObjectHold silent(new tTestObject());
  Put(silent, u"finalize", tNUVVariant(finalize.get()));
  name = u"";
  EXPECT_EQ(silent->ClassInfo(2, 0, &name), NUVResultOk);
  EXPECT_EQ(silent.Drop(), 0);
  EXPECT_EQ(finalize->Calls, 0);
}

class tResurrecting : public tNUVDispatch {
public:
  tResurrecting() { Track(this); }
  ~tResurrecting() override { Untrack(this); }
  void BeforeDestruction() override {
    ++BeforeCalls;
    AddRef();
    *Keeper = this;
  }
  iNUVDispatch2** Keeper = nullptr;
  int32_t BeforeCalls = 0;
};

TEST_F(CustomObjectFinalize, ReleaseKeepsAResurrectedObject) {
  iNUVDispatch2* kept = nullptr;
  auto* object = new tResurrecting();
  object->Keeper = &kept;
  EXPECT_EQ(object->Release(), 1);
  ASSERT_EQ(kept, object);
  EXPECT_EQ(LiveObjects().count(object), 1u);
  EXPECT_EQ(kept->AddRef(), 2);
  EXPECT_EQ(kept->Release(), 1);
  EXPECT_EQ(object->BeforeCalls, 1);
  EXPECT_EQ(kept->Release(), 0);   // no second BeforeDestruction: it would resurrect again
  EXPECT_TRUE(LiveObjects().empty());
}

TEST_F(CustomObjectFinalize, FinalizerCanResurrectItsObject) {
  tNUVVariant keeper;
  auto* object = new tTestObject();
  {
    tFunctionHold finalize(new tScriptFunction([&](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2* self) {
      keeper = tNUVVariant(self);
      return NUVResultOk;
    }));
    Put(object, u"finalize", tNUVVariant(finalize.get()));
  }
  EXPECT_EQ(object->Release(), 1);
  EXPECT_EQ(keeper.AsObjectNoError(), object);
  EXPECT_EQ(object->IsValid(0, nullptr, nullptr, object), NUVResultFalse);
  keeper.Clear();
  EXPECT_TRUE(LiveObjects().empty());
}

// ---------------------------------------------------------------------------------
// The missing-member protocol

using CustomObjectMissing = tObjectTest;

struct tMissingCall {
  int64_t Kind;
  std::u16string Name;
  bool PropertyIsUnboundObject;
  tNUVVariant Offered;
};

// A handler that records its calls; a get is answered with Answer through the
// property object; the handler's result is Handled.
struct tRecordingHandler {
  std::vector<tMissingCall> Calls;
  tNUVVariant Answer = tNUVVariant(42);
  int32_t Handled = 1;
  int32_t Code = NUVResultOk;
  iNUVDispatch2* ExpectedThis = nullptr;

  tScriptFunction* Create() {
    return new tScriptFunction([this](tNUVVariant* result, int32_t count, tNUVVariant** arguments,
                                      iNUVDispatch2* self) {
      EXPECT_EQ(self, ExpectedThis);
      EXPECT_EQ(count, 3);
      EXPECT_EQ(arguments[0]->vt, tvtInteger);
      EXPECT_EQ(arguments[1]->vt, tvtString);
      tMissingCall call{arguments[0]->AsInteger(), Text(*arguments[1]),
                        arguments[2]->vt == tvtObject && !arguments[2]->Object.ObjThis, tNUVVariant()};
      iNUVDispatch2* property = arguments[2]->AsObjectNoError();
      if (property) {
        tNUVVariant ignored;
        EXPECT_EQ(property->GetMember(0, u"x", nullptr, &ignored, nullptr), NUVResultMemberNotFound);
        if (call.Kind == 0) EXPECT_EQ(property->SetMember(0, nullptr, nullptr, &Answer, nullptr), NUVResultOk);
        else EXPECT_EQ(property->GetMember(0, nullptr, nullptr, &call.Offered, nullptr), NUVResultOk);
      }
      Calls.push_back(call);
      if (result) *result = Handled;
      return Code;
    });
  }
};

TEST_F(CustomObjectMissing, GetIsAnsweredThroughThePropertyObject) {
  tRecordingHandler handler;   // outlives object: finalization looks up "finalize" through it
  tObjectHold object(new tTestObject());
  handler.ExpectedThis = object;
  tFunctionHold function(handler.Create());
  Put(object, u"here", 1);
  InstallMissingHandler(object, function);

  int32_t code = 0;
  EXPECT_EQ(Get(object, u"absent", 0, &code).AsInteger(), 42);
  EXPECT_EQ(code, NUVResultOk);
  ASSERT_EQ(handler.Calls.size(), 1u);
  EXPECT_EQ(handler.Calls[0].Kind, 0);
  EXPECT_EQ(handler.Calls[0].Name, u"absent");
  EXPECT_TRUE(handler.Calls[0].PropertyIsUnboundObject);
  EXPECT_EQ(MemberCount(object), 2) << "the handler's answer creates no member";

  EXPECT_EQ(Get(object, u"here").AsInteger(), 1);
  EXPECT_EQ(handler.Calls.size(), 1u) << "present members never reach the handler";

  // A call of an absent member calls what the handler answers.
  tFunctionHold target(NewIdleFunction());
  handler.Answer = tNUVVariant(target.get());
  tNUVVariant result;
  EXPECT_EQ(object->CallMember(0, u"run", nullptr, &result, 0, nullptr, object), NUVResultOk);
  EXPECT_EQ(target->Calls, 1);
}

TEST_F(CustomObjectMissing, SetIsOfferedToTheHandler) {
  tRecordingHandler handler;   // outlives object: finalization looks up "finalize" through it
  tObjectHold object(new tTestObject());
  handler.ExpectedThis = object;
  tFunctionHold function(handler.Create());
  InstallMissingHandler(object, function);

  tNUVVariant seven(7);
  EXPECT_EQ(object->SetMember(0, u"absent", nullptr, &seven, object), NUVResultOk);
  ASSERT_EQ(handler.Calls.size(), 1u);
  EXPECT_EQ(handler.Calls[0].Kind, 1);
  EXPECT_EQ(handler.Calls[0].Name, u"absent");
  EXPECT_EQ(handler.Calls[0].Offered.AsInteger(), 7);
  EXPECT_EQ(MemberCount(object), 1);

  // Compound assignment of an absent member goes through get and set.
  tNUVVariant three(3);
  tNUVVariant result;
  handler.Answer = 10;
  EXPECT_EQ(object->ApplyOperation(NUVOpAdd, u"sum", nullptr, &result, &three, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 13);
  ASSERT_EQ(handler.Calls.size(), 3u);
  EXPECT_EQ(handler.Calls[1].Kind, 0);
  EXPECT_EQ(handler.Calls[2].Kind, 1);
  EXPECT_EQ(handler.Calls[2].Offered.AsInteger(), 13);
  EXPECT_EQ(MemberCount(object), 1);
}

TEST_F(CustomObjectMissing, ZeroOrFailingAnswerMeansNotHandled) {
  tRecordingHandler handler;   // outlives object: finalization looks up "finalize" through it
  tObjectHold object(new tTestObject());
  handler.ExpectedThis = object;
  handler.Handled = 0;
  tFunctionHold function(handler.Create());
  InstallMissingHandler(object, function);

  int32_t code = 0;
  Get(object, u"absent", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
  tNUVVariant seven(7);
  EXPECT_EQ(object->SetMember(0, u"absent", nullptr, &seven, object), NUVResultMemberNotFound);
  EXPECT_EQ(object->SetMember(NUVMemberEnsure, u"absent", nullptr, &seven, object), NUVResultOk);
  EXPECT_EQ(Get(object, u"absent").AsInteger(), 7);
  EXPECT_EQ(handler.Calls.size(), 3u);

  handler.Handled = 1;
  handler.Code = NUVResultFailed;
  Get(object, u"other", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
  EXPECT_EQ(handler.Calls.size(), 4u);
}

TEST_F(CustomObjectMissing, HandlerReadingAnAbsentMemberDoesNotRecurse) {
  tObjectHold object(new tTestObject());
  int32_t innerCode = 0;
  tFunctionHold function(new tScriptFunction([&](tNUVVariant* result, int32_t, tNUVVariant**, iNUVDispatch2* self) {
    tNUVVariant value;
    innerCode = self->GetMember(0, u"other", nullptr, &value, self);
    if (result) *result = 0;
    return NUVResultOk;
  }));
  InstallMissingHandler(object, function);
  int32_t code = 0;
  Get(object, u"absent", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
  EXPECT_EQ(innerCode, NUVResultMemberNotFound);
  EXPECT_EQ(function->Calls, 1);
}

TEST_F(CustomObjectMissing, RaisingHandlerDoesNotDisableTheProtocol) {
  tObjectHold object(new tTestObject());
  tFunctionHold function(new tScriptFunction([](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2*) -> int32_t {
    throw eNUVError(tNUVString(u"handler failed"));
  }));
  InstallMissingHandler(object, function);
  EXPECT_THROW(Get(object, u"absent"), eNUVError);
  EXPECT_THROW(Get(object, u"absent"), eNUVError);
  EXPECT_EQ(function->Calls, 2);
  tNUVVariant none(u"");
  object->ClassInfo(3, 0, &none);   // finalization would ask the handler for "finalize"
}

TEST_F(CustomObjectMissing, HandlerIsOffByDefaultAndWithAnEmptyName) {
  tObjectHold object(new tTestObject());
  tFunctionHold function(NewIdleFunction());
  Put(object, u"missing", tNUVVariant(function.get()));
  int32_t code = 0;
  Get(object, u"absent", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
  EXPECT_EQ(function->Calls, 0);

  tNUVVariant name(u"onMissing");
  ASSERT_EQ(object->ClassInfo(3, 0, &name), NUVResultOk);
  Put(object, u"onMissing", tNUVVariant(function.get()));
  Get(object, u"absent");
  EXPECT_EQ(function->Calls, 1);

  name = u"";
  ASSERT_EQ(object->ClassInfo(3, 0, &name), NUVResultOk);
  Get(object, u"absent", 0, &code);
  EXPECT_EQ(code, NUVResultMemberNotFound);
  EXPECT_EQ(function->Calls, 1);
}

// ---------------------------------------------------------------------------------
// instanceof

using CustomObjectInstanceOf = tObjectTest;

TEST_F(CustomObjectInstanceOf, ObjectAnswersObjectAndItsClassNames) {
  tObjectHold object(new tTestObject());
  auto isA = [&](const char16_t* className) { return object->IsInstanceOf(0, nullptr, nullptr, className, object); };
  EXPECT_EQ(isA(u"Object"), NUVResultTrue);
  EXPECT_EQ(isA(u"Widget"), NUVResultFalse);
  tNUVVariant name(u"Widget");
  EXPECT_EQ(object->ClassInfo(1, 0, &name), NUVResultOk);
  name = u"Gadget";
  EXPECT_EQ(object->ClassInfo(1, 0, &name), NUVResultOk);
  EXPECT_EQ(isA(u"Widget"), NUVResultTrue);
  EXPECT_EQ(isA(u"Gadget"), NUVResultTrue);
  EXPECT_EQ(isA(u"Gizmo"), NUVResultFalse);

  tNUVVariant out;
  EXPECT_EQ(object->ClassInfo(0, 0, &out), NUVResultOk);
  EXPECT_EQ(Text(out), u"Widget");
  EXPECT_EQ(object->ClassInfo(0, 1, &out), NUVResultOk);
  EXPECT_EQ(Text(out), u"Gadget");
  EXPECT_EQ(object->ClassInfo(0, 2, &out), NUVResultFailed);
  EXPECT_EQ(object->ClassInfo(0, -1, &out), NUVResultFailed);
  EXPECT_EQ(object->ClassInfo(4, 0, &out), NUVResultNotImplemented);
}

TEST_F(CustomObjectInstanceOf, MembersAnswerByTheirValueType) {
  tObjectHold object(new tTestObject());
  tObjectHold inner(new tTestObject());
  tNUVVariant widget(u"Widget");
  inner->ClassInfo(1, 0, &widget);
  const uint8_t bytes[] = {1, 2};
  Put(object, u"void", tNUVVariant());
  Put(object, u"zero", 0);
  Put(object, u"real", 1.5);
  Put(object, u"text", u"s");
  Put(object, u"octet", tNUVVariant(bytes, 2));
  Put(object, u"inner", tNUVVariant(inner.get()));
  auto isA = [&](const char16_t* member, const char16_t* className) {
    return object->IsInstanceOf(0, member, nullptr, className, object);
  };
  EXPECT_EQ(isA(u"void", u"Object"), NUVResultFalse);
  EXPECT_EQ(isA(u"void", u"Number"), NUVResultFalse);
  EXPECT_EQ(isA(u"zero", u"Object"), NUVResultTrue);
  EXPECT_EQ(isA(u"zero", u"Number"), NUVResultTrue);
  EXPECT_EQ(isA(u"zero", u"String"), NUVResultFalse);
  EXPECT_EQ(isA(u"real", u"Number"), NUVResultTrue);
  EXPECT_EQ(isA(u"text", u"String"), NUVResultTrue);
  EXPECT_EQ(isA(u"text", u"Object"), NUVResultTrue);
  EXPECT_EQ(isA(u"text", u"Number"), NUVResultFalse);
  EXPECT_EQ(isA(u"octet", u"Octet"), NUVResultTrue);
  EXPECT_EQ(isA(u"octet", u"String"), NUVResultFalse);
  EXPECT_EQ(isA(u"inner", u"Object"), NUVResultTrue);
  EXPECT_EQ(isA(u"inner", u"Widget"), NUVResultTrue);
  EXPECT_EQ(isA(u"inner", u"Number"), NUVResultFalse);
  EXPECT_EQ(isA(u"absent", u"Object"), NUVResultMemberNotFound);
  EXPECT_EQ(object->IsInstanceOfByNum(0, 7, u"Object", object), NUVResultMemberNotFound);
}

// ---------------------------------------------------------------------------------
// Enumeration

using CustomObjectEnumerate = tObjectTest;

// A callback whose answers a test chooses: Results[i] for the i-th visit (1 when
// the list is shorter), Codes likewise (0 when shorter).
struct tScriptedCallback {
  std::vector<std::u16string> Visited;
  std::vector<int32_t> ArgumentCounts;
  std::vector<int64_t> Results;
  std::vector<int32_t> Codes;
  iNUVDispatch2* SeenThis = nullptr;
  std::function<void(const std::u16string&)> OnVisit;

  tScriptFunction* Create() {
    return new tScriptFunction([this](tNUVVariant* result, int32_t count, tNUVVariant** arguments,
                                      iNUVDispatch2* self) {
      size_t index = Visited.size();
      Visited.push_back(Text(*arguments[0]));
      ArgumentCounts.push_back(count);
      SeenThis = self;
      if (OnVisit) OnVisit(Visited.back());
      if (result) *result = index < Results.size() ? Results[index] : int64_t{1};
      return index < Codes.size() ? Codes[index] : NUVResultOk;
    });
  }
};

int32_t EnumerateWith(iNUVDispatch2* object, iNUVDispatch2* callback, uint32_t flags = 0,
                      iNUVDispatch2* callbackThis = nullptr) {
  tNUVVariantClosure closure(callback, callbackThis);
  return object->EnumerateMembers(flags, &closure, object);
}

// Three members in one bucket: visited as c, b, a.
tTestObject* NewAbcObject() {
  auto* object = new tTestObject(0);
  for (const char16_t* name : {u"a", u"b", u"c"}) Put(object, name, 1);
  return object;
}

TEST_F(CustomObjectEnumerate, StopsOnFailureOrZeroAnswerAndAlwaysReturnsZero) {
  tObjectHold object(NewAbcObject());
  {
    tScriptedCallback script;
    tFunctionHold callback(script.Create());
    EXPECT_EQ(EnumerateWith(object, callback), NUVResultOk);
    EXPECT_EQ(script.Visited, (std::vector<std::u16string>{u"c", u"b", u"a"}));
    EXPECT_EQ(script.ArgumentCounts, (std::vector<int32_t>{3, 3, 3}));
  }
  {
    tScriptedCallback script;
    script.Codes = {NUVResultOk, NUVResultFailed};
    tFunctionHold callback(script.Create());
    EXPECT_EQ(EnumerateWith(object, callback), NUVResultOk);
    EXPECT_EQ(script.Visited.size(), 2u);
  }
  {
    tScriptedCallback script;
    script.Results = {0};
    tFunctionHold callback(script.Create());
    EXPECT_EQ(EnumerateWith(object, callback), NUVResultOk);
    EXPECT_EQ(script.Visited.size(), 1u);
  }
}

TEST_F(CustomObjectEnumerate, ValueFetchFailureStopsAndNamesOnlySkipsValues) {
  tObjectHold object(new tTestObject(0));
  tHold<tTestProperty> property(new tTestProperty(tNUVVariant(5)));
  property->GetCode = NUVResultAccessDenied;
  Put(object, u"a", 1);
  Put(object, u"bad", tNUVVariant(property.get()));
  Put(object, u"c", 3);
  {
    tScriptedCallback script;
    tFunctionHold callback(script.Create());
    EXPECT_EQ(EnumerateWith(object, callback), NUVResultOk);
    EXPECT_EQ(script.Visited, (std::vector<std::u16string>{u"c"}));
  }
  property->Gets = 0;
  {
    tScriptedCallback script;
    tFunctionHold callback(script.Create());
    EXPECT_EQ(EnumerateWith(object, callback, NUVEnumerateNoValue), NUVResultOk);
    EXPECT_EQ(script.Visited, (std::vector<std::u16string>{u"c", u"bad", u"a"}));
    EXPECT_EQ(script.ArgumentCounts, (std::vector<int32_t>{2, 2, 2}));
    EXPECT_EQ(property->Gets, 0);
  }
  std::vector<tVisit> visits = Enumerate(object, NUVIgnoreProperty);
  ASSERT_EQ(visits.size(), 3u);
  EXPECT_EQ(visits[1].Value.AsObjectNoError(), property.get());

  // With property semantics the values are the properties' values, got on the
  // enumerated object.
  property->GetCode = NUVResultOk;
  visits = Enumerate(object);
  ASSERT_EQ(visits.size(), 3u);
  EXPECT_EQ(visits[1].Value.AsInteger(), 5);
  EXPECT_EQ(property->LastThis, object.get());
}

TEST_F(CustomObjectEnumerate, CallbackRunsOnTheClosureThisOrItself) {
  tObjectHold object(NewAbcObject());
  tObjectHold other(new tTestObject());
  tScriptedCallback script;
  tFunctionHold callback(script.Create());
  EnumerateWith(object, callback, 0, other);
  EXPECT_EQ(script.SeenThis, other.get());
  EnumerateWith(object, callback);
  EXPECT_EQ(script.SeenThis, callback.get());
}

TEST_F(CustomObjectEnumerate, NullCallbacks) {
  tObjectHold object(NewAbcObject());
  EXPECT_EQ(object->EnumerateMembers(0, nullptr, object), NUVResultOk);
  tNUVVariantClosure empty(nullptr, nullptr);
  ExpectError([&] { object->EnumerateMembers(0, &empty, object); }, NUVNullAccess);
}

TEST_F(CustomObjectEnumerate, CallbackMayChangeTheTable) {
  tObjectHold object(NewAbcObject());
  tScriptedCallback script;
  script.OnVisit = [&](const std::u16string& name) {
    if (name != u"c") return;
    object->DeleteMember(0, u"b", nullptr, object);
    for (int i = 0; i < 40; ++i) Put(object, (u"new" + IntegerToText(i)).c_str(), i);
    tNUVCustomObject::RequestRehash();
    Get(object, u"a");
  };
  tFunctionHold callback(script.Create());
  EXPECT_EQ(EnumerateWith(object, callback), NUVResultOk);
  EXPECT_EQ(script.Visited, (std::vector<std::u16string>{u"c", u"a"}));
  EXPECT_EQ(MemberCount(object), 42);
}

TEST_F(CustomObjectEnumerate, InvalidatingCallbackEndsTheEnumeration) {
  tObjectHold object(NewAbcObject());
  tScriptedCallback script;
  script.OnVisit = [&](const std::u16string&) { object->Invalidate(0, nullptr, nullptr, object); };
  tFunctionHold callback(script.Create());
  EXPECT_EQ(EnumerateWith(object, callback), NUVResultOk);
  EXPECT_EQ(script.Visited.size(), 1u);
}

// ---------------------------------------------------------------------------------
// Property semantics and calls through member values

using CustomObjectProperty = tObjectTest;

TEST_F(CustomObjectProperty, GetAndSetGoThroughThePropertyUnlessIgnored) {
  tObjectHold object(new tTestObject());
  tHold<tTestProperty> property(new tTestProperty(tNUVVariant(5)));
  Put(object, u"p", tNUVVariant(property.get()));

  EXPECT_EQ(Get(object, u"p").AsInteger(), 5);
  EXPECT_EQ(property->LastThis, object.get());
  tNUVVariant raw = Get(object, u"p", NUVIgnoreProperty);
  EXPECT_EQ(raw.AsObjectNoError(), property.get());
  raw.Clear();

  EXPECT_EQ(Put(object, u"p", 9), NUVResultOk);
  EXPECT_EQ(property->Value.AsInteger(), 9);
  EXPECT_EQ(Get(object, u"p", NUVIgnoreProperty).AsObjectNoError(), property.get());

  EXPECT_EQ(property->GetRefCount(), 2);
  EXPECT_EQ(Put(object, u"p", 11, NUVIgnoreProperty), NUVResultOk);
  EXPECT_EQ(property->GetRefCount(), 1);
  EXPECT_EQ(Get(object, u"p").AsInteger(), 11);
  EXPECT_EQ(property->Value.AsInteger(), 9);
}

TEST_F(CustomObjectProperty, BoundPropertyRunsOnItsOwnThis) {
  tObjectHold object(new tTestObject());
  tObjectHold other(new tTestObject());
  tHold<tTestProperty> property(new tTestProperty(tNUVVariant(5)));
  Put(object, u"p", tNUVVariant(property.get(), other.get()));
  Get(object, u"p");
  EXPECT_EQ(property->LastThis, other.get());
  Put(object, u"p", 1);
  EXPECT_EQ(property->LastThis, other.get());
}

TEST_F(CustomObjectProperty, SomeFailuresFallBackToThePlainValue) {
  for (int32_t fallback : {NUVResultNotImplemented, NUVResultInvalidType, NUVResultInvalidObject}) {
    tObjectHold object(new tTestObject());
    tHold<tTestProperty> property(new tTestProperty(tNUVVariant(5)));
    property->GetCode = fallback;
    property->SetCode = fallback;
    Put(object, u"p", tNUVVariant(property.get()));
    EXPECT_EQ(Get(object, u"p").AsObjectNoError(), property.get()) << fallback;
    EXPECT_EQ(Put(object, u"p", 3), NUVResultOk) << fallback;
    EXPECT_EQ(Get(object, u"p").AsInteger(), 3) << fallback;
    EXPECT_EQ(property->Sets, 1);
    EXPECT_EQ(property->GetRefCount(), 1);
  }
  tObjectHold object(new tTestObject());
  tHold<tTestProperty> property(new tTestProperty(tNUVVariant(5)));
  property->GetCode = NUVResultAccessDenied;
  property->SetCode = NUVResultAccessDenied;
  Put(object, u"p", tNUVVariant(property.get()));
  int32_t code = 0;
  Get(object, u"p", 0, &code);
  EXPECT_EQ(code, NUVResultAccessDenied);
  EXPECT_EQ(Put(object, u"p", 3), NUVResultAccessDenied);
  EXPECT_EQ(Get(object, u"p", NUVIgnoreProperty).AsObjectNoError(), property.get());
}

TEST_F(CustomObjectProperty, CallsFollowTheClosureRules) {
  tObjectHold object(new tTestObject());
  tObjectHold other(new tTestObject());
  iNUVDispatch2* seenThis = nullptr;
  std::vector<int64_t> seenArguments;
  tFunctionHold function(new tScriptFunction([&](tNUVVariant* result, int32_t count, tNUVVariant** arguments,
                                                 iNUVDispatch2* self) {
    seenThis = self;
    seenArguments.clear();
    for (int32_t i = 0; i < count; ++i) seenArguments.push_back(arguments[i]->AsInteger());
    if (result) *result = int64_t{99};
    return NUVResultOk;
  }));
  Put(object, u"free", tNUVVariant(function.get()));
  Put(object, u"bound", tNUVVariant(function.get(), other.get()));
  Put(object, u"number", 1);
  Put(object, u"plain", tNUVVariant(other.get()));

  tArguments arguments{tNUVVariant(1), tNUVVariant(2)};
  tNUVVariant result;
  EXPECT_EQ(object->CallMember(0, u"free", nullptr, &result, arguments.Count(), arguments.Data(), object),
            NUVResultOk);
  EXPECT_EQ(seenThis, object.get());
  EXPECT_EQ(seenArguments, (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(result.AsInteger(), 99);
  EXPECT_EQ(object->CallMember(0, u"bound", nullptr, nullptr, 0, nullptr, object), NUVResultOk);
  EXPECT_EQ(seenThis, other.get());
  EXPECT_EQ(object->CallMember(0, u"number", nullptr, nullptr, 0, nullptr, object), NUVResultInvalidType);
  EXPECT_EQ(object->CallMember(0, u"plain", nullptr, nullptr, 0, nullptr, object), NUVResultInvalidType);
  EXPECT_EQ(object->CallMember(0, u"absent", nullptr, nullptr, 0, nullptr, object), NUVResultMemberNotFound);

  // An object that is not callable itself is called through its value.
  tHold<tTestProperty> property(new tTestProperty(tNUVVariant(function.get())));
  property->CallCode = NUVResultInvalidType;
  Put(object, u"indirect", tNUVVariant(property.get()));
  seenThis = nullptr;
  EXPECT_EQ(object->CallMember(0, u"indirect", nullptr, nullptr, 0, nullptr, object), NUVResultOk);
  EXPECT_EQ(seenThis, object.get());
  EXPECT_EQ(property->Gets, 1);
}

TEST_F(CustomObjectProperty, CalledFunctionSurvivesRemovingItsMember) {
  tObjectHold object(new tTestObject());
  // The member is the function's only holder, and the call deletes the member.
  tScriptFunction* function = nullptr;
  bool aliveDuringCall = false;
  function = new tScriptFunction([&](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2* self) {
    self->DeleteMember(0, u"f", nullptr, self);
    aliveDuringCall = LiveObjects().count(function) == 1;
    return NUVResultOk;
  });
  Put(object, u"f", tNUVVariant(function));
  function->Release();
  EXPECT_EQ(object->CallMember(0, u"f", nullptr, nullptr, 0, nullptr, object), NUVResultOk);
  EXPECT_TRUE(aliveDuringCall);
  EXPECT_EQ(LiveObjects().count(function), 0u);

  // A member function deleting its own member keeps running on a live object.
  int32_t countAfterDelete = -1;
  tFunctionHold self(new tScriptFunction([&](tNUVVariant*, int32_t, tNUVVariant**, iNUVDispatch2* target) {
    target->DeleteMember(0, u"me", nullptr, target);
    countAfterDelete = MemberCount(target);
    return NUVResultOk;
  }));
  Put(object, u"me", tNUVVariant(self.get(), object.get()));
  tScriptFunction* selfRaw = self.get();
  self.Drop();
  EXPECT_EQ(object->CallMember(0, u"me", nullptr, nullptr, 0, nullptr, object), NUVResultOk);
  EXPECT_EQ(countAfterDelete, 0);
  EXPECT_EQ(LiveObjects().count(selfRaw), 0u);
  EXPECT_EQ(object->GetRefCount(), 1);
}

TEST_F(CustomObjectProperty, InvalidateAndIsValidOfMembers) {
  tObjectHold object(new tTestObject());
  tObjectHold child(new tTestObject());
  Put(object, u"child", tNUVVariant(child.get()));
  Put(object, u"number", 1);
  EXPECT_EQ(object->IsValid(0, u"child", nullptr, object), NUVResultTrue);
  EXPECT_EQ(object->IsValid(0, u"number", nullptr, object), NUVResultTrue);
  EXPECT_EQ(object->IsValid(0, u"absent", nullptr, object), NUVResultMemberNotFound);
  EXPECT_EQ(object->Invalidate(0, u"number", nullptr, object), NUVResultInvalidType);
  EXPECT_EQ(object->Invalidate(0, u"absent", nullptr, object), NUVResultMemberNotFound);
  EXPECT_EQ(object->Invalidate(0, u"child", nullptr, object), NUVResultTrue);
  EXPECT_EQ(child->IsValid(0, nullptr, nullptr, child), NUVResultFalse);
  EXPECT_EQ(object->IsValid(0, u"child", nullptr, object), NUVResultFalse);
  EXPECT_EQ(object->IsValid(0, nullptr, nullptr, object), NUVResultTrue);
}

// ---------------------------------------------------------------------------------
// Compound operations

using CustomObjectApply = tObjectTest;

TEST_F(CustomObjectApply, PlainMembers) {
  tObjectHold object(new tTestObject());
  Put(object, u"n", 5);
  tNUVVariant three(3);
  tNUVVariant result;
  EXPECT_EQ(object->ApplyOperation(NUVOpAdd, u"n", nullptr, &result, &three, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 8);
  EXPECT_EQ(Get(object, u"n").AsInteger(), 8);

  result.Clear();
  EXPECT_EQ(object->ApplyOperation(0, u"n", nullptr, &result, &three, object), NUVResultInvalidParam);
  EXPECT_EQ(object->ApplyOperation(17, u"n", nullptr, &result, &three, object), NUVResultInvalidParam);
  EXPECT_EQ(object->ApplyOperation(NUVOpAdd, u"n", nullptr, &result, nullptr, object), NUVResultInvalidParam);
  EXPECT_TRUE(result.IsVoid());
  EXPECT_EQ(Get(object, u"n").AsInteger(), 8);

  EXPECT_EQ(object->ApplyOperation(NUVOpIncrement, u"n", nullptr, &result, nullptr, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 9);
  EXPECT_EQ(object->ApplyOperation(NUVOpDecrement | NUVIgnoreProperty, u"n", nullptr, nullptr, nullptr, object),
            NUVResultOk);
  EXPECT_EQ(Get(object, u"n").AsInteger(), 8);

  EXPECT_EQ(object->ApplyOperation(NUVOpIncrement, u"absent", nullptr, &result, nullptr, object),
            NUVResultMemberNotFound);
  EXPECT_EQ(object->ApplyOperation(NUVOpIncrement, nullptr, nullptr, &result, nullptr, object),
            NUVResultInvalidType);
  EXPECT_EQ(MemberCount(object), 1);
}

TEST_F(CustomObjectApply, PropertyMembers) {
  tObjectHold object(new tTestObject());
  tHold<tTestProperty> property(new tTestProperty(tNUVVariant(10)));
  Put(object, u"p", tNUVVariant(property.get()));
  tNUVVariant five(5);
  tNUVVariant result;
  EXPECT_EQ(object->ApplyOperation(NUVOpAdd, u"p", nullptr, &result, &five, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 15);
  EXPECT_EQ(property->Value.AsInteger(), 15);
  // The property is used even when properties are to be ignored.
  EXPECT_EQ(object->ApplyOperation(NUVOpAdd | NUVIgnoreProperty, u"p", nullptr, &result, &five, object),
            NUVResultOk);
  EXPECT_EQ(property->Value.AsInteger(), 20);
  EXPECT_EQ(Get(object, u"p", NUVIgnoreProperty).AsObjectNoError(), property.get());

  property->SetCode = NUVResultAccessDenied;
  EXPECT_EQ(object->ApplyOperation(NUVOpAdd, u"p", nullptr, &result, &five, object), NUVResultAccessDenied);
  property->SetCode = NUVResultOk;
  property->GetCode = NUVResultAccessDenied;
  EXPECT_EQ(object->ApplyOperation(NUVOpAdd, u"p", nullptr, &result, &five, object), NUVResultAccessDenied);
  EXPECT_EQ(property->Value.AsInteger(), 20);

  // A value-less object: the member itself is operated on.
  property->GetCode = NUVResultNotImplemented;
  tNUVVariant zero(0);
  EXPECT_EQ(object->ApplyOperation(NUVOpLogicalOr, u"p", nullptr, &result, &zero, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 1);
  EXPECT_EQ(Get(object, u"p").AsInteger(), 1);
  EXPECT_EQ(property->GetRefCount(), 1);
}

// ---------------------------------------------------------------------------------
// Invalidation and native instances

using CustomObjectInvalidation = tObjectTest;

class tTestInstance : public tNUVNativeInstance {
public:
  tTestInstance(std::vector<std::string>& log, std::string name) : Log(log), Name(std::move(name)) { Track(this); }
  ~tTestInstance() override { Untrack(this); }
  void Invalidate() override { Log.push_back("invalidate " + Name); }
  void Destruct() override {
    Log.push_back("destruct " + Name);
    delete this;
  }

private:
  std::vector<std::string>& Log;
  std::string Name;
};

TEST_F(CustomObjectInvalidation, EveryMemberOperationAnswersInvalidObject) {
  tObjectHold object(new tTestObject());
  tFunctionHold function(NewIdleFunction());
  Put(object, u"f", tNUVVariant(function.get()));
  Put(object, u"n", 1);
  EXPECT_EQ(object->Invalidate(0, nullptr, nullptr, object), NUVResultTrue);
  EXPECT_EQ(function->GetRefCount(), 1) << "members are released at invalidation";
  EXPECT_EQ(object->Invalidate(0, nullptr, nullptr, object), NUVResultInvalidObject);

  tNUVVariant value(1);
  tNUVVariant result;
  tNUVString name(u"n");
  iNUVDispatch2* created = nullptr;
  tNUVVariantClosure callback(function.get(), nullptr);
  int32_t count = 0;
  EXPECT_EQ(object->GetMember(0, u"n", nullptr, &result, object), NUVResultInvalidObject);
  EXPECT_EQ(object->GetMember(NUVMemberEnsure, u"n", nullptr, &result, object), NUVResultInvalidObject);
  EXPECT_EQ(object->SetMember(NUVMemberEnsure, u"n", nullptr, &value, object), NUVResultInvalidObject);
  EXPECT_EQ(object->SetMemberByBody(NUVMemberEnsure, name.GetBody(), &value, object), NUVResultInvalidObject);
  EXPECT_EQ(object->CallMember(0, u"f", nullptr, &result, 0, nullptr, object), NUVResultInvalidObject);
  EXPECT_EQ(object->CreateInstance(0, u"f", nullptr, &created, 0, nullptr, object), NUVResultInvalidObject);
  EXPECT_EQ(object->DeleteMember(0, u"n", nullptr, object), NUVResultInvalidObject);
  EXPECT_EQ(object->GetMemberCount(&count, nullptr, nullptr, object), NUVResultInvalidObject);
  EXPECT_EQ(object->EnumerateMembers(0, &callback, object), NUVResultInvalidObject);
  EXPECT_EQ(object->Invalidate(0, u"f", nullptr, object), NUVResultInvalidObject);
  EXPECT_EQ(object->IsInstanceOf(0, nullptr, nullptr, u"Object", object), NUVResultInvalidObject);
  EXPECT_EQ(object->IsInstanceOf(0, u"n", nullptr, u"Object", object), NUVResultInvalidObject);
  EXPECT_EQ(object->ApplyOperation(NUVOpIncrement, u"n", nullptr, &result, nullptr, object), NUVResultInvalidObject);
  EXPECT_EQ(object->GetMemberByNum(0, 1, &result, object), NUVResultInvalidObject);
  EXPECT_EQ(object->SetMemberByNum(NUVMemberEnsure, 1, &value, object), NUVResultInvalidObject);
  EXPECT_EQ(object->CallMemberByNum(0, 1, &result, 0, nullptr, object), NUVResultInvalidObject);
  EXPECT_EQ(created, nullptr);
  EXPECT_EQ(function->Calls, 0);

  EXPECT_EQ(object->IsValid(0, nullptr, nullptr, object), NUVResultFalse);
  EXPECT_EQ(object->AddRef(), 2);
  EXPECT_EQ(object->Release(), 1);
  tNUVVariant className(u"Late");
  EXPECT_EQ(object->ClassInfo(1, 0, &className), NUVResultOk);
  EXPECT_EQ(object->ClassInfo(0, 0, &result), NUVResultOk);
  EXPECT_EQ(Text(result), u"Late");
  std::vector<std::string> log;
  iNUVNativeInstance* instance = new tTestInstance(log, "late");
  int32_t id = RegisterNativeClassName(u"ObjectTestLate");
  EXPECT_EQ(object->NativeInstanceSlot(1, id, &instance), NUVResultOk);
  iNUVNativeInstance* found = nullptr;
  EXPECT_EQ(object->NativeInstanceSlot(2, id, &found), NUVResultOk);
  EXPECT_EQ(found, instance);
  EXPECT_EQ(object.Drop(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"destruct late"}));
}

TEST_F(CustomObjectInvalidation, NativeInstancesAreInvalidatedAndDestructedInReverseSlotOrder) {
  std::vector<std::string> log;
  tObjectHold object(new tTestObject());
  int32_t ids[5];
  const char16_t* names[5] = {u"ObjectTestA", u"ObjectTestB", u"ObjectTestC", u"ObjectTestD", u"ObjectTestE"};
  for (int i = 0; i < 5; ++i) ids[i] = RegisterNativeClassName(names[i]);
  for (int i = 0; i < 4; ++i) {
    iNUVNativeInstance* instance = new tTestInstance(log, std::string(1, static_cast<char>('A' + i)));
    ASSERT_EQ(object->NativeInstanceSlot(1, ids[i], &instance), NUVResultOk);
  }
  iNUVNativeInstance* fifth = new tTestInstance(log, "E");
  EXPECT_EQ(object->NativeInstanceSlot(1, ids[4], &fifth), NUVResultFailed);
  fifth->Destruct();
  log.clear();

  iNUVNativeInstance* found = nullptr;
  EXPECT_EQ(object->NativeInstanceSlot(2, ids[4], &found), NUVResultFailed);
  EXPECT_EQ(object->NativeInstanceSlot(2, ids[2], &found), NUVResultOk);
  EXPECT_NE(found, nullptr);
  EXPECT_EQ(object->NativeInstanceSlot(0, ids[2], &found), NUVResultNotImplemented);
  EXPECT_EQ(object->NativeInstanceSlot(3, ids[2], &found), NUVResultNotImplemented);

  EXPECT_EQ(object.Drop(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"invalidate D", "invalidate C", "invalidate B", "invalidate A",
                                           "destruct D", "destruct C", "destruct B", "destruct A"}));
}

TEST_F(CustomObjectInvalidation, NativeInstanceNeedsAClassId) {
  std::vector<std::string> log;
  tObjectHold object(new tTestObject());
  iNUVNativeInstance* instance = new tTestInstance(log, "X");
  EXPECT_LT(object->NativeInstanceSlot(1, -1, &instance), 0);
  instance->Destruct();
  iNUVNativeInstance* found = nullptr;
  EXPECT_EQ(object->NativeInstanceSlot(2, -1, &found), NUVResultFailed);
}

// ---------------------------------------------------------------------------------
// The base object and the number forms

using DispatchBase = tObjectTest;

// A base object with one integer member "n", for the base compound operation.
class tOneMember : public tNUVDispatch {
public:
  tOneMember() { Track(this); }
  ~tOneMember() override { Untrack(this); }
  int32_t GetMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result, iNUVDispatch2*) override {
    if (!memberName || WideCompare(memberName, u"n") != 0) return NUVResultMemberNotFound;
    *result = Value;
    return NUVResultOk;
  }
  int32_t SetMember(uint32_t, const char16_t* memberName, uint32_t*, const tNUVVariant* value,
                    iNUVDispatch2*) override {
    if (!memberName || WideCompare(memberName, u"n") != 0) return NUVResultMemberNotFound;
    Value = *value;
    ++Sets;
    return NUVResultOk;
  }
  tNUVVariant Value = tNUVVariant(4);
  int32_t Sets = 0;
};

TEST_F(DispatchBase, UnimplementedOperations) {
  tHold<tOneMember> object(new tOneMember());
  tNUVVariant value;
  iNUVDispatch2* created = nullptr;
  int32_t count = 0;
  for (const char16_t* name : {static_cast<const char16_t*>(nullptr), u"x"}) {
    int32_t expected = name ? NUVResultMemberNotFound : NUVResultNotImplemented;
    EXPECT_EQ(object->CallMember(0, name, nullptr, &value, 0, nullptr, object), expected);
    EXPECT_EQ(object->DeleteMember(0, name, nullptr, object), expected);
    EXPECT_EQ(object->Invalidate(0, name, nullptr, object), expected);
    EXPECT_EQ(object->IsValid(0, name, nullptr, object), expected);
    EXPECT_EQ(object->CreateInstance(0, name, nullptr, &created, 0, nullptr, object), expected);
    EXPECT_EQ(object->IsInstanceOf(0, name, nullptr, u"Object", object), expected);
  }
  EXPECT_EQ(object->GetMemberCount(&count, nullptr, nullptr, object), NUVResultNotImplemented);
  EXPECT_EQ(object->SetMemberByBody(0, nullptr, &value, object), NUVResultNotImplemented);
  EXPECT_EQ(object->EnumerateMembers(0, nullptr, object), NUVResultNotImplemented);
  EXPECT_EQ(object->NativeInstanceSlot(2, 0, nullptr), NUVResultNotImplemented);
  EXPECT_EQ(object->ClassInfo(0, 0, &value), NUVResultNotImplemented);
  EXPECT_EQ(object->Reserved1(), NUVResultNotImplemented);
  EXPECT_EQ(object->Reserved2(), NUVResultNotImplemented);
  EXPECT_EQ(object->Reserved3(), NUVResultNotImplemented);
}

TEST_F(DispatchBase, CompoundOperationGoesThroughGetAndSet) {
  tHold<tOneMember> object(new tOneMember());
  tNUVVariant two(2);
  tNUVVariant result;
  EXPECT_EQ(object->ApplyOperation(NUVOpMultiply, u"n", nullptr, &result, &two, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 8);
  EXPECT_EQ(object->Value.AsInteger(), 8);
  EXPECT_EQ(object->ApplyOperation(NUVOpIncrement, u"n", nullptr, nullptr, nullptr, object), NUVResultOk);
  EXPECT_EQ(object->Value.AsInteger(), 9);
  EXPECT_EQ(object->ApplyOperation(0, u"n", nullptr, &result, &two, object), NUVResultInvalidParam);
  EXPECT_EQ(object->ApplyOperation(17, u"n", nullptr, &result, &two, object), NUVResultInvalidParam);
  EXPECT_EQ(object->ApplyOperation(NUVOpSubtract, u"n", nullptr, &result, nullptr, object), NUVResultInvalidParam);
  EXPECT_EQ(object->ApplyOperation(NUVOpIncrement, u"m", nullptr, &result, nullptr, object),
            NUVResultMemberNotFound);
  EXPECT_EQ(object->Sets, 2);
  EXPECT_EQ(object->Value.AsInteger(), 9);
}

TEST_F(DispatchBase, NumberFormsUseTheDecimalText) {
  tObjectHold object(new tTestObject());
  tFunctionHold function(NewIdleFunction());
  Put(object, u"-5", tNUVVariant(function.get()));
  tNUVVariant result;
  EXPECT_EQ(object->CallMemberByNum(0, -5, &result, 0, nullptr, object), NUVResultOk);
  EXPECT_EQ(function->Calls, 1);

  tNUVVariant value(7);
  EXPECT_EQ(object->GetMemberByNum(0, 12, &result, object), NUVResultMemberNotFound);
  EXPECT_EQ(object->SetMemberByNum(NUVMemberEnsure, 12, &value, object), NUVResultOk);
  EXPECT_EQ(Get(object, u"12").AsInteger(), 7);
  EXPECT_EQ(object->ApplyOperationByNum(NUVOpIncrement, 12, &result, nullptr, object), NUVResultOk);
  EXPECT_EQ(object->GetMemberByNum(0, 12, &result, object), NUVResultOk);
  EXPECT_EQ(result.AsInteger(), 8);
  EXPECT_EQ(object->IsInstanceOfByNum(0, 12, u"Number", object), NUVResultTrue);
  EXPECT_EQ(object->IsValidByNum(0, 12, object), NUVResultTrue);
  int32_t count = 0;
  EXPECT_EQ(object->GetMemberCountByNum(&count, 12, object), NUVResultOk);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(object->DeleteMemberByNum(0, 12, object), NUVResultOk);
  EXPECT_EQ(object->DeleteMemberByNum(0, 12, object), NUVResultMemberNotFound);
  EXPECT_EQ(object->InvalidateByNum(0, -5, object), NUVResultNotImplemented);   // the function has no state
  EXPECT_EQ(object->InvalidateByNum(0, -6, object), NUVResultMemberNotFound);
}

TEST_F(DispatchBase, ClassIdRegistry) {
  int32_t alpha = RegisterNativeClassName(u"ObjectTestAlpha");
  int32_t beta = RegisterNativeClassName(u"ObjectTestBeta");
  EXPECT_GE(alpha, 0);
  EXPECT_NE(alpha, beta);
  EXPECT_EQ(RegisterNativeClassName(u"ObjectTestAlpha"), alpha);
  EXPECT_EQ(FindNativeClassID(u"ObjectTestBeta"), beta);
  EXPECT_EQ(FindNativeClassID(u"ObjectTestNeverRegistered"), -1);
  EXPECT_EQ(Text(FindNativeClassName(alpha)), u"ObjectTestAlpha");
  EXPECT_TRUE(FindNativeClassName(-1).IsEmpty());
  EXPECT_TRUE(FindNativeClassName(1 << 20).IsEmpty());
}

}  // namespace
}  // namespace NUV::ObjectsTest
