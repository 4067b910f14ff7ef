#include "xml/XmlTypedValues.h"

#include "framework/Exceptions.h"
#include "xml/XmlDocument.h"

#include <cstring>

namespace kq {

namespace {

struct doc_settings {
    int digits = 6;
    bool scientific = true;
    int split = 0;
    bool local = false;
    bool write_default = true;
};

doc_settings settings_of(const TXmlNode& n) {
    doc_settings s;
    if (const TXmlDocument* d = n.Document()) {
        s.digits = d->FloatSignificantDigits;
        s.scientific = d->FloatAllowScientific;
        s.split = d->SplitSecondDigits;
        s.local = d->UseLocalBias;
        s.write_default = d->WriteOnDefault;
    }
    return s;
}

// The forms with a default accept a decimal comma.
bool read_float_lenient(std::string text, double& v) {
    for (char& c : text)
        if (c == ',') c = '.';
    return try_text_to_float(text, v);
}

std::string ansi_text(std::string_view utf8) {
    bool used_default = false;
    return ansi_from_utf8(utf8, 0, used_default);
}

} // namespace

std::string node_float_text(const TXmlNode& node, double value) {
    const doc_settings s = settings_of(node);
    return float_to_text(value, s.digits, s.scientific);
}

std::string node_datetime_text(const TXmlNode& node, double value, bool date, bool time) {
    const doc_settings s = settings_of(node);
    return datetime_to_text(value, {date, time, s.split, s.local});
}

// --- Typed values of the node itself

bool TXmlNode::ValueAsBool() const { return text_to_bool(GetValue()); }
std::int32_t TXmlNode::ValueAsInteger() const { return text_to_int(GetValue()); }
std::int64_t TXmlNode::ValueAsInt64() const { return text_to_int64(GetValue()); }
double TXmlNode::ValueAsFloat() const { return text_to_float(GetValue()); }
double TXmlNode::ValueAsDateTime() const { return text_to_datetime(GetValue(), false); }

bool TXmlNode::GetValueAsBoolDef(bool default_value) const {
    bool v = false;
    return try_text_to_bool(GetValue(), v) ? v : default_value;
}

double TXmlNode::GetValueAsFloatDef(double default_value) const {
    double v = 0;
    return read_float_lenient(GetValue(), v) ? v : default_value;
}

double TXmlNode::GetValueAsDateTimeDef(double default_value) const {
    double v = 0;
    return try_text_to_datetime(GetValue(), false, v) ? v : default_value;
}

std::int32_t TXmlNode::GetValueAsIntegerDef(std::int32_t default_value) const {
    try {
        return text_to_int(GetValue());
    } catch (const EConvertError&) {
        return default_value;
    }
}

std::int64_t TXmlNode::GetValueAsInt64Def(std::int64_t default_value) const {
    std::int64_t v = 0;
    return try_text_to_int64(GetValue(), v) ? v : default_value;
}

void TXmlNode::SetValueAsBool(bool value) { SetValue(bool_to_text(value)); }
void TXmlNode::SetValueAsFloat(double value) { SetValue(node_float_text(*this, value)); }
void TXmlNode::SetValueAsDate(double value) { SetValue(node_datetime_text(*this, value, true, false)); }
void TXmlNode::SetValueAsTime(double value) { SetValue(node_datetime_text(*this, value, false, true)); }
void TXmlNode::SetValueAsDateTime(double value) { SetValue(node_datetime_text(*this, value, true, true)); }
void TXmlNode::SetValueAsInteger(std::int32_t value) { SetValue(int_to_text(value)); }
void TXmlNode::SetValueAsInt64(std::int64_t value) { SetValue(int_to_text(value)); }

// --- Attributes

bool TXmlNode::ReadAttributeBool(std::string_view name, bool default_value) const {
    bool v = false;
    return try_text_to_bool(AttributeValueByName(name), v) ? v : default_value;
}

std::int32_t TXmlNode::ReadAttributeInteger(std::string_view name, std::int32_t default_value) const {
    try {
        return text_to_int(AttributeValueByName(name));
    } catch (const EConvertError&) {
        return default_value;
    }
}

std::int64_t TXmlNode::ReadAttributeInt64(std::string_view name, std::int64_t default_value) const {
    std::int64_t v = 0;
    return try_text_to_int64(AttributeValueByName(name), v) ? v : default_value;
}

double TXmlNode::ReadAttributeFloat(std::string_view name, double default_value) const {
    double v = 0;
    return try_text_to_float(AttributeValueByName(name), v) ? v : default_value;
}

std::string TXmlNode::ReadAttributeString(std::string_view name, std::string_view default_value) const {
    std::string v = AttributeValueByName(name);
    return v.empty() ? std::string(default_value) : v;
}

String TXmlNode::ReadAttributeUnicodeString(std::string_view name, StringView default_value) const {
    const std::string v = AttributeValueByName(name);
    return v.empty() ? String(default_value) : Utf8ToWide(v);
}

std::string TXmlNode::ReadAttributeAnsiString(std::string_view name, std::string_view default_value) const {
    const std::string v = AttributeValueByName(name);
    return v.empty() ? std::string(default_value) : ansi_text(v);
}

double TXmlNode::ReadAttributeDateTime(std::string_view name, double default_value) const {
    double v = 0;
    return try_text_to_datetime(AttributeValueByName(name), settings_of(*this).local, v) ? v : default_value;
}

// --- Named children

bool TXmlNode::ReadBool(std::string_view name, bool default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? n->GetValueAsBoolDef(default_value) : default_value;
}

double TXmlNode::ReadDateTime(std::string_view name, double default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? n->GetValueAsDateTimeDef(default_value) : default_value;
}

double TXmlNode::ReadFloat(std::string_view name, double default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? n->GetValueAsFloatDef(default_value) : default_value;
}

std::int32_t TXmlNode::ReadInteger(std::string_view name, std::int32_t default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? n->GetValueAsIntegerDef(default_value) : default_value;
}

std::int64_t TXmlNode::ReadInt64(std::string_view name, std::int64_t default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? n->GetValueAsInt64Def(default_value) : default_value;
}

std::string TXmlNode::ReadString(std::string_view name, std::string_view default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? n->GetValue() : std::string(default_value);
}

String TXmlNode::ReadUnicodeString(std::string_view name, StringView default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? Utf8ToWide(n->GetValue()) : String(default_value);
}

std::string TXmlNode::ReadAnsiString(std::string_view name, std::string_view default_value) const {
    const TXmlNode* n = NodeByName(name);
    return n ? ansi_text(n->GetValue()) : std::string(default_value);
}

// --- Writers that may skip a value equal to its default

namespace {
template <class T>
bool should_write(const TXmlNode& n, const T& value, const T& def) {
    return settings_of(n).write_default || !(value == def);
}
} // namespace

void TXmlNode::WriteAttributeInteger(std::string_view name, std::int32_t value, std::int32_t default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, int_to_text(value));
}
void TXmlNode::WriteAttributeInt64(std::string_view name, std::int64_t value, std::int64_t default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, int_to_text(value));
}
void TXmlNode::WriteAttributeFloat(std::string_view name, double value, double default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, node_float_text(*this, value));
}
void TXmlNode::WriteAttributeString(std::string_view name, std::string_view value, std::string_view default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, value);
}
void TXmlNode::WriteAttributeUnicodeString(std::string_view name, StringView value, StringView default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, WideToUtf8(value));
}
void TXmlNode::WriteAttributeAnsiString(std::string_view name, std::string_view value, std::string_view default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, utf8_from_ansi(value, 0));
}
void TXmlNode::WriteAttributeDateTime(std::string_view name, double value, double default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, node_datetime_text(*this, value, true, true));
}
void TXmlNode::WriteAttributeBool(std::string_view name, bool value, bool default_value) {
    if (should_write(*this, value, default_value)) SetAttributeValueByName(name, bool_to_text(value));
}

