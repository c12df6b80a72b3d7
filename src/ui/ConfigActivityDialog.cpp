#include "ui/ConfigActivityDialog.h"

#include "ui/ConfigDialog.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>
#include <string_view>

namespace ui {

ConfigActivityDialog::ConfigActivityDialog(ConfigDialog& owner)
    : ConfigPage(owner, "ConfigActivityDialog"), connections(named(new QTreeWidget, 3039))
{
    connections->setColumnCount(2);
    connections->setHeaderLabels({"Client Address", "Last Request"});
    connections->setRootIsDecorated(false);
    connections->setSelectionMode(QAbstractItemView::SingleSelection);
    connections->header()->setStretchLastSection(true);
    connections->setColumnWidth(0, QFontMetrics(connections->font()).horizontalAdvance("255.255.255.255:00000") + 10);

    auto* page = new QVBoxLayout(this);
    page->addWidget(connections);
}

void ConfigActivityDialog::showActivity(const http::ActivityList& published)
{
    connections->clear();
    // A client (address and port) is one row however often it appears: the
    // latest entry for it, placed where it was last listed.
    std::set<std::string_view> shown;
    for (auto entry = published.rbegin(); entry != published.rend(); ++entry) {
        const auto& [clientAddress, lastRequest] = *entry;
        if (!shown.insert(clientAddress).second)
            continue;
        connections->addTopLevelItem(
            new QTreeWidgetItem({QString::fromStdString(clientAddress), QString::fromStdString(lastRequest)}));
    }
}

void ConfigActivityDialog::post(PostedMessage published)
{
    postBox.post(this, std::move(published));
}

void ConfigActivityDialog::customEvent(QEvent* event)
{
    if (const std::optional<PostedMessage> published = postBox.take(event))
        showActivity(published->activity);
}

} // namespace ui
