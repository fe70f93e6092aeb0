#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "datalib/values/cpd_array.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"

namespace {

std::vector<int> gValues;
std::vector<std::string> gCalls;
bool gRecord = false;

int CompareValues(unsigned a, unsigned b) {
  if (gRecord) gCalls.push_back("C" + std::to_string(a) + "," + std::to_string(b));
  EXPECT_LT(a, gValues.size());
  EXPECT_LT(b, gValues.size());
  if (a >= gValues.size() || b >= gValues.size()) return 0;
  return gValues[a] < gValues[b] ? -1 : (gValues[a] > gValues[b] ? 1 : 0);
}

void SwapValues(unsigned a, unsigned b) {
  if (gRecord) gCalls.push_back("S" + std::to_string(a) + "," + std::to_string(b));
  ASSERT_LT(a, gValues.size());
  ASSERT_LT(b, gValues.size());
  std::swap(gValues[a], gValues[b]);
}

std::vector<std::string> Record(std::vector<int> values) {
  gValues = std::move(values);
  gCalls.clear();
  gRecord = true;
  qsortplusplus(static_cast<unsigned>(gValues.size()), SwapValues, CompareValues);
  gRecord = false;
  return gCalls;
}

void Sorts(std::vector<int> values) {
  std::vector<int> want = values;
  std::sort(want.begin(), want.end());
  gValues = std::move(values);
  qsortplusplus(static_cast<unsigned>(gValues.size()), SwapValues, CompareValues);
  ASSERT_EQ(gValues, want);
}

// The exchange passes over indexes lo..hi: each pass compares neighbours up to its end.
std::vector<std::string> ExchangeCompares(unsigned lo, unsigned hi) {
  std::vector<std::string> calls;
  for (unsigned end = hi; end > lo; --end)
    for (unsigned i = lo; i < end; ++i)
      calls.push_back("C" + std::to_string(i) + "," + std::to_string(i + 1));
  return calls;
}

}  // namespace

TEST(QsortPlusPlus, ExchangeSortMakesItsNeighbourCalls) {
  EXPECT_EQ(Record({3, 1, 2}), (std::vector<std::string>{"C0,1", "S0,1", "C1,2", "S1,2", "C0,1"}));
  EXPECT_TRUE(Record({}).empty());
  EXPECT_TRUE(Record({5}).empty());
  // Eleven indexes are still one exchange sort: only neighbour compares, no partition.
  std::vector<int> sorted11(11);
  std::iota(sorted11.begin(), sorted11.end(), 0);
  EXPECT_EQ(Record(sorted11), ExchangeCompares(0, 10));
}

TEST(QsortPlusPlus, TwelveIndexesPartitionAroundTheMiddleFirst) {
  std::vector<int> sorted(12);
  std::iota(sorted.begin(), sorted.end(), 0);
  std::vector<std::string> want;
  auto partition = [&](unsigned lo, unsigned hi, unsigned p) {
    for (unsigned j = hi; j >= p; --j)
      want.push_back("C" + std::to_string(j) + "," + std::to_string(p));
    for (unsigned i = lo; i <= p; ++i)
      want.push_back("C" + std::to_string(i) + "," + std::to_string(p));
  };
  auto exchange = [&](unsigned lo, unsigned hi) {
    auto c = ExchangeCompares(lo, hi);
    want.insert(want.end(), c.begin(), c.end());
  };
  partition(0, 11, 5);
  exchange(0, 5);
  partition(6, 11, 8);  // the right part is partitioned again, whatever its size
  exchange(6, 8);
  partition(9, 11, 10);
  exchange(9, 10);
  EXPECT_EQ(Record(sorted), want);

  std::vector<int> reversed(12);
  for (int k = 0; k < 12; ++k) reversed[k] = 11 - k;
  auto calls = Record(reversed);
  ASSERT_GE(calls.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 6),
            (std::vector<std::string>{"C11,5", "C0,5", "S0,11", "C10,5", "C1,5", "S1,10"}));
  EXPECT_EQ(gValues, sorted);
}

