/* A host program as its vendor would write it: the public header, the library, nothing else.
 * With "compose" it opens the composer (method 2), else the send form (method 3). */
#include <VelkorSlanjeEMaila26.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  clsSlanjeEMaila* m = clsSlanjeEMaila_Create();
  int32_t p = 0;
  int32_t r = !m ? VELKOR_E_FAIL
              : argc > 1 && strcmp(argv[1], "compose") == 0
                  ? clsSlanjeEMaila_SlanjeBezRecordSeta(m, &p)
                  : clsSlanjeEMaila_SlanjeFajlaPrekoEMaila(m, &p, "Račun 17/2026",
                                                           "kupac@firma.example", "", "",
                                                           "Poštovani,", "", NULL, NULL);
  if (r != VELKOR_OK) fprintf(stderr, "%d %s\n", r, m ? clsSlanjeEMaila_ErrorText(m) : "Create");
  clsSlanjeEMaila_Release(m);
  return r == VELKOR_OK ? 0 : 1;
}
