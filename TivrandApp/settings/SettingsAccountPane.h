#pragma once

#include <QWidget>

class QLabel;
class QScrollArea;

namespace Tivrand {

// The "Account" section: a title over a scrolling column with the App Store Connect box, its
// privacy statement, and the application's version centred below.
class SettingsAccountPane : public QWidget {
    Q_OBJECT

public:
    static const QString privacyStatement;

    explicit SettingsAccountPane(const QString& appVersion, QWidget* parent = nullptr);

    QScrollArea& scrollArea() const { return *m_scrollArea; }
    QLabel& privacyStatementLabel() const { return *m_privacyStatementLabel; }
    QLabel& versionLabel() const { return *m_versionLabel; }

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeSection();
    QWidget* makeFooter(const QString& appVersion);
    // Secondary text and the divider are the palette's text colour at lower strength.
    void applyDerivedColours();

    QWidget* m_divider = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    QLabel* m_privacyStatementLabel = nullptr;
    QLabel* m_versionLabel = nullptr;
};

} // namespace Tivrand
