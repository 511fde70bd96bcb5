#include "Lumen/views/loading/TextAttachmentLoading.h"

#include "Lumen/views/loading/StoredImageAccessor.h"

#include <QPointer>
#include <QTextDocument>

namespace Lumen {

namespace {

class TextAttachmentAccessor final : public StoredImageAccessor {
public:
    TextAttachmentAccessor(QTextDocument* document, const QUrl& name)
        : m_document(document)
        , m_name(name)
        , m_key("lumen.textAttachment:" + name.toEncoded())
    {
    }

    bool isReachable() const override { return !m_document.isNull(); }

protected:
    std::shared_ptr<ImageSlotState> slotState(bool create) const override
    {
        return m_document ? attachedSlotState(*m_document, m_key.constData(), create) : nullptr;
    }

    void show(const ImagePtr& image) const override
    {
        QImage bitmap = image ? image->bitmap() : QImage();
        if (image)
            bitmap.setDevicePixelRatio(image->scale());
        m_document->addResource(QTextDocument::ImageResource, m_name, bitmap);
        m_document->markContentsDirty(0, m_document->characterCount());
    }

private:
    QPointer<QTextDocument> m_document;
    QUrl m_name;
    QByteArray m_key;
};

} // namespace

LumenWrapper<TextAttachment>::LumenWrapper(TextAttachment attachment)
    : LumenWrapperBase(attachment)
    , ImageSlotLoading(std::make_shared<TextAttachmentAccessor>(attachment.document, attachment.name),
                       KeepCurrentImage::unasked)
{
}

} // namespace Lumen
