// "Editor de fuentes": opens a font of the font folder or starts a new one, draws its characters
// dot by dot, fills them from a font installed on the system, shows a sample line as the sign
// would, and saves the font back into the folder.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/dot_grid.h"
#include "files/file_access.h"
#include "message/font_model.h"
#include "message/numeric.h"
#include "platform/dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace letrador {

class LedStrip;

class frmFuentes : public QWidget {
public:
    struct Services {
        platform::Dialogs& dialogs;
        std::function<std::string()> fontFolder;
        const Int16& spaceWidth;
        std::function<void()> closed;     // gives the main window back
        std::function<void()> fontSaved;  // a font file was written into the folder
    };

    explicit frmFuentes(Services services, QWidget* parent = nullptr);

    // Shown again: the file list as the folder is now.
    void refreshFiles();

    const FontModel& model() const { return model_; }
    char32_t currentCharacter() const;
    bool modified() const { return modified_; }
    void setReplacer(FileReplacer* replacer) { replacer_ = replacer; }

    // Handlers.
    void cmdFuenteAbrir_Click();
    void cmdFuenteNueva_Click();
    void cmdFuenteAgregar_Click();
    void cmdFuenteQuitar_Click();
    void cmdFuenteCopiar_Click();
    void cmdFuenteDibujar_Click();
    void cmdFuentePoner_Click();
    void cmdFuenteDescartar_Click();
    void cmdFuenteGuardar_Click();
    void cmdFuenteCerrar_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool mayDiscard();
    void setModel(FontModel model, const QString& name);
    void fillCharacters(char32_t select);
    void showCurrent();
    void updateSample();
    void fillStyles();
    void changed();
    std::string pathOf(const QString& name) const;

    Services services_;
    AtomicFileReplacer atomic_;
    FileReplacer* replacer_ = &atomic_;
    FontModel model_;
    bool modified_ = false;
    std::vector<std::pair<char32_t, GlyphDots>> review_;

    QComboBox* cboFuenteArchivo_;
    QPushButton* cmdFuenteAbrir_;
    QPushButton* cmdFuenteNueva_;
    QLabel* lblFuenteRegistros_;
    QListWidget* lstFuenteCaracteres_;
    DotGrid* grdFuentePuntos_;
    QLabel* lblFuenteAncho_;
    QLineEdit* txtFuenteCaracter_;
    QPushButton* cmdFuenteAgregar_;
    QPushButton* cmdFuenteQuitar_;
    QPushButton* cmdFuenteCopiar_;
    QLineEdit* txtFuenteMuestra_;
    QSpinBox* spnFuenteSepar_;
    LedStrip* ledFuenteMuestra_;
    QComboBox* cboFuenteFamilia_;
    QComboBox* cboFuenteEstilo_;
    QSpinBox* spnFuenteAltura_;
    QSpinBox* spnFuenteUmbral_;
    QRadioButton* optFuenteUno_;
    QLineEdit* txtFuenteRelleno_;
    QRadioButton* optFuenteTodos_;
    QPushButton* cmdFuenteDibujar_;
    QListWidget* lstFuenteRevision_;
    QPushButton* cmdFuentePoner_;
    QPushButton* cmdFuenteDescartar_;
    QLineEdit* txtFuenteNombre_;
    QPushButton* cmdFuenteGuardar_;
    QPushButton* cmdFuenteCerrar_;
};

}  // namespace letrador
