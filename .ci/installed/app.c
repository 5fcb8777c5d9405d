/* A small application of the installed libhvapi: starts the library, prints
 * its version and the adapters it finds, and stops it. */
#include <stdio.h>

#include <hvapi.h>

int main(void) {
  Lib_Struct lib;
  Adp_Struct info;
  Int i, count;
  if (InitLib(0, 0) != HVAPI_APP_HANDLE) {
    fprintf(stderr, "InitLib failed\n");
    return 1;
  }
  if (GetLibVer(&lib) != 0) return 1;
  count = GetTotalAdapters();
  printf("libhvapi %s, %d adapter(s)\n", lib.achLibVersion, (int)count);
  for (i = 0; i < count; ++i) {
    if (GetAdapterInfo((UChar)i, &info) != 0) return 1;
    printf("adapter %d: %s, firmware %s\n", (int)i, info.achProductName,
           info.achFwVer);
  }
  return CloseLib(HVAPI_APP_HANDLE) == 0 && count > 0 ? 0 : 1;
}
