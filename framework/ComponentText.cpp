#include "framework/ComponentText.h"

#include "framework/Components.h"
#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Properties.h"
#include "framework/Streams.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace kq {

namespace {

constexpr const char16_t* line_break = u"\r\n";
constexpr std::size_t string_line_width = 64; // quoted text per line before a string is split
constexpr std::size_t bytes_per_line = 32;
// Objects and collections nest far less deeply in any real text; the limit keeps a damaged or hostile
// file from exhausting the stack of the recursive parser.
constexpr int max_nesting = 100;

String ascii(std::string_view text) { return String(text.begin(), text.end()); }

String line_text(int line) { return Format(u"Line %d: ", {line}); }

// --- Writing values

String float_text(double value, bool single) {
    char buffer[64];
    const auto result = single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value))
                               : std::to_chars(buffer, buffer + sizeof buffer, value);
    return ascii(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

// Printable ASCII goes inside quotes, anything else as #code (one UTF-16 code unit each), so the
// text stays ASCII. Returns the pieces that may start a new line.
std::vector<String> string_pieces(StringView value) {
    std::vector<String> pieces;
    String quoted;
    const auto flush = [&] {
        if (quoted.empty()) return;
        pieces.push_back(u"'" + quoted + u"'");
        quoted.clear();
    };
    for (char16_t c : value) {
        if (c >= 32 && c < 127) {
            quoted += c;
            if (c == u'\'') quoted += c;
            if (quoted.size() >= string_line_width) flush();
        } else {
            flush();
            String code = u"#";
            code += IntToStr(c);
            pieces.push_back(std::move(code));
        }
    }
    flush();
    if (pieces.empty()) pieces.push_back(u"''");
    return pieces;
}

// Pieces are joined directly; a line that grows too long continues on the next with '+'.
String string_text(StringView value, const String& continuation_indent) {
    String out, line;
    for (const String& piece : string_pieces(value)) {
        if (!line.empty() && line.size() + piece.size() > string_line_width) {
            out += line + u" +" + line_break + continuation_indent;
            line.clear();
        }
        line += piece;
    }
    return out + line;
}

String binary_text(const byte_block& bytes, const String& indent) {
    static constexpr char digits[] = "0123456789ABCDEF";
    String out = u"{";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % bytes_per_line == 0) out += line_break + indent;
        out += static_cast<char16_t>(digits[bytes[i] >> 4]);
        out += static_cast<char16_t>(digits[bytes[i] & 15]);
    }
    return out + u"}";
}

String set_text(const property_info& info, std::uint64_t bits) {
    String out = u"[";
    for (std::size_t i = 0; i < info.names.size() && i < 64; ++i) {
        if (!(bits & (std::uint64_t{1} << i))) continue;
        if (out.size() > 1) out += u", ";
        out += info.names[i];
    }
    return out + u"]";
}

class text_writer {
public:
    explicit text_writer(TComponent& root) : FRoot(root) {}

    String take() { return std::move(FOut); }

    void write_component(TComponent& component, int depth) {
        const TComponentState saved = component.ComponentState();
        component.SetComponentState(saved + TComponentState{TComponentStateFlag::csWriting});
        const scope_exit restore{[&] { component.SetComponentState(saved); }};

        const String indent(static_cast<std::size_t>(depth) * 2, u' ');
        String header = indent + u"object ";
        if (!component.Name().empty()) header += component.Name() + u": ";
        emit(header + component.ClassName());
        write_properties(component, u"", depth + 1);
        component.GetChildren([&](TComponent* child) { write_component(*child, depth + 1); }, &FRoot);
        emit(indent + u"end");
    }

private:
    void emit(const String& line) { FOut += line + line_break; }

    void write_properties(const TPersistent& object, const String& prefix, int depth) {
        const String indent(static_cast<std::size_t>(depth) * 2, u' ');
        for (const property_info* info : object.PublishedProperties().all()) {
            const property_value value = info->get(object);
            if (is_default_value(*info, value)) continue;
            const String path = prefix + info->name;
            if (info->kind == property_kind::persistent) {
                write_properties(*std::get<TPersistent*>(value), path + u".", depth);
            } else if (info->kind == property_kind::collection) {
                write_collection(static_cast<const TCollection&>(*std::get<TPersistent*>(value)), indent + path, depth);
            } else if (auto text = value_text(*info, value, indent + u"  ")) {
                emit(indent + path + u" = " + *text);
            }
        }
    }

