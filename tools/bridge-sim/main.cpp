#include "bridge-sim/bridgesim.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    return quorvelin::bridgesim::run(QCoreApplication::arguments());
}
