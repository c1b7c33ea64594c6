#include "tmatchedsets.h"

#include <algorithm>

std::vector<TMatchedSet> FindMatchedSets(std::span<const TPartValue> parts, int k,
                                         double withinPercent)
{
    std::vector<TMatchedSet> sets;
    if (k < 2)
        return sets;
    std::vector<TPartValue> sorted;
    sorted.reserve(parts.size());
    for (const TPartValue &p : parts) {
        if (p.Value > 0)
            sorted.push_back(p);
    }
    if (sorted.size() < std::size_t(k))
        return sets;
    // Equal values keep their row order, so the result does not depend on the sort.
    std::sort(sorted.begin(), sorted.end(), [](const TPartValue &a, const TPartValue &b) {
        return a.Value < b.Value || (a.Value == b.Value && a.Row < b.Row);
    });

    // Runs of k neighbours in a linked list of the parts not yet taken, in a heap by spread.
    // Taking a set joins its neighbours, and only the runs across that gap are new; a run popped
    // from the heap that has lost a part since it was pushed is stale and skipped.
    const std::size_t n = sorted.size();
    const std::size_t none = n;
    std::vector<std::size_t> next(n), prev(n);
    for (std::size_t i = 0; i < n; ++i) {
        next[i] = i + 1;
        prev[i] = i == 0 ? none : i - 1;
    }
    std::vector<bool> used(n, false);
    const double limit = withinPercent * (1 + 4e-9); // the tolerance classes' slack

    struct Run
    {
        double Spread;
        std::size_t First;
        std::size_t Last;
    };
    auto tighter = [](const Run &a, const Run &b) {
        return a.Spread > b.Spread || (a.Spread == b.Spread && a.First > b.First);
    };
    std::vector<Run> heap;
    auto push = [&](std::size_t first) {
        std::size_t last = first;
        for (int j = 1; j < k && last != none; ++j)
            last = next[last];
        if (last == none)
            return;
        const double low = sorted[first].Value;
        const double spread = (sorted[last].Value - low) / low * 100;
        if (spread <= limit) {
            heap.push_back({spread, first, last});
            std::push_heap(heap.begin(), heap.end(), tighter);
        }
    };
    for (std::size_t i = 0; i < n; ++i)
        push(i);

    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), tighter);
        const Run run = heap.back();
        heap.pop_back();
        // Still whole: no part taken, and still k neighbours from first to last.
        bool whole = !used[run.First];
        std::size_t at = run.First;
        for (int j = 1; whole && j < k; ++j) {
            at = next[at];
            whole = at != none && !used[at];
        }
        if (!whole || at != run.Last)
            continue;

        TMatchedSet set;
        set.SpreadPercent = run.Spread;
        double sum = 0;
        at = run.First;
        for (int j = 0; j < k; ++j) {
            set.Records.append(sorted[at].Record);
            set.Rows.append(sorted[at].Row);
            sum += sorted[at].Value;
            used[at] = true;
            at = next[at];
        }
        set.Mean = sum / k;
        sets.push_back(set);

        const std::size_t left = prev[run.First];
        const std::size_t right = at;
        if (left != none)
            next[left] = right;
        if (right != none)
            prev[right] = left;
        // The runs that now cross the gap start at most k - 1 parts to its left.
        std::size_t start = left;
        for (int j = 1; j < k - 1 && start != none && prev[start] != none; ++j)
            start = prev[start];
        for (std::size_t s = start; s != none && s != right; s = next[s])
            push(s);
    }
    return sets;
}
