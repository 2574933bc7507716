#pragma once

// The program's document templates: which window a document opens with. All three share
// resource 130 and its document string, whose fields name a new document, the file filter and
// the file extension.

#include <string>

struct DocumentTemplate {
    enum View { kDataList, kYtChart, kYxChart };

    unsigned resourceId;
    const char* documentString;
    View view;

    // Field `index` of the document string (fields are separated by "\n").
    [[nodiscard]] std::string field(int index) const {
        std::string s = documentString;
        for (int i = 0; i < index; ++i) {
            const auto at = s.find('\n');
            if (at == std::string::npos) return {};
            s.erase(0, at + 1);
        }
        return s.substr(0, s.find('\n'));
    }
    [[nodiscard]] std::string newDocumentName() const { return field(1); }  // "Untitled"
    [[nodiscard]] std::string filterName() const { return field(3); }  // "Korvane Files (*.krv)"
    [[nodiscard]] std::string extension() const { return field(4); }   // ".krv"
};

inline constexpr char kDocumentString[] = "\nUntitled\n\nKorvane Files (*.krv)\n.krv\n\n";

// Data list, y(t) chart, y(x) chart, in this order.
inline constexpr DocumentTemplate kDocumentTemplates[3] = {
    {130, kDocumentString, DocumentTemplate::kDataList},
    {130, kDocumentString, DocumentTemplate::kYtChart},
    {130, kDocumentString, DocumentTemplate::kYxChart},
};
