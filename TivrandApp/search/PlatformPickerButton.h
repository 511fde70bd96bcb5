#pragma once

#include "TivrandApp/models/Platform.h"
#include "TivrandApp/search/PlatformPickerView.h"

#include <QAbstractButton>
#include <QPointer>

class QLabel;

namespace Tivrand {

class SearchViewModel;

// The platform filter: shows the selected platform's symbol and name and opens or closes the
// platform popover. The popover is open exactly while the view model's showPlatformPicker is set.
class PlatformPickerButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PlatformPickerButton(SearchViewModel& viewModel, QWidget* parent = nullptr);

    // The open popover, or none.
    PlatformPickerView* picker() const { return m_picker; }
    // The symbol shown for the selected platform.
    const QString& symbolName() const { return m_symbolName; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showSelectedPlatform();
    void followPickerFlag();

    SearchViewModel& m_viewModel;
    QLabel* m_symbol;
    QLabel* m_name;
    QString m_symbolName;
    QPointer<PlatformPickerView> m_picker;
};

} // namespace Tivrand
