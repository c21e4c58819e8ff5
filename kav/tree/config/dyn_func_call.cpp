#include "kav/tree/config/dyn_func_call.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdio>

#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/config/Factories.h"

namespace {
// The handle stays open for the life of the process; it is the same for every call.
std::atomic<void*> g_ownHandle{nullptr};
}  // namespace

void* loadLibrary(const kavstl::string& library, BaseErrorData& rc) {
  void* handle = g_ownHandle.load();
  if (handle != nullptr) return handle;
  // The factories live in this library: open the image that holds this
  // function (libquib.so, or the program the library is linked into).
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&loadLibrary), &info) != 0 && info.dli_fname != nullptr)
    handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) handle = dlopen(nullptr, RTLD_NOW);
  if (handle != nullptr) {
    g_ownHandle.store(handle);
  } else {
    const char* why = dlerror();
    KAV_TRACE_STR(KAVE, "loadLibrary %s failed", why != nullptr ? why : "?");
    rc = 0x7151;
    rc.setLogMode(2);
    char text[512];
    std::snprintf(text, sizeof text, "loadLibrary failed for library <%s>", library.c_str());
    rc.microcodeLog("kav/dyn_func_call", __LINE__, text, 2, false);
  }
  return handle;
}

void unloadLibrary(void* /*handle*/) {}

template <>
BuildBase* callFunctionInLibrary<BuildBase*, void*>(void* handle, const kavstl::string& function, void* argument,
                                                    BaseErrorData& rc) {
  TreeFactory_t factory = findTreeFactory(function);
  if (factory == nullptr && handle != nullptr) {
    void* symbol = dlsym(handle, function.c_str());
    factory = reinterpret_cast<TreeFactory_t>(symbol);
  }
  if (factory == nullptr) {
    KAV_TRACE_STR(KAVE, "callFunctionInLibrary no function %s", function);
    rc = 0x7150;
    rc.setLogMode(2);
    char text[512];
    std::snprintf(text, sizeof text, "callFunctionInLibrary failed for function <%s>", function.c_str());
    rc.microcodeLog("kav/dyn_func_call", __LINE__, text, 2, false);
    return nullptr;
  }
  return factory(argument, rc);
}
