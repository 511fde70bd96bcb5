#pragma once

#include "TivrandApp/services/Libsecret.h"

namespace Tivrand {

class LookupDeadline;

// A SecretService whose prompts pause the deadline of the lookup made through it. A prompt is
// how the Secret Service asks the user to unlock a locked keyring: while one is open, a slow
// answer is the user typing, not a service that does not answer. Open it with
// secret_service_open(); lookups through it then go through its prompts.
GType promptAwareSecretServiceType();

// The deadline that the service's prompts pause (none to stop). The deadline must outlive the
// service's use.
void setLookupDeadline(SecretService* service, LookupDeadline* deadline);

} // namespace Tivrand
