// The extension words of an SRC: a trailer character, up to three slot ids
// and a microcode word. Trailer 'p' marks a hardware callout with up to three
// slot ids, trailer 'q' an internal microcode error.
#ifndef KAV_TREE_ERRORDATASRCEXTENSION_H
#define KAV_TREE_ERRORDATASRCEXTENSION_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT ErrorDataSrcExtension {
 public:
  static const unsigned char TRAILER_HW_CALLOUT = 'p';
  static const unsigned char TRAILER_MICROCODE = 'q';

  ErrorDataSrcExtension();

  // Each setter stores its value only while the field is still 0; otherwise
  // it traces and answers 0x7130 (trailer), 0x7131..0x7133 (slot ids 1..3).
  unsigned int setTrailer(unsigned char trailer);
  unsigned int setSlotId1(unsigned int slotId);
  unsigned int setSlotId2(unsigned int slotId);
  unsigned int setSlotId3(unsigned int slotId);
  unsigned int overwriteSlotId1(unsigned int slotId);
  unsigned int overwriteSlotId2(unsigned int slotId);
  unsigned int overwriteSlotId3(unsigned int slotId);

  // Trailer 'q', slot id 1 = pih, microcode word = rc.
  void setTrailerMicrocode(unsigned int pih, unsigned int rc);

  // Distributes ids over the slot-id words: order entry 1, 2, 3 stores the
  // current id into that word, 0 skips, anything else answers 0x7134. The
  // index into ids stops at its last entry. Answers the result of the last
  // step (0 when nothing was stored).
  unsigned int setSlotId(const kavstl::vector<unsigned int>& ids, const kavstl::vector<unsigned char>& order);

  unsigned char getTrailer() const { return m_trailer; }
  unsigned int getSlotId1() const { return m_slotId1; }
  unsigned int getSlotId2() const { return m_slotId2; }
  unsigned int getSlotId3() const { return m_slotId3; }
  unsigned int getMicrocode() const { return m_microcode; }

  // (trailer << 24) + ((cage & 0xF) << 20) + ((node & 0xF) << 16) + low word;
  // the low word is slot id 1 for 'p' and 'q', the own PIH otherwise.
  unsigned int getExt1() const;
  unsigned int getExt1(unsigned int cageId, unsigned int nodeId, unsigned int ownPih) const;
  // 'p': (slot id 2 << 16) + (slot id 3 & 0xFFFF); 'q': the microcode word; else 0.
  unsigned int getExt2() const;

  bool operator==(const ErrorDataSrcExtension& o) const {
    return m_trailer == o.m_trailer && m_slotId1 == o.m_slotId1 && m_slotId2 == o.m_slotId2 &&
           m_slotId3 == o.m_slotId3 && m_microcode == o.m_microcode;
  }
  bool operator!=(const ErrorDataSrcExtension& o) const { return !(*this == o); }

 private:
  unsigned char m_trailer;
  unsigned int m_slotId1;
  unsigned int m_slotId2;
  unsigned int m_slotId3;
  unsigned int m_microcode;
};

#endif
