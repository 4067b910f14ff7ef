#include "xml/XmlDebug.h"

namespace kq {

void TDebugComponent::DoDebugOut(TObject* sender, TXmlWarnStyle warn_style, const std::string& message) {
    for (TDebugComponent* c = this; c; c = dynamic_cast<TDebugComponent*>(c->Owner())) {
        if (c->OnDebugOut) {
            c->OnDebugOut(sender, warn_style, message);
            return;
        }
    }
}

void TDebugPersistent::DoDebugOut(TObject* sender, TXmlWarnStyle warn_style, const std::string& message) {
    if (FOwner) FOwner->DoDebugOut(sender, warn_style, message);
}

} // namespace kq
