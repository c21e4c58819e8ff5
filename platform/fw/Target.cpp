#include "fw/Target.h"

#include <utility>

namespace fw {

Target::Target(uint32_t targetClass, uint32_t type, uint32_t id, uint32_t position, uint32_t parentId,
               std::string name)
    : m_class(targetClass), m_type(type), m_id(id), m_position(position), m_parentId(parentId),
      m_name(std::move(name)) {}

}  // namespace fw
