#pragma once

#include "http/Server.h"

#include <QEvent>

#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace ui {

/// The preferences dialog's private messages. "Sent" ones are handled at
/// once (`ConfigDialog::send`), "posted" ones queued for the dialog's thread
/// (`ConfigDialog::post`, safe from any thread) and handled in posting order.
enum ConfigMessage : unsigned {
    CM_REFRESH = 0x8000,
    CM_START = 0x8001,
    CM_STOP = 0x8002,
    CM_SAVE = 0x8003,
    CM_REINDEX = 0x8004,
    CM_ACTIVITY_ATTACH = 0x8005,
    CM_ACTIVITY_DETACH = 0x8006,
    CM_CLOSE = 0x8007,
    CM_INDEX_STATUS = 0x8008,
    CM_APPLY = 0x8009,
};

/// Not one of the dialog's messages: the Activity page's news that the
/// server published its connections (in `activity`).
inline constexpr unsigned activityPublished = 0x8100;

/// A posted message and what travels with it: a copy of the indexed path
/// (CM_INDEX_STATUS) or of the published connections.
struct PostedMessage {
    unsigned message = 0;
    std::string text{};
    http::ActivityList activity{};
};

/// Messages for an object of the dialog's thread. `post` (any thread) keeps
/// the message under the box's own lock and wakes the receiver with a bare
/// Qt event, made under that lock too; the receiver hands each custom event
/// it gets to `take`, which gives the oldest message for the box's event. So
/// what travels with a message, the event included, is handed over under a
/// lock of ours (which the race detector sees, unlike Qt's own), in posting
/// order. Lives as long as its receiver.
class PostBox {
public:
    void post(QObject* receiver, PostedMessage message);
    /// For the box's own event: the oldest message not yet taken. Nothing for
    /// any other event, or when none is left.
    std::optional<PostedMessage> take(const QEvent* event);

private:
    std::mutex lock;
    std::deque<PostedMessage> queue;  // under lock
};

} // namespace ui
