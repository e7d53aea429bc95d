#include "Kxta.h"

int main(int argc, char** argv) { return KxtaMain(argc, argv); }
