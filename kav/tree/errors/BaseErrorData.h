// The outcome of an operation: a 32-bit return code and, only when something
// went wrong, a shared container with the explanatory text and the data of a
// platform error-log entry. Values are passed by value; copies share the
// container until one of them writes (copy on write).
//
// By default the first non-zero code assigned stays (NO_OVERWRITE); bit 31 of
// getRc() tells that the error has already been logged.
#ifndef KAV_TREE_BASEERRORDATA_H
#define KAV_TREE_BASEERRORDATA_H

#include <atomic>
#include <sstream>

#include "kav/tree/errors/ErrorDataSrcExtension.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT BaseErrorData {
 public:
  enum OverwriteMode_t : unsigned int { NO_OVERWRITE = 0, OVERWRITE = 1 };

  enum LogState_t : unsigned int {
    LOG_STATE_NONE = 0,
    LOG_STATE_UNLOGGED = 1,
    LOG_STATE_LOGGED = 2,
    LOG_STATE_RELOGGED = 4
  };

  // How the error is to be logged; 2 logs even an error that was logged before.
  typedef unsigned int LogMode_t;

  static const unsigned int LOG_FLAG = 0x80000000u;

  class ErrorDataContainer {
   public:
    ErrorDataContainer();
    // A private copy of every field; the text buffer keeps its capacity.
    ErrorDataContainer(const ErrorDataContainer& other);
    ErrorDataContainer& operator=(const ErrorDataContainer&) = delete;
    virtual ~ErrorDataContainer();

    void appendText(const char* data, unsigned int len);
    // Replaces the text by head + middle + the former text.
    void prependText(const char* head, unsigned int headLen, const char* middle, unsigned int middleLen);

    unsigned int m_rc;
    LogState_t m_logState;
    unsigned int m_src;
    ErrorDataSrcExtension m_srcExtension;
    kavstl::vector<unsigned char> m_slotIdOrder;
    kavstl::string m_eventName;
    kavstl::string m_fileNameList;
    LogMode_t m_logMode;
    unsigned int m_fedcOptions;
    unsigned char m_logClassType;
    unsigned char m_logType;
    unsigned short m_logUser;
    unsigned short m_logStatus;
    unsigned int m_errorBufferLen;
    unsigned int m_errorBufferCapacity;
    char* m_pErrorBuffer;
    unsigned int m_primaryKey;
    unsigned int m_secondaryKey;
    kavstl::vector<unsigned int> m_slotIds;
    std::atomic<unsigned int> m_referenceCount;

   private:
    void reserve(unsigned int newLength);
  };

  explicit BaseErrorData(OverwriteMode_t mode = NO_OVERWRITE);
  BaseErrorData(OverwriteMode_t mode, unsigned int rc);
  BaseErrorData(const BaseErrorData& other);
  virtual ~BaseErrorData();

  // Assigns rc (bit 31 = already logged) if valueAssignmentAllowed() agrees
  // and appends " - KAV-rc=0x%08X - " to the text for a non-zero code.
  BaseErrorData& operator=(unsigned int rc);
  // Shares the other's container if valueAssignmentAllowed() agrees; the
  // mode of this value stays.
  BaseErrorData& operator=(const BaseErrorData& other);
  bool valueAssignmentAllowed(unsigned int newRc) const;
  // Sets the code unchanged, bypassing the assignment rule.
  void overwrite(unsigned int rc);

  OverwriteMode_t getOverwriteMode() const { return m_overwriteMode; }

  unsigned int getRc() const;
  unsigned int getRcWithoutLogFlag() const;
  kavstl::string getRcAsString() const;

  bool operator==(const BaseErrorData& o) const { return getRcWithoutLogFlag() == o.getRcWithoutLogFlag(); }
  bool operator!=(const BaseErrorData& o) const { return getRcWithoutLogFlag() != o.getRcWithoutLogFlag(); }
  bool operator==(unsigned int rc) const { return getRcWithoutLogFlag() == rc; }
  bool operator!=(unsigned int rc) const { return getRcWithoutLogFlag() != rc; }
  friend bool operator==(unsigned int rc, const BaseErrorData& e) { return e == rc; }
  friend bool operator!=(unsigned int rc, const BaseErrorData& e) { return e != rc; }

  // Append the text and the separator " | ".
  BaseErrorData& operator<<(const char* text);
  BaseErrorData& operator<<(const kavstl::string& text);
  BaseErrorData& operator<<(const std::ostringstream& text);

  void addDataToErrorBuffer(const char* data, unsigned int len);
  void addDataToErrorBuffer(const kavstl::string& text);
  void addDataToErrorBuffer(const std::ostringstream& text);
  // The text, or "NO ERROR DATA available". The buffer is followed by a NUL
  // byte so that it can be printed; getErrorBufferLen() is authoritative.
  const char* getErrorBuffer() const;
  unsigned int getErrorBufferLen() const;
  unsigned int getErrorBufferCapacity() const;

  void setLogState(LogState_t state);
  LogState_t getLogState() const;
  void setSrc(unsigned int src);
  unsigned int getSrc() const;
  bool isSrcDefined() const;
  void setLogMode(LogMode_t mode);
  LogMode_t getLogMode() const;
  void setFedcOptions(unsigned int options);
  unsigned int getFedcOptions() const;
  void setLogClassType(unsigned char type);
  unsigned char getLogClassType() const;
  void setLogType(unsigned char type);
  unsigned char getLogType() const;
  void setLogUser(unsigned short user);
  unsigned short getLogUser() const;
  void setLogStatus(unsigned short status);
  unsigned short getLogStatus() const;
  void setEventName(const kavstl::string& name);
  void setEventName(const char* name);
  kavstl::string getEventName() const;

  unsigned int setTrailer(unsigned char trailer);
  // Each slot-id word only if it is still 0.
  unsigned int setSrcExtension(unsigned int id1, unsigned int id2, unsigned int id3);
  void overwriteSrcExtension(unsigned int id1, unsigned int id2, unsigned int id3);
  ErrorDataSrcExtension getSrcExtension() const;

  // Append to the slot-id order.
  void setSlotIdOrder(unsigned char first, unsigned char second, unsigned char third);
  void setSlotIdOrder(const kavstl::vector<unsigned char>& order);
  kavstl::vector<unsigned char> getSlotIdOrder() const;
  void clearSlotIdOrder();

  // Appends unless it equals the last slot id.
  void addSlotId(unsigned int slotId);
  kavstl::vector<unsigned int> getSlotIds() const;
  void clearSlotIds();

  void setKeys(unsigned int primaryKey, unsigned int secondaryKey);
  void getKeys(unsigned int& primaryKey, unsigned int& secondaryKey) const;

  void addFileNameToList(const kavstl::string& fileName);
  kavstl::string getFileNameList() const;

  void dump() const;

  // Logs an internal error at once: the text gets a header naming file and
  // line, the value gets the microcode SRC 0x28C0F0D1 and its log data.
  void microcodeLog(const char* file, unsigned int line, const char* text, LogMode_t mode, bool asynchronous);

  // Containers alive now and ever created (trace figures).
  static unsigned int getContainersAlive();
  static unsigned int getContainersCreated();

 protected:
  void copyErrorDataToErrorData(const BaseErrorData& other);
  // The container for writing: allocated when missing, unshared when shared.
  ErrorDataContainer* writableContainer();
  const ErrorDataContainer* container() const { return m_pErrorDataContainer; }

 private:
  void release();

  OverwriteMode_t m_overwriteMode;
  ErrorDataContainer* m_pErrorDataContainer;
};

#endif
