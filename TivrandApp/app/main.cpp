#include "TivrandApp/app/TivrandAppApp.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    // The version the program declares, as an application bundle would carry it.
    QCoreApplication::setApplicationVersion(QStringLiteral(TIVRAND_VERSION));
    return Tivrand::TivrandAppApp::run(argc, argv);
}
