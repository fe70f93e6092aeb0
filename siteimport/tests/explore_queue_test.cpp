#include "siteimport/explore_queue.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace siteglean {
namespace {

// The reorder done literally: collect the images and media in queue order, then remove each
// and insert it at the front.
void LiteralReorder(std::deque<ObjectLink*>& q) {
  std::vector<ObjectLink*> moved;
  for (ObjectLink* l : q)
    if (ExploreQueue::MovesToFront(l)) moved.push_back(l);
  for (ObjectLink* l : moved) {
    for (auto it = q.begin(); it != q.end(); ++it)
      if (*it == l) {
        q.erase(it);
        break;
      }
    q.push_front(l);
  }
}

struct Pool {
  std::deque<WebObj> objs;
  std::deque<ObjectLink> links;
  ObjectLink* Make(Category c) {
    WebObj& o = objs.emplace_back();
    o.category = c;
    ObjectLink& l = links.emplace_back();
    l.target = &o;
    l.targetCategory = c;
    return &l;
  }
};

TEST(ExploreQueue, ImagesAndMediaMoveToTheFrontLastCollectedFirst) {
  Pool pool;
  ExploreQueue q;
  ObjectLink* p1 = pool.Make(kCatPage);
  ObjectLink* i1 = pool.Make(kCatImage);
  ObjectLink* g1 = pool.Make(kCatGateway);
  ObjectLink* m1 = pool.Make(kCatMedia);
  ObjectLink* p2 = pool.Make(kCatPageWithForm);
  for (ObjectLink* l : {p1, i1, g1, m1, p2}) q.Append(l);
  EXPECT_EQ(q.Snapshot(), (std::vector<ObjectLink*>{p1, i1, g1, m1, p2}));
  q.Reorder();
  EXPECT_EQ(q.Snapshot(), (std::vector<ObjectLink*>{m1, i1, p1, g1, p2}));
  EXPECT_EQ(q.Front(), m1);
  // A second reorder collects the front again and turns it round.
  q.Reorder();
  EXPECT_EQ(q.Snapshot(), (std::vector<ObjectLink*>{i1, m1, p1, g1, p2}));
  q.PopFront();
  q.PopFront();
  EXPECT_EQ(q.Front(), p1);
  EXPECT_EQ(q.Count(), 3u);
  q.Clear();
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(q.Front(), nullptr);
}

TEST(ExploreQueue, AgreesWithTheLiteralReorderOnRandomRuns) {
  const Category cats[] = {kCatPage, kCatImage, kCatGateway, kCatMedia, kCatPageWithForm, 0x6001};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    Pool pool;
    ExploreQueue q;
    std::deque<ObjectLink*> ref;
    for (int op = 0; op < 600; ++op) {
      switch (rng() % 4) {
        case 0:
        case 1: {
          ObjectLink* l = pool.Make(cats[rng() % 6]);
          q.Append(l);
          ref.push_back(l);
          break;
        }
        case 2:
          q.Reorder();
          LiteralReorder(ref);
          break;
        case 3:
          ASSERT_EQ(q.Front(), ref.empty() ? nullptr : ref.front()) << "seed " << seed;
          if (!ref.empty()) ref.pop_front();
          q.PopFront();
          break;
      }
      ASSERT_EQ(q.Count(), ref.size());
    }
    EXPECT_EQ(q.Snapshot(), std::vector<ObjectLink*>(ref.begin(), ref.end())) << "seed " << seed;
  }
}

}  // namespace
}  // namespace siteglean