TEST(QsortPlusPlus, SortsEveryPermutationUpToEight) {
  for (int n = 0; n <= 8; ++n) {
    std::vector<int> perm(n);
    std::iota(perm.begin(), perm.end(), 0);
    do {
      Sorts(perm);
    } while (std::next_permutation(perm.begin(), perm.end()));
  }
}

TEST(QsortPlusPlus, SortsPartitionedInputsOfEveryShape) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    int n = 12 + static_cast<int>(rng() % 60);
    int range = 1 + static_cast<int>(rng() % (round % 3 == 0 ? 4 : 1000));
    std::vector<int> v(n);
    for (int& x : v) x = static_cast<int>(rng() % range);
    Sorts(v);
  }
  for (int n : {12, 13, 100, 1000, 100000}) {
    std::vector<int> v(n);
    std::iota(v.begin(), v.end(), 0);
    Sorts(v);
    std::reverse(v.begin(), v.end());
    Sorts(v);
    std::fill(v.begin(), v.end(), 7);
    Sorts(v);
  }
  // An organ pipe puts the largest value in the middle: every partition splits off one
  // element, quadratic in time but never deeper on the stack.
  for (int n : {12, 13, 100, 3000}) {
    std::vector<int> v(n);
    for (int k = 0; k < n; ++k) v[k] = k < n / 2 ? k : n - k;
    Sorts(v);
  }
  std::vector<int> big(300000);
  for (int& x : big) x = static_cast<int>(rng());
  Sorts(big);
}

namespace {

int CompareLongs(unsigned a, unsigned b) {
  CPDArray* arr = CPDArray::mGetSortArray();
  LONG x, y;
  arr->mGetArrayItem(&x, static_cast<LONG>(a));
  arr->mGetArrayItem(&y, static_cast<LONG>(b));
  int r = x < y ? -1 : (x > y ? 1 : 0);
  return CPDArray::mIsAscendingSort() ? r : -r;
}

}  // namespace

TEST(PDArraySort, LongArraySortsThroughCallersCompareAndTheDefaultSwap) {
  CPDLongArray arr;
  std::mt19937 rng(7);
  std::vector<LONG> want;
  for (int i = 0; i < 5000; ++i) {
    LONG v = static_cast<LONG>(rng() % 1000) - 500;
    arr.mAdd(&v);
    want.push_back(v);
  }
  arr.mSort(eSortAscending, nullptr, CompareLongs);
  std::sort(want.begin(), want.end());
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(arr[i], want[i]);
  arr.mSort(static_cast<SORTORDER>(2), nullptr, CompareLongs);  // anything but 1 descends
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(arr[i], want[4999 - i]);
  EXPECT_EQ(CPDArray::mGetSortArray(), nullptr);
}

TEST(PDArraySort, DefaultCallbacksCompareThePersistentValuesPointedTo) {
  std::vector<CPDLong> values;
  for (LONG v : {5, -2, 9, 0, 3, 3, 12, -7, 1, 8, 4, 6, 2}) values.emplace_back(v);
  CPDArray ptrs(sizeof(CPDObject*), 16);
  for (CPDLong& v : values) {
    CPDObject* p = &v;
    ptrs.mAdd(&p);
  }
  ptrs.mSort(eSortAscending, nullptr, nullptr);
  LONG last = INT32_MIN;
  for (LONG i = 0; i < ptrs.mGetNumItems(); ++i) {
    CPDObject* p = nullptr;
    ptrs.mGetArrayItem(&p, i);
    LONG v = static_cast<CPDLong*>(p)->mGetValue();
    EXPECT_LE(last, v);
    last = v;
  }
  ptrs.mSort(eSortDescending, nullptr, nullptr);
  CPDObject* first = nullptr;
  ptrs.mGetArrayItem(&first, 0);
  EXPECT_EQ(static_cast<CPDLong*>(first)->mGetValue(), 12);
  CPDObject* a = &values[0];
  CPDObject* b = &values[1];
  EXPECT_EQ(CPDArray::mComparison(&a, &b), -1);  // descending is still in force
  EXPECT_EQ(CPDArray::mCmpMoney(0, 1), 0);
}
