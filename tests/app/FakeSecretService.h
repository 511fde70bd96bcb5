#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

namespace Tivrand::Testing {

// A Secret Service of the test's own on the session bus, under a name of its own (point
// libsecret at it with SECRET_SERVICE_BUS_NAME), holding one secret in a locked keyring:
// reading it goes through an unlock prompt that stays open until the test answers it (or the
// reader dismisses it).
class FakeSecretService {
public:
    FakeSecretService(const QString& account, const QByteArray& secret);
    ~FakeSecretService();

    // Empty when it could not reach the session bus.
    const QByteArray& busName() const;

    // Waits (at most `limit`) until the user is shown the prompt; answers whether it was.
    bool waitForPrompt(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // The user types the password, or dismisses the prompt.
    void answerPrompt(bool unlock);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace Tivrand::Testing
