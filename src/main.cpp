#include "app/startup.h"

int main(int argc, char *argv[])
{
    // The start order finds the program's directory itself once Qt is up.
    return runKrodalin(argc, argv, QString());
}
