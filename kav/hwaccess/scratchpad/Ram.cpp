#include "kav/hwaccess/scratchpad/Ram.h"

#include <algorithm>
#include <cstring>

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BinaryReaderNode.h"

KAV_TREE_CLASS_IMPL(Ram, AtomicBase)

namespace {
const unsigned int kNullPointer = 0x7000u;
const unsigned int kOutOfRange = 0x7008u;
const unsigned int kNotInitialized = 0x700Bu;
const unsigned int kInitializedTwice = 0x700Cu;
const unsigned int kDeleted = 0x7054u;
const unsigned int kChunk = 4;

// offset + len within limit, without wrapping around.
bool fits(unsigned int offset, unsigned int len, unsigned int limit) { return len <= limit && offset <= limit - len; }
}  // namespace

Ram::Ram() : m_pMemorySegments(nullptr), m_numberMemSegs(0), m_memorySize(0), m_initialized(false) {}

Ram::~Ram() { delete[] m_pMemorySegments; }

BaseErrorData Ram::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = AtomicBase::setAttributes(info);
  if (rc != 0) return rc;
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  IFOSGuard<const QueryBase> guard(*this);
  rc = m_layout.readLayout(*node);
  if (rc != 0) KAV_TRACE(KAVE, "Ram %.8X layout rejected rc=0x%.8X", getInstanceId(), rc.getRc());
  return rc;
}

BaseErrorData Ram::init(initSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::init(step);
  if (step == initSequence::INIT_VARIABLES) rc = initVars();
  return rc;
}

BaseErrorData Ram::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) unlinkTreeElements();
  return AtomicBase::terminate(step);
}

void Ram::freeSegments() {
  delete[] m_pMemorySegments;  // releases every segment's link
  m_pMemorySegments = nullptr;
  m_numberMemSegs = 0;
}

void Ram::unlinkTreeElements() {
  IFOSGuard<const QueryBase> guard(*this);
  if (!m_initialized) return;
  m_initialized = false;
  freeSegments();
}

ErrorData Ram::initVars() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_initialized) {
    KAV_TRACE(KAVE, "Ram %.8X initialised twice", getInstanceId());
    err = kInitializedTwice;
    return err;
  }
  kavstl::vector<KavPtr<RamHwrInterface>> blocks;
  for (const KavPtr<QueryBase>& child : getHiddenChildren())
    if (child->isInstanceOf(RamHwrInterface::staticGetClassId())) blocks.push_back(KavPtr<RamHwrInterface>(child));
  delete[] m_pMemorySegments;
  m_pMemorySegments = blocks.empty() ? nullptr : new MemorySegment_t[blocks.size()];
  unsigned int total = 0;
  for (unsigned int i = 0; i < blocks.size(); ++i) {
    MemorySegment_t& segment = m_pMemorySegments[i];
    segment.start = total;
    segment.size = 0;
    ErrorData sizeErr = blocks[i]->readSize(segment.size);
    if (sizeErr != 0) {
      KAV_TRACE(KAVE, "Ram::initVars %u,%.8X,%u", i, blocks[i]->getInstanceId(), sizeErr.getRc());
      err = sizeErr;
      segment.size = 0;
    }
    segment.hwr = blocks[i];
    total += segment.size;
  }
  m_numberMemSegs = static_cast<unsigned int>(blocks.size());
  m_memorySize = total;
  if (total < m_layout.getSize()) {
    KAV_TRACE(KAVE, "Ram %.8X memory %u smaller than layout %u", getInstanceId(), total, m_layout.getSize());
    ErrorData fit;
    fit = kOutOfRange;
    fit.microcodeLog(__FILE__, __LINE__, "Ram: layout does not fit in memory.", 2, false);
    err = kOutOfRange;
  }
  if (err == 0)
    m_initialized = true;
  else
    freeSegments();
  return err;
}

bool Ram::isInitialized() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_initialized;
}

unsigned int Ram::getNumberMemSegs() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_numberMemSegs;
}

