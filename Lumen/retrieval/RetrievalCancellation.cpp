#include "Lumen/retrieval/RetrievalCancellation.h"

namespace Lumen {

void RetrievalCancellation::cancel()
{
    // The flag first: a step that finds its download cancelled also finds the retrieval so.
    m_cancelled.store(true, std::memory_order_release);
    m_task.cancel();
}

} // namespace Lumen
