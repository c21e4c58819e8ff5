// Turns a logical table name (main type, sub type) into a file path through
// the file list. The XML directory comes from "FACADEXMLPATH", the file list
// from "FACADEFILELIST" (a file in that directory); both are required. The
// file list is read once per process.
#ifndef KAV_TREE_FILELOOKUP_H
#define KAV_TREE_FILELOOKUP_H

#include "kav/runtime/IFOSRcFastMutex.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode;

class KAV_EXPORT FileLookup {
 public:
  static FileLookup* getInstance();
  static void destroyInstance();

  // 0x7140 file list not readable, 0x7141 no entry for the main type, 0x7142
  // no file for the sub type (nor an "Any" one). Missing environment
  // variables end the process.
  BaseErrorData getXmlFileName(const kavstl::string& mainType, const kavstl::string& subType,
                               kavstl::string& filePath, kavstl::string& name, kavstl::string& parseName);

  const kavstl::string& getXmlPath() const { return m_xmlPath; }
  const kavstl::string& getFileListPath() const { return m_fileListPath; }

 private:
  struct MainEntry {
    kavstl::string name;
    kavstl::string parseName;
    kavstl::map<kavstl::string, kavstl::string> files;  // sub type -> file name
  };

  FileLookup() = default;
  BaseErrorData initialise();
  void parseFileList(const BinaryReaderNode& root);

  IFOSRcFastMutex m_mutex;
  bool m_initialised = false;
  kavstl::string m_xmlPath;
  kavstl::string m_fileListPath;
  kavstl::map<kavstl::string, MainEntry> m_table;
};

KAV_EXPORT BaseErrorData get_xml_file_name(const kavstl::string& mainType, const kavstl::string& subType,
                                           kavstl::string& filePath, kavstl::string& name,
                                           kavstl::string& parseName);

#endif
