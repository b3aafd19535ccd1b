#include "core/log/VtLog.h"
#include <cstdio>
int main() { std::puts("vtcore_tilepoint: tile spine not built yet"); return 0; }
