#include "kav/cards/PowerControllable.h"

KAV_TREE_CLASS_IMPL(PowerControllable, AtomicBase)

PowerControllable::PowerControllable() {}

PowerControllable::~PowerControllable() {}

ErrorData PowerControllable::checkPrecondition(unsigned int, SequenceType_t) { return ErrorData(); }
