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

// FSI engines and links.
// Physical cascade id of a CFAM access factory.
constexpr unsigned int PHYS_CASCADE_ID = 48;
// Logical engine id of a link target.
constexpr unsigned int LINK_ENGINE_ID = 84;
// Engine type (a type name) of an engine definition or a link target.
constexpr unsigned int ENGINE_TYPE = 86;
// Event-driven engine build-up flag of a CFAM access factory.
constexpr unsigned int EVENT_DRIVEN_BUILDUP = 88;
// Base of the name of a card type's hardware-access configuration.
constexpr unsigned int HWA_CONFIG_NAME = 100;
// Hardware-access id of a factory (also of a link target).
constexpr unsigned int HWA_ID = 101;
// Logical engine id of an engine definition.
constexpr unsigned int LOGICAL_ENGINE_ID = 136;
// Physical link number of a CFAM access factory.
constexpr unsigned int PHYS_LINK_NUMBER = 175;
// Scope of a link.
constexpr unsigned int LINK_SCOPE = 210;
// Instance name of a link target.
constexpr unsigned int TARGET_INSTANCE_NAME = 228;
// Names of the engine types 1..13; ENGINE_NONE names type 0, ENGINE_UNKNOWN any other.
constexpr unsigned int ENGINE_TYPE_DIO = 286;
constexpr unsigned int ENGINE_TYPE_I2C = 288;
constexpr unsigned int ENGINE_TYPE_IOMUX = 290;
constexpr unsigned int ENGINE_TYPE_8 = 291;
constexpr unsigned int ENGINE_TYPE_9 = 292;
constexpr unsigned int ENGINE_TYPE_7 = 293;
constexpr unsigned int ENGINE_TYPE_11 = 295;
constexpr unsigned int ENGINE_TYPE_10 = 296;
constexpr unsigned int ENGINE_TYPE_12 = 297;
constexpr unsigned int ENGINE_TYPE_13 = 298;
constexpr unsigned int ENGINE_TYPE_SCRATCHPAD = 299;
constexpr unsigned int ENGINE_TYPE_5 = 302;
constexpr unsigned int ENGINE_TYPE_6 = 303;
// Link scope: the container above the enclosing one.
constexpr unsigned int SCOPE_PARENT_CONTAINER = 348;
// Link scope: the enclosing container.
constexpr unsigned int SCOPE_CONTAINER = 377;
constexpr unsigned int ENGINE_TYPE_NONE = 403;
constexpr unsigned int ENGINE_TYPE_UNKNOWN = 404;

// State tables.
// Attribute prefixes of a redundant table's replicas ("ramInstanceName0",
// "ramSlotId1": prefix followed by the replica index).
constexpr unsigned int STATE_TABLE_RAM_NAME = 199;
constexpr unsigned int STATE_TABLE_RAM_SLOT_ID = 200;
// The table id (a string id) of a state table in its Ram.
constexpr unsigned int STATE_TABLE_ID = 227;
// Field: the one-byte state of a card.
constexpr unsigned int FRU_STATE_FIELD = 313;
// Field: the administration byte of a redundant table replica.
constexpr unsigned int STATE_TABLE_ADMIN_FIELD = 360;
// Fields of the oscillator selection table: current and preferred selection
// byte and the debug-mode flag.
constexpr unsigned int OSC_CURRENT_SELECTION_FIELD = 361;
constexpr unsigned int OSC_PREFERRED_SELECTION_FIELD = 362;
constexpr unsigned int OSC_DEBUG_MODE_FIELD = 363;

