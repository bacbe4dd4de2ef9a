// Array sorting: seven orderings, a stable merge sort and an unstable
// introspective sort.
//
// The orderings come from script values and script functions, so nothing can be
// assumed about them: NaN makes "<" true both ways, and a comparison function may
// answer anything, raise, or change the array. Both algorithms therefore work on
// a permutation of indices into a private copy of the elements, check every index
// against its range instead of relying on sentinels, and bound the work by the
// introsort depth limit; whatever the ordering answers, the result is a
// permutation of the elements. The array takes the sorted copy only when the sort
// completed, so a comparison that raises leaves it as it was.

#include <algorithm>
#include <numeric>

#include "engine/objects/array.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

enum class tSortOrder { Ascending, Descending, NumberAscending, NumberDescending, TextAscending, TextDescending,
                        Function };

tSortOrder OrderOf(const tNUVVariant* ordering) {
  if (!ordering || ordering->IsVoid()) return tSortOrder::Ascending;
  if (ordering->vt == tvtObject) return tSortOrder::Function;
  tNUVString text = ordering->AsString();
  switch (text.IsEmpty() ? u'+' : text[0]) {
    case u'-': return tSortOrder::Descending;
    case u'0': return tSortOrder::NumberAscending;
    case u'9': return tSortOrder::NumberDescending;
    case u'a': return tSortOrder::TextAscending;
    case u'z': return tSortOrder::TextDescending;
    default: return tSortOrder::Ascending;
  }
}

// The strict "goes before" test of one ordering on elements of the private copy.
// Conversions that the numeric and text orders need are made once per element.
class tSortComparison {
public:
  tSortComparison(const std::vector<tNUVVariant>& values, const tNUVVariant* ordering)
      : Values(values), Order(OrderOf(ordering)) {
    if (Order == tSortOrder::Function) {
      Function = *ordering;
      if (!Function.Object.Object) NUVThrowError(NUVNullAccess);
    }
    if (Order == tSortOrder::NumberAscending || Order == tSortOrder::NumberDescending) Numbers.resize(values.size());
    if (Order == tSortOrder::TextAscending || Order == tSortOrder::TextDescending) {
      Texts.resize(values.size());
      HasText.resize(values.size(), false);
    }
  }

  bool operator()(int32_t left, int32_t right) {
    const tNUVVariant& first = Values[left];
    const tNUVVariant& second = Values[right];
    switch (Order) {
      case tSortOrder::Ascending: return first.LessThan(second);
      case tSortOrder::Descending: return first.GreaterThan(second);
      case tSortOrder::NumberAscending:
        if (first.vt == tvtString && second.vt == tvtString) return Number(left).LessThan(Number(right));
        return first.LessThan(second);
      case tSortOrder::NumberDescending:
        if (first.vt == tvtString && second.vt == tvtString) return Number(left).GreaterThan(Number(right));
        return first.GreaterThan(second);
      case tSortOrder::TextAscending: return Text(left) < Text(right);
      case tSortOrder::TextDescending: return Text(right) < Text(left);
      case tSortOrder::Function: return CallFunction(first, second);
    }
    return false;
  }

private:
  // Strings only: their numeric value (0 for text that is no number).
  const tNUVVariant& Number(int32_t index) {
    tNUVVariant& number = Numbers[index];
    if (number.IsVoid()) {
      number = Values[index];
      number.ToNumber();
    }
    return number;
  }

  // Strings compare as they are; other values by their text (an octet raises).
  const tNUVString& Text(int32_t index) {
    if (!HasText[index]) {
      Texts[index] = Values[index].AsString();
      HasText[index] = true;
    }
    return Texts[index];
  }

  // The function gets copies, so whatever it does to its arguments stays there.
  bool CallFunction(const tNUVVariant& first, const tNUVVariant& second) {
    tNUVVariant left(first);
    tNUVVariant right(second);
    tNUVVariant* arguments[2] = {&left, &right};
    tNUVVariant answer;
    int32_t code = NUVCallThroughValue(Function, 0, &answer, 2, arguments, Function.Object.Object);
    NUVThrowFromResultCode(code);
    return answer.AsBoolean();
  }

  const std::vector<tNUVVariant>& Values;
  tSortOrder Order;
  tNUVVariant Function;
  std::vector<tNUVVariant> Numbers;
  std::vector<tNUVString> Texts;
  std::vector<bool> HasText;
};

constexpr ptrdiff_t NUVSortSmallRange = 16;

// Every loop is bounded by the range, whatever less answers.
template <typename tLess>
void InsertionSort(int32_t* first, int32_t* last, tLess& less) {
  for (int32_t* next = first + 1; next < last; ++next) {
    int32_t value = *next;
    int32_t* hole = next;
    while (hole > first && less(value, hole[-1])) {
      *hole = hole[-1];
      --hole;
    }
    *hole = value;
  }
}

