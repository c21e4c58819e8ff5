#include "kav/cards/StateTableInterface.h"

KAV_TREE_CLASS_IMPL(StateTableInterface, AtomicBase)

StateTableInterface::StateTableInterface() {}

StateTableInterface::~StateTableInterface() {}
