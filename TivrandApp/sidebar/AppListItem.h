#pragma once

#include "TivrandApp/models/WatchedApp.h"

#include <QWidget>

namespace Tivrand {

// A watched app in the sidebar: its icon, name and developer. Its accessible name is the app's
// name and developer.
class AppListItem : public QWidget {
    Q_OBJECT

public:
    explicit AppListItem(const WatchedApp& app, QWidget* parent = nullptr);
};

} // namespace Tivrand
