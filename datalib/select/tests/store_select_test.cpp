// The object store's form of selections, built through a recording engine.
#include "datalib/select/store_select.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_database.h"
#include "platform/mfc/cobarray.h"

namespace {

// An engine whose selections are descriptions, so the translation can be read back.
class RecordingEngine : public vaultkit::StoreQueryEngine {
 public:
  struct Node : CObArray {
    std::string text;
  };
  CObject* NewStringSelect(LONG attribute, const CPDString& value, LONG op) override {
    return Make("str(" + std::to_string(attribute) + "," + static_cast<char*>(value) + "," +
                std::to_string(op) + ")");
  }
  CObject* NewLongSelect(LONG attribute, LONG value, LONG comparison) override {
    return Make("long(" + std::to_string(attribute) + "," + std::to_string(value) + "," +
                std::to_string(comparison) + ")");
  }
  CObject* NewAndSelect() override { return Make("and"); }
  CObject* NewOrSelect() override { return Make("or"); }
  void AddPart(CObject* complex, CObject* part) override { static_cast<Node*>(complex)->Add(part); }

  static std::string Describe(CObject* o) {
    auto* n = static_cast<Node*>(o);
    std::string out = n->text;
    if (n->GetSize() > 0) {
      out += "[";
      for (int i = 0; i < n->GetSize(); ++i) out += (i ? " " : "") + Describe(n->GetAt(i));
      out += "]";
    }
    return out;
  }
  static void Free(CObject* o) {
    auto* n = static_cast<Node*>(o);
    for (int i = 0; i < n->GetSize(); ++i) Free(n->GetAt(i));
    delete n;
  }

 private:
  static CObject* Make(const std::string& text) {
    auto* n = new Node();
    n->text = text;
    return n;
  }
};

// A store-like database: translations go to the engine.
class StoreDatabase : public vaultkit_test::MemoryDatabase {
 public:
  RecordingEngine engine;
  CObject* mProcessStringSelect(CDAStringSelect* s) override {
    return vaultkit::StoreStringSelect(*s, engine);
  }
  CObject* mProcessLongSelect(CDALongSelect* s) override {
    return vaultkit::StoreLongSelect(*s, engine);
  }
  CObject* mProcessAndSelect(CDAAndSelect* s) override {
    return vaultkit::StoreComplexSelect(*s, this, engine, true);
  }
  CObject* mProcessOrSelect(CDAOrSelect* s) override {
    return vaultkit::StoreComplexSelect(*s, this, engine, false);
  }
  CObject* mProcessInLongSelect(CDAInLongSelect*) override { return nullptr; }
};

TEST(StoreSelect, ComparisonCodesFollowTheEnginesTable) {
  EXPECT_EQ(vaultkit::StoreComparison(0), 0);
  EXPECT_EQ(vaultkit::StoreComparison(1), 1);
  EXPECT_EQ(vaultkit::StoreComparison(2), 4);
  EXPECT_EQ(vaultkit::StoreComparison(3), 3);
  EXPECT_EQ(vaultkit::StoreComparison(4), 6);
  EXPECT_EQ(vaultkit::StoreComparison(5), 5);
  EXPECT_EQ(vaultkit::StoreComparison(-1), -1);
}

TEST(StoreSelect, TreesBecomeEngineSelectionsOnAttributesFrom512) {
  StoreDatabase db;
  CDAStringSelect a(3, 1, CPDString("abc"), 2);
  CDALongSelect b(3, 4, 9, 2);
  CDAInLongSelect in(3, 5);
  in.mAddValue(1);
  CDAOrSelect either;
  either.mAddSelect(&a);
  either.mAddSelect(&in);  // yields nothing in the store
  CDAAndSelect both;
  both.mAddSelect(&either);
  both.mAddSelect(&b);
  CObject* out = both.mProcessSelect(&db);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(RecordingEngine::Describe(out), "and[or[str(513,abc,2)] long(516,9,4)]");
  RecordingEngine::Free(out);
}

}  // namespace