// Digital I/O signals and output groups.
// Initial state of a digital output (a state name; of an output group: enabled/disabled).
constexpr unsigned int DIO_INITIAL_STATE = 73;
// Mode of a digital signal or output group (a mode name).
constexpr unsigned int DIO_MODE = 74;
// Pin (0..31) of a digital signal; the pin list of an output group.
constexpr unsigned int DIO_PIN = 75;
// Polarity of a digital signal or output group (a polarity name).
constexpr unsigned int DIO_POLARITY = 76;
// Whether an output group writes its initial state at start.
constexpr unsigned int DIO_INIT_AT_START = 111;
// Whether a digital signal only traces its errors (yes/no).
constexpr unsigned int DIO_SUPPRESS_LOGGING = 132;
// Logical id of a digital signal.
constexpr unsigned int DIO_LOGICAL_ID = 137;
// Line name of a soft switch that stands for every line.
constexpr unsigned int SOFT_SWITCH_ALL_LINES = 253;
constexpr unsigned int DIO_MODE_INPUT = 263;
constexpr unsigned int DIO_MODE_PUSHPULL = 264;
constexpr unsigned int DIO_MODE_PUSHPULL_SLOW = 265;
constexpr unsigned int DIO_MODE_OPEN_DRAIN = 266;
constexpr unsigned int DIO_MODE_BLINK = 267;
constexpr unsigned int DIO_MODE_OPEN_SOURCE = 268;
constexpr unsigned int DIO_POLARITY_HIGH_ON = 269;
constexpr unsigned int DIO_POLARITY_LOW_ON = 270;
constexpr unsigned int OUTPUT_DISABLED = 271;
constexpr unsigned int OUTPUT_ENABLED = 284;
constexpr unsigned int NO_TEXT = 334;
constexpr unsigned int STATE_OFF = 339;
constexpr unsigned int STATE_ON = 340;
constexpr unsigned int YES_TEXT = 408;
// Mode names 263..268 give the modes 1..6 in this order; a mode of none is ENGINE_TYPE_NONE's text.
// State names: on, off. Booleans of digital signals: yes, no.

// Power sequencing: cards, sequences, steps and signals.
// Action of a card whose power-on fails (a name: ACTION_ON_FAIL_*).
constexpr unsigned int ACTION_ON_FAIL = 40;
// Name of the card's activation/deactivation sequence.
constexpr unsigned int ACTIVATION_SEQUENCE = 41;
// Delay in milliseconds (after a power step).
constexpr unsigned int DELAY_MS = 69;
// Whether a signal's switching failure is only traced.
constexpr unsigned int IGNORE_ERROR = 109;
// Number of a power step.
constexpr unsigned int STEP_NUMBER = 224;
// Position a signal switches its target to.
constexpr unsigned int SWITCH_ID = 226;
// Type of a power sequence (on, off, anything else: other).
constexpr unsigned int SEQUENCE_TYPE = 233;
constexpr unsigned int ACTION_ON_FAIL_REPORT = 250;
constexpr unsigned int ACTION_ON_FAIL_POWER_OFF = 252;
// Name of the type of a sequence that is neither power on nor power off.
constexpr unsigned int SEQUENCE_TYPE_OTHER = 345;
// The power sequence that switches a card's clock hardware on (type on) and
// off (type off). A card's activation sequence is named ENGINE_NONE unless
// its PowerControl names another one.
constexpr unsigned int CLOCK_POWER_SEQUENCE = 375;

