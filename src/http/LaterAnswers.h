#pragma once

#include "platform/DeferredSend.h"
#include "platform/WakeupDescriptor.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace http {

/// Where the player's thread leaves the answers that connections wait for
/// (see `RequestThread::answerLater`): the tags of the answered sends, and a
/// descriptor, readable once a batch of them is complete, that the
/// dispatcher's readiness set watches. Any thread.
class LaterAnswers final : public platform::AnswerSink {
public:
    bool isValid() const { return arrivedSignal.isValid(); }
    int descriptor() const { return arrivedSignal.descriptor(); }

    void answered(platform::DeferredSend& send) override;
    void answersDelivered() override;
    /// Leaves `tag` as if a send tagged with it had been answered, and
    /// signals at once (one signal until the next `take`).
    void arrive(std::uint64_t tag);

    /// The tags answered since the last call, in order; makes the descriptor
    /// quiet again.
    std::vector<std::uint64_t> take();

private:
    std::mutex lock;
    std::vector<std::uint64_t> arrived;  // under `lock`
    bool signalled = false;              // under `lock`
    platform::WakeupDescriptor arrivedSignal;
};

} // namespace http
