/* A C host as a business program calls the component: dlopen, the public header, nothing
 * else. Opens the composer (method 2) first when asked, then the send form (method 3) COUNT
 * times; prints the monotonic time in ms before each call (the clock Xvfb stamps its events
 * with) and at the end its peak resident memory. The windows are closed by paint_observer.
 * Arguments: LIBRARY send|composer COUNT. */
#include <VelkorSlanjeEMaila26.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

static unsigned long now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (unsigned long)t.tv_sec * 1000 + (unsigned long)t.tv_nsec / 1000000;
}

#define SYM(name) ((__typeof__(&name))dlsym(lib, #name))

int main(int argc, char** argv) {
  if (argc < 4) return fprintf(stderr, "usage: paint_host LIBRARY send|composer COUNT\n"), 2;
  void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!lib) return fprintf(stderr, "%s\n", dlerror()), 1;
  clsSlanjeEMaila* m = SYM(clsSlanjeEMaila_Create)();
  const int32_t p = 0;
  if (strcmp(argv[2], "composer") == 0) {
    printf("call composer %lu\n", now_ms());
    fflush(stdout);
    if (SYM(clsSlanjeEMaila_SlanjeBezRecordSeta)(m, &p) != VELKOR_OK)
      fprintf(stderr, "composer: %s\n", SYM(clsSlanjeEMaila_ErrorText)(m));
  }
  for (int i = 0, n = atoi(argv[3]); i < n; ++i) {
    printf("call send %lu\n", now_ms());
    fflush(stdout);
    if (SYM(clsSlanjeEMaila_SlanjeFajlaPrekoEMaila)(m, &p, "Račun 17/2026", "kupac@firma.example",
                                                     "", "", "Poštovani,", "", NULL, NULL) != VELKOR_OK)
      fprintf(stderr, "send form: %s\n", SYM(clsSlanjeEMaila_ErrorText)(m));
  }
  SYM(clsSlanjeEMaila_Release)(m);
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  printf("peak %ld\n", ru.ru_maxrss);
  return 0;
}
