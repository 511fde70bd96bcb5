#pragma once

#include <QPointer>
#include <QWidget>

namespace Lumen {

// Now on the GUI thread, otherwise later on it.
void deleteIndicatorView(QWidget* view);

// Hiding always works. Showing needs a parent, so a view that is laid over nothing never
// turns up as a window of its own, and raises the view above overlays added after it.
void setIndicatorViewShown(QWidget* view, bool shown);

// The widget of a built-in indicator. Once laid over an image view it is also that view's
// child, so deleting the image view deletes it and the holder reads null from then on.
// Otherwise the holder deletes it, also when the last owner of the indicator lets go on
// another thread.
template<class View>
class OwnedIndicatorView {
public:
    explicit OwnedIndicatorView(View* view) : m_view(view) {}
    ~OwnedIndicatorView() { deleteIndicatorView(m_view.data()); }

    OwnedIndicatorView(const OwnedIndicatorView&) = delete;
    OwnedIndicatorView& operator=(const OwnedIndicatorView&) = delete;

    View* get() const { return m_view.data(); }
    void setShown(bool shown) const { setIndicatorViewShown(m_view.data(), shown); }

private:
    QPointer<View> m_view;
};

} // namespace Lumen
