// Runs a fuzz target without libFuzzer: on the files given (a folder stands for the files in it,
// as a corpus does), or on random inputs built around the target's own seeds and markers, so
// the suite exercises the target on every build.
#include "fuzzdictionary.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    if (argc > 1) {
        QStringList files;
        for (int i = 1; i < argc; ++i) {
            const QString arg = QString::fromLocal8Bit(argv[i]);
            if (QFileInfo(arg).isDir()) {
                const QDir dir(arg);
                for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
                    files << dir.filePath(name);
            } else {
                files << arg;
            }
        }
        if (files.isEmpty()) {
            std::fprintf(stderr, "no input files\n");
            return 1;
        }
        for (const QString &name : std::as_const(files)) {
            QFile f(name);
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
                return 1;
            }
            const QByteArray bytes = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                   std::size_t(bytes.size()));
        }
        std::printf("%lld inputs passed\n", static_cast<long long>(files.size()));
        return 0;
    }
    QRandomGenerator rng(20261209);
    const TFuzzDictionary dictionary = fuzzDictionary();
    // Each input is written here before it runs, so one that crashes is left behind.
    const QString last = qEnvironmentVariable("LUMETRA_FUZZ_LAST");
    // A share of the rounds, for builds that run many times slower (the sanitizers' suites,
    // whose inputs the fuzz step's own runs cover anyway).
    bool scaled = false;
    const int percent = qEnvironmentVariableIntValue("LUMETRA_FUZZ_ROUNDS_PERCENT", &scaled);
    const int rounds = scaled && percent > 0 && percent < 100
                           ? std::max(1, int(qint64(dictionary.Rounds) * percent / 100))
                           : dictionary.Rounds;
    auto pick = [&rng](const QList<QByteArray> &list) {
        return list.at(int(rng.bounded(quint32(list.size()))));
    };
    for (int round = 0; round < rounds; ++round) {
        QByteArray input;
        const int pieces = int(rng.bounded(1, 40));
        for (int p = 0; p < pieces; ++p) {
            switch (rng.bounded(4)) {
            case 0: { // a seed with some bytes flipped
                QByteArray f = pick(dictionary.Seeds);
                for (int k = int(rng.bounded(4)); k > 0; --k)
                    f[int(rng.bounded(f.size()))] = char(rng.bounded(256));
                input += f;
                break;
            }
            case 1:
                input += pick(dictionary.Seeds);
                break;
            case 2:
                input += pick(dictionary.Markers);
                break;
            default:
                for (int k = int(rng.bounded(1, 80)); k > 0; --k)
                    input += char(rng.bounded(256));
            }
        }
        if (!last.isEmpty()) {
            QFile f(last);
            if (f.open(QIODevice::WriteOnly))
                f.write(input);
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(input.constData()),
                               std::size_t(input.size()));
    }
    std::printf("%d random inputs passed\n", rounds);
    return 0;
}
