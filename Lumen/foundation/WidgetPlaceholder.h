#pragma once

#include "Lumen/foundation/Placeholder.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Lumen {

// A widget laid over the image view while the image loads, covering it exactly and
// following its resizes. The placeholder owns the widget and deletes it on destruction;
// while the widget is shown, deleting the image view deletes it too (as with any child).
class WidgetPlaceholder final : public Placeholder {
public:
    explicit WidgetPlaceholder(std::unique_ptr<QWidget> widget);
    ~WidgetPlaceholder() override;

    WidgetPlaceholder(const WidgetPlaceholder&) = delete;
    WidgetPlaceholder& operator=(const WidgetPlaceholder&) = delete;

    // Null once the widget was deleted along with an image view.
    QWidget* widget() const { return m_widget; }

    void addTo(QWidget& imageView) override;
    // Only takes the widget out of `imageView`; a widget shown in another view stays there.
    void removeFrom(QWidget& imageView) override;

private:
    QPointer<QWidget> m_widget;
};

} // namespace Lumen
