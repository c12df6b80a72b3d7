#pragma once

#include "http/Server.h"
#include "ui/ConfigMessages.h"
#include "ui/ConfigPage.h"

class QTreeWidget;

namespace ui {

/// The Activity page: one row per live connection of the server, client
/// address (with port) and last request, the most recently accepted first. Once it is
/// made the dialog attaches it to the server's activity report
/// (CM_ACTIVITY_ATTACH) and detaches it on closing (CM_ACTIVITY_DETACH). The
/// report's thread only posts a copy of the list here (DialogNotifications).
class ConfigActivityDialog final : public ConfigPage {
public:
    explicit ConfigActivityDialog(ConfigDialog& dialog);

    /// Replaces the rows by `connections`, in reverse order, one row per
    /// client address (with its port): the last entry listed for it.
    void showActivity(const http::ActivityList& connections);

    /// Queues published connections for `showActivity`. Any thread.
    void post(PostedMessage published);

    QTreeWidget* connections;  // 3039

protected:
    void customEvent(QEvent* event) override;

private:
    PostBox postBox;
};

} // namespace ui
