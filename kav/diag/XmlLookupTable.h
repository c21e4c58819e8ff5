// A table of rows read from a binary configuration file and kept sorted by
// key. T is the row type: it derives from XmlLineEntry<K>, names its rows
// with T::getEntryName() and reads one row in readXmlLine(). The table owns
// its rows.
//
//   XmlLookupTable<SrcLineEntry> table;
//   BaseErrorData rc = table.readXmlTable("SrcEntry");
//   const SrcLineEntry* row = table.getMatch(SrcLineKey("FSI_DIO_ACCESS", ""), false);
#ifndef KAV_DIAG_XMLLOOKUPTABLE_H
#define KAV_DIAG_XMLLOOKUPTABLE_H

#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "kav/tree/config/FileLookup.h"
#include "kav/tree/objects/kavstl.h"

// Orders rows by their keys; also compares a row with a bare key so that
// rows can be found by key.
template <class T>
struct XmlLineEntryTypeCompare {
  typedef void is_transparent;
  typedef typename T::Key_t Key_t;
  bool operator()(const T* a, const T* b) const { return a->getKey() < b->getKey(); }
  bool operator()(const T* a, const Key_t& k) const { return a->getKey() < k; }
  bool operator()(const Key_t& k, const T* b) const { return k < b->getKey(); }
};

// The error of a table file that yields no tree (0x716F, log mode 2).
BaseErrorData xmlLookupTableNoRoot(const kavstl::string& path);
// The error of a row whose key is already in the table (0x7013).
BaseErrorData xmlLookupTableDuplicate(const char* entryName, const kavstl::string& key);

template <class T>
class XmlLookupTable {
 public:
  typedef kavstl::set<T*, XmlLineEntryTypeCompare<T>> Table_t;

  XmlLookupTable() = default;
  ~XmlLookupTable() {
    for (T* e : m_table) delete e;
  }
  XmlLookupTable(const XmlLookupTable&) = delete;
  XmlLookupTable& operator=(const XmlLookupTable&) = delete;

  // Reads the rows of the file the file list names for `mainType` (empty
  // sub type, so its "Any" row serves unless it has an empty one).
  BaseErrorData readXmlTable(const kavstl::string& mainType) {
    KAV_TRACE_STR(KAVT, "XmlLookupTable::readXmlTable %s", mainType);
    kavstl::string path, name, parseName;
    BaseErrorData rc = get_xml_file_name(mainType, "", path, name, parseName);
    if (rc != 0) return rc;
    BinaryReaderParser parser(path);
    const BinaryReaderNode* root = parser.getBinaryReaderRootNode();
    if (root == nullptr) return xmlLookupTableNoRoot(path);
    rc = parseXmlTableForEntry(root);
    KAV_TRACE(KAVT, "XmlLookupTable::readXmlTable rows=%u rc=0x%08X", elementCount(), rc.getRc());
    return rc;
  }

  // Adds a row for every child of `root` named T::getEntryName(), in order.
  // A row whose key is missing or already present is dropped; the first row
  // error is the result.
  BaseErrorData parseXmlTableForEntry(const BinaryReaderNode* root) {
    BaseErrorData rc;
    if (root == nullptr) return rc;
    const kavstl::string entryName = T::getEntryName();
    unsigned int index = elementCount();
    for (const BinaryReaderNode* child : root->getChildren()) {
      if (child->getName() != entryName) continue;
      T* entry = new T();
      BaseErrorData rowRc = entry->readXmlLine(index++, child);
      if (!entry->hasKey()) {
        KAV_TRACE_STR(KAVE, "XmlLookupTable %s row %u without key dropped", entryName, index);
        delete entry;
      } else if (!addEntry(entry)) {
        BaseErrorData dup = xmlLookupTableDuplicate(T::getEntryName(), entry->keyAsString());
        delete entry;
        rowRc = dup;
      }
      rc = rowRc;
    }
    return rc;
  }

  // False (and the row is not taken) when its key is already present.
  bool addEntry(T* entry) {
    if (entry == nullptr) return false;
    return m_table.insert(entry).second;
  }

  unsigned int elementCount() const { return static_cast<unsigned int>(m_table.size()); }

  // The row with that key, or null (traced unless `quiet`).
  template <class K>
  const T* getMatch(const K& key, bool quiet) const {
    auto it = m_table.find(key);
    if (it != m_table.end()) return *it;
    if (!quiet) KAV_TRACE_STR(KAVE, "XmlLookupTable no row for key %s (rows %u)", key.asString(), elementCount());
    return nullptr;
  }

  // The rows in key order.
  const Table_t& getEntries() const { return m_table; }

 private:
  Table_t m_table;
};

#endif