// I2C transfer descriptions (chip drivers' attributes) and the clock
// redundancy chip: attributes, signal and output-control names.
constexpr unsigned int I2C_BUS_NO = 102;
constexpr unsigned int I2C_DEVICE_ADDRESS = 103;
constexpr unsigned int I2C_TRANSFER_MODE = 104;
constexpr unsigned int I2C_TRANSFER_SPEED = 105;
constexpr unsigned int I2C_OFFSET_BYTES = 215;
constexpr unsigned int I2C_PAGE_SELECT = 216;
constexpr unsigned int I2C_WRITE_SPLIT = 217;
constexpr unsigned int I2C_WRITE_DELAY = 218;
constexpr unsigned int I2C_WRITE_RETRY_DELAY = 219;
constexpr unsigned int I2C_WRITE_RETRY_COUNT = 220;
constexpr unsigned int I2C_TIMEOUT = 232;
constexpr unsigned int I2C_READ_RETRIES = 155;
constexpr unsigned int I2C_WRITE_RETRIES = 157;
constexpr unsigned int DEVICE_SUPPLY = 225;
constexpr unsigned int I2C_MODE_SLAVE_ADDRESS = 316;
constexpr unsigned int I2C_MODE_SPECIAL_READ = 317;
constexpr unsigned int I2C_MODE_MASTER = 318;
constexpr unsigned int SUPPLY_ALWAYS_ON = 399;
constexpr unsigned int OUTPUT_MASK = 145;
constexpr unsigned int NUM_OUTPUT_CONTROLS = 154;
constexpr unsigned int CRC_ERROR_SIGNAL = 304;
constexpr unsigned int CRC_IRQ_SIGNAL = 325;
constexpr unsigned int CRC_MASTER_RESET = 333;
constexpr unsigned int OUTPUT_ON_AT_POWER_ON = 346;
constexpr unsigned int OUTPUT_OFF_AT_POWER_ON = 347;
constexpr unsigned int CRC_BANDWIDTH_MODE_1 = 409;
constexpr unsigned int CRC_BANDWIDTH_MODE_2 = 410;
constexpr unsigned int CRC_BANDWIDTH_MODE_3 = 411;
constexpr unsigned int CRC_BANDWIDTH_OTHER = 412;

// The PLL error monitor: its power sequence (steps STATE_OFF and STATE_ON)
// and the names of the PLL's error flags 1 and 0.
constexpr unsigned int INTERRUPT_CONTROL_SEQUENCE = 324;
constexpr unsigned int PLL_ERROR_LOCK_LOST = 349;
constexpr unsigned int PLL_ERROR_REFERENCE_LOST = 350;

// Programmable logic and I/O multiplexing.
// A multiplexer group's engine (an engine name), control gates, group id and
// receiver threshold; the number of groups of a multiplexer configuration.
constexpr unsigned int IOMUX_SELECTED_ENGINE = 85;
constexpr unsigned int IOMUX_CONTROL_GATES = 96;
constexpr unsigned int IOMUX_GROUP_ID = 98;
constexpr unsigned int IOMUX_MAX_GROUPS = 99;
constexpr unsigned int IOMUX_RECEIVE_THRESHOLD = 231;
// Engine names a multiplexer group may select besides GPIO, I2C and ENGINE_8
// (levels 5, 6, 4, 3 and 7), and the name of a disabled group.
constexpr unsigned int IOMUX_ENGINE_UART = 285;
constexpr unsigned int IOMUX_ENGINE_DISABLED = 287;
constexpr unsigned int IOMUX_ENGINE_JTAG = 289;
constexpr unsigned int IOMUX_ENGINE_IIC_SLAVE = 294;
constexpr unsigned int IOMUX_ENGINE_SCOM = 300;
constexpr unsigned int IOMUX_ENGINE_MAILBOX = 301;
// A lookup-table control's default (a control name), its table (pld id) and
// a configuration word's value (the parameter value's name).
constexpr unsigned int PLD_DEFAULT_VALUE = 179;
constexpr unsigned int PLD_ID = 182;
constexpr unsigned int PLD_CONFIG_VALUE = PARAMETER_VALUE;
// The names of the lookup-table controls 1, 2 and 3.
constexpr unsigned int PLD_CONTROL_1 = 183;
constexpr unsigned int PLD_CONTROL_2 = 180;
constexpr unsigned int PLD_CONTROL_3 = 181;
// Instance names of a clock domain's clock-enable controls (and inputs) of
// its clock redundancy chip and of its PLL.
constexpr unsigned int CRC_CLK_ENABLE = 258;
constexpr unsigned int PLL_CLK_ENABLE = 259;

