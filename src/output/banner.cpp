#include "output/banner.h"

#include "output/console.h"

void print_banner() { console_out("\nLOADHAWK Windows Version 1.0 from %s\n\n", kMakerAttribution); }
