#include "app/font_list_box.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QFocusEvent>
#include <QSignalBlocker>
#include <QTimer>

namespace letrador {

FontListBox::FontListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (takingFocus_) {
            takingFocus_ = false;
            return;
        }
        if (item && chosen) chosen(item->text());
    });
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        // A click on the entry that was already current chooses it again.
        if (item && row(item) == rowBeforePress_ && chosen) chosen(item->text());
    });
}

void FontListBox::setFolder(const std::string& folder) {
    folder_ = QString::fromStdString(folder);
    if (!watcher_) {
        watcher_ = new QFileSystemWatcher(this);
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { refresh(); });
    }
    watcher_->removePaths(watcher_->directories());
    watcher_->addPath(folder_);
    refresh();
}

void FontListBox::refresh() {
    const QStringList names =
        QDir(folder_).entryList({QStringLiteral("*.ffv")}, QDir::Files, QDir::Name);
    QStringList shown;
    for (int i = 0; i < count(); ++i) shown << item(i)->text();
    if (names == shown) return;
    {
        // Rebuilding the list is not a choice of the operator's.
        QSignalBlocker block(this);
        clear();
        addItems(names);
    }
    showFont(shownFont_);
}

void FontListBox::showFont(const QString& name) {
    shownFont_ = name;
    const QList<QListWidgetItem*> found = findItems(name, Qt::MatchExactly);
    QListWidgetItem* item = name.isEmpty() ? nullptr : found.value(0);
    if (currentItem() == item && (item || selectedItems().isEmpty())) return;
    QSignalBlocker block(this);
    if (item) {
        setCurrentItem(item);
    } else {
        setCurrentItem(nullptr);
        clearSelection();
    }
}

void FontListBox::mousePressEvent(QMouseEvent* event) {
    rowBeforePress_ = currentRow();
    QListWidget::mousePressEvent(event);
}

void FontListBox::focusInEvent(QFocusEvent* event) {
    if (!currentItem() && event->reason() != Qt::MouseFocusReason) {
        takingFocus_ = true;
        // Whatever the list does on taking the focus happens now; later moves are choices.
        QTimer::singleShot(0, this, [this] { takingFocus_ = false; });
    }
    QListWidget::focusInEvent(event);
}

}  // namespace letrador
