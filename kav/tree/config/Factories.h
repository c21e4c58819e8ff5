// The registry of the tree classes' factories. Every instantiable tree
// class C has an exported factory `extern "C" BuildBase* createC(void*,
// BaseErrorData&)` (both arguments unused) that allocates a C from the tree
// pool and returns its build interface. The factories listed in
// Factories.cpp are always found, also where the library is linked
// statically (a class not listed there is found only through the exported
// symbols of libquib.so): add a new class's factory to that list.
#ifndef KAV_TREE_FACTORIES_H
#define KAV_TREE_FACTORIES_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BaseErrorData;
class BuildBase;

typedef BuildBase* (*TreeFactory_t)(void* argument, BaseErrorData& rc);

// The factory registered under `function` ("create" + class name), or null.
KAV_EXPORT TreeFactory_t findTreeFactory(const kavstl::string& function);
// Registers a further factory (tests, classes outside the list). False when
// the name is taken; the first factory stays.
KAV_EXPORT bool registerTreeFactory(const kavstl::string& function, TreeFactory_t factory);
// Removes a factory added with registerTreeFactory.
KAV_EXPORT void unregisterTreeFactory(const kavstl::string& function);
// Names of every factory found through the registry, in name order.
KAV_EXPORT kavstl::vector<kavstl::string> getTreeFactoryNames();

#endif
