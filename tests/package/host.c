/* A host program as its vendor would write it: the public header, the library, nothing else. */
#include <VelkorSlanjeEMaila26.h>
#include <stdio.h>

int main(void) {
  clsSlanjeEMaila* m = clsSlanjeEMaila_Create();
  int32_t p = 0;
  int32_t r = m ? clsSlanjeEMaila_SlanjeFajlaPrekoEMaila(m, &p, "Račun 17/2026",
                                                         "kupac@firma.example", "", "",
                                                         "Poštovani,", "", NULL, NULL)
                : VELKOR_E_FAIL;
  if (r != VELKOR_OK) fprintf(stderr, "%s\n", m ? clsSlanjeEMaila_ErrorText(m) : "Create");
  clsSlanjeEMaila_Release(m);
  return r == VELKOR_OK ? 0 : 1;
}
