// B-tree pages under random work: inserts, deletes, lookups and condition
// searches against an ordered model, with the tree's structure checked after
// every batch (order, separators, sibling links, equal depth, no overflow,
// no empty page, counts). Small pages make deep trees with many splits and
// merges. BTREE_HARNESS_ROUNDS=N runs N more seeds by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "db/storage/VelqorimBTree.h"
#include "db/support/DAZExcept.h"
#include "tests/db_storage/PageDoubles.h"

namespace {

using doubles::TMapPageManager;

constexpr int Session = 0;

struct TEntry {
  int32_t Key;
  uint16_t Ref;
};

// Index order: key, then the reference byte by byte as stored.
bool Before(const TEntry& A, const TEntry& B) {
  if (A.Key != B.Key) return A.Key < B.Key;
  return std::memcmp(&A.Ref, &B.Ref, 2) < 0;
}

bool Satisfies(int32_t Key, TABSSearchCondition Op, int32_t Probe) {
  switch (Op) {
    case scEqual: return Key == Probe;
    case scLower: return Key < Probe;
    case scGreater: return Key > Probe;
    case scLowerEqual: return Key <= Probe;
    case scGreaterEqual: return Key >= Probe;
    default: return true;
  }
}

class Tree {
 public:
  explicit Tree(uint16_t PageSize) : Pages(1 << 20) {
    Pages.PageSize = PageSize;
    auto root = View().AddIndexPage(Session);
    root->InitAsRoot();
    RootNo = root->PageNo();
  }
  TVelqorimBTreePage View() { return TVelqorimBTreePage(&Pages, &KeyRef); }
  std::unique_ptr<TVelqorimBTreePage> Root() { return View().GetIndexPage(Session, RootNo); }
  std::unique_ptr<TVelqorimBTreePage> Page(int32_t No) { return View().GetIndexPage(Session, No); }

  void Insert(TEntry E) {
    TVelqorimKeyPath path;
    Root()->InsertLeafEntry(Session, reinterpret_cast<uint8_t*>(&E.Key), reinterpret_cast<uint8_t*>(&E.Ref), path);
  }
  bool Delete(TEntry E) {
    TVelqorimKeyPath path;
    return Root()->DeleteLeafEntry(Session, reinterpret_cast<uint8_t*>(&E.Key), reinterpret_cast<uint8_t*>(&E.Ref),
                                   path);
  }
  TEntry At(const TVelqorimKeyPath& Path) {
    const TVelqorimKeyPathItem& leaf = Path.Items[Path.Count - 1];
    auto p = Page(leaf.PageNo);
    TEntry e;
    std::memcpy(&e.Key, p->GetPKey(leaf.EntryNo), 4);
    std::memcpy(&e.Ref, p->GetPReference(leaf.EntryNo), 2);
    return e;
  }

  // Walks every level along its sibling chain; returns the leaf entries.
  std::vector<TEntry> CheckStructure() {
    TVelqorimKeyPath path;
    Root()->CheckIntegrity(Session, path);
    std::vector<TEntry> leaves;
    std::vector<int32_t> level{RootNo};
    for (int depth = 0;; ++depth) {
      EXPECT_LT(depth, TVelqorimKeyPath::MaxLevels);
      std::vector<int32_t> below;
      bool leaf = false;
      for (size_t i = 0; i < level.size(); ++i) {
        auto p = Page(level[i]);
        EXPECT_EQ(p->IsRoot(), depth == 0);
        EXPECT_EQ(p->LeftPageNo(), i == 0 ? -1 : level[i - 1]) << "page " << level[i];
        EXPECT_EQ(p->RightPageNo(), i + 1 == level.size() ? -1 : level[i + 1]) << "page " << level[i];
        EXPECT_LE(p->EntriesOffset() + p->EntryCount() * p->EntrySize(), p->PageDataSize());
        if (depth > 0) {
          EXPECT_GT(p->EntryCount(), 0) << "empty page " << level[i];
        }
        if (i > 0) {
          EXPECT_EQ(p->IsLeaf(), leaf) << "leaves at different depths";
        }
        leaf = p->IsLeaf();
        for (int j = 0; j < p->EntryCount(); ++j) {
          if (leaf) {
            TEntry e;
            std::memcpy(&e.Key, p->GetPKey(j), 4);
            std::memcpy(&e.Ref, p->GetPReference(j), 2);
            leaves.push_back(e);
          } else {
            below.push_back(p->ChildPageNo(j));
          }
        }
      }
      if (leaf) break;
      level = below;
    }
    return leaves;
  }

