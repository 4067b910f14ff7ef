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

std::string node_float_text(const TXmlNode& ANode, double AValue) {
    const doc_settings s = settings_of(ANode);
    return float_to_text(AValue, s.digits, s.scientific);
}

std::string node_datetime_text(const TXmlNode& ANode, double AValue, bool ADate, bool ATime) {
    const doc_settings s = settings_of(ANode);
    return datetime_to_text(AValue, {ADate, ATime, s.split, s.local});
}

// --- Typed values of the node itself

bool TXmlNode::ValueAsBool() const { return text_to_bool(GetValue()); }
std::int32_t TXmlNode::ValueAsInteger() const { return text_to_int(GetValue()); }
std::int64_t TXmlNode::ValueAsInt64() const { return text_to_int64(GetValue()); }
double TXmlNode::ValueAsFloat() const { return text_to_float(GetValue()); }
double TXmlNode::ValueAsDateTime() const { return text_to_datetime(GetValue(), false); }

bool TXmlNode::GetValueAsBoolDef(bool ADefault) const {
    bool v = false;
    return try_text_to_bool(GetValue(), v) ? v : ADefault;
}

double TXmlNode::GetValueAsFloatDef(double ADefault) const {
    double v = 0;
    return read_float_lenient(GetValue(), v) ? v : ADefault;
}

double TXmlNode::GetValueAsDateTimeDef(double ADefault) const {
    double v = 0;
    return try_text_to_datetime(GetValue(), false, v) ? v : ADefault;
}

std::int32_t TXmlNode::GetValueAsIntegerDef(std::int32_t ADefault) const {
    try {
        return text_to_int(GetValue());
    } catch (const EConvertError&) {
        return ADefault;
    }
}

std::int64_t TXmlNode::GetValueAsInt64Def(std::int64_t ADefault) const {
    std::int64_t v = 0;
    return try_text_to_int64(GetValue(), v) ? v : ADefault;
}

void TXmlNode::SetValueAsBool(bool AValue) { SetValue(bool_to_text(AValue)); }
void TXmlNode::SetValueAsFloat(double AValue) { SetValue(node_float_text(*this, AValue)); }
void TXmlNode::SetValueAsDate(double AValue) { SetValue(node_datetime_text(*this, AValue, true, false)); }
void TXmlNode::SetValueAsTime(double AValue) { SetValue(node_datetime_text(*this, AValue, false, true)); }
void TXmlNode::SetValueAsDateTime(double AValue) { SetValue(node_datetime_text(*this, AValue, true, true)); }
void TXmlNode::SetValueAsInteger(std::int32_t AValue) { SetValue(int_to_text(AValue)); }
void TXmlNode::SetValueAsInt64(std::int64_t AValue) { SetValue(int_to_text(AValue)); }

// --- Attributes

bool TXmlNode::ReadAttributeBool(std::string_view AName, bool ADefault) const {
    bool v = false;
    return try_text_to_bool(AttributeValueByName(AName), v) ? v : ADefault;
}

std::int32_t TXmlNode::ReadAttributeInteger(std::string_view AName, std::int32_t ADefault) const {
    try {
        return text_to_int(AttributeValueByName(AName));
    } catch (const EConvertError&) {
        return ADefault;
    }
}

std::int64_t TXmlNode::ReadAttributeInt64(std::string_view AName, std::int64_t ADefault) const {
    std::int64_t v = 0;
    return try_text_to_int64(AttributeValueByName(AName), v) ? v : ADefault;
}

double TXmlNode::ReadAttributeFloat(std::string_view AName, double ADefault) const {
    double v = 0;
    return try_text_to_float(AttributeValueByName(AName), v) ? v : ADefault;
}

std::string TXmlNode::ReadAttributeString(std::string_view AName, std::string_view ADefault) const {
    std::string v = AttributeValueByName(AName);
    return v.empty() ? std::string(ADefault) : v;
}

String TXmlNode::ReadAttributeUnicodeString(std::string_view AName, StringView ADefault) const {
    const std::string v = AttributeValueByName(AName);
    return v.empty() ? String(ADefault) : Utf8ToWide(v);
}

std::string TXmlNode::ReadAttributeAnsiString(std::string_view AName, std::string_view ADefault) const {
    const std::string v = AttributeValueByName(AName);
    return v.empty() ? std::string(ADefault) : ansi_text(v);
}

double TXmlNode::ReadAttributeDateTime(std::string_view AName, double ADefault) const {
    double v = 0;
    return try_text_to_datetime(AttributeValueByName(AName), settings_of(*this).local, v) ? v : ADefault;
}

// --- Named children

bool TXmlNode::ReadBool(std::string_view AName, bool ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? n->GetValueAsBoolDef(ADefault) : ADefault;
}

double TXmlNode::ReadDateTime(std::string_view AName, double ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? n->GetValueAsDateTimeDef(ADefault) : ADefault;
}

double TXmlNode::ReadFloat(std::string_view AName, double ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? n->GetValueAsFloatDef(ADefault) : ADefault;
}

