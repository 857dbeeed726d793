#include "app/frm_fuentes.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/glyph_raster.h"
#include "app/led_preview.h"
#include "message/codepage.h"
#include "message/glyph_cut.h"
#include "message/sign_preview.h"

namespace letrador {
namespace {

constexpr const char* kTitle = "Editor de fuentes";

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

QString Shown(char32_t ch) {
    if (ch == U' ') return QStringLiteral("(espacio)");
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0))
        return QStringLiteral("(0x%1)").arg(static_cast<uint>(ch), 2, 16, QLatin1Char('0'));
    const char32_t text[] = {ch, 0};
    return QString::fromUcs4(text, 1);
}

std::string Quoted(char32_t ch) { return "«" + Shown(ch).toStdString() + "»"; }

// The one character typed in `box`, or 0 when it holds none or more than one.
char32_t OneCharacter(const QLineEdit* box) {
    const std::u32string text = FromUtf8(box->text().toStdString());
    return text.size() == 1 ? text[0] : 0;
}

}  // namespace

// ---- frmFuentes ----

frmFuentes::frmFuentes(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName(QStringLiteral("frmFuentes"));
    setWindowTitle(QString::fromUtf8(kTitle));

    cboFuenteArchivo_ = Named(new QComboBox, "cboFuenteArchivo");
    cmdFuenteAbrir_ = Named(new QPushButton(QStringLiteral("&Abrir")), "cmdFuenteAbrir");
    cmdFuenteNueva_ = Named(new QPushButton(QStringLiteral("&Nueva")), "cmdFuenteNueva");
    lblFuenteRegistros_ = Named(new QLabel, "lblFuenteRegistros");
    lblFuenteRegistros_->setWordWrap(true);
    auto* archivo = new QHBoxLayout;
    archivo->addWidget(new QLabel(QStringLiteral("Fuente:")));
    archivo->addWidget(cboFuenteArchivo_, 1);
    archivo->addWidget(cmdFuenteAbrir_);
    archivo->addWidget(cmdFuenteNueva_);

    lstFuenteCaracteres_ = Named(new QListWidget, "lstFuenteCaracteres");
    lstFuenteCaracteres_->setMinimumWidth(140);
    grdFuentePuntos_ = Named(new DotGrid, "grdFuentePuntos");
    lblFuenteAncho_ = Named(new QLabel, "lblFuenteAncho");
    txtFuenteCaracter_ = Named(new QLineEdit, "txtFuenteCaracter");
    txtFuenteCaracter_->setMaxLength(1);
    txtFuenteCaracter_->setMaximumWidth(40);
    txtFuenteCaracter_->setToolTip(QStringLiteral("Carácter que se agrega, o sobre el que se copia."));
    cmdFuenteAgregar_ = Named(new QPushButton(QStringLiteral("Agr&egar")), "cmdFuenteAgregar");
    cmdFuenteQuitar_ = Named(new QPushButton(QStringLiteral("&Quitar")), "cmdFuenteQuitar");
    cmdFuenteCopiar_ = Named(new QPushButton(QStringLiteral("&Copiar en")), "cmdFuenteCopiar");
    cmdFuenteCopiar_->setToolTip(
        QStringLiteral("Copia los puntos del carácter elegido en el carácter escrito al lado."));
    auto* botones = new QHBoxLayout;
    botones->addWidget(new QLabel(QStringLiteral("Carácter:")));
    botones->addWidget(txtFuenteCaracter_);
    botones->addWidget(cmdFuenteAgregar_);
    botones->addWidget(cmdFuenteCopiar_);
    botones->addWidget(cmdFuenteQuitar_);
    botones->addStretch();
    auto* dibujo = new QVBoxLayout;
    dibujo->addWidget(grdFuentePuntos_);
    dibujo->addWidget(lblFuenteAncho_);
    dibujo->addLayout(botones);
    dibujo->addStretch();
    auto* centro = new QHBoxLayout;
    centro->addWidget(lstFuenteCaracteres_);
    centro->addLayout(dibujo, 1);

    auto* muestra = new QGroupBox(QStringLiteral("Muestra"));
    txtFuenteMuestra_ = Named(new QLineEdit, "txtFuenteMuestra");
    spnFuenteSepar_ = Named(new QSpinBox, "spnFuenteSepar");
    spnFuenteSepar_->setRange(0, 5);
    spnFuenteSepar_->setValue(1);
    ledFuenteMuestra_ = Named(new LedStrip, "ledFuenteMuestra");
    auto* scroll = new QScrollArea;
    scroll->setWidget(ledFuenteMuestra_);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFixedHeight(ledFuenteMuestra_->sizeHint().height() + 24);
    auto* muestraFila = new QHBoxLayout;
    muestraFila->addWidget(txtFuenteMuestra_, 1);
    muestraFila->addWidget(new QLabel(QStringLiteral("Separación:")));
    muestraFila->addWidget(spnFuenteSepar_);
    auto* muestraLayout = new QVBoxLayout(muestra);
    muestraLayout->addLayout(muestraFila);
    muestraLayout->addWidget(scroll);

    auto* sistema = new QGroupBox(QStringLiteral("Dibujos de una fuente del sistema"));
    cboFuenteFamilia_ = Named(new QComboBox, "cboFuenteFamilia");
    cboFuenteFamilia_->addItems(QFontDatabase::families());
    cboFuenteEstilo_ = Named(new QComboBox, "cboFuenteEstilo");
    spnFuenteAltura_ = Named(new QSpinBox, "spnFuenteAltura");
    spnFuenteAltura_->setRange(1, kSignRows);
    spnFuenteAltura_->setValue(kSignRows);
    spnFuenteAltura_->setToolTip(QStringLiteral("Alto de una mayúscula, en puntos."));
    spnFuenteUmbral_ = Named(new QSpinBox, "spnFuenteUmbral");
    spnFuenteUmbral_->setRange(1, 100);
    spnFuenteUmbral_->setValue(GlyphSource{}.thresholdPercent);
    spnFuenteUmbral_->setSuffix(QStringLiteral(" %"));
    spnFuenteUmbral_->setToolTip(QStringLiteral("Parte de un punto que debe cubrir el dibujo para encenderlo."));
    optFuenteUno_ = Named(new QRadioButton(QStringLiteral("Un carácter:")), "optFuenteUno");
    txtFuenteRelleno_ = Named(new QLineEdit, "txtFuenteRelleno");
    txtFuenteRelleno_->setMaxLength(1);
    txtFuenteRelleno_->setMaximumWidth(40);
    optFuenteTodos_ = Named(new QRadioButton(QStringLiteral("Letras, números y signos del español")),
                            "optFuenteTodos");
    optFuenteTodos_->setChecked(true);
    cmdFuenteDibujar_ = Named(new QPushButton(QStringLiteral("&Dibujar")), "cmdFuenteDibujar");
    lstFuenteRevision_ = Named(new QListWidget, "lstFuenteRevision");
    lstFuenteRevision_->setViewMode(QListView::IconMode);
    lstFuenteRevision_->setIconSize(GlyphPixmap({}).size());
    lstFuenteRevision_->setMinimumHeight(120);
    cmdFuentePoner_ = Named(new QPushButton(QStringLiteral("&Poner en la fuente")), "cmdFuentePoner");
    cmdFuenteDescartar_ = Named(new QPushButton(QStringLiteral("De&scartar")), "cmdFuenteDescartar");
    auto* grid = new QGridLayout(sistema);
    grid->addWidget(new QLabel(QStringLiteral("Familia:")), 0, 0);
    grid->addWidget(cboFuenteFamilia_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Estilo:")), 0, 2);
    grid->addWidget(cboFuenteEstilo_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Alto:")), 1, 0);
    grid->addWidget(spnFuenteAltura_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Umbral:")), 1, 2);
    grid->addWidget(spnFuenteUmbral_, 1, 3);
    auto* cuales = new QHBoxLayout;
    cuales->addWidget(optFuenteUno_);
    cuales->addWidget(txtFuenteRelleno_);
    cuales->addWidget(optFuenteTodos_);
    cuales->addStretch();
    cuales->addWidget(cmdFuenteDibujar_);
    grid->addLayout(cuales, 2, 0, 1, 4);
    grid->addWidget(lstFuenteRevision_, 3, 0, 1, 4);
    auto* revision = new QHBoxLayout;
    revision->addStretch();
    revision->addWidget(cmdFuentePoner_);
    revision->addWidget(cmdFuenteDescartar_);
    grid->addLayout(revision, 4, 0, 1, 4);

    txtFuenteNombre_ = Named(new QLineEdit, "txtFuenteNombre");
    txtFuenteNombre_->setToolTip(QStringLiteral("Nombre del archivo en la carpeta de fuentes."));
    cmdFuenteGuardar_ = Named(new QPushButton(QStringLiteral("&Guardar")), "cmdFuenteGuardar");
    cmdFuenteCerrar_ = Named(new QPushButton(QStringLiteral("Ce&rrar")), "cmdFuenteCerrar");
    auto* guardar = new QHBoxLayout;
    guardar->addWidget(new QLabel(QStringLiteral("Guardar como:")));
    guardar->addWidget(txtFuenteNombre_, 1);
    guardar->addWidget(cmdFuenteGuardar_);
    guardar->addWidget(cmdFuenteCerrar_);

    // The drawing and the system font side by side: the window fits a 1366 x 768 screen with
    // its buttons in view.
    centro->addWidget(sistema, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(archivo);
    layout->addWidget(lblFuenteRegistros_);
    layout->addLayout(centro, 1);
    layout->addWidget(muestra);
    layout->addLayout(guardar);

    connect(cmdFuenteAbrir_, &QPushButton::clicked, this, [this] { cmdFuenteAbrir_Click(); });
    connect(cmdFuenteNueva_, &QPushButton::clicked, this, [this] { cmdFuenteNueva_Click(); });
    connect(cmdFuenteAgregar_, &QPushButton::clicked, this, [this] { cmdFuenteAgregar_Click(); });
    connect(cmdFuenteQuitar_, &QPushButton::clicked, this, [this] { cmdFuenteQuitar_Click(); });
    connect(cmdFuenteCopiar_, &QPushButton::clicked, this, [this] { cmdFuenteCopiar_Click(); });
    connect(cmdFuenteDibujar_, &QPushButton::clicked, this, [this] { cmdFuenteDibujar_Click(); });
    connect(cmdFuentePoner_, &QPushButton::clicked, this, [this] { cmdFuentePoner_Click(); });
    connect(cmdFuenteDescartar_, &QPushButton::clicked, this,
            [this] { cmdFuenteDescartar_Click(); });
    connect(cmdFuenteGuardar_, &QPushButton::clicked, this, [this] { cmdFuenteGuardar_Click(); });
    connect(cmdFuenteCerrar_, &QPushButton::clicked, this, [this] { cmdFuenteCerrar_Click(); });
    connect(lstFuenteCaracteres_, &QListWidget::currentRowChanged, this, [this] { showCurrent(); });
    connect(txtFuenteMuestra_, &QLineEdit::textChanged, this, [this] { updateSample(); });
    connect(spnFuenteSepar_, &QSpinBox::valueChanged, this, [this] { updateSample(); });
    connect(cboFuenteFamilia_, &QComboBox::currentTextChanged, this, [this] { fillStyles(); });
    // Esc is "Cerrar", as in the program's other windows.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { cmdFuenteCerrar_Click(); });
    grdFuentePuntos_->onDot = [this](int column, int row, bool lit) {
        if (model_.setDot(currentCharacter(), column, row, lit)) changed();
    };

    const int dejaVu = static_cast<int>(cboFuenteFamilia_->findText(QStringLiteral("DejaVu Sans")));
    if (dejaVu >= 0) cboFuenteFamilia_->setCurrentIndex(dejaVu);
    fillStyles();
    setModel(FontModel{}, QString());
    cmdFuenteDescartar_Click();
}

std::string frmFuentes::pathOf(const QString& name) const {
    return services_.fontFolder() + "/" + name.toStdString();
}

void frmFuentes::refreshFiles() {
    const QString current = cboFuenteArchivo_->currentText();
    cboFuenteArchivo_->clear();
    cboFuenteArchivo_->addItems(QDir(QString::fromStdString(services_.fontFolder()))
                                    .entryList({QStringLiteral("*.ffv")}, QDir::Files, QDir::Name));
    const int row = cboFuenteArchivo_->findText(current);
    if (row >= 0) cboFuenteArchivo_->setCurrentIndex(row);
    cmdFuenteAbrir_->setEnabled(cboFuenteArchivo_->count() > 0);
}

char32_t frmFuentes::currentCharacter() const {
    const QListWidgetItem* item = lstFuenteCaracteres_->currentItem();
    return item ? static_cast<char32_t>(item->data(Qt::UserRole).toUInt()) : 0;
}

bool frmFuentes::mayDiscard() {
    return !modified_ ||
           services_.dialogs.question("La fuente tiene cambios sin guardar. ¿Desea descartarlos?",
                                      kTitle);
}

void frmFuentes::setModel(FontModel model, const QString& name) {
    model_ = std::move(model);
    modified_ = false;
    txtFuenteNombre_->setText(name);
    const int odd = model_.oddRecords();
    lblFuenteRegistros_->setText(
        odd == 0 ? QString()
                 : QStringLiteral("Esta fuente tiene %1 registro(s) que el editor no muestra "
                                  "(claves de 0 o 2 bytes, caracteres repetidos o bytes sueltos "
                                  "al final). Se guardan tal como están.")
                       .arg(odd));
    const std::vector<char32_t> chars = model_.characters();
    fillCharacters(chars.empty() ? 0 : chars.front());
}

void frmFuentes::fillCharacters(char32_t select) {
    QSignalBlocker block(lstFuenteCaracteres_);
    lstFuenteCaracteres_->clear();
    int row = -1;
    for (char32_t ch : model_.characters()) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1\tancho %2").arg(Shown(ch)).arg(model_.width(ch)));
        item->setData(Qt::UserRole, static_cast<uint>(ch));
        if (ch == select) row = lstFuenteCaracteres_->count();
        lstFuenteCaracteres_->addItem(item);
    }
    if (row < 0 && lstFuenteCaracteres_->count() > 0) row = 0;
    lstFuenteCaracteres_->setCurrentRow(row);
    block.unblock();
    showCurrent();
}

void frmFuentes::showCurrent() {
    const char32_t ch = currentCharacter();
    const bool any = model_.has(ch);
    grdFuentePuntos_->setDots(model_.dots(ch), any);
    lblFuenteAncho_->setText(any ? QStringLiteral("Ancho: %1").arg(model_.width(ch)) : QString());
    cmdFuenteQuitar_->setEnabled(any);
    cmdFuenteCopiar_->setEnabled(any);
    updateSample();
}

void frmFuentes::changed() {
    modified_ = true;
    // The list shows each width; only the current entry's can have changed.
    if (QListWidgetItem* item = lstFuenteCaracteres_->currentItem()) {
        const char32_t ch = currentCharacter();
        item->setText(QStringLiteral("%1\tancho %2").arg(Shown(ch)).arg(model_.width(ch)));
    }
    showCurrent();
}

void frmFuentes::updateSample() {
    const FontData data = model_.data();
    const QString name = txtFuenteNombre_->text().isEmpty() ? QStringLiteral("(nueva)")
                                                            : txtFuenteNombre_->text();
    ledFuenteMuestra_->setPreview(ComputeSignPreview(FromUtf8(txtFuenteMuestra_->text().toStdString()),
                                                     data, static_cast<Int16>(spnFuenteSepar_->value()),
                                                     services_.spaceWidth,
                                                     name.toStdString()));
}

void frmFuentes::fillStyles() {
    const QString family = cboFuenteFamilia_->currentText();
    std::vector<FontStyle> styles;
    for (const QString& style : QFontDatabase::styles(family)) {
        styles.push_back({style.toStdString(), QFontDatabase::weight(family, style),
                          QFontDatabase::italic(family, style)});
    }
    cboFuenteEstilo_->clear();
    for (const std::string& style : SortedStyles(std::move(styles)))
        cboFuenteEstilo_->addItem(QString::fromStdString(style));
}

void frmFuentes::cmdFuenteAbrir_Click() {
    const QString name = cboFuenteArchivo_->currentText();
    if (name.isEmpty() || !mayDiscard()) return;
    const FileContent content =
        ReadWholeFile(pathOf(name), kMaxEditedFontBytes, "El archivo es demasiado grande para ser una fuente.");
    if (!content.result.ok) {
        services_.dialogs.information("No se pudo abrir «" + name.toStdString() + "»: " +
                                      content.result.reason);
        return;
    }
    setModel(FontModel::FromBytes(content.bytes), name);
}

void frmFuentes::cmdFuenteNueva_Click() {
    if (!mayDiscard()) return;
    setModel(FontModel{}, QString());
}

void frmFuentes::cmdFuenteAgregar_Click() {
    const char32_t ch = OneCharacter(txtFuenteCaracter_);
    if (ch == 0) {
        services_.dialogs.information("Escriba en «Carácter» el carácter que desea agregar.");
        return;
    }
    const FontModel::AddResult result = model_.add(ch);
    if (result != FontModel::AddResult::Added) {
        services_.dialogs.information(AddRefusal(result, ch));
        return;
    }
    modified_ = true;
    fillCharacters(ch);
}

void frmFuentes::cmdFuenteQuitar_Click() {
    const char32_t ch = currentCharacter();
    if (!model_.remove(ch)) return;
    modified_ = true;
    const int row = lstFuenteCaracteres_->currentRow();
    const std::vector<char32_t> chars = model_.characters();
    fillCharacters(chars.empty() ? 0 : chars[std::min<std::size_t>(static_cast<std::size_t>(row), chars.size() - 1)]);
}

void frmFuentes::cmdFuenteCopiar_Click() {
    const char32_t from = currentCharacter();
    const char32_t to = OneCharacter(txtFuenteCaracter_);
    if (!model_.has(to)) {
        services_.dialogs.information(
            "Escriba en «Carácter» un carácter de la fuente sobre el que copiar los puntos de " +
            Quoted(from) + ".");
        return;
    }
    model_.copy(from, to);
    modified_ = true;
    fillCharacters(to);
}

void frmFuentes::cmdFuenteDibujar_Click() {
    std::u32string chars;
    if (optFuenteTodos_->isChecked()) {
        chars = SpanishCharacters();
    } else if (const char32_t ch = OneCharacter(txtFuenteRelleno_)) {
        chars.assign(1, ch);
    } else {
        services_.dialogs.information("Escriba el carácter que desea dibujar.");
        return;
    }
    const GlyphSource source{cboFuenteFamilia_->currentText(), cboFuenteEstilo_->currentText(),
                             spnFuenteAltura_->value(), spnFuenteUmbral_->value()};
    review_.clear();
    lstFuenteRevision_->clear();
    // Each glyph is shown for review, checked to go in; the operator unchecks those not wanted.
    for (const CutResult& g : DrawGlyphs(source, chars)) {
        review_.emplace_back(g.ch, g.dots);
        auto* item = new QListWidgetItem(QIcon(GlyphPixmap(g.dots)), Shown(g.ch));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        if (model_.has(g.ch)) item->setToolTip(QStringLiteral("La fuente ya tiene este carácter."));
        lstFuenteRevision_->addItem(item);
    }
    cmdFuentePoner_->setEnabled(true);
    cmdFuenteDescartar_->setEnabled(true);
}

void frmFuentes::cmdFuentePoner_Click() {
    std::vector<std::pair<char32_t, GlyphDots>> chosen;
    std::string there;
    int thereCount = 0;
    for (int i = 0; i < lstFuenteRevision_->count() && i < static_cast<int>(review_.size()); ++i) {
        if (lstFuenteRevision_->item(i)->checkState() != Qt::Checked) continue;
        chosen.push_back(review_[static_cast<std::size_t>(i)]);
        const char32_t ch = chosen.back().first;
        if (!model_.has(ch)) continue;
        if (++thereCount <= 20) there += " " + Shown(ch).toStdString();
    }
    // Drawings made by hand are not lost unasked.
    bool replace = true;
    if (thereCount > 0) {
        if (thereCount > 20) there += " …";
        const int answer = services_.dialogs.choose(
            "La fuente ya tiene " + std::to_string(thereCount) + " de estos caracteres:" + there +
                "\r\n¿Reemplaza sus dibujos o pone solo los caracteres que faltan?",
            kTitle, {"&Reemplazar", "&Solo los que faltan", "Cancelar"});
        if (answer != 0 && answer != 1) return;
        replace = answer == 0;
    }
    std::string refused;
    char32_t last = currentCharacter();
    for (const auto& [ch, dots] : chosen) {
        if (model_.has(ch) && !replace) continue;
        if (!model_.has(ch)) {
            const FontModel::AddResult result = model_.add(ch);
            if (result != FontModel::AddResult::Added) {
                refused += (refused.empty() ? "" : "\n") + AddRefusal(result, ch);
                continue;
            }
        }
        model_.setDots(ch, dots);
        last = ch;
        modified_ = true;
    }
    cmdFuenteDescartar_Click();
    fillCharacters(last);
    if (!refused.empty()) services_.dialogs.information(refused);
}

void frmFuentes::cmdFuenteDescartar_Click() {
    review_.clear();
    lstFuenteRevision_->clear();
    cmdFuentePoner_->setEnabled(false);
    cmdFuenteDescartar_->setEnabled(false);
}

void frmFuentes::cmdFuenteGuardar_Click() {
    QString name = txtFuenteNombre_->text().trimmed();
    if (name.isEmpty()) {
        services_.dialogs.information("Escriba el nombre de la fuente.");
        return;
    }
    if (name.contains(QLatin1Char('/')) || name == QStringLiteral(".") || name == QStringLiteral("..")) {
        services_.dialogs.information("El nombre de la fuente no puede llevar «/».");
        return;
    }
    if (!name.endsWith(QStringLiteral(".ffv"), Qt::CaseInsensitive)) name += QStringLiteral(".ffv");
    const std::string path = pathOf(name);
    if (QFileInfo::exists(QString::fromStdString(path)) &&
        !services_.dialogs.question("El archivo «" + name.toStdString() +
                                        "» ya existe. ¿Desea reemplazarlo?",
                                    "Guardar fuente")) {
        return;
    }
    const FileResult result = replacer_->Replace(path, model_.bytes());
    if (!result.ok) {
        services_.dialogs.information("No se pudo guardar «" + name.toStdString() + "»: " +
                                      result.reason);
        return;
    }
    modified_ = false;
    txtFuenteNombre_->setText(name);
    refreshFiles();
    cboFuenteArchivo_->setCurrentIndex(cboFuenteArchivo_->findText(name));
    if (services_.fontSaved) services_.fontSaved();
}

void frmFuentes::cmdFuenteCerrar_Click() {
    if (!mayDiscard()) return;
    // The operator gave up what was not saved: the window starts with a new font next time.
    if (modified_) setModel(FontModel{}, QString());
    hide();
    if (services_.closed) services_.closed();
}

void frmFuentes::closeEvent(QCloseEvent* event) {
    event->ignore();
    cmdFuenteCerrar_Click();
}

}  // namespace letrador