  TMapPageManager Pages;
  TVelqorimPageKeyRef KeyRef;
  int32_t RootNo = -1;
};

void CheckAgainstModel(Tree& T, const std::vector<TEntry>& Model, std::mt19937& Rng) {
  const std::vector<TEntry> leaves = T.CheckStructure();
  ASSERT_EQ(leaves.size(), Model.size());
  for (size_t i = 0; i < leaves.size(); ++i) {
    ASSERT_EQ(leaves[i].Key, Model[i].Key) << i;
    ASSERT_EQ(leaves[i].Ref, Model[i].Ref) << i;
  }
  // Condition searches, first and last, for keys in and around the model.
  for (int probe = 0; probe < 12; ++probe) {
    const int32_t key = static_cast<int32_t>(Rng() % 70) - 5;
    for (TABSSearchCondition op : {scNone, scEqual, scLower, scGreater, scLowerEqual, scGreaterEqual}) {
      for (bool first : {true, false}) {
        const TEntry* want = nullptr;
        for (const TEntry& e : Model)
          if (Satisfies(e.Key, op, key) && (want == nullptr || !first)) want = &e;
        TVelqorimKeyPath path;
        const bool found = T.Root()->FindByCondition(Session, first, reinterpret_cast<const uint8_t*>(&key), op, path);
        ASSERT_EQ(found, want != nullptr) << "op " << int{op} << " first " << first << " key " << key;
        if (!found) continue;
        const TEntry got = T.At(path);
        ASSERT_EQ(got.Key, want->Key) << "op " << int{op} << " first " << first << " key " << key;
        ASSERT_EQ(got.Ref, want->Ref) << "op " << int{op} << " first " << first << " key " << key;
      }
    }
  }
}

void RunSeed(uint32_t Seed, uint16_t PageSize) {
  SCOPED_TRACE("seed " + std::to_string(Seed) + " page size " + std::to_string(PageSize));
  std::mt19937 rng(Seed);
  Tree t(PageSize);
  std::vector<TEntry> model;
  uint16_t nextRef = 1;
  for (int batch = 0; batch < 30; ++batch) {
    // Phases of growth and shrinkage so that trees deepen and collapse again.
    const bool growing = (batch / 5) % 2 == 0;
    for (int op = 0; op < 40; ++op) {
      const unsigned dice = rng() % 10;
      if (dice < (growing ? 7u : 3u)) {
        const TEntry e{static_cast<int32_t>(rng() % 60), nextRef++};
        t.Insert(e);
        model.insert(std::upper_bound(model.begin(), model.end(), e, Before), e);
      } else if (dice < 9 && !model.empty()) {
        const size_t i = rng() % model.size();
        ASSERT_TRUE(t.Delete(model[i]));
        model.erase(model.begin() + static_cast<long>(i));
      } else {
        // A lookup, and a delete of an entry that is not there.
        const TEntry missing{static_cast<int32_t>(rng() % 60), 0};
        ASSERT_FALSE(t.Delete(missing));
        if (!model.empty()) {
          const TEntry e = model[rng() % model.size()];
          TVelqorimKeyPath path;
          ASSERT_TRUE(t.Root()->FindEntry(Session, reinterpret_cast<const uint8_t*>(&e.Key),
                                          reinterpret_cast<const uint8_t*>(&e.Ref), path));
          ASSERT_EQ(t.At(path).Ref, e.Ref);
          ASSERT_EQ(t.Root()->PageNo(), t.RootNo);
        }
      }
    }
    ASSERT_NO_FATAL_FAILURE(CheckAgainstModel(t, model, rng)) << "batch " << batch;
  }
  // Emptying collapses the tree to an empty root leaf with the same number.
  while (!model.empty()) {
    ASSERT_TRUE(t.Delete(model.back()));
    model.pop_back();
  }
  auto root = t.Root();
  EXPECT_TRUE(root->IsLeaf());
  EXPECT_EQ(root->EntryCount(), 0);
  root.reset();
  t.Pages.ApplyChanges(Session);
  EXPECT_EQ(t.Pages.Allocated.size(), 1u) << "pages leaked by merges";
}

TEST(VelqorimBTreeHarness, RandomWorkKeepsTheTreeSoundForFixedSeeds) {
  // 1031 once left an empty leaf between two full neighbours.
  for (uint32_t seed : {1u, 2u, 3u, 17u, 99u, 1031u, 2024u})
    for (uint16_t pageSize : {uint16_t{100}, uint16_t{128}, uint16_t{256}}) RunSeed(seed, pageSize);
}

TEST(VelqorimBTreeHarness, MoreSeedsByHand) {
  const char* rounds = std::getenv("BTREE_HARNESS_ROUNDS");
  if (rounds == nullptr) GTEST_SKIP() << "set BTREE_HARNESS_ROUNDS to run";
  for (uint32_t seed = 1000; seed < 1000 + static_cast<uint32_t>(std::atoi(rounds)); ++seed)
    for (uint16_t pageSize : {uint16_t{100}, uint16_t{160}}) RunSeed(seed, pageSize);
}

TEST(VelqorimBTree, RootSplitKeepsItsNumberAndHalvesTheEntries) {
  Tree t(128);  // 70 data bytes for entries of 6: 11 fit
  for (uint16_t i = 0; i < 12; ++i) t.Insert({i, i});
  auto root = t.Root();
  ASSERT_FALSE(root->IsLeaf());
  ASSERT_EQ(root->EntryCount(), 2);
  auto left = t.Page(root->ChildPageNo(0));
  auto right = t.Page(root->ChildPageNo(1));
  EXPECT_EQ(left->EntryCount(), 6);
  EXPECT_EQ(right->EntryCount(), 6);
  EXPECT_EQ(left->LeftPageNo(), -1);
  EXPECT_EQ(left->RightPageNo(), right->PageNo());
  EXPECT_EQ(right->LeftPageNo(), left->PageNo());
  EXPECT_EQ(right->RightPageNo(), -1);
}

TEST(VelqorimBTree, ManyEqualKeysAreFoundByReferenceAcrossLeaves) {
  Tree t(128);
  for (uint16_t r = 1; r <= 200; ++r) t.Insert({7, r});
  t.Insert({3, 1});
  t.Insert({9, 1});
  for (uint16_t r = 1; r <= 200; r += 37) {
    TVelqorimKeyPath path;
    const int32_t key = 7;
    ASSERT_TRUE(t.Root()->FindEntry(Session, reinterpret_cast<const uint8_t*>(&key),
                                    reinterpret_cast<const uint8_t*>(&r), path));
    EXPECT_EQ(t.At(path).Ref, r);
    EXPECT_GT(path.Count, 2);
  }
}

TEST(VelqorimKeyPath, NumbersOrderAndEstimates) {
  TVelqorimKeyPath a, b;
  a.AddItem(1, 2, 5);
  a.AddItem(8, 0, 9);
  EXPECT_EQ(a.GetBitmapRecNoByIndexPosition(9), 31);
  b.FillItemsByBitmapRecNo(31, 9);
  ASSERT_EQ(b.Count, 2);
  EXPECT_EQ(b.Items[0].EntryNo, 2);
  EXPECT_EQ(b.Items[1].EntryNo, 0);
  EXPECT_EQ(a.Compare(a), 0);
  TVelqorimKeyPath shallow;
  shallow.AddItem(1, 2, 5);
  EXPECT_THROW(a.Compare(shallow), EABSException);
  TVelqorimKeyPath last;
  last.AddItem(1, 3, 4);
  EXPECT_DOUBLE_EQ(last.GetApproxRecNoInPercents(), 0.75);
  TVelqorimKeyPath first;
  first.AddItem(1, 0, 4);
  EXPECT_DOUBLE_EQ(first.GetApproxRecNoInPercents(), 0.0);
}

}  // namespace