// PLL speed patterns: the attributes of frequency ranges, speed-pattern
// converters, speed and pattern accesses, and the pattern access's power
// sequence. A converter's device type is SEQUENCE_TYPE's "type", a range's
// selecting bits PARAMETER_VALUE's "value"; the steps are STATE_OFF and
// STATE_ON.
constexpr unsigned int SPEED_DEFAULT_PATTERN = 68;
constexpr unsigned int SPEED_DIVIDER = 77;
constexpr unsigned int SPEED_XTAL_FREQUENCY_MHZ = 95;
constexpr unsigned int SPEED_INPUT_FREQUENCY_MAX = 112;
constexpr unsigned int SPEED_INPUT_FREQUENCY_MIN = 113;
constexpr unsigned int SPEED_FEEDBACK_DIVIDER_MASK = 144;
constexpr unsigned int SPEED_OUTPUT_DIVIDER_MASK = 146;
constexpr unsigned int SPEED_MULTIPLIER = 149;
constexpr unsigned int SPEED_OUTPUT_FREQUENCY_MAX = 170;
constexpr unsigned int SPEED_OUTPUT_FREQUENCY_MIN = 171;
constexpr unsigned int SPEED_STATE_TABLE_FIELD = 211;
constexpr unsigned int SPEED_CONVERTER_TYPE = SEQUENCE_TYPE;
constexpr unsigned int SPEED_RANGE_VALUE = PARAMETER_VALUE;
constexpr unsigned int SPEED_VCO_FREQUENCY_MAX = 244;
constexpr unsigned int SPEED_VCO_FREQUENCY_MIN = 245;
constexpr unsigned int PLL_PATTERN_SEQUENCE = 328;

// Clock domains.
// Attribute naming the id provider that gives a clock domain its type.
constexpr unsigned int CLOCK_DOMAIN_TYPE_PROVIDER = 168;
// Attributes naming the state-table fields of a clock domain's spreading
// set-up (direction, 1 byte; amount, 4 bytes).
constexpr unsigned int SPREADING_DIRECTION_FIELD = 212;
constexpr unsigned int SPREADING_VALUE_FIELD = 213;
// State-table field: a clock domain's steering flag (1 byte).
constexpr unsigned int STEERING_MODE_FIELD = 260;
// Power-step signal name of a clock domain's clock mode (switched "off" and
// "on"); its interrupts follow INTERRUPT_CONTROL_SEQUENCE.
constexpr unsigned int CLOCK_MODE_SEQUENCE = 341;

// Clock domain redundancy: the power sequences (type other) a card runs
// before (prepare) and after (done) a forced speed change of a clock domain
// type: 367/371 for type 1, 370/374 for type 2, 368/372 for type 4, 369/373
// for the types 8 to 128 and their group 248.
constexpr unsigned int PREPARE_CLOCK_CHANGE_1 = 367;
constexpr unsigned int PREPARE_CLOCK_CHANGE_4 = 368;
constexpr unsigned int PREPARE_CLOCK_CHANGE_8 = 369;
constexpr unsigned int PREPARE_CLOCK_CHANGE_2 = 370;
constexpr unsigned int CLOCK_CHANGE_DONE_1 = 371;
constexpr unsigned int CLOCK_CHANGE_DONE_4 = 372;
constexpr unsigned int CLOCK_CHANGE_DONE_8 = 373;
constexpr unsigned int CLOCK_CHANGE_DONE_2 = 374;

