#pragma once

// Hands bytes to the main window as the bridge component does when a block arrives. Apart from
// frames.h, because only programs that link the application can include it.

#include "tfrmmain.h"

#include <QByteArray>

#include <cstdint>

inline void receive(TfrmMain &w, const QByteArray &block)
{
    w.CP21101ReceiveData(reinterpret_cast<const std::uint8_t *>(block.constData()),
                         int(block.size()));
}
