// The real main window over scripted dialogs, a scripted serial line and simulated time.
#pragma once

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>
#include <fstream>
#include <functional>
#include <set>

#include "app/frm_ayuda.h"
#include "app/frm_letrador.h"
#include "app/led_preview.h"
#include "files/frm_archivo.h"
#include "message/codepage.h"
#include "platform/qt_desktop.h"
#include "platform/scripted_dialogs.h"
#include "platform/scripted_link_thread.h"
#include "settings/frm_avanzadas.h"
#include "settings/port_mapping.h"
#include "signlink/frm_graba.h"
#include "signlink/frm_varios.h"
#include "tests/signlink/sign_rig.h"
#include "tests/support/sample_font.h"

namespace letrador::testing {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The pairs of visible controls and captions of `window` that lie over one another, each pair as
// "name or text ~ name or text"; none in a window laid out as meant.
inline Strings OverlappingControls(QWidget& window) {
    const auto area = [&](QWidget* w) { return QRect(w->mapTo(&window, QPoint(0, 0)), w->size()); };
    const auto name = [](QWidget* w) {
        return (w->objectName().isEmpty() ? w->property("text").toString() : w->objectName()).toStdString();
    };
    std::vector<QWidget*> controls;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        const bool part = qobject_cast<QAbstractSpinBox*>(w->parentWidget()) || qobject_cast<QComboBox*>(w->parentWidget());
        if (w->isVisibleTo(&window) && !part &&
            (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
             qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w)))
            controls.push_back(w);
    }
    Strings found;
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (area(controls[i]).intersects(area(controls[j]))) found.push_back(name(controls[i]) + " ~ " + name(controls[j]));
    return found;
}

// Brings `w` to the front and waits until it has the keyboard.
inline bool Activate(QWidget& w) {
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "letrador-tests", *argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

struct AppRig {
    explicit AppRig(std::set<int> ports = {3}) {
        fs::create_directories(scratch.path() / "tipografias");
        WriteFont(scratch.path() / "tipografias" / "a.ffv", SampleAB());
        link.setOpenablePorts(std::move(ports));
        link.setResponder(CompatibleSign());
    }

    // Builds the window and runs its load sequence; message boxes go to `boxes` when given.
    bool load(platform::Dialogs* boxes = nullptr) {
        const fs::path folder = scratch.path();
        engine = std::make_unique<RecordingEngine>(
            signs.script ? signs.maker() : platform::ScriptedLinkThread::over(link, pump, ticker));
        window = std::make_unique<frmLetrador>(frmLetrador::Services{
            store, boxes ? *boxes : dialogs, desktop, ports, *engine, probes.maker(), folder,
            [folder](int n) { return PortDevicePath(folder, n); }});
        return window->Form_Load();
    }
    bool start() { return load() && (window->show(), true); }

    template <typename W = QWidget>
    W* child(const char* name) const { return window->findChild<W*>(QString::fromUtf8(name)); }
    template <typename W = QWidget>
    W* optionsChild(const char* name) const { return window->avanzadas().findChild<W*>(name); }
    QAction* action(const char* name) const { return child<QAction>(name); }
    void press(const char* button) const { child<QPushButton>(button)->click(); }
    QPlainTextEdit* editor() const { return child<QPlainTextEdit>("txtMsjMensaje"); }
    LedPreview* preview() const { return window->preview(); }
    std::vector<std::string> logLines() const { return window->graba().log().lines(); }
    QPushButton* recordingClose() const { return window->graba().findChild<QPushButton*>("cmdCerrar"); }
    void select(int start, int end) const {
        QTextCursor c = editor()->textCursor();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        editor()->setTextCursor(c);
    }
    // Chooses paragraph `index` in the list, as the operator does.
    void showParagraph(int index) const {
        child<QComboBox>("cboParParrafos")->setCurrentIndex(index);
        emit child<QComboBox>("cboParParrafos")->activated(index);
    }
    // `text` in a.ffv saved through the window's buttons, as the paragraph shown or as a new one.
    void save(const QString& text) {
        editor()->setPlainText(text);
        window->setFontFileText("a.ffv");
        press("cmdParGuardar");
    }
    void addParagraph(const QString& text) { press("cmdParNuevo"), save(text); }

    QApplication& app = TestApp();
    ScratchFolder scratch;
    ParagraphStore store;
    platform::ScriptedDialogs dialogs;
    // The help's opener is the script `xdg-open` of the scratch folder, when a test writes one.
    platform::QtDesktop desktop{(scratch.path() / "xdg-open").string()};
    platform::SimulatedTicker ticker;
    platform::ScriptedSerialLink link{&ticker};
    platform::SimulatedEventPump pump{link, ticker};
    // The port search and every recording go over the one scripted line, unless `signs` is given
    // a script before load(): each recording's sign then gets a line of its own.
    platform::LinkPortSearch ports{link};
    platform::ScriptedSigns signs;
    std::unique_ptr<RecordingEngine> engine;
    platform::ScriptedLinkThreads probes;  // the signs "Puertos de red…" probes
    std::unique_ptr<frmLetrador> window;
};

}  // namespace letrador::testing
