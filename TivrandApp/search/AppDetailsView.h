#pragma once

#include "TivrandApp/models/AppPresentationItem.h"

#include <QWidget>

class QLabel;

namespace Tivrand {

// An app's name, subtitle (when it has one) and developer, one line each in a 250-pixel column.
class AppDetailsView : public QWidget {
    Q_OBJECT

public:
    explicit AppDetailsView(const AppPresentationItem& item, QWidget* parent = nullptr);

    // The lines as shown, top to bottom.
    QStringList lines() const;

private:
    void addLine(const QString& text, const QFont& font, const QColor& color);
};

} // namespace Tivrand
