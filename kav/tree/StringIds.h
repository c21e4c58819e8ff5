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

// Slot-id conversion table: internal slot id (key) and official slot id.
constexpr unsigned int LOG_SLOT_ID_INTERNAL = 26;
constexpr unsigned int LOG_SLOT_ID_OFFICIAL = 27;
// Name of the group nodes of a table layout.
constexpr unsigned int TABLE_LAYOUT_GROUP = 36;
// Size in bytes of a table-layout field.
constexpr unsigned int FIELD_SIZE = 120;
// Columns of the error (SRC) table.
constexpr unsigned int SRC_LOG_CLASS_TYPE = 123;
constexpr unsigned int SRC_EVENT_NAME = 124;
constexpr unsigned int SRC_FEDC_OPTIONS = 125;
constexpr unsigned int SRC_LOG_MODE = 126;
constexpr unsigned int SRC_PIH_POSITIONS = 127;
constexpr unsigned int SRC_SRC = 130;
constexpr unsigned int SRC_LOG_STATUS = 131;
constexpr unsigned int SRC_TRAILER = 133;
constexpr unsigned int SRC_LOG_TYPE = 134;
constexpr unsigned int SRC_LOG_USER = 135;
// The two accepted log-mode names of the error table (log mode 2 and 1).
constexpr unsigned int LOG_MODE_ALWAYS = 330;
constexpr unsigned int LOG_MODE_ONCE = 331;

// Id map of an id provider: entry node name, key and value attributes.
constexpr unsigned int ID_MAP_ENTRY = 25;
constexpr unsigned int ID_MAP_KEY = 106;
constexpr unsigned int ID_MAP_VALUE = 108;
// Side named by a "BuildFileList" node of a FRU build row.
constexpr unsigned int BUILD_SIDE = 159;
// Plug detect id of a plug detector.
constexpr unsigned int PLUG_DETECT_ID = 184;
// Plug pattern of a FRU build row.
constexpr unsigned int PLUG_PATTERN = 186;
// Slot id of a slot-id provider (also the slot list of a redundancy controller).
constexpr unsigned int SLOT_ID = 209;
// Keys of the id provider: card type and hardware level.
constexpr unsigned int ID_KEY_CARD_TYPE = 66;
constexpr unsigned int ID_KEY_HARDWARE_LEVEL = 67;

struct FixedStringId {
  unsigned int id;
  const char* text;
};

// Every fixed id with the text the string-id table must give it, ascending.
constexpr FixedStringId kFixedStringIds[] = {
    {STRING_NOT_FOUND, "STRING_NOT_FOUND"},
    {CLASS_NAME, "class"},
    {LIBRARY_NAME, "library"},
    {ID_MAP_ENTRY, "IdEntry"},
    {LOG_SLOT_ID_INTERNAL, "internalSlotId"},
    {LOG_SLOT_ID_OFFICIAL, "logSlotId"},
    {TABLE_LAYOUT_GROUP, "group"},
    {SKIP_NODE, "skip"},
    {ID_KEY_CARD_TYPE, "CardTypeId"},
    {ID_KEY_HARDWARE_LEVEL, "HardwareLevelId"},
    {SLOT_ID_CONVERTER_TABLE, "LogSlotIdConverterTable"},
    {ID_MAP_KEY, "idKey"},
    {ID_MAP_VALUE, "idValue"},
    {INSTANCE_NAME, "instanceName"},
    {HIDDEN, "hidden"},
    {FIELD_SIZE, "size"},
    {SRC_LOG_CLASS_TYPE, "logClassType"},
    {SRC_EVENT_NAME, "eventName"},
    {SRC_FEDC_OPTIONS, "fedcOptions"},
    {SRC_LOG_MODE, "logMode"},
    {SRC_PIH_POSITIONS, "pihPositions"},
    {SRC_PRIMARY_KEY, "PrimKey"},
    {SRC_SECONDARY_KEY, "SecKey"},
    {SRC_SRC, "src"},
    {SRC_LOG_STATUS, "logStatus"},
    {SRC_TRAILER, "trailer"},
    {SRC_LOG_TYPE, "logType"},
    {SRC_LOG_USER, "logUser"},
    {PARAMETER_NAME, "name"},
    {BUILD_SIDE, "side"},
    {PLUG_DETECT_ID, "plugDetectId"},
    {PLUG_PATTERN, "pattern"},
    {SLOT_ID, "slotId"},
    {PARAMETER_VALUE, "value"},
    {TRUE_TEXT, "true"},
    {LOG_MODE_ALWAYS, "logModeAlways"},
    {LOG_MODE_ONCE, "logModeOnce"},
};

constexpr std::size_t kFixedStringIdCount = sizeof(kFixedStringIds) / sizeof(kFixedStringIds[0]);

constexpr bool fixedStringIdsAscending() {
  for (std::size_t i = 1; i < kFixedStringIdCount; ++i)
    if (kFixedStringIds[i - 1].id >= kFixedStringIds[i].id) return false;
  return true;
}
static_assert(fixedStringIdsAscending(), "kFixedStringIds must be ascending without repeats");

// The text the table must give a fixed id, or null when the id is not fixed.
constexpr const char* fixedStringText(unsigned int id) {
  for (std::size_t i = 0; i < kFixedStringIdCount; ++i)
    if (kFixedStringIds[i].id == id) return kFixedStringIds[i].text;
  return nullptr;
}

}  // namespace sid
}  // namespace kav

#endif
