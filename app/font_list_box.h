// The font files' list of the main window (filArchArchivos): the .ffv files of the font folder
// as they are now, the paragraph's font shown as its current entry, and the operator's choices
// told apart from the list's own moves.
#pragma once

#include <QListWidget>
#include <functional>
#include <string>

class QFileSystemWatcher;

namespace letrador {

class FontListBox : public QListWidget {
public:
    explicit FontListBox(QWidget* parent = nullptr);

    // Lists the font files of `folder` and keeps the list in step with it.
    void setFolder(const std::string& folder);
    // Fills the list again when the folder's font files have changed.
    void refresh();
    // Makes `name` the current entry, or none when the list has no such entry: not a choice.
    void showFont(const QString& name);

    // A choice: a click, a click on the current entry again, or a move with the keys. Tabbing
    // into a list without a current entry makes the first one current, and that is no choice.
    std::function<void(const QString& name)> chosen;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QString folder_;
    QString shownFont_;
    QFileSystemWatcher* watcher_ = nullptr;
    int rowBeforePress_ = -1;
    bool takingFocus_ = false;
};

}  // namespace letrador
