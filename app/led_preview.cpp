#include "app/led_preview.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QScrollArea>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

namespace letrador {
namespace {

const QColor kBackground(0x18, 0x14, 0x14);
const QColor kLitDot(0xff, 0x30, 0x20);
const QColor kLitGlow(0xff, 0x60, 0x40, 0x60);
const QColor kDarkDot(0x3a, 0x22, 0x22);
const QColor kEffectMark(0xf0, 0xc0, 0x30);
const QColor kRefusedMark(0x90, 0x90, 0x90);
const QColor kMissingMark(0x40, 0xa0, 0xff);

constexpr int kRows = 7;

// One dot drawn once and stamped for every column: a strip of 2046 columns holds 14322 dots.
QPixmap DotPixmap(bool lit) {
    const int size = LedStrip::kPitch;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF dot((size - LedStrip::kDot) / 2.0, (size - LedStrip::kDot) / 2.0, LedStrip::kDot,
                     LedStrip::kDot);
    if (lit) {
        p.setBrush(kLitGlow);
        p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        p.setBrush(kLitDot);
    } else {
        p.setBrush(kDarkDot);
    }
    p.drawEllipse(dot);
    return pixmap;
}

int DotsTop() { return LedStrip::kMargin + LedStrip::kMarkBand; }

// A one-line label that takes the width the layout gives it and ends in "…" when its text is
// longer; its text stays whole (and shows whole as the tool tip).
class ElidedLabel : public QLabel {
public:
    ElidedLabel() { setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect area = contentsRect();
        style()->drawItemText(&p, area, int(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(text(), Qt::ElideRight, area.width()),
                              foregroundRole());
    }
};

}  // namespace

LedStrip::LedStrip(QWidget* parent) : QWidget(parent), lit_(DotPixmap(true)), dark_(DotPixmap(false)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    width_ = 2 * kMargin;
}

void LedStrip::setPreview(const SignPreview& preview) {
    columns_ = preview.columns;
    markers_ = preview.markers;

    // Marks take their own slot just before the column they stand in front of, so that a tag
    // between two characters never hides a dot.
    columnX_.assign(columns_.size(), 0);
    markX_.assign(markers_.size(), 0);
    int x = kMargin;
    std::size_t mark = 0;
    for (std::size_t c = 0; c <= columns_.size(); ++c) {
        while (mark < markers_.size() && markers_[mark].column <= c) {
            markX_[mark++] = x;
            x += kMarkWidth;
        }
        if (c < columns_.size()) {
            columnX_[c] = x;
            x += kPitch;
        }
    }
    width_ = x + kMargin;
    resize(sizeHint());
    updateGeometry();
    update();
}

QSize LedStrip::sizeHint() const {
    return QSize(width_, DotsTop() + kRows * kPitch + kMargin);
}

QPoint LedStrip::dotCentre(std::size_t column, int row) const {
    return QPoint(columnX_.at(column) + kPitch / 2, DotsTop() + row * kPitch + kPitch / 2);
}

QRect LedStrip::markRect(std::size_t marker) const {
    return QRect(markX_.at(marker), kMargin, kMarkWidth, kMarkBand + kRows * kPitch);
}

QString LedStrip::toolTipAt(const QPoint& pos) const {
    QStringList texts;
    for (std::size_t m = 0; m < markers_.size(); ++m) {
        if (markRect(m).contains(pos)) texts << QString::fromStdString(markers_[m].toolTip);
    }
    return texts.join(QLatin1Char('\n'));
}

void LedStrip::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect area = event->rect();
    p.fillRect(area, kBackground);

    // Only the columns in view: the strip is far wider than the scroll area.
    const int left = area.left() - kPitch;
    const int right = area.right() + 1;
    auto first = std::lower_bound(columnX_.begin(), columnX_.end(), left);
    for (auto it = first; it != columnX_.end() && *it < right; ++it) {
        const std::uint8_t column = columns_[static_cast<std::size_t>(it - columnX_.begin())];
        for (int row = 0; row < kRows; ++row) {
            p.drawPixmap(*it, DotsTop() + row * kPitch, DotLit(column, row) ? lit_ : dark_);
        }
    }

    p.setRenderHint(QPainter::Antialiasing);
    for (std::size_t m = 0; m < markers_.size(); ++m) {
        const QRect r = markRect(m);
        if (r.right() < area.left() || r.left() > area.right()) continue;
        const PreviewMarker::Kind kind = markers_[m].kind;
        const QColor colour = kind == PreviewMarker::Kind::Effect    ? kEffectMark
                              : kind == PreviewMarker::Kind::Missing ? kMissingMark
                                                                     : kRefusedMark;
        // A small downward triangle in the band above the dots, and a thin line through them.
        const qreal cx = r.left() + r.width() / 2.0;
        QPolygonF arrow;
        arrow << QPointF(r.left() + 0.5, kMargin) << QPointF(r.right() + 0.5, kMargin)
              << QPointF(cx, kMargin + kMarkBand - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(arrow);
        p.fillRect(QRectF(cx - 1, DotsTop(), 2, kRows * kPitch), colour);
    }
}

bool LedStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

LedPreview::LedPreview(QWidget* parent)
    : QWidget(parent),
      strip_(new LedStrip),
      scroll_(new QScrollArea),
      lblColumnas_(new QLabel),
      lblTotal_(new QLabel),
      lblSinDibujo_(new ElidedLabel) {
    strip_->setObjectName(QStringLiteral("ledPreviewStrip"));
    lblColumnas_->setObjectName(QStringLiteral("lblPreviewColumnas"));
    lblTotal_->setObjectName(QStringLiteral("lblPreviewTotal"));
    lblSinDibujo_->setObjectName(QStringLiteral("lblPreviewSinDibujo"));
    lblSinDibujo_->setStyleSheet(QStringLiteral("color: #0050a0;"));

    scroll_->setWidget(strip_);
    scroll_->setWidgetResizable(false);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setBackgroundRole(QPalette::Dark);
    QPalette palette = scroll_->palette();
    palette.setColor(QPalette::Dark, kBackground);
    scroll_->setPalette(palette);
    scroll_->setFixedHeight(strip_->sizeHint().height() + scroll_->horizontalScrollBar()->sizeHint().height() +
                            2 * scroll_->frameWidth());
    scroll_->setToolTip(QStringLiteral("Así se verá el párrafo en el cartel"));

    auto* figures = new QHBoxLayout;
    figures->addWidget(lblColumnas_);
    figures->addStretch();
    figures->addWidget(lblTotal_);
    // A line of its own, kept when empty, so that nothing moves when it fills.
    lblSinDibujo_->setMinimumHeight(lblSinDibujo_->fontMetrics().height());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    layout->addLayout(figures);
    layout->addWidget(lblSinDibujo_);

    setPreview(SignPreview{});
    setTotal(0, 2046);
}

void LedPreview::setPreview(const SignPreview& preview) {
    strip_->setPreview(preview);
    lblColumnas_->setText(QStringLiteral("Columnas del párrafo: %1").arg(preview.count));
    const QString missing = QString::fromStdString(MissingLine(preview));
    lblSinDibujo_->setText(missing);
    lblSinDibujo_->setToolTip(missing);
}

void LedPreview::setTotal(Int16 total, Int16 capacity) {
    lblTotal_->setText(QStringLiteral("Total del mensaje: %1 de %2").arg(total).arg(capacity));
    lblTotal_->setStyleSheet(total > capacity ? QStringLiteral("color: #c00000; font-weight: bold;")
                                              : QString());
}

}  // namespace letrador
