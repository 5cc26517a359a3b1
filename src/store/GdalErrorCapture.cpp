#include "store/GdalErrorCapture.h"

#include <cpl_error.h>

namespace pelagon {

struct GdalErrorTrampoline {
    static void CPL_STDCALL onError(CPLErr severity, CPLErrorNum, const char* message) {
        GdalErrorCapture::handle(static_cast<int>(severity), message, CPLGetErrorHandlerUserData());
    }
};

GdalErrorCapture::GdalErrorCapture() {
    CPLPushErrorHandlerEx(&GdalErrorTrampoline::onError, this);
}

GdalErrorCapture::~GdalErrorCapture() {
    CPLPopErrorHandler();
}

void GdalErrorCapture::handle(int severity, const char* message, void* self) {
    auto* capture = static_cast<GdalErrorCapture*>(self);
    if (capture == nullptr || message == nullptr) {
        return;
    }
    const QString text = QString::fromUtf8(message).trimmed();
    if (severity >= static_cast<int>(CE_Failure)) {
        if (!capture->failures_.contains(text) && capture->failures_.size() < 8) {
            capture->failures_.append(text);
        }
    } else if (severity == static_cast<int>(CE_Warning)) {
        if (!capture->warnings_.contains(text) && capture->warnings_.size() < 8) {
            capture->warnings_.append(text);
        }
    }
}

QString GdalErrorCapture::text() const {
    return (failures_ + warnings_).join(QStringLiteral("; "));
}

void GdalErrorCapture::clear() {
    failures_.clear();
    warnings_.clear();
}

}  // namespace pelagon
