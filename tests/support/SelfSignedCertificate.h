#pragma once

#include <string>

namespace Tivrand::Testing {

// A certificate for 127.0.0.1 and its key, made once per test process in a temporary folder.
class SelfSignedCertificate {
public:
    static const SelfSignedCertificate& shared();

    const std::string& certificatePath() const { return m_certificatePath; }
    const std::string& keyPath() const { return m_keyPath; }

private:
    SelfSignedCertificate();

    std::string m_certificatePath;
    std::string m_keyPath;
};

} // namespace Tivrand::Testing
