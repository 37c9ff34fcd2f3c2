#include "gui/Startup.h"

int main(int argc, char** argv) {
    return orva::runOrva(argc, argv);
}
