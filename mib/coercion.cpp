// Placeholder until the coercion file lands: never enabled.
#include "mib/coercion.h"

int set_coercion_enabled(int flag) { return flag; }
int coercion_enabled() { return 0; }
const char* coercion_file_path() { return "/usr/Zorv/conf/mib.coerce"; }
void apply_coercion_file() {}
