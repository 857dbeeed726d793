#include "platform/qt_dialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>
#include <QString>
#include <QTranslator>
#include <QWidget>

namespace platform {
namespace {

// Texts carry CR LF line breaks; a label shows a plain line feed.
QString Q(const std::string& s) { return QString::fromStdString(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

bool InUse(const QWidget* w) { return w && w->isVisible() && w->isEnabled(); }

// A box sizes itself to its text; a short text under a long title would cut the title in the
// window frame. Room is kept for the frame's own icon and buttons beside it.
void MakeRoomForTitle(QMessageBox& box) {
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int needed = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 160;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

// Runs the box over `owner` and gives the keyboard back to where it was in that window.
void Run(QMessageBox& box, QWidget* owner) {
    QPointer<QWidget> window = owner;
    QPointer<QWidget> focus = owner ? owner->focusWidget() : nullptr;
    MakeRoomForTitle(box);
    box.exec();
    // The answer may have closed or disabled the window (a save goes on in the main window).
    if (!InUse(window) || window->isActiveWindow()) return;
    window->activateWindow();
    window->raise();
    if (focus && focus->window() == window) focus->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace

QWidget* QtDialogs::owner() const {
    if (!parent_ || InUse(parent_)) return parent_;
    QWidget* active = QApplication::activeWindow();
    if (InUse(active) && !qobject_cast<QMessageBox*>(active)) return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != parent_ && InUse(w) && w->isWindow() && !(w->windowType() == Qt::Popup) &&
            !qobject_cast<QMessageBox*>(w))
            return w;
    }
    return parent_;
}

void QtDialogs::information(const std::string& text, const std::string& title) {
    QWidget* over = owner();
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok, over);
    Run(box, over);
}

bool QtDialogs::question(const std::string& text, const std::string& title) {
    QWidget* over = owner();
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::NoButton, over);
    QPushButton* yes = box.addButton(QStringLiteral("&Sí"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    Run(box, over);
    // Only an explicit No stops: closing the box otherwise counts as going on, as the question's
    // callers expect.
    return box.clickedButton() != no;
}

int QtDialogs::choose(const std::string& text, const std::string& title,
                      const std::vector<std::string>& buttons) {
    QWidget* over = owner();
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::NoButton, over);
    std::vector<QPushButton*> pressed;
    for (const std::string& b : buttons) pressed.push_back(box.addButton(Q(b), QMessageBox::AcceptRole));
    if (!pressed.empty()) {
        box.setDefaultButton(pressed.front());
        box.setEscapeButton(pressed.back());
    }
    Run(box, over);
    for (std::size_t i = 0; i < pressed.size(); ++i)
        if (box.clickedButton() == pressed[i]) return static_cast<int>(i);
    return pressed.empty() ? 0 : static_cast<int>(pressed.size()) - 1;
}

SpanishQtTexts::SpanishQtTexts() : translator_(std::make_unique<QTranslator>()) {
    loaded_ = translator_->load(QStringLiteral("qtbase_es"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded_) QCoreApplication::installTranslator(translator_.get());
}

SpanishQtTexts::~SpanishQtTexts() {
    if (loaded_) QCoreApplication::removeTranslator(translator_.get());
}

}  // namespace platform
