#include "Lumen/retrieval/RetrieveImageResult.h"

#include "Lumen/cache/CacheSerializer.h"

namespace Lumen {

std::optional<QByteArray> RetrievedImageData::operator()() const
{
    if (received)
        return received;
    return serializer ? serializer->data(image, std::nullopt) : std::nullopt;
}

} // namespace Lumen
