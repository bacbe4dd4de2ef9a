// Faults the fuzz targets (tests/fuzz) found, where a script cannot show them
// well: releasing an object chain far deeper than the native stack, also when a
// finalizer deep inside the chain fails.

#include <gtest/gtest.h>

#include "engine/objects/custom_object.h"
#include "engine/services/errors.h"
#include "engine/values/global_string_map.h"

namespace NUV {
namespace {

int32_t Destroyed = 0;

// A script object that counts its destruction; the one marked Fails raises from
// its finalization.
class tChainLink final : public tNUVCustomObject {
public:
  explicit tChainLink(bool fails = false) : tNUVCustomObject(0), Fails(fails) {}
  ~tChainLink() override { ++Destroyed; }
  void BeforeDestruction() override {
    tNUVCustomObject::BeforeDestruction();
    if (Fails) throw eNUVError(tNUVString(u"finalizer failed"));
  }

private:
  bool Fails;
};

// A chain of count links, each holding the next as member "next"; failing is
// the index of the link that raises (-1: none). Returns the head.
tChainLink* MakeChain(int32_t count, int32_t failing) {
  tChainLink* head = nullptr;
  for (int32_t i = count - 1; i >= 0; --i) {
    auto* link = new tChainLink(i == failing);
    if (head) {
      tNUVVariant next(head, head);
      head->Release();
      link->SetMember(NUVMemberEnsure, u"next", nullptr, &next, link);
    }
    head = link;
  }
  return head;
}

class FuzzFindings : public testing::Test {
protected:
  void SetUp() override {
    NUVAddRefGlobalStringMap();
    Destroyed = 0;
  }
  void TearDown() override { NUVReleaseGlobalStringMap(); }
};

TEST_F(FuzzFindings, ReleasingAVeryDeepChainDestroysEveryLink) {
  constexpr int32_t count = 300000;
  tChainLink* head = MakeChain(count, -1);
  EXPECT_EQ(head->Release(), 0);
  EXPECT_EQ(Destroyed, count);
  // The engine is usable again at once: a short chain goes the ordinary way.
  MakeChain(10, -1)->Release();
  EXPECT_EQ(Destroyed, count + 10);
}

TEST_F(FuzzFindings, AFailingFinalizerDeepInTheChainPassesItsErrorOnce) {
  constexpr int32_t count = 5000;
  tChainLink* head = MakeChain(count, 3000);
  try {
    head->Release();
    ADD_FAILURE() << "the finalizer's error was lost";
  } catch (const eNUVError& error) {
    EXPECT_EQ(error.GetMessage().AsStdString(), "finalizer failed");
  }
  EXPECT_EQ(Destroyed, count);
  MakeChain(3, -1)->Release();
  EXPECT_EQ(Destroyed, count + 3);
}

}  // namespace
}  // namespace NUV
