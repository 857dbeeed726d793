#include "message/tag_highlighter.h"

#include <QColor>
#include <QFont>

namespace letrador {

TagHighlighter::TagHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    plain_.setForeground(QColor(0, 0, 0));
    plain_.setFontWeight(QFont::Normal);
}

const QTextCharFormat& TagHighlighter::tagFormat(char32_t code) {
    const Rgb c = TagColor(code);
    for (const auto& [rgb, format] : tagFormats_) {
        if (rgb == c) return format;
    }
    QTextCharFormat tag;
    tag.setForeground(QColor(c.r, c.g, c.b));
    tag.setFontWeight(QFont::Bold);
    tagFormats_.emplace_back(c, tag);
    return tagFormats_.back().second;
}

void TagHighlighter::highlightBlock(const QString& text) {
    const int n = static_cast<int>(text.size());
    int i = 0;
    int plainFrom = 0;  // start of the run of plain characters before i
    while (i < n) {
        if (text[i] == QLatin1Char('<') && i + 2 < n && text[i + 2] == QLatin1Char('>')) {
            if (i > plainFrom) setFormat(plainFrom, i - plainFrom, plain_);
            setFormat(i, 3, tagFormat(static_cast<char32_t>(text[i + 1].unicode())));
            i += 3;
            plainFrom = i;
        } else {
            ++i;
        }
    }
    if (n > plainFrom) setFormat(plainFrom, n - plainFrom, plain_);
}

}  // namespace letrador
