#pragma once

#include "TivrandApp/models/AppPresentationItem.h"

#include <QWidget>

namespace Tivrand {

class AppActionButtonsView;

// One result row: icon, details, rating and the actions, with a divider below unless it is the
// last row.
class SearchResultItemView : public QWidget {
    Q_OBJECT

public:
    SearchResultItemView(AppPresentationItem item, bool isLastItem, QWidget* parent = nullptr);

    const AppPresentationItem& item() const { return m_item; }
    bool hasDivider() const { return m_hasDivider; }
    AppActionButtonsView& actions() const { return *m_actions; }

signals:
    void addButtonTapped();

private:
    AppPresentationItem m_item;
    bool m_hasDivider;
    AppActionButtonsView* m_actions;
};

} // namespace Tivrand
