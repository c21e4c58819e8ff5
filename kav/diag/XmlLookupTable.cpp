#include "kav/diag/XmlLookupTable.h"

#include <cstdio>

BaseErrorData xmlLookupTableNoRoot(const kavstl::string& path) {
  KAV_TRACE_STR(KAVE, "XmlLookupTable::readXmlFile no root for %s", path);
  BaseErrorData rc;
  rc = 0x716F;
  char text[512];
  std::snprintf(text, sizeof text,
                "XmlLookupTable::readXmlFile() rootNode=NULL for XML-File='%s'. Possible reason: File does not exist",
                path.c_str());
  rc << text;
  rc.setLogMode(2);
  return rc;
}

BaseErrorData xmlLookupTableDuplicate(const char* entryName, const kavstl::string& key) {
  KAV_TRACE_STR(KAVE, "XmlLookupTable duplicate key %s dropped", key);
  BaseErrorData rc;
  rc = 0x7013;
  rc << (kavstl::string("XmlLookupTable: ") + entryName + " row with key " + key + " already present, dropped");
  return rc;
}