template <typename tLess>
void SiftDown(int32_t* heap, ptrdiff_t root, ptrdiff_t size, tLess& less) {
  for (;;) {
    ptrdiff_t child = 2 * root + 1;
    if (child >= size) return;
    if (child + 1 < size && less(heap[child], heap[child + 1])) ++child;
    if (!less(heap[root], heap[child])) return;
    std::swap(heap[root], heap[child]);
    root = child;
  }
}

template <typename tLess>
void HeapSort(int32_t* first, int32_t* last, tLess& less) {
  ptrdiff_t size = last - first;
  for (ptrdiff_t root = size / 2 - 1; root >= 0; --root) SiftDown(first, root, size, less);
  for (ptrdiff_t end = size - 1; end > 0; --end) {
    std::swap(first[0], first[end]);
    SiftDown(first, 0, end, less);
  }
}

// Moves the median of three candidates to *first.
template <typename tLess>
void MedianToFirst(int32_t* first, int32_t* a, int32_t* b, int32_t* c, tLess& less) {
  if (less(*a, *b)) {
    if (less(*b, *c)) std::swap(*first, *b);
    else if (less(*a, *c)) std::swap(*first, *c);
    else std::swap(*first, *a);
  } else if (less(*a, *c)) {
    std::swap(*first, *a);
  } else if (less(*b, *c)) {
    std::swap(*first, *c);
  } else {
    std::swap(*first, *b);
  }
}

// Partitions [low, high) around *pivot; the answer lies in [low, high].
template <typename tLess>
int32_t* Partition(int32_t* low, int32_t* high, const int32_t* pivot, tLess& less) {
  for (;;) {
    while (low < high && less(*low, *pivot)) ++low;
    if (low == high) return low;
    --high;
    while (low < high && less(*pivot, *high)) --high;
    if (low >= high) return low;
    std::swap(*low, *high);
    ++low;
  }
}

// Each pass lowers depthLimit, so a partition that makes no progress (possible with
// an inconsistent ordering) ends in heap sort instead of looping.
template <typename tLess>
void IntroSort(int32_t* first, int32_t* last, int32_t depthLimit, tLess& less) {
  while (last - first > NUVSortSmallRange) {
    if (depthLimit == 0) {
      HeapSort(first, last, less);
      return;
    }
    --depthLimit;
    MedianToFirst(first, first + 1, first + (last - first) / 2, last - 1, less);
    int32_t* cut = Partition(first + 1, last, first, less);
    IntroSort(cut, last, depthLimit, less);
    last = cut;
  }
  InsertionSort(first, last, less);
}

// Stable: runs sorted by insertion, then merged taking from the right run only
// when its element goes strictly before.
template <typename tLess>
void MergeSort(std::vector<int32_t>& order, tLess& less) {
  ptrdiff_t size = static_cast<ptrdiff_t>(order.size());
  int32_t* data = order.data();
  for (ptrdiff_t start = 0; start < size; start += NUVSortSmallRange)
    InsertionSort(data + start, data + std::min(start + NUVSortSmallRange, size), less);
  std::vector<int32_t> buffer(order.size());
  for (ptrdiff_t width = NUVSortSmallRange; width < size; width *= 2) {
    for (ptrdiff_t start = 0; start < size; start += 2 * width) {
      ptrdiff_t middle = std::min(start + width, size);
      ptrdiff_t end = std::min(start + 2 * width, size);
      ptrdiff_t left = start, right = middle, out = start;
      while (left < middle && right < end) buffer[out++] = less(data[right], data[left]) ? data[right++] : data[left++];
      while (left < middle) buffer[out++] = data[left++];
      while (right < end) buffer[out++] = data[right++];
    }
    order.swap(buffer);
    data = order.data();
  }
}

}  // namespace

void tNUVArrayNI::Sort(const tNUVVariant* ordering, bool stable) {
  std::vector<tNUVVariant> values(Items);
  tSortComparison less(values, ordering);
  if (values.size() < 2) return;
  std::vector<int32_t> order(values.size());
  std::iota(order.begin(), order.end(), 0);
  if (stable) {
    MergeSort(order, less);
  } else {
    int32_t depthLimit = 0;
    for (size_t size = order.size(); size > 1; size >>= 1) depthLimit += 2;
    IntroSort(order.data(), order.data() + order.size(), depthLimit, less);
  }
  std::vector<tNUVVariant> sorted;
  sorted.reserve(values.size());
  for (int32_t index : order) sorted.push_back(std::move(values[index]));
  ReplaceAll(std::move(sorted));
}

}  // namespace NUV
