#include "ui/ConfigLibraryDialog.h"

#include "ui/ConfigDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace ui {

ConfigLibraryDialog::ConfigLibraryDialog(ConfigDialog& owner)
    : ConfigPage(owner, "ConfigLibraryDialog"),
      chooseFolder([] { return QFileDialog::getExistingDirectory(nullptr, QString(), QString()); }),
      enableML(named(new QCheckBox("Enable Media Library"), 3036)),
      status(named(new QLabel, 3042)),
      reindex(named(new QPushButton("Reindex"), 3041)),
      add(named(new QPushButton("Add Directory"), 3037)),
      remove(named(new QPushButton("Remove Directory"), 3038)),
      sharedDirs(named(new QListWidget, 3035))
{
    status->setWordWrap(true);
    status->setMinimumHeight(2 * status->fontMetrics().height());
    sharedDirs->setSelectionMode(QAbstractItemView::MultiSelection);

    auto* indexing = new QGroupBox("Indexing");
    auto* indexRow = new QHBoxLayout(indexing);
    indexRow->addWidget(status, 1);
    indexRow->addWidget(reindex, 0, Qt::AlignTop);

    auto* shared = new QGroupBox("Shared Directories");
    auto* sharedLayout = new QVBoxLayout(shared);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addStretch();
    buttons->addWidget(remove);
    sharedLayout->addLayout(buttons);
    sharedLayout->addWidget(sharedDirs);

    auto* page = new QVBoxLayout(this);
    page->addWidget(enableML);
    page->addWidget(indexing);
    page->addWidget(shared, 1);

    QObject::connect(add, &QPushButton::clicked, this, [this] {
        const QString folder = chooseFolder();
        if (!folder.isEmpty())
            addDirectory(folder);
    });
    QObject::connect(remove, &QPushButton::clicked, this, [this] { removeSelected(); });
    QObject::connect(reindex, &QPushButton::clicked, this, [this] { dialog.send(CM_REINDEX); });
}

void ConfigLibraryDialog::addDirectory(const QString& directory)
{
    int row = 0;
    while (row < sharedDirs->count() &&
           QString::compare(sharedDirs->item(row)->text(), directory, Qt::CaseInsensitive) <= 0)
        ++row;
    sharedDirs->insertItem(row, directory);
}

void ConfigLibraryDialog::removeSelected()
{
    std::vector<int> rows;
    for (int row = 0; row < sharedDirs->count(); ++row) {
        if (sharedDirs->item(row)->isSelected())
            rows.push_back(row);
    }
    if (rows.size() > removeLimit)
        rows.resize(removeLimit);
    // From the highest row down, so the rows still to go keep their numbers.
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        std::unique_ptr<QListWidgetItem> taken(sharedDirs->takeItem(*row));
}

void ConfigLibraryDialog::setDirectories(const std::vector<std::string>& directories)
{
    sharedDirs->clear();
    for (const std::string& directory : directories)
        addDirectory(QString::fromStdString(directory));
}

std::vector<std::string> ConfigLibraryDialog::directories() const
{
    std::vector<std::string> texts;
    for (int row = 0; row < sharedDirs->count(); ++row)
        texts.push_back(sharedDirs->item(row)->text().toStdString());
    return texts;
}

} // namespace ui