    void write_collection(const TCollection& collection, const String& head, int depth) {
        const String item_indent(static_cast<std::size_t>(depth + 1) * 2, u' ');
        emit(head + u" = <");
        for (int i = 0; i < collection.Count(); ++i) {
            emit(item_indent + u"item");
            write_properties(*collection.Items(i), u"", depth + 2);
            FOut += item_indent + u"end";
            if (i + 1 == collection.Count()) FOut += u">";
            FOut += line_break;
        }
    }

    // nullopt for a reference that text cannot name (a component outside the root's reach).
    std::optional<String> value_text(const property_info& info, const property_value& value, const String& indent) const {
        switch (info.kind) {
        case property_kind::integer:
        case property_kind::unsigned_integer: return IntToStr(std::get<std::int64_t>(value));
        case property_kind::boolean: return std::get<std::int64_t>(value) ? String(u"True") : String(u"False");
        case property_kind::enumeration: {
            const auto ordinal = std::get<std::int64_t>(value);
            if (ordinal >= 0 && ordinal < static_cast<std::int64_t>(info.names.size()))
                return info.names[static_cast<std::size_t>(ordinal)];
            return IntToStr(ordinal);
        }
        case property_kind::set: return set_text(info, static_cast<std::uint64_t>(std::get<std::int64_t>(value)));
        case property_kind::color:
        case property_kind::cursor: {
            const auto number = std::get<std::int64_t>(value);
            if (const String* name = info.idents->name_of(number)) return *name;
            return IntToStr(number);
        }
        case property_kind::floating: return float_text(std::get<double>(value), info.single_precision);
        case property_kind::string: return string_text(std::get<String>(value), indent);
        case property_kind::event: return std::get<String>(value);
        case property_kind::binary: return binary_text(std::get<byte_block>(value), indent);
        case property_kind::component: {
            const TComponent* target = std::get<TComponent*>(value);
            if (target->Name().empty() || (target != &FRoot && target->Owner() != &FRoot)) return std::nullopt;
            return target->Name();
        }
        case property_kind::persistent:
        case property_kind::collection: break;
        }
        return std::nullopt;
    }

    TComponent& FRoot;
    String FOut;
};

// --- The parsed text

enum class token_kind { end, ident, integer, floating, string, binary, symbol };

struct token {
    token_kind kind = token_kind::end;
    String text;          // identifier, string value, or the symbol
    std::int64_t integer = 0;
    double floating = 0;
    byte_block bytes;
    int line = 1, column = 1;
};

struct text_item;

enum class value_kind { ident, integer, floating, string, binary, set, collection };

struct text_value {
    value_kind kind = value_kind::ident;
    String text; // identifier or string
    std::int64_t integer = 0;
    double floating = 0;
    byte_block bytes;
    std::vector<String> members;
    std::vector<text_item> items;
};

struct text_property {
    std::vector<String> path;
    text_value value;
    int line = 0;
};

struct text_item {
    std::vector<text_property> properties;
};

struct text_object {
    String name, class_name;
    int line = 0;
    std::vector<text_property> properties;
    std::vector<text_object> children;
};

String joined_path(const std::vector<String>& path) {
    String out;
    for (const String& part : path) out += (out.empty() ? u"" : u".") + part;
    return out;
}

// --- Tokens

