/* Management GUIs include <X11/Xlib.h>, whose Bool is a macro, before the
 * library's headers; both must still compile, in C99 and in C++. */
#include <X11/Xlib.h>

#include "hvapi.h"
#include "hvapi_lowlevel.h"

#ifdef __cplusplus
static_assert(sizeof(Bool) == 4, "Bool is 32 bits");
#else
typedef char bool_is_32_bits[sizeof(Bool) == 4 ? 1 : -1];
#endif

int main(void) {
  Cluster_Struct cluster;
  cluster.bClusterMode = True;
  return cluster.bClusterMode == 1 ? 0 : 1;
}
