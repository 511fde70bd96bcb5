#pragma once

#include <QWidget>

class QLabel;

namespace Tivrand {

// The heading of the result list: Search results for "TEXT".
class SearchResultHeaderView : public QWidget {
    Q_OBJECT

public:
    explicit SearchResultHeaderView(QWidget* parent = nullptr);

    void setSearchText(const QString& searchText);
    QString text() const;

private:
    QLabel* m_label;
};

} // namespace Tivrand
