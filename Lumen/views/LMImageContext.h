#pragma once

#include "Lumen/cache/CacheType.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/retrieval/Source.h"
#include "Lumen/views/LMImageContent.h"
#include "Lumen/views/LMOptionSetter.h"

#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <optional>
#include <vector>

class QPainter;

namespace Lumen {

class AnimatedImageView;
class LMImageProgress;

// What one `LMImage` or `LMAnimatedImage` shows and how: the source, the request's options,
// the configurations of the drawn content or of the animated image view, the placeholder, the
// appearance flags and the outcome hooks. Settings may be read and changed from any thread;
// the source and the hooks never change.
class LMImageContext {
public:
    // Makes the widget shown while no image is there, for the progress of the running load.
    using Placeholder = std::function<std::unique_ptr<QWidget>(LMImageProgress& progress)>;
    using Configuration = std::function<LMImageContent(LMImageContent)>;
    // Shared and never changed: appending makes a new list.
    using Configurations = std::shared_ptr<const std::vector<Configuration>>;
    using ContentConfiguration = std::function<void(QPainter& painter, const LMImageContent& content)>;
    using RenderConfiguration = std::function<void(AnimatedImageView&)>;
    using RenderConfigurations = std::shared_ptr<const std::vector<RenderConfiguration>>;

    // The options are the shared manager's default items (without its downloader and cache)
    // followed by `loadDiskFileSynchronously`.
    explicit LMImageContext(std::optional<Source> source);
    // Another source with every setting of `settings`, sharing its hooks.
    LMImageContext(std::optional<Source> source, const LMImageContext& settings);
    LMImageContext(const LMImageContext&) = delete;
    LMImageContext& operator=(const LMImageContext&) = delete;

    const std::optional<Source>& source() const { return m_source; }

    LumenParsedOptionsInfo options() const;
    // The same without a copy: never null, never changed (a change replaces it).
    std::shared_ptr<const LumenParsedOptionsInfo> sharedOptions() const;
    void setOptions(LumenParsedOptionsInfo options);
    // In the order they were added; never null.
    Configurations configurations() const;
    void appendConfiguration(Configuration configuration);
    // In the order they were added; never null.
    RenderConfigurations renderConfigurations() const;
    void appendRenderConfiguration(RenderConfiguration configuration);
    ContentConfiguration contentConfiguration() const;
    void setContentConfiguration(ContentConfiguration configuration);
    Placeholder placeholder() const;
    void setPlaceholder(Placeholder placeholder);
    bool cancelOnDisappear() const;
    void setCancelOnDisappear(bool cancel);
    bool reducePriorityOnDisappear() const;
    void setReducePriorityOnDisappear(bool reduce);
    bool startLoadingBeforeViewAppear() const;
    void setStartLoadingBeforeViewAppear(bool start);

    LMFailureDelegate& onFailureDelegate() const { return m_hooks->failure; }
    LMSuccessDelegate& onSuccessDelegate() const { return m_hooks->success; }
    LMProgressDelegate& onProgressDelegate() const { return m_hooks->progress; }

    // The identifier of the options' processor; a cleared processor is the default one.
    QString processorIdentifier() const;

    // Images from a cache appear at once unless `forceTransition` is set.
    bool appliesFade(CacheType cacheType) const;
    // The seconds an image from `cacheType` fades in; none without a fade transition.
    std::optional<double> fadeDuration(CacheType cacheType) const;

    // The identity of what is shown: equal sources (or none on both sides) and equal
    // processor identifiers. Nothing else takes part.
    friend bool operator==(const LMImageContext& lhs, const LMImageContext& rhs);
    // Agrees with equality.
    friend std::size_t qHash(const LMImageContext& context, std::size_t seed) noexcept;

private:
    struct Hooks {
        LMFailureDelegate failure;
        LMSuccessDelegate success;
        LMProgressDelegate progress;
    };

    // One empty list shared by every context, so that a context costs no allocation for it.
    template <typename Item>
    static std::shared_ptr<const std::vector<Item>> emptyList()
    {
        static const auto* empty = new std::shared_ptr<const std::vector<Item>>(std::make_shared<const std::vector<Item>>());
        return *empty;
    }

    struct Settings {
        std::shared_ptr<const LumenParsedOptionsInfo> options;
        Configurations configurations = emptyList<Configuration>();
        RenderConfigurations renderConfigurations = emptyList<RenderConfiguration>();
        ContentConfiguration contentConfiguration;
        Placeholder placeholder;
        bool cancelOnDisappear = false;
        bool reducePriorityOnDisappear = false;
        bool startLoadingBeforeViewAppear = false;
    };

    template <typename Field>
    Field read(Field Settings::*field) const
    {
        std::lock_guard lock(m_mutex);
        return m_settings.*field;
    }
    template <typename Field>
    void write(Field Settings::*field, Field value)
    {
        std::lock_guard lock(m_mutex);
        std::swap(m_settings.*field, value);
        // The replaced value is released after the guard, by `value`.
    }
    // In one guarded step, so appends racing on two threads both land.
    template <typename Item>
    void append(std::shared_ptr<const std::vector<Item>> Settings::*list, Item item)
    {
        std::shared_ptr<const std::vector<Item>> replaced;
        std::lock_guard lock(m_mutex);
        auto extended = std::make_shared<std::vector<Item>>(*(m_settings.*list));
        extended->push_back(std::move(item));
        replaced = std::exchange(m_settings.*list, std::move(extended));
        // The replaced list is released after the guard, by `replaced`.
    }

    const std::optional<Source> m_source;
    const std::shared_ptr<Hooks> m_hooks;

    mutable std::mutex m_mutex;
    Settings m_settings;
};

} // namespace Lumen

template <>
struct std::hash<Lumen::LMImageContext> {
    std::size_t operator()(const Lumen::LMImageContext& context) const noexcept { return qHash(context, 0); }
};
