#include "TivrandApp/app/TivrandAppApp.h"

int main(int argc, char** argv)
{
    return Tivrand::TivrandAppApp::run(argc, argv);
}