bool ident_start(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; }
bool digit(char16_t c) { return c >= u'0' && c <= u'9'; }
int hex_value(char16_t c) {
    if (digit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

class tokenizer {
public:
    explicit tokenizer(StringView text) : FText(text) {}

    token next() {
        skip_blanks();
        token t;
        t.line = FLine;
        t.column = column();
        if (FPos >= FText.size()) return t;
        const char16_t c = FText[FPos];
        if (ident_start(c)) {
            t.kind = token_kind::ident;
            while (FPos < FText.size() && (ident_start(FText[FPos]) || digit(FText[FPos]))) t.text += FText[FPos++];
        } else if (digit(c) || c == u'$' || (c == u'-' && FPos + 1 < FText.size() && (digit(FText[FPos + 1]) || FText[FPos + 1] == u'$'))) {
            number(t);
        } else if (c == u'\'' || c == u'#') {
            t.kind = token_kind::string;
            t.text = string_value(t);
        } else if (c == u'{') {
            t.kind = token_kind::binary;
            t.bytes = binary_value();
        } else {
            t.kind = token_kind::symbol;
            t.text = String(1, c);
            ++FPos;
        }
        return t;
    }

    [[noreturn]] void fail(const String& what) const { fail_at(FLine, column(), what); }

    [[noreturn]] static void fail_at(int line, int column, const String& what) {
        throw EReadError(Format(u"Line %d, column %d: %s", {line, column, what}));
    }

private:
    int column() const { return static_cast<int>(FPos - FLineStart) + 1; }

    void skip_blanks() {
        while (FPos < FText.size()) {
            const char16_t c = FText[FPos];
            if (c == u'\n') {
                ++FLine;
                FLineStart = ++FPos;
            } else if (c == u' ' || c == u'\t' || c == u'\r') {
                ++FPos;
            } else {
                break;
            }
        }
    }

    // Errors point at the number's start.
    void number(token& t) {
        const auto invalid = [&t] { fail_at(t.line, t.column, u"invalid number"); };
        const bool negative = FText[FPos] == u'-';
        if (negative) ++FPos;
        std::string digits;
        if (FText[FPos] == u'$') {
            ++FPos;
            while (FPos < FText.size() && hex_value(FText[FPos]) >= 0) digits += static_cast<char>(FText[FPos++]);
            std::uint64_t value = 0;
            const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
            if (digits.empty() || r.ec != std::errc() || value > static_cast<std::uint64_t>(INT64_MAX)) invalid();
            t.kind = token_kind::integer;
            t.integer = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
            return;
        }
        if (negative) digits += '-';
        bool is_float = false;
        while (FPos < FText.size()) {
            const char16_t c = FText[FPos];
            const bool exponent_sign = (c == u'+' || c == u'-') && !digits.empty() && (digits.back() == 'e' || digits.back() == 'E');
            if (digit(c) || exponent_sign) {
            } else if (c == u'.' || c == u'e' || c == u'E') {
                is_float = true;
            } else {
                break;
            }
            digits += static_cast<char>(c);
            ++FPos;
        }
        const char* first = digits.data();
        const char* last = digits.data() + digits.size();
        const auto r = is_float ? std::from_chars(first, last, t.floating) : std::from_chars(first, last, t.integer);
        if (r.ec != std::errc() || r.ptr != last) invalid();
        t.kind = is_float ? token_kind::floating : token_kind::integer;
    }

    // Quoted runs and #codes, adjacent. An unclosed quote is reported where the string starts.
    String string_value(const token& t) {
        String value;
        while (FPos < FText.size()) {
            if (FText[FPos] == u'\'') {
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == u'\n') fail_at(t.line, t.column, u"unterminated string");
                    const char16_t c = FText[FPos++];
                    if (c != u'\'') {
                        value += c;
                    } else if (FPos < FText.size() && FText[FPos] == u'\'') {
                        value += c;
                        ++FPos;
                    } else {
                        break;
                    }
                }
            } else if (FText[FPos] == u'#') {
                ++FPos;
                const bool hex = FPos < FText.size() && FText[FPos] == u'$';
                if (hex) ++FPos;
                std::uint32_t code = 0;
                std::size_t count = 0;
                for (; FPos < FText.size(); ++FPos, ++count) {
                    const int d = hex ? hex_value(FText[FPos]) : (digit(FText[FPos]) ? FText[FPos] - u'0' : -1);
                    if (d < 0) break;
                    code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
                    if (code > 0xFFFF) fail(u"invalid character code");
                }
                if (count == 0) fail(u"invalid character code");
                value += static_cast<char16_t>(code);
            } else {
                break;
            }
        }
        return value;
    }

    byte_block binary_value() {
        ++FPos; // '{'
        byte_block bytes;
        int high = -1;
        for (;;) {
            skip_blanks();
            if (FPos >= FText.size()) fail(u"'}' expected");
            const char16_t c = FText[FPos];
            if (c == u'}') break;
            const int d = hex_value(c);
            if (d < 0) fail(u"invalid binary data");
            ++FPos;
            if (high < 0) {
                high = d;
            } else {
                bytes.push_back(static_cast<std::uint8_t>(high * 16 + d));
                high = -1;
            }
        }
        if (high >= 0) fail(u"invalid binary data");
        ++FPos;
        return bytes;
    }

    StringView FText;
    std::size_t FPos = 0, FLineStart = 0;
    int FLine = 1;
};

