#include "kav/tree/config/FileLookup.h"

#include <cstdlib>
#include <mutex>

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "perc_abend.h"

namespace {
FileLookup* g_fileLookup = nullptr;
std::mutex g_fileLookupLock;

const unsigned int kFileNotReadable = 0x7140;
const unsigned int kNoMainEntry = 0x7141;
const unsigned int kNoSubEntry = 0x7142;
const unsigned int kNoXmlPath = 0x7146;
const unsigned int kNoFileList = 0x7147;

BaseErrorData makeError(unsigned int rc, const kavstl::string& text) {
  BaseErrorData err(BaseErrorData::NO_OVERWRITE);
  err << text;
  err = rc;
  err.setLogMode(2);
  return err;
}

// The library cannot run without the file list.
[[noreturn]] void missingVariable(unsigned int rc, const char* variable) {
  KAV_TRACE_STR(KAVE, "FileLookup: environment variable %s not set rc=0x%08X", variable, rc);
  BaseErrorData err = makeError(rc, kavstl::string("FileLookup: environment variable ") + variable + " not set");
  percAbend(0xF0D1, nullptr, 0, rc, 0, 0, err.getErrorBuffer(), 0, 0);
}
}  // namespace

FileLookup* FileLookup::getInstance() {
  std::lock_guard<std::mutex> g(g_fileLookupLock);
  if (g_fileLookup == nullptr) g_fileLookup = new FileLookup();
  return g_fileLookup;
}

void FileLookup::destroyInstance() {
  std::lock_guard<std::mutex> g(g_fileLookupLock);
  delete g_fileLookup;
  g_fileLookup = nullptr;
}

BaseErrorData FileLookup::initialise() {
  const char* dir = std::getenv("FACADEXMLPATH");
  if (dir == nullptr) missingVariable(kNoXmlPath, "FACADEXMLPATH");
  const char* list = std::getenv("FACADEFILELIST");
  if (list == nullptr) missingVariable(kNoFileList, "FACADEFILELIST");
  m_xmlPath = dir;
  if (!m_xmlPath.empty() && m_xmlPath.back() != '/') m_xmlPath += '/';
  m_fileListPath = m_xmlPath + list;
  const BinaryReaderNode* root = getBinaryReaderNode(m_fileListPath);
  if (root == nullptr) {
    KAV_TRACE_STR(KAVE, "FileLookup: file list %s not readable", m_fileListPath);
    return makeError(kFileNotReadable, "FileLookup: file list not readable: " + m_fileListPath);
  }
  parseFileList(*root);
  m_initialised = true;
  return BaseErrorData(BaseErrorData::NO_OVERWRITE);
}

void FileLookup::parseFileList(const BinaryReaderNode& root) {
  m_table.clear();
  BinaryReaderNode::NodeList_t mains;
  root.getChildrenWithNodeName("ID1", mains);
  for (const BinaryReaderNode* m : mains) {
    kavstl::string key;
    if (m->getAttributeValue("mainType", key, false) != 0) continue;
    MainEntry entry;
    m->getAttributeValue("Name", entry.name, true);
    m->getAttributeValue("parseName", entry.parseName, true);
    BinaryReaderNode::NodeList_t subs;
    m->getChildrenWithNodeName("ID2", subs);
    for (const BinaryReaderNode* s : subs) {
      kavstl::string subType;
      if (s->getAttributeValue("subType", subType, false) != 0) continue;
      entry.files.emplace(subType, s->getValue());
    }
    if (!m_table.emplace(key, entry).second)
      KAV_TRACE_STR(KAVE, "FileLookup: main type %s listed twice, first entry kept", key);
  }
  KAV_TRACE(KAVT, "FileLookup: %u file-list entries", static_cast<unsigned int>(m_table.size()));
}

BaseErrorData FileLookup::getXmlFileName(const kavstl::string& mainType, const kavstl::string& subType,
                                         kavstl::string& filePath, kavstl::string& name,
                                         kavstl::string& parseName) {
  KAV_TRACE_STR(KAVT, "FileLookup::getXmlFileName main %s", mainType);
  KAV_TRACE_STR(KAVT, "FileLookup::getXmlFileName sub %s", subType);
  IFOSGuard<IFOSRcFastMutex> g(m_mutex);
  if (!m_initialised) {
    BaseErrorData err = initialise();
    if (err != 0) return err;
  }
  auto main = m_table.find(mainType);
  if (main == m_table.end()) {
    KAV_TRACE_STR(KAVE, "FileLookup: no file-list entry for main type %s", mainType);
    return makeError(kNoMainEntry, "FileLookup: no file-list entry for main type " + mainType);
  }
  name = main->second.name;
  parseName = main->second.parseName;
  auto file = main->second.files.find(subType);
  if (file == main->second.files.end()) file = main->second.files.find("Any");
  if (file == main->second.files.end()) {
    KAV_TRACE_STR(KAVE, "FileLookup: no file in %s", m_xmlPath);
    KAV_TRACE_STR(KAVE, "FileLookup: for sub type %s", subType);
    KAV_TRACE_STR(KAVE, "FileLookup: of main type %s", mainType);
    return makeError(kNoSubEntry, "FileLookup: no file for sub type '" + subType + "' of main type " + mainType);
  }
  filePath = m_xmlPath + file->second;
  return BaseErrorData(BaseErrorData::NO_OVERWRITE);
}

BaseErrorData get_xml_file_name(const kavstl::string& mainType, const kavstl::string& subType,
                                kavstl::string& filePath, kavstl::string& name, kavstl::string& parseName) {
  return FileLookup::getInstance()->getXmlFileName(mainType, subType, filePath, name, parseName);
}
