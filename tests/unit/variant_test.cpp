// Variant construction, ownership and reference counting, and octet bodies.

#include <utility>

#include "engine/services/error_report.h"
#include "variant_test_support.h"

namespace NUV {
namespace {

using namespace VariantTest;

using tVariantConstructionTest = tVariantTest;
using tVariantOwnershipTest = tVariantTest;

TEST_F(tVariantConstructionTest, EachSourceGivesItsTagAndValue) {
  EXPECT_TRUE(IsVoid(tNUVVariant()));
  EXPECT_TRUE(IsInteger(tNUVVariant(int32_t{-1}), -1));   // sign-extended
  EXPECT_TRUE(IsInteger(tNUVVariant(INT64_MIN), INT64_MIN));
  EXPECT_TRUE(IsReal(tNUVVariant(-0.0), -0.0));
  EXPECT_TRUE(IsInteger(tNUVVariant(true), 1));
  EXPECT_TRUE(IsInteger(tNUVVariant(false), 0));
  EXPECT_TRUE(IsString(tNUVVariant(u"wide"), u"wide"));
  EXPECT_TRUE(IsString(tNUVVariant("narrow"), u"narrow"));
  tNUVVariant empty(u"");
  EXPECT_TRUE(IsString(empty, u""));
  EXPECT_EQ(empty.String, nullptr);   // the empty string has no body

  uint8_t bytes[] = {1, 0xAB};
  tNUVVariant octet(bytes, 2);
  bytes[0] = 9;   // the variant holds its own copy
  EXPECT_TRUE(IsOctet(octet, {1, 0xAB}));
  EXPECT_TRUE(IsOctet(tNUVVariant(bytes, 0), {}));
  EXPECT_TRUE(IsOctet(tNUVVariant(static_cast<const uint8_t*>(nullptr), 4), {}));

  const char16_t* names[] = {u"void", u"object", u"string", u"octet", u"int", u"real"};
  for (int32_t tag = 0; tag < 6; ++tag) EXPECT_EQ(std::u16string(tNUVVariant::TypeName(tag)), names[tag]);
  EXPECT_EQ(std::u16string(tNUVVariant::TypeName(6)), u"unknown");
  EXPECT_EQ(std::u16string(tNUVVariant::TypeName(-1)), u"unknown");
}

TEST_F(tVariantConstructionTest, StringsAndOctetsShareBodies) {
  tNUVString text(u"shared text");
  ASSERT_EQ(text.GetBody()->RefCount, 0);
  {
    tNUVVariant first(text);
    EXPECT_EQ(first.String, text.GetBody());
    EXPECT_EQ(text.GetBody()->RefCount, 1);
    tNUVVariant second(first);
    tNUVVariant third;
    third = second;
    EXPECT_EQ(text.GetBody()->RefCount, 3);
    third = int64_t{4};
    EXPECT_EQ(text.GetBody()->RefCount, 2);
    second.Clear();
    EXPECT_TRUE(IsVoid(second));
    EXPECT_EQ(text.GetBody()->RefCount, 1);
  }
  EXPECT_EQ(text.GetBody()->RefCount, 0);

  uint8_t bytes[] = {7};
  tNUVVariantOctet* body = CreateOctet(bytes, 1);
  ASSERT_EQ(body->RefCount, 1);   // the creator's reference
  {
    tNUVVariant first(body);
    EXPECT_EQ(body->RefCount, 2);
    tNUVVariant second;
    second = body;
    tNUVVariant third(second);
    EXPECT_EQ(body->RefCount, 4);
    EXPECT_EQ(third.AsOctet(), body);
    EXPECT_EQ(body->RefCount, 4);   // AsOctet adds no reference
  }
  EXPECT_EQ(body->RefCount, 1);
  ReleaseOctet(body);
}

TEST_F(tVariantConstructionTest, SelfAssignmentKeepsTheOnlyReference) {
  // Each variant holds the last reference: releasing before referencing would free it.
  tNUVVariant string(tNUVString(u"a text longer than the short buffer holds"));
  string = string;
  EXPECT_TRUE(IsString(string, u"a text longer than the short buffer holds"));
  tNUVVariant octet = OctetOf({1, 2, 3});
  octet = octet;
  EXPECT_TRUE(IsOctet(octet, {1, 2, 3}));

  tCountedObject* object = tCountedObject::Create();
  tNUVVariant holder(object, object);
  object->Release();
  holder = holder;
  EXPECT_EQ(object->References, 2);
  holder = std::move(holder);
  EXPECT_EQ(object->References, 2);
  EXPECT_EQ(holder.AsObject(), object);
}

TEST(tOctetBodyTest, CreationJoiningAndRelease) {
  uint8_t first[] = {1, 2};
  uint8_t second[] = {3};
  EXPECT_EQ(CreateOctet(nullptr, 3), nullptr);
  EXPECT_EQ(CreateOctet(first, 0), nullptr);
  EXPECT_EQ(CreateJoinedOctet(nullptr, 5, first, 0), nullptr);
  EXPECT_EQ(CreateJoinedOctet(static_cast<const tNUVVariantOctet*>(nullptr), nullptr), nullptr);

  tNUVVariantOctet* joined = CreateJoinedOctet(first, 2, second, 1);
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined->RefCount, 1);
  ASSERT_EQ(joined->Length, 3);
  EXPECT_EQ(joined->Data[0], 1);
  EXPECT_EQ(joined->Data[2], 3);

