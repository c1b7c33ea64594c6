#include "ttrendseries.h"

#include "tbasevalue.h"
#include "trecordtexts.h"

#include <bit>
#include <cmath>

namespace {

constexpr std::uint32_t NanBits = 0x7FC00000u;

// A status word travels inside a quiet NaN's payload, so a gap costs no more than a number.
float statusNan(std::uint8_t status)
{
    return std::bit_cast<float>(NanBits | status);
}

double scaled(std::int32_t counts, std::int32_t decimals, std::uint8_t unit, TUnitKind *kind)
{
    const auto scale = UnitScale(RecordUnitText(unit).toLatin1());
    *kind = scale ? scale->Kind : TUnitKind::None;
    return double(counts) * std::pow(10.0, (scale ? scale->Exponent : 0) - decimals);
}

} // namespace

QString TrendQuantityUnit(TTrendQuantity q)
{
    switch (q) {
    case TTrendQuantity::Farad:
        return QStringLiteral("F");
    case TTrendQuantity::Henry:
        return QStringLiteral("H");
    case TTrendQuantity::Ohm:
        return QStringLiteral("Ohm");
    case TTrendQuantity::Degree:
        return QStringLiteral("deg");
    default:
        return {};
    }
}

QString TrendQuantityName(TTrendQuantity q)
{
    switch (q) {
    case TTrendQuantity::Farad:
        return QStringLiteral("Capacitance");
    case TTrendQuantity::Henry:
        return QStringLiteral("Inductance");
    case TTrendQuantity::Ohm:
        return QStringLiteral("Resistance");
    case TTrendQuantity::D:
        return QStringLiteral("D");
    case TTrendQuantity::Q:
        return QStringLiteral("Q");
    case TTrendQuantity::Degree:
        return QStringLiteral("Phase");
    case TTrendQuantity::None:
        break;
    }
    return {};
}

bool TrendQuantityPrefixed(TTrendQuantity q)
{
    return q == TTrendQuantity::Farad || q == TTrendQuantity::Henry || q == TTrendQuantity::Ohm;
}

TTrendReading TrendReading(const TMeterState &s, qint64 timeMs)
{
    TTrendReading r;
    r.TimeMs = timeMs;
    TUnitKind kind = TUnitKind::None;
    r.Value[tcMain] = scaled(s.MainValue, s.MainDecimals, s.MainUnit, &kind);
    r.Quantity[tcMain] = kind == TUnitKind::Farad   ? TTrendQuantity::Farad
                         : kind == TUnitKind::Henry ? TTrendQuantity::Henry
                         : kind == TUnitKind::Ohm   ? TTrendQuantity::Ohm
                                                    : TTrendQuantity::None;
    r.Status[tcMain] = s.MainStatus;
    r.Value[tcSub] = scaled(s.SubValue, s.SubDecimals, s.SubUnit, &kind);
    switch (s.SubMode) {
    case 1:
        r.Quantity[tcSub] = TTrendQuantity::D;
        break;
    case 2:
        r.Quantity[tcSub] = TTrendQuantity::Q;
        break;
    case 3:
        r.Quantity[tcSub] = TTrendQuantity::Ohm;
        break;
    case 4:
        r.Quantity[tcSub] = TTrendQuantity::Degree;
        break;
    default:
        r.Quantity[tcSub] = TTrendQuantity::None;
    }
    r.Status[tcSub] = s.SubStatus;
    return r;
}

void TTrendSummary::add(double v)
{
    ++Valid;
    Min = std::min(Min, v);
    Max = std::max(Max, v);
    const double delta = v - Mean;
    Mean += delta / double(Valid);
    M2 += delta * (v - Mean);
}

void TTrendSummary::merge(const TTrendSummary &o)
{
    Gaps += o.Gaps;
    if (o.Valid == 0)
        return;
    if (Valid == 0) {
        const qint64 gaps = Gaps;
        *this = o;
        Gaps = gaps;
        return;
    }
    const double n = double(Valid + o.Valid);
    const double delta = o.Mean - Mean;
    Mean += delta * double(o.Valid) / n;
    M2 += o.M2 + delta * delta * double(Valid) * double(o.Valid) / n;
    Valid += o.Valid;
    Min = std::min(Min, o.Min);
    Max = std::max(Max, o.Max);
}

double TTrendSummary::sd() const
{
    return Valid > 1 ? std::sqrt(std::max(0.0, M2 / double(Valid - 1))) : 0.0;
}

void TTrendSeries::addToBlock(TBlock &b, float v)
{
    if (std::isnan(v)) {
        ++b.Gaps;
        return;
    }
    ++b.Valid;
    b.Min = std::min(b.Min, v);
    b.Max = std::max(b.Max, v);
    const double delta = double(v) - b.Mean;
    b.Mean += delta / double(b.Valid);
    b.M2 += delta * (double(v) - b.Mean);
}

TTrendSummary TTrendSeries::fromBlock(const TBlock &b)
{
    TTrendSummary s;
    s.Valid = b.Valid;
    s.Gaps = b.Gaps;
    if (b.Valid > 0) {
        s.Min = b.Min;
        s.Max = b.Max;
        s.Mean = b.Mean;
        s.M2 = b.M2;
    }
    return s;
}

