#pragma once

#include "TivrandApp/models/Platform.h"
#include "TivrandApp/ui/Popover.h"

#include <QAbstractButton>
#include <QList>

class QLabel;

namespace Tivrand {

class SearchViewModel;

// One platform in the picker: its symbol and name, and a blue checkmark on a tinted background
// when it is the selected one.
class PlatformPickerRow : public QAbstractButton {
    Q_OBJECT

public:
    PlatformPickerRow(Platform platform, QWidget* parent = nullptr);

    Platform platform() const { return m_platform; }
    void setMarked(bool marked);
    bool isMarked() const { return m_marked; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Platform m_platform;
    bool m_marked = false;
    QLabel* m_checkmark;
};

// The platform popover: a row per platform, in order. Picking one selects it and closes the
// popover; it starts no search.
class PlatformPickerView : public Popover {
    Q_OBJECT

public:
    PlatformPickerView(SearchViewModel& viewModel, QWidget& anchor);

    const QList<PlatformPickerRow*>& rows() const { return m_rows; }
    PlatformPickerRow* row(Platform platform) const;

private:
    void markSelected();

    SearchViewModel& m_viewModel;
    QList<PlatformPickerRow*> m_rows;
};

} // namespace Tivrand