  tNUVVariantOctet* onlySecond = CreateJoinedOctet(nullptr, 2, second, 1);   // null counts as empty
  ASSERT_NE(onlySecond, nullptr);
  EXPECT_EQ(onlySecond->Length, 1);

  tNUVVariantOctet* copy = CreateJoinedOctet(joined, nullptr);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, joined);
  EXPECT_NE(copy->Data, joined->Data);
  EXPECT_EQ(copy->Length, 3);

  AddRefOctet(joined);
  ReleaseOctet(joined);   // back to one owner, still alive
  EXPECT_EQ(joined->RefCount, 1);
  ReleaseOctet(joined);
  ReleaseOctet(onlySecond);
  ReleaseOctet(copy);
  ReleaseOctet(nullptr);
}

// Object values hold one reference of the object and one of objthis.
TEST_F(tVariantOwnershipTest, ObjectValuesCountBothReferences) {
  tCountedObject* object = tCountedObject::Create();
  tCountedObject* objThis = tCountedObject::Create();
  {
    tNUVVariant alone(object);
    EXPECT_EQ(object->References, 2);
    EXPECT_EQ(alone.AsObjectThis(), nullptr);

    tNUVVariant bound(object, objThis);
    EXPECT_EQ(object->References, 3);
    EXPECT_EQ(objThis->References, 2);

    tNUVVariant copy(bound);
    EXPECT_EQ(object->References, 4);
    EXPECT_EQ(objThis->References, 3);

    tNUVVariantClosure closure = bound.AsObjectClosure();   // no references
    EXPECT_EQ(closure.Object, object);
    EXPECT_EQ(closure.ObjThis, objThis);
    EXPECT_EQ(object->References, 4);

    tNUVVariant fromClosure(static_cast<const tNUVVariantClosure_S&>(closure));
    EXPECT_EQ(object->References, 5);
    EXPECT_EQ(objThis->References, 4);

    copy = u"replaced";   // overwriting with a string releases both
    EXPECT_EQ(object->References, 4);
    EXPECT_EQ(objThis->References, 3);

    copy = bound;   // copy assignment over a string
    EXPECT_EQ(object->References, 5);
    copy = alone;   // over an object: objthis released, object re-referenced
    EXPECT_EQ(object->References, 5);
    EXPECT_EQ(objThis->References, 3);

    fromClosure.Clear();
    EXPECT_TRUE(IsVoid(fromClosure));
    EXPECT_EQ(object->References, 4);
    EXPECT_EQ(objThis->References, 2);

    bound.SetInteger(1);
    EXPECT_EQ(object->References, 3);
    EXPECT_EQ(objThis->References, 1);

    tNUVVariant same(object, object);   // the same pointer twice: two references
    EXPECT_EQ(object->References, 5);
    same = 2.5;
    EXPECT_EQ(object->References, 3);

    tNUVVariant thisOnly(nullptr, objThis);
    EXPECT_EQ(objThis->References, 2);
    thisOnly = tNUVVariantClosure(object, objThis);
    EXPECT_EQ(object->References, 4);
    EXPECT_EQ(objThis->References, 2);
    thisOnly.SetObject(objThis, nullptr);
    EXPECT_EQ(object->References, 3);
    EXPECT_EQ(objThis->References, 2);
    thisOnly = static_cast<iNUVDispatch2*>(object);
    EXPECT_EQ(object->References, 4);
    EXPECT_EQ(objThis->References, 1);
  }
  EXPECT_EQ(object->References, 1);
  EXPECT_EQ(objThis->References, 1);
  object->Release();
  objThis->Release();
}

