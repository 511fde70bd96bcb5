#include "TivrandApp/ui/AccessibleSummary.h"

#include <QAccessibleWidget>
#include <QString>
#include <QWidget>

namespace Tivrand {
namespace {

constexpr const char* readAsOneProperty = "tivrandReadAsOneText";

// A widget's name and nothing inside it to walk to.
class OneText : public QAccessibleWidget {
public:
    explicit OneText(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::StaticText)
    {
    }

    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
};

QAccessibleInterface* oneTextFactory(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType() || !object->property(readAsOneProperty).toBool())
        return nullptr;
    return new OneText(static_cast<QWidget*>(object));
}

} // namespace

void readAsOneText(QWidget& widget, const QString& summary)
{
    [[maybe_unused]] static const bool installed = (QAccessible::installFactory(&oneTextFactory), true);
    widget.setProperty(readAsOneProperty, true);
    widget.setAccessibleName(summary);
}

} // namespace Tivrand
