#pragma once

#include <QByteArray>
#include <optional>

namespace tmx9sim {

// One unit of what the tool sent, without its CR LF.
struct Inbound
{
    enum class Kind {
        Frame, // "$$R" ... N+7 bytes, cut by its length byte
        Line,  // anything else up to a CR LF (text commands)
        Noise, // bytes skipped to find the next "$$"
    };
    Kind kind;
    QByteArray bytes;
};

// Cuts the byte stream from the tool. A frame's body may hold CR LF, so a frame is cut by its
// length byte and accepted only if CR LF follows where the length says; a frame whose
// terminator is elsewhere is dropped up to the next "$$", so a frame cut short by a closed port
// cannot swallow the request that follows it.
class InboundSplitter
{
public:
    void append(const QByteArray &chunk);

    // The next complete unit, or nullopt until more bytes arrive.
    std::optional<Inbound> next();

    // True while the bytes waiting begin a frame whose length says more are to come.
    bool holdsPartialFrame() const;

    // Gives up on a partial frame that was never completed: the bytes up to the next "$$"
    // come back as noise, and cutting resumes there. nullopt when no partial frame is held.
    std::optional<Inbound> abandonPartialFrame();

    int pendingBytes() const { return bytes_.size() - head_; }
    // Everything not cut yet; cutting starts afresh with the next append().
    QByteArray takePending();

private:
    enum class FrameState { NotAFrame, Partial, Complete, Broken };
    FrameState frameAtHead(int *length) const;
    Inbound skipToNextLeadIn();

    QByteArray bytes_;
    int head_ = 0;
};

} // namespace tmx9sim
