#include "sidecar/sidecar.h"

int main(int argc, char **argv) {
    return quorvelin::sidecar::run(argc, argv);
}
