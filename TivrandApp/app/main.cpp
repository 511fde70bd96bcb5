#include "TivrandApp/app/TivrandAppApp.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    // Declared by the program itself, not by the code it runs: run anywhere else, that code
    // finds no version declared.
    QCoreApplication::setApplicationVersion(QStringLiteral(TIVRAND_VERSION));
    return Tivrand::TivrandAppApp::run(argc, argv);
}
