#pragma once

#include <QWidget>

class QLineEdit;

namespace Tivrand {

class SearchViewModel;

// The search field, bound to the view model's searchText. Return starts the search.
class SearchInputView : public QWidget {
    Q_OBJECT

public:
    static inline const QString placeholder =
        QStringLiteral("Search for App Name, Developer Name or insert your app Url");

    explicit SearchInputView(SearchViewModel& viewModel, QWidget* parent = nullptr);

    QLineEdit& field() const { return *m_field; }

private:
    void followSearchText();

    SearchViewModel& m_viewModel;
    QLineEdit* m_field;
};

} // namespace Tivrand
