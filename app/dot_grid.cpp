#include "app/dot_grid.h"

#include <QMouseEvent>
#include <QPainter>

namespace letrador {

QPixmap GlyphPixmap(const GlyphDots& dots) {
    constexpr int kPitch = 5;
    QPixmap pixmap(kGlyphColumns * kPitch, kSignRows * kPitch);
    pixmap.fill(QColor(0x18, 0x14, 0x14));
    QPainter p(&pixmap);
    for (int c = 0; c < kGlyphColumns; ++c)
        for (int r = 0; r < kSignRows; ++r)
            if ((dots[static_cast<std::size_t>(c)] >> r) & 1)
                p.fillRect(c * kPitch, r * kPitch, kPitch - 1, kPitch - 1, QColor(0xff, 0x30, 0x20));
    return pixmap;
}


DotGrid::DotGrid(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("Un clic o un arrastre enciende o apaga puntos."));
}

QSize DotGrid::sizeHint() const { return QSize(kGlyphColumns * kCell + 1, kSignRows * kCell + 1); }

void DotGrid::setDots(const GlyphDots& dots, bool editable) {
    dots_ = dots;
    editable_ = editable;
    update();
}

QPoint DotGrid::cellCentre(int column, int row) const {
    return QPoint(column * kCell + kCell / 2, row * kCell + kCell / 2);
}

void DotGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), editable_ ? QColor(0x18, 0x14, 0x14) : QColor(0x50, 0x50, 0x50));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int c = 0; c < kGlyphColumns; ++c) {
        for (int r = 0; r < kSignRows; ++r) {
            const bool lit = (dots_[static_cast<std::size_t>(c)] >> r) & 1;
            p.setBrush(lit ? QColor(0xff, 0x30, 0x20) : QColor(0x3a, 0x22, 0x22));
            p.drawEllipse(cellCentre(c, r), kCell / 2 - 2, kCell / 2 - 2);
        }
    }
}

void DotGrid::touch(const QPoint& pos) {
    const int c = pos.x() / kCell, r = pos.y() / kCell;
    if (!editable_ || pos.x() < 0 || pos.y() < 0 || c >= kGlyphColumns || r >= kSignRows) return;
    const bool lit = (dots_[static_cast<std::size_t>(c)] >> r) & 1;
    if (lit == lighting_) return;
    if (onDot) onDot(c, r, lighting_);
}

void DotGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int c = pos.x() / kCell, r = pos.y() / kCell;
    if (c >= 0 && c < kGlyphColumns && r >= 0 && r < kSignRows)
        lighting_ = !((dots_[static_cast<std::size_t>(c)] >> r) & 1);
    touch(pos);
}

void DotGrid::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) touch(event->position().toPoint());
}

}  // namespace letrador
