/* The password module's export: records how it was called. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

uint32_t PwdChangePasswordA(const char* provider, uintptr_t parent, uint32_t reserved1, uint32_t reserved2) {
  const char* path = getenv("MPR_CALL_LOG");
  if (path) {
    FILE* f = fopen(path, "a");
    if (f) {
      fprintf(f, "%s %lu %u %u\n", provider ? provider : "(null)", (unsigned long)parent, reserved1, reserved2);
      fclose(f);
    }
  }
  return 0;
}
