#pragma once

#include "TivrandApp/models/AppPresentationItem.h"
#include "TivrandApp/ui/TitledMessageBox.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QVBoxLayout;

namespace Tivrand {

class SearchResultHeaderView;
class SearchResultItemView;
class SearchViewModel;

// The search sheet's result list: a heading and one row per result of the view model. Adding an
// app stores it unless it is already watched on that platform (in any country), then hides the
// results and emits appAdded(). A refusal or a failed save is told in a "Warning" alert, and the
// results stay.
class SearchResultView : public QWidget {
    Q_OBJECT

public:
    explicit SearchResultView(SearchViewModel& viewModel, QWidget* parent = nullptr);

    SearchResultHeaderView& header() const { return *m_header; }
    QList<SearchResultItemView*> rows() const;
    // The alert once it has been shown (it is kept for reuse), else none.
    TitledMessageBox* alert() const { return m_alert; }

    static inline const QString alreadyAddedMessage = QStringLiteral("This app is already added.");
    static inline const QString saveFailedMessage = QStringLiteral("The app could not be added to your watch list.");

signals:
    void appAdded();

private:
    void rebuildRows();
    void addApp(const AppPresentationItem& item);
    void showAlert(const QString& message);

    SearchViewModel& m_viewModel;
    SearchResultHeaderView* m_header;
    QWidget* m_rowsContainer;
    QVBoxLayout* m_rowsLayout;
    QPointer<TitledMessageBox> m_alert;
};

} // namespace Tivrand
