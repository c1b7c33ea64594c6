#include "ttextpool.h"

namespace {

// FNV-1a with a final mix, so the low bits that pick a slot depend on every byte. The pool's
// texts are short (20 characters at most); qHash's vector hash costs far more than it saves on
// such texts, and on some machines many times more.
std::size_t hashOf(QByteArrayView text)
{
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (const char c : text) {
        h ^= std::uint8_t(c);
        h *= 0x100000001B3ull;
    }
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return std::size_t(h);
}

} // namespace

QByteArrayView TTextPool::At(std::uint32_t id) const
{
    const std::uint32_t begin = id == 0 ? 0 : Ends_[id - 1];
    return QByteArrayView(Bytes_.data() + begin, qsizetype(Ends_[id] - begin));
}

std::uint32_t TTextPool::Intern(QByteArrayView text)
{
    // Kept at most half full, so a probe run stays short.
    if ((Ends_.size() + 1) * 2 > Slots_.size())
        grow();
    const std::size_t mask = Slots_.size() - 1;
    for (std::size_t i = hashOf(text) & mask;; i = (i + 1) & mask) {
        const std::uint32_t slot = Slots_[i];
        if (slot == 0) {
            const auto id = std::uint32_t(Ends_.size());
            Bytes_.insert(Bytes_.end(), text.begin(), text.end());
            Ends_.push_back(std::uint32_t(Bytes_.size()));
            Slots_[i] = id + 1;
            return id;
        }
        if (At(slot - 1) == text)
            return slot - 1;
    }
}

void TTextPool::grow()
{
    std::vector<std::uint32_t> fresh(Slots_.empty() ? 64 : Slots_.size() * 2, 0);
    const std::size_t mask = fresh.size() - 1;
    for (std::uint32_t id = 0; id < Ends_.size(); ++id) {
        std::size_t i = hashOf(At(id)) & mask;
        while (fresh[i] != 0)
            i = (i + 1) & mask;
        fresh[i] = id + 1;
    }
    Slots_.swap(fresh);
}

void TTextPool::Clear()
{
    std::vector<char>().swap(Bytes_);
    std::vector<std::uint32_t>().swap(Ends_);
    std::vector<std::uint32_t>().swap(Slots_);
}

std::size_t TTextPool::MemoryUsage() const
{
    return Bytes_.capacity() + (Ends_.capacity() + Slots_.capacity()) * sizeof(std::uint32_t);
}
