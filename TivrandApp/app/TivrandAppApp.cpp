#include "TivrandApp/app/TivrandAppApp.h"

#include "TivrandApp/Persistence/PersistenceController.h"
#include "TivrandApp/app/MainWindow.h"
#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/services/CoreDataManager.h"
#include "TivrandApp/services/KeychainManager.h"

#include <QApplication>

namespace Tivrand {

int TivrandAppApp::run(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tivrand"));
    QApplication::setApplicationName(QStringLiteral("TivrandApp"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tivrand"));
    applyDarkStyle(application);

    // A store that cannot be opened stops the program here, before any window shows.
    PersistenceController::shared();
    KeychainManager::shared();

    MainWindow window(CoreDataManager::shared());
    window.show();
    return QApplication::exec();
}

} // namespace Tivrand
