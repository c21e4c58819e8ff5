// The timed job that logs an error value on the job thread.
#ifndef KAV_RUNTIME_LOGASYNCHRON_H
#define KAV_RUNTIME_LOGASYNCHRON_H

#include "kav/runtime/TimedJob.h"
#include "kav/tree/errors/ErrorData.h"

class LogAsynchron : public TimedJob {
 public:
  // Takes a private copy of the value, so that the job thread never shares
  // the container with the caller's copies.
  explicit LogAsynchron(const BaseErrorData& error);
  ~LogAsynchron() override;
  void execute() override;

  const ErrorData& getError() const { return m_error; }

  static constexpr unsigned int kDelayMs = 0;
  static constexpr unsigned int kLogMs = 0;
  static constexpr unsigned int kAbendMs = 300000;

 private:
  ErrorData m_error;
};

#endif
