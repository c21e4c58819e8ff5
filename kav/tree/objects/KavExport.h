// The one marker of the library's exported surface. Everything else is hidden.
#ifndef KAV_TREE_KAVEXPORT_H
#define KAV_TREE_KAVEXPORT_H

#define KAV_EXPORT __attribute__((visibility("default")))

#endif
