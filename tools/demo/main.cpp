#include "demo/demo.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    return quorvelin::demo::runDemo();
}
