#pragma once

// What the standalone runner builds its random inputs from; each fuzz target defines it.

#include <QByteArray>
#include <QList>

struct TFuzzDictionary
{
    QList<QByteArray> Seeds;   // well-formed inputs, used whole and with bytes flipped
    QList<QByteArray> Markers; // short pieces that steer the parser (delimiters, keywords)
    int Rounds = 20000;        // random inputs a standalone run tries
};

TFuzzDictionary fuzzDictionary();
