// What the engine objects behind a CFAM (the ...ViaFsiHwa classes) share
// around their device calls: the open check, the conversion of a failed call
// into an error value and the head of their XML dump.
#ifndef KAV_HWACCESS_FSIENGINEFRAME_H
#define KAV_HWACCESS_FSIENGINEFRAME_H

#include <ostream>
#include <string>

#include "kav/hwaccess/fsi/FsiEngineInfo.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/QueryBase.h"

class KAV_EXPORT FsiEngineFrame {
 public:
  // 0 when the engine holds a device handle; else 0x7017 for an engine
  // marked deleted and 0x7019 otherwise (traced with the class name).
  static ErrorData checkOpen(const QueryBase& engine, const FsiEngineInfo& info, const void* handle,
                             const char* className);
  // err = rc; then the text (textFormat with rc, "...rc=0x%.8lX"), the
  // engine path, the device access layer's message, the primary key and the
  // engine's slot id. With a flag the first error of the engine is logged
  // (the engine as dump root and origin) and the flag set; later ones are
  // only marked logged. Nothing is logged for an engine that leaves the tree.
  static void convertError(const QueryBase& engine, const FsiEngineInfo& info, ErrorData& err, unsigned long rc,
                           std::string& msg, const char* textFormat, const char* primaryKey, bool* loggedFlag);
  // The class element's start, the handle and the engine address; the
  // caller adds its own parameters and closes the element.
  static void dumpHead(std::ostream& os, const char* className, const void* handle, const FsiEngineInfo& info);
};

#endif