TEST_F(tVariantOwnershipTest, MovesTransferWithoutCountingAndReleaseTheOldValueAtOnce) {
  tCountedObject* first = tCountedObject::Create();
  tCountedObject* second = tCountedObject::Create();
  tCountedObject* secondThis = tCountedObject::Create();
  tNUVVariant target(first);
  tNUVVariant source(second, secondThis);

  tNUVVariant moved(std::move(source));
  EXPECT_TRUE(IsVoid(source));
  EXPECT_EQ(second->References, 2);
  EXPECT_EQ(secondThis->References, 2);

  target = std::move(moved);
  EXPECT_TRUE(IsVoid(moved));               // the source does not keep the old value
  EXPECT_EQ(first->References, 1);          // released by the assignment itself
  EXPECT_EQ(second->References, 2);
  EXPECT_EQ(secondThis->References, 2);
  EXPECT_EQ(target.AsObjectThis(), secondThis);

  first->Release();
  second->Release();
  secondThis->Release();
  EXPECT_EQ(tCountedObject::LiveCount, LiveAtStart + 2);   // target still holds them
  target.Clear();
}

TEST_F(tVariantOwnershipTest, FailedConversionsKeepTheReferences) {
  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object, object);
  EXPECT_THROW(value.ToInteger(), eNUVVariantError);
  EXPECT_THROW(value.ToOctet(), eNUVVariantError);
  EXPECT_THROW(value.Increment(), eNUVVariantError);
  EXPECT_THROW(value.SubtractAssign(tNUVVariant(1)), eNUVVariantError);
  EXPECT_THROW(value.BitOrAssign(tNUVVariant(1)), eNUVVariantError);
  EXPECT_EQ(object->References, 3);
  EXPECT_EQ(value.AsObject(), object);
  object->Release();
}

// Code run by the last release (a finalizer) must never find the variant still
// holding the dying object.
TEST_F(tVariantOwnershipTest, ReleaseNeverShowsTheDyingValue) {
  struct tCase {
    const char* Name;
    std::function<void(tNUVVariant&)> Action;
  };
  const tNUVVariant other(u"other");
  const tCase cases[] = {
      {"Clear", [](tNUVVariant& value) { value.Clear(); }},
      {"SetInteger", [](tNUVVariant& value) { value.SetInteger(3); }},
      {"SetReal", [](tNUVVariant& value) { value.SetReal(3.5); }},
      {"copy assignment", [&](tNUVVariant& value) { value = other; }},
      {"move assignment", [](tNUVVariant& value) { value = tNUVVariant(u"new"); }},
      {"string assignment", [](tNUVVariant& value) { value = u"new"; }},
      {"ToString", [](tNUVVariant& value) { value.ToString(); }},
      {"AddAssign", [](tNUVVariant& value) { value.AddAssign(tNUVVariant(u"tail")); }},
      {"LogicalNot", [](tNUVVariant& value) { value.LogicalNot(); }},
      {"CharacterCode", [](tNUVVariant& value) { value.CharacterCode(); }},
  };
  for (const tCase& testCase : cases) {
    SCOPED_TRACE(testCase.Name);
    tNUVVariant value;
    tCountedObject* object = tCountedObject::Create();
    value = static_cast<iNUVDispatch2*>(object);
    object->Release();   // the variant holds the last reference
    bool finalized = false;
    bool sawDying = false;
    object->OnFinalRelease = [&](tCountedObject* dying) {
      finalized = true;
      sawDying = value.Type() == tvtObject && value.Object.Object == dying;
    };
    testCase.Action(value);
    EXPECT_TRUE(finalized);
    EXPECT_FALSE(sawDying);
    EXPECT_NE(value.Type(), tvtObject);
  }
}

tNUVString LastReport;
void CaptureReport(const tNUVString& message) { LastReport = message; }

TEST_F(tVariantOwnershipTest, FailingFinalizerPassesOnClearAndIsReportedByTheDestructor) {
  tCountedObject* object = tCountedObject::Create();
  tNUVVariant value(object);
  object->ThrowOnFinalRelease = true;
  object->Release();
  EXPECT_THROW(value.Clear(), eNUVError);
  EXPECT_TRUE(IsVoid(value));

  tNUVErrorReporter previous = NUVSetErrorReporter(CaptureReport);
  LastReport.Clear();
  {
    tCountedObject* dying = tCountedObject::Create();
    tNUVVariant holder(dying);
    dying->ThrowOnFinalRelease = true;
    dying->Release();
  }
  NUVSetErrorReporter(previous);
  EXPECT_EQ(Text(LastReport), u"finalizer failed");
  LastReport.Clear();
}

// When releasing objthis raises, the object's reference must still be dropped.
TEST_F(tVariantOwnershipTest, FailingObjThisReleaseStillReleasesTheObject) {
  tCountedObject* object = tCountedObject::Create();
  tCountedObject* objThis = tCountedObject::Create();
  tNUVVariant value(object, objThis);
  objThis->ThrowOnFinalRelease = true;
  objThis->Release();
  object->Release();
  EXPECT_THROW(value.Clear(), eNUVError);
  EXPECT_TRUE(IsVoid(value));
  EXPECT_EQ(tCountedObject::LiveCount, LiveAtStart);
}

}  // namespace
}  // namespace NUV
