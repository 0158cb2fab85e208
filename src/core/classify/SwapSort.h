// The exchange sort that orders the class table and the Bayes ranking.
//
// The procedure is: for i = 2..n, for j = 1..i-1, exchange entries i and j when
// key(j) < key(i). It sorts largest first, but leaves entries with equal keys
// in an order of its own, and that order decides what the user sees (which of
// two equally frequent classes is the majority, the order of a list). With many
// classes its n²/2 comparisons grow slow, so SwapSortOrder computes the same
// permutation from how the procedure moves entries:
//
//   - an entry is placed behind the entries whose key equals its own;
//   - every run of equal keys smaller than its key turns by one: the run's
//     first entry moves to the run's end.
//
// So each run of equal keys is a queue: its entries join at the back in
// creation order, and between two joins it turns once for every entry with a
// larger key created in between.
#pragma once

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

namespace morvel {

// The positions (0-based) of keys in the order the exchange sort leaves them:
// result[p] is the index into keys of the entry that ends at position p. Keys
// must be totally ordered (no NaN).
template <typename Key>
std::vector<std::int32_t> SwapSortOrder(const std::vector<Key>& keys) {
    const auto n = static_cast<std::int32_t>(keys.size());
    std::vector<std::int32_t> byKey(n);
    std::iota(byKey.begin(), byKey.end(), 0);
    // Runs of equal keys, largest key first, each in creation order.
    std::stable_sort(byKey.begin(), byKey.end(),
                     [&](std::int32_t a, std::int32_t b) { return keys[b] < keys[a]; });

    // Counts the entries of larger keys by creation index (a Fenwick tree).
    std::vector<std::int32_t> tree(n + 1, 0);
    auto add = [&](std::int32_t index) {
        for (std::int32_t i = index + 1; i <= n; i += i & -i) ++tree[i];
    };
    auto before = [&](std::int32_t index) {  // larger-key entries created before index
        std::int32_t sum = 0;
        for (std::int32_t i = index; i > 0; i -= i & -i) sum += tree[i];
        return sum;
    };
    auto between = [&](std::int32_t from, std::int32_t to) {  // created strictly between
        return before(to) - before(from + 1);
    };

    std::vector<std::int32_t> order;
    order.reserve(n);
    std::vector<std::int32_t> queue;
    for (std::int32_t start = 0; start < n;) {
        std::int32_t end = start + 1;
        while (end < n && !(keys[byKey[end]] < keys[byKey[start]])) ++end;
        queue.assign(1, byKey[start]);
        for (std::int32_t q = start + 1; q <= end; ++q) {
            const std::int32_t from = byKey[q - 1];
            const std::int32_t to = q < end ? byKey[q] : n;
            if (const std::int32_t turns = between(from, to) % static_cast<std::int32_t>(queue.size()))
                std::rotate(queue.begin(), queue.begin() + turns, queue.end());
            if (q < end) queue.push_back(byKey[q]);
        }
        order.insert(order.end(), queue.begin(), queue.end());
        for (std::int32_t q = start; q < end; ++q) add(byKey[q]);
        start = end;
    }
    return order;
}

}  // namespace morvel
