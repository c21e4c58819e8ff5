// Finding the factories of tree classes by name at run time.
//
// loadLibrary() answers a handle of the library itself (the configured
// library name is only reported); callFunctionInLibrary() looks the factory
// up by its name ("create" + class name), first among the factories
// registered in the library (Factories.h), then among the exported symbols
// reachable through the handle.
#ifndef KAV_TREE_DYN_FUNC_CALL_H
#define KAV_TREE_DYN_FUNC_CALL_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BaseErrorData;
class BuildBase;

// The handle, or null with 0x7151 (log mode 2) and an internal error.
KAV_EXPORT void* loadLibrary(const kavstl::string& library, BaseErrorData& rc);
// Handles stay open: this does nothing.
KAV_EXPORT void unloadLibrary(void* handle);

template <class R, class A>
R callFunctionInLibrary(void* handle, const kavstl::string& function, A argument, BaseErrorData& rc);

// Calls the factory `function` with `argument` and `rc`; a factory that does
// not exist gives null with 0x7150 (log mode 2) and an internal error.
template <>
KAV_EXPORT BuildBase* callFunctionInLibrary<BuildBase*, void*>(void* handle, const kavstl::string& function,
                                                                void* argument, BaseErrorData& rc);

#endif
