#pragma once
// Helpers of the XML tests: a document that records its messages, and texts in UTF-16 bytes.
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <string>
#include <utility>
#include <vector>

namespace kq::xml_test {

// A document that records its messages.
struct logged_document {
    TXmlDocument doc;
    std::vector<std::pair<TXmlWarnStyle, std::string>> heard;
    logged_document() {
        doc.OnDebugOut = [this](TObject*, TXmlWarnStyle w, const std::string& m) { heard.emplace_back(w, m); };
    }
    void load(std::string_view bytes) {
        TXmlStringStream s(bytes);
        doc.LoadFromStream(s);
    }
    std::string save() {
        TXmlStringStream s;
        doc.SaveToStream(s);
        return s.DataString();
    }
    bool heard_text(const std::string& text) const {
        for (const auto& h : heard)
            if (h.second == text) return true;
        return false;
    }
    bool heard_message(TXmlWarnStyle style, const std::string& text) const {
        for (const auto& h : heard)
            if (h.first == style && h.second == text) return true;
        return false;
    }
    std::string all_heard() const {
        std::string out;
        for (const auto& h : heard) out += std::to_string(h.first) + " " + h.second + "\n";
        return out;
    }
};

inline std::string utf16(const std::u16string& text, bool little_endian) {
    std::string out;
    for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out.push_back(little_endian ? lo : hi);
        out.push_back(little_endian ? hi : lo);
    }
    return out;
}

} // namespace kq::xml_test
