#include "TivrandApp/search/PlatformPickerButton.h"

#include "TivrandApp/search/OutlinedFrame.h"
#include "TivrandApp/search/PlatformPickerView.h"
#include "TivrandApp/search/PlatformSymbol.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/ButtonFocusFrame.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace Tivrand {
namespace {

constexpr int symbolSize = 16;
constexpr int chevronSize = 10;

const QColor labelColor = withOpacity(Qt::white, 0.8);

} // namespace

PlatformPickerButton::PlatformPickerButton(SearchViewModel& viewModel, QWidget* parent)
    : QAbstractButton(parent)
    , m_viewModel(viewModel)
    , m_symbol(symbolLabel(platformSymbol(viewModel.selectedPlatform()), labelColor, symbolSize, this))
    , m_name(new QLabel(this))
{
    setAttribute(Qt::WA_Hover);
    m_name->setAttribute(Qt::WA_TransparentForMouseEvents);
    setTextColor(*m_name, labelColor);
    QLabel* chevron = symbolLabel(QStringLiteral("chevron.down"), withOpacity(Qt::white, 0.6), chevronSize, this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(OutlinedFrame::padding, OutlinedFrame::padding, OutlinedFrame::padding,
                               OutlinedFrame::padding);
    layout->setSpacing(6);
    layout->addWidget(m_symbol, 0, Qt::AlignVCenter);
    layout->addWidget(m_name, 0, Qt::AlignVCenter);
    layout->addWidget(chevron, 0, Qt::AlignVCenter);

    connect(this, &PlatformPickerButton::clicked, this,
            [this] { m_viewModel.setShowPlatformPicker(!m_viewModel.showPlatformPicker()); });
    connect(&m_viewModel, &SearchViewModel::selectedPlatformChanged, this, &PlatformPickerButton::showSelectedPlatform);
    connect(&m_viewModel, &SearchViewModel::showPlatformPickerChanged, this, &PlatformPickerButton::followPickerFlag);
    showSelectedPlatform();
}

void PlatformPickerButton::showSelectedPlatform()
{
    const Platform platform = m_viewModel.selectedPlatform();
    m_symbolName = platformSymbol(platform);
    m_symbol->setPixmap(symbolPixmap(m_symbolName, labelColor, symbolSize));
    setText(displayName(platform));
    m_name->setText(text());
}

void PlatformPickerButton::followPickerFlag()
{
    const bool wanted = m_viewModel.showPlatformPicker();
    if (wanted == (m_picker != nullptr))
        return;
    if (!wanted) {
        m_picker->close(); // its closed() finishes the job
        return;
    }
    m_picker = new PlatformPickerView(m_viewModel, *this);
    connect(m_picker, &PlatformPickerView::closed, this, [this] {
        // Closed by the flag, a pick, Escape or a click outside: the flag follows in every case.
        if (m_picker)
            m_picker->deleteLater();
        m_picker = nullptr;
        m_viewModel.setShowPlatformPicker(false);
    });
    m_picker->popUp();
}

void PlatformPickerButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (isDown() || underMouse()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(Qt::white, isDown() ? 0.12 : 0.06));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
    paintFilterOutline(painter, rect());
    paintButtonFocusFrame(painter, *this);
}

} // namespace Tivrand
