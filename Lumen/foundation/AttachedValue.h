#pragma once

#include <QMetaType>
#include <QObject>
#include <QVariant>

#include <memory>

namespace Lumen {

// The name and type of one value the library attaches to an object (a view, a control).
// Keys must have distinct names; use the "lumen." prefix so they stay clear of the
// owner's own dynamic properties.
template<class T>
struct AttachedKey {
    const char* name;
};

// The value is kept as a dynamic property of `owner` holding a shared pointer, so it
// lives as long as the owner or until it is replaced. Writing nullptr removes it.
// Like every QObject property, only the owner's thread may read or write it.
template<class T>
void setAttachedValue(QObject& owner, AttachedKey<T> key, std::shared_ptr<T> value)
{
    owner.setProperty(key.name, value ? QVariant::fromValue(std::move(value)) : QVariant());
}

// Null when nothing was attached under the key's name or the value there has another type.
template<class T>
std::shared_ptr<T> attachedValue(const QObject& owner, AttachedKey<T> key)
{
    const QVariant stored = owner.property(key.name);
    if (stored.metaType() != QMetaType::fromType<std::shared_ptr<T>>())
        return nullptr;
    return stored.value<std::shared_ptr<T>>();
}

// The attached value, or a default-made one attached now when there is none.
template<class T>
std::shared_ptr<T> attachedValueOrMake(QObject& owner, AttachedKey<T> key)
{
    auto value = attachedValue(owner, key);
    if (!value) {
        value = std::make_shared<T>();
        setAttachedValue(owner, key, value);
    }
    return value;
}

} // namespace Lumen
