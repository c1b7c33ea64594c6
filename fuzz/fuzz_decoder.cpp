// Any byte stream, cut into blocks anywhere, through the receive path: the decoder must neither
// crash nor read out of bounds, and its buffer must stay bounded.
#include "fuzzdictionary.h"
#include "tframedecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class CheckingHooks : public TMeterHooks
{
public:
    void FrameDecoded(const TMeterState &s, TDisplayChanges) override
    {
        // Texts come from five digits and a separator at most.
        if (s.MainText.size() > 8 || s.SubText.size() > 8)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CheckingHooks hooks;
    TFrameDecoder decoder(&hooks);
    decoder.SetDecimalSep(size % 2 ? QStringLiteral(",") : QStringLiteral("."));
    // The first byte of each chunk says how long the block is, so the fuzzer explores splits,
    // and whether a pass follows it, as it does not while the sampling interval holds passes.
    std::size_t at = 0;
    while (at < size) {
        const std::size_t len = std::min<std::size_t>(1 + data[at] % 64, size - at);
        const bool pass = (data[at] & 0x40) == 0;
        decoder.AppendReceived(data + at, qsizetype(len));
        if (decoder.RxText().size() > TFrameDecoder::RxTextLimit)
            std::abort();
        if (pass)
            decoder.ExtractFrame();
        if (decoder.RxText().size() > TFrameDecoder::RxTextLimit)
            std::abort();
        at += len;
    }
    // Payloads handed over directly, not only as the extractor would.
    decoder.DecodeFrame(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}

TFuzzDictionary fuzzDictionary()
{
    // The worked frame, and the extractor's markers: CR LF and the header bytes.
    return {{QByteArray::fromHex("000D40580002 04D2 5100 01000C 0300 0D0A")},
            {QByteArray::fromHex("0D0A"), QByteArray::fromHex("000D")}};
}
