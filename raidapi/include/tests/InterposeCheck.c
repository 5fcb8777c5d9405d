/* An application with functions of its own named like the library's
 * internal ones (CheckFile, swap4, IssueCmd). The library's calls must still
 * reach its own code: a firmware image without a signature is refused, and
 * none of these functions is ever entered from inside the library. Runs
 * against the simulated driver (one 40LD adapter). */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "hvapi.h"
#include "hvapi_lowlevel.h"

static int entered;

/* Would let any file through, and so flash it. */
Int CheckFile(const Char *pchPathName) {
  (void)pchPathName;
  ++entered;
  return 0;
}

ULong32 swap4(ULong32 value) {
  ++entered;
  return value;
}

Int IssueCmd(Int op, Int objid, unsigned long dataptr, ULong32 param1,
             ULong32 param2) {
  (void)op, (void)objid, (void)dataptr, (void)param1, (void)param2;
  ++entered;
  return 0;
}

static int failures;

static void expect(int ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

int main(void) {
  char dir[] = "interpose-XXXXXX";
  char state[64], lock[80], image[64];
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    return 1;
  }
  snprintf(state, sizeof state, "%s/adapters.state", dir);
  snprintf(lock, sizeof lock, "%s.lock", state);
  snprintf(image, sizeof image, "%s/image.bin", dir);
  setenv("HALVSIM_STATE", state, 1);
  setenv("HALVSIM_PRESET", "one40ld", 1);

  /* 1 MiB of bytes that carry no firmware signature. */
  FILE *file = fopen(image, "wb");
  if (!file) {
    perror(image);
    return 1;
  }
  for (long i = 0; i < 1048576; ++i) fputc((int)((i * 7919) >> 3) & 0xFF, file);
  fclose(file);

  expect(InitLib(0, 0) == 255, "InitLib answers 255");
  Adp_Struct adapter;
  expect(GetAdapterInfo(0, &adapter) == 0, "GetAdapterInfo answers 0");
  SCSI_Struct device;
  expect(GetScsiDetails(0, 0, 0, &device) == 0, "GetScsiDetails answers 0");
  expect(Download_Firmware(0, image) == HVAPI_ERR_BAD_FW_FILE,
         "an image without a signature is refused");
  expect(entered == 0, "the library never entered the application's own");
  expect(CloseLib(255) == 0, "CloseLib answers 0");
  /* The application's own names still reach its own functions. */
  expect(swap4(1) == 1 && entered == 1, "the application calls its own");

  unlink(image);
  unlink(state);
  unlink(lock);
  rmdir(dir);
  return failures ? 1 : 0;
}
