// The per-class boilerplate of tree classes: the class id (the string id of
// the class name, computed on first use), the instance test along the class
// chain and the instance size.
//
//   class Crc : public AtomicBase {
//     KAV_TREE_CLASS(Crc)
//    public:
//     ...
//   };
//   // in Crc.cpp:
//   KAV_TREE_CLASS_IMPL(Crc, AtomicBase)
#ifndef KAV_TREE_TREECLASSMACROS_H
#define KAV_TREE_TREECLASSMACROS_H

#include "kav/tree/config/StringToId.h"

#define KAV_TREE_CLASS(C)                                  \
 public:                                                   \
  static unsigned int staticGetClassId();                  \
  unsigned int getClassId() const override;                \
  bool isInstanceOf(unsigned int classId) const override;  \
  unsigned int getInstanceSize() const override;           \
                                                           \
 private:

#define KAV_TREE_CLASS_IMPL(C, Base)                                                          \
  unsigned int C::staticGetClassId() {                                                        \
    static const unsigned int s_classId = get_id_by_string(#C);                               \
    return s_classId;                                                                         \
  }                                                                                           \
  unsigned int C::getClassId() const { return C::staticGetClassId(); }                        \
  bool C::isInstanceOf(unsigned int classId) const {                                          \
    return classId == C::staticGetClassId() || Base::isInstanceOf(classId);                   \
  }                                                                                           \
  unsigned int C::getInstanceSize() const { return static_cast<unsigned int>(sizeof(C)); }

#endif
