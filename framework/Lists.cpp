#include "framework/Lists.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Streams.h"

#include <algorithm>
#include <string>

namespace kq {

namespace {

constexpr char16_t name_value_separator = u'=';
constexpr StringView line_break = u"\r\n";

[[noreturn]] void raise_sorted_list_error() { throw EListError(u"Operation not allowed on sorted list"); }

bool is_blank(char16_t c) noexcept { return c <= u' '; }

bool needs_quotes(StringView text) {
    return text.empty() ||
           std::any_of(text.begin(), text.end(), [](char16_t c) { return is_blank(c) || c == u',' || c == u'"'; });
}

String decode_text(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        String text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
        return text;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return utf8_to_string(std::string_view(bytes).substr(3));
    return utf8_to_string(bytes);
}

} // namespace

// --- TStringList

TStringList::~TStringList() { Clear(); }

std::size_t TStringList::checked(int index) const {
    if (index < 0 || index >= Count()) raise_list_index_error(index);
    return static_cast<std::size_t>(index);
}

void TStringList::release(TObject* object) {
    if (OwnsObjects) delete object;
}

int TStringList::compare(StringView a, StringView b) const {
    return FCaseSensitive ? CompareStr(a, b) : AnsiCompareText(a, b);
}

const String& TStringList::Strings(int index) const { return FItems[checked(index)].text; }

void TStringList::SetStrings(int index, String text) {
    if (FSorted) raise_sorted_list_error();
    FItems[checked(index)].text = std::move(text);
}

TObject* TStringList::Objects(int index) const { return FItems[checked(index)].object; }

void TStringList::SetObjects(int index, TObject* object) {
    TObject* old = std::exchange(FItems[checked(index)].object, object);
    if (old != object) release(old);
}

int TStringList::AddObject(String text, TObject* object) {
    int index = Count();
    if (FSorted && Find(text, index)) {
        if (Duplicates == dupIgnore) return index;
        if (Duplicates == dupError) throw EListError(u"String list does not allow duplicates");
        // dupAccept: after the equal ones, so equal strings keep their order of adding.
        while (index < Count() && compare(FItems[static_cast<std::size_t>(index)].text, text) == 0) ++index;
    }
    FItems.insert(FItems.begin() + index, item{std::move(text), object});
    return index;
}

void TStringList::InsertObject(int index, String text, TObject* object) {
    if (FSorted) raise_sorted_list_error();
    if (index != Count()) checked(index);
    FItems.insert(FItems.begin() + index, item{std::move(text), object});
}

void TStringList::Delete(int index) {
    TObject* object = FItems[checked(index)].object;
    FItems.erase(FItems.begin() + index);
    release(object);
}

void TStringList::Clear() {
    std::vector<item> old;
    old.swap(FItems);
    for (item& i : old) release(i.object);
}

bool TStringList::Find(StringView text, int& index) const {
    const auto at = std::lower_bound(FItems.begin(), FItems.end(), text,
                                     [this](const item& i, StringView t) { return compare(i.text, t) < 0; });
    index = static_cast<int>(at - FItems.begin());
    return at != FItems.end() && compare(at->text, text) == 0;
}

int TStringList::IndexOf(StringView text) const {
    if (FSorted) {
        int index = 0;
        return Find(text, index) ? index : -1;
    }
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (compare(FItems[i].text, text) == 0) return static_cast<int>(i);
    return -1;
}

// --- Names and values

int TStringList::IndexOfName(StringView name) const {
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        const StringView line = FItems[i].text;
        const std::size_t at = line.find(name_value_separator);
        if (at != StringView::npos && compare(line.substr(0, at), name) == 0) return static_cast<int>(i);
    }
    return -1;
}

String TStringList::Names(int index) const {
    const String& line = Strings(index);
    const std::size_t at = line.find(name_value_separator);
    return at == String::npos ? String() : line.substr(0, at);
}

String TStringList::ValueFromIndex(int index) const {
    const String& line = Strings(index);
    const std::size_t at = line.find(name_value_separator);
    return at == String::npos ? String() : line.substr(at + 1);
}

String TStringList::Values(StringView name) const {
    const int index = IndexOfName(name);
    return index < 0 ? String() : ValueFromIndex(index);
}

void TStringList::SetValues(StringView name, StringView value) {
    const int index = IndexOfName(name);
    if (value.empty()) {
        if (index >= 0) Delete(index);
        return;
    }
    String line = String(name) + name_value_separator + String(value);
    if (index < 0) {
        Add(std::move(line));
    } else if (FSorted) {
        // The line may belong elsewhere once its text changes.
        TObject* object = std::exchange(FItems[static_cast<std::size_t>(index)].object, nullptr);
        Delete(index);
        AddObject(std::move(line), object);
    } else {
        FItems[static_cast<std::size_t>(index)].text = std::move(line);
    }
}

// --- Text forms

String TStringList::Text() const {
    String text;
    for (const item& i : FItems) text.append(i.text).append(line_break);
    return text;
}

void TStringList::SetText(StringView text) {
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
        Add(String(text.substr(start, end - start)));
        if (end < text.size() && text[end] == u'\r') ++end;
        if (end < text.size() && text[end] == u'\n') ++end;
        start = end;
    }
}

String TStringList::CommaText() const {
    String text;
    for (const item& i : FItems) {
        if (&i != FItems.data()) text += u',';
        if (!needs_quotes(i.text)) {
            text += i.text;
            continue;
        }
        text += u'"';
        for (char16_t c : i.text) {
            if (c == u'"') text += u'"';
            text += c;
        }
        text += u'"';
    }
    return text;
}

void TStringList::SetCommaText(StringView text) {
    Clear();
    std::size_t at = 0;
    auto skip_blanks = [&] {
        while (at < text.size() && is_blank(text[at])) ++at;
    };
    skip_blanks();
    while (at < text.size()) {
        String value;
        if (text[at] == u'"') {
            // A doubled quote stands for one; an unclosed quote runs to the end.
            for (++at; at < text.size(); ++at) {
                if (text[at] == u'"') {
                    if (at + 1 < text.size() && text[at + 1] == u'"') ++at;
                    else break;
                }
                value += text[at];
            }
            if (at < text.size()) ++at;
        } else {
            const std::size_t start = at;
            while (at < text.size() && !is_blank(text[at]) && text[at] != u',') ++at;
            value = text.substr(start, at - start);
        }
        Add(std::move(value));
        skip_blanks();
        if (at < text.size() && text[at] == u',') {
            ++at;
            skip_blanks();
        }
    }
}

// --- Order

void TStringList::Sort() {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const item& a, const item& b) { return compare(a.text, b.text) < 0; });
}

void TStringList::SetSorted(bool value) {
    if (value && !FSorted) Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    FCaseSensitive = value;
    if (FSorted) Sort();
}

// --- Files

void TStringList::LoadFromStream(TStream& stream) {
    std::string bytes(static_cast<std::size_t>(stream.Size() - stream.Position()), '\0');
    stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    SetText(decode_text(bytes));
}

void TStringList::SaveToStream(TStream& stream) const {
    const std::string bytes = string_to_utf8(Text());
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TStringList::LoadFromFile(const String& file_name) {
    TFileStream file(file_name, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TStringList::SaveToFile(const String& file_name) const {
    TFileStream file(file_name, fmCreate);
    SaveToStream(file);
}

} // namespace kq
