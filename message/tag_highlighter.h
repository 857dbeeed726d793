// Colours the effect tags of the paragraph editor: tags bold in their effect's colour,
// everything else plain black. Display only; the text itself never changes.
#pragma once

#include <QSyntaxHighlighter>

namespace letrador {

class TagHighlighter : public QSyntaxHighlighter {
public:
    explicit TagHighlighter(QTextDocument* document);

protected:
    // A tag never holds a line break, so each line can be walked on its own.
    void highlightBlock(const QString& text) override;
};

}  // namespace letrador
