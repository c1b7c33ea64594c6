#include "treplaysource.h"

#include "tcapturefile.h"

#include <algorithm>

TReplaySource::TReplaySource(const QString &fileName, bool fast, QObject *parent)
    : TMeterSource(parent)
    , FileName_(fileName)
    , Replay_(new TCaptureReplay(fast, this))
{
    connect(Replay_, &TCaptureReplay::OnReceiveData, this,
            [this](const std::uint8_t *data, std::uint32_t len) {
                Clock_ = std::max(Clock_, Replay_->BlockTime());
                emit BlockReceived(data, len);
            });
    connect(Replay_, &TCaptureReplay::Finished, this, [this] {
        if (Replay_->Error().isEmpty())
            emit Ended();
        else
            lose(FileName_ + QStringLiteral(": ") + Replay_->Error());
    });
}

bool TReplaySource::Open(TNotice &failure)
{
    if (Open_)
        Close();
    if (!Replay_->Open(FileName_)) {
        failure = {TNoticeKind::Information, FileName_ + QStringLiteral(": ") + Replay_->Error(),
                   true};
        return false;
    }
    Open_ = true;
    Paused_ = false;
    Clock_ = 0;
    Replay_->Start();
    emit Opened();
    return true;
}

void TReplaySource::lose(const QString &reason)
{
    // A capture that breaks off is a link that went away: nothing of it is open any more.
    Replay_->Stop();
    Open_ = false;
    emit LinkLost(reason);
    emit Closed();
}

void TReplaySource::Close()
{
    Replay_->Stop();
    Open_ = false;
    emit Closed();
}

void TReplaySource::SetPaused(bool paused)
{
    // A paused replay holds its place; the blocks due meanwhile come at once on release.
    if (!Open_ || paused == Paused_)
        return;
    Paused_ = paused;
    if (paused)
        Replay_->Stop();
    else
        Replay_->Start();
}