ErrorData Ram::checkAccess(const void* data, const void* mask, unsigned int len, unsigned int offset) const {
  ErrorData err;
  if (!m_initialized) {
    err = isDeleted() ? kDeleted : kNotInitialized;
  } else if (data == nullptr || mask == nullptr) {
    KAV_TRACE(KAVE, "Ram %.8X null pointer", getInstanceId());
    err = kNullPointer;
  } else if (!fits(offset, len, m_memorySize)) {
    KAV_TRACE(KAVE, "Ram %.8X access %u+%u beyond %u", getInstanceId(), offset, len, m_memorySize);
    err = kOutOfRange;
  }
  return err;
}

void Ram::mapToSegment(unsigned int offset, unsigned int len, const MemorySegment_t& segment,
                       unsigned int* segOffset, unsigned int* segLen) {
  const unsigned long long reqEnd = static_cast<unsigned long long>(offset) + len;
  const unsigned long long segEnd = static_cast<unsigned long long>(segment.start) + segment.size;
  *segOffset = 0;
  *segLen = 0;
  if (len == 0 || reqEnd <= segment.start || offset >= segEnd) return;
  if (segment.start > offset) {
    *segLen = static_cast<unsigned int>(std::min(reqEnd, segEnd) - segment.start);
  } else {
    *segOffset = offset - segment.start;
    *segLen = std::min(len, segment.size - *segOffset);
  }
}

ErrorData Ram::write(const unsigned char* data, unsigned int len, unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkAccess(data, data, len, offset);
  if (err != 0) return err;
  for (unsigned int i = 0; i < m_numberMemSegs; ++i) {
    const MemorySegment_t& segment = m_pMemorySegments[i];
    unsigned int segOffset = 0, segLen = 0;
    mapToSegment(offset, len, segment, &segOffset, &segLen);
    if (segLen != 0) {
      err = segment.hwr->write(segOffset, data, segLen);
      data += segLen;
    }
    if (static_cast<unsigned long long>(segment.start) + segment.size >= static_cast<unsigned long long>(offset) + len)
      break;
  }
  return err;
}

ErrorData Ram::read(unsigned char* data, unsigned int len, unsigned int offset) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkAccess(data, data, len, offset);
  if (err != 0) return err;
  for (unsigned int i = 0; i < m_numberMemSegs; ++i) {
    const MemorySegment_t& segment = m_pMemorySegments[i];
    unsigned int segOffset = 0, segLen = 0;
    mapToSegment(offset, len, segment, &segOffset, &segLen);
    if (segLen != 0) {
      err = segment.hwr->read(segOffset, data, segLen);
      data += segLen;
    }
    if (static_cast<unsigned long long>(segment.start) + segment.size >= static_cast<unsigned long long>(offset) + len)
      break;
  }
  return err;
}

ErrorData Ram::writeWithMask(const unsigned char* data, const unsigned char* mask, unsigned int len,
                             unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkAccess(data, mask, len, offset);
  if (err != 0) return err;
  for (unsigned int i = 0; i < m_numberMemSegs; ++i) {
    const MemorySegment_t& segment = m_pMemorySegments[i];
    unsigned int segOffset = 0, segLen = 0;
    mapToSegment(offset, len, segment, &segOffset, &segLen);
    if (segLen != 0) {
      // The block stays ours for the whole read-modify-write.
      segment.hwr->requestAccess(0);
      while (segLen != 0) {
        const unsigned int n = std::min(segLen, kChunk);
        unsigned char chunk[kChunk];
        ErrorData chunkErr = segment.hwr->read(segOffset, chunk, n);
        if (chunkErr == 0) {
          for (unsigned int b = 0; b < n; ++b)
            chunk[b] = static_cast<unsigned char>((chunk[b] & ~mask[b]) | (data[b] & mask[b]));
          chunkErr = segment.hwr->write(segOffset, chunk, n);
        }
        // A chunk that could not be read is not written: its stored bits
        // outside the mask are unknown.
        err = chunkErr;
        data += n;
        mask += n;
        segOffset += n;
        segLen -= n;
      }
      segment.hwr->releaseAccess();
    }
    if (static_cast<unsigned long long>(segment.start) + segment.size >= static_cast<unsigned long long>(offset) + len)
      break;
  }
  return err;
}

