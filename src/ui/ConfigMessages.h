#pragma once

#include "http/Server.h"

#include <QEvent>

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
class DialogEvent final : public QEvent {
public:
    static QEvent::Type eventType();

    explicit DialogEvent(unsigned message, std::string text = {}, http::ActivityList activity = {})
        : QEvent(eventType()), message(message), text(std::move(text)), activity(std::move(activity))
    {
    }

    const unsigned message;
    const std::string text;
    const http::ActivityList activity;
};

} // namespace ui
