#pragma once

#include "ui/ConfigPage.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace ui {

/// The Library page: the media-library switch, the index status with its
/// Reindex button (which sends CM_REINDEX), and the shared directories,
/// kept sorted without regard to case, several selectable at once. Added
/// and removed directories reach the settings at the dialog's next read.
class ConfigLibraryDialog final : public ConfigPage {
public:
    /// At most this many directories go per Remove Directory.
    static constexpr int removeLimit = 1024;

    explicit ConfigLibraryDialog(ConfigDialog& dialog);

    /// Puts `directory` into the list at its place in case-blind order.
    void addDirectory(const QString& directory);
    /// Takes the selected directories out of the list.
    void removeSelected();
    /// Replaces the list by `directories`.
    void setDirectories(const std::vector<std::string>& directories);
    /// The list's texts, in list order.
    std::vector<std::string> directories() const;

    /// Asks for a folder (empty: none chosen). The folder dialog by default;
    /// tests answer for it.
    std::function<QString()> chooseFolder;

    QCheckBox* enableML;        // 3036
    QLabel* status;             // 3042
    QPushButton* reindex;       // 3041
    QPushButton* add;           // 3037
    QPushButton* remove;        // 3038
    QListWidget* sharedDirs;    // 3035
};

} // namespace ui
