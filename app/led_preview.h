// The LED preview under the paragraph editor: the paragraph's columns as red dots on a dark
// strip (7 rows, bit 0 at the top), a narrow mark where each effect tag stands, and the column
// figures of the paragraph and of the whole message.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "message/numeric.h"
#include "message/sign_preview.h"

class QLabel;
class QScrollArea;

namespace letrador {

// The strip itself; only the part in view is painted.
class LedStrip : public QWidget {
public:
    static constexpr int kPitch = 8;       // distance between dot centres
    static constexpr int kDot = 6;         // dot diameter
    static constexpr int kMarkWidth = 7;   // room a tag mark takes among the columns
    static constexpr int kMargin = 4;
    static constexpr int kMarkBand = 9;    // band above the dots where the tag marks point

    explicit LedStrip(QWidget* parent = nullptr);

    void setPreview(const SignPreview& preview);
    const std::vector<std::uint8_t>& columns() const { return columns_; }
    const std::vector<PreviewMarker>& markers() const { return markers_; }

    // Geometry, for painting, tool tips and tests.
    QPoint dotCentre(std::size_t column, int row) const;
    QRect markRect(std::size_t marker) const;
    // The tool tip shown at `pos`: the texts of the marks under it, "" elsewhere.
    QString toolTipAt(const QPoint& pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::vector<std::uint8_t> columns_;
    std::vector<PreviewMarker> markers_;
    std::vector<int> columnX_;  // left edge of each column's cell, ascending
    std::vector<int> markX_;    // left edge of each mark's slot, ascending
    int width_ = 0;
    QPixmap lit_, dark_;
};

class LedPreview : public QWidget {
public:
    explicit LedPreview(QWidget* parent = nullptr);

    // The paragraph's preview; "Columnas del párrafo" shows its count.
    void setPreview(const SignPreview& preview);
    // "Total del mensaje: M de C", red and bold when M is above C.
    void setTotal(Int16 total, Int16 capacity);

    LedStrip* strip() const { return strip_; }
    QScrollArea* scrollArea() const { return scroll_; }
    QLabel* paragraphLabel() const { return lblColumnas_; }
    QLabel* totalLabel() const { return lblTotal_; }
    QLabel* missingLabel() const { return lblSinDibujo_; }

private:
    LedStrip* strip_;
    QScrollArea* scroll_;
    QLabel* lblColumnas_;
    QLabel* lblTotal_;
    QLabel* lblSinDibujo_;
};

}  // namespace letrador
