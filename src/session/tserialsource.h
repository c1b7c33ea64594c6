#pragma once

#include "tmetersource.h"

#include <QStringList>

class TCComm;

// The meter on a serial port (a device path such as "/dev/ttyUSB0").
class TSerialSource : public TMeterSource
{
    Q_OBJECT
public:
    explicit TSerialSource(const QString &port, std::uint32_t baud = 9600,
                           QObject *parent = nullptr);

    TCComm *Port() const { return Port_; }

    QString Name() const override;
    bool Open(TNotice &failure) override;
    void Close() override;
    bool IsOpen() const override { return Open_; }
    TBlockPath Path() const override { return TBlockPath::Serial; }

private:
    TCComm *Port_;
    bool Open_ = false;
};
