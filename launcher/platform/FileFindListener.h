// Told about each file that a disk scan finds (FindFiles).
#ifndef LAUNCHER_PLATFORM_FILEFINDLISTENER_H_
#define LAUNCHER_PLATFORM_FILEFINDLISTENER_H_

#include "core/SString.h"

class FileFindListener {
 public:
  // True stops the search.
  virtual bool foundFile(const SString& path) = 0;

 protected:
  ~FileFindListener() {}
};

#endif  // LAUNCHER_PLATFORM_FILEFINDLISTENER_H_
