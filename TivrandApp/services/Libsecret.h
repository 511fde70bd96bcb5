#pragma once

// libsecret and glib for code that also sees Qt: glib's headers use `signals` as a field name,
// which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")
