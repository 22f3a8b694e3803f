// Prints tmx9ctl's bash completion, made from its command table; run when tmx9ctl is built.
#include "commandline.h"

#include <cstdio>

int main()
{
    std::fputs(tmx9ctl::bashCompletion().toUtf8().constData(), stdout);
    return 0;
}
