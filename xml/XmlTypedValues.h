#pragma once
// Typed values of nodes: the value, named children and attributes of a TXmlNode read and written as
// numbers, booleans, date-times, UTF-16 or ANSI text and Base64 binary data. The accessors are members of
// TXmlNode (its "Typed values" section); this unit writes their texts with the settings of the node's
// document (significant digits, scientific form, split seconds, local bias).
#include "xml/XmlNodeTree.h"

#include <string>

namespace kq {

// A float as the node's document writes it.
std::string node_float_text(const TXmlNode& node, double value);
// A date, a time or both as the node's document writes them.
std::string node_datetime_text(const TXmlNode& node, double value, bool date, bool time);

} // namespace kq