void TTrendSeries::append(const TTrendReading &r)
{
    static constexpr TBlock EmptyBlock{
        0, 0, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
        0, 0};
    if (Count_ == 0) {
        Epoch_ = r.TimeMs;
        LastOffset_ = 0;
    }
    // Times never run backwards in the store (a clock set back would break the search by
    // time); 49 days after the first reading they stand still.
    const qint64 offset = std::clamp<qint64>(r.TimeMs - Epoch_, LastOffset_,
                                             std::numeric_limits<std::uint32_t>::max());
    LastOffset_ = std::uint32_t(offset);
    if (slot(Count_) == 0 && std::size_t(Count_ / SuperSize) == Chunks_.size())
        Chunks_.push_back(std::make_unique_for_overwrite<TChunk>());
    TChunk &c = *Chunks_.back();
    const std::size_t at = slot(Count_);
    c.Time[at] = LastOffset_;
    for (int ch = 0; ch < 2; ++ch) {
        const bool number =
            r.Status[std::size_t(ch)] == stReading && std::isfinite(r.Value[std::size_t(ch)]);
        const float v =
            number ? float(r.Value[std::size_t(ch)])
                   : statusNan(r.Status[std::size_t(ch)] == stReading ? std::uint8_t(stBlank)
                                                                      : r.Status[std::size_t(ch)]);
        c.Value[ch][at] = v;
        // A status word without a unit stays with the quantity measured before it.
        std::vector<TRun> &runs = Runs_[std::size_t(ch)];
        TTrendQuantity q = r.Quantity[std::size_t(ch)];
        if (!number && q == TTrendQuantity::None && !runs.empty())
            q = runs.back().Quantity;
        if (runs.empty() || runs.back().Quantity != q)
            runs.push_back({Count_, q});
        if (Count_ % BlockSize == 0)
            Blocks_[std::size_t(ch)].push_back(EmptyBlock);
        if (Count_ % SuperSize == 0)
            Supers_[std::size_t(ch)].push_back(EmptyBlock);
        addToBlock(Blocks_[std::size_t(ch)].back(), v);
        addToBlock(Supers_[std::size_t(ch)].back(), v);
    }
    ++Count_;
}

void TTrendSeries::clear()
{
    Chunks_.clear();
    Chunks_.shrink_to_fit();
    for (int ch = 0; ch < 2; ++ch) {
        Runs_[std::size_t(ch)] = {};
        Blocks_[std::size_t(ch)] = {};
        Supers_[std::size_t(ch)] = {};
    }
    Count_ = 0;
    ++Generation_;
}

std::uint8_t TTrendSeries::status(int channel, qsizetype i) const
{
    const float v = chunk(i).Value[channel][slot(i)];
    if (!std::isnan(v))
        return stReading;
    return std::uint8_t(std::bit_cast<std::uint32_t>(v) & 0xFFu);
}

TTrendQuantity TTrendSeries::quantity(int channel, qsizetype i) const
{
    TTrendQuantity q = TTrendQuantity::None;
    forRuns(channel, i, i + 1, [&](qsizetype, qsizetype, TTrendQuantity runQ) { q = runQ; });
    return q;
}

qsizetype TTrendSeries::lowerBoundTime(qint64 ms) const
{
    qsizetype lo = 0;
    qsizetype hi = Count_;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (timeMs(mid) < ms)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::vector<TTrendQuantity> TTrendSeries::quantities(int channel) const
{
    std::vector<TTrendQuantity> list;
    for (const TRun &r : Runs_[std::size_t(channel)])
        if (std::find(list.begin(), list.end(), r.Quantity) == list.end())
            list.push_back(r.Quantity);
    return list;
}

void TTrendSeries::summarizeRaw(int channel, qsizetype from, qsizetype to, TTrendSummary &s) const
{
    for (qsizetype i = from; i < to; ++i) {
        const float v = chunk(i).Value[channel][slot(i)];
        if (std::isnan(v))
            ++s.Gaps;
        else
            s.add(double(v));
    }
}

TTrendSummary TTrendSeries::summarizeAll(int channel, qsizetype from, qsizetype to) const
{
    TTrendSummary s;
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, Count_);
    const std::vector<TBlock> &blocks = Blocks_[std::size_t(channel)];
    const std::vector<TBlock> &supers = Supers_[std::size_t(channel)];
    qsizetype i = from;
    while (i < to) {
        if (i % SuperSize == 0 && i + SuperSize <= to) {
            s.merge(fromBlock(supers[std::size_t(i / SuperSize)]));
            i += SuperSize;
        } else if (i % BlockSize == 0 && i + BlockSize <= to) {
            s.merge(fromBlock(blocks[std::size_t(i / BlockSize)]));
            i += BlockSize;
        } else {
            // Up to the next block's start, or the end.
            const qsizetype end = std::min(to, (i / BlockSize + 1) * BlockSize);
            TTrendSummary raw;
            summarizeRaw(channel, i, end, raw);
            s.merge(raw);
            i = end;
        }
    }
    return s;
}

TTrendSummary TTrendSeries::summarize(int channel, qsizetype from, qsizetype to, TTrendQuantity q,
                                      TOthers *others) const
{
    TTrendSummary s;
    forRuns(channel, from, to, [&](qsizetype a, qsizetype b, TTrendQuantity runQ) {
        if (runQ == q)
            s.merge(summarizeAll(channel, a, b));
        else if (others)
            (*others)[std::size_t(runQ)].merge(summarizeAll(channel, a, b));
    });
    return s;
}

qsizetype TTrendSeries::capacityBytes() const
{
    qsizetype bytes =
        qsizetype(Chunks_.size() * sizeof(TChunk) + Chunks_.capacity() * sizeof(void *));
    for (int ch = 0; ch < 2; ++ch)
        bytes += qsizetype(Runs_[std::size_t(ch)].capacity() * sizeof(TRun)
                           + Blocks_[std::size_t(ch)].capacity() * sizeof(TBlock)
                           + Supers_[std::size_t(ch)].capacity() * sizeof(TBlock));
    return bytes;
}
