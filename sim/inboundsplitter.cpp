#include "inboundsplitter.h"

#include "frames.h"
#include "receiver.h"

namespace tmx9sim {

namespace {

constexpr int kFrameOverhead = 9; // lead-in, type, marker, length, checksum, CR LF
constexpr int kLengthOffset = 5;

} // namespace

void InboundSplitter::append(const QByteArray &chunk)
{
    tmx9::settle(bytes_, head_);
    tmx9::appendReceived(bytes_, head_, chunk);
}

InboundSplitter::FrameState InboundSplitter::frameAtHead(int *length) const
{
    static const QByteArray leadIn(tmx9::kLeadIn);
    const int available = bytes_.size() - head_;
    const int compared = qMin(available, leadIn.size());
    if (bytes_.mid(head_, compared) != leadIn.left(compared))
        return FrameState::NotAFrame;
    if (available <= kLengthOffset)
        return FrameState::Partial;
    const int total = static_cast<unsigned char>(bytes_.at(head_ + kLengthOffset)) + kFrameOverhead;
    if (available < total)
        return FrameState::Partial;
    if (bytes_.mid(head_ + total - 2, 2) != tmx9::kCrLf)
        return FrameState::Broken;
    *length = total;
    return FrameState::Complete;
}

Inbound InboundSplitter::skipToNextLeadIn()
{
    int end = bytes_.indexOf("$$", head_ + 1);
    int resume = end;
    if (end < 0) {
        end = bytes_.indexOf(tmx9::kCrLf, head_);
        resume = end < 0 ? -1 : end + 2;
    }
    if (end < 0)
        end = resume = bytes_.size();
    Inbound noise{Inbound::Kind::Noise, bytes_.mid(head_, end - head_)};
    head_ = resume;
    return noise;
}

std::optional<Inbound> InboundSplitter::next()
{
    if (head_ >= bytes_.size())
        return std::nullopt;

    int length = 0;
    switch (frameAtHead(&length)) {
    case FrameState::Complete: {
        Inbound frame{Inbound::Kind::Frame, bytes_.mid(head_, length - 2)};
        head_ += length;
        return frame;
    }
    case FrameState::Partial:
        return std::nullopt;
    case FrameState::Broken:
        return skipToNextLeadIn();
    case FrameState::NotAFrame:
        break;
    }

    // A "$$" before the end of the line starts a new message: what lies before it was cut off.
    const int crLf = bytes_.indexOf(tmx9::kCrLf, head_);
    const int leadIn = bytes_.indexOf("$$", head_ + 1);
    if (leadIn >= 0 && (crLf < 0 || leadIn < crLf)) {
        Inbound noise{Inbound::Kind::Noise, bytes_.mid(head_, leadIn - head_)};
        head_ = leadIn;
        return noise;
    }
    if (const auto line = tmx9::takeLine(bytes_, head_))
        return Inbound{Inbound::Kind::Line, *line};
    return std::nullopt;
}

bool InboundSplitter::holdsPartialFrame() const
{
    int length = 0;
    return head_ < bytes_.size() && frameAtHead(&length) == FrameState::Partial;
}

std::optional<Inbound> InboundSplitter::abandonPartialFrame()
{
    if (!holdsPartialFrame())
        return std::nullopt;
    return skipToNextLeadIn();
}

QByteArray InboundSplitter::takePending()
{
    const QByteArray pending = bytes_.mid(head_);
    bytes_.clear();
    head_ = 0;
    return pending;
}

} // namespace tmx9sim
