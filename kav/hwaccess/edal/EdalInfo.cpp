#include "kav/hwaccess/edal/EdalInfo.h"

EdalInfo::EdalInfo() : m_physicalLinkNumber(ABSENT), m_physicalCascadeId(ABSENT), m_physicalEngineNumber(ABSENT) {}

EdalInfo::EdalInfo(unsigned int link, unsigned int cascade, unsigned int engine, bool /*unused*/)
    : m_physicalLinkNumber(link), m_physicalCascadeId(cascade), m_physicalEngineNumber(engine) {}

EdalInfo::~EdalInfo() = default;