// --- Parsing

class parser {
public:
    explicit parser(StringView text) : FTokens(text) { advance(); }

    text_object parse() {
        text_object root = object();
        if (FToken.kind != token_kind::end) fail(u"end of text expected");
        return root;
    }

private:
    void advance() { FToken = FTokens.next(); }
    bool at_symbol(char16_t c) const { return FToken.kind == token_kind::symbol && FToken.text.size() == 1 && FToken.text[0] == c; }
    bool at_word(StringView word) const { return FToken.kind == token_kind::ident && SameText(FToken.text, word); }
    [[noreturn]] void fail(const String& what) const { tokenizer::fail_at(FToken.line, FToken.column, what); }

    void expect_symbol(char16_t c) {
        if (!at_symbol(c)) {
            String what(1, u'\'');
            what += c;
            fail(what + u"' expected");
        }
        advance();
    }
    String expect_ident() {
        if (FToken.kind != token_kind::ident) fail(u"identifier expected");
        String text = std::move(FToken.text);
        advance();
        return text;
    }

    text_object object() {
        if (!at_word(u"object")) fail(u"'object' expected");
        const nesting_level level(*this);
        text_object result;
        result.line = FToken.line;
        advance();
        String first = expect_ident();
        if (at_symbol(u':')) {
            advance();
            result.name = std::move(first);
            result.class_name = expect_ident();
        } else {
            result.class_name = std::move(first);
        }
        while (!at_word(u"end")) {
            if (at_word(u"object"))
                result.children.push_back(object());
            else
                result.properties.push_back(property());
        }
        advance();
        return result;
    }

    text_property property() {
        text_property result;
        result.line = FToken.line;
        result.path.push_back(expect_ident());
        while (at_symbol(u'.')) {
            advance();
            result.path.push_back(expect_ident());
        }
        expect_symbol(u'=');
        result.value = value();
        return result;
    }

    text_value value() {
        text_value v;
        switch (FToken.kind) {
        case token_kind::ident:
            v.kind = value_kind::ident;
            v.text = expect_ident();
            while (at_symbol(u'.')) { // a component of another root
                advance();
                v.text += u'.';
                v.text += expect_ident();
            }
            return v;
        case token_kind::integer:
            v.kind = value_kind::integer;
            v.integer = FToken.integer;
            break;
        case token_kind::floating:
            v.kind = value_kind::floating;
            v.floating = FToken.floating;
            break;
        case token_kind::binary:
            v.kind = value_kind::binary;
            v.bytes = std::move(FToken.bytes);
            break;
        case token_kind::string:
            v.kind = value_kind::string;
            v.text = std::move(FToken.text);
            advance();
            while (at_symbol(u'+')) {
                advance();
                if (FToken.kind != token_kind::string) fail(u"string expected");
                v.text += FToken.text;
                advance();
            }
            return v;
        case token_kind::symbol:
            if (at_symbol(u'[')) return set_value();
            if (at_symbol(u'<')) return collection_value();
            fail(u"value expected");
        case token_kind::end: fail(u"value expected");
        }
        advance();
        return v;
    }

    // [a, b]
    text_value set_value() {
        text_value v;
        v.kind = value_kind::set;
        advance();
        if (!at_symbol(u']')) {
            v.members.push_back(expect_ident());
            while (at_symbol(u',')) {
                advance();
                v.members.push_back(expect_ident());
            }
        }
        expect_symbol(u']');
        return v;
    }

    // <item ... end item ... end>
    text_value collection_value() {
        const nesting_level level(*this);
        text_value v;
        v.kind = value_kind::collection;
        advance();
        while (!at_symbol(u'>')) {
            if (!at_word(u"item")) fail(u"'item' expected");
            advance();
            text_item item;
            while (!at_word(u"end")) item.properties.push_back(property());
            advance();
            v.items.push_back(std::move(item));
        }
        advance();
        return v;
    }

    class nesting_level {
    public:
        explicit nesting_level(parser& p) : FParser(p) {
            if (++p.FDepth > max_nesting) p.fail(u"nesting too deep");
        }
        nesting_level(const nesting_level&) = delete;
        nesting_level& operator=(const nesting_level&) = delete;
        ~nesting_level() { --FParser.FDepth; }

    private:
        parser& FParser;
    };

    int FDepth = 0;
    tokenizer FTokens;
    token FToken;
};

