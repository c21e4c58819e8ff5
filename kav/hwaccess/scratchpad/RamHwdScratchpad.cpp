#include "kav/hwaccess/scratchpad/RamHwdScratchpad.h"

#include "kav/hwaccess/scratchpad/ScratchpadHwaInterfaceLink.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(RamHwdScratchpad, RamHwdInterface)

namespace {
const unsigned int kNoEngine = 0x7344u;
const unsigned int kNoEngineLink = 0x7345u;
}  // namespace

RamHwdScratchpad::RamHwdScratchpad() {}

RamHwdScratchpad::~RamHwdScratchpad() {}

BaseErrorData RamHwdScratchpad::init(initSequence::Id_t step) {
  BaseErrorData rc = RamHwdInterface::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  unsigned int count = 0;
  KavPtr<ScratchpadHwaInterfaceLink> link = singleHiddenChild<ScratchpadHwaInterfaceLink>(*this, count);
  if (link == nullptr) {
    KAV_TRACE(KAVE, "RamHwdScratchpad %.8X no single engine link count=%u", getInstanceId(), count);
    rc = kNoEngineLink;
    return rc;
  }
  IFOSGuard<const QueryBase> guard(*this);
  m_scratchpadHwaLink = link;
  return rc;
}

BaseErrorData RamHwdScratchpad::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_scratchpadHwaLink = nullptr;
  }
  return RamHwdInterface::terminate(step);
}

KavPtr<ScratchpadHwaInterface> RamHwdScratchpad::engine() const {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_scratchpadHwaLink == nullptr) return KavPtr<ScratchpadHwaInterface>();
  return m_scratchpadHwaLink->getLinkTarget();
}

#define RAM_HWD_FORWARD(call, what)                                                       \
  KavPtr<ScratchpadHwaInterface> hwa = engine();                                          \
  if (hwa == nullptr) {                                                                   \
    KAV_TRACE(KAVE, "RamHwdScratchpad::" what " %.8X without engine", getInstanceId());  \
    return ErrorData(ErrorData::NO_OVERWRITE, kNoEngine);                                 \
  }                                                                                       \
  return hwa->call

ErrorData RamHwdScratchpad::read(unsigned int offset, unsigned char* data, unsigned int len) const {
  RAM_HWD_FORWARD(read(offset, data, len), "read");
}

ErrorData RamHwdScratchpad::write(unsigned int offset, const unsigned char* data, unsigned int len) const {
  RAM_HWD_FORWARD(write(offset, data, len), "write");
}

ErrorData RamHwdScratchpad::readSize(unsigned int& size) const { RAM_HWD_FORWARD(readSize(size), "readSize"); }

BuildBase* createRamHwdScratchpad(void*, BaseErrorData&) { return (new RamHwdScratchpad())->getBuildInterface(); }
