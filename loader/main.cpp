// The tolvar executable's entry: the loader routine with the embedded image.
#include "loader/loader.h"

extern "C" const unsigned char tolvar_program_image[];

int main() { return tolvar::loader::run(tolvar_program_image); }
