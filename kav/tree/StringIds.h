// The string ids the code refers to by number. The string-id table file gives
// each of these numbers its text; the table is checked against the code when
// the first string id is asked for (StringToId), and the build checks the
// table source against kFixedStringIds below. Every fixed id used anywhere in
// the library is named here and nowhere else.
#ifndef KAV_TREE_STRINGIDS_H
#define KAV_TREE_STRINGIDS_H

#include <cstddef>

namespace kav {
namespace sid {

// The answer for unknown ids.
constexpr unsigned int STRING_NOT_FOUND = 0;
// Attribute naming the class of a configuration node ("create" + text is the factory).
constexpr unsigned int CLASS_NAME = 4;
// Attribute naming the library that holds the factory.
constexpr unsigned int LIBRARY_NAME = 6;
// Attribute that, when "true", makes the builder skip the node.
constexpr unsigned int SKIP_NODE = 61;
// Parameter naming the slot-id conversion table.
constexpr unsigned int SLOT_ID_CONVERTER_TABLE = 92;
// Attribute holding a node's instance name.
constexpr unsigned int INSTANCE_NAME = 114;
// Boolean attribute marking a node hidden.
constexpr unsigned int HIDDEN = 115;
// Primary and secondary key of the error (SRC) table.
constexpr unsigned int SRC_PRIMARY_KEY = 128;
constexpr unsigned int SRC_SECONDARY_KEY = 129;
// Attribute holding a parameter's (or a layout table's / field's) name.
constexpr unsigned int PARAMETER_NAME = 151;
// Attribute holding a parameter's value.
constexpr unsigned int PARAMETER_VALUE = 240;
// The text "true": a boolean attribute is true exactly when its value has this id.
constexpr unsigned int TRUE_TEXT = 257;

struct FixedStringId {
  unsigned int id;
  const char* text;
};

// Every fixed id with the text the string-id table must give it, ascending.
constexpr FixedStringId kFixedStringIds[] = {
    {STRING_NOT_FOUND, "STRING_NOT_FOUND"},
    {CLASS_NAME, "class"},
    {LIBRARY_NAME, "library"},
    {SKIP_NODE, "skip"},
    {SLOT_ID_CONVERTER_TABLE, "LogSlotIdConverterTable"},
    {INSTANCE_NAME, "instanceName"},
    {HIDDEN, "hidden"},
    {SRC_PRIMARY_KEY, "PrimKey"},
    {SRC_SECONDARY_KEY, "SecKey"},
    {PARAMETER_NAME, "name"},
    {PARAMETER_VALUE, "value"},
    {TRUE_TEXT, "true"},
};

constexpr std::size_t kFixedStringIdCount = sizeof(kFixedStringIds) / sizeof(kFixedStringIds[0]);

// The text the table must give a fixed id, or null when the id is not fixed.
constexpr const char* fixedStringText(unsigned int id) {
  for (std::size_t i = 0; i < kFixedStringIdCount; ++i)
    if (kFixedStringIds[i].id == id) return kFixedStringIds[i].text;
  return nullptr;
}

}  // namespace sid
}  // namespace kav

#endif
