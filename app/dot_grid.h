// A glyph's dots on screen: the grid a character is drawn in, and a small picture of it.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

#include "message/font_model.h"

namespace letrador {

// The chosen character as a grid of 10 columns by the sign's rows; a press or a drag lights
// the dots it passes when the first one was dark, and darkens them when it was lit.
class DotGrid : public QWidget {
public:
    static constexpr int kCell = 22;
    explicit DotGrid(QWidget* parent = nullptr);
    void setDots(const GlyphDots& dots, bool editable);
    const GlyphDots& dots() const { return dots_; }
    QPoint cellCentre(int column, int row) const;
    std::function<void(int column, int row, bool lit)> onDot;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void touch(const QPoint& pos);
    GlyphDots dots_{};
    bool editable_ = false;
    bool lighting_ = true;
};

// The dots of a glyph as a small picture: lit dots red on dark.
QPixmap GlyphPixmap(const GlyphDots& dots);

}  // namespace letrador
