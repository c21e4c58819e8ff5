// An error value that can prepare its platform error-log entry and hand it
// to the logger.
#ifndef KAV_TREE_ERRORDATA_H
#define KAV_TREE_ERRORDATA_H

#include <ostream>

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class QueryBase;

class KAV_EXPORT ErrorData : public BaseErrorData {
 public:
  explicit ErrorData(OverwriteMode_t mode = NO_OVERWRITE, unsigned int rc = 0);
  ErrorData(const BaseErrorData& other);
  ErrorData(const ErrorData& other);
  ~ErrorData() override;

  using BaseErrorData::operator=;
  ErrorData& operator=(const ErrorData& other) {
    BaseErrorData::operator=(other);
    return *this;
  }

  // Prepares the log entry (PIH list, SRC data, dump) and logs it at once
  // or on the job thread.
  void logSynchron(const kavstl::string& primaryKey, const kavstl::string& secondaryKey,
                   KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin);
  void logSynchron(const kavstl::string& primaryKey, unsigned int secondaryKey, KavPtr<const QueryBase> dumpRoot,
                   KavPtr<const QueryBase> origin);
  void logAsynchron(const kavstl::string& primaryKey, const kavstl::string& secondaryKey,
                    KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin);
  void logAsynchron(const kavstl::string& primaryKey, unsigned int secondaryKey, KavPtr<const QueryBase> dumpRoot,
                    KavPtr<const QueryBase> origin);

  // The own PIH first, then the value's slot ids (newest first) or the slot
  // ids of the tree path from origin upward.
  void getPihList(KavPtr<const QueryBase> origin, kavstl::vector<unsigned int>& pihs);
  void prepareLogData(const kavstl::vector<unsigned int>& pihs, const kavstl::string& primaryKey,
                      const kavstl::string& secondaryKey);
  // Dump file names; empty when no dump was written.
  kavstl::string getDumpTree(KavPtr<const QueryBase> root);
  kavstl::string getDumpTree(void (*writer)(std::ostream&));
  // Creates the SRC table on first use; false when it is not available.
  bool initSrcLookup();

 private:
  void prepareAndLog(const kavstl::string& primaryKey, const kavstl::string& secondaryKey,
                     KavPtr<const QueryBase> dumpRoot, KavPtr<const QueryBase> origin, bool asynchronous);
};

#endif
