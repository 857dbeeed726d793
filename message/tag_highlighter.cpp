#include "message/tag_highlighter.h"

#include <QColor>
#include <QFont>

#include "message/codepage.h"

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
    // Tags are found in characters, as the count and the preview find them; the formats are
    // laid on the block's UTF-16 units, where a character beyond the BMP takes two.
    const std::u32string chars = text.toStdU32String();
    std::size_t ch = 0;
    int unit = 0;
    auto unitAt = [&](std::size_t target) {
        for (; ch < target; ++ch) unit += QChar::requiresSurrogates(chars[ch]) ? 2 : 1;
        return unit;
    };
    int plainFrom = 0;  // start of the run of plain characters before the next tag
    for (const TagSpan& tag : FindTags(chars)) {
        const int from = unitAt(tag.start);
        if (from > plainFrom) setFormat(plainFrom, from - plainFrom, plain_);
        plainFrom = unitAt(tag.start + 3);
        setFormat(from, plainFrom - from, tagFormat(tag.code));
    }
    const int n = static_cast<int>(text.size());
    if (n > plainFrom) setFormat(plainFrom, n - plainFrom, plain_);
    // A character that a message file cannot hold is underlined as it is typed, in a tag or not,
    // as the preview marks a character the font lacks: saved, it would become "?".
    int at = 0;
    for (char32_t c : chars) {
        const int units = QChar::requiresSurrogates(c) ? 2 : 1;
        if (EncodeCp1252(c) < 0) {
            QTextCharFormat marked = format(at);
            marked.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            marked.setUnderlineColor(QColor(0xd0, 0x00, 0x00));
            setFormat(at, units, marked);
        }
        at += units;
    }
}

}  // namespace letrador
