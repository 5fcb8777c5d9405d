// The disk scan over every search partition of this platform.
#include "platform/FindFiles.h"
#include "platform/PlatformImpl.h"

bool PlatformImpl::findFiles(const StringDeque& names,
                             FileFindListener& listener) {
  StringDeque partitions;
  getJVMSearchPartitions(partitions);
  const SString separator = getPathSeparator();
  FindFiles walker(names, listener);
  for (int i = 0; i < partitions.count(); ++i) {
    SString root = partitions.at(i);
    if (root.length() < separator.length() ||
        root.compare(root.length() - separator.length(), separator.length(),
                     separator) != 0)
      root += separator;
    if (walker.process(root)) return true;
  }
  return false;
}
