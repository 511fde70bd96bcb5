#include "TivrandApp/search/PlatformPickerView.h"

#include "TivrandApp/search/PlatformSymbol.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/ButtonFocusFrame.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace Tivrand {
namespace {

constexpr int pickerWidth = 200;
constexpr int symbolSize = 16;

} // namespace

PlatformPickerRow::PlatformPickerRow(Platform platform, QWidget* parent)
    : QAbstractButton(parent)
    , m_platform(platform)
    , m_checkmark(symbolLabel(QStringLiteral("checkmark"), SystemColor::blue, symbolSize, this))
{
    setText(displayName(platform));
    setAttribute(Qt::WA_Hover);
    const QColor textColor = palette().color(QPalette::WindowText);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(8);
    layout->addWidget(symbolLabel(platformSymbol(platform), textColor, symbolSize, this), 0, Qt::AlignVCenter);
    auto* name = new QLabel(text(), this);
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(name, 0, Qt::AlignVCenter);
    layout->addStretch();
    layout->addWidget(m_checkmark, 0, Qt::AlignVCenter);
    m_checkmark->hide();
}

void PlatformPickerRow::setMarked(bool marked)
{
    m_marked = marked;
    m_checkmark->setVisible(marked);
    update();
}

void PlatformPickerRow::paintEvent(QPaintEvent*)
{
    QColor fill = Qt::transparent;
    if (m_marked)
        fill = withOpacity(SystemColor::blue, 0.1);
    else if (underMouse())
        fill = withOpacity(Qt::white, 0.06);
    QPainter painter(this);
    if (fill.alpha() > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 4, 4);
        painter.fillPath(shape, fill);
    }
    paintButtonFocusFrame(painter, *this);
}

PlatformPickerView::PlatformPickerView(SearchViewModel& viewModel, QWidget& anchor)
    : Popover(anchor)
    , m_viewModel(viewModel)
{
    setFixedWidth(pickerWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    for (const Platform platform : allPlatforms) {
        auto* row = new PlatformPickerRow(platform, this);
        connect(row, &PlatformPickerRow::clicked, this, [this, platform] {
            m_viewModel.setSelectedPlatform(platform);
            m_viewModel.setShowPlatformPicker(false);
        });
        layout->addWidget(row);
        m_rows.append(row);
    }
    markSelected();
    // The keys start from the selected platform.
    if (PlatformPickerRow* selected = row(m_viewModel.selectedPlatform()))
        selected->setFocus();
    connect(&m_viewModel, &SearchViewModel::selectedPlatformChanged, this, &PlatformPickerView::markSelected);
}

PlatformPickerRow* PlatformPickerView::row(Platform platform) const
{
    for (PlatformPickerRow* candidate : m_rows) {
        if (candidate->platform() == platform)
            return candidate;
    }
    return nullptr;
}

void PlatformPickerView::markSelected()
{
    for (PlatformPickerRow* row : m_rows)
        row->setMarked(row->platform() == m_viewModel.selectedPlatform());
}

} // namespace Tivrand
