#include "apps/worker_stack.h"

#include <pthread.h>

#include <cstdlib>
#include <initializer_list>

namespace tepora {

namespace {

// The variables the GNU OpenMP runtime takes its worker stack size from, in
// the order it reads them, each with the entry that replaces a small value.
struct StackSetting {
  const char* name;  // with its '='
  unsigned long length;
  char* raised;
};
char omp_raised[] = "OMP_STACKSIZE=4M";
char gomp_raised[] = "GOMP_STACKSIZE=4M";
const StackSetting kSettings[] = {{"OMP_STACKSIZE=", 14, omp_raised},
                                  {"GOMP_STACKSIZE=", 15, gomp_raised}};
static_assert(kMinimumWorkerStack == 4ul << 20, "the raised entries name 4M");

// The C locale's white space, without the locale, which is not set up yet.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool SameStart(const char* entry, const StackSetting& s) {
  for (unsigned long i = 0; i < s.length; ++i)
    if (entry[i] != s.name[i]) return false;
  return true;
}

// The runtime reads its settings in its own initialiser, before main, so a
// setenv in main comes too late. The functions of an executable's
// .preinit_array run before the initialisers of every library, with the
// process's own environment array: a too small setting is swapped there for
// the raised entry, which the C library and the runtime then read as the
// environment. Only pointers change; nothing is allocated this early.
void RaiseWorkerStacks(int, char**, char** envp) {
  for (char** e = envp; e && *e; ++e)
    for (const StackSetting& s : kSettings) {
      unsigned long bytes = 0;
      if (SameStart(*e, s) && ParseStackSize(*e + s.length, bytes) && bytes < kMinimumWorkerStack)
        *e = s.raised;
    }
}

using PreInit = void (*)(int, char**, char**);
__attribute__((section(".preinit_array"), used)) PreInit raise_worker_stacks = RaiseWorkerStacks;

}  // namespace

bool ParseStackSize(const char* text, unsigned long& bytes) {
  const char* c = text;
  while (IsBlank(*c)) ++c;
  if (*c == '+') ++c;  // read as the runtime reads it, by strtoul
  if (*c < '0' || *c > '9') return false;
  unsigned long value = 0;
  for (; *c >= '0' && *c <= '9'; ++c) {
    if (value > (~0ul - 9) / 10) return false;
    value = value * 10 + unsigned(*c - '0');
  }
  while (IsBlank(*c)) ++c;
  unsigned shift = 10;  // kilobytes without a unit
  for (unsigned u = 0; u < 4; ++u)
    if (*c != '\0' && char(*c | 0x20) == "bkmg"[u]) {  // either case
      shift = 10 * u;
      ++c;
      break;
    }
  while (IsBlank(*c)) ++c;
  if (*c != '\0' || value > (~0ul >> shift)) return false;
  bytes = value << shift;
  return true;
}

double WorkerStackBytes() {
  for (const char* name : {"OMP_STACKSIZE", "GOMP_STACKSIZE"}) {
    unsigned long bytes = 0;
    const char* value = std::getenv(name);
    if (value && ParseStackSize(value, bytes) && bytes > 0) return double(bytes);
  }
  size_t bytes = 0;
  pthread_attr_t attr;
  if (pthread_getattr_default_np(&attr) == 0) {
    pthread_attr_getstacksize(&attr, &bytes);
    pthread_attr_destroy(&attr);
  }
  return double(bytes > 0 ? bytes : kMinimumWorkerStack);
}

}  // namespace tepora
