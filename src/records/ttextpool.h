#pragma once

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <vector>

// Interns byte strings: each distinct text is kept once, in one arena, and named by a dense id.
// The record table stores ids instead of texts, because a recording repeats the same few modes,
// units, readings and minutes over and over.
class TTextPool
{
public:
    // The id of the text, adding it when it is new. Amortised O(1).
    std::uint32_t Intern(QByteArrayView text);
    QByteArrayView At(std::uint32_t id) const;
    std::uint32_t Count() const { return std::uint32_t(Ends_.size()); }
    void Clear();
    // Bytes held by the pool's buffers (their capacities, not only what is used).
    std::size_t MemoryUsage() const;

private:
    void grow();

    std::vector<char> Bytes_;
    std::vector<std::uint32_t> Ends_;  // end of text i in Bytes_; it starts where i - 1 ends
    std::vector<std::uint32_t> Slots_; // open addressing; 0 = free, else id + 1
};