ErrorData Ram::getSize(unsigned int* size) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (size == nullptr) {
    err = kNullPointer;
    return err;
  }
  *size = m_memorySize;
  return err;
}

ErrorData Ram::fieldRange(unsigned int tableId, unsigned int fieldId, unsigned int len, unsigned int offset,
                          unsigned int* ramOffset) const {
  unsigned int fieldOffset = 0, fieldSize = 0;
  ErrorData err = m_layout.getFieldInfo(tableId, fieldId, &fieldOffset, &fieldSize);
  if (err != 0) {
    KAV_TRACE(KAVE, "Ram %.8X field %u of table %u rc=0x%.8X", getInstanceId(), fieldId, tableId, err.getRc());
    return err;
  }
  if (!fits(offset, len, fieldSize)) {
    KAV_TRACE(KAVE, "Ram %.8X access %u+%u beyond field size %u (field %u, table %u)", getInstanceId(), offset, len,
              fieldSize, fieldId, tableId);
    err = kOutOfRange;
    return err;
  }
  *ramOffset = fieldOffset + offset;
  return err;
}

ErrorData Ram::readField(unsigned int tableId, unsigned int fieldId, unsigned char* data, unsigned int len,
                         unsigned int offset) const {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned int at = 0;
  ErrorData err = fieldRange(tableId, fieldId, len, offset, &at);
  if (err != 0) return err;
  if (data == nullptr) {
    err = kNullPointer;
    return err;
  }
  return read(data, len, at);
}

ErrorData Ram::writeField(unsigned int tableId, unsigned int fieldId, const unsigned char* data, unsigned int len,
                          unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned int at = 0;
  ErrorData err = fieldRange(tableId, fieldId, len, offset, &at);
  if (err != 0) return err;
  if (data == nullptr) {
    err = kNullPointer;
    return err;
  }
  return write(data, len, at);
}

ErrorData Ram::writeFieldWithMask(unsigned int tableId, unsigned int fieldId, const unsigned char* data,
                                  const unsigned char* mask, unsigned int len, unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  unsigned int at = 0;
  ErrorData err = fieldRange(tableId, fieldId, len, offset, &at);
  if (err != 0) return err;
  if (data == nullptr || mask == nullptr) {
    err = kNullPointer;
    return err;
  }
  return writeWithMask(data, mask, len, at);
}

ErrorData Ram::getFieldIds(unsigned int tableId, kavstl::vector<unsigned int>* fieldIds) const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_layout.getFieldIds(tableId, fieldIds);
}

ErrorData Ram::getFieldSize(unsigned int tableId, unsigned int fieldId, unsigned int* size) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (size == nullptr) {
    err = kNullPointer;
    return err;
  }
  unsigned int offset = 0;
  err = m_layout.getFieldInfo(tableId, fieldId, &offset, size);
  return err;
}

ErrorData Ram::clearTable(unsigned int tableId) {
  IFOSGuard<const QueryBase> guard(*this);
  kavstl::vector<unsigned int> ids;
  ErrorData err = getFieldIds(tableId, &ids);
  if (err != 0) return err;
  kavstl::vector<unsigned char> zeros(32, 0);
  for (unsigned int fieldId : ids) {
    unsigned int size = 0;
    ErrorData fieldErr = getFieldSize(tableId, fieldId, &size);
    if (fieldErr == 0) {
      if (size > zeros.size()) zeros.assign(2 * static_cast<size_t>(size), 0);
      fieldErr = writeField(tableId, fieldId, zeros.data(), size, 0);
    }
    err = fieldErr;
  }
  return err;
}

void Ram::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    os << "<class className=\"Ram\">\n";
    os << "<parameter name=\"m_numberMemSegs\" value=\"" << m_numberMemSegs << "\"/>\n";
    os << "<parameter name=\"m_memorySize\" value=\"" << m_memorySize << "\"/>\n";
    os << "<parameter name=\"m_initialized\" value=\"" << (m_initialized ? "true" : "false") << "\"/>\n";
    m_layout.dumpXml(os);
    os << "\n</class>\n";
  }
  AtomicBase::dumpXml(os);
}

BuildBase* createRam(void*, BaseErrorData&) { return (new Ram())->getBuildInterface(); }