std::int32_t TXmlNode::ReadInteger(std::string_view AName, std::int32_t ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? n->GetValueAsIntegerDef(ADefault) : ADefault;
}

std::int64_t TXmlNode::ReadInt64(std::string_view AName, std::int64_t ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? n->GetValueAsInt64Def(ADefault) : ADefault;
}

std::string TXmlNode::ReadString(std::string_view AName, std::string_view ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? n->GetValue() : std::string(ADefault);
}

String TXmlNode::ReadUnicodeString(std::string_view AName, StringView ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? Utf8ToWide(n->GetValue()) : String(ADefault);
}

std::string TXmlNode::ReadAnsiString(std::string_view AName, std::string_view ADefault) const {
    const TXmlNode* n = NodeByName(AName);
    return n ? ansi_text(n->GetValue()) : std::string(ADefault);
}

// --- Writers that may skip a value equal to its default

namespace {
template <class T>
bool should_write(const TXmlNode& n, const T& value, const T& def) {
    return settings_of(n).write_default || !(value == def);
}
} // namespace

void TXmlNode::WriteAttributeInteger(std::string_view AName, std::int32_t AValue, std::int32_t ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, int_to_text(AValue));
}
void TXmlNode::WriteAttributeInt64(std::string_view AName, std::int64_t AValue, std::int64_t ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, int_to_text(AValue));
}
void TXmlNode::WriteAttributeFloat(std::string_view AName, double AValue, double ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, node_float_text(*this, AValue));
}
void TXmlNode::WriteAttributeString(std::string_view AName, std::string_view AValue, std::string_view ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, AValue);
}
void TXmlNode::WriteAttributeUnicodeString(std::string_view AName, StringView AValue, StringView ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, WideToUtf8(AValue));
}
void TXmlNode::WriteAttributeAnsiString(std::string_view AName, std::string_view AValue, std::string_view ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, utf8_from_ansi(AValue, 0));
}
void TXmlNode::WriteAttributeDateTime(std::string_view AName, double AValue, double ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, node_datetime_text(*this, AValue, true, true));
}
void TXmlNode::WriteAttributeBool(std::string_view AName, bool AValue, bool ADefault) {
    if (should_write(*this, AValue, ADefault)) SetAttributeValueByName(AName, bool_to_text(AValue));
}

void TXmlNode::WriteBool(std::string_view AName, bool AValue, bool ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, bool_to_text(AValue));
}
void TXmlNode::WriteDateTime(std::string_view AName, double AValue, double ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, node_datetime_text(*this, AValue, true, true));
}
void TXmlNode::WriteFloat(std::string_view AName, double AValue, double ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, node_float_text(*this, AValue));
}
void TXmlNode::WriteHex(std::string_view AName, std::uint32_t AValue, int Digits, std::uint32_t ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, hex_to_text(AValue, Digits));
}
void TXmlNode::WriteInteger(std::string_view AName, std::int32_t AValue, std::int32_t ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, int_to_text(AValue));
}
void TXmlNode::WriteInt64(std::string_view AName, std::int64_t AValue, std::int64_t ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, int_to_text(AValue));
}
void TXmlNode::WriteString(std::string_view AName, std::string_view AValue, std::string_view ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, AValue);
}
void TXmlNode::WriteUnicodeString(std::string_view AName, StringView AValue, StringView ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, WideToUtf8(AValue));
}
void TXmlNode::WriteAnsiString(std::string_view AName, std::string_view AValue, std::string_view ADefault) {
    if (should_write(*this, AValue, ADefault)) WriteNodeValue(AName, utf8_from_ansi(AValue, 0));
}

// --- Binary content

int TXmlNode::BufferLength() const {
    return static_cast<int>(base64_length(strip_base64_blanks(GetValue())));
}

void TXmlNode::BufferRead(void* Buffer, int Count, TXmlBinaryEncoding BinaryEncoding) const {
    if (Count <= 0) return;
    const std::string cleaned = strip_base64_blanks(GetValue());
    const std::string bytes = BinaryEncoding == xbeBinHex ? decode_hex(cleaned, static_cast<std::size_t>(Count))
                                                          : decode_base64(cleaned, static_cast<std::size_t>(Count));
    std::memcpy(Buffer, bytes.data(), bytes.size());
}

void TXmlNode::BufferWrite(const void* Buffer, int Count) {
    std::string text;
    if (Count > 0) {
        text = insert_line_breaks(encode_base64(std::string_view(static_cast<const char*>(Buffer), static_cast<std::size_t>(Count))),
                                  FormatLineBreak() + IndentPrefix());
    }
    SetValue(text);
}

std::string TXmlNode::BinaryString() const {
    std::string bytes(static_cast<std::size_t>(BufferLength()), '\0');
    BufferRead(bytes.data(), static_cast<int>(bytes.size()), xbeBase64);
    return bytes;
}

void TXmlNode::SetBinaryString(std::string_view AValue) {
    if (AValue.empty()) {
        SetValue({});
    } else {
        BufferWrite(AValue.data(), static_cast<int>(AValue.size()));
    }
}

} // namespace kq