// Oscillator card sets: the set (0x10 A, 0x20 B) and the slot of its
// oscillator control card (attributes); the instance name of the container
// of a card of unknown type, whose cards a set ignores; the instance names of
// the oscillator control's use controls and status inputs of oscillator 0
// and oscillator 1.
constexpr unsigned int OSC_CARD_SET_ATTRIBUTE = 164;
constexpr unsigned int OSC_CTRL_SLOT_ATTRIBUTE = 169;
constexpr unsigned int UNKNOWN_FRU_CONTAINER = 261;
constexpr unsigned int OSC_0 = 405;
constexpr unsigned int OSC_1 = 406;

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
    {ACTION_ON_FAIL, "actionOnFail"},
    {ACTIVATION_SEQUENCE, "activationSequence"},
    {PHYS_CASCADE_ID, "physicalCascadeId"},
    {SKIP_NODE, "skip"},
    {ID_KEY_CARD_TYPE, "CardTypeId"},
    {ID_KEY_HARDWARE_LEVEL, "HardwareLevelId"},
    {SPEED_DEFAULT_PATTERN, "defaultPattern"},
    {DELAY_MS, "delay"},
    {DIO_INITIAL_STATE, "dioInitialState"},
    {DIO_MODE, "dioMode"},
    {DIO_PIN, "dioPin"},
    {DIO_POLARITY, "dioPolarity"},
    {SPEED_DIVIDER, "divider"},
    {LINK_ENGINE_ID, "engineId"},
    {IOMUX_SELECTED_ENGINE, "selectedEngine"},
    {ENGINE_TYPE, "engineType"},
    {EVENT_DRIVEN_BUILDUP, "eventDrivenBuildUp"},
    {SLOT_ID_CONVERTER_TABLE, "LogSlotIdConverterTable"},
    {SPEED_XTAL_FREQUENCY_MHZ, "xtalFrequencyMHz"},
    {IOMUX_CONTROL_GATES, "controlGates"},
    {IOMUX_GROUP_ID, "groupId"},
    {IOMUX_MAX_GROUPS, "maxGroups"},
    {HWA_CONFIG_NAME, "HwaConfig"},
    {HWA_ID, "hwaId"},
    {I2C_BUS_NO, "BusNo"},
    {I2C_DEVICE_ADDRESS, "DeviceAddress"},
    {I2C_TRANSFER_MODE, "TransferMode"},
    {I2C_TRANSFER_SPEED, "TransferSpeed"},
    {ID_MAP_KEY, "idKey"},
    {ID_MAP_VALUE, "idValue"},
    {IGNORE_ERROR, "ignoreError"},
    {DIO_INIT_AT_START, "initAtStart"},
    {SPEED_INPUT_FREQUENCY_MAX, "inputFrequencyMaxKhz"},
    {SPEED_INPUT_FREQUENCY_MIN, "inputFrequencyMinKhz"},
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
    {DIO_SUPPRESS_LOGGING, "suppressLogging"},
    {SRC_TRAILER, "trailer"},
    {SRC_LOG_TYPE, "logType"},
    {SRC_LOG_USER, "logUser"},
    {LOGICAL_ENGINE_ID, "logicalEngineId"},
    {DIO_LOGICAL_ID, "logicalId"},
    {SPEED_FEEDBACK_DIVIDER_MASK, "feedbackDividerMask"},
    {OUTPUT_MASK, "outputMask"},
    {SPEED_OUTPUT_DIVIDER_MASK, "outputDividerMask"},
    {SPEED_MULTIPLIER, "multiplier"},
    {PARAMETER_NAME, "name"},
    {NUM_OUTPUT_CONTROLS, "numOutputControls"},
    {I2C_READ_RETRIES, "numReadRetries"},
    {I2C_WRITE_RETRIES, "numWriteRetries"},
    {BUILD_SIDE, "side"},
    {OSC_CARD_SET_ATTRIBUTE, "oscCardSet"},
    {CLOCK_DOMAIN_TYPE_PROVIDER, "clockDomainTypeProvider"},
    {OSC_CTRL_SLOT_ATTRIBUTE, "oscCtrlSlotId"},
    {SPEED_OUTPUT_FREQUENCY_MAX, "outputFrequencyMaxKhz"},
    {SPEED_OUTPUT_FREQUENCY_MIN, "outputFrequencyMinKhz"},
    {PHYS_LINK_NUMBER, "physicalLinkNumber"},
    {PLD_DEFAULT_VALUE, "defaultValue"},
    {PLD_CONTROL_2, "LOOKUP_CONTROL_2"},
    {PLD_CONTROL_3, "LOOKUP_CONTROL_3"},
    {PLD_ID, "pldId"},
    {PLD_CONTROL_1, "LOOKUP_CONTROL_1"},
    {PLUG_DETECT_ID, "plugDetectId"},
    {PLUG_PATTERN, "pattern"},
    {STATE_TABLE_RAM_NAME, "ramInstanceName"},
    {STATE_TABLE_RAM_SLOT_ID, "ramSlotId"},
    {SLOT_ID, "slotId"},
    {LINK_SCOPE, "scope"},
    {SPEED_STATE_TABLE_FIELD, "stateTableSpeedField"},
    {SPREADING_DIRECTION_FIELD, "spreadingDirectionField"},
    {SPREADING_VALUE_FIELD, "spreadingValueField"},
    {I2C_OFFSET_BYTES, "NumOffsetBytes"},
    {I2C_PAGE_SELECT, "PageSelect"},
    {I2C_WRITE_SPLIT, "SprmWriteSplit"},
    {I2C_WRITE_DELAY, "SprmWriteDelayMsec"},
    {I2C_WRITE_RETRY_DELAY, "SprmWriteRetryDelayMsec"},
    {I2C_WRITE_RETRY_COUNT, "SprmWriteNumRetry"},
    {STEP_NUMBER, "stepNumber"},
    {DEVICE_SUPPLY, "supplyVoltage"},
    {SWITCH_ID, "switchId"},
    {STATE_TABLE_ID, "tableId"},
    {TARGET_INSTANCE_NAME, "targetInstanceName"},
    {IOMUX_RECEIVE_THRESHOLD, "receiveThreshold"},
    {I2C_TIMEOUT, "Timeout"},
    {SEQUENCE_TYPE, "type"},
    {PARAMETER_VALUE, "value"},
    {SPEED_VCO_FREQUENCY_MAX, "vcoFrequencyMaxKhz"},
    {SPEED_VCO_FREQUENCY_MIN, "vcoFrequencyMinKhz"},
    {ACTION_ON_FAIL_REPORT, "report"},
    {ACTION_ON_FAIL_POWER_OFF, "powerOff"},
    {SOFT_SWITCH_ALL_LINES, "all"},
    {TRUE_TEXT, "true"},
    {CRC_CLK_ENABLE, "CrcClkEnable"},
    {PLL_CLK_ENABLE, "PllClkEnable"},
    {STEERING_MODE_FIELD, "SteeringMode"},
    {UNKNOWN_FRU_CONTAINER, "UnknownFru"},
    {DIO_MODE_INPUT, "DIO_INPUT"},
    {DIO_MODE_PUSHPULL, "DIO_OUTPUT_PUSHPULL"},
    {DIO_MODE_PUSHPULL_SLOW, "DIO_OUTPUT_PUSHPULL_SLOW"},
    {DIO_MODE_OPEN_DRAIN, "DIO_OUTPUT_OPEN_DRAIN"},
    {DIO_MODE_BLINK, "DIO_OUTPUT_BLINK"},
    {DIO_MODE_OPEN_SOURCE, "DIO_OUTPUT_OPEN_SOURCE"},
    {DIO_POLARITY_HIGH_ON, "ACTIVE_HIGH"},
    {DIO_POLARITY_LOW_ON, "ACTIVE_LOW"},
    {OUTPUT_DISABLED, "disabled"},
    {OUTPUT_ENABLED, "enabled"},
    {IOMUX_ENGINE_UART, "UART"},
    {ENGINE_TYPE_DIO, "GPIO"},
    {IOMUX_ENGINE_DISABLED, "IOMUX_DISABLED"},
    {ENGINE_TYPE_I2C, "I2C"},
    {IOMUX_ENGINE_JTAG, "JTAG"},
    {ENGINE_TYPE_IOMUX, "IOMUX"},
    {ENGINE_TYPE_8, "ENGINE_8"},
    {ENGINE_TYPE_9, "ENGINE_9"},
    {ENGINE_TYPE_7, "ENGINE_7"},
    {IOMUX_ENGINE_IIC_SLAVE, "IIC_SLAVE"},
    {ENGINE_TYPE_11, "ENGINE_11"},
    {ENGINE_TYPE_10, "ENGINE_10"},
    {ENGINE_TYPE_12, "ENGINE_12"},
    {ENGINE_TYPE_13, "ENGINE_13"},
    {ENGINE_TYPE_SCRATCHPAD, "SCRATCHPAD"},
    {IOMUX_ENGINE_SCOM, "SCOM"},
    {IOMUX_ENGINE_MAILBOX, "MAILBOX"},
    {ENGINE_TYPE_5, "ENGINE_5"},
    {ENGINE_TYPE_6, "ENGINE_6"},
    {CRC_ERROR_SIGNAL, "CrcError"},
    {FRU_STATE_FIELD, "FruStateByte"},
    {I2C_MODE_SLAVE_ADDRESS, "I2C_SLAVE_ADDRESS"},
    {I2C_MODE_SPECIAL_READ, "I2C_SLAVE_ADDRESS_SPECIAL_READ"},
    {I2C_MODE_MASTER, "I2C_MASTER"},
    {INTERRUPT_CONTROL_SEQUENCE, "InterruptControlSequence"},
    {CRC_IRQ_SIGNAL, "CrcInterrupt"},
    {PLL_PATTERN_SEQUENCE, "PllPatternSequence"},
    {LOG_MODE_ALWAYS, "logModeAlways"},
    {LOG_MODE_ONCE, "logModeOnce"},
    {CRC_MASTER_RESET, "CrcMasterReset"},
    {NO_TEXT, "no"},
    {STATE_OFF, "off"},
    {STATE_ON, "on"},
    {CLOCK_MODE_SEQUENCE, "ClockModeSequence"},
    {SEQUENCE_TYPE_OTHER, "other"},
    {OUTPUT_ON_AT_POWER_ON, "OutputsOnAtPowerOn"},
    {OUTPUT_OFF_AT_POWER_ON, "OutputsOffAtPowerOn"},
    {SCOPE_PARENT_CONTAINER, "ScopeParentContainer"},
    {PLL_ERROR_LOCK_LOST, "LockLost"},
    {PLL_ERROR_REFERENCE_LOST, "ReferenceLost"},
    {STATE_TABLE_ADMIN_FIELD, "AdministrationByte"},
    {OSC_CURRENT_SELECTION_FIELD, "CurrentOscSelection"},
    {OSC_PREFERRED_SELECTION_FIELD, "PreferredOscSelection"},
    {OSC_DEBUG_MODE_FIELD, "OscDebugMode"},
    {PREPARE_CLOCK_CHANGE_1, "PrepareClockChange"},
    {CLOCK_CHANGE_DONE_1, "ClockChangeDone"},
    {CLOCK_POWER_SEQUENCE, "ClockPowerSequence"},
    {SCOPE_CONTAINER, "ScopeContainer"},
    {SUPPLY_ALWAYS_ON, "ALWAYS_SUPPLIED"},
    {ENGINE_TYPE_NONE, "ENGINE_NONE"},
    {ENGINE_TYPE_UNKNOWN, "ENGINE_UNKNOWN"},
    {OSC_0, "Osc0"},
    {OSC_1, "Osc1"},
    {YES_TEXT, "yes"},
    {CRC_BANDWIDTH_MODE_1, "bandwidthMode1"},
    {CRC_BANDWIDTH_MODE_2, "bandwidthMode2"},
    {CRC_BANDWIDTH_MODE_3, "bandwidthMode3"},
    {CRC_BANDWIDTH_OTHER, "bandwidthOther"},
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
