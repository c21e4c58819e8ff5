// Reads one binary configuration file into a tree of BinaryReaderNode.
//
// File: a 40-byte header (version "1.4", entry count E, largest id-list
// length M, string-table size S, checksum; big-endian) and a body of records,
// each one string with its type ('e' element, 'a' attribute name, 'v'
// attribute value, 't' text) and the ids of its occurrences. A file is
// accepted when its version is "1.4" and the checksum (sum of the body bytes
// plus the last byte once more) matches. A malformed body stops reading with
// a trace; the part of the tree read so far is kept.
//
// Records may come in any order that meets siblings' element records in
// document order and every value after its attribute name: an element named
// as a parent, or as the owner of an attribute name or text, before its own
// record gets its node then, and the record fills it in and links it. Such an
// element that never comes is dropped with its children when it was only a
// parent; when it already holds attributes or text the file is refused.
#ifndef KAV_TREE_BINARYREADERPARSER_H
#define KAV_TREE_BINARYREADERPARSER_H

#include <cstddef>
#include <cstdint>

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode;

class KAV_EXPORT BinaryReaderParser {
 public:
  static const unsigned int kHeaderSize = 40;

  // The header, its 16- and 32-bit fields in host order.
  struct FileHeader_t {
    char ident[10];
    char version[6];
    uint16_t entryCount;      // E
    uint16_t unused18;
    uint16_t maxIdListLength;  // M
    uint16_t unused22;
    uint16_t unused24;
    uint16_t unused26;
    uint16_t unused28;
    uint16_t unused30;
    uint16_t stringTableSize;  // S
    uint16_t unused34;
    uint32_t crc;
  };

  explicit BinaryReaderParser(const kavstl::string& path);
  // Deletes a root that was not released.
  ~BinaryReaderParser();
  BinaryReaderParser(const BinaryReaderParser&) = delete;
  BinaryReaderParser& operator=(const BinaryReaderParser&) = delete;

  // On the first call verifies and reads the file; null when the file is
  // missing or invalid. Later calls return the kept root (owned by the parser).
  const BinaryReaderNode* getBinaryReaderRootNode();
  // Hands the root over to the caller.
  BinaryReaderNode* releaseRoot();

  bool verifyFile();
  void readTree();

  const FileHeader_t& getFileHeader() const { return m_fileHeader; }
  const kavstl::string& getPath() const { return m_path; }
  // After reading: the whole body was consumed and every record was well formed.
  bool isComplete() const { return m_complete; }

  // The same on bytes in memory: verifies (checksum only while the check is
  // on) and reads. Returns the root, owned by the caller, or null. `complete`
  // (may be null) tells whether the body was read to its end without fault.
  static BinaryReaderNode* parseBuffer(const unsigned char* data, std::size_t size, bool* complete);
  // The checksum of a body as the header must hold it.
  static uint32_t computeChecksum(const unsigned char* body, std::size_t size);
  // Switches the checksum check on or off for the whole process (on by
  // default; fuzzing turns it off so that generated inputs reach the records).
  static void setChecksumCheck(bool enabled);
  static bool getChecksumCheck();

 private:
  static bool verifyBuffer(const unsigned char* data, std::size_t size, FileHeader_t& header, const char* path);
  static BinaryReaderNode* readBuffer(const unsigned char* data, std::size_t size, const FileHeader_t& header,
                                      bool& complete);

  kavstl::string m_path;
  FileHeader_t m_fileHeader;
  BinaryReaderNode* m_pRoot = nullptr;
  bool m_read = false;
  bool m_complete = false;
  kavstl::vector<unsigned char> m_data;
};

#endif