// --- Applying the parsed text

class applier {
public:
    explicit applier(TComponent& root) : FRoot(root) {}

    void apply(const text_object& text) {
        const auto clear_states = scope_exit{[this] {
            for (TComponent* c : FLoaded)
                c->SetComponentState(c->ComponentState() - TComponentState{TComponentStateFlag::csLoading, TComponentStateFlag::csReading});
        }};
        begin_loading(FRoot);
        if (!text.name.empty() && FRoot.Name() != text.name) FRoot.SetName(text.name);
        apply_object(text, FRoot);
        for (const fixup& f : FFixups) resolve(f);
        bind_fields();
        for (TComponent* c : FLoaded) c->SetComponentState(c->ComponentState() - TComponentState{TComponentStateFlag::csReading});
        for (TComponent* c : FLoaded) c->Loaded();
    }

private:
    struct fixup {
        TPersistent* target;
        const property_info* info;
        String name;
        String path;
        int line;
    };

    void begin_loading(TComponent& c) {
        c.SetComponentState(c.ComponentState() + TComponentState{TComponentStateFlag::csLoading, TComponentStateFlag::csReading});
        FLoaded.push_back(&c);
    }

    void apply_object(const text_object& text, TComponent& component) {
        for (const text_property& p : text.properties) apply_property(component, p);
        for (const text_object& child_text : text.children) {
            TComponent& child = find_or_create(child_text);
            child.SetParentComponent(&component);
            apply_object(child_text, child);
        }
    }

    TComponent& find_or_create(const text_object& text) {
        TComponent* existing = FRoot.FindComponent(text.name);
        if (existing && SameText(existing->ClassName(), text.class_name)) {
            begin_loading(*existing);
            FLines.emplace_back(existing, text.line);
            return *existing;
        }
        const component_factory create = find_class(text.class_name);
        if (!create) throw EReadError(line_text(text.line) + u"class " + text.class_name + u" not found");
        TComponent* child = create(&FRoot); // owned by the root from here on
        begin_loading(*child);
        child->SetName(text.name);
        FLines.emplace_back(child, text.line);
        return *child;
    }

    // Every field the root declares must find its component, read now or owned before.
    void bind_fields() {
        for (const field_info* f : FRoot.PublishedProperties().fields()) {
            TComponent* found = FRoot.FindComponent(f->name);
            if (!found) throw EReadError(u"field " + f->name + u" has no component of that name");
            if (f->set(FRoot, found)) continue;
            const auto read = std::find_if(FLines.begin(), FLines.end(), [&](const auto& l) { return l.first == found; });
            throw EReadError((read == FLines.end() ? String() : line_text(read->second)) + u"field " + f->name +
                             u" needs a " + f->class_name + u", not a " + found->ClassName());
        }
    }

    void apply_property(TPersistent& object, const text_property& p) {
        const String path = joined_path(p.path);
        TPersistent* target = &object;
        const property_info* info = nullptr;
        for (std::size_t i = 0; i < p.path.size(); ++i) {
            info = target->PublishedProperties().find(p.path[i]);
            if (!info) throw EReadError(line_text(p.line) + u"property " + path + u" does not exist");
            if (i + 1 < p.path.size()) {
                TPersistent* sub = info->kind == property_kind::persistent ? std::get<TPersistent*>(info->get(*target)) : nullptr;
                if (!sub) throw EReadError(line_text(p.line) + u"property " + path + u" does not exist");
                target = sub;
            }
        }
        set_value(*target, *info, p.value, path, p.line);
    }

    [[noreturn]] static void bad_value(const String& path, int line) {
        throw EReadError(line_text(line) + u"invalid value for property " + path);
    }

