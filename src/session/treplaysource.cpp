#include "treplaysource.h"

#include "tcapturefile.h"

TReplaySource::TReplaySource(const QString &fileName, bool fast, QObject *parent)
    : TMeterSource(parent)
    , FileName_(fileName)
    , Replay_(new TCaptureReplay(fast, this))
{
    connect(Replay_, &TCaptureReplay::OnReceiveData, this, &TMeterSource::BlockReceived);
    connect(Replay_, &TCaptureReplay::Finished, this, [this] {
        if (Replay_->Error().isEmpty())
            emit Ended();
        else
            emit LinkLost(FileName_ + QStringLiteral(": ") + Replay_->Error());
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
    Replay_->Start();
    emit Opened();
    return true;
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
