/* Compiles the public header as plain C99 under strict warnings and checks
 * the bit-field records, whose layout the compiler chooses, against the
 * bytes applications exchange with the library. */
#include <stdio.h>
#include <string.h>

#include "hvapi.h"

/* The header pins every size itself; these repeat a few through the C
 * compiler's own offsetof. */
typedef char c_ldrv_size_at_9[offsetof(Ldrv_Struct, ulLDrvSize) == 9 ? 1 : -1];
typedef char c_drive_7[sizeof(Drive_Struct) == 7 ? 1 : -1];
typedef char c_raidconfig[sizeof(RaidConfig_Struct) == 574281 ? 1 : -1];
typedef char c_configinfo[sizeof(ConfigInfo_Struct) == 591441 ? 1 : -1];

static int failures;

static void expect(int ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

int main(void) {
  PassThru_Struct pt;
  Err_History eh;
  FailHistory_Struct fh;
  unsigned char byte;

  memset(&pt, 0, sizeof pt);
  byte = 0x80;
  memcpy(&pt, &byte, 1);
  expect(pt.IsLogical == 1 && pt.Timeout == 0, "IsLogical is bit 7");
  byte = 0x0D; /* timeout 5, request sense */
  memcpy(&pt, &byte, 1);
  expect(pt.Timeout == 5 && pt.Ars == 1 && pt.Dummy == 0 && pt.IsLogical == 0,
         "Timeout bits 0-2, Ars bit 3");

  memset(&eh, 0, sizeof eh);
  byte = 0x5A;
  memcpy(&eh, &byte, 1);
  expect(eh.uchTimeOut == 0xA && eh.uchParity == 0x5,
         "time-out low nibble, parity high nibble");

  memset(&fh, 0, sizeof fh);
  byte = 0x80 | (9 << 3) | 2;
  memcpy(&fh, &byte, 1);
  expect(fh.uchChan == 2 && fh.uchTarg == 9 && fh.uchValid == 1,
         "channel bits 0-2, target bits 3-6, valid bit 7");

  return failures == 0 ? 0 : 1;
}