    void set_value(TPersistent& target, const property_info& info, const text_value& v, const String& path, int line) {
        const auto require = [&](bool ok) {
            if (!ok) bad_value(path, line);
        };
        switch (info.kind) {
        case property_kind::integer:
        case property_kind::unsigned_integer:
        case property_kind::color:
        case property_kind::cursor: {
            std::optional<std::int64_t> number;
            if (v.kind == value_kind::integer) number = v.integer;
            else if (v.kind == value_kind::ident && info.idents) number = info.idents->value_of(v.text);
            require(number && *number >= info.min && *number <= info.max);
            info.set(target, *number);
            return;
        }
        case property_kind::boolean: {
            const bool is_true = v.kind == value_kind::ident && SameText(v.text, u"True");
            require(is_true || (v.kind == value_kind::ident && SameText(v.text, u"False")));
            info.set(target, std::int64_t{is_true});
            return;
        }
        case property_kind::enumeration: {
            require(v.kind == value_kind::ident);
            info.set(target, member_ordinal(info, v.text, path, line));
            return;
        }
        case property_kind::set: {
            require(v.kind == value_kind::set);
            std::uint64_t bits = 0;
            for (const String& m : v.members) bits |= std::uint64_t{1} << member_ordinal(info, m, path, line);
            info.set(target, static_cast<std::int64_t>(bits));
            return;
        }
        case property_kind::floating: {
            require(v.kind == value_kind::floating || v.kind == value_kind::integer);
            const double number = v.kind == value_kind::floating ? v.floating : static_cast<double>(v.integer);
            // A 32-bit float cannot hold it; converting would give infinity, which no text can show. The
            // limit is where rounding to float reaches infinity, so the text written for the largest float
            // (rounded up as a double) reads back.
            require(!info.single_precision || std::fabs(number) < 0x1.ffffffp+127);
            info.set(target, number);
            return;
        }
        case property_kind::string:
            require(v.kind == value_kind::string);
            info.set(target, v.text);
            return;
        case property_kind::binary:
            require(v.kind == value_kind::binary);
            info.set(target, v.bytes);
            return;
        case property_kind::collection:
            require(v.kind == value_kind::collection);
            fill_collection(static_cast<TCollection&>(*std::get<TPersistent*>(info.get(target))), v.items);
            return;
        case property_kind::component:
            require(v.kind == value_kind::ident);
            FFixups.push_back({&target, &info, v.text, path, line});
            return;
        case property_kind::event: {
            require(v.kind == value_kind::ident);
            const method_info* method = FRoot.PublishedProperties().find_method(v.text);
            if (!method) throw EReadError(line_text(line) + u"method " + v.text + u" not found for property " + path);
            require(info.bind(target, method->make(FRoot)));
            return;
        }
        case property_kind::persistent: break;
        }
        bad_value(path, line);
    }

    static std::int64_t member_ordinal(const property_info& info, const String& name, const String& path, int line) {
        const auto found = std::find_if(info.names.begin(), info.names.end(), [&](const String& n) { return SameText(n, name); });
        if (found == info.names.end()) bad_value(path, line);
        return found - info.names.begin();
    }

    void fill_collection(TCollection& collection, const std::vector<text_item>& items) {
        collection.BeginUpdate();
        // Not a scope_exit: EndUpdate raises the collection's change, which may throw, and a destructor must not.
        try {
            collection.Clear();
            for (const text_item& item : items) {
                TCollectionItem* added = collection.Add();
                for (const text_property& p : item.properties) apply_property(*added, p);
            }
        } catch (...) {
            collection.EndUpdate(); // the batch must close even when an item fails; the error goes on
            throw;
        }
        collection.EndUpdate();
    }

    void resolve(const fixup& f) {
        TComponent* found = SameText(FRoot.Name(), f.name) && !f.name.empty() ? &FRoot : FRoot.FindComponent(f.name);
        if (!found || !f.info->accepts(found)) bad_value(f.path, f.line);
        f.info->set(*f.target, found);
    }

    TComponent& FRoot;
    std::vector<TComponent*> FLoaded;
    std::vector<fixup> FFixups;
    std::vector<std::pair<const TComponent*, int>> FLines; // the components read, with their object's line
};

} // namespace

// --- Public entry points

String write_component_text(TComponent& root) {
    text_writer writer(root);
    writer.write_component(root, 0);
    return writer.take();
}

void write_component_text(TStream& stream, TComponent& root) {
    const std::string utf8 = string_to_utf8(write_component_text(root));
    stream.WriteBuffer(utf8.data(), static_cast<std::int64_t>(utf8.size()));
}

void read_component_text(StringView text, TComponent& root) {
    const text_object parsed = parser(text).parse();
    applier(root).apply(parsed);
}

void read_component_text(TStream& stream, TComponent& root) {
    const std::int64_t count = stream.Size() - stream.Position();
    std::string utf8(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)), '\0');
    stream.ReadBuffer(utf8.data(), static_cast<std::int64_t>(utf8.size()));
    read_component_text(utf8_to_string(utf8), root);
}

} // namespace kq
