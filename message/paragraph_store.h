// The message being edited: the paragraph records and the counters and flags beside them
// (the editing side of the module mdlParrafos). One instance, made by the application.
#pragma once

#include <string>
#include <vector>

#include "message/font_file.h"
#include "message/numeric.h"

namespace letrador {

struct ParagraphRecord {
    Int16 Number = 0;
    std::string FontFile;  // file name without folder, "" until a font is picked
    std::u32string Text;   // plain text with its effect tags; line breaks as CR LF
    Int16 Columns = 0;     // the count made when the paragraph was last saved
    bool Ignore = false;   // left out of recordings and of the total
    Int16 Separation = 1;  // empty columns between characters
};

struct ParagraphStore {
    // Record k (1-based) is Paragraphs[k - 1].
    std::vector<ParagraphRecord> Paragraphs;
    Int16 ParagraphCount = 0;
    Int16 MaxParagraphs = 50;
    Int16 SignCapacity = 2046;
    Int16 LastParagraphColumns = 0;
    bool CapacityExceeded = false;
    Int16 DefaultSeparation = 1;
    Int16 SpaceWidth = 3;
    bool MessageModified = false;

    std::string FontFolder;     // full path, set at start-up
    std::string MessageFolder;  // full path, set at start-up
    std::string ParagraphEndMarker = "fin_parrafo";

    bool hasParagraph(int k) const { return k >= 1 && k <= static_cast<int>(Paragraphs.size()); }
    ParagraphRecord& paragraph(int k) { return Paragraphs.at(static_cast<std::size_t>(k - 1)); }
    const ParagraphRecord& paragraph(int k) const {
        return Paragraphs.at(static_cast<std::size_t>(k - 1));
    }
    // FontFolder joined with a paragraph's font file name; a name that could lead out of the
    // folder gives a path that opens nothing (FontPathIn).
    std::string fontPath(const std::string& fontFile) const { return FontPathIn(FontFolder, fontFile); }
};

}  // namespace letrador