void TXmlNode::WriteBool(std::string_view name, bool value, bool default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, bool_to_text(value));
}
void TXmlNode::WriteDateTime(std::string_view name, double value, double default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, node_datetime_text(*this, value, true, true));
}
void TXmlNode::WriteFloat(std::string_view name, double value, double default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, node_float_text(*this, value));
}
void TXmlNode::WriteHex(std::string_view name, std::uint32_t value, int digits, std::uint32_t default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, hex_to_text(value, digits));
}
void TXmlNode::WriteInteger(std::string_view name, std::int32_t value, std::int32_t default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, int_to_text(value));
}
void TXmlNode::WriteInt64(std::string_view name, std::int64_t value, std::int64_t default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, int_to_text(value));
}
void TXmlNode::WriteString(std::string_view name, std::string_view value, std::string_view default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, value);
}
void TXmlNode::WriteUnicodeString(std::string_view name, StringView value, StringView default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, WideToUtf8(value));
}
void TXmlNode::WriteAnsiString(std::string_view name, std::string_view value, std::string_view default_value) {
    if (should_write(*this, value, default_value)) WriteNodeValue(name, utf8_from_ansi(value, 0));
}

// --- Binary content

int TXmlNode::BufferLength() const {
    return static_cast<int>(base64_length(strip_base64_blanks(GetValue())));
}

void TXmlNode::BufferRead(void* buffer, int count, TXmlBinaryEncoding binary_encoding) const {
    if (count <= 0) return;
    const std::string cleaned = strip_base64_blanks(GetValue());
    const std::string bytes = binary_encoding == xbeBinHex ? decode_hex(cleaned, static_cast<std::size_t>(count))
                                                          : decode_base64(cleaned, static_cast<std::size_t>(count));
    std::memcpy(buffer, bytes.data(), bytes.size());
}

void TXmlNode::BufferWrite(const void* buffer, int count) {
    std::string text;
    if (count > 0) {
        text = insert_line_breaks(encode_base64(std::string_view(static_cast<const char*>(buffer), static_cast<std::size_t>(count))),
                                  FormatLineBreak() + IndentPrefix());
    }
    SetValue(text);
}

std::string TXmlNode::BinaryString() const {
    std::string bytes(static_cast<std::size_t>(BufferLength()), '\0');
    BufferRead(bytes.data(), static_cast<int>(bytes.size()), xbeBase64);
    return bytes;
}

void TXmlNode::SetBinaryString(std::string_view value) {
    if (value.empty()) {
        SetValue({});
    } else {
        BufferWrite(value.data(), static_cast<int>(value.size()));
    }
}

} // namespace kq
