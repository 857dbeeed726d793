#include "message/tag_highlighter.h"

#include <QColor>
#include <QFont>
#include <QTextCharFormat>

#include "message/effect_tags.h"

namespace letrador {

TagHighlighter::TagHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void TagHighlighter::highlightBlock(const QString& text) {
    QTextCharFormat plain;
    plain.setForeground(QColor(0, 0, 0));
    plain.setFontWeight(QFont::Normal);
    setFormat(0, static_cast<int>(text.size()), plain);

    const int n = static_cast<int>(text.size());
    int i = 0;
    while (i < n) {
        if (text[i] == QLatin1Char('<') && i + 2 < n && text[i + 2] == QLatin1Char('>')) {
            Rgb c = TagColor(static_cast<char32_t>(text[i + 1].unicode()));
            QTextCharFormat tag;
            tag.setForeground(QColor(c.r, c.g, c.b));
            tag.setFontWeight(QFont::Bold);
            setFormat(i, 3, tag);
            i += 3;
        } else {
            ++i;
        }
    }
}

}  // namespace letrador
