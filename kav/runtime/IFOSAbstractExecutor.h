// The work a thread of the OS layer runs.
#ifndef KAV_RUNTIME_IFOSABSTRACTEXECUTOR_H
#define KAV_RUNTIME_IFOSABSTRACTEXECUTOR_H

class IFOSAbstractExecutor {
 public:
  virtual ~IFOSAbstractExecutor() {}
  virtual void execute() const = 0;
};

#endif
