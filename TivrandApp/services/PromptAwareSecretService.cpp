#include "TivrandApp/services/PromptAwareSecretService.h"

#include "TivrandApp/services/LookupDeadline.h"

namespace Tivrand {
namespace {

struct PromptAwareService {
    SecretService parent;
    LookupDeadline* deadline;
};

struct PromptAwareServiceClass {
    SecretServiceClass parent_class;
};

G_DEFINE_TYPE(PromptAwareService, prompt_aware_service, SECRET_TYPE_SERVICE)

LookupDeadline* deadlineOf(SecretService* service)
{
    return G_TYPE_CHECK_INSTANCE_TYPE(service, prompt_aware_service_get_type())
        ? reinterpret_cast<PromptAwareService*>(service)->deadline
        : nullptr;
}

void promptAsync(SecretService* service, SecretPrompt* prompt, const GVariantType* returnType,
                 GCancellable* cancellable, GAsyncReadyCallback callback, gpointer userData)
{
    if (LookupDeadline* deadline = deadlineOf(service))
        deadline->pause();
    SECRET_SERVICE_CLASS(prompt_aware_service_parent_class)
        ->prompt_async(service, prompt, returnType, cancellable, callback, userData);
}

GVariant* promptFinish(SecretService* service, GAsyncResult* result, GError** error)
{
    if (LookupDeadline* deadline = deadlineOf(service))
        deadline->resume();
    return SECRET_SERVICE_CLASS(prompt_aware_service_parent_class)->prompt_finish(service, result, error);
}

void prompt_aware_service_class_init(PromptAwareServiceClass* serviceClass)
{
    SecretServiceClass* base = SECRET_SERVICE_CLASS(serviceClass);
    base->prompt_async = promptAsync;
    base->prompt_finish = promptFinish;
}

void prompt_aware_service_init(PromptAwareService* service)
{
    service->deadline = nullptr;
}

} // namespace

GType promptAwareSecretServiceType()
{
    return prompt_aware_service_get_type();
}

void setLookupDeadline(SecretService* service, LookupDeadline* deadline)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(service, prompt_aware_service_get_type()))
        reinterpret_cast<PromptAwareService*>(service)->deadline = deadline;
}

} // namespace Tivrand
