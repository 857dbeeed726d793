// Colours the effect tags of the paragraph editor: tags bold in their effect's colour,
// everything else plain black; characters a message file cannot hold get a wavy red underline.
// Display only; the text itself never changes.
#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <vector>

#include "message/effect_tags.h"

namespace letrador {

class TagHighlighter : public QSyntaxHighlighter {
public:
    explicit TagHighlighter(QTextDocument* document);

protected:
    // A tag never holds a line break, so each line can be walked on its own.
    void highlightBlock(const QString& text) override;

private:
    // One shared format per colour: a paragraph full of tags then costs no format building,
    // and equal formats compare by identity when the highlighter hands them to the layout.
    const QTextCharFormat& tagFormat(char32_t code);

    QTextCharFormat plain_;
    std::vector<std::pair<Rgb, QTextCharFormat>> tagFormats_;
};

}  // namespace letrador
